// The connection panel's helpers headless: the phone noticed when it is plugged in (interfaces
// changed by hand, a scripted probe), and the password kept in a keyring in memory, alone and in
// the window with a scripted deploy tool.

#include "InterfaceStates.h"
#include "PasswordMemory.h"
#include "PhoneNoticer.h"
#include "RememberedDevices.h"
#include "TextUtils.h"
#include "WindowTestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

using namespace kestrane;
using namespace kestrane::testing;

namespace {

const InterfaceState Wifi = Iface("wlan0", {"192.168.1.5"});

DiscoveredDevice Device(const char* address, const char* pin, const char* machine) {
    DiscoveredDevice device;
    device.address = QString::fromLatin1(address);
    device.pin = QString::fromLatin1(pin);
    device.machine = QString::fromLatin1(machine);
    device.via = DiscoveryVia::Usb;
    return device;
}

QString Field(const AddressEdit& edit) {
    return RemoveSpaces(edit.maskedText());
}

// The noticer with the connection panel's parts: the address field at its untouched default,
// the two labels, a probe that answers with the devices a test puts in answers (from the event
// loop, as a scan does), and the connected address a test sets.
struct NoticerBench {
    QWidget panel;
    AddressEdit* address = new AddressEdit(&panel);
    QLabel* device = new QLabel(&panel);
    QLabel* gone = new QLabel(&panel);
    std::shared_ptr<doubles::FakeInterfaceWatcher> interfaces =
        std::make_shared<doubles::FakeInterfaceWatcher>();
    QString connected;
    QList<QList<quint32>> probes;
    QList<DiscoveredDevice> answers;
    std::unique_ptr<PhoneNoticer> noticer;

    explicit NoticerBench(InterfaceSnapshot start = {Wifi}) {
        address->setText(QStringLiteral("169.254.0  .1  "));
        interfaces->state = std::move(start);
        noticer = std::make_unique<PhoneNoticer>(interfaces, address, device, gone,
                                                 [this] { return connected; });
        noticer->setProber(
            [this](const QList<quint32>& addresses, QObject* context, PhoneNoticer::Found found) {
                probes.append(addresses);
                const QList<DiscoveredDevice> devices = answers;
                QTimer::singleShot(0, context, [devices, found] {
                    for (const DiscoveredDevice& answered : devices)
                        found(answered);
                });
            });
    }
};

} // namespace

class ConnectionHelpersTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { PrepareWindowSuite(); }
    void init() { scope_.begin(); }
    void cleanup() { QVERIFY2(scope_.end().isEmpty(), qPrintable(scope_.end())); }

    void aPhonePluggedInFillsTheFieldThenTheDeviceFoundNamedAsRemembered();
    void aDeviceNotRememberedIsNamedFromItsAnswer();
    void whatTheUserTypesIsNeverOverwritten();
    void typingWhileTheProbeRunsWins();
    void theSecondInterfaceOfAPhoneFoundKeepsTheDevice();
    void aConnectedWindowIsLeftAloneAndTheLinkGoneIsSaid();

    void withoutAKeyringServiceTheBoxIsDisabledAndSaysWhy();
    void aPasswordKeptOnRequestFillsTheFieldForThatDeviceOnly();
    void aPasswordTypedIsNeverReplaced();
    void connectingUntickedOrRefusedForgetsTheKeptPassword();
    void forgetThisDeviceTakesItsAddressPinAndPassword();

    void theWindowKeepsThePasswordAtConnectAndDropsItWhenRefused();
    void theWindowNamesThePhonePluggedIn();

private:
    WindowTestScope scope_;
};

// ---- The phone noticed --------------------------------------------------------------------------

void ConnectionHelpersTest::aPhonePluggedInFillsTheFieldThenTheDeviceFoundNamedAsRemembered() {
    QSettings settings = KestraneSettings();
    RememberDevice(settings, {QStringLiteral("2A7F3C9E"), QStringLiteral("192.168.1.34"),
                              QStringLiteral("BlackBerry Z30")});
    NoticerBench bench;
    bench.answers = {Device("169.254.5.3", "2A7F3C9E", "Z30_in_discovery")};
    QCOMPARE(bench.noticer->fieldState(), AddressFieldState::Untouched);

    bench.interfaces->set({Wifi, Iface("usb0", {"169.254.5.2"})});
    // At once: the neighbour below, where a phone usually is.
    QCOMPARE(Field(*bench.address), QStringLiteral("169.254.5.1"));
    QCOMPARE(bench.probes,
             (QList<QList<quint32>>{{Ip("169.254.5.1"), Ip("169.254.5.3"), Ip("169.254.0.1")}}));
    // Then the device that answered, by its remembered name.
    QTRY_COMPARE(Field(*bench.address), QStringLiteral("169.254.5.3"));
    QCOMPARE(bench.device->text(), QStringLiteral("BlackBerry Z30, PIN 2A7F3C9E"));
    QCOMPARE(bench.noticer->fieldState(), AddressFieldState::Found);
    QVERIFY(bench.gone->isHidden());
}

