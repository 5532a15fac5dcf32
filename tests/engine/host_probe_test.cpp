#include "HostProbe.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "PingServices.h"
#include "platform/codepage.h"
#include "support/fake_icmp.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using ov::test::FakeIcmpProvider;
using ov::test::FakeReply;
using ov::test::ProviderScope;

const IPAddr kLoopback = htonl(0x7F000001);

// Polls cond until it holds or the (generous) limit passes.
bool WaitUntil(const std::function<bool()>& cond, std::chrono::milliseconds limit = 10s) {
    const auto deadline = Clock::now() + limit;
    while (!cond()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

PING_SETTINGS FastSettings() {
    PING_SETTINGS s;
    s.Size = 8;
    s.TimeOut = 1000;
    s.TimeDelay = 0;
    s.Probe = 1;
    s.IPOption = {64, 0, 0, 0, nullptr};
    return s;
}

// A resolver the tests control: counts calls, records what it was asked,
// waits, and fails or answers through the C library's resolver.
struct FakeResolver {
    std::atomic<int> calls{0};
    std::atomic<int> delayMs{0};
    std::atomic<bool> fail{false};
    std::atomic<int> family{-1};
    std::atomic<int> frees{0};
    std::string service;
    std::string node;
    std::mutex lock;
};
FakeResolver g_resolver;

int FakeGetAddrInfo(const char* node, const char* service, const addrinfo* hints, addrinfo** result) {
    ++g_resolver.calls;
    g_resolver.family = hints != nullptr ? hints->ai_family : AF_UNSPEC;
    {
        std::lock_guard lock(g_resolver.lock);
        g_resolver.service = service != nullptr ? service : "";
        g_resolver.node = node != nullptr ? node : "";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(g_resolver.delayMs.load()));
    if (g_resolver.fail) {
        return EAI_NONAME;
    }
    return ::getaddrinfo(node, service, hints, result);
}

// One fixed answer with the canonical name g_canonical; its free only counts.
std::string g_canonical;
sockaddr_in g_canonicalAddress{};
addrinfo g_canonicalResult{};

int CanonicalGetAddrInfo(const char* node, const char* service, const addrinfo* hints, addrinfo** result) {
    ++g_resolver.calls;
    {
        std::lock_guard lock(g_resolver.lock);
        g_resolver.node = node != nullptr ? node : "";
    }
    g_canonicalAddress.sin_family = AF_INET;
    g_canonicalAddress.sin_addr.s_addr = htonl(0x0A000001);
    g_canonicalResult.ai_family = AF_INET;
    g_canonicalResult.ai_addr = reinterpret_cast<sockaddr*>(&g_canonicalAddress);
    g_canonicalResult.ai_addrlen = sizeof(g_canonicalAddress);
    g_canonicalResult.ai_canonname = g_canonical.data();
    *result = &g_canonicalResult;
    return 0;
}

void CountingFreeAddrInfo(addrinfo*) {
    ++g_resolver.frees;
}

// Installs the fake resolver for one test and restores the C library's.
class ResolverScope {
public:
    ResolverScope(bool fail, int delayMs) {
        g_resolver.calls = 0;
        g_resolver.fail = fail;
        g_resolver.delayMs = delayMs;
        g_resolver.family = -1;
        g_resolver.frees = 0;
        SetNameResolver(&FakeGetAddrInfo, &::freeaddrinfo);
    }
    ~ResolverScope() { SetNameResolver(nullptr, nullptr); }
    ResolverScope(const ResolverScope&) = delete;
    ResolverScope& operator=(const ResolverScope&) = delete;
};

// Records notifications; never blocks.
class RecordingTarget final : public IPingNotifyTarget {
public:
    struct Note {
        UINT message;
        int what;
        DWORD index;
    };
    void PostPingNotify(UINT message, int what, DWORD hostIndex) noexcept override {
        std::lock_guard lock(m_lock);
        m_notes.push_back({message, what, hostIndex});
    }
    std::vector<Note> Notes() const {
        std::lock_guard lock(m_lock);
        return m_notes;
    }
    std::size_t Count(int what) const {
        std::lock_guard lock(m_lock);
        std::size_t n = 0;
        for (const Note& note : m_notes) {
            n += note.what == what ? 1 : 0;
        }
        return n;
    }

private:
    mutable std::mutex m_lock;
    std::vector<Note> m_notes;
};

class HostProbeTest : public ::testing::Test {
protected:
    FakeIcmpProvider m_fake{"fake"};
    ProviderScope m_scope{{&m_fake}};

    std::unique_ptr<CHostProbe> MakeReadyHost(const PING_SETTINGS& settings, std::u16string name = u"127.0.0.1") {
        auto host = std::make_unique<CHostProbe>(0, std::move(name), settings);
        EXPECT_TRUE(WaitUntil([&] { return host->GetState() == HS_READY; }));
        return host;
    }
    static PING_STATS Stats(const CHostProbe& host) {
        PING_STATS s{};
        host.GetStatistics(s);
        return s;
    }
};

TEST_F(HostProbeTest, ResolvesAtOnceAndSendsTheFirstRequestWhenTheGateOpens) {
    PING_SETTINGS settings = FastSettings();
    settings.TimeDelay = 60000;
    auto host = MakeReadyHost(settings);
    EXPECT_EQ(host->GetAddress(), kLoopback);
    EXPECT_EQ(host->GetHostName(), u"127.0.0.1");
    EXPECT_FALSE(host->GetCountry().empty());
    EXPECT_FALSE(host->IsBusy());
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(m_fake.SendCalls(), 0u);  // nothing before Start

    ASSERT_TRUE(host->Start());
    ASSERT_TRUE(m_fake.WaitForSends(1, 5s));
    ASSERT_TRUE(WaitUntil([&] { return host->GetEventCount() == 2; }));  // resolving, reply
    EXPECT_EQ(host->GetState(), HS_PINGING);
    EXPECT_TRUE(host->IsBusy());

    // The request: 'A' bytes of Size, the options, room for the reply record.
    const auto requests = m_fake.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].destination, kLoopback);
    EXPECT_EQ(requests[0].data, std::vector<BYTE>(8, 0x41));
    EXPECT_EQ(requests[0].options.Ttl, 64);
    EXPECT_EQ(requests[0].timeoutMs, 1000u);
    EXPECT_GE(requests[0].replySize, 8 + sizeof(ICMP_ECHO_REPLY));

    PING_EVENT last{};
    host->GetLastEvent(last);
    EXPECT_EQ(last.type, PE_REPLY);
    EXPECT_EQ(last.reply.RoundTripTime, 1u);
    EXPECT_EQ(last.reply.Options.Ttl, 64);
    EXPECT_EQ(last.reply.DataSize, 8);
    EXPECT_GT(last.time, 1600000000);

    // TimeDelay holds back the next request.
    std::this_thread::sleep_for(350ms);
    EXPECT_EQ(m_fake.SendCalls(), 1u);
}

