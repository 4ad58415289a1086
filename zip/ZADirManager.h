#pragma once

#include "ZACodePage.h"
#include "ZAStream.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

enum TZACryptoAlgorithm { caPkzipClassic, caAES_128, caAES_192, caAES_256 };

enum TZAProcessOperation {
    poAdd,
    poMove,
    poDelete,
    poUpdate,
    poExtract,
    poTest,
    poRename,
    poChangeAttr,
    poChangeComment,
    poMakeSFX,
    poMerge
};

// File records, little-endian on disk; field names as the manager uses them.
struct TZAZipCentralDirEnd {
    std::uint32_t signature = 0;
    std::uint16_t diskNumber = 0;
    std::uint16_t startDiskNumber = 0;
    std::uint16_t entriesOnDisk = 0;
    std::uint16_t entriesCentralDir = 0;
    std::uint32_t centralDirSize = 0;
    std::uint32_t offsetStartDir = 0;
    std::uint16_t commentLength = 0;
};

struct TZAZip64CentralDirEndLocator {
    std::uint32_t signature = 0;
    std::uint32_t startDiskNumber = 0;
    std::uint64_t offsetStartDirEnd = 0;
    std::uint32_t totalNumberOfDisks = 0;
};

struct TZAZip64CentralDirEnd {
    std::uint32_t signature = 0;
    std::uint64_t centralDirEndSize = 0;
    std::uint16_t versionMadeBy = 0;
    std::uint16_t versionNeededToExtract = 0;
    std::uint32_t diskNumber = 0;
    std::uint32_t startDiskNumber = 0;
    std::uint64_t entriesOnDisk = 0;
    std::uint64_t entriesCentralDir = 0;
    std::uint64_t centralDirSize = 0;
    std::uint64_t offsetStartDir = 0;
};

// The 46-byte fixed part of a central directory entry, as read.
struct TZAZipCentralDir {
    std::uint32_t signature = 0;
    std::uint16_t versionMadeBy = 0;
    std::uint16_t extractVersion = 0;
    std::uint16_t genPurposeFlag = 0;
    std::uint16_t compMethod = 0;
    std::uint16_t lastModTime = 0;
    std::uint16_t lastModDate = 0;
    std::uint32_t crc32 = 0;
    std::uint32_t compSize = 0;
    std::uint32_t unCompSize = 0;
    std::uint16_t nameLength = 0;
    std::uint16_t extraLength = 0;
    std::uint16_t commentLength = 0;
    std::uint16_t diskNumberStart = 0;
    std::uint16_t internalAttr = 0;
    std::uint32_t externalAttr = 0;
    std::uint32_t relOffsetLH = 0;
};

// Values of the Zip64 extra block, filled only for the fields whose 32-bit (or 16-bit) field in
// the central directory entry is all ones.
struct TZAZip64ExtendedInfo {
    std::int64_t uncompSize = 0;
    std::int64_t compSize = 0;
    std::int64_t relOffsetLH = 0;
    std::uint32_t diskNumberStart = 0;
};

struct TZAExtraFieldDataBlock {
    std::uint16_t headerID = 0;
    std::uint16_t dataSize = 0;
    std::string_view data;
};

constexpr std::uint32_t ZALocalHeaderSignature = 0x04034B50;
constexpr std::uint32_t ZACentralHeaderSignature = 0x02014B50;
constexpr std::uint32_t ZAEndSignature = 0x06054B50;
constexpr std::uint32_t ZAZip64EndSignature = 0x06064B50;
constexpr std::uint32_t ZAZip64LocatorSignature = 0x07064B50;
constexpr std::uint32_t ZADataDescriptorSignature = 0x08074B50;
constexpr std::uint32_t ZAAttrDirectory = 0x10;
// Extra block IDs the reader interprets.
constexpr std::uint16_t ZAExtraZip64 = 0x0001;       // 64-bit sizes, offset and disk
constexpr std::uint16_t ZAExtraUnicodeName = 0x554E; // "NU": the name in UTF-16LE
constexpr std::uint16_t ZAExtraAes = 0x9901;         // WinZip AES: strength and actual method
constexpr std::size_t ZALocalHeaderSize = 30;
// Entries needing version 0x4114 or later to extract get no password or data check.
constexpr std::uint16_t ZAVersionWithoutChecks = 0x4114;

