#include "probe_metrics.h"

#include <exception>
#include <sstream>

#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

#include "platform/codepage.h"

namespace {

constexpr std::size_t kKinds = static_cast<std::size_t>(ProbeErrorKind::Count_);

constexpr const char* kKindNames[kKinds] = {
    "timeout", "unreachable", "ttl_expired", "icmp_error", "unresolved", "no_socket", "no_service", "no_thread",
};

std::string AddressLabel(IPAddr address) {
    if (address == 0) {
        return {};
    }
    const auto* b = reinterpret_cast<const unsigned char*>(&address);  // network byte order
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." + std::to_string(b[3]);
}

}  // namespace

const char* ProbeErrorKindName(ProbeErrorKind kind) noexcept {
    const auto i = static_cast<std::size_t>(kind);
    return i < kKinds ? kKindNames[i] : "unknown";
}

bool ProbeErrorKindOf(const PING_EVENT& event, ProbeErrorKind& kind) noexcept {
    switch (event.type) {
        case PE_LOST:
            switch (event.reply.Status) {
                case IP_DEST_NET_UNREACHABLE:
                case IP_DEST_HOST_UNREACHABLE:
                case IP_DEST_PROT_UNREACHABLE:
                case IP_DEST_PORT_UNREACHABLE:
                case IP_BAD_DESTINATION:
                    kind = ProbeErrorKind::Unreachable;
                    break;
                case IP_TTL_EXPIRED_TRANSIT:
                case IP_TTL_EXPIRED_REASSEM:
                    kind = ProbeErrorKind::TtlExpired;
                    break;
                case IP_SUCCESS:  // a reply later than the timeout
                case IP_REQ_TIMED_OUT:
                    kind = ProbeErrorKind::Timeout;
                    break;
                default:
                    kind = ProbeErrorKind::IcmpError;
                    break;
            }
            return true;
        case PE_RESOLVE_FAILED:
            kind = ProbeErrorKind::Unresolved;
            return true;
        case PE_NO_ICMP_HANDLE:
            kind = ProbeErrorKind::NoSocket;
            return true;
        case PE_NO_SERVICES:
            kind = ProbeErrorKind::NoService;
            return true;
        case PE_NO_THREAD:
            kind = ProbeErrorKind::NoThread;
            return true;
        default:
            return false;
    }
}

// One host's series. The error counters, the reply gauges and the up gauge
// appear when they first have something to say, so that a host never shows
// a response time it did not measure.
struct CProbeMetrics::HostSeries {
    prometheus::Labels labels;
    prometheus::Counter* requests = nullptr;
    prometheus::Counter* replies = nullptr;
    prometheus::Counter* lost = nullptr;
    prometheus::Histogram* rtt = nullptr;
    std::array<prometheus::Counter*, kKinds> errors{};
    prometheus::Gauge* lastRtt = nullptr;
    prometheus::Gauge* lastReply = nullptr;
    prometheus::Gauge* up = nullptr;
    CHostStateTracker state;

    explicit HostSeries(const AlertThresholds& t) : state(t) {}
};

CProbeMetrics::CProbeMetrics(std::vector<double> bounds, const std::string& version, const AlertThresholds& thresholds)
    : m_registry(std::make_shared<prometheus::Registry>()), m_bounds(std::move(bounds)), m_thresholds(thresholds) {
    auto& r = *m_registry;
    m_requests =
        &prometheus::BuildCounter().Name("tapper_requests_total").Help("Echo requests sent to the host.").Register(r);
    m_replies = &prometheus::BuildCounter()
                     .Name("tapper_replies_total")
                     .Help("Requests answered by a valid reply in time.")
                     .Register(r);
    m_lost = &prometheus::BuildCounter()
                  .Name("tapper_lost_total")
                  .Help("Requests without a valid reply in time (every kind of failure).")
                  .Register(r);
    m_errors = &prometheus::BuildCounter()
                    .Name("tapper_errors_total")
                    .Help(
                        "Failures by kind: timeout, unreachable, ttl_expired, icmp_error "
                        "(lost requests), unresolved, no_socket, no_service, no_thread (host).")
                    .Register(r);
    m_rtt = &prometheus::BuildHistogram()
                 .Name("tapper_response_time_seconds")
                 .Help("Response times of the valid replies.")
                 .Register(r);
    m_lastRtt = &prometheus::BuildGauge()
                     .Name("tapper_last_response_time_seconds")
                     .Help("Response time of the last valid reply.")
                     .Register(r);
    m_lastReply = &prometheus::BuildGauge()
                       .Name("tapper_last_reply_timestamp_seconds")
                       .Help("Time of the last valid reply, seconds since 1970 UTC.")
                       .Register(r);
    m_up = &prometheus::BuildGauge()
                .Name("tapper_host_up")
                .Help(
                    "1 while the host is up (or slow), 0 while it is down; absent until "
                    "known.")
                .Register(r);
    m_hostCount = &prometheus::BuildGauge().Name("tapper_hosts").Help("Hosts the probe pings.").Register(r).Add({});
    prometheus::BuildGauge()
        .Name("tapper_build_info")
        .Help("Always 1; the label version names the program's version.")
        .Register(r)
        .Add({{"version", version}})
        .Set(1);
}

