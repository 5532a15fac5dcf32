#include "ovmfcstd/OvEthProtocol.h"

#include "OvXmlParser.h"
#include "tables_common.h"

namespace {

// Four hexadecimal digits of either case to their number; -1 for any other
// text, and for "FFFF", whose value equals that mark.
long HexToNumber(std::u16string_view text) noexcept {
    if (text.size() != 4) {
        return -1;
    }
    long number = 0;
    for (const char16_t c : text) {
        const int digit = ovmfcstd::HexDigit(c);
        if (digit < 0) {
            return -1;
        }
        number = number * 16 + digit;
    }
    return number == 0xFFFF ? -1 : number;
}

}  // namespace

COvEthProtocol::COvEthProtocol() noexcept = default;

COvEthProtocol::~COvEthProtocol() = default;

int COvEthProtocol::Open(const char16_t* path) noexcept {
    try {
        std::u16string defaultPath;
        if (!path) {
            defaultPath = ovmfcstd::LibraryFolderFile("EtherProto.dat");
            if (defaultPath.empty()) {
                return 0;
            }
            path = defaultPath.c_str();
        }
        COvXmlParser xml;
        if (!xml.Load(path) || !xml.FindElem(u"EthProtocol")) {
            return 0;
        }

        // Filled aside and swapped in, so that a failure keeps the old list.
        std::vector<Entry> list;
        xml.IntoElem();
        while (xml.FindElem(u"Entry")) {
            const std::u16string startText = xml.GetAttrib(u"start");
            const long start = HexToNumber(startText);
            if (start < 0) {
                continue;
            }
            const std::u16string endText = xml.GetAttrib(u"end");
            const long end = endText == startText ? -1 : HexToNumber(endText);
            Entry entry;
            entry.start = static_cast<std::uint16_t>(start);
            entry.end = static_cast<std::uint16_t>(end < 0 ? start : end);
            entry.des = xml.GetAttrib(u"des");
            list.push_back(std::move(entry));
        }
        xml.OutOfElem();

        if (!m_list) {
            m_list = std::make_unique<std::vector<Entry>>();
        }
        m_list->swap(list);
        return 1;
    } catch (...) {
        return 0;
    }
}

std::u16string COvEthProtocol::GetProtoDes(unsigned short number) const noexcept {
    try {
        if (m_list) {
            for (const Entry& e : *m_list) {
                if (e.start <= number && number <= e.end) {
                    return e.des;
                }
            }
        }
    } catch (...) {
    }
    return {};
}

std::u16string COvEthProtocol::GetProtoDes(std::u16string_view text) const noexcept {
    const long number = HexToNumber(text);
    if (number < 0) {
        return {};
    }
    return GetProtoDes(static_cast<unsigned short>(number));
}

void COvEthProtocol::RemoveAll() noexcept {
    if (m_list) {
        m_list->clear();
    }
}
