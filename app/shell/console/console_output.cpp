#include "console_output.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <ctime>

#include "HostProbe.h"
#include "LogText.h"
#include "MsgFormat.h"
#include "StatText.h"
#include "platform/codepage.h"

std::string IsoTime(std::int64_t t) {
    const std::time_t seconds = static_cast<std::time_t>(t);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) {
        return {};
    }
    char text[80];
    const int offset = static_cast<int>(local.tm_gmtoff / 60);
    const int hours = (offset < 0 ? -offset : offset) / 60 % 100;
    const int minutes = (offset < 0 ? -offset : offset) % 60;
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', hours, minutes);
    return text;
}

std::string AddressText(IPAddr address) {
    if (address == 0) {
        return {};
    }
    char text[INET_ADDRSTRLEN] = {};
    in_addr a{};
    a.s_addr = address;
    return inet_ntop(AF_INET, &a, text, sizeof text) != nullptr ? text : "";
}

std::string MsText(double microseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", microseconds / 1000.0);
    return text;
}

const char* StatusWord(std::int32_t type) noexcept {
    switch (type) {
        case PE_REPLY:
            return "reply";
        case PE_LOST:
            return "lost";
        case PE_RESOLVING:
            return "resolving";
        case PE_NO_SERVICES:
            return "no-service";
        case PE_NO_THREAD:
            return "no-thread";
        case PE_NO_ICMP_HANDLE:
            return "no-icmp-handle";
        case PE_RESOLVE_FAILED:
            return "unresolved";
        default:
            return "unknown";
    }
}

HostSummary SummarizeHost(const CHostProbe& host, const RttFigures& total, std::vector<PING_EVENT>& ring,
                          std::vector<std::uint32_t>& rtts) {
    HostSummary summary;
    summary.name = host.GetHostName();
    summary.address = host.GetAddress();
    summary.country = host.GetCountry();
    host.GetStatistics(summary.stats);
    summary.total = total;
    host.CopyEventsSince(0, ring);  // every event the ring holds
    rtts.clear();
    for (const PING_EVENT& event : ring) {
        if (event.type == PE_REPLY) {
            rtts.push_back(event.roundTripUs);
        }
    }
    summary.spread = ComputeSpread(rtts);
    return summary;
}

int FlushStream(std::FILE* out) {
    errno = 0;
    if (std::fflush(out) == 0 && std::ferror(out) == 0) {
        return 0;
    }
    return errno != 0 ? errno : EIO;
}

std::u16string ClassicStateLine(const HostTransition& change, std::u16string_view host) {
    const std::u16string stamp = FormatTimeStamp(change.since);
    const std::u16string name(host);
    const std::u16string rtt = ov::Utf8ToWide(MsText(change.lastRttUs));
    const int lost = static_cast<int>(std::min<DWORD>(change.lost, 0x7FFFFFFF));
    const int away = static_cast<int>(std::clamp<std::int64_t>(change.since - change.previousSince, 0, 0x7FFFFFFF));
    switch (change.to) {
        case HostState::Down:
            if (change.cause == PE_RESOLVE_FAILED) {
                return LoadFormatString(35001, u"[%s_a%]Host %s_b% is down (its name could not be resolved).",
                                        stamp.c_str(), name.c_str());
            }
            if (change.cause != PE_LOST) {
                return LoadFormatString(35002, u"[%s_a%]Host %s_b% is down (it cannot send requests).", stamp.c_str(),
                                        name.c_str());
            }
            return LoadFormatString(35000, u"[%s_a%]Host %s_b% is down (%d_c% requests lost).", stamp.c_str(),
                                    name.c_str(), lost);
        case HostState::Up:
            if (change.from == HostState::Down) {
                return LoadFormatString(35004, u"[%s_a%]Host %s_b% is up again after %d_c% s (%d_d% requests lost).",
                                        stamp.c_str(), name.c_str(), away, lost);
            }
            if (change.from == HostState::Slow) {
                return LoadFormatString(35005, u"[%s_a%]Host %s_b% is no longer slow (last reply %s_c% ms).",
                                        stamp.c_str(), name.c_str(), rtt.c_str());
            }
            return LoadFormatString(35003, u"[%s_a%]Host %s_b% is up.", stamp.c_str(), name.c_str());
        case HostState::Slow:
            if (change.from == HostState::Down) {
                return LoadFormatString(35007,
                                        u"[%s_a%]Host %s_b% is up again after %d_c% s, but slow "
                                        u"(last reply %s_d% ms, %d_e% requests lost).",
                                        stamp.c_str(), name.c_str(), away, rtt.c_str(), lost);
            }
            return LoadFormatString(35006, u"[%s_a%]Host %s_b% is slow (last reply %s_c% ms).", stamp.c_str(),
                                    name.c_str(), rtt.c_str());
        case HostState::Unknown:
            break;
    }
    return {};
}

