#pragma once
// SIGTERM and SIGHUP (a logout, kill) end the window version as File > Exit
// does. The handler only writes the signal's number to a pipe, which is
// async-signal-safe; the GUI thread reads the pipe through a socket notifier
// and runs the exit there, between two events.
#include <csignal>
#include <functional>
#include <memory>

#include <QObject>

class QSocketNotifier;

class CExitSignals final : public QObject {
    Q_OBJECT

public:
    // Installs the handlers (one instance at a time); onSignal runs on the
    // GUI thread for each signal taken. A second signal of a kind takes the
    // system's default action, so that it ends a program that hangs.
    explicit CExitSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    // Puts the previous handlers back and closes the pipe.
    ~CExitSignals() override;
    CExitSignals(const CExitSignals&) = delete;
    CExitSignals& operator=(const CExitSignals&) = delete;

    // Whether the handlers are in place.
    bool IsInstalled() const noexcept { return m_installed; }

private:
    void OnReadable();

    std::function<void()> m_onSignal;
    int m_readFd = -1;
    int m_writeFd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_previousTerm {};
    struct sigaction m_previousHup {};
    bool m_installed = false;
};
