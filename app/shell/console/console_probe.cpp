#include "console_probe.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <poll.h>

#include "HostEntry.h"
#include "HostProbe.h"
#include "MsgFormat.h"
#include "OvPingDoc.h"
#include "console.h"
#include "console_output.h"
#include "console_signals.h"
#include "metrics_server.h"
#include "platform/codepage.h"
#include "probe_metrics.h"

namespace {

// How often the probe takes its hosts' new events: the metrics and the
// event lines are that fresh, and no worker has to wake the main thread.
constexpr int kReadPeriodMs = 250;

// Events a probe host keeps between two reads: one 4 KiB block of the ring,
// over 7 s at the engine's fastest pace, where the window keeps 5000 for its
// log list. A probe runs for months: 5000 hosts would otherwise grow to
// 1.4 GB of events nobody reads again.
constexpr DWORD kProbeRingEvents = 73;

// One host of the probe.
struct ProbeHost {
    std::u16string name;                // as listed: the key across re-reads
    std::string label;                  // the same in UTF-8, its metrics' host label
    std::unique_ptr<CHostProbe> probe;  // null when it could not be made
    DWORD read = 0;                     // events taken (absolute count)
    RttFigures total;                   // for the closing summary
};

void PrintMessage(std::FILE* err, std::u16string_view text) {
    std::fprintf(err, "tapper: %s\n", ov::WideToUtf8(text).c_str());
    std::fflush(err);
}

// Host names of text in order, each once.
std::vector<std::u16string> UniqueHostNames(std::u16string_view text) {
    std::vector<std::u16string> names = SplitHostText(text);
    std::unordered_set<std::u16string> seen;
    names.erase(
        std::remove_if(names.begin(), names.end(), [&seen](const std::u16string& n) { return !seen.insert(n).second; }),
        names.end());
    return names;
}

// Asks every worker to end first, so that their ends overlap, then deletes them.
void DeleteHosts(std::vector<ProbeHost>& hosts) noexcept {
    for (const ProbeHost& host : hosts) {
        if (host.probe) {
            host.probe->RequestQuit();
        }
    }
    hosts.clear();
}

class ProbeRun {
public:
    ProbeRun(const ProbeSetup& setup, std::FILE* out, std::FILE* err)
        : m_setup(setup),
          m_options(setup.options),
          m_err(err),
          m_metrics(m_options.buckets.empty() ? DefaultBuckets() : m_options.buckets, OV_TAPPER_VERSION,
                    AlertThresholds{static_cast<unsigned>(m_options.downAfter),
                                    static_cast<unsigned>(m_options.upAfter), static_cast<unsigned>(m_options.slowMs)}),
          m_writer(MakeConsoleWriter(m_options.format, out)) {}
    ~ProbeRun() { DeleteHosts(m_hosts); }
    ProbeRun(const ProbeRun&) = delete;
    ProbeRun& operator=(const ProbeRun&) = delete;

    int Run();

private:
    bool Serve();
    // Replaces the hosts by names: hosts that stay keep their worker and
    // their series, the others end and leave the exposition, new ones start.
    // Returns how many were added and removed.
    std::pair<int, int> SetHosts(const std::vector<std::u16string>& names);
    void ReadHosts();
    void ReadHost(ProbeHost& host);
    // Re-reads the hosts file; the running set stays when it cannot be taken.
    void Reload();
    // Waits for a signal or the next read; false when the probe is to end.
    bool Wait();
    void Finish();
    bool Flush() {
        if (m_outputError == 0) {
            m_outputError = m_writer->Flush();
        }
        return m_outputError == 0;
    }

