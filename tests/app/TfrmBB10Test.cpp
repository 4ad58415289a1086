// The window driven as a user drives it: mouse clicks, accelerators, drops, with doubles for the
// world outside.

#include "Fonts.h"
#include "HandlerGuard.h"
#include "ListColumns.h"
#include "MessageBox.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QMimeData>
#include <QToolTip>
#include <QtTest>

using namespace kestrane;
using namespace kestrane::testing;

Q_DECLARE_METATYPE(MessageBox::Kind)

namespace {

// The name the default error display and the plain message box carry: this test program's.
const QString TestProgramName = QStringLiteral("test_window");

QWidget* Child(QWidget& window, const QString& name) {
    auto* child = window.findChild<QWidget*>(name);
    if (child == nullptr) {
        qFatal("no control named %s", qPrintable(name));
    }
    return child;
}

void ShowAndActivate(QWidget& window) {
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

void ClickControl(QWidget& window, const QString& name) {
    QTest::mouseClick(Child(window, name), Qt::LeftButton);
}

// Drops local files (and whatever else the URLs name) at the middle of a control, through the
// window system's side of the window as a drag from another program arrives. Like many file
// managers, the drag offers the addresses as plain text too, which edit fields would take.
bool DropOn(QWidget& window, QWidget* target, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    QStringList lines;
    for (const QUrl& url : urls) {
        lines.append(url.toString());
    }
    data.setText(lines.join(QLatin1Char('\n')));
    const QPoint at = target->mapTo(&window, target->rect().center());
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.windowHandle(), &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.windowHandle(), &drop);
    return drop.isAccepted();
}

QList<QUrl> FileUrls(const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls.append(QUrl::fromLocalFile(path));
    }
    return urls;
}

} // namespace

class TfrmBB10Test : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { PrepareWindowSuite(); }
    void init() { scope_.begin(); }
    void cleanup() {
        const QString left = scope_.end();
        QVERIFY2(left.isEmpty(), qPrintable(left));
    }

    void startsOnTheMainScreenWithTheDesign();
    void navigation_data();
    void navigation();
    void firstManageVisitLoadsTheListOnce();
    void exitClosesTheWindow();
    void lockedButtonsIgnoreMouseAndAccelerators_data();
    void lockedButtonsIgnoreMouseAndAccelerators();
    void connectionPanelToggle_data();
    void connectionPanelToggle();

    void defaultErrorText_data();
    void defaultErrorText();
    void handlerGuard_data();
    void handlerGuard();

    void dropsReachTheHandler_data();
    void dropsReachTheHandler();
    void dragsWithoutFilesAreRefused();

    void addressSuggestion_data();
    void addressSuggestion();
    void addressFieldTextIsAlwaysFifteenCharacters();
    void typingIntoTheClickedEmptyAddressField_data();
    void typingIntoTheClickedEmptyAddressField();
    void passwordReveal_data();
    void passwordReveal();
    void developmentModeHelp();
    void formShow_data();
    void formShow();
    void openDialogGoesThroughTheSeam();

    void valueLabelsCutLongValues_data();
    void valueLabelsCutLongValues();

private:
    WindowTestScope scope_;
};

// ---- Window and screens -----------------------------------------------------------------------

