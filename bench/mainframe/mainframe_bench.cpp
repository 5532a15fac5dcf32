// The main window offscreen beside the console mode on the same loopback
// hosts (127.0.x.y, through the system's ICMP). Two measurements:
//
//   mainframe_bench [SECONDS=60] [HOSTS=1000] [DELAY_MS=1000]
// A long run: makes the next host current every 5 s and measures the process
// CPU time over the wall time and the GUI thread's longest stall (the longest
// time between two turns of its event loop, seen by a 5 ms timer). Then it
// runs `tapper --console` (next to this program) on the same hosts with the
// same delay for the same time, ends it with SIGTERM, takes its CPU time from
// the child's resource usage, and prints one table of both.
//
//   mainframe_bench start [HOSTS=1000] [LIMIT_S=30]
// Starting a large run: the hosts are typed into the host entry and Enter is
// pressed; the longest stall from Enter until every host has its first echo
// outcome (reply or loss; at most LIMIT_S), then the same for a click on Stop
// (one second) and for a second start with the button, the times until the
// last host was started and until the last host's first outcome, and the
// resident memory. Then `tapper --console --format=csv` on the same hosts,
// timed from its launch until its output holds an outcome of every host.
#include <fcntl.h>
#include <time.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include "HistoryComboBox.h"
#include "MainFrame.h"
#include "OvPingDoc.h"

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// Runs `tapper --console -dDELAY hosts...` for the given time with its output
// thrown away; returns its CPU seconds (user + system), or -1 when it could
// not be run.
double ConsoleCpuSeconds(const std::string& program, const std::vector<std::string>& hosts, int delay, int seconds,
                         double& elapsed) {
    std::vector<std::string> args{program, "--console", "-d" + std::to_string(delay)};
    args.insert(args.end(), hosts.begin(), hosts.end());
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    QElapsedTimer wall;
    wall.start();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return -1.0;
    }
    // Sleep out the run in short steps, so that an early exit is seen at once.
    int status = 0;
    rusage usage{};
    pid_t ended = 0;
    while (ended == 0 && wall.elapsed() < seconds * 1000LL) {
        usleep(100 * 1000);
        ended = wait4(child, &status, WNOHANG, &usage);
    }
    if (ended == 0) {
        kill(child, SIGTERM);
        ended = wait4(child, &status, 0, &usage);
    }
    elapsed = static_cast<double>(wall.elapsed()) / 1000.0;
    if (ended != child) {
        return -1.0;
    }
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

// 127.0.x.y for x = i / 250, y = i % 250 + 1: only loopback addresses.
std::vector<std::string> LoopbackHosts(int count) {
    std::vector<std::string> hosts;
    for (int i = 0; i < count; ++i) {
        hosts.push_back("127.0." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1));
    }
    return hosts;
}

std::u16string HostText(const std::vector<std::string>& hosts) {
    std::u16string text;
    for (const std::string& host : hosts) {
        text += QString::fromStdString(host).toStdU16String() + u" ";
    }
    return text;
}

// A line of /proc/self/status ("VmRSS", "VmHWM") in MiB.
double StatusMiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(field);
    while (std::getline(status, line)) {
        if (line.compare(0, length, field) == 0 && line.size() > length && line[length] == ':') {
            return std::atof(line.c_str() + length + 1) / 1024.0;
        }
    }
    return 0.0;
}

// GUI thread CPU time in milliseconds.
double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// The GUI thread's longest stall since Begin: the longest time between two
// turns of its event loop, seen by a 5 ms timer. On a shared machine a stall
// holds time when other processes had the core; beside it is the longest
// such gap counted in the GUI thread's own CPU time.
class StallWatch {
public:
    StallWatch() {
        m_clock.start();
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            const qint64 now = m_clock.elapsed();
            const double cpu = ThreadCpuMs();
            m_longest = std::max(m_longest, now - m_last);
            m_longestCpu = std::max(m_longestCpu, cpu - m_lastCpu);
            m_last = now;
            m_lastCpu = cpu;
        });
        m_tick.start(5);
    }
    // A new phase; the time of whatever runs next is counted in it.
    void Begin() {
        m_last = m_clock.elapsed();
        m_lastCpu = ThreadCpuMs();
        m_longest = 0;
        m_longestCpu = 0.0;
        m_begun = m_last;
    }
    qint64 Longest() const { return m_longest; }
    double LongestCpu() const { return m_longestCpu; }
    // Milliseconds since Begin.
    qint64 Elapsed() const { return m_clock.elapsed() - m_begun; }

private:
    QElapsedTimer m_clock;
    QTimer m_tick;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    double m_lastCpu = 0.0;
    double m_longestCpu = 0.0;
    qint64 m_begun = 0;
};

// Turns the event loop until done() holds, checking every 10 ms, or until
// limitMs passed; false on the limit.
bool RunUntil(const std::function<bool()>& done, qint64 limitMs) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer check;
    bool met = false;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done()) {
            met = true;
            loop.quit();
        } else if (clock.elapsed() > limitMs) {
            loop.quit();
        }
    });
    check.start(10);
    loop.exec();
    return met;
}

