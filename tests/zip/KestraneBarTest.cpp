// kestrane-bar run as a command on a few of the peer fixtures.
#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

namespace {

using namespace ziptest;

const std::string Fixtures = KESTRANE_ZIP_FIXTURES;

struct BarRun {
    int exitCode;
    std::string out;
    std::string err;
};

// Appends text quoted for /bin/sh. Appending piece by piece keeps GCC 12 at -O3 from a false
// -Wrestrict warning about "text" + std::string.
void AppendQuoted(std::string& out, const std::string& text) {
    out += '\'';
    for (const char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    out += '\'';
}

BarRun Bar(const std::vector<std::string>& args) {
    TempDir dir;
    std::string command;
    AppendQuoted(command, KESTRANE_BAR);
    for (const std::string& arg : args) {
        command += ' ';
        AppendQuoted(command, arg);
    }
    command += " >";
    AppendQuoted(command, dir / "out");
    command += " 2>";
    AppendQuoted(command, dir / "err");
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(dir / "out"),
            ReadFile(dir / "err")};
}

QJsonObject List(const std::string& fixture) {
    const BarRun run = Bar({"list", Fixtures + "/" + fixture});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    QJsonParseError error{};
    const QJsonDocument json = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << run.out;
    return json.object();
}

TEST(KestraneBar, ListsTheDirectoryAsJson) {
    const QJsonObject test = List("go/test.zip");
    EXPECT_EQ(test["stubSize"].toInt(), 0);
    EXPECT_EQ(test["centralDirOffset"].toInt(), 954);
    EXPECT_FALSE(test["zip64"].toBool());
    EXPECT_EQ(test["comment"].toString(), "This is a zipfile comment.");
    const QJsonArray entries = test["entries"].toArray();
    ASSERT_EQ(entries.size(), 2);
    const QJsonObject first = entries[0].toObject();
    EXPECT_EQ(first["name"].toString(), "test.txt");
    EXPECT_EQ(first["method"].toInt(), 8);
    EXPECT_EQ(first["size"].toInt(), 26);
    EXPECT_EQ(first["crc32"].toInteger(), 0xc3edd7c0);
    EXPECT_EQ(first["offset"].toInt(), 0);
    EXPECT_FALSE(first["encrypted"].toBool());
    EXPECT_EQ(entries[1].toObject()["method"].toInt(), 0);

    // Offsets after the stub correction, sizes from the Zip64 block.
    EXPECT_EQ(List("libzip/junk-at-start.zip")["entries"].toArray()[0].toObject()["offset"].toInt(),
              4);
    const QJsonObject zip64 = List("go/zip64.zip");
    EXPECT_TRUE(zip64["zip64"].toBool());
    EXPECT_EQ(zip64["entries"].toArray()[0].toObject()["size"].toInt(), 36);
    EXPECT_TRUE(
        List("libzip/encrypt.zip")["entries"].toArray()[0].toObject()["encrypted"].toBool());
}

TEST(KestraneBar, EscapesEveryNameCharacter) {
    // Names with control characters, quotes and backslashes.
    const QJsonArray entries = List("libzip/test-cp437.zip")["entries"].toArray();
    ASSERT_EQ(entries.size(), 16);
    EXPECT_EQ(entries[0].toObject()["name"].toString(),
              QString::fromUtf8("\x01\x02\x03\x04\x05\x06\x07\x08\t\n\x0b\x0c\r\x0e\x0f\x10"));
    EXPECT_EQ(entries[2].toObject()["name"].toString(), "!\"#$%&'()*+,-./0");
    EXPECT_EQ(entries[5].toObject()["name"].toString(), "QRSTUVWXYZ[\\]^_`");
    EXPECT_EQ(entries[8].toObject()["name"].toString(), QString::fromUtf8("üéâäàåçêëèïîìÄÅÉ"));
}

TEST(KestraneBar, ExitCodes) {
    TempDir dir;
    const BarRun bogus = Bar({"list", Fixtures + "/libzip/bogus.zip"});
    EXPECT_EQ(bogus.exitCode, 1);
    EXPECT_EQ(bogus.out, "");
    EXPECT_EQ(bogus.err, "Invalid archive file. - Native error: 00035\n");
    // A file that is not there, or a folder, is said in plain words, not in the component's.
    const BarRun missing = Bar({"extract", dir / "missing.bar", "*", dir / "x"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "kestrane-bar: " + (dir / "missing.bar") + ": no such file\n");
    const BarRun folder = Bar({"list", dir.Path().string()});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_EQ(folder.err, "kestrane-bar: " + dir.Path().string() + ": is a folder\n");

    const BarRun ok = Bar({"extract", Fixtures + "/go/test.zip", "*", dir / "ok"});
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
    EXPECT_EQ(ReadFile(dir / "ok/test.txt"), "This is a test text file.\n");

    const BarRun failed = Bar({"extract", Fixtures + "/libzip/incons-data.zip", "*", dir / "bad"});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_EQ(failed.err, "kestrane-bar: not extracted: \"a\": ZipArchive1: Invalid size or "
                          "check sum of file or unsupported compression format - Native error: "
                          "00008\n");

    // The encrypted entry is passed over and named, the plain one extracted.
    const BarRun encrypted = Bar({"extract", Fixtures + "/libzip/encrypt.zip", "*", dir / "enc"});
    EXPECT_EQ(encrypted.exitCode, 2);
    EXPECT_EQ(encrypted.err,
              "kestrane-bar: not extracted: \"encrypted\": encrypted, no password given\n");
    EXPECT_FALSE(IsFile(dir / "enc/encrypted"));
    EXPECT_EQ(ReadFile(dir / "enc/plain"), "foo\n");

    const BarRun none =
        Bar({"extract", Fixtures + "/go/test.zip", "META-INF\\MANIFEST.MF", dir / "n"});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "n"));

