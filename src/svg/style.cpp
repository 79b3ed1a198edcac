#include "svg/style.h"

#include "platform/text.h"
#include "svg/converter.h"

#include <climits>
#include <cmath>
#include <cstdlib>

namespace
{

// A double turned into an int without leaving the int range (the conversion is undefined beyond it).
int ClampToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (value <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(value);
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

int ParseHexColor(std::string_view digits)
{
    if (digits == "FFF")
        return 0xFFFFFF;
    if (digits.size() == 3 && digits[0] == digits[1] && digits[1] == digits[2])
    {
        // Only a shorthand of one repeated digit is expanded: #ccc, but not #F00.
        const char pair[2] = {digits[0], digits[0]};
        const int channel = ParseHexNumber(std::string_view(pair, 2));
        return PackRgb(channel, channel, channel);
    }
    if (digits.size() == 6)
        return PackRgb(ParseHexNumber(digits.substr(0, 2)), ParseHexNumber(digits.substr(2, 2)),
                       ParseHexNumber(digits.substr(4, 2)));
    return 0;
}

int ParseNamedColor(std::string_view text, bool& known)
{
    known = true;
    if (text == "white")
        return 0xFFFFFF;
    if (text == "red")
        return 0x0000FF;
    if (text == "green")
        return 0x00FF00;
    if (text == "blue")
        return 0xFF0000;
    if (text == "black")
        return 0;
    if (text == "yellow")
        return 0x00FFFF;
    known = false;
    return 0;
}

// rgb(r,g,b): the components are the texts between the commas inside the parentheses; a channel
// whose comma is missing (unknown names, currentColor, rgb(255)) reads as 0.
int ParseFunctionalColor(std::string_view text)
{
    const std::size_t open = text.find('(');
    if (open != std::string_view::npos)
        text.remove_prefix(open + 1);
    const std::size_t close = text.find(')');
    if (close != std::string_view::npos)
        text = text.substr(0, close);

    int channels[3] = {0, 0, 0};
    const std::size_t first = text.find(',');
    if (first == std::string_view::npos)
        return 0;
    channels[0] = ParseColorComponent(text.substr(0, first));
    const std::string_view afterFirst = text.substr(first + 1);
    const std::size_t second = afterFirst.find(',');
    if (second == std::string_view::npos)
    {
        channels[1] = ParseColorComponent(afterFirst);
    }
    else
    {
        channels[1] = ParseColorComponent(afterFirst.substr(0, second));
        channels[2] = ParseColorComponent(afterFirst.substr(second + 1));
    }
    return PackRgb(channels[0], channels[1], channels[2]);
}

} // namespace

int ParseColor(std::string_view text)
{
    const std::size_t hash = text.find('#');
    if (hash != std::string_view::npos)
        return ParseHexColor(text.substr(hash + 1));
    bool known = false;
    const int named = ParseNamedColor(text, known);
    if (known)
        return named;
    return ParseFunctionalColor(text);
}

int ParseHexNumber(std::string_view digits)
{
    double sum = 0.0;
    double weight = 1.0;
    for (std::size_t i = digits.size(); i-- > 0;)
    {
        sum += HexDigitValue(digits[i]) * weight;
        weight *= 16.0;
    }
    return ClampToInt(sum);
}

int ParseColorComponent(std::string_view text)
{
    if (!text.empty() && text.back() == '%')
    {
        // Twice the percentage, so 100% reads as 200 rather than 255; drawings were made against this.
        return ClampToInt(2.0 * orbelin::ReadDouble(text.substr(0, text.size() - 1)));
    }
    return orbelin::ReadInt(text);
}

void ForEachDeclaration(std::string_view style,
                        const std::function<void(std::string_view, std::string_view)>& visit)
{
    while (true)
    {
        const std::size_t end = style.find(';');
        const std::string_view declaration = style.substr(0, end);
        const std::size_t colon = declaration.find(':');
        if (colon != std::string_view::npos)
            visit(declaration.substr(0, colon), declaration.substr(colon + 1));
        if (end == std::string_view::npos)
            break;
        style.remove_prefix(end + 1);
    }
}

bool FindStyleValue(std::string_view style, std::string_view key, std::string& value)
{
    const std::size_t at = style.find(key);
    if (at == std::string_view::npos)
        return false;
    const std::string_view rest = style.substr(at + key.size());
    value.assign(rest.substr(0, rest.find(';')));
    return true;
}

void CConverter::SetStrokeRgb(int rgb)
{
    if (rgb == m_strokeRgb)
        return;
    m_strokeRgb = rgb;
    m_strokeAci = m_colourIndex(rgb);
}

int CConverter::ApplyRectStyle(std::string_view style)
{
    int filled = 0;
    std::string value;
    // A paint server reference cannot be drawn as a solid colour, so such a rectangle stays unfilled.
    if (FindStyleValue(style, "fill:", value) && value != "none" && value.find("url(#") == std::string::npos)
    {
        m_fillRgb = ParseColor(value);
        filled = 1;
    }
    if (FindStyleValue(style, "stroke:", value) && value != "none")
        SetStrokeRgb(ParseColor(value));
    return filled;
}

void CConverter::ApplyTextStyle(std::string_view style, std::string& fontFamily, std::string& fontSize)
{
    fontFamily.clear();
    fontSize.clear();
    std::string value;
    // Text is drawn in its fill colour, so the fill becomes the stroke colour as well.
    if (FindStyleValue(style, "fill:", value) && value != "none")
    {
        const int rgb = ParseColor(value);
        SetStrokeRgb(rgb);
        m_fillRgb = rgb;
    }
    if (FindStyleValue(style, "font-family:", value))
        fontFamily = value;
    if (FindStyleValue(style, "font-size:", value))
        fontSize = value;
}
