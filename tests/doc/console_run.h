#pragma once
// Runs the program in console mode as a child process with its output in
// files, for the end-to-end tests.
#include <chrono>
#include <string>
#include <vector>

#include <sys/types.h>

namespace ov::test {

// What a finished run left.
struct ConsoleResult {
    int status = -1;  // exit status; -1 when killed by a signal or not started
    int signal = 0;   // the signal that ended it, if any
    std::string out;
    std::string err;
};

// Path of the built program (from OV_BIN_DIR).
std::string TapperPath();

// One child process; killed and reaped by the destructor if still running.
class ConsoleRun {
public:
    // Starts argv (argv[0] is the program path) with a registry folder of its own.
    explicit ConsoleRun(const std::vector<std::string>& argv);
    ~ConsoleRun();
    ConsoleRun(const ConsoleRun&) = delete;
    ConsoleRun& operator=(const ConsoleRun&) = delete;

    bool Started() const noexcept { return m_pid > 0; }
    // Waits until standard output holds needle; false on timeout or exit.
    bool WaitForOutput(const std::string& needle, std::chrono::milliseconds timeout);
    // The same for standard error.
    bool WaitForError(const std::string& needle, std::chrono::milliseconds timeout);
    // Sends sig to the child.
    void Signal(int sig);
    // Waits for the end (killing the child after timeout) and collects the output.
    ConsoleResult Finish(std::chrono::milliseconds timeout);

private:
    std::string Read(const std::string& path) const;
    bool WaitFor(const std::string& file, const std::string& needle, std::chrono::milliseconds timeout);

    std::string m_dir;
    pid_t m_pid = -1;
    bool m_reaped = false;
    int m_rawStatus = 0;
};

// Lines of text, without their line ends.
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace ov::test
