#pragma once
// Names that come from outside the program (host names, paths, texts of
// databases and servers) are shown with their control characters escaped, so
// that one name can neither print as two lines nor steer a terminal.
#include <string>
#include <string_view>

namespace ov {

// True for a character that is escaped: C0 and C1 controls, DEL, the line
// and paragraph separators and the bidirectional embedding controls.
bool IsControlChar(char32_t c) noexcept;
// True when text holds such a character.
bool HasControlChar(std::u16string_view text) noexcept;
// text with every such character written out: "\n", "\r", "\t", "\x1b",
// "\u2028"; everything else as it is.
std::u16string EscapeControls(std::u16string_view text);
// The same for UTF-8 text.
std::string EscapeControls(std::string_view utf8);

}  // namespace ov
