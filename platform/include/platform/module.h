#pragma once
// Loading shared objects by path with export lookup, and the paths of the
// running program and of loaded modules.
#include <string>

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

    // Loads the file at path (UTF-8); false when it cannot be loaded.
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

}  // namespace ov
