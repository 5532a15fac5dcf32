#include "MainFrame.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cerrno>
#include <iterator>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "AlertCenter.h"
#include "ChartRow.h"
#include "FileCommands.h"
#include "FrameApp.h"
#include "HistoryComboBox.h"
#include "HostEntry.h"
#include "HostList.h"
#include "LockIndicators.h"
#include "LogListFrame.h"
#include "LogText.h"
#include "MsgFormat.h"
#include "OptionDlg.h"
#include "RunStarter.h"
#include "StatTreeFrame.h"
#include "StatTreeView.h"
#include "ViewIds.h"
#include "ViewText.h"
#include "WindowPlacement.h"
#include "ovui/OvCommand.h"
#include "ovui/OvPictures.h"
#include "ovui/OvViewFrame.h"

namespace {

constexpr char16_t kSettings[] = u"Settings";
constexpr char16_t kWindowsPos[] = u"WindowsPos";
constexpr int kDefaultWidth = 960;
constexpr int kDefaultHeight = 640;
// Characters the host entry takes: Qt's default of 32767 held fewer than
// 3000 loopback addresses; a full host list file fits, each host at its longest.
constexpr int kHostEntryMaxLength = static_cast<int>(kMaxHostListHosts) * 256;

// The popups of the menu bar, left to right.
struct Popup {
    unsigned textId;
    const char16_t* english;
};

constexpr Popup kPopups[] = {
    {34200, u"&File"}, {34203, u"&Edit"}, {34209, u"&Chart"}, {34217, u"&Options"}, {34219, u"&Help"},
};
// Their indexes in kPopups; kNoMenu for a command without a menu item.
enum : int { kNoMenu = -1, kFileMenu, kEditMenu, kChartMenu, kOptionsMenu, kHelpMenu };
constexpr bool kSeparator = true;
constexpr QKeyCombination kNoKeys = Qt::Key_unknown;

bool IsChineseLanguage(const QString& language) {
    const QString code = language.toLower();
    return code == QLatin1String("zh_cn") || code == QLatin1String("zh_tw");
}

// The view that commands go to in a row widget: the frame's view, or the
// widget itself.
QWidget* ViewOf(QWidget* row) {
    if (auto* frame = qobject_cast<COvViewFrame*>(row)) {
        return frame->GetView();
    }
    return row;
}

// Why a run started no host: the first host's failure with the system's
// words for it.
QString NoHostStartedText(const COvPingDoc& doc) {
    QString why = qt_error_string(ENOMEM);  // only null entries: none could be made
    for (UINT i = 0; i < doc.GetHostCount(); ++i) {
        const CHostProbe* host = doc.GetHost(i);
        if (host == nullptr) {
            continue;
        }
        PING_EVENT last{};
        host->GetLastEvent(last);
        const std::u16string name = host->GetHostName();
        const std::u16string status = CLogTexts().Long(last.type);
        const std::u16string reason = host->GetFailureReason();
        why = reason.empty() ? ToQString(LoadFormatString(34602, u"%s_a%: %s_b%", name.c_str(), status.c_str()))
                             : ToQString(LoadFormatString(34601, u"%s_a%: %s_b% (%s_c%)", name.c_str(), status.c_str(),
                                                          reason.c_str()));
        break;
    }
    const std::u16string whyText = why.toStdU16String();
    return ToQString(LoadFormatString(34600, u"No host could be started.\n%s_a%", whyText.c_str()));
}

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace

// One command of this window: its menu item (popup, text, separator after
// it), its status bar prompt, the keys that run it anywhere in the window,
// what runs it and when it is enabled. A command without a handler belongs to
// the active view, which runs it and tells its state; without a predicate it
// is always enabled. The menus list the rows of each popup in table order.
struct CMainFrame::Command {
    unsigned id;
    int popup;
    unsigned textId;
    const char16_t* text;
    unsigned promptId;
    const char16_t* prompt;
    bool separatorAfter;
    QKeyCombination keys;
    void (CMainFrame::*run)(unsigned id);
    bool (CMainFrame::*enabled)() const;
};

const CMainFrame::Command CMainFrame::kCommands[] = {
    {ID_PING_STARTSTOP, kFileMenu, 34201, u"&Start Ping", 34240,
     u"Start pinging the hosts in the host entry, or stop the run", kSeparator, kNoKeys, &CMainFrame::RunStartStop,
     &CMainFrame::StartStopEnabled},
    {ID_APP_EXIT, kFileMenu, 34202, u"E&xit", 34241, u"Quit the application", false, kNoKeys, &CMainFrame::RunExit,
     nullptr},
    {ID_EDIT_COPY, kEditMenu, 34204, u"&Copy\tCtrl+C", 34242, u"Copy the selected rows to the clipboard", false,
     kNoKeys, nullptr, nullptr},
    {ID_EDIT_SELECT_ALL, kEditMenu, 34205, u"&Select All\tCtrl+A", 34243, u"Select every row of the log list",
     kSeparator, kNoKeys, nullptr, nullptr},
    {ID_AUTO_SCROLL, kEditMenu, 34206, u"&Auto Scroll", 34244, u"Keep the newest row in view", kSeparator, kNoKeys,
     nullptr, nullptr},
    {ID_CLASSIC_VIEW, kEditMenu, 34207, u"Class&ic View", 34245, u"Show each event as one line of text", false, kNoKeys,
     nullptr, nullptr},
    {ID_TABLE_VIEW, kEditMenu, 34208, u"Ha&rbor View", 34246, u"Show the events in columns", false, kNoKeys, nullptr,
     nullptr},
    {ID_CHART_3D, kChartMenu, 34210, u"3&D View", 34247, u"Draw the chart in three dimensions", false, kNoKeys, nullptr,
     nullptr},
    {ID_CHART_LEGEND, kChartMenu, 34211, u"&Legend Box", 34248, u"Show or hide the legend box", false, kNoKeys, nullptr,
     nullptr},
    {ID_CHART_GRID, kChartMenu, 34212, u"&Gridline", 34249, u"Show or hide the gridlines", kSeparator, kNoKeys, nullptr,
     nullptr},
    {ID_CHART_LINE, kChartMenu, 34213, u"&Line Chart", 34250, u"Draw the round-trip times as lines", false, kNoKeys,
     nullptr, nullptr},
    {ID_CHART_AREA, kChartMenu, 34214, u"&Area Chart", 34251, u"Draw the round-trip times as areas", false, kNoKeys,
     nullptr, nullptr},
    {ID_CHART_BAR, kChartMenu, 34215, u"&Bar Chart", 34252, u"Draw the round-trip times as bars", kSeparator, kNoKeys,
     nullptr, nullptr},
    {ID_CHART_SAVE, kChartMenu, 34216, u"&Save Chart", 34253, u"Save the chart as a picture", false, kNoKeys, nullptr,
     nullptr},
    {ID_OPTIONS, kOptionsMenu, 34218, u"&Options...", 34254, u"Change the ping settings", false, kNoKeys,
     &CMainFrame::RunOptions, nullptr},
    {ID_ALERTS, kOptionsMenu, 35100, u"&Alerts...", 35101, u"Choose when a host counts as down and how you are told",
     false, kNoKeys, &CMainFrame::RunAlerts, nullptr},
    {ID_HELP_INDEX, kHelpMenu, 34220, u"&Contents", 34255, u"Open the help contents", false, Qt::Key_F1,
     &CMainFrame::RunHelp, &CMainFrame::HasApp},
    {ID_CHECK_UPDATE, kHelpMenu, 34221, u"&Check for Latest Version...", 34256,
     u"Check whether a newer version is available", kSeparator, kNoKeys, &CMainFrame::RunUpdateCheck,
     &CMainFrame::HasApp},
    {ID_SUPPORT_FORUM, kHelpMenu, 34222, u"Official Orvantek Support &Forum", 34257, u"Open the official support forum",
     false, kNoKeys, &CMainFrame::RunWeb, &CMainFrame::HasApp},
    {ID_HOME_PAGE, kHelpMenu, 34223, u"Orvantek &Home Page", 34258, u"Open the home page", kSeparator, kNoKeys,
     &CMainFrame::RunWeb, &CMainFrame::HasApp},
    {ID_APP_ABOUT, kHelpMenu, 34224, u"&About...", 34259, u"Show the program's version and copyright", false, kNoKeys,
     &CMainFrame::RunAbout, &CMainFrame::HasApp},
    // Without a menu item: keys, the bars' controls and the help of a context.
    {ID_START_STOP_KEY, kNoMenu, 0, nullptr, 0, nullptr, false, Qt::CTRL | Qt::Key_O, &CMainFrame::RunStartStop,
     &CMainFrame::StartStopEnabled},
    {ID_NEXT_PANE, kNoMenu, 0, nullptr, 0, nullptr, false, Qt::Key_F6, &CMainFrame::RunSwitchPane, nullptr},
    {ID_PREV_PANE, kNoMenu, 0, nullptr, 0, nullptr, false, Qt::SHIFT | Qt::Key_F6, &CMainFrame::RunSwitchPane, nullptr},
    {ID_HELP_FINDER, kNoMenu, 0, nullptr, 0, nullptr, false, kNoKeys, &CMainFrame::RunHelp, &CMainFrame::HasApp},
    {ID_HELP, kNoMenu, 0, nullptr, 0, nullptr, false, kNoKeys, &CMainFrame::RunHelp, &CMainFrame::HasApp},
    {ID_CONTEXT_HELP, kNoMenu, 0, nullptr, 0, nullptr, false, kNoKeys, &CMainFrame::RunHelp, &CMainFrame::HasApp},
    {ID_LOGO, kNoMenu, 0, nullptr, 34258, u"Open the home page", false, kNoKeys, &CMainFrame::RunWeb,
     &CMainFrame::HasApp},
    {ID_HOST_ENTRY, kNoMenu, 0, nullptr, 34260,
     u"Type host names or IP addresses, separated by blanks, commas or semicolons", false, kNoKeys, nullptr, nullptr},
};

const CMainFrame::Command* CMainFrame::FindCommand(unsigned id) noexcept {
    for (const Command& command : kCommands) {
        if (command.id == id) {
            return &command;
        }
    }
    return nullptr;
}

QString CMainFrame::PromptOf(unsigned id) {
    const Command* command = FindCommand(id);
    return command != nullptr && command->prompt != nullptr ? OvText(command->promptId, command->prompt) : QString();
}

bool CMainFrame::IsEnabled(const Command& command) const {
    return command.enabled == nullptr || (this->*command.enabled)();
}

CMainFrame::CMainFrame(COvPingDoc& doc, IFrameApp* app, std::u16string profileKey)
    : m_doc(doc), m_app(app), m_profile(profileKey), m_profileKey(std::move(profileKey)) {
    setObjectName(QStringLiteral("MainFrame"));
    m_starter = new CRunStarter(m_doc, this);
    connect(m_starter, &CRunStarter::progress, this, &CMainFrame::OnStartProgress);
    connect(m_starter, &CRunStarter::finished, this, &CMainFrame::OnStartFinished);
    BuildClient();
    m_alerts = new CAlertCenter(m_doc, CProfile(m_profileKey), this);
    m_alerts->AttachTree(m_treeFrame != nullptr ? m_treeFrame->GetTreeView() : nullptr);
    connect(m_alerts, &CAlertCenter::showWindowRequested, this, [this] { m_alerts->ShowWindow(*this); });
    connect(m_alerts, &CAlertCenter::showHostRequested, this, [this](unsigned hostIndex) {
        m_alerts->ShowWindow(*this);
        if (m_treeFrame != nullptr && m_treeFrame->GetTreeView()->SelectHost(hostIndex)) {
            m_treeFrame->GetTreeView()->setFocus(Qt::OtherFocusReason);
        }
    });
    connect(m_alerts, &CAlertCenter::startStopRequested, this, [this] { RouteCommand(ID_PING_STARTSTOP); });
    connect(m_alerts, &CAlertCenter::exitRequested, this, [this] { RouteCommand(ID_APP_EXIT); });
    connect(m_alerts, &CAlertCenter::statusMessage, this,
            [this](const QString& text) { statusBar()->showMessage(text); });
    BuildMenus();
    BuildToolBars();
    m_fileCommands = new CFileCommands(*this, m_doc, m_app, *m_hostEntry, m_profileKey);
    m_fileCommands->AddToMenu(*menuBar()->actions().constFirst()->menu(), MenuCommand(ID_APP_EXIT));
    BuildStatusBar();
    BuildOnlinePane();
    BuildAccelerators();
    connect(&m_adapter, &CPingNotifyAdapter::newEvents, this, &CMainFrame::OnPingNotify);
    m_doc.SetFrame(this);
    SetMainTitle({});
    UpdateRunControls(m_doc.IsRunning());
    m_creating = false;
    // The automatic update check, once, a second after start.
    QTimer::singleShot(1000, this, [this] {
        if (m_app != nullptr) {
            m_app->OnUpdateCheck(this, true);
        }
    });
}

CMainFrame::~CMainFrame() {
    disconnect(m_starter, nullptr, this, nullptr);
    if (m_busyCursor) {
        QApplication::restoreOverrideCursor();
    }
    for (UINT i = 0; i < m_doc.GetHostCount(); ++i) {
        if (CHostProbe* host = m_doc.GetHost(i)) {
            host->SetNotifyWindow(nullptr, 0);
        }
    }
    m_doc.SetFrame(nullptr);
}

void CMainFrame::BuildClient() {
    m_mainSplitter = new QSplitter(Qt::Vertical, this);
    m_mainSplitter->setObjectName(QStringLiteral("MainSplitter"));
    m_chartRow = CreateChartRow(m_mainSplitter, m_doc);
    m_mainSplitter->addWidget(m_chartRow);
    m_lowerSplitter = new QSplitter(Qt::Horizontal, m_mainSplitter);
    m_mainSplitter->addWidget(m_lowerSplitter);
    if (auto tree = CStatTreeFrame::New(m_doc)) {
        m_treeFrame = tree.release();
        m_lowerSplitter->addWidget(m_treeFrame);
    }
    if (auto log = CLogListFrame::New(m_doc)) {
        m_logFrame = log.release();
        m_lowerSplitter->addWidget(m_logFrame);
        connect(m_logFrame, &COvViewFrame::viewActivated, this, [this](QWidget* view) { m_activeView = view; });
    }
    // The log list takes two thirds: its lines of large packets and longer
    // languages fit at the default size. The splitter keeps the shares.
    m_lowerSplitter->setSizes({kDefaultWidth / 3, kDefaultWidth * 2 / 3});
    // The chart row keeps its minimum; the lower row gives way (and has no
    // height before the first run).
    m_chartRow->setMinimumHeight(std::max(m_chartRow->minimumHeight(), kChartRowMinimum));
    m_mainSplitter->setCollapsible(0, false);
    if (auto* chart = qobject_cast<COvViewFrame*>(m_chartRow)) {
        connect(chart, &COvViewFrame::viewActivated, this, [this](QWidget* view) { m_activeView = view; });
    }
    setCentralWidget(m_mainSplitter);
    // After creation the chart is the active view.
    m_activeView = ViewOf(m_chartRow);
}

QAction* CMainFrame::AddFrameCommand(QMenu* menu, unsigned id, const QString& text) {
    QAction* action = OvAddCommand(this, id, text);
    action->setStatusTip(PromptOf(id));
    connect(action, &QAction::triggered, this, [this, id] { RouteCommand(id); });
    if (menu != nullptr) {
        menu->addAction(action);
    }
    return action;
}

void CMainFrame::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setWindowTitle(OvText(34225, u"Menu Bar"));
    for (int p = 0; p < static_cast<int>(std::size(kPopups)); ++p) {
        QMenu* menu = bar->addMenu(OvText(kPopups[p].textId, kPopups[p].english));
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateMenuItems);
        for (const Command& item : kCommands) {
            if (item.popup != p) {
                continue;
            }
            AddFrameCommand(menu, item.id, OvText(item.textId, item.text));
            if (item.separatorAfter) {
                menu->addSeparator();
            }
        }
    }
}

