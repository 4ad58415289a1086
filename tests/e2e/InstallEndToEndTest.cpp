// Installing BAR files through the whole chain: the Java runtime, /bin/sh and the built device
// simulator (lib/BarDeploy.jar), BAR files written by the test. Nothing is scripted.

#include "BarFixture.h"
#include "DeployToolHome.h"
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
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <memory>

using namespace kestrane;
using namespace kestrane::testing;
using kestrane::testing::SimulatorState;

namespace {

const QString ProgramFolder = QStringLiteral(KESTRANE_TEST_APP_DIR);

QStringList Statuses(const QTreeWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts.append(list->topLevelItem(i)->text(BarColumn::Status));
    return texts;
}

} // namespace

class InstallEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        PrepareWindowSuite();
        QVERIFY(QFile::exists(ProgramFolder + QStringLiteral("/lib/BarDeploy.jar")));
        qputenv("KESTRANE_DEVICESIM_PROGRESS_MS", "400");
        // The runtime is found in a JVM folder of the test's own: the commands' working folder is
        // then one where an injected command would leave its file.
        QVERIFY(jvm_.isValid() && bars_.isValid());
        QVERIFY(QDir(jvm_.path()).mkpath(QStringLiteral("test-jdk/bin")));
        const QString java = QFileInfo(QStringLiteral(KESTRANE_TEST_JAVA)).canonicalFilePath();
        QVERIFY(QFile::link(java, jvm_.filePath(QStringLiteral("test-jdk/bin/java"))));
    }
    void init() {
        scope_.begin();
        state_ = std::make_unique<SimulatorState>();
        QVERIFY(state_->isValid());
        window_ = ShownWindow();
    }
    void cleanup() {
        window_.reset();
        const QString left = scope_.end();
        QVERIFY2(left.isEmpty(), qPrintable(left));
    }

    void installsThreeBarsWithProgress();
    void aRefusedBarEndsInErrorAndIgnoreGoesOn();
    void anOddPathInstallsThatFileAndRunsNothingElse();
    void aSlowSilentUploadIsNotSilence();
    void aDebugTokenRenewsThePassportsToken();
    void installAndLaunchLeavesTheAppRunning();
    void anInstallationTheDeviceDoesNotListSaysSo();

