#include "metrics/exposition_reader.h"

#include <cmath>
#include <cstdlib>
#include <set>

namespace ov::test {
namespace {

bool IsNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
}
bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9');
}

bool ValidName(std::string_view name, bool label) {
    if (name.empty() || !IsNameStart(name[0]) || (label && name[0] == ':')) {
        return false;
    }
    for (const char c : name) {
        if (!IsNameChar(c) || (label && c == ':')) {
            return false;
        }
    }
    return !(label && name.substr(0, 2) == "__");
}

bool ParseValue(std::string_view text, double& value) {
    if (text == "+Inf") {
        value = HUGE_VAL;
        return true;
    }
    if (text == "-Inf") {
        value = -HUGE_VAL;
        return true;
    }
    // The client library writes "Nan"; the monitoring system reads NaN in any case.
    if (text.size() == 3 && (text[0] | 0x20) == 'n' && (text[1] | 0x20) == 'a' && (text[2] | 0x20) == 'n') {
        value = NAN;
        return true;
    }
    if (text.empty() || text.find_first_not_of("0123456789.eE+-") != std::string_view::npos) {
        return false;
    }
    const std::string copy(text);
    char* end = nullptr;
    value = std::strtod(copy.c_str(), &end);
    return end == copy.c_str() + copy.size();
}

// Reads {a="x",b="y"} at text[pos]; pos ends after the '}'.
bool ParseLabels(std::string_view text, std::size_t& pos, LabelSet& labels, std::string& why) {
    ++pos;  // '{'
    while (pos < text.size() && text[pos] != '}') {
        const std::size_t eq = text.find('=', pos);
        if (eq == std::string_view::npos) {
            why = "label without '='";
            return false;
        }
        const std::string name(text.substr(pos, eq - pos));
        if (!ValidName(name, true)) {
            why = "bad label name '" + name + "'";
            return false;
        }
        pos = eq + 1;
        if (pos >= text.size() || text[pos] != '"') {
            why = "label value not quoted";
            return false;
        }
        std::string value;
        for (++pos;; ++pos) {
            if (pos >= text.size()) {
                why = "label value not closed";
                return false;
            }
            const char c = text[pos];
            if (c == '"') {
                break;
            }
            if (c == '\\') {
                if (++pos >= text.size()) {
                    why = "escape at the end";
                    return false;
                }
                const char e = text[pos];
                if (e == 'n') {
                    value += '\n';
                } else if (e == '\\' || e == '"') {
                    value += e;
                } else {
                    why = "unknown escape in a label value";
                    return false;
                }
            } else if (c == '\n') {
                why = "raw line break in a label value";
                return false;
            } else {
                value += c;
            }
        }
        ++pos;  // closing quote
        if (!labels.emplace(name, value).second) {
            why = "label " + name + " twice";
            return false;
        }
        if (pos < text.size() && text[pos] == ',') {
            ++pos;
            if (pos < text.size() && text[pos] == '}') {
                why = "trailing comma in labels";
                return false;
            }
        } else if (pos >= text.size() || text[pos] != '}') {
            why = "labels not separated by ','";
            return false;
        }
    }
    if (pos >= text.size()) {
        why = "labels not closed";
        return false;
    }
    ++pos;
    return true;
}

// The family a sample name belongs to, given the declared types.
std::string FamilyOf(const std::string& name, const std::map<std::string, std::string>& types) {
    if (types.count(name) != 0) {
        return name;
    }
    for (const char* suffix : {"_bucket", "_sum", "_count"}) {
        const std::string s(suffix);
        if (name.size() > s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0) {
            const std::string base = name.substr(0, name.size() - s.size());
            const auto it = types.find(base);
            if (it != types.end() && (it->second == "histogram" || (it->second == "summary" && s != "_bucket"))) {
                return base;
            }
        }
    }
    return {};
}

std::string CheckHistograms(const Exposition& e) {
    for (const auto& [family, type] : e.types) {
        if (type != "histogram") {
            continue;
        }
        // Per series (labels without le): the buckets in order of appearance.
        std::map<LabelSet, std::vector<std::pair<double, double>>> buckets;
        std::map<LabelSet, double> counts;
        std::set<LabelSet> sums;
        for (const MetricSample& s : e.samples) {
            LabelSet key = s.labels;
            if (s.name == family + "_bucket") {
                const auto le = key.find("le");
                double bound = 0;
                if (le == key.end() || !ParseValue(le->second, bound)) {
                    return family + ": a bucket without a valid le";
                }
                key.erase("le");
                buckets[key].emplace_back(bound, s.value);
            } else if (s.name == family + "_count") {
                counts[key] = s.value;
            } else if (s.name == family + "_sum") {
                sums.insert(key);
            }
        }
        for (const auto& [key, list] : buckets) {
            for (std::size_t i = 1; i < list.size(); ++i) {
                if (!(list[i].first > list[i - 1].first)) {
                    return family + ": bounds do not rise";
                }
                if (list[i].second < list[i - 1].second) {
                    return family + ": counts are not cumulative";
                }
            }
            if (list.empty() || !std::isinf(list.back().first)) {
                return family + ": no +Inf bucket";
            }
            if (counts.count(key) == 0 || counts[key] != list.back().second) {
                return family + ": _count differs from the +Inf bucket";
            }
            if (sums.count(key) == 0) {
                return family + ": no _sum";
            }
        }
        if (counts.size() != buckets.size() || sums.size() != buckets.size()) {
            return family + ": _count or _sum without buckets";
        }
    }
    return {};
}

}  // namespace