TEST_F(HostProbeTest, ARequestLimitStopsTheWorkerAfterExactlyThatMany) {
    PING_SETTINGS settings = FastSettings();
    auto host = MakeReadyHost(settings);
    host->SetRequestLimit(3);
    ASSERT_TRUE(host->Start());
    ASSERT_TRUE(WaitUntil([&] { return Stats(*host).sent >= 3; }));
    std::this_thread::sleep_for(400ms);  // four more cycles without the limit
    EXPECT_EQ(Stats(*host).sent, 3u);
    EXPECT_EQ(m_fake.SendCalls(), 3u);
    // A higher limit lets it go on to the new count.
    host->SetRequestLimit(5);
    ASSERT_TRUE(WaitUntil([&] { return Stats(*host).sent >= 5; }));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(m_fake.SendCalls(), 5u);
}

TEST_F(HostProbeTest, AReplyKeepsTheMicrosecondsOnlyWhenTheyAgreeWithItsMilliseconds) {
    // Noted and agreeing; none noted; noted but not matching the milliseconds.
    m_fake.Script(
        {{3, IP_SUCCESS, 64, 0, false, 3457}, {2, IP_SUCCESS, 64, 0, false}, {4, IP_SUCCESS, 64, 0, false, 9999}});
    m_fake.SetDefault({0, IP_SUCCESS, 64, 0, true});
    auto host = MakeReadyHost(FastSettings());
    ASSERT_TRUE(host->Start());
    ASSERT_TRUE(WaitUntil([&] { return Stats(*host).sent >= 3; }));
    std::vector<PING_EVENT> events;
    host->CopyEventsSince(0, events);
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(events[0].roundTripUs, 0u);  // resolving
    EXPECT_EQ(events[1].roundTripUs, 3457u);
    EXPECT_EQ(events[2].roundTripUs, 2000u);
    EXPECT_EQ(events[3].roundTripUs, 4000u);
    EXPECT_EQ(events[3].reply.RoundTripTime, 4u);
}

