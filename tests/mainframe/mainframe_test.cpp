// The main window driven through its host entry, buttons, menus and keys,
// over a document whose hosts ping the scripted ICMP provider.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

#include <QAction>
#include <QDockWidget>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QLabel>
#include <QApplication>
#include <QLineEdit>
#include <QMap>
#include <QMessageBox>
#include <QScrollBar>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include "ChartView.h"
#include "FrameApp.h"
#include "HistoryComboBox.h"
#include "HostEntry.h"
#include "LogListFrame.h"
#include "LogListView.h"
#include "MainFrame.h"
#include "MainProfile.h"
#include "MsgFormat.h"
#include "OvPingDoc.h"
#include "StatTreeFrame.h"
#include "StatTreeView.h"
#include "ViewIds.h"
#include "WindowPlacement.h"
#include "ovui/OvViewFrame.h"
#include "support/fake_icmp.h"
#include "support/temp_registry.h"

namespace {

// The registry files of these tests live in a folder of their own.
class MainFrameTest : public ov::test::RegistrySuite {
protected:
    MainFrameTest() { fake.SetDefault({.roundTripTime = 2}); }
    ~MainFrameTest() override {
        frame.reset();
        doc.StopAll();
    }

    static std::u16string KeyOfTest() {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        return u"Software\\Orvantek Test\\" + std::u16string(name.begin(), name.end());
    }

    // A new window on the document, shown at its stored placement.
    CMainFrame& Open() {
        frame = std::make_unique<CMainFrame>(doc, nullptr, key);
        frame->ShowAtPlacement();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        return *frame;
    }
    void CloseAndForget() {
        frame->close();
        frame.reset();
    }

    // Runs action; returns the text of a message box with icon shown
    // meanwhile (closed at once).
    static QString MessageDuring(const std::function<void()>& action, QMessageBox::Icon icon) {
        QString shown;
        QTimer watcher;
        watcher.setInterval(10);
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = box->text();
                EXPECT_EQ(box->icon(), icon);
                box->accept();
            }
        });
        watcher.start();
        action();
        return shown;
    }

    // Types text into the host entry and presses the Start/Stop button;
    // returns the text of an error message shown meanwhile.
    QString StartWith(const QString& text) {
        frame->HostEntry()->setEditText(text);
        return MessageDuring([this] { frame->OnStartStop(); }, QMessageBox::Critical);
    }

    QStringList History() const {
        QStringList items;
        for (int i = 0; i < frame->HostEntry()->count(); ++i) {
            items << frame->HostEntry()->itemText(i);
        }
        return items;
    }

    std::u16string key = KeyOfTest();
    ov::test::FakeIcmpProvider fake;
    ov::test::ProviderScope scope{{&fake}};
    COvPingDoc doc;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(MainFrameTest, HostEntryTextIsTrimmedAndCheckedBeforeARunStarts) {
    Open();
    // Blanks and semicolons around a host go; the run is for the host alone.
    EXPECT_EQ(StartWith(QStringLiteral("  ;127.0.0.1;. ")), QString());
    ASSERT_TRUE(doc.IsRunning());
    EXPECT_EQ(doc.GetHostCount(), 1u);
    EXPECT_EQ(History(), QStringList{QStringLiteral("127.0.0.1")});
    frame->OnStartStop();
    ASSERT_FALSE(doc.IsRunning());

    // A port makes the address invalid: message, no run, history untouched.
    EXPECT_EQ(StartWith(QStringLiteral("127.0.0.2:8080")), QStringLiteral("Invalid host name or IP addresses."));
    EXPECT_FALSE(doc.IsRunning());
    EXPECT_EQ(History(), QStringList{QStringLiteral("127.0.0.1")});

    // Every character of the invalid set inside the text is refused.
    for (char16_t c : kHostEntryInvalidSet) {
        const QString text = QStringLiteral("127.0.0") + QChar(c) + QStringLiteral("3");
        EXPECT_FALSE(StartWith(text).isEmpty()) << text.toStdString();
        EXPECT_FALSE(doc.IsRunning()) << text.toStdString();
    }
    EXPECT_EQ(frame->HostEntry()->count(), 1);

    // So is a control character: one host must never print as two lines.
    for (const char16_t c : {u'\n', u'\r', u'\t', u'\x1b', u'\x01', u'\x7f', u'\x85', u'\u202e'}) {
        const QString text = QStringLiteral("127.0.0.1") + QChar(c) + QStringLiteral("forged");
        EXPECT_EQ(StartWith(text), QStringLiteral("Invalid host name or IP addresses.")) << int(c);
        EXPECT_FALSE(doc.IsRunning()) << int(c);
    }
    EXPECT_EQ(frame->HostEntry()->count(), 1);
}

