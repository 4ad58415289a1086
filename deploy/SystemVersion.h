#pragma once

#include "DeviceInfo.h"

#include <QString>
#include <QStringView>

#include <compare>
#include <optional>

namespace kestrane {

// Compares two dotted versions ("10.2.1.3247") numerically, component by component; a missing
// component counts as 0, so 10.3 equals 10.3.0.0. Blanks around the whole text are ignored.
// No result when either text is not a dotted version: components of decimal digits only (each at
// most 18 digits), none empty.
std::optional<std::strong_ordering> CompareVersions(QStringView left, QStringView right);

// Whether the device's OS is older than a BAR's required system version (its
// Application-Requires-System). The device's numeric OS version is its software release, the
// "scmbundle::" value (DeviceInfo::version; "device_os::" holds the system's name). False when
// either version cannot be read: the device itself decides then.
bool DeviceOsOlderThan(const DeviceInfo& device, const QString& requiredVersion);

} // namespace kestrane