void CMainFrame::BuildToolBars() {
    m_standardBar = new QToolBar(OvText(34226, u"Standard"), this);
    m_standardBar->setObjectName(QStringLiteral("Standard"));
    m_standardBar->setMovable(false);
    m_standardBar->setFloatable(false);
    m_standardBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_standardBar->setIconSize(QSize(24, 24));
    addToolBar(Qt::TopToolBarArea, m_standardBar);

    m_hostEntry = new COvHistoryComboBox(CMainProfile(m_profileKey), m_standardBar);
    m_hostEntry->setObjectName(QStringLiteral("HostEntry"));
    m_hostEntry->SetHistoryOptions(QStringLiteral("Settings\\History"), QStringLiteral("Item%d"), 16);
    m_hostEntry->LoadHistory();
    m_hostEntry->setStatusTip(PromptOf(ID_HOST_ENTRY));
    m_hostEntry->setMinimumWidth(120);
    m_hostEntry->lineEdit()->setMaxLength(kHostEntryMaxLength);
    m_standardBar->addWidget(m_hostEntry);
    connect(m_hostEntry->lineEdit(), &QLineEdit::returnPressed, this, &CMainFrame::OnStartStop);

    m_startStopAction = AddFrameCommand(nullptr, ID_PING_STARTSTOP, OvText(33002, u"Start Ping"));
    m_standardBar->addAction(m_startStopAction);
    m_startStop = qobject_cast<QToolButton*>(m_standardBar->widgetForAction(m_startStopAction));
    if (m_startStop != nullptr) {
        m_startStop->setObjectName(QStringLiteral("StartStop"));
    }
    m_hostEntry->SetLinked(true);
    connect(m_hostEntry, &COvHistoryComboBox::hasTextChanged, this, &CMainFrame::UpdateStartStopButton);

    auto* imageBar = new QToolBar(OvText(34227, u"Image"), this);
    imageBar->setObjectName(QStringLiteral("Image"));
    imageBar->setMovable(false);
    imageBar->setFloatable(false);
    imageBar->setIconSize(QSize(128, 32));
    addToolBar(Qt::TopToolBarArea, imageBar);
    const bool chinese = m_app != nullptr && IsChineseLanguage(m_app->Language());
    QAction* logo = AddFrameCommand(nullptr, ID_LOGO, PromptOf(ID_LOGO));
    logo->setIcon(OvPicture(chinese ? QStringLiteral("logo-banner-zh") : QStringLiteral("logo-banner")));
    imageBar->addAction(logo);
}

