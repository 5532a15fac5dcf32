// The UI library stand-ins: colour blend, virtual report list, view frame,
// caption control, popup menus and the queued notification target.
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

#include "ovui/LightColor.h"
#include "ovui/OvCommand.h"
#include "ovui/OvListBase.h"
#include "ovui/OvPictures.h"
#include "ovui/OvPostTarget.h"
#include "ovui/OvStatic.h"
#include "ovui/OvViewFrame.h"

namespace {

TEST(LightColorTest, MixesByWeightPerChannel) {
    const QColor highlight(0, 120, 215);
    const QColor white(255, 255, 255);
    // 16 % of the highlight over white: a light tint.
    EXPECT_EQ(LightColor(highlight, white, 16), QColor(214, 233, 249));
    // 30 % is stronger, but still closer to white than to the highlight.
    const QColor stronger = LightColor(highlight, white, 30);
    EXPECT_EQ(stronger, QColor(179, 215, 243));
    EXPECT_LT(stronger.red(), LightColor(highlight, white, 16).red());
    EXPECT_EQ(LightColor(highlight, white, 0), white);
    EXPECT_EQ(LightColor(highlight, white, 100), highlight);
    // Weights outside 0..100 are clamped.
    EXPECT_EQ(LightColor(highlight, white, 250), highlight);
    EXPECT_EQ(LightColor(highlight, white, -5), white);
}

// A list whose cells name their row and column; the alternative text is short.
class TestList final : public COvListBase {
public:
    mutable int textCalls = 0;

protected:
    QString OnGetItemText(int item, int subItem) const override {
        ++textCalls;
        return QStringLiteral("row %1 column %2 with a long text").arg(item).arg(subItem);
    }
    QString OnGetItemAltText(int item, int subItem) const override {
        return QStringLiteral("%1.%2").arg(item).arg(subItem);
    }
};

class ListBaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        list.resize(600, 300);
        list.AddColumn(QStringLiteral("A"), 300, OVLC_FMT_LEFT, OVLC_FLAG_ALTTEXT);
        list.AddColumn(QStringLiteral("B"), 100, OVLC_FMT_CENTER, 0);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    }
    TestList list;
};

TEST_F(ListBaseTest, AppendedRowsAreOneInsertionWithAnInclusiveLastRow) {
    QSignalSpy inserted(list.model(), &QAbstractItemModel::rowsInserted);
    list.SetItemCount(3);
    list.SetItemCount(7, OVLC_NOINVALIDATEALL);
    ASSERT_EQ(inserted.count(), 2);
    EXPECT_EQ(inserted[0][1].toInt(), 0);
    EXPECT_EQ(inserted[0][2].toInt(), 2);
    EXPECT_EQ(inserted[1][1].toInt(), 3);
    EXPECT_EQ(inserted[1][2].toInt(), 6);
    EXPECT_EQ(list.model()->rowCount({}), 7);
    // The same count again changes nothing; a smaller one removes the tail.
    list.SetItemCount(7);
    EXPECT_EQ(inserted.count(), 2);
    list.SetItemCount(2);
    EXPECT_EQ(list.GetItemCount(), 2);
}

TEST_F(ListBaseTest, CellsAreAskedOfTheOwnerAndNothingIsStored) {
    list.SetItemCount(5000);
    QApplication::processEvents();
    // Only visible rows were drawn: a virtual list asks for few cells.
    EXPECT_GT(list.textCalls, 0);
    EXPECT_LT(list.textCalls, 400);
    EXPECT_EQ(list.model()->data(list.model()->index(4321, 1), Qt::DisplayRole).toString(),
              QStringLiteral("row 4321 column 1 with a long text"));
}

TEST_F(ListBaseTest, NarrowCellsShowTheAlternativeTextWhereTheColumnAllowsIt) {
    list.SetItemCount(1);
    EXPECT_EQ(list.GetDisplayText(0, 0, 1000), QStringLiteral("row 0 column 0 with a long text"));
    EXPECT_EQ(list.GetDisplayText(0, 0, 20), QStringLiteral("0.0"));
    // Column 1 has no alternative-text flag.
    EXPECT_EQ(list.GetDisplayText(0, 1, 20), QStringLiteral("row 0 column 1 with a long text"));
}

TEST_F(ListBaseTest, CopiesSelectedRowsAndColumnsWithLineBreaks) {
    list.SetItemCount(10);
    QApplication::clipboard()->setText(QStringLiteral("before"));
    EXPECT_FALSE(list.CopyAsText());
    EXPECT_FALSE(list.CopyColumn(1));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));

    list.SetRowSelected(4, true);
    list.SetRowSelected(2, true);
    ASSERT_TRUE(list.CopyAsText());
    EXPECT_EQ(QApplication::clipboard()->text(),
              QStringLiteral("row 2 column 0 with a long text\trow 2 column 1 with a long text\r\n"
                             "row 4 column 0 with a long text\trow 4 column 1 with a long text\r\n"));
    ASSERT_TRUE(list.CopyColumn(1));
    EXPECT_EQ(QApplication::clipboard()->text(),
              QStringLiteral("row 2 column 1 with a long text\r\nrow 4 column 1 with a long text\r\n"));
    EXPECT_FALSE(list.CopyColumn(7));
}

