#include "console_signals.h"

#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

SignalCatcher::SignalCatcher(std::initializer_list<int> signals) noexcept {
    sigemptyset(&m_set);
    for (const int sig : signals) {
        sigaddset(&m_set, sig);
    }
    if (pthread_sigmask(SIG_BLOCK, &m_set, &m_old) == 0) {
        m_blocked = true;
        m_fd = ov::UniqueFd(signalfd(-1, &m_set, SFD_NONBLOCK | SFD_CLOEXEC));
    }
}

void SignalCatcher::Release() noexcept {
    if (m_fd.Valid()) {
        Drain();
    }
    if (m_blocked) {
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
        m_blocked = false;
    }
}

bool SignalCatcher::Drain() noexcept {
    bool any = false;
    while (Take() != 0) {
        any = true;
    }
    return any;
}

int SignalCatcher::Take() noexcept {
    signalfd_siginfo info;
    if (::read(m_fd.Get(), &info, sizeof(info)) == static_cast<ssize_t>(sizeof(info))) {
        return static_cast<int>(info.ssi_signo);
    }
    return 0;
}
