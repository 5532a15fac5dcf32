// MD5 (RFC 1321), its hexadecimal text, and the keyed digit string.
#include "ovcoder/OvCrypt.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "md5.h"

namespace ovcoder {
namespace {

inline std::uint32_t Load32(const unsigned char* p) noexcept {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::big) {
        v = __builtin_bswap32(v);
    }
    return v;
}

inline void Store32(unsigned char* p, std::uint32_t v) noexcept {
    if constexpr (std::endian::native == std::endian::big) {
        v = __builtin_bswap32(v);
    }
    std::memcpy(p, &v, 4);
}

// The four round functions, in the forms that need the fewest operations.
#define OV_MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define OV_MD5_G(x, y, z) ((y) ^ ((z) & ((x) ^ (y))))
#define OV_MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define OV_MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))
#define OV_MD5_STEP(f, a, b, c, d, x, t, s) \
    (a) += f((b), (c), (d)) + (x) + (t);    \
    (a) = std::rotl((a), (s)) + (b)

}  // namespace

void Md5::Blocks(const unsigned char* p, std::size_t blocks) noexcept {
    std::uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
    for (; blocks > 0; --blocks, p += 64) {
        std::uint32_t x[16];
        for (int i = 0; i < 16; ++i) {
            x[i] = Load32(p + 4 * i);
        }
        const std::uint32_t aa = a, bb = b, cc = c, dd = d;

        OV_MD5_STEP(OV_MD5_F, a, b, c, d, x[0], 0xd76aa478, 7);
        OV_MD5_STEP(OV_MD5_F, d, a, b, c, x[1], 0xe8c7b756, 12);
        OV_MD5_STEP(OV_MD5_F, c, d, a, b, x[2], 0x242070db, 17);
        OV_MD5_STEP(OV_MD5_F, b, c, d, a, x[3], 0xc1bdceee, 22);
        OV_MD5_STEP(OV_MD5_F, a, b, c, d, x[4], 0xf57c0faf, 7);
        OV_MD5_STEP(OV_MD5_F, d, a, b, c, x[5], 0x4787c62a, 12);
        OV_MD5_STEP(OV_MD5_F, c, d, a, b, x[6], 0xa8304613, 17);
        OV_MD5_STEP(OV_MD5_F, b, c, d, a, x[7], 0xfd469501, 22);
        OV_MD5_STEP(OV_MD5_F, a, b, c, d, x[8], 0x698098d8, 7);
        OV_MD5_STEP(OV_MD5_F, d, a, b, c, x[9], 0x8b44f7af, 12);
        OV_MD5_STEP(OV_MD5_F, c, d, a, b, x[10], 0xffff5bb1, 17);
        OV_MD5_STEP(OV_MD5_F, b, c, d, a, x[11], 0x895cd7be, 22);
        OV_MD5_STEP(OV_MD5_F, a, b, c, d, x[12], 0x6b901122, 7);
        OV_MD5_STEP(OV_MD5_F, d, a, b, c, x[13], 0xfd987193, 12);
        OV_MD5_STEP(OV_MD5_F, c, d, a, b, x[14], 0xa679438e, 17);
        OV_MD5_STEP(OV_MD5_F, b, c, d, a, x[15], 0x49b40821, 22);

        OV_MD5_STEP(OV_MD5_G, a, b, c, d, x[1], 0xf61e2562, 5);
        OV_MD5_STEP(OV_MD5_G, d, a, b, c, x[6], 0xc040b340, 9);
        OV_MD5_STEP(OV_MD5_G, c, d, a, b, x[11], 0x265e5a51, 14);
        OV_MD5_STEP(OV_MD5_G, b, c, d, a, x[0], 0xe9b6c7aa, 20);
        OV_MD5_STEP(OV_MD5_G, a, b, c, d, x[5], 0xd62f105d, 5);
        OV_MD5_STEP(OV_MD5_G, d, a, b, c, x[10], 0x02441453, 9);
        OV_MD5_STEP(OV_MD5_G, c, d, a, b, x[15], 0xd8a1e681, 14);
        OV_MD5_STEP(OV_MD5_G, b, c, d, a, x[4], 0xe7d3fbc8, 20);
        OV_MD5_STEP(OV_MD5_G, a, b, c, d, x[9], 0x21e1cde6, 5);
        OV_MD5_STEP(OV_MD5_G, d, a, b, c, x[14], 0xc33707d6, 9);
        OV_MD5_STEP(OV_MD5_G, c, d, a, b, x[3], 0xf4d50d87, 14);
        OV_MD5_STEP(OV_MD5_G, b, c, d, a, x[8], 0x455a14ed, 20);
        OV_MD5_STEP(OV_MD5_G, a, b, c, d, x[13], 0xa9e3e905, 5);
        OV_MD5_STEP(OV_MD5_G, d, a, b, c, x[2], 0xfcefa3f8, 9);
        OV_MD5_STEP(OV_MD5_G, c, d, a, b, x[7], 0x676f02d9, 14);
        OV_MD5_STEP(OV_MD5_G, b, c, d, a, x[12], 0x8d2a4c8a, 20);

        OV_MD5_STEP(OV_MD5_H, a, b, c, d, x[5], 0xfffa3942, 4);
        OV_MD5_STEP(OV_MD5_H, d, a, b, c, x[8], 0x8771f681, 11);
        OV_MD5_STEP(OV_MD5_H, c, d, a, b, x[11], 0x6d9d6122, 16);
        OV_MD5_STEP(OV_MD5_H, b, c, d, a, x[14], 0xfde5380c, 23);
        OV_MD5_STEP(OV_MD5_H, a, b, c, d, x[1], 0xa4beea44, 4);
        OV_MD5_STEP(OV_MD5_H, d, a, b, c, x[4], 0x4bdecfa9, 11);
        OV_MD5_STEP(OV_MD5_H, c, d, a, b, x[7], 0xf6bb4b60, 16);
        OV_MD5_STEP(OV_MD5_H, b, c, d, a, x[10], 0xbebfbc70, 23);
        OV_MD5_STEP(OV_MD5_H, a, b, c, d, x[13], 0x289b7ec6, 4);
        OV_MD5_STEP(OV_MD5_H, d, a, b, c, x[0], 0xeaa127fa, 11);
        OV_MD5_STEP(OV_MD5_H, c, d, a, b, x[3], 0xd4ef3085, 16);
        OV_MD5_STEP(OV_MD5_H, b, c, d, a, x[6], 0x04881d05, 23);
        OV_MD5_STEP(OV_MD5_H, a, b, c, d, x[9], 0xd9d4d039, 4);
        OV_MD5_STEP(OV_MD5_H, d, a, b, c, x[12], 0xe6db99e5, 11);
        OV_MD5_STEP(OV_MD5_H, c, d, a, b, x[15], 0x1fa27cf8, 16);
        OV_MD5_STEP(OV_MD5_H, b, c, d, a, x[2], 0xc4ac5665, 23);

        OV_MD5_STEP(OV_MD5_I, a, b, c, d, x[0], 0xf4292244, 6);
        OV_MD5_STEP(OV_MD5_I, d, a, b, c, x[7], 0x432aff97, 10);
        OV_MD5_STEP(OV_MD5_I, c, d, a, b, x[14], 0xab9423a7, 15);
        OV_MD5_STEP(OV_MD5_I, b, c, d, a, x[5], 0xfc93a039, 21);
        OV_MD5_STEP(OV_MD5_I, a, b, c, d, x[12], 0x655b59c3, 6);
        OV_MD5_STEP(OV_MD5_I, d, a, b, c, x[3], 0x8f0ccc92, 10);
        OV_MD5_STEP(OV_MD5_I, c, d, a, b, x[10], 0xffeff47d, 15);
        OV_MD5_STEP(OV_MD5_I, b, c, d, a, x[1], 0x85845dd1, 21);
        OV_MD5_STEP(OV_MD5_I, a, b, c, d, x[8], 0x6fa87e4f, 6);
        OV_MD5_STEP(OV_MD5_I, d, a, b, c, x[15], 0xfe2ce6e0, 10);
        OV_MD5_STEP(OV_MD5_I, c, d, a, b, x[6], 0xa3014314, 15);
        OV_MD5_STEP(OV_MD5_I, b, c, d, a, x[13], 0x4e0811a1, 21);
        OV_MD5_STEP(OV_MD5_I, a, b, c, d, x[4], 0xf7537e82, 6);
        OV_MD5_STEP(OV_MD5_I, d, a, b, c, x[11], 0xbd3af235, 10);
        OV_MD5_STEP(OV_MD5_I, c, d, a, b, x[2], 0x2ad7d2bb, 15);
        OV_MD5_STEP(OV_MD5_I, b, c, d, a, x[9], 0xeb86d391, 21);

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    m_state[0] = a;
    m_state[1] = b;
    m_state[2] = c;
    m_state[3] = d;
}

#undef OV_MD5_F
#undef OV_MD5_G
#undef OV_MD5_H
#undef OV_MD5_I
#undef OV_MD5_STEP

void Md5::Update(const void* data, std::size_t length) noexcept {
    if (length == 0) {
        return;
    }
    const auto* p = static_cast<const unsigned char*>(data);
    const std::size_t used = static_cast<std::size_t>(m_bytes % 64);
    m_bytes += length;
    if (used) {
        const std::size_t take = length < 64 - used ? length : 64 - used;
        std::memcpy(m_buffer + used, p, take);
        p += take;
        length -= take;
        if (used + take < 64) {
            return;
        }
        Blocks(m_buffer, 1);
    }
    Blocks(p, length / 64);
    p += length / 64 * 64;
    std::memcpy(m_buffer, p, length % 64);
}

void Md5::Final(unsigned char digest[16]) noexcept {
    // 0x80, zeros up to 56 modulo 64, then the length in bits, little-endian.
    const std::uint64_t bits = m_bytes * 8;
    static constexpr unsigned char kPadding[64] = {0x80};
    const std::size_t used = static_cast<std::size_t>(m_bytes % 64);
    Update(kPadding, used < 56 ? 56 - used : 120 - used);
    unsigned char tail[8];
    for (int i = 0; i < 8; ++i) {
        tail[i] = static_cast<unsigned char>(bits >> (8 * i));
    }
    Update(tail, 8);
    for (int i = 0; i < 4; ++i) {
        Store32(digest + 4 * i, m_state[i]);
    }
}

void Md5::Digest(const void* data, std::size_t length, unsigned char digest[16]) noexcept {
    Md5 md5;
    md5.Update(data, length);
    md5.Final(digest);
}

}  // namespace ovcoder