TEST_F(ListBaseTest, ShiftingMovesSelectionRangesAndFocusUpByOneRow) {
    list.SetItemCount(100);
    list.SetRowSelected(0, true);
    for (int row = 10; row <= 19; ++row) {
        list.SetRowSelected(row, true);
    }
    list.SetRowSelected(50, true);
    list.SetFocusRow(50);
    list.ShiftSelectionUp();
    std::vector<int> expected;
    for (int row = 9; row <= 18; ++row) {
        expected.push_back(row);
    }
    expected.push_back(49);
    EXPECT_EQ(list.GetSelectedRows(), expected);
    EXPECT_EQ(list.GetFocusRow(), 49);
    // A focus on row 0 stays there.
    list.SetFocusRow(0);
    list.ShiftSelectionUp();
    EXPECT_EQ(list.GetFocusRow(), 0);
    EXPECT_EQ(list.GetSelectedRows().front(), 8);
}

TEST_F(ListBaseTest, ColumnFormatsHideAndShowWithTheKeptWidth) {
    list.SetColumnFormat(1, OVLC_FMT_HIDDEN);
    EXPECT_TRUE(list.isColumnHidden(1));
    EXPECT_EQ(list.GetColumnWidth(1), 0);
    list.SetColumnFormat(1, OVLC_FMT_CENTER);
    EXPECT_FALSE(list.isColumnHidden(1));
    EXPECT_EQ(list.GetColumnWidth(1), 100);
    list.SetHeaderVisible(false);
    EXPECT_FALSE(list.IsHeaderVisible());
    list.SetShowGrid(false, true);
    EXPECT_FALSE(list.showGrid());
}

// A view with two commands for the frame's toolbar.
class CommandView final : public QWidget {
public:
    CommandView() {
        first = OvAddCommand(this, 101, QStringLiteral("First"));
        second = OvAddCommand(this, 102, QStringLiteral("Second"));
        second->setCheckable(true);
        QObject::connect(first, &QAction::triggered, [this] { ++firstRuns; });
        setFocusPolicy(Qt::StrongFocus);
    }
    QAction* first;
    QAction* second;
    int firstRuns = 0;
};

// A frame that makes a caption control for id 900.
class CaptionFrame final : public COvViewFrame {
public:
    COvStatic* caption = nullptr;

protected:
    QWidget* OnCreateControl(unsigned id, QToolBar* bar) override {
        if (id != 900) {
            return nullptr;
        }
        caption = new COvStatic(bar);
        return caption;
    }
};

TEST(ViewFrameTest, ToolbarHoldsTheViewCommandsAndCannotBeMovedOrCustomised) {
    CaptionFrame frame;
    auto* view = new CommandView;
    const unsigned buttons[] = {101, 0, 102, 0, 900};
    ASSERT_TRUE(frame.Create(view, QStringLiteral("Bar"), buttons));
    EXPECT_EQ(frame.GetView(), view);
    EXPECT_EQ(frame.centralWidget(), view);
    QToolBar* bar = frame.GetToolBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->windowTitle(), QStringLiteral("Bar"));
    EXPECT_FALSE(bar->isMovable());
    EXPECT_FALSE(bar->isFloatable());
    EXPECT_EQ(frame.toolBarArea(bar), Qt::TopToolBarArea);
    EXPECT_EQ(bar->contextMenuPolicy(), Qt::PreventContextMenu);
    EXPECT_EQ(frame.createPopupMenu(), nullptr);
    const auto actions = bar->actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_EQ(actions[0], view->first);
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2], view->second);
    ASSERT_NE(frame.caption, nullptr);
    EXPECT_EQ(bar->widgetForAction(actions[4]), frame.caption);
    // A second view is refused.
    EXPECT_FALSE(frame.Create(new CommandView, QStringLiteral("Bar"), {}));
}

TEST(ViewFrameTest, CreationFailsForAMissingViewOrAnUnknownButton) {
    COvViewFrame empty;
    EXPECT_FALSE(empty.Create(nullptr, QStringLiteral("Bar"), {}));
    COvViewFrame frame;
    const unsigned buttons[] = {101, 555};
    EXPECT_FALSE(frame.Create(new CommandView, QStringLiteral("Bar"), buttons));
}

