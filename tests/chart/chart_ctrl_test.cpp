// Chart control: batches, gaps through the reduction, galleries, export,
// the scrolling buffer at its real size, failures, label and mouse events,
// the legend's pages, titles and labels in a small control, and who owns the
// tickers and bar groups.
#include "OvChartCtrl.h"

#include "ChartBuffer.h"
#include "ChartLines.h"

#include <QApplication>
#include <QFontMetrics>
#include <QWheelEvent>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <qcustomplot.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

namespace {

class ChartTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!QApplication::instance()) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            static int argc = 1;
            static char name[] = "chart_test";
            static char* argv[] = {name, nullptr};
            s_app = std::make_unique<QApplication>(argc, argv);
        }
    }

    static void TearDownTestSuite() { s_app.reset(); }

    void SetUp() override {
        chart = std::make_unique<COvChartCtrl>();
        chart->resize(800, 400);
    }

    // Appends one point to each of the given values' series in one batch.
    int Sample(const std::vector<double>& values) {
        if (!chart->OpenData(OVCHART_VALUES | OVCHART_ADDPOINTS, int(values.size()), 1)) {
            return 0;
        }
        for (std::size_t s = 0; s < values.size(); ++s) {
            if (!chart->SetValue(int(s), 0, values[s])) {
                return 0;
            }
        }
        return chart->CloseData(0x31);
    }

    // Shows the control and lets it draw what is pending.
    void ShowAndDraw() {
        chart->show();
        QApplication::processEvents();
        QApplication::processEvents();
    }

    static std::unique_ptr<QApplication> s_app;
    std::unique_ptr<COvChartCtrl> chart;
};

std::unique_ptr<QApplication> ChartTest::s_app;

TEST_F(ChartTest, BatchesReplaceAndAppendPointsAndAddSeries) {
    // The start placeholder: 5 series of 1 point, then points 0..4 of series 0.
    ASSERT_EQ(chart->OpenData(OVCHART_VALUES | OVCHART_ADDPOINTS, 5, 1), 1);
    for (int p = 0; p < 5; ++p) {
        EXPECT_EQ(chart->SetValue(0, p, OVCHART_HIDDEN), 1);
    }
    ASSERT_EQ(chart->CloseData(0x31), 1);
    EXPECT_EQ(chart->SeriesCount(), 5);
    EXPECT_EQ(chart->EndPoint(), 5);

    // Run set-up replaces everything: 2 series of 299 hidden points.
    ASSERT_EQ(chart->OpenData(OVCHART_VALUES, 2, 299), 1);
    EXPECT_EQ(chart->SeriesCount(), 2);  // legend texts can be set at once
    EXPECT_EQ(chart->SetSeriesLegend(1, QStringLiteral("b")), 1);
    EXPECT_EQ(chart->SetSeriesLegend(2, QStringLiteral("c")), 0);
    ASSERT_EQ(chart->CloseData(OVCHART_VALUES), 1);
    EXPECT_EQ(chart->EndPoint(), 299);
    EXPECT_EQ(chart->Value(0, 298), OVCHART_HIDDEN);
    EXPECT_EQ(chart->SeriesLegend(1), QStringLiteral("b"));

    ASSERT_EQ(Sample({12.5, -2.0}), 1);
    EXPECT_EQ(chart->Value(0, 299), 12.5);
    EXPECT_EQ(chart->Value(1, 299), -2.0);

    // A wider batch adds a series whose history is hidden; series left out of
    // a batch get a gap.
    ASSERT_EQ(chart->OpenData(OVCHART_VALUES | OVCHART_ADDPOINTS, 3, 1), 1);
    ASSERT_EQ(chart->SetValue(2, 0, 7.0), 1);
    ASSERT_EQ(chart->CloseData(0x31), 1);
    EXPECT_EQ(chart->SeriesCount(), 3);
    EXPECT_EQ(chart->Value(2, 299), OVCHART_HIDDEN);
    EXPECT_EQ(chart->Value(2, 300), 7.0);
    EXPECT_EQ(chart->Value(0, 300), OVCHART_HIDDEN);
}

TEST_F(ChartTest, OneRedrawPerBatch) {
    ShowAndDraw();
    ASSERT_EQ(chart->OpenData(OVCHART_VALUES, 3, 299), 1);
    ASSERT_EQ(chart->CloseData(OVCHART_VALUES), 1);
    QApplication::processEvents();
    int replots = 0;
    QObject::connect(chart->Plot(), &QCustomPlot::afterReplot, [&replots] { ++replots; });
    ASSERT_EQ(Sample({1.0, 2.0, 3.0}), 1);
    EXPECT_EQ(replots, 1);
}

