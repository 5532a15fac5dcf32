#include "toolreg.h"

#include <string>

#include "platform/registry.h"

namespace {

bool Empty(const char16_t* text) noexcept {
    return text == nullptr || text[0] == 0;
}

// A string value whose stored data is its characters without the closing NUL.
bool SetString(HKEY key, const char16_t* name, const char16_t* text) {
    const std::u16string value = text != nullptr ? text : u"";
    const auto bytes = static_cast<DWORD>(value.size() * sizeof(char16_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data()), bytes) == ERROR_SUCCESS;
}

}  // namespace

int RegisterHarborTool(const char16_t* guid, const char16_t* title, const char16_t* command, const char16_t* arguments,
                       const char16_t* wndClass, int enable) {
    if (Empty(guid) || Empty(title) || Empty(command)) {
        return 0;
    }
    try {
        const std::u16string path = std::u16string(kHarborToolsKey) + u"\\" + guid;
        ov::RegKey key;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                            nullptr, key.Out(), nullptr) != ERROR_SUCCESS) {
            return 0;
        }
        const auto value = static_cast<DWORD>(enable);
        const bool written =
            SetString(key.Get(), u"Title", title) && SetString(key.Get(), u"Command", command) &&
            SetString(key.Get(), u"Arguments", arguments) && SetString(key.Get(), u"WndClass", wndClass) &&
            RegSetValueExW(key.Get(), u"Enable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
                ERROR_SUCCESS;
        return written ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

int UnregisterHarborTool(const char16_t* guid) {
    if (Empty(guid)) {
        return 0;
    }
    ov::RegKey tools;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kHarborToolsKey, 0, KEY_ALL_ACCESS, tools.Out()) != ERROR_SUCCESS) {
        return 0;
    }
    return RegDeleteKeyW(tools.Get(), guid) == ERROR_SUCCESS ? 1 : 0;
}
