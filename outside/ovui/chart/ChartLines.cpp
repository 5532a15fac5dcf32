#include "ChartLines.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ChartBuffer.h"

CChartLines::CChartLines(QCPAxis* keyAxis, QCPAxis* valueAxis, const CChartBuffer& buffer)
    : QCPAbstractPlottable(keyAxis, valueAxis), m_buffer(buffer) {
    setAntialiased(false);
}

void CChartLines::SetOn(bool on) {
    m_on = on;
    if (!on) {
        m_valid = false;
        m_image = QImage();  // a thousand series' picture is not kept unused
    }
}

void CChartLines::SetLook(std::vector<QRgb> colors, int depthPixels) {
    m_looks.clear();
    m_looks.reserve(colors.size());
    for (const QRgb color : colors) {
        const QColor c = QColor::fromRgb(color);
        m_looks.push_back({c.rgb(), c.darker(130).rgb(), c.darker(160).rgb()});
    }
    m_depth = std::max(0, depthPixels);
    m_valid = false;
}

double CChartLines::selectTest(const QPointF&, bool, QVariant*) const {
    return -1.0;
}

QCPRange CChartLines::getKeyRange(bool& foundRange, QCP::SignDomain) const {
    foundRange = false;
    return QCPRange();
}

QCPRange CChartLines::getValueRange(bool& foundRange, QCP::SignDomain, const QCPRange&) const {
    foundRange = false;
    return QCPRange();
}

void CChartLines::drawLegendIcon(QCPPainter*, const QRectF&) const {}

std::int64_t CChartLines::Anchor(std::int64_t point) const noexcept {
    return std::llround(m_mapping.xs * (double(point) - m_mapping.phase));
}

int CChartLines::ColumnOf(std::int64_t point) const noexcept {
    const std::int64_t column = Anchor(point) - m_origin;
    // Far outside the image either way; keeps the sums below in range.
    return int(std::clamp<std::int64_t>(column, -(1 << 20), 1 << 20));
}

namespace {

// Rounds half away from zero, as lround does, without a library call: it
// runs for every column of every series painted.
int RoundToInt(double v) noexcept {
    return int(v >= 0.0 ? v + 0.5 : v - 0.5);
}

}  // namespace

void CChartLines::FillColumn(int x, double top, double bottom, QRgb color) {
    const int from = std::max(0, RoundToInt(std::max(top, -1.0)));
    const int to = std::min(m_rows - 1, RoundToInt(std::min(bottom, double(m_rows))));
    QRgb* pixel = m_pixels + qsizetype(from) * m_stride + x;
    for (int y = from; y <= to; ++y, pixel += m_stride) {
        *pixel = color;
    }
}

// One line through the shown points, moved shift pixels right and up. Each
// column of a segment gets the rows the segment crosses within half a pixel
// of the column's centre, so that steep segments stay joined.
void CChartLines::PaintLine(const float* values, std::int64_t count, int shift, QRgb color, int left, int right) {
    const int* columns = m_columns.data();
    const double y0 = m_mapping.y0 - shift;
    const double ys = m_mapping.ys;
    bool before = false;  // the previous point is shown
    for (std::int64_t i = 0; i < count; ++i) {
        const float v = values[i];
        if (std::isnan(v)) {
            before = false;
            continue;
        }
        const int x = columns[i] + shift;
        const double y = y0 + ys * double(v);
        const bool after = i + 1 < count && !std::isnan(values[i + 1]);
        if (!after) {
            if (!before && x >= left && x < right) {
                FillColumn(x, y, y, color);  // a point between gaps
            }
            before = true;
            continue;
        }
        before = true;
        const int x2 = columns[i + 1] + shift;
        const double y2 = y0 + ys * double(values[i + 1]);
        if (x2 < left || x >= right) {
            continue;
        }
        if (x2 <= x) {
            FillColumn(x, std::min(y, y2), std::max(y, y2), color);
            continue;
        }
        const double slope = (y2 - y) / double(x2 - x);
        for (int c = std::max(x, left); c <= std::min(x2, right - 1); ++c) {
            const double a = y + slope * (std::clamp(c - 0.5, double(x), double(x2)) - x);
            const double b = y + slope * (std::clamp(c + 0.5, double(x), double(x2)) - x);
            FillColumn(c, std::min(a, b), std::max(a, b), color);
        }
    }
}

// The band that a line sweeps on its way to its copy, m_depth pixels right
// and up: in a column c of a segment's reach, the rows y(c - t) - t for the
// shifts t that keep c - t on the segment.
void CChartLines::PaintBand(const float* values, std::int64_t count, QRgb color, int left, int right) {
    const int* columns = m_columns.data();
    const double d = m_depth;
    bool before = false;
    for (std::int64_t i = 0; i < count; ++i) {
        const float v = values[i];
        if (std::isnan(v)) {
            before = false;
            continue;
        }
        const int x = columns[i];
        const double y = m_mapping.y0 + m_mapping.ys * double(v);
        const bool after = i + 1 < count && !std::isnan(values[i + 1]);
        int x2 = x;
        double y2 = y;
        if (after) {
            x2 = columns[i + 1];
            y2 = m_mapping.y0 + m_mapping.ys * double(values[i + 1]);
        } else if (before) {
            before = true;
            continue;  // the segment from the point before swept it
        }
        before = true;
        if (x2 + m_depth < left || x >= right) {
            continue;
        }
        const double slope = x2 > x ? (y2 - y) / double(x2 - x) : 0.0;
        for (int c = std::max(x, left); c <= std::min(x2 + m_depth, right - 1); ++c) {
            const double low = std::max(0.0, double(c - x2));
            const double high = std::min(d, double(c - x));
            if (low > high) {
                continue;
            }
            const double at = y + slope * double(c - x);
            const double a = at - low * (slope + 1.0);
            const double b = at - high * (slope + 1.0);
            FillColumn(c, std::min(a, b), std::max(a, b), color);
        }
    }
}

