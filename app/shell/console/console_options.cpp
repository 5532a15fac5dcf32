#include "console_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/codepage.h"

namespace {

// A long option that takes a number in a range.
struct NumberOption {
    const char* name;  // without the leading "--"
    char16_t letter;   // the switch it stands for; 0: the console's own
    unsigned long minimum;
    unsigned long maximum;
    const char* unit;  // for the range in the message
};

constexpr NumberOption kNumberOptions[] = {
    {"delay", u'd', 1, 3600000, " ms"}, {"timeout", u'w', 1, 60000, " ms"},
    {"size", u'l', 0, 65500, " bytes"}, {"ttl", u'i', 1, 255, ""},
    {"tos", u'v', 0, 255, ""},          {"attempts", u'p', 1, 65535, ""},
    {"count", 0, 1, 4294967295ul, ""},  {"summary-every", 0, 1, 86400, " s"},
    {"down-after", 0, 1, 1000, ""},     {"up-after", 0, 1, 1000, ""},
    {"slow-ms", 0, 1, 60000, " ms"},
};

// Decimal digits only, no sign, no blanks; false when not a number or above 2^32-1.
bool ParseUnsigned(std::string_view text, unsigned long& value) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    unsigned long long v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (v > 4294967295ull) {
        return false;
    }
    value = static_cast<unsigned long>(v);
    return true;
}

std::string RangeText(const NumberOption& option) {
    return std::to_string(option.minimum) + " to " + std::to_string(option.maximum) + option.unit;
}

// Applies one number option; returns the error sentence or "".
std::string ApplyNumber(const NumberOption& option, std::string_view value, ConsoleOptions& out) {
    const std::string name = std::string("--") + option.name;
    if (value.empty()) {
        return "option " + name + " needs a value (" + RangeText(option) + ")";
    }
    unsigned long number = 0;
    const bool parsed = ParseUnsigned(value, number);
    if (!parsed && value.find_first_not_of("0123456789") != std::string_view::npos) {
        return "option " + name + ": '" + std::string(value) + "' is not a whole number (" + RangeText(option) + ")";
    }
    if (!parsed || number < option.minimum || number > option.maximum) {
        return "option " + name + ": " + std::string(value) + " is out of range (" + RangeText(option) + ")";
    }
    if (option.letter != 0) {
        std::u16string arg = u"-";
        arg += option.letter;
        arg += ov::Utf8ToWide(std::to_string(number));
        out.args.push_back(std::move(arg));
    } else if (std::strcmp(option.name, "count") == 0) {
        out.count = number;
    } else if (std::strcmp(option.name, "summary-every") == 0) {
        out.summaryEvery = number;
    } else {
        // The host state options.
        out.states = true;
        unsigned long& field = std::strcmp(option.name, "down-after") == 0 ? out.downAfter
                               : std::strcmp(option.name, "up-after") == 0 ? out.upAfter
                                                                           : out.slowMs;
        field = number;
    }
    return {};
}

std::string ApplyFormat(std::string_view value, ConsoleOptions& out) {
    if (value == "classic") {
        out.format = ConsoleFormat::Classic;
    } else if (value == "csv") {
        out.format = ConsoleFormat::Csv;
    } else if (value == "json") {
        out.format = ConsoleFormat::Json;
    } else {
        return "option --format: '" + std::string(value) + "' is not one of classic, csv, json";
    }
    return {};
}

// The probe's options: --metrics takes its value only after "=", as it may
// stand alone before a host. Returns the error sentence, "" when applied.
std::string ApplyProbeOption(std::string_view name, bool hasValue, std::string_view value, ConsoleOptions& out) {
    if (name == "metrics") {
        out.metrics = true;
        return hasValue ? ParseMetricsEndpoint(value, out.metricsEndpoint) : std::string();
    }
    return ParseBuckets(value, out.buckets);
}

// Options that cannot go together; the error sentence or "".
std::string CheckProbeOptions(const ConsoleOptions& options, bool bucketsGiven) {
    if (!options.metrics) {
        return bucketsGiven ? "option --buckets is for the probe (--metrics)" : "";
    }
    if (!options.console) {
        return "option --metrics needs --console";
    }
    if (options.count != 0) {
        return "option --count does not go with --metrics: the probe runs until SIGINT or "
               "SIGTERM";
    }
    if (options.summaryEvery != 0) {
        return "option --summary-every does not go with --metrics: the metrics are the summary";
    }
    if (!options.onChange.empty()) {
        return "option --on-change does not go with --metrics: the monitoring system alerts on "
               "tapper_host_up";
    }
    return {};
}

}  // namespace

