// Base64 with a process-wide replaceable alphabet.
#include "ovcoder/OvBase64.h"

#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "platform/codepage.h"

namespace {

constexpr char kStandardAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
constexpr int kPad = 64;
// Set in the decoding tables of the third and fourth symbol when it is the pad.
constexpr std::uint32_t kPadFlag = 1u << 24;

// The alphabet and the tables derived from it. The tables change only when
// the alphabet does, so both directions always follow the current alphabet.
struct Codec {
    // 64 symbols, the pad, the terminating zero.
    std::array<char, 66> alphabet{};
    // Two symbols for every 12-bit value: the encoder writes a pair per lookup.
    std::array<std::uint16_t, 4096> pairs{};
    // Reverse map over every byte value: position in the alphabet (the pad is
    // 64); bytes outside the alphabet read as 0.
    std::array<std::uint8_t, 256> reverse{};
    // The reverse map pre-shifted for each position of a group of four, so a
    // whole group is one OR. A pad in the first two positions weighs as 0,
    // which is what the byte formulas give it; in the last two it sets kPadFlag.
    std::array<std::uint32_t, 256> dec0{}, dec1{}, dec2{}, dec3{};

    Codec() noexcept { Set(kStandardAlphabet); }

    void Set(const char* table) noexcept {
        std::memcpy(alphabet.data(), table, alphabet.size());
        for (unsigned v = 0; v < 4096; ++v) {
            const auto hi = static_cast<std::uint8_t>(alphabet[v >> 6]);
            const auto lo = static_cast<std::uint8_t>(alphabet[v & 63]);
            // Stored in memory order: first symbol first.
            const std::uint8_t pair[2] = {hi, lo};
            std::memcpy(&pairs[v], pair, 2);
        }
        reverse.fill(0);
        // A symbol that occurs twice maps to its last position.
        for (int i = 0; i <= kPad; ++i) {
            reverse[static_cast<std::uint8_t>(alphabet[i])] = static_cast<std::uint8_t>(i);
        }
        for (unsigned c = 0; c < 256; ++c) {
            const std::uint32_t d = reverse[c];
            const std::uint32_t low = d == kPad ? 0 : d;
            dec0[c] = low << 18;
            dec1[c] = low << 12;
            dec2[c] = d == kPad ? kPadFlag : d << 6;
            dec3[c] = d == kPad ? kPadFlag : d;
        }
    }
};

Codec& TheCodec() noexcept {
    static Codec codec;
    return codec;
}
// Built at load so that the first call pays nothing.
[[maybe_unused]] const Codec& g_codecAtLoad = TheCodec();

// One group whose third or fourth symbol is the pad, byte by byte: a pad in
// third place ends the group after one byte, in fourth place after two.
int DecodeGroupWithPad(const Codec& codec, const unsigned char* in, unsigned char* out) noexcept {
    const unsigned d0 = codec.reverse[in[0]];
    const unsigned d1 = codec.reverse[in[1]];
    const unsigned d2 = codec.reverse[in[2]];
    const unsigned d3 = codec.reverse[in[3]];
    out[0] = static_cast<unsigned char>((d0 << 2) | ((d1 >> 4) & 3));
    if (d2 == kPad) {
        return 1;
    }
    out[1] = static_cast<unsigned char>(((d2 >> 2) & 15) | (d1 << 4));
    if (d3 == kPad) {
        return 2;
    }
    out[2] = static_cast<unsigned char>((d3 & 63) | (d2 << 6));
    return 3;
}

}  // namespace

void OvBase64_SetEncodeTable(const char* table) noexcept {
    // A table shorter than 64 symbols and the pad would be read past its end.
    if (table && strnlen(table, 65) == 65) {
        TheCodec().Set(table);
    }
}

