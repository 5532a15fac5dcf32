#pragma once
// Host list files: plain UTF-8 text with one or more hosts per line,
// separated as the host entry separates them (blanks, commas, semicolons;
// a tab counts as a blank), "#" starting a comment to the end of its line,
// blank lines ignored, CRLF or LF line ends, an optional byte order mark.
// Read and written the same way by the window and the console mode. No Qt.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// At most this many hosts are taken from one list.
inline constexpr std::size_t kMaxHostListHosts = 10000;
// A host list file larger than this is refused before it is read.
inline constexpr std::uint64_t kMaxHostListBytes = 16ull << 20;

// Why a host list could not be taken.
enum class HostListProblem {
    None,
    Missing,       // nothing at the path
    NotRegular,    // a folder, FIFO, device or socket
    TooLarge,      // more than kMaxHostListBytes
    Unreadable,    // error holds the errno
    NotUtf8,       // line holds bytes that are not UTF-8
    NulByte,       // line holds a NUL byte: not a text file
    InvalidChar,   // line holds a character no host name can have
    TooManyHosts,  // count hosts, more than kMaxHostListHosts
    NoHosts,       // only comments and blank lines
};

// What reading a host list gave: the hosts in order, or the first problem.
struct HostList {
    std::vector<std::u16string> hosts;
    HostListProblem problem = HostListProblem::None;
    int error = 0;          // errno of Unreadable
    std::size_t line = 0;   // 1-based line of NotUtf8, NulByte, InvalidChar
    std::size_t count = 0;  // hosts in the whole text (for TooManyHosts)

    bool Ok() const noexcept { return problem == HostListProblem::None; }
    // The hosts joined by blanks, as the host entry holds them.
    std::u16string EntryText() const;
};

// The hosts of a host list's bytes.
HostList ParseHostList(std::string_view bytes);
// The hosts of the file at path; "-" reads standard input to its end.
HostList ReadHostListFile(const std::string& path);
// The hosts of the text the host entry holds (split as a run splits it).
std::vector<std::u16string> HostsOfEntryText(std::u16string_view text);
// A host list file's bytes for hosts: one host per line, LF line ends.
std::string FormatHostList(const std::vector<std::u16string>& hosts);
// Writes hosts to path, replacing any file there as a whole or not at all;
// 0, or the errno of the failure (EIO when none was recorded).
int WriteHostListFile(const std::string& path, const std::vector<std::u16string>& hosts);

// A sentence on a failed read of the host list at shownPath (as the user
// named it), in the selected language.
std::u16string HostListProblemText(const HostList& list, std::u16string_view shownPath);
