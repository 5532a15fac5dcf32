// The window version's end while a name lookup of its online features hangs:
// the program, in a child process whose resolver asks a name server that
// takes every question and never answers, closes its window after the lookup
// began and must end without waiting for the lookup. Needs root for the
// child's mount namespace (its own /etc/resolv.conf).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <QMainWindow>
#include <QSocketNotifier>

#include "TapperApp.h"
#include "WindowRun.h"
#include "ovcoder/ConfigFile.h"
#include "platform/codepage.h"
#include "platform/module.h"
#include "startup.h"
#include "startup/startup_test_util.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The lookup would take this long; the program must end well before.
constexpr int kLookupSeconds = 60;
constexpr auto kEndWithin = 30s;
constexpr char kChildVariable[] = "OV_WINDOW_EXIT_CHILD";

// A name server on a loopback address of its own that never answers.
class SilentNameServer {
public:
    SilentNameServer() : m_socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(53);
        at.sin_addr.s_addr = htonl(0x7F000053);  // 127.0.0.83
        m_ready = m_socket >= 0 && ::bind(m_socket, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
    }
    ~SilentNameServer() {
        if (m_socket >= 0) {
            ::close(m_socket);
        }
    }
    SilentNameServer(const SilentNameServer&) = delete;
    SilentNameServer& operator=(const SilentNameServer&) = delete;

    bool Ready() const noexcept { return m_ready; }
    // Waits for the first question; false when none came in time.
    bool WaitForQuestion(std::chrono::seconds timeout) const {
        pollfd fd{m_socket, POLLIN, 0};
        return ::poll(&fd, 1, static_cast<int>(timeout.count() * 1000)) == 1;
    }

private:
    int m_socket;
    bool m_ready = false;
};

// The exit status of pid once it ended within timeout, or -1 (it is killed then).
int WaitFor(pid_t pid, std::chrono::seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(20ms);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(WindowExit, ClosingTheWindowDoesNotWaitForAHungNameLookup) {
    if (::geteuid() != 0 || ::access("/usr/bin/unshare", X_OK) != 0) {
        GTEST_SKIP() << "needs root and unshare to give the program a resolver configuration of its own";
    }
    const SilentNameServer server;
    if (!server.Ready()) {
        GTEST_SKIP() << "127.0.0.83:53 is taken";
    }
    const starttest::ProgramFolder program;
    // Online features on: the online pane and the update check fetch at start.
    CConfigFile config;
    ASSERT_NE(config.SetValue(kConfigSection, kAutoCheckUpdateKey, 1), 0);
    ASSERT_NE(config.WriteEncoded((program.Dir() / "Tapper.ini").u16string().c_str()), 0);
    const std::string resolver = (program.Dir() / "resolv.conf").string();
    std::ofstream(resolver) << "nameserver 127.0.0.83\noptions timeout:" << kLookupSeconds << " attempts:1\n";

    int input[2];
    ASSERT_EQ(::pipe(input), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(input[0], STDIN_FILENO);
        ::close(input[1]);
        ::setenv(kChildVariable, program.Dir().c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("OV_REGISTRY_DIR", program.Dir().c_str(), 1);
        ::setenv("XDG_DATA_HOME", (program.Dir() / "data").c_str(), 1);
        const std::string self = ov::ExecutablePath();
        ::execl("/usr/bin/unshare", "unshare", "-m", "/bin/sh", "-c",
                "mount --bind \"$1\" /etc/resolv.conf && exec \"$0\" --gtest_filter=WindowExitChild.*", self.c_str(),
                resolver.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(input[0]);
    const bool asked = server.WaitForQuestion(std::chrono::seconds(kLookupSeconds));
    // The lookup now hangs; the window closes.
    const char close = 'c';
    EXPECT_EQ(::write(input[1], &close, 1), 1);
    ::close(input[1]);
    EXPECT_TRUE(asked) << "the program asked no name server";
    EXPECT_EQ(WaitFor(pid, kEndWithin), 0) << "the program did not end while the lookup hung";
}

// The child: the window version of the program in this process, its window
// closed when a byte arrives on standard input.
TEST(WindowExitChild, RunsTheWindowUntilToldToClose) {
    const char* folder = std::getenv(kChildVariable);
    if (folder == nullptr) {
        GTEST_SKIP() << "run by WindowExit";
    }
    const std::string program = std::string(folder) + "/tapper";
    ov::OverrideExecutablePath(program.c_str());
    char name[] = "tapper";
    char* argv[] = {name, nullptr};
    const int rc = RunWindowMode(1, argv, {ov::Utf8ToWide(program)}, [](CTapperApp& app) {
        auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, app.MainWindow());
        QObject::connect(input, &QSocketNotifier::activated, app.MainWindow(), &QMainWindow::close);
    });
    EXPECT_EQ(rc, 0);
}
