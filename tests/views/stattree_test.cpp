// The statistics tree window on a run of real hosts over the fake ICMP
// provider: its lines, selection and current host, right-click menu, copy
// commands and refresh timer.
#include <arpa/inet.h>

#include <chrono>
#include <map>
#include <thread>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

#include "StatTreeFrame.h"
#include "StatTreeModel.h"
#include "StatTreeView.h"
#include "ViewIds.h"
#include "ovui/LightColor.h"
#include "ovui/OvCommand.h"
#include "support/fake_icmp.h"
#include "support/view_host.h"

namespace {

using namespace std::chrono_literals;
using ov::test::FakeReply;

// Counts the document's current-host changes.
class HintCounter final : public IPingView {
public:
    void OnUpdate(UINT hint) override { currentHost += hint == HINT_CURRENT_HOST; }
    int currentHost = 0;
};

class StatTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        doc.Settings().TimeDelay = 100;
        doc.Settings().TimeOut = 50;
        doc.PollTime() = 100;
        // Host 1: two replies and a loss, then a request that hangs, so it
        // stays at 3 sent, 1 lost (33 %). Host 2: every request lost.
        provider.SetDestinationCycle(
            inet_addr("127.0.0.1"),
            {{.roundTripTime = 10}, {.roundTripTime = 30}, {.noReply = true}, {.delayMs = 600000}});
        provider.SetDestinationCycle(inet_addr("127.0.0.2"), {{.noReply = true}});
        host = std::make_unique<ov::test::ViewHost>(doc);
        tree = host->TreeFrame().GetTreeView();
        model = tree->GetModel();
        host->Window().resize(800, 600);
        host->Window().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host->Window()));
    }
    void TearDown() override {
        OvSetPopupMenuHook({});
        doc.RemoveView(&counter);
        doc.StopAll();
        host.reset();
    }
    template <class Pred>
    bool WaitFor(Pred pred) {
        for (int i = 0; i < 1000 && !pred(); ++i) {
            QApplication::processEvents();
            std::this_thread::sleep_for(10ms);
        }
        return pred();
    }
    PING_STATS Stats(UINT i) const {
        PING_STATS s{};
        doc.GetHost(i)->GetStatistics(s);
        return s;
    }
    QModelIndex HostNode(int row) const { return model->index(row, 0, {}); }
    QModelIndex Line(int hostRow, int line) const { return model->index(line, 0, HostNode(hostRow)); }
    QString Text(const QModelIndex& index) const { return model->data(index, Qt::DisplayRole).toString(); }
    // Starts both hosts and waits until their counters settle.
    void RunToSteadyCounts() {
        doc.StartRun(u"127.0.0.1 127.0.0.2");
        ASSERT_TRUE(WaitFor([&] { return Stats(0).sent == 3 && Stats(1).sent >= 2; }));
        doc.StopAll();
        tree->Refresh();
    }
    void RightClick(const QModelIndex& item) {
        const QPoint at = tree->visualRect(item).center();
        QTest::mousePress(tree->viewport(), Qt::RightButton, {}, at);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
        QApplication::sendEvent(tree->viewport(), &event);
        QTest::mouseRelease(tree->viewport(), Qt::RightButton, {}, at);
    }

    ov::test::FakeIcmpProvider provider;
    ov::test::ProviderScope scope{{&provider}};
    COvPingDoc doc;
    HintCounter counter;
    std::unique_ptr<ov::test::ViewHost> host;
    CStatTreeView* tree = nullptr;
    CStatTreeModel* model = nullptr;
};

TEST_F(StatTreeTest, FrameHasTheTreeBarWithBothCopyCommands) {
    QToolBar* bar = host->TreeFrame().GetToolBar();
    EXPECT_EQ(bar->windowTitle(), QStringLiteral("Tree"));
    const auto actions = bar->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(OvCommandId(actions[0]), ID_COPY_HOST);
    EXPECT_EQ(OvCommandId(actions[1]), ID_COPY_ALL);
    EXPECT_EQ(model->HostCount(), 0);
}

