#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Traditional PKWARE encryption (APPNOTE 6.1), decrypting side.
class ZAPkzipDecryptor {
public:
    static constexpr std::size_t HeaderSize = 12;

    explicit ZAPkzipDecryptor(std::string_view password);
    // Decrypts the 12-byte encryption header and tells whether its last byte equals checkByte.
    bool CheckHeader(const unsigned char* header, unsigned char checkByte);
    void Decrypt(unsigned char* data, std::size_t length);

private:
    void UpdateKeys(unsigned char plain);
    unsigned char KeyByte() const;

    std::uint32_t FKeys[3];
};
