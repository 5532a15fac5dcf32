// The log list window: its ring and rows, the full-ring rules, both
// presentations, copying, colours, the context menu and the notifications of
// a real host on the fake ICMP provider.
#include <arpa/inet.h>
#include <netdb.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

#include "LogListFrame.h"
#include "LogListView.h"
#include "LogText.h"
#include "MsgFormat.h"
#include "PingNotifyAdapter.h"
#include "PingServices.h"
#include "ViewIds.h"
#include "ovui/LightColor.h"
#include "ovui/OvCommand.h"
#include "ovui/OvStatic.h"
#include "support/fake_icmp.h"
#include "support/view_host.h"

namespace {

using namespace std::chrono_literals;

// A reply whose round-trip time tells the events apart.
PING_EVENT Reply(DWORD rtt) {
    PING_EVENT e{};
    e.type = PE_REPLY;
    e.time = 1700000000;
    e.reply.RoundTripTime = rtt;
    e.reply.DataSize = 32;
    e.reply.Options.Ttl = 64;
    return e;
}

PING_EVENT Lost() {
    PING_EVENT e{};
    e.type = PE_LOST;
    e.time = 1700000000;
    return e;
}

class LogListTest : public ::testing::Test {
protected:
    void SetUp() override {
        frame = CLogListFrame::New(doc);
        ASSERT_NE(frame, nullptr);
        list = frame->GetListView();
        frame->resize(700, 400);
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    }
    // Shows count replies numbered 0.. by their round-trip time.
    void Fill(DWORD count) {
        CEventRing ring;
        for (DWORD i = 0; i < count; ++i) {
            ring.Push(Reply(i));
        }
        list->ShowEvents(ring, QStringLiteral("host"));
    }
    // Round-trip time (the event's number) shown in row.
    DWORD EventNumber(int row) const { return list->GetRing().Oldest(static_cast<DWORD>(row)).reply.RoundTripTime; }

