#pragma once
// Records shared by the probe engine and the views: ping options, one
// recorded outcome, a host's counters and the fixed event ring.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/icmp.h"
#include "platform/wintypes.h"

// Ping options of one host; the option block goes to IcmpSendEcho unchanged.
struct PING_SETTINGS {
    DWORD Size = 64;         // echo data size in bytes
    DWORD TimeOut = 500;     // reply timeout in milliseconds
    DWORD TimeDelay = 1500;  // minimum time between two requests, milliseconds
    WORD Probe = 3;          // name-resolution attempts
    // Ttl = IPTtl, Tos = IPTos, Flags = IPFlags; OptionsSize 0, OptionsData null.
    IP_OPTION_INFORMATION IPOption{255, 200, 0, 0, nullptr};
};

// Event type codes; also indexes into the log list's message tables (6 is unused).
enum : std::int32_t {
    PE_REPLY = 0,
    PE_RESOLVING = 1,
    PE_NO_SERVICES = 2,
    PE_NO_THREAD = 3,
    PE_NO_ICMP_HANDLE = 4,
    PE_RESOLVE_FAILED = 5,
    PE_LOST = 7,
};

// One recorded outcome; reply is meaningful only for PE_REPLY (its Data
// pointer refers to the worker's buffer and is never followed), except that
// a PE_LOST event's reply.Status says why: the IP_ error status of an ICMP
// error reply, or IP_REQ_TIMED_OUT when no reply came in time.
struct PING_EVENT {
    std::int32_t type;
    // For a reply: its round-trip time in microseconds as the ICMP layer
    // measured it (RoundTripTime * 1000 when the layer measures only whole
    // milliseconds); 0 otherwise. It fills the room before time, so the
    // event keeps its size.
    std::uint32_t roundTripUs;
    std::int64_t time;  // seconds since 1970-01-01 00:00 UTC
    ICMP_ECHO_REPLY reply;
};

// Running counters of one host; times in milliseconds.
struct PING_STATS {
    DWORD sent;
    DWORD lost;
    DWORD minimum;
    DWORD maximum;
    DWORD total;
};

// Ring of events. Rules: count is every push since creation or Clear,
// never capped (it wraps only after 2^32 pushes); while count < capacity the
// events sit at 0..count-1 and start is 0; once full, each push overwrites the
// oldest entry, which is at start, and advances start (back to 0 at capacity).
// So the i-th oldest retained event is at (start + i) mod capacity.
// Storage grows with the events held, in blocks that never move once made, so
// that a reference into the ring stays valid while the ring grows; entries
// never written read as zero.
class CEventRing {
public:
    static constexpr DWORD kDefaultCapacity = 5000;

    // An empty ring of capacity entries (at least 1).
    explicit CEventRing(DWORD capacity = kDefaultCapacity);
    CEventRing(const CEventRing&) = delete;
    CEventRing& operator=(const CEventRing&) = delete;

    // Appends event, overwriting the oldest one when the ring is full. When no
    // memory is left for a new block the event is counted but reads as zero.
    void Push(const PING_EVENT& event) noexcept;
    // Forgets every event (count and start back to 0).
    void Clear() noexcept;
    // Copies other's events, when other is not this ring and this ring is at
    // least as large; false otherwise (and when memory runs out, which leaves
    // this ring empty). A ring of the same capacity takes count, start and all
    // entries as they are; a larger one takes the retained events oldest
    // first, and counts only those, as it holds no more.
    bool CopyFrom(const CEventRing& other) noexcept;

    DWORD Capacity() const noexcept { return m_capacity; }
    DWORD Count() const noexcept { return m_count; }
    DWORD Start() const noexcept { return m_start; }
    // Number of events held: min(count, capacity).
    DWORD Retained() const noexcept { return m_count < m_capacity ? m_count : m_capacity; }
    // Entry at array index i (i < capacity).
    const PING_EVENT& At(DWORD i) const noexcept;
    // The i-th oldest retained event (i < Retained()).
    const PING_EVENT& Oldest(DWORD i) const noexcept;
    // Array index of the newest event; only meaningful when count > 0.
    DWORD NewestIndex() const noexcept;
    // Replaces out with the retained events pushed since the count was from
    // (the oldest first; all retained ones when from fell out of the ring);
    // returns the count. A caller that passes the last count back reads each
    // event once.
    DWORD CopySince(DWORD from, std::vector<PING_EVENT>& out) const;

private:
    // 73 events (4088 bytes) and the allocator's 8-byte header fill one 4 KiB
    // page, so a full ring of 5000 takes the 69 pages one array of it takes.
    static constexpr DWORD kBlockEvents = 73;
    using Block = std::unique_ptr<PING_EVENT[]>;

    // The block holding index i, made (zeroed) when missing; null without memory.
    PING_EVENT* Slot(DWORD i) noexcept;
    // CopyFrom for a ring of a smaller capacity.
    bool CopyOldestFirst(const CEventRing& other) noexcept;
    DWORD BlockCount() const noexcept { return (m_capacity + kBlockEvents - 1) / kBlockEvents; }

    DWORD m_capacity;
    std::unique_ptr<Block[]> m_blocks;  // BlockCount() entries, null until used
    DWORD m_count = 0;
    DWORD m_start = 0;
};
