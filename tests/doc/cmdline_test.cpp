// Host text splitting and the command-line switches.
#include <gtest/gtest.h>

#include "OvPingDoc.h"
#include "cmdline.h"

namespace {

using Tokens = std::vector<std::u16string>;

TEST(SplitHostTextTest, SeparatorsAndTrimming) {
    EXPECT_EQ(SplitHostText(u"a b;c,d"), (Tokens{u"a", u"b", u"c", u"d"}));
    EXPECT_EQ(SplitHostText(u"a  ;; b"), (Tokens{u"a", u"b"}));
    EXPECT_EQ(SplitHostText(u"a .b"), (Tokens{u"a", u"b"}));
    EXPECT_EQ(SplitHostText(u"a a"), (Tokens{u"a", u"a"}));
    // Inner characters stay; the eleven trim characters go from both ends.
    EXPECT_EQ(SplitHostText(u"a.b \"c\" 'd'? `~e\\:."), (Tokens{u"a.b", u"c", u"d", u"e"}));
    EXPECT_EQ(SplitHostText(u",leading;trailing,"), (Tokens{u"leading", u"trailing"}));
}

TEST(SplitHostTextTest, NothingLeft) {
    EXPECT_TRUE(SplitHostText(u"").empty());
    EXPECT_TRUE(SplitHostText(u",").empty());
    EXPECT_TRUE(SplitHostText(u" ; , ").empty());
    EXPECT_TRUE(SplitHostText(u"\"\" ... ?").empty());
}

class CommandLineTest : public ::testing::Test {
protected:
    std::vector<std::u16string> Args(std::initializer_list<const char16_t*> list) { return {list.begin(), list.end()}; }
    COvPingDoc doc;
    CCommandLine cl{doc};
};

TEST_F(CommandLineTest, NumberMustBeGluedToTheLetter) {
    cl.HandleArguments(Args({u"-w2000"}));
    EXPECT_EQ(doc.Settings().TimeOut, 2000u);
    cl.HandleArguments(Args({u"-w", u"2000"}));
    EXPECT_EQ(doc.Settings().TimeOut, 0u);
    EXPECT_EQ(cl.m_strHosts, u"2000 ");
}

TEST_F(CommandLineTest, EverySwitch) {
    cl.HandleArguments(Args({u"-a", u"/d250", u"-f7", u"-i300", u"-l128", u"-p70000", u"-t40", u"-v16", u"-w900"}));
    const PING_SETTINGS& s = doc.Settings();
    EXPECT_EQ(cl.m_bAutoStart, 1);
    EXPECT_EQ(s.TimeDelay, 250u);
    EXPECT_EQ(s.IPOption.Flags, 1);  // the number after f is ignored
    EXPECT_EQ(s.IPOption.Ttl, 300 & 0xFF);
    EXPECT_EQ(s.Size, 128u);
    EXPECT_EQ(s.Probe, 4464);  // 70000 keeps its low 16 bits
    EXPECT_EQ(doc.PollTime(), 40u);
    EXPECT_EQ(s.IPOption.Tos, 16);
    EXPECT_EQ(s.TimeOut, 900u);
    EXPECT_TRUE(cl.m_strHosts.empty());
}

TEST_F(CommandLineTest, CapitalsAndUnknownLettersAreIgnored) {
    const PING_SETTINGS before = doc.Settings();
    cl.HandleArguments(Args({u"-W100", u"-D5", u"-A", u"-x9", u"-", u"/"}));
    EXPECT_EQ(doc.Settings().TimeOut, before.TimeOut);
    EXPECT_EQ(doc.Settings().TimeDelay, before.TimeDelay);
    EXPECT_EQ(cl.m_bAutoStart, 0);
    EXPECT_TRUE(cl.m_strHosts.empty());
}

TEST_F(CommandLineTest, HostsEachFollowedByABlankAndTheLastAction) {
    int calls = 0;
    std::u16string seen;
    cl.onLast = [&](CCommandLine& c) {
        ++calls;
        seen = c.m_strHosts;
    };
    cl.HandleArguments(Args({u"-a", u"host1", u"-l128", u"10.0.0.1"}));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seen, u"host1 10.0.0.1 ");
    EXPECT_EQ(doc.Settings().Size, 128u);
    EXPECT_EQ(cl.m_bAutoStart, 1);
}

TEST(ScanSwitchNumberTest, ReadsLikePercentD) {
    EXPECT_EQ(ScanSwitchNumber(u""), 0);
    EXPECT_EQ(ScanSwitchNumber(u"abc"), 0);
    EXPECT_EQ(ScanSwitchNumber(u"12x3"), 12);
    EXPECT_EQ(ScanSwitchNumber(u" -5"), -5);
    EXPECT_EQ(ScanSwitchNumber(u"+7"), 7);
    EXPECT_EQ(ScanSwitchNumber(u"99999999999999999999"), 2147483647);
    EXPECT_EQ(ScanSwitchNumber(u"-99999999999999999999"), -2147483647 - 1);
}

}  // namespace
