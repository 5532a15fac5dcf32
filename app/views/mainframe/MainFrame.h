#pragma once
// The program's top-level window: the chart row over the statistics tree and
// the log list in two splitters, the menu bar, the "Standard" bar with the
// host entry and the Start/Stop button, the "Image" bar with the logo
// banner, the status bar and the "Online Resource" pane. It is the document's
// frame: it turns the host entry's text into runs and relays the current
// host's notifications to the views. Closed by the user during a run, it may
// stay in the tray (alert settings).
//
// Commands (QActions carrying their ids) go to the active view first, then
// the document's Start/Stop, this window, and the application (IFrameApp).
#include <string>

#include <QMainWindow>

#include "MainProfile.h"
#include "OvPingDoc.h"
#include "PingNotifyAdapter.h"
#include "ViewIds.h"

class CAlertCenter;
class CFileCommands;
class COvHistoryComboBox;
class CLogListFrame;
class CRunStarter;
class CStatTreeFrame;
class IFrameApp;
class QDockWidget;
class QLabel;
class QProgressBar;
class QSplitter;
class QToolBar;
class QToolButton;

// The chart row's height for a client height: all of it until the first
// Start/Stop, share percent from then on; never below kChartRowMinimum.
inline constexpr int kChartRowMinimum = 50;
int ChartRowHeight(int clientHeight, bool runSeen, int share);

class CMainFrame final : public QMainWindow, public IPingFrame {
    Q_OBJECT

public:
    // The window on doc; app may be null (its commands then do nothing).
    // The host history and the placement live below profileKey.
    CMainFrame(COvPingDoc& doc, IFrameApp* app, std::u16string profileKey = kProfileKey);
    ~CMainFrame() override;

    // Shows the window at the stored placement, or at the default one.
    void ShowAtPlacement();
    // Runs command id the way a menu item or key does; false when nothing handled it.
    bool RouteCommand(unsigned id);
    // Start/Stop as the button does: stops a run (one still starting
    // included), or starts one with the host entry's text once it is trimmed
    // and valid. A large run goes on starting from the event loop, with a
    // busy cursor and its progress in the status bar.
    void OnStartStop();

    // IPingFrame.
    // The Start/Stop icon and the host entry's state for running; changes
    // them only when the run state changed since the last call.
    void UpdateRunControls(bool running) override;
    void SetMainTitle(std::u16string_view name) override;
    IPingNotifyTarget* NotifyTarget() override { return &m_adapter; }
    void ToggleStartStop() override { OnStartStop(); }
    void SetHostEntryText(std::u16string_view text) override;
    void ShowStartStop() override;

    COvHistoryComboBox* HostEntry() const noexcept { return m_hostEntry; }
    QToolButton* StartStopButton() const noexcept { return m_startStop; }
    QSplitter* MainSplitter() const noexcept { return m_mainSplitter; }
    QWidget* ChartRow() const noexcept { return m_chartRow; }
    CStatTreeFrame* TreeFrame() const noexcept { return m_treeFrame; }
    CLogListFrame* LogFrame() const noexcept { return m_logFrame; }
    QWidget* ActiveView() const noexcept { return m_activeView; }
    QDockWidget* OnlinePane() const noexcept { return m_onlinePane; }
    CFileCommands& FileCommands() const noexcept { return *m_fileCommands; }
    CRunStarter* RunStarter() const noexcept { return m_starter; }
    // The alerts: host states in the tree, tray icon, notifications, sound.
    CAlertCenter& Alerts() const noexcept { return *m_alerts; }
    // The status bar's progress of a run that is starting.
    QProgressBar* StartProgress() const noexcept { return m_startProgress; }
    // The menu item of command id (first found), or null.
    QAction* MenuCommand(unsigned id) const;

    // The bars have no menu of their own.
    QMenu* createPopupMenu() override { return nullptr; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildClient();
    void BuildMenus();
    void BuildToolBars();
    void BuildStatusBar();
    void BuildOnlinePane();
    void BuildAccelerators();
    // The commands of this window, their menu items and keys (kCommands).
    struct Command;
    static const Command kCommands[];
    static const Command* FindCommand(unsigned id) noexcept;
    // The status bar prompt of command id; empty for none.
    static QString PromptOf(unsigned id);
    bool IsEnabled(const Command& command) const;
    // Adds an action for command id with text that routes it; to menu unless null.
    QAction* AddFrameCommand(QMenu* menu, unsigned id, const QString& text);
    bool RunFrameCommand(unsigned id);
    // The handlers and predicates of kCommands.
    void RunStartStop(unsigned id);
    void RunOptions(unsigned id);
    void RunAlerts(unsigned id);
    void RunExit(unsigned id);
    void RunSwitchPane(unsigned id);
    void RunHelp(unsigned id);
    void RunWeb(unsigned id);
    void RunUpdateCheck(unsigned id);
    void RunAbout(unsigned id);
    bool StartStopEnabled() const;
    bool HasApp() const;
    void UpdateMenuItems();
    void UpdateStartStopButton();
    // WM_PING_NOTIFY (through the adapter's newEvents): NotifyViews(HINT_NEW_EVENTS).
    void OnPingNotify(int host);
    void ApplyChartRowHeight();
    void OnStartProgress(unsigned started, unsigned total);
    void OnStartFinished(bool cancelled);
    void SwitchPane(bool next);
    bool SaveWindowPlacement();
    // A message box with the error icon over this window.
    void ShowError(const QString& text);
    // A message box with the warning icon over this window.
    void ShowWarning(const QString& text);

    COvPingDoc& m_doc;
    IFrameApp* m_app;
    CMainProfile m_profile;
    std::u16string m_profileKey;
    CPingNotifyAdapter m_adapter;
    QSplitter* m_mainSplitter = nullptr;
    QSplitter* m_lowerSplitter = nullptr;
    QWidget* m_chartRow = nullptr;
    CStatTreeFrame* m_treeFrame = nullptr;
    CLogListFrame* m_logFrame = nullptr;
    QWidget* m_activeView = nullptr;
    COvHistoryComboBox* m_hostEntry = nullptr;
    QToolButton* m_startStop = nullptr;
    QAction* m_startStopAction = nullptr;
    QToolBar* m_standardBar = nullptr;
    QDockWidget* m_onlinePane = nullptr;
    QWidget* m_onlineView = nullptr;
    CFileCommands* m_fileCommands = nullptr;
    CRunStarter* m_starter = nullptr;
    CAlertCenter* m_alerts = nullptr;
    QWidget* m_startPane = nullptr;  // the starting run's text and bar
    QLabel* m_startText = nullptr;
    QProgressBar* m_startProgress = nullptr;
    bool m_busyCursor = false;  // the starter's busy cursor is shown
    // The run state the run controls show; Unknown before the first call.
    enum class RunControls { Unknown, Idle, Running };
    RunControls m_runControls = RunControls::Unknown;
    int m_chartShare = 45;
    bool m_creating = true;
    bool m_runSeen = false;
};
