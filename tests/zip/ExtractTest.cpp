// Extraction: writing entries, decoding and checking their data, the component's reactions.
#include "TestSupport.h"
#include "ZADosTime.h"

#include <atomic>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace ziptest;

Entry File(const std::string& name, const std::string& data, std::uint16_t method = 0) {
    Entry e;
    e.name = name;
    e.data = data;
    e.method = method;
    return e;
}

std::string Single(const Entry& e) {
    Archive a;
    a.entries = {e};
    return Build(a);
}

std::string Text(std::size_t size) {
    std::string text;
    for (std::size_t i = 0; text.size() < size; ++i)
        text += "line " + std::to_string(i * 7919 % 100003) + " of some text\n";
    text.resize(size);
    return text;
}

// Collects the failures of a run, answering each with Ignore.
struct Failures {
    std::vector<int> natives;
    std::vector<std::string> messages;
    void Attach(TZipArchive& zip) {
        zip.OnProcessFileFailure = [this](TZABaseArchiver&, const std::string&, TZAProcessOperation,
                                          int native, int, const std::string& message,
                                          TZAAction& action) {
            natives.push_back(native);
            messages.push_back(message);
            action = zaaIgnore;
        };
    }
};

mode_t Mode(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode;
}

TEST(Extract, ProgramCallWritesTheManifestWithStampAndAttributes) {
    const mode_t umask = ::umask(0);
    ::umask(umask);
    for (const std::uint16_t method : {0, 8}) {
        SCOPED_TRACE(method == 0 ? "stored" : "deflated");
        Entry manifest = File("META-INF/MANIFEST.MF", "Application-Name: Test\n", method);
        manifest.versionMadeBy = 0x0314;        // Unix
        manifest.externalAttr = 0104755u << 16; // set-user-ID is never applied
        Archive a;
        a.entries = {File("other.txt", "x"), manifest};
        OpenedZip z(Build(a));
        z.zip.ExtractFiles("META-INF\\MANIFEST.MF", ZAAnyFileAttributes, "");
        const std::string target = z.out + "META-INF/MANIFEST.MF";
        EXPECT_EQ(ReadFile(target), "Application-Name: Test\n");
        EXPECT_FALSE(IsFile(z.out + "other.txt"));
        EXPECT_EQ(Mode(target) & 07777, 0755u & ~umask);
        std::time_t expected;
        ASSERT_TRUE(ZADosToTime(DosDate2020, DosNoon, expected));
        struct stat st {};
        ::stat(target.c_str(), &st);
        EXPECT_EQ(st.st_mtime, expected);
        EXPECT_TRUE(z.prompts.shown.empty());
    }
}

TEST(Extract, NamesKeepTheirStoredCase) {
    OpenedZip z(Single(File("meta-inf/manifest.mf", "lower")));
    z.zip.ExtractFiles("META-INF\\MANIFEST.MF", ZAAnyFileAttributes, "");
    EXPECT_EQ(ReadFile(z.out + "meta-inf/manifest.mf"), "lower");
}

// The program's current folder (the Java runtime's) may be gone; an extraction into BaseDir does
// not need it.
TEST(Extract, ARemovedCurrentFolderDoesNotMatterWithABaseDir) {
    OpenedZip z(Single(File("META-INF/MANIFEST.MF", "m")));
    const std::filesystem::path start = std::filesystem::current_path();
    const std::filesystem::path gone = z.dir.Path() / "gone";
    std::filesystem::create_directory(gone);
    std::filesystem::current_path(gone);
    std::filesystem::remove(gone);
    EXPECT_NO_THROW(z.zip.ExtractFiles("META-INF\\MANIFEST.MF", ZAAnyFileAttributes, ""));
    std::filesystem::current_path(start);
    EXPECT_EQ(ReadFile(z.out + "META-INF/MANIFEST.MF"), "m");
}

TEST(Extract, NoMatchWritesNothing) {
    OpenedZip z(Single(File("readme.txt", "x")));
    z.zip.ExtractFiles("META-INF\\MANIFEST.MF", ZAAnyFileAttributes, "");
    EXPECT_FALSE(std::filesystem::exists(z.out));
}

TEST(Extract, FolderEntriesCreateFoldersOnly) {
    Archive a;
    Entry folder = File("META-INF/", "");
    folder.externalAttr = 0x10;
    a.entries = {folder, File("d\\e\\", ""), File("a\\b\\c", "abc")};
    OpenedZip z(Build(a));
    z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    EXPECT_TRUE(std::filesystem::is_directory(z.out + "META-INF"));
    EXPECT_TRUE(std::filesystem::is_directory(z.out + "d/e"));
    EXPECT_EQ(ReadFile(z.out + "a/b/c"), "abc"); // backslashes are folder separators
}

