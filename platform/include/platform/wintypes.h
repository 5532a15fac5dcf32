#pragma once
// Fixed-size stand-ins for the Windows base types that the ported interfaces
// keep in their signatures. Wide text is always char16_t (UTF-16).
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using BOOL = int;
using HANDLE = void*;
using WCHAR = char16_t;
using LPCWSTR = const char16_t*;
using LPWSTR = char16_t*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t{0});
constexpr DWORD MAX_PATH = 260;

// Exported symbols of the project's shared libraries (hidden by default).
#define OV_EXPORT __attribute__((visibility("default")))