TEST_F(ChartTest, GapsReachThePlotAsBreaks) {
    ASSERT_EQ(chart->OpenData(OVCHART_VALUES, 1, 0), 1);
    ASSERT_EQ(chart->CloseData(OVCHART_VALUES), 1);
    ShowAndDraw();
    const double values[] = {5, 6, OVCHART_HIDDEN, std::numeric_limits<double>::quiet_NaN(), 8, 9};
    for (double v : values) {
        ASSERT_EQ(Sample({v}), 1);
    }
    QApplication::processEvents();
    EXPECT_EQ(chart->Value(0, 3), OVCHART_HIDDEN);  // NaN is hidden too

    // Few points as lines: the hidden ones leave the columns between their
    // neighbours empty.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gaps.bmp"));
    ASSERT_EQ(chart->Export(OVCHART_FORMAT_BMP, path), 1);
    const QImage image = QImage(path).convertToFormat(QImage::Format_RGB32);
    QCustomPlot* plot = chart->Plot();
    const QRgb color = plot->graph(0)->pen().color().rgb();
    auto shown = [&](double from, double to) {
        const int left = int(std::ceil(plot->xAxis->coordToPixel(from)));
        const int right = int(std::floor(plot->xAxis->coordToPixel(to)));
        for (int x = left; x <= right; ++x) {
            for (int y = 0; y < image.height(); ++y) {
                if (image.pixel(x, y) == color) {
                    return true;
                }
            }
        }
        return false;
    };
    EXPECT_TRUE(shown(0.2, 0.8));   // from 5 to 6
    EXPECT_FALSE(shown(1.5, 3.5));  // around the two hidden points
    EXPECT_TRUE(shown(4.2, 4.8));   // from 8 to 9

    // Few points as an area: each one is handed on to the series' own
    // plottable, the two hidden ones as one break.
    ASSERT_EQ(chart->SetGallery(OVCHART_AREA), 1);
    QApplication::processEvents();
    const auto data = chart->Plot()->graph(0)->data();
    std::vector<double> seen;
    for (auto it = data->constBegin(); it != data->constEnd(); ++it) {
        seen.push_back(it->value);
    }
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[1], 6.0);
    EXPECT_TRUE(std::isnan(seen[2]));
    EXPECT_EQ(seen[3], 8.0);
}

// The reduction through the summaries must equal a plain scan of every kept
// point, column by column: for raw points, for columns narrower and wider
// than a summary run, after the ring has wrapped and after a smaller capacity
// rebuilt the summaries.
TEST(ChartBufferTest, ReductionMatchesAPlainScanOfAWrappedBuffer) {
    CChartBuffer buffer;
    buffer.Reset(1, 70001);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(0.0f, 100.0f);
    for (int i = 0; i < 100000; ++i) {
        // Gaps of varied length, some inside a column, some across columns.
        const bool hidden = (i % 997) < (i % 5) * 40 || i % 389 == 0;
        const float v = hidden ? std::numeric_limits<float>::quiet_NaN() : value(random);
        buffer.Append(&v);
    }
    ASSERT_EQ(buffer.First(), 100000 - 70001);

    auto check = [&buffer](std::int64_t step) {
        std::vector<double> keys, upper, lower;
        auto add = [&](double key, double hi, double lo) {
            keys.push_back(key);
            upper.push_back(hi);
            lower.push_back(lo);
        };
        auto gap = [&](double key) {
            if (upper.empty() || !std::isnan(upper.back())) {
                add(key, std::nan(""), std::nan(""));
            }
        };
        for (std::int64_t c = buffer.First() / step; c <= (buffer.End() - 1) / step; ++c) {
            double lo = 1e300, hi = -1e300;
            bool finite = false, before = false, after = false;
            for (std::int64_t i = std::max(c * step, buffer.First()); i < std::min((c + 1) * step, buffer.End()); ++i) {
                const float v = buffer.At(0, i);
                if (std::isnan(v)) {
                    (finite ? after : before) = true;
                } else {
                    finite = true;
                    lo = std::min(lo, double(v));
                    hi = std::max(hi, double(v));
                }
            }
            const double left = double(c * step), right = left + double(step - 1);
            if (!finite) {
                gap(left);
                continue;
            }
            if (before) {
                gap(left);
                add(left, hi, lo);
            }
            add((left + right) / 2.0, hi, lo);
            if (after) {
                add(right, hi, lo);
                gap(right);
            }
        }
        CHART_REDUCED r;
        double lo = 1e300, hi = -1e300;
        buffer.Reduce(0, buffer.First(), buffer.End() - 1, step, r, lo, hi);
        ASSERT_EQ(r.upper.size(), keys.size()) << step;
        ASSERT_EQ(r.lower.size(), keys.size()) << step;
        for (std::size_t i = 0; i < keys.size(); ++i) {
            EXPECT_EQ(r.upper[i].key, keys[i]) << step << " " << i;
            EXPECT_EQ(r.lower[i].key, keys[i]) << step << " " << i;
            if (std::isnan(upper[i])) {
                EXPECT_TRUE(std::isnan(r.upper[i].value) && std::isnan(r.lower[i].value)) << step << " " << i;
            } else {
                EXPECT_EQ(r.upper[i].value, upper[i]) << step << " " << i;
                EXPECT_EQ(r.lower[i].value, lower[i]) << step << " " << i;
            }
        }
    };
    for (std::int64_t step : {1, 7, 100, 128, 192, 256, 1280}) {
        check(step);
    }
    buffer.SetCapacity(50003);
    EXPECT_EQ(buffer.First(), 100000 - 50003);
    check(256);
    // Wider windows are read in whole summary runs, about one per pixel.
    const std::int64_t wide = CChartBuffer::ColumnStep(360000.0, 1880);
    EXPECT_EQ(wide % CChartBuffer::kBucket, 0);
    EXPECT_GE(wide * 3, 2 * 192);
    EXPECT_LE(wide * 2, 3 * 192);
    EXPECT_EQ(CChartBuffer::ColumnStep(300.0, 1880), 1);
    EXPECT_EQ(CChartBuffer::ColumnStep(3000.0, 1000), 3);
}