struct DataCase {
    const char* what;
    Entry entry;
    int native; // 0: extracts
};

void PrintTo(const DataCase& c, std::ostream* out) {
    *out << c.what;
}

std::vector<DataCase> DataCases() {
    const std::string text = Text(100000);
    const std::string deflated = Deflate(text);
    const auto adler = [&] {
        std::string bytes;
        const std::uint32_t a = Adler32(text);
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes += static_cast<char>(a >> shift);
        return bytes;
    }();
    const auto with = [](Entry e, auto change) {
        change(e);
        return e;
    };
    Entry zip64 = File("f", text, 8);
    zip64.zip64 = true;
    return {
        {"stored", File("f", "stored data"), 0},
        {"deflated", File("f", text, 8), 0},
        {"empty stored", File("f", ""), 0},
        {"empty deflated", File("f", "", 8), 0},
        {"one spare byte", with(File("f", text, 8), [&](Entry& e) { e.payload = deflated + "x"; }),
         0},
        {"three spare bytes",
         with(File("f", text, 8), [&](Entry& e) { e.payload = deflated + "xyz"; }), 0},
        {"four spare bytes",
         with(File("f", text, 8), [&](Entry& e) { e.payload = deflated + "wxyz"; }), 8},
        {"spare bytes holding the Adler-32",
         with(File("f", text, 8), [&](Entry& e) { e.payload = deflated + adler + "more"; }), 0},
        {"CRC-32 mismatch", with(File("f", text, 8), [](Entry& e) { e.crc = 0x12345678; }), 8},
        {"corrupt deflate data",
         with(File("f", text, 8), [&](Entry& e) { e.payload = "\xFF\xFF\xFF\xFF" + deflated; }), 8},
        {"Deflate64", File("f", text, 9), 55},
        {"BZIP2", File("f", text, 12), 8},
        {"declared size too small",
         with(File("f", "stored data"), [](Entry& e) { e.uncompSize = 3; }), 8},
        {"declared size too large",
         with(File("f", text, 8), [&](Entry& e) { e.uncompSize = std::uint32_t(text.size() + 1); }),
         8},
        {"Zip64 sizes and offset", zip64, 0},
        {"Zip64 uncompressed size only",
         with(zip64,
              [&](Entry& e) {
                  e.compSize = std::uint32_t(deflated.size());
                  e.offset = 0;
              }),
         0},
    };
}

class EntryData : public ::testing::TestWithParam<DataCase> {};

TEST_P(EntryData, IsDecodedAndChecked) {
    const DataCase& c = GetParam();
    Archive a;
    a.entries = {c.entry};
    a.zip64 = c.entry.zip64;
    OpenedZip z(Build(a));
    Failures failures;
    failures.Attach(z.zip);
    z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    if (c.native == 0) {
        EXPECT_TRUE(failures.natives.empty());
        EXPECT_EQ(ReadFile(z.out + "f"), c.entry.data);
    } else {
        EXPECT_EQ(failures.natives, std::vector<int>{c.native});
        EXPECT_FALSE(IsFile(z.out + "f")); // no half-written file stays
    }
}

INSTANTIATE_TEST_SUITE_P(Extract, EntryData, ::testing::ValuesIn(DataCases()),
                         [](const auto& info) { return RowName(info.param.what); });

TEST(Extract, NeverWritesBeyondTheDeclaredSize) {
    Entry bomb = File("bomb", std::string(4 << 20, '\0'), 8);
    bomb.uncompSize = 100;
    OpenedZip z(Single(bomb));
    z.zip.ExtractCorruptedFiles = true; // keeps what was written
    Failures failures;
    failures.Attach(z.zip);
    std::int64_t progress = 0;
    z.zip.OnFileProgress = [&](TZABaseArchiver&, const std::string&, double, TZAProcessOperation,
                               TZAProgressPhase phase, bool&) { progress += phase == ppProcess; };
    z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    EXPECT_TRUE(failures.natives.empty());
    EXPECT_EQ(ReadFile(z.out + "bomb"), std::string(100, '\0'));
    EXPECT_EQ(progress, 1); // stopped at the first decoded part
}

