// COvXmlParser over pugixml. pugixml keeps text as UTF-8; the cursor API
// speaks UTF-16, so every string crosses one conversion at the boundary.
#include "OvXmlParser.h"

#include <fstream>
#include <iterator>
#include <string_view>

#include <pugixml.hpp>

#include "platform/codepage.h"

namespace {

// The cursor's rule: `level` is the node whose children form the current
// level (the document node at the top), `current` the current element on that
// level or null. `current`, when set, is always a child of `level`.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration;

bool IsValidUtf8(std::string_view s) noexcept {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t len;
        char32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > s.size()) {
            return false;
        }
        for (std::size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
            (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
            return false;
        }
        i += len;
    }
    return true;
}

// Encoding named by an XML declaration at the start of a byte-oriented file,
// lower-cased; empty when there is no declaration or no encoding in it.
std::string DeclaredEncoding(std::string_view bytes) {
    if (bytes.substr(0, 5) != "<?xml") {
        return {};
    }
    const auto end = bytes.find("?>");
    const std::string_view decl = bytes.substr(0, end);
    const auto at = decl.find("encoding");
    if (at == std::string_view::npos) {
        return {};
    }
    auto p = decl.find_first_of("\"'", at);
    if (p == std::string_view::npos) {
        return {};
    }
    const char quote = decl[p];
    const auto q = decl.find(quote, p + 1);
    if (q == std::string_view::npos) {
        return {};
    }
    std::string name(decl.substr(p + 1, q - p - 1));
    for (auto& ch : name) {
        if (ch >= 'A' && ch <= 'Z') {
            ch = static_cast<char>(ch - 'A' + 'a');
        }
    }
    return name;
}

// UTF-16 code units from raw bytes in the given byte order (a trailing odd
// byte is dropped).
std::u16string Utf16FromBytes(std::string_view bytes, bool bigEndian) {
    std::u16string out;
    out.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        out.push_back(static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a));
    }
    return out;
}

// Turns the bytes of a file into UTF-8 for pugixml: byte-order marks decide
// first, then a UTF-16 "<?" without one, then the declared encoding (UTF-8
// only when the bytes are valid UTF-8); a file without a declaration is UTF-8
// when valid. Anything else, and a declared encoding the conversions do not
// know, is text in the thread's ANSI code page.
std::string FileBytesToUtf8(std::string_view bytes) {
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        return std::string(bytes.substr(3));
    }
    if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE") {
        return ov::WideToUtf8(Utf16FromBytes(bytes.substr(2), false));
    }
    if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFE\xFF") {
        return ov::WideToUtf8(Utf16FromBytes(bytes.substr(2), true));
    }
    if (bytes.size() >= 4 && bytes.substr(0, 4) == std::string_view("<\0?\0", 4)) {
        return ov::WideToUtf8(Utf16FromBytes(bytes, false));
    }
    if (bytes.size() >= 4 && bytes.substr(0, 4) == std::string_view("\0<\0?", 4)) {
        return ov::WideToUtf8(Utf16FromBytes(bytes, true));
    }

    const std::string declared = DeclaredEncoding(bytes);
    const UINT page = declared.empty() ? CP_UTF8 : CodePageOfCharset(declared);
    if (page == CP_UTF8 && IsValidUtf8(bytes)) {
        return std::string(bytes);
    }
    const bool honoured = page != CP_UTF8 && page != 0;
    return ov::WideToUtf8(ov::AnsiToWide(bytes, honoured ? page : CP_THREAD_ACP));
}

std::u16string ToWide(const char* utf8) {
    return utf8 ? ov::Utf8ToWide(utf8) : std::u16string();
}

std::string ToUtf8(const char16_t* wide) {
    return wide ? ov::WideToUtf8(wide) : std::string();
}

// pugixml writer that collects the serialised document in a string.
struct StringWriter final : pugi::xml_writer {
    std::string text;
    void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
};

}  // namespace

struct COvXmlParser::Impl {
    pugi::xml_document doc;
    pugi::xml_node level;
    pugi::xml_node current;

    void Reset() noexcept {
        level = doc;
        current = pugi::xml_node();
    }

    // Parses UTF-8 text into the document; on failure the document is empty.
    bool Parse(const std::string& utf8) {
        const pugi::xml_parse_result r = doc.load_buffer(utf8.data(), utf8.size(), kParseOptions, pugi::encoding_utf8);
        if (!r) {
            doc.reset();
        }
        Reset();
        return static_cast<bool>(r);
    }
};

