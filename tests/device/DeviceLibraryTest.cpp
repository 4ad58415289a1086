// The device library's pieces against the scripted console runner: what they run (the tool's
// arguments as the argument file holds them), how they read the answers, and what they report.

#include "AppActionQueue.h"
#include "DeviceCommandRunner.h"
#include "DeviceOperations.h"
#include "FakeConsoleRunner.h"
#include "InstallPreflight.h"
#include "InstallProgress.h"
#include "InstallRun.h"
#include "LoginAttempts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <ostream>

namespace kestrane {

// Failing comparisons show the kind's name.
void PrintTo(FailureKind kind, std::ostream* out) {
    *out << FailureKindName(kind).toStdString();
}

} // namespace kestrane

namespace kestrane {
namespace {

using doubles::FakeConsoleAnswer;
using doubles::FakeConsoleRunner;
using namespace std::chrono_literals;

// A program folder with the deploy tool and its TLS settings, and a runtime folder with a java
// launcher: everything a command needs to be started.
class Installation {
public:
    Installation() {
        QDir(root_.path()).mkpath(QStringLiteral("app/lib"));
        QDir(root_.path()).mkpath(QStringLiteral("jre/bin"));
        touch(QStringLiteral("app/lib/BarDeploy.jar"));
        touch(QStringLiteral("app/lib/deploy-tls.security"));
        touch(QStringLiteral("jre/bin/java"));
        QFile::setPermissions(path(QStringLiteral("jre/bin/java")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString path(const QString& relative) const { return root_.filePath(relative); }
    DeviceContext context() const {
        return {{path(QStringLiteral("app")), path(QStringLiteral("home"))},
                path(QStringLiteral("jre/bin"))};
    }
    void remove(const QString& relative) const { QFile::remove(path(relative)); }

private:
    void touch(const QString& relative) {
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QTemporaryDir root_;
};

const DeviceTarget Z30{QStringLiteral("169.254.0.1"), QStringLiteral("z30")};

// ---- Checks before a command ------------------------------------------------------------------

struct CheckCase {
    const char* name;
    const char* address;
    const char* removed; // a file of the installation taken away; "" for none
    bool noRuntime;
    FailureKind kind;
    const char* messagePart;
};

void PrintTo(const CheckCase& c, std::ostream* out) {
    *out << c.name;
}

class CheckBeforeCommandTest : public testing::TestWithParam<CheckCase> {};

TEST_P(CheckBeforeCommandTest, NamesTheFirstMissingPiece) {
    const CheckCase& c = GetParam();
    Installation installation;
    if (*c.removed != '\0')
        installation.remove(QString::fromUtf8(c.removed));
    DeviceContext context = installation.context();
    if (c.noRuntime)
        context.javaBinDir.clear();
    const CommandCheck check = CheckBeforeDeviceCommand(context, QString::fromUtf8(c.address));
    EXPECT_EQ(check.kind, c.kind);
    EXPECT_EQ(check.ready(), c.kind == FailureKind::None);
    EXPECT_TRUE(check.message.contains(QString::fromUtf8(c.messagePart)))
        << check.message.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Checks, CheckBeforeCommandTest,
    testing::Values(CheckCase{"Ready", "169.254.0.1", "", false, FailureKind::None, ""},
                    CheckCase{"NoRuntimeBeforeBadAddress", "1.2.3", "", true,
                              FailureKind::JavaMissing, "Java Runtime Environment"},
                    CheckCase{"BadAddress", "169.254.0.256", "", false, FailureKind::InvalidAddress,
                              "is not a device address"},
                    CheckCase{"LauncherGone", "169.254.0.1", "jre/bin/java", false,
                              FailureKind::JavaMissing, "bin/java does not exist"},
                    CheckCase{"ToolGone", "169.254.0.1", "app/lib/BarDeploy.jar", false,
                              FailureKind::DeployToolMissing, "BarDeploy.jar"},
                    CheckCase{"TlsSettingsGone", "169.254.0.1", "app/lib/deploy-tls.security",
                              false, FailureKind::TlsSettingsMissing, "deploy-tls.security"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- The command runner -----------------------------------------------------------------------

TEST(DeviceCommandRunnerTest, PasswordGoesThroughAnArgumentFileThatIsGoneAfterwards) {
    Installation installation;
    auto runner = std::make_shared<FakeConsoleRunner>();
    runner->addAnswer(QStringLiteral("result::success\n"));
    DeviceCommandRunner commands(runner);
    std::optional<CommandResult> result;
    bool ended = false;
    DeviceCommandRunner::Settings settings;
    settings.whenEnded = [&] { ended = true; };
    commands.run(DeployCommand(installation.context().tool, DeployAction::ListDeviceInfo,
                               Z30.address, Z30.password),
                 installation.context().javaBinDir, settings,
                 [&](const CommandResult& done) { result = done; });
    EXPECT_TRUE(commands.isRunning());
    ASSERT_TRUE(runner->waitForAll());
    ASSERT_TRUE(result.has_value());
    EXPECT_TRUE(ended);
    EXPECT_EQ(result->exitCode, 0);
    EXPECT_FALSE(result->timedOut);
    EXPECT_FALSE(commands.isRunning());
    const QString command = runner->runs()[0].command;
    EXPECT_FALSE(command.contains(Z30.password));
    EXPECT_TRUE(runner->runs()[0].fileArguments.contains(Z30.password));
    EXPECT_FALSE(QFile::exists(command.section(QLatin1Char('@'), -1)));
}

struct StopCase {
    const char* name;
    bool stopAll; // stopped from outside rather than for silence
};

void PrintTo(const StopCase& c, std::ostream* out) {
    *out << c.name;
}

class DeviceCommandStopTest : public testing::TestWithParam<StopCase> {};

TEST_P(DeviceCommandStopTest, StoppedCommandEndsOnceAndSaysWhy) {
    Installation installation;
    auto runner = std::make_shared<FakeConsoleRunner>();
    runner->setHoldAnswers(true);
    DeviceCommandRunner commands(runner);
    int continuations = 0;
    int ends = 0;
    int idles = 0;
    CommandResult last;
    commands.setIdleCallback([&] { ++idles; });
    DeviceCommandRunner::Settings settings;
    settings.silenceLimit = 50ms;
    settings.whenEnded = [&] { ++ends; };
    commands.run(DeployCommand(installation.context().tool, DeployAction::ListDeviceInfo,
                               QStringLiteral("169.254.4.1"), QStringLiteral("x")),
                 installation.context().javaBinDir, settings, [&](const CommandResult& result) {
                     ++continuations;
                     last = result;
                 });
    if (GetParam().stopAll)
        commands.stopAll();
    ASSERT_TRUE(runner->waitForAll());
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(idles, 1);
    EXPECT_EQ(continuations, GetParam().stopAll ? 0 : 1);
    if (!GetParam().stopAll) {
        EXPECT_TRUE(last.timedOut);
        EXPECT_EQ(last.silenceLimit, 50ms);
        EXPECT_EQ(installation.context().judge(last).kind, FailureKind::NoAnswer);
    }
}

INSTANTIATE_TEST_SUITE_P(Stops, DeviceCommandStopTest,
                         testing::Values(StopCase{"Silence", false}, StopCase{"StopAll", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DeviceCommandRunnerTest, DestroyedRunnerEndsItsCommands) {
    Installation installation;
    auto runner = std::make_shared<FakeConsoleRunner>();
    runner->setHoldAnswers(true);
    int ends = 0;
    {
        DeviceCommandRunner commands(runner);
        DeviceCommandRunner::Settings settings;
        settings.whenEnded = [&] { ++ends; };
        commands.run(DeployCommand(installation.context().tool, DeployAction::ListDeviceInfo,
                                   Z30.address, Z30.password),
                     installation.context().javaBinDir, settings, nullptr);
    }
    EXPECT_EQ(ends, 1);
}

// ---- Runs a whole operation through a runner and waits for it ---------------------------------

struct Harness {
    Installation installation;
    std::shared_ptr<FakeConsoleRunner> runner = std::make_shared<FakeConsoleRunner>();
    DeviceCommandRunner commands{runner};
    StartDeviceCommand start() {
        return [this](const DeployInvocation& invocation,
                      const DeviceCommandRunner::Settings& settings,
                      DeviceCommandRunner::Continuation whenDone) {
            return commands.run(invocation, installation.context().javaBinDir, settings,
                                std::move(whenDone));
        };
    }
    // Also turns the event loop when no scripted job is left: a command that was not sent ends
    // from there.
    bool waitIdle() {
        for (int turn = 0; turn < 500 && commands.isRunning(); ++turn) {
            runner->waitForAll();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return !commands.isRunning();
    }
};

// ---- Connect and the application list ---------------------------------------------------------

const QString DeviceInfoText = QStringLiteral(
    "Info: Sending request: DEVICE_INFO\nmodelfullname::BlackBerry Z30\ndevicepin::0x2b3c4d5e\n"
    "device_os::BlackBerry 10\nscmbundle::10.3.3.3216\n");
// The table rows point into these, so they must outlive the rows (a temporary's bytes would not).
const std::string DeviceInfoUtf8 = DeviceInfoText.toStdString();

struct OutcomeCase {
    const char* name;
    const char* output;
    int exitCode;
    FailureKind kind;
};

void PrintTo(const OutcomeCase& c, std::ostream* out) {
    *out << c.name;
}

class ConnectOutcomeTest : public testing::TestWithParam<OutcomeCase> {};

TEST_P(ConnectOutcomeTest, ReadsTheDeviceOrSaysWhyNot) {
    const OutcomeCase& c = GetParam();
    Installation installation;
    CommandResult result;
    result.output = QString::fromUtf8(c.output);
    result.exitCode = c.exitCode;
    const ConnectOutcome outcome = ReadConnectOutcome(installation.context(), result);
    EXPECT_EQ(outcome.verdict.kind, c.kind);
    EXPECT_EQ(outcome.verdict.succeeded, c.kind == FailureKind::None);
    if (c.kind == FailureKind::None) {
        EXPECT_EQ(outcome.info.deviceName, QStringLiteral("BlackBerry Z30"));
        EXPECT_EQ(outcome.info.pin, QStringLiteral("2B3C4D5E"));
    }
    if (c.kind == FailureKind::NoResult) {
        EXPECT_EQ(outcome.verdict.errorText, NoDeviceInformationMessage);
        EXPECT_FALSE(outcome.verdict.details.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ConnectOutcomeTest,
    testing::Values(
        OutcomeCase{"Connected", DeviceInfoUtf8.c_str(), 0, FailureKind::None},
        OutcomeCase{"TooFewLines", "Info: Sending request: DEVICE_INFO\n", 0,
                    FailureKind::NoResult},
        OutcomeCase{"WrongPassword",
                    "Error: Authentication failed. There have been 2 of 10 failed attempts\n", 3,
                    FailureKind::WrongPassword},
        OutcomeCase{"DevelopmentModeOff",
                    "Info: Sending request: DEVICE_INFO\nError: Device is not in the "
                    "Development Mode. Switch to Development Mode from Security settings on the "
                    "device.\n",
                    2, FailureKind::DevelopmentModeOff}),
    [](const auto& info) { return std::string(info.param.name); });

const QString ListingText = QStringLiteral(
    "Info: Sending request: LIST\n"
    "com.acme.speedtest.testDev_speedtest__0b911cdd::testDev_speedtest__0b911cdd,3.2.0.1,,,"
    "402112,name::Speed Test,source::developer\r\n"
    "sys.browser.gYABgJYFHAzbeFMPCCpYWBtHAm0::sys.browser,10.3.3.1,,,1,name::Browser,"
    "source::appworld\n");

class AppListingTest : public testing::TestWithParam<OutcomeCase> {};

TEST_P(AppListingTest, FailedListingYieldsNoRows) {
    const OutcomeCase& c = GetParam();
    Installation installation;
    CommandResult result;
    result.output = QString::fromUtf8(c.output);
    result.exitCode = c.exitCode;
    const AppListing listing = ReadAppListing(installation.context(), result);
    EXPECT_EQ(listing.verdict.kind, c.kind);
    if (c.kind != FailureKind::None) {
        EXPECT_TRUE(listing.apps.isEmpty());
        return;
    }
    ASSERT_EQ(listing.apps.size(), 2);
    EXPECT_EQ(listing.apps[0].appName, QStringLiteral("Speed Test"));
    EXPECT_EQ(listing.apps[0].packageName, QStringLiteral("com.acme.speedtest"));
    EXPECT_EQ(listing.apps[0].packageId, QStringLiteral("testDev_speedtest__0b911cdd"));
    EXPECT_EQ(listing.apps[1].version, QStringLiteral("10.3.3.1"));
}

const std::string ListingUtf8 = ListingText.toStdString();
const std::string ListingThenError = ListingUtf8 + "Error: The target server failed to respond\n";

INSTANTIATE_TEST_SUITE_P(
    Listings, AppListingTest,
    testing::Values(OutcomeCase{"Listed", ListingUtf8.c_str(), 0, FailureKind::None},
                    OutcomeCase{"RowsThenError", ListingThenError.c_str(), 1,
                                FailureKind::ConnectionClosed},
                    OutcomeCase{"RowsThenExitCode", ListingUtf8.c_str(), 1, FailureKind::Unknown}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- The application action queue ------------------------------------------------------------

struct QueueCase {
    const char* name;
    DeployAction action;
    QList<FakeConsoleAnswer> answers; // one per package; a held answer stays silent
    bool silentSecond;
    QStringList statuses; // what each package was reported as; fewer when the queue stopped
    QString failuresPart;
};

void PrintTo(const QueueCase& c, std::ostream* out) {
    *out << c.name;
}

class AppActionQueueTest : public testing::TestWithParam<QueueCase> {};

TEST_P(AppActionQueueTest, RunsOnePackageAfterTheOther) {
    const QueueCase& c = GetParam();
    Harness harness;
    for (const FakeConsoleAnswer& answer : c.answers)
        harness.runner->addAnswer(answer);
    const QList<AppActionQueue::Turn> turns{
        {QStringLiteral("Speed Test"), QStringLiteral("com.acme.speedtest"), QStringLiteral("id1")},
        {QStringLiteral("Maps"), QStringLiteral("com.acme.maps"), QStringLiteral("id2")},
        {QStringLiteral("Notes"), QStringLiteral("com.acme.notes"), QStringLiteral("id3")}};
    QStringList statuses;
    std::optional<QString> failures;
    AppActionQueue::Callbacks callbacks;
    callbacks.turnDone = [&](qsizetype index, const AppActionQueue::TurnResult& done) {
        EXPECT_EQ(index, statuses.size());
        statuses.append(done.status);
    };
    callbacks.ended = [&](const QString& text, const QString&) { failures = text; };
    const auto queue = AppActionQueue::Start(harness.start(), harness.installation.context(), Z30,
                                             c.action, turns, 100ms, callbacks);
    // The first command has started; every later one stays silent.
    if (c.silentSecond)
        harness.runner->setHoldAnswers(true);
    ASSERT_TRUE(harness.waitIdle());
    ASSERT_TRUE(failures.has_value());
    EXPECT_FALSE(queue->isRunning());
    EXPECT_EQ(statuses, c.statuses);
    EXPECT_TRUE(failures->contains(c.failuresPart)) << failures->toStdString();
    EXPECT_EQ(failures->isEmpty(), c.failuresPart.isEmpty());
    ASSERT_EQ(harness.runner->runs().size(), c.statuses.size());
    for (qsizetype i = 0; i < c.statuses.size(); ++i) {
        const QStringList arguments = harness.runner->runs()[i].fileArguments;
        EXPECT_TRUE(arguments.contains(DeployActionOption(c.action)));
        EXPECT_EQ(arguments.mid(arguments.indexOf(QStringLiteral("-package-name")), 4),
                  PackageArguments(turns[i].packageName, turns[i].packageId));
    }
}

const FakeConsoleAnswer Ok{{QStringLiteral("result::true\n")}, 0};
const FakeConsoleAnswer Gone{
    {QStringLiteral("result::failure 500 cannot determine package name\n")}, 2};

INSTANTIATE_TEST_SUITE_P(Queues, AppActionQueueTest,
                         testing::Values(QueueCase{"AllRunning",
                                                   DeployAction::IsAppRunning,
                                                   {Ok, Ok, Ok},
                                                   false,
                                                   {"Running", "Running", "Running"},
                                                   {}},
                                         QueueCase{"OneRefused",
                                                   DeployAction::TerminateApp,
                                                   {Ok, Gone, Ok},
                                                   false,
                                                   {"Stop", "Error", "Stop"},
                                                   "Maps: "},
                                         QueueCase{"SilentDeviceStopsTheQueue",
                                                   DeployAction::LaunchApp,
                                                   {Ok},
                                                   true,
                                                   {"Running", "Error"},
                                                   "Maps: The device did not answer"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The installation run ---------------------------------------------------------------------

const QString InstalledText = QStringLiteral(
    "Info: Installing ...\nInfo: Progress 40%...\nInfo: Progress 100%...\nresult::success\n");
// Install and launch in one run: the installation's lines, then the launch's answer.
const QString LaunchedText =
    InstalledText +
    QStringLiteral("Info: Launching com.acme.speedtest.testDev_x...\nresult::4242\n");
const QString NotLaunchedText =
    InstalledText + QStringLiteral("Info: Launching com.example.maps.x...\n"
                                   "result::failure 500 cannot determine package name\n");
const QString RefusedText = QStringLiteral(
    "Info: Progress 20%...\nactual_dname::\nresult::failure 881 no debug token found\n");

struct InstallCase {
    const char* name;
    QList<FakeConsoleAnswer> answers; // one per BAR
    InstallRun::Decision decision;
    bool launch;
    QStringList statuses;
    bool aborted;
    QString summaryPart;
    // What each launch answered, in order: the PID, or "not launched".
    QStringList launches = {};
};

void PrintTo(const InstallCase& c, std::ostream* out) {
    *out << c.name;
}

class InstallRunTest : public testing::TestWithParam<InstallCase> {};

TEST_P(InstallRunTest, InstallsTheQueueInOrder) {
    const InstallCase& c = GetParam();
    Harness harness;
    for (const FakeConsoleAnswer& answer : c.answers)
        harness.runner->addAnswer(answer);
    const QList<InstallRun::Item> items{
        {QStringLiteral("Speed Test"), QStringLiteral("/bars/a.bar")},
        {QStringLiteral("Maps"), QStringLiteral("/bars/b.bar")}};
    QStringList statuses;
    QList<QList<int>> percents(items.size());
    int decisions = 0;
    std::optional<std::pair<bool, QString>> ended;
    InstallRun::Callbacks callbacks;
    callbacks.progressed = [&](int index, int percent, const QString& status) {
        percents[index].append(percent);
        EXPECT_EQ(status, InstallingStatus(percent));
    };
    QStringList launches;
    callbacks.finished = [&](int index, bool succeeded, const QString& status,
                             const CommandVerdict& failure,
                             const std::optional<LaunchOutcome>& launch) {
        EXPECT_EQ(index, statuses.size());
        EXPECT_EQ(succeeded, failure.succeeded);
        statuses.append(status);
        if (launch)
            launches.append(launch->launched ? launch->pid : QStringLiteral("not launched"));
    };
    callbacks.decide = [&](int, const CommandVerdict& failure) {
        ++decisions;
        EXPECT_EQ(failure.kind, FailureKind::DeviceRefused);
        return c.decision;
    };
    callbacks.ended = [&](bool aborted, const QString& summary) { ended = {aborted, summary}; };
    InstallRun::Options options;
    options.launch = c.launch;
    const auto run = InstallRun::Start(harness.start(), harness.installation.context(), Z30, items,
                                       options, callbacks);
    EXPECT_TRUE(run->isActive());
    ASSERT_TRUE(harness.waitIdle());
    ASSERT_TRUE(ended.has_value());
    EXPECT_FALSE(run->isActive());
    EXPECT_EQ(statuses, c.statuses);
    EXPECT_EQ(launches, c.launches);
    EXPECT_EQ(decisions, c.statuses.count(InstallErrorStatus));
    EXPECT_EQ(ended->first, c.aborted);
    EXPECT_TRUE(ended->second.contains(c.summaryPart)) << ended->second.toStdString();
    for (const QList<int>& rising : percents)
        EXPECT_TRUE(std::adjacent_find(rising.begin(), rising.end(), std::greater_equal<int>()) ==
                    rising.end());
    ASSERT_EQ(harness.runner->runs().size(), c.statuses.size());
    for (qsizetype i = 0; i < c.statuses.size(); ++i) {
        const QStringList arguments = harness.runner->runs()[i].fileArguments;
        EXPECT_EQ(arguments.last(), items[i].barPath);
        // The tool's own order: -installApp -launchApp, then the device and the BAR.
        EXPECT_EQ(arguments.indexOf(QStringLiteral("-launchApp")),
                  c.launch ? arguments.indexOf(QStringLiteral("-installApp")) + 1 : -1);
        EXPECT_EQ(harness.runner->runs()[i].feed, ConsoleJob::Feed::Lines);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, InstallRunTest,
    testing::Values(InstallCase{"BothInstalled",
                                {{{InstalledText}, 0},
                                 {{InstalledText.left(30), InstalledText.mid(30)}, 0}},
                                InstallRun::Decision::Ignore,
                                false,
                                {"Done", "Done"},
                                false,
                                "Installation finished"},
                    InstallCase{"InstalledAndLaunched",
                                {{{LaunchedText}, 0}, {{NotLaunchedText}, 2}},
                                InstallRun::Decision::Ignore,
                                true,
                                {"Running (PID 4242)",
                                 "Not launched (no such application on the device (500))"},
                                false,
                                "Installation finished",
                                {"4242", "not launched"}},
                    // With the launch, a refused installation is a failed row, listed as not
                    // installed, not an installed application that did not start.
                    InstallCase{"RefusedWhileLaunching",
                                {{{RefusedText}, 2}, {{LaunchedText}, 0}},
                                InstallRun::Decision::Ignore,
                                true,
                                {"Error", "Running (PID 4242)"},
                                false,
                                "Speed Test (a.bar): no debug token",
                                {"4242"}},
                    InstallCase{"RefusedThenIgnored",
                                {{{RefusedText}, 2}, {{InstalledText}, 0}},
                                InstallRun::Decision::Ignore,
                                false,
                                {"Error", "Done"},
                                false,
                                "Speed Test (a.bar): no debug token"},
                    InstallCase{"RefusedThenAborted",
                                {{{RefusedText}, 2}},
                                InstallRun::Decision::Abort,
                                false,
                                {"Error"},
                                true,
                                ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A debug token goes with -installDebugToken and its file as the option's value, and is never
// launched, whatever the launch option says.
TEST(InstallRunDebugTokenTest, InstallsTheTokenWithItsOwnOption) {
    Harness harness;
    harness.runner->addAnswer(
        QStringLiteral("Info: Sending request: INSTALL_DEBUG_TOKEN\n"
                       "Info: Action: Install Debug Token\nresult::success\n"));
    InstallRun::Item token{QStringLiteral("Debug token"), QStringLiteral("/bars/token.bar")};
    token.debugToken = true;
    QStringList statuses;
    InstallRun::Callbacks callbacks;
    callbacks.finished = [&](int, bool, const QString& status, const CommandVerdict&,
                             const std::optional<LaunchOutcome>& launch) {
        statuses.append(status);
        EXPECT_FALSE(launch.has_value()) << "token launched";
    };
    InstallRun::Options options;
    options.launch = true;
    InstallRun::Start(harness.start(), harness.installation.context(), Z30, {token}, options,
                      callbacks);
    ASSERT_TRUE(harness.waitIdle());
    EXPECT_EQ(statuses, QStringList{InstallDoneStatus});
    ASSERT_EQ(harness.runner->runs().size(), 1);
    const QStringList arguments = harness.runner->runs()[0].fileArguments;
    const qsizetype option = arguments.indexOf(QStringLiteral("-installDebugToken"));
    ASSERT_GE(option, 0);
    EXPECT_EQ(arguments.value(option + 1), QStringLiteral("/bars/token.bar"));
    EXPECT_FALSE(arguments.contains(QStringLiteral("-installApp")));
    EXPECT_FALSE(arguments.contains(QStringLiteral("-launchApp")));
}

// Debug tokens are installed before the applications queued with them, which need one; the
// callbacks still name every item by its place in the queue.
TEST(InstallRunDebugTokenTest, TokensGoFirst) {
    Harness harness;
    for (int i = 0; i < 3; ++i)
        harness.runner->addAnswer(InstalledText);
    InstallRun::Item token{QStringLiteral("Debug token"), QStringLiteral("/bars/token.bar")};
    token.debugToken = true;
    const QList<InstallRun::Item> items{
        {QStringLiteral("Clock"), QStringLiteral("/bars/clock.bar")},
        token,
        {QStringLiteral("Maps"), QStringLiteral("/bars/maps.bar")}};
    QList<int> started;
    QList<int> finished;
    InstallRun::Callbacks callbacks;
    callbacks.started = [&](int index, ConsoleJob*) { started.append(index); };
    callbacks.finished = [&](int index, bool succeeded, const QString&, const CommandVerdict&,
                             const std::optional<LaunchOutcome>&) {
        EXPECT_TRUE(succeeded);
        finished.append(index);
    };
    InstallRun::Start(harness.start(), harness.installation.context(), Z30, items, {}, callbacks);
    ASSERT_TRUE(harness.waitIdle());
    EXPECT_EQ(started, (QList<int>{1, 0, 2}));
    EXPECT_EQ(finished, started);
    QStringList installed;
    for (const auto& run : harness.runner->runs())
        installed.append(run.fileArguments.filter(QStringLiteral("/bars/")).value(0));
    EXPECT_EQ(installed, (QStringList{"/bars/token.bar", "/bars/clock.bar", "/bars/maps.bar"}));
}

// ---- Confirming installations against the device's list ---------------------------------------

// An installation as a device answers it (the simulated Z30's lines), naming what it installed.
QString InstalledAnswer(const QString& package, const QString& id, const QString& version) {
    return QStringLiteral("Info: Sending request: INSTALL\nInfo: Action: Install\n"
                          "Info: Progress 100%...\nactual_dname::%1.%2\nactual_id::%2\n"
                          "actual_version::%3\nresult::success\n")
        .arg(package, id, version);
}

// One line of a device's "-listInstalledApps".
QString ListedLine(const QString& package, const QString& id, const QString& version) {
    return QStringLiteral("%1.%2::%2,%3,,,402112,name::App,source::developer\n")
        .arg(package, id, version);
}

TEST(ConfirmInstallationTest, TheListDecides) {
    const QList<InstalledApp> listed = ReadInstalledApps(
        ListingText + ListedLine("com.example.maps", "testDev_maps_a1", "1.0.0.1") +
        ListedLine("com.example.maps", "testDev_maps_b2", "2.0.0.0"));
    using State = InstallConfirmation::State;
    const struct {
        const char* name;
        const char* package;
        const char* version;
        InstallConfirmation expected;
        QString status;
    } cases[] = {
        {"at the BAR's version", "com.acme.speedtest", "3.2.0.1", {}, ""},
        {"version unknown: any row", "com.acme.speedtest", "", {}, ""},
        {"one of two rows at the version", "com.example.maps", "2.0.0.0", {}, ""},
        {"another version",
         "com.acme.speedtest",
         "3.3.0.0",
         {State::OtherVersion, "3.2.0.1", {}},
         "Installed, but the device lists version 3.2.0.1"},
        {"first of the other versions",
         "com.example.maps",
         "3.0.0.0",
         {State::OtherVersion, "1.0.0.1", {}},
         "Installed, but the device lists version 1.0.0.1"},
        {"not listed",
         "com.example.clock",
         "1.0.0.0",
         {State::NotListed, {}, {}},
         "Installed, but the device does not list it"},
        // "sys.browser" is a package of the list only as part of a longer name.
        {"a name's prefix is no match",
         "sys",
         "",
         {State::NotListed, {}, {}},
         "Installed, but the device does not list it"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const InstallConfirmation confirmation =
            ConfirmInstallation(QString::fromUtf8(c.package), QString::fromUtf8(c.version), listed);
        EXPECT_EQ(confirmation.state, c.expected.state);
        EXPECT_EQ(confirmation.listedVersion, c.expected.listedVersion);
        EXPECT_EQ(InstallConfirmationStatus(confirmation), c.status);
    }
}

struct ConfirmCase {
    const char* name;
    QString listing; // what "-listInstalledApps" writes
    int listingExit;
    QList<InstallConfirmation::State> states; // for Maps, then Clock
    QStringList summaryParts;
};

void PrintTo(const ConfirmCase& c, std::ostream* out) {
    *out << c.name;
}

class InstallConfirmTest : public testing::TestWithParam<ConfirmCase> {};

// Two applications and a debug token: one listing after the last of them, for both applications
// (one named by its manifest, one only by the installation's answer), never for the token.
TEST_P(InstallConfirmTest, OneListingForTheWholeRun) {
    const ConfirmCase& c = GetParam();
    Harness harness;
    InstallRun::Item maps{QStringLiteral("Maps"), QStringLiteral("/bars/maps.bar")};
    maps.packageName = QStringLiteral("com.example.maps");
    maps.version = QStringLiteral("1.0.0.1");
    const InstallRun::Item clock{QStringLiteral("Clock"), QStringLiteral("/bars/clock.bar")};
    InstallRun::Item token{QStringLiteral("Debug token"), QStringLiteral("/bars/token.bar")};
    token.debugToken = true;
    harness.runner->addAnswer(
        QStringLiteral("Info: Action: Install Debug Token\nresult::success\n"));
    harness.runner->addAnswer(InstalledAnswer("com.example.maps", "testDev_maps_a1", "1.0.0.1"));
    harness.runner->addAnswer(InstalledAnswer("com.example.clock", "testDev_clock_c3", "2.1.0.0"));
    harness.runner->addAnswer(c.listing, c.listingExit);
    QList<int> confirmedIndexes;
    QList<InstallConfirmation::State> states;
    std::optional<QString> summary;
    InstallRun::Callbacks callbacks;
    callbacks.confirmed = [&](int index, const InstallConfirmation& confirmation) {
        confirmedIndexes.append(index);
        states.append(confirmation.state);
        if (confirmation.state == InstallConfirmation::State::NotChecked) {
            EXPECT_FALSE(confirmation.reason.isEmpty());
        }
    };
    callbacks.ended = [&](bool aborted, const QString& text) {
        EXPECT_FALSE(aborted);
        summary = text;
    };
    InstallRun::Options options;
    options.silenceLimit = 300s;
    options.listingSilenceLimit = 60s;
    const auto run = InstallRun::Start(harness.start(), harness.installation.context(), Z30,
                                       {maps, token, clock}, options, callbacks);
    ASSERT_TRUE(harness.waitIdle());
    ASSERT_TRUE(summary.has_value());
    EXPECT_FALSE(run->isActive());
    EXPECT_EQ(confirmedIndexes, (QList<int>{0, 2}));
    EXPECT_EQ(states, c.states);
    for (const QString& part : c.summaryParts)
        EXPECT_TRUE(summary->contains(part)) << summary->toStdString();
    ASSERT_EQ(harness.runner->runs().size(), 4);
    const QStringList listing = harness.runner->runs()[3].fileArguments;
    EXPECT_TRUE(listing.contains(QStringLiteral("-listInstalledApps")));
    EXPECT_EQ(harness.runner->runs()[3].feed, ConsoleJob::Feed::WholeText);
}

using ConfirmState = InstallConfirmation::State;

INSTANTIATE_TEST_SUITE_P(
    Confirmations, InstallConfirmTest,
    testing::Values(
        ConfirmCase{"BothListed",
                    ListingText + ListedLine("com.example.maps", "testDev_maps_a1", "1.0.0.1") +
                        ListedLine("com.example.clock", "testDev_clock_c3", "2.1.0.0"),
                    0,
                    {ConfirmState::Confirmed, ConfirmState::Confirmed},
                    {"Installation finished"}},
        ConfirmCase{"OtherVersionAndMissing",
                    QStringLiteral("Info: Sending request: LIST\n") +
                        ListedLine("com.example.maps", "testDev_maps_a1", "0.9.0.0"),
                    0,
                    {ConfirmState::OtherVersion, ConfirmState::NotListed},
                    {"The device does not list these as installed:\n"
                     "Maps (maps.bar): Installed, but the device lists version 0.9.0.0\n"
                     "Clock (clock.bar): Installed, but the device does not list it"}},
        // The listing itself fails: nothing is called failed, the run says what was not checked.
        ConfirmCase{"ListingFailed",
                    QStringLiteral("Error: Cannot connect: Connection to https://169.254.0.1:443 "
                                   "refused. Please check IP address settings for the target. "
                                   "You may have to reboot the target.\n"),
                    1,
                    {ConfirmState::NotChecked, ConfirmState::NotChecked},
                    {"Installation finished\nThe installations were not confirmed: the device's "
                     "list of applications could not be read (cannot connect: 169.254.0.1 "
                     "refused the connection)."}}),
    [](const auto& info) { return std::string(info.param.name); });

// Without a package name from the manifest or the installation's answer there is nothing to look
// for, and nothing is listed; an aborted run lists nothing either.
TEST(InstallConfirmTest, NothingToLookForListsNothing) {
    for (const bool abort : {false, true}) {
        SCOPED_TRACE(abort ? "aborted" : "nothing named");
        Harness harness;
        harness.runner->addAnswer(InstalledText);
        harness.runner->addAnswer(RefusedText, 2);
        bool confirmed = false;
        InstallRun::Callbacks callbacks;
        callbacks.confirmed = [&](int, const InstallConfirmation&) { confirmed = true; };
        callbacks.decide = [&](int, const CommandVerdict&) {
            return abort ? InstallRun::Decision::Abort : InstallRun::Decision::Ignore;
        };
        InstallRun::Item named{QStringLiteral("Maps"), QStringLiteral("/bars/maps.bar")};
        named.packageName = abort ? QStringLiteral("com.example.maps") : QString();
        InstallRun::Start(harness.start(), harness.installation.context(), Z30,
                          {named, {QStringLiteral("Clock"), QStringLiteral("/bars/clock.bar")}}, {},
                          callbacks);
        ASSERT_TRUE(harness.waitIdle());
        EXPECT_FALSE(confirmed);
        EXPECT_EQ(harness.runner->runs().size(), 2);
    }
}

// ---- The last password attempt -----------------------------------------------------------------

// The tool's texts as seen with a device (see the deploy tool's observed answers).
const QString NineOfTen =
    QStringLiteral("Error: Authentication failed. There have been 9 of 10 failed attempts\n");
const QString TooMany = QStringLiteral(
    "Error: Authentication failed. There have been too many failed attempts (10). Please enter "
    "your password on the device to reset the failed attempts count and try again\n");

TEST(LoginOutcomeTest, ReadsWhatTheLoginCameTo) {
    using Kind = LoginOutcome::Kind;
    const struct {
        const char* name;
        QString output;
        LoginOutcome expected;
    } cases[] = {
        {"first wrong password",
         "Error: Authentication failed. There have been 1 of 10 failed attempts\n",
         {Kind::Refused, 1, 10}},
        {"one attempt left", NineOfTen, {Kind::Refused, 9, 10}},
        {"locked", TooMany, {Kind::Locked, 10, 10}},
        {"device information",
         "Info: Sending request: DEVICE_INFO\nInfo: Action: List Device Info\n"
         "[n]@deviceproperties\ndefaultTheme::black\ndevice_os::BlackBerry 10\n",
         {Kind::Accepted}},
        {"an installation refused by the device",
         "Info: Progress 20%...\nactual_dname::\nresult::failure 881 no debug token found\n",
         {Kind::Accepted}},
        {"Development Mode off",
         "Error: Device is not in the Development Mode. Switch to Development Mode from Security "
         "settings on the device.\n",
         {Kind::Accepted}},
        {"a BAR file that is gone",
         "Error: File does not exist or not a file or cannot read: /bars/gone.bar \n",
         {Kind::Accepted}},
        {"refused connection",
         "Error: Cannot connect: Connection to https://169.254.0.1:443 refused. Please check IP "
         "address settings for the target. You may have to reboot the target.\n",
         {Kind::Unknown}},
        {"login system error",
         "[Fatal Error] :1:1: Premature end of file.\n"
         "Error: Authentication failed due to system error\n",
         {Kind::Unknown}},
        {"connection closed",
         "INFO: Retrying request\nError: The target server failed to respond\n",
         {Kind::Unknown}},
        {"nothing", "", {Kind::Unknown}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReadLoginOutcome(c.output), c.expected);
    }
}

TEST(LoginAttemptsTest, KeptInTheFileUntilALoginIsAccepted) {
    QTemporaryDir state;
    const QString file = state.filePath(QStringLiteral("kestrane/login-attempts"));
    const QString z30 = QStringLiteral("169.254.0.1");
    const QString q10 = QStringLiteral("169.254.1.1");
    {
        LoginAttempts attempts(file);
        attempts.record(z30, {LoginOutcome::Kind::Refused, 8, 10});
        EXPECT_FALSE(attempts.lastAttemptLeft(z30));
        attempts.record(z30, {LoginOutcome::Kind::Refused, 9, 10});
        attempts.record(q10, {LoginOutcome::Kind::Refused, 2, 10});
        // Learning nothing forgets nothing.
        attempts.record(z30, {});
    }
    // Another run of a front end knows what this one learned.
    LoginAttempts later(file);
    EXPECT_EQ(later.count(z30), (LoginAttempts::Count{9, 10}));
    EXPECT_TRUE(later.lastAttemptLeft(z30));
    EXPECT_FALSE(later.maySend(z30));
    EXPECT_TRUE(later.maySend(q10));
    // An allowance lets one command through.
    later.allowLastAttempt(z30);
    EXPECT_TRUE(later.maySend(z30));
    EXPECT_FALSE(later.maySend(z30));
    EXPECT_TRUE(later.withheldMessage(z30).contains(QStringLiteral("9 of 10 failed attempts")));
    later.record(z30, {LoginOutcome::Kind::Accepted});
    EXPECT_FALSE(LoginAttempts(file).count(z30).has_value());
    EXPECT_EQ(LoginAttempts(file).count(q10), (LoginAttempts::Count{2, 10}));
    // A locked device has no attempt left to spend.
    later.record(q10, {LoginOutcome::Kind::Locked, 10, 10});
    EXPECT_TRUE(later.maySend(q10));
}

TEST(LoginAttemptsTest, KeptInMemoryWhenTheFileCannotBeWritten) {
    QTemporaryDir state;
    QFile blocker(state.filePath(QStringLiteral("not-a-folder")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    LoginAttempts attempts(state.filePath(QStringLiteral("not-a-folder/login-attempts")));
    attempts.record(Z30.address, {LoginOutcome::Kind::Refused, 9, 10});
    EXPECT_TRUE(attempts.lastAttemptLeft(Z30.address));
}

// Through the runner, as every front end sends its commands: after "9 of 10" the next command to
// that device is not started unless allowed, and a login the device accepts clears the count.
TEST(LoginAttemptsTest, TheRunnerHoldsBackTheLastAttempt) {
    Harness harness;
    auto attempts = std::make_shared<LoginAttempts>(QString());
    attempts->setAdvice(QStringLiteral("Do this."));
    harness.commands.setLoginAttempts(attempts);
    harness.runner->addAnswer(NineOfTen, 3);
    harness.runner->addAnswer(DeviceInfoText);
    QList<CommandResult> results;
    const auto listDeviceInfo = [&] {
        harness.start()(DeployCommand(harness.installation.context().tool,
                                      DeployAction::ListDeviceInfo, Z30.address, Z30.password),
                        {}, [&](const CommandResult& result) { results.append(result); });
        ASSERT_TRUE(harness.waitIdle());
    };
    listDeviceInfo();
    listDeviceInfo();
    ASSERT_EQ(results.size(), 2);
    EXPECT_EQ(harness.runner->runs().size(), 1);
    const CommandVerdict withheld = harness.installation.context().judge(results[1]);
    EXPECT_EQ(withheld.kind, FailureKind::LastAttemptLeft);
    EXPECT_EQ(DeviceExitCode(withheld.kind), 3);
    EXPECT_TRUE(withheld.errorText.startsWith(
        QStringLiteral("Not sent: the device at 169.254.0.1 has one password attempt left")));
    EXPECT_TRUE(withheld.errorText.endsWith(QStringLiteral(" Do this.")));
    // Another device is not held back.
    EXPECT_TRUE(attempts->maySend(QStringLiteral("169.254.1.1")));

    attempts->allowLastAttempt(Z30.address);
    listDeviceInfo();
    EXPECT_EQ(harness.runner->runs().size(), 2);
    EXPECT_TRUE(harness.installation.context().judge(results[2]).succeeded);
    EXPECT_FALSE(attempts->count(Z30.address).has_value());
}

// A queue whose first installation leaves the device at its last attempt sends nothing more.
TEST(LoginAttemptsTest, AnInstallationRunStopsSendingAtTheLastAttempt) {
    Harness harness;
    harness.commands.setLoginAttempts(std::make_shared<LoginAttempts>(QString()));
    harness.runner->addAnswer(NineOfTen, 3);
    QList<FailureKind> kinds;
    InstallRun::Callbacks callbacks;
    callbacks.finished = [&](int, bool, const QString&, const CommandVerdict& failure,
                             const std::optional<LaunchOutcome>&) { kinds.append(failure.kind); };
    InstallRun::Start(harness.start(), harness.installation.context(), Z30,
                      {{QStringLiteral("A"), QStringLiteral("/bars/a.bar")},
                       {QStringLiteral("B"), QStringLiteral("/bars/b.bar")},
                       {QStringLiteral("C"), QStringLiteral("/bars/c.bar")}},
                      {}, callbacks);
    ASSERT_TRUE(harness.waitIdle());
    EXPECT_EQ(kinds, (QList<FailureKind>{FailureKind::WrongPassword, FailureKind::LastAttemptLeft,
                                         FailureKind::LastAttemptLeft}));
    EXPECT_EQ(harness.runner->runs().size(), 1);
}

// ---- What the install list says before a run ------------------------------------------------

BarInfo Token(const char* expiry, std::vector<std::uint64_t> ids) {
    BarInfo bar;
    bar.PackageType = "debug-token";
    bar.DebugTokenExpiry = expiry;
    bar.DebugTokenDeviceIds = std::move(ids);
    return bar;
}

BarInfo Requiring(const char* version) {
    BarInfo bar;
    bar.RequiredSystemName = "BlackBerry 10";
    bar.RequiredSystemVersion = version;
    return bar;
}

TEST(BarNoteTest, SaysWhatTheDeviceWillSayBeforeTheUpload) {
    DeviceInfo z30; // PIN 2A7F3C9E = 712981662, OS 10.2.1.3247
    z30.pin = QStringLiteral("2A7F3C9E");
    z30.version = QStringLiteral("10.2.1.3247");
    const QDate today(2026, 12, 10);
    const struct {
        const char* name;
        BarInfo bar;
        DeviceInfo device;
        QString text;
        QString detail;
    } cases[] = {
        {"token for this device", Token("2027-01-31T12:00:00Z", {1, 712981662}), z30,
         "Valid until 2027-01-31", "Debug token valid until 2027-01-31T12:00:00Z"},
        {"token for other devices", Token("2027-01-31", {1, 2}), z30, "Not for this device",
         "Debug token not for this device (PIN 2A7F3C9E)"},
        {"token expired", Token("2026-12-09", {712981662}), z30, "Expired 2026-12-09",
         "Debug token expired on 2026-12-09"},
        {"token without a reported PIN", Token("2027-01-31", {1}), DeviceInfo(),
         "Valid until 2027-01-31", "Debug token valid until 2027-01-31"},
        {"newer OS needed", Requiring("10.3.0.0"), z30, "Needs OS 10.3.0.0",
         "Needs OS 10.3.0.0; the device has 10.2.1.3247. The device will refuse it."},
        {"older OS needed", Requiring("10.2.0"), z30, "", ""},
        {"same OS, shorter form", Requiring("10.2.1.3247.0"), z30, "", ""},
        {"OS not reported", Requiring("10.3.0.0"), DeviceInfo(), "", ""},
        {"nothing required", BarInfo(), z30, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const BarNote note = BarNoteForDevice(c.bar, c.device, today);
        EXPECT_EQ(note.text, c.text);
        EXPECT_EQ(note.detail, c.detail);
    }
    EXPECT_EQ(BarTypeText(Token("", {})), QStringLiteral("Debug token"));
}

TEST(BarDisplayNameTest, ADebugTokenIsNeverNameless) {
    BarInfo named = Token("", {});
    named.AppName = "My Token";
    BarInfo authored = Token("", {});
    authored.Author = "Kestrane Developer";
    BarInfo application;
    application.Author = "Acme";
    const struct {
        const char* name;
        BarInfo bar;
        QString shown;
    } cases[] = {
        {"token with a name", named, "My Token"},
        {"token with an author", authored, "Debug token (Kestrane Developer)"},
        {"bare token", Token("", {}), "Debug token"},
        {"application without a name", application, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BarDisplayName(c.bar), c.shown);
    }
}

} // namespace
} // namespace kestrane

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
