// Registry roots as .reg text files:
//   HKEY_CURRENT_USER   $XDG_CONFIG_HOME/orvantek/user.reg (default ~/.config/orvantek/)
//   HKEY_LOCAL_MACHINE  /etc/orvantek/machine.reg
// OV_REGISTRY_DIR puts both files into that folder instead.
//
// Every change takes an exclusive flock on "<file>.lock", reads the file
// afresh, applies the change and replaces the file by rename of a synced
// temporary file, so concurrent writers in any process lose nothing and a
// killed writer leaves the old or the new file. Readers take no lock: the
// rename makes every file they open complete. The parsed file is cached per
// root together with its text; every call reads the file and parses it again
// only when the text differs (time stamps are too coarse to tell two quick
// writes apart).
#include "platform/registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>

#include "platform/codepage.h"
#include "platform/escape.h"
#include "platform/file_replace.h"
#include "platform/module.h"
#include "platform/stored_file.h"
#include "registry_format.h"

struct OvRegKey {
    int root = 0;
    std::u16string path;  // folded path below the root
    REGSAM access = 0;
};

namespace {

using ov::reg::Hive;
using ov::reg::Key;

constexpr REGSAM kWriteAccess = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | 0x0020 /* create link */ |
                                0x00010000 /* delete */ | 0x00040000 /* write DAC */ | 0x00080000 /* write owner */;
constexpr size_t kMaxKeyNameChars = 255;
constexpr size_t kMaxValueNameChars = 16383;
constexpr DWORD kMaxValueBytes = 64u << 20;

struct Root {
    const char16_t* name;
    const char* fileName;
    mode_t folderMode;
    mode_t fileMode;
    std::string folder;  // ends without "/"
    std::string file;
    Hive hive;
    bool cached = false;   // hive matches text
    bool present = false;  // the file existed when cached
    std::string text;
    std::string reported;  // damaged text already reported but not moved aside
    bool tempSwept = false;
};

std::mutex g_mutex;  // guards everything below
Root g_roots[2] = {
    {u"HKEY_CURRENT_USER", "user.reg", 0700, 0600, {}, {}, {}, false, false, {}, {}, false},
    {u"HKEY_LOCAL_MACHINE", "machine.reg", 0755, 0644, {}, {}, {}, false, false, {}, {}, false},
};
std::unordered_map<OvRegKey*, std::unique_ptr<OvRegKey>> g_handles;

std::string FolderOf(int root) {
    if (const char* dir = std::getenv("OV_REGISTRY_DIR"); dir != nullptr && *dir != '\0') {
        std::string folder = dir;
        while (folder.size() > 1 && folder.back() == '/') {
            folder.pop_back();
        }
        return folder;
    }
    if (root == 1) {
        return "/etc/orvantek";
    }
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/') {
        return std::string(config) + "/orvantek";
    }
    return ov::HomeFolder() + "/.config/orvantek";
}

// Points the root at its current file; a change of place drops the cache.
Root& RootAt(int index) {
    Root& r = g_roots[index];
    std::string folder = FolderOf(index);
    if (folder != r.folder) {
        r.folder = std::move(folder);
        r.file = r.folder + "/" + r.fileName;
        r.cached = false;
        r.tempSwept = false;
        r.reported.clear();
    }
    return r;
}

bool MakeFolders(const std::string& folder, mode_t mode) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode);
    }
    const size_t slash = folder.rfind('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash), 0755)) {
        return false;
    }
    return ::mkdir(folder.c_str(), mode) == 0 || errno == EEXIST;
}

