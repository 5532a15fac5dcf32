#pragma once
// The log list's frame: the "Log List" toolbar (copy, select all, auto
// scroll, classic and table view, and the current host's name in a bold
// caption at its end) over one CLogListView.
#include <memory>

#include "DocViewFrame.h"

class CLogListView;
class COvStatic;

class CLogListFrame final : public CDocViewFrame<CLogListView> {
    Q_OBJECT

public:
    // A frame with its view on doc, initialised and focused; null when the
    // frame cannot be built. It has no parent: a splitter or layout takes it.
    static std::unique_ptr<CLogListFrame> New(COvPingDoc& doc);

    CLogListView* GetListView() const noexcept { return m_docView; }
    COvStatic* GetCaptionControl() const noexcept { return m_caption; }

protected:
    QWidget* OnCreateControl(unsigned id, QToolBar* bar) override;

private:
    CLogListFrame() = default;
    bool Attach(CLogListView& view) override;

    COvStatic* m_caption = nullptr;
};
