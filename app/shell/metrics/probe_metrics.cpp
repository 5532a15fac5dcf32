#include "probe_metrics.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <map>
#include <mutex>

#include <prometheus/client_metric.h>
#include <prometheus/collectable.h>
#include <prometheus/metric_family.h>

#include "exposition_text.h"
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

namespace {

using Label = prometheus::ClientMetric::Label;

// One host's counts. The error counters, the reply gauges and the up gauge
// appear when they first have something to say, so that a host never shows
// a response time it did not measure.
struct HostCounts {
    std::vector<Label> labels;  // sorted by name, as the exposition lists them
    std::string labelText;      // the same as the text between a sample's braces
    std::uint64_t requests = 0;
    std::uint64_t replies = 0;
    std::uint64_t lost = 0;
    std::array<std::uint64_t, kKinds> errors{};  // a kind shows once it is above 0
    std::vector<std::uint64_t> buckets;          // per bound, not cumulative; the last one is +Inf
    double rttSum = 0;
    bool replied = false;
    double lastRtt = 0;
    double lastReply = 0;
    bool upKnown = false;
    std::uint64_t up = 0;  // 1: up or slow, 0: down
    CHostStateTracker state;

    explicit HostCounts(const AlertThresholds& t) : state(t) {}
};

// A family's name, help and type, the same for the library's collection and
// the text the endpoint writes itself.
struct FamilyInfo {
    const char* name;
    const char* help;
    prometheus::MetricType type;
    const char* typeName;
};

constexpr FamilyInfo kRequests{"tapper_requests_total", "Echo requests sent to the host.",
                               prometheus::MetricType::Counter, "counter"};
constexpr FamilyInfo kReplies{"tapper_replies_total", "Requests answered by a valid reply in time.",
                              prometheus::MetricType::Counter, "counter"};
constexpr FamilyInfo kLost{"tapper_lost_total", "Requests without a valid reply in time (every kind of failure).",
                           prometheus::MetricType::Counter, "counter"};
constexpr FamilyInfo kErrors{"tapper_errors_total",
                             "Failures by kind: timeout, unreachable, ttl_expired, icmp_error "
                             "(lost requests), unresolved, no_socket, no_service, no_thread (host).",
                             prometheus::MetricType::Counter, "counter"};
constexpr FamilyInfo kRtt{"tapper_response_time_seconds", "Response times of the valid replies.",
                          prometheus::MetricType::Histogram, "histogram"};
constexpr FamilyInfo kLastRtt{"tapper_last_response_time_seconds", "Response time of the last valid reply.",
                              prometheus::MetricType::Gauge, "gauge"};
constexpr FamilyInfo kLastReply{"tapper_last_reply_timestamp_seconds",
                                "Time of the last valid reply, seconds since 1970 UTC.", prometheus::MetricType::Gauge,
                                "gauge"};
constexpr FamilyInfo kUp{"tapper_host_up", "1 while the host is up (or slow), 0 while it is down; absent until known.",
                         prometheus::MetricType::Gauge, "gauge"};
constexpr FamilyInfo kHosts{"tapper_hosts", "Hosts the probe pings.", prometheus::MetricType::Gauge, "gauge"};
constexpr FamilyInfo kBuildInfo{"tapper_build_info", "Always 1; the label version names the program's version.",
                                prometheus::MetricType::Gauge, "gauge"};

prometheus::MetricFamily Family(const FamilyInfo& info, std::size_t reserve) {
    prometheus::MetricFamily family;
    family.name = info.name;
    family.help = info.help;
    family.type = info.type;
    family.metric.reserve(reserve);
    return family;
}
prometheus::ClientMetric& AddSeries(prometheus::MetricFamily& family, const std::vector<Label>& labels) {
    prometheus::ClientMetric& metric = family.metric.emplace_back();
    metric.label = labels;
    return metric;
}

}  // namespace

