// kestrane-bar: the archive component from the command line.
//   kestrane-bar list ARCHIVE            the loaded directory as one JSON object
//   kestrane-bar extract ARCHIVE MASK DIR  ExtractFiles(MASK, every attribute, "") into DIR;
//       every matching entry not extracted is named on stderr, and the exit status is then 2
//   Entries whose local header and data overlap an earlier entry's (TZAOverlapCheck) are marked
//   by list and skipped by extract, with one line saying how many.
//   kestrane-bar info FILE...            each BAR file's manifest values as one JSON line
#include "BarInfo.h"
#include "ZipArchive.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Appends text with control characters escaped as in JSON, so that a name can hold anything
// (also a zero byte) and still read as one whole line; quotes and backslashes too when the text
// goes between quotes.
void AppendEscaped(std::string& out, std::string_view text, bool quoted) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += quoted ? "\\\"" : "\"";
            break;
        case '\\':
            out += quoted ? "\\\\" : "\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (u < 0x20 || u == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
}

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    AppendEscaped(out, text, true);
    out += '"';
}

// Names in messages are shown up to about this many bytes: a hostile archive's names may be
// 64 KiB each, and a message per entry would then write many times the archive's size.
constexpr std::size_t ShownNameBytes = 1024;

// The name escaped as AppendEscaped does (between quotes when quoted); past ShownNameBytes of
// escaped text it is cut (at a character boundary) and followed by "... (N bytes)", N being its
// full length.
std::string ShownName(std::string_view name, bool quoted) {
    const std::string quote = quoted ? "\"" : "";
    std::string out;
    AppendEscaped(out, name, quoted);
    if (out.size() <= ShownNameBytes)
        return quote + out + quote;
    out.clear();
    std::string piece;
    for (std::size_t i = 0; i < name.size(); ++i) {
        piece.clear();
        AppendEscaped(piece, name.substr(i, 1), quoted);
        const bool characterStart = (static_cast<unsigned char>(name[i]) & 0xC0) != 0x80;
        if (characterStart && out.size() + piece.size() > ShownNameBytes)
            break;
        out += piece;
    }
    return quote + out + quote + "... (" + std::to_string(name.size()) + " bytes)";
}

// The reason escaped; one that repeats a long name of the entry (a file that cannot be created,
// say) repeats it shortened.
std::string ShortenedReason(const std::string& reason, std::string_view name) {
    std::string out;
    std::string_view rest = reason;
    if (name.size() > ShownNameBytes / 6) { // shorter names escape to at most ShownNameBytes
        for (std::size_t at; (at = rest.find(name)) != std::string_view::npos;) {
            AppendEscaped(out, rest.substr(0, at), false);
            out += ShownName(name, false);
            rest.remove_prefix(at + name.size());
        }
    }
    AppendEscaped(out, rest, false);
    return out;
}

void WriteError(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stderr);
}

// The whole message: what() would end at a zero byte of a name inside it.
std::string MessageOf(const std::exception& error) {
    if (const auto* own = dynamic_cast<const EZAException*>(&error))
        return own->Message();
    return error.what();
}

void AppendField(std::string& out, const char* key, long long value) {
    out += '"';
    out += key;
    out += "\":";
    out += std::to_string(value);
}

void AppendField(std::string& out, const char* key, bool value) {
    out += '"';
    out += key;
    out += "\":";
    out += value ? "true" : "false";
}

// Whether the entry's local header and data overlap those of an entry checked before it. Only
// entries of a central directory are checked: a directory rebuilt from local headers has its
// entries where the headers are.
bool OverlapsEarlier(const TZADirManager& dir, TZAOverlapCheck& check, const TDirItem& item) {
    return !dir.Recovered && check.Overlaps(item);
}

std::string ListJson(const TZipArchive& archive) {
    const TZADirManager& dir = *archive.DMHandle();
    TZAOverlapCheck overlaps;
    std::string out = "{";
    AppendField(out, "stubSize", static_cast<long long>(dir.StubSize));
    out += ',';
    AppendField(out, "centralDirOffset", static_cast<long long>(dir.CentralDirOffset));
    out += ',';
    AppendField(out, "zip64", dir.FZip64);
    out += ",\"comment\":";
    AppendJsonString(out, archive.Comment());
    out += ",\"entries\":[";
    bool first = true;
    dir.CDir.VisitItems([&](int, const TDirItem& item) {
        out += first ? "{\"name\":" : ",{\"name\":";
        first = false;
        AppendJsonString(out, item.Name);
        out += ',';
        AppendField(out, "method", static_cast<long long>(item.CentralDir.compMethod));
        out += ',';
        AppendField(out, "compressedSize", static_cast<long long>(item.CompressedSize()));
        out += ',';
        AppendField(out, "size", static_cast<long long>(item.UncompressedSize()));
        out += ',';
        AppendField(out, "crc32", static_cast<long long>(item.CentralDir.crc32));
        out += ',';
        AppendField(out, "offset", static_cast<long long>(item.LocalHeaderOffset()));
        out += ',';
        AppendField(out, "attributes", static_cast<long long>(item.CentralDir.externalAttr));
        out += ',';
        AppendField(out, "encrypted", item.Encrypted());
        if (OverlapsEarlier(dir, overlaps, item))
            out += ",\"overlapping\":true";
        out += '}';
    });
    out += "]}\n";
    return out;
}

