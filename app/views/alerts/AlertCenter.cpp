#include "AlertCenter.h"

#include <QApplication>
#include <QWidget>

#include "AlertDlg.h"
#include "AlertText.h"
#include "DesktopNotifier.h"
#include "QtText.h"
#include "StatTreeView.h"

CAlertCenter::CAlertCenter(COvPingDoc& doc, CProfile profile, QObject* parent)
    : QObject(parent),
      m_doc(doc),
      m_profile(std::move(profile)),
      m_settings(LoadAlertSettings(m_profile)),
      m_monitor(doc, m_settings.thresholds),
      m_trayAvailable(QSystemTrayIcon::isSystemTrayAvailable()) {
    connect(&m_monitor, &CAlertMonitor::transitions, this, &CAlertCenter::OnTransitions);
    connect(&m_monitor, &CAlertMonitor::runChanged, this, &CAlertCenter::UpdateTray);
    connect(&m_tray, &CAlertTray::showRequested, this, &CAlertCenter::showWindowRequested);
    connect(&m_tray, &CAlertTray::startStopRequested, this, &CAlertCenter::startStopRequested);
    connect(&m_tray, &CAlertTray::exitRequested, this, &CAlertCenter::exitRequested);
    if (m_trayAvailable) {
        m_tray.Icon().show();
    }
}

CAlertCenter::~CAlertCenter() = default;

void CAlertCenter::Apply(const ALERT_SETTINGS& settings) {
    m_settings = settings;
    m_monitor.SetThresholds(settings.thresholds);
}

bool CAlertCenter::KeepsInTray() const noexcept {
    return m_settings.keepInTray && m_trayAvailable;
}

CDesktopNotifier& CAlertCenter::MakeNotifier() {
    if (m_notifier == nullptr) {
        // Connected at the first notification: a user who never gets one
        // never starts talking to the session bus.
        m_notifier = new CDesktopNotifier(this);
        connect(m_notifier, &CDesktopNotifier::showHost, this, &CAlertCenter::showHostRequested);
        connect(m_notifier, &CDesktopNotifier::unavailable, this, [this](const QString&) {
            emit statusMessage(
                OvText(35134, u"No desktop notification service answers: alerts show in the tree and the tray only."));
        });
    }
    return *m_notifier;
}

void CAlertCenter::OnTransitions(const QList<HostAlert>& alerts) {
    bool down = false;
    bool up = false;
    for (const HostAlert& alert : alerts) {
        MarkTree(alert);
        if (!IsToldChange(alert.change)) {
            continue;
        }
        (alert.change.to == HostState::Down ? down : up) = true;
        if (m_settings.notify) {
            MakeNotifier().Add(alert);
        }
    }
    if (m_settings.sound) {
        // One sound per look at the hosts, however many changed.
        if (down) {
            m_sound.Play(true);
        } else if (up) {
            m_sound.Play(false);
        }
    }
    UpdateTray();
}

void CAlertCenter::MarkTree(const HostAlert& alert) {
    if (m_tree == nullptr) {
        return;
    }
    const bool isDown = alert.change.to == HostState::Down;
    m_tree->MarkHost(alert.hostIndex, isDown, isDown ? DownSinceText(alert.change.since) : QString());
}

void CAlertCenter::UpdateTray() {
    m_tray.Update(m_doc.IsRunning(), m_monitor.HostCount(), m_monitor.DownCount(), m_monitor.AllUp());
}

bool CAlertCenter::RunDialog(QWidget& owner, const std::function<void(unsigned)>& help) {
    CAlertDlg dialog(m_settings, m_profile, &owner);
    // Modal to the window only: the help window it opens takes input.
    dialog.setWindowModality(Qt::WindowModal);
    connect(&dialog, &CAlertDlg::helpRequested, this, [&help](unsigned command) {
        if (help) {
            help(command);
        }
    });
    if (dialog.exec() != QDialog::Accepted) {
        return true;
    }
    Apply(dialog.Settings());
    return dialog.Saved();
}

bool CAlertCenter::HideToTray(QWidget& window) {
    if (!KeepsInTray() || !m_doc.IsRunning()) {
        return false;
    }
    // Hidden, the window is no longer the last one: closing a help window
    // meanwhile must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    window.hide();
    return true;
}

void CAlertCenter::ShowWindow(QWidget& window) {
    QApplication::setQuitOnLastWindowClosed(true);
    if (window.isMinimized()) {
        window.showNormal();
    } else {
        window.show();
    }
    window.raise();
    window.activateWindow();
}

void CAlertCenter::PrepareExit() {
    QApplication::setQuitOnLastWindowClosed(true);
}
