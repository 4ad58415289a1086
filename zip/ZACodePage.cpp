#include "ZACodePage.h"

#include <cstdint>
#include <cstring>
#include <langinfo.h>
#include <strings.h>

namespace {

constexpr char32_t Replacement = 0xFFFD;

// IBM437 bytes 0x80 to 0xFF.
constexpr char16_t Cp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// Windows-1252 bytes 0x80 to 0x9F (the five unassigned ones pass through as C1 controls, as the
// system's conversion does).
constexpr char16_t Cp1252C1[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

ZACodePage::Table Latin1Table() {
    ZACodePage::Table t{};
    for (unsigned i = 0; i < 256; ++i)
        t[i] = i;
    return t;
}

// Decodes one UTF-8 sequence at bytes[i]; returns its length (0 when ill-formed).
std::size_t DecodeUtf8(std::string_view bytes, std::size_t i, char32_t& cp) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
    const unsigned char lead = b(0);
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    std::size_t len;
    char32_t min;
    if (lead >= 0xC2 && lead <= 0xDF) {
        len = 2, min = 0x80, cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        len = 3, min = 0x800, cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        len = 4, min = 0x10000, cp = lead & 0x07;
    } else {
        return 0;
    }
    if (i + len > bytes.size())
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        if ((b(k) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b(k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

} // namespace

void ZAAppendUtf8(char32_t cp, std::string& out) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = Replacement;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool ZAHasHighBytes(std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t n = bytes.size();
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080ULL)
            return true;
    }
    for (; n > 0; ++p, --n)
        if (static_cast<unsigned char>(*p) >= 0x80)
            return true;
    return false;
}

bool ZAIsWellFormedUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t cp;
        const std::size_t len = DecodeUtf8(bytes, i, cp);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

char32_t ZACp437ToUnicode(unsigned char byte) {
    return byte < 0x80 ? byte : Cp437High[byte - 0x80];
}

std::string ZAUtf16LeToUtf8(std::string_view bytes) {
    std::string out;
    const std::size_t units = bytes.size() / 2;
    const auto unit = [&](std::size_t k) -> char32_t {
        return static_cast<unsigned char>(bytes[2 * k]) |
               (static_cast<unsigned char>(bytes[2 * k + 1]) << 8);
    };
    for (std::size_t k = 0; k < units; ++k) {
        char32_t u = unit(k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units) {
            const char32_t low = unit(k + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                ++k;
            }
        }
        ZAAppendUtf8(u, out); // an unpaired surrogate becomes U+FFFD
    }
    return out;
}

ZACodePage ZACodePage::Utf8() {
    return ZACodePage();
}

ZACodePage ZACodePage::SingleByte(const Table& table) {
    ZACodePage page;
    page.FTable = std::make_shared<const Table>(table);
    for (unsigned i = 0; i < 0x80; ++i)
        page.FAsciiCompatible = page.FAsciiCompatible && table[i] == i;
    return page;
}

ZACodePage ZACodePage::Latin1() {
    return SingleByte(Latin1Table());
}

ZACodePage ZACodePage::Windows1252() {
    Table t = Latin1Table();
    for (unsigned i = 0; i < 32; ++i)
        t[0x80 + i] = Cp1252C1[i];
    return SingleByte(t);
}

ZACodePage ZACodePage::System() {
    const char* codeset = nl_langinfo(CODESET);
    if (codeset == nullptr)
        return Utf8();
    if (strcasecmp(codeset, "ISO-8859-1") == 0 || strcasecmp(codeset, "ISO8859-1") == 0)
        return Latin1();
    if (strcasecmp(codeset, "CP1252") == 0 || strcasecmp(codeset, "WINDOWS-1252") == 0)
        return Windows1252();
    return Utf8();
}

std::string ZACodePage::ToUtf8(std::string_view bytes) const {
    std::string out;
    out.reserve(bytes.size());
    if (FTable) {
        for (const char c : bytes)
            ZAAppendUtf8((*FTable)[static_cast<unsigned char>(c)], out);
        return out;
    }
    // ASCII runs are copied whole; each byte that starts no well-formed sequence becomes U+FFFD.
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t end = i;
        while (end < bytes.size() && static_cast<unsigned char>(bytes[end]) < 0x80)
            ++end;
        out.append(bytes.substr(i, end - i));
        if (end == bytes.size())
            break;
        i = end;
        char32_t cp;
        const std::size_t len = DecodeUtf8(bytes, i, cp);
        if (len == 0) {
            out.append("\xEF\xBF\xBD", 3); // U+FFFD
            ++i;
        } else {
            out.append(bytes.substr(i, len));
            i += len;
        }
    }
    return out;
}

void ZACodePage::AppendCodePoint(char32_t cp, std::string& out) const {
    if (!FTable) {
        ZAAppendUtf8(cp, out);
        return;
    }
    for (unsigned i = 0; i < 256; ++i) {
        if ((*FTable)[i] == cp) {
            out += static_cast<char>(i);
            return;
        }
    }
    out += '?';
}

std::string ZACodePage::FromUtf8(std::string_view utf8) const {
    if (!FTable)
        return std::string(utf8);
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp;
        std::size_t len = DecodeUtf8(utf8, i, cp);
        if (len == 0)
            cp = Replacement, len = 1;
        AppendCodePoint(cp, out);
        i += len;
    }
    return out;
}
