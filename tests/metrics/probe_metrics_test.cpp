// The probe's metrics without a network: the option texts, the series that
// events make, and their exposition read back strictly and by promtool.
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include <prometheus/collectable.h>
#include <prometheus/metric_family.h>
#include <prometheus/text_serializer.h>

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "console_options.h"
#include "metrics/exposition_reader.h"
#include "metrics_options.h"
#include "metrics_server.h"
#include "probe_metrics.h"

namespace {

using ov::test::Exposition;
using ov::test::ReadExposition;

IPAddr Address(const char* text) {
    in_addr a{};
    inet_pton(AF_INET, text, &a);
    return a.s_addr;
}

PING_EVENT Reply(std::uint32_t us, std::int64_t time = 1000) {
    PING_EVENT e{};
    e.type = PE_REPLY;
    e.roundTripUs = us;
    e.time = time;
    e.reply.RoundTripTime = us / 1000;
    return e;
}

PING_EVENT Lost(DWORD status = IP_REQ_TIMED_OUT) {
    PING_EVENT e{};
    e.type = PE_LOST;
    e.reply.Status = status;
    return e;
}

PING_EVENT Other(std::int32_t type) {
    PING_EVENT e{};
    e.type = type;
    return e;
}

// ---- the option texts ----

TEST(MetricsOptionsTest, EndpointsAreReadWithTheirDefaults) {
    struct Case {
        const char* text;
        const char* address;
        std::uint16_t port;
        bool ipv6;
    };
    const Case cases[] = {
        {"", "127.0.0.1", 9374, false},
        {"9100", "127.0.0.1", 9100, false},
        {":0", "127.0.0.1", 0, false},
        {"0.0.0.0", "0.0.0.0", 9374, false},
        {"192.0.2.7:80", "192.0.2.7", 80, false},
        {"[::1]:9101", "::1", 9101, true},
        {"[::]", "::", 9374, true},
    };
    for (const Case& c : cases) {
        MetricsEndpoint e;
        EXPECT_EQ(ParseMetricsEndpoint(c.text, e), "") << c.text;
        EXPECT_EQ(e.address, c.address) << c.text;
        EXPECT_EQ(e.port, c.port) << c.text;
        EXPECT_EQ(e.ipv6, c.ipv6) << c.text;
    }
    MetricsEndpoint e;
    ASSERT_EQ(ParseMetricsEndpoint("[::1]:9101", e), "");
    EXPECT_EQ(e.Text(), "[::1]:9101");
}

TEST(MetricsOptionsTest, BadEndpointsAreRefusedSayingWhy) {
    const char* bad[] = {"localhost:9374", "127.0.0.1:",     "127.0.0.1:65536", "127.0.0.1:-1",
                         "127.0.0.1:9a",   "1.2.3:9374",     "::1:9374",        "[::1",
                         "[::1]9374",      "[127.0.0.1]:80", "[::1]:",          "999999"};
    for (const char* text : bad) {
        MetricsEndpoint e;
        e.port = 1;
        const std::string why = ParseMetricsEndpoint(text, e);
        EXPECT_NE(why.find("option --metrics"), std::string::npos) << text << ": " << why;
        EXPECT_EQ(e.port, 1) << text << ": the endpoint is left alone";
    }
}

TEST(MetricsOptionsTest, TheDefaultBucketsDoubleFromATenthOfAMillisecondToAbout26Seconds) {
    const std::vector<double> b = DefaultBuckets();
    ASSERT_EQ(b.size(), 19u);
    EXPECT_DOUBLE_EQ(b.front(), 0.0001);
    EXPECT_DOUBLE_EQ(b.back(), 26.2144);
    for (std::size_t i = 1; i < b.size(); ++i) {
        EXPECT_DOUBLE_EQ(b[i], 2 * b[i - 1]);
    }
}

TEST(MetricsOptionsTest, BucketListsMustBePositiveRisingNumbers) {
    std::vector<double> b;
    ASSERT_EQ(ParseBuckets("0.001,0.01,1e-1,2", b), "");
    EXPECT_EQ(b, (std::vector<double>{0.001, 0.01, 0.1, 2}));
    const std::pair<const char*, const char*> bad[] = {
        {"", "needs a value"},      {"0.1,,1", "'' is not a number"}, {"0.1,0.1", "does not rise"},
        {"1,0.5", "does not rise"}, {"0,1", "not above 0"},           {"-1", "not above 0"},
        {"nan", "not a number"},    {"inf", "not a number"},          {"1e999", "not a number"},
        {"0.1 ,1", "not a number"}, {"0x10", "not a number"},         {"1,", "'' is not a number"},
    };
    for (const auto& [text, why] : bad) {
        b = {7};
        const std::string message = ParseBuckets(text, b);
        EXPECT_NE(message.find(why), std::string::npos) << text << ": " << message;
        EXPECT_EQ(b, std::vector<double>{7}) << text;
    }
    std::string many = "1";
    for (int i = 2; i <= 65; ++i) {
        many += "," + std::to_string(i);
    }
    EXPECT_NE(ParseBuckets(many, b).find("more than 64"), std::string::npos);
}

TEST(MetricsOptionsTest, TheProbeOptionsGoWithTheConsoleOnlyAndNotWithACount) {
    auto parse = [](std::vector<const char*> args) {
        args.insert(args.begin(), "tapper");
        return ParseConsoleOptions(static_cast<int>(args.size()), args.data());
    };
    ConsoleOptions o = parse({"--console", "--metrics", "127.0.0.1"});
    EXPECT_EQ(o.error, "");
    EXPECT_TRUE(o.metrics);
    EXPECT_EQ(o.metricsEndpoint.port, kDefaultMetricsPort);
    ASSERT_EQ(o.args.size(), 1u) << "the host after a bare --metrics stays a host";

    o = parse({"--console", "--metrics=:9100", "--buckets", "0.5,1", "h"});
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.metricsEndpoint.port, 9100);
    EXPECT_EQ(o.buckets, (std::vector<double>{0.5, 1}));

