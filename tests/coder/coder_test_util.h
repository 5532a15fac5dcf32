#pragma once
// Helpers of the coder tests: an independent MD5, the digit string and
// checksums recomputed from their published rules, temporary files.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace codertest {

// MD5 from OpenSSL.
std::array<unsigned char, 16> RefMd5(std::string_view bytes);
// The 32 digits of the keyed digit string, each digest byte giving the first
// two characters of its decimal form.
std::string RefDigits(std::string_view text, std::string_view key);
// Checksum of the configuration file (unsigned byte sum, 10 digits).
std::uint32_t RefConfigChecksum(const std::vector<unsigned char>& image);
// Checksum of the document file (signed byte sum, 9 digits).
std::uint32_t RefDocumentChecksum(const std::vector<unsigned char>& image);
// Undoes the nibble transform of a body with the given key: one byte per pair.
std::vector<unsigned char> RefUnscramble(const unsigned char* body, std::size_t size, std::string_view key);

inline constexpr std::string_view kConfigKey = "Mossgate plover twine 4816";
inline constexpr std::string_view kDocumentKey = "Hw4Ls8Qe1+Tn7=Ka3Vr0Dz9/Pm2Bx6Yc5Jg1";

std::vector<unsigned char> ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);
// A fresh folder removed at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path File(const char* name) const { return m_dir / name; }

private:
    std::filesystem::path m_dir;
};

// The folder of the fixed vector files.
std::filesystem::path DataDir();

}  // namespace codertest
