#pragma once
// Command ids of the log list, the statistics tree and the chart and their
// toolbars.
// Every command is a QAction of its view carrying its id (OvAddCommand), so
// the main window's menus and keys reach it with OvFindCommand(view, id).
#include <array>

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
inline constexpr std::array<unsigned, 9> kLogListBar = {
    ID_EDIT_COPY, ID_EDIT_SELECT_ALL, 0, ID_AUTO_SCROLL, 0, ID_CLASSIC_VIEW, ID_TABLE_VIEW, 0,
    ID_LOG_CAPTION};
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
    ID_CHART_SAVE, 0, ID_CHART_3D, ID_CHART_LEGEND, ID_CHART_GRID, 0, ID_CHART_LINE, ID_CHART_AREA,
    ID_CHART_BAR};
