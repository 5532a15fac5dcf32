// The companion analyzer's Tools entry and the language module checks.
#include <gtest/gtest.h>

#include <tuple>

#include "MsgFormat.h"
#include "langcheck.h"
#include "ovmui/OvMuiLang.h"
#include "platform/module.h"
#include "registry/reg_test_util.h"
#include "startup.h"
#include "startup/startup_test_util.h"
#include "toolreg.h"

namespace {

const std::u16string kGuid = u"{11111111-2222-3333-4444-555555555555}";
const std::u16string kKey = std::u16string(kHarborToolsKey) + u"\\" + kGuid;

// Name, type and bytes of the tool key's values in stored order.
using Value = std::tuple<std::u16string, DWORD, std::vector<BYTE>>;
std::vector<Value> ToolValues() {
    std::vector<Value> values;
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, kKey.c_str(), 0, KEY_READ, &key);
    char16_t name[64];
    BYTE data[512];
    DWORD nameChars = 64;
    DWORD size = sizeof(data);
    DWORD type = 0;
    for (DWORD i = 0; RegEnumValueW(key, i, name, &nameChars, nullptr, &type, data, &size) == ERROR_SUCCESS;
         ++i, nameChars = 64, size = sizeof(data)) {
        values.emplace_back(std::u16string(name, nameChars), type, std::vector<BYTE>(data, data + size));
    }
    RegCloseKey(key);
    return values;
}

Value Sz(const char16_t* name, const std::u16string& text) {
    const auto* p = reinterpret_cast<const BYTE*>(text.data());
    return {name, REG_SZ, std::vector<BYTE>(p, p + text.size() * 2)};
}

Value Dword(BYTE low) {
    return {u"Enable", REG_DWORD, {low, 0, 0, 0}};
}

TEST(HarborTool, WritesFiveValuesInOrderWithoutTheNul) {
    const regtest::TempRegistry reg;
    ASSERT_EQ(RegisterHarborTool(kGuid.c_str(), u"Ping", u"/opt/t/tapper", u"-a $(MIP)", nullptr, 1), 1);
    EXPECT_EQ(ToolValues(), (std::vector<Value>{Sz(u"Title", u"Ping"), Sz(u"Command", u"/opt/t/tapper"),
                                                Sz(u"Arguments", u"-a $(MIP)"), Sz(u"WndClass", u""), Dword(1)}));
    // A second registration overwrites the same five values.
    ASSERT_EQ(RegisterHarborTool(kGuid.c_str(), u"Pingen", u"/usr/bin/tapper", nullptr, u"W", 7), 1);
    EXPECT_EQ(ToolValues(), (std::vector<Value>{Sz(u"Title", u"Pingen"), Sz(u"Command", u"/usr/bin/tapper"),
                                                Sz(u"Arguments", u""), Sz(u"WndClass", u"W"), Dword(7)}));
}

TEST(HarborTool, RefusesMissingTextsAndRemovesOnlyWhatExists) {
    const regtest::TempRegistry reg;
    const char16_t* g = kGuid.c_str();
    EXPECT_EQ(RegisterHarborTool(nullptr, u"Ping", u"cmd", nullptr, nullptr, 1), 0);
    EXPECT_EQ(RegisterHarborTool(u"", u"Ping", u"cmd", nullptr, nullptr, 1), 0);
    EXPECT_EQ(RegisterHarborTool(g, nullptr, u"cmd", nullptr, nullptr, 1), 0);
    EXPECT_EQ(RegisterHarborTool(g, u"", u"cmd", nullptr, nullptr, 1), 0);
    EXPECT_EQ(RegisterHarborTool(g, u"Ping", nullptr, nullptr, nullptr, 1), 0);
    EXPECT_EQ(RegisterHarborTool(g, u"Ping", u"", nullptr, nullptr, 1), 0);
    EXPECT_TRUE(ToolValues().empty());

    // No Tools key: nothing to remove, and nothing is created.
    EXPECT_EQ(UnregisterHarborTool(g), 0);
    HKEY tools = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kHarborToolsKey, 0, KEY_READ, &tools), ERROR_FILE_NOT_FOUND);

    ASSERT_EQ(RegisterHarborTool(g, u"Ping", u"cmd", nullptr, nullptr, 1), 1);
    EXPECT_EQ(UnregisterHarborTool(nullptr), 0);
    EXPECT_EQ(UnregisterHarborTool(u""), 0);
    EXPECT_EQ(UnregisterHarborTool(u"{other}"), 0);
    EXPECT_EQ(UnregisterHarborTool(g), 1);
    EXPECT_TRUE(ToolValues().empty());
    EXPECT_EQ(UnregisterHarborTool(g), 0);
}

