#include "MainProfile.h"

#include "platform/registry.h"

CMainProfile::CMainProfile(std::u16string key) : m_key(std::move(key)) {}

std::u16string CMainProfile::SectionPath(std::u16string_view section) const {
    std::u16string path = m_key;
    path += u'\\';
    path += section;
    return path;
}

std::vector<BYTE> CMainProfile::Read(std::u16string_view section, std::u16string_view entry, DWORD wanted) const {
    ov::RegKey key;
    const std::u16string path = SectionPath(section);
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.Out()) != ERROR_SUCCESS) {
        return {};
    }
    const std::u16string name(entry);
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != wanted) {
        return {};
    }
    std::vector<BYTE> data(size);
    if (size != 0 && RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
        return {};
    }
    data.resize(size);
    return data;
}

bool CMainProfile::Write(std::u16string_view section, std::u16string_view entry, DWORD type, const BYTE* data,
                         DWORD size) {
    ov::RegKey key;
    const std::u16string path = SectionPath(section);
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        key.Out(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const std::u16string name(entry);
    return RegSetValueExW(key.Get(), name.c_str(), 0, type, data, size) == ERROR_SUCCESS;
}

std::u16string CMainProfile::GetString(std::u16string_view section, std::u16string_view entry) const {
    const std::vector<BYTE> data = Read(section, entry, REG_SZ);
    std::u16string text(data.size() / sizeof(char16_t), u'\0');
    std::copy(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(text.size() * sizeof(char16_t)),
              reinterpret_cast<BYTE*>(text.data()));
    // The stored text ends at its first null.
    text.resize(std::u16string_view(text.c_str()).size());
    return text;
}

bool CMainProfile::WriteString(std::u16string_view section, std::u16string_view entry, std::u16string_view value) {
    const std::u16string text(value);
    return Write(section, entry, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(char16_t)));
}

std::vector<BYTE> CMainProfile::GetBinary(std::u16string_view section, std::u16string_view entry) const {
    return Read(section, entry, REG_BINARY);
}

bool CMainProfile::WriteBinary(std::u16string_view section, std::u16string_view entry, const std::vector<BYTE>& value) {
    return Write(section, entry, REG_BINARY, value.data(), static_cast<DWORD>(value.size()));
}

bool CMainProfile::DeleteSection(std::u16string_view section) {
    const std::u16string path = SectionPath(section);
    const LONG rc = RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}
