#include "svg/walker.h"

#include "platform/text.h"
#include "svg/converter.h"
#include "svg/style.h"
#include "xml/xml.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

using orbelin::EqualsNoCase;
using orbelin::ReadDouble;

namespace
{

// The texts one element may hand to its emitter; empty when the attribute is absent.
struct ElementSlots
{
    std::string transform, x, y, x1, y1, x2, y2, cx, cy, r, rx, ry, width, height, points;
    // The path data stays where the reader left it: it is most of a drawing's bytes, and only read.
    std::string_view d;
    std::string polylineDash, pathDash, markerStart, markerEnd, href;
    std::string textFontSize, textFontFamily, tspanFontSize, tspanFontFamily;
    int rectFilled = 0;
};

enum class Tag
{
    Svg,
    Group,
    Defs,
    Path,
    Line,
    Polyline,
    Polygon,
    Rect,
    Circle,
    Ellipse,
    Use,
    Text,
    Tspan,
    Marker,
    Symbol,
    Other
};

// text, polyline, path and g are matched exactly; the other names ignore letter case, which makes
// no difference for valid SVG but is how drawings from older exporters have always been read.
Tag Classify(std::string_view tag)
{
    if (tag == "g")
        return Tag::Group;
    if (tag == "path")
        return Tag::Path;
    if (tag == "text")
        return Tag::Text;
    if (tag == "polyline")
        return Tag::Polyline;
    static const std::pair<const char*, Tag> kNoCase[] = {
        {"svg", Tag::Svg},       {"defs", Tag::Defs},     {"line", Tag::Line},     {"polygon", Tag::Polygon},
        {"rect", Tag::Rect},     {"circle", Tag::Circle}, {"ellipse", Tag::Ellipse}, {"use", Tag::Use},
        {"tspan", Tag::Tspan},   {"marker", Tag::Marker}, {"symbol", Tag::Symbol}};
    for (const auto& [name, kind] : kNoCase)
        if (EqualsNoCase(tag, name))
            return kind;
    return Tag::Other;
}

// memchr rather than a loop over the characters: path data is most of a large drawing's bytes.
unsigned long Occurrences(std::string_view text, char letter)
{
    unsigned long count = 0;
    const char* at = text.data();
    const char* const end = at + text.size();
    while ((at = static_cast<const char*>(std::memchr(at, letter, static_cast<std::size_t>(end - at)))) !=
           nullptr)
    {
        ++count;
        ++at;
    }
    return count;
}

} // namespace

unsigned long ExpectedHandles(const CXML& root)
{
    unsigned long count = 0;
    std::vector<const CXML*> pending{&root};
    while (!pending.empty())
    {
        const CXML* node = pending.back();
        pending.pop_back();
        switch (Classify(node->m_strTag))
        {
        case Tag::Path:
        {
            unsigned long subpaths = 0;
            for (const CAttribute& attribute : node->m_attributes)
                if (attribute.GetName() == "d")
                    subpaths +=
                        Occurrences(attribute.GetValue(), 'M') + Occurrences(attribute.GetValue(), 'm');
            count += std::max(subpaths, 1ul);
            break;
        }
        case Tag::Line:
        case Tag::Polyline:
        case Tag::Polygon:
        case Tag::Rect:
        case Tag::Circle:
        case Tag::Ellipse:
        case Tag::Text:
        case Tag::Use:
            ++count;
            break;
        default:
            break;
        }
        for (const auto& child : node->m_children)
            pending.push_back(child.get());
    }
    return count;
}

CElementWalker::CElementWalker(CConverter& converter, ProgressSink progress, ElementSink elementDone)
    : m_converter(converter), m_progress(std::move(progress)), m_elementDone(std::move(elementDone))
{
}

