// The install list and the installation run headless: BAR files written by the test, a scripted
// deploy tool answering in chunks, message boxes answered by the test.

#include "BarFixture.h"
#include "DeployCommand.h"
#include "DeviceCommands.h"
#include "HandlerGuard.h"
#include "ListColumns.h"
#include "MessageBox.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

using namespace kestrane;
using namespace kestrane::testing;
using doubles::FakeConsoleAnswer;

namespace {

const QString MissingJavaMessage =
    QStringLiteral("You have to install Java Runtime Environment before using this Utility");

QStringList Names(const QTreeWidget* list) {
    QStringList names;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        names.append(list->topLevelItem(i)->text(BarColumn::Name));
    return names;
}

QStringList Column(const QTreeWidget* list, int column) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts.append(list->topLevelItem(i)->text(column));
    return texts;
}

QList<int> SelectedRows(const QTreeWidget* list) {
    QList<int> rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->isSelected())
            rows.append(i);
    return rows;
}

QString Progress(int percent) {
    return QStringLiteral("Info: Progress %1%\r\n").arg(percent);
}

} // namespace

class InstallListTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        PrepareWindowSuite();
        QVERIFY(appDir_.isValid() && javaBinDir_.isValid() && bars_.isValid());
        QVERIFY(PlaceFakeDeployTool(appDir_.path(), javaBinDir_.path()));
    }
    void init() {
        scope_.begin();
        world_ = WindowWorld();
        window_ = std::make_unique<TfrmBB10>(world_.services());
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        window_->AppDir = appDir_.path();
        window_->JavaBinDir = javaBinDir_.path();
        QVERIFY(ConnectAsUser(*window_, *world_.runner));
    }
    void cleanup() {
        window_.reset();
        const QString left = scope_.end();
        QVERIFY2(left.isEmpty(), qPrintable(left));
    }

    void addsInNameOrderAndSkipsListedApplications();
    void unnamedRowsStayLastUntilTheNextNamedAdd();
    void dropsAddBarFilesOnlyWhateverScreenIsOnTop();
    void theDialogOpensWhereBarsWereLastChosen();
    void anErrorEndsTheAdd_data();
    void anErrorEndsTheAdd();
    void headerClicksSortByColumn();
    void movingRowsTakesStatusAndHiddenTexts();
    void removingAndClearing();

    void installsEachRow_data();
    void installsEachRow();
    void abortEndsTheRunIgnoreGoesOn();
    void aRepeatedRunKeepsTheLastResultUntilNewProgress();
    void theListIsHeldBackWhileARunRuns();
    void aSilentDeviceEndsTheRowAfterTheLimit();
    void nothingRunsWithoutJavaOrRows();
    void eachPathIsOneQuotedArgument();
    void debugTokensAndRequirementsBeforeAndAfterTheRun();
    void launchAfterInstallingRunsItInTheSameRun();
    void theDevicesListConfirmsTheInstallations();
    void noPasswordIsSentAfterTheLastAttemptUnasked();

private:
    QString WriteBar(const QString& fileName, const QByteArray& manifest) {
        const QString path = bars_.filePath(fileName);
        test::WriteStoredZip(path, {{"META-INF/MANIFEST.MF", manifest}, {"native/app", "x"}});
        return path;
    }
    QString NamedBar(const QString& fileName, const QByteArray& appName,
                     const QByteArray& version = "1.0") {
        return WriteBar(fileName, "Application-Name: " + appName + "\r\nApplication-Version: " +
                                      version + "\r\nEntry-Point-Type: Qnx/Elf\r\n");
    }
    void Add(const QStringList& paths) {
        FileDialog::setNextFileNames(paths);
        RunHandler(window_.get(), HandlerOrigin::Click, [&] { window_->btnAddBarClick(); });
    }
    // Drops the files on the list, through the window system's side of the window.
    void Drop(const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.append(QUrl::fromLocalFile(path));
        data.setUrls(urls);
        QWidget* target = window_->screens->currentWidget();
        const QPoint at = target->mapTo(window_.get(), target->rect().center());
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window_->windowHandle(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window_->windowHandle(), &drop);
        QVERIFY(drop.isAccepted());
    }
    // Adds one row per name, in that order (the list then shows them in name order).
    void AddRows(const QStringList& names) {
        QStringList paths;
        for (const QString& name : names)
            paths.append(NamedBar(name + QStringLiteral(".bar"), name.toUtf8()));
        Add(paths);
    }
    // Every Status text row shows from now on, in order, each change once.
    QStringList* WatchStatus(int row) {
        auto* seen =
            new QStringList{window_->lstBarFile->topLevelItem(row)->text(BarColumn::Status)};
        connect(window_->lstBarFile->model(), &QAbstractItemModel::dataChanged, window_.get(),
                [this, row, seen] {
                    QTreeWidgetItem* item = window_->lstBarFile->topLevelItem(row);
                    if (item != nullptr &&
                        (seen->isEmpty() || seen->last() != item->text(BarColumn::Status)))
                        seen->append(item->text(BarColumn::Status));
                });
        return seen;
    }
    void Install() {
        QTest::mouseClick(window_->btnInstallBar, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!window_->InstallRunning(), 10000);
    }

    QTemporaryDir appDir_;
    QTemporaryDir javaBinDir_;
    QTemporaryDir bars_;
    WindowTestScope scope_;
    WindowWorld world_;
    std::unique_ptr<TfrmBB10> window_;
};

