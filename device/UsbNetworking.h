#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace kestrane {

// A BlackBerry phone or PlayBook on USB shows up on Linux as one or two network interfaces
// (USB vendor 0fca, driver cdc_ncm or rndis_host). Many systems leave them without an IPv4
// address, and then nothing reaches the device over USB. This finds them and says how to fix it.

struct PhoneUsbInterface {
    QString name;    // "usb0", "enp0s20f0u2"
    QString driver;  // "cdc_ncm", "rndis_host"
    bool up = false; // administratively up (IFF_UP in its flags)

    friend bool operator==(const PhoneUsbInterface&, const PhoneUsbInterface&) = default;
};

// The phones' USB network interfaces below sysfsRoot ("/sys" on a running system; tests give a
// folder of their own), read from class/net/IFACE: device/../idVendor (the USB device's vendor),
// the device/driver link's name and the flags. In name order; empty where there is no sysfs.
QList<PhoneUsbInterface> FindPhoneUsbInterfaces(const QString& sysfsRoot);

// The names of the machine's network interfaces that have an IPv4 address.
QStringList InterfacesWithIpv4();

// One sentence per phone interface without an IPv4 address, with the command that gives it
// one; empty when every such interface has one (or there is none).
QStringList UsbNetworkingAdvice(const QList<PhoneUsbInterface>& interfaces,
                                const QStringList& withIpv4);

} // namespace kestrane
