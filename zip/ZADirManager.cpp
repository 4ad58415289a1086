#include "ZADirManager.h"

#include "EZAException.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>

namespace {

constexpr std::uint32_t All32 = 0xFFFFFFFF;
constexpr std::uint16_t All16 = 0xFFFF;
constexpr std::size_t EndRecordSize = 22;
constexpr std::size_t LocatorSize = 20;
constexpr std::size_t Zip64EndSize = 56;
constexpr std::size_t CentralHeaderSize = 46;
constexpr std::int64_t EndSearchWindow = 65600;

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// a + b for sizes that are not negative, stopping at the largest value instead of overflowing.
std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b) {
    return b > std::numeric_limits<std::int64_t>::max() - a
               ? std::numeric_limits<std::int64_t>::max()
               : a + b;
}

std::int64_t AsInt64(std::uint64_t v) {
    return v > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
               ? std::numeric_limits<std::int64_t>::max()
               : static_cast<std::int64_t>(v);
}

TZAZipCentralDirEnd ParseEndRecord(std::string_view bytes) {
    ZAByteReader r(bytes);
    TZAZipCentralDirEnd e;
    e.signature = r.U32();
    e.diskNumber = r.U16();
    e.startDiskNumber = r.U16();
    e.entriesOnDisk = r.U16();
    e.entriesCentralDir = r.U16();
    e.centralDirSize = r.U32();
    e.offsetStartDir = r.U32();
    e.commentLength = r.U16();
    return e;
}

TZAZip64CentralDirEndLocator ParseLocator(std::string_view bytes) {
    ZAByteReader r(bytes);
    TZAZip64CentralDirEndLocator l;
    l.signature = r.U32();
    l.startDiskNumber = r.U32();
    l.offsetStartDirEnd = r.U64();
    l.totalNumberOfDisks = r.U32();
    return l;
}

TZAZip64CentralDirEnd ParseZip64End(std::string_view bytes) {
    ZAByteReader r(bytes);
    TZAZip64CentralDirEnd e;
    e.signature = r.U32();
    e.centralDirEndSize = r.U64();
    e.versionMadeBy = r.U16();
    e.versionNeededToExtract = r.U16();
    e.diskNumber = r.U32();
    e.startDiskNumber = r.U32();
    e.entriesOnDisk = r.U64();
    e.entriesCentralDir = r.U64();
    e.centralDirSize = r.U64();
    e.offsetStartDir = r.U64();
    return e;
}

TZAZipCentralDir ParseCentralHeader(std::string_view bytes) {
    ZAByteReader r(bytes);
    TZAZipCentralDir c;
    c.signature = r.U32();
    c.versionMadeBy = r.U16();
    c.extractVersion = r.U16();
    c.genPurposeFlag = r.U16();
    c.compMethod = r.U16();
    c.lastModTime = r.U16();
    c.lastModDate = r.U16();
    c.crc32 = r.U32();
    c.compSize = r.U32();
    c.unCompSize = r.U32();
    c.nameLength = r.U16();
    c.extraLength = r.U16();
    c.commentLength = r.U16();
    c.diskNumberStart = r.U16();
    c.internalAttr = r.U16();
    c.externalAttr = r.U32();
    c.relOffsetLH = r.U32();
    return c;
}

// A data descriptor's values into the entry: CRC-32, compressed and uncompressed size.
void ReadDataDescriptor(std::string_view bytes, TZAZipCentralDir& c) {
    ZAByteReader r(bytes);
    r.Skip(4); // signature
    c.crc32 = r.U32();
    c.compSize = r.U32();
    c.unCompSize = r.U32();
}

void ReadZip64Block(TDirItem& item, std::string_view data) {
    const TZAZipCentralDir& c = item.CentralDir;
    TZAZip64ExtendedInfo& info = item.Zip64ExtInfo;
    ZAByteReader reader(data);
    // Each value is taken only while the block still holds all of its bytes.
    const auto take64 = [&](bool wanted, std::int64_t& into) {
        if (!wanted || reader.Left() == 0)
            return true;
        if (reader.Left() < 8)
            return false;
        into = AsInt64(reader.U64());
        return true;
    };
    if (take64(c.unCompSize == All32, info.uncompSize) &&
        take64(c.compSize == All32, info.compSize) &&
        take64(c.relOffsetLH == All32, info.relOffsetLH) && c.diskNumberStart == All16 &&
        reader.Left() >= 2)
        info.diskNumberStart = reader.U16();
    item.bHugeFile = true;
}

void ReadAesBlock(TDirItem& item, std::string_view data) {
    ZAByteReader reader(data);
    reader.Skip(4); // version and vendor
    const std::uint8_t strength = reader.U8();
    if (strength >= 1 && strength <= 3)
        item.ZAEncryptionAlgorithm = static_cast<TZACryptoAlgorithm>(strength);
    item.CompressionMethod = reader.U16();
}

