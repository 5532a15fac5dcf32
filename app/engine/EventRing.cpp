#include "PingTypes.h"

#include <algorithm>
#include <new>

namespace {

// What an entry never written reads as.
const PING_EVENT kNoEvent{};

}  // namespace

CEventRing::CEventRing(DWORD capacity)
    : m_capacity(std::max<DWORD>(capacity, 1)), m_blocks(std::make_unique<Block[]>(BlockCount())) {}

PING_EVENT* CEventRing::Slot(DWORD i) noexcept {
    Block& block = m_blocks[i / kBlockEvents];
    if (!block) {
        // Value-initialised: a new block reads as zero, as untouched entries do.
        block.reset(new (std::nothrow) PING_EVENT[kBlockEvents]());
        if (!block) {
            return nullptr;
        }
    }
    return &block[i % kBlockEvents];
}

const PING_EVENT& CEventRing::At(DWORD i) const noexcept {
    const Block& block = m_blocks[i / kBlockEvents];
    return block ? block[i % kBlockEvents] : kNoEvent;
}

void CEventRing::Push(const PING_EVENT& event) noexcept {
    const DWORD index = m_count < m_capacity ? m_count : m_start;
    if (PING_EVENT* slot = Slot(index)) {
        *slot = event;
    }
    if (m_count >= m_capacity) {
        ++m_start;
    }
    if (m_start >= m_capacity) {
        m_start = 0;
    }
    ++m_count;
}

void CEventRing::Clear() noexcept {
    m_count = 0;
    m_start = 0;
}

bool CEventRing::CopyFrom(const CEventRing& other) noexcept {
    if (&other == this || m_capacity < other.m_capacity) {
        return false;
    }
    if (m_capacity != other.m_capacity) {
        return CopyOldestFirst(other);
    }
    for (DWORD b = 0; b < other.BlockCount(); ++b) {
        const DWORD first = b * kBlockEvents;
        const DWORD length = std::min(kBlockEvents, other.m_capacity - first);
        if (other.m_blocks[b]) {
            PING_EVENT* target = Slot(first);
            if (target == nullptr) {
                Clear();
                return false;
            }
            std::copy_n(&other.m_blocks[b][0], length, target);
        } else if (m_blocks[b]) {
            std::fill_n(&m_blocks[b][0], length, kNoEvent);
        }
    }
    m_count = other.m_count;
    m_start = other.m_start;
    return true;
}

bool CEventRing::CopyOldestFirst(const CEventRing& other) noexcept {
    // The source's indexes mean nothing at another capacity: its events go to
    // 0..held-1, as events pushed into an empty ring would.
    const DWORD held = other.Retained();
    for (DWORD i = 0; i < held; ++i) {
        PING_EVENT* slot = Slot(i);
        if (slot == nullptr) {
            Clear();
            return false;
        }
        *slot = other.Oldest(i);
    }
    // What lies beyond reads as zero, as entries never written do.
    for (DWORD b = 0; b < BlockCount(); ++b) {
        const DWORD first = b * kBlockEvents;
        const DWORD end = std::min(first + kBlockEvents, m_capacity);
        if (m_blocks[b] && end > held) {
            const DWORD from = std::max(first, held);
            std::fill_n(&m_blocks[b][from - first], end - from, kNoEvent);
        }
    }
    m_count = held;
    m_start = 0;
    return true;
}

const PING_EVENT& CEventRing::Oldest(DWORD i) const noexcept {
    return At(static_cast<DWORD>((static_cast<std::uint64_t>(i) + m_start) % m_capacity));
}

DWORD CEventRing::NewestIndex() const noexcept {
    if (m_count < m_capacity) {
        return m_count == 0 ? 0 : m_count - 1;
    }
    return m_start == 0 ? m_capacity - 1 : m_start - 1;
}

DWORD CEventRing::CopySince(DWORD from, std::vector<PING_EVENT>& out) const {
    out.clear();
    const DWORD retained = Retained();
    // Unsigned differences: a wrap of the count is harmless.
    const DWORD fresh = std::min(m_count - from, retained);
    out.reserve(fresh);
    for (DWORD i = retained - fresh; i != retained; ++i) {
        out.push_back(Oldest(i));
    }
    return m_count;
}