// ---- Adding -----------------------------------------------------------------------------------

void InstallListTest::addsInNameOrderAndSkipsListedApplications() {
    const QString beta = NamedBar(QStringLiteral("beta.bar"), "Beta", "2.1");
    Add({beta, NamedBar(QStringLiteral("alpha.bar"), "Alpha")});
    QTreeWidget* list = window_->lstBarFile;
    QCOMPARE(Names(list), (QStringList{"Alpha", "Beta"}));
    const QTreeWidgetItem* row = list->topLevelItem(1);
    QCOMPARE(row->text(BarColumn::Version), QStringLiteral("2.1"));
    QCOMPARE(row->text(BarColumn::Size), QString::number(QFileInfo(beta).size()));
    QCOMPARE(row->text(BarColumn::AppType), QStringLiteral("Native"));
    QCOMPARE(row->text(BarColumn::Path), beta);
    QCOMPARE(row->text(BarColumn::Status), QString());

    // The same file again: no row, the listed one selected and focused.
    Add({beta});
    QCOMPARE(Names(list), (QStringList{"Alpha", "Beta"}));
    QCOMPARE(SelectedRows(list), QList<int>{1});
    QTRY_VERIFY(list->hasFocus());

    // Containment: a new name that a listed one contains is a duplicate, not the other way.
    AddRows({"Maps Pro"});
    AddRows({"Maps"});
    QCOMPARE(Names(list), (QStringList{"Alpha", "Beta", "Maps Pro"}));
    list->clear();
    AddRows({"Maps", "Maps Pro"});
    QCOMPARE(Names(list), (QStringList{"Maps", "Maps Pro"}));
}

void InstallListTest::unnamedRowsStayLastUntilTheNextNamedAdd() {
    AddRows({"Zulu", "Echo"});
    Add({WriteBar(QStringLiteral("anon1.bar"), "Application-Version: 1\n"),
         WriteBar(QStringLiteral("anon2.bar"), "Application-Version: 2\n")});
    QTreeWidget* list = window_->lstBarFile;
    QCOMPARE(Names(list), (QStringList{"Echo", "Zulu", "", ""}));
    QCOMPARE(Column(list, BarColumn::Version), (QStringList{"1.0", "1.0", "1", "2"}));
    AddRows({"Tango"});
    QCOMPARE(Names(list), (QStringList{"", "", "Echo", "Tango", "Zulu"}));
}

void InstallListTest::dropsAddBarFilesOnlyWhateverScreenIsOnTop() {
    QCOMPARE(window_->screens->currentWidget(), window_->pMain);
    const QString upper = NamedBar(QStringLiteral("b.BAR"), "Upper");
    const QString text = bars_.filePath(QStringLiteral("c.txt"));
    QFile::copy(upper, text);
    Drop({NamedBar(QStringLiteral("a.bar"), "Lower"), upper, text});
    QCOMPARE(Names(window_->lstBarFile), (QStringList{"Lower", "Upper"}));
    QCOMPARE(window_->screens->currentWidget(), window_->pMain);
    QVERIFY(MessageBox::takeAnsweredBoxes().isEmpty());
}

void InstallListTest::theDialogOpensWhereBarsWereLastChosen() {
    const QString sub = bars_.filePath(QStringLiteral("sub"));
    QVERIFY(QDir().mkpath(sub));
    Add({NamedBar(QStringLiteral("sub/one.bar"), "One")});
    Add({});
    const QList<FileDialog::Request> requests = FileDialog::takeAnsweredRequests();
    QCOMPARE(requests.size(), 2);
    QCOMPARE(requests[0].title, QStringLiteral("Select PlayBook BAR files"));
    QCOMPARE(requests[0].filter, QStringLiteral("BAR file (*.bar)"));
    QCOMPARE(requests[0].folder, QDir::homePath());
    QCOMPARE(requests[1].folder, sub);
}

void InstallListTest::anErrorEndsTheAdd_data() {
    QTest::addColumn<bool>("byDrop");
    QTest::newRow("a click shows the error") << false;
    QTest::newRow("a drop discards it") << true;
}

