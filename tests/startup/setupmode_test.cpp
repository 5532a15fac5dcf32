// The installer modes run as the real program in a child process on a
// registry of their own; the start-up steps they build on.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "MsgFormat.h"
#include "ovcoder/ConfigFile.h"
#include "ovcoder/OvBase64.h"
#include "ovmui/OvMuiLang.h"
#include "platform/module.h"
#include "registry/reg_test_util.h"
#include "setupmode.h"
#include "startup/startup_test_util.h"
#include "toolreg.h"

namespace {

using regtest::Query;
using starttest::ChildResult;

std::u16string QueryText(HKEY root, const std::u16string& path, const char16_t* name) {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!Query(root, path.c_str(), name, &type, &data)) {
        return u"<missing>";
    }
    std::u16string text(reinterpret_cast<const char16_t*>(data.data()), data.size() / 2);
    if (!text.empty() && text.back() == 0) {
        text.pop_back();  // others store the closing NUL
    }
    return text;
}

bool KeyExists(HKEY root, const std::u16string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

class InstallerTest : public ::testing::Test {
protected:
    InstallerTest() {
        ov::OverrideExecutablePath(program.Program().c_str());
        ::setenv("XDG_DATA_HOME", (reg.dir() + "/data").c_str(), 1);
    }
    ~InstallerTest() override {
        ov::OverrideExecutablePath(nullptr);
        ::unsetenv("XDG_DATA_HOME");
    }

    // The program without a display, its shared folder inside the scratch registry.
    ChildResult Tapper(const std::vector<std::string>& args) const {
        return starttest::Run(program.Program(), args,
                              {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
    }
    std::u16string AppKey(const char16_t* below) const {
        return std::u16string(below) + OvMUI_GetOvCurAppPath();
    }
    std::u16string UserLanguage() const {
        return QueryText(HKEY_CURRENT_USER, AppKey(u"Software\\Orvantek\\mui\\"), u"Language");
    }
    std::u16string ToolKey() const { return std::u16string(kHarborToolsKey) + u"\\" + kAppGuid; }
    std::u16string ConfigPath() const { return ov::Utf8ToWide((program.Dir() / "Tapper.ini").string()); }

    regtest::TempRegistry reg;
    starttest::ProgramFolder program;
};

TEST_F(InstallerTest, LanguageFromTheArguments) {
    const struct {
        std::vector<std::string> args;
        const char16_t* stored;
    } cases[] = {
        {{"/Register", "/lan", "ZH_CN"}, u"zh_cn"},
        {{"/Register", "/LAN", "zh_cn", "/regtool"}, u"zh_cn"},
        {{"/Register", "zh_tw"}, u"en_us"},  // three arguments in all
        {{"-regserver", "zh_tw", "a", "b"}, u"zh_tw"},
        {{"/Register", "de_DE", "x"}, u"de_DE"},  // as written
        {{"/REGISTER", "/regtool", "/autocheckupdate"}, u"en_us"},  // a switch is no language
    };
    for (const auto& c : cases) {
        const ChildResult run = Tapper(c.args);
        EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << run.err;
        EXPECT_EQ(UserLanguage(), c.stored) << c.args[1];
    }
    EXPECT_EQ(QueryText(HKEY_LOCAL_MACHINE, AppKey(u"Software\\Orvantek\\mui\\"), u"Language"),
              u"en_us");
    EXPECT_EQ(QueryText(HKEY_LOCAL_MACHINE, u"Software\\Orvantek\\mui", u"Path"),
              ov::Utf8ToWide(reg.dir() + "/data/orvantek/mui"));
}

TEST_F(InstallerTest, RegistersTheToolAndTheUpdateFlag) {
    program.AddLanguage("de_de", "de_de");
    const ChildResult run = Tapper({"/Register", "/lan", "de_de", "/regtool", "/autocheckupdate"});
    ASSERT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0);
    EXPECT_EQ(run.err, "");  // the German module passes its checks
    EXPECT_EQ(QueryText(HKEY_CURRENT_USER, ToolKey(), u"Title"), u"Ping");
    EXPECT_EQ(QueryText(HKEY_CURRENT_USER, ToolKey(), u"Command"),
              ov::Utf8ToWide(program.Program()));
    EXPECT_EQ(QueryText(HKEY_CURRENT_USER, ToolKey(), u"Arguments"), u"-a $(MIP)");
    EXPECT_EQ(QueryText(HKEY_CURRENT_USER, ToolKey(), u"WndClass"), u"");
    EXPECT_EQ(QueryText(HKEY_LOCAL_MACHINE,
                        u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tapper", u""),
              ov::Utf8ToWide(program.Program()));

    CConfigFile config;
    ASSERT_EQ(config.ReadEncoded(ConfigPath().c_str()), 1);
    std::u16string value;
    EXPECT_EQ(config.GetValue(u"Settings", u"EnableAutoCheckUpdate", value), 1);
    EXPECT_EQ(value, u"1");
}

TEST_F(InstallerTest, MessagesGoToStderrAndRegistrationGoesOn) {
    // No module for the language: its message, and nothing else is written.
    ChildResult run = Tapper({"/Register", "/lan", "de_de"});
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0);
    EXPECT_NE(run.err.find("tapper: Couldn't Load Resource File \"" + program.Dir().string() +
                           "/mui/de_de/OvPingRes.so\"!\n"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ToolKey()));
    EXPECT_FALSE(std::filesystem::exists(program.Dir() / "Tapper.ini"));

    // A user store that cannot be written: the failure is said, the flag still written.
    std::filesystem::remove(reg.user());
    std::filesystem::create_directory(reg.user());
    run = Tapper({"/Register", "/lan", "en_us", "/autocheckupdate"});
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0);
    EXPECT_NE(run.err.find("tapper: WriteUserLanguage (en_us) failed.\n"), std::string::npos)
        << run.err;
    EXPECT_TRUE(std::filesystem::exists(program.Dir() / "Tapper.ini"));
}

TEST_F(InstallerTest, RemovalDeletesTheKeys) {
    ASSERT_EQ(Tapper({"/Register", "/lan", "zh_cn", "/regtool"}).status, 0);
    const std::u16string profile = u"Software\\Orvantek\\Orvantek Ping Tool\\Ping";
    const std::u16string update = u"Software\\Orvantek\\OVUPDATE\\Orvantek Ping Tool";
    RegCloseKey(regtest::Create(HKEY_CURRENT_USER, profile.c_str()));
    RegCloseKey(regtest::Create(HKEY_CURRENT_USER, update.c_str()));

    // Without "/unregtool" the tool entry stays.
    ASSERT_EQ(Tapper({"-UNREGSERVER"}).status, 0);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, ToolKey()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, AppKey(u"Software\\Orvantek\\mui\\")));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, AppKey(u"Software\\Orvantek\\mui\\")));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, u"Software\\Orvantek\\Orvantek Ping Tool"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, update));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, u"Software\\Orvantek\\OVUPDATE"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE,
                           u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tapper"));

    ASSERT_EQ(Tapper({"/Unregister", "/UnRegTool"}).status, 0);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ToolKey()));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kHarborToolsKey));
}

