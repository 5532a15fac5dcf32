#pragma once
// Incremental MD5 (RFC 1321) used by the exported digest functions.
#include <cstddef>
#include <cstdint>

namespace ovcoder {

class Md5 {
public:
    void Update(const void* data, std::size_t length) noexcept;
    void Final(unsigned char digest[16]) noexcept;
    static void Digest(const void* data, std::size_t length, unsigned char digest[16]) noexcept;

private:
    void Blocks(const unsigned char* p, std::size_t blocks) noexcept;

    std::uint32_t m_state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    std::uint64_t m_bytes = 0;
    unsigned char m_buffer[64] = {};
};

}  // namespace ovcoder
