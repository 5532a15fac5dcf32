#include "ChartColumns.h"

#include <algorithm>
#include <cmath>

CChartColumns::CChartColumns(QCPAxis* keyAxis, QCPAxis* valueAxis) : QCPAbstractPlottable(keyAxis, valueAxis) {
    setAntialiased(false);
}

void CChartColumns::Clear(double keyBase) {
    m_series.clear();
    m_keyBase = keyBase;
}

void CChartColumns::SetLook(bool fromBase, int depthPixels) {
    m_fromBase = fromBase;
    m_depth = depthPixels;
}

void CChartColumns::AddSeries(const CHART_REDUCED& reduced, QRgb color, QRgb depthColor) {
    SERIES s{{}, {}, color, depthColor};
    s.columns.reserve(reduced.upper.size());
    s.joined.reserve(reduced.upper.size());
    bool joined = false;
    for (std::size_t i = 0; i < reduced.upper.size(); ++i) {
        const double hi = reduced.upper[i].value;
        if (std::isnan(hi)) {
            joined = false;
            continue;
        }
        s.columns.push_back({float(reduced.upper[i].key - m_keyBase), float(reduced.lower[i].value), float(hi)});
        s.joined.push_back(joined);
        joined = true;
    }
    m_series.push_back(std::move(s));
}

double CChartColumns::selectTest(const QPointF&, bool, QVariant*) const {
    return -1.0;
}

QCPRange CChartColumns::getKeyRange(bool& foundRange, QCP::SignDomain) const {
    foundRange = false;
    return QCPRange();
}

QCPRange CChartColumns::getValueRange(bool& foundRange, QCP::SignDomain, const QCPRange&) const {
    foundRange = false;
    return QCPRange();
}

void CChartColumns::drawLegendIcon(QCPPainter*, const QRectF&) const {}

void CChartColumns::FillSpan(QImage& image, int column, int y0, int y1, QRgb color) {
    RUNS& runs = m_painted[std::size_t(column)];
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(image.height() - 1 - column));
    // Paint what no series in front has painted.
    std::size_t i = 0;
    while (i < runs.size() && runs[i].second < y0) {
        ++i;
    }
    const std::size_t first = i;
    int y = y0;
    for (; i < runs.size() && runs[i].first <= y1; ++i) {
        if (runs[i].first > y) {
            std::fill(line + y, line + runs[i].first, color);
        }
        y = std::max(y, runs[i].second);
    }
    if (y < y1) {
        std::fill(line + y, line + y1, color);
    }
    // Runs [first, i) touch the span: merge them with it.
    if (first == i) {
        runs.insert(runs.begin() + std::ptrdiff_t(first), {y0, y1});
    } else {
        runs[first] = {std::min(y0, runs[first].first), std::max(y1, runs[i - 1].second)};
        runs.erase(runs.begin() + std::ptrdiff_t(first) + 1, runs.begin() + std::ptrdiff_t(i));
    }
}

void CChartColumns::DrawSeries(QImage& image, const STRIP& strip, const SERIES& series, CURSOR& at, QRgb color,
                               int shift) {
    const int rows = image.width();
    const double x0 = m_x0 + shift;
    const double y0 = m_y0 - shift;
    for (; at.i < series.columns.size(); ++at.i) {
        const COLUMN& c = series.columns[at.i];
        const int x = int(std::lround(x0 + m_xs * c.key));
        const double hi = y0 + m_ys * c.hi;
        const double lo = m_fromBase ? y0 : y0 + m_ys * c.lo;
        double top = hi, bottom = lo;
        // Meet the previous column like a line from it would.
        const bool join = series.joined[at.i] && at.prevX >= 0;
        if (join && !m_fromBase) {
            top = std::min(top, at.prevBottom);
            bottom = std::max(bottom, at.prevTop);
        }
        const int from = join ? std::max(at.prevX + 1, x - 64) : x;
        const int a = std::clamp(int(std::lround(top)), 0, rows);
        const int b = std::clamp(int(std::lround(bottom)) + 1, 0, rows);
        if (a < b) {
            for (int px = std::max(from, strip.left); px <= std::min(x, strip.right - 1); ++px) {
                FillSpan(image, px - strip.left, a, b, color);
            }
        }
        // A column beyond the strip is taken up again by the next one.
        if (x >= strip.right) {
            break;
        }
        at.prevX = x;
        at.prevTop = hi;
        at.prevBottom = lo;
    }
}

void CChartColumns::draw(QCPPainter* painter) {
    if (m_series.empty()) {
        return;
    }
    const QRect area = clipRect();
    if (area.width() < 1 || area.height() < 1) {
        return;
    }
    // Both axes are linear: pixel = offset + scale * coordinate, here
    // relative to the plot area.
    m_x0 = keyAxis()->coordToPixel(m_keyBase) - area.left();
    m_xs = keyAxis()->coordToPixel(m_keyBase + 1.0) - area.left() - m_x0;
    m_y0 = valueAxis()->coordToPixel(0.0) - area.top();
    m_ys = valueAxis()->coordToPixel(1.0) - area.top() - m_y0;

    // The area is painted in strips of columns. Rows of the strip's image
    // are its columns from right to left; turned by 90 degrees clockwise it
    // stands upright. A strip's image stays in the cache while it is filled.
    constexpr int kStrip = 256;
    QImage image(area.height(), kStrip, QImage::Format_ARGB32_Premultiplied);
    m_painted.resize(kStrip);
    std::vector<CURSOR> front(m_series.size()), depth(m_series.size());
    for (STRIP strip{0, 0}; strip.left < area.width(); strip.left = strip.right) {
        strip.right = std::min(area.width(), strip.left + kStrip);
        image.fill(Qt::transparent);
        for (RUNS& runs : m_painted) {
            runs.clear();
        }
        // Front to back: later series stand before earlier ones, 3D copies
        // behind all.
        for (std::size_t k = m_series.size(); k-- > 0;) {
            DrawSeries(image, strip, m_series[k], front[k], m_series[k].color, 0);
        }
        if (m_depth > 0) {
            for (std::size_t k = m_series.size(); k-- > 0;) {
                DrawSeries(image, strip, m_series[k], depth[k], m_series[k].depthColor, m_depth);
            }
        }
        const QImage upright = image.transformed(QTransform().rotate(90));
        painter->drawImage(QPoint(area.left() + strip.left, area.top()), upright,
                           QRect(0, 0, strip.right - strip.left, area.height()));
    }
}