// Calls visit(block) for each block of an extra field, in order, until visit returns false. A
// block whose stated size runs past the field gets the bytes that are there; a tail shorter than
// a block header is padding, not a block.
template <class Visit> void ZAForEachExtraBlock(std::string_view extra, Visit visit) {
    ZAByteReader reader(extra);
    while (reader.Left() >= 4) {
        TZAExtraFieldDataBlock block;
        block.headerID = reader.U16();
        const std::uint16_t stated = reader.U16();
        block.dataSize = static_cast<std::uint16_t>(std::min<std::size_t>(stated, reader.Left()));
        block.data = reader.Take(block.dataSize);
        if (!visit(block))
            return;
    }
}

// One entry of the directory. The texts are views into storage owned by the directory.
struct TDirItem {
    TZAZipCentralDir CentralDir;
    std::string_view Name;       // decoded (UTF-8), separators as stored
    std::string_view Comment;    // raw bytes
    std::string_view ExtraField; // raw bytes of every extra block
    TZAZip64ExtendedInfo Zip64ExtInfo;
    std::int64_t StubShift = 0; // added to the local header offset (prepended data)
    std::uint16_t CompressionMethod = 0;
    TZACryptoAlgorithm ZAEncryptionAlgorithm = caPkzipClassic;
    bool bHugeFile = false;
    bool Tagged = false;
    TZAProcessOperation Operation = poExtract;

    // Sizes and offset with the Zip64 value in place of each 32-bit field that is all ones.
    std::int64_t CompressedSize() const;
    std::int64_t UncompressedSize() const;
    std::int64_t LocalHeaderOffset() const;
    bool Encrypted() const { return (CentralDir.genPurposeFlag & 1) != 0; }
    // The directory attribute, or a stored name ending with '/'.
    bool IsDirectory() const;
    std::vector<TZAExtraFieldDataBlock> ExtraFields() const;
};

// Where an entry's local header and data lie at the least: from its local header on, the
// header's fixed part and the compressed size the directory states (the local name, extra field
// and data descriptor only add to it). No two entries of a well-formed archive share a byte of
// it; entries that do (many records over the same data, say) would have the same bytes decoded
// once per record.
struct TZAEntrySpan {
    std::int64_t start = 0;
    std::int64_t end = 0; // past the last byte
};
TZAEntrySpan ZAEntrySpan(const TDirItem& item);

// Tells, of entries taken one after the other, those whose span overlaps the span of an entry
// taken before them that was kept; an entry that overlaps none is kept. Folders are neither
// checked nor kept. Each call costs O(log kept).
class TZAOverlapCheck {
public:
    bool Overlaps(const TDirItem& item);

private:
    std::map<std::int64_t, std::int64_t> FKept; // start -> end, never overlapping
};

// The fixed part of a local header in its central-directory form (no comment, disk, internal or
// external attributes, or offset); raises EZAReadError when header is shorter than one.
TZAZipCentralDir ZAParseLocalHeader(std::string_view header);

// Where a rebuilt entry's name and extra field lie in the file. They are read when the entry is
// first asked for, so that rebuilding costs the same for every entry whatever length its header
// claims for its name.
struct TZARecoveredTexts {
    std::int64_t namePosition = 0;
    std::int64_t extraPosition = 0;
    std::uint16_t nameLength = 0;
    std::uint16_t extraLength = 0;
    bool oemNames = false;      // a name without the UTF-8 flag is OEM text
    bool trailingSlash = false; // the name ends with '/' (when slashKnown)
    bool slashKnown = false;    // decoding keeps a last '/' as it is (ASCII-compatible pages)
    bool loaded = false;        // the item holds its texts
    bool keyKnown = false;      // key holds ZANameKey of the name
    std::uint32_t key = 0;
};

