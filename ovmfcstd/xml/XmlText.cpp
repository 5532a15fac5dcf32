// Text form of the XML document manager: the parser of the accepted XML
// subset, the writer of indented text, and the entity and string helpers.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <unordered_map>
#include <vector>

#include "XmlInternal.h"
#include "ovmfcstd/XmlManager.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ovxml {

std::u16string_view TrimLeft(std::u16string_view s) noexcept {
    std::size_t i = 0;
    while (i < s.size() && IsSpace(s[i])) {
        ++i;
    }
    return s.substr(i);
}

std::u16string_view TrimRight(std::u16string_view s) noexcept {
    std::size_t n = s.size();
    while (n > 0 && IsSpace(s[n - 1])) {
        --n;
    }
    return s.substr(0, n);
}

std::u16string_view Trim(std::u16string_view s) noexcept {
    return TrimRight(TrimLeft(s));
}

// The scans below look at eight characters at a time where SSE2 exists:
// documents are long and most of their characters are looked at once.
#if defined(__SSE2__)

// Aligned 16-byte loads never cross a page, so reading past the terminator
// inside the last one is harmless; the address checker cannot know that.
__attribute__((no_sanitize("address"))) std::size_t Length(const char16_t* s) noexcept {
    if (!s) {
        return 0;
    }
    std::size_t i = 0;
    while (reinterpret_cast<std::uintptr_t>(s + i) % 16 != 0) {
        if (s[i] == 0) {
            return i;
        }
        ++i;
    }
    const __m128i zero = _mm_setzero_si128();
    for (;; i += 8) {
        __m128i x = _mm_load_si128(reinterpret_cast<const __m128i*>(s + i));
        int m = _mm_movemask_epi8(_mm_cmpeq_epi16(x, zero));
        if (m) {
            return i + (static_cast<unsigned>(__builtin_ctz(static_cast<unsigned>(m))) >> 1);
        }
    }
}

std::size_t FindChar(const char16_t* s, std::size_t from, std::size_t n, char16_t c) noexcept {
    std::size_t i = from;
    const __m128i v = _mm_set1_epi16(static_cast<short>(c));
    for (; i + 8 <= n; i += 8) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        int m = _mm_movemask_epi8(_mm_cmpeq_epi16(x, v));
        if (m) {
            return i + (static_cast<unsigned>(__builtin_ctz(static_cast<unsigned>(m))) >> 1);
        }
    }
    for (; i < n; ++i) {
        if (s[i] == c) {
            return i;
        }
    }
    return n;
}

std::size_t FindEither(const char16_t* s, std::size_t from, std::size_t n, char16_t a, char16_t b) noexcept {
    std::size_t i = from;
    const __m128i va = _mm_set1_epi16(static_cast<short>(a));
    const __m128i vb = _mm_set1_epi16(static_cast<short>(b));
    for (; i + 8 <= n; i += 8) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        int m = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(x, va), _mm_cmpeq_epi16(x, vb)));
        if (m) {
            return i + (static_cast<unsigned>(__builtin_ctz(static_cast<unsigned>(m))) >> 1);
        }
    }
    for (; i < n; ++i) {
        if (s[i] == a || s[i] == b) {
            return i;
        }
    }
    return n;
}

MarkupEnd ScanMarkup(const char16_t* s, std::size_t from, std::size_t n) noexcept {
    MarkupEnd r;
    std::size_t i = from;
    const __m128i vgt = _mm_set1_epi16(static_cast<short>(u'>'));
    const __m128i vlt = _mm_set1_epi16(static_cast<short>(u'<'));
    const __m128i vamp = _mm_set1_epi16(static_cast<short>(u'&'));
    for (; i + 8 <= n; i += 8) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        unsigned gt = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(x, vgt)));
        unsigned lt = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(x, vlt)));
        unsigned amp = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(x, vamp)));
        if (gt) {
            unsigned at = static_cast<unsigned>(__builtin_ctz(gt));
            unsigned before = (1u << at) - 1;
            r.innerLt = r.innerLt || (lt & before) != 0;
            r.amp = r.amp || (amp & before) != 0;
            r.gt = i + (at >> 1);
            return r;
        }
        r.innerLt = r.innerLt || lt != 0;
        r.amp = r.amp || amp != 0;
    }
    for (; i < n; ++i) {
        if (s[i] == u'>') {
            r.gt = i;
            return r;
        }
        r.innerLt = r.innerLt || s[i] == u'<';
        r.amp = r.amp || s[i] == u'&';
    }
    r.gt = n;
    return r;
}

#else

MarkupEnd ScanMarkup(const char16_t* s, std::size_t from, std::size_t n) noexcept {
    MarkupEnd r;
    for (std::size_t i = from; i < n; ++i) {
        if (s[i] == u'>') {
            r.gt = i;
            return r;
        }
        r.innerLt = r.innerLt || s[i] == u'<';
        r.amp = r.amp || s[i] == u'&';
    }
    r.gt = n;
    return r;
}

