// The command host runs the deploy tool's commands one after another in one runtime. Whatever a
// command gives as a run of its own, it must give through the host: the same lines on the same
// stream and the same exit code, also after the commands before it ended with System.exit.
#include "ArgumentFile.h"
#include "BarFixture.h"
#include "CommandHostFrames.h"
#include "CommandHostRunner.h"
#include "ConsoleRunner.h"
#include "DeployCommand.h"
#include "DeviceCommandRunner.h"
#include "Simulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include <csignal>
#include <unistd.h>

using namespace kestrane;
using namespace kestrane::test;

namespace {

// One host started as Kestrane starts it, with the simulator's environment.
class HostSession {
public:
    HostSession(const Simulator& sim, const QStringList& hostArguments) {
        process_.setProcessEnvironment(sim.environment());
        process_.setStandardErrorFile(QProcess::nullDevice());
        process_.start(
            QStringLiteral(KESTRANE_TEST_JAVA),
            QStringList{"-Djava.security.properties=" + DeploySecurityPath(Simulator::appDir()),
                        "-Duser.home=" + sim.userHome(), "-Xmx512M"} +
                hostArguments);
        if (!folder_.isValid() || !process_.waitForStarted(10000))
            throw std::runtime_error("the host did not start");
    }
    ~HostSession() {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(10000))
            process_.kill();
        process_.waitForFinished(5000);
    }

    // The first frame: Ready or Refused.
    CommandHostFrame greeting() { return nextFrame(); }

    ToolRun run(const QStringList& args) {
        const ArgumentFile file(
            folder_.path(), JavaArgumentFileText(QStringList{"-jar", Simulator::jarPath()} + args));
        process_.write(QFile::encodeName(file.path()) + "\n");
        ToolRun run;
        for (;;) {
            const CommandHostFrame frame = nextFrame();
            if (frame.tag == CommandHostFrame::Out)
                run.out += QString::fromUtf8(frame.payload);
            else if (frame.tag == CommandHostFrame::Err)
                run.err += QString::fromUtf8(frame.payload);
            else if (frame.tag == CommandHostFrame::Exit) {
                run.exitCode = frame.exitCode();
                return run;
            } else
                throw std::runtime_error("unexpected frame");
        }
    }

    QProcess& process() { return process_; }

private:
    CommandHostFrame nextFrame() {
        CommandHostFrame frame;
        while (!reader_.next(frame)) {
            if (reader_.broken() || !process_.waitForReadyRead(60000))
                throw std::runtime_error("the host's output ended");
            reader_.append(process_.readAllStandardOutput());
        }
        return frame;
    }

    QTemporaryDir folder_;
    QProcess process_;
    CommandHostFrameReader reader_;
};

// The logging records' dates differ from run to run.
QString WithoutDates(QString text) {
    static const QRegularExpression date(
        QStringLiteral("^[A-Z][a-z]{2} \\d{2}, \\d{4} \\d{1,2}:\\d{2}:\\d{2} [AP]M "),
        QRegularExpression::MultilineOption);
    return text.replace(date, QStringLiteral("DATE "));
}

