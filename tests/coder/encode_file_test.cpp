// Encoded document file: ANSI round trips in two code pages, layout and
// checksum recomputed independently, damaged files, odd bodies, fixed vectors.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "coder/coder_test_util.h"
#include "ovcoder/ConfigFile.h"
#include "ovcoder/EncodeFile.h"
#include "platform/codepage.h"

namespace {

using codertest::ReadFile;
using codertest::TempDir;
using codertest::WriteFile;

constexpr LCID kEnglish = 0x0409;  // code page 1252
constexpr LCID kChinese = 0x0804;  // code page 936

std::vector<unsigned char> Image(const std::vector<unsigned char>& body) {
    std::vector<unsigned char> file(body.size() + 30);
    std::memcpy(file.data(), "Orvantek Product Info File 2.0", 30);
    if (!body.empty()) {
        std::memcpy(file.data() + 30, body.data(), body.size());
    }
    const std::uint32_t c = codertest::RefDocumentChecksum(file);
    for (int i = 0; i < 4; ++i) {
        file.push_back(static_cast<unsigned char>(c >> (8 * i)));
    }
    return file;
}

std::u16string RoundTrip(const std::u16string& text, std::vector<unsigned char>* file = nullptr) {
    TempDir dir;
    const auto path = dir.File("doc.dat");
    CEncodeFile out;
    out.SetDoc(text.c_str());
    EXPECT_EQ(out.WriteEncoded(path.u16string().c_str()), 1);
    if (file) {
        *file = ReadFile(path);
    }
    CEncodeFile in;
    EXPECT_EQ(in.ReadEncoded(path.u16string().c_str()), 1);
    return in.GetDoc();
}

class EncodeFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SetThreadLocale(kEnglish)); }
    void TearDown() override { SetThreadLocale(kEnglish); }
};

TEST_F(EncodeFileTest, AnsiRoundTripInCodePage1252) {
    ASSERT_EQ(ov::ThreadCodePage(), 1252u);
    EXPECT_EQ(RoundTrip(u"Gr\u00fc\u00dfe, caf\u00e9 \u20ac 100\r\nline two"),
              u"Gr\u00fc\u00dfe, caf\u00e9 \u20ac 100\r\nline two");
    // Characters the code page lacks come back as its replacement.
    EXPECT_EQ(RoundTrip(u"a\u4e2d\u6587b"), u"a??b");
}

TEST_F(EncodeFileTest, AnsiRoundTripInCodePage936) {
    ASSERT_TRUE(SetThreadLocale(kChinese));
    ASSERT_EQ(ov::ThreadCodePage(), 936u);
    std::vector<unsigned char> file;
    const std::u16string text = u"\u4e2d\u6587 ABC \u7f51\u7edc";
    EXPECT_EQ(RoundTrip(text, &file), text);
    // The size follows the UTF-16 length, not the longer ANSI text.
    EXPECT_EQ(file.size(), 34 + 4 * text.size());
    EXPECT_EQ(RoundTrip(u"x\u0e01y"), u"x?y");  // Thai is not in GBK
}

TEST_F(EncodeFileTest, FileLayoutAndChecksum) {
    std::vector<unsigned char> file;
    const std::u16string text = u"Product: Tapper\r\nVersion 1.1";
    ASSERT_EQ(RoundTrip(text, &file), text);
    ASSERT_EQ(file.size(), 34 + 4 * text.size());
    EXPECT_EQ(std::string(file.begin(), file.begin() + 30), "Orvantek Product Info File 2.0");
    // 2 x L source bytes: the ANSI text, its terminator, zeros.
    const auto source = codertest::RefUnscramble(file.data() + 30, file.size() - 34, codertest::kDocumentKey);
    ASSERT_EQ(source.size(), 2 * text.size());
    EXPECT_EQ(std::string(source.begin(), source.begin() + static_cast<long>(text.size())),
              "Product: Tapper\r\nVersion 1.1");
    for (std::size_t i = text.size(); i < source.size(); ++i) {
        EXPECT_EQ(source[i], 0) << i;
    }
    for (std::size_t i = 30; i < file.size() - 4; ++i) {
        const unsigned low = file[i] & 15;
        EXPECT_TRUE(low != 10 && low != 13) << i;
        if (i % 2 == 0) {
            EXPECT_NE(low, 0u) << i;
        }
    }
    const std::vector<unsigned char> image(file.begin(), file.end() - 4);
    const std::uint32_t stored = file[file.size() - 4] | (file[file.size() - 3] << 8) | (file[file.size() - 2] << 16) |
                                 (std::uint32_t{file[file.size() - 1]} << 24);
    EXPECT_EQ(stored, codertest::RefDocumentChecksum(image));
}

