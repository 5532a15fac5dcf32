// The probe end to end against 127.0.0.x: its endpoint read strictly, the
// hosts file read again on SIGHUP, and what it does with bad input.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include "PingServices.h"
#include "doc/console_run.h"
#include "metrics/exposition_reader.h"
#include "metrics/http_client.h"
#include "platform/fdlimit.h"
#include "platform/unique_fd.h"

namespace {

using namespace std::chrono_literals;
using ov::test::ConsoleResult;
using ov::test::ConsoleRun;
using ov::test::Exposition;
using ov::test::TapperPath;

class ProbeNetTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!BindPingServices()) {
            GTEST_SKIP() << "no ICMP provider can be opened here (datagram sockets not allowed "
                            "by ping_group_range and no raw-socket privilege)";
        }
        UnbindPingServices();
        m_dir = std::filesystem::temp_directory_path() / ("ov-probe-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_dir);
        m_hosts = m_dir / "hosts";
        m_port = ov::test::FreePort();
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    void WriteHosts(const std::string& text) const {
        const auto next = m_dir / "hosts.new";
        std::ofstream(next) << text;
        std::filesystem::rename(next, m_hosts);  // as an editor that saves by renaming
    }
    std::unique_ptr<ConsoleRun> StartProbe(std::vector<std::string> more = {}) const {
        std::vector<std::string> argv = {TapperPath(),
                                         "--console",
                                         "--quiet",
                                         "--metrics=127.0.0.1:" + std::to_string(m_port),
                                         "--hosts-file=" + m_hosts.string(),
                                         "-d100"};
        argv.insert(argv.end(), more.begin(), more.end());
        auto run = std::make_unique<ConsoleRun>(argv);
        EXPECT_TRUE(run->Started());
        EXPECT_TRUE(run->WaitForError("Serving the metrics", 30s));
        return run;
    }
    Exposition Scrape() const {
        const ov::test::HttpAnswer answer = ov::test::HttpGet(m_port, "/metrics");
        EXPECT_EQ(answer.status, 200);
        Exposition e = ov::test::ReadExposition(answer.body);
        EXPECT_TRUE(e.Ok()) << e.error;
        return e;
    }
    // Scrapes until every host of hosts has at least replies replies; the last scrape.
    Exposition ScrapeUntilReplied(const std::vector<std::string>& hosts, double replies) const {
        Exposition e;
        for (int i = 0; i < 300; ++i) {
            e = Scrape();
            bool all = true;
            for (const std::string& h : hosts) {
                const auto v = e.Value("tapper_replies_total", {{"host", h}});
                all = all && v && *v >= replies;
            }
            if (all) {
                return e;
            }
            std::this_thread::sleep_for(100ms);
        }
        ADD_FAILURE() << "the hosts were not answered " << replies << " times";
        return e;
    }

    std::filesystem::path m_dir;
    std::filesystem::path m_hosts;
    std::uint16_t m_port = 0;
};

// Every counter of every series that two scrapes share has not gone back.
void ExpectCountersKept(const Exposition& before, const Exposition& after) {
    for (const ov::test::MetricSample& old : before.samples) {
        const auto type = before.types.find(old.name);
        const bool counting = (type != before.types.end() && type->second == "counter") ||
                              old.name.find("_bucket") != std::string::npos ||
                              old.name.find("_count") != std::string::npos;
        if (!counting) {
            continue;
        }
        for (const ov::test::MetricSample& now : after.Find(old.name, old.labels)) {
            if (now.labels == old.labels) {
                EXPECT_GE(now.value, old.value) << old.name;
            }
        }
    }
}

TEST_F(ProbeNetTest, SighupKeepsTheHostsThatStayAndTakesOutThoseRemoved) {
    WriteHosts("127.0.0.1\n127.0.0.2 # a comment\n127.0.0.3\n");
    const auto run = StartProbe({"127.0.0.5"});  // a command-line host stays through every re-read
    const Exposition first = ScrapeUntilReplied({"127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.5"}, 2);
    EXPECT_EQ(first.Value("tapper_hosts"), 4);
    EXPECT_EQ(first.Value("tapper_host_up", {{"host", "127.0.0.1"}}), 1);
    EXPECT_EQ(first.Value("tapper_lost_total", {{"host", "127.0.0.1"}, {"address", "127.0.0.1"}}), 0);

    WriteHosts("127.0.0.1\n127.0.0.4\n");
    run->Signal(SIGHUP);
    ASSERT_TRUE(run->WaitForError("read again: 3 hosts, 1 new, 2 removed", 30s));
    const Exposition second = ScrapeUntilReplied({"127.0.0.4"}, 2);
    for (const auto& [family, type] : second.types) {
        for (const char* gone : {"127.0.0.2", "127.0.0.3"}) {
            EXPECT_TRUE(second.Find(family, {{"host", gone}}).empty()) << family;
            EXPECT_TRUE(second.Find(family + "_bucket", {{"host", gone}}).empty()) << family;
        }
    }
    EXPECT_EQ(second.Value("tapper_hosts"), 3);
    ExpectCountersKept(first, second);
    EXPECT_GT(*second.Value("tapper_requests_total", {{"host", "127.0.0.1"}}),
              *first.Value("tapper_requests_total", {{"host", "127.0.0.1"}}));

    // A file that vanished, then one that cannot be read as a host list: the set stays.
    std::filesystem::remove(m_hosts);
    run->Signal(SIGHUP);
    ASSERT_TRUE(run->WaitForError("There is no host list file", 30s));
    std::filesystem::create_directory(m_hosts);
    run->Signal(SIGHUP);
    ASSERT_TRUE(run->WaitForError("is a folder or a device", 30s));
    const double before = *second.Value("tapper_requests_total", {{"host", "127.0.0.4"}});
    Exposition third = ScrapeUntilReplied({"127.0.0.4"}, before + 2);
    EXPECT_EQ(third.Value("tapper_hosts"), 3);
    ExpectCountersKept(second, third);

    run->Signal(SIGTERM);
    const ConsoleResult r = run->Finish(30s);
    EXPECT_EQ(r.status, 0) << r.err;
    std::size_t kept = 0;
    for (std::size_t at = 0; (at = r.err.find("the probe keeps its 3 hosts", at)) != std::string::npos; ++at) {
        ++kept;
    }
    EXPECT_EQ(kept, 2u) << r.err;
}

