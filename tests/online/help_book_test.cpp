// Help books and offline pages: complete in every language, links between
// pages intact, copied beside the program by the build.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "OnlineAddress.h"
#include "platform/codepage.h"

namespace fs = std::filesystem;

namespace {

const char16_t* const kPages[] = {kHelpContents, kHelpMainWindow,  kHelpLogList, kHelpStatTree, kHelpChart,
                                  kHelpOptions,  kHelpCommandLine, kHelpConsole, kHelpIcmp,     kHelpTroubleshooting};

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Narrow(std::u16string_view text) {
    return ov::WideToUtf8(text);
}

class HelpBook : public ::testing::TestWithParam<const char*> {};

TEST_P(HelpBook, HasEveryPageWithIntactLinks) {
    const fs::path book = fs::path(OV_SOURCE_MUI) / GetParam() / "help";
    const std::regex href("href=\"([^\"#:]+)(#[^\"]*)?\"");
    const std::regex title("<title>[^<]+</title>");
    for (const char16_t* page : kPages) {
        const fs::path file = book / Narrow(page);
        ASSERT_TRUE(fs::is_regular_file(file)) << file;
        const std::string html = Read(file);
        EXPECT_TRUE(std::regex_search(html, title)) << file;
        EXPECT_NE(html.find("charset=\"utf-8\""), std::string::npos) << file;
        for (auto it = std::sregex_iterator(html.begin(), html.end(), href); it != std::sregex_iterator(); ++it) {
            EXPECT_TRUE(fs::is_regular_file(book / (*it)[1].str())) << file << " links to " << (*it)[1];
        }
    }
    // The contents page leads to every other page.
    const std::string contents = Read(book / Narrow(kHelpContents));
    for (const char16_t* page : kPages) {
        if (std::u16string_view(page) != kHelpContents) {
            EXPECT_NE(contents.find("href=\"" + Narrow(page) + "\""), std::string::npos) << Narrow(page);
        }
    }
    EXPECT_TRUE(fs::is_regular_file(fs::path(OV_SOURCE_MUI) / GetParam() / "Website" / "tapper.html"));
}

TEST_P(HelpBook, CopiedBesideTheProgram) {
    const char* bin = std::getenv("OV_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    const std::u16string appDir = ov::Utf8ToWide(std::string(bin) + "/");
    const std::u16string language = ov::Utf8ToWide(GetParam());
    EXPECT_TRUE(HasHelpBook(appDir, language));
    for (const char16_t* page : kPages) {
        const fs::path source = fs::path(OV_SOURCE_MUI) / GetParam() / "help" / Narrow(page);
        const fs::path copy = Narrow(HelpBookFolder(appDir, language) + page);
        EXPECT_EQ(Read(copy), Read(source)) << copy;
    }
    EXPECT_TRUE(fs::is_regular_file(Narrow(LocalResourcePage(appDir, language))));
}

INSTANTIATE_TEST_SUITE_P(Languages, HelpBook, ::testing::Values("en_us", "de_de", "zh_cn"));

TEST(HelpBookPaths, FollowTheProgramFolderAndLanguage) {
    EXPECT_EQ(HelpBookFolder(u"/opt/t/", u"de_de"), u"/opt/t/mui/de_de/help/");
    EXPECT_EQ(LocalResourcePage(u"/opt/t/", u"zh_cn"), u"/opt/t/mui/zh_cn/Website/tapper.html");
    const char* bin = std::getenv("OV_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    EXPECT_FALSE(HasHelpBook(ov::Utf8ToWide(std::string(bin) + "/"), u"xx_yy"));
}

}  // namespace
