// Text helpers shared by every subsystem: locale-independent number reading with the
// lenient contract the drawings rely on, and the few string operations the readers need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orbelin
{

// The digits, an optional point and more digits from `from` on, the decimal part of a number as
// strtod reads it: their value as one whole number (exact up to 19 digits), how many digits there
// are before and after the point, and where they end.
struct DecimalDigits
{
    std::uint64_t value = 0;
    std::size_t integerDigits = 0;
    std::size_t fractionDigits = 0;
    std::size_t end = 0;
};

inline DecimalDigits ScanDecimalDigits(std::string_view text, std::size_t from)
{
    DecimalDigits scan;
    std::size_t i = from;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
    {
        scan.value = scan.value * 10 + static_cast<std::uint64_t>(text[i] - '0');
        ++scan.integerDigits;
        ++i;
    }
    if (i < text.size() && text[i] == '.')
    {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        {
            scan.value = scan.value * 10 + static_cast<std::uint64_t>(text[i] - '0');
            ++scan.fractionDigits;
            ++i;
        }
    }
    scan.end = i;
    return scan;
}

// digits / 10^fractionDigits for at most 15 digits in all (digits below 10^15): both are exact
// doubles, so the one division rounds exactly as strtod does for the same decimal text.
inline double ExactDecimal(std::uint64_t digits, std::size_t fractionDigits)
{
    // Static: a plain local table would be built on the stack at every call.
    static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
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

// Appends the UTF-8 bytes of a code point; 0, a surrogate or a value past U+10FFFF becomes U+FFFD,
// as character references and CSS escapes both require.
void AppendUtf8(std::string& out, unsigned long code);

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
