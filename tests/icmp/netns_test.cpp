// Both ICMP providers against our own responder in a network namespace:
// delays, loss, late replies, reply TTL, ICMP errors, decoys, cancel, DF.
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/icmp.h"
#include "support/netns_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

class IcmpNetns : public ov::test::NetnsTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        NetnsTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        ov::icmp::Provider& p = GetParam() ? ov::icmp::DatagramProvider() : ov::icmp::RawProvider();
        if (GetParam()) {
            ASSERT_TRUE(net.AllowDatagramIcmp());
        }
        ASSERT_TRUE(p.Load()) << p.Name();
        create = reinterpret_cast<PFN_IcmpCreateFile>(p.GetProc("IcmpCreateFile"));
        close = reinterpret_cast<PFN_IcmpCloseHandle>(p.GetProc("IcmpCloseHandle"));
        send = reinterpret_cast<PFN_IcmpSendEcho>(p.GetProc("IcmpSendEcho"));
        cancel = reinterpret_cast<PFN_IcmpCancelEcho>(p.GetProc("IcmpCancelEcho"));
        handle = create();
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    }
    void TearDown() override {
        if (handle != INVALID_HANDLE_VALUE) {
            close(handle);
        }
        NetnsTest::TearDown();
    }

    // One echo of size bytes of 'A'; the reply is in reply().
    DWORD Echo(DWORD timeoutMs, WORD size = 32, BYTE ttl = 0, BYTE flags = 0) {
        return EchoTo(net.ResponderAddress(), timeoutMs, size, ttl, flags);
    }
    DWORD EchoTo(IPAddr to, DWORD timeoutMs, WORD size = 32, BYTE ttl = 0, BYTE flags = 0) {
        request.assign(size, 'A');
        buffer.assign(sizeof(ICMP_ECHO_REPLY) + size + 8, 0);
        IP_OPTION_INFORMATION options{ttl, 0, flags, 0, nullptr};
        return send(handle, to, request.data(), size, &options, buffer.data(), static_cast<DWORD>(buffer.size()),
                    timeoutMs);
    }
    const ICMP_ECHO_REPLY& reply() const { return *reinterpret_cast<const ICMP_ECHO_REPLY*>(buffer.data()); }

    PFN_IcmpCreateFile create = nullptr;
    PFN_IcmpCloseHandle close = nullptr;
    PFN_IcmpSendEcho send = nullptr;
    PFN_IcmpCancelEcho cancel = nullptr;
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::vector<char> request;
    std::vector<unsigned char> buffer;
};

TEST_P(IcmpNetns, DelayedRepliesTakeTheDelay) {
    Respond({"--delay=20"});
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(Echo(1000), 1u) << i;
        EXPECT_EQ(reply().Status, IP_SUCCESS);
        EXPECT_EQ(reply().Address, net.ResponderAddress());
        EXPECT_GE(reply().RoundTripTime, 20u);
        // The responder's own delay stretches when the machine is busy; the
        // bound only catches a time taken from the wrong moments.
        EXPECT_LE(reply().RoundTripTime, 120u);
        ASSERT_EQ(reply().DataSize, 32);
        EXPECT_EQ(std::memcmp(reply().Data, request.data(), 32), 0);
    }
}

TEST_P(IcmpNetns, LossStaysWithinStatisticalBounds) {
    Respond({"--loss=0.3", "--seed=" + std::to_string(getpid())});
    int answered = 0, lost = 0;
    for (int i = 0; i < 200; ++i) {
        if (Echo(60) == 1 && reply().Status == IP_SUCCESS) {
            ++answered;
        } else {
            EXPECT_EQ(reply().Status, IP_REQ_TIMED_OUT);
            ++lost;
        }
    }
    EXPECT_EQ(answered + lost, 200);
    // Binomial(200, 0.3): mean 60, deviation 6.5; this is beyond 4.5 deviations.
    EXPECT_GE(lost, 31);
    EXPECT_LE(lost, 89);
}

TEST_P(IcmpNetns, ReplyAfterTheTimeoutIsLostAndLaterIgnored) {
    Respond({"--delay=300"});
    const auto start = Clock::now();
    EXPECT_EQ(Echo(100), 0u);
    const auto waited = Clock::now() - start;
    EXPECT_EQ(reply().Status, IP_REQ_TIMED_OUT);
    EXPECT_GE(waited, std::chrono::milliseconds(100));
    EXPECT_LT(waited, std::chrono::milliseconds(250));
    // The late reply of the first request arrives during this wait and is
    // not taken for the second one.
    ASSERT_EQ(Echo(1000), 1u);
    EXPECT_EQ(reply().Status, IP_SUCCESS);
    EXPECT_GE(reply().RoundTripTime, 300u);
}

TEST_P(IcmpNetns, ReplyTtlIsRecordedAndRequestTtlApplied) {
    Respond({"--ttl=17"});
    ASSERT_EQ(Echo(1000), 1u);
    EXPECT_EQ(reply().Options.Ttl, 17);
    Respond({"--ttl=mirror"});
    ASSERT_EQ(Echo(1000, 32, 42), 1u);
    EXPECT_EQ(reply().Options.Ttl, 42);
    ASSERT_EQ(Echo(1000, 32, 200), 1u);
    EXPECT_EQ(reply().Options.Ttl, 200);
}