std::size_t Length(const char16_t* s) noexcept {
    return s ? std::char_traits<char16_t>::length(s) : 0;
}

std::size_t FindChar(const char16_t* s, std::size_t from, std::size_t n, char16_t c) noexcept {
    for (std::size_t i = from; i < n; ++i) {
        if (s[i] == c) {
            return i;
        }
    }
    return n;
}

std::size_t FindEither(const char16_t* s, std::size_t from, std::size_t n, char16_t a, char16_t b) noexcept {
    for (std::size_t i = from; i < n; ++i) {
        if (s[i] == a || s[i] == b) {
            return i;
        }
    }
    return n;
}

#endif

namespace {

bool StartsWith(const char16_t* p, std::size_t left, std::u16string_view ref) noexcept {
    return left >= ref.size() && std::memcmp(p, ref.data(), ref.size() * sizeof(char16_t)) == 0;
}

}  // namespace

std::u16string Decode(std::u16string_view s) {
    if (FindChar(s.data(), 0, s.size(), u'&') == s.size()) {
        return std::u16string(s);
    }
    // One reference after the other, ampersand first: "&amp;lt;" ends as "<".
    // First "&amp;" everywhere, left to right.
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] == u'&' && StartsWith(s.data() + i, s.size() - i, u"&amp;")) {
            out.push_back(u'&');
            i += 5;
        } else {
            out.push_back(s[i++]);
        }
    }
    // Then the other four in one pass: each begins with the only "&" it
    // holds and none is made or broken by replacing another, so this gives
    // what four passes, one per reference, would.
    std::size_t w = 0;
    const std::size_t n = out.size();
    for (std::size_t r = 0; r < n;) {
        char16_t c = out[r];
        std::size_t skip = 1;
        if (c == u'&') {
            const char16_t* p = out.data() + r;
            if (StartsWith(p, n - r, u"&lt;")) {
                c = u'<';
                skip = 4;
            } else if (StartsWith(p, n - r, u"&gt;")) {
                c = u'>';
                skip = 4;
            } else if (StartsWith(p, n - r, u"&quot;")) {
                c = u'"';
                skip = 6;
            } else if (StartsWith(p, n - r, u"&apos;")) {
                c = u'\'';
                skip = 6;
            }
        }
        out[w++] = c;
        r += skip;
    }
    out.resize(w);
    return out;
}

void DecodeTo(std::u16string& out, std::u16string_view s) {
    // Most texts hold no reference: copied straight into place, no temporary.
    if (FindChar(s.data(), 0, s.size(), u'&') == s.size()) {
        out.assign(s.data(), s.size());
    } else {
        out = Decode(s);
    }
}

void AppendEscaped(std::u16string& out, std::u16string_view s) {
    std::size_t from = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        std::u16string_view ref;
        switch (s[i]) {
            case u'&':
                ref = u"&amp;";
                break;
            case u'<':
                ref = u"&lt;";
                break;
            case u'>':
                ref = u"&gt;";
                break;
            case u'"':
                ref = u"&quot;";
                break;
            case u'\'':
                ref = u"&apos;";
                break;
            default:
                continue;
        }
        out.append(s.substr(from, i - from));
        out.append(ref);
        from = i + 1;
    }
    out.append(s.substr(from));
}

std::u16string Decimal(long long value) {
    char buf[24];
    int n = std::snprintf(buf, sizeof buf, "%lld", value);
    return std::u16string(buf, buf + n);
}

long long ReadDecimal(std::u16string_view s, long long min, long long max) noexcept {
    std::size_t i = 0;
    while (i < s.size() && IsSpace(s[i])) {
        ++i;
    }
    bool negative = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
        negative = s[i++] == u'-';
    }
    // Accumulate towards the sign's side so that the minimum is reachable.
    long long v = 0;
    for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
        int d = s[i] - u'0';
        if (negative) {
            if (v < (min + d) / 10) {
                return min;
            }
            v = v * 10 - d;
        } else {
            if (v > (max - d) / 10) {
                return max;
            }
            v = v * 10 + d;
        }
    }
    return v;
}

}  // namespace ovxml

using namespace ovxml;