void CChartLines::Paint(std::int64_t from, std::int64_t to, int left, int right) {
    from = std::max(from, m_buffer.First());
    to = std::min(to, m_buffer.End());
    const int series = std::min(int(m_looks.size()), m_buffer.SeriesCount());
    if (from >= to || left >= right || series == 0) {
        return;
    }
    const std::int64_t count = to - from;
    m_pixels = reinterpret_cast<QRgb*>(m_image.bits());
    m_stride = m_image.bytesPerLine() / qsizetype(sizeof(QRgb));
    m_rows = m_image.height();
    m_values.resize(std::size_t(series) * std::size_t(count));
    // Every series' point i stands in the same column.
    m_columns.resize(std::size_t(count));
    for (std::int64_t i = 0; i < count; ++i) {
        m_columns[std::size_t(i)] = ColumnOf(from + i);
    }
    for (int s = 0; s < series; ++s) {
        m_buffer.Copy(s, from, to, m_values.data() + std::size_t(s) * std::size_t(count));
    }
    // Copies behind everything, then band and line of each series in turn.
    if (m_depth > 0) {
        for (int s = 0; s < series; ++s) {
            PaintLine(m_values.data() + std::size_t(s) * std::size_t(count), count, m_depth,
                      m_looks[std::size_t(s)].copy, left, right);
        }
    }
    for (int s = 0; s < series; ++s) {
        const float* values = m_values.data() + std::size_t(s) * std::size_t(count);
        if (m_depth > 0) {
            PaintBand(values, count, m_looks[std::size_t(s)].band, left, right);
        }
        PaintLine(values, count, 0, m_looks[std::size_t(s)].front, left, right);
    }
}

void CChartLines::draw(QCPPainter* painter) {
    const QRect area = clipRect();
    if (!m_on || m_looks.empty() || area.width() < 1 || area.height() < 1) {
        return;
    }
    const QCPRange keys = keyAxis()->range();
    MAPPING mapping;
    mapping.size = area.size();
    mapping.xs = keyAxis()->coordToPixel(keys.lower + 1.0) - keyAxis()->coordToPixel(keys.lower);
    const double base = std::floor(keys.lower);
    mapping.phase = keys.lower - base;
    mapping.y0 = valueAxis()->coordToPixel(0.0) - area.top();
    mapping.ys = valueAxis()->coordToPixel(1.0) - area.top() - mapping.y0;
    if (!(mapping.xs > 0.0) || !std::isfinite(mapping.y0) || !std::isfinite(mapping.ys)) {
        return;
    }
    const auto first = std::int64_t(base);
    const int reach = int(std::ceil(double(m_depth + 1) / mapping.xs)) + 2;  // points left of a column that reach it

    const bool same = m_valid && mapping == m_mapping && m_image.size() == area.size() && first >= m_base &&
                      m_drawnEnd <= m_buffer.End() && m_drawnEnd >= m_buffer.First();
    const std::int64_t oldOrigin = m_origin;
    m_mapping = mapping;
    m_base = first;
    m_origin = std::llround(mapping.xs * double(first));
    const std::int64_t shift = m_origin - oldOrigin;
    // Points that left the buffer while their columns (or copies) could show.
    const bool dropped = m_buffer.First() != m_drawnFirst && ColumnOf(m_buffer.First()) + m_depth >= 0;
    const int left = same ? std::clamp(ColumnOf(m_drawnEnd - 1), 0, area.width()) : 0;
    if (same && !dropped && shift < area.width()) {
        const int width = area.width();
        const int moved = int(shift);
        for (int y = 0; y < m_image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(m_image.scanLine(y));
            if (moved > 0) {
                std::memmove(line, line + moved, std::size_t(width - moved) * sizeof(QRgb));
            }
            std::fill(line + std::min(left, width - moved), line + width, QRgb(0));
        }
        Paint(m_drawnEnd - 1 - reach, m_buffer.End(), std::min(left, width - moved), width);
        ++m_shiftedDraws;
    } else {
        if (m_image.size() != area.size()) {
            m_image = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
        }
        m_image.fill(Qt::transparent);
        const auto last = std::int64_t(std::ceil(keys.upper)) + 2;
        Paint(first - reach, last, 0, area.width());
        ++m_fullDraws;
    }
    m_valid = true;
    m_drawnEnd = m_buffer.End();
    m_drawnFirst = m_buffer.First();
    painter->drawImage(area.topLeft(), m_image);
}