TEST(CommandHost, EveryOutcomeIsTheSameAsARunOfItsOwn) {
    Simulator alone;
    Simulator hosted;
    QTemporaryDir files;
    ASSERT_TRUE(files.isValid());
    const QString bar = files.filePath("hello.bar");
    WriteBar(bar, BarManifest("com.example.Hello", "Hello World", "1.0.0.1"));
    const QString notBar = files.filePath("not-a-bar.bar");
    {
        QFile file(notBar);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a zip archive");
    }
    const QString gone = files.filePath("gone \"it's\" $HOME \\ \xc3\xbc.bar");
    const QStringList install{"-installApp"};
    const QStringList info{"-listDeviceInfo"};

    struct Case {
        const char* name;
        QStringList args;
        int exitCode;
        int times = 1;
    };
    const Case cases[] = {
        {"device information", info + Login(kFullTouch, "z30"), 0},
        {"installation with progress", install + Login(kFullTouch, "z30") + QStringList{bar}, 0},
        {"application list", QStringList{"-listInstalledApps"} + Login(kFullTouch, "z30"), 0},
        {"wrong password", info + Login(kKeyboard, "x"), 3, 9},
        {"no attempts left", info + Login(kKeyboard, "x"), 4},
        {"Development Mode off", info + Login(kNoDevMode, "z10"), 2},
        {"closed connection", info + Login(kClosesConnection, "z30"), 1},
        {"login system error", info + Login(kLoginSystemError, "z30"), 1},
        {"refused installation", install + Login(kFullTouch, "z30") + QStringList{notBar}, 2},
        {"missing BAR", install + Login(kFullTouch, "z30") + QStringList{gone}, 1},
        {"unknown package",
         QStringList{"-uninstallApp"} + Login(kFullTouch, "z30") +
             QStringList{"-package-name", "com.example.None", "-package-id", "x"},
         2},
        {"no device", info, 1},
        {"usage", {}, 0},
        {"after all that, success again", info + Login(kFullTouch, "z30"), 0},
    };
    HostSession host(hosted, CommandHostArguments(Simulator::appDir()));
    ASSERT_EQ(host.greeting().tag, CommandHostFrame::Ready);
    for (const Case& c : cases) {
        for (int n = 0; n < c.times; ++n) {
            const ToolRun expected = alone.run(c.args);
            const ToolRun actual = host.run(c.args);
            ASSERT_EQ(expected.exitCode, c.exitCode) << c.name << "\n"
                                                     << expected.merged().toStdString();
            EXPECT_EQ(actual.exitCode, expected.exitCode) << c.name;
            EXPECT_EQ(WithoutDates(actual.out), WithoutDates(expected.out)) << c.name;
            EXPECT_EQ(WithoutDates(actual.err), WithoutDates(expected.err)) << c.name;
        }
    }
    // Login cookies are random; the devices and password hashes kept are the same.
    static const QRegularExpression cookie(QStringLiteral("=[^;]*;"));
    EXPECT_EQ(hosted.deployData().replaceInStrings(cookie, "=;"),
              alone.deployData().replaceInStrings(cookie, "=;"));
}

// The command's output arrives as it is written, not when the command ends.
TEST(CommandHost, OutputArrivesWhileTheCommandRuns) {
    Simulator sim;
    sim.setEnv("KESTRANE_DEVICESIM_PROGRESS_MS", "3000");
    QTemporaryDir files;
    ASSERT_TRUE(files.isValid());
    const QString bar = files.filePath("hello.bar");
    WriteBar(bar, BarManifest("com.example.Hello", "Hello World", "1.0.0.1"));
    HostSession host(sim, CommandHostArguments(Simulator::appDir()));
    ASSERT_EQ(host.greeting().tag, CommandHostFrame::Ready);
    const ArgumentFile file(
        files.path(),
        JavaArgumentFileText(QStringList{"-jar", Simulator::jarPath(), "-installApp"} +
                             Login(kFullTouch, "z30") + QStringList{bar}));
    host.process().write(QFile::encodeName(file.path()) + "\n");
    CommandHostFrameReader reader;
    CommandHostFrame frame;
    QByteArray seen;
    while (!seen.contains("Info: Progress")) {
        ASSERT_TRUE(host.process().waitForReadyRead(10000));
        reader.append(host.process().readAllStandardOutput());
        while (reader.next(frame)) {
            ASSERT_NE(frame.tag, CommandHostFrame::Exit) << "ended before any progress arrived";
            seen += frame.payload;
        }
    }
}

// A runtime that refuses the exit trap (Java 24 and later, here forced with "disallow") is told
// at the start, and the host ends.
TEST(CommandHost, SaysSoWhenTheRuntimeRefusesTheExitTrap) {
    Simulator sim;
    QStringList arguments = CommandHostArguments(Simulator::appDir());
    arguments.replaceInStrings("-Djava.security.manager=allow", "-Djava.security.manager=disallow");
    HostSession host(sim, arguments);
    EXPECT_EQ(host.greeting().tag, CommandHostFrame::Refused);
    EXPECT_TRUE(host.process().waitForFinished(10000));
    EXPECT_EQ(host.process().exitCode(), 0);
}