    EXPECT_NE(parse({"--metrics", "h"}).error.find("needs --console"), std::string::npos);
    EXPECT_NE(parse({"--console", "--metrics", "--count=3", "h"}).error.find("--count"), std::string::npos);
    EXPECT_NE(parse({"--console", "--metrics", "--summary-every=5", "h"}).error.find("--summary-every"),
              std::string::npos);
    EXPECT_NE(parse({"--console", "--metrics", "--on-change=true", "h"}).error.find("--on-change"), std::string::npos);
    EXPECT_EQ(parse({"--console", "--metrics", "--down-after=5", "h"}).error, "");
    EXPECT_NE(parse({"--console", "--buckets=1", "h"}).error.find("for the probe"), std::string::npos);
    EXPECT_NE(parse({"--console", "--metrics", "--buckets=2,1", "h"}).error.find("does not rise"), std::string::npos);
}

// ---- the series ----

TEST(ProbeErrorKindTest, EveryFailureHasItsKind) {
    struct Case {
        PING_EVENT event;
        const char* kind;
    };
    const Case cases[] = {
        {Lost(IP_REQ_TIMED_OUT), "timeout"},
        {Lost(IP_SUCCESS), "timeout"},
        {Lost(IP_DEST_HOST_UNREACHABLE), "unreachable"},
        {Lost(IP_DEST_NET_UNREACHABLE), "unreachable"},
        {Lost(IP_DEST_PORT_UNREACHABLE), "unreachable"},
        {Lost(IP_TTL_EXPIRED_TRANSIT), "ttl_expired"},
        {Lost(IP_PARAM_PROBLEM), "icmp_error"},
        {Other(PE_RESOLVE_FAILED), "unresolved"},
        {Other(PE_NO_ICMP_HANDLE), "no_socket"},
        {Other(PE_NO_SERVICES), "no_service"},
        {Other(PE_NO_THREAD), "no_thread"},
    };
    for (const Case& c : cases) {
        ProbeErrorKind kind{};
        ASSERT_TRUE(ProbeErrorKindOf(c.event, kind)) << c.kind;
        EXPECT_STREQ(ProbeErrorKindName(kind), c.kind);
    }
    ProbeErrorKind kind{};
    EXPECT_FALSE(ProbeErrorKindOf(Reply(10), kind));
    EXPECT_FALSE(ProbeErrorKindOf(Other(PE_RESOLVING), kind));
}

class ProbeMetricsTest : public ::testing::Test {
protected:
    Exposition Read() const {
        const Exposition e = ReadExposition(m_metrics.Exposition());
        EXPECT_TRUE(e.Ok()) << e.error;
        return e;
    }

    CProbeMetrics m_metrics{DefaultBuckets(), "9.8.7.6"};
};

