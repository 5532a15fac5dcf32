// Feeds arbitrary bytes to the ELF version-note reader.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "../../outside/ovcppstd/version_note.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ov::ByteReader reader = [data, size](std::uint64_t offset, void* buf, std::size_t n) {
        if (offset > size || n > size - offset) {
            return false;
        }
        std::memcpy(buf, data + offset, n);
        return true;
    };
    DWORD high = 0;
    DWORD low = 0;
    ov::FindVersionNote(reader, size, &high, &low);
    return 0;
}
