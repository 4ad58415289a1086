// The manage screen headless: the list of installed applications and the actions on its ticked
// rows, against a scripted deploy tool.

#include "DeviceCommands.h"
#include "Fonts.h"
#include "ListColumns.h"
#include "MessageBox.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>
#include <QTreeWidgetItem>
#include <QtTest>

using namespace kestrane;
using namespace kestrane::testing;

Q_DECLARE_METATYPE(DeployAction)

namespace {

// The list as the tool writes it, in no particular order, with a line that names no application.
const QString ListOutput = QStringLiteral(
    "Info: Sending request: LIST\r\n"
    "sys.maps.AbCd1234::AbCd1234,10.3.3.1941,size::8388608,source::appworld,name::Maps,\r\n"
    "com.example.apple.EfGh5678::EfGh5678,1.0.0.1,size::100,source::developer\r\n"
    "com.example.Apple.IjKl9012::IjKl9012,2.0.0.2,size::200,source::developer\r\n"
    "sys.browser.MnOp3456::MnOp3456,10.3.3.3216,size::4718592,source::appworld,name::Browser,\r\n");

// Caption, version, package name, status, package id: the locale's order puts "apple" before
// "Apple"; code order would put every capital first.
const QList<QStringList> ListedRows = {
    {"apple", "1.0.0.1", "com.example.apple", "", "EfGh5678"},
    {"Apple", "2.0.0.2", "com.example.Apple", "", "IjKl9012"},
    {"Browser", "10.3.3.3216", "sys.browser", "", "MnOp3456"},
    {"Maps", "10.3.3.1941", "sys.maps", "", "AbCd1234"},
};

QStringList RowTexts(const QTreeWidgetItem* row) {
    QStringList texts;
    for (int column = AppColumn::Name; column <= AppColumn::PackageId; ++column)
        texts.append(row->text(column));
    return texts;
}

// A tool that writes what the test gives it, when the test says so.
class PacedJob : public ConsoleJob {
public:
    PacedJob(Feed feed, QObject* parent) : ConsoleJob(feed, parent) {}
    void write(const QString& text) { receiveText(text); }
    void end() { complete(0); }
    void stop() override { complete(-1); }
};

class PacedRunner : public ConsoleRunner {
public:
    PacedJob* job = nullptr;
    // While set, commands go to this runner instead (the Connect before a test).
    std::shared_ptr<doubles::FakeConsoleRunner> setUp;
    ConsoleJob* start(const QString& command, const QString& workingDir, ConsoleJob::Feed feed,
                      QObject* parent) override {
        if (setUp)
            return setUp->start(command, workingDir, feed, parent);
        job = new PacedJob(feed, parent);
        return job;
    }
};

const QString MissingJavaMessage =
    QStringLiteral("You have to install Java Runtime Environment before using this Utility");

} // namespace

class InstalledAppsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        PrepareWindowSuite();
        QVERIFY(appDir_.isValid() && javaBinDir_.isValid());
        QVERIFY(PlaceFakeDeployTool(appDir_.path(), javaBinDir_.path()));
    }
    void init() {
        scope_.begin();
        world_ = WindowWorld();
    }
    void cleanup() {
        const QString left = scope_.end();
        QVERIFY2(left.isEmpty(), qPrintable(left));
    }

    void refreshListsSortedUncheckedRows();
    void rowsAppearWhileTheToolLists();
    void refreshClearsTicksAndStatuses();
    void failedListingLeavesNoRows_data();
    void failedListingLeavesNoRows();
    void noJavaRuntimeLeavesTheList();
    void firstVisitRefreshesOnce_data();
    void firstVisitRefreshesOnce();

    void actionRunsOncePerTickedRowInOrder_data();
    void actionRunsOncePerTickedRowInOrder();
    void nothingTickedRunsNothing();
    void checkStatusReadsTheAnswer();
    void failedActionSaysSoAndGoesOn();
    void silentDeviceEndsTheAction();
    void packageNamesAreQuoted();
    void manageActionsAreHeldBackWhileOneRuns();
    void anotherDeviceClearsTheListAndStopsTheAction();
    void commandsGoToTheConnectedDevice();
    void closingWhileTheListComesIn();

