#include "ZipBuilder.h"

#include "ZADirManager.h"

#include <stdexcept>
#include <zlib.h>

namespace ziptest {

void Put16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void Put32(std::string& out, std::uint32_t v) {
    Put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    Put16(out, static_cast<std::uint16_t>(v >> 16));
}

void Put64(std::string& out, std::uint64_t v) {
    Put32(out, static_cast<std::uint32_t>(v & 0xFFFFFFFF));
    Put32(out, static_cast<std::uint32_t>(v >> 32));
}

std::string ExtraBlock(std::uint16_t id, const std::string& data) {
    std::string block;
    Put16(block, id);
    Put16(block, static_cast<std::uint16_t>(data.size()));
    return block + data;
}

std::uint32_t Crc32(const std::string& data) {
    return static_cast<std::uint32_t>(
        crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

std::uint32_t Adler32(const std::string& data) {
    return static_cast<std::uint32_t>(
        adler32_z(1, reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

std::string Deflate(const std::string& data) {
    z_stream zs{};
    if (deflateInit2(&zs, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&zs, data.size()) + 16, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    if (deflate(&zs, Z_FINISH) != Z_STREAM_END)
        throw std::runtime_error("deflate");
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

namespace {

// Traditional PKWARE encryption (APPNOTE 6.1), encrypting side.
class Encryptor {
public:
    explicit Encryptor(const std::string& password) {
        for (const char c : password)
            Update(static_cast<unsigned char>(c));
    }
    std::string Encrypt(const std::string& plain) {
        std::string out = plain;
        for (char& c : out) {
            const auto p = static_cast<unsigned char>(c);
            c = static_cast<char>(p ^ KeyByte());
            Update(p);
        }
        return out;
    }

private:
    static std::uint32_t CrcByte(std::uint32_t crc, unsigned char b) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
        return crc;
    }
    void Update(unsigned char p) {
        keys[0] = CrcByte(keys[0], p);
        keys[1] = (keys[1] + (keys[0] & 0xFF)) * 134775813u + 1;
        keys[2] = CrcByte(keys[2], static_cast<unsigned char>(keys[1] >> 24));
    }
    unsigned char KeyByte() const {
        const std::uint32_t t = (keys[2] | 2) & 0xFFFF;
        return static_cast<unsigned char>((t * (t ^ 1)) >> 8);
    }
    std::uint32_t keys[3] = {0x12345678u, 0x23456789u, 0x34567890u};
};

struct Laid {
    std::string payload;
    std::uint32_t crc;
    std::uint64_t offset; // of the local header, from the start of the ZIP data
};

std::string Payload(const Entry& e, std::uint32_t crc) {
    std::string payload = e.payload ? *e.payload : e.method == 8 ? Deflate(e.data) : e.data;
    if (e.password.empty())
        return payload;
    // The header's last byte is the check byte: CRC high byte, or the time's with bit 3.
    std::string header = "0123456789a";
    header += static_cast<char>(e.dataDescriptor ? e.time >> 8 : crc >> 24);
    return Encryptor(e.password).Encrypt(header + payload);
}

std::string Zip64Block(std::uint64_t uncomp, std::uint64_t comp, std::uint64_t offset,
                       bool withOffset) {
    std::string data;
    Put64(data, uncomp);
    Put64(data, comp);
    if (withOffset)
        Put64(data, offset);
    return ExtraBlock(ZAExtraZip64, data);
}

} // namespace

std::string Build(const Archive& archive) {
    std::string zip; // from the start of the ZIP data
    std::vector<Laid> laid;
    for (const Entry& e : archive.entries) {
        const std::uint32_t crc = e.crc ? *e.crc : Crc32(e.data);
        Laid l{Payload(e, crc), crc, zip.size()};
        const std::uint16_t flags = static_cast<std::uint16_t>(
            e.flags | (e.dataDescriptor ? 8 : 0) | (e.password.empty() ? 0 : 1));
        std::string localExtra = e.localExtra;
        if (e.zip64)
            localExtra = Zip64Block(e.data.size(), l.payload.size(), 0, false) + localExtra;
        Put32(zip, 0x04034B50);
        Put16(zip, e.versionNeeded);
        Put16(zip, flags);
        Put16(zip, e.method);
        Put16(zip, e.time);
        Put16(zip, e.date);
        const bool zeros = e.dataDescriptor;
        Put32(zip, zeros ? 0 : crc);
        Put32(zip, zeros ? 0 : e.zip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(l.payload.size()));
        Put32(zip, zeros ? 0 : e.zip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(e.data.size()));
        Put16(zip, static_cast<std::uint16_t>(e.name.size()));
        Put16(zip, static_cast<std::uint16_t>(localExtra.size()));
        zip += e.name + localExtra + l.payload;
        if (e.dataDescriptor) {
            Put32(zip, 0x08074B50);
            Put32(zip, crc);
            Put32(zip, static_cast<std::uint32_t>(l.payload.size()));
            Put32(zip, static_cast<std::uint32_t>(e.data.size()));
        }
        laid.push_back(l);
    }
    const std::uint64_t base = archive.absoluteOffsets ? archive.prefix.size() : 0;
    const std::uint64_t dirStart = zip.size();
    for (std::size_t i = 0; i < archive.entries.size(); ++i) {
        const Entry& e = archive.entries[i];
        const Laid& l = laid[i];
        const auto field = [&](std::optional<std::uint32_t> given, std::uint64_t value) {
            return given ? *given : e.zip64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(value);
        };
        const std::uint32_t compSize = field(e.compSize, l.payload.size());
        const std::uint32_t uncompSize = field(e.uncompSize, e.data.size());
        const std::uint32_t offset = field(e.offset, base + l.offset);
        std::string extra = e.extra;
        if (e.zip64) { // the values of the fields that are all ones, in their order
            std::string values;
            if (uncompSize == 0xFFFFFFFF)
                Put64(values, e.data.size());
            if (compSize == 0xFFFFFFFF)
                Put64(values, l.payload.size());
            if (offset == 0xFFFFFFFF)
                Put64(values, base + l.offset);
            extra = ExtraBlock(ZAExtraZip64, values) + extra;
        }
        const std::uint16_t flags = static_cast<std::uint16_t>(
            e.flags | (e.dataDescriptor ? 8 : 0) | (e.password.empty() ? 0 : 1));
        Put32(zip, 0x02014B50);
        Put16(zip, e.versionMadeBy);
        Put16(zip, e.versionNeeded);
        Put16(zip, flags);
        Put16(zip, e.method);
        Put16(zip, e.time);
        Put16(zip, e.date);
        Put32(zip, l.crc);
        Put32(zip, compSize);
        Put32(zip, uncompSize);
        Put16(zip, static_cast<std::uint16_t>(e.name.size()));
        Put16(zip, static_cast<std::uint16_t>(extra.size()));
        Put16(zip, static_cast<std::uint16_t>(e.comment.size()));
        Put16(zip, 0);
        Put16(zip, 0);
        Put32(zip, e.externalAttr);
        Put32(zip, offset);
        zip += e.name + extra + e.comment;
    }
    const std::uint64_t dirSize = zip.size() - dirStart;
    const std::uint16_t count = archive.entryCount
                                    ? *archive.entryCount
                                    : static_cast<std::uint16_t>(archive.entries.size());
    if (archive.zip64) {
        const std::uint64_t recordAt = base + zip.size();
        Put32(zip, 0x06064B50);
        Put64(zip, 44);
        Put16(zip, 45);
        Put16(zip, 45);
        Put32(zip, 0);
        Put32(zip, 0);
        Put64(zip, archive.entries.size());
        Put64(zip, archive.entries.size());
        Put64(zip, dirSize);
        Put64(zip, base + dirStart);
        Put32(zip, 0x07064B50);
        Put32(zip, archive.zip64RecordDisk);
        Put64(zip, recordAt);
        Put32(zip, archive.zip64TotalDisks);
    }
    Put32(zip, 0x06054B50);
    Put16(zip, archive.diskNumber ? *archive.diskNumber : 0);
    Put16(zip, archive.diskNumber ? *archive.diskNumber : 0);
    Put16(zip, count);
    Put16(zip, count);
    Put32(zip, archive.dirSize ? *archive.dirSize : static_cast<std::uint32_t>(dirSize));
    Put32(zip, static_cast<std::uint32_t>(base + dirStart));
    Put16(zip, archive.commentLength ? *archive.commentLength
                                     : static_cast<std::uint16_t>(archive.comment.size()));
    return archive.prefix + zip + archive.comment + archive.trailing;
}

std::string OverlappingHeaders(std::size_t size, std::uint16_t nameLength) {
    // Header fields overlap the next signatures: the name length (at 26) falls on bytes 10-11
    // of the following 16, the compressed size (at 18) on its signature and bytes 4-5 (zero, so
    // that the size stays below the file's), the extra length (at 28) on bytes 12-13 (zero).
    std::string chunk("PK\x03\x04", 4);
    chunk.resize(16, '\0');
    chunk[10] = static_cast<char>(nameLength & 0xFF);
    chunk[11] = static_cast<char>(nameLength >> 8);
    std::string bytes;
    while (bytes.size() + chunk.size() <= size)
        bytes += chunk;
    bytes.resize(size, '\0');
    return bytes;
}

} // namespace ziptest