// True when this process may write the root's file: the file, if present,
// is writable and not marked read-only (a machine file without write bits is
// read-only even for the superuser); a file still to be made needs a writable
// folder (or nearest existing parent that would hold it). A writable file in
// a folder the process may not write is rewritten in place.
bool RootWritable(const Root& r) {
    struct stat st {};
    if (::stat(r.file.c_str(), &st) == 0) {
        return (st.st_mode & 0222) != 0 && faccessat(AT_FDCWD, r.file.c_str(), W_OK, AT_EACCESS) == 0;
    }
    std::string folder = r.folder;
    while (::stat(folder.c_str(), &st) != 0) {
        const size_t slash = folder.rfind('/');
        if (slash == std::string::npos || slash == 0) {
            folder = "/";
            break;
        }
        folder.resize(slash);
    }
    return faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string TimeSuffix() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof(buf), "%Y%m%d-%H%M%S", &tm);
    return buf;
}

// Moves a damaged file out of the way and says so; mark identifies the damage
// so that one that cannot be moved is reported once. Returns false when it
// could not be moved (the file stays untouched).
bool SetAside(Root& r, const std::string& mark, const std::string& why) {
    std::string aside = r.file + ".damaged-" + TimeSuffix();
    struct stat st {};
    for (int n = 2; ::lstat(aside.c_str(), &st) == 0; ++n) {
        aside = r.file + ".damaged-" + TimeSuffix() + "-" + std::to_string(n);
    }
    // The paths come from the environment: printed with their controls escaped.
    if (::rename(r.file.c_str(), aside.c_str()) == 0) {
        std::fprintf(stderr, "registry: %s could not be read (%s); kept as %s, starting empty\n",
                     ov::EscapeControls(r.file).c_str(), why.c_str(), ov::EscapeControls(aside).c_str());
        return true;
    }
    if (r.reported != mark) {
        r.reported = mark;
        const int error = errno;
        std::fprintf(stderr, "registry: %s could not be read (%s) and cannot be moved aside: %s\n",
                     ov::EscapeControls(r.file).c_str(), why.c_str(), std::strerror(error));
    }
    return false;
}