namespace {
unsigned char g_digest[16];
char g_digestText[33];
}  // namespace

const unsigned char* OvCrypt_MD5(const void* data, unsigned int length) noexcept {
    std::memset(g_digest, '0', sizeof g_digest);
    if (data) {
        ovcoder::Md5::Digest(data, length, g_digest);
    }
    return g_digest;
}

const char* OvCrypt_FormatMD5(const unsigned char* data) noexcept {
    static constexpr char kHex[] = "0123456789ABCDEF";
    if (!data) {
        g_digestText[0] = '\0';
        return g_digestText;
    }
    for (int i = 0; i < 16; ++i) {
        g_digestText[2 * i] = kHex[data[i] >> 4];
        g_digestText[2 * i + 1] = kHex[data[i] & 15];
    }
    g_digestText[32] = '\0';
    return g_digestText;
}

int OvCrypt_EncodeString(const char* text, const char* key, char* out) noexcept {
    if (!text || !key || !out) {
        return 0;
    }
    // Local digests: the exported MD5 result is one buffer shared by every
    // thread, and the encoded files' checksums run on any thread.
    unsigned char both[32];
    ovcoder::Md5::Digest(text, std::strlen(text), both);
    ovcoder::Md5::Digest(key, std::strlen(key), both + 16);
    unsigned char d3[16];
    ovcoder::Md5::Digest(both, sizeof both, d3);
    // Each byte gives the first two characters of its decimal form, with a
    // leading zero below 10: 7 -> "07", 123 -> "12", 255 -> "25".
    for (int i = 0; i < 16; ++i) {
        const unsigned v = d3[i];
        const unsigned lead = v >= 100 ? v / 100 : v / 10;
        const unsigned next = v >= 100 ? v / 10 % 10 : v % 10;
        out[2 * i] = static_cast<char>('0' + lead);
        out[2 * i + 1] = static_cast<char>('0' + next);
    }
    out[32] = '\0';
    return 1;
}
