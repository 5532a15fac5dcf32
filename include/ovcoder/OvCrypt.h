#pragma once
// MD5 digest, its text form, and the keyed digit string the encoded files
// build their checksums from. Results live in library-wide static buffers.
#include "ovcoder/ovcoder_export.h"

// MD5 of length bytes of data in a static 16-byte buffer; null data gives sixteen '0' bytes.
OVCODER_API const unsigned char* OvCrypt_MD5(const void* data, unsigned int length) noexcept;
// The 16 bytes of data as 32 upper-case hexadecimal digits, in a static buffer.
OVCODER_API const char* OvCrypt_FormatMD5(const unsigned char* data) noexcept;
// Writes 32 decimal digits and a zero (out holds 34 bytes) derived from the
// digests of text and key; 0 when an argument is null, else 1.
OVCODER_API int OvCrypt_EncodeString(const char* text, const char* key, char* out) noexcept;
