// The manage screen through the whole chain: the Java runtime found in the JVM folders, /bin/sh
// and the built device simulator (lib/BarDeploy.jar). Nothing is scripted.

#include "AppLogViewer.h"
#include "DeviceCommands.h"
#include "FileDialog.h"
#include "FixedLocalAddresses.h"
#include "Fonts.h"
#include "ListColumns.h"
#include "MessageBox.h"
#include "SimulatorState.h"
#include "TfrmBB10.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTreeWidgetItem>
#include <QtTest>

#include <memory>

using namespace kestrane;
using namespace kestrane::testing;
using kestrane::testing::SimulatorState;

namespace {

const QString ProgramFolder = QStringLiteral(KESTRANE_TEST_APP_DIR);

// A package name and id that a shell would take apart and run pieces of.
const QString HostileName = QStringLiteral("com.evil name \"q\" $(touch x);`touch y`");
const QString HostileId = QStringLiteral("Zq9W 'a' $(touch z);`touch w` *");

// A value for a Java properties file: only the backslash would be read as an escape.
QString PropertyValue(const QString& text) {
    QString value = text;
    return value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
}

} // namespace

class InstalledAppsEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        PrepareWindowSuite();
        QVERIFY(QFile::exists(ProgramFolder + QStringLiteral("/lib/BarDeploy.jar")));
    }
    void init() {
        scope_.begin();
        state_ = std::make_unique<SimulatorState>();
        QVERIFY(state_->isValid());
    }
    void cleanup() {
        // No box was shown at all.
        QCOMPARE(MessageBox::takeAnsweredBoxes().size(), 0);
        const QString left = scope_.end();
        QVERIFY2(left.isEmpty(), qPrintable(left));
    }

    void listAndActOnTheDevicesApplications();
    void hostileNamesReachTheToolAsOneArgument();
    void followTheLogOfARunningAppUntilItExits();
    void putAFileAndGetItBack();

private:
    std::unique_ptr<TfrmBB10> ShownWindow(const QString& jvmRoot = QStringLiteral("/usr/lib/jvm")) {
        Services services{std::make_shared<doubles::FixedLocalAddresses>(),
                          std::shared_ptr<const RegistryView>(MakeJvmFolderRegistryView(jvmRoot)),
                          std::make_shared<ProcessConsoleRunner>()};
        auto window = std::make_unique<TfrmBB10>(services);
        window->AppDir = ProgramFolder;
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qFatal("window not shown");
        return window;
    }

    static void WaitForTheTool(TfrmBB10& window) {
        QVERIFY(window.deviceCommands().isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!window.deviceCommands().isRunning(), 60000);
    }

    static void Connect(TfrmBB10& window, const QString& address, const QString& password) {
        window.edtIP->setAddressText(address);
        window.edtPwd->setText(password);
        QTest::mouseClick(window.btnConn, Qt::LeftButton);
        WaitForTheTool(window);
        QVERIFY(window.btnManageApps->isEnabled());
    }

    static void Click(TfrmBB10& window, QAbstractButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        WaitForTheTool(window);
    }

    // The first visit of the manage screen lists the applications by itself.
    static void OpenManageScreen(TfrmBB10& window) {
        QTest::mouseClick(window.btnManageApps, Qt::LeftButton);
        QCOMPARE(window.screens->currentWidget(), window.pManage);
        WaitForTheTool(window);
    }

    static QStringList Column(const TfrmBB10& window, int column) {
        QStringList texts;
        for (int i = 0; i < window.lstApps->topLevelItemCount(); ++i)
            texts.append(window.lstApps->topLevelItem(i)->text(column));
        return texts;
    }

    static void TickOnly(TfrmBB10& window, const QStringList& captions) {
        for (int i = 0; i < window.lstApps->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = window.lstApps->topLevelItem(i);
            row->setCheckState(AppColumn::Name, captions.contains(row->text(AppColumn::Name))
                                                    ? Qt::Checked
                                                    : Qt::Unchecked);
        }
    }

    // Highlights the row of the application with this caption, as a click on its name does.
    static void Select(TfrmBB10& window, const QString& caption) {
        window.lstApps->clearSelection();
        const QList<QTreeWidgetItem*> rows =
            window.lstApps->findItems(caption, Qt::MatchExactly, AppColumn::Name);
        QCOMPARE(rows.size(), 1);
        window.lstApps->setCurrentItem(rows.first());
        rows.first()->setSelected(true);
    }

    // The arguments the simulator received in its last run.
    QStringList ReceivedArguments() const { return state_->receivedArguments(); }

    std::unique_ptr<SimulatorState> state_;
    WindowTestScope scope_;
};