TEST_F(ProbeMetricsTest, EventsBecomeCountersAHistogramAndGauges) {
    const std::string host = "gw.example";
    m_metrics.Record(host, Other(PE_RESOLVING), 0, u"");
    EXPECT_TRUE(Read().Find("tapper_requests_total").empty()) << "no series before the address";

    const IPAddr a = Address("192.0.2.1");
    m_metrics.Record(host, Reply(150, 1700000000), a, u"Germany");  // 0.15 ms
    m_metrics.Record(host, Reply(900, 1700000001), a, u"Germany");  // 0.9 ms
    m_metrics.Record(host, Lost(), a, u"Germany");
    m_metrics.Record(host, Lost(IP_DEST_HOST_UNREACHABLE), a, u"Germany");
    m_metrics.Record(host, Reply(3000000, 1700000005), a, u"Germany");  // 3 s
    m_metrics.SetHostCount(1);

    const Exposition e = Read();
    const ov::test::LabelSet labels{{"host", host}, {"address", "192.0.2.1"}, {"country", "Germany"}};
    EXPECT_EQ(e.types.at("tapper_requests_total"), "counter");
    EXPECT_EQ(e.types.at("tapper_response_time_seconds"), "histogram");
    EXPECT_EQ(e.Value("tapper_requests_total", labels), 5);
    EXPECT_EQ(e.Value("tapper_replies_total", labels), 3);
    EXPECT_EQ(e.Value("tapper_lost_total", labels), 2);
    auto kind = [&](const char* k) {
        ov::test::LabelSet l = labels;
        l["kind"] = k;
        return e.Value("tapper_errors_total", l);
    };
    EXPECT_EQ(kind("timeout"), 1);
    EXPECT_EQ(kind("unreachable"), 1);
    EXPECT_EQ(kind("ttl_expired"), std::nullopt) << "a kind appears once it happened";

    auto bucket = [&](const char* le) {
        ov::test::LabelSet l = labels;
        l["le"] = le;
        return e.Value("tapper_response_time_seconds_bucket", l);
    };
    EXPECT_EQ(bucket("0.0001"), 0);
    EXPECT_EQ(bucket("0.0002"), 1);
    EXPECT_EQ(bucket("0.0008"), 1);
    EXPECT_EQ(bucket("0.0016"), 2);
    EXPECT_EQ(bucket("1.6384"), 2);
    EXPECT_EQ(bucket("3.2768"), 3);
    EXPECT_EQ(bucket("+Inf"), 3);
    EXPECT_EQ(e.Find("tapper_response_time_seconds_bucket", labels).size(), 20u);
    EXPECT_NEAR(*e.Value("tapper_response_time_seconds_sum", labels), 3.00105, 1e-9);

    EXPECT_DOUBLE_EQ(*e.Value("tapper_last_response_time_seconds", labels), 3.0);
    EXPECT_EQ(e.Value("tapper_last_reply_timestamp_seconds", labels), 1700000005);
    EXPECT_EQ(e.Value("tapper_host_up", labels), 1);
    EXPECT_EQ(e.Value("tapper_hosts"), 1);
    EXPECT_EQ(e.Value("tapper_build_info", {{"version", "9.8.7.6"}}), 1);
}

TEST_F(ProbeMetricsTest, AHostIsUpOnlyOnceKnownAndDownAfterItsFailures) {
    const IPAddr a = Address("127.0.0.9");
    m_metrics.Record("h", Reply(100), a, u" ");
    EXPECT_TRUE(Read().Find("tapper_host_up").empty()) << "one reply does not make it up yet";
    m_metrics.Record("h", Reply(100), a, u" ");
    EXPECT_EQ(Read().Value("tapper_host_up", {{"host", "h"}}), 1);
    for (int i = 0; i < 3; ++i) {
        m_metrics.Record("h", Lost(), a, u" ");
    }
    const Exposition e = Read();
    EXPECT_EQ(e.Value("tapper_host_up", {{"host", "h"}}), 0);
    const auto series = e.Find("tapper_requests_total", {{"host", "h"}});
    ASSERT_EQ(series.size(), 1u);
    EXPECT_EQ(series[0].labels.count("country"), 0u) << "no database, no country";

    m_metrics.Record("nowhere", Other(PE_RESOLVE_FAILED), 0, u"");
    const Exposition f = Read();
    EXPECT_EQ(f.Value("tapper_host_up", {{"host", "nowhere"}}), 0) << "a name that fails is down at once";
    EXPECT_EQ(f.Value("tapper_errors_total", {{"host", "nowhere"}, {"kind", "unresolved"}}), 1);
    EXPECT_EQ(f.Value("tapper_requests_total", {{"host", "nowhere"}}), 0);
    EXPECT_EQ(f.LabelValues("tapper_requests_total", "address"), std::vector<std::string>{"127.0.0.9"});
}