void CMainFrame::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->addWidget(new QLabel(OvText(34228, u"Ready"), bar), 1);
    // Shown while a large run is starting: its text and a bar.
    m_startPane = new QWidget(bar);
    auto* layout = new QHBoxLayout(m_startPane);
    layout->setContentsMargins(0, 0, 0, 0);
    m_startText = new QLabel(m_startPane);
    m_startProgress = new QProgressBar(m_startPane);
    m_startProgress->setObjectName(QStringLiteral("StartProgress"));
    m_startProgress->setTextVisible(false);
    m_startProgress->setFixedSize(120, m_startText->sizeHint().height());
    layout->addWidget(m_startText);
    layout->addWidget(m_startProgress);
    m_startPane->hide();
    bar->addPermanentWidget(m_startPane);
    // Lock indicators: each shows its text while its lock is on. Where the
    // platform does not tell the states they keep their place and stay empty.
    const std::array<QString, 3> indicators = {OvText(34229, u"CAP"), OvText(34230, u"NUM"), OvText(34231, u"SCRL")};
    std::array<QLabel*, 3> panes{};
    for (std::size_t i = 0; i < indicators.size(); ++i) {
        panes[i] = new QLabel(bar);
        panes[i]->setObjectName(QStringLiteral("Indicator"));
        panes[i]->setAlignment(Qt::AlignCenter);
        panes[i]->setMinimumWidth(panes[i]->fontMetrics().horizontalAdvance(indicators[i]) + 8);
        bar->addPermanentWidget(panes[i]);
    }
    if (!QueryLockStates()) {
        return;
    }
    auto refresh = [panes, indicators] {
        const auto states = QueryLockStates();
        const std::array<bool, 3> on = {states && states->caps, states && states->num, states && states->scroll};
        for (std::size_t i = 0; i < panes.size(); ++i) {
            const QString text = on[i] ? indicators[i] : QString();
            if (panes[i]->text() != text) {
                panes[i]->setText(text);
            }
        }
    };
    refresh();
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, refresh);
    poll->start(250);
}

