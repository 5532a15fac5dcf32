#pragma once
// Placeholder scanning and printf-style formatting of single values for the
// message formatter. The scan is the one of the string tables; the program's
// conversions differ (case-sensitive 64-bit forms, floating point, unknown
// conversions left untouched).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace msgfmt {

// What a placeholder's conversion takes from the argument list.
enum class ArgKind { None, Int32, Int64, Char, Double, WideText };

// One placeholder token ("%d_a%") and its conversion ("%d").
struct Placeholder {
    std::u16string_view token;
    std::u16string_view conversion;
};

// Tokens of a default text in order, pairing "%" characters from left to
// right and skipping "%%"; tokens without "_" are left out.
std::vector<Placeholder> ScanPlaceholders(std::u16string_view text);

// Argument kind of a conversion: exactly "%I64d" or "%I64u", then by the
// last character.
ArgKind ClassifyConversion(std::u16string_view conversion) noexcept;

// Formats one value with the conversion's flags, width and precision.
std::u16string FormatInt(std::u16string_view conversion, std::int64_t value, bool is64);
std::u16string FormatDouble(std::u16string_view conversion, double value);
std::u16string FormatChar(std::u16string_view conversion, char16_t ch);
std::u16string FormatText(std::u16string_view conversion, const char16_t* text);

// Replaces every occurrence of token in text by value, left to right, without
// overlap; false when the token occurs nowhere.
bool ReplaceAll(std::u16string& text, std::u16string_view token, std::u16string_view value);

}  // namespace msgfmt
