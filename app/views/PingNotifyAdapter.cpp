#include "PingNotifyAdapter.h"

void CPingNotifyAdapter::PostPingNotify(UINT message, int what, DWORD hostIndex) noexcept {
    Post(message, what, static_cast<qintptr>(hostIndex));
}