// A Unicode name block: "NUCX", a 32-bit count, then that many UTF-16LE units. False when the
// block is not one or its count runs past its data (the block is then ignored).
bool ReadUnicodeNameBlock(std::string_view data, std::string& name) {
    constexpr std::uint32_t Tag = 0x5843554E; // "NUCX"
    ZAByteReader reader(data);
    if (reader.Left() < 8 || reader.U32() != Tag)
        return false;
    const std::uint32_t units = reader.U32();
    if (units > reader.Left() / 2)
        return false;
    name = ZAUtf16LeToUtf8(reader.Take(2 * std::size_t{units}));
    return true;
}

// The name the extra field's last valid Unicode name block gives, if any.
bool ReadUnicodeName(std::string_view extra, std::string& name) {
    bool found = false;
    ZAForEachExtraBlock(extra, [&](const TZAExtraFieldDataBlock& block) {
        if (block.headerID == ZAExtraUnicodeName && ReadUnicodeNameBlock(block.data, name))
            found = true;
        return true;
    });
    return found;
}

} // namespace

TZAZipCentralDir ZAParseLocalHeader(std::string_view header) {
    ZAByteReader r(header);
    TZAZipCentralDir c;
    c.signature = r.U32();
    c.versionMadeBy = c.extractVersion = r.U16();
    c.genPurposeFlag = r.U16();
    c.compMethod = r.U16();
    c.lastModTime = r.U16();
    c.lastModDate = r.U16();
    c.crc32 = r.U32();
    c.compSize = r.U32();
    c.unCompSize = r.U32();
    c.nameLength = r.U16();
    c.extraLength = r.U16();
    return c;
}

std::int64_t TDirItem::CompressedSize() const {
    return CentralDir.compSize == All32 ? Zip64ExtInfo.compSize : CentralDir.compSize;
}

std::int64_t TDirItem::UncompressedSize() const {
    return CentralDir.unCompSize == All32 ? Zip64ExtInfo.uncompSize : CentralDir.unCompSize;
}

std::int64_t TDirItem::LocalHeaderOffset() const {
    const std::int64_t stored =
        CentralDir.relOffsetLH == All32 ? Zip64ExtInfo.relOffsetLH : CentralDir.relOffsetLH;
    return stored > std::numeric_limits<std::int64_t>::max() - StubShift ? stored
                                                                         : stored + StubShift;
}

TZAEntrySpan ZAEntrySpan(const TDirItem& item) {
    constexpr std::int64_t Max = std::numeric_limits<std::int64_t>::max();
    TZAEntrySpan span;
    span.start = item.LocalHeaderOffset();
    const std::int64_t size = std::max<std::int64_t>(item.CompressedSize(), 0);
    const auto header = static_cast<std::int64_t>(ZALocalHeaderSize);
    const std::int64_t length = size > Max - header ? Max : size + header;
    span.end = span.start > Max - length ? Max : span.start + length;
    return span;
}

bool TZAOverlapCheck::Overlaps(const TDirItem& item) {
    // A folder writes no data; its offset is not even shifted past prepended data.
    if (item.IsDirectory())
        return false;
    const TZAEntrySpan span = ZAEntrySpan(item);
    // The kept spans never overlap: only the last one starting at or before this one and the
    // first one starting after it can reach into it.
    auto after = FKept.upper_bound(span.start);
    if (after != FKept.end() && after->first < span.end)
        return true;
    if (after != FKept.begin() && std::prev(after)->second > span.start)
        return true;
    FKept.emplace_hint(after, span.start, span.end);
    return false;
}

bool TDirItem::IsDirectory() const {
    return (CentralDir.externalAttr & ZAAttrDirectory) != 0 ||
           (!Name.empty() && Name.back() == '/');
}

std::vector<TZAExtraFieldDataBlock> TDirItem::ExtraFields() const {
    std::vector<TZAExtraFieldDataBlock> blocks;
    ZAForEachExtraBlock(ExtraField, [&](const TZAExtraFieldDataBlock& block) {
        blocks.push_back(block);
        return true;
    });
    return blocks;
}

namespace {

// Sets bit 0x20 of every byte in A-Z, eight bytes at a time.
std::uint64_t FoldUpper(std::uint64_t w) {
    constexpr std::uint64_t Ones = 0x0101010101010101ULL;
    constexpr std::uint64_t High = 0x8080808080808080ULL;
    const std::uint64_t low7 = w & ~High;
    const std::uint64_t atLeastA = low7 + (0x80 - 'A') * Ones;
    const std::uint64_t aboveZ = low7 + (0x80 - 'Z' - 1) * Ones;
    const std::uint64_t upper = atLeastA & ~aboveZ & ~w & High;
    return w | (upper >> 2);
}

std::uint64_t RotateLeft(std::uint64_t v, int n) {
    return (v << n) | (v >> (64 - n));
}

} // namespace

