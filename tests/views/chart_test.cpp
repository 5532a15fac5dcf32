// The chart window on runs of real hosts over the fake ICMP provider: its
// series and samples, time labels, commands and check marks, menu, saving
// and sample timer. Samples are taken by hand: the poll interval is long
// enough that the timer never fires during a test.
#include <arpa/inet.h>

#include <chrono>
#include <cmath>
#include <thread>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include "ChartFrame.h"
#include "ChartView.h"
#include "OvChartCtrl.h"
#include "ViewIds.h"
#include "ovcppstd.h"
#include "ovui/OvCommand.h"
#include "support/fake_icmp.h"

namespace {

using namespace std::chrono_literals;

constexpr DWORD kPollTime = 100500;  // samples are taken by hand
constexpr int kFirstSample = CChartView::kPlaceholderPoints;

class ChartTest : public ::testing::Test {
protected:
    void SetUp() override {
        doc.Settings().TimeDelay = 100;
        doc.Settings().TimeOut = 50;
        doc.PollTime() = kPollTime;
        // 127.0.0.1 answers in 10 ms, 127.0.0.2 never, 127.0.0.3 in 20 ms.
        provider.SetDestinationCycle(inet_addr("127.0.0.1"), {{.roundTripTime = 10}});
        provider.SetDestinationCycle(inet_addr("127.0.0.2"), {{.noReply = true}});
        provider.SetDestinationCycle(inet_addr("127.0.0.3"), {{.roundTripTime = 20}});
        frame = CChartFrame::New(doc);
        ASSERT_NE(frame, nullptr);
        view = frame->GetChartView();
        chart = view->GetChart();
        frame->resize(700, 400);
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    }
    void TearDown() override {
        OvSetPopupMenuHook({});
        doc.StopAll();
        frame.reset();
    }
    template <class Pred>
    bool WaitFor(Pred pred) {
        for (int i = 0; i < 1000 && !pred(); ++i) {
            QApplication::processEvents();
            std::this_thread::sleep_for(10ms);
        }
        return pred();
    }
    // The host's newest event; type -1 when it has none yet.
    PING_EVENT LastEvent(UINT host) const {
        PING_EVENT event{};
        event.type = -1;
        doc.GetHost(host)->GetLastEvent(event);
        return event;
    }
    // Starts the hosts and waits until each one's newest event is a reply or a loss.
    void StartAndSettle(std::u16string_view hosts) {
        doc.StartRun(hosts);
        ASSERT_TRUE(WaitFor([&] {
            for (UINT i = 0; i < doc.GetHostCount(); ++i) {
                const std::int32_t type = LastEvent(i).type;
                if (type != PE_REPLY && type != PE_LOST) {
                    return false;
                }
            }
            return true;
        }));
    }
    QAction* Command(unsigned id) const { return OvFindCommand(view, id); }
    void Run(unsigned id) { Command(id)->trigger(); }
    void RightClick(const QPoint& at) {
        QTest::mousePress(chart->Plot(), Qt::RightButton, {}, at);
        QTest::mouseRelease(chart->Plot(), Qt::RightButton, {}, at);
    }

