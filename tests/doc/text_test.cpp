// Texts of the log list and the statistics tree.
#include <cstdlib>
#include <ctime>

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "LogText.h"
#include "StatText.h"
#include "HostEntry.h"
#include "platform/escape.h"

namespace {

// Every test here formats time stamps in UTC.
class TextTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    // 2024-03-05 07:08:09 UTC
    static constexpr std::int64_t kTime = 1709622489;

    static PING_EVENT Reply(DWORD rtt, WORD size, BYTE ttl) {
        PING_EVENT e{};
        e.type = PE_REPLY;
        e.time = kTime;
        e.reply.RoundTripTime = rtt;
        e.reply.DataSize = size;
        e.reply.Options.Ttl = ttl;
        return e;
    }
    static PING_EVENT Other(std::int32_t type) {
        PING_EVENT e{};
        e.type = type;
        e.time = kTime;
        e.reply.RoundTripTime = 99;  // never read for other types
        return e;
    }

    CLogTexts texts;
};

TEST_F(TextTest, TimeStampHasNoLeadingZerosInTheDate) {
    EXPECT_EQ(FormatTimeStamp(kTime), u"2024-3-5 07:08:09");
    EXPECT_EQ(FormatTimeStamp(1734567890), u"2024-12-19 00:24:50");
}

TEST_F(TextTest, ClassicLinesOfReplies) {
    EXPECT_EQ(FormatClassicLine(Reply(12, 64, 255), u"host", texts),
              u"[2024-3-5 07:08:09]Reply form host: bytes = 64 time = 12ms TTL = 255");
    EXPECT_EQ(FormatClassicLine(Reply(0, 32, 64), u"host", texts),
              u"[2024-3-5 07:08:09]Reply form host: bytes = 32 time < 1ms TTL = 64");
    EXPECT_EQ(FormatShortClassicLine(Reply(12, 64, 255), 3, texts), u"[3] bytes = 64 time = 12ms TTL = 255");
    EXPECT_EQ(FormatShortClassicLine(Reply(0, 32, 64), 7, texts), u"[7] bytes = 32 time < 1ms TTL = 64");
}

TEST_F(TextTest, LinesOfLostRequestsAndFailures) {
    EXPECT_EQ(FormatClassicLine(Other(PE_LOST), u"10.0.0.1", texts),
              u"[2024-3-5 07:08:09]Reply form 10.0.0.1: Request timed out.");
    EXPECT_EQ(FormatShortClassicLine(Other(PE_LOST), 4, texts), u"[4] TimeOut.");
    EXPECT_EQ(FormatClassicLine(Other(PE_RESOLVE_FAILED), u"nowhere", texts),
              u"[2024-3-5 07:08:09]Reply form nowhere: "
              u"Could not resolve Host name to an IP Address.");
    EXPECT_EQ(FormatShortClassicLine(Other(PE_RESOLVING), 0, texts), u"[0] Look up IP");
    // The unassigned type and types out of range have no text.
    EXPECT_EQ(FormatShortClassicLine(Other(6), 1, texts), u"[1] ");
    EXPECT_EQ(texts.Long(-1), u"");
    EXPECT_EQ(texts.Short(1000), u"");
}

TEST_F(TextTest, TableCells) {
    const PING_EVENT r = Reply(0, 64, 128);
    EXPECT_EQ(FormatTableCell(r, kColTimeStamp, texts), u"2024-3-5 07:08:09");
    EXPECT_EQ(FormatTableCell(r, kColStatus, texts), u"Success");
    EXPECT_EQ(FormatTableCell(r, kColBytes, texts), u"64");
    EXPECT_EQ(FormatTableCell(r, kColRTime, texts), u"0");
    EXPECT_EQ(FormatTableCell(r, kColTTL, texts), u"128");
    EXPECT_EQ(FormatTableCell(r, kColCount, texts), u"");
    EXPECT_EQ(FormatTableCellShort(r, kColTimeStamp, 5123, texts), u"5123");

    const PING_EVENT lost = Other(PE_LOST);
    EXPECT_EQ(FormatTableCell(lost, kColStatus, texts), u"Request timed out.");
    EXPECT_EQ(FormatTableCellShort(lost, kColStatus, 0, texts), u"TimeOut.");
    for (int col : {kColBytes, kColRTime, kColTTL}) {
        EXPECT_EQ(FormatTableCell(lost, col, texts), u"") << col;
        EXPECT_EQ(FormatTableCellShort(lost, col, 0, texts), u"") << col;
    }
}

PING_STATS Stats(DWORD sent, DWORD lost, DWORD mn, DWORD mx, DWORD total) {
    return PING_STATS{sent, lost, mn, mx, total};
}

TEST_F(TextTest, StatisticsOfAHostThatSentNothing) {
    const StatLines l = FormatStatLines(Stats(0, 0, 0, 0, 0), 0, u" ");
    EXPECT_EQ(l[0], u"0.0.0.0");
    EXPECT_EQ(l[1], u"Location: ");
    EXPECT_EQ(l[2], u"Packets Sent:0");
    EXPECT_EQ(l[3], u"Packets Received:0");
    EXPECT_EQ(l[4], u"Packets Lost:0");
    EXPECT_EQ(l[5], u"Response time Minimum: N/A");
    EXPECT_EQ(l[6], u"Response time Maximum: N/A");
    EXPECT_EQ(l[7], u"Response time  Average: N/A");
}

