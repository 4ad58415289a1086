// Connect and the device commands headless: a scripted deploy tool, the model pictures in a
// program folder of the test's own.

#include "DeployToolHome.h"
#include "DeployToolLookup.h"
#include "DeviceCommands.h"
#include "DeviceInfoProbes.h"
#include "FileDialog.h"
#include "Fonts.h"
#include "HandlerGuard.h"
#include "MessageBox.h"
#include "TextUtils.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using namespace kestrane;
using namespace kestrane::testing;

Q_DECLARE_METATYPE(MessageBox::Button)

namespace {

// What the deploy tool prints for a full-touch phone, with the line breaks a Windows tool writes.
// A device's answer as a real device sent it (the captures beside the deploy tests).
QString DeviceAnswer(const char* name) {
    QFile file(QStringLiteral(KESTRANE_DEVICE_ANSWERS_DIR "/") + QLatin1StringView(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

const QString FullTouchOutput = QStringLiteral("Info: Sending request: DEVICE_INFO\r\n"
                                               "Info: Action: List Device Info\r\n"
                                               "@deviceproperties\r\n"
                                               "devicename::Kestrane Z30\r\n"
                                               "modelfullname::BlackBerry Z30\r\n"
                                               "modelname::Z30\r\n"
                                               "modelnumber::STA100-2\r\n"
                                               "hardwareid::0x8c00240a\r\n"
                                               "IMEI::353090061452327\r\n"
                                               "deviceserialnumber::5c1f4a8d\r\n"
                                               "devicepin::0x2a7f3c9e\r\n"
                                               "device_os::BlackBerry 10\r\n"
                                               "@versions\r\n"
                                               "scmbundle::10.3.3.2205\r\n"
                                               "os_version::10.3.3.3216\r\n"
                                               "air_version::3.5.0.26\r\n"
                                               "flash_version::11.1.121.92\r\n");
const QStringList FullTouchValues = {
    "BlackBerry Z30", "STA100-2",      "0x8c00240a",  "353090061452327", "5c1f4a8d",
    "2A7F3C9E",       "BlackBerry 10", "10.3.3.2205", "3.5.0.26",        "11.1.121.92"};
const QStringList NoValues(10, QStringLiteral("..."));

const QString MissingJavaMessage =
    QStringLiteral("You have to install Java Runtime Environment before using this Utility");

} // namespace

class ConnectTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        PrepareWindowSuite();
        QVERIFY(appDir_.isValid() && javaBinDir_.isValid());
        QVERIFY(PlaceFakeDeployTool(appDir_.path(), javaBinDir_.path()));
        // Pictures of their own colour for two models and the PlayBook.
        WritePicture(QStringLiteral("Z30"), Qt::red);
        WritePicture(QStringLiteral("Q10"), Qt::blue);
        WritePicture(QStringLiteral("playbook"), Qt::green);
    }
    void init() {
        scope_.begin();
        world_ = WindowWorld();
    }
    // Every path gives the cursor back.
    void cleanup() {
        const QString left = scope_.end();
        QVERIFY2(left.isEmpty(), qPrintable(left));
    }

    void connect_data();
    void connect();
    void commandTextAndWorkingFolder();
    void noJavaRuntime();
    void connectIsHeldBackWhileItRuns();
    void theLastDeviceIsRememberedWithoutItsPassword();
    void theDebugTokenLine_data();
    void theDebugTokenLine();
    void reconnecting();
    void theLastAttemptIsNeverSpentUnasked();
    void refusedBeforeRunning_data();
    void refusedBeforeRunning();
    void aSilentToolIsStopped();
    void anotherDeviceClearsTheApplications();

    void closingWhileACommandRuns_data();
    void closingWhileACommandRuns();
    void aCommandEndingDuringTheQuestionClosesIt();

    void continuationErrorsGoThroughTheGuard_data();
    void continuationErrorsGoThroughTheGuard();
    void aControlHeldTwiceComesBackWhenBothEnd();
    void destroyingEndsWhatStillRuns();
    void theDeployToolInUse();
    void theSilenceWatch_data();
    void theSilenceWatch();

private:
    void WritePicture(const QString& model, Qt::GlobalColor colour) {
        QImage picture(235, 350, QImage::Format_RGB32);
        picture.fill(colour);
        QVERIFY(picture.save(picturePath(model), "JPEG"));
    }
    QString picturePath(const QString& model) const {
        return appDir_.filePath(QStringLiteral("lib/blackberry-%1.jpg").arg(model));
    }

    // A shown window of this program folder and runtime, its fields filled for the phone.
    std::unique_ptr<ProbeWindow> ReadyWindow() {
        auto window = MakeWindow(world_);
        window->show();
        if (!QTest::qWaitForWindowActive(window.get())) {
            qFatal("window not shown");
        }
        window->AppDir = appDir_.path();
        window->JavaBinDir = javaBinDir_.path();
        window->edtIP->setAddressText(QStringLiteral("169.254.0.1"));
        window->edtPwd->setText(QStringLiteral("z30"));
        return window;
    }

    // Clicks Connect and lets the scripted tool answer.
    void Connect(TfrmBB10& window) {
        QTest::mouseClick(window.btnConn, Qt::LeftButton);
        QVERIFY(world_.runner->waitForAll());
    }

    QTemporaryDir appDir_;
    QTemporaryDir javaBinDir_;
    WindowTestScope scope_;
    WindowWorld world_;
};

// ---- Connect ----------------------------------------------------------------------------------

// After "9 of 10 failed attempts" a Connect to that device asks first (default No): No sends
// nothing, Yes sends the password once, and a login the device accepts clears the count. A later
// session of the window knows the count, through the file in the state folder.
void ConnectTest::theLastAttemptIsNeverSpentUnasked() {
    QTemporaryDir state;
    const QString file = state.filePath(QStringLiteral("login-attempts"));
    world_.loginAttempts = std::make_shared<LoginAttempts>(file);
    auto window = ReadyWindow();
    world_.runner->addAnswer(
        QStringLiteral("Error: Authentication failed. There have been 9 of 10 failed attempts\n"),
        3);
    MessageBox::setNextAnswer(MessageBox::Ok);
    Connect(*window);
    QVERIFY(MessageBox::takeAnsweredBoxes().value(0).text.startsWith(
        QStringLiteral("The device refused the password: 9 of 10 failed attempts.")));
    window.reset();

    world_.loginAttempts = std::make_shared<LoginAttempts>(file);
    window = ReadyWindow();
    world_.runner->forgetRuns();
    // "169.254.0.1" as the address field masks it: the device is the same.
    window->edtIP->setAddressText(QStringLiteral("169.254.  0.  1"));
    MessageBox::setNextAnswer(MessageBox::No);
    QTest::mouseClick(window->btnConn, Qt::LeftButton);
    QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].kind, MessageBox::Kind::Warning);
    QCOMPARE(boxes[0].buttons, MessageBox::Yes | MessageBox::No);
    QCOMPARE(boxes[0].defaultButton, MessageBox::No);
    QCOMPARE(boxes[0].text,
             QStringLiteral("The device at 169.254.0.1 has one password attempt left: its last "
                            "answer said 9 of 10 failed attempts. If this password is wrong too, "
                            "the device will refuse every password until it is typed on the "
                            "device itself.\n\nSend the password?"));
    QCOMPARE(world_.runner->runs().size(), 0);
    QVERIFY(window->btnConn->isEnabled());

    world_.runner->addAnswer(FullTouchOutput);
    MessageBox::setNextAnswer(MessageBox::Yes);
    Connect(*window);
    QCOMPARE(world_.runner->runs().size(), 1);
    QCOMPARE(window->connectedTarget().address, QStringLiteral("169.254.0.1"));
    QVERIFY(!LoginAttempts(file).count(QStringLiteral("169.254.0.1")).has_value());
    QCOMPARE(MessageBox::takeAnsweredBoxes().size(), 1);

    // Cleared: the next Connect asks nothing.
    world_.runner->addAnswer(FullTouchOutput);
    Connect(*window);
    QCOMPARE(world_.runner->runs().size(), 2);
    QVERIFY(MessageBox::takeAnsweredBoxes().isEmpty());
}

