#include "platform/event.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>

namespace ov {

namespace {

// The moment timeoutMs from now on the monotonic clock.
timespec DeadlineAfter(DWORD timeoutMs) noexcept {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    t.tv_sec += static_cast<time_t>(timeoutMs / 1000);
    t.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1'000'000;
    if (t.tv_nsec >= 1'000'000'000) {
        t.tv_nsec -= 1'000'000'000;
        ++t.tv_sec;
    }
    return t;
}

// Sleeps while *word holds seen, until woken or the monotonic deadline
// (nullptr: none); false once the deadline passed.
bool SleepWhile(std::atomic<std::uint32_t>& word, std::uint32_t seen, const timespec* deadline) noexcept {
    static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t));
    const long result = ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAIT_BITSET_PRIVATE, seen,
                                  deadline, nullptr, FUTEX_BITSET_MATCH_ANY);
    return result == 0 || errno != ETIMEDOUT;
}

}  // namespace

template <typename Ready>
bool WaitGroup::WaitFor(std::unique_lock<std::mutex>& lock, DWORD timeoutMs, Ready ready) noexcept {
    const timespec deadline = timeoutMs == INFINITE ? timespec{} : DeadlineAfter(timeoutMs);
    while (!ready()) {
        // Read under the lock: a Set after this changes the word, so the
        // sleep below cannot miss it.
        const std::uint32_t seen = m_sequence.load(std::memory_order_relaxed);
        ++m_waiters;
        lock.unlock();
        const bool inTime = SleepWhile(m_sequence, seen, timeoutMs == INFINITE ? nullptr : &deadline);
        lock.lock();
        --m_waiters;
        if (!inTime) {
            return ready();
        }
    }
    return true;
}

void WaitGroup::WakeAll() noexcept {
    m_sequence.fetch_add(1, std::memory_order_relaxed);
    if (m_waiters != 0) {
        ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&m_sequence), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr,
                  nullptr, 0);
    }
}

Event::Event(ResetMode mode)
    : m_ownGroup(std::make_unique<WaitGroup>()), m_group(m_ownGroup.get()), m_manual(mode == ResetMode::Manual) {}

Event::Event(WaitGroup& group, ResetMode mode) : m_group(&group), m_manual(mode == ResetMode::Manual) {}

void Event::Set() noexcept {
    // Woken under the lock: a waiter that wakes may destroy the event at once.
    std::lock_guard lock(m_group->m_mutex);
    m_signaled = true;
    m_group->WakeAll();
}

void Event::Reset() noexcept {
    std::lock_guard lock(m_group->m_mutex);
    m_signaled = false;
}

bool Event::IsSet() const noexcept {
    std::lock_guard lock(m_group->m_mutex);
    return m_signaled;
}

bool Event::ConsumeLocked() noexcept {
    if (!m_signaled) {
        return false;
    }
    if (!m_manual) {
        m_signaled = false;
    }
    return true;
}

bool Event::Wait(DWORD timeoutMs) noexcept {
    std::unique_lock lock(m_group->m_mutex);
    if (!m_group->WaitFor(lock, timeoutMs, [this] { return m_signaled; })) {
        return false;
    }
    return ConsumeLocked();
}

int WaitAny(std::initializer_list<Event*> events, DWORD timeoutMs) noexcept {
    if (events.size() == 0) {
        return -1;
    }
    WaitGroup* group = (*events.begin())->m_group;
    for (const Event* event : events) {
        if (event->m_group != group) {
            return -1;
        }
    }
    std::unique_lock lock(group->m_mutex);
    const auto anySet = [&events] {
        for (const Event* event : events) {
            if (event->m_signaled) {
                return true;
            }
        }
        return false;
    };
    if (!group->WaitFor(lock, timeoutMs, anySet)) {
        return -1;
    }
    int position = 0;
    for (Event* event : events) {
        if (event->ConsumeLocked()) {
            return position;
        }
        ++position;
    }
    return -1;
}

}  // namespace ov