class LanguageCheckTest : public ::testing::Test {
protected:
    LanguageCheckTest() { ov::OverrideExecutablePath(program.Program().c_str()); }
    ~LanguageCheckTest() override {
        ov::OverrideExecutablePath(nullptr);
        ResetLanguageModule();
    }
    std::u16string Dir() const { return ov::Utf8ToWide(program.Dir().string() + "/"); }

    regtest::TempRegistry reg;
    starttest::ProgramFolder program;
};

TEST_F(LanguageCheckTest, EachCheckHasItsOutcomeAndMessage) {
    program.AddLanguage("de_de", "de_de");
    program.AddLanguage("de_de", "zh_cn");             // a German module in the Chinese folder
    program.AddModule(OV_OTHER_VERSION_RES, "fr_fr");  // only the low version part differs
    program.AddModule(OV_FAKE_RES_PATH, "xx_xx");      // no version note
    const std::u16string exe = ov::Utf8ToWide(program.Program());
    const std::u16string noVersion = ov::Utf8ToWide(OV_FAKE_RES_PATH);
    const struct {
        const char16_t* language;
        std::u16string program;
        LangCheckResult result;
        std::u16string message;
    } cases[] = {
        {u"de_de", exe, kLangModuleUsed, u""},
        {u"EN_US", exe, kLangModuleAbsentEnglish, u""},
        {u"it_it", exe, kLangModuleNotLoaded, u"Couldn't Load Resource File \"" + Dir() + u"mui/it_it/OvPingRes.so\"!"},
        {u"zh_cn", exe, kLangModuleWrongLanguage, u"The language of resource file does not match!"},
        {u"fr_fr", exe, kLangModuleWrongVersion, u"The version of resource file does not match!"},
        {u"xx_xx", exe, kLangModuleVersionUnknown,
         u"Couldn't get the version of resource file \"" + Dir() + u"mui/xx_xx/OvPingRes.so\"!"},
        {u"de_de", noVersion, kLangProgramVersionUnknown, u"Couldn't get the version of file \"" + noVersion + u"\"!"},
    };
    for (const auto& c : cases) {
        const LangCheck check = CheckLanguageModule(Dir(), c.language, c.program);
        EXPECT_EQ(check.result, c.result) << ov::WideToUtf8(c.language);
        EXPECT_EQ(check.module.IsLoaded(), c.result == kLangModuleUsed);
        EXPECT_EQ(LangCheckMessage(check, c.program), c.message);
    }
}

TEST_F(LanguageCheckTest, StartUpUsesAPassingModuleOrSaysWhyNot) {
    program.AddLanguage("zh_cn", "zh_cn");
    std::vector<MessageIcon> shown;
    const MessageSink show = [&shown](const std::u16string&, MessageIcon icon) { shown.push_back(icon); };
    CStartup startup({u"tapper"});
    ASSERT_TRUE(startup.FindProgramPath());
    for (const char16_t* language : {u"zh_cn", u"de_de"}) {
        ASSERT_EQ(OvMUI_WriteUserLanguage(language), 1);
        startup.FindLanguageAndFolder();
        startup.ChooseLanguageResources(show);
    }
    EXPECT_EQ(shown, std::vector<MessageIcon>{MessageIcon::Error});  // for de_de only
    EXPECT_FALSE(startup.UsesLanguageModule());
    EXPECT_EQ(startup.TranslatedTitle(), u"Orvantek Ping Tool");
    ASSERT_EQ(OvMUI_WriteUserLanguage(u"zh_cn"), 1);
    startup.FindLanguageAndFolder();
    startup.ChooseLanguageResources(show);
    EXPECT_TRUE(startup.UsesLanguageModule());
    EXPECT_EQ(startup.TranslatedTitle(), u"Orvantek Ping 工具");
}

}  // namespace
