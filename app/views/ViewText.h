#pragma once
// Texts of the windows beyond OvText and ToQString (QtText.h).
#include <string_view>

#include <QString>

#include "QtText.h"

// The text of a message (id, english) that says what could not be saved in
// the settings file, which fills its one placeholder "%s_a%".
QString NotSavedText(unsigned id, const char16_t* english);