void CMainFrame::BuildOnlinePane() {
    if (m_app == nullptr || !m_app->OnlineFeaturesOn()) {
        return;
    }
    m_onlinePane = new QDockWidget(OvText(34232, u"Online Resource"), this);
    m_onlinePane->setObjectName(QStringLiteral("OnlineResource"));
    m_onlinePane->setProperty("paneId", ID_ONLINE_PANE);
    addDockWidget(Qt::LeftDockWidgetArea, m_onlinePane);
    resizeDocks({m_onlinePane}, {260}, Qt::Horizontal);
    resizeDocks({m_onlinePane}, {300}, Qt::Vertical);
    connect(m_onlinePane, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible && m_onlineView == nullptr && m_app != nullptr) {
            m_onlineView = m_app->CreateOnlineResourceView(m_onlinePane);
            if (m_onlineView != nullptr) {
                m_onlinePane->setWidget(m_onlineView);
            }
        }
    });
}

void CMainFrame::BuildAccelerators() {
    for (const Command& command : kCommands) {
        if (command.keys == kNoKeys) {
            continue;
        }
        // An action of its own: the menu item does not show the keys.
        auto* action = new QAction(this);
        action->setShortcut(QKeySequence(command.keys));
        action->setShortcutContext(Qt::WindowShortcut);
        const unsigned id = command.id;
        connect(action, &QAction::triggered, this, [this, id] { RouteCommand(id); });
        addAction(action);
    }
}