COvXmlParser::COvXmlParser() : m_impl(std::make_unique<Impl>()) {
    m_impl->Reset();
}

COvXmlParser::~COvXmlParser() = default;

int COvXmlParser::Load(const char16_t* path) {
    try {
        m_impl->doc.reset();
        m_impl->Reset();
        if (!path || !*path) {
            return 0;
        }
        std::ifstream in(ov::WideToUtf8(path), std::ios::binary);
        if (!in) {
            return 0;
        }
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad()) {
            return 0;
        }
        return m_impl->Parse(FileBytesToUtf8(bytes)) ? 1 : 0;
    } catch (...) {
        m_impl->doc.reset();
        m_impl->Reset();
        return 0;
    }
}

int COvXmlParser::SetDoc(const char16_t* text) {
    try {
        return m_impl->Parse(ToUtf8(text)) ? 1 : 0;
    } catch (...) {
        m_impl->doc.reset();
        m_impl->Reset();
        return 0;
    }
}

std::u16string COvXmlParser::GetDoc() const {
    try {
        StringWriter w;
        m_impl->doc.save(w, "\t", pugi::format_default, pugi::encoding_utf8);
        return ov::Utf8ToWide(w.text);
    } catch (...) {
        return {};
    }
}

void COvXmlParser::ResetPos() {
    m_impl->Reset();
}

int COvXmlParser::FindElem(const char16_t* name) {
    try {
        const std::string wanted = ToUtf8(name);
        pugi::xml_node n = m_impl->current ? m_impl->current.next_sibling() : m_impl->level.first_child();
        for (; n; n = n.next_sibling()) {
            if (n.type() == pugi::node_element && wanted == n.name()) {
                m_impl->current = n;
                return 1;
            }
        }
        return 0;
    } catch (...) {
        return 0;
    }
}

int COvXmlParser::IntoElem() {
    if (!m_impl->current) {
        return 0;
    }
    m_impl->level = m_impl->current;
    m_impl->current = pugi::xml_node();
    return 1;
}

int COvXmlParser::OutOfElem() {
    if (m_impl->level == m_impl->doc) {
        return 0;
    }
    m_impl->current = m_impl->level;
    m_impl->level = m_impl->level.parent();
    return 1;
}

std::u16string COvXmlParser::GetAttrib(const char16_t* name) const {
    try {
        if (!m_impl->current || !name) {
            return {};
        }
        return ToWide(m_impl->current.attribute(ToUtf8(name).c_str()).value());
    } catch (...) {
        return {};
    }
}

std::u16string COvXmlParser::GetData() const {
    try {
        if (!m_impl->current) {
            return {};
        }
        return ToWide(m_impl->current.text().get());
    } catch (...) {
        return {};
    }
}

int COvXmlParser::AddElem(const char16_t* name, const char16_t* data) {
    try {
        if (!name || !*name) {
            return 0;
        }
        // A document holds one root element; a second one would not be XML.
        if (m_impl->level == m_impl->doc && m_impl->doc.document_element()) {
            return 0;
        }
        pugi::xml_node n = m_impl->current ? m_impl->level.insert_child_after(pugi::node_element, m_impl->current)
                                           : m_impl->level.append_child(pugi::node_element);
        if (!n) {
            return 0;
        }
        if (!n.set_name(ToUtf8(name).c_str())) {
            m_impl->level.remove_child(n);
            return 0;
        }
        if (data && !n.text().set(ToUtf8(data).c_str())) {
            m_impl->level.remove_child(n);
            return 0;
        }
        m_impl->current = n;
        return 1;
    } catch (...) {
        return 0;
    }
}

int COvXmlParser::SetData(const char16_t* data, int flags) {
    try {
        if (!m_impl->current) {
            return 0;
        }
        pugi::xml_node el = m_impl->current;
        // Drop the old text nodes; child elements stay as they are.
        for (pugi::xml_node c = el.first_child(); c;) {
            const pugi::xml_node next = c.next_sibling();
            if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) {
                el.remove_child(c);
            }
            c = next;
        }
        const std::string text = ToUtf8(data);
        if (text.empty()) {
            return 1;
        }
        // Flag 1 asks for a CDATA section instead of escaped text.
        pugi::xml_node t = el.prepend_child((flags & 1) ? pugi::node_cdata : pugi::node_pcdata);
        return t && t.set_value(text.c_str()) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}
