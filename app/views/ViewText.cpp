#include "ViewText.h"

#include "MsgFormat.h"
#include "platform/codepage.h"
#include "platform/escape.h"
#include "platform/registry.h"

QString OvText(unsigned id, const char16_t* english) {
    return QString::fromUtf16(LoadFormatString(id, english));
}

QString ToQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QString NotSavedText(unsigned id, const char16_t* english) {
    const std::u16string file = ov::EscapeControls(ov::Utf8ToWide(ov::RegistryFile(HKEY_CURRENT_USER)));
    return QString::fromUtf16(LoadFormatString(id, english, file.c_str()));
}
