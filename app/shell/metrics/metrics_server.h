#pragma once
// The HTTP endpoint that serves the metrics at /metrics, over the Prometheus
// client library's pull exposer.
#include <cstdint>
#include <memory>

#include "metrics_options.h"

namespace prometheus {
class Collectable;
class Exposer;
}  // namespace prometheus

// Serves one collectable at /metrics while it lives; stops and frees the
// port at destruction.
class CMetricsServer {
public:
    CMetricsServer() noexcept;
    ~CMetricsServer();
    CMetricsServer(const CMetricsServer&) = delete;
    CMetricsServer& operator=(const CMetricsServer&) = delete;

    // Starts serving collectable on endpoint; 0, or the errno that says why
    // not (EADDRINUSE, EADDRNOTAVAIL, EACCES, ...; EIO when the server gave no
    // reason).
    int Start(const MetricsEndpoint& endpoint, const std::shared_ptr<prometheus::Collectable>& collectable) noexcept;
    // The port served (the one chosen for port 0); 0 before Start.
    std::uint16_t Port() const noexcept { return m_port; }

private:
    std::unique_ptr<prometheus::Exposer> m_exposer;
    std::uint16_t m_port = 0;
};
