// Manifests parsed from bytes, and BAR files read through the archive component in memory: the
// private temporary folder stays as it was on every path.

#include "BarInfo.h"
#include "TempFolder.h"
#include "ZipBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrane;
namespace fs = std::filesystem;

namespace kestrane {
void PrintTo(const BarInfo& info, std::ostream* out) {
    *out << "{" << info.AppName << " | " << info.AppVersion << " | " << info.Author << " | "
         << info.AppType << " | " << info.PackageName << " | " << info.PackageId << " | "
         << info.PackageVersion << " | " << info.PackageType << " | " << info.DebugTokenExpiry
         << " | ids";
    for (const std::uint64_t id : info.DebugTokenDeviceIds)
        *out << " " << id;
    *out << " | " << info.RequiredSystemName << " | " << info.RequiredSystemVersion << "}";
}
} // namespace kestrane

namespace {

// ---- ParseBarManifest -------------------------------------------------------------------------

struct ManifestCase {
    const char* name;
    std::string bytes;
    BarInfo expected;
};

void PrintTo(const ManifestCase& c, std::ostream* out) {
    *out << c.name;
}

std::string Utf16(const std::u16string& text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

const std::string Full = "Application-Name: My App\r\nApplication-Version: 1.2.3\r\n"
                         "Package-Author: Research\r\nEntry-Point-Type: Qnx/Elf\r\n";

class ParseBarManifestTest : public ::testing::TestWithParam<ManifestCase> {};

TEST_P(ParseBarManifestTest, ReadsTheValues) {
    EXPECT_EQ(ParseBarManifestText(GetParam().bytes, ZACodePage::Windows1252()),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Manifests, ParseBarManifestTest,
    ::testing::Values(
        ManifestCase{"CrLf", Full, {"My App", "1.2.3", "Research", "Native"}},
        ManifestCase{"Lf",
                     "Application-Name: My App\nApplication-Version: 1.2.3\n"
                     "Package-Author: Research\nEntry-Point-Type: Qnx/Elf",
                     {"My App", "1.2.3", "Research", "Native"}},
        ManifestCase{"LoneCr", "Application-Name: A\rApplication-Version: 2\r", {"A", "2", "", ""}},
        ManifestCase{"BlanksAndControlsTrimmed",
                     "Application-Name:   My App  \r\nApplication-Version:\t7 \x01\n",
                     {"My App", "7", "", ""}},
        ManifestCase{"NoBlankAfterKey", "Application-Name:My App\n", {"My App", "", "", ""}},
        ManifestCase{"KeyIsCaseSensitive", "application-name: My App\n", {}},
        ManifestCase{"BlankBeforeKey", " Application-Name: My App\n", {}},
        ManifestCase{"BlankBeforeColon", "Application-Name : My App\n", {}},
        ManifestCase{
            "LastLineWins", "Application-Version: 1\nApplication-Version: 2\n", {"", "2", "", ""}},
        ManifestCase{
            "EmptyLaterValueEmpties", "Application-Version: 1\nApplication-Version:\n", {}},
        ManifestCase{"ContinuationNotJoined",
                     "Application-Name: A very long\n  name\n",
                     {"A very long", "", "", ""}},
        ManifestCase{"TypeAndroid", "Entry-Point-Type: QNX/Android\n", {"", "", "", "Android"}},
        ManifestCase{"TypeAir", "Entry-Point-Type: qnx/air\n", {"", "", "", "Flash Air"}},
        ManifestCase{"TypeEmptyIsNative", "Entry-Point-Type:\n", {"", "", "", "Native"}},
        ManifestCase{"LaterTypeMapsAgain",
                     "Entry-Point-Type: qnx/air\nEntry-Point-Type: qnx/elf\n",
                     {"", "", "", "Native"}},
        ManifestCase{"NulEndsText",
                     std::string("Application-Name: A\n\0Application-Version: 9\n", 45),
                     {"A", "", "", ""}},
        ManifestCase{"Utf8Mark",
                     "\xEF\xBB\xBF"
                     "Application-Name: Caf\xC3\xA9\n",
                     {"Caf\xC3\xA9", "", "", ""}},
        // Without a mark the bytes are ANSI (here Windows-1252): each byte a character of its own.
        ManifestCase{"Utf8WithoutMarkIsAnsi",
                     "Application-Name: Caf\xC3\xA9\n",
                     {"Caf\xC3\x83\xC2\xA9", "", "", ""}},
        ManifestCase{"Utf16LittleEndian",
                     Utf16(u"Application-Name: \u00C5pp\r\nPackage-Author: Me\r\n", false),
                     {"\xC3\x85pp", "", "Me", ""}},
        ManifestCase{
            "Utf16BigEndian", Utf16(u"Application-Version: 3.0\n", true), {"", "3.0", "", ""}},
        ManifestCase{"Empty", "", {}},
        ManifestCase{"DebugToken",
                     "Package-Author: Kestrane Developer\r\nPackage-Name: debug.token\r\n"
                     "Package-Type: debug-token\r\n"
                     "Debug-Token-Expiry-Date: 2031-06-30T12:00:00Z\r\n"
                     "Debug-Token-Device-Id: 712981662,1352917431\r\n",
                     {.Author = "Kestrane Developer",
                      .PackageName = "debug.token",
                      .PackageType = "debug-token",
                      .DebugTokenExpiry = "2031-06-30T12:00:00Z",
                      .DebugTokenDeviceIds = {712981662, 1352917431}}},
        // Blanks around the ids are dropped; an entry that is no decimal number is left out.
        ManifestCase{"DeviceIdsBlanksAndBadEntries",
                     "Debug-Token-Device-Id: 1, 2 ,x,,0x10,-3,18446744073709551616,7\n",
                     {.DebugTokenDeviceIds = {1, 2, 7}}},
        ManifestCase{"LaterDeviceIdsReplace",
                     "Debug-Token-Device-Id: 1,2\nDebug-Token-Device-Id: 3\n",
                     {.DebugTokenDeviceIds = {3}}},
        ManifestCase{"PackageNameIdAndVersion",
                     "Package-Name: com.acme.speedtest\nPackage-Id: gYAAgPkLP1tZlyYP_Y3sBCfD0VA\n"
                     "Package-Version: 3.2.0.1\n",
                     {.PackageName = "com.acme.speedtest",
                      .PackageId = "gYAAgPkLP1tZlyYP_Y3sBCfD0VA",
                      .PackageVersion = "3.2.0.1"}},
        ManifestCase{"RequiresBlackBerry10",
                     "Application-Requires-System: BlackBerry 10/10.3.0.0\r\n",
                     {.RequiredSystemName = "BlackBerry 10", .RequiredSystemVersion = "10.3.0.0"}},
        ManifestCase{"RequiresTabletOs",
                     "Application-Requires-System:  Tablet OS/2.1.0 \n",
                     {.RequiredSystemName = "Tablet OS", .RequiredSystemVersion = "2.1.0"}},
        ManifestCase{"RequiresVersionOnly",
                     "Application-Requires-System: 10.2\n",
                     {.RequiredSystemVersion = "10.2"}},
        ManifestCase{"NewKeysAreCaseSensitive",
                     "package-type: debug-token\nPackage-id: x\n"
                     "application-requires-system: BlackBerry 10/10.3.0.0\n",
                     {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BarInfoTest, DebugTokenIsKnownByItsPackageType) {
    EXPECT_TRUE((BarInfo{.PackageType = "debug-token"}.IsDebugToken()));
    EXPECT_FALSE((BarInfo{.PackageType = "Debug-Token"}.IsDebugToken()));
    EXPECT_FALSE(BarInfo{}.IsDebugToken());
}

TEST(BarInfoTest, DevicePinInHexIsMatchedAgainstTheDecimalIds) {
    const BarInfo token{.DebugTokenDeviceIds = {712981662, 1352917431}}; // 2A7F3C9E, 50A3E1B7
    for (const char* pin : {"2A7F3C9E", "2a7f3c9e", "0x2a7f3c9e", "50A3E1B7"})
        EXPECT_TRUE(token.IsValidForDevice(pin)) << pin;
    // Another device, the window's "..." before a Connect, nothing, and the decimal id itself.
    for (const char* pin : {"2B91D04F", "...", "", "0x", "712981662", "2A7F3C9E0"})
        EXPECT_FALSE(token.IsValidForDevice(pin)) << pin;
    EXPECT_FALSE(BarInfo{}.IsValidForDevice("2A7F3C9E"));
}

// ---- ReadBarInfo ------------------------------------------------------------------------------

std::vector<std::string> EntriesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

class ReadBarInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/barinfo-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
        temp_ = GetTempDirectory();
        ASSERT_TRUE(EntriesIn(temp_).empty());
        archive_.OnFileProgress = [this](TZABaseArchiver&, const std::string&, double,
                                         TZAProcessOperation, TZAProgressPhase phase,
                                         bool&) { decoded_ += phase == ppStart ? 1 : 0; };
    }
    void TearDown() override {
        // Whatever happened, the temporary folder is as it was: empty.
        EXPECT_TRUE(EntriesIn(temp_).empty());
        fs::remove_all(folder_);
    }
    std::string Bar(const std::string& name, std::vector<ziptest::Entry> entries) {
        ziptest::Archive archive;
        archive.entries = std::move(entries);
        return Bar(name, archive);
    }
    std::string Bar(const std::string& name, const ziptest::Archive& archive) {
        const std::string path = folder_ + "/" + name;
        std::ofstream(path, std::ios::binary) << ziptest::Build(archive);
        return path;
    }
    static ziptest::Entry Manifest(const std::string& text, std::uint16_t method = 0,
                                   const std::string& name = "META-INF/MANIFEST.MF") {
        ziptest::Entry entry;
        entry.name = name;
        entry.data = text;
        entry.method = method;
        return entry;
    }
    static ziptest::Entry Asset() {
        ziptest::Entry entry;
        entry.name = "native/app";
        entry.data = std::string(4096, 'x');
        entry.method = 8;
        return entry;
    }
    BarInfo Read(const std::string& path) { return ReadBarInfo(archive_, path); }

    TZipArchive archive_{"ZipArchive1"};
    std::string folder_;
    std::string temp_;
    int decoded_ = 0;
};

TEST_F(ReadBarInfoTest, ReadsStoredDeflatedAndLowerCaseManifests) {
    const std::string text = "Application-Name: Maps\nApplication-Version: 2.0\n"
                             "Entry-Point-Type: qnx/android\n";
    const BarInfo maps{"Maps", "2.0", "", "Android"};
    EXPECT_EQ(Read(Bar("stored.bar", {Asset(), Manifest(text)})), maps);
    EXPECT_EQ(Read(Bar("deflated.bar", {Manifest(text, 8), Asset()})), maps);
    EXPECT_EQ(Read(Bar("lower.bar", {Manifest(text, 8, "meta-inf/manifest.mf")})), maps);
    // A fresh BarInfo for each file: nothing of the one before carries over.
    EXPECT_EQ(Read(Bar("plain.bar", {Manifest("Application-Name: Plain\n")})),
              (BarInfo{"Plain", "", "", ""}));
    EXPECT_FALSE(archive_.Active());
}

TEST_F(ReadBarInfoTest, NoManifestRaisesCannotOpenFile) {
    try {
        Read(Bar("none.bar", {Asset()}));
        FAIL() << "no error";
    } catch (const BarInfoError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot open file \"" + temp_ +
                                                 "META-INF/MANIFEST.MF\". No such file or "
                                                 "directory");
    }
    EXPECT_FALSE(archive_.Active());
}

// A manifest that is not decoded (encrypted without the password, or damaged) raises the error of
// a missing manifest file, after the component's own password prompt or failure reaction.
TEST_F(ReadBarInfoTest, ManifestNotDecodedRaisesCannotOpenFile) {
    ziptest::Entry secret = Manifest("Application-Name: Secret\n", 8);
    secret.password = "pw";
    ziptest::Entry damaged = Manifest("Application-Name: Damaged\n");
    damaged.crc = 0x12345678;
    const std::string missing =
        "Cannot open file \"" + temp_ + "META-INF/MANIFEST.MF\". No such file or directory";
    int prompts = 0;
    archive_.OnPassword = [&](TZABaseArchiver&, const std::string&, std::string&, bool& skip) {
        ++prompts;
        skip = true;
    };
    std::vector<int> failures;
    archive_.OnProcessFileFailure = [&](TZABaseArchiver&, const std::string&, TZAProcessOperation,
                                        int native, int, const std::string&, TZAAction& action) {
        failures.push_back(native);
        action = zaaIgnore;
    };
    for (const auto& [bar, entry] :
         {std::pair{"secret.bar", secret}, std::pair{"damaged.bar", damaged}}) {
        SCOPED_TRACE(bar);
        try {
            Read(Bar(bar, {entry}));
            ADD_FAILURE() << "no error";
        } catch (const BarInfoError& error) {
            EXPECT_EQ(std::string(error.what()), missing);
        }
    }
    EXPECT_EQ(prompts, 1);
    EXPECT_EQ(failures, std::vector<int>{8});
    // With the password it reads.
    archive_.Password = "pw";
    EXPECT_EQ(Read(Bar("secret.bar", {secret})).AppName, "Secret");
}

// The manifest is decoded in memory: a temporary folder nobody may write to changes nothing.
TEST_F(ReadBarInfoTest, WritesNothingToTheTemporaryFolder) {
    ASSERT_EQ(::chmod(temp_.c_str(), 0500), 0);
    const BarInfo info = Read(Bar("app.bar", {Asset(), Manifest("Application-Name: A\n", 8)}));
    ::chmod(temp_.c_str(), 0700);
    EXPECT_EQ(info.AppName, "A");
}

TEST_F(ReadBarInfoTest, NotAZipRaisesTheComponentsError) {
    const std::string path = folder_ + "/text.bar";
    std::ofstream(path) << "just some text, no ZIP data at all\n";
    EXPECT_THROW(Read(path), EZAException);
    EXPECT_THROW(Read(folder_ + "/missing.bar"), EZAException);
    EXPECT_FALSE(archive_.Active());
}

TEST_F(ReadBarInfoTest, RefusesAManifestOverOneMebibyteBeforeExtracting) {
    const std::string path =
        Bar("large.bar", {Manifest("Application-Name: X\n" + std::string(1 << 20, 'a'), 8)});
    try {
        Read(path);
        FAIL() << "no error";
    } catch (const BarInfoError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "The manifest of \"" + path + "\" is larger than 1 MiB; it is not read.");
    }
    EXPECT_EQ(decoded_, 0);
    // Exactly 1 MiB is still read.
    std::string edge = "Application-Name: Edge\n";
    edge.resize(1 << 20, '#');
    EXPECT_EQ(Read(Bar("limit.bar", {Manifest(edge, 8)})).AppName, "Edge");
}

TEST_F(ReadBarInfoTest, RepeatedManifestRecordsDecodeOnlyTheLast) {
    ziptest::Archive archive;
    for (int i = 0; i < 5000; ++i)
        archive.entries.push_back(Manifest("Application-Name: App " + std::to_string(i) + "\n", 8));
    EXPECT_EQ(Read(Bar("repeated.bar", archive)).AppName, "App 4999");
    EXPECT_EQ(decoded_, 1);
}

TEST_F(ReadBarInfoTest, APlantedLinkIsNeitherFollowedNorTouched) {
    const std::string outside = folder_ + "/outside";
    fs::create_directory(outside);
    std::ofstream(outside + "/keep") << "stays";
    fs::create_directory_symlink(outside, temp_ + "META-INF");
    EXPECT_EQ(Read(Bar("app.bar", {Manifest("Application-Name: Safe\n")})).AppName, "Safe");
    EXPECT_EQ(EntriesIn(outside), std::vector<std::string>{"keep"});
    EXPECT_TRUE(fs::is_symlink(temp_ + "META-INF"));
    fs::remove(temp_ + "META-INF");
}

TEST_F(ReadBarInfoTest, CleanUpLeavesOtherFilesOfTheTemporaryFolder) {
    std::ofstream(temp_ + "other.txt") << "not ours to remove";
    Read(Bar("app.bar", {Manifest("Application-Name: A\n")}));
    EXPECT_EQ(EntriesIn(temp_), std::vector<std::string>{"other.txt"});
    fs::remove(temp_ + "other.txt");
}

// ---- The temporary folder and file routines ---------------------------------------------------

TEST(TemporaryFolderTest, IsPrivateAndStaysTheSame) {
    const std::string temp = GetTempDirectory();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '/');
    EXPECT_EQ(temp, GetTempDirectory());
    struct stat st {};
    ASSERT_EQ(::lstat(temp.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, ::getuid());
    // In the best place this environment offers, named with this run's mark.
    const fs::path folder = fs::path(temp).parent_path();
    EXPECT_EQ(folder.parent_path().string(),
              PrivateFolderBases(std::getenv("XDG_RUNTIME_DIR"), std::getenv("TMPDIR"), ::getuid())
                  .front());
    const std::optional<RunMark> mark = RunMarkOf(::getpid());
    ASSERT_TRUE(mark.has_value());
    EXPECT_EQ(folder.filename().string().rfind(PrivateFolderPrefix(*mark), 0), 0u)
        << folder.filename();
}

// A folder of the test's own below /tmp, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/temp-folder-test-XXXXXX";
        if (::mkdtemp(pattern) != nullptr)
            path_ = pattern;
    }
    ~ScratchFolder() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

struct PlaceCase {
    const char* name;
    const char* runtimeDir; // below the scratch folder; nullptr: unset
    bool tmpDirSet;
    bool ownedByUser;
    const char* wanted; // "runtime", "tmpdir" or "/tmp"
};

void PrintTo(const PlaceCase& c, std::ostream* out) {
    *out << c.name;
}

class PrivateFolderPlaceTest : public ::testing::TestWithParam<PlaceCase> {};

// The session's runtime folder only when it is a folder of the user's with mode 0700; else
// $TMPDIR, else /tmp.
TEST_P(PrivateFolderPlaceTest, RuntimeFolderOnlyWhenItIsTheUsersAlone) {
    const PlaceCase& c = GetParam();
    ScratchFolder scratch;
    ASSERT_FALSE(scratch.path().empty());
    const fs::path root = scratch.path();
    fs::create_directory(root / "runtime");
    fs::permissions(root / "runtime", fs::perms::owner_all);
    fs::create_directory(root / "loose");
    fs::permissions(root / "loose", fs::perms::owner_all | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read |
                                        fs::perms::others_exec);
    fs::create_directory_symlink(root / "runtime", root / "link");
    fs::create_directory(root / "tmpdir");
    const std::string runtime = c.runtimeDir ? (root / c.runtimeDir).string() : std::string();
    const std::string tmpDir = (root / "tmpdir").string() + "/";
    const std::vector<std::string> bases = PrivateFolderBases(
        c.runtimeDir ? runtime.c_str() : nullptr, c.tmpDirSet ? tmpDir.c_str() : nullptr,
        c.ownedByUser ? ::getuid() : ::getuid() + 1);
    const std::string wanted = std::string(c.wanted) == "runtime"  ? (root / "runtime").string()
                               : std::string(c.wanted) == "tmpdir" ? (root / "tmpdir").string()
                                                                   : std::string("/tmp");
    ASSERT_FALSE(bases.empty());
    EXPECT_EQ(bases.front(), wanted);
    EXPECT_EQ(bases.back(), "/tmp");
}

INSTANTIATE_TEST_SUITE_P(
    Places, PrivateFolderPlaceTest,
    ::testing::Values(PlaceCase{"RuntimeFolderUsable", "runtime", true, true, "runtime"},
                      PlaceCase{"RuntimeFolderUnset", nullptr, true, true, "tmpdir"},
                      PlaceCase{"NeitherSet", nullptr, false, true, "/tmp"},
                      PlaceCase{"RuntimeFolderMissing", "none", true, true, "tmpdir"},
                      PlaceCase{"RuntimeFolderNotOwned", "runtime", true, false, "tmpdir"},
                      PlaceCase{"RuntimeFolderWrongMode", "loose", false, true, "/tmp"},
                      PlaceCase{"RuntimeFolderALink", "link", true, true, "tmpdir"}),
    [](const auto& info) { return std::string(info.param.name); });

// The folders of runs that are gone go, with the argument files they hold; nothing else does.
TEST(PrivateFolderSweepTest, RemovesOnlyFoldersOfEndedRuns) {
    ScratchFolder scratch;
    ASSERT_FALSE(scratch.path().empty());
    const fs::path base = scratch.path();
    const std::optional<RunMark> self = RunMarkOf(::getpid());
    ASSERT_TRUE(self.has_value());
    // A process that has ended: its id is free (or, taken again, by a process started later).
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    EXPECT_FALSE(RunMarkOf(child).has_value());
    RunMark ended = *self;
    ended.pid = child;
    RunMark reused = *self;
    reused.startTime += 1;
    RunMark otherNamespace = ended;
    otherNamespace.pidNamespace += 1;

    const struct {
        std::string name;
        bool kept;
    } folders[] = {
        {PrivateFolderPrefix(*self) + "Ab12Cd", true},
        {PrivateFolderPrefix(ended) + "Ab12Cd", false},
        {PrivateFolderPrefix(reused) + "Ab12Cd", false},
        {PrivateFolderPrefix(otherNamespace) + "Ab12Cd", true},
        {"kestrane-Ab12Cd", true}, // unmarked: whose it is cannot be told
        {PrivateFolderPrefix(ended) + "Ab12C", true},
    };
    for (const auto& folder : folders) {
        fs::create_directory(base / folder.name);
        std::ofstream(base / folder.name / "deploy-arguments-1") << "-password\nsecret\n";
    }
    // A link named as an ended run's folder is not followed.
    fs::create_directory(base / "target");
    std::ofstream(base / "target" / "kept") << "kept";
    fs::create_directory_symlink(base / "target", base / (PrivateFolderPrefix(ended) + "Link01"));
    // Another user's folder, when the test may make one.
    const std::string othersName = PrivateFolderPrefix(ended) + "Other1";
    const bool others = ::geteuid() == 0;
    if (others) {
        fs::create_directory(base / othersName);
        ASSERT_EQ(::chown((base / othersName).c_str(), 65534, 65534), 0);
    }

    RemovePrivateFoldersOfEndedRuns(base.string());
    for (const auto& folder : folders)
        EXPECT_EQ(fs::exists(base / folder.name), folder.kept) << folder.name;
    EXPECT_TRUE(fs::is_symlink(base / (PrivateFolderPrefix(ended) + "Link01")));
    EXPECT_TRUE(fs::exists(base / "target" / "kept"));
    if (others) {
        EXPECT_TRUE(fs::exists(base / othersName));
    }
}

TEST(DeleteDirectoryTest, RemovesFilesAndTheFolderButNotSubFoldersOrLinkTargets) {
    const fs::path root = fs::path(GetTempDirectory()) / "delete-test";
    fs::create_directories(root / "full" / "sub");
    std::ofstream(root / "full" / "a") << "a";
    std::ofstream(root / "full" / ".hidden") << "h";
    fs::create_directories(root / "target");
    std::ofstream(root / "target" / "t") << "t";
    fs::create_directory_symlink(root / "target", root / "link");

    DeleteDirectory((root / "full").string());
    EXPECT_TRUE(fs::exists(root / "full" / "sub"));
    EXPECT_FALSE(fs::exists(root / "full" / "a"));
    EXPECT_FALSE(fs::exists(root / "full" / ".hidden"));
    DeleteDirectory((root / "link").string());
    EXPECT_TRUE(fs::exists(root / "target" / "t"));
    fs::remove_all(root / "full" / "sub");
    DeleteDirectory((root / "full").string());
    EXPECT_FALSE(fs::exists(root / "full"));
    DeleteDirectory((root / "missing").string()); // nothing to do, nothing reported
    fs::remove_all(root);
}

TEST(GetFileSizeByNameTest, SizesAre64Bit) {
    const std::string path = GetTempDirectory() + "big.bar";
    { std::ofstream(path) << ""; }
    fs::resize_file(path, 5'000'000'000); // sparse: nothing is written
    EXPECT_EQ(GetFileSizeByName(path), 5'000'000'000);
    fs::remove(path);
    EXPECT_EQ(GetFileSizeByName(path), -1);
    EXPECT_EQ(GetFileSizeByName(""), -1);
}

TEST(UnreadableFileReasonTest, SaysWhyInPlainWords) {
    const fs::path root = fs::path(GetTempDirectory()) / "unreadable";
    fs::create_directories(root / "folder.bar");
    { std::ofstream(root / "app.bar") << "PK"; }
    { std::ofstream(root / "locked.bar") << "PK"; }
    fs::permissions(root / "locked.bar", fs::perms::none);
    ASSERT_EQ(::mkfifo((root / "pipe.bar").c_str(), 0600), 0);
    const struct {
        const char* name;
        std::string path;
        std::string reason;
    } cases[] = {
        {"readable", (root / "app.bar").string(), ""},
        {"missing", (root / "gone.bar").string(), "no such file"},
        {"below a file", (root / "app.bar" / "x.bar").string(), "no such file"},
        {"empty path", "", "no such file"},
        {"folder", (root / "folder.bar").string(), "is a folder"},
        {"named pipe", (root / "pipe.bar").string(), "is not a regular file"},
        // The superuser reads it all the same.
        {"no read permission", (root / "locked.bar").string(),
         ::geteuid() == 0 ? "" : "cannot be read (permission denied)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(UnreadableFileReason(c.path), c.reason);
    }
    fs::remove_all(root);
}

} // namespace
