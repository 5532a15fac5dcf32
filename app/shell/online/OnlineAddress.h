#pragma once
// The program's web addresses and the files that stand in for them offline.
// Every address is kept Base64-encoded under the program's own alphabet (see
// alphabet.h) and decoded at each use; their plain values are made at build
// time from the web site's base address (CMake cache variable OV_WEB_BASE).
#include <string>
#include <string_view>

// Which address; the order of the generated table.
enum OV_ADDRESS : int {
    ADDR_ONLINE_RESOURCE = 0,  // page of the "Online Resource" pane
    ADDR_ONLINE_HELP = 1,      // help on the web, used without an installed help book
    ADDR_HOME_PAGE = 2,        // the maker's home page
    ADDR_FORUM = 3,            // support forum, the same for every language
    ADDR_UPDATE_CHECK = 4,     // where the updater asks for the latest version
    ADDR_COUNT = 5,
};

// True for the two languages with the Chinese address set, "zh_cn" and
// "zh_tw"; compared case-sensitively, so "ZH_TW" uses the other set.
bool UsesChineseAddresses(std::u16string_view language) noexcept;
// The stored, encoded text of an address for a language; null for an unknown one.
const char16_t* EncodedAddress(OV_ADDRESS which, std::u16string_view language) noexcept;
// The address decoded with the coder library's current alphabet (start-up
// installs the program's); empty for an unknown one.
std::u16string OnlineAddress(OV_ADDRESS which, std::u16string_view language);

// Installed copy of the online resource page: appDir "mui/" language "/Website/tapper.html".
std::u16string LocalResourcePage(std::u16string_view appDir, std::u16string_view language);
// Folder of the help book of a language, ending with "/": appDir "mui/" language "/help/".
std::u16string HelpBookFolder(std::u16string_view appDir, std::u16string_view language);
// True when the language's help book has its contents page.
bool HasHelpBook(std::u16string_view appDir, std::u16string_view language);

// Pages of every help book, by subject (file names inside HelpBookFolder).
inline constexpr char16_t kHelpContents[] = u"index.html";
inline constexpr char16_t kHelpMainWindow[] = u"mainwindow.html";
inline constexpr char16_t kHelpLogList[] = u"loglist.html";
inline constexpr char16_t kHelpStatTree[] = u"stattree.html";
inline constexpr char16_t kHelpChart[] = u"chart.html";
inline constexpr char16_t kHelpOptions[] = u"options.html";
inline constexpr char16_t kHelpCommandLine[] = u"cmdline.html";
inline constexpr char16_t kHelpConsole[] = u"console.html";
inline constexpr char16_t kHelpIcmp[] = u"icmp.html";
inline constexpr char16_t kHelpTroubleshooting[] = u"troubleshooting.html";