void ConnectTest::connect_data() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("errorBox");
    QTest::addColumn<QString>("boxText");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QString>("picture"); // the model whose picture shows; empty: the placeholder

    QTest::newRow("full-touch phone")
        << FullTouchOutput << 0 << false << "" << FullTouchValues << "Z30";
    QTest::newRow("the Java runtime's notice before the device: connected")
        << "Picked up JAVA_TOOL_OPTIONS: -Dfile.encoding=UTF-8\n" + FullTouchOutput << 0 << false
        << "" << FullTouchValues << "Z30";
    QTest::newRow("two lines: the error box, nothing else changes")
        << "Info: Sending request: DEVICE_INFO\r\n"
           "Error: Authentication failed. There have been 1 of 10 failed attempts\r\n"
        << 3 << true << "The device refused the password: 1 of 10 failed attempts." << NoValues
        << "";
    QTest::newRow("a notice makes a wrong password three lines: still the error box")
        << "Picked up JAVA_TOOL_OPTIONS: -Xss4m\nInfo: Sending request: DEVICE_INFO\n"
           "Error: Authentication failed. There have been 2 of 10 failed attempts\n"
        << 3 << true << "The device refused the password: 2 of 10 failed attempts." << NoValues
        << "";
    const QString retries =
        QStringLiteral("Dec 10, 2026 3:39:25 PM org.apache.http.impl.client.DefaultRequestDirector "
                       "execute\n"
                       "INFO: I/O exception (org.apache.http.NoHttpResponseException) caught "
                       "when processing request: The target server failed to respond\n"
                       "Dec 10, 2026 3:39:25 PM org.apache.http.impl.client.DefaultRequestDirector "
                       "execute\n"
                       "INFO: Retrying request\n")
            .repeated(3) +
        QStringLiteral("Error: The target server failed to respond\n");
    QTest::newRow("the tool's retry logging, exit 1: the error box leads with the cause")
        << retries << 1 << true << "The device closed the connection without answering." << NoValues
        << "";
    QTest::newRow("many lines, exit 1 without an error line: the error box")
        << "Info: one\nInfo: two\nInfo: three\n"
        << 1 << true << "The deploy tool failed (exit code 1) without saying why." << NoValues
        << "";
    QTest::newRow("many lines, exit 0, an error line: the error box")
        << "[Fatal Error] :1:1: Premature end of file.\nInfo: two\nError: Authentication failed "
           "due to system error\n"
        << 0 << true << "The device could not check the password" << NoValues << "";
    QTest::newRow("two lines, exit 0, no error line: no information, the error box")
        << "Info: Sending request: DEVICE_INFO\nInfo: done\n"
        << 0 << true << NoDeviceInformationMessage << NoValues << "";
    QTest::newRow("empty output: a message, not an empty box")
        << "" << 0 << true << NoDeviceInformationMessage << NoValues << "";
    QTest::newRow("three lines without a key: connected")
        << "Info: one\nInfo: two\nInfo: three" << 0 << false << "" << NoValues << "";
    QStringList z99 = NoValues;
    z99[0] = QStringLiteral("BlackBerry Z99");
    QTest::newRow("a model without a picture shows the default one")
        << "modelfullname::BlackBerry Z99\nmodelname::Z99\nInfo: done\n"
        << 0 << false << "" << z99 << "";
    QStringList playBook = NoValues;
    playBook[0] = QStringLiteral("BlackBerry PlayBook");
    playBook[6] = QStringLiteral("BlackBerry PlayBook OS");
    QTest::newRow("PlayBook: named by its OS, its own picture")
        << "Info: Sending request: DEVICE_INFO\ndevice_os::BlackBerry PlayBook OS\n@versions\n"
        << 0 << false << "" << playBook << "playbook";
}