    COvPingDoc doc;
    std::unique_ptr<CLogListFrame> frame;
    CLogListView* list = nullptr;
};

TEST_F(LogListTest, FrameHasTheLogListBarWithTheCaptionAtItsEnd) {
    QToolBar* bar = frame->GetToolBar();
    EXPECT_EQ(bar->windowTitle(), QStringLiteral("Log List"));
    const auto actions = bar->actions();
    ASSERT_EQ(actions.size(), 9);
    EXPECT_EQ(OvCommandId(actions[0]), ID_EDIT_COPY);
    EXPECT_EQ(OvCommandId(actions[1]), ID_EDIT_SELECT_ALL);
    EXPECT_EQ(OvCommandId(actions[3]), ID_AUTO_SCROLL);
    EXPECT_EQ(OvCommandId(actions[5]), ID_CLASSIC_VIEW);
    EXPECT_EQ(OvCommandId(actions[6]), ID_TABLE_VIEW);
    EXPECT_EQ(bar->widgetForAction(actions[8]), frame->GetCaptionControl());
    Fill(3);
    EXPECT_EQ(frame->GetCaptionControl()->GetCaption(), QStringLiteral("host"));
    // Fresh views open in classic view with auto scroll on, focused.
    EXPECT_EQ(list->GetViewMode(), CLogListView::kClassicView);
    EXPECT_TRUE(OvFindCommand(list, ID_AUTO_SCROLL)->isChecked());
    EXPECT_TRUE(OvFindCommand(list, ID_CLASSIC_VIEW)->isChecked());
    EXPECT_FALSE(OvFindCommand(list, ID_TABLE_VIEW)->isChecked());
    EXPECT_EQ(list->GetColumnCount(), 5);
}

TEST_F(LogListTest, SwitchingViewsSetsHeaderGridAndColumnWidths) {
    EXPECT_FALSE(list->IsHeaderVisible());
    EXPECT_FALSE(list->showGrid());
    QApplication::processEvents();
    EXPECT_EQ(list->GetColumnWidth(0), list->viewport()->width());
    for (int column = 1; column < 5; ++column) {
        EXPECT_TRUE(list->isColumnHidden(column));
    }

    OvFindCommand(list, ID_TABLE_VIEW)->trigger();
    EXPECT_EQ(list->GetViewMode(), CLogListView::kTableView);
    EXPECT_TRUE(list->IsHeaderVisible());
    EXPECT_TRUE(list->showGrid());
    EXPECT_EQ(list->GetColumnWidth(0), 150);
    EXPECT_EQ(list->GetColumnWidth(1), 150);
    EXPECT_EQ(list->GetColumnWidth(4), 40);
    EXPECT_TRUE(OvFindCommand(list, ID_TABLE_VIEW)->isChecked());
    EXPECT_FALSE(OvFindCommand(list, ID_CLASSIC_VIEW)->isChecked());
    // In table view a resize leaves column 0 alone.
    frame->resize(500, 400);
    QApplication::processEvents();
    EXPECT_EQ(list->GetColumnWidth(0), 150);

    OvFindCommand(list, ID_CLASSIC_VIEW)->trigger();
    EXPECT_FALSE(list->IsHeaderVisible());
    QApplication::processEvents();
    EXPECT_EQ(list->GetColumnWidth(0), list->viewport()->width());
    // After every resize column 0 spans the width again, with a scroll bar too.
    frame->resize(820, 300);
    Fill(200);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(list->GetColumnWidth(0), list->viewport()->width());
    EXPECT_LT(list->viewport()->width(), list->width());
}

TEST_F(LogListTest, TheCaptionShowsWholeNamesWhileTheBarHasRoom) {
    frame->resize(480, 300);  // about the log list's share of the main window at its default size
    for (const QString& name : {QStringLiteral("LocalHost"), QStringLiteral("gateway.lab.example")}) {
        list->ShowEvents(list->GetRing(), name);
        QApplication::processEvents();
        EXPECT_EQ(frame->GetCaptionControl()->GetShownText().toStdString(), name.toStdString());
        EXPECT_TRUE(frame->GetCaptionControl()->isVisible()) << "not behind the bar's overflow arrow";
    }
}

TEST_F(LogListTest, RowsShowTheRingOldestFirstAndTheAbsoluteNumberPastTheCapacity) {
    Fill(6200);
    EXPECT_EQ(list->GetItemCount(), 5000);
    EXPECT_EQ(EventNumber(0), 1200u);
    EXPECT_EQ(EventNumber(4999), 6199u);
    EXPECT_EQ(list->AbsoluteRow(0), 1200u);
    EXPECT_EQ(list->AbsoluteRow(4999), 6199u);
    list->SetViewMode(CLogListView::kTableView);
    // The table's short time stamp text is the absolute number; it keeps counting.
    EXPECT_EQ(list->GetDisplayText(4999, 0, 5), QStringLiteral("6199"));
    list->AppendEvent(Reply(6200));
    EXPECT_EQ(list->GetDisplayText(4999, 0, 5), QStringLiteral("6200"));
    EXPECT_EQ(list->GetItemCount(), 5000);
    // The classic short line numbers rows by their index.
    list->SetViewMode(CLogListView::kClassicView);
    EXPECT_TRUE(list->GetDisplayText(4999, 0, 5).startsWith(QStringLiteral("[4999] ")));
}

TEST_F(LogListTest, FullRingWithAutoScrollMovesSelectionAndFocusWithTheirEvents) {
    Fill(5000);
    list->SetRowSelected(0, true);
    list->SetRowSelected(1, true);
    list->SetRowSelected(2500, true);
    list->SetRowSelected(4999, true);
    list->SetFocusRow(2500);
    list->AppendEvent(Reply(5000));
    EXPECT_EQ(list->GetItemCount(), 5000);
    // Event 0 left; events 1, 2500 and 4999 moved up one row each.
    EXPECT_EQ(list->GetSelectedRows(), (std::vector<int>{0, 2499, 4998}));
    EXPECT_EQ(EventNumber(0), 1u);
    EXPECT_EQ(EventNumber(2499), 2500u);
    EXPECT_EQ(list->GetFocusRow(), 2499);
    EXPECT_EQ(EventNumber(list->GetFocusRow()), 2500u);
    // The newest row is in view.
    QApplication::processEvents();
    EXPECT_FALSE(list->visualRect(list->model()->index(4999, 0)).isEmpty());
    EXPECT_TRUE(list->viewport()->rect().intersects(list->visualRect(list->model()->index(4999, 0))));
}

TEST_F(LogListTest, TheEventThatFillsTheRingMovesNoSelection) {
    Fill(4999);
    list->SetRowSelected(10, true);
    list->SetFocusRow(10);
    list->AppendEvent(Reply(4999));
    EXPECT_EQ(list->GetItemCount(), 5000);
    EXPECT_EQ(list->GetSelectedRows(), std::vector<int>{10});
    EXPECT_EQ(list->GetFocusRow(), 10);
    list->AppendEvent(Reply(5000));
    EXPECT_EQ(list->GetSelectedRows(), std::vector<int>{9});
    EXPECT_EQ(EventNumber(9), 10u);
}

TEST_F(LogListTest, FullRingWithoutAutoScrollKeepsTheRowsOnScreen) {
    Fill(5000);
    OvFindCommand(list, ID_AUTO_SCROLL)->trigger();
    EXPECT_FALSE(list->IsAutoScroll());
    EXPECT_FALSE(OvFindCommand(list, ID_AUTO_SCROLL)->isChecked());
    list->EnsureVisible(3000);
    QApplication::processEvents();
    const int top = list->GetTopIndex();
    ASSERT_GT(top, 0);
    const DWORD topEvent = EventNumber(top);
    list->SetRowSelected(top + 2, true);
    const DWORD selectedEvent = EventNumber(top + 2);
    list->AppendEvent(Reply(5000));
    QApplication::processEvents();
    EXPECT_EQ(list->GetTopIndex(), top - 1);
    EXPECT_EQ(EventNumber(list->GetTopIndex()), topEvent);
    EXPECT_EQ(list->GetSelectedRows(), std::vector<int>{top + 1});
    EXPECT_EQ(EventNumber(top + 1), selectedEvent);

    // At the top, the selection goes and the newest row comes into view.
    list->scrollToTop();
    QApplication::processEvents();
    ASSERT_EQ(list->GetTopIndex(), 0);
    list->AppendEvent(Reply(5001));
    QApplication::processEvents();
    EXPECT_TRUE(list->GetSelectedRows().empty());
    EXPECT_GT(list->GetTopIndex(), 4900);
}

TEST_F(LogListTest, ABatchGrowsTheRowsOnceAndMovesTheSelectionByTheEventsThatLeft) {
    Fill(4998);
    list->SetRowSelected(1, true);
    list->SetRowSelected(2500, true);
    list->SetFocusRow(2500);
    QSignalSpy inserted(list->model(), &QAbstractItemModel::rowsInserted);
    const std::vector<PING_EVENT> batch = {Reply(4998), Reply(4999), Reply(5000), Reply(5001), Reply(5002)};
    list->AppendEvents(batch);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(list->GetItemCount(), 5000);
    EXPECT_EQ(EventNumber(4999), 5002u);
    // Events 0 to 2 left: row 1's event is gone, event 2500 moved up three rows.
    EXPECT_EQ(list->GetSelectedRows(), std::vector<int>{2497});
    EXPECT_EQ(EventNumber(2497), 2500u);
    EXPECT_EQ(list->GetFocusRow(), 2497);

    // Without auto scroll the rows on screen move with their events too.
    list->SetAutoScroll(false);
    list->EnsureVisible(3000);
    QApplication::processEvents();
    const int top = list->GetTopIndex();
    ASSERT_GT(top, 10);
    const DWORD topEvent = EventNumber(top);
    list->AppendEvents(std::vector<PING_EVENT>{Reply(5003), Reply(5004), Reply(5005), Reply(5006)});
    QApplication::processEvents();
    EXPECT_EQ(list->GetTopIndex(), top - 4);
    EXPECT_EQ(EventNumber(list->GetTopIndex()), topEvent);
    EXPECT_EQ(list->GetSelectedRows(), std::vector<int>{2493});
    EXPECT_EQ(EventNumber(2493), 2500u);
}

TEST_F(LogListTest, CopyTakesLinesInClassicViewAndAllCellsInTableView) {
    CEventRing ring;
    ring.Push(Reply(5));
    ring.Push(Lost());
    list->ShowEvents(ring, QStringLiteral("example.host"));
    const CLogTexts texts;
    QAction* copy = OvFindCommand(list, ID_EDIT_COPY);
    EXPECT_FALSE(copy->isEnabled());
    QApplication::clipboard()->setText(QStringLiteral("untouched"));
    OvFindCommand(list, ID_EDIT_SELECT_ALL)->trigger();
    ASSERT_TRUE(copy->isEnabled());
    copy->trigger();
    const QString stamp = QString::fromStdU16String(FormatTimeStamp(1700000000));
    EXPECT_EQ(QApplication::clipboard()->text(),
              QStringLiteral("[%1]Reply form example.host: bytes = 32 time = 5ms TTL = 64\r\n"
                             "[%1]Reply form example.host: Request timed out.\r\n")
                  .arg(stamp));

    list->SetViewMode(CLogListView::kTableView);
    copy->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(),
              QStringLiteral("%1\tSuccess\t32\t5\t64\r\n%1\tRequest timed out.\t\t\t\r\n").arg(stamp));
    OvFindCommand(list, ID_COPY_COLUMN[3])->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("5\r\n\r\n"));

    list->clearSelection();
    EXPECT_FALSE(copy->isEnabled());
}

