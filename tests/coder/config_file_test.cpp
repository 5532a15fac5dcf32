// Encoded configuration file: values, file layout and checksum recomputed
// independently, damaged files, odd bodies, and a fixed vector file.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "coder/coder_test_util.h"
#include "ovcoder/ConfigFile.h"
#include "ovcoder/OvCrypt.h"

namespace {

using codertest::ReadFile;
using codertest::TempDir;
using codertest::WriteFile;

// The document text a file holds, decoded by the test's own rules.
std::u16string DocumentOf(const std::vector<unsigned char>& file) {
    const auto plain = codertest::RefUnscramble(file.data() + 10, file.size() - 14, codertest::kConfigKey);
    std::u16string text;
    for (std::size_t i = 0; i + 1 < plain.size(); i += 2) {
        const auto unit = static_cast<char16_t>(plain[i] | (plain[i + 1] << 8));
        if (!unit) {
            break;
        }
        text += unit;
    }
    return text;
}

std::size_t Count(const std::u16string& text, const std::u16string& part) {
    std::size_t n = 0;
    for (auto pos = text.find(part); pos != std::u16string::npos; pos = text.find(part, pos + 1)) {
        ++n;
    }
    return n;
}

// A file image with a matching checksum around any body.
std::vector<unsigned char> Image(const std::vector<unsigned char>& body) {
    std::vector<unsigned char> file(body.size() + 10);
    std::memcpy(file.data(), "ORVANTEKDB", 10);
    if (!body.empty()) {
        std::memcpy(file.data() + 10, body.data(), body.size());
    }
    const std::uint32_t c = codertest::RefConfigChecksum(file);
    for (int i = 0; i < 4; ++i) {
        file.push_back(static_cast<unsigned char>(c >> (8 * i)));
    }
    return file;
}

TEST(ConfigFileTest, ValuesInMemory) {
    CConfigFile config;
    std::u16string text = u"untouched";
    int number = 77;
    DWORD unsignedNumber = 78;
    EXPECT_EQ(config.GetValue(u"Settings", u"Missing", text), 0);
    EXPECT_EQ(config.GetValue(u"Settings", u"Missing", number), 0);
    EXPECT_EQ(config.GetValue(u"Settings", u"Missing", unsignedNumber), 0);
    EXPECT_EQ(text, u"untouched");
    EXPECT_EQ(number, 77);
    EXPECT_EQ(unsignedNumber, 78u);

    EXPECT_NE(config.SetValue(u"Settings", u"EnableAutoCheckUpdate", 1), 0);
    EXPECT_NE(config.SetValue(u"Settings", u"Name", u"caf\u00e9 <&> \u4e2d"), 0);
    EXPECT_NE(config.SetValue(u"Settings", u"Empty", u""), 0);
    EXPECT_NE(config.SetValue(u"Other", u"Negative", -12345), 0);

    EXPECT_EQ(config.GetValue(u"Settings", u"EnableAutoCheckUpdate", number), 1);
    EXPECT_EQ(number, 1);
    EXPECT_EQ(config.GetValue(u"Settings", u"Name", text), 1);
    EXPECT_EQ(text, u"caf\u00e9 <&> \u4e2d");
    EXPECT_EQ(config.GetValue(u"Settings", u"Empty", text), 1);
    EXPECT_EQ(text, u"");
    EXPECT_EQ(config.GetValue(u"Other", u"Negative", number), 1);
    EXPECT_EQ(number, -12345);
    EXPECT_EQ(config.GetValue(u"Other", u"Name", text), 0);
    EXPECT_EQ(config.GetValue(u"Missing", u"Name", text), 0);
    EXPECT_EQ(config.GetValue(nullptr, u"Name", text), 0);
    EXPECT_EQ(config.SetValue(u"Settings", nullptr, 1), 0);
}

TEST(ConfigFileTest, NumbersAreReadLikeTheRuntimeDecimalReader) {
    CConfigFile config;
    const std::pair<const char16_t*, int> cases[] = {
        {u"  42", 42},
        {u"\t-7x", -7},
        {u"+15", 15},
        {u"abc", 0},
        {u"12 34", 12},
        {u"", 0},
        {u"99999999999", 2147483647},
        {u"-99999999999", -2147483647 - 1},
    };
    for (const auto& [text, expected] : cases) {
        ASSERT_NE(config.SetValue(u"S", u"K", text), 0);
        int value = -1;
        EXPECT_EQ(config.GetValue(u"S", u"K", value), 1)
            << std::string(text, text + std::char_traits<char16_t>::length(text));
        EXPECT_EQ(value, expected);
    }
}

TEST(ConfigFileTest, LargestUnsignedIsStoredAsMinusOne) {
    TempDir dir;
    const auto path = dir.File("big.ini");
    {
        CConfigFile config;
        ASSERT_NE(config.SetValue(u"S", u"Big", DWORD{4294967295u}), 0);
        ASSERT_NE(config.SetValue(u"S", u"Half", DWORD{3000000000u}), 0);
        std::u16string text;
        ASSERT_EQ(config.GetValue(u"S", u"Big", text), 1);
        EXPECT_EQ(text, u"-1");
        ASSERT_EQ(config.WriteEncoded(path.u16string().c_str()), 1);
    }
    CConfigFile config;
    ASSERT_EQ(config.ReadEncoded(path.u16string().c_str()), 1);
    DWORD value = 0;
    ASSERT_EQ(config.GetValue(u"S", u"Big", value), 1);
    EXPECT_EQ(value, 4294967295u);
    ASSERT_EQ(config.GetValue(u"S", u"Half", value), 1);
    EXPECT_EQ(value, 3000000000u);
    int signedValue = 0;
    ASSERT_EQ(config.GetValue(u"S", u"Big", signedValue), 1);
    EXPECT_EQ(signedValue, -1);
}

TEST(ConfigFileTest, WriteThenReadAndTheFileLayout) {
    TempDir dir;
    const auto path = dir.File("Tapper.ini");
    CConfigFile written;
    ASSERT_NE(written.SetValue(u"Settings", u"EnableAutoCheckUpdate", 1), 0);
    ASSERT_NE(written.SetValue(u"Settings", u"Mode", u"first"), 0);
    ASSERT_NE(written.SetValue(u"Settings", u"Mode", u"second"), 0);
    ASSERT_NE(written.SetValue(u"Window", u"Title", u"\u00c4rger \u4e2d\u6587"), 0);
    ASSERT_EQ(written.WriteEncoded(path.u16string().c_str()), 1);

    const auto file = ReadFile(path);
    ASSERT_GT(file.size(), 14u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 10), "ORVANTEKDB");
    // Body: four bytes per UTF-16 code unit of the document text.
    const std::u16string doc = DocumentOf(file);
    EXPECT_EQ(file.size(), 14 + 4 * doc.size());
    EXPECT_EQ(Count(doc, u"<Mode"), 1u);
    EXPECT_NE(doc.find(u"second"), std::u16string::npos);
    EXPECT_EQ(doc.find(u"first"), std::u16string::npos);
    EXPECT_NE(doc.find(u"<ConfigFile"), std::u16string::npos);
    // Low nibbles: never 10 or 13, never 0 in the first byte of a pair.
    for (std::size_t i = 10; i < file.size() - 4; ++i) {
        const unsigned low = file[i] & 15;
        EXPECT_TRUE(low != 10 && low != 13) << i;
        if ((i - 10) % 2 == 0) {
            EXPECT_NE(low, 0u) << i;
        }
    }
    // Checksum over magic and body, little-endian.
    const std::vector<unsigned char> image(file.begin(), file.end() - 4);
    const std::uint32_t stored = file[file.size() - 4] | (file[file.size() - 3] << 8) | (file[file.size() - 2] << 16) |
                                 (std::uint32_t{file[file.size() - 1]} << 24);
    EXPECT_EQ(stored, codertest::RefConfigChecksum(image));

