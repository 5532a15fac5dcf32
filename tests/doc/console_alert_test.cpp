// The console's host states: the options, a state record per change in each
// format, and the --on-change commands (environment, shell characters in host
// names, how many run at once, the time limit), over the fake ICMP provider.
#include <gtest/gtest.h>

#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "PingServices.h"
#include "change_commands.h"
#include "console.h"
#include "console_options.h"
#include "doc/strict_readers.h"
#include "support/fake_icmp.h"

namespace {

namespace fs = std::filesystem;
using ov::test::FakeReply;
using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

ConsoleOptions Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "tapper");
    return ParseConsoleOptions(static_cast<int>(args.size()), args.data());
}

std::string ReadAll(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        text.append(buf, n);
    }
    return text;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// A folder of its own, removed with what it holds.
struct TempDir {
    fs::path path;
    TempDir() {
        char name[] = "/tmp/ov_alert_XXXXXX";
        path = mkdtemp(name) != nullptr ? fs::path(name) : fs::path();
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
};

TEST(ConsoleAlertOptions, ThresholdsAndTheCommandAreTakenWithinRange) {
    EXPECT_FALSE(Parse({"--console", "host"}).states);
    const ConsoleOptions o = Parse({"--down-after=10", "--up-after", "1", "--slow-ms=250"});
    EXPECT_EQ(o.error, "");
    EXPECT_TRUE(o.states);
    EXPECT_EQ(std::vector<unsigned long>({o.downAfter, o.upAfter, o.slowMs}), std::vector<unsigned long>({10, 1, 250}));
    const ConsoleOptions c = Parse({"--on-change=echo \"$TAPPER_HOST\""});
    EXPECT_TRUE(c.states);
    EXPECT_EQ(c.onChange, "echo \"$TAPPER_HOST\"");
    EXPECT_EQ(std::vector<unsigned long>({c.downAfter, c.upAfter, c.slowMs}), std::vector<unsigned long>({3, 2, 0}));

    const std::vector<std::pair<const char*, std::string>> bad = {
        {"--down-after=0", "option --down-after: 0 is out of range (1 to 1000)"},
        {"--up-after=1001", "option --up-after: 1001 is out of range (1 to 1000)"},
        {"--slow-ms=60001", "option --slow-ms: 60001 is out of range (1 to 60000 ms)"},
        {"--slow-ms=fast", "option --slow-ms: 'fast' is not a whole number (1 to 60000 ms)"},
        {"--on-change=", "option --on-change needs a command"},
    };
    for (const auto& [arg, message] : bad) {
        EXPECT_EQ(Parse({arg}).error, message);
    }
}

// Requests: two replies, three unreachable, two replies of 5 ms.
std::vector<FakeReply> DownAndBack() {
    FakeReply reply;
    reply.roundTripTime = 5;
    reply.roundTripUs = 5250;
    FakeReply unreachable;
    unreachable.status = IP_DEST_HOST_UNREACHABLE;
    return {reply, reply, unreachable, unreachable, unreachable, reply, reply};
}

class ConsoleAlertTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char dir[] = "/tmp/ov_console_alert_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        setenv("OV_REGISTRY_DIR", dir, 1);
    }

    int Run(std::vector<const char*> args, std::string& out, std::string& err) {
        ov::test::FakeIcmpProvider fake;
        fake.Script(DownAndBack());
        ov::test::ProviderScope scope({&fake});
        const ConsoleOptions options = Parse(std::move(args));
        EXPECT_EQ(options.error, "");
        FilePtr o(std::tmpfile(), &std::fclose);
        FilePtr e(std::tmpfile(), &std::fclose);
        const int status = RunConsole(options, o.get(), e.get());
        out = ReadAll(o.get());
        err = ReadAll(e.get());
        return status;
    }
};

TEST_F(ConsoleAlertTest, ClassicLinesFollowTheEventThatChangedTheState) {
    std::string out, err;
    Run({"--console", "--count=7", "-d1", "--down-after=3", "127.0.0.1"}, out, err);
    const auto lines = Lines(out);
    std::vector<std::string> states;
    std::vector<std::size_t> after;  // how many event lines came before each
    std::size_t events = 0;
    const std::regex stamp(R"(\[\d{4}-\d{1,2}-\d{1,2} \d\d:\d\d:\d\d\](.*))");
    for (const std::string& line : lines) {
        std::smatch m;
        if (!std::regex_match(line, m, stamp)) {
            continue;
        }
        if (m[1].str().rfind("Host ", 0) == 0) {
            states.push_back(m[1]);
            after.push_back(events);
        } else {
            ++events;
        }
    }
    ASSERT_EQ(states.size(), 3u) << out;
    EXPECT_EQ(states[0], "Host 127.0.0.1 is up.");
    EXPECT_EQ(states[1], "Host 127.0.0.1 is down (3 requests lost).");
    EXPECT_TRUE(
        std::regex_match(states[2], std::regex(R"(Host 127\.0\.0\.1 is up again after \d+ s \(3 requests lost\)\.)")))
        << states[2];
    // Events: resolving, reply, reply | unreachable x3 | reply, reply.
    EXPECT_EQ(after, (std::vector<std::size_t>{3, 6, 8}));
    // Without the options the output has no state line.
    Run({"--console", "--count=7", "-d1", "127.0.0.1"}, out, err);
    EXPECT_EQ(out.find("]Host "), std::string::npos) << out;
}