    const ProbeSetup& m_setup;
    const ConsoleOptions& m_options;
    std::FILE* m_err;
    CProbeMetrics m_metrics;
    CMetricsServer m_server;
    std::unique_ptr<IConsoleWriter> m_writer;
    std::vector<ProbeHost> m_hosts;
    DWORD m_nextIndex = 0;
    int m_outputError = 0;
    std::vector<PING_EVENT> m_fresh;
    std::vector<std::uint32_t> m_rtts;
};

int ProbeRun::Run() {
    if (!Serve()) {
        return kExitNotStarted;
    }
    m_writer->Begin();
    SetHosts(UniqueHostNames(TrimHostEntryText(m_setup.commandLineHosts + m_setup.listedHosts)));
    while (true) {
        ReadHosts();
        if (!Flush() || !Wait()) {
            break;
        }
    }
    Finish();
    return m_outputError != 0 ? ReportOutputFailure(m_outputError, m_err) : kExitAllReplied;
}

bool ProbeRun::Serve() {
    const MetricsEndpoint& endpoint = m_options.metricsEndpoint;
    if (const int error = m_server.Start(endpoint, m_metrics.Collectable(), m_metrics.Writer()); error != 0) {
        const std::u16string where = ov::Utf8ToWide(endpoint.Text());
        const std::u16string reason = ov::Utf8ToWide(std::strerror(error));
        PrintMessage(m_err, LoadFormatString(35400, u"Couldn't serve the metrics on %s_a%: %s_b%", where.c_str(),
                                             reason.c_str()));
        return false;
    }
    MetricsEndpoint served = endpoint;
    served.port = m_server.Port();
    const std::u16string url = ov::Utf8ToWide("http://" + served.Text() + "/metrics");
    PrintMessage(m_err, LoadFormatString(35401, u"Serving the metrics at %s_a%", url.c_str()));
    return true;
}

std::pair<int, int> ProbeRun::SetHosts(const std::vector<std::u16string>& names) {
    std::unordered_map<std::u16string, std::size_t> old;
    for (std::size_t i = 0; i < m_hosts.size(); ++i) {
        old.emplace(m_hosts[i].name, i);
    }
    std::vector<ProbeHost> next;
    next.reserve(names.size());
    int added = 0;
    for (const std::u16string& name : names) {
        if (const auto it = old.find(name); it != old.end()) {
            next.push_back(std::move(m_hosts[it->second]));
            old.erase(it);
            continue;
        }
        ProbeHost host;
        host.name = name;
        host.label = ov::WideToUtf8(name);
        try {
            host.probe = std::make_unique<CHostProbe>(m_nextIndex++, name, m_setup.doc.Settings(), kProbeRingEvents);
            host.probe->Start();
        } catch (const std::bad_alloc&) {
            // A host that cannot be made is left out until the next re-read.
        }
        next.push_back(std::move(host));
        ++added;
    }
    // What is left of the old set was removed from the list.
    std::vector<ProbeHost> removed;
    for (const auto& [name, i] : old) {
        m_metrics.RemoveHost(m_hosts[i].label);
        removed.push_back(std::move(m_hosts[i]));
    }
    DeleteHosts(removed);
    m_hosts = std::move(next);
    m_metrics.SetHostCount(m_hosts.size());
    return {added, static_cast<int>(old.size())};
}

void ProbeRun::ReadHost(ProbeHost& host) {
    if (!host.probe || host.probe->GetEventCount() == host.read) {
        return;
    }
    host.read = host.probe->CopyEventsSince(host.read, m_fresh);
    const IPAddr address = host.probe->GetAddress();
    const std::u16string country = host.probe->GetCountry();
    const std::u16string shownName = m_options.quiet ? std::u16string() : host.probe->GetHostName();
    for (const PING_EVENT& event : m_fresh) {
        m_metrics.Record(host.label, event, address, country);
        if (event.type == PE_REPLY) {
            host.total.AddReply(event.roundTripUs);
        } else if (event.type == PE_LOST) {
            host.total.AddLost();
        }
        if (!m_options.quiet) {
            m_writer->Event(event, shownName, address);
        }
    }
}

void ProbeRun::ReadHosts() {
    for (ProbeHost& host : m_hosts) {
        ReadHost(host);
    }
}

void ProbeRun::Reload() {
    const int kept = static_cast<int>(m_hosts.size());
    if (m_options.hostsFile.empty() || m_options.hostsFile == "-") {
        PrintMessage(m_err,
                     LoadFormatString(35402, u"No hosts file to read again; the probe keeps its %d_a% hosts.", kept));
        return;
    }
    const std::optional<std::u16string> listed = LoadHostsFile(m_options.hostsFile, m_err);
    const std::u16string text = listed ? TrimHostEntryText(m_setup.commandLineHosts + *listed) : std::u16string();
    if (listed && HasInvalidHostChar(text)) {
        PrintMessage(m_err, LoadFormatString(33042, "Invalid IP addresses."));
    }
    if (!listed || HasInvalidHostChar(text)) {
        PrintMessage(m_err, LoadFormatString(
                                35403, u"The hosts file could not be taken; the probe keeps its %d_a% hosts.", kept));
        return;
    }
    // The events the old set recorded until now still count.
    ReadHosts();
    const auto [added, removed] = SetHosts(UniqueHostNames(text));
    PrintMessage(m_err,
                 LoadFormatString(35404, u"The hosts file was read again: %d_a% hosts, %d_b% new, %d_c% removed.",
                                  static_cast<int>(m_hosts.size()), added, removed));
}

bool ProbeRun::Wait() {
    pollfd fd{m_setup.signals.Fd(), POLLIN, 0};
    if (::poll(&fd, 1, kReadPeriodMs) <= 0 || (fd.revents & POLLIN) == 0) {
        return true;
    }
    bool reload = false;
    while (const int sig = m_setup.signals.Take()) {
        if (sig != SIGHUP) {
            return false;
        }
        reload = true;  // several at once: one re-read
    }
    if (reload) {
        Reload();
    }
    return true;
}

void ProbeRun::Finish() {
    // What is left must not hold back another Ctrl+C.
    m_setup.signals.Release();
    for (const ProbeHost& host : m_hosts) {
        if (host.probe) {
            host.probe->CloseGate();
        }
    }
    ReadHosts();
    const std::int64_t endTime = std::time(nullptr);
    for (const ProbeHost& host : m_hosts) {
        if (host.probe && m_outputError == 0) {
            m_writer->Summary(endTime, SummarizeHost(*host.probe, host.total, m_fresh, m_rtts));
        }
    }
    Flush();
}

}  // namespace

int RunProbe(const ProbeSetup& setup, std::FILE* out, std::FILE* err) {
    return ProbeRun(setup, out, err).Run();
}