TEST_F(InstallerTest, WithoutADisplayOnlyTheConsoleRuns) {
    const ChildResult run = Tapper({"127.0.0.1"});
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 2);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    EXPECT_NE(run.err.find("--console"), std::string::npos);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft"));  // no start-up steps
}

TEST(StartupSteps, ModeFromTheRegistrationSwitches) {
    const struct {
        std::vector<std::u16string> args;
        StartMode mode;
    } cases[] = {
        {{u"tapper", u"/Register"}, StartMode::Register},
        {{u"tapper", u"-regserver"}, StartMode::Register},
        {{u"tapper", u"/UNREGISTER", u"/unregtool"}, StartMode::Unregister},
        {{u"tapper", u"-Unregserver"}, StartMode::Unregister},
        {{u"tapper", u"/Register", u"/Unregister"}, StartMode::Unregister},  // the last wins
        {{u"tapper", u"Register"}, StartMode::Run},                          // a host name
        {{u"tapper", u"--register"}, StartMode::Run},
        {{u"tapper", u"/Registers"}, StartMode::Run},
        {{u"/Register"}, StartMode::Run},  // the program name is not a switch
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseStartMode(c.args), c.mode) << ov::WideToUtf8(c.args.back());
    }
}

TEST(StartupSteps, SharedFolderAndItsFallbacks) {
    std::vector<std::u16string> made;
    auto make = [&made](bool ok) {
        return [&made, ok](const std::u16string& path) {
            made.push_back(path);
            return ok;
        };
    };
    EXPECT_EQ(ChooseSharedFolder("/home/u/.local/share/orvantek", make(true)),
              u"/home/u/.local/share/orvantek/");
    EXPECT_EQ(ChooseSharedFolder("", make(true)), u"/opt/orvantek/shared/");
    EXPECT_EQ(ChooseSharedFolder("/ro/orvantek/", make(false)), u"/");
    EXPECT_EQ(made.back(), u"/ro/orvantek/");
}

