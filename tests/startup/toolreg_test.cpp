// The companion analyzer's Tools entry and the language module checks.
#include <gtest/gtest.h>

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

struct Value {
    std::u16string name;
    DWORD type = 0;
    std::vector<BYTE> data;
};

// The values of the tool's key in stored order.
std::vector<Value> ToolValues() {
    std::vector<Value> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return values;
    }
    for (DWORD i = 0;; ++i) {
        char16_t name[64];
        DWORD nameChars = 64;
        BYTE data[512];
        DWORD size = sizeof(data);
        Value v;
        if (RegEnumValueW(key, i, name, &nameChars, nullptr, &v.type, data, &size) !=
            ERROR_SUCCESS) {
            break;
        }
        v.name.assign(name, nameChars);
        v.data.assign(data, data + size);
        values.push_back(v);
    }
    RegCloseKey(key);
    return values;
}

std::vector<BYTE> Bytes(const std::u16string& text) {
    const auto* p = reinterpret_cast<const BYTE*>(text.data());
    return {p, p + text.size() * 2};
}

TEST(HarborTool, WritesFiveValuesInOrderWithoutTheNul) {
    const regtest::TempRegistry reg;
    ASSERT_EQ(RegisterHarborTool(kGuid.c_str(), u"Ping", u"/opt/t/tapper", u"-a $(MIP)", nullptr,
                                 1),
              1);
    std::vector<Value> values = ToolValues();
    ASSERT_EQ(values.size(), 5u);
    const char16_t* names[] = {u"Title", u"Command", u"Arguments", u"WndClass", u"Enable"};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(values[i].name, names[i]);
        EXPECT_EQ(values[i].type, i < 4 ? REG_SZ : REG_DWORD);
    }
    EXPECT_EQ(values[0].data, Bytes(u"Ping"));
    EXPECT_EQ(values[1].data, Bytes(u"/opt/t/tapper"));
    EXPECT_EQ(values[2].data, Bytes(u"-a $(MIP)"));
    EXPECT_TRUE(values[3].data.empty());
    EXPECT_EQ(values[4].data, (std::vector<BYTE>{1, 0, 0, 0}));

    // A second registration overwrites the same five values.
    ASSERT_EQ(RegisterHarborTool(kGuid.c_str(), u"Pingen", u"/usr/bin/tapper", nullptr, u"Wnd", 7),
              1);
    values = ToolValues();
    ASSERT_EQ(values.size(), 5u);
    EXPECT_EQ(values[0].data, Bytes(u"Pingen"));
    EXPECT_TRUE(values[2].data.empty());
    EXPECT_EQ(values[3].data, Bytes(u"Wnd"));
    EXPECT_EQ(values[4].data, (std::vector<BYTE>{7, 0, 0, 0}));
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
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kHarborToolsKey, 0, KEY_READ, &tools),
              ERROR_FILE_NOT_FOUND);

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
    LangCheck Check(const char16_t* language) const {
        return CheckLanguageModule(Dir(), language, ov::Utf8ToWide(program.Program()));
    }
    std::u16string Dir() const { return ov::Utf8ToWide(program.Dir().string() + "/"); }

    regtest::TempRegistry reg;
    starttest::ProgramFolder program;
};

TEST_F(LanguageCheckTest, EachCheckHasItsOutcomeAndMessage) {
    const std::u16string programPath = ov::Utf8ToWide(program.Program());
    program.AddLanguage("de_de", "de_de");
    program.AddLanguage("de_de", "zh_cn");  // a German module in the Chinese folder
    program.AddModule(OV_OTHER_VERSION_RES, "fr_fr");
    program.AddModule(OV_FAKE_RES_PATH, "xx_xx");  // no version note

    LangCheck check = Check(u"de_de");
    EXPECT_EQ(check.result, kLangModuleUsed);
    EXPECT_TRUE(check.module.IsLoaded());
    EXPECT_EQ(LangCheckMessage(check, programPath), u"");

    EXPECT_EQ(LangCheckMessage(Check(u"EN_US"), programPath), u"");
    check = Check(u"it_it");
    EXPECT_EQ(check.result, kLangModuleNotLoaded);
    EXPECT_EQ(LangCheckMessage(check, programPath),
              u"Couldn't Load Resource File \"" + Dir() + u"mui/it_it/OvPingRes.so\"!");
    EXPECT_FALSE(check.module.IsLoaded());

    check = Check(u"zh_cn");
    EXPECT_EQ(check.result, kLangModuleWrongLanguage);
    EXPECT_EQ(LangCheckMessage(check, programPath), u"The language of resource file does not match!");
    check = Check(u"fr_fr");  // only the low part of the version differs
    EXPECT_EQ(check.result, kLangModuleWrongVersion);
    EXPECT_EQ(LangCheckMessage(check, programPath), u"The version of resource file does not match!");
    check = Check(u"xx_xx");
    EXPECT_EQ(check.result, kLangModuleVersionUnknown);
    EXPECT_EQ(LangCheckMessage(check, programPath),
              u"Couldn't get the version of resource file \"" + Dir() +
                  u"mui/xx_xx/OvPingRes.so\"!");
    EXPECT_FALSE(check.module.IsLoaded());

    // A program file without a version note.
    const std::u16string self = ov::Utf8ToWide(OV_FAKE_RES_PATH);
    check = CheckLanguageModule(Dir(), u"de_de", self);
    EXPECT_EQ(check.result, kLangProgramVersionUnknown);
    EXPECT_EQ(LangCheckMessage(check, self),
              u"Couldn't get the version of file \"" + self + u"\"!");
}

TEST_F(LanguageCheckTest, StartUpUsesAPassingModuleAndSaysWhyOthersFail) {
    program.AddLanguage("zh_cn", "zh_cn");
    std::vector<std::pair<std::u16string, MessageIcon>> shown;
    const MessageSink show = [&shown](const std::u16string& text, MessageIcon icon) {
        shown.emplace_back(text, icon);
    };
    CStartup startup({u"tapper"});
    ASSERT_TRUE(startup.FindProgramPath());
    ASSERT_EQ(OvMUI_WriteUserLanguage(u"zh_cn"), 1);
    startup.FindLanguageAndFolder();
    EXPECT_EQ(startup.AppDir(), Dir());
    startup.ChooseLanguageResources(show);
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(startup.UsesLanguageModule());
    EXPECT_EQ(startup.TranslatedTitle(), u"Orvantek Ping 工具");

    // Another language without its module: one message, then English.
    ASSERT_EQ(OvMUI_WriteUserLanguage(u"de_de"), 1);
    startup.FindLanguageAndFolder();
    startup.ChooseLanguageResources(show);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].second, MessageIcon::Error);
    EXPECT_FALSE(startup.UsesLanguageModule());
    EXPECT_EQ(startup.TranslatedTitle(), u"Orvantek Ping Tool");
}

}  // namespace
