#include "platform/thread.h"

#include <limits.h>

#include <algorithm>
#include <cerrno>
#include <new>

namespace ov {

Thread::~Thread() { Join(); }

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