TEST_F(MainFrameTest, ClosingTellsWhenHistoryAndPlacementCannotBeSaved) {
    Open();
    frame->HostEntry()->AddToHistory(QStringLiteral("127.0.0.9"));
    CloseAndForget();  // the settings file exists from here on
    const std::string file = s_registry->user();
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    Open();
    frame->HostEntry()->AddToHistory(QStringLiteral("127.0.0.10"));
    const QString shown = MessageDuring([this] { CloseAndForget(); }, QMessageBox::Warning);
    ::chmod(file.c_str(), 0600);
    EXPECT_EQ(shown, QString::fromStdString("The host history and the window position could not be saved in \"" + file +
                                            "\"."));
    // Nothing was lost that had been saved before.
    Open();
    EXPECT_EQ(History(), QStringList{QStringLiteral("127.0.0.9")});
}

TEST_F(MainFrameTest, BlanksOnlyEnableTheButtonButStartNothing) {
    Open();
    QToolButton* button = frame->StartStopButton();
    ASSERT_NE(button, nullptr);
    frame->HostEntry()->setEditText(QString());
    EXPECT_FALSE(button->isEnabled());
    QTest::keyClicks(frame->HostEntry()->lineEdit(), QStringLiteral("   "));
    EXPECT_TRUE(button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(doc.IsRunning());
    EXPECT_EQ(frame->HostEntry()->count(), 0);
    // Nothing happened, so the chart still fills the window.
    EXPECT_EQ(frame->MainSplitter()->sizes().at(1), 0);
}

TEST_F(MainFrameTest, RunControlsFollowTheRun) {
    Open();
    QToolButton* button = frame->StartStopButton();
    const qint64 idleIcon = button->icon().cacheKey();
    frame->HostEntry()->setEditText(QStringLiteral("127.0.0.1 127.0.0.2"));
    QTest::keyClick(frame->HostEntry()->lineEdit(), Qt::Key_Return);  // Enter starts
    ASSERT_TRUE(doc.IsRunning());
    EXPECT_EQ(doc.GetHostCount(), 2u);
    EXPECT_FALSE(frame->HostEntry()->isEnabled());
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->defaultAction()->text(), QStringLiteral("Stop Ping "));
    EXPECT_NE(button->icon().cacheKey(), idleIcon);

    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(doc.IsRunning());
    EXPECT_TRUE(frame->HostEntry()->isEnabled());
    EXPECT_EQ(button->defaultAction()->text(), QStringLiteral("Start Ping"));
}