TEST_F(HostProbeTest, AZeroMinimumIsReplacedByTheNextReply) {
    m_fake.Script({{0, IP_SUCCESS, 64, 0, false}, {5, IP_SUCCESS, 64, 400, false}, {3, IP_SUCCESS, 64, 0, false}});
    m_fake.SetDefault({0, IP_SUCCESS, 64, 0, true});  // then no more replies
    auto host = MakeReadyHost(FastSettings());
    ASSERT_TRUE(host->Start());

    ASSERT_TRUE(WaitUntil([&] { return Stats(*host).sent >= 1; }));
    PING_STATS s = Stats(*host);
    EXPECT_EQ(s.minimum, 0u);
    EXPECT_EQ(s.total, 0u);

    ASSERT_TRUE(WaitUntil([&] { return Stats(*host).sent >= 2; }));
    s = Stats(*host);
    EXPECT_EQ(s.minimum, 5u);
    EXPECT_EQ(s.maximum, 5u);

    ASSERT_TRUE(WaitUntil([&] { return Stats(*host).sent >= 3; }));
    s = Stats(*host);
    EXPECT_EQ(s.minimum, 3u);
    EXPECT_EQ(s.maximum, 5u);
    EXPECT_EQ(s.total, 8u);
    EXPECT_EQ(s.lost, 0u);
}

TEST_F(HostProbeTest, RepliesLaterThanTheTimeoutOrWithAnErrorAreLost) {
    PING_SETTINGS settings = FastSettings();
    settings.TimeOut = 50;
    m_fake.Script({{51, IP_SUCCESS, 64, 0, false},
                   {50, IP_SUCCESS, 64, 0, false},
                   {1, IP_DEST_HOST_UNREACHABLE, 64, 0, false},
                   {1, IP_TTL_EXPIRED_TRANSIT, 64, 0, false},
                   {1, IP_SUCCESS, 64, 0, true}});
    RecordingTarget target;
    auto host = MakeReadyHost(settings);
    host->SetNotifyWindow(&target, WM_PING_NOTIFY);
    ASSERT_TRUE(host->Start());
    ASSERT_TRUE(WaitUntil([&] { return Stats(*host).sent >= 5; }));
    host->Stop();

    const PING_STATS s = Stats(*host);
    EXPECT_EQ(s.lost, s.sent - 1);
    EXPECT_EQ(s.minimum, 50u);
    EXPECT_EQ(s.maximum, 50u);
    EXPECT_EQ(s.total, 50u);

    CEventRing ring;
    host->CopyEvents(ring);
    ASSERT_GE(ring.Count(), 6u);
    EXPECT_EQ(ring.At(0).type, PE_RESOLVING);
    EXPECT_EQ(ring.At(1).type, PE_LOST);
    EXPECT_EQ(ring.At(2).type, PE_REPLY);
    EXPECT_EQ(ring.At(3).type, PE_LOST);
    EXPECT_EQ(ring.At(4).type, PE_LOST);
    EXPECT_EQ(ring.At(5).type, PE_LOST);
    // A lost event says why: late and missing replies time out, errors keep their status.
    EXPECT_EQ(ring.At(1).reply.Status, IP_REQ_TIMED_OUT);
    EXPECT_EQ(ring.At(3).reply.Status, IP_DEST_HOST_UNREACHABLE);
    EXPECT_EQ(ring.At(4).reply.Status, IP_TTL_EXPIRED_TRANSIT);
    EXPECT_EQ(ring.At(5).reply.Status, IP_REQ_TIMED_OUT);
    EXPECT_EQ(target.Count(PN_REPLY), 1u);
    EXPECT_EQ(target.Count(PN_LOST), s.lost);
}

TEST_F(HostProbeTest, ProbeZeroStillMakesOneResolutionAttempt) {
    for (WORD probe : {WORD{0}, WORD{1}, WORD{3}}) {
        SCOPED_TRACE(probe);
        // Each attempt takes a while, so the target is in place before the end.
        ResolverScope resolver(/*fail=*/true, 50);
        PING_SETTINGS settings = FastSettings();
        settings.Probe = probe;
        RecordingTarget target;
        CHostProbe host(4, u"no.such.host", settings);
        host.SetNotifyWindow(&target, WM_PING_NOTIFY);
        ASSERT_TRUE(WaitUntil([&] { return host.GetState() == HS_FAILED; }));
        EXPECT_EQ(g_resolver.calls.load(), probe == 0 ? 1 : probe);
        // A failed preparation is announced like a successful one, after the
        // lookup's beginning when the target was in place by then.
        ASSERT_TRUE(WaitUntil([&] { return target.Count(PN_PREPARED) == 1; }));
        EXPECT_EQ(target.Notes().at(0).index, 4u);
        EXPECT_EQ(target.Notes().back().what, PN_PREPARED);
        EXPECT_EQ(target.Notes().size(), 1u + target.Count(PN_RESOLVING));
        EXPECT_LE(target.Count(PN_RESOLVING), 1u);
        EXPECT_EQ(host.GetFailureReason(), ov::Utf8ToWide(gai_strerror(EAI_NONAME)));
        EXPECT_EQ(host.GetAddress(), 0u);
        CEventRing ring;
        host.CopyEvents(ring);
        ASSERT_EQ(ring.Count(), 2u);
        EXPECT_EQ(ring.At(0).type, PE_RESOLVING);
        EXPECT_EQ(ring.At(1).type, PE_RESOLVE_FAILED);
    }
}

