#include "MainWindowFactory.h"

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