    ov::test::FakeIcmpProvider provider;
    ov::test::ProviderScope scope{{&provider}};
    COvPingDoc doc;
    std::unique_ptr<CChartFrame> frame;
    CChartView* view = nullptr;
    COvChartCtrl* chart = nullptr;
};

TEST_F(ChartTest, FrameBarAndTheEmptyChartBeforeTheFirstRun) {
    QToolBar* bar = frame->GetToolBar();
    EXPECT_EQ(bar->windowTitle(), QStringLiteral("Chart"));
    const auto actions = bar->actions();
    ASSERT_EQ(actions.size(), qsizetype(kChartBar.size()));
    for (std::size_t i = 0; i < kChartBar.size(); ++i) {
        EXPECT_EQ(OvCommandId(actions[qsizetype(i)]), kChartBar[i]) << i;
    }
    for (const unsigned id : {ID_CHART_3D, ID_CHART_LEGEND, ID_CHART_GRID, ID_CHART_LINE}) {
        EXPECT_TRUE(Command(id)->isChecked()) << id;
    }
    EXPECT_FALSE(Command(ID_CHART_BAR)->isChecked());

    // Hidden placeholder points only, no legend, the y title at 10 points.
    EXPECT_TRUE(chart->Is3D());
    EXPECT_FALSE(chart->HasLegendBox());
    ASSERT_GT(chart->EndPoint(), 0);
    EXPECT_EQ(chart->Value(0, chart->EndPoint() - 1), OVCHART_HIDDEN);
    EXPECT_EQ(chart->Plot()->yAxis->label(), QStringLiteral("Response Time(ms)"));
    EXPECT_EQ(chart->Plot()->yAxis->labelFont().pointSize(), 10);
    EXPECT_FALSE(view->IsReady());

    // The control overlaps the view by 2 pixels on every side, also after a resize.
    EXPECT_EQ(chart->geometry(), view->rect().adjusted(-2, -2, 2, 2));
    frame->resize(500, 300);
    QApplication::processEvents();
    EXPECT_EQ(chart->geometry(), view->rect().adjusted(-2, -2, 2, 2));
}

TEST_F(ChartTest, OnePointPerHostAndTickByEventTypeAndMinusTwoForAVanishedHost) {
    StartAndSettle(u"127.0.0.1 127.0.0.2");
    ASSERT_TRUE(view->IsReady());
    EXPECT_EQ(view->SeriesHosts(), (std::vector<UINT>{0, 1}));
    ASSERT_EQ(chart->SeriesCount(), 2);
    EXPECT_EQ(chart->SeriesLegend(0), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(chart->SeriesLegend(1), QStringLiteral("127.0.0.2"));
    EXPECT_TRUE(chart->HasLegendBox());
    EXPECT_EQ(chart->BufferSize(), CChartView::kBufferPoints);
    EXPECT_EQ(chart->EndPoint(), kFirstSample);
    EXPECT_EQ(chart->Value(1, kFirstSample - 1), OVCHART_HIDDEN);
    EXPECT_EQ(view->TimeOrigin(), 0);

    view->Sample();
    ASSERT_EQ(chart->EndPoint(), kFirstSample + 1);
    EXPECT_EQ(chart->Value(0, kFirstSample), 10.0);           // a reply: its time
    EXPECT_EQ(chart->Value(1, kFirstSample), OVCHART_HIDDEN);  // a loss: a gap
    EXPECT_EQ(view->TimeOrigin(), LastEvent(0).time);
    const std::int64_t origin = view->TimeOrigin();

    // The hosts go without a run-stopped hint: their series show -2.0.
    doc.StartRun(u"");
    ASSERT_EQ(doc.GetHostCount(), 0u);
    view->Sample();
    ASSERT_EQ(chart->EndPoint(), kFirstSample + 2);
    EXPECT_EQ(chart->Value(0, kFirstSample + 1), CChartView::kVanishedHost);
    EXPECT_EQ(chart->Value(1, kFirstSample + 1), CChartView::kVanishedHost);
    EXPECT_EQ(view->TimeOrigin(), origin);
    // The sample timer runs at the poll interval until the run stops.
    EXPECT_EQ(view->SampleTimer().interval(), int(kPollTime));
    doc.StopAll();
    EXPECT_FALSE(view->SampleTimer().isActive());
    doc.ApplySettings();
    EXPECT_FALSE(view->SampleTimer().isActive());
}

TEST_F(ChartTest, PlaceholderLabelsAreEmptyAndSamplesCountFromTheOrigin) {
    StartAndSettle(u"127.0.0.1");
    EXPECT_EQ(view->XLabel(kFirstSample), QString());  // no time known yet
    for (int i = 0; i < 4; ++i) {
        view->Sample();
    }
    const std::int64_t origin = view->TimeOrigin();
    ASSERT_NE(origin, 0);
    EXPECT_EQ(view->XLabel(0), QString());
    EXPECT_EQ(view->XLabel(kFirstSample - 1), QString());
    EXPECT_EQ(view->XLabel(kFirstSample).toStdU16String(), FormatDateTime(origin));
    // 100.5 s apart: sample 1 is 100 s on, sample 3 is 301 s on (whole seconds).
    EXPECT_EQ(view->XLabel(kFirstSample + 1).toStdU16String(), FormatDateTime(origin + 100));
    EXPECT_EQ(view->XLabel(kFirstSample + 3).toStdU16String(), FormatDateTime(origin + 301));

    // The control asks the view for the x labels it draws; the y axis keeps numbers.
    chart->Plot()->replot(QCustomPlot::rpImmediateRefresh);
    const QVector<double> ticks = chart->Plot()->xAxis->tickVector();
    const QVector<QString> labels = chart->Plot()->xAxis->tickVectorLabels();
    ASSERT_EQ(ticks.size(), labels.size());
    int dated = 0;
    for (qsizetype i = 0; i < ticks.size(); ++i) {
        const auto point = static_cast<std::int64_t>(std::llround(ticks[i]));
        if (point >= chart->EndPoint()) {
            continue;
        }
        EXPECT_EQ(labels[i], view->XLabel(point)) << point;
        dated += point >= kFirstSample;
    }
    EXPECT_GT(dated, 0);
}

TEST_F(ChartTest, BarPassesTheSeriesCountLineAndAreaPassOne) {
    // Before a run bar has no series to count: the control refuses, nothing breaks.
    Run(ID_CHART_BAR);
    EXPECT_EQ(chart->Gallery(), OVCHART_BAR);
    EXPECT_TRUE(Command(ID_CHART_BAR)->isChecked());
    EXPECT_FALSE(Command(ID_CHART_LINE)->isChecked());

    // A run set up under the bar gallery counts its own series.
    StartAndSettle(u"127.0.0.1 127.0.0.2 127.0.0.3");
    EXPECT_EQ(chart->GallerySeriesCount(), 3);
    Run(ID_CHART_AREA);
    EXPECT_EQ(chart->Gallery(), OVCHART_AREA);
    EXPECT_EQ(chart->GallerySeriesCount(), 1);
    EXPECT_TRUE(Command(ID_CHART_AREA)->isChecked());
    EXPECT_FALSE(Command(ID_CHART_BAR)->isChecked());
    Run(ID_CHART_BAR);
    EXPECT_EQ(chart->GallerySeriesCount(), 3);
    Run(ID_CHART_LINE);
    EXPECT_EQ(chart->Gallery(), OVCHART_LINE);
    EXPECT_EQ(chart->GallerySeriesCount(), 1);
    Run(ID_CHART_GRID);
    EXPECT_FALSE(chart->Plot()->yAxis->grid()->visible());
}

TEST_F(ChartTest, LegendToggledBeforeTheFirstRunStaysHiddenUntilARun) {
    Run(ID_CHART_LEGEND);
    EXPECT_FALSE(Command(ID_CHART_LEGEND)->isChecked());
    Run(ID_CHART_LEGEND);
    EXPECT_TRUE(Command(ID_CHART_LEGEND)->isChecked());
    EXPECT_FALSE(chart->HasLegendBox());

    StartAndSettle(u"127.0.0.1");
    EXPECT_TRUE(chart->HasLegendBox());
    Run(ID_CHART_LEGEND);
    EXPECT_FALSE(chart->HasLegendBox());
    // The flag survives the next run's set-up.
    doc.StopAll();
    StartAndSettle(u"127.0.0.1");
    EXPECT_FALSE(chart->HasLegendBox());
    EXPECT_FALSE(Command(ID_CHART_LEGEND)->isChecked());
}

TEST_F(ChartTest, SaveAndMenuDoNothingBeforeTheFirstRunThenWork) {
    int dialogs = 0;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Chart.bmp"));
    view->SetSaveDialog([&](QWidget*) {
        ++dialogs;
        return path;
    });
    int menus = 0;
    QStringList items;
    QPoint shownAt;
    OvSetPopupMenuHook([&](QMenu& menu, const QPoint& at) -> QAction* {
        ++menus;
        shownAt = at;
        items.clear();
        QAction* bar = nullptr;
        for (QAction* a : menu.actions()) {
            items << a->text();
            if (a->text() == QStringLiteral("&Bar Chart")) {
                bar = a;
            }
        }
        return bar;
    });
    QSignalSpy activated(frame.get(), &COvViewFrame::viewActivated);

    Run(ID_CHART_SAVE);
    const QPoint at(120, 90);
    RightClick(at);
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(menus, 0);
    EXPECT_FALSE(QFile::exists(path));
    // A mouse press on the chart makes it the active view even before a run.
    EXPECT_EQ(activated.count(), 1);

    StartAndSettle(u"127.0.0.1 127.0.0.2");
    view->Sample();
    RightClick(at);
    ASSERT_EQ(menus, 1);
    EXPECT_EQ(shownAt, chart->Plot()->mapToGlobal(at));
    EXPECT_EQ(items, (QStringList{QStringLiteral("3&D View"), QStringLiteral("&Legend Box"),
                                  QStringLiteral("&Gridline"), QString(), QStringLiteral("&Line Chart"),
                                  QStringLiteral("&Area Chart"), QStringLiteral("&Bar Chart"), QString(),
                                  QStringLiteral("&Save Chart")}));
    EXPECT_EQ(chart->Gallery(), OVCHART_BAR);  // chosen from the menu
    EXPECT_EQ(chart->GallerySeriesCount(), 2);

    // The saved bitmap has the chart's size.
    Run(ID_CHART_SAVE);
    EXPECT_EQ(dialogs, 1);
    const QImage image(path);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), chart->size());

