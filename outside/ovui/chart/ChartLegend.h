#pragma once
// Pages of the chart's legend. The legend takes as many entries as fit in its
// room (the plot area's height, at most half its width), in columns of equal
// height; when not every series fits, the last place of the page tells which
// entries are shown out of how many ("41–80 / 300"), and the page can be
// turned a column at a time.
#include <qcustomplot.h>

#include <QFont>
#include <QHash>
#include <QString>

#include <vector>

class CChartLegendPages {
public:
    // Refills legend with the entries of series (one plottable per series)
    // that fit in room, from the current first entry on; returns the number
    // of series entries placed (0: nothing fits).
    int Lay(QCPLegend& legend, const std::vector<QCPAbstractPlottable*>& series, const QRect& room);
    // Moves the page by columns (negative: back) for the next Lay; false when
    // the page would not move.
    bool Turn(int columns) noexcept;
    // Back to the first page.
    void Reset() noexcept { m_first = 0; }

    // Index of the first series shown and the number of series shown.
    int First() const noexcept { return m_first; }
    int Shown() const noexcept { return m_shown; }
    // True when the page does not show every series.
    bool Paged() const noexcept { return m_shown > 0 && m_shown < m_count; }

private:
    bool Fill(QCPLegend& legend, const std::vector<QCPAbstractPlottable*>& series, int rows, int columns);
    // Width of a series name in the legend's font; names are measured once
    // (a thousand of them are looked at whenever the legend is laid).
    int NameWidth(const QFontMetrics& metrics, const QString& name);

    int m_first = 0;
    int m_shown = 0;
    int m_count = 0;
    int m_rows = 0;
    QFont m_font;  // of the widths known
    QHash<QString, int> m_widths;
};