void ConnectTest::connect() {
    QFETCH(QString, output);
    QFETCH(int, exitCode);
    QFETCH(bool, errorBox);
    QFETCH(QString, boxText);
    QFETCH(QStringList, labels);
    QFETCH(QString, picture);
    auto window = ReadyWindow();
    const QImage placeholder = window->imgModel->picture().toImage();
    world_.runner->addAnswer(output, exitCode);
    scope_.answerAnyBox();
    // A cursor of the test's own: the hourglass comes and goes exactly once above it.
    QApplication::setOverrideCursor(Qt::CrossCursor);

    Connect(*window);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
    QApplication::restoreOverrideCursor();
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), errorBox ? 1 : 0);
    if (errorBox) {
        QCOMPARE(boxes[0].kind, MessageBox::Kind::Error);
        QVERIFY2(boxes[0].text.startsWith(boxText), qPrintable(boxes[0].text));
        // The tool's whole text is one click away, behind the box's details.
        QCOMPARE(boxes[0].details, ToolOutputText(output));
        QCOMPARE(boxes[0].buttons, MessageBox::Buttons(MessageBox::Ok));
    }
    QCOMPARE(ValueLabels(*window), labels);
    const QImage shown = Pixels(window->imgModel->picture().toImage());
    QCOMPARE(shown, Pixels(picture.isEmpty() ? placeholder : QImage(picturePath(picture))));
    QCOMPARE(Unlocked(*window), !errorBox);
    QCOMPARE(window->Panel1->width(), errorBox ? TfrmBB10::ConnectionPanelWidth : 0);
    QVERIFY(window->btnConn->isEnabled());
}

// The debug token as the device reports it, in the card's last line: red when the device will
// refuse development builds, nothing for a PlayBook. A long reason is cut at the card's edge; the
// line never runs into the card's other lines. Each state is also a picture to look at.
void ConnectTest::theDebugTokenLine_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("red");
    QTest::newRow("none") << "[n]debug_token_installed:b:false\n[n]debug_token_valid:b:false\n"
                          << "No debug token" << true;
    QTest::newRow("valid") << "[n]debug_token_installed:b:true\n[n]debug_token_valid:b:true\n"
                              "[n]debug_token_expiration::Thu Jan 15 10:00:00 GMT+0200 2032\n"
                           << "Debug token valid until 2032-01-15" << false;
    QTest::newRow("expired") << "[n]debug_token_installed:b:true\n[n]debug_token_valid:b:false\n"
                                "[n]debug_token_expiration::Wed Jan 31 10:00:00 GMT+0200 2024\n"
                                "[n]debug_token_validation_error::debug token has expired\n"
                                "[n]debug_token_validation_error_code:n:3\n"
                             << "Debug token expired on 2024-01-31" << true;
    QTest::newRow("invalid") << "[n]debug_token_installed:b:true\n[n]debug_token_valid:b:false\n"
                                "[n]debug_token_expiration::2032-01-15\n"
                                "[n]debug_token_validation_error::Device PIN is not in the debug "
                                "token's list of device ids\n"
                             << "Debug token invalid: Device PIN is not in the debug token's list "
                                "of device ids"
                             << true;
    QTest::newRow("PlayBook") << ""
                              << "" << false;
    // Whole answers of real devices, as they send them.
    QTest::newRow("Z30 as sent") << DeviceAnswer("z30-listDeviceInfo.txt")
                                 << "Debug token valid past 2014-05-29" << false;
    QTest::newRow("PlayBook as sent")
        << DeviceAnswer("playbook-listDeviceInfo.txt") << "Debug token expired" << true;
}

