// The main window offscreen during a run of many loopback hosts:
//   mainframe_bench [SECONDS=60] [HOSTS=1000] [DELAY_MS=1000]
// pings 127.0.x.y through the system's ICMP, makes the next host current
// every 5 s, and prints the process CPU time over the wall time and the GUI
// thread's longest stall (the longest time between two turns of its event
// loop, seen by a 5 ms timer).
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

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
    for (int i = 0; i < hosts; ++i) {
        text += u"127.0." + QString::number(i / 250).toStdU16String() + u"." +
                QString::number(i % 250 + 1).toStdU16String() + u" ";
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
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = wall.elapsed();
        if (now - last > longest) {
            longest = now - last;
            longestAt = now;
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
    std::printf("hosts %d, delay %d ms, %.1f s: process CPU %.2f s (%.1f %% of one core), "
                "longest GUI stall %lld ms (ending %.1f s into the run)\n",
                hosts, delay, elapsed, cpu, 100.0 * cpu / elapsed, static_cast<long long>(longest),
                static_cast<double>(longestAt) / 1000.0);
    doc.StopAll();
    return 0;
}
