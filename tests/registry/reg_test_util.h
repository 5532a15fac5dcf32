#pragma once
// Helpers of the registry and language tests: a private registry folder per
// test and checks that run in a child process.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/registry.h"

namespace regtest {

// A fresh folder that OV_REGISTRY_DIR points at while the object lives.
class TempRegistry {
public:
    TempRegistry() {
        std::string pattern = (std::filesystem::temp_directory_path() / "ovreg-XXXXXX").string();
        m_dir = ::mkdtemp(pattern.data());
        ::setenv("OV_REGISTRY_DIR", m_dir.c_str(), 1);
    }
    ~TempRegistry() {
        ::unsetenv("OV_REGISTRY_DIR");
        std::error_code ec;
        std::filesystem::permissions(m_dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_dir, ec);
    }
    TempRegistry(const TempRegistry&) = delete;
    TempRegistry& operator=(const TempRegistry&) = delete;

    const std::string& dir() const { return m_dir; }
    std::string user() const { return m_dir + "/user.reg"; }
    std::string machine() const { return m_dir + "/machine.reg"; }

    // Names of the files in the folder that start with prefix.
    std::vector<std::string> Files(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(m_dir)) {
            const std::string name = e.path().filename().string();
            if (name.rfind(prefix, 0) == 0) {
                out.push_back(name);
            }
        }
        return out;
    }

private:
    std::string m_dir;
};

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Runs check in a forked child (optionally as uid nobody); true when it returned true.
inline bool InChild(const std::function<bool()>& check, bool asNobody = false) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (asNobody && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(3);
        }
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

inline LONG SetString(HKEY key, const char16_t* name, const std::u16string& text, DWORD type = REG_SZ) {
    return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(char16_t)));
}

inline LONG SetDword(HKEY key, const char16_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

// Type and bytes of a value below root\path; false when it cannot be read.
inline bool Query(HKEY root, const char16_t* path, const char16_t* name, DWORD* type, std::vector<BYTE>* data) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD size = 0;
    LONG rc = RegQueryValueExW(key, name, nullptr, type, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
        data->assign(size, 0);
        rc = RegQueryValueExW(key, name, nullptr, type, data->data(), &size);
    }
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

inline HKEY Create(HKEY root, const char16_t* path, REGSAM access = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key, &disposition) !=
        ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

}  // namespace regtest