private:
    // A window of its own, its manage screen on top, fields filled for the phone.
    std::unique_ptr<TfrmBB10> ReadyWindow(std::shared_ptr<PacedRunner> runner = nullptr) {
        Services services = world_.services();
        if (runner) {
            runner->setUp = world_.runner;
            services.consoleRunner = runner;
        }
        auto window = std::make_unique<TfrmBB10>(services);
        window->AppDir = appDir_.path();
        window->JavaBinDir = javaBinDir_.path();
        const bool connected = ConnectAsUser(*window, *world_.runner);
        if (runner)
            runner->setUp = nullptr;
        if (!connected)
            return nullptr;
        window->AppsListPending = false;
        window->btnManageApps->click();
        return window;
    }

    // The tool's arguments (from its argument file) for action on the connected phone.
    QStringList Arguments(const QString& action, const QStringList& more = {}) const {
        return QStringList{"-jar",        appDir_.path() + "/lib/BarDeploy.jar",
                           action,        "-device",
                           "169.254.0.1", "-password",
                           "z30"} +
               more;
    }

    // Refresh with the list output and wait for its end.
    void Refresh(TfrmBB10& window, const QString& output = ListOutput) {
        world_.runner->addAnswer(output);
        window.btnRefreshApp->click();
        QTRY_VERIFY(!window.deviceCommands().isRunning());
    }

    static void Tick(TfrmBB10& window, const QStringList& captions) {
        for (int i = 0; i < window.lstApps->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = window.lstApps->topLevelItem(i);
            if (captions.contains(row->text(AppColumn::Name)))
                row->setCheckState(AppColumn::Name, Qt::Checked);
        }
    }

    static QList<QStringList> Rows(const TfrmBB10& window) {
        QList<QStringList> rows;
        for (int i = 0; i < window.lstApps->topLevelItemCount(); ++i)
            rows.append(RowTexts(window.lstApps->topLevelItem(i)));
        return rows;
    }

    static QStringList Statuses(const TfrmBB10& window) {
        QStringList statuses;
        for (int i = 0; i < window.lstApps->topLevelItemCount(); ++i)
            statuses.append(window.lstApps->topLevelItem(i)->text(AppColumn::Status));
        return statuses;
    }

    static bool ManageActionsEnabled(const TfrmBB10& window) {
        return window.btnRefreshApp->isEnabled() && window.btnCheckApp->isEnabled() &&
               window.btnLaunchApp->isEnabled() && window.btnTerminate->isEnabled() &&
               window.btnUninstall->isEnabled();
    }

    QTemporaryDir appDir_;
    QTemporaryDir javaBinDir_;
    WindowTestScope scope_;
    WindowWorld world_;
};

// ---- The list --------------------------------------------------------------------------------

void InstalledAppsTest::refreshListsSortedUncheckedRows() {
    auto window = ReadyWindow();
    world_.runner->addAnswer(ListOutput);
    QApplication::setOverrideCursor(Qt::CrossCursor);

    window->btnRefreshApp->click();
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QTRY_VERIFY(!window->deviceCommands().isRunning());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
    QApplication::restoreOverrideCursor();

    QCOMPARE(Rows(*window), ListedRows);
    for (int i = 0; i < window->lstApps->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = window->lstApps->topLevelItem(i);
        QVERIFY(row->flags().testFlag(Qt::ItemIsUserCheckable));
        QCOMPARE(row->checkState(AppColumn::Name), Qt::Unchecked);
    }
    QCOMPARE(world_.runner->runs().size(), 1);
    QCOMPARE(world_.runner->runs()[0].fileArguments, Arguments("-listInstalledApps"));
    QCOMPARE(world_.runner->runs()[0].workingDir, javaBinDir_.path());
    QCOMPARE(QDir::current().canonicalPath(), QDir(javaBinDir_.path()).canonicalPath());
    QCOMPARE(MessageBox::takeAnsweredBoxes().size(), 0);
    QVERIFY(ManageActionsEnabled(*window));
}

