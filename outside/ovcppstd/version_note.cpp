#include "version_note.h"

#include <cstring>
#include <vector>

namespace ov {

namespace {

constexpr std::uint32_t kShtNote = 7;
constexpr std::uint32_t kPtNote = 4;
constexpr std::uint32_t kNoteTypeVersion = 1;
constexpr char kOwner[] = "Orvantek";  // with its NUL: 9 bytes
constexpr std::uint64_t kMaxNoteBytes = 1 << 20;
constexpr std::uint64_t kMaxHeaders = 4096;

// Field access in the file's byte order on a header already read.
class Fields {
public:
    Fields(const unsigned char* data, std::size_t size, bool bigEndian) noexcept
        : m_data(data), m_size(size), m_big(bigEndian) {}

    // Unsigned value of width bytes at offset; 0 when outside the header.
    std::uint64_t Get(std::size_t offset, std::size_t width) const noexcept {
        if (offset > m_size || width > m_size - offset) {
            return 0;
        }
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < width; ++i) {
            const std::size_t k = m_big ? i : width - 1 - i;
            v = (v << 8) | m_data[offset + k];
        }
        return v;
    }

private:
    const unsigned char* m_data;
    std::size_t m_size;
    bool m_big;
};

bool InFile(std::uint64_t offset, std::uint64_t size, std::uint64_t fileSize) noexcept {
    return offset <= fileSize && size <= fileSize - offset;
}

std::uint64_t AlignUp(std::uint64_t v, std::uint64_t align) noexcept {
    return (v + align - 1) & ~(align - 1);
}

// Scans one note area for the version note.
bool ScanNotes(const ByteReader& read, std::uint64_t offset, std::uint64_t size, std::uint64_t align,
               std::uint64_t fileSize, bool big, DWORD* high, DWORD* low) {
    if (size == 0 || size > kMaxNoteBytes || !InFile(offset, size, fileSize)) {
        return false;
    }
    std::vector<unsigned char> notes(static_cast<std::size_t>(size));
    if (!read(offset, notes.data(), notes.size())) {
        return false;
    }
    const Fields f(notes.data(), notes.size(), big);
    std::uint64_t pos = 0;
    while (pos + 12 <= size) {
        const std::uint64_t nameSize = f.Get(static_cast<std::size_t>(pos), 4);
        const std::uint64_t descSize = f.Get(static_cast<std::size_t>(pos + 4), 4);
        const std::uint64_t type = f.Get(static_cast<std::size_t>(pos + 8), 4);
        const std::uint64_t nameAt = pos + 12;
        const std::uint64_t descAt = AlignUp(nameAt + nameSize, align);
        const std::uint64_t next = AlignUp(descAt + descSize, align);
        if (nameSize > size || descSize > size || descAt > size || descSize > size - descAt) {
            return false;
        }
        if (nameSize == sizeof(kOwner) && type == kNoteTypeVersion && descSize >= 8 &&
            std::memcmp(notes.data() + nameAt, kOwner, sizeof(kOwner)) == 0) {
            *high = static_cast<DWORD>(f.Get(static_cast<std::size_t>(descAt), 4));
            *low = static_cast<DWORD>(f.Get(static_cast<std::size_t>(descAt + 4), 4));
            return true;
        }
        if (next <= pos) {
            return false;
        }
        pos = next;
    }
    return false;
}

}  // namespace

bool FindVersionNote(const ByteReader& read, std::uint64_t fileSize, DWORD* high, DWORD* low) {
    unsigned char header[64] = {};
    if (fileSize < 52 || !read(0, header, fileSize < 64 ? 52 : 64)) {
        return false;
    }
    if (std::memcmp(header,
                    "\x7f"
                    "ELF",
                    4) != 0 ||
        (header[4] != 1 && header[4] != 2) || (header[5] != 1 && header[5] != 2)) {
        return false;
    }
    const bool is64 = header[4] == 2;
    const bool big = header[5] == 2;
    if (is64 && fileSize < 64) {
        return false;
    }
    const Fields h(header, sizeof(header), big);
    const std::size_t word = is64 ? 8 : 4;
    const std::uint64_t phoff = h.Get(is64 ? 0x20 : 0x1C, word);
    const std::uint64_t shoff = h.Get(is64 ? 0x28 : 0x20, word);
    const std::uint64_t phentsize = h.Get(is64 ? 0x36 : 0x2A, 2);
    const std::uint64_t phnum = h.Get(is64 ? 0x38 : 0x2C, 2);
    const std::uint64_t shentsize = h.Get(is64 ? 0x3A : 0x2E, 2);
    const std::uint64_t shnum = h.Get(is64 ? 0x3C : 0x30, 2);

    // Section headers first: each note section with its own alignment.
    const std::uint64_t shMin = is64 ? 0x40 : 0x28;
    if (shoff != 0 && shnum != 0 && shentsize >= shMin && shentsize <= 256 && shnum <= kMaxHeaders &&
        InFile(shoff, shentsize * shnum, fileSize)) {
        std::vector<unsigned char> table(static_cast<std::size_t>(shentsize * shnum));
        if (read(shoff, table.data(), table.size())) {
            const Fields t(table.data(), table.size(), big);
            for (std::uint64_t i = 0; i < shnum; ++i) {
                const auto base = static_cast<std::size_t>(i * shentsize);
                if (t.Get(base + 4, 4) != kShtNote) {
                    continue;
                }
                const std::uint64_t offset = t.Get(base + (is64 ? 0x18 : 0x10), word);
                const std::uint64_t size = t.Get(base + (is64 ? 0x20 : 0x14), word);
                const std::uint64_t align = t.Get(base + (is64 ? 0x30 : 0x20), word) == 8 ? 8 : 4;
                if (ScanNotes(read, offset, size, align, fileSize, big, high, low)) {
                    return true;
                }
            }
        }
    }
    // Stripped of section headers: the note segments.
    const std::uint64_t phMin = is64 ? 0x38 : 0x20;
    if (phoff != 0 && phnum != 0 && phentsize >= phMin && phentsize <= 256 && phnum <= kMaxHeaders &&
        InFile(phoff, phentsize * phnum, fileSize)) {
        std::vector<unsigned char> table(static_cast<std::size_t>(phentsize * phnum));
        if (read(phoff, table.data(), table.size())) {
            const Fields t(table.data(), table.size(), big);
            for (std::uint64_t i = 0; i < phnum; ++i) {
                const auto base = static_cast<std::size_t>(i * phentsize);
                if (t.Get(base, 4) != kPtNote) {
                    continue;
                }
                const std::uint64_t offset = t.Get(base + (is64 ? 0x08 : 0x04), word);
                const std::uint64_t size = t.Get(base + (is64 ? 0x20 : 0x10), word);
                const std::uint64_t align = t.Get(base + (is64 ? 0x30 : 0x1C), word) == 8 ? 8 : 4;
                if (ScanNotes(read, offset, size, align, fileSize, big, high, low)) {
                    return true;
                }
            }
        }
    }
    return false;
}

}  // namespace ov
