#include "ovmfcstd/OvOUI.h"

#include "OvXmlParser.h"
#include "tables_common.h"

namespace {

// Address text of exactly 8 characters ("00:0A:1B", or eight digits without
// separators) to its OUI number: colons are dropped, the first six remaining
// characters are read as three hexadecimal pairs, a character that is no
// hexadecimal digit counts as 0. -1 for any other length, and when fewer
// than six characters remain once the colons are gone.
long AddressToNumber(std::u16string_view text) noexcept {
    if (text.size() != 8) {
        return -1;
    }
    char16_t digits[8];
    std::size_t count = 0;
    for (const char16_t c : text) {
        if (c != u':') {
            digits[count++] = c;
        }
    }
    if (count < 6) {
        return -1;
    }
    long number = 0;
    for (int i = 0; i < 3; ++i) {
        const int high = ovmfcstd::HexDigit(digits[2 * i]);
        const int low = ovmfcstd::HexDigit(digits[2 * i + 1]);
        const long byte = (high < 0 ? 0 : high) * 16 + (low < 0 ? 0 : low);
        number |= byte << (8 * i);  // first byte lowest
    }
    return number;
}

}  // namespace

COvOUI::COvOUI() noexcept = default;

COvOUI::~COvOUI() = default;

int COvOUI::Open(const char16_t* path) noexcept {
    try {
        std::u16string defaultPath;
        if (!path) {
            defaultPath = ovmfcstd::LibraryFolderFile("OUI.dat");
            if (defaultPath.empty()) {
                return 0;
            }
            path = defaultPath.c_str();
        }
        COvXmlParser xml;
        if (!xml.Load(path) || !xml.FindElem(u"OUI")) {
            return 0;
        }

        // Filled aside and swapped in, so that a failure keeps the old table.
        std::unordered_map<std::uint32_t, std::u16string> table;
        xml.IntoElem();
        while (xml.FindElem(u"Entry")) {
            const long number = AddressToNumber(xml.GetAttrib(u"address"));
            if (number < 0) {
                continue;
            }
            std::u16string name = xml.GetAttrib(u"name");
            if (!name.empty()) {
                table.insert_or_assign(static_cast<std::uint32_t>(number), std::move(name));
            }
        }
        xml.OutOfElem();

        if (!m_table) {
            m_table = std::make_unique<std::unordered_map<std::uint32_t, std::u16string>>();
        }
        m_table->swap(table);
        return 1;
    } catch (...) {
        return 0;
    }
}

std::u16string COvOUI::GetManufacturer(unsigned int number) const noexcept {
    try {
        if (m_table) {
            const auto it = m_table->find(number);
            if (it != m_table->end()) {
                return it->second;
            }
        }
    } catch (...) {
    }
    return {};
}

std::u16string COvOUI::GetManufacturer(std::u16string_view text) const noexcept {
    if (text.size() <= 7) {
        return {};
    }
    // A longer address keeps its first three bytes; hyphens read as colons.
    char16_t cut[8];
    for (std::size_t i = 0; i < 8; ++i) {
        cut[i] = text[i] == u'-' ? u':' : text[i];
    }
    const long number = AddressToNumber(std::u16string_view(cut, 8));
    if (number < 0) {
        return {};
    }
    return GetManufacturer(static_cast<unsigned int>(number));
}

void COvOUI::RemoveAll() noexcept {
    if (m_table) {
        m_table->clear();
    }
}