void TfrmBB10Test::startsOnTheMainScreenWithTheDesign() {
    auto window = MakeWindow();
    QCOMPARE(window->windowTitle(), QStringLiteral("Kestrane - BlackBerry 10 Utilities"));
    QCOMPARE(window->size(), QSize(657, 428));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QVERIFY(!window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(window->AppDir, QFileInfo(QCoreApplication::applicationFilePath()).canonicalPath());
    QVERIFY(window->AppsListPending);
    QCOMPARE(window->Memo1->lines(), QStringList{QStringLiteral("Memo1")});
    QCOMPARE(window->edtIP->maskedText(), QStringLiteral("169.254.0  .1  "));

    // Every control of the design is there by its name.
    const char* names[] = {
        "pMain",        "pInstall",      "pManage",        "Panel1",
        "Panel3",       "Panel4",        "Panel2",         "GroupBox1",
        "GroupBox2",    "Label18",       "lbDevModeOn",    "Label1",
        "edtIP",        "btnRefresh",    "Label2",         "edtPwd",
        "SpeedButton1", "btnConn",       "Label8",         "Label6",
        "Label7",       "Label9",        "Label10",        "Label11",
        "ImgDonate",    "Shape1",        "imgModel",       "lbDevice",
        "Label5",       "lbDevName",     "Label20",        "lbModelNum",
        "Label22",      "lbHWID",        "Label24",        "lbIMEI",
        "Label28",      "lbSerial",      "Label12",        "lbPIN",
        "Label13",      "lbOS",          "Label14",        "lbVersion",
        "Label15",      "lbAirVer",      "Label16",        "lbFlashVer",
        "Image2",       "SpeedButton2",  "btnInstallApps", "btnManageApps",
        "btnClose",     "lstBarFile",    "pInsBottom",     "Image1",
        "SpeedButton3", "btnUp",         "btnDown",        "btnAddBar",
        "btnClearList", "btnInstallBar", "Label3",         "lstApps",
        "Panel5",       "Image3",        "btnBack2",       "btnRefreshApp",
        "btnCheckApp",  "btnLaunchApp",  "btnTerminate",   "btnUninstall",
        "Memo1",        "OpenDialog1",   "PopupMenu1",     "RemoveSelectedItems1",
        "btnAppLog",    "btnAppFiles",   "PopupMenu3",     "GetFile1",
        "PutFile1"};
    for (const char* name : names) {
        QVERIFY2(window->findChild<QObject*>(QLatin1String(name)) != nullptr, name);
    }

    ShowAndActivate(*window);
    QCOMPARE(window->screens->currentWidget(), window->pMain);
    QVERIFY(!window->pInstall->isVisible());
    QVERIFY(!window->pManage->isVisible());
    // The data columns stay zero wide once shown (the last column does not stretch).
    const QList<int> barWidths = {200, 90, 90, 90, 0, 160};
    const QList<int> appWidths = {200, 100, 220, 80, 0};
    for (int i = 0; i < barWidths.size(); ++i) {
        QCOMPARE(window->lstBarFile->columnWidth(i), barWidths[i]);
    }
    for (int i = 0; i < appWidths.size(); ++i) {
        QCOMPARE(window->lstApps->columnWidth(i), appWidths[i]);
    }
    QCOMPARE(window->lstBarFile->headerItem()->text(BarColumn::Path), QStringLiteral("Path"));
    QCOMPARE(window->lstApps->headerItem()->text(AppColumn::PackageId),
             QStringLiteral("Package-ID"));
}

void TfrmBB10Test::navigation_data() {
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("screenOnTop");
    QTest::newRow("install") << QStringList{"btnInstallApps"} << "pInstall";
    QTest::newRow("install, back") << QStringList{"btnInstallApps", "SpeedButton3"} << "pMain";
    QTest::newRow("manage") << QStringList{"btnManageApps"} << "pManage";
    QTest::newRow("manage, back") << QStringList{"btnManageApps", "btnBack2"} << "pMain";
    QTest::newRow("install, back, manage")
        << QStringList{"btnInstallApps", "SpeedButton3", "btnManageApps"} << "pManage";
}

void TfrmBB10Test::navigation() {
    QFETCH(QStringList, clicks);
    QFETCH(QString, screenOnTop);
    auto window = MakeWindow();
    UnlockAsConnected(*window);
    window->lstBarFile->addTopLevelItem(new QTreeWidgetItem(QStringList{"Queued app"}));
    window->lstApps->addTopLevelItem(new QTreeWidgetItem(QStringList{"Installed app"}));
    ShowAndActivate(*window);

    for (const QString& name : clicks) {
        ClickControl(*window, name);
    }
    QCOMPARE(window->screens->currentWidget()->objectName(), screenOnTop);
    QVERIFY(window->screens->currentWidget()->isVisible());
    // Switching screens changes nothing else.
    QCOMPARE(window->lstBarFile->topLevelItemCount(), 1);
    QCOMPARE(window->lstApps->topLevelItemCount(), 1);
}

void TfrmBB10Test::firstManageVisitLoadsTheListOnce() {
    auto window = MakeWindow();
    UnlockAsConnected(*window);
    ShowAndActivate(*window);

    ClickControl(*window, "btnManageApps");
    QCOMPARE(window->refreshAppCalls, 1);
    QVERIFY(!window->AppsListPending);
    ClickControl(*window, "btnBack2");
    ClickControl(*window, "btnManageApps");
    QCOMPARE(window->refreshAppCalls, 1);
    // The manage screen's own button still refreshes.
    ClickControl(*window, "btnRefreshApp");
    QCOMPARE(window->refreshAppCalls, 2);
}

void TfrmBB10Test::exitClosesTheWindow() {
    auto window = MakeWindow();
    ShowAndActivate(*window);
    ClickControl(*window, "btnClose");
    QVERIFY(!window->isVisible());
    QCOMPARE(MessageBox::takeAnsweredBoxes().size(), 0);
}

void TfrmBB10Test::lockedButtonsIgnoreMouseAndAccelerators_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("acceleratorKey");
    QTest::newRow("install apps") << "btnInstallApps" << int(Qt::Key_I);
    QTest::newRow("manage apps") << "btnManageApps" << int(Qt::Key_M);
    QTest::newRow("show/hide panel") << "SpeedButton2" << 0;
}

