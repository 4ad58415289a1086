// Runs the built device simulator (lib/BarDeploy.jar) the way Kestrane does and checks that it
// answers as the deploy tool does: the same lines, on the same stream, with the same exit code.
// Device information is read with Kestrane's own reader; installed-application lines are read by
// their fields, as a device writes them.
#include "BarFixture.h"
#include "DeviceInfo.h"
#include "Simulator.h"
#include "TextUtils.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <future>
#include <vector>

using namespace kestrane;
using namespace kestrane::test;

namespace {

// One line of the installed-applications list, by its fields:
// "<package name>.<package id>::<folder>,<version>,,,<size>,name::<name>,source::<source>".
struct ListedApp {
    QString packageName, packageId, folder, version, size, name, source;
};

const QRegularExpression kListLine(
    "^([^:]+)\\.([^.:]+)::([^,]*),([^,]*),,,(\\d+),name::([^,]*),source::(developer|appworld)$");

bool ReadListLine(const QString& line, ListedApp& app) {
    const QRegularExpressionMatch m = kListLine.match(line);
    if (!m.hasMatch())
        return false;
    app = {m.captured(1), m.captured(2), m.captured(3), m.captured(4),
           m.captured(5), m.captured(6), m.captured(7)};
    return true;
}

// The tool's standard output after a successful login and the request line.
QString Requested(const char* request, const QString& rest = {}) {
    return QStringLiteral("Info: Sending request: ") + QLatin1String(request) + "\n" + rest;
}

const QString kNotDevelopmentMode =
    "Error: Device is not in the Development Mode. Switch to Development Mode from Security "
    "settings on the device.";
const QString kLocked =
    "Error: Authentication failed. There have been too many failed attempts (10). Please enter "
    "your password on the device to reset the failed attempts count and try again";
const QString kUnknownPackage = "result::failure 500 cannot determine package name";
// The Passport: debug token expired, OS 10.2.1.3247.
const QString kPassport = QStringLiteral("169.254.7.1");

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

    ToolRun onPackage(const QString& action, const ListedApp& app) {
        return sim_.run(
            QStringList{action} + Login(kFullTouch, "z30") +
            QStringList{"-package-name", app.packageName, "-package-id", app.packageId});
    }

    // The device's list; every line after the request line must read by its fields.
    std::vector<ListedApp> listApps(const QString& address, const QString& password) {
        const ToolRun run = sim_.run(QStringList{"-listInstalledApps"} + Login(address, password));
        EXPECT_EQ(run.exitCode, 0) << run.merged().toStdString();
        const QStringList lines = run.outLines();
        EXPECT_EQ(lines.value(0), "Info: Sending request: LIST");
        std::vector<ListedApp> apps;
        for (const QString& line : lines.mid(1)) {
            ListedApp app;
            EXPECT_TRUE(ReadListLine(line, app)) << line.toStdString();
            apps.push_back(app);
        }
        return apps;
    }

