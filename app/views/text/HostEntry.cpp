#include "HostEntry.h"

#include "OvPingDoc.h"
#include "platform/escape.h"

std::u16string TrimHostEntryText(std::u16string_view text) {
    return std::u16string(TrimHostText(text));
}

bool HasInvalidHostChar(std::u16string_view text) noexcept {
    return text.find_first_of(kHostEntryInvalidSet) != std::u16string_view::npos || ov::HasControlChar(text);
}
