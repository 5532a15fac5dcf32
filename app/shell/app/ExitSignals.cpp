#include "ExitSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include <QSocketNotifier>

namespace {

// The pipe's write end for the handler; -1 while no instance is installed.
std::atomic<int> g_writeFd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads it");

extern "C" void OnExitSignal(int signal) {
    const int savedErrno = errno;
    const int fd = g_writeFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const char number = static_cast<char>(signal);
        [[maybe_unused]] const ssize_t written = ::write(fd, &number, 1);
    }
    errno = savedErrno;
}

}  // namespace

CExitSignals::CExitSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal)) {
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        return;
    }
    m_readFd = fds[0];
    m_writeFd = fds[1];
    int expected = -1;
    if (!g_writeFd.compare_exchange_strong(expected, m_writeFd)) {
        return;  // another instance holds the handlers
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_readFd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &CExitSignals::OnReadable);

    struct sigaction action {};
    action.sa_handler = &OnExitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    const bool term = ::sigaction(SIGTERM, &action, &m_previousTerm) == 0;
    const bool hup = ::sigaction(SIGHUP, &action, &m_previousHup) == 0;
    m_installed = term && hup;
    if (!m_installed) {
        if (term) {
            ::sigaction(SIGTERM, &m_previousTerm, nullptr);
        }
        if (hup) {
            ::sigaction(SIGHUP, &m_previousHup, nullptr);
        }
        g_writeFd.store(-1);
    }
}

CExitSignals::~CExitSignals() {
    if (m_installed) {
        ::sigaction(SIGTERM, &m_previousTerm, nullptr);
        ::sigaction(SIGHUP, &m_previousHup, nullptr);
        g_writeFd.store(-1);
    }
    m_notifier.reset();
    for (const int fd : {m_readFd, m_writeFd}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void CExitSignals::OnReadable() {
    char numbers[16];
    bool any = false;
    while (::read(m_readFd, numbers, sizeof(numbers)) > 0) {
        any = true;
    }
    if (any && m_onSignal) {
        m_onSignal();
    }
}
