// The console mode's own parts without the network: its options, its figures
// beyond the statistics block, and its three output formats read back by a
// strict JSON reader and an RFC 4180 CSV reader, over a run through the fake
// ICMP provider with a fixed series of replies.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <variant>
#include <vector>

#include "console.h"
#include "console_options.h"
#include "console_output.h"
#include "console_stats.h"
#include "doc/strict_readers.h"
#include "support/fake_icmp.h"

namespace {

using ov::test::CsvRow;
using ov::test::FakeIcmpProvider;
using ov::test::FakeReply;
using ov::test::Json;
using ov::test::JsonReader;
using ov::test::ProviderScope;
using ov::test::ReadCsv;

// ---- helpers ----

ConsoleOptions Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "tapper");
    return ParseConsoleOptions(static_cast<int>(args.size()), args.data());
}

std::string ReadAll(std::FILE* f) {
    std::rewind(f);
    std::string text;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        text.append(buf, n);
    }
    return text;
}

class ConsoleFormatTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char dir[] = "/tmp/ov_console_format_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        setenv("OV_REGISTRY_DIR", dir, 1);
    }

    // The fixed series: five replies and one unreachable (lost) request.
    static std::vector<FakeReply> Series() {
        auto reply = [](DWORD ms, DWORD us) {
            FakeReply r;
            r.roundTripTime = ms;
            r.roundTripUs = us;
            return r;
        };
        FakeReply unreachable;
        unreachable.status = IP_DEST_HOST_UNREACHABLE;
        return {reply(1, 1250), reply(3, 3500), reply(2, 2000), reply(6, 6250), unreachable, reply(4, 4000)};
    }

    // Runs the console over the fake provider with these arguments; returns
    // the exit status and fills out.
    int Run(std::vector<const char*> args, std::string& out) {
        FakeIcmpProvider fake;
        fake.Script(Series());
        ProviderScope scope({&fake});
        const ConsoleOptions options = Parse(std::move(args));
        EXPECT_EQ(options.error, "");
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> o(std::tmpfile(), &std::fclose);
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> e(std::tmpfile(), &std::fclose);
        const int status = RunConsole(options, o.get(), e.get());
        out = ReadAll(o.get());
        return status;
    }
};

// ---- options ----

TEST(ConsoleOptionsTest, LongNamesBecomeTheirSwitchesWithinRange) {
    const ConsoleOptions o = Parse({"--console", "--delay=200", "--timeout", "900", "--size=0", "--ttl=255", "--tos=0",
                                    "--attempts=5", "-i7", "host"});
    EXPECT_EQ(o.error, "");
    const std::vector<std::u16string> expected = {u"-d200", u"-w900", u"-l0", u"-i255",
                                                  u"-v0",   u"-p5",   u"-i7", u"host"};
    EXPECT_EQ(o.args, expected);
    const ConsoleOptions f = Parse({"--format=json", "--summary-every=5", "--quiet", "--count=3"});
    EXPECT_EQ(f.error, "");
    EXPECT_EQ(f.format, ConsoleFormat::Json);
    EXPECT_EQ(f.summaryEvery, 5u);
    EXPECT_TRUE(f.quiet);
    EXPECT_EQ(f.count, 3u);
    EXPECT_TRUE(Parse({"--version"}).version);
    EXPECT_EQ(Parse({"--format", "csv"}).format, ConsoleFormat::Csv);
}

