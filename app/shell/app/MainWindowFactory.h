#pragma once
// The one place that makes and shows the program's main window.
#include <memory>

class COvPingDoc;
class IFrameApp;
class QMainWindow;

// The main window over doc; app receives the commands the window routes on.
std::unique_ptr<QMainWindow> CreateMainWindow(COvPingDoc* doc, IFrameApp* app);
// Shows window at its stored placement, or at the default one.
void ShowMainWindow(QMainWindow& window);
