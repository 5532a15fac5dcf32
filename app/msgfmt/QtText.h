#pragma once
// Catalogue texts and wide strings as QString, for the windows and the
// Qt-based libraries: every text a window shows comes from the message
// catalogue through LoadFormatString, in the language selected at the call.
// Header only; the formatter itself has no Qt.
#include <string>
#include <string_view>

#include <QString>

#include "MsgFormat.h"

namespace ov::qttext {
// What LoadFormatString takes for an argument: wide strings as their
// characters, numbers and character pointers as they are.
inline const char16_t* Arg(const std::u16string& text) noexcept {
    return text.c_str();
}
template <typename T>
T Arg(T value) noexcept {
    return value;
}
}  // namespace ov::qttext

// A wide text of the engine or the text producers as a QString.
inline QString ToQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// Text of message id with its placeholders filled in from args, in order, as
// LoadFormatString fills them (std::u16string arguments are taken as text).
template <typename... Args>
QString OvText(unsigned int id, const char16_t* defText, const Args&... args) {
    return QString::fromUtf16(LoadFormatString(id, defText, ov::qttext::Arg(args)...));
}