// Rows join the list while the tool is still writing it, however slowly its lines come.
void InstalledAppsTest::rowsAppearWhileTheToolLists() {
    auto runner = std::make_shared<PacedRunner>();
    auto window = ReadyWindow(runner);
    const QStringList lines = ListOutput.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);

    window->btnRefreshApp->click();
    QVERIFY(runner->job);
    QCOMPARE(runner->job->feed(), ConsoleJob::Feed::Lines);
    runner->job->write(lines[0] + "\r\n" + lines[1] + "\r\n");
    QTRY_COMPARE(window->lstApps->topLevelItemCount(), 1);
    runner->job->write(lines[2] + "\r\n");
    QTRY_COMPARE(window->lstApps->topLevelItemCount(), 2);
    runner->job->write(lines[3] + "\r\n" + lines[4]);
    QTRY_COMPARE(window->lstApps->topLevelItemCount(), 3);
    QVERIFY(window->deviceCommands().isRunning());
    // The last line came without a line break: it counts once the tool has ended.
    runner->job->end();
    QCOMPARE(window->lstApps->topLevelItemCount(), 4);
    QTRY_VERIFY(!window->deviceCommands().isRunning());
    QCOMPARE(Rows(*window), ListedRows);
}

void InstalledAppsTest::refreshClearsTicksAndStatuses() {
    auto window = ReadyWindow();
    Refresh(*window);
    Tick(*window, {"Maps", "apple"});
    window->lstApps->topLevelItem(0)->setText(AppColumn::Status, QStringLiteral("Running"));

    Refresh(*window);
    QCOMPARE(Rows(*window), ListedRows);
    for (int i = 0; i < window->lstApps->topLevelItemCount(); ++i)
        QCOMPARE(window->lstApps->topLevelItem(i)->checkState(AppColumn::Name), Qt::Unchecked);
}

void InstalledAppsTest::failedListingLeavesNoRows_data() {
    QTest::addColumn<QStringList>("chunks");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QString>("boxText"); // how the box begins; the tool's text is its details

    const QString refused =
        QStringLiteral("Info: Sending request: LIST\nError: Authentication failed. There have been "
                       "1 of 10 failed attempts\n");
    QTest::newRow("wrong password, exit 3")
        << QStringList{refused} << 3 << false << "The device refused the password";
    QTest::newRow("an error line after some rows, exit 0")
        << QStringList{ListOutput, "Error: The target server failed to respond\n"} << 0 << false
        << "The device closed the connection without answering.";
    QTest::newRow("some rows, then exit 1")
        << QStringList{ListOutput} << 1 << false << "The deploy tool failed (exit code 1)";
    QTest::newRow("silence") << QStringList{ListOutput} << 0 << true
                             << QStringLiteral("The device did not answer within 0.2 seconds.");
}

// Rows of a listing that failed would pass for the whole list: none stays, and the box says why.
void InstalledAppsTest::failedListingLeavesNoRows() {
    QFETCH(QStringList, chunks);
    QFETCH(int, exitCode);
    QFETCH(bool, silent);
    QFETCH(QString, boxText);
    auto window = ReadyWindow();
    Refresh(*window);
    window->deviceCommands().silenceLimits().device = std::chrono::milliseconds(200);
    // A silent tool writes nothing and never ends by itself.
    world_.runner->setHoldAnswers(silent);
    world_.runner->addAnswer({chunks, exitCode});
    window->btnRefreshApp->click();
    MessageBox::setNextAnswer(MessageBox::Ok);
    QTRY_VERIFY_WITH_TIMEOUT(!window->deviceCommands().isRunning(), 3000);

    QCOMPARE(window->lstApps->topLevelItemCount(), 0);
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].kind, MessageBox::Kind::Error);
    QVERIFY2(boxes[0].text.startsWith(boxText), qPrintable(boxes[0].text));
    // A silent tool wrote nothing: no details then.
    QCOMPARE(boxes[0].details, silent ? QString() : ToolOutputText(chunks.join(QString())));
    QVERIFY(ManageActionsEnabled(*window));
}

