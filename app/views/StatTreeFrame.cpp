#include "StatTreeFrame.h"

#include "StatTreeView.h"
#include "ViewIds.h"
#include "ViewText.h"

std::unique_ptr<CStatTreeFrame> CStatTreeFrame::New(COvPingDoc& doc) {
    return Build(std::unique_ptr<CStatTreeFrame>(new CStatTreeFrame()), doc, OvText(34001, u"Tree"), kStatTreeBar);
}
