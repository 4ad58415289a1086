// Connect through the whole chain: the Java runtime found in the JVM folders, /bin/sh, the built
// device simulator (lib/BarDeploy.jar) and the model pictures beside it. Nothing is scripted.

#include "ArgumentFile.h"
#include "BarInfo.h"
#include "DeployToolHome.h"
#include "DeployToolLookup.h"
#include "DeviceCommands.h"
#include "DeviceInfoProbes.h"
#include "FixedLocalAddresses.h"
#include "Fonts.h"
#include "MessageBox.h"
#include "SimulatorState.h"
#include "TfrmBB10.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace kestrane;
using namespace kestrane::testing;

namespace {

const QString ProgramFolder = QStringLiteral(KESTRANE_TEST_APP_DIR);
const QStringList NoValues(10, QStringLiteral("..."));

QImage ModelPicture(const QString& model) {
    return Pixels(QImage(ProgramFolder + QStringLiteral("/lib/blackberry-%1.jpg").arg(model)));
}

// The processes whose command line holds marker (their arguments joined by blanks).
QStringList ProcessesWith(const QString& marker) {
    QStringList found;
    QDirIterator entries(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (entries.hasNext()) {
        const QString folder = entries.next();
        QFile cmdline(folder + QStringLiteral("/cmdline"));
        if (!cmdline.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QString line = QString::fromUtf8(cmdline.readAll().replace('\0', ' '));
        if (line.contains(marker)) {
            found.append(folder + QStringLiteral(": ") + line);
        }
    }
    return found;
}

} // namespace

class ConnectEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // A home and a state folder of the test's own: what the deploy tool keeps of a login
        // must land in Kestrane's tool home and nowhere in the user's home.
        QVERIFY(home_.isValid());
        qputenv("HOME", home_.path().toUtf8());
        qputenv("XDG_STATE_HOME", home_.filePath(QStringLiteral("state")).toUtf8());
        PrepareWindowSuite();
        qputenv("KESTRANE_DEVICESIM_CONNECT_TIMEOUT_MS", "200");
        QVERIFY(QFile::exists(ProgramFolder + QStringLiteral("/lib/BarDeploy.jar")));
    }
    void init() {
        scope_.begin();
        // Every test starts with fresh devices: no failed attempts counted.
        state_ = std::make_unique<SimulatorState>();
        QVERIFY(state_->isValid());
    }
    void cleanup() {
        qunsetenv("JAVA_TOOL_OPTIONS");
        qunsetenv("KESTRANE_DEPLOY_TOOL");
        qunsetenv("KESTRANE_COMMAND_HOST");
        qputenv("KESTRANE_DEVICESIM_CONNECT_TIMEOUT_MS", "200");
        const QString left = scope_.end();
        QVERIFY2(left.isEmpty(), qPrintable(left));
    }

    void connectsToEachDevice_data();
    void connectsToEachDevice();
    void refusalsShowTheToolsText_data();
    void refusalsShowTheToolsText();
    void passwordArrivesIntactAndRunsNothing();
    void noCommandOutlivesTheWindow_data();
    void noCommandOutlivesTheWindow();
    void aConnectionThatBreaksOffIsAFailure();
    void aSilentDeviceIsStoppedAtTheLimit();
    void aToolFolderInTheEnvironmentAnswers();
    void everyWayOfRunningTheToolAnswersAlike_data();
    void everyWayOfRunningTheToolAnswersAlike();

private:
    // The program's window with the system's runner and the given JVM folder, its program folder
    // the build's bin folder, shown (which finds the Java runtime).
    std::unique_ptr<TfrmBB10> ShownWindow(const QString& jvmRoot = QStringLiteral("/usr/lib/jvm")) {
        Services services{std::make_shared<doubles::FixedLocalAddresses>(),
                          std::shared_ptr<const RegistryView>(MakeJvmFolderRegistryView(jvmRoot)),
                          std::make_shared<ProcessConsoleRunner>()};
        auto window = std::make_unique<TfrmBB10>(services);
        window->AppDir = ProgramFolder;
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get())) {
            qFatal("window not shown");
        }
        return window;
    }

    static void StartConnect(TfrmBB10& window, const QString& address, const QString& password) {
        window.edtIP->setAddressText(address);
        window.edtPwd->setText(password);
        QTest::mouseClick(window.btnConn, Qt::LeftButton);
    }

    void Connect(TfrmBB10& window, const QString& address, const QString& password) {
        scope_.answerAnyBox(); // for the error box, if it comes
        StartConnect(window, address, password);
        QVERIFY(window.deviceCommands().isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!window.deviceCommands().isRunning(), 60000);
    }

    // The arguments the simulator received in its last run.
    QStringList ReceivedArguments() const { return state_->receivedArguments(); }

    // The processes of this test's device commands: their command lines name an argument file
    // in this program's private temporary folder (and hold nothing else of the command).
    // Waits (up to 30 s) until both the shell and Java of the command have been seen at once.
    // The check holds once it held: the Java launcher may exec itself again on start, and a
    // process caught in exec shows no command line for a moment.
    static bool WaitForCommandProcesses() {
        return QTest::qWaitFor([] { return CommandProcesses().size() >= 2; }, 30000);
    }

    static QStringList CommandProcesses() {
        return ProcessesWith(QString::fromStdString(GetTempDirectory()) + ArgumentFilePrefix);
    }

    QTemporaryDir home_;
    std::unique_ptr<SimulatorState> state_;
    WindowTestScope scope_;
};