// Found by the fuzzer: declared Zip64 sizes near 2^63 made the run's total overflow, after which
// no overall progress was reported.
TEST(Extract, DeclaredSizesBeyondWhatARunCanCountStillReportProgress) {
    std::string huge;
    Put64(huge, ~std::uint64_t{0});
    Entry claims = File("claims", "x");
    claims.uncompSize = 0xFFFFFFFF;
    claims.extra = ExtraBlock(ZAExtraZip64, huge);
    Entry claimsToo = claims;
    claimsToo.name = "claims-too";
    Archive a;
    a.entries = {claims, claimsToo, File("real.txt", "real")};
    OpenedZip z(Build(a));
    Failures failures;
    failures.Attach(z.zip);
    int overall = 0;
    z.zip.OnOverallProgress = [&](TZABaseArchiver&, double progress, TZAProcessOperation,
                                  TZAProgressPhase phase, bool&) {
        overall += phase == ppProcess && progress >= 0 && progress <= 100;
    };
    z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    EXPECT_EQ(failures.natives, (std::vector<int>{8, 8}));
    EXPECT_EQ(ReadFile(z.out + "real.txt"), "real");
    EXPECT_EQ(overall, 3); // one decoded part per entry
}

TEST(Extract, CorruptedFilesCanBeKept) {
    Entry bad = File("f", "content", 0);
    bad.crc = 1;
    OpenedZip z(Single(bad));
    z.zip.ExtractCorruptedFiles = true;
    z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    EXPECT_EQ(ReadFile(z.out + "f"), "content");
    EXPECT_TRUE(z.prompts.shown.empty());
}

// Found by the fuzzer: a damaged entry kept in memory ended with the room given to the decoder
// but never filled, one byte past the declared size, where the file holds what was decoded.
TEST(Extract, CorruptedEntriesKeptInMemoryHoldWhatTheFileHolds) {
    const std::string text = "some text that deflates to a few bytes";
    Entry bad = File("f", text, 8);
    bad.payload = "\xFF\xFF\xFF\xFF" + Deflate(text);
    OpenedZip z(Single(bad));
    z.zip.ExtractCorruptedFiles = true;
    z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    std::string bytes = "stale";
    EXPECT_TRUE(z.zip.ExtractToMemory(0, bytes, 1 << 20));
    EXPECT_EQ(bytes, ReadFile(z.out + "f"));
    EXPECT_LE(bytes.size(), text.size());
}

TEST(Extract, LargeEntriesAreWrittenWhileDecoding) {
    const std::string text = Text(9 << 20);
    Archive a;
    Entry bad = File("bad.txt", text, 8);
    bad.crc = Crc32(text) ^ 1;
    a.entries = {File("big.txt", text, 8), File("big.bin", text), bad};
    OpenedZip z(Build(a));
    Failures failures;
    failures.Attach(z.zip);
    z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    EXPECT_EQ(failures.natives, std::vector<int>{8});
    EXPECT_EQ(Crc32(ReadFile(z.out + "big.txt")), Crc32(text));
    EXPECT_EQ(Crc32(ReadFile(z.out + "big.bin")), Crc32(text));
    EXPECT_FALSE(IsFile(z.out + "bad.txt"));
}

struct PasswordCase {
    const char* what;
    std::deque<std::string> typed;
    std::string preset;
    bool dataDescriptor;
    std::size_t prompts;
    bool extracted;
};

void PrintTo(const PasswordCase& c, std::ostream* out) {
    *out << c.what;
}

class TraditionalEncryption : public ::testing::TestWithParam<PasswordCase> {};

