#include "DeviceProperties.h"

#include "TextUtils.h"

#include <QTimeZone>

#include <algorithm>
#include <array>

namespace kestrane {

namespace {

// "[n]" and the like before a section or key; a bracket further in is part of the line.
constexpr qsizetype kLongestMarker = 8;

QStringView WithoutMarker(QStringView line) {
    if (!line.startsWith(QLatin1Char('[')))
        return line;
    const qsizetype close = line.indexOf(QLatin1Char(']'));
    if (close < 0 || close > kLongestMarker + 1)
        return line;
    return line.mid(close + 1);
}

bool IsBlank(QChar c) {
    return c.unicode() <= 32;
}

QStringView TrimmedView(QStringView text) {
    while (!text.isEmpty() && IsBlank(text.front()))
        text = text.mid(1);
    while (!text.isEmpty() && IsBlank(text.back()))
        text.chop(1);
    return text;
}

struct ParsedLine {
    enum class Kind { Other, Section, Property };
    Kind kind = Kind::Other;
    QString section;
    DeviceProperty property;
};

ParsedLine Parse(const QString& line) {
    const QStringView rest = TrimmedView(WithoutMarker(line));
    ParsedLine parsed;
    if (rest.startsWith(QLatin1Char('@'))) {
        parsed.kind = ParsedLine::Kind::Section;
        parsed.section = TrimmedView(rest.mid(1)).toString();
        return parsed;
    }
    const qsizetype colon = rest.indexOf(QLatin1Char(':'));
    if (colon <= 0)
        return parsed;
    const QStringView key = rest.left(colon);
    if (std::any_of(key.begin(), key.end(), IsBlank))
        return parsed;
    const QStringView after = rest.mid(colon + 1);
    QChar type;
    QStringView value;
    if (after.startsWith(QLatin1Char(':'))) {
        value = after.mid(1);
    } else if (after.size() >= 2 && after[0].isLetter() && after[1] == QLatin1Char(':')) {
        type = after[0];
        value = after.mid(2);
    } else {
        return parsed;
    }
    parsed.kind = ParsedLine::Kind::Property;
    parsed.property = {QString(), key.toString(), type, TrimmedView(value).toString()};
    return parsed;
}

} // namespace

std::optional<DeviceProperty> DeviceProperties::ParseLine(const QString& line) {
    ParsedLine parsed = Parse(line);
    if (parsed.kind != ParsedLine::Kind::Property)
        return std::nullopt;
    return std::move(parsed.property);
}

DeviceProperties DeviceProperties::Read(const QStringList& lines) {
    DeviceProperties properties;
    QString section;
    for (const QString& line : lines) {
        ParsedLine parsed = Parse(line);
        if (parsed.kind == ParsedLine::Kind::Section) {
            section = parsed.section;
        } else if (parsed.kind == ParsedLine::Kind::Property) {
            parsed.property.section = section;
            properties.properties_.append(std::move(parsed.property));
        }
    }
    return properties;
}

std::optional<QString> DeviceProperties::value(QLatin1StringView key) const {
    for (auto it = properties_.crbegin(); it != properties_.crend(); ++it)
        if (it->key == key)
            return it->value;
    return std::nullopt;
}

std::optional<bool> DeviceProperties::flag(QLatin1StringView key) const {
    const std::optional<QString> text = value(key);
    if (!text)
        return std::nullopt;
    if (text->compare(QLatin1StringView("true"), Qt::CaseInsensitive) == 0 ||
        *text == QLatin1StringView("1"))
        return true;
    if (text->compare(QLatin1StringView("false"), Qt::CaseInsensitive) == 0 ||
        *text == QLatin1StringView("0"))
        return false;
    return std::nullopt;
}

std::optional<qint64> DeviceProperties::number(QLatin1StringView key) const {
    const std::optional<QString> text = value(key);
    if (!text)
        return std::nullopt;
    bool ok = false;
    const qint64 result = text->toLongLong(&ok, 10);
    return ok ? std::optional<qint64>(result) : std::nullopt;
}

namespace {

struct ZoneAbbreviation {
    const char* name;
    int offsetMinutes;
};

// The abbreviations Java prints for the zones devices and their owners are likely to be in.
// Ambiguous ones (IST, CST of China) are read as their most common meaning or left to UTC.
constexpr std::array<ZoneAbbreviation, 26> kZones{{
    {"UTC", 0},    {"GMT", 0},    {"UT", 0},     {"Z", 0},      {"WET", 0},    {"WEST", 60},
    {"BST", 60},   {"CET", 60},   {"CEST", 120}, {"MET", 60},   {"MEST", 120}, {"EET", 120},
    {"EEST", 180}, {"MSK", 180},  {"EST", -300}, {"EDT", -240}, {"CST", -360}, {"CDT", -300},
    {"MST", -420}, {"MDT", -360}, {"PST", -480}, {"PDT", -420}, {"JST", 540},  {"HKT", 480},
    {"AEST", 600}, {"AEDT", 660},
}};

// "GMT+0200", "GMT+02:00", "UTC-5", "+0200", "CEST": minutes east of UTC; nothing when unknown.
std::optional<int> ZoneOffsetMinutes(QStringView zone) {
    for (const ZoneAbbreviation& known : kZones)
        if (zone == QLatin1StringView(known.name))
            return known.offsetMinutes;
    for (const char* prefix : {"GMT", "UTC", "UT"})
        if (zone.startsWith(QLatin1StringView(prefix))) {
            zone = zone.mid(qstrlen(prefix));
            break;
        }
    if (zone.size() < 2 || (zone[0] != QLatin1Char('+') && zone[0] != QLatin1Char('-')))
        return std::nullopt;
    const int sign = zone[0] == QLatin1Char('-') ? -1 : 1;
    QString digits = zone.mid(1).toString();
    digits.remove(QLatin1Char(':'));
    if (digits.isEmpty() || digits.size() > 4 ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c.isDigit(); }))
        return std::nullopt;
    const int value = digits.toInt();
    const int hours = digits.size() <= 2 ? value : value / 100;
    const int minutes = digits.size() <= 2 ? 0 : value % 100;
    if (hours > 14 || minutes > 59)
        return std::nullopt;
    return sign * (hours * 60 + minutes);
}

