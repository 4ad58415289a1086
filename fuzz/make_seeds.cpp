// Writes the fuzzer's generated seeds (Seeds.cpp) into a folder.
//   make_seeds FOLDER
#include "Seeds.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    for (const auto& [name, bytes] : FuzzSeeds()) {
        const std::string path = std::string(argv[1]) + "/seed-" + name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() ||
            std::fclose(f) != 0) {
            std::perror(path.c_str());
            return 1;
        }
    }
    return 0;
}
