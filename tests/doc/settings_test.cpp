// Ping settings in the profile.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "OvPingDoc.h"
#include "PingSettings.h"
#include "platform/registry.h"
#include "support/temp_registry.h"

namespace {

// The registry files of these tests live in a folder of their own.
class SettingsTest : public ov::test::RegistrySuite {
protected:
    // A profile key of this test alone.
    static std::u16string KeyOfTest() {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        return u"Software\\Orvantek Test\\" + std::u16string(name.begin(), name.end());
    }

    CProfile profile{KeyOfTest()};
};

TEST_F(SettingsTest, FreshProfileGivesTheDefaults) {
    PING_SETTINGS s{};
    DWORD poll = 0;
    LoadSettings(profile, s, poll);
    EXPECT_EQ(s.Size, 64u);
    EXPECT_EQ(s.TimeDelay, 1500u);
    EXPECT_EQ(s.TimeOut, 500u);
    EXPECT_EQ(s.Probe, 3);
    EXPECT_EQ(s.IPOption.Flags, 0);
    EXPECT_EQ(s.IPOption.Tos, 200);
    EXPECT_EQ(s.IPOption.Ttl, 255);
    EXPECT_EQ(s.IPOption.OptionsSize, 0);
    EXPECT_EQ(s.IPOption.OptionsData, nullptr);
    EXPECT_EQ(poll, 500u);
}

TEST_F(SettingsTest, StoredValuesKeepTheirLowBits) {
    ASSERT_TRUE(profile.WriteProfileInt(u"Ping", u"Probe", 70000));
    ASSERT_TRUE(profile.WriteProfileInt(u"Icmp", u"IPTtl", 256));
    ASSERT_TRUE(profile.WriteProfileInt(u"Icmp", u"IPTos", 0x1FF));
    ASSERT_TRUE(profile.WriteProfileInt(u"Ping", u"TimeOut", -1));
    COvPingDoc doc;
    LoadSettings(profile, doc);
    EXPECT_EQ(doc.Settings().Probe, 4464);
    EXPECT_EQ(doc.Settings().IPOption.Ttl, 0);
    EXPECT_EQ(doc.Settings().IPOption.Tos, 0xFF);
    EXPECT_EQ(doc.Settings().TimeOut, 0xFFFFFFFFu);  // no range check on load
    // The first save writes the narrowed value back.
    ASSERT_TRUE(SaveSettings(profile, doc));
    EXPECT_EQ(profile.GetProfileInt(u"Ping", u"Probe", 0), 4464u);
    EXPECT_EQ(profile.GetProfileInt(u"Icmp", u"IPTtl", 7), 0u);
}

TEST_F(SettingsTest, PollTimeWrittenAsGuiIsReadAsGui) {
    ASSERT_TRUE(profile.WriteProfileInt(u"GUI", u"PollTime", 250));
    EXPECT_EQ(profile.GetProfileInt(u"Gui", u"polltime", 0), 250u);
    PING_SETTINGS s{};
    DWORD poll = 0;
    LoadSettings(profile, s, poll);
    EXPECT_EQ(poll, 250u);
}

TEST_F(SettingsTest, SaveWritesTheEightValuesAsDwords) {
    PING_SETTINGS s{};
    s.Size = 1000;
    s.TimeDelay = 2000;
    s.TimeOut = 3000;
    s.Probe = 4;
    s.IPOption.Flags = 2;
    s.IPOption.Tos = 16;
    s.IPOption.Ttl = 32;
    ASSERT_TRUE(SaveSettings(profile, s, 700));

    PING_SETTINGS back{};
    DWORD poll = 0;
    LoadSettings(profile, back, poll);
    EXPECT_EQ(back.Size, 1000u);
    EXPECT_EQ(back.TimeDelay, 2000u);
    EXPECT_EQ(back.TimeOut, 3000u);
    EXPECT_EQ(back.Probe, 4);
    EXPECT_EQ(back.IPOption.Flags, 2);
    EXPECT_EQ(back.IPOption.Tos, 16);
    EXPECT_EQ(back.IPOption.Ttl, 32);
    EXPECT_EQ(poll, 700u);

    struct Entry {
        const char16_t* section;
        const char16_t* name;
    };
    const Entry entries[] = {{u"Ping", u"Size"},  {u"Ping", u"TimeDelay"}, {u"Ping", u"TimeOut"},
                             {u"Ping", u"Probe"}, {u"Icmp", u"IPFlags"},   {u"Icmp", u"IPTos"},
                             {u"Icmp", u"IPTtl"}, {u"Gui", u"PollTime"}};
    for (const Entry& entry : entries) {
        const std::u16string path = KeyOfTest() + u"\\" + entry.section;
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
        DWORD type = 0;
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExW(key, entry.name, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
        EXPECT_EQ(type, REG_DWORD);
        EXPECT_EQ(size, 4u);
        RegCloseKey(key);
    }
}

TEST_F(SettingsTest, ValueOfAnotherTypeGivesTheDefault) {
    ASSERT_TRUE(profile.WriteProfileInt(u"Ping", u"Size", 1));
    const std::u16string path = KeyOfTest() + u"\\Ping";
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_WRITE, &key), ERROR_SUCCESS);
    const char16_t text[] = u"128";
    ASSERT_EQ(RegSetValueExW(key, u"Size", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof(text)),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(profile.GetProfileInt(u"Ping", u"Size", 64), 64u);
}

}  // namespace