void CMainFrame::keyPressEvent(QKeyEvent* event) {
    // Copy and Select All reach here when the focused control did not take
    // them itself (the log list has its own keys; an edit copies its text).
    const QKeyCombination key = event->keyCombination();
    if (key == QKeyCombination(Qt::ControlModifier, Qt::Key_C) ||
        key == QKeyCombination(Qt::ControlModifier, Qt::Key_Insert)) {
        RouteCommand(ID_EDIT_COPY);
        return;
    }
    if (key == QKeyCombination(Qt::ControlModifier, Qt::Key_A)) {
        RouteCommand(ID_EDIT_SELECT_ALL);
        return;
    }
    QMainWindow::keyPressEvent(event);
}

QAction* CMainFrame::MenuCommand(unsigned id) const {
    const auto menus = menuBar()->findChildren<QMenu*>();
    for (const QMenu* menu : menus) {
        const auto items = menu->actions();
        for (QAction* item : items) {
            if (OvCommandId(item) == id) {
                return item;
            }
        }
    }
    return nullptr;
}

bool CMainFrame::RouteCommand(unsigned id) {
    if (QAction* command = OvFindCommand(m_activeView, id)) {
        if (!command->isEnabled()) {
            return false;
        }
        command->trigger();
        return true;
    }
    return RunFrameCommand(id);
}