TEST_F(LogListTest, LostRowsAreRedAndSelectionTintsTheRow) {
    CEventRing ring;
    ring.Push(Reply(5));
    ring.Push(Lost());
    ring.Push(Lost());
    list->ShowEvents(ring, QStringLiteral("h"));
    list->SetRowSelected(2, true);
    list->SetFocusRow(2);
    QApplication::processEvents();
    const QImage shot = list->viewport()->grab().toImage();
    const QRect replyRow = list->visualRect(list->model()->index(0, 0));
    const QRect lostRow = list->visualRect(list->model()->index(1, 0));
    const QRect selectedRow = list->visualRect(list->model()->index(2, 0));
    // Count pure red pixels in each row's text, and check the row backgrounds.
    const auto redPixels = [&](const QRect& r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x < std::min(r.right(), 400); ++x) {
                const QColor c = shot.pixelColor(x, y);
                n += c.red() > 200 && c.green() < 110 && c.blue() < 110;
            }
        }
        return n;
    };
    EXPECT_EQ(redPixels(replyRow), 0);
    EXPECT_GT(redPixels(lostRow), 20);
    const QColor white = shot.pixelColor(replyRow.right() - 2, replyRow.center().y());
    EXPECT_EQ(white, list->GetBkColor());
    const QColor highlight = QApplication::palette().color(QPalette::Highlight);
    const QColor tinted = LightColor(QColor(100, 100, 200), LightColor(highlight, list->GetBkColor(), 30), 16);
    EXPECT_EQ(shot.pixelColor(selectedRow.right() - 2, selectedRow.center().y()), tinted);
    EXPECT_EQ(shot.pixelColor(lostRow.right() - 2, lostRow.center().y()), list->GetBkColor());
}

