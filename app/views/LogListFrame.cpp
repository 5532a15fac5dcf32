#include "LogListFrame.h"

#include "LogListView.h"
#include "ViewIds.h"
#include "ViewText.h"
#include "ovui/OvStatic.h"

std::unique_ptr<CLogListFrame> CLogListFrame::New(COvPingDoc& doc) {
    std::unique_ptr<CLogListFrame> frame(new CLogListFrame());
    auto* view = new CLogListView(doc, frame.get());
    if (!frame->Create(view, OvText(34000, u"Log List"), kLogListBar) || frame->m_caption == nullptr) {
        return nullptr;
    }
    frame->m_view = view;
    connect(view, &CLogListView::captionChanged, frame->m_caption, &COvStatic::SetCaption);
    view->InitialUpdate();
    return frame;
}

QWidget* CLogListFrame::OnCreateControl(unsigned id, QToolBar* bar) {
    if (id != ID_LOG_CAPTION) {
        return nullptr;
    }
    m_caption = new COvStatic(bar);
    return m_caption;
}