bool CMainFrame::RunFrameCommand(unsigned id) {
    if (m_fileCommands->Run(id)) {
        return true;
    }
    const Command* command = FindCommand(id);
    if (command == nullptr || command->run == nullptr || !IsEnabled(*command)) {
        return false;
    }
    (this->*command->run)(id);
    return true;
}

void CMainFrame::RunStartStop(unsigned) {
    OnStartStop();
}

void CMainFrame::RunOptions(unsigned) {
    COptionDlg dialog(&m_doc, CProfile(m_profileKey), this);
    // Modal to this window only: the help window it opens takes input.
    dialog.setWindowModality(Qt::WindowModal);
    connect(&dialog, &COptionDlg::helpRequested, this, [this](unsigned command) {
        if (m_app != nullptr) {
            m_app->OnHelpCommand(command, QStringLiteral("options"));
        }
    });
    if (dialog.exec() == QDialog::Accepted && !dialog.Saved()) {
        ShowWarning(
            NotSavedText(34754, u"The options could not be saved in \"%s_a%\"; they hold until the program ends."));
    }
}

void CMainFrame::RunAlerts(unsigned) {
    const bool saved = m_alerts->RunDialog(*this, [this](unsigned command) {
        if (m_app != nullptr) {
            m_app->OnHelpCommand(command, QStringLiteral("alerts"));
        }
    });
    if (!saved) {
        ShowWarning(NotSavedText(
            35151, u"The alert settings could not be saved in \"%s_a%\"; they hold until the program ends."));
    }
}

void CMainFrame::RunExit(unsigned) {
    m_alerts->PrepareExit();
    // Hidden in the tray, the window's close is no last window closing.
    const bool hidden = isHidden();
    if (close() && hidden) {
        QCoreApplication::quit();
    }
}

void CMainFrame::RunSwitchPane(unsigned id) {
    SwitchPane(id == ID_NEXT_PANE);
}

void CMainFrame::RunHelp(unsigned id) {
    m_app->OnHelpCommand(id, {});
}

void CMainFrame::RunWeb(unsigned id) {
    m_app->OnWebCommand(id);
}

