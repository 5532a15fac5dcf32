// LoadFormatString: message texts by id with named placeholders, and the
// choice between a language resource module and the English table.
#include "MsgFormat.h"

#include <array>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <vector>

#include "EnglishStrings.h"
#include "placeholder.h"
#include "ovmui/OvStringTable.h"
#include "platform/codepage.h"

namespace {

// One ring of 32 result slots for the whole process. Choosing a slot and
// storing the result in it are locked; a result stays valid until 31 further
// calls by any thread.
constexpr std::size_t kRingSlots = 32;

struct ResultRing {
    std::mutex lock;
    std::array<std::u16string, kRingSlots> slots;
    std::size_t cursor = 0;
};

ResultRing& Ring() {
    static ResultRing ring;
    return ring;
}

// The selected language resource module. It is chosen at start-up before
// other threads run; lookups then read the function pointer without a lock.
struct LanguageSource {
    ov::Module module;
    std::atomic<ResLoadStringFn> loadString{nullptr};
};

LanguageSource& Source() {
    static LanguageSource source;
    return source;
}

// Says once per process on stderr that a text could not be formatted as its
// source gives it; the text shown instead is its default text.
void ReportUnformattable(unsigned int id) noexcept {
    static std::atomic<bool> reported{false};
    if (reported.exchange(true)) {
        return;  // also keeps the notice's own formatting from coming back here
    }
    const char16_t* notice =
        LoadFormatString(34750, u"Message %d_a% could not be formatted; its default text is shown.", id);
    try {
        std::fprintf(stderr, "tapper: %s\n", ov::WideToUtf8(notice).c_str());
    } catch (...) {
    }
}

// The default text of a message in the thread's code page as wide text. When
// the page cannot be loaded (no descriptor left for its module) the text is
// widened byte by byte: ASCII is the same in every page the program supports.
std::u16string DefaultTextToWide(unsigned int id, const char* defText) {
    std::u16string wide = ov::AnsiToWide(defText, CP_THREAD_ACP);
    if (!wide.empty() || *defText == '\0') {
        return wide;
    }
    ReportUnformattable(id);
    for (const char* p = defText; *p != '\0'; ++p) {
        const auto byte = static_cast<unsigned char>(*p);
        wide.push_back(byte < 0x80 ? char16_t{byte} : char16_t{0xFFFD});
    }
    return wide;
}

const char16_t* FormatV(unsigned int id, const char16_t* defText, va_list args) noexcept {
    // The text is made outside the lock; only the copy into the ring's next
    // slot is made under it, so that no two threads ever write one slot at
    // the same time, even when the ring wraps while one of them formats.
    std::u16string text;
    try {
        const std::u16string_view def = defText ? std::u16string_view(defText) : std::u16string_view();

        // One argument per placeholder of the default text in token order.
        // Conversions the formatter does not know take no argument and keep
        // their token as written.
        const std::vector<ov::placeholder::Substitution> subs =
            ov::placeholder::CollectArguments(def, ov::placeholder::kMessageDialect, args);

        // A text whose placeholders the default text does not fill would show
        // its bare tokens: the default text is shown instead.
        bool incomplete = false;
        const char16_t* translated = LoadResourceString(id);
        if (translated && ov::placeholder::HasUnfilledPlaceholder(translated, subs, ov::placeholder::kMessageDialect)) {
            ReportUnformattable(id);
            translated = nullptr;
        }
        if (translated) {
            text = translated;
        } else {
            text = def;
            incomplete = true;
        }
        if (!ov::placeholder::SubstituteAll(text, subs)) {
            incomplete = true;
        }
        if (incomplete && g_bShowMUIErrInfo) {
            text.insert(0, 1, u'*');
        }
    } catch (...) {
        text.clear();
    }
    ResultRing& ring = Ring();
    const std::lock_guard guard(ring.lock);
    if (ring.cursor == kRingSlots) {
        ring.cursor = 0;
    }
    std::u16string& slot = ring.slots[ring.cursor++];
    try {
        slot = text;  // keeps the slot's storage when it is large enough
    } catch (...) {
        slot.clear();
    }
    return slot.c_str();
}

}  // namespace

const char16_t* LoadFormatString(unsigned int id, const char* defText, ...) noexcept {
    std::u16string wide;
    try {
        if (defText) {
            wide = DefaultTextToWide(id, defText);
        }
    } catch (...) {
        return u"";
    }
    va_list args;
    va_start(args, defText);
    const char16_t* result = FormatV(id, wide.c_str(), args);
    va_end(args);
    return result;
}

const char16_t* LoadFormatString(unsigned int id, const char16_t* defText, ...) noexcept {
    va_list args;
    va_start(args, defText);
    const char16_t* result = FormatV(id, defText, args);
    va_end(args);
    return result;
}

bool PrepareMessageFormatting() noexcept {
    // Local times of the texts: the zone is read now, not at the first text.
    tzset();
    return ov::PreloadCodePage(CP_THREAD_ACP) && ov::PreloadCodePage(CP_ACP);
}

bool SelectLanguageModule(ov::Module&& module) {
    if (!module.IsLoaded()) {
        return false;
    }
    const auto load = reinterpret_cast<ResLoadStringFn>(module.GetProc(kLoadStringExport));
    if (!load) {
        return false;
    }
    LanguageSource& source = Source();
    source.loadString.store(nullptr);
    source.module = std::move(module);
    source.loadString.store(load);
    return true;
}

bool SelectLanguageModule(const std::u16string& path) {
    try {
        ov::Module module;
        if (!module.Load(ov::WideToUtf8(path))) {
            return false;
        }
        return SelectLanguageModule(std::move(module));
    } catch (...) {
        return false;
    }
}

void ResetLanguageModule() noexcept {
    LanguageSource& source = Source();
    source.loadString.store(nullptr);
    source.module.Free();
}

bool HasLanguageModule() noexcept {
    return Source().loadString.load() != nullptr;
}

const char16_t* LoadResourceString(unsigned int id) noexcept {
    if (const ResLoadStringFn load = Source().loadString.load()) {
        const char16_t* text = load(id);
        // An empty resource string counts as missing, as with string resources.
        return text && *text ? text : nullptr;
    }
    return EnglishString(id);
}
