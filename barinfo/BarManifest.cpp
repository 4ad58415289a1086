// Parsing a BAR file's manifest.
#include "BarInfo.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <optional>
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

// A whole number of decimal (base 10) or hexadecimal (base 16) digits that fits in 64 bits.
std::optional<std::uint64_t> NumberOf(std::string_view text, int base) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::vector<std::uint64_t> DeviceIdsOf(std::string_view value) {
    std::vector<std::uint64_t> ids;
    while (!value.empty()) {
        const std::size_t comma = std::min(value.find(','), value.size());
        if (const auto id = NumberOf(TrimControls(value.substr(0, comma)), 10))
            ids.push_back(*id);
        value.remove_prefix(std::min(comma + 1, value.size()));
    }
    return ids;
}

void SetRequiredSystem(std::string_view value, BarInfo& info) {
    const std::size_t slash = value.rfind('/');
    info.RequiredSystemName =
        slash == std::string_view::npos ? "" : TrimControls(value.substr(0, slash));
    info.RequiredSystemVersion =
        slash == std::string_view::npos ? value : TrimControls(value.substr(slash + 1));
}

void ReadLine(std::string_view line, BarInfo& info) {
    struct Key {
        std::string_view key;
        std::string BarInfo::*field;
    };
    static constexpr std::array<Key, 8> TextKeys{{
        {"Application-Name:", &BarInfo::AppName},
        {"Application-Version:", &BarInfo::AppVersion},
        {"Package-Author:", &BarInfo::Author},
        {"Package-Name:", &BarInfo::PackageName},
        {"Package-Id:", &BarInfo::PackageId},
        {"Package-Version:", &BarInfo::PackageVersion},
        {"Package-Type:", &BarInfo::PackageType},
        {"Debug-Token-Expiry-Date:", &BarInfo::DebugTokenExpiry},
    }};
    for (const Key& key : TextKeys) {
        if (StartsWith(line, key.key)) {
            info.*key.field = TrimControls(line.substr(key.key.size()));
            return;
        }
    }
    constexpr std::string_view TypeKey = "Entry-Point-Type:";
    constexpr std::string_view DeviceIdKey = "Debug-Token-Device-Id:";
    constexpr std::string_view SystemKey = "Application-Requires-System:";
    if (StartsWith(line, TypeKey))
        info.AppType = AppTypeOf(TrimControls(line.substr(TypeKey.size())));
    else if (StartsWith(line, DeviceIdKey))
        info.DebugTokenDeviceIds = DeviceIdsOf(line.substr(DeviceIdKey.size()));
    else if (StartsWith(line, SystemKey))
        SetRequiredSystem(TrimControls(line.substr(SystemKey.size())), info);
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

bool BarInfo::IsValidForDevice(std::string_view pinHex) const {
    pinHex = TrimControls(pinHex);
    if (StartsWith(pinHex, "0x") || StartsWith(pinHex, "0X"))
        pinHex.remove_prefix(2);
    const auto pin = NumberOf(pinHex, 16);
    return pin && std::find(DebugTokenDeviceIds.begin(), DebugTokenDeviceIds.end(), *pin) !=
                      DebugTokenDeviceIds.end();
}

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
