// The option dialog driven through its buttons, keys and sliders, over a
// document whose hosts ping the scripted ICMP provider.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

#include "MsgFormat.h"
#include "OptionDlg.h"
#include "OvPingDoc.h"
#include "PingSettings.h"
#include "support/fake_icmp.h"
#include "support/temp_registry.h"

namespace {

using Row = COptionDlg::Row;

struct RecordingView final : IPingView {
    void OnUpdate(UINT hint) override { hints.push_back(hint); }
    std::vector<UINT> hints;
};

// The registry files of these tests live in a folder of their own.
class OptionDlgTest : public ov::test::RegistrySuite {
protected:
    OptionDlgTest() { doc.AddView(&view); }
    ~OptionDlgTest() override { doc.RemoveView(&view); }

    // A profile key of this test alone.
    static std::u16string KeyOfTest() {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        return u"Software\\Orvantek Test\\" + std::u16string(name.begin(), name.end());
    }

    static void Click(const COptionDlg& dlg, const char* name) {
        auto* button = dlg.findChild<QPushButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }

    static std::vector<QString> Labels(const COptionDlg& dlg) {
        std::vector<QString> out;
        for (int r = 0; r < COptionDlg::RowCount; ++r) {
            out.push_back(dlg.ValueLabel(static_cast<Row>(r))->text());
        }
        return out;
    }

