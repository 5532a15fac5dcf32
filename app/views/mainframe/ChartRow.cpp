#include "ChartRow.h"

#include <QWidget>

#include "ChartFrame.h"

QWidget* CreateChartRow(QWidget* parent, COvPingDoc& doc) {
    if (auto chart = CChartFrame::New(doc)) {
        chart->setParent(parent);
        return chart.release();
    }
    // A chart that cannot be made leaves an empty row; the other views go on.
    return new QWidget(parent);
}