// A quick key, not a strong hash: equal keys only make candidates, which are then compared.
std::uint32_t ZAFoldedKey(std::string_view text) {
    std::uint64_t h = text.size();
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, text.data() + i, 8);
        h = RotateLeft(h, 23) ^ FoldUpper(w);
    }
    if (i < text.size()) {
        std::uint64_t w = 0;
        std::memcpy(&w, text.data() + i, text.size() - i);
        h = RotateLeft(h, 23) ^ FoldUpper(w);
    }
    h *= 0x9E3779B97F4A7C15ULL;
    return static_cast<std::uint32_t>(h >> 32);
}

std::uint32_t ZANameKey(std::string_view name) {
    if (!name.empty() && (name.back() == '/' || name.back() == '\\'))
        name.remove_suffix(1);
    if (!name.empty() && name.back() == '.')
        name.remove_suffix(1);
    return ZAFoldedKey(name);
}

void TZADirArray::CheckIndex(int index) const {
    if (index < 0 || index >= Count())
        throw EZAException(1, "");
}

TDirItem& TZADirArray::Item(int index) {
    CheckIndex(index);
    if (FRefs.empty()) {
        TDirItem& item = FItems[static_cast<std::size_t>(index)];
        if (TextsPending(index))
            FOwner->LoadRecoveredTexts(FRecovered[static_cast<std::size_t>(index)], item);
        return item;
    }
    const auto loaded = FLoaded.find(index);
    if (loaded != FLoaded.end())
        return loaded->second;
    TDirItem item;
    FOwner->LoadItem(static_cast<std::int64_t>(FRefs[static_cast<std::size_t>(index)] >> 16), item);
    return FLoaded.emplace(index, item).first->second;
}

const TDirItem& TZADirArray::Item(int index) const {
    return const_cast<TZADirArray*>(this)->Item(index);
}

std::string_view TZADirArray::NameOf(int index, std::string& scratch) const {
    CheckIndex(index);
    if (TextsPending(index)) {
        std::string extra;
        FOwner->ReadRecoveredTexts(
            FRecovered[static_cast<std::size_t>(index)],
            FItems[static_cast<std::size_t>(index)].CentralDir.genPurposeFlag, scratch, extra);
        return scratch;
    }
    if (FRefs.empty())
        return FItems[static_cast<std::size_t>(index)].Name;
    if (const auto loaded = FLoaded.find(index); loaded != FLoaded.end())
        return loaded->second.Name;
    return FOwner->PeekName(static_cast<std::int64_t>(FRefs[std::size_t(index)] >> 16), scratch);
}

std::uint32_t TZADirArray::AttributeBits(int index) const {
    CheckIndex(index);
    if (FRefs.empty())
        return FItems[static_cast<std::size_t>(index)].CentralDir.externalAttr & 0xFF;
    return FRefs[static_cast<std::size_t>(index)] & 0xFF;
}

bool TZADirArray::IsDirectory(int index) const {
    CheckIndex(index);
    if (TextsPending(index)) {
        const TZARecoveredTexts& texts = FRecovered[static_cast<std::size_t>(index)];
        if (FItems[static_cast<std::size_t>(index)].IsDirectory())
            return true;
        if (texts.slashKnown)
            return texts.trailingSlash;
        std::string scratch;
        const std::string_view name = NameOf(index, scratch);
        return !name.empty() && name.back() == '/';
    }
    if (FRefs.empty())
        return FItems[static_cast<std::size_t>(index)].IsDirectory();
    return (FRefs[static_cast<std::size_t>(index)] & 0x100) != 0;
}

bool TZADirArray::Tagged(int index) const {
    CheckIndex(index);
    if (FRefs.empty())
        return FItems[static_cast<std::size_t>(index)].Tagged;
    const auto loaded = FLoaded.find(index);
    return loaded != FLoaded.end() && loaded->second.Tagged;
}

void TZADirArray::ClearTags() {
    for (TDirItem& item : FItems)
        item.Tagged = false;
    for (auto& [index, item] : FLoaded)
        item.Tagged = false;
}

std::uint32_t TZADirArray::NameKey(int index) const {
    CheckIndex(index);
    if (FRefs.empty()) {
        // A rebuilt entry's name is read for its key once.
        TZARecoveredTexts& texts = FRecovered[static_cast<std::size_t>(index)];
        if (!texts.keyKnown) {
            std::string scratch;
            texts.key = ZANameKey(NameOf(index, scratch));
            texts.keyKnown = true;
        }
        return texts.key;
    }
    return FKeys[static_cast<std::size_t>(index)];
}

bool TZADirArray::LongerThan(int index, std::size_t length) const {
    if (!TextsPending(index))
        return false;
    // Without an extra field there is no Unicode name block, and decoding never shortens a name.
    const TZARecoveredTexts& texts = FRecovered[static_cast<std::size_t>(index)];
    return texts.extraLength == 0 && texts.nameLength > length;
}