TEST_F(LogListTest, ContextMenuOffersColumnCopiesInTableViewOnly) {
    QStringList seen;
    OvSetPopupMenuHook([&](QMenu& menu, const QPoint&) -> QAction* {
        seen.clear();
        for (QAction* a : menu.actions()) {
            seen << (a->isSeparator() ? QStringLiteral("-") : a->text());
        }
        return nullptr;
    });
    const auto rightClick = [&] {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 10),
                                list->viewport()->mapToGlobal(QPoint(20, 10)));
        QApplication::sendEvent(list->viewport(), &event);
    };
    rightClick();
    EXPECT_TRUE(seen.isEmpty()) << "no menu for an empty list";
    Fill(3);
    rightClick();
    EXPECT_EQ(seen, (QStringList{QStringLiteral("&Copy\tCtrl+C"), QStringLiteral("&Select All\tCtrl+A"),
                                 QStringLiteral("-"), QStringLiteral("&Auto Scroll"), QStringLiteral("-"),
                                 QStringLiteral("Class&ic View"), QStringLiteral("Ha&rbor View")}));
    list->SetViewMode(CLogListView::kTableView);
    rightClick();
    ASSERT_EQ(seen.size(), 8);
    EXPECT_EQ(seen[1], QStringLiteral("Copy Colunm"));
    EXPECT_EQ(seen[2], QStringLiteral("&Select All\tCtrl+A"));

    // Choosing an item runs the view's command.
    OvSetPopupMenuHook([&](QMenu& menu, const QPoint&) { return menu.actions().at(2); });
    rightClick();
    EXPECT_EQ(list->GetSelectedRows().size(), 3u);
    OvSetPopupMenuHook({});
}