TEST(ConsoleOptionsTest, BadOptionsAreNamedWithTheirRange) {
    const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
        {{"--ttl=0"}, "option --ttl: 0 is out of range (1 to 255)"},
        {{"--ttl=256"}, "option --ttl: 256 is out of range (1 to 255)"},
        {{"--size=65501"}, "option --size: 65501 is out of range (0 to 65500 bytes)"},
        {{"--delay=-5"}, "option --delay: '-5' is not a whole number (1 to 3600000 ms)"},
        {{"--timeout=99999999999"}, "option --timeout: 99999999999 is out of range (1 to 60000 ms)"},
        {{"--attempts"}, "option --attempts needs a value (1 to 65535)"},
        {{"--count=x"}, "option --count: 'x' is not a whole number (1 to 4294967295)"},
        {{"--summary-every=0"}, "option --summary-every: 0 is out of range (1 to 86400 s)"},
        {{"--format=xml"}, "option --format: 'xml' is not one of classic, csv, json"},
        {{"--format"}, "option --format needs a value (classic, csv, json)"},
        {{"--quiet=yes"}, "option --quiet takes no value"},
        {{"--frobnicate", "--ttl=0"}, "unknown option --frobnicate"},
    };
    for (const auto& [args, message] : cases) {
        EXPECT_EQ(Parse(args).error, message) << args.front();
    }
    // The single letters keep their narrowing: passed on untouched.
    const ConsoleOptions narrow = Parse({"-i300", "host"});
    EXPECT_EQ(narrow.error, "");
    EXPECT_EQ(narrow.args.front(), u"-i300");
}

// ---- figures ----

TEST(ConsoleStatsTest, FiguresOfASmallSeries) {
    const std::vector<std::uint32_t> rtts = {1250, 3500, 2000, 6250, 4000};
    EXPECT_NEAR(RttStdDev(rtts), 1736.3755, 1e-3);         // sqrt(15075000 / 5)
    EXPECT_NEAR(RttJitterRfc3550(rtts), 587.91733, 1e-4);  // J += (|D| - J) / 16 four times
    EXPECT_EQ(RttPercentile(rtts, 50), 3500);
    EXPECT_EQ(RttPercentile(rtts, 95), 6250);
    EXPECT_EQ(RttPercentile(rtts, 99), 6250);
    // Nearest rank: 95 % of 20 samples is the 19th, 99 % the 20th.
    std::vector<std::uint32_t> twenty;
    for (std::uint32_t i = 20; i >= 1; --i) {
        twenty.push_back(i);
    }
    EXPECT_EQ(RttPercentile(twenty, 95), 19);
    EXPECT_EQ(RttPercentile(twenty, 99), 20);
    EXPECT_EQ(RttPercentile(twenty, 50), 10);
    EXPECT_EQ(RttStdDev({7}), 0.0);
    EXPECT_EQ(RttJitterRfc3550({7}), 0.0);
    EXPECT_EQ(RttPercentile({}, 50), 0.0);
    // Large equal values: no cancellation.
    EXPECT_EQ(RttStdDev({4000000000u, 4000000000u, 4000000000u}), 0.0);
}

TEST(ConsoleStatsTest, SpansCountLossAndMicroseconds) {
    RttFigures f;
    EXPECT_EQ(f.LossPercent(), 0.0);
    f.AddReply(1500);
    f.AddLost();
    f.AddReply(500);
    f.AddLost();
    EXPECT_EQ(f.sent, 4u);
    EXPECT_EQ(f.received, 2u);
    EXPECT_EQ(f.minimum, 500u);
    EXPECT_EQ(f.maximum, 1500u);
    EXPECT_EQ(f.Mean(), 1000.0);
    EXPECT_EQ(f.LossPercent(), 50.0);
    EXPECT_EQ(MsText(1234), "1.234");
}

