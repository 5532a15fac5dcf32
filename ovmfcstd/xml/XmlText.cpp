// Text form of the XML document manager: the parser of the accepted XML
// subset, the writer of indented text, and the entity and string helpers.
#include <algorithm>
#include <cstdint>
#include <new>
#include <unordered_map>
#include <vector>

#include "XmlInternal.h"
#include "ovmfcstd/XmlManager.h"

namespace ovxml {

std::u16string_view TrimLeft(std::u16string_view s) noexcept
{
    std::size_t i = 0;
    while (i < s.size() && IsSpace(s[i]))
        ++i;
    return s.substr(i);
}

std::u16string_view TrimRight(std::u16string_view s) noexcept
{
    std::size_t n = s.size();
    while (n > 0 && IsSpace(s[n - 1]))
        --n;
    return s.substr(0, n);
}

std::u16string_view Trim(std::u16string_view s) noexcept
{
    return TrimRight(TrimLeft(s));
}

std::size_t Length(const char16_t* s) noexcept
{
    return s ? std::char_traits<char16_t>::length(s) : 0;
}

namespace {

// Replaces every occurrence of ref, left to right, by ch.
void ReplaceAll(std::u16string& s, std::u16string_view ref, char16_t ch)
{
    std::size_t pos = s.find(ref);
    if (pos == std::u16string::npos)
        return;
    std::u16string out;
    out.reserve(s.size());
    std::size_t from = 0;
    while (pos != std::u16string::npos) {
        out.append(s, from, pos - from);
        out.push_back(ch);
        from = pos + ref.size();
        pos = s.find(ref, from);
    }
    out.append(s, from, std::u16string::npos);
    s.swap(out);
}

}  // namespace

std::u16string Decode(std::u16string_view s)
{
    std::u16string out(s);
    if (s.find(u'&') == std::u16string_view::npos)
        return out;
    // One reference after the other, ampersand first: "&amp;lt;" ends as "<".
    ReplaceAll(out, u"&amp;", u'&');
    ReplaceAll(out, u"&lt;", u'<');
    ReplaceAll(out, u"&gt;", u'>');
    ReplaceAll(out, u"&quot;", u'"');
    ReplaceAll(out, u"&apos;", u'\'');
    return out;
}

void AppendEscaped(std::u16string& out, std::u16string_view s)
{
    std::size_t from = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        std::u16string_view ref;
        switch (s[i]) {
        case u'&': ref = u"&amp;"; break;
        case u'<': ref = u"&lt;"; break;
        case u'>': ref = u"&gt;"; break;
        case u'"': ref = u"&quot;"; break;
        case u'\'': ref = u"&apos;"; break;
        default: continue;
        }
        out.append(s.substr(from, i - from));
        out.append(ref);
        from = i + 1;
    }
    out.append(s.substr(from));
}

std::u16string Decimal(long long value)
{
    char buf[24];
    int n = std::snprintf(buf, sizeof buf, "%lld", value);
    return std::u16string(buf, buf + n);
}

