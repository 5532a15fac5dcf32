#include "StatTreeFrame.h"

#include "StatTreeView.h"
#include "ViewIds.h"
#include "ViewText.h"

std::unique_ptr<CStatTreeFrame> CStatTreeFrame::New(COvPingDoc& doc) {
    std::unique_ptr<CStatTreeFrame> frame(new CStatTreeFrame());
    auto* view = new CStatTreeView(doc, frame.get());
    if (!frame->Create(view, OvText(34001, u"Tree"), kStatTreeBar)) {
        return nullptr;
    }
    frame->m_view = view;
    return frame;
}