void ConnectTest::theDebugTokenLine() {
    QFETCH(QString, keys);
    QFETCH(QString, line);
    QFETCH(bool, red);
    auto window = ReadyWindow();
    const bool wholeAnswer = keys.startsWith(QLatin1StringView("Info:"));
    world_.runner->addAnswer(wholeAnswer ? keys : FullTouchOutput + keys);
    Connect(*window);
    auto* token = static_cast<ElidingLabel*>(window->lbDebugToken);
    QCOMPARE(token->text(), line);
    if (wholeAnswer)
        QVERIFY2(token->toolTip().contains(red ? "debug token has expired (code 3)"
                                               : "The device's clock is behind"),
                 qPrintable(token->toolTip()));
    const QColor colour = token->palette().color(QPalette::WindowText);
    QCOMPARE(colour != QColor(Qt::black), red);
    QVERIFY(window->Shape1->geometry().contains(token->geometry()));
    for (const QWidget* other :
         window->Panel3->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other == token || other == window->Shape1 || !other->isVisible())
            continue;
        const QRect shared = token->geometry() & other->geometry();
        QVERIFY2(shared.width() <= 1 || shared.height() <= 1,
                 qPrintable(QStringLiteral("runs into ") + other->objectName()));
    }
    if (token->fontMetrics().horizontalAdvance(line) > token->width())
        QVERIFY(token->isElided() && token->shownText().endsWith(QChar(0x2026)));
    else
        QCOMPARE(token->shownText(), line);
    const QDir shots(QStringLiteral(KESTRANE_SCREENSHOT_DIR));
    QVERIFY(shots.mkpath(QStringLiteral(".")));
    QVERIFY(window->grab().save(
        shots.filePath(QStringLiteral("main-debug-token-%1.png").arg(QTest::currentDataTag()))));
}

void ConnectTest::commandTextAndWorkingFolder() {
    auto window = ReadyWindow();
    window->edtPwd->setText(QStringLiteral(" \tz30  "));
    world_.runner->addAnswer(FullTouchOutput);

    Connect(*window);
    QCOMPARE(world_.runner->runs().size(), 1);
    const doubles::FakeConsoleRun& run = world_.runner->runs()[0];
    // The command line names the security settings, the tool's own home and the argument file;
    // the tool's arguments, the password among them, are in the file only.
    QVERIFY2(run.command.startsWith(QStringLiteral("java -Djava.security.properties=%1/lib/"
                                                   "deploy-tls.security -Duser.home=%2 -Xmx512M @")
                                        .arg(appDir_.path(), DeployToolHome())),
             qPrintable(run.command));
    QVERIFY(!run.command.contains(QStringLiteral("z30")));
    QCOMPARE(run.fileArguments,
             (QStringList{"-jar", appDir_.path() + "/lib/BarDeploy.jar", "-listDeviceInfo",
                          "-device", "169.254.0.1", "-password", "z30"}));
    // The file went with the command.
    QVERIFY(!QFile::exists(run.command.mid(run.command.indexOf('@') + 1)));
    QCOMPARE(run.workingDir, javaBinDir_.path());
    QCOMPARE(run.feed, ConsoleJob::Feed::WholeText);
    // The runtime's folder stays the program's current folder.
    QCOMPARE(QDir::current().canonicalPath(), QDir(javaBinDir_.path()).canonicalPath());
}

void ConnectTest::noJavaRuntime() {
    auto window = ReadyWindow();
    window->JavaBinDir.clear();
    MessageBox::setNextAnswer(MessageBox::Ok);

    QTest::mouseClick(window->btnConn, Qt::LeftButton);
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].kind, MessageBox::Kind::Plain);
    QCOMPARE(boxes[0].text, MissingJavaMessage);
    QVERIFY(world_.runner->runs().isEmpty());
    QVERIFY(!window->deviceCommands().isRunning());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(QDir::currentPath(), scope_.startFolder());
    QVERIFY(window->btnConn->isEnabled());
    QVERIFY(!Unlocked(*window));
}

