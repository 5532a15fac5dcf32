// Pings N loopback hosts (127.0.0.1, 127.0.0.2, ...) through the ping run
// document for a while, then deletes them all, and prints one line:
//   hosts=N seconds=S provider=NAME sent=X answered=Y cpu=SEC rss_kb=K delete_ms=D
//   create_cpu=SEC steady_cpu=SEC steady_answered=Z
// cpu is the process's user+system time from the start of the run to its stop.
// create_cpu is the CPU time of creating N hosts until every one has resolved
// its name and opened its socket (measured on a separate set of hosts that is
// never started). steady_cpu and steady_answered cover the run from the end
// of the warm-up (--warmup seconds) to its stop.
//
//   engine_hosts_bench [--hosts=N] [--seconds=S] [--warmup=S] [--delay=MS]
//                      [--timeout=MS] [--size=BYTES] [--provider=auto|datagram|raw]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "OvPingDoc.h"
#include "PingServices.h"
#include "platform/fdlimit.h"
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

bool Prepared(const CHostProbe& host) {
    const DWORD state = host.GetState();
    return state != HS_NEW && state != HS_RESOLVED;
}

// CPU time of creating hosts hosts until each is prepared (never started).
double CreationCpu(int hosts, const PING_SETTINGS& settings) {
    const double cpu0 = CpuSeconds();
    std::vector<std::unique_ptr<CHostProbe>> probes;
    probes.reserve(static_cast<std::size_t>(hosts));
    for (int i = 0; i < hosts; ++i) {
        probes.push_back(std::make_unique<CHostProbe>(static_cast<DWORD>(i), LoopbackHost(i), settings));
    }
    for (const auto& p : probes) {
        while (!Prepared(*p)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    const double cpu = CpuSeconds() - cpu0;
    for (const auto& p : probes) {
        p->RequestQuit();
    }
    return cpu;
}

// Replies of every host so far; their requests through sent.
unsigned long long Answered(const COvPingDoc& doc, unsigned long long* sent = nullptr) {
    unsigned long long answered = 0, total = 0;
    for (UINT i = 0; i < doc.GetHostCount(); ++i) {
        if (const CHostProbe* h = doc.GetHost(i)) {
            PING_STATS st{};
            h->GetStatistics(st);
            total += st.sent;
            answered += st.sent - st.lost;
        }
    }
    if (sent != nullptr) {
        *sent = total;
    }
    return answered;
}

}  // namespace

int main(int argc, char** argv) {
    int hosts = 10, seconds = 20, warmup = 3;
    DWORD delay = 1000, timeout = 500, size = 56;
    std::string provider = "auto";
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strncmp(a, "--hosts=", 8) == 0) {
            hosts = std::atoi(a + 8);
        } else if (std::strncmp(a, "--seconds=", 10) == 0) {
            seconds = std::atoi(a + 10);
        } else if (std::strncmp(a, "--warmup=", 9) == 0) {
            warmup = std::atoi(a + 9);
        } else if (std::strncmp(a, "--delay=", 8) == 0) {
            delay = static_cast<DWORD>(std::atoi(a + 8));
        } else if (std::strncmp(a, "--timeout=", 10) == 0) {
            timeout = static_cast<DWORD>(std::atoi(a + 10));
        } else if (std::strncmp(a, "--size=", 7) == 0) {
            size = static_cast<DWORD>(std::atoi(a + 7));
        } else if (std::strncmp(a, "--provider=", 11) == 0) {
            provider = a + 11;
        } else {
            std::fprintf(stderr, "unknown argument %s\n", a);
            return 2;
        }
    }
    if (warmup >= seconds) {
        warmup = seconds / 2;
    }
    // As the program does at start-up: a socket per host.
    ov::RaiseOpenFileLimit();
    if (provider == "datagram") {
        ov::icmp::SetProviders({&ov::icmp::DatagramProvider()});
    } else if (provider == "raw") {
        ov::icmp::SetProviders({&ov::icmp::RawProvider()});
    }
    if (!BindPingServices()) {
        std::fprintf(stderr, "no ICMP provider can be used here\n");
        return 1;
    }
    const char* used = PingServices().icmpModule->Name();

    std::u16string text;
    for (int i = 0; i < hosts; ++i) {
        text += LoopbackHost(i) + u" ";
    }

    auto doc = std::make_unique<COvPingDoc>();
    PING_SETTINGS& s = doc->Settings();
    s.Size = size;
    s.TimeOut = timeout;
    s.TimeDelay = delay;
    s.Probe = 1;
    s.IPOption = {64, 0, 0, 0, nullptr};

    const double createCpu = CreationCpu(hosts, s);

    const double cpu0 = CpuSeconds();
    doc->StartRun(text);
    std::this_thread::sleep_for(std::chrono::seconds(warmup));
    const double cpuWarm = CpuSeconds();
    const unsigned long long answeredWarm = Answered(*doc);
    std::this_thread::sleep_for(std::chrono::seconds(seconds - warmup));
    doc->StopAll();
    const double cpuEnd = CpuSeconds();

    unsigned long long sent = 0;
    const unsigned long long answered = Answered(*doc, &sent);
    const auto t0 = std::chrono::steady_clock::now();
    doc.reset();  // deletes every host
    const auto deleteMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    UnbindPingServices();
    std::printf(
        "hosts=%d seconds=%d provider=%s sent=%llu answered=%llu cpu=%.3f rss_kb=%ld "
        "delete_ms=%.1f create_cpu=%.3f steady_cpu=%.3f steady_answered=%llu\n",
        hosts, seconds, used, sent, answered, cpuEnd - cpu0, PeakRssKb(), deleteMs, createCpu, cpuEnd - cpuWarm,
        answered - answeredWarm);
    return 0;
}