// Exclusive lock on the root's lock file, held while the object lives. In a
// folder where the lock file cannot be made, the root's file itself is locked:
// there every writer rewrites that file in place, so it stays the same file.
class RootLock {
public:
    explicit RootLock(const Root& r) : m_fd(OpenLockFile(r)) {
        if (m_fd.Valid()) {
            while (::flock(m_fd.Get(), LOCK_EX) != 0) {
                if (errno != EINTR) {
                    m_locked = false;
                    return;
                }
            }
            m_locked = true;
        }
    }
    bool locked() const noexcept { return m_locked; }

private:
    static int OpenLockFile(const Root& r) {
        const int fd = ::open((r.file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, r.fileMode);
        return fd >= 0 ? fd : ::open(r.file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }

    ov::UniqueFd m_fd;
    bool m_locked = false;
};

enum class Load { Ok, Damaged, Error };

// Reads the root's file; a missing file is an empty text with exists false.
// A folder, FIFO or device in its place, or a file over the cap, is damage
// (why says which) that is never read.
Load ReadRaw(const Root& r, std::string& text, bool& exists, std::string& why) {
    text.clear();
    ov::StoredFile file(r.file, ov::kMaxHiveFileBytes);
    exists = file.Status() != ov::StoredFileStatus::Missing;
    if (!exists || file.ReadAll(text)) {
        return Load::Ok;
    }
    if (file.Status() == ov::StoredFileStatus::Unreadable) {
        return Load::Error;
    }
    why = ov::StoredFileProblem(file.Status(), file.Error());
    return Load::Damaged;
}

// Reads and parses the root's file into r.hive (empty when missing).
Load ReadFile(Root& r, std::string& text, std::string& why) {
    bool exists = false;
    if (const Load raw = ReadRaw(r, text, exists, why); raw != Load::Ok) {
        return raw;
    }
    r.present = exists;
    return ov::reg::ParseHive(text, r.name, r.hive, why) ? Load::Ok : Load::Damaged;
}

// What identifies one damage of a root: the text that does not parse, or,
// for a file with no text (refused or empty), the reason; never empty.
std::string DamageMark(const std::string& text, const std::string& why) {
    return text.empty() ? "\x01" + why : text;
}

// The root's keys as stored now (read path, no lock unless damaged).
Hive& Current(Root& r) {
    std::string text;
    bool exists = false;
    std::string why;
    const Load raw = ReadRaw(r, text, exists, why);
    if (raw == Load::Error) {
        r.cached = false;
        r.hive.Reset();
        return r.hive;
    }
    if (raw == Load::Ok) {
        if (r.cached && exists == r.present && text == r.text) {
            return r.hive;
        }
        r.present = exists;
        if (ov::reg::ParseHive(text, r.name, r.hive, why)) {
            r.text = std::move(text);
            r.cached = true;
            return r.hive;
        }
    }
    r.cached = false;
    r.hive.Reset();
    const std::string mark = DamageMark(text, why);
    if (mark == r.reported) {
        return r.hive;  // known damage that could not be moved aside
    }
    // Look again under the lock: a writer may have replaced it meanwhile.
    const RootLock lock(r);
    if (lock.locked()) {
        std::string again;
        const Load result = ReadFile(r, again, why);
        if (result == Load::Ok) {
            r.text = std::move(again);
            r.cached = true;
            return r.hive;
        }
        r.hive.Reset();
        if (result == Load::Damaged) {
            SetAside(r, DamageMark(again, why), why);
        }
    } else {
        SetAside(r, mark, why);
    }
    return r.hive;
}

// Applies change to the freshly read root under its lock and stores the
// result atomically. change returns an error code and sets *modified when
// the file must be written.
LONG Mutate(Root& r, const std::function<LONG(Hive&, bool*)>& change) {
    if (!RootWritable(r)) {
        return ERROR_ACCESS_DENIED;
    }
    if (!MakeFolders(r.folder, r.folderMode)) {
        return ERROR_ACCESS_DENIED;
    }
    const RootLock lock(r);
    if (!lock.locked()) {
        return ERROR_ACCESS_DENIED;
    }
    if (!r.tempSwept) {
        // Temporary files left by writers that died; none is in use while we hold the lock.
        r.tempSwept = true;
        const std::string prefix = std::string(r.fileName) + ".tmp-";
        if (DIR* dir = ::opendir(r.folder.c_str())) {
            while (const dirent* entry = ::readdir(dir)) {
                if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0) {
                    ::unlink((r.folder + "/" + entry->d_name).c_str());
                }
            }
            ::closedir(dir);
        }
    }
    r.cached = false;
    std::string before;
    std::string why;
    const Load result = ReadFile(r, before, why);
    if (result == Load::Error) {
        r.hive.Reset();
        return ERROR_BADDB;
    }
    if (result == Load::Damaged) {
        r.hive.Reset();
        if (!SetAside(r, DamageMark(before, why), why)) {
            return ERROR_BADDB;  // never write over a file we could not keep
        }
        r.present = false;
        before.clear();
    }
    bool modified = false;
    const LONG rc = change(r.hive, &modified);
    if (rc != ERROR_SUCCESS || !modified) {
        r.text = std::move(before);
        r.cached = !modified;  // a refused change may have left the hive half changed
        return rc;
    }
    const std::string text = ov::reg::SerializeHive(r.hive, r.name);
    struct stat st {};
    mode_t mode = r.fileMode;
    if (r.present && ::stat(r.file.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    }
    if (!ov::ReplaceFile(r.file, text, mode)) {
        r.cached = false;
        return ERROR_WRITE_FAULT;
    }
    r.text = text;
    r.present = true;
    r.cached = true;
    return ERROR_SUCCESS;
}

bool IsRootHandle(HKEY key, int* root) noexcept {
    if (key == HKEY_CURRENT_USER) {
        *root = 0;
        return true;
    }
    if (key == HKEY_LOCAL_MACHINE) {
        *root = 1;
        return true;
    }
    return false;
}

// Root, folded path and access of a handle; false for an unknown handle.
bool Resolve(HKEY key, int* root, std::u16string* path, REGSAM* access) {
    if (IsRootHandle(key, root)) {
        path->clear();
        *access = KEY_ALL_ACCESS;
        return true;
    }
    const auto it = g_handles.find(key);
    if (it == g_handles.end()) {
        return false;
    }
    *root = it->second->root;
    *path = it->second->path;
    *access = it->second->access;
    return true;
}

size_t Length(LPCWSTR text) noexcept {
    size_t n = 0;
    if (text != nullptr) {
        while (text[n] != 0) {
            ++n;
        }
    }
    return n;
}

// The text of a possibly null argument; null reads as empty.
std::u16string_view View(LPCWSTR text) noexcept {
    return std::u16string_view(text != nullptr ? text : u"", Length(text));
}

// Joins base (display path of an existing key) and a relative subkey text,
// skipping empty components. False for a name the store cannot hold.
bool JoinPath(std::u16string_view base, LPCWSTR subKey, std::u16string& out) {
    out = base;
    const std::u16string_view sub = View(subKey);
    size_t pos = 0;
    while (pos <= sub.size()) {
        size_t slash = sub.find(u'\\', pos);
        if (slash == std::u16string_view::npos) {
            slash = sub.size();
        }
        const std::u16string_view part = sub.substr(pos, slash - pos);
        pos = slash + 1;
        if (part.empty()) {
            continue;
        }
        if (part.size() > kMaxKeyNameChars) {
            return false;
        }
        for (const char16_t c : part) {
            if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF)) {
                return false;
            }
        }
        if (!out.empty()) {
            out.push_back(u'\\');
        }
        out += part;
    }
    return true;
}

