#include "platform/unique_fd.h"

#include <unistd.h>

namespace ov {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        Reset();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

void UniqueFd::Reset() noexcept {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = -1;
}

}  // namespace ov