private:
    std::unique_ptr<TfrmBB10> ShownWindow() {
        Services services{
            std::make_shared<doubles::FixedLocalAddresses>(),
            std::shared_ptr<const RegistryView>(MakeJvmFolderRegistryView(jvm_.path())),
            std::make_shared<ProcessConsoleRunner>()};
        auto window = std::make_unique<TfrmBB10>(services);
        window->AppDir = ProgramFolder;
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qFatal("window not shown");
        // Installations go to the device Connect reached.
        window->edtIP->setAddressText(QStringLiteral("169.254.0.1"));
        window->edtPwd->setText(QStringLiteral("z30"));
        window->btnConnClick();
        QDeadlineTimer connecting(60000);
        while (window->deviceCommands().isRunning() && !connecting.hasExpired())
            QTest::qWait(20);
        if (window->connectedTarget().address != QStringLiteral("169.254.0.1"))
            qFatal("cannot connect to the simulated phone");
        return window;
    }

    QString Bar(const QString& fileName, const QByteArray& package, const QByteArray& name) {
        const QString path = bars_.filePath(fileName);
        test::WriteBar(path, test::BarManifest(package, name, "1.0.0.1"));
        return path;
    }

    void Drop(const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.append(QUrl::fromLocalFile(path));
        data.setUrls(urls);
        const QPoint at = window_->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window_->windowHandle(), &enter);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window_->windowHandle(), &drop);
        QVERIFY(drop.isAccepted());
    }

    void Install() {
        QTest::mouseClick(window_->btnInstallBar, Qt::LeftButton);
        QVERIFY(window_->InstallRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!window_->InstallRunning(), 120000);
    }

    // What the simulated Z30 answers to a command of its own (the command's options), asked of
    // the simulator directly. The tool's login data goes to Kestrane's tool home, as the window's
    // commands keep it.
    QString AskTheZ30(const QStringList& command) const {
        QProcess tool;
        tool.start(QStringLiteral(KESTRANE_TEST_JAVA),
                   QStringList{QStringLiteral("-Duser.home=") + DeployToolHome(),
                               QStringLiteral("-jar"),
                               ProgramFolder + QStringLiteral("/lib/BarDeploy.jar"),
                               QStringLiteral("-device"), QStringLiteral("169.254.0.1"),
                               QStringLiteral("-password"), QStringLiteral("z30")} +
                       command);
        tool.waitForFinished(60000);
        return QString::fromUtf8(tool.readAllStandardOutput());
    }
    // The package names the simulated device lists.
    QString InstalledApps() const { return AskTheZ30({QStringLiteral("-listInstalledApps")}); }

    // The arguments the simulator received in its last run.
    QStringList ReceivedArguments() const { return state_->receivedArguments(); }

    // Connect to another simulated device, as a user does: its address and password, then the
    // button; true when the window connected to it.
    bool ConnectTo(const QString& address, const QString& password) {
        window_->edtIP->setAddressText(address);
        window_->edtPwd->setText(password);
        QTest::mouseClick(window_->btnConn, Qt::LeftButton);
        return WaitForDeviceCommands() && window_->connectedTarget().address == address;
    }
    bool WaitForDeviceCommands() {
        return QTest::qWaitFor([this] { return !window_->deviceCommands().isRunning(); }, 60000);
    }

    // The simulated device's own answer to whether the package runs.
    QString IsAppRunning(const QString& package, const QString& id) const {
        return AskTheZ30({QStringLiteral("-isAppRunning"), QStringLiteral("-package-name"), package,
                          QStringLiteral("-package-id"), id});
    }

    QTemporaryDir jvm_;
    QTemporaryDir bars_;
    std::unique_ptr<SimulatorState> state_;
    WindowTestScope scope_;
    std::unique_ptr<TfrmBB10> window_;
};

void InstallEndToEndTest::installsThreeBarsWithProgress() {
    FileDialog::setNextFileNames(
        {Bar(QStringLiteral("weather.bar"), "com.example.weather", "Weather"),
         Bar(QStringLiteral("notes.bar"), "com.example.notes", "Notes")});
    QTest::mouseClick(window_->btnAddBar, Qt::LeftButton);
    Drop({Bar(QStringLiteral("chess.BAR"), "com.example.chess", "Chess")});
    QTreeWidget* list = window_->lstBarFile;
    QCOMPARE(list->topLevelItemCount(), 3);
    QCOMPARE(list->topLevelItem(0)->text(BarColumn::Name), QStringLiteral("Chess"));
    window_->btnInstallAppsClick();
    QCOMPARE(window_->screens->currentWidget(), window_->pInstall);
    const QDir shots(QStringLiteral(KESTRANE_SCREENSHOT_DIR));
    QVERIFY(shots.mkpath(QStringLiteral(".")));

    // Every status each row shows, in order.
    QList<QStringList> seen(3);
    bool shotTaken = false;
    connect(list->model(), &QAbstractItemModel::dataChanged, this, [&] {
        for (int i = 0; i < 3; ++i) {
            const QString status = list->topLevelItem(i)->text(BarColumn::Status);
            if (!status.isEmpty() && (seen[i].isEmpty() || seen[i].last() != status))
                seen[i].append(status);
        }
        // The screen in the middle of the run, for a person to look at: one row done, one
        // installing with its progress bar, one queued.
        if (!shotTaken && !seen[1].isEmpty() &&
            seen[1].last() == QStringLiteral("Installing ... (50%)"))
            shotTaken = window_->grab().save(shots.filePath(QStringLiteral("install-running.png")));
    });
    MessageBox::setNextAnswer(MessageBox::Ok);
    Install();
    QCOMPARE(Statuses(list), (QStringList{"Done", "Done", "Done"}));
    QVERIFY(shotTaken);
    QVERIFY(window_->grab().save(shots.filePath(QStringLiteral("install-done.png"))));
    for (const QStringList& statuses : seen) {
        QCOMPARE(statuses.first(), QStringLiteral("Loading..."));
        QVERIFY2(statuses.contains(QStringLiteral("Installing ... (50%)")),
                 qPrintable(statuses.join(" | ")));
        QCOMPARE(statuses.mid(statuses.size() - 2), (QStringList{"Installing ... (100%)", "Done"}));
    }
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].text, QStringLiteral("Installation finished"));
    const QString apps = InstalledApps();
    for (const char* package : {"com.example.weather", "com.example.notes", "com.example.chess"})
        QVERIFY2(apps.contains(QLatin1String(package)), qPrintable(apps));
}

