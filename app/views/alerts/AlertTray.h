#pragma once
// The tray icon: grey while no run goes on (or no host has a state yet),
// green while every host is up, red while any is down; its tooltip counts
// the hosts down and its menu has Show, Start/Stop Ping and Exit.
#include <memory>

#include <QObject>
#include <QSystemTrayIcon>

class QAction;
class QMenu;

class CAlertTray final : public QObject {
    Q_OBJECT

public:
    enum class Look { Idle, AllUp, AnyDown };

    explicit CAlertTray(QObject* parent = nullptr);
    ~CAlertTray() override;

    // Shows the state: running, hosts followed and those down, all up.
    void Update(bool running, unsigned hosts, unsigned down, bool allUp);
    Look CurrentLook() const noexcept { return m_look; }
    QSystemTrayIcon& Icon() noexcept { return m_icon; }
    QMenu& Menu() const noexcept { return *m_menu; }
    QAction* ShowAction() const noexcept { return m_show; }
    QAction* StartStopAction() const noexcept { return m_startStop; }
    QAction* ExitAction() const noexcept { return m_exit; }

signals:
    void showRequested();
    void startStopRequested();
    void exitRequested();

private:
    QSystemTrayIcon m_icon;
    std::unique_ptr<QMenu> m_menu;  // a tray menu has no parent window
    QAction* m_show = nullptr;
    QAction* m_startStop = nullptr;
    QAction* m_exit = nullptr;
    Look m_look = Look::AnyDown;  // differs from the first look set
};
