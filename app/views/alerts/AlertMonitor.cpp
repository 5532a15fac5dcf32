#include "AlertMonitor.h"

#include <algorithm>
#include <climits>

#include "HostProbe.h"

CAlertMonitor::CAlertMonitor(COvPingDoc& doc, const AlertThresholds& thresholds, QObject* parent)
    : QObject(parent), m_doc(doc), m_thresholds(thresholds) {
    connect(&m_poll, &QTimer::timeout, this, &CAlertMonitor::Poll);
    m_doc.AddView(this);
}

CAlertMonitor::~CAlertMonitor() {
    m_doc.RemoveView(this);
}

void CAlertMonitor::OnUpdate(UINT hint) {
    switch (hint) {
        case HINT_RUN_STARTED:
            m_hosts.clear();
            Follow(m_doc.GetHostCount());
            StartTimer();
            emit runChanged();
            break;
        case HINT_HOSTS_ADDED:
            Follow(m_doc.GetHostCount());
            emit runChanged();
            break;
        case HINT_RUN_STOPPED:
            // What the hosts recorded before the stop still counts.
            Poll();
            m_poll.stop();
            emit runChanged();
            break;
        case HINT_SETTINGS_CHANGED:
            if (m_poll.isActive()) {
                StartTimer();
            }
            break;
        case HINT_NEW_EVENTS: {
            // The current host told of a new event: its change shows without
            // waiting for the timer.
            QList<HostAlert> alerts;
            const UINT current = m_doc.GetCurrentIndex();
            if (current < m_hosts.size()) {
                ReadHost(current, alerts);
            }
            if (!alerts.isEmpty()) {
                emit transitions(alerts);
            }
            break;
        }
        default:
            break;
    }
}

void CAlertMonitor::SetThresholds(const AlertThresholds& thresholds) {
    m_thresholds = thresholds;
    for (Host& host : m_hosts) {
        host.tracker.SetThresholds(thresholds);
    }
}

void CAlertMonitor::Follow(UINT hostCount) {
    m_hosts.reserve(hostCount);
    while (m_hosts.size() < hostCount) {
        m_hosts.push_back({CHostStateTracker(m_thresholds), 0});
    }
}

void CAlertMonitor::StartTimer() {
    m_poll.start(static_cast<int>(std::min<DWORD>(std::max<DWORD>(m_doc.PollTime(), 1), INT_MAX)));
}

void CAlertMonitor::ReadHost(unsigned hostIndex, QList<HostAlert>& out) {
    const CHostProbe* probe = m_doc.GetHost(hostIndex);
    if (probe == nullptr) {
        return;
    }
    Host& host = m_hosts[hostIndex];
    const DWORD count = probe->CopyEventsSince(host.seen, m_events);
    if (count == host.seen) {
        return;
    }
    m_changes.clear();
    host.tracker.FeedCopied(host.seen, count, m_events, m_changes);
    host.seen = count;
    const qsizetype first = out.size();
    for (const HostTransition& change : m_changes) {
        HostAlert alert;
        alert.hostIndex = hostIndex;
        alert.change = change;
        out.push_back(alert);
    }
    if (out.size() > first) {
        // Looked up once per host with changes, not per event.
        const QString name = QString::fromStdU16String(probe->GetHostName());
        const IPAddr address = probe->GetAddress();
        for (qsizetype i = first; i < out.size(); ++i) {
            out[i].name = name;
            out[i].address = address;
        }
    }
}

void CAlertMonitor::Poll() {
    QList<HostAlert> alerts;
    const unsigned hosts = std::min<unsigned>(HostCount(), m_doc.GetHostCount());
    for (unsigned i = 0; i < hosts; ++i) {
        ReadHost(i, alerts);
    }
    if (!alerts.isEmpty()) {
        emit transitions(alerts);
    }
}

HostState CAlertMonitor::State(unsigned hostIndex) const noexcept {
    return hostIndex < m_hosts.size() ? m_hosts[hostIndex].tracker.State() : HostState::Unknown;
}

std::int64_t CAlertMonitor::Since(unsigned hostIndex) const noexcept {
    return hostIndex < m_hosts.size() ? m_hosts[hostIndex].tracker.Since() : 0;
}

unsigned CAlertMonitor::DownCount() const noexcept {
    return static_cast<unsigned>(std::count_if(
        m_hosts.begin(), m_hosts.end(), [](const Host& host) { return host.tracker.State() == HostState::Down; }));
}

bool CAlertMonitor::AllUp() const noexcept {
    return !m_hosts.empty() && std::all_of(m_hosts.begin(), m_hosts.end(), [](const Host& host) {
        return host.tracker.State() == HostState::Up || host.tracker.State() == HostState::Slow;
    });
}
