#pragma once

#include "EZAException.h"
#include "ZACodePage.h"
#include "ZADirManager.h"
#include "ZAMask.h"
#include "ZAPrompts.h"
#include "ZAStream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

enum TZASpanningMode { smNone, smSpanning, smSplitting };
enum TZip64Mode { zmDisabled, zmAuto, zmAlways };
enum TZAStorePathMode { spNoPath, spRelativePath, spFullPath, spFullPathWithDrive };
enum TZAFileShareMode {
    smShareCompat,
    smShareExclusive,
    smShareDenyWrite,
    smShareDenyRead,
    smShareDenyNone
};
enum TZAOverwriteMode { omPrompt, omAlways, omNever, omIfNewer, omIfOlder };
enum TZACompressionLevel { clNone, clFastest, clNormal, clMax };
enum TZAVolumeSize { vsAutoDetect, vsCustom };
enum TZAProgressPhase { ppStart, ppProcess, ppEnd };
enum TZAAction { zaaRetry, zaaIgnore, zaaAbort };

// The search attributes that let every entry pass: read-only, hidden, system, volume label,
// folder, archive, normal, compressed and not content-indexed (0x28BF).
constexpr int ZAAnyFileAttributes = 10431;

struct TZAOptions {
    TZAStorePathMode StorePath = spRelativePath;
    bool Recurse = true;
    TZAFileShareMode ShareMode = smShareDenyNone;
    TZAOverwriteMode OverwriteMode = omAlways;
    bool CreateDirs = true;
    bool ReplaceReadOnly = true;
    bool SetAttributes = true;
    int SearchAttr = ZAAnyFileAttributes;
    bool FlushBuffers = true;
    bool OEMFileNames = true;
};

struct TZASpanningOptions {
    bool AdvancedNaming = false;
    TZAVolumeSize VolumeSize = vsAutoDetect;
    std::int64_t CustomVolumeSize = 0;
};

// Search state of FindFirst / FindNext.
struct TInternalSearchRec {
    int ItemNo = -1;
    std::string CFindMask; // the prepared mask
    bool FWildCards = false;
    int FFindAttr = 0;
    std::string ExclusionMask;
    bool UseProperties = false;
};

// One entry found by FindFirst / FindNext. Paths use '/' as separator.
struct TZAArchiveItem {
    std::string FileName;   // the name's last component
    std::string StoredPath; // the folder part with a trailing '/', empty at the root
    std::int64_t CompressedSize = 0;
    std::int64_t UncompressedSize = 0;
    double CompressionRate = 0;
    bool Encrypted = false;
    std::uint16_t LastModFileDate = 0;
    std::uint16_t LastModFileTime = 0;
    std::uint32_t CRC = 0;
    std::uint32_t ExternalFileAttributes = 0;
    std::string Comment;
    TInternalSearchRec Handle;
};

class TZABaseArchiver;

// Event types. Every event is optional; without a handler the component reacts on its own.
using TZAOverallProgressEvent =
    std::function<void(TZABaseArchiver& sender, double progress, TZAProcessOperation operation,
                       TZAProgressPhase phase, bool& cancel)>;
using TZAFileProgressEvent =
    std::function<void(TZABaseArchiver& sender, const std::string& fileName, double progress,
                       TZAProcessOperation operation, TZAProgressPhase phase, bool& cancel)>;
using TZAConfirmProcessFileEvent =
    std::function<void(TZABaseArchiver& sender, const std::string& fileName,
                       TZAProcessOperation operation, bool& confirm)>;
using TZAExtractFileEvent =
    std::function<void(TZABaseArchiver& sender, std::string& fileName, std::uint32_t& fileAttr,
                       const std::string& comment)>;
using TZAConfirmOverwriteEvent =
    std::function<void(TZABaseArchiver& sender, const std::string& sourceFileName,
                       const std::string& destFileName, bool& confirm)>;
using TZAPasswordEvent = std::function<void(TZABaseArchiver& sender, const std::string& fileName,
                                            std::string& newPassword, bool& skipFile)>;
using TZAProcessFileFailureEvent = std::function<void(
    TZABaseArchiver& sender, const std::string& fileName, TZAProcessOperation operation,
    int nativeError, int errorCode, const std::string& errorMessage, TZAAction& action)>;
