// The window's alerts over a run on the scripted ICMP provider: the host
// states shown in the statistics tree and the tray, the choices of the
// alert dialog in the profile.
#include <arpa/inet.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <QAction>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QCheckBox>
#include <QKeySequence>
#include <QLabel>
#include <QSet>
#include <QTest>
#include <gtest/gtest.h>

#include "AlertCenter.h"
#include "AlertDlg.h"
#include "AlertSettings.h"
#include "MsgFormat.h"
#include "OvPingDoc.h"
#include "StatTreeView.h"
#include "ovui/OvPictures.h"
#include "support/fake_icmp.h"
#include "support/view_host.h"
#include "support/temp_registry.h"

namespace {

using ov::test::FakeReply;

constexpr int kWaitMs = 20000;  // a bound for a hung run, not a speed target

std::u16string KeyOfTest() {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    return u"Software\\Orvantek Test\\" + std::u16string(name.begin(), name.end());
}

QImage Picture(const QVariant& icon) {
    return icon.value<QIcon>().pixmap(16, 16).toImage();
}

// The registry files of these tests live in a folder of their own.
class AlertsTest : public ov::test::RegistrySuite {
protected:
    AlertsTest() {
        doc.Settings().TimeDelay = 100;
        doc.PollTime() = 100;
        fake.SetDefault({.roundTripTime = 2});
    }
    ~AlertsTest() override { doc.StopAll(); }

