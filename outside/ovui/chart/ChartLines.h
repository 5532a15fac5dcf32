#pragma once
// Plottable that draws every series of the line gallery straight from the
// buffer, for windows of no more points than the plot has pixel columns.
//
// Each series is a one-pixel line through its shown points (a point between
// two gaps is a dot); with depth, a darker copy of it shifted that many pixels
// right and up stands behind every series, and a shaded band joins each line
// to its copy. Copies are painted first, then each series' band and line in
// series order, so later series stand in front. Lines are rasterized column by
// column into an image of the plot area, without the polygon rasterizer.
//
// The image is kept between draws. A point's column is its index times the
// pixels per point, rounded, counted from the window's first point, so that a
// window moved on by whole points moves every column by whole pixels: the
// kept image is shifted and only the columns from the newest point drawn
// before are painted again. Anything else (another mapping of either axis,
// another size, depth or series, points written anew) paints everything.
#include <qcustomplot.h>

#include <cstdint>
#include <vector>

class CChartBuffer;

class CChartLines : public QCPAbstractPlottable {
public:
    CChartLines(QCPAxis* keyAxis, QCPAxis* valueAxis, const CChartBuffer& buffer);

    // Draws nothing while off.
    void SetOn(bool on);
    bool IsOn() const noexcept { return m_on; }
    // Colours of the series, in order, and the depth in pixels (0: flat).
    void SetLook(std::vector<QRgb> colors, int depthPixels);
    // The buffer's points were written anew (not only appended): paint all.
    void Invalidate() noexcept { m_valid = false; }

    // Draws that painted everything, and those that shifted the kept image.
    int FullDraws() const noexcept { return m_fullDraws; }
    int ShiftedDraws() const noexcept { return m_shiftedDraws; }

    double selectTest(const QPointF& pos, bool onlySelectable, QVariant* details) const override;
    QCPRange getKeyRange(bool& foundRange, QCP::SignDomain inSignDomain) const override;
    QCPRange getValueRange(bool& foundRange, QCP::SignDomain inSignDomain, const QCPRange& inKeyRange) const override;

protected:
    void draw(QCPPainter* painter) override;
    void drawLegendIcon(QCPPainter* painter, const QRectF& rect) const override;

private:
    // Where points land: column of point i = round(xs * (i - phase)) minus
    // round(xs * base), base the whole part of the window's first key, row of value v =
    // y0 + ys * v, both relative to the plot area.
    struct MAPPING {
        QSize size;
        double xs = 0;     // pixels per point
        double phase = 0;  // the window's first key minus its whole part
        double y0 = 0;
        double ys = 0;
        bool operator==(const MAPPING&) const = default;
    };
    struct SERIES_LOOK {
        QRgb front;
        QRgb band;
        QRgb copy;
    };

    std::int64_t Anchor(std::int64_t point) const noexcept;
    // Paints the points [from, to) of every series into the image columns
    // [left, right), which must be clear.
    void Paint(std::int64_t from, std::int64_t to, int left, int right);
    // One series' points, in the columns m_columns; see Paint.
    void PaintLine(const float* values, std::int64_t count, int shift, QRgb color, int left, int right);
    void PaintBand(const float* values, std::int64_t count, QRgb color, int left, int right);
    void FillColumn(int x, double top, double bottom, QRgb color);
    int ColumnOf(std::int64_t point) const noexcept;

    const CChartBuffer& m_buffer;
    bool m_on = false;
    std::vector<SERIES_LOOK> m_looks;
    int m_depth = 0;

    QImage m_image;
    QRgb* m_pixels = nullptr;  // of m_image, while it is painted
    qsizetype m_stride = 0;    // pixels from one of its rows to the next
    int m_rows = 0;
    MAPPING m_mapping;
    bool m_valid = false;
    std::int64_t m_base = 0;        // whole part of the window's first key
    std::int64_t m_drawnEnd = 0;    // the buffer's end when the image was painted
    std::int64_t m_drawnFirst = 0;  // and its first kept point
    std::int64_t m_origin = 0;      // pixels from key 0 to the window's first key, rounded
    std::vector<float> m_values;    // the points painted, series by series; reused
    std::vector<int> m_columns;     // their columns; reused
    int m_fullDraws = 0;
    int m_shiftedDraws = 0;
};
