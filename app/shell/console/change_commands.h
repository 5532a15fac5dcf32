#pragma once
// The console's --on-change commands: one shell command run for each change
// of a host's state, with the facts in its environment only, a few at a time,
// each stopped after a time limit, without the caller ever waiting for one.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/unique_fd.h"

// Facts of one change as the command receives them, in TAPPER_HOST,
// TAPPER_ADDRESS, TAPPER_STATE, TAPPER_PREVIOUS_STATE, TAPPER_SINCE,
// TAPPER_LOST and TAPPER_LAST_RTT_MS.
struct ChangeFacts {
    std::string host;
    std::string address;    // dotted, "" before the name resolved
    std::string state;      // up, down, slow
    std::string previous;   // unknown, up, down, slow
    std::string since;      // ISO 8601 with the offset from UTC
    std::string lost;       // a whole number
    std::string lastRttMs;  // "1.234"; "" before the first reply
};

// Runs a command through /bin/sh -c for each change. The command text is
// passed as it is; facts reach it only through its environment, so nothing of
// a host name is ever read as shell text. Each command runs in a process
// group of its own, with standard input from /dev/null and its output on the
// error stream (standard output keeps the records alone). A reaper thread
// starts the commands, reaps them, stops a whole group that outlives the time
// limit (SIGKILL) and says on the error stream how each one ended.
class CChangeCommands {
public:
    struct Limits {
        unsigned running = 4;                      // commands at a time (at least 1)
        unsigned waiting = 16;                     // changes that wait for a free place; later ones are dropped
        std::chrono::milliseconds timeout{30000};  // a command running longer is stopped
    };

    // err receives the messages and the commands' output; it outlives this object.
    CChangeCommands(std::string command, std::FILE* err, const Limits& limits);
    // Waits until every change taken has had its command, each within its
    // time limit.
    ~CChangeCommands();
    CChangeCommands(const CChangeCommands&) = delete;
    CChangeCommands& operator=(const CChangeCommands&) = delete;

    // Takes a change: its command starts at once when fewer than the limit
    // run, waits when the waiting places allow, and is dropped otherwise (said
    // on err). Never waits for a command.
    void Run(const ChangeFacts& facts);
    // Waits until no command runs or waits.
    void WaitIdle();

private:
    struct Child {
        int pid = -1;
        ov::UniqueFd pidFd;  // readable once the child ended; invalid without pidfd support
        std::chrono::steady_clock::time_point deadline;
        bool killed = false;
        std::string host;
        std::string state;
    };

    void Reaper() noexcept;
    // Starts the command for facts; the child, or an invalid one (said on err).
    Child Spawn(const ChangeFacts& facts) noexcept;
    // Reaps children that ended and stops those past their deadline.
    void Collect() noexcept;
    void Wake() noexcept;
    void Say(const std::u16string& line) noexcept;

    const std::string m_command;
    std::FILE* const m_err;
    const Limits m_limits;
    ov::UniqueFd m_wake;  // eventfd: a change arrived or the owner is leaving

    std::mutex m_lock;
    std::condition_variable m_idle;
    std::deque<ChangeFacts> m_waiting;
    std::size_t m_runningCount = 0;  // m_running.size(), readable under m_lock
    bool m_leaving = false;

    std::vector<Child> m_running;  // reaper thread only
    std::thread m_thread;
};
