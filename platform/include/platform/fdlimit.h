#pragma once
// The process's limit on open descriptors. Every probe host holds a socket,
// so a run of a few thousand hosts needs more than the usual soft limit; and
// the descriptors at the top of the limit are kept for the program's own
// files, which it must still be able to open when the hosts took the rest.

namespace ov {

// Raises the soft limit on open descriptors to the hard limit; true when the
// soft limit equals the hard limit afterwards.
bool RaiseOpenFileLimit() noexcept;

// Descriptors kept for the program's own files (settings, modules, crash
// report, the window system's files) at most; a quarter of a small limit.
inline constexpr int kReservedDescriptors = 64;

// True when descriptor fd lies in the reserve at the top of the soft limit.
// A socket opened for a host there is given back, as when the limit was hit.
bool InDescriptorReserve(int fd) noexcept;

}  // namespace ov