// The extremes of a window across all series, kept per point as points are
// appended, must equal a scan of every series' kept values, for windows with
// hidden points and series that joined late; windows that reach back beyond
// the points noted are refused.
TEST(ChartBufferTest, ExtremesOfAllSeriesMatchAScanOfEverySeries) {
    CChartBuffer buffer;
    buffer.Reset(2, 5000);
    std::mt19937 random(11);
    std::uniform_real_distribution<float> value(-50.0f, 100.0f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int i = 0; i < 9000; ++i) {
        if (i == 8000) {
            buffer.AddSeries(3);  // hidden at every earlier point
        }
        const float row[3] = {i % 7 < 3 ? nan : value(random), i % 500 < 200 ? nan : value(random), value(random)};
        buffer.Append(row);
    }
    auto scan = [&](std::int64_t from, std::int64_t to, double& lo, double& hi) {
        for (int s = 0; s < buffer.SeriesCount(); ++s) {
            buffer.Extremes(s, from, to, lo, hi);
        }
    };
    for (const auto& [from, to] :
         std::vector<std::pair<std::int64_t, std::int64_t>>{{8700, 9000},
                                                            {7000, 7300},
                                                            {7990, 8010},
                                                            {8995, 9100},
                                                            {9000 - CChartBuffer::kRecentRows, 9000},
                                                            {8500, 8501},
                                                            {8504, 8505}}) {
        double lo = 1e300, hi = -1e300, plainLo = 1e300, plainHi = -1e300;
        ASSERT_TRUE(buffer.ExtremesOfAll(from, to, lo, hi)) << from;
        scan(from, to, plainLo, plainHi);
        EXPECT_EQ(lo, plainLo) << from;
        EXPECT_EQ(hi, plainHi) << from;
    }
    // Beyond the points noted: refused, lo and hi as they were.
    double lo = 1.0, hi = 2.0;
    EXPECT_FALSE(buffer.ExtremesOfAll(9000 - CChartBuffer::kRecentRows - 1, 9000, lo, hi));
    // A window of hidden values only leaves them as they were too.
    buffer.Reset(2, 5000);
    const float hidden[2] = {nan, nan};
    buffer.Append(hidden);
    ASSERT_TRUE(buffer.ExtremesOfAll(0, 1, lo, hi));
    EXPECT_EQ(lo, 1.0);
    EXPECT_EQ(hi, 2.0);
}

// Far more points than pixels: the columns painted in the picture keep a
// long gap empty and stand at the series' value.
TEST_F(ChartTest, ReducedColumnsKeepGapsInThePicture) {
    ASSERT_EQ(chart->OpenData(OVCHART_VALUES, 1, 100000), 1);
    for (int p = 0; p < 100000; ++p) {
        ASSERT_EQ(chart->SetValue(0, p, p >= 40000 && p < 60000 ? OVCHART_HIDDEN : 50.0), 1);
    }
    ASSERT_EQ(chart->CloseData(OVCHART_VALUES), 1);
    ASSERT_EQ(chart->SetRealTimeMode(OVCHART_RT_OFF), 1);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.bmp"));
    ASSERT_EQ(chart->Export(OVCHART_FORMAT_BMP, path), 1);
    const QImage image(path);
    ASSERT_FALSE(image.isNull());
    QCustomPlot* plot = chart->Plot();
    const QColor color = qobject_cast<QCPGraph*>(plot->plottable(0))->pen().color();
    auto rowsOfColor = [&](double point) {
        std::vector<int> rows;
        const int x = int(plot->xAxis->coordToPixel(point));
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixelColor(x, y) == color) {
                rows.push_back(y);
            }
        }
        return rows;
    };
    const std::vector<int> shown = rowsOfColor(20000);
    ASSERT_FALSE(shown.empty());
    EXPECT_NEAR(shown.front(), plot->yAxis->coordToPixel(50.0), 1.0);
    EXPECT_LE(shown.size(), 2u);
    EXPECT_TRUE(rowsOfColor(50000).empty());
    EXPECT_FALSE(rowsOfColor(70000).empty());
}

