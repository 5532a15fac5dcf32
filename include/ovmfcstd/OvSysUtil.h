#pragma once
// Small system services: the application path registration, the browser
// engine version and the fixed-pitch font face for text displays.
#include <cstdint>
#include <string>

#include "ovmfcstd/ovmfcstd_export.h"
#include "platform/wintypes.h"

#ifndef OV_HRESULT_DEFINED
#define OV_HRESULT_DEFINED
using HRESULT = LONG;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
#endif

// Registers (reg nonzero) or removes the running program under the machine's
// "App Paths" key as name; 1 when the registry was reached, 0 when the
// program's own path is not found.
OVMFCSTD_API int RegisterAppPath(std::u16string name, int reg) noexcept;

// Version of the desktop's web browser engine (WebKitGTK) in use by the
// process: E_INVALIDARG for an unusable pointer; else both outputs are set
// (0 when not known) and S_OK or E_FAIL (no engine loaded) is returned.
OVMFCSTD_API HRESULT GetBrowserVersion(DWORD* major, DWORD* minor) noexcept;

// Fixed-pitch font face for text displays, chosen once per process; never
// null, empty only when no font can be matched at all.
OVMFCSTD_API const char16_t* GetSystemMonospaceFontName() noexcept;