TEST_F(ConsoleAlertTest, JsonAndCsvCarryEveryFieldOfAChange) {
    std::string out, err;
    Run({"--console", "--count=7", "-d1", "--format=json", "--quiet", "--up-after=2", "127.0.0.1"}, out, err);
    std::vector<ov::test::Json> states;
    for (const std::string& line : Lines(out)) {
        std::optional<ov::test::Json> value = ov::test::JsonReader(line).Read();
        ASSERT_TRUE(value) << line;
        if ((*value)["type"].Str() == "state") {
            states.push_back(std::move(*value));
        }
    }
    ASSERT_EQ(states.size(), 3u) << out;
    const ov::test::Json& down = states[1];
    EXPECT_EQ(
        down["host"].Str() + " " + down["address"].Str() + " " + down["state"].Str() + " " + down["previous"].Str(),
        "127.0.0.1 127.0.0.1 down up");
    EXPECT_EQ(down["since"].Str(), down["time"].Str());
    EXPECT_EQ(down["previous_since"].Str(), states[0]["since"].Str());
    EXPECT_EQ(down["lost"].Num(), 3);
    EXPECT_EQ(down["last_rtt_ms"].Num(), 5.25);
    EXPECT_TRUE(states[0]["previous_since"].IsNull());

    Run({"--console", "--count=7", "-d1", "--format=csv", "--down-after=3", "127.0.0.1"}, out, err);
    const std::optional<std::vector<ov::test::CsvRow>> rows = ov::test::ReadCsv(out);
    ASSERT_TRUE(rows) << out;
    const ov::test::CsvRow& header = rows->front();
    std::vector<std::map<std::string, std::string>> changes;
    for (const ov::test::CsvRow& row : *rows) {
        ASSERT_EQ(row.size(), header.size()) << out;
        std::map<std::string, std::string> field;
        for (std::size_t i = 0; i < header.size(); ++i) {
            field[header[i]] = row[i];
        }
        if (field["record"] == "state") {
            changes.push_back(field);
        }
    }
    ASSERT_EQ(changes.size(), 3u) << out;
    EXPECT_EQ(changes[1]["status"] + " " + changes[1]["previous"] + " " + changes[1]["lost"] + " " +
                  changes[1]["rtt_ms"] + " " + changes[1]["address"],
              "down up 3 5.250 127.0.0.1");
}

// Resolves every name to 127.0.0.1 with a canonical name full of shell
// characters, as a name server may answer.
const char kEvilName[] = "$(touch${IFS}pwned);touch${IFS}pwned2;'\"`touch${IFS}pwned3`\\";
sockaddr_in g_address{};
addrinfo g_answer{};
std::string g_canonical = kEvilName;

int EvilGetAddrInfo(const char*, const char*, const addrinfo*, addrinfo** result) {
    g_address.sin_family = AF_INET;
    g_address.sin_addr.s_addr = htonl(0x7F000001);
    g_answer.ai_family = AF_INET;
    g_answer.ai_addr = reinterpret_cast<sockaddr*>(&g_address);
    g_answer.ai_addrlen = sizeof g_address;
    g_answer.ai_canonname = g_canonical.data();
    *result = &g_answer;
    return 0;
}
void NoFree(addrinfo*) {}

struct EvilResolverScope {
    EvilResolverScope() { SetNameResolver(&EvilGetAddrInfo, &NoFree); }
    ~EvilResolverScope() { SetNameResolver(nullptr, nullptr); }
    EvilResolverScope(const EvilResolverScope&) = delete;
    EvilResolverScope& operator=(const EvilResolverScope&) = delete;
};

TEST_F(ConsoleAlertTest, AHostNameWithShellCharactersReachesTheCommandAsDataOnly) {
    TempDir dir;
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.path);
    EvilResolverScope resolver;
    const std::string command =
        "printf '%s|%s|%s|%s|%s|%s\\n' \"$TAPPER_HOST\" \"$TAPPER_ADDRESS\" "
        "\"$TAPPER_STATE\" \"$TAPPER_PREVIOUS_STATE\" \"$TAPPER_LOST\" "
        "\"$TAPPER_LAST_RTT_MS\" >>changes.txt";
    const std::string onChange = "--on-change=" + command;
    std::string out, err;
    Run({"--console", "--count=7", "-d1", onChange.c_str(), "somehost"}, out, err);
    fs::current_path(cwd);

    const auto lines = Lines(ReadFile(dir.path / "changes.txt"));
    ASSERT_EQ(lines.size(), 3u) << err;
    const std::string evil = kEvilName;
    EXPECT_EQ(lines[0], evil + "|127.0.0.1|up|unknown|0|5.250");
    EXPECT_EQ(lines[1], evil + "|127.0.0.1|down|up|3|5.250");
    EXPECT_EQ(lines[2], evil + "|127.0.0.1|up|down|3|5.250");
    EXPECT_FALSE(fs::exists(dir.path / "pwned"));
    EXPECT_FALSE(fs::exists(dir.path / "pwned2"));
    EXPECT_FALSE(fs::exists(dir.path / "pwned3"));
    // Each command's end is said on the error stream.
    std::size_t ended = 0;
    for (const std::string& line : Lines(err)) {
        ended += line.find("ended with exit status 0.") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(ended, 3u) << err;
}

