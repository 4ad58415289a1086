#include "DeviceInfo.h"

#include "TextUtils.h"

#include <array>
#include <optional>

namespace kestrane {

namespace {

constexpr qsizetype kLongLimit = 80;
constexpr qsizetype kShortLimit = 30;

// The run of at most `limit` characters after the line's first `marker`, or from the line's second
// character when the line has no such marker.
QString runAfter(const QString& line, QLatin1StringView marker, qsizetype limit) {
    const qsizetype at = line.indexOf(marker);
    const qsizetype start = at < 0 ? 1 : at + marker.size();
    return line.mid(start, limit);
}

QString upperCaseAscii(QString text) {
    for (QChar& c : text)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    return text;
}

struct PropertyKey {
    QLatin1StringView key;
    QString DeviceInfo::*value;
    qsizetype limit;
};

// The keys whose value is the run after the line's first "::". Each ends in a single colon, so it
// matches the first colon of a line's "::". The model name and the PIN are read apart (readLine);
// the keys are independent, so the order in which a line is tested does not matter.
const std::array<PropertyKey, 9> kValueKeys{{
    {QLatin1StringView("modelfullname:"), &DeviceInfo::deviceName, kLongLimit},
    {QLatin1StringView("modelnumber:"), &DeviceInfo::modelNumber, kLongLimit},
    {QLatin1StringView("hardwareid:"), &DeviceInfo::hardwareId, kLongLimit},
    {QLatin1StringView("IMEI:"), &DeviceInfo::imei, kLongLimit},
    {QLatin1StringView("deviceserialnumber:"), &DeviceInfo::serialNumber, kLongLimit},
    {QLatin1StringView("device_os:"), &DeviceInfo::os, kShortLimit},
    {QLatin1StringView("scmbundle:"), &DeviceInfo::version, kShortLimit},
    {QLatin1StringView("air_version:"), &DeviceInfo::airVersion, kShortLimit},
    {QLatin1StringView("flash_version:"), &DeviceInfo::flashVersion, kShortLimit},
}};

void readLine(const QString& line, DeviceInfo& info) {
    static const QLatin1StringView separator("::");
    for (const PropertyKey& key : kValueKeys)
        if (line.contains(key.key))
            info.*key.value = runAfter(line, separator, key.limit);
    if (line.contains(QLatin1StringView("modelname:")))
        info.modelKey = TrimControls(runAfter(line, separator, kLongLimit));
    if (line.contains(QLatin1StringView("devicepin:")))
        info.pin = upperCaseAscii(runAfter(line, QLatin1StringView("0x"), 8));
}

// The debug token's lines, read as they come; the status is decided once all lines are read.
struct DebugTokenLines {
    std::optional<QString> installed;
    std::optional<QString> valid;
    QString expiration;
    QString validationError;

    void read(const QString& line) {
        static const QLatin1StringView separator("::");
        if (line.contains(QLatin1StringView("debug_token_installed:")))
            installed = runAfter(line, separator, kLongLimit).trimmed();
        if (line.contains(QLatin1StringView("debug_token_valid:")))
            valid = runAfter(line, separator, kLongLimit).trimmed();
        if (line.contains(QLatin1StringView("debug_token_expiration:")))
            expiration = runAfter(line, separator, kLongLimit).trimmed();
        if (line.contains(QLatin1StringView("debug_token_validation_error:")))
            validationError = runAfter(line, separator, kLongLimit).trimmed();
    }

    DebugTokenState state() const {
        using Status = DebugTokenState::Status;
        DebugTokenState token{Status::Unknown, expiration, validationError};
        const auto isTrue = [](const std::optional<QString>& value) {
            return value && value->compare(QLatin1StringView("true"), Qt::CaseInsensitive) == 0;
        };
        if (!installed && !valid)
            token.status = Status::Unknown;
        else if (installed && !isTrue(installed))
            token.status = Status::None;
        else if (!valid || isTrue(valid))
            token.status = Status::Valid;
        else if (validationError.contains(QLatin1StringView("expire"), Qt::CaseInsensitive))
            token.status = Status::Expired;
        else
            token.status = Status::Invalid;
        return token;
    }
};

void applyPlayBookRule(DeviceInfo& info) {
    if (info.deviceName == QLatin1StringView("...") &&
        info.os == QLatin1StringView("BlackBerry PlayBook OS")) {
        info.deviceName = QStringLiteral("BlackBerry PlayBook");
        info.modelKey = QStringLiteral("playbook");
    }
}

} // namespace

DeviceInfo ReadDeviceInfo(const QString& output) {
    DeviceInfo info;
    const QStringList lines = SplitLines(output);
    if (lines.size() < 3)
        return info;
    info.connected = true;
    DebugTokenLines token;
    for (const QString& line : lines) {
        readLine(line, info);
        token.read(line);
    }
    applyPlayBookRule(info);
    info.debugToken = token.state();
    return info;
}

QString DebugTokenStateText(const DebugTokenState& token) {
    using Status = DebugTokenState::Status;
    const auto withDetail = [](const char* text, const char* joint, const QString& detail) {
        QString result = QString::fromLatin1(text);
        if (!detail.isEmpty())
            result += QLatin1StringView(joint) + detail;
        return result;
    };
    switch (token.status) {
    case Status::Unknown:
        return {};
    case Status::None:
        return QStringLiteral("none");
    case Status::Valid:
        return withDetail("valid", " until ", token.expiration);
    case Status::Expired:
        return withDetail("expired", " on ", token.expiration);
    case Status::Invalid:
        return withDetail("invalid", ": ", token.validationError);
    }
    return {};
}

QString DebugTokenText(const DebugTokenState& token) {
    if (token.status == DebugTokenState::Status::None)
        return QStringLiteral("No debug token");
    const QString state = DebugTokenStateText(token);
    return state.isEmpty() ? state : QStringLiteral("Debug token ") + state;
}

QString ModelPicturePath(const QString& appDir, const QString& modelKey) {
    return appDir + QStringLiteral("/lib/blackberry-") + modelKey + QStringLiteral(".jpg");
}

} // namespace kestrane