void ConnectTest::connectIsHeldBackWhileItRuns() {
    auto window = ReadyWindow();
    world_.runner->setHoldAnswers(true);
    world_.runner->addAnswer(FullTouchOutput);

    QTest::mouseClick(window->btnConn, Qt::LeftButton);
    QVERIFY(!window->btnConn->isEnabled());
    QVERIFY(QApplication::overrideCursor() != nullptr);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    // Neither the mouse nor the accelerator starts a second run; the window stays usable.
    QTest::mouseClick(window->btnConn, Qt::LeftButton);
    QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
    // An accelerator presses its button at once and clicks it a moment later: not down, no click.
    QVERIFY(!window->btnConn->isDown());
    QCOMPARE(world_.runner->runs().size(), 1);
    QCOMPARE(ValueLabels(*window), NoValues);

    world_.runner->releaseAll();
    QVERIFY(world_.runner->waitForAll());
    QVERIFY(window->btnConn->isEnabled());
    QCOMPARE(ValueLabels(*window), FullTouchValues);
}

// A later Connect rewrites every label; the unlocked buttons stay unlocked; a panel the user
// folded away while Connect ran stays folded.
void ConnectTest::reconnecting() {
    auto window = ReadyWindow();
    world_.runner->addAnswer(FullTouchOutput);
    Connect(*window);
    QTest::mouseClick(window->SpeedButton2, Qt::LeftButton);
    QCOMPARE(window->Panel1->width(), TfrmBB10::ConnectionPanelWidth);

    world_.runner->setHoldAnswers(true);
    world_.runner->addAnswer(QStringLiteral("modelfullname::BlackBerry Z99\nmodelname::Z99\n\n"));
    QTest::mouseClick(window->btnConn, Qt::LeftButton);
    QTest::mouseClick(window->SpeedButton2, Qt::LeftButton);
    QCOMPARE(window->Panel1->width(), 0);
    world_.runner->releaseAll();
    QVERIFY(world_.runner->waitForAll());
    QCOMPARE(window->Panel1->width(), 0);
    QStringList z99 = NoValues;
    z99[0] = QStringLiteral("BlackBerry Z99");
    QCOMPARE(ValueLabels(*window), z99);
    // No picture of the Z30 is left on another model.
    QCOMPARE(Pixels(window->imgModel->picture().toImage()),
             Pixels(QPixmap(DefaultDevicePicture).toImage()));

    world_.runner->setHoldAnswers(false);
    world_.runner->addAnswer(QStringLiteral("Error: Cannot connect\n"), 1);
    MessageBox::setNextAnswer(MessageBox::Ok);
    Connect(*window);
    QCOMPARE(MessageBox::takeAnsweredBoxes().size(), 1);
    QCOMPARE(ValueLabels(*window), z99);
    QVERIFY(Unlocked(*window));
}

// Nothing runs when the address is not one or a piece of the tool chain is missing; the box says
// which.
void ConnectTest::refusedBeforeRunning_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("removed"); // below the program folder, or "java"
    QTest::addColumn<QString>("message");
    QTest::newRow("a group over 255") << "169.254.0.256"
                                      << ""
                                      << "\"169.254.0.256\" is not a device address";
    QTest::newRow("a group left empty") << "169.254..1"
                                        << ""
                                        << "\"169.254..1\" is not a device address";
    QTest::newRow("the deploy tool") << "169.254.0.1"
                                     << "lib/BarDeploy.jar"
                                     << "The deploy tool is missing: ";
    QTest::newRow("its TLS settings") << "169.254.0.1"
                                      << "lib/deploy-tls.security"
                                      << "The deploy tool's TLS settings file is missing: ";
    QTest::newRow("the Java launcher") << "169.254.0.1"
                                       << "java"
                                       << "The Java runtime is missing: ";
}

void ConnectTest::refusedBeforeRunning() {
    QFETCH(QString, address);
    QFETCH(QString, removed);
    QFETCH(QString, message);
    QTemporaryDir appDir;
    QTemporaryDir javaBinDir;
    QVERIFY(PlaceFakeDeployTool(appDir.path(), javaBinDir.path()));
    if (!removed.isEmpty())
        QVERIFY(QFile::remove(removed == "java" ? javaBinDir.filePath("java")
                                                : appDir.filePath(removed)));
    auto window = ReadyWindow();
    window->AppDir = appDir.path();
    window->JavaBinDir = javaBinDir.path();
    window->edtIP->setAddressText(address);
    MessageBox::setNextAnswer(MessageBox::Ok);

    QTest::mouseClick(window->btnConn, Qt::LeftButton);
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].kind, MessageBox::Kind::Error);
    QVERIFY2(boxes[0].text.startsWith(message), qPrintable(boxes[0].text));
    QVERIFY(world_.runner->runs().isEmpty());
    QVERIFY(window->btnConn->isEnabled());
    QVERIFY(!Unlocked(*window));
}

