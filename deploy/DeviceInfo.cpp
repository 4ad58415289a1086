#include "DeviceInfo.h"

#include "DeviceProperties.h"
#include "TextUtils.h"

#include <array>

namespace kestrane {

namespace {

constexpr qsizetype kLongLimit = 80;
constexpr qsizetype kShortLimit = 30;

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

const std::array<PropertyKey, 9> kValueKeys{{
    {QLatin1StringView("modelfullname"), &DeviceInfo::deviceName, kLongLimit},
    {QLatin1StringView("modelnumber"), &DeviceInfo::modelNumber, kLongLimit},
    {QLatin1StringView("hardwareid"), &DeviceInfo::hardwareId, kLongLimit},
    {QLatin1StringView("IMEI"), &DeviceInfo::imei, kLongLimit},
    {QLatin1StringView("deviceserialnumber"), &DeviceInfo::serialNumber, kLongLimit},
    {QLatin1StringView("device_os"), &DeviceInfo::os, kShortLimit},
    {QLatin1StringView("scmbundle"), &DeviceInfo::version, kShortLimit},
    {QLatin1StringView("air_version"), &DeviceInfo::airVersion, kShortLimit},
    {QLatin1StringView("flash_version"), &DeviceInfo::flashVersion, kShortLimit},
}};

// "0x2a7f3c9e" is shown as "2A7F3C9E": what follows the "0x", at most eight characters.
QString PinOf(const QString& value) {
    const qsizetype prefix = value.indexOf(QLatin1StringView("0x"));
    return upperCaseAscii(value.mid(prefix < 0 ? 0 : prefix + 2, 8));
}

void ReadIdentity(const DeviceProperties& properties, DeviceInfo& info) {
    for (const PropertyKey& key : kValueKeys)
        if (const std::optional<QString> value = properties.value(key.key))
            info.*key.value = value->left(key.limit);
    if (const std::optional<QString> model = properties.value(QLatin1StringView("modelname")))
        info.modelKey = model->left(kLongLimit);
    if (const std::optional<QString> pin = properties.value(QLatin1StringView("devicepin")))
        info.pin = PinOf(*pin);
}

DebugTokenState ReadDebugToken(const DeviceProperties& properties) {
    using Status = DebugTokenState::Status;
    const auto text = [&](const char* key) {
        return properties.value(QLatin1StringView(key)).value_or(QString()).left(kLongLimit);
    };
    DebugTokenState token;
    token.expiration = text("debug_token_expiration");
    token.expiry = ParseDeviceDate(token.expiration);
    token.author = text("debug_token_author");
    token.validationError = text("debug_token_validation_error");
    token.validationErrorCode =
        properties.number(QLatin1StringView("debug_token_validation_error_code"));
    const std::optional<QString> installedText =
        properties.value(QLatin1StringView("debug_token_installed"));
    const std::optional<QString> validText =
        properties.value(QLatin1StringView("debug_token_valid"));
    const std::optional<bool> installed =
        properties.flag(QLatin1StringView("debug_token_installed"));
    const std::optional<bool> valid = properties.flag(QLatin1StringView("debug_token_valid"));
    if (!installedText && !validText)
        token.status = Status::Unknown;
    else if (installedText && installed != true)
        token.status = Status::None;
    else if (!validText || valid == true)
        token.status = Status::Valid;
    else if (token.validationError.contains(QLatin1StringView("expire"), Qt::CaseInsensitive))
        token.status = Status::Expired;
    else
        token.status = Status::Invalid;
    return token;
}

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
    const DeviceProperties properties = DeviceProperties::Read(lines);
    ReadIdentity(properties, info);
    applyPlayBookRule(info);
    info.debugToken = ReadDebugToken(properties);
    return info;
}

bool DebugTokenState::ValidPastExpiry(const QDateTime& now) const {
    return status == Status::Valid && expiry.isValid() && expiry < now;
}

QString DebugTokenDateText(const DebugTokenState& token) {
    if (!token.expiry.isValid())
        return token.expiration;
    return token.expiry.date().toString(Qt::ISODate);
}

QString DebugTokenStateText(const DebugTokenState& token, const QDateTime& now) {
    using Status = DebugTokenState::Status;
    const QString date = DebugTokenDateText(token);
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
        if (token.ValidPastExpiry(now))
            return QStringLiteral("valid (the device's clock is behind its expiry date of %1)")
                .arg(date);
        return withDetail("valid", " until ", date);
    case Status::Expired:
        return withDetail("expired", " on ", date);
    case Status::Invalid:
        return withDetail("invalid", ": ", token.validationError);
    }
    return {};
}

QString DebugTokenText(const DebugTokenState& token, const QDateTime& now) {
    if (token.status == DebugTokenState::Status::None)
        return QStringLiteral("No debug token");
    // Short enough for the card's line; the tooltip (DebugTokenDetails) says why.
    if (token.ValidPastExpiry(now))
        return QStringLiteral("Debug token valid past %1").arg(DebugTokenDateText(token));
    const QString state = DebugTokenStateText(token, now);
    return state.isEmpty() ? state : QStringLiteral("Debug token ") + state;
}

QString DebugTokenDetails(const DebugTokenState& token, const QDateTime& now) {
    using Status = DebugTokenState::Status;
    if (token.status == Status::Unknown || token.status == Status::None)
        return {};
    QStringList sentences;
    if (token.ValidPastExpiry(now))
        sentences << QStringLiteral("The device's clock is behind: it keeps the token valid past "
                                    "its expiry date of %1.")
                         .arg(DebugTokenDateText(token));
    if (!token.author.isEmpty())
        sentences << QStringLiteral("Issued to %1.").arg(token.author);
    if (!token.expiration.isEmpty())
        sentences << QStringLiteral("Expiry as the device gives it: %1.").arg(token.expiration);
    if (!token.validationError.isEmpty()) {
        QString reason = QStringLiteral("The device says: %1").arg(token.validationError);
        if (token.validationErrorCode)
            reason += QStringLiteral(" (code %1)").arg(*token.validationErrorCode);
        sentences << reason + QLatin1Char('.');
    }
    return sentences.join(QLatin1Char(' '));
}

QString ModelPicturePath(const QString& appDir, const QString& modelKey) {
    return appDir + QStringLiteral("/lib/blackberry-") + modelKey + QStringLiteral(".jpg");
}

} // namespace kestrane
