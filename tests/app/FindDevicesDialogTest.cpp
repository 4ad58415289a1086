// The Find Devices dialog against fake hosts on loopback: devices listed as they answer, with
// their warnings; the address chosen; what to check when nothing answers; Cancel ends the scan.

#include "FindDevicesDialog.h"
#include "RememberedDevices.h"
#include "Settings.h"
#include "WindowTestSupport.h"

#include <QDir>
#include <QHostAddress>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

using namespace kestrane;

namespace {

// Answers the discovery request as a device does, or accepts and never answers (silent).
class FakeHost : public QObject {
public:
    FakeHost(const QString& address, quint16 port, QByteArray fields, bool silent = false)
        : fields_(std::move(fields)), silent_(silent) {
        server_.listen(QHostAddress(address), port);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                    if (!socket->readAll().endsWith("\r\n\r\n") || silent_)
                        return;
                    const QByteArray body = "<RimTabletResponse><DeviceCharacteristics>" + fields_ +
                                            "</DeviceCharacteristics></RimTabletResponse>";
                    socket->write("HTTP/1.0 200 OK\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
        });
    }
    bool listening() const { return server_.isListening(); }
    quint16 port() const { return server_.serverPort(); }

private:
    QTcpServer server_;
    QByteArray fields_;
    bool silent_;
};

quint32 Ip(const char* text) {
    return QHostAddress(QString::fromLatin1(text)).toIPv4Address();
}

DiscoveredDevice SimulatedZ30() {
    DiscoveredDevice device;
    device.address = QStringLiteral("169.254.0.1");
    device.pin = QStringLiteral("2A7F3C9E");
    device.machine = QStringLiteral("BlackBerry Z30");
    device.osVersion = QStringLiteral("10.3.3.2205");
    device.developmentMode = true;
    device.setupFinished = true;
    device.simulated = true;
    return device;
}

} // namespace

class FindDevicesDialogTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { kestrane::testing::PrepareWindowSuite(); }

    void windowFillsInTheAddressChosen() {
        FakeHost device(QStringLiteral("127.0.0.2"), 0,
                        "<BbPin>572732211</BbPin><SystemMachine>BlackBerry_Z30</SystemMachine>");
        QVERIFY(device.listening());
        qputenv("KESTRANE_DISCOVERY_PORT", QByteArray::number(device.port()));
        kestrane::testing::WindowWorld world;
        world.discoveryCandidates = [] { return QList<quint32>{Ip("127.0.0.1"), Ip("127.0.0.2")}; };
        auto window = kestrane::testing::MakeWindow(world);
        window->show();
        window->btnFind->click();
        auto* dialog = window->findChild<FindDevicesDialog*>();
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        // The window goes on while the dialog scans.
        QVERIFY(window->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->scanning(), 10000);
        QCOMPARE(dialog->list()->topLevelItemCount(), 1);
        dialog->useButton()->click();
        QCOMPARE(window->edtIP->maskedText(), QStringLiteral("127.0  .0  .2  "));
        qunsetenv("KESTRANE_DISCOVERY_PORT");
    }

    void windowListsTheSimulatorsDevicesWithoutProbingThem() {
        QTemporaryDir appDir, javaBinDir;
        QVERIFY(kestrane::testing::PlaceFakeDeployTool(appDir.path(), javaBinDir.path()));
        // Nothing listens on loopback's discard port: refused at once.
        qputenv("KESTRANE_DISCOVERY_PORT", "9");
        kestrane::testing::WindowWorld world;
        world.discoveryCandidates = [] { return QList<quint32>{Ip("127.0.0.2")}; };
        world.runner->addAnswer(
            "169.254.2.1 <?xml version=\"1.0\"?><RimTabletResponse><DeviceCharacteristics>"
            "<BbPin>1352917431</BbPin><OsType>BlackBerry PlayBook OS</OsType>"
            "</DeviceCharacteristics></RimTabletResponse>\n");
        auto window = kestrane::testing::MakeWindow(world);
        window->show();
        // Set once shown: the first show looks the runtime up.
        window->AppDir = appDir.path();
        window->JavaBinDir = javaBinDir.path();
        window->btnFind->click();
        auto* dialog = window->findChild<FindDevicesDialog*>();
        QVERIFY(dialog);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->scanning(), 10000);
        qunsetenv("KESTRANE_DISCOVERY_PORT");
        QCOMPARE(world.runner->runs().size(), 1);
        QVERIFY2(world.runner->runs()[0].command.endsWith(
                     QStringLiteral("/lib/BarDeploy.jar -discover")),
                 qPrintable(world.runner->runs()[0].command));
        QCOMPARE(dialog->list()->topLevelItemCount(), 1);
        QCOMPARE(dialog->list()->topLevelItem(0)->text(0),
                 QStringLiteral("BlackBerry PlayBook (simulated)"));
        QCOMPARE(dialog->list()->topLevelItem(0)->text(1), QStringLiteral("169.254.2.1"));
        dialog->reject();
    }

    void listsDevicesWithWarningsAndGivesTheChosenAddress() {
        FakeHost z30(
            QStringLiteral("127.0.0.2"), 0,
            "<BbPin>572732211</BbPin><SystemMachine>BlackBerry_Z30</SystemMachine>"
            "<PlatformVersion>10.3.3.2205</PlatformVersion>"
            "<DeveloperModeEnabled>1</DeveloperModeEnabled><OobeCompleted>1</OobeCompleted>");
        QVERIFY(z30.listening());
        FakeHost q10(
            QStringLiteral("127.0.0.3"), z30.port(),
            "<BbPin>740424151</BbPin><ModelName>Q10</ModelName>"
            "<PlatformVersion>10.3.2.2876</PlatformVersion>"
            "<DeveloperModeEnabled>0</DeveloperModeEnabled><OobeCompleted>0</OobeCompleted>");
        QVERIFY2(q10.listening(), "another program holds the port on 127.0.0.3");
        // The Z30's PIN was seen at another address (only written down here, never probed).
        {
            QSettings settings = KestraneSettings();
            RememberDevice(settings, {QStringLiteral("22233333"), QStringLiteral("192.0.2.7"),
                                      QStringLiteral("BlackBerry Z30")});
        }
        DiscoverySettings settings;
        settings.port = z30.port();
        // The simulated device is listed as given; only loopback addresses are probed.
        FindDevicesDialog dialog({Ip("127.0.0.2"), Ip("127.0.0.3"), Ip("127.0.0.4")}, settings,
                                 {SimulatedZ30()}, {});
        dialog.show();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.scanning(), 10000);

        QTreeWidget* list = dialog.list();
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("BlackBerry Z30 (simulated)"));
        // The remembered device is suggested, under its new address.
        QCOMPARE(list->currentItem()->text(1), QStringLiteral("127.0.0.2"));
        QCOMPARE(list->currentItem()->text(0), QStringLiteral("BlackBerry Z30 (was at 192.0.2.7)"));
        QSettings remembered = KestraneSettings();
        QCOMPARE(RememberedDeviceByPin(remembered, QStringLiteral("22233333"))->address,
                 QStringLiteral("127.0.0.2"));
        QTreeWidgetItem* q10Row =
            list->findItems(QStringLiteral("127.0.0.3"), Qt::MatchExactly, 1).value(0);
        QVERIFY(q10Row);
        QCOMPARE(q10Row->text(0), QStringLiteral("BlackBerry Q10"));
        QCOMPARE(q10Row->text(3), QStringLiteral("2C21F9D7"));
        QCOMPARE(q10Row->text(4), QStringLiteral("Development Mode off, setup not finished"));
        QVERIFY(q10Row->toolTip(4).contains(QStringLiteral("Settings > Security and Privacy")));
        QVERIFY(q10Row->toolTip(4).contains(QStringLiteral("setup is not finished")));
        QVERIFY(list->findItems(QStringLiteral("127.0.0.2"), Qt::MatchExactly, 1)
                    .value(0)
                    ->text(4)
                    .isEmpty());
        QVERIFY(dialog.status()->text().contains(QStringLiteral("3 devices found")));
        // The list as a person sees it, for a look at it.
        const QDir shots(QStringLiteral(KESTRANE_SCREENSHOT_DIR));
        QVERIFY(shots.mkpath(QStringLiteral(".")));
        QVERIFY(dialog.grab().save(shots.filePath(QStringLiteral("find-devices.png"))));

        list->setCurrentItem(q10Row);
        QVERIFY(dialog.useButton()->isEnabled());
        dialog.useButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.chosenAddress(), QStringLiteral("127.0.0.3"));
    }

    void nothingFoundSaysWhatToCheckWithTheUsbAdvice() {
        DiscoverySettings settings;
        settings.port = 9; // nothing listens on loopback's discard port: refused at once
        FindDevicesDialog dialog({Ip("127.0.0.2"), Ip("127.0.0.3")}, settings, {},
                                 {QStringLiteral("The phone's USB network interface usb0 ...")});
        dialog.show();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.scanning(), 10000);
        const QString status = dialog.status()->text();
        QVERIFY2(status.contains(QStringLiteral("No device answered (2 addresses asked)")),
                 qPrintable(status));
        QVERIFY(status.contains(QStringLiteral("Development Mode")));
        QVERIFY(status.contains(QStringLiteral("usb0")));
        QVERIFY(!dialog.useButton()->isEnabled());
        QCOMPARE(dialog.cancelButton()->text(), QStringLiteral("Close"));
    }

    void cancelEndsTheScanAtOnce() {
        FakeHost silent(QStringLiteral("127.0.0.2"), 0, {}, true);
        QVERIFY(silent.listening());
        DiscoverySettings settings;
        settings.port = silent.port();
        settings.answerTimeoutMs = 60000;
        FindDevicesDialog dialog({Ip("127.0.0.2")}, settings, {}, {});
        dialog.show();
        QTest::qWait(200);
        QVERIFY(dialog.scanning());
        dialog.cancelButton()->click();
        QVERIFY(!dialog.scanning());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(dialog.chosenAddress().isEmpty());
    }
};

QTEST_MAIN(FindDevicesDialogTest)
#include "FindDevicesDialogTest.moc"