    static const ListedApp* find(const std::vector<ListedApp>& apps, const QString& name) {
        for (const ListedApp& app : apps)
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
    for (const QString& address : {kFullTouch, kKeyboard, kPlayBook, kNoDevMode, kSilent,
                                   kClosesConnection, kLoginSystemError})
        EXPECT_TRUE(run.out.contains(address)) << address.toStdString();
}

// A command that names no package, or a BAR file that is gone, still connects and logs in first,
// as the deploy tool does: what it reports is the connection's outcome, and the missing package
// or file only once the login worked. A login that fails prints no request line.
TEST_F(DeviceSimulator, MissingPackageOrFileIsReportedOnlyAfterTheLogin) {
    const QString gone = files_.filePath("gone.bar");
    struct MissingCase {
        const char* name;
        QStringList args;
        int exitCode;
        QString out, err;
    };
    const MissingCase cases[] = {
        {"install, logged in", QStringList{"-installApp"} + Login(kFullTouch, "z30"), 1,
         Requested("INSTALL"), "Error: BAR file is required for this command\n"},
        {"launch, logged in", QStringList{"-launchApp"} + Login(kKeyboard, "q10"), 1,
         Requested("LAUNCH"), "Error: Package name and package id are required for this command\n"},
        {"uninstall, logged in", QStringList{"-uninstallApp"} + Login(kPlayBook, "playbook"), 1,
         Requested("UNINSTALL"),
         "Error: Package name and package id are required for this command\n"},
        {"install of a file that is gone",
         QStringList{"-installApp"} + Login(kFullTouch, "z30") + QStringList{gone}, 1,
         Requested("INSTALL"),
         "Error: File does not exist or not a file or cannot read: " + gone + " \n"},
        {"running? by a file that is gone",
         QStringList{"-isAppRunning"} + Login(kFullTouch, "z30") + QStringList{"-package", gone}, 1,
         Requested("IS_RUNNING"),
         "Error: File does not exist or not a file or cannot read: " + gone + " \n"},
        {"install of a file that is gone, wrong password",
         QStringList{"-installApp"} + Login(kFullTouch, "x") + QStringList{gone}, 3, "",
         "Error: Authentication failed. There have been 1 of 10 failed attempts\n"},
        {"terminate, Development Mode off", QStringList{"-terminateApp"} + Login(kNoDevMode, "z10"),
         2, Requested("TERMINATE", kNotDevelopmentMode + "\n"), ""},
        {"running?, refused", QStringList{"-isAppRunning"} + Login("127.0.0.1", "z30"), 1, "",
         "Error: Cannot connect: Connection to https://127.0.0.1:443 refused. Please check IP "
         "address settings for the target. You may have to reboot the target.\n"},
    };
    for (const MissingCase& c : cases) {
        const ToolRun run = sim_.run(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name;
        EXPECT_EQ(run.out, c.out) << c.name;
        EXPECT_EQ(run.err, c.err) << c.name;
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
        QString deviceName, modelKey, modelNumber, pin, os, imei;
    };
    const DeviceCase cases[] = {
        {{"-listDeviceInfo", "-device", kFullTouch, "-password", "z30"},
         "BlackBerry Z30",
         "Z30",
         "STA100-2",
         "2A7F3C9E",
         "BlackBerry 10",
         "353090061452327"},
        {{"-listDeviceInfo", kKeyboard, "-password", "q10"},
         "BlackBerry Q10",
         "Q10",
         "SQN100-3",
         "2B91D04F",
         "BlackBerry 10",
         "358511052749618"},
        {{"-listDeviceInfo", "-device", kPlayBook, "-password", "playbook"},
         "BlackBerry PlayBook",
         "playbook",
         "...", // a Wi-Fi PlayBook reports neither a model number nor an IMEI
         "50A3E1B7",
         "BlackBerry PlayBook OS",
         "..."},
    };
    for (const DeviceCase& c : cases) {
        const ToolRun run = sim_.run(c.args);
        ASSERT_EQ(run.exitCode, 0) << run.merged().toStdString();
        const QStringList lines = run.outLines();
        ASSERT_GE(lines.size(), 3);
        EXPECT_EQ(lines[0], "Info: Sending request: DEVICE_INFO");
        EXPECT_EQ(lines[1], "Info: Action: List Device Info");
        // The shape devices give: marked and repeated sections, typed values, a line that is
        // no property.
        EXPECT_EQ(lines.count("[n]@deviceproperties"), 2);
        for (const char* line :
             {"[n]@devmode", "@versions", "production_device:b:true", "[n]dev_mode_enabled:b:true"})
            EXPECT_TRUE(lines.contains(line)) << line;
        EXPECT_EQ(lines.filter(QRegularExpression("^Build Branch: ")).size(), 1);

        const DeviceInfo info = ReadDeviceInfo(run.merged());
        EXPECT_TRUE(info.connected);
        EXPECT_EQ(info.deviceName, c.deviceName);
        EXPECT_EQ(info.modelKey, c.modelKey);
        EXPECT_EQ(info.modelNumber, c.modelNumber);
        EXPECT_EQ(info.pin, c.pin);
        EXPECT_EQ(info.os, c.os);
        EXPECT_EQ(info.imei, c.imei);
        for (const QString& value :
             {info.hardwareId, info.serialNumber, info.version, info.airVersion, info.flashVersion})
            EXPECT_NE(value, "...") << c.deviceName.toStdString();
        EXPECT_TRUE(info.hardwareId.startsWith("0x"));
    }
}

// The tool's own errors go to standard error and print no request line; the device's refusal
// after the login is a line of its answer, on standard output. None reads as a connection.
TEST_F(DeviceSimulator, ConnectionFailuresAreErrorsThatDoNotConnect) {
    struct FailureCase {
        const char* name;
        QString address, password;
        int exitCode;
        QString out, err;
    };
    const FailureCase cases[] = {
        {"link-local address without a device", "169.254.9.9", "z30", 1, "",
         "Error: Cannot connect: Connect to /169.254.9.9:443 timed out. Please check IP address "
         "settings for the target. You may have to reboot the target.\n"},
        {"nothing listens on the port", "127.0.0.1", "z30", 1, "",
         "Error: Cannot connect: Connection to https://127.0.0.1:443 refused. Please check IP "
         "address settings for the target. You may have to reboot the target.\n"},
        {"address outside the link-local network", "10.1.2.3", "z30", 1, "",
         "Error: Cannot connect: Connection to https://10.1.2.3:443 refused. Please check IP "
         "address settings for the target. You may have to reboot the target.\n"},
        {"Development Mode off", kNoDevMode, "z10", 2,
         Requested("DEVICE_INFO", kNotDevelopmentMode + "\n"), ""},
        {"wrong password", kPlayBook, "wrong", 3, "",
         "Error: Authentication failed. There have been 1 of 10 failed attempts\n"},
        {"login system error", kLoginSystemError, "z30", 1, "",
         "[Fatal Error] :1:1: Premature end of file.\n"
         "Error: Authentication failed due to system error\n"},
    };
    for (const FailureCase& c : cases) {
        const ToolRun run = sim_.run(QStringList{"-listDeviceInfo"} + Login(c.address, c.password));
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name;
        EXPECT_EQ(run.out, c.out) << c.name;
        EXPECT_EQ(run.err, c.err) << c.name;
        EXPECT_FALSE(ReadDeviceInfo(run.merged()).connected) << c.name;
    }
}

// The address that closes the connection: the deploy tool's HTTP client logs each failure and
// each retry as a dated java.util.logging record, three times, then the tool gives up.
TEST_F(DeviceSimulator, ClosedConnectionIsRetriedThreeTimesThenFails) {
    const ToolRun run = sim_.run(QStringList{"-installApp"} + Login(kClosesConnection, "z30") +
                                 QStringList{"a.bar"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    const QStringList lines = SplitLines(run.err);
    ASSERT_EQ(lines.size(), 13) << run.err.toStdString();
    const QRegularExpression dated(
        "^\\S+ \\d\\d, \\d{4} \\d{1,2}:\\d\\d:\\d\\d \\S+ "
        "org\\.apache\\.http\\.impl\\.client\\.DefaultRequestDirector execute$");
    for (int record = 0; record < 6; ++record) {
        EXPECT_TRUE(dated.match(lines[2 * record]).hasMatch()) << lines[2 * record].toStdString();
        EXPECT_EQ(lines[2 * record + 1],
                  record % 2 == 0
                      ? "INFO: I/O exception (org.apache.http.NoHttpResponseException) caught "
                        "when processing request: The target server failed to respond"
                      : "INFO: Retrying request");
    }
    EXPECT_TRUE(lines[0].contains(QString::number(QDate::currentDate().year())));
    EXPECT_EQ(lines.last(), "Error: The target server failed to respond");
}

// The address that accepts the connection and never answers the login keeps the tool waiting,
// silent, until it is ended from outside; meanwhile its address holds an empty login entry.
TEST_F(DeviceSimulator, SilentAddressNeverAnswers) {
    QProcess tool;
    sim_.start(tool, QStringList{"-listDeviceInfo"} + Login(kSilent, "z30"));
    QElapsedTimer waited;
    waited.start();
    while (!sim_.deployData().contains(kSilent + "=") && waited.elapsed() < 30000)
        QThread::msleep(50);
    EXPECT_EQ(sim_.deployData(), QStringList{kSilent + "="});
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
    EXPECT_EQ(tenth.err, kLocked + "\n");
    EXPECT_EQ(tenth.out, "");
    const ToolRun locked = attempt(kFullTouch, "z30");
    EXPECT_EQ(locked.exitCode, 4) << "a locked device stays locked";
    EXPECT_EQ(locked.err, kLocked + "\n");
    EXPECT_FALSE(ReadDeviceInfo(locked.merged()).connected);
}

TEST_F(DeviceSimulator, AnInstalledAppGoesThroughItsWholeLife) {
    const ToolRun installed = install(kFullTouch, "z30", bar("hello.bar", "com.example.Hello"));
    ASSERT_EQ(installed.exitCode, 0) << installed.merged().toStdString();
    EXPECT_EQ(installed.err, "");
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
    EXPECT_TRUE(QRegularExpression("^testDev_Hello______[0-9a-f]{8}$").match(id).hasMatch())
        << id.toStdString();

    const std::vector<ListedApp> apps = listApps(kFullTouch, "z30");
    const ListedApp* hello = find(apps, "com.example.Hello");
    ASSERT_NE(hello, nullptr);
    EXPECT_EQ(hello->packageId, id);
    EXPECT_EQ(hello->folder, id);
    EXPECT_EQ(hello->version, "1.0.0.1");
    EXPECT_EQ(hello->size, QString::number(size));
    EXPECT_EQ(hello->name, "Hello World");
    EXPECT_EQ(hello->source, "developer");

    // Each action's answer, in order: its last line and exit code.
    const QString pid = "[1-9]\\d*";
    const std::pair<const char*, QString> steps[] = {
        {"-isAppRunning", "^result::false$"},      {"-launchApp", "^result::" + pid + "$"},
        {"-isAppRunning", "^result::true$"},       {"-launchApp", "^result::running," + pid + "$"},
        {"-terminateApp", "^result::terminated$"}, {"-isAppRunning", "^result::false$"},
        {"-terminateApp", "^result::terminated$"}, {"-uninstallApp", "^result::success$"},
    };
    QString launchedPid;
    for (const auto& [action, answer] : steps) {
        const ToolRun run = onPackage(action, *hello);
        EXPECT_EQ(run.exitCode, 0) << action;
        EXPECT_EQ(run.err, "") << action;
        const QString last = run.outLines().value(run.outLines().size() - 1);
        EXPECT_TRUE(QRegularExpression(answer).match(last).hasMatch())
            << action << ": " << run.out.toStdString();
        if (last.startsWith("result::running,"))
            EXPECT_EQ(last.mid(16), launchedPid) << "a running app keeps its process";
        else if (QString(action) == "-launchApp")
            launchedPid = last.mid(8);
    }
    EXPECT_EQ(find(listApps(kFullTouch, "z30"), "com.example.Hello"), nullptr);

    for (const char* action : {"-uninstallApp", "-terminateApp", "-launchApp", "-isAppRunning"}) {
        const ToolRun gone = onPackage(action, *hello);
        EXPECT_EQ(gone.exitCode, 2) << action;
        EXPECT_EQ(gone.outLines().last(), kUnknownPackage) << action;
    }
}

// An application's sandbox: its log grows while it runs, its exit code is there once it was
// terminated, files put into it come back byte for byte; the failures answer as the tool does.
TEST_F(DeviceSimulator, SandboxFilesAndExitCodeAnswerAsTheToolDoes) {
    ASSERT_EQ(install(kFullTouch, "z30", bar("hello.bar", "com.example.Hello")).exitCode, 0);
    const ListedApp hello = *find(listApps(kFullTouch, "z30"), "com.example.Hello");
    const QStringList package{"-package-name", hello.packageName, "-package-id", hello.packageId};
    const auto transfer = [&](const QString& option, const QString& first, const QString& second) {
        return sim_.run(QStringList{option, first, second} + Login(kFullTouch, "z30") + package);
    };
    const auto exitCode = [&] {
        return sim_.run(QStringList{"-printExitCode"} + Login(kFullTouch, "z30") + package);
    };
    const QStringList getLines{"Info: Sending request: GET_FILE", "Info: Action: Get File"};

    ASSERT_EQ(onPackage("-launchApp", hello).exitCode, 0);
    QThread::msleep(1100);
    const ToolRun log = transfer("-getFile", "logs/log", "-");
    EXPECT_EQ(log.exitCode, 0) << log.merged().toStdString();
    EXPECT_EQ(log.outLines().mid(0, 3), getLines + QStringList{"Info: Sending File: logs/log"});
    EXPECT_TRUE(log.outLines().value(3).startsWith("Started")) << log.out.toStdString();
    EXPECT_TRUE(log.outLines().contains("Running for 1 s")) << log.out.toStdString();

    const ToolRun running = exitCode();
    EXPECT_EQ(running.exitCode, 2);
    EXPECT_EQ(running.outLines().last(), "result::failure 404 file not found");
    ASSERT_EQ(onPackage("-terminateApp", hello).exitCode, 0);
    const ToolRun exited = exitCode();
    EXPECT_EQ(exited.exitCode, 0) << exited.merged().toStdString();
    const QStringList exitedLines =
        getLines + QStringList{"Info: Sending File: logs/devmode_exitcode.txt", "0"};
    EXPECT_EQ(exited.outLines(), exitedLines);

    QByteArray bytes;
    for (int i = 0; i < 20000; ++i)
        bytes.append(static_cast<char>((i * 7919) % 256));
    const QString sent = files_.filePath("sent.bin");
    QFile out(sent);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    out.close();
    const ToolRun put = transfer("-putFile", sent, "data/sent.bin");
    EXPECT_EQ(put.exitCode, 0) << put.merged().toStdString();
    EXPECT_EQ(put.outLines(),
              (QStringList{"Info: Sending request: PUT_FILE", "Info: Action: Put File",
                           "Info: File size: 20000", "result::success"}));
    const QString back = files_.filePath("back.bin");
    const ToolRun get = transfer("-getFile", "data/sent.bin", back);
    EXPECT_EQ(get.exitCode, 0) << get.merged().toStdString();
    EXPECT_EQ(get.outLines().last(), "Info: File saved: " + back);
    QFile in(back);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_EQ(in.readAll(), bytes);

    // What fails: the answer's last line (on standard output, else standard error), exit code.
    QFile errorLine(files_.filePath("error.txt"));
    ASSERT_TRUE(errorLine.open(QIODevice::WriteOnly));
    errorLine.write("fine\nError: the app's own line\n");
    errorLine.close();
    ASSERT_EQ(transfer("-putFile", errorLine.fileName(), "data/error.txt").exitCode, 0);
    const struct {
        const char* what;
        QString option, first, second;
        int exitCode;
        QString last;
    } failures[] = {
        {"a file it does not have", "-getFile", "data/none", "-", 2,
         "result::failure 404 file not found"},
        {"a path leaving the sandbox", "-getFile", "../../x", "-", 2,
         "result::failure 404 file not found"},
        {"a SAVEAS in a missing folder", "-getFile", "data/sent.bin",
         files_.filePath("missing/x.bin"), 1,
         "Error: " + files_.filePath("missing/x.bin") + " (No such file or directory)"},
        {"an Error: line inside a printed file", "-getFile", "data/error.txt", "-", 2,
         "Error: the app's own line"},
        {"a put into the read-only app folder", "-putFile", sent, "app/x", 2,
         "result::failure 403 permission denied"},
    };
    for (const auto& failure : failures) {
        const ToolRun run = transfer(failure.option, failure.first, failure.second);
        EXPECT_EQ(run.exitCode, failure.exitCode) << failure.what;
        const QStringList lines = (run.err.isEmpty() ? run.out : run.err).trimmed().split('\n');
        EXPECT_EQ(lines.last(), failure.last) << failure.what;
    }
    EXPECT_FALSE(QFileInfo::exists(files_.filePath("missing")));
}

// Install and launch takes the package's name and id from the BAR's manifest.
TEST_F(DeviceSimulator, InstallCanLaunchAndAppsCanBeNamedByTheirBar) {
    const QString path = files_.filePath("clock.bar");
    WriteBar(path, BarManifest("com.example.Clock", "Clock", "2.0.1.5") +
                       "Package-Id: clock_0123456789abcdefghijk\r\n");
    const ToolRun run = sim_.run(QStringList{"-installApp", "-launchApp"} +
                                 Login(kKeyboard, "q10") + QStringList{"-package", path});
    ASSERT_EQ(run.exitCode, 0) << run.merged().toStdString();
    const QStringList lines = run.outLines();
    ASSERT_GE(lines.size(), 4);
    const QString id = lines.filter(QRegularExpression("^actual_id::")).value(0).mid(11);
    EXPECT_EQ(lines.mid(lines.size() - 3, 2),
              (QStringList{"result::success", "Info: Launching com.example.Clock." + id + "..."}));
    EXPECT_TRUE(QRegularExpression("^result::[1-9]\\d*$").match(lines.last()).hasMatch())
        << run.out.toStdString();
    const ToolRun running = sim_.run(QStringList{"-isAppRunning"} + Login(kKeyboard, "q10") +
                                     QStringList{"-package", path});
    EXPECT_EQ(running.outLines().last(), "result::true") << running.merged().toStdString();
}

// Without Package-Id in the BAR's manifest, install and launch stops before it connects.
TEST_F(DeviceSimulator, InstallAndLaunchNeedsThePackageId) {
    const QString path = bar("clock.bar", "com.example.Clock", "Clock", "2.0.1.5");
    const ToolRun run = sim_.run(QStringList{"-installApp", "-launchApp"} +
                                 Login(kKeyboard, "wrong") + QStringList{path});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Error: Package Id is required for this command\n");
    // Nothing was tried: the wrong password counted no attempt.
    EXPECT_EQ(install(kKeyboard, "q10", path).exitCode, 0);
}

// A BAR that needs a newer OS than the device's is refused with 533; the Passport runs
// 10.2.1.3247.
TEST_F(DeviceSimulator, RequiredSystemNewerThanTheDevicesIsRefused) {
    const auto requiring = [&](const char* file, const QByteArray& system) {
        const QString path = files_.filePath(file);
        WriteBar(path, BarManifest("com.example.Newer", "Newer", "1.0.0.0") +
                           "Application-Requires-System: " + system + "\r\n");
        return path;
    };
    const ToolRun refused =
        install(kPassport, "passport", requiring("newer.bar", "BlackBerry 10/10.3.0.0"));
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.outLines().mid(refused.outLines().size() - 4),
              (QStringList{"actual_dname::", "actual_id::", "actual_version::",
                           "result::failure 533 Application-Requires-System: version forbidden, "
                           "want (10, 3, 0, 0) have (10, 2, 1, 3247)"}));
    EXPECT_EQ(install(kFullTouch, "z30", requiring("newer.bar", "BlackBerry 10/10.3.0.0")).exitCode,
              0);
    EXPECT_EQ(
        install(kPassport, "passport", requiring("older.bar", "BlackBerry 10/10.2.1")).exitCode, 0);
    const ToolRun tablet =
        install(kPlayBook, "playbook", requiring("tablet.bar", "Tablet OS/2.1.1"));
    EXPECT_EQ(tablet.exitCode, 2);
    EXPECT_EQ(tablet.outLines().last(), "result::failure 533 Application-Requires-System: version "
                                        "forbidden, want (2, 1, 1, 0) have (2, 1, 0, 1917)");
}

// Each device's debug token as its information reports it, and a token installed changes it.
TEST_F(DeviceSimulator, DebugTokensAreReportedAndInstalled) {
    using Status = DebugTokenState::Status;
    const auto tokenOf = [&](const QString& address, const QString& password) {
        const ToolRun run = sim_.run(QStringList{"-listDeviceInfo"} + Login(address, password));
        EXPECT_EQ(run.exitCode, 0) << run.merged().toStdString();
        return ReadDeviceInfo(run.merged()).debugToken;
    };
    EXPECT_EQ(DebugTokenText(tokenOf(kFullTouch, "z30")), "Debug token valid until 2031-06-30");
    const DebugTokenState playBook = tokenOf(kPlayBook, "playbook");
    EXPECT_EQ(playBook.status, Status::Expired);
    EXPECT_EQ(playBook.validationError, "debug token has expired");
    EXPECT_EQ(playBook.validationErrorCode, 3);
    const DebugTokenState expired = tokenOf(kPassport, "passport");
    EXPECT_EQ(expired.status, Status::Expired);
    EXPECT_EQ(DebugTokenText(expired), "Debug token expired on 2024-01-31");

    const QString token = files_.filePath("debugtoken.bar");
    WriteBar(token, "Package-Author: Kestrane Developer\r\nPackage-Name: debug.token\r\n"
                    "Package-Type: debug-token\r\nDebug-Token-Expiry-Date: 2032-01-15\r\n"
                    "Debug-Token-Device-Id: 712981662,743344661\r\n"); // Z30 and Passport
    const ToolRun installed = sim_.run(
        QStringList{"-installDebugToken", token, "-device", kPassport, "-password", "passport"});
    EXPECT_EQ(installed.exitCode, 0) << installed.merged().toStdString();
    EXPECT_EQ(installed.outLines(),
              (QStringList{"Info: Sending request: INSTALL_DEBUG_TOKEN",
                           "Info: Action: Install Debug Token",
                           "Info: File size: " + QString::number(QFileInfo(token).size()),
                           "result::success"}));
    EXPECT_EQ(DebugTokenText(tokenOf(kPassport, "passport")), "Debug token valid until 2032-01-15");
    // The Q10's PIN is not among the ids: installed, but not valid for it.
    EXPECT_EQ(sim_.run(QStringList{"-installDebugToken", token} + Login(kKeyboard, "q10")).exitCode,
              0);
    EXPECT_EQ(DebugTokenText(tokenOf(kKeyboard, "q10")),
              "Debug token invalid: Device PIN is not in the debug token");
    // An application's BAR is no debug token.
    const ToolRun notToken =
        sim_.run(QStringList{"-installDebugToken", bar("app.bar", "com.example.App")} +
                 Login(kFullTouch, "z30"));
    EXPECT_EQ(notToken.exitCode, 2);
    EXPECT_EQ(notToken.outLines().last(),
              "result::failure 500 not a debug token (Package-Type: debug-token)");
}

// A device that refuses an installation answers empty "actual_" lines and its failure line.
TEST_F(DeviceSimulator, RefusedInstallsNeverReachOneHundredPerCent) {
    const QString notZip = files_.filePath("notes.bar");
    QFile file(notZip);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("these are notes, not a package\n");
    file.close();
    const QString noManifest = files_.filePath("empty.bar");
    WriteStoredZip(noManifest, {{"native/a.txt", "a"}});
    const QStringList refusal{"actual_dname::", "actual_id::", "actual_version::"};

    struct RefusalCase {
        const char* name;
        QString path, failAt, failure;
        QString lastProgress, result;
    };
    const RefusalCase cases[] = {
        {"not a ZIP archive", notZip, "", "", "", "result::failure 500 not a BAR file"},
        {"no manifest", noManifest, "", "", "",
         "result::failure 500 not a BAR file: it has no META-INF/MANIFEST.MF"},
        {"refused at 50 %", bar("a.bar", "com.example.Broken"), "50", "", "Info: Progress 40%...",
         "result::failure 881 no debug token found"},
        {"refused at once, own text", bar("b.bar", "com.example.Broken"), "0",
         "500 OSError: [Errno 17] File exists", "",
         "result::failure 500 OSError: [Errno 17] File exists"},
    };
    for (const RefusalCase& c : cases) {
        sim_.setEnv("KESTRANE_DEVICESIM_FAIL_INSTALL_AT", c.failAt);
        sim_.setEnv("KESTRANE_DEVICESIM_INSTALL_FAILURE", c.failure);
        const ToolRun run = install(kFullTouch, "z30", c.path);
        EXPECT_EQ(run.exitCode, 2) << c.name;
        EXPECT_EQ(run.err, "") << c.name;
        const QStringList lines = run.outLines();
        ASSERT_GE(lines.size(), 4) << c.name;
        EXPECT_TRUE(lines.last().startsWith(c.result)) << c.name << ": " << run.out.toStdString();
        EXPECT_EQ(lines.mid(lines.size() - 4, 3), refusal) << c.name;
        const QStringList progress = lines.filter("Info: Progress");
        EXPECT_EQ(progress.isEmpty() ? QString() : progress.last(), c.lastProgress) << c.name;
    }
    EXPECT_EQ(find(listApps(kFullTouch, "z30"), "com.example.Broken"), nullptr);
}

// Every line the devices list has the device's shape, with a name for every app; development-mode
// ids are "testDev_", the last 11 characters of the package name's last part (padded with "_") and
// 8 hex digits, also when the package name holds "test" or the start of an id.
TEST_F(DeviceSimulator, ListedLinesAndIdsHaveTheDevicesShape) {
    const std::pair<QByteArray, QString> ids[] = {
        {"com.acme.speedtest", "testDev_speedtest__"},
        {"com.test.testDev_app", "testDev_testDev_app"},
        {"com.example.averyverylongname", "testDev_erylongname"},
        {"test", "testDev_test_______"},
    };
    for (const auto& [package, prefix] : ids) {
        const ToolRun run = install(kPlayBook, "playbook", bar("t.bar", package));
        ASSERT_EQ(run.exitCode, 0) << run.merged().toStdString();
        EXPECT_TRUE(QRegularExpression("^actual_id::" + prefix + "[0-9a-f]{8}$")
                        .match(run.outLines().value(run.outLines().size() - 3))
                        .hasMatch())
            << run.out.toStdString();
    }
    const QString unnamed = files_.filePath("chess.bar");
    WriteBar(unnamed, "Application-Name: Pocket Chess\r\nApplication-Version: 1.1.0.0\r\n");
    ASSERT_EQ(install(kPlayBook, "playbook", unnamed).exitCode, 0);

    const std::pair<QString, QString> devices[] = {
        {kFullTouch, "z30"}, {kKeyboard, "q10"}, {kPlayBook, "playbook"}};
    for (const auto& [address, password] : devices) {
        const std::vector<ListedApp> apps = listApps(address, password);
        ASSERT_GE(apps.size(), 5u) << address.toStdString();
        for (const ListedApp& app : apps) {
            EXPECT_EQ(app.packageId.size(), 27) << app.packageName.toStdString();
            EXPECT_EQ(app.folder, app.packageId) << app.packageName.toStdString();
            EXPECT_FALSE(app.name.isEmpty()) << app.packageName.toStdString();
            EXPECT_FALSE(app.version.isEmpty()) << app.packageName.toStdString();
            EXPECT_EQ(app.source == "developer", app.packageId.startsWith("testDev_"))
                << app.packageName.toStdString();
        }
    }
    const ToolRun z30 = sim_.run(QStringList{"-listInstalledApps"} + Login(kFullTouch, "z30"));
    EXPECT_TRUE(z30.outLines().contains(
        "com.acme.speedtest.testDev_speedtest__0b911cdd::testDev_speedtest__0b911cdd,3.2.0.1,,,"
        "402112,name::Speed Test,source::developer"))
        << z30.out.toStdString();
    const std::vector<ListedApp> apps = listApps(kPlayBook, "playbook");
    ASSERT_NE(find(apps, "com.test.testDev_app"), nullptr);
    const ListedApp* chess = find(apps, "PocketChess");
    ASSERT_NE(chess, nullptr) << "a manifest without Package-Name installs under its app name";
    EXPECT_EQ(chess->name, "Pocket Chess");
    EXPECT_EQ(chess->version, "1.1.0.0");
}

// Commands to the same address at once each find the others' empty login entries; those are
// held by running commands, so none waits as for an entry left behind (that wait is made long
// enough here to end the test).
TEST_F(DeviceSimulator, CommandsRunningAtOnceLoseNoChange) {
    sim_.setEnv("KESTRANE_DEVICESIM_STALE_ENTRY_MS", "600000");
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

    const std::vector<ListedApp> apps = listApps(kKeyboard, "q10");
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

// The deploy tool's login data: .deployData in user.home, "ADDR=VALUE" lines, mode 0600; a login
// leaves a cookie and the password's unsalted SHA-512, a failed login no entry; an empty entry
// that no running command holds (a command was ended while it connected) makes the next command
// to that address wait.
TEST_F(DeviceSimulator, LoginDataIsKeptInUserHomeAsTheToolKeepsIt) {
    const QString sha512 = QCryptographicHash::hash("z30", QCryptographicHash::Sha512).toHex();
    ASSERT_EQ(sim_.run(QStringList{"-listDeviceInfo"} + Login(kFullTouch, "z30")).exitCode, 0);
    ASSERT_EQ(sim_.deployData().size(), 1);
    EXPECT_TRUE(QRegularExpression("^169\\.254\\.0\\.1=[0-9a-f]+;" + sha512 + "$")
                    .match(sim_.deployData()[0])
                    .hasMatch())
        << sim_.deployData()[0].toStdString();
    const QString file = QDir(sim_.userHome()).filePath(".deployData");
    struct stat status {};
    ASSERT_EQ(stat(QFile::encodeName(file).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);

    struct EntryCase {
        const char* name;
        QStringList args;
        QStringList entriesAfter; // regular expressions, in order
    };
    const EntryCase cases[] = {
        {"another device logs in",
         QStringList{"-listInstalledApps"} + Login(kKeyboard, "q10"),
         {"^169\\.254\\.0\\.1=.+;" + sha512 + "$", "^169\\.254\\.1\\.1=[0-9a-f]+;[0-9a-f]{128}$"}},
        {"a wrong password takes the device's cookie away",
         QStringList{"-listDeviceInfo"} + Login(kFullTouch, "x"),
         {"^169\\.254\\.1\\.1=[0-9a-f]+;[0-9a-f]{128}$"}},
        {"a refused connection leaves nothing",
         QStringList{"-listDeviceInfo"} + Login("127.0.0.1", "z30"),
         {"^169\\.254\\.1\\.1=[0-9a-f]+;[0-9a-f]{128}$"}},
    };
    for (const EntryCase& c : cases) {
        sim_.run(c.args);
        const QStringList lines = sim_.deployData();
        ASSERT_EQ(lines.size(), c.entriesAfter.size())
            << c.name << ": " << lines.join('|').toStdString();
        for (qsizetype i = 0; i < lines.size(); ++i)
            EXPECT_TRUE(QRegularExpression(c.entriesAfter[i]).match(lines[i]).hasMatch())
                << c.name << ": " << lines[i].toStdString();
    }

    // An empty entry nobody holds: the command to that address waits (here far longer than the
    // test looks), while one to another address goes on.
    sim_.setEnv("KESTRANE_DEVICESIM_STALE_ENTRY_MS", "600000");
    QFile planted(file);
    ASSERT_TRUE(planted.open(QIODevice::Append));
    planted.write("169.254.2.1=\n");
    planted.close();
    QProcess waiting;
    sim_.start(waiting, QStringList{"-listDeviceInfo"} + Login(kPlayBook, "playbook"));
    EXPECT_EQ(sim_.run(QStringList{"-listDeviceInfo"} + Login(kKeyboard, "q10")).exitCode, 0);
    EXPECT_FALSE(waiting.waitForFinished(2000)) << waiting.readAll().toStdString();
    EXPECT_EQ(waiting.readAllStandardOutput(), "") << "it logged in at once";
    waiting.kill();
    EXPECT_TRUE(waiting.waitForFinished(10000));
}

// The device state folder follows the environment's HOME, not user.home: moving user.home (to keep
// the login data private) must not move the devices' state.
TEST_F(DeviceSimulator, DeviceStateFollowsHomeNotUserHome) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    sim_.unsetEnv("KESTRANE_DEVICESIM_HOME");
    sim_.unsetEnv("XDG_STATE_HOME");
    sim_.setEnv("HOME", home.path());
    const QStringList wrong = QStringList{"-listDeviceInfo"} + Login(kFullTouch, "x");
    ASSERT_EQ(sim_.run(wrong).exitCode, 3);
    EXPECT_EQ(sim_.run(wrong).err,
              "Error: Authentication failed. There have been 2 of 10 failed attempts\n");
    EXPECT_TRUE(
        QFile::exists(home.filePath(".local/state/kestrane-devicesim/169.254.0.1.properties")));
    EXPECT_FALSE(QDir(sim_.userHome() + "/.local").exists());
    ASSERT_EQ(sim_.run(QStringList{"-listDeviceInfo"} + Login(kFullTouch, "z30")).exitCode, 0);
    EXPECT_EQ(sim_.deployData().size(), 1);
    EXPECT_FALSE(QFile::exists(home.filePath(".deployData")));
}

// The arguments can come through a Java launcher argument file (java @FILE); nothing depends on
// the process's command line.
TEST_F(DeviceSimulator, ArgumentsFromALauncherFileAnswerAlike) {
    const QString path = bar("file arg.bar", "com.example.FromFile");
    const std::pair<QString, int> passwords[] = {{"q 10", 3}, {"q10", 0}};
    for (const auto& [password, exitCode] : passwords) {
        QFile argFile(files_.filePath("args"));
        ASSERT_TRUE(argFile.open(QIODevice::WriteOnly));
        for (const QString& arg : sim_.javaArgs() + QStringList{"-installApp"} +
                                      Login(kKeyboard, password) + QStringList{path})
            argFile.write("\"" + arg.toUtf8() + "\"\n");
        argFile.close();
        const ToolRun run = sim_.runJava({"@" + argFile.fileName()});
        EXPECT_EQ(run.exitCode, exitCode) << password.toStdString();
        if (exitCode == 0)
            EXPECT_EQ(run.outLines().last(), "result::success") << run.merged().toStdString();
        else
            EXPECT_EQ(run.err,
                      "Error: Authentication failed. There have been 1 of 10 failed attempts\n");
    }
}

// A slow upload: after the request lines the tool writes nothing while it reads the BAR file, so
// the process's read byte count grows while its output stands still; then the device answers.
TEST_F(DeviceSimulator, TheUploadIsSilentButReads) {
    QByteArray asset(256 * 1024, 'x');
    const QString path = files_.filePath("big.bar");
    WriteStoredZip(path,
                   {{"META-INF/MANIFEST.MF", BarManifest("com.example.Big", "Big", "1.0.0.0")},
                    {"native/asset", asset}});
    sim_.setEnv("KESTRANE_DEVICESIM_UPLOAD_MS", "4000");
    QProcess tool;
    sim_.start(tool, QStringList{"-installApp"} + Login(kFullTouch, "z30") + QStringList{path});
    auto readChars = [&tool] {
        QFile io(QString("/proc/%1/io").arg(tool.processId()));
        if (!io.open(QIODevice::ReadOnly))
            return qint64(-1);
        const QString text = QString::fromLatin1(io.readAll());
        return QRegularExpression("rchar: (\\d+)").match(text).captured(1).toLongLong();
    };
    QString out;
    QElapsedTimer waited;
    waited.start();
    while (!out.contains("Info: File size: ") && waited.elapsed() < 30000) {
        tool.waitForReadyRead(100);
        out += QString::fromUtf8(tool.readAllStandardOutput());
    }
    ASSERT_TRUE(out.endsWith(QString("Info: File size: %1\n").arg(QFileInfo(path).size())))
        << out.toStdString();
    // Reads while the output stands still.
    const qint64 before = readChars();
    qint64 during = before;
    while (tool.state() == QProcess::Running && !tool.waitForReadyRead(100))
        during = std::max(during, readChars());
    EXPECT_GT(during - before, 64 * 1024) << "read during the silent upload";
    ASSERT_TRUE(tool.waitForFinished(60000));
    const QStringList rest = SplitLines(QString::fromUtf8(tool.readAllStandardOutput()));
    EXPECT_EQ(rest.value(0), "Info: Installing ...");
    EXPECT_EQ(rest.value(rest.size() - 1), "result::success");
    EXPECT_EQ(tool.exitCode(), 0);
}

} // namespace