void ConnectEndToEndTest::connectsToEachDevice_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QString>("model");
    QTest::newRow("Z30") << "169.254.0.1"
                         << "z30" << QStringList{"BlackBerry Z30",  "STA100-2",    "0x8c00240a",
                                                 "353090061452327", "5c1f4a8d",    "2A7F3C9E",
                                                 "BlackBerry 10",   "10.3.3.2205", "3.5.0.26",
                                                 "11.1.121.92"}
                         << "Z30";
    QTest::newRow("Q10") << "169.254.1.1"
                         << "q10" << QStringList{"BlackBerry Q10",  "SQN100-3",    "0x8400270a",
                                                 "358511052749618", "7e2b90c4",    "2B91D04F",
                                                 "BlackBerry 10",   "10.3.2.2876", "3.5.0.21",
                                                 "11.1.121.90"}
                         << "Q10";
    QTest::newRow("PlayBook, named by its OS")
        << "169.254.2.1"
        << "playbook" << QStringList{"BlackBerry PlayBook",
                                     "...",
                                     "0x06001a06",
                                     "...",
                                     "1a2b3c4d",
                                     "50A3E1B7",
                                     "BlackBerry PlayBook OS",
                                     "2.1.0.1917",
                                     "3.1.0.41",
                                     "11.1.121.46"}
        << "playbook";
}

void ConnectEndToEndTest::connectsToEachDevice() {
    QFETCH(QString, address);
    QFETCH(QString, password);
    QFETCH(QStringList, labels);
    QFETCH(QString, model);
    auto window = ShownWindow();
    QVERIFY2(!window->JavaBinDir.isEmpty(), "no Java runtime in /usr/lib/jvm");

    Connect(*window, address, password);
    QCOMPARE(MessageBox::takeAnsweredBoxes().size(), 0);
    QCOMPARE(ValueLabels(*window), labels);
    QCOMPARE(Pixels(window->imgModel->picture().toImage()), ModelPicture(model));
    QVERIFY(Unlocked(*window));
    QCOMPARE(window->Panel1->width(), 0);
    QVERIFY(window->btnConn->isEnabled());

    // The main screen after connecting, for a person to look at.
    const QDir shots(QStringLiteral(KESTRANE_SCREENSHOT_DIR));
    QVERIFY(shots.mkpath(QStringLiteral(".")));
    QVERIFY(window->grab().save(shots.filePath(QStringLiteral("connected-%1.png").arg(model))));
}

