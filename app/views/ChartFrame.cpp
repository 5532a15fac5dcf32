#include "ChartFrame.h"

#include "ChartView.h"
#include "ViewIds.h"
#include "ViewText.h"

std::unique_ptr<CChartFrame> CChartFrame::New(COvPingDoc& doc) {
    return Build(std::unique_ptr<CChartFrame>(new CChartFrame()), doc, OvText(34100, u"Chart"), kChartBar);
}

bool CChartFrame::Attach(CChartView& view) {
    connect(&view, &CChartView::activated, this, &COvViewFrame::ActivateView);
    view.InitialUpdate();
    return true;
}