void CMainFrame::RunUpdateCheck(unsigned) {
    m_app->OnUpdateCheck(this, false);
}

void CMainFrame::RunAbout(unsigned) {
    m_app->OnAbout(this);
}

bool CMainFrame::StartStopEnabled() const {
    return m_startStopAction->isEnabled();
}

bool CMainFrame::HasApp() const {
    return m_app != nullptr;
}

void CMainFrame::UpdateMenuItems() {
    const auto menus = menuBar()->findChildren<QMenu*>();
    for (const QMenu* menu : menus) {
        const auto items = menu->actions();
        for (QAction* item : items) {
            const unsigned id = OvCommandId(item);
            if (id == 0 || CFileCommands::Owns(id)) {
                continue;  // the file commands keep their own items
            }
            if (const QAction* command = OvFindCommand(m_activeView, id)) {
                item->setEnabled(command->isEnabled());
                item->setCheckable(command->isCheckable());
                item->setChecked(command->isChecked());
                continue;
            }
            const Command* command = FindCommand(id);
            item->setEnabled(command != nullptr && command->run != nullptr && IsEnabled(*command));
            if (id == ID_PING_STARTSTOP) {
                // Idle, the item keeps its own text with its mnemonic.
                item->setText(m_doc.IsRunning() ? QString::fromStdU16String(m_doc.GetStartStopText())
                                                : OvText(34201, u"&Start Ping"));
            }
        }
    }
}

void CMainFrame::UpdateStartStopButton() {
    // Stopping stays possible while a run goes on, whatever the entry holds.
    const bool running = m_doc.IsRunning();
    // Change the button only when its text or state differs, so that it is
    // not laid out again for nothing.
    const QString text = QString::fromStdU16String(m_doc.GetStartStopText());
    if (m_startStopAction->text() != text) {
        m_startStopAction->setText(text);
    }
    m_startStopAction->setEnabled(running || m_hostEntry->HasText());
}

void CMainFrame::UpdateRunControls(bool running) {
    // The document asks before every hint, each batch of new events
    // included: only a change of the run state changes the controls.
    const RunControls state = running ? RunControls::Running : RunControls::Idle;
    if (m_runControls == state) {
        return;
    }
    m_runControls = state;
    m_startStopAction->setIcon(OvPicture(running ? QStringLiteral("frame-stop") : QStringLiteral("frame-start")));
    m_hostEntry->setEnabled(!running);
    UpdateStartStopButton();
}

void CMainFrame::OnPingNotify(int) {
    // WM_PING_NOTIFY of the current host: the views take its new events.
    m_doc.NotifyViews(HINT_NEW_EVENTS);
}

void CMainFrame::SetMainTitle(std::u16string_view name) {
    // The application composes the caption; without one the name stands alone.
    if (m_app != nullptr) {
        m_app->SetMainTitle(name);
    } else {
        setWindowTitle(ToQString(name));
    }
}

void CMainFrame::ShowError(const QString& text) {
    ShowBox(this, QMessageBox::Critical, m_app != nullptr ? m_app->ApplicationTitle() : QString(), text);
}

void CMainFrame::ShowWarning(const QString& text) {
    ShowBox(this, QMessageBox::Warning, m_app != nullptr ? m_app->ApplicationTitle() : QString(), text);
}

void CMainFrame::SetHostEntryText(std::u16string_view text) {
    m_hostEntry->setEditText(ToQString(text));
}

void CMainFrame::ShowStartStop() {
    m_standardBar->show();
    if (m_startStop != nullptr) {
        m_startStop->show();
    }
}

void CMainFrame::OnStartStop() {
    if (m_doc.IsRunning()) {
        m_starter->Cancel();
        m_doc.StopAll();
        m_runSeen = true;
        ApplyChartRowHeight();
        return;
    }
    const std::u16string text = TrimHostEntryText(m_hostEntry->currentText().toStdU16String());
    if (text.empty()) {
        return;
    }
    if (HasInvalidHostChar(text)) {
        ShowError(OvText(33042, u"Invalid IP addresses."));
        return;
    }
    m_hostEntry->AddToHistory(ToQString(text));
    m_runSeen = true;
    ApplyChartRowHeight();
    m_starter->Start(text);
}