void ConnectEndToEndTest::refusalsShowTheToolsText_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("lead");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("javaToolOptions");
    struct Refusal {
        const char* name;
        QString address;
        QString password;
        QString lead;  // how the box begins: what happened
        QString error; // the tool's text, behind the box's details
    };
    const Refusal refusals[] = {
        {"wrong password", "169.254.0.1", "z31",
         "The device refused the password: 1 of 10 failed attempts.",
         "Error: Authentication failed. There have been 1 of 10 failed attempts"},
        {"no device at the address", "169.254.9.9", "z30",
         "The device at 169.254.9.9 did not take the connection in time.",
         "Error: Cannot connect: Connect to /169.254.9.9:443 timed out. Please check IP address "
         "settings for the target. You may have to reboot the target."},
        {"nothing listens at the address", "127.0.0.1", "z30",
         "Nothing at 127.0.0.1 accepted the connection.",
         "Error: Cannot connect: Connection to https://127.0.0.1:443 refused. Please check IP "
         "address settings for the target. You may have to reboot the target."},
        {"Development Mode off", "169.254.3.1", "z10", "Development Mode is off on the device.",
         "Info: Sending request: DEVICE_INFO\n"
         "Error: Device is not in the Development Mode. Switch to Development Mode from "
         "Security settings on the device."},
        {"login system error", "169.254.6.1", "any", "The device could not check the password",
         "[Fatal Error] :1:1: Premature end of file.\n"
         "Error: Authentication failed due to system error"},
    };
    // The Java runtime's notice adds a line to every answer; it never makes one a connection.
    for (const QString& options : {QString(), QStringLiteral("-Dkestrane.e2e=1")}) {
        for (const Refusal& refusal : refusals) {
            const QString name = QString::fromLatin1(refusal.name) +
                                 (options.isEmpty() ? QString() : QStringLiteral(", JVM notice"));
            QTest::newRow(qPrintable(name))
                << refusal.address << refusal.password << refusal.lead << refusal.error << options;
        }
    }
}

void ConnectEndToEndTest::refusalsShowTheToolsText() {
    QFETCH(QString, address);
    QFETCH(QString, password);
    QFETCH(QString, lead);
    QFETCH(QString, error);
    QFETCH(QString, javaToolOptions);
    if (!javaToolOptions.isEmpty())
        qputenv("JAVA_TOOL_OPTIONS", javaToolOptions.toUtf8());
    auto window = ShownWindow();
    const QImage placeholder = Pixels(window->imgModel->picture().toImage());

    Connect(*window, address, password);
    qunsetenv("JAVA_TOOL_OPTIONS");
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].kind, MessageBox::Kind::Error);
    QVERIFY2(boxes[0].text.startsWith(lead), qPrintable(boxes[0].text));
    const QString notice = javaToolOptions.isEmpty()
                               ? QString()
                               : "Picked up JAVA_TOOL_OPTIONS: " + javaToolOptions + "\n";
    QCOMPARE(boxes[0].details, notice + error + "\n");
    QCOMPARE(ValueLabels(*window), NoValues);
    QCOMPARE(Pixels(window->imgModel->picture().toImage()), placeholder);
    QVERIFY(!Unlocked(*window));
    QCOMPARE(window->Panel1->width(), TfrmBB10::ConnectionPanelWidth);
}

// Whatever the password holds reaches the tool as that one argument; the shell runs none of it.
// The runtime is found in a JVM folder of the test's own, so that the working folder is one
// where an injected command would leave its file.
void ConnectEndToEndTest::passwordArrivesIntactAndRunsNothing() {
    QTemporaryDir jvm;
    QVERIFY(jvm.isValid());
    QVERIFY(QDir(jvm.path()).mkpath(QStringLiteral("test-jdk/bin")));
    const QString java = QFileInfo(QStringLiteral(KESTRANE_TEST_JAVA)).canonicalFilePath();
    QVERIFY(QFile::link(java, jvm.filePath(QStringLiteral("test-jdk/bin/java"))));
    const QString password = QStringLiteral("a'b $(touch x); \"c d\" `touch y` *");
    auto window = ShownWindow(jvm.path());
    QCOMPARE(window->JavaBinDir, jvm.filePath(QStringLiteral("test-jdk/bin")));

    Connect(*window, QStringLiteral("169.254.0.1"), password);
    QCOMPARE(ReceivedArguments(),
             (QStringList{"-listDeviceInfo", "-device", "169.254.0.1", "-password", password}));
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].details.contains(QStringLiteral("Error: Authentication failed.")),
             qPrintable(boxes[0].details));
    for (const QString& folder : {window->JavaBinDir, scope_.startFolder()}) {
        for (const char* name : {"x", "y"}) {
            QVERIFY2(!QFile::exists(QDir(folder).filePath(QLatin1String(name))),
                     qPrintable(folder + "/" + name));
        }
    }
}

// Closing the window while Connect waits for an address that never answers, or the window going
// away, ends the command with everything it started.
void ConnectEndToEndTest::noCommandOutlivesTheWindow_data() {
    QTest::addColumn<bool>("closeFirst");
    QTest::newRow("closed, stopping the command") << true;
    QTest::newRow("destroyed while the command runs") << false;
}

