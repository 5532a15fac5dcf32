#pragma once
// Pieces shared by the two encoded file formats: the nibble transform of the
// body, the keyed digit checksum, and whole-file reading and writing.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace ovcoder {

// Each source byte b with key byte k (the key position starting at 0 and
// wrapping at the key's end) becomes two bytes whose high nibbles are the
// high and the low nibble of b XOR (k AND 15). The low nibbles are random
// filler that the reader ignores; they are never 10 or 13, and never 0 in
// the first byte of a pair. out receives 2 x n bytes.
void Scramble(const unsigned char* src, std::size_t n, std::string_view key, unsigned char* out) noexcept;
// The reverse of Scramble: n pairs of body bytes give n bytes in out.
void Unscramble(const unsigned char* body, std::size_t n, std::string_view key, unsigned char* out) noexcept;

// The leading `digits` characters of OvCrypt_EncodeString(a, b) read as a
// decimal number modulo 2^32.
std::uint32_t DigitValue(const char* a, const char* b, int digits) noexcept;

// Reads the whole file; false when it cannot be opened or read.
bool ReadWholeFile(const char16_t* path, std::vector<unsigned char>& bytes);
// Creates or truncates the file and writes image followed by the checksum,
// little-endian; false when any step fails.
bool WriteImageFile(const char16_t* path, const std::vector<unsigned char>& image, std::uint32_t checksum) noexcept;

inline std::uint32_t LoadLe32(const unsigned char* p) noexcept
{
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

}  // namespace ovcoder
