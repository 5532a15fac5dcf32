#include "ovmfcstd/OvSysUtil.h"

#include "platform/codepage.h"
#include "platform/module.h"
#include "platform/registry.h"

#include <dlfcn.h>
#include <fontconfig/fontconfig.h>

#include <atomic>
#include <memory>
#include <mutex>

namespace {

constexpr char16_t kAppPathsKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";

// Deletes subKey of parent with every key below it.
void DeleteKeyTree(HKEY parent, const std::u16string& subKey) {
    {
        ov::RegKey key;
        if (RegOpenKeyExW(parent, subKey.c_str(), 0, KEY_ALL_ACCESS, key.Out()) != ERROR_SUCCESS) {
            return;
        }
        // Always enumerate index 0: each deletion shifts the rest down.
        for (;;) {
            char16_t name[256];
            DWORD chars = 256;
            if (RegEnumKeyExW(key.Get(), 0, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
                break;
            }
            const std::u16string child(name, chars);
            DeleteKeyTree(key.Get(), child);
            // A child that would not go away would loop for ever.
            ov::RegKey check;
            if (RegOpenKeyExW(key.Get(), child.c_str(), 0, KEY_READ, check.Out()) == ERROR_SUCCESS) {
                break;
            }
        }
    }
    RegDeleteKeyW(parent, subKey.c_str());
}

// Sets a REG_SZ value to the characters of text without a terminating zero,
// two bytes per character, as the shell's readers of this key expect.
void SetString(HKEY key, const char16_t* valueName, const std::u16string& text) {
    RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() * sizeof(char16_t)));
}

// Custom deleters for the fontconfig objects.
struct FcPatternFree {
    void operator()(FcPattern* p) const noexcept { FcPatternDestroy(p); }
};
struct FcObjectSetFree {
    void operator()(FcObjectSet* s) const noexcept { FcObjectSetDestroy(s); }
};
struct FcFontSetFree {
    void operator()(FcFontSet* s) const noexcept { FcFontSetDestroy(s); }
};
using PatternPtr = std::unique_ptr<FcPattern, FcPatternFree>;

// True when a font family called name (any case) is installed; aliases and
// substitutes do not count.
bool FamilyInstalled(const char* name) {
    PatternPtr pattern(FcPatternCreate());
    std::unique_ptr<FcObjectSet, FcObjectSetFree> objects(FcObjectSetBuild(FC_FAMILY, nullptr));
    if (!pattern || !objects) {
        return false;
    }
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name));
    std::unique_ptr<FcFontSet, FcFontSetFree> fonts(FcFontList(nullptr, pattern.get(), objects.get()));
    return fonts && fonts->nfont > 0;
}

// Family name of the font fontconfig picks for a pattern text ("monospace",
// "" for the default face); empty when nothing matches.
std::u16string MatchedFamily(const char* patternText) {
    PatternPtr pattern(FcNameParse(reinterpret_cast<const FcChar8*>(patternText)));
    if (!pattern) {
        return {};
    }
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    PatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
    if (!match) {
        return {};
    }
    FcChar8* family = nullptr;
    if (FcPatternGetString(match.get(), FC_FAMILY, 0, &family) != FcResultMatch || !family) {
        return {};
    }
    return ov::Utf8ToWide(reinterpret_cast<const char*>(family));
}

// Releases a reference taken with dlopen.
struct DlClose {
    void operator()(void* handle) const noexcept { dlclose(handle); }
};

// Shared objects of the browser engine, newest interface first.
constexpr const char* kBrowserEngines[] = {
    "libwebkitgtk-6.0.so.4",
    "libwebkit2gtk-4.1.so.0",
    "libwebkit2gtk-4.0.so.37",
};

// The library-wide face name: written once under the lock, read freely after.
constexpr std::size_t kFaceChars = 256;
char16_t g_faceName[kFaceChars];
std::atomic<bool> g_faceChosen{false};
std::mutex g_faceLock;

}  // namespace