void InstallEndToEndTest::aRefusedBarEndsInErrorAndIgnoreGoesOn() {
    FileDialog::setNextFileNames({Bar(QStringLiteral("bad.bar"), "not a package!", "Bad"),
                                  Bar(QStringLiteral("good.bar"), "com.example.good", "Good")});
    QTest::mouseClick(window_->btnAddBar, Qt::LeftButton);
    MessageBox::setNextAnswer(MessageBox::Ignore);
    MessageBox::setNextAnswer(MessageBox::Ok);
    Install();
    QCOMPARE(Statuses(window_->lstBarFile), (QStringList{"Error", "Done"}));
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[0].kind, MessageBox::Kind::Warning);
    // The device's answer leads; the tool's text is behind the details; the closing box names
    // the refused BAR once, with its reason.
    QCOMPARE(boxes[0].text, QStringLiteral("The device refused the command: 500 invalid "
                                           "Package-Name: not a package!.\n\n") +
                                SimulatorAnsweredNote);
    QVERIFY2(boxes[0].details.contains(QStringLiteral("Info: Sending request: INSTALL")),
             qPrintable(boxes[0].details));
    QCOMPARE(boxes[1].text, QStringLiteral("Installation finished. Not installed:\nBad (bad.bar): "
                                           "refused: 500 invalid Package-Name: not a package!"));
    const QString apps = InstalledApps();
    QVERIFY(apps.contains(QStringLiteral("com.example.good")));
    QVERIFY(!apps.contains(QStringLiteral("not a package")));
}

void InstallEndToEndTest::anOddPathInstallsThatFileAndRunsNothingElse() {
    const QString folder = bars_.filePath(QStringLiteral("odd folder $HOME"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/it's a \"bar\"; $(touch x) `touch y` & z.bar");
    test::WriteBar(path, test::BarManifest("com.example.odd", "Odd", "2.0.0.0"));
    Drop({path});
    QCOMPARE(window_->lstBarFile->topLevelItem(0)->text(BarColumn::Path), path);
    MessageBox::setNextAnswer(MessageBox::Ok);
    Install();
    // The device installed the package from that file (its list confirmed it: "Done"), and the
    // run's last command was that listing: nothing else ran.
    QCOMPARE(Statuses(window_->lstBarFile), QStringList{"Done"});
    QCOMPARE(ReceivedArguments(),
             (QStringList{"-listInstalledApps", "-device", "169.254.0.1", "-password", "z30"}));
    QVERIFY(InstalledApps().contains(QStringLiteral("com.example.odd")));
    for (const QString& where : {window_->JavaBinDir, folder, bars_.path(), scope_.startFolder()})
        for (const char* name : {"x", "y", "z.bar"})
            QVERIFY2(!QFile::exists(QDir(where).filePath(QLatin1String(name))),
                     qPrintable(where + "/" + name));
    MessageBox::takeAnsweredBoxes();
}

// The deploy tool writes nothing while it uploads a BAR; over a slow link that takes longer than
// the installation's silence limit. Its reading counts as activity, so the row still installs.
void InstallEndToEndTest::aSlowSilentUploadIsNotSilence() {
    qputenv("KESTRANE_DEVICESIM_UPLOAD_MS", "3000");
    window_->deviceCommands().silenceLimits().installation = std::chrono::milliseconds(1200);
    Drop({Bar(QStringLiteral("slow.bar"), "com.example.slow", "Slow")});
    // Answers for a warning too, so that a row stopped for silence fails here instead of waiting.
    MessageBox::setNextAnswer(MessageBox::Ok);
    MessageBox::setNextAnswer(MessageBox::Ignore);
    Install();
    qunsetenv("KESTRANE_DEVICESIM_UPLOAD_MS");
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    MessageBox::reset();
    QCOMPARE(Statuses(window_->lstBarFile), QStringList{"Done"});
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].text, QStringLiteral("Installation finished"));
}