void InstallListTest::anErrorEndsTheAdd() {
    QFETCH(bool, byDrop);
    const QString notZip = bars_.filePath(QStringLiteral("c.bar"));
    QFile file(notZip);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("plain text\n");
    file.close();
    const QStringList paths = {
        NamedBar(QStringLiteral("a.bar"), "A"), NamedBar(QStringLiteral("b.bar"), "B"), notZip,
        NamedBar(QStringLiteral("d.bar"), "D"), NamedBar(QStringLiteral("e.bar"), "E")};
    if (byDrop) {
        Drop(paths);
    } else {
        MessageBox::setNextAnswer(MessageBox::Ok);
        Add(paths);
    }
    QCOMPARE(Names(window_->lstBarFile), (QStringList{"A", "B"}));
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    if (byDrop) {
        QVERIFY(boxes.isEmpty());
    } else {
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].kind, MessageBox::Kind::Critical);
        QVERIFY2(boxes[0].text.startsWith(QStringLiteral("Invalid archive file")),
                 qPrintable(boxes[0].text));
    }
}

// ---- Ordering and removing --------------------------------------------------------------------

void InstallListTest::headerClicksSortByColumn() {
    QTreeWidget* list = window_->lstBarFile;
    // Sizes 999 and 1000 apart from the archive around them: padding in the manifest.
    const QByteArray small = "Application-Name: Small\nApplication-Version: 9.0\n";
    const QByteArray large = "Application-Name: Large\nApplication-Version: 10.0\n";
    Add({WriteBar(QStringLiteral("small.bar"), small),
         WriteBar(QStringLiteral("large.bar"), large + QByteArray(2000, '#'))});
    QCOMPARE(Names(list), (QStringList{"Large", "Small"}));

    const struct {
        int column;
        QStringList order;
    } clicks[] = {
        {BarColumn::Size, {"Large", "Small"}}, // the first click on another column: descending
        {BarColumn::Size, {"Small", "Large"}}, // the same column again: ascending
        {BarColumn::Version,
         {"Large", "Small"}}, // versions as text, still ascending: "10.0" before "9.0"
        {BarColumn::Status, {"Large", "Small"}}, // no status yet: all rows equal, order kept
    };
    for (const auto& click : clicks) {
        window_->lstBarFileColumnClick(click.column);
        QCOMPARE(Names(list), click.order);
    }
    QCOMPARE(window_->SortColumn, BarColumn::Status);
    QCOMPARE(window_->SortAscending, true);
    // The next add restores name order.
    AddRows({"Medium"});
    QCOMPARE(Names(list), (QStringList{"Large", "Medium", "Small"}));
}

void InstallListTest::movingRowsTakesStatusAndHiddenTexts() {
    AddRows({"A", "B", "C"});
    QTreeWidget* list = window_->lstBarFile;
    list->topLevelItem(2)->setText(BarColumn::Status, QStringLiteral("Done"));
    list->topLevelItem(2)->setData(
        0, BarSubItemsRole, QStringList{"1.0", "1", "Native", "/c.bar", "Done", "Loading..."});

    // Nothing selected, the first row up, the last down: nothing changes.
    window_->btnUpClick();
    list->topLevelItem(0)->setSelected(true);
    window_->btnUpClick();
    list->clearSelection();
    list->topLevelItem(2)->setSelected(true);
    window_->btnDownClick();
    QCOMPARE(Names(list), (QStringList{"A", "B", "C"}));

    window_->btnUpClick();
    QCOMPARE(Names(list), (QStringList{"A", "C", "B"}));
    QCOMPARE(SelectedRows(list), QList<int>{1});
    QCOMPARE(list->topLevelItem(1)->text(BarColumn::Status), QStringLiteral("Done"));
    QCOMPARE(list->topLevelItem(1)->data(0, BarSubItemsRole).toStringList().last(),
             QStringLiteral("Loading..."));
    QCOMPARE(list->topLevelItem(2)->text(BarColumn::Status), QString());
    window_->btnDownClick();
    QCOMPARE(Names(list), (QStringList{"A", "B", "C"}));
    QCOMPARE(SelectedRows(list), QList<int>{2});
}

void InstallListTest::removingAndClearing() {
    AddRows({"A", "B", "C", "D"});
    QTreeWidget* list = window_->lstBarFile;
    list->topLevelItem(0)->setSelected(true);
    list->topLevelItem(2)->setSelected(true);
    window_->RemoveSelectedItems1->trigger();
    QCOMPARE(Names(list), (QStringList{"B", "D"}));
    QTest::mouseClick(window_->btnClearList, Qt::LeftButton);
    QCOMPARE(list->topLevelItemCount(), 0);
}

// ---- The installation run ---------------------------------------------------------------------