TEST_P(TraditionalEncryption, AsksForThePassword) {
    const PasswordCase& c = GetParam();
    Entry e = File("secret.txt", Text(5000), 8);
    e.password = "secret";
    e.dataDescriptor = c.dataDescriptor;
    OpenedZip z(Single(e));
    z.prompts.passwords = c.typed;
    z.zip.Password = c.preset;
    Failures failures;
    failures.Attach(z.zip);
    z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    EXPECT_TRUE(failures.natives.empty());
    EXPECT_EQ(z.prompts.shown.size(), c.prompts);
    if (c.prompts > 0) {
        EXPECT_EQ(z.prompts.shown[0], "Password for \"secret.txt\"");
    }
    EXPECT_EQ(IsFile(z.out + "secret.txt"), c.extracted);
    if (c.extracted) {
        EXPECT_EQ(ReadFile(z.out + "secret.txt"), e.data);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Extract, TraditionalEncryption,
    ::testing::ValuesIn(std::vector<PasswordCase>{
        {"right password", {"secret"}, "", false, 1, true},
        {"wrong, then right", {"guess", "secret"}, "", false, 2, true},
        {"cancelled", {}, "", false, 1, false},
        {"wrong, then cancelled", {"guess"}, "", false, 2, false},
        {"password set before", {}, "secret", false, 0, true},
        {"check byte from the time with a data descriptor", {"secret"}, "", true, 1, true},
    }),
    [](const auto& info) { return RowName(info.param.what); });

TEST(Extract, PasswordHandlerAndAesEntries) {
    Entry e = File("secret.txt", "content");
    e.password = "pw";
    OpenedZip z(Single(e));
    std::vector<std::string> asked;
    z.zip.OnPassword = [&](TZABaseArchiver&, const std::string& name, std::string& password,
                           bool& skip) {
        asked.push_back(name);
        password = "pw";
        skip = asked.size() > 1;
    };
    z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    EXPECT_EQ(ReadFile(z.out + "secret.txt"), "content");
    z.zip.Password = "stale";
    std::filesystem::remove(z.out + "secret.txt");
    z.zip.OnPassword = [&](TZABaseArchiver&, const std::string&, std::string&, bool& skip) {
        skip = true;
    };
    z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    EXPECT_FALSE(IsFile(z.out + "secret.txt"));

    // WinZip AES is not decrypted: the entry is passed over as if its prompt was cancelled.
    Entry aes = File("aes.txt", "0123456789");
    aes.method = 99;
    aes.flags = 1;
    aes.payload = std::string(30, 'x');
    aes.extra = ExtraBlock(ZAExtraAes, std::string("\x02\x00"
                                                   "AE\x01\x00\x00",
                                                   7));
    OpenedZip za(Single(aes));
    Failures failures;
    failures.Attach(za.zip);
    za.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    EXPECT_TRUE(failures.natives.empty());
    EXPECT_TRUE(za.prompts.shown.empty());
    EXPECT_FALSE(IsFile(za.out + "aes.txt"));
}

struct TargetCase {
    const char* what;
    TZAOverwriteMode mode;
    bool replaceReadOnly;
    bool readOnlyTarget;
    std::deque<ZAButton> answers;
    bool replaced;
    TZAOverwriteMode modeAfter;
};

void PrintTo(const TargetCase& c, std::ostream* out) {
    *out << c.what;
}

class ExistingTarget : public ::testing::TestWithParam<TargetCase> {};

TEST_P(ExistingTarget, IsReplacedAsTheOptionsSay) {
    const TargetCase& c = GetParam();
    OpenedZip z(Single(File("f.txt", "new")));
    std::filesystem::create_directories(z.out);
    const std::string target = z.out + "f.txt";
    WriteFile(target, "old");
    if (c.readOnlyTarget)
        ::chmod(target.c_str(), 0444);
    z.zip.Options.OverwriteMode = c.mode;
    z.zip.Options.ReplaceReadOnly = c.replaceReadOnly;
    z.prompts.answers = c.answers;
    z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    EXPECT_EQ(ReadFile(target), c.replaced ? "new" : "old");
    EXPECT_EQ(z.zip.Options.OverwriteMode, c.modeAfter);
    if (c.mode == omPrompt) {
        EXPECT_EQ(z.prompts.shown,
                  std::vector<std::string>{"Overwrite file \"" + target + "\" with \"f.txt\""});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Extract, ExistingTarget,
    ::testing::ValuesIn(std::vector<TargetCase>{
        {"always", omAlways, true, false, {}, true, omAlways},
        {"always, read-only target", omAlways, true, true, {}, true, omAlways},
        {"read-only kept", omAlways, false, true, {}, false, omAlways},
        {"never", omNever, true, false, {}, false, omNever},
        {"prompt: yes", omPrompt, true, false, {ZAButton::Yes}, true, omPrompt},
        {"prompt: no", omPrompt, true, false, {ZAButton::No}, false, omPrompt},
        {"prompt: closed", omPrompt, true, false, {}, false, omPrompt},
        {"prompt: yes to all", omPrompt, true, false, {ZAButton::YesToAll}, true, omAlways},
        {"prompt: no to all", omPrompt, true, false, {ZAButton::NoToAll}, false, omNever},
    }),
    [](const auto& info) { return RowName(info.param.what); });

TEST(Extract, OverwriteByTimeStamp) {
    const std::time_t entryTime = [] {
        std::time_t t;
        ZADosToTime(DosDate2020, DosNoon, t);
        return t;
    }();
    struct Case {
        TZAOverwriteMode mode;
        std::time_t targetTime;
        bool replaced;
    };
    const Case cases[] = {
        {omIfNewer, entryTime - 3600, true},  {omIfNewer, entryTime, false},
        {omIfNewer, entryTime + 3600, false}, {omIfOlder, entryTime + 3600, true},
        {omIfOlder, entryTime, false},        {omIfOlder, entryTime - 3600, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.mode == omIfNewer ? "if newer, target " : "if older, target ") +
                     std::to_string(c.targetTime - entryTime) + " s after the entry");
        OpenedZip z(Single(File("f.txt", "new")));
        std::filesystem::create_directories(z.out);
        const std::string target = z.out + "f.txt";
        WriteFile(target, "old");
        const struct timespec times[2] = {{c.targetTime, 0}, {c.targetTime, 0}};
        ::utimensat(AT_FDCWD, target.c_str(), times, 0);
        z.zip.Options.OverwriteMode = c.mode;
        z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
        EXPECT_EQ(ReadFile(target), c.replaced ? "new" : "old");
    }
}

TEST(Extract, LinksAreReplacedNotFollowed) {
    OpenedZip z(Single(File("f.txt", "new")));
    std::filesystem::create_directories(z.out);
    const std::string outside = z.dir / "outside.txt";
    WriteFile(outside, "keep");
    std::filesystem::create_symlink(outside, z.out + "f.txt");
    z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    EXPECT_TRUE(IsFile(z.out + "f.txt"));
    EXPECT_EQ(ReadFile(z.out + "f.txt"), "new");
    EXPECT_EQ(ReadFile(outside), "keep");
}

// A link to a folder elsewhere, planted in the destination where the entry's folder would be,
// is never followed: the entry fails as a folder that cannot be created, and nothing appears
// in the linked folder.
TEST(Extract, FolderLinksInTheDestinationAreNeverFollowed) {
    Archive a;
    a.entries = {File("planted-dir/evil", "evil"), File("real/planted/evil", "evil"),
                 File("ok.txt", "ok")};
    OpenedZip z(Build(a));
    const std::string elsewhere = z.dir / "elsewhere";
    std::filesystem::create_directories(elsewhere);
    std::filesystem::create_directories(z.out + "real");
    std::filesystem::create_directory_symlink(elsewhere, z.out + "planted-dir");
    std::filesystem::create_directory_symlink(elsewhere, z.out + "real/planted");
    Failures failures;
    failures.Attach(z.zip);
    z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    EXPECT_EQ(failures.natives, (std::vector<int>{20, 20}));
    EXPECT_EQ(failures.messages.at(0), "ZipArchive1: Cannot create directory \"" + z.out +
                                           "planted-dir/\" - Native error: 00020");
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
    EXPECT_EQ(ReadFile(z.out + "ok.txt"), "ok");
}

struct ModeCase {
    const char* what;
    std::uint16_t madeBy;
    std::uint32_t attributes;
    mode_t mode; // under umask 027
};

void PrintTo(const ModeCase& c, std::ostream* out) {
    *out << c.what;
}

class ExtractedMode : public ::testing::TestWithParam<ModeCase> {};

// The archive's permission bits minus the umask: never world-writable when the umask says so,
// never set-user-ID, set-group-ID or sticky, and a link's 0777 never reaches the plain file
// written for it.
TEST_P(ExtractedMode, IsThePermissionBitsMinusTheUmask) {
    const ModeCase& c = GetParam();
    Entry e = File("f", "x");
    e.versionMadeBy = c.madeBy;
    e.externalAttr = c.attributes;
    OpenedZip z(Single(e));
    const mode_t saved = ::umask(027);
    z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    ::umask(saved);
    EXPECT_TRUE(S_ISREG(Mode(z.out + "f")));
    EXPECT_EQ(Mode(z.out + "f") & 07777, c.mode);
}

INSTANTIATE_TEST_SUITE_P(
    Attributes, ExtractedMode,
    ::testing::Values(ModeCase{"UnixPermissions", 0x0314, 0100640u << 16, 0640},
                      ModeCase{"WorldWritableLosesTheUmask", 0x0314, 0100777u << 16, 0750},
                      ModeCase{"SetIdAndStickyDropped", 0x0314, 0107777u << 16, 0750},
                      ModeCase{"SetGroupIdDropped", 0x0314, 0102770u << 16, 0750},
                      ModeCase{"SymbolicLinkBitsIgnored", 0x0314, 0120777u << 16, 0640},
                      ModeCase{"DosReadOnly", 0x0014, 0x21, 0440},
                      ModeCase{"DosArchiveBit", 0x0014, 0x20, 0640},
                      ModeCase{"UnixWithoutPermissionBits", 0x0314, 0x20, 0640}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return info.param.what; });

// A folder entry's folder gets the entry's permission bits minus the umask too, so that a
// private folder stays private; its owner keeps the right to write the entries inside it.
TEST(Extract, FolderEntriesGetTheirPermissionBits) {
    const auto folder = [](const std::string& name, std::uint32_t mode) {
        Entry e = File(name, "");
        e.versionMadeBy = 0x0314;
        e.externalAttr = mode << 16 | 0x10;
        return e;
    };
    Archive a;
    a.entries = {folder("private/", 040700),   File("private/f", "x"),
                 folder("shared/", 041777),    folder("readonly/", 040555),
                 File("readonly/inside", "y"), folder("dos/", 0)};
    a.entries.back().versionMadeBy = 20;
    OpenedZip z(Build(a));
    const mode_t saved = ::umask(027);
    z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    ::umask(saved);
    EXPECT_EQ(Mode(z.out + "private") & 07777, 0700u);
    EXPECT_EQ(Mode(z.out + "shared") & 07777, 0750u); // never sticky, never world-writable
    EXPECT_EQ(Mode(z.out + "readonly") & 07777, 0750u);
    EXPECT_EQ(ReadFile(z.out + "readonly/inside"), "y");
    EXPECT_EQ(Mode(z.out + "dos") & 07777, 0750u);
}

TEST(Extract, NamesLeavingTheFolderAreRefused) {
    const char* refused[] = {"../evil.txt",
                             "a/../../evil.txt",
                             "..",
                             "/tmp/evil.txt",
                             "\\\\server\\share\\evil.txt",
                             "C:\\evil.txt",
                             "a//b.txt",
                             "a\\..\\..\\evil.txt"};
    std::vector<std::string> names(std::begin(refused), std::end(refused));
    names.push_back(std::string("a/..\0/evil.txt", 14));
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        OpenedZip z(Single(File(name, "evil")));
        Failures failures;
        failures.Attach(z.zip);
        z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
        EXPECT_EQ(failures.natives, std::vector<int>{19});
        EXPECT_FALSE(std::filesystem::exists(z.dir / "evil.txt"));
        EXPECT_FALSE(std::filesystem::exists(z.dir.Path().parent_path() / "evil.txt"));
    }
    // Dots that do not climb are names like any other.
    OpenedZip z(Single(File("a/..b/./c..", "fine")));
    z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    EXPECT_EQ(ReadFile(z.out + "a/..b/c.."), "fine");
}

