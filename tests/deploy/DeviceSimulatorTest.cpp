// Runs the built device simulator (lib/BarDeploy.jar) the way Kestrane does and reads its answers
// with Kestrane's own readers.
#include "BarFixture.h"
#include "DeviceInfo.h"
#include "InstalledApps.h"
#include "Simulator.h"
#include "TextUtils.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <future>
#include <vector>

using namespace kestrane;
using namespace kestrane::test;

namespace {

class DeviceSimulator : public ::testing::Test {
protected:
    QString bar(const QString& fileName, const QByteArray& packageName,
                const QByteArray& appName = "Hello World", const QByteArray& version = "1.0.0.1") {
        const QString path = files_.filePath(fileName);
        WriteBar(path, BarManifest(packageName, appName, version));
        return path;
    }

    ToolRun install(const QString& address, const QString& password, const QString& barPath) {
        return sim_.run(QStringList{"-installApp"} + Login(address, password) +
                        QStringList{barPath});
    }

    ToolRun onPackage(const QString& action, const InstalledApp& app) {
        return sim_.run(
            QStringList{action} + Login(kFullTouch, "z30") +
            QStringList{"-package-name", app.packageName, "-package-id", app.packageId});
    }

    std::vector<InstalledApp> listApps(const QString& address, const QString& password) {
        const ToolRun run = sim_.run(QStringList{"-listInstalledApps"} + Login(address, password));
        EXPECT_EQ(run.exitCode, 0) << run.merged().toStdString();
        std::vector<InstalledApp> apps;
        for (const QString& line : run.outLines()) {
            const InstalledApp app = ReadInstalledAppLine(line);
            if (!app.appName.isEmpty())
                apps.push_back(app);
        }
        return apps;
    }

    static const InstalledApp* find(const std::vector<InstalledApp>& apps, const QString& name) {
        for (const InstalledApp& app : apps)
            if (app.packageName == name)
                return &app;
        return nullptr;
    }

