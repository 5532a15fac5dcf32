// The console mode end to end against 127.0.0.1.
#include <algorithm>
#include <csignal>
#include <regex>

#include <gtest/gtest.h>
#include <unistd.h>

#include "PingServices.h"
#include "doc/console_run.h"

namespace {

using namespace std::chrono_literals;
using ov::test::ConsoleResult;
using ov::test::ConsoleRun;
using ov::test::SplitLines;
using ov::test::TapperPath;

const std::regex kStamp(R"(\[\d{4}-\d{1,2}-\d{1,2} \d\d:\d\d:\d\d\])");

std::string ReplyPattern(const std::string& host, int bytes) {
    return R"(\[\d{4}-\d{1,2}-\d{1,2} \d\d:\d\d:\d\d\]Reply form )" + host +
           ": bytes = " + std::to_string(bytes) + R"( time (= \d+ms|< 1ms) TTL = \d+)";
}

int CountMatching(const std::vector<std::string>& lines, const std::regex& re) {
    int n = 0;
    for (const std::string& line : lines) {
        n += std::regex_match(line, re) ? 1 : 0;
    }
    return n;
}

// The statistics block of host: a blank line, the host, then its eight lines.
std::vector<std::string> StatBlock(const std::vector<std::string>& lines, const std::string& host) {
    for (std::size_t i = 0; i + 9 < lines.size() + 1; ++i) {
        if (lines[i].empty() && i + 9 < lines.size() && lines[i + 1] == host) {
            return {lines.begin() + static_cast<long>(i) + 1, lines.begin() + static_cast<long>(i) + 10};
        }
    }
    return {};
}

class ConsoleNetTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!BindPingServices()) {
            GTEST_SKIP() << "no ICMP provider can be opened here (datagram sockets not allowed "
                            "by ping_group_range and no raw-socket privilege)";
        }
        UnbindPingServices();
    }
};

TEST_F(ConsoleNetTest, CountedRunPrintsEveryReplyAndTheStatistics) {
    ConsoleRun run({TapperPath(), "--console", "--count=3", "-d200", "127.0.0.1"});
    ASSERT_TRUE(run.Started());
    const ConsoleResult r = run.Finish(30s);
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = SplitLines(r.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\[.*\]Reply form 127\.0\.0\.1: Looking up IP Address\.\.\.)")))
        << lines[0];
    EXPECT_EQ(CountMatching(lines, std::regex(ReplyPattern(R"(127\.0\.0\.1)", 64))), 3) << r.out;

    const auto block = StatBlock(lines, "127.0.0.1");
    ASSERT_EQ(block.size(), 9u) << r.out;
    EXPECT_EQ(block[1], "127.0.0.1");
    EXPECT_EQ(block[2].rfind("Location:", 0), 0u);
    EXPECT_EQ(block[3], "Packets Sent:3");
    EXPECT_EQ(block[4], "Packets Received:3");
    EXPECT_EQ(block[5], "Packets Lost:0(0% loss)");
    EXPECT_TRUE(std::regex_match(block[6], std::regex(R"(Response time Minimum:\d+ms)"))) << block[6];
    EXPECT_TRUE(std::regex_match(block[7], std::regex(R"(Response time Maximum:\d+ms)"))) << block[7];
    EXPECT_TRUE(std::regex_match(block[8], std::regex(R"(Response time  Average:\d+ms)"))) << block[8];
    EXPECT_EQ(std::regex_search(lines.back(), kStamp), false);
}

TEST_F(ConsoleNetTest, SwitchesReachTheRequestsOfEveryHost) {
    ConsoleRun run({TapperPath(), "--console", "--count=2", "-d100", "-l128", "127.0.0.1;127.0.0.2"});
    const ConsoleResult r = run.Finish(30s);
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = SplitLines(r.out);
    EXPECT_EQ(CountMatching(lines, std::regex(ReplyPattern(R"(127\.0\.0\.1)", 128))), 2) << r.out;
    EXPECT_EQ(CountMatching(lines, std::regex(ReplyPattern(R"(127\.0\.0\.2)", 128))), 2) << r.out;
    EXPECT_EQ(StatBlock(lines, "127.0.0.1").size(), 9u);
    EXPECT_EQ(StatBlock(lines, "127.0.0.2").size(), 9u);
}

TEST_F(ConsoleNetTest, SignalsEndTheRunWithStatistics) {
    for (const int sig : {SIGTERM, SIGINT}) {
        ConsoleRun run({TapperPath(), "--console", "-d100", "127.0.0.1"});
        ASSERT_TRUE(run.WaitForOutput("bytes = ", 20s)) << sig;
        run.Signal(sig);
        const ConsoleResult r = run.Finish(20s);
        EXPECT_EQ(r.signal, 0) << sig;
        EXPECT_EQ(r.status, 0) << sig << r.err;
        const auto block = StatBlock(SplitLines(r.out), "127.0.0.1");
        ASSERT_EQ(block.size(), 9u) << r.out;
        EXPECT_NE(block[3], "Packets Sent:0");
    }
}

