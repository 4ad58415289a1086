#pragma once

#include <QSettings>
#include <QString>

namespace kestrane {

// Kestrane's settings: $XDG_CONFIG_HOME/kestrane/kestrane.ini (normally
// ~/.config/kestrane/kestrane.ini). Only choices the user made are kept, never a password.
// Qt Core only: the window writes them, the command-line tools read them too.
inline QSettings KestraneSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("kestrane"),
                     QStringLiteral("kestrane"));
}

// The install screen's "Launch after installing" (true or false).
inline const QString LaunchAfterInstallKey = QStringLiteral("install/launchAfterInstall");
// The address of the last device Connect reached (never its password).
inline const QString LastDeviceAddressKey = QStringLiteral("device/lastAddress");

// The key of the deploy tool's folder chosen in the window.
inline const QString ChosenDeployToolKey = QStringLiteral("deployTool/folder");

// The deploy tool's folder chosen in the window; empty when none was chosen.
inline QString ChosenDeployToolFolder() {
    return KestraneSettings().value(ChosenDeployToolKey).toString();
}

} // namespace kestrane