TEST_F(LogListTest, KeysCopyAndSelectWhileTheListHasTheFocus) {
    Fill(4);
    QSignalSpy activated(frame.get(), &COvViewFrame::viewActivated);
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    list->clearFocus();
    list->setFocus();
    QApplication::processEvents();
    ASSERT_GE(activated.count(), 1) << "the focus makes the list the active view";
    EXPECT_EQ(activated.last()[0].value<QWidget*>(), list);
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(list->GetSelectedRows().size(), 4u);
    QApplication::clipboard()->clear();
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().count(QStringLiteral("\r\n")), 4);
    QApplication::clipboard()->clear();
    QTest::keyClick(list, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().count(QStringLiteral("\r\n")), 4);
}

TEST(LogListLanguageTest, TextsComeFromTheLanguageModule) {
    const char* bin = std::getenv("OV_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    ASSERT_TRUE(SelectLanguageModule(
        QString::fromUtf8(bin).append(QStringLiteral("/mui/de_de/OvPingRes.so")).toStdU16String()));
    struct EnglishAgain {
        ~EnglishAgain() { ResetLanguageModule(); }
    } englishAgain;
    COvPingDoc doc;
    auto frame = CLogListFrame::New(doc);
    ASSERT_NE(frame, nullptr);
    CLogListView* list = frame->GetListView();
    EXPECT_EQ(frame->GetToolBar()->windowTitle(), QStringLiteral("Protokollliste"));
    EXPECT_EQ(list->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Zeitstempel"));
    EXPECT_EQ(OvFindCommand(list, ID_EDIT_COPY)->text(), QStringLiteral("&Kopieren\tStrg+C"));
    EXPECT_EQ(OvFindCommand(list, ID_TABLE_VIEW)->toolTip(), QStringLiteral("Listenansicht anzeigen"));
    EXPECT_EQ(OvFindCommand(list, ID_COPY_COLUMN[0])->text(), QStringLiteral("Zeitstempel kopieren"));
    list->SetViewMode(CLogListView::kTableView);
    CEventRing ring;
    ring.Push(Lost());
    list->ShowEvents(ring, QStringLiteral("h"));
    QMenu menu;
    list->BuildContextMenu(menu);
    EXPECT_EQ(menu.actions().at(1)->text(), QStringLiteral("Spalte kopieren"));
    // Status texts follow the language active when the view was made.
    EXPECT_EQ(list->model()->data(list->model()->index(0, 1), Qt::DisplayRole).toString(),
              QStringLiteral("Zeitüberschreitung der Anforderung."));
}

// Runs the GUI until pred holds or 10 s passed.
template <class Pred>
bool RunGuiUntil(Pred pred) {
    for (int i = 0; i < 1000 && !pred(); ++i) {
        QApplication::processEvents();
        std::this_thread::sleep_for(10ms);
    }
    return pred();
}

TEST_F(LogListTest, TheClassicViewShowsWholeLinesAndScrollsSideways) {
    frame->resize(360, 300);
    CEventRing ring;
    for (DWORD i = 0; i < 60; ++i) {
        PING_EVENT e = i == 1 ? Lost() : Reply(i);
        e.reply.DataSize = 128;
        ring.Push(e);
    }
    list->ShowEvents(ring, QStringLiteral("LocalHost"));
    list->AppendEvent(Reply(60));
    QScrollBar* sideways = list->horizontalScrollBar();
    ASSERT_TRUE(RunGuiUntil([&] { return sideways->maximum() > 0; }));
    const int textWidth = list->GetColumnWidth(0) - list->GetCellWidth(QString());
    for (int row = 0; row < list->GetItemCount(); ++row) {
        const QString line = list->model()->data(list->model()->index(row, 0)).toString();
        ASSERT_EQ(list->GetDisplayText(row, 0, textWidth).toStdString(), line.toStdString()) << row;
    }
    // New rows come into view without moving the list back to the left.
    sideways->setValue(sideways->maximum());
    list->AppendEvent(Reply(61));
    EXPECT_EQ(sideways->value(), sideways->maximum());
    EXPECT_TRUE(list->viewport()->rect().intersects(list->visualRect(list->model()->index(61, 0))));
    QTest::keyClick(list, Qt::Key_Left);
    EXPECT_LT(sideways->value(), sideways->maximum());
    // The next host's shorter lines: the column spans the list again.
    frame->resize(540, 300);
    Fill(3);
    EXPECT_TRUE(
        RunGuiUntil([&] { return list->GetColumnWidth(0) == list->viewport()->width() && sideways->maximum() == 0; }));
}

