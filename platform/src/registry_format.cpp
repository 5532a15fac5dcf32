#include "registry_format.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "platform/codepage.h"
#include "platform/registry.h"

namespace ov::reg {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr size_t kHexLineWidth = 76;

bool IsHexDigit(char c) noexcept {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(char c) noexcept {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return c - 'A' + 10;
}

bool IsValidUtf8(std::string_view text) {
    // Decoding and encoding back gives the same bytes only for valid UTF-8.
    return ov::WideToUtf8(ov::Utf8ToWide(text)) == text;
}

// Reads a quoted text starting at text[pos] == '"'; escapes \\ \" and \uXXXX.
// pos ends after the closing quote.
bool ReadQuoted(std::string_view text, size_t& pos, std::u16string& out) {
    if (pos >= text.size() || text[pos] != '"') {
        return false;
    }
    ++pos;
    std::string plain;
    out.clear();
    const auto flush = [&] {
        out += ov::Utf8ToWide(plain);
        plain.clear();
    };
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == '"') {
            ++pos;
            flush();
            return true;
        }
        if (c != '\\') {
            plain.push_back(c);
            ++pos;
            continue;
        }
        if (pos + 1 >= text.size()) {
            return false;
        }
        const char e = text[pos + 1];
        if (e == '\\' || e == '"') {
            plain.push_back(e);
            pos += 2;
        } else if (e == 'u' && pos + 6 <= text.size() &&
                   std::all_of(text.begin() + static_cast<std::ptrdiff_t>(pos + 2),
                               text.begin() + static_cast<std::ptrdiff_t>(pos + 6), IsHexDigit)) {
            flush();
            char16_t unit = 0;
            for (size_t k = pos + 2; k < pos + 6; ++k) {
                unit = static_cast<char16_t>((unit << 4) | HexValue(text[k]));
            }
            out.push_back(unit);
            pos += 6;
        } else {
            return false;
        }
    }
    return false;
}

bool IsSurrogate(char16_t c) noexcept {
    return c >= 0xD800 && c <= 0xDFFF;
}

// Quoted form of text: UTF-8, with \\ and \" escaped and control characters
// and unpaired surrogates as \uXXXX.
std::string Quote(std::u16string_view text) {
    std::string out = "\"";
    size_t i = 0;
    while (i < text.size()) {
        const char16_t c = text[i];
        const bool pair =
            c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (pair) {
            out += ov::WideToUtf8(text.substr(i, 2));
            i += 2;
            continue;
        }
        if (c < 0x20 || c == 0x7F || IsSurrogate(c)) {
            char buf[8];
            std::snprintf(buf, sizeof(buf), "\\u%04X", static_cast<unsigned>(c));
            out += buf;
        } else if (c == '\\' || c == '"') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else {
            out += ov::WideToUtf8(text.substr(i, 1));
        }
        ++i;
    }
    out.push_back('"');
    return out;
}

// A REG_SZ payload that the quoted form keeps byte for byte: whole UTF-16
// units, one closing NUL and no NUL before it.
bool IsPlainString(const Value& v, std::u16string& text) {
    if (v.type != REG_SZ || v.data.size() < 2 || v.data.size() % 2 != 0) {
        return false;
    }
    text.clear();
    for (size_t i = 0; i + 1 < v.data.size(); i += 2) {
        text.push_back(static_cast<char16_t>(v.data[i] | (v.data[i + 1] << 8)));
    }
    if (text.back() != 0) {
        return false;
    }
    text.pop_back();
    return text.find(char16_t{0}) == std::u16string::npos;
}

void AppendHex(std::string& out, const Value& v, size_t prefixLength) {
    size_t column = prefixLength;
    char buf[4];
    for (size_t i = 0; i < v.data.size(); ++i) {
        std::snprintf(buf, sizeof(buf), "%02x", v.data[i]);
        out += buf;
        column += 2;
        if (i + 1 < v.data.size()) {
            out.push_back(',');
            ++column;
            if (column >= kHexLineWidth) {
                out += "\\\n  ";
                column = 2;
            }
        }
    }
}