void CMainFrame::OnStartProgress(unsigned started, unsigned total) {
    if (!m_busyCursor) {
        // The window stays usable meanwhile: the cursor that says so.
        QApplication::setOverrideCursor(Qt::BusyCursor);
        m_busyCursor = true;
    }
    const int most = static_cast<int>(std::min<unsigned>(total, INT_MAX));
    const int done = static_cast<int>(std::min<unsigned>(started, INT_MAX));
    m_startProgress->setRange(0, most);
    m_startProgress->setValue(done);
    m_startText->setText(ToQString(LoadFormatString(34620, u"Starting host %d_a% of %d_b%", done, most)));
    m_startPane->show();
}

void CMainFrame::OnStartFinished(bool cancelled) {
    if (m_busyCursor) {
        QApplication::restoreOverrideCursor();
        m_busyCursor = false;
    }
    m_startPane->hide();
    if (!cancelled && !m_doc.IsRunning() && m_doc.GetHostCount() > 0) {
        // The views show the hosts and their failure events; this says why.
        ShowError(NoHostStartedText(m_doc));
    }
}

int ChartRowHeight(int clientHeight, bool runSeen, int share) {
    const int ideal = runSeen && clientHeight > 0 ? clientHeight * share / 100 : clientHeight;
    return std::max(ideal, kChartRowMinimum);
}

void CMainFrame::ApplyChartRowHeight() {
    const int h = m_mainSplitter->height();
    const int row = ChartRowHeight(h, m_runSeen, m_chartShare);
    m_mainSplitter->setSizes({row, std::max(h - row, 0)});
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (m_creating) {
        return;
    }
    ApplyChartRowHeight();
    if (width() > 300) {
        m_hostEntry->SetPreferredWidth(width() - 250);
    }
}

void CMainFrame::SwitchPane(bool next) {
    std::vector<QWidget*> panes;
    for (QWidget* row : {m_chartRow, static_cast<QWidget*>(m_treeFrame), static_cast<QWidget*>(m_logFrame)}) {
        QWidget* view = ViewOf(row);
        if (view != nullptr && view->isVisible() && view->height() > 0 && view->focusPolicy() != Qt::NoFocus) {
            panes.push_back(view);
        }
    }
    if (panes.empty()) {
        return;
    }
    const QWidget* focus = QApplication::focusWidget();
    std::size_t current = panes.size();
    for (std::size_t i = 0; i < panes.size(); ++i) {
        if (focus != nullptr && (focus == panes[i] || panes[i]->isAncestorOf(focus))) {
            current = i;
        }
    }
    std::size_t target = 0;
    if (current == panes.size()) {
        target = next ? 0 : panes.size() - 1;
    } else {
        target = next ? (current + 1) % panes.size() : (current + panes.size() - 1) % panes.size();
    }
    panes[target]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

void CMainFrame::ShowAtPlacement() {
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        screens.push_back(screen->geometry());
    }
    const auto placement = UnpackWindowPlacement(m_profile.GetBinary(kSettings, kWindowsPos), screens);
    if (!placement) {
        resize(kDefaultWidth, kDefaultHeight);
        show();
        return;
    }
    setGeometry(placement->normal);
    if (placement->showCmd == kShowMaximized) {
        showMaximized();
    } else {
        show();
    }
}

bool CMainFrame::SaveWindowPlacement() {
    OvWindowPlacement placement;
    placement.showCmd = isMinimized() ? kShowMinimized : isMaximized() ? kShowMaximized : kShowNormal;
    placement.normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    if (!placement.normal.isValid()) {
        placement.normal = geometry();
    }
    return m_profile.WriteBinary(kSettings, kWindowsPos, PackWindowPlacement(placement));
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // The user's close (the window's close button) may leave the program in
    // the tray; Exit, a signal or the program's own close end it.
    if (event->spontaneous() && m_alerts->HideToTray(*this)) {
        event->ignore();
        return;
    }
    m_fileCommands->WindowClosing();
    const bool history = m_hostEntry->SaveHistory();
    if (!SaveWindowPlacement() || !history) {
        // A full disk or a read-only settings file: the next start will not
        // find them, and the user should know before the window is gone.
        ShowWarning(NotSavedText(34753, u"The host history and the window position could not be saved in \"%s_a%\"."));
    }
    // The program ends with this window: its other top-level windows (the
    // help window) close first.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window != this && window->parentWidget() == nullptr && window->isVisible()) {
            window->close();
        }
    }
    event->accept();
}
