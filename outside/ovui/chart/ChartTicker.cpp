#include "ChartTicker.h"

#include "OvChartCtrl.h"

#include <QFontMetrics>

#include <cmath>

namespace {

constexpr int kLabelGap = 8;  // least room between two labels, in pixels

}  // namespace

void CChartTicker::generate(const QCPRange& range, const QLocale& locale, QChar formatChar, int precision,
                            QVector<double>& ticks, QVector<double>* subTicks, QVector<QString>* tickLabels) {
    QCPAxisTicker::generate(range, locale, formatChar, precision, ticks, subTicks, tickLabels);
    if (tickLabels && tickLabels->size() == ticks.size()) {
        ThinLabels(range, ticks, *tickLabels);
    }
}

// Walks the labels from the start of the axis and empties every one that
// overlaps the last label kept or does not fit between the plot's edges.
void CChartTicker::ThinLabels(const QCPRange& range, const QVector<double>& ticks, QVector<QString>& labels) const {
    if (m_length < 1 || range.size() <= 0.0) {
        return;
    }
    const QFontMetrics metrics(m_font);
    const bool across = m_axis == OVCHART_AXIS_X;  // labels stand side by side
    const double scale = m_length / range.size();
    double lastEnd = -m_before;
    for (qsizetype i = 0; i < ticks.size(); ++i) {
        QString& label = labels[i];
        if (label.isEmpty()) {
            continue;
        }
        const QSize size = metrics.size(0, label);
        const double extent = across ? size.width() : size.height();
        const double at = (ticks[i] - range.lower) * scale;
        const double start = at - extent / 2.0;
        const double end = at + extent / 2.0;
        if (start < lastEnd || end > m_length + m_after) {
            label.clear();
        } else {
            lastEnd = end + kLabelGap;
        }
    }
}

double CChartTicker::getTickStep(const QCPRange& range) {
    const double step = QCPAxisTicker::getTickStep(range);
    return m_axis == OVCHART_AXIS_X ? std::max(1.0, std::round(step)) : step;
}

int CChartTicker::getSubTickCount(double tickStep) {
    return m_axis == OVCHART_AXIS_X && tickStep < 2.0 ? 0 : QCPAxisTicker::getSubTickCount(tickStep);
}

QString CChartTicker::getTickLabel(double tick, const QLocale& locale, QChar formatChar, int precision) {
    QString text;
    if (m_axis == OVCHART_AXIS_X) {
        const double index = std::round(tick);
        if (index < double(m_first) || index >= double(m_end)) {
            return text;
        }
        text = QString::number(std::int64_t(index));
    } else {
        text = QCPAxisTicker::getTickLabel(tick, locale, formatChar, precision);
    }
    if (m_handler) {
        m_handler(m_axis, text);
    }
    return text;
}
