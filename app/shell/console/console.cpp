#include "console.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "HostEntry.h"
#include "HostList.h"
#include "HostProbe.h"
#include "HostState.h"
#include "change_commands.h"
#include "MsgFormat.h"
#include "console_output.h"
#include "console_probe.h"
#include "console_signals.h"
#include "OvPingDoc.h"
#include "PingServices.h"
#include "PingSettings.h"
#include "platform/clock.h"
#include "cmdline.h"
#include "platform/codepage.h"
#include "platform/unique_fd.h"

namespace {

// The frame of the console: no controls. A host's notification puts the host
// on a list of hosts with news, once however many notifications it sends
// before the list is taken, and wakes the main loop through a pipe only when
// the list was empty (a full pipe already means "wake up"); the loop then
// reads those hosts instead of every host of the run.
class ConsoleFrame final : public IPingFrame, public IPingNotifyTarget {
public:
    explicit ConsoleFrame(COvPingDoc& doc) noexcept : m_doc(doc) {
        int fds[2];
        if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
            m_read = ov::UniqueFd(fds[0]);
            m_write = ov::UniqueFd(fds[1]);
        }
    }

    void UpdateRunControls(bool) override {}
    void SetMainTitle(std::u16string_view) override {}
    IPingNotifyTarget* NotifyTarget() override { return this; }
    void ToggleStartStop() override {
        if (m_doc.IsRunning()) {
            m_doc.StopAll();
        } else {
            m_doc.StartRun(m_entry);
        }
    }
    void SetHostEntryText(std::u16string_view text) override { m_entry = text; }
    void ShowStartStop() override {}

    // Makes room for the news of hosts hosts (indexes 0 to hosts-1); before
    // any of them notifies.
    void ListHosts(UINT hosts) {
        std::lock_guard lock(m_newsLock);
        m_listed.assign(hosts, 0);
        m_news.assign(hosts, 0);
        m_newsCount = 0;
    }

    void PostPingNotify(UINT, int, DWORD hostIndex) noexcept override {
        bool wake = false;
        {
            std::lock_guard lock(m_newsLock);
            if (hostIndex >= m_listed.size()) {
                wake = !m_unlisted;  // not on the list: every host is read
                m_unlisted = true;
            } else if (m_listed[hostIndex] == 0) {
                m_listed[hostIndex] = 1;
                m_news[m_newsCount++] = hostIndex;
                wake = m_newsCount == 1 && !m_unlisted;
            }
        }
        if (wake) {
            const char byte = 0;
            [[maybe_unused]] const ssize_t n = ::write(m_write.Get(), &byte, 1);
        }
    }

    // Replaces out with the hosts that have news since the last call, each
    // once; true when a host off the list notified (then read every host).
    bool TakeNews(std::vector<DWORD>& out) {
        std::lock_guard lock(m_newsLock);
        out.assign(m_news.begin(), m_news.begin() + static_cast<std::ptrdiff_t>(m_newsCount));
        for (const DWORD i : out) {
            m_listed[i] = 0;
        }
        m_newsCount = 0;
        const bool unlisted = m_unlisted;
        m_unlisted = false;
        return unlisted;
    }

    int ReadFd() const noexcept { return m_read.Get(); }
    void Drain() noexcept {
        char buf[256];
        while (::read(m_read.Get(), buf, sizeof(buf)) > 0) {
        }
    }

private:
    COvPingDoc& m_doc;
    std::u16string m_entry;
    ov::UniqueFd m_read;
    ov::UniqueFd m_write;
    std::mutex m_newsLock;
    std::vector<char> m_listed;  // per host: on the list
    std::vector<DWORD> m_news;   // the list, m_newsCount long
    std::size_t m_newsCount = 0;
    bool m_unlisted = false;
};

void PrintLine(std::FILE* f, std::u16string_view line) {
    const std::string text = ov::WideToUtf8(line);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fputc('\n', f);
}

// Per-host progress of the printing and the figures taken from its events.
struct HostProgress {
    DWORD read = 0;                           // events read (absolute count)
    bool done = false;                        // sent every request of a counted run, or failed
    RttFigures interval;                      // since the last periodic summary
    RttFigures total;                         // since the start
    std::optional<CHostStateTracker> states;  // with the host state options
};

