// Inputs the archive fuzzer found faults with (fixtures/fuzz-findings), replayed the fuzzer's way:
// open, list, and extract everything into an empty folder with every failure answered Ignore.
// Under the sanitizer build each one must pass without a finding; everywhere nothing may be
// written outside the folder.
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace ziptest;
namespace fs = std::filesystem;

constexpr int AllEntries = 10431;

std::vector<fs::path> Findings() {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(KESTRANE_ZIP_FUZZ_FINDINGS))
        files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(FuzzFindings, ReplayWithoutFault) {
    for (const fs::path& finding : Findings()) {
        SCOPED_TRACE(finding.filename().string());
        TempDir dir;
        fs::copy_file(finding, dir / "input.zip");
        fs::create_directories(dir / "box/out");
        TZipArchive zip("ZipArchive1");
        ScriptedPrompts prompts;
        prompts.answers.assign(64, ZAButton::Ignore);
        zip.Prompts = &prompts;
        zip.FileName = dir / "input.zip";
        zip.BaseDir = dir / "box/out/";
        try {
            zip.OpenArchive(0);
        } catch (const std::exception&) {
            continue; // refusing it is fine
        }
        TZAArchiveItem item;
        int found = 0;
        for (bool more = zip.FindFirst("*", item, AllEntries, ""); more; more = zip.FindNext(item))
            ++found;
        EXPECT_EQ(found, zip.DMHandle()->CDir.Count());
        try {
            zip.ExtractFiles("*", AllEntries, "");
        } catch (const EZAReadError&) {
        }
        std::vector<std::string> top;
        for (const auto& e : fs::directory_iterator(dir.Path()))
            top.push_back(e.path().filename().string());
        std::sort(top.begin(), top.end());
        EXPECT_EQ(top, (std::vector<std::string>{"box", "input.zip"}));
    }
}

} // namespace