int TZADirArray::NextWithKey(std::uint32_t key, std::size_t keyedLength, int from) const {
    if (FRefs.empty()) {
        // A key is made without one trailing separator and then one trailing dot.
        for (int i = std::max(from, 0); i < Count(); ++i)
            if (!LongerThan(i, keyedLength + 2) && NameKey(i) == key)
                return i;
        return -1;
    }
    const auto begin = FKeys.begin() + std::clamp<std::ptrdiff_t>(from, 0, Count());
    const auto found = std::find(begin, FKeys.end(), key);
    return found == FKeys.end() ? -1 : static_cast<int>(found - FKeys.begin());
}

int TZADirArray::IndexOfName(std::string_view name) const {
    const std::uint32_t key = ZANameKey(name);
    std::string scratch;
    for (int i = 0; i < Count(); ++i) {
        if (LongerThan(i, name.size()) || NameKey(i) != key)
            continue;
        const std::string_view candidate = NameOf(i, scratch);
        const bool same = candidate.size() == name.size() &&
                          std::equal(candidate.begin(), candidate.end(), name.begin(),
                                     [](char a, char b) { return AsciiLower(a) == AsciiLower(b); });
        if (same)
            return i;
    }
    return -1;
}

void TZADirArray::VisitItems(const std::function<void(int, const TDirItem&)>& visit) const {
    TDirItem item;
    std::string scratch;
    if (FRefs.empty()) {
        std::string extra;
        for (std::size_t i = 0; i < FItems.size(); ++i) {
            if (!TextsPending(static_cast<int>(i))) {
                visit(static_cast<int>(i), FItems[i]);
                continue;
            }
            item = FItems[i];
            FOwner->ReadRecoveredTexts(FRecovered[i], item.CentralDir.genPurposeFlag, scratch,
                                       extra);
            item.Name = scratch;
            item.ExtraField = extra;
            visit(static_cast<int>(i), item);
        }
        return;
    }
    for (int i = 0; i < Count(); ++i) {
        if (const auto loaded = FLoaded.find(i); loaded != FLoaded.end()) {
            visit(i, loaded->second);
            continue;
        }
        item = TDirItem();
        FOwner->ParseEntry(static_cast<std::int64_t>(FRefs[std::size_t(i)] >> 16), item, scratch);
        if (FOwner->FShiftStub && (item.CentralDir.externalAttr & ZAAttrDirectory) == 0)
            item.StubShift = FOwner->StubSize;
        visit(i, item);
    }
}

void TZADirArray::Clear() {
    FItems.clear();
    FRecovered.clear();
    FRefs.clear();
    FKeys.clear();
    FLoaded.clear();
    FBlocks.clear();
    FBlockLeft = 0;
    FBlockNext = nullptr;
}

void TZADirArray::AddRecovered(const TDirItem& item, const TZARecoveredTexts& texts) {
    FItems.push_back(item);
    FRecovered.push_back(texts);
}

void TZADirArray::AddReference(std::int64_t position, std::uint32_t attributes, bool directory,
                               std::uint32_t nameKey) {
    FRefs.push_back(static_cast<std::uint64_t>(position) << 16 | (directory ? 0x100u : 0u) |
                    (attributes & 0xFF));
    FKeys.push_back(nameKey);
}

void TZADirArray::Reserve(std::size_t count) {
    FRefs.reserve(count);
    FKeys.reserve(count);
}

std::string_view TZADirArray::Store(std::string_view text) {
    if (text.empty())
        return {};
    constexpr std::size_t BlockSize = 64 * 1024;
    if (text.size() > FBlockLeft) {
        const std::size_t size = std::max(BlockSize, text.size());
        FBlocks.emplace_back(new char[size]);
        FBlockNext = FBlocks.back().get();
        FBlockLeft = size;
    }
    std::memcpy(FBlockNext, text.data(), text.size());
    const std::string_view stored(FBlockNext, text.size());
    FBlockNext += text.size();
    FBlockLeft -= text.size();
    return stored;
}

std::string ZAOemToAnsi(std::string_view bytes, const ZACodePage& ansi) {
    std::string out;
    out.reserve(bytes.size() * 2);
    std::size_t i = 0;
    for (; i < bytes.size() && bytes[i] != '\0'; ++i)
        ansi.AppendCodePoint(ZACp437ToUnicode(static_cast<unsigned char>(bytes[i])), out);
    out.append(bytes.substr(i));
    return out;
}

TZADirManager::TZADirManager(TZAStream& stream, const TZADirSettings& settings)
    : Settings(settings), FCompressedStream(stream), FEntries(stream, 256 * 1024) {
    CentralDirEnd.signature = ZAEndSignature;
    CDir.FOwner = this;
}

