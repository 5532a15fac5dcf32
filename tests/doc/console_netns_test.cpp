// The console mode end to end against our ICMP responder in a network
// namespace: lost requests, delays, a host that never answers, exit status.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "doc/console_run.h"
#include "support/netns_fixture.h"

namespace {

using namespace std::chrono_literals;
using ov::test::ConsoleResult;
using ov::test::ConsoleRun;
using ov::test::SplitLines;
using ov::test::TapperPath;

std::string Dotted(std::uint32_t address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof(text));
    return text;
}

int Count(const std::vector<std::string>& lines, const std::regex& re) {
    int n = 0;
    for (const std::string& line : lines) {
        n += std::regex_match(line, re) ? 1 : 0;
    }
    return n;
}

// The eight statistic lines printed after the blank line and the host line.
std::vector<std::string> StatLinesOf(const std::vector<std::string>& lines, const std::string& host) {
    for (std::size_t i = 0; i + 10 <= lines.size(); ++i) {
        if (lines[i].empty() && lines[i + 1] == host) {
            return {lines.begin() + static_cast<long>(i) + 2, lines.begin() + static_cast<long>(i) + 10};
        }
    }
    return {};
}

std::string Escaped(const std::string& host) {
    return std::regex_replace(host, std::regex(R"(\.)"), R"(\.)");
}

class ConsoleNetns : public ov::test::NetnsTest {};

TEST_F(ConsoleNetns, LostRequestsArePrintedAndCounted) {
    Respond({"--loss=0.4", "--seed=7"});
    const std::string host = Dotted(net.ResponderAddress());
    ConsoleRun run({TapperPath(), "--console", "--count=10", "-d0", "-w300", host});
    const ConsoleResult r = run.Finish(60s);
    const auto lines = SplitLines(r.out);
    const std::string prefix = R"(\[\d{4}-\d{1,2}-\d{1,2} \d\d:\d\d:\d\d\]Reply form )" + Escaped(host);
    const int lost = Count(lines, std::regex(prefix + ": Request timed out\\."));
    const int replies = Count(lines, std::regex(prefix + R"(: bytes = 64 time (= \d+ms|< 1ms) TTL = \d+)"));
    EXPECT_EQ(lost + replies, 10) << r.out;
    ASSERT_GT(lost, 0) << r.out;
    ASSERT_GT(replies, 0) << r.out;
    EXPECT_EQ(r.status, 0) << r.err;

    const auto stats = StatLinesOf(lines, host);
    ASSERT_EQ(stats.size(), 8u) << r.out;
    EXPECT_EQ(stats[0], host);
    EXPECT_EQ(stats[2], "Packets Sent:10");
    EXPECT_EQ(stats[3], "Packets Received:" + std::to_string(replies));
    EXPECT_EQ(stats[4], "Packets Lost:" + std::to_string(lost) + "(" + std::to_string(lost * 10) + "% loss)");
}

TEST_F(ConsoleNetns, DelayedRepliesShowTheirTime) {
    Respond({"--delay=40"});
    const std::string host = Dotted(net.ResponderAddress());
    ConsoleRun run({TapperPath(), "--console", "--count=3", "-d0", "-w1000", host});
    const ConsoleResult r = run.Finish(60s);
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = SplitLines(r.out);
    const std::regex reply(R"(.*bytes = 64 time = (\d+)ms TTL = \d+)");
    int seen = 0;
    for (const std::string& line : lines) {
        std::smatch m;
        if (std::regex_match(line, m, reply)) {
            ++seen;
            EXPECT_GE(std::stoi(m[1]), 40) << line;
        }
    }
    EXPECT_EQ(seen, 3) << r.out;
    const auto stats = StatLinesOf(lines, host);
    ASSERT_EQ(stats.size(), 8u) << r.out;
    const std::regex minimum(R"(Response time Minimum:(\d+)ms)");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(stats[5], m, minimum)) << stats[5];
    EXPECT_GE(std::stoi(m[1]), 40);
}

TEST_F(ConsoleNetns, FlagSwitchDoesNotForbidFragments) {
    // The link carries 1500 bytes; 3000 data bytes go out only in fragments.
    Respond({});
    const std::string host = Dotted(net.ResponderAddress());
    ConsoleRun run({TapperPath(), "--console", "--count=2", "-d0", "-f", "-l3000", host});
    const ConsoleResult r = run.Finish(60s);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(Count(SplitLines(r.out), std::regex(R"(.*: bytes = 3000 time.*)")), 2) << r.out;
    ConsoleRun usage({TapperPath(), "--help"});
    const ConsoleResult u = usage.Finish(20s);
    EXPECT_EQ(u.out.find("-f  don't fragment"), std::string::npos);
    EXPECT_NE(u.out.find("-f  IP flags value 1"), std::string::npos);
}

TEST_F(ConsoleNetns, AHostWithoutRepliesGivesStatusOne) {
    Respond({"--loss=1"});
    const std::string host = Dotted(net.ResponderAddress());
    ConsoleRun run({TapperPath(), "--console", "--count=3", "-d0", "-w200", host});
    const ConsoleResult r = run.Finish(60s);
    EXPECT_EQ(r.status, 1) << r.err;
    const auto lines = SplitLines(r.out);
    EXPECT_EQ(Count(lines, std::regex(R"(.*Reply form )" + Escaped(host) + ": Request timed out\\.")), 3) << r.out;
    const auto stats = StatLinesOf(lines, host);
    ASSERT_EQ(stats.size(), 8u) << r.out;
    EXPECT_EQ(stats[3], "Packets Received:0");
    EXPECT_EQ(stats[4], "Packets Lost:3(100% loss)");
    EXPECT_EQ(stats[5], "Response time Minimum: N/A");
    EXPECT_EQ(stats[6], "Response time Maximum: N/A");
    EXPECT_EQ(stats[7], "Response time  Average: N/A");
}

