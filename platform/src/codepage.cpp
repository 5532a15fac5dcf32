#include "platform/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr const char* kWideCharset = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// Primary language (ISO 639-1 code) -> Windows primary language id, the
// sublanguage a bare code gets, and the language's legacy ANSI code page.
struct LanguageRow {
    const char* code;
    WORD primary;
    WORD sublang;
    UINT codePage;
};

constexpr LanguageRow kLanguages[] = {
    {"ar", 0x01, 1, 1256}, {"bg", 0x02, 1, 1251}, {"ca", 0x03, 1, 1252}, {"zh", 0x04, 2, 936},  {"cs", 0x05, 1, 1250},
    {"da", 0x06, 1, 1252}, {"de", 0x07, 1, 1252}, {"el", 0x08, 1, 1253}, {"en", 0x09, 1, 1252}, {"es", 0x0a, 3, 1252},
    {"fi", 0x0b, 1, 1252}, {"fr", 0x0c, 1, 1252}, {"he", 0x0d, 1, 1255}, {"iw", 0x0d, 1, 1255}, {"hu", 0x0e, 1, 1250},
    {"is", 0x0f, 1, 1252}, {"it", 0x10, 1, 1252}, {"ja", 0x11, 1, 932},  {"ko", 0x12, 1, 949},  {"nl", 0x13, 1, 1252},
    {"no", 0x14, 1, 1252}, {"nb", 0x14, 1, 1252}, {"nn", 0x14, 2, 1252}, {"pl", 0x15, 1, 1250}, {"pt", 0x16, 1, 1252},
    {"ro", 0x18, 1, 1250}, {"ru", 0x19, 1, 1251}, {"hr", 0x1a, 1, 1250}, {"sr", 0x1a, 3, 1251}, {"bs", 0x1a, 5, 1250},
    {"sk", 0x1b, 1, 1250}, {"sq", 0x1c, 1, 1250}, {"sv", 0x1d, 1, 1252}, {"th", 0x1e, 1, 874},  {"tr", 0x1f, 1, 1254},
    {"ur", 0x20, 1, 1256}, {"id", 0x21, 1, 1252}, {"uk", 0x22, 1, 1251}, {"be", 0x23, 1, 1251}, {"sl", 0x24, 1, 1250},
    {"et", 0x25, 1, 1257}, {"lv", 0x26, 1, 1257}, {"lt", 0x27, 1, 1257}, {"fa", 0x29, 1, 1256}, {"vi", 0x2a, 1, 1258},
    {"az", 0x2c, 1, 1254}, {"eu", 0x2d, 1, 1252}, {"mk", 0x2f, 1, 1251}, {"af", 0x36, 1, 1252}, {"fo", 0x38, 1, 1252},
    {"ga", 0x3c, 2, 1252}, {"ms", 0x3e, 1, 1252}, {"kk", 0x3f, 1, 1251}, {"sw", 0x41, 1, 1252}, {"uz", 0x43, 1, 1254},
    {"tt", 0x44, 1, 1251}, {"mn", 0x50, 1, 1251}, {"cy", 0x52, 1, 1252}, {"gl", 0x56, 1, 1252},
};

// Territories whose language id differs from the language's default one.
struct TerritoryRow {
    const char* language;
    const char* territory;
    WORD sublang;
};

constexpr TerritoryRow kTerritories[] = {
    {"zh", "tw", 1}, {"zh", "cn", 2}, {"zh", "hk", 3}, {"zh", "sg", 4}, {"zh", "mo", 5}, {"pt", "br", 1},
    {"pt", "pt", 2}, {"en", "us", 1}, {"en", "gb", 2}, {"en", "au", 3}, {"en", "ca", 4}, {"en", "nz", 5},
    {"en", "ie", 6}, {"de", "de", 1}, {"de", "ch", 2}, {"de", "at", 3}, {"fr", "fr", 1}, {"fr", "be", 2},
    {"fr", "ca", 3}, {"fr", "ch", 4}, {"es", "es", 3}, {"es", "mx", 2}, {"it", "ch", 2}, {"nl", "be", 2},
    {"sv", "fi", 2}, {"ar", "sa", 1}, {"ar", "eg", 3}, {"ko", "kr", 1},
};

