// Pings N loopback hosts (127.0.0.1, 127.0.0.2, ...) through the ping run
// document for a while, then deletes them all, and prints one line:
//   hosts=N seconds=S provider=NAME sent=X answered=Y cpu=SEC rss_kb=K delete_ms=D
// cpu is the process's user+system time from the start of the run to its stop;
// cpu_start the part of it spent creating the hosts.
//
//   engine_hosts_bench [--hosts=N] [--seconds=S] [--delay=MS] [--timeout=MS]
//                      [--size=BYTES] [--provider=auto|datagram|raw]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "OvPingDoc.h"
#include "PingServices.h"
#include "platform/icmp.h"

namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long PeakRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// The n-th loopback address, skipping .0 and .255 in the last byte.
std::u16string LoopbackHost(int n) {
    char text[32];
    const int length = std::snprintf(text, sizeof text, "127.0.%d.%d", n / 254, n % 254 + 1);
    return std::u16string(text, text + length);
}

}  // namespace

int main(int argc, char** argv) {
    int hosts = 10, seconds = 20;
    DWORD delay = 1000, timeout = 500, size = 56;
    std::string provider = "auto";
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strncmp(a, "--hosts=", 8) == 0)
            hosts = std::atoi(a + 8);
        else if (std::strncmp(a, "--seconds=", 10) == 0)
            seconds = std::atoi(a + 10);
        else if (std::strncmp(a, "--delay=", 8) == 0)
            delay = static_cast<DWORD>(std::atoi(a + 8));
        else if (std::strncmp(a, "--timeout=", 10) == 0)
            timeout = static_cast<DWORD>(std::atoi(a + 10));
        else if (std::strncmp(a, "--size=", 7) == 0)
            size = static_cast<DWORD>(std::atoi(a + 7));
        else if (std::strncmp(a, "--provider=", 11) == 0)
            provider = a + 11;
        else {
            std::fprintf(stderr, "unknown argument %s\n", a);
            return 2;
        }
    }
    if (provider == "datagram")
        ov::icmp::SetProviders({&ov::icmp::DatagramProvider()});
    else if (provider == "raw")
        ov::icmp::SetProviders({&ov::icmp::RawProvider()});
    if (!BindPingServices()) {
        std::fprintf(stderr, "no ICMP provider can be used here\n");
        return 1;
    }
    const char* used = PingServices().icmpModule->Name();

    std::u16string text;
    for (int i = 0; i < hosts; ++i)
        text += LoopbackHost(i) + u" ";

    auto doc = std::make_unique<COvPingDoc>();
    PING_SETTINGS& s = doc->Settings();
    s.Size = size;
    s.TimeOut = timeout;
    s.TimeDelay = delay;
    s.Probe = 1;
    s.IPOption = {64, 0, 0, 0, nullptr};

    const double cpu0 = CpuSeconds();
    doc->StartRun(text);
    const double cpuStart = CpuSeconds() - cpu0;
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    doc->StopAll();
    const double cpu = CpuSeconds() - cpu0;

    unsigned long long sent = 0, answered = 0;
    for (UINT i = 0; i < doc->GetHostCount(); ++i) {
        if (CHostProbe* h = doc->GetHost(i)) {
            PING_STATS st{};
            h->GetStatistics(st);
            sent += st.sent;
            answered += st.sent - st.lost;
        }
    }
    const auto t0 = std::chrono::steady_clock::now();
    doc.reset();  // deletes every host
    const auto deleteMs = std::chrono::duration<double, std::milli>(
                              std::chrono::steady_clock::now() - t0).count();
    UnbindPingServices();
    std::printf("hosts=%d seconds=%d provider=%s sent=%llu answered=%llu cpu=%.3f rss_kb=%ld "
                "delete_ms=%.1f cpu_start=%.3f\n",
                hosts, seconds, used, sent, answered, cpu, PeakRssKb(), deleteMs, cpuStart);
    return 0;
}
