#include "HostState.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "HostProbe.h"
#include "PingServices.h"
#include "support/fake_icmp.h"

namespace {

using namespace std::chrono_literals;

constexpr std::int64_t kT0 = 1'800'000'000;

// Event i of a pattern: 'R' a reply of rttMs, 'L' a lost request; its time is kT0 + i.
PING_EVENT MakeEvent(char kind, std::size_t i, std::uint32_t rttMs = 1) {
    PING_EVENT e{};
    e.type = kind == 'R' ? PE_REPLY : PE_LOST;
    e.roundTripUs = kind == 'R' ? rttMs * 1000 : 0;
    e.time = kT0 + static_cast<std::int64_t>(i);
    return e;
}

struct Seen {
    std::size_t at;  // index of the event that caused it
    HostTransition t;
};

std::vector<Seen> FeedPattern(CHostStateTracker& tracker, const std::string& pattern,
                              const std::vector<std::uint32_t>& rttMs = {}) {
    std::vector<Seen> seen;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const std::uint32_t rtt = i < rttMs.size() ? rttMs[i] : 1;
        if (auto t = tracker.Feed(MakeEvent(pattern[i], i, rtt))) {
            seen.push_back({i, *t});
        }
    }
    return seen;
}

TEST(HostState, ARunOfLossesAtEveryPositionWithThresholdsOneThreeAndTen) {
    for (const unsigned n : {1u, 3u, 10u}) {
        for (const unsigned m : {1u, 3u, 10u}) {
            for (std::size_t p = 0; p < 25; ++p) {
                SCOPED_TRACE("N=" + std::to_string(n) + " M=" + std::to_string(m) + " p=" + std::to_string(p));
                const bool upFirst = p >= m;
                // Exactly N losses: down at the last of them, up M replies later.
                CHostStateTracker tracker({n, m, 0});
                auto seen = FeedPattern(tracker, std::string(p, 'R') + std::string(n, 'L') + std::string(m + 2, 'R'));
                ASSERT_EQ(seen.size(), upFirst ? 3u : 2u);
                std::size_t k = 0;
                if (upFirst) {
                    EXPECT_EQ(seen[0].at, m - 1);
                    EXPECT_EQ(seen[0].t.to, HostState::Up);
                    EXPECT_EQ(seen[0].t.lost, 0u);
                    k = 1;
                }
                EXPECT_EQ(seen[k].at, p + n - 1);
                EXPECT_EQ(seen[k].t.from, upFirst ? HostState::Up : HostState::Unknown);
                EXPECT_EQ(seen[k].t.to, HostState::Down);
                EXPECT_EQ(seen[k].t.lost, n);
                EXPECT_EQ(seen[k + 1].at, p + n + m - 1);
                EXPECT_EQ(seen[k + 1].t.to, HostState::Up);
                EXPECT_EQ(seen[k + 1].t.lost, n);
                EXPECT_EQ(seen[k + 1].t.previousSince, kT0 + static_cast<std::int64_t>(p + n - 1));
                EXPECT_EQ(seen[k + 1].t.since, kT0 + static_cast<std::int64_t>(p + n + m - 1));
                EXPECT_EQ(tracker.State(), HostState::Up);

                // One loss fewer never takes the host down.
                CHostStateTracker spared({n, m, 0});
                seen = FeedPattern(spared, std::string(p, 'R') + std::string(n - 1, 'L') + std::string(m + 2, 'R'));
                const bool noLoss = upFirst || n == 1;
                ASSERT_EQ(seen.size(), 1u);
                EXPECT_EQ(seen[0].t.to, HostState::Up);
                EXPECT_EQ(seen[0].at, noLoss ? m - 1 : p + n - 1 + m - 1);
                EXPECT_EQ(seen[0].t.lost, noLoss ? 0u : n - 1);
            }
        }
    }
}