class TZADirManager;

// The entries in directory order, and the storage their texts live in. A directory read from
// the central directory holds only a small reference per entry (its position, attribute bits
// and a key of its name) and loads an entry in full when it is first asked for, so that opening
// an archive of many entries touches little memory; a rebuilt directory holds every item, and
// reads an item's name and extra field when it is first asked for.
class TZADirArray {
public:
    int Count() const { return static_cast<int>(FItems.size() + FRefs.size()); }
    // The entry in full; raises error 1 for an index outside the directory.
    TDirItem& Item(int index);
    const TDirItem& Item(int index) const;

    // Answers that need no full entry. NameOf's view may point into scratch.
    std::string_view NameOf(int index, std::string& scratch) const;
    std::uint32_t AttributeBits(int index) const; // the low byte of the external attributes
    bool IsDirectory(int index) const;
    bool Tagged(int index) const;
    void ClearTags();
    // Calls visit for every entry in order; entries not loaded yet are parsed for the call only
    // (the item and its texts are valid during the call).
    void VisitItems(const std::function<void(int, const TDirItem&)>& visit) const;
    // ZANameKey of the entry's name.
    std::uint32_t NameKey(int index) const;

    // The first index at or after from whose NameKey is key, or -1. keyedLength is the length of
    // the text the key was made of: names far longer cannot have the key, and a rebuilt entry's
    // name that long is not even read.
    int NextWithKey(std::uint32_t key, std::size_t keyedLength, int from) const;
    // Index of the first entry whose name equals name ignoring the case of A-Z, or -1.
    int IndexOfName(std::string_view name) const;

    void Clear();
    // An item rebuilt from a local header, its texts still in the file.
    void AddRecovered(const TDirItem& item, const TZARecoveredTexts& texts);
    // An entry of the central directory at a file position, loaded on demand.
    void AddReference(std::int64_t position, std::uint32_t attributes, bool directory,
                      std::uint32_t nameKey);
    void Reserve(std::size_t count);
    // Copies text into storage owned by the directory.
    std::string_view Store(std::string_view text);

private:
    friend class TZADirManager;
    void CheckIndex(int index) const;
    // The entry's name is known to be longer than length without reading it.
    bool LongerThan(int index, std::size_t length) const;
    bool TextsPending(int index) const {
        return !FRecovered.empty() && !FRecovered[static_cast<std::size_t>(index)].loaded;
    }

    TZADirManager* FOwner = nullptr;
    std::vector<TDirItem> FItems;
    mutable std::vector<TZARecoveredTexts> FRecovered; // beside FItems: they were rebuilt
    std::vector<std::uint64_t> FRefs; // position << 16 | directory << 8 | attribute bits
    std::vector<std::uint32_t> FKeys;
    mutable std::unordered_map<int, TDirItem> FLoaded;
    std::vector<std::unique_ptr<char[]>> FBlocks;
    std::size_t FBlockLeft = 0;
    char* FBlockNext = nullptr;
};

// A key of a name for quick comparisons under the mask rules: equal for names that are equal
// ignoring the case of A-Z, one trailing slash or backslash and then one trailing dot.
std::uint32_t ZANameKey(std::string_view name);
// The same key of text taken as it is.
std::uint32_t ZAFoldedKey(std::string_view text);

// What the directory manager takes from its archive component.
struct TZADirSettings {
    bool OpenCorruptedArchives = true;
    bool OEMFileNames = true;
    bool MultiVolume = false; // a spanning mode other than smNone
    ZACodePage AnsiCodePage = ZACodePage::Utf8();
};

// Turns an open archive stream into the directory of entries: end record, Zip64 records, the
// central directory, prepended data, and the rebuilding of a damaged directory from the local
// headers.
class TZADirManager {
public:
    TZADirManager(TZAStream& stream, const TZADirSettings& settings);
    TZADirManager(const TZADirManager&) = delete;
    TZADirManager& operator=(const TZADirManager&) = delete;

