#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/codepage.h"
#include "platform/module.h"
#include "platform/registry.h"

extern char** environ;

namespace {

std::string Hex(std::string_view bytes) {
    std::string out;
    char buf[4];
    for (const char c : bytes) {
        std::snprintf(buf, sizeof(buf), "%02X", static_cast<unsigned char>(c));
        out += buf;
    }
    return out;
}

// Runs this test program again with a filter and extra environment entries.
int RunSelf(const char* filter, std::vector<std::string> env) {
    const std::string exe = ov::ExecutablePath();
    const std::string filterArg = std::string("--gtest_filter=") + filter;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string_view entry(*e);
        if (!entry.starts_with("LANG=") && !entry.starts_with("LC_") && !entry.starts_with("OV_ACP=")) {
            env.emplace_back(entry);
        }
    }
    std::vector<char*> envp;
    for (std::string& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    std::string exeArg = exe;
    std::string filterCopy = filterArg;
    char* argv[] = {exeArg.data(), filterCopy.data(), nullptr};
    // The child's report would only clutter this one's.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(CodePage, Page1252RoundTripsEveryByte) {
    std::string all;
    for (int b = 1; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    const std::u16string wide = ov::AnsiToWide(all, 1252);
    ASSERT_EQ(wide.size(), all.size());
    EXPECT_EQ(wide[0x80 - 1], u'\u20ac');  // euro sign
    EXPECT_EQ(wide[0x9f - 1], u'\u0178');
    EXPECT_EQ(wide[0x81 - 1], u'\u0081');  // unassigned bytes pass through as C1
    EXPECT_EQ(wide[0xfc - 1], u'\u00fc');
    EXPECT_EQ(ov::WideToAnsi(wide, 1252), all);
    EXPECT_EQ(Hex(ov::WideToAnsi(u"Gr\u00fc\u00dfe \u20ac", 1252)), "4772FCDF652080");
}

TEST(CodePage, Page936RoundTrips) {
    const std::u16string text = u"\u4e2d\u6587 ping \u6d4b\u8bd5 \uff01";
    const std::string bytes = ov::WideToAnsi(text, 936);
    EXPECT_EQ(Hex(bytes.substr(0, 4)), "D6D0CEC4");
    EXPECT_EQ(ov::AnsiToWide(bytes, 936), text);
    // Win32 sizes: -1 converts the terminator too; 0 asks for the size.
    const int needed = MultiByteToWideChar(936, 0, bytes.c_str(), -1, nullptr, 0);
    EXPECT_EQ(needed, static_cast<int>(text.size() + 1));
    std::u16string out(static_cast<size_t>(needed), u'x');
    EXPECT_EQ(MultiByteToWideChar(936, 0, bytes.c_str(), -1, out.data(), needed), needed);
    EXPECT_EQ(out.back(), u'\0');
    EXPECT_EQ(MultiByteToWideChar(936, 0, bytes.c_str(), -1, out.data(), needed - 1), 0);
    char small[3];
    EXPECT_EQ(WideCharToMultiByte(936, 0, text.c_str(), -1, small, sizeof(small), nullptr, nullptr), 0);
}

TEST(CodePage, UnmappableCharactersGetTheReplacement) {
    BOOL used = FALSE;
    char out[16] = {};
    const std::u16string chinese = u"a\u4e2db";
    int n = WideCharToMultiByte(1252, 0, chinese.c_str(), 3, out, sizeof(out), nullptr, &used);
    EXPECT_EQ(std::string(out, static_cast<size_t>(n)), "a?b");
    EXPECT_TRUE(used);
    n = WideCharToMultiByte(1252, 0, chinese.c_str(), 3, out, sizeof(out), "#", &used);
    EXPECT_EQ(std::string(out, static_cast<size_t>(n)), "a#b");
    n = WideCharToMultiByte(1252, 0, u"abc", 3, out, sizeof(out), nullptr, &used);
    EXPECT_FALSE(used);
    // A character outside the BMP is one replacement, a lone surrogate too.
    EXPECT_EQ(ov::WideToAnsi(u"x\U0001F600y", 1252), "x?y");
    EXPECT_EQ(ov::WideToAnsi(u"x\U0001F600y", 936), "x?y");
    EXPECT_EQ(ov::WideToAnsi(std::u16string(u"x\xDC00y"), 936), "x?y");
    EXPECT_EQ(ov::WideToAnsi(std::u16string(u"x\xD800"), 936), "x?");
    EXPECT_EQ(ov::WideToAnsi(u"\u0101\u4e2d", 1251), "??");

    // Byte sequences the page does not define read as U+FFFD.
    EXPECT_EQ(ov::AnsiToWide("\x81\x20z", 936), u"\uFFFD z");
    EXPECT_EQ(ov::AnsiToWide("ab\xD6", 936), u"ab\uFFFD");
    EXPECT_EQ(ov::AnsiToWide("\xFF", 1253), u"\uFFFD");
    EXPECT_EQ(MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, "ab\xD6", 3, nullptr, 0), 0);
    EXPECT_EQ(MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, "ab", 2, nullptr, 0), 2);
    EXPECT_EQ(MultiByteToWideChar(12345, 0, "ab", 2, nullptr, 0), 0);
}

