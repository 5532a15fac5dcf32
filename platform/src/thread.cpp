#include "platform/thread.h"

#include <limits.h>
#include <sys/prctl.h>

#include <algorithm>
#include <cerrno>
#include <new>

#ifndef PR_FUTEX_HASH
#define PR_FUTEX_HASH 78
#define PR_FUTEX_HASH_SET_SLOTS 1
#define PR_FUTEX_HASH_GET_SLOTS 2
#endif

namespace ov {

namespace {

// Four slots a thread, as the kernel sizes the table for the processors; at
// most 65536 slots (4 MiB of kernel memory).
constexpr std::size_t kSlotsPerThread = 4;
constexpr std::size_t kMostSlots = std::size_t{1} << 16;

}  // namespace

bool ReserveWaitSlots(std::size_t threads) noexcept {
    std::size_t wanted = 16;  // the kernel's smallest table
    while (wanted < kMostSlots && wanted / kSlotsPerThread < threads) {
        wanted *= 2;  // a power of two, as the kernel requires
    }
    const int current = ::prctl(PR_FUTEX_HASH, PR_FUTEX_HASH_GET_SLOTS, 0, 0, 0);
    if (current < 0) {
        return false;
    }
    if (static_cast<std::size_t>(current) >= wanted) {
        return true;
    }
    return ::prctl(PR_FUTEX_HASH, PR_FUTEX_HASH_SET_SLOTS, wanted, 0, 0) == 0;
}

Thread::~Thread() {
    Join();
}

void* Thread::Run(void* self) noexcept {
    static_cast<Thread*>(self)->m_body();
    return nullptr;
}

bool Thread::Start(std::function<void()> body, std::size_t stackBytes) noexcept {
    if (m_started) {
        return false;
    }
    m_body = std::move(body);
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) {
        return false;
    }
    int error = pthread_attr_setstacksize(&attributes, std::max<std::size_t>(stackBytes, PTHREAD_STACK_MIN));
    if (error == 0) {
        error = pthread_create(&m_thread, &attributes, &Thread::Run, this);
    }
    m_started = error == 0;
    pthread_attr_destroy(&attributes);
    if (!m_started) {
        errno = error;
    }
    return m_started;
}

void Thread::Join() noexcept {
    if (m_started) {
        pthread_join(m_thread, nullptr);
        m_started = false;
    }
}

}  // namespace ov
