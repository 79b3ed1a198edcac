#include "svg/style.h"

#include "platform/text.h"
#include "svg/converter.h"

#include <climits>
#include <cmath>
#include <cstdlib>

// Entries 10-249 are 24 hue columns of ten (full, full, 0.65, 0.65, 0.5, 0.5, 0.3, 0.3, 0.15, 0.15 of
// full brightness, even entries saturated, odd ones at half saturation); the values are the ones CAD
// programs show for each index, so they are listed rather than computed.
const std::array<std::array<std::uint8_t, 3>, 256> kAciPalette = {{
    {{0, 0, 0}},       {{255, 0, 0}},     {{255, 255, 0}},   {{0, 255, 0}},     {{0, 255, 255}},   // 0
    {{0, 0, 255}},     {{255, 0, 255}},   {{255, 255, 255}}, {{152, 152, 152}}, {{192, 192, 192}}, // 5
    {{255, 0, 0}},     {{255, 128, 128}}, {{166, 0, 0}},     {{166, 83, 83}},   {{128, 0, 0}},     // 10
    {{128, 64, 64}},   {{76, 0, 0}},      {{76, 38, 38}},    {{38, 0, 0}},      {{38, 19, 19}},    // 15
    {{255, 64, 0}},    {{255, 159, 128}}, {{166, 41, 0}},    {{166, 104, 83}},  {{128, 32, 0}},    // 20
    {{128, 80, 64}},   {{76, 19, 0}},     {{76, 48, 38}},    {{38, 10, 0}},     {{38, 24, 19}},    // 25
    {{255, 128, 0}},   {{255, 191, 128}}, {{166, 83, 0}},    {{166, 124, 83}},  {{128, 64, 0}},    // 30
    {{128, 96, 64}},   {{76, 38, 0}},     {{76, 57, 38}},    {{38, 19, 0}},     {{38, 29, 19}},    // 35
    {{255, 191, 0}},   {{255, 223, 128}}, {{166, 124, 0}},   {{166, 145, 83}},  {{128, 96, 0}},    // 40
    {{128, 112, 64}},  {{76, 57, 0}},     {{76, 67, 38}},    {{38, 29, 0}},     {{38, 33, 19}},    // 45
    {{255, 255, 0}},   {{255, 255, 128}}, {{166, 166, 0}},   {{166, 166, 83}},  {{128, 128, 0}},   // 50
    {{128, 128, 64}},  {{76, 76, 0}},     {{76, 76, 38}},    {{38, 38, 0}},     {{38, 38, 19}},    // 55
    {{191, 255, 0}},   {{223, 255, 128}}, {{124, 166, 0}},   {{145, 166, 83}},  {{96, 128, 0}},    // 60
    {{112, 128, 64}},  {{57, 76, 0}},     {{67, 76, 38}},    {{29, 38, 0}},     {{33, 38, 19}},    // 65
    {{128, 255, 0}},   {{191, 255, 128}}, {{83, 166, 0}},    {{124, 166, 83}},  {{64, 128, 0}},    // 70
    {{96, 128, 64}},   {{38, 76, 0}},     {{57, 76, 38}},    {{19, 38, 0}},     {{29, 38, 19}},    // 75
    {{64, 255, 0}},    {{159, 255, 128}}, {{41, 166, 0}},    {{104, 166, 83}},  {{32, 128, 0}},    // 80
    {{80, 128, 64}},   {{19, 76, 0}},     {{48, 76, 38}},    {{10, 38, 0}},     {{24, 38, 19}},    // 85
    {{0, 255, 0}},     {{128, 255, 128}}, {{0, 166, 0}},     {{83, 166, 83}},   {{0, 128, 0}},     // 90
    {{64, 128, 64}},   {{0, 76, 0}},      {{38, 76, 38}},    {{0, 38, 0}},      {{19, 38, 19}},    // 95
    {{0, 255, 64}},    {{128, 255, 159}}, {{0, 166, 41}},    {{83, 166, 104}},  {{0, 128, 32}},    // 100
    {{64, 128, 80}},   {{0, 76, 19}},     {{38, 76, 48}},    {{0, 38, 10}},     {{19, 38, 24}},    // 105
    {{0, 255, 128}},   {{128, 255, 191}}, {{0, 166, 83}},    {{83, 166, 124}},  {{0, 128, 64}},    // 110
    {{64, 128, 96}},   {{0, 76, 38}},     {{38, 76, 57}},    {{0, 38, 19}},     {{19, 38, 29}},    // 115
    {{0, 255, 191}},   {{128, 255, 223}}, {{0, 166, 124}},   {{83, 166, 145}},  {{0, 128, 96}},    // 120
    {{64, 128, 112}},  {{0, 76, 57}},     {{38, 76, 67}},    {{0, 38, 29}},     {{19, 38, 33}},    // 125
    {{0, 255, 255}},   {{128, 255, 255}}, {{0, 166, 166}},   {{83, 166, 166}},  {{0, 128, 128}},   // 130
    {{64, 128, 128}},  {{0, 76, 76}},     {{38, 76, 76}},    {{0, 38, 38}},     {{19, 38, 38}},    // 135
    {{0, 191, 255}},   {{128, 223, 255}}, {{0, 124, 166}},   {{83, 145, 166}},  {{0, 96, 128}},    // 140
    {{64, 112, 128}},  {{0, 57, 76}},     {{38, 67, 76}},    {{0, 29, 38}},     {{19, 33, 38}},    // 145
    {{0, 128, 255}},   {{128, 191, 255}}, {{0, 83, 166}},    {{83, 124, 166}},  {{0, 64, 128}},    // 150
    {{64, 96, 128}},   {{0, 38, 76}},     {{38, 57, 76}},    {{0, 19, 38}},     {{19, 29, 38}},    // 155
    {{0, 64, 255}},    {{128, 159, 255}}, {{0, 41, 166}},    {{83, 104, 166}},  {{0, 32, 128}},    // 160
    {{64, 80, 128}},   {{0, 19, 76}},     {{38, 48, 76}},    {{0, 10, 38}},     {{19, 24, 38}},    // 165
    {{0, 0, 255}},     {{128, 128, 255}}, {{0, 0, 166}},     {{83, 83, 166}},   {{0, 0, 128}},     // 170
    {{64, 64, 128}},   {{0, 0, 76}},      {{38, 38, 76}},    {{0, 0, 38}},      {{19, 19, 38}},    // 175
    {{64, 0, 255}},    {{159, 128, 255}}, {{41, 0, 166}},    {{104, 83, 166}},  {{32, 0, 128}},    // 180
    {{80, 64, 128}},   {{19, 0, 76}},     {{48, 38, 76}},    {{10, 0, 38}},     {{24, 19, 38}},    // 185
    {{128, 0, 255}},   {{191, 128, 255}}, {{83, 0, 166}},    {{124, 83, 166}},  {{64, 0, 128}},    // 190
    {{96, 64, 128}},   {{38, 0, 76}},     {{57, 38, 76}},    {{19, 0, 38}},     {{29, 19, 38}},    // 195
    {{191, 0, 255}},   {{223, 128, 255}}, {{124, 0, 166}},   {{145, 83, 166}},  {{96, 0, 128}},    // 200
    {{112, 64, 128}},  {{57, 0, 76}},     {{67, 38, 76}},    {{29, 0, 38}},     {{33, 19, 38}},    // 205
    {{255, 0, 255}},   {{255, 128, 255}}, {{166, 0, 166}},   {{166, 83, 166}},  {{128, 0, 128}},   // 210
    {{128, 64, 128}},  {{76, 0, 76}},     {{76, 38, 76}},    {{38, 0, 38}},     {{38, 19, 38}},    // 215
    {{255, 0, 191}},   {{255, 128, 223}}, {{166, 0, 124}},   {{166, 83, 145}},  {{128, 0, 96}},    // 220
    {{128, 64, 112}},  {{76, 0, 57}},     {{76, 38, 67}},    {{38, 0, 29}},     {{38, 19, 33}},    // 225
    {{255, 0, 128}},   {{255, 128, 191}}, {{166, 0, 83}},    {{166, 83, 124}},  {{128, 0, 64}},    // 230
    {{128, 64, 96}},   {{76, 0, 38}},     {{76, 38, 57}},    {{38, 0, 19}},     {{38, 19, 29}},    // 235
    {{255, 0, 64}},    {{255, 128, 159}}, {{166, 0, 41}},    {{166, 83, 104}},  {{128, 0, 32}},    // 240
    {{128, 64, 80}},   {{76, 0, 19}},     {{76, 38, 48}},    {{38, 0, 10}},     {{38, 19, 24}},    // 245
    {{84, 84, 84}},    {{118, 118, 118}}, {{152, 152, 152}}, {{187, 187, 187}}, {{221, 221, 221}}, // 250
    {{255, 255, 255}},                                                                             // 255
}};

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