    std::u16string key = KeyOfTest();
    ov::test::FakeIcmpProvider fake;
    ov::test::ProviderScope scope{{&fake}};
    COvPingDoc doc;
};

TEST_F(AlertsTest, TreeAndTrayShowAHostGoingDownAndComingBack) {
    ov::test::ViewHost host(doc);
    CStatTreeView& tree = *host.TreeFrame().GetTreeView();
    CAlertCenter alerts(doc, CProfile(key));
    alerts.AttachTree(&tree);
    EXPECT_EQ(alerts.Tray().CurrentLook(), CAlertTray::Look::Idle);
    EXPECT_EQ(alerts.Tray().Icon().toolTip(), QStringLiteral("Orvantek Ping Tool"));

    // The second host answers nothing from the start.
    const IPAddr second = htonl(0x7f000002);
    fake.SetDestinationCycle(second, {{.status = IP_DEST_HOST_UNREACHABLE}});
    doc.StartRun(u"127.0.0.1 127.0.0.2");
    ASSERT_TRUE(doc.IsRunning());
    QTRY_VERIFY_WITH_TIMEOUT(alerts.Monitor().State(1) == HostState::Down, kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(alerts.Monitor().State(0) == HostState::Up, kWaitMs);

    CStatTreeModel& model = *tree.GetModel();
    const QModelIndex upNode = model.index(0, 0, {});
    const QModelIndex downNode = model.index(1, 0, {});
    EXPECT_EQ(Picture(model.data(downNode, Qt::DecorationRole)), Picture(OvPicture(QStringLiteral("tree-host-down"))));
    EXPECT_EQ(Picture(model.data(upNode, Qt::DecorationRole)), Picture(OvPicture(QStringLiteral("tree-host"))));
    EXPECT_TRUE(model.data(downNode, Qt::ToolTipRole).toString().startsWith(QStringLiteral("Down since ")));
    EXPECT_FALSE(model.data(upNode, Qt::ToolTipRole).isValid());
    // The statistic lines keep their own picture.
    EXPECT_EQ(Picture(model.data(model.index(0, 0, downNode), Qt::DecorationRole)),
              Picture(OvPicture(QStringLiteral("tree-line"))));
    EXPECT_EQ(alerts.Tray().CurrentLook(), CAlertTray::Look::AnyDown);
    EXPECT_EQ(alerts.Tray().Icon().toolTip(), QStringLiteral("1 of 2 hosts down"));
    EXPECT_EQ(alerts.Tray().StartStopAction()->text(), QStringLiteral("Sto&p Ping"));

    // It answers again: the marks go, the tray turns green.
    fake.SetDestinationCycle(second, {});
    QTRY_VERIFY_WITH_TIMEOUT(alerts.Monitor().State(1) == HostState::Up, kWaitMs);
    EXPECT_EQ(Picture(model.data(downNode, Qt::DecorationRole)), Picture(OvPicture(QStringLiteral("tree-host"))));
    EXPECT_FALSE(model.data(downNode, Qt::ToolTipRole).isValid());
    EXPECT_EQ(alerts.Tray().CurrentLook(), CAlertTray::Look::AllUp);
    EXPECT_EQ(alerts.Tray().Icon().toolTip(), QStringLiteral("0 of 2 hosts down"));

    doc.StopAll();
    EXPECT_EQ(alerts.Tray().CurrentLook(), CAlertTray::Look::Idle);
    EXPECT_EQ(alerts.Tray().StartStopAction()->text(), QStringLiteral("Start &Ping"));
}

TEST_F(AlertsTest, HostOffTheCurrentOneIsFollowedAndANewRunForgetsTheOld) {
    ov::test::ViewHost host(doc);
    CAlertCenter alerts(doc, CProfile(key));
    alerts.AttachTree(host.TreeFrame().GetTreeView());
    // Only the first host (the current one) notifies; the third is seen on the timer.
    fake.SetDestinationCycle(htonl(0x7f000003), {{.status = IP_DEST_HOST_UNREACHABLE}});
    doc.StartRun(u"127.0.0.1 127.0.0.2 127.0.0.3");
    QTRY_VERIFY_WITH_TIMEOUT(alerts.Monitor().State(2) == HostState::Down, kWaitMs);
    EXPECT_EQ(alerts.Monitor().DownCount(), 1u);
    doc.StopAll();

    fake.SetDestinationCycle(htonl(0x7f000003), {});
    doc.StartRun(u"127.0.0.3");
    EXPECT_EQ(alerts.Monitor().HostCount(), 1u);
    EXPECT_EQ(alerts.Monitor().State(0), HostState::Unknown);
    EXPECT_EQ(alerts.Monitor().DownCount(), 0u);
    QTRY_VERIFY_WITH_TIMEOUT(alerts.Monitor().State(0) == HostState::Up, kWaitMs);
}

TEST_F(AlertsTest, ThresholdsOfTheDialogDecideWhenAHostIsDown) {
    ov::test::ViewHost host(doc);
    {
        CAlertDlg dialog(LoadAlertSettings(CProfile(key)), CProfile(key));
        dialog.DownAfter()->setValue(5);
        dialog.UpAfter()->setValue(4);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("ok")), Qt::LeftButton);
        EXPECT_TRUE(dialog.Saved());
    }
    CAlertCenter alerts(doc, CProfile(key));
    EXPECT_EQ(alerts.Settings().thresholds.downAfter, 5u);
    // Two replies, four losses, then replies: never down with five needed.
    fake.Script({{},
                 {},
                 {.status = IP_DEST_HOST_UNREACHABLE},
                 {.status = IP_DEST_HOST_UNREACHABLE},
                 {.status = IP_DEST_HOST_UNREACHABLE},
                 {.status = IP_DEST_HOST_UNREACHABLE}});
    QSignalSpy changes(&alerts.Monitor(), &CAlertMonitor::transitions);
    doc.StartRun(u"127.0.0.1");
    ASSERT_TRUE(fake.WaitForSends(12, std::chrono::milliseconds(kWaitMs)));
    doc.StopAll();
    QList<HostState> states;
    for (const QList<QVariant>& signal : changes) {
        for (const HostAlert& alert : signal.at(0).value<QList<HostAlert>>()) {
            states.push_back(alert.change.to);
        }
    }
    EXPECT_EQ(states, QList<HostState>{HostState::Up});
}

TEST_F(AlertsTest, DialogKeepsItsChoicesInTheProfileAndCancelKeepsNothing) {
    CProfile profile(key);
    // Defaults: notifications on, sound and tray off, 3 and 2, slow off.
    const ALERT_SETTINGS defaults = LoadAlertSettings(profile);
    EXPECT_EQ(defaults, ALERT_SETTINGS{});
    {
        CAlertDlg dialog(defaults, profile);
        EXPECT_EQ(dialog.SlowMs()->text(), QStringLiteral("off"));
        dialog.DownAfter()->setValue(1);
        dialog.UpAfter()->setValue(10);
        dialog.SlowMs()->setValue(250);
        dialog.Notify()->setChecked(false);
        dialog.Sound()->setChecked(true);
        dialog.KeepInTray()->setChecked(true);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("cancel")), Qt::LeftButton);
    }
    EXPECT_EQ(LoadAlertSettings(profile), defaults);
    ALERT_SETTINGS chosen;
    {
        CAlertDlg dialog(defaults, profile);
        dialog.DownAfter()->setValue(1);
        dialog.UpAfter()->setValue(10);
        dialog.SlowMs()->setValue(250);
        dialog.Notify()->setChecked(false);
        dialog.Sound()->setChecked(true);
        dialog.KeepInTray()->setChecked(true);
        chosen = dialog.Settings();
        dialog.show();
        QTest::keyClick(&dialog, Qt::Key_Return);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(LoadAlertSettings(profile), chosen);
    EXPECT_EQ(chosen.thresholds.slowMs, 250u);

    // Values out of range from an edited profile are brought into it.
    profile.WriteProfileInt(kAlertSection, u"DownAfter", 0);
    profile.WriteProfileInt(kAlertSection, u"UpAfter", 5000);
    profile.WriteProfileInt(kAlertSection, u"SlowMs", -1);
    const ALERT_SETTINGS clamped = LoadAlertSettings(profile);
    EXPECT_EQ(clamped.thresholds.downAfter, kMinAlertCount);
    EXPECT_EQ(clamped.thresholds.upAfter, kMaxAlertCount);
    EXPECT_EQ(clamped.thresholds.slowMs, kMaxSlowMs);
}

