// The ping run document over the fake ICMP provider.
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "OvPingDoc.h"
#include "PingServices.h"
#include "support/fake_icmp.h"

namespace {

using namespace std::chrono_literals;

struct RecordingView final : IPingView {
    void OnUpdate(UINT hint) override { hints.push_back(hint); }
    std::vector<UINT> hints;
};

struct RecordingFrame final : IPingFrame, IPingNotifyTarget {
    void UpdateRunControls(bool running) override { controls.push_back(running); }
    void SetMainTitle(std::u16string_view name) override { titles.emplace_back(name); }
    IPingNotifyTarget* NotifyTarget() override { return this; }
    void ToggleStartStop() override { ++toggles; }
    void SetHostEntryText(std::u16string_view text) override { entry = text; }
    void ShowStartStop() override { ++shows; }
    void PostPingNotify(UINT message, int, DWORD hostIndex) noexcept override {
        std::lock_guard lock(mutex);
        notified.push_back(hostIndex);
        lastMessage = message;
    }
    std::vector<DWORD> Notified() {
        std::lock_guard lock(mutex);
        return notified;
    }

    std::vector<bool> controls;
    std::vector<std::u16string> titles;
    int toggles = 0;
    int shows = 0;
    std::u16string entry;
    std::mutex mutex;
    std::vector<DWORD> notified;
    UINT lastMessage = 0;
};

class DocumentTest : public ::testing::Test {
protected:
    DocumentTest() {
        doc.SetFrame(&frame);
        doc.AddView(&view);
        doc.Settings().TimeDelay = 0;  // one request per worker cycle
    }
    ~DocumentTest() override {
        doc.RemoveView(&view);
        doc.SetFrame(nullptr);
    }