    // Cancelled: no file.
    QFile::remove(path);
    view->SetSaveDialog([](QWidget*) { return QString(); });
    Run(ID_CHART_SAVE);
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(ChartTest, AFailingControlCallAbandonsTheRestOfTheHandler) {
    // More hosts than the control takes series: opening the data fails.
    StartAndSettle(u"127.0.0.1");
    std::u16string many;
    for (int i = 0; i <= OVCHART_MAX_SERIES; ++i) {
        many += u"127.0.0.3 ";
    }
    doc.SetRequestLimit(1);
    doc.StartRun(many);
    ASSERT_EQ(view->SeriesHosts().size(), std::size_t(OVCHART_MAX_SERIES) + 1);
    // The legend box went off first; the previous run's single series stays.
    EXPECT_FALSE(chart->HasLegendBox());
    EXPECT_EQ(chart->SeriesCount(), 1);
    EXPECT_EQ(chart->SeriesLegend(0), QStringLiteral("127.0.0.1"));
    const std::int64_t end = chart->EndPoint();
    view->Sample();
    EXPECT_EQ(chart->EndPoint(), end);
    EXPECT_TRUE(view->IsReady());
    EXPECT_TRUE(Command(ID_CHART_LEGEND)->isChecked());

    // The control stays usable: the next run is drawn as usual.
    doc.StopAll();
    doc.SetRequestLimit(0);
    StartAndSettle(u"127.0.0.1 127.0.0.3");
    view->Sample();
    EXPECT_EQ(chart->SeriesCount(), 2);
    EXPECT_TRUE(chart->HasLegendBox());
    EXPECT_EQ(chart->Value(1, kFirstSample), 20.0);
}

}  // namespace
