// Desktop notifications on a private session bus started by the test, to a
// notification server of the test's own that records every Notify call and
// can invoke an action as a user clicking it would.
#include <arpa/inet.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QVariantMap>
#include <gtest/gtest.h>

#include "AlertCenter.h"
#include "DesktopNotifier.h"
#include "HostProbe.h"
#include "MainFrame.h"
#include "OvPingDoc.h"
#include "StatTreeFrame.h"
#include "StatTreeView.h"
#include "support/fake_icmp.h"
#include "support/view_host.h"

namespace {

using ov::test::FakeReply;

constexpr int kWaitMs = 20000;  // a bound for a hung run, not a speed target
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

struct NotifyCall {
    QString app;
    uint replaces = 0;
    QString icon;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
    int timeout = 0;
};

// What a desktop's notification service does, as far as the program uses it.
class NotificationServer final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    explicit NotificationServer(QDBusConnection bus) : m_bus(std::move(bus)) {}

    bool Register() {
        return m_bus.registerObject(kPath, this, QDBusConnection::ExportAllSlots) && m_bus.registerService(kService);
    }
    void Unregister() {
        m_bus.unregisterService(kService);
        m_bus.unregisterObject(kPath);
    }
    // As a user clicking the action of notification id.
    void Invoke(uint id, const QString& action) {
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kService, QStringLiteral("ActionInvoked"));
        signal << id << action;
        m_bus.send(signal);
    }

    QList<NotifyCall> calls;

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap& hints, int timeout) {
        calls.push_back({app, replaces, icon, summary, body, actions, hints, timeout});
        return static_cast<uint>(calls.size()) + 100;
    }
    QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }

private:
    QDBusConnection m_bus;
};

// dbus-daemon on a private session bus, for this test program alone; it
// becomes the session bus of the process before anything asks for it.
class PrivateBus {
public:
    PrivateBus() {
        m_daemon.setProgram(QStringLiteral("dbus-daemon"));
        m_daemon.setArguments(
            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        m_daemon.start();
        if (!m_daemon.waitForStarted(kWaitMs)) {
            return;
        }
        while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(kWaitMs)) {
        }
        address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        if (!address.isEmpty()) {
            qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        }
    }
    ~PrivateBus() {
        m_daemon.terminate();
        m_daemon.waitForFinished(kWaitMs);
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    QString address;

private:
    QProcess m_daemon;
};

class NotifyTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string dir = (std::filesystem::temp_directory_path() / "ov-notify-XXXXXX").string();
        ASSERT_NE(mkdtemp(dir.data()), nullptr);
        s_dir = dir;
        setenv("OV_REGISTRY_DIR", s_dir.c_str(), 1);
        s_bus = std::make_unique<PrivateBus>();
    }
    static void TearDownTestSuite() {
        QDBusConnection::disconnectFromBus(QStringLiteral("server"));
        s_bus.reset();
        std::error_code ec;
        std::filesystem::remove_all(s_dir, ec);
    }

    void SetUp() override {
        if (s_bus->address.isEmpty()) {
            GTEST_SKIP() << "dbus-daemon could not be started (is the dbus-daemon package installed?)";
        }
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());
        server = std::make_unique<NotificationServer>(
            QDBusConnection::connectToBus(s_bus->address, QStringLiteral("server")));
        ASSERT_TRUE(server->Register());
        doc.Settings().TimeDelay = 100;
        doc.PollTime() = 100;
        fake.SetDefault({.roundTripTime = 2});
    }
    void TearDown() override {
        doc.StopAll();
        if (server) {
            server->Unregister();
        }
    }

    static std::u16string KeyOfTest() {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        return u"Software\\Orvantek Test\\" + std::u16string(name.begin(), name.end());
    }

    // Waits until no notification is on its way to the server.
    static void Settle(const CDesktopNotifier& notifier) {
        QTRY_VERIFY_WITH_TIMEOUT(notifier.CallsInFlight() == 0, kWaitMs);
    }

    static inline std::string s_dir;
    static inline std::unique_ptr<PrivateBus> s_bus;
    std::unique_ptr<NotificationServer> server;
    std::u16string key = KeyOfTest();
    ov::test::FakeIcmpProvider fake;
    ov::test::ProviderScope scope{{&fake}};
    COvPingDoc doc;
};

