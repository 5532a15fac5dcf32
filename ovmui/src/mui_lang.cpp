#include "ovmui/OvMuiLang.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/module.h"
#include "platform/registry.h"

namespace {

struct LanguageRow {
    std::uint16_t id;
    const char16_t* code;
    const char16_t* name;
};

// Searched from the first row; the row with identifier 0 ends the table.
constexpr LanguageRow kLanguages[] = {
    {1033, u"en_us", u"English"},
    {2052, u"zh_cn", u"Chinese(PRC)"},
    {1041, u"ja_jp", u"Japanese"},
    {1042, u"ko_kr", u"Korean"},
    {3082, u"es_es", u"Spanish(Spain, Modern Sort)"},
    {2070, u"pt_pt", u"Portuguese(Portugal)"},
    {1028, u"zh_tw", u"Chinese(Taiwan)"},
    {1038, u"hu_hu", u"Hungarian"},
    {1037, u"he_il", u"Hebrew"},
    {1036, u"fr_fr", u"French"},
    {1035, u"fi_fi", u"Finnish"},
    {1032, u"el_gr", u"Greek"},
    {1031, u"de_de", u"German(Germany)"},
    {1030, u"da_dk", u"Danish"},
    {1029, u"cs_cz", u"Czech"},
    {1025, u"ar_sa", u"Arabic(Saudi Arabia)"},
    {1054, u"th_th", u"Thai"},
    {1053, u"sv_se", u"Swedish"},
    {1051, u"sk_sk", u"Slovak"},
    {1049, u"ru_ru", u"Russian"},
    {1048, u"ro_ro", u"Romanian"},
    {1046, u"pt_br", u"Portuguese(Brazil)"},
    {1045, u"pl_pl", u"Polish"},
    {1044, u"no_no", u"Norwegian(Bokmal)"},
    {1043, u"nl_nl", u"Dutch"},
    {1040, u"it_it", u"Italian(Italy)"},
    {1050, u"hr_hr", u"Croatian"},
    {1058, u"uk_ua", u"Ukrainian"},
    {1060, u"sl_si", u"Slovenian"},
    {1062, u"lv_lv", u"Latvian"},
    {1063, u"lt_lt", u"Lithuanian"},
    {1061, u"et_ee", u"Estonian"},
    {0, nullptr, nullptr},
};

constexpr std::u16string_view kMuiKey = u"Software\\Orvantek\\mui";
constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;  // 0x2001F
constexpr DWORD kLanguageChars = 64;
constexpr DWORD kPathChars = MAX_PATH;

// One library-owned result text per function, replaced by each call.
struct ResultBuffer {
    std::mutex mutex;
    char16_t text[MAX_PATH + 1] = {};

    const char16_t* Set(std::u16string_view value) {
        const std::lock_guard lock(mutex);
        const size_t n = std::min<size_t>(value.size(), MAX_PATH);
        std::copy_n(value.begin(), n, text);
        text[n] = 0;
        return text;
    }
};

ResultBuffer g_appPath;
ResultBuffer g_userLanguage;
ResultBuffer g_commonPath;

size_t Length(const char16_t* text) noexcept {
    size_t n = 0;
    while (text[n] != 0) {
        ++n;
    }
    return n;
}

char16_t LowerAscii(char16_t c) noexcept {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool EqualNoCase(std::u16string_view a, std::u16string_view b) noexcept {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char16_t x, char16_t y) { return LowerAscii(x) == LowerAscii(y); });
}

std::u16string AppKey() {
    char16_t exe[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return {};
    }
    char16_t full[MAX_PATH] = {};
    const DWORD m = GetLongPathNameW(exe, full, MAX_PATH);
    if (m == 0 || m >= MAX_PATH) {
        return {};
    }
    std::u16string key(full, m);
    const size_t slash = key.rfind(u'/');
    if (slash == std::u16string::npos) {
        return {};
    }
    key.resize(slash);
    // A backslash in a folder name would otherwise start a subkey.
    std::replace(key.begin(), key.end(), u'/', u'_');
    std::replace(key.begin(), key.end(), u'\\', u'_');
    std::replace(key.begin(), key.end(), u':', u'_');
    std::replace(key.begin(), key.end(), u' ', u'_');
    return key;
}

std::u16string AppKeyPath(const std::u16string& key) {
    std::u16string path(kMuiKey);
    path += u"\\";
    path += key;
    return path;
}