void ConnectEndToEndTest::noCommandOutlivesTheWindow() {
    QFETCH(bool, closeFirst);
    qputenv("KESTRANE_DEVICESIM_CONNECT_TIMEOUT_MS", "60000");
    auto window = ShownWindow();
    StartConnect(*window, QStringLiteral("169.254.9.9"), QStringLiteral("z30"));
    // Both the shell and Java are running.
    QVERIFY(WaitForCommandProcesses());

    if (closeFirst) {
        MessageBox::setNextAnswer(MessageBox::Yes);
        QVERIFY(window->close());
        QCOMPARE(MessageBox::takeAnsweredBoxes().size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(CommandProcesses().isEmpty(), 10000);
        QTRY_VERIFY(!window->deviceCommands().isRunning());
        QCOMPARE(MessageBox::takeAnsweredBoxes().size(), 0);
    }
    window.reset();
    QTRY_COMPARE_WITH_TIMEOUT(CommandProcesses(), QStringList(), 10000);
}

// The tool's retry logging is many lines, but the tool failed: the box leads with what happened,
// the logging stays behind its details.
void ConnectEndToEndTest::aConnectionThatBreaksOffIsAFailure() {
    auto window = ShownWindow();
    Connect(*window, QStringLiteral("169.254.5.1"), QStringLiteral("z30"));
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].kind, MessageBox::Kind::Error);
    QVERIFY2(boxes[0].text.startsWith("The device closed the connection without answering."),
             qPrintable(boxes[0].text));
    QVERIFY(!boxes[0].text.contains("INFO:"));
    QVERIFY2(boxes[0].details.contains("INFO: Retrying request\n"), qPrintable(boxes[0].details));
    QVERIFY(boxes[0].details.endsWith("Error: The target server failed to respond\n"));
    QCOMPARE(ValueLabels(*window), NoValues);
    QVERIFY(!Unlocked(*window));
    QCOMPARE(window->Panel1->width(), TfrmBB10::ConnectionPanelWidth);
}

