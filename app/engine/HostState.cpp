#include "HostState.h"

#include <algorithm>

namespace {

AlertThresholds AtLeastOne(AlertThresholds t) noexcept {
    t.downAfter = std::max(t.downAfter, 1u);
    t.upAfter = std::max(t.upAfter, 1u);
    return t;
}

// Events after which the host sends nothing more.
bool EndsProbing(std::int32_t type) noexcept {
    return type == PE_RESOLVE_FAILED || type == PE_NO_SERVICES || type == PE_NO_THREAD || type == PE_NO_ICMP_HANDLE;
}

}  // namespace

CHostStateTracker::CHostStateTracker(const AlertThresholds& t) noexcept : m_thresholds(AtLeastOne(t)) {}

void CHostStateTracker::SetThresholds(const AlertThresholds& t) noexcept {
    m_thresholds = AtLeastOne(t);
}

std::optional<HostTransition> CHostStateTracker::Feed(const PING_EVENT& e) noexcept {
    if (e.type == PE_REPLY) {
        return OnReply(e);
    }
    if (e.type == PE_RESOLVING) {
        return std::nullopt;
    }
    return OnFailure(e, EndsProbing(e.type));
}

void CHostStateTracker::FeedCopied(DWORD from, DWORD count, const std::vector<PING_EVENT>& events,
                                   std::vector<HostTransition>& out) {
    // Unsigned difference: a wrap of the count is harmless.
    if (count - from > events.size()) {
        ForgetRuns();
    }
    for (const PING_EVENT& e : events) {
        if (std::optional<HostTransition> t = Feed(e)) {
            out.push_back(*t);
        }
    }
}

void CHostStateTracker::ForgetRuns() noexcept {
    m_failures = 0;
    m_replies = 0;
    m_slowReplies = 0;
    m_fastReplies = 0;
}

HostTransition CHostStateTracker::Enter(HostState to, const PING_EVENT& e, DWORD lost) noexcept {
    HostTransition t;
    t.from = m_state;
    t.to = to;
    t.since = e.time;
    t.previousSince = m_since;
    t.lost = lost;
    t.lastRttUs = m_lastRttUs;
    t.cause = e.type;
    m_state = to;
    m_since = e.time;
    m_failedInState = 0;
    return t;
}

std::optional<HostTransition> CHostStateTracker::OnReply(const PING_EVENT& e) noexcept {
    m_lastRttUs = e.roundTripUs;
    m_failures = 0;
    ++m_replies;
    // A reply exactly at the threshold is not slow.
    const bool slow = m_thresholds.slowMs != 0 &&
                      static_cast<std::uint64_t>(e.roundTripUs) > std::uint64_t{m_thresholds.slowMs} * 1000;
    if (slow) {
        ++m_slowReplies;
        m_fastReplies = 0;
    } else {
        ++m_fastReplies;
        m_slowReplies = 0;
    }
    const unsigned m = m_thresholds.upAfter;
    switch (m_state) {
        case HostState::Unknown:
        case HostState::Down:
            if (m_replies >= m) {
                return Enter(m_slowReplies >= m ? HostState::Slow : HostState::Up, e, m_failedInState);
            }
            break;
        case HostState::Up:
            if (m_slowReplies >= m) {
                return Enter(HostState::Slow, e, 0);
            }
            break;
        case HostState::Slow:
            // Slow ends when the threshold was turned off too.
            if (m_fastReplies >= m) {
                return Enter(HostState::Up, e, 0);
            }
            break;
    }
    return std::nullopt;
}

std::optional<HostTransition> CHostStateTracker::OnFailure(const PING_EVENT& e, bool final) noexcept {
    m_replies = 0;
    m_slowReplies = 0;
    m_fastReplies = 0;
    // An event that ends the probing comes before any request of its own.
    if (!final) {
        ++m_failures;
        ++m_failedInState;
    }
    if (m_state == HostState::Down) {
        return std::nullopt;
    }
    if (final || m_failures >= m_thresholds.downAfter) {
        const HostTransition t = Enter(HostState::Down, e, m_failures);
        // The outage began with the failures that took the host down.
        m_failedInState = m_failures;
        return t;
    }
    return std::nullopt;
}

const char* HostStateWord(HostState state) noexcept {
    switch (state) {
        case HostState::Up:
            return "up";
        case HostState::Down:
            return "down";
        case HostState::Slow:
            return "slow";
        case HostState::Unknown:
            break;
    }
    return "unknown";
}