namespace {

// Elements nested deeper than this are refused: the writer indents every
// level, so a hostile file of a few megabytes could otherwise ask for text of
// many gigabytes. Well-formed documents of this kind stay far below it.
constexpr std::size_t kMaxNesting = 256;

constexpr std::uint64_t kHashBase = 0x100000001b3ULL;

std::uint64_t MixKey(std::uint64_t h, std::size_t length) noexcept {
    h ^= static_cast<std::uint64_t>(length) * 0x9e3779b97f4a7c15ULL;
    h ^= h >> 31;
    h *= 0xbf58476d1ce4e5b9ULL;
    h ^= h >> 29;
    return h;
}

// One tag between "<" and the first ">".
struct Tag {
    std::u16string_view name;
    std::u16string_view attributes;
    bool empty = false;  // "<name .../>"
};

// Equal texts. Names are mostly short and of varying length: comparing
// them as two overlapping 8-byte words avoids a loop whose end the processor
// keeps mispredicting.
inline bool Same(std::u16string_view a, std::u16string_view b) noexcept {
    const std::size_t n = a.size();
    if (n != b.size()) {
        return false;
    }
    const char16_t* x = a.data();
    const char16_t* y = b.data();
    if (n >= 4 && n <= 8) {
        std::uint64_t x0, y0, x1, y1;
        std::memcpy(&x0, x, 8);
        std::memcpy(&y0, y, 8);
        std::memcpy(&x1, x + n - 4, 8);
        std::memcpy(&y1, y + n - 4, 8);
        return ((x0 ^ y0) | (x1 ^ y1)) == 0;
    }
    if (n < 4) {
        return n == 0 || ((x[0] ^ y[0]) | (x[n / 2] ^ y[n / 2]) | (x[n - 1] ^ y[n - 1])) == 0;
    }
    return std::memcmp(x, y, n * sizeof(char16_t)) == 0;
}

std::size_t SkipSpace(std::u16string_view s, std::size_t pos, std::size_t end) noexcept {
#if defined(__SSE2__)
    // Runs of blanks (indentation) have all lengths: eight at a time.
    const char16_t* p = s.data();
    while (pos + 8 <= end) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + pos));
        __m128i blank = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(x, _mm_set1_epi16(u' ')), _mm_cmpeq_epi16(x, _mm_set1_epi16(u'\t'))),
            _mm_or_si128(_mm_cmpeq_epi16(x, _mm_set1_epi16(u'\r')), _mm_cmpeq_epi16(x, _mm_set1_epi16(u'\n'))));
        unsigned other = ~static_cast<unsigned>(_mm_movemask_epi8(blank)) & 0xFFFFu;
        if (other) {
            return pos + (static_cast<unsigned>(__builtin_ctz(other)) >> 1);
        }
        pos += 8;
    }
#endif
    while (pos < end && IsSpace(s[pos])) {
        ++pos;
    }
    return pos;
}

// Index of the first c in s[from, end), or end; may look at s up to limit.
std::size_t FindCharBefore(const char16_t* s, std::size_t from, std::size_t end, std::size_t limit,
                           char16_t c) noexcept {
#if defined(__SSE2__)
    const __m128i v = _mm_set1_epi16(static_cast<short>(c));
    for (std::size_t i = from; i < end && i + 8 <= limit; i += 8) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        unsigned m = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(x, v)));
        if (m) {
            std::size_t at = i + (static_cast<unsigned>(__builtin_ctz(m)) >> 1);
            return at < end ? at : end;
        }
        from = i + 8;
    }
#else
    (void)limit;
#endif
    return from < end ? FindChar(s, from, end, c) : end;
}

// Reads the tag whose "<" is at s[0] and whose first ">" is at s[gt].
bool ReadTag(std::u16string_view s, std::size_t gt, Tag& tag) noexcept {
    std::u16string_view text = s.substr(1, gt - 1);
    tag.empty = !text.empty() && text.back() == u'/';
    if (tag.empty) {
        text.remove_suffix(1);
    }
    // The name ends at the first blank (only a space, not a tab or line end).
    std::size_t blank = FindCharBefore(s.data(), 1, 1 + text.size(), s.size(), u' ') - 1;
    if (blank == text.size()) {
        tag.name = text;
        tag.attributes = {};
    } else {
        tag.name = text.substr(0, blank);
        tag.attributes = text.substr(blank + 1);
    }
    return !tag.name.empty();
}

// "<!" markup starting at s[0] with its first ">" at s[gt]: a comment whose
// first ">" closes "-->", or a document type declaration.
bool IsSkippableMarkup(std::u16string_view s, std::size_t gt) noexcept {
    if (s.starts_with(u"<!--")) {
        return gt >= 4 && s[gt - 1] == u'-' && s[gt - 2] == u'-';
    }
    constexpr std::u16string_view doctype = u"<!DOCTYPE";
    if (s.size() < doctype.size()) {
        return false;
    }
    for (std::size_t i = 0; i < doctype.size(); ++i) {
        char16_t c = s[i];
        if (c >= u'a' && c <= u'z') {
            c = static_cast<char16_t>(c - u'a' + u'A');
        }
        if (c != doctype[i]) {
            return false;
        }
    }
    return true;
}

// The five characters written as references: " & ' < >, all below 64.
constexpr std::uint64_t kEscapedMask =
    (1ULL << u'"') | (1ULL << u'&') | (1ULL << u'\'') | (1ULL << u'<') | (1ULL << u'>');

constexpr bool IsEscaped(char16_t c) noexcept {
    return c < 64 && ((kEscapedMask >> c) & 1) != 0;
}