std::int64_t TZADirManager::FindCentralDirEnd(TZAZipCentralDirEnd& target) {
    target = {};
    const std::int64_t size = FCompressedStream.Size();
    const std::int64_t window = std::min(size, EndSearchWindow);
    if (window < 4)
        return -1;
    std::string buffer(static_cast<std::size_t>(window), '\0');
    const std::int64_t base = size - window;
    FCompressedStream.ReadExact(base, buffer.data(), buffer.size());
    // Backwards from the end: at each 06 compare the three bytes before it with 05 4B 50.
    for (std::size_t end = buffer.size(); end >= 4;) {
        const void* hit = memrchr(buffer.data() + 3, 0x06, end - 3);
        if (hit == nullptr)
            break;
        const std::size_t last = static_cast<const char*>(hit) - buffer.data();
        end = last;
        const std::size_t candidate = last - 3;
        const std::string_view record = std::string_view(buffer).substr(candidate);
        if (ZAByteReader(record).U32() != ZAEndSignature)
            continue;
        const std::int64_t position = base + static_cast<std::int64_t>(candidate);
        if (record.size() < EndRecordSize)
            continue;
        target = ParseEndRecord(record);
        FEndCandidate = position;
        if (target.commentLength != size - position - static_cast<std::int64_t>(EndRecordSize))
            continue;
        ArchiveComment.assign(buffer, candidate + EndRecordSize, target.commentLength);
        return position;
    }
    return -1;
}

bool TZADirManager::HasCentralDirEnd() {
    FEndCandidate = -1;
    const bool found = FindCentralDirEnd(CentralDirEnd) >= 0;
    return found || Settings.OpenCorruptedArchives;
}

namespace {

// Only one volume: the Zip64 end record is on the first disk, and there is one disk (some
// writers put 0 there).
bool LocatorSpansVolumes(const TZAZip64CentralDirEndLocator& locator) {
    return locator.startDiskNumber != 0 || locator.totalNumberOfDisks > 1;
}

} // namespace

bool TZADirManager::ReadLocator(std::int64_t endPosition, TZAZip64CentralDirEndLocator& locator) {
    if (endPosition <= static_cast<std::int64_t>(LocatorSize))
        return false;
    std::string bytes(LocatorSize, '\0');
    FCompressedStream.ReadExact(endPosition - static_cast<std::int64_t>(LocatorSize), bytes.data(),
                                bytes.size());
    locator = ParseLocator(bytes);
    return locator.signature == ZAZip64LocatorSignature;
}

bool TZADirManager::SpansVolumes() {
    if (CentralDirEnd.signature == 0 || FEndCandidate < 0)
        return false;
    TZAZip64CentralDirEndLocator locator;
    if (ReadLocator(FEndCandidate, locator))
        return LocatorSpansVolumes(locator);
    return CentralDirEnd.diskNumber != 0;
}

void TZADirManager::ReadZip64Records(std::int64_t& e) {
    TZAZip64CentralDirEndLocator locator;
    if (ReadLocator(e, locator)) {
        Zip64CentralDirEndLocator = locator;
        FZip64 = true;
        e -= static_cast<std::int64_t>(LocatorSize);
    }
    if (!FZip64)
        return;
    if (e <= static_cast<std::int64_t>(Zip64EndSize))
        throw EZAException(40, "");
    std::string record(Zip64EndSize, '\0');
    const std::uint64_t at = Zip64CentralDirEndLocator.offsetStartDirEnd;
    if (at > static_cast<std::uint64_t>(FCompressedStream.Size()))
        throw EZAReadError();
    FCompressedStream.ReadExact(static_cast<std::int64_t>(at), record.data(), record.size());
    Zip64CentralDirEnd = ParseZip64End(record);
    if (Zip64CentralDirEnd.signature != ZAZip64EndSignature)
        throw EZAException(40, "");
    e -= static_cast<std::int64_t>(Zip64EndSize);
}

void TZADirManager::LoadDir() {
    CDir.Clear();
    FShiftStub = false;
    CentralDirEnd = {};
    CentralDirEnd.signature = ZAEndSignature;
    Zip64CentralDirEndLocator = {};
    Zip64CentralDirEnd = {};
    StubSize = 0;
    FZip64 = false;
    Recovered = false;
    CentralDirOffset = 0;

    TZAZipCentralDirEnd record;
    std::int64_t e = FindCentralDirEnd(record);
    if (e < 0)
        return Recover(record.signature != 0);
    CentralDirEnd = record;
    ReadZip64Records(e);
    if (!FZip64 && record.entriesCentralDir == All16)
        return Recover(true);
    // Multi-volume archives are not read. With a Zip64 locator the end record's disk fields may
    // hold 0xFFFF or anything else: the locator's say how many disks there are.
    if (FZip64 ? LocatorSpansVolumes(Zip64CentralDirEndLocator) : record.diskNumber != 0)
        throw EZAException(44, "");

    const std::uint64_t dirSize =
        FZip64 ? Zip64CentralDirEnd.centralDirSize : record.centralDirSize;
    const auto count = FZip64 ? static_cast<std::uint32_t>(Zip64CentralDirEnd.entriesCentralDir)
                              : record.entriesCentralDir;
    WalkSummary walk;
    try {
        if (dirSize > static_cast<std::uint64_t>(e))
            throw EZAReadError(); // the directory would start before the file
        walk = ReadEntries(e - static_cast<std::int64_t>(dirSize), count);
    } catch (const std::exception&) {
        if (!Settings.OpenCorruptedArchives)
            throw;
        return Recover(true);
    }
    if (!Settings.OpenCorruptedArchives && walk.totalCompressed > FCompressedStream.Size())
        throw EZAException(57, "");
    DetectStub(e, walk);
    // Offsets count from the start of the ZIP data unless the first entry with data already
    // lies at or after the prepended bytes.
    if (walk.firstSizedOffset >= 0 && walk.firstSizedOffset < StubSize)
        ApplyStubOffset();
}

