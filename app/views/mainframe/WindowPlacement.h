#pragma once
// The main window's placement as kept in the profile: a 44-byte record laid
// out as WINDOWPLACEMENT (length, flags, show command, minimised and
// maximised positions, normal rectangle), little-endian 32-bit fields.
#include <optional>
#include <vector>

#include <QList>
#include <QRect>

#include "platform/wintypes.h"

inline constexpr UINT kPlacementSize = 44;
inline constexpr UINT kShowNormal = 1;
inline constexpr UINT kShowMinimized = 2;
inline constexpr UINT kShowMaximized = 3;

struct OvWindowPlacement {
    UINT showCmd = kShowNormal;
    QRect normal;  // the window's frame in its normal (restored) state
};

// The record for placement; minimised and maximised positions are -1, -1.
std::vector<BYTE> PackWindowPlacement(const OvWindowPlacement& placement);
// The placement in bytes when it can be applied: a whole record with its
// length field, not minimised, a normal rectangle with a size, and on one of
// screens at least in part. Nothing otherwise (open at the default).
std::optional<OvWindowPlacement> UnpackWindowPlacement(const std::vector<BYTE>& bytes, const QList<QRect>& screens);
