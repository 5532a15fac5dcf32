#include "ovupdate/UpdateAnswer.h"

#include <algorithm>
#include <array>

#include "ovmfcstd/XmlManager.h"
#include "platform/codepage.h"

namespace {

constexpr std::size_t kMaxParts = 4;
constexpr unsigned long kMaxPart = 65535;

bool IsBlank(char16_t c) noexcept {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

std::u16string_view Trim(std::u16string_view text) noexcept {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Splits a version into its parts; false when it is not a version.
bool SplitVersion(std::u16string_view text, std::array<unsigned long, kMaxParts>& parts) noexcept {
    parts.fill(0);
    std::size_t count = 0;
    std::size_t digits = 0;
    for (const char16_t c : text) {
        if (c == u'.') {
            if (digits == 0 || ++count == kMaxParts) {
                return false;
            }
            digits = 0;
        } else if (c >= u'0' && c <= u'9') {
            // Six digits already exceed the largest part; stop before overflow.
            if (++digits > 5) {
                return false;
            }
            parts[count] = parts[count] * 10 + static_cast<unsigned long>(c - u'0');
            if (parts[count] > kMaxPart) {
                return false;
            }
        } else {
            return false;
        }
    }
    return digits != 0;
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) noexcept {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char16_t c = text[i];
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
        if (c != prefix[i]) {
            return false;
        }
    }
    return true;
}

bool IsDownloadAddress(std::u16string_view text) noexcept {
    if (text.empty() || text.size() > kMaxDownloadChars) {
        return false;
    }
    std::size_t scheme = 0;
    if (StartsWithNoCase(text, u"https://")) {
        scheme = 8;
    } else if (StartsWithNoCase(text, u"http://")) {
        scheme = 7;
    }
    // A host must follow the scheme.
    if (scheme == 0 || text.size() == scheme || text[scheme] == u'/') {
        return false;
    }
    for (const char16_t c : text) {
        if (c <= u' ' || c == 0x7F || (c >= 0x80 && c <= 0x9F)) {
            return false;
        }
    }
    return true;
}

std::u16string CleanNotes(std::u16string_view text) {
    std::u16string out;
    out.reserve(std::min(text.size(), kMaxNotesChars));
    for (const char16_t c : Trim(text)) {
        if (out.size() == kMaxNotesChars) {
            break;
        }
        const bool control = (c < u' ' && c != u'\n' && c != u'\t') || c == 0x7F || (c >= 0x80 && c <= 0x9F);
        if (!control) {
            out += c;
        }
    }
    // A cut may have split a surrogate pair.
    if (!out.empty() && out.back() >= 0xD800 && out.back() <= 0xDBFF) {
        out.pop_back();
    }
    return out;
}

// The body as UTF-16; false for bytes that are not UTF-8 text.
bool DecodeBody(std::string_view body, std::u16string& text) {
    if (body.starts_with("\xEF\xBB\xBF")) {
        body.remove_prefix(3);
    }
    if (body.find('\0') != std::string_view::npos) {
        return false;
    }
    if (body.empty()) {
        return true;
    }
    const int size = static_cast<int>(body.size());
    const int chars = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, body.data(), size, nullptr, 0);
    if (chars <= 0) {
        return false;
    }
    text.resize(static_cast<std::size_t>(chars));
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, body.data(), size, text.data(), chars) == chars;
}

OV_ANSWER_RESULT Parse(std::string_view body, std::u16string_view product, OV_UPDATE_ANSWER& answer) {
    if (body.size() > kMaxUpdateAnswerBytes) {
        return ANSWER_TOO_LARGE;
    }
    std::u16string text;
    if (!DecodeBody(body, text)) {
        return ANSWER_NOT_TEXT;
    }
    // Declarations are never part of an answer; refusing them keeps entity
    // tricks away from the parser.
    if (text.find(u"<!DOCTYPE") != std::u16string::npos || text.find(u"<!ENTITY") != std::u16string::npos) {
        return ANSWER_DOCTYPE;
    }

    CXmlManager xml;
    if (text.empty() || !xml.SetDoc(text.c_str())) {
        return ANSWER_MALFORMED;
    }
    xml.ResetAll();
    const char16_t* root = xml.GetName();
    if (root == nullptr || std::u16string_view(root) != u"OvUpdate") {
        return ANSWER_MALFORMED;
    }

    std::u16string named;
    if (xml.GetAttrValue(u"OvUpdate", u"product", named) && !named.empty() && Trim(named) != product) {
        return ANSWER_WRONG_PRODUCT;
    }

    std::u16string version, download, notes;
    if (!xml.GetElemData(u"OvUpdate\\Version", version) || !IsValidVersion(Trim(version))) {
        return ANSWER_BAD_VERSION;
    }
    if (!xml.GetElemData(u"OvUpdate\\Download", download) || !IsDownloadAddress(Trim(download))) {
        return ANSWER_BAD_ADDRESS;
    }
    xml.GetElemData(u"OvUpdate\\Notes", notes);

    answer.version = Trim(version);
    answer.download = Trim(download);
    answer.notes = CleanNotes(notes);
    return ANSWER_OK;
}

}  // namespace

OV_ANSWER_RESULT ParseUpdateAnswer(std::string_view body, std::u16string_view product,
                                   OV_UPDATE_ANSWER& answer) noexcept {
    try {
        return Parse(body, product, answer);
    } catch (...) {
        // Only memory can run out here; such an answer is not usable either.
        return ANSWER_MALFORMED;
    }
}

bool IsValidVersion(std::u16string_view text) noexcept {
    std::array<unsigned long, kMaxParts> parts;
    return SplitVersion(text, parts);
}

bool CompareVersions(std::u16string_view a, std::u16string_view b, int& order) noexcept {
    std::array<unsigned long, kMaxParts> pa, pb;
    if (!SplitVersion(Trim(a), pa) || !SplitVersion(Trim(b), pb)) {
        return false;
    }
    order = 0;
    for (std::size_t i = 0; i < kMaxParts && order == 0; ++i) {
        order = pa[i] < pb[i] ? -1 : (pa[i] > pb[i] ? 1 : 0);
    }
    return true;
}