// Index of the first character of s[i, n) written as a reference, or n.
std::size_t NextEscaped(const char16_t* s, std::size_t i, std::size_t n) noexcept {
#if defined(__SSE2__)
    for (; i + 8 <= n; i += 8) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        __m128i hit = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(x, _mm_set1_epi16(u'&')), _mm_cmpeq_epi16(x, _mm_set1_epi16(u'<'))),
            _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi16(x, _mm_set1_epi16(u'>')), _mm_cmpeq_epi16(x, _mm_set1_epi16(u'"'))),
                _mm_cmpeq_epi16(x, _mm_set1_epi16(u'\''))));
        unsigned m = static_cast<unsigned>(_mm_movemask_epi8(hit));
        if (m) {
            return i + (static_cast<unsigned>(__builtin_ctz(m)) >> 1);
        }
    }
#endif
    for (; i < n; ++i) {
        if (IsEscaped(s[i])) {
            return i;
        }
    }
    return n;
}

// Length of s once AppendEscaped has written it.
std::size_t EscapedLength(std::u16string_view s) noexcept {
    std::size_t n = s.size();
    for (std::size_t i = NextEscaped(s.data(), 0, s.size()); i < s.size(); i = NextEscaped(s.data(), i + 1, s.size())) {
        switch (s[i]) {
            case u'&':
                n += 4;
                break;
            case u'<':
            case u'>':
                n += 3;
                break;
            default:
                n += 5;
                break;  // " and '
        }
    }
    return n;
}

std::size_t AttributesLength(const Xml_Element* element) noexcept {
    std::size_t n = 0;
    for (const Xml_Attribute* a = element->attributes; a; a = a->next) {
        n += EscapedLength(a->name) + EscapedLength(a->value) + 4;  // ="" and a blank
    }
    return element->attributes ? n - 1 : 0;
}

// Characters MakerElement writes for the same arguments, walked in the same
// order, counting every line end it writes even where a later one replaces
// it: the text never grows beyond this while being written, so one buffer
// of this size takes all of it.
std::size_t ElementTextLength(const Xml_Element* element, int level, int siblings) {
    if (!element) {
        return 0;
    }
    auto indent = [](int l) { return static_cast<std::size_t>(l > 0 ? l : 0) * 4; };
    struct Open {
        const Xml_Element* element;
        int level;
    };
    std::vector<Open> open;
    std::size_t n = 0;
    const Xml_Element* cur = element;
    int lvl = level;
    for (;;) {
        n += indent(lvl) + 1 + EscapedLength(cur->name);
        if (cur->attributes) {
            n += 1 + AttributesLength(cur);
        }
        if (cur->child) {
            n += 3;
            if (!cur->data.empty()) {
                n += indent(lvl + 1) + EscapedLength(cur->data) + 2;
            }
            open.push_back({cur, lvl});
            cur = cur->child;
            ++lvl;
            continue;
        }
        if (!cur->data.empty()) {
            n += 1 + EscapedLength(cur->data) + 2 + EscapedLength(cur->name) + 3;
        } else {
            n += 4;
        }
        for (;;) {
            if (cur->next && (!open.empty() || siblings)) {
                cur = cur->next;
                break;
            }
            if (open.empty()) {
                return n;
            }
            Open o = open.back();
            open.pop_back();
            n += 2 + indent(o.level) + 2 + EscapedLength(o.element->name) + 3;
            cur = o.element;
            lvl = o.level;
        }
    }
}

// Writes into a buffer sized beforehand by ElementTextLength.
class TextWriter {
public:
    explicit TextWriter(char16_t* at) noexcept : m_at(at) {}
    char16_t* At() const noexcept { return m_at; }
    void Back(char16_t* at) noexcept { m_at = at; }
    void Put(char16_t c) noexcept { *m_at++ = c; }
    void Put(std::u16string_view s) noexcept {
        std::memcpy(m_at, s.data(), s.size() * sizeof(char16_t));
        m_at += s.size();
    }
    void Indent(int level) noexcept {
        for (int i = level; i > 0; --i) {
            std::memcpy(m_at, u"    ", 4 * sizeof(char16_t));
            m_at += 4;
        }
    }
    // s with & < > " ' written as references.
    void Escaped(std::u16string_view s) noexcept {
        const char16_t* p = s.data();
        const std::size_t n = s.size();
        std::size_t from = 0;
        for (std::size_t i = NextEscaped(p, 0, n); i < n; i = NextEscaped(p, from, n)) {
            Put(s.substr(from, i - from));
            switch (p[i]) {
                case u'&':
                    Put(u"&amp;");
                    break;
                case u'<':
                    Put(u"&lt;");
                    break;
                case u'>':
                    Put(u"&gt;");
                    break;
                case u'"':
                    Put(u"&quot;");
                    break;
                default:
                    Put(u"&apos;");
                    break;
            }
            from = i + 1;
        }
        Put(s.substr(from));
    }
    void Attributes(const Xml_Element* element) noexcept {
        for (const Xml_Attribute* a = element->attributes; a; a = a->next) {
            if (a != element->attributes) {
                Put(u' ');
            }
            Escaped(a->name);
            Put(u"=\"");
            Escaped(a->value);
            Put(u'"');
        }
    }

private:
    char16_t* m_at;
};