void TfrmBB10Test::lockedButtonsIgnoreMouseAndAccelerators() {
    QFETCH(QString, button);
    QFETCH(int, acceleratorKey);
    auto window = MakeWindow();
    ShowAndActivate(*window);
    QVERIFY(!Child(*window, button)->isEnabled());
    QVERIFY(window->btnClose->isEnabled());

    ClickControl(*window, button);
    if (acceleratorKey != 0) {
        QTest::keyClick(window.get(), Qt::Key(acceleratorKey), Qt::AltModifier);
    }
    // An accelerator presses its button at once and clicks it when it lets go a moment later:
    // a button that is not down has no click coming.
    QVERIFY(!qobject_cast<QAbstractButton*>(Child(*window, button))->isDown());
    QCOMPARE(window->screens->currentWidget(), window->pMain);
    QCOMPARE(window->Panel1->width(), TfrmBB10::ConnectionPanelWidth);
    QCOMPARE(window->refreshAppCalls, 0);
}

void TfrmBB10Test::connectionPanelToggle_data() {
    QTest::addColumn<int>("startWidth");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<int>("panelWidth");
    QTest::addColumn<int>("cardWidth");
    QTest::addColumn<QList<int>>("buttonLefts");
    QTest::addColumn<bool>("pictureSeen");
    const QList<int> open = {77, 174, 307};
    const QList<int> collapsed = {372, 469, 602};
    QTest::newRow("open collapses") << 295 << 1 << 0 << 641 << collapsed << true;
    QTest::newRow("collapsed opens") << 295 << 2 << 295 << 346 << open << false;
    QTest::newRow("any positive width collapses") << 100 << 1 << 0 << 641 << collapsed << true;
    QTest::newRow("open, collapsed, open, collapsed") << 295 << 3 << 0 << 641 << collapsed << true;
}

void TfrmBB10Test::connectionPanelToggle() {
    QFETCH(int, startWidth);
    QFETCH(int, clicks);
    QFETCH(int, panelWidth);
    QFETCH(int, cardWidth);
    QFETCH(QList<int>, buttonLefts);
    QFETCH(bool, pictureSeen);
    auto window = MakeWindow();
    UnlockAsConnected(*window);
    ShowAndActivate(*window);
    window->edtIP->setAddressText(QStringLiteral("169.254.3.1"));
    window->edtPwd->setText(QStringLiteral("secret"));
    window->Panel1->resize(startWidth, window->Panel1->height());

    for (int i = 0; i < clicks; ++i) {
        ClickControl(*window, "SpeedButton2");
    }
    QCOMPARE(window->Panel1->width(), panelWidth);
    // The information panel fills the rest of the main screen.
    QCOMPARE(window->Panel3->geometry(), QRect(panelWidth, 0, 660 - panelWidth, 430));
    QCOMPARE(window->Shape1->geometry(), QRect(8, 12, cardWidth, 367));
    QCOMPARE(window->Panel4->geometry(), QRect(0, 389, 660 - panelWidth, 41));
    QCOMPARE(window->Image2->geometry(), QRect(1, 1, 658 - panelWidth, 39));
    QCOMPARE(window->btnInstallApps->x(), buttonLefts[0]);
    QCOMPARE(window->btnManageApps->x(), buttonLefts[1]);
    QCOMPARE(window->btnClose->x(), buttonLefts[2]);
    QCOMPARE(window->SpeedButton2->pos(), QPoint(2, 0));
    QCOMPARE(window->lbDevName->pos(), QPoint(124, 83));
    QCOMPARE(window->imgModel->pos(), QPoint(374, 21));
    QCOMPARE(!window->imgModel->visibleRegion().isEmpty(), pictureSeen);
    if (pictureSeen) {
        QCOMPARE(window->imgModel->mapTo(window.get(), QPoint(0, 0)).x(), 374);
    }
    // The fields keep their texts while folded away.
    QCOMPARE(window->edtIP->maskedText(), QStringLiteral("169.254.3  .1  "));
    QCOMPARE(window->edtPwd->text(), QStringLiteral("secret"));
}