// Hosts of the document that have sent their first request and recorded its
// outcome (or failed); from is where the count goes on from the last call.
UINT AnsweredHosts(const COvPingDoc& doc, UINT from) {
    for (; from < doc.GetHostCount(); ++from) {
        const CHostProbe* host = doc.GetHost(from);
        PING_STATS stats{};
        if (host != nullptr) {
            host->GetStatistics(stats);
        }
        if (host != nullptr && host->GetState() != HS_FAILED && stats.sent == 0) {
            break;
        }
    }
    return from;
}

// One start of the run, from the click or key that began it: when the last
// host was started and when every host had its first outcome (-1: not within
// the limit), the GUI thread's longest stall meanwhile, and how many hosts
// had answered by then.
struct StartPhase {
    qint64 startedMs = -1;
    qint64 answeredMs = -1;
    qint64 stall = 0;
    double stallCpu = 0.0;
    UINT answered = 0;
};

StartPhase WatchStart(const COvPingDoc& doc, UINT count, StallWatch& watch, qint64 limitMs) {
    StartPhase phase;
    UINT next = 0;
    RunUntil(
        [&] {
            if (phase.startedMs < 0 && doc.GetHostCount() == count && doc.GetPendingCount() == 0) {
                phase.startedMs = watch.Elapsed();
            }
            next = AnsweredHosts(doc, next);
            return doc.GetHostCount() == count && next == count;
        },
        limitMs);
    phase.answered = next;
    if (next == count) {
        phase.answeredMs = watch.Elapsed();
    }
    phase.stall = watch.Longest();
    phase.stallCpu = watch.LongestCpu();
    return phase;
}

void PrintStart(const char* name, const StartPhase& phase, UINT count) {
    std::printf("%-14s %12lld ms %15.0f ms %14lld ms ", name, static_cast<long long>(phase.stall), phase.stallCpu,
                static_cast<long long>(phase.startedMs));
    if (phase.answeredMs >= 0) {
        std::printf("%19lld ms\n", static_cast<long long>(phase.answeredMs));
    } else {
        std::printf("%9u of %u hosts\n", phase.answered, count);
    }
}

// Runs `tapper --console --format=csv hosts...` until its output holds an
// echo outcome of every host or limitMs passed, then ends it with SIGTERM.
// Milliseconds from the launch to the last host's first outcome, or -1.
double ConsoleFirstOutcomeMs(const std::string& program, const std::vector<std::string>& hosts, qint64 limitMs) {
    std::vector<std::string> args{program, "--console", "--format=csv"};
    args.insert(args.end(), hosts.begin(), hosts.end());
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        return -1.0;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    QElapsedTimer wall;
    wall.start();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return -1.0;
    }
    std::FILE* out = fdopen(pipeFds[0], "r");
    std::set<std::string> answered;
    double lastMs = -1.0;
    char line[4096];
    while (wall.elapsed() < limitMs && std::fgets(line, sizeof line, out) != nullptr) {
        // record,time,host,address,status,...
        std::vector<std::string> fields;
        std::string field;
        for (const char* p = line; *p != '\0' && *p != '\n' && fields.size() < 5; ++p) {
            if (*p == ',') {
                fields.push_back(field);
                field.clear();
            } else {
                field += *p;
            }
        }
        if (fields.size() == 5 && fields[0] == "event" && (fields[4] == "reply" || fields[4] == "lost") &&
            answered.insert(fields[2]).second && answered.size() == hosts.size()) {
            lastMs = static_cast<double>(wall.nsecsElapsed()) / 1e6;
            break;
        }
    }
    kill(child, SIGTERM);
    // Drain what it still writes, so that it is not held up on a full pipe.
    while (std::fgets(line, sizeof line, out) != nullptr) {
    }
    std::fclose(out);
    int status = 0;
    waitpid(child, &status, 0);
    return lastMs;
}

