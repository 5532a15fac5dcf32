// Load and Save of CXmlManager: byte-order marks, the three encodings, the
// ANSI code page of the calling thread, and failures.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "ovmfcstd/XmlManager.h"
#include "platform/codepage.h"

namespace fs = std::filesystem;

namespace {

// Western code page for the process, whatever the machine's locale.
const bool kAnsiPage = (setenv("OV_ACP", "1252", 1), true);

const std::u16string kDoc =
    u"<list name=\"Caf\u00e9\">\r\n    <item id=\"1\">na\u00efve &amp; s\u00fc\u00df</item>\r\n"
    u"    <item id=\"2\"/>\r\n</list>";

std::string DataPath(const char* name) {
    const char* dir = std::getenv("OV_TEST_DATA");
    return std::string(dir ? dir : "tests/data") + "/xml/" + name;
}

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& p, std::string_view bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Utf16Le(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

class XmlFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kAnsiPage);
        dir_ = fs::temp_directory_path() / ("xml_file_test_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const char* name) const { return (dir_ / name).string(); }
    fs::path dir_;
};

TEST_F(XmlFile, Utf8KeepsItsMarkAndEndsWithZero) {
    CXmlManager x;
    ASSERT_EQ(x.Load(DataPath("utf8_bom.xml").c_str()), 1);
    EXPECT_EQ(x.GetType(), XML_FILE_UTF8);
    EXPECT_EQ(x.GetDoc(), kDoc);
    ASSERT_EQ(x.Save(Path("out.xml").c_str()), 1);
    EXPECT_EQ(ReadAll(Path("out.xml")), "\xEF\xBB\xBF" + ov::WideToUtf8(kDoc) + std::string(1, '\0'));
    CXmlManager y;
    ASSERT_EQ(y.Load(Path("out.xml").c_str()), 1);
    EXPECT_EQ(y.GetType(), XML_FILE_UTF8);
    EXPECT_EQ(y.GetDoc(), kDoc);
}

TEST_F(XmlFile, Utf16KeepsItsMarkWithoutTerminator) {
    CXmlManager x;
    std::u16string path16 = ov::Utf8ToWide(DataPath("utf16le.xml"));
    ASSERT_EQ(x.Load(path16.c_str()), 1);
    EXPECT_EQ(x.GetType(), XML_FILE_UNICODE);
    EXPECT_EQ(x.GetDoc(), kDoc);
    std::u16string out16 = ov::Utf8ToWide(Path("out \u00fc.xml"));
    ASSERT_EQ(x.Save(out16.c_str()), 1);
    EXPECT_EQ(ReadAll(Path("out \u00fc.xml")), "\xFF\xFE" + Utf16Le(kDoc));
    // Anything after a zero character is not part of the text.
    WriteAll(Path("nul.xml"), "\xFF\xFE" + Utf16Le(u"<r/>") + std::string(2, '\0') + Utf16Le(u"<junk"));
    ASSERT_EQ(x.Load(Path("nul.xml").c_str()), 1);
    EXPECT_EQ(x.GetDoc(), u"<r/>");
}

TEST_F(XmlFile, AnsiWithoutMarkStaysWithoutMark) {
    CXmlManager x;
    ASSERT_EQ(x.Load(DataPath("cp1252.xml").c_str()), 1);
    EXPECT_EQ(x.GetType(), XML_FILE_ANSI);
    EXPECT_EQ(x.GetDoc(), kDoc);
    ASSERT_EQ(x.Save(Path("out.xml").c_str()), 1);
    std::string bytes = ReadAll(Path("out.xml"));
    EXPECT_EQ(bytes.substr(0, 17), "<list name=\"Caf\xE9\"");
    EXPECT_EQ(bytes.back(), '>');
    // A manager never loaded saves as ANSI too.
    CXmlManager y;
    ASSERT_EQ(y.SetDoc(kDoc.c_str()), 1);
    EXPECT_EQ(y.GetType(), XML_FILE_NONE);
    ASSERT_EQ(y.Save(Path("new.xml").c_str()), 1);
    EXPECT_EQ(ReadAll(Path("new.xml")), bytes);
}

TEST_F(XmlFile, AnsiUsesTheSystemCodePageInEveryThread) {
    std::u16string doc;
    std::string saved;
    std::thread t([&] {
        SetThreadLocale(0x0804);  // Chinese (PRC): thread code page 936
        CXmlManager x;
        if (x.Load(DataPath("cp1252.xml").c_str())) {
            doc = x.GetDoc();
        }
        if (x.Save(Path("thread.xml").c_str())) {
            saved = ReadAll(Path("thread.xml"));
        }
    });
    t.join();
    EXPECT_EQ(doc, kDoc);
    EXPECT_EQ(saved.substr(0, 17), "<list name=\"Caf\xE9\"");
}

TEST_F(XmlFile, RefusedFilesLeaveAnEmptyDocument) {
    struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty.xml", ""},
        {"two.xml", "<r"},
        {"bom_only.xml", "\xEF\xBB\xBF"},
        {"utf16_bom_only.xml", "\xFF\xFE\x00"},
        {"big_endian.xml", "\xFE\xFF" + std::string("\0<\0r\0/\0>", 8)},
        {"bad_utf8.xml", "\xEF\xBB\xBF<r>\xFF</r"},
        {"not_xml.xml", "hello world"},
        {"two_roots.xml", "\xEF\xBB\xBF<a/><b/>"},
    };
    for (const auto& c : cases) {
        WriteAll(Path(c.name), c.bytes);
        CXmlManager x;
        ASSERT_EQ(x.SetDoc(u"<old/>"), 1);
        EXPECT_EQ(x.Load(Path(c.name).c_str()), 0) << c.name;
        EXPECT_EQ(x.GetDoc(), u"") << c.name;
        EXPECT_EQ(x.GetType(), XML_FILE_NONE) << c.name;
    }
    CXmlManager x;
    EXPECT_EQ(x.Load(Path("missing.xml").c_str()), 0);
    EXPECT_EQ(x.Load(dir_.c_str()), 0);
    EXPECT_EQ(x.Load(static_cast<const char16_t*>(nullptr)), 0);
    // Malformed UTF-8 is replaced, not refused.
    WriteAll(Path("repl.xml"),
             "\xEF\xBB\xBF<r>a\xFF"
             "b\xE2\x82</r>");
    ASSERT_EQ(x.Load(Path("repl.xml").c_str()), 1);
    EXPECT_EQ(std::u16string(x.GetData()), u"a\uFFFDb\uFFFD");
}