// ---- The handler guard ------------------------------------------------------------------------

void TfrmBB10Test::defaultErrorText_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Cannot reach the device"
                            << "Cannot reach the device.";
    QTest::newRow("digit") << "Error 5"
                           << "Error 5.";
    QTest::newRow("question mark") << "Why?"
                                   << "Why?.";
    QTest::newRow("full stop") << "Done."
                               << "Done.";
    QTest::newRow("exclamation mark, below the full stop") << "Stop!"
                                                           << "Stop!";
    QTest::newRow("closing parenthesis, below the full stop") << "(5)"
                                                              << "(5)";
    QTest::newRow("empty") << ""
                           << "";
}

void TfrmBB10Test::defaultErrorText() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(DefaultErrorText(message), shown);
}

void TfrmBB10Test::handlerGuard_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("shownText"); // empty: nothing may be shown
    QTest::newRow("mouse click") << "mouse"
                                 << "error"
                                 << "Cannot reach the device.";
    QTest::newRow("mouse click, UTF-8 message") << "mouse"
                                                << "utf8"
                                                << "Gerät nicht gefunden.";
    QTest::newRow("mouse click, not a std::exception") << "mouse"
                                                       << "int"
                                                       << "Unknown error.";
    QTest::newRow("space on the focused push button") << "space"
                                                      << "error"
                                                      << "Cannot reach the device.";
    QTest::newRow("accelerator") << "accelerator"
                                 << "error"
                                 << "";
    QTest::newRow("drop") << "drop"
                          << "error"
                          << "";
}

void TfrmBB10Test::handlerGuard() {
    QFETCH(QString, start);
    QFETCH(QString, failure);
    QFETCH(QString, shownText);
    auto window = MakeWindow();
    const std::function<void()> fail = [failure] {
        if (failure == "int") {
            throw 42;
        }
        throw Error(failure == "utf8" ? QStringLiteral("Gerät nicht gefunden")
                                      : QStringLiteral("Cannot reach the device"));
    };
    window->connFailure = fail;
    window->dropFailure = fail;
    ShowAndActivate(*window);
    MessageBox::setNextAnswer(MessageBox::Ok);

    if (start == "mouse") {
        QTest::mouseClick(window->btnConn, Qt::LeftButton);
    } else if (start == "space") {
        window->btnConn->setFocus();
        QTest::keyClick(window->btnConn, Qt::Key_Space);
    } else if (start == "accelerator") {
        QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
        QTRY_COMPARE(window->connCalls, 1);
    } else {
        QVERIFY(DropOn(*window, window->lstBarFile, FileUrls({"/tmp/a.bar"})));
        QCOMPARE(window->drops.size(), 1);
    }

    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    if (shownText.isEmpty()) {
        QCOMPARE(boxes.size(), 0);
        QCOMPARE(MessageBox::pendingAnswers(), 1);
        // The window goes on working: a click still reaches the error display.
        QTest::mouseClick(window->btnConn, Qt::LeftButton);
        QCOMPARE(MessageBox::takeAnsweredBoxes().size(), 1);
    } else {
        QCOMPARE(window->connCalls, 1);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].kind, MessageBox::Kind::Critical);
        QCOMPARE(boxes[0].title, TestProgramName);
        QCOMPARE(boxes[0].text, shownText);
        QCOMPARE(boxes[0].buttons, MessageBox::Buttons(MessageBox::Ok));
    }
}

// ---- Drops ------------------------------------------------------------------------------------

void TfrmBB10Test::dropsReachTheHandler_data() {
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("target");
    QTest::newRow("main screen, address field") << "pMain"
                                                << "edtIP";
    QTest::newRow("main screen, device card") << "pMain"
                                              << "lbDevice";
    QTest::newRow("install screen, list") << "pInstall"
                                          << "lstBarFile";
    QTest::newRow("install screen, bar") << "pInstall"
                                         << "btnAddBar";
    QTest::newRow("manage screen, list") << "pManage"
                                         << "lstApps";
    QTest::newRow("manage screen, heading") << "pManage"
                                            << "Label3";
}

