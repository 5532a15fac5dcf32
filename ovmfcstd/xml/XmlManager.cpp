// XML document manager: element tree, read and build cursors, path
// addressing and typed attribute access.
#include "ovmfcstd/XmlManager.h"

#include <climits>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "XmlInternal.h"

using namespace ovxml;

namespace {

// The `long` overloads keep the file formats of a 32-bit `long`: a value is
// taken modulo 2^32 as a conversion to that type would, and text is read
// with the 32-bit conversion's limits.
std::int32_t Long32(long value) noexcept {
    return static_cast<std::int32_t>(value);
}

std::u16string DecodeOrEmpty(const char16_t* s) {
    return s ? Decode(std::u16string_view(s, Length(s))) : std::u16string();
}

const char16_t* TextOrNull(const std::u16string& s) noexcept {
    return s.empty() ? nullptr : s.c_str();
}

const char16_t* TruthText(int value) noexcept {
    return value ? u"true" : u"false";
}

}  // namespace

CXmlManager::CXmlManager() noexcept = default;

CXmlManager::~CXmlManager() {
    RemoveAllData();
}

CXmlManager::CXmlManager(const CXmlManager& other) noexcept {
    try {
        CopyFrom(other);
    } catch (const std::bad_alloc&) {
        // XXX: a copy constructor has no result to report with; the copy stays empty.
        RemoveAllData();
    }
}

CXmlManager& CXmlManager::operator=(const CXmlManager& other) noexcept {
    if (this == &other) {
        return *this;
    }
    CXmlManager copy;
    try {
        copy.CopyFrom(other);
    } catch (const std::bad_alloc&) {
        return *this;
    }
    *this = std::move(copy);
    return *this;
}

CXmlManager::CXmlManager(CXmlManager&& other) noexcept {
    *this = std::move(other);
}

CXmlManager& CXmlManager::operator=(CXmlManager&& other) noexcept {
    if (this == &other) {
        return *this;
    }
    m_store = std::move(other.m_store);
    m_root = std::exchange(other.m_root, nullptr);
    m_fileType = std::exchange(other.m_fileType, XML_FILE_NONE);
    m_depth = std::exchange(other.m_depth, 0);
    m_readParent = std::exchange(other.m_readParent, nullptr);
    m_currentElem = std::exchange(other.m_currentElem, nullptr);
    m_savedStarted = std::exchange(other.m_savedStarted, false);
    m_started = std::exchange(other.m_started, false);
    m_buildParent = std::exchange(other.m_buildParent, nullptr);
    m_lastAdded = std::exchange(other.m_lastAdded, nullptr);
    return *this;
}

// Duplicates other's tree into this empty manager, cursors included.
void CXmlManager::CopyFrom(const CXmlManager& other) {
    m_fileType = other.m_fileType;
    m_depth = other.m_depth;
    m_savedStarted = other.m_savedStarted;
    m_started = other.m_started;
    std::vector<std::pair<const Xml_Element*, Xml_Element**>> work;
    if (other.m_root) {
        work.emplace_back(other.m_root, &m_root);
    }
    while (!work.empty()) {
        auto [src, slot] = work.back();
        work.pop_back();
        for (; src; src = src->next) {
            Xml_Element* dst = NewElement();
            dst->name = src->name;
            dst->data = src->data;
            Xml_Attribute** attrSlot = &dst->attributes;
            for (const Xml_Attribute* a = src->attributes; a; a = a->next) {
                Xml_Attribute* copy = NewAttribute();
                copy->name = a->name;
                copy->value = a->value;
                *attrSlot = copy;
                attrSlot = &copy->next;
            }
            *slot = dst;
            slot = &dst->next;
            if (src == other.m_readParent) {
                m_readParent = dst;
            }
            if (src == other.m_currentElem) {
                m_currentElem = dst;
            }
            if (src == other.m_buildParent) {
                m_buildParent = dst;
            }
            if (src == other.m_lastAdded) {
                m_lastAdded = dst;
            }
            if (src->child) {
                work.emplace_back(src->child, &dst->child);
            }
        }
    }
}

Xml_Element* CXmlManager::NewElement() {
    if (!m_store) {
        m_store = std::make_unique<Store>();
    }
    return m_store->elements.New();
}