void InstalledAppsTest::noJavaRuntimeLeavesTheList() {
    auto window = ReadyWindow();
    Refresh(*window);
    window->JavaBinDir.clear();
    MessageBox::setNextAnswer(MessageBox::Ok);

    window->btnRefreshApp->click();
    QCOMPARE(world_.runner->runs().size(), 1);
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].kind, MessageBox::Kind::Plain);
    QCOMPARE(boxes[0].text, MissingJavaMessage);
    QCOMPARE(Rows(*window), ListedRows);
}

void InstalledAppsTest::firstVisitRefreshesOnce_data() {
    QTest::addColumn<bool>("javaFound");
    QTest::newRow("lists the device's applications") << true;
    QTest::newRow("only says the runtime is missing") << false;
}

void InstalledAppsTest::firstVisitRefreshesOnce() {
    QFETCH(bool, javaFound);
    auto window = std::make_unique<TfrmBB10>(world_.services());
    window->AppDir = appDir_.path();
    window->JavaBinDir = javaBinDir_.path();
    QVERIFY(ConnectAsUser(*window, *world_.runner));
    if (!javaFound)
        window->JavaBinDir.clear();
    QVERIFY(window->AppsListPending);
    world_.runner->addAnswer(ListOutput);
    if (!javaFound)
        MessageBox::setNextAnswer(MessageBox::Ok);

    window->btnManageApps->click();
    QCOMPARE(window->screens->currentWidget(), window->pManage);
    QTRY_VERIFY(!window->deviceCommands().isRunning());
    QCOMPARE(window->lstApps->topLevelItemCount(), javaFound ? 4 : 0);
    QCOMPARE(MessageBox::takeAnsweredBoxes().size(), javaFound ? 0 : 1);
    QVERIFY(!window->AppsListPending);

    window->btnBack2->click();
    window->btnManageApps->click();
    QCOMPARE(world_.runner->runs().size(), javaFound ? 1 : 0);
}

// ---- The actions -----------------------------------------------------------------------------

void InstalledAppsTest::actionRunsOncePerTickedRowInOrder_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("hourglass");
    QTest::newRow("Launch") << "btnLaunchApp"
                            << "-launchApp"
                            << "Running" << false;
    QTest::newRow("Terminate") << "btnTerminate"
                               << "-terminateApp"
                               << "Stop" << false;
    QTest::newRow("Uninstall") << "btnUninstall"
                               << "-uninstallApp"
                               << "Uninstalled" << false;
    QTest::newRow("Check Status, not running") << "btnCheckApp"
                                               << "-isAppRunning"
                                               << "Stop" << true;
}

