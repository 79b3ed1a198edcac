#include "svg/exact_paint.h"

#include "dxf/colour_index.h"
#include "platform/text.h"
#include "svg/exact_length.h"
#include "xml/xml.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace
{

// The CSS colour keywords as 0xRRGGBB.
struct CNamedColor
{
    const char* name;
    unsigned value;
};
const CNamedColor kNamedColors[] = {{"aliceblue", 0xF0F8FF},
                                    {"antiquewhite", 0xFAEBD7},
                                    {"aqua", 0x00FFFF},
                                    {"aquamarine", 0x7FFFD4},
                                    {"azure", 0xF0FFFF},
                                    {"beige", 0xF5F5DC},
                                    {"bisque", 0xFFE4C4},
                                    {"black", 0x000000},
                                    {"blanchedalmond", 0xFFEBCD},
                                    {"blue", 0x0000FF},
                                    {"blueviolet", 0x8A2BE2},
                                    {"brown", 0xA52A2A},
                                    {"burlywood", 0xDEB887},
                                    {"cadetblue", 0x5F9EA0},
                                    {"chartreuse", 0x7FFF00},
                                    {"chocolate", 0xD2691E},
                                    {"coral", 0xFF7F50},
                                    {"cornflowerblue", 0x6495ED},
                                    {"cornsilk", 0xFFF8DC},
                                    {"crimson", 0xDC143C},
                                    {"cyan", 0x00FFFF},
                                    {"darkblue", 0x00008B},
                                    {"darkcyan", 0x008B8B},
                                    {"darkgoldenrod", 0xB8860B},
                                    {"darkgray", 0xA9A9A9},
                                    {"darkgreen", 0x006400},
                                    {"darkgrey", 0xA9A9A9},
                                    {"darkkhaki", 0xBDB76B},
                                    {"darkmagenta", 0x8B008B},
                                    {"darkolivegreen", 0x556B2F},
                                    {"darkorange", 0xFF8C00},
                                    {"darkorchid", 0x9932CC},
                                    {"darkred", 0x8B0000},
                                    {"darksalmon", 0xE9967A},
                                    {"darkseagreen", 0x8FBC8F},
                                    {"darkslateblue", 0x483D8B},
                                    {"darkslategray", 0x2F4F4F},
                                    {"darkslategrey", 0x2F4F4F},
                                    {"darkturquoise", 0x00CED1},
                                    {"darkviolet", 0x9400D3},
                                    {"deeppink", 0xFF1493},
                                    {"deepskyblue", 0x00BFFF},
                                    {"dimgray", 0x696969},
                                    {"dimgrey", 0x696969},
                                    {"dodgerblue", 0x1E90FF},
                                    {"firebrick", 0xB22222},
                                    {"floralwhite", 0xFFFAF0},
                                    {"forestgreen", 0x228B22},
                                    {"fuchsia", 0xFF00FF},
                                    {"gainsboro", 0xDCDCDC},
                                    {"ghostwhite", 0xF8F8FF},
                                    {"gold", 0xFFD700},
                                    {"goldenrod", 0xDAA520},
                                    {"gray", 0x808080},
                                    {"green", 0x008000},
                                    {"greenyellow", 0xADFF2F},
                                    {"grey", 0x808080},
                                    {"honeydew", 0xF0FFF0},
                                    {"hotpink", 0xFF69B4},
                                    {"indianred", 0xCD5C5C},
                                    {"indigo", 0x4B0082},
                                    {"ivory", 0xFFFFF0},
                                    {"khaki", 0xF0E68C},
                                    {"lavender", 0xE6E6FA},
                                    {"lavenderblush", 0xFFF0F5},
                                    {"lawngreen", 0x7CFC00},
                                    {"lemonchiffon", 0xFFFACD},
                                    {"lightblue", 0xADD8E6},
                                    {"lightcoral", 0xF08080},
                                    {"lightcyan", 0xE0FFFF},
                                    {"lightgoldenrodyellow", 0xFAFAD2},
                                    {"lightgray", 0xD3D3D3},
                                    {"lightgreen", 0x90EE90},
                                    {"lightgrey", 0xD3D3D3},
                                    {"lightpink", 0xFFB6C1},
                                    {"lightsalmon", 0xFFA07A},
                                    {"lightseagreen", 0x20B2AA},
                                    {"lightskyblue", 0x87CEFA},
                                    {"lightslategray", 0x778899},
                                    {"lightslategrey", 0x778899},
                                    {"lightsteelblue", 0xB0C4DE},
                                    {"lightyellow", 0xFFFFE0},
                                    {"lime", 0x00FF00},
                                    {"limegreen", 0x32CD32},
                                    {"linen", 0xFAF0E6},
                                    {"magenta", 0xFF00FF},
                                    {"maroon", 0x800000},
                                    {"mediumaquamarine", 0x66CDAA},
                                    {"mediumblue", 0x0000CD},
                                    {"mediumorchid", 0xBA55D3},
                                    {"mediumpurple", 0x9370DB},
                                    {"mediumseagreen", 0x3CB371},
                                    {"mediumslateblue", 0x7B68EE},
                                    {"mediumspringgreen", 0x00FA9A},
                                    {"mediumturquoise", 0x48D1CC},
                                    {"mediumvioletred", 0xC71585},
                                    {"midnightblue", 0x191970},
                                    {"mintcream", 0xF5FFFA},
                                    {"mistyrose", 0xFFE4E1},
                                    {"moccasin", 0xFFE4B5},
                                    {"navajowhite", 0xFFDEAD},
                                    {"navy", 0x000080},
                                    {"oldlace", 0xFDF5E6},
                                    {"olive", 0x808000},
                                    {"olivedrab", 0x6B8E23},
                                    {"orange", 0xFFA500},
                                    {"orangered", 0xFF4500},
                                    {"orchid", 0xDA70D6},
                                    {"palegoldenrod", 0xEEE8AA},
                                    {"palegreen", 0x98FB98},
                                    {"paleturquoise", 0xAFEEEE},
                                    {"palevioletred", 0xDB7093},
                                    {"papayawhip", 0xFFEFD5},
                                    {"peachpuff", 0xFFDAB9},
                                    {"peru", 0xCD853F},
                                    {"pink", 0xFFC0CB},
                                    {"plum", 0xDDA0DD},
                                    {"powderblue", 0xB0E0E6},
                                    {"purple", 0x800080},
                                    {"rebeccapurple", 0x663399},
                                    {"red", 0xFF0000},
                                    {"rosybrown", 0xBC8F8F},
                                    {"royalblue", 0x4169E1},
                                    {"saddlebrown", 0x8B4513},
                                    {"salmon", 0xFA8072},
                                    {"sandybrown", 0xF4A460},
                                    {"seagreen", 0x2E8B57},
                                    {"seashell", 0xFFF5EE},
                                    {"sienna", 0xA0522D},
                                    {"silver", 0xC0C0C0},
                                    {"skyblue", 0x87CEEB},
                                    {"slateblue", 0x6A5ACD},
                                    {"slategray", 0x708090},
                                    {"slategrey", 0x708090},
                                    {"snow", 0xFFFAFA},
                                    {"springgreen", 0x00FF7F},
                                    {"steelblue", 0x4682B4},
                                    {"tan", 0xD2B48C},
                                    {"teal", 0x008080},
                                    {"thistle", 0xD8BFD8},
                                    {"tomato", 0xFF6347},
                                    {"turquoise", 0x40E0D0},
                                    {"violet", 0xEE82EE},
                                    {"wheat", 0xF5DEB3},
                                    {"white", 0xFFFFFF},
                                    {"whitesmoke", 0xF5F5F5},
                                    {"yellow", 0xFFFF00},
                                    {"yellowgreen", 0x9ACD32}};

int Channel(double v)
{
    return static_cast<int>(std::lround(std::clamp(v, 0.0, 255.0)));
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool ParseHex(std::string_view digits, CExactColor& out)
{
    for (const char c : digits)
        if (HexValue(c) < 0)
            return false;
    const auto pair = [&](std::size_t i) { return HexValue(digits[i]) * 16 + HexValue(digits[i + 1]); };
    const auto twice = [&](std::size_t i) { return HexValue(digits[i]) * 17; };
    switch (digits.size())
    {
    case 3:
    case 4:
        out.rgb = PackRgb(twice(0), twice(1), twice(2));
        out.alpha = digits.size() == 4 ? twice(3) / 255.0 : 1.0;
        return true;
    case 6:
    case 8:
        out.rgb = PackRgb(pair(0), pair(2), pair(4));
        out.alpha = digits.size() == 8 ? pair(6) / 255.0 : 1.0;
        return true;
    default:
        return false;
    }
}

// The arguments of a colour function, separated by commas or blanks, a '/' before the alpha:
// each a number and whether it was a percentage.
int ReadColorArguments(std::string_view rest, double values[4], bool percent[4])
{
    int count = 0;
    while (count < 4)
    {
        std::size_t i = 0;
        while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t' || rest[i] == '/'))
            ++i;
        rest.remove_prefix(i);
        double v = 0.0;
        if (!ReadSvgNumber(rest, v))
            break;
        // Hue units: only degrees (or none) are common enough to matter.
        if (rest.substr(0, 3) == "deg")
            rest.remove_prefix(3);
        percent[count] = !rest.empty() && rest.front() == '%';
        if (percent[count])
            rest.remove_prefix(1);
        values[count++] = v;
    }
    return orbelin::Trim(rest).empty() ? count : -1;
}

double HueToChannel(double p, double q, double t)
{
    if (t < 0)
        t += 1;
    if (t > 1)
        t -= 1;
    if (t < 1.0 / 6)
        return p + (q - p) * 6 * t;
    if (t < 0.5)
        return q;
    if (t < 2.0 / 3)
        return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
}

bool ParseFunction(std::string_view name, std::string_view args, CExactColor& out)
{
    double v[4] = {};
    bool pct[4] = {};
    const int count = ReadColorArguments(args, v, pct);
    if (count != 3 && count != 4)
        return false;
    out.alpha = count == 4 ? std::clamp(pct[3] ? v[3] / 100.0 : v[3], 0.0, 1.0) : 1.0;
    if (name == "rgb" || name == "rgba")
    {
        int c[3];
        for (int i = 0; i < 3; ++i)
            c[i] = Channel(pct[i] ? v[i] * 255.0 / 100.0 : v[i]);
        out.rgb = PackRgb(c[0], c[1], c[2]);
        return true;
    }
    if (name == "hsl" || name == "hsla")
    {
        const double h = std::fmod(std::fmod(v[0], 360.0) + 360.0, 360.0) / 360.0;
        const double s = std::clamp(v[1] / 100.0, 0.0, 1.0);
        const double l = std::clamp(v[2] / 100.0, 0.0, 1.0);
        const double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
        const double p = 2 * l - q;
        out.rgb =
            PackRgb(Channel(255.0 * HueToChannel(p, q, h + 1.0 / 3)), Channel(255.0 * HueToChannel(p, q, h)),
                 Channel(255.0 * HueToChannel(p, q, h - 1.0 / 3)));
        return true;
    }
    return false;
}

} // namespace

bool ParseCssColor(std::string_view text, int currentColor, CExactColor& out)
{
    const std::string_view t = orbelin::Trim(text);
    out = CExactColor();
    if (t.empty())
        return false;
    if (t.front() == '#')
        return ParseHex(t.substr(1), out);
    const std::size_t open = t.find('(');
    if (open != std::string_view::npos)
    {
        if (t.back() != ')')
            return false;
        std::string name(orbelin::Trim(t.substr(0, open)));
        std::transform(name.begin(), name.end(), name.begin(),
                       [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
        return ParseFunction(name, t.substr(open + 1, t.size() - open - 2), out);
    }
    if (orbelin::EqualsNoCase(t, "currentColor"))
    {
        out.rgb = currentColor;
        return true;
    }
    if (orbelin::EqualsNoCase(t, "transparent"))
    {
        out.alpha = 0.0;
        return true;
    }
    for (const CNamedColor& named : kNamedColors)
        if (orbelin::EqualsNoCase(t, named.name))
        {
            out.rgb = PackRgb(static_cast<int>(named.value >> 16), static_cast<int>(named.value >> 8 & 0xFF),
                           static_cast<int>(named.value & 0xFF));
            return true;
        }
    return false;
}

namespace
{

// stop-color from the attribute or the stop's own style; black when neither says.
bool StopColor(const CXML& stop, int currentColor, CExactColor& out)
{
    std::string_view value = "black";
    for (const CAttribute& attribute : stop.m_attributes)
        if (attribute.GetName() == "stop-color")
            value = attribute.GetValue();
    for (const CAttribute& attribute : stop.m_attributes)
        if (attribute.GetName() == "style")
        {
            const std::string_view style = attribute.GetValue();
            const std::size_t at = style.find("stop-color");
            if (at != std::string_view::npos)
            {
                std::string_view rest = style.substr(at + 10);
                const std::size_t colon = rest.find(':');
                if (colon != std::string_view::npos)
                {
                    rest.remove_prefix(colon + 1);
                    value = rest.substr(0, rest.find(';'));
                }
            }
        }
    return ParseCssColor(value, currentColor, out);
}

std::string_view HrefOf(const CXML& element)
{
    for (const CAttribute& attribute : element.m_attributes)
        if (attribute.GetName() == "xlink:href" || attribute.GetName() == "href")
            return attribute.GetValue();
    return {};
}

// The first stop of a gradient, following the gradients it takes its stops from.
bool FirstStopColor(const CXML* gradient, int currentColor, const CIdLookup& lookup, CExactColor& out)
{
    constexpr int kMaxReferences = 8;
    for (int hop = 0; gradient != nullptr && hop < kMaxReferences; ++hop)
    {
        const std::string& tag = gradient->m_strTag;
        if (tag.find("Gradient") == std::string::npos)
            return false;
        for (const auto& child : gradient->m_children)
            if (child->m_strTag == "stop" || child->m_strTag == "svg:stop")
                return StopColor(*child, currentColor, out);
        const std::string_view href = orbelin::Trim(HrefOf(*gradient));
        if (href.empty() || href.front() != '#' || !lookup)
            return false;
        gradient = lookup(href.substr(1));
    }
    return false;
}

} // namespace

bool ParsePaint(std::string_view text, int currentColor, const CIdLookup& lookup, CPaint& out)
{
    const std::string_view t = orbelin::Trim(text);
    if (t == "none")
    {
        out = CPaint();
        return true;
    }
    if (t.substr(0, 4) == "url(")
    {
        const std::size_t close = t.find(')');
        if (close == std::string_view::npos)
            return false;
        std::string_view reference = orbelin::Trim(t.substr(4, close - 4));
        if (reference.size() >= 2 && (reference.front() == '"' || reference.front() == '\''))
            reference = reference.substr(1, reference.size() - 2);
        const std::string_view fallback = orbelin::Trim(t.substr(close + 1));
        if (!fallback.empty())
            return ParsePaint(fallback, currentColor, lookup, out);
        out = CPaint();
        CExactColor colour;
        if (!reference.empty() && reference.front() == '#' && lookup &&
            FirstStopColor(lookup(reference.substr(1)), currentColor, lookup, colour) && colour.alpha > 0.0)
        {
            out.drawn = true;
            out.rgb = colour.rgb;
        }
        return true;
    }
    CExactColor colour;
    if (!ParseCssColor(t, currentColor, colour))
        return false;
    out.drawn = colour.alpha > 0.0;
    out.rgb = colour.rgb;
    return true;
}
