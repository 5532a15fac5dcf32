#pragma once
// Output formatters of the console mode behind one small interface: the
// classic lines of the log list and statistics tree, csv and json.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "HostState.h"
#include "PingTypes.h"
#include "console_options.h"
#include "console_stats.h"

class CHostProbe;

// What a summary says about one host.
struct HostSummary {
    std::u16string name;
    IPAddr address = 0;
    std::u16string country;
    PING_STATS stats{};  // the host's own counters (classic block)
    RttFigures total;    // the run so far, from the events read
    RttSpread spread;    // over the replies the host's ring holds
};

class IConsoleWriter {
public:
    virtual ~IConsoleWriter() = default;
    // Once before anything else (csv: the header line).
    virtual void Begin() = 0;
    // One recorded event of a host.
    virtual void Event(const PING_EVENT& event, std::u16string_view host, IPAddr address) = 0;
    // A host changed state (the console's --down-after and the like).
    virtual void State(const HostTransition& change, std::u16string_view host, IPAddr address) = 0;
    // A periodic summary at time now (seconds since 1970 UTC): the figures
    // since the previous one and the totals.
    virtual void Interval(std::int64_t now, const HostSummary& host, const RttFigures& interval) = 0;
    // The final summary of a host at time now.
    virtual void Summary(std::int64_t now, const HostSummary& host) = 0;
    // Hands what was written to the stream; 0, or the errno of a write that
    // failed since the stream was opened.
    virtual int Flush() = 0;
};

// Everything a summary says about host, whose figures so far are total;
// ring and rtts are scratch space.
HostSummary SummarizeHost(const CHostProbe& host, const RttFigures& total, std::vector<PING_EVENT>& ring,
                          std::vector<std::uint32_t>& rtts);

// Flushes out; 0 when everything written to it so far got out, else the
// errno of the failure (EIO when none was recorded).
int FlushStream(std::FILE* out);

// A writer of that format on out (which outlives it); with states, csv has
// the columns of the state records (previous, lost) too.
std::unique_ptr<IConsoleWriter> MakeConsoleWriter(ConsoleFormat format, std::FILE* out, bool states = false);
// The classic line of a change of state, in the language of the catalogue.
std::u16string ClassicStateLine(const HostTransition& change, std::u16string_view host);

// Local time of t (seconds since 1970 UTC) in ISO 8601 with the offset from
// UTC: "2026-12-08T11:02:03+01:00".
std::string IsoTime(std::int64_t t);
// Dotted address text ("" for 0).
std::string AddressText(IPAddr address);
// Microseconds as milliseconds with three decimals: 1234 -> "1.234".
std::string MsText(double microseconds);
// Status word of an event for csv and json: reply, lost, resolving,
// no-service, no-thread, no-icmp-handle, unresolved, unknown.
const char* StatusWord(std::int32_t type) noexcept;
