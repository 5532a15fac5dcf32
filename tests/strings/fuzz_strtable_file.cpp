// Arbitrary string-table files: the input is the whole file. The first byte
// picks the version asked for, so that both accepted and rejected files
// are reached; the rest is the file.
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "fuzz_defaults.h"
#include "platform/codepage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static const std::string path = "/tmp/fuzz_strtable_file." + std::to_string(getpid()) + ".xml";
    static const std::u16string widePath = ov::Utf8ToWide(path);
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data + 1, 1, size - 1, f);
        std::fclose(f);
    }
    COvStringTable table;
    const int version = data[0] % 4;
    table.LoadResFile(widePath.c_str(), u"Tapper", u"en_us", version);
    table.LoadResFile(widePath.c_str(), u"Tapper", u"en_us", version);  // appends a second copy
    FormatAllDefaults(table);
    return 0;
}
