// The application object in this process: the interactive start-up on a
// registry and program folder of its own with the fake ICMP provider, its
// message boxes caught; help, web and update commands; the About box.
#include <csignal>

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

#include "AboutDlg.h"
#include "HelpWindow.h"
#include "MainFrame.h"
#include "MainProfile.h"
#include "MsgFormat.h"
#include "OptionDlg.h"
#include "OvPingDoc.h"
#include "PingProfile.h"
#include "PingSettings.h"
#include "TapperApp.h"
#include "support/loopback_server.h"
#include "ovmui/OvMuiLang.h"
#include "ovupdate/OvUpdate.h"
#include "platform/codepage.h"
#include "platform/module.h"
#include "registry/reg_test_util.h"
#include "startup/startup_test_util.h"
#include "support/fake_icmp.h"

namespace {

struct Shown {
    QString text;
    QString caption;
    QMessageBox::Icon icon;
};

class AppTest : public WithTestApp, public ::testing::Test {
protected:
    AppTest() {
        ov::OverrideExecutablePath(program.Program().c_str());
        ::setenv("XDG_DATA_HOME", (reg.dir() + "/data").c_str(), 1);
    }
    ~AppTest() override {
        ov::OverrideExecutablePath(nullptr);
        ::unsetenv("XDG_DATA_HOME");
        ResetLanguageModule();
    }
    // A started application for args (after the program name) in language.
    std::unique_ptr<CTapperApp> Start(const std::vector<std::u16string>& args, const char16_t* language = u"en_us") {
        // The program registered with the language library, as installed.
        CStartup installed({u"tapper"});
        installed.RunCommonSteps();
        OvMUI_RegisterApplication((installed.SharedDir() + u"mui").c_str(), u"en_us", nullptr);
        EXPECT_EQ(OvMUI_WriteUserLanguage(language), 1);
        std::vector<std::u16string> all{u"tapper"};
        all.insert(all.end(), args.begin(), args.end());
        auto app = std::make_unique<CTapperApp>(all);
        app->SetMessageBox([this](QWidget*, const QString& text, const QString& caption, QMessageBox::Icon icon) {
            shown.push_back({text, caption, icon});
        });
        app->SetUrlOpener([this](const QUrl& url) {
            opened.push_back(url.toString());
            return browserOpens;
        });
        started = app->InitInstance();
        return app;
    }
    // Puts the built help book of from into the program folder as code's.
    void AddHelpBook(const std::string& from, const std::string& code) const {
        const auto bin = starttest::fs::path(std::getenv("OV_BIN_DIR"));
        starttest::fs::create_directories(program.Dir() / "mui" / code);
        starttest::fs::create_directory_symlink(bin / "mui" / from / "help", program.Dir() / "mui" / code / "help");
    }

    regtest::TempRegistry reg;
    starttest::ProgramFolder program;
    ov::test::FakeIcmpProvider icmp;
    ov::test::ProviderScope providers{{&icmp}};
    // Runs the event loop as the program does; its result, or -1 when it did
    // not end within 20 s.
    static int RunEventLoop() {
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] { QApplication::exit(-1); });
        watchdog.start(20000);
        return QApplication::exec();
    }
    static CMainFrame& Frame(const CTapperApp& app) { return dynamic_cast<CMainFrame&>(*app.MainWindow()); }

    std::vector<Shown> shown;
    QStringList opened;
    bool browserOpens = true;
    int started = -1;
};

// The caption a window system shows: Qt's platform windows append the
// application's display name, when one is set, to a title not ending with it.
QString ShownCaption(const QWidget& window) {
    const QString display = QGuiApplication::applicationDisplayName();
    const QString title = window.windowTitle();
    const bool displayNameSet = display != QCoreApplication::applicationName();
    return displayNameSet && !title.endsWith(display) ? title + QString::fromUtf8(" \u2014 ") + display : title;
}

