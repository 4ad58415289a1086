// Parsing a BAR file's manifest.
#include "BarInfo.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kestrane {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Removes characters of code 32 or less at both ends. In UTF-8 those are single bytes, never
// part of a longer character.
std::string_view TrimControls(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32)
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32)
        text.remove_suffix(1);
    return text;
}

std::string DecodeManifest(std::string_view bytes, const ZACodePage& ansi) {
    if (StartsWith(bytes, "\xFF\xFE"))
        return ZAUtf16LeToUtf8(bytes.substr(2));
    if (StartsWith(bytes, "\xFE\xFF")) {
        std::string swapped(bytes.substr(2));
        for (std::size_t i = 0; i + 1 < swapped.size(); i += 2)
            std::swap(swapped[i], swapped[i + 1]);
        return ZAUtf16LeToUtf8(swapped);
    }
    if (StartsWith(bytes, "\xEF\xBB\xBF"))
        return ZACodePage::Utf8().ToUtf8(bytes.substr(3));
    return ansi.ToUtf8(bytes);
}

std::string AppTypeOf(std::string_view value) {
    std::string lower(value);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (lower == "qnx/air")
        return "Flash Air";
    if (lower == "qnx/android")
        return "Android";
    return "Native";
}

void ReadLine(std::string_view line, BarInfo& info) {
    struct Key {
        std::string_view key;
        std::string BarInfo::*field;
    };
    static constexpr std::array<Key, 3> TextKeys{{
        {"Application-Name:", &BarInfo::AppName},
        {"Application-Version:", &BarInfo::AppVersion},
        {"Package-Author:", &BarInfo::Author},
    }};
    for (const Key& key : TextKeys) {
        if (StartsWith(line, key.key)) {
            info.*key.field = TrimControls(line.substr(key.key.size()));
            return;
        }
    }
    constexpr std::string_view TypeKey = "Entry-Point-Type:";
    if (StartsWith(line, TypeKey))
        info.AppType = AppTypeOf(TrimControls(line.substr(TypeKey.size())));
}

std::string ReadWholeFile(const std::string& path) {
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        throw BarInfoError("Cannot open file \"" + path + "\". " + std::strerror(errno));
    std::string bytes;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(file, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(file);
            throw BarInfoError("Cannot read file \"" + path + "\". " + std::strerror(error));
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(file);
    return bytes;
}

} // namespace

BarInfo ParseBarManifestText(std::string_view bytes, const ZACodePage& ansi) {
    std::string text = DecodeManifest(bytes, ansi);
    text.resize(std::min(text.find('\0'), text.size()));
    BarInfo info;
    const std::string_view rest(text);
    std::size_t start = 0;
    while (start < rest.size()) {
        const std::size_t end = std::min(rest.find_first_of("\r\n", start), rest.size());
        ReadLine(rest.substr(start, end - start), info);
        start = end + 1;
        if (end + 1 < rest.size() && rest[end] == '\r' && rest[end + 1] == '\n')
            ++start;
    }
    return info;
}

BarInfo ParseBarManifest(const std::string& path, const ZACodePage& ansi) {
    return ParseBarManifestText(ReadWholeFile(path), ansi);
}

} // namespace kestrane