// A run of one host on the fake provider, shown through the test window.
class LogListRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        provider.SetDefault({.roundTripTime = 2});
        // Replies told apart by their times, so that a repeated event shows.
        std::vector<ov::test::FakeReply> cycle;
        for (DWORD rtt = 1; rtt <= 9; ++rtt) {
            cycle.push_back({.roundTripTime = rtt});
        }
        provider.SetDestinationCycle(inet_addr("127.0.0.1"), cycle);
        doc.Settings().TimeDelay = 100;
        doc.Settings().TimeOut = 100;
        host = std::make_unique<ov::test::ViewHost>(doc);
        list = host->LogFrame().GetListView();
    }
    void TearDown() override {
        doc.StopAll();
        host.reset();
    }
    template <class Pred>
    bool WaitFor(Pred pred) {
        return RunGuiUntil(pred);
    }

    ov::test::FakeIcmpProvider provider;
    ov::test::ProviderScope scope{{&provider}};
    COvPingDoc doc;
    std::unique_ptr<ov::test::ViewHost> host;
    CLogListView* list = nullptr;
};

TEST_F(LogListRunTest, FollowsTheCurrentHostAndTakesEveryEventOfALateNotification) {
    doc.StartRun(u"127.0.0.1");
    CHostProbe* probe = doc.GetCurrentHost();
    ASSERT_NE(probe, nullptr) << "the tree selected the first host";
    EXPECT_EQ(list->GetCaption(), QStringLiteral("127.0.0.1"));
    ASSERT_TRUE(WaitFor([&] { return list->GetItemCount() >= 3; }));
    // Hold the GUI thread while the host records several events.
    const DWORD before = probe->GetEventCount();
    while (probe->GetEventCount() < before + 4) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(WaitFor([&] { return list->GetRing().Count() >= before + 4; }));
    doc.StopAll();
    CEventRing hostRing;
    ASSERT_TRUE(WaitFor([&] { return list->GetRing().Count() == probe->GetEventCount(); }));
    probe->CopyEvents(hostRing);
    ASSERT_EQ(list->GetRing().Count(), hostRing.Count());
    for (DWORD i = 0; i < hostRing.Retained(); ++i) {
        EXPECT_EQ(list->GetRing().Oldest(i).type, hostRing.Oldest(i).type) << i;
        EXPECT_EQ(list->GetRing().Oldest(i).time, hostRing.Oldest(i).time) << i;
        EXPECT_EQ(list->GetRing().Oldest(i).reply.RoundTripTime, hostRing.Oldest(i).reply.RoundTripTime) << i;
    }
    EXPECT_GT(host->Notifications(), 0);
}

TEST_F(LogListRunTest, ABurstOfTheCurrentHostIsOneNotificationTakenInOnePass) {
    doc.StartRun(u"127.0.0.1");
    CHostProbe* probe = doc.GetCurrentHost();
    ASSERT_NE(probe, nullptr);
    ASSERT_TRUE(WaitFor([&] { return list->GetItemCount() >= 3; }));
    // From here the GUI thread is held while the host sends 30 more requests
    // and stops: each of them is an event after the one of the name lookup.
    PING_STATS stats{};
    probe->GetStatistics(stats);
    const DWORD limit = stats.sent + 30;
    probe->SetRequestLimit(limit);
    for (int i = 0; i < 2000 && probe->GetEventCount() < 1 + limit; ++i) {
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_EQ(probe->GetEventCount(), 1 + limit);
    const int notified = host->Notifications();
    const int rows = list->GetItemCount();
    QSignalSpy inserted(list->model(), &QAbstractItemModel::rowsInserted);
    ASSERT_TRUE(WaitFor([&] { return list->GetRing().Count() == probe->GetEventCount(); }));
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
    }
    EXPECT_EQ(host->Notifications(), notified + 1);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_GE(list->GetItemCount(), rows + 30);
    EXPECT_EQ(list->GetItemCount(), static_cast<int>(probe->GetEventCount()));
}

