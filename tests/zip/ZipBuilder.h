#pragma once

// A small ZIP writer for the tests: builds archives in memory with every field open to change,
// so that each test states exactly the bytes it is about.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ziptest {

constexpr std::uint16_t DosDate2020 = ((2020 - 1980) << 9) | (5 << 5) | 17; // 17 May 2020
constexpr std::uint16_t DosNoon = 12 << 11;

struct Entry {
    std::string name; // raw bytes
    std::string data; // the content before compression
    std::uint16_t method = 0;
    // The bytes stored as the entry's data; by default data, deflated for method 8.
    std::optional<std::string> payload;
    std::uint16_t flags = 0;
    std::uint16_t versionMadeBy = 20;
    std::uint16_t versionNeeded = 20;
    std::uint32_t externalAttr = 0x20;
    std::uint16_t time = DosNoon;
    std::uint16_t date = DosDate2020;
    std::string extra;      // central directory extra field
    std::string localExtra; // local header extra field
    std::string comment;
    std::optional<std::uint32_t> crc;        // central (and local) CRC-32 instead of the real one
    std::optional<std::uint32_t> compSize;   // central compressed size field
    std::optional<std::uint32_t> uncompSize; // central uncompressed size field
    std::optional<std::uint32_t> offset;     // central local-header offset field
    bool dataDescriptor = false; // flag bit 3, zeros in the local header, a signed descriptor
    // Written as Zip64: 32-bit sizes and offset all ones, the values in a Zip64 extra block.
    bool zip64 = false;
    std::string password; // traditional PKWARE encryption when not empty
};

struct Archive {
    std::vector<Entry> entries;
    std::string comment;
    std::string prefix; // bytes before the ZIP data
    // Offsets count from the start of the file (true) or from the start of the ZIP data.
    bool absoluteOffsets = false;
    std::string trailing; // bytes after the end record that its comment length does not cover
    bool zip64 = false;   // Zip64 end record and locator before the end record
    std::optional<std::uint16_t> entryCount;    // end record entriesCentralDir (and entriesOnDisk)
    std::optional<std::uint32_t> dirSize;       // end record centralDirSize
    std::optional<std::uint16_t> diskNumber;    // end record diskNumber and startDiskNumber
    std::uint32_t zip64RecordDisk = 0;          // Zip64 locator: the disk of the Zip64 record
    std::uint32_t zip64TotalDisks = 1;          // Zip64 locator: the number of disks
    std::optional<std::uint16_t> commentLength; // end record commentLength
};

std::string Build(const Archive& archive);

// size bytes without an end record, with a local header signature every 16 bytes, each header
// claiming a name of nameLength bytes: rebuilding its directory must not copy every claimed name.
std::string OverlappingHeaders(std::size_t size, std::uint16_t nameLength = 65535);

// Raw deflate of data (level 6).
std::string Deflate(const std::string& data);
std::uint32_t Crc32(const std::string& data);
std::uint32_t Adler32(const std::string& data);

// Little-endian field writers.
void Put16(std::string& out, std::uint16_t v);
void Put32(std::string& out, std::uint32_t v);
void Put64(std::string& out, std::uint64_t v);
// One extra block: id, size, data.
std::string ExtraBlock(std::uint16_t id, const std::string& data);

} // namespace ziptest
