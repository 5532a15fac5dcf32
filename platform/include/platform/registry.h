#pragma once
// Registry stand-in with the names and results of the Win32 calls. Each root
// is one text file in the .reg export format (see registry.cpp for where).
// Key and value names compare without regard to case.
#include <string>

#include "platform/wintypes.h"

struct OvRegKey;
using HKEY = OvRegKey*;
using REGSAM = DWORD;

inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t{0x80000001});
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t{0x80000002});

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_OUTOFMEMORY = 14;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_BADDB = 1009;
constexpr LONG ERROR_KEY_DELETED = 1018;
constexpr LONG ERROR_WRITE_FAULT = 29;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, HKEY* result);
LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM access,
                     void* security, HKEY* result, DWORD* disposition);
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* dataSize);
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
LONG RegDeleteValueW(HKEY key, LPCWSTR valueName);
// Deletes a subkey that has no subkeys of its own.
LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey);
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, DWORD* nameChars, DWORD* reserved, LPWSTR keyClass,
                   DWORD* classChars, void* lastWriteTime);
// Deletes a subkey with all its subkeys and values; a null subKey deletes
// the subkeys and values of key itself.
LONG RegDeleteTreeW(HKEY key, LPCWSTR subKey);
// Name, type and data of the value at index (values keep creation order).
LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, DWORD* nameChars, DWORD* reserved, DWORD* type, BYTE* data,
                   DWORD* dataSize);
// Counts and longest sizes of a key's subkeys and values (keys have no class).
LONG RegQueryInfoKeyW(HKEY key, LPWSTR keyClass, DWORD* classChars, DWORD* reserved, DWORD* subKeys,
                      DWORD* maxSubKeyChars, DWORD* maxClassChars, DWORD* values, DWORD* maxValueNameChars,
                      DWORD* maxValueBytes, DWORD* securityBytes, void* lastWriteTime);
LONG RegCloseKey(HKEY key);

namespace ov {

// An open registry key, closed when it goes out of scope. Out() is what the
// open and create calls fill; Get() what the other calls take.
class RegKey {
public:
    RegKey() = default;
    ~RegKey() {
        if (m_key != nullptr) {
            RegCloseKey(m_key);
        }
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    HKEY* Out() noexcept { return &m_key; }
    HKEY Get() const noexcept { return m_key; }

private:
    HKEY m_key = nullptr;
};

// The file that holds the keys of root (HKEY_CURRENT_USER or
// HKEY_LOCAL_MACHINE), for messages; empty for any other key.
std::string RegistryFile(HKEY root);

}  // namespace ov
