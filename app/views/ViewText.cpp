#include "ViewText.h"

#include "platform/codepage.h"
#include "platform/escape.h"
#include "platform/registry.h"

QString NotSavedText(unsigned id, const char16_t* english) {
    const std::u16string file = ov::EscapeControls(ov::Utf8ToWide(ov::RegistryFile(HKEY_CURRENT_USER)));
    return OvText(id, english, file);
}
