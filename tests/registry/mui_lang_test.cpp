#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "ovcppstd.h"
#include "ovmui/OvMuiLang.h"
#include "platform/module.h"
#include "registry/reg_test_util.h"

using regtest::Create;
using regtest::InChild;
using regtest::SetString;
using regtest::TempRegistry;
using regtest::WriteText;

namespace {

// Pretends the program was started from <registry folder>/<folder>/tapper.
class FakeProgram {
public:
    FakeProgram(const TempRegistry& reg, const std::string& folder) {
        const std::string dir = reg.dir() + "/" + folder;
        std::filesystem::create_directories(dir);
        m_path = dir + "/tapper";
        WriteText(m_path, "");
        ov::OverrideExecutablePath(m_path.c_str());
        std::string key = ov::LongPath(dir);
        std::replace(key.begin(), key.end(), '/', '_');
        std::replace(key.begin(), key.end(), ':', '_');
        std::replace(key.begin(), key.end(), ' ', '_');
        m_key = ov::Utf8ToWide(key);
    }
    ~FakeProgram() { ov::OverrideExecutablePath(nullptr); }
    FakeProgram(const FakeProgram&) = delete;
    FakeProgram& operator=(const FakeProgram&) = delete;

    const std::u16string& key() const { return m_key; }
    std::u16string keyPath() const { return u"Software\\Orvantek\\mui\\" + m_key; }

private:
    std::string m_path;
    std::u16string m_key;
};

std::u16string Text(const char16_t* s) {
    return s != nullptr ? std::u16string(s) : u"(null)";
}

}  // namespace

TEST(MuiLanguageTable, LookUps) {
    EXPECT_EQ(OvMUI_GetLanguageID(u"ZH_TW"), 1028);
    EXPECT_EQ(OvMUI_GetLanguageID(u"en_us"), 1033);
    EXPECT_EQ(OvMUI_GetLanguageID(u""), 0);
    EXPECT_EQ(OvMUI_GetLanguageID(u"zh-tw"), 0);
    EXPECT_EQ(OvMUI_GetLanguageID(nullptr), 0);
    EXPECT_EQ(Text(OvMUI_GetLanguageSimple(1033)), u"en_us");
    EXPECT_EQ(Text(OvMUI_GetLanguageFull(2052)), u"Chinese(PRC)");
    EXPECT_EQ(Text(OvMUI_GetLanguageFull(3082)), u"Spanish(Spain, Modern Sort)");
    EXPECT_EQ(OvMUI_GetLanguageSimple(1034), nullptr);
    EXPECT_EQ(OvMUI_GetLanguageSimple(0), nullptr);
    EXPECT_EQ(OvMUI_GetLanguageFull(0), nullptr);

    // Every code leads back to itself, and the outside utility agrees on every identifier.
    int rows = 0;
    for (unsigned id = 1; id < 0x10000; ++id) {
        const char16_t* code = OvMUI_GetLanguageSimple(static_cast<std::uint16_t>(id));
        if (code == nullptr) {
            continue;
        }
        ++rows;
        EXPECT_EQ(OvMUI_GetLanguageID(code), id);
        EXPECT_EQ(GetLanguageID(code), id) << ov::WideToUtf8(code);
        EXPECT_NE(OvMUI_GetLanguageFull(static_cast<std::uint16_t>(id)), nullptr);
    }
    EXPECT_EQ(rows, 32);
}

TEST(MuiAppPath, KeyNamesTheProgramFolder) {
    TempRegistry reg;
    const FakeProgram program(reg, "opt/orvantek/my tapper:2");
    const std::u16string key = OvMUI_GetOvCurAppPath();
    EXPECT_EQ(key, program.key());
    EXPECT_EQ(key.find(u'/'), std::u16string::npos);
    EXPECT_NE(key.find(u"_opt_orvantek_my_tapper_2"), std::u16string::npos);
    EXPECT_EQ(key.front(), u'_');
}

