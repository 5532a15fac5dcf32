#pragma once
// Texts of the statistics tree: the eight lines under a host node, their
// arithmetic, and the text that Copy Host puts on the clipboard.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/icmp.h"
#include "PingTypes.h"

// The eight statistic lines of one host node, in tree order.
using StatLines = std::array<std::u16string, 8>;

// Values derived from the counters of one host.
struct StatDerived {
    std::uint32_t received = 0;
    std::uint32_t lossPercent = 0;  // valid when sent != 0
    std::uint32_t average = 0;      // valid when sent != lost
};

// Received, truncated loss percentage and the average clamped to minimum and maximum.
StatDerived DeriveStatistics(const PING_STATS& s) noexcept;

// The eight lines for one snapshot of counters, address and country.
StatLines FormatStatLines(const PING_STATS& s, IPAddr address, std::u16string_view country);

// Host line and its lines, each followed by "\r\n", and one final space.
std::u16string FormatCopyHostText(std::u16string_view host, const StatLines& lines);

// What the clipboard receives for a copied text: empty stays empty, anything
// else gets one space appended.
std::u16string ClipboardText(std::u16string text);
