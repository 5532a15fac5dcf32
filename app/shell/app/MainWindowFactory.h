#pragma once
// The one place that makes the program's main window.
#include <memory>

class COvPingDoc;
class IFrameApp;
class QMainWindow;

// The main window over doc; app receives the commands the window routes on.
std::unique_ptr<QMainWindow> CreateMainWindow(COvPingDoc* doc, IFrameApp* app);
