// Log...: the viewer of an application's log against a stand-in for the deploy tool that answers
// as a device does (the Get File lines, the file written to SAVEAS, the exit code or "404").
#include "AppLogViewer.h"
#include "FakeSandboxCommands.h"
#include "MessageBox.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

using namespace kestrane;

namespace {

const QString kGetLines = "Info: Sending request: GET_FILE\nInfo: Action: Get File\n";

// The device: the application's log and exit code (none while it runs); a failure ends every
// command with the tool's error.
struct FakeDevice {
    QByteArray log;
    std::optional<int> exitCode;
    bool unreachable = false;
    int runs = 0;

    SandboxCommands commands() {
        return testing::FakeSandboxCommands(
            [this](const QStringList& args) { return answer(args); }, true);
    }

    CommandResult answer(const QStringList& args) {
        ++runs;
        CommandResult result;
        result.exitCode = 0;
        if (unreachable) {
            result.output = "Error: Cannot connect: Connection to https://169.254.0.1:443 "
                            "refused. Please check IP address settings for the target. You "
                            "may have to reboot the target.\n";
            result.exitCode = 1;
        } else if (args.value(2) == "-getFile") {
            QFile saveAs(args.value(4));
            saveAs.open(QIODevice::WriteOnly | QIODevice::Truncate);
            saveAs.write(log);
            result.output = kGetLines +
                            "Info: Sending File: logs/log\nInfo: File saved: " + args.value(4) +
                            "\n";
        } else if (exitCode) {
            result.output = kGetLines + "Info: Sending File: logs/devmode_exitcode.txt\n" +
                            QString::number(*exitCode) + "\n";
        } else {
            result.output = kGetLines + "Info: Sending File: logs/devmode_exitcode.txt\n"
                                        "result::failure 404 file not found\n";
            result.exitCode = 2;
        }
        return result;
    }
};

const SandboxApp kApp{"Speed Test", "com.acme.speedtest", "testDev_speedtest__0b911cdd"};

} // namespace

class AppLogViewerTest : public QObject {
    Q_OBJECT
private slots:
    void showsTheLogNewestAtTheBottomAndTheExitCode() {
        FakeDevice device;
        for (int i = 1; i <= 200; ++i)
            device.log += "Running for " + QByteArray::number(i) + " s\n";
        AppLogViewer viewer(device.commands(), kApp);
        viewer.show();
        viewer.refresh();
        QVERIFY(viewer.fetching());
        QCOMPARE(viewer.cursor().shape(), Qt::WaitCursor);
        QTRY_VERIFY(!viewer.fetching());
        QVERIFY(viewer.text()->toPlainText().endsWith("Running for 200 s\n"));
        QVERIFY(viewer.text()->font().fixedPitch() ||
                QFontInfo(viewer.text()->font()).fixedPitch());
        QScrollBar* bar = viewer.text()->verticalScrollBar();
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(viewer.exitCode()->text(),
                 QString("Not exited: running, or not run since it was installed."));
        QCOMPARE(viewer.cursor().shape(), Qt::ArrowCursor);

        const QString folder = QStringLiteral(KESTRANE_SCREENSHOT_DIR);
        QDir().mkpath(folder);
        QVERIFY(viewer.grab().save(folder + "/app-log-viewer.png"));

        device.exitCode = 3;
        device.log += "Terminated\n";
        viewer.refresh();
        QTRY_VERIFY(!viewer.fetching());
        QCOMPARE(viewer.exitCode()->text(), QString("Exited with code 3."));
        QVERIFY(viewer.text()->toPlainText().endsWith("Terminated\n"));
    }

    void followFetchesAgainWhileOpen() {
        FakeDevice device;
        device.log = "Started, process 42\n";
        AppLogViewer viewer(device.commands(), kApp);
        viewer.show();
        viewer.follow()->setChecked(true);
        QTRY_COMPARE(viewer.text()->toPlainText(), QString("Started, process 42\n"));
        device.log += "Running for 1 s\n";
        QTRY_VERIFY_WITH_TIMEOUT(viewer.text()->toPlainText().endsWith("Running for 1 s\n"),
                                 AppLogViewer::FollowIntervalMs + 2000);
        QTRY_VERIFY(!viewer.fetching());
        viewer.reject();
        const int runs = device.runs;
        QTest::qWait(AppLogViewer::FollowIntervalMs + 300);
        QCOMPARE(device.runs, runs);
    }

    void aFailureIsAnErrorBoxAndFollowingStops() {
        FakeDevice device;
        device.unreachable = true;
        AppLogViewer viewer(device.commands(), kApp);
        viewer.show();
        MessageBox::setNextAnswer(MessageBox::Ok);
        viewer.follow()->setChecked(true);
        QTRY_VERIFY(!viewer.fetching());
        const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].kind, MessageBox::Kind::Error);
        QVERIFY2(!boxes[0].text.isEmpty(), qPrintable(boxes[0].text));
        QVERIFY(boxes[0].details.contains("Cannot connect"));
        QVERIFY(!viewer.follow()->isChecked());
        QVERIFY(viewer.refreshButton()->isEnabled());
    }
};

QTEST_MAIN(AppLogViewerTest)
#include "AppLogViewerTest.moc"
