#include "ChartBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr double kNaND = std::numeric_limits<double>::quiet_NaN();

void PushGap(CHART_REDUCED& out, double key) {
    if (out.upper.empty() || !std::isnan(out.upper.back().value)) {
        out.upper.push_back({key, kNaND});
        out.lower.push_back({key, kNaND});
    }
}

void PushValue(CHART_REDUCED& out, double key, float low, float high, double& lo, double& hi) {
    out.upper.push_back({key, high});
    out.lower.push_back({key, low});
    lo = std::min(lo, double(low));
    hi = std::max(hi, double(high));
}

}  // namespace

void CChartBuffer::COLUMN::Add(float v) noexcept {
    if (std::isnan(v)) {
        bits |= (bits & kFinite) ? kGapAfter : kGapBefore;
    } else if (bits & kFinite) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    } else {
        lo = hi = v;
        bits |= kFinite;
    }
}

void CChartBuffer::COLUMN::Merge(const SUMMARY& s, std::uint8_t b) noexcept {
    if (b & kGapBefore) {
        bits |= (bits & kFinite) ? kGapAfter : kGapBefore;
    }
    if (b & kFinite) {
        if (bits & kFinite) {
            lo = std::min(lo, s.lo);
            hi = std::max(hi, s.hi);
        } else {
            lo = s.lo;
            hi = s.hi;
            bits |= kFinite;
        }
    }
    bits |= b & kGapAfter;
}

template <class T>
void CChartBuffer::Reach(std::vector<T>& ring, std::size_t slot, std::size_t capacity, const T& fill) {
    if (slot < ring.size()) {
        return;
    }
    // Doubling, but never past the capacity: a full ring holds exactly that.
    const std::size_t size = std::min(capacity, std::max(slot + 1, 2 * ring.size()));
    ring.reserve(size);
    ring.resize(size, fill);
}

std::size_t CChartBuffer::SummaryCapacity() const noexcept {
    return std::size_t(m_capacity) / kBucket + 2;
}

std::int64_t CChartBuffer::ColumnStep(double points, int pixels) noexcept {
    const auto step = std::max<std::int64_t>(1, std::int64_t(std::ceil(points / std::max(1, pixels))));
    if (step <= kBucket) {
        return step;
    }
    return (step + kBucket / 2) / kBucket * kBucket;
}

void CChartBuffer::Reset(int series, int capacity) {
    m_series.clear();
    m_series.shrink_to_fit();
    m_series.resize(std::size_t(series));
    m_capacity = std::max(1, capacity);
    m_first = m_end = 0;
}

void CChartBuffer::Store(SERIES& s, std::int64_t point, float v) {
    const std::size_t slot = std::size_t(point % m_capacity);
    Reach(s.values, slot, std::size_t(m_capacity), kNaN);
    s.values[slot] = v;

    const std::size_t cap = SummaryCapacity();
    const std::size_t sslot = std::size_t((point / kBucket) % std::int64_t(cap));
    Reach(s.sums, sslot, cap, SUMMARY{0, 0});
    Reach(s.bits, sslot, cap, std::uint8_t(0));
    COLUMN c{0, 0, 0};
    if (point % kBucket != 0) {
        c = COLUMN{s.sums[sslot].lo, s.sums[sslot].hi, s.bits[sslot]};
    }
    c.Add(v);
    s.sums[sslot] = {c.lo, c.hi};
    s.bits[sslot] = c.bits;
}

void CChartBuffer::Append(const float* row) {
    float low = std::numeric_limits<float>::infinity();
    float high = -low;
    for (std::size_t i = 0; i < m_series.size(); ++i) {
        Store(m_series[i], m_end, row[i]);
        // NaN compares false both ways: hidden values are passed over.
        low = row[i] < low ? row[i] : low;
        high = row[i] > high ? row[i] : high;
    }
    m_rows.resize(std::size_t(kRecentRows));
    m_rows[std::size_t(m_end % kRecentRows)] = {low, high};
    ++m_end;
    m_first = std::max(m_first, m_end - m_capacity);
}

void CChartBuffer::RebuildSummaries(SERIES& s) {
    s.sums.clear();
    s.bits.clear();
    if (m_first == m_end) {
        return;
    }
    const std::size_t cap = SummaryCapacity();
    for (std::int64_t k = m_first / kBucket; k <= (m_end - 1) / kBucket; ++k) {
        const std::size_t sslot = std::size_t(k % std::int64_t(cap));
        Reach(s.sums, sslot, cap, SUMMARY{0, 0});
        Reach(s.bits, sslot, cap, std::uint8_t(0));
        COLUMN c{0, 0, 0};
        const std::int64_t last = std::min(m_end, (k + 1) * kBucket);
        for (std::int64_t i = std::max(m_first, k * kBucket); i < last; ++i) {
            c.Add(s.values[std::size_t(i % m_capacity)]);
        }
        s.sums[sslot] = {c.lo, c.hi};
        s.bits[sslot] = c.bits;
    }
}

void CChartBuffer::SetCapacity(int capacity) {
    capacity = std::max(1, capacity);
    const std::int64_t first = std::max(m_first, m_end - capacity);
    const std::size_t size = std::size_t(std::min<std::int64_t>(capacity, m_end));
    for (SERIES& s : m_series) {
        std::vector<float> values(size, kNaN);
        for (std::int64_t i = first; i < m_end; ++i) {
            values[std::size_t(i % capacity)] = s.values[std::size_t(i % m_capacity)];
        }
        s.values.swap(values);
    }
    m_capacity = capacity;
    m_first = first;
    for (SERIES& s : m_series) {
        RebuildSummaries(s);
        s.sums.shrink_to_fit();
        s.bits.shrink_to_fit();
    }
}