constexpr UINT kSupportedPages[] = {874,   932,   936,   949,   950,   1250,  1251,  1252,  1253,  1254,
                                    1255,  1256,  1257,  1258,  20127, 20866, 21866, 28591, 28592, 28593,
                                    28594, 28595, 28596, 28597, 28598, 28599, 28603, 28605, 51932, 54936};

// Character set names, lower case without hyphens and underscores.
struct CharsetRow {
    const char* name;
    UINT codePage;
};

constexpr CharsetRow kCharsets[] = {
    {"utf8", CP_UTF8},   {"usascii", 20127},   {"ascii", 20127},     {"iso88591", 28591}, {"latin1", 28591},
    {"l1", 28591},       {"iso88592", 28592},  {"latin2", 28592},    {"iso88593", 28593}, {"iso88594", 28594},
    {"iso88595", 28595}, {"iso88596", 28596},  {"iso88597", 28597},  {"iso88598", 28598}, {"iso88599", 28599},
    {"latin5", 28599},   {"iso885913", 28603}, {"iso885915", 28605}, {"latin9", 28605},   {"koi8r", 20866},
    {"koi8u", 21866},    {"windows874", 874},  {"tis620", 874},      {"cp874", 874},      {"shiftjis", 932},
    {"sjis", 932},       {"mskanji", 932},     {"windows31j", 932},  {"cp932", 932},      {"eucjp", 51932},
    {"gbk", 936},        {"gb2312", 936},      {"euccn", 936},       {"cp936", 936},      {"windows936", 936},
    {"gb18030", 54936},  {"euckr", 949},       {"ksc56011987", 949}, {"uhc", 949},        {"cp949", 949},
    {"windows949", 949}, {"big5", 950},        {"cp950", 950},       {"windows950", 950},
};

bool IsDoubleBytePage(UINT cp) noexcept {
    return cp == 932 || cp == 936 || cp == 949 || cp == 950 || cp == 51932 || cp == 54936;
}

// Name of page cp for iconv.
std::string IconvName(UINT cp) {
    switch (cp) {
        case 20127:
            return "ASCII";
        case 20866:
            return "KOI8-R";
        case 21866:
            return "KOI8-U";
        case 28603:
            return "ISO-8859-13";
        case 28605:
            return "ISO-8859-15";
        case 51932:
            return "EUC-JP";
        case 54936:
            return "GB18030";
        default:
            break;
    }
    if (cp >= 28591 && cp <= 28599) {
        return "ISO-8859-" + std::to_string(cp - 28590);
    }
    return "CP" + std::to_string(cp);
}

char LowerAscii(char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerString(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), LowerAscii);
    return out;
}

const LanguageRow* FindLanguage(std::string_view code) noexcept {
    for (const LanguageRow& row : kLanguages) {
        if (code == row.code) {
            return &row;
        }
    }
    return nullptr;
}

const LanguageRow* FindPrimary(WORD primary) noexcept {
    for (const LanguageRow& row : kLanguages) {
        if (row.primary == primary) {
            return &row;
        }
    }
    return nullptr;
}

// Locale of the process from the environment, as setlocale would pick it.
std::string EnvironmentLocale() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return "C";
}

struct ProcessDefaults {
    LCID lcid = 1033;
    UINT codePage = 1252;
};

const ProcessDefaults& Defaults() {
    static const ProcessDefaults defaults = [] {
        ProcessDefaults d;
        const LCID lcid = LcidOfLocaleName(EnvironmentLocale());
        if (lcid != 0) {
            d.lcid = lcid;
        }
        d.codePage = CodePageOfLanguage(d.lcid);
        if (const char* acp = std::getenv("OV_ACP"); acp != nullptr && *acp != '\0') {
            char* end = nullptr;
            const unsigned long value = std::strtoul(acp, &end, 10);
            // Never UTF-8: the size rules of the file formats assume a legacy page.
            if (end != nullptr && *end == '\0' && value != CP_UTF8 && IsValidCodePage(static_cast<UINT>(value))) {
                d.codePage = static_cast<UINT>(value);
            }
        }
        return d;
    }();
    return defaults;
}

thread_local LCID t_threadLocale = 0;  // 0: the thread follows the process locale