TEST(MuiAppPath, AbsentPathGivesDefaults) {
    TempRegistry reg;
    ov::OverrideExecutablePath("");
    EXPECT_EQ(Text(OvMUI_GetOvCurAppPath()), u"");
    EXPECT_EQ(Text(OvMUI_GetUserLanguage()), u"en_us");
    EXPECT_EQ(OvMUI_WriteUserLanguage(u"de_de"), 0);
    EXPECT_EQ(OvMUI_RegisterApplication(u"/usr/share/orvantek/mui", u"de_de", nullptr), 0);
    // A path that does not exist has no long form either.
    ov::OverrideExecutablePath("/nonexistent/folder/tapper");
    EXPECT_EQ(Text(OvMUI_GetOvCurAppPath()), u"");
    ov::OverrideExecutablePath(nullptr);
    EXPECT_FALSE(std::filesystem::exists(reg.user()));
}

TEST(MuiUserLanguage, PerUserWinsOverMachineWide) {
    TempRegistry reg;
    const FakeProgram program(reg, "tapper");
    EXPECT_EQ(Text(OvMUI_GetUserLanguage()), u"en_us");
    ASSERT_EQ(OvMUI_RegisterApplication(u"/usr/share/orvantek/mui", u"fr_fr", nullptr), 1);
    EXPECT_EQ(Text(OvMUI_GetUserLanguage()), u"fr_fr");
    ASSERT_EQ(OvMUI_WriteUserLanguage(u"de_de"), 1);
    EXPECT_EQ(Text(OvMUI_GetUserLanguage()), u"de_de");

    // Values that break the string-read rules are skipped for the next source.
    const HKEY user = Create(HKEY_CURRENT_USER, program.keyPath().c_str());
    ASSERT_NE(user, nullptr);
    const std::u16string longest(63, u'x');
    ASSERT_EQ(SetString(user, u"Language", longest), ERROR_SUCCESS);
    EXPECT_EQ(Text(OvMUI_GetUserLanguage()), longest);
    ASSERT_EQ(SetString(user, u"Language", longest + u"y"), ERROR_SUCCESS);  // 64 characters
    EXPECT_EQ(Text(OvMUI_GetUserLanguage()), u"fr_fr");
    ASSERT_EQ(SetString(user, u"Language", u"%LANG%", REG_EXPAND_SZ), ERROR_SUCCESS);
    EXPECT_EQ(Text(OvMUI_GetUserLanguage()), u"%LANG%");  // not expanded
    const DWORD number = 1031;
    ASSERT_EQ(RegSetValueExW(user, u"Language", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4),
              ERROR_SUCCESS);
    EXPECT_EQ(Text(OvMUI_GetUserLanguage()), u"fr_fr");
    ASSERT_EQ(
        RegSetValueExW(user, u"Language", 0, REG_SZ, reinterpret_cast<const BYTE*>(u"ja_jp"), 10),  // no terminator
        ERROR_SUCCESS);
    EXPECT_EQ(Text(OvMUI_GetUserLanguage()), u"fr_fr");
    ASSERT_EQ(RegSetValueExW(user, u"Language", 0, REG_SZ, reinterpret_cast<const BYTE*>(u"ja_jp"), 11),  // odd size
              ERROR_SUCCESS);
    EXPECT_EQ(Text(OvMUI_GetUserLanguage()), u"fr_fr");
    RegCloseKey(user);

    EXPECT_TRUE(RemoveRegKey(HKEY_CURRENT_USER, u"Software\\Orvantek\\mui", program.key().c_str()));
    EXPECT_TRUE(RemoveRegKey(HKEY_LOCAL_MACHINE, u"Software\\Orvantek\\mui", program.key().c_str()));
    EXPECT_EQ(Text(OvMUI_GetUserLanguage()), u"en_us");
}