TEST(StartupSteps, DisplayDetection) {
    const struct {
        const char* display;
        const char* wayland;
        const char* platform;
        bool has;
    } cases[] = {
        {nullptr, nullptr, nullptr, false}, {":0", nullptr, nullptr, true},
        {nullptr, "wayland-0", nullptr, true}, {"", nullptr, nullptr, false},
        {nullptr, nullptr, "offscreen", true}, {nullptr, nullptr, "xcb", false},
        {":1", nullptr, "xcb", true}, {":1", nullptr, "wayland", false},
    };
    auto set = [](const char* name, const char* value) {
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    };
    for (const auto& c : cases) {
        set("DISPLAY", c.display);
        set("WAYLAND_DISPLAY", c.wayland);
        set("QT_QPA_PLATFORM", c.platform);
        EXPECT_EQ(HasDisplay(), c.has) << (c.display ? c.display : "-") << " "
                                       << (c.platform ? c.platform : "-");
    }
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("QT_QPA_PLATFORM");
}

TEST(StartupSteps, ProgramAlphabetIsUsable) {
    const std::string alphabet(kProgramBase64Alphabet);
    ASSERT_EQ(alphabet.size(), 65u);
    EXPECT_EQ(std::set<char>(alphabet.begin(), alphabet.end()).size(), 65u);
    CStartup startup({u"tapper"});
    startup.SetCoderAlphabet();
    const std::u16string text = u"https://update.example/tapper";
    std::u16string encoded;
    std::u16string decoded;
    OvBase64_EncodeString(text, encoded);
    OvBase64_DecodeString(encoded, decoded);
    EXPECT_EQ(decoded, text);
    EXPECT_EQ(encoded.substr(0, 4), u"mIK9");  // "htt" under our alphabet, not "aHR0"
    OvBase64_SetEncodeTable("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=");
}

TEST_F(InstallerTest, ReadsTheOnlineSetting) {
    CStartup startup({u"tapper"});
    startup.RunCommonSteps();
    startup.FindLanguageAndFolder();
    startup.OpenConfigFile();
    EXPECT_EQ(startup.ProfileKey(), u"Software\\Orvantek\\Orvantek Ping Tool");
    EXPECT_EQ(startup.ConfigPath(), ConfigPath());
    EXPECT_EQ(startup.ReadAutoCheckUpdate(), 0);  // no file

    CConfigFile config;
    config.SetValue(u"Settings", u"Other", u"1");
    ASSERT_EQ(config.WriteEncoded(ConfigPath().c_str()), 1);
    EXPECT_EQ(startup.ReadAutoCheckUpdate(), 0);  // no such key
    config.SetValue(u"Settings", u"EnableAutoCheckUpdate", u"0");
    ASSERT_EQ(config.WriteEncoded(ConfigPath().c_str()), 1);
    EXPECT_EQ(startup.ReadAutoCheckUpdate(), 1);  // any stored value
}

}  // namespace
