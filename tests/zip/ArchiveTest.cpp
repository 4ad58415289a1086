// The component: opening and closing, its state, and finding entries by mask.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using namespace ziptest;

Entry File(const std::string& name, const std::string& data = "data") {
    Entry e;
    e.name = name;
    e.data = data;
    return e;
}

std::string Sample() {
    Archive a;
    Entry folder = File("META-INF/", "");
    folder.externalAttr = 0x10;
    a.entries = {folder, File("META-INF/MANIFEST.MF"), File("assets/icon.png"), File("readme.txt")};
    a.comment = "BAR \xE2\x9C\x93";
    return Build(a);
}

// The native number of the component's error from OpenArchive, or the message of another
// exception as text.
std::string OpenFailure(TZipArchive& zip, std::uint16_t mode = 0) {
    try {
        zip.OpenArchive(mode);
    } catch (const EZAException& e) {
        return std::to_string(e.NativeError) + " " + e.what();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "opened";
}

TEST(ZipArchive, OpenChecksFileNameAndMode) {
    TempDir dir;
    WriteFile(dir / "a.zip", Sample());
    std::filesystem::create_directory(dir.Path() / "folder.zip");
    struct Case {
        std::string fileName;
        bool inMemory;
        std::uint16_t mode;
        std::string failure;
    };
    const Case cases[] = {
        {"", false, 0,
         "10 ZipArchive1: File name is blank. Specify appropriate file name - "
         "Native error: 00010"},
        {dir.Base(), false, 0, "10 "},
        {dir / "missing.bar", false, 0,
         "12 ZipArchive1: File \"" + (dir / "missing.bar") + "\" not found - Native error: 00012"},
        {dir / "folder.zip", false, 0, "12 "},
        {dir / "a.zip", true, 0,
         "28 ZipArchive1: In-memory archive can be created only - "
         "Native error: 00028"},
        {dir / "a.zip", false, TZABaseArchiver::CreateMode, "44 "},
        {dir / "a.zip", false, 0, "opened"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileName);
        TZipArchive zip("ZipArchive1");
        zip.FileName = c.fileName;
        zip.InMemory = c.inMemory;
        const std::string failure = OpenFailure(zip, c.mode);
        EXPECT_EQ(failure.substr(0, c.failure.size()), c.failure);
        EXPECT_EQ(zip.Active(), c.failure == "opened");
    }
}

TEST(ZipArchive, RejectsSelfExtractorsAndMultiVolumeArchives) {
    TempDir dir;
    TZipArchive zip;
    zip.FileName = dir / "setup.EXE";
    WriteFile(zip.FileName, Sample());
    EXPECT_EQ(OpenFailure(zip).substr(0, 3), "44 ");
    Archive spanned;
    spanned.entries = {File("a")};
    spanned.diskNumber = 1;
    zip.FileName = dir / "part.zip";
    WriteFile(zip.FileName, Build(spanned));
    EXPECT_EQ(OpenFailure(zip), "44 Cannot open archive file. Opening aborted or invalid file - "
                                "Native error: 00044");
}

struct VolumeCase {
    const char* what;
    bool zip64;
    std::uint16_t endDisk;        // the classic end record's disk fields
    std::uint32_t zip64Disk;      // the Zip64 locator's disk of the Zip64 record
    std::uint32_t zip64Disks = 1; // the Zip64 locator's number of disks
    bool opens = true;
};

void PrintTo(const VolumeCase& c, std::ostream* out) {
    *out << c.what;
}

class VolumeCount : public ::testing::TestWithParam<VolumeCase> {};

// With a Zip64 locator its disk numbers decide: writers put 0xFFFF in the end record's disk
// fields of ordinary single-file Zip64 archives.
TEST_P(VolumeCount, DecidesWhetherTheArchiveOpens) {
    const VolumeCase& c = GetParam();
    Archive a;
    a.entries = {File("a", "alpha")};
    a.zip64 = c.zip64;
    a.diskNumber = c.endDisk;
    a.zip64RecordDisk = c.zip64Disk;
    a.zip64TotalDisks = c.zip64Disks;
    TempDir dir;
    TZipArchive zip("ZipArchive1");
    zip.FileName = dir / "a.zip";
    WriteFile(zip.FileName, Build(a));
    if (!c.opens) {
        EXPECT_EQ(OpenFailure(zip).substr(0, 3), "44 ");
        return;
    }
    EXPECT_EQ(OpenFailure(zip), "opened");
    zip.BaseDir = dir.Base();
    zip.ExtractFiles("a", ZAAnyFileAttributes, "");
    EXPECT_EQ(ReadFile(dir / "a"), "alpha");
}

INSTANTIATE_TEST_SUITE_P(
    Disks, VolumeCount,
    ::testing::Values(VolumeCase{"OneFile", false, 0, 0},
                      VolumeCase{"SecondDisk", false, 1, 0, 1, false},
                      VolumeCase{"AllOnesWithoutZip64", false, 0xFFFF, 0, 1, false},
                      VolumeCase{"Zip64AllOnesOneDisk", true, 0xFFFF, 0, 1},
                      VolumeCase{"Zip64AllOnesNoDiskCount", true, 0xFFFF, 0, 0},
                      VolumeCase{"Zip64TwoDisks", true, 0xFFFF, 0, 2, false},
                      VolumeCase{"Zip64RecordOnSecondDisk", true, 0xFFFF, 1, 2, false}),
    [](const ::testing::TestParamInfo<VolumeCase>& info) { return info.param.what; });

TEST(ZipArchive, FileThatCannotBeOpenedGivesTheSystemMessage) {
    // A socket exists but cannot be opened as a file (also not by root).
    TempDir dir;
    const std::string path = dir / "socket.bar";
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    path.copy(address.sun_path, path.size());
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    TZipArchive zip("ZipArchive1");
    zip.FileName = path;
    EXPECT_EQ(OpenFailure(zip), "Cannot open file \"" + path + "\". No such device or address");
    EXPECT_FALSE(zip.Active());
    ::close(s);
}

TEST(ZipArchive, StateWhileOpenAndClosed) {
    TempDir dir;
    TZipArchive zip("ZipArchive1");
    const auto closedError = [&](auto call) {
        try {
            call();
        } catch (const EZAException& e) {
            return e.NativeError;
        }
        return 0;
    };
    EXPECT_EQ(closedError([&] { zip.Size(); }), 13);
    EXPECT_EQ(closedError([&] { zip.FileCount(); }), 13);
    EXPECT_EQ(closedError([&] { zip.ExtractFiles("*", ZAAnyFileAttributes, ""); }), 13);
    EXPECT_EQ(zip.Comment(), "");
    zip.CloseArchive(); // harmless when closed

    const std::string bytes = Sample();
    zip.FileName = dir / "a.bar";
    zip.AnsiCodePage = ZACodePage::Utf8();
    WriteFile(zip.FileName, bytes);
    int afterOpen = 0;
    zip.AfterOpen = [&](TZABaseArchiver&) { ++afterOpen; };
    zip.OpenArchive(0);
    EXPECT_TRUE(zip.Active());
    EXPECT_TRUE(zip.Exists());
    EXPECT_EQ(afterOpen, 1);
    EXPECT_EQ(zip.Size(), std::int64_t(bytes.size()));
    EXPECT_EQ(zip.FileCount(), 3);
    EXPECT_EQ(zip.Comment(), "BAR \xE2\x9C\x93");

    // Assigning FileName changes nothing until the next open, which closes the first archive.
    Archive other;
    other.entries = {File("one")};
    zip.FileName = dir / "b.bar";
    WriteFile(zip.FileName, Build(other));
    EXPECT_EQ(zip.FileCount(), 3);
    zip.OpenArchive(0);
    EXPECT_EQ(zip.FileCount(), 1);
    zip.CloseArchive();
    EXPECT_FALSE(zip.Active());
    EXPECT_EQ(zip.Comment(), "");
}

TEST(ZipArchive, OpensAnArchiveHeldInMemory) {
    TZipArchive zip("ZipArchive1");
    zip.AnsiCodePage = ZACodePage::Utf8();
    zip.FileName = "/nonexistent/ignored.exe"; // not used for a stream
    zip.OpenArchive(std::make_shared<TZAMemoryStream>(Sample()));
    EXPECT_TRUE(zip.Active());
    EXPECT_EQ(zip.Size(), std::int64_t(Sample().size()));
    EXPECT_EQ(zip.FileCount(), 3);
    EXPECT_EQ(zip.Comment(), "BAR \xE2\x9C\x93");
    std::string bytes;
    EXPECT_TRUE(zip.ExtractToMemory(zip.DMHandle()->CDir.IndexOfName("readme.txt"), bytes, 100));
    EXPECT_EQ(bytes, "data");
    zip.CloseArchive();
    EXPECT_FALSE(zip.Active());

    try {
        zip.OpenArchive(std::shared_ptr<TZAStream>());
        ADD_FAILURE() << "opened without a stream";
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 10);
    }
    try {
        zip.OpenArchive(std::make_shared<TZAMemoryStream>("not an archive"));
        ADD_FAILURE() << "opened text";
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 35);
    }
    EXPECT_FALSE(zip.Active());
}