TEST_F(StatTreeTest, LinesThroughTheViewWithTruncatedPercentageAndNotAvailable) {
    RunToSteadyCounts();
    ASSERT_EQ(model->HostCount(), 2);
    EXPECT_EQ(Text(HostNode(0)), QStringLiteral("127.0.0.1"));
    ASSERT_EQ(model->rowCount(HostNode(0)), 8);
    EXPECT_EQ(Text(Line(0, 0)), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(Text(Line(0, 2)), QStringLiteral("Packets Sent:3"));
    EXPECT_EQ(Text(Line(0, 3)), QStringLiteral("Packets Received:2"));
    EXPECT_EQ(Text(Line(0, 4)), QStringLiteral("Packets Lost:1(33% loss)"));
    EXPECT_EQ(Text(Line(0, 5)), QStringLiteral("Response time Minimum:10ms"));
    EXPECT_EQ(Text(Line(0, 6)), QStringLiteral("Response time Maximum:30ms"));
    EXPECT_EQ(Text(Line(0, 7)), QStringLiteral("Response time  Average:20ms"));

    const DWORD sent = Stats(1).sent;
    EXPECT_EQ(Text(Line(1, 2)), QStringLiteral("Packets Sent:%1").arg(sent));
    EXPECT_EQ(Text(Line(1, 3)), QStringLiteral("Packets Received:0"));
    EXPECT_EQ(Text(Line(1, 4)), QStringLiteral("Packets Lost:%1(100% loss)").arg(sent));
    EXPECT_EQ(Text(Line(1, 5)), QStringLiteral("Response time Minimum: N/A"));
    EXPECT_EQ(Text(Line(1, 6)), QStringLiteral("Response time Maximum: N/A"));
    EXPECT_EQ(Text(Line(1, 7)), QStringLiteral("Response time  Average: N/A"));
    // Every item is expanded and carries its host's index.
    EXPECT_TRUE(tree->isExpanded(HostNode(0)));
    EXPECT_TRUE(tree->isExpanded(HostNode(1)));
    EXPECT_EQ(model->data(HostNode(1), kHostIndexRole).toUInt(), 1u);
}

// Counts the paint events of a widget.
class PaintCounter final : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
    int paints = 0;
};

// Paint events of tree's viewport caused by one refresh.
int PaintsOfARefresh(CStatTreeView& tree) {
    PaintCounter counter;
    tree.viewport()->installEventFilter(&counter);
    tree.Refresh();
    QApplication::processEvents();
    QApplication::processEvents();
    tree.viewport()->removeEventFilter(&counter);
    return counter.paints;
}

// A refresh rewrites the lines of a host that sent since the last one, in one
// change of its eight lines, made anew from the new counts when they are next
// read; a host without news keeps its lines untouched, and a refresh that
// finds no news paints nothing.
TEST_F(StatTreeTest, ARefreshRewritesTheHostsThatChangedOnceAndPaintsNothingElse) {
    doc.PollTime() = 100500;  // refreshed by hand only
    doc.StartRun(u"127.0.0.1 127.0.0.2");
    ASSERT_TRUE(WaitFor([&] { return Stats(0).sent == 3 && Stats(1).sent >= 2; }));
    tree->Refresh();
    const QString hanging = Text(Line(0, 2));
    const QString shown = Text(Line(1, 2));
    EXPECT_EQ(hanging, QStringLiteral("Packets Sent:3"));

    std::map<int, int> changes;  // per host row
    QObject::connect(model, &QAbstractItemModel::dataChanged, [&](const QModelIndex& first, const QModelIndex& last) {
        ASSERT_TRUE(first.parent().isValid());
        EXPECT_EQ(first.parent(), last.parent());
        EXPECT_EQ(first.row(), 0);
        EXPECT_EQ(last.row(), 7);
        ++changes[first.parent().row()];
    });
    ASSERT_TRUE(WaitFor([&] { return QStringLiteral("Packets Sent:%1").arg(Stats(1).sent) != shown; }));
    tree->Refresh();
    EXPECT_EQ(changes[1], 1);
    EXPECT_EQ(changes.count(0), 0u);
    EXPECT_NE(Text(Line(1, 2)), shown);
    EXPECT_EQ(Text(Line(1, 3)), QStringLiteral("Packets Received:0"));
    EXPECT_EQ(Text(Line(0, 2)), hanging);

    // Stopped and settled: nothing changes, nothing is painted.
    doc.StopAll();
    DWORD sent = 0;
    ASSERT_TRUE(WaitFor([&] {
        const DWORD now = Stats(1).sent;
        std::this_thread::sleep_for(200ms);
        sent = Stats(1).sent;
        return now == sent;
    }));
    tree->Refresh();
    EXPECT_EQ(Text(Line(1, 2)), QStringLiteral("Packets Sent:%1").arg(sent));
    QApplication::processEvents();
    changes.clear();
    EXPECT_EQ(PaintsOfARefresh(*tree), 0);
    EXPECT_TRUE(changes.empty());
}