    CProfile profile{KeyOfTest()};
    ov::test::FakeIcmpProvider fake;
    ov::test::ProviderScope scope{{&fake}};
    RecordingView view;
    COvPingDoc doc;  // last, so that its hosts go before the provider
};

TEST_F(OptionDlgTest, OutOfRangeValuesShowAtTheNearestEndAndOkStoresThem) {
    doc.Settings().TimeOut = 5000;          // as from the command line
    doc.Settings().TimeDelay = 0xFFFFFFFF;  // a stored -1: far above, not below
    doc.Settings().IPOption.Ttl = 0;        // a stored 256
    doc.Settings().Size = 100;              // inside, off the tick grid
    COptionDlg dlg(&doc, profile);
    EXPECT_EQ(dlg.Slider(Row::RowTimeOut)->value(), 2000);
    EXPECT_EQ(dlg.ValueLabel(Row::RowTimeOut)->text(), "2000");
    EXPECT_EQ(dlg.Slider(Row::RowDelay)->value(), 10000);
    EXPECT_EQ(dlg.ValueLabel(Row::RowTtl)->text(), "1");
    EXPECT_EQ(dlg.ValueLabel(Row::RowSize)->text(), "100");

    Click(dlg, "ok");
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(doc.Settings().TimeOut, 2000u);
    EXPECT_EQ(doc.Settings().TimeDelay, 10000u);
    EXPECT_EQ(doc.Settings().IPOption.Ttl, 1);
    EXPECT_EQ(doc.Settings().Size, 100u);
    EXPECT_EQ(profile.GetProfileInt(u"Ping", u"TimeOut", 0), 2000u);
    EXPECT_EQ(profile.GetProfileInt(u"Ping", u"TimeDelay", 0), 10000u);
}

TEST_F(OptionDlgTest, LoadDefaultThenCancelKeepsTheDefaultsInTheDocumentOnly) {
    PING_SETTINGS& s = doc.Settings();
    s.Size = 512;
    s.TimeDelay = 200;
    s.TimeOut = 1000;
    s.Probe = 5;
    s.IPOption = {7, 16, 2, 0, nullptr};
    doc.PollTime() = 2500;
    ASSERT_TRUE(SaveSettings(profile, doc));
    doc.StartRun(u"127.0.0.1 127.0.0.2");
    ASSERT_EQ(doc.GetHostCount(), 2u);
    view.hints.clear();

    COptionDlg dlg(&doc, profile);
    Click(dlg, "loadDefault");
    EXPECT_EQ(Labels(dlg), (std::vector<QString>{"64", "255", "500", "1500", "3", "500"}));
    Click(dlg, "cancel");
    EXPECT_EQ(dlg.result(), QDialog::Rejected);

    EXPECT_EQ(s.Size, 64u);
    EXPECT_EQ(s.TimeDelay, 1500u);
    EXPECT_EQ(s.TimeOut, 500u);
    EXPECT_EQ(s.Probe, 3);
    EXPECT_EQ(s.IPOption.Ttl, 255);
    EXPECT_EQ(doc.PollTime(), 500u);
    EXPECT_EQ(s.IPOption.Tos, 16) << "not shown, not reset";
    EXPECT_EQ(s.IPOption.Flags, 2);

    PING_SETTINGS stored{};
    DWORD storedPoll = 0;
    LoadSettings(profile, stored, storedPoll);
    EXPECT_EQ(stored.Size, 512u);
    EXPECT_EQ(stored.Probe, 5);
    EXPECT_EQ(storedPoll, 2500u);
    for (UINT i = 0; i < doc.GetHostCount(); ++i) {
        const PING_SETTINGS host = doc.GetHost(i)->GetSettings();
        EXPECT_EQ(host.Size, 512u);
        EXPECT_EQ(host.TimeDelay, 200u);
        EXPECT_EQ(host.IPOption.Ttl, 7);
    }
    EXPECT_TRUE(view.hints.empty());
}

TEST_F(OptionDlgTest, OkStoresSavesAndPushesTheSliderValues) {
    doc.Settings().IPOption.Tos = 16;
    doc.StartRun(u"127.0.0.1");
    view.hints.clear();
    COptionDlg dlg(&doc, profile);
    QSlider* probe = dlg.Slider(Row::RowProbe);
    probe->setFocus();
    QTest::keyClick(probe, Qt::Key_End);
    QTest::keyClick(dlg.Slider(Row::RowTtl), Qt::Key_Home);
    QTest::keyClick(dlg.Slider(Row::RowPollTime), Qt::Key_PageUp);
    QTest::keyClick(dlg.Slider(Row::RowSize), Qt::Key_PageUp);
    Click(dlg, "ok");

    EXPECT_EQ(doc.Settings().Probe, 5);
    EXPECT_EQ(profile.GetProfileInt(u"Ping", u"Probe", 0), 5u);
    EXPECT_EQ(doc.Settings().IPOption.Ttl, 1);
    EXPECT_EQ(profile.GetProfileInt(u"Icmp", u"IPTtl", 0), 1u);
    EXPECT_EQ(doc.PollTime(), 600u);
    EXPECT_EQ(profile.GetProfileInt(u"Gui", u"PollTime", 0), 600u);
    EXPECT_EQ(doc.Settings().Size, 96u);
    EXPECT_EQ(profile.GetProfileInt(u"Icmp", u"IPTos", 0), 16u) << "written back unchanged";
    const PING_SETTINGS host = doc.GetHost(0)->GetSettings();
    EXPECT_EQ(host.Probe, 5);
    EXPECT_EQ(host.Size, 96u);
    EXPECT_EQ(view.hints, std::vector<UINT>{HINT_SETTINGS_CHANGED});
}

TEST_F(OptionDlgTest, OkSaysWhenTheSettingsCouldNotBeSaved) {
    {
        COptionDlg dlg(&doc, profile);
        Click(dlg, "ok");
        EXPECT_TRUE(dlg.Saved());
    }
    // A read-only settings file: the values hold for the run, the dialog says so.
    const std::string file = s_registry->user();
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    COptionDlg dlg(&doc, profile);
    QTest::keyClick(dlg.Slider(Row::RowSize), Qt::Key_PageUp);
    Click(dlg, "ok");
    ::chmod(file.c_str(), 0600);
    EXPECT_FALSE(dlg.Saved());
    EXPECT_EQ(doc.Settings().Size, 96u);
    EXPECT_EQ(profile.GetProfileInt(u"Ping", u"Size", 0), 64u);  // as the first OK left it
}

TEST_F(OptionDlgTest, EverySliderMoveRewritesAllLabels) {
    COptionDlg dlg(&doc, profile);
    for (int r = 0; r < COptionDlg::RowCount; ++r) {
        for (int other = 0; other < COptionDlg::RowCount; ++other) {
            dlg.ValueLabel(static_cast<Row>(other))->setText("x");
        }
        QSlider* slider = dlg.Slider(static_cast<Row>(r));
        QTest::keyClick(slider, r % 2 == 0 ? Qt::Key_PageUp : Qt::Key_PageDown);
        for (int other = 0; other < COptionDlg::RowCount; ++other) {
            const auto row = static_cast<Row>(other);
            EXPECT_EQ(dlg.ValueLabel(row)->text(), QString::number(dlg.Slider(row)->value()))
                << "row " << other << " after moving row " << r;
        }
    }
}

TEST_F(OptionDlgTest, WithoutDocumentNothingIsSetUpAndOkOnlyCloses) {
    COptionDlg dlg(nullptr, profile);
    EXPECT_EQ(dlg.ValueLabel(Row::RowTimeOut)->text(), "");
    Click(dlg, "loadDefault");
    Click(dlg, "ok");
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(profile.GetProfileInt(u"Ping", u"Probe", -7), static_cast<UINT>(-7)) << "nothing saved";
}

TEST_F(OptionDlgTest, HelpAsksTheApplicationAndTextsComeFromTheLanguageModule) {
    COptionDlg dlg(&doc, profile);
    dlg.show();
    QApplication::setActiveWindow(&dlg);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    QSignalSpy spy(&dlg, &COptionDlg::helpRequested);
    Click(dlg, "help");
    QTest::keyClick(dlg.Slider(Row::RowSize), Qt::Key_F1);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).toUInt(), 57670u);
    EXPECT_EQ(spy.at(1).at(0).toUInt(), 57670u);
    EXPECT_TRUE(dlg.isVisible()) << "help leaves the dialog open";
    EXPECT_EQ(dlg.windowTitle(), "Options");

    const char* bin = std::getenv("OV_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    ASSERT_TRUE(SelectLanguageModule(QString("%1/mui/de_de/OvPingRes.so").arg(bin).toStdU16String()));
    COptionDlg german(&doc, profile);
    ResetLanguageModule();
    EXPECT_EQ(german.windowTitle(), "Optionen");
    EXPECT_EQ(german.findChild<QPushButton*>("cancel")->text(), "Abbrechen");
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