TEST(ConsoleStatsTest, TimesCarryTheirOffsetFromUtc) {
    const char* old = std::getenv("TZ");
    const std::string saved = old != nullptr ? old : "";
    for (const auto& [zone, text] :
         std::vector<std::pair<const char*, const char*>>{{"UTC0", "1970-01-01T00:00:00+00:00"},
                                                          {"CET-1", "1970-01-01T01:00:00+01:00"},
                                                          {"<-0330>3:30", "1969-12-31T20:30:00-03:30"}}) {
        setenv("TZ", zone, 1);
        tzset();
        EXPECT_EQ(IsoTime(0), text) << zone;
    }
    if (old != nullptr) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

// ---- formats over the fake provider ----

TEST_F(ConsoleFormatTest, JsonLinesCarryMicrosecondsAndTheSummary) {
    std::string out;
    EXPECT_EQ(Run({"--console", "--count=6", "--delay=1", "--format=json", "--size=32", "127.0.0.1"}, out),
              kExitAllReplied);
    std::vector<Json> objects;
    for (const std::string& line : [&] {
             std::vector<std::string> lines;
             std::size_t start = 0, end;
             while ((end = out.find('\n', start)) != std::string::npos) {
                 lines.push_back(out.substr(start, end - start));
                 start = end + 1;
             }
             EXPECT_EQ(start, out.size()) << "the last line ends";
             return lines;
         }()) {
        std::optional<Json> value = JsonReader(line).Read();
        ASSERT_TRUE(value) << line;
        objects.push_back(std::move(*value));
    }
    std::vector<double> rtts;
    std::vector<std::string> statuses;
    const std::regex iso(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)");
    for (const Json& o : objects) {
        EXPECT_TRUE(std::regex_match(o["time"].Str(), iso)) << o["time"].Str();
        if (o["type"].Str() != "event") {
            continue;
        }
        EXPECT_EQ(o["host"].Str(), "127.0.0.1");
        statuses.push_back(o["status"].Str());
        // Null only while the name is not resolved yet, which a request never sees.
        if (o["status"].Str() == "resolving" && o["address"].IsNull()) {
            continue;
        }
        EXPECT_EQ(o["address"].Str(), "127.0.0.1");
        if (o["status"].Str() == "reply") {
            rtts.push_back(o["rtt_ms"].Num());
            EXPECT_EQ(o["ttl"].Num(), 64);
            EXPECT_EQ(o["bytes"].Num(), 32);
        } else {
            EXPECT_TRUE(o["rtt_ms"].IsNull());
        }
    }
    EXPECT_EQ(statuses, (std::vector<std::string>{"resolving", "reply", "reply", "reply", "reply", "lost", "reply"}));
    EXPECT_EQ(rtts, (std::vector<double>{1.25, 3.5, 2.0, 6.25, 4.0}));
    ASSERT_EQ(objects.back()["type"].Str(), "summary");
    const Json& s = objects.back();
    EXPECT_EQ(s["sent"].Num(), 6);
    EXPECT_EQ(s["received"].Num(), 5);
    EXPECT_EQ(s["loss_pct"].Num(), 16.7);
    EXPECT_EQ(s["min_ms"].Num(), 1.25);
    EXPECT_EQ(s["avg_ms"].Num(), 3.4);
    EXPECT_EQ(s["max_ms"].Num(), 6.25);
    EXPECT_EQ(s["stddev_ms"].Num(), 1.736);
    EXPECT_EQ(s["jitter_rfc3550_ms"].Num(), 0.588);
    EXPECT_EQ(s["p50_ms"].Num(), 3.5);
    EXPECT_EQ(s["p95_ms"].Num(), 6.25);
    EXPECT_EQ(s["p99_ms"].Num(), 6.25);
}

TEST_F(ConsoleFormatTest, CsvHasOneHeaderAndQuotesAsRfc4180) {
    std::string out;
    EXPECT_EQ(Run({"--console", "--count=6", "-d1", "--format=csv", "--quiet", "127.0.0.1"}, out), kExitAllReplied);
    const std::optional<std::vector<CsvRow>> rows = ReadCsv(out);
    ASSERT_TRUE(rows) << out;
    ASSERT_EQ(rows->size(), 2u) << out;  // quiet: the header and the summary only
    const CsvRow& header = rows->front();
    const CsvRow& summary = rows->back();
    ASSERT_EQ(header.size(), summary.size());
    std::map<std::string, std::string> field;
    for (std::size_t i = 0; i < header.size(); ++i) {
        field[header[i]] = summary[i];
    }
    EXPECT_EQ(field["record"], "summary");
    EXPECT_EQ(field["sent"], "6");
    EXPECT_EQ(field["received"], "5");
    EXPECT_EQ(field["avg_ms"], "3.400");
    EXPECT_EQ(field["stddev_ms"], "1.736");
    EXPECT_EQ(field["jitter_rfc3550_ms"], "0.588");
    EXPECT_EQ(field["p50_ms"], "3.500");
    EXPECT_EQ(field["rtt_ms"], "");
    // A host name with a comma and a quote survives the round trip.
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::tmpfile(), &std::fclose);
    std::unique_ptr<IConsoleWriter> writer = MakeConsoleWriter(ConsoleFormat::Csv, f.get());
    writer->Begin();
    PING_EVENT event{};
    event.type = PE_LOST;
    writer->Event(event, u"a,b\"c", 0x0100007f);
    writer->Flush();
    const std::optional<std::vector<CsvRow>> back = ReadCsv(ReadAll(f.get()));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 2u);
    EXPECT_EQ((*back)[1][2], "a,b\"c");
    EXPECT_EQ((*back)[1][4], "lost");
    EXPECT_EQ((*back)[1].size(), header.size());
}

