#pragma once
// Pieces shared by the two encoded file formats: the nibble transform of the
// body, the keyed digit checksum, and reading and writing of the file image.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
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
// Unscrambles the length / 2 pairs of a body (none when body is null) into a
// new buffer followed by `padding` zero bytes.
std::vector<unsigned char> UnscrambleBody(const unsigned char* body, std::size_t length, std::string_view key,
                                          std::size_t padding);

// The leading `digits` characters of OvCrypt_EncodeString(a, b) read as a
// decimal number modulo 2^32.
std::uint32_t DigitValue(const char* a, const char* b, int digits) noexcept;

// Reads an image file: the image (magic, then body) followed by its checksum,
// little-endian. image receives the image, checksum the stored value; false
// when the file cannot be read or holds no more than magic and checksum.
bool ReadImageFile(const char16_t* path, std::size_t magicSize, std::vector<unsigned char>& image,
                   std::uint32_t& checksum);
// Creates or truncates the file and writes image followed by the checksum,
// little-endian; false when any step fails.
bool WriteImageFile(const char16_t* path, const std::vector<unsigned char>& image, std::uint32_t checksum) noexcept;

// Writes text as an encoded file: magic, the body that file's encode(text,
// size, out) fills (4 bytes a character), then its checksum(image, size).
// False when the body is not filled or the file cannot be written.
template <typename File, typename Encode, typename Checksum>
bool WriteEncodedText(const char16_t* path, std::string_view magic, const std::u16string& text, const File& file,
                      Encode encode, Checksum checksum) {
    const std::size_t bodySize = 4 * text.size();
    std::vector<unsigned char> image(magic.size() + bodySize, 0);
    std::memcpy(image.data(), magic.data(), magic.size());
    if ((file.*encode)(text.c_str(), static_cast<int>(bodySize), image.data() + magic.size()) !=
        static_cast<int>(bodySize)) {
        return false;
    }
    return WriteImageFile(path, image, (file.*checksum)(image.data(), image.size()));
}

// Reads an encoded file into text: its stored checksum must match file's
// checksum(image, size); file's decode(body, size, text) turns the body after
// the magic into text. False when the file cannot be read or the sums differ.
template <typename File, typename Checksum, typename Decode>
bool ReadEncodedText(const char16_t* path, std::size_t magicSize, const File& file, Checksum checksum, Decode decode,
                     std::u16string& text) {
    std::vector<unsigned char> image;
    std::uint32_t stored = 0;
    if (!ReadImageFile(path, magicSize, image, stored) || (file.*checksum)(image.data(), image.size()) != stored) {
        return false;
    }
    (file.*decode)(image.data() + magicSize, image.size() - magicSize, text);
    return true;
}

}  // namespace ovcoder