void InstalledAppsTest::actionRunsOncePerTickedRowInOrder() {
    QFETCH(QString, button);
    QFETCH(QString, option);
    QFETCH(QString, word);
    QFETCH(bool, hourglass);
    auto window = ReadyWindow();
    Refresh(*window);
    // Ticked in another order than the list's.
    Tick(*window, {"Maps", "apple"});
    window->lstApps->topLevelItem(1)->setSelected(true); // the selection plays no part
    world_.runner->setHoldAnswers(true);
    world_.runner->setResponder([](const doubles::FakeConsoleRun&) {
        return doubles::FakeConsoleAnswer{{"Info: done\nresult::false\n"}, 0};
    });
    QApplication::setOverrideCursor(Qt::CrossCursor);

    window->findChild<QAbstractButton*>(button)->click();
    // One run at a time: the first row's, and its row changes right after it.
    QCOMPARE(world_.runner->runs().size(), 2);
    QCOMPARE(QApplication::overrideCursor()->shape(), hourglass ? Qt::WaitCursor : Qt::CrossCursor);
    world_.runner->releaseAll();
    QTRY_COMPARE(world_.runner->runs().size(), 3);
    QCOMPARE(Statuses(*window), (QStringList{word, "", "", ""}));
    QCOMPARE(QApplication::overrideCursor()->shape(), hourglass ? Qt::WaitCursor : Qt::CrossCursor);
    world_.runner->releaseAll();
    QTRY_VERIFY(!window->deviceCommands().isRunning());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
    QApplication::restoreOverrideCursor();

    QCOMPARE(world_.runner->runs()[1].fileArguments,
             Arguments(option, {"-package-name", "com.example.apple", "-package-id", "EfGh5678"}));
    QCOMPARE(world_.runner->runs()[2].fileArguments,
             Arguments(option, {"-package-name", "sys.maps", "-package-id", "AbCd1234"}));
    QCOMPARE(world_.runner->runs()[2].workingDir, javaBinDir_.path());
    QCOMPARE(Statuses(*window), (QStringList{word, "", "", word}));
    // Rows stay, ticked, whatever the action did.
    QCOMPARE(window->lstApps->topLevelItemCount(), 4);
    QCOMPARE(window->lstApps->topLevelItem(3)->checkState(AppColumn::Name), Qt::Checked);
    QCOMPARE(MessageBox::takeAnsweredBoxes().size(), 0);
}

void InstalledAppsTest::nothingTickedRunsNothing() {
    auto window = ReadyWindow();
    Refresh(*window);
    for (QAbstractButton* button :
         {window->btnCheckApp, window->btnLaunchApp, window->btnTerminate, window->btnUninstall}) {
        button->click();
        QVERIFY(!window->deviceCommands().isRunning());
    }
    QCOMPARE(world_.runner->runs().size(), 1);
    QCOMPARE(Statuses(*window), QStringList(4, QString()));
}

void InstalledAppsTest::checkStatusReadsTheAnswer() {
    auto window = ReadyWindow();
    Refresh(*window);
    Tick(*window, {"apple", "Apple", "Browser", "Maps"});
    world_.runner->addAnswer("Info: Sending request: IS_APP_RUNNING\nresult::true\n");
    world_.runner->addAnswer("Info: Sending request: IS_APP_RUNNING\nresult::false\n");
    world_.runner->addAnswer("");
    world_.runner->addAnswer("Info: x result::true y");

    window->btnCheckApp->click();
    QTRY_VERIFY(!window->deviceCommands().isRunning());
    QCOMPARE(Statuses(*window), (QStringList{"Running", "Stop", "Stop", "Running"}));
}

// A refused action never shows the word of a done one: the row says "Error", the box tells the
// tool's text for each refused row, and the other rows are still acted on.
void InstalledAppsTest::failedActionSaysSoAndGoesOn() {
    auto window = ReadyWindow();
    Refresh(*window);
    Tick(*window, {"apple", "Browser", "Maps"});
    world_.runner->addAnswer("result::success\n");
    world_.runner->addAnswer(
        "Info: Sending request: UNINSTALL\nresult::failure 500 cannot determine package name\n", 2);
    world_.runner->addAnswer("Info: Action: Uninstall\nError: Cannot connect\n", 0);
    MessageBox::setNextAnswer(MessageBox::Ok);

    window->btnUninstall->click();
    QTRY_VERIFY(!window->deviceCommands().isRunning());
    QCOMPARE(world_.runner->runs().size(), 4);
    QCOMPARE(Statuses(*window), (QStringList{"Uninstalled", "", "Error", "Error"}));
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].kind, MessageBox::Kind::Error);
    // Each refused application with its message; the tool's texts behind the details.
    // The bundled simulator answered here (the program folder has no real tool): the box says so.
    const QStringList lines = boxes[0].text.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[2], SimulatorAnsweredNote);
    QVERIFY2(lines[0].startsWith("Browser: The device has no application with this package name"),
             qPrintable(lines[0]));
    QVERIFY2(lines[1].startsWith("Maps: The deploy tool cannot connect to the device."),
             qPrintable(lines[1]));
    QCOMPARE(boxes[0].details,
             QStringLiteral("Browser:\nInfo: Sending request: UNINSTALL\nresult::failure 500 "
                            "cannot determine package name\n\nMaps:\nInfo: Action: Uninstall\n"
                            "Error: Cannot connect\n\n"));
}

