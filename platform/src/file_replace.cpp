// Whole-file replacement that keeps the file's identity.
//
// A regular file is replaced by a synced temporary file renamed over it, so a
// failed write leaves the old contents. The temporary file takes the old
// file's mode, owner and group first; a symbolic link is followed and its
// target replaced, the link staying as it is. Where a rename cannot keep the
// file what it was (a hard link, an owner or group this process cannot give,
// a folder it may not write), the file is rewritten in place instead, with the
// old contents put back when the new ones cannot be written.
#include "platform/file_replace.h"
#include "platform/unique_fd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

namespace ov {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

constexpr char kTempInfix[] = ".tmp-";
constexpr std::size_t kTempRandomChars = 6;
// A temporary file untouched for this long belongs to a writer that died.
constexpr std::time_t kStaleSeconds = 10;
constexpr int kMaxLinks = 40;

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

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file that path finally names once symbolic links are followed; it need
// not exist (a link may point at a file still to be made). False for a loop.
bool FollowLinks(std::string path, std::string& target) {
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = std::move(path);
            return true;
        }
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 256) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) {
            return false;  // changed under us or unreadable
        }
        link.resize(static_cast<std::size_t>(n));
        path = link.front() == '/' ? link : FolderOf(path) + "/" + link;
    }
    return false;
}

// Removes temporary files of this writer's own making beside name that their
// writer left behind: ours by name and owner, stale by age, and not locked by
// a writer still at work.
void SweepStaleTemps(const std::string& folder, const std::string& name) {
    const std::string prefix = name + kTempInfix;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) {
        return;
    }
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view entryName(entry->d_name);
        if (entryName.size() != prefix.size() + kTempRandomChars || !entryName.starts_with(prefix)) {
            continue;
        }
        const std::string path = folder + "/" + entry->d_name;
        const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st {};
        if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
            now - st.st_mtime < kStaleSeconds || ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
            continue;
        }
        ::unlink(path.c_str());
    }
}

void SyncFolder(const std::string& folder) {
    const UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Valid()) {
        ::fsync(dir.Get());
    }
}

bool WriteAllAt(int fd, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, std::string& out) {
    char buffer[65536];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            return true;
        }
        out.append(buffer, static_cast<std::size_t>(n));
        at += n;
    }
}

// Overwrites the file's contents where it is. The new contents are made in
// memory first; when they cannot be stored, the old ones are put back.
bool WriteInPlace(const std::string& target, const std::function<bool(std::FILE*)>& write) {
    char* buffer = nullptr;
    std::size_t size = 0;
    bool made = false;
    {
        FilePtr memory(::open_memstream(&buffer, &size));
        if (!memory) {
            return false;
        }
        made = write(memory.get());
        made = CloseChecked(std::move(memory)) && made;
    }
    const std::unique_ptr<char, void (*)(void*)> owned(buffer, std::free);
    if (!made) {
        return false;
    }
    // A file we may write but not read is written without the way back.
    constexpr int kFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int raw = ::open(target.c_str(), O_RDWR | kFlags);
    const bool readable = raw >= 0;
    if (!readable) {
        raw = ::open(target.c_str(), O_WRONLY | kFlags);
    }
    const UniqueFd fd(raw);
    if (!fd.Valid()) {
        return false;
    }
    std::string old;
    const bool canRestore = readable && ReadAll(fd.Get(), old);
    if (WriteAllAt(fd.Get(), buffer, size) && ::ftruncate(fd.Get(), static_cast<off_t>(size)) == 0 &&
        ::fsync(fd.Get()) == 0) {
        return true;
    }
    if (canRestore && WriteAllAt(fd.Get(), old.data(), old.size())) {
        (void)!::ftruncate(fd.Get(), static_cast<off_t>(old.size()));
        ::fsync(fd.Get());
    }
    return false;
}

enum class Temp { Done, Failed, InPlace };

// Writes a temporary file beside target with the old file's identity and
// renames it over target. InPlace when this folder or identity rules it out.
Temp WriteThroughTemp(const std::string& target, const struct stat* old, const std::function<bool(std::FILE*)>& write,
                      mode_t newMode) {
    const std::string folder = FolderOf(target);
    std::string temp = target + kTempInfix + std::string(kTempRandomChars, 'X');
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        const bool folderShut = errno == EACCES || errno == EPERM || errno == EROFS;
        return old != nullptr && folderShut ? Temp::InPlace : Temp::Failed;
    }
    FilePtr file(::fdopen(fd, "wb"));
    if (!file) {
        ::close(fd);
        ::unlink(temp.c_str());
        return Temp::Failed;
    }
    // Held until the rename (through a second descriptor that outlives the
    // stream) so that no sweep takes this file for a dead writer's.
    ::flock(fd, LOCK_EX);
    const UniqueFd lockHolder(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
    if (old != nullptr && ::fchown(fd, old->st_uid, old->st_gid) != 0) {
        file.reset();
        ::unlink(temp.c_str());
        return Temp::InPlace;  // a rename would hand the file to another owner or group
    }
    // After the owner: a change of owner clears the set-id bits.
    bool ok = ::fchmod(fd, old != nullptr ? (old->st_mode & 07777) : newMode) == 0;
    ok = ok && write(file.get());
    ok = ok && std::fflush(file.get()) == 0 && ::fsync(fd) == 0;
    ok = CloseChecked(std::move(file)) && ok;
    if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return Temp::Failed;
    }
    SyncFolder(folder);  // makes the rename itself durable
    return Temp::Done;
}

}  // namespace

bool ReplaceFileWith(const std::string& path, const std::function<bool(std::FILE*)>& write, mode_t newMode) noexcept {
    try {
        std::string target;
        if (!FollowLinks(path, target)) {
            return false;
        }
        struct stat old {};
        const bool exists = ::stat(target.c_str(), &old) == 0;
        if (exists && !S_ISREG(old.st_mode)) {
            FilePtr file(std::fopen(target.c_str(), "wb"));
            if (!file) {
                return false;
            }
            const bool written = write(file.get());
            return CloseChecked(std::move(file)) && written;
        }
        if (exists) {
            // A file that cannot be opened for writing is refused, not replaced.
            // Without any write bit it counts as read-only for the superuser too.
            const UniqueFd probe(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
            if (!probe.Valid() || (old.st_mode & 0222) == 0) {
                return false;
            }
        }
        SweepStaleTemps(FolderOf(target), NameOf(target));
        // A rename would split a hard link from its other names.
        if (exists && old.st_nlink > 1) {
            return WriteInPlace(target, write);
        }
        switch (WriteThroughTemp(target, exists ? &old : nullptr, write, newMode)) {
            case Temp::Done:
                return true;
            case Temp::InPlace:
                return WriteInPlace(target, write);
            case Temp::Failed:
                break;
        }
        return false;
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
