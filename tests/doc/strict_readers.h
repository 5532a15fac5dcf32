#pragma once
// Strict readers of the console's output formats for tests: a JSON reader
// (RFC 8259) that takes exactly one value, and an RFC 4180 CSV reader.
#include <cstdlib>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <variant>
#include <vector>

namespace ov::test {

// ---- a strict JSON reader (RFC 8259): one value, nothing after it ----

struct Json;
using JsonObject = std::map<std::string, Json>;
using JsonArray = std::vector<Json>;
struct Json {
    std::variant<std::nullptr_t, bool, double, std::string, JsonArray, JsonObject> v;
    bool IsNull() const { return std::holds_alternative<std::nullptr_t>(v); }
    double Num() const { return std::get<double>(v); }
    const std::string& Str() const { return std::get<std::string>(v); }
    const Json& operator[](const std::string& key) const { return std::get<JsonObject>(v).at(key); }
    bool Has(const std::string& key) const { return std::get<JsonObject>(v).count(key) != 0; }
};

class JsonReader {
public:
    explicit JsonReader(const std::string& text) : m_s(text) {}
    // The value, or nothing when the text is not exactly one JSON value.
    std::optional<Json> Read() {
        Json value;
        if (!Value(value)) {
            return std::nullopt;
        }
        Space();
        return m_i == m_s.size() ? std::optional<Json>(std::move(value)) : std::nullopt;
    }

private:
    void Space() {
        while (m_i < m_s.size() && (m_s[m_i] == ' ' || m_s[m_i] == '\t' || m_s[m_i] == '\n' || m_s[m_i] == '\r')) {
            ++m_i;
        }
    }
    bool Literal(const char* word) {
        const std::string w(word);
        if (m_s.compare(m_i, w.size(), w) != 0) {
            return false;
        }
        m_i += w.size();
        return true;
    }
    bool Value(Json& out) {
        Space();
        if (m_i >= m_s.size()) {
            return false;
        }
        const char c = m_s[m_i];
        if (c == '{') {
            return Object(out);
        }
        if (c == '[') {
            return Array(out);
        }
        if (c == '"') {
            std::string s;
            if (!String(s)) {
                return false;
            }
            out.v = std::move(s);
            return true;
        }
        if (Literal("null")) {
            out.v = nullptr;
            return true;
        }
        if (Literal("true")) {
            out.v = true;
            return true;
        }
        if (Literal("false")) {
            out.v = false;
            return true;
        }
        return Number(out);
    }
    bool Number(Json& out) {
        static const std::regex number(R"(-?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?)");
        std::smatch m;
        const std::string rest = m_s.substr(m_i, 40);
        if (!std::regex_search(rest, m, number, std::regex_constants::match_continuous)) {
            return false;
        }
        out.v = std::strtod(m.str().c_str(), nullptr);
        m_i += m.length();
        return true;
    }
    bool String(std::string& out) {
        ++m_i;  // the opening quote
        while (m_i < m_s.size()) {
            const char c = m_s[m_i++];
            if (c == '"') {
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return false;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_i >= m_s.size()) {
                return false;
            }
            const char e = m_s[m_i++];
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    out += e;
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    if (m_i + 4 > m_s.size()) {
                        return false;
                    }
                    const std::string hex = m_s.substr(m_i, 4);
                    if (hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
                        return false;
                    }
                    const long code = std::strtol(hex.c_str(), nullptr, 16);
                    if (code >= 0x80) {
                        return false;  // the writer escapes control characters only
                    }
                    out += static_cast<char>(code);
                    m_i += 4;
                    break;
                }
                default:
                    return false;
            }
        }
        return false;
    }
    bool Array(Json& out) {
        ++m_i;
        JsonArray items;
        Space();
        if (m_i < m_s.size() && m_s[m_i] == ']') {
            ++m_i;
            out.v = std::move(items);
            return true;
        }
        for (;;) {
            Json item;
            if (!Value(item)) {
                return false;
            }
            items.push_back(std::move(item));
            Space();
            if (m_i >= m_s.size()) {
                return false;
            }
            if (m_s[m_i] == ']') {
                ++m_i;
                out.v = std::move(items);
                return true;
            }
            if (m_s[m_i++] != ',') {
                return false;
            }
        }
    }
    bool Object(Json& out) {
        ++m_i;
        JsonObject members;
        Space();
        if (m_i < m_s.size() && m_s[m_i] == '}') {
            ++m_i;
            out.v = std::move(members);
            return true;
        }
        for (;;) {
            Space();
            std::string key;
            if (m_i >= m_s.size() || m_s[m_i] != '"' || !String(key)) {
                return false;
            }
            Space();
            if (m_i >= m_s.size() || m_s[m_i++] != ':') {
                return false;
            }
            Json value;
            if (!Value(value) || members.count(key) != 0) {
                return false;  // no duplicate names
            }
            members.emplace(std::move(key), std::move(value));
            Space();
            if (m_i >= m_s.size()) {
                return false;
            }
            if (m_s[m_i] == '}') {
                ++m_i;
                out.v = std::move(members);
                return true;
            }
            if (m_s[m_i++] != ',') {
                return false;
            }
        }
    }

    const std::string& m_s;
    std::size_t m_i = 0;
};

// ---- an RFC 4180 CSV reader: quoted fields, doubled quotes, CRLF or LF ----

using CsvRow = std::vector<std::string>;

// The rows of text, or nothing when a quote is left open or stray.
inline std::optional<std::vector<CsvRow>> ReadCsv(const std::string& text) {
    std::vector<CsvRow> rows;
    CsvRow row;
    std::string field;
    bool quoted = false;     // inside a quoted field
    bool wasQuoted = false;  // the current field was quoted (only a separator may follow)
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"') {
                field += c;
                continue;
            }
            if (i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
                continue;
            }
            quoted = false;
            wasQuoted = true;
            continue;
        }
        if (c == ',') {
            row.push_back(std::move(field));
            field.clear();
            wasQuoted = false;
            continue;
        }
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        if (c == '\n') {
            row.push_back(std::move(field));
            rows.push_back(std::move(row));
            row.clear();
            field.clear();
            wasQuoted = false;
            continue;
        }
        if (c == '"') {
            if (!field.empty() || wasQuoted) {
                return std::nullopt;  // a quote inside a plain field
            }
            quoted = true;
            continue;
        }
        if (wasQuoted) {
            return std::nullopt;
        }
        field += c;
    }
    if (quoted || !field.empty() || !row.empty()) {
        return std::nullopt;  // the last line must end
    }
    return rows;
}

}  // namespace ov::test
