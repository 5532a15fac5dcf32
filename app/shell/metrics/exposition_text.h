#pragma once
// Writing the Prometheus text exposition (format 0.0.4) straight into a
// buffer: the endpoint writes thousands of hosts' series on every scrape, so
// label texts are made once per host and numbers go through std::to_chars.
#include <cstdint>
#include <string>
#include <string_view>

namespace ov::metrics {

// Appends value as a label value may stand between its quotes: backslash,
// double quote and line feed escaped.
void AppendLabelValue(std::string& out, std::string_view value);
// Appends name="value" (value escaped).
void AppendLabel(std::string& out, std::string_view name, std::string_view value);

// Appends the "# HELP" and "# TYPE" lines of a family.
void AppendFamilyHead(std::string& out, std::string_view name, std::string_view help, std::string_view type);

// Appends a number as the format writes it: integers in digits, other values
// in the shortest form that reads back the same, "+Inf", "-Inf" and "NaN".
void AppendNumber(std::string& out, std::uint64_t value);
void AppendNumber(std::string& out, double value);
// Appends a bucket bound for its le label as the client library writes it (16
// significant digits, no exponent for everyday bounds: "0.0001", "26.2144"),
// so the series keep the names they had under the library's serializer.
void AppendBound(std::string& out, double bound);

// Appends one sample line: name{labels} value, where labels is the text
// between the braces (none when empty).
template <typename Value>
void AppendSample(std::string& out, std::string_view name, std::string_view labels, Value value) {
    out += name;
    if (!labels.empty()) {
        out += '{';
        out += labels;
        out += '}';
    }
    out += ' ';
    AppendNumber(out, value);
    out += '\n';
}

}  // namespace ov::metrics
