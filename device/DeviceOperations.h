#pragma once

#include "CommandResult.h"
#include "DeployCommand.h"
#include "DeviceFailure.h"
#include "DeviceInfo.h"
#include "InstalledApps.h"

#include <QList>
#include <QString>

namespace kestrane {

// A device as commands reach it: its address (as the tool receives it) and its password.
struct DeviceTarget {
    QString address;
    QString password;
};

// What every device command of a front end runs with: the deploy tool and the Java runtime's bin
// folder (empty when none was found).
struct DeviceContext {
    DeployTool tool;
    QString javaBinDir;

    // A device command's result judged with this tool's program folder and this runtime.
    CommandVerdict judge(const CommandResult& result) const {
        return JudgeDeviceCommand(result, tool.appDir, javaBinDir, tool.folder);
    }
};

// Why a device command cannot be started: kind None when it can. Checked in this order: a Java
// runtime was found (JavaMissing with the plain Java message), the address is a device address
// (InvalidAddress), the runtime, the deploy tool and its TLS settings are in place (their kinds,
// with the message naming the missing piece).
struct CommandCheck {
    FailureKind kind = FailureKind::None;
    QString message;
    bool ready() const { return kind == FailureKind::None; }
};
CommandCheck CheckBeforeDeviceCommand(const DeviceContext& context, const QString& address);

// The message of a Connect whose tool ended well but did not give the device's information.
inline const QString NoDeviceInformationMessage =
    QStringLiteral("The device sent no information. Check the address and the password.");

// What Connect's run of "-listDeviceInfo" came to: the device's information, or why not (the
// command's failure, or NoResult with NoDeviceInformationMessage and the tool's text as details
// when it gave fewer than three lines).
struct ConnectOutcome {
    CommandVerdict verdict;
    DeviceInfo info;
};
ConnectOutcome ReadConnectOutcome(const DeviceContext& context, const CommandResult& result);

// Every application a whole "-listInstalledApps" output names, in its order.
QList<InstalledApp> ReadInstalledApps(const QString& output);

// What a run of "-listInstalledApps" came to: its rows, none at all when the command failed or
// went silent (the rows read until then would look like the whole list).
struct AppListing {
    CommandVerdict verdict;
    QList<InstalledApp> apps;
};
AppListing ReadAppListing(const DeviceContext& context, const CommandResult& result);

// The exit code a command-line front end gives a failure of this kind: 0 none; 1 bad input
// (an address that is not one, a BAR file that is gone, a local file that cannot be read or
// written); 2 the device refused the command
// (Development Mode off, a refusal, no result, anything unexplained); 3 wrong password, or not
// sent because one attempt is left; 4 no attempts left; 5 not reachable or no answer; 6 the Java
// runtime or the deploy tool missing.
int DeviceExitCode(FailureKind kind);

// The folder of the running executable with links resolved, without a trailing separator: the
// program folder both front ends find lib/ in.
QString ExecutableFolder();

} // namespace kestrane
