// Writes the fuzzer's generated seeds into a folder: archives with the structures the peer
// fixtures have few of (Zip64 records and blocks, a prepended stub, data descriptors,
// traditional encryption, Unicode name blocks, folders, a damaged directory).
//   make_seeds FOLDER
#include "ZipBuilder.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

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

std::vector<std::pair<std::string, std::string>> Seeds() {
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
    named.extra = ExtraBlock(0x554E, block);
    Entry utf8 = File("\xc3\xa9t\xc3\xa9.txt", "UTF-8 flagged", 0);
    utf8.flags = 0x0800;
    unicode.entries = {named, utf8};
    unicode.comment = "archive comment";
    seeds.emplace_back("unicode.zip", Build(unicode));

    // The end record cut off: opening rebuilds the directory from the local headers.
    std::string damaged = Build(descriptors);
    damaged.resize(damaged.size() - 22);
    seeds.emplace_back("no-end-record.zip", damaged);
    return seeds;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    for (const auto& [name, bytes] : Seeds()) {
        const std::string path = std::string(argv[1]) + "/seed-" + name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() ||
            std::fclose(f) != 0) {
            std::perror(path.c_str());
            return 1;
        }
    }
    return 0;
}