TEST_F(MainFrameTest, CtrlOStartsAndStopsLikeTheButton) {
    Open();
    frame->HostEntry()->setEditText(QStringLiteral("127.0.0.1"));
    QTest::keyClick(frame.get(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(doc.IsRunning());
    QTest::keyClick(frame.get(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_FALSE(doc.IsRunning());
}

TEST_F(MainFrameTest, ChartRowTakesAllUntilTheFirstRunThenItsShareWithAMinimum) {
    Open().resize(900, 700);
    QApplication::processEvents();
    QSplitter* splitter = frame->MainSplitter();
    EXPECT_EQ(splitter->sizes().at(1), 0);

    StartWith(QStringLiteral("127.0.0.1"));
    const int h = splitter->height();
    EXPECT_NEAR(splitter->sizes().at(0), h * 45 / 100, 2);
    EXPECT_GT(splitter->sizes().at(1), 0);

    // Every resize keeps the share.
    frame->resize(900, 500);
    QApplication::processEvents();
    EXPECT_NEAR(splitter->sizes().at(0), splitter->height() * 45 / 100, 2);

    // A low client area keeps at least 50 pixels of chart (the window's
    // own minimum stops it above that, so the rule is asked directly).
    EXPECT_EQ(ChartRowHeight(100, true, 45), 50);
    EXPECT_EQ(ChartRowHeight(112, true, 45), 50);
    EXPECT_EQ(ChartRowHeight(200, true, 45), 90);
    EXPECT_EQ(ChartRowHeight(30, false, 45), 50);
    EXPECT_EQ(ChartRowHeight(700, false, 45), 700);
    // The host entry follows the window's width.
    EXPECT_EQ(frame->HostEntry()->width(), 900 - 250);
}

TEST_F(MainFrameTest, OneResizeRequestTakesTheWindowDownToItsMinimum) {
    Open();
    QApplication::processEvents();
    ASSERT_EQ(frame->width(), 960);
    // The host entry asks for the window's width less 250, as its preferred
    // width only: the window's minimum does not follow it.
    EXPECT_EQ(frame->HostEntry()->width(), 960 - 250);
    EXPECT_LE(frame->minimumSizeHint().width(), 520);
    frame->resize(520, 400);
    QApplication::processEvents();
    EXPECT_EQ(frame->width(), std::max(520, frame->minimumSizeHint().width()));
    EXPECT_GE(frame->HostEntry()->width(), frame->HostEntry()->minimumWidth());
    // And back: the entry takes its width again.
    frame->resize(960, 640);
    QApplication::processEvents();
    EXPECT_EQ(frame->HostEntry()->width(), 960 - 250);
}

TEST_F(MainFrameTest, AtTheDefaultSizeTheLogListShowsWholeLinesOfLargePacketsInEachLanguage) {
    doc.Settings().Size = 128;
    doc.Settings().TimeDelay = 100;
    fake.SetDefault({.roundTripTime = 12});
    for (const std::string lang : {"en", "de_de", "zh_cn"}) {
        struct EnglishAgain {
            ~EnglishAgain() { ResetLanguageModule(); }
        } englishAgain;
        const std::string module = std::string(std::getenv("OV_BIN_DIR")) + "/mui/" + lang + "/OvPingRes.so";
        ASSERT_TRUE(lang == "en" || SelectLanguageModule(std::u16string(module.begin(), module.end()))) << module;
        Open();
        ASSERT_EQ(frame->size(), QSize(960, 640));
        EXPECT_EQ(StartWith(QStringLiteral("LocalHost")), QString());
        CLogListView* list = frame->LogFrame()->GetListView();
        ASSERT_TRUE(QTest::qWaitFor([&] { return list->GetItemCount() >= 3; })) << lang;
        EXPECT_TRUE(list->model()->data(list->model()->index(2, 0)).toString().contains(QStringLiteral("128")));
        // The column of whole lines is no wider than the list: nothing to scroll.
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return list->GetColumnWidth(0) == list->viewport()->width() && list->horizontalScrollBar()->maximum() == 0;
        })) << lang
            << ": " << list->GetColumnWidth(0) << " > " << list->viewport()->width();
        doc.StopAll();
        frame.reset();
    }
}

TEST_F(MainFrameTest, ARunInWhichNoHostCouldStartSaysWhyAndStaysReady) {
    Open();
    fake.SetLoadFails(true);  // no ICMP service for the hosts, for the system's reason
    const QString shown = StartWith(QStringLiteral("127.0.0.1 127.0.0.2"));
    EXPECT_EQ(shown, QStringLiteral("No host could be started.\n127.0.0.1: Could not start WinSock. (%1)")
                         .arg(QString::fromLocal8Bit(std::strerror(EACCES))));
    EXPECT_FALSE(doc.IsRunning());
    EXPECT_EQ(doc.GetHostCount(), 2u);
    // The views show the failed hosts.
    CLogListView* list = frame->LogFrame()->GetListView();
    EXPECT_EQ(list->GetCaption(), QStringLiteral("127.0.0.1"));
    ASSERT_EQ(list->GetItemCount(), 1);
    EXPECT_EQ(list->GetRing().Oldest(0).type, PE_NO_SERVICES);
    // Ready for the next start.
    EXPECT_TRUE(frame->HostEntry()->isEnabled());
    EXPECT_TRUE(frame->StartStopButton()->isEnabled());
    EXPECT_EQ(frame->StartStopButton()->defaultAction()->text(), QStringLiteral("Start Ping"));
    fake.SetLoadFails(false);
    EXPECT_EQ(StartWith(QStringLiteral("127.0.0.1")), QString());
    EXPECT_TRUE(doc.IsRunning());
}

TEST_F(MainFrameTest, HistoryIsCaseBlindHoldsSixteenAndSurvivesReopening) {
    Open();
    COvHistoryComboBox* entry = frame->HostEntry();
    for (int i = 1; i <= 17; ++i) {
        entry->AddToHistory(QStringLiteral("host%1").arg(i));
    }
    ASSERT_EQ(entry->count(), 16);
    EXPECT_EQ(entry->itemText(0), QStringLiteral("host17"));
    EXPECT_EQ(entry->itemText(15), QStringLiteral("host2"));  // host1 dropped

    entry->AddToHistory(QStringLiteral("HOST5"));  // same entry, other case
    EXPECT_EQ(entry->count(), 16);
    EXPECT_EQ(entry->itemText(0), QStringLiteral("HOST5"));
    EXPECT_EQ(entry->findText(QStringLiteral("host5"), Qt::MatchCaseSensitive), -1);

    const QStringList before = History();
    CloseAndForget();
    Open();
    EXPECT_EQ(History(), before);
}

TEST_F(MainFrameTest, PlacementRoundTripsAndBadValuesOpenAtTheDefault) {
    Open().setGeometry(40, 50, 700, 480);
    QApplication::processEvents();
    const QRect placed = frame->geometry();
    CloseAndForget();
    Open();
    EXPECT_EQ(frame->geometry(), placed);
    CloseAndForget();

    CMainProfile profile(key);
    const QRect normal(30, 30, 640, 400);
    auto packed = [&](UINT show, QRect rect) { return PackWindowPlacement({show, rect}); };
    std::vector<BYTE> shortValue = packed(kShowNormal, normal);
    shortValue.pop_back();
    std::vector<BYTE> badLength = packed(kShowNormal, normal);
    badLength[0] = 40;
    const std::vector<std::vector<BYTE>> bad = {
        shortValue,
        badLength,
        packed(kShowMinimized, normal),
        packed(kShowNormal, QRect(200000, 200000, 640, 400)),  // wholly off-screen
        packed(kShowNormal, QRect(30, 30, -5, 400)),
    };
    for (const auto& value : bad) {
        ASSERT_TRUE(profile.WriteBinary(u"Settings", u"WindowsPos", value));
        Open();
        EXPECT_EQ(frame->size(), QSize(960, 640));
        EXPECT_FALSE(frame->isMaximized());
        frame.reset();
    }
    // A maximised window opens maximised over its normal rectangle.
    const auto maximised = UnpackWindowPlacement(packed(kShowMaximized, normal), {QRect(0, 0, 800, 600)});
    ASSERT_TRUE(maximised.has_value());
    EXPECT_EQ(maximised->showCmd, kShowMaximized);
    EXPECT_EQ(maximised->normal, normal);
}

TEST_F(MainFrameTest, CommandsGoToTheActiveView) {
    Open();
    CLogListView* list = frame->LogFrame()->GetListView();
    QAction* autoScroll = frame->MenuCommand(ID_AUTO_SCROLL);
    ASSERT_NE(autoScroll, nullptr);
    const bool was = list->IsAutoScroll();
    // The chart is active after creation: the log list's command is not reached.
    autoScroll->trigger();
    EXPECT_EQ(list->IsAutoScroll(), was);

    StartWith(QStringLiteral("127.0.0.1"));  // the lower row gets its height
    list->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(frame->ActiveView(), list);
    autoScroll->trigger();
    EXPECT_EQ(list->IsAutoScroll(), !was);

    // F6 moves the focus from pane to pane; the log list stays the active view.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
    EXPECT_NE(QApplication::focusWidget(), list);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), list);
}