HostAlert DownAlert(unsigned index, const char* name, std::uint32_t address) {
    HostAlert alert;
    alert.hostIndex = index;
    alert.name = QString::fromLatin1(name);
    alert.address = htonl(address);
    alert.change = {HostState::Up, HostState::Down, 1000, 900, 3, 2000, PE_LOST};
    return alert;
}

TEST_F(NotifyTest, HostDownAndUpGivesExactlyTwoNotifications) {
    ov::test::ViewHost host(doc);
    CAlertCenter alerts(doc, CProfile(key));
    alerts.AttachTree(host.TreeFrame().GetTreeView());
    // Up after two replies (told of nothing), down after three losses; it
    // answers again only once the first notification is out, so that the
    // two are not folded into one.
    const FakeReply lost{.status = IP_DEST_HOST_UNREACHABLE};
    fake.Script({{.roundTripTime = 2}, {.roundTripTime = 2}});
    fake.SetDefault(lost);
    doc.StartRun(u"127.0.0.1");
    QTRY_VERIFY_WITH_TIMEOUT(server->calls.size() == 1, kWaitMs);
    fake.SetDefault({.roundTripTime = 2});
    QTRY_VERIFY_WITH_TIMEOUT(server->calls.size() == 2, kWaitMs);
    // Replies go on; nothing more is told.
    ASSERT_TRUE(fake.WaitForSends(fake.SendCalls() + 4, std::chrono::milliseconds(kWaitMs)));
    doc.StopAll();
    ASSERT_NE(alerts.Notifier(), nullptr);
    alerts.Notifier()->Flush();
    Settle(*alerts.Notifier());
    ASSERT_EQ(server->calls.size(), 2);
    PING_STATS stats{};
    doc.GetHost(0)->GetStatistics(stats);

    const NotifyCall& down = server->calls[0];
    EXPECT_EQ(down.app, QStringLiteral("Orvantek Ping Tool"));
    EXPECT_EQ(down.replaces, 0u);
    EXPECT_EQ(down.summary, QStringLiteral("127.0.0.1 is down"));
    EXPECT_EQ(down.body, QStringLiteral("Last response time: 2 ms. Lost requests: 3."));
    EXPECT_EQ(down.actions, (QStringList{QStringLiteral("show"), QStringLiteral("Show")}));
    EXPECT_EQ(down.hints.value(QStringLiteral("urgency")).toInt(), 2);
    EXPECT_EQ(down.timeout, -1);

    const NotifyCall& up = server->calls[1];
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^127\\.0\\.0\\.1 is up again after \\d+ s$")).match(up.summary).hasMatch())
        << up.summary.toStdString();
    // Every request it lost, it lost while down (the three that made it so included).
    EXPECT_EQ(up.body, QStringLiteral("Response time: 2 ms. Requests lost while down: %1.").arg(stats.lost));
    EXPECT_EQ(up.hints.value(QStringLiteral("urgency")).toInt(), 1);
}

