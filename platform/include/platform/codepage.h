#pragma once
// ANSI code pages over iconv. The system (process) code page is the legacy
// Windows code page of the locale's language (never UTF-8); OV_ACP overrides
// it. Each thread also has a thread code page, that of its thread locale (the
// system page until SetThreadLocale). CP_ACP names the system page,
// CP_THREAD_ACP the calling thread's.
#include <string>
#include <string_view>

#include "platform/wintypes.h"

constexpr UINT CP_ACP = 0;
constexpr UINT CP_OEMCP = 1;
constexpr UINT CP_THREAD_ACP = 3;
constexpr UINT CP_UTF8 = 65001;
using LCID = DWORD;

// MultiByteToWideChar: fail (return 0) on a byte sequence the code page does not define.
constexpr DWORD MB_ERR_INVALID_CHARS = 0x08;

// The system code page; the same in every thread.
UINT GetACP();
LCID GetThreadLocale();
// Makes the calling thread use the code page of lcid's language.
BOOL SetThreadLocale(LCID lcid);
// Legacy Windows code page of a language identifier (1252, 936, 950, ...).
UINT CodePageOfLanguage(LCID lcid);
// Language identifier of a locale name such as "de_DE.UTF-8", "zh_TW" or
// "en_us" (case ignored; "C" and "POSIX" give 1033); 0 when unknown.
LCID LcidOfLocaleName(std::string_view name);
// True for the code pages the conversions support (874, 932, 936, 949, 950,
// 1250-1258, 20127 US-ASCII, 20866 KOI8-R, 21866 KOI8-U, 28591-28599,
// 28603 and 28605 ISO-8859, 51932 EUC-JP, 54936 GB18030, CP_UTF8).
bool IsValidCodePage(UINT cp);
// Code page of a character set name as XML declarations give it
// ("ISO-8859-1", "windows-1252", "GBK", "Shift_JIS", "UTF-8"...; case,
// hyphens and underscores ignored); 0 when unknown.
UINT CodePageOfCharset(std::string_view name);

// Win32-shaped conversions; cp may be CP_ACP (the system page), CP_OEMCP
// (here the system page too) or CP_THREAD_ACP (the calling thread's page). Lengths of -1 mean a NUL-terminated source
// whose NUL is converted too; a destination size of 0 asks for the size needed; a destination too small gives 0. Wide
// characters the code page lacks become defaultChar (or '?') and set *usedDefault; byte sequences it does not define
// become U+FFFD, except the unassigned bytes 0x80-0x9F of single-byte pages,
// which map to U+0080-U+009F and back. Invalid UTF-8 and lone surrogates
// become U+FFFD in CP_UTF8.
int MultiByteToWideChar(UINT cp, DWORD flags, const char* src, int srcBytes, char16_t* dst, int dstChars);
int WideCharToMultiByte(UINT cp, DWORD flags, const char16_t* src, int srcChars, char* dst, int dstBytes,
                        const char* defaultChar, BOOL* usedDefault);

namespace ov {
// Code page of the calling thread's locale (follows SetThreadLocale).
UINT ThreadCodePage();
// Loads what converting text of page cp (CP_ACP and CP_THREAD_ACP resolved
// here) needs and keeps it for the life of the process, so that later
// conversions open no file: a process whose descriptors are all taken could
// not load a page any more. False when the page cannot be converted.
bool PreloadCodePage(UINT cp);
// Whole-string forms of the conversions above.
std::u16string AnsiToWide(std::string_view ansi, UINT cp = CP_ACP);
std::string WideToAnsi(std::u16string_view wide, UINT cp = CP_ACP);
// UTF-8 <-> UTF-16 never fail (see CP_UTF8 above). With a limit they keep
// only the whole characters that fit in maxUnits units or maxBytes bytes.
std::u16string Utf8ToWide(std::string_view utf8, std::size_t maxUnits = std::u16string::npos);
std::string WideToUtf8(std::u16string_view wide, std::size_t maxBytes = std::string::npos);
}  // namespace ov
