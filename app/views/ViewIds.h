#pragma once
// Command ids of the log list and the statistics tree and their toolbars.
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
