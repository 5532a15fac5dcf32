#include "ovupdate/UpdateMemory.h"

#include <string>

#include "platform/registry.h"

namespace {

// Longest remembered text, in characters; longer values are ignored.
constexpr DWORD kMaxValueChars = 64;

}  // namespace

CUpdateMemory::CUpdateMemory(std::u16string_view product) : m_key(u"SOFTWARE\\Orvantek\\OVUPDATE\\") {
    m_key += product;
}

std::u16string CUpdateMemory::Read(const char16_t* name) const {
    ov::RegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, KEY_QUERY_VALUE, key.Out()) != ERROR_SUCCESS) {
        return {};
    }
    char16_t buffer[kMaxValueChars + 1] = {};
    DWORD type = REG_NONE;
    DWORD bytes = sizeof(buffer) - sizeof(char16_t);
    if (RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    std::u16string value(buffer, bytes / sizeof(char16_t));
    while (!value.empty() && value.back() == u'\0') {
        value.pop_back();
    }
    return value;
}

bool CUpdateMemory::Write(const char16_t* name, std::u16string_view value) {
    ov::RegKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        key.Out(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const std::u16string text(value);
    const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(char16_t));
    return RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes) ==
           ERROR_SUCCESS;
}

long long CUpdateMemory::LastCheck() const {
    const std::u16string text = Read(u"LastCheck");
    long long seconds = 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9' || seconds > 999999999999LL) {
            return 0;
        }
        seconds = seconds * 10 + (c - u'0');
    }
    return seconds;
}

bool CUpdateMemory::SetLastCheck(long long seconds) {
    const std::string digits = std::to_string(seconds < 0 ? 0 : seconds);
    return Write(u"LastCheck", std::u16string(digits.begin(), digits.end()));
}

std::u16string CUpdateMemory::SkippedVersion() const {
    return Read(u"SkipVersion");
}

bool CUpdateMemory::SetSkippedVersion(std::u16string_view version) {
    if (version.size() > kMaxValueChars) {
        return false;
    }
    return Write(u"SkipVersion", version);
}