void AppendAttributes(std::u16string& out, const Xml_Element* element) {
    for (const Xml_Attribute* a = element->attributes; a; a = a->next) {
        AppendEscaped(out, a->name);
        out += u"=\"";
        AppendEscaped(out, a->value);
        out += u"\" ";
    }
    if (element->attributes) {
        out.pop_back();
    }
}

}  // namespace

// Where each closing tag "</name>" of a text starts. An element's content
// ends at the first closing tag of its name after the start tag; looking that
// up here instead of searching the text keeps parsing linear however deep the
// document is. Every "</" is recorded under the hash of the text between it
// and the next ">", the only name its closing tag can belong to.
struct CXmlManager::CloseIndex {
    // Starts of the closing tags of one name, in text order. Lookups come in
    // text order too, so a cursor replaces most binary searches.
    struct Starts {
        std::vector<std::size_t> at;
        std::size_t cursor = 0;
    };

    explicit CloseIndex(std::u16string_view text) : doc(text) {
        // Names repeat: remember the list each recent key went to.
        struct Recent {
            std::uint64_t key = 0;
            Starts* starts = nullptr;
        } recent[64];
        std::vector<std::size_t> pending;  // "</" seen since the last ">"
        for (std::size_t i = 0; i < doc.size(); ++i) {
            char16_t c = doc[i];
            if (c == u'<') {
                if (i + 1 < doc.size() && doc[i + 1] == u'/') {
                    pending.push_back(i);
                }
            } else if (c == u'>' && !pending.empty()) {
                // The keys are suffixes of one text ending here: hash them in
                // one right-to-left sweep rather than one by one.
                std::uint64_t h = 0;
                std::size_t k = i;
                for (auto it = pending.rbegin(); it != pending.rend(); ++it) {
                    std::size_t start = *it + 2;
                    while (k > start) {
                        h = doc[--k] + kHashBase * h;
                    }
                    std::uint64_t key = MixKey(h, i - start);
                    Recent& r = recent[key & 63];
                    if (!r.starts || r.key != key) {
                        r.key = key;
                        r.starts = &byKey[key];
                    }
                    r.starts->at.push_back(*it);
                }
                pending.clear();
            }
        }
        for (auto& [key, starts] : byKey) {
            if (!std::is_sorted(starts.at.begin(), starts.at.end())) {
                std::sort(starts.at.begin(), starts.at.end());
            }
        }
    }

    // Start of the first "</name>" that begins at from or later and ends by end.
    std::size_t Find(std::u16string_view name, std::size_t from, std::size_t end) const {
        std::uint64_t h = 0;
        for (std::size_t k = name.size(); k > 0; --k) {
            h = name[k - 1] + kHashBase * h;
        }
        auto found = byKey.find(MixKey(h, name.size()));
        if (found == byKey.end()) {
            return std::u16string_view::npos;
        }
        Starts& starts = found->second;
        const std::vector<std::size_t>& at = starts.at;
        std::size_t& c = starts.cursor;
        if (c > 0 && at[c - 1] >= from) {
            c = static_cast<std::size_t>(std::lower_bound(at.begin(), at.end(), from) - at.begin());
        }
        while (c < at.size() && at[c] < from) {
            ++c;
        }
        for (std::size_t i = c; i < at.size(); ++i) {
            std::size_t q = at[i];
            if (q + name.size() + 3 > end) {
                break;
            }
            if (doc.compare(q + 2, name.size(), name) == 0 && doc[q + 2 + name.size()] == u'>') {
                return q;
            }
        }
        return std::u16string_view::npos;
    }

    std::u16string_view doc;
    mutable std::unordered_map<std::uint64_t, Starts> byKey;
};

