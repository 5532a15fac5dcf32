#include "StatText.h"

#include "MsgFormat.h"
#include "PingServices.h"

namespace {

int I(std::uint32_t v) noexcept {
    return static_cast<int>(v);
}

}  // namespace

StatDerived DeriveStatistics(const PING_STATS& s) noexcept {
    StatDerived d;
    d.received = s.sent - s.lost;
    if (s.sent != 0) {
        // The product is taken in 64 bits so that a long run's loss count
        // cannot wrap it; the result is the same truncated percentage.
        d.lossPercent = static_cast<std::uint32_t>(std::uint64_t{s.lost} * 100u / std::uint64_t{s.sent});
    }
    if (s.sent != s.lost) {
        std::uint32_t average = s.total / (s.sent - s.lost);
        if (average < s.minimum) {
            average = s.minimum;
        }
        if (average > s.maximum) {
            average = s.maximum;
        }
        d.average = average;
    }
    return d;
}

StatLines FormatStatLines(const PING_STATS& s, IPAddr address, std::u16string_view country) {
    const StatDerived d = DeriveStatistics(s);
    const std::u16string where(country);
    StatLines lines;
    lines[0] = FormatIPv4(address);
    lines[1] = LoadFormatString(33027, "Location:%s_a%", where.c_str());
    lines[2] = LoadFormatString(33028, "Packets Sent:%d_a%", I(s.sent));
    lines[3] = LoadFormatString(33029, "Packets Received:%d_a%", I(d.received));
    lines[4] = s.sent != 0 ? LoadFormatString(33030, "Packets Lost:%d_a%(%d_b%% loss)", I(s.lost), I(d.lossPercent))
                           : LoadFormatString(33031, "Packets Lost:%d_a%", I(s.lost));
    if (s.sent != s.lost) {
        lines[5] = LoadFormatString(33032, "Response time Minimum:%d_a%ms", I(s.minimum));
        lines[6] = LoadFormatString(33033, "Response time Maximum:%d_a%ms", I(s.maximum));
        lines[7] = LoadFormatString(33034, "Response time  Average:%d_a%ms", I(d.average));
    } else {
        lines[5] = LoadFormatString(33044, "Response time Minimum: N/A");
        lines[6] = LoadFormatString(33045, "Response time Maximum: N/A");
        lines[7] = LoadFormatString(33035, "Response time  Average: N/A");
    }
    return lines;
}

std::u16string FormatCopyHostText(std::u16string_view host, const StatLines& lines) {
    std::u16string text(host);
    text += u"\r\n";
    for (const std::u16string& line : lines) {
        text += line;
        text += u"\r\n";
    }
    return ClipboardText(std::move(text));
}

std::u16string ClipboardText(std::u16string text) {
    if (!text.empty()) {
        text += u' ';
    }
    return text;
}