void TfrmBB10Test::dropsReachTheHandler() {
    QFETCH(QString, screen);
    QFETCH(QString, target);
    auto window = MakeWindow();
    window->screens->setCurrentWidget(Child(*window, screen));
    ShowAndActivate(*window);

    const QList<QUrl> urls = {QUrl::fromLocalFile("/home/me/b game.bar"),
                              QUrl(QStringLiteral("https://example.org/x.bar")),
                              QUrl::fromLocalFile("/home/me/a.BAR")};
    QVERIFY(DropOn(*window, Child(*window, target), urls));
    QCOMPARE(window->drops.size(), 1);
    QCOMPARE(window->drops[0], (QStringList{"/home/me/b game.bar", "/home/me/a.BAR"}));
    QCOMPARE(window->screens->currentWidget()->objectName(), screen);
}

void TfrmBB10Test::dragsWithoutFilesAreRefused() {
    auto window = MakeWindow();
    ShowAndActivate(*window);
    QVERIFY(!DropOn(*window, window->lbDevice, {QUrl(QStringLiteral("https://example.org/"))}));
    QVERIFY(window->drops.isEmpty());
}

// ---- Connection panel -------------------------------------------------------------------------

void TfrmBB10Test::addressSuggestion_data() {
    QTest::addColumn<QStringList>("localAddresses");
    QTest::addColumn<QString>("field");
    QTest::newRow("link-local address, last group lowered")
        << QStringList{"192.168.1.20", "169.254.36.2"} << "169.254.36 .1  ";
    QTest::newRow("no link-local address keeps the typed address")
        << QStringList{"192.168.1.20"} << "10 .0  .0  .5  ";
    QTest::newRow("no address at all keeps the typed address")
        << QStringList{} << "10 .0  .0  .5  ";
    QTest::newRow("last group 0 gives -1: that group stays unfilled")
        << QStringList{"169.254.7.0"} << "169.254.7  .   ";
}

void TfrmBB10Test::addressSuggestion() {
    QFETCH(QStringList, localAddresses);
    QFETCH(QString, field);
    WindowWorld world;
    auto window = MakeWindow(world);
    ShowAndActivate(*window);
    window->edtIP->setAddressText(QStringLiteral("10.0.0.5"));
    *world.addresses = doubles::FixedLocalAddresses(localAddresses);

    ClickControl(*window, "btnRefresh");
    QCOMPARE(window->edtIP->maskedText(), field);
}

void TfrmBB10Test::addressFieldTextIsAlwaysFifteenCharacters() {
    auto window = MakeWindow();
    ShowAndActivate(*window);
    window->edtIP->setAddressText(QString());
    window->edtIP->setFocus();
    window->edtIP->home(false);
    QTest::keyClicks(window->edtIP, QStringLiteral("192x168"));
    QCOMPARE(window->edtIP->maskedText(), QStringLiteral("192.168.   .   "));
    window->edtIP->setAddressText(QStringLiteral("10.0.0.1"));
    QCOMPARE(window->edtIP->maskedText(), QStringLiteral("10 .0  .0  .1  "));
}

// Wherever the click lands in the empty field, an address typed key by key, with a dot to end a
// short group, fills the groups in order.
void TfrmBB10Test::typingIntoTheClickedEmptyAddressField_data() {
    QTest::addColumn<double>("clickAt"); // a fraction of the field's width
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("field");
    QTest::newRow("169.254.0.1, clicked in the middle") << 0.5 << "169.254.0.1"
                                                        << "169.254.0  .1  ";
    QTest::newRow("169.254.0.1, clicked at the right end") << 0.95 << "169.254.0.1"
                                                           << "169.254.0  .1  ";
    QTest::newRow("169.254.0.1, clicked at the left end") << 0.05 << "169.254.0.1"
                                                          << "169.254.0  .1  ";
    QTest::newRow("short groups, clicked in the third group") << 0.6 << "10.0.12.7"
                                                              << "10 .0  .12 .7  ";
    QTest::newRow("full groups need no dots") << 0.3 << "192168100200"
                                              << "192.168.100.200";
}

