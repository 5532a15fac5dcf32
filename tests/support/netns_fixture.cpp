#include "support/netns_fixture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

extern char** environ;

namespace ov::test {
namespace {

constexpr char kClientAddress[] = "10.77.0.1/24";
constexpr char kResponderAddress[] = "10.77.0.2";

// Runs a program and waits for it; its exit status, or -1.
int Run(const std::vector<std::string>& argv, int stdoutFd = -1) {
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    }
    pid_t pid;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return -1;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ResponderProgram() {
    if (const char* dir = std::getenv("OV_BIN_DIR")) {
        if (std::filesystem::exists(std::string(dir) + "/ov_icmp_responder")) {
            return std::string(dir) + "/ov_icmp_responder";
        }
    }
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (self.parent_path() / "ov_icmp_responder").string();
}

}  // namespace

NetnsPair::NetnsPair() {
    static std::atomic<int> counter{0};
    const std::string base = "ovt" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    m_client = base + "c";
    m_responder = base + "r";
}

NetnsPair::~NetnsPair() {
    StopResponder();
    LeaveClient();
    std::string ignored;
    if (m_createdClient) {
        RunIp({"netns", "del", m_client}, ignored);
    }
    if (m_createdResponder) {
        RunIp({"netns", "del", m_responder}, ignored);
    }
}

bool NetnsPair::Available(std::string& why) {
    if (geteuid() != 0) {
        why = "network namespace tests need root";
        return false;
    }
    if (Run({"ip", "netns", "list"}) != 0) {
        why = "'ip netns' is not usable here";
        return false;
    }
    return true;
}

bool NetnsPair::RunIp(const std::vector<std::string>& args, std::string& error) {
    std::vector<std::string> argv{"ip"};
    argv.insert(argv.end(), args.begin(), args.end());
    if (Run(argv) == 0) {
        return true;
    }
    error = "failed:";
    for (const auto& a : argv) {
        error += " " + a;
    }
    return false;
}

bool NetnsPair::Create(std::string& error) {
    if (!RunIp({"netns", "add", m_client}, error)) {
        return false;
    }
    m_createdClient = true;
    if (!RunIp({"netns", "add", m_responder}, error)) {
        return false;
    }
    m_createdResponder = true;
    const std::string& c = m_client;
    const std::string& r = m_responder;
    return RunIp({"-n", c, "link", "set", "lo", "up"}, error) && RunIp({"-n", r, "link", "set", "lo", "up"}, error) &&
           RunIp({"-n", c, "link", "add", "vc", "type", "veth", "peer", "name", "vr", "netns", r}, error) &&
           RunIp({"-n", c, "addr", "add", kClientAddress, "dev", "vc"}, error) &&
           RunIp({"-n", r, "addr", "add", std::string(kResponderAddress) + "/24", "dev", "vr"}, error) &&
           RunIp({"-n", c, "link", "set", "vc", "up"}, error) && RunIp({"-n", r, "link", "set", "vr", "up"}, error) &&
           RunIp({"netns", "exec", r, "sysctl", "-q", "-w", "net.ipv4.icmp_echo_ignore_all=1"}, error);
}

bool NetnsPair::AllowDatagramIcmp() {
    std::string error;
    return RunIp({"netns", "exec", m_client, "sysctl", "-q", "-w", "net.ipv4.ping_group_range=0 2147483647"}, error);
}

bool NetnsPair::StartResponder(const std::vector<std::string>& options, std::string& error) {
    StopResponder();
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error = "pipe failed";
        return false;
    }
    std::vector<std::string> argv{"ip", "netns", "exec", m_responder, ResponderProgram()};
    argv.insert(argv.end(), options.begin(), options.end());
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    const int rc = posix_spawnp(&m_responderPid, "ip", &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        m_responderPid = -1;
        close(fds[0]);
        error = "cannot start the responder";
        return false;
    }
    char line[16] = {};
    std::size_t got = 0;
    while (got < 6) {
        const ssize_t n = read(fds[0], line + got, sizeof line - 1 - got);
        if (n <= 0 && errno != EINTR) {
            break;
        }
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        }
    }
    close(fds[0]);
    if (std::strncmp(line, "ready", 5) != 0) {
        error = "the responder did not start (" + ResponderProgram() + ")";
        StopResponder();
        return false;
    }
    return true;
}

void NetnsPair::StopResponder() noexcept {
    if (m_responderPid <= 0) {
        return;
    }
    kill(m_responderPid, SIGTERM);
    int status;
    while (waitpid(m_responderPid, &status, 0) < 0 && errno == EINTR) {
    }
    m_responderPid = -1;
}

bool NetnsPair::EnterClient() {
    if (m_originalNs < 0) {
        m_originalNs = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    }
    const int fd = open(("/run/netns/" + m_client).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = setns(fd, CLONE_NEWNET) == 0;
    close(fd);
    return ok;
}

void NetnsPair::LeaveClient() noexcept {
    if (m_originalNs < 0) {
        return;
    }
    setns(m_originalNs, CLONE_NEWNET);
    close(m_originalNs);
    m_originalNs = -1;
}

std::uint32_t NetnsPair::ResponderAddress() const noexcept {
    return inet_addr(kResponderAddress);
}

std::uint32_t NetnsPair::ThirdNodeAddress() const noexcept {
    return inet_addr(kThirdNode);
}

void NetnsTest::SetUp() {
    std::string why;
    if (!NetnsPair::Available(why)) {
        GTEST_SKIP() << why;
    }
    ASSERT_TRUE(net.Create(why)) << why;
    ASSERT_TRUE(net.EnterClient()) << "cannot enter the client namespace";
}

void NetnsTest::TearDown() {
    net.LeaveClient();
}

void NetnsTest::Respond(const std::vector<std::string>& options) {
    std::string why;
    ASSERT_TRUE(net.StartResponder(options, why)) << why;
}

}  // namespace ov::test
