#pragma once
// Axis ticks of the chart control whose labels pass through the control's
// label event. On the x axis ticks stand on whole point indexes, the proposed
// label is the index, and ticks without a kept point get no label.
#include <qcustomplot.h>

#include <cstdint>
#include <functional>

class CChartTicker : public QCPAxisTicker
{
public:
    using Handler = std::function<void(int axis, QString& text)>;

    CChartTicker(int axis, const Handler& handler) : m_axis(axis), m_handler(handler) {}

    // Points that exist, [first, end); used on the x axis only.
    void SetPoints(std::int64_t first, std::int64_t end) noexcept
    {
        m_first = first;
        m_end = end;
    }

protected:
    double getTickStep(const QCPRange& range) override;
    int getSubTickCount(double tickStep) override;
    QString getTickLabel(double tick, const QLocale& locale, QChar formatChar, int precision) override;

private:
    int m_axis;
    const Handler& m_handler;  // the control's; called only while it draws
    std::int64_t m_first = 0;
    std::int64_t m_end = 0;
};