    EXPECT_EQ(Bar({"lsit", "x"}).exitCode, 64);
}

Entry Stored(const std::string& name, const std::string& data) {
    Entry e;
    e.name = name;
    e.data = data;
    return e;
}

// Every matching entry it passes over is named on stderr, with its whole name (control
// characters and a zero byte escaped), and the exit status says that something was left out.
TEST(KestraneBar, NamesEveryEntryItDidNotExtract) {
    Entry secret = Stored("secret.txt", "content");
    secret.password = "pw";
    Entry aes = Stored("aes.txt", "0123456789");
    aes.method = 99;
    aes.flags = 1;
    aes.payload = std::string(30, 'x');
    aes.extra = ExtraBlock(ZAExtraAes, std::string("\x02\x00"
                                                   "AE\x01\x00\x00",
                                                   7));
    Archive a;
    a.entries = {Stored("ok.txt", "fine"), secret, aes, Stored("../up.txt", "refused"),
                 Stored(std::string("nul\0and\x01tab\t.txt", 16), "cut")};
    TempDir dir;
    WriteFile(dir / "a.zip", Build(a));
    const BarRun run = Bar({"extract", dir / "a.zip", "*", dir / "out"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(ReadFile(dir / "out/ok.txt"), "fine");
    EXPECT_EQ(run.err,
              "kestrane-bar: not extracted: \"secret.txt\": encrypted, no password given\n"
              "kestrane-bar: not extracted: \"aes.txt\": encrypted with AES, which is not "
              "supported\n"
              "kestrane-bar: not extracted: \"../up.txt\": ZipArchive1: Cannot create file "
              "\"../up.txt\" - Native error: 00019\n"
              "kestrane-bar: not extracted: \"nul\\u0000and\\u0001tab\\t.txt\": ZipArchive1: "
              "Cannot create file \"nul\\u0000and\\u0001tab\\t.txt\" - Native error: 00019\n");

    // Only the entries the mask selects count.
    const BarRun one = Bar({"extract", dir / "a.zip", "ok.txt", dir / "one"});
    EXPECT_EQ(one.exitCode, 0) << one.err;
    EXPECT_EQ(one.err, "");
}

// Entries over the data of an entry before them are skipped with one line, and marked by list;
// the first is extracted.
TEST(KestraneBar, SkipsEntriesOverlappingAnEarlierOne) {
    Archive a;
    a.entries = {Stored("first.txt", "shared data"), Stored("own.txt", "own data")};
    for (const char* name : {"second.txt", "third.txt"}) {
        Entry e = Stored(name, "shared data");
        e.offset = 0;
        a.entries.push_back(e);
    }
    TempDir dir;
    WriteFile(dir / "a.zip", Build(a));
    const BarRun run = Bar({"extract", dir / "a.zip", "*", dir / "out"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "kestrane-bar: not extracted: 2 entries whose local header and data "
                       "overlap an earlier entry's (a possible zip bomb)\n");
    EXPECT_EQ(ReadFile(dir / "out/first.txt"), "shared data");
    EXPECT_EQ(ReadFile(dir / "out/own.txt"), "own data");
    EXPECT_FALSE(IsFile(dir / "out/second.txt"));

    // Selected alone, an overlapping entry is the first of the selection.
    const BarRun alone = Bar({"extract", dir / "a.zip", "third.txt", dir / "alone"});
    EXPECT_EQ(alone.exitCode, 0) << alone.err;
    EXPECT_EQ(ReadFile(dir / "alone/third.txt"), "shared data");

    const BarRun list = Bar({"list", dir / "a.zip"});
    EXPECT_EQ(list.exitCode, 0);
    const QJsonArray entries =
        QJsonDocument::fromJson(QByteArray::fromStdString(list.out))["entries"].toArray();
    ASSERT_EQ(entries.size(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(entries[i].toObject().contains("overlapping"), i >= 2) << i;
    EXPECT_TRUE(entries[2].toObject()["overlapping"].toBool());
}

struct HostileCase {
    const char* what;
    std::string bytes;
};

void PrintTo(const HostileCase& c, std::ostream* out) {
    *out << c.what;
}

std::vector<HostileCase> HostileCases() {
    // Many directory records over one local header and its data.
    Archive overlapping;
    for (int i = 0; i < 5000; ++i) {
        std::string name = "e";
        name += std::to_string(i);
        Entry e = Stored(name, std::string(64, 'o'));
        if (i > 0)
            e.offset = 0;
        overlapping.entries.push_back(e);
    }
    // Names of control characters, 60,000 bytes each, under an end record claiming 65,534
    // entries (so the directory is rebuilt).
    Archive longNames;
    for (char c = 1; c <= 8; ++c)
        longNames.entries.push_back(Stored(std::string(60000, c), "x"));
    longNames.entryCount = 0xFFFE;
    Archive claim;
    claim.entries = {Stored("a.txt", "a"), Stored(std::string(2000, '\x07'), "b")};
    claim.entryCount = 0xFFFF;
    // Records of one name over one deflated MiB: decoded once per record, it would write a
    // thousand times the file's size.
    Archive sameData;
    const std::string mebibyte(1 << 20, '\0');
    sameData.entries.push_back(Stored("bomb.txt", mebibyte));
    sameData.entries[0].method = 8;
    Entry record = sameData.entries[0];
    record.data.clear(); // the same deflated data and values, without deflating it again
    record.payload = Deflate(mebibyte);
    record.crc = Crc32(mebibyte);
    record.uncompSize = 1 << 20;
    record.offset = 0;
    sameData.entries.resize(2000, record);
    return {
        {"recovery bomb of 256 KiB", OverlappingHeaders(256 * 1024)},
        {"recovery bomb of 1 MiB", OverlappingHeaders(1024 * 1024)},
        {"overlapping entries", Build(overlapping)},
        {"records over one deflated MiB", Build(sameData)},
        {"long control-character names", Build(longNames)},
        {"65,535 entries claimed", Build(claim)},
    };
}

class HostileArchive : public ::testing::TestWithParam<HostileCase> {};

// list and a wildcard extract stay linear in the file: bounded in time and memory (generously:
// the figures themselves come from bench/), and what they write is a few times the file's size,
// long names in messages being shortened.
TEST_P(HostileArchive, ListAndExtractStayLinear) {
    const HostileCase& c = GetParam();
    TempDir dir;
    WriteFile(dir / "hostile.bar", c.bytes);
    const std::size_t bound = 8 * c.bytes.size() + 4096;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list", dir / "hostile.bar"},
          std::vector<std::string>{"extract", dir / "hostile.bar", "*", dir / "out"}}) {
        SCOPED_TRACE(args[0]);
        const auto start = std::chrono::steady_clock::now();
        const BarRun run = Bar(args);
        const auto seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
        EXPECT_LT(seconds.count(), 60.0);
        EXPECT_NE(run.exitCode, -1);
        EXPECT_LE(run.out.size() + run.err.size(), bound);
        rusage usage{};
        ::getrusage(RUSAGE_CHILDREN, &usage);
        EXPECT_LT(usage.ru_maxrss, 256 * 1024); // KiB, the largest child so far
        std::size_t longestLine = 0;
        for (std::size_t start = 0; start < run.err.size();) {
            const std::size_t end = std::min(run.err.find('\n', start), run.err.size());
            longestLine = std::max(longestLine, end - start);
            start = end + 1;
        }
        EXPECT_LT(longestLine, 4096u) << "long names are shortened in messages";
    }
}

INSTANTIATE_TEST_SUITE_P(KestraneBar, HostileArchive, ::testing::ValuesIn(HostileCases()),
                         [](const auto& info) { return RowName(info.param.what); });

// A long name is shown shortened, also where the reason repeats it.
TEST(KestraneBar, ShortensLongNamesInMessages) {
    Archive a;
    a.entries = {Stored(std::string(3000, 'n'), "content")}; // too long for a file name
    TempDir dir;
    WriteFile(dir / "a.zip", Build(a));
    const BarRun run = Bar({"extract", dir / "a.zip", "*", dir / "out"});
    EXPECT_EQ(run.exitCode, 2);
    const std::string shown = std::string(1024, 'n');
    std::string expected = "kestrane-bar: not extracted: \"";
    expected += shown;
    expected += "\"... (3000 bytes): ZipArchive1: Cannot create file \"";
    expected += dir / "out/";
    expected += shown;
    expected += "... (3000 bytes)\" - Native error: 00019\n";
    EXPECT_EQ(run.err, expected);
}

} // namespace
