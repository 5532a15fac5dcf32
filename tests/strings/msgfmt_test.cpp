// LoadFormatString: the English catalogue, the conversions that differ from
// the string tables, the process-wide ring and the language module choice.
#include "MsgFormat.h"

#include <fcntl.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "EnglishStrings.h"
#include "ovmui/OvStringTable.h"
#include "platform/codepage.h"
#include "platform/module.h"

namespace {

class FlagGuard {
public:
    explicit FlagGuard(int value) : m_saved(g_bShowMUIErrInfo) { g_bShowMUIErrInfo = value; }
    ~FlagGuard() { g_bShowMUIErrInfo = m_saved; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

private:
    int m_saved;
};

std::u16string Text(const char16_t* p) {
    return p;
}

std::u16string BinPath(const std::string& rel) {
    const char* bin = std::getenv("OV_BIN_DIR");
    return ov::Utf8ToWide(std::string(bin ? bin : ".") + "/" + rel);
}

class MessageFormat : public ::testing::Test {
protected:
    void TearDown() override { ResetLanguageModule(); }
};

TEST_F(MessageFormat, EnglishRun) {
    FlagGuard flag(1);
    ASSERT_FALSE(HasLanguageModule());
    EXPECT_EQ(Text(LoadFormatString(33030, "Packets Lost:%d_a%(%d_b%% loss)", 2, 50)), u"Packets Lost:2(50% loss)");
    EXPECT_EQ(Text(LoadFormatString(33036, u"[%s_c%]Reply form %s_b%: %s_a%", u"12:00:01", u"10.0.0.1", u"TimeOut.")),
              u"[12:00:01]Reply form 10.0.0.1: TimeOut.");
    EXPECT_EQ(Text(LoadFormatString(57344, "Orvantek Ping Tool")), u"Orvantek Ping Tool");
    // The caller's default for 33042 differs; the catalogue's text wins.
    EXPECT_EQ(Text(LoadFormatString(33042, "Invalid IP addresses.")), u"Invalid host name or IP addresses.");
    EXPECT_EQ(Text(LoadFormatString(129, "Version %s_VERSION% (Build %s_BUILDNUMBER%)", u"1.1", u"265")),
              u"Version 1.1 (Build 265)");
}

TEST_F(MessageFormat, MissingIdsFallBackToTheDefaultAndAreIncomplete) {
    {
        FlagGuard flag(0);
        EXPECT_EQ(Text(LoadFormatString(40000, "Value %d_a% of %s_b%", 5, u"x")), u"Value 5 of x");
    }
    FlagGuard flag(1);
    EXPECT_EQ(Text(LoadFormatString(40000, "Value %d_a% of %s_b%", 5, u"x")), u"*Value 5 of x");
    EXPECT_EQ(Text(LoadFormatString(40001, u"Plain")), u"*Plain");
}

TEST_F(MessageFormat, ConversionsDifferFromTheStringTables) {
    FlagGuard flag(1);
    // Floating point takes a double.
    EXPECT_EQ(Text(LoadFormatString(40000, u"%.2f_a%|%d_b%", 3.14159, 7)), u"*3.14|7");
    // Only the exact upper-case 64-bit forms take 8 bytes.
    const std::int64_t big = 5000000000LL;
    EXPECT_EQ(Text(LoadFormatString(40000, u"%I64d_a%|%I64u_b%|%d_c%", big, std::uint64_t{18000000000000000000ULL}, 3)),
              u"*5000000000|18000000000000000000|3");
    EXPECT_EQ(Text(LoadFormatString(40000, u"%i64d_a%|%d_b%", 7, 8)), u"*7|8") << "lower case is a 32-bit d";
    // Unknown conversions take no argument and keep their token; that alone is
    // not incomplete.
    FlagGuard off(0);
    EXPECT_EQ(Text(LoadFormatString(40000, u"%S_a% %d_b% %g_c%", 4)), u"%S_a% 4 %g_c%");
    EXPECT_EQ(Text(LoadFormatString(40000, u"%c_a%%08X_b%", int{'Q'}, 0xBEEF)), u"Q0000BEEF");
}

TEST_F(MessageFormat, The33rdCallReusesTheFirstSlot) {
    FlagGuard flag(0);
    const char16_t* first = LoadFormatString(40000, u"n=%d_a%", 10);
    const char16_t* second = LoadFormatString(40000, u"n=%d_a%", 11);
    for (int i = 0; i < 30; ++i) {
        EXPECT_NE(LoadFormatString(40000, u"n=%d_a%", i), first);
    }
    EXPECT_EQ(Text(first), u"n=10");
    // Another thread's calls share the ring.
    const char16_t* fromThread = nullptr;
    std::thread([&] { fromThread = LoadFormatString(40000, u"n=%d_a%", 99); }).join();
    EXPECT_EQ(fromThread, first);
    EXPECT_EQ(Text(first), u"n=99");
    EXPECT_EQ(LoadFormatString(40000, u"n=%d_a%", 12), second);
}

TEST_F(MessageFormat, ConcurrentCallsStayWellFormed) {
    FlagGuard flag(0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 2000; ++i) {
                const std::u16string s = LoadFormatString(33028, "Packets Sent:%d_a%", t);
                EXPECT_EQ(s.rfind(u"Packets Sent:", 0), 0u);
            }
        });
    }
    for (std::thread& th : threads) {
        th.join();
    }
}

