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

void PrintTo(const LineCase& c, std::ostream* out) {
    *out << c.name;
}

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

// A debug token's installation writes no progress lines; its answer alone decides.
TEST(InstallResultTest, DebugTokenEndsLikeAnApp) {
    const QStringList done{"Info: Sending request: INSTALL_DEBUG_TOKEN",
                           "Info: Action: Install Debug Token", "Info: File size: 1840",
                           "result::success"};
    int progress = 0;
    for (const QString& line : done)
        if (HasProgressMarker(line))
            progress = InstallProgressOfLine(line);
    EXPECT_TRUE(InstallSucceeded({true, {}}, progress));

    CommandResult refused;
    refused.exitCode = 2;
    refused.output = "Info: Action: Install Debug Token\nInfo: File size: 1840\n"
                     "result::failure 500 invalid debug token\n";
    const CommandVerdict verdict = JudgeDeviceCommand(refused, "/opt/kestrane", "/usr/bin");
    EXPECT_FALSE(InstallSucceeded(verdict, 0));
    EXPECT_EQ(InstallFailure(refused, verdict).kind, FailureKind::DeviceRefused);
}

const char* const kInstalled = "Info: Sending request: INSTALL\nInfo: Progress 100%...\n"
                               "actual_dname::com.acme.speedtest.testDev_speedtest__0b911cdd\n"
                               "actual_id::testDev_speedtest__0b911cdd\n"
                               "actual_version::3.2.0.1\nresult::success\n";

TEST(LaunchOutcomeTest, LaunchedOrWhyNot) {
    struct Case {
        const char* name;
        const char* after; // the output after the installation's lines
        int exitCode;
        const char* status;
        const char* detail;
    };
    const Case cases[] = {
        {"launched",
         "Info: Launching com.acme.speedtest.testDev_speedtest__0b911cdd...\n"
         "result::40124533\n",
         0, "Running (PID 40124533)", "Installed and launched (PID 40124533)"},
        {"already_running", "Info: Launching x.y...\r\nresult::running,77\r\n", 0,
         "Running (PID 77)", "Installed; it was already running (PID 77)"},
        {"refused", "Info: Launching x.y...\nresult::failure 500 cannot determine package name\n",
         2, "Not launched (no such application on the device (500))",
         "Installed, but not launched: no such application on the device (500)"},
        {"not_reported", "", 0, "Not launched (the launch was not reported)",
         "Installed, but not launched: the launch was not reported"},
        {"odd_answer", "result::maybe\n", 0, "Not launched (the device answered \"result::maybe\")",
         "Installed, but not launched: the device answered \"result::maybe\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CommandResult result;
        result.exitCode = c.exitCode;
        result.output = QString::fromUtf8(kInstalled) + QString::fromUtf8(c.after);
        const CommandVerdict verdict = JudgeDeviceCommand(result, "/opt/kestrane", "/usr/bin");
        const LaunchOutcome outcome = ReadLaunchOutcome(result, verdict);
        EXPECT_EQ(LaunchOutcomeStatus(outcome), c.status);
        EXPECT_EQ(LaunchOutcomeDetail(outcome), c.detail);
    }
    CommandResult launched;
    launched.exitCode = 0;
    launched.output = QString::fromUtf8(kInstalled) + "result::123\n";
    const LaunchOutcome outcome = ReadLaunchOutcome(launched, {true, {}});
    EXPECT_TRUE(outcome.launched);
    EXPECT_EQ(outcome.pid, "123");
    EXPECT_FALSE(outcome.alreadyRunning);
    // A launch run of its own, after an installation that named its package.
    CommandResult launchOnly;
    launchOnly.exitCode = 0;
    launchOnly.output = QStringLiteral("Info: Sending request: LAUNCH\nresult::88\n");
    EXPECT_EQ(LaunchOutcomeStatus(ReadLaunchOutcome(launchOnly, {true, {}})),
              QStringLiteral("Running (PID 88)"));
}

TEST(InstalledPackageTest, NamedByTheInstallationsAnswer) {
    const InstalledPackage package = ReadInstalledPackage(kInstalled);
    EXPECT_EQ(package.name, "com.acme.speedtest");
    EXPECT_EQ(package.id, "testDev_speedtest__0b911cdd");
    EXPECT_EQ(package.version, "3.2.0.1");
    // A refused installation names nothing.
    const InstalledPackage none = ReadInstalledPackage(
        "actual_dname::\nactual_id::\nactual_version::\nresult::failure 881 no debug token\n");
    EXPECT_TRUE(none.name.isEmpty());
    EXPECT_TRUE(none.id.isEmpty());
}

} // namespace
