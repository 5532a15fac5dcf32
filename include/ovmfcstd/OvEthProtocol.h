#pragma once
// Descriptions of 16-bit protocol type numbers (the EtherType field of an
// Ethernet frame), read as number ranges from an XML data file.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ovmfcstd/ovmfcstd_export.h"

// Protocol number ranges with their descriptions, in file order.
class OVMFCSTD_API COvEthProtocol {
public:
    // One range of the list; it covers n when start <= n <= end.
    struct Entry {
        std::uint16_t start = 0;
        std::uint16_t end = 0;
        std::u16string des;
    };

    // No list until the first successful Open.
    COvEthProtocol() noexcept;
    ~COvEthProtocol();
    COvEthProtocol(const COvEthProtocol&) = delete;
    COvEthProtocol& operator=(const COvEthProtocol&) = delete;

    // Reads an "EthProtocol" document (null path: "EtherProto.dat" beside the
    // library); 1 on success, 0 with the previous list kept.
    int Open(const char16_t* path = nullptr) noexcept;
    // Description of the first entry covering number; empty when none.
    std::u16string GetProtoDes(unsigned short number) const noexcept;
    // Same for four hexadecimal digits; empty for any other text and "FFFF".
    std::u16string GetProtoDes(std::u16string_view text) const noexcept;
    // Empties the list; the object stays usable.
    void RemoveAll() noexcept;

private:
    std::unique_ptr<std::vector<Entry>> m_list;
};
