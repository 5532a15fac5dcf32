#pragma once
// Console mode: a ping run without a window. Every host prints its events as
// they happen (classic log lines, csv or json), optionally a summary of every
// host at a fixed interval, and at the end (Ctrl+C, SIGTERM, or after the
// requested number of requests per host) each host's statistics.
#include <cstdio>
#include <optional>
#include <string>

#include "console_options.h"

// Exit status of the console mode.
enum ConsoleExit : int {
    kExitAllReplied = 0,    // every host got at least one reply
    kExitSomeSilent = 1,    // some host got no reply
    kExitNotStarted = 2,    // bad options or input, or no ICMP service
    kExitOutputFailed = 1,  // the output could not be written (its reader gone included)
};

// Says on err why the output could not be written (nothing for a reader that
// went away, EPIPE: that ends a run quietly); the exit status to end with.
int ReportOutputFailure(int error, std::FILE* err);

// The hosts of the host list file at path ("-": standard input) as host
// entry text; nothing, once err was told why, when the list cannot be taken.
std::optional<std::u16string> LoadHostsFile(const std::string& path, std::FILE* err);

// Runs the console mode and returns its exit status. Blocks SIGINT and SIGTERM
// in the calling thread for the run (the first one ends it) and restores the
// mask as soon as the run ends, so that another one ends the process at once.
int RunConsole(const ConsoleOptions& options, std::FILE* out, std::FILE* err);