TEST_F(ChartTest, BarsStandSideBySideForTheSeriesCount) {
    ASSERT_EQ(chart->OpenData(OVCHART_VALUES, 3, 10), 1);
    for (int s = 0; s < 3; ++s) {
        for (int p = 0; p < 10; ++p) {
            chart->SetValue(s, p, 10.0 * (s + 1));
        }
    }
    ASSERT_EQ(chart->CloseData(OVCHART_VALUES), 1);
    ASSERT_EQ(chart->SetGallery(OVCHART_BAR), 1);
    ASSERT_EQ(chart->SetGallerySeriesCount(3), 1);
    ShowAndDraw();
    QCustomPlot* plot = chart->Plot();
    auto* first = qobject_cast<QCPBars*>(plot->plottable(0));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(first->barsGroup(), nullptr);
    EXPECT_EQ(first->barsGroup()->size(), 3);

    ASSERT_EQ(chart->SetGallerySeriesCount(1), 1);
    QApplication::processEvents();
    EXPECT_EQ(qobject_cast<QCPBars*>(plot->plottable(0))->barsGroup(), nullptr);

    // Line and area draw graphs; 3D adds a copy behind every series, which
    // has no legend entry.
    ASSERT_EQ(chart->SetGallery(OVCHART_AREA), 1);
    ASSERT_EQ(chart->Set3D(true), 1);
    ASSERT_EQ(chart->SetLegendBox(true), 1);
    QApplication::processEvents();
    EXPECT_EQ(plot->graphCount(), 6);
    EXPECT_EQ(plot->legend->itemCount(), 3);
    EXPECT_EQ(chart->GallerySeriesCount(), 1);
    EXPECT_EQ(chart->SetGallery(0), 0);
    EXPECT_EQ(chart->Gallery(), OVCHART_AREA);
}

// Making and deleting the plottables of a thousand series stopped the window
// for seconds: a new run's series take those of the last run again, and
// series added to a run leave the others' alone.
TEST_F(ChartTest, SeriesOfAnEarlierRunServeAgainAndAddedSeriesKeepTheOthers) {
    ASSERT_EQ(chart->SetLegendBox(true), 1);
    ASSERT_EQ(chart->OpenData(OVCHART_VALUES, 3, 5), 1);
    ASSERT_EQ(chart->CloseData(OVCHART_VALUES), 1);
    ShowAndDraw();
    QCustomPlot* plot = chart->Plot();
    const QPointer<QCPAbstractPlottable> first = plot->plottable(0);
    const QPointer<QCPAbstractPlottable> third = plot->plottable(2);

    // A run of one series: it alone is drawn and named.
    ASSERT_EQ(chart->OpenData(OVCHART_VALUES, 1, 5), 1);
    ASSERT_EQ(chart->SetSeriesLegend(0, QStringLiteral("a")), 1);
    ASSERT_EQ(chart->CloseData(OVCHART_VALUES), 1);
    ShowAndDraw();  // the legend's entries are laid when the chart is drawn
    ASSERT_FALSE(first.isNull());
    ASSERT_FALSE(third.isNull());
    EXPECT_TRUE(first->visible());
    EXPECT_FALSE(third->visible());
    ASSERT_EQ(plot->legend->itemCount(), 1);
    EXPECT_EQ(first->name(), QStringLiteral("a"));

    // Two series join it: the third takes its old plottable, the first keeps its own.
    ASSERT_EQ(chart->OpenData(OVCHART_VALUES | OVCHART_ADDPOINTS, 3, 0), 1);
    ASSERT_EQ(chart->CloseData(OVCHART_VALUES), 1);
    ASSERT_EQ(chart->SetSeriesLegend(2, QStringLiteral("c")), 1);
    ShowAndDraw();
    ASSERT_EQ(plot->legend->itemCount(), 3);
    auto* item = qobject_cast<QCPPlottableLegendItem*>(plot->legend->item(2));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->plottable(), third.data());
    EXPECT_TRUE(third->visible());
    EXPECT_EQ(third->name(), QStringLiteral("c"));
    EXPECT_EQ(chart->SeriesLegend(0), QStringLiteral("a"));
    EXPECT_EQ(chart->SeriesCount(), 3);
    EXPECT_EQ(chart->Value(2, chart->EndPoint() - 1), OVCHART_HIDDEN);
}

