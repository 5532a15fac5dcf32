// COvStringTable: which files are accepted, lookup order, placeholder
// substitution and the per-thread result rings.
#include "ovmui/OvStringTable.h"

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "TempDir.h"

namespace {

// Sets the error-marking flag for one test and restores it afterwards.
class FlagGuard {
public:
    explicit FlagGuard(int value) : m_saved(g_bShowMUIErrInfo) { g_bShowMUIErrInfo = value; }
    ~FlagGuard() { g_bShowMUIErrInfo = m_saved; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

private:
    int m_saved;
};

std::string Table(const std::string& rootAttributes, const std::string& strings) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<StringTable " + rootAttributes + ">" + strings +
           "</StringTable>";
}

class StringTable : public ::testing::Test {
protected:
    // Writes a table file called "App" for en_us, version 1.
    std::u16string WriteTable(const std::string& file, const std::string& strings,
                              const std::string& attributes = "name=\"App\" language=\"en_us\" version=\"1\"") {
        return WidePath(m_dir.Write(file, Table(attributes, strings)));
    }
    int Load(COvStringTable& t, const std::u16string& path, int version = 1) {
        return t.LoadResFile(path.c_str(), u"App", u"en_us", version);
    }

    TempDir m_dir;
};

TEST_F(StringTable, AcceptsOnlyFilesOfTheRightNameLanguageAndVersion) {
    COvStringTable t;
    const auto good = WriteTable("good.xml", "<String id=\"1\">one</String>");
    EXPECT_EQ(t.LoadResFile(good.c_str(), u"APP", u"EN_US", 1), 1) << "name and language ignore case";
    EXPECT_EQ(t.LoadResFile(good.c_str(), u"App", u"en_us", 2), 0);
    EXPECT_EQ(t.LoadResFile(good.c_str(), u"Other", u"en_us", 1), 0);
    EXPECT_EQ(t.LoadResFile(good.c_str(), u"App", u"de_de", 1), 0);

    const auto v2 = WriteTable("v2.xml", "", "name=\"App\" language=\"en_us\" version=\"2\"");
    EXPECT_EQ(Load(t, v2, 1), 0);
    EXPECT_EQ(Load(t, v2, 2), 1) << "a table without strings is accepted";

    const auto noVersion = WriteTable("nov.xml", "", "name=\"App\" language=\"en_us\"");
    EXPECT_EQ(Load(t, noVersion, 1), 0);
    EXPECT_EQ(Load(t, noVersion, 0), 1);

    // The version reads like the C library's text-to-integer conversion.
    const auto loose = WriteTable("loose.xml", "", "name=\"App\" language=\"en_us\" version=\"  +7beta\"");
    EXPECT_EQ(Load(t, loose, 7), 1);
    const auto negative = WriteTable("neg.xml", "", "name=\"App\" language=\"en_us\" version=\"-3\"");
    EXPECT_EQ(Load(t, negative, -3), 1);
    const auto huge = WriteTable("huge.xml", "", "name=\"App\" language=\"en_us\" version=\"99999999999999999999\"");
    EXPECT_EQ(Load(t, huge, 2147483647), 1) << "out of range saturates";

    const auto otherRoot =
        WidePath(m_dir.Write("root.xml", "<Strings name=\"App\" language=\"en_us\" version=\"1\"/>"));
    EXPECT_EQ(Load(t, otherRoot), 0);
    EXPECT_EQ(Load(t, WidePath((m_dir.Path() / "absent.xml").string())), 0);
    EXPECT_EQ(Load(t, WidePath(m_dir.Write("broken.xml", "<StringTable name=\"App\""))), 0);
}

TEST_F(StringTable, RejectsMissingArguments) {
    COvStringTable t;
    const auto good = WriteTable("good.xml", "<String id=\"1\">one</String>");
    EXPECT_EQ(t.LoadResFile(good.c_str(), u"App", nullptr, 1), 0);
    EXPECT_EQ(t.LoadResFile(nullptr, u"App", u"en_us", 1), 0);
    EXPECT_EQ(t.LoadResFile(u"", u"App", u"en_us", 1), 0);
    EXPECT_EQ(t.LoadResFile(good.c_str(), nullptr, u"en_us", 1), 0);
    EXPECT_EQ(t.LoadResFile(good.c_str(), u"", u"en_us", 1), 0);
    EXPECT_EQ(t.LoadResFile(good.c_str(), u"App", u"", 1), 0);
    EXPECT_EQ(std::u16string(t.LoadStringW(u"1", u"default")), u"default") << "nothing was loaded";
}

TEST_F(StringTable, LookupFindsTheFirstEntryOfAnIdWithoutRegardToCase) {
    COvStringTable t;
    const auto a = WriteTable("a.xml",
                              "<String id=\"Greet\">first</String><String id=\"\">no id</String>"
                              "<String id=\"empty\"></String><Other id=\"other\">x</Other>"
                              "<String id=\"greet\">second</String>");
    const auto b = WriteTable("b.xml", "<String id=\"GREET\">from b</String><String id=\"only-b\">b</String>");
    ASSERT_EQ(Load(t, a), 1);
    ASSERT_EQ(Load(t, b), 1);
    EXPECT_EQ(std::u16string(t.LoadStringW(u"gReEt", u"default")), u"first");
    EXPECT_EQ(std::u16string(t.LoadStringW(u"only-B", u"default")), u"b");
    EXPECT_EQ(std::u16string(t.LoadStringW(u"empty", u"default")), u"default") << "empty text is skipped";
    EXPECT_EQ(std::u16string(t.LoadStringW(u"other", u"default")), u"default") << "only String elements";
    EXPECT_EQ(std::u16string(t.LoadStringW(u"", u"default")), u"default");
    EXPECT_EQ(std::u16string(t.LoadStringW(static_cast<const char16_t*>(nullptr), u"default")), u"default");

    // The same file twice: both copies stay and the first one answers.
    COvStringTable twice;
    const auto c = WriteTable("c.xml", "<String id=\"k\">c</String>");
    ASSERT_EQ(Load(twice, c), 1);
    ASSERT_EQ(Load(twice, c), 1);
    ASSERT_EQ(Load(twice, b), 1);
    EXPECT_EQ(std::u16string(twice.LoadStringW(u"k", u"d")), u"c");
    EXPECT_EQ(std::u16string(twice.LoadStringW(u"greet", u"d")), u"from b");

    twice.RemoveAllRes();
    EXPECT_EQ(std::u16string(twice.LoadStringW(u"k", u"d")), u"d");
    ASSERT_EQ(Load(twice, c), 1) << "a cleared table loads again";
    EXPECT_EQ(std::u16string(twice.LoadStringW(u"k", u"d")), u"c");
}

TEST_F(StringTable, TranslationsMayReorderPlaceholders) {
    FlagGuard flag(1);
    COvStringTable t;
    ASSERT_EQ(Load(t, WriteTable("t.xml",
                                 "<String id=\"ratio\">%d_b% von %d_a%</String>"
                                 "<String id=\"reply\">%s_a% &lt;- %s_b% [%s_c%]</String>")),
              1);
    EXPECT_EQ(std::u16string(t.LoadStringW(u"ratio", u"%d_a% of %d_b%", 3, 12)), u"12 von 3");
    EXPECT_EQ(std::u16string(t.LoadStringW(u"reply", u"[%s_c%]Reply form %s_b%: %s_a%", u"C", u"B", u"A")),
              u"A <- B [C]");
}

TEST_F(StringTable, PercentSignsThatAreNoPlaceholders) {
    FlagGuard flag(1);
    COvStringTable t;
    EXPECT_EQ(std::u16string(t.LoadStringW(u"x", u"Packets Lost:%d_a%(%d_b%% loss)", 5, 20)),
              u"Packets Lost:5(20% loss)");
    EXPECT_EQ(std::u16string(t.LoadStringW(u"x", u"100%% of %d_a%", 7)), u"100%% of 7");
    EXPECT_EQ(std::u16string(t.LoadStringW(u"x", u"No placeholders % here")), u"No placeholders % here");
    // A token without "_" takes no argument; the next one still does.
    EXPECT_EQ(std::u16string(t.LoadStringW(u"x", u"%PATH% %d_a%", 9)), u"%PATH% 9");
    // A lone "%" pairs with the next token's opening "%", hiding that token.
    EXPECT_EQ(std::u16string(t.LoadStringW(u"x", u"50% of %d_a%")), u"50% of %d_a%");
}

TEST_F(StringTable, ATokenTwiceTakesTwoArgumentsAndCountsAsIncomplete) {
    COvStringTable t;
    {
        FlagGuard flag(0);
        EXPECT_EQ(std::u16string(t.LoadStringW(u"x", u"%d_a% and %d_a%", 1, 2)), u"1 and 1");
    }
    FlagGuard flag(1);
    EXPECT_EQ(std::u16string(t.LoadStringW(u"x", u"%d_a% and %d_a% then %s_b%", 1, 2, u"s")), u"*1 and 1 then s");
}

TEST_F(StringTable, ConversionsAndTheArgumentsTheyTake) {
    FlagGuard flag(0);
    COvStringTable t;
    // Unknown conversions take nothing and vanish.
    EXPECT_EQ(std::u16string(t.LoadStringW(u"x", u"[%f_a%][%S_b%][%d_c%]", 5)), u"[][][5]");
    EXPECT_EQ(std::u16string(t.LoadStringW(u"x", u"%08x_a%|%X_b%|%5d_c%|%-4u_d%|", 0xBEEF, 0xABCDEFu, 42, 7u)),
              u"0000beef|ABCDEF|   42|7   |");
    EXPECT_EQ(std::u16string(t.LoadStringW(u"x", u"%c_a%%c_b%|%3c_c%", 0x10041, int{u'\u00e9'}, int{'z'})),
              u"A\u00e9|  z");
    EXPECT_EQ(std::u16string(t.LoadStringW(u"x", u"%s_a%|%.2s_b%|%-5s_c%|", u"wide \u7f51", u"abcdef", u"ab")),
              u"wide \u7f51|ab|ab   |");
    // Only the exact 64-bit forms take 8 bytes; their case does not matter here.
    const std::int64_t big = -5000000000LL;
    const std::uint64_t ubig = 18000000000000000000ULL;
    EXPECT_EQ(std::u16string(t.LoadStringW(u"x", u"%I64d_a%|%i64U_b%|%10I64d_c%|%d_d%", big, ubig, 42, 8)),
              u"-5000000000|18000000000000000000|        42|8");
    // Widths far beyond any text are cut down rather than honoured.
    EXPECT_LE(std::u16string(t.LoadStringW(u"x", u"%999999999d_a%", 1)).size(), 1024u);
}

TEST_F(StringTable, MissingTokensAreMarkedOnlyWithTheFlag) {
    COvStringTable t;
    ASSERT_EQ(Load(t, WriteTable("t.xml", "<String id=\"lost\">Verloren: %d_a%</String>")), 1);
    {
        FlagGuard flag(0);
        EXPECT_EQ(std::u16string(t.LoadStringW(u"lost", u"Lost:%d_a%(%d_b%% loss)", 2, 50)), u"Verloren: 2");
    }
    {
        FlagGuard flag(1);
        EXPECT_EQ(std::u16string(t.LoadStringW(u"lost", u"Lost:%d_a%(%d_b%% loss)", 2, 50)), u"*Verloren: 2");
        // A missing id alone is not incomplete.
        EXPECT_EQ(std::u16string(t.LoadStringW(u"absent", u"Plain text")), u"Plain text");
        EXPECT_EQ(std::u16string(t.LoadStringW(u"absent", u"Value %d_a%", 4)), u"Value 4");
    }
}

TEST_F(StringTable, NarrowFormConvertsIdAndDefaultButNotArguments) {
    FlagGuard flag(0);
    COvStringTable t;
    ASSERT_EQ(Load(t, WriteTable("t.xml", "<String id=\"hello\">Hallo %s_a%, %d_b%</String>")), 1);
    EXPECT_EQ(std::u16string(t.LoadStringW("HELLO", "Hello %s_a%, %d_b%", u"Welt", 3)), u"Hallo Welt, 3");
    EXPECT_EQ(std::u16string(t.LoadStringW("nope", "Hello %s_a%", u"\u7f51")), u"Hello \u7f51");
    EXPECT_EQ(std::u16string(t.LoadStringW(static_cast<const char*>(nullptr), static_cast<const char*>(nullptr))), u"");
}

TEST_F(StringTable, AResultLastsFor31FurtherCallsOfItsThread) {
    FlagGuard flag(0);
    COvStringTable t;
    const char16_t* first = t.LoadStringW(u"x", u"call %d_a%", 0);
    const std::u16string saved = first;
    for (int i = 1; i <= 31; ++i) {
        t.LoadStringW(u"x", u"call %d_a%", i);
    }
    EXPECT_EQ(std::u16string(first), saved);
    const char16_t* reused = t.LoadStringW(u"x", u"call %d_a%", 32);
    EXPECT_EQ(reused, first) << "the 32nd further call takes the first call's slot";
    EXPECT_EQ(std::u16string(first), u"call 32");
}

TEST_F(StringTable, ThreadsHaveTheirOwnRings) {
    FlagGuard flag(0);
    COvStringTable t;
    const char16_t* mine = t.LoadStringW(u"x", u"main %d_a%", 1);
    std::vector<const char16_t*> theirs;
    std::thread worker([&] {
        for (int i = 0; i < 40; ++i) {
            theirs.push_back(t.LoadStringW(u"x", u"worker %d_a%", i));
        }
        EXPECT_EQ(std::u16string(theirs.back()), u"worker 39");
    });
    worker.join();
    EXPECT_EQ(std::u16string(mine), u"main 1");
    for (const char16_t* p : theirs) {
        EXPECT_NE(p, mine);
    }
    // A thread's ring goes with the thread; a new thread starts a fresh one.
    std::thread([&] { EXPECT_EQ(std::u16string(t.LoadStringW(u"x", u"again")), u"again"); }).join();
}

TEST_F(StringTable, LongTablesAreFreedWithoutDeepRecursion) {
    std::string strings;
    for (int i = 0; i < 200000; ++i) {
        strings += "<String id=\"" + std::to_string(i) + "\">t</String>";
    }
    COvStringTable t;
    ASSERT_EQ(Load(t, WriteTable("long.xml", strings)), 1);
    EXPECT_EQ(std::u16string(t.LoadStringW(u"199999", u"d")), u"t");
}

}  // namespace