TEST_F(ConsoleFormatTest, ClassicKeepsTheBlockAndAddsTheSpread) {
    std::string out;
    EXPECT_EQ(Run({"--console", "--count=6", "-d1", "127.0.0.1"}, out), kExitAllReplied);
    EXPECT_NE(out.find("Packets Sent:6\nPackets Received:5\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Response time  Average:3ms\n"
                       "Response time Std deviation:1.736ms\n"
                       "Jitter (RFC 3550):0.588ms\n"
                       "Response time 50th/95th/99th percentile:3.500/6.250/6.250ms\n"),
              std::string::npos)
        << out;
}

TEST_F(ConsoleFormatTest, SummaryEveryGivesIntervalsThatAddUpToTheTotals) {
    // 40 requests at least 100 ms apart: about four seconds, so three or four
    // one-second summaries.
    FakeIcmpProvider fake;
    FakeReply reply;
    reply.roundTripTime = 2;
    reply.roundTripUs = 2500;
    fake.SetDefault(reply);
    ProviderScope scope({&fake});
    const ConsoleOptions options =
        Parse({"--console", "--count=40", "-d100", "--format=json", "--quiet", "--summary-every=1", "127.0.0.1"});
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> o(std::tmpfile(), &std::fclose);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> e(std::tmpfile(), &std::fclose);
    ASSERT_EQ(RunConsole(options, o.get(), e.get()), kExitAllReplied);
    const std::string out = ReadAll(o.get());
    std::vector<Json> intervals;
    std::optional<Json> summary;
    std::size_t start = 0, end;
    while ((end = out.find('\n', start)) != std::string::npos) {
        std::optional<Json> value = JsonReader(out.substr(start, end - start)).Read();
        ASSERT_TRUE(value) << out;
        start = end + 1;
        if ((*value)["type"].Str() == "interval") {
            intervals.push_back(std::move(*value));
        } else {
            EXPECT_EQ((*value)["type"].Str(), "summary");
            summary = std::move(*value);
        }
    }
    ASSERT_TRUE(summary);
    EXPECT_GE(intervals.size(), 2u) << out;
    EXPECT_LE(intervals.size(), 6u) << out;
    double sum = 0;
    for (const Json& i : intervals) {
        sum += i["interval"]["sent"].Num();
        // The totals so far are the intervals so far.
        EXPECT_EQ(i["total"]["sent"].Num(), sum);
        EXPECT_EQ(i["total"]["received"].Num(), sum);
        if (i["interval"]["received"].Num() != 0) {
            EXPECT_EQ(i["interval"]["avg_ms"].Num(), 2.5);
        }
        // About ten requests a second; a busy machine sends fewer, never more.
        EXPECT_LE(i["interval"]["sent"].Num(), 12) << out;
    }
    EXPECT_EQ((*summary)["sent"].Num(), 40);
    EXPECT_LE(sum, 40);
}

}  // namespace

// ---- output that cannot be written, hosts that are not names ----

namespace {

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// Runs a counted run over the fake provider into out; the status, with what
// the run said on its error stream in err.
int RunInto(std::vector<const char*> args, std::FILE* out, std::string& err) {
    FakeIcmpProvider fake;
    FakeReply reply;
    reply.roundTripTime = 1;
    fake.SetDefault(reply);
    ProviderScope scope({&fake});
    const ConsoleOptions options = Parse(std::move(args));
    EXPECT_EQ(options.error, "");
    FilePtr e(std::tmpfile(), &std::fclose);
    const int status = RunConsole(options, out, e.get());
    err = ReadAll(e.get());
    return status;
}

}  // namespace