TEST(Extract, FolderAndTargetFailures) {
    Archive a;
    a.entries = {File("blocker", "file"), File("blocker/inside.txt", "x"), File("ok.txt", "ok")};
    OpenedZip z(Build(a));
    Failures failures;
    failures.Attach(z.zip);
    z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    EXPECT_EQ(failures.natives, std::vector<int>{20});
    EXPECT_EQ(failures.messages[0], "ZipArchive1: Cannot create directory \"" + z.out +
                                        "blocker/\" - Native error: 00020");
    EXPECT_EQ(ReadFile(z.out + "ok.txt"), "ok");

    // A folder where the file should go.
    OpenedZip t(Single(File("f", "x")));
    std::filesystem::create_directories(t.out + "f");
    Failures targetFailures;
    targetFailures.Attach(t.zip);
    t.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    EXPECT_EQ(targetFailures.messages,
              std::vector<std::string>{"ZipArchive1: Cannot create file \"" + t.out +
                                       "f\" - Native error: 00019"});

    // Without folders every entry goes to the destination itself.
    OpenedZip flat(Single(File("deep/inside/f.txt", "flat")));
    flat.zip.Options.CreateDirs = false;
    std::filesystem::create_directories(flat.out);
    flat.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    EXPECT_EQ(ReadFile(flat.out + "f.txt"), "flat");
}