void ConnectionHelpersTest::aDeviceNotRememberedIsNamedFromItsAnswer() {
    // The phone's interface was there without an address; it gains one.
    NoticerBench bench({Wifi, Iface("usb0")});
    bench.answers = {Device("169.254.0.1", "50A3E1B7", "BlackBerry Q10")};
    bench.interfaces->set({Wifi, Iface("usb0", {"169.254.0.2"})});
    QTRY_COMPARE(bench.device->text(), QStringLiteral("BlackBerry Q10, PIN 50A3E1B7"));
    QCOMPARE(Field(*bench.address), QStringLiteral("169.254.0.1"));
}

void ConnectionHelpersTest::whatTheUserTypesIsNeverOverwritten() {
    NoticerBench bench;
    bench.answers = {Device("169.254.5.1", "2A7F3C9E", "BlackBerry Z30")};
    bench.address->selectAll();
    QTest::keyClicks(bench.address, QStringLiteral("10"));
    const QString typed = bench.address->maskedText();
    QCOMPARE(bench.noticer->fieldState(), AddressFieldState::Typed);

    bench.interfaces->set({Wifi, Iface("usb0", {"169.254.5.2"})});
    QTest::qWait(50);
    QCOMPARE(bench.address->maskedText(), typed);
    QVERIFY(bench.probes.isEmpty());
    QVERIFY(bench.device->text().isEmpty());
}

void ConnectionHelpersTest::typingWhileTheProbeRunsWins() {
    NoticerBench bench;
    bench.answers = {Device("169.254.5.3", "2A7F3C9E", "BlackBerry Z30")};
    bench.interfaces->set({Wifi, Iface("usb0", {"169.254.5.2"})});
    QCOMPARE(Field(*bench.address), QStringLiteral("169.254.5.1"));
    // Typed before the device answers.
    bench.address->selectAll();
    QTest::keyClicks(bench.address, QStringLiteral("10"));
    const QString typed = bench.address->maskedText();
    QTest::qWait(50);
    QCOMPARE(bench.probes.size(), 1);
    QCOMPARE(bench.address->maskedText(), typed);
    QVERIFY(bench.device->text().isEmpty());
}

void ConnectionHelpersTest::theSecondInterfaceOfAPhoneFoundKeepsTheDevice() {
    NoticerBench bench;
    bench.answers = {Device("169.254.5.3", "2A7F3C9E", "BlackBerry Z30")};
    bench.interfaces->set({Wifi, Iface("usb0", {"169.254.5.2"})});
    QTRY_COMPARE(Field(*bench.address), QStringLiteral("169.254.5.3"));
    // The phone's second interface comes up; nothing answers there.
    bench.answers.clear();
    bench.interfaces->set({Wifi, Iface("usb0", {"169.254.5.2"}), Iface("usb1", {"169.254.6.2"})});
    QCOMPARE(bench.probes.size(), 2);
    QTest::qWait(50);
    QCOMPARE(Field(*bench.address), QStringLiteral("169.254.5.3"));
    QCOMPARE(bench.device->text(), QStringLiteral("BlackBerry Z30, PIN 2A7F3C9E"));
}

void ConnectionHelpersTest::aConnectedWindowIsLeftAloneAndTheLinkGoneIsSaid() {
    NoticerBench bench({Wifi, Iface("usb0", {"169.254.0.2"}), Iface("usb1", {"169.254.1.2"})});
    bench.connected = QStringLiteral("169.254.0.1");
    bench.address->setAddressText(QStringLiteral("169.254.0.1"));
    bench.interfaces->set({Wifi, Iface("usb0", {"169.254.0.2"}), Iface("usb1", {"169.254.1.2"}),
                           Iface("usb2", {"169.254.7.2"})});
    QVERIFY(bench.probes.isEmpty());
    QCOMPARE(Field(*bench.address), QStringLiteral("169.254.0.1"));
    // One of the phone's two interfaces going is not the phone going.
    bench.interfaces->set({Wifi, Iface("usb0", {"169.254.0.2"})});
    QVERIFY(bench.gone->isHidden());
    bench.interfaces->set({Wifi});
    QVERIFY(!bench.gone->isHidden());
    QCOMPARE(bench.gone->text(), QStringLiteral("The device's USB connection is gone"));
    bench.noticer->connectionMade();
    QVERIFY(bench.gone->isHidden());
}

