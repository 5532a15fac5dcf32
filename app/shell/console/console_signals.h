#pragma once
// Signals of the console mode read from a descriptor instead of a handler.
#include <initializer_list>

#include <signal.h>

#include "platform/unique_fd.h"

// Blocks the given signals in this thread (and the threads it creates later)
// and reads them from a descriptor; the old mask comes back at destruction,
// after signals still pending were consumed.
class SignalCatcher {
public:
    explicit SignalCatcher(std::initializer_list<int> signals = {SIGINT, SIGTERM}) noexcept;
    ~SignalCatcher() { Release(); }
    SignalCatcher(const SignalCatcher&) = delete;
    SignalCatcher& operator=(const SignalCatcher&) = delete;

    // Readable while a signal is pending.
    int Fd() const noexcept { return m_fd.Get(); }
    // Consumes pending signals and restores the old mask: from now on the
    // signals take their usual action, so a second Ctrl+C ends the process
    // at once even while the run is being torn down.
    void Release() noexcept;
    // Consumes pending signals; true when at least one arrived.
    bool Drain() noexcept;
    // Consumes one pending signal and returns its number; 0 when none is pending.
    int Take() noexcept;

private:
    sigset_t m_set;
    sigset_t m_old;
    bool m_blocked = false;
    ov::UniqueFd m_fd;
};