TEST(Extract, FailureBoxAnswers) {
    Entry bad = File("bad.txt", "data");
    bad.crc = 7;
    Archive a;
    a.entries = {bad, File("good.txt", "good")};
    const std::string box = "ZipArchive1: Invalid size or check sum of file or unsupported "
                            "compression format - Native error: 00008. File processing error, "
                            "possibly disk is full";
    struct Case {
        const char* what;
        std::deque<ZAButton> answers;
        std::size_t boxes;
        bool goodExtracted;
    };
    const Case cases[] = {
        {"ignore goes on", {ZAButton::Ignore}, 1, true},
        {"retry repeats the entry", {ZAButton::Retry, ZAButton::Retry, ZAButton::Ignore}, 3, true},
        {"abort stops the run", {ZAButton::Abort}, 1, false},
        {"closing the box aborts", {ZAButton::None}, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpenedZip z(Build(a));
        z.prompts.answers = c.answers;
        z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
        EXPECT_EQ(z.prompts.shown, std::vector<std::string>(c.boxes, box));
        EXPECT_EQ(IsFile(z.out + "good.txt"), c.goodExtracted);
        EXPECT_FALSE(IsFile(z.out + "bad.txt"));
    }
    // Without any dialogs a failure aborts the run.
    OpenedZip z(Build(a));
    z.zip.Prompts = nullptr;
    z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    EXPECT_FALSE(IsFile(z.out + "good.txt"));
}

TEST(Extract, FailureReactionByNativeError) {
    // A handler may fail an entry with the component's error; the reaction depends on its number.
    struct Case {
        int native;
        std::vector<std::string> kinds;
        std::vector<std::string> shown;
        bool goesOn;
    };
    const std::string tooLong =
        "ZipArchive1: File name is too long: \r\n\"x\" - Native error: 00061";
    const Case cases[] = {
        {61, {"abort-ignore"}, {tooLong}, true},
        {45, {}, {}, false}, // aborts without a box
        {20, {"abort-retry-ignore"}, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("native error " + std::to_string(c.native));
        Archive a;
        a.entries = {File("first", "1"), File("second", "2")};
        OpenedZip z(Build(a));
        z.prompts.answers = {ZAButton::Ignore};
        z.zip.OnExtractFile = [&](TZABaseArchiver&, std::string& name, std::uint32_t&,
                                  const std::string&) {
            if (name == "first")
                throw EZAException(c.native, "ZipArchive1", {std::string("x")});
        };
        z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
        EXPECT_EQ(z.prompts.kinds, c.kinds);
        if (!c.shown.empty()) {
            EXPECT_EQ(z.prompts.shown, c.shown);
        }
        EXPECT_EQ(IsFile(z.out + "second"), c.goesOn);
    }
}

TEST(Extract, FailureHandlerGetsTheError) {
    OpenedZip z(Single(File("f", "x", 9)));
    std::string seen;
    z.zip.OnProcessFileFailure = [&](TZABaseArchiver&, const std::string& name,
                                     TZAProcessOperation operation, int native, int code,
                                     const std::string& message, TZAAction& action) {
        seen = name + "|" + std::to_string(operation == poExtract) + "|" + std::to_string(native) +
               "|" + std::to_string(code) + "|" + message;
        action = zaaAbort;
    };
    z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    EXPECT_EQ(seen, "f|1|55|32|Deflate64 compression method is not supported - Native error: "
                    "00055");
    EXPECT_TRUE(z.prompts.shown.empty());
}

TEST(Extract, EventsConfirmRenameAndCancel) {
    Archive a;
    a.entries = {File("one.txt", "1"), File("two.txt", "2"), File("three.txt", Text(3 << 20), 8)};
    OpenedZip z(Build(a));
    std::vector<std::string> events;
    z.zip.OnConfirmProcessFile = [&](TZABaseArchiver&, const std::string& name, TZAProcessOperation,
                                     bool& confirm) { confirm = name != "two.txt"; };
    z.zip.OnExtractFile = [&](TZABaseArchiver&, std::string& name, std::uint32_t&,
                              const std::string&) { name = "renamed-" + name; };
    z.zip.OnFileProgress = [&](TZABaseArchiver&, const std::string& name, double progress,
                               TZAProcessOperation, TZAProgressPhase phase, bool& cancel) {
        if (phase != ppProcess)
            events.push_back(name + (phase == ppStart ? " start " : " end ") +
                             std::to_string(int(progress)));
        cancel = name == "three.txt" && phase == ppProcess; // stops inside the third entry
    };
    std::vector<TZAProgressPhase> overall;
    z.zip.OnOverallProgress = [&](TZABaseArchiver&, double, TZAProcessOperation,
                                  TZAProgressPhase phase, bool&) {
        if (phase != ppProcess)
            overall.push_back(phase);
    };
    z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    EXPECT_EQ(events, (std::vector<std::string>{"one.txt start 0", "one.txt end 100",
                                                "three.txt start 0", "three.txt end 100"}));
    EXPECT_EQ(overall, (std::vector<TZAProgressPhase>{ppStart, ppEnd}));
    EXPECT_EQ(ReadFile(z.out + "renamed-one.txt"), "1");
    EXPECT_FALSE(IsFile(z.out + "renamed-two.txt"));
    EXPECT_FALSE(IsFile(z.out + "renamed-three.txt")); // a cancelled entry leaves nothing
}

TEST(Extract, RunsNeverOverlapButMayNest) {
    OpenedZip first(Single(File("a.txt", "a")));
    OpenedZip second(Single(File("b.txt", "b")));
    std::atomic<bool> secondStarted{false};
    bool secondRanDuringFirst = true;
    std::thread other;
    first.zip.OnOverallProgress = [&](TZABaseArchiver&, double, TZAProcessOperation,
                                      TZAProgressPhase phase, bool&) {
        if (phase != ppStart)
            return;
        second.zip.OnOverallProgress = [&](TZABaseArchiver&, double, TZAProcessOperation,
                                           TZAProgressPhase p, bool&) {
            if (p == ppStart)
                secondStarted = true;
        };
        other = std::thread([&] { second.zip.ExtractFiles("*", ZAAnyFileAttributes, ""); });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        secondRanDuringFirst = secondStarted;
    };
    // A handler on the same thread may start another run without locking itself out.
    first.zip.OnExtractFile = [&](TZABaseArchiver&, std::string&, std::uint32_t&,
                                  const std::string&) {
        TZipArchive nested;
        nested.FileName = second.zip.FileName;
        nested.OpenArchive(0);
        nested.BaseDir = first.dir / "nested";
        nested.ExtractFiles("*", ZAAnyFileAttributes, "");
    };
    first.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    other.join();
    EXPECT_FALSE(secondRanDuringFirst);
    EXPECT_TRUE(secondStarted);
    EXPECT_EQ(ReadFile(second.out + "b.txt"), "b");
    EXPECT_EQ(ReadFile(first.dir / "nested/b.txt"), "b");
}

TEST(Extract, HandlerMayRunTheSameComponentAgain) {
    const std::string text = Text(3 << 20);
    Archive a;
    a.entries = {File("big.txt", text, 8), File("small.txt", "small")};
    OpenedZip z(Build(a));
    bool nested = false;
    z.zip.OnFileProgress = [&](TZABaseArchiver&, const std::string&, double, TZAProcessOperation,
                               TZAProgressPhase phase, bool&) {
        if (phase == ppProcess && !nested) {
            nested = true;
            z.zip.BaseDir = z.dir / "nested/";
            z.zip.ExtractFiles("small.txt", ZAAnyFileAttributes, "");
            z.zip.BaseDir = z.out;
        }
    };
    z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    EXPECT_EQ(Crc32(ReadFile(z.out + "big.txt")), Crc32(text));
    EXPECT_EQ(ReadFile(z.out + "small.txt"), "small");
    EXPECT_EQ(ReadFile(z.dir / "nested/small.txt"), "small");
}

// Limits the size of files this process may write, for a disk that is full.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &FSaved);
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        Set(bytes);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &FSaved);
        std::signal(SIGXFSZ, FOldHandler);
    }
    void Set(rlim_t bytes) {
        rlimit limit = FSaved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    void Lift() { ::setrlimit(RLIMIT_FSIZE, &FSaved); }

private:
    rlimit FSaved{};
    void (*FOldHandler)(int) = nullptr;
};