TEST_F(HostProbeTest, ResolutionAsksForIPv4OnlyAndNotifiesWhenPrepared) {
    // The lookup takes a while, so the target is in place before it ends.
    ResolverScope resolver(/*fail=*/false, 100);
    RecordingTarget target;
    CHostProbe host(7, u"localhost", FastSettings());
    host.SetNotifyWindow(&target, WM_PING_NOTIFY);
    ASSERT_TRUE(WaitUntil([&] { return host.GetState() == HS_READY; }));
    EXPECT_EQ(g_resolver.family.load(), AF_INET);
    {
        std::lock_guard lock(g_resolver.lock);
        EXPECT_EQ(g_resolver.service, "33434");
    }
    EXPECT_EQ(host.GetAddress(), kLoopback);
    EXPECT_EQ(host.GetHostName(), u"localhost");
    ASSERT_TRUE(WaitUntil([&] { return target.Count(PN_PREPARED) == 1; }));
    EXPECT_EQ(target.Notes().back().what, PN_PREPARED);
    EXPECT_EQ(target.Notes().back().index, 7u);
    EXPECT_EQ(target.Notes().back().message, WM_PING_NOTIFY);
    EXPECT_EQ(host.GetFailureReason(), u"");
}

TEST_F(HostProbeTest, EveryStepThatRecordsAnEventWhileTheTargetIsInPlaceIsNotified) {
    // The worker waits at its ICMP handle until the target is in place.
    ResolverScope resolver(/*fail=*/false, 0);
    m_fake.HoldCreates(true);
    RecordingTarget target;
    CHostProbe host(2, u"localhost", FastSettings());
    ASSERT_TRUE(m_fake.WaitForCreates(1, 5s));
    host.SetNotifyWindow(&target, WM_PING_NOTIFY);
    m_fake.HoldCreates(false);
    ASSERT_TRUE(WaitUntil([&] { return target.Count(PN_PREPARED) == 1; }));
    // The lookup's beginning comes first, so that a slow one shows.
    ASSERT_EQ(target.Notes().size(), 2u);
    EXPECT_EQ(target.Notes()[0].what, PN_RESOLVING);
    EXPECT_EQ(target.Notes()[0].index, 2u);
    EXPECT_EQ(host.GetEventCount(), 1u);

    // A handle that cannot be opened ends the preparation, and says so.
    m_fake.SetCreateFails(true);
    m_fake.HoldCreates(true);
    RecordingTarget failedTarget;
    CHostProbe failed(3, u"127.0.0.1", FastSettings());
    ASSERT_TRUE(m_fake.WaitForCreates(2, 5s));
    failed.SetNotifyWindow(&failedTarget, WM_PING_NOTIFY);
    m_fake.HoldCreates(false);
    ASSERT_TRUE(WaitUntil([&] { return failedTarget.Count(PN_PREPARED) == 1; }));
    EXPECT_EQ(failedTarget.Notes().size(), 1u);
    EXPECT_EQ(failed.GetState(), HS_FAILED);
    EXPECT_EQ(failed.GetFailureReason(), ov::Utf8ToWide(std::strerror(EACCES)));
}

TEST_F(HostProbeTest, NamesGoToTheResolverInUtf8CutAt1024Bytes) {
    ResolverScope resolver(/*fail=*/true, 0);
    {
        CHostProbe host(0, u"b\u00fccher.example", FastSettings());
        ASSERT_TRUE(WaitUntil([&] { return host.GetState() == HS_FAILED; }));
        std::lock_guard lock(g_resolver.lock);
        EXPECT_EQ(g_resolver.node,
                  "b\xc3\xbc"
                  "cher.example");
    }
    {
        // 1023 ASCII bytes, then a character of two bytes that does not fit.
        std::u16string name(1023, u'a');
        name += u'\u00e9';
        CHostProbe host(0, name, FastSettings());
        ASSERT_TRUE(WaitUntil([&] { return host.GetState() == HS_FAILED; }));
        std::lock_guard lock(g_resolver.lock);
        EXPECT_EQ(g_resolver.node, std::string(1023, 'a'));
    }
}