namespace {

// The extra field holds a block that changes what the entry's name, sizes or method read as.
bool HasInterpretedBlock(std::string_view extra) {
    bool found = false;
    ZAForEachExtraBlock(extra, [&](const TZAExtraFieldDataBlock& block) {
        found = block.headerID == ZAExtraZip64 || block.headerID == ZAExtraUnicodeName ||
                block.headerID == ZAExtraAes;
        return !found;
    });
    return found;
}

} // namespace

TZADirManager::WalkSummary TZADirManager::ReadEntries(std::int64_t start, std::uint32_t count) {
    WalkSummary walk;
    if (count == 0)
        return walk;
    // One pass over the directory through a reusable window; each entry leaves a reference of a
    // few bytes and is parsed in full again only when it is asked for.
    CDir.Reserve(static_cast<std::size_t>(std::min<std::int64_t>(
        count, (FCompressedStream.Size() - start) / std::int64_t(CentralHeaderSize) + 1)));
    CentralDirOffset = start;
    const bool asciiNames = Settings.AnsiCodePage.IsAsciiCompatible();
    TDirItem item;
    std::string scratch;
    std::int64_t pos = start;
    for (std::uint32_t i = 0; i < count; ++i) {
        const TZAZipCentralDir h = ParseCentralHeader(FEntries.View(pos, CentralHeaderSize));
        const std::size_t length = std::size_t{h.nameLength} + h.extraLength + h.commentLength;
        const std::string_view rest = FEntries.View(pos + std::int64_t(CentralHeaderSize), length);
        const std::string_view name = rest.substr(0, h.nameLength);
        // Most entries need no more than their name's key: ASCII names, no blocks that change
        // them, and nothing the summary still waits for.
        const bool quick = i > 0 && (walk.firstSizedOffset >= 0 || h.compSize == 0) &&
                           h.compSize != All32 && asciiNames && !ZAHasHighBytes(name) &&
                           !HasInterpretedBlock(rest.substr(h.nameLength, h.extraLength));
        if (quick) {
            const bool directory =
                (h.externalAttr & ZAAttrDirectory) != 0 || (!name.empty() && name.back() == '/');
            CDir.AddReference(pos, h.externalAttr, directory, ZANameKey(name));
            walk.totalCompressed = SaturatingAdd(walk.totalCompressed, h.compSize);
            pos += std::int64_t(CentralHeaderSize + length);
            continue;
        }
        item = TDirItem();
        const std::int64_t next = ParseEntry(pos, item, scratch);
        CDir.AddReference(pos, item.CentralDir.externalAttr, item.IsDirectory(),
                          ZANameKey(item.Name));
        if (i == 0) {
            walk.first = item.CentralDir;
            walk.firstOffset = item.LocalHeaderOffset();
        }
        if (walk.firstSizedOffset < 0 && item.CentralDir.compSize != 0)
            walk.firstSizedOffset = item.LocalHeaderOffset();
        walk.totalCompressed =
            SaturatingAdd(walk.totalCompressed, std::max<std::int64_t>(item.CompressedSize(), 0));
        pos = next;
    }
    return walk;
}

std::int64_t TZADirManager::ParseEntry(std::int64_t pos, TDirItem& item, std::string& scratch) {
    item.CentralDir = ParseCentralHeader(FEntries.View(pos, CentralHeaderSize));
    const TZAZipCentralDir& c = item.CentralDir;
    const std::size_t length = std::size_t{c.nameLength} + c.extraLength + c.commentLength;
    const std::string_view rest = FEntries.View(pos + std::int64_t(CentralHeaderSize), length);
    item.CompressionMethod = c.compMethod;
    const std::string_view raw = rest.substr(0, c.nameLength);
    item.Name =
        DecodeName(raw, c.genPurposeFlag, true, true, scratch) ? std::string_view(scratch) : raw;
    item.ExtraField = rest.substr(c.nameLength, c.extraLength);
    InterpretExtra(item, scratch);
    item.Comment = rest.substr(std::size_t{c.nameLength} + c.extraLength);
    return pos + std::int64_t(CentralHeaderSize + length);
}

void TZADirManager::Pin(TDirItem& item) {
    item.Name = CDir.Store(item.Name);
    item.ExtraField = CDir.Store(item.ExtraField);
    item.Comment = CDir.Store(item.Comment);
}