void InstalledAppsTest::silentDeviceEndsTheAction() {
    auto window = ReadyWindow();
    Refresh(*window);
    Tick(*window, {"apple", "Browser"});
    window->deviceCommands().silenceLimits().device = std::chrono::milliseconds(200);
    world_.runner->setHoldAnswers(true); // never answers
    MessageBox::setNextAnswer(MessageBox::Ok);

    window->btnLaunchApp->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window->deviceCommands().isRunning(), 3000);
    QCOMPARE(world_.runner->runs().size(), 2);
    QCOMPARE(Statuses(*window), (QStringList{"Error", "", "", ""}));
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].text.startsWith("apple: The device did not answer within 0.2 seconds."),
             qPrintable(boxes[0].text));
    QVERIFY(ManageActionsEnabled(*window));
}

// Names read from the device are data: each reaches the tool as one word of the command.
void InstalledAppsTest::packageNamesAreQuoted() {
    auto window = ReadyWindow();
    Refresh(*window, QStringLiteral("com.ev il;$(x).Q9Zk 'a`b`::Q9Zk 'a`b`,1.0,source::developer\n"
                                    "sys.maps.AbCd::AbCd,2.0,source::appworld,name::Maps,\n"));
    QCOMPARE(Rows(*window),
             (QList<QStringList>{{"ev il;$(x)", "1.0", "com.ev il;$(x)", "", "Q9Zk 'a`b`"},
                                 {"Maps", "2.0", "sys.maps", "", "AbCd"}}));
    window->lstApps->topLevelItem(1)->setText(4, QString()); // an empty id stays an argument
    Tick(*window, {"ev il;$(x)", "Maps"});

    window->btnTerminate->click();
    QTRY_VERIFY(!window->deviceCommands().isRunning());
    QCOMPARE(world_.runner->runs()[1].fileArguments,
             Arguments("-terminateApp",
                       {"-package-name", "com.ev il;$(x)", "-package-id", "Q9Zk 'a`b`"}));
    QCOMPARE(world_.runner->runs()[2].fileArguments,
             Arguments("-terminateApp", {"-package-name", "sys.maps", "-package-id", ""}));
}

// While a refresh or an action runs, the screen's actions wait: no row can go from under it.
void InstalledAppsTest::manageActionsAreHeldBackWhileOneRuns() {
    auto window = ReadyWindow();
    Refresh(*window);
    Tick(*window, {"Maps"});
    world_.runner->setHoldAnswers(true);
    world_.runner->setResponder([](const doubles::FakeConsoleRun& run) {
        return doubles::FakeConsoleAnswer{
            {run.fileArguments.contains("-listInstalledApps") ? ListOutput : "result::true\n"}, 0};
    });

    window->btnCheckApp->click();
    QVERIFY(!ManageActionsEnabled(*window));
    QVERIFY(window->btnBack2->isEnabled());
    // A refresh reached otherwise (the first visit calls it directly) waits too.
    window->btnRefreshAppClick();
    window->btnUninstallClick();
    QCOMPARE(world_.runner->runs().size(), 2);
    world_.runner->releaseAll();
    QTRY_VERIFY(!window->deviceCommands().isRunning());
    QVERIFY(ManageActionsEnabled(*window));
    QCOMPARE(Statuses(*window), (QStringList{"", "", "", "Running"}));

    window->btnRefreshApp->click();
    QVERIFY(!ManageActionsEnabled(*window));
    window->btnLaunchAppClick();
    QCOMPARE(world_.runner->runs().size(), 3);
    world_.runner->releaseAll();
    QTRY_VERIFY(!window->deviceCommands().isRunning());
    QVERIFY(ManageActionsEnabled(*window));
}