// Lines of a host out of view are passed over by the tree; those in view are
// painted again, even when only the first lines show at the bottom or only
// the last one at the top.
TEST_F(StatTreeTest, AChangedHostIsPaintedWhenAnyOfItsLinesIsInView) {
    doc.PollTime() = 100500;  // refreshed by hand only
    doc.StartRun(u"127.0.0.1 127.0.0.2");
    ASSERT_TRUE(WaitFor([&] { return Stats(0).sent == 3 && Stats(1).sent >= 2; }));
    const int row = tree->visualRect(HostNode(0)).height();
    ASSERT_GT(row, 0);
    tree->setFixedHeight(tree->height() - tree->viewport()->height() + 5 * row);
    QApplication::processEvents();
    // Host 1 (the one that keeps sending) is painted when one of its items
    // is in view, and only then.
    auto paintsAfterANewSend = [&](const QModelIndex& top) {
        tree->scrollTo(top, QAbstractItemView::PositionAtTop);
        tree->Refresh();
        QApplication::processEvents();
        QApplication::processEvents();
        const DWORD sent = Stats(1).sent;
        EXPECT_TRUE(WaitFor([&] { return Stats(1).sent != sent; }));
        return PaintsOfARefresh(*tree);
    };
    EXPECT_EQ(paintsAfterANewSend(HostNode(0)), 0);  // host 0 and four of its lines
    EXPECT_EQ(paintsAfterANewSend(Line(0, 4)), 0);   // host 1's node, none of its lines
    EXPECT_GT(paintsAfterANewSend(Line(0, 6)), 0);   // and its first two lines
    EXPECT_GT(paintsAfterANewSend(Line(1, 7)), 0);   // its last line alone
    tree->scrollTo(Line(1, 2));
    EXPECT_EQ(Text(Line(1, 2)), QStringLiteral("Packets Sent:%1").arg(Stats(1).sent));
}

TEST_F(StatTreeTest, AHostThatSentNothingShowsNoPercentageAndNotAvailable) {
    provider.SetCreateFails(true);
    doc.StartRun(u"127.0.0.1");
    ASSERT_TRUE(WaitFor([&] { return doc.GetHost(0)->GetState() == HS_FAILED; }));
    // A run whose only host failed at once may never have started: build the tree here.
    tree->Rebuild();
    EXPECT_EQ(Text(Line(0, 2)), QStringLiteral("Packets Sent:0"));
    EXPECT_EQ(Text(Line(0, 3)), QStringLiteral("Packets Received:0"));
    EXPECT_EQ(Text(Line(0, 4)), QStringLiteral("Packets Lost:0"));
    EXPECT_EQ(Text(Line(0, 5)), QStringLiteral("Response time Minimum: N/A"));
}

TEST_F(StatTreeTest, SelectionMakesTheCurrentHostOnlyWhenTheHostChanges) {
    doc.AddView(&counter);
    doc.StartRun(u"127.0.0.1 127.0.0.2");
    // The rebuild selected the first host, which made it current.
    EXPECT_EQ(doc.GetCurrentIndex(), 0u);
    EXPECT_EQ(tree->currentIndex(), HostNode(0));
    EXPECT_EQ(counter.currentHost, 1);
    tree->setCurrentIndex(Line(0, 3));
    tree->setCurrentIndex(Line(0, 5));
    EXPECT_EQ(counter.currentHost, 1) << "lines of the current host select nothing new";
    tree->setCurrentIndex(Line(1, 2));
    EXPECT_EQ(doc.GetCurrentIndex(), 1u);
    EXPECT_EQ(counter.currentHost, 2);
    EXPECT_EQ(tree->CurrentHostItem(), HostNode(1));
    tree->setCurrentIndex(HostNode(0));
    EXPECT_EQ(doc.GetCurrentIndex(), 0u);
    EXPECT_EQ(counter.currentHost, 3);
}

