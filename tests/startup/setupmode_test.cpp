// The installer modes run as the real program in a child process on a
// registry of their own; the start-up steps they build on.
#include <gtest/gtest.h>

#include <algorithm>

#include "ovcoder/ConfigFile.h"
#include "ovcoder/OvBase64.h"
#include "ovmui/OvMuiLang.h"
#include "platform/module.h"
#include "registry/reg_test_util.h"
#include "startup.h"
#include "startup/startup_test_util.h"
#include "toolreg.h"

namespace {

const std::u16string kAppPaths = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tapper";

// Text of a string value (without a closing NUL), "<missing>" when absent.
std::u16string Text(HKEY root, const std::u16string& path, const char16_t* name) {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!regtest::Query(root, path.c_str(), name, &type, &data)) {
        return u"<missing>";
    }
    std::u16string text(reinterpret_cast<const char16_t*>(data.data()), data.size() / 2);
    return text.empty() || text.back() != 0 ? text : text.substr(0, text.size() - 1);
}

bool KeyExists(HKEY root, const std::u16string& path) {
    HKEY key = nullptr;
    const bool found = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
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
    starttest::ChildResult Tapper(const std::vector<std::string>& args) const {
        return starttest::Run(program.Program(), args);
    }
    std::u16string MuiKey() const { return u"Software\\Orvantek\\mui\\" + std::u16string(OvMUI_GetOvCurAppPath()); }
    std::u16string ToolKey() const { return std::u16string(kHarborToolsKey) + u"\\" + kAppGuid; }
    std::u16string ConfigPath() const { return ov::Utf8ToWide((program.Dir() / "Tapper.ini").string()); }

    regtest::TempRegistry reg;
    starttest::ProgramFolder program;
};

TEST_F(InstallerTest, LanguageFromTheArguments) {
    const std::pair<std::vector<std::string>, const char16_t*> cases[] = {
        {{"/Register", "/lan", "ZH_CN"}, u"zh_cn"},
        {{"/Register", "zh_tw"}, u"en_us"},  // three arguments in all
        {{"-regserver", "zh_tw", "a", "b"}, u"zh_tw"},
        {{"/Register", "de_DE", "x"}, u"de_DE"},                    // as written
        {{"/REGISTER", "/regtool", "/autocheckupdate"}, u"en_us"},  // a switch is no language
    };
    for (const auto& [args, stored] : cases) {
        const starttest::ChildResult run = Tapper(args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Text(HKEY_CURRENT_USER, MuiKey(), u"Language"), stored) << args[1];
    }
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, MuiKey(), u"Language"), u"en_us");
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, u"Software\\Orvantek\\mui", u"Path"),
              ov::Utf8ToWide(reg.dir() + "/data/orvantek/mui"));
}

TEST_F(InstallerTest, RegistersTheToolAndTheUpdateFlag) {
    program.AddLanguage("de_de", "de_de");
    const starttest::ChildResult run = Tapper({"/Register", "/lan", "de_de", "/regtool", "/autocheckupdate"});
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");  // the German module passes its checks
    EXPECT_EQ(Text(HKEY_CURRENT_USER, ToolKey(), u"Title"), u"Ping");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, ToolKey(), u"Command"), ov::Utf8ToWide(program.Program()));
    EXPECT_EQ(Text(HKEY_CURRENT_USER, ToolKey(), u"Arguments"), u"-a $(MIP)");
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kAppPaths, u""), ov::Utf8ToWide(program.Program()));

    CConfigFile config;
    ASSERT_EQ(config.ReadEncoded(ConfigPath().c_str()), 1);
    std::u16string value;
    EXPECT_EQ(config.GetValue(u"Settings", u"EnableAutoCheckUpdate", value), 1);
    EXPECT_EQ(value, u"1");
}