int RegisterAppPath(std::u16string name, int reg) noexcept {
    try {
        const std::u16string path = ov::Utf8ToWide(ov::ExecutablePath());
        if (path.empty()) {
            return 0;
        }

        // A second colon marks text after the path: cut before the character
        // ahead of it.
        std::u16string cut = path;
        const auto first = path.find(u':');
        if (first != std::u16string::npos) {
            const auto second = path.find(u':', first + 1);
            if (second != std::u16string::npos) {
                cut = path.substr(0, second - 1);
            }
        }
        std::erase(cut, u'"');
        if (cut.empty()) {
            return 0;
        }
        const auto slash = cut.rfind(u'/');
        const std::u16string folder = slash == std::u16string::npos ? cut : cut.substr(0, slash);
        if (folder.empty()) {
            return 0;
        }
        // An empty name would address the "App Paths" key itself.
        if (name.empty()) {
            return 0;
        }

        ov::RegKey appPaths;
        if (reg) {
            // The store may not hold the key yet: create it when registering.
            if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                nullptr, appPaths.Out(), nullptr) != ERROR_SUCCESS) {
                return 1;
            }
            ov::RegKey app;
            if (RegCreateKeyExW(appPaths.Get(), name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                nullptr, app.Out(), nullptr) == ERROR_SUCCESS) {
                SetString(app.Get(), nullptr, path);
                SetString(app.Get(), u"PATH", folder);
            }
        } else if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, KEY_ALL_ACCESS, appPaths.Out()) ==
                   ERROR_SUCCESS) {
            DeleteKeyTree(appPaths.Get(), name);
        }
        return 1;
    } catch (...) {
        return 0;
    }
}

HRESULT GetBrowserVersion(DWORD* major, DWORD* minor) noexcept {
    const auto writable = [](const DWORD* p) { return p && reinterpret_cast<std::uintptr_t>(p) % alignof(DWORD) == 0; };
    if (!writable(major) || !writable(minor)) {
        return E_INVALIDARG;
    }
    *major = 0;
    *minor = 0;
    // The desktop's embeddable browser engine is WebKitGTK. It is asked only
    // when the process already uses it: loading it here would drag a GUI
    // toolkit into a process that may run another one.
    for (const char* file : kBrowserEngines) {
        const std::unique_ptr<void, DlClose> engine(dlopen(file, RTLD_LAZY | RTLD_LOCAL | RTLD_NOLOAD));
        if (!engine) {
            continue;
        }
        using VersionPart = unsigned int (*)();
        const auto getMajor = reinterpret_cast<VersionPart>(dlsym(engine.get(), "webkit_get_major_version"));
        const auto getMinor = reinterpret_cast<VersionPart>(dlsym(engine.get(), "webkit_get_minor_version"));
        if (!getMajor || !getMinor) {
            return E_FAIL;
        }
        *major = getMajor();
        *minor = getMinor();
        return S_OK;
    }
    return E_FAIL;
}

const char16_t* GetSystemMonospaceFontName() noexcept {
    if (g_faceChosen.load(std::memory_order_acquire)) {
        return g_faceName;
    }
    const std::lock_guard lock(g_faceLock);
    if (g_faceChosen.load(std::memory_order_relaxed)) {
        return g_faceName;
    }
    try {
        std::u16string face;
        if (FamilyInstalled("Courier New")) {
            face = u"Courier New";
        }
        if (face.empty()) {
            face = MatchedFamily("monospace");
        }
        if (face.empty()) {
            face = MatchedFamily("");
        }
        if (!face.empty() && face.size() < kFaceChars) {
            face.copy(g_faceName, face.size());
            g_faceName[face.size()] = u'\0';
            g_faceChosen.store(true, std::memory_order_release);
        }
    } catch (...) {
    }
    return g_faceName;
}