TEST_F(HostProbeTest, ACanonicalNameReplacesTheTypedName) {
    ResolverScope resolver(/*fail=*/false, 0);
    SetNameResolver(&CanonicalGetAddrInfo, &CountingFreeAddrInfo);
    {
        g_canonical = "canonical.example";
        CHostProbe host(0, u"alias", FastSettings());
        ASSERT_TRUE(WaitUntil([&] { return host.GetState() == HS_READY; }));
        EXPECT_EQ(host.GetHostName(), u"canonical.example");
        EXPECT_EQ(host.GetAddress(), htonl(0x0A000001));
        EXPECT_EQ(g_resolver.frees.load(), 1);
    }
    {
        // A name server's bytes: an overlong "/" stays malformed, the tab is
        // escaped, and the name is cut at 520 units.
        g_canonical = "a\xC0\xAF\tb" + std::string(600, 'x');
        CHostProbe host(0, u"alias", FastSettings());
        ASSERT_TRUE(WaitUntil([&] { return host.GetState() == HS_READY; }));
        EXPECT_EQ(host.GetHostName(), u"a\uFFFD\uFFFD\\tb" + std::u16string(515, u'x'));
    }
}

TEST_F(HostProbeTest, TheRealResolverGivesLocalhostAsAnIPv4Address) {
    auto host = MakeReadyHost(FastSettings(), u"localhost");
    EXPECT_EQ(host->GetAddress(), kLoopback);
}

TEST_F(HostProbeTest, StopAndStartOnAFailedHost) {
    ResolverScope resolver(/*fail=*/true, 0);
    CHostProbe host(0, u"no.such.host", FastSettings());
    ASSERT_TRUE(WaitUntil([&] { return host.GetState() == HS_FAILED; }));
    EXPECT_FALSE(host.IsBusy());
    EXPECT_FALSE(host.Start());
    std::this_thread::sleep_for(250ms);
    EXPECT_EQ(m_fake.SendCalls(), 0u);
    host.Stop();
    EXPECT_EQ(host.GetState(), HS_READY);
}

// Voluntary context switches of every thread of this process so far.
long VoluntarySwitches() {
    long total = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream status(task.path() / "status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
                total += std::stol(line.substr(24));
            }
        }
    }
    return total;
}

TEST_F(HostProbeTest, AHostThatCanNoLongerSendSleepsUntilStoppedOrChanged) {
    ResolverScope resolver(/*fail=*/true, 100);
    CHostProbe host(0, u"no.such.host", FastSettings());
    ASSERT_TRUE(host.Start());  // the gate opens while the name is still being looked up
    ASSERT_TRUE(WaitUntil([&] { return host.GetState() == HS_FAILED; }));
    std::this_thread::sleep_for(100ms);
    const long before = VoluntarySwitches();
    std::this_thread::sleep_for(1s);
    // A worker checking every cycle would wake ten times in that second.
    EXPECT_LT(VoluntarySwitches() - before, 5);
    // Stopped and started again, it still sends nothing: it has no address.
    host.Stop();
    EXPECT_TRUE(host.Start());
    host.SetSettings(FastSettings());
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(m_fake.SendCalls(), 0u);
}

TEST_F(HostProbeTest, StopClosesTheGateAndStartReopensIt) {
    auto host = MakeReadyHost(FastSettings());
    ASSERT_TRUE(host->Start());
    ASSERT_TRUE(m_fake.WaitForSends(2, 5s));
    host->Stop();
    EXPECT_EQ(host->GetState(), HS_READY);
    std::this_thread::sleep_for(250ms);  // a request already under way may finish
    const std::size_t afterStop = m_fake.SendCalls();
    std::this_thread::sleep_for(350ms);
    EXPECT_EQ(m_fake.SendCalls(), afterStop);
    EXPECT_TRUE(host->Start());
    ASSERT_TRUE(m_fake.WaitForSends(afterStop + 1, 5s));
}

// Stopping thousands of hosts woke thousands of workers at once; the gate
// alone keeps a pausing worker from sending when its pause ends.
TEST_F(HostProbeTest, CloseGateStopsAWorkerInItsPauseWithoutWakingIt) {
    PING_SETTINGS settings = FastSettings();
    settings.TimeDelay = 300;
    auto host = MakeReadyHost(settings);
    ASSERT_TRUE(host->Start());
    ASSERT_TRUE(m_fake.WaitForSends(1, 5s));
    host->CloseGate();
    EXPECT_EQ(host->GetState(), HS_READY);
    const std::size_t afterStop = m_fake.SendCalls();
    std::this_thread::sleep_for(700ms);  // the pause ended meanwhile
    EXPECT_EQ(m_fake.SendCalls(), afterStop);
    EXPECT_EQ(host->GetState(), HS_READY);
    EXPECT_TRUE(host->Start());
    ASSERT_TRUE(m_fake.WaitForSends(afterStop + 1, 5s));
}

