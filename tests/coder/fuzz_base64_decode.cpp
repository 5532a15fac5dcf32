// Decodes any bytes, under the standard alphabet or one taken from the input,
// into a buffer of exactly the promised size.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ovcoder/OvBase64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char kStandard[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
    bool replaced = false;
    if (size > 66 && (data[0] & 1)) {
        // Any 65 bytes as alphabet: duplicates, zeros and high bytes included.
        char table[66];
        std::memcpy(table, data + 1, 65);
        table[65] = '\0';
        OvBase64_SetEncodeTable(table);
        data += 66;
        size -= 66;
        replaced = true;
    }
    const std::vector<char> text(data, data + size);
    std::vector<unsigned char> out(size / 4 * 3);
    const int n = OvBase64_DecodeBuffer(text.data(), static_cast<int>(text.size()), out.data());
    if (n < 0 || static_cast<std::size_t>(n) > out.size()) {
        __builtin_trap();
    }
    if (size % 4 == 0 && size > 0) {
        // Encoding the decoded bytes again stays within its buffer too.
        std::vector<char> again((static_cast<std::size_t>(n) + 2) / 3 * 4 + 1, '\x01');
        OvBase64_EncodeBuffer(out.data(), n, again.data());
        if (again.back() != '\0') {
            __builtin_trap();
        }
    }
    if (replaced) {
        OvBase64_SetEncodeTable(kStandard);
    }
    return 0;
}