// Frames cut into any pieces come out whole; a stream that is not frames is told.
TEST(CommandHostFrames, AreReadWhateverPiecesTheyArriveIn) {
    const QByteArray stream = QByteArray("R\0\0\0\x01"
                                         "1",
                                         6) +
                              QByteArray("O\0\0\0\x03"
                                         "ab\n",
                                         8) +
                              QByteArray("X\0\0\0\x04\0\0\0\x02", 9);
    for (qsizetype piece = 1; piece <= stream.size(); ++piece) {
        CommandHostFrameReader reader;
        QList<CommandHostFrame> frames;
        for (qsizetype at = 0; at < stream.size(); at += piece) {
            reader.append(stream.mid(at, piece));
            CommandHostFrame frame;
            while (reader.next(frame))
                frames.append(frame);
        }
        ASSERT_EQ(frames.size(), 3) << piece;
        EXPECT_EQ(frames[1].payload, "ab\n");
        EXPECT_EQ(frames[2].exitCode(), 2);
    }
    CommandHostFrameReader reader;
    reader.append("WARNING: A terminally deprecated method");
    CommandHostFrame frame;
    EXPECT_FALSE(reader.next(frame));
    EXPECT_TRUE(reader.broken());
}

} // namespace

namespace {

// Runs device commands through a CommandHostRunner, with the simulator's environment (the hosts
// inherit this program's).
class HostRunner : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(files_.isValid());
        const QProcessEnvironment env = sim_.environment();
        for (const QString& name : env.keys())
            if (name.startsWith("KESTRANE_DEVICESIM"))
                qputenv(name.toUtf8().constData(), env.value(name).toUtf8());
    }

    HostCommand command(const QString& device, const QStringList& args,
                        const QStringList& javaOptions = {}) {
        const DeployInvocation invocation = DeployCommand(
            {Simulator::appDir(), sim_.userHome()}, DeployAction::ListDeviceInfo, device, "z30");
        auto file = std::make_unique<ArgumentFile>(
            files_.path(), JavaArgumentFileText(QStringList{"-jar", Simulator::jarPath()} + args));
        const QString path = file->path();
        argumentFiles_.push_back(std::move(file));
        return {QFileInfo(QStringLiteral(KESTRANE_TEST_JAVA)).absolutePath(),
                invocation.javaOptions + javaOptions,
                Simulator::appDir(),
                device,
                path,
                LauncherCommand(invocation, path)};
    }

    static bool waitFor(const std::function<bool()>& done, int ms = 60000) {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > ms)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return true;
    }

    int argc_ = 1;
    char name_[8] = "test";
    char* argv_[1] = {name_};
    QCoreApplication app_{argc_, argv_};
    Simulator sim_;
    QTemporaryDir files_;
    std::vector<std::unique_ptr<ArgumentFile>> argumentFiles_;
    QObject owner_;
};

const QStringList kInfo{"-listDeviceInfo"};

// Commands queue up per device and each gets its own output and exit code; two devices get two
// hosts.
TEST_F(HostRunner, RunsEachDevicesCommandsOneAtATimeInAHostOfItsOwn) {
    CommandHostRunner runner("UTF-8");
    const std::pair<QString, int> sent[] = {
        {kFullTouch, 0}, {kKeyboard, 3}, {kFullTouch, 0}, {kNoDevMode, 2}, {kFullTouch, 0}};
    std::vector<ConsoleJob*> jobs;
    for (const auto& [device, code] : sent) {
        const QString password = device == kNoDevMode ? "z10" : "z30";
        jobs.push_back(runner.start(command(device, kInfo + Login(device, password)),
                                    ConsoleJob::Feed::WholeText, &owner_));
    }
    ASSERT_TRUE(waitFor([&] {
        return std::all_of(jobs.begin(), jobs.end(), [](auto* job) { return job->isFinished(); });
    }));
    Simulator separate;
    for (size_t i = 0; i < jobs.size(); ++i) {
        EXPECT_EQ(jobs[i]->exitCode(), sent[i].second) << i;
        const ToolRun alone =
            separate.run(kInfo + Login(sent[i].first, sent[i].first == kNoDevMode ? "z10" : "z30"));
        EXPECT_EQ(jobs[i]->output(), alone.out + alone.err) << i;
    }
    EXPECT_EQ(runner.hostCount(), 3);
}

