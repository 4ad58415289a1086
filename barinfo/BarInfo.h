#pragma once

#include "ZipArchive.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

// The values read from a BAR file's manifest, in UTF-8; each empty when the manifest lacks its
// key. The first four are what the install list shows; the others serve debug tokens, the
// system a BAR requires and the launch after an installation.
struct BarInfo {
    std::string AppName{};
    std::string AppVersion{};
    std::string Author{};
    std::string AppType{}; // "Flash Air", "Android", "Native", or empty without "Entry-Point-Type:"

    std::string PackageName{};    // "Package-Name:"
    std::string PackageId{};      // "Package-Id:"
    std::string PackageVersion{}; // "Package-Version:": the version the device lists it at
    std::string PackageType{};    // "Package-Type:"; a debug token's is "debug-token"
    // "Debug-Token-Expiry-Date:", as the manifest writes it.
    std::string DebugTokenExpiry{};
    // "Debug-Token-Device-Id:": the PINs the token is valid for, written in decimal and separated
    // by commas; an entry that is not a decimal number of at most 64 bits is left out.
    std::vector<std::uint64_t> DebugTokenDeviceIds{};
    // "Application-Requires-System:", "BlackBerry 10/10.3.0.0" or "Tablet OS/2.1.0": the system's
    // name before the last "/", the version after it (the whole value when it has no "/").
    std::string RequiredSystemName{};
    std::string RequiredSystemVersion{};

    bool IsDebugToken() const { return PackageType == "debug-token"; }
    // Whether the device PIN, in hexadecimal as the device information gives it ("2A7F3C9E",
    // either letter case, an optional "0x"), is among the token's device ids. False for a PIN that
    // is not hexadecimal.
    bool IsValidForDevice(std::string_view pinHex) const;

    bool operator==(const BarInfo&) const = default;
};

// A BAR file that cannot be read. The message is written for the user.
class BarInfoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A manifest larger than this is refused before anything is decoded: real ones are a few KiB.
constexpr std::int64_t MaxManifestSize = 1 << 20;

// Parses manifest bytes: decoded by their byte-order mark (UTF-16 LE or BE, UTF-8), otherwise in
// the ANSI page; a NUL ends the text; lines end at CR LF, CR or LF. A line that begins with one of
// the keys (case-sensitive, colon included) sets its field to the rest of the line, trimmed of
// characters of code 32 or less; the last such line wins.
BarInfo ParseBarManifestText(std::string_view bytes, const ZACodePage& ansi);

// Reads and parses the manifest file at path. Throws BarInfoError "Cannot open file "<path>".
// <system's reason>" when it cannot be read.
BarInfo ParseBarManifest(const std::string& path, const ZACodePage& ansi = ZACodePage::System());

// Reads the manifest of the BAR file at barPath with archive: opens it read-only, decodes the
// entry META-INF/MANIFEST.MF (stored in any letter case; of several such records only the last in
// directory order) in memory through the component's extraction (its checks, password prompts and
// failure reactions), parses it and closes the archive, on every path; nothing is written to disk.
// Throws the archive component's errors, a BarInfoError for a manifest over MaxManifestSize
// (refused before decoding), and, when no manifest was decoded, the error reading the extracted
// file would give: "Cannot open file "<GetTempDirectory()>META-INF/MANIFEST.MF". No such file or
// directory".
BarInfo ReadBarInfo(TZABaseArchiver& archive, const std::string& barPath,
                    const ZACodePage& ansi = ZACodePage::System());

// A folder private to this run of the program, with a trailing '/': made on first use with mode
// 0700 below the session's runtime folder ($XDG_RUNTIME_DIR, in memory) when it is usable, else
// below $TMPDIR (or /tmp), named with this run's mark (TempFolder.h), and removed with its
// contents when the program exits. Nobody else can plant files or links in it. Throws
// BarInfoError when no such folder can be made.
std::string GetTempDirectory();

// Called once with the folder when GetTempDirectory has made it. The window uses it to have the
// folder removed also when the program is killed and its exit handler never runs.
void SetTempDirectoryCreatedHook(std::function<void(const std::string&)> hook);

// Deletes every entry directly in folder that is not a folder (files and links), then removes
// folder if it is then empty. Sub-folders stay. A folder that is itself a link is left alone, so
// nothing outside it is touched. Failures are ignored.
void DeleteDirectory(const std::string& folder);

// The size in bytes of the file at path, -1 when there is none.
std::int64_t GetFileSizeByName(const std::string& path);

// Why the file at path cannot be read, in plain words for a command line ("no such file", "is a
// folder", "is not a regular file", "cannot be read (permission denied)", "cannot be read (REASON)"
// with the system's reason in lower case); empty when it is a regular file this process can open
// for reading. The command-line tools say this instead of the archive component's message, which
// names the component and its error number.
std::string UnreadableFileReason(const std::string& path);

} // namespace kestrane