// The adapter between the hosts' workers and the GUI thread.
TEST(PingNotifyAdapterTest, EachHostHasOneNotificationOnItsWayAtATime) {
    CPingNotifyAdapter adapter;
    QSignalSpy spy(&adapter, &CPingNotifyAdapter::newEvents);
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i) {
            adapter.PostPingNotify(WM_PING_NOTIFY, PN_REPLY, 2);
            adapter.PostPingNotify(WM_PING_NOTIFY, PN_LOST, 5);
            adapter.PostPingNotify(WM_PING_NOTIFY + 1, PN_REPLY, 7);  // not a host notification
        }
    });
    worker.join();
    QApplication::processEvents();
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 2);
    EXPECT_EQ(spy.at(1).at(0).toInt(), 5);
    // Once delivered, the next outcome of a host notifies again.
    adapter.PostPingNotify(WM_PING_NOTIFY, PN_REPLY, 2);
    adapter.PostPingNotify(WM_PING_NOTIFY, PN_REPLY, 2);
    QApplication::processEvents();
    ASSERT_EQ(spy.count(), 3);
    EXPECT_EQ(spy.at(2).at(0).toInt(), 2);
}

TEST_F(LogListRunTest, ANewRunClearsTheRows) {
    doc.StartRun(u"127.0.0.1");
    ASSERT_TRUE(WaitFor([&] { return list->GetItemCount() >= 2; }));
    doc.StopAll();
    doc.StartRun(u"127.0.0.2");
    // What shows is the new host's own events so far (its replies take 2 ms,
    // the first one of the old host 1 ms).
    ASSERT_NE(doc.GetHost(0), nullptr);
    EXPECT_LE(list->GetRing().Count(), doc.GetHost(0)->GetEventCount());
    for (DWORD i = 0; i < list->GetRing().Retained(); ++i) {
        const PING_EVENT& e = list->GetRing().Oldest(i);
        EXPECT_TRUE(e.type != PE_REPLY || e.reply.RoundTripTime == 2) << i;
    }
    EXPECT_EQ(list->GetCaption(), QStringLiteral("127.0.0.2"));
}

// Name lookups the test holds: each waits until released, then fails.
struct HeldLookups {
    std::mutex lock;
    std::condition_variable changed;
    bool held = false;
    int entered = 0;
};
HeldLookups g_lookups;

int HeldGetAddrInfo(const char*, const char*, const addrinfo*, addrinfo** result) {
    std::unique_lock lock(g_lookups.lock);
    ++g_lookups.entered;
    g_lookups.changed.notify_all();
    g_lookups.changed.wait(lock, [] { return !g_lookups.held; });
    *result = nullptr;
    return EAI_NONAME;
}

void HoldLookups(bool hold) {
    std::lock_guard lock(g_lookups.lock);
    g_lookups.held = hold;
    g_lookups.changed.notify_all();
}

int LookupsEntered() {
    std::lock_guard lock(g_lookups.lock);
    return g_lookups.entered;
}

// Registered before the views, it holds the start of the run (the GUI
// thread, as a slow view would) until its condition holds.
class RunStartBarrier final : public IPingView {
public:
    explicit RunStartBarrier(std::function<bool()> until) : m_until(std::move(until)) {}
    void OnUpdate(UINT hint) override {
        for (int i = 0; hint == HINT_RUN_STARTED && i < 5000 && !m_until(); ++i) {
            std::this_thread::sleep_for(1ms);
        }
    }

private:
    std::function<bool()> m_until;
};

