// Placeholder scanning and single-value formatting of the string tables and
// the message formatter.
#include "placeholder.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace ov::placeholder {
namespace {

// Width and precision beyond this are cut down: a table text must not be able
// to ask for megabytes of padding.
constexpr int kMaxField = 1024;

// What a placeholder's conversion takes from the argument list.
enum class ArgKind { None, Int32, Int64, Char, Double, WideText };

// One placeholder token ("%d_a%") and its conversion ("%d").
struct Placeholder {
    std::u16string_view token;
    std::u16string_view conversion;
};

// A printf conversion taken apart. `valid` is false when the text between
// "%" and the conversion character is not flags, width, precision and length
// modifiers; such a conversion formats its value plainly.
struct ConvSpec {
    std::string flags;
    int width = -1;
    int precision = -1;
    std::string shortLength;  // "h" or "hh", kept for integers
    char type = 0;
    bool valid = false;
};

bool IsFlag(char16_t c) noexcept {
    return c == u'-' || c == u'+' || c == u' ' || c == u'#' || c == u'0';
}

ConvSpec ParseSpec(std::u16string_view conv) {
    ConvSpec s;
    if (conv.size() < 2 || conv.front() != u'%') {
        return s;
    }
    const char16_t last = conv.back();
    if (last < 0x21 || last > 0x7E) {
        return s;
    }
    s.type = static_cast<char>(last);
    std::size_t i = 1;
    const std::size_t end = conv.size() - 1;
    for (; i < end && IsFlag(conv[i]); ++i) {
        if (s.flags.find(static_cast<char>(conv[i])) == std::string::npos) {
            s.flags.push_back(static_cast<char>(conv[i]));
        }
    }
    auto readNumber = [&](int& out) {
        out = 0;
        for (; i < end && conv[i] >= u'0' && conv[i] <= u'9'; ++i) {
            out = std::min(kMaxField, out * 10 + (conv[i] - u'0'));
        }
    };
    if (i < end && conv[i] >= u'1' && conv[i] <= u'9') {
        readNumber(s.width);
    }
    if (i < end && conv[i] == u'.') {
        ++i;
        readNumber(s.precision);
    }
    // Length modifiers: h and hh matter to 32-bit values; l, ll, L, q, j, z,
    // t, w and the I32/I64 forms say nothing beyond what the kind decides.
    std::size_t h = 0;
    for (; i < end; ++i) {
        const char16_t c = conv[i];
        if (c == u'h') {
            ++h;
        } else if (c == u'I') {
            if (conv.substr(i + 1, 2) == u"64" || conv.substr(i + 1, 2) == u"32") {
                i += 2;
            }
        } else if (c != u'l' && c != u'L' && c != u'q' && c != u'j' && c != u'z' && c != u't' && c != u'w') {
            return s;
        }
    }
    if (h > 2) {
        return s;
    }
    s.shortLength.assign(h, 'h');
    s.valid = true;
    return s;
}

std::string PrintfPrefix(const ConvSpec& s) {
    std::string f = "%" + s.flags;
    if (s.width >= 0) {
        f += std::to_string(s.width);
    }
    if (s.precision >= 0) {
        f += "." + std::to_string(s.precision);
    }
    return f;
}

template <typename T>
std::u16string PrintfToWide(const std::string& format, T value) {
    char small[64];
    const int n = std::snprintf(small, sizeof small, format.c_str(), value);
    if (n < 0) {
        return {};
    }
    std::string out;
    if (static_cast<std::size_t>(n) < sizeof small) {
        out.assign(small, static_cast<std::size_t>(n));
    } else {
        out.resize(static_cast<std::size_t>(n) + 1);
        std::snprintf(out.data(), out.size(), format.c_str(), value);
        out.resize(static_cast<std::size_t>(n));
    }
    return std::u16string(out.begin(), out.end());  // digits, signs, blanks: ASCII only
}

std::u16string Pad(std::u16string text, const ConvSpec& s) {
    if (!s.valid || s.width < 0 || text.size() >= static_cast<std::size_t>(s.width)) {
        return text;
    }
    const std::size_t fill = static_cast<std::size_t>(s.width) - text.size();
    if (s.flags.find('-') != std::string::npos) {
        text.append(fill, u' ');
    } else {
        text.insert(0, fill, u' ');
    }
    return text;
}

char16_t Fold(char16_t c) noexcept {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3A9) ||
        (c >= 0x410 && c <= 0x42F)) {
        return static_cast<char16_t>(c + 0x20);
    }
    if (c >= 0x400 && c <= 0x40F) {
        return static_cast<char16_t>(c + 0x50);
    }
    return c;
}

// Tokens of a default text in order, pairing "%" characters from left to
// right and skipping "%%"; tokens without "_" are left out.
std::vector<Placeholder> ScanPlaceholders(std::u16string_view text) {
    std::vector<Placeholder> out;
    constexpr auto npos = std::u16string_view::npos;
    std::size_t p = text.find(u'%');
    while (p != npos) {
        const std::size_t q = text.find(u'%', p + 1);
        if (q == npos) {
            break;
        }
        if (q == p + 1) {  // "%%" is text, not a token
            p = text.find(u'%', q + 1);
            continue;
        }
        const std::u16string_view token = text.substr(p, q - p + 1);
        p = text.find(u'%', q + 1);
        const std::size_t underscore = token.find(u'_');
        if (underscore == npos) {
            continue;
        }
        out.push_back({token, token.substr(0, underscore)});
    }
    return out;
}

