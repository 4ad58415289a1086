#pragma once

#include "DeviceOperations.h"

#include <QString>
#include <QStringList>

namespace kestrane::cli {

// The commands that reach an application's sandbox on one device.
enum class SandboxCommand { Log, ExitCode, Get, Put };

struct SandboxRequest {
    SandboxCommand command = SandboxCommand::Log;
    // PACKAGE, then the command's own: get PATH [DEST], put FILE PATH.
    QStringList arguments;
    bool follow = false;
    bool json = false;
    bool spendLastAttempt = false;
};

// The text of what is wrong with the command's arguments (their number, a sandbox path, a DEST
// or FILE that cannot be used); empty when they can be used. Nothing runs when they cannot.
QString SandboxArgumentProblem(const SandboxRequest& request);

// Runs the command on the device at address: looks the package up in the device's list, then
// prints the log (following it every two seconds with --follow, until Ctrl+C), the exit code,
// or gets or puts the file. Returns the exit code.
int RunSandbox(const SandboxRequest& request, const DeviceContext& context, const QString& address,
               const QString& password);

} // namespace kestrane::cli
