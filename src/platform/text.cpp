#include "platform/text.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace orbelin
{
namespace
{

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool StartsWithNoCase(std::string_view text, std::string_view word)
{
    return text.size() >= word.size() && EqualsNoCase(text.substr(0, word.size()), word);
}

// The power of ten of the leading significant digit of a decimal number that from_chars found out of
// range: positive when it overflows, negative when it underflows (never near 0 then). Exponents are
// clamped, which keeps the sign right for any length of text.
long long DecimalMagnitude(std::string_view number)
{
    const long long kClamp = 1000000000;
    std::size_t i = 0;
    long long integerDigits = 0;
    long long firstSignificant = 0; // position of the leading non-zero digit, 1 = first integer digit
    bool found = false;
    while (i < number.size() && IsDigit(number[i]))
    {
        if (integerDigits < kClamp)
            ++integerDigits;
        if (!found && number[i] != '0')
        {
            found = true;
            firstSignificant = integerDigits;
        }
        ++i;
    }
    long long magnitude = 0;
    if (found)
        magnitude = integerDigits - firstSignificant;
    if (i < number.size() && number[i] == '.')
    {
        ++i;
        long long fractionDigits = 0;
        while (i < number.size() && IsDigit(number[i]))
        {
            if (fractionDigits < kClamp)
                ++fractionDigits;
            if (!found && number[i] != '0')
            {
                found = true;
                magnitude = -fractionDigits;
            }
            ++i;
        }
    }
    long long exponent = 0;
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E'))
    {
        ++i;
        const bool negative = i < number.size() && number[i] == '-';
        if (i < number.size() && (number[i] == '+' || number[i] == '-'))
            ++i;
        while (i < number.size() && IsDigit(number[i]))
        {
            if (exponent < kClamp)
                exponent = exponent * 10 + (number[i] - '0');
            ++i;
        }
        if (negative)
            exponent = -exponent;
    }
    return magnitude + exponent;
}

} // namespace

double ReadDouble(std::string_view text, std::size_t* used)
{
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    {
        negative = text[i] == '-';
        ++i;
    }
    const std::string_view rest = text.substr(i);

    // The words strtod knows; from_chars would also take them, but not with the optional sign
    // handled above, and "infinity" must be consumed whole. A number (the usual case by far) starts
    // with a digit or a point, which settles it without comparing words.
    const bool startsAsNumber = !rest.empty() && (IsDigit(rest[0]) || rest[0] == '.');
    if (!startsAsNumber && (StartsWithNoCase(rest, "inf") || StartsWithNoCase(rest, "nan")))
    {
        const bool isNan = StartsWithNoCase(rest, "nan");
        std::size_t length = StartsWithNoCase(rest, "infinity") ? 8 : 3;
        if (used)
            *used = i + length;
        const double value = isNan ? std::numeric_limits<double>::quiet_NaN()
                                   : std::numeric_limits<double>::infinity();
        return negative ? -value : value;
    }

    // Only the shape strtod accepts in decimal: digits, one point, digits, then an exponent that
    // counts only when at least one digit follows it. from_chars is then given exactly that span.
    const DecimalDigits decimal = ScanDecimalDigits(rest, 0);
    std::size_t j = decimal.end;
    const std::size_t mantissaDigits = decimal.integerDigits + decimal.fractionDigits;
    if (mantissaDigits == 0)
    {
        if (used)
            *used = 0;
        return 0.0;
    }
    const bool exponentFollows = j < rest.size() && (rest[j] == 'e' || rest[j] == 'E');
    // The usual coordinate, without from_chars.
    if (!exponentFollows && mantissaDigits <= 15)
    {
        const double value = ExactDecimal(decimal.value, decimal.fractionDigits);
        if (used)
            *used = i + j;
        return negative ? -value : value;
    }
    if (exponentFollows)
    {
        std::size_t k = j + 1;
        if (k < rest.size() && (rest[k] == '+' || rest[k] == '-'))
            ++k;
        if (k < rest.size() && IsDigit(rest[k]))
        {
            while (k < rest.size() && IsDigit(rest[k]))
                ++k;
            j = k;
        }
    }

    double value = 0.0;
    const char* first = rest.data();
    const auto [stop, ec] = std::from_chars(first, first + j, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range)
    {
        // strtod gives HUGE_VAL on overflow and 0 on underflow. The sign of the exponent alone does not
        // tell them apart ("1000...0e-5" overflows, "0.000...01" underflows), the decimal magnitude does.
        value = DecimalMagnitude(rest.substr(0, j)) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    if (used)
        *used = i + static_cast<std::size_t>(stop - first);
    if (ec == std::errc::result_out_of_range && used)
        *used = i + j;
    return negative ? -value : value;
}

int ReadInt(std::string_view text, std::size_t* used)
{
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t start = i;
    long long value = 0;
    const long long limit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
    while (i < text.size() && IsDigit(text[i]))
    {
        if (value < limit)
            value = value * 10 + (text[i] - '0');
        ++i;
    }
    if (i == start)
    {
        if (used)
            *used = 0;
        return 0;
    }
    if (used)
        *used = i;
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

std::string_view TrimLeft(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    return text.substr(i);
}

std::string_view TrimRight(std::string_view text)
{
    std::size_t n = text.size();
    while (n > 0 && IsSpace(text[n - 1]))
        --n;
    return text.substr(0, n);
}

std::string_view Trim(std::string_view text)
{
    return TrimRight(TrimLeft(text));
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        // ASCII only: std::tolower would follow the locale and fold Latin-1 letters too.
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to)
{
    std::string out;
    if (from.empty())
        return std::string(text);
    out.reserve(text.size());
    std::size_t pos = 0;
    while (true)
    {
        const std::size_t hit = text.find(from, pos);
        if (hit == std::string_view::npos)
            break;
        out.append(text.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(text.substr(pos));
    return out;
}

std::string RemoveChar(std::string_view text, char c)
{
    std::string out;
    out.reserve(text.size());
    for (char ch : text)
        if (ch != c)
            out.push_back(ch);
    return out;
}

std::string FormatMessage(std::string_view format, std::string_view argument)
{
    std::string out(format);
    for (const char* placeholder : {"%s", "%d"})
    {
        const std::size_t at = out.find(placeholder);
        if (at != std::string::npos)
        {
            out.replace(at, 2, argument);
            break;
        }
    }
    return out;
}

void AppendUtf8(std::string& out, unsigned long code)
{
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = 0xFFFD;
    if (code < 0x80)
        out += static_cast<char>(code);
    else if (code < 0x800)
    {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
    else if (code < 0x10000)
    {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
    else
    {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace orbelin
