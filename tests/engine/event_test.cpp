#include "platform/event.h"

#include <gtest/gtest.h>
#include <sys/prctl.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/thread.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(Event, AutoResetIsClearedByTheWaitItEnds) {
    ov::Event event;
    EXPECT_FALSE(event.Wait(0));
    event.Set();
    EXPECT_TRUE(event.IsSet());
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(event.Wait(10));
}

TEST(Event, ManualResetStaysSetUntilReset) {
    ov::Event event(ov::Event::ResetMode::Manual);
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST(Event, WaitAnyReportsTheSetEventAndConsumesOnlyAutoReset) {
    ov::WaitGroup group;
    ov::Event gate(group, ov::Event::ResetMode::Manual);
    ov::Event quit(group);
    EXPECT_EQ(ov::WaitAny({&gate, &quit}, 0), -1);
    quit.Set();
    EXPECT_EQ(ov::WaitAny({&gate, &quit}, 0), 1);
    EXPECT_FALSE(quit.IsSet());
    gate.Set();
    EXPECT_EQ(ov::WaitAny({&gate, &quit}, 0), 0);
    EXPECT_TRUE(gate.IsSet());
}

TEST(Event, WaitAnyRefusesEventsOfDifferentGroups) {
    ov::Event a;
    ov::Event b;
    a.Set();
    EXPECT_EQ(ov::WaitAny({&a, &b}, 0), -1);
    EXPECT_TRUE(a.IsSet());
}

TEST(Event, AnEndlessWaitEndsWhenAnotherThreadSetsTheQuitEvent) {
    ov::WaitGroup group;
    ov::Event gate(group, ov::Event::ResetMode::Manual);
    ov::Event quit(group, ov::Event::ResetMode::Manual);
    int result = -2;
    std::thread waiter([&] { result = ov::WaitAny({&gate, &quit}, INFINITE); });
    std::this_thread::sleep_for(20ms);
    quit.Set();
    waiter.join();
    EXPECT_EQ(result, 1);
}

TEST(Event, TimedWaitEndsEarlyWhenSet) {
    ov::Event event;
    const auto begin = Clock::now();
    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        event.Set();
    });
    EXPECT_TRUE(event.Wait(60000));
    setter.join();
    EXPECT_LT(Clock::now() - begin, 30s);  // functional: far below the 60 s timeout
}

TEST(Event, ATimedWaitNobodyEndsTakesItsTime) {
    ov::WaitGroup group;
    ov::Event gate(group, ov::Event::ResetMode::Manual);
    ov::Event quit(group);
    const auto begin = Clock::now();
    EXPECT_EQ(ov::WaitAny({&gate, &quit}, 50), -1);
    EXPECT_GE(Clock::now() - begin, 50ms);
}

TEST(Event, OneSetWakesEveryWaiterOfTheGroup) {
    ov::WaitGroup group;
    ov::Event gate(group, ov::Event::ResetMode::Manual);
    ov::Event quit(group, ov::Event::ResetMode::Manual);
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i) {
        waiters.emplace_back([&] {
            if (ov::WaitAny({&gate, &quit}, 60000) == 1) {
                ++woken;
            }
        });
    }
    std::this_thread::sleep_for(20ms);
    quit.Set();
    for (std::thread& waiter : waiters) {
        waiter.join();
    }
    EXPECT_EQ(woken, 4);
}

TEST(Event, NoWakeUpIsLostBetweenTwoThreads) {
    // A set that comes between a waiter's look at the flag and its sleep must
    // still end that sleep; a hundred thousand hand-overs meet that moment.
    ov::Event ping;
    ov::Event pong;
    constexpr int kRounds = 100000;
    std::atomic<int> answered{0};
    std::thread other([&] {
        for (int i = 0; i < kRounds && ping.Wait(10000); ++i) {
            ++answered;
            pong.Set();
        }
    });
    int rounds = 0;
    for (; rounds < kRounds; ++rounds) {
        ping.Set();
        if (!pong.Wait(10000)) {
            break;
        }
    }
    other.join();
    EXPECT_EQ(rounds, kRounds);
    EXPECT_EQ(answered, kRounds);
}

// Slots of the kernel's table of waiting threads of this process (the
// request's numbers from the kernel's interface); -1 where it keeps none.
int WaitSlots() {
    return ::prctl(78 /* futex hash */, 2 /* get slots */, 0, 0, 0);
}

TEST(WaitSlots, TheTableGrowsForThousandsOfThreadsAndNeverShrinks) {
    if (WaitSlots() < 0) {
        GTEST_SKIP() << "this kernel keeps no table of waiting threads per process";
    }
    ASSERT_TRUE(ov::ReserveWaitSlots(5000));
    EXPECT_GE(WaitSlots(), 4 * 5000);
    // Waits and wake-ups work across the new table.
    ov::Event event;
    std::thread setter([&] { event.Set(); });
    EXPECT_TRUE(event.Wait(60000));
    setter.join();
    // A smaller run keeps the table that the larger one needed.
    ASSERT_TRUE(ov::ReserveWaitSlots(10));
    EXPECT_GE(WaitSlots(), 4 * 5000);
}

TEST(Clock, TickCountFollowsTheMonotonicClockInMilliseconds) {
    const DWORD before = GetTickCount();
    std::this_thread::sleep_for(50ms);
    const DWORD elapsed = GetTickCount() - before;
    EXPECT_GE(elapsed, 50u);
    const DWORD tick = GetTickCount();
    const auto fromNs = static_cast<DWORD>(ov::MonotonicNanoseconds() / 1000000);
    EXPECT_LE(fromNs - tick, 5u);
}

TEST(Clock, Time64MatchesTheSystemClockAndStoresThroughThePointer) {
    std::int64_t stored = 0;
    const std::int64_t now = _time64(&stored);
    EXPECT_EQ(now, stored);
    const auto sys =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_LE(std::abs(sys - now), 2);
}

}  // namespace
