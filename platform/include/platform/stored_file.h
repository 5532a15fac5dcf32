#pragma once
// Opening the program's stored files (the registry hives, the configuration
// and encoded files, loadable modules) for reading. Only regular files are
// opened, without ever blocking on a FIFO or a device, and only up to a size
// cap of their kind: a link to /dev/zero, a FIFO or a huge sparse file is
// refused at once instead of hanging the program or filling its memory.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/unique_fd.h"

namespace ov {

// Size caps of the stored files by kind.
inline constexpr std::uint64_t kMaxHiveFileBytes = 64ull << 20;
inline constexpr std::uint64_t kMaxConfigFileBytes = 1ull << 20;  // also the encoded files
inline constexpr std::uint64_t kMaxModuleFileBytes = 64ull << 20;

// How opening (or reading) a stored file went.
enum class StoredFileStatus {
    Ok,
    Missing,     // nothing at the path
    NotRegular,  // a folder, FIFO, device or socket
    TooLarge,    // larger than the cap of its kind
    Unreadable,  // any other failure; Error() holds the errno
};

// A stored file open for reading, checked to be a regular file within its cap.
class StoredFile {
public:
    // Opens path (symbolic links followed); Status() says how it went.
    StoredFile(const std::string& path, std::uint64_t maxBytes) noexcept;

    StoredFileStatus Status() const noexcept { return m_status; }
    bool IsOpen() const noexcept { return m_status == StoredFileStatus::Ok; }
    // errno of an Unreadable status (0 otherwise).
    int Error() const noexcept { return m_error; }
    // Size of the file when it was opened.
    std::uint64_t Size() const noexcept { return m_size; }
    // Reads n bytes at offset; false unless all of them are there.
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t n) const noexcept;
    // The whole file as it is now; false when it cannot be read or has grown
    // past its cap since it was opened (Status() then says why).
    bool ReadAll(std::string& out);
    bool ReadAll(std::vector<unsigned char>& out);

private:
    template <typename Bytes>
    bool ReadAllInto(Bytes& out);
    void Fail(StoredFileStatus status, int error) noexcept;

    UniqueFd m_fd;
    std::uint64_t m_maxBytes;
    std::uint64_t m_size = 0;
    StoredFileStatus m_status = StoredFileStatus::Ok;
    int m_error = 0;
};

// A few English words on a failed status for diagnostics on stderr.
std::string StoredFileProblem(StoredFileStatus status, int error);

}  // namespace ov