// The line gallery keeps its picture from one sample to the next and paints
// only the newest columns: after many samples, with gaps, series that cross
// and a window that scrolls, the picture must equal one painted whole from
// the same points, with and without the 3D view.
TEST_F(ChartTest, KeptLinePictureEqualsOnePaintedWhole) {
    auto lines = [](COvChartCtrl& c) -> CChartLines* {
        for (int i = 0; i < c.Plot()->plottableCount(); ++i) {
            if (auto* l = dynamic_cast<CChartLines*>(c.Plot()->plottable(i))) {
                return l;
            }
        }
        return nullptr;
    };
    auto feed = [](COvChartCtrl& c, int samples, std::mt19937& random) {
        std::uniform_real_distribution<double> jitter(0.0, 3.0);
        for (int k = 0; k < samples; ++k) {
            ASSERT_EQ(c.OpenData(OVCHART_VALUES | OVCHART_ADDPOINTS, 4, 1), 1);
            c.SetValue(0, 0, 20.0 + jitter(random));
            c.SetValue(1, 0, k % 9 < 3 ? OVCHART_HIDDEN : 10.0 + 15.0 * std::sin(k / 4.0));
            c.SetValue(2, 0, k % 5 == 2 ? OVCHART_HIDDEN : 12.0 + jitter(random));  // dots between gaps
            c.SetValue(3, 0, (k % 40) * 0.5);
            ASSERT_EQ(c.CloseData(0x31), 1);
        }
    };
    auto picture = [](COvChartCtrl& c, const QString& path) {
        EXPECT_EQ(c.Export(OVCHART_FORMAT_BMP, path), 1);
        return QImage(path).convertToFormat(QImage::Format_RGB32);
    };
    // A chart of four series and a window of 299 points, 700 x 300.
    auto chartOfFour = [](bool depth) {
        auto c = std::make_unique<COvChartCtrl>();
        c->resize(700, 300);
        c->Set3D(depth);
        EXPECT_EQ(c->OpenData(OVCHART_VALUES, 4, 299), 1);
        EXPECT_EQ(c->CloseData(OVCHART_VALUES), 1);
        return c;
    };
    QTemporaryDir dir;
    for (const bool depth : {true, false}) {
        SCOPED_TRACE(depth ? "3D" : "flat");
        std::mt19937 random(7);
        const auto kept = chartOfFour(depth);
        kept->show();
        QApplication::processEvents();
        // Each sample draws at once; the window scrolls from the first on.
        feed(*kept, 120, random);
        QApplication::processEvents();
        ASSERT_NE(lines(*kept), nullptr);
        EXPECT_GT(lines(*kept)->ShiftedDraws(), 100);
        const QImage a = picture(*kept, dir.filePath(QStringLiteral("kept.bmp")));

        // The same points, drawn once at the end.
        std::mt19937 again(7);
        const auto whole = chartOfFour(depth);
        feed(*whole, 120, again);
        const QImage b = picture(*whole, dir.filePath(QStringLiteral("whole.bmp")));
        ASSERT_NE(lines(*whole), nullptr);
        EXPECT_GE(lines(*whole)->FullDraws(), 1);
        ASSERT_EQ(a.size(), b.size());
        int differ = 0;
        for (int y = 0; y < a.height(); ++y) {
            for (int x = 0; x < a.width(); ++x) {
                differ += a.pixel(x, y) != b.pixel(x, y);
            }
        }
        EXPECT_EQ(differ, 0);
        // The series are on it: the front colour of the last series shows.
        const QRgb last = qobject_cast<QCPGraph*>(whole->Plot()->plottable(depth ? 6 : 3))->pen().color().rgb();
        bool seen = false;
        for (int y = 0; y < b.height() && !seen; ++y) {
            for (int x = 0; x < b.width() && !seen; ++x) {
                seen = b.pixel(x, y) == last;
            }
        }
        EXPECT_TRUE(seen);
    }
}

TEST_F(ChartTest, ExportWritesABitmapOfTheControlsSize) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_EQ(chart->OpenData(OVCHART_VALUES, 2, 299), 1);
    ASSERT_EQ(chart->CloseData(OVCHART_VALUES), 1);
    for (int k = 0; k < 50; ++k) {
        ASSERT_EQ(Sample({double(k), k % 7 ? 30.0 : OVCHART_HIDDEN}), 1);
    }
    chart->resize(643, 377);
    const QString path = dir.filePath(QStringLiteral("Chart.bmp"));
    ASSERT_EQ(chart->Export(OVCHART_FORMAT_BMP, path), 1);  // also while hidden
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(2), QByteArray("BM"));
    const QImage image(path, "BMP");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(643, 377));
    EXPECT_EQ(image.pixelColor(2, 2), QColor(Qt::white));

    // Other formats and unwritable paths fail and leave no file behind.
    EXPECT_EQ(chart->Export(3, dir.filePath(QStringLiteral("a.bmp"))), 0);
    EXPECT_EQ(chart->Export(OVCHART_FORMAT_BMP, dir.filePath(QStringLiteral("none/a.bmp"))), 0);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("a.bmp"))));
}

