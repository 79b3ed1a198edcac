#include "svg/exact_length.h"

#include "platform/text.h"

#include <charconv>
#include <cmath>

namespace
{

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsSeparatorBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

} // namespace

bool FindSvgNumber(std::string_view rest, std::size_t& start, std::size_t& end)
{
    std::size_t i = 0;
    const std::size_t n = rest.size();
    while (i < n && IsSeparatorBlank(rest[i]))
        ++i;
    if (i < n && rest[i] == ',')
    {
        ++i;
        while (i < n && IsSeparatorBlank(rest[i]))
            ++i;
    }
    start = i;
    if (i < n && (rest[i] == '+' || rest[i] == '-'))
        ++i;
    const std::size_t mantissa = i;
    while (i < n && IsDigit(rest[i]))
        ++i;
    bool digits = i > mantissa;
    if (i < n && rest[i] == '.')
    {
        const std::size_t fraction = ++i;
        while (i < n && IsDigit(rest[i]))
            ++i;
        digits = digits || i > fraction;
    }
    if (!digits)
        return false;
    // An exponent counts only with its digits: "2em" is 2 followed by the unit em.
    if (i < n && (rest[i] == 'e' || rest[i] == 'E'))
    {
        std::size_t j = i + 1;
        if (j < n && (rest[j] == '+' || rest[j] == '-'))
            ++j;
        if (j < n && IsDigit(rest[j]))
        {
            while (j < n && IsDigit(rest[j]))
                ++j;
            i = j;
        }
    }
    end = i;
    return true;
}

bool ReadSvgNumber(std::string_view& rest, double& out)
{
    std::size_t start = 0;
    std::size_t end = 0;
    if (!FindSvgNumber(rest, start, end))
        return false;
    // from_chars takes no '+' and never follows the locale.
    const char* first = rest.data() + start + (rest[start] == '+' ? 1 : 0);
    double value = 0.0;
    const auto result = std::from_chars(first, rest.data() + end, value);
    if (result.ec != std::errc() || !std::isfinite(value))
        value = 0.0;
    out = value;
    rest.remove_prefix(end);
    return true;
}

std::optional<double> AbsoluteUnit(std::string_view unit)
{
    static const struct
    {
        std::string_view name;
        double userUnits;
    } kUnits[] = {{"", 1.0},    {"px", 1.0},         {"mm", 96.0 / 25.4}, {"cm", 96.0 / 2.54},
                  {"in", 96.0}, {"pt", 96.0 / 72.0}, {"pc", 16.0},        {"q", 96.0 / 101.6}};
    for (const auto& entry : kUnits)
        if (orbelin::EqualsNoCase(unit, entry.name))
            return entry.userUnits;
    return std::nullopt;
}

std::optional<double> ResolveLength(std::string_view text, const CLengthContext& context, CLengthAxis axis)
{
    std::string_view rest = orbelin::Trim(text);
    double value = 0.0;
    if (!ReadSvgNumber(rest, value))
        return std::nullopt;
    const std::string_view unit = orbelin::Trim(rest);
    if (unit == "%")
    {
        const double w = context.viewportWidth;
        const double h = context.viewportHeight;
        const double base = axis == CLengthAxis::X   ? w
                            : axis == CLengthAxis::Y ? h
                                                     : std::sqrt((w * w + h * h) / 2.0);
        return value * base / 100.0;
    }
    if (orbelin::EqualsNoCase(unit, "em"))
        return value * context.fontSize;
    if (orbelin::EqualsNoCase(unit, "ex"))
        return value * context.fontSize / 2.0;
    if (const auto scale = AbsoluteUnit(unit))
        return value * *scale;
    return std::nullopt;
}