TEST(MuiUserLanguage, WriteCreatesTheKeyAndRefusesNull) {
    TempRegistry reg;
    const FakeProgram program(reg, "bin");
    EXPECT_EQ(OvMUI_WriteUserLanguage(nullptr), 0);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, program.keyPath().c_str(), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(OvMUI_WriteUserLanguage(u"ko_kr"), 1);
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(regtest::Query(HKEY_CURRENT_USER, program.keyPath().c_str(), u"Language", &type, &data));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(data.size(), 12u);  // five characters and the NUL
    EXPECT_EQ(Text(OvMUI_GetUserLanguage()), u"ko_kr");
}

TEST(MuiUserLanguage, TwoProgramFoldersKeepSeparateSettings) {
    TempRegistry reg;
    std::u16string first;
    {
        const FakeProgram a(reg, "one/tapper");
        ASSERT_EQ(OvMUI_WriteUserLanguage(u"de_de"), 1);
        first = a.key();
    }
    {
        const FakeProgram b(reg, "two/tapper");
        EXPECT_NE(b.key(), first);
        EXPECT_EQ(Text(OvMUI_GetUserLanguage()), u"en_us");
        ASSERT_EQ(OvMUI_WriteUserLanguage(u"ja_jp"), 1);
        EXPECT_EQ(Text(OvMUI_GetUserLanguage()), u"ja_jp");
    }
    const FakeProgram again(reg, "one/tapper");
    EXPECT_EQ(Text(OvMUI_GetUserLanguage()), u"de_de");
}

TEST(MuiRegister, WritesLanguageAndOptionalPath) {
    TempRegistry reg;
    const FakeProgram program(reg, "app");
    EXPECT_EQ(Text(OvMUI_GetCommonDLLPath()), u"");
    EXPECT_EQ(OvMUI_RegisterApplication(nullptr, u"de_de", nullptr), 0);
    EXPECT_EQ(OvMUI_RegisterApplication(u"/c", nullptr, nullptr), 0);
    ASSERT_EQ(OvMUI_RegisterApplication(u"/usr/share/orvantek/mui", u"it_it", nullptr), 1);
    DWORD type = 0;
    std::vector<BYTE> data;
    EXPECT_TRUE(regtest::Query(HKEY_LOCAL_MACHINE, program.keyPath().c_str(), u"Language", &type, &data));
    EXPECT_FALSE(regtest::Query(HKEY_LOCAL_MACHINE, program.keyPath().c_str(), u"Path", &type, &data));
    EXPECT_EQ(Text(OvMUI_GetCommonDLLPath()), u"/usr/share/orvantek/mui");

    ASSERT_EQ(OvMUI_RegisterApplication(u"/usr/share/orvantek/mui", u"it_it", u"/opt/app/mui"), 1);
    EXPECT_EQ(Text(OvMUI_GetCommonDLLPath()), u"/opt/app/mui");
}

TEST(MuiRegister, OrdinaryUserReadsMachineDefaultsButCannotRegister) {
    TempRegistry reg;
    const FakeProgram program(reg, "shared");
    ASSERT_EQ(OvMUI_RegisterApplication(u"/usr/share/orvantek/mui", u"fr_fr", nullptr), 1);
    const auto checks = [] {
        return std::u16string(OvMUI_GetUserLanguage()) == u"fr_fr" &&
               std::u16string(OvMUI_GetCommonDLLPath()) == u"/usr/share/orvantek/mui" &&
               OvMUI_RegisterApplication(u"/x", u"de_de", nullptr) == 0;
    };
    // A machine file that may not be written.
    ::chmod(reg.machine().c_str(), 0444);
    EXPECT_TRUE(checks());
    ::chmod(reg.machine().c_str(), 0644);
    if (::geteuid() != 0) {
        GTEST_SKIP() << "switching to an unprivileged user needs root";
    }
    // A user who may write neither the machine folder nor the file.
    ::chmod(reg.dir().c_str(), 0755);
    ::chmod((reg.dir() + "/shared").c_str(), 0755);
    ::chmod((reg.dir() + "/shared/tapper").c_str(), 0755);
    EXPECT_TRUE(InChild(checks, true));
}