TEST_F(ConsoleFormatTest, AFullDiskEndsTheRunWithItsReasonInEveryFormat) {
    for (const char* format : {"--format=classic", "--format=csv", "--format=json"}) {
        FilePtr full(std::fopen("/dev/full", "w"), &std::fclose);
        ASSERT_TRUE(full);
        std::string err;
        EXPECT_EQ(RunInto({"--console", "--count=20", "-d0", format, "127.0.0.1"}, full.get(), err), kExitOutputFailed)
            << format;
        EXPECT_EQ(err, "tapper: Couldn't write the output: No space left on device\n") << format;
    }
}

TEST_F(ConsoleFormatTest, AReaderThatWentAwayEndsTheRunQuietly) {
    // As under a service manager that ignores SIGPIPE for its children.
    struct IgnorePipe {
        IgnorePipe() { old = std::signal(SIGPIPE, SIG_IGN); }
        ~IgnorePipe() { std::signal(SIGPIPE, old); }
        void (*old)(int);
    } ignore;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    FilePtr gone(::fdopen(fds[1], "w"), &std::fclose);
    ASSERT_TRUE(gone);
    std::string err;
    EXPECT_EQ(RunInto({"--console", "--count=20", "-d0", "127.0.0.1"}, gone.get(), err), kExitOutputFailed);
    EXPECT_EQ(err, "");
}

TEST_F(ConsoleFormatTest, HostsWithControlCharactersAreRefused) {
    for (const char* host : {"127.0.0.1\nforged", "127.0.0.1\rx", "127.0.0.1\x1b[2J", "127.0.0.1\x01",
                             "a\x7f"
                             "b",
                             "a\xc2\x85"
                             "b",
                             "a\xe2\x80\xae"
                             "b"}) {
        FilePtr out(std::tmpfile(), &std::fclose);
        std::string err;
        EXPECT_EQ(RunInto({"--console", "--count=1", host}, out.get(), err), kExitNotStarted);
        EXPECT_EQ(err, "Invalid host name or IP addresses.\n");
        EXPECT_EQ(ReadAll(out.get()), "");
    }
}

TEST_F(ConsoleFormatTest, AHostsFileAddsItsHostsAfterThoseOfTheCommandLine) {
    char path[] = "/tmp/ov_hosts_file_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const std::string list = "# two more\r\n127.0.0.3\r\n\r\n127.0.0.2 # last\r\n";
    ASSERT_EQ(write(fd, list.data(), list.size()), static_cast<ssize_t>(list.size()));
    close(fd);
    const std::string option = std::string("--hosts-file=") + path;
    FilePtr out(std::tmpfile(), &std::fclose);
    std::string err;
    EXPECT_EQ(
        RunInto({"--console", "--count=1", "--quiet", "--format=csv", "127.0.0.1", option.c_str()}, out.get(), err),
        kExitAllReplied)
        << err;
    const std::optional<std::vector<CsvRow>> rows = ReadCsv(ReadAll(out.get()));
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 4u);
    EXPECT_EQ((*rows)[1][2], "127.0.0.1");
    EXPECT_EQ((*rows)[2][2], "127.0.0.3");
    EXPECT_EQ((*rows)[3][2], "127.0.0.2");

    // A bad list ends the run before it starts, naming file and line.
    const int bad = open(path, O_WRONLY | O_TRUNC);
    ASSERT_EQ(write(bad, "127.0.0.1\n127.0.0.\xff\n", 20), 20);
    close(bad);
    FilePtr none(std::tmpfile(), &std::fclose);
    EXPECT_EQ(RunInto({"--console", "--count=1", option.c_str()}, none.get(), err), kExitNotStarted);
    EXPECT_EQ(err, "tapper: Line 2 of \"" + std::string(path) +
                       "\" is not UTF-8 text. Save the file as UTF-8 and "
                       "open it again.\n");
    EXPECT_EQ(ReadAll(none.get()), "");
    unlink(path);

    EXPECT_EQ(Parse({"--console", "--export=x.csv", "h"}).error,
              "option --export is for the window; the console writes its results to standard output "
              "(--format=csv or --format=json)");
    EXPECT_EQ(Parse({"--hosts-file"}).error, "option --hosts-file needs a file name");
}