TEST_F(AppTest, LanguageChecksShowOneErrorBoxEachAndGoOnInEnglish) {
    program.AddLanguage("de_de", "zh_cn");             // a German module in the Chinese folder
    program.AddModule(OV_OTHER_VERSION_RES, "fr_fr");  // only the low version part differs
    const std::string dir = program.Dir().string();
    const std::pair<const char16_t*, QString> cases[] = {
        {u"zh_cn", "The language of resource file does not match!"},
        {u"fr_fr", "The version of resource file does not match!"},
        {u"it_it", QString::fromStdString("Couldn't Load Resource File \"" + dir + "/mui/it_it/OvPingRes.so\"!")},
    };
    for (const auto& [language, message] : cases) {
        shown.clear();
        auto app = Start({}, language);
        EXPECT_EQ(started, 1);
        ASSERT_EQ(shown.size(), 1u) << ov::WideToUtf8(language);
        EXPECT_EQ(shown[0].text, message);
        EXPECT_EQ(shown[0].caption, "Orvantek Ping Tool");
        EXPECT_EQ(shown[0].icon, QMessageBox::Critical);
        EXPECT_FALSE(HasLanguageModule());
        EXPECT_EQ(app->MainWindow()->windowTitle(), "Orvantek Ping Tool");
        EXPECT_TRUE(app->MainWindow()->isVisible());
    }
}

TEST_F(AppTest, APassingModuleTranslatesTheTitleSilently) {
    program.AddLanguage("zh_cn", "zh_cn");
    auto app = Start({}, u"zh_cn");
    EXPECT_EQ(started, 1);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(app->MainWindow()->windowTitle(), QString::fromUtf8("Orvantek Ping 工具"));
    app->SetMainTitle(u"a.example");
    EXPECT_EQ(app->MainWindow()->windowTitle(), QString::fromUtf8("a.example - Orvantek Ping 工具"));
}

TEST_F(AppTest, CommandLineStartsTheHostsForThisRunOnly) {
    auto app = Start({u"-a", u"-l128", u"-W100", u"127.0.0.1", u"127.0.0.2"});
    ASSERT_EQ(started, 1);
    COvPingDoc& doc = *app->Document();
    EXPECT_TRUE(doc.IsRunning());
    std::string names;
    for (UINT i = 0; i < doc.GetHostCount(); ++i) {
        names += ov::WideToUtf8(doc.GetHost(i)->GetHostName()) + "|";
    }
    ASSERT_EQ(doc.GetHostCount(), 2u) << names;
    EXPECT_EQ(doc.GetHost(0)->GetHostName(), u"127.0.0.1");
    EXPECT_EQ(doc.GetHost(1)->GetHostName(), u"127.0.0.2");
    EXPECT_EQ(doc.Settings().Size, 128u);
    EXPECT_EQ(doc.Settings().TimeOut, PING_SETTINGS{}.TimeOut);  // -W is no switch
    app->ExitInstance();
    COvPingDoc fresh;
    LoadSettings(CProfile(), fresh);
    EXPECT_NE(fresh.Settings().Size, 128u);
}

TEST_F(AppTest, WithoutAutoStartNothingRuns) {
    auto app = Start({u"-l128", u"127.0.0.1"});
    ASSERT_EQ(started, 1);
    EXPECT_FALSE(app->Document()->IsRunning());
    EXPECT_EQ(app->Document()->GetHostCount(), 0u);
}