// A tool that writes nothing for the silence limit is stopped and reported; Connect comes back.
void ConnectTest::aSilentToolIsStopped() {
    auto window = ReadyWindow();
    window->deviceCommands().silenceLimits().device = std::chrono::milliseconds(200);
    world_.runner->setHoldAnswers(true);
    world_.runner->addAnswer(FullTouchOutput);
    MessageBox::setNextAnswer(MessageBox::Ok);

    QTest::mouseClick(window->btnConn, Qt::LeftButton);
    QPointer<doubles::FakeConsoleJob> job = world_.runner->lastJob();
    QTRY_VERIFY(!window->deviceCommands().isRunning());
    QVERIFY(job.isNull() || job->wasStopped());
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QVERIFY(
        boxes[0].text.startsWith(QStringLiteral("The device did not answer within 0.2 seconds.")));
    QCOMPARE(ValueLabels(*window), NoValues);
    QVERIFY(window->btnConn->isEnabled());
}

// The installed applications belong to the device that listed them: Connect to another address
// or another PIN clears them and lists again on the next visit; the same device keeps them.
void ConnectTest::anotherDeviceClearsTheApplications() {
    auto window = ReadyWindow();
    const auto connectTo = [&](const QString& address, const QString& output) {
        window->edtIP->setAddressText(address);
        world_.runner->addAnswer(output);
        Connect(*window);
    };
    const auto listSomething = [&] {
        window->lstApps->addTopLevelItem(new QTreeWidgetItem(QStringList{"Maps"}));
        window->AppsListPending = false;
    };
    QString otherPin = FullTouchOutput;
    otherPin.replace(QStringLiteral("0x2a7f3c9e"), QStringLiteral("0x11111111"));

    connectTo("169.254.0.1", FullTouchOutput);
    listSomething();
    connectTo("169.254.0.1", FullTouchOutput);
    QCOMPARE(window->lstApps->topLevelItemCount(), 1);
    QVERIFY(!window->AppsListPending);

    connectTo("169.254.0.1", otherPin);
    QCOMPARE(window->lstApps->topLevelItemCount(), 0);
    QVERIFY(window->AppsListPending);

    listSomething();
    connectTo("169.254.1.1", otherPin);
    QCOMPARE(window->lstApps->topLevelItemCount(), 0);
    QVERIFY(window->AppsListPending);

    // A failed Connect changes nothing.
    listSomething();
    window->edtIP->setAddressText("169.254.2.1");
    world_.runner->addAnswer("Error: Cannot connect\n", 1);
    MessageBox::setNextAnswer(MessageBox::Ok);
    Connect(*window);
    QCOMPARE(window->lstApps->topLevelItemCount(), 1);
    QVERIFY(!window->AppsListPending);
}

// ---- Closing the window -----------------------------------------------------------------------

void ConnectTest::closingWhileACommandRuns_data() {
    QTest::addColumn<MessageBox::Button>("answer");
    QTest::addColumn<bool>("closes");
    QTest::newRow("Yes stops the command and closes") << MessageBox::Yes << true;
    QTest::newRow("No keeps the window and its command") << MessageBox::No << false;
    QTest::newRow("a box closed otherwise is No") << MessageBox::NoButton << false;
}

void ConnectTest::closingWhileACommandRuns() {
    QFETCH(MessageBox::Button, answer);
    QFETCH(bool, closes);
    auto window = ReadyWindow();
    world_.runner->setHoldAnswers(true);
    world_.runner->addAnswer(FullTouchOutput);
    QTest::mouseClick(window->btnConn, Qt::LeftButton);
    QPointer<doubles::FakeConsoleJob> job = world_.runner->lastJob();
    QVERIFY(job);

    MessageBox::setNextAnswer(answer);
    QCOMPARE(window->close(), closes);
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].kind, MessageBox::Kind::Confirmation);
    QCOMPARE(boxes[0].text, StopCommandsQuestion);
    QCOMPARE(boxes[0].buttons, MessageBox::Yes | MessageBox::No);
    QCOMPARE(window->isVisible(), !closes);
    QCOMPARE(job->wasStopped(), closes);

    world_.runner->releaseAll();
    QVERIFY(world_.runner->waitForAll());
    QVERIFY(!window->deviceCommands().isRunning());
    // A stopped command's output is dropped (it would otherwise show the error box).
    QCOMPARE(MessageBox::takeAnsweredBoxes().size(), 0);
    QCOMPARE(ValueLabels(*window), closes ? NoValues : FullTouchValues);
    QVERIFY(window->btnConn->isEnabled());
}

