// The archive fuzzer's generated seeds: archives with the structures the peer fixtures have few
// of (Zip64 records and blocks, a prepended stub, data descriptors, traditional encryption,
// Unicode name blocks, folders, a damaged directory), a small archive of each hostile shape
// (recovery bomb, overlapping headers, count and size claims, traversal names, Zip64 variants)
// and small archives of the faults fixed so far.
#include "Seeds.h"

#include "ZADirManager.h"
#include "ZipBuilder.h"

using namespace ziptest;

namespace {

Entry File(std::string name, std::string data, std::uint16_t method = 8) {
    Entry e;
    e.name = std::move(name);
    e.data = std::move(data);
    e.method = method;
    return e;
}

std::string Manifest() {
    return "Archive-Manifest-Version: 1.5\r\nApplication-Name: Seed\r\n"
           "Package-Author: Kestrane\r\nEntry-Point-Type: Qnx/Elf\r\n";
}

Archive Plain() {
    Archive a;
    Entry folder = File("META-INF/", "", 0);
    folder.externalAttr = 0x10;
    a.entries = {folder, File("META-INF/MANIFEST.MF", Manifest()),
                 File("native/bar-descriptor.xml", "<qnx><id>seed</id></qnx>\n", 0)};
    return a;
}

} // namespace

