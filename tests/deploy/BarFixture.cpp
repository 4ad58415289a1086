#include "BarFixture.h"

#include <QFile>

#include <stdexcept>
#include <zlib.h>

namespace kestrane::test {

namespace {

void put16(QByteArray& out, unsigned value) {
    out.append(char(value & 0xff)).append(char((value >> 8) & 0xff));
}

void put32(QByteArray& out, quint32 value) {
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}

// The fields a local header and a central directory record share, from "version needed" on.
void putCommonFields(QByteArray& out, const QByteArray& name, const QByteArray& data) {
    const quint32 crc = crc32(0, reinterpret_cast<const Bytef*>(data.constData()), data.size());
    put16(out, 20);   // version needed
    put16(out, 0);    // flags
    put16(out, 0);    // stored
    put16(out, 0);    // time
    put16(out, 0x21); // date: 1 January 1980
    put32(out, crc);
    put32(out, data.size());
    put32(out, data.size());
    put16(out, name.size());
    put16(out, 0); // extra field length
}

} // namespace

void WriteStoredZip(const QString& path,
                    const std::vector<std::pair<QByteArray, QByteArray>>& entries) {
    QByteArray archive, directory;
    for (const auto& [name, data] : entries) {
        const quint32 offset = archive.size();
        put32(archive, 0x04034b50);
        putCommonFields(archive, name, data);
        archive.append(name).append(data);

        put32(directory, 0x02014b50);
        put16(directory, 20); // version made by
        putCommonFields(directory, name, data);
        put16(directory, 0); // comment length
        put16(directory, 0); // disk
        put16(directory, 0); // internal attributes
        put32(directory, 0); // external attributes
        put32(directory, offset);
        directory.append(name);
    }
    const quint32 directoryOffset = archive.size();
    archive.append(directory);
    put32(archive, 0x06054b50);
    put16(archive, 0);
    put16(archive, 0);
    put16(archive, entries.size());
    put16(archive, entries.size());
    put32(archive, directory.size());
    put32(archive, directoryOffset);
    put16(archive, 0);

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(archive) != archive.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

QByteArray BarManifest(const QByteArray& packageName, const QByteArray& applicationName,
                       const QByteArray& version) {
    return "Archive-Manifest-Version: 1.5\r\n"
           "Archive-Created-By: Kestrane tests\r\n"
           "Package-Author: Kestrane Developer\r\n"
           "Package-Name: " +
           packageName +
           "\r\n"
           "Package-Version: " +
           version +
           "\r\n"
           "Package-Type: application\r\n"
           "Application-Name: " +
           applicationName +
           "\r\n"
           "Application-Version: " +
           version +
           "\r\n"
           "Entry-Point-Type: Qnx/Cascades\r\n";
}

void WriteBar(const QString& path, const QByteArray& manifest) {
    WriteStoredZip(path, {{"META-INF/MANIFEST.MF", manifest},
                          {"native/assets/readme.txt", "A package for the simulator.\n"}});
}

} // namespace kestrane::test
