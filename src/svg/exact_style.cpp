#include "svg/exact_style.h"

#include "platform/text.h"
#include "svg/exact_css.h"
#include "xml/xml.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace
{

enum Property
{
    kFont,     // the shorthand first: the font properties it sets are then read on their own
    kFontSize, // next: em lengths of the others depend on it
    kColor,    // second: currentColor depends on it
    kFill,
    kStroke,
    kStrokeWidth,
    kStrokeDasharray,
    kFillOpacity,
    kStrokeOpacity,
    kOpacity,
    kDisplay,
    kVisibility,
    kFontFamily,
    kFontWeight,
    kFontStyle,
    kTextAnchor,
    kFillRule,
    // The shorthand before the properties it sets, so that theirs win wherever both are given.
    kMarker,
    kMarkerStart,
    kMarkerMid,
    kMarkerEnd,
    kPropertyCount
};

const std::array<std::string_view, kPropertyCount> kNames = {
    "font",         "font-size",    "color",          "fill",         "stroke",      "stroke-width", "stroke-dasharray",
    "fill-opacity", "stroke-opacity", "opacity",      "display",     "visibility",   "font-family",
    "font-weight",  "font-style",     "text-anchor",  "fill-rule",    "marker",      "marker-start", "marker-mid",
    "marker-end"};

int PropertyOf(std::string_view name)
{
    // Most attributes are no property (x, width, d, ...): size and first letter rule them out
    // before any comparison of the whole name.
    if (name.empty())
        return -1;
    for (int i = 0; i < kPropertyCount; ++i)
    {
        const std::string_view candidate = kNames[static_cast<std::size_t>(i)];
        if (candidate.size() == name.size() && candidate[0] == name[0] && candidate == name)
            return i;
    }
    return -1;
}

std::optional<double> ReadOpacity(std::string_view text)
{
    std::string_view rest = orbelin::Trim(text);
    double value = 0.0;
    if (!ReadSvgNumber(rest, value))
        return std::nullopt;
    if (orbelin::Trim(rest) == "%")
        value /= 100.0;
    else if (!orbelin::Trim(rest).empty())
        return std::nullopt;
    return std::clamp(value, 0.0, 1.0);
}

void ApplyMarker(std::string_view& slot, std::string_view value, std::string_view inherited, CStyleTexts& texts)
{
    const std::string_view t = orbelin::Trim(value);
    if (t == "inherit")
        slot = inherited;
    else if (t == "none")
        slot = std::string_view();
    else
        slot = texts.Keep(t);
}

} // namespace

std::string_view CStyleTexts::Keep(std::string_view text)
{
    if (text.empty())
        return std::string_view();
    const auto found = m_kept.find(text);
    if (found != m_kept.end())
        return *found;
    const std::string_view kept = m_texts.emplace_back(text);
    m_kept.insert(kept);
    return kept;
}

std::string ExactDashArray(std::string_view text, const CLengthContext& context)
{
    std::string_view rest = orbelin::Trim(text);
    if (rest == "none")
        return std::string();
    std::vector<double> lengths;
    double sum = 0.0;
    while (!rest.empty())
    {
        // One length a piece, between blanks or commas.
        std::size_t end = 0;
        while (end < rest.size() && rest[end] != ',' && !orbelin::IsSpace(rest[end]))
            ++end;
        if (end == 0)
            return std::string(); // an empty piece: two commas in a row
        const auto length = ResolveLength(rest.substr(0, end), context, CLengthAxis::Other);
        if (!length || !(*length >= 0.0) || !std::isfinite(*length))
            return std::string();
        lengths.push_back(*length);
        sum += *length;
        rest.remove_prefix(end);
        rest = orbelin::Trim(rest);
        if (!rest.empty() && rest.front() == ',')
        {
            rest = orbelin::Trim(rest.substr(1));
            if (rest.empty())
                return std::string();
        }
    }
    if (!(sum > 0.0) || !std::isfinite(sum))
        return std::string();
    // An odd list is repeated to make it even: "5" is five on, five off.
    const std::size_t count = lengths.size();
    if (count % 2 != 0)
        lengths.insert(lengths.end(), lengths.begin(), lengths.begin() + static_cast<std::ptrdiff_t>(count));
    std::string pattern;
    for (const double length : lengths)
    {
        if (!pattern.empty())
            pattern += ' ';
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, length);
        pattern.append(buffer, result.ptr);
    }
    return pattern;
}

