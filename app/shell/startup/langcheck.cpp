#include "langcheck.h"

#include "MsgFormat.h"
#include "ovcppstd.h"
#include "platform/codepage.h"
#include "platform/escape.h"
#include "startup.h"

namespace {

std::u16string Quoted(const char16_t* before, const std::u16string& path, const char16_t* after) {
    return before + ov::EscapeControls(path) + after;
}

}  // namespace

std::u16string LanguageModulePath(const std::u16string& appDir, const std::u16string& language) {
    return appDir + u"mui/" + language + u"/OvPingRes.so";
}

LangCheck CheckLanguageModule(const std::u16string& appDir, const std::u16string& language,
                              const std::u16string& programPath) {
    LangCheck check;
    check.modulePath = LanguageModulePath(appDir, language);
    ov::Module module;
    if (!module.Load(ov::WideToUtf8(check.modulePath))) {
        check.result = ToLowerAscii(language) == u"en_us" ? kLangModuleAbsentEnglish : kLangModuleNotLoaded;
        return check;
    }
    if (const auto langId = reinterpret_cast<GetLangStrIdFn>(module.GetProc(kLangIdExport))) {
        const char* code = langId();
        if (code == nullptr || ov::AnsiToWide(code) != language) {
            check.result = kLangModuleWrongLanguage;
            return check;
        }
    }
    DWORD programHigh = 0;
    DWORD programLow = 0;
    if (!GetFileVersion(programPath.c_str(), &programHigh, &programLow)) {
        check.result = kLangProgramVersionUnknown;
        return check;
    }
    DWORD moduleHigh = 0;
    DWORD moduleLow = 0;
    if (!GetFileVersion(check.modulePath.c_str(), &moduleHigh, &moduleLow)) {
        check.result = kLangModuleVersionUnknown;
        return check;
    }
    if (programHigh != moduleHigh || programLow != moduleLow) {
        check.result = kLangModuleWrongVersion;
        return check;
    }
    check.result = kLangModuleUsed;
    check.module = std::move(module);
    return check;
}

std::u16string LangCheckMessage(const LangCheck& check, const std::u16string& programPath) {
    switch (check.result) {
        case kLangModuleNotLoaded:
            return Quoted(u"Couldn't Load Resource File \"", check.modulePath, u"\"!");
        case kLangModuleWrongLanguage:
            return u"The language of resource file does not match!";
        case kLangProgramVersionUnknown:
            return Quoted(u"Couldn't get the version of file \"", programPath, u"\"!");
        case kLangModuleVersionUnknown:
            return Quoted(u"Couldn't get the version of resource file \"", check.modulePath, u"\"!");
        case kLangModuleWrongVersion:
            return u"The version of resource file does not match!";
        case kLangModuleUsed:
        case kLangModuleAbsentEnglish:
            break;
    }
    return {};
}
