#pragma once
// Catalogue texts of the application's windows as QString.
#include <string>

#include <QString>

#include "MsgFormat.h"

// Text of message id; args (std::u16string) fill its placeholders in order.
template <typename... Args>
QString AppText(unsigned int id, const char16_t* defText, const Args&... args) {
    return QString::fromStdU16String(LoadFormatString(id, defText, args.c_str()...));
}
