#include "InstallPreflight.h"

#include "SystemVersion.h"

namespace kestrane {
namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

bool Reported(const QString& value) {
    return !value.isEmpty() && value != QStringLiteral("...");
}

BarNote DebugTokenNote(const BarInfo& bar, const DeviceInfo& device, const QDate& today) {
    if (Reported(device.pin) && !bar.IsValidForDevice(device.pin.toStdString()))
        return {QStringLiteral("Not for this device"),
                QStringLiteral("Debug token not for this device (PIN %1)").arg(device.pin)};
    const QString expiry = FromUtf8(bar.DebugTokenExpiry);
    const QDate expiryDate = DebugTokenExpiryDate(bar);
    if (expiryDate.isValid() && expiryDate < today)
        return {QStringLiteral("Expired %1").arg(expiryDate.toString(Qt::ISODate)),
                QStringLiteral("Debug token expired on %1").arg(expiry)};
    if (expiry.isEmpty())
        return {};
    return {QStringLiteral("Valid until %1")
                .arg(expiryDate.isValid() ? expiryDate.toString(Qt::ISODate) : expiry),
            QStringLiteral("Debug token valid until %1").arg(expiry)};
}

} // namespace

QString BarTypeText(const BarInfo& bar) {
    return bar.IsDebugToken() ? QStringLiteral("Debug token") : FromUtf8(bar.AppType);
}

QString BarDisplayName(const BarInfo& bar) {
    if (!bar.AppName.empty() || !bar.IsDebugToken())
        return FromUtf8(bar.AppName);
    if (bar.Author.empty())
        return QStringLiteral("Debug token");
    return QStringLiteral("Debug token (%1)").arg(FromUtf8(bar.Author));
}

QDate DebugTokenExpiryDate(const BarInfo& bar) {
    const QString expiry = FromUtf8(bar.DebugTokenExpiry).trimmed();
    return QDate::fromString(expiry.left(10), Qt::ISODate);
}

BarNote BarNoteForDevice(const BarInfo& bar, const DeviceInfo& device, const QDate& today) {
    if (bar.IsDebugToken())
        return DebugTokenNote(bar, device, today);
    const QString required = FromUtf8(bar.RequiredSystemVersion);
    if (!required.isEmpty() && DeviceOsOlderThan(device, required))
        return {QStringLiteral("Needs OS %1").arg(required),
                QStringLiteral("Needs OS %1; the device has %2. The device will refuse it.")
                    .arg(required, device.version)};
    return {};
}

InstallRun::Item InstallItemFor(const QString& name, const QString& barPath, const BarInfo& bar) {
    InstallRun::Item item;
    item.name = name;
    item.barPath = barPath;
    item.hasPackageId = !bar.PackageId.empty();
    item.debugToken = bar.IsDebugToken();
    item.packageName = FromUtf8(bar.PackageName);
    item.version = FromUtf8(bar.PackageVersion.empty() ? bar.AppVersion : bar.PackageVersion);
    return item;
}

} // namespace kestrane
