// Host probes over each real ICMP provider against our own responder in a
// network namespace: recorded response times, loss accounting, reply TTL,
// ICMP errors as lost events, and prompt deletion during a pending echo.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "HostProbe.h"
#include "PingServices.h"
#include "platform/icmp.h"
#include "support/netns_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

class EngineNetns : public ov::test::NetnsTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        NetnsTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        if (GetParam()) {
            ASSERT_TRUE(net.AllowDatagramIcmp());
        }
        // Bind the one provider under test, from inside the client namespace.
        UnbindPingServices();
        ov::icmp::SetProviders({GetParam() ? &ov::icmp::DatagramProvider() : &ov::icmp::RawProvider()});
        ASSERT_TRUE(BindPingServices());
        bound = true;
    }
    void TearDown() override {
        hosts.clear();
        if (bound) {
            UnbindPingServices();
            ov::icmp::SetProviders({});
        }
        NetnsTest::TearDown();
    }

    CHostProbe& AddHost(DWORD timeOut, DWORD size = 32) {
        PING_SETTINGS s;
        s.Size = size;
        s.TimeOut = timeOut;
        s.TimeDelay = 0;  // one request per worker cycle
        s.Probe = 1;
        s.IPOption = {64, 0, 0, 0, nullptr};
        hosts.push_back(std::make_unique<CHostProbe>(static_cast<DWORD>(hosts.size()), u"10.77.0.2", s));
        return *hosts.back();
    }

    static PING_STATS Stats(const CHostProbe& h) {
        PING_STATS s{};
        h.GetStatistics(s);
        return s;
    }

    // Waits until every host has sent at least n requests, then stops them.
    void RunUntilSent(DWORD n, std::chrono::seconds limit) {
        for (auto& h : hosts) {
            ASSERT_TRUE(h->Start());
        }
        const auto end = Clock::now() + limit;
        auto done = [&] {
            for (auto& h : hosts) {
                if (Stats(*h).sent < n) {
                    return false;
                }
            }
            return true;
        };
        while (!done() && Clock::now() < end) {
            std::this_thread::sleep_for(20ms);
        }
        for (auto& h : hosts) {
            h->Stop();
        }
        ASSERT_TRUE(done()) << "hosts did not send " << n << " requests in time";
        std::this_thread::sleep_for(50ms);  // let a request in flight be counted
    }

    // Calls check for every retained event of the host.
    static void ForEachEvent(const CHostProbe& h, const std::function<void(const PING_EVENT&)>& check) {
        CEventRing ring;
        h.CopyEvents(ring);
        for (DWORD i = 0; i < ring.Retained(); ++i) {
            check(ring.Oldest(i));
        }
    }

    bool bound = false;
    std::vector<std::unique_ptr<CHostProbe>> hosts;
};

TEST_P(EngineNetns, RecordedResponseTimeFollowsTheDelay) {
    Respond({"--delay=20"});
    CHostProbe& h = AddHost(1000);
    RunUntilSent(8, 30s);
    const PING_STATS s = Stats(h);
    EXPECT_EQ(s.lost, 0u);
    EXPECT_GE(s.minimum, 20u);
    // The responder's delay stretches on a busy machine; the bound only
    // catches times taken from the wrong moments (worker wake-ups, polls).
    EXPECT_LE(s.maximum, 120u);
    int replies = 0;
    ForEachEvent(h, [&](const PING_EVENT& e) {
        if (e.type != PE_REPLY) {
            return;
        }
        ++replies;
        EXPECT_GE(e.reply.RoundTripTime, 20u);
        EXPECT_LE(e.reply.RoundTripTime, 120u);
        EXPECT_EQ(e.reply.DataSize, 32);
    });
    EXPECT_EQ(static_cast<DWORD>(replies), s.sent);
}

TEST_P(EngineNetns, LossIsCountedAndAccountsForEveryRequest) {
    Respond({"--loss=0.3", "--seed=" + std::to_string(getpid() + 1)});
    for (int i = 0; i < 4; ++i) {
        AddHost(60);
    }
    RunUntilSent(50, 60s);
    DWORD sent = 0, lost = 0;
    for (auto& h : hosts) {
        const PING_STATS s = Stats(*h);
        int replies = 0, losses = 0;
        ForEachEvent(*h, [&](const PING_EVENT& e) {
            replies += e.type == PE_REPLY;
            losses += e.type == PE_LOST;
        });
        // sent = received + lost, and the ring agrees with the counters.
        EXPECT_EQ(s.sent, static_cast<DWORD>(replies + losses));
        EXPECT_EQ(s.lost, static_cast<DWORD>(losses));
        sent += s.sent;
        lost += s.lost;
    }
    ASSERT_GE(sent, 200u);
    // Binomial(sent, 0.3) within 4.5 standard deviations.
    const double mean = 0.3 * sent;
    const double bound = 4.5 * std::sqrt(sent * 0.3 * 0.7);
    EXPECT_GE(lost, mean - bound) << "sent " << sent;
    EXPECT_LE(lost, mean + bound) << "sent " << sent;
}

TEST_P(EngineNetns, ReplyLaterThanTheTimeoutIsLost) {
    Respond({"--delay=250"});
    CHostProbe& h = AddHost(100);
    RunUntilSent(3, 30s);
    const PING_STATS s = Stats(h);
    EXPECT_EQ(s.lost, s.sent);
    EXPECT_EQ(s.total, 0u);
}

TEST_P(EngineNetns, ReplyTtlIsRecorded) {
    Respond({"--ttl=17"});
    CHostProbe& h = AddHost(1000);
    RunUntilSent(3, 30s);
    int replies = 0;
    ForEachEvent(h, [&](const PING_EVENT& e) {
        if (e.type == PE_REPLY) {
            ++replies;
            EXPECT_EQ(e.reply.Options.Ttl, 17);
        }
    });
    EXPECT_GE(replies, 3);
}

TEST_P(EngineNetns, IcmpErrorsAreLostEventsWithoutWaitingForTheTimeout) {
    Respond({"--error=unreach:1", std::string("--error-from=") + ov::test::NetnsPair::kThirdNode});
    CHostProbe& h = AddHost(5000);
    const auto start = Clock::now();
    RunUntilSent(4, 30s);
    // Four timeouts would take 20 s; errors end each wait at once.
    EXPECT_LT(Clock::now() - start, 5s);
    const PING_STATS s = Stats(h);
    EXPECT_EQ(s.lost, s.sent);
    ForEachEvent(h, [&](const PING_EVENT& e) { EXPECT_NE(e.type, PE_REPLY); });
}

TEST_P(EngineNetns, DeletingAHostDuringAPendingEchoIsPrompt) {
    Respond({"--loss=1"});
    CHostProbe& h = AddHost(10000);
    ASSERT_TRUE(h.Start());
    const auto end = Clock::now() + 10s;
    // The worker enters HS_PINGING just before its first request.
    while (h.GetState() != HS_PINGING && Clock::now() < end) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(h.GetState(), HS_PINGING);
    std::this_thread::sleep_for(200ms);  // the echo is now waiting for its reply
    EXPECT_EQ(Stats(h).sent, 0u);
    const auto start = Clock::now();
    hosts.clear();
    EXPECT_LT(Clock::now() - start, 1s);
}

INSTANTIATE_TEST_SUITE_P(Providers, EngineNetns, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Datagram" : "Raw"; });

}  // namespace