namespace {

void Put(std::FILE* out, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), out);
}

void PutLine(std::FILE* out, std::u16string_view line) {
    Put(out, ov::WideToUtf8(line));
    std::fputc('\n', out);
}

// The figures of a span as "sent/received/loss%, min/avg/max" for classic.
std::string ClassicFigures(const RttFigures& f) {
    char loss[32];
    std::snprintf(loss, sizeof loss, "%" PRIu64 "/%" PRIu64 "/%.0f%%", f.sent, f.received, f.LossPercent());
    std::string text = std::string("xmt/rcv/%loss = ") + loss;
    if (f.received != 0) {
        text += ", min/avg/max = " + MsText(f.minimum) + "/" + MsText(f.Mean()) + "/" + MsText(f.maximum) + " ms";
    }
    return text;
}

// The classic lines of the log list and the statistics block, with the
// console's own figures after the block.
class ClassicWriter final : public IConsoleWriter {
public:
    explicit ClassicWriter(std::FILE* out) : m_out(out) {}
    void Begin() override {}
    void Event(const PING_EVENT& event, std::u16string_view host, IPAddr) override {
        PutLine(m_out, FormatClassicLine(event, host, m_texts));
    }
    void State(const HostTransition& change, std::u16string_view host, IPAddr) override {
        PutLine(m_out, ClassicStateLine(change, host));
    }
    void Interval(std::int64_t now, const HostSummary& host, const RttFigures& interval) override {
        Put(m_out, ov::WideToUtf8(FormatTimeStamp(now)) + " " + ov::WideToUtf8(host.name) + " : interval " +
                       ClassicFigures(interval) + "; total " + ClassicFigures(host.total) + "\n");
    }
    void Summary(std::int64_t, const HostSummary& host) override {
        std::fputc('\n', m_out);
        PutLine(m_out, host.name);
        for (const std::u16string& line : FormatStatLines(host.stats, host.address, host.country)) {
            PutLine(m_out, line);
        }
        const RttSpread& s = host.spread;
        if (s.samples == 0) {
            Put(m_out,
                "Response time Std deviation: N/A\nJitter (RFC 3550): N/A\n"
                "Response time 50th/95th/99th percentile: N/A\n");
        } else {
            Put(m_out, "Response time Std deviation:" + MsText(s.stddev) + "ms\n");
            Put(m_out, "Jitter (RFC 3550):" + MsText(s.jitter) + "ms\n");
            Put(m_out, "Response time 50th/95th/99th percentile:" + MsText(s.p50) + "/" + MsText(s.p95) + "/" +
                           MsText(s.p99) + "ms\n");
        }
    }
    int Flush() override { return FlushStream(m_out); }

private:
    std::FILE* m_out;
    const CLogTexts m_texts;
};

// One csv field quoted as RFC 4180 asks: in double quotes when it holds a
// comma, a quote or a line break, quotes doubled.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

