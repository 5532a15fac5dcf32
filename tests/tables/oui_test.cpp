#include "ovmfcstd/OvOUI.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_paths.h"

namespace {

class OuiSample : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(oui.Open(TablesData("oui_sample.xml").c_str()), 1); }
    COvOUI oui;
};

TEST(OuiEmpty, LookupsBeforeOpenAreEmpty) {
    COvOUI oui;
    EXPECT_EQ(oui.GetManufacturer(0x1B0A00u), u"");
    EXPECT_EQ(oui.GetManufacturer(u"00:0A:1B"), u"");
    oui.RemoveAll();  // no table yet: nothing to do
    EXPECT_EQ(oui.GetManufacturer(u"00-0A-1B-00-00-00"), u"");
}

TEST(OuiEmpty, MissingFileFails) {
    COvOUI oui;
    EXPECT_EQ(oui.Open(TablesData("no_such_file.xml").c_str()), 0);
    EXPECT_EQ(oui.Open(u""), 0);
}

TEST_F(OuiSample, NumberPacksFirstByteLowest) {
    EXPECT_EQ(oui.GetManufacturer(0x1B0A00u), u"Alpha Networks");
    EXPECT_EQ(oui.GetManufacturer(0x000A1Bu), u"");
    EXPECT_EQ(oui.GetManufacturer(0x0C0B0Au), u"Lower Case Ltd");
    // The top byte takes no part in an OUI number.
    EXPECT_EQ(oui.GetManufacturer(0xFF1B0A00u), u"");
}

TEST_F(OuiSample, TextFormsFindTheFirstThreeBytes) {
    for (const char16_t* text : {u"00:0A:1B", u"00-0A-1B", u"00-0A-1B-22-33-44", u"00:0A:1B:22:33:44", u"000A1B22",
                                 u"000a1b2233", u"00:0a:1b"}) {
        EXPECT_EQ(oui.GetManufacturer(text), u"Alpha Networks") << std::u16string(text).size();
    }
    // Seven characters or fewer never match.
    for (const char16_t* text : {u"", u"00", u"000A1B", u"00:0A:1", u"00-0A-1"}) {
        EXPECT_EQ(oui.GetManufacturer(text), u"");
    }
    // Not a hexadecimal digit: read as 0.
    EXPECT_EQ(oui.GetManufacturer(u"ZZ:00:01"), u"Not Hex");
    EXPECT_EQ(oui.GetManufacturer(u"00:00:01"), u"Not Hex");
    // Too few characters once the separators are gone: no number at all.
    EXPECT_EQ(oui.GetManufacturer(u"::::::::"), u"");
    EXPECT_EQ(oui.GetManufacturer(u"--------"), u"");
    EXPECT_EQ(oui.GetManufacturer(0u), u"");
}

TEST_F(OuiSample, EntriesReadAsWritten) {
    // The later of two entries with one address wins.
    EXPECT_EQ(oui.GetManufacturer(u"00:00:0C"), u"New Name");
    // 7 and 9 character addresses are skipped, whatever they start with.
    EXPECT_EQ(oui.GetManufacturer(0x1C0A00u), u"");
    EXPECT_EQ(oui.GetManufacturer(u"00:0A:1C"), u"");
    // Empty or missing names are skipped.
    EXPECT_EQ(oui.GetManufacturer(u"11:22:33"), u"");
    EXPECT_EQ(oui.GetManufacturer(u"11:22:34"), u"");
    EXPECT_EQ(oui.GetManufacturer(u"00:0A:1D"), u"No Separators");
    EXPECT_EQ(oui.GetManufacturer(u"44:55:66"), u"Müller & Söhne");
    // Only Entry children of the root count.
    EXPECT_EQ(oui.GetManufacturer(u"77:88:99"), u"");
    EXPECT_EQ(oui.GetManufacturer(u"AA:BB:CC"), u"");
}

TEST_F(OuiSample, FailedOpenKeepsTheTable) {
    EXPECT_EQ(oui.Open(TablesData("oui_wrong_root.xml").c_str()), 0);
    EXPECT_EQ(oui.Open(TablesData("no_such_file.xml").c_str()), 0);
    EXPECT_EQ(oui.GetManufacturer(u"00:0A:1B"), u"Alpha Networks");
    EXPECT_EQ(oui.GetManufacturer(u"12:34:56"), u"");
}

TEST_F(OuiSample, OpenReplacesAndRemoveAllEmpties) {
    ASSERT_EQ(oui.Open(TablesData("oui_other.xml").c_str()), 1);
    EXPECT_EQ(oui.GetManufacturer(u"12:34:56"), u"Second File");
    EXPECT_EQ(oui.GetManufacturer(u"00:0A:1B"), u"");
    oui.RemoveAll();
    EXPECT_EQ(oui.GetManufacturer(u"12:34:56"), u"");
    ASSERT_EQ(oui.Open(TablesData("oui_sample.xml").c_str()), 1);
    EXPECT_EQ(oui.GetManufacturer(u"00:0A:1B"), u"Alpha Networks");
}

TEST(OuiShipped, DefaultFileBesideTheLibrary) {
    ASSERT_TRUE(std::filesystem::exists(BinFile("OUI.dat"))) << "OUI.dat was not generated";
    COvOUI oui;
    ASSERT_EQ(oui.Open(), 1);
    EXPECT_NE(oui.GetManufacturer(u"00:00:0C").find(u"Cisco"), std::u16string::npos);
    EXPECT_NE(oui.GetManufacturer(0x0C0000u).find(u"Cisco"), std::u16string::npos);
    EXPECT_NE(oui.GetManufacturer(u"00-50-56-C0-00-08").find(u"VMware"), std::u16string::npos);
    EXPECT_NE(oui.GetManufacturer(u"3c5ab4000001").find(u"Google"), std::u16string::npos);
}

}  // namespace