// Hosts that fail or wait in their lookup, whether the log list gets the
// hints before or after the tree (which makes the first host current while
// it handles the run's start).
class LogListFailingHostTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        g_lookups.entered = 0;
        HoldLookups(true);
        SetNameResolver(&HeldGetAddrInfo, &::freeaddrinfo);
        doc.Settings().TimeDelay = 100;
        doc.Settings().TimeOut = 100;
    }
    void TearDown() override {
        HoldLookups(false);
        provider.HoldCreates(false);
        doc.StopAll();
        host.reset();
        doc.StartRun(u"");  // the hosts go, their lookups with them
        SetNameResolver(nullptr, nullptr);
    }
    // The views, in the order of the test's parameter, after barrier (if any).
    void OpenViews(RunStartBarrier* barrier = nullptr) {
        if (barrier != nullptr) {
            doc.AddView(barrier);
        }
        host = std::make_unique<ov::test::ViewHost>(doc, GetParam());
        list = host->LogFrame().GetListView();
    }
    template <class Pred>
    bool WaitFor(Pred pred) {
        return RunGuiUntil(pred);
    }
    // Event types the list shows, oldest first, once the GUI has caught up.
    std::vector<std::int32_t> Shown() {
        for (int i = 0; i < 20; ++i) {
            QApplication::processEvents();
            std::this_thread::sleep_for(5ms);
        }
        std::vector<std::int32_t> types;
        for (DWORD i = 0; i < list->GetRing().Retained(); ++i) {
            types.push_back(list->GetRing().Oldest(i).type);
        }
        EXPECT_EQ(list->GetItemCount(), static_cast<int>(types.size()));
        return types;
    }
    bool HostFailed() const {
        const CHostProbe* probe = doc.GetHost(0);
        return probe != nullptr && probe->GetState() == HS_FAILED;
    }

    ov::test::FakeIcmpProvider provider;
    ov::test::ProviderScope scope{{&provider}};
    COvPingDoc doc;
    std::unique_ptr<ov::test::ViewHost> host;
    CLogListView* list = nullptr;
};

using Types = std::vector<std::int32_t>;

TEST_P(LogListFailingHostTest, AHostThatFailedBeforeItBecameCurrentShowsItsEvents) {
    // The lookup fails while the run's start is on its way to the views.
    RunStartBarrier barrier([this] {
        HoldLookups(false);
        return HostFailed();
    });
    OpenViews(&barrier);
    doc.StartRun(u"nonexistent.invalid");
    ASSERT_TRUE(doc.IsRunning());
    EXPECT_EQ(Shown(), (Types{PE_RESOLVING, PE_RESOLVE_FAILED}));
    EXPECT_EQ(list->GetCaption(), QStringLiteral("nonexistent.invalid"));
    doc.RemoveView(&barrier);
}

TEST_P(LogListFailingHostTest, ALookupThatTakesLongShowsThatItBegan) {
    // The lookup began before the views took the run's start.
    RunStartBarrier barrier([] { return LookupsEntered() >= 1; });
    OpenViews(&barrier);
    doc.StartRun(u"slow.invalid");
    EXPECT_EQ(Shown(), Types{PE_RESOLVING});
    HoldLookups(false);
    ASSERT_TRUE(WaitFor([this] { return list->GetRing().Count() == 2; }));
    EXPECT_EQ(Shown(), (Types{PE_RESOLVING, PE_RESOLVE_FAILED}));
    doc.RemoveView(&barrier);
}

TEST_P(LogListFailingHostTest, ALookupThatBeginsAfterTheViewsTookTheRunShowsAtOnce) {
    provider.HoldCreates(true);  // the worker waits before its lookup
    OpenViews();
    doc.StartRun(u"slow.invalid");
    ASSERT_NE(doc.GetCurrentHost(), nullptr);
    EXPECT_EQ(Shown(), Types{});
    provider.HoldCreates(false);
    ASSERT_TRUE(WaitFor([] { return LookupsEntered() >= 1; }));
    EXPECT_EQ(Shown(), Types{PE_RESOLVING});
}

TEST_P(LogListFailingHostTest, AnIcmpHandleThatFailsAfterTheStartShows) {
    provider.HoldCreates(true);
    provider.SetCreateFails(true);
    OpenViews();
    doc.StartRun(u"127.0.0.1");
    ASSERT_TRUE(doc.IsRunning());
    EXPECT_EQ(Shown(), Types{});
    provider.HoldCreates(false);
    ASSERT_TRUE(WaitFor([this] { return HostFailed(); }));
    EXPECT_EQ(Shown(), Types{PE_NO_ICMP_HANDLE});
}

INSTANTIATE_TEST_SUITE_P(HintOrders, LogListFailingHostTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("LogListFirst") : std::string("TreeFirst");
                         });

}  // namespace
