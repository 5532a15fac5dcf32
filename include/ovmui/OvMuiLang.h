#pragma once
// Language and path services: language codes and identifiers, the key that
// names the running program, the user's language and the registered paths.
#include <cstdint>

#include "ovmui/ovmui_export.h"

// Identifier of a language code such as "en_us" (case ignored); 0 when unknown.
OVMUI_API std::uint16_t OvMUI_GetLanguageID(const char16_t* code);
// Code of a language identifier ("en_us"), or null when unknown.
OVMUI_API const char16_t* OvMUI_GetLanguageSimple(std::uint16_t id);
// English name of a language identifier ("English"), or null when unknown.
OVMUI_API const char16_t* OvMUI_GetLanguageFull(std::uint16_t id);
// Key naming the running program by its folder ("/opt/orvantek/tapper" gives
// "_opt_orvantek_tapper"); empty on failure. Library-owned buffer.
OVMUI_API const char16_t* OvMUI_GetOvCurAppPath();
// The user's language code for this program (per-user, else machine-wide,
// else "en_us"). Library-owned buffer.
OVMUI_API const char16_t* OvMUI_GetUserLanguage();
// Stores the user's language code for this program; 1 when stored, 0 otherwise.
OVMUI_API int OvMUI_WriteUserLanguage(const char16_t* code);
// Registers the common language path, this program's default language and
// (when not null) its own language path machine-wide; 1 when registered.
OVMUI_API int OvMUI_RegisterApplication(const char16_t* commonPath, const char16_t* language, const char16_t* appPath);
// This program's registered language path, else the common one, else empty.
// Library-owned buffer.
OVMUI_API const char16_t* OvMUI_GetCommonDLLPath();
