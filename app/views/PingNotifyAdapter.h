#pragma once
// Turns the current host's WM_PING_NOTIFY, posted from its worker thread,
// into newEvents(host) on the GUI thread. A host with a notification on its
// way posts no other: a burst of outcomes reaches the GUI as one signal, and
// its handler takes every event recorded since it last looked (as the log
// list does with CHostProbe::CopyEventsSince). The worker only queues and
// returns.
//
// Use (main window): make one, return it from IPingFrame::NotifyTarget and
// connect newEvents() to the handler of WM_PING_NOTIFY, which calls
// NotifyViews(HINT_NEW_EVENTS). Keep it alive as long as the document's
// hosts: the document stops a host's notifications before the host or the
// adapter goes.
#include <mutex>
#include <vector>

#include "HostProbe.h"
#include "ovui/OvPostTarget.h"

class CPingNotifyAdapter final : public COvPostTarget, public IPingNotifyTarget {
    Q_OBJECT

public:
    explicit CPingNotifyAdapter(QObject* parent = nullptr);

    // Queues WM_PING_NOTIFY of hostIndex for newEvents() unless one of that
    // host waits already; called on a worker. Other messages are dropped.
    void PostPingNotify(UINT message, int what, DWORD hostIndex) noexcept override;

signals:
    // On the GUI thread: host recorded events since its last newEvents. Its
    // next outcome posts again from the moment this is emitted.
    void newEvents(int host);

private:
    void Deliver(unsigned message, qintptr what, qintptr host);
    // host has no notification on its way any more.
    void Forget(DWORD host) noexcept;

    // Hosts with a notification on its way: only the current host notifies,
    // so the list holds one or two entries; the lock is held for a look at it
    // alone, never while a notification is queued or handled.
    std::mutex m_lock;
    std::vector<DWORD> m_pending;
};
