#pragma once
// Checks of the host entry text before a run starts.
#include <string>
#include <string_view>

// Characters that make host entry text invalid.
inline constexpr std::u16string_view kHostEntryInvalidSet = u"`~!@#$%^&*()=+|{}[]:\"'<>?";

// The text with every character of the host trim set (kHostTokenTrimSet)
// removed from both ends.
std::u16string TrimHostEntryText(std::u16string_view text);
// True when the text holds any character of the invalid set or a control
// character (one host must never print as two lines or steer a terminal).
bool HasInvalidHostChar(std::u16string_view text) noexcept;