void InstalledAppsEndToEndTest::listAndActOnTheDevicesApplications() {
    auto window = ShownWindow();
    QVERIFY2(!window->JavaBinDir.isEmpty(), "no Java runtime in /usr/lib/jvm");
    Connect(*window, QStringLiteral("169.254.0.1"), QStringLiteral("z30"));
    OpenManageScreen(*window);
    // Speed Test is a development build: its package name holds "test", as its id does.
    QCOMPARE(Column(*window, AppColumn::Name),
             (QStringList{"Browser", "Calendar", "Camera", "Contacts", "Maps", "Speed Test",
                          "Weather Now"}));
    QCOMPARE(Column(*window, AppColumn::Version).last(), QStringLiteral("2.4.1.12"));
    QCOMPARE(Column(*window, AppColumn::PackageName).last(),
             QStringLiteral("com.kestrane.weather"));
    QCOMPARE(Column(*window, AppColumn::Status), QStringList(7, QString()));

    TickOnly(*window, {"Calendar", "Maps"});
    Click(*window, window->btnLaunchApp);
    QCOMPARE(Column(*window, AppColumn::Status),
             (QStringList{"", "Running", "", "", "Running", "", ""}));
    TickOnly(*window, {"Browser", "Calendar", "Camera", "Maps"});
    Click(*window, window->btnCheckApp);
    // The browser was running already; the camera was not.
    QCOMPARE(Column(*window, AppColumn::Status),
             (QStringList{"Running", "Running", "Stop", "", "Running", "", ""}));
    TickOnly(*window, {"Calendar", "Maps"});
    Click(*window, window->btnTerminate);
    Click(*window, window->btnCheckApp);
    QCOMPARE(Column(*window, AppColumn::Status),
             (QStringList{"Running", "Stop", "Stop", "", "Stop", "", ""}));
    TickOnly(*window, {"Maps"});
    Click(*window, window->btnUninstall);
    QCOMPARE(Column(*window, AppColumn::Status),
             (QStringList{"Running", "Stop", "Stop", "", "Uninstalled", "", ""}));
    Click(*window, window->btnRefreshApp);
    QCOMPARE(
        Column(*window, AppColumn::Name),
        (QStringList{"Browser", "Calendar", "Camera", "Contacts", "Speed Test", "Weather Now"}));
    QCOMPARE(Column(*window, AppColumn::Status), QStringList(6, QString()));

    // The manage screen after a few actions, for a person to look at.
    TickOnly(*window, {"Browser", "Camera"});
    Click(*window, window->btnCheckApp);
    const QDir shots(QStringLiteral(KESTRANE_SCREENSHOT_DIR));
    QVERIFY(shots.mkpath(QStringLiteral(".")));
    QVERIFY(window->grab().save(shots.filePath(QStringLiteral("manage-Z30.png"))));

    // Another device: the phone's applications go, and the next visit lists the new device's.
    QTest::mouseClick(window->btnBack2, Qt::LeftButton);
    Connect(*window, QStringLiteral("169.254.1.1"), QStringLiteral("q10"));
    QCOMPARE(window->lstApps->topLevelItemCount(), 0);
    OpenManageScreen(*window);
    QCOMPARE(Column(*window, AppColumn::Name), (QStringList{"Browser", "Calendar", "Flashlight",
                                                            "Music", "Quick Notes", "Remember"}));
}

