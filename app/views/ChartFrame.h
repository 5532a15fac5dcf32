#pragma once
// The chart's frame: the "Chart" toolbar (save; 3D, legend box, grid lines;
// line, area and bar gallery) over one CChartView. A mouse button pressed on
// the chart makes it the active view (viewActivated), as the keyboard focus
// does for the other views.
#include <memory>

#include "DocViewFrame.h"

class CChartView;

class CChartFrame final : public CDocViewFrame<CChartView> {
    Q_OBJECT

public:
    // A frame with its view on doc, with the empty chart drawn; null when the
    // frame cannot be built. It has no parent: a splitter or layout takes it.
    static std::unique_ptr<CChartFrame> New(COvPingDoc& doc);

    CChartView* GetChartView() const noexcept { return m_docView; }

private:
    CChartFrame() = default;
    bool Attach(CChartView& view) override;
};
