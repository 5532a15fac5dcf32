#include "ovcrash.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include "ovcppstd.h"
#include "platform/codepage.h"
#include "platform/module.h"

namespace {

constexpr std::array kSignals = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr std::size_t kTextMax = 1024;
constexpr std::size_t kPathMax = 4096;
constexpr std::size_t kAltStackBytes = 256 * 1024;
constexpr int kFramesMax = 64;

// Everything the handler writes is prepared at install time in fixed
// buffers, so that the handler itself needs no allocation and no locale.
struct ReportTexts {
    char title[kTextMax] = {};
    char address[kTextMax] = {};
    char program[kPathMax] = {};
    char programName[kTextMax] = {};
    char version[64] = {};
    char folder[kPathMax] = {};  // crash folder, without a closing "/"
};

ReportTexts g_texts;
std::atomic<long> g_reportingThread{0};

// What was in place before the install; guarded by g_installMutex.
std::mutex g_installMutex;
int g_handle = 0;
int g_nextHandle = 1;
std::array<struct sigaction, kSignals.size()> g_previous{};
stack_t g_previousStack{};
std::vector<char> g_altStack;

void CopyText(char* out, std::size_t size, const std::string& text) noexcept {
    const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    text.copy(out, n);
    out[n] = '\0';
}

// Collects report text in a fixed buffer and writes it out with write(2)
// whenever the buffer fills; async-signal-safe.
class SignalWriter {
public:
    explicit SignalWriter(int fd) noexcept : m_fd(fd) {}
    ~SignalWriter() { Flush(); }
    SignalWriter(const SignalWriter&) = delete;
    SignalWriter& operator=(const SignalWriter&) = delete;

