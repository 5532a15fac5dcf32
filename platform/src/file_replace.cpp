// Whole-file replacement through a synced temporary file and rename.
#include "platform/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace ov {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Closing flushes the buffer; a failure there is a failed write too.
bool CloseChecked(FilePtr file) noexcept {
    return std::fclose(file.release()) == 0;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool ReplaceFileWith(const std::string& path, const std::function<bool(std::FILE*)>& write,
                     mode_t newMode) noexcept {
    try {
        struct stat old {};
        const bool exists = ::stat(path.c_str(), &old) == 0;
        if (exists && !S_ISREG(old.st_mode)) {
            FilePtr file(std::fopen(path.c_str(), "wb"));
            if (!file) {
                return false;
            }
            const bool written = write(file.get());
            return CloseChecked(std::move(file)) && written;
        }

        std::string temp = path + ".tmp-XXXXXX";
        const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
        if (fd < 0) {
            return false;
        }
        FilePtr file(::fdopen(fd, "wb"));
        if (!file) {
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        bool ok = ::fchmod(fd, exists ? (old.st_mode & 07777) : newMode) == 0;
        ok = ok && write(file.get());
        ok = ok && std::fflush(file.get()) == 0 && ::fsync(fd) == 0;
        ok = CloseChecked(std::move(file)) && ok;
        if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
            ::unlink(temp.c_str());
            return false;
        }
        // Make the rename itself durable.
        const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool ReplaceFile(const std::string& path, std::string_view bytes, mode_t newMode) noexcept {
    return ReplaceFileWith(
        path,
        [bytes](std::FILE* file) {
            return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        },
        newMode);
}

}  // namespace ov
