#pragma once
// A plain test window standing in for the main window: it hosts the
// statistics tree frame and the log list frame side by side, is the
// document's frame, and turns the current host's notifications (through the
// queued adapter) into HINT_NEW_EVENTS, as the main window does.
#include <memory>

#include <QSplitter>
#include <QWidget>

#include "LogListFrame.h"
#include "OvPingDoc.h"
#include "PingNotifyAdapter.h"
#include "StatTreeFrame.h"

namespace ov::test {

class ViewHost final : public IPingFrame {
public:
    // Builds both frames on doc (the log list's first when logFirst, so that
    // it gets each hint before the tree) and becomes its frame.
    explicit ViewHost(COvPingDoc& doc, bool logFirst = false);
    // Stops the current host's notifications and leaves the document.
    ~ViewHost() override;
    ViewHost(const ViewHost&) = delete;
    ViewHost& operator=(const ViewHost&) = delete;

    void UpdateRunControls(bool) override {}
    void SetMainTitle(std::u16string_view) override {}
    IPingNotifyTarget* NotifyTarget() override { return &m_adapter; }
    void ToggleStartStop() override {}
    void SetHostEntryText(std::u16string_view) override {}
    void ShowStartStop() override {}

    QWidget& Window() noexcept { return m_window; }
    CLogListFrame& LogFrame() const noexcept { return *m_log; }
    CStatTreeFrame& TreeFrame() const noexcept { return *m_tree; }
    CPingNotifyAdapter& Adapter() noexcept { return m_adapter; }
    // WM_PING_NOTIFY messages handled so far.
    int Notifications() const noexcept { return m_notifications; }

private:
    COvPingDoc& m_doc;
    CPingNotifyAdapter m_adapter;
    QWidget m_window;
    CStatTreeFrame* m_tree = nullptr;
    CLogListFrame* m_log = nullptr;
    int m_notifications = 0;
};

}  // namespace ov::test