// An application whose package name and id hold blanks, quotes and shell syntax is listed as it
// is, and an action hands each to the tool as one argument. The runtime is found in a JVM folder
// of the test's own, so that the working folder is one where an injected command would leave
// its files.
void InstalledAppsEndToEndTest::hostileNamesReachTheToolAsOneArgument() {
    QFile state(state_->filePath(QStringLiteral("169.254.0.1.properties")));
    QVERIFY(state.open(QIODevice::WriteOnly));
    state.write(QStringLiteral("failedAttempts=0\napps=1\n"
                               "app.0.name=%1\napp.0.id=%2\napp.0.version=1.0\n"
                               "app.0.displayName=Evil\napp.0.size=1\napp.0.preinstalled=false\n"
                               "app.0.pid=0\n")
                    .arg(PropertyValue(HostileName), PropertyValue(HostileId))
                    .toUtf8());
    state.close();
    QTemporaryDir jvm;
    QVERIFY(jvm.isValid());
    QVERIFY(QDir(jvm.path()).mkpath(QStringLiteral("test-jdk/bin")));
    const QString java = QFileInfo(QStringLiteral(KESTRANE_TEST_JAVA)).canonicalFilePath();
    QVERIFY(QFile::link(java, jvm.filePath(QStringLiteral("test-jdk/bin/java"))));
    auto window = ShownWindow(jvm.path());

    Connect(*window, QStringLiteral("169.254.0.1"), QStringLiteral("z30"));
    OpenManageScreen(*window);
    QCOMPARE(Column(*window, AppColumn::Name), QStringList{"Evil"});
    QCOMPARE(Column(*window, AppColumn::PackageName), QStringList{HostileName});
    QCOMPARE(Column(*window, 4), QStringList{HostileId});
    TickOnly(*window, {"Evil"});
    Click(*window, window->btnLaunchApp);
    QCOMPARE(ReceivedArguments(),
             (QStringList{"-launchApp", "-device", "169.254.0.1", "-password", "z30",
                          "-package-name", HostileName, "-package-id", HostileId}));
    // The simulator found the application by exactly these two values.
    Click(*window, window->btnCheckApp);
    QCOMPARE(Column(*window, AppColumn::Status), QStringList{"Running"});
    for (const QString& folder : {window->JavaBinDir, scope_.startFolder(), ProgramFolder}) {
        for (const char* name : {"x", "y", "z", "w"})
            QVERIFY2(!QFile::exists(QDir(folder).filePath(QLatin1String(name))),
                     qPrintable(folder + "/" + name));
    }
}

