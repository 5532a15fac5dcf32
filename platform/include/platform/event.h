#pragma once
// Events in the manner of the kernel's auto-reset and manual-reset events.
// Events that one thread waits for together (a run gate and a quit signal)
// share one WaitGroup, so that a wait for several of them ends as soon as any
// one is set: a long wait can be ended at once by setting a quit event.
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>

#include "platform/wintypes.h"

// Timeout value that waits without limit.
constexpr DWORD INFINITE = 0xFFFFFFFFu;

namespace ov {

class Event;
int WaitAny(std::initializer_list<Event*> events, DWORD timeoutMs) noexcept;

// Lock and wake-up shared by the events of one group. Waiters sleep on a
// word that every Set changes, directly on the kernel's futex: a wait that
// times out then costs one system call. (A condition variable leaves its
// mutex marked as contended after every wait, so that each timed-out wait of
// thousands of workers also paid a wake-up call for nobody.)
class WaitGroup {
public:
    WaitGroup() = default;
    WaitGroup(const WaitGroup&) = delete;
    WaitGroup& operator=(const WaitGroup&) = delete;

private:
    friend class Event;
    friend int WaitAny(std::initializer_list<Event*> events, DWORD timeoutMs) noexcept;
    // Waits under lock until ready() holds or timeoutMs passed; true when ready.
    template <typename Ready>
    bool WaitFor(std::unique_lock<std::mutex>& lock, DWORD timeoutMs, Ready ready) noexcept;
    // Wakes every waiter; called under m_mutex, after a flag was set.
    void WakeAll() noexcept;

    std::mutex m_mutex;
    std::atomic<std::uint32_t> m_sequence{0};  // changed by every Set
    int m_waiters = 0;                         // threads asleep, under m_mutex
};

// A settable flag that threads can wait for; initially clear.
class Event {
public:
    enum class ResetMode { Auto, Manual };

    // An event in a group of its own.
    explicit Event(ResetMode mode = ResetMode::Auto);
    // An event of group, which must outlive it.
    explicit Event(WaitGroup& group, ResetMode mode = ResetMode::Auto);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    // Sets the event and wakes its waiters.
    void Set() noexcept;
    // Clears the event.
    void Reset() noexcept;
    // Waits until the event is set or timeoutMs passed (INFINITE: no limit);
    // true when it was set. An auto-reset event is cleared by the wait that it ends.
    bool Wait(DWORD timeoutMs) noexcept;
    // Whether the event is set, without waiting and without clearing it.
    bool IsSet() const noexcept;

private:
    friend int WaitAny(std::initializer_list<Event*> events, DWORD timeoutMs) noexcept;
    bool ConsumeLocked() noexcept;

    std::unique_ptr<WaitGroup> m_ownGroup;
    WaitGroup* m_group;
    const bool m_manual;
    bool m_signaled = false;
};

// Waits until one of events (all of one group) is set or timeoutMs passed.
// Returns the position of the first set event in the list, which is cleared
// when it is an auto-reset event; -1 on timeout or when the events do not
// share a group.
int WaitAny(std::initializer_list<Event*> events, DWORD timeoutMs) noexcept;

}  // namespace ov