void CChartBuffer::AddSeries(int count) {
    const std::size_t size = std::size_t(std::min<std::int64_t>(m_capacity, m_end));
    while (m_series.size() < std::size_t(count)) {
        SERIES s;
        s.values.assign(size, kNaN);
        RebuildSummaries(s);
        m_series.push_back(std::move(s));
    }
}

float CChartBuffer::At(int series, std::int64_t point) const noexcept {
    const std::vector<float>& values = m_series[std::size_t(series)].values;
    const std::size_t slot = std::size_t(point % m_capacity);
    return slot < values.size() ? values[slot] : kNaN;
}

void CChartBuffer::Copy(int series, std::int64_t from, std::int64_t to, float* out) const noexcept {
    const std::vector<float>& values = m_series[std::size_t(series)].values;
    // Kept points sit in one run of the ring, or in its end and its start.
    while (from < to) {
        const std::size_t slot = std::size_t(from % m_capacity);
        const std::size_t run = std::min<std::size_t>(std::size_t(to - from), values.size() - slot);
        std::memcpy(out, values.data() + slot, run * sizeof(float));
        out += run;
        from += std::int64_t(run);
    }
}

void CChartBuffer::Extremes(int series, std::int64_t from, std::int64_t to, double& lo, double& hi) const noexcept {
    from = std::max(from, m_first);
    to = std::min(to, m_end);
    const std::vector<float>& values = m_series[std::size_t(series)].values;
    float low = std::numeric_limits<float>::infinity();
    float high = -low;
    while (from < to) {
        const std::size_t slot = std::size_t(from % m_capacity);
        const std::size_t run = std::min<std::size_t>(std::size_t(to - from), values.size() - slot);
        // NaN compares false both ways: hidden points are passed over.
        for (const float v : std::span(values.data() + slot, run)) {
            low = v < low ? v : low;
            high = v > high ? v : high;
        }
        from += std::int64_t(run);
    }
    if (low <= high) {
        lo = std::min(lo, double(low));
        hi = std::max(hi, double(high));
    }
}

bool CChartBuffer::ExtremesOfAll(std::int64_t from, std::int64_t to, double& lo, double& hi) const noexcept {
    from = std::max(from, m_first);
    to = std::min(to, m_end);
    if (from >= to) {
        return true;
    }
    if (from < m_end - kRecentRows) {
        return false;
    }
    float low = std::numeric_limits<float>::infinity();
    float high = -low;
    for (std::int64_t i = from; i < to; ++i) {
        const SUMMARY& row = m_rows[std::size_t(i % kRecentRows)];
        low = std::min(low, row.lo);
        high = std::max(high, row.hi);
    }
    if (low <= high) {
        lo = std::min(lo, double(low));
        hi = std::max(hi, double(high));
    }
    return true;
}

std::size_t CChartBuffer::Bytes() const noexcept {
    std::size_t bytes = m_series.capacity() * sizeof(SERIES) + m_rows.capacity() * sizeof(SUMMARY);
    for (const SERIES& s : m_series) {
        bytes += s.values.capacity() * sizeof(float) + s.sums.capacity() * sizeof(SUMMARY) + s.bits.capacity();
    }
    return bytes;
}

void CChartBuffer::Reduce(int series, std::int64_t from, std::int64_t to, std::int64_t step, CHART_REDUCED& out,
                          double& lo, double& hi) const {
    from = std::max(from, m_first);
    to = std::min(to, m_end - 1);
    if (from > to) {
        return;
    }
    const SERIES& s = m_series[std::size_t(series)];
    const float* values = s.values.data();
    const std::size_t cap = std::size_t(m_capacity);

    if (step <= 1) {
        std::size_t slot = std::size_t(from % m_capacity);
        for (std::int64_t i = from; i <= to; ++i) {
            const float v = values[slot];
            if (std::isnan(v)) {
                PushGap(out, double(i));
            } else {
                PushValue(out, double(i), v, v, lo, hi);
            }
            if (++slot == cap) {
                slot = 0;
            }
        }
        return;
    }

    const std::size_t sumCap = SummaryCapacity();
    for (std::int64_t c = from / step; c <= to / step; ++c) {
        const std::int64_t begin = std::max(c * step, m_first);
        const std::int64_t end = std::min((c + 1) * step, m_end);
        COLUMN col{0, 0, 0};
        std::size_t slot = std::size_t(begin % m_capacity);
        for (std::int64_t i = begin; i < end;) {
            if (i % kBucket == 0 && i + kBucket <= end) {
                const std::size_t sslot = std::size_t((i / kBucket) % std::int64_t(sumCap));
                col.Merge(s.sums[sslot], s.bits[sslot]);
                i += kBucket;
                slot += kBucket;
                if (slot >= cap) {
                    slot -= cap;
                }
            } else {
                col.Add(values[slot]);
                ++i;
                if (++slot == cap) {
                    slot = 0;
                }
            }
        }
        // Beside a gap the column's values reach its edge, so that a column
        // between two gaps still shows as a band one column wide.
        const double left = double(c * step);
        const double right = left + double(step - 1);
        if (!(col.bits & kFinite)) {
            PushGap(out, left);
            continue;
        }
        if (col.bits & kGapBefore) {
            PushGap(out, left);
            PushValue(out, left, col.lo, col.hi, lo, hi);
        }
        PushValue(out, (left + right) / 2.0, col.lo, col.hi, lo, hi);
        if (col.bits & kGapAfter) {
            PushValue(out, right, col.lo, col.hi, lo, hi);
            PushGap(out, right);
        }
    }
}