namespace
{

int SearchNearestAci(unsigned packed)
{
    const int red = static_cast<int>(packed & 0xFFu);
    const int green = static_cast<int>((packed >> 8) & 0xFFu);
    const int blue = static_cast<int>((packed >> 16) & 0xFFu);
    int best = 0;
    int bestDistance = INT_MAX;
    // Entry 255 duplicates white and is never chosen; a tie keeps the lower index.
    for (int index = 0; index < 255; ++index)
    {
        const auto& entry = kAciPalette[static_cast<std::size_t>(index)];
        const int distance =
            std::abs(red - entry[0]) + std::abs(green - entry[1]) + std::abs(blue - entry[2]);
        if (distance < bestDistance)
        {
            bestDistance = distance;
            best = index;
        }
    }
    return best;
}

} // namespace

int NearestAci(int rgb)
{
    // Drawings use a handful of colours but switch between them with almost every element; the
    // palette search is remembered for the colours met last.
    struct CRemembered
    {
        unsigned rgb = 0xFFFFFFFFu; // no colour: only the low 24 bits are ever keys
        int aci = 0;
    };
    thread_local std::array<CRemembered, 64> remembered{};
    const unsigned key = static_cast<unsigned>(rgb) & 0xFFFFFFu;
    CRemembered& slot = remembered[(key * 2654435761u) >> 26];
    if (slot.rgb != key)
    {
        slot.rgb = key;
        slot.aci = SearchNearestAci(key);
    }
    return slot.aci;
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
    m_strokeAci = NearestAci(rgb);
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
