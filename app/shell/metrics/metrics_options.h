#pragma once
// The probe's own settings: where the metrics are served and the bounds of
// the response-time histogram, read from the console's option texts.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Port of the metrics endpoint when --metrics names none.
inline constexpr std::uint16_t kDefaultMetricsPort = 9374;
// Address of the metrics endpoint when --metrics names none.
inline constexpr std::string_view kDefaultMetricsAddress = "127.0.0.1";
// Most bucket bounds --buckets takes.
inline constexpr std::size_t kMaxBuckets = 64;

// Where the metrics are served: an IPv4 or IPv6 address and a port (0: any free one).
struct MetricsEndpoint {
    std::string address = std::string(kDefaultMetricsAddress);
    std::uint16_t port = kDefaultMetricsPort;
    bool ipv6 = false;
    // "127.0.0.1:9374" or "[::1]:9374".
    std::string Text() const;
};

// Reads "ADDRESS:PORT", "ADDRESS", ":PORT" or "PORT" ("" gives the
// defaults); IPv6 addresses in brackets. Returns the error sentence, "" when
// endpoint was filled in.
std::string ParseMetricsEndpoint(std::string_view text, MetricsEndpoint& endpoint);

// Upper bounds in seconds of the default histogram: 0.1 ms doubling to 26.2144 s.
std::vector<double> DefaultBuckets();

// Reads a comma-separated list of upper bounds in seconds, rising, each
// above 0 and finite, at most kMaxBuckets. Returns the error sentence, ""
// when bounds was filled in.
std::string ParseBuckets(std::string_view text, std::vector<double>& bounds);