CProbeMetrics::~CProbeMetrics() = default;

std::shared_ptr<prometheus::Collectable> CProbeMetrics::Collectable() const noexcept {
    return m_registry;
}

CProbeMetrics::HostSeries* CProbeMetrics::Series(const std::string& host, IPAddr address, std::u16string_view country) {
    if (const auto it = m_hosts.find(host); it != m_hosts.end()) {
        return it->second.get();
    }
    auto series = std::make_unique<HostSeries>(m_thresholds);
    series->labels = {{"host", host}};
    if (std::string text = AddressLabel(address); !text.empty()) {
        series->labels.emplace("address", std::move(text));
    }
    // " " stands for "no country database", "N/A" for an address the
    // database does not know (loopback and private ranges among them).
    if (country.find_first_not_of(u' ') != std::u16string_view::npos && country != u"N/A") {
        series->labels.emplace("country", ov::WideToUtf8(country));
    }
    series->requests = &m_requests->Add(series->labels);
    series->replies = &m_replies->Add(series->labels);
    series->lost = &m_lost->Add(series->labels);
    series->rtt = &m_rtt->Add(series->labels, m_bounds);
    return m_hosts.emplace(host, std::move(series)).first->second.get();
}

void CProbeMetrics::Record(const std::string& host, const PING_EVENT& event, IPAddr address,
                           std::u16string_view country) noexcept {
    if (event.type == PE_RESOLVING) {
        return;  // the address is not known yet
    }
    try {
        HostSeries& s = *Series(host, address, country);
        ProbeErrorKind kind{};
        if (event.type == PE_REPLY) {
            const double seconds = event.roundTripUs / 1e6;
            s.requests->Increment();
            s.replies->Increment();
            s.rtt->Observe(seconds);
            if (s.lastRtt == nullptr) {
                s.lastRtt = &m_lastRtt->Add(s.labels);
                s.lastReply = &m_lastReply->Add(s.labels);
            }
            s.lastRtt->Set(seconds);
            s.lastReply->Set(static_cast<double>(event.time));
        } else if (ProbeErrorKindOf(event, kind)) {
            if (event.type == PE_LOST) {
                s.requests->Increment();
                s.lost->Increment();
            }
            auto& counter = s.errors[static_cast<std::size_t>(kind)];
            if (counter == nullptr) {
                prometheus::Labels labels = s.labels;
                labels.emplace("kind", ProbeErrorKindName(kind));
                counter = &m_errors->Add(labels);
            }
            counter->Increment();
        }
        s.state.Feed(event);
        const HostState state = s.state.State();
        if (state != HostState::Unknown) {
            if (s.up == nullptr) {
                s.up = &m_up->Add(s.labels);
            }
            s.up->Set(state == HostState::Down ? 0 : 1);
        }
    } catch (const std::exception&) {
        // No memory for a new series: the event goes uncounted, the probe goes on.
    }
}

void CProbeMetrics::RemoveHost(const std::string& host) noexcept {
    const auto it = m_hosts.find(host);
    if (it == m_hosts.end()) {
        return;
    }
    HostSeries& s = *it->second;
    m_requests->Remove(s.requests);
    m_replies->Remove(s.replies);
    m_lost->Remove(s.lost);
    m_rtt->Remove(s.rtt);
    for (prometheus::Counter* counter : s.errors) {
        if (counter != nullptr) {
            m_errors->Remove(counter);
        }
    }
    if (s.lastRtt != nullptr) {
        m_lastRtt->Remove(s.lastRtt);
        m_lastReply->Remove(s.lastReply);
    }
    if (s.up != nullptr) {
        m_up->Remove(s.up);
    }
    m_hosts.erase(it);
}

void CProbeMetrics::SetHostCount(std::size_t count) noexcept {
    m_hostCount->Set(static_cast<double>(count));
}

std::string CProbeMetrics::Exposition() const {
    std::ostringstream out;
    prometheus::TextSerializer().Serialize(out, m_registry->Collect());
    return out.str();
}