    // Runs the end-record search into CentralDirEnd; True when a record was accepted, and
    // always True when damaged archives are to be opened.
    bool HasCentralDirEnd();
    // The end record found by HasCentralDirEnd (accepted or only a candidate) belongs to an
    // archive of several volumes: by the Zip64 locator's disk numbers when one precedes it (the
    // end record then holds 0xFFFF or anything else), else by the end record's disk number.
    bool SpansVolumes();
    // Fills the directory; raises 35, 40, 44 or EZAReadError.
    void LoadDir();
    void ApplyStubOffset();
    bool IsEncrypted() const;
    bool IsSFXArchive() const;

    TZADirSettings Settings;
    TZADirArray CDir;
    std::string ArchiveComment; // raw bytes
    TZAZip64CentralDirEndLocator Zip64CentralDirEndLocator;
    TZAZip64CentralDirEnd Zip64CentralDirEnd;
    TZAZipCentralDirEnd CentralDirEnd;
    std::int64_t StubSize = 0;
    bool FZip64 = false;
    bool Recovered = false; // the directory was rebuilt from local headers
    std::int64_t CentralDirOffset = 0;

private:
    friend class TZADirArray;

    // What the walk over the central directory keeps of its first entries.
    struct WalkSummary {
        TZAZipCentralDir first;
        std::int64_t firstOffset = -1;
        std::int64_t firstSizedOffset = -1; // the first entry whose compSize is not 0
        std::int64_t totalCompressed = 0;
    };

    std::int64_t FindCentralDirEnd(TZAZipCentralDirEnd& target);
    void ReadZip64Records(std::int64_t& e);
    WalkSummary ReadEntries(std::int64_t start, std::uint32_t count);
    // Parses the entry at pos; the item's texts point into the reader's window or scratch.
    // Returns the position after the entry.
    std::int64_t ParseEntry(std::int64_t pos, TDirItem& item, std::string& scratch);
    void LoadItem(std::int64_t pos, TDirItem& item);
    std::string_view PeekName(std::int64_t pos, std::string& scratch);
    void Pin(TDirItem& item);
    void InterpretExtra(TDirItem& item, std::string& scratch);
    void DetectStub(std::int64_t e, const WalkSummary& walk);
    bool ReadLocator(std::int64_t endPosition, TZAZip64CentralDirEndLocator& locator);
    void Recover(bool metEndSignature);
    void AddRecoveredEntry(std::int64_t p, const TZAZipCentralDir& local, bool metEndSignature,
                           TZAWindowReader& scan, TZAWindowReader& descriptors);
    // Bytes near the scan: from its window when it holds them, else read on their own, so that
    // a look ahead never moves the window away from where the scan goes on.
    std::string_view Peek(TZAWindowReader& scan, std::int64_t pos, std::size_t len,
                          std::string& buffer);
    // A rebuilt entry's decoded name and raw extra field, read from the file.
    void ReadRecoveredTexts(const TZARecoveredTexts& texts, std::uint16_t flag, std::string& name,
                            std::string& extra);
    void LoadRecoveredTexts(TZARecoveredTexts& texts, TDirItem& item);
    // False when the name reads as its raw bytes; otherwise the UTF-8 name is in decoded.
    bool DecodeName(std::string_view raw, std::uint16_t flag, bool oem, bool detectUtf8,
                    std::string& decoded) const;

    TZAStream& FCompressedStream;
    TZAWindowReader FEntries;        // reads central directory entries
    bool FShiftStub = false;         // entries loaded later get the stub offset
    std::int64_t FEndCandidate = -1; // where the end-record search last parsed a record
};

// OEM (IBM437) -> ANSI page, as the system converts a zero-terminated text in place: the bytes
// from the first zero on are left as they are.
std::string ZAOemToAnsi(std::string_view bytes, const ZACodePage& ansi);
