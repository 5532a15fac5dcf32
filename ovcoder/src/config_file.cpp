// Settings in sections as a small XML document, stored scrambled with a
// keyed checksum.
#include "ovcoder/ConfigFile.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "ovcoder/OvCrypt.h"
#include "scramble.h"

namespace {

constexpr char kMagic[] = "ORVANTEKDB";
constexpr std::size_t kMagicSize = sizeof kMagic - 1;
constexpr std::string_view kKey = "Mossgate plover twine 4816";
constexpr std::uint32_t kMask = 0x5C3E19A7;
constexpr char16_t kRoot[] = u"ConfigFile";
static_assert(kMagicSize == 10 && kKey.size() == 26);

// Decimal reading of the C runtime: leading blanks, an optional sign, digits
// up to the first other character; no digits read as 0, and a value beyond
// the 32-bit range stops at its limit.
std::int32_t ReadDecimal(std::u16string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i++] == u'-';
    }
    std::int64_t v = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        v = v * 10 + (text[i] - u'0');
        if (v > std::int64_t{INT32_MAX} + 1) {
            v = std::int64_t{INT32_MAX} + 1;
        }
    }
    if (negative) {
        v = -v;
    }
    if (v > INT32_MAX) {
        v = INT32_MAX;
    }
    return static_cast<std::int32_t>(v);
}

std::u16string WriteDecimal(std::int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    return std::u16string(text, text + std::strlen(text));
}

// The parser's text of a document without elements is not empty (it may
// hold a declaration); such a document has nothing to store.
bool HasElement(std::u16string_view text) noexcept {
    for (std::size_t pos = text.find(u'<'); pos != std::u16string_view::npos; pos = text.find(u'<', pos + 1)) {
        if (pos + 1 < text.size() && text[pos + 1] != u'?' && text[pos + 1] != u'!' && text[pos + 1] != u'/') {
            return true;
        }
    }
    return false;
}

// Leaves the cursor at the top level on every way out.
class CursorReset {
public:
    explicit CursorReset(COvXmlParser& xml) noexcept : m_xml(xml) {}
    ~CursorReset() { m_xml.ResetPos(); }
    CursorReset(const CursorReset&) = delete;
    CursorReset& operator=(const CursorReset&) = delete;

private:
    COvXmlParser& m_xml;
};

}  // namespace

CConfigFile::CConfigFile() = default;
CConfigFile::~CConfigFile() = default;

int CConfigFile::GetValue(const char16_t* section, const char16_t* key, std::u16string& value) {
    if (!section || !key) {
        return 0;
    }
    try {
        CursorReset reset(m_xml);
        if (!m_xml.FindElem(kRoot)) {
            return 0;
        }
        m_xml.IntoElem();
        int result = 0;
        if (m_xml.FindElem(section)) {
            m_xml.IntoElem();
            if (m_xml.FindElem(key)) {
                value = m_xml.GetData();
                result = 1;
            }
            m_xml.OutOfElem();
        }
        m_xml.OutOfElem();
        return result;
    } catch (...) {
        return 0;
    }
}

int CConfigFile::GetValue(const char16_t* section, const char16_t* key, int& value) {
    try {
        std::u16string text;
        if (!GetValue(section, key, text)) {
            return 0;
        }
        value = ReadDecimal(text);
        return 1;
    } catch (...) {
        return 0;
    }
}

int CConfigFile::GetValue(const char16_t* section, const char16_t* key, DWORD& value) {
    try {
        std::u16string text;
        if (!GetValue(section, key, text)) {
            return 0;
        }
        // Read signed, then taken as unsigned: "-1" gives 4294967295.
        value = static_cast<DWORD>(ReadDecimal(text));
        return 1;
    } catch (...) {
        return 0;
    }
}