TEST_F(MessageFormat, LanguageModuleSuppliesTheTexts) {
    FlagGuard flag(1);
    ASSERT_TRUE(SelectLanguageModule(BinPath("mui/de_de/OvPingRes.so")));
    EXPECT_TRUE(HasLanguageModule());
    EXPECT_EQ(Text(LoadFormatString(33030, "Packets Lost:%d_a%(%d_b%% loss)", 2, 50)),
              u"Verlorene Pakete: 2 (50 % Verlust)");
    EXPECT_EQ(Text(LoadFormatString(33001, "Error")), u"Fehler");
    EXPECT_EQ(Text(LoadFormatString(40000, "Not there")), u"*Not there");

    ASSERT_TRUE(SelectLanguageModule(BinPath("mui/zh_cn/OvPingRes.so")));
    EXPECT_EQ(Text(LoadFormatString(33001, "Error")), u"\u9519\u8bef");

    ResetLanguageModule();
    EXPECT_FALSE(HasLanguageModule());
    EXPECT_EQ(Text(LoadFormatString(33001, "Error")), u"Error");

    EXPECT_FALSE(SelectLanguageModule(BinPath("mui/none/OvPingRes.so")));
    EXPECT_FALSE(HasLanguageModule()) << "a failed selection keeps the English table";
}

TEST_F(MessageFormat, TranslationsLackingAPlaceholderAreMarked) {
    ASSERT_TRUE(SelectLanguageModule(ov::Utf8ToWide(OV_FAKE_RES_PATH)));
    {
        FlagGuard flag(0);
        EXPECT_EQ(Text(LoadFormatString(33030, "Packets Lost:%d_a%(%d_b%% loss)", 2, 50)), u"Lost 2");
    }
    FlagGuard flag(1);
    EXPECT_EQ(Text(LoadFormatString(33030, "Packets Lost:%d_a%(%d_b%% loss)", 2, 50)), u"*Lost 2");
    EXPECT_EQ(Text(LoadFormatString(33036, u"[%s_c%]Reply form %s_b%: %s_a%", u"c", u"b", u"a")), u"a <b> c");
    EXPECT_EQ(Text(LoadFormatString(500, u"Empty")), u"*Empty");
    EXPECT_EQ(Text(LoadFormatString(33001, u"Error")), u"*Error") << "no English fallback inside a module";
}

TEST_F(MessageFormat, TextsThatCannotBeFormattedComeInTheirDefaultFormSaidOnce) {
    // The first such text of this program: the notice comes once per process.
    ASSERT_TRUE(SelectLanguageModule(ov::Utf8ToWide(OV_FAKE_RES_PATH)));
    FlagGuard flag(0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(Text(LoadFormatString(33029, "Packets Received:%d_a%", 7)), u"Packets Received:7");
    EXPECT_EQ(Text(LoadFormatString(33029, "Packets Received:%d_a%", 8)), u"Packets Received:8");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "tapper: Message 33029 could not be formatted; its default text is shown.\n");
}