TEST_F(TextTest, LossPercentageIsTruncated) {
    const StatLines quarter = FormatStatLines(Stats(4, 1, 10, 30, 60), htonl(0x7F000001), u"X");
    EXPECT_EQ(quarter[0], u"127.0.0.1");
    EXPECT_EQ(quarter[1], u"Location:X");
    EXPECT_EQ(quarter[3], u"Packets Received:3");
    EXPECT_EQ(quarter[4], u"Packets Lost:1(25% loss)");
    EXPECT_EQ(quarter[5], u"Response time Minimum:10ms");
    EXPECT_EQ(quarter[6], u"Response time Maximum:30ms");
    EXPECT_EQ(quarter[7], u"Response time  Average:20ms");

    EXPECT_EQ(FormatStatLines(Stats(3, 1, 1, 1, 2), 0, u"")[4], u"Packets Lost:1(33% loss)");
    EXPECT_EQ(FormatStatLines(Stats(3, 2, 1, 1, 1), 0, u"")[4], u"Packets Lost:2(66% loss)");
    // A loss count whose hundredfold does not fit 32 bits still gives its percentage.
    EXPECT_EQ(DeriveStatistics(Stats(4000000000u, 3000000000u, 1, 1, 0)).lossPercent, 75u);
}

TEST_F(TextTest, AllLostShowsNotAvailable) {
    const StatLines l = FormatStatLines(Stats(5, 5, 0, 0, 0), 0, u"");
    EXPECT_EQ(l[3], u"Packets Received:0");
    EXPECT_EQ(l[4], u"Packets Lost:5(100% loss)");
    EXPECT_EQ(l[5], u"Response time Minimum: N/A");
    EXPECT_EQ(l[6], u"Response time Maximum: N/A");
    EXPECT_EQ(l[7], u"Response time  Average: N/A");
}

TEST_F(TextTest, AverageIsClampedToMinimumAndMaximum) {
    // total 3 over 2 replies is 1, below the minimum 5.
    EXPECT_EQ(DeriveStatistics(Stats(2, 0, 5, 9, 3)).average, 5u);
    // total 100 over 2 replies is 50, above the maximum 20.
    EXPECT_EQ(DeriveStatistics(Stats(3, 1, 2, 20, 100)).average, 20u);
    // 25 over 3 is 8, truncated, within range.
    EXPECT_EQ(DeriveStatistics(Stats(3, 0, 1, 20, 25)).average, 8u);
    EXPECT_EQ(FormatStatLines(Stats(2, 0, 5, 9, 3), 0, u"")[7], u"Response time  Average:5ms");
}

TEST_F(TextTest, CopyHostTextEndsWithLineBreakAndOneSpace) {
    const StatLines l = FormatStatLines(Stats(1, 0, 3, 3, 3), htonl(0x0A000002), u"Nowhere");
    const std::u16string text = FormatCopyHostText(u"gw", l);
    EXPECT_EQ(text.substr(0, 14), u"gw\r\n10.0.0.2\r\n");
    ASSERT_GE(text.size(), 3u);
    EXPECT_EQ(text.substr(text.size() - 3), u"\r\n ");
    std::size_t breaks = 0;
    for (std::size_t p = text.find(u"\r\n"); p != std::u16string::npos; p = text.find(u"\r\n", p + 2)) {
        ++breaks;
    }
    EXPECT_EQ(breaks, 9u);
    EXPECT_EQ(ClipboardText(u""), u"");
}

TEST(HostEntryTest, TrimAndInvalidCharacters) {
    EXPECT_EQ(TrimHostEntryText(u" ;.a.b, c?~ "), u"a.b, c");
    EXPECT_EQ(TrimHostEntryText(u" ;:'\"\\`~ "), u"");
    EXPECT_FALSE(HasInvalidHostChar(u"a.example, 10.0.0.1;b"));
    EXPECT_TRUE(HasInvalidHostChar(u"10.0.0.1:80"));
    for (char16_t c : std::u16string_view(u"`~!@#$%^&*()=+|{}[]:\"'<>?")) {
        EXPECT_TRUE(HasInvalidHostChar(std::u16string(u"a") + c + u"b")) << static_cast<int>(c);
    }
    // Control characters: C0, DEL, C1, line separators, bidirectional controls.
    for (char16_t c : {0x00, 0x01, 0x09, 0x0A, 0x0D, 0x1B, 0x1F, 0x7F, 0x80, 0x85, 0x9F, 0x2028, 0x2029, 0x202A, 0x202E,
                       0x2066, 0x2069}) {
        EXPECT_TRUE(HasInvalidHostChar(std::u16string(u"a") + c + u"b")) << static_cast<int>(c);
    }
    EXPECT_FALSE(HasInvalidHostChar(u"b\u00fccher.example \u4e2d\u6587.example"));
}

TEST(HostEntryTest, NamesFromElsewhereAreShownWithTheirControlsEscaped) {
    EXPECT_EQ(ov::EscapeControls(u"127.0.0.1\nforged line"), u"127.0.0.1\\nforged line");
    EXPECT_EQ(ov::EscapeControls(u"a\rb\tc\x1b[31md\x01\x7f"), u"a\\rb\\tc\\x1b[31md\\x01\\x7f");
    EXPECT_EQ(ov::EscapeControls(u"x\u0085y\u202ez"), u"x\\x85y\\u202ez");
    EXPECT_EQ(ov::EscapeControls(u"Gr\u00fc\u00dfe \u4e2d\u6587"), u"Gr\u00fc\u00dfe \u4e2d\u6587");
    EXPECT_EQ(ov::EscapeControls(std::string("path/\nname\xc3\xbc")), "path/\\nname\xc3\xbc");
}

}  // namespace
