#pragma once
// The checks a language resource module passes before the program uses it:
// it loads from <program folder>mui/<language>/OvPingRes.so, names the
// language asked for, and carries the program's own file version.
#include <string>

#include "platform/module.h"

// Outcome of the checks; every outcome but kLangModuleUsed leaves the
// program on its built-in English texts.
enum LangCheckResult : int {
    kLangModuleUsed = 0,         // the module passed
    kLangModuleAbsentEnglish,    // not loaded, language "en_us": nothing shown
    kLangModuleNotLoaded,        // not loaded, another language
    kLangModuleWrongLanguage,    // its language code differs
    kLangProgramVersionUnknown,  // the program's file version cannot be read
    kLangModuleVersionUnknown,   // the module's file version cannot be read
    kLangModuleWrongVersion,     // the two versions differ
};

struct LangCheck {
    LangCheckResult result = kLangModuleAbsentEnglish;
    std::u16string modulePath;  // the module the checks were about
    ov::Module module;          // loaded only when result is kLangModuleUsed
};

// Path of the language resource module of language below appDir ("/" at its end).
std::u16string LanguageModulePath(const std::u16string& appDir, const std::u16string& language);
// Runs the checks for language; programPath is the file whose version the
// module must carry.
LangCheck CheckLanguageModule(const std::u16string& appDir, const std::u16string& language,
                              const std::u16string& programPath);
// The fixed English message of a check (shown before any module is in use);
// empty when nothing is shown.
std::u16string LangCheckMessage(const LangCheck& check, const std::u16string& programPath);