    CConfigFile read;
    ASSERT_EQ(read.ReadEncoded(path.u16string().c_str()), 1);
    int number = 0;
    std::u16string text;
    EXPECT_EQ(read.GetValue(u"Settings", u"EnableAutoCheckUpdate", number), 1);
    EXPECT_EQ(number, 1);
    EXPECT_EQ(read.GetValue(u"Settings", u"Mode", text), 1);
    EXPECT_EQ(text, u"second");
    EXPECT_EQ(read.GetValue(u"Window", u"Title", text), 1);
    EXPECT_EQ(text, u"\u00c4rger \u4e2d\u6587");
}

TEST(ConfigFileTest, EveryChangedByteIsRefusedAndTheDocumentKept) {
    TempDir dir;
    const auto path = dir.File("a.ini");
    const auto damaged = dir.File("b.ini");
    CConfigFile source;
    ASSERT_NE(source.SetValue(u"Settings", u"Key", u"from the file"), 0);
    ASSERT_EQ(source.WriteEncoded(path.u16string().c_str()), 1);
    const auto file = ReadFile(path);

    CConfigFile config;
    ASSERT_NE(config.SetValue(u"Settings", u"Key", u"in memory"), 0);
    for (std::size_t i = 0; i < file.size(); ++i) {
        for (unsigned char change : {0x01, 0xFF}) {
            auto bytes = file;
            bytes[i] ^= change;
            WriteFile(damaged, bytes);
            ASSERT_EQ(config.ReadEncoded(damaged.u16string().c_str()), 0) << "byte " << i << " ^ " << int(change);
        }
    }
    std::u16string text;
    ASSERT_EQ(config.GetValue(u"Settings", u"Key", text), 1);
    EXPECT_EQ(text, u"in memory");
    ASSERT_EQ(config.ReadEncoded(path.u16string().c_str()), 1);
    ASSERT_EQ(config.GetValue(u"Settings", u"Key", text), 1);
    EXPECT_EQ(text, u"from the file");
}