void InstallListTest::installsEachRow_data() {
    QTest::addColumn<QStringList>("chunks");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("statuses"); // as the row shows them, in order
    QTest::addColumn<QString>("warning");      // how the row's warning begins; empty: none
    QTest::addColumn<QString>("reason");       // the row's line in the closing box

    QTest::newRow("progress 10, 50, 30, 100 in chunks of their own")
        << QStringList{Progress(10), Progress(50), Progress(30),
                       Progress(100) + "result::success\r\n"}
        << 0 << QStringList{"",
                            "Loading...",
                            "Installing ... (10%)",
                            "Installing ... (50%)",
                            "Installing ... (100%)",
                            "Done"}
        << ""
        << "";
    QTest::newRow("the success marker followed by another line in the same chunk")
        << QStringList{Progress(40), "result::success\r\nInfo: Done\r\n"} << 0
        << QStringList{"", "Loading...", "Installing ... (40%)", "Installing ... (100%)", "Done"}
        << ""
        << "";
    QTest::newRow("a progress line split across chunks")
        << QStringList{"12:00 Info: Prog", "ress 6", "0%\r", "\nresult::success"} << 0
        << QStringList{"", "Loading...", "Installing ... (60%)", "Installing ... (100%)", "Done"}
        << ""
        << "";
    QTest::newRow("a tool that writes nothing")
        << QStringList{} << 0 << QStringList{"", "Loading...", "Error"}
        << "The deploy tool ended without reporting the installation's result."
        << "the installation's result was not reported";
    QTest::newRow("exit 2 after a success-looking line")
        << QStringList{Progress(100), "result::success\r\n"} << 2
        << QStringList{"", "Loading...", "Installing ... (100%)", "Error"}
        << "The deploy tool failed (exit code 2) without saying why."
        << "failed with exit code 2";
    QTest::newRow("an error line after full progress")
        << QStringList{Progress(100), "Error: package refused\r\n"} << 0
        << QStringList{"", "Loading...", "Installing ... (100%)", "Error"}
        << "Error: package refused"
        << "Error: package refused";
    QTest::newRow("the device refuses the package: the reason leads, once")
        << QStringList{Progress(100), "actual_dname::\r\nactual_id::\r\nactual_version::\r\n"
                                      "result::failure 881 no debug token found\r\n"}
        << 2 << QStringList{"", "Loading...", "Installing ... (100%)", "Error"}
        << "The device refused the application: it has no debug token"
        << "no debug token on the device (881)";
}

void InstallListTest::installsEachRow() {
    QFETCH(QStringList, chunks);
    QFETCH(int, exitCode);
    QFETCH(QStringList, statuses);
    QFETCH(QString, warning);
    QFETCH(QString, reason);
    AddRows({"App"});
    world_.runner->addAnswer(FakeConsoleAnswer{chunks, exitCode});
    if (!warning.isEmpty())
        MessageBox::setNextAnswer(MessageBox::Ignore);
    MessageBox::setNextAnswer(MessageBox::Ok);
    std::unique_ptr<QStringList> seen(WatchStatus(0));
    Install();

    QCOMPARE(*seen, statuses);
    QCOMPARE(world_.runner->runs().size(), 1);
    QCOMPARE(world_.runner->runs()[0].feed, ConsoleJob::Feed::Lines);
    QCOMPARE(window_->lstBarFile->topLevelItem(0)->data(BarColumn::Status, BarProgressRole),
             QVariant());
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    if (warning.isEmpty()) {
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("Installation finished"));
        return;
    }
    // The warning leads with the cause, the tool's text behind its details; the closing box
    // names the row with its one-line reason, without the tool's text again.
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[0].kind, MessageBox::Kind::Warning);
    QCOMPARE(boxes[0].title, QStringLiteral("Warning"));
    QCOMPARE(boxes[0].buttons, MessageBox::Abort | MessageBox::Ignore);
    QVERIFY2(boxes[0].text.startsWith(warning), qPrintable(boxes[0].text));
    QCOMPARE(boxes[0].details, ToolOutputText(chunks.join(QString())));
    QCOMPARE(boxes[1].kind, MessageBox::Kind::Plain);
    QCOMPARE(boxes[1].text, "Installation finished. Not installed:\nApp (App.bar): " + reason);
}