TEST_F(StatTreeTest, NoSelectHostDuringARebuild) {
    doc.StartRun(u"127.0.0.1 127.0.0.2");
    tree->setCurrentIndex(Line(1, 1));
    ASSERT_EQ(doc.GetCurrentIndex(), 1u);
    doc.AddView(&counter);
    // The rebuild drops the caret without choosing a host; only the selection
    // of the first host that a run start makes afterwards may.
    tree->Rebuild();
    EXPECT_FALSE(tree->currentIndex().isValid());
    EXPECT_FALSE(tree->CurrentHostItem().isValid());
    EXPECT_EQ(counter.currentHost, 0);
    EXPECT_EQ(doc.GetCurrentIndex(), 1u);
    // Selecting the same host's line again now chooses it anew.
    tree->setCurrentIndex(Line(1, 1));
    EXPECT_EQ(tree->CurrentHostItem(), HostNode(1));
}

TEST_F(StatTreeTest, CopyHostAfterARightClickCopiesThatLinesHost) {
    RunToSteadyCounts();
    tree->setCurrentIndex(Line(0, 1));
    ASSERT_EQ(tree->CurrentHostItem(), HostNode(0));
    QStringList items;
    OvSetPopupMenuHook([&](QMenu& menu, const QPoint&) {
        items.clear();
        for (QAction* a : menu.actions()) {
            items << a->text();
        }
        return menu.actions().at(0);  // Copy Host
    });
    const int current = doc.GetCurrentIndex();
    RightClick(Line(1, 4));
    EXPECT_EQ(items, (QStringList{QStringLiteral("&Copy Host"), QStringLiteral("Copy &All")}));
    QString expected = Text(HostNode(1)) + QStringLiteral("\r\n");
    for (int i = 0; i < 8; ++i) {
        expected += Text(Line(1, i)) + QStringLiteral("\r\n");
    }
    EXPECT_EQ(QApplication::clipboard()->text(), expected + QLatin1Char(' '));
    // The right click moved neither the selection nor the current host.
    EXPECT_EQ(tree->currentIndex(), Line(0, 1));
    EXPECT_EQ(static_cast<int>(doc.GetCurrentIndex()), current);
    // The toolbar's Copy Host copies the selected host again.
    OvFindCommand(tree, ID_COPY_HOST)->trigger();
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith(QStringLiteral("127.0.0.1\r\n127.0.0.1\r\n")));
    EXPECT_TRUE(QApplication::clipboard()->text().endsWith(QStringLiteral("\r\n ")));

    // A dismissed menu leaves Copy Host on the selected host; a click on no item opens none.
    OvSetPopupMenuHook([&](QMenu&, const QPoint&) { return nullptr; });
    RightClick(Line(1, 0));
    OvFindCommand(tree, ID_COPY_HOST)->trigger();
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith(QStringLiteral("127.0.0.1\r\n")));
    items.clear();
    const QPoint empty(5, tree->viewport()->height() - 3);
    ASSERT_FALSE(tree->indexAt(empty).isValid());
    QContextMenuEvent event(QContextMenuEvent::Mouse, empty, tree->viewport()->mapToGlobal(empty));
    QApplication::sendEvent(tree->viewport(), &event);
    EXPECT_TRUE(items.isEmpty());

    // The menu key acts on the caret item.
    tree->setCurrentIndex(Line(1, 6));
    OvSetPopupMenuHook([&](QMenu& menu, const QPoint&) { return menu.actions().at(0); });
    QContextMenuEvent key(QContextMenuEvent::Keyboard, empty, tree->viewport()->mapToGlobal(empty));
    QApplication::sendEvent(tree->viewport(), &key);
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith(QStringLiteral("127.0.0.2\r\n127.0.0.2\r\n")));
}