TEST_F(AppTest, NoIcmpServiceEndsWithMessage33000) {
    icmp.SetLoadFails(true);
    auto app = Start({u"-a", u"127.0.0.1"});
    EXPECT_EQ(started, 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Can't Start NetWork.\nApplication will exit.");
    EXPECT_EQ(shown[0].caption, "Error");
    EXPECT_EQ(app->Updater(), nullptr);
    app->ExitInstance();
    EXPECT_EQ(app->Document(), nullptr);
}

TEST_F(AppTest, HelpCommandsOpenTheBookAtTheirPage) {
    AddHelpBook("en_us", "en_us");
    auto app = Start({});
    ASSERT_TRUE(app->HasHelpFile());
    app->OnHelpCommand(57669, "loglist.html");
    ASSERT_NE(app->HelpWindow(), nullptr);
    EXPECT_TRUE(app->HelpWindow()->isVisible());
    EXPECT_EQ(app->HelpWindow()->CurrentPage(), "loglist.html");
    app->OnHelpCommand(57671, "loglist.html");  // contents whatever the context
    EXPECT_EQ(app->HelpWindow()->CurrentPage(), "index.html");
    EXPECT_TRUE(app->HelpWindow()->Browser()->isBackwardAvailable());
    app->HelpWindow()->Browser()->backward();
    EXPECT_EQ(app->HelpWindow()->CurrentPage(), "loglist.html");
    app->OnHelpCommand(57670, "options");  // the option dialog's context
    EXPECT_EQ(app->HelpWindow()->CurrentPage(), "options.html");
    app->OnHelpCommand(57670, "no-such-page.html");
    EXPECT_EQ(app->HelpWindow()->CurrentPage(), "index.html");
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(AppTest, WithoutTheBookHelpOpensTheOnlineHelp) {
    auto app = Start({});
    ASSERT_FALSE(app->HasHelpFile());
    for (unsigned int command : {57671u, 57667u, 57670u, 57669u}) {
        app->OnHelpCommand(command, "loglist.html");
    }
    EXPECT_EQ(app->HelpWindow(), nullptr);
    EXPECT_EQ(opened, QStringList(4, OV_TEST_WEB_BASE "/tapper/help/"));
}

TEST_F(AppTest, WebAddressesFollowTheLanguageCaseSensitively) {
    const std::pair<const char16_t*, QString> cases[] = {
        {u"zh_tw", OV_TEST_WEB_BASE "/cn/"},
        {u"ZH_TW", OV_TEST_WEB_BASE "/"},
    };
    for (const auto& [language, home] : cases) {
        opened.clear();
        auto app = Start({}, language);
        app->OnWebCommand(32825);
        app->OnWebCommand(32826);
        app->OnWebCommand(32828);
        app->OpenOnlineHelp();
        EXPECT_EQ(opened, QStringList({home, home, OV_TEST_WEB_BASE "/forum/", home + "tapper/help/"}));
    }
}

TEST_F(AppTest, AutomaticUpdateCheckOnlyWithTheOnlineFeatures) {
    auto app = Start({});
    ASSERT_NE(app->Updater(), nullptr);
    EXPECT_FALSE(app->OnlineFeaturesOn());
    app->OnUpdateCheck(app->MainWindow(), true);
    EXPECT_FALSE(app->Updater()->IsChecking());
}

TEST_F(AppTest, AboutBoxShowsVersionAndBuild) {
    program.AddLanguage("de_de", "de_de");
    auto app = Start({}, u"de_de");
    CAboutDlg about(QString::fromStdU16String(app->Title()), "1.1.1.265");
    EXPECT_EQ(about.VersionLabel()->text(), "Version 1.1 (Build 265)");
    EXPECT_EQ(CAboutDlg::VersionPart("1.1.1.265"), "1.1");
    EXPECT_EQ(CAboutDlg::BuildPart("1.1.1.265"), "265");
    EXPECT_EQ(CAboutDlg::VersionPart("7"), "7");
    bool licence = false;
    for (const QLabel* label : about.findChildren<QLabel*>()) {
        licence = licence || label->text().contains("GPL-3.0-or-later");
    }
    EXPECT_TRUE(licence);
}

TEST_F(AppTest, CaptionsAreTheirTitlesWithNothingAppended) {
    AddHelpBook("en_us", "en_us");
    auto app = Start({});
    ASSERT_EQ(started, 1);
    EXPECT_EQ(ShownCaption(*app->MainWindow()), "Orvantek Ping Tool");
    Frame(*app).SetHostEntryText(u"127.0.0.1");
    Frame(*app).OnStartStop();
    ASSERT_TRUE(app->Document()->IsRunning());
    EXPECT_EQ(ShownCaption(*app->MainWindow()), "127.0.0.1 - Orvantek Ping Tool");
    Frame(*app).OnStartStop();
    EXPECT_EQ(ShownCaption(*app->MainWindow()), "127.0.0.1 - Orvantek Ping Tool");
    app->OnHelpCommand(57671, {});
    EXPECT_EQ(ShownCaption(*app->HelpWindow()), "Orvantek Ping Tool Help");
    const COptionDlg options(app->Document());
    EXPECT_EQ(ShownCaption(options), "Options");
    const CAboutDlg about(QString::fromStdU16String(app->Title()), "1.1.1.265");
    EXPECT_EQ(ShownCaption(about), "About Orvantek Ping Tool");
}

TEST_F(AppTest, ExitWithTheHelpWindowOpenEndsTheProgram) {
    AddHelpBook("en_us", "en_us");
    auto app = Start({});
    app->OnHelpCommand(57671, {});
    ASSERT_TRUE(app->HelpWindow()->isVisible());
    QTimer::singleShot(0, [&app] { Frame(*app).RouteCommand(ID_APP_EXIT); });
    EXPECT_EQ(RunEventLoop(), 0);
    EXPECT_FALSE(app->MainWindow()->isVisible());
    EXPECT_FALSE(app->HelpWindow()->isVisible());
}

TEST_F(AppTest, HelpFromTheOptionDialogTakesInputWhileTheDialogIsOpen) {
    AddHelpBook("en_us", "en_us");
    auto app = Start({});
    bool checked = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<COptionDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QTest::mouseClick(dialog->findChild<QPushButton*>("help"), Qt::LeftButton);
        CHelpWindow* help = app->HelpWindow();
        ASSERT_NE(help, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
        EXPECT_EQ(help->CurrentPage(), "options.html");
        // A click into the help window, as the window system delivers it, reaches it.
        QToolButton* contents = nullptr;
        for (QToolButton* button : help->findChildren<QToolButton*>()) {
            contents = button->text() == "&Contents" ? button : contents;
        }
        ASSERT_NE(contents, nullptr);
        QTest::mouseClick(help->windowHandle(), Qt::LeftButton, {}, contents->mapTo(help, contents->rect().center()));
        EXPECT_EQ(help->CurrentPage(), "index.html");
        // F1 in the dialog, active again, shows the dialog's page again.
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
        QTest::keyClick(dialog, Qt::Key_F1);
        EXPECT_EQ(help->CurrentPage(), "options.html");
        checked = true;
        dialog->reject();
    });
    Frame(*app).RouteCommand(ID_OPTIONS);
    EXPECT_TRUE(checked);
}

TEST_F(AppTest, TermAndHangupSignalsEndTheRunAsExitDoes) {
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        auto app = Start({});
        Frame(*app).SetHostEntryText(u"127.0.0.1");
        Frame(*app).OnStartStop();
        ASSERT_TRUE(app->Document()->IsRunning());
        QTimer::singleShot(0, [signal] { ::raise(signal); });
        EXPECT_EQ(RunEventLoop(), 0);
        EXPECT_FALSE(app->MainWindow()->isVisible());
        // The new history entry and the placement are saved.
        CMainProfile profile;
        EXPECT_EQ(profile.GetString(u"Settings\\History", u"Item1"), u"127.0.0.1");
        EXPECT_FALSE(profile.GetBinary(u"Settings", u"WindowsPos").empty());
        app->ExitInstance();
        EXPECT_EQ(app->Document(), nullptr);  // its hosts stopped and went
        profile.DeleteSection(u"Settings");
    }
}

TEST_F(AppTest, WithoutABrowserTheAddressIsShownToCopy) {
    auto app = Start({});
    browserOpens = false;
    app->OnWebCommand(32825);
    app->OnWebCommand(32828);
    ASSERT_EQ(shown.size(), 2u);
    const QString prompt = "No web browser could be opened. Open this address in your web browser:\n";
    EXPECT_EQ(shown[0].text, prompt + OV_TEST_WEB_BASE "/");
    EXPECT_EQ(shown[1].text, prompt + OV_TEST_WEB_BASE "/forum/");
    EXPECT_EQ(shown[0].caption, "Orvantek Ping Tool");
    EXPECT_EQ(shown[0].icon, QMessageBox::Warning);
}

}  // namespace