void InstallListTest::abortEndsTheRunIgnoreGoesOn() {
    AddRows({"A", "B", "C"});
    QTreeWidget* list = window_->lstBarFile;
    const QString success = Progress(100) + "result::success\r\n";
    // First run: A fails and is ignored, B and C succeed.
    world_.runner->addAnswer("Error: refused\r\n", 2);
    world_.runner->addAnswer(success);
    world_.runner->addAnswer(success);
    MessageBox::setNextAnswer(MessageBox::Ignore);
    MessageBox::setNextAnswer(MessageBox::Ok);
    Install();
    QCOMPARE(Column(list, BarColumn::Status), (QStringList{"Error", "Done", "Done"}));
    QCOMPARE(MessageBox::takeAnsweredBoxes().last().text,
             QStringLiteral("Installation finished. Not installed:\nA (A.bar): Error: refused"));
    QCOMPARE(SelectedRows(list), (QList<int>{0, 1, 2}));

    // Second run: A fails again and the user aborts: B and C keep their status, nothing closes.
    world_.runner->addAnswer("Error: refused again\r\n", 2);
    MessageBox::setNextAnswer(MessageBox::Abort);
    Install();
    QCOMPARE(world_.runner->runs().size(), 4);
    QCOMPARE(Column(list, BarColumn::Status), (QStringList{"Error", "Done", "Done"}));
    QCOMPARE(SelectedRows(list), QList<int>{0});
    QCOMPARE(MessageBox::takeAnsweredBoxes().size(), 1);

    // Third run: the last row fails and is ignored: the closing box names it with its reason.
    world_.runner->addAnswer(success);
    world_.runner->addAnswer(success);
    world_.runner->addAnswer("Error: no space left\r\n", 2);
    MessageBox::setNextAnswer(MessageBox::Ignore);
    MessageBox::setNextAnswer(MessageBox::Ok);
    Install();
    QCOMPARE(Column(list, BarColumn::Status), (QStringList{"Done", "Done", "Error"}));
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[1].text, QStringLiteral("Installation finished. Not installed:\n"
                                           "C (C.bar): Error: no space left"));
}

void InstallListTest::aRepeatedRunKeepsTheLastResultUntilNewProgress() {
    AddRows({"App"});
    const QStringList chunks = {Progress(30), Progress(100), "result::success\r\n"};
    world_.runner->addAnswer(FakeConsoleAnswer{chunks, 0});
    world_.runner->addAnswer(FakeConsoleAnswer{chunks, 0});
    MessageBox::setNextAnswer(MessageBox::Ok);
    MessageBox::setNextAnswer(MessageBox::Ok);
    Install();
    std::unique_ptr<QStringList> seen(WatchStatus(0));
    Install();
    QCOMPARE(*seen, (QStringList{"Done", "Installing ... (30%)", "Installing ... (100%)", "Done"}));
    // Each run appended its "Loading..."; the second lies beyond the Status column.
    const QStringList subItems =
        window_->lstBarFile->topLevelItem(0)->data(0, BarSubItemsRole).toStringList();
    QCOMPARE(subItems.mid(4), (QStringList{"Done", "Loading..."}));
}

void InstallListTest::theListIsHeldBackWhileARunRuns() {
    AddRows({"A", "B"});
    QTreeWidget* list = window_->lstBarFile;
    world_.runner->addAnswer("result::success\r\n");
    world_.runner->addAnswer("result::success\r\n");
    world_.runner->setHoldAnswers(true);
    QTest::mouseClick(window_->btnInstallBar, Qt::LeftButton);
    QVERIFY(window_->InstallRunning());
    for (QWidget* control :
         {static_cast<QWidget*>(window_->btnInstallBar), static_cast<QWidget*>(window_->btnAddBar),
          static_cast<QWidget*>(window_->btnUp), static_cast<QWidget*>(window_->btnDown),
          static_cast<QWidget*>(window_->btnClearList)})
        QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
    QVERIFY(!window_->RemoveSelectedItems1->isEnabled());

    // The actions that are not buttons check for themselves.
    Drop({NamedBar(QStringLiteral("c.bar"), "C")});
    window_->lstBarFileColumnClick(2);
    list->topLevelItem(0)->setSelected(true);
    window_->RemoveSelectedItems1Click();
    window_->btnClearListClick();
    window_->btnInstallBarClick();
    QCOMPARE(Names(list), (QStringList{"A", "B"}));
    QCOMPARE(world_.runner->runs().size(), 1);
    // Navigation stays free.
    QTest::mouseClick(window_->SpeedButton3, Qt::LeftButton);
    QCOMPARE(window_->screens->currentWidget(), window_->pMain);

    world_.runner->setHoldAnswers(false);
    MessageBox::setNextAnswer(MessageBox::Ok);
    world_.runner->releaseAll();
    QTRY_VERIFY(!window_->InstallRunning());
    QCOMPARE(Column(list, BarColumn::Status), (QStringList{"Done", "Done"}));
    QVERIFY(window_->btnInstallBar->isEnabled());
    QVERIFY(window_->btnAddBar->isEnabled());
    QVERIFY(window_->RemoveSelectedItems1->isEnabled());
}