// The counts of every host, and what the endpoint collects from them: the
// library's families (its serializer answers what the endpoint does not
// write itself), or the text written directly.
class CProbeMetrics::Collector final : public prometheus::Collectable {
public:
    Collector(std::vector<double> bounds, const std::string& version, const AlertThresholds& t);

    std::vector<prometheus::MetricFamily> Collect() const override;
    void WriteText(std::string& out) const;

    mutable std::mutex m_mutex;  // guards everything below against a collection
    const std::vector<double> m_bounds;
    const std::string m_version;
    const AlertThresholds m_thresholds;
    std::map<std::string, HostCounts, std::less<>> m_hosts;
    double m_hostCount = 0;

private:
    template <typename Value>
    void WriteFamily(std::string& out, const FamilyInfo& info, Value HostCounts::*value, bool HostCounts::*shown) const;
    void WriteErrors(std::string& out) const;
    void WriteHistograms(std::string& out) const;

    std::vector<std::string> m_boundTexts;  // ",le=\"0.0001\"" ... ",le=\"+Inf\""
};

CProbeMetrics::Collector::Collector(std::vector<double> bounds, const std::string& version, const AlertThresholds& t)
    : m_bounds(std::move(bounds)), m_version(version), m_thresholds(t) {
    m_boundTexts.reserve(m_bounds.size() + 1);
    for (std::size_t b = 0; b <= m_bounds.size(); ++b) {
        std::string text = ",le=\"";
        ov::metrics::AppendBound(text, b < m_bounds.size() ? m_bounds[b] : std::numeric_limits<double>::infinity());
        text += '"';
        m_boundTexts.push_back(std::move(text));
    }
}

std::vector<prometheus::MetricFamily> CProbeMetrics::Collector::Collect() const {
    const std::lock_guard lock(m_mutex);
    const std::size_t n = m_hosts.size();
    std::vector<prometheus::MetricFamily> families;
    families.reserve(10);
    auto requests = Family(kRequests, n);
    auto replies = Family(kReplies, n);
    auto lost = Family(kLost, n);
    auto errors = Family(kErrors, n);
    auto rtt = Family(kRtt, n);
    auto lastRtt = Family(kLastRtt, n);
    auto lastReply = Family(kLastReply, n);
    auto up = Family(kUp, n);
    for (const auto& [name, h] : m_hosts) {
        AddSeries(requests, h.labels).counter.value = static_cast<double>(h.requests);
        AddSeries(replies, h.labels).counter.value = static_cast<double>(h.replies);
        AddSeries(lost, h.labels).counter.value = static_cast<double>(h.lost);
        for (std::size_t k = 0; k < kKinds; ++k) {
            if (h.errors[k] != 0) {
                prometheus::ClientMetric& metric = errors.metric.emplace_back();
                metric.label.reserve(h.labels.size() + 1);
                metric.label = h.labels;
                metric.label.push_back({"kind", kKindNames[k]});  // sorts after host and the rest
                metric.counter.value = static_cast<double>(h.errors[k]);
            }
        }
        auto& histogram = AddSeries(rtt, h.labels).histogram;
        histogram.bucket.resize(h.buckets.size());
        std::uint64_t cumulative = 0;
        for (std::size_t b = 0; b < h.buckets.size(); ++b) {
            cumulative += h.buckets[b];
            histogram.bucket[b].cumulative_count = cumulative;
            histogram.bucket[b].upper_bound =
                b < m_bounds.size() ? m_bounds[b] : std::numeric_limits<double>::infinity();
        }
        histogram.sample_count = cumulative;
        histogram.sample_sum = h.rttSum;
        if (h.replied) {
            AddSeries(lastRtt, h.labels).gauge.value = h.lastRtt;
            AddSeries(lastReply, h.labels).gauge.value = h.lastReply;
        }
        if (h.upKnown) {
            AddSeries(up, h.labels).gauge.value = static_cast<double>(h.up);
        }
    }
    for (auto* family : {&requests, &replies, &lost, &errors, &rtt, &lastRtt, &lastReply, &up}) {
        if (!family->metric.empty()) {
            families.push_back(std::move(*family));
        }
    }
    auto hosts = Family(kHosts, 1);
    hosts.metric.emplace_back().gauge.value = m_hostCount;
    families.push_back(std::move(hosts));
    auto info = Family(kBuildInfo, 1);
    auto& version = info.metric.emplace_back();
    version.label.push_back({"version", m_version});
    version.gauge.value = 1;
    families.push_back(std::move(info));
    return families;
}

