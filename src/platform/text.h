// Text helpers shared by every subsystem: locale-independent number reading with the
// lenient contract the drawings rely on, and the few string operations the readers need.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orbelin
{

// digits / 10^fractionDigits for at most 15 digits in all (digits below 10^15): both are exact
// doubles, so the one division rounds exactly as strtod does for the same decimal text.
inline double ExactDecimal(std::uint64_t digits, int fractionDigits)
{
    constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    return static_cast<double>(digits) / kPowersOfTen[fractionDigits];
}

// True when text is exactly the one character c. Path commands are compared this way millions of
// times; a comparison with a one-letter literal would measure the literal each time.
inline bool IsSingle(std::string_view text, char c)
{
    return text.size() == 1 && text[0] == c;
}

// White space as the C library's isspace() sees it in the "C" locale.
constexpr bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// atof() without the locale: leading white space, one optional sign, then the longest decimal
// number ("12px" reads 12, ".5" 0.5, "abc" 0). "inf", "infinity" and "nan" read as the C library
// reads them, and a number too large for a double reads as +-infinity, so callers must check
// isfinite() before anything reaches a file. Hexadecimal forms read as 0. *used receives the
// number of characters consumed (0 when no number was found).
double ReadDouble(std::string_view text, std::size_t* used = nullptr);

// atoi() without the locale: leading white space, one optional sign, decimal digits. Values beyond
// the int range are clamped rather than left undefined.
int ReadInt(std::string_view text, std::size_t* used = nullptr);

// Trimming of white space (IsSpace) at the ends.
std::string_view TrimLeft(std::string_view text);
std::string_view TrimRight(std::string_view text);
std::string_view Trim(std::string_view text);

// Byte-wise comparison ignoring ASCII letter case.
bool EqualsNoCase(std::string_view a, std::string_view b);

// Every occurrence of `from` replaced by `to`, left to right, without rescanning replacements.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// The text with every occurrence of the character removed.
std::string RemoveChar(std::string_view text, char c);

// printf-style "%s"/"%d" substitution for the fixed message texts ("Failed to write file(%s)").
std::string FormatMessage(std::string_view format, std::string_view argument);

} // namespace orbelin
