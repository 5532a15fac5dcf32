#pragma once
// XML document manager: one document as an element tree in memory, a read
// cursor and a build cursor over it, backslash paths from the root, and the
// document's text form (own parser and writer, files in ANSI, UTF-8, UTF-16).
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "ovmfcstd/ovmfcstd_export.h"

// Encoding of the file last loaded; Save writes the same one.
enum XML_FILE_TYPE {
    XML_FILE_NONE = 0,
    XML_FILE_ANSI = 1,
    XML_FILE_UTF8 = 2,
    XML_FILE_UNICODE = 3,  // UTF-16 little-endian
};

// One attribute; name and value held decoded, empty meaning none.
struct Xml_Attribute {
    std::u16string name;
    std::u16string value;
    Xml_Attribute* next = nullptr;
};

// One element; the manager owns every node, the links only point.
struct Xml_Element {
    std::u16string name;
    std::u16string data;
    Xml_Attribute* attributes = nullptr;
    Xml_Element* next = nullptr;
    Xml_Element* child = nullptr;
};

// Holds one XML document. Strings are zero-terminated UTF-16; int results are
// 1 for success and 0 for failure. No operation throws. One thread at a time.
class OVMFCSTD_API CXmlManager {
public:
    // An empty document: no root, XML_FILE_NONE, both cursors at the start.
    CXmlManager() noexcept;
    ~CXmlManager();
    // A copy duplicates the whole tree and the cursor positions within it
    // (empty when memory runs out while copying).
    CXmlManager(const CXmlManager& other) noexcept;
    // Assigns a duplicate of other's tree; unchanged when memory runs out.
    CXmlManager& operator=(const CXmlManager& other) noexcept;
    // Moves the tree; the source is left empty.
    CXmlManager(CXmlManager&& other) noexcept;
    // Moves the tree; the source is left empty.
    CXmlManager& operator=(CXmlManager&& other) noexcept;

    // Read cursor.
    // Next element of the current level called name (null: any element).
    int Find(const char16_t* name = nullptr) noexcept;
    // Enters the current element's children (build mode: the build level).
    int Into() noexcept;
    // Back to the element entered last (build mode: leaves the build level).
    int OutOf() noexcept;
    // Current element back to the first of its level, Find not started.
    void Reset() noexcept;
    // Both cursors back to the start, read cursor on the root.
    void ResetAll() noexcept;
    // Name of the current element; null without one.
    const char16_t* GetName() const noexcept;
    // Text of the current element; null without one or when it has none.
    const char16_t* GetData() const noexcept;
    // Replaces the current element's text (decoded; null or empty: none).
    void SetData(const char16_t* text) noexcept;
    // Value of the current element's first attribute called name; null when absent or empty.
    const char16_t* GetAttr(const char16_t* name) const noexcept;
    // Changes the value of the current element's first attribute called name; never adds one.
    void SetAttr(const char16_t* name, const char16_t* value) noexcept;
    // As above, the value written in decimal as a 32-bit number (modulo 2^32).
    void SetAttr(const char16_t* name, long value) noexcept;
    // As above, the value written in decimal.
    void SetAttr(const char16_t* name, long long value) noexcept;
    // As above, a truth value written "true" or "false".
    void SetAttr(const char16_t* name, int value) noexcept;
    // Depth counter: 1 after a parse, raised by each level that gets a first child.
    int GetDepth() const noexcept { return m_depth; }
    // Encoding of the file last loaded.
    XML_FILE_TYPE GetType() const noexcept { return m_fileType; }

    // Build cursor.
    // Appends an element at the build level (the root when there is none).
    int AddElem(const char16_t* name, const char16_t* data = nullptr) noexcept;
    // Adds below the element added last, which stays the build position.
    int AddChildElem(const char16_t* name, const char16_t* data = nullptr) noexcept;
    // Appends an attribute to the element added last; equal names are not merged.
    int AddAttr(const char16_t* name, const char16_t* value) noexcept;
    // As above, the value written in decimal as a 32-bit number (modulo 2^32).
    int AddAttr(const char16_t* name, long value) noexcept;
    // As above, the value written in decimal.
    int AddAttr(const char16_t* name, long long value) noexcept;
    // As above, a truth value written "true" or "false".
    int AddAttr(const char16_t* name, int value) noexcept;

    // Path addressing: "root\child\grandchild", trailing backslash optional,
    // the first child of each name taken at every step.
    // Text of the addressed element (empty when none).
    int GetElemData(const char16_t* path, std::u16string& text) const noexcept;
    // Replaces the addressed element's text (decoded).
    int SetElemData(const char16_t* path, const char16_t* data) noexcept;
    // Value of an attribute of the addressed element.
    int GetAttrValue(const char16_t* path, const char16_t* attribute, std::u16string& value) const noexcept;
    // As above, trimmed and read as a decimal 32-bit number (held at its limits).
    int GetAttrValue(const char16_t* path, const char16_t* attribute, long& value) const noexcept;
    // As above, trimmed and read as a decimal number.
    int GetAttrValue(const char16_t* path, const char16_t* attribute, long long& value) const noexcept;
    // As above, trimmed: "true" gives 1, anything else its decimal value.
    int GetAttrValue(const char16_t* path, const char16_t* attribute, int& value) const noexcept;
    // Changes an existing attribute of the addressed element; never adds one.
    int SetAttrValue(const char16_t* path, const char16_t* attribute, const char16_t* value) noexcept;
    // As above, the value written in decimal as a 32-bit number (modulo 2^32).
    int SetAttrValue(const char16_t* path, const char16_t* attribute, long value) noexcept;
    // As above, the value written in decimal.
    int SetAttrValue(const char16_t* path, const char16_t* attribute, long long value) noexcept;
    // As above, a truth value written "true" or "false".
    int SetAttrValue(const char16_t* path, const char16_t* attribute, int value) noexcept;