TEST_F(MainFrameTest, CommandsRunOnlyWhileTheirItemsAreEnabledAndEachItemHasAPrompt) {
    Open();
    QAction* startStop = frame->MenuCommand(ID_PING_STARTSTOP);
    ASSERT_NE(startStop, nullptr);
    const auto showMenus = [this] {
        for (QAction* popup : frame->menuBar()->actions()) {
            emit popup->menu()->aboutToShow();
        }
    };
    // An empty host entry: the item is disabled, and neither it nor Ctrl+O's
    // command runs.
    frame->HostEntry()->setEditText(QString());
    showMenus();
    EXPECT_FALSE(startStop->isEnabled());
    EXPECT_FALSE(frame->RouteCommand(ID_PING_STARTSTOP));
    EXPECT_FALSE(frame->RouteCommand(ID_START_STOP_KEY));
    // Without an application its commands are disabled and refused.
    for (const unsigned id : {ID_HOME_PAGE, ID_CHECK_UPDATE, ID_APP_ABOUT, ID_HELP_INDEX}) {
        EXPECT_FALSE(frame->MenuCommand(id)->isEnabled()) << id;
        EXPECT_FALSE(frame->RouteCommand(id)) << id;
    }
    EXPECT_FALSE(frame->RouteCommand(ID_LOGO));
    EXPECT_TRUE(frame->MenuCommand(ID_OPTIONS)->isEnabled());

    frame->HostEntry()->setEditText(QStringLiteral("127.0.0.1"));
    showMenus();
    EXPECT_TRUE(startStop->isEnabled());
    EXPECT_TRUE(frame->RouteCommand(ID_PING_STARTSTOP));
    EXPECT_TRUE(doc.IsRunning());
    EXPECT_TRUE(frame->RouteCommand(ID_START_STOP_KEY));
    EXPECT_FALSE(doc.IsRunning());

    // Every item, the file commands' included, says in the status bar what it does.
    for (QAction* popup : frame->menuBar()->actions()) {
        for (const QAction* item : popup->menu()->actions()) {
            if (!item->isSeparator() && item->isVisible()) {
                EXPECT_FALSE(item->statusTip().isEmpty()) << item->text().toStdString();
            }
        }
    }
    EXPECT_FALSE(frame->HostEntry()->statusTip().isEmpty());
}

