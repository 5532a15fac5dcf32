// The program's web addresses: stored encoded under the program's alphabet,
// one set for zh_cn and zh_tw (case-sensitive), one for the others.
#include <string>

#include <gtest/gtest.h>

#include "OnlineAddress.h"
#include "alphabet.h"
#include "ovcoder/OvBase64.h"
#include "platform/codepage.h"

namespace {

constexpr char kStandardAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";

std::u16string Base() {
    return ov::Utf8ToWide(OV_TEST_WEB_BASE);
}

class Addresses : public ::testing::Test {
protected:
    void SetUp() override { OvBase64_SetEncodeTable(kOvBase64Alphabet); }
    void TearDown() override { OvBase64_SetEncodeTable(kStandardAlphabet); }
};

TEST_F(Addresses, ChineseSetForLowerCaseChineseCodesOnly) {
    EXPECT_TRUE(UsesChineseAddresses(u"zh_cn"));
    EXPECT_TRUE(UsesChineseAddresses(u"zh_tw"));
    for (const char16_t* other : {u"ZH_TW", u"zh_TW", u"ZH_CN", u"en_us", u"de_de", u"zh_hk", u""}) {
        EXPECT_FALSE(UsesChineseAddresses(other));
    }
}

TEST_F(Addresses, DecodeToTheBuildsPlainValues) {
    const std::u16string base = Base();
    EXPECT_EQ(OnlineAddress(ADDR_HOME_PAGE, u"zh_tw"), base + u"/cn/");
    EXPECT_EQ(OnlineAddress(ADDR_HOME_PAGE, u"ZH_TW"), base + u"/");
    EXPECT_EQ(OnlineAddress(ADDR_HOME_PAGE, u"zh_cn"), base + u"/cn/");
    EXPECT_EQ(OnlineAddress(ADDR_ONLINE_RESOURCE, u"ZH_TW"), base + u"/tapper/resource.html");
    EXPECT_EQ(OnlineAddress(ADDR_ONLINE_RESOURCE, u"zh_tw"), base + u"/cn/tapper/resource.html");
    EXPECT_EQ(OnlineAddress(ADDR_ONLINE_HELP, u"de_de"), base + u"/tapper/help/");
    EXPECT_EQ(OnlineAddress(ADDR_UPDATE_CHECK, u"en_us"), base + u"/update/tapper.xml");
    EXPECT_EQ(OnlineAddress(ADDR_UPDATE_CHECK, u"zh_cn"), base + u"/cn/update/tapper.xml");
    // The forum is shared by every language.
    EXPECT_EQ(OnlineAddress(ADDR_FORUM, u"zh_tw"), base + u"/forum/");
    EXPECT_EQ(OnlineAddress(ADDR_FORUM, u"ZH_TW"), base + u"/forum/");
    EXPECT_TRUE(OnlineAddress(ADDR_COUNT, u"en_us").empty());
    EXPECT_EQ(EncodedAddress(static_cast<OV_ADDRESS>(-1), u"en_us"), nullptr);
}

TEST_F(Addresses, StoredTextNeedsTheProgramsAlphabet) {
    for (int i = 0; i < ADDR_COUNT; ++i) {
        const auto which = static_cast<OV_ADDRESS>(i);
        for (const char16_t* language : {u"zh_tw", u"en_us"}) {
            const std::u16string stored = EncodedAddress(which, language);
            const std::u16string plain = OnlineAddress(which, language);
            ASSERT_TRUE(plain.starts_with(Base())) << i;
            EXPECT_EQ(stored.find(u"orvantek"), std::u16string::npos) << "stored in plain text";
            // Under the standard alphabet the same text is no address.
            OvBase64_SetEncodeTable(kStandardAlphabet);
            EXPECT_NE(std::u16string(OvBase64_DecodeStringStatic(stored.c_str())), plain);
            OvBase64_SetEncodeTable(kOvBase64Alphabet);
        }
    }
}

TEST(Alphabet, SixtyFourDistinctSymbolsAndAPad) {
    std::string symbols(kOvBase64Alphabet);
    ASSERT_EQ(symbols.size(), 65u);
    for (std::size_t i = 0; i < symbols.size(); ++i) {
        EXPECT_GT(symbols[i], ' ');
        EXPECT_LT(symbols[i], '\x7f');
        EXPECT_EQ(symbols.find(symbols[i]), i) << "symbol repeated: " << symbols[i];
    }
}

}  // namespace
