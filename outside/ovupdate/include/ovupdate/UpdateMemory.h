#pragma once
// What the updater remembers of one product, in the registry below
// HKEY_CURRENT_USER\SOFTWARE\Orvantek\OVUPDATE\<product>:
//   "LastCheck"    REG_SZ  seconds since 1970 UTC of the last answer read
//   "SkipVersion"  REG_SZ  a version the user chose to skip
// The program's removal deletes the whole key.
#include <string>
#include <string_view>

class CUpdateMemory {
public:
    explicit CUpdateMemory(std::u16string_view product);

    // Registry key of the product, below HKEY_CURRENT_USER.
    const std::u16string& Key() const noexcept { return m_key; }
    // Seconds of the last check; 0 when none is remembered.
    long long LastCheck() const;
    bool SetLastCheck(long long seconds);
    // The version to stay silent about in automatic checks; empty when none.
    std::u16string SkippedVersion() const;
    bool SetSkippedVersion(std::u16string_view version);

private:
    std::u16string Read(const char16_t* name) const;
    bool Write(const char16_t* name, std::u16string_view value);

    std::u16string m_key;
};
