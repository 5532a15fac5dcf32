#pragma once
// Placeholder scanning and printf-style formatting of single values, shared by
// the string tables and the program's message formatter. The two differ only
// in the points a Dialect names.
#include <cstdarg>
#include <string>
#include <string_view>
#include <vector>

namespace ov::placeholder {

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

// A token and the text that replaces it.
struct Substitution {
    std::u16string_view token;
    std::u16string value;
};

// Takes one argument per placeholder of the default text, in token order, and
// formats it; the tokens view defText. args is consumed.
std::vector<Substitution> CollectArguments(std::u16string_view defText, const Dialect& dialect, va_list args);

// True when text holds a placeholder that takes an argument and that none of
// substitutions fills: formatted, it would show the bare token.
bool HasUnfilledPlaceholder(std::u16string_view text, const std::vector<Substitution>& substitutions,
                            const Dialect& dialect);

// Applies every substitution in turn; false when any token occurs nowhere.
bool SubstituteAll(std::u16string& text, const std::vector<Substitution>& substitutions);

// Case-insensitive equality of two wide texts (ASCII, Latin-1, Greek, Cyrillic).
bool EqualNoCase(std::u16string_view a, std::u16string_view b) noexcept;

}  // namespace ov::placeholder
