#pragma once

#include <QString>

namespace kestrane {

// What went wrong with a device command, as far as the deploy tool's text tells. The names are
// what a front end decides on (which box, which exit code); the message says it to a person.
enum class FailureKind {
    None,               // the command succeeded
    WrongPassword,      // the device refused the password, attempts are left
    NoAttemptsLeft,     // too many wrong passwords: the device takes none until reset on it
    DevelopmentModeOff, // the device answers, but Development Mode is switched off
    CannotConnect,      // refused, no route, or the connection attempt timed out
    ConnectionClosed,   // the device closed the connection without answering
    NoAnswer,           // the command wrote nothing for its silence limit and was stopped
    LoginSystemError,   // the device could not check the password
    JavaMissing,        // no usable Java runtime
    DeployToolMissing,  // lib/BarDeploy.jar (or the chosen tool) is not there
    TlsSettingsMissing, // lib/deploy-tls.security is not there
    BarFileMissing,     // the BAR file to install is gone or unreadable
    DeviceRefused,      // the device answered "result::failure CODE TEXT"
    NoResult,           // the tool ended without the result the action needs
    Unknown,            // a failure the tool's text does not explain
    InvalidAddress,     // the address given is not a device address; nothing was run
    LastAttemptLeft,    // not sent: the device has one password attempt left and none was allowed
    LocalFile,          // a file or folder on this computer cannot be read or written
};

// A failed command described for a person: a message that leads (what happened, then what to
// do), a one-line reason for lists of failures, and the tool's whole text for the box's details.
struct DeviceFailure {
    FailureKind kind = FailureKind::None;
    QString message;
    QString reason;
    QString details;
};

// The kind's name as a front end prints it ("wrong-password", "device-refused", ...).
QString FailureKindName(FailureKind kind);

// Reads a failed command's output (its exit code, or -1 when it was stopped or did not start)
// and says what it means. Checked in this order, each on the tool's own lines (never on Java
// logging records, which only go to the details):
//   the lockout text, a wrong password ("n of 10 failed attempts"), the login system error,
//   Development Mode off, "Cannot connect" (refused, unreachable, timed out), the connection
//   closed by the device, a BAR file that is gone, the device's "result::failure CODE TEXT"
//   (881 no debug token, 533 OS too old, 500 no such package, 500 file exists, other codes with
//   their text). Anything else is Unknown and leads with the tool's own "Error:" and
//   "result::failure" lines, or says which exit code it ended with when it wrote none.
DeviceFailure DescribeToolFailure(const QString& output, int exitCode);

} // namespace kestrane
