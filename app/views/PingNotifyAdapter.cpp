#include "PingNotifyAdapter.h"

#include <algorithm>
#include <new>

CPingNotifyAdapter::CPingNotifyAdapter(QObject* parent) : COvPostTarget(parent) {
    m_pending.reserve(8);
    connect(this, &COvPostTarget::posted, this, &CPingNotifyAdapter::Deliver);
}

void CPingNotifyAdapter::PostPingNotify(UINT message, int what, DWORD hostIndex) noexcept {
    if (message != WM_PING_NOTIFY) {
        return;
    }
    {
        std::lock_guard lock(m_lock);
        if (std::find(m_pending.begin(), m_pending.end(), hostIndex) != m_pending.end()) {
            return;  // the notification on its way takes this outcome too
        }
        try {
            m_pending.push_back(hostIndex);
        } catch (const std::bad_alloc&) {
            // Unmarked, the host posts again next time: more events, none lost.
        }
    }
    if (!Post(message, what, static_cast<qintptr>(hostIndex))) {
        // Not queued (out of memory): the next outcome tries again.
        Forget(hostIndex);
    }
}

void CPingNotifyAdapter::Forget(DWORD host) noexcept {
    std::lock_guard lock(m_lock);
    const auto entry = std::find(m_pending.begin(), m_pending.end(), host);
    if (entry != m_pending.end()) {
        m_pending.erase(entry);
    }
}

void CPingNotifyAdapter::Deliver(unsigned message, qintptr, qintptr host) {
    if (message != WM_PING_NOTIFY) {
        return;
    }
    // Cleared before the handler looks at the host, so that an outcome
    // recorded after that look posts again.
    Forget(static_cast<DWORD>(host));
    emit newEvents(static_cast<int>(host));
}
