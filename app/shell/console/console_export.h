#pragma once
// The results of a run written to a file through the console mode's csv and
// json writers, so that a saved file has the same records and fields as the
// console's output: a summary record per host (the statistics tree's
// counters, the spread over the host's ring) and, when asked, every event the
// host's ring holds before them. The file is replaced as a whole or not at all.
#include <cstdint>
#include <string>
#include <vector>

#include "console_options.h"
#include "console_output.h"

class COvPingDoc;

// What an export holds.
enum class ExportContent { Statistics, Everything };

// The summary of a host with counters stats and the ring's events: the
// totals from the counters, the spread over the ring's replies.
HostSummary SummaryOf(std::u16string name, IPAddr address, std::u16string country, const PING_STATS& stats,
                      const std::vector<PING_EVENT>& events);

// Writes every host of doc to writer as of now (seconds since 1970 UTC):
// each host's counters and ring copied at one moment, its events (when
// content asks for them), then one summary per host.
void WriteResults(const COvPingDoc& doc, ExportContent content, std::int64_t now, IConsoleWriter& writer);

// Writes the results of doc in format to path, replacing an earlier file only
// once the new one is complete; 0, or the errno of the failure.
int ExportResults(const COvPingDoc& doc, ConsoleFormat format, ExportContent content, const std::string& path);
