#include "SupportLinks.h"

#include <cstddef>
#include <stdexcept>

namespace kestrane {

namespace {

const QString MakerDomain = QStringLiteral("kestrane.example");
const QString SupportMailbox = QStringLiteral("support");

// The donation address is kept out of plain sight in the executable: pieces 1, 3, 5 and 6 are
// stored as their XorString images under DonationKey; pieces 2 and 4 are stored as they are.
constexpr char16_t DonationKey[] = {0x4B1D, 0x00A7, 0x003C, 0x2E5F, 0x0091};
constexpr char16_t ScrambledPiece1[] = {0x00CF, 0x0048, 0x2E2B, 0x00E1, 0x4B6E, 0x009D,
                                        0x0013, 0x2E70, 0x00E6, 0x4B6A, 0x00D0, 0x0012};
const QString PlainPiece2 = QStringLiteral("kestrane.example/donation?");
constexpr char16_t ScrambledPiece3[] = {0x00CE, 0x0048, 0x2E3A, 0x00FC, 0x4B20, 0x00CC,
                                        0x0059, 0x2E2C, 0x00E5, 0x4B6F, 0x00C6};
const QString PlainPiece4 = QStringLiteral("ne&");
constexpr char16_t ScrambledPiece5[] = {0x00C4, 0x0049, 0x2E2D, 0x00E3, 0x4B78, 0x00C9,
                                        0x005F, 0x2E26, 0x00CE, 0x4B7E, 0x00C8, 0x0058,
                                        0x2E3A, 0x00AC, 0x4B58, 0x00F2, 0x006E};
constexpr char16_t ScrambledPiece6[] = {0x0081, 0x005D, 0x2E32, 0x00FE, 0x4B68, 0x00C9, 0x0048,
                                        0x2E62, 0x00A0, 0x4B2D, 0x0089, 0x000C, 0x2E6F};

// A stored array as text, every unit kept (a 0 does not end it).
template <std::size_t N> QString Units(const char16_t (&units)[N]) {
    return QString(reinterpret_cast<const QChar*>(units), static_cast<qsizetype>(N));
}

} // namespace

QString MakeSupportAddress(const QString& selector) {
    if (selector == QStringLiteral("h")) {
        return QStringLiteral("http://") + MakerDomain;
    }
    return SupportMailbox + QLatin1Char('@') + MakerDomain;
}

QString XorString(const QString& text, const QString& key) {
    if (text.isEmpty()) {
        return {};
    }
    if (key.isEmpty()) {
        throw std::invalid_argument("XorString needs a key of at least one character");
    }
    QString result(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        // Position i + 1 counted from 1 takes the key's unit at ((i + 1) mod m) + 1, that is
        // index (i + 1) mod m counted from 0.
        const char16_t keyUnit = key[(i + 1) % key.size()].unicode();
        result[i] = QChar(static_cast<char16_t>(text[i].unicode() ^ keyUnit));
    }
    return result;
}

QString DonationAddress() {
    const QString key = Units(DonationKey);
    return XorString(Units(ScrambledPiece1), key) + PlainPiece2 +
           XorString(Units(ScrambledPiece3), key) + PlainPiece4 +
           XorString(Units(ScrambledPiece5), key) + XorString(Units(ScrambledPiece6), key);
}

} // namespace kestrane
