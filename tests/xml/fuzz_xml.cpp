// Fuzz target: arbitrary bytes as a document text (SetDoc, AddSubDoc) and as
// a file (Load), then the cursor, writer and copy over whatever was built.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "ovmfcstd/XmlManager.h"

namespace {

void Exercise(CXmlManager& x) {
    std::u16string doc = x.GetDoc();
    x.ResetAll();
    for (int i = 0; i < 4 && x.Find(nullptr); ++i) {
        x.GetName();
        x.GetData();
        x.GetAttr(u"a");
        x.GetSubDoc();
        x.GetChildDoc();
        x.Into();
    }
    x.OutOf();
    std::u16string t;
    x.GetElemData(u"r\\a", t);
    CXmlManager copy(x);
    if (copy.GetDoc() != doc) {
        __builtin_trap();  // a copy must write the same text
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t mode = data[0];
    ++data;
    --size;
    CXmlManager x;
    if (mode & 1) {
        // Bytes as a file: mark detection, encodings, then the parser.
        static const std::string path = "/tmp/fuzz_xml_" + std::to_string(getpid()) + ".xml";
        if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
            std::fwrite(data, 1, size, f);
            std::fclose(f);
            x.Load(path.c_str());
        }
    } else {
        // Bytes as UTF-16 text, or as ASCII-range text for denser markup.
        std::u16string text;
        if (mode & 2) {
            for (std::size_t i = 0; i + 1 < size; i += 2) {
                text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
            }
        } else {
            for (std::size_t i = 0; i < size; ++i) {
                text.push_back(data[i]);
            }
        }
        text.resize(std::char_traits<char16_t>::length(text.c_str()));
        if (mode & 4) {
            x.AddElem(u"r");
            x.AddChildElem(u"a");
            x.AddSubDoc(text.c_str());
        } else {
            x.SetDoc(text.c_str());
        }
        if (!text.empty() && text.find(u"</r>") == std::u16string::npos) {
            // A whole document is parsed in one pass; added content is cut at
            // each first closing tag literally. Both must agree on a root's content.
            CXmlManager whole, added;
            int a = whole.SetDoc((u"<r>" + text + u"</r>").c_str());
            added.AddElem(u"r");
            int b = added.AddSubDoc(text.c_str());
            if (a != b || (a && whole.GetDoc() != added.GetDoc())) {
                __builtin_trap();
            }
        }
    }
    Exercise(x);
    return 0;
}