TEST_F(StatTreeTest, CopyAllTakesVisibleItemsOnlyAndEmptyTextTouchesNothing) {
    QApplication::clipboard()->setText(QStringLiteral("untouched"));
    OvFindCommand(tree, ID_COPY_ALL)->trigger();
    OvFindCommand(tree, ID_COPY_HOST)->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("untouched"));

    RunToSteadyCounts();
    tree->collapse(HostNode(0));
    OvFindCommand(tree, ID_COPY_ALL)->trigger();
    QString expected = QStringLiteral("127.0.0.1\r\n127.0.0.2\r\n");
    for (int i = 0; i < 8; ++i) {
        expected += Text(Line(1, i)) + QStringLiteral("\r\n");
    }
    EXPECT_EQ(QApplication::clipboard()->text(), expected + QLatin1Char(' '));
}

TEST_F(StatTreeTest, RefreshTimerFollowsRunAndSettings) {
    EXPECT_FALSE(tree->RefreshTimer().isActive());
    doc.StartRun(u"127.0.0.1");
    EXPECT_TRUE(tree->RefreshTimer().isActive());
    EXPECT_EQ(tree->RefreshTimer().interval(), 100);
    // The timer rewrites the lines as the counters grow.
    ASSERT_TRUE(WaitFor([&] { return Text(Line(0, 2)) == QStringLiteral("Packets Sent:3"); }));
    doc.StopAll();
    EXPECT_FALSE(tree->RefreshTimer().isActive());
    doc.PollTime() = 750;
    doc.ApplySettings();
    EXPECT_TRUE(tree->RefreshTimer().isActive());
    EXPECT_EQ(tree->RefreshTimer().interval(), 750);
}

TEST_F(StatTreeTest, HostLinesAreBlueAndTheMarkedItemsBoxIsTheTextWidthPlusSeven) {
    RunToSteadyCounts();
    tree->setCurrentIndex(Line(0, 2));
    QApplication::processEvents();
    const QImage shot = tree->viewport()->grab().toImage();
    const auto count = [&](const QRect& r, auto pred) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = std::max(r.left(), 0); x <= r.right() && x < shot.width(); ++x) {
                n += pred(shot.pixelColor(x, y));
            }
        }
        return n;
    };
    const auto blue = [](const QColor& c) { return c.blue() > 200 && c.red() < 60 && c.green() < 60; };
    EXPECT_GT(count(tree->visualRect(HostNode(1)), blue), 10) << "host names are blue";
    EXPECT_EQ(count(tree->visualRect(Line(1, 2)), blue), 0);

    // The selected line gets the light background in a box as wide as its text + 7.
    const QColor highlight = QApplication::palette().color(QPalette::Highlight);
    const QColor tint = LightColor(highlight, QColor(255, 255, 255), 16);
    const QRect row = tree->visualRect(Line(0, 2));
    const auto tinted = [&](const QColor& c) { return c == tint; };
    int first = -1, last = -1;
    for (int x = row.left(); x <= row.right(); ++x) {
        if (tinted(shot.pixelColor(x, row.top() + 1))) {
            first = first < 0 ? x : first;
            last = x;
        }
    }
    ASSERT_GE(first, 0);
    QFont font = tree->font();
    font.setUnderline(true);
    const int textWidth = QFontMetrics(font).horizontalAdvance(Text(Line(0, 2)));
    EXPECT_EQ(last - first + 1, textWidth + 7);
    // Its host node is marked too (a line of it is selected); other hosts are not.
    EXPECT_GT(count(tree->visualRect(HostNode(0)), tinted), 0);
    EXPECT_EQ(count(tree->visualRect(HostNode(1)), tinted), 0);
}

TEST_F(StatTreeTest, AnEmptyHostListKeepsTheOldTree) {
    RunToSteadyCounts();
    doc.StartRun(u" ;, ");
    EXPECT_EQ(model->HostCount(), 2);
    EXPECT_EQ(Text(HostNode(1)), QStringLiteral("127.0.0.2"));
}

}  // namespace