int FailingGetAddrInfo(const char*, const char*, const addrinfo*, addrinfo**) {
    return EAI_NONAME;
}

TEST_F(ConsoleAlertTest, ANameThatDoesNotResolveIsDownAtOnceAndRunsTheCommand) {
    TempDir dir;
    SetNameResolver(&FailingGetAddrInfo, &::freeaddrinfo);
    const std::string onChange =
        "--on-change=echo \"$TAPPER_STATE:$TAPPER_HOST:$TAPPER_ADDRESS:$TAPPER_LAST_RTT_MS\" >" +
        (dir.path / "down.txt").string();
    std::string out, err;
    Run({"--console", "--count=3", "--down-after=10", onChange.c_str(), "nowhere.invalid"}, out, err);
    SetNameResolver(nullptr, nullptr);
    EXPECT_NE(out.find("]Host nowhere.invalid is down (its name could not be resolved)."), std::string::npos) << out;
    EXPECT_EQ(ReadFile(dir.path / "down.txt"), "down:nowhere.invalid::\n");
}

// ---- the command runner on its own ----

ChangeFacts Facts(const std::string& host) {
    return {host, "127.0.0.1", "down", "up", "2026-12-09T10:42:17+00:00", "3", "1.500"};
}

TEST(ChangeCommands, NoMoreThanTheLimitRunAtOnceAndTheRestWaitOrAreDropped) {
    TempDir dir;
    const std::string d = dir.path.string();
    // Each command notes how many run beside it, then waits for the "go" file.
    const std::string command = "touch " + d + "/run.$$; ls " + d + " | grep -c '^run\\.' >>" + d +
                                "/counts; while [ ! -e " + d + "/go ]; do sleep 0.02; done; rm " + d +
                                "/run.$$; echo \"$TAPPER_HOST\" >>" + d + "/done";
    FilePtr err(std::tmpfile(), &std::fclose);
    {
        CChangeCommands commands(command, err.get(), {2, 3, std::chrono::seconds(60)});
        for (int i = 0; i < 7; ++i) {
            commands.Run(Facts("h" + std::to_string(i)));
        }
        // Two run and three wait; the last two were dropped at once.
        for (int tries = 0; Lines(ReadFile(dir.path / "counts")).size() < 2 && tries < 6000; ++tries) {
            ::usleep(10000);
        }
        std::ofstream(dir.path / "go").put('\n');
        commands.WaitIdle();
    }
    const auto counts = Lines(ReadFile(dir.path / "counts"));
    ASSERT_EQ(counts.size(), 5u);
    for (const std::string& c : counts) {
        EXPECT_LE(std::stoi(c), 2) << "more commands ran at once than allowed";
    }
    auto done = Lines(ReadFile(dir.path / "done"));
    std::sort(done.begin(), done.end());
    EXPECT_EQ(done, (std::vector<std::string>{"h0", "h1", "h2", "h3", "h4"}));
    const std::string messages = ReadAll(err.get());
    EXPECT_NE(messages.find("the one for h5 (down) is dropped."), std::string::npos) << messages;
    EXPECT_NE(messages.find("the one for h6 (down) is dropped."), std::string::npos) << messages;
}

TEST(ChangeCommands, ACommandPastItsTimeLimitIsStoppedWithWhatItStarted) {
    TempDir dir;
    const fs::path pidFile = dir.path / "sleeper";
    FilePtr err(std::tmpfile(), &std::fclose);
    {
        CChangeCommands commands("sleep 600 & echo $! >" + pidFile.string() + "; wait; echo survived", err.get(),
                                 {4, 16, std::chrono::milliseconds(300)});
        commands.Run(Facts("slow"));
        commands.WaitIdle();
    }
    const std::string messages = ReadAll(err.get());
    EXPECT_NE(messages.find("The --on-change command for slow (down) ran longer than 0.3 s and was stopped."),
              std::string::npos)
        << messages;
    EXPECT_EQ(messages.find("survived"), std::string::npos);
    // The shell's child went with it (gone, or a zombie waiting for its new parent).
    const std::string pid = Lines(ReadFile(pidFile)).at(0);
    const std::string stat = ReadFile("/proc/" + pid + "/stat");
    EXPECT_TRUE(stat.empty() || stat.find(") Z ") != std::string::npos) << stat;
}

}  // namespace