// What an --on-change command learns of a change.
ChangeFacts FactsOf(const HostTransition& change, std::u16string_view host, IPAddr address) {
    ChangeFacts facts;
    facts.host = ov::WideToUtf8(host);
    facts.address = AddressText(address);
    facts.state = HostStateWord(change.to);
    facts.previous = HostStateWord(change.from);
    facts.since = IsoTime(change.since);
    facts.lost = std::to_string(change.lost);
    facts.lastRttMs = change.lastRttUs != 0 ? MsText(change.lastRttUs) : "";
    return facts;
}

// Reads the events of host that came since the last call, counts them and
// hands them to the writer unless quiet, each change of state after the event
// that caused it (to commands too, when given); a host that sent the requested
// number of requests (limit, 0: none) is stopped once they are read.
void ReadNewEvents(CHostProbe& host, HostProgress& progress, unsigned long limit, bool quiet,
                   std::vector<PING_EVENT>& fresh, IConsoleWriter& writer, CChangeCommands* commands) {
    if (progress.done) {
        return;
    }
    // One look: a request counted in the counters is in the events copied too.
    PING_STATS stats{};
    const DWORD from = progress.read;
    progress.read = host.CopyStatisticsAndEvents(stats, fresh, from);
    const bool finished = limit != 0 && stats.sent >= limit;
    if (progress.read != from) {
        if (progress.states && progress.read - from > fresh.size()) {
            progress.states->ForgetRuns();  // the ring dropped events never read
        }
        // The name and address only for the lines and state records: a copy
        // of each per read.
        const bool named = !quiet || progress.states;
        const std::u16string name = named ? host.GetHostName() : std::u16string();
        const IPAddr address = named ? host.GetAddress() : 0;
        for (const PING_EVENT& event : fresh) {
            if (event.type == PE_REPLY) {
                progress.interval.AddReply(event.roundTripUs);
                progress.total.AddReply(event.roundTripUs);
            } else if (event.type == PE_LOST) {
                progress.interval.AddLost();
                progress.total.AddLost();
            }
            if (!quiet) {
                writer.Event(event, name, address);
            }
            const std::optional<HostTransition> change = progress.states ? progress.states->Feed(event) : std::nullopt;
            if (change) {
                writer.State(*change, name, address);
                if (commands != nullptr) {
                    commands->Run(FactsOf(*change, name, address));
                }
            }
        }
    }
    if (finished) {
        host.Stop();
        progress.done = true;
    }
}

// The shortest time between two looks at the hosts while notifications come.
constexpr std::int64_t kLookPauseMs = 10;

std::int64_t MonotonicMs() {
    return static_cast<std::int64_t>(ov::MonotonicNanoseconds() / 1'000'000);
}

// One console run once its input was taken and the service bound: starts the
// hosts, prints their events as they come and the periodic summaries until
// every host is done, a signal arrives or the output fails, then the closing
// summaries.
class ConsoleRun {
public:
    ConsoleRun(COvPingDoc& doc, const ConsoleOptions& options, SignalCatcher& signals) noexcept
        : m_doc(doc), m_options(options), m_signals(signals), m_frame(doc) {}

    // The run's exit status.
    int Run(const std::u16string& hosts, std::FILE* out, std::FILE* err);

private:
    void Start(const std::u16string& hosts, std::FILE* out, std::FILE* err);
    // Prints until every host is done, a signal arrives or a write fails.
    void PrintUntilDone();
    // Reads every host once.
    void ReadHosts();
    // Reads the hosts that notified since the last look (every host when one
    // off the list did).
    void ReadHostsWithNews();
    // Reads host i unless it is done; counts it when it becomes done.
    void Look(UINT i);
    bool AllDone() const noexcept { return m_doneCount >= m_doc.GetHostCount(); }
    // Waits for a notification, a signal or the next summary, and at least
    // until kLookPauseMs passed since the last look; false on a signal.
    // Sets m_lookAtAll when nothing came for the whole wait.
    bool Wait();
    void Finish();
    int ExitStatus(std::FILE* err) const;