// csv: one header line, then one record per line. Events fill the first
// columns; interval, total and summary records fill the figure columns.
class CsvWriter final : public IConsoleWriter {
public:
    CsvWriter(std::FILE* out, bool states) : m_out(out), m_end(states ? ",,\n" : "\n") {}
    void Begin() override {
        Put(m_out,
            "record,time,host,address,status,bytes,rtt_ms,ttl,sent,received,loss_pct,min_ms,"
            "avg_ms,max_ms,stddev_ms,jitter_rfc3550_ms,p50_ms,p95_ms,p99_ms");
        Put(m_out, m_end == "\n" ? "\n" : ",previous,lost\n");
    }
    // The state fills status (the new state), rtt_ms (the last reply) and
    // the two columns of its own.
    void State(const HostTransition& change, std::u16string_view host, IPAddr address) override {
        Put(m_out, "state," + IsoTime(change.since) + "," + CsvField(ov::WideToUtf8(host)) + "," +
                       AddressText(address) + "," + HostStateWord(change.to) + ",," +
                       (change.lastRttUs != 0 ? MsText(change.lastRttUs) : "") + ",,,,,,,,,,,,," +
                       HostStateWord(change.from) + "," + std::to_string(change.lost) + "\n");
    }
    void Event(const PING_EVENT& event, std::u16string_view host, IPAddr address) override {
        std::string line = "event," + IsoTime(event.time) + "," + CsvField(ov::WideToUtf8(host)) + "," +
                           AddressText(address) + "," + StatusWord(event.type) + ",";
        if (event.type == PE_REPLY) {
            line += std::to_string(event.reply.DataSize) + "," + MsText(event.roundTripUs) + "," +
                    std::to_string(event.reply.Options.Ttl);
        } else {
            line += ",,";
        }
        Put(m_out, line + ",,,,,,,,,,," + m_end);
    }
    void Interval(std::int64_t now, const HostSummary& host, const RttFigures& interval) override {
        Figures("interval", now, host, interval, nullptr);
        Figures("total", now, host, host.total, &host.spread);
    }
    void Summary(std::int64_t now, const HostSummary& host) override {
        Figures("summary", now, host, host.total, &host.spread);
    }
    int Flush() override { return FlushStream(m_out); }

private:
    void Figures(const char* record, std::int64_t now, const HostSummary& host, const RttFigures& f,
                 const RttSpread* spread) {
        char loss[32];
        std::snprintf(loss, sizeof loss, "%.1f", f.LossPercent());
        std::string line = std::string(record) + "," + IsoTime(now) + "," + CsvField(ov::WideToUtf8(host.name)) + "," +
                           AddressText(host.address) + ",,,,," + std::to_string(f.sent) + "," +
                           std::to_string(f.received) + "," + loss + ",";
        if (f.received != 0) {
            line += MsText(f.minimum) + "," + MsText(f.Mean()) + "," + MsText(f.maximum) + ",";
        } else {
            line += ",,,";
        }
        if (spread != nullptr && spread->samples != 0) {
            line += MsText(spread->stddev) + "," + MsText(spread->jitter) + "," + MsText(spread->p50) + "," +
                    MsText(spread->p95) + "," + MsText(spread->p99);
        } else {
            line += ",,,,";
        }
        Put(m_out, line + m_end);
    }

    std::FILE* m_out;
    const std::string m_end;  // what ends a record that has no state columns to fill
};