int CXmlManager::SetDoc(const char16_t* text) noexcept {
    RemoveAllData();
    if (!text) {
        return 1;
    }
    try {
        return ParseDoc(Trim(std::u16string_view(text, Length(text))));
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int CXmlManager::AddSubDoc(const char16_t* text) noexcept {
    if (!text || !*text) {
        return 0;
    }
    if (!m_root) {
        return SetDoc(text);
    }
    if (!m_lastAdded) {
        return 0;
    }
    return ParserElement(std::u16string_view(text, Length(text)), m_lastAdded);
}

int CXmlManager::ParserElement(std::u16string_view text, Xml_Element* element) noexcept {
    if (!element) {
        return 0;
    }
    try {
        CloseIndex index(text);
        return ParseContent(text, index, 0, text.size(), element);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int CXmlManager::ParserAttribute(std::u16string_view text, Xml_Element* element) noexcept {
    if (!element) {
        return 0;
    }
    try {
        ParseAttributes(text, element);
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

// A whole document in one pass over the text, in text order. An element's
// content ends at the first "</name>" after its start tag; instead of
// searching ahead for it, the pass checks every closing-tag-shaped piece it
// meets against the names of the open elements:
// - every such piece ends at the ">" of some markup the pass reads, so each
//   piece inside a markup ending at ">" is checked there;
// - the innermost element closes at "</name>" as a markup of its own; the
//   same piece for any other open element, or inside other markup, would end
//   that element's content inside unfinished markup, which refuses the text;
// - an element inside an open one of the same name can never close.
// So it accepts exactly the texts (and builds exactly the trees) that cutting
// each content at its first closing tag would. (ParserElement, used for
// added content, still does the cutting literally; the fuzz target compares
// the two.)
int CXmlManager::ParseDoc(std::u16string_view doc) {
    if (doc.empty()) {
        return 0;
    }
    struct Open {
        Xml_Element* element;
        Xml_Element* lastChild;
        std::u16string_view name;  // undecoded, as its closing tag has it
    };
    std::vector<Open> open;
    // How many open names fall in each of 64 classes: most names asked
    // about are in no open class, which needs no comparison at all.
    std::uint16_t openClass[64] = {};
    auto nameClass = [](std::u16string_view key) noexcept {
        return key.empty() ? 0u : (static_cast<unsigned>(key.size()) * 7u + key.front() * 3u + key.back()) & 63u;
    };
    auto isOpenName = [&](std::u16string_view key) {
        if (!openClass[nameClass(key)]) {
            return false;
        }
        for (const Open& o : open) {
            if (Same(o.name, key)) {
                return true;
            }
        }
        return false;
    };
    Xml_Element* root = nullptr;
    const std::size_t n = doc.size();
    std::size_t pos = 0;
    if (!m_store) {
        m_store = std::make_unique<Store>();
    }
    std::size_t knownPos = std::u16string_view::npos;  // markup whose end is known
    MarkupEnd known;
    bool knownClosesTop = false;  // that markup is the innermost element's closing tag
    for (;;) {
        pos = SkipSpace(doc, pos, n);
        if (pos >= n) {
            break;
        }
        if (doc[pos] != u'<') {
            return 0;  // text outside the root, or after a child element
        }
        // The markup runs to the first ">"; note any "<" inside it. The text
        // before it may have found that end already.
        MarkupEnd markup = pos == knownPos ? known : ScanMarkup(doc.data(), pos + 1, n);
        const std::size_t gt = markup.gt;
        const bool innerLt = markup.innerLt;
        if (gt >= n) {
            return 0;
        }
        std::u16string_view rest = doc.substr(pos);
        if (!open.empty()) {
            if (innerLt) {
                for (std::size_t q = pos + 1; q + 1 < gt; ++q) {
                    if (doc[q] == u'<' && doc[q + 1] == u'/' && isOpenName(doc.substr(q + 2, gt - q - 2))) {
                        return 0;
                    }
                }
            }
            if (doc[pos + 1] == u'/') {
                std::u16string_view key = doc.substr(pos + 2, gt - pos - 2);
                if ((pos == knownPos && knownClosesTop) || Same(key, open.back().name)) {
                    --openClass[nameClass(key)];
                    open.pop_back();
                    pos = gt + 1;
                    continue;
                }
                if (isOpenName(key)) {
                    return 0;
                }
            }
        }
        if (rest[1] == u'!') {
            if (!IsSkippableMarkup(rest, gt - pos)) {
                return 0;
            }
            pos = gt + 1;
            continue;
        }
        if (rest[1] == u'?') {
            // Declarations only before the root.
            if (root || doc[gt - 1] != u'?') {
                return 0;
            }
            pos = gt + 1;
            continue;
        }
        Tag tag;
        if (!ReadTag(rest, gt - pos, tag)) {
            return 0;
        }
        if (!open.empty() && open.size() + 1 > kMaxNesting) {
            return 0;
        }
        if (open.empty() && root) {
            return 0;  // a second top-level element
        }
        Xml_Element* e = m_store->elements.New();
        // Without an ampersand in the tag, nothing in it needs decoding.
        if (markup.amp) {
            DecodeTo(e->name, tag.name);
        } else {
            e->name.assign(tag.name.data(), tag.name.size());
        }
        if (!root) {
            root = e;
            m_root = e;
            m_depth = 1;
        } else {
            Open& parent = open.back();
            if (parent.lastChild) {
                parent.lastChild->next = e;
            } else {
                parent.element->child = e;
                ++m_depth;
            }
            parent.lastChild = e;
        }
        ParseAttributes(tag.attributes, e, !markup.amp);
        pos = gt + 1;
        if (tag.empty) {
            continue;
        }
        if (isOpenName(tag.name)) {
            return 0;  // its closing tag would end the outer one first
        }
        open.push_back({e, nullptr, tag.name});
        ++openClass[nameClass(tag.name)];
        // Text may stand only before the first child. When the next markup
        // closes the element, the text is its whole (trimmed) content.
        std::size_t b = SkipSpace(doc, pos, n);
        std::size_t lt = FindEither(doc.data(), b, n, u'<', u'&');
        const bool textAmp = lt < n && doc[lt] == u'&';
        if (textAmp) {
            lt = FindChar(doc.data(), lt + 1, n, u'<');
        }
        if (lt == n) {
            return 0;
        }
        if (lt > b) {
            std::u16string_view text = doc.substr(b, lt - b);
            known = ScanMarkup(doc.data(), lt + 1, n);
            knownPos = lt;
            std::size_t end = known.gt;
            knownClosesTop = end != n && doc[lt + 1] == u'/' && Same(doc.substr(lt + 2, end - lt - 2), tag.name);
            if (knownClosesTop) {
                text = TrimRight(text);
            }
            if (textAmp) {
                e->data = Decode(text);
            } else {
                e->data.assign(text.data(), text.size());
            }
        }
        pos = lt;
    }
    if (!root || !open.empty()) {
        return 0;
    }
    m_readParent = nullptr;
    m_currentElem = root;
    m_started = m_savedStarted = false;
    m_buildParent = m_lastAdded = nullptr;
    return 1;
}

// Content of element: optional text, then child elements, comments and
// document type declarations only. Works with its own stack of open elements
// rather than recursion, so nesting never costs call stack.
int CXmlManager::ParseContent(std::u16string_view doc, const CloseIndex& index, std::size_t begin, std::size_t end,
                              Xml_Element* element) {
    if (!element) {
        return 0;
    }
    struct Open {
        Xml_Element* element;
        Xml_Element* lastChild;
        std::size_t pos;
        std::size_t end;
    };
    std::vector<Open> open;

    // Takes the text of [b, e) as content of el: pushes it when children follow.
    auto enter = [&](Xml_Element* el, std::size_t b, std::size_t e) {
        while (b < e && IsSpace(doc[b])) {
            ++b;
        }
        while (e > b && IsSpace(doc[e - 1])) {
            --e;
        }
        if (b == e) {
            return;
        }
        std::size_t lt = doc.substr(0, e).find(u'<', b);
        if (lt == std::u16string_view::npos) {
            DecodeTo(el->data, doc.substr(b, e - b));
            return;
        }
        if (lt > b) {
            // Text only before the first child; blanks before the "<" stay.
            DecodeTo(el->data, doc.substr(b, lt - b));
            b = lt;
        }
        Xml_Element* last = el->child;
        while (last && last->next) {
            last = last->next;
        }
        open.push_back({el, last, b, e});
    };

    enter(element, begin, end);
    while (!open.empty()) {
        Open& top = open.back();
        if (top.pos >= top.end) {
            open.pop_back();
            continue;
        }
        std::u16string_view rest = doc.substr(top.pos, top.end - top.pos);
        if (rest[0] != u'<') {
            return 0;  // text after a child element
        }
        std::size_t gt = rest.find(u'>', 1);
        if (gt == std::u16string_view::npos) {
            return 0;
        }
        if (rest[1] == u'!') {
            if (!IsSkippableMarkup(rest, gt)) {
                return 0;
            }
            top.pos = SkipSpace(doc, top.pos + gt + 1, top.end);
            continue;
        }
        if (rest[1] == u'?') {
            return 0;
        }
        Tag tag;
        if (!ReadTag(rest, gt, tag)) {
            return 0;
        }
        if (open.size() + 1 > kMaxNesting) {
            return 0;
        }
        Xml_Element* child = NewElement();
        DecodeTo(child->name, tag.name);
        ParseAttributes(tag.attributes, child);
        if (top.lastChild) {
            top.lastChild->next = child;
        } else {
            top.element->child = child;
            ++m_depth;
        }
        top.lastChild = child;
        std::size_t contentBegin = top.pos + gt + 1;
        if (tag.empty) {
            top.pos = SkipSpace(doc, contentBegin, top.end);
            continue;
        }
        std::size_t close = index.Find(tag.name, contentBegin, top.end);
        if (close == std::u16string_view::npos) {
            return 0;
        }
        top.pos = SkipSpace(doc, close + tag.name.size() + 3, top.end);
        enter(child, contentBegin, close);  // may grow the stack: top is not used after this
    }
    return 1;
}

// name="value" pieces cut at each double quote followed by a blank; a piece
// without '="' (and a last piece not ending in a double quote) is dropped.
void CXmlManager::ParseAttributes(std::u16string_view text, Xml_Element* element) {
    ParseAttributes(text, element, false);
}

// plain: the text holds no "&", so names and values are taken as they stand.
void CXmlManager::ParseAttributes(std::u16string_view text, Xml_Element* element, bool plain) {
    const std::u16string_view t = Trim(text);
    if (t.empty()) {
        return;
    }
    if (!m_store) {
        m_store = std::make_unique<Store>();
    }
    Xml_Attribute* last = element->attributes;
    while (last && last->next) {
        last = last->next;
    }
    const char16_t* p = t.data();
    const std::size_t n = t.size();
    std::size_t start = 0;
    for (;;) {
        // The piece ends at the first double quote followed by a blank, or
        // is the last one, running to the end. Its name ends at the first
        // "=" followed by a double quote. Both are found from the quotes.
        std::size_t eq = n;
        std::size_t cut = FindChar(p, start, n, u'"');
        for (; cut + 1 < n; cut = FindChar(p, cut + 1, n, u'"')) {
            if (p[cut + 1] == u' ') {
                break;
            }
            if (eq == n && cut > start && p[cut - 1] == u'=') {
                eq = cut - 1;
            }
        }
        const bool final = cut + 1 >= n;
        const std::size_t end = final ? n : cut;
        // A quote in the last place of a last piece may still follow "=".
        if (final && eq == n && cut + 1 == n && cut > start && p[cut - 1] == u'=') {
            eq = cut - 1;
        }
        if (eq != n && (!final || p[end - 1] == u'"')) {
            std::size_t valueEnd = end;
            // A last piece loses its closing quote; when that is the one after
            // "=", the value is empty.
            if (final && valueEnd > eq + 2) {
                --valueEnd;
            }
            std::u16string_view name(p + start, eq - start);
            std::u16string_view value(p + eq + 2, valueEnd - (eq + 2));
            Xml_Attribute* a = m_store->attributes.New();
            if (plain) {
                a->name.assign(name.data(), name.size());
                a->value.assign(value.data(), value.size());
            } else {
                DecodeTo(a->name, name);
                DecodeTo(a->value, value);
            }
            if (last) {
                last->next = a;
            } else {
                element->attributes = a;
            }
            last = a;
        }
        if (final) {
            return;
        }
        start = cut + 2;
        while (start < n && IsSpace(p[start])) {
            ++start;
        }
        if (start >= n) {
            return;
        }
    }
}

std::u16string CXmlManager::MakerAttribute(const Xml_Element* element) const {
    std::u16string out;
    if (element) {
        AppendAttributes(out, element);
    }
    return out;
}

// Writes element (and its following siblings when asked) with its subtree,
// walking the tree with a stack of open elements instead of recursion.
std::u16string CXmlManager::MakerElement(const Xml_Element* element, int level, int siblings) const {
    std::u16string out;
    if (!element) {
        return out;
    }
    // One allocation of the whole text, written through a pointer: a large
    // document is neither copied while growing nor checked for room piece
    // by piece.
    out.resize(ElementTextLength(element, level, siblings));
    char16_t* const base = out.data();
    TextWriter w(base);
    struct Open {
        const Xml_Element* element;
        int level;
        char16_t* childrenStart;
    };
    std::vector<Open> open;
    const Xml_Element* cur = element;
    int lvl = level;
    for (;;) {
        w.Indent(lvl);
        w.Put(u'<');
        w.Escaped(cur->name);
        if (cur->attributes) {
            w.Put(u' ');
            w.Attributes(cur);
        }
        if (cur->child) {
            w.Put(u">\r\n");
            if (!cur->data.empty()) {
                w.Indent(lvl + 1);
                w.Escaped(cur->data);
                w.Put(u"\r\n");
            }
            open.push_back({cur, lvl, w.At()});
            cur = cur->child;
            ++lvl;
            continue;
        }
        if (!cur->data.empty()) {
            w.Put(u'>');
            w.Escaped(cur->data);
            w.Put(u"</");
            w.Escaped(cur->name);
            w.Put(u">\r\n");
        } else {
            w.Put(u"/>\r\n");
        }
        // Next sibling, or close the open elements whose children are done.
        for (;;) {
            if (cur->next && (!open.empty() || siblings)) {
                cur = cur->next;
                break;
            }
            if (open.empty()) {
                char16_t* end = w.At();
                while (end > base && IsSpace(end[-1])) {
                    --end;
                }
                out.resize(static_cast<std::size_t>(end - base));
                return out;
            }
            Open o = open.back();
            open.pop_back();
            // The children's text loses its own trailing line end.
            char16_t* keep = w.At();
            while (keep > o.childrenStart && IsSpace(keep[-1])) {
                --keep;
            }
            w.Back(keep);
            w.Put(u"\r\n");
            w.Indent(o.level);
            w.Put(u"</");
            w.Escaped(o.element->name);
            w.Put(u">\r\n");
            cur = o.element;
            lvl = o.level;
        }
    }
}

std::u16string CXmlManager::GetDoc() const noexcept {
    try {
        return MakerElement(m_root, 0, 0);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

std::u16string CXmlManager::GetSubDoc() const noexcept {
    try {
        return MakerElement(m_currentElem, 0, 0);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

std::u16string CXmlManager::GetChildDoc() const noexcept {
    try {
        return m_currentElem ? MakerElement(m_currentElem->child, 0, 1) : std::u16string();
    } catch (const std::bad_alloc&) {
        return {};
    }
}
