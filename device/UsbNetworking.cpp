#include "UsbNetworking.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkInterface>

namespace kestrane {

namespace {

constexpr unsigned InterfaceUpFlag = 0x1; // IFF_UP

QString FirstLine(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readLine(256)).trimmed();
}

bool IsPhoneDriver(const QString& driver) {
    return driver == QLatin1String("cdc_ncm") || driver == QLatin1String("rndis_host");
}

} // namespace

QList<PhoneUsbInterface> FindPhoneUsbInterfaces(const QString& sysfsRoot) {
    QList<PhoneUsbInterface> found;
    const QDir net(QDir(sysfsRoot).filePath(QStringLiteral("class/net")));
    const QStringList names = net.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        // device is a link to the USB interface; its parent folder is the USB device, which
        // holds the vendor id. The link is resolved first: "device/.." names the link's folder
        // for Qt, the USB device for the kernel.
        const QString usbInterface =
            QFileInfo(net.filePath(name + QStringLiteral("/device"))).canonicalFilePath();
        if (usbInterface.isEmpty())
            continue;
        const QString vendor =
            FirstLine(QFileInfo(usbInterface).dir().filePath(QStringLiteral("idVendor")));
        const QString driverPath =
            QFileInfo(usbInterface + QStringLiteral("/driver")).canonicalFilePath();
        const QString driver = QFileInfo(driverPath).fileName();
        if (vendor.compare(QLatin1String("0fca"), Qt::CaseInsensitive) != 0 ||
            !IsPhoneDriver(driver))
            continue;
        bool ok = false;
        const unsigned flags =
            FirstLine(net.filePath(name + QStringLiteral("/flags"))).toUInt(&ok, 0);
        found.append({name, driver, ok && (flags & InterfaceUpFlag) != 0});
    }
    return found;
}

QStringList InterfacesWithIpv4() {
    QStringList names;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& networkInterface : interfaces) {
        const auto entries = networkInterface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries)
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
                names.append(networkInterface.name());
                break;
            }
    }
    return names;
}

QStringList UsbNetworkingAdvice(const QList<PhoneUsbInterface>& interfaces,
                                const QStringList& withIpv4) {
    QStringList advice;
    for (const PhoneUsbInterface& phone : interfaces) {
        if (withIpv4.contains(phone.name))
            continue;
        const QString fix =
            QStringLiteral("give it one with \"sudo ip address add 169.254.0.2/16 dev %1\"%2 "
                           "(until the phone is unplugged), or for good with NetworkManager: "
                           "\"nmcli connection add type ethernet ifname %1 con-name blackberry-%1 "
                           "ipv4.method manual ipv4.addresses 169.254.0.2/16 ipv6.method "
                           "ignore\"; then look again.")
                .arg(phone.name,
                     phone.up
                         ? QString()
                         : QStringLiteral(" and \"sudo ip link set dev %1 up\"").arg(phone.name));
        advice.append(
            QStringLiteral("The phone's USB network interface %1 (%2) %3 no IPv4 address, so "
                           "the device cannot be reached over USB: %4")
                .arg(phone.name, phone.driver,
                     phone.up ? QStringLiteral("is up but has") : QStringLiteral("is down and has"),
                     fix));
    }
    return advice;
}

} // namespace kestrane
