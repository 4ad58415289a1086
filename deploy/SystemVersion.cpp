#include "SystemVersion.h"

#include <QList>

#include <algorithm>

namespace kestrane {
namespace {

// Each component holds at most 18 digits, so it fits in 64 bits.
constexpr qsizetype kMaxComponentDigits = 18;

std::optional<QList<quint64>> Components(QStringView text) {
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    QList<quint64> components;
    for (const QStringView part : text.split(QLatin1Char('.'))) {
        if (part.isEmpty() || part.size() > kMaxComponentDigits)
            return std::nullopt;
        quint64 value = 0;
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return std::nullopt;
            value = value * 10 + static_cast<quint64>(c.unicode() - '0');
        }
        components.append(value);
    }
    return components;
}

} // namespace

std::optional<std::strong_ordering> CompareVersions(QStringView left, QStringView right) {
    const auto a = Components(left);
    const auto b = Components(right);
    if (!a || !b)
        return std::nullopt;
    for (qsizetype i = 0; i < std::max(a->size(), b->size()); ++i) {
        const quint64 x = i < a->size() ? a->at(i) : 0;
        const quint64 y = i < b->size() ? b->at(i) : 0;
        if (x != y)
            return x <=> y;
    }
    return std::strong_ordering::equal;
}

bool DeviceOsOlderThan(const DeviceInfo& device, const QString& requiredVersion) {
    const auto order = CompareVersions(device.version, requiredVersion);
    return order && *order == std::strong_ordering::less;
}

} // namespace kestrane