TEST(HostState, AFlappingHostGoesDownAtMostOncePerDownAfterPlusUpAfterRequests) {
    std::mt19937 random(24);
    for (const unsigned n : {1u, 3u, 10u}) {
        for (const unsigned m : {1u, 3u, 10u}) {
            SCOPED_TRACE("N=" + std::to_string(n) + " M=" + std::to_string(m));
            // Every other request lost: with either threshold above one the
            // host settles once and stays.
            CHostStateTracker alternating({n, m, 0});
            std::string pattern;
            for (int i = 0; i < 200; ++i) {
                pattern += i % 2 == 0 ? "LR" : "RL";
            }
            const auto flaps = FeedPattern(alternating, pattern);
            if (n > 1 || m > 1) {
                EXPECT_LE(flaps.size(), 1u);
            }
            // Random flapping of every kind: downs N + M requests apart at least.
            for (int round = 0; round < 20; ++round) {
                std::string noise;
                for (int i = 0; i < 400; ++i) {
                    noise += random() % 2 == 0 ? 'L' : 'R';
                }
                CHostStateTracker tracker({n, m, 0});
                const auto seen = FeedPattern(tracker, noise);
                std::size_t lastDown = 0;
                bool hadDown = false;
                for (std::size_t i = 0; i < seen.size(); ++i) {
                    if (i > 0) {
                        EXPECT_GE(seen[i].at - seen[i - 1].at, seen[i].t.to == HostState::Down ? n : m);
                    }
                    if (seen[i].t.to == HostState::Down) {
                        if (hadDown) {
                            EXPECT_GE(seen[i].at - lastDown, n + m);
                        }
                        hadDown = true;
                        lastDown = seen[i].at;
                    }
                }
            }
        }
    }
}

TEST(HostState, SlowNeedsUpAfterRepliesAboveTheThresholdAndAsManyBelowToEnd) {
    CHostStateTracker tracker({3, 2, 100});
    // 100 ms exactly is not slow; a loss ends a run of slow replies.
    auto seen = FeedPattern(tracker, "RRRRRLRRRRLRR", {50, 150, 150, 100, 200, 0, 200, 90, 80, 200, 0, 200, 200});
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].at, 1u);
    EXPECT_EQ(seen[0].t.to, HostState::Up);
    EXPECT_EQ(seen[1].at, 2u);
    EXPECT_EQ(seen[1].t.to, HostState::Slow);
    EXPECT_EQ(seen[1].t.lastRttUs, 150000u);
    EXPECT_EQ(seen[2].at, 8u);
    EXPECT_EQ(seen[2].t.to, HostState::Up);
    EXPECT_EQ(seen[3].at, 12u);
    EXPECT_EQ(seen[3].t.to, HostState::Slow);

    // A host that comes back slow is slow at once.
    CHostStateTracker back({1, 2, 100});
    seen = FeedPattern(back, "LRR", {0, 300, 300});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].t.from, HostState::Down);
    EXPECT_EQ(seen[1].t.to, HostState::Slow);
}

TEST(HostState, BurstsOfAnySizeGiveTheSameTransitionsAsSingleEvents) {
    std::mt19937 random(7);
    std::string pattern;
    for (int i = 0; i < 600; ++i) {
        pattern += random() % 3 == 0 ? 'L' : 'R';
    }
    CHostStateTracker single({3, 2, 0});
    const auto expected = FeedPattern(single, pattern);
    ASSERT_GT(expected.size(), 4u);

    for (const DWORD burst : {1u, 2u, 5u, 64u, 600u}) {
        CEventRing ring;
        CHostStateTracker tracker({3, 2, 0});
        std::vector<HostTransition> got;
        std::vector<PING_EVENT> fresh;
        DWORD read = 0;
        for (std::size_t i = 0; i < pattern.size(); ++i) {
            ring.Push(MakeEvent(pattern[i], i));
            if ((i + 1) % burst == 0 || i + 1 == pattern.size()) {
                const DWORD count = ring.CopySince(read, fresh);
                tracker.FeedCopied(read, count, fresh, got);
                read = count;
            }
        }
        ASSERT_EQ(got.size(), expected.size()) << "burst " << burst;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].to, expected[i].t.to);
            EXPECT_EQ(got[i].since, expected[i].t.since);
        }
    }
}

