#include "coder/coder_test_util.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <openssl/evp.h>
#include <unistd.h>

namespace codertest {

std::array<unsigned char, 16> RefMd5(std::string_view bytes) {
    std::array<unsigned char, 16> digest{};
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest.data(), &size, EVP_md5(), nullptr);
    return digest;
}

std::string RefDigits(std::string_view text, std::string_view key) {
    const auto d1 = RefMd5(text);
    const auto d2 = RefMd5(key);
    std::string both(reinterpret_cast<const char*>(d1.data()), 16);
    both.append(reinterpret_cast<const char*>(d2.data()), 16);
    std::string digits;
    for (unsigned char b : RefMd5(both)) {
        digits += (b < 10 ? "0" + std::to_string(b) : std::to_string(b)).substr(0, 2);
    }
    return digits;
}

namespace {
std::uint32_t LeadingNumber(const std::string& digits, std::size_t count) {
    return static_cast<std::uint32_t>(std::stoull(digits.substr(0, count)) & 0xFFFFFFFFu);
}
}  // namespace

std::uint32_t RefConfigChecksum(const std::vector<unsigned char>& image) {
    std::uint32_t sum = 0;
    for (unsigned char b : image) {
        sum += b;
    }
    const std::string a = std::to_string(static_cast<std::int32_t>(sum));
    const std::string b = std::string(kConfigKey) + " " + std::to_string(image.size());
    return LeadingNumber(RefDigits(a, b), 10) ^ 0x5C3E19A7u;
}

std::uint32_t RefDocumentChecksum(const std::vector<unsigned char>& image) {
    std::int64_t sum = 0;
    for (unsigned char b : image) {
        sum += static_cast<signed char>(b);
    }
    const std::string a = std::to_string(static_cast<std::uint32_t>(sum));
    const std::string b = std::string(kDocumentKey) + " " + std::to_string(image.size());
    return LeadingNumber(RefDigits(a, b), 9) ^ 0x3A91D7E4u;
}

std::vector<unsigned char> RefUnscramble(const unsigned char* body, std::size_t size, std::string_view key) {
    std::vector<unsigned char> out;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const unsigned k = static_cast<unsigned char>(key[(i / 2) % key.size()]) & 15u;
        out.push_back(static_cast<unsigned char>((((body[i] >> 4) ^ k) << 4) | ((body[i + 1] >> 4) ^ k)));
    }
    return out;
}

std::vector<unsigned char> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    m_dir = std::filesystem::temp_directory_path() /
            ("coder_test_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    std::filesystem::create_directories(m_dir);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

std::filesystem::path DataDir() {
    const char* root = std::getenv("OV_TEST_DATA");
    return std::filesystem::path(root ? root : "tests/data") / "coder";
}

}  // namespace codertest
