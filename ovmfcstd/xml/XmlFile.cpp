// Files of the XML document manager: UTF-8 and UTF-16LE recognised by their
// byte-order marks, anything else read in the calling thread's ANSI code page;
// saving writes the encoding of the file last loaded.
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "XmlInternal.h"
#include "ovmfcstd/XmlManager.h"
#include "platform/codepage.h"
#include "platform/file_replace.h"

using namespace ovxml;

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Reads exactly bytes bytes from the file's current position.
bool ReadBytes(std::FILE* file, std::size_t bytes, std::string& out) {
    out.resize(bytes);
    return bytes == 0 || std::fread(out.data(), 1, bytes, file) == bytes;
}

bool WriteBytes(std::FILE* file, std::string_view bytes) noexcept {
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

}  // namespace

// Parses text, cut at its first zero character as a zero-terminated string
// would be, and records the file type when that succeeds.
int CXmlManager::LoadText(std::u16string text, XML_FILE_TYPE type) noexcept {
    int result = SetDoc(text.c_str());
    if (result) {
        m_fileType = type;
    }
    return result;
}

int CXmlManager::LoadAnsiFile(std::FILE* file, std::size_t bytes) noexcept {
    try {
        std::string raw;
        if (!file || !ReadBytes(file, bytes, raw)) {
            return 0;
        }
        return LoadText(ov::AnsiToWide(raw, CP_ACP), XML_FILE_ANSI);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int CXmlManager::LoadUtf8File(std::FILE* file, std::size_t bytes) noexcept {
    try {
        std::string raw;
        if (!file || !ReadBytes(file, bytes, raw)) {
            return 0;
        }
        std::u16string text = ov::Utf8ToWide(raw);
        if (text.empty()) {
            return 0;
        }
        return LoadText(std::move(text), XML_FILE_UTF8);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int CXmlManager::LoadUnicodeFile(std::FILE* file, std::size_t bytes) noexcept {
    try {
        std::string raw;
        if (!file || !ReadBytes(file, bytes, raw)) {
            return 0;
        }
        std::u16string text(bytes / 2, u'\0');
        for (std::size_t i = 0; i < text.size(); ++i) {
            text[i] = static_cast<char16_t>(static_cast<unsigned char>(raw[2 * i]) |
                                            static_cast<unsigned char>(raw[2 * i + 1]) << 8);
        }
        return LoadText(std::move(text), XML_FILE_UNICODE);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int CXmlManager::LoadFile(const char* path) noexcept {
    RemoveAllData();
    if (!path) {
        return 0;
    }
    FilePtr file(std::fopen(path, "rb"));
    if (!file) {
        return 0;
    }
    struct stat st {};
    if (fstat(fileno(file.get()), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 2) {
        return 0;
    }
    const auto size = static_cast<std::size_t>(st.st_size);
    unsigned char head[3];
    if (std::fread(head, 1, 3, file.get()) != 3) {
        return 0;
    }
    int result;
    if (head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
        result = LoadUtf8File(file.get(), size - 3);
    } else if (head[0] == 0xFF && head[1] == 0xFE) {
        result = std::fseek(file.get(), 2, SEEK_SET) == 0 && LoadUnicodeFile(file.get(), size - 2);
    } else {
        result = std::fseek(file.get(), 0, SEEK_SET) == 0 && LoadAnsiFile(file.get(), size);
    }
    if (!result) {
        RemoveAllData();
        return 0;
    }
    return 1;
}

int CXmlManager::Load(const char* path) noexcept {
    return LoadFile(path);
}

int CXmlManager::Load(const char16_t* path) noexcept {
    if (!path) {
        RemoveAllData();
        return 0;
    }
    try {
        return LoadFile(ov::WideToUtf8(std::u16string_view(path, Length(path))).c_str());
    } catch (const std::bad_alloc&) {
        RemoveAllData();
        return 0;
    }
}

int CXmlManager::WriteAnsiFile(std::FILE* file, std::u16string_view text) const noexcept {
    try {
        return file && WriteBytes(file, ov::WideToAnsi(text, CP_ACP)) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int CXmlManager::WriteUtf8File(std::FILE* file, std::u16string_view text) const noexcept {
    try {
        // Mark, text and one zero byte, which reading stops at.
        std::string bytes = "\xEF\xBB\xBF" + ov::WideToUtf8(text);
        bytes.push_back('\0');
        return file && WriteBytes(file, bytes) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int CXmlManager::WriteUnicodeFile(std::FILE* file, std::u16string_view text) const noexcept {
    try {
        std::string bytes;
        bytes.reserve(2 + 2 * text.size());
        bytes += "\xFF\xFE";
        for (char16_t c : text) {
            bytes.push_back(static_cast<char>(c & 0xFF));
            bytes.push_back(static_cast<char>(c >> 8));
        }
        return file && WriteBytes(file, bytes) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int CXmlManager::WriteFile(std::FILE* file, std::u16string_view text) const noexcept {
    switch (m_fileType) {
        case XML_FILE_UTF8:
            return WriteUtf8File(file, text);
        case XML_FILE_UNICODE:
            return WriteUnicodeFile(file, text);
        default:
            return WriteAnsiFile(file, text);
    }
}

int CXmlManager::SaveFile(const char* path) const noexcept {
    if (!path) {
        return 0;
    }
    std::u16string text = GetDoc();
    if (text.empty()) {
        return 0;
    }
    // The old file stays whole when the new text cannot be written entirely.
    return ov::ReplaceFileWith(path, [&](std::FILE* file) { return WriteFile(file, text) != 0; }) ? 1 : 0;
}

int CXmlManager::Save(const char* path) const noexcept {
    return SaveFile(path);
}

int CXmlManager::Save(const char16_t* path) const noexcept {
    if (!path) {
        return 0;
    }
    try {
        return SaveFile(ov::WideToUtf8(std::u16string_view(path, Length(path))).c_str());
    } catch (const std::bad_alloc&) {
        return 0;
    }
}
