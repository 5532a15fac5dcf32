#pragma once
// Turns the current host's WM_PING_NOTIFY, posted from its worker thread,
// into a queued event on the GUI thread. The worker only queues and returns.
//
// Use (main window): make one, return it from IPingFrame::NotifyTarget and
// connect posted() to a handler that calls NotifyViews(HINT_NEW_EVENTS) for
// WM_PING_NOTIFY. Keep it alive as long as the document's hosts: the
// document stops a host's notifications before the host or the adapter goes.
#include "HostProbe.h"
#include "ovui/OvPostTarget.h"

class CPingNotifyAdapter final : public COvPostTarget, public IPingNotifyTarget {
    Q_OBJECT

public:
    explicit CPingNotifyAdapter(QObject* parent = nullptr) : COvPostTarget(parent) {}

    // Queues (message, what, hostIndex) for posted(); called on a worker.
    void PostPingNotify(UINT message, int what, DWORD hostIndex) noexcept override;
};
