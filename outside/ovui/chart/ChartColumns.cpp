#include "ChartColumns.h"

#include <algorithm>
#include <cmath>

CChartColumns::CChartColumns(QCPAxis* keyAxis, QCPAxis* valueAxis) : QCPAbstractPlottable(keyAxis, valueAxis)
{
    setAntialiased(false);
}

void CChartColumns::Clear()
{
    m_series.clear();
}

void CChartColumns::SetLook(bool fromBase, int depthPixels)
{
    m_fromBase = fromBase;
    m_depth = depthPixels;
}

void CChartColumns::AddSeries(const CHART_REDUCED& reduced, QRgb color, QRgb depthColor)
{
    SERIES s{{}, color, depthColor};
    s.columns.reserve(reduced.upper.size());
    bool joined = false;
    for (std::size_t i = 0; i < reduced.upper.size(); ++i) {
        const double hi = reduced.upper[i].value;
        if (std::isnan(hi)) {
            joined = false;
            continue;
        }
        s.columns.push_back({reduced.upper[i].key, float(reduced.lower[i].value), float(hi), joined});
        joined = true;
    }
    m_series.push_back(std::move(s));
}

double CChartColumns::selectTest(const QPointF&, bool, QVariant*) const
{
    return -1.0;
}

QCPRange CChartColumns::getKeyRange(bool& foundRange, QCP::SignDomain) const
{
    foundRange = false;
    return QCPRange();
}

QCPRange CChartColumns::getValueRange(bool& foundRange, QCP::SignDomain, const QCPRange&) const
{
    foundRange = false;
    return QCPRange();
}

void CChartColumns::drawLegendIcon(QCPPainter*, const QRectF&) const {}

void CChartColumns::FillSpan(QImage& image, int column, int y0, int y1, QRgb color)
{
    RUNS& runs = m_painted[std::size_t(column)];
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(image.height() - 1 - column));
    // Paint what no series in front has painted.
    std::size_t i = 0;
    while (i < runs.size() && runs[i].second < y0)
        ++i;
    const std::size_t first = i;
    int y = y0;
    for (; i < runs.size() && runs[i].first <= y1; ++i) {
        if (runs[i].first > y)
            std::fill(line + y, line + runs[i].first, color);
        y = std::max(y, runs[i].second);
    }
    if (y < y1)
        std::fill(line + y, line + y1, color);
    // Runs [first, i) touch the span: merge them with it.
    if (first == i) {
        runs.insert(runs.begin() + std::ptrdiff_t(first), {y0, y1});
    } else {
        runs[first] = {std::min(y0, runs[first].first), std::max(y1, runs[i - 1].second)};
        runs.erase(runs.begin() + std::ptrdiff_t(first) + 1, runs.begin() + std::ptrdiff_t(i));
    }
}

void CChartColumns::DrawSeries(QImage& image, const SERIES& series, QRgb color, int shift)
{
    const int columns = image.height();
    const int rows = image.width();
    const QRect area = clipRect();
    // Both axes are linear: pixel = offset + scale * coordinate.
    const double x0 = keyAxis()->coordToPixel(0.0) - area.left() + shift;
    const double xs = keyAxis()->coordToPixel(1.0) - area.left() + shift - x0;
    const double y0 = valueAxis()->coordToPixel(0.0) - area.top() - shift;
    const double ys = valueAxis()->coordToPixel(1.0) - area.top() - shift - y0;
    int prevX = -1;
    double prevTop = 0, prevBottom = 0;
    for (const COLUMN& c : series.columns) {
        const int x = int(std::lround(x0 + xs * c.key));
        const double hi = y0 + ys * c.hi;
        const double lo = m_fromBase ? y0 : y0 + ys * c.lo;
        double top = hi, bottom = lo;
        // Meet the previous column like a line from it would.
        const bool join = c.joined && prevX >= 0;
        if (join && !m_fromBase) {
            top = std::min(top, prevBottom);
            bottom = std::max(bottom, prevTop);
        }
        const int from = join ? std::max(prevX + 1, x - 64) : x;
        prevX = x;
        prevTop = hi;
        prevBottom = lo;
        const int a = std::clamp(int(std::lround(top)), 0, rows);
        const int b = std::clamp(int(std::lround(bottom)) + 1, 0, rows);
        if (a >= b)
            continue;
        for (int px = std::max(from, 0); px <= std::min(x, columns - 1); ++px)
            FillSpan(image, px, a, b, color);
    }
}

void CChartColumns::draw(QCPPainter* painter)
{
    if (m_series.empty())
        return;
    const QRect area = clipRect();
    if (area.width() < 1 || area.height() < 1)
        return;
    // Rows of this image are the plot's columns from right to left; turned by
    // 90 degrees clockwise it stands upright.
    QImage image(area.height(), area.width(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    m_painted.resize(std::size_t(area.width()));
    for (RUNS& runs : m_painted)
        runs.clear();
    // Front to back: later series stand before earlier ones, 3D copies behind all.
    for (auto s = m_series.rbegin(); s != m_series.rend(); ++s)
        DrawSeries(image, *s, s->color, 0);
    if (m_depth > 0)
        for (auto s = m_series.rbegin(); s != m_series.rend(); ++s)
            DrawSeries(image, *s, s->depthColor, m_depth);
    painter->drawImage(area.topLeft(), image.transformed(QTransform().rotate(90)));
}
