#pragma once
// Texts of the windows: every text a window shows comes from the message
// catalogue through LoadFormatString, in the language selected at the call.
#include <string_view>

#include <QString>

class QWidget;

// Text of message id (english is its built-in text), without placeholders.
QString OvText(unsigned id, const char16_t* english);
// A wide text of the engine or the text producers as a QString.
QString ToQString(std::u16string_view text);
// Tells the user in a message box over parent that what the message (id,
// english, one "%s_a%" for the settings file) names could not be saved.
void ShowNotSaved(QWidget* parent, unsigned id, const char16_t* english);