std::vector<std::pair<std::string, std::string>> FuzzSeeds() {
    std::vector<std::pair<std::string, std::string>> seeds;
    seeds.emplace_back("plain.zip", Build(Plain()));

    Archive zip64 = Plain();
    zip64.zip64 = true;
    for (Entry& e : zip64.entries)
        e.zip64 = true;
    seeds.emplace_back("zip64.zip", Build(zip64));

    Archive stub = Plain();
    stub.prefix = "#!/bin/sh\necho a self-extracting stub\nexit 0\n";
    seeds.emplace_back("stub.zip", Build(stub));
    stub.absoluteOffsets = true;
    seeds.emplace_back("stub-absolute.zip", Build(stub));

    Archive descriptors = Plain();
    for (Entry& e : descriptors.entries)
        e.dataDescriptor = true;
    seeds.emplace_back("data-descriptor.zip", Build(descriptors));

    Archive encrypted;
    Entry secret = File("META-INF/MANIFEST.MF", Manifest());
    secret.password = "secret";
    Entry stored = File("stored.txt", "stored and encrypted", 0);
    stored.password = "secret";
    stored.dataDescriptor = true;
    encrypted.entries = {secret, stored};
    seeds.emplace_back("encrypted.zip", Build(encrypted));

    Archive unicode;
    Entry named = File("caf\x82.txt", "OEM name with a Unicode name block", 0);
    std::string block = "NUCX";
    Put32(block, 5);
    block += std::string("c\0a\0f\0\xe9\0!\0", 10);
    named.extra = ExtraBlock(ZAExtraUnicodeName, block);
    Entry utf8 = File("\xc3\xa9t\xc3\xa9.txt", "UTF-8 flagged", 0);
    utf8.flags = 0x0800;
    unicode.entries = {named, utf8};
    unicode.comment = "archive comment";
    seeds.emplace_back("unicode.zip", Build(unicode));

    // The end record cut off: opening rebuilds the directory from the local headers.
    std::string damaged = Build(descriptors);
    damaged.resize(damaged.size() - 22);
    seeds.emplace_back("no-end-record.zip", damaged);

    // The faults fixed since, each in a small archive.
    // Headers every 16 bytes claiming long names over the headers that follow: rebuilding must
    // not copy each name. Small, so that the fuzzer's runs from it stay quick.
    seeds.emplace_back("overlapping-headers.zip", OverlappingHeaders(8 * 1024, 4000));
    // The same shape as a recovery bomb, names that fit in the file: rebuilding takes only
    // headers that do not overlap the names taken before them.
    seeds.emplace_back("recovery-bomb.zip", OverlappingHeaders(64 * 1024, 16000));
    // A single-file Zip64 archive with 0xFFFF in the end record's disk fields.
    Archive allOnes = zip64;
    allOnes.diskNumber = 0xFFFF;
    allOnes.entryCount = 0xFFFF;
    seeds.emplace_back("zip64-disks-all-ones.zip", Build(allOnes));
    // Modes that must not reach the files: a link, set-user-ID, set-group-ID and sticky; the
    // link's name then stands where a folder of a later entry would go.
    Archive modes;
    const auto unixEntry = [](std::string name, std::string data, std::uint32_t mode) {
        Entry e = File(std::move(name), std::move(data), 0);
        e.versionMadeBy = 0x0314;
        e.externalAttr = mode << 16;
        return e;
    };
    modes.entries = {unixEntry("planted-dir", "/elsewhere", 0120777),
                     unixEntry("planted-dir/evil", "evil", 0100644),
                     unixEntry("setuid", "x", 0104777), unixEntry("setgid", "x", 0102777),
                     unixEntry("sticky", "x", 0101777)};
    seeds.emplace_back("unix-modes.zip", Build(modes));
    // Names with a zero byte and control characters.
    Archive controls;
    controls.entries = {File(std::string("nul\0name", 8), "x", 0), File("tab\tline\n", "y", 0)};
    seeds.emplace_back("control-names.zip", Build(controls));

    // Counts and sizes the end record claims: more entries than the directory holds (rebuilt
    // from the local headers), far more, and a directory larger than the file before it.
    Archive shortCount = Plain();
    shortCount.entryCount = 4;
    seeds.emplace_back("count-one-more.zip", Build(shortCount));
    Archive farCount = Plain();
    farCount.entryCount = 0xFFFE;
    seeds.emplace_back("count-far-beyond.zip", Build(farCount));
    Archive bigDirectory = Plain();
    bigDirectory.dirSize = 0x7FFFFFFF;
    seeds.emplace_back("directory-size-claim.zip", Build(bigDirectory));
    // Entry sizes and offsets the data cannot hold.
    Archive claims = Plain();
    claims.entries[1].uncompSize = 0x7FFFFFFF;
    claims.entries[2].offset = 0xFFFFFFF0;
    seeds.emplace_back("entry-claims.zip", Build(claims));

    // Names that climb out of the extraction folder or name another root.
    Archive traversal;
    traversal.entries = {
        File("../evil.txt", "evil", 0),         File("a/../../evil.txt", "evil", 0),
        File("/tmp/evil.txt", "evil", 0),       File("C:\\evil.txt", "evil", 0),
        File("a\\..\\..\\evil.txt", "evil", 0), File("..", "evil", 0),
        File("a/..b/./c..", "fine", 0)};
    seeds.emplace_back("traversal-names.zip", Build(traversal));

    // Zip64 variants: the locator without its record, the record past the end of the file, a
    // second disk, a Zip64 block shorter than its values, and sizes near 2^64 that overflow sums.
    std::string noRecord = Build(zip64);
    noRecord[noRecord.rfind(std::string("PK\x06\x06", 4))] = 'X';
    seeds.emplace_back("zip64-locator-without-record.zip", noRecord);
    std::string farRecord = Build(zip64);
    farRecord[farRecord.rfind(std::string("PK\x06\x07", 4)) + 8 + 5] = '\x7F';
    seeds.emplace_back("zip64-record-past-end.zip", farRecord);
    Archive twoDisks = zip64;
    twoDisks.diskNumber = 0xFFFF;
    twoDisks.zip64TotalDisks = 2;
    seeds.emplace_back("zip64-two-disks.zip", Build(twoDisks));
    Archive shortBlock = Plain();
    std::string seven;
    Put32(seven, 7);
    shortBlock.entries[1].uncompSize = 0xFFFFFFFF;
    shortBlock.entries[1].extra = ExtraBlock(ZAExtraZip64, seven);
    seeds.emplace_back("zip64-short-block.zip", Build(shortBlock));
    Archive huge = Plain();
    std::string all;
    Put64(all, ~std::uint64_t{0});
    for (Entry& e : huge.entries) {
        e.compSize = e.uncompSize = 0xFFFFFFFF;
        e.extra = ExtraBlock(ZAExtraZip64, all + all);
    }
    seeds.emplace_back("zip64-huge-sizes.zip", Build(huge));
    return seeds;
}
