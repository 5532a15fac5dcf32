// Nibble transform, digit checksum and file access of the encoded files.
#include "scramble.h"

#include <cstdio>
#include <random>
#include <string>

#include "ovcoder/OvCrypt.h"
#include "platform/codepage.h"
#include "platform/file_replace.h"
#include "platform/stored_file.h"

namespace ovcoder {
namespace {

// Filler for the low nibbles. Any generator serves since readers ignore them;
// a generator of our own leaves the program's rand() sequence alone.
unsigned RandomNibble() noexcept {
    thread_local std::minstd_rand engine;
    return static_cast<unsigned>(engine() >> 7) & 15;
}

// Reads the whole file; false when it cannot be read, is no regular file
// or is larger than an encoded file may be.
bool ReadWholeFile(const char16_t* path, std::vector<unsigned char>& bytes) {
    if (!path || !*path) {
        return false;
    }
    ov::StoredFile file(ov::WideToUtf8(path), ov::kMaxConfigFileBytes);
    return file.ReadAll(bytes);
}

}  // namespace

void Scramble(const unsigned char* src, std::size_t n, std::string_view key, unsigned char* out) noexcept {
    std::size_t p = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned b = src[i];
        const unsigned k = static_cast<unsigned char>(key[p]) & 15u;
        unsigned r1 = RandomNibble();
        if (r1 == 0) {
            r1 = 8;
        } else if (r1 == 13) {
            r1 = 12;
        } else if (r1 == 10) {
            r1 = 15;
        }
        unsigned r2 = RandomNibble();
        if (r2 == 13) {
            r2 = 12;
        } else if (r2 == 10) {
            r2 = 15;
        }
        out[2 * i] = static_cast<unsigned char>((((b >> 4) ^ k) << 4) | r1);
        out[2 * i + 1] = static_cast<unsigned char>((((b & 15) ^ k) << 4) | r2);
        if (++p == key.size()) {
            p = 0;
        }
    }
}

void Unscramble(const unsigned char* body, std::size_t n, std::string_view key, unsigned char* out) noexcept {
    std::size_t p = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned k = static_cast<unsigned char>(key[p]);
        const unsigned x = body[2 * i], y = body[2 * i + 1];
        out[i] = static_cast<unsigned char>(((((x >> 4) ^ k) & 15) << 4) | (((y >> 4) ^ k) & 15));
        if (++p == key.size()) {
            p = 0;
        }
    }
}

std::vector<unsigned char> UnscrambleBody(const unsigned char* body, std::size_t length, std::string_view key,
                                          std::size_t padding) {
    const std::size_t n = body ? length / 2 : 0;
    std::vector<unsigned char> plain(n + padding, 0);
    if (n) {
        Unscramble(body, n, key, plain.data());
    }
    return plain;
}

std::uint32_t DigitValue(const char* a, const char* b, int digits) noexcept {
    char d[34] = {};
    OvCrypt_EncodeString(a, b, d);
    std::uint64_t v = 0;
    for (int i = 0; i < digits && d[i] >= '0' && d[i] <= '9'; ++i) {
        v = v * 10 + static_cast<unsigned>(d[i] - '0');
    }
    return static_cast<std::uint32_t>(v);
}

bool ReadImageFile(const char16_t* path, std::size_t magicSize, std::vector<unsigned char>& image,
                   std::uint32_t& checksum) {
    if (!ReadWholeFile(path, image) || image.size() <= magicSize + 4) {
        return false;
    }
    const std::size_t imageSize = image.size() - 4;
    const unsigned char* p = image.data() + imageSize;
    checksum =
        std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
    image.resize(imageSize);
    return true;
}

bool WriteImageFile(const char16_t* path, const std::vector<unsigned char>& image, std::uint32_t checksum) noexcept {
    if (!path || !*path) {
        return false;
    }
    try {
        const unsigned char tail[4] = {static_cast<unsigned char>(checksum), static_cast<unsigned char>(checksum >> 8),
                                       static_cast<unsigned char>(checksum >> 16),
                                       static_cast<unsigned char>(checksum >> 24)};
        // The old file stays whole when the new one cannot be written entirely.
        return ov::ReplaceFileWith(ov::WideToUtf8(path), [&](std::FILE* f) {
            return std::fwrite(image.data(), 1, image.size(), f) == image.size() &&
                   std::fwrite(tail, 1, sizeof tail, f) == sizeof tail;
        });
    } catch (...) {
        return false;
    }
}

}  // namespace ovcoder