TEST(ViewFrameTest, FocusOnTheViewActivatesIt) {
    COvViewFrame frame;
    auto* view = new CommandView;
    ASSERT_TRUE(frame.Create(view, QStringLiteral("Bar"), {}));
    QSignalSpy activated(&frame, &COvViewFrame::viewActivated);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    view->setFocus();
    QApplication::processEvents();
    ASSERT_GE(activated.count(), 1);
    EXPECT_EQ(activated.last()[0].value<QWidget*>(), view);
}

TEST(StaticTest, MeasuredFromTheBoldFontForEitherOrientation) {
    QToolBar bar;
    COvStatic caption(&bar);
    caption.SetCaption(QStringLiteral("host.example"));
    QFont bold = bar.font();
    bold.setWeight(QFont::Bold);
    const QFontMetrics metrics(bold);
    // Rounded up: the caption is elided by its fractional width.
    const auto width =
        static_cast<int>(std::ceil(QFontMetricsF(bold).horizontalAdvance(QStringLiteral("host.example"))));
    EXPECT_EQ(caption.sizeHint(), QSize(width + 32, std::max(metrics.height(), 22)));
    bar.setOrientation(Qt::Vertical);
    EXPECT_EQ(caption.sizeHint(), QSize(std::max(width + 32, 22), metrics.height()));
    caption.SetCaption(QString());
    EXPECT_EQ(caption.sizeHint(), QSize(32, metrics.height()));
}

TEST(PopupMenuTest, TheChosenItemRunsTheTargetsCommand) {
    CommandView target;
    QMenu menu;
    OvAddMenuCommand(menu, 101, QStringLiteral("&First item"), &target);
    target.second->setChecked(true);
    target.second->setEnabled(false);
    QAction* second = OvAddMenuCommand(menu, 102, QStringLiteral("Second item"), &target);
    QAction* unknown = OvAddMenuCommand(menu, 103, QStringLiteral("None"), &target);
    EXPECT_TRUE(second->isChecked());
    EXPECT_FALSE(second->isEnabled());
    EXPECT_FALSE(unknown->isEnabled());

    QPoint shownAt;
    OvSetPopupMenuHook([&](QMenu& shown, const QPoint& pos) {
        shownAt = pos;
        return shown.actions().first();
    });
    EXPECT_EQ(OvTrackPopupMenu(menu, QPoint(40, 50), &target), 101u);
    EXPECT_EQ(target.firstRuns, 1);
    EXPECT_EQ(shownAt, QPoint(40, 50));
    // A disabled or dismissed choice runs nothing.
    OvSetPopupMenuHook([&](QMenu&, const QPoint&) { return second; });
    EXPECT_EQ(OvTrackPopupMenu(menu, QPoint(), &target), 0u);
    OvSetPopupMenuHook([&](QMenu&, const QPoint&) { return nullptr; });
    EXPECT_EQ(OvTrackPopupMenu(menu, QPoint(), &target), 0u);
    OvSetPopupMenuHook({});
    EXPECT_EQ(target.firstRuns, 1);
}

TEST(PostTargetTest, WorkerPostsArriveInOrderOnTheGuiThread) {
    COvPostTarget target;
    std::vector<qintptr> seen;
    bool onGuiThread = true;
    QObject::connect(&target, &COvPostTarget::posted, [&](unsigned message, qintptr w, qintptr l) {
        onGuiThread = onGuiThread && QThread::currentThread() == QApplication::instance()->thread();
        EXPECT_EQ(message, 1124u);
        EXPECT_EQ(l, 7);
        seen.push_back(w);
    });
    // The worker finishes while the GUI thread handles nothing: posting never waits.
    std::thread worker([&] {
        for (int i = 0; i < 500; ++i) {
            target.Post(1124, i, 7);
        }
    });
    worker.join();
    EXPECT_TRUE(seen.empty());
    QApplication::processEvents();
    ASSERT_EQ(seen.size(), 500u);
    for (int i = 0; i < 500; ++i) {
        EXPECT_EQ(seen[static_cast<std::size_t>(i)], i);
    }
    EXPECT_TRUE(onGuiThread);
}

TEST(PicturesTest, EveryPictureOfTheFamilyIsSharpAtTwiceTheSize) {
    for (const char* name : {"list-copy", "list-select-all", "list-auto-scroll", "list-classic-view", "list-table-view",
                             "tree-copy-host", "tree-copy-all", "tree-host", "tree-line"}) {
        SCOPED_TRACE(name);
        const QIcon icon = OvPicture(QString::fromLatin1(name));
        ASSERT_FALSE(icon.isNull());
        // Drawn from the vector picture at 32 pixels, not scaled up from 16.
        const QPixmap big = icon.pixmap(QSize(16, 16), 2.0);
        EXPECT_EQ(big.size(), QSize(32, 32));
        EXPECT_EQ(big.devicePixelRatio(), 2.0);
    }
    EXPECT_TRUE(OvPicture(QStringLiteral("no-such-picture")).isNull());
}

}  // namespace
