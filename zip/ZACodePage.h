#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

// The "ANSI" character set of the system: the locale's character set, UTF-8 on current systems,
// or a single-byte page (tests inject one). Texts inside the component are UTF-8; this class
// converts the raw bytes of names, comments and passwords between the page and UTF-8.
class ZACodePage {
public:
    using Table = std::array<char32_t, 256>; // byte -> Unicode code point

    static ZACodePage Utf8();
    static ZACodePage SingleByte(const Table& table);
    static ZACodePage Latin1();      // ISO-8859-1
    static ZACodePage Windows1252(); // Windows-1252, the usual Western "ANSI" page
    // The page of the current locale (nl_langinfo(CODESET)): ISO-8859-1 and Windows-1252 are
    // known; every other set, ASCII included, is taken as UTF-8.
    static ZACodePage System();

    bool IsUtf8() const { return !FTable; }
    // Bytes 0x00 to 0x7F stand for the same code points (true for UTF-8 and the known pages).
    bool IsAsciiCompatible() const { return FAsciiCompatible; }

    // Bytes in this page -> UTF-8. For the UTF-8 page, ill-formed sequences become U+FFFD.
    std::string ToUtf8(std::string_view bytes) const;
    // UTF-8 -> bytes in this page; characters the page lacks become '?'.
    std::string FromUtf8(std::string_view utf8) const;
    // One code point -> bytes in this page (appended to out).
    void AppendCodePoint(char32_t cp, std::string& out) const;

private:
    std::shared_ptr<const Table> FTable; // null for UTF-8
    bool FAsciiCompatible = true;
};

// Appends the UTF-8 form of a code point (invalid ones as U+FFFD).
void ZAAppendUtf8(char32_t cp, std::string& out);
// True when the bytes are well-formed UTF-8 throughout.
bool ZAIsWellFormedUtf8(std::string_view bytes);
// True when some byte is 0x80 or above.
bool ZAHasHighBytes(std::string_view bytes);
// OEM (IBM437) byte -> Unicode.
char32_t ZACp437ToUnicode(unsigned char byte);
// UTF-16LE code units (raw bytes, two per unit) -> UTF-8; unpaired surrogates become U+FFFD.
std::string ZAUtf16LeToUtf8(std::string_view bytes);