using TZADiskFullEvent = std::function<void(TZABaseArchiver& sender, int volumeNumber,
                                            const std::string& volumeFileName, bool& cancel)>;
using TZANotifyEvent = std::function<void(TZABaseArchiver& sender)>;

// The archive component: opens a ZIP archive read-only, loads its directory and extracts the
// entries selected by a mask into a folder. Texts are UTF-8; paths use '/'.
class TZABaseArchiver {
public:
    explicit TZABaseArchiver(std::string name = "");
    virtual ~TZABaseArchiver();
    TZABaseArchiver(const TZABaseArchiver&) = delete;
    TZABaseArchiver& operator=(const TZABaseArchiver&) = delete;

    // Settings. Assigning them never opens, closes or reloads anything.
    std::string Name; // prefixes the component's error messages when not empty
    std::string FileName;
    std::string BaseDir;
    TZAOptions Options;
    bool OpenCorruptedArchives = true;
    bool ExtractCorruptedFiles = false;
    bool InMemory = false;
    TZASpanningMode SpanningMode = smNone;
    TZASpanningOptions SpanningOptions;
    TZip64Mode Zip64Mode = zmDisabled;
    bool UnicodeFilenames = false;
    TZACryptoAlgorithm EncryptionMethod = caPkzipClassic;
    TZACompressionLevel CompressionLevel = clFastest;
    std::uint8_t CompressionMode = 1;
    std::string Password; // bytes in the ANSI page
    std::vector<std::string> FileMasks;
    std::vector<std::string> ExclusionMasks;
    std::string TempDir;
    std::string SFXStub;
    std::vector<std::string> NoCompressionMasks;
    // The system's "ANSI" character set for names, comments and passwords.
    ZACodePage AnsiCodePage = ZACodePage::System();
    // The dialogs shown when no handler is assigned (not owned). Without it every box counts as
    // closed: failures abort the run, overwrite prompts say No, password prompts cancel.
    ZAPrompts* Prompts = nullptr;

    TZAOverallProgressEvent OnOverallProgress;
    TZAFileProgressEvent OnFileProgress;
    TZAConfirmProcessFileEvent OnConfirmProcessFile;
    TZAExtractFileEvent OnExtractFile;
    TZAConfirmOverwriteEvent OnConfirmOverwrite;
    TZAPasswordEvent OnPassword;
    TZAProcessFileFailureEvent OnProcessFileFailure;
    TZADiskFullEvent OnDiskFull;
    TZANotifyEvent AfterOpen;

    static constexpr std::uint16_t CreateMode = 0xFF00;
    std::string CurrentVersion() const { return "1.0"; }

    // Opens FileName (Mode: bits 0-1 access; 0xFF00 would create an archive, which this
    // read-only component refuses with error 44) and loads its directory.
    void OpenArchive(std::uint16_t Mode);
    // Opens the archive that stream holds (a memory stream, say) read-only instead of the file
    // FileName names, and loads its directory as OpenArchive does. FileName is not used.
    void OpenArchive(std::shared_ptr<TZAStream> stream);
    void CloseArchive();

    bool Active() const { return FActive; }
    bool Exists() const;
    std::string Comment() const;
    std::int64_t Size() const;
    int FileCount() const;
    // The directory manager of the open archive (null when none is loaded).
    const TZADirManager* DMHandle() const { return FDirManager.get(); }

    bool FindFirst(const std::string& FileMask, TZAArchiveItem& F, int SearchAttr,
                   const std::string& ExclusionMask);
    bool FindFirst(TZAArchiveItem& F); // masks from FileMasks and ExclusionMasks
    bool FindNext(TZAArchiveItem& F);

