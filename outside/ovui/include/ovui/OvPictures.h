#pragma once
// Our own pictures: one family of 16 x 16 SVG drawings in Qt resources,
// drawn on the pixel grid with the same outline and accent colours, so that
// they stay sharp at any device pixel ratio (the SVG icon engine renders them
// per size). Files: ":/ovui/pictures/<name>.svg" in outside/ovui/pictures/;
// a new picture is one more file there (the build picks it up).
//
// Names: list-copy, list-select-all, list-auto-scroll, list-classic-view,
// list-table-view (log list bar); tree-copy-host, tree-copy-all (tree bar);
// frame-start, frame-stop (Start/Stop button); logo-banner, logo-banner-zh
// (the main window's maker banner, 128 x 32);
// tree-host, tree-host-down, tree-line (the statistics tree's host item, a
// down host's, and its statistic items); tray-idle, tray-up, tray-down (the
// tray icon: no run, every host up, a host down);
// chart-save, chart-3d, chart-legend, chart-grid, chart-line, chart-area,
// chart-bar (chart bar).
#include <QIcon>
#include <QString>

// The picture name as an icon; a null icon when there is no such picture.
QIcon OvPicture(const QString& name);
// Resource path of picture name.
QString OvPicturePath(const QString& name);
