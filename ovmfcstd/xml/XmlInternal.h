#pragma once
// Private pieces of the XML document manager: node storage and the text
// helpers shared by the cursor, parser, writer and file code.
#include <cstddef>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "ovmfcstd/XmlManager.h"

namespace ovxml {

// Chunked node storage. Nodes never move once handed out, so the tree links
// stay valid; everything is freed at once by Clear, without walking the tree,
// so a deep or long tree never costs recursion on destruction.
template <class T>
class Pool {
public:
    Pool() = default;
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;
    ~Pool() { Clear(); }

    // A default-constructed node; throws std::bad_alloc when memory runs out.
    T* New() {
        if (m_used == m_size) [[unlikely]] {
            std::size_t size = m_size == 0 ? 16 : (m_size < 4096 ? m_size * 2 : 4096);
            m_chunks.reserve(m_chunks.size() + 1);
            // Raw storage: nodes are constructed only when handed out.
            m_chunks.emplace_back(static_cast<T*>(::operator new(size * sizeof(T))));
            m_last = m_chunks.back().get();
            m_size = size;
            m_used = 0;
        }
        // Every member has its own initialiser: no zeroing beforehand.
        T* node = ::new (m_last + m_used) T;
        ++m_used;
        return node;
    }
    void Clear() noexcept {
        // Every chunk but the last is full.
        for (std::size_t c = 0; c < m_chunks.size(); ++c) {
            std::size_t used = c + 1 == m_chunks.size() ? m_used : ChunkSize(c);
            std::destroy_n(m_chunks[c].get(), used);
        }
        m_chunks.clear();
        m_last = nullptr;
        m_size = 0;
        m_used = 0;
    }

private:
    struct Free {
        void operator()(T* p) const noexcept { ::operator delete(p); }
    };
    static std::size_t ChunkSize(std::size_t index) noexcept {
        // 16, 32, ... 2048, then 4096 for every later chunk.
        return index < 8 ? std::size_t{16} << index : 4096;
    }
    std::vector<std::unique_ptr<T, Free>> m_chunks;
    T* m_last = nullptr;     // the last chunk
    std::size_t m_size = 0;  // nodes in the last chunk
    std::size_t m_used = 0;  // nodes handed out from the last chunk
};

// Blank, tab, carriage return or line feed.
constexpr bool IsSpace(char16_t c) noexcept {
    // One test of a bit mask of the four characters, indexed by code.
    return c <= u' ' && ((0x100002600ULL >> c) & 1) != 0;
}
std::u16string_view Trim(std::u16string_view s) noexcept;
std::u16string_view TrimLeft(std::u16string_view s) noexcept;
std::u16string_view TrimRight(std::u16string_view s) noexcept;
// Replaces &amp; &lt; &gt; &quot; &apos;, one after the other in that order.
std::u16string Decode(std::u16string_view s);
// Decode(s) stored into out, reusing its storage.
void DecodeTo(std::u16string& out, std::u16string_view s);
// Appends s with & < > " ' written as references.
void AppendEscaped(std::u16string& out, std::u16string_view s);
// Decimal text of a number.
std::u16string Decimal(long long value);
// Leading blanks, optional sign, digits up to the first non-digit; clamped to the range.
long long ReadDecimal(std::u16string_view s, long long min, long long max) noexcept;
// Length of a zero-terminated wide string.
std::size_t Length(const char16_t* s) noexcept;
// Index of the first c in s[from, n), or n.
std::size_t FindChar(const char16_t* s, std::size_t from, std::size_t n, char16_t c) noexcept;
// End of a markup: its first ">" at or after from (n when none), and
// whether a "<" or a "&" comes before it.
struct MarkupEnd {
    std::size_t gt = 0;
    bool innerLt = false;
    bool amp = false;
};
MarkupEnd ScanMarkup(const char16_t* s, std::size_t from, std::size_t n) noexcept;
// Index of the first a or b in s[from, n), or n.
std::size_t FindEither(const char16_t* s, std::size_t from, std::size_t n, char16_t a, char16_t b) noexcept;

}  // namespace ovxml

struct CXmlManager::Store {
    ovxml::Pool<Xml_Element> elements;
    ovxml::Pool<Xml_Attribute> attributes;
};
