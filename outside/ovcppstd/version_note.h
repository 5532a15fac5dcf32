#pragma once
// Reader of the version note in ELF files, on top of any byte source so that
// it can be driven from memory as well as from a file.
#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/wintypes.h"

namespace ov {

// Reads n bytes at offset into buf; false when they are not all there.
using ByteReader = std::function<bool(std::uint64_t offset, void* buf, std::size_t n)>;

// Finds the note "Orvantek", type 1, in the note sections (or, without
// section headers, the note segments) of an ELF file of fileSize bytes.
// Every offset and size is checked against fileSize before use.
bool FindVersionNote(const ByteReader& read, std::uint64_t fileSize, DWORD* high, DWORD* low);

}  // namespace ov
