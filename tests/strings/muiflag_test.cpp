// g_bShowMUIErrInfo is read from the registry once, when ovmui loads. This
// program does not link ovmui: each case writes the registry and then loads
// the library in a child process of its own.
#include <cstdlib>
#include <cstring>
#include <string>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "TempDir.h"
#include "platform/registry.h"

namespace {

constexpr char16_t kKey[] = u"Software\\Orvantek\\Orvantek Harbor";
constexpr char16_t kValue[] = u"EnableShowMUIErrorInfo";

// Loads ovmui and ends the process with the flag's value as exit code
// (masked to 8 bits), or 200 when the library or the flag is missing.
[[noreturn]] void ExitWithFlag() {
    const char* bin = std::getenv("OV_BIN_DIR");
    const std::string path = std::string(bin ? bin : ".") + "/libovmui.so";
    void* lib = dlopen(path.c_str(), RTLD_NOW);
    const auto* flag = lib ? static_cast<const int*>(dlsym(lib, "g_bShowMUIErrInfo")) : nullptr;
    std::_Exit(flag ? (*flag & 0xFF) : 200);
}

// Writes the flag's value; a registry that cannot be written ends the child
// with 201.
void SetValue(DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS ||
        RegSetValueExW(key, kValue, 0, type, static_cast<const BYTE*>(data), size) != ERROR_SUCCESS) {
        std::_Exit(201);
    }
    RegCloseKey(key);
}

class MuiFlag : public ::testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        ASSERT_FALSE(m_dir.Path().empty());
        setenv("OV_REGISTRY_DIR", m_dir.Path().c_str(), 1);
    }
    TempDir m_dir;
};

TEST_F(MuiFlag, OffWithoutTheValue) {
    EXPECT_EXIT(ExitWithFlag(), ::testing::ExitedWithCode(0), "");
}

// Each writes one value and loads the library; run in a child process.
[[noreturn]] void WithValue(DWORD type, const void* data, DWORD size) {
    SetValue(type, data, size);
    ExitWithFlag();
}

TEST_F(MuiFlag, ReadsADword) {
    const DWORD one = 1;
    EXPECT_EXIT(WithValue(REG_DWORD, &one, sizeof one), ::testing::ExitedWithCode(1), "");
}

TEST_F(MuiFlag, TakesFourBytesWhateverTheType) {
    const BYTE bytes[4] = {7, 0, 0, 0};
    EXPECT_EXIT(WithValue(REG_BINARY, bytes, sizeof bytes), ::testing::ExitedWithCode(7), "");
    // A shorter value fills only its own bytes; the rest stays zero.
    const BYTE byte = 3;
    EXPECT_EXIT(WithValue(REG_BINARY, &byte, 1), ::testing::ExitedWithCode(3), "");
    // A text value longer than four bytes cannot be read into the flag.
    const char16_t text[] = u"enabled";
    EXPECT_EXIT(WithValue(REG_SZ, text, sizeof text), ::testing::ExitedWithCode(0), "");
}

}  // namespace