std::u16string_view TrimmedName(std::u16string_view path) {
    const size_t slash = path.rfind(u'\\');
    return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

std::string_view TrimLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.remove_suffix(1);
    }
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
        line.remove_prefix(1);
    }
    return line;
}

// Parses "xx,xx,..." (possibly empty) into bytes.
bool ParseHexBytes(std::string_view text, std::vector<BYTE>& out) {
    out.clear();
    size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
            ++pos;
        }
        if (pos + 2 > text.size() || !IsHexDigit(text[pos]) || !IsHexDigit(text[pos + 1])) {
            return false;
        }
        out.push_back(static_cast<BYTE>(HexValue(text[pos]) * 16 + HexValue(text[pos + 1])));
        pos += 2;
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
            ++pos;
        }
        if (pos == text.size()) {
            break;
        }
        if (text[pos] != ',' || pos + 1 == text.size()) {
            return false;
        }
        ++pos;
    }
    return true;
}

bool ParseData(std::string_view text, Value& v) {
    if (!text.empty() && text.front() == '"') {
        size_t pos = 0;
        std::u16string s;
        if (!ReadQuoted(text, pos, s) || pos != text.size()) {
            return false;
        }
        v.type = REG_SZ;
        v.data.clear();
        for (const char16_t c : s) {
            v.data.push_back(static_cast<BYTE>(c & 0xFF));
            v.data.push_back(static_cast<BYTE>(c >> 8));
        }
        v.data.push_back(0);
        v.data.push_back(0);
        return true;
    }
    if (text.starts_with("dword:")) {
        const std::string_view digits = text.substr(6);
        if (digits.empty() || digits.size() > 8 || !std::all_of(digits.begin(), digits.end(), IsHexDigit)) {
            return false;
        }
        DWORD n = 0;
        for (const char c : digits) {
            n = (n << 4) | static_cast<DWORD>(HexValue(c));
        }
        v.type = REG_DWORD;
        v.data = {static_cast<BYTE>(n), static_cast<BYTE>(n >> 8), static_cast<BYTE>(n >> 16),
                  static_cast<BYTE>(n >> 24)};
        return true;
    }
    if (text.starts_with("hex:")) {
        v.type = REG_BINARY;
        return ParseHexBytes(text.substr(4), v.data);
    }
    if (text.starts_with("hex(")) {
        const size_t close = text.find("):");
        if (close == std::string_view::npos || close == 4 || close > 12) {
            return false;
        }
        const std::string_view digits = text.substr(4, close - 4);
        if (!std::all_of(digits.begin(), digits.end(), IsHexDigit)) {
            return false;
        }
        DWORD type = 0;
        for (const char c : digits) {
            type = (type << 4) | static_cast<DWORD>(HexValue(c));
        }
        v.type = type;
        return ParseHexBytes(text.substr(close + 2), v.data);
    }
    return false;
}

bool Fail(std::string& error, size_t line, const char* what) {
    error = "line " + std::to_string(line) + ": " + what;
    return false;
}

}  // namespace

char16_t FoldChar(char16_t c) noexcept {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F)) {
        return static_cast<char16_t>(c + 0x20);
    }
    if (c >= 0x400 && c <= 0x40F) {
        return static_cast<char16_t>(c + 0x50);
    }
    if ((c >= 0x100 && c <= 0x137 && c % 2 == 0) || (c >= 0x14A && c <= 0x177 && c % 2 == 0) ||
        (c >= 0x139 && c <= 0x148 && c % 2 == 1) || (c >= 0x179 && c <= 0x17E && c % 2 == 1)) {
        return static_cast<char16_t>(c + 1);
    }
    if (c == 0x178) {
        return 0xFF;
    }
    return c;
}

