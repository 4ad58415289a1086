#include "ZipArchive.h"

#include <algorithm>
#include <sys/stat.h>

namespace {

std::string FileNamePart(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string LowerExtension(const std::string& path) {
    const std::string name = FileNamePart(path);
    const std::size_t dot = name.find_last_of('.');
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return ext;
}

// Restores a flag when the scope ends, also on error.
class FlagRestore {
public:
    FlagRestore(bool& flag, bool during) : FFlag(flag), FSaved(flag) { flag = during; }
    ~FlagRestore() { FFlag = FSaved; }
    FlagRestore(const FlagRestore&) = delete;
    FlagRestore& operator=(const FlagRestore&) = delete;

private:
    bool& FFlag;
    bool FSaved;
};

} // namespace

TZABaseArchiver::TZABaseArchiver(std::string name) : Name(std::move(name)) {}

TZABaseArchiver::~TZABaseArchiver() {
    CloseArchive();
}

bool TZABaseArchiver::Exists() const {
    struct stat st {};
    return !FileName.empty() && ::stat(FileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

TZADirSettings TZABaseArchiver::DirSettings() const {
    TZADirSettings settings;
    settings.OpenCorruptedArchives = OpenCorruptedArchives;
    settings.OEMFileNames = Options.OEMFileNames;
    settings.MultiVolume = SpanningMode != smNone;
    settings.AnsiCodePage = AnsiCodePage;
    return settings;
}

void TZABaseArchiver::OpenArchive(std::uint16_t Mode) {
    FUpdated = false;
    if (!InMemory && FileNamePart(FileName).empty())
        throw EZAException(10, Name);
    // No drive is removable here, so a missing file is always error 12.
    if (Mode != CreateMode && !Exists() && SpanningMode != smSpanning)
        throw EZAException(12, Name, {FileName});
    if (Mode != CreateMode && InMemory)
        throw EZAException(28, Name);
    if (Mode == CreateMode)
        throw EZAException(44, ""); // creating archives needs the writer
    CloseArchive();
    IsCustomStream = false;
    FileOpenMode = Mode;
    SpanningMode = smNone;
    FVolumeNumberInfo = 0;
    // Self-extracting archives are not read.
    if (LowerExtension(FileName).find(".exe") != std::string::npos)
        throw EZAException(44, "");
    LoadOpened();
}

void TZABaseArchiver::OpenArchive(std::shared_ptr<TZAStream> stream) {
    FUpdated = false;
    if (!stream)
        throw EZAException(10, Name);
    CloseArchive();
    IsCustomStream = true;
    FCustomStream = std::move(stream);
    FileOpenMode = 0;
    SpanningMode = smNone;
    FVolumeNumberInfo = 0;
    LoadOpened();
}

void TZABaseArchiver::LoadOpened() {
    try {
        LoadDirectory();
    } catch (...) {
        CloseArchive();
        throw;
    }
    FActive = true;
    if (AfterOpen)
        AfterOpen(*this);
}

void TZABaseArchiver::LoadDirectory() {
    bool found;
    {
        // While the spanning mode is decided, a damaged archive is not to be opened.
        FlagRestore probe(OpenCorruptedArchives, false);
        FDirManager.reset();
        if (IsCustomStream)
            FCompressedStream = FCustomStream;
        else
            FCompressedStream = std::make_shared<TZAFileStream>(FileName, FileOpenMode);
        FDirManager = std::make_shared<TZADirManager>(*FCompressedStream, DirSettings());
        found = FDirManager->HasCentralDirEnd();
        // A record (accepted or only a rejected candidate) of a multi-volume archive: such
        // archives are not read.
        if (FDirManager->SpansVolumes())
            throw EZAException(44, "");
    }
    FDirManager->Settings = DirSettings();
    if (!found && !OpenCorruptedArchives)
        throw EZAException(48, Name);
    FDirManager->LoadDir();
}

void TZABaseArchiver::CloseArchive() {
    FActive = false;
    FSearch.reset();
    FDirManager.reset();
    FCompressedStream.reset();
    FCustomStream.reset();
}

void TZABaseArchiver::RequireOpen() const {
    if (!FActive)
        throw EZAException(13, Name);
}

std::string TZABaseArchiver::Comment() const {
    if (!FActive)
        return {};
    return AnsiCodePage.ToUtf8(FDirManager->ArchiveComment);
}

std::int64_t TZABaseArchiver::Size() const {
    RequireOpen();
    return FCompressedStream->Size();
}

int TZABaseArchiver::FileCount() const {
    RequireOpen();
    const TZADirArray& dir = FDirManager->CDir;
    int files = 0;
    for (int i = 0; i < dir.Count(); ++i)
        files += dir.IsDirectory(i) ? 0 : 1;
    return files;
}
