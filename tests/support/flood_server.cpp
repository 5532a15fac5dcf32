#include "support/flood_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Waits up to 50 ms for events on fd; false when they did not come.
bool Ready(int fd, short events) {
    pollfd entry{fd, events, 0};
    return ::poll(&entry, 1, 50) > 0;
}

}  // namespace

FloodServer::FloodServer(QByteArray head, QByteArray unit) : m_head(std::move(head)), m_unit(std::move(unit)) {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(m_listener, 4) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return;
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

FloodServer::~FloodServer() {
    m_stop = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
    if (m_listener >= 0) {
        ::close(m_listener);
    }
}

QString FloodServer::Url(const QString& path) const {
    if (m_port == 0) {
        return {};
    }
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

void FloodServer::Serve() {
    while (!m_stop) {
        if (!Ready(m_listener, POLLIN)) {
            continue;
        }
        struct Client {
            int fd;
            ~Client() {
                if (fd >= 0) {
                    ::close(fd);
                }
            }
        } const client{::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC)};
        if (client.fd >= 0) {
            Flood(client.fd);
        }
    }
}

void FloodServer::Flood(int client) {
    // A send buffer of a fixed size, so that the count shows what the client
    // took give or take twice this much (the kernel doubles it).
    const int buffer = kSendBufferBytes;
    ::setsockopt(client, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    QByteArray request;
    char part[4096];
    while (!m_stop && !request.contains("\r\n\r\n")) {
        if (!Ready(client, POLLIN)) {
            continue;
        }
        const ssize_t got = ::recv(client, part, sizeof part, 0);
        if (got <= 0) {
            return;
        }
        request.append(part, got);
    }
    QByteArray pending = m_head;
    while (!m_stop) {
        if (pending.isEmpty()) {
            pending = m_unit;
        }
        if (!Ready(client, POLLOUT)) {
            continue;
        }
        const ssize_t sent = ::send(client, pending.constData(), static_cast<size_t>(pending.size()), MSG_NOSIGNAL);
        if (sent <= 0) {
            return;  // the client has gone
        }
        m_sent += sent;
        pending.remove(0, sent);
    }
}