int CConfigFile::SetValue(const char16_t* section, const char16_t* key, const char16_t* value) {
    if (!section || !key) {
        return 0;
    }
    if (!value) {
        value = u"";
    }
    try {
        CursorReset reset(m_xml);
        if (!m_xml.FindElem(kRoot) && !m_xml.AddElem(kRoot, nullptr)) {
            return 0;
        }
        m_xml.IntoElem();
        int result = 0;
        if (m_xml.FindElem(section) || m_xml.AddElem(section, nullptr)) {
            m_xml.IntoElem();
            result = m_xml.FindElem(key) ? m_xml.SetData(value, 0) : m_xml.AddElem(key, value);
            m_xml.OutOfElem();
        }
        m_xml.OutOfElem();
        return result;
    } catch (...) {
        return 0;
    }
}

int CConfigFile::SetValue(const char16_t* section, const char16_t* key, int value) {
    try {
        return SetValue(section, key, WriteDecimal(value).c_str());
    } catch (...) {
        return 0;
    }
}

int CConfigFile::SetValue(const char16_t* section, const char16_t* key, DWORD value) {
    try {
        // Stored signed like every number here: 4294967295 becomes "-1".
        return SetValue(section, key, WriteDecimal(static_cast<std::int32_t>(value)).c_str());
    } catch (...) {
        return 0;
    }
}

DWORD CConfigFile::GetCheckSum(const unsigned char* bytes, std::size_t length) const noexcept {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < length; ++i) {
        sum += bytes[i];
    }
    char a[16];
    char b[64];
    std::snprintf(a, sizeof a, "%d", static_cast<int>(static_cast<std::int32_t>(sum)));
    std::snprintf(b, sizeof b, "%s %d", kKey.data(), static_cast<int>(static_cast<std::int32_t>(length)));
    return ovcoder::DigitValue(a, b, 10) ^ kMask;
}

int CConfigFile::EncodeStringToByte(const char16_t* text, int size, unsigned char* out) const noexcept {
    if (!text || !out || size <= 0) {
        return 0;
    }
    // Never past the text's own memory, terminator included.
    const std::size_t available = (std::char_traits<char16_t>::length(text) + 1) * 2;
    std::size_t n = static_cast<std::size_t>(size) / 2;
    if (n > available) {
        n = available;
    }
    // The text's memory is UTF-16 little-endian whatever the host.
    std::vector<unsigned char> source;
    try {
        source.resize(n);
    } catch (...) {
        return 0;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t unit = text[i / 2];
        source[i] = static_cast<unsigned char>(i % 2 ? unit >> 8 : unit);
    }
    ovcoder::Scramble(source.data(), n, kKey, out);
    return static_cast<int>(2 * n);
}

int CConfigFile::DecodeByteToString(const unsigned char* bytes, std::size_t length,
                                    std::u16string& text) const noexcept {
    try {
        // Two zero bytes after the text: an odd last byte becomes a code unit
        // of its own, and the text always ends inside the buffer.
        const std::vector<unsigned char> plain = ovcoder::UnscrambleBody(bytes, length, kKey, 2);
        std::u16string decoded;
        for (std::size_t i = 0; i + 1 < plain.size(); i += 2) {
            const auto unit = static_cast<char16_t>(plain[i] | (plain[i + 1] << 8));
            if (unit == 0) {
                break;
            }
            decoded.push_back(unit);
        }
        text = std::move(decoded);
        return static_cast<int>(text.size());
    } catch (...) {
        return 0;
    }
}

int CConfigFile::ReadEncoded(const char16_t* path) {
    try {
        std::u16string text;
        if (!ovcoder::ReadEncodedText(path, kMagicSize, *this, &CConfigFile::GetCheckSum,
                                      &CConfigFile::DecodeByteToString, text)) {
            return 0;
        }
        // The magic is not compared: the checksum covers it.
        m_xml.SetDoc(text.c_str());
        m_xml.ResetPos();
        return 1;
    } catch (...) {
        return 0;
    }
}

int CConfigFile::WriteEncoded(const char16_t* path) {
    try {
        const std::u16string text = m_xml.GetDoc();
        if (!HasElement(text) || text.size() > INT_MAX / 4) {
            return 0;
        }
        return ovcoder::WriteEncodedText(path, std::string_view(kMagic, kMagicSize), text, *this,
                                         &CConfigFile::EncodeStringToByte, &CConfigFile::GetCheckSum)
                   ? 1
                   : 0;
    } catch (...) {
        return 0;
    }
}
