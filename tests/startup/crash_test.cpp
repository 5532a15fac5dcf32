// The crash reporter: children that crash end by their signal and leave a
// report; uninstalling puts the earlier handlers back.
#include <signal.h>
#include <sys/mman.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ovcrash.h"
#include "platform/module.h"
#include "startup/startup_test_util.h"
#include "strings/TempDir.h"

namespace {

namespace fs = std::filesystem;

void WriteProtected() {
    void* page = ::mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    *static_cast<volatile int*>(page) = 1;
}

volatile int g_depth = 0;
int Recurse(int n) {
    volatile char pad[1024];
    pad[0] = static_cast<char>(n);
    g_depth = n;
    return g_depth >= 0 ? Recurse(n + 1) + pad[0] : 0;
}

// Crashes a child with the reporter installed and its state folder at home.
starttest::ChildResult CrashChild(const std::string& home, void (*crash)()) {
    return starttest::InChild([&] {
        ::setenv("XDG_STATE_HOME", home.c_str(), 1);
        if (OvCR_Install(0, u"crash@orvantek.example", u"Crash Report") != 0) {
            crash();
        }
    });
}

std::string OnlyReport(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        files.push_back(e.path());
    }
    if (files.size() != 1) {
        return "";
    }
    std::stringstream text;
    text << std::ifstream(files[0]).rdbuf();
    return files[0].string() + "\n" + text.str();
}

TEST(CrashReporter, ChildEndsByItsSignalAndLeavesAReport) {
    const struct {
        int sig;
        void (*crash)();
        const char* name;
        bool fault;  // the report names the faulting address
    } cases[] = {
        {SIGSEGV, WriteProtected, "SIGSEGV", true},
        {SIGSEGV, [] { Recurse(0); }, "SIGSEGV", true},  // on the alternate stack
        {SIGABRT, [] { std::abort(); }, "SIGABRT", false},
        {SIGFPE, [] { ::raise(SIGFPE); }, "SIGFPE", false},
        {SIGBUS, [] { ::raise(SIGBUS); }, "SIGBUS", false},
        {SIGILL, [] { ::raise(SIGILL); }, "SIGILL", false},
    };
    const std::string program = ov::ExecutablePath();
    for (const auto& c : cases) {
        const TempDir state;
        const starttest::ChildResult run = CrashChild(state.Path().string(), c.crash);
        EXPECT_TRUE(WIFSIGNALED(run.status) && WTERMSIG(run.status) == c.sig) << c.name;

        const std::string report = OnlyReport(state.Path() / "orvantek/crash");
        const std::string file = report.substr(0, report.find('\n'));
        EXPECT_EQ(file.rfind((state.Path() / "orvantek/crash" / fs::path(program).filename()).string() + "-", 0), 0u)
            << run.err;
        EXPECT_NE(report.find("\nCrash Report\n\nProgram: " + program + "\nVersion: 1.1.1.265\n" +
                              "Signal: " + std::to_string(c.sig) + " (" + c.name + ")\n"),
                  std::string::npos)
            << report;
        EXPECT_EQ(report.find("\nAddress: 0x") != std::string::npos, c.fault);
        EXPECT_NE(report.find("\nTime: 20"), std::string::npos);
        const size_t trace = report.find("\nBacktrace:\n");
        ASSERT_NE(trace, std::string::npos);
        EXPECT_GE(std::count(report.begin() + static_cast<long>(trace), report.end(), '\n'), 4);
        EXPECT_NE(run.err.find("the report is in " + file + "\n"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("please send it to crash@orvantek.example\n"), std::string::npos);
    }
}

TEST(CrashReporter, WithoutAFolderTheReportGoesToStderr) {
    const TempDir home;
    const std::string blocked = home.Write("file", "not a folder");
    const starttest::ChildResult run = CrashChild(blocked, [] { ::raise(SIGSEGV); });
    EXPECT_TRUE(WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGSEGV);
    EXPECT_NE(run.err.find("no report file could be made in " + blocked + "/orvantek/crash"), std::string::npos);
    EXPECT_NE(run.err.find("Signal: 11 (SIGSEGV)\n"), std::string::npos) << run.err;
}

void Dummy(int) {}

TEST(CrashReporter, UninstallPutsBackTheEarlierHandlersAndStack) {
    struct sigaction mine {};
    mine.sa_handler = Dummy;
    struct sigaction saved {};
    ASSERT_EQ(::sigaction(SIGFPE, &mine, &saved), 0);
    stack_t before{};
    ::sigaltstack(nullptr, &before);

    const int handle = OvCR_Install(0, u"a@b.example", u"Crash Report");
    ASSERT_NE(handle, 0);
    EXPECT_EQ(OvCR_Install(0, u"a@b.example", u"Crash Report"), 0);  // once at a time
    struct sigaction now {};
    stack_t stack{};
    ::sigaction(SIGFPE, nullptr, &now);
    ::sigaltstack(nullptr, &stack);
    EXPECT_TRUE(now.sa_handler != Dummy && (now.sa_flags & SA_ONSTACK) != 0);
    EXPECT_NE(stack.ss_sp, before.ss_sp);

    EXPECT_EQ(OvCR_Uninstall(handle + 1), 0);
    EXPECT_EQ(OvCR_Uninstall(handle), 1);
    EXPECT_EQ(OvCR_Uninstall(handle), 0);
    ::sigaction(SIGFPE, &saved, &now);
    ::sigaltstack(nullptr, &stack);
    EXPECT_EQ(now.sa_handler, Dummy);
    EXPECT_TRUE(stack.ss_sp == before.ss_sp && stack.ss_flags == before.ss_flags);
    EXPECT_EQ(OvCR_Uninstall(OvCR_Install(0, nullptr, nullptr)), 1);  // installs again
}

}  // namespace
