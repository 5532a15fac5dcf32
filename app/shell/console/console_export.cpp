#include "console_export.h"

#include <cerrno>
#include <ctime>
#include <vector>

#include "OvPingDoc.h"
#include "platform/file_replace.h"

HostSummary SummaryOf(std::u16string name, IPAddr address, std::u16string country, const PING_STATS& stats,
                      const std::vector<PING_EVENT>& events) {
    HostSummary summary;
    summary.name = std::move(name);
    summary.address = address;
    summary.country = std::move(country);
    summary.stats = stats;
    // The counters hold whole milliseconds, as the statistics tree shows them.
    summary.total.sent = stats.sent;
    summary.total.received = stats.sent >= stats.lost ? stats.sent - stats.lost : 0;
    summary.total.minimum = stats.minimum * 1000;
    summary.total.maximum = stats.maximum * 1000;
    summary.total.total = std::uint64_t{stats.total} * 1000;
    std::vector<std::uint32_t> rtts;
    for (const PING_EVENT& event : events) {
        if (event.type == PE_REPLY) {
            rtts.push_back(event.roundTripUs);
        }
    }
    summary.spread = ComputeSpread(rtts);
    return summary;
}

void WriteResults(const COvPingDoc& doc, ExportContent content, std::int64_t now, IConsoleWriter& writer) {
    writer.Begin();
    // One host's ring at a time: the summaries are small, the rings are not.
    std::vector<HostSummary> summaries;
    std::vector<PING_EVENT> events;
    for (UINT i = 0; i < doc.GetHostCount(); ++i) {
        const CHostProbe* host = doc.GetHost(i);
        if (host == nullptr) {
            continue;
        }
        PING_STATS stats{};
        host->CopyStatisticsAndEvents(stats, events);
        std::u16string name = host->GetHostName();
        const IPAddr address = host->GetAddress();
        if (content == ExportContent::Everything) {
            for (const PING_EVENT& event : events) {
                writer.Event(event, name, address);
            }
        }
        summaries.push_back(SummaryOf(std::move(name), address, host->GetCountry(), stats, events));
    }
    for (const HostSummary& summary : summaries) {
        writer.Summary(now, summary);
    }
}

int ExportResults(const COvPingDoc& doc, ConsoleFormat format, ExportContent content, const std::string& path) {
    int writeError = 0;
    errno = 0;
    const bool written = ov::ReplaceFileWith(path, [&](std::FILE* file) {
        const std::unique_ptr<IConsoleWriter> writer = MakeConsoleWriter(format, file);
        WriteResults(doc, content, std::time(nullptr), *writer);
        writeError = writer->Flush();
        return writeError == 0;
    });
    if (written) {
        return 0;
    }
    return writeError != 0 ? writeError : errno != 0 ? errno : EIO;
}
