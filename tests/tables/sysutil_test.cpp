#include "ovmfcstd/OvSysUtil.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/module.h"
#include "platform/registry.h"

// fontconfig 2.14 loses a few bytes while it parses its configuration files
// on first use; that is its own, not the library's.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace {

// Set in the copy of this program that a test starts from a folder of its own.
const bool g_isChild = std::getenv("OV_TABLES_CHILD") != nullptr;

// Both registry roots live in a fresh folder, set before the first registry
// call of the process; a child uses its parent's.
const std::string g_registryDir = [] {
    if (g_isChild) {
        return std::string(std::getenv("OV_REGISTRY_DIR"));
    }
    std::string dir = (std::filesystem::temp_directory_path() / "ov-tables-reg-XXXXXX").string();
    if (!mkdtemp(dir.data())) {
        std::abort();
    }
    setenv("OV_REGISTRY_DIR", dir.c_str(), 1);
    return dir;
}();

constexpr char16_t kAppPaths[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";

class RegistryFolder : public ::testing::Environment {
public:
    void TearDown() override {
        if (g_isChild) {
            return;
        }
        std::error_code ec;
        std::filesystem::remove_all(g_registryDir, ec);
    }
};
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new RegistryFolder);

// Owns a key opened for a test.
struct Key {
    HKEY h = nullptr;
    ~Key() {
        if (h) {
            RegCloseKey(h);
        }
    }
};

bool KeyExists(const std::u16string& path) {
    Key k;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &k.h) == ERROR_SUCCESS;
}

// A REG_SZ value as text, or "<missing>".
std::u16string ReadString(const std::u16string& path, const char16_t* value) {
    Key k;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &k.h) != ERROR_SUCCESS) {
        return u"<missing>";
    }
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(k.h, value, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) {
        return u"<missing>";
    }
    std::u16string text(size / sizeof(char16_t), u'\0');
    if (RegQueryValueExW(k.h, value, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS) {
        return u"<missing>";
    }
    text.resize(size / sizeof(char16_t));
    while (!text.empty() && text.back() == u'\0') {
        text.pop_back();
    }
    return text;
}

// Byte count of a value, 0 when it cannot be read.
DWORD ValueBytes(const std::u16string& path, const char16_t* value) {
    Key k;
    DWORD size = 0;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &k.h) != ERROR_SUCCESS ||
        RegQueryValueExW(k.h, value, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
        return 0;
    }
    return size;
}

std::vector<std::u16string> AppPathNames() {
    std::vector<std::u16string> names;
    Key k;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAppPaths, 0, KEY_READ, &k.h) != ERROR_SUCCESS) {
        return names;
    }
    for (DWORD i = 0;; ++i) {
        char16_t name[256];
        DWORD chars = 256;
        if (RegEnumKeyExW(k.h, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name, chars);
    }
    return names;
}

std::u16string AppKey(const char16_t* name) {
    return std::u16string(kAppPaths) + u"\\" + name;
}

TEST(RegisterAppPath, RegistersTwiceAsOneKeyAndRemoves) {
    const std::u16string exe = ov::Utf8ToWide(ov::ExecutablePath());
    ASSERT_FALSE(exe.empty());
    const std::u16string folder = exe.substr(0, exe.rfind(u'/'));

    ASSERT_EQ(RegisterAppPath(u"Tapper.exe", 1), 1);
    ASSERT_EQ(RegisterAppPath(u"Tapper.exe", 1), 1);
    EXPECT_EQ(AppPathNames(), std::vector<std::u16string>{u"Tapper.exe"});
    EXPECT_EQ(ReadString(AppKey(u"Tapper.exe"), nullptr), exe);
    EXPECT_EQ(ReadString(AppKey(u"Tapper.exe"), u"PATH"), folder);
    // Two bytes per character, no terminating zero.
    EXPECT_EQ(ValueBytes(AppKey(u"Tapper.exe"), nullptr), exe.size() * 2);
    EXPECT_EQ(ValueBytes(AppKey(u"Tapper.exe"), u"PATH"), folder.size() * 2);

    ASSERT_EQ(RegisterAppPath(u"Tapper.exe", 0), 1);
    EXPECT_FALSE(KeyExists(AppKey(u"Tapper.exe")));
    EXPECT_TRUE(AppPathNames().empty());
}

TEST(RegisterAppPath, RemovingUnknownNameChangesNothing) {
    ASSERT_EQ(RegisterAppPath(u"Kept.exe", 1), 1);
    EXPECT_EQ(RegisterAppPath(u"Unknown.exe", 0), 1);
    EXPECT_EQ(AppPathNames(), std::vector<std::u16string>{u"Kept.exe"});
    EXPECT_NE(ReadString(AppKey(u"Kept.exe"), u"PATH"), u"<missing>");
    EXPECT_EQ(RegisterAppPath(u"Kept.exe", 0), 1);
}

TEST(RegisterAppPath, RemovalTakesSubkeysAlong) {
    ASSERT_EQ(RegisterAppPath(u"Deep.exe", 1), 1);
    {
        Key two;
        Key three;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (AppKey(u"Deep.exe") + u"\\One\\Two").c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &two.h, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (AppKey(u"Deep.exe") + u"\\Three").c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &three.h, nullptr),
                  ERROR_SUCCESS);
    }
    EXPECT_EQ(RegisterAppPath(u"Deep.exe", 0), 1);
    EXPECT_FALSE(KeyExists(AppKey(u"Deep.exe")));
    EXPECT_TRUE(KeyExists(kAppPaths));
}

