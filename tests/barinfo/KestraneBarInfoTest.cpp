// kestrane-bar info from the command line: one JSON line per file, going on after a failure.

#include "ZipBuilder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

struct InfoRun {
    std::string output;
    int exitCode = -1;
};

// Runs kestrane-bar info on the files (arguments passed as they are, no shell in between).
InfoRun Info(const std::vector<std::string>& files) {
    std::string command = "'" KESTRANE_BAR "' info";
    for (const std::string& file : files)
        command += " '" + file + "'"; // the test's names hold no single quote
    InfoRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    std::array<char, 4096> buffer{};
    while (const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
        run.output.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class KestraneBarInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("kestrane-bar-info-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    std::string Bar(const std::string& name, const std::string& manifest) {
        ziptest::Entry entry;
        entry.name = "META-INF/MANIFEST.MF";
        entry.data = manifest;
        entry.method = 8;
        ziptest::Archive archive;
        archive.entries.push_back(entry);
        const std::string path = (folder_ / name).string();
        std::ofstream(path, std::ios::binary) << ziptest::Build(archive);
        return path;
    }
    fs::path folder_;
};

TEST_F(KestraneBarInfoTest, OneLinePerFileAndExitOneAfterAnyFailure) {
    const std::string good = Bar("good app.bar", "Application-Name: Say \"Hi\"\n"
                                                 "Application-Version: 1.0\n"
                                                 "Package-Author: Me\n"
                                                 "Entry-Point-Type: qnx/air\n");
    const std::string text = (folder_ / "text.bar").string();
    std::ofstream(text) << "not a zip";
    const std::string plain = Bar("plain.bar", "Application-Name: Plain\n");
    const std::string gone = (folder_ / "gone.bar").string();

    const InfoRun run = Info({good, text, gone, plain});
    EXPECT_EQ(run.exitCode, 1);
    const std::string expected =
        "{\"file\":\"" + good +
        "\",\"name\":\"Say \\\"Hi\\\"\",\"version\":\"1.0\",\"author\":\"Me\",\"type\":\"Flash "
        "Air\",\"size\":" +
        std::to_string(fs::file_size(good)) + "}\n" + "{\"file\":\"" + text +
        "\",\"error\":\"Invalid archive file. - Native error: 00035.\"}\n" + "{\"file\":\"" + gone +
        "\",\"error\":\"no such file\"}\n" + "{\"file\":\"" + plain +
        "\",\"name\":\"Plain\",\"version\":\"\",\"author\":\"\",\"type\":\"\",\"size\":" +
        std::to_string(fs::file_size(plain)) + "}\n";
    EXPECT_EQ(run.output, expected);
}

// Package, debug token and required system keys follow the four values, only when present.
TEST_F(KestraneBarInfoTest, FurtherManifestValuesOnlyWhenPresent) {
    const std::string token = Bar("token.bar", "Package-Author: Me\n"
                                               "Package-Name: debug.token\n"
                                               "Package-Type: debug-token\n"
                                               "Debug-Token-Expiry-Date: 2031-06-30\n"
                                               "Debug-Token-Device-Id: 712981662,x,730976335\n");
    const std::string app = Bar("app.bar", "Application-Name: A\n"
                                           "Package-Id: abc_123\n"
                                           "Application-Requires-System: Tablet OS/2.1.0\n"
                                           "Debug-Token-Device-Id: none\n");
    const InfoRun run = Info({token, app});
    EXPECT_EQ(run.exitCode, 0);
    const std::string expected =
        "{\"file\":\"" + token +
        "\",\"name\":\"\",\"version\":\"\",\"author\":\"Me\",\"type\":\"\","
        "\"packageName\":\"debug.token\",\"packageType\":\"debug-token\","
        "\"debugTokenExpiry\":\"2031-06-30\",\"debugTokenDeviceIds\":[712981662,730976335],"
        "\"size\":" +
        std::to_string(fs::file_size(token)) + "}\n" + "{\"file\":\"" + app +
        "\",\"name\":\"A\",\"version\":\"\",\"author\":\"\",\"type\":\"\","
        "\"packageId\":\"abc_123\",\"requiredSystem\":\"Tablet OS\","
        "\"requiredVersion\":\"2.1.0\",\"size\":" +
        std::to_string(fs::file_size(app)) + "}\n";
    EXPECT_EQ(run.output, expected);
}

TEST_F(KestraneBarInfoTest, ExitZeroWhenEveryFileIsRead) {
    const InfoRun run = Info({Bar("a.bar", "Application-Name: A\n"), Bar("b.bar", "")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 2);
}

} // namespace