// count loopback addresses from 127.0.1.1 on, as one argument.
std::string LoopbackHosts(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += "127.0." + std::to_string(1 + i / 250) + "." + std::to_string(1 + i % 250) + " ";
    }
    return text;
}

// One request to each of 300 loopback hosts under the descriptor limit that
// the shell's ulimit options set.
ConsoleResult RunThreeHundredHostsUnder(const std::string& ulimitOptions) {
    const std::string command = "ulimit " + ulimitOptions +
                                " && exec \"$0\" --console --count=1 -w3000 " + LoopbackHosts(300);
    ConsoleRun run({"/bin/sh", "-c", command, TapperPath()});
    return run.Finish(120s);
}

TEST_F(ConsoleNetTest, ManyHostsRunUnderALowSoftDescriptorLimit) {
    // 300 hosts need more than 256 descriptors; the program raises its soft
    // limit to the hard one and spends one descriptor per host.
    const ConsoleResult r = RunThreeHundredHostsUnder("-Sn 256");
    const auto lines = SplitLines(r.out);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(CountMatching(lines, std::regex(R"(.*: bytes = 64 time .*)")), 300);
    EXPECT_EQ(CountMatching(lines, std::regex("Packets Received:1")), 300);
}

TEST_F(ConsoleNetTest, HostsPastTheDescriptorLimitFailAndEveryLineIsFormatted) {
    // A hard limit of 256 for 300 hosts: the hosts whose socket the limit
    // refuses say so, descriptors stay free for the program's own files, and
    // no line shows a text unformatted.
    const ConsoleResult r = RunThreeHundredHostsUnder("-n 256");
    const auto lines = SplitLines(r.out);
    EXPECT_EQ(r.status, 1) << r.err;  // some hosts got no socket, so no reply
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(CountMatching(lines, std::regex(R"(.*%[a-zA-Z0-9]+_[a-zA-Z0-9]+%.*)")), 0) << r.out;
    const int replied = CountMatching(lines, std::regex(R"(.*: bytes = 64 time .*)"));
    const int refused = CountMatching(lines, std::regex(R"(.*: Could not Open the ICMP Socket\.)"));
    EXPECT_GT(replied, 100);
    EXPECT_EQ(replied + refused, 300);
    EXPECT_EQ(CountMatching(lines, std::regex("Packets Sent:[01]")), 300);
}

TEST_F(ConsoleNetTest, ACountedRunSendsExactlyThatManyRequestsPerHost) {
    // Many hosts without delay: the printing falls behind the workers.
    ConsoleRun run({TapperPath(), "--console", "--count=5", "-d0", LoopbackHosts(300)});
    const ConsoleResult r = run.Finish(120s);
    const auto lines = SplitLines(r.out);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(CountMatching(lines, std::regex("Packets Sent:5")), 300);
    EXPECT_EQ(CountMatching(lines, std::regex(R"(.*: bytes = 64 time .*)")), 1500);
}

TEST(ConsoleInputTest, InvalidHostTextIsRefused) {
    ConsoleRun run({TapperPath(), "--console", "127.0.0.1:80"});
    const ConsoleResult r = run.Finish(20s);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Invalid host name or IP addresses.\n");
    EXPECT_EQ(r.out, "");
}

TEST(ConsoleInputTest, NoHostAndBadOptionsAreRefused) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{TapperPath(), "--console"},
          std::vector<std::string>{TapperPath(), "--console", "-d100", ";,"},
          std::vector<std::string>{TapperPath(), "--console", "--count=x", "127.0.0.1"},
          std::vector<std::string>{TapperPath(), "--console", "--frobnicate", "127.0.0.1"}}) {
        ConsoleRun run(args);
        const ConsoleResult r = run.Finish(20s);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST(ConsoleInputTest, NoIcmpServiceEndsWithTheNetworkMessage) {
    // An ordinary user outside ping_group_range has neither socket kind.
    if (geteuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0) {
        GTEST_SKIP() << "needs root and setpriv to run the program as an ordinary user";
    }
    ConsoleRun run({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                    TapperPath(), "--console", "--count=1", "127.0.0.1"});
    const ConsoleResult r = run.Finish(20s);
    if (r.status == 0) {
        GTEST_SKIP() << "this machine lets ordinary users send ICMP echoes";
    }
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(r.err.rfind("Can't Start NetWork.\nApplication will exit.\n", 0), 0u) << r.err;
    // Where ping_group_range leaves the user's group out, a third line says so.
    const std::string rest = r.err.substr(std::min(r.err.size(), std::string("Can't Start NetWork.\nApplication will exit.\n").size()));
    if (!rest.empty()) {
        EXPECT_NE(rest.find("this program runs in group 65534."), std::string::npos) << r.err;
    }
}

}  // namespace