TEST_F(InstallerTest, MessagesGoToStderrAndRegistrationGoesOn) {
    // No module for the language: its message, and nothing else is written.
    starttest::ChildResult run = Tapper({"/Register", "/lan", "de_de"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("tapper: Couldn't Load Resource File \"" + program.Dir().string() +
                           "/mui/de_de/OvPingRes.so\"!\n"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ToolKey()));
    EXPECT_FALSE(std::filesystem::exists(program.Dir() / "Tapper.ini"));

    // A user store that cannot be written: the failure is said, the flag still written.
    regtest::WriteText(reg.user(), "Windows Registry Editor Version 5.00\r\n\r\n");
    ::chmod(reg.user().c_str(), 0444);
    run = Tapper({"/Register", "/lan", "en_us", "/autocheckupdate"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("tapper: WriteUserLanguage (en_us) failed.\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(program.Dir() / "Tapper.ini"));
}

TEST_F(InstallerTest, AnUpdateFlagThatCannotBeWrittenIsSaidAndFails) {
    const std::filesystem::path config = program.Dir() / "Tapper.ini";
    // A folder in the file's place.
    std::filesystem::create_directory(config);
    starttest::ChildResult run = Tapper({"/Register", "/autocheckupdate"});
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << run.status;
    EXPECT_NE(run.err.find("tapper: Couldn't write the file \"" + config.string() + "\": "), std::string::npos)
        << run.err;
    std::filesystem::remove(config);

    // A file marked immutable (where the file system has the mark).
    regtest::WriteText(config.string(), "");
    if (std::system(("chattr +i '" + config.string() + "' 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "no immutable mark on this file system";
    }
    run = Tapper({"/Register", "/autocheckupdate"});
    std::system(("chattr -i '" + config.string() + "'").c_str());
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << run.status;
    EXPECT_NE(run.err.find("tapper: Couldn't write the file \"" + config.string() + "\": Operation not permitted"),
              std::string::npos)
        << run.err;
}

// A language module cut short, as a failed copy leaves it: refused with the
// message of a module that does not load, also at registration.
TEST_F(InstallerTest, ATruncatedLanguageModuleIsRefusedLikeAMissingOne) {
    const std::string whole = regtest::ReadText(std::string(std::getenv("OV_BIN_DIR")) + "/mui/de_de/OvPingRes.so");
    const std::filesystem::path module = program.Dir() / "mui" / "de_de" / "OvPingRes.so";
    std::filesystem::create_directories(module.parent_path());
    for (const std::size_t size : {std::size_t{3000}, whole.size() / 2, whole.size() - 1}) {
        regtest::WriteText(module.string(), whole.substr(0, size));
        const starttest::ChildResult run = Tapper({"/Register", "/lan", "de_de"});
        EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << size << " " << run.status;
        EXPECT_NE(run.err.find("tapper: Couldn't Load Resource File \"" + module.string() + "\"!\n"), std::string::npos)
            << size << run.err;
    }
}

TEST_F(InstallerTest, RemovalDeletesTheKeys) {
    ASSERT_EQ(Tapper({"/Register", "/lan", "zh_cn", "/regtool"}).status, 0);
    const std::u16string update = u"Software\\Orvantek\\OVUPDATE\\Orvantek Ping Tool";
    RegCloseKey(regtest::Create(HKEY_CURRENT_USER, u"Software\\Orvantek\\Orvantek Ping Tool\\Ping"));
    RegCloseKey(regtest::Create(HKEY_CURRENT_USER, update.c_str()));

    ASSERT_EQ(Tapper({"-UNREGSERVER"}).status, 0);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, ToolKey()));  // kept without "/unregtool"
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, MuiKey()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, MuiKey()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, u"Software\\Orvantek\\Orvantek Ping Tool"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, update));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kAppPaths));

    ASSERT_EQ(Tapper({"/Unregister", "/UnRegTool"}).status, 0);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ToolKey()));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kHarborToolsKey));

    // Without a display and an installer switch only the console runs.
    const starttest::ChildResult run = Tapper({"/Registers", "127.0.0.1"});
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 2);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    EXPECT_NE(run.err.find("--console"), std::string::npos);
}

TEST_F(InstallerTest, OwnAlphabetAndTheOnlineSetting) {
    CStartup startup({u"tapper"});
    EXPECT_EQ(startup.RunCommonSteps(), StartMode::Run);
    const std::u16string text = u"https://update.example/tapper";
    std::u16string encoded;
    std::u16string decoded;
    OvBase64_EncodeString(text, encoded);
    OvBase64_DecodeString(encoded, decoded);
    EXPECT_EQ(decoded, text);
    EXPECT_EQ(encoded.substr(0, 4), u"I95t");  // "htt" under our alphabet, not "aHR0"
    OvBase64_SetEncodeTable("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=");

    startup.FindLanguageAndFolder();
    startup.OpenConfigFile();
    EXPECT_EQ(startup.ProfileKey(), u"Software\\Orvantek\\Orvantek Ping Tool");
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