char* OvBase64_EncodeBuffer(const unsigned char* data, int count, char* out) noexcept {
    if (!out) {
        return out;
    }
    const Codec& codec = TheCodec();
    char* o = out;
    if (data && count > 0) {
        const auto n = static_cast<std::size_t>(count);
        std::size_t i = 0;
        for (; i + 3 <= n; i += 3) {
            const std::uint32_t v = (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8) | data[i + 2];
            std::memcpy(o, &codec.pairs[v >> 12], 2);
            std::memcpy(o + 2, &codec.pairs[v & 0xFFF], 2);
            o += 4;
        }
        const char* a = codec.alphabet.data();
        if (n - i == 1) {
            const unsigned b0 = data[i];
            *o++ = a[b0 >> 2];
            *o++ = a[(b0 & 3) << 4];
            *o++ = a[kPad];
            *o++ = a[kPad];
        } else if (n - i == 2) {
            const unsigned b0 = data[i], b1 = data[i + 1];
            *o++ = a[b0 >> 2];
            *o++ = a[((b0 & 3) << 4) | (b1 >> 4)];
            *o++ = a[(b1 & 15) << 2];
            *o++ = a[kPad];
        }
    }
    *o = '\0';
    return out;
}

int OvBase64_DecodeBuffer(const char* data, int length, unsigned char* out) noexcept {
    if (!data || !out || length <= 0 || length % 4 != 0) {
        return 0;
    }
    const Codec& codec = TheCodec();
    // Symbols are bytes 0 to 255 whatever the signedness of char.
    const auto* in = reinterpret_cast<const unsigned char*>(data);
    const std::size_t groups = static_cast<std::size_t>(length) / 4;
    int count = 0;
    // Every group is decoded at 3 x its number; a pad does not end the input,
    // it only shortens its own group, so the count is meaningful when pads
    // stand in the last group only.
    for (std::size_t g = 0; g < groups; ++g, in += 4) {
        const std::uint32_t v = codec.dec0[in[0]] | codec.dec1[in[1]] | codec.dec2[in[2]] | codec.dec3[in[3]];
        unsigned char* o = out + 3 * g;
        if (v & kPadFlag) {
            count += DecodeGroupWithPad(codec, in, o);
            continue;
        }
        if (g + 1 < groups) {
            // One 4-byte store; its last byte belongs to the next group, which
            // overwrites it.
            const std::uint32_t be = __builtin_bswap32(v << 8);
            std::memcpy(o, &be, 4);
        } else {
            o[0] = static_cast<unsigned char>(v >> 16);
            o[1] = static_cast<unsigned char>(v >> 8);
            o[2] = static_cast<unsigned char>(v);
        }
        count += 3;
    }
    return count;
}

void OvBase64_EncodeString(const std::u16string& in, std::u16string& out) noexcept {
    try {
        if (in.empty()) {
            out.clear();
            return;
        }
        // Text goes in through the system code page, whatever the thread's.
        const std::string bytes = ov::WideToAnsi(in, CP_ACP);
        if (bytes.size() > INT_MAX / 4 * 3 - 3) {
            out.clear();
            return;
        }
        std::vector<char> text((bytes.size() + 3) / 3 * 4 + 4);
        OvBase64_EncodeBuffer(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()),
                              text.data());
        out = ov::AnsiToWide(text.data(), CP_ACP);
    } catch (...) {
        out.clear();
    }
}

void OvBase64_DecodeString(const std::u16string& in, std::u16string& out) noexcept {
    try {
        if (in.empty()) {
            out.clear();
            return;
        }
        const std::string text = ov::WideToAnsi(in, CP_ACP);
        if (text.size() > INT_MAX) {
            out.clear();
            return;
        }
        // Zeroed, so that the gaps a pad leaves in a middle group hold no
        // leftover memory; one more byte for the terminator.
        std::vector<unsigned char> bytes(text.size() + 1, 0);
        const int n = OvBase64_DecodeBuffer(text.data(), static_cast<int>(text.size()), bytes.data());
        bytes[static_cast<std::size_t>(n)] = 0;
        // The decoded text comes out through the calling thread's code page.
        out = ov::AnsiToWide(reinterpret_cast<const char*>(bytes.data()), CP_THREAD_ACP);
    } catch (...) {
        out.clear();
    }
}

const char16_t* OvBase64_DecodeStringStatic(const char16_t* in) noexcept {
    static std::u16string result;
    try {
        OvBase64_DecodeString(in ? std::u16string(in) : std::u16string(), result);
    } catch (...) {
        result.clear();
    }
    return result.c_str();
}
