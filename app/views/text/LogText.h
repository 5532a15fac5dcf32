#pragma once
// Texts of the log list: time stamps, status words, the classic lines and the
// five table cells of one event. Shared by the log list window and the console.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/wintypes.h"
#include "PingTypes.h"

// Local time of t (seconds since 1970 UTC) as "year-month-day hh:mm:ss",
// the date parts without leading zeros.
std::u16string FormatTimeStamp(std::int64_t t);

// Long and short status texts per event type, loaded once in the language
// active at construction. Unknown types have empty texts.
class CLogTexts {
public:
    static constexpr int kTypes = 8;

    // Loads both tables through the message formatter.
    CLogTexts();

    // Long status text of an event type ("Request timed out.").
    const std::u16string& Long(std::int32_t type) const noexcept;
    // Short status text of an event type ("TimeOut.").
    const std::u16string& Short(std::int32_t type) const noexcept;

private:
    std::array<std::u16string, kTypes> m_long;
    std::array<std::u16string, kTypes> m_short;
    std::u16string m_empty;
};

// The classic line of an event: "[time stamp]Reply form host: ...".
std::u16string FormatClassicLine(const PING_EVENT& e, std::u16string_view host, const CLogTexts& texts);
// The short classic line of an event, numbered with its row index.
std::u16string FormatShortClassicLine(const PING_EVENT& e, std::uint32_t row, const CLogTexts& texts);

// Columns of the table view.
enum LogColumn : int { kColTimeStamp = 0, kColStatus, kColBytes, kColRTime, kColTTL, kColCount };

// Display text of one table cell; empty for an unknown column.
std::u16string FormatTableCell(const PING_EVENT& e, int column, const CLogTexts& texts);
// The shorter text of one table cell; column 0 shows the absolute row number.
std::u16string FormatTableCellShort(const PING_EVENT& e, int column, std::uint32_t absoluteRow, const CLogTexts& texts);
