#include "metrics_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <exception>
#include <string>
#include <vector>

#include <prometheus/exposer.h>

#include "platform/unique_fd.h"

namespace {

// Worker threads of the server: scrapes are short, and a few connections that
// never send their request hold only some of them, for request timeout at most.
constexpr const char* kServerThreads = "4";
constexpr const char* kRequestTimeoutMs = "5000";
// Connections the kernel holds while every thread is busy: a burst of
// scrapes waits there instead of having its connections dropped and retried
// a second or more later.
constexpr const char* kListenBacklog = "1024";
constexpr const char* kConnectionQueue = "256";

// Binds a socket of our own to the endpoint the way the server will, so that
// a port in use or an address that is not ours is named in the system's
// words rather than in the server's; 0 when the bind works.
int TryBind(const MetricsEndpoint& endpoint) noexcept {
    sockaddr_storage storage{};
    socklen_t size = 0;
    if (endpoint.ipv6) {
        auto& a = reinterpret_cast<sockaddr_in6&>(storage);
        a.sin6_family = AF_INET6;
        a.sin6_port = htons(endpoint.port);
        if (inet_pton(AF_INET6, endpoint.address.c_str(), &a.sin6_addr) != 1) {
            return EINVAL;
        }
        size = sizeof(a);
    } else {
        auto& a = reinterpret_cast<sockaddr_in&>(storage);
        a.sin_family = AF_INET;
        a.sin_port = htons(endpoint.port);
        if (inet_pton(AF_INET, endpoint.address.c_str(), &a.sin_addr) != 1) {
            return EINVAL;
        }
        size = sizeof(a);
    }
    const ov::UniqueFd fd(::socket(storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.Valid()) {
        return errno;
    }
    // As the server does, so that a port in TIME_WAIT counts as free.
    const int on = 1;
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&storage), size) != 0 || ::listen(fd.Get(), 1) != 0) {
        return errno;
    }
    return 0;
}

}  // namespace

CMetricsServer::CMetricsServer() noexcept = default;

CMetricsServer::~CMetricsServer() = default;

int CMetricsServer::Start(const MetricsEndpoint& endpoint,
                          const std::shared_ptr<prometheus::Collectable>& collectable) noexcept {
    if (const int error = TryBind(endpoint); error != 0) {
        return error;
    }
    try {
        std::vector<std::string> options = {
            "listening_ports", endpoint.Text(),  "num_threads",  kServerThreads,     "request_timeout_ms",
            kRequestTimeoutMs, "listen_backlog", kListenBacklog, "connection_queue", kConnectionQueue,
        };
        m_exposer = std::make_unique<prometheus::Exposer>(std::move(options));
        m_exposer->RegisterCollectable(collectable);
        const std::vector<int> ports = m_exposer->GetListeningPorts();
        m_port = ports.empty() ? endpoint.port : static_cast<std::uint16_t>(ports.front());
    } catch (const std::exception&) {
        m_exposer.reset();
        return EIO;  // the server could not start although the address could be bound
    }
    return 0;
}