// One sample per host that shows it (shown: nullptr for every host).
template <typename Value>
void CProbeMetrics::Collector::WriteFamily(std::string& out, const FamilyInfo& info, Value HostCounts::*value,
                                           bool HostCounts::*shown) const {
    bool head = false;
    for (const auto& [name, h] : m_hosts) {
        if (shown != nullptr && !(h.*shown)) {
            continue;
        }
        if (!head) {
            ov::metrics::AppendFamilyHead(out, info.name, info.help, info.typeName);
            head = true;
        }
        ov::metrics::AppendSample(out, info.name, h.labelText, h.*value);
    }
}

void CProbeMetrics::Collector::WriteErrors(std::string& out) const {
    bool head = false;
    std::string labels;
    for (const auto& [name, h] : m_hosts) {
        for (std::size_t k = 0; k < kKinds; ++k) {
            if (h.errors[k] == 0) {
                continue;
            }
            if (!head) {
                ov::metrics::AppendFamilyHead(out, kErrors.name, kErrors.help, kErrors.typeName);
                head = true;
            }
            labels = h.labelText;
            labels += ',';
            ov::metrics::AppendLabel(labels, "kind", kKindNames[k]);
            ov::metrics::AppendSample(out, kErrors.name, labels, h.errors[k]);
        }
    }
}

// Per host its count, sum and cumulative buckets, in the order the library writes them.
void CProbeMetrics::Collector::WriteHistograms(std::string& out) const {
    if (m_hosts.empty()) {
        return;
    }
    const std::string name = kRtt.name;
    const std::string count = name + "_count";
    const std::string sum = name + "_sum";
    const std::string bucket = name + "_bucket{";
    ov::metrics::AppendFamilyHead(out, kRtt.name, kRtt.help, kRtt.typeName);
    for (const auto& [host, h] : m_hosts) {
        std::uint64_t total = 0;
        for (const std::uint64_t n : h.buckets) {
            total += n;
        }
        ov::metrics::AppendSample(out, count, h.labelText, total);
        ov::metrics::AppendSample(out, sum, h.labelText, h.rttSum);
        std::uint64_t cumulative = 0;
        for (std::size_t b = 0; b < h.buckets.size(); ++b) {
            cumulative += h.buckets[b];
            out += bucket;
            out += h.labelText;
            out += m_boundTexts[b];
            out += "} ";
            ov::metrics::AppendNumber(out, cumulative);
            out += '\n';
        }
    }
}

void CProbeMetrics::Collector::WriteText(std::string& out) const {
    out.clear();
    const std::lock_guard lock(m_mutex);
    WriteFamily(out, kRequests, &HostCounts::requests, nullptr);
    WriteFamily(out, kReplies, &HostCounts::replies, nullptr);
    WriteFamily(out, kLost, &HostCounts::lost, nullptr);
    WriteErrors(out);
    WriteHistograms(out);
    WriteFamily(out, kLastRtt, &HostCounts::lastRtt, &HostCounts::replied);
    WriteFamily(out, kLastReply, &HostCounts::lastReply, &HostCounts::replied);
    WriteFamily(out, kUp, &HostCounts::up, &HostCounts::upKnown);
    ov::metrics::AppendFamilyHead(out, kHosts.name, kHosts.help, kHosts.typeName);
    ov::metrics::AppendSample(out, kHosts.name, "", m_hostCount);
    ov::metrics::AppendFamilyHead(out, kBuildInfo.name, kBuildInfo.help, kBuildInfo.typeName);
    std::string version;
    ov::metrics::AppendLabel(version, "version", m_version);
    ov::metrics::AppendSample(out, kBuildInfo.name, version, std::uint64_t{1});
}