// A device that never answers: the command is stopped at the (shortened) silence limit, with
// everything it started, and the box says so. While it ran, no process list showed the
// password; afterwards its argument file is gone, and so is the empty login entry the tool left
// in its home; the user's home holds no login data at all.
void ConnectEndToEndTest::aSilentDeviceIsStoppedAtTheLimit() {
    const QString password = QStringLiteral("secret-%1").arg(QCoreApplication::applicationPid());
    const QString argumentFiles = QString::fromStdString(GetTempDirectory());
    auto window = ShownWindow();
    window->deviceCommands().silenceLimits().device = std::chrono::milliseconds(3000);
    MessageBox::setNextAnswer(MessageBox::Ok);
    StartConnect(*window, QStringLiteral("169.254.4.1"), password);
    QVERIFY(WaitForCommandProcesses());
    QCOMPARE(ProcessesWith(password), QStringList());
    // The tool has begun its login: its empty entry for the device stands in its home.
    const auto loginData = [] {
        QFile file(DeployDataPath(DeployToolHome()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QTRY_VERIFY(loginData().contains("169.254.4.1=\n"));
    QTRY_VERIFY_WITH_TIMEOUT(!window->deviceCommands().isRunning(), 60000);

    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(
        boxes[0].text.startsWith(QStringLiteral("The device did not answer within 3 seconds.")),
        qPrintable(boxes[0].text));
    QTRY_COMPARE_WITH_TIMEOUT(CommandProcesses(), QStringList(), 10000);
    QCOMPARE(QDir(argumentFiles).entryList({QString(ArgumentFilePrefix) + "*"}, QDir::Files),
             QStringList());
    QVERIFY2(!loginData().contains("169.254.4.1="), "the empty login entry stayed");
    QVERIFY(!QFile::exists(home_.filePath(QStringLiteral(".deployData"))));
    QVERIFY(window->btnConn->isEnabled());
    QVERIFY(!Unlocked(*window));
}

// A folder named by KESTRANE_DEPLOY_TOOL that holds the tool and its six companions is used
// instead of the bundled simulator (here the simulator's jar under the tool's name, beside six
// empty companions): nothing says "simulator", the tool's version is asked, and Connect runs it.
void ConnectEndToEndTest::aToolFolderInTheEnvironmentAnswers() {
    QTemporaryDir tool;
    QVERIFY(tool.isValid());
    QVERIFY(QFile::copy(ProgramFolder + QStringLiteral("/lib/BarDeploy.jar"),
                        tool.filePath(QStringLiteral("BarDeploy.jar"))));
    for (const QString& jar : DeployToolJars().mid(1)) {
        QFile companion(tool.filePath(jar));
        QVERIFY(companion.open(QIODevice::WriteOnly));
    }
    qputenv("KESTRANE_DEPLOY_TOOL", tool.path().toUtf8());
    auto window = ShownWindow();
    QTRY_VERIFY_WITH_TIMEOUT(window->lbDeployTool->toolTip().contains("version 1.4.0"), 30000);
    QCOMPARE(window->lbDeployTool->text(), QStringLiteral("BarDeploy"));
    QVERIFY(!window->windowTitle().contains(SimulatorTitleNote));

    Connect(*window, QStringLiteral("169.254.0.1"), QStringLiteral("z31"));
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].text.startsWith("The device refused the password"),
             qPrintable(boxes[0].text));
    QVERIFY(!boxes[0].text.contains(SimulatorAnsweredNote));
}

// Through the command host, with it switched off, and on a runtime that refuses the host's exit
// trap (as Java 24 and later refuse -Djava.security.manager=allow: here a stand-in "java" that
// says what Java 24 says and ends, and runs the real one for everything else): the window shows
// the same, and nothing of the refusal reaches the user.
void ConnectEndToEndTest::everyWayOfRunningTheToolAnswersAlike_data() {
    QTest::addColumn<bool>("switchedOff");
    QTest::addColumn<bool>("refusingRuntime");
    QTest::newRow("through the command host") << false << false;
    QTest::newRow("switched off with KESTRANE_COMMAND_HOST=0") << true << false;
    QTest::newRow("a runtime that refuses the exit trap") << false << true;
}

void ConnectEndToEndTest::everyWayOfRunningTheToolAnswersAlike() {
    QFETCH(bool, switchedOff);
    QFETCH(bool, refusingRuntime);
    QTemporaryDir jvm;
    QVERIFY(jvm.isValid());
    QVERIFY(QDir(jvm.path()).mkpath(QStringLiteral("test-jdk/bin")));
    const QString java = QFileInfo(QStringLiteral(KESTRANE_TEST_JAVA)).canonicalFilePath();
    const QString launcher = jvm.filePath(QStringLiteral("test-jdk/bin/java"));
    const QString refusals = jvm.filePath(QStringLiteral("refusals"));
    if (refusingRuntime) {
        QFile script(launcher);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral(
                         "#!/bin/sh\n"
                         "for argument in \"$@\"; do\n"
                         "  if [ \"$argument\" = -Djava.security.manager=allow ]; then\n"
                         "    echo refused >>'%1'\n"
                         "    echo 'Error occurred during initialization of boot layer' >&2\n"
                         "    echo 'java.lang.Error: A command line option has attempted to allow "
                         "or enable the Security Manager. Enabling a Security Manager is not "
                         "supported.' >&2\n"
                         "    exit 1\n"
                         "  fi\n"
                         "done\n"
                         "exec '%2' \"$@\"\n")
                         .arg(refusals, java)
                         .toUtf8());
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    } else {
        QVERIFY(QFile::link(java, launcher));
    }
    if (switchedOff)
        qputenv("KESTRANE_COMMAND_HOST", "0");
    auto window = ShownWindow(jvm.path());
    QCOMPARE(window->JavaBinDir, jvm.filePath(QStringLiteral("test-jdk/bin")));

    Connect(*window, QStringLiteral("169.254.3.1"), QStringLiteral("z10"));
    QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].text.startsWith("Development Mode is off on the device."),
             qPrintable(boxes[0].text));
    QCOMPARE(boxes[0].details,
             QStringLiteral("Info: Sending request: DEVICE_INFO\nError: Device is not in the "
                            "Development Mode. Switch to Development Mode from Security settings "
                            "on the device.\n"));
    Connect(*window, QStringLiteral("169.254.0.1"), QStringLiteral("z30"));
    boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 0);
    QCOMPARE(ValueLabels(*window),
             (QStringList{"BlackBerry Z30", "STA100-2", "0x8c00240a", "353090061452327", "5c1f4a8d",
                          "2A7F3C9E", "BlackBerry 10", "10.3.3.2205", "3.5.0.26", "11.1.121.92"}));
    // The stand-in was asked for the host once, and not again for the next command.
    QFile asked(refusals);
    QCOMPARE(asked.open(QIODevice::ReadOnly) ? asked.readAll() : QByteArray(),
             refusingRuntime ? QByteArray("refused\n") : QByteArray());
}

QTEST_MAIN(ConnectEndToEndTest)
#include "ConnectEndToEndTest.moc"