// Stopping a running command ends its host, as a stopped run of its own (-1, the output so far);
// the commands after it run in a new host. A host killed from outside fails its command the same.
TEST_F(HostRunner, AStoppedOrKilledHostFailsItsCommandAndTheNextStartsANewOne) {
    CommandHostRunner runner("UTF-8");
    ConsoleJob* hung = runner.start(command(kSilent, kInfo + Login(kSilent, "z30")),
                                    ConsoleJob::Feed::WholeText, &owner_);
    ConsoleJob* next = runner.start(command(kSilent, QStringList{"-version"}),
                                    ConsoleJob::Feed::WholeText, &owner_);
    ASSERT_TRUE(waitFor([&] { return runner.hostCount() == 1 && hung->ioBytes() >= 0; }));
    hung->stop();
    ASSERT_TRUE(waitFor([&] { return next->isFinished(); }));
    EXPECT_EQ(hung->exitCode(), -1);
    EXPECT_EQ(next->exitCode(), 0);
    EXPECT_EQ(next->output(), "blackberry-deploy version 1.4.0\n");

    ConsoleJob* killed = runner.start(command(kSilent, kInfo + Login(kSilent, "z30")),
                                      ConsoleJob::Feed::WholeText, &owner_);
    ASSERT_TRUE(waitFor([&] { return killed->ioBytes() >= 0; }));
    const QList<qint64> hosts = runner.hostProcessIds();
    ASSERT_EQ(hosts.size(), 1);
    ::kill(static_cast<pid_t>(hosts.front()), SIGKILL);
    ASSERT_TRUE(waitFor([&] { return killed->isFinished(); }));
    EXPECT_EQ(killed->exitCode(), -1);
}

// What a run of its own gives, started as ProcessConsoleRunner starts it with this program's
// environment now.
struct OwnRun {
    QString output;
    int exitCode;
};

