#include "platform/clock.h"

#include <ctime>

DWORD GetTickCount() noexcept {
    return static_cast<DWORD>(ov::MonotonicNanoseconds() / 1000000);
}

std::int64_t _time64(std::int64_t* t) noexcept {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    const std::int64_t seconds = ts.tv_sec;
    if (t != nullptr) {
        *t = seconds;
    }
    return seconds;
}

namespace ov {

std::int64_t MonotonicNanoseconds() noexcept {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

}  // namespace ov