Xml_Attribute* CXmlManager::NewAttribute() {
    if (!m_store) {
        m_store = std::make_unique<Store>();
    }
    return m_store->attributes.New();
}

void CXmlManager::RemoveAttribute(Xml_Attribute* attribute) noexcept {
    while (attribute) {
        Xml_Attribute* next = attribute->next;
        std::u16string().swap(attribute->name);
        std::u16string().swap(attribute->value);
        attribute->next = nullptr;
        attribute = next;
    }
}

void CXmlManager::RemoveElement(Xml_Element* element) noexcept {
    // Iterative: a chain of first children may be as long as the tree is deep.
    try {
        std::vector<Xml_Element*> work;
        if (element) {
            work.push_back(element);
        }
        while (!work.empty()) {
            Xml_Element* e = work.back();
            work.pop_back();
            for (; e;) {
                if (e->child) {
                    work.push_back(e->child);
                }
                RemoveAttribute(e->attributes);
                std::u16string().swap(e->name);
                std::u16string().swap(e->data);
                Xml_Element* next = e->next;
                e->attributes = nullptr;
                e->child = e->next = nullptr;
                e = next;
            }
        }
    } catch (const std::bad_alloc&) {
        // The nodes stay in the storage and are freed with the whole tree.
    }
}

void CXmlManager::RemoveAllData() noexcept {
    if (m_store) {
        m_store->elements.Clear();
        m_store->attributes.Clear();
    }
    m_root = nullptr;
    m_fileType = XML_FILE_NONE;
    m_depth = 0;
    m_readParent = m_currentElem = nullptr;
    m_savedStarted = m_started = false;
    m_buildParent = m_lastAdded = nullptr;
}

// ---- read cursor ----

int CXmlManager::Find(const char16_t* name) noexcept {
    if (m_started) {
        if (m_currentElem) {
            m_currentElem = m_currentElem->next;
        }
    } else {
        m_started = true;
    }
    if (name) {
        std::u16string_view wanted(name, Length(name));
        while (m_currentElem && m_currentElem->name != wanted) {
            m_currentElem = m_currentElem->next;
        }
    }
    return m_currentElem ? 1 : 0;
}

int CXmlManager::Into() noexcept {
    if (m_lastAdded) {
        m_buildParent = m_lastAdded;
        ++m_depth;
        return 1;
    }
    if (!m_currentElem) {
        return 0;
    }
    m_readParent = m_currentElem;
    m_savedStarted = m_started;
    m_currentElem = m_currentElem->child;
    m_started = false;
    return m_currentElem ? 1 : 0;
}

int CXmlManager::OutOf() noexcept {
    if (m_lastAdded) {
        if (!m_buildParent) {
            return 0;
        }
        m_lastAdded = m_buildParent;
        return 1;
    }
    if (!m_readParent) {
        return 0;
    }
    m_currentElem = m_readParent;
    m_started = m_savedStarted;
    return 1;
}

void CXmlManager::Reset() noexcept {
    m_currentElem = m_readParent ? m_readParent->child : m_root;
    m_started = false;
}

void CXmlManager::ResetAll() noexcept {
    m_readParent = nullptr;
    m_savedStarted = false;
    m_buildParent = nullptr;
    m_lastAdded = nullptr;
    m_currentElem = m_root;
    m_started = false;
}

const char16_t* CXmlManager::GetName() const noexcept {
    return m_currentElem ? TextOrNull(m_currentElem->name) : nullptr;
}

const char16_t* CXmlManager::GetData() const noexcept {
    return m_currentElem ? TextOrNull(m_currentElem->data) : nullptr;
}

void CXmlManager::SetData(const char16_t* text) noexcept {
    if (!m_currentElem) {
        return;
    }
    try {
        m_currentElem->data = DecodeOrEmpty(text);
    } catch (const std::bad_alloc&) {
    }
}

Xml_Attribute* CXmlManager::FindAttribute(const char16_t* name) const noexcept {
    if (!m_currentElem || !name) {
        return nullptr;
    }
    std::u16string_view wanted(name, Length(name));
    for (Xml_Attribute* a = m_currentElem->attributes; a; a = a->next) {
        if (a->name == wanted) {
            return a;
        }
    }
    return nullptr;
}

