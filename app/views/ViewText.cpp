#include "ViewText.h"

#include "MsgFormat.h"

QString OvText(unsigned id, const char16_t* english) {
    return QString::fromUtf16(LoadFormatString(id, english));
}

QString ToQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