// Byte <-> UTF-16 tables of a single-byte page, built once through iconv and
// then shared read-only by every thread.
struct SingleByteTable {
    std::array<char16_t, 256> toWide{};
    std::array<bool, 256> defined{};
    std::unordered_map<char16_t, unsigned char> fromWide;
};

std::unique_ptr<SingleByteTable> BuildTable(UINT cp) {
    auto table = std::make_unique<SingleByteTable>();
    const std::string name = IconvName(cp);
    iconv_t cd = iconv_open(kWideCharset, name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return nullptr;
    }
    for (int b = 0; b < 256; ++b) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char in = static_cast<char>(b);
        char* inPtr = &in;
        size_t inLeft = 1;
        char16_t out[4] = {};
        char* outPtr = reinterpret_cast<char*>(out);
        size_t outLeft = sizeof(out);
        const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        if (rc != static_cast<size_t>(-1)) {
            iconv(cd, nullptr, nullptr, &outPtr, &outLeft);  // flush a held base letter
        }
        const size_t units = (sizeof(out) - outLeft) / sizeof(char16_t);
        if (rc != static_cast<size_t>(-1) && inLeft == 0 && units == 1) {
            table->toWide[b] = out[0];
            table->defined[b] = true;
        } else if (b >= 0x80 && b <= 0x9f) {
            // Unassigned bytes of the C1 range pass through as C1 controls.
            table->toWide[b] = static_cast<char16_t>(b);
            table->defined[b] = true;
        } else {
            table->toWide[b] = kReplacement;
        }
    }
    iconv_close(cd);
    for (int b = 0; b < 256; ++b) {
        if (table->defined[b]) {
            table->fromWide.emplace(table->toWide[b], static_cast<unsigned char>(b));
        }
    }
    return table;
}

const SingleByteTable* TableFor(UINT cp) {
    static std::mutex mutex;
    static std::map<UINT, std::unique_ptr<SingleByteTable>> tables;
    const std::lock_guard lock(mutex);
    auto it = tables.find(cp);
    if (it == tables.end()) {
        // A table that could not be built (no descriptor left to load the
        // page's module, say) is tried again by the next caller.
        std::unique_ptr<SingleByteTable> table = BuildTable(cp);
        if (!table) {
            return nullptr;
        }
        it = tables.emplace(cp, std::move(table)).first;
    }
    return it->second.get();
}

const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);

void CloseIconv(iconv_t cd) noexcept {
    if (cd != kNoIconv) {
        iconv_close(cd);
    }
}

// One pair of descriptors per double-byte page, held for the life of the
// process: while one is open the C library keeps the page's conversion module
// loaded, so threads that open their own descriptors later need no file.
class HeldPages {
public:
    HeldPages() = default;
    HeldPages(const HeldPages&) = delete;
    HeldPages& operator=(const HeldPages&) = delete;
    ~HeldPages() {
        for (const auto& [cp, pair] : m_held) {
            CloseIconv(pair.first);
            CloseIconv(pair.second);
        }
    }

    // True when page cp is held (now or before).
    bool Hold(UINT cp) {
        const std::lock_guard lock(m_mutex);
        if (m_held.count(cp) != 0) {
            return true;
        }
        const std::string name = IconvName(cp);
        const iconv_t toWide = iconv_open(kWideCharset, name.c_str());
        const iconv_t fromWide = iconv_open(name.c_str(), kWideCharset);
        if (toWide == kNoIconv || fromWide == kNoIconv) {
            CloseIconv(toWide);
            CloseIconv(fromWide);
            return false;
        }
        m_held.emplace(cp, std::make_pair(toWide, fromWide));
        return true;
    }

private:
    std::mutex m_mutex;
    std::map<UINT, std::pair<iconv_t, iconv_t>> m_held;
};

HeldPages& Held() {
    static HeldPages held;
    return held;
}

// Conversion descriptors of the double-byte pages, opened once per thread
// (iconv descriptors carry state and must not be shared between threads).
class IconvCache {
public:
    IconvCache() = default;
    IconvCache(const IconvCache&) = delete;
    IconvCache& operator=(const IconvCache&) = delete;
    ~IconvCache() {
        for (const Entry& e : m_entries) {
            CloseIconv(e.toWide);
            CloseIconv(e.fromWide);
        }
    }