const char16_t* CXmlManager::GetAttr(const char16_t* name) const noexcept {
    const Xml_Attribute* a = FindAttribute(name);
    return a ? TextOrNull(a->value) : nullptr;
}

void CXmlManager::SetAttr(const char16_t* name, const char16_t* value) noexcept {
    Xml_Attribute* a = FindAttribute(name);
    if (!a) {
        return;
    }
    try {
        a->value = DecodeOrEmpty(value);
    } catch (const std::bad_alloc&) {
    }
}

void CXmlManager::SetAttr(const char16_t* name, long value) noexcept {
    SetAttr(name, static_cast<long long>(Long32(value)));
}

void CXmlManager::SetAttr(const char16_t* name, long long value) noexcept {
    try {
        SetAttr(name, Decimal(value).c_str());
    } catch (const std::bad_alloc&) {
    }
}

void CXmlManager::SetAttr(const char16_t* name, int value) noexcept {
    SetAttr(name, TruthText(value));
}

// ---- build cursor ----

int CXmlManager::AddElem(const char16_t* name, const char16_t* data) noexcept {
    if (!name || !*name) {
        return 0;
    }
    if (m_root && !m_buildParent) {
        return 0;  // a document has one top-level element
    }
    // Placing a sibling of the root (after leaving the root's level) would
    // make a second top-level element, which no text form can hold.
    if (m_root && m_buildParent->child && m_lastAdded == m_root) {
        return 0;
    }
    try {
        std::u16string decodedName = DecodeOrEmpty(name);
        std::u16string decodedData = DecodeOrEmpty(data);
        Xml_Element* e = NewElement();
        e->name = std::move(decodedName);
        e->data = std::move(decodedData);
        if (!m_root) {
            m_root = e;
        } else if (!m_buildParent->child) {
            m_buildParent->child = e;
        } else {
            // The build cursor remembers one parent only, so after a second
            // OutOf the element added last may already have following
            // siblings: append after the last of them rather than cutting
            // them off.
            Xml_Element* after = m_lastAdded ? m_lastAdded : m_buildParent->child;
            while (after->next) {
                after = after->next;
            }
            after->next = e;
        }
        m_lastAdded = e;
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int CXmlManager::AddChildElem(const char16_t* name, const char16_t* data) noexcept {
    if (!m_lastAdded || !name || !*name) {
        return 0;
    }
    Xml_Element* parent = m_lastAdded;
    try {
        std::u16string decodedName = DecodeOrEmpty(name);
        std::u16string decodedData = DecodeOrEmpty(data);
        Xml_Element* e = NewElement();
        e->name = std::move(decodedName);
        e->data = std::move(decodedData);
        // Always below parent: a further child goes after its last child,
        // never beside parent (where a root's sibling would be lost).
        Xml_Element** slot = &parent->child;
        while (*slot) {
            slot = &(*slot)->next;
        }
        *slot = e;
    } catch (const std::bad_alloc&) {
        return 0;
    }
    m_buildParent = parent;
    ++m_depth;
    m_lastAdded = parent;
    return 1;
}

Xml_Attribute* CXmlManager::AppendAttribute(Xml_Element* element, std::u16string name, std::u16string value) {
    Xml_Attribute* a = NewAttribute();
    a->name = std::move(name);
    a->value = std::move(value);
    Xml_Attribute** slot = &element->attributes;
    while (*slot) {
        slot = &(*slot)->next;
    }
    *slot = a;
    return a;
}

int CXmlManager::AddAttr(const char16_t* name, const char16_t* value) noexcept {
    if (!m_lastAdded || !name || !*name) {
        return 0;
    }
    try {
        AppendAttribute(m_lastAdded, DecodeOrEmpty(name), DecodeOrEmpty(value));
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int CXmlManager::AddAttr(const char16_t* name, long value) noexcept {
    return AddAttr(name, static_cast<long long>(Long32(value)));
}

int CXmlManager::AddAttr(const char16_t* name, long long value) noexcept {
    try {
        return AddAttr(name, Decimal(value).c_str());
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int CXmlManager::AddAttr(const char16_t* name, int value) noexcept {
    return AddAttr(name, TruthText(value));
}

// ---- path addressing ----

Xml_Element* CXmlManager::GetElementFormPath(const char16_t* path) const noexcept {
    if (!m_root || m_depth == 0 || !path || !*path) {
        return nullptr;
    }
    std::u16string_view p(path, Length(path));
    std::size_t cut = p.find(u'\\');
    std::u16string_view first = p.substr(0, cut);
    if (first != m_root->name) {
        return nullptr;
    }
    // The rest keeps its parts backslash-terminated, as if one had been appended.
    std::u16string_view rest = cut == std::u16string_view::npos ? std::u16string_view() : p.substr(cut + 1);
    return GetPathElement(rest, m_root);
}

Xml_Element* CXmlManager::GetPathElement(std::u16string_view path, Xml_Element* element) const noexcept {
    while (element && !path.empty()) {
        std::size_t cut = path.find(u'\\');
        std::u16string_view part = path.substr(0, cut);
        path = cut == std::u16string_view::npos ? std::u16string_view() : path.substr(cut + 1);
        Xml_Element* c = element->child;
        while (c && c->name != part) {
            c = c->next;
        }
        element = c;
    }
    return element;
}

int CXmlManager::GetElemData(const char16_t* path, std::u16string& text) const noexcept {
    const Xml_Element* e = GetElementFormPath(path);
    if (!e) {
        return 0;
    }
    try {
        text = e->data;
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int CXmlManager::SetElemData(const char16_t* path, const char16_t* data) noexcept {
    Xml_Element* e = GetElementFormPath(path);
    if (!e) {
        return 0;
    }
    try {
        e->data = DecodeOrEmpty(data);
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

const std::u16string* CXmlManager::PathAttr(const char16_t* path, const char16_t* attribute) const noexcept {
    if (!attribute || !*attribute) {
        return nullptr;
    }
    const Xml_Element* e = GetElementFormPath(path);
    if (!e) {
        return nullptr;
    }
    std::u16string_view wanted(attribute, Length(attribute));
    for (Xml_Attribute* a = e->attributes; a; a = a->next) {
        if (a->name == wanted) {
            return &a->value;
        }
    }
    return nullptr;
}

int CXmlManager::GetAttrValue(const char16_t* path, const char16_t* attribute, std::u16string& value) const noexcept {
    const std::u16string* v = PathAttr(path, attribute);
    if (!v) {
        return 0;
    }
    try {
        value = *v;
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int CXmlManager::GetAttrValue(const char16_t* path, const char16_t* attribute, long& value) const noexcept {
    const std::u16string* v = PathAttr(path, attribute);
    if (!v) {
        return 0;
    }
    value = static_cast<long>(ReadDecimal(Trim(*v), INT32_MIN, INT32_MAX));
    return 1;
}

int CXmlManager::GetAttrValue(const char16_t* path, const char16_t* attribute, long long& value) const noexcept {
    const std::u16string* v = PathAttr(path, attribute);
    if (!v) {
        return 0;
    }
    value = ReadDecimal(Trim(*v), LLONG_MIN, LLONG_MAX);
    return 1;
}

int CXmlManager::GetAttrValue(const char16_t* path, const char16_t* attribute, int& value) const noexcept {
    const std::u16string* v = PathAttr(path, attribute);
    if (!v) {
        return 0;
    }
    std::u16string_view t = Trim(*v);
    value = t == u"true" ? 1 : static_cast<int>(ReadDecimal(t, INT_MIN, INT_MAX));
    return 1;
}

int CXmlManager::SetPathAttr(const char16_t* path, const char16_t* attribute, const char16_t* value) noexcept {
    auto* v = const_cast<std::u16string*>(PathAttr(path, attribute));
    if (!v) {
        return 0;
    }
    try {
        *v = DecodeOrEmpty(value);
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int CXmlManager::SetAttrValue(const char16_t* path, const char16_t* attribute, const char16_t* value) noexcept {
    return SetPathAttr(path, attribute, value);
}

int CXmlManager::SetAttrValue(const char16_t* path, const char16_t* attribute, long value) noexcept {
    return SetAttrValue(path, attribute, static_cast<long long>(Long32(value)));
}

int CXmlManager::SetAttrValue(const char16_t* path, const char16_t* attribute, long long value) noexcept {
    try {
        return SetPathAttr(path, attribute, Decimal(value).c_str());
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int CXmlManager::SetAttrValue(const char16_t* path, const char16_t* attribute, int value) noexcept {
    return SetPathAttr(path, attribute, TruthText(value));
}