    Simulator sim_;
    QTemporaryDir files_;
};

TEST_F(DeviceSimulator, GrammarErrorsGoToStandardErrorWithExitCodeOne) {
    const std::pair<QStringList, QString> cases[] = {
        {{"-device", kFullTouch, "-password", "z30"}, "Error: Deploy command is missing"},
        {{"-listDeviceInfo"}, "Error: Device settings are missing"},
        {{"-listDeviceInfo", "-password", "z30"}, "Error: Device settings are missing"},
        {{"-listDeviceInfo", "-device", ""}, "Error: Device settings are missing"},
        {{"-listDeviceInfo", kFullTouch, "-password", "z30", "-verbose"},
         "Error: Unknown argument: -verbose"},
        {{"-listDeviceInfo", kFullTouch, "a.bar", "extra"}, "Error: Unknown argument: extra"},
        {{"-listDeviceInfo", "-device"}, "Error: Missing value for argument: -device"},
    };
    for (const auto& [args, message] : cases) {
        const ToolRun run = sim_.run(args);
        EXPECT_EQ(run.exitCode, 1) << args.join(' ').toStdString();
        EXPECT_EQ(run.err, message + "\n") << args.join(' ').toStdString();
        EXPECT_EQ(run.out, "") << args.join(' ').toStdString();
    }
}

TEST_F(DeviceSimulator, WithoutArgumentsItPrintsItsUsageAndSucceeds) {
    const ToolRun run = sim_.run({});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(run.out.startsWith("Kestrane device simulator")) << run.out.toStdString();
    for (const char* word :
         {"-listDeviceInfo", "-listInstalledApps", "-installApp", "-isAppRunning", "-launchApp",
          "-terminateApp", "-uninstallApp", "-version", "-resetSimulator", "-package-name"})
        EXPECT_TRUE(run.out.contains(QLatin1String(word))) << word;
    for (const QString& address :
         {kFullTouch, kKeyboard, kPlayBook, kNoDevMode, kSilent, kClosesConnection})
        EXPECT_TRUE(run.out.contains(address)) << address.toStdString();
}

// A command that names no package still connects and logs in first, as the deploy tool does:
// what it reports is the connection's outcome, and the missing package only once that worked.
TEST_F(DeviceSimulator, MissingPackageIsReportedOnlyAfterConnecting) {
    const QString noBar = "Error: BAR file is required for this command";
    const QString noPackage = "Error: Package name and package id are required for this command";
    struct MissingCase {
        const char* name;
        QString command, address, password;
        int exitCode;
        QString lastError;
    };
    const MissingCase cases[] = {
        {"install, logged in", "-installApp", kFullTouch, "z30", 1, noBar},
        {"launch, logged in", "-launchApp", kKeyboard, "q10", 1, noPackage},
        {"uninstall, logged in", "-uninstallApp", kPlayBook, "playbook", 1, noPackage},
        {"install, wrong password", "-installApp", kFullTouch, "x", 3,
         "Error: Authentication failed. There have been 1 of 10 failed attempts"},
        {"terminate, Development Mode off", "-terminateApp", kNoDevMode, "z10", 1,
         "Error: Device is not in the Development Mode. Switch to Development Mode from Security "
         "settings on the device."},
        {"running?, refused", "-isAppRunning", "127.0.0.1", "z30", 1,
         "Error: Cannot connect: Connection to https://127.0.0.1:443 refused. Please check IP "
         "address settings for the target. You may have to reboot the target."},
        {"install, connection closed", "-installApp", kClosesConnection, "z30", 1,
         "Error: The target server failed to respond"},
    };
    for (const MissingCase& c : cases) {
        const ToolRun run = sim_.run(QStringList{c.command} + Login(c.address, c.password));
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name;
        EXPECT_EQ(SplitLines(run.err).last(), c.lastError) << c.name;
        EXPECT_EQ(run.outLines().size(), 1) << c.name << ": " << run.out.toStdString();
        EXPECT_TRUE(run.out.startsWith("Info: Sending request: ")) << c.name;
    }
}

TEST_F(DeviceSimulator, VersionIsTheDeployToolsText) {
    const ToolRun run = sim_.run({"-version"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "blackberry-deploy version 1.4.0\n");
}

TEST_F(DeviceSimulator, EachDeviceReportsItsIdentityInPropertyLines) {
    struct DeviceCase {
        QStringList args;
        QString deviceName, modelKey, modelNumber, pin, os;
    };
    const DeviceCase cases[] = {
        {{"-listDeviceInfo", "-device", kFullTouch, "-password", "z30"},
         "BlackBerry Z30",
         "Z30",
         "STA100-2",
         "2A7F3C9E",
         "BlackBerry 10"},
        {{"-listDeviceInfo", kKeyboard, "-password", "q10"},
         "BlackBerry Q10",
         "Q10",
         "SQN100-3",
         "2B91D04F",
         "BlackBerry 10"},
        {{"-listDeviceInfo", "-device", kPlayBook, "-password", "playbook"},
         "BlackBerry PlayBook",
         "playbook",
         "RDJ21WW",
         "50A3E1B7",
         "BlackBerry PlayBook OS"},
    };
    for (const DeviceCase& c : cases) {
        const ToolRun run = sim_.run(c.args);
        ASSERT_EQ(run.exitCode, 0) << run.merged().toStdString();
        const QStringList lines = run.outLines();
        ASSERT_GE(lines.size(), 3);
        EXPECT_EQ(lines[0], "Info: Sending request: DEVICE_INFO");
        EXPECT_EQ(lines[1], "Info: Action: List Device Info");
        for (const char* section : {"@deviceproperties", "@devmode", "@versions"})
            EXPECT_TRUE(lines.contains(section)) << section;

        const DeviceInfo info = ReadDeviceInfo(run.merged());
        EXPECT_TRUE(info.connected);
        EXPECT_EQ(info.deviceName, c.deviceName);
        EXPECT_EQ(info.modelKey, c.modelKey);
        EXPECT_EQ(info.modelNumber, c.modelNumber);
        EXPECT_EQ(info.pin, c.pin);
        EXPECT_EQ(info.os, c.os);
        for (const QString& value : {info.hardwareId, info.imei, info.serialNumber, info.version,
                                     info.airVersion, info.flashVersion})
            EXPECT_NE(value, "...") << c.deviceName.toStdString();
        EXPECT_TRUE(info.hardwareId.startsWith("0x"));
    }
}

// Every failure goes to standard error, after the request line on standard output, and none
// reads as a connection.
TEST_F(DeviceSimulator, ConnectionFailuresAreErrorsThatDoNotConnect) {
    struct FailureCase {
        const char* name;
        QString address, password;
        int exitCode;
        QString error;
    };
    const FailureCase cases[] = {
        {"link-local address without a device", "169.254.9.9", "z30", 1,
         "Error: Cannot connect: Connect to /169.254.9.9:443 timed out. Please check IP address "
         "settings for the target. You may have to reboot the target.\n"},
        {"nothing listens on the port", "127.0.0.1", "z30", 1,
         "Error: Cannot connect: Connection to https://127.0.0.1:443 refused. Please check IP "
         "address settings for the target. You may have to reboot the target.\n"},
        {"address outside the link-local network", "10.1.2.3", "z30", 1,
         "Error: Cannot connect: Connection to https://10.1.2.3:443 refused. Please check IP "
         "address settings for the target. You may have to reboot the target.\n"},
        {"Development Mode off", kNoDevMode, "z10", 1,
         "Error: Device is not in the Development Mode. Switch to Development Mode from Security "
         "settings on the device.\n"},
        {"wrong password", kPlayBook, "wrong", 3,
         "Error: Authentication failed. There have been 1 of 10 failed attempts\n"},
    };
    for (const FailureCase& c : cases) {
        const ToolRun run = sim_.run(QStringList{"-listDeviceInfo"} + Login(c.address, c.password));
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name;
        EXPECT_EQ(run.err, c.error) << c.name;
        EXPECT_EQ(run.out, "Info: Sending request: DEVICE_INFO\n") << c.name;
        EXPECT_FALSE(ReadDeviceInfo(run.merged()).connected) << c.name;
    }
}

// The address that closes the connection: the deploy tool's HTTP client logs the failure and
// retries three times, then the tool gives up. The seven lines are more than a device's
// information has, so only the exit code and the "Error:" line tell the failure.
TEST_F(DeviceSimulator, ClosedConnectionIsRetriedThreeTimesThenFails) {
    const QString retry = "INFO: I/O exception (org.apache.http.NoHttpResponseException) caught "
                          "when processing request: The target server failed to respond\n"
                          "INFO: Retrying request\n";
    const ToolRun run = sim_.run(QStringList{"-listDeviceInfo"} + Login(kClosesConnection, "z30"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "Info: Sending request: DEVICE_INFO\n");
    EXPECT_EQ(run.err, retry + retry + retry + "Error: The target server failed to respond\n");
}

// The address that accepts the connection and never answers keeps the tool waiting, silent,
// until it is ended from outside.
TEST_F(DeviceSimulator, SilentAddressNeverAnswers) {
    QProcess tool;
    sim_.start(tool, QStringList{"-listDeviceInfo"} + Login(kSilent, "z30"));
    ASSERT_TRUE(tool.waitForReadyRead(30000));
    EXPECT_EQ(tool.readAllStandardOutput(), "Info: Sending request: DEVICE_INFO\n");
    EXPECT_FALSE(tool.waitForFinished(2000)) << "it ended by itself";
    EXPECT_EQ(tool.readAllStandardOutput(), "");
    EXPECT_EQ(tool.readAllStandardError(), "");
    tool.kill();
    EXPECT_TRUE(tool.waitForFinished(10000));
}

TEST_F(DeviceSimulator, WrongPasswordsAreCountedPerDeviceUntilTheDeviceLocks) {
    const QStringList info{"-listDeviceInfo"};
    auto attempt = [&](const QString& address, const QString& password) {
        return sim_.run(info + Login(address, password));
    };
    EXPECT_EQ(attempt(kFullTouch, "Z30").err,
              "Error: Authentication failed. There have been 1 of 10 failed attempts\n");
    EXPECT_EQ(attempt(kFullTouch, "").err,
              "Error: Authentication failed. There have been 2 of 10 failed attempts\n");
    EXPECT_EQ(sim_.run({"-listDeviceInfo", "-device", kFullTouch}).exitCode, 3) << "no password";
    EXPECT_EQ(attempt(kKeyboard, "x").err,
              "Error: Authentication failed. There have been 1 of 10 failed attempts\n")
        << "each device counts its own";
    EXPECT_EQ(attempt(kFullTouch, "z30").exitCode, 0);
    EXPECT_EQ(attempt(kFullTouch, "x").err,
              "Error: Authentication failed. There have been 1 of 10 failed attempts\n")
        << "the right password resets the count";
    for (int n = 2; n <= 9; ++n)
        EXPECT_EQ(attempt(kFullTouch, "x").exitCode, 3) << n;
    const ToolRun tenth = attempt(kFullTouch, "x");
    EXPECT_EQ(tenth.exitCode, 4);
    EXPECT_TRUE(tenth.err.startsWith("Error: Authentication failed.")) << tenth.err.toStdString();
    const ToolRun locked = attempt(kFullTouch, "z30");
    EXPECT_EQ(locked.exitCode, 4) << "a locked device stays locked";
    EXPECT_FALSE(ReadDeviceInfo(locked.merged()).connected);
}

TEST_F(DeviceSimulator, AnInstalledAppGoesThroughItsWholeLife) {
    const ToolRun installed = install(kFullTouch, "z30", bar("hello.bar", "com.example.Hello"));
    ASSERT_EQ(installed.exitCode, 0) << installed.merged().toStdString();
    const QStringList lines = installed.outLines();
    const qsizetype size = QFileInfo(files_.filePath("hello.bar")).size();
    ASSERT_GE(lines.size(), 9);
    EXPECT_EQ(lines.mid(0, 5),
              (QStringList{"Info: Sending request: INSTALL", "Info: Action: Install",
                           QString("Info: File size: %1").arg(size), "Info: Installing ...",
                           QString("Info: Processing %1 bytes").arg(size)}));
    EXPECT_GE(lines.filter(QRegularExpression("^Info: Progress \\d+%\\.\\.\\.$")).size(), 5);
    EXPECT_TRUE(lines.contains("Info: Progress 100%..."));
    EXPECT_EQ(lines.last(), "result::success");
    const QString id = lines[lines.size() - 3].mid(QString("actual_id::").size());
    EXPECT_EQ(lines.mid(lines.size() - 4, 3),
              (QStringList{"actual_dname::com.example.Hello." + id, "actual_id::" + id,
                           "actual_version::1.0.0.1"}));
    EXPECT_EQ(id.size(), 27);
    EXPECT_TRUE(id.startsWith("testDev_")) << id.toStdString();

    const std::vector<InstalledApp> apps = listApps(kFullTouch, "z30");
    const InstalledApp* hello = find(apps, "com.example.Hello");
    ASSERT_NE(hello, nullptr);
    EXPECT_EQ(hello->appName, "Hello");
    EXPECT_EQ(hello->packageId, id);
    EXPECT_EQ(hello->version, "1.0.0.1");

    EXPECT_EQ(onPackage("-isAppRunning", *hello).outLines().last(), "result::false");
    const ToolRun launched = onPackage("-launchApp", *hello);
    EXPECT_EQ(launched.exitCode, 0);
    ASSERT_GE(launched.outLines().size(), 2);
    EXPECT_EQ(launched.outLines().at(launched.outLines().size() - 2),
              "Info: Launching com.example.Hello." + id + "...");
    EXPECT_TRUE(
        QRegularExpression("^result::[1-9]\\d*$").match(launched.outLines().last()).hasMatch())
        << launched.out.toStdString();
    EXPECT_EQ(onPackage("-isAppRunning", *hello).outLines().last(), "result::true");
    EXPECT_EQ(onPackage("-launchApp", *hello).outLines().last(), launched.outLines().last())
        << "a running app keeps its process";
    EXPECT_EQ(onPackage("-terminateApp", *hello).outLines().last(), "result::success");
    EXPECT_EQ(onPackage("-isAppRunning", *hello).outLines().last(), "result::false");
    EXPECT_EQ(onPackage("-uninstallApp", *hello).outLines().last(), "result::success");
    EXPECT_EQ(find(listApps(kFullTouch, "z30"), "com.example.Hello"), nullptr);

    for (const char* action : {"-uninstallApp", "-terminateApp", "-launchApp", "-isAppRunning"}) {
        const ToolRun gone = onPackage(action, *hello);
        EXPECT_EQ(gone.exitCode, 2) << action;
        EXPECT_EQ(gone.outLines().last(), "result::failure 500 cannot determine package name")
            << action;
    }
}

TEST_F(DeviceSimulator, InstallCanLaunchAndAppsCanBeNamedByTheirBar) {
    const QString path = bar("clock.bar", "com.example.Clock", "Clock", "2.0.1.5");
    const ToolRun run = sim_.run(QStringList{"-installApp", "-launchApp"} +
                                 Login(kKeyboard, "q10") + QStringList{"-package", path});
    ASSERT_EQ(run.exitCode, 0) << run.merged().toStdString();
    EXPECT_TRUE(run.outLines().contains("result::success"));
    EXPECT_TRUE(run.outLines().last().startsWith("result::"));
    const ToolRun running = sim_.run(QStringList{"-isAppRunning"} + Login(kKeyboard, "q10") +
                                     QStringList{"-package", path});
    EXPECT_EQ(running.outLines().last(), "result::true") << running.merged().toStdString();
}

TEST_F(DeviceSimulator, RefusedInstallsNeverReachOneHundredPerCent) {
    const QString notZip = files_.filePath("notes.bar");
    QFile file(notZip);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("these are notes, not a package\n");
    file.close();
    const QString noManifest = files_.filePath("empty.bar");
    WriteStoredZip(noManifest, {{"native/a.txt", "a"}});

    struct RefusalCase {
        QString path;
        int exitCode;
        QString lastLinePrefix;
    };
    const RefusalCase cases[] = {
        {notZip, 2, "result::failure 500 not a BAR file"},
        {noManifest, 2, "result::failure 500 not a BAR file: it has no META-INF/MANIFEST.MF"},
        {files_.filePath("missing.bar"), 1, "Error: Cannot read BAR file: "},
    };
    for (const RefusalCase& c : cases) {
        const ToolRun run = install(kFullTouch, "z30", c.path);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.path.toStdString();
        EXPECT_TRUE(SplitLines(run.merged()).last().startsWith(c.lastLinePrefix))
            << run.merged().toStdString();
        EXPECT_FALSE(run.merged().contains("100%")) << c.path.toStdString();
        EXPECT_FALSE(run.merged().contains("result::success")) << c.path.toStdString();
    }

    sim_.setEnv("KESTRANE_DEVICESIM_FAIL_INSTALL_AT", "50");
    const ToolRun broken = install(kFullTouch, "z30", bar("a.bar", "com.example.Broken"));
    EXPECT_EQ(broken.exitCode, 2);
    EXPECT_TRUE(broken.outLines().contains("Info: Progress 40%..."));
    EXPECT_FALSE(broken.out.contains("Info: Progress 50%"));
    EXPECT_TRUE(broken.outLines().last().startsWith("result::failure 500 "));
    EXPECT_EQ(find(listApps(kFullTouch, "z30"), "com.example.Broken"), nullptr);
}

// Kestrane reads list lines by position; every line a device prints must read back as the app
// it describes, also for package names that contain the start of a development-mode id.
TEST_F(DeviceSimulator, EveryListedLineReadsBackAsItsApp) {
    ASSERT_EQ(install(kPlayBook, "playbook", bar("t.bar", "com.test.testDev_app")).exitCode, 0);
    const QString unnamed = files_.filePath("chess.bar");
    WriteBar(unnamed, "Application-Name: Pocket Chess\r\nApplication-Version: 1.1.0.0\r\n");
    ASSERT_EQ(install(kPlayBook, "playbook", unnamed).exitCode, 0);
    const std::pair<QString, QString> devices[] = {
        {kFullTouch, "z30"}, {kKeyboard, "q10"}, {kPlayBook, "playbook"}};
    for (const auto& [address, password] : devices) {
        const ToolRun run = sim_.run(QStringList{"-listInstalledApps"} + Login(address, password));
        const QStringList lines = run.outLines();
        ASSERT_GE(lines.size(), 5) << address.toStdString();
        EXPECT_EQ(lines[0], "Info: Sending request: LIST");
        for (const QString& line : lines.mid(1)) {
            const InstalledApp app = ReadInstalledAppLine(line);
            EXPECT_FALSE(app.appName.isEmpty()) << line.toStdString();
            EXPECT_EQ(app.packageId.size(), 27) << line.toStdString();
            EXPECT_TRUE(line.startsWith(app.packageName + "." + app.packageId +
                                        "::" + app.packageId + "," + app.version + ","))
                << line.toStdString();
            if (line.contains("source::developer"))
                EXPECT_EQ(app.appName, app.packageName.section('.', -1)) << line.toStdString();
            else
                EXPECT_TRUE(line.endsWith(",name::" + app.appName + ",")) << line.toStdString();
        }
    }
    const std::vector<InstalledApp> apps = listApps(kPlayBook, "playbook");
    ASSERT_NE(find(apps, "com.test.testDev_app"), nullptr);
    const InstalledApp* chess = find(apps, "PocketChess");
    ASSERT_NE(chess, nullptr) << "a manifest without Package-Name installs under its app name";
    EXPECT_EQ(chess->appName, "PocketChess");
    EXPECT_EQ(chess->version, "1.1.0.0");
}

TEST_F(DeviceSimulator, CommandsRunningAtOnceLoseNoChange) {
    constexpr int kCount = 4;
    std::vector<QString> bars;
    for (int i = 0; i < kCount; ++i)
        bars.push_back(bar(QString("p%1.bar").arg(i),
                           QByteArray("com.example.Parallel") + QByteArray::number(i)));
    std::vector<std::future<ToolRun>> runs;
    for (const QString& path : bars)
        runs.push_back(std::async(std::launch::async,
                                  [this, path] { return install(kKeyboard, "q10", path); }));
    for (int i = 0; i < kCount; ++i)
        runs.push_back(std::async(std::launch::async, [this] {
            return sim_.run(QStringList{"-listDeviceInfo"} + Login(kPlayBook, "nope"));
        }));
    for (auto& run : runs)
        run.get();

    const std::vector<InstalledApp> apps = listApps(kKeyboard, "q10");
    for (int i = 0; i < kCount; ++i)
        EXPECT_NE(find(apps, QString("com.example.Parallel%1").arg(i)), nullptr) << i;
    EXPECT_EQ(sim_.run(QStringList{"-listDeviceInfo"} + Login(kPlayBook, "nope")).err,
              QString("Error: Authentication failed. There have been %1 of 10 failed attempts\n")
                  .arg(kCount + 1));
}

TEST_F(DeviceSimulator, ResetForgetsInstalledAppsAndFailedAttempts) {
    const std::size_t preinstalled = listApps(kFullTouch, "z30").size();
    ASSERT_EQ(install(kFullTouch, "z30", bar("r.bar", "com.example.Reset")).exitCode, 0);
    ASSERT_EQ(sim_.run(QStringList{"-listDeviceInfo"} + Login(kFullTouch, "x")).exitCode, 3);
    EXPECT_FALSE(QDir(sim_.stateHome()).isEmpty()) << "state lives in KESTRANE_DEVICESIM_HOME";

    EXPECT_EQ(sim_.run({"-resetSimulator"}).exitCode, 0);
    EXPECT_EQ(listApps(kFullTouch, "z30").size(), preinstalled);
    EXPECT_EQ(sim_.run(QStringList{"-listDeviceInfo"} + Login(kFullTouch, "x")).err,
              "Error: Authentication failed. There have been 1 of 10 failed attempts\n");
}

} // namespace
