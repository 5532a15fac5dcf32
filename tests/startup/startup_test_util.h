#pragma once
// Helpers of the start-up tests: a program folder of their own (the built
// program and its libraries linked into a scratch folder, so that what the
// program writes beside itself stays there) and child processes.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace starttest {

namespace fs = std::filesystem;

class ProgramFolder {
public:
    ProgramFolder() : m_bin(std::getenv("OV_BIN_DIR") ? std::getenv("OV_BIN_DIR") : ".") {
        std::string pattern = (m_bin.parent_path() / "startup-XXXXXX").string();
        m_dir = ::mkdtemp(pattern.data());
        for (const auto& e : fs::directory_iterator(m_bin)) {
            const std::string name = e.path().filename().string();
            if (name == "tapper" || name.ends_with(".so")) {
                Link(e.path(), m_dir / name);
            }
        }
    }
    ~ProgramFolder() {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    // Puts module into the folder as the language module of code.
    void AddModule(const fs::path& module, const std::string& code) const {
        fs::create_directories(m_dir / "mui" / code);
        Link(module, m_dir / "mui" / code / "OvPingRes.so");
    }
    // The built module of language from as the module of code.
    void AddLanguage(const std::string& from, const std::string& code) const {
        AddModule(m_bin / "mui" / from / "OvPingRes.so", code);
    }
    const fs::path& Dir() const { return m_dir; }
    std::string Program() const { return (m_dir / "tapper").string(); }

private:
    static void Link(const fs::path& from, const fs::path& to) {
        std::error_code ec;
        fs::create_hard_link(from, to, ec);
        if (ec) {
            fs::copy_file(from, to, ec);
        }
    }
    fs::path m_bin;
    fs::path m_dir;
};

struct ChildResult {
    int status = -1;  // as waitpid gives it
    std::string err;  // what the child wrote on stderr
};

// Runs body in a forked child whose stderr is collected; waits for it.
inline ChildResult InChild(const std::function<void()>& body) {
    int fds[2];
    ChildResult result;
    if (::pipe(fds) != 0) {
        return result;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDERR_FILENO);
        ::close(fds[0]);
        body();
        ::_exit(0);
    }
    ::close(fds[1]);
    char buf[4096];
    for (ssize_t n = 0; (n = ::read(fds[0], buf, sizeof(buf))) > 0;) {
        result.err.append(buf, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    ::waitpid(pid, &result.status, 0);
    return result;
}

// Runs program with args, without a display.
inline ChildResult Run(const std::string& program, std::vector<std::string> args) {
    return InChild([&] {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            ::unsetenv(name);
        }
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    });
}

}  // namespace starttest
