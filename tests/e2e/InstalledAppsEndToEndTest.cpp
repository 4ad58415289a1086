// The manage screen through the whole chain: the Java runtime found in the JVM folders, /bin/sh
// and the built device simulator (lib/BarDeploy.jar). Nothing is scripted.

#include "DeviceCommands.h"
#include "FixedLocalAddresses.h"
#include "Fonts.h"
#include "ListColumns.h"
#include "MessageBox.h"
#include "SimulatorState.h"
#include "TfrmBB10.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QFile>
#include <QLocale>
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

QTEST_MAIN(InstalledAppsEndToEndTest)
#include "InstalledAppsEndToEndTest.moc"
