// Entry point of the program. Until the window version exists every start
// runs the console mode; "--console" asks for it explicitly.
#include <cstdio>

#include "console.h"
#include "platform/fdlimit.h"

int main(int argc, char** argv) {
    // Each host holds a socket: thousands of hosts need more than the soft limit.
    ov::RaiseOpenFileLimit();
    const ConsoleOptions options = ParseConsoleOptions(argc, argv);
    if (options.help) {
        std::fputs(ConsoleUsage(), stdout);
        return 0;
    }
    if (!options.error.empty()) {
        std::fprintf(stderr, "tapper: %s\n%s", options.error.c_str(), ConsoleUsage());
        return kExitNotStarted;
    }
    if (!options.console) {
        std::fputs("tapper: this build has no window version yet; running in the console "
                   "(--console)\n",
                   stderr);
    }
    return RunConsole(options, stdout, stderr);
}
