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
constexpr std::int64_t LongestEntry = CentralHeaderSize + 3 * 65535;

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
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
        block.dataSize =
            static_cast<std::uint16_t>(std::min<std::size_t>(reader.U16(), reader.Left()));
        block.data = reader.Take(block.dataSize);
        blocks.push_back(block);
    }
    return blocks;
}

TDirItem& TZADirArray::Item(int index) {
    if (index < 0 || index >= Count())
        throw EZAException(1, "");
    return FItems[static_cast<std::size_t>(index)];
}

const TDirItem& TZADirArray::Item(int index) const {
    return const_cast<TZADirArray*>(this)->Item(index);
}

int TZADirArray::IndexOfName(std::string_view name) const {
    const auto lower = [](std::string_view text) {
        std::string out(text);
        std::transform(out.begin(), out.end(), out.begin(), AsciiLower);
        return out;
    };
    if (!FIndexed) {
        FItemNamesList.clear();
        FItemNamesList.reserve(FItems.size());
        for (std::size_t i = 0; i < FItems.size(); ++i)
            FItemNamesList.emplace(lower(FItems[i].Name), static_cast<int>(i));
        FIndexed = true;
    }
    const auto found = FItemNamesList.find(lower(name));
    return found == FItemNamesList.end() ? -1 : found->second;
}

void TZADirArray::Clear() {
    FItems.clear();
    FBlocks.clear();
    FBlockLeft = 0;
    FBlockNext = nullptr;
    FItemNamesList.clear();
    FIndexed = false;
}

TDirItem& TZADirArray::Add() {
    FIndexed = false;
    return FItems.emplace_back();
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
    : Settings(settings), FCompressedStream(stream) {
    CentralDirEnd.signature = ZAEndSignature;
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
    try {
        if (dirSize > static_cast<std::uint64_t>(e))
            throw EZAReadError(); // the directory would start before the file
        ReadEntries(e - static_cast<std::int64_t>(dirSize), count);
    } catch (const std::exception&) {
        if (!Settings.OpenCorruptedArchives)
            throw;
        return Recover(true);
    }
    if (!Settings.OpenCorruptedArchives) {
        std::int64_t total = 0;
        for (const TDirItem& item : CDir.Items())
            total += std::max<std::int64_t>(item.CompressedSize(), 0);
        if (total > FCompressedStream.Size())
            throw EZAException(57, "");
    }
    DetectStub(e);
    if (!OffsetsAreAbsolute())
        ApplyStubOffset();
}

void TZADirManager::ReadEntries(std::int64_t start, std::uint32_t count) {
    if (count == 0)
        return;
    // One read for the whole directory, from its start up to what its entries can span at most
    // (never past the end of the file); the entries are then parsed from memory.
    const std::int64_t tail = FCompressedStream.Size() - start;
    const std::int64_t most =
        count > std::numeric_limits<std::int64_t>::max() / LongestEntry
            ? tail
            : std::min<std::int64_t>(tail, static_cast<std::int64_t>(count) * LongestEntry);
    const auto length = static_cast<std::size_t>(std::max<std::int64_t>(most, 0));
    std::unique_ptr<char[]> block(new char[std::max<std::size_t>(length, 1)]);
    FCompressedStream.ReadExact(start, block.get(), length);
    const std::string_view bytes(block.get(), length);
    CDir.Adopt(std::move(block));
    CDir.Reserve(std::min<std::size_t>(count, length / CentralHeaderSize + 1));
    CentralDirOffset = start;
    ZAByteReader reader(bytes);
    for (std::uint32_t i = 0; i < count; ++i)
        ReadEntry(reader);
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

void TZADirManager::ReadEntry(ZAByteReader& reader) {
    TDirItem& item = CDir.Add();
    item.CentralDir = ParseCentralHeader(reader.Take(CentralHeaderSize).data());
    const TZAZipCentralDir& c = item.CentralDir;
    item.CompressionMethod = c.compMethod;
    const std::string_view raw = reader.Take(c.nameLength);
    std::string decoded;
    item.Name = DecodeName(raw, c.genPurposeFlag, true, true, decoded) ? CDir.Store(decoded) : raw;
    item.ExtraField = reader.Take(c.extraLength);
    InterpretExtra(item);
    item.Comment = reader.Take(c.commentLength);
}

void TZADirManager::InterpretExtra(TDirItem& item) {
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
            item.Name = CDir.Store(ZAUtf16LeToUtf8(data.substr(8, 2 * std::size_t{units})));
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

void TZADirManager::DetectStub(std::int64_t e) {
    if (CentralDirEnd.entriesCentralDir == 0) {
        StubSize = e;
        return;
    }
    if (CDir.Count() == 0)
        return;
    const TZAZipCentralDir& first = CDir.Item(0).CentralDir;
    const std::int64_t size = FCompressedStream.Size();
    TZAWindowReader reader(FCompressedStream, 64 * 1024);
    for (std::int64_t start = CDir.Item(0).LocalHeaderOffset(); start >= 0 && start < size;) {
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

bool TZADirManager::OffsetsAreAbsolute() const {
    for (const TDirItem& item : CDir.Items())
        if (item.CentralDir.compSize != 0)
            return item.LocalHeaderOffset() >= StubSize;
    return true;
}

void TZADirManager::ApplyStubOffset() {
    for (TDirItem& item : CDir.Items())
        if ((item.CentralDir.externalAttr & ZAAttrDirectory) == 0)
            item.StubShift = StubSize;
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
        std::string decoded;
        const bool changed = DecodeName(raw, c.genPurposeFlag, metEndSignature, false, decoded);
        item.Name = CDir.Store(changed ? std::string_view(decoded) : raw);
        pos += c.nameLength;
    }
    if (c.extraLength > 0) {
        item.ExtraField = CDir.Store(scan.View(pos, c.extraLength));
        InterpretExtra(item);
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
