#pragma once
// XML string tables with named placeholders ("%d_a%", "%s_name%") filled in
// from variadic arguments, and the flag that marks incomplete texts.
#include <cstdarg>
#include <memory>
#include <string>

#include "ovmui/ovmui_export.h"

// Nonzero: texts whose placeholders a translation lacks start with "*". Read
// once from the registry when the library loads.
extern "C" OVMUI_API int g_bShowMUIErrInfo;

// One loaded string: id and text, both non-empty; entries form a list in load order.
struct STRING_ENTRY {
    std::u16string id;
    std::u16string text;
    std::unique_ptr<STRING_ENTRY> next;
};

// Pairs of string id and text read from string-table files.
class OVMUI_API COvStringTable {
public:
    // An empty table.
    COvStringTable() noexcept;
    // Frees every entry.
    ~COvStringTable();
    COvStringTable(const COvStringTable&) = delete;
    COvStringTable& operator=(const COvStringTable&) = delete;

    // Appends the strings of a table file whose name, language (both without
    // case) and version match; 1 when the file was accepted, 0 otherwise.
    int LoadResFile(const char16_t* path, const char16_t* name, const char16_t* language, int version) noexcept;
    // Frees every entry, leaving an empty table.
    void RemoveAllRes() noexcept;
    // Text of id (or the default text) with the default text's placeholders
    // filled in; never null, valid for the calling thread's next 31 calls.
    const char16_t* LoadStringW(const char16_t* id, const char16_t* defText, ...) noexcept;
    // As above with id and default text in the thread's ANSI code page; string
    // arguments stay wide text.
    const char16_t* LoadStringW(const char* id, const char* defText, ...) noexcept;

private:
    const char16_t* LoadStringV(const char16_t* id, const char16_t* defText, va_list args) noexcept;

    std::unique_ptr<STRING_ENTRY> m_head;
    STRING_ENTRY* m_tail = nullptr;
};
