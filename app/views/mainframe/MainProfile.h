#pragma once
// Text and byte-block entries of the per-user profile, as the main window
// keeps its host history and its placement. Sections live below the
// profile key (kProfileKey) under HKEY_CURRENT_USER.
#include <string>
#include <string_view>
#include <vector>

#include "PingProfile.h"

class CMainProfile {
public:
    explicit CMainProfile(std::u16string key = kProfileKey);

    // The text of section/entry; empty when missing or not a text.
    std::u16string GetString(std::u16string_view section, std::u16string_view entry) const;
    bool WriteString(std::u16string_view section, std::u16string_view entry, std::u16string_view value);
    // The bytes of section/entry; empty when missing or not a byte block.
    std::vector<BYTE> GetBinary(std::u16string_view section, std::u16string_view entry) const;
    bool WriteBinary(std::u16string_view section, std::u16string_view entry, const std::vector<BYTE>& value);
    // Removes section with everything in it; true also when it did not exist.
    bool DeleteSection(std::u16string_view section);

private:
    std::u16string SectionPath(std::u16string_view section) const;
    bool Write(std::u16string_view section, std::u16string_view entry, DWORD type, const BYTE* data, DWORD size);
    std::vector<BYTE> Read(std::u16string_view section, std::u16string_view entry, DWORD wanted) const;

    std::u16string m_key;
};
