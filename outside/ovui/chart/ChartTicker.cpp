#include "ChartTicker.h"

#include "OvChartCtrl.h"

#include <cmath>

double CChartTicker::getTickStep(const QCPRange& range)
{
    const double step = QCPAxisTicker::getTickStep(range);
    return m_axis == OVCHART_AXIS_X ? std::max(1.0, std::round(step)) : step;
}

int CChartTicker::getSubTickCount(double tickStep)
{
    return m_axis == OVCHART_AXIS_X && tickStep < 2.0 ? 0 : QCPAxisTicker::getSubTickCount(tickStep);
}

QString CChartTicker::getTickLabel(double tick, const QLocale& locale, QChar formatChar, int precision)
{
    QString text;
    if (m_axis == OVCHART_AXIS_X) {
        const double index = std::round(tick);
        if (index < double(m_first) || index >= double(m_end))
            return text;
        text = QString::number(std::int64_t(index));
    } else {
        text = QCPAxisTicker::getTickLabel(tick, locale, formatChar, precision);
    }
    if (m_handler)
        m_handler(m_axis, text);
    return text;
}