// Opens the archive as the program does (read-only); false, with the error's message on stderr,
// when it cannot be opened. A file that is not there or cannot be read is said in plain words.
bool Open(TZipArchive& archive, const char* archivePath) {
    const std::string unreadable = kestrane::UnreadableFileReason(archivePath);
    if (!unreadable.empty()) {
        std::string line = "kestrane-bar: ";
        AppendEscaped(line, archivePath, false);
        WriteError(line + ": " + unreadable + "\n");
        return false;
    }
    archive.FileName = archivePath;
    try {
        archive.OpenArchive(0);
        return true;
    } catch (const std::exception& error) {
        std::string line;
        AppendEscaped(line, MessageOf(error), false);
        WriteError(line + "\n");
        return false;
    }
}

int List(const char* archivePath) {
    TZipArchive archive("ZipArchive1");
    if (!Open(archive, archivePath))
        return 1;
    const std::string json = ListJson(archive);
    std::fwrite(json.data(), 1, json.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// The entries the mask selects, in the order the extraction takes them.
std::vector<int> MatchingEntries(TZipArchive& archive, const char* mask) {
    std::vector<int> entries;
    TZAArchiveItem found;
    for (bool more = archive.FindFirst(mask, found, ZAAnyFileAttributes, ""); more;
         more = archive.FindNext(found))
        entries.push_back(found.Handle.ItemNo);
    return entries;
}

int Extract(const char* archivePath, const char* mask, const char* folder) {
    TZipArchive archive("ZipArchive1");
    if (!Open(archive, archivePath))
        return 1;
    archive.BaseDir = folder;
    const std::vector<int> entries = MatchingEntries(archive, mask);
    std::vector<std::string> reasons(entries.size()); // why an entry was not extracted
    // Entries whose data overlaps an earlier one's are skipped: decoding the same data once per
    // record is how such an archive makes a small file take long and write much.
    std::vector<bool> overlapping(entries.size());
    std::size_t overlappingCount = 0;
    TZAOverlapCheck check;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        overlapping[i] =
            OverlapsEarlier(*archive.DMHandle(), check, archive.DMHandle()->CDir.Item(entries[i]));
        overlappingCount += overlapping[i] ? 1 : 0;
    }
    std::size_t current = 0; // the entry being processed, counted in the order above
    archive.OnConfirmProcessFile = [&](TZABaseArchiver&, const std::string&, TZAProcessOperation,
                                       bool& confirm) {
        current = std::min(current + 1, entries.size());
        confirm = current == 0 || !overlapping[current - 1];
    };
    const auto note = [&](const std::string& reason) {
        if (current > 0 && reasons[current - 1].empty())
            reasons[current - 1] = reason;
    };
    // Every failure is answered Ignore, every password prompt Cancel.
    archive.OnProcessFileFailure = [&](TZABaseArchiver&, const std::string&, TZAProcessOperation,
                                       int, int, const std::string& message, TZAAction& action) {
        note(message);
        action = zaaIgnore;
    };
    archive.OnPassword = [&](TZABaseArchiver&, const std::string&, std::string&, bool& skip) {
        note("encrypted, no password given");
        skip = true;
    };
    std::string aborted;
    try {
        archive.ExtractFiles(mask, ZAAnyFileAttributes, "");
    } catch (const std::exception& error) {
        aborted = MessageOf(error);
    }
    bool missed = overlappingCount > 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (overlapping[i])
            continue;
        const TDirItem& item = archive.DMHandle()->CDir.Item(entries[i]);
        std::string reason = reasons[i];
        // WinZip AES entries are passed over without a prompt.
        if (reason.empty() && i < current && item.Encrypted() &&
            item.ZAEncryptionAlgorithm != caPkzipClassic)
            reason = "encrypted with AES, which is not supported";
        // An error that ended the run: the entry it came from and those after it.
        if (reason.empty() && !aborted.empty() && i + 1 >= current)
            reason = aborted;
        if (reason.empty())
            continue;
        missed = true;
        std::string line = "kestrane-bar: not extracted: ";
        line += ShownName(item.Name, true);
        line += ": ";
        line += ShortenedReason(reason, item.Name);
        WriteError(line + "\n");
    }
    if (overlappingCount > 0)
        WriteError("kestrane-bar: not extracted: " + std::to_string(overlappingCount) +
                   (overlappingCount == 1 ? " entry whose" : " entries whose") +
                   " local header and data overlap an earlier entry's (a possible zip bomb)\n");
    if (!aborted.empty() && entries.empty()) {
        std::string line;
        AppendEscaped(line, aborted, false);
        WriteError(line + "\n");
    }
    return missed || !aborted.empty() ? 2 : 0;
}

