#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace kestrane {

// One property of the device's information, as "-listDeviceInfo" prints it:
//   [n]@devmode                          a section ("devmode"); sections may repeat
//   devicepin::0x22233333                 key "devicepin", untyped text
//   [n]debug_token_valid:b:true           key "debug_token_valid", type 'b' (boolean)
//   [n]debug_token_validation_error_code:n:0   type 'n' (number)
// A leading "[...]" marker (devices print "[n]") is not part of the key. The key runs up to the
// first colon and holds no blank; "::" or ":T:" (one letter T) follows it. Lines of another shape
// ("Info: Sending request: DEVICE_INFO", "Build Branch: BB10_2_1_EMR_1") are no properties.
struct DeviceProperty {
    QString section; // the last section line above it; empty before the first
    QString key;
    QChar type;    // 'b', 'n', ...; null for "::"
    QString value; // blanks and control characters at both ends removed
};

// The properties of a device's answer, in the order they came. A key that occurs more than once
// (repeated sections) reads as its last occurrence, as the device's last word.
class DeviceProperties {
public:
    static DeviceProperties Read(const QStringList& lines);

    // The property a line holds; nothing for a line of another shape or a section line.
    static std::optional<DeviceProperty> ParseLine(const QString& line);

    std::optional<QString> value(QLatin1StringView key) const;
    // "true" or "false" (any case; also "1" and "0"); nothing when absent or another word.
    std::optional<bool> flag(QLatin1StringView key) const;
    // A whole decimal number; nothing when absent or not a number.
    std::optional<qint64> number(QLatin1StringView key) const;

    const QList<DeviceProperty>& all() const { return properties_; }

private:
    QList<DeviceProperty> properties_;
};

// A date as a device prints it: Java's Date.toString ("Thu May 29 19:25:34 GMT+0200 2014", with
// "GMT", "UTC", "GMT+02:00", "+0200" or a common zone abbreviation such as "CEST"; an unknown
// abbreviation is read as UTC) or ISO 8601 ("2031-06-30", "2031-06-30T23:59:59Z"). A date
// without a time of day stands for the end of that day in UTC. Invalid when the text is neither.
QDateTime ParseDeviceDate(const QString& text);

} // namespace kestrane