// ---- The password kept --------------------------------------------------------------------------

namespace {

// The password memory with the connection panel's parts, a keyring in memory and the Z30
// remembered at 169.254.0.1.
struct MemoryBench {
    QWidget panel;
    AddressEdit* address = new AddressEdit(&panel);
    PasswordEdit* password = new PasswordEdit(&panel);
    QCheckBox* remember = new QCheckBox(&panel);
    QAction* forget = new QAction(&panel);
    std::shared_ptr<doubles::InMemoryKeyring> keyring;
    std::unique_ptr<PasswordMemory> memory;

    explicit MemoryBench(std::shared_ptr<doubles::InMemoryKeyring> kept =
                             std::make_shared<doubles::InMemoryKeyring>())
        : keyring(std::move(kept)) {
        QSettings settings = KestraneSettings();
        RememberDevice(settings, {QStringLiteral("2A7F3C9E"), QStringLiteral("169.254.0.1"),
                                  QStringLiteral("BlackBerry Z30")});
        memory = std::make_unique<PasswordMemory>(keyring, address, password, remember, forget);
    }
    bool settled() {
        return QTest::qWaitFor([this] { return memory->pending() == 0; });
    }
};

bool SettingsHold(const QByteArray& text) {
    QSettings settings = KestraneSettings();
    settings.sync();
    QFile file(settings.fileName());
    return file.open(QIODevice::ReadOnly) && file.readAll().contains(text);
}

} // namespace

void ConnectionHelpersTest::withoutAKeyringServiceTheBoxIsDisabledAndSaysWhy() {
    auto keyring = std::make_shared<doubles::InMemoryKeyring>();
    keyring->available = false;
    MemoryBench bench(keyring);
    QVERIFY(bench.settled());
    QVERIFY(!bench.remember->isEnabled());
    QVERIFY(!bench.remember->isChecked());
    QVERIFY2(bench.remember->toolTip().startsWith(QStringLiteral("No desktop keyring answers")),
             qPrintable(bench.remember->toolTip()));
    QVERIFY(bench.remember->toolTip().contains(QStringLiteral("org.freedesktop.secrets")));
    bench.memory->connected(QStringLiteral("2A7F3C9E"), QStringLiteral("z30-pass"));
    QVERIFY(bench.settled());
    QVERIFY(!SettingsHold("z30-pass"));
}

void ConnectionHelpersTest::aPasswordKeptOnRequestFillsTheFieldForThatDeviceOnly() {
    {
        MemoryBench bench;
        QVERIFY(bench.settled());
        QVERIFY(bench.remember->isEnabled());
        QVERIFY(!bench.remember->isChecked());
        QCOMPARE(bench.remember->toolTip(), PasswordMemory::RememberTip());
        bench.remember->setChecked(true);
        bench.memory->connected(QStringLiteral("0x2a7f3c9e"), QStringLiteral("z30-pass"));
        QVERIFY(bench.settled());
        QCOMPARE(bench.keyring->passwords, (QMap<QString, QString>{{QStringLiteral("2A7F3C9E"),
                                                                    QStringLiteral("z30-pass")}}));
        QVERIFY(!SettingsHold("z30-pass"));
    }
    // The next start: the address of the remembered device fills the password field.
    auto keyring = std::make_shared<doubles::InMemoryKeyring>();
    keyring->passwords.insert(QStringLiteral("2A7F3C9E"), QStringLiteral("z30-pass"));
    MemoryBench bench(keyring);
    QVERIFY(bench.settled());
    bench.address->setAddressText(QStringLiteral("169.254.0.1"));
    QVERIFY(bench.settled());
    QCOMPARE(bench.password->text(), QStringLiteral("z30-pass"));
    QVERIFY(bench.remember->isChecked());
    // Another address takes the kept password back out of the field.
    bench.address->setAddressText(QStringLiteral("169.254.0.9"));
    QVERIFY(bench.settled());
    QVERIFY(bench.password->text().isEmpty());
    QVERIFY(!bench.remember->isChecked());
    bench.address->setAddressText(QStringLiteral("169.254.0.1"));
    QVERIFY(bench.settled());
    QCOMPARE(bench.password->text(), QStringLiteral("z30-pass"));
}

