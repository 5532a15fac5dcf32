// Entry point of the program. The installer switches run their mode without
// a window; "--console" runs the console mode anywhere; every other start
// opens the window, which needs a display.
#include <cstdio>

#include "console.h"
#include "console_output.h"
#include "platform/codepage.h"
#include "platform/fdlimit.h"
#include "setupmode.h"
#include "WindowRun.h"

namespace {

// Start-up messages of the installer modes, one line each on stderr.
void ShowOnStderr(const std::u16string& text, MessageIcon /*icon*/) {
    std::fprintf(stderr, "tapper: %s\n", ov::WideToUtf8(text).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const CCrashReporter crashReporter;
    // Each host holds a socket: thousands of hosts need more than the soft limit.
    ov::RaiseOpenFileLimit();
    std::vector<std::u16string> args;
    for (int i = 0; i < argc; ++i) {
        args.push_back(ov::Utf8ToWide(argv[i]));
    }
    // The console mode is a tool of its own and leaves the registry alone.
    if (CStartup startup(args); startup.ParseMode() != StartMode::Run) {
        return RunInstallerMode(startup, startup.RunCommonSteps(), ShowOnStderr);
    }

    const ConsoleOptions options = ParseConsoleOptions(argc, argv);
    if (!options.error.empty()) {
        std::fprintf(stderr, "tapper: %s\n%s", options.error.c_str(), ConsoleUsage());
        return kExitNotStarted;
    }
    if (options.help || options.version) {
        if (options.help) {
            std::fputs(ConsoleUsage(), stdout);
        } else {
            std::printf("tapper %s\n", OV_TAPPER_VERSION);
        }
        const int error = FlushStream(stdout);
        return error == 0 ? 0 : ReportOutputFailure(error, stderr);
    }
    if (!options.console) {
        if (!HasDisplay()) {
            std::fputs(
                "tapper: no display to open a window on; use --console to ping "
                "without one (tapper --console --help)\n",
                stderr);
            return kExitNotStarted;
        }
        // The window takes the switches and hosts left once the program's own
        // options are out, and a host list file's hosts read before it opens.
        WindowRunFiles files;
        files.exportPath = options.exportPath;
        if (!options.hostsFile.empty()) {
            const std::optional<std::u16string> listed = LoadHostsFile(options.hostsFile, stderr);
            if (!listed) {
                return kExitNotStarted;
            }
            files.hosts = *listed;
        }
        std::vector<std::u16string> windowArgs{args.front()};
        windowArgs.insert(windowArgs.end(), options.args.begin(), options.args.end());
        return RunWindowMode(argc, argv, std::move(windowArgs), {}, files);
    }
    return RunConsole(options, stdout, stderr);
}