    void ReadHost(UINT i, CHostProbe& host) {
        ReadNewEvents(host, m_progress[i], m_options.count, m_options.quiet, m_fresh, *m_writer, m_commands.get());
    }
    void PeriodicSummary();
    // A write that fails (full disk, reader gone) ends the run: nothing more
    // can reach anyone.
    bool Flush() {
        if (m_outputError == 0) {
            m_outputError = m_writer->Flush();
        }
        return m_outputError == 0;
    }

    COvPingDoc& m_doc;
    const ConsoleOptions& m_options;
    SignalCatcher& m_signals;
    ConsoleFrame m_frame;
    std::unique_ptr<IConsoleWriter> m_writer;
    // Its destruction waits for the commands still running.
    std::unique_ptr<CChangeCommands> m_commands;
    int m_outputError = 0;
    std::vector<PING_EVENT> m_fresh;  // reused for every host
    std::vector<DWORD> m_news;        // hosts to read, reused
    UINT m_doneCount = 0;             // hosts whose progress is done
    bool m_lookAtAll = true;          // the next look reads every host
    std::int64_t m_lastLookMs = 0;
    std::vector<std::uint32_t> m_rtts;  // reused for every summary
    std::vector<HostProgress> m_progress;
    std::int64_t m_summaryPeriodMs = 0;
    std::int64_t m_nextSummaryMs = 0;
    bool m_started = false;
};

int ConsoleRun::Run(const std::u16string& hosts, std::FILE* out, std::FILE* err) {
    Start(hosts, out, err);
    // Once the input was taken and the service bound the run has started,
    // even when every host then fails (sooner or later than its gate opened):
    // the exit status depends on the outcome, not on that timing.
    m_started = m_doc.GetHostCount() != 0;
    if (m_started) {
        PrintUntilDone();
    }
    Finish();
    return ExitStatus(err);
}

void ConsoleRun::Start(const std::u16string& hosts, std::FILE* out, std::FILE* err) {
    m_doc.SetFrame(&m_frame);
    m_frame.SetHostEntryText(hosts);
    // The workers count their requests, so a counted run sends exactly that many.
    m_doc.SetRequestLimit(static_cast<DWORD>(m_options.count));
    m_doc.StartRun(hosts);

    m_writer = MakeConsoleWriter(m_options.format, out, m_options.states);
    m_writer->Begin();
    if (!m_options.onChange.empty()) {
        m_commands = std::make_unique<CChangeCommands>(m_options.onChange, err, CChangeCommands::Limits{});
    }
    m_progress.resize(m_doc.GetHostCount());
    if (m_options.states) {
        const AlertThresholds thresholds{static_cast<unsigned>(m_options.downAfter),
                                         static_cast<unsigned>(m_options.upAfter),
                                         static_cast<unsigned>(m_options.slowMs)};
        for (HostProgress& progress : m_progress) {
            progress.states.emplace(thresholds);
        }
    }
    m_frame.ListHosts(m_doc.GetHostCount());
    m_news.reserve(m_doc.GetHostCount());
    for (UINT i = 0; i < m_doc.GetHostCount(); ++i) {
        if (CHostProbe* host = m_doc.GetHost(i)) {
            host->SetNotifyWindow(&m_frame, WM_PING_NOTIFY);
        } else {
            m_progress[i].done = true;
            ++m_doneCount;
        }
    }
    m_summaryPeriodMs = static_cast<std::int64_t>(m_options.summaryEvery) * 1000;
    m_nextSummaryMs = MonotonicMs() + m_summaryPeriodMs;
}

void ConsoleRun::PrintUntilDone() {
    for (;;) {
        // The first look reads every host: events recorded before the hosts
        // were told where to notify were announced to no one.
        if (m_lookAtAll) {
            ReadHosts();
        } else {
            ReadHostsWithNews();
        }
        m_lastLookMs = MonotonicMs();
        // One write for what every host had, however many hosts there are.
        if (!Flush() || AllDone() || !Wait()) {
            return;
        }
    }
}

void ConsoleRun::ReadHosts() {
    m_frame.TakeNews(m_news);  // every host is read anyway
    for (UINT i = 0; i < m_doc.GetHostCount(); ++i) {
        Look(i);
    }
}