TEST_F(ProbeNetTest, APortInUseOrAnAddressNotOursEndsTheProbeSayingWhy) {
    WriteHosts("127.0.0.1\n");
    const ov::UniqueFd taken(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(m_port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(taken.Get(), reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
    ASSERT_EQ(::listen(taken.Get(), 1), 0);
    {
        ConsoleRun run(
            {TapperPath(), "--console", "--metrics=" + std::to_string(m_port), "--hosts-file=" + m_hosts.string()});
        const ConsoleResult r = run.Finish(30s);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("Couldn't serve the metrics on 127.0.0.1:" + std::to_string(m_port) +
                             ": Address already in use"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(r.out, "") << "no host was started";
    }
    // 192.0.2.0/24 is for documentation: no machine of ours has it.
    ConsoleRun run({TapperPath(), "--console", "--metrics=192.0.2.1:9374", "127.0.0.1"});
    const ConsoleResult r = run.Finish(30s);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("192.0.2.1:9374: Cannot assign requested address"), std::string::npos) << r.err;
}

TEST_F(ProbeNetTest, AThousandScrapesAtOnceAreAllAnswered) {
    ov::RaiseOpenFileLimit();
    WriteHosts("127.0.0.1 127.0.0.2\n");
    const auto run = StartProbe();
    ScrapeUntilReplied({"127.0.0.1", "127.0.0.2"}, 1);
    const auto answers = ov::test::ConcurrentGets(m_port, "/metrics", 1000, 120s);
    int whole = 0;
    std::map<int, int> statuses;
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const ov::test::HttpAnswer& answer = answers[i];
        ++statuses[answer.status];
        // Every answer is whole; every 50th is read strictly too (reading costs).
        bool ok = answer.status == 200 && answer.body.find("\ntapper_hosts 2\n") != std::string::npos &&
                  answer.body.find("\ntapper_build_info{") != std::string::npos && answer.body.back() == '\n';
        if (ok && i % 50 == 0) {
            const Exposition e = ov::test::ReadExposition(answer.body);
            ok = e.Ok() && e.Find("tapper_replies_total").size() == 2;
        }
        whole += ok ? 1 : 0;
    }
    EXPECT_EQ(whole, 1000) << "answers by status: " << ::testing::PrintToString(statuses);
    // And it goes on serving and probing.
    const double before = Scrape().Value("tapper_replies_total", {{"host", "127.0.0.1"}}).value_or(0);
    ScrapeUntilReplied({"127.0.0.1"}, before + 1);
    run->Signal(SIGTERM);
    EXPECT_EQ(run->Finish(30s).status, 0);
}

// Inflates a gzip body with zlib (not the library that packed it); "" when it is not gzip.
std::string Gunzip(const std::string& packed) {
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) {
        return {};
    }
    std::string text(64 * packed.size() + 1024, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    z.avail_in = static_cast<uInt>(packed.size());
    z.next_out = reinterpret_cast<Bytef*>(text.data());
    z.avail_out = static_cast<uInt>(text.size());
    const int result = inflate(&z, Z_FINISH);
    text.resize(z.total_out);
    inflateEnd(&z);
    return result == Z_STREAM_END ? text : std::string();
}

TEST_F(ProbeNetTest, AClientThatTakesGzipGetsTheSameSeriesPacked) {
    WriteHosts("127.0.0.1\n127.0.0.2\n");
    const auto run = StartProbe();
    ScrapeUntilReplied({"127.0.0.1", "127.0.0.2"}, 1);
    const ov::test::HttpAnswer packed = ov::test::HttpGet(m_port, "/metrics", 10s, "Accept-Encoding: gzip\r\n");
    ASSERT_EQ(packed.status, 200);
    EXPECT_NE(packed.headers.find("Content-Encoding: gzip"), std::string::npos) << packed.headers;
    const Exposition e = ov::test::ReadExposition(Gunzip(packed.body));
    EXPECT_TRUE(e.Ok()) << e.error;
    EXPECT_EQ(e.Find("tapper_replies_total").size(), 2u);
    // Without the header the same text comes unpacked; other paths are still the server's.
    const ov::test::HttpAnswer plain = ov::test::HttpGet(m_port, "/metrics");
    EXPECT_EQ(plain.headers.find("Content-Encoding"), std::string::npos) << plain.headers;
    EXPECT_TRUE(ov::test::ReadExposition(plain.body).Ok());
    EXPECT_EQ(ov::test::HttpGet(m_port, "/other").status, 404);
    run->Signal(SIGTERM);
    EXPECT_EQ(run->Finish(30s).status, 0);
}

}  // namespace
