// The results export over a run on the fake ICMP provider: the csv and json
// files read back by strict readers give the statistics tree's figures, the
// events are every host's ring, a copy taken during a run agrees with itself,
// and a full filesystem leaves an earlier file as it was.
#include <arpa/inet.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "OvPingDoc.h"
#include "StatText.h"
#include "console_export.h"
#include "doc/strict_readers.h"
#include "support/fake_icmp.h"

namespace {

namespace fs = std::filesystem;
using ov::test::FakeIcmpProvider;
using ov::test::FakeReply;
using ov::test::ProviderScope;

constexpr DWORD kRequests = 7;

FakeReply Reply(DWORD ms, DWORD us) {
    FakeReply r;
    r.roundTripTime = ms;
    r.roundTripUs = us;
    return r;
}

// Two hosts on the fake provider, each sending kRequests requests (unless
// unlimited); the second loses one request in three.
class ExportRun {
public:
    explicit ExportRun(bool limited = true) {
        m_fake.SetDefault(Reply(2, 2250));
        FakeReply lost;
        lost.status = IP_DEST_HOST_UNREACHABLE;
        m_fake.SetDestinationCycle(htonl(0x7F000002), {Reply(1, 1500), lost, Reply(5, 5000)});
        m_doc.Settings().TimeDelay = 1;  // as fast as the engine sends
        if (limited) {
            m_doc.SetRequestLimit(kRequests);
        }
        m_doc.StartRun(u"127.0.0.1 127.0.0.2");
    }
    ~ExportRun() { m_doc.StopAll(); }
    COvPingDoc& Doc() { return m_doc; }

