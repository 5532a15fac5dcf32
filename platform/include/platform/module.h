#pragma once
// Loading shared objects by path with export lookup, and the paths of the
// running program and of loaded modules.
#include <string>

#include "platform/wintypes.h"

// Full path of the module that holds address (the running program when
// address is null) into buf of size characters, NUL-terminated; the length
// copied, or size when the path was cut short; 0 on failure.
DWORD GetModuleFileNameW(const void* address, LPWSTR buf, DWORD size);
// Long (canonical, symbolic links resolved) form of an existing path: its
// length when it fits buf of size characters, the size needed (with the NUL)
// when it does not, 0 when the path does not exist.
DWORD GetLongPathNameW(LPCWSTR path, LPWSTR buf, DWORD size);

namespace ov {

// Owns one dlopen handle; freed by the destructor.
class Module {
public:
    Module() = default;
    explicit Module(const std::string& path) { Load(path); }
    ~Module() { Free(); }
    Module(Module&& other) noexcept : m_handle(other.m_handle) { other.m_handle = nullptr; }
    Module& operator=(Module&& other) noexcept;
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    // Loads the file at path (UTF-8); false when it cannot be loaded, is not a
    // regular file of at most 64 MB, or is not a whole shared object of this
    // machine (a damaged module is refused, never mapped).
    bool Load(const std::string& path);
    void Free() noexcept;
    bool IsLoaded() const noexcept { return m_handle != nullptr; }
    // Address of an exported symbol, or null.
    void* GetProc(const char* name) const noexcept;

private:
    void* m_handle = nullptr;
};

// Full path of the running program ("" when it cannot be read).
std::string ExecutablePath();
// Folder of the running program, ending with "/".
std::string ExecutableFolder();
// Full path of the shared object (or program) that holds address.
std::string ModulePathOf(const void* address);
// Canonical absolute form of an existing path ("" when it does not exist).
std::string LongPath(const std::string& path);
// The user's home folder ($HOME, else the password database's, else "/").
std::string HomeFolder();
// The user's data folder ($XDG_DATA_HOME, else ~/.local/share), ending with "/".
std::string UserDataFolder();
// The user's state folder ($XDG_STATE_HOME, else ~/.local/state), ending with "/".
std::string UserStateFolder();
// The maker's shared folder below the user's data folder ("orvantek/"),
// ending with "/"; not created here.
std::string MakerSharedFolder();
// Tests: replaces the running program's path (null restores the real one,
// "" acts as a path that cannot be read).
void OverrideExecutablePath(const char* path);

}  // namespace ov
