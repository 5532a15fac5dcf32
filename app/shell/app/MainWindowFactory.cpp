#include "MainWindowFactory.h"

#include "FileCommands.h"
#include "MainFrame.h"

std::unique_ptr<QMainWindow> CreateMainWindow(COvPingDoc* doc, IFrameApp* app) {
    if (doc == nullptr) {
        return nullptr;
    }
    return std::make_unique<CMainFrame>(*doc, app);
}

void ShowMainWindow(QMainWindow& window) {
    if (auto* frame = dynamic_cast<CMainFrame*>(&window)) {
        frame->ShowAtPlacement();
    } else {
        window.show();
    }
}

void WriteResultsWhenRunEnds(QMainWindow& window, const std::string& path) {
    if (auto* frame = dynamic_cast<CMainFrame*>(&window)) {
        frame->FileCommands().WriteResultsWhenRunEnds(path);
    }
}