Exposition ReadExposition(std::string_view text) {
    Exposition e;
    if (!text.empty() && text.back() != '\n') {
        e.error = "the text does not end with a line break";
        return e;
    }
    std::set<std::string> closedFamilies;  // families whose samples ended
    std::string current;                   // family of the last line
    std::set<std::pair<std::string, LabelSet>> seen;
    std::size_t lineNo = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNo;
        const auto fail = [&](const std::string& why) {
            e.error = "line " + std::to_string(lineNo) + ": " + why + ": " + std::string(line);
        };
        if (line.empty()) {
            fail("empty line");
            return e;
        }
        std::string family;
        if (line[0] == '#') {
            const bool isHelp = line.substr(0, 7) == "# HELP ";
            const bool isType = line.substr(0, 7) == "# TYPE ";
            if (!isHelp && !isType) {
                fail("a comment that is neither HELP nor TYPE");
                return e;
            }
            const std::string_view rest = line.substr(7);
            const std::size_t space = rest.find(' ');
            family = std::string(rest.substr(0, space));
            if (!ValidName(family, false) || space == std::string_view::npos) {
                fail("bad name");
                return e;
            }
            const std::string value(rest.substr(space + 1));
            auto& table = isHelp ? e.help : e.types;
            if (table.count(family) != 0) {
                fail("declared twice");
                return e;
            }
            if (isType) {
                static const std::set<std::string> kTypes = {"counter", "gauge", "histogram", "summary", "untyped"};
                if (kTypes.count(value) == 0) {
                    fail("unknown type");
                    return e;
                }
                for (const MetricSample& s : e.samples) {
                    if (FamilyOf(s.name, {{family, value}}) == family) {
                        fail("TYPE after its samples");
                        return e;
                    }
                }
            }
            table[family] = value;
        } else {
            MetricSample s;
            std::size_t pos = 0;
            while (pos < line.size() && IsNameChar(line[pos])) {
                ++pos;
            }
            s.name = std::string(line.substr(0, pos));
            if (!ValidName(s.name, false)) {
                fail("bad metric name");
                return e;
            }
            std::string why;
            if (pos < line.size() && line[pos] == '{' && !ParseLabels(line, pos, s.labels, why)) {
                fail(why);
                return e;
            }
            if (pos >= line.size() || line[pos] != ' ') {
                fail("no blank before the value");
                return e;
            }
            std::string_view value = line.substr(pos + 1);
            if (const std::size_t sp = value.find(' '); sp != std::string_view::npos) {
                const std::string_view stamp = value.substr(sp + 1);
                if (stamp.empty() || stamp.find_first_not_of("-0123456789") != std::string_view::npos) {
                    fail("bad time stamp");
                    return e;
                }
                value = value.substr(0, sp);
            }
            if (!ParseValue(value, s.value)) {
                fail("bad value");
                return e;
            }
            family = FamilyOf(s.name, e.types);
            if (family.empty()) {
                fail("sample of an undeclared family");
                return e;
            }
            const std::string& type = e.types[family];
            if (type == "counter" && !(s.value >= 0)) {
                fail("counter below 0");
                return e;
            }
            if (!seen.emplace(s.name, s.labels).second) {
                fail("series repeated");
                return e;
            }
            e.samples.push_back(std::move(s));
        }
        if (family != current) {
            if (closedFamilies.count(family) != 0) {
                fail("family split in two");
                return e;
            }
            if (!current.empty()) {
                closedFamilies.insert(current);
            }
            current = family;
        }
    }
    e.error = CheckHistograms(e);
    return e;
}

std::vector<MetricSample> Exposition::Find(const std::string& name, const LabelSet& want) const {
    std::vector<MetricSample> found;
    for (const MetricSample& s : samples) {
        if (s.name != name) {
            continue;
        }
        bool match = true;
        for (const auto& [k, v] : want) {
            const auto it = s.labels.find(k);
            match = match && it != s.labels.end() && it->second == v;
        }
        if (match) {
            found.push_back(s);
        }
    }
    return found;
}

std::optional<double> Exposition::Value(const std::string& name, const LabelSet& want) const {
    const std::vector<MetricSample> found = Find(name, want);
    if (found.size() != 1) {
        return std::nullopt;
    }
    return found.front().value;
}

std::vector<std::string> Exposition::LabelValues(const std::string& name, const std::string& label) const {
    std::set<std::string> values;
    for (const MetricSample& s : Find(name)) {
        if (const auto it = s.labels.find(label); it != s.labels.end()) {
            values.insert(it->second);
        }
    }
    return {values.begin(), values.end()};
}

}  // namespace ov::test
