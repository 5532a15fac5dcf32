#pragma once
// Integer profile entries of the program, kept below
// HKEY_CURRENT_USER\Software\Orvantek\Orvantek Ping Tool\<section> as REG_DWORD
// values. Section and entry names compare without regard to case.
#include <string>
#include <string_view>

#include "platform/wintypes.h"

// The profile key below HKEY_CURRENT_USER that every entry lives under.
inline constexpr char16_t kProfileKey[] = u"Software\\Orvantek\\Orvantek Ping Tool";

// Reads and writes integer entries of the per-user profile.
class CProfile {
public:
    // A profile rooted at HKEY_CURRENT_USER\<key>.
    explicit CProfile(std::u16string key = kProfileKey);

    // The stored value of section/entry, or defaultValue when it is missing or not a DWORD.
    UINT GetProfileInt(std::u16string_view section, std::u16string_view entry, int defaultValue) const;
    // Stores value as a DWORD; false when the key or value cannot be written.
    bool WriteProfileInt(std::u16string_view section, std::u16string_view entry, int value);

private:
    std::u16string m_key;
};
