#pragma once
// Console mode: a ping run without a window. Every host prints its events as
// classic log lines as they happen; at the end (Ctrl+C, SIGTERM, or after the
// requested number of requests per host) each host's statistics follow.
#include <cstdio>
#include <string>
#include <vector>

// Exit status of the console mode.
enum ConsoleExit : int {
    kExitAllReplied = 0,  // every host got at least one reply
    kExitSomeSilent = 1,  // some host got no reply
    kExitNotStarted = 2,  // bad input, or no ICMP service
};

// What the program's own options asked for; everything else is passed on to
// the ping command line.
struct ConsoleOptions {
    bool console = false;               // --console given
    bool help = false;                  // --help given
    unsigned long count = 0;            // --count=N: requests per host; 0 means until a signal
    std::vector<std::u16string> args;   // switches and hosts, in order
    std::string error;                  // a malformed option of the program's own
};

// Separates the program's own "--" options from the ping arguments.
ConsoleOptions ParseConsoleOptions(int argc, const char* const* argv);

// Usage text of the console mode.
const char* ConsoleUsage() noexcept;

// Runs the console mode and returns its exit status. Blocks SIGINT and SIGTERM
// in the calling thread for the run (the first one ends it) and restores the
// mask as soon as the run ends, so that another one ends the process at once.
int RunConsole(const ConsoleOptions& options, std::FILE* out, std::FILE* err);
