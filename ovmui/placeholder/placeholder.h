#pragma once
// Placeholder scanning and printf-style formatting of single values, shared by
// the string tables and the program's message formatter. The two differ only
// in the points a Dialect names.
#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ov::placeholder {

// What a placeholder's conversion takes from the argument list.
enum class ArgKind { None, Int32, Int64, Char, Double, WideText };

// Where the two users of placeholders part ways.
struct Dialect {
    // "%I64d"/"%I64u" matched without regard to case (else exactly as written).
    bool int64AnyCase = false;
    // 'f' conversions take a double (else they take no argument).
    bool floatingPoint = false;
    // A conversion that takes no argument keeps its token in the text (else
    // the token is removed).
    bool keepUnknownTokens = false;
};

// The string tables' placeholders.
inline constexpr Dialect kStringTableDialect{true, false, false};
// The program's message texts.
inline constexpr Dialect kMessageDialect{false, true, true};

// One placeholder token ("%d_a%") and its conversion ("%d").
struct Placeholder {
    std::u16string_view token;
    std::u16string_view conversion;
};

// A token and the text that replaces it.
struct Substitution {
    std::u16string_view token;
    std::u16string value;
};

// Tokens of a default text in order, pairing "%" characters from left to
// right and skipping "%%"; tokens without "_" are left out.
std::vector<Placeholder> ScanPlaceholders(std::u16string_view text);

// Argument kind of a conversion: the two 64-bit forms first, then by the last
// character.
ArgKind ClassifyConversion(std::u16string_view conversion, const Dialect& dialect) noexcept;

// Formats one value with the conversion's flags, width and precision.
std::u16string FormatInt(std::u16string_view conversion, std::int64_t value, bool is64);
std::u16string FormatDouble(std::u16string_view conversion, double value);
std::u16string FormatChar(std::u16string_view conversion, char16_t ch);
std::u16string FormatText(std::u16string_view conversion, const char16_t* text);

// Takes one argument per placeholder of the default text, in token order, and
// formats it; the tokens view defText. args is consumed.
std::vector<Substitution> CollectArguments(std::u16string_view defText, const Dialect& dialect, va_list args);

// Replaces every occurrence of token in text by value, left to right, without
// overlap; false when the token occurs nowhere.
bool ReplaceAll(std::u16string& text, std::u16string_view token, std::u16string_view value);

// Applies every substitution in turn; false when any token occurs nowhere.
bool SubstituteAll(std::u16string& text, const std::vector<Substitution>& substitutions);

// Case-insensitive equality of two wide texts (ASCII, Latin-1, Greek, Cyrillic).
bool EqualNoCase(std::u16string_view a, std::u16string_view b) noexcept;

}  // namespace ov::placeholder
