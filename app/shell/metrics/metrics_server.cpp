#include "metrics_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <CivetServer.h>
#include <civetweb.h>
#include <libdeflate.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <exception>
#include <map>
#include <mutex>
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

constexpr const char* kContentType = "text/plain; version=0.0.4; charset=utf-8";
// Level 1 packs the exposition's repeated labels nearly as well as the
// higher ones at a fraction of their time (scrapes of thousands of hosts).
constexpr int kGzipLevel = 1;

std::string_view Trim(std::string_view text) noexcept {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool EqualsNoCase(std::string_view a, std::string_view b) noexcept {
    return a.size() == b.size() && mg_strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// Whether the parameters of a coding ("q=0.5", "q=0") leave it a quality above 0.
bool QualityAboveZero(std::string_view parameters) noexcept {
    while (!parameters.empty()) {
        const auto semicolon = parameters.find(';');
        const std::string_view parameter = Trim(parameters.substr(0, semicolon));
        parameters = semicolon == std::string_view::npos ? std::string_view() : parameters.substr(semicolon + 1);
        if (parameter.size() < 2 || (parameter[0] | 0x20) != 'q' || parameter[1] != '=') {
            continue;
        }
        const std::string_view value = Trim(parameter.substr(2));
        // A quality is 0 to 1 with at most three decimals: only zeros after "0" mean 0.
        return value.find_first_not_of("0.") != std::string_view::npos;
    }
    return true;
}

struct CompressorFree {
    void operator()(libdeflate_compressor* compressor) const noexcept { libdeflate_free_compressor(compressor); }
};

// What one answer needs: the text, and room for it packed.
struct ScrapeBuffers {
    std::string text;
    std::unique_ptr<char[]> packed;
    std::size_t packedCapacity = 0;
    std::unique_ptr<libdeflate_compressor, CompressorFree> compressor;

    // Packs text into packed; the size packed, 0 when it could not be.
    std::size_t Pack();
};

std::size_t ScrapeBuffers::Pack() {
    if (!compressor) {
        compressor.reset(libdeflate_alloc_compressor(kGzipLevel));
        if (!compressor) {
            return 0;
        }
    }
    const std::size_t bound = libdeflate_gzip_compress_bound(compressor.get(), text.size());
    if (bound > packedCapacity) {
        // Only the pages written are taken: the packed text is a tenth of the bound.
        packed = std::make_unique_for_overwrite<char[]>(bound);
        packedCapacity = bound;
    }
    return libdeflate_gzip_compress(compressor.get(), text.data(), text.size(), packed.get(), packedCapacity);
}

void SendAnswer(mg_connection* conn, const char* body, std::size_t size, bool gzip) {
    std::array<char, 24> length{};
    std::to_chars(length.data(), length.data() + length.size() - 1, size);
    mg_response_header_start(conn, 200);
    mg_response_header_add(conn, "Content-Type", kContentType, -1);
    if (gzip) {
        mg_response_header_add(conn, "Content-Encoding", "gzip", -1);
    }
    mg_response_header_add(conn, "Content-Length", length.data(), -1);
    mg_response_header_send(conn);
    mg_write(conn, body, size);
}

}  // namespace

bool AcceptsGzip(std::string_view acceptEncoding) noexcept {
    while (!acceptEncoding.empty()) {
        const auto comma = acceptEncoding.find(',');
        const std::string_view item = acceptEncoding.substr(0, comma);
        acceptEncoding = comma == std::string_view::npos ? std::string_view() : acceptEncoding.substr(comma + 1);
        const auto semicolon = item.find(';');
        const std::string_view coding = Trim(item.substr(0, semicolon));
        if (!EqualsNoCase(coding, "gzip") && !EqualsNoCase(coding, "x-gzip") && coding != "*") {
            continue;
        }
        return semicolon == std::string_view::npos || QualityAboveZero(item.substr(semicolon + 1));
    }
    return false;
}

// Answers the scrapes of one endpoint. One set of buffers is kept between
// scrapes (a scrape of thousands of hosts writes megabytes); scrapes at the
// same time take buffers of their own and free them after.
class CScrapeResponder {
public:
    using TextWriter = CMetricsServer::TextWriter;
    explicit CScrapeResponder(TextWriter writer) : m_writer(std::move(writer)) {}

    // Answers a GET of /metrics; false for any other request.
    bool Answer(mg_connection* conn);

private:
    std::unique_ptr<ScrapeBuffers> Take();
    void Give(std::unique_ptr<ScrapeBuffers> buffers);

    const TextWriter m_writer;
    std::mutex m_mutex;
    std::unique_ptr<ScrapeBuffers> m_spare;
};

bool CScrapeResponder::Answer(mg_connection* conn) {
    const mg_request_info* request = mg_get_request_info(conn);
    if (request == nullptr || std::string_view(request->request_method) != "GET" ||
        std::string_view(request->local_uri) != "/metrics") {
        return false;
    }
    std::unique_ptr<ScrapeBuffers> buffers = Take();
    m_writer(buffers->text);
    const char* accepted = mg_get_header(conn, "Accept-Encoding");
    const std::size_t packed = accepted != nullptr && AcceptsGzip(accepted) ? buffers->Pack() : 0;
    if (packed != 0) {
        SendAnswer(conn, buffers->packed.get(), packed, true);
    } else {
        SendAnswer(conn, buffers->text.data(), buffers->text.size(), false);
    }
    Give(std::move(buffers));
    return true;
}

std::unique_ptr<ScrapeBuffers> CScrapeResponder::Take() {
    {
        const std::lock_guard lock(m_mutex);
        if (m_spare) {
            return std::move(m_spare);
        }
    }
    return std::make_unique<ScrapeBuffers>();
}

void CScrapeResponder::Give(std::unique_ptr<ScrapeBuffers> buffers) {
    const std::lock_guard lock(m_mutex);
    if (!m_spare) {
        m_spare = std::move(buffers);
    }
}

namespace {

// The endpoints of this process by port: the server's request callback gets
// no pointer of ours, so it finds the responder by the port the request came in on.
std::mutex g_routesMutex;
std::map<int, std::weak_ptr<CScrapeResponder>> g_routes;

int BeginRequest(mg_connection* conn) noexcept {
    try {
        const mg_request_info* request = mg_get_request_info(conn);
        std::shared_ptr<CScrapeResponder> responder;
        {
            const std::lock_guard lock(g_routesMutex);
            if (const auto it = g_routes.find(request->server_port); it != g_routes.end()) {
                responder = it->second.lock();
            }
        }
        return responder && responder->Answer(conn) ? 200 : 0;
    } catch (const std::exception&) {
        return 0;  // out of memory before anything was sent: the exposer answers
    }
}

}  // namespace

CMetricsServer::CMetricsServer() noexcept = default;

CMetricsServer::~CMetricsServer() {
    if (m_port != 0) {
        const std::lock_guard lock(g_routesMutex);
        g_routes.erase(m_port);
    }
}

int CMetricsServer::Start(const MetricsEndpoint& endpoint, const std::shared_ptr<prometheus::Collectable>& collectable,
                          TextWriter writer) noexcept {
    if (const int error = TryBind(endpoint); error != 0) {
        return error;
    }
    try {
        std::vector<std::string> options = {
            "listening_ports", endpoint.Text(),  "num_threads",  kServerThreads,     "request_timeout_ms",
            kRequestTimeoutMs, "listen_backlog", kListenBacklog, "connection_queue", kConnectionQueue,
        };
        static const CivetCallbacks callbacks = [] {
            CivetCallbacks c;
            c.begin_request = BeginRequest;
            return c;
        }();
        m_responder = std::make_shared<CScrapeResponder>(std::move(writer));
        m_exposer = std::make_unique<prometheus::Exposer>(std::move(options), &callbacks);
        m_exposer->RegisterCollectable(collectable);
        const std::vector<int> ports = m_exposer->GetListeningPorts();
        m_port = ports.empty() ? endpoint.port : static_cast<std::uint16_t>(ports.front());
        const std::lock_guard lock(g_routesMutex);
        g_routes[m_port] = m_responder;
    } catch (const std::exception&) {
        m_exposer.reset();
        m_port = 0;
        return EIO;  // the server could not start although the address could be bound
    }
    return 0;
}