// Java's Date.toString: "EEE MMM dd HH:mm:ss zzz yyyy", English names.
QDateTime ParseJavaDate(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 6)
        return {};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int month = 0;
    for (int i = 0; i < 12; ++i)
        if (parts[1] == QLatin1StringView(kMonths[i]))
            month = i + 1;
    bool dayOk = false;
    bool yearOk = false;
    const int day = parts[2].toInt(&dayOk);
    const int year = parts[5].toInt(&yearOk);
    const QTime time = QTime::fromString(parts[3], QStringLiteral("HH:mm:ss"));
    // Years of four digits at most, as ISO 8601 and the dates shown and written of them have.
    const bool yearInRange = yearOk && year >= 1 && year <= 9999;
    const QDate date = month && dayOk && yearInRange ? QDate(year, month, day) : QDate();
    if (!date.isValid() || !time.isValid())
        return {};
    const int offset = ZoneOffsetMinutes(parts[4]).value_or(0);
    return QDateTime(date, time, QTimeZone(offset * 60));
}

} // namespace

QDateTime ParseDeviceDate(const QString& text) {
    const QString trimmed = TrimControls(text);
    if (trimmed.isEmpty())
        return {};
    if (trimmed.size() == 10) {
        const QDate date = QDate::fromString(trimmed, Qt::ISODate);
        return date.isValid() ? QDateTime(date, QTime(23, 59, 59), QTimeZone::utc()) : QDateTime();
    }
    const QDateTime iso = QDateTime::fromString(trimmed, Qt::ISODate);
    if (iso.isValid())
        return iso;
    return ParseJavaDate(trimmed);
}

} // namespace kestrane