// Connecting to another device while an action runs on this one's rows: the list goes, the
// action sends no further package names, and nothing is written anywhere.
void InstalledAppsTest::anotherDeviceClearsTheListAndStopsTheAction() {
    auto window = ReadyWindow();
    const QString deviceOutput = QStringLiteral("devicename::Kestrane Z30\nmodelname::Z30\n"
                                                "devicepin::0x2a7f3c9e\n");
    world_.runner->addAnswer(deviceOutput);
    window->btnConnClick();
    QTRY_VERIFY(!window->deviceCommands().isRunning());
    window->AppsListPending = false;
    Refresh(*window);
    Tick(*window, {"apple", "Apple", "Maps"});
    world_.runner->setHoldAnswers(true);
    window->btnLaunchApp->click();
    QCOMPARE(world_.runner->runs().size(), 3);

    window->edtIP->setAddressText(QStringLiteral("169.254.1.1"));
    world_.runner->setHoldAnswers(false);
    world_.runner->addAnswer(QString(deviceOutput).replace("0x2a7f3c9e", "0x2b91d04f"));
    window->btnConnClick();
    QTRY_COMPARE(window->lstApps->topLevelItemCount(), 0);
    QVERIFY(window->AppsListPending);
    world_.runner->releaseAll();
    QTRY_VERIFY(!window->deviceCommands().isRunning());
    QCOMPARE(world_.runner->runs().size(), 4); // the launch's second row never ran
    QVERIFY(ManageActionsEnabled(*window));
    QCOMPARE(MessageBox::takeAnsweredBoxes().size(), 0);

    // The next visit lists the new device's applications.
    world_.runner->addAnswer(ListOutput.left(ListOutput.indexOf("com.example.Apple")));
    window->btnBack2->click();
    window->btnManageApps->click();
    QTRY_VERIFY(!window->deviceCommands().isRunning());
    QCOMPARE(world_.runner->runs().last().fileArguments.contains("169.254.1.1"), true);
    QCOMPARE(window->lstApps->topLevelItemCount(), 2);
}

// The window goes while rows are still coming in and waiting for their turn: nothing it leaves
// behind touches it afterwards.
void InstalledAppsTest::closingWhileTheListComesIn() {
    auto runner = std::make_shared<PacedRunner>();
    auto window = ReadyWindow(runner);
    window->btnRefreshApp->click();
    runner->job->write(ListOutput);
    QTRY_VERIFY(window->lstApps->topLevelItemCount() > 0);
    runner->job->write(ListOutput);
    QPointer<ConsoleJob> job = runner->job;

    window.reset();
    QVERIFY(job.isNull());
    // Whatever the job or the window had posted is delivered to nobody.
    DeliverPostedEvents();
}

// What the connection fields hold after Connect does not redirect the screen's commands: the
// list and the actions go to the device on screen, which the title names.
void InstalledAppsTest::commandsGoToTheConnectedDevice() {
    auto window = ReadyWindow();
    // The program folder holds no real tool: the bundled simulator answers, and the title says so.
    QCOMPARE(window->windowTitle(), ConnectedWindowCaption(QStringLiteral("BlackBerry Z30"),
                                                           QStringLiteral("169.254.0.1")) +
                                        SimulatorTitleNote);
    window->edtIP->setAddressText(QStringLiteral("169.254.2.1"));
    window->edtPwd->setText(QStringLiteral("playbook"));
    Refresh(*window);
    Tick(*window, {"Maps"});
    world_.runner->addAnswer("result::true\n");
    window->btnCheckApp->click();
    QTRY_VERIFY(!window->deviceCommands().isRunning());

    QCOMPARE(world_.runner->runs().size(), 2);
    QCOMPARE(world_.runner->runs()[0].fileArguments, Arguments("-listInstalledApps"));
    QCOMPARE(world_.runner->runs()[1].fileArguments.mid(0, 7), Arguments("-isAppRunning"));
    QCOMPARE(Statuses(*window).contains("Running"), true);
}

QTEST_MAIN(InstalledAppsTest)
#include "InstalledAppsTest.moc"