// The application side: records what the window asks of it.
class RecordingApp final : public IFrameApp {
public:
    void OnHelpCommand(unsigned int command, const QString&) override { help.push_back(command); }
    void OnWebCommand(unsigned int command) override { web.push_back(command); }
    void OnUpdateCheck(QWidget*, bool automatic) override { (automatic ? autoChecks : userChecks)++; }
    void OnAbout(QWidget*) override { ++about; }
    bool OnlineFeaturesOn() const override { return true; }
    QWidget* CreateOnlineResourceView(QWidget* parent) override {
        ++views;
        return new QLabel(QStringLiteral("online"), parent);
    }
    QString Language() const override { return QStringLiteral("en_us"); }
    void SetMainTitle(std::u16string_view name) override { titles.emplace_back(name); }
    QString ApplicationTitle() const override { return QStringLiteral("Test Title"); }

    std::vector<std::u16string> titles;
    std::vector<unsigned> help, web;
    int autoChecks = 0, userChecks = 0, about = 0, views = 0;
};

TEST_F(MainFrameTest, ApplicationGetsHelpWebUpdateAndTheOnlinePane) {
    RecordingApp app;
    frame = std::make_unique<CMainFrame>(doc, &app, key);
    ASSERT_NE(frame->OnlinePane(), nullptr);
    EXPECT_EQ(app.views, 0);  // made on first show only
    frame->ShowAtPlacement();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    QApplication::processEvents();
    EXPECT_EQ(app.views, 1);
    frame->OnlinePane()->hide();
    frame->OnlinePane()->show();
    QApplication::processEvents();
    EXPECT_EQ(app.views, 1);

    QTest::keyClick(frame.get(), Qt::Key_F1);
    frame->MenuCommand(ID_HOME_PAGE)->trigger();
    frame->MenuCommand(ID_CHECK_UPDATE)->trigger();
    frame->MenuCommand(ID_APP_ABOUT)->trigger();
    EXPECT_EQ(app.help, std::vector<unsigned>{ID_HELP_INDEX});
    EXPECT_EQ(app.web, std::vector<unsigned>{ID_HOME_PAGE});
    EXPECT_EQ(app.userChecks, 1);
    EXPECT_EQ(app.about, 1);
    // The automatic update check comes once, a second after creation.
    QTest::qWait(1300);
    EXPECT_EQ(app.autoChecks, 1);
    QTest::qWait(1100);
    EXPECT_EQ(app.autoChecks, 1);
}