TEST_F(ProbeMetricsTest, ARemovedHostLeavesAndTheOthersKeepCounting) {
    m_metrics.Record("a", Reply(100), Address("127.0.0.1"), u"");
    m_metrics.Record("b", Lost(IP_TTL_EXPIRED_TRANSIT), Address("127.0.0.2"), u"");
    m_metrics.Record("b", Reply(100), Address("127.0.0.2"), u"");
    m_metrics.Record("b", Reply(100), Address("127.0.0.2"), u"");
    m_metrics.RemoveHost("b");
    m_metrics.RemoveHost("never-seen");
    m_metrics.Record("a", Reply(100), Address("127.0.0.1"), u"");

    const Exposition e = Read();
    for (const auto& [name, type] : e.types) {
        EXPECT_TRUE(e.Find(name, {{"host", "b"}}).empty()) << name;
        EXPECT_TRUE(e.Find(name + "_bucket", {{"host", "b"}}).empty()) << name;
    }
    EXPECT_EQ(e.Value("tapper_replies_total", {{"host", "a"}}), 2);
    EXPECT_EQ(m_metrics.SeriesHostCount(), 1u);

    // Back again, it starts anew.
    m_metrics.Record("b", Reply(100), Address("127.0.0.2"), u"");
    EXPECT_EQ(Read().Value("tapper_replies_total", {{"host", "b"}}), 1);
}

TEST_F(ProbeMetricsTest, LabelValuesAreEscaped) {
    m_metrics.Record("we\"ird\\host\nname", Reply(100), Address("127.0.0.1"), u"C\u00f4te d'Ivoire");
    const Exposition e = Read();
    EXPECT_EQ(e.Value("tapper_replies_total", {{"host", "we\"ird\\host\nname"}, {"country", "C\xc3\xb4te d'Ivoire"}}),
              1);
}

TEST_F(ProbeMetricsTest, ATimeOnABoundCountsInThatBoundsBucket) {
    CProbeMetrics metrics({0.0005, 0.002}, "1");
    metrics.Record("h", Reply(500), Address("127.0.0.1"), u"");
    metrics.Record("h", Reply(501), Address("127.0.0.1"), u"");
    metrics.Record("h", Reply(2000), Address("127.0.0.1"), u"");
    metrics.Record("h", Reply(2001), Address("127.0.0.1"), u"");
    const Exposition e = ReadExposition(metrics.Exposition());
    ASSERT_TRUE(e.Ok()) << e.error;
    EXPECT_EQ(e.Value("tapper_response_time_seconds_bucket", {{"le", "0.0005"}}), 1);
    EXPECT_EQ(e.Value("tapper_response_time_seconds_bucket", {{"le", "0.002"}}), 3);
    EXPECT_EQ(e.Value("tapper_response_time_seconds_bucket", {{"le", "+Inf"}}), 4);
}

// The endpoint writes on its own threads while events come in and hosts
// come and go: every text read strictly holds whole hosts whose counters only grow.
TEST_F(ProbeMetricsTest, CollectionsWhileEventsComeInSeeCountersThatOnlyGrow) {
    const auto write = m_metrics.Writer();
    std::atomic<bool> done{false};
    std::string fault;
    std::thread reader([&] {
        double last = 0;
        std::string text;
        while (!done.load() && fault.empty()) {
            write(text);
            const Exposition e = ReadExposition(text);
            const double now = e.Value("tapper_requests_total", {{"host", "steady"}}).value_or(0);
            if (!e.Ok()) {
                fault = e.error;
            } else if (now < last) {
                fault = "the counter went back";
            }
            last = now;
        }
    });
    for (int i = 0; i < 3000; ++i) {
        m_metrics.Record("steady", Reply(100), Address("127.0.0.1"), u"");
        const std::string passing = "passing-" + std::to_string(i % 40);
        m_metrics.Record(passing, Lost(), Address("127.0.0.2"), u"");
        if (i % 3 == 0) {
            m_metrics.RemoveHost(passing);
        }
    }
    done = true;
    reader.join();
    EXPECT_EQ(fault, "");
    EXPECT_EQ(Read().Value("tapper_requests_total", {{"host", "steady"}}), 3000);
}

