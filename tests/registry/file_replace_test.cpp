// The shared file writer keeps what makes a file the same file: its links,
// its read-only state, its mode, owner and group, its place in a shut folder.
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/file_replace.h"
#include "registry/reg_test_util.h"

using regtest::InChild;
using regtest::ReadText;
using regtest::TempRegistry;
using regtest::WriteText;

namespace {

constexpr uid_t kNobody = 65534;

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

}  // namespace

TEST(FileReplace, SymbolicAndHardLinksStayLinks) {
    const TempRegistry dir;  // used here as a private folder
    const std::string real = dir.dir() + "/real.ini";
    const std::string link = dir.dir() + "/link.ini";
    const std::string hard = dir.dir() + "/hard.ini";
    WriteText(real, "old");
    ASSERT_EQ(::symlink("real.ini", link.c_str()), 0);
    ASSERT_EQ(::link(real.c_str(), hard.c_str()), 0);

    ASSERT_TRUE(ov::ReplaceFile(link, "through the link"));
    EXPECT_TRUE(S_ISLNK(StatOf(link).st_mode));
    EXPECT_EQ(ReadText(real), "through the link");
    ASSERT_TRUE(ov::ReplaceFile(real, "new"));
    EXPECT_EQ(StatOf(real).st_ino, StatOf(hard).st_ino);
    EXPECT_EQ(ReadText(hard), "new");
}

TEST(FileReplace, ReadOnlyFileIsRefusedAndKept) {
    const TempRegistry dir;
    const std::string file = dir.dir() + "/Tapper.ini";
    WriteText(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    EXPECT_FALSE(ov::ReplaceFile(file, "new"));
    EXPECT_EQ(ReadText(file), "old");
    EXPECT_EQ(StatOf(file).st_mode & 07777, 0444u);
}

TEST(FileReplace, ModeOwnerAndGroupAreKept) {
    const TempRegistry dir;
    const std::string file = dir.dir() + "/doc.xml";
    WriteText(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(file.c_str(), kNobody, kNobody), 0);
    }
    const struct stat before = StatOf(file);
    ASSERT_TRUE(ov::ReplaceFile(file, "new"));
    const struct stat after = StatOf(file);
    EXPECT_EQ(ReadText(file), "new");
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    if (!root) {
        GTEST_SKIP() << "another owner can only be checked as root";
    }
}

TEST(FileReplace, StaleTemporaryFilesOfADeadWriterGo) {
    const TempRegistry dir;
    const std::string file = dir.dir() + "/user.reg";
    const std::string stale = file + ".tmp-AbC123";
    const std::string fresh = file + ".tmp-XyZ789";
    const std::string other = dir.dir() + "/other.reg.tmp-AbC123";
    for (const std::string& path : {stale, fresh, other}) {
        WriteText(path, "half");
    }
    const timeval old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimes(stale.c_str(), old), 0);
    ASSERT_EQ(::utimes(other.c_str(), old), 0);
    ASSERT_TRUE(ov::ReplaceFile(file, "new"));
    EXPECT_EQ(::access(stale.c_str(), F_OK), -1);
    EXPECT_EQ(::access(fresh.c_str(), F_OK), 0);  // may be a writer still at work
    EXPECT_EQ(::access(other.c_str(), F_OK), 0);  // another file's
}

TEST(FileReplace, WritableFileInAShutFolderIsSavedInPlace) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "switching to an unprivileged user needs root";
    }
    const TempRegistry dir;
    const std::string file = dir.dir() + "/Tapper.ini";
    WriteText(file, "old");
    ASSERT_EQ(::chown(file.c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::chmod(dir.dir().c_str(), 0755), 0);  // root's folder, nobody's file
    const ino_t inode = StatOf(file).st_ino;
    EXPECT_TRUE(InChild([&] { return ov::ReplaceFile(file, "saved by nobody"); }, true));
    EXPECT_EQ(ReadText(file), "saved by nobody");
    EXPECT_EQ(StatOf(file).st_ino, inode);
    EXPECT_EQ(StatOf(file).st_uid, kNobody);
}