    // Descriptor for cp -> UTF-16 (toWide) or UTF-16 -> cp; invalid when unavailable.
    iconv_t Get(UINT cp, bool toWide) {
        for (const Entry& e : m_entries) {
            if (e.cp == cp) {
                return toWide ? e.toWide : e.fromWide;
            }
        }
        const std::string name = IconvName(cp);
        Entry e{cp, iconv_open(kWideCharset, name.c_str()), iconv_open(name.c_str(), kWideCharset)};
        if (e.toWide == kInvalid || e.fromWide == kInvalid) {
            // Not kept: a later call may find the module loadable again.
            CloseIconv(e.toWide);
            CloseIconv(e.fromWide);
            return kInvalid;
        }
        m_entries.push_back(e);
        return toWide ? e.toWide : e.fromWide;
    }

    static inline const iconv_t kInvalid = kNoIconv;

private:
    struct Entry {
        UINT cp;
        iconv_t toWide;
        iconv_t fromWide;
    };
    std::vector<Entry> m_entries;
};

IconvCache& ThreadIconv() {
    thread_local IconvCache cache;
    return cache;
}

UINT ResolvePage(UINT cp) {
    if (cp == CP_ACP || cp == CP_OEMCP) {
        return GetACP();
    }
    if (cp == CP_THREAD_ACP) {
        return ov::ThreadCodePage();
    }
    return cp;
}

bool IsHighSurrogate(char16_t c) noexcept {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) noexcept {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Reads the character of UTF-8 text in at i into cp and moves i past it;
// false, with U+FFFD in cp, for a maximal invalid subsequence.
bool ReadUtf8(std::string_view in, size_t& i, char32_t& cp) {
    const auto byteAt = [&](size_t k) { return static_cast<unsigned char>(in[k]); };
    const unsigned char b = byteAt(i++);
    cp = b;
    if (b < 0x80) {
        return true;
    }
    int need = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        need = 1;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        need = 2;
        cp = b & 0x0F;
        lo = b == 0xE0 ? 0xA0 : 0x80;
        hi = b == 0xED ? 0x9F : 0xBF;
    } else if (b >= 0xF0 && b <= 0xF4) {
        need = 3;
        cp = b & 0x07;
        lo = b == 0xF0 ? 0x90 : 0x80;
        hi = b == 0xF4 ? 0x8F : 0xBF;
    } else {
        cp = kReplacement;
        return false;
    }
    for (int n = 0; n < need; ++n, ++i) {
        if (i >= in.size() || byteAt(i) < lo || byteAt(i) > hi) {
            cp = kReplacement;
            return false;
        }
        lo = 0x80;
        hi = 0xBF;
        cp = (cp << 6) | (byteAt(i) & 0x3F);
    }
    return true;
}