TEST(ConfigFileTest, FilesThatAreMissingShortOrNotFilesAreRefused) {
    TempDir dir;
    CConfigFile config;
    ASSERT_NE(config.SetValue(u"S", u"K", u"kept"), 0);
    EXPECT_EQ(config.ReadEncoded(dir.File("missing.ini").u16string().c_str()), 0);
    EXPECT_EQ(config.ReadEncoded(dir.File("").u16string().c_str()), 0);
    EXPECT_EQ(config.ReadEncoded(nullptr), 0);
    // Magic and checksum with no body: 14 bytes, even with a matching checksum.
    WriteFile(dir.File("short.ini"), Image({}));
    EXPECT_EQ(config.ReadEncoded(dir.File("short.ini").u16string().c_str()), 0);
    WriteFile(dir.File("tiny.ini"), {1, 2, 3});
    EXPECT_EQ(config.ReadEncoded(dir.File("tiny.ini").u16string().c_str()), 0);
    std::u16string text;
    EXPECT_EQ(config.GetValue(u"S", u"K", text), 1);
    EXPECT_EQ(text, u"kept");
}

// Peak memory of a child (kilobytes) that reads path; -1 when the read
// accepted the file, blocked (the alarm ends it) or the child failed.
long PeakKbOfRefusedRead(const std::filesystem::path& path) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(30);
        CConfigFile config;
        const int read = config.ReadEncoded(path.u16string().c_str());
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        const long peak = read == 0 ? usage.ru_maxrss : -1;
        [[maybe_unused]] const ssize_t n = ::write(fds[1], &peak, sizeof peak);
        ::_exit(0);
    }
    ::close(fds[1]);
    long peak = -1;
    if (::read(fds[0], &peak, sizeof peak) != static_cast<ssize_t>(sizeof peak)) {
        peak = -1;
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? peak : -1;
}

