// Loading the directory: end record, Zip64, prepended data, recovery, names, hostile input.
#include "TestSupport.h"

#include <fstream>
#include <gtest/gtest.h>
#include <malloc.h>

namespace {

using namespace ziptest;

Entry File(const std::string& name, const std::string& data, std::uint16_t method = 0) {
    Entry e;
    e.name = name;
    e.data = data;
    e.method = method;
    return e;
}

Archive TwoFiles() {
    Archive a;
    a.entries = {File("a.txt", "alpha"), File("dir/b.txt", "bravo bravo bravo", 8)};
    return a;
}

// Opens bytes as an archive; the native error number, or -1 when it opened.
int OpenError(const std::string& bytes, bool openCorrupted = true) {
    TempDir dir;
    TZipArchive zip("ZipArchive1");
    zip.FileName = dir / "a.zip";
    zip.OpenCorruptedArchives = openCorrupted;
    WriteFile(zip.FileName, bytes);
    try {
        zip.OpenArchive(0);
    } catch (const EZAException& e) {
        EXPECT_FALSE(zip.Active());
        return e.NativeError;
    }
    return -1;
}

TEST(DirManager, LoadsOrdinaryArchiveInDirectoryOrder) {
    Archive a = TwoFiles();
    a.comment = "archive comment";
    const std::string bytes = Build(a);
    OpenedZip z(bytes);
    EXPECT_EQ(z.Names(), (std::vector<std::string>{"a.txt", "dir/b.txt"}));
    const TZADirManager& d = z.Dir();
    EXPECT_EQ(d.StubSize, 0);
    EXPECT_FALSE(d.Recovered);
    EXPECT_FALSE(d.FZip64);
    EXPECT_EQ(d.ArchiveComment, "archive comment");
    EXPECT_EQ(z.zip.Comment(), "archive comment");
    // The directory starts after the two local headers and their data.
    const std::int64_t dirStart =
        30 + 5 + 5 + 30 + 9 + std::int64_t(Deflate(a.entries[1].data).size());
    EXPECT_EQ(d.CentralDirOffset, dirStart);
    const TDirItem& b = d.CDir.Item(1);
    EXPECT_EQ(b.LocalHeaderOffset(), 40);
    EXPECT_EQ(b.UncompressedSize(), 17);
    EXPECT_EQ(b.CentralDir.crc32, Crc32("bravo bravo bravo"));
    EXPECT_EQ(b.CompressionMethod, 8);
    EXPECT_EQ(d.CDir.IndexOfName("DIR/B.TXT"), 1);
    EXPECT_EQ(d.CDir.IndexOfName("dir/c.txt"), -1);
    EXPECT_THROW(d.CDir.Item(2), EZAException);
}

struct EndRecordCase {
    const char* what;
    std::string comment;
    std::string trailing;
    std::optional<std::uint16_t> commentLength;
    bool recovered;
};

void PrintTo(const EndRecordCase& c, std::ostream* out) {
    *out << c.what;
}

class EndRecord : public ::testing::TestWithParam<EndRecordCase> {};

TEST_P(EndRecord, MustAccountForEveryByteAfterIt) {
    const EndRecordCase& c = GetParam();
    Archive a = TwoFiles();
    a.comment = c.comment;
    a.trailing = c.trailing;
    a.commentLength = c.commentLength;
    OpenedZip z(Build(a));
    EXPECT_EQ(z.Dir().Recovered, c.recovered);
    EXPECT_EQ(z.Names(), (std::vector<std::string>{"a.txt", "dir/b.txt"}));
    if (!c.recovered) {
        EXPECT_EQ(z.Dir().ArchiveComment, c.comment);
    }
}

INSTANTIATE_TEST_SUITE_P(
    DirManager, EndRecord,
    ::testing::Values(EndRecordCase{"no comment", "", "", {}, false},
                      EndRecordCase{"longest comment", std::string(65535, 'c'), "", {}, false},
                      EndRecordCase{"one stray byte", "", "x", {}, true},
                      EndRecordCase{"junk after the comment", "note", "some nonsense\n", {}, true},
                      EndRecordCase{"comment length too long", "note", "", std::uint16_t{5}, true},
                      EndRecordCase{"comment length too short", "note", "", std::uint16_t{3},
                                    true}),
    [](const auto& info) { return RowName(info.param.what); });

TEST(DirManager, Zip64RecordsAndExtraValues) {
    Archive a;
    a.zip64 = true;
    Entry e = File("big.txt", "zip64 content", 8);
    e.zip64 = true;
    a.entries = {File("small.txt", "abc"), e};
    OpenedZip z(Build(a));
    const TZADirManager& d = z.Dir();
    EXPECT_TRUE(d.FZip64);
    EXPECT_EQ(d.Zip64CentralDirEnd.entriesCentralDir, 2u);
    const TDirItem& item = d.CDir.Item(1);
    EXPECT_TRUE(item.bHugeFile);
    EXPECT_EQ(item.CentralDir.compSize, 0xFFFFFFFFu);
    EXPECT_EQ(item.UncompressedSize(), 13);
    EXPECT_EQ(item.CompressedSize(), std::int64_t(Deflate(e.data).size()));
    EXPECT_EQ(item.LocalHeaderOffset(), 30 + 9 + 3);
}

TEST(DirManager, Zip64LocatorWithoutItsRecordFailsWith40) {
    Archive a = TwoFiles();
    a.zip64 = true;
    std::string bytes = Build(a);
    const std::size_t record = bytes.rfind(std::string("PK\x06\x06", 4));
    bytes[record] = 'X';
    EXPECT_EQ(OpenError(bytes), 40);
}

TEST(DirManager, Zip64RecordBeyondTheFileIsAReadError) {
    Archive a = TwoFiles();
    a.zip64 = true;
    std::string bytes = Build(a);
    const std::size_t locator = bytes.rfind(std::string("PK\x06\x07", 4));
    bytes[locator + 8 + 5] = '\x7F'; // offsetStartDirEnd far past the end
    TempDir dir;
    TZipArchive zip;
    zip.FileName = dir / "a.zip";
    WriteFile(zip.FileName, bytes);
    EXPECT_THROW(zip.OpenArchive(0), EZAReadError);
}

TEST(DirManager, PrependedDataShiftsRelativeOffsetsOnly) {
    for (const bool absolute : {false, true}) {
        SCOPED_TRACE(absolute ? "offsets from the file's start" : "offsets from the ZIP data");
        Archive a = TwoFiles();
        Entry folder = File("dir/", "");
        folder.externalAttr = 0x10;
        a.entries.push_back(folder);
        a.prefix = "#!/bin/sh\necho PK\x03\x04 not a header\nexit 0\n";
        a.absoluteOffsets = absolute;
        OpenedZip z(Build(a));
        const TZADirManager& d = z.Dir();
        const auto stub = std::int64_t(a.prefix.size());
        EXPECT_EQ(d.StubSize, stub);
        EXPECT_EQ(d.CDir.Item(0).LocalHeaderOffset(), stub);
        EXPECT_EQ(d.CDir.Item(1).LocalHeaderOffset(), stub + 40);
        // A folder entry keeps its stored offset.
        const std::int64_t folderStored = d.CDir.Item(2).CentralDir.relOffsetLH;
        EXPECT_EQ(d.CDir.Item(2).LocalHeaderOffset(), folderStored);
        z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
        EXPECT_EQ(ReadFile(z.out + "dir/b.txt"), "bravo bravo bravo");
    }
}

TEST(DirManager, EmptyArchiveStubIsTheEndRecordPosition) {
    Archive a;
    a.prefix = "stub";
    OpenedZip z(Build(a));
    EXPECT_EQ(z.Dir().CDir.Count(), 0);
    EXPECT_EQ(z.Dir().StubSize, 4);
    EXPECT_EQ(z.zip.FileCount(), 0);
}

TEST(DirManager, RecoveryReadsLocalHeadersAndDataDescriptors) {
    Archive a;
    Entry streamed = File("streamed.txt", "streamed data", 8);
    streamed.dataDescriptor = true;
    Entry empty = File("empty", "");
    Entry emptyStreamed = File("empty-streamed", "");
    emptyStreamed.dataDescriptor = true;
    // Stored data that holds a local header signature yields an item of its own.
    Entry holder = File("holder.bin", std::string("xxPK\x03\x04", 6) + std::string(40, '\0'));
    a.entries = {streamed, empty, emptyStreamed, holder};
    a.trailing = "junk"; // no acceptable end record
    OpenedZip z(Build(a));
    const TZADirManager& d = z.Dir();
    ASSERT_TRUE(d.Recovered);
    EXPECT_EQ(z.Names(), (std::vector<std::string>{"streamed.txt", "empty", "empty-streamed",
                                                   "holder.bin", ""}));
    const TDirItem& s = d.CDir.Item(0);
    EXPECT_EQ(s.CentralDir.crc32, Crc32("streamed data"));
    EXPECT_EQ(s.UncompressedSize(), 13);
    EXPECT_EQ(s.CompressedSize(), std::int64_t(Deflate("streamed data").size()));
    EXPECT_EQ(s.CentralDir.externalAttr, 0x20u);
    EXPECT_EQ(d.CDir.Item(1).CentralDir.externalAttr, 0x10u); // size 0, no descriptor
    EXPECT_EQ(d.CDir.Item(2).CentralDir.externalAttr, 0x20u);
    EXPECT_EQ(d.CentralDirOffset, std::int64_t(Build(a).size()));
    EXPECT_EQ(d.StubSize, 0);
    z.zip.ExtractFiles("streamed.txt", ZAAnyFileAttributes, "");
    EXPECT_EQ(ReadFile(z.out + "streamed.txt"), "streamed data");
}

// Bytes the heap holds now; 0 where the sanitizers' allocator keeps its own count.
std::size_t HeapInUse() {
#if defined(__SANITIZE_ADDRESS__)
    return 0;
#else
    return ::mallinfo2().uordblks;
#endif
}

// Bytes this process has read from files so far.
std::int64_t BytesRead() {
    std::ifstream io("/proc/self/io");
    std::string key;
    std::int64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:")
            return value;
    return 0;
}

// A header every 16 bytes, each claiming a 65,535-byte name that overlaps the following headers.
// Rebuilding takes a header only when its name lies inside the file and after the names of the
// headers taken before it, so these 256 KiB give a few entries, not 16,383 of 64 KiB names each
// (opening took about 1 GB that way, a plain-name search read 1 GB, and a wildcard search kept
// every name it read). Each pass stays within a few times the file in heap and in bytes read.
TEST(DirManager, RecoveryBombStaysLinearInEveryPass) {
    const std::string bytes = OverlappingHeaders(256 * 1024);
    const auto fileSize = static_cast<std::int64_t>(bytes.size());
    TempDir dir;
    TZipArchive zip("ZipArchive1");
    zip.FileName = dir / "bomb.bar";
    zip.BaseDir = dir / "out";
    WriteFile(zip.FileName, bytes);
    const std::size_t heapBefore = HeapInUse();
    const std::int64_t readBefore = BytesRead();
    const auto expectBounded = [&](const char* pass) {
        SCOPED_TRACE(pass);
        const std::size_t heap = HeapInUse();
        EXPECT_LT(heap - std::min(heapBefore, heap), std::size_t{16} << 20);
        EXPECT_LT(BytesRead() - readBefore, 8 * fileSize);
    };
    zip.OpenArchive(0);
    expectBounded("open");
    const TZADirManager& d = *zip.DMHandle();
    ASSERT_TRUE(d.Recovered);
    // Headers at 0, 65,568 and 131,136; from 196,704 on no claimed name fits in the file.
    ASSERT_EQ(d.CDir.Count(), 3);
    std::string scratch;
    const std::string first(d.CDir.NameOf(0, scratch));
    EXPECT_GE(first.size(), 65535u); // decoding may lengthen it
    EXPECT_EQ(first.substr(0, 6), std::string("\0\0PK\x03\x04", 6));
    EXPECT_EQ(d.CDir.Item(0).Name, first);
    EXPECT_EQ(d.CDir.Item(1).LocalHeaderOffset(), 65568);
    EXPECT_EQ(d.CDir.Item(2).LocalHeaderOffset(), 131136);

    int found = 0;
    TZAArchiveItem item;
    for (bool more = zip.FindFirst("*", item, ZAAnyFileAttributes, ""); more;
         more = zip.FindNext(item))
        ++found;
    EXPECT_EQ(found, 3);
    expectBounded("wildcard search");
    // The program's own search, a plain name.
    zip.ExtractFiles("META-INF\\MANIFEST.MF", ZAAnyFileAttributes, "");
    EXPECT_FALSE(std::filesystem::exists(dir / "out"));
    expectBounded("plain-name extraction");
}

struct RecoveryCase {
    const char* what;
    std::string bytes;
    // Each rebuilt entry as name@offset:compressed/uncompressed:attributes.
    std::vector<std::string> entries;
};

void PrintTo(const RecoveryCase& c, std::ostream* out) {
    *out << c.what;
}

std::vector<RecoveryCase> RecoveryCases() {
    Entry streamed = File("streamed.txt", "streamed data", 8);
    streamed.dataDescriptor = true;
    Entry folder = File("dir/", "");
    Archive three;
    three.entries = {File("a.txt", "alpha"), streamed, folder, File("dir/b.txt", "bravo", 8)};
    const std::string whole = Build(three);
    const std::size_t dirStart = whole.find(std::string("PK\x01\x02", 4));
    std::string destroyed = whole;
    std::fill(destroyed.begin() + std::ptrdiff_t(dirStart), destroyed.end(), '\xAA');
    // A stored entry whose data is a whole archive: its header is an entry of its own.
    Archive inner;
    inner.entries = {File("inner.txt", "inside")};
    Archive holder;
    holder.entries = {File("holder.zip", Build(inner)), File("after.txt", "after")};
    holder.trailing = "x";
    // Headers whose name or extra field runs past the end of the file are not taken.
    std::string cutName = Build(three).substr(0, dirStart) + std::string("PK\x03\x04", 4);
    cutName += std::string(22, '\0') + std::string("\x09\x00\x00\x00", 4) + "cut";
    std::string cutExtra = Build(three).substr(0, dirStart) + std::string("PK\x03\x04", 4);
    cutExtra +=
        std::string(22, '\0') + std::string("\x01\x00\x28\x00", 4) + "n" + std::string(10, '\0');
    const std::vector<std::string> threeEntries = {"a.txt@0:5/5:32", "streamed.txt@40:15/13:32",
                                                   "dir/@113:0/0:16", "dir/b.txt@147:7/5:32"};
    return {
        {"destroyed directory", destroyed, threeEntries},
        {"truncated in the directory", whole.substr(0, dirStart + 20), threeEntries},
        {"truncated in the last entry's data", whole.substr(0, dirStart - 3), threeEntries},
        {"stored entry holding an archive",
         Build(holder),
         {"holder.zip@0:122/122:32", "inner.txt@40:6/6:32", "after.txt@162:5/5:32"}},
        {"name past the end", cutName, threeEntries},
        {"extra field past the end", cutExtra, threeEntries},
    };
}

class Recovery : public ::testing::TestWithParam<RecoveryCase> {};

TEST_P(Recovery, RebuildsTheEntriesOfTheLocalHeaders) {
    const RecoveryCase& c = GetParam();
    OpenedZip z(c.bytes);
    ASSERT_TRUE(z.Dir().Recovered);
    std::vector<std::string> entries;
    z.Dir().CDir.VisitItems([&](int, const TDirItem& item) {
        entries.push_back(std::string(item.Name) + "@" + std::to_string(item.LocalHeaderOffset()) +
                          ":" + std::to_string(item.CompressedSize()) + "/" +
                          std::to_string(item.UncompressedSize()) + ":" +
                          std::to_string(item.CentralDir.externalAttr));
    });
    EXPECT_EQ(entries, c.entries);
}

INSTANTIATE_TEST_SUITE_P(DirManager, Recovery, ::testing::ValuesIn(RecoveryCases()),
                         [](const auto& info) { return RowName(info.param.what); });

TEST(DirManager, DirectoryShorterThanItsCountIsRecovered) {
    Archive a = TwoFiles();
    a.entryCount = 3; // the third entry would be read past the end of the file
    OpenedZip z(Build(a));
    EXPECT_TRUE(z.Dir().Recovered);
    EXPECT_EQ(z.Names(), (std::vector<std::string>{"a.txt", "dir/b.txt"}));
}

TEST(DirManager, NoLocalHeaderFailsWith35) {
    EXPECT_EQ(OpenError(""), 35);
    EXPECT_EQ(OpenError(std::string(70000, '\0')), 35);
    EXPECT_EQ(OpenError("just some text PK\x03\x04 too short"), 35);
}

TEST(DirManager, DamagedDirectoryFailsWhenDamagedArchivesAreNotOpened) {
    Archive a = TwoFiles();
    a.trailing = "x";
    EXPECT_EQ(OpenError(Build(a), false), 48);
    Archive big = TwoFiles();
    big.entries[0].compSize = 1 << 20; // the compressed sizes add up to more than the file
    EXPECT_EQ(OpenError(Build(big), false), 57);
    EXPECT_EQ(OpenError(Build(big), true), -1);
    // Found by the fuzzer: Zip64 sizes near 2^63 made the sum overflow and pass the check.
    Archive huge = TwoFiles();
    for (Entry& e : huge.entries) {
        std::string size;
        Put64(size, ~std::uint64_t{0});
        e.compSize = 0xFFFFFFFF;
        e.extra = ExtraBlock(ZAExtraZip64, size);
    }
    EXPECT_EQ(OpenError(Build(huge), false), 57);
}

struct NameCase {
    const char* what;
    std::string raw;
    std::uint16_t flags;
    std::string extra;
    ZACodePage ansi;
    bool oem;
    std::string expected;
};

void PrintTo(const NameCase& c, std::ostream* out) {
    *out << c.what;
}

std::vector<NameCase> NameCases() {
    std::string unicodeBlock = "NUCX";
    Put32(unicodeBlock, 2);
    unicodeBlock += std::string("\x16\x4E\x4C\x75", 4); // U+4E16 U+754C
    std::string overlongBlock = "NUCX";
    Put32(overlongBlock, 50);
    overlongBlock += "ab";
    const std::string utf8 = "\xE4\xB8\x96\xE7\x95\x8C"; // the same two characters
    return {
        {"UTF-8 flag", utf8, 0x0800, "", ZACodePage::Utf8(), true, utf8},
        {"CP437 without flag", "\x91o\x86.txt", 0, "", ZACodePage::Utf8(), true,
         "\xC3\xA6o\xC3\xA5.txt"},
        {"UTF-8 bytes without flag read as CP437", utf8, 0, "", ZACodePage::Utf8(), true,
         "\xCE\xA3\xE2\x95\x95\xC3\xBB\xCF\x84\xC3\xB2\xC3\xAE"},
        {"without OEM names: UTF-8 detected", utf8, 0, "", ZACodePage::Utf8(), false, utf8},
        {"without OEM names: ill-formed UTF-8", "a\x91", 0, "", ZACodePage::Utf8(), false,
         "a\xEF\xBF\xBD"},
        {"single-byte ANSI page", "\x91\xB0", 0, "", ZACodePage::Windows1252(), true, "\xC3\xA6?"},
        {"single-byte ANSI page, OEM off", "\xE6\x80", 0, "", ZACodePage::Windows1252(), false,
         "\xC3\xA6\xE2\x82\xAC"},
        {"Unicode name block", "plain", 0, ExtraBlock(ZAExtraUnicodeName, unicodeBlock),
         ZACodePage::Utf8(), true, utf8},
        {"Unicode name block with a count past its data", "plain", 0,
         ExtraBlock(ZAExtraUnicodeName, overlongBlock), ZACodePage::Utf8(), true, "plain"},
    };
}

class NameDecoding : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameDecoding, GivesTheUtf8Name) {
    const NameCase& c = GetParam();
    Archive a;
    Entry e = File(c.raw, "x");
    e.flags = c.flags;
    e.extra = c.extra;
    a.entries = {e};
    TempDir dir;
    TZipArchive zip;
    zip.FileName = dir / "a.zip";
    zip.AnsiCodePage = c.ansi;
    zip.Options.OEMFileNames = c.oem;
    WriteFile(zip.FileName, Build(a));
    zip.OpenArchive(0);
    EXPECT_EQ(zip.DMHandle()->CDir.Item(0).Name, c.expected);
}