// UTF-8 -> UTF-16; each maximal invalid subsequence becomes one U+FFFD. Stops
// before a character that would take out past maxUnits added units.
bool DecodeUtf8(std::string_view in, std::u16string& out, size_t maxUnits = std::u16string::npos) {
    bool valid = true;
    const size_t start = out.size();
    out.reserve(start + std::min(in.size(), maxUnits));
    size_t i = 0;
    while (i < in.size()) {
        char32_t cp = 0;
        valid = ReadUtf8(in, i, cp) && valid;
        const size_t units = cp >= 0x10000 ? 2 : 1;
        if (out.size() - start + units > maxUnits) {
            break;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return valid;
}

// UTF-16 -> UTF-8; a lone surrogate becomes U+FFFD. Stops before a character
// that would take out past maxBytes added bytes.
bool EncodeUtf8(std::u16string_view in, std::string& out, size_t maxBytes = std::string::npos) {
    bool valid = true;
    const size_t start = out.size();
    out.reserve(start + std::min(in.size() * 3, maxBytes));
    for (size_t i = 0; i < in.size(); ++i) {
        char32_t cp = in[i];
        if (IsHighSurrogate(in[i]) && i + 1 < in.size() && IsLowSurrogate(in[i + 1])) {
            cp = 0x10000 + ((static_cast<char32_t>(in[i]) - 0xD800) << 10) + (in[i + 1] - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(in[i]) || IsLowSurrogate(in[i])) {
            cp = kReplacement;
            valid = false;
        }
        char bytes[4];
        size_t n = 0;
        if (cp < 0x80) {
            bytes[n++] = static_cast<char>(cp);
        } else if (cp < 0x800) {
            bytes[n++] = static_cast<char>(0xC0 | (cp >> 6));
            bytes[n++] = static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            bytes[n++] = static_cast<char>(0xE0 | (cp >> 12));
            bytes[n++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            bytes[n++] = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            bytes[n++] = static_cast<char>(0xF0 | (cp >> 18));
            bytes[n++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            bytes[n++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            bytes[n++] = static_cast<char>(0x80 | (cp & 0x3F));
        }
        if (out.size() - start + n > maxBytes) {
            break;
        }
        out.append(bytes, n);
    }
    return valid;
}

// How text of a page is converted: UTF-8 by hand, single-byte pages by table,
// double-byte pages through iconv.
enum class Route { Unsupported, Utf8, Table, Iconv };

// The route of page cp; *table is set for Route::Table.
Route RouteOf(UINT cp, const SingleByteTable** table) {
    if (cp == CP_UTF8) {
        return Route::Utf8;
    }
    if (!IsValidCodePage(cp)) {
        return Route::Unsupported;
    }
    if (IsDoubleBytePage(cp)) {
        return Route::Iconv;
    }
    *table = TableFor(cp);
    return *table != nullptr ? Route::Table : Route::Unsupported;
}

// Bytes of page cp -> UTF-16. Returns false when the page is unsupported;
// *invalid reports bytes the page does not define.
bool ToWide(UINT cp, std::string_view in, std::u16string& out, bool* invalid) {
    *invalid = false;
    const SingleByteTable* table = nullptr;
    switch (RouteOf(cp, &table)) {
        case Route::Unsupported:
            return false;
        case Route::Utf8:
            *invalid = !DecodeUtf8(in, out);
            return true;
        case Route::Table:
            out.reserve(out.size() + in.size());
            for (const char c : in) {
                const auto b = static_cast<unsigned char>(c);
                *invalid = *invalid || !table->defined[b];
                out.push_back(table->toWide[b]);
            }
            return true;
        case Route::Iconv:
            break;
    }
    iconv_t cd = ThreadIconv().Get(cp, true);
    if (cd == IconvCache::kInvalid) {
        return false;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::vector<char16_t> buffer(in.size() + 4);
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    while (inLeft > 0) {
        char* outPtr = reinterpret_cast<char*>(buffer.data());
        size_t outLeft = buffer.size() * sizeof(char16_t);
        const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        const int err = errno;
        out.append(buffer.data(), (buffer.size() * sizeof(char16_t) - outLeft) / sizeof(char16_t));
        if (rc != static_cast<size_t>(-1)) {
            break;
        }
        if (err == E2BIG) {
            continue;
        }
        // Undefined or truncated sequence: one replacement, then resume at the next byte.
        out.push_back(kReplacement);
        *invalid = true;
        if (err == EILSEQ) {
            ++inPtr;
            --inLeft;
        } else {
            break;  // EINVAL: an incomplete sequence ends the input
        }
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return true;
}

// UTF-16 -> bytes of page cp; characters the page lacks become defaultChar.
bool FromWide(UINT cp, std::u16string_view in, std::string& out, std::string_view defaultChar, bool* usedDefault) {
    *usedDefault = false;
    const SingleByteTable* table = nullptr;
    switch (RouteOf(cp, &table)) {
        case Route::Unsupported:
            return false;
        case Route::Utf8:
            EncodeUtf8(in, out);
            return true;
        case Route::Table:
            out.reserve(out.size() + in.size());
            for (size_t i = 0; i < in.size(); ++i) {
                const auto it = table->fromWide.find(in[i]);
                if (it != table->fromWide.end()) {
                    out.push_back(static_cast<char>(it->second));
                    continue;
                }
                if (IsHighSurrogate(in[i]) && i + 1 < in.size() && IsLowSurrogate(in[i + 1])) {
                    ++i;  // one replacement for the whole character
                }
                out.append(defaultChar);
                *usedDefault = true;
            }
            return true;
        case Route::Iconv:
            break;
    }
    iconv_t cd = ThreadIconv().Get(cp, false);
    if (cd == IconvCache::kInvalid) {
        return false;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::vector<char> buffer(in.size() * 2 + 8);
    char* inPtr = reinterpret_cast<char*>(const_cast<char16_t*>(in.data()));
    size_t inLeft = in.size() * sizeof(char16_t);
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        const int err = errno;
        out.append(buffer.data(), buffer.size() - outLeft);
        if (rc != static_cast<size_t>(-1)) {
            break;
        }
        if (err == E2BIG) {
            continue;
        }
        out.append(defaultChar);
        *usedDefault = true;
        if (err != EILSEQ) {
            break;  // EINVAL: a high surrogate ends the input
        }
        // Skip the character: a surrogate pair as a whole, anything else one unit.
        const auto* unit = reinterpret_cast<const char16_t*>(inPtr);
        size_t skip = 1;
        if (inLeft >= 4 && IsHighSurrogate(unit[0]) && IsLowSurrogate(unit[1])) {
            skip = 2;
        }
        inPtr += skip * sizeof(char16_t);
        inLeft -= skip * sizeof(char16_t);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != static_cast<size_t>(-1)) {
        out.append(buffer.data(), buffer.size() - outLeft);
    }
    return true;
}

}  // namespace

UINT GetACP() {
    return Defaults().codePage;
}

UINT ov::ThreadCodePage() {
    return t_threadLocale != 0 ? CodePageOfLanguage(t_threadLocale) : GetACP();
}

LCID GetThreadLocale() {
    return t_threadLocale != 0 ? t_threadLocale : Defaults().lcid;
}

BOOL SetThreadLocale(LCID lcid) {
    if ((lcid & 0x3FF) == 0) {
        return FALSE;
    }
    t_threadLocale = lcid;
    return TRUE;
}

UINT CodePageOfLanguage(LCID lcid) {
    const WORD primary = static_cast<WORD>(lcid & 0x3FF);
    const WORD sublang = static_cast<WORD>((lcid >> 10) & 0x3F);
    if (primary == 0x04) {  // Chinese: traditional script in Taiwan, Hong Kong, Macau
        return (sublang == 1 || sublang == 3 || sublang == 5) ? 950 : 936;
    }
    if (primary == 0x1a) {  // Serbian and Bosnian in Cyrillic script
        return (sublang == 3 || sublang == 7 || sublang == 0x0a || sublang == 0x0c) ? 1251 : 1250;
    }
    const LanguageRow* row = FindPrimary(primary);
    return row != nullptr ? row->codePage : 1252;
}

LCID LcidOfLocaleName(std::string_view name) {
    // language[_territory][.codeset][@modifier]; "-" also separates (en-US).
    const std::string lower = LowerString(name);
    std::string_view rest = lower;
    std::string_view modifier;
    if (const size_t at = rest.find('@'); at != std::string_view::npos) {
        modifier = rest.substr(at + 1);
        rest = rest.substr(0, at);
    }
    if (const size_t dot = rest.find('.'); dot != std::string_view::npos) {
        rest = rest.substr(0, dot);
    }
    if (rest == "c" || rest == "posix") {
        return 1033;
    }
    std::string_view territory;
    if (const size_t sep = rest.find_first_of("_-"); sep != std::string_view::npos) {
        territory = rest.substr(sep + 1);
        rest = rest.substr(0, sep);
    }
    const LanguageRow* row = FindLanguage(rest);
    if (row == nullptr) {
        return 0;
    }
    WORD sublang = row->sublang;
    for (const TerritoryRow& t : kTerritories) {
        if (rest == t.language && territory == t.territory) {
            sublang = t.sublang;
            break;
        }
    }
    if (rest == "sr" && modifier == "latin") {
        sublang = 2;
    }
    return static_cast<LCID>((sublang << 10) | row->primary);
}

bool IsValidCodePage(UINT cp) {
    return cp == CP_UTF8 ||
           std::find(std::begin(kSupportedPages), std::end(kSupportedPages), cp) != std::end(kSupportedPages);
}

UINT CodePageOfCharset(std::string_view name) {
    std::string key;
    for (const char c : name) {
        if (c != '-' && c != '_') {
            key.push_back(LowerAscii(c));
        }
    }
    // windows-1250 ... windows-1258, also written cp1252 or x-cp1251
    for (const std::string_view prefix : {"windows", "xcp", "cp"}) {
        const std::string_view rest =
            std::string_view(key).substr(key.starts_with(prefix) ? prefix.size() : key.size());
        if (rest.size() == 4 && rest.starts_with("125") && rest[3] >= '0' && rest[3] <= '8') {
            return 1250 + static_cast<UINT>(rest[3] - '0');
        }
    }
    for (const CharsetRow& row : kCharsets) {
        if (key == row.name) {
            return row.codePage;
        }
    }
    return 0;
}

int MultiByteToWideChar(UINT cp, DWORD flags, const char* src, int srcBytes, char16_t* dst, int dstChars) {
    if (src == nullptr || srcBytes == 0 || srcBytes < -1 || dstChars < 0 || (dst == nullptr && dstChars > 0)) {
        return 0;
    }
    const size_t length = srcBytes == -1 ? std::strlen(src) + 1 : static_cast<size_t>(srcBytes);
    std::u16string wide;
    bool invalid = false;
    if (!ToWide(ResolvePage(cp), std::string_view(src, length), wide, &invalid)) {
        return 0;
    }
    if (invalid && (flags & MB_ERR_INVALID_CHARS) != 0) {
        return 0;
    }
    if (dstChars == 0) {
        return static_cast<int>(wide.size());
    }
    if (wide.size() > static_cast<size_t>(dstChars)) {
        return 0;
    }
    std::copy(wide.begin(), wide.end(), dst);
    return static_cast<int>(wide.size());
}

int WideCharToMultiByte(UINT cp, DWORD flags, const char16_t* src, int srcChars, char* dst, int dstBytes,
                        const char* defaultChar, BOOL* usedDefault) {
    if (usedDefault != nullptr) {
        *usedDefault = FALSE;
    }
    if (src == nullptr || srcChars == 0 || srcChars < -1 || dstBytes < 0 || (dst == nullptr && dstBytes > 0)) {
        return 0;
    }
    size_t length = 0;
    if (srcChars == -1) {
        while (src[length] != 0) {
            ++length;
        }
        ++length;
    } else {
        length = static_cast<size_t>(srcChars);
    }
    const std::string_view replacement =
        (defaultChar != nullptr && *defaultChar != '\0') ? std::string_view(defaultChar) : "?";
    std::string bytes;
    bool used = false;
    if (!FromWide(ResolvePage(cp), std::u16string_view(src, length), bytes, replacement, &used)) {
        return 0;
    }
    if (usedDefault != nullptr) {
        *usedDefault = used ? TRUE : FALSE;
    }
    if (dstBytes == 0) {
        return static_cast<int>(bytes.size());
    }
    if (bytes.size() > static_cast<size_t>(dstBytes)) {
        return 0;
    }
    std::memcpy(dst, bytes.data(), bytes.size());
    return static_cast<int>(bytes.size());
}

namespace ov {

bool PreloadCodePage(UINT cp) {
    const UINT page = ResolvePage(cp);
    const SingleByteTable* table = nullptr;
    switch (RouteOf(page, &table)) {
        case Route::Unsupported:
            return false;
        case Route::Utf8:
        case Route::Table:
            return true;  // a table, once built, stays
        case Route::Iconv:
            break;
    }
    return Held().Hold(page) && ThreadIconv().Get(page, true) != IconvCache::kInvalid;
}

std::u16string AnsiToWide(std::string_view ansi, UINT cp) {
    std::u16string wide;
    bool invalid = false;
    ToWide(ResolvePage(cp), ansi, wide, &invalid);
    return wide;
}

std::string WideToAnsi(std::u16string_view wide, UINT cp) {
    std::string bytes;
    bool used = false;
    FromWide(ResolvePage(cp), wide, bytes, "?", &used);
    return bytes;
}

std::u16string Utf8ToWide(std::string_view utf8, size_t maxUnits) {
    std::u16string wide;
    DecodeUtf8(utf8, wide, maxUnits);
    return wide;
}

std::string WideToUtf8(std::u16string_view wide, size_t maxBytes) {
    std::string bytes;
    EncodeUtf8(wide, bytes, maxBytes);
    return bytes;
}

}  // namespace ov
