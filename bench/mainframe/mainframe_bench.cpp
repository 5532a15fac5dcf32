// The main window offscreen during a run of many loopback hosts, beside the
// console mode on the same hosts:
//   mainframe_bench [SECONDS=60] [HOSTS=1000] [DELAY_MS=1000]
// pings 127.0.x.y through the system's ICMP, makes the next host current
// every 5 s, and measures the process CPU time over the wall time and the GUI
// thread's longest stall (the longest time between two turns of its event
// loop, seen by a 5 ms timer). Then it runs `tapper --console` (next to this
// program) on the same hosts with the same delay for the same time, ends it
// with SIGTERM, takes its CPU time from the child's resource usage, and prints
// one table of both.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

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
double ConsoleCpuSeconds(const std::string& program, const std::vector<std::string>& hosts,
                         int delay, int seconds, double& elapsed) {
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

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const int hosts = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int delay = argc > 3 ? std::atoi(argv[3]) : 1000;
    QTemporaryDir registry;
    qputenv("OV_REGISTRY_DIR", registry.path().toLocal8Bit());

    std::u16string text;
    std::vector<std::string> addresses;
    for (int i = 0; i < hosts; ++i) {
        addresses.push_back("127.0." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1));
        text += QString::fromStdString(addresses.back()).toStdU16String() + u" ";
    }
    COvPingDoc doc;
    doc.Settings().TimeDelay = static_cast<DWORD>(delay);
    CMainFrame frame(doc, nullptr, u"Software\\Orvantek Bench");
    frame.ShowAtPlacement();
    frame.SetHostEntryText(text);
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
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    app.exec();

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
    std::printf("%-8s %8.1f %8.2f %12.1f %16s\n", "console", consoleElapsed, consoleCpu, consoleShare,
                "-");
    std::printf("longest stall after the first second %lld ms (at %.1f s)\n",
                static_cast<long long>(longestSteady), static_cast<double>(longestSteadyAt) / 1000.0);
    std::printf("CPU ratio window/console (per wall second): %.2f (target at most 1.5); "
                "longest stall %lld ms (target at most 50)\n",
                consoleShare > 0.0 ? guiShare / consoleShare : 0.0, static_cast<long long>(longest));
    return 0;
}
