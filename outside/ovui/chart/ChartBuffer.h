#pragma once
// Scrolling point buffer of the chart control, without any drawing.
//
// Rules: points carry absolute indexes; [First(), End()) are kept. Series s
// keeps point i at slot i % capacity of its value ring (a float, NaN for a
// hidden point) and, for every complete or growing run of kBucket points that
// starts at a multiple of kBucket, a summary (minimum, maximum, gap bits) at
// slot (i / kBucket) % summary capacity. A summary is used only when its whole
// run is still kept. Rings grow on demand up to the capacity, so a short run
// holds only what it wrote.
#include <cstddef>
#include <cstdint>
#include <vector>

// One reduced point handed to the plot; laid out like the plot's own data.
struct CHART_POINT {
    double key;
    double value;
};

// A series reduced for drawing: the maximum of each column (or the point
// itself) in upper, the minimum at the same key in lower; a NaN value in both
// marks a gap.
struct CHART_REDUCED {
    std::vector<CHART_POINT> upper;
    std::vector<CHART_POINT> lower;
};

class CChartBuffer {
public:
    static constexpr int kBucket = 128;

    // Points per reduced column for a window of `points` points on `pixels`
    // pixel columns: at least one pixel's worth, and beyond one summary run a
    // whole number of runs, so that columns are read from summaries only.
    static std::int64_t ColumnStep(double points, int pixels) noexcept;

    // Empties the buffer: series of no points, the next point gets index 0.
    void Reset(int series, int capacity);
    // Keeps the newest min(count, capacity) points.
    void SetCapacity(int capacity);
    // Adds series up to count, hidden for every kept point.
    void AddSeries(int count);
    // Appends one point to every series; row holds SeriesCount() values.
    void Append(const float* row);

    int SeriesCount() const noexcept { return static_cast<int>(m_series.size()); }
    int Capacity() const noexcept { return m_capacity; }
    std::int64_t First() const noexcept { return m_first; }
    std::int64_t End() const noexcept { return m_end; }
    // Kept value, NaN when hidden; the point must be kept.
    float At(int series, std::int64_t point) const noexcept;
    std::size_t Bytes() const noexcept;
    // Copies the values of points [from, to) of a series, NaN where hidden;
    // the points must be kept.
    void Copy(int series, std::int64_t from, std::int64_t to, float* out) const noexcept;
    // Widens lo/hi to the finite values of points [from, to) of a series
    // (clamped to the kept ones).
    void Extremes(int series, std::int64_t from, std::int64_t to, double& lo, double& hi) const noexcept;
    // The same for every series at once, from the extremes across the series
    // that Append notes for the newest kRecentRows points; false, with lo
    // and hi untouched, for points [from, to) that reach back beyond those.
    bool ExtremesOfAll(std::int64_t from, std::int64_t to, double& lo, double& hi) const noexcept;
    static constexpr std::int64_t kRecentRows = 2048;

    // Reduces points [from, to] of a series (clamped to the kept ones) to
    // columns of `step` points aligned to multiples of step: each column gives
    // its maximum and minimum at its centre; where it holds hidden points
    // before (after) its first shown one, a gap and the same extremes at its
    // left (right) edge come before (after) them. A column of hidden points
    // only is a gap. step 1 gives the points themselves. Runs of gaps give
    // one gap.
    // lo/hi widen to the finite values seen.
    void Reduce(int series, std::int64_t from, std::int64_t to, std::int64_t step, CHART_REDUCED& out, double& lo,
                double& hi) const;

private:
    // Gap bits of a run of points.
    enum : std::uint8_t { kFinite = 1, kGapBefore = 2, kGapAfter = 4 };
    struct SUMMARY {
        float lo;
        float hi;
    };
    struct SERIES {
        std::vector<float> values;
        std::vector<SUMMARY> sums;
        std::vector<std::uint8_t> bits;
    };
    // Minimum, maximum and gap bits of a column being reduced.
    struct COLUMN {
        float lo;
        float hi;
        std::uint8_t bits;
        void Add(float v) noexcept;
        void Merge(const SUMMARY& s, std::uint8_t b) noexcept;
    };

    std::size_t SummaryCapacity() const noexcept;
    void Store(SERIES& s, std::int64_t point, float v);
    void RebuildSummaries(SERIES& s);
    template <class T>
    static void Reach(std::vector<T>& ring, std::size_t slot, std::size_t capacity, const T& fill);

    std::vector<SERIES> m_series;
    // Minimum and maximum across the series of point i at i % kRecentRows
    // (lo above hi when every value was hidden), for the newest points.
    std::vector<SUMMARY> m_rows;
    int m_capacity = 1;
    std::int64_t m_first = 0;
    std::int64_t m_end = 0;
};
