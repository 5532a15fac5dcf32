// COvStringTable: string-table files, lookup and placeholder substitution, the
// per-thread result rings and the error-marking flag.
#include "ovmui/OvStringTable.h"

#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "OvXmlParser.h"
#include "placeholder.h"
#include "platform/codepage.h"
#include "platform/registry.h"

OVMUI_API int g_bShowMUIErrInfo = 0;

namespace {

// Each thread's results live in its own ring of 32 slots; a result stays valid
// for 31 further calls of that thread. The ring is created by the thread's
// first call (or when the library loads, for the loading thread) and freed
// when the thread ends.
constexpr std::size_t kRingSlots = 32;

struct ResultRing {
    std::array<std::u16string, kRingSlots> slots;
    std::size_t cursor = 0;
};

thread_local std::unique_ptr<ResultRing> t_ring;

ResultRing* ThreadRing() noexcept {
    if (!t_ring) {
        try {
            t_ring = std::make_unique<ResultRing>();
        } catch (...) {
            return nullptr;
        }
    }
    return t_ring.get();
}

constexpr char16_t kNoRingText[] = u"[RES_ERR_NULL]";

// The C library's text-to-integer reading: blanks, sign, digits; 0 without
// digits; saturates at the int range.
int WideToInt(std::u16string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i++] == u'-';
    }
    long long v = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        v = v * 10 + (text[i] - u'0');
        if (v > static_cast<long long>(INT_MAX) + 1) {
            v = static_cast<long long>(INT_MAX) + 1;
        }
    }
    if (negative) {
        return static_cast<int>(-v);
    }
    return v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

// Reads the error-marking flag once when the library is loaded. Four bytes
// are read whatever the value's type; a shorter value leaves the rest zero.
__attribute__((constructor)) void AttachStringTables() noexcept {
    try {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Orvantek\\Orvantek Harbor", 0, KEY_READ, &key) ==
            ERROR_SUCCESS) {
            BYTE data[4] = {};
            DWORD size = sizeof data;
            DWORD type = REG_NONE;
            if (RegQueryValueExW(key, u"EnableShowMUIErrorInfo", nullptr, &type, data, &size) == ERROR_SUCCESS) {
                std::int32_t flag;
                std::memcpy(&flag, data, sizeof flag);
                g_bShowMUIErrInfo = flag;
            }
            RegCloseKey(key);
        }
    } catch (...) {
        // A registry that cannot be read leaves the flag off.
    }
    ThreadRing();
}

}  // namespace

COvStringTable::COvStringTable() noexcept = default;

COvStringTable::~COvStringTable() {
    RemoveAllRes();
}

void COvStringTable::RemoveAllRes() noexcept {
    // Unlink one entry at a time so that a long list never recurses.
    while (m_head) {
        m_head = std::move(m_head->next);
    }
    m_tail = nullptr;
}

int COvStringTable::LoadResFile(const char16_t* path, const char16_t* name, const char16_t* language,
                                int version) noexcept {
    if (!language || !path || !*path || !name || !*name || !*language) {
        return 0;
    }
    try {
        COvXmlParser xml;
        if (!xml.Load(path)) {
            return 0;
        }
        if (!xml.FindElem(u"StringTable")) {
            return 0;
        }
        if (!ov::placeholder::EqualNoCase(xml.GetAttrib(u"name"), name) ||
            !ov::placeholder::EqualNoCase(xml.GetAttrib(u"language"), language) ||
            WideToInt(xml.GetAttrib(u"version")) != version) {
            return 0;
        }
        xml.IntoElem();
        while (xml.FindElem(u"String")) {
            std::u16string id = xml.GetAttrib(u"id");
            std::u16string text = xml.GetData();
            if (id.empty() || text.empty()) {
                continue;
            }
            auto entry = std::make_unique<STRING_ENTRY>();
            entry->id = std::move(id);
            entry->text = std::move(text);
            STRING_ENTRY* const added = entry.get();
            if (m_tail) {
                m_tail->next = std::move(entry);
            } else {
                m_head = std::move(entry);
            }
            m_tail = added;
        }
        xml.OutOfElem();
        return 1;
    } catch (...) {
        // Out of memory: the entries linked so far stay.
        return 0;
    }
}

const char16_t* COvStringTable::LoadStringW(const char16_t* id, const char16_t* defText, ...) noexcept {
    va_list args;
    va_start(args, defText);
    const char16_t* result = LoadStringV(id, defText, args);
    va_end(args);
    return result;
}

const char16_t* COvStringTable::LoadStringW(const char* id, const char* defText, ...) noexcept {
    std::u16string wideId;
    std::u16string wideText;
    try {
        // The narrow form reads its texts in the calling thread's code page.
        if (id) {
            wideId = ov::AnsiToWide(id, CP_THREAD_ACP);
        }
        if (defText) {
            wideText = ov::AnsiToWide(defText, CP_THREAD_ACP);
        }
    } catch (...) {
        return u"";
    }
    va_list args;
    va_start(args, defText);
    const char16_t* result = LoadStringV(id ? wideId.c_str() : nullptr, wideText.c_str(), args);
    va_end(args);
    return result;
}

const char16_t* COvStringTable::LoadStringV(const char16_t* id, const char16_t* defText, va_list args) noexcept {
    ResultRing* const ring = ThreadRing();
    if (!ring) {
        return kNoRingText;
    }
    if (ring->cursor == kRingSlots) {
        ring->cursor = 0;
    }
    std::u16string& slot = ring->slots[ring->cursor++];
    slot.clear();

    try {
        const std::u16string_view def = defText ? std::u16string_view(defText) : std::u16string_view();

        // One argument per placeholder of the default text, in the order of the
        // tokens there; a translation may use them in any order.
        const std::vector<ov::placeholder::Substitution> subs =
            ov::placeholder::CollectArguments(def, ov::placeholder::kStringTableDialect, args);

        const char16_t* chosen = defText ? defText : u"";
        if (id) {
            for (const STRING_ENTRY* e = m_head.get(); e; e = e->next.get()) {
                if (ov::placeholder::EqualNoCase(e->id, id)) {
                    chosen = e->text.c_str();
                    break;
                }
            }
        }
        slot = chosen;

        if (!ov::placeholder::SubstituteAll(slot, subs) && g_bShowMUIErrInfo) {
            slot.insert(0, 1, u'*');
        }
        return slot.c_str();
    } catch (...) {
        slot.clear();
        return u"";
    }
}