    void ExtractFiles(const std::string& FileMask, int SearchAttr,
                      const std::string& ExclusionMask);
    void ExtractFiles(); // masks from FileMasks and ExclusionMasks, Options.SearchAttr
    // Decodes the entry at index (a FindFirst / FindNext handle's ItemNo) into bytes instead of
    // a file, through the same decoding, checks, password prompts, progress events and failure
    // reactions as ExtractFiles; bytes never grow past the declared size. False, with bytes
    // empty, when nothing was decoded: a folder, a declared size over maxSize (nothing is read
    // then), a skipped password prompt, a cancel, or a failure answered Ignore or Abort.
    // Raises error 16 for an index outside the directory.
    bool ExtractToMemory(int index, std::string& bytes, std::int64_t maxSize);

protected:
    bool isZIPFormat = true;

private:
    struct Search {
        TInternalSearchRec Rec;
        ZAMask Mask, Exclusion;
        std::vector<ZAMask> Masks, Exclusions; // the argument-less search
        std::string MaskFolder;                // lower case, for a search without recursion
    };
    struct Output;
    struct Decoder;
    friend struct Output;
    friend struct Decoder;

    Search PrepareSearch(std::string mask, int searchAttr, const std::string& exclusionMask) const;
    Search PrepareSearch() const;
    bool StartSearch(Search search, TZAArchiveItem& F);
    bool Found(int index, TZAArchiveItem& F);

    void LoadOpened(); // loads the directory of the stream or file just chosen, or closes
    void LoadDirectory();
    TZADirSettings DirSettings() const;
    void RequireOpen() const;
    int SearchFrom(const Search& search, int itemNo) const;
    bool ItemMatches(const Search& search, int index) const;
    void FillItem(const TDirItem& item, TZAArchiveItem& F) const;
    void TagEntries(const Search& search);
    void RunExtraction();
    bool ProcessEntry(int index);
    TZAAction FailureReaction(const std::string& name, const EZAException& error);
    void WriteEntry(int index, std::string name, const std::string& folder);
    // Files are reached through their open parent folder and their last name component.
    int CreateTarget(int folder, const std::string& leaf, const std::string& target, unsigned mode);
    void FinishTarget(int output, int folder, const std::string& leaf, const TDirItem& item,
                      bool keep);
    bool MayReplace(int folder, const std::string& leaf, const std::string& target,
                    const std::string& name, const TDirItem& item);
    // Decodes into the file output, or into memory when it is given.
    void DecodeEntry(int index, int output, std::string* memory = nullptr);
    bool RequestPassword(const TDirItem& item);
    bool RaiseFileProgress(double progress, TZAProgressPhase phase);
    bool RaiseOverallProgress(double progress, TZAProgressPhase phase);

    bool FActive = false;
    bool FUpdated = false;
    bool IsCustomStream = false;
    std::shared_ptr<TZAStream> FCustomStream; // the stream to open when IsCustomStream
    std::uint16_t FileOpenMode = 0;
    int FVolumeNumberInfo = 0;
    // Shared so that an extraction run keeps them alive even if a handler closes the archive.
    std::shared_ptr<TZAStream> FCompressedStream;
    std::shared_ptr<TZADirManager> FDirManager;
    std::unique_ptr<Search> FSearch;
    std::vector<int> FTagged; // the entries selected for the next run, in directory order
    std::string FCurrentDir;

    // Per-run state of an extraction.
    int FProcessedFileNo = 0;
    int FProcessedFileCount = 0;
    bool FProgressCancel = false;
    bool FProgressEnabled = false;
    bool FSkipFile = false;
    std::int64_t FProgress = 0;
    std::int64_t FProgressMax = 0;
    std::int64_t FRunDone = 0;
    std::int64_t FRunTotal = 0;
    std::string FCurrentName;
    // What one extraction run works with. A run that a handler starts during another gets its
    // own, and the outer one resumes with its own afterwards.
    struct Run {
        TZADirManager* dir = nullptr;
        TZAStream* stream = nullptr;
        // Buffers reused from entry to entry.
        unsigned char* In(std::size_t size) { return Grow(FIn, FInSize, size); }
        unsigned char* Out(std::size_t size) { return Grow(FOut, FOutSize, size); }

    private:
        static unsigned char* Grow(std::unique_ptr<unsigned char[]>& buffer, std::size_t& have,
                                   std::size_t size);
        std::unique_ptr<unsigned char[]> FIn, FOut;
        std::size_t FInSize = 0, FOutSize = 0;
    };
    Run* FRun = nullptr;
};

class TZipArchive : public TZABaseArchiver {
public:
    explicit TZipArchive(std::string name = "") : TZABaseArchiver(std::move(name)) {}
};