TEST(RegisterAppPath, EmptyNameLeavesTheKeyAlone) {
    ASSERT_EQ(RegisterAppPath(u"Kept.exe", 1), 1);
    EXPECT_EQ(RegisterAppPath(u"", 0), 0);
    EXPECT_EQ(RegisterAppPath(u"", 1), 0);
    EXPECT_TRUE(KeyExists(AppKey(u"Kept.exe")));
    EXPECT_EQ(ReadString(kAppPaths, nullptr), u"<missing>");
    EXPECT_EQ(RegisterAppPath(u"Kept.exe", 0), 1);
}

// Run only inside the copy started by CutsAtSecondColonAndDropsQuotes.
TEST(RegisterAppPathChild, RegistersFromItsFolder) {
    if (!g_isChild) {
        GTEST_SKIP() << "runs in a copy of this program started by another test";
    }
    EXPECT_EQ(RegisterAppPath(u"Cut.exe", 1), 1);
}

TEST(RegisterAppPath, CutsAtSecondColonAndDropsQuotes) {
    if (g_isChild) {
        GTEST_SKIP();
    }
    // The program runs as <base>/"we:ird"/sub:dir/tables_copy.
    const std::filesystem::path base = std::filesystem::path(g_registryDir) / "run";
    const std::filesystem::path folder = base / "\"we:ird\"" / "sub:dir";
    std::filesystem::create_directories(folder);
    const std::filesystem::path copy = folder / "tables_copy";
    std::filesystem::copy_file("/proc/self/exe", copy);

    const std::string filter = "--gtest_filter=RegisterAppPathChild.*";
    std::vector<char*> argv = {const_cast<char*>(copy.c_str()), const_cast<char*>(filter.c_str()), nullptr};
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        env.emplace_back(*e);
    }
    env.push_back("OV_TABLES_CHILD=1");
    env.push_back("LD_LIBRARY_PATH=" + ov::ExecutableFolder());
    std::vector<char*> envp;
    for (std::string& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, copy.c_str(), nullptr, nullptr, argv.data(), envp.data()), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    // The path is cut before the character ahead of the second colon
    // (".../sub" loses "b:dir/..."), quotes go, the folder is what precedes
    // the last slash of the rest. The default value keeps the whole path.
    const std::string b = base.string();
    EXPECT_EQ(ReadString(AppKey(u"Cut.exe"), nullptr), ov::Utf8ToWide(copy.string()));
    EXPECT_EQ(ReadString(AppKey(u"Cut.exe"), u"PATH"), ov::Utf8ToWide(b + "/we:ird"));
    EXPECT_EQ(RegisterAppPath(u"Cut.exe", 0), 1);
}

TEST(GetBrowserVersion, ArgumentChecksComeFirst) {
    DWORD major = 7;
    DWORD minor = 9;
    EXPECT_EQ(GetBrowserVersion(&major, nullptr), E_INVALIDARG);
    EXPECT_EQ(major, 7u);
    EXPECT_EQ(GetBrowserVersion(nullptr, &minor), E_INVALIDARG);
    EXPECT_EQ(minor, 9u);
    EXPECT_EQ(GetBrowserVersion(nullptr, nullptr), E_INVALIDARG);
    alignas(DWORD) unsigned char raw[2 * sizeof(DWORD)] = {};
    EXPECT_EQ(GetBrowserVersion(reinterpret_cast<DWORD*>(raw + 1), &minor), E_INVALIDARG);
    EXPECT_EQ(minor, 9u);
}

TEST(GetBrowserVersion, AsksTheEngineOnlyWhileLoaded) {
    DWORD major = 7;
    DWORD minor = 9;
    EXPECT_EQ(GetBrowserVersion(&major, &minor), E_FAIL);
    EXPECT_EQ(major, 0u);
    EXPECT_EQ(minor, 0u);

    // A stand-in engine with the real one's file name and version entry points.
    void* engine = dlopen(TABLES_FAKE_WEBKIT, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(engine, nullptr) << dlerror();
    EXPECT_EQ(GetBrowserVersion(&major, &minor), S_OK);
    EXPECT_EQ(major, 2u);
    EXPECT_EQ(minor, 42u);
    dlclose(engine);

    major = minor = 5;
    EXPECT_EQ(GetBrowserVersion(&major, &minor), E_FAIL);
    EXPECT_EQ(major, 0u);
    EXPECT_EQ(minor, 0u);
}

TEST(MonospaceFont, ChosenOnceForAllThreads) {
    std::vector<std::future<const char16_t*>> calls;
    for (int i = 0; i < 8; ++i) {
        calls.push_back(std::async(std::launch::async, [] { return GetSystemMonospaceFontName(); }));
    }
    const char16_t* first = GetSystemMonospaceFontName();
    ASSERT_NE(first, nullptr);
    const std::u16string name = first;
    EXPECT_FALSE(name.empty());
    for (auto& call : calls) {
        EXPECT_EQ(call.get(), first);
    }
    EXPECT_EQ(GetSystemMonospaceFontName(), first);
    EXPECT_EQ(std::u16string(GetSystemMonospaceFontName()), name);
}

// Output of a shell command, "" when it cannot be run.
std::string CommandOutput(const char* command) {
    std::string out;
    if (FILE* pipe = popen(command, "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, pipe)) {
            out += buf;
        }
        if (pclose(pipe) != 0) {
            out.clear();
        }
    }
    return out;
}

TEST(MonospaceFont, CourierNewElseFontconfigsMonospaceFace) {
    const std::string matched = CommandOutput("fc-match -f '%{family[0]}' monospace 2>/dev/null");
    if (matched.empty()) {
        GTEST_SKIP() << "fc-match is not available";
    }
    const bool courier = !CommandOutput("fc-list ':family=Courier New' family 2>/dev/null").empty();
    const std::u16string expected = courier ? u"Courier New" : ov::Utf8ToWide(matched);
    EXPECT_EQ(std::u16string(GetSystemMonospaceFontName()), expected);
}

}  // namespace
