#include "MainWindowFactory.h"

#include <QMainWindow>

std::unique_ptr<QMainWindow> CreateMainWindow(COvPingDoc* /*doc*/, IFrameApp* /*app*/) {
    // A bare window until the program's own main frame takes this place.
    auto window = std::make_unique<QMainWindow>();
    window->resize(800, 560);
    return window;
}