// Items of menu that share their mnemonic, as "letter: text | text" lines;
// submenus are walked as menus of their own.
QStringList MnemonicClashes(const QMenu& menu, const QString& where, bool english) {
    // The English texts keep the two clashes their own wording has.
    static const QStringList kEnglishPairs[] = {
        {QStringLiteral("&Legend Box"), QStringLiteral("&Line Chart")},
        {QStringLiteral("&Contents"), QStringLiteral("&Check for Latest Version...")},
    };
    QStringList clashes;
    QMap<QKeySequence, QString> seen;
    for (const QAction* item : menu.actions()) {
        if (item->menu() != nullptr) {
            clashes += MnemonicClashes(*item->menu(), where + QStringLiteral(" > ") + item->text(), english);
        }
        const QKeySequence key = QKeySequence::mnemonic(item->text());
        if (key.isEmpty()) {
            continue;
        }
        if (seen.contains(key)) {
            const QStringList pair = {seen[key], item->text()};
            const bool allowed = english && std::find(std::begin(kEnglishPairs), std::end(kEnglishPairs), pair) !=
                                                std::end(kEnglishPairs);
            if (!allowed) {
                clashes << where + QStringLiteral(": ") + seen[key] + QStringLiteral(" | ") + item->text();
            }
        }
        seen.insert(key, item->text());
    }
    return clashes;
}

TEST_F(MainFrameTest, EveryMenuOfEveryLanguageGivesEachItemItsOwnLetter) {
    for (const std::string lang : {"en", "de_de", "zh_cn"}) {
        if (lang != "en") {
            const std::string module = std::string(std::getenv("OV_BIN_DIR")) + "/mui/" + lang + "/OvPingRes.so";
            ASSERT_TRUE(SelectLanguageModule(std::u16string(module.begin(), module.end()))) << module;
        }
        const bool english = lang == "en";
        Open();
        QStringList clashes;
        QMenu bar;  // the menu bar's own popups are one menu too
        for (QAction* popup : frame->menuBar()->actions()) {
            bar.addAction(popup->text());
            if (popup->menu() != nullptr) {
                emit popup->menu()->aboutToShow();
                clashes += MnemonicClashes(*popup->menu(), popup->text(), english);
            }
        }
        clashes += MnemonicClashes(bar, QStringLiteral("menu bar"), english);

        CLogListView* list = frame->LogFrame()->GetListView();
        for (int mode : {CLogListView::kClassicView, CLogListView::kTableView}) {
            list->SetViewMode(mode);
            QMenu context;
            list->BuildContextMenu(context);
            clashes += MnemonicClashes(context, QStringLiteral("log list"), english);
        }
        QMenu treeMenu;
        frame->TreeFrame()->GetTreeView()->BuildContextMenu(treeMenu);
        clashes += MnemonicClashes(treeMenu, QStringLiteral("tree"), english);
        auto* chartFrame = qobject_cast<COvViewFrame*>(frame->ChartRow());
        ASSERT_NE(chartFrame, nullptr);
        auto* chart = qobject_cast<CChartView*>(chartFrame->GetView());
        ASSERT_NE(chart, nullptr);
        QMenu chartMenu;
        chart->BuildContextMenu(chartMenu);
        EXPECT_GT(chartMenu.actions().size(), 5);
        clashes += MnemonicClashes(chartMenu, QStringLiteral("chart"), english);

        EXPECT_TRUE(clashes.isEmpty()) << lang << ":\n" << clashes.join('\n').toStdString();
        frame.reset();
        ResetLanguageModule();
    }
}

}  // namespace