TEST(CodePage, Utf8FollowsTheStandardReplacementRules) {
    const std::u16string text = u"A\u00e9\u4e2d\U0001F600";
    EXPECT_EQ(ov::Utf8ToWide(ov::WideToUtf8(text)), text);
    EXPECT_EQ(ov::Utf8ToWide("a\xC3"), u"a\uFFFD");
    EXPECT_EQ(ov::Utf8ToWide("\xE2\x82z"), u"\uFFFDz");
    EXPECT_EQ(ov::Utf8ToWide("\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong
    EXPECT_EQ(ov::Utf8ToWide("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
    EXPECT_EQ(ov::WideToUtf8(std::u16string(u"\xD800x")), "\xEF\xBF\xBDx");
}

TEST(CodePage, Utf8WithALimitKeepsWholeCharacters) {
    // "\u00e9" takes two bytes, U+1F600 four bytes or two units.
    EXPECT_EQ(ov::WideToUtf8(u"ab\u00e9", 3), "ab");
    EXPECT_EQ(ov::WideToUtf8(u"ab\u00e9", 4), "ab\xC3\xA9");
    EXPECT_EQ(ov::WideToUtf8(u"a\U0001F600b", 4), "a");
    EXPECT_EQ(ov::Utf8ToWide("a\xF0\x9F\x98\x80"
                             "b",
                             2),
              u"a");
    EXPECT_EQ(ov::Utf8ToWide("a\xF0\x9F\x98\x80"
                             "b",
                             3),
              u"a\U0001F600");
    EXPECT_EQ(ov::Utf8ToWide("ab\xC0\xAF", 3), u"ab\uFFFD");
}

TEST(CodePage, LocaleLanguagesMapToTheirLegacyPages) {
    const struct {
        const char* locale;
        LCID lcid;
        UINT page;
    } cases[] = {
        {"de_DE.UTF-8", 1031, 1252},  {"en_US", 1033, 1252},      {"C", 1033, 1252},     {"POSIX", 1033, 1252},
        {"zh_CN.UTF-8", 2052, 936},   {"zh_TW.UTF-8", 1028, 950}, {"zh_HK", 3076, 950},  {"ja_JP.eucJP", 1041, 932},
        {"ko_KR.UTF-8", 1042, 949},   {"cs_CZ", 1029, 1250},      {"pl_PL", 1045, 1250}, {"hu_HU", 1038, 1250},
        {"ru_RU.KOI8-R", 1049, 1251}, {"uk_UA", 1058, 1251},      {"el_GR", 1032, 1253}, {"tr_TR", 1055, 1254},
        {"he_IL", 1037, 1255},        {"ar_SA", 1025, 1256},      {"lt_LT", 1063, 1257}, {"lv_LV", 1062, 1257},
        {"et_EE", 1061, 1257},        {"vi_VN", 1066, 1258},      {"th_TH", 1054, 874},  {"sr_RS@latin", 2074, 1250},
        {"sr_RS", 3098, 1251},        {"pt_PT", 2070, 1252},      {"es_ES", 3082, 1252},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LcidOfLocaleName(c.locale), c.lcid) << c.locale;
        EXPECT_EQ(CodePageOfLanguage(c.lcid), c.page) << c.locale;
    }
    EXPECT_EQ(LcidOfLocaleName("xx_YY"), 0u);
    EXPECT_EQ(LcidOfLocaleName(""), 0u);
}

TEST(CodePage, EachThreadConvertsWithItsOwnLocale) {
    const UINT mainPage = GetACP();
    std::atomic<int> failures{0};
    const auto worker = [&failures](LCID lcid, UINT page, std::string_view expected) {
        if (!SetThreadLocale(lcid) || ov::ThreadCodePage() != page || GetThreadLocale() != lcid) {
            ++failures;
            return;
        }
        for (int i = 0; i < 2000; ++i) {
            if (ov::WideToAnsi(u"\u4e2d\u00fc", CP_THREAD_ACP) != expected ||
                ov::AnsiToWide(expected, CP_THREAD_ACP) != (page == 936 ? u"\u4e2d\u00fc" : u"?\u00fc")) {
                ++failures;
                return;
            }
        }
    };
    // 936 has U+00FC as A8B9; 1252 lacks the Chinese character.
    std::thread chinese(worker, 2052, 936, std::string_view("\xD6\xD0\xA8\xB9", 4));
    std::thread german(worker, 1031, 1252, std::string_view("?\xFC", 2));
    chinese.join();
    german.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(GetACP(), mainPage);
    EXPECT_FALSE(SetThreadLocale(0));
}

TEST(CodePage, ProcessPageComesFromTheEnvironment) {
    EXPECT_EQ(RunSelf("CodePageChild.*", {"LANG=ru_RU.UTF-8", "OV_EXPECT_ACP=1251"}), 0);
    EXPECT_EQ(RunSelf("CodePageChild.*", {"LANG=de_DE.UTF-8", "LC_ALL=zh_TW.UTF-8", "OV_EXPECT_ACP=950"}), 0);
    EXPECT_EQ(RunSelf("CodePageChild.*", {"LANG=de_DE.UTF-8", "OV_ACP=936", "OV_EXPECT_ACP=936"}), 0);
    EXPECT_EQ(RunSelf("CodePageChild.*", {"LANG=C.UTF-8", "OV_ACP=65001", "OV_EXPECT_ACP=1252"}), 0);
    EXPECT_NE(RunSelf("CodePageChild.*", {"LANG=C", "OV_EXPECT_ACP=936"}), 0);
}

TEST(CodePageChild, ReportsTheProcessPage) {
    const char* expected = std::getenv("OV_EXPECT_ACP");
    if (expected == nullptr) {
        GTEST_SKIP() << "run by ProcessPageComesFromTheEnvironment";
    }
    EXPECT_EQ(GetACP(), static_cast<UINT>(std::atoi(expected)));
}

TEST(Module, LoadsByPathAndFindsExports) {
    const char* bin = std::getenv("OV_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    const std::string path = std::string(bin) + "/libovplatform.so";
    ov::Module module(path);
    ASSERT_TRUE(module.IsLoaded());
    // The platform layer has C++ linkage: look its calls up by their linker names.
    EXPECT_EQ(module.GetProc("_Z11RegCloseKeyP8OvRegKey"), reinterpret_cast<void*>(&RegCloseKey));
    EXPECT_EQ(module.GetProc("NoSuchExport"), nullptr);
    ov::Module moved(std::move(module));
    EXPECT_FALSE(module.IsLoaded());
    EXPECT_TRUE(moved.IsLoaded());
    EXPECT_FALSE(ov::Module("/nonexistent/lib.so").IsLoaded());
    EXPECT_FALSE(moved.Load(""));
    EXPECT_FALSE(moved.IsLoaded());

    EXPECT_EQ(ov::ModulePathOf(reinterpret_cast<void*>(&RegCloseKey)), ov::LongPath(path));
    static int local = 0;
    EXPECT_EQ(ov::ModulePathOf(&local), ov::ExecutablePath());
}

TEST(Module, ProgramPathsAndFolders) {
    const std::string exe = ov::ExecutablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.front(), '/');
    EXPECT_EQ(ov::ExecutableFolder() + std::filesystem::path(exe).filename().string(), exe);

    char16_t buf[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
    EXPECT_EQ(ov::WideToUtf8(std::u16string_view(buf, n)), exe);
    EXPECT_EQ(GetModuleFileNameW(nullptr, buf, 4), 4u);  // cut short
    EXPECT_EQ(buf[3], u'\0');

    // The long form resolves links; a buffer too small gets the size needed.
    const std::string link = std::filesystem::temp_directory_path() / "ov-module-link";
    std::filesystem::remove(link);
    std::filesystem::create_symlink(exe, link);
    const std::u16string wideLink = ov::Utf8ToWide(link);
    const DWORD m = GetLongPathNameW(wideLink.c_str(), buf, MAX_PATH);
    EXPECT_EQ(ov::WideToUtf8(std::u16string_view(buf, m)), ov::LongPath(exe));
    EXPECT_EQ(GetLongPathNameW(wideLink.c_str(), buf, 2), m + 1);
    std::filesystem::remove(link);
    EXPECT_EQ(GetLongPathNameW(u"/nonexistent/x", buf, MAX_PATH), 0u);

    ov::OverrideExecutablePath("");
    EXPECT_EQ(GetModuleFileNameW(nullptr, buf, MAX_PATH), 0u);
    ov::OverrideExecutablePath(nullptr);
    EXPECT_EQ(ov::ExecutablePath(), exe);

    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    ::setenv("XDG_DATA_HOME", "/srv/data", 1);
    EXPECT_EQ(ov::MakerSharedFolder(), "/srv/data/orvantek/");
    ::setenv("XDG_DATA_HOME", "relative", 1);  // ignored, as the base-directory rules say
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(ov::UserDataFolder(), "/home/someone/.local/share/");
    ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", home.c_str(), 1);
}
