// A run of hundreds of hosts started from the main window: it starts in
// slices from the event loop, with a busy cursor and its progress, and Stop
// works meanwhile. Hosts ping the scripted ICMP provider.
#include <memory>
#include <string>

#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "ChartView.h"
#include "HistoryComboBox.h"
#include "MainFrame.h"
#include "OvChartCtrl.h"
#include "OvPingDoc.h"
#include "RunStarter.h"
#include "StatTreeFrame.h"
#include "StatTreeModel.h"
#include "StatTreeView.h"
#include "ovui/OvViewFrame.h"
#include "support/fake_icmp.h"

namespace {

constexpr UINT kHosts = 300;

class RunStartTest : public ::testing::Test {
protected:
    RunStartTest() {
        qputenv("OV_REGISTRY_DIR", registry.path().toLocal8Bit());
        fake.SetDefault({.roundTripTime = 2});
        frame = std::make_unique<CMainFrame>(doc, nullptr, u"Software\\Orvantek Test\\RunStart");
        frame->ShowAtPlacement();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        QString hosts;
        for (UINT i = 0; i < kHosts; ++i) {
            hosts += QStringLiteral("127.0.%1.%2 ").arg(i / 250).arg(i % 250 + 1);
        }
        frame->HostEntry()->setEditText(hosts);
    }
    ~RunStartTest() override {
        frame.reset();
        doc.StopAll();
        qputenv("OV_REGISTRY_DIR", registryBefore);
    }

    QString ButtonText() const { return frame->StartStopButton()->defaultAction()->text(); }
    bool BusyCursorShown() const {
        return QApplication::overrideCursor() != nullptr && QApplication::overrideCursor()->shape() == Qt::BusyCursor;
    }
    COvChartCtrl* Chart() const {
        auto* chartFrame = qobject_cast<COvViewFrame*>(frame->ChartRow());
        return qobject_cast<CChartView*>(chartFrame->GetView())->GetChart();
    }

    const QByteArray registryBefore = qgetenv("OV_REGISTRY_DIR");
    QTemporaryDir registry;
    ov::test::FakeIcmpProvider fake;
    ov::test::ProviderScope scope{{&fake}};
    COvPingDoc doc;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(RunStartTest, StopDuringALargeStartLeavesNoHostRunningAndTheWindowReady) {
    QTest::keyClick(frame->HostEntry()->lineEdit(), Qt::Key_Return);
    // The first hosts started at once; the others wait for the event loop,
    // while the button already stops the run.
    ASSERT_TRUE(frame->RunStarter()->IsStarting());
    EXPECT_GT(doc.GetHostCount(), 0u);
    EXPECT_LT(doc.GetHostCount(), kHosts);
    EXPECT_TRUE(doc.IsRunning());
    EXPECT_EQ(ButtonText(), QStringLiteral("Stop Ping "));
    EXPECT_TRUE(frame->StartStopButton()->isEnabled());
    EXPECT_TRUE(BusyCursorShown());
    EXPECT_TRUE(frame->StartProgress()->isVisible());
    EXPECT_EQ(frame->StartProgress()->maximum(), static_cast<int>(kHosts));

    QTest::mouseClick(frame->StartStopButton(), Qt::LeftButton);
    const UINT made = doc.GetHostCount();
    EXPECT_FALSE(frame->RunStarter()->IsStarting());
    EXPECT_FALSE(doc.IsRunning());
    EXPECT_EQ(doc.GetPendingCount(), 0u);
    EXPECT_FALSE(BusyCursorShown());
    EXPECT_FALSE(frame->StartProgress()->isVisible());
    EXPECT_EQ(ButtonText(), QStringLiteral("Start Ping"));
    EXPECT_TRUE(frame->HostEntry()->isEnabled());
    // No slice comes late, and no host made so far pings.
    for (int turn = 0; turn < 20; ++turn) {
        QApplication::processEvents();
    }
    EXPECT_EQ(doc.GetHostCount(), made);
    for (UINT i = 0; i < made; ++i) {
        ASSERT_NE(doc.GetHost(i), nullptr);
        EXPECT_NE(doc.GetHost(i)->GetState(), static_cast<DWORD>(HS_PINGING)) << i;
    }

    // A second start gets every host, in the tree and in the chart.
    QTest::mouseClick(frame->StartStopButton(), Qt::LeftButton);
    EXPECT_TRUE(doc.IsRunning());
    QTRY_VERIFY_WITH_TIMEOUT(!frame->RunStarter()->IsStarting(), 30000);
    EXPECT_TRUE(doc.IsRunning());
    ASSERT_EQ(doc.GetHostCount(), kHosts);
    EXPECT_FALSE(BusyCursorShown());
    EXPECT_FALSE(frame->StartProgress()->isVisible());
    CStatTreeModel* tree = frame->TreeFrame()->GetTreeView()->GetModel();
    ASSERT_EQ(tree->HostCount(), static_cast<int>(kHosts));
    EXPECT_EQ(tree->Host(kHosts - 1).hostIndex, kHosts - 1);
    EXPECT_TRUE(frame->TreeFrame()->GetTreeView()->isExpanded(tree->index(kHosts - 1, 0, {})));
    // The chart takes the hosts in with its samples.
    QTRY_COMPARE_WITH_TIMEOUT(Chart()->SeriesCount(), static_cast<int>(kHosts), 30000);
    EXPECT_EQ(Chart()->SeriesLegend(kHosts - 1), QStringLiteral("127.0.1.50"));
}

TEST_F(RunStartTest, TheHostEntryTakesFiveThousandHosts) {
    QString hosts;
    for (int i = 0; i < 5000; ++i) {
        hosts += QStringLiteral("127.0.%1.%2 ").arg(i / 250).arg(i % 250 + 1);
    }
    frame->HostEntry()->setEditText(hosts);
    EXPECT_EQ(frame->HostEntry()->currentText(), hosts);
}

}  // namespace