void ConnectionHelpersTest::aPasswordTypedIsNeverReplaced() {
    auto keyring = std::make_shared<doubles::InMemoryKeyring>();
    keyring->passwords.insert(QStringLiteral("2A7F3C9E"), QStringLiteral("z30-pass"));
    MemoryBench bench(keyring);
    QVERIFY(bench.settled());
    QTest::keyClicks(bench.password, QStringLiteral("typed"));
    bench.address->setAddressText(QStringLiteral("169.254.0.1"));
    QVERIFY(bench.settled());
    QCOMPARE(bench.password->text(), QStringLiteral("typed"));
    bench.address->setAddressText(QStringLiteral("169.254.0.9"));
    QVERIFY(bench.settled());
    QCOMPARE(bench.password->text(), QStringLiteral("typed"));
}

void ConnectionHelpersTest::connectingUntickedOrRefusedForgetsTheKeptPassword() {
    auto keyring = std::make_shared<doubles::InMemoryKeyring>();
    keyring->passwords.insert(QStringLiteral("2A7F3C9E"), QStringLiteral("z30-pass"));
    keyring->passwords.insert(QStringLiteral("50A3E1B7"), QStringLiteral("q10-pass"));
    MemoryBench bench(keyring);
    QVERIFY(bench.settled());
    bench.address->setAddressText(QStringLiteral("169.254.0.1"));
    QVERIFY(bench.settled());
    QVERIFY(bench.remember->isChecked());

    // Refused: gone from the keyring at once, the box unticked, the text left to correct.
    bench.memory->refused(QStringLiteral("169.254.0.1"));
    QVERIFY(bench.settled());
    QVERIFY(!keyring->passwords.contains(QStringLiteral("2A7F3C9E")));
    QVERIFY(!bench.remember->isChecked());
    QCOMPARE(bench.password->text(), QStringLiteral("z30-pass"));
    // A device not remembered at an address has nothing to lose there.
    bench.memory->refused(QStringLiteral("169.254.9.9"));
    QVERIFY(bench.settled());
    QVERIFY(keyring->passwords.contains(QStringLiteral("50A3E1B7")));

    // Connecting with the box unticked means: keep it no more.
    bench.memory->connected(QStringLiteral("50A3E1B7"), QStringLiteral("q10-pass"));
    QVERIFY(bench.settled());
    QVERIFY(keyring->passwords.isEmpty());
}

void ConnectionHelpersTest::forgetThisDeviceTakesItsAddressPinAndPassword() {
    auto keyring = std::make_shared<doubles::InMemoryKeyring>();
    keyring->passwords.insert(QStringLiteral("2A7F3C9E"), QStringLiteral("z30-pass"));
    keyring->passwords.insert(QStringLiteral("50A3E1B7"), QStringLiteral("q10-pass"));
    MemoryBench bench(keyring);
    KestraneSettings().setValue(LastDeviceAddressKey, QStringLiteral("169.254.0.1"));
    QVERIFY(bench.settled());
    bench.address->setAddressText(QStringLiteral("169.254.0.9"));
    bench.memory->updateForgetAction();
    QVERIFY(!bench.forget->isEnabled());
    bench.address->setAddressText(QStringLiteral("169.254.0.1"));
    QVERIFY(bench.settled());
    bench.memory->updateForgetAction();
    QVERIFY(bench.forget->isEnabled());
    QVERIFY(bench.forget->toolTip().contains(QStringLiteral("BlackBerry Z30, PIN 2A7F3C9E")));

    bench.memory->forgetThisDevice();
    QVERIFY(bench.settled());
    QSettings settings = KestraneSettings();
    QVERIFY(!RememberedDeviceByPin(settings, QStringLiteral("2A7F3C9E")).has_value());
    QVERIFY(!settings.contains(LastDeviceAddressKey));
    QCOMPARE(keyring->passwords,
             (QMap<QString, QString>{{QStringLiteral("50A3E1B7"), QStringLiteral("q10-pass")}}));
    QVERIFY(bench.password->text().isEmpty());
    QVERIFY(!bench.remember->isChecked());
    QVERIFY(!bench.forget->isEnabled());
}

// ---- In the window ------------------------------------------------------------------------------

