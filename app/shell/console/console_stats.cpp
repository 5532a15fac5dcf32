#include "console_stats.h"

#include <algorithm>
#include <cmath>

void RttFigures::AddReply(std::uint32_t microseconds) noexcept {
    minimum = received == 0 ? microseconds : std::min(minimum, microseconds);
    maximum = received == 0 ? microseconds : std::max(maximum, microseconds);
    ++sent;
    ++received;
    total += microseconds;
}

double RttFigures::LossPercent() const noexcept {
    return sent == 0 ? 0.0 : 100.0 * static_cast<double>(sent - received) / static_cast<double>(sent);
}

double RttFigures::Mean() const noexcept {
    return received == 0 ? 0.0 : static_cast<double>(total) / static_cast<double>(received);
}

double RttStdDev(const std::vector<std::uint32_t>& rtts) {
    if (rtts.size() < 2) {
        return 0.0;
    }
    // Welford's running form: no large sums of squares to cancel.
    double mean = 0;
    double m2 = 0;
    double n = 0;
    for (const std::uint32_t r : rtts) {
        n += 1;
        const double delta = r - mean;
        mean += delta / n;
        m2 += delta * (r - mean);
    }
    return std::sqrt(m2 / n);
}

double RttJitterRfc3550(const std::vector<std::uint32_t>& rtts) {
    double jitter = 0;
    for (std::size_t i = 1; i < rtts.size(); ++i) {
        const double d = std::fabs(static_cast<double>(rtts[i]) - static_cast<double>(rtts[i - 1]));
        jitter += (d - jitter) / 16.0;
    }
    return jitter;
}

double RttPercentile(std::vector<std::uint32_t> rtts, unsigned percent) {
    if (rtts.empty()) {
        return 0.0;
    }
    // ceil(percent * n / 100) in whole numbers: 95 % of 20 is rank 19, exactly.
    std::size_t rank = (std::size_t{percent} * rtts.size() + 99) / 100;
    rank = std::clamp<std::size_t>(rank, 1, rtts.size());
    std::nth_element(rtts.begin(), rtts.begin() + static_cast<std::ptrdiff_t>(rank - 1), rtts.end());
    return rtts[rank - 1];
}

RttSpread ComputeSpread(const std::vector<std::uint32_t>& rtts) {
    RttSpread spread;
    spread.samples = static_cast<std::uint32_t>(rtts.size());
    spread.stddev = RttStdDev(rtts);
    spread.jitter = RttJitterRfc3550(rtts);
    spread.p50 = RttPercentile(rtts, 50);
    spread.p95 = RttPercentile(rtts, 95);
    spread.p99 = RttPercentile(rtts, 99);
    return spread;
}