TEST_F(ChartTest, BufferScrollsAtItsRealSize) {
    ASSERT_EQ(chart->SetRealTimeBufferSize(360000), 1);
    ASSERT_EQ(chart->SetRealTimeMode(OVCHART_RT_SCROLL), 1);
    ASSERT_EQ(chart->OpenData(OVCHART_VALUES, 2, 299), 1);
    ASSERT_EQ(chart->CloseData(OVCHART_VALUES), 1);
    // 361 000 points in batches; point i of series 0 holds i % 1000.
    std::int64_t next = 299;
    while (next < 361000) {
        const int n = int(std::min<std::int64_t>(5000, 361000 - next));
        ASSERT_EQ(chart->OpenData(OVCHART_VALUES | OVCHART_ADDPOINTS, 2, n), 1);
        for (int p = 0; p < n; ++p) {
            chart->SetValue(0, p, double((next + p) % 1000));
            chart->SetValue(1, p, (next + p) % 3 ? 1.0 : OVCHART_HIDDEN);
        }
        ASSERT_EQ(chart->CloseData(0x31), 1);
        next += n;
    }
    EXPECT_EQ(chart->EndPoint(), 361000);
    EXPECT_EQ(chart->FirstPoint(), 1000);  // the oldest 1000 left
    EXPECT_EQ(chart->Value(0, 999), OVCHART_HIDDEN);
    EXPECT_EQ(chart->Value(0, 1000), 0.0);
    EXPECT_EQ(chart->Value(0, 360999), 999.0);
    EXPECT_EQ(chart->Value(1, 360999), OVCHART_HIDDEN);
    EXPECT_LE(chart->BufferBytes(), std::size_t(2 * 360000 * 4.5));

    // One more point pushes out exactly one; the plot follows the newest.
    ShowAndDraw();
    ASSERT_EQ(Sample({5.0, 6.0}), 1);
    EXPECT_EQ(chart->FirstPoint(), 1001);
    EXPECT_EQ(chart->Value(0, 361000), 5.0);
    EXPECT_DOUBLE_EQ(chart->VisibleLast(), 361000.5);
    EXPECT_DOUBLE_EQ(chart->VisibleLast() - chart->VisibleFirst(), 300.0);
}

TEST_F(ChartTest, UserScrollsBackAndReturnsToTheNewest) {
    ASSERT_EQ(chart->OpenData(OVCHART_VALUES, 1, 2000), 1);
    ASSERT_EQ(chart->CloseData(OVCHART_VALUES), 1);
    ShowAndDraw();
    ASSERT_TRUE(chart->IsFollowing());
    QCPAxis* x = chart->Plot()->xAxis;
    x->setRange(100, 500);  // what a drag or the wheel does
    EXPECT_FALSE(chart->IsFollowing());
    ASSERT_EQ(Sample({1.0}), 1);
    EXPECT_DOUBLE_EQ(chart->VisibleFirst(), 100.0);
    EXPECT_DOUBLE_EQ(chart->VisibleLast(), 500.0);

    QTest::keyClick(chart.get(), Qt::Key_End);
    EXPECT_TRUE(chart->IsFollowing());
    EXPECT_DOUBLE_EQ(chart->VisibleLast(), 2000.5);
    EXPECT_DOUBLE_EQ(chart->VisibleFirst(), 1600.5);  // the zoomed width stays

    x->setRange(0, 300);
    EXPECT_FALSE(chart->IsFollowing());
    QTest::mouseDClick(chart->Plot(), Qt::LeftButton, {}, QPoint(300, 200));
    EXPECT_TRUE(chart->IsFollowing());
    // Scrolling before the oldest point stops at it.
    x->setRange(-5000, -4000);
    EXPECT_DOUBLE_EQ(chart->VisibleFirst(), -0.5);
}

TEST_F(ChartTest, FailingCallsLeaveTheControlUsable) {
    EXPECT_EQ(chart->SetValue(0, 0, 1.0), 0);  // no batch
    EXPECT_EQ(chart->CloseData(OVCHART_VALUES), 0);
    EXPECT_EQ(chart->OpenData(0x02, 1, 1), 0);
    EXPECT_EQ(chart->OpenData(OVCHART_VALUES, 0, 1), 0);
    EXPECT_EQ(chart->OpenData(OVCHART_VALUES, OVCHART_MAX_SERIES + 1, 1), 0);
    EXPECT_EQ(chart->SetRealTimeBufferSize(0), 0);
    EXPECT_EQ(chart->SetRealTimeMode(5), 0);
    EXPECT_EQ(chart->SetGrid(2, true), 0);
    ASSERT_EQ(chart->OpenData(OVCHART_VALUES, 2, 299), 1);
    ASSERT_EQ(chart->CloseData(OVCHART_VALUES), 1);
    ShowAndDraw();

    // A handler fails half-way and abandons its batch without closing it.
    ASSERT_EQ(chart->OpenData(OVCHART_VALUES | OVCHART_ADDPOINTS, 2, 1), 1);
    ASSERT_EQ(chart->SetValue(0, 0, 4.0), 1);
    EXPECT_EQ(chart->SetValue(2, 0, 4.0), 0);
    EXPECT_EQ(chart->SetValue(0, -1, 4.0), 0);
    EXPECT_EQ(chart->SetValue(0, 360000, 4.0), 0);
    EXPECT_EQ(chart->EndPoint(), 299);
    // The next tick works and appends exactly its own point.
    ASSERT_EQ(Sample({8.0, 9.0}), 1);
    EXPECT_EQ(chart->EndPoint(), 300);
    EXPECT_EQ(chart->Value(0, 299), 8.0);
    // A close with unknown flags keeps the batch open for a proper close.
    ASSERT_EQ(chart->OpenData(OVCHART_VALUES | OVCHART_ADDPOINTS, 2, 1), 1);
    EXPECT_EQ(chart->CloseData(0x41), 0);
    EXPECT_EQ(chart->CloseData(0x31), 1);
    EXPECT_EQ(chart->EndPoint(), 301);
}

