#pragma once
// Small utilities of the maker's outside library: language identifiers,
// date-time text, file versions, registry key removal, folder creation.
#include <cstdint>
#include <string>

#include "platform/registry.h"
#include "platform/wintypes.h"

// Windows language identifier of a language code such as "en_us" or "zh_tw"
// (case ignored, underscore only); 0 for a null, empty or unknown code.
WORD GetLanguageID(LPCWSTR code);
// Readable local date and time of seconds since 1970-01-01 UTC
// ("2026-12-08 03:17:33").
std::u16string FormatDateTime(std::int64_t seconds);
// Reads the file version that the build writes into programs and libraries
// (an ELF note "Orvantek", type 1: high = major.minor, low = patch.build).
// Nonzero with both halves set; 0 when the file has no such note or cannot be read.
BOOL GetFileVersion(LPCWSTR path, DWORD* high, DWORD* low);
// Same, for a UTF-8 path.
BOOL GetFileVersion(const std::string& path, DWORD* high, DWORD* low);
// Deletes root\parent\subkey with everything below it; nonzero when it is gone
// afterwards (also when it did not exist), 0 when it could not be removed.
BOOL RemoveRegKey(HKEY root, LPCWSTR parent, LPCWSTR subkey);
// Makes the folder and any missing parents; nonzero when the folder exists afterwards.
BOOL MakeSureFolderPathExists(LPCWSTR path);
