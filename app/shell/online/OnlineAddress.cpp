#include "OnlineAddress.h"

#include <filesystem>
#include <system_error>

#include "ovcoder/OvBase64.h"
#include "platform/codepage.h"

// Generated at build time (tools/gen_addresses.cpp): [0] every other
// language, [1] zh_cn and zh_tw; one entry per OV_ADDRESS.
extern const char16_t* const g_ovEncodedAddresses[2][ADDR_COUNT];

namespace {

std::u16string MuiFile(std::u16string_view appDir, std::u16string_view language, std::u16string_view rest) {
    std::u16string path(appDir);
    path += u"mui/";
    path += language;
    path += u'/';
    path += rest;
    return path;
}

}  // namespace

bool UsesChineseAddresses(std::u16string_view language) noexcept {
    return language == u"zh_cn" || language == u"zh_tw";
}

const char16_t* EncodedAddress(OV_ADDRESS which, std::u16string_view language) noexcept {
    if (which < 0 || which >= ADDR_COUNT) {
        return nullptr;
    }
    return g_ovEncodedAddresses[UsesChineseAddresses(language) ? 1 : 0][which];
}

std::u16string OnlineAddress(OV_ADDRESS which, std::u16string_view language) {
    const char16_t* encoded = EncodedAddress(which, language);
    if (encoded == nullptr) {
        return {};
    }
    // The decoder's buffer is shared by the whole library: copy at once.
    return std::u16string(OvBase64_DecodeStringStatic(encoded));
}

std::u16string LocalResourcePage(std::u16string_view appDir, std::u16string_view language) {
    return MuiFile(appDir, language, u"Website/tapper.html");
}

std::u16string HelpBookFolder(std::u16string_view appDir, std::u16string_view language) {
    return MuiFile(appDir, language, u"help/");
}

bool HasHelpBook(std::u16string_view appDir, std::u16string_view language) {
    const std::string path = ov::WideToUtf8(HelpBookFolder(appDir, language) + kHelpContents);
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}
