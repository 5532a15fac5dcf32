#pragma once
// Axis ticks of the chart control whose labels pass through the control's
// label event. On the x axis ticks stand on whole point indexes, the proposed
// label is the index, and ticks without a kept point get no label. Labels
// that would overlap the label before them, or reach past the plot's edge,
// are left empty; their ticks and grid lines stay.
#include <qcustomplot.h>

#include <QFont>

#include <cstdint>
#include <functional>

class CChartTicker : public QCPAxisTicker {
public:
    using Handler = std::function<void(int axis, QString& text)>;

    explicit CChartTicker(int axis) : m_axis(axis) {}

    // The label event; the ticker keeps its own copy, as the axis may keep
    // the ticker longer than the control lives.
    void SetHandler(Handler handler) { m_handler = std::move(handler); }

    // Points that exist, [first, end); used on the x axis only.
    void SetPoints(std::int64_t first, std::int64_t end) noexcept {
        m_first = first;
        m_end = end;
    }

    // Room of the labels: the axis is length pixels long, with before pixels
    // of the plot before its start and after pixels after its end; labels are
    // drawn in font. A length below 1 leaves every label in place.
    void SetLabelRoom(int length, int before, int after, const QFont& font) {
        m_length = length;
        m_before = before;
        m_after = after;
        m_font = font;
    }

    void generate(const QCPRange& range, const QLocale& locale, QChar formatChar, int precision, QVector<double>& ticks,
                  QVector<double>* subTicks, QVector<QString>* tickLabels) override;

protected:
    double getTickStep(const QCPRange& range) override;
    int getSubTickCount(double tickStep) override;
    QString getTickLabel(double tick, const QLocale& locale, QChar formatChar, int precision) override;

private:
    void ThinLabels(const QCPRange& range, const QVector<double>& ticks, QVector<QString>& labels) const;

    int m_axis;
    Handler m_handler;
    std::int64_t m_first = 0;
    std::int64_t m_end = 0;
    int m_length = 0;
    int m_before = 0;
    int m_after = 0;
    QFont m_font;
};