    ov::test::FakeIcmpProvider fake;
    ov::test::ProviderScope scope{{&fake}};
    RecordingFrame frame;
    RecordingView view;
    COvPingDoc doc;  // last, so that its hosts go before the provider
};

TEST_F(DocumentTest, StartRunMakesOneHostPerTokenInOrder) {
    doc.StartRun(u"127.0.0.1 127.0.0.2;127.0.0.3,127.0.0.4");
    ASSERT_EQ(doc.GetHostCount(), 4u);
    for (UINT i = 0; i < 4; ++i) {
        ASSERT_NE(doc.GetHost(i), nullptr);
        EXPECT_EQ(doc.GetHost(i)->GetIndex(), i);
        EXPECT_EQ(doc.GetHost(i)->GetHostName(), u"127.0.0." + std::u16string(1, u'1' + i));
    }
    EXPECT_EQ(doc.GetHost(4), nullptr);
    EXPECT_TRUE(doc.IsRunning());
    EXPECT_EQ(view.hints, std::vector<UINT>{HINT_RUN_STARTED});
    EXPECT_EQ(frame.controls, std::vector<bool>{true});
    EXPECT_EQ(frame.titles, std::vector<std::u16string>{u"127.0.0.1 127.0.0.2;127.0.0.3,127.0.0.4"});
    EXPECT_EQ(doc.GetCurrentIndex(), 4u);
    EXPECT_EQ(doc.GetStartStopText(), u"Stop Ping ");
}

TEST_F(DocumentTest, DuplicateHostsAreNotMerged) {
    doc.StartRun(u"127.0.0.1 127.0.0.1");
    ASSERT_EQ(doc.GetHostCount(), 2u);
    EXPECT_NE(doc.GetHost(0), doc.GetHost(1));
    EXPECT_EQ(doc.GetHost(1)->GetHostName(), u"127.0.0.1");
}

TEST_F(DocumentTest, TextWithoutHostsSendsNoHint) {
    doc.StartRun(u" ,; ");
    EXPECT_EQ(doc.GetHostCount(), 0u);
    EXPECT_FALSE(doc.IsRunning());
    EXPECT_TRUE(view.hints.empty());
    EXPECT_EQ(frame.titles, std::vector<std::u16string>{u" ,; "});
    EXPECT_EQ(doc.GetStartStopText(), u"Start Ping");
}

TEST_F(DocumentTest, RunWhoseHostsAllFailShowsThemAsARunThatEndedAtOnce) {
    fake.SetLoadFails(true);  // no ICMP service: every host fails at construction
    doc.StartRun(u"127.0.0.1,127.0.0.2");
    ASSERT_EQ(doc.GetHostCount(), 2u);
    EXPECT_FALSE(doc.IsRunning());
    // The views show the failed hosts; the run controls stay ready for a start.
    EXPECT_EQ(view.hints, (std::vector<UINT>{HINT_RUN_STARTED, HINT_RUN_STOPPED}));
    EXPECT_EQ(frame.controls, (std::vector<bool>{false, false}));
    EXPECT_EQ(doc.GetStartStopText(), u"Start Ping");
    for (UINT i = 0; i < 2; ++i) {
        EXPECT_EQ(doc.GetHost(i)->GetState(), static_cast<DWORD>(HS_FAILED));
        PING_EVENT e{};
        doc.GetHost(i)->GetLastEvent(e);
        EXPECT_EQ(e.type, PE_NO_SERVICES);
    }
}

TEST_F(DocumentTest, SelectHostRulesAndHints) {
    doc.StartRun(u"127.0.0.1 127.0.0.2");
    view.hints.clear();

    // The current index after a start is no host's, so host 0 takes effect.
    EXPECT_TRUE(doc.SelectHost(0));
    EXPECT_EQ(view.hints, std::vector<UINT>{HINT_CURRENT_HOST});
    EXPECT_EQ(doc.GetCurrentHost(), doc.GetHost(0));
    // Selecting the current host again changes nothing and sends nothing.
    EXPECT_TRUE(doc.SelectHost(0));
    EXPECT_EQ(view.hints.size(), 1u);
    // Out of range: false, nothing changes.
    EXPECT_FALSE(doc.SelectHost(2));
    EXPECT_FALSE(doc.SelectHost(0xFFFFFFFFu));
    EXPECT_EQ(doc.GetCurrentIndex(), 0u);
    EXPECT_EQ(view.hints.size(), 1u);

    // Only the current host notifies the frame: before the switch host 0
    // alone, and once SelectHost returned, host 1 alone.
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (frame.Notified().size() < 2 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(5ms);
    }
    const std::vector<DWORD> beforeSwitch = frame.Notified();
    ASSERT_GE(beforeSwitch.size(), 2u);
    for (DWORD index : beforeSwitch) {
        EXPECT_EQ(index, 0u);
    }
    EXPECT_TRUE(doc.SelectHost(1));
    const std::size_t switched = frame.Notified().size();
    EXPECT_EQ(view.hints, (std::vector<UINT>{HINT_CURRENT_HOST, HINT_CURRENT_HOST}));
    const std::size_t sends = fake.SendCalls();
    ASSERT_TRUE(fake.WaitForSends(sends + 4, 5s));
    std::this_thread::sleep_for(50ms);
    const std::vector<DWORD> notified = frame.Notified();
    ASSERT_GT(notified.size(), switched);
    for (std::size_t i = switched; i < notified.size(); ++i) {
        EXPECT_EQ(notified[i], 1u) << i;
    }
    EXPECT_EQ(frame.lastMessage, WM_PING_NOTIFY);
}

TEST_F(DocumentTest, StopAllKeepsTheHosts) {
    doc.StartRun(u"127.0.0.1;127.0.0.2;127.0.0.3");
    ASSERT_TRUE(doc.SelectHost(2));
    view.hints.clear();
    frame.controls.clear();
    doc.StopAll();
    EXPECT_EQ(doc.GetHostCount(), 3u);
    EXPECT_FALSE(doc.IsRunning());
    EXPECT_EQ(doc.GetCurrentIndex(), 0u);
    EXPECT_EQ(view.hints, std::vector<UINT>{HINT_RUN_STOPPED});
    EXPECT_EQ(frame.controls, std::vector<bool>{false});
    for (UINT i = 0; i < 3; ++i) {
        EXPECT_EQ(doc.GetHost(i)->GetState(), static_cast<DWORD>(HS_READY));
    }
}

TEST_F(DocumentTest, CurrentHostOutOfRangeResetsTheIndex) {
    EXPECT_EQ(doc.GetCurrentHost(), nullptr);  // empty document: index 0 is out of range
    doc.StartRun(u"127.0.0.1 127.0.0.2");
    EXPECT_EQ(doc.GetCurrentIndex(), 2u);
    EXPECT_EQ(doc.GetCurrentHost(), nullptr);
    EXPECT_EQ(doc.GetCurrentIndex(), 0u);
    EXPECT_EQ(doc.GetCurrentHost(), doc.GetHost(0));
}

TEST_F(DocumentTest, ApplySettingsReachesEveryHost) {
    doc.StartRun(u"127.0.0.1 127.0.0.2");
    view.hints.clear();
    doc.Settings().Size = 200;
    doc.Settings().IPOption.Ttl = 9;
    doc.ApplySettings();
    EXPECT_EQ(view.hints, std::vector<UINT>{HINT_SETTINGS_CHANGED});
    for (UINT i = 0; i < 2; ++i) {
        EXPECT_EQ(doc.GetHost(i)->GetSettings().Size, 200u);
        EXPECT_EQ(doc.GetHost(i)->GetSettings().IPOption.Ttl, 9);
    }
}

TEST_F(DocumentTest, OpenByNameStopsAndFillsTheEntry) {
    EXPECT_FALSE(doc.OnOpenDocument(u""));
    EXPECT_TRUE(doc.OnOpenDocument(u"10.1.2.3"));
    EXPECT_EQ(frame.toggles, 0);  // nothing was running
    EXPECT_EQ(frame.entry, u"10.1.2.3");
    EXPECT_EQ(frame.shows, 1);
    doc.StartRun(u"127.0.0.1");
    EXPECT_TRUE(doc.OnOpenDocument(u"host"));
    EXPECT_EQ(frame.toggles, 1);
    EXPECT_EQ(frame.entry, u"host");
}

TEST_F(DocumentTest, NewRunSignalsEveryHostBeforeJoiningAny) {
    // Echoes that cannot be cancelled and never answer. Host 0 waits 3 s for
    // each, the others 0.3 s and then go on sending while nobody stops them.
    fake.SetMissingExport("IcmpCancelEcho");
    ov::test::FakeReply silent;
    silent.noReply = true;
    fake.SetDefault(silent);
    doc.Settings().TimeOut = 300;
    doc.StartRun(u"127.0.0.1 127.0.0.2 127.0.0.3 127.0.0.4");
    PING_SETTINGS slow = doc.Settings();
    slow.TimeOut = 3000;
    doc.GetHost(0)->SetSettings(slow);
    const auto slowEchoBegun = [&] {
        for (const ov::test::FakeRequest& r : fake.Requests()) {
            if (r.destination == htonl(0x7F000001) && r.timeoutMs == 3000) {
                return true;
            }
        }
        return false;
    };
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (!slowEchoBegun() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(slowEchoBegun());
    const std::size_t sends = fake.SendCalls();
    doc.StartRun(u"");
    EXPECT_EQ(doc.GetHostCount(), 0u);
    // Had host 0 been joined before the others were told to quit, they would
    // have sent about ten more echoes each meanwhile; told first, at most the
    // one each was about to begin goes out.
    EXPECT_LE(fake.SendCalls() - sends, 3u);
}

TEST_F(DocumentTest, RunStartedInStepsTellsTheViewsOfEachStepAndStopDropsTheRest) {
    doc.BeginRun(u"127.0.0.1 127.0.0.2 127.0.0.3 127.0.0.4 127.0.0.5");
    // Pending hosts count as a run, so that Stop works meanwhile.
    EXPECT_TRUE(doc.IsRunning());
    EXPECT_EQ(doc.GetHostCount(), 0u);
    EXPECT_EQ(doc.GetPendingCount(), 5u);
    EXPECT_TRUE(view.hints.empty());
    EXPECT_EQ(doc.StartPendingHosts(2), 3u);
    EXPECT_EQ(doc.StartPendingHosts(1), 2u);
    EXPECT_EQ(view.hints, (std::vector<UINT>{HINT_RUN_STARTED, HINT_HOSTS_ADDED}));
    ASSERT_EQ(doc.GetHostCount(), 3u);
    for (UINT i = 0; i < 3; ++i) {
        EXPECT_EQ(doc.GetHost(i)->GetIndex(), i);
        EXPECT_EQ(doc.GetHost(i)->GetHostName(), u"127.0.0." + std::u16string(1, u'1' + i));
    }
    EXPECT_EQ(doc.GetCurrentIndex(), 5u);

    doc.StopAll();
    EXPECT_FALSE(doc.IsRunning());
    EXPECT_EQ(doc.GetPendingCount(), 0u);
    EXPECT_EQ(doc.GetHostCount(), 3u);
    EXPECT_EQ(doc.StartPendingHosts(10), 0u);  // nothing left, nothing said
    EXPECT_EQ(view.hints, (std::vector<UINT>{HINT_RUN_STARTED, HINT_HOSTS_ADDED, HINT_RUN_STOPPED}));
}

TEST_F(DocumentTest, StepsWhoseHostsAllFailEndTheRunAfterTheLastOne) {
    fake.SetLoadFails(true);
    doc.BeginRun(u"127.0.0.1 127.0.0.2");
    doc.StartPendingHosts(1);
    EXPECT_TRUE(doc.IsRunning());  // one host is still to come
    doc.StartPendingHosts(1);
    EXPECT_FALSE(doc.IsRunning());
    EXPECT_EQ(view.hints, (std::vector<UINT>{HINT_RUN_STARTED, HINT_HOSTS_ADDED, HINT_RUN_STOPPED}));
    EXPECT_EQ(frame.controls.back(), false);
}

TEST_F(DocumentTest, ANewRunDoesNotWaitForTheOldHostsToEnd) {
    // An echo that cannot be cancelled: deleting its host waits it out.
    fake.SetMissingExport("IcmpCancelEcho");
    ov::test::FakeReply silent;
    silent.noReply = true;
    fake.SetDefault(silent);
    doc.Settings().TimeOut = 3000;
    doc.StartRun(u"127.0.0.1");
    ASSERT_TRUE(fake.WaitForSends(1, 5s));
    doc.StartRun(u"");
    // The old host is still in its echo: the new run went on without it.
    EXPECT_EQ(fake.SendsInProgress(), 1);
}

}  // namespace