// Reads a string value into a buffer of chars characters (NUL included):
// only string or expandable-string data of whole characters that ends with
// a NUL and fits the buffer.
bool ReadString(HKEY root, const std::u16string& keyPath, const char16_t* valueName, DWORD chars, std::u16string& out) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    std::u16string buffer(chars, u'\0');
    DWORD type = REG_NONE;
    DWORD size = chars * sizeof(char16_t);
    const LONG rc = RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || size < 2 || size % 2 != 0 ||
        buffer[size / 2 - 1] != 0) {
        return false;
    }
    out.assign(buffer.c_str());
    return true;
}

// Opens the key for reading and writing, creating it when it is missing.
HKEY OpenOrCreate(HKEY root, const std::u16string& keyPath) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, keyPath.c_str(), 0, kReadWrite, &key) == ERROR_SUCCESS) {
        return key;
    }
    DWORD disposition = 0;
    if (RegCreateKeyExW(root, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kReadWrite, nullptr, &key,
                        &disposition) == ERROR_SUCCESS) {
        return key;
    }
    return nullptr;
}

bool WriteString(HKEY key, const char16_t* name, const char16_t* text) {
    const auto bytes = static_cast<DWORD>((Length(text) + 1) * sizeof(char16_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes) == ERROR_SUCCESS;
}

}  // namespace

std::uint16_t OvMUI_GetLanguageID(const char16_t* code) {
    if (code == nullptr) {
        return 0;
    }
    const std::u16string_view text(code, Length(code));
    for (const LanguageRow* row = kLanguages; row->id != 0; ++row) {
        if (EqualNoCase(text, row->code)) {
            return row->id;
        }
    }
    return 0;
}

const char16_t* OvMUI_GetLanguageSimple(std::uint16_t id) {
    for (const LanguageRow* row = kLanguages; row->id != 0; ++row) {
        if (row->id == id) {
            return row->code;
        }
    }
    return nullptr;
}

const char16_t* OvMUI_GetLanguageFull(std::uint16_t id) {
    for (const LanguageRow* row = kLanguages; row->id != 0; ++row) {
        if (row->id == id) {
            return row->name;
        }
    }
    return nullptr;
}

const char16_t* OvMUI_GetOvCurAppPath() {
    return g_appPath.Set(AppKey());
}

const char16_t* OvMUI_GetUserLanguage() {
    const std::u16string key = AppKey();
    if (key.empty()) {
        return g_userLanguage.Set(u"en_us");
    }
    // Read-only opens, so that the machine-wide default is seen by users
    // who may not write it.
    const std::u16string path = AppKeyPath(key);
    std::u16string language;
    if (ReadString(HKEY_CURRENT_USER, path, u"Language", kLanguageChars, language) ||
        ReadString(HKEY_LOCAL_MACHINE, path, u"Language", kLanguageChars, language)) {
        return g_userLanguage.Set(language);
    }
    return g_userLanguage.Set(u"en_us");
}

int OvMUI_WriteUserLanguage(const char16_t* code) {
    if (code == nullptr) {
        return 0;
    }
    const std::u16string key = AppKey();
    if (key.empty()) {
        return 0;
    }
    const HKEY hkey = OpenOrCreate(HKEY_CURRENT_USER, AppKeyPath(key));
    if (hkey == nullptr) {
        return 0;
    }
    const bool stored = WriteString(hkey, u"Language", code);
    RegCloseKey(hkey);
    return stored ? 1 : 0;
}

int OvMUI_RegisterApplication(const char16_t* commonPath, const char16_t* language, const char16_t* appPath) {
    if (commonPath == nullptr || language == nullptr) {
        return 0;
    }
    const std::u16string key = AppKey();
    if (key.empty()) {
        return 0;
    }
    HKEY hkey = OpenOrCreate(HKEY_LOCAL_MACHINE, std::u16string(kMuiKey));
    if (hkey == nullptr) {
        return 0;
    }
    bool stored = WriteString(hkey, u"Path", commonPath);
    RegCloseKey(hkey);
    hkey = OpenOrCreate(HKEY_LOCAL_MACHINE, AppKeyPath(key));
    if (hkey == nullptr) {
        return 0;
    }
    stored = WriteString(hkey, u"Language", language) && stored;
    if (appPath != nullptr) {
        stored = WriteString(hkey, u"Path", appPath) && stored;
    }
    RegCloseKey(hkey);
    // A value that could not be stored is a failed registration.
    return stored ? 1 : 0;
}

const char16_t* OvMUI_GetCommonDLLPath() {
    const std::u16string key = AppKey();
    std::u16string path;
    if ((!key.empty() && ReadString(HKEY_LOCAL_MACHINE, AppKeyPath(key), u"Path", kPathChars, path)) ||
        ReadString(HKEY_LOCAL_MACHINE, std::u16string(kMuiKey), u"Path", kPathChars, path)) {
        return g_commonPath.Set(path);
    }
    return g_commonPath.Set(u"");
}