std::u16string Fold(std::u16string_view text) {
    std::u16string out(text);
    std::transform(out.begin(), out.end(), out.begin(), FoldChar);
    return out;
}

Value* FindValue(Key& key, std::u16string_view name) {
    for (Value& v : key.values) {
        if (v.name.size() == name.size() &&
            std::equal(v.name.begin(), v.name.end(), name.begin(),
                       [](char16_t a, char16_t b) { return FoldChar(a) == FoldChar(b); })) {
            return &v;
        }
    }
    return nullptr;
}

Hive::Hive() {
    Reset();
}

void Hive::Reset() {
    keys.clear();
    keys.emplace(std::u16string(), Key{});
}

Key* Hive::Find(std::u16string_view foldedPath) {
    const auto it = keys.find(std::u16string(foldedPath));
    return it == keys.end() ? nullptr : &it->second;
}

bool Hive::Create(std::u16string_view display) {
    bool created = false;
    size_t pos = 0;
    while (pos <= display.size() && !display.empty()) {
        size_t slash = display.find(u'\\', pos);
        if (slash == std::u16string_view::npos) {
            slash = display.size();
        }
        const std::u16string_view prefix = display.substr(0, slash);
        const auto [it, inserted] = keys.try_emplace(Fold(prefix), Key{});
        if (inserted) {
            // The parent's case wins for the shared part of the path.
            const auto parentEnd = prefix.rfind(u'\\');
            std::u16string path;
            if (parentEnd != std::u16string_view::npos) {
                path = keys.at(Fold(prefix.substr(0, parentEnd))).path;
                path.push_back(u'\\');
                path += prefix.substr(parentEnd + 1);
            } else {
                path = prefix;
            }
            it->second.path = std::move(path);
            created = true;
        }
        pos = slash + 1;
    }
    return created;
}

std::vector<std::u16string> Hive::Children(std::u16string_view foldedPath) const {
    std::vector<std::u16string> out;
    std::u16string prefix(foldedPath);
    if (!prefix.empty()) {
        prefix.push_back(u'\\');
    }
    for (auto it = keys.lower_bound(prefix); it != keys.end(); ++it) {
        const std::u16string& path = it->first;
        if (path.compare(0, prefix.size(), prefix) != 0) {
            break;
        }
        if (path.size() == prefix.size()) {
            continue;  // the root itself
        }
        if (path.find(u'\\', prefix.size()) == std::u16string::npos) {
            out.emplace_back(TrimmedName(it->second.path));
        }
    }
    return out;
}

void Hive::EraseTree(std::u16string_view foldedPath) {
    if (foldedPath.empty()) {
        return;
    }
    keys.erase(std::u16string(foldedPath));
    std::u16string prefix(foldedPath);
    prefix.push_back(u'\\');
    auto it = keys.lower_bound(prefix);
    while (it != keys.end() && it->first.compare(0, prefix.size(), prefix) == 0) {
        it = keys.erase(it);
    }
}