// Log...: the viewer shows the log of the launched application, follows it as it grows while
// the window terminates the application, then shows its exit code.
void InstalledAppsEndToEndTest::followTheLogOfARunningAppUntilItExits() {
    auto window = ShownWindow();
    Connect(*window, QStringLiteral("169.254.0.1"), QStringLiteral("z30"));
    OpenManageScreen(*window);
    TickOnly(*window, {"Speed Test"});
    Click(*window, window->btnLaunchApp);
    Select(*window, QStringLiteral("Speed Test"));

    QTest::mouseClick(window->btnAppLog, Qt::LeftButton);
    auto* viewer = window->findChild<AppLogViewer*>();
    QVERIFY(viewer != nullptr);
    QVERIFY(viewer->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!viewer->fetching(), 30000);
    QVERIFY2(viewer->text()->toPlainText().startsWith(QStringLiteral("Started, process")),
             qPrintable(viewer->text()->toPlainText()));
    QVERIFY(viewer->exitCode()->text().startsWith(QStringLiteral("Not exited")));
    // A second click brings the same viewer forward.
    QTest::mouseClick(window->btnAppLog, Qt::LeftButton);
    QCOMPARE(window->findChildren<AppLogViewer*>().size(), 1);

    viewer->follow()->setChecked(true);
    QTRY_VERIFY_WITH_TIMEOUT(
        viewer->text()->toPlainText().contains(QStringLiteral("Running for 2 s")), 30000);
    // The window's own controls stay usable while the viewer follows.
    TickOnly(*window, {"Speed Test"});
    QTRY_VERIFY_WITH_TIMEOUT(window->btnTerminate->isEnabled(), 10000);
    QTest::mouseClick(window->btnTerminate, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(viewer->exitCode()->text(), QStringLiteral("Exited with code 0."),
                              30000);
    viewer->follow()->setChecked(false);
    QTRY_VERIFY_WITH_TIMEOUT(!window->deviceCommands().isRunning(), 30000);
    viewer->close();
    QTRY_COMPARE(window->findChildren<AppLogViewer*>().size(), 0);
}

// Files...: a file of random bytes put into the sandbox and got back is the same file; a path
// outside the sandbox runs nothing; a file the device does not have leaves nothing behind; Log...
// and Files... need one application.
void InstalledAppsEndToEndTest::putAFileAndGetItBack() {
    auto window = ShownWindow();
    Connect(*window, QStringLiteral("169.254.0.1"), QStringLiteral("z30"));
    OpenManageScreen(*window);
    QTemporaryDir here;
    QVERIFY(here.isValid());
    QByteArray bytes(20000, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(QRandomGenerator::global()->bounded(256));
    QFile source(here.filePath(QStringLiteral("blob.bin")));
    QVERIFY(source.open(QIODevice::WriteOnly));
    source.write(bytes);
    source.close();

    // No application chosen: a box says how to choose one.
    window->lstApps->clearSelection();
    TickOnly(*window, {});
    MessageBox::setNextAnswer(MessageBox::Ok);
    window->GetFile1->trigger();
    QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QVERIFY(boxes[0].text.startsWith(QStringLiteral("Select one application")));

    Select(*window, QStringLiteral("Speed Test"));
    FileDialog::setNextFileName(source.fileName());
    MessageBox::setNextAnswer(MessageBox::Ok, QStringLiteral("data/blob.bin"));
    MessageBox::setNextAnswer(MessageBox::Ok);
    window->PutFile1->trigger();
    // Held back, with the hourglass, while the tool stores it.
    QVERIFY(!window->btnRefreshApp->isEnabled());
    QCOMPARE(QApplication::overrideCursor() ? QApplication::overrideCursor()->shape()
                                            : Qt::ArrowCursor,
             Qt::WaitCursor);
    WaitForTheTool(*window);
    QVERIFY(window->btnRefreshApp->isEnabled());
    boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[0].kind, MessageBox::Kind::Text);
    QCOMPARE(boxes[1].text,
             QStringLiteral("blob.bin is stored in Speed Test's sandbox as data/blob.bin."));

    const QString copy = here.filePath(QStringLiteral("copy.bin"));
    MessageBox::setNextAnswer(MessageBox::Ok, QStringLiteral("data/blob.bin"));
    FileDialog::setNextFileName(copy);
    MessageBox::setNextAnswer(MessageBox::Ok);
    window->GetFile1->trigger();
    WaitForTheTool(*window);
    boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[1].text,
             QStringLiteral("data/blob.bin of Speed Test is saved as %1.").arg(copy));
    QFile got(copy);
    QVERIFY(got.open(QIODevice::ReadOnly));
    QVERIFY(got.readAll() == bytes);

    // A path that leaves the sandbox: an error box, and the tool is not run.
    const QStringList lastRun = ReceivedArguments();
    MessageBox::setNextAnswer(MessageBox::Ok, QStringLiteral("data/../../etc/passwd"));
    MessageBox::setNextAnswer(MessageBox::Ok);
    window->GetFile1->trigger();
    QVERIFY(!window->deviceCommands().isRunning());
    boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[1].kind, MessageBox::Kind::Error);
    QVERIFY2(boxes[1].text.contains(QStringLiteral("leaves")), qPrintable(boxes[1].text));
    QCOMPARE(FileDialog::pendingAnswers(), 0);
    QCOMPARE(ReceivedArguments(), lastRun);

    // A file the device does not have: the error box with the tool's text, and no file here.
    const QString missing = here.filePath(QStringLiteral("none.bin"));
    MessageBox::setNextAnswer(MessageBox::Ok, QStringLiteral("data/none.bin"));
    FileDialog::setNextFileName(missing);
    MessageBox::setNextAnswer(MessageBox::Ok);
    window->GetFile1->trigger();
    WaitForTheTool(*window);
    boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[1].kind, MessageBox::Kind::Error);
    QVERIFY2(boxes[1].text.contains(QStringLiteral("has no file \"data/none.bin\"")),
             qPrintable(boxes[1].text));
    QVERIFY(boxes[1].details.contains(QStringLiteral("result::failure 404")));
    QCOMPARE(QDir(here.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{"blob.bin", "copy.bin"}));
}

QTEST_MAIN(InstalledAppsEndToEndTest)
#include "InstalledAppsEndToEndTest.moc"
