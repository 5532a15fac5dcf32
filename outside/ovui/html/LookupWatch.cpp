#include "LookupWatch.h"

#include <memory>

#include <QAbstractSocket>

namespace {

int g_pending = 0;          // watched lookups not settled yet (GUI thread only)
bool g_leftBehind = false;  // a lookup was left running by a dropped socket

}  // namespace

void WatchNameLookup(QAbstractSocket* socket) {
    if (socket == nullptr) {
        return;
    }
    ++g_pending;
    const auto pending = std::make_shared<bool>(true);
    const auto settle = [pending](bool leftBehind) {
        if (!*pending) {
            return;
        }
        *pending = false;
        --g_pending;
        g_leftBehind = g_leftBehind || leftBehind;
    };
    QObject::connect(socket, &QAbstractSocket::hostFound, socket, [settle] { settle(false); });
    QObject::connect(socket, &QAbstractSocket::errorOccurred, socket, [settle](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::HostNotFoundError) {
            settle(false);  // the lookup itself ended
        }
    });
    QObject::connect(socket, &QAbstractSocket::stateChanged, socket, [settle](QAbstractSocket::SocketState state) {
        // Connecting means the lookup is over; going back to unconnected
        // without either means it was abandoned while it ran.
        if (state == QAbstractSocket::ConnectingState || state == QAbstractSocket::ConnectedState) {
            settle(false);
        } else if (state == QAbstractSocket::UnconnectedState) {
            settle(true);
        }
    });
    QObject::connect(socket, &QObject::destroyed, [settle] { settle(true); });
}

bool NameLookupMayBeRunning() noexcept {
    return g_pending > 0 || g_leftBehind;
}