void TfrmBB10Test::typingIntoTheClickedEmptyAddressField() {
    QFETCH(double, clickAt);
    QFETCH(QString, typed);
    QFETCH(QString, field);
    auto window = MakeWindow();
    ShowAndActivate(*window);
    AddressEdit* edit = window->edtIP;
    edit->setAddressText(QString());
    window->edtPwd->setFocus(); // the click brings the focus, as it does for a user

    const QPoint at(int(edit->width() * clickAt), edit->height() / 2);
    QTest::mouseClick(edit, Qt::LeftButton, {}, at);
    QVERIFY(edit->hasFocus());
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->maskedText(), field);
}

void TfrmBB10Test::passwordReveal_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("releasedOverButton");
    QTest::addColumn<bool>("hiddenAgain");
    QTest::newRow("left, released over it") << int(Qt::LeftButton) << true << true;
    QTest::newRow("left, released elsewhere") << int(Qt::LeftButton) << false << true;
    QTest::newRow("right, released over it") << int(Qt::RightButton) << true << true;
    QTest::newRow("right, released elsewhere") << int(Qt::RightButton) << false << false;
    QTest::newRow("middle, released elsewhere") << int(Qt::MiddleButton) << false << false;
}

void TfrmBB10Test::passwordReveal() {
    QFETCH(int, button);
    QFETCH(bool, releasedOverButton);
    QFETCH(bool, hiddenAgain);
    auto window = MakeWindow();
    ShowAndActivate(*window);
    window->edtPwd->setText(QStringLiteral("abc"));
    QCOMPARE(window->edtPwd->displayText(), QStringLiteral("***"));

    const auto mouseButton = Qt::MouseButton(button);
    QTest::mousePress(window->SpeedButton1, mouseButton);
    QCOMPARE(window->edtPwd->displayText(), QStringLiteral("abc"));
    const QPoint at = releasedOverButton ? window->SpeedButton1->rect().center() : QPoint(-40, 5);
    QTest::mouseRelease(window->SpeedButton1, mouseButton, {}, at);
    QCOMPARE(window->edtPwd->displayText(),
             hiddenAgain ? QStringLiteral("***") : QStringLiteral("abc"));
    QCOMPARE(window->edtPwd->text(), QStringLiteral("abc"));
}

void TfrmBB10Test::developmentModeHelp() {
    auto window = MakeWindow();
    ShowAndActivate(*window);
    MessageBox::setNextAnswer(MessageBox::Ok);
    ClickControl(*window, "lbDevModeOn");
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].kind, MessageBox::Kind::Plain);
    QCOMPARE(boxes[0].title, TestProgramName);
    QCOMPARE(boxes[0].text, QStringLiteral("Go to Settings -> Security and Privacy -> Development "
                                           "Mode\rSet \"Use Development Mode\" to On"));
}

void TfrmBB10Test::formShow_data() {
    QTest::addColumn<QString>("registry");
    QTest::addColumn<bool>("suggestionFails");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("javaBinDir");
    QTest::addColumn<QString>("error");
    QTest::newRow("runtime found") << "runtime" << false << "169.254.36 .1  "
                                   << "/usr/lib/jvm/java-17/bin"
                                   << "";
    QTest::newRow("no runtime") << "empty" << false << "169.254.36 .1  "
                                << ""
                                << "";
    QTest::newRow("unreadable sub-key: error display, no runtime")
        << "denied" << false << "169.254.36 .1  "
        << ""
        << "Permission denied.";
    QTest::newRow("failing suggestion skips the discovery")
        << "runtime" << true << "169.254.0  .1  "
        << ""
        << "No network.";
}

void TfrmBB10Test::formShow() {
    QFETCH(QString, registry);
    QFETCH(bool, suggestionFails);
    QFETCH(QString, field);
    QFETCH(QString, javaBinDir);
    QFETCH(QString, error);
    WindowWorld world;
    *world.addresses = doubles::FixedLocalAddresses({"192.168.1.20", "169.254.36.2"});
    const QString runtimes = JavaFirstBaseKey;
    if (registry == "runtime") {
        world.registry->addKey(runtimes + "\\1.8");
        world.registry->setString(runtimes + "\\17", "JavaHome", "/usr/lib/jvm/java-17");
    } else if (registry == "denied") {
        world.registry->setString(runtimes + "\\17", "JavaHome", "/usr/lib/jvm/java-17");
        world.registry->denyAccess(runtimes + "\\17", "Permission denied");
    }
    auto window = MakeWindow(world);
    if (suggestionFails) {
        window->refreshFailure = [] { throw Error(QStringLiteral("No network")); };
    }
    scope_.answerAnyBox();

    ShowAndActivate(*window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->edtIP->maskedText(), field);
    QCOMPARE(window->JavaBinDir, javaBinDir);
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), error.isEmpty() ? 0 : 1);
    if (!error.isEmpty()) {
        QCOMPARE(boxes[0].kind, MessageBox::Kind::Critical);
        QCOMPARE(boxes[0].title, TestProgramName);
        QCOMPARE(boxes[0].text, error);
    }
    // Shown once: a second showing runs nothing again.
    window->hide();
    window->show();
    QCOMPARE(MessageBox::takeAnsweredBoxes().size(), 0);
}

