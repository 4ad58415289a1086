// libFuzzer target over the device-information reader (deploy/DeviceProperties.h): the lines a
// device answers to "-listDeviceInfo" (sections, marked and typed properties, other lines) and
// the dates in them, Java's Date.toString or ISO 8601. Whatever the device or a broken connection
// sends must never make the reader crash, leak or take more than linear time, and what it reads
// must keep the shape it promises.
#include "DeviceProperties.h"
#include "TextUtils.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

bool Trimmed(const QString& text) {
    const auto blank = [](QChar c) { return c.isSpace() || c.unicode() < 0x20; };
    return text.isEmpty() || (!blank(text.front()) && !blank(text.back()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using kestrane::DeviceProperties;
    using kestrane::DeviceProperty;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = kestrane::SplitLines(text);
    const DeviceProperties properties = DeviceProperties::Read(lines);
    Require(properties.all().size() <= lines.size());
    qsizetype parsed = 0;
    for (const QString& line : lines) {
        const std::optional<DeviceProperty> p = DeviceProperties::ParseLine(line);
        if (!p)
            continue;
        ++parsed;
        Require(!p->key.isEmpty() && !p->key.contains(QLatin1Char(':')) &&
                !p->key.contains(QLatin1Char(' ')));
        Require(Trimmed(p->value));
        (void)kestrane::ParseDeviceDate(p->value);
    }
    Require(parsed == properties.all().size());
    // The last occurrence of a key is its value; flags and numbers read from it.
    for (const DeviceProperty& p : properties.all()) {
        const QByteArray key = p.key.toLatin1();
        if (QString::fromLatin1(key) != p.key)
            continue;
        const QLatin1StringView view(key);
        const std::optional<QString> value = properties.value(view);
        Require(value.has_value());
        if (const std::optional<bool> flag = properties.flag(view))
            Require(QStringList{"true", "false", "1", "0"}.contains(value->toLower()));
        (void)properties.number(view);
    }
    // The whole text as one date, as a token's expiry may come.
    const QDateTime date = kestrane::ParseDeviceDate(text);
    if (date.isValid())
        Require(!date.toUTC().toString(Qt::ISODate).isEmpty());
    return 0;
}