void TZADirManager::LoadItem(std::int64_t pos, TDirItem& item) {
    std::string scratch;
    ParseEntry(pos, item, scratch);
    Pin(item);
    if (FShiftStub && (item.CentralDir.externalAttr & ZAAttrDirectory) == 0)
        item.StubShift = StubSize;
}

std::string_view TZADirManager::PeekName(std::int64_t pos, std::string& scratch) {
    TDirItem item;
    ParseEntry(pos, item, scratch);
    if (item.Name.data() != scratch.data())
        scratch.assign(item.Name);
    return scratch;
}

bool TZADirManager::DecodeName(std::string_view raw, std::uint16_t flag, bool oem, bool detectUtf8,
                               std::string& decoded) const {
    const ZACodePage& ansi = Settings.AnsiCodePage;
    if (!ZAHasHighBytes(raw) && ansi.IsAsciiCompatible())
        return false; // ASCII reads the same in every step
    std::string bytes;
    if (oem && Settings.OEMFileNames && (flag & 0x0800) == 0)
        bytes = ZAOemToAnsi(raw, ansi);
    else
        bytes.assign(raw);
    if (detectUtf8 && ZAHasHighBytes(bytes) && ZAIsWellFormedUtf8(bytes))
        decoded = std::move(bytes);
    else
        decoded = ansi.ToUtf8(bytes);
    return decoded != raw;
}

void TZADirManager::InterpretExtra(TDirItem& item, std::string& scratch) {
    if (item.ExtraField.empty())
        return;
    item.bHugeFile = false;
    ZAForEachExtraBlock(item.ExtraField, [&](const TZAExtraFieldDataBlock& block) {
        switch (block.headerID) {
        case ZAExtraZip64:
            ReadZip64Block(item, block.data);
            break;
        case ZAExtraUnicodeName:
            if (ReadUnicodeNameBlock(block.data, scratch))
                item.Name = scratch;
            break;
        case ZAExtraAes: // version, vendor, strength, actual method
            if (item.CentralDir.extractVersion < ZAVersionWithoutChecks && block.data.size() >= 7)
                ReadAesBlock(item, block.data);
            break;
        default:
            break;
        }
        return true;
    });
}

void TZADirManager::DetectStub(std::int64_t e, const WalkSummary& walk) {
    if (CentralDirEnd.entriesCentralDir == 0) {
        StubSize = e;
        return;
    }
    if (walk.firstOffset < 0)
        return;
    const TZAZipCentralDir& first = walk.first;
    const std::int64_t size = FCompressedStream.Size();
    TZAWindowReader reader(FCompressedStream, 64 * 1024);
    for (std::int64_t start = walk.firstOffset; start < size;) {
        const std::int64_t h = reader.FindSignature(ZALocalHeaderSignature, start);
        if (h < 0)
            return;
        if (size - h >= static_cast<std::int64_t>(ZALocalHeaderSize)) {
            const TZAZipCentralDir local = ZAParseLocalHeader(reader.View(h, ZALocalHeaderSize));
            const bool nameFits = size - h - static_cast<std::int64_t>(ZALocalHeaderSize) >=
                                  static_cast<std::int64_t>(local.nameLength);
            const bool same =
                local.extractVersion == first.extractVersion &&
                local.compMethod == first.compMethod && local.lastModTime == first.lastModTime &&
                local.lastModDate == first.lastModDate && local.crc32 == first.crc32 &&
                local.compSize == first.compSize && local.unCompSize == first.unCompSize;
            if (nameFits && (h == 0 || same)) {
                StubSize = h;
                return;
            }
        }
        start = h + 1;
    }
}

void TZADirManager::ApplyStubOffset() {
    FShiftStub = true;
    const auto shift = [this](TDirItem& item) {
        if ((item.CentralDir.externalAttr & ZAAttrDirectory) == 0)
            item.StubShift = StubSize;
    };
    for (TDirItem& item : CDir.FItems)
        shift(item);
    for (auto& [index, item] : CDir.FLoaded)
        shift(item);
}

void TZADirManager::Recover(bool metEndSignature) {
    CDir.Clear();
    Recovered = true;
    if (Settings.MultiVolume)
        throw EZAException(44, "");
    const std::int64_t size = FCompressedStream.Size();
    TZAWindowReader scan(FCompressedStream);
    TZAWindowReader descriptors(FCompressedStream);
    const auto next = [&](std::int64_t from) {
        const std::int64_t hit = scan.FindSignature(ZALocalHeaderSignature, from);
        return hit >= 0 && size - hit >= static_cast<std::int64_t>(ZALocalHeaderSize) ? hit : -1;
    };
    std::int64_t p = next(0);
    if (p < 0)
        throw EZAException(35, "");
    // A header is taken only when its name and extra field lie inside the file, and the scan
    // goes on after them: the headers and names of rebuilt entries never overlap, so their names
    // together are at most the file's size, and listing or searching them is linear in the file
    // whatever lengths hostile headers claim. A signature inside an entry's data still yields an
    // entry of its own, as the data is not skipped.
    while (p >= 0) {
        const TZAZipCentralDir local = ZAParseLocalHeader(scan.View(p, ZALocalHeaderSize));
        const std::int64_t textsEnd =
            p + static_cast<std::int64_t>(ZALocalHeaderSize) + local.nameLength + local.extraLength;
        if (local.compSize < size && local.extraLength <= 260 && textsEnd <= size) {
            AddRecoveredEntry(p, local, metEndSignature, scan, descriptors);
            p = next(textsEnd);
        } else {
            p = next(p + 4);
        }
    }
    CentralDirOffset = size;
}

