#pragma once
// The one place that makes and shows the program's main window.
#include <memory>
#include <string>

class COvPingDoc;
class IFrameApp;
class QMainWindow;

// The main window over doc; app receives the commands the window routes on.
std::unique_ptr<QMainWindow> CreateMainWindow(COvPingDoc* doc, IFrameApp* app);
// Shows window at its stored placement, or at the default one.
void ShowMainWindow(QMainWindow& window);
// Makes window write its run's results to path (csv, or json for a name
// ending in ".json"; statistics and every event) whenever a run ends and when
// it closes.
void WriteResultsWhenRunEnds(QMainWindow& window, const std::string& path);
