#pragma once
// The probe: the console mode run that serves its hosts' metrics over HTTP
// for a monitoring system until SIGINT or SIGTERM, and re-reads its hosts
// file on SIGHUP.
#include <cstdio>
#include <string>

#include "console_options.h"

class COvPingDoc;
class SignalCatcher;

// What the console start-up hands the probe once the input was checked and
// the ping services bound.
struct ProbeSetup {
    COvPingDoc& doc;  // settings of the run (switches applied)
    const ConsoleOptions& options;
    SignalCatcher& signals;                  // catches SIGINT, SIGTERM and SIGHUP
    const std::u16string& commandLineHosts;  // kept through every re-read
    const std::u16string& listedHosts;       // of the hosts file as first read
};

// Runs the probe and returns the exit status: 0 after a signal ended it,
// 1 when its output could not be written, 2 when the metrics could not be served.
int RunProbe(const ProbeSetup& setup, std::FILE* out, std::FILE* err);