// A JSON string literal of UTF-8 text.
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// json: one object per line ("JSON lines"); "type" says which kind.
class JsonWriter final : public IConsoleWriter {
public:
    explicit JsonWriter(std::FILE* out) : m_out(out) {}
    void Begin() override {}
    void Event(const PING_EVENT& event, std::u16string_view host, IPAddr address) override {
        std::string line = "{\"type\":\"event\",\"time\":" + JsonString(IsoTime(event.time)) +
                           ",\"host\":" + JsonString(ov::WideToUtf8(host)) + ",\"address\":" + Address(address) +
                           ",\"status\":\"" + StatusWord(event.type) + "\"";
        if (event.type == PE_REPLY) {
            line += ",\"bytes\":" + std::to_string(event.reply.DataSize) + ",\"rtt_ms\":" + MsText(event.roundTripUs) +
                    ",\"ttl\":" + std::to_string(event.reply.Options.Ttl);
        } else {
            line += ",\"bytes\":null,\"rtt_ms\":null,\"ttl\":null";
        }
        Put(m_out, line + "}\n");
    }
    void State(const HostTransition& change, std::u16string_view host, IPAddr address) override {
        const std::string since = JsonString(IsoTime(change.since));
        Put(m_out, "{\"type\":\"state\",\"time\":" + since + ",\"host\":" + JsonString(ov::WideToUtf8(host)) +
                       ",\"address\":" + Address(address) + ",\"state\":\"" + HostStateWord(change.to) +
                       "\",\"previous\":\"" + HostStateWord(change.from) + "\",\"since\":" + since +
                       ",\"previous_since\":" +
                       (change.previousSince != 0 ? JsonString(IsoTime(change.previousSince)) : "null") +
                       ",\"lost\":" + std::to_string(change.lost) +
                       ",\"last_rtt_ms\":" + (change.lastRttUs != 0 ? MsText(change.lastRttUs) : "null") + "}\n");
    }
    void Interval(std::int64_t now, const HostSummary& host, const RttFigures& interval) override {
        Put(m_out, Head("interval", now, host) + ",\"interval\":{" + Figures(interval) + "},\"total\":{" +
                       Figures(host.total) + "," + Spread(host.spread) + "}}\n");
    }
    void Summary(std::int64_t now, const HostSummary& host) override {
        Put(m_out, Head("summary", now, host) + "," + Figures(host.total) + "," + Spread(host.spread) + "}\n");
    }
    int Flush() override { return FlushStream(m_out); }

private:
    static std::string Address(IPAddr address) { return address == 0 ? "null" : JsonString(AddressText(address)); }
    static std::string Head(const char* type, std::int64_t now, const HostSummary& host) {
        return std::string("{\"type\":\"") + type + "\",\"time\":" + JsonString(IsoTime(now)) +
               ",\"host\":" + JsonString(ov::WideToUtf8(host.name)) + ",\"address\":" + Address(host.address);
    }
    static std::string Figures(const RttFigures& f) {
        char loss[32];
        std::snprintf(loss, sizeof loss, "%.1f", f.LossPercent());
        std::string text = "\"sent\":" + std::to_string(f.sent) + ",\"received\":" + std::to_string(f.received) +
                           ",\"loss_pct\":" + loss;
        if (f.received != 0) {
            text += ",\"min_ms\":" + MsText(f.minimum) + ",\"avg_ms\":" + MsText(f.Mean()) +
                    ",\"max_ms\":" + MsText(f.maximum);
        } else {
            text += ",\"min_ms\":null,\"avg_ms\":null,\"max_ms\":null";
        }
        return text;
    }
    static std::string Spread(const RttSpread& s) {
        if (s.samples == 0) {
            return "\"stddev_ms\":null,\"jitter_rfc3550_ms\":null,\"p50_ms\":null,"
                   "\"p95_ms\":null,\"p99_ms\":null";
        }
        return "\"stddev_ms\":" + MsText(s.stddev) + ",\"jitter_rfc3550_ms\":" + MsText(s.jitter) +
               ",\"p50_ms\":" + MsText(s.p50) + ",\"p95_ms\":" + MsText(s.p95) + ",\"p99_ms\":" + MsText(s.p99);
    }

    std::FILE* m_out;
};

}  // namespace

std::unique_ptr<IConsoleWriter> MakeConsoleWriter(ConsoleFormat format, std::FILE* out, bool states) {
    switch (format) {
        case ConsoleFormat::Csv:
            return std::make_unique<CsvWriter>(out, states);
        case ConsoleFormat::Json:
            return std::make_unique<JsonWriter>(out);
        case ConsoleFormat::Classic:
            break;
    }
    return std::make_unique<ClassicWriter>(out);
}