TEST_F(EncodeFileTest, EveryChangedByteIsRefusedAndTheDocumentKept) {
    TempDir dir;
    const auto path = dir.File("doc.dat");
    const auto damaged = dir.File("bad.dat");
    CEncodeFile source;
    source.SetDoc(u"stored text \u00e9");
    ASSERT_EQ(source.WriteEncoded(path.u16string().c_str()), 1);
    const auto file = ReadFile(path);

    CEncodeFile doc;
    doc.SetDoc(u"in memory");
    for (std::size_t i = 0; i < file.size(); ++i) {
        for (unsigned char change : {0x01, 0xFF}) {
            auto bytes = file;
            bytes[i] ^= change;
            WriteFile(damaged, bytes);
            ASSERT_EQ(doc.ReadEncoded(damaged.u16string().c_str()), 0) << "byte " << i << " ^ " << int(change);
        }
    }
    EXPECT_EQ(std::u16string(doc.GetDoc()), u"in memory");
    // Missing, short and truncated files too.
    EXPECT_EQ(doc.ReadEncoded(dir.File("missing").u16string().c_str()), 0);
    WriteFile(damaged, Image({}));
    EXPECT_EQ(doc.ReadEncoded(damaged.u16string().c_str()), 0);
    WriteFile(damaged, std::vector<unsigned char>(file.begin(), file.end() - 1));
    EXPECT_EQ(doc.ReadEncoded(damaged.u16string().c_str()), 0);
    EXPECT_EQ(std::u16string(doc.GetDoc()), u"in memory");
}

TEST_F(EncodeFileTest, BodiesOfAnyLengthStayInBounds) {
    TempDir dir;
    const auto path = dir.File("odd.dat");
    for (std::size_t size = 1; size <= 9; ++size) {
        // Body bytes whose high nibbles decode to 'A' bytes with no terminator.
        std::vector<unsigned char> body;
        for (std::size_t i = 0; i < size; ++i) {
            const unsigned k = codertest::kDocumentKey[i / 2] & 15u;
            body.push_back(static_cast<unsigned char>(((i % 2 ? 1 : 4) ^ k) << 4));
        }
        WriteFile(path, Image(body));
        CEncodeFile doc;
        ASSERT_EQ(doc.ReadEncoded(path.u16string().c_str()), 1) << size;
        EXPECT_EQ(std::u16string(doc.GetDoc()), std::u16string(size / 2, u'A')) << size;
    }
}

TEST_F(EncodeFileTest, EmptyDocumentWritesNothing) {
    TempDir dir;
    const auto path = dir.File("empty.dat");
    CEncodeFile doc;
    EXPECT_EQ(std::u16string(doc.GetDoc()), u"");
    EXPECT_EQ(doc.WriteEncoded(path.u16string().c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
    doc.SetDoc(nullptr);
    EXPECT_EQ(doc.WriteEncoded(path.u16string().c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(EncodeFileTest, TransformStepsDirectly) {
    CEncodeFile doc;
    // size / 2 source bytes: the text is cut, or followed by its terminator and zeros.
    std::vector<unsigned char> out(16, 0xEE);
    EXPECT_EQ(doc.EncodeStringToByte(u"abcdef", 6, out.data()), 6);
    EXPECT_EQ(out[6], 0xEE);
    std::u16string text;
    EXPECT_EQ(doc.DecodeByteToString(out.data(), 6, text), 3);
    EXPECT_EQ(text, u"abc");
    EXPECT_EQ(doc.EncodeStringToByte(u"ab", 16, out.data()), 16);
    EXPECT_EQ(doc.DecodeByteToString(out.data(), 16, text), 2);
    EXPECT_EQ(text, u"ab");
    EXPECT_EQ(doc.DecodeByteToString(out.data(), 3, text), 1);
    EXPECT_EQ(text, u"a");
    EXPECT_EQ(doc.DecodeByteToString(nullptr, 8, text), 0);
    EXPECT_EQ(text, u"");
}

TEST_F(EncodeFileTest, FixedVectorFilesStillRead) {
    CEncodeFile doc;
    ASSERT_EQ(doc.ReadEncoded((codertest::DataDir() / "document_1252.dat").u16string().c_str()), 1);
    EXPECT_EQ(std::u16string(doc.GetDoc()), u"Orvantek Tapper\r\nCaf\u00e9 \u00fcber \u20ac5");
    ASSERT_TRUE(SetThreadLocale(kChinese));
    ASSERT_EQ(doc.ReadEncoded((codertest::DataDir() / "document_936.dat").u16string().c_str()), 1);
    EXPECT_EQ(std::u16string(doc.GetDoc()), u"\u4e2d\u6587\u6587\u6863 Tapper");
}

// Writes the fixed vector files; run by hand with
// --gtest_also_run_disabled_tests --gtest_filter='*WriteFixedVectors' when
// the format changes on purpose.
TEST_F(EncodeFileTest, DISABLED_WriteFixedVectors) {
    const auto dir = codertest::DataDir();
    CEncodeFile doc;
    doc.SetDoc(u"Orvantek Tapper\r\nCaf\u00e9 \u00fcber \u20ac5");
    ASSERT_EQ(doc.WriteEncoded((dir / "document_1252.dat").u16string().c_str()), 1);
    ASSERT_TRUE(SetThreadLocale(kChinese));
    doc.SetDoc(u"\u4e2d\u6587\u6587\u6863 Tapper");
    ASSERT_EQ(doc.WriteEncoded((dir / "document_936.dat").u16string().c_str()), 1);

    CConfigFile config;
    ASSERT_NE(config.SetValue(u"Settings", u"EnableAutoCheckUpdate", 1), 0);
    ASSERT_NE(config.SetValue(u"Settings", u"Big", DWORD{4294967295u}), 0);
    ASSERT_NE(config.SetValue(u"Text", u"Name", u"Caf\u00e9 \u4e2d\u6587 <&>"), 0);
    ASSERT_EQ(config.WriteEncoded((dir / "config.ini").u16string().c_str()), 1);
}

}  // namespace
