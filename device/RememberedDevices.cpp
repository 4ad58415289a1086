#include "RememberedDevices.h"

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

} // namespace kestrane
