#pragma once

#include <QSettings>
#include <QString>

#include <optional>

namespace kestrane {

// Devices found or connected, remembered by PIN with their last address and name (never a
// password), in Kestrane's settings: a Wi-Fi device whose address changed is recognised when it
// is found again, and its new address suggested.
struct RememberedDevice {
    QString pin; // 8 upper-case hex digits
    QString address;
    QString model;
};

// The PIN in the form devices are remembered by ("0x2a7f3c9e" and "2A7F3C9E" give "2A7F3C9E");
// empty when it is no PIN.
QString NormalizedPin(const QString& pin);

// Keeps the device under its PIN (section [devices]); a device without a readable PIN is not
// kept. An address is one device's at a time (phones on USB all take 169.254.0.1): another
// device remembered at the same address is let go.
void RememberDevice(QSettings& settings, const RememberedDevice& device);

std::optional<RememberedDevice> RememberedDeviceByPin(QSettings& settings, const QString& pin);

// The device remembered at this address (blanks in it ignored); nullopt when none is.
std::optional<RememberedDevice> RememberedDeviceByAddress(QSettings& settings,
                                                          const QString& address);

// Forgets the device under its PIN, and the last connected address when it is the device's.
void ForgetRememberedDevice(QSettings& settings, const RememberedDevice& device);

// The device as the window and kestrane-device name it: "BlackBerry Z30, PIN 2A7F3C9E" (the PIN
// alone when no name is known).
QString RememberedDeviceText(const RememberedDevice& device);

} // namespace kestrane
