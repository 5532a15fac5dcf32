#pragma once
// Tick count and calendar time with the C runtime's and the kernel's names.
#include <cstdint>

#include "platform/wintypes.h"

// Milliseconds of CLOCK_MONOTONIC, truncated to 32 bits (wraps after ~49.7 days).
DWORD GetTickCount() noexcept;

// Seconds since 1970-01-01 00:00 UTC; also stored through t when it is not null.
std::int64_t _time64(std::int64_t* t) noexcept;

namespace ov {
// Nanoseconds of CLOCK_MONOTONIC, for intervals that must not wrap.
std::int64_t MonotonicNanoseconds() noexcept;
}  // namespace ov
