// Host list files read and written as the window and the console mode take
// them: the text rules, the limits and every kind of file that is refused.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "HostList.h"
#include "platform/codepage.h"

namespace {

namespace fs = std::filesystem;

class HostListTest : public ::testing::Test {
protected:
    HostListTest() {
        std::string dir = (fs::temp_directory_path() / "ov-hostlist-XXXXXX").string();
        EXPECT_NE(mkdtemp(dir.data()), nullptr);
        m_dir = dir;
    }
    ~HostListTest() override {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string path = (m_dir / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    static std::string Text(const HostList& list) { return ov::WideToUtf8(HostListProblemText(list, u"f.txt")); }

    fs::path m_dir;
};

TEST_F(HostListTest, CommentsBlanksLineEndsAndAByteOrderMarkAreTextRules) {
    const HostList list = ParseHostList(
        "\xEF\xBB\xBF# office hosts\r\n"
        "\r\n"
        "127.0.0.1 127.0.0.2,127.0.0.3;  # the first three\r\n"
        "   \t\n"
        "gateway.example\tmail.example\n"
        "h\xC3\xB6st.example#no blank before the comment\n"
        "last.example");
    ASSERT_TRUE(list.Ok()) << Text(list);
    const std::vector<std::u16string> expected = {u"127.0.0.1",       u"127.0.0.2",    u"127.0.0.3",
                                                  u"gateway.example", u"mail.example", u"h\u00f6st.example",
                                                  u"last.example"};
    EXPECT_EQ(list.hosts, expected);
    EXPECT_EQ(list.EntryText(),
              u"127.0.0.1 127.0.0.2 127.0.0.3 gateway.example mail.example h\u00f6st.example "
              u"last.example");
    // A BOM anywhere else is no byte order mark but a character of a host.
    EXPECT_EQ(ParseHostList("a.example\n\xEF\xBB\xBF"
                            "b.example")
                  .hosts.back(),
              u"\uFEFFb.example");
}

TEST_F(HostListTest, SavedHostsOpenAsTheSameList) {
    const std::vector<std::u16string> hosts = {u"127.0.0.1", u"name.example", u"\u4e3b\u673a.example"};
    const std::string path = (m_dir / "saved.txt").string();
    ASSERT_EQ(WriteHostListFile(path, hosts), 0);
    const HostList back = ReadHostListFile(path);
    ASSERT_TRUE(back.Ok()) << Text(back);
    EXPECT_EQ(back.hosts, hosts);
    // Saving again replaces the whole file.
    ASSERT_EQ(WriteHostListFile(path, {u"only.example"}), 0);
    EXPECT_EQ(ReadHostListFile(path).hosts, std::vector<std::u16string>{u"only.example"});
    EXPECT_EQ(WriteHostListFile((m_dir / "no" / "such" / "folder.txt").string(), hosts), ENOENT);
}

TEST_F(HostListTest, TenThousandHostsAreTakenAndOneMoreIsRefusedWithTheNumber) {
    std::string bytes;
    for (int i = 0; i < 10000; ++i) {
        bytes += "10.0." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1) + "\n";
    }
    const HostList full = ReadHostListFile(Write("full.txt", bytes));
    ASSERT_TRUE(full.Ok()) << Text(full);
    EXPECT_EQ(full.hosts.size(), 10000u);

    const HostList over = ReadHostListFile(Write("over.txt", bytes + "one.more.example # 10 001\n"));
    EXPECT_EQ(over.problem, HostListProblem::TooManyHosts);
    EXPECT_EQ(over.count, 10001u);
    EXPECT_TRUE(over.hosts.empty());
    const std::string text = Text(over);
    EXPECT_NE(text.find("10001 hosts"), std::string::npos) << text;
    EXPECT_NE(text.find("10000"), std::string::npos) << text;
}

TEST_F(HostListTest, FilesThatAreNoHostListsAreRefusedSayingWhereAndWhy) {
    struct Case {
        std::string bytes;
        HostListProblem problem;
        std::size_t line;
        std::string said;
    };
    const Case cases[] = {
        {"a.example\nb.example\nc\xE9.example\n", HostListProblem::NotUtf8, 3, "Line 3 of \"f.txt\" is not UTF-8"},
        {std::string("\xFF\xFE"
                     "a\0.\0",
                     6),
         HostListProblem::NotUtf8, 1, "Line 1 "},                                        // UTF-16
        {"a.example\r\nb\xC0\xAE.example\r\n", HostListProblem::NotUtf8, 2, "Line 2 "},  // overlong "."
        {std::string("a.example\n\nb.ex\0ample\n", 22), HostListProblem::NulByte, 3, "Line 3 of \"f.txt\" holds a NUL"},
        {"a.example\nb.example:80\n", HostListProblem::InvalidChar, 2, "Line 2 "},
        {"a.example\nb\rc\n", HostListProblem::InvalidChar, 2, "Line 2 "},
        {"# nothing but comments\n\n  \n", HostListProblem::NoHosts, 0, "holds no host"},
        {"", HostListProblem::NoHosts, 0, "holds no host"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.said);
        const HostList list = ParseHostList(c.bytes);
        EXPECT_EQ(list.problem, c.problem);
        EXPECT_EQ(list.line, c.line);
        EXPECT_TRUE(list.hosts.empty());
        EXPECT_NE(Text(list).find(c.said), std::string::npos) << Text(list);
    }
}

TEST_F(HostListTest, FoldersMissingAndUnreadableFilesAreNamedAsSuch) {
    EXPECT_EQ(ReadHostListFile(m_dir.string()).problem, HostListProblem::NotRegular);
    EXPECT_EQ(ReadHostListFile((m_dir / "missing.txt").string()).problem, HostListProblem::Missing);
    EXPECT_EQ(ReadHostListFile("/dev/zero").problem, HostListProblem::NotRegular);

    // Unreadable: a file of mode 0 read by a process without the right to
    // read it (the superuser's child gives its rights up first).
    const std::string secret = Write("secret.txt", "127.0.0.1\n");
    ASSERT_EQ(::chmod(secret.c_str(), 0), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && ::setuid(65534) != 0) {
            std::_Exit(2);
        }
        const HostList list = ReadHostListFile(secret);
        const std::string text = ov::WideToUtf8(HostListProblemText(list, u"s"));
        const bool said = text.find("could not be read") != std::string::npos;
        std::_Exit(list.problem == HostListProblem::Unreadable && list.error == EACCES && said ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
