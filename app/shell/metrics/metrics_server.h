#pragma once
// The HTTP endpoint that serves the metrics at /metrics, over the Prometheus
// client library's pull exposer. A GET of /metrics is answered with the text
// the probe writes itself (gzip when the client takes it): the library's own
// serializer needs a second and more for thousands of hosts. Whatever else
// comes in is the exposer's to answer.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "metrics_options.h"

namespace prometheus {
class Collectable;
class Exposer;
}  // namespace prometheus
class CScrapeResponder;

// Serves the metrics at /metrics while it lives; stops and frees the port at
// destruction.
class CMetricsServer {
public:
    CMetricsServer() noexcept;
    ~CMetricsServer();
    CMetricsServer(const CMetricsServer&) = delete;
    CMetricsServer& operator=(const CMetricsServer&) = delete;

    // Writes the whole exposition into out (replacing what it held).
    using TextWriter = std::function<void(std::string& out)>;

    // Starts serving the text of writer on endpoint, and collectable where the
    // exposer answers; 0, or the errno that says why not (EADDRINUSE,
    // EADDRNOTAVAIL, EACCES, ...; EIO when the server gave no reason).
    int Start(const MetricsEndpoint& endpoint, const std::shared_ptr<prometheus::Collectable>& collectable,
              TextWriter writer) noexcept;
    // The port served (the one chosen for port 0); 0 before Start.
    std::uint16_t Port() const noexcept { return m_port; }

private:
    std::shared_ptr<CScrapeResponder> m_responder;
    std::unique_ptr<prometheus::Exposer> m_exposer;
    std::uint16_t m_port = 0;
};

// Whether an Accept-Encoding header value takes gzip (a "gzip" or "*" coding
// whose quality is not 0).
bool AcceptsGzip(std::string_view acceptEncoding) noexcept;
