// The phones' USB network interfaces read from a fake sysfs tree laid out as the kernel lays it
// out (class/net/IFACE a link into devices/, device a link to the USB interface, driver a link
// into bus/), and the advice for those without an IPv4 address.

#include "UsbNetworking.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrane {
namespace {

class FakeSysfs {
public:
    // An interface NAME of a USB device with VENDOR, bound to DRIVER, with its flags; an empty
    // vendor makes a PCI card (no idVendor), an empty driver an unbound interface.
    void add(const QString& name, const QString& vendor, const QString& driver, const char* flags) {
        const QString device = root_.filePath(QStringLiteral("devices/dev-%1").arg(name));
        const QString usbInterface = device + QStringLiteral("/1-2:1.0");
        const QString netDir = usbInterface + QStringLiteral("/net/") + name;
        ASSERT_TRUE(QDir().mkpath(netDir));
        if (!vendor.isEmpty())
            write(device + QStringLiteral("/idVendor"), vendor.toLatin1() + "\n");
        if (!driver.isEmpty()) {
            const QString driverDir = root_.filePath(QStringLiteral("bus/usb/drivers/") + driver);
            ASSERT_TRUE(QDir().mkpath(driverDir));
            ASSERT_TRUE(QFile::link(driverDir, usbInterface + QStringLiteral("/driver")));
        }
        write(netDir + QStringLiteral("/flags"), QByteArray(flags) + "\n");
        ASSERT_TRUE(QFile::link(QStringLiteral("../.."), netDir + QStringLiteral("/device")));
        ASSERT_TRUE(QDir().mkpath(root_.filePath(QStringLiteral("class/net"))));
        ASSERT_TRUE(QFile::link(netDir, root_.filePath(QStringLiteral("class/net/") + name)));
    }
    // The loopback interface: no device link at all.
    void addLoopback() {
        ASSERT_TRUE(QDir().mkpath(root_.filePath(QStringLiteral("class/net/lo"))));
        write(root_.filePath(QStringLiteral("class/net/lo/flags")), "0x9\n");
    }
    QString path() const { return root_.path(); }

private:
    static void write(const QString& path, const QByteArray& text) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QTemporaryDir root_;
};

TEST(UsbNetworking, FindsThePhonesInterfacesOnly) {
    FakeSysfs sysfs;
    sysfs.add(QStringLiteral("usb0"), QStringLiteral("0fca"), QStringLiteral("cdc_ncm"), "0x1003");
    // One phone may show two interfaces.
    sysfs.add(QStringLiteral("usb1"), QStringLiteral("0FCA"), QStringLiteral("rndis_host"),
              "0x1002");
    sysfs.add(QStringLiteral("enp0s20f0u3"), QStringLiteral("18d1"), QStringLiteral("rndis_host"),
              "0x1003"); // another maker's phone
    sysfs.add(QStringLiteral("usb2"), QStringLiteral("0fca"), QStringLiteral("cdc_ether"),
              "0x1003");
    sysfs.add(QStringLiteral("usb3"), QStringLiteral("0fca"), QString(), "0x1003"); // unbound
    sysfs.add(QStringLiteral("eth0"), QString(), QStringLiteral("e1000e"), "0x1003");
    sysfs.addLoopback();

    const QList<PhoneUsbInterface> expected = {
        {QStringLiteral("usb0"), QStringLiteral("cdc_ncm"), true},
        {QStringLiteral("usb1"), QStringLiteral("rndis_host"), false},
    };
    EXPECT_EQ(FindPhoneUsbInterfaces(sysfs.path()), expected);
    EXPECT_TRUE(FindPhoneUsbInterfaces(sysfs.path() + QStringLiteral("/nothing")).isEmpty());
}

TEST(UsbNetworking, AdviceNamesTheExactCommandForEachInterfaceWithoutAnAddress) {
    const PhoneUsbInterface up{QStringLiteral("usb0"), QStringLiteral("cdc_ncm"), true};
    const PhoneUsbInterface down{QStringLiteral("usb1"), QStringLiteral("rndis_host"), false};
    struct Case {
        const char* name;
        QList<PhoneUsbInterface> interfaces;
        QStringList withIpv4;
        QStringList mustSay;
        qsizetype lines;
    };
    const std::vector<Case> cases = {
        {"none", {}, {}, {}, 0},
        {"up without an address",
         {up},
         {QStringLiteral("eth0")},
         {QStringLiteral("usb0 (cdc_ncm) is up but has no IPv4 address"),
          QStringLiteral("\"sudo ip address add 169.254.0.2/16 dev usb0\""),
          QStringLiteral("nmcli connection add type ethernet ifname usb0 ")},
         1},
        {"down without an address: brought up too",
         {down},
         {},
         {QStringLiteral("usb1 (rndis_host) is down and has no IPv4 address"),
          QStringLiteral("\"sudo ip address add 169.254.0.2/16 dev usb1\" and \"sudo ip link set "
                         "dev usb1 up\"")},
         1},
        {"one of two has an address",
         {up, down},
         {QStringLiteral("usb0")},
         {QStringLiteral("usb1")},
         1},
        {"both have addresses",
         {up, down},
         {QStringLiteral("usb0"), QStringLiteral("usb1")},
         {},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList advice = UsbNetworkingAdvice(c.interfaces, c.withIpv4);
        ASSERT_EQ(advice.size(), c.lines);
        for (const QString& words : c.mustSay)
            EXPECT_TRUE(advice.join(QLatin1Char('\n')).contains(words))
                << words.toStdString() << "\n in: " << advice.join(QLatin1Char('\n')).toStdString();
    }
}

} // namespace
} // namespace kestrane
