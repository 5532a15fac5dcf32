#include "ovcppstd.h"

#include <sys/stat.h>

#include <ctime>
#include <limits>
#include <string_view>

#include "platform/codepage.h"
#include "platform/stored_file.h"
#include "version_note.h"

namespace {

size_t Length(LPCWSTR text) noexcept {
    size_t n = 0;
    while (text[n] != 0) {
        ++n;
    }
    return n;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

WORD GetLanguageID(LPCWSTR code) {
    if (code == nullptr) {
        return 0;
    }
    // Only "language_territory" in letters: other spellings name no language.
    const std::u16string_view text(code, Length(code));
    const size_t sep = text.find(u'_');
    if (sep == 0 || sep == std::u16string_view::npos || sep + 1 == text.size() ||
        text.find(u'_', sep + 1) != std::u16string_view::npos) {
        return 0;
    }
    std::string ascii;
    for (const char16_t c : text) {
        const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        if (!letter && c != u'_') {
            return 0;
        }
        ascii.push_back(static_cast<char>(c));
    }
    return static_cast<WORD>(LcidOfLocaleName(ascii));
}

std::u16string FormatDateTime(std::int64_t seconds) {
    const auto t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr) {
        return {};
    }
    char buf[64];
    const size_t n = std::strftime(buf, sizeof(buf), "%Y-%m-%d %H:%M:%S", &tm);
    return ov::Utf8ToWide(std::string_view(buf, n));
}

BOOL GetFileVersion(const std::string& path, DWORD* high, DWORD* low) {
    // Only the headers and the note are read, so a large program is fine.
    const ov::StoredFile file(path, std::numeric_limits<std::uint64_t>::max());
    if (!file.IsOpen()) {
        return FALSE;
    }
    const ov::ByteReader reader = [&file](std::uint64_t offset, void* buf, std::size_t n) {
        return file.ReadAt(offset, buf, n);
    };
    DWORD h = 0;
    DWORD l = 0;
    if (!ov::FindVersionNote(reader, file.Size(), &h, &l)) {
        return FALSE;
    }
    if (high != nullptr) {
        *high = h;
    }
    if (low != nullptr) {
        *low = l;
    }
    return TRUE;
}

BOOL GetFileVersion(LPCWSTR path, DWORD* high, DWORD* low) {
    if (path == nullptr) {
        return FALSE;
    }
    return GetFileVersion(ov::WideToUtf8(path), high, low);
}

BOOL RemoveRegKey(HKEY root, LPCWSTR parent, LPCWSTR subkey) {
    if (subkey == nullptr || subkey[0] == 0) {
        return FALSE;
    }
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExW(root, parent != nullptr ? parent : u"", 0, KEY_ALL_ACCESS, &key);
    if (rc == ERROR_FILE_NOT_FOUND) {
        return TRUE;  // nothing there to remove
    }
    if (rc != ERROR_SUCCESS) {
        return FALSE;
    }
    rc = RegDeleteTreeW(key, subkey);
    RegCloseKey(key);
    return (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) ? TRUE : FALSE;
}

BOOL MakeSureFolderPathExists(LPCWSTR path) {
    if (path == nullptr || path[0] == 0) {
        return FALSE;
    }
    std::string folder = ov::WideToUtf8(path);
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    if (IsFolder(folder)) {
        return TRUE;
    }
    // Make each missing component from the top down.
    for (size_t pos = folder.find('/', 1);; pos = folder.find('/', pos + 1)) {
        const std::string part = folder.substr(0, pos);
        if (!IsFolder(part) && ::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            return FALSE;
        }
        if (pos == std::string::npos) {
            break;
        }
    }
    return IsFolder(folder) ? TRUE : FALSE;
}
