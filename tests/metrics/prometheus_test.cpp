// A real Prometheus server on loopback, with a data folder of its own,
// scrapes the probe every second; its query API must then know the reply
// counter of every host. Skipped, saying why, only where the server cannot
// start.
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include <gtest/gtest.h>
#include <unistd.h>

#include "PingServices.h"
#include "doc/console_run.h"
#include "doc/strict_readers.h"
#include "metrics/http_client.h"

namespace {

using namespace std::chrono_literals;
using ov::test::ConsoleRun;

std::string FindPrometheus() {
    for (const char* dir : {"/usr/bin", "/usr/local/bin", "/bin"}) {
        const std::string path = std::string(dir) + "/prometheus";
        if (::access(path.c_str(), X_OK) == 0) {
            return path;
        }
    }
    return {};
}

// The hosts that the answer to a query gives a value above 0 for.
std::set<std::string> HostsAboveZero(const std::string& body) {
    std::set<std::string> hosts;
    const std::optional<ov::test::Json> json = ov::test::JsonReader(body).Read();
    if (!json || !json->Has("status") || (*json)["status"].Str() != "success") {
        return hosts;
    }
    const auto& result = std::get<ov::test::JsonArray>((*json)["data"]["result"].v);
    for (const ov::test::Json& series : result) {
        const auto& value = std::get<ov::test::JsonArray>(series["value"].v);
        if (value.size() == 2 && std::stod(value[1].Str()) > 0) {
            hosts.insert(series["metric"]["host"].Str());
        }
    }
    return hosts;
}

TEST(PrometheusTest, TheServerScrapesTheProbeAndAnswersForEveryHost) {
    if (!BindPingServices()) {
        GTEST_SKIP() << "no ICMP provider can be opened here";
    }
    UnbindPingServices();
    const std::string prometheus = FindPrometheus();
    if (prometheus.empty()) {
        GTEST_SKIP() << "the Prometheus server is not installed (Debian package prometheus)";
    }
    const auto dir = std::filesystem::temp_directory_path() / ("ov-prometheus-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir / "data");
    const std::uint16_t probePort = ov::test::FreePort();
    ConsoleRun probe({ov::test::TapperPath(), "--console", "--quiet", "-d200",
                      "--metrics=127.0.0.1:" + std::to_string(probePort), "127.0.0.1", "127.0.0.2"});
    ASSERT_TRUE(probe.WaitForError("Serving the metrics", 30s));

    std::ofstream(dir / "prometheus.yml") << "global:\n"
                                             "  scrape_interval: 1s\n"
                                             "  evaluation_interval: 1s\n"
                                             "scrape_configs:\n"
                                             "  - job_name: tapper\n"
                                             "    static_configs:\n"
                                             "      - targets: ['127.0.0.1:"
                                          << probePort << "']\n";
    const std::uint16_t serverPort = ov::test::FreePort();
    ConsoleRun server({prometheus, "--config.file=" + (dir / "prometheus.yml").string(),
                       "--storage.tsdb.path=" + (dir / "data").string(),
                       "--web.listen-address=127.0.0.1:" + std::to_string(serverPort), "--log.level=warn"});
    bool ready = false;
    for (int i = 0; i < 300 && !ready; ++i) {
        ready = ov::test::HttpGet(serverPort, "/-/ready", 2s).status == 200;
        if (!ready) {
            std::this_thread::sleep_for(100ms);
        }
    }
    if (!ready) {
        server.Signal(SIGTERM);
        const auto said = server.Finish(10s);
        std::filesystem::remove_all(dir);
        GTEST_SKIP() << "the Prometheus server could not start here: " << said.err.substr(0, 2000);
    }

    std::set<std::string> answered;
    for (int i = 0; i < 300 && answered.size() < 2; ++i) {
        const auto answer = ov::test::HttpGet(serverPort, "/api/v1/query?query=tapper_replies_total", 5s);
        answered = HostsAboveZero(answer.body);
        if (answered.size() < 2) {
            std::this_thread::sleep_for(100ms);
        }
    }
    EXPECT_EQ(answered, (std::set<std::string>{"127.0.0.1", "127.0.0.2"}));
    // The scrape itself went well in the server's eyes.
    const auto up = ov::test::HttpGet(serverPort, "/api/v1/query?query=up%7Bjob%3D%22tapper%22%7D", 5s);
    EXPECT_NE(up.body.find("\"1\"]"), std::string::npos) << up.body;

    server.Signal(SIGTERM);
    server.Finish(30s);
    probe.Signal(SIGTERM);
    EXPECT_EQ(probe.Finish(30s).status, 0);
    std::filesystem::remove_all(dir);
}

}  // namespace