void ConnectionHelpersTest::theWindowKeepsThePasswordAtConnectAndDropsItWhenRefused() {
    QTemporaryDir appDir;
    QTemporaryDir javaBinDir;
    QVERIFY(PlaceFakeDeployTool(appDir.path(), javaBinDir.path()));
    WindowWorld world;
    world.interfaces->state = {Wifi, Iface("usb0", {"169.254.0.2"})};
    auto window = MakeWindow(world);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->AppDir = appDir.path();
    window->JavaBinDir = javaBinDir.path();
    QTRY_VERIFY(window->cbRememberPassword->isEnabled());
    QVERIFY(!window->cbRememberPassword->isChecked());
    // The box sits under the password field, in the panel.
    QVERIFY(window->cbRememberPassword->geometry().top() >= window->edtPwd->geometry().bottom());
    QVERIFY(window->GroupBox2->rect().contains(window->cbRememberPassword->geometry()));

    window->cbRememberPassword->setChecked(true);
    QVERIFY(ConnectAsUser(*window, *world.runner, QStringLiteral("169.254.0.1"),
                          QStringLiteral("z30-pass")));
    QTRY_COMPARE(world.keyring->passwords.value(QStringLiteral("2A2B3C4D")),
                 QStringLiteral("z30-pass"));
    QVERIFY(!SettingsHold("z30-pass"));

    // Unplugged while connected: said on the main screen, without a box.
    QVERIFY(window->lbUsbGone->isHidden());
    world.interfaces->set({Wifi});
    QVERIFY(window->lbUsbGone->isVisible());
    QCOMPARE(window->lbUsbGone->text(), QStringLiteral("The device's USB connection is gone"));
    QDir().mkpath(QStringLiteral(KESTRANE_SCREENSHOT_DIR));
    QVERIFY(
        window->grab().save(QStringLiteral(KESTRANE_SCREENSHOT_DIR "/usb-connection-gone.png")));
    QCOMPARE(MessageBox::takeAnsweredBoxes().size(), 0);

    // A later command that the device refuses the password takes it out of the keyring.
    window->edtIP->setAddressText(QStringLiteral("169.254.0.1"));
    world.runner->addAnswer(
        QStringLiteral("Error: Authentication failed. There have been 1 of 10 failed attempts\n"),
        3);
    MessageBox::setNextAnswer(MessageBox::Ok);
    window->btnConnClick();
    QVERIFY(world.runner->waitForAll());
    QTRY_VERIFY(world.keyring->passwords.isEmpty());
    QCOMPARE(MessageBox::takeAnsweredBoxes().size(), 1);

    // The menu offers to forget the device at the address field.
    emit window->PopupMenu2->aboutToShow();
    QVERIFY(window->ForgetThisDevice1->isEnabled());
    QCOMPARE(window->ForgetThisDevice1->text(), QStringLiteral("Forget This Device"));
    window->ForgetThisDevice1->trigger();
    QSettings settings = KestraneSettings();
    QVERIFY(!RememberedDeviceByAddress(settings, QStringLiteral("169.254.0.1")).has_value());
}

// The window's own noticer, its interfaces changed by hand: the field, the name under it and the
// password kept for the device's PIN, as the screenshot shows them.
void ConnectionHelpersTest::theWindowNamesThePhonePluggedIn() {
    QSettings settings = KestraneSettings();
    // Remembered at its Wi-Fi address, with its password kept: found on USB by its PIN.
    RememberDevice(settings, {QStringLiteral("2A7F3C9E"), QStringLiteral("192.168.1.34"),
                              QStringLiteral("BlackBerry Z30")});
    WindowWorld world;
    world.keyring->passwords.insert(QStringLiteral("2A7F3C9E"), QStringLiteral("z30-pass"));
    world.interfaces->state = {Wifi};
    auto window = MakeWindow(world);
    window->phoneNoticer().setProber([](const QList<quint32>&, QObject* context,
                                        PhoneNoticer::Found found) {
        QTimer::singleShot(0, context,
                           [found] { found(Device("169.254.0.1", "2A7F3C9E", "BlackBerry Z30")); });
    });
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->edtIP->setAddressText(QStringLiteral("10.1.1.1"));
    world.interfaces->set({Wifi, Iface("usb0", {"169.254.0.2"})});
    QTRY_COMPARE(window->lbUsbDevice->text(), QStringLiteral("BlackBerry Z30, PIN 2A7F3C9E"));
    QCOMPARE(RemoveSpaces(window->edtIP->maskedText()), QStringLiteral("169.254.0.1"));
    QTRY_COMPARE(window->edtPwd->text(), QStringLiteral("z30-pass"));
    QVERIFY(window->cbRememberPassword->isChecked());
    QVERIFY(window->lbUsbDevice->isVisible());
    QVERIFY(window->GroupBox2->rect().contains(window->lbUsbDevice->geometry()));
    QDir().mkpath(QStringLiteral(KESTRANE_SCREENSHOT_DIR));
    QVERIFY(window->grab().save(QStringLiteral(KESTRANE_SCREENSHOT_DIR "/phone-plugged-in.png")));
}

QTEST_MAIN(ConnectionHelpersTest)
#include "ConnectionHelpersTest.moc"