TEST_F(AlertsTest, TrayMenuAsksForShowStartStopAndExit) {
    CAlertCenter alerts(doc, CProfile(key));
    QSignalSpy show(&alerts, &CAlertCenter::showWindowRequested);
    QSignalSpy startStop(&alerts, &CAlertCenter::startStopRequested);
    QSignalSpy exit(&alerts, &CAlertCenter::exitRequested);
    const QList<QAction*> items = alerts.Tray().Menu().actions();
    ASSERT_EQ(items.size(), 4);  // Show, Start/Stop, a separator, Exit
    EXPECT_EQ(items[0]->text(), QStringLiteral("&Show"));
    EXPECT_EQ(items[3]->text(), QStringLiteral("E&xit"));
    items[1]->trigger();
    items[3]->trigger();
    items[0]->trigger();
    EXPECT_EQ(show.count(), 1);
    EXPECT_EQ(startStop.count(), 1);
    EXPECT_EQ(exit.count(), 1);
    // Closing the window keeps the program only when chosen and a tray shows it.
    EXPECT_FALSE(alerts.KeepsInTray());
    alerts.SetTrayAvailable(true);
    EXPECT_FALSE(alerts.KeepsInTray());
    ALERT_SETTINGS keep;
    keep.keepInTray = true;
    alerts.Apply(keep);
    EXPECT_TRUE(alerts.KeepsInTray());
    alerts.SetTrayAvailable(false);
    EXPECT_FALSE(alerts.KeepsInTray());
}

TEST_F(AlertsTest, TrayMenuAndDialogGiveEachItemItsOwnLetterInEveryLanguage) {
    for (const std::string lang : {"en", "de_de", "zh_cn"}) {
        if (lang != "en") {
            const char* bin = std::getenv("OV_BIN_DIR");
            ASSERT_NE(bin, nullptr);
            ASSERT_TRUE(SelectLanguageModule(
                QString("%1/mui/%2/OvPingRes.so").arg(bin, QString::fromStdString(lang)).toStdU16String()));
        }
        // Every text with its letter: the tray menu's while idle and during
        // a run (the Start/Stop item changes), then the dialog's.
        const auto clashes = [](const QStringList& texts) {
            QSet<QKeySequence> seen;
            QStringList twice;
            for (const QString& text : texts) {
                const QKeySequence key = QKeySequence::mnemonic(text);
                EXPECT_FALSE(key.isEmpty()) << text.toStdString();
                if (seen.contains(key)) {
                    twice << text;
                }
                seen.insert(key);
            }
            return twice;
        };
        {
            CAlertTray tray;
            QStringList idle;
            for (const QAction* item : tray.Menu().actions()) {
                if (!item->isSeparator()) {
                    idle << item->text();
                }
            }
            tray.Update(true, 2, 1, false);
            QStringList running = idle;
            running[1] = tray.StartStopAction()->text();
            EXPECT_NE(running[1], idle[1]) << lang;
            EXPECT_EQ(clashes(idle), QStringList()) << lang;
            EXPECT_EQ(clashes(running), QStringList()) << lang;
        }
        {
            CAlertDlg dialog(ALERT_SETTINGS{}, CProfile(key));
            QStringList texts;
            for (const QLabel* label : dialog.findChildren<QLabel*>()) {
                if (label->buddy() != nullptr) {
                    texts << label->text();
                }
            }
            for (const QCheckBox* box : dialog.findChildren<QCheckBox*>()) {
                texts << box->text();
            }
            EXPECT_EQ(texts.size(), 6) << lang;
            EXPECT_EQ(clashes(texts), QStringList()) << lang;
        }
        ResetLanguageModule();
    }
}

}  // namespace
