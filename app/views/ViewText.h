#pragma once
// Texts of the windows: every text a window shows comes from the message
// catalogue through LoadFormatString, in the language selected at the call.
#include <string_view>

#include <QString>

// Text of message id (english is its built-in text), without placeholders.
QString OvText(unsigned id, const char16_t* english);
// A wide text of the engine or the text producers as a QString.
QString ToQString(std::u16string_view text);
// The text of a message (id, english) that says what could not be saved in
// the settings file, which fills its one placeholder "%s_a%".
QString NotSavedText(unsigned id, const char16_t* english);