TEST_F(NotifyTest, ChangesWithinOneSecondAreFoldedIntoOneNotification) {
    CDesktopNotifier notifier;
    notifier.Add(DownAlert(0, "alpha", 0x7f000001));
    notifier.Add(DownAlert(1, "beta", 0x7f000002));
    notifier.Add(DownAlert(2, "gamma", 0x7f000003));
    HostAlert back = DownAlert(3, "delta", 0x7f000004);
    back.change = {HostState::Down, HostState::Up, 1075, 1000, 7, 1500, PE_REPLY};
    notifier.Add(back);
    QTRY_VERIFY_WITH_TIMEOUT(server->calls.size() == 1, kWaitMs);
    Settle(notifier);
    ASSERT_EQ(server->calls.size(), 1);
    EXPECT_EQ(server->calls[0].summary, QStringLiteral("3 hosts down: alpha, beta, gamma"));
    EXPECT_EQ(server->calls[0].body, QStringLiteral("1 hosts up again: delta\n"
                                                    "alpha (127.0.0.1) is down\n"
                                                    "beta (127.0.0.2) is down\n"
                                                    "gamma (127.0.0.3) is down\n"
                                                    "delta (127.0.0.4) is up again after 1 min 15 s"));
    // A change after the fold went out starts a notification of its own.
    notifier.Add(back);
    QTRY_VERIFY_WITH_TIMEOUT(server->calls.size() == 2, kWaitMs);
    EXPECT_EQ(server->calls[1].summary, QStringLiteral("delta (127.0.0.4) is up again after 1 min 15 s"));
    EXPECT_EQ(server->calls[1].body, QStringLiteral("Response time: 1 ms. Requests lost while down: 7."));
}

TEST_F(NotifyTest, WithoutAServiceItIsSaidOnceAndAlertsGoOn) {
    server->Unregister();
    CDesktopNotifier notifier;
    QSignalSpy unavailable(&notifier, &CDesktopNotifier::unavailable);
    notifier.Add(DownAlert(0, "alpha", 0x7f000001));
    notifier.Flush();
    notifier.Add(DownAlert(1, "beta", 0x7f000002));
    notifier.Flush();
    Settle(notifier);
    EXPECT_EQ(unavailable.count(), 1);
    // The service comes (back): notifications reach it.
    ASSERT_TRUE(server->Register());
    notifier.Add(DownAlert(2, "gamma", 0x7f000003));
    notifier.Flush();
    Settle(notifier);
    ASSERT_EQ(server->calls.size(), 1);
    EXPECT_EQ(server->calls[0].summary, QStringLiteral("gamma (127.0.0.3) is down"));
    EXPECT_EQ(unavailable.count(), 1);
}

TEST_F(NotifyTest, ShowRaisesTheWindowAndSelectsTheHost) {
    CMainFrame frame(doc, nullptr, key);
    frame.ShowAtPlacement();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    fake.SetDestinationCycle(htonl(0x7f000003), {{.status = IP_DEST_HOST_UNREACHABLE}});
    doc.StartRun(u"127.0.0.1 127.0.0.2 127.0.0.3");
    QTRY_VERIFY_WITH_TIMEOUT(server->calls.size() == 1, kWaitMs);
    EXPECT_EQ(server->calls[0].summary, QStringLiteral("127.0.0.3 is down"));
    CStatTreeView& tree = *frame.TreeFrame()->GetTreeView();
    EXPECT_EQ(doc.GetCurrentIndex(), 0u);

    frame.showMinimized();
    server->Invoke(101, QStringLiteral("show"));
    QTRY_VERIFY_WITH_TIMEOUT(doc.GetCurrentIndex() == 2u, kWaitMs);
    EXPECT_EQ(tree.CurrentHostItem().row(), 2);
    EXPECT_FALSE(frame.isMinimized());
    EXPECT_TRUE(frame.isVisible());
}

TEST_F(NotifyTest, StatusBarSaysOnceThatNoServiceAnswers) {
    server->Unregister();
    CMainFrame frame(doc, nullptr, key);
    frame.ShowAtPlacement();
    fake.SetDefault({.status = IP_DEST_HOST_UNREACHABLE});
    doc.StartRun(u"127.0.0.1");
    const QString said =
        QStringLiteral("No desktop notification service answers: alerts show in the tree and the tray only.");
    QTRY_COMPARE_WITH_TIMEOUT(frame.statusBar()->currentMessage(), said, kWaitMs);
    EXPECT_EQ(frame.TreeFrame()->GetTreeView()->GetModel()->Host(0).down, true);
}

}  // namespace

#include "notify_test.moc"
