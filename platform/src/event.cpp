#include "platform/event.h"

#include <chrono>

namespace ov {

namespace {

using Clock = std::chrono::steady_clock;

// Waits on cond until ready() holds or timeoutMs passed; true when ready.
template <typename Ready>
bool WaitFor(std::condition_variable& cond, std::unique_lock<std::mutex>& lock, DWORD timeoutMs, Ready ready) {
    if (timeoutMs == INFINITE) {
        cond.wait(lock, ready);
        return true;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    return cond.wait_until(lock, deadline, ready);
}

}  // namespace

Event::Event(ResetMode mode)
    : m_ownGroup(std::make_unique<WaitGroup>()), m_group(m_ownGroup.get()), m_manual(mode == ResetMode::Manual) {}

Event::Event(WaitGroup& group, ResetMode mode) : m_group(&group), m_manual(mode == ResetMode::Manual) {}

void Event::Set() noexcept {
    // Notified under the lock: a waiter that wakes may destroy the event at once.
    std::lock_guard lock(m_group->m_mutex);
    m_signaled = true;
    m_group->m_cond.notify_all();
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
    if (!WaitFor(m_group->m_cond, lock, timeoutMs, [this] { return m_signaled; })) {
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
    if (!WaitFor(group->m_cond, lock, timeoutMs, anySet)) {
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
