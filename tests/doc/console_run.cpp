#include "doc/console_run.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ov::test {

std::string TapperPath() {
    const char* dir = std::getenv("OV_BIN_DIR");
    return std::string(dir != nullptr ? dir : ".") + "/tapper";
}

ConsoleRun::ConsoleRun(const std::vector<std::string>& argv) {
    std::string dir = (std::filesystem::temp_directory_path() / "ov-console-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) {
        return;
    }
    m_dir = dir;
    // The child keeps its profile in this folder, away from the user's.
    setenv("OV_REGISTRY_DIR", m_dir.c_str(), 1);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const std::string out = m_dir + "/out";
    const std::string err = m_dir + "/err";
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    // The test process may run with signals blocked; the child starts clean.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);

    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, &attr, args.data(), environ) == 0) {
        m_pid = pid;
    }
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
}

ConsoleRun::~ConsoleRun() {
    if (m_pid > 0 && !m_reaped) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    if (!m_dir.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
}

std::string ConsoleRun::Read(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool ConsoleRun::WaitForOutput(const std::string& needle, std::chrono::milliseconds timeout) {
    return WaitFor("/out", needle, timeout);
}

bool ConsoleRun::WaitForError(const std::string& needle, std::chrono::milliseconds timeout) {
    return WaitFor("/err", needle, timeout);
}

bool ConsoleRun::WaitFor(const std::string& file, const std::string& needle, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (Read(m_dir + file).find(needle) != std::string::npos) {
            return true;
        }
        if (!m_reaped && waitpid(m_pid, &m_rawStatus, WNOHANG) == m_pid) {
            m_reaped = true;
        }
        if (m_reaped) {
            return Read(m_dir + file).find(needle) != std::string::npos;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void ConsoleRun::Signal(int sig) {
    if (m_pid > 0 && !m_reaped) {
        kill(m_pid, sig);
    }
}

ConsoleResult ConsoleRun::Finish(std::chrono::milliseconds timeout) {
    ConsoleResult result;
    if (m_pid <= 0) {
        return result;
    }
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!m_reaped) {
        const pid_t got = waitpid(m_pid, &m_rawStatus, WNOHANG);
        if (got == m_pid || (got < 0 && errno != EINTR)) {
            m_reaped = true;
            break;
        }
        if (std::chrono::steady_clock::now() >= end) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &m_rawStatus, 0);
            m_reaped = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(m_rawStatus)) {
        result.status = WEXITSTATUS(m_rawStatus);
    } else if (WIFSIGNALED(m_rawStatus)) {
        result.signal = WTERMSIG(m_rawStatus);
    }
    result.out = Read(m_dir + "/out");
    result.err = Read(m_dir + "/err");
    return result;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace ov::test
