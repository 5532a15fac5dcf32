#pragma once
// The window's alerts: follows the hosts' states (CAlertMonitor) and tells
// of each change as the user chose: the statistics tree's host icon and
// tooltip, the tray icon, a desktop notification, the event sound. The main
// window makes one and answers its requests (show a host, start or stop,
// exit, a status bar message).
#include <functional>
#include <memory>

#include <QObject>

#include "AlertMonitor.h"
#include "AlertSettings.h"
#include "AlertSound.h"
#include "AlertTray.h"
#include "OvPingDoc.h"

class CDesktopNotifier;
class CStatTreeView;
class QWidget;

class CAlertCenter final : public QObject {
    Q_OBJECT

public:
    // Alerts for doc's hosts with the choices stored in profile.
    CAlertCenter(COvPingDoc& doc, CProfile profile, QObject* parent = nullptr);
    ~CAlertCenter() override;

    // The tree whose host icons and tooltips show the states (may be null).
    void AttachTree(CStatTreeView* tree) noexcept { m_tree = tree; }
    const ALERT_SETTINGS& Settings() const noexcept { return m_settings; }
    // Takes new choices (already saved by the dialog).
    void Apply(const ALERT_SETTINGS& settings);
    const CProfile& Profile() const noexcept { return m_profile; }
    // True when closing the window during a run should leave the program in
    // the tray: the user chose so and there is a tray to come back from.
    bool KeepsInTray() const noexcept;
    // Runs the Alerts dialog modal to owner and takes its choices; help is
    // called with the dialog's help command. False when OK could not save them.
    bool RunDialog(QWidget& owner, const std::function<void(unsigned)>& help);
    // For a close of window: hides it and keeps the program running when
    // KeepsInTray() and a run goes on (true), else does nothing (false).
    bool HideToTray(QWidget& window);
    // Brings window back (from the tray, minimized or behind others) to the front.
    void ShowWindow(QWidget& window);
    // The program is to end: closing the last window ends it again.
    void PrepareExit();
    // Whether the desktop shows tray icons (the platform's answer at start).
    void SetTrayAvailable(bool available) noexcept { m_trayAvailable = available; }

    CAlertMonitor& Monitor() noexcept { return m_monitor; }
    CAlertTray& Tray() noexcept { return m_tray; }
    // The notifier, made at the first notification (null before).
    CDesktopNotifier* Notifier() const noexcept { return m_notifier; }

signals:
    // The user asked to see host hostIndex (a notification's "Show").
    void showHostRequested(unsigned hostIndex);
    // The tray's Show, Start/Stop Ping and Exit.
    void showWindowRequested();
    void startStopRequested();
    void exitRequested();
    // A line for the status bar.
    void statusMessage(const QString& text);

private:
    void OnTransitions(const QList<HostAlert>& alerts);
    void UpdateTray();
    void MarkTree(const HostAlert& alert);
    CDesktopNotifier& MakeNotifier();

    COvPingDoc& m_doc;
    CProfile m_profile;
    ALERT_SETTINGS m_settings;
    CAlertMonitor m_monitor;
    CAlertTray m_tray;
    CAlertSound m_sound;
    CDesktopNotifier* m_notifier = nullptr;
    CStatTreeView* m_tree = nullptr;
    bool m_trayAvailable;
};
