#include "ChartFrame.h"

#include "ChartView.h"
#include "ViewIds.h"
#include "ViewText.h"

std::unique_ptr<CChartFrame> CChartFrame::New(COvPingDoc& doc) {
    std::unique_ptr<CChartFrame> frame(new CChartFrame());
    auto* view = new CChartView(doc, frame.get());
    if (!frame->Create(view, OvText(34100, u"Chart"), kChartBar)) {
        return nullptr;
    }
    frame->m_view = view;
    connect(view, &CChartView::activated, frame.get(), &COvViewFrame::ActivateView);
    view->InitialUpdate();
    return frame;
}
