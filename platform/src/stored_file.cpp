#include "platform/stored_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace ov {

StoredFile::StoredFile(const std::string& path, std::uint64_t maxBytes) noexcept : m_maxBytes(maxBytes) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    m_fd = UniqueFd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!m_fd.Valid()) {
        const int error = errno;
        struct stat st {};
        if (error == ENOENT || error == ENOTDIR) {
            Fail(StoredFileStatus::Missing, 0);
        } else if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
            Fail(StoredFileStatus::NotRegular, 0);  // a socket, or a device without a driver
        } else {
            Fail(StoredFileStatus::Unreadable, error);
        }
        return;
    }
    struct stat st {};
    if (::fstat(m_fd.Get(), &st) != 0) {
        Fail(StoredFileStatus::Unreadable, errno);
    } else if (!S_ISREG(st.st_mode)) {
        Fail(StoredFileStatus::NotRegular, 0);
    } else if (static_cast<std::uint64_t>(st.st_size) > m_maxBytes) {
        Fail(StoredFileStatus::TooLarge, 0);
    } else {
        m_size = static_cast<std::uint64_t>(st.st_size);
    }
}

void StoredFile::Fail(StoredFileStatus status, int error) noexcept {
    m_status = status;
    m_error = error;
    m_fd.Reset();
}

bool StoredFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t n) const noexcept {
    if (!IsOpen()) {
        return false;
    }
    auto* out = static_cast<char*>(buffer);
    while (n > 0) {
        const ssize_t got = ::pread(m_fd.Get(), out, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        out += got;
        offset += static_cast<std::uint64_t>(got);
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

template <typename Bytes>
bool StoredFile::ReadAllInto(Bytes& out) {
    out.clear();
    if (!IsOpen()) {
        return false;
    }
    // Read to the end rather than trust the size: the file may have changed
    // since it was opened, but never past the cap.
    constexpr std::size_t kChunk = 64 * 1024;
    out.reserve(static_cast<std::size_t>(std::min(m_size, m_maxBytes)) + kChunk);
    std::uint64_t offset = 0;
    for (;;) {
        const std::size_t have = out.size();
        out.resize(have + kChunk);
        const ssize_t got = ::pread(m_fd.Get(), out.data() + have, kChunk, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            out.resize(have);
            continue;
        }
        if (got < 0) {
            const int error = errno;
            out.clear();
            Fail(StoredFileStatus::Unreadable, error);
            return false;
        }
        out.resize(have + static_cast<std::size_t>(got));
        offset += static_cast<std::uint64_t>(got);
        if (offset > m_maxBytes) {
            out.clear();
            Fail(StoredFileStatus::TooLarge, 0);
            return false;
        }
        if (got == 0) {
            return true;
        }
    }
}

bool StoredFile::ReadAll(std::string& out) {
    return ReadAllInto(out);
}

bool StoredFile::ReadAll(std::vector<unsigned char>& out) {
    return ReadAllInto(out);
}

std::string StoredFileProblem(StoredFileStatus status, int error) {
    switch (status) {
        case StoredFileStatus::Ok:
            return "no problem";
        case StoredFileStatus::Missing:
            return "missing";
        case StoredFileStatus::NotRegular:
            return "not a regular file";
        case StoredFileStatus::TooLarge:
            return "too large";
        case StoredFileStatus::Unreadable:
            break;
    }
    return std::strerror(error);
}

}  // namespace ov
