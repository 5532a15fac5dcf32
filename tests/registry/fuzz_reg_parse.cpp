// Parses arbitrary text as a registry file; whatever parses must come back
// unchanged from its own serialisation.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "../../platform/src/registry_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ov::reg::Hive hive;
    std::string error;
    if (!ov::reg::ParseHive(text, u"HKEY_CURRENT_USER", hive, error)) {
        return 0;
    }
    const std::string once = ov::reg::SerializeHive(hive, u"HKEY_CURRENT_USER");
    ov::reg::Hive again;
    if (!ov::reg::ParseHive(once, u"HKEY_CURRENT_USER", again, error) ||
        ov::reg::SerializeHive(again, u"HKEY_CURRENT_USER") != once) {
        std::abort();
    }
    return 0;
}
