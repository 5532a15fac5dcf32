#include "HostEntry.h"

#include "platform/escape.h"

std::u16string TrimHostEntryText(std::u16string_view text) {
    const auto first = text.find_first_not_of(kHostEntryTrimSet);
    if (first == std::u16string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kHostEntryTrimSet);
    return std::u16string(text.substr(first, last - first + 1));
}

bool HasInvalidHostChar(std::u16string_view text) noexcept {
    return text.find_first_of(kHostEntryInvalidSet) != std::u16string_view::npos ||
           ov::HasControlChar(text);
}
