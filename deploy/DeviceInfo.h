#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace kestrane {

// The device's debug token as its information reports it (the "@devmode" section:
// "debug_token_installed:b:", "debug_token_valid:b:", "debug_token_expiration::",
// "debug_token_author::", "debug_token_validation_error::",
// "debug_token_validation_error_code:n:"). The device decides whether the token is valid: a device
// whose clock was set back keeps a token valid past its printed date, and is not overruled.
struct DebugTokenState {
    enum class Status {
        Unknown, // neither "debug_token_installed" nor "debug_token_valid" reported
        None,    // no debug token installed
        Valid,   // installed and valid (or installed, its validity not reported)
        Expired, // not valid, and the device's reason says it expired
        Invalid, // not valid for another reason
    };
    Status status = Status::Unknown;
    QString expiration;      // as the device writes it; empty when not reported
    QDateTime expiry;        // the expiration read as a date; invalid when it is none
    QString author;          // empty when not reported
    QString validationError; // the device's reason, empty when it gave none
    std::optional<qint64> validationErrorCode; // 0 when the token is fine

    // A valid token whose expiry date lies before `now`: the device's clock is behind.
    bool ValidPastExpiry(const QDateTime& now) const;
};

// The token's expiry as the window and the command line show it: the date as the device printed
// it in its own zone ("2014-05-29"), or the device's text when it is no date.
QString DebugTokenDateText(const DebugTokenState& token);

// The state's text for the main screen: "No debug token", "Debug token valid until DATE",
// "Debug token valid past DATE" (the device's clock is behind), "Debug token expired on DATE",
// "Debug token invalid: REASON" (without the date or reason when the device gave none); empty for
// Unknown, where the window shows nothing.
QString DebugTokenText(const DebugTokenState& token,
                       const QDateTime& now = QDateTime::currentDateTimeUtc());
// The state alone, for a line already labelled "Debug token": "none", "valid until DATE",
// "valid (the device's clock ...)", "expired on DATE", "invalid: REASON"; empty for Unknown.
QString DebugTokenStateText(const DebugTokenState& token,
                            const QDateTime& now = QDateTime::currentDateTimeUtc());
// Everything the device said of the token, as sentences for a tooltip or a detail line: that its
// clock is behind (a valid token past its date), its author, its expiry as printed, the device's
// reason and its code. Empty for Unknown and None.
QString DebugTokenDetails(const DebugTokenState& token,
                          const QDateTime& now = QDateTime::currentDateTimeUtc());

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

// Reads the device's identity out of the tool's whole output through DeviceProperties: each value
// is its key's last property ("modelfullname", "modelname", ...; with or without "[n]", untyped or
// typed), cut to 80 characters (30 for the OS and the versions); the PIN is what follows "0x",
// upper-cased, at most 8 characters. Then a device without a model name whose OS is "BlackBerry
// PlayBook OS" becomes "BlackBerry PlayBook" with the model key "playbook".
DeviceInfo ReadDeviceInfo(const QString& output);

// The picture of a model: <AppDir>/lib/blackberry-<model key>.jpg, the key exactly as read.
QString ModelPicturePath(const QString& appDir, const QString& modelKey);

} // namespace kestrane