void CElementWalker::WalkElement(CXML& node, int n)
{
    CConverter& cv = m_converter;
    const Tag tag = Classify(node.m_strTag);
    ElementSlots s;

    // A colour value: "none" changes nothing at all; anything else is parsed and stored.
    auto fillColour = [&](std::string_view value) {
        if (value == "none")
            return false;
        cv.m_fillRgb = ParseColor(value);
        return true;
    };
    auto strokeColour = [&](std::string_view value) {
        if (value == "none")
            return false;
        cv.SetStrokeRgb(ParseColor(value));
        return true;
    };
    // The same for the elements that remember being filled or stroked: a colour marks the element
    // (and, for a group, the group's fill) for the drawing that follows.
    auto markFill = [&](std::string_view value) {
        if (fillColour(value))
        {
            m_fillSet = 1;
            if (tag == Tag::Group)
                m_groupFillSet = 1;
        }
    };
    auto markStroke = [&](std::string_view value) {
        if (strokeColour(value))
            m_strokeSet = 1;
    };
    // The declarations that a group's style and a path's style read alike; false for any other.
    auto paintDeclaration = [&](std::string_view property, std::string_view value) {
        if (property == "fill")
            markFill(value);
        else if (property == "stroke")
            markStroke(value);
        else if (property == "stroke-width")
            cv.m_elementStrokeWidth = ReadDouble(value);
        else
            return false;
        return true;
    };
    // x and y of the elements placed at a point; false for any other attribute.
    auto placement = [&](std::string_view name, std::string_view value) {
        if (name == "x")
            s.x = value;
        else if (name == "y")
            s.y = value;
        else
            return false;
        return true;
    };

    // 1. Element start.
    switch (tag)
    {
    case Tag::Group:
        cv.PushGroupMatrix();
        m_groupFillSet = 0;
        m_containerTag = "g";
        break;
    case Tag::Defs:
        m_containerTag = "defs";
        m_inDefs = 1;
        break;
    case Tag::Path:
        cv.m_elementStrokeWidth = 0;
        break;
    case Tag::Marker:
        cv.CollectDefinition(node);
        break;
    case Tag::Symbol:
        if (m_inDefs == 1)
            cv.CollectDefinition(node);
        break;
    default:
        break;
    }

    // 2. Attributes, in the byte-wise order of their names: that order decides which of an attribute
    // and a style declaration wins, so it is part of the behaviour.
    bool firstAttribute = true;
    for (const CAttribute& attribute : node.m_attributes)
    {
        const std::string_view name = attribute.GetName();
        const std::string_view value = attribute.GetValue();
        switch (tag)
        {
        case Tag::Svg:
            if (name == "viewBox")
                cv.ParseViewBox(value);
            else if (name == "height")
                cv.m_docHeight = ReadDouble(value);
            else if (name == "width")
                cv.m_docWidth = ReadDouble(value);
            break;
        case Tag::Group:
            if (name == "stroke-width")
                cv.m_groupStrokeWidth = ReadDouble(value);
            else if (name == "fill")
                markFill(value);
            else if (name == "stroke")
                markStroke(value);
            else if (name == "transform")
                cv.ParseGroupTransform(value);
            else if (name == "style")
            {
                m_fillSet = 0;
                if (value.find("font-size:") != std::string::npos)
                    cv.m_groupStyle = value;
                ForEachDeclaration(value, paintDeclaration);
            }
            else if (name == "font-size")
                cv.m_groupFontSize = value;
            else if (name == "font-family")
                cv.m_groupFontFamily = value;
            else if (name == "id")
            {
                const std::string_view id = orbelin::Trim(value);
                if (!id.empty())
                    cv.m_currentLayer = std::string(id);
            }
            break;
        case Tag::Path:
            if (firstAttribute)
                m_fillSet = m_strokeSet = 0;
            if (name == "d")
                s.d = value;
            else if (name == "transform")
                s.transform = value;
            else if (name == "fill")
                markFill(value);
            else if (name == "stroke")
                markStroke(value);
            else if (name == "style")
            {
                m_fillSet = 0;
                ForEachDeclaration(value, [&](std::string_view property, std::string_view text) {
                    if (paintDeclaration(property, text))
                        return;
                    if (property == "stroke-dasharray")
                        s.pathDash = text;
                    else if (property == "marker-start")
                        s.markerStart = text;
                    else if (property == "marker-end")
                        s.markerEnd = text;
                });
            }
            break;
        case Tag::Line:
            if (name == "x1")
                s.x1 = value;
            else if (name == "y1")
                s.y1 = value;
            else if (name == "x2")
                s.x2 = value;
            else if (name == "y2")
                s.y2 = value;
            else if (name == "transform")
                s.transform = value;
            else if (name == "stroke")
                markStroke(value);
            break;
        case Tag::Polyline:
        case Tag::Polygon:
            if (name == "points")
                s.points = value;
            else if (name == "transform")
                s.transform = value;
            else if (name == "stroke-dasharray" && tag == Tag::Polyline)
                s.polylineDash = value;
            break;
        case Tag::Rect:
            if (placement(name, value))
                break;
            if (name == "width")
                s.width = value;
            else if (name == "height")
                s.height = value;
            else if (name == "rx")
                s.rx = value;
            else if (name == "ry")
                s.ry = value;
            else if (name == "transform")
                s.transform = value;
            else if (name == "fill")
            {
                if (fillColour(value))
                    s.rectFilled = 1;
            }
            else if (name == "stroke")
                strokeColour(value);
            else if (name == "style")
            {
                if (cv.ApplyRectStyle(value))
                    s.rectFilled = 1;
            }
            break;
        case Tag::Circle:
        case Tag::Ellipse:
            if (name == "cx")
                s.cx = value;
            else if (name == "cy")
                s.cy = value;
            else if (name == "r" && tag == Tag::Circle)
                s.r = value;
            else if (name == "rx" && tag == Tag::Ellipse)
                s.rx = value;
            else if (name == "ry" && tag == Tag::Ellipse)
                s.ry = value;
            else if (name == "transform")
                s.transform = value;
            else if (name == "fill")
                markFill(value);
            else if (name == "stroke")
                markStroke(value);
            break;
        case Tag::Use:
            if (placement(name, value))
                break;
            if (name == "xlink:href")
                s.href = value;
            else if (name == "transform")
                s.transform = value;
            break;
        case Tag::Text:
            if (placement(name, value))
                break;
            if (name == "transform")
                s.transform = value;
            else if (name == "font-size")
                s.textFontSize = value;
            else if (name == "font-family")
                s.textFontFamily = value;
            else if (name == "style")
                cv.ApplyTextStyle(value, s.textFontFamily, s.textFontSize);
            break;
        case Tag::Tspan:
            // A tspan's own transform is not read: it takes the enclosing text's.
            if (placement(name, value))
                break;
            if (name == "font-size")
                s.tspanFontSize = value;
            else if (name == "font-family")
                s.tspanFontFamily = value;
            else if (name == "style")
                cv.ApplyTextStyle(value, s.tspanFontFamily, s.tspanFontSize);
            break;
        default:
            break;
        }
        firstAttribute = false;
    }

    // 3. Drawing.
    switch (tag)
    {
    case Tag::Text:
        if (s.textFontSize.empty())
            cv.ApplyTextStyle(cv.m_groupStyle, s.textFontFamily, s.textFontSize);
        cv.WriteTextElement(s.transform, s.textFontFamily, s.textFontSize, node.m_strText, s.x, s.y);
        break;
    case Tag::Tspan:
        if (s.tspanFontFamily.empty())
            s.tspanFontFamily = m_textFontFamily;
        if (s.tspanFontSize.empty())
            s.tspanFontSize = m_textFontSize;
        if (s.transform.empty())
            s.transform = m_textTransform;
        cv.WriteTextElement(s.transform, s.tspanFontFamily, s.tspanFontSize, node.m_strText, s.x, s.y);
        break;
    case Tag::Polyline:
        cv.WritePolylineElement(s.transform, s.points, s.polylineDash, 0);
        break;
    case Tag::Polygon:
        cv.WritePolylineElement(s.transform, s.points, std::string(), 1);
        break;
    case Tag::Line:
        cv.WriteLineElement(s.transform, s.x1, s.y1, s.x2, s.y2);
        break;
    case Tag::Path:
        // Paths inside defs are templates, drawn nowhere.
        if (m_containerTag != "defs" && m_inDefs == 0)
        {
            const auto outline = [&] {
                cv.PathElement(s.transform, s.d, s.pathDash, s.markerStart, s.markerEnd);
            };
            if (m_fillSet == 1 && cv.m_fillOption != 0)
            {
                cv.FilledPathElement(s.transform, s.d);
                if (m_strokeSet == 1)
                    outline();
            }
            else if (m_fillSet == 1)
            {
                // Without fill entities the shape is still shown, as its outline in the fill colour.
                const int savedAci = cv.m_strokeAci;
                cv.m_strokeAci = NearestAci(cv.m_fillRgb);
                outline();
                cv.m_strokeAci = savedAci;
            }
            else
                outline();
            m_strokeSet = 0;
        }
        break;
    case Tag::Rect:
        cv.WriteRectElement(s.transform, s.x, s.y, s.width, s.height, s.rectFilled, s.rx, s.ry);
        break;
    case Tag::Circle:
        cv.WriteCircleElement(m_fillSet, s.transform, s.cx, s.cy, s.r, std::string(), m_strokeSet);
        m_fillSet = 0;
        break;
    case Tag::Ellipse:
        cv.WriteEllipseElement(m_fillSet, s.transform, s.cx, s.cy, s.rx, s.ry, std::string(), m_strokeSet);
        m_fillSet = 0;
        break;
    case Tag::Use:
        if (m_fillSet == 0 || (cv.m_fillOption == 0 && m_groupFillSet == 0))
            cv.WriteUseOutline(s.transform, s.x, s.y, s.href);
        else
            cv.WriteUseFilled(s.transform, s.x, s.y, s.href);
        break;
    default:
        break;
    }

    if (m_elementDone)
        m_elementDone(node);

    // 4. Children.
    if (tag == Tag::Text)
    {
        m_textTransform = s.transform;
        m_textFontFamily = s.textFontFamily;
        m_textFontSize = s.textFontSize;
    }
    const double step = n > 0 ? 80.0 / n : 0.0;
    const std::size_t count = node.m_children.size();
    for (std::size_t k = 0; k < count; ++k)
    {
        if (cv.Cancelled())
            break;
        WalkElement(*node.m_children[k], 0);
        if (n > 0 && m_progress)
            m_progress(static_cast<int>(static_cast<double>(k + 1) * step + 15));
    }

    // 5. Element end: only the group matrix and the group-fill flag end with their group; every
    // other state stays in force for later elements in document order.
    switch (tag)
    {
    case Tag::Text:
        m_textTransform.clear();
        m_textFontFamily.clear();
        m_textFontSize.clear();
        break;
    case Tag::Group:
        cv.PopGroupMatrix();
        m_groupFillSet = 0;
        break;
    case Tag::Defs:
        m_containerTag.clear();
        m_inDefs = 0;
        break;
    default:
        break;
    }
}

void CConverter::ParseViewBox(std::string_view viewBox)
{
    // Blanks (any byte up to 32) separate the numbers like commas; an empty piece between two
    // separators reads as 0 and takes a place. Missing values are 0, except that a missing fourth
    // number repeats the first.
    std::string_view text(viewBox);
    std::size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= 32)
        ++i;
    text.remove_prefix(i);

    double values[4] = {0, 0, 0, 0};
    int found = 0;
    std::size_t start = 0;
    for (std::size_t pos = 0; pos <= text.size() && found < 4; ++pos)
    {
        const bool end = pos == text.size();
        if (end || text[pos] == ',' || static_cast<unsigned char>(text[pos]) <= 32)
        {
            values[found++] = ReadDouble(text.substr(start, pos - start));
            start = pos + 1;
        }
    }
    const double p = values[0], q = values[1], w = values[2];
    const double h = found >= 4 ? values[3] : p;
    m_docWidth = w - p;
    m_docHeight = h - q;
}
