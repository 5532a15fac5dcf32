#include "PingProfile.h"

#include "platform/registry.h"

namespace {

std::u16string SectionPath(const std::u16string& key, std::u16string_view section) {
    std::u16string path = key;
    path += u'\\';
    path += section;
    return path;
}

}  // namespace

CProfile::CProfile(std::u16string key) : m_key(std::move(key)) {}

UINT CProfile::GetProfileInt(std::u16string_view section, std::u16string_view entry, int defaultValue) const {
    ov::RegKey key;
    const std::u16string path = SectionPath(m_key, section);
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.Out()) != ERROR_SUCCESS) {
        return static_cast<UINT>(defaultValue);
    }
    const std::u16string name(entry);
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LONG rc = RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(value)) {
        return static_cast<UINT>(defaultValue);
    }
    return value;
}

bool CProfile::WriteProfileInt(std::u16string_view section, std::u16string_view entry, int value) {
    ov::RegKey key;
    const std::u16string path = SectionPath(m_key, section);
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        key.Out(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const std::u16string name(entry);
    const DWORD data = static_cast<DWORD>(value);
    return RegSetValueExW(key.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data)) ==
           ERROR_SUCCESS;
}
