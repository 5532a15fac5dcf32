#include "module_image.h"

#include <dlfcn.h>
#include <elf.h>
#include <link.h>

#include <cstring>
#include <new>
#include <vector>

namespace ov::detail {
namespace {

// Word size and byte order of the running program.
constexpr unsigned char kNativeClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
constexpr unsigned char kNativeData = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? ELFDATA2LSB : ELFDATA2MSB;

bool InFile(std::uint64_t offset, std::uint64_t size, std::uint64_t fileSize) noexcept {
    return offset <= fileSize && size <= fileSize - offset;
}

// The machine this layer was built for, from its own header in memory.
ElfW(Half) NativeMachine() noexcept {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&NativeMachine), &info) == 0 || info.dli_fbase == nullptr) {
        return EM_NONE;
    }
    return static_cast<const ElfW(Ehdr)*>(info.dli_fbase)->e_machine;
}

template <typename Header>
bool ReadTable(const StoredFile& file, std::uint64_t offset, std::size_t count, std::vector<Header>& table) {
    if (!InFile(offset, count * sizeof(Header), file.Size())) {
        return false;
    }
    table.resize(count);
    return file.ReadAt(offset, table.data(), count * sizeof(Header));
}

bool SegmentsFit(const StoredFile& file, const ElfW(Ehdr) & header) {
    if (header.e_phentsize != sizeof(ElfW(Phdr)) || header.e_phnum == 0 || header.e_phnum == PN_XNUM) {
        return false;
    }
    std::vector<ElfW(Phdr)> segments;
    if (!ReadTable(file, header.e_phoff, header.e_phnum, segments)) {
        return false;
    }
    bool loadable = false;
    bool dynamic = false;
    for (const ElfW(Phdr) & segment : segments) {
        if (segment.p_type == PT_LOAD) {
            loadable = true;
            if (segment.p_filesz > segment.p_memsz) {
                return false;
            }
        }
        dynamic = dynamic || segment.p_type == PT_DYNAMIC;
        if (segment.p_filesz != 0 && !InFile(segment.p_offset, segment.p_filesz, file.Size())) {
            return false;
        }
    }
    return loadable && dynamic;
}

bool SectionsFit(const StoredFile& file, const ElfW(Ehdr) & header) {
    if (header.e_shoff == 0) {
        return true;  // stripped of section headers; the loader does not need them
    }
    if (header.e_shentsize != sizeof(ElfW(Shdr)) || header.e_shnum == 0) {
        return false;
    }
    std::vector<ElfW(Shdr)> sections;
    if (!ReadTable(file, header.e_shoff, header.e_shnum, sections)) {
        return false;
    }
    for (const ElfW(Shdr) & section : sections) {
        if (section.sh_type != SHT_NOBITS && section.sh_size != 0 &&
            !InFile(section.sh_offset, section.sh_size, file.Size())) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ModuleImageFits(const StoredFile& file) {
    ElfW(Ehdr) header{};
    if (!file.IsOpen() || file.Size() < sizeof(header) || !file.ReadAt(0, &header, sizeof(header))) {
        return false;
    }
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != kNativeClass ||
        header.e_ident[EI_DATA] != kNativeData || header.e_ident[EI_VERSION] != EV_CURRENT || header.e_type != ET_DYN ||
        header.e_machine != NativeMachine() || header.e_ehsize != sizeof(header)) {
        return false;
    }
    try {
        return SegmentsFit(file, header) && SectionsFit(file, header);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace ov::detail
