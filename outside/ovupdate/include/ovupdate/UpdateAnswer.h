#pragma once
// The update server's answer and the comparison of version texts; plain code
// without any window, so that it can be tested and fuzzed alone.
//
// The updater asks with an HTTP GET of the update address plus the query
// "product=<title>&version=<version>". The server answers 200 with a small
// UTF-8 XML document (at most 64 KiB, no document type declaration):
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <OvUpdate product="Orvantek Ping Tool">
//     <Version>1.2.0.301</Version>
//     <Download>https://www.orvantek.example/tapper/download.html</Download>
//     <Notes>What changed, as plain text.</Notes>
//   </OvUpdate>
//
// - product (optional): when present it must name the product asked about.
// - Version: the latest version, one to four decimal parts separated by ".",
//   each 0 to 65535 (blanks around the text are ignored).
// - Download: the page to offer, an http:// or https:// address of at most
//   2048 characters without blanks or control characters.
// - Notes (optional): plain text, never markup; cut to 4000 characters,
//   control characters other than line feed and tab removed.
// Anything else in the document is ignored.
#include <cstddef>
#include <string>
#include <string_view>

// Largest answer body the updater accepts.
inline constexpr std::size_t kMaxUpdateAnswerBytes = 64 * 1024;
// Longest download address and notes kept.
inline constexpr std::size_t kMaxDownloadChars = 2048;
inline constexpr std::size_t kMaxNotesChars = 4000;

// What an accepted answer says.
struct OV_UPDATE_ANSWER {
    std::u16string version;   // trimmed, valid version text
    std::u16string download;  // http or https address
    std::u16string notes;     // cleaned plain text, may be empty
};

// Outcome of reading an answer.
enum OV_ANSWER_RESULT : int {
    ANSWER_OK = 0,
    ANSWER_TOO_LARGE = 1,      // more than kMaxUpdateAnswerBytes
    ANSWER_NOT_TEXT = 2,       // not UTF-8, or holds a zero byte
    ANSWER_DOCTYPE = 3,        // a document type or entity declaration
    ANSWER_MALFORMED = 4,      // not an XML document with the OvUpdate root
    ANSWER_WRONG_PRODUCT = 5,  // names another product
    ANSWER_BAD_VERSION = 6,    // Version missing or not a version
    ANSWER_BAD_ADDRESS = 7,    // Download missing or not an http(s) address
};

// Checks and reads an answer body for product; answer is changed only on ANSWER_OK.
OV_ANSWER_RESULT ParseUpdateAnswer(std::string_view body, std::u16string_view product,
                                   OV_UPDATE_ANSWER& answer) noexcept;

// True when text is a version: one to four decimal parts of 0 to 65535 separated by ".".
bool IsValidVersion(std::u16string_view text) noexcept;
// Compares two versions part by part as numbers, a missing part counting as 0:
// order becomes negative, 0 or positive as a is older, the same or newer than
// b. False, order unchanged, when either is not a version.
bool CompareVersions(std::u16string_view a, std::u16string_view b, int& order) noexcept;
