#include "metrics_options.h"

#include <arpa/inet.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

// A port number 0 to 65535 in decimal digits only.
bool ParsePort(std::string_view text, std::uint16_t& port) {
    if (text.empty() || text.size() > 5) {
        return false;
    }
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 65535) {
        return false;
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

bool IsIpv4(const std::string& text) {
    in_addr a{};
    return inet_pton(AF_INET, text.c_str(), &a) == 1;
}

bool IsIpv6(const std::string& text) {
    in6_addr a{};
    return inet_pton(AF_INET6, text.c_str(), &a) == 1;
}

// One bound of --buckets; false when text is not a plain decimal number.
bool ParseSeconds(std::string_view text, double& value) {
    if (text.empty() || text.size() > 40 || text.find_first_not_of("0123456789.eE+-") != std::string_view::npos) {
        return false;  // no blanks, hex, "inf" or "nan"
    }
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    value = std::strtod(copy.c_str(), &end);
    return end == copy.c_str() + copy.size() && errno == 0;
}

}  // namespace

std::string MetricsEndpoint::Text() const {
    return (ipv6 ? "[" + address + "]" : address) + ":" + std::to_string(port);
}

std::string ParseMetricsEndpoint(std::string_view text, MetricsEndpoint& endpoint) {
    const std::string shown = "option --metrics: '" + std::string(text) + "' ";
    MetricsEndpoint result;
    std::string_view host = text;
    std::string_view port;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) {
            return shown + "lacks the ']' after the IPv6 address";
        }
        host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') {
            return shown + "has text after the ']' that is not ':PORT'";
        }
        port = rest.empty() ? std::string_view{} : rest.substr(1);
        if (rest.size() == 1) {
            return shown + "has no port after the ':'";
        }
        result.ipv6 = true;
    } else if (const std::size_t colon = text.rfind(':'); colon != std::string_view::npos) {
        if (text.find(':') != colon) {
            return shown + "looks like an IPv6 address: write it in brackets, [::1]:9374";
        }
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (port.empty()) {
            return shown + "has no port after the ':'";
        }
    } else if (!text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos) {
        host = {};
        port = text;  // a port alone
    }
    if (!port.empty() && !ParsePort(port, result.port)) {
        return shown + "has a port that is not a number from 0 to 65535";
    }
    if (!host.empty()) {
        result.address = std::string(host);
        if (result.ipv6 ? !IsIpv6(result.address) : !IsIpv4(result.address)) {
            return shown + (result.ipv6 ? "has no valid IPv6 address in brackets"
                                        : "is not an IPv4 address (a.b.c.d) or [IPv6]:PORT");
        }
    }
    endpoint = result;
    return {};
}

std::vector<double> DefaultBuckets() {
    std::vector<double> bounds;
    double bound = 0.0001;
    for (int i = 0; i < 19; ++i, bound *= 2) {
        bounds.push_back(bound);
    }
    return bounds;
}

std::string ParseBuckets(std::string_view text, std::vector<double>& bounds) {
    const std::string range =
        " (upper bounds in seconds, rising, separated by commas: "
        "0.001,0.01,0.1,1)";
    if (text.empty()) {
        return "option --buckets needs a value" + range;
    }
    std::vector<double> result;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string_view item =
            text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        double value = 0;
        if (!ParseSeconds(item, value)) {
            return "option --buckets: '" + std::string(item) + "' is not a number" + range;
        }
        if (!(value > 0) || !std::isfinite(value)) {
            return "option --buckets: " + std::string(item) + " is not above 0" + range;
        }
        if (!result.empty() && !(value > result.back())) {
            return "option --buckets: " + std::string(item) +
                   " does not rise above the bound "
                   "before it" +
                   range;
        }
        if (result.size() == kMaxBuckets) {
            return "option --buckets: more than " + std::to_string(kMaxBuckets) + " bounds";
        }
        result.push_back(value);
        if (comma == std::string_view::npos) {
            break;
        }
        start = comma + 1;
    }
    bounds = std::move(result);
    return {};
}