TEST_F(ConsoleNetns, OneSilentHostAmongOthersGivesStatusOne) {
    Respond({});
    const std::string host = Dotted(net.ResponderAddress());
    const std::string silent = ov::test::NetnsPair::kThirdNode;  // no node answers there
    ConsoleRun run({TapperPath(), "--console", "--count=2", "-d0", "-w200", host + "," + silent});
    const ConsoleResult r = run.Finish(60s);
    EXPECT_EQ(r.status, 1) << r.err;
    const auto lines = SplitLines(r.out);
    EXPECT_EQ(StatLinesOf(lines, host).at(3), "Packets Received:2") << r.out;
    EXPECT_EQ(StatLinesOf(lines, silent).at(3), "Packets Received:0") << r.out;
}

// A name server in the client namespace that takes every question and never
// answers (silent), or an address where none listens, so that every lookup
// fails at once; and a resolver configuration naming it, for a child run under
// a mount namespace of its own (the machine's configuration stays untouched).
class TestNameServer {
public:
    explicit TestNameServer(bool silent) {
        const std::uint32_t address = silent ? 0x7F000035 : 0x7F000036;  // 127.0.0.53 / .54
        if (silent) {
            m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            sockaddr_in at{};
            at.sin_family = AF_INET;
            at.sin_port = htons(53);
            at.sin_addr.s_addr = htonl(address);
            m_ready = m_socket >= 0 && ::bind(m_socket, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
        }
        m_config =
            (std::filesystem::temp_directory_path() / ("ov-resolv-" + std::to_string(::getpid()) + ".conf")).string();
        std::ofstream(m_config) << "nameserver " << Dotted(htonl(address)) << "\noptions timeout:30 attempts:1\n";
    }
    ~TestNameServer() {
        if (m_socket >= 0) {
            ::close(m_socket);
        }
        std::filesystem::remove(m_config);
    }
    TestNameServer(const TestNameServer&) = delete;
    TestNameServer& operator=(const TestNameServer&) = delete;

    bool Ready() const noexcept { return m_ready; }
    // argv running the program with args under this resolver configuration.
    std::vector<std::string> Command(const std::string& args) const {
        return {
            "/usr/bin/unshare", "-m",    "/bin/sh", "-c", "mount --bind \"$1\" /etc/resolv.conf && exec \"$0\" " + args,
            TapperPath(),       m_config};
    }
    static bool Available() { return access("/usr/bin/unshare", X_OK) == 0; }

private:
    int m_socket = -1;
    bool m_ready = true;
    std::string m_config;
};

TEST_F(ConsoleNetns, InterruptDuringASlowNameLookupEndsAtOnce) {
    if (!TestNameServer::Available()) {
        GTEST_SKIP() << "needs unshare to give the program a resolver configuration of its own";
    }
    Respond({});
    TestNameServer dns(/*silent=*/true);
    ASSERT_TRUE(dns.Ready());
    const std::string host = Dotted(net.ResponderAddress());
    for (const int sig : {SIGINT, SIGTERM}) {
        ConsoleRun run(dns.Command("--console -d100 -p1 silent.example " + host));
        ASSERT_TRUE(run.WaitForOutput("bytes = ", 20s)) << sig;
        // The name server keeps the lookup waiting.
        ASSERT_FALSE(run.WaitForOutput("Could not resolve", 1500ms)) << sig;
        const auto begin = std::chrono::steady_clock::now();
        run.Signal(sig);
        const ConsoleResult r = run.Finish(20s);
        // The lookup would take 30 s; the run ends without waiting for it.
        EXPECT_LT(std::chrono::steady_clock::now() - begin, 3s) << sig;
        EXPECT_EQ(r.signal, 0) << sig;
        EXPECT_EQ(r.status, 1) << sig << r.err;  // the unresolved host got no reply
        const auto lines = SplitLines(r.out);
        EXPECT_EQ(StatLinesOf(lines, host).size(), 8u) << r.out;
        EXPECT_EQ(StatLinesOf(lines, "silent.example").size(), 8u) << r.out;
    }
}

TEST_F(ConsoleNetns, ExitStatusDependsOnTheOutcomeOnly) {
    if (!TestNameServer::Available()) {
        GTEST_SKIP() << "needs unshare to give the program a resolver configuration of its own";
    }
    Respond({});
    TestNameServer dns(/*silent=*/false);
    const std::string host = Dotted(net.ResponderAddress());
    // Hosts whose names fail at once, before or after their gates open: the
    // run started, and they got no reply.
    for (int i = 0; i < 4; ++i) {
        ConsoleRun run(dns.Command("--console --count=2 -d0 -p1 gone.example,gone2.example"));
        const ConsoleResult r = run.Finish(30s);
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_EQ(Count(SplitLines(r.out), std::regex(".*Could not resolve Host name.*")), 2) << r.out;
    }
    ConsoleRun mixed(dns.Command("--console --count=2 -d0 -p1 gone.example " + host));
    EXPECT_EQ(mixed.Finish(30s).status, 1);
    ConsoleRun fine(dns.Command("--console --count=2 -d0 " + host));
    EXPECT_EQ(fine.Finish(30s).status, 0);
}

}  // namespace
