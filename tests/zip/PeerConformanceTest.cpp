// Archives from other ZIP readers' test suites (fixtures/zip-peers): each opens or fails as
// expected.json says for this component, lists its entries in order, and extracts each entry with
// the expected result.
#include "TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <map>

namespace {

using namespace ziptest;

const std::string Fixtures = KESTRANE_ZIP_FIXTURES;

// Files this component deliberately treats otherwise than expected.json's reading, entry name
// to the result it gives instead, with the reason.
struct Difference {
    const char* file;
    const char* entry;
    const char* result;
    const char* reason;
};

const Difference Differences[] = {
    {"libzip/filename_empty.zip", "", "fails (error 19)",
     "An empty name names the destination folder itself, where no file can be created: the "
     "entry fails with \"Cannot create file\", as any target that cannot be created does."},
    {"cpython/zipdir_backslash.zip", "d\\e\\", "directory (nothing written)",
     "Backslashes in stored names are folder separators when writing, so a name ending with one "
     "names a folder (a file \"d/e/\" cannot exist); the folders d/e are created."},
};

struct Record {
    std::string file;
    QJsonObject reading; // the expected reading of this component
    QJsonArray peerEntries;
};

void PrintTo(const Record& record, std::ostream* out) {
    *out << record.file;
}

std::vector<Record> LoadRecords() {
    QFile file(QString::fromStdString(Fixtures + "/expected.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    std::vector<Record> records;
    for (const QJsonValue& value : QJsonDocument::fromJson(file.readAll()).array()) {
        const QJsonObject o = value.toObject();
        records.push_back({o["file"].toString().toStdString(), o["kestrane_reading"].toObject(),
                           o["entries"].toArray()});
    }
    return records;
}

std::string Slashes(std::string text) {
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

std::string ExpectedResult(const Record& r, const std::string& name, const std::string& given) {
    for (const Difference& d : Differences)
        if (r.file == d.file && name == d.entry)
            return d.result;
    return given;
}

class PeerConformance : public ::testing::TestWithParam<Record> {
protected:
    // Extracts only entry `index` into a fresh folder and names the result as expected.json does.
    std::string ExtractOne(const std::string& path, int index, const TDirItem& item,
                           std::string& content) {
        TZipArchive zip("ZipArchive1");
        zip.AnsiCodePage = ZACodePage::Utf8();
        zip.FileName = path;
        zip.OpenArchive(0);
        TempDir out;
        zip.BaseDir = out.Base();
        int seen = 0;
        zip.OnConfirmProcessFile = [&](TZABaseArchiver&, const std::string&, TZAProcessOperation,
                                       bool& confirm) { confirm = seen++ == index; };
        std::vector<int> failures;
        zip.OnProcessFileFailure = [&](TZABaseArchiver&, const std::string&, TZAProcessOperation,
                                       int native, int, const std::string&, TZAAction& action) {
            failures.push_back(native);
            action = zaaIgnore;
        };
        zip.OnPassword = [](TZABaseArchiver&, const std::string&, std::string&, bool& skip) {
            skip = true;
        };
        zip.ExtractFiles("*", ZAAnyFileAttributes, "");
        const std::string target = out.Base() + Slashes(std::string(item.Name));
        if (!failures.empty())
            return "fails (error " + std::to_string(failures.front()) + ")";
        if (IsFile(target)) {
            content = ReadFile(target);
            return "ok";
        }
        // A folder entry writes no file (its folder exists when the name ends with a separator).
        const bool folder = item.IsDirectory() || (!item.Name.empty() && item.Name.back() == '\\');
        if (folder)
            return "directory (nothing written)";
        return item.Encrypted() ? "skipped (encrypted, no password)" : "nothing written";
    }
};

TEST_P(PeerConformance, MatchesTheExpectedReading) {
    const Record& r = GetParam();
    const std::string path = Fixtures + "/" + r.file;
    TZipArchive zip("ZipArchive1");
    zip.AnsiCodePage = ZACodePage::Utf8();
    zip.FileName = path;
    if (r.reading["open"].toString() == "error") {
        try {
            zip.OpenArchive(0);
            ADD_FAILURE() << "opened";
        } catch (const EZAException& e) {
            EXPECT_EQ(e.NativeError, r.reading["error"].toInt()) << e.what();
        }
        return;
    }
    zip.OpenArchive(0);
    const TZADirManager& dir = *zip.DMHandle();
    const QJsonArray entries = r.reading["entries"].toArray();
    ASSERT_EQ(dir.CDir.Count(), entries.size());
    EXPECT_EQ(dir.Recovered, r.reading["path"].toString() == "recovery from local headers");
    if (r.reading.contains("stub_size")) {
        EXPECT_EQ(dir.StubSize, r.reading["stub_size"].toInt());
    }
    TZAOverlapCheck overlaps; // kestrane-bar skips entries it marks: none of these
    for (int i = 0; i < dir.CDir.Count(); ++i) {
        const TDirItem& item = dir.CDir.Item(i);
        const std::string name = entries[i].toObject()["name"].toString().toStdString();
        EXPECT_EQ(std::string(item.Name), name) << "entry " << i;
        EXPECT_FALSE(!dir.Recovered && overlaps.Overlaps(item)) << name;
        if (r.reading.contains("offsets_shifted") && !item.IsDirectory()) {
            EXPECT_EQ(item.StubShift != 0, r.reading["offsets_shifted"].toBool()) << name;
        }
        std::string content;
        const std::string expected =
            ExpectedResult(r, name, entries[i].toObject()["extract"].toString().toStdString());
        EXPECT_EQ(ExtractOne(path, i, item, content), expected) << name;
        // The peers' own record of the same entry gives its size and CRC-32.
        if (expected != "ok" || i >= r.peerEntries.size())
            continue;
        const QJsonObject peer = r.peerEntries[i].toObject();
        if (peer["name"].toString().toStdString() != name)
            continue;
        EXPECT_EQ(std::int64_t(content.size()), peer["size"].toInteger()) << name;
        EXPECT_EQ(Crc32(content), peer["crc32"].toString().toUInt(nullptr, 16)) << name;
        if (peer.contains("content")) {
            EXPECT_EQ(content, peer["content"].toString().toStdString()) << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, PeerConformance, ::testing::ValuesIn(LoadRecords()),
                         [](const ::testing::TestParamInfo<Record>& info) {
                             std::string name = info.param.file;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST(PeerFixtures, AllEightyAreThere) {
    EXPECT_EQ(LoadRecords().size(), 80u);
    for (const Record& r : LoadRecords()) {
        EXPECT_TRUE(IsFile(Fixtures + "/" + r.file)) << r.file;
    }
}

} // namespace