// ---- Components -------------------------------------------------------------------------------

void TfrmBB10Test::openDialogGoesThroughTheSeam() {
    auto window = MakeWindow();
    window->OpenDialog1->setTitle(QStringLiteral("Select PlayBook BAR files"));
    window->OpenDialog1->setFilter(QStringLiteral("BAR file|*.bar|All files|*"));
    FileDialog::setNextFileNames({"/b/two.bar", "/a/one.bar"});
    FileDialog::setNextFileNames({});

    QVERIFY(window->OpenDialog1->execute());
    QCOMPARE(window->OpenDialog1->files(), (QStringList{"/b/two.bar", "/a/one.bar"}));
    QVERIFY(!window->OpenDialog1->execute()); // cancelled
    QVERIFY(window->OpenDialog1->files().isEmpty());
    const QList<FileDialog::Request> requests = FileDialog::takeAnsweredRequests();
    QCOMPARE(requests.size(), 2);
    QCOMPARE(requests[0].title, QStringLiteral("Select PlayBook BAR files"));
    QCOMPARE(requests[0].filter, QStringLiteral("BAR file (*.bar);;All files (*)"));
}

QTEST_MAIN(TfrmBB10Test)
// ---- Information panel -----------------------------------------------------------------------

// A value longer than its label is cut with "…" and shown whole in the tooltip; one that fits is
// shown as it is, without a tooltip. The label is drawn exactly as a plain label holding the
// shown text.
void TfrmBB10Test::valueLabelsCutLongValues_data() {
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("cut");
    const QString longName =
        QStringLiteral("Kestrane's BlackBerry Z30 with the longest device name anyone has typed");
    for (const char* name : {"lbDevName", "lbModelNum", "lbHWID", "lbIMEI", "lbSerial", "lbPIN",
                             "lbOS", "lbVersion", "lbAirVer", "lbFlashVer"}) {
        QTest::addRow("%s, long", name) << name << longName << true;
    }
    QTest::newRow("lbDevName, fits") << "lbDevName"
                                     << "Kestrane Z30" << false;
    QTest::newRow("lbOS, fits") << "lbOS"
                                << "BlackBerry 10" << false;
}

void TfrmBB10Test::valueLabelsCutLongValues() {
    QFETCH(QString, label);
    QFETCH(QString, value);
    QFETCH(bool, cut);
    auto window = MakeWindow();
    ShowAndActivate(*window);
    // Set as the window sets a device's values: through the label's own setText.
    auto* shown = window->findChild<QLabel*>(label);
    shown->setText(value);
    auto* eliding = qobject_cast<ElidingLabel*>(shown);
    QVERIFY(eliding != nullptr);

    QCOMPARE(shown->text(), value);
    const QString drawn = eliding->shownText();
    QCOMPARE(drawn == value, !cut);
    if (cut) {
        QVERIFY2(drawn.endsWith(QChar(0x2026)), qPrintable(drawn));
        QVERIFY(value.startsWith(drawn.chopped(1)));
    }
    QVERIFY(shown->fontMetrics().horizontalAdvance(drawn) <= shown->width());

    QLabel plain(window->Panel3);
    plain.setGeometry(shown->geometry());
    plain.setFont(shown->font());
    plain.setPalette(shown->palette());
    plain.setText(drawn);
    QCOMPARE(shown->grab().toImage(), plain.grab().toImage());

    QToolTip::hideText();
    QHelpEvent help(QEvent::ToolTip, shown->rect().center(),
                    shown->mapToGlobal(shown->rect().center()));
    QCoreApplication::sendEvent(shown, &help);
    QCOMPARE(QToolTip::isVisible(), cut);
    if (cut) {
        QCOMPARE(QToolTip::text(), value);
    }
    QToolTip::hideText();
}

#include "TfrmBB10Test.moc"
