// Every language module must translate every message of the English
// catalogue and name exactly the placeholders of the English text.
#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "EnglishStrings.h"
#include "MsgFormat.h"
#include "ovcppstd.h"
#include "platform/codepage.h"
#include "platform/module.h"

namespace {

// Placeholder tokens of a text: "%", a conversion, "_", a name, "%", with no
// blank or "%" inside. This finds tokens wherever they stand, also where a
// stray "%" would hide them from the formatter's scan.
std::multiset<std::u16string> Tokens(std::u16string_view text) {
    std::multiset<std::u16string> out;
    for (std::size_t p = text.find(u'%'); p != std::u16string_view::npos;) {
        std::size_t q = p + 1;
        while (q < text.size() && text[q] != u'%' && text[q] != u' ' && text[q] != u'\n') {
            ++q;
        }
        if (q < text.size() && text[q] == u'%') {
            const std::u16string_view token = text.substr(p, q - p + 1);
            const std::size_t underscore = token.find(u'_');
            if (underscore != std::u16string_view::npos && underscore > 1 && underscore + 2 < token.size()) {
                out.emplace(token);
                p = text.find(u'%', q + 1);
                continue;
            }
        }
        p = q < text.size() && text[q] == u'%' ? q : text.find(u'%', q);
    }
    return out;
}

std::string Narrow(std::u16string_view s) {
    return ov::WideToUtf8(s);
}

class LanguageModule : public ::testing::TestWithParam<const char*> {};

TEST_P(LanguageModule, TranslatesEveryMessageWithTheSamePlaceholders) {
    const std::string code = GetParam();
    const char* bin = std::getenv("OV_BIN_DIR");
    ASSERT_NE(bin, nullptr) << "OV_BIN_DIR names the build's program folder";
    ov::Module module(std::string(bin) + "/mui/" + code + "/OvPingRes.so");
    ASSERT_TRUE(module.IsLoaded());

    const auto langId = reinterpret_cast<GetLangStrIdFn>(module.GetProc(kLangIdExport));
    const auto load = reinterpret_cast<ResLoadStringFn>(module.GetProc(kLoadStringExport));
    const auto count = reinterpret_cast<ResStringCountFn>(module.GetProc(kStringCountExport));
    const auto at = reinterpret_cast<ResStringAtFn>(module.GetProc(kStringAtExport));
    ASSERT_TRUE(langId && load && count && at);
    EXPECT_EQ(std::string(langId()), code);

    // Start-up uses a module only when it carries the program's file version.
    DWORD high = 0, low = 0;
    ASSERT_TRUE(GetFileVersion(std::string(bin) + "/mui/" + code + "/OvPingRes.so", &high, &low));
    EXPECT_EQ(high, DWORD{OV_FILE_VERSION_HIGH});
    EXPECT_EQ(low, DWORD{OV_FILE_VERSION_LOW});

    for (const OV_MESSAGE& m : EnglishMessages()) {
        SCOPED_TRACE("message " + std::to_string(m.id));
        const char16_t* translated = load(m.id);
        ASSERT_NE(translated, nullptr) << "not translated";
        EXPECT_NE(*translated, u'\0');
        EXPECT_EQ(Tokens(translated), Tokens(m.text)) << Narrow(translated);
    }
    for (unsigned int i = 0; i < count(); ++i) {
        unsigned int id = 0;
        ASSERT_NE(at(i, &id), nullptr);
        EXPECT_NE(EnglishString(id), nullptr) << "message " << id << " is not in the English catalogue";
    }
    EXPECT_EQ(at(count(), nullptr), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Shipped, LanguageModule, ::testing::Values("de_de", "zh_cn"));

TEST(PlaceholderCheck, CatchesDroppedAndMisspelledTokens) {
    const std::u16string english = u"Packets Lost:%d_a%(%d_b%% loss)";
    EXPECT_EQ(Tokens(english), (std::multiset<std::u16string>{u"%d_a%", u"%d_b%"}));
    EXPECT_EQ(Tokens(u"Verloren: %d_a% (%d_b% % Verlust)"), Tokens(english));
    EXPECT_EQ(Tokens(u"% Verlust %d_b% / %d_a%"), Tokens(english)) << "a stray % does not hide tokens";
    EXPECT_NE(Tokens(u"Verloren: %d_a%"), Tokens(english));
    EXPECT_NE(Tokens(u"Verloren: %d_a% (%d_c%%)"), Tokens(english));
    EXPECT_NE(Tokens(u"Verloren: %s_a% (%d_b%%)"), Tokens(english));
    EXPECT_NE(Tokens(u"Verloren: %d_a (%d_b%%)"), Tokens(english));
}

}  // namespace
