// The crash reporter: children that crash end by their signal and leave a
// report; uninstalling puts the earlier handlers back.
#include <signal.h>
#include <sys/mman.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
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

// Runs crash in a child with the reporter installed and its state folder
// at stateHome; returns the child's status and stderr.
starttest::ChildResult CrashChild(const std::string& stateHome, void (*crash)()) {
    return starttest::InChild([&] {
        ::setenv("XDG_STATE_HOME", stateHome.c_str(), 1);
        if (OvCR_Install(0, u"crash@orvantek.example", u"Crash Report") == 0) {
            ::_exit(3);
        }
        crash();
    });
}

std::vector<fs::path> Reports(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        files.push_back(e.path());
    }
    return files;
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
        ASSERT_TRUE(WIFSIGNALED(run.status)) << c.name << ": " << run.err;
        EXPECT_EQ(WTERMSIG(run.status), c.sig) << c.name;

        const std::vector<fs::path> reports = Reports(state.Path() / "orvantek" / "crash");
        ASSERT_EQ(reports.size(), 1u) << c.name << ": " << run.err;
        std::ifstream in(reports[0]);
        std::stringstream text;
        text << in.rdbuf();
        const std::string report = text.str();
        EXPECT_EQ(report.rfind("Crash Report\n\n", 0), 0u) << report;
        EXPECT_NE(report.find("Program: " + program + "\n"), std::string::npos) << report;
        EXPECT_NE(report.find("Version: 1.1.1.265\n"), std::string::npos) << report;
        EXPECT_NE(report.find("Signal: " + std::to_string(c.sig) + " (" + c.name + ")\n"),
                  std::string::npos);
        EXPECT_NE(report.find("Time: 20"), std::string::npos);
        EXPECT_EQ(report.find("\nAddress: 0x") != std::string::npos, c.fault) << report;
        const size_t trace = report.find("\nBacktrace:\n");
        ASSERT_NE(trace, std::string::npos);
        EXPECT_GE(std::count(report.begin() + static_cast<long>(trace), report.end(), '\n'), 4);

        EXPECT_NE(run.err.find("the report is in " + reports[0].string() + "\n"),
                  std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find("please send it to crash@orvantek.example"), std::string::npos);
        EXPECT_EQ(reports[0].filename().string().rfind(fs::path(program).filename().string() + "-",
                                                       0),
                  0u);
    }
}

TEST(CrashReporter, WithoutAFolderTheReportGoesToStderr) {
    const TempDir scratch;
    const std::string blocked = scratch.Write("file", "not a folder");
    const starttest::ChildResult run = CrashChild(blocked, [] { ::raise(SIGSEGV); });
    ASSERT_TRUE(WIFSIGNALED(run.status));
    EXPECT_EQ(WTERMSIG(run.status), SIGSEGV);
    EXPECT_NE(run.err.find("no report file could be made in " + blocked + "/orvantek/crash"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("Signal: 11 (SIGSEGV)"), std::string::npos);
    EXPECT_NE(run.err.find("Backtrace:"), std::string::npos);
}

TEST(CrashReporter, DefaultFolderWhenTheStateHomeIsRelative) {
    const TempDir home;
    const starttest::ChildResult run = starttest::InChild([&] {
        ::setenv("HOME", home.Path().c_str(), 1);
        ::setenv("XDG_STATE_HOME", "relative/state", 1);
        OvCR_Install(0, nullptr, nullptr);
        ::raise(SIGABRT);
    });
    EXPECT_TRUE(WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGABRT);
    EXPECT_EQ(Reports(home.Path() / ".local/state/orvantek/crash").size(), 1u) << run.err;
    EXPECT_EQ(run.err.find("please send it"), std::string::npos);
}

void Dummy(int) {}

TEST(CrashReporter, UninstallPutsBackTheEarlierHandlersAndStack) {
    struct sigaction mine {};
    mine.sa_handler = Dummy;
    sigemptyset(&mine.sa_mask);
    struct sigaction saved {};
    ASSERT_EQ(::sigaction(SIGFPE, &mine, &saved), 0);
    stack_t stackBefore{};
    ::sigaltstack(nullptr, &stackBefore);

    const int handle = OvCR_Install(0, u"a@b.example", u"Crash Report");
    ASSERT_NE(handle, 0);
    EXPECT_EQ(OvCR_Install(0, u"a@b.example", u"Crash Report"), 0);  // once per process
    struct sigaction now {};
    ::sigaction(SIGFPE, nullptr, &now);
    EXPECT_NE(now.sa_handler, Dummy);
    EXPECT_NE(now.sa_flags & SA_ONSTACK, 0);
    stack_t stackNow{};
    ::sigaltstack(nullptr, &stackNow);
    EXPECT_NE(stackNow.ss_sp, stackBefore.ss_sp);

    EXPECT_EQ(OvCR_Uninstall(handle + 1), 0);
    EXPECT_EQ(OvCR_Uninstall(handle), 1);
    EXPECT_EQ(OvCR_Uninstall(handle), 0);
    ::sigaction(SIGFPE, nullptr, &now);
    EXPECT_EQ(now.sa_handler, Dummy);
    ::sigaltstack(nullptr, &stackNow);
    EXPECT_EQ(stackNow.ss_sp, stackBefore.ss_sp);
    EXPECT_EQ(stackNow.ss_flags & SS_DISABLE, stackBefore.ss_flags & SS_DISABLE);
    ::sigaction(SIGFPE, &saved, nullptr);

    const int again = OvCR_Install(0, nullptr, nullptr);
    EXPECT_NE(again, 0);
    EXPECT_EQ(OvCR_Uninstall(again), 1);
}

}  // namespace
