#pragma once
// Helpers shared by the OUI and protocol tables (internal to the library).
#include <string>
#include <string_view>

namespace ovmfcstd {

// Full path of fileName in the folder of this library's own file; empty when
// that folder cannot be found.
std::u16string LibraryFolderFile(std::string_view fileName);

// Value of one hexadecimal digit of either case; -1 for any other character.
constexpr int HexDigit(char16_t c) noexcept {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    return -1;
}

}  // namespace ovmfcstd
