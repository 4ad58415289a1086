#pragma once

#include <QSettings>

namespace kestrane {

// Kestrane's settings: $XDG_CONFIG_HOME/kestrane/kestrane.ini (normally
// ~/.config/kestrane/kestrane.ini). Only choices the user made are kept, never a password.
// The install screen's "Launch after installing" (true or false).
inline const QString LaunchAfterInstallKey = QStringLiteral("install/launchAfterInstall");
// The address of the last device Connect reached (never its password).
inline const QString LastDeviceAddressKey = QStringLiteral("device/lastAddress");

inline QSettings KestraneSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("kestrane"),
                     QStringLiteral("kestrane"));
}

} // namespace kestrane
