#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// A readable archive of known size. Reads are positional, so nothing depends on a file pointer.
class TZAStream {
public:
    virtual ~TZAStream() = default;
    virtual std::int64_t Size() const = 0;
    // Reads up to len bytes at pos; fewer only at the end of the stream.
    virtual std::size_t ReadAt(std::int64_t pos, void* buffer, std::size_t len) = 0;
    // Reads exactly len bytes at pos, else raises EZAReadError.
    void ReadExact(std::int64_t pos, void* buffer, std::size_t len);
    // True when [pos, pos + len) lies inside the stream.
    bool Holds(std::int64_t pos, std::int64_t len) const {
        return pos >= 0 && len >= 0 && pos <= Size() && len <= Size() - pos;
    }
};

// The archive file, opened read-only through a file descriptor.
class TZAFileStream : public TZAStream {
public:
    // Mode: the open-mode word's access bits (0 read, 1 write, 2 read and write). Raises
    // EZAOpenError ("Cannot open file "<full path>". <system error text>") on failure.
    TZAFileStream(const std::string& fileName, unsigned mode);
    ~TZAFileStream() override;
    TZAFileStream(const TZAFileStream&) = delete;
    TZAFileStream& operator=(const TZAFileStream&) = delete;

    std::int64_t Size() const override { return FSize; }
    std::size_t ReadAt(std::int64_t pos, void* buffer, std::size_t len) override;

private:
    int FHandle = -1;
    std::int64_t FSize = 0;
};

// An archive held in memory (tests, fuzzing).
class TZAMemoryStream : public TZAStream {
public:
    explicit TZAMemoryStream(std::string bytes) : FBytes(std::move(bytes)) {}
    std::int64_t Size() const override { return static_cast<std::int64_t>(FBytes.size()); }
    std::size_t ReadAt(std::int64_t pos, void* buffer, std::size_t len) override;

private:
    std::string FBytes;
};

// Forward signature searches and small reads over a stream through one reusable window, so
// that scans over a large file cost one big read per window instead of one read per look.
class TZAWindowReader {
public:
    explicit TZAWindowReader(TZAStream& stream, std::size_t windowSize = 1 << 20);

    // Position of the first occurrence of the 4-byte signature at or after from, or -1.
    std::int64_t FindSignature(std::uint32_t signature, std::int64_t from);
    // The bytes [pos, pos + len), from the window when it holds them; raises EZAReadError when
    // they are not all inside the stream.
    std::string_view View(std::int64_t pos, std::size_t len) {
        if (len == 0)
            return {};
        if (InWindow(pos, len))
            return {FBuffer.get() + (pos - FStart), len};
        return ViewFromStream(pos, len);
    }
    // True when the window holds [pos, pos + len) already, so that View costs no read.
    bool InWindow(std::int64_t pos, std::size_t len) const {
        return pos >= FStart && len <= FLength && pos - FStart <= std::int64_t(FLength - len);
    }

private:
    std::string_view ViewFromStream(std::int64_t pos, std::size_t len);
    void Load(std::int64_t pos);

    TZAStream& FStream;
    std::unique_ptr<char[]> FBuffer;
    std::size_t FCapacity;
    std::int64_t FStart = 0; // window [FStart, FStart + FLength)
    std::size_t FLength = 0;
    std::string FLarge; // views longer than the window
    // Memo of the last search: the first hit at or after FMemoFrom is FMemoHit (-1: none).
    std::uint32_t FMemoSignature = 0;
    std::int64_t FMemoFrom = -1;
    std::int64_t FMemoHit = -1;
};

// Little-endian loads from raw bytes.
inline std::uint16_t ZALoad16(const void* p) {
    const auto* b = static_cast<const unsigned char*>(p);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}
inline std::uint32_t ZALoad32(const void* p) {
    const auto* b = static_cast<const unsigned char*>(p);
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}
inline std::uint64_t ZALoad64(const void* p) {
    const auto* b = static_cast<const unsigned char*>(p);
    return ZALoad32(b) | (static_cast<std::uint64_t>(ZALoad32(b + 4)) << 32);
}

// Reads little-endian values from a byte range; every read is checked against the range and a
// read past its end raises EZAReadError, so hostile lengths never reach outside it.
class ZAByteReader {
public:
    explicit ZAByteReader(std::string_view bytes) : FBytes(bytes) {}
    std::size_t Position() const { return FPos; }
    std::size_t Left() const { return FBytes.size() - FPos; }
    void Seek(std::size_t pos);
    std::string_view Take(std::size_t len) {
        if (len > FBytes.size() - FPos)
            Overrun();
        const std::string_view part = FBytes.substr(FPos, len);
        FPos += len;
        return part;
    }
    void Skip(std::size_t len) { Take(len); }
    std::uint8_t U8() { return static_cast<std::uint8_t>(Take(1)[0]); }
    std::uint16_t U16() { return ZALoad16(Take(2).data()); }
    std::uint32_t U32() { return ZALoad32(Take(4).data()); }
    std::uint64_t U64() { return ZALoad64(Take(8).data()); }

private:
    [[noreturn]] static void Overrun();

    std::string_view FBytes;
    std::size_t FPos = 0;
};