// The simulated Passport (OS 10.2.1.3247, PIN 743344661) has an expired debug token. A debug
// token BAR for its PIN, installed through the window, renews it on the main screen; a BAR that
// needs OS 10.3 says so in its row before the run, and the device refuses it when the run gets
// there.
void InstallEndToEndTest::aDebugTokenRenewsThePassportsToken() {
    QVERIFY(ConnectTo(QStringLiteral("169.254.7.1"), QStringLiteral("passport")));
    QCOMPARE(window_->lbDebugToken->text(), QStringLiteral("Debug token expired on 2024-01-31"));
    const QString token = bars_.filePath(QStringLiteral("debugtoken.bar"));
    test::WriteBar(token, "Package-Author: Kestrane Developer\r\nPackage-Name: debug.token\r\n"
                          "Package-Type: debug-token\r\nDebug-Token-Expiry-Date: 2032-01-15\r\n"
                          "Debug-Token-Device-Id: 712981662,743344661\r\n");
    const QString newer = bars_.filePath(QStringLiteral("newer.bar"));
    test::WriteBar(newer, test::BarManifest("com.example.newer", "Newer", "1.0.0.0") +
                              "Application-Requires-System: BlackBerry 10/10.3.0.0\r\n");
    Drop({token, newer});
    window_->btnInstallAppsClick();
    QTreeWidget* list = window_->lstBarFile;
    QCOMPARE(list->topLevelItemCount(), 2);
    const int tokenRow = list->topLevelItem(0)->text(BarColumn::Path) == token ? 0 : 1;
    QCOMPARE(list->topLevelItem(tokenRow)->text(BarColumn::Name),
             QStringLiteral("Debug token (Kestrane Developer)"));
    QCOMPARE(list->topLevelItem(tokenRow)->text(BarColumn::AppType), QStringLiteral("Debug token"));
    QStringList notes = Statuses(list);
    QCOMPARE(notes.takeAt(tokenRow), QStringLiteral("Valid until 2032-01-15"));
    QCOMPARE(notes, QStringList{"Needs OS 10.3.0.0"});
    const QDir shots(QStringLiteral(KESTRANE_SCREENSHOT_DIR));
    QVERIFY(shots.mkpath(QStringLiteral(".")));
    QVERIFY(window_->grab().save(shots.filePath(QStringLiteral("install-debug-token.png"))));

    MessageBox::setNextAnswer(MessageBox::Ignore);
    MessageBox::setNextAnswer(MessageBox::Ok);
    Install();
    QStringList statuses = Statuses(list);
    QCOMPARE(statuses.takeAt(tokenRow), QStringLiteral("Done"));
    QCOMPARE(statuses, QStringList{"Error"});
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 2);
    QVERIFY2(boxes[0].text.startsWith(QStringLiteral("The application needs a newer OS: it wants "
                                                     "10.3.0.0, the device has 10.2.1.3247 (533)")),
             qPrintable(boxes[0].text));
    // The device information is read again after the token: the main screen is current.
    QVERIFY(QTest::qWaitFor(
        [this] {
            return window_->lbDebugToken->text() ==
                   QStringLiteral("Debug token valid until 2032-01-15");
        },
        60000));
    QVERIFY(WaitForDeviceCommands());
    QTest::mouseClick(window_->SpeedButton3, Qt::LeftButton);
    QCOMPARE(window_->screens->currentWidget(), window_->pMain);
    QVERIFY(window_->grab().save(shots.filePath(QStringLiteral("main-debug-token-renewed.png"))));
}

