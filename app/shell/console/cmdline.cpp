#include "cmdline.h"

#include <climits>
#include <cstdint>

#include "OvPingDoc.h"

int ScanSwitchNumber(std::u16string_view digits) noexcept {
    std::size_t i = 0;
    while (i < digits.size() && (digits[i] == u' ' || (digits[i] >= u'\t' && digits[i] <= u'\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < digits.size() && (digits[i] == u'+' || digits[i] == u'-')) {
        negative = digits[i] == u'-';
        ++i;
    }
    std::int64_t value = 0;
    for (; i < digits.size() && digits[i] >= u'0' && digits[i] <= u'9'; ++i) {
        value = value * 10 + (digits[i] - u'0');
        if (value > std::int64_t{INT_MAX} + 1) {
            value = std::int64_t{INT_MAX} + 1;  // saturate; further digits change nothing
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        value = INT_MAX;
    }
    return static_cast<int>(value);
}

void CCommandLine::HandleCommandLineParam(std::u16string_view text, bool flag, bool last) {
    if (flag) {
        if (!text.empty()) {
            const int number = ScanSwitchNumber(text.substr(1));
            PING_SETTINGS& settings = m_doc.Settings();
            // Lower-case letters only; anything else is ignored.
            switch (text.front()) {
                case u'a':
                    m_bAutoStart = 1;
                    break;
                case u'd':
                    settings.TimeDelay = static_cast<DWORD>(number);
                    break;
                case u'f':
                    settings.IPOption.Flags = 1;
                    break;  // not don't-fragment (2)
                case u'i':
                    settings.IPOption.Ttl = static_cast<BYTE>(number);
                    break;
                case u'l':
                    settings.Size = static_cast<DWORD>(number);
                    break;
                case u'p':
                    settings.Probe = static_cast<WORD>(number);
                    break;
                case u't':
                    m_doc.PollTime() = static_cast<DWORD>(number);
                    break;
                case u'v':
                    settings.IPOption.Tos = static_cast<BYTE>(number);
                    break;
                case u'w':
                    settings.TimeOut = static_cast<DWORD>(number);
                    break;
                default:
                    break;
            }
        }
    } else {
        m_strHosts += text;
        m_strHosts += u' ';
    }
    if (last && onLast) {
        onLast(*this);
    }
}

void CCommandLine::HandleArguments(const std::vector<std::u16string>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::u16string_view arg = args[i];
        const bool flag = !arg.empty() && (arg.front() == u'-' || arg.front() == u'/');
        if (flag) {
            arg.remove_prefix(1);
        }
        HandleCommandLineParam(arg, flag, i + 1 == args.size());
    }
}
