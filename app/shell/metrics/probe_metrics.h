#pragma once
// The probe's metrics for a monitoring system: per host the counters of
// requests, replies, lost requests and errors by kind, a histogram of the
// response times in seconds, the last response time, the time of the last
// reply and whether the host is up; beside them the version and the number of
// hosts. Names and labels are stable (the manual page lists them).
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "HostState.h"
#include "PingTypes.h"

namespace prometheus {
class Collectable;
}  // namespace prometheus

// Why a request or a host failed, as the label kind of tapper_errors_total says it.
enum class ProbeErrorKind : std::uint8_t {
    Timeout,      // no reply in time (or a reply too late)
    Unreachable,  // an ICMP destination unreachable came back
    TtlExpired,   // an ICMP time exceeded came back
    IcmpError,    // another ICMP error came back
    Unresolved,   // the name did not resolve
    NoSocket,     // no ICMP socket could be opened
    NoService,    // no ICMP service at all
    NoThread,     // the host's worker could not start
    Count_
};

// The label value of kind ("timeout", "unreachable", ...).
const char* ProbeErrorKindName(ProbeErrorKind kind) noexcept;
// The kind of a failure event; false for a reply or a resolving event.
bool ProbeErrorKindOf(const PING_EVENT& event, ProbeErrorKind& kind) noexcept;

// The metrics of the probe's hosts, served by the endpoint. Every host keeps
// its counts in one compact record; a collection turns the records into the
// series in one pass (thousands of hosts are collected every few seconds).
// Record, RemoveHost and SetHostCount are called from one thread; the
// endpoint's threads collect at the same time (a lock keeps them apart).
class CProbeMetrics {
public:
    // Histogram bounds in seconds (rising); version for tapper_build_info;
    // thresholds for the up/down state of every host.
    CProbeMetrics(std::vector<double> bounds, const std::string& version, const AlertThresholds& thresholds = {});
    ~CProbeMetrics();
    CProbeMetrics(const CProbeMetrics&) = delete;
    CProbeMetrics& operator=(const CProbeMetrics&) = delete;

    // What the endpoint serves: the series for the library's serializer, and
    // the same as text written directly into a buffer (what scrapes get).
    std::shared_ptr<prometheus::Collectable> Collectable() const noexcept;
    std::function<void(std::string& out)> Writer() const;

    // Counts one event of host (its name as listed). The host's series
    // appear with its first event after the name lookup began, labelled with
    // address (network byte order; 0: none) and country ("", " " or "N/A": none),
    // which are read then and kept.
    void Record(const std::string& host, const PING_EVENT& event, IPAddr address, std::u16string_view country) noexcept;
    // Takes host's series out of the exposition.
    void RemoveHost(const std::string& host) noexcept;
    // Sets tapper_hosts.
    void SetHostCount(std::size_t count) noexcept;
    // Hosts that have series.
    std::size_t SeriesHostCount() const noexcept;

    // The text exposition of everything, as the endpoint serves it.
    std::string Exposition() const;

private:
    class Collector;
    std::shared_ptr<Collector> m_collector;
};
