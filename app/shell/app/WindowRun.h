#pragma once
// The window version from the toolkit's application object to the end of the
// process.
#include <functional>
#include <string>
#include <vector>

class CTapperApp;

// What the window takes from the program's own options: the hosts of a host
// list file (after those of the command line) and where to write the results
// when the run ends or the window closes ("" for nowhere).
struct WindowRunFiles {
    std::u16string hosts;
    std::string exportPath;
};

// Runs the window version with the program's arguments (args: the same as
// wide texts, the program name first) and returns its exit status. started,
// when given, is called once the start-up succeeded, before the event loop.
// When a name lookup of the online features is still running at the end, the
// process ends at once with the status instead of returning: the toolkit
// would wait for the lookup for as long as the name server lets it.
int RunWindowMode(int argc, char** argv, std::vector<std::u16string> args,
                  const std::function<void(CTapperApp&)>& started = {}, const WindowRunFiles& files = {});
