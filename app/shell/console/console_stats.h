#pragma once
// Figures of the console mode beyond the statistics tree's lines, computed
// from round-trip times in microseconds. Plain functions: no host, no network.
#include <cstdint>
#include <vector>

// Counters and round-trip figures of a span of requests (an interval or a
// whole run). Times in microseconds; the time figures mean something only
// when received != 0.
struct RttFigures {
    std::uint64_t sent = 0;
    std::uint64_t received = 0;
    std::uint32_t minimum = 0;
    std::uint32_t maximum = 0;
    std::uint64_t total = 0;
    // Adds one request's outcome.
    void AddLost() noexcept { ++sent; }
    void AddReply(std::uint32_t microseconds) noexcept;
    // Loss in percent of the requests sent (0 when none were sent).
    double LossPercent() const noexcept;
    // Mean round trip in microseconds.
    double Mean() const noexcept;
};

// Spread of a series of round trips (oldest first), in microseconds.
struct RttSpread {
    std::uint32_t samples = 0;  // replies the figures were taken from
    double stddev = 0;          // population standard deviation
    double jitter = 0;          // RFC 3550 smoothed jitter, see RttJitterRfc3550
    double p50 = 0;
    double p95 = 0;
    double p99 = 0;
};

// Population standard deviation (0 for fewer than two samples).
double RttStdDev(const std::vector<std::uint32_t>& rtts);
// Interarrival jitter as RFC 3550 smooths it: for each pair of consecutive
// round trips D = r[i] - r[i-1] and J += (|D| - J) / 16, starting at J = 0.
double RttJitterRfc3550(const std::vector<std::uint32_t>& rtts);
// The percentile (1 to 100) by the nearest-rank method: the smallest sample
// with at least that percentage of the samples at or below it; 0 for none.
double RttPercentile(std::vector<std::uint32_t> rtts, unsigned percent);
// All of the above for one series.
RttSpread ComputeSpread(const std::vector<std::uint32_t>& rtts);