// The fidelity table for what depends on the environment: the Java runtime's start notices lead
// each command's output, also the second one in the same host, and a setting changed after a host
// started is seen by the next command (in a new host), as by a run of its own.
TEST_F(HostRunner, StartNoticesAndChangedSettingsAreThoseOfARunOfItsOwn) {
    CommandHostRunner runner("UTF-8");
    ProcessConsoleRunner ownRuns("UTF-8");
    const auto finished = [this](ConsoleJob* job) {
        EXPECT_TRUE(waitFor([job] { return job->isFinished(); }));
        return OwnRun{job->output(), job->exitCode()};
    };
    const QString argumentsLog = files_.filePath("arguments.log");
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, QString>> environment;
        // A device that answers the same every time: success, or Development Mode off (exit 2).
        QString device = kFullTouch;
        QString password = "z30";
        // Checked too: the notices the own run begins with, so that the row tests what it says.
        QString leads = {};
    };
    const Case cases[] = {
        {"no notice", {}},
        {"JAVA_TOOL_OPTIONS",
         {{"JAVA_TOOL_OPTIONS", "-Dkestrane.a=1"}},
         kFullTouch,
         "z30",
         "Picked up JAVA_TOOL_OPTIONS: -Dkestrane.a=1\n"},
        {"JAVA_TOOL_OPTIONS changed",
         {{"JAVA_TOOL_OPTIONS", "-Dkestrane.a=2"}},
         kFullTouch,
         "z30",
         "Picked up JAVA_TOOL_OPTIONS: -Dkestrane.a=2\n"},
        {"_JAVA_OPTIONS",
         {{"_JAVA_OPTIONS", "-Dkestrane.b=1"}},
         kFullTouch,
         "z30",
         "Picked up _JAVA_OPTIONS: -Dkestrane.b=1\n"},
        {"JDK_JAVA_OPTIONS",
         {{"JDK_JAVA_OPTIONS", "-Dkestrane.c=1"}},
         kFullTouch,
         "z30",
         "NOTE: Picked up JDK_JAVA_OPTIONS: -Dkestrane.c=1\n"},
        {"all three, on a refusal",
         {{"JAVA_TOOL_OPTIONS", "-Dkestrane.a=3"},
          {"_JAVA_OPTIONS", "-Dkestrane.b=3"},
          {"JDK_JAVA_OPTIONS", "-Dkestrane.c=3"}},
         kNoDevMode,
         "z10",
         "NOTE: Picked up JDK_JAVA_OPTIONS: -Dkestrane.c=3\nPicked up JAVA_TOOL_OPTIONS: "
         "-Dkestrane.a=3\nPicked up _JAVA_OPTIONS: -Dkestrane.b=3\nInfo: Sending request: "
         "DEVICE_INFO\nError: Device is not in the Development Mode."},
        {"notice removed again", {}},
        {"simulator setting set after the host started",
         {{"KESTRANE_DEVICESIM_ARGS_LOG", argumentsLog}}},
    };
    // Every row changes the environment: its first command starts a new host, the second runs in
    // the same one.
    QList<qint64> seenHosts;
    const auto newHosts = [&] {
        QList<qint64> fresh;
        for (const qint64 id : runner.hostProcessIds())
            if (!seenHosts.contains(id))
                fresh.append(id);
        return fresh;
    };
    for (const Case& c : cases) {
        for (const auto& [name, value] : c.environment)
            qputenv(name, value.toUtf8());
        const QStringList args = kInfo + Login(c.device, c.password);
        std::vector<OwnRun> hosted;
        QList<qint64> started;
        for (int n = 0; n < 2; ++n) {
            QFile::remove(argumentsLog);
            hosted.push_back(finished(
                runner.start(command(c.device, args), ConsoleJob::Feed::WholeText, &owner_)));
            if (n == 0)
                started = newHosts();
            if (qEnvironmentVariableIsSet("KESTRANE_DEVICESIM_ARGS_LOG")) {
                EXPECT_TRUE(QFile::exists(argumentsLog)) << c.name << ": the tool did not see it";
            }
        }
        QFile::remove(argumentsLog);
        const OwnRun own =
            finished(ownRuns.start(command(c.device, args).ownRunCommand,
                                   QFileInfo(QStringLiteral(KESTRANE_TEST_JAVA)).absolutePath(),
                                   ConsoleJob::Feed::WholeText, &owner_));
        for (const auto& [name, value] : c.environment)
            qunsetenv(name);
        EXPECT_TRUE(own.output.startsWith(c.leads)) << c.name << "\n" << own.output.toStdString();
        for (size_t n = 0; n < hosted.size(); ++n) {
            EXPECT_EQ(hosted[n].output, own.output) << c.name << ", command " << n + 1;
            EXPECT_EQ(hosted[n].exitCode, own.exitCode) << c.name << ", command " << n + 1;
        }
        EXPECT_EQ(started.size(), 1) << c.name << ": not run in a new host";
        EXPECT_EQ(newHosts(), started) << c.name << ": not both run in one host";
        seenHosts += started;
    }
}

// A command waiting behind another of its device's in the host is not silent: its silence limit
// counts from its turn (the first command here runs until it is stopped, three times the second
// one's limit).
TEST_F(HostRunner, ACommandWaitingForItsTurnIsNotSilent) {
    DeviceCommandRunner runner(std::make_shared<ProcessConsoleRunner>("UTF-8"));
    ASSERT_NE(runner.commandHosts(), nullptr);
    const QString java = QFileInfo(QStringLiteral(KESTRANE_TEST_JAVA)).absolutePath();
    const DeployInvocation hung = DeployCommand({Simulator::appDir(), sim_.userHome()},
                                                DeployAction::ListDeviceInfo, kSilent, "z30");
    DeployInvocation version = hung;
    version.toolArguments = {"-jar", Simulator::jarPath(), "-version"};
    bool hungEnded = false;
    ConsoleJob* first = runner.run(hung, java, {}, [&](const CommandResult&) { hungEnded = true; });
    DeviceCommandRunner::Settings limited;
    limited.silenceLimit = std::chrono::milliseconds(1000);
    std::optional<CommandResult> second;
    runner.run(version, java, limited, [&](const CommandResult& result) { second = result; });
    QTimer::singleShot(3000, first, [first] { first->stop(); });
    ASSERT_TRUE(waitFor([&] { return second.has_value(); }));
    EXPECT_TRUE(hungEnded);
    EXPECT_FALSE(second->timedOut);
    EXPECT_EQ(second->exitCode, 0);
    EXPECT_EQ(second->output, "blackberry-deploy version 1.4.0\n");
}

