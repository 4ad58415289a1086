// kestrane-bar: the archive component from the command line.
//   kestrane-bar list ARCHIVE            the loaded directory as one JSON object
//   kestrane-bar extract ARCHIVE MASK DIR  ExtractFiles(MASK, 10431, "") into DIR
//   kestrane-bar info FILE...            each BAR file's manifest values as one JSON line
#include "BarInfo.h"
#include "ZipArchive.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>

namespace {

constexpr int SearchAllEntries = 10431;

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
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
    out += '"';
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

std::string ListJson(const TZipArchive& archive) {
    const TZADirManager& dir = *archive.DMHandle();
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
        out += '}';
    });
    out += "]}\n";
    return out;
}

// Opens the archive as the program does (read-only); false, with the error's message on stderr,
// when it cannot be opened.
bool Open(TZipArchive& archive, const char* archivePath) {
    archive.FileName = archivePath;
    try {
        archive.OpenArchive(0);
        return true;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
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

int Extract(const char* archivePath, const char* mask, const char* folder) {
    TZipArchive archive("ZipArchive1");
    if (!Open(archive, archivePath))
        return 1;
    archive.BaseDir = folder;
    bool failed = false;
    // Every failure is answered Ignore, every password prompt Cancel.
    archive.OnProcessFileFailure = [&](TZABaseArchiver&, const std::string&, TZAProcessOperation,
                                       int, int, const std::string& message, TZAAction& action) {
        std::fprintf(stderr, "%s\n", message.c_str());
        failed = true;
        action = zaaIgnore;
    };
    archive.OnPassword = [](TZABaseArchiver&, const std::string&, std::string&, bool& skip) {
        skip = true;
    };
    try {
        archive.ExtractFiles(mask, SearchAllEntries, "");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    }
    return failed ? 2 : 0;
}

// The message as the window's error display shows it: with a full stop after a last character
// that comes after "." in code order.
std::string DisplayedMessage(std::string message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        message += '.';
    return message;
}

// One JSON line for a BAR file: its manifest values and size as the install list shows them, or
// the error the window would show when adding it.
// Appends it to out; false when the file could not be read.
bool AppendInfoLine(std::string& out, TZipArchive& archive, const char* path) {
    out += "{\"file\":";
    // A name that is not UTF-8 still gives valid JSON.
    AppendJsonString(out, ZACodePage::Utf8().ToUtf8(path));
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
