#include "DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "AlertText.h"
#include "QtText.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kShowAction = QStringLiteral("show");
// Icon of the desktop entry, which the service finds by its name.
const QString kDesktopEntry = QStringLiteral("com.orvantek.Tapper");
// The service is on this machine: a notification that takes longer has failed.
constexpr int kCallTimeoutMs = 10000;

}  // namespace

CDesktopNotifier::CDesktopNotifier(QObject* parent, const QDBusConnection& bus) : QObject(parent), m_bus(bus) {
    m_fold.setSingleShot(true);
    m_fold.setInterval(kFoldMs);
    connect(&m_fold, &QTimer::timeout, this, &CDesktopNotifier::Flush);
    if (m_bus.isConnected()) {
        m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                      SLOT(OnActionInvoked(uint, QString)));
        m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                      SLOT(OnClosed(uint, uint)));
    }
}

void CDesktopNotifier::Add(const HostAlert& alert) {
    m_waiting.push_back(alert);
    if (!m_fold.isActive()) {
        m_fold.start();
    }
}

void CDesktopNotifier::Flush() {
    m_fold.stop();
    if (m_waiting.isEmpty()) {
        return;
    }
    const QList<HostAlert> alerts = std::exchange(m_waiting, {});
    if (!m_bus.isConnected()) {
        ReportUnavailable(m_bus.lastError().message());
        return;
    }
    const AlertMessage message = FormatAlertMessage(alerts);
    bool anyDown = false;
    for (const HostAlert& alert : alerts) {
        anyDown = anyDown || alert.change.to == HostState::Down;
    }
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), kDesktopEntry);
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(anyDown ? 2 : 1));
    hints.insert(QStringLiteral("category"),
                 anyDown ? QStringLiteral("network.disconnected") : QStringLiteral("network.connected"));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << OvText(57344, u"Orvantek Ping Tool") << uint(0) << kDesktopEntry << message.summary << message.body
         << QStringList{kShowAction, OvText(35126, u"Show")} << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallTimeoutMs), this);
    ++m_inFlight;
    const unsigned hostIndex = alerts.front().hostIndex;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, hostIndex](QDBusPendingCallWatcher* finished) { OnReply(finished, hostIndex); });
}

void CDesktopNotifier::OnReply(QDBusPendingCallWatcher* call, unsigned hostIndex) {
    call->deleteLater();
    --m_inFlight;
    const QDBusPendingReply<uint> reply = *call;
    if (reply.isError()) {
        ReportUnavailable(reply.error().message());
        return;
    }
    m_hostOf.insert(reply.value(), hostIndex);
}

void CDesktopNotifier::OnActionInvoked(uint id, const QString& action) {
    const auto it = m_hostOf.constFind(id);
    if (it == m_hostOf.constEnd()) {
        return;  // another program's notification
    }
    if (action == kShowAction || action == QLatin1String("default")) {
        emit showHost(it.value());
    }
}

void CDesktopNotifier::OnClosed(uint id, uint) {
    m_hostOf.remove(id);
}

void CDesktopNotifier::ReportUnavailable(const QString& reason) {
    if (m_reported) {
        return;
    }
    m_reported = true;
    emit unavailable(reason);
}