long long ReadDecimal(std::u16string_view s, long long min, long long max) noexcept
{
    std::size_t i = 0;
    while (i < s.size() && IsSpace(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        negative = s[i++] == u'-';
    // Accumulate towards the sign's side so that the minimum is reachable.
    long long v = 0;
    for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
        int d = s[i] - u'0';
        if (negative) {
            if (v < (min + d) / 10)
                return min;
            v = v * 10 - d;
        } else {
            if (v > (max - d) / 10)
                return max;
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

std::uint64_t MixKey(std::uint64_t h, std::size_t length) noexcept
{
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

// Reads the tag whose "<" is at s[0] and whose first ">" is at s[gt].
bool ReadTag(std::u16string_view s, std::size_t gt, Tag& tag) noexcept
{
    std::u16string_view text = s.substr(1, gt - 1);
    tag.empty = !text.empty() && text.back() == u'/';
    if (tag.empty)
        text.remove_suffix(1);
    // The name ends at the first blank (only a space, not a tab or line end).
    std::size_t blank = text.find(u' ');
    if (blank == std::u16string_view::npos) {
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
bool IsSkippableMarkup(std::u16string_view s, std::size_t gt) noexcept
{
    if (s.starts_with(u"<!--"))
        return gt >= 4 && s[gt - 1] == u'-' && s[gt - 2] == u'-';
    constexpr std::u16string_view doctype = u"<!DOCTYPE";
    if (s.size() < doctype.size())
        return false;
    for (std::size_t i = 0; i < doctype.size(); ++i) {
        char16_t c = s[i];
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
        if (c != doctype[i])
            return false;
    }
    return true;
}

std::size_t SkipSpace(std::u16string_view s, std::size_t pos, std::size_t end) noexcept
{
    while (pos < end && IsSpace(s[pos]))
        ++pos;
    return pos;
}

void Indent(std::u16string& out, int level)
{
    out.append(static_cast<std::size_t>(level > 0 ? level : 0) * 4, u' ');
}

void AppendAttributes(std::u16string& out, const Xml_Element* element)
{
    for (const Xml_Attribute* a = element->attributes; a; a = a->next) {
        AppendEscaped(out, a->name);
        out += u"=\"";
        AppendEscaped(out, a->value);
        out += u"\" ";
    }
    if (element->attributes)
        out.pop_back();
}

}  // namespace

// Where each closing tag "</name>" of a text starts. An element's content
// ends at the first closing tag of its name after the start tag; looking that
// up here instead of searching the text keeps parsing linear however deep the
// document is. Every "</" is recorded under the hash of the text between it
// and the next ">", the only name its closing tag can belong to.
struct CXmlManager::CloseIndex {
    explicit CloseIndex(std::u16string_view text) : doc(text)
    {
        std::vector<std::size_t> pending;  // "</" seen since the last ">"
        for (std::size_t i = 0; i < doc.size(); ++i) {
            char16_t c = doc[i];
            if (c == u'<') {
                if (i + 1 < doc.size() && doc[i + 1] == u'/')
                    pending.push_back(i);
            } else if (c == u'>' && !pending.empty()) {
                // The keys are suffixes of one text ending here: hash them in
                // one right-to-left sweep rather than one by one.
                std::uint64_t h = 0;
                std::size_t k = i;
                for (auto it = pending.rbegin(); it != pending.rend(); ++it) {
                    std::size_t start = *it + 2;
                    while (k > start)
                        h = doc[--k] + kHashBase * h;
                    byKey[MixKey(h, i - start)].push_back(*it);
                }
                pending.clear();
            }
        }
        for (auto& [key, starts] : byKey)
            if (!std::is_sorted(starts.begin(), starts.end()))
                std::sort(starts.begin(), starts.end());
    }

    // Start of the first "</name>" that begins at from or later and ends by end.
    std::size_t Find(std::u16string_view name, std::size_t from, std::size_t end) const
    {
        std::uint64_t h = 0;
        for (std::size_t k = name.size(); k > 0; --k)
            h = name[k - 1] + kHashBase * h;
        auto found = byKey.find(MixKey(h, name.size()));
        if (found == byKey.end())
            return std::u16string_view::npos;
        const std::vector<std::size_t>& starts = found->second;
        for (auto it = std::lower_bound(starts.begin(), starts.end(), from); it != starts.end(); ++it) {
            std::size_t q = *it;
            if (q + name.size() + 3 > end)
                break;
            if (doc.compare(q + 2, name.size(), name) == 0 && doc[q + 2 + name.size()] == u'>')
                return q;
        }
        return std::u16string_view::npos;
    }

    std::u16string_view doc;
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> byKey;
};

int CXmlManager::SetDoc(const char16_t* text) noexcept
{
    RemoveAllData();
    if (!text)
        return 1;
    try {
        return ParseDoc(Trim(std::u16string_view(text, Length(text))));
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int CXmlManager::AddSubDoc(const char16_t* text) noexcept
{
    if (!text || !*text)
        return 0;
    if (!m_root)
        return SetDoc(text);
    if (!m_lastAdded)
        return 0;
    return ParserElement(std::u16string_view(text, Length(text)), m_lastAdded);
}

int CXmlManager::ParserElement(std::u16string_view text, Xml_Element* element) noexcept
{
    if (!element)
        return 0;
    try {
        CloseIndex index(text);
        return ParseContent(text, index, 0, text.size(), element);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int CXmlManager::ParserAttribute(std::u16string_view text, Xml_Element* element) noexcept
{
    if (!element)
        return 0;
    try {
        ParseAttributes(text, element);
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

// Top level of a trimmed text: comments, document type declarations and,
// before the root only, declarations around exactly one root element.
int CXmlManager::ParseDoc(std::u16string_view doc)
{
    if (doc.empty())
        return 0;
    CloseIndex index(doc);
    Xml_Element* root = nullptr;
    std::size_t contentBegin = 0, contentEnd = 0;
    std::size_t pos = 0;
    while (pos < doc.size()) {
        std::u16string_view rest = doc.substr(pos);
        if (rest[0] != u'<')
            return 0;
        std::size_t gt = rest.find(u'>', 1);
        if (gt == std::u16string_view::npos)
            return 0;
        if (rest[1] == u'!') {
            if (!IsSkippableMarkup(rest, gt))
                return 0;
            pos += gt + 1;
        } else if (rest[1] == u'?') {
            if (root || rest[gt - 1] != u'?')
                return 0;
            pos += gt + 1;
        } else {
            Tag tag;
            if (root || !ReadTag(rest, gt, tag))
                return 0;
            root = NewElement();
            root->name = Decode(tag.name);
            m_root = root;
            ParseAttributes(tag.attributes, root);
            contentBegin = contentEnd = pos + gt + 1;
            if (tag.empty) {
                pos += gt + 1;
            } else {
                std::size_t close = index.Find(tag.name, contentBegin, doc.size());
                if (close == std::u16string_view::npos)
                    return 0;
                contentEnd = close;
                pos = close + tag.name.size() + 3;
            }
        }
        pos = SkipSpace(doc, pos, doc.size());
    }
    if (!root)
        return 0;
    m_readParent = nullptr;
    m_currentElem = root;
    m_started = m_savedStarted = false;
    m_buildParent = m_lastAdded = nullptr;
    m_depth = 1;
    return ParseContent(doc, index, contentBegin, contentEnd, root);
}

// Content of element: optional text, then child elements, comments and
// document type declarations only. Works with its own stack of open elements
// rather than recursion, so nesting never costs call stack.
int CXmlManager::ParseContent(std::u16string_view doc, const CloseIndex& index, std::size_t begin,
                              std::size_t end, Xml_Element* element)
{
    if (!element)
        return 0;
    struct Open {
        Xml_Element* element;
        Xml_Element* lastChild;
        std::size_t pos;
        std::size_t end;
    };
    std::vector<Open> open;

    // Takes the text of [b, e) as content of el: pushes it when children follow.
    auto enter = [&](Xml_Element* el, std::size_t b, std::size_t e) {
        while (b < e && IsSpace(doc[b]))
            ++b;
        while (e > b && IsSpace(doc[e - 1]))
            --e;
        if (b == e)
            return;
        std::size_t lt = doc.substr(0, e).find(u'<', b);
        if (lt == std::u16string_view::npos) {
            el->data = Decode(doc.substr(b, e - b));
            return;
        }
        if (lt > b) {
            // Text only before the first child; blanks before the "<" stay.
            el->data = Decode(doc.substr(b, lt - b));
            b = lt;
        }
        Xml_Element* last = el->child;
        while (last && last->next)
            last = last->next;
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
        if (rest[0] != u'<')
            return 0;  // text after a child element
        std::size_t gt = rest.find(u'>', 1);
        if (gt == std::u16string_view::npos)
            return 0;
        if (rest[1] == u'!') {
            if (!IsSkippableMarkup(rest, gt))
                return 0;
            top.pos = SkipSpace(doc, top.pos + gt + 1, top.end);
            continue;
        }
        if (rest[1] == u'?')
            return 0;
        Tag tag;
        if (!ReadTag(rest, gt, tag))
            return 0;
        if (open.size() + 1 > kMaxNesting)
            return 0;
        Xml_Element* child = NewElement();
        child->name = Decode(tag.name);
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
        if (close == std::u16string_view::npos)
            return 0;
        top.pos = SkipSpace(doc, close + tag.name.size() + 3, top.end);
        enter(child, contentBegin, close);  // may grow the stack: top is not used after this
    }
    return 1;
}

// name="value" pieces cut at each double quote followed by a blank; a piece
// without '="' (and a last piece not ending in a double quote) is dropped.
void CXmlManager::ParseAttributes(std::u16string_view text, Xml_Element* element)
{
    std::u16string_view t = Trim(text);
    if (t.empty())
        return;
    Xml_Attribute* last = element->attributes;
    while (last && last->next)
        last = last->next;
    auto add = [&](std::u16string_view piece, bool final) {
        std::size_t eq = piece.find(u"=\"");
        if (eq == std::u16string_view::npos)
            return;
        std::u16string_view value = piece.substr(eq + 2);
        if (final) {
            if (piece.back() != u'"')
                return;
            // The closing quote; when it is the one after "=", the value is empty.
            value = value.empty() ? value : value.substr(0, value.size() - 1);
        }
        Xml_Attribute* a = NewAttribute();
        a->name = Decode(piece.substr(0, eq));
        a->value = Decode(value);
        if (last)
            last->next = a;
        else
            element->attributes = a;
        last = a;
    };
    for (std::size_t cut = t.find(u"\" "); cut != std::u16string_view::npos; cut = t.find(u"\" ")) {
        add(t.substr(0, cut), false);
        t = TrimLeft(t.substr(cut + 2));
    }
    if (!t.empty())
        add(t, true);
}

std::u16string CXmlManager::MakerAttribute(const Xml_Element* element) const
{
    std::u16string out;
    if (element)
        AppendAttributes(out, element);
    return out;
}

// Writes element (and its following siblings when asked) with its subtree,
// walking the tree with a stack of open elements instead of recursion.
std::u16string CXmlManager::MakerElement(const Xml_Element* element, int level, int siblings) const
{
    std::u16string out;
    if (!element)
        return out;
    struct Open {
        const Xml_Element* element;
        int level;
        std::size_t childrenStart;
    };
    std::vector<Open> open;
    const Xml_Element* cur = element;
    int lvl = level;
    for (;;) {
        Indent(out, lvl);
        out += u'<';
        AppendEscaped(out, cur->name);
        if (cur->attributes) {
            out += u' ';
            AppendAttributes(out, cur);
        }
        if (cur->child) {
            out += u">\r\n";
            if (!cur->data.empty()) {
                Indent(out, lvl + 1);
                AppendEscaped(out, cur->data);
                out += u"\r\n";
            }
            open.push_back({cur, lvl, out.size()});
            cur = cur->child;
            ++lvl;
            continue;
        }
        if (!cur->data.empty()) {
            out += u'>';
            AppendEscaped(out, cur->data);
            out += u"</";
            AppendEscaped(out, cur->name);
            out += u">\r\n";
        } else {
            out += u"/>\r\n";
        }
        // Next sibling, or close the open elements whose children are done.
        for (;;) {
            if (cur->next && (!open.empty() || siblings)) {
                cur = cur->next;
                break;
            }
            if (open.empty()) {
                out.resize(TrimRight(out).size());
                return out;
            }
            Open o = open.back();
            open.pop_back();
            // The children's text loses its own trailing line end.
            std::size_t keep = out.size();
            while (keep > o.childrenStart && IsSpace(out[keep - 1]))
                --keep;
            out.resize(keep);
            out += u"\r\n";
            Indent(out, o.level);
            out += u"</";
            AppendEscaped(out, o.element->name);
            out += u">\r\n";
            cur = o.element;
            lvl = o.level;
        }
    }
}

std::u16string CXmlManager::GetDoc() const noexcept
{
    try {
        return MakerElement(m_root, 0, 0);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

std::u16string CXmlManager::GetSubDoc() const noexcept
{
    try {
        return MakerElement(m_currentElem, 0, 0);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

std::u16string CXmlManager::GetChildDoc() const noexcept
{
    try {
        return m_currentElem ? MakerElement(m_currentElem->child, 0, 1) : std::u16string();
    } catch (const std::bad_alloc&) {
        return {};
    }
}