void InstallListTest::aSilentDeviceEndsTheRowAfterTheLimit() {
    AddRows({"A", "B"});
    window_->deviceCommands().silenceLimits().installation = std::chrono::milliseconds(300);
    world_.runner->addAnswer(Progress(40)); // never delivered: the device stays silent
    world_.runner->addAnswer("result::success\r\n");
    world_.runner->setHoldAnswers(true);
    MessageBox::setNextAnswer(MessageBox::Ignore);
    MessageBox::setNextAnswer(MessageBox::Ok);
    QTest::mouseClick(window_->btnInstallBar, Qt::LeftButton);
    // The first row's tool never answers; the second's is released once it has started.
    QTRY_COMPARE(world_.runner->runs().size(), 2);
    world_.runner->lastJob()->release();
    QTRY_VERIFY(!window_->InstallRunning());
    QCOMPARE(Column(window_->lstBarFile, BarColumn::Status), (QStringList{"Error", "Done"}));
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 2);
    QVERIFY(boxes[0].text.startsWith(SilenceMessage(std::chrono::milliseconds(300))));
    QCOMPARE(boxes[1].text, QStringLiteral("Installation finished. Not installed:\n"
                                           "A (A.bar): no answer within the time limit"));
}

void InstallListTest::nothingRunsWithoutJavaOrRows() {
    // An empty list: nothing runs and nothing is said, whatever the address field holds.
    window_->edtIP->clear();
    QTest::mouseClick(window_->btnInstallBar, Qt::LeftButton);
    QVERIFY(!window_->InstallRunning());
    QVERIFY(MessageBox::takeAnsweredBoxes().isEmpty());
    window_->edtIP->setAddressText(QStringLiteral("169.254.0.1"));

    AddRows({"A"});
    window_->JavaBinDir.clear();
    MessageBox::setNextAnswer(MessageBox::Ok);
    QTest::mouseClick(window_->btnInstallBar, Qt::LeftButton);
    const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].text, MissingJavaMessage);
    QCOMPARE(world_.runner->runs().size(), 0);
    QCOMPARE(window_->lstBarFile->topLevelItem(0)->data(0, BarSubItemsRole).toStringList().size(),
             4);
}

void InstallListTest::eachPathIsOneQuotedArgument() {
    const QStringList fileNames = {"plain.bar",       "with blank.bar", "quote\"s.bar",  "it's.bar",
                                   "dollar$HOME.bar", "semi;colon.bar", "back`tick`.bar"};
    QStringList paths;
    for (int i = 0; i < fileNames.size(); ++i)
        paths.append(NamedBar(fileNames[i], "App " + QByteArray(1, char('A' + i))));
    Add(paths);
    for (int i = 0; i < fileNames.size(); ++i)
        world_.runner->addAnswer("result::success\r\n");
    MessageBox::setNextAnswer(MessageBox::Ok);
    Install();
    // The fields changed since Connect: the run still goes to the connected phone.
    window_->edtIP->setAddressText(QStringLiteral("169.254.2.1"));
    window_->edtPwd->setText(QStringLiteral("playbook"));
    const QStringList head{"-jar",        appDir_.path() + "/lib/BarDeploy.jar",
                           "-installApp", "-device",
                           "169.254.0.1", "-password",
                           "z30"};
    QCOMPARE(world_.runner->runs().size(), paths.size());
    for (int i = 0; i < paths.size(); ++i) {
        QCOMPARE(world_.runner->runs()[i].fileArguments, head + QStringList{paths[i]});
        QCOMPARE(world_.runner->runs()[i].workingDir, javaBinDir_.path());
    }
    QCOMPARE(QDir::currentPath(), QDir(javaBinDir_.path()).canonicalPath());
}

QTEST_MAIN(InstallListTest)
#include "InstallListTest.moc"