// Runs this program again with only the tests of filter, env added; its exit status.
int RunSelf(const char* filter, std::vector<std::string> entries) {
    const std::string exe = ov::ExecutablePath();
    std::string filterArg = std::string("--gtest_filter=") + filter;
    for (char** e = environ; *e != nullptr; ++e) {
        entries.emplace_back(*e);
    }
    std::vector<char*> envp;
    for (std::string& e : entries) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    std::string exeArg = exe;
    char* argv[] = {exeArg.data(), filterArg.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, envp.data()) != 0) {
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(MessageFormatWithoutDescriptors, TextsAreFormattedWhenNoFileCanBeOpened) {
    // Fresh processes, in which nothing was converted yet: with what the
    // formatter needs loaded beforehand, and without.
    EXPECT_EQ(RunSelf("MessageFormatChild.*", {"OV_FORMAT_CHILD=prepared"}), 0);
    EXPECT_EQ(RunSelf("MessageFormatChild.*", {"OV_FORMAT_CHILD=bare"}), 0);
    // A double-byte page, which every thread converts through descriptors of its own.
    EXPECT_EQ(RunSelf("MessageFormatChild.*", {"OV_FORMAT_CHILD=prepared", "OV_ACP=936"}), 0);
}

// Takes every descriptor the soft limit leaves, as the sockets of a run with
// more hosts than the limit allows do; gives them back at destruction.
class DescriptorsTaken {
public:
    DescriptorsTaken() {
        getrlimit(RLIMIT_NOFILE, &m_saved);
        rlimit low = m_saved;
        low.rlim_cur = std::min<rlim_t>(m_saved.rlim_max, 256);
        setrlimit(RLIMIT_NOFILE, &low);
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) {
            m_taken.push_back(fd);
        }
    }
    ~DescriptorsTaken() {
        for (const int fd : m_taken) {
            ::close(fd);
        }
        setrlimit(RLIMIT_NOFILE, &m_saved);
    }
    DescriptorsTaken(const DescriptorsTaken&) = delete;
    DescriptorsTaken& operator=(const DescriptorsTaken&) = delete;

private:
    rlimit m_saved{};
    std::vector<int> m_taken;
};

TEST(MessageFormatChild, FormatsWithEveryDescriptorTaken) {
    const char* mode = std::getenv("OV_FORMAT_CHILD");
    if (mode == nullptr) {
        GTEST_SKIP() << "run by MessageFormatWithoutDescriptors";
    }
    const bool prepared = std::string_view(mode) == "prepared";
    if (prepared) {
        ASSERT_TRUE(PrepareMessageFormatting());
    }
    testing::internal::CaptureStderr();
    std::u16string text;
    std::u16string fromThread;
    {
        const DescriptorsTaken taken;
        text = LoadFormatString(33036, "[%s_c%]Reply form %s_b%: %s_a%", u"12:00:01", u"10.0.0.1", u"TimeOut.");
        // A plain thread: the sanitizers' own checks of virtual calls need a
        // descriptor, which std::thread's start would ask for here.
        pthread_t thread{};
        const auto run = [](void* out) -> void* {
            *static_cast<std::u16string*>(out) =
                LoadFormatString(33036, "[%s_c%]Reply form %s_b%: %s_a%", u"12:00:01", u"10.0.0.1", u"TimeOut.");
            return nullptr;
        };
        if (pthread_create(&thread, nullptr, run, &fromThread) == 0) {
            pthread_join(thread, nullptr);
        }
    }
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(text, u"[12:00:01]Reply form 10.0.0.1: TimeOut.");
    EXPECT_EQ(fromThread, text);
    // Unprepared, the code page could not be loaded: said once on stderr.
    EXPECT_EQ(err.empty(), prepared) << err;
}

TEST(EnglishCatalogue, LookupMatchesTheTable) {
    for (const OV_MESSAGE& m : EnglishMessages()) {
        EXPECT_EQ(EnglishString(m.id), m.text);
    }
    EXPECT_EQ(EnglishString(33026), nullptr);
    EXPECT_EQ(EnglishString(0), nullptr);
    EXPECT_EQ(EnglishString(99999), nullptr);
}

}  // namespace
