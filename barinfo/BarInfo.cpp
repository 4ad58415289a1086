// Reading a BAR file's manifest through the archive component.
#include "BarInfo.h"

#include <cerrno>
#include <cstring>

namespace kestrane {
namespace {

constexpr const char* ManifestMask = "META-INF\\MANIFEST.MF";
constexpr const char* ManifestName = "META-INF/MANIFEST.MF";

struct ManifestRecord {
    int index = -1; // the last record the mask selects, in directory order; -1 when none
    std::int64_t size = 0;
};

ManifestRecord FindLastManifestRecord(TZABaseArchiver& archive) {
    ManifestRecord record;
    TZAArchiveItem item;
    for (bool found = archive.FindFirst(ManifestMask, item, ZAAnyFileAttributes, ""); found;
         found = archive.FindNext(item)) {
        record.index = item.Handle.ItemNo;
        record.size = item.UncompressedSize;
    }
    return record;
}

std::string ManifestTooLargeMessage(const std::string& barPath) {
    return "The manifest of \"" + barPath + "\" is larger than 1 MiB; it is not read.";
}

} // namespace

// The manifest is decoded in memory, never written to disk. Of several records of its name only
// the last in directory order is decoded (the one an extraction of them all would leave), so
// duplicates cost no decoding. Where no manifest could be decoded, the error is the one reading
// the extracted file would give: the file named below the temporary folder is not there (or is a
// folder, for a folder record).
BarInfo ReadBarInfo(TZABaseArchiver& archive, const std::string& barPath, const ZACodePage& ansi) {
    archive.FileName = barPath;
    struct Close {
        TZABaseArchiver& archive;
        ~Close() { archive.CloseArchive(); }
    } close{archive};
    archive.OpenArchive(0);

    const ManifestRecord record = FindLastManifestRecord(archive);
    if (record.index >= 0 && record.size > MaxManifestSize)
        throw BarInfoError(ManifestTooLargeMessage(barPath));
    std::string bytes;
    if (record.index >= 0 && archive.ExtractToMemory(record.index, bytes, MaxManifestSize))
        return ParseBarManifestText(bytes, ansi);
    const std::string path = GetTempDirectory() + ManifestName;
    if (record.index >= 0 && archive.DMHandle()->CDir.IsDirectory(record.index))
        throw BarInfoError("Cannot read file \"" + path + "\". " + std::strerror(EISDIR));
    throw BarInfoError("Cannot open file \"" + path + "\". " + std::strerror(ENOENT));
}

} // namespace kestrane