// Notes before the run for a phone on an older OS without a debug token; the token goes with
// -installDebugToken, and the device information is read again after it, so the main screen
// shows the new token.
void InstallListTest::debugTokensAndRequirementsBeforeAndAfterTheRun() {
    world_.runner->addAnswer(
        TestPhoneInformation +
        QStringLiteral("scmbundle::10.2.1.3247\n[n]@devmode\n[n]debug_token_installed:b:false\n"));
    window_->btnConnClick();
    QVERIFY(world_.runner->waitForAll());
    world_.runner->forgetRuns();
    QCOMPARE(window_->lbDebugToken->text(), QStringLiteral("No debug token"));
    // The test phone's PIN 2A2B3C4D is 707476557.
    const QByteArray token = "Package-Type: debug-token\r\nDebug-Token-Expiry-Date: 2099-01-31\r\n";
    Add({WriteBar(QStringLiteral("token.bar"), "Application-Name: Debug Token\r\n" + token +
                                                   "Debug-Token-Device-Id: 1,707476557\r\n"),
         WriteBar(QStringLiteral("newer.bar"),
                  "Application-Name: Newer\r\nApplication-Requires-System: BlackBerry "
                  "10/10.3.0.0\r\n"),
         WriteBar(QStringLiteral("other.bar"),
                  "Application-Name: Other Token\r\n" + token + "Debug-Token-Device-Id: 1\r\n")});
    QTreeWidget* list = window_->lstBarFile;
    QCOMPARE(Names(list), (QStringList{"Debug Token", "Newer", "Other Token"}));
    QCOMPARE(Column(list, BarColumn::AppType), (QStringList{"Debug token", "", "Debug token"}));
    QCOMPARE(Column(list, BarColumn::Status),
             (QStringList{"Valid until 2099-01-31", "Needs OS 10.3.0.0", "Not for this device"}));
    QCOMPARE(list->topLevelItem(1)->toolTip(BarColumn::Status),
             QStringLiteral("Needs OS 10.3.0.0; the device has 10.2.1.3247. The device will "
                            "refuse it."));

    // The run takes the debug tokens first, then the application.
    world_.runner->addAnswer(
        QStringLiteral("Info: Action: Install Debug Token\nresult::success\n"));
    world_.runner->addAnswer(QStringLiteral("result::failure 500 invalid token\n"), 2);
    world_.runner->addAnswer(
        QStringLiteral("Info: Progress 10%...\nresult::failure 533 Application-Requires-System: "
                       "version forbidden\n"),
        2);
    world_.runner->addAnswer(TestPhoneInformation +
                             QStringLiteral("[n]@devmode\n[n]debug_token_installed:b:true\n"
                                            "[n]debug_token_valid:b:true\n[n]debug_token_"
                                            "expiration::Sat Jan 31 12:00:00 GMT+0200 2099\n"));
    MessageBox::setNextAnswer(MessageBox::Ignore);
    MessageBox::setNextAnswer(MessageBox::Ignore);
    MessageBox::setNextAnswer(MessageBox::Ok);
    Install();
    QVERIFY(world_.runner->waitForAll());
    QCOMPARE(Column(list, BarColumn::Status), (QStringList{"Done", "Error", "Error"}));
    const auto runs = world_.runner->runs();
    QCOMPARE(runs.size(), 4);
    QCOMPARE(runs[0].fileArguments.mid(2, 2),
             (QStringList{"-installDebugToken", list->topLevelItem(0)->text(BarColumn::Path)}));
    QCOMPARE(runs[1].fileArguments.mid(2, 2),
             (QStringList{"-installDebugToken", list->topLevelItem(2)->text(BarColumn::Path)}));
    QVERIFY(runs[2].fileArguments.contains(QStringLiteral("-installApp")));
    QVERIFY(runs[3].fileArguments.contains(QStringLiteral("-listDeviceInfo")));
    QCOMPARE(window_->lbDebugToken->text(), QStringLiteral("Debug token valid until 2099-01-31"));
}

// With the option on, one run installs and launches, and the row says the application runs; the
// option is remembered.
void InstallListTest::launchAfterInstallingRunsItInTheSameRun() {
    Add({WriteBar(QStringLiteral("maps.bar"),
                  "Application-Name: Maps\r\nPackage-Name: com.example.maps\r\nPackage-Id: "
                  "testDev_maps\r\n")});
    QVERIFY(!window_->cbLaunchAfterInstall->isChecked());
    window_->cbLaunchAfterInstall->click();
    QVERIFY(KestraneSettings().value(LaunchAfterInstallKey).toBool());
    world_.runner->addAnswer(
        QStringLiteral("Info: Progress 100%...\nresult::success\n"
                       "Info: Launching com.example.maps.testDev_maps...\nresult::4242\n"));
    world_.runner->addAnswer(QStringLiteral("Info: Sending request: LIST\n"
                                            "com.example.maps.testDev_maps::testDev_maps,1.0.0.0,"
                                            ",,1,name::Maps,source::developer\n"));
    MessageBox::setNextAnswer(MessageBox::Ok);
    Install();
    QCOMPARE(Column(window_->lstBarFile, BarColumn::Status), QStringList{"Running (PID 4242)"});
    QCOMPARE(window_->lstBarFile->topLevelItem(0)->toolTip(BarColumn::Status),
             QStringLiteral("Installed and launched (PID 4242)"));
    const QStringList arguments = world_.runner->runs().value(0).fileArguments;
    QCOMPARE(arguments.mid(2, 2), (QStringList{"-installApp", "-launchApp"}));
}

