#pragma once
// The top row of the main window: the chart's frame.
class COvPingDoc;
class QWidget;

// The chart frame on doc, parented to parent; an empty widget when the chart
// cannot be made.
QWidget* CreateChartRow(QWidget* parent, COvPingDoc& doc);
