#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "../../outside/ovcppstd/version_note.h"
#include "ovcppstd.h"
#include "platform/module.h"
#include "registry/reg_test_util.h"

using regtest::Create;
using regtest::ReadText;
using regtest::SetDword;
using regtest::TempRegistry;
using regtest::WriteText;

namespace {

std::string BinDir() {
    const char* bin = std::getenv("OV_BIN_DIR");
    return bin != nullptr ? bin : "";
}

// A minimal ELF file: header, one note area and either a section or a
// program header pointing at it.
struct ElfBuilder {
    bool is64 = true;
    bool big = false;
    bool asSegment = false;
    std::vector<unsigned char> notes;

    void Put(std::vector<unsigned char>& out, size_t at, std::uint64_t v, size_t width) const {
        if (out.size() < at + width) {
            out.resize(at + width);
        }
        for (size_t i = 0; i < width; ++i) {
            const size_t k = big ? width - 1 - i : i;
            out[at + k] = static_cast<unsigned char>(v >> (8 * i));
        }
    }
    void AddNote(const std::string& owner, std::uint32_t type, std::vector<std::uint32_t> desc) {
        std::vector<unsigned char> n;
        Put(n, 0, owner.size() + 1, 4);
        Put(n, 4, desc.size() * 4, 4);
        Put(n, 8, type, 4);
        n.insert(n.end(), owner.begin(), owner.end());
        n.push_back(0);
        while (n.size() % 4 != 0) {
            n.push_back(0);
        }
        for (const std::uint32_t d : desc) {
            Put(n, n.size(), d, 4);
        }
        notes.insert(notes.end(), n.begin(), n.end());
    }
    std::vector<unsigned char> Build() const {
        std::vector<unsigned char> f(is64 ? 64 : 52, 0);
        std::memcpy(f.data(),
                    "\x7f"
                    "ELF",
                    4);
        f[4] = is64 ? 2 : 1;
        f[5] = big ? 2 : 1;
        f[6] = 1;
        const size_t noteAt = f.size();
        f.insert(f.end(), notes.begin(), notes.end());
        const size_t tableAt = f.size();
        const size_t w = is64 ? 8 : 4;
        if (asSegment) {
            const size_t entry = is64 ? 0x38 : 0x20;
            Put(f, is64 ? 0x20 : 0x1C, tableAt, w);
            Put(f, is64 ? 0x36 : 0x2A, entry, 2);
            Put(f, is64 ? 0x38 : 0x2C, 1, 2);
            Put(f, tableAt, 4, 4);
            Put(f, tableAt + (is64 ? 0x08 : 0x04), noteAt, w);
            Put(f, tableAt + (is64 ? 0x20 : 0x10), notes.size(), w);
            Put(f, tableAt + entry - 1, 0, 1);
        } else {
            const size_t entry = is64 ? 0x40 : 0x28;
            Put(f, is64 ? 0x28 : 0x20, tableAt, w);
            Put(f, is64 ? 0x3A : 0x2E, entry, 2);
            Put(f, is64 ? 0x3C : 0x30, 1, 2);
            Put(f, tableAt + 4, 7, 4);
            Put(f, tableAt + (is64 ? 0x18 : 0x10), noteAt, w);
            Put(f, tableAt + (is64 ? 0x20 : 0x14), notes.size(), w);
            Put(f, tableAt + entry - 1, 0, 1);
        }
        return f;
    }
};

bool FindInMemory(const std::vector<unsigned char>& file, DWORD* high, DWORD* low) {
    const ov::ByteReader reader = [&file](std::uint64_t offset, void* buf, std::size_t n) {
        if (offset > file.size() || n > file.size() - offset) {
            return false;
        }
        std::memcpy(buf, file.data() + offset, n);
        return true;
    };
    return ov::FindVersionNote(reader, file.size(), high, low);
}

}  // namespace

TEST(FileVersion, ReadsTheNoteOfABuiltLibrary) {
    ASSERT_FALSE(BinDir().empty());
    for (const char* lib : {"libovplatform.so", "libovmui.so"}) {
        const std::string path = BinDir() + "/" + lib;
        if (!std::filesystem::exists(path)) {
            continue;
        }
        DWORD high = 0;
        DWORD low = 0;
        EXPECT_TRUE(GetFileVersion(ov::Utf8ToWide(path).c_str(), &high, &low)) << lib;
        EXPECT_EQ(high, OV_EXPECTED_VERSION_HIGH) << lib;
        EXPECT_EQ(low, OV_EXPECTED_VERSION_LOW) << lib;
    }
}