// The question is asked of a person here (nothing queued): the command ends while it is open, so
// the question goes away by itself and the window closes.
void ConnectTest::aCommandEndingDuringTheQuestionClosesIt() {
    auto window = ReadyWindow();
    world_.runner->setHoldAnswers(true);
    world_.runner->addAnswer(FullTouchOutput);
    QTest::mouseClick(window->btnConn, Qt::LeftButton);
    QTimer::singleShot(100, window.get(), [this] { world_.runner->releaseAll(); });

    QVERIFY(window->close());
    QVERIFY(!window->isVisible());
    QVERIFY(!window->deviceCommands().isRunning());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

// ---- The device commands ----------------------------------------------------------------------

void ConnectTest::continuationErrorsGoThroughTheGuard_data() {
    QTest::addColumn<int>("origin");
    QTest::addColumn<bool>("reported");
    QTest::newRow("started by a click: the default error display")
        << int(HandlerOrigin::Click) << true;
    QTest::newRow("started by an accelerator: discarded")
        << int(HandlerOrigin::Accelerator) << false;
}

void ConnectTest::continuationErrorsGoThroughTheGuard() {
    QFETCH(int, origin);
    QFETCH(bool, reported);
    QWidget host;
    QPushButton control(&host);
    DeviceCommands commands(&host, world_.runner);
    scope_.answerAnyBox();

    RunHandler(&host, HandlerOrigin(origin), [&] {
        DeviceCommands::Settings settings;
        settings.heldBack = {&control};
        settings.hourglass = true;
        commands.run("tool", "/", settings,
                     [](const CommandResult&) { throw Error(QStringLiteral("Device went away")); });
    });
    QVERIFY(!control.isEnabled());
    QVERIFY(world_.runner->waitForAll());
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), reported ? 1 : 0);
    if (reported) {
        QCOMPARE(boxes[0].kind, MessageBox::Kind::Critical);
        QCOMPARE(boxes[0].text, QStringLiteral("Device went away."));
    }
    QVERIFY(control.isEnabled());
    QVERIFY(!commands.isRunning());
}

void ConnectTest::aControlHeldTwiceComesBackWhenBothEnd() {
    QWidget host;
    QPushButton control(&host);
    DeviceCommands commands(&host, world_.runner);
    world_.runner->setHoldAnswers(true);
    DeviceCommands::Settings settings;
    settings.heldBack = {&control};
    QStringList ended;
    commands.run("first", "/", settings, [&](const CommandResult&) { ended << "first"; });
    commands.run("second", "/", settings, [&](const CommandResult&) { ended << "second"; });

    world_.runner->jobs()[1]->release();
    QTRY_COMPARE(ended, QStringList{"second"});
    QVERIFY(!control.isEnabled());
    QVERIFY(commands.isRunning());
    world_.runner->jobs()[0]->release();
    QTRY_COMPARE(ended, (QStringList{"second", "first"}));
    QVERIFY(control.isEnabled());
    QVERIFY(!commands.isRunning());
}

void ConnectTest::destroyingEndsWhatStillRuns() {
    QWidget host;
    QPushButton control(&host);
    auto commands = std::make_unique<DeviceCommands>(&host, world_.runner);
    world_.runner->setHoldAnswers(true);
    DeviceCommands::Settings settings;
    settings.heldBack = {&control};
    settings.hourglass = true;
    bool continued = false;
    commands->run("tool", "/", settings, [&](const CommandResult&) { continued = true; });
    const QPointer<doubles::FakeConsoleJob> job = world_.runner->lastJob();

    commands.reset();
    QVERIFY(job.isNull());
    QVERIFY(control.isEnabled());
    DeliverPostedEvents();
    QVERIFY(!continued);
}

// The bundled simulator is named in the title and the connection panel, and its failure boxes
// say that a simulated device answered; a folder chosen from the panel's menu holding the real
// tool's seven jars takes its place (its version asked once), and going back is one click.
void ConnectTest::theDeployToolInUse() {
    auto window = ReadyWindow();
    QCOMPARE(window->lbDeployTool->text(), QStringLiteral("Simulator"));
    QVERIFY(window->windowTitle().endsWith(SimulatorTitleNote));

    QTemporaryDir tool;
    QVERIFY(tool.isValid());
    for (const QString& jar : DeployToolJars()) {
        QFile file(tool.filePath(jar));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    // A folder without every companion jar is refused, naming what it lacks.
    QVERIFY(QFile::remove(tool.filePath(QStringLiteral("httpmime-4.0.3.jar"))));
    FileDialog::setNextFileName(tool.path());
    MessageBox::setNextAnswer(MessageBox::Ok);
    window->ChooseDeployTool1->trigger();
    QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].text.contains(QStringLiteral("httpmime-4.0.3.jar")),
             qPrintable(boxes[0].text));
    QCOMPARE(window->lbDeployTool->text(), QStringLiteral("Simulator"));
    QCOMPARE(world_.runner->runs().size(), 0);

    QFile companion(tool.filePath(QStringLiteral("httpmime-4.0.3.jar")));
    QVERIFY(companion.open(QIODevice::WriteOnly));
    world_.runner->addAnswer(QStringLiteral("blackberry-deploy version 1.4.0\n"));
    FileDialog::setNextFileName(tool.path());
    window->ChooseDeployTool1->trigger();
    QVERIFY(world_.runner->waitForAll());
    QCOMPARE(world_.runner->runs()[0].fileArguments,
             (QStringList{"-jar", tool.filePath("BarDeploy.jar"), "-version"}));
    QCOMPARE(window->lbDeployTool->text(), QStringLiteral("BarDeploy"));
    QVERIFY2(window->lbDeployTool->toolTip().contains(QStringLiteral("version 1.4.0")),
             qPrintable(window->lbDeployTool->toolTip()));
    QCOMPARE(window->windowTitle(), WindowCaption);

    // Commands now run the chosen tool, and its failures carry no simulator note.
    world_.runner->addAnswer(QStringLiteral("Error: Authentication failed. There have been 1 of "
                                            "10 failed attempts\n"),
                             3);
    MessageBox::setNextAnswer(MessageBox::Ok);
    Connect(*window);
    QCOMPARE(world_.runner->runs()[1].fileArguments.value(1), tool.filePath("BarDeploy.jar"));
    boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QVERIFY(!boxes[0].text.contains(SimulatorAnsweredNote));

    window->UseSimulator1->trigger();
    QCOMPARE(window->lbDeployTool->text(), QStringLiteral("Simulator"));
    QVERIFY(window->windowTitle().endsWith(SimulatorTitleNote));
}

