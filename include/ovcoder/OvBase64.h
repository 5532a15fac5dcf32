#pragma once
// Base64 codec whose alphabet can be replaced for the whole process. Both
// directions always use the current alphabet.
#include <string>

#include "ovcoder/ovcoder_export.h"

// Replaces the alphabet with 64 symbols, the pad and a terminating zero (66 bytes);
// null or a shorter text leaves it unchanged.
OVCODER_API void OvBase64_SetEncodeTable(const char* table) noexcept;
// Encodes count bytes into out (4 * ceil(count / 3) + 1 bytes, zero-terminated); returns out.
OVCODER_API char* OvBase64_EncodeBuffer(const unsigned char* data, int count, char* out) noexcept;
// Decodes length symbols into out (length / 4 * 3 bytes); the number of bytes
// decoded, 0 when length is not a positive multiple of 4.
OVCODER_API int OvBase64_DecodeBuffer(const char* data, int length, unsigned char* out) noexcept;
// Base64 text of in taken in the system ANSI code page.
OVCODER_API void OvBase64_EncodeString(const std::u16string& in, std::u16string& out) noexcept;
// Text decoded from in (taken in the system ANSI code page), read in the
// calling thread's ANSI code page up to the first zero byte.
OVCODER_API void OvBase64_DecodeString(const std::u16string& in, std::u16string& out) noexcept;
// Decodes into one library-wide string and returns its characters; valid until the next call.
OVCODER_API const char16_t* OvBase64_DecodeStringStatic(const char16_t* in) noexcept;
