#include "ZADirManager.h"

#include "EZAException.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr std::uint32_t All32 = 0xFFFFFFFF;
constexpr std::uint16_t All16 = 0xFFFF;
constexpr std::size_t EndRecordSize = 22;
constexpr std::size_t LocatorSize = 20;
constexpr std::size_t Zip64EndSize = 56;
constexpr std::size_t CentralHeaderSize = 46;
constexpr std::size_t LocalHeaderSize = 30;
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

TZAZipCentralDirEnd ParseEndRecord(const char* p) {
    TZAZipCentralDirEnd r;
    r.signature = ZALoad32(p);
    r.diskNumber = ZALoad16(p + 4);
    r.startDiskNumber = ZALoad16(p + 6);
    r.entriesOnDisk = ZALoad16(p + 8);
    r.entriesCentralDir = ZALoad16(p + 10);
    r.centralDirSize = ZALoad32(p + 12);
    r.offsetStartDir = ZALoad32(p + 16);
    r.commentLength = ZALoad16(p + 20);
    return r;
}

TZAZipCentralDir ParseCentralHeader(const char* p) {
    TZAZipCentralDir c;
    c.signature = ZALoad32(p);
    c.versionMadeBy = ZALoad16(p + 4);
    c.extractVersion = ZALoad16(p + 6);
    c.genPurposeFlag = ZALoad16(p + 8);
    c.compMethod = ZALoad16(p + 10);
    c.lastModTime = ZALoad16(p + 12);
    c.lastModDate = ZALoad16(p + 14);
    c.crc32 = ZALoad32(p + 16);
    c.compSize = ZALoad32(p + 20);
    c.unCompSize = ZALoad32(p + 24);
    c.nameLength = ZALoad16(p + 28);
    c.extraLength = ZALoad16(p + 30);
    c.commentLength = ZALoad16(p + 32);
    c.diskNumberStart = ZALoad16(p + 34);
    c.internalAttr = ZALoad16(p + 36);
    c.externalAttr = ZALoad32(p + 38);
    c.relOffsetLH = ZALoad32(p + 42);
    return c;
}

// The central-directory form of a local header (APPNOTE layout).
TZAZipCentralDir ParseLocalHeader(const char* p) {
    TZAZipCentralDir c;
    c.signature = ZALoad32(p);
    c.versionMadeBy = c.extractVersion = ZALoad16(p + 4);
    c.genPurposeFlag = ZALoad16(p + 6);
    c.compMethod = ZALoad16(p + 8);
    c.lastModTime = ZALoad16(p + 10);
    c.lastModDate = ZALoad16(p + 12);
    c.crc32 = ZALoad32(p + 14);
    c.compSize = ZALoad32(p + 18);
    c.unCompSize = ZALoad32(p + 22);
    c.nameLength = ZALoad16(p + 26);
    c.extraLength = ZALoad16(p + 28);
    return c;
}

void ReadZip64Block(TDirItem& item, std::string_view data) {
    const TZAZipCentralDir& c = item.CentralDir;
    TZAZip64ExtendedInfo& info = item.Zip64ExtInfo;
    std::size_t o = 0;
    // Each value is taken only while the block still holds all of its bytes.
    const auto take64 = [&](bool wanted, std::int64_t& into) {
        if (!wanted || o >= data.size())
            return true;
        if (data.size() - o < 8)
            return false;
        into = AsInt64(ZALoad64(data.data() + o));
        o += 8;
        return true;
    };
    if (take64(c.unCompSize == All32, info.uncompSize) &&
        take64(c.compSize == All32, info.compSize) &&
        take64(c.relOffsetLH == All32, info.relOffsetLH) && c.diskNumberStart == All16 &&
        data.size() >= o + 2)
        info.diskNumberStart = ZALoad16(data.data() + o);
    item.bHugeFile = true;
}

} // namespace

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

bool TDirItem::IsDirectory() const {
    return (CentralDir.externalAttr & ZAAttrDirectory) != 0 ||
           (!Name.empty() && Name.back() == '/');
}

std::vector<TZAExtraFieldDataBlock> TDirItem::ExtraFields() const {
    std::vector<TZAExtraFieldDataBlock> blocks;
    ZAByteReader reader(ExtraField);
    // A tail shorter than a block header is padding, not a block.
    while (reader.Left() >= 4) {
        TZAExtraFieldDataBlock block;
        block.headerID = reader.U16();
        const std::uint16_t stated = reader.U16();
        block.dataSize = static_cast<std::uint16_t>(std::min<std::size_t>(stated, reader.Left()));
        block.data = reader.Take(block.dataSize);
        blocks.push_back(block);
    }
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
    if (FRefs.empty())
        return FItems[static_cast<std::size_t>(index)];
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
    if (FRefs.empty())
        return ZANameKey(FItems[static_cast<std::size_t>(index)].Name);
    return FKeys[static_cast<std::size_t>(index)];
}