// With "Launch after installing" ticked, the BAR is installed and launched in one run of the
// tool, the row says it runs, and the simulated device does run it.
void InstallEndToEndTest::installAndLaunchLeavesTheAppRunning() {
    const QString path = bars_.filePath(QStringLiteral("clock.bar"));
    test::WriteBar(path, test::BarManifest("com.example.clock", "Clock", "2.0.1.5") +
                             "Package-Id: testClock0001\r\n");
    Drop({path});
    window_->btnInstallAppsClick();
    QTest::mouseClick(window_->cbLaunchAfterInstall, Qt::LeftButton);
    QVERIFY(window_->cbLaunchAfterInstall->isChecked());
    MessageBox::setNextAnswer(MessageBox::Ok);
    Install();
    const QTreeWidgetItem* row = window_->lstBarFile->topLevelItem(0);
    const QRegularExpression pid(QStringLiteral("^Running \\(PID [0-9]+\\)$"));
    QVERIFY2(pid.match(row->text(BarColumn::Status)).hasMatch(),
             qPrintable(row->text(BarColumn::Status)));
    QCOMPARE(row->toolTip(BarColumn::Status),
             QStringLiteral("Installed and launched (PID %1)")
                 .arg(row->text(BarColumn::Status).section(QLatin1Char(' '), 2).chopped(1)));
    // After the run, its one listing.
    QCOMPARE(ReceivedArguments(),
             (QStringList{"-listInstalledApps", "-device", "169.254.0.1", "-password", "z30"}));
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].text, QStringLiteral("Installation finished"));
    const QString running =
        IsAppRunning(QStringLiteral("com.example.clock"), QStringLiteral("testClock0001"));
    QVERIFY2(running.contains(QStringLiteral("result::true")), qPrintable(running));
    const QDir shots(QStringLiteral(KESTRANE_SCREENSHOT_DIR));
    QVERIFY(shots.mkpath(QStringLiteral(".")));
    QVERIFY(window_->grab().save(shots.filePath(QStringLiteral("install-launched.png"))));
}

// A device whose list does not show what its installation reported (the simulator told so):
// the row and the closing box say what the device lists instead of a plain "Done".
void InstallEndToEndTest::anInstallationTheDeviceDoesNotListSaysSo() {
    const QString path = bars_.filePath(QStringLiteral("maps.bar"));
    test::WriteBar(path, test::BarManifest("com.example.maps", "Maps", "2.0.0.0"));
    Drop({path});
    qputenv("KESTRANE_DEVICESIM_LISTED_VERSION", "1.9.0.0");
    MessageBox::setNextAnswer(MessageBox::Ok);
    Install();
    qunsetenv("KESTRANE_DEVICESIM_LISTED_VERSION");
    QCOMPARE(Statuses(window_->lstBarFile),
             QStringList{"Installed, but the device lists version 1.9.0.0"});
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].text, QStringLiteral("Installation finished\nThe device does not list these "
                                           "as installed:\nMaps (maps.bar): Installed, but the "
                                           "device lists version 1.9.0.0"));
}

QTEST_MAIN(InstallEndToEndTest)
#include "InstallEndToEndTest.moc"
