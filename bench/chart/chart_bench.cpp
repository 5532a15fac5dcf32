// Chart control against the plain use of QCustomPlot, in one run:
//   - memory per point with 100 series of full 360 000-point buffers;
//   - one sample (a point for each of 100 series, then the redraw) at
//     1920 x 1080 on the offscreen raster, with full buffers, once with the
//     whole buffer in view and once with the newest 300 points;
//   - memory over 1 000 000 samples of 10 series;
//   - one sample of 1024 series with the legend box on (the control's
//     legend holds the page of names that fits, the plain one every name).
// The plain use appends every point to QCustomPlot graphs and removes the
// points that left the buffer; both draw without antialiasing and hide the
// same points (NaN for the graphs).
//   QT_QPA_PLATFORM=offscreen chart_bench [--quick]
#include "OvChartCtrl.h"

#include <QApplication>
#include <qcustomplot.h>

#include <malloc.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kBuffer = 360000;
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

double RssBytes() {
    malloc_trim(0);
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE));
}

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// Processor time of the process: the machine may be shared, and drawing runs
// on this thread.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1.0e6;
}

// The main window the chart lives in: shown, with a plot drawn once and
// removed, before anything is measured, so that the window's backing store
// and the fonts and glyphs loaded for axis texts count for neither side.
QWidget* Host() {
    static QWidget* host = [] {
        auto* w = new QWidget;
        w->resize(kWidth, kHeight);
        w->show();
        {
            QCustomPlot warm(w);
            warm.resize(kWidth, kHeight);
            warm.xAxis->setLabel(QStringLiteral("x"));
            warm.yAxis->setLabel(QStringLiteral("y"));
            warm.show();
            warm.replot();
            QApplication::processEvents();
        }
        QApplication::processEvents();
        return w;
    }();
    return host;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Response time of series s at sample k, like a ping run: every host has its
// own base time between 1 and 120 ms, a jitter of up to 15 %, a spike of four
// times the base on one sample in 200, and one lost reply in 50.
double SampleValue(int s, std::int64_t k) {
    std::uint64_t h = std::uint64_t(k) * 0x9E3779B97F4A7C15ull ^ std::uint64_t(s) * 0xC2B2AE3D27D4EB4Full;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    if (h % 50 == 0) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    const double base = 1.0 + double((s * 37) % 120);
    const double jitter = double((h >> 8) % 1000) / 1000.0 * 0.15 * base;
    return (h >> 20) % 200 == 0 ? 4.0 * base : base + jitter;
}

void Settle() {
    for (int i = 0; i < 3; ++i) {
        QApplication::processEvents();
    }
}

// The control, fed one sample per batch as the response-time chart does.
class ControlSide {
public:
    explicit ControlSide(int series, QSize size = {kWidth, kHeight}, bool depth = false) : m_series(series) {
        m_chart = std::make_unique<COvChartCtrl>(Host());
        m_chart->hide();
        m_chart->resize(size);
        m_chart->Set3D(depth);
        m_chart->SetRealTimeBufferSize(kBuffer);
        m_chart->SetRealTimeMode(OVCHART_RT_SCROLL);
        m_chart->OpenData(OVCHART_VALUES, series, 0);
        m_chart->CloseData(OVCHART_VALUES);
    }
    void Sample() {
        m_chart->OpenData(OVCHART_VALUES | OVCHART_ADDPOINTS, m_series, 1);
        for (int s = 0; s < m_series; ++s) {
            const double v = SampleValue(s, m_k);
            m_chart->SetValue(s, 0, std::isnan(v) ? OVCHART_HIDDEN : v);
        }
        m_chart->CloseData(0x31);
        ++m_k;
    }
    // While hidden the control keeps the point and draws nothing.
    void Append() { Sample(); }
    void Show() {
        m_chart->show();
        Settle();
    }
    void Hide() { m_chart->hide(); }
    void Legend() {
        for (int s = 0; s < m_series; ++s) {
            m_chart->SetSeriesLegend(s, QStringLiteral("10.1.%1.%2").arg(s / 256).arg(s % 256));
        }
        m_chart->SetLegendBox(true);
    }
    void WholeBuffer(bool whole) { m_chart->SetRealTimeMode(whole ? OVCHART_RT_OFF : OVCHART_RT_SCROLL); }
    std::size_t BufferBytes() const { return m_chart->BufferBytes(); }

private:
    int m_series;
    std::int64_t m_k = 0;
    std::unique_ptr<COvChartCtrl> m_chart;
};

// QCustomPlot graphs fed every point directly.
class PlainSide {
public:
    explicit PlainSide(int series) : m_plot(std::make_unique<QCustomPlot>(Host())) {
        m_plot->hide();
        m_plot->resize(kWidth, kHeight);
        m_plot->setNotAntialiasedElements(QCP::aePlottables);
        for (int s = 0; s < series; ++s) {
            m_plot->addGraph();
        }
        m_plot->yAxis->setRange(0, 60);
    }
    void Append() {
        for (int s = 0; s < m_plot->graphCount(); ++s) {
            QCPGraph* graph = m_plot->graph(s);
            graph->addData(double(m_k), SampleValue(s, m_k));
            if (m_k >= kBuffer) {
                graph->data()->removeBefore(double(m_k - kBuffer + 1));
            }
        }
        ++m_k;
    }
    void Sample() {
        Append();
        const double first = double(std::max<std::int64_t>(0, m_k - kBuffer));
        const double width = m_whole ? double(m_k) - first : 300.0;
        m_plot->xAxis->setRange(double(m_k) - 0.5 - width, double(m_k) - 0.5);
        m_plot->replot();
    }
    void Show() {
        m_plot->show();
        Settle();
    }
    void Legend() {
        for (int s = 0; s < m_plot->graphCount(); ++s) {
            m_plot->graph(s)->setName(QStringLiteral("10.1.%1.%2").arg(s / 256).arg(s % 256));
        }
        m_plot->legend->setVisible(true);
    }
    void WholeBuffer(bool whole) { m_whole = whole; }

private:
    std::unique_ptr<QCustomPlot> m_plot;
    std::int64_t m_k = 0;
    bool m_whole = true;
};

struct FIGURES {
    double bytesPerPoint = 0;
    double heldPerPoint = 0;  // the control's own count of its buffer
    double wholeMs = 0;
    double newestMs = 0;
    double wholeCpuMs = 0;
    double newestCpuMs = 0;
    double growthMiB = 0;
    double fullMiB = 0;
    double legendCpuMs = 0;
    double windowCpuMs = 0;
};

template <class Side>
void MeasureFullBuffers(FIGURES& f, int timedSamples) {
    const double before = RssBytes();
    auto side = std::make_unique<Side>(100);
    for (int k = 0; k < kBuffer; ++k) {
        if constexpr (std::is_same_v<Side, ControlSide>) {
            side->Sample();  // hidden: the control keeps the points and draws when shown
        } else {
            side->Append();
        }
    }
    side->WholeBuffer(true);
    side->Show();
    f.bytesPerPoint = (RssBytes() - before) / (100.0 * kBuffer);
    if constexpr (std::is_same_v<Side, ControlSide>) {
        f.heldPerPoint = double(side->BufferBytes()) / (100.0 * kBuffer);
    }

    for (bool whole : {true, false}) {
        side->WholeBuffer(whole);
        side->Sample();
        std::vector<double> ms, cpu;
        for (int i = 0; i < timedSamples; ++i) {
            const double t = NowMs();
            const double c = CpuMs();
            side->Sample();
            cpu.push_back(CpuMs() - c);
            ms.push_back(NowMs() - t);
        }
        (whole ? f.wholeMs : f.newestMs) = Median(ms);
        (whole ? f.wholeCpuMs : f.newestCpuMs) = Median(cpu);
    }
}

template <class Side>
void MeasureLongRun(FIGURES& f, int samples) {
    const double before = RssBytes();
    auto side = std::make_unique<Side>(10);
    double atFull = 0;
    for (int k = 1; k <= samples; ++k) {
        if constexpr (std::is_same_v<Side, ControlSide>) {
            side->Sample();
        } else {
            side->Append();
        }
        if (k == 2 * samples / 5) {
            atFull = RssBytes();
        }
    }
    const double atEnd = RssBytes();
    f.growthMiB = (atEnd - atFull) / 1048576.0;
    f.fullMiB = (atEnd - before) / 1048576.0;
}

// 1024 series of 300 points, the newest 300 in view, the legend box on.
template <class Side>
void MeasureLegend(FIGURES& f, int timedSamples) {
    auto side = std::make_unique<Side>(OVCHART_MAX_SERIES);
    side->WholeBuffer(false);
    for (int k = 0; k < 300; ++k) {
        side->Append();
    }
    side->Legend();
    side->Show();
    side->Sample();
    std::vector<double> cpu;
    for (int i = 0; i < timedSamples; ++i) {
        const double c = CpuMs();
        side->Sample();
        cpu.push_back(CpuMs() - c);
    }
    f.legendCpuMs = Median(cpu);
}

// The chart as the main window shows it at its default size during a run of
// 1000 hosts: 3D lines, the legend box on, the newest 300 points in view.
void MeasureWindowChart(FIGURES& f, int timedSamples) {
    ControlSide side(1000, QSize(960, 260), true);
    side.WholeBuffer(false);
    for (int k = 0; k < 300; ++k) {
        side.Append();
    }
    side.Legend();
    side.Show();
    side.Sample();
    std::vector<double> cpu;
    for (int i = 0; i < timedSamples; ++i) {
        const double c = CpuMs();
        side.Sample();
        Settle();  // the window's paint, as the event loop would do it
        cpu.push_back(CpuMs() - c);
    }
    f.windowCpuMs = Median(cpu);
}

void Row(const char* what, double control, double plain, const char* unit) {
    char ratio[16] = "      -";
    if (control > 0.0 && plain > 0.0) {
        std::snprintf(ratio, sizeof ratio, "%7.1fx", plain / control);
    }
    std::printf("| %-52s | %10.2f | %10.2f | %8s | %s\n", what, control, plain, ratio, unit);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    Host();
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int longRun = quick ? 400000 : 1000000;

    FIGURES control, plain;
    const double start = NowMs();
    auto phase = [start](const char* what) { std::fprintf(stderr, "%8.1f s  %s\n", (NowMs() - start) / 1000.0, what); };
    MeasureFullBuffers<ControlSide>(control, 30);
    phase("control, full buffers");
    MeasureFullBuffers<PlainSide>(plain, quick ? 3 : 10);
    phase("plain, full buffers");
    MeasureLongRun<ControlSide>(control, longRun);
    phase("control, long run");
    MeasureLongRun<PlainSide>(plain, longRun);
    phase("plain, long run");
    MeasureLegend<ControlSide>(control, 30);
    MeasureLegend<PlainSide>(plain, quick ? 3 : 10);
    phase("1024 series with the legend");
    MeasureWindowChart(control, 60);
    phase("the main window's chart, 1000 series");

    std::printf("| %-52s | %10s | %10s | %8s | unit\n", "measure", "control", "plain", "plain/ctl");
    std::printf("|%s|\n", std::string(100, '-').c_str());
    Row("memory per point, 100 series x 360000 (RSS)", control.bytesPerPoint, plain.bytesPerPoint, "bytes");
    Row("  of which the control's buffer and summaries", control.heldPerPoint, 0.0, "bytes");
    Row("one sample, 100 series, whole buffer in view", control.wholeCpuMs, plain.wholeCpuMs, "ms processor (median)");
    Row("  the same, wall clock", control.wholeMs, plain.wholeMs, "ms (median)");
    Row("one sample, 100 series, newest 300 points in view", control.newestCpuMs, plain.newestCpuMs,
        "ms processor (median)");
    Row("  the same, wall clock", control.newestMs, plain.newestMs, "ms (median)");
    char what[80];
    std::snprintf(what, sizeof what, "RSS growth, 10 series, sample %d k to %d k", longRun * 2 / 5 / 1000,
                  longRun / 1000);
    Row(what, control.growthMiB, plain.growthMiB, "MiB");
    std::snprintf(what, sizeof what, "RSS after %d k samples of 10 series", longRun / 1000);
    Row(what, control.fullMiB, plain.fullMiB, "MiB");
    Row("one sample, 1024 series + legend, newest 300 points", control.legendCpuMs, plain.legendCpuMs,
        "ms processor (median)");
    Row("one sample, 1000 series, 3D lines + legend, 960 x 260", control.windowCpuMs, 0.0, "ms processor (median)");
    const bool ok = control.bytesPerPoint <= 4.5 && control.wholeCpuMs <= 30.0 && control.newestCpuMs <= 30.0 &&
                    plain.wholeCpuMs >= 10.0 * control.wholeCpuMs && control.growthMiB < 1.0;
    std::printf("targets (<= 4.5 bytes, <= 30 ms, >= 10x, flat memory): %s\n", ok ? "met" : "NOT met");
    return 0;
}
