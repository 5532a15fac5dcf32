#pragma once
// ANSI code pages over iconv. The process code page is the legacy Windows
// code page of the locale's language (never UTF-8); each thread converts with
// the code page of its own thread locale. OV_ACP overrides the process value.
#include <string>
#include <string_view>

#include "platform/wintypes.h"

constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;
using LCID = DWORD;

// Code page of the calling thread (follows SetThreadLocale).
UINT GetACP();
LCID GetThreadLocale();
// Makes the calling thread use the code page of lcid's language.
BOOL SetThreadLocale(LCID lcid);
// Legacy Windows code page of a language identifier (1252, 936, 950, ...).
UINT CodePageOfLanguage(LCID lcid);

// Win32-shaped conversions; cp may be CP_ACP. Unmappable characters become the
// code page's replacement ('?' in single-byte pages, U+FFFD read back as '?').
int MultiByteToWideChar(UINT cp, DWORD flags, const char* src, int srcBytes, char16_t* dst,
                        int dstChars);
int WideCharToMultiByte(UINT cp, DWORD flags, const char16_t* src, int srcChars, char* dst,
                        int dstBytes, const char* defaultChar, BOOL* usedDefault);

namespace ov {
// Whole-string forms of the conversions above in the calling thread's code page.
std::u16string AnsiToWide(std::string_view ansi, UINT cp = CP_ACP);
std::string WideToAnsi(std::u16string_view wide, UINT cp = CP_ACP);
std::u16string Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::u16string_view wide);
}  // namespace ov