// Argument kind of a conversion: the two 64-bit forms first, then by the last
// character.
ArgKind ClassifyConversion(std::u16string_view conv, const Dialect& dialect) noexcept {
    if (dialect.int64AnyCase) {
        if (conv.size() == 5 && conv[0] == u'%' && Fold(conv[1]) == u'i' && conv[2] == u'6' && conv[3] == u'4' &&
            (Fold(conv[4]) == u'd' || Fold(conv[4]) == u'u')) {
            return ArgKind::Int64;
        }
    } else if (conv == u"%I64d" || conv == u"%I64u") {
        return ArgKind::Int64;
    }
    if (conv.empty()) {
        return ArgKind::None;
    }
    switch (conv.back()) {
        case u'X':
        case u'd':
        case u'o':
        case u'u':
        case u'x':
            return ArgKind::Int32;
        case u'c':
            return ArgKind::Char;
        case u'f':
            return dialect.floatingPoint ? ArgKind::Double : ArgKind::None;
        case u's':
            return ArgKind::WideText;
        default:
            return ArgKind::None;
    }
}

// Formats one value with the conversion's flags, width and precision.
std::u16string FormatInt(std::u16string_view conversion, std::int64_t value, bool is64) {
    const ConvSpec s = ParseSpec(conversion);
    // The 64-bit forms end in d/D or u/U; only the lower-case letters are printf's.
    char type = s.type;
    if (type == 'D') {
        type = 'd';
    } else if (type == 'U') {
        type = 'u';
    }
    const bool isSigned = type == 'd';
    std::string format = s.valid ? PrintfPrefix(s) : std::string("%");
    if (is64) {
        format += "ll";
        format.push_back(type);
        if (isSigned) {
            return PrintfToWide(format, static_cast<long long>(value));
        }
        return PrintfToWide(format, static_cast<unsigned long long>(value));
    }
    if (s.valid) {
        format += s.shortLength;
    }
    format.push_back(type);
    if (isSigned) {
        return PrintfToWide(format, static_cast<int>(static_cast<std::int32_t>(value)));
    }
    return PrintfToWide(format, static_cast<unsigned>(static_cast<std::uint32_t>(value)));
}

std::u16string FormatDouble(std::u16string_view conversion, double value) {
    const ConvSpec s = ParseSpec(conversion);
    std::string format = s.valid ? PrintfPrefix(s) : std::string("%");
    format.push_back('f');
    return PrintfToWide(format, value);
}

std::u16string FormatChar(std::u16string_view conversion, char16_t ch) {
    return Pad(std::u16string(1, ch), ParseSpec(conversion));
}

std::u16string FormatText(std::u16string_view conversion, const char16_t* text) {
    const ConvSpec s = ParseSpec(conversion);
    std::u16string value = text ? std::u16string(text) : std::u16string(u"(null)");
    if (s.valid && s.precision >= 0 && value.size() > static_cast<std::size_t>(s.precision)) {
        value.resize(static_cast<std::size_t>(s.precision));
    }
    return Pad(std::move(value), s);
}

// Replaces every occurrence of token in text by value, left to right, without
// overlap; false when the token occurs nowhere.
bool ReplaceAll(std::u16string& text, std::u16string_view token, std::u16string_view value) {
    if (token.empty()) {
        return false;
    }
    bool found = false;
    std::size_t at = 0;
    while ((at = text.find(token, at)) != std::u16string::npos) {
        text.replace(at, token.size(), value);
        at += value.size();
        found = true;
    }
    return found;
}

}  // namespace

std::vector<Substitution> CollectArguments(std::u16string_view defText, const Dialect& dialect, va_list args) {
    std::vector<Substitution> out;
    for (const Placeholder& ph : ScanPlaceholders(defText)) {
        std::u16string value;
        switch (ClassifyConversion(ph.conversion, dialect)) {
            case ArgKind::Int64:
                value = FormatInt(ph.conversion, va_arg(args, long long), true);
                break;
            case ArgKind::Int32:
                value = FormatInt(ph.conversion, va_arg(args, int), false);
                break;
            case ArgKind::Char:
                value = FormatChar(ph.conversion, static_cast<char16_t>(va_arg(args, int) & 0xFFFF));
                break;
            case ArgKind::Double:
                value = FormatDouble(ph.conversion, va_arg(args, double));
                break;
            case ArgKind::WideText:
                value = FormatText(ph.conversion, va_arg(args, const char16_t*));
                break;
            case ArgKind::None:
                // Takes no argument: the token stays as written or is removed.
                if (dialect.keepUnknownTokens) {
                    continue;
                }
                break;
        }
        out.push_back({ph.token, std::move(value)});
    }
    return out;
}

bool HasUnfilledPlaceholder(std::u16string_view text, const std::vector<Substitution>& substitutions,
                            const Dialect& dialect) {
    for (const Placeholder& ph : ScanPlaceholders(text)) {
        if (ClassifyConversion(ph.conversion, dialect) == ArgKind::None) {
            continue;
        }
        const bool filled = std::any_of(substitutions.begin(), substitutions.end(),
                                        [&](const Substitution& sub) { return sub.token == ph.token; });
        if (!filled) {
            return true;
        }
    }
    return false;
}

bool SubstituteAll(std::u16string& text, const std::vector<Substitution>& substitutions) {
    bool complete = true;
    for (const Substitution& sub : substitutions) {
        if (!ReplaceAll(text, sub.token, sub.value)) {
            complete = false;
        }
    }
    return complete;
}

bool EqualNoCase(std::u16string_view a, std::u16string_view b) noexcept {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace ov::placeholder