TEST(ZAMask, MatchesNamesByTheMaskRules) {
    struct Case {
        const char* mask;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"META-INF/MANIFEST.MF", "META-INF/MANIFEST.MF", true},
        {"META-INF/MANIFEST.MF", "meta-inf/manifest.mf", true},
        {"META-INF/MANIFEST.MF", "META-INF\\MANIFEST.MF", false},
        {"META-INF/MANIFEST.MF", "X/META-INF/MANIFEST.MF", false},
        {"", "", false},
        {"", "a", false},
        {"*", "", true},
        {"*", "anything/at/all", true},
        {"*.*", "noextension", true},
        {"a*.*b", "aXb", true},
        {"*.txt", "dir/file.TXT", true},
        {"*.txt", "file.txt.bak", false},
        {"?.c", "a.c", true},
        {"?.c", "ab.c", false},
        {"a*b*c", "aXXbYYc", true},
        {"a*b*c", "aXXbYY", false},
        {"*b", "abab", true},
        {"readme.", "readme", true},
        {"readme.", "readme.txt", false},
        {"*.", "makefile", true},
        {"*.", "dir.d/makefile", true},
        {"*.", "file.c", false},
        {"abc", "abc.", true},
        {"\xC3\xA9", "\xC3\x89", false}, // only A-Z ignore case
    };
    for (const Case& c : cases)
        EXPECT_EQ(ZAMatchesMask(c.name, c.mask), c.matches) << c.mask << " ~ " << c.name;
}