void ConsoleRun::ReadHostsWithNews() {
    if (m_frame.TakeNews(m_news)) {
        ReadHosts();
        return;
    }
    for (const DWORD i : m_news) {
        Look(i);
    }
}

void ConsoleRun::Look(UINT i) {
    CHostProbe* host = m_doc.GetHost(i);
    if (host == nullptr || m_progress[i].done) {
        return;
    }
    ReadHost(i, *host);
    if (!m_progress[i].done && host->GetState() == HS_FAILED) {
        // Nothing more can happen on a failed host once its events are out.
        ReadHost(i, *host);
        m_progress[i].done = true;
    }
    if (m_progress[i].done) {
        ++m_doneCount;
    }
}

bool ConsoleRun::Wait() {
    m_lookAtAll = false;
    // The timeout is a fallback only; notifications and signals wake the loop.
    int timeoutMs = 250;
    if (m_summaryPeriodMs != 0) {
        const std::int64_t left = m_nextSummaryMs - MonotonicMs();
        if (left <= 0) {
            PeriodicSummary();
            // Skip summaries missed by a stalled loop rather than bunch them.
            m_nextSummaryMs += m_summaryPeriodMs * (1 - left / m_summaryPeriodMs);
            return true;
        }
        timeoutMs = static_cast<int>(std::min<std::int64_t>(timeoutMs, left));
    }
    pollfd fds[2] = {{m_signals.Fd(), POLLIN, 0}, {m_frame.ReadFd(), POLLIN, 0}};
    const int ready = ::poll(fds, 2, timeoutMs);
    if (ready == 0) {
        m_lookAtAll = true;  // a quiet spell: a look at every host costs little
        return true;
    }
    if (ready > 0 && (fds[0].revents & POLLIN) != 0 && m_signals.Drain()) {
        return false;
    }
    if (ready > 0 && (fds[1].revents & POLLIN) != 0) {
        m_frame.Drain();
        // Hosts notify one by one as their requests end, thousands a second
        // in a large run: the loop gathers them for a moment rather than
        // waking for each. Signals still end the wait at once.
        const std::int64_t left = m_lastLookMs + kLookPauseMs - MonotonicMs();
        if (left > 0) {
            pollfd signal = {m_signals.Fd(), POLLIN, 0};
            if (::poll(&signal, 1, static_cast<int>(left)) > 0 && m_signals.Drain()) {
                return false;
            }
        }
    }
    return true;
}

void ConsoleRun::PeriodicSummary() {
    const std::int64_t now = std::time(nullptr);
    for (UINT i = 0; i < m_doc.GetHostCount(); ++i) {
        if (const CHostProbe* host = m_doc.GetHost(i)) {
            m_writer->Interval(now, SummarizeHost(*host, m_progress[i].total, m_fresh, m_rtts), m_progress[i].interval);
            m_progress[i].interval = RttFigures{};
        }
    }
    Flush();
}

void ConsoleRun::Finish() {
    // The run is over; what is left (printing, deleting the hosts) must not
    // hold back another Ctrl+C.
    m_signals.Release();
    for (UINT i = 0; i < m_doc.GetHostCount(); ++i) {
        if (CHostProbe* host = m_doc.GetHost(i)) {
            host->SetNotifyWindow(nullptr, 0);
        }
    }
    if (m_doc.IsRunning()) {
        m_doc.StopAll();
    }
    // Events recorded until the stop still belong to the run.
    for (UINT i = 0; i < m_doc.GetHostCount(); ++i) {
        if (CHostProbe* host = m_doc.GetHost(i)) {
            ReadHost(i, *host);
        }
    }
    const std::int64_t endTime = std::time(nullptr);
    for (UINT i = 0; i < m_doc.GetHostCount() && m_outputError == 0; ++i) {
        if (const CHostProbe* host = m_doc.GetHost(i)) {
            m_writer->Summary(endTime, SummarizeHost(*host, m_progress[i].total, m_fresh, m_rtts));
        }
    }
    Flush();
    m_doc.SetFrame(nullptr);
}

