#pragma once
// Every command id of the program's windows: the main window's, its file
// commands', the help and web commands the application carries out, and the
// log list's, statistics tree's and chart's with their toolbars.
// Every command is a QAction carrying its id (OvAddCommand), so the main
// window's menus and keys reach a view's command with OvFindCommand(view, id).
#include <array>

// Main window (CMainFrame).
inline constexpr unsigned ID_PING_STARTSTOP = 32771;  // Start/Stop: menu item and button
inline constexpr unsigned ID_HOST_ENTRY = 32772;
inline constexpr unsigned ID_START_STOP_KEY = 57601;  // Ctrl+O
inline constexpr unsigned ID_OPTIONS = 32780;
inline constexpr unsigned ID_ALERTS = 40100;  // the Alerts dialog
inline constexpr unsigned ID_APP_EXIT = 57665;
inline constexpr unsigned ID_APP_ABOUT = 57664;
inline constexpr unsigned ID_NEXT_PANE = 57680;
inline constexpr unsigned ID_PREV_PANE = 57681;
inline constexpr unsigned ID_CHECK_UPDATE = 32827;
// Help commands, shown by the application: the contents (ID_HELP_INDEX from
// the menu and F1, ID_HELP_FINDER) and the page of a context (ID_HELP,
// ID_CONTEXT_HELP).
inline constexpr unsigned ID_HELP_FINDER = 57667;
inline constexpr unsigned ID_CONTEXT_HELP = 57669;
inline constexpr unsigned ID_HELP = 57670;
inline constexpr unsigned ID_HELP_INDEX = 57671;
// Web commands, opened by the application: the home page (menu item and the
// logo banner) and the support forum.
inline constexpr unsigned ID_HOME_PAGE = 32825;
inline constexpr unsigned ID_LOGO = 32826;
inline constexpr unsigned ID_SUPPORT_FORUM = 32828;
// The "Online Resource" pane and the automatic update check's timer.
inline constexpr unsigned ID_ONLINE_PANE = 4000;
inline constexpr unsigned ID_UPDATE_TIMER = 2304;

// File commands of the main window (CFileCommands).
inline constexpr unsigned ID_OPEN_HOST_LIST = 40200;
inline constexpr unsigned ID_SAVE_HOST_LIST = 40201;
inline constexpr unsigned ID_EXPORT_RESULTS = 40202;
// The recent host list files, most recent first.
inline constexpr std::array<unsigned, 4> ID_RECENT_HOST_LIST = {40210, 40211, 40212, 40213};

// Log list view (CLogListView).
inline constexpr unsigned ID_EDIT_COPY = 32786;        // copy the selected rows
inline constexpr unsigned ID_EDIT_SELECT_ALL = 32787;  // select every row
inline constexpr unsigned ID_AUTO_SCROLL = 32803;      // keep the newest row in view (check mark)
inline constexpr unsigned ID_CLASSIC_VIEW = 32811;     // one text line per event (check mark)
inline constexpr unsigned ID_TABLE_VIEW = 32812;       // five columns (check mark)
// Copy one column of the selected rows: TimeStamp, Status, Bytes, RTime, TTL.
inline constexpr std::array<unsigned, 5> ID_COPY_COLUMN = {32814, 32815, 32817, 32818, 32819};
// The caption control at the end of the log list's toolbar.
inline constexpr unsigned ID_LOG_CAPTION = 32820;

// Statistics tree view (CStatTreeView).
inline constexpr unsigned ID_COPY_HOST = 32791;  // the host of the selected (or right-clicked) line
inline constexpr unsigned ID_COPY_ALL = 32792;   // every line shown

// The log list's toolbar, in order; 0 is a separator.
inline constexpr std::array<unsigned, 9> kLogListBar = {ID_EDIT_COPY,    ID_EDIT_SELECT_ALL, 0, ID_AUTO_SCROLL, 0,
                                                        ID_CLASSIC_VIEW, ID_TABLE_VIEW,      0, ID_LOG_CAPTION};
// The statistics tree's toolbar.
inline constexpr std::array<unsigned, 2> kStatTreeBar = {ID_COPY_HOST, ID_COPY_ALL};

// Chart view (CChartView).
inline constexpr unsigned ID_CHART_3D = 32794;      // 3D view (check mark)
inline constexpr unsigned ID_CHART_GRID = 32795;    // grid lines of both axes (check mark)
inline constexpr unsigned ID_CHART_LEGEND = 32796;  // legend box (check mark)
inline constexpr unsigned ID_CHART_LINE = 32798;    // line gallery (check mark)
inline constexpr unsigned ID_CHART_AREA = 32799;    // area gallery (check mark)
inline constexpr unsigned ID_CHART_BAR = 32800;     // bar gallery (check mark)
inline constexpr unsigned ID_CHART_SAVE = 32807;    // save the chart as a bitmap file

// The chart's toolbar.
inline constexpr std::array<unsigned, 9> kChartBar = {
    ID_CHART_SAVE, 0, ID_CHART_3D, ID_CHART_LEGEND, ID_CHART_GRID, 0, ID_CHART_LINE, ID_CHART_AREA, ID_CHART_BAR};