TEST_F(HostProbeTest, AFailedIcmpHandleFailsTheHost) {
    m_fake.SetCreateFails(true);
    CHostProbe host(0, u"127.0.0.1", FastSettings());
    ASSERT_TRUE(WaitUntil([&] { return host.GetState() == HS_FAILED; }));
    PING_EVENT last{};
    host.GetLastEvent(last);
    EXPECT_EQ(last.type, PE_NO_ICMP_HANDLE);
    EXPECT_EQ(host.GetEventCount(), 1u);
    EXPECT_FALSE(host.Start());
    EXPECT_EQ(host.GetFailureReason(), ov::Utf8ToWide(std::strerror(EACCES)));
    // Stopping a failed host does not forget why it failed.
    host.Stop();
    EXPECT_EQ(host.GetFailureReason(), ov::Utf8ToWide(std::strerror(EACCES)));
}

TEST_F(HostProbeTest, UnavailableServicesFailTheHostWithoutAWorker) {
    m_fake.SetLoadFails(true);
    CHostProbe host(0, u"127.0.0.1", FastSettings());
    EXPECT_EQ(host.GetState(), HS_FAILED);
    EXPECT_EQ(host.GetEventCount(), 1u);
    PING_EVENT last{};
    host.GetLastEvent(last);
    EXPECT_EQ(last.type, PE_NO_SERVICES);
    EXPECT_FALSE(host.Start());
    EXPECT_EQ(m_fake.LoadCalls(), 1);  // the host tried to bind once
    EXPECT_EQ(m_fake.CreateCalls(), 0);
}

TEST_F(HostProbeTest, ASizeChangeReallocatesBothBuffersBeforeTheNextRequest) {
    auto host = MakeReadyHost(FastSettings());
    ASSERT_TRUE(host->Start());
    ASSERT_TRUE(m_fake.WaitForSends(1, 5s));
    PING_SETTINGS bigger = FastSettings();
    bigger.Size = 1000;
    host->SetSettings(bigger);
    const std::size_t before = m_fake.SendCalls();
    ASSERT_TRUE(m_fake.WaitForSends(before + 2, 5s));
    PING_SETTINGS empty = FastSettings();
    empty.Size = 0;
    host->SetSettings(empty);
    const std::size_t middle = m_fake.SendCalls();
    ASSERT_TRUE(m_fake.WaitForSends(middle + 2, 5s));
    host->Stop();

    const auto requests = m_fake.Requests();
    EXPECT_EQ(requests[0].data.size(), 8u);
    const auto& big = requests[before + 1];
    EXPECT_EQ(big.data, std::vector<BYTE>(1000, 0x41));
    EXPECT_GE(big.replySize, 1000 + sizeof(ICMP_ECHO_REPLY));
    const auto& none = requests[middle + 1];
    EXPECT_TRUE(none.data.empty());
    EXPECT_GE(none.replySize, sizeof(ICMP_ECHO_REPLY));
    // Every request got its reply: the buffer always had room for it.
    ASSERT_TRUE(WaitUntil([&] { return Stats(*host).sent == m_fake.SendCalls(); }));
    EXPECT_EQ(Stats(*host).lost, 0u);
}

TEST_F(HostProbeTest, SettingsChangedWhileRunningApplyToTheNextRequest) {
    auto host = MakeReadyHost(FastSettings());
    ASSERT_TRUE(host->Start());
    ASSERT_TRUE(m_fake.WaitForSends(1, 5s));
    PING_SETTINGS changed = FastSettings();
    changed.TimeOut = 777;
    changed.IPOption.Ttl = 9;
    changed.IPOption.Tos = 0x10;
    changed.IPOption.Flags = IP_FLAG_DF;
    host->SetSettings(changed);
    EXPECT_EQ(host->GetSettings().TimeOut, 777u);
    const std::size_t before = m_fake.SendCalls();
    ASSERT_TRUE(m_fake.WaitForSends(before + 2, 5s));
    const auto late = m_fake.Requests()[before + 1];
    EXPECT_EQ(late.timeoutMs, 777u);
    EXPECT_EQ(late.options.Ttl, 9);
    EXPECT_EQ(late.options.Tos, 0x10);
    EXPECT_EQ(late.options.Flags, IP_FLAG_DF);

    // A long delay holds further requests back from the next cycle on.
    changed.TimeDelay = 60000;
    host->SetSettings(changed);
    std::this_thread::sleep_for(250ms);
    const std::size_t settled = m_fake.SendCalls();
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(m_fake.SendCalls(), settled);
}

