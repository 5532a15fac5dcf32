#pragma once
// Replacing a file's contents so that a reader, or the file after a failed
// write or a crash, shows the old or the new contents, never a mix.
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace ov {

// Writes through write() into a temporary file beside path, syncs it and
// renames it over path, the new file keeping the old one's mode, owner and
// group (newMode for a new file). A symbolic link is followed and its target
// replaced. A hard-linked file, one whose owner or group this process cannot
// give, or one in a folder it may not write is rewritten in place instead. A
// device or other non-regular file is written in place. A file that cannot be
// opened for writing, or has no write bit at all, is refused. Stale temporary
// files of a writer that died are removed. False on any failure, in which case
// a regular file at path is left as it was.
bool ReplaceFileWith(const std::string& path, const std::function<bool(std::FILE*)>& write,
                     mode_t newMode = 0644) noexcept;
// The same with the whole contents at hand.
bool ReplaceFile(const std::string& path, std::string_view bytes, mode_t newMode = 0644) noexcept;

}  // namespace ov
