#pragma once
// Placeholder scanning and printf-style formatting of single values for the
// string table's substitution. Internal to ovmui.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ovmui {

// What a placeholder's conversion takes from the argument list.
enum class ArgKind { None, Int32, Int64, Char, WideText };

// One placeholder token ("%d_a%") and its conversion ("%d").
struct Placeholder {
    std::u16string_view token;
    std::u16string_view conversion;
};

// Tokens of a default text in order, pairing "%" characters from left to
// right and skipping "%%"; tokens without "_" are left out.
std::vector<Placeholder> ScanPlaceholders(std::u16string_view text);

// Argument kind of a conversion: the two 64-bit forms without regard to case,
// then by the last character.
ArgKind ClassifyConversion(std::u16string_view conversion) noexcept;

// Formats one value with the conversion's flags, width and precision.
std::u16string FormatInt(std::u16string_view conversion, std::int64_t value, bool is64);
std::u16string FormatChar(std::u16string_view conversion, char16_t ch);
std::u16string FormatText(std::u16string_view conversion, const char16_t* text);

// Replaces every occurrence of token in text by value, left to right, without
// overlap; false when the token occurs nowhere.
bool ReplaceAll(std::u16string& text, std::u16string_view token, std::u16string_view value);

// Case-insensitive equality of two wide texts (ASCII, Latin-1, Greek, Cyrillic).
bool EqualNoCase(std::u16string_view a, std::u16string_view b) noexcept;

// The C library's text-to-integer reading: blanks, sign, digits; 0 without
// digits; saturates at the int range.
int WideToInt(std::u16string_view text) noexcept;

}  // namespace ovmui