int TZADirArray::NextWithKey(std::uint32_t key, int from) const {
    if (FRefs.empty()) {
        for (int i = std::max(from, 0); i < Count(); ++i)
            if (NameKey(i) == key)
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
        if (NameKey(i) != key)
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
    if (FRefs.empty()) {
        for (std::size_t i = 0; i < FItems.size(); ++i)
            visit(static_cast<int>(i), FItems[i]);
        return;
    }
    TDirItem item;
    std::string scratch;
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
    FRefs.clear();
    FKeys.clear();
    FLoaded.clear();
    FBlocks.clear();
    FBlockLeft = 0;
    FBlockNext = nullptr;
}

TDirItem& TZADirArray::Add() {
    return FItems.emplace_back();
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
        if (ZALoad32(buffer.data() + last - 3) != ZAEndSignature)
            continue;
        const std::size_t candidate = last - 3;
        const std::int64_t position = base + static_cast<std::int64_t>(candidate);
        if (size - position < static_cast<std::int64_t>(EndRecordSize))
            continue;
        target = ParseEndRecord(buffer.data() + candidate);
        if (target.commentLength != size - position - static_cast<std::int64_t>(EndRecordSize))
            continue;
        ArchiveComment.assign(buffer, candidate + EndRecordSize, target.commentLength);
        return position;
    }
    return -1;
}

bool TZADirManager::HasCentralDirEnd() {
    const bool found = FindCentralDirEnd(CentralDirEnd) >= 0;
    return found || Settings.OpenCorruptedArchives;
}