CProbeMetrics::CProbeMetrics(std::vector<double> bounds, const std::string& version, const AlertThresholds& thresholds)
    : m_collector(std::make_shared<Collector>(std::move(bounds), version, thresholds)) {}

CProbeMetrics::~CProbeMetrics() = default;

std::shared_ptr<prometheus::Collectable> CProbeMetrics::Collectable() const noexcept {
    return m_collector;
}

void CProbeMetrics::Record(const std::string& host, const PING_EVENT& event, IPAddr address,
                           std::u16string_view country) noexcept {
    if (event.type == PE_RESOLVING) {
        return;  // the address is not known yet
    }
    Collector& c = *m_collector;
    try {
        const std::lock_guard lock(c.m_mutex);
        auto it = c.m_hosts.find(host);
        if (it == c.m_hosts.end()) {
            HostCounts counts(c.m_thresholds);
            // Sorted by name: address, country, host.
            if (std::string text = AddressLabel(address); !text.empty()) {
                counts.labels.push_back({"address", std::move(text)});
            }
            // " " stands for "no country database", "N/A" for an address the
            // database does not know (loopback and private ranges among them).
            if (country.find_first_not_of(u' ') != std::u16string_view::npos && country != u"N/A") {
                counts.labels.push_back({"country", ov::WideToUtf8(country)});
            }
            counts.labels.push_back({"host", host});
            for (const Label& label : counts.labels) {
                if (!counts.labelText.empty()) {
                    counts.labelText += ',';
                }
                ov::metrics::AppendLabel(counts.labelText, label.name, label.value);
            }
            counts.buckets.assign(c.m_bounds.size() + 1, 0);
            it = c.m_hosts.emplace(host, std::move(counts)).first;
        }
        HostCounts& h = it->second;
        ProbeErrorKind kind{};
        if (event.type == PE_REPLY) {
            const double seconds = event.roundTripUs / 1e6;
            ++h.requests;
            ++h.replies;
            // The first bound not below the time (a bucket holds times up to its bound).
            const auto bound = std::lower_bound(c.m_bounds.begin(), c.m_bounds.end(), seconds);
            ++h.buckets[static_cast<std::size_t>(bound - c.m_bounds.begin())];
            h.rttSum += seconds;
            h.replied = true;
            h.lastRtt = seconds;
            h.lastReply = static_cast<double>(event.time);
        } else if (ProbeErrorKindOf(event, kind)) {
            if (event.type == PE_LOST) {
                ++h.requests;
                ++h.lost;
            }
            ++h.errors[static_cast<std::size_t>(kind)];
        }
        h.state.Feed(event);
        if (const HostState state = h.state.State(); state != HostState::Unknown) {
            h.up = state == HostState::Down ? 0 : 1;
            h.upKnown = true;
        }
    } catch (const std::exception&) {
        // No memory for a new host: the event goes uncounted, the probe goes on.
    }
}

void CProbeMetrics::RemoveHost(const std::string& host) noexcept {
    const std::lock_guard lock(m_collector->m_mutex);
    if (const auto it = m_collector->m_hosts.find(host); it != m_collector->m_hosts.end()) {
        m_collector->m_hosts.erase(it);
    }
}

void CProbeMetrics::SetHostCount(std::size_t count) noexcept {
    const std::lock_guard lock(m_collector->m_mutex);
    m_collector->m_hostCount = static_cast<double>(count);
}

std::size_t CProbeMetrics::SeriesHostCount() const noexcept {
    const std::lock_guard lock(m_collector->m_mutex);
    return m_collector->m_hosts.size();
}

std::function<void(std::string& out)> CProbeMetrics::Writer() const {
    return [collector = m_collector](std::string& out) { collector->WriteText(out); };
}

std::string CProbeMetrics::Exposition() const {
    std::string text;
    m_collector->WriteText(text);
    return text;
}