TEST(Extract, DiskFull) {
    // Small entries are written directly; a large one by the writer thread from its second block
    // on, so there the disk fills up later.
    const std::pair<std::size_t, rlim_t> cases[] = {{300000, 100000}, {9 << 20, 3 << 20}};
    for (const auto& [size, free] : cases) {
        SCOPED_TRACE("an entry of " + std::to_string(size) + " bytes, " + std::to_string(free) +
                     " bytes of room");
        const std::string text = Text(size);
        {
            OpenedZip z(Single(File("f.txt", text, 8)));
            Failures failures;
            failures.Attach(z.zip);
            const FileSizeLimit full(free);
            z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
            EXPECT_EQ(failures.natives, std::vector<int>{65});
            EXPECT_FALSE(IsFile(z.out + "f.txt"));
        }
        {
            OpenedZip z(Single(File("f.txt", text, 8)));
            FileSizeLimit full(free);
            int calls = 0;
            z.zip.OnDiskFull = [&](TZABaseArchiver&, int volume, const std::string& name,
                                   bool& cancel) {
                EXPECT_EQ(volume, 0);
                EXPECT_EQ(name, z.zip.FileName);
                cancel = false;
                if (++calls == 2)
                    full.Lift(); // space was made: the part is written again
            };
            z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
            EXPECT_EQ(calls, 2);
            EXPECT_EQ(Crc32(ReadFile(z.out + "f.txt")), Crc32(text));
        }
        {
            OpenedZip z(Single(File("f.txt", text, 8)));
            const FileSizeLimit full(free);
            z.zip.OnDiskFull = [&](TZABaseArchiver&, int, const std::string&, bool& cancel) {
                cancel = true;
            };
            z.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
            EXPECT_FALSE(IsFile(z.out + "f.txt"));
            EXPECT_TRUE(z.prompts.shown.empty());
        }
    }
}

TEST(Extract, LocalHeaderPastTheEndLeavesTheRun) {
    Entry e = File("f", "x");
    e.offset = 0x7FFFFFF0;
    OpenedZip z(Single(e));
    EXPECT_THROW(z.zip.ExtractFiles("*", ZAAnyFileAttributes, ""), EZAReadError);
    EXPECT_FALSE(IsFile(z.out + "f"));
    // The lock is free again.
    OpenedZip next(Single(File("g", "y")));
    next.zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    EXPECT_EQ(ReadFile(next.out + "g"), "y");
}

} // namespace
