#pragma once
// Desktop notifications through the freedesktop notification service
// (org.freedesktop.Notifications on the session bus). Changes that come
// within one second of the first one still waiting are folded into one
// notification. Each carries a "Show" action; invoking it asks for the
// (first) host of that notification. Every call is asynchronous: the window
// never waits for the service. Where none answers, unavailable() says so once.
#include <QDBusConnection>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTimer>

#include "AlertMonitor.h"

class QDBusPendingCallWatcher;

class CDesktopNotifier final : public QObject {
    Q_OBJECT

public:
    // How long changes are gathered into one notification.
    static constexpr int kFoldMs = 1000;

    // Notifies through bus (the session bus unless a test gives another).
    explicit CDesktopNotifier(QObject* parent = nullptr, const QDBusConnection& bus = QDBusConnection::sessionBus());

    // Takes a change to tell; sends once the fold time after the first waiting one has passed.
    void Add(const HostAlert& alert);
    // Sends what waits now, as one notification.
    void Flush();
    // Notifications sent whose service has not answered yet.
    int CallsInFlight() const noexcept { return m_inFlight; }

signals:
    // The user invoked "Show" on the notification of host hostIndex.
    void showHost(unsigned hostIndex);
    // No notification service answered; emitted once, with the reason.
    void unavailable(const QString& reason);

private slots:
    void OnActionInvoked(uint id, const QString& action);
    void OnClosed(uint id, uint reason);

private:
    void OnReply(QDBusPendingCallWatcher* call, unsigned hostIndex);
    void ReportUnavailable(const QString& reason);

    QDBusConnection m_bus;
    QTimer m_fold;
    QList<HostAlert> m_waiting;
    QHash<uint, unsigned> m_hostOf;  // notification id -> host index
    int m_inFlight = 0;
    bool m_reported = false;
};
