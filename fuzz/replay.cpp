// Runs inputs through the archive fuzzer's entry function without libFuzzer, once each, so that
// a finding can be replayed (and debugged) in any build:
//   zip_fuzz_replay FILE...
// A fault aborts with the fuzzer's message; exit 0 when every input ran through.
#include "ZipFuzzTarget.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE...\n", argv[0]);
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::perror(argv[i]);
            return 1;
        }
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        std::printf("%s: ok\n", argv[i]);
    }
    return 0;
}
