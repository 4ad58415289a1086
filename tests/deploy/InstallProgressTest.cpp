// Reading the installation's progress from the tool's output lines, and judging its result.

#include "InstallProgress.h"

#include <gtest/gtest.h>

using namespace kestrane;

namespace {

struct LineCase {
    const char* name;
    const char* line;
    int progress;
    bool marker = true; // the line holds a marker (a cut or bad number reports 0 all the same)
};

class InstallProgressOfLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(InstallProgressOfLineTest, ReadsThePercentage) {
    const QString line = QString::fromUtf8(GetParam().line);
    EXPECT_EQ(InstallProgressOfLine(line), GetParam().progress);
    EXPECT_EQ(HasProgressMarker(line), GetParam().marker);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, InstallProgressOfLineTest,
    ::testing::Values(LineCase{"Progress", "Info: Progress 10%...", 10},
                      LineCase{"TimeStampBefore", "12:00:01 Info: Progress 55%", 55},
                      LineCase{"BlanksBeforeNumber", "Info: Progress   7%", 7},
                      LineCase{"Success", "result::success", 100},
                      LineCase{"SuccessInsideALine", "Info: result::success (done)", 100},
                      LineCase{"BothMarkersProgressCounts", "Info: Progress 20% result::success",
                               20},
                      LineCase{"CutBeforePercent", "Info: Progress 4", 0},
                      LineCase{"CutAfterMarker", "Info: Progress ", 0},
                      LineCase{"NotAWholeNumber", "Info: Progress 5.5%", 0},
                      LineCase{"TextAfterNumber", "Info: Progress 50 of 100%", 0},
                      LineCase{"MarkerCaseMatters", "info: progress 50%", 0, false},
                      LineCase{"OtherLine", "Info: Sending request: Install", 0, false},
                      LineCase{"Empty", "", 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InstallingStatusTest, ShowsThePercentage) {
    EXPECT_EQ(InstallingStatus(42), QStringLiteral("Installing ... (42%)"));
}

TEST(InstallResultTest, SuccessNeedsTheCommandAndFullProgress) {
    EXPECT_TRUE(InstallSucceeded({true, {}}, 100));
    EXPECT_FALSE(InstallSucceeded({true, {}}, 99));
    EXPECT_FALSE(InstallSucceeded({false, QStringLiteral("Error: refused\n")}, 100));
}

TEST(InstallResultTest, FailureIsTheVerdictsOrNoResultWithTheOutput) {
    CommandResult result;
    result.exitCode = 0;
    result.output = QStringLiteral("Info: Progress 50%\r\n");
    const CommandVerdict noResult = InstallFailure(result, {true, {}});
    EXPECT_FALSE(noResult.succeeded);
    EXPECT_EQ(noResult.kind, FailureKind::NoResult);
    EXPECT_TRUE(noResult.errorText.startsWith(
        "The deploy tool ended without reporting the installation's result."));
    EXPECT_EQ(noResult.details, QStringLiteral("Info: Progress 50%\n"));
    const CommandVerdict failed{false, QStringLiteral("The device did not answer."),
                                FailureKind::NoAnswer};
    EXPECT_EQ(InstallFailure(result, failed).errorText, failed.errorText);
    EXPECT_EQ(InstallFailure(result, failed).kind, FailureKind::NoAnswer);
}

} // namespace