TEST(ZipArchive, FindFirstAndNextEnumerateMatchesInOrder) {
    Archive a;
    Entry hidden = File("assets/hidden.txt");
    hidden.externalAttr = 0x22;
    Entry folder = File("assets/", "");
    folder.externalAttr = 0x10;
    a.entries = {File("a.txt", "0123456789"), folder,           File("assets/b.txt"), hidden,
                 File("assets/c.png"),        File("sub/a.txt")};
    OpenedZip z(Build(a));
    const auto find = [&](const std::string& mask, int attr, const std::string& exclusion) {
        std::vector<std::string> found;
        TZAArchiveItem f;
        for (bool more = z.zip.FindFirst(mask, f, attr, exclusion); more; more = z.zip.FindNext(f))
            found.push_back(f.StoredPath + f.FileName);
        return found;
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(find("*.txt", ZAAnyFileAttributes, ""),
              (Names{"a.txt", "assets/b.txt", "assets/hidden.txt", "sub/a.txt"}));
    EXPECT_EQ(find("*.txt", 0x01, ""), (Names{"a.txt", "assets/b.txt", "sub/a.txt"}));
    EXPECT_EQ(find("assets", ZAAnyFileAttributes, ""),
              (Names{"assets"})); // the folder, slash removed
    EXPECT_EQ(find("assets", 0x01, ""), Names{});
    EXPECT_EQ(find("a.txt", ZAAnyFileAttributes, ""), (Names{"a.txt", "sub/a.txt"}));
    EXPECT_EQ(find("C:sub\\A.TXT", ZAAnyFileAttributes, ""), (Names{"sub/a.txt"})); // drive dropped
    EXPECT_EQ(find("*", ZAAnyFileAttributes, "assets/*"), (Names{"a.txt", "assets", "sub/a.txt"}));
    z.zip.Options.Recurse = false;
    EXPECT_EQ(find("assets/*.*", ZAAnyFileAttributes, ""),
              (Names{"assets/b.txt", "assets/hidden.txt", "assets/c.png"}));

    TZAArchiveItem f;
    ASSERT_TRUE(z.zip.FindFirst("A.TXT", f, ZAAnyFileAttributes, ""));
    EXPECT_EQ(f.FileName, "a.txt");
    EXPECT_EQ(f.StoredPath, "");
    EXPECT_EQ(f.UncompressedSize, 10);
    EXPECT_EQ(f.CRC, Crc32("0123456789"));
    EXPECT_EQ(f.LastModFileDate, DosDate2020);
    EXPECT_EQ(f.CompressionRate, 0);
}

TEST(ZipArchive, FindWithTheMaskProperties) {
    Archive a;
    a.entries = {File("a.txt"), File("b.png"), File("c.txt")};
    OpenedZip z(Build(a));
    z.zip.FileMasks = {"*.png", "*.txt"};
    z.zip.ExclusionMasks = {"c.*"};
    std::vector<std::string> found;
    TZAArchiveItem f;
    for (bool more = z.zip.FindFirst(f); more; more = z.zip.FindNext(f))
        found.push_back(f.FileName);
    EXPECT_EQ(found, (std::vector<std::string>{"a.txt", "b.png"}));
    z.zip.ExtractFiles();
    EXPECT_TRUE(IsFile(z.out + "b.png"));
    EXPECT_FALSE(IsFile(z.out + "c.txt"));
}

} // namespace
