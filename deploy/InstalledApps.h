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

// Reads one output line. Only lines holding "source::developer" or "source::appworld" describe
// an application; any other line gives no row. Such a line is laid out as
//   <package name>.<package id>::<folder>,<version>,...,name::<app name>,...
// and read by its fields: the text before the first "::" splits at its last "." into package
// name and id (ids hold no "."), the version is the field after the first "," behind the "::",
// and the app name is the "name::" field, or the package name's last part when there is none.
// A line with no "." before its "::" is read by position as the tool's older lines were: the
// four characters after "::" are looked for in the line and end the package name, and appworld
// lines take the app name from "name::" up to the next ",".
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
