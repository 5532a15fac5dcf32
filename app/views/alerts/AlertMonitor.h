#pragma once
// Follows the state (up, down, slow, unknown) of every host of the run. It
// reads each host's new events the way the views do, by copying what arrived
// since its last look, on its own timer at the document's poll interval and
// at once for the current host's notifications; a worker is never waited for.
#include <cstdint>
#include <vector>

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QTimer>

#include "HostState.h"
#include "OvPingDoc.h"

// One change of a host's state, with what a notification tells of it.
struct HostAlert {
    unsigned hostIndex = 0;
    QString name;
    IPAddr address = 0;  // network byte order; 0 before the name resolved
    HostTransition change{};
};
Q_DECLARE_METATYPE(HostAlert)

class CAlertMonitor final : public QObject, public IPingView {
    Q_OBJECT

public:
    // Registers with doc for its hints.
    CAlertMonitor(COvPingDoc& doc, const AlertThresholds& thresholds, QObject* parent = nullptr);
    ~CAlertMonitor() override;

    void OnUpdate(UINT hint) override;
    // New thresholds for every host from the next event on.
    void SetThresholds(const AlertThresholds& thresholds);
    // Reads the new events of every host and reports the changes.
    void Poll();

    // The state of the document's host index (Unknown for one not followed).
    HostState State(unsigned hostIndex) const noexcept;
    // When that state began (s since 1970 UTC; 0 unknown).
    std::int64_t Since(unsigned hostIndex) const noexcept;
    // Hosts followed, and those of them that are down.
    unsigned HostCount() const noexcept { return static_cast<unsigned>(m_hosts.size()); }
    unsigned DownCount() const noexcept;
    // True when every host followed is up (or slow) and there is one.
    bool AllUp() const noexcept;

signals:
    // The changes one look found, in the order they happened per host.
    void transitions(const QList<HostAlert>& alerts);
    // A run started, grew or stopped: counts and states may differ.
    void runChanged();

private:
    struct Host {
        CHostStateTracker tracker;
        DWORD seen = 0;  // the host's event count at the last look
    };
    void Follow(UINT hostCount);
    void ReadHost(unsigned hostIndex, QList<HostAlert>& out);
    void StartTimer();

    COvPingDoc& m_doc;
    AlertThresholds m_thresholds;
    std::vector<Host> m_hosts;
    std::vector<PING_EVENT> m_events;       // reused between looks
    std::vector<HostTransition> m_changes;  // reused between looks
    QTimer m_poll;
};
