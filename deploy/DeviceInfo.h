#pragma once

#include <QString>

namespace kestrane {

// The device's debug token as its information reports it ("debug_token_installed::",
// "debug_token_valid::", "debug_token_expiration::", "debug_token_validation_error::"; each
// value the run after the line's first "::", at most 80 characters, the last line winning).
struct DebugTokenState {
    enum class Status {
        Unknown, // neither "debug_token_installed" nor "debug_token_valid" reported (PlayBooks)
        None,    // no debug token installed
        Valid,   // installed and valid (or installed, its validity not reported)
        Expired, // not valid, and the device's reason says it expired
        Invalid, // not valid for another reason
    };
    Status status = Status::Unknown;
    QString expiration; // as the device writes it; empty when not reported
    QString validationError;
};

// The state's text for the main screen: "No debug token", "Debug token valid until DATE",
// "Debug token expired on DATE", "Debug token invalid: REASON" (without the date or reason when
// the device gave none); empty for Unknown, where the window shows nothing.
QString DebugTokenText(const DebugTokenState& token);
// The state alone, for a line already labelled "Debug token": "none", "valid until DATE",
// "expired on DATE", "invalid: REASON"; empty for Unknown.
QString DebugTokenStateText(const DebugTokenState& token);

// What Connect shows of a device, read from the output of "-listDeviceInfo". A value that no
// line gave stays "...".
struct DeviceInfo {
    // The output had at least three lines. Connect needs that on top of a command that succeeded
    // (JudgeDeviceCommand); with fewer lines the values below mean nothing.
    bool connected = false;
    QString deviceName = QStringLiteral("...");
    QString modelNumber = QStringLiteral("...");
    QString hardwareId = QStringLiteral("...");
    QString imei = QStringLiteral("...");
    QString serialNumber = QStringLiteral("...");
    QString pin = QStringLiteral("...");
    QString os = QStringLiteral("...");
    QString version = QStringLiteral("...");
    QString airVersion = QStringLiteral("...");
    QString flashVersion = QStringLiteral("...");
    // Not shown: selects the model picture. Empty when no line gave it.
    QString modelKey;
    DebugTokenState debugToken;
};

// Reads the device's properties out of the tool's whole output: every line is tested against
// every key ("modelfullname:", "modelname:", ..., exact and case-sensitive, anywhere in the
// line), the last line that holds a key giving its value; then a device without a model name whose
// OS is "BlackBerry PlayBook OS" becomes "BlackBerry PlayBook" with the model key "playbook".
DeviceInfo ReadDeviceInfo(const QString& output);

// The picture of a model: <AppDir>/lib/blackberry-<model key>.jpg, the key exactly as read.
QString ModelPicturePath(const QString& appDir, const QString& modelKey);

} // namespace kestrane
