// The update server's answer, version comparison and the updater's memory.
#include <string>

#include <gtest/gtest.h>

#include "../registry/reg_test_util.h"
#include "ovupdate/UpdateAnswer.h"
#include "ovupdate/UpdateMemory.h"

namespace {

constexpr char16_t kProduct[] = u"Orvantek Ping Tool";

std::string Answer(const std::string& version, const std::string& download, const std::string& extra = {},
                   const std::string& rootAttrs = " product=\"Orvantek Ping Tool\"") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<OvUpdate" + rootAttrs + ">\n  <Version>" + version +
           "</Version>\n  <Download>" + download + "</Download>\n" + extra + "</OvUpdate>\n";
}

OV_ANSWER_RESULT Parse(const std::string& body, OV_UPDATE_ANSWER& answer) {
    return ParseUpdateAnswer(body, kProduct, answer);
}

TEST(UpdateAnswer, ReadsAWellFormedAnswer) {
    OV_UPDATE_ANSWER answer;
    ASSERT_EQ(Parse(Answer(" 1.2.0.301 ", "https://www.orvantek.example/dl.html",
                           "  <Notes>Faster.\n\t\r\x7f&lt;b&gt;bold&lt;/b&gt; stays text.\x01</Notes>\n"),
                    answer),
              ANSWER_OK);
    EXPECT_EQ(answer.version, u"1.2.0.301");
    EXPECT_EQ(answer.download, u"https://www.orvantek.example/dl.html");
    EXPECT_EQ(answer.notes, u"Faster.\n\t<b>bold</b> stays text.");
    // A byte-order mark, no declaration, no product and no notes are all fine.
    OV_UPDATE_ANSWER bare;
    ASSERT_EQ(Parse("\xEF\xBB\xBF<OvUpdate><Version>2</Version><Download>HTTP://h/</Download></OvUpdate>", bare),
              ANSWER_OK);
    EXPECT_EQ(bare.version, u"2");
    EXPECT_TRUE(bare.notes.empty());
}

TEST(UpdateAnswer, RefusesBrokenOrHostileAnswersAndLeavesTheResultAlone) {
    const std::string ok = Answer("1.2", "https://h/");
    struct Case {
        std::string body;
        OV_ANSWER_RESULT result;
    } const cases[] = {
        {std::string(kMaxUpdateAnswerBytes + 1, ' '), ANSWER_TOO_LARGE},
        {"", ANSWER_MALFORMED},
        {"garbage <<<>>>", ANSWER_MALFORMED},
        {ok.substr(0, ok.size() / 2), ANSWER_MALFORMED},
        {"<Other><Version>1.2</Version><Download>https://h/</Download></Other>", ANSWER_MALFORMED},
        {Answer("1.2", "https://h/", {}, " product=\"Other Tool\""), ANSWER_WRONG_PRODUCT},
        {std::string("<OvUpdate>\0</OvUpdate>", 21), ANSWER_NOT_TEXT},
        {"<OvUpdate><Notes>\xC3\x28</Notes></OvUpdate>", ANSWER_NOT_TEXT},
        {"<!DOCTYPE OvUpdate [<!ENTITY a \"aaaa\">]>" + Answer("&a;", "https://h/"), ANSWER_DOCTYPE},
        {Answer("", "https://h/"), ANSWER_BAD_VERSION},
        {Answer("1..2", "https://h/"), ANSWER_BAD_VERSION},
        {Answer("1.2.3.4.5", "https://h/"), ANSWER_BAD_VERSION},
        {Answer("65536", "https://h/"), ANSWER_BAD_VERSION},
        {Answer("99999999999999999999", "https://h/"), ANSWER_BAD_VERSION},
        {Answer("-1.2", "https://h/"), ANSWER_BAD_VERSION},
        {Answer("1.2a", "https://h/"), ANSWER_BAD_VERSION},
        {Answer("1.2.", "https://h/"), ANSWER_BAD_VERSION},
        {"<OvUpdate><Download>https://h/</Download></OvUpdate>", ANSWER_BAD_VERSION},
        {Answer("1.2", ""), ANSWER_BAD_ADDRESS},
        {Answer("1.2", "javascript:alert(1)"), ANSWER_BAD_ADDRESS},
        {Answer("1.2", "file:///etc/passwd"), ANSWER_BAD_ADDRESS},
        {Answer("1.2", "https://"), ANSWER_BAD_ADDRESS},
        {Answer("1.2", "https:///path"), ANSWER_BAD_ADDRESS},
        {Answer("1.2", "https://h/a b"), ANSWER_BAD_ADDRESS},
        {Answer("1.2", "https://h/\x1b[2J"), ANSWER_BAD_ADDRESS},
        {Answer("1.2", "https://h/" + std::string(kMaxDownloadChars, 'a')), ANSWER_BAD_ADDRESS},
    };
    for (const Case& c : cases) {
        OV_UPDATE_ANSWER answer{u"untouched", u"untouched", u"untouched"};
        EXPECT_EQ(Parse(c.body, answer), c.result) << c.body.substr(0, 120);
        EXPECT_EQ(answer.version, u"untouched");
    }
}