std::optional<double> ResolveFontSize(std::string_view text, double parentSize)
{
    const std::string_view t = orbelin::Trim(text);
    static const struct
    {
        std::string_view name;
        double size;
    } kKeywords[] = {{"xx-small", 9}, {"x-small", 10}, {"small", 13},    {"medium", 16},
                     {"large", 18},   {"x-large", 24}, {"xx-large", 32}, {"xxx-large", 48}};
    for (const auto& keyword : kKeywords)
        if (t == keyword.name)
            return keyword.size;
    if (t == "larger")
        return parentSize * 1.2;
    if (t == "smaller")
        return parentSize / 1.2;
    CLengthContext context;
    context.fontSize = parentSize;
    // A percentage of a font size is of the parent's font size.
    context.viewportWidth = context.viewportHeight = parentSize;
    const auto size = ResolveLength(t, context, CLengthAxis::X);
    if (!size || *size < 0.0)
        return std::nullopt;
    return size;
}

int ResolveFontWeight(std::string_view text, int parentWeight)
{
    if (text == "normal")
        return 400;
    if (text == "bold")
        return 700;
    // The steps of bolder and lighter from the inherited weight, as browsers take them.
    if (text == "bolder")
        return parentWeight < 350 ? 400 : parentWeight < 550 ? 700 : 900;
    if (text == "lighter")
        return parentWeight < 100 ? parentWeight : parentWeight < 550 ? 100 : parentWeight < 750 ? 400 : 700;
    std::string_view rest = text;
    double value = 0.0;
    if (ReadSvgNumber(rest, value) && orbelin::Trim(rest).empty() && value >= 1.0 && value <= 1000.0)
        return static_cast<int>(value);
    return parentWeight;
}

std::string FirstFontFamily(std::string_view text)
{
    std::string_view first = text.substr(0, text.find(','));
    first = orbelin::Trim(first);
    if (first.size() >= 2 && (first.front() == '\'' || first.front() == '"') && first.back() == first.front())
        first = orbelin::Trim(first.substr(1, first.size() - 2));
    return std::string(first);
}

bool ParseFontShorthand(std::string_view text, CFontShorthand& out)
{
    out = CFontShorthand();
    std::string_view rest = orbelin::Trim(text);
    // Style, variant, weight and stretch in any order, then the size: the first word none of them.
    for (;;)
    {
        std::size_t end = 0;
        while (end < rest.size() && !orbelin::IsSpace(rest[end]))
            ++end;
        const std::string_view word = rest.substr(0, end);
        if (word.empty())
            return false;
        static const std::string_view kIgnored[] = {"normal",         "small-caps",      "ultra-condensed",
                                                    "extra-condensed", "condensed",      "semi-condensed",
                                                    "semi-expanded",  "expanded",        "extra-expanded",
                                                    "ultra-expanded"};
        const bool numericWeight = word.size() == 3 && word[0] >= '1' && word[0] <= '9' && word[1] == '0' &&
                                   word[2] == '0';
        if (word == "italic" || word == "oblique")
            out.italic = true;
        else if (word == "bold" || word == "bolder" || word == "lighter" || numericWeight)
            out.weight = word;
        else if (std::find(std::begin(kIgnored), std::end(kIgnored), word) == std::end(kIgnored))
            break;
        rest = orbelin::TrimLeft(rest.substr(end));
    }
    // The size, with a line height after a slash that may stand apart: "12px/1.5", "12px / 1.5".
    std::size_t end = 0;
    while (end < rest.size() && !orbelin::IsSpace(rest[end]) && rest[end] != '/')
        ++end;
    out.size = rest.substr(0, end);
    rest = orbelin::TrimLeft(rest.substr(end));
    if (!rest.empty() && rest.front() == '/')
    {
        rest = orbelin::TrimLeft(rest.substr(1));
        std::size_t heightEnd = 0;
        while (heightEnd < rest.size() && !orbelin::IsSpace(rest[heightEnd]))
            ++heightEnd;
        rest = orbelin::TrimLeft(rest.substr(heightEnd));
    }
    out.families = orbelin::Trim(rest);
    // The size and the family are what the shorthand must give; a size that is none makes the
    // whole declaration invalid.
    return !out.families.empty() && ResolveFontSize(out.size, 16.0).has_value();
}

