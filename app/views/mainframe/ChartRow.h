#pragma once
// The top row of the main window: the chart's frame.
class COvPingDoc;
class QWidget;

// The chart row's widget on doc, parented to parent. A COvViewFrame when the
// chart is built in; a plain empty widget otherwise.
QWidget* CreateChartRow(QWidget* parent, COvPingDoc& doc);