int ConsoleRun::ExitStatus(std::FILE* err) const {
    if (m_outputError != 0) {
        return ReportOutputFailure(m_outputError, err);
    }
    if (!m_started) {
        return kExitNotStarted;
    }
    for (UINT i = 0; i < m_doc.GetHostCount(); ++i) {
        const CHostProbe* host = m_doc.GetHost(i);
        PING_STATS stats{};
        if (host != nullptr) {
            host->GetStatistics(stats);
        }
        if (stats.sent == stats.lost) {
            return kExitSomeSilent;
        }
    }
    return kExitAllReplied;
}

// Says so when the groups allowed unprivileged ICMP sockets leave out ours:
// the usual reason why no ICMP service can be had (a service with an account
// of its own included).
void ExplainPingGroupRange(std::FILE* err) {
    long low = 0;
    long high = -1;
    const bool read = static_cast<bool>(std::ifstream("/proc/sys/net/ipv4/ping_group_range") >> low >> high);
    const long group = static_cast<long>(::getegid());
    if (read && (group < low || group > high)) {
        const std::u16string range = ov::Utf8ToWide(std::to_string(low) + " " + std::to_string(high));
        PrintLine(err, LoadFormatString(35405,
                                        u"ICMP datagram sockets are open to the groups %s_a% of "
                                        u"net.ipv4.ping_group_range; this program runs in group %d_b%. See tapper(1).",
                                        range.c_str(), static_cast<int>(group)));
    }
}

}  // namespace

int ReportOutputFailure(int error, std::FILE* err) {
    if (error != EPIPE) {
        const std::u16string reason = ov::Utf8ToWide(std::strerror(error));
        std::fputs("tapper: ", err);
        PrintLine(err, LoadFormatString(34751, u"Couldn't write the output: %s_a%", reason.c_str()));
    }
    return kExitOutputFailed;
}

std::optional<std::u16string> LoadHostsFile(const std::string& path, std::FILE* err) {
    const HostList list = ReadHostListFile(path);
    if (list.Ok()) {
        return list.EntryText();
    }
    const std::u16string shown = path == "-" ? LoadFormatString(35249, u"standard input") : ov::Utf8ToWide(path);
    std::fputs("tapper: ", err);
    PrintLine(err, HostListProblemText(list, shown));
    return std::nullopt;
}

int RunConsole(const ConsoleOptions& options, std::FILE* out, std::FILE* err) {
    // Before any worker exists, so that every thread inherits the blocked mask.
    // The probe re-reads its hosts file on SIGHUP; otherwise SIGHUP ends the
    // program as it always did.
    SignalCatcher signals = options.metrics ? SignalCatcher{SIGINT, SIGTERM, SIGHUP} : SignalCatcher{SIGINT, SIGTERM};
    // Before the hosts' sockets can take every descriptor.
    PrepareMessageFormatting();

    COvPingDoc doc;
    CProfile profile;
    LoadSettings(profile, doc);

    CCommandLine commandLine(doc);
    commandLine.HandleArguments(options.args);
    // Hosts of a list file come after those of the command line.
    std::u16string listed;
    if (!options.hostsFile.empty()) {
        const std::optional<std::u16string> file = LoadHostsFile(options.hostsFile, err);
        if (!file) {
            return kExitNotStarted;
        }
        listed = *file;
    }
    const std::u16string hosts = TrimHostEntryText(commandLine.m_strHosts + listed);
    if (hosts.empty()) {
        std::fputs("tapper: no host given\n", err);
        std::fputs(ConsoleUsage(), err);
        return kExitNotStarted;
    }
    if (HasInvalidHostChar(hosts)) {
        PrintLine(err, LoadFormatString(33042, "Invalid IP addresses."));
        return kExitNotStarted;
    }
    if (!BindPingServices()) {
        PrintLine(err, LoadFormatString(33000, "Can't Start NetWork.\nApplication will exit."));
        ExplainPingGroupRange(err);
        return kExitNotStarted;
    }

    if (options.metrics) {
        return RunProbe(ProbeSetup{doc, options, signals, commandLine.m_strHosts, listed}, out, err);
    }
    return ConsoleRun(doc, options, signals).Run(hosts, out, err);
}
