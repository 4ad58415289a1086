#pragma once

#include "DeployCommand.h"

#include <QString>

namespace kestrane {

// One application as a line of "-listInstalledApps" describes it. An empty appName means the
// line gives no row.
struct InstalledApp {
    QString appName;
    QString version;
    QString packageName;
    QString packageId;
};

// Reads one output line by position. Lines holding "source::developer" are read as sideloaded
// applications (the app name is the package name's last part), lines holding "source::appworld"
// take the app name from "name::" up to the next ","; a line holding both is read the second way,
// a line holding neither gives no row. Laid out as
//   <package name>.<id>::<id>,<version>,...
// a line reads back right when the id's first four characters do not occur earlier in it.
InstalledApp ReadInstalledAppLine(const QString& line);

// The word an application action writes into a row's Status column after a run of the tool that
// succeeded: Check Status ("-isAppRunning") gives "Running" when the output holds "result::true"
// anywhere and "Stop" otherwise; Launch, Terminate and Uninstall give "Running", "Stop" and
// "Uninstalled" whatever the output. Other actions give an empty word.
QString AppActionStatus(DeployAction action, const QString& output);

// The word a row shows when the tool failed to act on it (see JudgeDeviceCommand): never one that
// claims the action was done.
inline const QString AppActionFailedStatus = QStringLiteral("Error");

} // namespace kestrane