TEST(ConfigFileTest, SpecialAndHugeFilesAreRefusedWithoutWaitingOrFillingMemory) {
    TempDir dir;
    rusage self{};
    ::getrusage(RUSAGE_SELF, &self);
    // A child starts with the parent's pages; what it reads comes on top.
    const long bound = self.ru_maxrss + 64 * 1024;

    const auto fifo = dir.File("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto zero = dir.File("zero.ini");
    std::filesystem::create_symlink("/dev/zero", zero);
    const auto folder = dir.File("folder.ini");
    std::filesystem::create_directory(folder);
    const auto sparse = dir.File("sparse.ini");
    const int fd = ::open(sparse.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 2LL << 30), 0);
    ::close(fd);
    // A sound file over the 1 MB a configuration file may have.
    const auto large = dir.File("large.ini");
    WriteFile(large, Image(std::vector<unsigned char>(1 << 20, 0x5A)));

    for (const auto& path : {fifo, zero, folder, sparse, large}) {
        const long peak = PeakKbOfRefusedRead(path);
        EXPECT_GE(peak, 0) << path;
        EXPECT_LT(peak, bound) << path;
    }
}

TEST(ConfigFileTest, BodiesOfAnyLengthStayInBounds) {
    // Bodies with a matching checksum that this library never writes: lengths
    // not a multiple of 4, odd lengths, no terminator inside.
    TempDir dir;
    const auto path = dir.File("odd.ini");
    for (std::size_t size = 1; size <= 9; ++size) {
        std::vector<unsigned char> body(size, 0x5A);
        WriteFile(path, Image(body));
        CConfigFile config;
        EXPECT_EQ(config.ReadEncoded(path.u16string().c_str()), 1) << size;
    }
}

TEST(ConfigFileTest, EmptyDocumentWritesNothing) {
    TempDir dir;
    const auto path = dir.File("empty.ini");
    CConfigFile config;
    EXPECT_EQ(config.WriteEncoded(path.u16string().c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
    WriteFile(path, {'k', 'e', 'e', 'p'});
    EXPECT_EQ(config.WriteEncoded(path.u16string().c_str()), 0);
    EXPECT_EQ(ReadFile(path), (std::vector<unsigned char>{'k', 'e', 'e', 'p'}));
    // A folder that does not exist cannot be written.
    ASSERT_NE(config.SetValue(u"S", u"K", 1), 0);
    EXPECT_EQ(config.WriteEncoded(dir.File("no/such/folder.ini").u16string().c_str()), 0);
}

TEST(ConfigFileTest, FixedVectorFileStillReads) {
    // Written once by this library; a change of magic, key, transform or
    // checksum makes it unreadable.
    CConfigFile config;
    ASSERT_EQ(config.ReadEncoded((codertest::DataDir() / "config.ini").u16string().c_str()), 1);
    int number = 0;
    DWORD big = 0;
    std::u16string text;
    EXPECT_EQ(config.GetValue(u"Settings", u"EnableAutoCheckUpdate", number), 1);
    EXPECT_EQ(number, 1);
    EXPECT_EQ(config.GetValue(u"Settings", u"Big", big), 1);
    EXPECT_EQ(big, 4294967295u);
    EXPECT_EQ(config.GetValue(u"Text", u"Name", text), 1);
    EXPECT_EQ(text, u"Caf\u00e9 \u4e2d\u6587 <&>");
}

}  // namespace

TEST(ConfigFileTest, ChecksumsHoldWhileAnotherThreadUsesMD5) {
    TempDir dir;
    const auto path = dir.File("Tapper.ini");
    std::atomic<bool> done{false};
    std::thread other([&done] {
        const char text[] = "another user of the digest";
        while (!done.load()) {
            OvCrypt_MD5(text, sizeof text);
        }
    });
    int failed = 0;
    for (int i = 0; i < 300; ++i) {
        CConfigFile written;
        written.SetValue(u"Settings", u"Round", i);
        CConfigFile read;
        if (written.WriteEncoded(path.u16string().c_str()) != 1 || read.ReadEncoded(path.u16string().c_str()) != 1) {
            ++failed;
        }
    }
    done = true;
    other.join();
    EXPECT_EQ(failed, 0);
}