TEST_P(IcmpNetns, IcmpErrorsComeBackAsOneErrorReply) {
    const std::string from = std::string("--error-from=") + ov::test::NetnsPair::kThirdNode;
    struct Case {
        const char* error;
        DWORD status;
    } const cases[] = {
        {"--error=unreach:1", IP_DEST_HOST_UNREACHABLE},
        {"--error=unreach:0", IP_DEST_NET_UNREACHABLE},
        {"--error=unreach:3", IP_DEST_PORT_UNREACHABLE},
        {"--error=ttl", IP_TTL_EXPIRED_TRANSIT},
    };
    for (const Case& c : cases) {
        Respond({c.error, from});
        const auto start = Clock::now();
        ASSERT_EQ(Echo(2000), 1u) << c.error;
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500)) << "not a timeout";
        EXPECT_EQ(reply().Status, c.status) << c.error;
        EXPECT_EQ(reply().Address, net.ThirdNodeAddress()) << c.error;
    }
}

// Makes the client give up on an unanswered neighbour after one probe of
// 100 ms instead of three of a second (this thread is in the client namespace).
bool QuickNeighbourFailure() {
    return std::ofstream("/proc/sys/net/ipv4/neigh/vc/mcast_solicit") << "1" &&
           std::ofstream("/proc/sys/net/ipv4/neigh/vc/retrans_time_ms") << "100";
}

TEST_P(IcmpNetns, AnErrorArrivingAfterItsRequestTimedOutIsNotChargedToTheNext) {
    Respond({});
    ASSERT_TRUE(QuickNeighbourFailure());
    // No node owns the third address: the neighbour lookup fails after the
    // request timed out, and "host unreachable" arrives for a finished request.
    EXPECT_EQ(EchoTo(net.ThirdNodeAddress(), 20), 0u);
    EXPECT_EQ(reply().Status, IP_REQ_TIMED_OUT);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    // The next request goes out and gets its own answer.
    ASSERT_EQ(Echo(2000), 1u) << reply().Status;
    EXPECT_EQ(reply().Status, IP_SUCCESS);
    EXPECT_EQ(Echo(2000), 1u);
}

// Bytes waiting unread on every ICMP socket of this thread's namespace.
long QueuedOnIcmpSockets() {
    long total = 0;
    for (const char* table : {"/proc/thread-self/net/raw", "/proc/thread-self/net/icmp"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line);  // column titles
        while (std::getline(in, line)) {
            // sl, local address, remote address, state, then "tx_queue:rx_queue".
            std::istringstream fields(line);
            std::string skip, queues;
            fields >> skip >> skip >> skip >> skip >> queues;
            const auto colon = queues.find(':');
            if (colon != std::string::npos) {
                total += std::stol(queues.substr(colon + 1), nullptr, 16);
            }
        }
    }
    return total;
}

TEST_P(IcmpNetns, AnIdleHandleCollectsNoErrorsOfOtherRequests) {
    Respond({"--error=unreach:1", std::string("--error-from=") + ov::test::NetnsPair::kThirdNode});
    const HANDLE idle = create();
    ASSERT_NE(idle, INVALID_HANDLE_VALUE);
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(Echo(2000), 1u);
        EXPECT_EQ(reply().Status, IP_DEST_HOST_UNREACHABLE);
    }
    // The handle that got the errors took them; no other socket keeps a copy.
    EXPECT_EQ(QueuedOnIcmpSockets(), 0);
    EXPECT_TRUE(close(idle));
}

TEST_P(IcmpNetns, StaleForeignAndMisaddressedRepliesAreIgnored) {
    Respond({"--decoys", "--delay=5", std::string("--error-from=") + ov::test::NetnsPair::kThirdNode});
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(Echo(1000), 1u);
        EXPECT_EQ(reply().Status, IP_SUCCESS);
        EXPECT_EQ(reply().Address, net.ResponderAddress());
        // The answer comes 1 ms after the decoys.
        EXPECT_GE(reply().RoundTripTime, 6u);
    }
}

TEST_P(IcmpNetns, CancelWakesAWaitingEcho) {
    Respond({"--loss=1"});
    const auto start = Clock::now();
    auto waiting = std::async(std::launch::async, [this] { return Echo(10000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(cancel(handle));
    EXPECT_EQ(waiting.get(), 0u);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(Echo(10000), 0u);  // later sends end at once
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
}

TEST_P(IcmpNetns, DontFragmentFlagIsApplied) {
    Respond({});
    // Larger than the link's 1500-byte MTU: fragmented without DF...
    ASSERT_EQ(Echo(1000, 3000), 1u);
    EXPECT_EQ(reply().Status, IP_SUCCESS);
    EXPECT_EQ(reply().DataSize, 3000);
    // ...and refused with it.
    EXPECT_EQ(Echo(1000, 3000, 0, IP_FLAG_DF), 0u);
    EXPECT_EQ(reply().Status, IP_PACKET_TOO_BIG);
    ASSERT_EQ(Echo(1000, 1000, 0, IP_FLAG_DF), 1u);
    EXPECT_EQ(reply().Status, IP_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(Providers, IcmpNetns, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Datagram" : "Raw"; });

}  // namespace
