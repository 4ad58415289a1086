#include "ZACrypt.h"

#include <array>

namespace {

// The ZIP CRC-32 table (reflected polynomial 0xEDB88320), one byte at a time.
constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> CrcTable = MakeCrcTable();

std::uint32_t CrcByte(std::uint32_t crc, unsigned char b) {
    return CrcTable[(crc ^ b) & 0xFF] ^ (crc >> 8);
}

} // namespace

ZAPkzipDecryptor::ZAPkzipDecryptor(std::string_view password)
    : FKeys{0x12345678u, 0x23456789u, 0x34567890u} {
    for (const char c : password)
        UpdateKeys(static_cast<unsigned char>(c));
}

void ZAPkzipDecryptor::UpdateKeys(unsigned char plain) {
    FKeys[0] = CrcByte(FKeys[0], plain);
    FKeys[1] = (FKeys[1] + (FKeys[0] & 0xFF)) * 134775813u + 1;
    FKeys[2] = CrcByte(FKeys[2], static_cast<unsigned char>(FKeys[1] >> 24));
}

unsigned char ZAPkzipDecryptor::KeyByte() const {
    const std::uint32_t temp = (FKeys[2] | 2) & 0xFFFF;
    return static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
}

void ZAPkzipDecryptor::Decrypt(unsigned char* data, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        data[i] ^= KeyByte();
        UpdateKeys(data[i]);
    }
}

bool ZAPkzipDecryptor::CheckHeader(const unsigned char* header, unsigned char checkByte) {
    unsigned char copy[HeaderSize];
    for (std::size_t i = 0; i < HeaderSize; ++i)
        copy[i] = header[i];
    Decrypt(copy, HeaderSize);
    return copy[HeaderSize - 1] == checkByte;
}