INSTANTIATE_TEST_SUITE_P(DirManager, NameDecoding, ::testing::ValuesIn(NameCases()),
                         [](const auto& info) { return RowName(info.param.what); });

TEST(DirManager, RecoveredNamesAreConvertedFromOemOnlyAfterAnEndSignature) {
    Archive a;
    a.entries = {File("\x91.txt", "x")};
    std::string withSignature = Build(a) + "x"; // a rejected end record
    std::string withoutSignature = Build(a);
    withoutSignature.resize(withoutSignature.rfind(std::string("PK\x01\x02", 4)));
    OpenedZip converted(withSignature);
    EXPECT_EQ(converted.Names(), std::vector<std::string>{"\xC3\xA6.txt"});
    OpenedZip raw(withoutSignature, ZACodePage::Latin1());
    EXPECT_EQ(raw.Names(), std::vector<std::string>{"\xC2\x91.txt"});
}

struct Hostile {
    const char* what;
    std::string bytes;
    bool recovered;
};

void PrintTo(const Hostile& c, std::ostream* out) {
    *out << c.what;
}

std::vector<Hostile> HostileCases() {
    const auto with = [](auto change) {
        Archive a = TwoFiles();
        change(a);
        return Build(a);
    };
    std::string shortZip64;
    Put32(shortZip64, 7); // four bytes short of the value it should hold
    std::string longName = Build(TwoFiles());
    const std::size_t second = longName.rfind(std::string("PK\x01\x02", 4));
    longName[second + 28] = longName[second + 29] = '\xFF'; // name length past the end
    return {
        {"extra block longer than the extra field",
         with([](Archive& a) { a.entries[0].extra = std::string("\x01\x00\xF0\x00\x01\x02", 6); }),
         false},
        {"extra field tail shorter than a block header",
         with([](Archive& a) { a.entries[0].extra = std::string("\x09\x00", 2); }), false},
        {"Zip64 block shorter than its values", with([&](Archive& a) {
             a.entries[0].uncompSize = 0xFFFFFFFF;
             a.entries[0].extra = ExtraBlock(ZAExtraZip64, shortZip64);
         }),
         false},
        {"AES block shorter than seven bytes",
         with([](Archive& a) { a.entries[0].extra = ExtraBlock(ZAExtraAes, "AE"); }), false},
        {"local header offset past the end",
         with([](Archive& a) { a.entries[0].offset = 0xFFFFFFF0; }), false},
        {"entry count far beyond the directory", with([](Archive& a) { a.entryCount = 0xFFFE; }),
         true},
        {"directory size beyond the file start", with([](Archive& a) { a.dirSize = 0x7FFFFFFF; }),
         true},
        {"name length past the end", longName, true},
    };
}