bool ParseHive(std::string_view text, std::u16string_view rootName, Hive& hive, std::string& error) {
    hive.Reset();
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    if (!IsValidUtf8(text)) {
        return Fail(error, 0, "not UTF-8 text");
    }
    const std::u16string rootFolded = Fold(rootName);
    Key* current = nullptr;
    std::unordered_map<const Key*, std::unordered_map<std::u16string, size_t>> seen;
    bool headerSeen = false;
    size_t lineNo = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string line(TrimLine(text.substr(pos, end - pos)));
        pos = end + 1;
        ++lineNo;
        const size_t firstLine = lineNo;
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (!headerSeen) {
            if (line != kHeader) {
                return Fail(error, firstLine, "missing header");
            }
            headerSeen = true;
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 2) {
                return Fail(error, firstLine, "unclosed key name");
            }
            const std::u16string full = ov::Utf8ToWide(std::string_view(line).substr(1, line.size() - 2));
            const std::u16string folded = Fold(full);
            if (folded.compare(0, rootFolded.size(), rootFolded) != 0 ||
                (folded.size() > rootFolded.size() && folded[rootFolded.size()] != u'\\')) {
                return Fail(error, firstLine, "key outside this root");
            }
            std::u16string_view path(full);
            path.remove_prefix(std::min(path.size(), rootFolded.size() + 1));
            if (!path.empty() &&
                (path.front() == u'\\' || path.back() == u'\\' || path.find(u"\\\\") != std::u16string_view::npos)) {
                return Fail(error, firstLine, "empty key name");
            }
            hive.Create(path);
            current = hive.Find(Fold(path));
            continue;
        }
        if (line.front() != '"' && line.front() != '@') {
            return Fail(error, firstLine, "unexpected text");
        }
        if (current == nullptr) {
            return Fail(error, firstLine, "value outside a key");
        }
        Value v;
        size_t p = 0;
        if (line.front() == '@') {
            p = 1;
        } else if (!ReadQuoted(line, p, v.name)) {
            return Fail(error, firstLine, "bad value name");
        }
        if (p >= line.size() || line[p] != '=') {
            return Fail(error, firstLine, "missing '='");
        }
        std::string data = line.substr(p + 1);
        // Hex data continues on the next line after a trailing backslash.
        if (data.starts_with("hex")) {
            while (!data.empty() && data.back() == '\\') {
                data.pop_back();
                if (pos >= text.size()) {
                    return Fail(error, firstLine, "unfinished hex data");
                }
                end = text.find('\n', pos);
                if (end == std::string_view::npos) {
                    end = text.size();
                }
                data += TrimLine(text.substr(pos, end - pos));
                pos = end + 1;
                ++lineNo;
            }
        }
        if (!ParseData(data, v)) {
            return Fail(error, firstLine, "bad value data");
        }
        // Names seen so far per key, so that long keys parse in linear time.
        auto& names = seen[current];
        const auto [it, inserted] = names.try_emplace(Fold(v.name), current->values.size());
        if (!inserted) {
            Value& existing = current->values[it->second];
            existing.type = v.type;
            existing.data = std::move(v.data);
        } else {
            current->values.push_back(std::move(v));
        }
    }
    return true;  // no header at all: blank lines only, an empty store
}

std::string SerializeHive(const Hive& hive, std::u16string_view rootName) {
    std::string out(kHeader);
    out += "\n";
    const std::string root = ov::WideToUtf8(rootName);
    for (const auto& [folded, key] : hive.keys) {
        if (folded.empty() && key.values.empty()) {
            continue;
        }
        out += "\n[";
        out += root;
        if (!key.path.empty()) {
            out += "\\";
            out += ov::WideToUtf8(key.path);
        }
        out += "]\n";
        std::u16string text;
        for (const Value& v : key.values) {
            const size_t lineStart = out.size();
            out += v.name.empty() ? std::string("@") : Quote(v.name);
            out += "=";
            if (IsPlainString(v, text)) {
                out += Quote(text);
            } else if (v.type == REG_DWORD && v.data.size() == 4) {
                char buf[16];
                const DWORD n = static_cast<DWORD>(v.data[0]) | (static_cast<DWORD>(v.data[1]) << 8) |
                                (static_cast<DWORD>(v.data[2]) << 16) | (static_cast<DWORD>(v.data[3]) << 24);
                std::snprintf(buf, sizeof(buf), "dword:%08x", n);
                out += buf;
            } else {
                if (v.type == REG_BINARY) {
                    out += "hex:";
                } else {
                    char buf[24];
                    std::snprintf(buf, sizeof(buf), "hex(%x):", v.type);
                    out += buf;
                }
                AppendHex(out, v, out.size() - lineStart);
            }
            out += "\n";
        }
    }
    return out;
}

}  // namespace ov::reg