    // Waits until every host sent at least n requests; false after a long while.
    bool WaitForSent(DWORD n) {
        for (int i = 0; i < 3000; ++i) {
            bool all = true;
            for (UINT h = 0; h < m_doc.GetHostCount(); ++h) {
                PING_STATS s{};
                m_doc.GetHost(h)->GetStatistics(s);
                all = all && s.sent >= n;
            }
            if (all) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

private:
    FakeIcmpProvider m_fake;
    ProviderScope m_scope{{&m_fake}};
    COvPingDoc m_doc;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class ExportTest : public ::testing::Test {
protected:
    ExportTest() {
        std::string dir = (fs::temp_directory_path() / "ov-export-XXXXXX").string();
        EXPECT_NE(mkdtemp(dir.data()), nullptr);
        m_dir = dir;
    }
    ~ExportTest() override {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    fs::path m_dir;
};

// The figures a host's summary must carry: those of the statistics tree.
void ExpectTreeFigures(const CHostProbe& host, double sent, double received, double min, double avg, double max) {
    PING_STATS s{};
    host.GetStatistics(s);
    const StatDerived d = DeriveStatistics(s);
    EXPECT_EQ(sent, s.sent);
    EXPECT_EQ(received, d.received);
    EXPECT_EQ(min, s.minimum);
    EXPECT_EQ(max, s.maximum);
    EXPECT_EQ(std::floor(avg), d.average);
    EXPECT_DOUBLE_EQ(avg, static_cast<double>(s.total) / d.received);
}

TEST_F(ExportTest, CsvAndJsonReadBackGiveTheTreesFiguresAndEveryEvent) {
    ExportRun run;
    ASSERT_TRUE(run.WaitForSent(kRequests));
    run.Doc().StopAll();
    const COvPingDoc& doc = run.Doc();

    const fs::path csv = m_dir / "results.csv";
    ASSERT_EQ(ExportResults(doc, ConsoleFormat::Csv, ExportContent::Statistics, csv.string()), 0);
    const auto rows = ov::test::ReadCsv(ReadFile(csv));
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 3u);  // header and one summary per host
    const ov::test::CsvRow& header = rows->front();
    std::map<std::string, std::size_t> column;
    for (std::size_t i = 0; i < header.size(); ++i) {
        column[header[i]] = i;
    }
    for (UINT h = 0; h < 2; ++h) {
        const ov::test::CsvRow& row = (*rows)[h + 1];
        ASSERT_EQ(row.size(), header.size());
        EXPECT_EQ(row[column["record"]], "summary");
        EXPECT_EQ(row[column["host"]], h == 0 ? "127.0.0.1" : "127.0.0.2");
        auto number = [&](const char* name) { return std::stod(row[column[name]]); };
        ExpectTreeFigures(*doc.GetHost(h), number("sent"), number("received"), number("min_ms"), number("avg_ms"),
                          number("max_ms"));
    }

    const fs::path json = m_dir / "everything.json";
    ASSERT_EQ(ExportResults(doc, ConsoleFormat::Json, ExportContent::Everything, json.string()), 0);
    std::istringstream lines(ReadFile(json));
    std::map<std::string, std::size_t> events;
    std::map<std::string, ov::test::Json> summaries;
    for (std::string line; std::getline(lines, line);) {
        const std::optional<ov::test::Json> record = ov::test::JsonReader(line).Read();
        ASSERT_TRUE(record.has_value()) << line;
        const std::string& host = (*record)["host"].Str();
        if ((*record)["type"].Str() == "event") {
            EXPECT_EQ(summaries.count(host), 0u) << "events come before the summaries";
            ++events[host];
        } else {
            ASSERT_EQ((*record)["type"].Str(), "summary");
            summaries.emplace(host, *record);
        }
    }
    ASSERT_EQ(summaries.size(), 2u);
    for (UINT h = 0; h < 2; ++h) {
        const CHostProbe& host = *doc.GetHost(h);
        const std::string name = h == 0 ? "127.0.0.1" : "127.0.0.2";
        EXPECT_EQ(events[name], host.GetEventCount()) << name;
        const ov::test::Json& s = summaries.at(name);
        ExpectTreeFigures(host, s["sent"].Num(), s["received"].Num(), s["min_ms"].Num(), s["avg_ms"].Num(),
                          s["max_ms"].Num());
    }
    // The second host's spread comes from its ring: replies of 1.5 and 5 ms.
    EXPECT_DOUBLE_EQ(summaries.at("127.0.0.2")["p50_ms"].Num(), 1.5);
    EXPECT_DOUBLE_EQ(summaries.at("127.0.0.2")["p99_ms"].Num(), 5.0);
}

TEST_F(ExportTest, ACopyTakenDuringARunAgreesWithItselfPerHost) {
    ExportRun run(false);
    ASSERT_TRUE(run.WaitForSent(3));
    const fs::path csv = m_dir / "running.csv";
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(ExportResults(run.Doc(), ConsoleFormat::Csv, ExportContent::Everything, csv.string()), 0);
        const auto rows = ov::test::ReadCsv(ReadFile(csv));
        ASSERT_TRUE(rows.has_value());
        // Requests in the ring (replies and losses) are what the counters say
        // was sent, as long as the ring has not wrapped.
        std::map<std::string, double> requests;
        std::map<std::string, double> sent;
        for (std::size_t i = 1; i < rows->size(); ++i) {
            const ov::test::CsvRow& row = (*rows)[i];
            if (row[0] == "event" && (row[4] == "reply" || row[4] == "lost")) {
                ++requests[row[2]];
            } else if (row[0] == "summary") {
                sent[row[2]] = std::stod(row[8]);
            }
        }
        ASSERT_EQ(sent.size(), 2u);
        for (const auto& [host, count] : sent) {
            EXPECT_EQ(requests[host], count) << host << " in round " << round;
        }
    }
}

// In a mount namespace of its own (a child process, root only) on a 64 KiB
// filesystem filled up.
TEST_F(ExportTest, AFullFilesystemLeavesTheEarlierFileAndSaysWhy) {
    const fs::path mountPoint = m_dir / "small";
    fs::create_directory(mountPoint);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0) {
            std::_Exit(77);
        }
        const fs::path file = mountPoint / "results.json";
        std::ofstream(file) << "earlier results\n";
        {
            // Every block taken: the next byte written anywhere fails.
            std::FILE* filler = std::fopen((mountPoint / "filler").c_str(), "wb");
            const std::string block(1024, 'x');
            while (filler != nullptr && std::fwrite(block.data(), 1, block.size(), filler) == block.size() &&
                   std::fflush(filler) == 0) {
            }
            if (filler != nullptr) {
                std::fclose(filler);
            }
        }
        ExportRun run;
        if (!run.WaitForSent(kRequests)) {
            std::_Exit(3);
        }
        run.Doc().StopAll();
        const int error = ExportResults(run.Doc(), ConsoleFormat::Json, ExportContent::Everything, file.string());
        const bool kept = ReadFile(file) == "earlier results\n";
        const bool noTemp = std::distance(fs::directory_iterator(mountPoint), fs::directory_iterator()) == 2;
        std::_Exit(error == ENOSPC && kept && noTemp ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) {
        GTEST_SKIP() << "no mount namespace (needs root)";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: wrong error, file changed or temporary file left; 3: run stalled";
}

}  // namespace
