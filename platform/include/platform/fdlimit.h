#pragma once
// The process's limit on open descriptors. Every probe host holds a socket,
// so a run of a few thousand hosts needs more than the usual soft limit.

namespace ov {

// Raises the soft limit on open descriptors to the hard limit; true when the
// soft limit equals the hard limit afterwards.
bool RaiseOpenFileLimit() noexcept;

}  // namespace ov
