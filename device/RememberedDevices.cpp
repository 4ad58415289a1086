#include "RememberedDevices.h"

#include "Settings.h"

#include <QRegularExpression>
#include <QStringList>

namespace kestrane {

namespace {

QString KeyOf(const QString& pin) {
    return QStringLiteral("devices/") + pin;
}

} // namespace

QString NormalizedPin(const QString& pin) {
    QString digits = pin.trimmed().toUpper();
    if (digits.startsWith(QLatin1String("0X")))
        digits = digits.mid(2);
    static const QRegularExpression hex(QStringLiteral("^[0-9A-F]{1,8}$"));
    if (!hex.match(digits).hasMatch())
        return {};
    return digits.rightJustified(8, QLatin1Char('0'));
}

void RememberDevice(QSettings& settings, const RememberedDevice& device) {
    const QString pin = NormalizedPin(device.pin);
    if (pin.isEmpty() || device.address.isEmpty())
        return;
    while (const std::optional<RememberedDevice> other =
               RememberedDeviceByAddress(settings, device.address)) {
        if (other->pin == pin)
            break;
        settings.remove(KeyOf(other->pin));
    }
    settings.setValue(KeyOf(pin), QStringList{device.address, device.model});
}

std::optional<RememberedDevice> RememberedDeviceByPin(QSettings& settings, const QString& pin) {
    const QString normalized = NormalizedPin(pin);
    if (normalized.isEmpty())
        return std::nullopt;
    const QStringList value = settings.value(KeyOf(normalized)).toStringList();
    if (value.isEmpty() || value.first().isEmpty())
        return std::nullopt;
    return RememberedDevice{normalized, value.first(), value.value(1)};
}

std::optional<RememberedDevice> RememberedDeviceByAddress(QSettings& settings,
                                                          const QString& address) {
    const QString wanted = QString(address).remove(QLatin1Char(' '));
    if (wanted.isEmpty())
        return std::nullopt;
    settings.beginGroup(QStringLiteral("devices"));
    const QStringList pins = settings.childKeys();
    settings.endGroup();
    for (const QString& pin : pins) {
        const std::optional<RememberedDevice> device = RememberedDeviceByPin(settings, pin);
        if (device && device->address == wanted)
            return device;
    }
    return std::nullopt;
}

void ForgetRememberedDevice(QSettings& settings, const RememberedDevice& device) {
    const QString pin = NormalizedPin(device.pin);
    if (!pin.isEmpty())
        settings.remove(KeyOf(pin));
    if (!device.address.isEmpty() &&
        settings.value(LastDeviceAddressKey).toString() == device.address)
        settings.remove(LastDeviceAddressKey);
}

QString RememberedDeviceText(const RememberedDevice& device) {
    const QString pin = QStringLiteral("PIN ") + NormalizedPin(device.pin);
    return device.model.trimmed().isEmpty() ? pin
                                            : device.model.trimmed() + QStringLiteral(", ") + pin;
}

} // namespace kestrane
