#include "change_commands.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "MsgFormat.h"
#include "platform/codepage.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Without pidfd support the reaper looks at its children this often.
constexpr int kFallbackPollMs = 50;

// posix_spawn's attributes and file actions, destroyed with their owner.
class SpawnSetup {
public:
    SpawnSetup() noexcept {
        m_ok = posix_spawnattr_init(&m_attr) == 0;
        m_actionsOk = posix_spawn_file_actions_init(&m_actions) == 0;
    }
    ~SpawnSetup() {
        if (m_ok) {
            posix_spawnattr_destroy(&m_attr);
        }
        if (m_actionsOk) {
            posix_spawn_file_actions_destroy(&m_actions);
        }
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // A process group of its own, no blocked signal, the usual action for the
    // signals the console blocks or ignores; input from /dev/null, output to outFd.
    int Prepare(int outFd) noexcept {
        if (!m_ok || !m_actionsOk) {
            return ENOMEM;
        }
        sigset_t none;
        sigemptyset(&none);
        sigset_t usual;
        sigemptyset(&usual);
        for (const int sig : {SIGINT, SIGTERM, SIGPIPE, SIGHUP, SIGQUIT, SIGCHLD}) {
            sigaddset(&usual, sig);
        }
        int error =
            posix_spawnattr_setflags(&m_attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        error = error != 0 ? error : posix_spawnattr_setpgroup(&m_attr, 0);
        error = error != 0 ? error : posix_spawnattr_setsigmask(&m_attr, &none);
        error = error != 0 ? error : posix_spawnattr_setsigdefault(&m_attr, &usual);
        error = error != 0 ? error : posix_spawn_file_actions_addopen(&m_actions, 0, "/dev/null", O_RDONLY, 0);
        if (outFd >= 0) {
            error = error != 0 ? error : posix_spawn_file_actions_adddup2(&m_actions, outFd, 1);
            error = error != 0 ? error : posix_spawn_file_actions_adddup2(&m_actions, outFd, 2);
        }
        return error;
    }
    const posix_spawnattr_t* Attr() const noexcept { return &m_attr; }
    const posix_spawn_file_actions_t* Actions() const noexcept { return &m_actions; }

private:
    posix_spawnattr_t m_attr;
    posix_spawn_file_actions_t m_actions;
    bool m_ok = false;
    bool m_actionsOk = false;
};

// The process's environment without our own variables, then the facts.
std::vector<std::string> Environment(const ChangeFacts& facts) {
    const std::pair<const char*, const std::string*> ours[] = {
        {"TAPPER_HOST", &facts.host},
        {"TAPPER_ADDRESS", &facts.address},
        {"TAPPER_STATE", &facts.state},
        {"TAPPER_PREVIOUS_STATE", &facts.previous},
        {"TAPPER_SINCE", &facts.since},
        {"TAPPER_LOST", &facts.lost},
        {"TAPPER_LAST_RTT_MS", &facts.lastRttMs},
    };
    std::vector<std::string> env;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        const std::string_view entry(*e);
        const bool replaced = std::any_of(std::begin(ours), std::end(ours), [&](const auto& var) {
            const std::size_t n = std::strlen(var.first);
            return entry.size() > n && entry.compare(0, n, var.first) == 0 && entry[n] == '=';
        });
        if (!replaced) {
            env.emplace_back(entry);
        }
    }
    for (const auto& [name, value] : ours) {
        env.push_back(std::string(name) + "=" + *value);
    }
    return env;
}

// A descriptor that becomes readable when the child ends; -1 where the
// kernel has none (the reaper then looks at its children every so often).
int OpenPidFd(pid_t pid) noexcept {
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

std::u16string Wide(const std::string& text) {
    return ov::Utf8ToWide(text);
}

// "30 s", "0.25 s".
std::u16string Seconds(std::chrono::milliseconds ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", static_cast<double>(ms.count()) / 1000.0);
    return Wide(text);
}

}  // namespace

CChangeCommands::CChangeCommands(std::string command, std::FILE* err, const Limits& limits)
    : m_command(std::move(command)),
      m_err(err),
      m_limits{std::max(limits.running, 1u), limits.waiting, limits.timeout},
      m_wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    m_thread = std::thread([this] { Reaper(); });
}

CChangeCommands::~CChangeCommands() {
    {
        std::lock_guard lock(m_lock);
        m_leaving = true;
    }
    Wake();
    m_thread.join();
}

void CChangeCommands::Run(const ChangeFacts& facts) {
    std::size_t taken = 0;
    bool accepted = false;
    {
        std::lock_guard lock(m_lock);
        taken = m_runningCount + m_waiting.size();
        accepted = taken < std::size_t{m_limits.running} + m_limits.waiting;
        if (accepted) {
            m_waiting.push_back(facts);
        }
    }
    if (accepted) {
        Wake();
        return;
    }
    Say(LoadFormatString(35024,
                         u"%d_a% --on-change commands run or wait already; the one for %s_b% (%s_c%) is dropped.",
                         static_cast<int>(taken), Wide(facts.host).c_str(), Wide(facts.state).c_str()));
}

