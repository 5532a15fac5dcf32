#include "LogListFrame.h"

#include "LogListView.h"
#include "ViewIds.h"
#include "ViewText.h"
#include "ovui/OvStatic.h"

std::unique_ptr<CLogListFrame> CLogListFrame::New(COvPingDoc& doc) {
    return Build(std::unique_ptr<CLogListFrame>(new CLogListFrame()), doc, OvText(34000, u"Log List"), kLogListBar);
}

bool CLogListFrame::Attach(CLogListView& view) {
    if (m_caption == nullptr) {
        return false;
    }
    connect(&view, &CLogListView::captionChanged, m_caption, &COvStatic::SetCaption);
    view.InitialUpdate();
    return true;
}

QWidget* CLogListFrame::OnCreateControl(unsigned id, QToolBar* bar) {
    if (id != ID_LOG_CAPTION) {
        return nullptr;
    }
    m_caption = new COvStatic(bar);
    return m_caption;
}
