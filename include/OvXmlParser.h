#pragma once
// Cursor-style XML parser of the outside base library: one document and a
// cursor made of a current level (a list of siblings) and at most one current
// element on it. Strings are UTF-16; file paths are UTF-16 and name files in
// the file system's UTF-8.
#include <memory>
#include <string>

class COvXmlParser {
public:
    COvXmlParser();
    ~COvXmlParser();
    COvXmlParser(const COvXmlParser&) = delete;
    COvXmlParser& operator=(const COvXmlParser&) = delete;

    // Reads and parses a UTF-8, UTF-16 (with byte-order mark) or ANSI file;
    // nonzero on success. The cursor is at the top level.
    int Load(const char16_t* path);
    // Replaces the document with one parsed from text.
    int SetDoc(const char16_t* text);
    // The whole document as text.
    std::u16string GetDoc() const;
    // Cursor back to the top level, no current element.
    void ResetPos();
    // Next element called name on the current level, after the current one.
    int FindElem(const char16_t* name);
    // The current element's children become the current level.
    int IntoElem();
    // Back to the parent level, the entered element current again.
    int OutOfElem();
    // Attribute of the current element; empty when absent.
    std::u16string GetAttrib(const char16_t* name) const;
    // Text content of the current element; empty when none.
    std::u16string GetData() const;
    // Adds an element at the current level (data null: no text), makes it current.
    int AddElem(const char16_t* name, const char16_t* data);
    // Replaces the current element's text.
    int SetData(const char16_t* data, int flags);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
