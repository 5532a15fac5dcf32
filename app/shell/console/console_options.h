#pragma once
// The console mode's own options: the "--" names beside the single-letter
// switches of the window version, each value checked against its range.
#include <string>
#include <vector>

#include "metrics_options.h"

// Output format of the console mode.
enum class ConsoleFormat { Classic, Csv, Json };

// What the program's own options asked for; everything else is passed on to
// the ping command line.
struct ConsoleOptions {
    bool console = false;  // --console given
    bool help = false;     // --help given
    bool version = false;  // --version given
    bool quiet = false;    // --quiet: summaries only, no event lines
    ConsoleFormat format = ConsoleFormat::Classic;
    unsigned long count = 0;         // --count=N: requests per host; 0 means until a signal
    unsigned long summaryEvery = 0;  // --summary-every=S: seconds; 0 means none
    std::string hostsFile;           // --hosts-file=PATH: more hosts, "-" for standard input
    std::string exportPath;          // --export=PATH: the window's results when the run ends
    // Host states: a record per change once any of these four is given.
    bool states = false;
    unsigned long downAfter = 3;       // --down-after=N: failed requests in a row -> down
    unsigned long upAfter = 2;         // --up-after=M: replies in a row -> up
    unsigned long slowMs = 0;          // --slow-ms=T: slow above T ms; 0 means off
    std::string onChange;              // --on-change=COMMAND: run for each change
    bool metrics = false;              // --metrics[=ADDRESS:PORT]: run as a probe serving metrics
    MetricsEndpoint metricsEndpoint;   // where the metrics are served
    std::vector<double> buckets;       // --buckets=LIST: histogram bounds in seconds
    std::vector<std::u16string> args;  // switches and hosts, in order
    std::string error;                 // the first bad option, said in a sentence
};

// Separates the program's own "--" options from the ping arguments. A long
// ping option ("--delay=200" or "--delay 200") is checked against its range
// and passed on as its single-letter switch ("-d200"); the first bad option
// is described in error.
ConsoleOptions ParseConsoleOptions(int argc, const char* const* argv);

// Usage text of the console mode.
const char* ConsoleUsage() noexcept;