// The silence limit against real commands (the system's runner and /bin/sh): output restarts it;
// so do reading and writing where they count; a command that stands still is stopped at it.
void ConnectTest::theSilenceWatch_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("ioCounts");
    QTest::addColumn<bool>("stopped");
    // Each runs for about 2.4 s, four times the 600 ms limit.
    const QString chatty =
        QStringLiteral("for i in 1 2 3 4 5 6 7 8 9 10 11 12; do echo \"Info: Progress $i%\"; "
                       "sleep 0.2; done; echo result::success");
    const QString busy = QStringLiteral("for i in 1 2 3 4 5 6 7 8 9 10 11 12; do "
                                        "head -c 65536 /dev/zero >/dev/null; sleep 0.2; done");
    QTest::newRow("a chatty command runs to its end") << chatty << false << false;
    QTest::newRow("a silent command moving data runs to its end where I/O counts")
        << busy << true << false;
    QTest::newRow("a silent command moving data is stopped where only output counts")
        << busy << false << true;
    QTest::newRow("a command standing still is stopped although I/O counts")
        << QStringLiteral("sleep 2.4") << true << true;
}

void ConnectTest::theSilenceWatch() {
    QFETCH(QString, command);
    QFETCH(bool, ioCounts);
    QFETCH(bool, stopped);
    QWidget host;
    DeviceCommands commands(&host, std::make_shared<ProcessConsoleRunner>());
    DeviceCommands::Settings settings;
    settings.silenceLimit = std::chrono::milliseconds(600);
    settings.ioCountsAsActivity = ioCounts;
    std::optional<CommandResult> result;
    commands.run(command, QDir::tempPath(), settings,
                 [&](const CommandResult& ended) { result = ended; });
    QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 20000);
    QCOMPARE(result->timedOut, stopped);
    QCOMPARE(result->exitCode, stopped ? -1 : 0);
}

QTEST_MAIN(ConnectTest)
#include "ConnectTest.moc"

// A Wi-Fi user finds the last device's address at the next start; the USB network's suggestion
// still comes first; the password is never written.
void ConnectTest::theLastDeviceIsRememberedWithoutItsPassword() {
    auto window = ReadyWindow();
    QVERIFY(ConnectAsUser(*window, *world_.runner, QStringLiteral("192.168.1.23"),
                          QStringLiteral("s3cret-pass")));
    QSettings settings = KestraneSettings();
    settings.sync();
    QCOMPARE(settings.value(LastDeviceAddressKey).toString(), QStringLiteral("192.168.1.23"));
    // The device is remembered by its PIN with the address, for Find Devices.
    QStringList rememberedAt;
    const QStringList keys = settings.allKeys();
    for (const QString& key : keys)
        if (key.startsWith(QLatin1String("devices/")))
            rememberedAt.append(settings.value(key).toStringList().value(0));
    QVERIFY2(rememberedAt.contains(QStringLiteral("192.168.1.23")),
             qPrintable(rememberedAt.join(u' ')));
    QFile file(settings.fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(!file.readAll().contains("s3cret-pass"));

    auto next = MakeWindow(world_);
    next->show();
    QVERIFY(QTest::qWaitForWindowExposed(next.get()));
    QCOMPARE(RemoveSpaces(next->edtIP->maskedText()), QStringLiteral("192.168.1.23"));

    WindowWorld usb;
    usb.addresses = std::make_shared<doubles::FixedLocalAddresses>(QStringList{"169.254.0.2"});
    auto onUsb = MakeWindow(usb);
    onUsb->show();
    QVERIFY(QTest::qWaitForWindowExposed(onUsb.get()));
    QCOMPARE(RemoveSpaces(onUsb->edtIP->maskedText()), QStringLiteral("169.254.0.1"));
}