CExactStyle ComputeStyle(const CXML& element, const CExactStyle& parent, const CStyleEnvironment& environment)
{
    CStyleTexts& texts = *environment.texts;
    CExactStyle style = parent;
    style.displayNone = false;
    style.opacity = 1.0;

    // Cascade order: presentation attributes, then the sheet's and the style attribute's normal
    // declarations, then the important ones; a later value replaces an earlier one.
    std::vector<CCssDeclaration> sheet;
    std::vector<CCssDeclaration> inline_;
    if (environment.sheet != nullptr && !environment.sheet->Empty())
        environment.sheet->Match(element, sheet);
    std::array<std::string_view, kPropertyCount> value{};
    std::array<bool, kPropertyCount> set{};
    for (const CAttribute& attribute : element.m_attributes)
    {
        if (attribute.GetName() == "style")
            ParseCssDeclarations(attribute.GetValue(), inline_);
        else if (const int p = PropertyOf(attribute.GetName()); p >= 0)
        {
            value[static_cast<std::size_t>(p)] = attribute.GetValue();
            set[static_cast<std::size_t>(p)] = true;
        }
    }
    const auto take = [&](const std::vector<CCssDeclaration>& list, bool important)
    {
        for (const CCssDeclaration& declaration : list)
            if (declaration.important == important)
                if (const int p = PropertyOf(declaration.property); p >= 0)
                {
                    value[static_cast<std::size_t>(p)] = declaration.value;
                    set[static_cast<std::size_t>(p)] = true;
                }
    };
    take(sheet, false);
    take(inline_, false);
    take(sheet, true);
    take(inline_, true);

    CLengthContext lengths;
    lengths.viewportWidth = environment.viewportWidth;
    lengths.viewportHeight = environment.viewportHeight;
    // An em is the element's font size, inherited unless it sets its own (read first, below).
    lengths.fontSize = style.fontSize;
    for (int p = 0; p < kPropertyCount; ++p)
    {
        if (!set[static_cast<std::size_t>(p)])
            continue;
        const std::string_view v = orbelin::Trim(value[static_cast<std::size_t>(p)]);
        // inherit takes the parent's value, which the style started from for every property.
        if (v == "inherit")
        {
            if (p == kDisplay)
                style.displayNone = parent.displayNone;
            else if (p == kOpacity)
                style.opacity = parent.opacity;
            continue;
        }
        switch (p)
        {
        case kFont:
        {
            // Whatever the shorthand leaves out goes back to its initial value.
            CFontShorthand font;
            if (!ParseFontShorthand(v, font))
                break;
            if (const auto size = ResolveFontSize(font.size, parent.fontSize))
                style.fontSize = *size;
            lengths.fontSize = style.fontSize;
            style.italic = font.italic;
            style.fontWeight = font.weight.empty() ? 400 : ResolveFontWeight(font.weight, parent.fontWeight);
            style.fontFamily = texts.Keep(FirstFontFamily(font.families));
            style.fontFamilies = texts.Keep(font.families);
            break;
        }
        case kFontSize:
            if (const auto size = ResolveFontSize(v, parent.fontSize))
                style.fontSize = *size;
            lengths.fontSize = style.fontSize;
            break;
        case kColor:
        {
            CExactColor colour;
            if (ParseCssColor(v, parent.color, colour))
                style.color = colour.rgb;
            break;
        }
        case kFill:
            ParsePaint(v, style.color, environment.lookup, style.fill);
            break;
        case kStroke:
            ParsePaint(v, style.color, environment.lookup, style.stroke);
            break;
        case kStrokeWidth:
            if (const auto width = ResolveLength(v, lengths, CLengthAxis::Other); width && *width >= 0.0)
                style.strokeWidth = *width;
            break;
        case kStrokeDasharray:
            style.dashArray = texts.Keep(ExactDashArray(v, lengths));
            break;
        case kFillOpacity:
            if (const auto o = ReadOpacity(v))
                style.fillOpacity = *o;
            break;
        case kStrokeOpacity:
            if (const auto o = ReadOpacity(v))
                style.strokeOpacity = *o;
            break;
        case kOpacity:
            if (const auto o = ReadOpacity(v))
                style.opacity = *o;
            break;
        case kDisplay:
            style.displayNone = v == "none";
            break;
        case kVisibility:
            style.hidden = v == "hidden" || v == "collapse";
            break;
        case kFontFamily:
            style.fontFamily = texts.Keep(FirstFontFamily(v));
            style.fontFamilies = texts.Keep(v);
            break;
        case kFontWeight:
            style.fontWeight = ResolveFontWeight(v, parent.fontWeight);
            break;
        case kFontStyle:
            if (v == "normal")
                style.italic = false;
            else if (v == "italic" || v.rfind("oblique", 0) == 0)
                style.italic = true;
            break;
        case kTextAnchor:
            style.textAnchor = v == "middle" ? CTextAnchor::Middle
                               : v == "end"  ? CTextAnchor::End
                                             : CTextAnchor::Start;
            break;
        case kFillRule:
            if (v == "evenodd" || v == "nonzero")
                style.evenOdd = v == "evenodd";
            break;
        case kMarker:
            ApplyMarker(style.markerStart, v, parent.markerStart, texts);
            ApplyMarker(style.markerMid, v, parent.markerMid, texts);
            ApplyMarker(style.markerEnd, v, parent.markerEnd, texts);
            break;
        case kMarkerMid:
            ApplyMarker(style.markerMid, v, parent.markerMid, texts);
            break;
        case kMarkerStart:
            ApplyMarker(style.markerStart, v, parent.markerStart, texts);
            break;
        case kMarkerEnd:
            ApplyMarker(style.markerEnd, v, parent.markerEnd, texts);
            break;
        default:
            break;
        }
    }
    return style;
}