TEST_F(ChartTest, LabelHandlerReplacesAxisLabelsAndMouseEventReportsButtons) {
    std::vector<int> axes;
    chart->SetLabelHandler([&axes](int axis, QString& text) {
        axes.push_back(axis);
        if (axis == OVCHART_AXIS_X) {
            text = text.toInt() < 299 ? QString() : QStringLiteral("k%1").arg(text.toInt() - 299);
        }
    });
    ASSERT_EQ(chart->OpenData(OVCHART_VALUES, 1, 299), 1);
    ASSERT_EQ(chart->CloseData(OVCHART_VALUES), 1);
    for (int k = 0; k < 600; ++k) {
        ASSERT_EQ(Sample({double(k % 50)}), 1);
    }
    ShowAndDraw();
    const QVector<QString> labels = chart->Plot()->xAxis->tickVectorLabels();
    const QVector<double> ticks = chart->Plot()->xAxis->tickVector();
    ASSERT_FALSE(labels.isEmpty());
    for (int i = 0; i < labels.size(); ++i) {
        EXPECT_EQ(ticks[i], std::round(ticks[i]));
        EXPECT_EQ(labels[i], QStringLiteral("k%1").arg(qint64(ticks[i]) - 299));
    }
    EXPECT_NE(std::count(axes.begin(), axes.end(), OVCHART_AXIS_Y), 0);

    std::vector<int> events;
    chart->SetMouseHandler([&events](int button, int x, int y) { events.insert(events.end(), {button, x, y}); });
    QTest::mousePress(chart->Plot(), Qt::RightButton, {}, QPoint(120, 80));
    QTest::mouseRelease(chart->Plot(), Qt::RightButton, {}, QPoint(120, 80));
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0], OVCHART_BUTTON_RIGHT);
    EXPECT_EQ(events[1], 120);
    EXPECT_EQ(events[2], 80);
}

// With more series than the plot area has room for, the legend shows a page
// of them inside the plot, says which, and the wheel over it turns the page.
TEST_F(ChartTest, LegendKeepsInsideThePlotAndTurnsPagesWithTheWheel) {
    constexpr int kSeries = 300;
    ASSERT_EQ(chart->OpenData(OVCHART_VALUES, kSeries, 10), 1);
    for (int s = 0; s < kSeries; ++s) {
        ASSERT_EQ(chart->SetSeriesLegend(s, QStringLiteral("10.0.%1.%2").arg(s / 256).arg(s % 256)), 1);
    }
    ASSERT_EQ(chart->CloseData(OVCHART_VALUES), 1);
    ASSERT_EQ(chart->SetLegendBox(true), 1);
    ShowAndDraw();
    QCustomPlot* plot = chart->Plot();
    QCPLegend* legend = plot->legend;
    const int shown = chart->LegendShown();
    ASSERT_GT(shown, 10);
    ASSERT_LT(shown, kSeries);
    EXPECT_TRUE(plot->axisRect()->rect().contains(legend->outerRect()));
    EXPECT_EQ(legend->itemCount(), shown + 1);
    auto* first = qobject_cast<QCPPlottableLegendItem*>(legend->item(0));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->plottable()->name(), QStringLiteral("10.0.0.0"));

    auto wheel = [&](int notches) {
        const QPointF at = legend->outerRect().center();
        QWheelEvent event(at, plot->mapToGlobal(at), {}, {0, notches * QWheelEvent::DefaultDeltasPerStep}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(plot, &event);
        QApplication::processEvents();
    };
    const double lower = chart->VisibleFirst();
    wheel(-1);
    const int step = chart->LegendFirst();
    EXPECT_GT(step, 0);
    EXPECT_EQ(chart->VisibleFirst(), lower);  // the plot is not zoomed
    EXPECT_EQ(qobject_cast<QCPPlottableLegendItem*>(legend->item(0))->plottable()->name(), chart->SeriesLegend(step));
    wheel(-100);
    EXPECT_EQ(chart->LegendFirst() + chart->LegendShown(), kSeries);
    EXPECT_TRUE(plot->axisRect()->rect().contains(legend->outerRect()));
    wheel(100);
    EXPECT_EQ(chart->LegendFirst(), 0);

    // A smaller control shows fewer entries, still inside; a few series all fit.
    chart->resize(500, 200);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_LT(chart->LegendShown(), shown);
    EXPECT_TRUE(plot->axisRect()->rect().contains(legend->outerRect()));
    ASSERT_EQ(chart->OpenData(OVCHART_VALUES, 3, 10), 1);
    ASSERT_EQ(chart->CloseData(OVCHART_VALUES), 1);
    QApplication::processEvents();
    EXPECT_EQ(chart->LegendShown(), 3);
    EXPECT_EQ(legend->itemCount(), 3);
}

