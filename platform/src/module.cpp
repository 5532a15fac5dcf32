#include "platform/module.h"

#include <dlfcn.h>
#include <link.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "module_image.h"
#include "platform/codepage.h"
#include "platform/stored_file.h"

namespace {

std::mutex g_overrideMutex;
std::optional<std::string> g_overridePath;

std::string ReadExecutableLink() {
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            return {};
        }
        if (static_cast<size_t>(n) < buffer.size()) {
            return std::string(buffer.data(), static_cast<size_t>(n));
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') {
        path.push_back('/');
    }
    return path;
}

// Copies text into buf Win32-style: NUL-terminated, cut short when too long.
DWORD CopyOut(const std::u16string& text, LPWSTR buf, DWORD size) {
    if (buf == nullptr || size == 0) {
        return 0;
    }
    if (text.size() >= size) {
        std::copy_n(text.begin(), size - 1, buf);
        buf[size - 1] = 0;
        return size;
    }
    std::copy(text.begin(), text.end(), buf);
    buf[text.size()] = 0;
    return static_cast<DWORD>(text.size());
}

}  // namespace

DWORD GetModuleFileNameW(const void* address, LPWSTR buf, DWORD size) {
    const std::string path = address == nullptr ? ov::ExecutablePath() : ov::ModulePathOf(address);
    if (path.empty()) {
        return 0;
    }
    return CopyOut(ov::Utf8ToWide(path), buf, size);
}

DWORD GetLongPathNameW(LPCWSTR path, LPWSTR buf, DWORD size) {
    if (path == nullptr) {
        return 0;
    }
    const std::string longPath = ov::LongPath(ov::WideToUtf8(path));
    if (longPath.empty()) {
        return 0;
    }
    const std::u16string wide = ov::Utf8ToWide(longPath);
    if (buf == nullptr || wide.size() >= size) {
        return static_cast<DWORD>(wide.size() + 1);
    }
    std::copy(wide.begin(), wide.end(), buf);
    buf[wide.size()] = 0;
    return static_cast<DWORD>(wide.size());
}

namespace ov {

Module& Module::operator=(Module&& other) noexcept {
    if (this != &other) {
        Free();
        m_handle = other.m_handle;
        other.m_handle = nullptr;
    }
    return *this;
}

bool Module::Load(const std::string& path) {
    Free();
    if (path.empty()) {
        return false;
    }
    // The file is looked at before the loader maps it: a FIFO would block the
    // loader for good, and a file cut short would fault inside it.
    if (const StoredFile file(path, kMaxModuleFileBytes); !detail::ModuleImageFits(file)) {
        return false;
    }
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    return m_handle != nullptr;
}

void Module::Free() noexcept {
    if (m_handle != nullptr) {
        dlclose(m_handle);
        m_handle = nullptr;
    }
}

void* Module::GetProc(const char* name) const noexcept {
    if (m_handle == nullptr || name == nullptr) {
        return nullptr;
    }
    return dlsym(m_handle, name);
}

std::string ExecutablePath() {
    {
        const std::lock_guard lock(g_overrideMutex);
        if (g_overridePath) {
            return *g_overridePath;
        }
    }
    return ReadExecutableLink();
}

std::string ExecutableFolder() {
    const std::string path = ExecutablePath();
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ModulePathOf(const void* address) {
    Dl_info info{};
    link_map* map = nullptr;
    if (address == nullptr || dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0) {
        return {};
    }
    // The program itself has an empty name in the loader's list.
    if (map == nullptr || map->l_name == nullptr || map->l_name[0] == '\0') {
        return ExecutablePath();
    }
    const std::string canonical = LongPath(map->l_name);
    return canonical.empty() ? std::string(map->l_name) : canonical;
}

std::string LongPath(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return pw->pw_dir;
    }
    return "/";
}

std::string UserDataFolder() {
    // Relative values are ignored, as the base-directory rules ask.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
        return WithSlash(data);
    }
    return WithSlash(WithSlash(HomeFolder()) + ".local/share");
}

std::string UserStateFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') {
        return WithSlash(state);
    }
    return WithSlash(WithSlash(HomeFolder()) + ".local/state");
}

std::string MakerSharedFolder() {
    return UserDataFolder() + "orvantek/";
}

void OverrideExecutablePath(const char* path) {
    const std::lock_guard lock(g_overrideMutex);
    if (path == nullptr) {
        g_overridePath.reset();
    } else {
        g_overridePath = path;
    }
}

}  // namespace ov
