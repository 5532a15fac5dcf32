#include "ChartLegend.h"

#include <QFontMetrics>

#include <algorithm>

namespace {

// Last place of a page that does not show every series: the range shown.
class CLegendCount : public QCPAbstractLegendItem {
public:
    CLegendCount(QCPLegend* legend, const QString& text) : QCPAbstractLegendItem(legend), m_text(text) {}

protected:
    void draw(QCPPainter* painter) override {
        painter->setFont(font());
        painter->setPen(QPen(textColor()));
        painter->drawText(mRect, Qt::AlignLeft | Qt::AlignVCenter, m_text);
    }

    QSize minimumOuterSizeHint() const override {
        const QFontMetrics metrics(font());
        const QSize text = metrics.size(0, m_text);
        return {text.width() + mMargins.left() + mMargins.right(),
                std::max(text.height(), mParentLegend->iconSize().height()) + mMargins.top() + mMargins.bottom()};
    }

private:
    QString m_text;
};

}  // namespace

int CChartLegendPages::Lay(QCPLegend& legend, const std::vector<QCPAbstractPlottable*>& series, const QRect& room) {
    legend.clear();
    m_count = int(series.size());
    m_shown = 0;
    if (m_count == 0 || room.width() < 1 || room.height() < 1) {
        return 0;
    }

    // A first guess from the widest name, then fewer rows or columns until
    // the legend's own measure fits the room.
    const QFontMetrics metrics(legend.font());
    if (legend.font() != m_font) {
        m_font = legend.font();
        m_widths.clear();
    }
    int text = 0;
    for (const QCPAbstractPlottable* p : series) {
        text = std::max(text, NameWidth(metrics, p->name()));
    }
    const QSize icon = legend.iconSize();
    const int entryHeight = std::max(metrics.height(), icon.height()) + legend.rowSpacing();
    const int entryWidth = icon.width() + legend.iconTextPadding() + text + legend.columnSpacing();
    const QMargins margins = legend.margins();
    const int height = room.height() - margins.top() - margins.bottom() + legend.rowSpacing();
    const int width = room.width() / 2 - margins.left() - margins.right() + legend.columnSpacing();
    int rows = std::max(0, height / std::max(1, entryHeight));
    int columns = std::max(1, width / std::max(1, entryWidth));
    while (rows > 0) {
        if (Fill(legend, series, rows, columns)) {
            const QSize size = legend.minimumOuterSizeHint();
            if (size.height() <= room.height() && (size.width() <= room.width() || columns == 1)) {
                return m_shown;
            }
            if (size.height() > room.height()) {
                --rows;
            } else {
                --columns;
            }
        } else {
            --rows;
        }
        legend.clear();
        m_shown = 0;
    }
    return 0;
}

int CChartLegendPages::NameWidth(const QFontMetrics& metrics, const QString& name) {
    const auto known = m_widths.constFind(name);
    if (known != m_widths.constEnd()) {
        return *known;
    }
    // Names of runs past are dropped now and then, not kept for ever.
    if (m_widths.size() >= 4 * 4096) {
        m_widths.clear();
    }
    const int width = metrics.horizontalAdvance(name);
    m_widths.insert(name, width);
    return width;
}

// Places the entries of one page in rows x columns; false when the page has
// no room for a single entry beside its count.
bool CChartLegendPages::Fill(QCPLegend& legend, const std::vector<QCPAbstractPlottable*>& series, int rows,
                             int columns) {
    const int places = rows * columns;
    const bool paged = m_count > places;
    const int shown = paged ? places - 1 : m_count;
    if (shown < 1) {
        return false;
    }
    m_first = paged ? std::clamp(m_first, 0, m_count - shown) : 0;
    m_rows = rows;
    // Every series fits: as few columns as needed, filled evenly.
    const int used = paged ? columns : (m_count + rows - 1) / rows;
    legend.setFillOrder(QCPLayoutGrid::foRowsFirst, false);
    legend.setWrap(paged ? rows : (m_count + used - 1) / used);
    for (int s = m_first; s < m_first + shown; ++s) {
        legend.addItem(new QCPPlottableLegendItem(&legend, series[std::size_t(s)]));
    }
    if (paged) {
        const QString count = QStringLiteral("%1\u2013%2 / %3").arg(m_first + 1).arg(m_first + shown).arg(m_count);
        legend.addItem(new CLegendCount(&legend, count));
    }
    m_shown = shown;
    return true;
}

bool CChartLegendPages::Turn(int columns) noexcept {
    if (!Paged() || m_rows < 1) {
        return false;
    }
    const int first = std::clamp(m_first + columns * m_rows, 0, m_count - m_shown);
    if (first == m_first) {
        return false;
    }
    m_first = first;
    return true;
}
