#pragma once
// A strict reader of the Prometheus text exposition for the tests: every
// line must follow the format, every sample belong to a family declared
// before it, no series may repeat, and histograms must be whole (rising
// bounds, cumulative counts, +Inf equal to _count, a _sum).
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ov::test {

using LabelSet = std::map<std::string, std::string>;

struct MetricSample {
    std::string name;
    LabelSet labels;
    double value = 0;
};

struct Exposition {
    std::string error;                         // the first fault found, with its line
    std::map<std::string, std::string> types;  // family -> counter, gauge, histogram...
    std::map<std::string, std::string> help;
    std::vector<MetricSample> samples;

    bool Ok() const { return error.empty(); }
    // Samples named name whose labels include every one of want.
    std::vector<MetricSample> Find(const std::string& name, const LabelSet& want = {}) const;
    // The value of the one sample named name with labels including want.
    std::optional<double> Value(const std::string& name, const LabelSet& want = {}) const;
    // The distinct values of label among the samples named name.
    std::vector<std::string> LabelValues(const std::string& name, const std::string& label) const;
};

Exposition ReadExposition(std::string_view text);

}  // namespace ov::test