TEST(FileVersion, FailsCleanlyWithoutANote) {
    DWORD high = 0xAAAA;
    DWORD low = 0xBBBB;
    // This test program is built without the note.
    EXPECT_FALSE(GetFileVersion(ov::ExecutablePath(), &high, &low));
    EXPECT_EQ(high, 0xAAAAu);
    EXPECT_EQ(low, 0xBBBBu);
    EXPECT_FALSE(GetFileVersion(u"/nonexistent/file.so", &high, &low));
    EXPECT_FALSE(GetFileVersion(u"/tmp", &high, &low));
    EXPECT_FALSE(GetFileVersion(static_cast<LPCWSTR>(nullptr), &high, &low));

    TempRegistry tmp;  // only for its folder
    const std::string text = tmp.dir() + "/text.so";
    WriteText(text, "not an ELF file at all, just some text that is long enough to read");
    EXPECT_FALSE(GetFileVersion(text, &high, &low));
    // The library cut short inside its program headers.
    const std::string cut = tmp.dir() + "/cut.so";
    WriteText(cut, ReadText(BinDir() + "/libovplatform.so").substr(0, 128));
    EXPECT_FALSE(GetFileVersion(cut, &high, &low));
    EXPECT_EQ(high, 0xAAAAu);
    // A FIFO in a module's place is refused, not waited on (the alarm ends a wait).
    const std::string fifo = tmp.dir() + "/fifo.so";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_TRUE(regtest::InChild([&] {
        ::alarm(30);
        DWORD h = 0;
        DWORD l = 0;
        return !GetFileVersion(fifo, &h, &l);
    }));
}

TEST(FileVersion, FindsTheNoteInEveryElfShape) {
    for (const bool is64 : {true, false}) {
        for (const bool big : {false, true}) {
            for (const bool segment : {false, true}) {
                ElfBuilder b;
                b.is64 = is64;
                b.big = big;
                b.asSegment = segment;
                b.AddNote("GNU", 3, {1, 2, 3, 4, 5});
                b.AddNote("Orvantek", 2, {9, 9});
                b.AddNote("Orvantek", 1, {0x00010001, 0x00020003});
                DWORD high = 0;
                DWORD low = 0;
                EXPECT_TRUE(FindInMemory(b.Build(), &high, &low)) << is64 << big << segment;
                EXPECT_EQ(high, 0x00010001u);
                EXPECT_EQ(low, 0x00020003u);
            }
        }
    }
}

TEST(FileVersion, DamagedElfFilesAreRejectedSafely) {
    ElfBuilder b;
    b.AddNote("Orvantek", 1, {1, 2});
    const std::vector<unsigned char> good = b.Build();
    DWORD high = 0;
    DWORD low = 0;
    ASSERT_TRUE(FindInMemory(good, &high, &low));

    const size_t noteAt = 64;
    const struct {
        const char* what;
        size_t at;
        std::uint64_t value;
        size_t width;
    } damage[] = {
        {"note name size huge", noteAt, 0xFFFFFFFF, 4},
        {"note desc size huge", noteAt + 4, 0xFFFFFFF0, 4},
        {"desc too short", noteAt + 4, 4, 4},
        {"section offset past end", good.size() - 0x40 + 0x18, 0xFFFFFFFFFFFFFF00ull, 8},
        {"section size past end", good.size() - 0x40 + 0x20, 0x7FFFFFFFFFFFFFFFull, 8},
        {"section table past end", 0x28, 0xFFFFFFFFFFFFFFF0ull, 8},
        {"section count huge", 0x3C, 0xFFFF, 2},
        {"entry size too small", 0x3A, 8, 2},
        {"bad class", 4, 7, 1},
        {"bad magic", 1, 'X', 1},
    };
    for (const auto& d : damage) {
        std::vector<unsigned char> f = good;
        for (size_t i = 0; i < d.width; ++i) {
            f[d.at + i] = static_cast<unsigned char>(d.value >> (8 * i));
        }
        EXPECT_FALSE(FindInMemory(f, &high, &low)) << d.what;
    }
    for (size_t size = 0; size < good.size(); size += 7) {
        const std::vector<unsigned char> cut(good.begin(), good.begin() + static_cast<long>(size));
        EXPECT_FALSE(FindInMemory(cut, &high, &low)) << size;
    }
}

