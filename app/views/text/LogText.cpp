#include "LogText.h"

#include <cstdio>
#include <ctime>

#include "MsgFormat.h"

namespace {

std::u16string Widen(const char* s) {
    std::u16string out;
    for (; *s != '\0'; ++s) {
        out.push_back(static_cast<unsigned char>(*s));
    }
    return out;
}

std::u16string Number(long long value) {
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%lld", value);
    return Widen(buf);
}

bool IsReply(const PING_EVENT& e) noexcept {
    return e.type == PE_REPLY;
}

int I(std::uint32_t v) noexcept {
    return static_cast<int>(v);
}

}  // namespace

std::u16string FormatTimeStamp(std::int64_t t) {
    const std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    if (localtime_r(&tt, &tm) == nullptr) {
        return {};
    }
    char buf[64];
    std::snprintf(buf, sizeof(buf), "%d-%d-%d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                  tm.tm_min, tm.tm_sec);
    return Widen(buf);
}

CLogTexts::CLogTexts() {
    struct Entry {
        int type;
        UINT longId;
        const char* longText;
        UINT shortId;
        const char* shortText;
    };
    static constexpr Entry kEntries[] = {
        {PE_REPLY, 33004, "Success", 33004, "Success"},
        {PE_RESOLVING, 33005, "Looking up IP Address...", 33013, "Look up IP"},
        {PE_NO_SERVICES, 33006, "Could not start WinSock.", 33014, "WinSock failed."},
        {PE_NO_THREAD, 33007, "Could not begin the work thread.", 33015, "Thread failed."},
        {PE_NO_ICMP_HANDLE, 33008, "Could not Open the ICMP Socket.", 33016, "ICMP failed."},
        {PE_RESOLVE_FAILED, 33009, "Could not resolve Host name to an IP Address.", 33017, "IP failed."},
        {PE_LOST, 33011, "Request timed out.", 33019, "TimeOut."},
    };
    for (const Entry& entry : kEntries) {
        m_long[entry.type] = LoadFormatString(entry.longId, entry.longText);
        m_short[entry.type] = LoadFormatString(entry.shortId, entry.shortText);
    }
}

const std::u16string& CLogTexts::Long(std::int32_t type) const noexcept {
    return type >= 0 && type < kTypes ? m_long[type] : m_empty;
}

const std::u16string& CLogTexts::Short(std::int32_t type) const noexcept {
    return type >= 0 && type < kTypes ? m_short[type] : m_empty;
}

std::u16string FormatClassicLine(const PING_EVENT& e, std::u16string_view host, const CLogTexts& texts) {
    const std::u16string stamp = FormatTimeStamp(e.time);
    const std::u16string name(host);
    if (!IsReply(e)) {
        return LoadFormatString(33036, "[%s_c%]Reply form %s_b%: %s_a%", stamp.c_str(), name.c_str(),
                                texts.Long(e.type).c_str());
    }
    if (e.reply.RoundTripTime > 0) {
        return LoadFormatString(33037, "[%s_a%]Reply form %s_b%: bytes = %d_c% time = %d_d%ms TTL = %d_e%",
                                stamp.c_str(), name.c_str(), I(e.reply.DataSize), I(e.reply.RoundTripTime),
                                I(e.reply.Options.Ttl));
    }
    return LoadFormatString(33038, "[%s_a%]Reply form %s_b%: bytes = %d_c% time < 1ms TTL = %d_d%", stamp.c_str(),
                            name.c_str(), I(e.reply.DataSize), I(e.reply.Options.Ttl));
}

std::u16string FormatShortClassicLine(const PING_EVENT& e, std::uint32_t row, const CLogTexts& texts) {
    if (!IsReply(e)) {
        return u"[" + Number(row) + u"] " + texts.Short(e.type);
    }
    if (e.reply.RoundTripTime > 0) {
        return LoadFormatString(33039, "[%d_a%] bytes = %d_b% time = %d_c%ms TTL = %d_d%", I(row), I(e.reply.DataSize),
                                I(e.reply.RoundTripTime), I(e.reply.Options.Ttl));
    }
    return LoadFormatString(33040, "[%d_a%] bytes = %d_b% time < 1ms TTL = %d_c%", I(row), I(e.reply.DataSize),
                            I(e.reply.Options.Ttl));
}

std::u16string FormatTableCell(const PING_EVENT& e, int column, const CLogTexts& texts) {
    switch (column) {
        case kColTimeStamp:
            return FormatTimeStamp(e.time);
        case kColStatus:
            return texts.Long(e.type);
        case kColBytes:
            return IsReply(e) ? Number(e.reply.DataSize) : std::u16string();
        case kColRTime:
            return IsReply(e) ? Number(e.reply.RoundTripTime) : std::u16string();
        case kColTTL:
            return IsReply(e) ? Number(e.reply.Options.Ttl) : std::u16string();
        default:
            return {};
    }
}

std::u16string FormatTableCellShort(const PING_EVENT& e, int column, std::uint32_t absoluteRow,
                                    const CLogTexts& texts) {
    switch (column) {
        case kColTimeStamp:
            return Number(absoluteRow);
        case kColStatus:
            return texts.Short(e.type);
        default:
            return FormatTableCell(e, column, texts);
    }
}
