#pragma once

#include <QSettings>

namespace kestrane {

// Kestrane's settings: $XDG_CONFIG_HOME/kestrane/kestrane.ini (normally
// ~/.config/kestrane/kestrane.ini). Only choices the user made are kept, never a password.
inline QSettings KestraneSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("kestrane"),
                     QStringLiteral("kestrane"));
}

} // namespace kestrane