// The tracker behind a host probe of the fake ICMP provider.
class HostStateProbeTest : public ::testing::Test {
protected:
    ov::test::FakeIcmpProvider m_fake{"fake"};
    ov::test::ProviderScope m_scope{{&m_fake}};

    static bool WaitUntil(const std::function<bool()>& cond) {
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (!cond()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(2ms);
        }
        return true;
    }
    static PING_SETTINGS Fast() {
        PING_SETTINGS s;
        s.Size = 8;
        s.TimeOut = 1000;
        s.TimeDelay = 0;
        s.Probe = 1;
        return s;
    }
    static DWORD Sent(const CHostProbe& host) {
        PING_STATS s{};
        host.GetStatistics(s);
        return s.sent;
    }
    // Lets the host send up to limit requests in all and feeds what they recorded.
    static void RunTo(CHostProbe& host, DWORD limit, CHostStateTracker& tracker, DWORD& read,
                      std::vector<HostTransition>& got) {
        host.SetRequestLimit(limit);
        ASSERT_TRUE(host.Start());
        ASSERT_TRUE(WaitUntil([&] { return Sent(host) == limit && host.GetEventCount() == limit + 1; }))
            << Sent(host) << " " << host.GetEventCount();
        std::vector<PING_EVENT> fresh;
        const DWORD count = host.CopyEventsSince(read, fresh);
        tracker.FeedCopied(read, count, fresh, got);
        read = count;
    }
};

const ov::test::FakeReply kUnreachable{1, IP_DEST_HOST_UNREACHABLE, 64, 0, false};
const ov::test::FakeReply kReply{4, IP_SUCCESS, 64, 0, false};

TEST_F(HostStateProbeTest, AFullRingWrapsBetweenTwoReadsWithoutAFalseDown) {
    // Two losses read; then a reply, a loss and seven replies, of which the
    // host's ring of eight keeps the loss and what follows.
    m_fake.Script({kUnreachable, kUnreachable, kReply, kUnreachable});
    m_fake.SetDefault(kReply);
    CHostProbe host(0, u"127.0.0.1", Fast(), 8);
    CHostStateTracker tracker;
    DWORD read = 0;
    std::vector<HostTransition> got;
    RunTo(host, 2, tracker, read, got);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(tracker.ConsecutiveLost(), 2u);
    RunTo(host, 11, tracker, read, got);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].from, HostState::Unknown);
    EXPECT_EQ(got[0].to, HostState::Up);
}

int FailingGetAddrInfo(const char*, const char*, const addrinfo*, addrinfo**) {
    return EAI_NONAME;
}

struct FailingResolverScope {
    FailingResolverScope() { SetNameResolver(&FailingGetAddrInfo, &::freeaddrinfo); }
    ~FailingResolverScope() { SetNameResolver(nullptr, nullptr); }
    FailingResolverScope(const FailingResolverScope&) = delete;
    FailingResolverScope& operator=(const FailingResolverScope&) = delete;
};

TEST_F(HostStateProbeTest, AHostWhoseNameDoesNotResolveIsDownAtOnce) {
    FailingResolverScope resolver;
    CHostProbe host(0, u"no.such.host.invalid", Fast());
    ASSERT_TRUE(WaitUntil([&] { return host.GetState() == HS_FAILED; }));
    std::vector<PING_EVENT> fresh;
    const DWORD count = host.CopyEventsSince(0, fresh);
    CHostStateTracker tracker({10, 2, 0});
    std::vector<HostTransition> got;
    tracker.FeedCopied(0, count, fresh, got);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].to, HostState::Down);
    EXPECT_EQ(got[0].lost, 0u);
    EXPECT_EQ(got[0].cause, PE_RESOLVE_FAILED);
}

}  // namespace