// Scrapes get text written by the probe itself; the client library's
// serializer, given the same series, must read back to the same families,
// series (bucket bounds written alike, so series keep their names) and values.
TEST_F(ProbeMetricsTest, TheWrittenTextHoldsWhatTheLibrarysSerializerWrites) {
    for (std::vector<double> bounds : {DefaultBuckets(), std::vector<double>{1e-5, 0.1 + 0.2, 2.5, 1e3, 1e22}}) {
        CProbeMetrics metrics(bounds, "1.2");
        for (int i = 0; i < 40; ++i) {
            const std::string host = i % 7 == 3 ? "odd \"name\"\\" + std::to_string(i) : "host-" + std::to_string(i);
            const IPAddr a = Address(("127.0.2." + std::to_string(i + 1)).c_str());
            const std::u16string country = i % 5 == 0 ? u"Germany" : u"N/A";
            for (int r = 0; r < i % 9; ++r) {
                metrics.Record(host, Reply(7u + 7919u * static_cast<unsigned>(r * i * i), 1700000000 + r), a, country);
            }
            for (int l = 0; l < i % 4; ++l) {
                metrics.Record(host, Lost(l % 2 != 0 ? IP_TTL_EXPIRED_TRANSIT : IP_REQ_TIMED_OUT), a, country);
            }
        }
        metrics.Record("unresolved.example", Other(PE_RESOLVE_FAILED), 0, u"");
        metrics.SetHostCount(41);

        std::ostringstream library;
        prometheus::TextSerializer().Serialize(library, metrics.Collectable()->Collect());
        const Exposition theirs = ReadExposition(library.str());
        const Exposition ours = ReadExposition(metrics.Exposition());
        ASSERT_TRUE(theirs.Ok()) << theirs.error;
        ASSERT_TRUE(ours.Ok()) << ours.error;
        EXPECT_EQ(ours.types, theirs.types);
        EXPECT_EQ(ours.help, theirs.help);
        std::map<std::pair<std::string, ov::test::LabelSet>, double> expected;
        for (const auto& sample : theirs.samples) {
            expected[{sample.name, sample.labels}] = sample.value;
        }
        ASSERT_EQ(ours.samples.size(), expected.size());
        for (const auto& sample : ours.samples) {
            const auto it = expected.find({sample.name, sample.labels});
            ASSERT_NE(it, expected.end()) << sample.name << " " << ::testing::PrintToString(sample.labels);
            // The library writes 16 digits; the probe the shortest text that reads back exactly.
            EXPECT_NEAR(sample.value, it->second, 1e-14 * std::max(1.0, std::abs(it->second))) << sample.name;
        }
    }
}

TEST(AcceptsGzipTest, GzipIsSentOnlyToClientsThatTakeIt) {
    for (const char* yes :
         {"gzip", "GZip", "deflate, gzip", "br;q=1.0, gzip;q=0.5", "*", "x-gzip", " gzip ;q=1", "gzip;q=0.001"}) {
        EXPECT_TRUE(AcceptsGzip(yes)) << yes;
    }
    for (const char* no : {"", "identity", "deflate, br", "gzip;q=0", "gzip; q=0.000", "gzipped", "*;q=0", ","}) {
        EXPECT_FALSE(AcceptsGzip(no)) << no;
    }
}

TEST_F(ProbeMetricsTest, OwnBucketsAreUsed) {
    CProbeMetrics metrics({0.001, 0.5}, "1");
    metrics.Record("h", Reply(2000), Address("127.0.0.1"), u"");
    const Exposition e = ReadExposition(metrics.Exposition());
    ASSERT_TRUE(e.Ok()) << e.error;
    EXPECT_EQ(e.LabelValues("tapper_response_time_seconds_bucket", "le"),
              (std::vector<std::string>{"+Inf", "0.001", "0.5"}));
    EXPECT_EQ(e.Value("tapper_response_time_seconds_bucket", {{"le", "0.5"}}), 1);
}

// The exposition of many hosts in every state, checked by the monitoring
// system's own tool where it is installed.
TEST_F(ProbeMetricsTest, PromtoolFindsNoFaultInTheExposition) {
    if (std::system("promtool --version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "promtool is not installed (Debian package prometheus)";
    }
    for (int i = 0; i < 50; ++i) {
        const std::string host = "host-" + std::to_string(i);
        const IPAddr a = Address(("127.0.1." + std::to_string(i + 1)).c_str());
        m_metrics.Record(host, Reply(100u + 1000u * static_cast<unsigned>(i)), a, u"");
        m_metrics.Record(host, Lost(i % 2 != 0 ? IP_DEST_HOST_UNREACHABLE : IP_REQ_TIMED_OUT), a, u"");
    }
    m_metrics.Record("gone", Other(PE_RESOLVE_FAILED), 0, u"");
    const auto path = std::filesystem::temp_directory_path() / ("ov-metrics-" + std::to_string(getpid()));
    {
        std::ofstream out(path);
        out << m_metrics.Exposition();
    }
    const std::string command = "promtool check metrics < " + path.string() + " > " + path.string() + ".out 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream said(path.string() + ".out");
    const std::string text((std::istreambuf_iterator<char>(said)), std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    std::filesystem::remove(path.string() + ".out");
    EXPECT_EQ(status, 0) << text;
}

}  // namespace
