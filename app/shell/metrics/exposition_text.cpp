#include "exposition_text.h"

#include <array>
#include <charconv>
#include <cmath>

namespace ov::metrics {

void AppendLabelValue(std::string& out, std::string_view value) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c != '\\' && c != '"' && c != '\n') {
            continue;
        }
        out.append(value, start, i - start);
        out += '\\';
        out += c == '\n' ? 'n' : c;
        start = i + 1;
    }
    out.append(value, start);
}

void AppendLabel(std::string& out, std::string_view name, std::string_view value) {
    out += name;
    out += "=\"";
    AppendLabelValue(out, value);
    out += '"';
}

void AppendFamilyHead(std::string& out, std::string_view name, std::string_view help, std::string_view type) {
    out += "# HELP ";
    out += name;
    out += ' ';
    for (const char c : help) {  // help text escapes backslash and line feed only
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    out += "\n# TYPE ";
    out += name;
    out += ' ';
    out += type;
    out += '\n';
}

void AppendNumber(std::string& out, std::uint64_t value) {
    std::array<char, 24> text;
    const auto end = std::to_chars(text.data(), text.data() + text.size(), value).ptr;
    out.append(text.data(), end);
}

void AppendNumber(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "NaN";
        return;
    }
    if (std::isinf(value)) {
        out += value > 0 ? "+Inf" : "-Inf";
        return;
    }
    std::array<char, 32> text;  // the longest shortest form of a double is 24 characters
    const auto end = std::to_chars(text.data(), text.data() + text.size(), value).ptr;
    out.append(text.data(), end);
}

void AppendBound(std::string& out, double bound) {
    if (!std::isfinite(bound)) {
        AppendNumber(out, bound);
        return;
    }
    std::array<char, 32> text;
    const auto end = std::to_chars(text.data(), text.data() + text.size(), bound, std::chars_format::general, 16).ptr;
    out.append(text.data(), end);
}

}  // namespace ov::metrics
