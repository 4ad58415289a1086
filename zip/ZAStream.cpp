#include "ZAStream.h"

#include "EZAException.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

void TZAStream::ReadExact(std::int64_t pos, void* buffer, std::size_t len) {
    if (!Holds(pos, static_cast<std::int64_t>(len)) || ReadAt(pos, buffer, len) != len)
        throw EZAReadError();
}

namespace {

std::string FullPath(const std::string& fileName) {
    std::error_code ec;
    const auto full = std::filesystem::absolute(fileName, ec);
    return ec ? fileName : full.string();
}

[[noreturn]] void ThrowOpenError(const std::string& fileName, int error) {
    throw EZAOpenError("Cannot open file \"" + FullPath(fileName) + "\". " + std::strerror(error));
}

} // namespace

TZAFileStream::TZAFileStream(const std::string& fileName, unsigned mode) {
    const unsigned access = mode & 3;
    const int flags = access == 1 ? O_WRONLY : access == 2 ? O_RDWR : O_RDONLY;
    // Non-blocking for the open only, so that a FIFO named as archive cannot hang the caller.
    FHandle = ::open(fileName.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (FHandle < 0)
        ThrowOpenError(fileName, errno);
    struct stat st {};
    if (::fstat(FHandle, &st) != 0) {
        const int error = errno;
        ::close(FHandle);
        ThrowOpenError(fileName, error);
    }
    ::fcntl(FHandle, F_SETFL, ::fcntl(FHandle, F_GETFL) & ~O_NONBLOCK);
    FSize = S_ISREG(st.st_mode) ? st.st_size : 0;
}

TZAFileStream::~TZAFileStream() {
    if (FHandle >= 0)
        ::close(FHandle);
}

std::size_t TZAFileStream::ReadAt(std::int64_t pos, void* buffer, std::size_t len) {
    std::size_t done = 0;
    while (done < len) {
        const ssize_t n = ::pread(FHandle, static_cast<char*>(buffer) + done, len - done,
                                  static_cast<off_t>(pos + static_cast<std::int64_t>(done)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::size_t TZAMemoryStream::ReadAt(std::int64_t pos, void* buffer, std::size_t len) {
    if (pos < 0 || pos >= Size())
        return 0;
    const std::size_t n = std::min(len, FBytes.size() - static_cast<std::size_t>(pos));
    std::memcpy(buffer, FBytes.data() + pos, n);
    return n;
}

// No read goes past the end of the stream, so a window as large as the stream is large enough.
TZAWindowReader::TZAWindowReader(TZAStream& stream, std::size_t windowSize)
    : FStream(stream),
      FCapacity(static_cast<std::size_t>(std::clamp<std::int64_t>(
          stream.Size(), 64, static_cast<std::int64_t>(std::max<std::size_t>(windowSize, 64))))) {}

void TZAWindowReader::Load(std::int64_t pos) {
    if (!FBuffer)
        FBuffer.reset(new char[FCapacity]);
    FStart = pos;
    const std::int64_t left = FStream.Size() - pos;
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(left, FCapacity));
    FLength = FStream.ReadAt(pos, FBuffer.get(), want);
}

std::string_view TZAWindowReader::ViewFromStream(std::int64_t pos, std::size_t len) {
    if (!FStream.Holds(pos, static_cast<std::int64_t>(len)))
        throw EZAReadError();
    if (len > FCapacity) {
        FLarge.resize(len);
        FStream.ReadExact(pos, FLarge.data(), len);
        return FLarge;
    }
    const bool inside = pos >= FStart && pos - FStart + static_cast<std::int64_t>(len) <=
                                             static_cast<std::int64_t>(FLength);
    if (!inside)
        Load(pos);
    if (pos - FStart + static_cast<std::int64_t>(len) > static_cast<std::int64_t>(FLength))
        throw EZAReadError(); // the file shrank under us
    return {FBuffer.get() + (pos - FStart), len};
}

std::int64_t TZAWindowReader::FindSignature(std::uint32_t signature, std::int64_t from) {
    if (from < 0)
        from = 0;
    // A later search starting between the last start and its hit has the same answer.
    if (signature == FMemoSignature && FMemoFrom >= 0 && from >= FMemoFrom &&
        (FMemoHit < 0 || from <= FMemoHit))
        return FMemoHit;
    unsigned char sig[4];
    for (int k = 0; k < 4; ++k)
        sig[k] = static_cast<unsigned char>(signature >> (8 * k));
    std::int64_t hit = -1;
    for (std::int64_t pos = from; pos + 4 <= FStream.Size();) {
        const bool inside = pos >= FStart && pos - FStart + 4 <= static_cast<std::int64_t>(FLength);
        if (!inside)
            Load(pos);
        if (pos - FStart + 4 > static_cast<std::int64_t>(FLength))
            break; // the file shrank under us
        // The third signature byte (03, 05, 06, 07) is rare in text and headers, so it is the
        // one looked for; the other three are compared at each place it occurs.
        const auto* base = reinterpret_cast<const unsigned char*>(FBuffer.get());
        const unsigned char* p = base + (pos - FStart);
        const unsigned char* last = base + FLength - 4; // last possible start
        p += 2;
        while (p <= last + 2) {
            p = static_cast<const unsigned char*>(std::memchr(p, sig[2], last + 3 - p));
            if (p == nullptr)
                break;
            if (p[-2] == sig[0] && p[-1] == sig[1] && p[1] == sig[3]) {
                hit = FStart + (p - 2 - base);
                break;
            }
            ++p;
        }
        if (hit >= 0)
            break;
        pos = FStart + static_cast<std::int64_t>(FLength) - 3;
    }
    FMemoSignature = signature;
    FMemoFrom = from;
    FMemoHit = hit;
    return hit;
}

void ZAByteReader::Seek(std::size_t pos) {
    if (pos > FBytes.size())
        throw EZAReadError();
    FPos = pos;
}

void ZAByteReader::Overrun() {
    throw EZAReadError();
}