ConsoleOptions ParseConsoleOptions(int argc, const char* const* argv) {
    ConsoleOptions options;
    bool bucketsGiven = false;
    auto fail = [&options](std::string message) {
        if (options.error.empty() && !message.empty()) {
            options.error = std::move(message);
        }
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.size() < 3 || arg.substr(0, 2) != "--") {
            options.args.push_back(ov::Utf8ToWide(argv[i]));
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string_view name =
            arg.substr(2, equals == std::string_view::npos ? std::string_view::npos : equals - 2);
        const bool hasValue = equals != std::string_view::npos;
        std::string_view value = hasValue ? arg.substr(equals + 1) : std::string_view{};
        // Flags take no value.
        bool* flag = name == "console"   ? &options.console
                     : name == "help"    ? &options.help
                     : name == "version" ? &options.version
                     : name == "quiet"   ? &options.quiet
                                         : nullptr;
        if (flag != nullptr) {
            if (hasValue) {
                fail("option --" + std::string(name) + " takes no value");
            }
            *flag = true;
            continue;
        }
        if (name == "metrics" || name == "buckets") {
            if (name == "buckets") {
                bucketsGiven = true;
                if (!hasValue && i + 1 < argc) {
                    value = argv[++i];
                }
            }
            if (std::string message = ApplyProbeOption(name, hasValue, value, options); !message.empty()) {
                fail(std::move(message));
            }
            continue;
        }
        const NumberOption* number = nullptr;
        for (const NumberOption& candidate : kNumberOptions) {
            if (name == candidate.name) {
                number = &candidate;
            }
        }
        std::string* path = name == "hosts-file"  ? &options.hostsFile
                            : name == "export"    ? &options.exportPath
                            : name == "on-change" ? &options.onChange
                                                  : nullptr;
        if (number == nullptr && path == nullptr && name != "format") {
            fail("unknown option --" + std::string(name));
            continue;
        }
        // "--name value": the value is the next argument.
        if (!hasValue && i + 1 < argc) {
            value = argv[++i];
        }
        if (path != nullptr) {
            if (value.empty()) {
                fail("option --" + std::string(name) +
                     (path == &options.onChange ? " needs a command" : " needs a file name"));
            }
            *path = value;
            options.states = options.states || !options.onChange.empty();
            continue;
        }
        std::string message = number != nullptr ? ApplyNumber(*number, value, options)
                              : !hasValue && value.empty()
                                  ? std::string("option --format needs a value (classic, csv, json)")
                                  : ApplyFormat(value, options);
        if (!message.empty()) {
            fail(std::move(message));
        }
    }
    if (options.console && !options.exportPath.empty()) {
        fail(
            "option --export is for the window; the console writes its results to standard "
            "output (--format=csv or --format=json)");
    }
    fail(CheckProbeOptions(options, bucketsGiven));
    return options;
}

const char* ConsoleUsage() noexcept {
    return "usage: tapper --console [options] [switches] host...\n"
           "  --count=N          send N requests per host, then print the statistics\n"
           "                     (without it the run lasts until Ctrl+C or SIGTERM)\n"
           "  --format=F         classic (default), csv or json\n"
           "  --summary-every=S  print every host's interval and total figures every S seconds\n"
           "  --quiet            print the summaries (and state records) only, no line per\n"
           "                     event\n"
           "  --hosts-file=PATH  also ping the hosts listed in PATH (- for standard input):\n"
           "                     UTF-8 text, hosts separated as on the command line, # starts\n"
           "                     a comment; at most 10000 hosts\n"
           "  --export=PATH      (window only) write the results to PATH, csv or, for a\n"
           "                     name ending in .json, json, when the run ends or the\n"
           "                     window closes\n"
           "  --delay=MS    (-d) delay between requests, 1 to 3600000 ms\n"
           "  --timeout=MS  (-w) reply timeout, 1 to 60000 ms\n"
           "  --size=BYTES  (-l) data size, 0 to 65500 bytes\n"
           "  --ttl=N       (-i) time-to-live, 1 to 255\n"
           "  --tos=N       (-v) type of service, 0 to 255\n"
           "  --attempts=N  (-p) name-resolution attempts, 1 to 65535\n"
           "  -f  IP flags value 1     -tN  statistics refresh (ms)\n"
           "Host states (any of these four adds a state record for each change):\n"
           "  --down-after=N     down after N failed requests in a row, 1 to 1000 (3);\n"
           "                     a name that does not resolve is down at once\n"
           "  --up-after=M       up after M replies in a row, 1 to 1000 (2)\n"
           "  --slow-ms=T        slow when the last M replies all took longer than T ms,\n"
           "                     1 to 60000 (off)\n"
           "  --on-change=CMD    run CMD with /bin/sh -c for each change; the facts are in\n"
           "                     TAPPER_HOST, TAPPER_ADDRESS, TAPPER_STATE (up, down,\n"
           "                     slow), TAPPER_PREVIOUS_STATE, TAPPER_SINCE, TAPPER_LOST\n"
           "                     and TAPPER_LAST_RTT_MS, never in the command text; at\n"
           "                     most 4 run at a time and 16 wait (more are dropped),\n"
           "                     each is killed after 30 s; its output goes to stderr\n"
           "  --metrics[=ADDRESS:PORT]\n"
           "                     run as a probe: serve the metrics at\n"
           "                     http://ADDRESS:PORT/metrics (default 127.0.0.1:9374)\n"
           "                     until SIGINT or SIGTERM; SIGHUP re-reads --hosts-file\n"
           "  --buckets=S,S,...  (probe) histogram bounds in seconds, rising\n"
           "                     (default 0.0001 doubling to 26.2144)\n"
           "  --help, --version\n"
           "The single-letter switches take the number glued to the letter (-d200) and\n"
           "keep only the bits their setting holds; the long options refuse values out\n"
           "of range. -f leaves the packets as they are; don't-fragment is flags value 2,\n"
           "which only the saved settings can hold.\n"
           "Hosts are separated by blanks, commas or semicolons.\n"
           "Exit status: 0 every host replied, 1 some host got no reply or the output\n"
           "could not be written, 2 bad options or the run could not start.\n"
           "See tapper(1) for the output formats and their fields.\n";
}
