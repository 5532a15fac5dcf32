// The chart window on runs of real hosts over the fake ICMP provider: its
// series and samples, time labels, commands and check marks, menu, saving,
// sample timer and runs of more hosts than the chart takes. Samples are taken
// by hand: the poll interval is long enough that the timer never fires
// during a test.
#include <arpa/inet.h>

#include <chrono>
#include <cmath>
#include <thread>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QSignalSpy>
#include <QStatusTipEvent>
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

    view->Sample();
    ASSERT_EQ(chart->EndPoint(), kFirstSample + 1);
    EXPECT_EQ(chart->Value(0, kFirstSample), 10.0);            // a reply: its time
    EXPECT_EQ(chart->Value(1, kFirstSample), OVCHART_HIDDEN);  // a loss: a gap

    // The hosts go without a run-stopped hint: their series show -2.0.
    doc.StartRun(u"");
    ASSERT_EQ(doc.GetHostCount(), 0u);
    view->Sample();
    ASSERT_EQ(chart->EndPoint(), kFirstSample + 2);
    EXPECT_EQ(chart->Value(0, kFirstSample + 1), CChartView::kVanishedHost);
    EXPECT_EQ(chart->Value(1, kFirstSample + 1), CChartView::kVanishedHost);
    // The sample timer runs at the poll interval until the run stops.
    EXPECT_EQ(view->SampleTimer().interval(), int(kPollTime));
    doc.StopAll();
    EXPECT_FALSE(view->SampleTimer().isActive());
    doc.ApplySettings();
    EXPECT_FALSE(view->SampleTimer().isActive());
}

TEST_F(ChartTest, EverySampleIsLabelledWithTheTimeItWasTaken) {
    // Samples 500 ms apart, then 1000 ms apart after the poll interval
    // changed: each label is its sample's own time, whatever the interval now.
    std::int64_t now = 1'700'000'000;
    view->SetClock([&now] { return now; });
    StartAndSettle(u"127.0.0.1");
    EXPECT_EQ(view->XLabel(kFirstSample), QString());  // not taken yet
    doc.PollTime() = 500;
    const std::vector<std::int64_t> times = {now, now, now + 1, now + 1, now + 2, now + 3, now + 4};
    for (std::size_t k = 0; k < times.size(); ++k) {
        if (k == 4) {
            doc.PollTime() = 1000;
        }
        now = times[k];
        view->Sample();
    }
    EXPECT_EQ(view->XLabel(0), QString());
    EXPECT_EQ(view->XLabel(kFirstSample - 1), QString());
    for (std::size_t k = 0; k < times.size(); ++k) {
        EXPECT_EQ(view->XLabel(kFirstSample + std::int64_t(k)).toStdU16String(), FormatDateTime(times[k])) << k;
    }
    EXPECT_EQ(view->XLabel(kFirstSample + std::int64_t(times.size())), QString());

    // The control asks the view for the x labels it draws (those that fit);
    // the y axis keeps numbers.
    for (int k = 0; k < 150; ++k) {
        ++now;
        view->Sample();
    }
    chart->Plot()->replot(QCustomPlot::rpImmediateRefresh);
    const QVector<double> ticks = chart->Plot()->xAxis->tickVector();
    const QVector<QString> labels = chart->Plot()->xAxis->tickVectorLabels();
    ASSERT_EQ(ticks.size(), labels.size());
    int dated = 0;
    for (qsizetype i = 0; i < ticks.size(); ++i) {
        const auto point = static_cast<std::int64_t>(std::llround(ticks[i]));
        if (point < chart->EndPoint() && !labels[i].isEmpty()) {
            EXPECT_EQ(labels[i], view->XLabel(point)) << point;
            dated += point >= kFirstSample;
        }
    }
    EXPECT_GT(dated, 0);

    // A new run labels its own samples from its first one.
    doc.StopAll();
    StartAndSettle(u"127.0.0.1");
    now += 60;
    view->Sample();
    EXPECT_EQ(view->XLabel(kFirstSample).toStdU16String(), FormatDateTime(now));
    EXPECT_EQ(view->XLabel(kFirstSample + 1), QString());
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
    EXPECT_EQ(items,
              (QStringList{QStringLiteral("3&D View"), QStringLiteral("&Legend Box"), QStringLiteral("&Gridline"),
                           QString(), QStringLiteral("&Line Chart"), QStringLiteral("&Area Chart"),
                           QStringLiteral("&Bar Chart"), QString(), QStringLiteral("&Save Chart")}));
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

// Texts the view sends to the status bar of its window.
class StatusTips : public QObject {
public:
    explicit StatusTips(QWidget& window) { window.installEventFilter(this); }
    std::vector<QString> tips;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::StatusTip) {
            tips.push_back(static_cast<QStatusTipEvent*>(event)->tip());
        }
        return QObject::eventFilter(watched, event);
    }
};

TEST_F(ChartTest, MoreHostsThanTheChartTakesChartTheFirstAndSaySoOnce) {
    StatusTips status(*frame);
    constexpr int kHosts = OVCHART_MAX_SERIES + 76;
    std::u16string many = u"127.0.0.1 ";
    for (int i = 1; i < kHosts; ++i) {
        many += u"127.0.0.3 ";
    }
    doc.SetRequestLimit(1);
    StartAndSettle(many);
    ASSERT_EQ(doc.GetHostCount(), UINT(kHosts));
    ASSERT_EQ(view->SeriesHosts().size(), std::size_t(OVCHART_MAX_SERIES));
    EXPECT_EQ(view->SeriesHosts().back(), UINT(OVCHART_MAX_SERIES - 1));
    ASSERT_EQ(chart->SeriesCount(), OVCHART_MAX_SERIES);
    EXPECT_EQ(chart->SeriesLegend(0), QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(chart->HasLegendBox());
    view->Sample();
    view->Sample();
    ASSERT_EQ(chart->EndPoint(), kFirstSample + 2);
    EXPECT_EQ(chart->Value(0, kFirstSample + 1), 10.0);
    EXPECT_EQ(chart->Value(OVCHART_MAX_SERIES - 1, kFirstSample + 1), 20.0);
    QApplication::processEvents();
    ASSERT_EQ(status.tips.size(), 1u);
    EXPECT_EQ(status.tips[0], QStringLiteral("The chart shows the first 1024 of 1100 hosts."));

    // A run the chart takes whole says nothing.
    doc.StopAll();
    doc.SetRequestLimit(0);
    StartAndSettle(u"127.0.0.1 127.0.0.3");
    view->Sample();
    EXPECT_EQ(chart->SeriesCount(), 2);
    EXPECT_EQ(chart->Value(1, kFirstSample), 20.0);
    EXPECT_EQ(status.tips.size(), 1u);
}

}  // namespace