// The message as the window's error display shows it: with a full stop after a last character
// that comes after "." in code order.
std::string DisplayedMessage(std::string message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        message += '.';
    return message;
}

// The manifest's further values, each only when the manifest gives it: the package's name, id and
// type, a debug token's expiry date and device ids (numbers), the system it requires.
void AppendPresentFields(std::string& out, const kestrane::BarInfo& info) {
    const std::pair<const char*, const std::string&> texts[] = {
        {"packageName", info.PackageName},
        {"packageId", info.PackageId},
        {"packageType", info.PackageType},
        {"debugTokenExpiry", info.DebugTokenExpiry},
        {"requiredSystem", info.RequiredSystemName},
        {"requiredVersion", info.RequiredSystemVersion},
    };
    for (const auto& [key, value] : texts) {
        if (value.empty())
            continue;
        out += ",\"";
        out += key;
        out += "\":";
        AppendJsonString(out, value);
    }
    if (info.DebugTokenDeviceIds.empty())
        return;
    out += ",\"debugTokenDeviceIds\":[";
    for (std::size_t i = 0; i < info.DebugTokenDeviceIds.size(); ++i) {
        if (i > 0)
            out += ',';
        out += std::to_string(info.DebugTokenDeviceIds[i]);
    }
    out += ']';
}

// One JSON line for a BAR file: its manifest values and size as the install list shows them, or
// the error the window would show when adding it.
// Appends it to out; false when the file could not be read.
bool AppendInfoLine(std::string& out, TZipArchive& archive, const char* path) {
    out += "{\"file\":";
    // A name that is not UTF-8 still gives valid JSON.
    AppendJsonString(out, ZACodePage::Utf8().ToUtf8(path));
    const std::string unreadable = kestrane::UnreadableFileReason(path);
    if (!unreadable.empty()) {
        out += ",\"error\":";
        AppendJsonString(out, unreadable);
        out += "}\n";
        return false;
    }
    try {
        const kestrane::BarInfo info = kestrane::ReadBarInfo(archive, path);
        const std::pair<const char*, const std::string&> fields[] = {
            {"name", info.AppName},
            {"version", info.AppVersion},
            {"author", info.Author},
            {"type", info.AppType},
        };
        for (const auto& [key, value] : fields) {
            out += ",\"";
            out += key;
            out += "\":";
            AppendJsonString(out, value);
        }
        AppendPresentFields(out, info);
        out += ',';
        AppendField(out, "size", static_cast<long long>(kestrane::GetFileSizeByName(path)));
    } catch (const std::exception& error) {
        out += ",\"error\":";
        AppendJsonString(out, DisplayedMessage(error.what()));
        out += "}\n";
        return false;
    }
    out += "}\n";
    return true;
}

int Info(int count, char** paths) {
    TZipArchive archive("ZipArchive1");
    bool failed = false;
    std::string out;
    for (int i = 0; i < count; ++i) {
        if (!AppendInfoLine(out, archive, paths[i]))
            failed = true;
        if (out.size() >= 65536) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 && !failed ? 0 : 1;
}

int Usage() {
    std::fputs("usage: kestrane-bar list ARCHIVE\n"
               "       kestrane-bar extract ARCHIVE MASK DIR\n"
               "       kestrane-bar info FILE...\n",
               stderr);
    return 64;
}

} // namespace

int main(int argc, char** argv) {
    // Names without a UTF-8 flag decode into the locale's character set.
    std::setlocale(LC_CTYPE, "");
    if (argc == 3 && std::strcmp(argv[1], "list") == 0)
        return List(argv[2]);
    if (argc == 5 && std::strcmp(argv[1], "extract") == 0)
        return Extract(argv[2], argv[3], argv[4]);
    if (argc >= 3 && std::strcmp(argv[1], "info") == 0)
        return Info(argc - 2, argv + 2);
    return Usage();
}
