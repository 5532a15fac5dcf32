// Base64 codec: RFC 4648 vectors, padding, replaced alphabets, bytes outside
// the alphabet, string forms and the static result.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ovcoder/OvBase64.h"
#include "platform/codepage.h"

namespace {

// The system page of this test program, read once at the first conversion.
const bool kSystemPage = (setenv("OV_ACP", "1252", 1), true);

constexpr char kStandard[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";

class Base64Test : public ::testing::Test {
protected:
    void SetUp() override { SetThreadLocale(0x0409); }
    void TearDown() override { OvBase64_SetEncodeTable(kStandard); }

    static std::string Encode(const std::string& bytes) {
        std::vector<char> out((bytes.size() + 2) / 3 * 4 + 1, '\x7f');
        const char* r = OvBase64_EncodeBuffer(reinterpret_cast<const unsigned char*>(bytes.data()),
                                              static_cast<int>(bytes.size()), out.data());
        EXPECT_EQ(r, out.data());
        EXPECT_EQ(std::strlen(out.data()), out.size() - 1);
        return out.data();
    }
    // Decodes into a buffer of exactly length / 4 * 3 bytes, so that any
    // write past it shows under the address sanitizer.
    static std::string Decode(const std::string& text, int* count = nullptr) {
        std::vector<unsigned char> out(text.size() / 4 * 3 + (text.size() < 4 ? 1 : 0));
        const int n = OvBase64_DecodeBuffer(text.data(), static_cast<int>(text.size()), out.data());
        if (count) {
            *count = n;
        }
        return std::string(reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(std::max(n, 0)));
    }
};

TEST_F(Base64Test, Rfc4648VectorsBothWays) {
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(Encode(plain), encoded) << plain;
        if (*encoded) {
            EXPECT_EQ(Decode(encoded), plain) << encoded;
        }
    }
}

TEST_F(Base64Test, CountZeroOrNegativeWritesOnlyTheTerminator) {
    char out[4] = {'x', 'x', 'x', 'x'};
    OvBase64_EncodeBuffer(reinterpret_cast<const unsigned char*>("abc"), 0, out);
    EXPECT_EQ(out[0], '\0');
    out[0] = 'x';
    OvBase64_EncodeBuffer(reinterpret_cast<const unsigned char*>("abc"), -3, out);
    EXPECT_EQ(out[0], '\0');
    EXPECT_EQ(out[1], 'x');
}

TEST_F(Base64Test, LengthNotAPositiveMultipleOfFourDecodesNothing) {
    unsigned char out[8] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    for (int length : {0, -4, 1, 2, 3, 5, 7}) {
        EXPECT_EQ(OvBase64_DecodeBuffer("Zm9vYmFy", length, out), 0) << length;
    }
    EXPECT_TRUE(std::all_of(std::begin(out), std::end(out), [](unsigned char b) { return b == 0xAA; }));

    std::u16string result = u"previous";
    OvBase64_DecodeString(u"Zm9vY", result);
    EXPECT_EQ(result, u"");
}

TEST_F(Base64Test, RandomBytesRoundTripAtEveryLength) {
    std::mt19937 rng(42);
    for (std::size_t size = 0; size < 200; ++size) {
        std::string bytes(size, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(rng());
        }
        const std::string text = Encode(bytes);
        EXPECT_EQ(text.size(), (size + 2) / 3 * 4);
        if (size) {
            EXPECT_EQ(Decode(text), bytes) << size;
        }
    }
}

TEST_F(Base64Test, PadInsideTheInputShortensOnlyItsGroup) {
    // "QQ==" is one byte; the next group still lands at offset 3.
    std::vector<unsigned char> out(6, 0xEE);
    const int n = OvBase64_DecodeBuffer("QQ==QUJD", 8, out.data());
    EXPECT_EQ(n, 4);
    EXPECT_EQ(out[0], 'A');
    EXPECT_EQ(std::string(out.begin() + 3, out.end()), "ABC");
    // A pad in third place ends the group even when the fourth is a symbol.
    EXPECT_EQ(Decode("QUJ=").size(), 2u);
    EXPECT_EQ(Decode("QU=D").size(), 1u);
}

// The decoding rules spelled out group by group, pad anywhere.
int ReferenceDecode(const std::string& text, unsigned char* out) {
    auto value = [](char c) -> unsigned {
        const char* p = std::strchr(kStandard, c);
        return c && p ? static_cast<unsigned>(p - kStandard) : 0;
    };
    int count = 0;
    for (std::size_t g = 0; g < text.size() / 4; ++g) {
        const unsigned d0 = value(text[4 * g]), d1 = value(text[4 * g + 1]);
        const unsigned d2 = value(text[4 * g + 2]), d3 = value(text[4 * g + 3]);
        out[3 * g] = static_cast<unsigned char>((d0 << 2) | ((d1 >> 4) & 3));
        ++count;
        if (d2 != 64) {
            out[3 * g + 1] = static_cast<unsigned char>(((d2 >> 2) & 15) | (d1 << 4));
            ++count;
            if (d3 != 64) {
                out[3 * g + 2] = static_cast<unsigned char>((d3 & 63) | (d2 << 6));
                ++count;
            }
        }
    }
    return count;
}

TEST_F(Base64Test, PadsAnywhereDecodeByTheGroupRules) {
    const std::string symbols = "AZaz09+/====!\xff";
    std::mt19937 rng(3);
    for (int round = 0; round < 2000; ++round) {
        std::string text(4 * (1 + rng() % 6), 'A');
        for (char& c : text) {
            c = symbols[rng() % symbols.size()];
        }
        std::vector<unsigned char> ours(text.size() / 4 * 3, 0), ref(ours.size(), 0);
        ASSERT_EQ(OvBase64_DecodeBuffer(text.data(), static_cast<int>(text.size()), ours.data()),
                  ReferenceDecode(text, ref.data()))
            << text;
        ASSERT_EQ(ours, ref) << text;
    }
}

TEST_F(Base64Test, BytesOutsideTheAlphabetStayInBounds) {
    // Every byte value, high ones included (negative as plain char), in every
    // position of a group.
    std::string text;
    for (int c = 0; c < 256; ++c) {
        text += static_cast<char>(c);
    }
    int count = 0;
    const std::string decoded = Decode(text, &count);
    EXPECT_GT(count, 0);
    EXPECT_LE(count, 192);
    // Symbols outside the alphabet read as zero bits.
    EXPECT_EQ(Decode("!!!!"), std::string(3, '\0'));
    EXPECT_EQ(Decode("\xff\x80\xc3\xa9"), std::string(3, '\0'));
}

TEST_F(Base64Test, ReplacedAlphabetRoundTripsAndDiffersFromTheStandard) {
    // A reversed alphabet with high bytes and its own pad.
    std::string table;
    for (int i = 0; i < 64; ++i) {
        table += kStandard[63 - i];
    }
    table[5] = '\xe9';
    table[6] = '\xfc';
    table += '~';
    OvBase64_SetEncodeTable(table.c_str());

    std::mt19937 rng(7);
    std::string bytes(1000, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(rng());
    }
    const std::string text = Encode(bytes);
    EXPECT_EQ(Decode(text), bytes);
    EXPECT_EQ(Encode("f"), std::string({table[25], table[32], '~', '~'}));

    std::u16string encoded, decoded;
    OvBase64_EncodeString(u"Hello, w\u00f6rld!", encoded);
    EXPECT_NE(encoded.find(u'~'), std::u16string::npos);
    OvBase64_DecodeString(encoded, decoded);
    EXPECT_EQ(decoded, u"Hello, w\u00f6rld!");

    // A short table or null is ignored rather than read past its end.
    OvBase64_SetEncodeTable("ABC");
    OvBase64_SetEncodeTable(nullptr);
    EXPECT_EQ(Decode(text), bytes);

    OvBase64_SetEncodeTable(kStandard);
    EXPECT_NE(Decode(text), bytes);
    OvBase64_DecodeString(encoded, decoded);
    EXPECT_NE(decoded, u"Hello, w\u00f6rld!");
}

TEST_F(Base64Test, StringsGoThroughTheAnsiCodePage) {
    std::u16string out;
    OvBase64_EncodeString(u"caf\u00e9", out);
    EXPECT_EQ(out, u"Y2Fm6Q==");  // 1252: e-acute is one byte 0xE9
    OvBase64_EncodeString(u"", out);
    EXPECT_EQ(out, u"");
    OvBase64_DecodeString(u"Y2Fm6Q==", out);
    EXPECT_EQ(out, u"caf\u00e9");
    OvBase64_DecodeString(u"", out);
    EXPECT_EQ(out, u"");

    // A thread of another language encodes in the system page all the same;
    // only the decoded text is read in the thread's page.
    ASSERT_TRUE(SetThreadLocale(0x0419));  // Russian: 1251
    OvBase64_EncodeString(u"caf\u00e9", out);
    EXPECT_EQ(out, u"Y2Fm6Q==");
    OvBase64_DecodeString(u"Y2Fm6Q==", out);
    EXPECT_EQ(out, u"caf\u0439");  // E9 in 1251
}

TEST_F(Base64Test, DecodedTextEndsAtTheFirstZeroByte) {
    std::u16string out;
    OvBase64_DecodeString(u"YQBi", out);  // 'a', 0, 'b'
    EXPECT_EQ(out, u"a");
    OvBase64_DecodeString(u"AGFi", out);  // 0, 'a', 'b'
    EXPECT_EQ(out, u"");
}

TEST_F(Base64Test, StaticResultIsReusedAndOverwritten) {
    const char16_t* first = OvBase64_DecodeStringStatic(u"Zm9vYmFy");
    EXPECT_EQ(std::u16string(first), u"foobar");
    const char16_t* second = OvBase64_DecodeStringStatic(u"Zm9v");
    EXPECT_EQ(first, second);
    EXPECT_EQ(std::u16string(first), u"foo");
    EXPECT_EQ(std::u16string(OvBase64_DecodeStringStatic(nullptr)), u"");
    EXPECT_EQ(std::u16string(OvBase64_DecodeStringStatic(u"abc")), u"");
}

}  // namespace