std::string_view TZADirManager::Peek(TZAWindowReader& scan, std::int64_t pos, std::size_t len,
                                     std::string& buffer) {
    if (len == 0 || scan.InWindow(pos, len))
        return scan.View(pos, len);
    if (!FCompressedStream.Holds(pos, static_cast<std::int64_t>(len)))
        throw EZAReadError();
    buffer.resize(len);
    FCompressedStream.ReadExact(pos, buffer.data(), len);
    return buffer;
}

// The entry is kept with the places of its name and extra field: nothing of the name is read
// but its last byte, so each header costs the same however long a name it claims.
void TZADirManager::AddRecoveredEntry(std::int64_t p, const TZAZipCentralDir& local,
                                      bool metEndSignature, TZAWindowReader& scan,
                                      TZAWindowReader& descriptors) {
    const std::int64_t size = FCompressedStream.Size();
    TDirItem item;
    item.CentralDir = local;
    TZAZipCentralDir& c = item.CentralDir;
    item.CompressionMethod = c.compMethod;
    c.externalAttr = c.unCompSize != 0 || (c.genPurposeFlag & 8) != 0 ? 0x20 : ZAAttrDirectory;
    if (p < All32) {
        c.relOffsetLH = static_cast<std::uint32_t>(p);
    } else { // beyond 32 bits: held as a Zip64 offset
        c.relOffsetLH = All32;
        item.Zip64ExtInfo.relOffsetLH = p;
    }
    TZARecoveredTexts texts;
    texts.oemNames = metEndSignature;
    texts.slashKnown = Settings.AnsiCodePage.IsAsciiCompatible();
    // The caller checked that the name and the extra field lie inside the file.
    std::int64_t pos = p + static_cast<std::int64_t>(ZALocalHeaderSize);
    texts.namePosition = pos;
    std::string buffer;
    texts.nameLength = c.nameLength;
    if (c.nameLength > 0)
        texts.trailingSlash = Peek(scan, pos + c.nameLength - 1, 1, buffer)[0] == '/';
    pos += c.nameLength;
    texts.extraPosition = pos;
    texts.extraLength = c.extraLength;
    if (c.extraLength > 0) {
        // Sizes, method and encryption from the blocks now; a Unicode name block is read again
        // with the name.
        std::string unicodeName;
        item.ExtraField = Peek(scan, pos, c.extraLength, buffer);
        InterpretExtra(item, unicodeName);
        if (item.Name.data() == unicodeName.data()) {
            texts.trailingSlash = !unicodeName.empty() && unicodeName.back() == '/';
            texts.slashKnown = true;
        }
        item.Name = {};
        item.ExtraField = {};
    }
    if ((c.genPurposeFlag & 8) != 0) {
        const std::int64_t d = descriptors.FindSignature(ZADataDescriptorSignature, p);
        if (d >= 0 && size - d >= 16)
            ReadDataDescriptor(descriptors.View(d, 16), c);
    }
    CDir.AddRecovered(item, texts);
}

void TZADirManager::ReadRecoveredTexts(const TZARecoveredTexts& texts, std::uint16_t flag,
                                       std::string& name, std::string& extra) {
    extra.resize(texts.extraLength);
    FCompressedStream.ReadExact(texts.extraPosition, extra.data(), extra.size());
    if (ReadUnicodeName(extra, name))
        return;
    std::string raw(texts.nameLength, '\0');
    FCompressedStream.ReadExact(texts.namePosition, raw.data(), raw.size());
    if (!DecodeName(raw, flag, texts.oemNames, false, name))
        name = std::move(raw);
}

void TZADirManager::LoadRecoveredTexts(TZARecoveredTexts& texts, TDirItem& item) {
    std::string name, extra;
    ReadRecoveredTexts(texts, item.CentralDir.genPurposeFlag, name, extra);
    item.Name = CDir.Store(name);
    item.ExtraField = CDir.Store(extra);
    texts.loaded = true;
}

bool TZADirManager::IsEncrypted() const {
    return CDir.Count() > 0 && CDir.Item(0).Encrypted();
}

bool TZADirManager::IsSFXArchive() const {
    return CDir.Count() > 0 && CDir.Item(0).CentralDir.relOffsetLH != 0;
}