namespace {

// An installation as the device answers it, naming what it installed.
QString InstalledAnswer(const QString& package, const QString& version) {
    return QStringLiteral("Info: Sending request: INSTALL\nInfo: Progress 100%...\n"
                          "actual_dname::%1.testDev_x1\nactual_id::testDev_x1\n"
                          "actual_version::%2\nresult::success\n")
        .arg(package, version);
}

} // namespace

// After the run, one listing shows whether each package stands at its BAR's version; a row the
// list does not confirm says so in its cell and tooltip, and the closing box names it. A listing
// that fails leaves the rows installed and says they were not confirmed.
void InstallListTest::theDevicesListConfirmsTheInstallations() {
    Add({WriteBar(QStringLiteral("clock.bar"),
                  "Application-Name: Clock\r\nPackage-Name: com.example.clock\r\n"
                  "Package-Version: 2.0.0.0\r\nApplication-Version: 2.0.0\r\n"),
         WriteBar(QStringLiteral("maps.bar"),
                  "Application-Name: Maps\r\nPackage-Name: com.example.maps\r\n"
                  "Package-Version: 1.0.0.1\r\n")});
    QTreeWidget* list = window_->lstBarFile;
    world_.runner->addAnswer(InstalledAnswer("com.example.clock", "2.0.0.0"));
    world_.runner->addAnswer(InstalledAnswer("com.example.maps", "1.0.0.1"));
    world_.runner->addAnswer(QStringLiteral(
        "Info: Sending request: LIST\n"
        "com.example.clock.testDev_x1::testDev_x1,1.9.0.0,,,1,name::Clock,source::developer\n"
        "com.example.maps.testDev_x1::testDev_x1,1.0.0.1,,,1,name::Maps,source::developer\n"));
    MessageBox::setNextAnswer(MessageBox::Ok);
    Install();
    QCOMPARE(Column(list, BarColumn::Status),
             (QStringList{"Installed, but the device lists version 1.9.0.0", "Done"}));
    QCOMPARE(list->topLevelItem(0)->toolTip(BarColumn::Status),
             QStringLiteral("Installed, but the device lists version 1.9.0.0"));
    QCOMPARE(world_.runner->runs().size(), 3);
    QVERIFY(world_.runner->runs()[2].fileArguments.contains(QStringLiteral("-listInstalledApps")));
    QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].text, QStringLiteral("Installation finished\nThe device does not list these "
                                           "as installed:\nClock (clock.bar): Installed, but the "
                                           "device lists version 1.9.0.0"));

    world_.runner->forgetRuns();
    world_.runner->addAnswer(InstalledAnswer("com.example.clock", "2.0.0.0"));
    world_.runner->addAnswer(InstalledAnswer("com.example.maps", "1.0.0.1"));
    world_.runner->addAnswer(QStringLiteral("Info: Sending request: LIST\n"
                                            "Error: The target server failed to respond\n"),
                             1);
    MessageBox::setNextAnswer(MessageBox::Ok);
    Install();
    QCOMPARE(Column(list, BarColumn::Status), (QStringList{"Done", "Done"}));
    QCOMPARE(world_.runner->runs().size(), 3);
    boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].text, QStringLiteral("Installation finished\nThe installations were not "
                                           "confirmed: the device's list of applications could "
                                           "not be read (the device closed the connection)."));
}

// An installation whose first row left the device at its last attempt sends no password for the
// rows after it; the next run asks first.
void InstallListTest::noPasswordIsSentAfterTheLastAttemptUnasked() {
    AddRows({"A", "B"});
    world_.runner->addAnswer(
        QStringLiteral("Error: Authentication failed. There have been 9 of 10 failed attempts\n"),
        3);
    MessageBox::setNextAnswer(MessageBox::Ignore);
    MessageBox::setNextAnswer(MessageBox::Ignore);
    MessageBox::setNextAnswer(MessageBox::Ok);
    Install();
    QCOMPARE(world_.runner->runs().size(), 1);
    QCOMPARE(Column(window_->lstBarFile, BarColumn::Status), (QStringList{"Error", "Error"}));
    QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 3);
    QVERIFY(boxes[1].text.startsWith(
        QStringLiteral("Not sent: the device at 169.254.0.1 has one password attempt left "
                       "(its last answer said 9 of 10 failed attempts). One more wrong "
                       "password and it refuses every password until the password is typed "
                       "on the device itself. ") +
        LastAttemptAdvice));
    QVERIFY(boxes[2].text.endsWith(
        QStringLiteral("B (B.bar): not sent: one password attempt is left")));

    MessageBox::setNextAnswer(MessageBox::No);
    QTest::mouseClick(window_->btnInstallBar, Qt::LeftButton);
    QVERIFY(!window_->InstallRunning());
    QCOMPARE(world_.runner->runs().size(), 1);
    boxes = MessageBox::takeAnsweredBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].defaultButton, MessageBox::No);
}
