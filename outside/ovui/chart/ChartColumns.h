#pragma once
// Plottable that draws series reduced to pixel columns. Where a window holds
// more points than pixels, every series is a run of vertical spans, one per
// column, from the column's minimum to its maximum (lines) or from the base
// to its maximum (areas, bars), each span stretched to meet its neighbour's.
// The spans are filled straight into an image whose rows are the plot's
// columns, so that each span is one contiguous fill, and the image is turned
// upright; this goes in strips of columns small enough to stay in the cache.
// Series are painted front to back and a pixel once painted is not painted
// again, so the cost follows the plot's area, not the point count or the
// number of series; the polygon rasterizer, very slow on shapes this jagged,
// is not used.
#include <qcustomplot.h>

#include <utility>
#include <vector>

#include "ChartBuffer.h"

class CChartColumns : public QCPAbstractPlottable {
public:
    CChartColumns(QCPAxis* keyAxis, QCPAxis* valueAxis);

    // Replaces everything drawn: per series its reduced points and colours.
    // fromBase: spans start at the value 0 (areas, bars) instead of the minimum.
    // keyBase: a key near the window, kept keys are offsets from it.
    void Clear(double keyBase);
    void AddSeries(const CHART_REDUCED& reduced, QRgb color, QRgb depthColor);
    void SetLook(bool fromBase, int depthPixels);

    double selectTest(const QPointF& pos, bool onlySelectable, QVariant* details) const override;
    QCPRange getKeyRange(bool& foundRange, QCP::SignDomain inSignDomain) const override;
    QCPRange getValueRange(bool& foundRange, QCP::SignDomain inSignDomain, const QCPRange& inKeyRange) const override;

protected:
    void draw(QCPPainter* painter) override;
    void drawLegendIcon(QCPPainter* painter, const QRectF& rect) const override;

private:
    // One column of a series, its key as an offset from the key base.
    struct COLUMN {
        float key;
        float lo;
        float hi;
    };
    struct SERIES {
        std::vector<COLUMN> columns;
        std::vector<bool> joined;  // no gap since the previous column
        QRgb color;
        QRgb depthColor;
    };

    // Rows of the image already painted in one plot column, as sorted,
    // disjoint [from, to) runs.
    using RUNS = std::vector<std::pair<int, int>>;

    // Plot columns [left, right) painted at once.
    struct STRIP {
        int left;
        int right;
    };
    // Where a series' painting stands: its next column and the one before.
    struct CURSOR {
        std::size_t i = 0;
        int prevX = -1;
        double prevTop = 0;
        double prevBottom = 0;
    };

    void DrawSeries(QImage& image, const STRIP& strip, const SERIES& series, CURSOR& at, QRgb color, int shift);
    void FillSpan(QImage& image, int column, int y0, int y1, QRgb color);

    std::vector<RUNS> m_painted;
    double m_x0 = 0, m_xs = 1, m_y0 = 0, m_ys = 1;  // pixel mapping of one draw

    std::vector<SERIES> m_series;
    double m_keyBase = 0.0;
    bool m_fromBase = false;
    int m_depth = 0;
};