void CChangeCommands::WaitIdle() {
    std::unique_lock lock(m_lock);
    m_idle.wait(lock, [this] { return m_waiting.empty() && m_runningCount == 0; });
}

void CChangeCommands::Wake() noexcept {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wake.Get(), &one, sizeof one);
}

void CChangeCommands::Say(const std::u16string& line) noexcept {
    const std::string text = "tapper: " + ov::WideToUtf8(line) + "\n";
    std::fwrite(text.data(), 1, text.size(), m_err);
    std::fflush(m_err);
}

CChangeCommands::Child CChangeCommands::Spawn(const ChangeFacts& facts) noexcept {
    Child child;
    child.host = facts.host;
    child.state = facts.state;
    std::vector<std::string> env = Environment(facts);
    std::vector<char*> envp;
    envp.reserve(env.size() + 1);
    for (std::string& entry : env) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::string sh = "sh";
    std::string dashC = "-c";
    std::string command = m_command;
    char* argv[] = {sh.data(), dashC.data(), command.data(), nullptr};

    // The commands' output follows what was written to err so far.
    std::fflush(m_err);
    SpawnSetup setup;
    int error = setup.Prepare(fileno(m_err));
    pid_t pid = -1;
    if (error == 0) {
        error = posix_spawn(&pid, "/bin/sh", setup.Actions(), setup.Attr(), argv, envp.data());
    }
    if (error != 0) {
        Say(LoadFormatString(35023, u"The --on-change command for %s_a% (%s_b%) could not be started: %s_c%",
                             Wide(facts.host).c_str(), Wide(facts.state).c_str(), Wide(std::strerror(error)).c_str()));
        return child;
    }
    child.pid = pid;
    child.pidFd = ov::UniqueFd(OpenPidFd(pid));
    child.deadline = Clock::now() + m_limits.timeout;
    return child;
}

void CChangeCommands::Collect() noexcept {
    const auto now = Clock::now();
    std::size_t ended = 0;
    for (auto it = m_running.begin(); it != m_running.end();) {
        int status = 0;
        const pid_t r = ::waitpid(it->pid, &status, WNOHANG);
        if (r == it->pid || (r < 0 && errno == ECHILD)) {
            const std::u16string host = Wide(it->host);
            const std::u16string state = Wide(it->state);
            if (it->killed) {
                Say(LoadFormatString(
                    35022, u"The --on-change command for %s_a% (%s_b%) ran longer than %s_c% and was stopped.",
                    host.c_str(), state.c_str(), Seconds(m_limits.timeout).c_str()));
            } else if (r == it->pid && WIFSIGNALED(status)) {
                Say(LoadFormatString(35021, u"The --on-change command for %s_a% (%s_b%) was ended by signal %d_c%.",
                                     host.c_str(), state.c_str(), WTERMSIG(status)));
            } else {
                Say(LoadFormatString(35020, u"The --on-change command for %s_a% (%s_b%) ended with exit status %d_c%.",
                                     host.c_str(), state.c_str(), r == it->pid ? WEXITSTATUS(status) : -1));
            }
            it = m_running.erase(it);
            ++ended;
            continue;
        }
        if (!it->killed && now >= it->deadline) {
            // The whole group: the shell and whatever it started.
            ::kill(-it->pid, SIGKILL);
            it->killed = true;
        }
        ++it;
    }
    if (ended != 0) {
        std::lock_guard lock(m_lock);
        m_runningCount -= ended;
    }
}

void CChangeCommands::Reaper() noexcept {
    std::vector<pollfd> fds;
    for (;;) {
        {
            std::unique_lock lock(m_lock);
            while (m_running.size() < m_limits.running && !m_waiting.empty()) {
                const ChangeFacts facts = std::move(m_waiting.front());
                m_waiting.pop_front();
                ++m_runningCount;  // taken while it starts
                lock.unlock();
                Child child = Spawn(facts);
                lock.lock();
                if (child.pid > 0) {
                    m_running.push_back(std::move(child));
                } else {
                    --m_runningCount;
                }
            }
            if (m_running.empty() && m_waiting.empty()) {
                m_idle.notify_all();
                if (m_leaving) {
                    return;
                }
            }
        }
        fds.assign(1, pollfd{m_wake.Get(), POLLIN, 0});
        int timeoutMs = m_wake.Valid() ? -1 : kFallbackPollMs;
        const auto now = Clock::now();
        for (const Child& child : m_running) {
            if (child.pidFd.Valid()) {
                fds.push_back(pollfd{child.pidFd.Get(), POLLIN, 0});
            } else {
                timeoutMs = timeoutMs < 0 ? kFallbackPollMs : std::min(timeoutMs, kFallbackPollMs);
            }
            if (!child.killed) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(child.deadline - now).count();
                const int ms = static_cast<int>(std::clamp<long long>(left, 0, 24 * 3600 * 1000));
                timeoutMs = timeoutMs < 0 ? ms : std::min(timeoutMs, ms);
            }
        }
        if (::poll(fds.data(), fds.size(), timeoutMs) > 0 && (fds[0].revents & POLLIN) != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(m_wake.Get(), &count, sizeof count);
        }
        Collect();
    }
}