TEST_F(HostProbeTest, AShorterDelayEndsAPauseSizedForTheLongerOne) {
    PING_SETTINGS slow = FastSettings();
    slow.TimeDelay = 600000;
    auto host = MakeReadyHost(slow);
    ASSERT_TRUE(host->Start());
    ASSERT_TRUE(m_fake.WaitForSends(1, 5s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(m_fake.SendCalls(), 1u);  // the worker now sleeps toward a ten-minute delay

    host->SetSettings(FastSettings());
    EXPECT_TRUE(m_fake.WaitForSends(3, 10s));
}

TEST_F(HostProbeTest, DeletionDuringAnEchoCancelsItAndJoinsTheWorker) {
    PING_SETTINGS settings = FastSettings();
    settings.TimeOut = 60000;
    m_fake.SetDefault({1, IP_SUCCESS, 64, 0, /*noReply=*/true});
    auto host = MakeReadyHost(settings);
    ASSERT_TRUE(host->Start());
    ASSERT_TRUE(m_fake.WaitForSends(1, 5s));
    ASSERT_TRUE(WaitUntil([&] { return m_fake.SendsInProgress() == 1; }));

    const auto begin = Clock::now();
    host.reset();
    EXPECT_LT(Clock::now() - begin, 10s);  // well under the echo timeout of 60 s
    EXPECT_GE(m_fake.CancelCalls(), 1);
    EXPECT_EQ(m_fake.SendsInProgress(), 0);
    // The worker ran to its end: its ICMP handle is closed.
    EXPECT_EQ(m_fake.CloseCalls(), m_fake.CreateCalls());
}

TEST_F(HostProbeTest, DeletionDuringResolutionStopsBetweenAttempts) {
    ResolverScope resolver(/*fail=*/true, 100);
    PING_SETTINGS settings = FastSettings();
    settings.Probe = 1000;  // 100 s of attempts
    auto host = std::make_unique<CHostProbe>(0, u"slow.example", settings);
    ASSERT_TRUE(WaitUntil([] { return g_resolver.calls.load() >= 2; }));
    const auto begin = Clock::now();
    host.reset();
    EXPECT_LT(Clock::now() - begin, 10s);
    EXPECT_LE(g_resolver.calls.load(), 4);
    EXPECT_EQ(m_fake.CloseCalls(), m_fake.CreateCalls());
}

TEST_F(HostProbeTest, DeletionDuringOneSlowLookupAbandonsIt) {
    // One attempt that takes far longer than any deletion may.
    ResolverScope resolver(/*fail=*/false, 4000);
    PING_SETTINGS settings = FastSettings();
    settings.Probe = 1;
    RecordingTarget target;
    auto host = std::make_unique<CHostProbe>(0, u"localhost", settings);
    host->SetNotifyWindow(&target, WM_PING_NOTIFY);
    ASSERT_TRUE(WaitUntil([] { return g_resolver.calls.load() >= 1; }));
    const auto begin = Clock::now();
    host->RequestQuit();
    ASSERT_TRUE(WaitUntil([&] { return host->GetState() == HS_FAILED; }, 1s));
    PING_EVENT last{};
    host->GetLastEvent(last);
    EXPECT_EQ(last.type, PE_RESOLVE_FAILED);
    EXPECT_EQ(target.Count(PN_PREPARED), 1u);
    host.reset();
    EXPECT_LT(Clock::now() - begin, 1s);
    EXPECT_EQ(m_fake.CloseCalls(), m_fake.CreateCalls());
    // The abandoned attempt ends later on its own and its result is dropped.
    EXPECT_EQ(g_resolver.calls.load(), 1);
}

TEST_F(HostProbeTest, SignallingEveryHostFirstMakesDeletingManyQuick) {
    PING_SETTINGS settings = FastSettings();
    settings.TimeOut = 60000;
    m_fake.SetDefault({1, IP_SUCCESS, 64, 0, /*noReply=*/true});
    std::vector<std::unique_ptr<CHostProbe>> hosts;
    for (DWORD i = 0; i < 20; ++i) {
        hosts.push_back(std::make_unique<CHostProbe>(i, u"127.0.0.1", settings));
    }
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        ASSERT_TRUE(WaitUntil([&] { return hosts[i]->GetState() == HS_READY; }));
        if (i % 2 == 0) {
            ASSERT_TRUE(hosts[i]->Start());  // half wait in an echo, half at the gate
        }
    }
    ASSERT_TRUE(m_fake.WaitForSends(10, 10s));
    const auto begin = Clock::now();
    for (auto& host : hosts) {
        host->RequestQuit();
    }
    hosts.clear();
    EXPECT_LT(Clock::now() - begin, 10s);
    EXPECT_EQ(m_fake.CloseCalls(), 20);
    EXPECT_EQ(m_fake.SendsInProgress(), 0);
}

TEST_F(HostProbeTest, DeletionWithoutCancelWaitsOnlyForTheCurrentEcho) {
    FakeIcmpProvider noCancel("no-cancel");
    noCancel.SetMissingExport("IcmpCancelEcho");
    ProviderScope scope({&noCancel});
    PING_SETTINGS settings = FastSettings();
    settings.TimeOut = 300;
    noCancel.SetDefault({1, IP_SUCCESS, 64, 0, /*noReply=*/true});
    auto host = MakeReadyHost(settings);
    ASSERT_TRUE(host->Start());
    ASSERT_TRUE(noCancel.WaitForSends(1, 5s));
    host.reset();
    EXPECT_EQ(noCancel.SendCalls(), 1u);  // no further request after the quit
    EXPECT_EQ(noCancel.CloseCalls(), 1);
}

// A target whose posts block until the test lets them go, as a queue whose
// lock another thread holds would.
class BlockingTarget final : public IPingNotifyTarget {
public:
    void PostPingNotify(UINT, int what, DWORD) noexcept override {
        std::unique_lock lock(m_lock);
        m_waiting.push_back(what);
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
    }
    // Waits until a post of what is blocked in the target.
    bool WaitForBlockedPost(int what) {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(
            lock, 10s, [&] { return std::find(m_waiting.begin(), m_waiting.end(), what) != m_waiting.end(); });
    }
    void Open() {
        std::lock_guard lock(m_lock);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<int> m_waiting;
    bool m_open = false;
};

TEST_F(HostProbeTest, AWorkerBlockedInItsTargetHoldsNothingTheOwnerNeeds) {
    BlockingTarget target;
    auto host = MakeReadyHost(FastSettings());
    host->SetNotifyWindow(&target, WM_PING_NOTIFY);
    ASSERT_TRUE(host->Start());
    ASSERT_TRUE(target.WaitForBlockedPost(PN_REPLY));
    // The worker sits in the target: the reply it announces is recorded, and
    // every call of the owner's thread but SetNotifyWindow goes through.
    auto owner = std::async(std::launch::async, [&] {
        EXPECT_EQ(Stats(*host).sent, 1u);
        PING_EVENT last{};
        host->GetLastEvent(last);
        EXPECT_EQ(last.type, PE_REPLY);
        CEventRing ring;
        host->CopyEvents(ring);
        EXPECT_EQ(ring.Count(), host->GetEventCount());
        EXPECT_EQ(host->GetState(), HS_PINGING);
        EXPECT_EQ(host->GetAddress(), kLoopback);
        host->SetSettings(FastSettings());
        host->Stop();
    });
    EXPECT_EQ(owner.wait_for(2s), std::future_status::ready) << "the owner waited for the worker";
    target.Open();
    owner.wait();
    // Released, the worker goes back to its closed gate; deleting it is prompt.
    host.reset();
    EXPECT_EQ(m_fake.CloseCalls(), m_fake.CreateCalls());
}

TEST_F(HostProbeTest, AWorkerNeverWaitsForItsNotificationTarget) {
    // The target only queues; the test thread never drains it, yet the
    // worker keeps probing and notifying.
    RecordingTarget target;
    auto host = MakeReadyHost(FastSettings());
    host->SetNotifyWindow(&target, WM_PING_NOTIFY);
    ASSERT_TRUE(host->Start());
    ASSERT_TRUE(WaitUntil([&] { return target.Count(PN_REPLY) >= 3; }));
    for (const auto& note : target.Notes()) {
        EXPECT_EQ(note.message, WM_PING_NOTIFY);
        EXPECT_EQ(note.index, 0u);
    }

    // Once notifications are turned off the old target hears nothing more.
    host->SetNotifyWindow(nullptr, 0);
    const std::size_t total = target.Notes().size();
    const std::size_t before = m_fake.SendCalls();
    ASSERT_TRUE(m_fake.WaitForSends(before + 2, 5s));
    EXPECT_EQ(target.Notes().size(), total);
}

TEST_F(HostProbeTest, CopyEventsLeavesASmallerRingUntouched) {
    auto host = MakeReadyHost(FastSettings());
    CEventRing small(10);
    host->CopyEvents(small);
    EXPECT_EQ(small.Count(), 0u);
    CEventRing full;
    host->CopyEvents(full);
    EXPECT_EQ(full.Count(), host->GetEventCount());
    EXPECT_EQ(full.At(0).type, PE_RESOLVING);
}

}  // namespace
