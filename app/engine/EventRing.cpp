#include "PingTypes.h"

#include <algorithm>

CEventRing::CEventRing(DWORD capacity)
    : m_events(std::make_unique<PING_EVENT[]>(std::max<DWORD>(capacity, 1))),
      m_capacity(std::max<DWORD>(capacity, 1)) {}

void CEventRing::Push(const PING_EVENT& event) noexcept {
    if (m_count < m_capacity) {
        m_events[m_count] = event;
    } else {
        m_events[m_start] = event;
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
    std::copy_n(other.m_events.get(), other.m_capacity, m_events.get());
    m_count = other.m_count;
    m_start = other.m_start;
    return true;
}

const PING_EVENT& CEventRing::Oldest(DWORD i) const noexcept {
    return m_events[(static_cast<std::uint64_t>(i) + m_start) % m_capacity];
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
