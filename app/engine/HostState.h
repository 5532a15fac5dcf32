#pragma once
// Whether a host is up, down or slow, judged from its events with thresholds
// against flapping. No Qt, no threads: one owner feeds one tracker per host.
#include <cstdint>
#include <optional>
#include <vector>

#include "PingTypes.h"
#include "platform/wintypes.h"

// Slow counts as reachable: a host is slow while it answers, but late.
enum class HostState { Unknown, Up, Down, Slow };

// When a host changes state. A count of 0 counts as 1.
struct AlertThresholds {
    unsigned downAfter = 3;  // consecutive failed requests (lost, unreachable, any error event) -> Down
    unsigned upAfter = 2;    // consecutive replies -> Up (from Down or Unknown)
    unsigned slowMs = 0;     // 0 = off; Slow when the last upAfter replies all took longer
};

// One change of state and the facts around it.
struct HostTransition {
    HostState from = HostState::Unknown;
    HostState to = HostState::Unknown;
    std::int64_t since = 0;          // time (s since 1970, UTC) of the event that caused it
    std::int64_t previousSince = 0;  // since when the host was in 'from' (0 when unknown)
    // To Down: the consecutive failed requests that took it down (0 when an
    // event that ends the host's probing took it down before any request).
    // From Down to Up or Slow: the requests that failed during the outage,
    // those that took it down included; from Unknown: those that failed
    // before. Between Up and Slow: 0.
    DWORD lost = 0;
    std::uint32_t lastRttUs = 0;    // last reply's round trip in microseconds (0 = none yet)
    std::int32_t cause = PE_REPLY;  // type (PE_) of the event that caused it
};

// One host's state, fed with that host's events in order. Rules:
// - a reply ends a run of failures, a failure (PE_LOST) ends a run of
//   replies; PE_RESOLVING is no request and changes nothing;
// - downAfter consecutive failures take a host that is not Down to Down;
//   an event that ends the host's probing (its name did not resolve, no ICMP
//   service, handle or thread) takes it to Down at once;
// - upAfter consecutive replies take a Down or Unknown host to Up, or to Slow
//   when those replies all took longer than slowMs;
// - with slowMs set, upAfter consecutive replies above it take an Up host to
//   Slow, and upAfter consecutive replies at or below it take it back to Up.
// So a host goes down at most once per downAfter + upAfter requests, and a
// host that flaps faster than the thresholds keeps its state.
class CHostStateTracker {
public:
    explicit CHostStateTracker(const AlertThresholds& t = {}) noexcept;
    // Feeds one event; returns the transition it caused, if any.
    std::optional<HostTransition> Feed(const PING_EVENT& e) noexcept;
    // Feeds what CopyEventsSince(from, events) (of a host or a ring) returned
    // as count, appending the transitions to out. When the ring had dropped
    // events that were never read, the runs counted before that gap are
    // forgotten first, so that no threshold is reached across it.
    void FeedCopied(DWORD from, DWORD count, const std::vector<PING_EVENT>& events, std::vector<HostTransition>& out);
    // Forgets the runs of failures and replies counted so far, as after
    // events that were never read: the next threshold counts from zero.
    void ForgetRuns() noexcept;
    HostState State() const noexcept { return m_state; }
    std::int64_t Since() const noexcept { return m_since; }  // when the current state began (0 = unknown)
    DWORD ConsecutiveLost() const noexcept { return m_failures; }
    std::uint32_t LastRttUs() const noexcept { return m_lastRttUs; }
    // Takes effect from the next event; the counts so far are kept.
    void SetThresholds(const AlertThresholds& t) noexcept;
    const AlertThresholds& Thresholds() const noexcept { return m_thresholds; }

private:
    HostTransition Enter(HostState to, const PING_EVENT& e, DWORD lost) noexcept;
    std::optional<HostTransition> OnReply(const PING_EVENT& e) noexcept;
    std::optional<HostTransition> OnFailure(const PING_EVENT& e, bool final) noexcept;

    AlertThresholds m_thresholds;
    HostState m_state = HostState::Unknown;
    std::int64_t m_since = 0;
    std::uint32_t m_lastRttUs = 0;
    DWORD m_failures = 0;       // consecutive failed requests
    DWORD m_replies = 0;        // consecutive replies
    DWORD m_slowReplies = 0;    // consecutive replies above slowMs
    DWORD m_fastReplies = 0;    // consecutive replies at or below slowMs
    DWORD m_failedInState = 0;  // failed requests since the current state began
};

// Lower-case word of a state for records and the environment: unknown, up, down, slow.
const char* HostStateWord(HostState state) noexcept;
