// The program's messages against an arbitrary table.
#include "fuzz_defaults.h"

#include <string>

#include "EnglishStrings.h"

namespace {

std::u16string IdText(unsigned int id) {
    const std::string s = std::to_string(id);
    return std::u16string(s.begin(), s.end());
}

}  // namespace

unsigned long FormatAllDefaults(COvStringTable& t) {
    unsigned long total = 0;
    auto add = [&total](const char16_t* s) { total += std::char_traits<char16_t>::length(s); };
    for (const OV_MESSAGE& m : EnglishMessages()) {
        const std::u16string id = IdText(m.id);
        const std::u16string_view def = m.text;
        if (def.find(u'%') == std::u16string_view::npos) {
            add(t.LoadStringW(id.c_str(), m.text));
            continue;
        }
        switch (m.id) {
            case 129:
                add(t.LoadStringW(id.c_str(), m.text, u"1.1", u"265"));
                break;
            case 33027:
                add(t.LoadStringW(id.c_str(), m.text, u"Germany"));
                break;
            case 33030:
                add(t.LoadStringW(id.c_str(), m.text, 2, 50));
                break;
            case 33036:
                add(t.LoadStringW(id.c_str(), m.text, u"12:00:00", u"10.0.0.1", u"TimeOut."));
                break;
            case 33037:
                add(t.LoadStringW(id.c_str(), m.text, u"12:00:00", u"10.0.0.1", 32, 4, 64));
                break;
            case 33038:
                add(t.LoadStringW(id.c_str(), m.text, u"12:00:00", u"10.0.0.1", 32, 64));
                break;
            case 33039:
                add(t.LoadStringW(id.c_str(), m.text, 1, 32, 4, 64));
                break;
            case 33040:
                add(t.LoadStringW(id.c_str(), m.text, 1, 32, 64));
                break;
            default:  // one integer: the counters and times of the statistics
                add(t.LoadStringW(id.c_str(), m.text, -7));
                break;
        }
    }
    // The narrow form and a 64-bit value, as other users of the library call it.
    add(t.LoadStringW("33028", "Packets Sent:%d_a%", 3));
    add(t.LoadStringW("64", "%I64u_a% bytes", 1ULL << 40));
    return total;
}