void TZADirManager::ReadZip64Records(std::int64_t& e) {
    if (e > static_cast<std::int64_t>(LocatorSize)) {
        char locator[LocatorSize];
        FCompressedStream.ReadExact(e - static_cast<std::int64_t>(LocatorSize), locator,
                                    LocatorSize);
        if (ZALoad32(locator) == ZAZip64LocatorSignature) {
            Zip64CentralDirEndLocator = {ZALoad32(locator), ZALoad32(locator + 4),
                                         ZALoad64(locator + 8), ZALoad32(locator + 16)};
            FZip64 = true;
            e -= static_cast<std::int64_t>(LocatorSize);
        }
    }
    if (!FZip64)
        return;
    if (e <= static_cast<std::int64_t>(Zip64EndSize))
        throw EZAException(40, "");
    char record[Zip64EndSize];
    const std::uint64_t at = Zip64CentralDirEndLocator.offsetStartDirEnd;
    if (at > static_cast<std::uint64_t>(FCompressedStream.Size()))
        throw EZAReadError();
    FCompressedStream.ReadExact(static_cast<std::int64_t>(at), record, Zip64EndSize);
    if (ZALoad32(record) != ZAZip64EndSignature)
        throw EZAException(40, "");
    const char* p = record;
    Zip64CentralDirEnd = {ZALoad32(p),      ZALoad64(p + 4),  ZALoad16(p + 12), ZALoad16(p + 14),
                          ZALoad32(p + 16), ZALoad32(p + 20), ZALoad64(p + 24), ZALoad64(p + 32),
                          ZALoad64(p + 40), ZALoad64(p + 48)};
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
    std::uint64_t lastVolume = record.diskNumber;
    if (record.diskNumber == All16)
        lastVolume = FZip64 ? Zip64CentralDirEndLocator.totalNumberOfDisks - 1u : 0u;
    if (lastVolume != 0)
        throw EZAException(44, ""); // multi-volume archives are not read

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
    ZAByteReader reader(extra);
    while (reader.Left() >= 4) {
        const std::uint16_t id = reader.U16();
        const std::uint16_t stated = reader.U16();
        const std::size_t size = std::min<std::size_t>(stated, reader.Left());
        if (id == 0x0001 || id == 0x554E || id == 0x9901)
            return true;
        reader.Take(size);
    }
    return false;
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
        const char* h = FEntries.View(pos, CentralHeaderSize).data();
        const std::uint32_t compSize = ZALoad32(h + 20);
        const std::uint16_t nameLength = ZALoad16(h + 28);
        const std::size_t length = std::size_t{nameLength} + ZALoad16(h + 30) + ZALoad16(h + 32);
        const std::uint32_t attributes = ZALoad32(h + 38);
        const std::string_view rest = FEntries.View(pos + std::int64_t(CentralHeaderSize), length);
        const std::string_view name = rest.substr(0, nameLength);
        // Most entries need no more than their name's key: ASCII names, no blocks that change
        // them, and nothing the summary still waits for.
        const bool quick = i > 0 && (walk.firstSizedOffset >= 0 || compSize == 0) &&
                           compSize != All32 && asciiNames && !ZAHasHighBytes(name) &&
                           !HasInterpretedBlock(rest.substr(nameLength, ZALoad16(h + 30)));
        if (quick) {
            const bool directory =
                (attributes & ZAAttrDirectory) != 0 || (!name.empty() && name.back() == '/');
            CDir.AddReference(pos, attributes, directory, ZANameKey(name));
            walk.totalCompressed = SaturatingAdd(walk.totalCompressed, compSize);
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
    item.CentralDir = ParseCentralHeader(FEntries.View(pos, CentralHeaderSize).data());
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
    for (const TZAExtraFieldDataBlock& block : item.ExtraFields()) {
        const std::string_view data = block.data;
        switch (block.headerID) {
        case 0x0001:
            ReadZip64Block(item, data);
            break;
        case 0x554E: { // "NUCX", a 32-bit count, then that many UTF-16LE units
            if (data.size() < 8 || ZALoad32(data.data()) != 0x5843554E)
                break;
            const std::uint32_t units = ZALoad32(data.data() + 4);
            if (units > (data.size() - 8) / 2)
                break; // a count beyond the block's data: the block is ignored
            scratch = ZAUtf16LeToUtf8(data.substr(8, 2 * std::size_t{units}));
            item.Name = scratch;
            break;
        }
        case 0x9901: // WinZip AES: version, vendor, strength, actual method
            if (item.CentralDir.extractVersion >= ZAVersionWithoutChecks || data.size() < 7)
                break;
            if (data[4] >= 1 && data[4] <= 3)
                item.ZAEncryptionAlgorithm = static_cast<TZACryptoAlgorithm>(data[4]);
            item.CompressionMethod = ZALoad16(data.data() + 5);
            break;
        default:
            break;
        }
    }
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
        if (size - h >= static_cast<std::int64_t>(LocalHeaderSize)) {
            const TZAZipCentralDir local = ParseLocalHeader(reader.View(h, LocalHeaderSize).data());
            const bool nameFits = size - h - static_cast<std::int64_t>(LocalHeaderSize) >=
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
        return hit >= 0 && size - hit >= static_cast<std::int64_t>(LocalHeaderSize) ? hit : -1;
    };
    std::int64_t p = next(0);
    if (p < 0)
        throw EZAException(35, "");
    for (; p >= 0; p = next(p + 4)) {
        const std::string_view header = scan.View(p, LocalHeaderSize);
        const TZAZipCentralDir local = ParseLocalHeader(header.data());
        if (local.compSize < size && local.extraLength <= 260)
            AddRecoveredEntry(p, header, metEndSignature, scan, descriptors);
    }
    CentralDirOffset = size;
}

void TZADirManager::AddRecoveredEntry(std::int64_t p, std::string_view header, bool metEndSignature,
                                      TZAWindowReader& scan, TZAWindowReader& descriptors) {
    const std::int64_t size = FCompressedStream.Size();
    TDirItem& item = CDir.Add();
    item.CentralDir = ParseLocalHeader(header.data());
    TZAZipCentralDir& c = item.CentralDir;
    std::string scratch;
    item.CompressionMethod = c.compMethod;
    c.externalAttr = c.unCompSize != 0 || (c.genPurposeFlag & 8) != 0 ? 0x20 : ZAAttrDirectory;
    if (p < All32) {
        c.relOffsetLH = static_cast<std::uint32_t>(p);
    } else { // beyond 32 bits: held as a Zip64 offset
        c.relOffsetLH = All32;
        item.Zip64ExtInfo.relOffsetLH = p;
    }
    std::int64_t pos = p + static_cast<std::int64_t>(LocalHeaderSize);
    if (size - pos >= c.nameLength) {
        const std::string_view raw = scan.View(pos, c.nameLength);
        const bool changed = DecodeName(raw, c.genPurposeFlag, metEndSignature, false, scratch);
        item.Name = CDir.Store(changed ? std::string_view(scratch) : raw);
        pos += c.nameLength;
    }
    if (c.extraLength > 0) {
        item.ExtraField = CDir.Store(scan.View(pos, c.extraLength));
        InterpretExtra(item, scratch);
        if (item.Name.data() == scratch.data()) // replaced by a Unicode name block
            item.Name = CDir.Store(item.Name);
    }
    if ((c.genPurposeFlag & 8) != 0) {
        const std::int64_t d = descriptors.FindSignature(ZADataDescriptorSignature, p);
        if (d >= 0 && size - d >= 16) {
            const char* v = descriptors.View(d, 16).data();
            c.crc32 = ZALoad32(v + 4);
            c.compSize = ZALoad32(v + 8);
            c.unCompSize = ZALoad32(v + 12);
        }
    }
}

bool TZADirManager::IsEncrypted() const {
    return CDir.Count() > 0 && CDir.Item(0).Encrypted();
}

bool TZADirManager::IsSFXArchive() const {
    return CDir.Count() > 0 && CDir.Item(0).CentralDir.relOffsetLH != 0;
}
