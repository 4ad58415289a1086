// Files...: each question answered or cancelled in turn, against a stand-in for the deploy tool
// that records what it was asked to run and answers as a device does.
#include "SandboxFileTransfer.h"
#include "FakeSandboxCommands.h"
#include "FileDialog.h"
#include "MessageBox.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace kestrane;

namespace {

const SandboxApp kApp{"Speed Test", "com.acme.speedtest", "testDev_speedtest__0b911cdd"};

// Answers each run at once: -getFile writes content to SAVEAS, -putFile succeeds; a device
// failure answers "result::failure 404" after part of the file came.
struct FakeTool {
    QList<QStringList> runs;
    QByteArray content = "remembered scores\n";
    bool fails = false;

    SandboxCommands commands() {
        return testing::FakeSandboxCommands(
            [this](const QStringList& args) { return answer(args); }, false);
    }

    CommandResult answer(const QStringList& args) {
        runs.append(args);
        CommandResult result;
        result.exitCode = 0;
        result.output = "Info: Sending request: GET_FILE\nInfo: Action: Get File\n";
        if (args.value(2) == "-getFile") {
            QFile saveAs(args.value(4));
            saveAs.open(QIODevice::WriteOnly | QIODevice::Truncate);
            saveAs.write(fails ? content.left(4) : content);
        }
        if (fails) {
            result.output += "result::failure 404 file not found\n";
            result.exitCode = 2;
        }
        return result;
    }
};

enum class Flow { Get, Put };

} // namespace

Q_DECLARE_METATYPE(Flow)

class SandboxFileTransferTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        MessageBox::reset();
        FileDialog::reset();
    }

    // A question cancelled or a path that leaves the sandbox: nothing runs, nothing is written.
    void nothingRunsUntilBothQuestionsAreAnswered_data() {
        QTest::addColumn<Flow>("flow");
        QTest::addColumn<bool>("pathAnswered");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("fileChosen");
        QTest::addColumn<QString>("errorBox");
        QTest::newRow("get, path cancelled") << Flow::Get << false << "" << false << "";
        QTest::newRow("get, save cancelled") << Flow::Get << true << "data/x" << false << "";
        QTest::newRow("get, path outside")
            << Flow::Get << true << "data/../../x" << false << "leaves";
        QTest::newRow("get, empty path") << Flow::Get << true << "  " << false << "No sandbox path";
        QTest::newRow("put, file cancelled") << Flow::Put << false << "" << false << "";
        QTest::newRow("put, path cancelled") << Flow::Put << false << "" << true << "";
        QTest::newRow("put, absolute path")
            << Flow::Put << true << "/accounts/1000/x" << true << "starts with /";
    }
    void nothingRunsUntilBothQuestionsAreAnswered() {
        QFETCH(Flow, flow);
        QFETCH(bool, pathAnswered);
        QFETCH(QString, path);
        QFETCH(bool, fileChosen);
        QFETCH(QString, errorBox);
        QTemporaryDir here;
        FakeTool tool;
        const QString local = here.filePath("scores.txt");
        if (flow == Flow::Put) {
            QFile(local).open(QIODevice::WriteOnly);
            FileDialog::setNextFileNames(fileChosen ? QStringList{local} : QStringList{});
        }
        if (flow == Flow::Put && !fileChosen) {
            // Nothing else is asked.
        } else if (pathAnswered) {
            MessageBox::setNextAnswer(MessageBox::Ok, path);
        } else {
            MessageBox::setNextAnswer(MessageBox::Cancel);
        }
        if (!errorBox.isEmpty())
            MessageBox::setNextAnswer(MessageBox::Ok);
        if (flow == Flow::Get && pathAnswered && errorBox.isEmpty())
            FileDialog::setNextFileNames({});
        const SandboxFileTransfer transfer(&window_, tool.commands(), kApp);
        flow == Flow::Get ? transfer.getFile() : transfer.putFile();
        QVERIFY(tool.runs.isEmpty());
        QCOMPARE(MessageBox::pendingAnswers(), 0);
        QCOMPARE(FileDialog::pendingAnswers(), 0);
        const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
        if (!errorBox.isEmpty()) {
            QCOMPARE(boxes.last().kind, MessageBox::Kind::Error);
            QVERIFY2(boxes.last().text.contains(errorBox), qPrintable(boxes.last().text));
        }
        if (flow == Flow::Get)
            QCOMPARE(QDir(here.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});
    }

    // The sandbox path as asked is what the tool gets, and the file arrives under the chosen
    // name only when the device sent all of it; a file there before stays as it was otherwise.
    void getWritesTheChosenFileOnlyOnSuccess() {
        QTemporaryDir here;
        const QString destination = here.filePath("scores.txt");
        QFile before(destination);
        QVERIFY(before.open(QIODevice::WriteOnly));
        before.write("older scores\n");
        before.close();
        FakeTool tool;
        for (const bool fails : {true, false}) {
            tool.fails = fails;
            MessageBox::setNextAnswer(MessageBox::Ok, " data/scores.txt ");
            FileDialog::setNextFileName(destination);
            MessageBox::setNextAnswer(MessageBox::Ok);
            SandboxFileTransfer(&window_, tool.commands(), kApp).getFile();
            const MessageBox::Box box = MessageBox::takeAnsweredBoxes().last();
            QFile after(destination);
            QVERIFY(after.open(QIODevice::ReadOnly));
            if (fails) {
                QCOMPARE(box.kind, MessageBox::Kind::Error);
                QVERIFY(box.details.contains("result::failure 404"));
                QCOMPARE(after.readAll(), QByteArray("older scores\n"));
            } else {
                QCOMPARE(box.text,
                         QString("data/scores.txt of Speed Test is saved as %1.").arg(destination));
                QCOMPARE(after.readAll(), tool.content);
            }
            QCOMPARE(tool.runs.last().mid(2, 2), (QStringList{"-getFile", "data/scores.txt"}));
        }
        QCOMPARE(QDir(here.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"scores.txt"});
    }

    // Put asks about the chosen file and stores it at the path given, as two arguments.
    void putStoresTheFileAtTheGivenPath() {
        QTemporaryDir here;
        const QString local = here.filePath("level 2.json");
        QVERIFY(QFile(local).open(QIODevice::WriteOnly));
        FakeTool tool;
        FileDialog::setNextFileName(local);
        MessageBox::setNextAnswer(MessageBox::Ok, "shared/levels/level 2.json");
        MessageBox::setNextAnswer(MessageBox::Ok);
        SandboxFileTransfer(&window_, tool.commands(), kApp).putFile();
        const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
        QCOMPARE(boxes.size(), 2);
        QVERIFY2(boxes[0].text.contains("level 2.json in Speed Test's sandbox"),
                 qPrintable(boxes[0].text));
        QCOMPARE(boxes[1].text, QString("level 2.json is stored in Speed Test's sandbox as "
                                        "shared/levels/level 2.json."));
        QCOMPARE(tool.runs.size(), 1);
        QCOMPARE(tool.runs[0].mid(2, 3),
                 (QStringList{"-putFile", local, "shared/levels/level 2.json"}));
    }

private:
    // The window the boxes belong to.
    QWidget window_;
};

QTEST_MAIN(SandboxFileTransferTest)
#include "SandboxFileTransferTest.moc"
