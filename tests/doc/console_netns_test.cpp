// The console mode end to end against our ICMP responder in a network
// namespace: lost requests, delays, a host that never answers, exit status.
#include <regex>

#include <arpa/inet.h>
#include <gtest/gtest.h>

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

std::string Escaped(const std::string& host) { return std::regex_replace(host, std::regex(R"(\.)"), R"(\.)"); }

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
    EXPECT_EQ(stats[4], "Packets Lost:" + std::to_string(lost) + "(" + std::to_string(lost * 10) +
                            "% loss)");
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

TEST_F(ConsoleNetns, AHostWithoutRepliesGivesStatusOne) {
    Respond({"--loss=1"});
    const std::string host = Dotted(net.ResponderAddress());
    ConsoleRun run({TapperPath(), "--console", "--count=3", "-d0", "-w200", host});
    const ConsoleResult r = run.Finish(60s);
    EXPECT_EQ(r.status, 1) << r.err;
    const auto lines = SplitLines(r.out);
    EXPECT_EQ(Count(lines, std::regex(R"(.*Reply form )" + Escaped(host) + ": Request timed out\\.")), 3)
        << r.out;
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

}  // namespace