    SignalWriter& Text(const char* text) noexcept {
        for (; *text != '\0'; ++text) {
            if (m_used == sizeof(m_buf)) {
                Flush();
            }
            m_buf[m_used++] = *text;
        }
        return *this;
    }
    SignalWriter& Number(unsigned long value, unsigned base = 10, int minDigits = 1) noexcept {
        char digits[32];
        int n = 0;
        do {
            digits[n++] = "0123456789abcdef"[value % base];
            value /= base;
        } while (value != 0 && n < 32);
        while (n < minDigits && n < 32) {
            digits[n++] = '0';
        }
        char text[33];
        for (int i = 0; i < n; ++i) {
            text[i] = digits[n - 1 - i];
        }
        text[n] = '\0';
        return Text(text);
    }
    void Flush() noexcept {
        std::size_t done = 0;
        while (done < m_used) {
            const ssize_t n = ::write(m_fd, m_buf + done, m_used - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        m_used = 0;
    }

private:
    int m_fd;
    char m_buf[512] = {};
    std::size_t m_used = 0;
};

const char* SignalName(int sig) noexcept {
    switch (sig) {
        case SIGSEGV:
            return "SIGSEGV";
        case SIGBUS:
            return "SIGBUS";
        case SIGFPE:
            return "SIGFPE";
        case SIGILL:
            return "SIGILL";
        case SIGABRT:
            return "SIGABRT";
        default:
            return "signal";
    }
}

// UTC calendar date of days since 1970-01-01 (H. Hinnant's civil_from_days).
void CivilFromDays(long days, long& year, unsigned& month, unsigned& day) noexcept {
    days += 719468;
    const long era = (days >= 0 ? days : days - 146096) / 146097;
    const auto doe = static_cast<unsigned long>(days - era * 146097);
    const unsigned long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned long mp = (5 * doy + 2) / 153;
    day = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<long>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

struct UtcTime {
    long year = 1970;
    unsigned month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

UtcTime NowUtc() noexcept {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const long secs = static_cast<long>(now.tv_sec);
    long days = secs / 86400;
    long rest = secs % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    UtcTime t;
    CivilFromDays(days, t.year, t.month, t.day);
    t.hour = static_cast<unsigned>(rest / 3600);
    t.minute = static_cast<unsigned>(rest / 60 % 60);
    t.second = static_cast<unsigned>(rest % 60);
    return t;
}

// Makes the crash folder and its parents with mkdir(2) only.
void MakeFolder(const char* folder) noexcept {
    char path[kPathMax];
    std::size_t i = 0;
    for (; folder[i] != '\0' && i < kPathMax - 1; ++i) {
        if (folder[i] == '/' && i > 0) {
            path[i] = '\0';
            ::mkdir(path, 0700);
        }
        path[i] = folder[i];
    }
    path[i] = '\0';
    ::mkdir(path, 0700);
}

// Opens a new report file "<folder>/<program>-<date>-<time>-<pid>[-n].txt";
// its name goes to path. -1 when none can be made.
int OpenReportFile(const UtcTime& t, char (&path)[kPathMax]) noexcept {
    MakeFolder(g_texts.folder);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        // Build the name through a writer on an unused descriptor.
        char name[kPathMax];
        std::size_t n = 0;
        auto put = [&](const char* text) {
            for (; *text != '\0' && n < kPathMax - 1; ++text) {
                name[n++] = *text;
            }
        };
        auto putNumber = [&](unsigned long value, int digits) {
            char buf[24];
            int k = 0;
            do {
                buf[k++] = static_cast<char>('0' + value % 10);
                value /= 10;
            } while (value != 0 && k < 23);
            while (k < digits) {
                buf[k++] = '0';
            }
            while (k > 0 && n < kPathMax - 1) {
                name[n++] = buf[--k];
            }
        };
        put(g_texts.folder);
        put("/");
        put(g_texts.programName);
        put("-");
        putNumber(static_cast<unsigned long>(t.year), 4);
        putNumber(t.month, 2);
        putNumber(t.day, 2);
        put("-");
        putNumber(t.hour, 2);
        putNumber(t.minute, 2);
        putNumber(t.second, 2);
        put("-");
        putNumber(static_cast<unsigned long>(::getpid()), 1);
        if (attempt > 0) {
            put("-");
            putNumber(attempt, 1);
        }
        put(".txt");
        name[n] = '\0';
        const int fd = ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            for (std::size_t i = 0; i <= n; ++i) {
                path[i] = name[i];
            }
            return fd;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    return -1;
}

void WriteReport(int fd, int sig, const siginfo_t* info, const UtcTime& t) noexcept {
    SignalWriter out(fd);
    out.Text(g_texts.title).Text("\n\n");
    out.Text("Program: ").Text(g_texts.program).Text("\n");
    out.Text("Version: ").Text(g_texts.version).Text("\n");
    out.Text("Signal: ").Number(static_cast<unsigned long>(sig)).Text(" (").Text(SignalName(sig));
    out.Text(")\n");
    if (info != nullptr && info->si_code > 0 && sig != SIGABRT) {  // raised by a fault
        out.Text("Address: 0x").Number(reinterpret_cast<unsigned long>(info->si_addr), 16);
        out.Text("\n");
    }
    out.Text("Time: ").Number(static_cast<unsigned long>(t.year), 10, 4).Text("-");
    out.Number(t.month, 10, 2).Text("-").Number(t.day, 10, 2).Text(" ");
    out.Number(t.hour, 10, 2).Text(":").Number(t.minute, 10, 2).Text(":");
    out.Number(t.second, 10, 2).Text(" UTC\n");
    out.Text("Process: ").Number(static_cast<unsigned long>(::getpid())).Text("\n");
    if (g_texts.address[0] != '\0') {
        out.Text("Send to: ").Text(g_texts.address).Text("\n");
    }
    out.Text("\nBacktrace:\n");
    out.Flush();
    void* frames[kFramesMax];
    const int count = ::backtrace(frames, kFramesMax);
    ::backtrace_symbols_fd(frames, count, fd);
}

// Ends the process by sig with its default action.
[[noreturn]] void EndBySignal(int sig) noexcept {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(sig, &action, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(sig);
    ::_exit(128 + sig);
}

void OnFatalSignal(int sig, siginfo_t* info, void*) {
    const int savedErrno = errno;
    const long self = ::syscall(SYS_gettid);
    long expected = 0;
    if (!g_reportingThread.compare_exchange_strong(expected, self)) {
        if (expected == self) {
            EndBySignal(sig);  // the report itself failed: no second try
        }
        for (;;) {
            ::pause();  // the first thread's report ends the process
        }
    }
    const UtcTime t = NowUtc();
    char path[kPathMax];
    const int fd = OpenReportFile(t, path);
    {
        SignalWriter err(STDERR_FILENO);
        err.Text(g_texts.title).Text(": ").Text(g_texts.programName);
        err.Text(" ended by signal ").Number(static_cast<unsigned long>(sig)).Text(" (");
        err.Text(SignalName(sig)).Text(").\n");
        if (fd >= 0) {
            err.Text(g_texts.title).Text(": the report is in ").Text(path).Text("\n");
        } else {
            err.Text(g_texts.title).Text(": no report file could be made in ");
            err.Text(g_texts.folder).Text("; the report follows.\n");
        }
        if (g_texts.address[0] != '\0') {
            err.Text(g_texts.title).Text(": please send it to ").Text(g_texts.address);
            err.Text("\n");
        }
    }
    if (fd >= 0) {
        WriteReport(fd, sig, info, t);
        ::close(fd);
    } else {
        WriteReport(STDERR_FILENO, sig, info, t);
    }
    errno = savedErrno;
    EndBySignal(sig);
}

std::string VersionText(const std::string& program) {
    DWORD high = 0;
    DWORD low = 0;
    if (!GetFileVersion(program, &high, &low)) {
        return "unknown";
    }
    return std::to_string(high >> 16) + "." + std::to_string(high & 0xFFFF) + "." + std::to_string(low >> 16) + "." +
           std::to_string(low & 0xFFFF);
}

void PrepareTexts(const char16_t* address, const char16_t* title) {
    const std::string program = ov::ExecutablePath();
    const std::size_t slash = program.rfind('/');
    std::string name = slash == std::string::npos ? program : program.substr(slash + 1);
    if (name.empty()) {
        name = "program";
    }
    CopyText(g_texts.title, kTextMax, title != nullptr && title[0] != 0 ? ov::WideToUtf8(title) : "Crash Report");
    CopyText(g_texts.address, kTextMax, address != nullptr ? ov::WideToUtf8(address) : "");
    CopyText(g_texts.program, kPathMax, program.empty() ? "unknown" : program);
    CopyText(g_texts.programName, kTextMax, name);
    CopyText(g_texts.version, sizeof(g_texts.version), VersionText(program));
    CopyText(g_texts.folder, kPathMax, ov::UserStateFolder() + "orvantek/crash");
}

}  // namespace

int OvCR_Install(int /*flags*/, const char16_t* address, const char16_t* title) {
    const std::lock_guard lock(g_installMutex);
    if (g_handle != 0) {
        return 0;
    }
    try {
        PrepareTexts(address, title);
        g_altStack.assign(kAltStackBytes, 0);
    } catch (...) {
        return 0;
    }
    // The first backtrace loads the unwinder; in the handler that would allocate.
    void* frames[4];
    ::backtrace(frames, 4);

    stack_t stack{};
    stack.ss_sp = g_altStack.data();
    stack.ss_size = g_altStack.size();
    if (::sigaltstack(&stack, &g_previousStack) != 0) {
        return 0;
    }
    struct sigaction action {};
    action.sa_sigaction = OnFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int sig : kSignals) {
        sigaddset(&action.sa_mask, sig);  // one report at a time within a thread
    }
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        if (::sigaction(kSignals[i], &action, &g_previous[i]) != 0) {
            while (i-- > 0) {
                ::sigaction(kSignals[i], &g_previous[i], nullptr);
            }
            ::sigaltstack(&g_previousStack, nullptr);
            return 0;
        }
    }
    g_reportingThread = 0;
    g_handle = g_nextHandle++;
    return g_handle;
}

int OvCR_Uninstall(int handle) {
    const std::lock_guard lock(g_installMutex);
    if (handle == 0 || handle != g_handle) {
        return 0;
    }
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    }
    // Only put the old stack back while ours is still the thread's one.
    stack_t current{};
    if (::sigaltstack(nullptr, &current) == 0 && current.ss_sp == g_altStack.data()) {
        if ((g_previousStack.ss_flags & SS_DISABLE) != 0) {
            stack_t off{};
            off.ss_flags = SS_DISABLE;
            ::sigaltstack(&off, nullptr);
        } else {
            ::sigaltstack(&g_previousStack, nullptr);
        }
        g_altStack.clear();
        g_altStack.shrink_to_fit();
    }
    g_handle = 0;
    return 1;
}