// In a small control the y title is wrapped whole into the axis's length, or
// left out, never cut; x labels that do not fit are left out, never overlap.
TEST_F(ChartTest, TitleStaysWholeAndLabelsDoNotOverlapInASmallControl) {
    const QString title = QStringLiteral("Response Time(ms)");
    chart->SetLabelHandler([](int axis, QString& text) {
        if (axis == OVCHART_AXIS_X) {
            text = QStringLiteral("2026-05-01 12:%1:00").arg(text.toInt() % 60, 2, 10, QLatin1Char('0'));
        }
    });
    ASSERT_EQ(chart->SetAxisTitle(OVCHART_AXIS_Y, title), 1);
    QFont font = chart->font();
    font.setPointSize(10);
    ASSERT_EQ(chart->SetAxisTitleFont(OVCHART_AXIS_Y, font), 1);
    ASSERT_EQ(chart->OpenData(OVCHART_VALUES, 1, 600), 1);
    for (int p = 0; p < 600; ++p) {
        chart->SetValue(0, p, p % 40);
    }
    ASSERT_EQ(chart->CloseData(OVCHART_VALUES), 1);

    QCustomPlot* plot = chart->Plot();
    int wrapped = 0;
    for (const QSize size : {QSize(800, 400), QSize(330, 110), QSize(200, 80), QSize(160, 50)}) {
        chart->resize(size);
        ShowAndDraw();
        QApplication::processEvents();
        const QString shown = plot->yAxis->label();
        const QFontMetrics titleMetrics(plot->yAxis->labelFont());
        if (!shown.isEmpty()) {
            EXPECT_EQ(QString(shown).remove(QLatin1Char('\n')).remove(QLatin1Char(' ')),
                      QString(title).remove(QLatin1Char(' ')))
                << size.width() << "x" << size.height();
            for (const QString& line : shown.split(QLatin1Char('\n'))) {
                EXPECT_LE(titleMetrics.horizontalAdvance(line), plot->axisRect()->height()) << line.toStdString();
            }
            wrapped += shown.contains(QLatin1Char('\n'));
        }

        const QVector<double> ticks = plot->xAxis->tickVector();
        const QVector<QString> labels = plot->xAxis->tickVectorLabels();
        ASSERT_EQ(ticks.size(), labels.size());
        const QFontMetrics labelMetrics(plot->xAxis->tickLabelFont());
        double lastRight = -1.0e9;
        int kept = 0;
        for (qsizetype i = 0; i < ticks.size(); ++i) {
            if (labels[i].isEmpty()) {
                continue;
            }
            const double at = plot->xAxis->coordToPixel(ticks[i]);
            const double half = labelMetrics.horizontalAdvance(labels[i]) / 2.0;
            EXPECT_GE(at - half, lastRight) << size.width() << " " << labels[i].toStdString();
            EXPECT_GE(at - half, 0.0);
            EXPECT_LE(at + half, double(plot->width()));
            lastRight = at + half;
            ++kept;
        }
        if (size.width() >= 330) {
            EXPECT_GT(kept, 0) << size.width();
        }
    }
    EXPECT_GT(wrapped, 0);
}

// The axes share the tickers with the control and may keep them longer; the
// bar groups belong to the control alone.
TEST_F(ChartTest, TickersAndBarGroupsHaveOneOwnerEach) {
    int calls = 0;
    chart->SetLabelHandler([&calls](int, QString& text) {
        ++calls;
        text = QStringLiteral("t") + text;
    });
    ASSERT_EQ(chart->OpenData(OVCHART_VALUES, 4, 20), 1);
    ASSERT_EQ(chart->CloseData(OVCHART_VALUES), 1);
    ASSERT_EQ(chart->SetGallery(OVCHART_BAR), 1);
    ASSERT_EQ(chart->SetGallerySeriesCount(2), 1);
    ShowAndDraw();
    auto* bars = qobject_cast<QCPBars*>(chart->Plot()->plottable(0));
    ASSERT_NE(bars, nullptr);
    ASSERT_NE(bars->barsGroup(), nullptr);
    EXPECT_TRUE(chart->Plot()->findChildren<QCPBarsGroup*>().isEmpty());

    const QSharedPointer<QCPAxisTicker> ticker = chart->Plot()->xAxis->ticker();
    chart.reset();
    calls = 0;
    QVector<double> ticks;
    QVector<QString> labels;
    ticker->generate(QCPRange(0.0, 19.0), QLocale::c(), QLatin1Char('g'), 6, ticks, nullptr, &labels);
    ASSERT_FALSE(labels.isEmpty());
    EXPECT_EQ(calls, labels.size());
    EXPECT_TRUE(labels[0].startsWith(QLatin1Char('t')));
}

}  // namespace
