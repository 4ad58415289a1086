// Inputs the archive fuzzer found faults with (fixtures/fuzz-findings) and its generated seeds
// (among them an archive of each fault fixed since), run through the fuzzer's own entry
// function both ways: open, list, and decode everything into memory, or extract everything
// into a folder, checking that nothing is written outside it; every failure is answered Ignore. A
// fault aborts the test program with the fuzzer's message; under the sanitizer build each input
// must also pass without a finding.
#include "Seeds.h"
#include "TestSupport.h"
#include "ZipFuzzTarget.h"

#include <gtest/gtest.h>

namespace {

using namespace ziptest;
namespace fs = std::filesystem;

struct Input {
    std::string name;
    std::string bytes;
};

std::vector<Input> Inputs() {
    std::vector<Input> inputs;
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(KESTRANE_ZIP_FUZZ_FINDINGS))
        files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files)
        inputs.push_back({"finding_" + file.filename().string(), ReadFile(file.string())});
    for (const auto& [name, bytes] : FuzzSeeds())
        inputs.push_back({"seed_" + name, bytes});
    return inputs;
}

void PrintTo(const Input& input, std::ostream* out) {
    *out << input.name;
}

class FuzzInput : public ::testing::TestWithParam<Input> {};

TEST_P(FuzzInput, RunsThroughTheFuzzTargetWithoutFault) {
    const std::string& bytes = GetParam().bytes;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    EXPECT_EQ(RunZipFuzzInput(data, bytes.size(), false), 0);
    EXPECT_EQ(RunZipFuzzInput(data, bytes.size(), true), 0);
}

INSTANTIATE_TEST_SUITE_P(FuzzFindings, FuzzInput, ::testing::ValuesIn(Inputs()),
                         [](const ::testing::TestParamInfo<Input>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

} // namespace
