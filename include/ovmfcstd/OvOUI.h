#pragma once
// Manufacturer table keyed by the organisationally unique identifier (the
// first three bytes of a hardware address), read from an XML data file.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "ovmfcstd/ovmfcstd_export.h"

// OUI number to manufacturer name; the number packs the address bytes
// b0 b1 b2 as b0 + b1 * 256 + b2 * 65536.
class OVMFCSTD_API COvOUI {
public:
    // No table until the first successful Open.
    COvOUI() noexcept;
    ~COvOUI();
    COvOUI(const COvOUI&) = delete;
    COvOUI& operator=(const COvOUI&) = delete;

    // Reads an "OUI" document (null path: "OUI.dat" beside the library);
    // 1 on success, 0 with the previous table kept.
    int Open(const char16_t* path = nullptr) noexcept;
    // Manufacturer of an OUI number; empty when unknown.
    std::u16string GetManufacturer(unsigned int number) const noexcept;
    // Manufacturer of an address text ("00:0A:1B", "00-0A-1B-..", "000A1B..");
    // empty for text of 7 characters or fewer, or when unknown.
    std::u16string GetManufacturer(std::u16string_view text) const noexcept;
    // Empties the table; the object stays usable.
    void RemoveAll() noexcept;

private:
    std::unique_ptr<std::unordered_map<std::uint32_t, std::u16string>> m_table;
};
