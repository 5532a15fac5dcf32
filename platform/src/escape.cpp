#include "platform/escape.h"

#include <algorithm>
#include <cstdio>

#include "platform/codepage.h"

namespace ov {

bool IsControlChar(char32_t c) noexcept {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

bool HasControlChar(std::u16string_view text) noexcept {
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return IsControlChar(c); });
}

std::u16string EscapeControls(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (const char16_t c : text) {
        if (!IsControlChar(c)) {
            out.push_back(c);
            continue;
        }
        char escape[8];
        switch (c) {
            case u'\n':
                std::snprintf(escape, sizeof escape, "\\n");
                break;
            case u'\r':
                std::snprintf(escape, sizeof escape, "\\r");
                break;
            case u'\t':
                std::snprintf(escape, sizeof escape, "\\t");
                break;
            default:
                std::snprintf(escape, sizeof escape, c < 0x100 ? "\\x%02x" : "\\u%04x", static_cast<unsigned>(c));
                break;
        }
        for (const char* p = escape; *p != '\0'; ++p) {
            out.push_back(static_cast<char16_t>(*p));
        }
    }
    return out;
}

std::string EscapeControls(std::string_view utf8) {
    const bool plain = std::none_of(utf8.begin(), utf8.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 || b >= 0x7F;
    });
    return plain ? std::string(utf8) : WideToUtf8(EscapeControls(Utf8ToWide(utf8)));
}

}  // namespace ov