    // Text form.
    // Replaces the document by the one parsed from text (null: empty document, 1).
    int SetDoc(const char16_t* text) noexcept;
    // The whole document as indented text (empty on failure).
    std::u16string GetDoc() const noexcept;
    // The read cursor's current element alone, as text.
    std::u16string GetSubDoc() const noexcept;
    // All children of the current element, as text.
    std::u16string GetChildDoc() const noexcept;
    // Parses text as further content of the element added last (no root: SetDoc).
    int AddSubDoc(const char16_t* text) noexcept;
    // Reads a file: UTF-8 or UTF-16LE by byte-order mark, else the thread's ANSI code page.
    int Load(const char16_t* path) noexcept;
    // Same, with a path in the file system's bytes.
    int Load(const char* path) noexcept;
    // Writes the document in the encoding it was loaded in (ANSI when never loaded).
    int Save(const char16_t* path) const noexcept;
    // Same, with a path in the file system's bytes.
    int Save(const char* path) const noexcept;

protected:
    // Element addressed by a path; null when it does not resolve.
    Xml_Element* GetElementFormPath(const char16_t* path) const noexcept;
    // Element below element addressed by path (backslash-terminated parts).
    Xml_Element* GetPathElement(std::u16string_view path, Xml_Element* element) const noexcept;
    // Releases element's texts and attributes, its descendants and following siblings;
    // their nodes go back to the manager's storage with RemoveAllData.
    void RemoveElement(Xml_Element* element) noexcept;
    // Releases an attribute and all that follow it.
    void RemoveAttribute(Xml_Attribute* attribute) noexcept;
    // Frees the tree and clears all state as at construction.
    void RemoveAllData() noexcept;
    // Parses element content into element (children after its existing ones).
    int ParserElement(std::u16string_view text, Xml_Element* element) noexcept;
    // Parses an attribute list into element (after its existing attributes).
    int ParserAttribute(std::u16string_view text, Xml_Element* element) noexcept;
    // Text of element (and its following siblings when siblings is nonzero).
    std::u16string MakerElement(const Xml_Element* element, int level, int siblings) const;
    // Attribute text of element: name="value" pieces separated by blanks.
    std::u16string MakerAttribute(const Xml_Element* element) const;
    // File readers: bytes from the current position of an open file.
    int LoadAnsiFile(std::FILE* file, std::size_t bytes) noexcept;
    int LoadUtf8File(std::FILE* file, std::size_t bytes) noexcept;
    int LoadUnicodeFile(std::FILE* file, std::size_t bytes) noexcept;
    // File writers: mark (if any), then text in that encoding.
    int WriteAnsiFile(std::FILE* file, std::u16string_view text) const noexcept;
    int WriteUtf8File(std::FILE* file, std::u16string_view text) const noexcept;
    int WriteUnicodeFile(std::FILE* file, std::u16string_view text) const noexcept;
    // The writer of the document's file type.
    int WriteFile(std::FILE* file, std::u16string_view text) const noexcept;

private:
    struct Store;
    struct CloseIndex;
    Xml_Element* NewElement();
    Xml_Attribute* NewAttribute();
    Xml_Attribute* AppendAttribute(Xml_Element* element, std::u16string name, std::u16string value);
    Xml_Attribute* FindAttribute(const char16_t* name) const noexcept;
    int SetPathAttr(const char16_t* path, const char16_t* attribute, const char16_t* value) noexcept;
    const std::u16string* PathAttr(const char16_t* path, const char16_t* attribute) const noexcept;
    int ParseDoc(std::u16string_view text);
    int ParseContent(std::u16string_view doc, const CloseIndex& index, std::size_t begin, std::size_t end,
                     Xml_Element* element);
    void ParseAttributes(std::u16string_view text, Xml_Element* element);
    void ParseAttributes(std::u16string_view text, Xml_Element* element, bool plain);
    void CopyFrom(const CXmlManager& other);
    int LoadText(std::u16string text, XML_FILE_TYPE type) noexcept;
    int LoadFile(const char* path) noexcept;
    int SaveFile(const char* path) const noexcept;

    Xml_Element* m_root = nullptr;
    XML_FILE_TYPE m_fileType = XML_FILE_NONE;
    int m_depth = 0;
    Xml_Element* m_readParent = nullptr;
    Xml_Element* m_currentElem = nullptr;
    bool m_savedStarted = false;
    bool m_started = false;
    Xml_Element* m_buildParent = nullptr;
    Xml_Element* m_lastAdded = nullptr;
    // Node storage; created on the first node, so an empty manager allocates nothing.
    std::unique_ptr<Store> m_store;
};
