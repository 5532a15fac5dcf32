// Arbitrary table texts: the input becomes the text of every message id in a
// string-table file, which the program's messages are then formatted with.
#include <cstdint>
#include <string>

#include <unistd.h>

#include "EnglishStrings.h"
#include "fuzz_defaults.h"
#include "platform/codepage.h"

namespace {

std::string Escape(const std::uint8_t* data, std::size_t size) {
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string TablePath() {
    return "/tmp/fuzz_strtable_text." + std::to_string(getpid()) + ".xml";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = TablePath();
    static const std::u16string widePath = ov::Utf8ToWide(path);
    const std::string text = Escape(data, size);
    std::string file = "<StringTable name=\"Tapper\" language=\"en_us\" version=\"1\">";
    for (const OV_MESSAGE& m : EnglishMessages()) {
        file += "<String id=\"" + std::to_string(m.id) + "\">" + text + "</String>";
    }
    file += "</StringTable>";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(file.data(), 1, file.size(), f);
        std::fclose(f);
    }
    COvStringTable table;
    table.LoadResFile(widePath.c_str(), u"Tapper", u"en_us", 1);
    FormatAllDefaults(table);
    return 0;
}