TEST(Cppstd, LanguageIdentifiersOfCodes) {
    EXPECT_EQ(GetLanguageID(u"en_us"), 1033);
    EXPECT_EQ(GetLanguageID(u"ZH_TW"), 1028);
    EXPECT_EQ(GetLanguageID(u"zh_cn"), 2052);
    EXPECT_EQ(GetLanguageID(u"es_es"), 3082);
    EXPECT_EQ(GetLanguageID(u"zh-tw"), 0);
    EXPECT_EQ(GetLanguageID(u"en"), 0);
    EXPECT_EQ(GetLanguageID(u"en_us.UTF-8"), 0);
    EXPECT_EQ(GetLanguageID(u""), 0);
    EXPECT_EQ(GetLanguageID(nullptr), 0);
}

TEST(Cppstd, DateTimeTextIsLocalTime) {
    const char* oldTz = std::getenv("TZ");
    const std::string saved = oldTz != nullptr ? oldTz : "";
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    EXPECT_EQ(FormatDateTime(0), u"1970-01-01 00:00:00");
    EXPECT_EQ(FormatDateTime(0xFFFFFFFFll), u"2106-02-07 06:28:15");
    ::setenv("TZ", "UTC-2", 1);
    ::tzset();
    EXPECT_EQ(FormatDateTime(1700000000), u"2023-11-15 00:13:20");
    if (oldTz != nullptr) {
        ::setenv("TZ", saved.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

TEST(Cppstd, RemoveRegKeyDeletesTheWholeSubtree) {
    TempRegistry reg;
    const HKEY key = Create(HKEY_CURRENT_USER, u"SOFTWARE\\Orvantek\\Orvantek Ping Tool\\Gui\\x");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(SetDword(key, u"N", 1), ERROR_SUCCESS);
    RegCloseKey(key);
    RegCloseKey(Create(HKEY_CURRENT_USER, u"Software\\Orvantek\\Keep"));

    EXPECT_TRUE(RemoveRegKey(HKEY_CURRENT_USER, u"Software\\Orvantek", u"orvantek ping tool"));
    HKEY k = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Orvantek\\Orvantek Ping Tool", 0, KEY_READ, &k),
              ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Orvantek\\Keep", 0, KEY_READ, &k), ERROR_SUCCESS);
    RegCloseKey(k);
    // Already gone, or never there: nothing left to do.
    EXPECT_TRUE(RemoveRegKey(HKEY_CURRENT_USER, u"Software\\Orvantek", u"Orvantek Ping Tool"));
    EXPECT_TRUE(RemoveRegKey(HKEY_CURRENT_USER, u"Software\\Missing", u"X"));
    EXPECT_FALSE(RemoveRegKey(HKEY_CURRENT_USER, u"Software", nullptr));
    EXPECT_FALSE(RemoveRegKey(HKEY_CURRENT_USER, u"Software", u""));

    // A machine key that may not be written stays.
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, u"Software\\Orvantek\\mui\\app"));
    ::chmod(reg.machine().c_str(), 0444);
    EXPECT_FALSE(RemoveRegKey(HKEY_LOCAL_MACHINE, u"Software\\Orvantek\\mui", u"app"));
    EXPECT_NE(ReadText(reg.machine()).find("mui\\app]"), std::string::npos);
}

TEST(Cppstd, MakeSureFolderPathExists) {
    TempRegistry tmp;
    const std::string deep = tmp.dir() + "/a/b c/d/";
    EXPECT_TRUE(MakeSureFolderPathExists(ov::Utf8ToWide(deep).c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    EXPECT_TRUE(MakeSureFolderPathExists(ov::Utf8ToWide(deep).c_str()));  // already there
    WriteText(tmp.dir() + "/file", "x");
    EXPECT_FALSE(MakeSureFolderPathExists(ov::Utf8ToWide(tmp.dir() + "/file/sub").c_str()));
    EXPECT_FALSE(MakeSureFolderPathExists(ov::Utf8ToWide(tmp.dir() + "/file").c_str()));
    EXPECT_FALSE(MakeSureFolderPathExists(u""));
    EXPECT_FALSE(MakeSureFolderPathExists(nullptr));
}