// Display path of an existing key given its folded path.
std::u16string DisplayPath(Hive& hive, const std::u16string& folded) {
    const Key* key = hive.Find(folded);
    return key != nullptr ? key->path : std::u16string();
}

HKEY NewHandle(int root, std::u16string path, REGSAM access) {
    auto handle = std::make_unique<OvRegKey>();
    handle->root = root;
    handle->path = std::move(path);
    handle->access = access;
    OvRegKey* raw = handle.get();
    g_handles.emplace(raw, std::move(handle));
    return raw;
}

// Common start of the calls that work on an open key.
struct Target {
    int root = 0;
    std::u16string path;
    REGSAM access = 0;
};

// Resolves the handle; ERROR_ACCESS_DENIED when it was opened without all of
// the rights in need.
LONG OpenTarget(HKEY key, Target& t, REGSAM need = 0) {
    if (!Resolve(key, &t.root, &t.path, &t.access)) {
        return ERROR_INVALID_HANDLE;
    }
    if ((t.access & need) != need) {
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

// Folded path of subKey below the open key t in hive: ERROR_KEY_DELETED when
// that key is gone, badName when subKey is no name the store can hold.
LONG SubKeyPath(Hive& hive, const Target& t, LPCWSTR subKey, LONG badName, std::u16string& folded) {
    if (hive.Find(t.path) == nullptr) {
        return ERROR_KEY_DELETED;
    }
    std::u16string display;
    if (!JoinPath(DisplayPath(hive, t.path), subKey, display)) {
        return badName;
    }
    folded = ov::reg::Fold(display);
    return ERROR_SUCCESS;
}

// Hands out a value's type, data and size to the callers that asked for them;
// data has room for the value.
void CopyValue(const ov::reg::Value& v, DWORD* type, BYTE* data, DWORD* dataSize) {
    if (type != nullptr) {
        *type = v.type;
    }
    if (data != nullptr) {
        std::copy(v.data.begin(), v.data.end(), data);
    }
    if (dataSize != nullptr) {
        *dataSize = static_cast<DWORD>(v.data.size());
    }
}

void CopyName(std::u16string_view name, LPWSTR out) {
    std::copy(name.begin(), name.end(), out);
    out[name.size()] = 0;
}

}  // namespace

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, HKEY* result) {
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    const std::lock_guard lock(g_mutex);
    Target t;
    if (const LONG rc = OpenTarget(key, t); rc != ERROR_SUCCESS) {
        return rc;
    }
    Root& r = RootAt(t.root);
    Hive& hive = Current(r);
    std::u16string folded;
    if (const LONG rc = SubKeyPath(hive, t, subKey, ERROR_FILE_NOT_FOUND, folded); rc != ERROR_SUCCESS) {
        return rc;
    }
    if (hive.Find(folded) == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    if ((access & kWriteAccess) != 0 && !RootWritable(r)) {
        return ERROR_ACCESS_DENIED;
    }
    *result = NewHandle(t.root, std::move(folded), access);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM access,
                     void* security, HKEY* result, DWORD* disposition) {
    if (result == nullptr || subKey == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    const std::lock_guard lock(g_mutex);
    Target t;
    if (const LONG rc = OpenTarget(key, t); rc != ERROR_SUCCESS) {
        return rc;
    }
    Root& r = RootAt(t.root);
    Hive& hive = Current(r);
    std::u16string folded;
    if (const LONG rc = SubKeyPath(hive, t, subKey, ERROR_INVALID_PARAMETER, folded); rc != ERROR_SUCCESS) {
        return rc;
    }
    DWORD how = REG_OPENED_EXISTING_KEY;
    if (hive.Find(folded) == nullptr || (access & kWriteAccess) != 0) {
        if (!RootWritable(r)) {
            return ERROR_ACCESS_DENIED;
        }
    }
    if (hive.Find(folded) == nullptr) {
        const std::u16string parent = t.path;
        const LONG rc = Mutate(r, [&](Hive& h, bool* modified) {
            if (h.Find(parent) == nullptr) {
                return ERROR_KEY_DELETED;
            }
            // Re-join against the stored case of the parent as it is now.
            std::u16string now;
            JoinPath(DisplayPath(h, parent), subKey, now);
            *modified = h.Create(now);
            if (*modified) {
                how = REG_CREATED_NEW_KEY;
            }
            return ERROR_SUCCESS;
        });
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
    }
    if (disposition != nullptr) {
        *disposition = how;
    }
    *result = NewHandle(t.root, std::move(folded), access);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* dataSize) {
    if (data != nullptr && dataSize == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::lock_guard lock(g_mutex);
    Target t;
    if (const LONG rc = OpenTarget(key, t, KEY_QUERY_VALUE); rc != ERROR_SUCCESS) {
        return rc;
    }
    Key* k = Current(RootAt(t.root)).Find(t.path);
    if (k == nullptr) {
        return ERROR_KEY_DELETED;
    }
    const ov::reg::Value* v = ov::reg::FindValue(*k, View(valueName));
    if (v == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (type != nullptr) {
        *type = v->type;
    }
    const auto size = static_cast<DWORD>(v->data.size());
    if (data != nullptr && *dataSize < size) {
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    CopyValue(*v, type, data, dataSize);
    return ERROR_SUCCESS;
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize) {
    if ((data == nullptr && dataSize != 0) || dataSize > kMaxValueBytes || Length(valueName) > kMaxValueNameChars) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::lock_guard lock(g_mutex);
    Target t;
    if (const LONG rc = OpenTarget(key, t, KEY_SET_VALUE); rc != ERROR_SUCCESS) {
        return rc;
    }
    const std::u16string name(View(valueName));
    return Mutate(RootAt(t.root), [&](Hive& h, bool* modified) {
        Key* k = h.Find(t.path);
        if (k == nullptr) {
            return ERROR_KEY_DELETED;
        }
        std::vector<BYTE> bytes(data, data + dataSize);
        if (ov::reg::Value* v = ov::reg::FindValue(*k, name)) {
            v->type = type;
            v->data = std::move(bytes);
        } else {
            k->values.push_back(ov::reg::Value{name, type, std::move(bytes)});
        }
        *modified = true;
        return ERROR_SUCCESS;
    });
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) {
    const std::lock_guard lock(g_mutex);
    Target t;
    if (const LONG rc = OpenTarget(key, t, KEY_SET_VALUE); rc != ERROR_SUCCESS) {
        return rc;
    }
    const std::u16string name(View(valueName));
    Root& r = RootAt(t.root);
    Key* k = Current(r).Find(t.path);
    if (k == nullptr) {
        return ERROR_KEY_DELETED;
    }
    if (ov::reg::FindValue(*k, name) == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    return Mutate(r, [&](Hive& h, bool* modified) {
        Key* key = h.Find(t.path);
        if (key == nullptr) {
            return ERROR_KEY_DELETED;
        }
        const ov::reg::Value* v = ov::reg::FindValue(*key, name);
        if (v == nullptr) {
            return ERROR_FILE_NOT_FOUND;
        }
        key->values.erase(key->values.begin() + (v - key->values.data()));
        *modified = true;
        return ERROR_SUCCESS;
    });
}

namespace {

// Deletes subKey below key: alone (tree false; it must have no subkeys) or
// with everything below it. A null subKey with tree clears the key itself.
LONG DeleteKey(HKEY key, LPCWSTR subKey, bool tree) {
    if (subKey == nullptr && !tree) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::lock_guard lock(g_mutex);
    Target t;
    if (const LONG rc = OpenTarget(key, t); rc != ERROR_SUCCESS) {
        return rc;
    }
    Root& r = RootAt(t.root);
    Hive& hive = Current(r);
    std::u16string folded;
    if (const LONG rc = SubKeyPath(hive, t, subKey, ERROR_FILE_NOT_FOUND, folded); rc != ERROR_SUCCESS) {
        return rc;
    }
    const bool clearOnly = tree && subKey == nullptr;
    if (folded.empty() && !clearOnly) {
        return ERROR_ACCESS_DENIED;  // a root cannot be deleted
    }
    if (hive.Find(folded) == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    return Mutate(r, [&](Hive& h, bool* modified) {
        Key* k = h.Find(folded);
        if (k == nullptr) {
            return ERROR_FILE_NOT_FOUND;
        }
        const std::vector<std::u16string> children = h.Children(folded);
        if (clearOnly) {
            for (const std::u16string& child : children) {
                h.EraseTree(folded.empty() ? ov::reg::Fold(child) : folded + u"\\" + ov::reg::Fold(child));
            }
            h.Find(folded)->values.clear();
        } else if (!tree && !children.empty()) {
            return ERROR_ACCESS_DENIED;
        } else {
            h.EraseTree(folded);
        }
        *modified = true;
        return ERROR_SUCCESS;
    });
}

}  // namespace

LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
    return DeleteKey(key, subKey, false);
}

LONG RegDeleteTreeW(HKEY key, LPCWSTR subKey) {
    return DeleteKey(key, subKey, true);
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, DWORD* nameChars, DWORD* reserved, LPWSTR keyClass,
                   DWORD* classChars, void* lastWriteTime) {
    if (name == nullptr || nameChars == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::lock_guard lock(g_mutex);
    Target t;
    if (const LONG rc = OpenTarget(key, t, KEY_ENUMERATE_SUB_KEYS); rc != ERROR_SUCCESS) {
        return rc;
    }
    Hive& hive = Current(RootAt(t.root));
    if (hive.Find(t.path) == nullptr) {
        return ERROR_KEY_DELETED;
    }
    const std::vector<std::u16string> children = hive.Children(t.path);
    if (index >= children.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    const std::u16string& child = children[index];
    if (child.size() + 1 > *nameChars) {
        return ERROR_MORE_DATA;
    }
    CopyName(child, name);
    *nameChars = static_cast<DWORD>(child.size());
    if (keyClass != nullptr && classChars != nullptr && *classChars > 0) {
        keyClass[0] = 0;
        *classChars = 0;
    }
    if (lastWriteTime != nullptr) {
        std::memset(lastWriteTime, 0, 8);
    }
    return ERROR_SUCCESS;
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, DWORD* nameChars, DWORD* reserved, DWORD* type, BYTE* data,
                   DWORD* dataSize) {
    if (name == nullptr || nameChars == nullptr || (data != nullptr && dataSize == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::lock_guard lock(g_mutex);
    Target t;
    if (const LONG rc = OpenTarget(key, t, KEY_QUERY_VALUE); rc != ERROR_SUCCESS) {
        return rc;
    }
    Key* k = Current(RootAt(t.root)).Find(t.path);
    if (k == nullptr) {
        return ERROR_KEY_DELETED;
    }
    if (index >= k->values.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    const ov::reg::Value& v = k->values[index];
    const auto size = static_cast<DWORD>(v.data.size());
    if (v.name.size() + 1 > *nameChars || (data != nullptr && *dataSize < size)) {
        if (dataSize != nullptr) {
            *dataSize = size;
        }
        return ERROR_MORE_DATA;
    }
    CopyName(v.name, name);
    *nameChars = static_cast<DWORD>(v.name.size());
    CopyValue(v, type, data, dataSize);
    return ERROR_SUCCESS;
}

LONG RegQueryInfoKeyW(HKEY key, LPWSTR keyClass, DWORD* classChars, DWORD* reserved, DWORD* subKeys,
                      DWORD* maxSubKeyChars, DWORD* maxClassChars, DWORD* values, DWORD* maxValueNameChars,
                      DWORD* maxValueBytes, DWORD* securityBytes, void* lastWriteTime) {
    const std::lock_guard lock(g_mutex);
    Target t;
    if (const LONG rc = OpenTarget(key, t, KEY_QUERY_VALUE); rc != ERROR_SUCCESS) {
        return rc;
    }
    Hive& hive = Current(RootAt(t.root));
    Key* k = hive.Find(t.path);
    if (k == nullptr) {
        return ERROR_KEY_DELETED;
    }
    const std::vector<std::u16string> children = hive.Children(t.path);
    size_t longestChild = 0;
    for (const std::u16string& c : children) {
        longestChild = std::max(longestChild, c.size());
    }
    size_t longestName = 0;
    size_t largest = 0;
    for (const ov::reg::Value& v : k->values) {
        longestName = std::max(longestName, v.name.size());
        largest = std::max(largest, v.data.size());
    }
    if (keyClass != nullptr && classChars != nullptr && *classChars > 0) {
        keyClass[0] = 0;
    }
    if (classChars != nullptr) {
        *classChars = 0;
    }
    if (subKeys != nullptr) {
        *subKeys = static_cast<DWORD>(children.size());
    }
    if (maxSubKeyChars != nullptr) {
        *maxSubKeyChars = static_cast<DWORD>(longestChild);
    }
    if (maxClassChars != nullptr) {
        *maxClassChars = 0;
    }
    if (values != nullptr) {
        *values = static_cast<DWORD>(k->values.size());
    }
    if (maxValueNameChars != nullptr) {
        *maxValueNameChars = static_cast<DWORD>(longestName);
    }
    if (maxValueBytes != nullptr) {
        *maxValueBytes = static_cast<DWORD>(largest);
    }
    if (securityBytes != nullptr) {
        *securityBytes = 0;
    }
    if (lastWriteTime != nullptr) {
        std::memset(lastWriteTime, 0, 8);
    }
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    int root = 0;
    if (IsRootHandle(key, &root)) {
        return ERROR_SUCCESS;
    }
    const std::lock_guard lock(g_mutex);
    return g_handles.erase(key) != 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

std::string ov::RegistryFile(HKEY root) {
    int index = 0;
    if (!IsRootHandle(root, &index)) {
        return {};
    }
    const std::lock_guard lock(g_mutex);
    return RootAt(index).file;
}
