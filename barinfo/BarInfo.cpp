// Reading a BAR file's manifest through the archive component.
#include "BarInfo.h"

#include <sys/stat.h>
#include <unistd.h>

namespace kestrane {
namespace {

constexpr const char* ManifestMask = "META-INF\\MANIFEST.MF";
constexpr const char* ManifestFolder = "META-INF";
constexpr const char* ManifestName = "META-INF/MANIFEST.MF";

struct ManifestRecords {
    int count = 0;
    std::int64_t lastSize = 0;
};

// The directory records the extraction mask selects, in directory order.
ManifestRecords FindManifestRecords(TZABaseArchiver& archive) {
    ManifestRecords records;
    TZAArchiveItem item;
    for (bool found = archive.FindFirst(ManifestMask, item, ZAAnyFileAttributes, ""); found;
         found = archive.FindNext(item)) {
        ++records.count;
        records.lastSize = item.UncompressedSize;
    }
    return records;
}

std::string ManifestTooLargeMessage(const std::string& barPath) {
    return "The manifest of \"" + barPath + "\" is larger than 1 MiB; it is not read.";
}

// The extraction folder must be a real folder of ours: anything else in its place (a link above
// all, which would carry the write elsewhere) is removed first. The temporary folder is private,
// so only this user could have put it there.
void ClearExtractionFolderPlace(const std::string& folder) {
    struct stat st {};
    if (::lstat(folder.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
        (void)::unlink(folder.c_str());
}

// Extracts only the last of the selected records, always under the upper-case name, so that
// duplicates cost no decoding and the file to read and remove is known whatever case the archive
// stored. The archive's own event handlers are put back afterwards.
void ExtractLastManifest(TZABaseArchiver& archive, int recordCount) {
    struct Restore {
        TZABaseArchiver& archive;
        TZAConfirmProcessFileEvent confirm = archive.OnConfirmProcessFile;
        TZAExtractFileEvent extract = archive.OnExtractFile;
        ~Restore() {
            archive.OnConfirmProcessFile = std::move(confirm);
            archive.OnExtractFile = std::move(extract);
        }
    } restore{archive};
    int seen = 0;
    // A retried record is asked for again: everything from the last one on is confirmed.
    archive.OnConfirmProcessFile = [&seen, recordCount](TZABaseArchiver&, const std::string&,
                                                        TZAProcessOperation, bool& confirm) {
        confirm = ++seen >= recordCount;
    };
    archive.OnExtractFile = [](TZABaseArchiver&, std::string& fileName, std::uint32_t&,
                               const std::string&) { fileName = ManifestName; };
    archive.ExtractFiles(ManifestMask, ZAAnyFileAttributes, "");
}

} // namespace

BarInfo ReadBarInfo(TZABaseArchiver& archive, const std::string& barPath, const ZACodePage& ansi) {
    archive.FileName = barPath;
    struct Close {
        TZABaseArchiver& archive;
        ~Close() { archive.CloseArchive(); }
    } close{archive};
    archive.OpenArchive(0);
    const std::string temp = GetTempDirectory();
    archive.BaseDir = temp;
    const std::string folder = temp + ManifestFolder;
    const std::string manifestPath = temp + ManifestName;
    struct CleanUp {
        const std::string& manifestPath;
        const std::string& folder;
        ~CleanUp() {
            (void)::unlink(manifestPath.c_str());
            DeleteDirectory(folder);
        }
    } cleanUp{manifestPath, folder};

    const ManifestRecords records = FindManifestRecords(archive);
    if (records.count > 0 && records.lastSize > MaxManifestSize)
        throw BarInfoError(ManifestTooLargeMessage(barPath));
    ClearExtractionFolderPlace(folder);
    if (records.count > 0)
        ExtractLastManifest(archive, records.count);
    return ParseBarManifest(manifestPath, ansi);
}

} // namespace kestrane
