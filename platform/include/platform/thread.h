#pragma once
// A joinable thread with a stack of a chosen size. Workers that do little
// need far less than the default 8 MiB, and mapping and unmapping that much
// is a large part of starting and ending a thread when there are thousands.
#include <cstddef>
#include <functional>
#include <pthread.h>

namespace ov {

class Thread {
public:
    Thread() = default;
    // Joins a thread still running.
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Runs body on a new thread with a stack of stackBytes (at least the
    // system's minimum); false when no thread could be started, errno then
    // telling why.
    bool Start(std::function<void()> body, std::size_t stackBytes) noexcept;
    // Waits for the thread to end; nothing when none runs.
    void Join() noexcept;
    bool Joinable() const noexcept { return m_started; }

private:
    static void* Run(void* self) noexcept;

    pthread_t m_thread{};
    bool m_started = false;
    std::function<void()> m_body;
};

// Makes the kernel's table of waiting threads large enough for about threads
// threads of this process. Each host worker waits on a lock word of its own,
// the table the kernel gives a process by default has a few slots per
// processor, and a wake-up walks every waiter that hashed to its slot: with
// thousands of workers each wake-up walked hundreds. Grows the table, never
// shrinks it; false where the system keeps no such table per process or
// refused to grow it (waits then work as before, only slower).
bool ReserveWaitSlots(std::size_t threads) noexcept;

}  // namespace ov