// A host idle for the idle limit is asked to end: it closes its input and ends within the grace;
// the next command starts a new host and gets what it always gets.
TEST_F(HostRunner, AnIdleHostEndsAndTheNextCommandStartsANewOne) {
    CommandHostRunner runner("UTF-8");
    runner.setIdleLimit(std::chrono::milliseconds(300));
    ConsoleJob* first = runner.start(command(kFullTouch, QStringList{"-version"}),
                                     ConsoleJob::Feed::WholeText, &owner_);
    ASSERT_TRUE(waitFor([&] { return first->isFinished(); }));
    const QList<qint64> hosts = runner.hostProcessIds();
    ASSERT_EQ(hosts.size(), 1);
    const pid_t group = static_cast<pid_t>(hosts.front());
    // Ended on its own (not killed: the grace is far longer than that) and nothing of its group
    // is left.
    ASSERT_TRUE(
        waitFor([&] { return runner.hostCount() == 0 && runner.leavingHostCount() == 0; }, 10000));
    EXPECT_TRUE(waitFor([&] { return ::kill(-group, 0) != 0; }, 2000));
    ConsoleJob* next = runner.start(command(kFullTouch, QStringList{"-version"}),
                                    ConsoleJob::Feed::WholeText, &owner_);
    ASSERT_TRUE(waitFor([&] { return next->isFinished(); }));
    EXPECT_EQ(next->exitCode(), 0);
    EXPECT_EQ(next->output(), "blackberry-deploy version 1.4.0\n");
    ASSERT_EQ(runner.hostProcessIds().size(), 1);
    EXPECT_NE(runner.hostProcessIds().front(), hosts.front());
}

// A runtime that refuses the exit trap (forced here with "disallow"): the commands run as runs of
// their own, with the same results, and no host is tried again.
TEST_F(HostRunner, WithoutTheExitTrapEveryCommandRunsOnItsOwn) {
    CommandHostRunner runner("UTF-8");
    const QStringList disallow{"-Djava.security.manager=disallow"};
    ConsoleJob* first = runner.start(command(kFullTouch, kInfo + Login(kFullTouch, "x"), disallow),
                                     ConsoleJob::Feed::Lines, &owner_);
    ConsoleJob* second =
        runner.start(command(kFullTouch, kInfo + Login(kFullTouch, "z30"), disallow),
                     ConsoleJob::Feed::WholeText, &owner_);
    ASSERT_TRUE(waitFor([&] { return first->isFinished() && second->isFinished(); }));
    EXPECT_EQ(first->exitCode(), 3);
    EXPECT_EQ(first->output(),
              "Error: Authentication failed. There have been 1 of 10 failed attempts\n");
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE(second->output().contains("modelfullname::BlackBerry Z30"));
    EXPECT_EQ(runner.hostCount(), 0);
    ConsoleJob* third = runner.start(command(kFullTouch, QStringList{"-version"}, disallow),
                                     ConsoleJob::Feed::WholeText, &owner_);
    EXPECT_EQ(runner.hostCount(), 0) << "not tried again";
    ASSERT_TRUE(waitFor([&] { return third->isFinished(); }));
    EXPECT_EQ(third->exitCode(), 0);
}

} // namespace

namespace {

// On unless switched off with "0".
TEST(CommandHostSwitch, OnlyZeroTurnsTheHostsOff) {
    const QByteArray saved = qgetenv("KESTRANE_COMMAND_HOST");
    const std::pair<const char*, bool> values[] = {{nullptr, true}, {"0", false}, {"1", true}};
    for (const auto& [value, on] : values) {
        if (value == nullptr)
            qunsetenv("KESTRANE_COMMAND_HOST");
        else
            qputenv("KESTRANE_COMMAND_HOST", value);
        EXPECT_EQ(CommandHostEnabled(), on) << (value ? value : "unset");
    }
    if (saved.isNull())
        qunsetenv("KESTRANE_COMMAND_HOST");
    else
        qputenv("KESTRANE_COMMAND_HOST", saved);
}

} // namespace