int RunLong(int seconds, int hosts, int delay) {
    const std::vector<std::string> addresses = LoopbackHosts(hosts);
    COvPingDoc doc;
    doc.Settings().TimeDelay = static_cast<DWORD>(delay);
    CMainFrame frame(doc, nullptr, u"Software\\Orvantek Bench");
    frame.ShowAtPlacement();
    frame.SetHostEntryText(HostText(addresses));
    frame.OnStartStop();

    const double cpuStart = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    qint64 last = 0;
    qint64 longest = 0;
    qint64 longestAt = 0;
    // The same after the first second, once the run's workers are all started
    // and the window has painted for the first time.
    qint64 longestSteady = 0;
    qint64 longestSteadyAt = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = wall.elapsed();
        if (now - last > longest) {
            longest = now - last;
            longestAt = now;
        }
        if (last >= 1000 && now - last > longestSteady) {
            longestSteady = now - last;
            longestSteadyAt = now;
        }
        last = now;
    });
    tick.start(5);
    UINT current = 0;
    QTimer switcher;
    QObject::connect(&switcher, &QTimer::timeout, [&] {
        current = (current + 1) % doc.GetHostCount();
        doc.SelectHost(current);
    });
    switcher.start(5000);
    QTimer::singleShot(seconds * 1000, qApp, &QApplication::quit);
    QApplication::exec();

    const double cpu = CpuSeconds() - cpuStart;
    const double elapsed = static_cast<double>(wall.elapsed()) / 1000.0;
    doc.StopAll();

    const std::string console = (QCoreApplication::applicationDirPath() + "/tapper").toStdString();
    double consoleElapsed = 0.0;
    const double consoleCpu = ConsoleCpuSeconds(console, addresses, delay, seconds, consoleElapsed);
    if (consoleCpu < 0.0) {
        std::fprintf(stderr, "could not run %s --console\n", console.c_str());
        return 1;
    }
    const double guiShare = 100.0 * cpu / elapsed;
    const double consoleShare = 100.0 * consoleCpu / consoleElapsed;
    std::printf("hosts %d, delay %d ms, current host changing every 5 s\n", hosts, delay);
    std::printf("%-8s %8s %8s %12s %16s\n", "mode", "wall s", "CPU s", "% of a core", "longest stall");
    std::printf("%-8s %8.1f %8.2f %12.1f %10lld ms (at %.1f s)\n", "window", elapsed, cpu, guiShare,
                static_cast<long long>(longest), static_cast<double>(longestAt) / 1000.0);
    std::printf("%-8s %8.1f %8.2f %12.1f %16s\n", "console", consoleElapsed, consoleCpu, consoleShare, "-");
    std::printf("longest stall after the first second %lld ms (at %.1f s)\n", static_cast<long long>(longestSteady),
                static_cast<double>(longestSteadyAt) / 1000.0);
    std::printf(
        "CPU ratio window/console (per wall second): %.2f (target at most 1.5); "
        "longest stall %lld ms (target at most 50)\n",
        consoleShare > 0.0 ? guiShare / consoleShare : 0.0, static_cast<long long>(longest));
    return 0;
}

int RunStart(int hosts, qint64 limitMs) {
    const std::vector<std::string> addresses = LoopbackHosts(hosts);
    const auto count = static_cast<UINT>(hosts);
    COvPingDoc doc;
    CMainFrame frame(doc, nullptr, u"Software\\Orvantek Bench");
    frame.ShowAtPlacement();
    StallWatch watch;
    RunUntil([] { return false; }, 500);  // the first paint

    // Typed into the entry, then Enter.
    frame.HostEntry()->setEditText(QString::fromStdU16String(HostText(addresses)));
    watch.Begin();
    QTest::keyClick(frame.HostEntry()->lineEdit(), Qt::Key_Return);
    const StartPhase start = WatchStart(doc, count, watch, limitMs);
    const double startRss = StatusMiB("VmRSS");
    RunUntil([] { return false; }, 2000);  // the run goes on

    watch.Begin();
    QTest::mouseClick(frame.StartStopButton(), Qt::LeftButton);
    RunUntil([&] { return !doc.IsRunning() && watch.Elapsed() >= 1000; }, limitMs);
    const qint64 stopStall = watch.Longest();
    const double stopCpu = watch.LongestCpu();

    watch.Begin();
    QTest::mouseClick(frame.StartStopButton(), Qt::LeftButton);
    const StartPhase restart = WatchStart(doc, count, watch, limitMs);
    RunUntil([] { return false; }, 1000);
    const double peakRss = StatusMiB("VmHWM");
    QTest::mouseClick(frame.StartStopButton(), Qt::LeftButton);
    RunUntil([] { return false; }, 200);

    const std::string console = (QCoreApplication::applicationDirPath() + "/tapper").toStdString();
    const double consoleMs = ConsoleFirstOutcomeMs(console, addresses, limitMs);

    std::printf("hosts %d, limit %lld s\n", hosts, static_cast<long long>(limitMs / 1000));
    std::printf("%-14s %15s %18s %17s %22s\n", "phase", "longest stall", "its own CPU, most", "all started",
                "every first outcome");
    PrintStart("Enter", start, count);
    std::printf("%-14s %12lld ms %15.0f ms\n", "Stop", static_cast<long long>(stopStall), stopCpu);
    PrintStart("second Start", restart, count);
    if (consoleMs >= 0.0) {
        std::printf("%-14s %15s %18s %17s %19.0f ms\n", "console", "-", "-", "-", consoleMs);
    } else {
        std::printf("%-14s %15s %18s %17s %22s\n", "console", "-", "-", "-", "not within the limit");
    }
    std::printf("resident memory: %.0f MiB once started, peak %.0f MiB\n", startRss, peakRss);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir registry;
    qputenv("OV_REGISTRY_DIR", registry.path().toLocal8Bit());
    if (argc > 1 && std::strcmp(argv[1], "start") == 0) {
        return RunStart(argc > 2 ? std::atoi(argv[2]) : 1000, argc > 3 ? std::atoi(argv[3]) * 1000LL : 30000);
    }
    return RunLong(argc > 1 ? std::atoi(argv[1]) : 60, argc > 2 ? std::atoi(argv[2]) : 1000,
                   argc > 3 ? std::atoi(argv[3]) : 1000);
}
