// Draws the chart control offscreen in its galleries, with 3D on and off,
// the legend and a series with gaps, and saves each picture as a PNG:
//   QT_QPA_PLATFORM=offscreen chart_render <folder>
#include "OvChartCtrl.h"

#include <QApplication>
#include <QDir>
#include <QImage>

#include <cmath>
#include <cstdio>

namespace {

// A run like the response-time chart makes it: hidden placeholders, then
// samples of three hosts, the second one losing some replies.
void FillRun(COvChartCtrl& chart, int samples) {
    chart.SetRealTimeBufferSize(OVCHART_DEFAULT_BUFFER);
    chart.SetRealTimeMode(OVCHART_RT_SCROLL);
    chart.OpenData(OVCHART_VALUES, 3, 299);
    const char* hosts[] = {"127.0.0.1", "lossy.example", "127.0.0.3"};
    for (int s = 0; s < 3; ++s) {
        chart.SetSeriesLegend(s, QString::fromLatin1(hosts[s]));
        for (int p = 0; p < 299; ++p) {
            chart.SetValue(s, p, OVCHART_HIDDEN);
        }
    }
    chart.CloseData(OVCHART_VALUES);
    for (int k = 0; k < samples; ++k) {
        chart.OpenData(OVCHART_VALUES | OVCHART_ADDPOINTS, 3, 1);
        chart.SetValue(0, 0, 20.0 + 8.0 * std::sin(k / 9.0));
        const bool lost = (k / 12) % 4 == 1;
        chart.SetValue(1, 0, lost ? OVCHART_HIDDEN : 45.0 + 15.0 * std::cos(k / 5.0));
        chart.SetValue(2, 0, 5.0 + (k % 17));
        chart.CloseData(0x31);
    }
}

bool Save(COvChartCtrl& chart, const QString& folder, const QString& name) {
    const QString bmp = folder + "/" + name + ".bmp";
    if (!chart.Export(OVCHART_FORMAT_BMP, bmp)) {
        return false;
    }
    const QImage image(bmp);
    QFile::remove(bmp);
    return !image.isNull() && image.save(folder + "/" + name + ".png");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);

    COvChartCtrl chart;
    chart.resize(900, 480);
    chart.SetAxisTitle(OVCHART_AXIS_Y, QStringLiteral("Response Time(ms)"));
    chart.SetAxisTitleFont(OVCHART_AXIS_Y, QFont(QStringLiteral("Sans"), 10));
    chart.SetLabelHandler([](int axis, QString& text) {
        if (axis == OVCHART_AXIS_X) {
            text = text.toLongLong() < 299 ? QString() : QStringLiteral("t+%1").arg(text.toLongLong() - 299);
        }
    });
    chart.show();
    FillRun(chart, 200);
    chart.SetLegendBox(true);

    struct LOOK {
        const char* name;
        int gallery;
        bool depth;
    };
    const LOOK looks[] = {{"line", OVCHART_LINE, false}, {"line-3d", OVCHART_LINE, true},
                          {"bar", OVCHART_BAR, false},   {"bar-3d", OVCHART_BAR, true},
                          {"area", OVCHART_AREA, false}, {"area-3d", OVCHART_AREA, true}};
    int failed = 0;
    for (const LOOK& look : looks) {
        chart.SetGallery(look.gallery);
        chart.SetGallerySeriesCount(look.gallery == OVCHART_BAR ? 3 : 1);
        chart.Set3D(look.depth);
        QApplication::processEvents();
        if (!Save(chart, folder, QString::fromLatin1(look.name))) {
            std::fprintf(stderr, "could not save %s\n", look.name);
            ++failed;
        }
    }
    // The whole run of a long buffer, zoomed out, without the legend.
    chart.SetGallery(OVCHART_LINE);
    chart.Set3D(false);
    chart.SetLegendBox(false);
    FillRun(chart, 20000);
    chart.SetRealTimeMode(OVCHART_RT_OFF);
    QApplication::processEvents();
    if (!Save(chart, folder, QStringLiteral("line-all"))) {
        ++failed;
    }
    chart.Set3D(true);
    QApplication::processEvents();
    if (!Save(chart, folder, QStringLiteral("line-all-3d"))) {
        ++failed;
    }
    return failed ? 1 : 0;
}
