#pragma once
// The program's entry in the companion analyzer's Tools menu, kept below
// HKEY_CURRENT_USER\Software\Orvantek\Orvantek Harbor\Tools\<GUID>.

// The analyzer's Tools key below HKEY_CURRENT_USER.
inline constexpr char16_t kHarborToolsKey[] = u"Software\\Orvantek\\Orvantek Harbor\\Tools";
// The program's fixed application GUID.
inline constexpr char16_t kAppGuid[] = u"{7A3C9E51-4B2D-4F86-9C1E-5D0B8A6F2E47}";
// Arguments the analyzer starts the tool with; it puts a host address in
// place of "$(MIP)".
inline constexpr char16_t kHarborToolArguments[] = u"-a $(MIP)";

// Writes "Title", "Command", "Arguments", "WndClass" and "Enable" under the
// GUID's key, in that order (a null arguments or window class text is
// stored empty). 1 when every value was written; 0 for a null or empty
// GUID, title or command, or at the first value that could not be written
// (the values before it stay).
int RegisterHarborTool(const char16_t* guid, const char16_t* title, const char16_t* command, const char16_t* arguments,
                       const char16_t* wndClass, int enable);
// Deletes the GUID's key; 1 when it was deleted, 0 for a null or empty GUID,
// a missing Tools key or a key that could not be deleted.
int UnregisterHarborTool(const char16_t* guid);