TEST(UpdateAnswer, DeepNestingAndLongNotesStayBounded) {
    std::string deep = "<OvUpdate><Version>1.2</Version><Download>https://h/</Download>";
    while (deep.size() < kMaxUpdateAnswerBytes - 64) {
        deep += "<a>";
    }
    deep += "</OvUpdate>";
    OV_UPDATE_ANSWER answer;
    EXPECT_NE(Parse(deep, answer), ANSWER_TOO_LARGE);  // read through without a fault

    // Notes are cut to their limit without splitting a character pair.
    std::string notes;
    for (std::size_t i = 0; i < kMaxNotesChars; ++i) {
        notes += i + 1 == kMaxNotesChars ? "\xF0\x9F\x98\x80" : "x";
    }
    ASSERT_EQ(Parse(Answer("1.2", "https://h/", "<Notes>" + notes + "</Notes>"), answer), ANSWER_OK);
    EXPECT_EQ(answer.notes.size(), kMaxNotesChars - 1);
}

TEST(Versions, ComparedPartByPartAsNumbers) {
    struct Case {
        const char16_t* a;
        const char16_t* b;
        int order;
    } const cases[] = {
        {u"1.1.1.265", u"1.1.1.265", 0},
        {u"1.10", u"1.9", 1},
        {u"1.2", u"1.2.0.0", 0},
        {u"1.1.1.266", u"1.1.1.265", 1},
        {u"1.1.2", u"1.1.1.999", 1},
        {u"2", u"1.65535.65535.65535", 1},
        {u"0.9", u"1", -1},
        {u"01.002", u"1.2", 0},
        {u"65535.0", u"65534.65535", 1},
    };
    for (const Case& c : cases) {
        int order = 7;
        ASSERT_TRUE(CompareVersions(c.a, c.b, order));
        EXPECT_EQ(order > 0 ? 1 : (order < 0 ? -1 : 0), c.order);
        ASSERT_TRUE(CompareVersions(c.b, c.a, order));
        EXPECT_EQ(order > 0 ? 1 : (order < 0 ? -1 : 0), -c.order);
    }
    int order = 7;
    EXPECT_FALSE(CompareVersions(u"1.x", u"1.0", order));
    EXPECT_FALSE(CompareVersions(u"1.0", u"", order));
    EXPECT_EQ(order, 7);
}

TEST(UpdateMemory, KeepsLastCheckAndSkippedVersionUnderTheProductsKey) {
    regtest::TempRegistry registry;
    CUpdateMemory memory(kProduct);
    EXPECT_EQ(memory.LastCheck(), 0);
    EXPECT_TRUE(memory.SkippedVersion().empty());
    ASSERT_TRUE(memory.SetLastCheck(1765000000));
    ASSERT_TRUE(memory.SetSkippedVersion(u"1.2.0.301"));
    EXPECT_FALSE(memory.SetSkippedVersion(std::u16string(100, u'9')));

    // Another object, as in the next start, reads the same values.
    const CUpdateMemory again(kProduct);
    EXPECT_EQ(again.LastCheck(), 1765000000);
    EXPECT_EQ(again.SkippedVersion(), u"1.2.0.301");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\Orvantek\\OVUPDATE\\Orvantek Ping Tool", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
    // Another product keeps its own memory.
    EXPECT_TRUE(CUpdateMemory(u"Other Tool").SkippedVersion().empty());
}

}  // namespace
