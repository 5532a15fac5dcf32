// Stored files that are not what they should be: FIFOs, links to devices,
// folders, huge sparse files, modules cut short. The checks run in child
// processes with a watchdog alarm, so that a reader that blocks or faults
// fails its test instead of hanging or ending the suite.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/module.h"
#include "platform/stored_file.h"
#include "registry/reg_test_util.h"

namespace {

namespace fs = std::filesystem;
using regtest::InChild;
using regtest::ReadText;
using regtest::TempRegistry;
using regtest::WriteText;

// Seconds a child may take before its alarm ends it (a blocked reader).
constexpr unsigned kWatchdogSeconds = 30;

bool Guarded(const std::function<bool()>& check) {
    return InChild([&] {
        ::alarm(kWatchdogSeconds);
        return check();
    });
}

// A file of size bytes that takes no room on the disk.
void MakeSparse(const std::string& path, off_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

// The kinds of non-regular files a stored file may be replaced by.
enum class Odd { Fifo, DevZeroLink, Folder };

void MakeOdd(const std::string& path, Odd kind) {
    fs::remove_all(path);
    switch (kind) {
        case Odd::Fifo:
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
            break;
        case Odd::DevZeroLink:
            fs::create_symlink("/dev/zero", path);
            break;
        case Odd::Folder:
            fs::create_directory(path);
            break;
    }
}

constexpr Odd kOddKinds[] = {Odd::Fifo, Odd::DevZeroLink, Odd::Folder};

}  // namespace

TEST(StoredFile, RefusesWhatIsNotARegularFileWithoutBlocking) {
    const TempRegistry dir;
    const std::string path = dir.dir() + "/stored";
    for (const Odd kind : kOddKinds) {
        MakeOdd(path, kind);
        EXPECT_TRUE(Guarded([&] {
            ov::StoredFile file(path, ov::kMaxConfigFileBytes);
            std::string text;
            return file.Status() == ov::StoredFileStatus::NotRegular && !file.ReadAll(text) && text.empty();
        })) << static_cast<int>(kind);
    }
    const ov::StoredFile missing(dir.dir() + "/none", ov::kMaxConfigFileBytes);
    EXPECT_EQ(missing.Status(), ov::StoredFileStatus::Missing);
}

TEST(StoredFile, HoldsToTheCapOfItsKind) {
    const TempRegistry dir;
    const std::string path = dir.dir() + "/stored";
    WriteText(path, "0123456789");
    ov::StoredFile small(path, 10);
    std::string text;
    ASSERT_TRUE(small.ReadAll(text));
    EXPECT_EQ(text, "0123456789");
    char middle[3] = {};
    EXPECT_TRUE(small.ReadAt(4, middle, 2));
    EXPECT_STREQ(middle, "45");
    EXPECT_FALSE(small.ReadAt(9, middle, 2));  // past the end

    // Grown past its cap after it was opened: refused, nothing kept.
    std::ofstream(path, std::ios::app) << std::string(100, 'x');
    EXPECT_FALSE(small.ReadAll(text));
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(small.Status(), ov::StoredFileStatus::TooLarge);

    MakeSparse(path, 2LL << 30);
    EXPECT_EQ(ov::StoredFile(path, ov::kMaxHiveFileBytes).Status(), ov::StoredFileStatus::TooLarge);
}

// A settings file replaced by a FIFO, a link to /dev/zero, a folder or a huge
// sparse file is damage: kept aside, said on stderr, and the settings start
// empty and can be written again.
TEST(StoredFile, OddSettingsFilesAreKeptAsideAndReplaced) {
    struct Case {
        std::function<void(const std::string&)> make;
        const char* reason;
    };
    const Case cases[] = {
        {[](const std::string& p) { MakeOdd(p, Odd::Fifo); }, "not a regular file"},
        {[](const std::string& p) { MakeOdd(p, Odd::DevZeroLink); }, "not a regular file"},
        {[](const std::string& p) { MakeOdd(p, Odd::Folder); }, "not a regular file"},
        {[](const std::string& p) { MakeSparse(p, 2LL << 30); }, "too large"},
    };
    for (const Case& c : cases) {
        const TempRegistry reg;
        c.make(reg.user());
        const std::string errFile = reg.dir() + "/stderr.txt";
        EXPECT_TRUE(Guarded([&] {
            if (std::freopen(errFile.c_str(), "w", stderr) == nullptr) {
                return false;
            }
            HKEY key = nullptr;
            const bool empty = RegOpenKeyExW(HKEY_CURRENT_USER, u"A", 0, KEY_READ, &key) == ERROR_FILE_NOT_FOUND;
            key = regtest::Create(HKEY_CURRENT_USER, u"B");
            const bool written = key != nullptr && regtest::SetDword(key, u"y", 2) == ERROR_SUCCESS;
            RegCloseKey(key);
            std::fflush(stderr);  // the child ends with _exit
            return empty && written;
        })) << c.reason;
        const std::string err = ReadText(errFile);
        EXPECT_NE(err.find(std::string("(") + c.reason + ")"), std::string::npos) << err;
        EXPECT_EQ(reg.Files("user.reg.damaged-").size(), 1u) << c.reason;
        EXPECT_NE(ReadText(reg.user()).find("\"y\"=dword:00000002"), std::string::npos) << c.reason;
    }
}

// A module cut short makes the loader fault on its first missing page unless
// it is refused first; FIFOs and devices would block it.
TEST(StoredFile, DamagedModulesAreRefusedBeforeLoading) {
    const char* bin = std::getenv("OV_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    const std::string whole = ReadText(std::string(bin) + "/libovplatform.so");
    ASSERT_GT(whole.size(), 8192u);
    const TempRegistry dir;
    const std::string path = dir.dir() + "/module.so";
    for (const std::size_t size :
         {std::size_t{3000}, std::size_t{64}, std::size_t{0}, whole.size() / 2, whole.size() - 1}) {
        WriteText(path, whole.substr(0, size));
        EXPECT_TRUE(Guarded([&] { return !ov::Module(path).IsLoaded(); })) << size;
    }
    // Header fields that point outside the file: the program header table.
    std::string bent = whole;
    bent[0x20] = '\xff';
    bent[0x21] = '\xff';
    WriteText(path, bent);
    EXPECT_TRUE(Guarded([&] { return !ov::Module(path).IsLoaded(); }));
    for (const Odd kind : kOddKinds) {
        MakeOdd(path, kind);
        EXPECT_TRUE(Guarded([&] { return !ov::Module(path).IsLoaded(); })) << static_cast<int>(kind);
    }
    fs::remove_all(path);
    WriteText(path, whole);
    EXPECT_TRUE(Guarded([&] { return ov::Module(path).IsLoaded(); }));
}
