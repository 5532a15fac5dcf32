#include "ChartRow.h"

#include <QWidget>

QWidget* CreateChartRow(QWidget* parent, COvPingDoc& /*doc*/) {
    // The chart frame goes here once it is part of the build.
    return new QWidget(parent);
}