class HostileFields : public ::testing::TestWithParam<Hostile> {};

// Archives whose fields point outside what was read: each must load (or fail with the
// component's error) without reading outside its buffers, which the sanitizer build checks.
TEST_P(HostileFields, StayInsideWhatWasRead) {
    const Hostile& c = GetParam();
    OpenedZip z(c.bytes);
    EXPECT_EQ(z.Dir().Recovered, c.recovered);
    EXPECT_EQ(z.Dir().CDir.Count(), 2);
    z.zip.OnProcessFileFailure = [](TZABaseArchiver&, const std::string&, TZAProcessOperation, int,
                                    int, const std::string&,
                                    TZAAction& action) { action = zaaIgnore; };
    try {
        z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    } catch (const EZAReadError&) {
        // the local header past the end
    }
}

INSTANTIATE_TEST_SUITE_P(DirManager, HostileFields, ::testing::ValuesIn(HostileCases()),
                         [](const auto& info) { return RowName(info.param.what); });

struct OverlapCase {
    const char* what;
    Archive archive;
    std::vector<bool> overlapping; // per entry, in directory order
};

void PrintTo(const OverlapCase& c, std::ostream* out) {
    *out << c.what;
}

std::vector<OverlapCase> OverlapCases() {
    // Stored entries: entry i's header is at 40 * i when each holds 5 bytes under a 5-byte name.
    const auto at = [](Entry e, std::uint32_t offset) {
        e.offset = offset;
        return e;
    };
    Archive sameData;
    sameData.entries = {File("a.txt", "alpha"), at(File("b.txt", "alpha"), 0),
                        at(File("c.txt", "alpha"), 0)};
    // The second header lies inside the first entry's data (its size claimed larger).
    Archive intoData;
    intoData.entries = {File("a.txt", "alpha"), File("b.txt", "bravo")};
    intoData.entries[0].compSize = 20;
    // Ending exactly where the next header starts is no overlap.
    Archive adjacent;
    adjacent.entries = {File("a.txt", "alpha"), File("b.txt", "bravo")};
    adjacent.entries[0].compSize = 10;
    // Entry c overlaps b only, which is skipped: c's data is decoded once.
    Archive chain;
    chain.entries = {File("a.txt", "alpha"), at(File("b.txt", "bravo"), 30),
                     at(File("c", "x"), 40)};
    chain.entries[1].compSize = 20;
    // Prepended data shifts the files' offsets but not the folder's, which is not checked.
    Archive stub = TwoFiles();
    Entry folder = File("dir/", "");
    folder.externalAttr = 0x10;
    stub.entries.push_back(at(folder, 40));
    stub.prefix = std::string(40, '#');
    // The second header's offset comes from its Zip64 block.
    Archive zip64;
    zip64.entries = {File("a.txt", "alpha"), File("b.txt", "bravo")};
    zip64.entries[0].compSize = 100;
    zip64.entries[1].zip64 = true;
    return {
        {"records over the same data", sameData, {false, true, true}},
        {"a header inside the data before it", intoData, {false, true}},
        {"entries that only touch", adjacent, {false, false}},
        {"overlapping only a skipped entry", chain, {false, true, false}},
        {"prepended data and a folder", stub, {false, false, false}},
        {"a Zip64 offset inside the data before it", zip64, {false, true}},
    };
}

class Overlap : public ::testing::TestWithParam<OverlapCase> {};

TEST_P(Overlap, MarksEntriesOverAKeptEntrysData) {
    const OverlapCase& c = GetParam();
    OpenedZip z(Build(c.archive));
    ASSERT_FALSE(z.Dir().Recovered);
    TZAOverlapCheck check;
    std::vector<bool> overlapping;
    for (int i = 0; i < z.Dir().CDir.Count(); ++i)
        overlapping.push_back(check.Overlaps(z.Dir().CDir.Item(i)));
    EXPECT_EQ(overlapping, c.overlapping);
}

INSTANTIATE_TEST_SUITE_P(DirManager, Overlap, ::testing::ValuesIn(OverlapCases()),
                         [](const auto& info) { return RowName(info.param.what); });

} // namespace