TEST_F(XmlFile, SaveFailures) {
    CXmlManager x;
    EXPECT_EQ(x.Save(Path("empty.xml").c_str()), 0);
    EXPECT_FALSE(fs::exists(Path("empty.xml")));
    ASSERT_EQ(x.SetDoc(u"<r/>"), 1);
    EXPECT_EQ(x.Save(Path("no/such/dir.xml").c_str()), 0);
    EXPECT_EQ(x.Save(static_cast<const char*>(nullptr)), 0);
    if (fs::exists("/dev/full")) {
        EXPECT_EQ(x.Save("/dev/full"), 0);
        EXPECT_FALSE(fs::is_regular_file("/dev/full"));
    }
}

TEST_F(XmlFile, AFailedSaveLeavesTheOldFileWhole) {
    CXmlManager old;
    ASSERT_EQ(old.SetDoc(u"<r a=\"1\"/>"), 1);
    ASSERT_EQ(old.Save(Path("keep.xml").c_str()), 1);
    const std::string before = ReadAll(Path("keep.xml"));
    ASSERT_FALSE(before.empty());

    // A child limited to 16 bytes of file size cannot write the longer text.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16, 16};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        CXmlManager big;
        const std::u16string text = u"<r><long>" + std::u16string(4096, u'x') + u"</long></r>";
        const bool built = big.SetDoc(text.c_str()) == 1;
        ::_exit(built && big.Save(Path("keep.xml").c_str()) == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadAll(Path("keep.xml")), before);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(XmlFile, SaveKeepsTheModeOfTheFileItReplaces) {
    CXmlManager x;
    ASSERT_EQ(x.SetDoc(u"<r/>"), 1);
    ASSERT_EQ(x.Save(Path("mode.xml").c_str()), 1);
    fs::permissions(Path("mode.xml"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(x.Save(Path("mode.xml").c_str()), 1);
    EXPECT_EQ(fs::status(Path("mode.xml")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

}  // namespace
