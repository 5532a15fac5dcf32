// MD5 against RFC 1321 and OpenSSL; the digest text; the keyed digit string.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "coder/coder_test_util.h"
#include "ovcoder/OvCrypt.h"

namespace {

std::string Hex(const unsigned char* digest) {
    return OvCrypt_FormatMD5(digest);
}

TEST(Md5Test, Rfc1321Suite) {
    const std::pair<std::string, const char*> suite[] = {
        {"", "D41D8CD98F00B204E9800998ECF8427E"},
        {"a", "0CC175B9C0F1B6A831C399E269772661"},
        {"abc", "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "D174AB98D277D9F5A5611C2C9F419D9F"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57EDF4A22BE3C955AC49DA2E2107B67A"},
    };
    for (const auto& [text, digest] : suite) {
        EXPECT_EQ(Hex(OvCrypt_MD5(text.data(), static_cast<unsigned>(text.size()))), digest) << text;
    }
}

TEST(Md5Test, NullDataGivesSixteenZeroCharacters) {
    const unsigned char* d = OvCrypt_MD5(nullptr, 100);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(d), 16), std::string(16, '0'));
    // The same buffer every time, overwritten by the next call.
    EXPECT_EQ(OvCrypt_MD5("abc", 3), d);
    EXPECT_EQ(Hex(d), "900150983CD24FB0D6963F7D28E17F72");
}

TEST(Md5Test, MatchesOpenSslAcrossBlockBoundaries) {
    std::mt19937 rng(1);
    std::string data(1 << 20, '\0');
    for (char& c : data) {
        c = static_cast<char>(rng());
    }
    for (std::size_t size : {1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 127u, 128u, 1000u, 4096u, 1u << 20}) {
        const auto ref = codertest::RefMd5(std::string_view(data).substr(0, size));
        EXPECT_EQ(std::memcmp(OvCrypt_MD5(data.data(), static_cast<unsigned>(size)), ref.data(), 16), 0) << size;
    }
}

TEST(Md5Test, EncodeStringRejectsNullArguments) {
    char out[34];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(OvCrypt_EncodeString("text", nullptr, out), 0);
    EXPECT_EQ(OvCrypt_EncodeString(nullptr, "key", out), 0);
    EXPECT_EQ(std::string(out, sizeof out), std::string(34, 'x'));
    EXPECT_EQ(OvCrypt_EncodeString("text", "key", nullptr), 0);
}

TEST(Md5Test, EncodeStringDigitsFollowTheDigestBytes) {
    // Enough inputs that digest bytes below 10, from 10 to 99, from 100 to 199
    // and from 200 up all occur, including in the last position.
    bool seen[4] = {};
    bool lastThreeDigits = false;
    for (int i = 0; i < 64; ++i) {
        const std::string text = "value " + std::to_string(i * 7919);
        const std::string key = "key " + std::to_string(i);
        char out[34];
        std::memset(out, 'x', sizeof out);
        ASSERT_EQ(OvCrypt_EncodeString(text.c_str(), key.c_str(), out), 1);
        EXPECT_EQ(std::strlen(out), 32u);
        EXPECT_EQ(std::string(out), codertest::RefDigits(text, key)) << text << " / " << key;

        // Recompute the third digest to see which byte ranges were covered.
        const auto d1 = codertest::RefMd5(text), d2 = codertest::RefMd5(key);
        std::string both(reinterpret_cast<const char*>(d1.data()), 16);
        both.append(reinterpret_cast<const char*>(d2.data()), 16);
        const auto d3 = codertest::RefMd5(both);
        for (unsigned char b : d3) {
            seen[b < 10 ? 0 : b < 100 ? 1 : b < 200 ? 2 : 3] = true;
        }
        lastThreeDigits |= d3[15] >= 100;
    }
    EXPECT_TRUE(seen[0] && seen[1] && seen[2] && seen[3]);
    EXPECT_TRUE(lastThreeDigits);
}

}  // namespace
