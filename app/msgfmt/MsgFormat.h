#pragma once
// The program's message formatter: texts by numeric message id from the
// selected language resource module (or the built-in English table), with
// named placeholders ("%d_a%", "%s_b%") filled in from the arguments.
#include <string>

#include "platform/module.h"

// Text of message id with the default text's placeholders filled in by name;
// the default text is in the thread's ANSI code page, string values are wide
// text. Never null; valid until 31 further calls by any thread. A text that
// cannot be formatted as the language module gives it (placeholders the
// default text lacks) comes in its default form, said once on stderr.
const char16_t* LoadFormatString(unsigned int id, const char* defText, ...) noexcept;
// As above with a wide default text.
const char16_t* LoadFormatString(unsigned int id, const char16_t* defText, ...) noexcept;

// Loads what formatting needs (the code pages of the calling thread and of
// the process, the local time zone) so that no later text has to open a file;
// call it on the thread that formats, after its language is chosen and before
// hosts open their sockets. False when a code page cannot be loaded.
bool PrepareMessageFormatting() noexcept;

// Names of what a language resource module exports: its language code, and
// its strings by message id (null for an id it lacks), by count and by index.
inline constexpr char kLangIdExport[] = "GetLangStrID";
inline constexpr char kLoadStringExport[] = "OvResLoadString";
inline constexpr char kStringCountExport[] = "OvResStringCount";
inline constexpr char kStringAtExport[] = "OvResStringAt";
using GetLangStrIdFn = const char* (*)();
using ResLoadStringFn = const char16_t* (*)(unsigned int id);
using ResStringCountFn = unsigned int (*)();
using ResStringAtFn = const char16_t* (*)(unsigned int index, unsigned int* id);

// Makes a loaded language resource module the source of the formatter's texts;
// false, and nothing changes, when it does not export its strings. Call it
// before other threads format messages.
bool SelectLanguageModule(ov::Module&& module);
// Loads the module at path (UTF-16) and selects it as above; false when it
// cannot be loaded or lacks the strings.
bool SelectLanguageModule(const std::u16string& path);
// Back to the built-in English table; frees the module that was in use.
void ResetLanguageModule() noexcept;
// True while a language resource module supplies the texts.
bool HasLanguageModule() noexcept;

// Text of a message id from the current source (module or English table);
// null when that source lacks the id.
const char16_t* LoadResourceString(unsigned int id) noexcept;
