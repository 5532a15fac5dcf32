#pragma once
// Helpers of the start-up tests: a program folder of their own (the built
// program and its libraries linked into a scratch folder, so that files the
// program writes beside itself stay there) and child processes with their
// exit status and error output.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace starttest {

namespace fs = std::filesystem;

// Links (or copies) what the program needs from the build's bin folder.
class ProgramFolder {
public:
    ProgramFolder() {
        const char* bin = std::getenv("OV_BIN_DIR");
        m_bin = bin != nullptr ? bin : ".";
        std::string pattern = (fs::path(m_bin).parent_path() / "startup-XXXXXX").string();
        m_dir = ::mkdtemp(pattern.data());
        for (const auto& entry : fs::directory_iterator(m_bin)) {
            const std::string name = entry.path().filename().string();
            if (name == "tapper" || name.ends_with(".so")) {
                Link(entry.path(), m_dir / name);
            }
        }
    }
    ~ProgramFolder() {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    // Puts the built language module of code into the folder as language as.
    void AddLanguage(const std::string& code, const std::string& as) const {
        AddModule(fs::path(m_bin) / "mui" / code / "OvPingRes.so", as);
    }
    void AddModule(const fs::path& module, const std::string& as) const {
        fs::create_directories(m_dir / "mui" / as);
        Link(module, m_dir / "mui" / as / "OvPingRes.so");
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

    std::string m_bin;
    fs::path m_dir;
};

struct ChildResult {
    int status = -1;  // as waitpid gives it
    std::string err;  // what the child wrote on stderr
};

// Runs body in a forked child whose stderr is collected; waits for it.
inline ChildResult InChild(const std::function<void()>& body) {
    int pipeFds[2];
    ChildResult result;
    if (::pipe(pipeFds) != 0) {
        return result;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], STDERR_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        body();
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    char buf[4096];
    ssize_t n = 0;
    while ((n = ::read(pipeFds[0], buf, sizeof(buf))) > 0) {
        result.err.append(buf, static_cast<size_t>(n));
    }
    ::close(pipeFds[0]);
    ::waitpid(pid, &result.status, 0);
    return result;
}

// Runs program with args and env ("NAME=value" set, "NAME" alone removed).
inline ChildResult Run(const std::string& program, const std::vector<std::string>& args,
                       const std::vector<std::string>& env = {}) {
    return InChild([&] {
        for (const std::string& e : env) {
            const size_t eq = e.find('=');
            if (eq == std::string::npos) {
                ::unsetenv(e.c_str());
            } else {
                ::setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
            }
        }
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    });
}

}  // namespace starttest
