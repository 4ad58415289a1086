#pragma once

#include "LoginAttempts.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace kestrane::cli {

// A device password kept in the desktop keyring (under the PIN of the device remembered at the
// address), read when no other source gives one.
struct KeptPassword {
    QString address;
    QString pin;
    QString password;
};

// The password kept for the device remembered at address; nullopt when no device is
// remembered there, none is kept, or no keyring answers.
std::optional<KeptPassword> KeptPasswordFor(const QString& address);

// After a run with a kept password: when the device refused a password meanwhile (its count of
// failed attempts changed from before and is not cleared), the kept password is wrong and is
// removed at once, and this is said on standard error.
void ForgetRefusedPassword(const KeptPassword& kept,
                           const std::optional<LoginAttempts::Count>& before);

// True when the arguments' command is "forget-password" (options before it may take values).
bool IsForgetPasswordCommand(const QStringList& arguments);

// kestrane-device forget-password --device ADDRESS: removes the password the desktop keyring
// keeps for the device remembered at ADDRESS. Returns the exit code: 0 when none is kept any
// more (also when none was), 1 for bad usage or when no keyring answers.
int RunForgetPassword(const QStringList& arguments);

} // namespace kestrane::cli
