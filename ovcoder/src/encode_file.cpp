// One text document in the ANSI code page, stored scrambled with a keyed
// checksum.
#include "ovcoder/EncodeFile.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "scramble.h"

namespace {

constexpr char kMagic[] = "Orvantek Product Info File 2.0";
constexpr std::size_t kMagicSize = sizeof kMagic - 1;
constexpr std::string_view kKey = "Hw4Ls8Qe1+Tn7=Ka3Vr0Dz9/Pm2Bx6Yc5Jg1";
constexpr std::uint32_t kMask = 0x3A91D7E4;
static_assert(kMagicSize == 30 && kKey.size() == 36);

}  // namespace

CEncodeFile::CEncodeFile() = default;
CEncodeFile::~CEncodeFile() = default;
CEncodeFile::CEncodeFile(const CEncodeFile&) = default;
CEncodeFile& CEncodeFile::operator=(const CEncodeFile&) = default;

void CEncodeFile::SetDoc(const char16_t* text) {
    try {
        m_doc.assign(text ? text : u"");
    } catch (...) {
        // The document stays as it was.
    }
}

const char16_t* CEncodeFile::GetDoc() const noexcept {
    return m_doc.c_str();
}

unsigned int CEncodeFile::GetCheckSum(const unsigned char* bytes, std::size_t length) const noexcept {
    // Bytes count as signed 8-bit values here.
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < length; ++i) {
        sum += static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(bytes[i])));
    }
    char a[16];
    char b[256];
    std::snprintf(a, sizeof a, "%u", static_cast<unsigned>(sum));
    std::snprintf(b, sizeof b, "%s %d", kKey.data(), static_cast<int>(static_cast<std::int32_t>(length)));
    return ovcoder::DigitValue(a, b, 9) ^ kMask;
}

int CEncodeFile::EncodeStringToByte(const char16_t* text, int size, unsigned char* out) const noexcept {
    if (!out || size <= 0) {
        return 0;
    }
    try {
        const std::string ansi =
            ov::WideToAnsi(text ? std::u16string_view(text) : std::u16string_view(), CP_THREAD_ACP);
        const std::size_t n = static_cast<std::size_t>(size) / 2;
        // The converted text, its terminator, then zeros: nothing left over
        // from other memory reaches the file.
        std::vector<unsigned char> source(n > ansi.size() ? n : ansi.size() + 1, 0);
        std::memcpy(source.data(), ansi.data(), ansi.size());
        ovcoder::Scramble(source.data(), n, kKey, out);
        return static_cast<int>(2 * n);
    } catch (...) {
        return 0;
    }
}

int CEncodeFile::DecodeByteToString(const unsigned char* bytes, std::size_t length,
                                    std::u16string& text) const noexcept {
    try {
        // One zero byte after the text ends it inside the buffer.
        const std::vector<unsigned char> plain = ovcoder::UnscrambleBody(bytes, length, kKey, 1);
        const auto* ansi = reinterpret_cast<const char*>(plain.data());
        text = ov::AnsiToWide(std::string_view(ansi, std::strlen(ansi)), CP_THREAD_ACP);
        return static_cast<int>(text.size());
    } catch (...) {
        return 0;
    }
}

int CEncodeFile::WriteEncoded(const char16_t* path) {
    try {
        const std::size_t length = std::u16string_view(m_doc).find(u'\0');
        const std::size_t L = length == std::u16string_view::npos ? m_doc.size() : length;
        if (L == 0 || L > INT_MAX / 4) {
            return 0;
        }
        const std::u16string text = m_doc.substr(0, L);
        return ovcoder::WriteEncodedText(path, std::string_view(kMagic, kMagicSize), text, *this,
                                         &CEncodeFile::EncodeStringToByte, &CEncodeFile::GetCheckSum)
                   ? 1
                   : 0;
    } catch (...) {
        return 0;
    }
}

int CEncodeFile::ReadEncoded(const char16_t* path) {
    try {
        std::u16string text;
        if (!ovcoder::ReadEncodedText(path, kMagicSize, *this, &CEncodeFile::GetCheckSum,
                                      &CEncodeFile::DecodeByteToString, text)) {
            return 0;
        }
        m_doc = std::move(text);
        return 1;
    } catch (...) {
        return 0;
    }
}
