#include "platform/fdlimit.h"

#include <sys/resource.h>

#include <algorithm>

namespace ov {

bool RaiseOpenFileLimit() noexcept {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return false;
    }
    if (limit.rlim_cur == limit.rlim_max) {
        return true;
    }
    limit.rlim_cur = limit.rlim_max;
    return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

bool InDescriptorReserve(int fd) noexcept {
    rlimit limit{};
    if (fd < 0 || ::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return false;
    }
    const rlim_t reserve = std::min<rlim_t>(kReservedDescriptors, limit.rlim_cur / 4);
    return static_cast<rlim_t>(fd) >= limit.rlim_cur - reserve;
}

}  // namespace ov
