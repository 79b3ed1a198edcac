#include "svg/exact_reading.h"

#include "geometry/curve_writing.h"
#include "platform/text.h"
#include "svg/converter.h"
#include "svg/exact_transform.h"
#include "svg/style.h"
#include "xml/xml.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace
{

constexpr double kTwoPi = 6.283185307179586;
// Nesting beyond this is not drawn: the tree reader bounds it already, this bounds use chains.
constexpr int kMaxDepth = 1024;
constexpr std::size_t kMaxOpenUses = 32;
// Uses drawn in one conversion: nested uses multiply (ten uses of a group of ten uses of ...), and
// a small file could otherwise ask for more copies than any drawing holds.
constexpr std::size_t kMaxUseCopies = 1000000;
// Text height is 0.8 of the font size, as in the default reading.
constexpr double kHeightPerFontSize = 0.8;
// An estimate of a character's advance, for runs that continue where the last one ended.
constexpr double kAdvancePerFontSize = 0.55;

bool IsOneOf(std::string_view tag, std::initializer_list<std::string_view> names)
{
    for (const std::string_view name : names)
        if (tag == name)
            return true;
    return false;
}

std::string_view Attribute(const CXML& node, std::string_view name)
{
    const CAttribute* attribute = node.FindAttribute(name);
    return attribute != nullptr ? attribute->GetValue() : std::string_view();
}

bool HasAttribute(const CXML& node, std::string_view name)
{
    return node.FindAttribute(name) != nullptr;
}

void AppendNumber(std::string& out, double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::isfinite(value) ? value : 0.0);
    out.append(buffer, result.ptr);
}

void AppendPoint(std::string& out, char command, double x, double y)
{
    out += command;
    AppendNumber(out, x);
    out += ',';
    AppendNumber(out, y);
}

// A number as written into generated path data, where a sum beyond the doubles stands as 0.
double Finite(double value)
{
    return std::isfinite(value) ? value : 0.0;
}

bool HasMarkers(const CExactStyle& style)
{
    return !style.markerStart.empty() || !style.markerMid.empty() || !style.markerEnd.empty();
}

// The points of a polygon or polyline by the grammar: pairs of numbers between blanks or commas,
// up to the first text that is not a number; an odd number left over is dropped.
void ReadPointsList(std::string_view text, CPointList& points)
{
    double x = 0.0;
    double y = 0.0;
    while (ReadSvgNumber(text, x) && ReadSvgNumber(text, y))
    {
        CPointData point;
        point.x = x;
        point.y = y;
        points.push_back(point);
    }
}

// The attributes that place a shape, found in one pass over the element's attributes rather than
// by a search for each.
struct CShapeAttributes
{
    std::string_view x, y, width, height, rx, ry, cx, cy, r, x1, y1, x2, y2, points, d;

    explicit CShapeAttributes(const CXML& node)
    {
        using Member = std::string_view CShapeAttributes::*;
        static const std::pair<std::string_view, Member> kSlots[] = {
            {"x", &CShapeAttributes::x},         {"y", &CShapeAttributes::y},
            {"width", &CShapeAttributes::width}, {"height", &CShapeAttributes::height},
            {"rx", &CShapeAttributes::rx},       {"ry", &CShapeAttributes::ry},
            {"cx", &CShapeAttributes::cx},       {"cy", &CShapeAttributes::cy},
            {"r", &CShapeAttributes::r},         {"x1", &CShapeAttributes::x1},
            {"y1", &CShapeAttributes::y1},       {"x2", &CShapeAttributes::x2},
            {"y2", &CShapeAttributes::y2},       {"points", &CShapeAttributes::points},
            {"d", &CShapeAttributes::d}};
        for (const CAttribute& attribute : node.m_attributes)
        {
            const std::string_view name = attribute.GetName();
            for (const auto& [slotName, member] : kSlots)
                if (slotName.size() == name.size() && slotName == name)
                {
                    this->*member = attribute.GetValue();
                    break;
                }
        }
    }
};

// What a shape's style draws: its fill as fill entities where those are written, and an outline for
// a drawn stroke or, where fills are not written, for the fill, in the fill colour.
struct CShapePaint
{
    bool fill = false;
    bool outline = false;
    bool outlineInFillColour = false;
};

CShapePaint ShapePaintOf(const CExactStyle& style, int fillOption)
{
    CShapePaint paint;
    paint.fill = style.FillDrawn() && fillOption != 0;
    paint.outlineInFillColour = !style.StrokeDrawn() && style.FillDrawn() && fillOption == 0;
    paint.outline = style.StrokeDrawn() || paint.outlineInFillColour;
    return paint;
}

// While it lives, the outline colour is the fill colour where the paint asks for it.
class COutlineColour
{
  public:
    COutlineColour(CConverter& converter, const CShapePaint& paint)
        : m_converter(converter), m_saved(converter.m_strokeAci)
    {
        if (paint.outlineInFillColour)
            converter.m_strokeAci = converter.m_colourIndex(converter.m_fillRgb);
    }
    ~COutlineColour() { m_converter.m_strokeAci = m_saved; }
    COutlineColour(const COutlineColour&) = delete;
    COutlineColour& operator=(const COutlineColour&) = delete;

  private:
    CConverter& m_converter;
    int m_saved;
};

// Whether a text is only spaces: ASCII white space, the no-break space and the other Unicode spaces.
// Such a run only moves the pen; a TEXT of it would show nothing, or the escape of an unknown
// character where a reader lacks it.
bool ShowsNothing(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size())
    {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
        if (orbelin::IsSpace(text[i]))
            ++i;
        else if (i + 1 < text.size() && byte(i) == 0xC2 && byte(i + 1) == 0xA0)
            i += 2;
        else if (i + 2 < text.size() && byte(i) == 0xE2 && byte(i + 1) == 0x80 &&
                 ((byte(i + 2) >= 0x80 && byte(i + 2) <= 0x8B) || byte(i + 2) == 0xAF))
            i += 3;
        else if (i + 2 < text.size() && ((byte(i) == 0xE2 && byte(i + 1) == 0x81 && byte(i + 2) == 0x9F) ||
                                         (byte(i) == 0xE3 && byte(i + 1) == 0x80 && byte(i + 2) == 0x80)))
            i += 3;
        else
            return false;
    }
    return true;
}

// Whether a list of lengths holds one in em, ex or percent, which depend on where it stands.
bool HasRelativeUnit(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == '%')
            return true;
        if ((text[i] == 'e' || text[i] == 'E') && i + 1 < text.size() &&
            (text[i + 1] == 'm' || text[i + 1] == 'M' || text[i + 1] == 'x' || text[i + 1] == 'X'))
            return true;
    }
    return false;
}

// The first number of an attribute list (x="10 20 30" places the first character).
std::string_view FirstValue(std::string_view list)
{
    const std::string_view t = orbelin::Trim(list);
    std::size_t end = 0;
    while (end < t.size() && t[end] != ',' && !orbelin::IsSpace(t[end]))
        ++end;
    return t.substr(0, end);
}

// A switch child is drawn when its conditions hold for an English-speaking reader with every
// feature and no extension.
bool ConditionsHold(const CXML& node)
{
    if (HasAttribute(node, "requiredExtensions") &&
        !orbelin::Trim(Attribute(node, "requiredExtensions")).empty())
        return false;
    if (!HasAttribute(node, "systemLanguage"))
        return true;
    std::string_view rest = Attribute(node, "systemLanguage");
    while (!rest.empty())
    {
        const std::size_t comma = rest.find(',');
        const std::string_view language = orbelin::Trim(rest.substr(0, comma));
        if (language.size() >= 2 && orbelin::EqualsNoCase(language.substr(0, 2), "en") &&
            (language.size() == 2 || language[2] == '-'))
            return true;
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    return false;
}

// The element's own character content as the reader keeps it, without a closing tag it may hold.
std::string_view OwnText(const CXML& node)
{
    std::string_view text = static_cast<const std::string&>(node.m_strText);
    const std::size_t tag = text.find("</");
    if (tag != std::string_view::npos)
        text = text.substr(0, tag);
    return text;
}

} // namespace

std::string_view ExactTag(const CXML& node)
{
    std::string_view tag = node.m_strTag;
    if (tag.substr(0, 4) == "svg:")
        tag.remove_prefix(4);
    return tag;
}

namespace
{

// How DecodeTextContent takes each byte of a text run: copied as it stands, a blank (copied unless
// it follows another), or the end of the run that is copied in one piece.
enum : unsigned char
{
    kCopied,
    kBlank,
    kStops
};

constexpr std::array<unsigned char, 256> MakeTextByteKinds()
{
    std::array<unsigned char, 256> kinds{};
    kinds[static_cast<unsigned char>('&')] = kStops;
    kinds[static_cast<unsigned char>('\n')] = kStops;
    kinds[static_cast<unsigned char>('\r')] = kStops;
    kinds[static_cast<unsigned char>('\t')] = kStops;
    kinds[static_cast<unsigned char>(' ')] = kBlank;
    return kinds;
}

constexpr std::array<unsigned char, 256> kTextByteKind = MakeTextByteKinds();

constexpr std::uint64_t Repeated(char c)
{
    return 0x0101010101010101ull * static_cast<unsigned char>(c);
}

// 0x80 in each byte of x that is zero, and nothing else.
constexpr std::uint64_t ZeroBytes(std::uint64_t x)
{
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    return ~(((x & kLow7) + kLow7) | x | kLow7);
}

// The words above are read with the first byte lowest.
bool IsLittleEndian()
{
    const std::uint16_t one = 1;
    unsigned char first = 0;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

} // namespace

std::string DecodeTextContent(std::string_view text, bool preserveSpace)
{
    // A reference is never shorter than what it decodes to, so the result fits in the text's size
    // and is written through a pointer: text runs are the bulk of a text-heavy drawing.
    std::string out(text.size(), '\0');
    char* const begin = out.data();
    char* end = begin;
    // xml:space: default drops line breaks, turns tabs into blanks and runs of blanks into one;
    // preserve turns every one of them into a blank. Decoded characters follow the same rule.
    const auto put = [&](char c)
    {
        if (c == '\n' || c == '\r')
        {
            if (preserveSpace)
                *end++ = ' ';
            return;
        }
        const char d = c == '\t' ? ' ' : c;
        if (!preserveSpace && d == ' ' && end != begin && end[-1] == ' ')
            return;
        *end++ = d;
    };
    static const std::pair<std::string_view, char> kNamed[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    std::string code;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i)
    {
        // The run up to the next character that is not copied as it stands goes in one copy: a
        // reference, a line break or a tab, or (unless preserved) a blank after a blank.
        std::size_t j = i;
        bool afterBlank = end != begin && end[-1] == ' ';
        // Eight bytes at a time while none of them stops the run, as text content is the bulk of
        // a text-heavy drawing.
        while (j + 8 <= n)
        {
            std::uint64_t word = 0;
            std::memcpy(&word, text.data() + j, 8);
            const std::uint64_t stops = ZeroBytes(word ^ Repeated('&')) | ZeroBytes(word ^ Repeated('\n')) |
                                        ZeroBytes(word ^ Repeated('\r')) | ZeroBytes(word ^ Repeated('\t'));
            const std::uint64_t blanks = ZeroBytes(word ^ Repeated(' '));
            // A blank after a blank: within the word, or its first byte after the last one copied.
            const std::uint64_t doubled = blanks & ((blanks << 8) | (afterBlank ? 0x80u : 0u));
            if (stops != 0 || (!preserveSpace && doubled != 0) || !IsLittleEndian())
                break;
            afterBlank = (blanks >> 63) != 0;
            j += 8;
        }
        while (j < n)
        {
            const unsigned char kind = kTextByteKind[static_cast<unsigned char>(text[j])];
            if (kind == kCopied)
            {
                afterBlank = false;
                ++j;
                continue;
            }
            if (kind == kStops || (afterBlank && !preserveSpace))
                break;
            afterBlank = true;
            ++j;
        }
        if (j > i)
        {
            std::memcpy(end, text.data() + i, j - i);
            end += j - i;
            i = j;
            if (i == n)
                break;
        }
        const char c = text[i];
        if (c != '&')
        {
            put(c);
            continue;
        }
        const std::size_t semicolon = text.find(';', i);
        if (semicolon == std::string_view::npos || semicolon - i > 12)
        {
            put(c);
            continue;
        }
        const std::string_view name = text.substr(i + 1, semicolon - i - 1);
        bool known = false;
        for (const auto& [entity, character] : kNamed)
            if (name == entity)
            {
                put(character);
                known = true;
            }
        if (!known && name.size() >= 2 && name[0] == '#')
        {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            unsigned long value = 0;
            const auto result =
                std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
            if (!digits.empty() && result.ec == std::errc() && result.ptr == digits.data() + digits.size())
            {
                code.clear();
                orbelin::AppendUtf8(code, value);
                for (const char byte : code)
                    put(byte);
                known = true;
            }
        }
        if (!known)
        {
            put(c);
            continue;
        }
        i = semicolon;
    }
    out.resize(static_cast<std::size_t>(end - begin));
    return preserveSpace ? out : std::string(orbelin::Trim(out));
}

CExactReading::CExactReading(CConverter& converter, CElementWalker::ProgressSink progress,
                             CElementWalker::ElementSink elementDone, NoticeSink notice)
    : m_converter(converter), m_progress(std::move(progress)), m_elementDone(std::move(elementDone)),
      m_notice(std::move(notice))
{
    m_environment.sheet = &m_sheet;
    m_environment.lookup = [this](std::string_view id) { return FindId(id); };
}

const CXML* CExactReading::FindId(std::string_view id) const
{
    const auto found = m_ids.find(id);
    return found == m_ids.end() ? nullptr : found->second;
}

std::vector<std::string> StyleElementTexts(std::string_view fileText)
{
    std::vector<std::string> texts;
    std::size_t at = 0;
    while ((at = fileText.find("<style", at)) != std::string_view::npos)
    {
        at += 6;
        if (at < fileText.size() && fileText[at] != '>' && !orbelin::IsSpace(fileText[at]))
            continue; // <styles>, <style-sheet>: another element
        const std::size_t open = fileText.find('>', at);
        if (open == std::string_view::npos)
            break;
        if (fileText[open - 1] == '/')
        {
            at = open;
            continue;
        }
        std::size_t close = fileText.find("</style", open);
        if (close == std::string_view::npos)
            close = fileText.size();
        std::string_view body = fileText.substr(open + 1, close - open - 1);
        std::string text;
        for (std::size_t cdata; (cdata = body.find("<![CDATA[")) != std::string_view::npos;)
        {
            text.append(body.substr(0, cdata));
            body.remove_prefix(cdata + 9);
            const std::size_t end = body.find("]]>");
            text.append(body.substr(0, end));
            body.remove_prefix(end == std::string_view::npos ? body.size() : end + 3);
        }
        text.append(body);
        texts.push_back(std::move(text));
        at = close;
    }
    return texts;
}

void CExactReading::Prepare(const CXML& root, std::string_view fileText)
{
    CConverter& cv = m_converter;
    // The line types are written before the walk: each dash array the file names is read here as
    // the walk will read it, against the root's viewport and the initial font size.
    CLengthContext lengths;
    double box[4] = {};
    if (ParseViewBoxNumbers(Attribute(root, "viewBox"), box))
    {
        lengths.viewportWidth = box[2];
        lengths.viewportHeight = box[3];
    }
    else
    {
        lengths.viewportWidth =
            ResolveLength(Attribute(root, "width"), lengths, CLengthAxis::X).value_or(0.0);
        lengths.viewportHeight =
            ResolveLength(Attribute(root, "height"), lengths, CLengthAxis::Y).value_or(0.0);
    }
    bool relativeDashes = false;
    const auto addDashes = [&](std::string_view text)
    {
        cv.AddDashPattern(ExactDashArray(text, lengths));
        // Lengths in em, ex or percent may read otherwise where the element stands.
        relativeDashes = relativeDashes || HasRelativeUnit(text);
    };
    const auto addShorthandFont = [&cv](std::string_view value)
    {
        CFontShorthand font;
        if (ParseFontShorthand(value, font))
            cv.AddFont(FirstFontFamily(font.families));
    };
    std::vector<CCssDeclaration> declarations;
    for (const std::string& text : StyleElementTexts(fileText))
    {
        m_sheet.AddText(text);
        // A rule's body is what stands between a closing brace and the opening one before it.
        for (std::size_t close = text.find('}'); close != std::string::npos;
             close = text.find('}', close + 1))
        {
            const std::size_t open = text.rfind('{', close);
            if (open == std::string::npos)
                continue;
            declarations.clear();
            ParseCssDeclarations(std::string_view(text).substr(open + 1, close - open - 1), declarations);
            for (const CCssDeclaration& declaration : declarations)
                if (declaration.property == "stroke-dasharray")
                    addDashes(declaration.value);
                else if (declaration.property == "font")
                    addShorthandFont(declaration.value);
        }
    }
    std::vector<const CXML*> pending{&root};
    while (!pending.empty())
    {
        const CXML* node = pending.back();
        pending.pop_back();
        for (const CAttribute& attribute : node->m_attributes)
        {
            const std::string_view name = attribute.GetName();
            // The first id wins, as in browsers.
            if (name == "id")
                m_ids.emplace(orbelin::Trim(attribute.GetValue()), node);
            else if (name == "stroke-dasharray")
                addDashes(attribute.GetValue());
            else if (name == "font-family")
                cv.AddFont(FirstFontFamily(attribute.GetValue()));
            else if (name == "font")
                addShorthandFont(attribute.GetValue());
            else if (name == "style")
            {
                declarations.clear();
                ParseCssDeclarations(attribute.GetValue(), declarations);
                for (const CCssDeclaration& declaration : declarations)
                    if (declaration.property == "stroke-dasharray")
                        addDashes(declaration.value);
                    else if (declaration.property == "font-family")
                        cv.AddFont(FirstFontFamily(declaration.value));
                    else if (declaration.property == "font")
                        addShorthandFont(declaration.value);
            }
        }
        for (auto it = node->m_children.rbegin(); it != node->m_children.rend(); ++it)
            pending.push_back(it->get());
    }
    if (relativeDashes)
    {
        // Their patterns are those of the walk: it is made once beforehand, drawing nothing, for
        // the line types alone.
        CFrame frame;
        if (RootFrame(root, orbelin::ReadDouble(Attribute(root, "width")),
                      orbelin::ReadDouble(Attribute(root, "height")), frame))
        {
            m_collectingDashes = true;
            VisitChildren(root, frame, 1, 0);
            m_collectingDashes = false;
        }
        m_useCopies = 0;
        m_penX = m_penY = 0.0;
    }
}

bool CExactReading::RootFrame(const CXML& root, double documentWidth, double documentHeight, CFrame& frame)
{
    frame = CFrame();
    if (orbelin::EqualsNoCase(ExactTag(root), "svg"))
    {
        double box[4] = {};
        if (ParseViewBoxNumbers(Attribute(root, "viewBox"), box))
        {
            frame.viewportWidth = box[2];
            frame.viewportHeight = box[3];
        }
        else
        {
            // A size in percent of a window the file does not know falls back to the document's.
            CLengthContext context;
            const double w = ResolveLength(Attribute(root, "width"), context, CLengthAxis::X).value_or(0.0);
            const double h = ResolveLength(Attribute(root, "height"), context, CLengthAxis::Y).value_or(0.0);
            frame.viewportWidth = w > 0.0 ? w : documentWidth;
            frame.viewportHeight = h > 0.0 ? h : documentHeight;
        }
    }
    m_rootViewportWidth = frame.viewportWidth;
    m_rootViewportHeight = frame.viewportHeight;
    frame.style = StyleOf(root, frame);
    return !frame.style.displayNone && frame.style.opacity > 0.0;
}

void CExactReading::Walk(CXML& root, int n)
{
    CConverter& cv = m_converter;
    // The document frame is the default reading's: root user units, the same document height.
    if (orbelin::EqualsNoCase(ExactTag(root), "svg"))
        for (const CAttribute& attribute : root.m_attributes)
        {
            if (attribute.GetName() == "viewBox")
                cv.ParseViewBox(attribute.GetValue());
            else if (attribute.GetName() == "height")
                cv.m_docHeight = orbelin::ReadDouble(attribute.GetValue());
            else if (attribute.GetName() == "width")
                cv.m_docWidth = orbelin::ReadDouble(attribute.GetValue());
        }
    CFrame frame;
    if (!RootFrame(root, cv.m_docWidth, cv.m_docHeight, frame))
        return;
    if (m_elementDone)
        m_elementDone(root);
    cv.m_pathGrammar = CPathGeometry::CPathGrammar::ByGrammar;
    // White is drawn white, as the drawing shows it, not in the foreground colour.
    cv.m_colourIndex = &NearestWhiteKeepingAci;
    cv.m_strokeAci = cv.m_colourIndex(cv.m_strokeRgb);
    VisitChildren(root, frame, 1, n);
    // The emitters' state goes back to what the default reading starts from.
    cv.m_pathGrammar = CPathGeometry::CPathGrammar::AsRead;
    cv.m_colourIndex = &NearestAci;
    cv.m_strokeAci = cv.m_colourIndex(cv.m_strokeRgb);
    cv.m_fillRule = CFillRule::EvenOdd;
    cv.m_matrixDepth = 0;
    cv.m_groupTransformSeen = 0;
}

void CExactReading::VisitChildren(const CXML& node, const CFrame& frame, int depth, int n)
{
    const double step = n > 0 ? 80.0 / n : 0.0;
    const std::size_t count = node.m_children.size();
    const bool isSwitch = ExactTag(node) == "switch";
    for (std::size_t k = 0; k < count; ++k)
    {
        if (m_converter.Cancelled())
            break;
        const CXML& child = *node.m_children[k];
        if (isSwitch)
        {
            if (child.m_strTag.empty() || !ConditionsHold(child))
                continue;
            Visit(child, frame, depth, 0);
            break;
        }
        Visit(child, frame, depth, 0);
        if (n > 0 && m_progress)
            m_progress(static_cast<int>(static_cast<double>(k + 1) * step + 15));
    }
}

double CExactReading::Length(const CXML& node, std::string_view name, const CFrame& frame, CLengthAxis axis,
                             double otherwise) const
{
    return Length(Attribute(node, name), frame, axis, otherwise);
}

double CExactReading::Length(std::string_view text, const CFrame& frame, CLengthAxis axis,
                             double otherwise) const
{
    CLengthContext context;
    context.fontSize = frame.style.fontSize;
    context.viewportWidth = frame.viewportWidth;
    context.viewportHeight = frame.viewportHeight;
    return ResolveLength(text, context, axis).value_or(otherwise);
}

void CExactReading::Radii(std::string_view rxText, std::string_view ryText, const CFrame& frame, double& rx,
                          double& ry) const
{
    rx = Length(rxText, frame, CLengthAxis::X, -1.0);
    ry = Length(ryText, frame, CLengthAxis::Y, -1.0);
    if (rx < 0.0)
        rx = ry;
    if (ry < 0.0)
        ry = rx;
}

void CExactReading::Visit(const CXML& node, const CFrame& parent, int depth, int n)
{
    (void)n;
    if (depth > kMaxDepth || node.m_strTag.empty())
        return;
    const std::string_view tag = ExactTag(node);
    // Never drawn where they stand: templates, resources and what is not drawing at all. Unknown
    // elements and their contents are not drawn either.
    const bool container = IsOneOf(tag, {"g", "svg", "a", "switch"});
    const bool shape = IsOneOf(tag, {"path", "rect", "circle", "ellipse", "line", "polyline", "polygon"});
    const bool text = IsOneOf(tag, {"text", "tspan"});
    if (!container && !shape && !text && tag != "use")
        return;

    CFrame frame;
    frame.style = StyleOf(node, parent);
    if (frame.style.displayNone || frame.style.opacity <= 0.0)
        return;
    frame.viewportWidth = parent.viewportWidth;
    frame.viewportHeight = parent.viewportHeight;
    frame.layer = parent.layer;
    if (tag == "g")
    {
        const std::string_view id = orbelin::Trim(Attribute(node, "id"));
        if (!id.empty())
            frame.layer = id;
    }
    CMatrix own;
    ParseTransformList(Attribute(node, "transform"), own);
    frame.ctm = Multiply(parent.ctm, own);
    if (m_collectingDashes)
    {
        if (!frame.style.dashArray.empty())
            m_converter.AddDashPattern(std::string(frame.style.dashArray));
        if (!container && tag != "use")
            return;
    }
    else if (m_elementDone)
        m_elementDone(node);

    if (tag == "svg")
    {
        const double x = Length(node, "x", parent, CLengthAxis::X);
        const double y = Length(node, "y", parent, CLengthAxis::Y);
        const double w = Length(node, "width", parent, CLengthAxis::X, parent.viewportWidth);
        const double h = Length(node, "height", parent, CLengthAxis::Y, parent.viewportHeight);
        frame.ctm = Multiply(frame.ctm, ViewportMatrix(Attribute(node, "viewBox"),
                                                       Attribute(node, "preserveAspectRatio"), x, y, w, h));
        double box[4] = {};
        const bool hasBox = ParseViewBoxNumbers(Attribute(node, "viewBox"), box);
        frame.viewportWidth = hasBox ? box[2] : w;
        frame.viewportHeight = hasBox ? box[3] : h;
    }
    if (container)
    {
        VisitChildren(node, frame, depth + 1, 0);
        return;
    }
    if (tag == "use")
    {
        VisitUse(node, frame, depth);
        return;
    }
    if (text)
    {
        DrawText(node, tag, frame);
        return;
    }
    if (!frame.style.hidden)
        DrawShape(node, tag, frame);
}

void CExactReading::VisitUse(const CXML& node, const CFrame& frame, int depth)
{
    std::string_view href = orbelin::Trim(Attribute(node, "xlink:href"));
    if (href.empty())
        href = orbelin::Trim(Attribute(node, "href"));
    if (href.empty() || href.front() != '#')
        return;
    const CXML* target = FindId(href.substr(1));
    if (target == nullptr)
        return;
    if (m_useCopies >= kMaxUseCopies)
    {
        // Said once: every use after the bound is left out for the same reason.
        if (m_useCopies++ == kMaxUseCopies)
            ReportUse(*target, href, "the drawing's uses make too many copies");
        return;
    }
    ++m_useCopies;
    if (m_openUses.size() >= kMaxOpenUses)
    {
        ReportUse(*target, href, "it is nested too deep in other uses");
        return;
    }
    // A use that reaches itself, through any chain or by standing inside what it names, is not
    // drawn.
    for (const CXML* open : m_openUses)
        if (open == target)
        {
            ReportUse(*target, href, "it contains itself");
            return;
        }
    for (const CXML* above = &node; above != nullptr; above = above->m_pParent)
        if (above == target)
        {
            ReportUse(*target, href, "it contains itself");
            return;
        }
    CFrame placed = frame;
    CMatrix move;
    move.e = Length(node, "x", frame, CLengthAxis::X);
    move.f = Length(node, "y", frame, CLengthAxis::Y);
    placed.ctm = Multiply(frame.ctm, move);
    m_openUses.push_back(target);
    const std::string_view tag = ExactTag(*target);
    if (tag == "symbol")
    {
        CFrame inner = placed;
        inner.style = StyleOf(*target, placed);
        if (!inner.style.displayNone && inner.style.opacity > 0.0)
        {
            const double w = Length(node, "width", frame, CLengthAxis::X, frame.viewportWidth);
            const double h = Length(node, "height", frame, CLengthAxis::Y, frame.viewportHeight);
            inner.ctm =
                Multiply(placed.ctm, ViewportMatrix(Attribute(*target, "viewBox"),
                                                    Attribute(*target, "preserveAspectRatio"), 0, 0, w, h));
            double box[4] = {};
            if (ParseViewBoxNumbers(Attribute(*target, "viewBox"), box))
            {
                inner.viewportWidth = box[2];
                inner.viewportHeight = box[3];
            }
            VisitChildren(*target, inner, depth + 1, 0);
        }
    }
    else
    {
        Visit(*target, placed, depth + 1, 0);
    }
    m_openUses.pop_back();
}

void CExactReading::ReportUse(const CXML& target, std::string_view href, const char* why)
{
    if (!m_notice || !m_reportedUses.insert(&target).second)
        return;
    std::string text = "The use of ";
    // An id is the file's text: a very long one is cut, as the message is for reading.
    constexpr std::size_t kLongestShown = 64;
    std::size_t shown = std::min(href.size(), kLongestShown);
    // Never half a character.
    while (shown < href.size() && shown > 0 && (static_cast<unsigned char>(href[shown]) & 0xC0) == 0x80)
        --shown;
    text.append(href.substr(0, shown));
    if (shown < href.size())
        text += "...";
    text += " is not drawn: ";
    text += why;
    text += '.';
    m_notice(text);
}

CExactStyle CExactReading::StyleOf(const CXML& node, const CFrame& parent)
{
    // Percentages of the element's properties are of the viewport it stands in.
    m_environment.viewportWidth = parent.viewportWidth;
    m_environment.viewportHeight = parent.viewportHeight;
    return ComputeStyle(node, parent.style, m_environment);
}

void CExactReading::HandOver(const CFrame& frame)
{
    CConverter& cv = m_converter;
    cv.m_fillRgb = frame.style.fill.rgb;
    cv.m_fillRule = frame.style.evenOdd ? CFillRule::EvenOdd : CFillRule::NonZero;
    cv.SetStrokeRgb(frame.style.stroke.rgb);
    cv.m_elementStrokeWidth = frame.style.StrokeDrawn() ? frame.style.strokeWidth : 0.0;
    cv.m_groupStrokeWidth = 0.0;
    cv.m_currentLayer.assign(frame.layer.data(), frame.layer.size());
    // The whole placement as the one open group matrix; the emitters get no transform text.
    cv.m_matrixStack[0] = frame.ctm;
    cv.m_matrixDepth = 1;
    cv.m_matrixOverflow = 0;
    cv.m_groupTransformSeen = 1;
    const std::string name =
        frame.style.dashArray.empty() ? std::string() : cv.DashNameFor(std::string(frame.style.dashArray));
    cv.m_lineType.assign(name.empty() ? std::string_view("BYLAYER") : std::string_view(name));
}

template <class Fill, class Stroke>
void CExactReading::PaintShape(const CFrame& frame, const Fill& fill, const Stroke& stroke)
{
    CConverter& cv = m_converter;
    const CShapePaint paint = ShapePaintOf(frame.style, cv.m_fillOption);
    // The handed-over stroke width is 0 where the stroke is not drawn, as the fill's outline wants.
    HandOver(frame);
    if (paint.fill)
        fill();
    if (paint.outline)
    {
        const COutlineColour colour(cv, paint);
        stroke();
    }
}

void CExactReading::DrawPathData(std::string_view d, const CFrame& frame)
{
    CConverter& cv = m_converter;
    // The path reader takes what the grammar reads otherwise (glued numbers, arc flags, errors)
    // in its own way; such data is handed over spelled out.
    std::string spelled;
    if (SpellOutPathData(d, spelled))
        d = spelled;
    // Each path is read on its own: nothing of the last one's reading (a closepath no subpath
    // took, the command that numbers without a letter repeat) reaches this one.
    cv.m_closeSeen = 0;
    cv.m_closeLeading = 0;
    cv.m_lastCommand.clear();
    const std::string dash(frame.style.dashArray);
    PaintShape(
        frame, [&] { cv.FilledPathElement(std::string(), d); },
        [&] { cv.PathElement(std::string(), d, dash, std::string(), std::string()); });
    DrawMarkers(d, frame);
}

void CExactReading::DrawPoints(const CPointList& points, bool closed, const CFrame& frame)
{
    CConverter& cv = m_converter;
    const CCurveWriting& curves = *cv.m_curveWriting;
    PaintShape(
        frame, [&] { curves.FillPoints(cv, points, closed); },
        [&] { curves.StrokePoints(cv, points, closed); });
}

namespace
{

// The id a marker property names: url(#id), with or without quotes; empty for anything else.
std::string_view MarkerId(std::string_view reference)
{
    std::string_view t = orbelin::Trim(reference);
    if (t.size() < 6 || t.substr(0, 4) != "url(" || t.back() != ')')
        return {};
    t = orbelin::Trim(t.substr(4, t.size() - 5));
    if (t.size() >= 2 && (t.front() == '\'' || t.front() == '"') && t.back() == t.front())
        t = orbelin::Trim(t.substr(1, t.size() - 2));
    if (t.empty() || t.front() != '#')
        return {};
    return t.substr(1);
}

} // namespace

void CExactReading::DrawMarkers(std::string_view d, const CFrame& frame)
{
    const CExactStyle& style = frame.style;
    // A marker's own contents draw no markers: nested, they would multiply at every level.
    if (!m_openMarkers.empty())
        return;
    if (style.markerStart.empty() && style.markerMid.empty() && style.markerEnd.empty())
        return;
    const std::vector<CMarkerVertex> vertices = PathVertices(d);
    // Start, middle, end: the order browsers paint them in.
    if (vertices.empty())
        return;
    DrawMarker(style.markerStart, vertices.front(), true, frame);
    for (std::size_t i = 1; i + 1 < vertices.size(); ++i)
        DrawMarker(style.markerMid, vertices[i], false, frame);
    DrawMarker(style.markerEnd, vertices.back(), false, frame);
}

const CExactStyle& CExactReading::StyleInTree(const CXML& node)
{
    const auto found = m_treeStyles.find(&node);
    if (found != m_treeStyles.end())
        return found->second;
    const CExactStyle parent = node.m_pParent != nullptr ? StyleInTree(*node.m_pParent) : CExactStyle();
    CFrame above;
    above.style = parent;
    above.viewportWidth = m_rootViewportWidth;
    above.viewportHeight = m_rootViewportHeight;
    return m_treeStyles.emplace(&node, StyleOf(node, above)).first->second;
}

void CExactReading::DrawMarker(std::string_view reference, const CMarkerVertex& vertex, bool isStart,
                               const CFrame& frame)
{
    const std::string_view id = MarkerId(reference);
    if (id.empty())
        return;
    const CXML* marker = FindId(id);
    if (marker == nullptr || ExactTag(*marker) != "marker" || marker->m_children.empty())
        return;
    if (m_openMarkers.size() >= kMaxOpenUses ||
        std::find(m_openMarkers.begin(), m_openMarkers.end(), marker) != m_openMarkers.end())
        return;
    // The marker's lengths are read in the viewport of the path it marks.
    CMarkerBox box;
    box.width = Length(*marker, "markerWidth", frame, CLengthAxis::X, 3.0);
    box.height = Length(*marker, "markerHeight", frame, CLengthAxis::Y, 3.0);
    if (!(box.width > 0.0) || !(box.height > 0.0))
        return;
    box.refX = Length(*marker, "refX", frame, CLengthAxis::X);
    box.refY = Length(*marker, "refY", frame, CLengthAxis::Y);
    box.viewBox = Attribute(*marker, "viewBox");
    box.preserveAspectRatio = Attribute(*marker, "preserveAspectRatio");
    box.userSpaceUnits = orbelin::Trim(Attribute(*marker, "markerUnits")) == "userSpaceOnUse";
    const double angle = MarkerAngle(ReadMarkerOrient(Attribute(*marker, "orient")), vertex, isStart);

    CFrame inner;
    inner.layer = frame.layer;
    // The contents inherit from where the marker stands, not from the path.
    inner.style = StyleInTree(*marker);
    inner.ctm = Multiply(frame.ctm, MarkerMatrix(box, vertex, angle, frame.style.strokeWidth));
    double viewBox[4] = {};
    const bool hasBox = ParseViewBoxNumbers(box.viewBox, viewBox);
    inner.viewportWidth = hasBox ? viewBox[2] : box.width;
    inner.viewportHeight = hasBox ? viewBox[3] : box.height;
    m_openMarkers.push_back(marker);
    VisitChildren(*marker, inner, 1, 0);
    m_openMarkers.pop_back();
}

void CExactReading::DrawShape(const CXML& node, std::string_view tag, const CFrame& frame)
{
    const CShapeAttributes a(node);
    const auto length = [&](std::string_view text, CLengthAxis axis) { return Length(text, frame, axis); };
    if (tag == "path")
    {
        DrawPathData(a.d, frame);
    }
    else if (tag == "polyline" || tag == "polygon")
    {
        const bool closed = tag == "polygon";
        CPointList points;
        ReadPointsList(a.points, points);
        DrawPoints(points, closed, frame);
        if (HasMarkers(frame.style))
        {
            std::string d;
            for (std::size_t i = 0; i < points.size(); ++i)
                AppendPoint(d, i == 0 ? 'M' : 'L', points[i].x, points[i].y);
            if (closed && !d.empty())
                d += 'Z';
            DrawMarkers(d, frame);
        }
    }
    else if (tag == "line")
    {
        const double x1 = length(a.x1, CLengthAxis::X);
        const double y1 = length(a.y1, CLengthAxis::Y);
        const double x2 = length(a.x2, CLengthAxis::X);
        const double y2 = length(a.y2, CLengthAxis::Y);
        if (frame.style.StrokeDrawn())
        {
            // A LINE, as in the default reading: it has no width to carry the stroke's.
            HandOver(frame);
            double ax = x1, ay = y1, bx = x2, by = y2;
            ApplyMatrix(frame.ctm, ax, ay);
            ApplyMatrix(frame.ctm, bx, by);
            m_converter.WriteLineEntity(ax, ay, bx, by);
        }
        if (HasMarkers(frame.style))
        {
            std::string d;
            AppendPoint(d, 'M', x1, y1);
            AppendPoint(d, 'L', x2, y2);
            DrawMarkers(d, frame);
        }
    }
    else if (tag == "rect")
    {
        const double x = length(a.x, CLengthAxis::X);
        const double y = length(a.y, CLengthAxis::Y);
        const double w = length(a.width, CLengthAxis::X);
        const double h = length(a.height, CLengthAxis::Y);
        if (!(w > 0.0) || !(h > 0.0))
            return;
        double rx = 0.0;
        double ry = 0.0;
        Radii(a.rx, a.ry, frame, rx, ry);
        rx = std::clamp(rx, 0.0, w / 2.0);
        ry = std::clamp(ry, 0.0, h / 2.0);
        if (rx > 0.0 && ry > 0.0)
        {
            DrawRoundedRect(x, y, w, h, rx, ry, frame);
            return;
        }
        // Markers are for paths, lines and points lists: a rectangle has none.
        CPointList corners(4);
        const double cornerXY[4][2] = {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}};
        for (std::size_t i = 0; i < 4; ++i)
        {
            corners[i].x = Finite(cornerXY[i][0]);
            corners[i].y = Finite(cornerXY[i][1]);
        }
        DrawPoints(corners, true, frame);
    }
    else if (tag == "circle")
    {
        const double r = length(a.r, CLengthAxis::Other);
        DrawEllipse(length(a.cx, CLengthAxis::X), length(a.cy, CLengthAxis::Y), r, r, frame);
    }
    else if (tag == "ellipse")
    {
        double rx = 0.0;
        double ry = 0.0;
        Radii(a.rx, a.ry, frame, rx, ry);
        DrawEllipse(length(a.cx, CLengthAxis::X), length(a.cy, CLengthAxis::Y), rx, ry, frame);
    }
}

void CExactReading::DrawRoundedRect(double x, double y, double w, double h, double rx, double ry,
                                    const CFrame& frame)
{
    CConverter& cv = m_converter;
    const CShapePaint paint = ShapePaintOf(frame.style, cv.m_fillOption);
    const bool fill = paint.fill;
    const bool stroke = paint.outline;
    if (!fill && !stroke)
        return;
    HandOver(frame);
    {
        // Where curves are written as curves, the corners become the bulges or ellipse arcs of one
        // outline (and one hatch loop) by the same rule as the default reading's rectangles.
        const double box[6] = {x, y, x + w, y + h, rx, ry};
        const EntityStyle outline = [&]
        {
            const COutlineColour colour(cv, paint);
            return cv.OutlineStyle(cv.m_lineType);
        }();
        const EntityStyle fillStyle = cv.FillStyle();
        if (cv.m_curveWriting->RoundedRect(cv, std::string(), box, stroke ? &outline : nullptr,
                                           fill ? &fillStyle : nullptr))
            return;
    }
    const CMatrix& m = frame.ctm;
    constexpr double kHalfPi = kTwoPi / 4;
    // Each side and the corner after it, clockwise on the screen from the top left: the side's ends,
    // the corner's centre and its parameter range.
    struct CSide
    {
        double fromX, fromY, toX, toY;
        double centreX, centreY, a;
    };
    const CSide sides[4] = {
        {x + rx, y, x + w - rx, y, x + w - rx, y + ry, -kHalfPi},
        {x + w, y + ry, x + w, y + h - ry, x + w - rx, y + h - ry, 0.0},
        {x + w - rx, y + h, x + rx, y + h, x + rx, y + h - ry, kHalfPi},
        {x, y + h - ry, x, y + ry, x + rx, y + ry, 2 * kHalfPi},
    };
    CEllipseArcImage corners[4];
    for (int i = 0; i < 4; ++i)
        if (!EllipseArcImage(m, sides[i].centreX, sides[i].centreY, rx, ry, sides[i].a, sides[i].a + kHalfPi,
                             corners[i]))
            return;
    const double docHeight = cv.m_docHeight;
    if (fill)
    {
        // An elliptical edge runs anticlockwise from its start to its end, so the loop does too:
        // against the sides' order unless the matrix mirrors the drawing.
        const bool reversed = m.a * m.d - m.b * m.c > 0.0;
        HatchLoop loop;
        for (int k = 0; k < 4; ++k)
        {
            const int i = reversed ? 3 - k : k;
            double fx = sides[i].fromX, fy = sides[i].fromY, tx = sides[i].toX, ty = sides[i].toY;
            ApplyMatrix(m, fx, fy);
            ApplyMatrix(m, tx, ty);
            if (reversed)
            {
                std::swap(fx, tx);
                std::swap(fy, ty);
            }
            // Radii of half a side leave that side no straight part, and no empty edge.
            const bool side = fx != tx || fy != ty;
            if (side && !reversed)
                loop.push_back(HatchEdge::Line(fx, docHeight - fy, tx, docHeight - ty));
            const CEllipseArcImage& c = corners[i];
            double majorX = c.axisEndX - c.centreX;
            double majorY = c.centreY - c.axisEndY;
            double ratio = c.ratio;
            double start = c.start;
            double end = c.end;
            if (!CConverter::NormalizeEllipseArc(majorX, majorY, ratio, start, end))
                return;
            loop.push_back(
                HatchEdge::EllipseArc(c.centreX, docHeight - c.centreY, majorX, majorY, ratio, start, end));
            if (side && reversed)
                loop.push_back(HatchEdge::Line(fx, docHeight - fy, tx, docHeight - ty));
        }
        cv.WriteSolidHatch({loop}, cv.FillStyle());
    }
    if (stroke)
    {
        const COutlineColour colour(cv, paint);
        // Lines and elliptical arcs, as the default reading writes a rounded outline.
        for (int i = 0; i < 4; ++i)
        {
            double fx = sides[i].fromX, fy = sides[i].fromY, tx = sides[i].toX, ty = sides[i].toY;
            ApplyMatrix(m, fx, fy);
            ApplyMatrix(m, tx, ty);
            if (fx != tx || fy != ty)
                cv.WriteLineEntity(fx, fy, tx, ty);
            const CEllipseArcImage& c = corners[i];
            cv.WriteEllipseEntity(c.centreX, c.centreY, c.axisEndX, c.axisEndY, c.ratio, c.start, c.end);
        }
    }
}

void CExactReading::DrawEllipse(double cx, double cy, double rx, double ry, const CFrame& frame)
{
    CConverter& cv = m_converter;
    if (!(rx > 0.0) || !(ry > 0.0))
        return;
    const CShapePaint paint = ShapePaintOf(frame.style, cv.m_fillOption);
    const bool fill = paint.fill;
    const bool stroke = paint.outline;
    if (!fill && !stroke)
        return;
    HandOver(frame);
    const CMatrix& m = frame.ctm;
    // The image of the ellipse is the ellipse of the matrix A = M·diag(rx, ry): its axes lie where
    // |A·(cos t, sin t)| is largest and smallest.
    const double ux = m.a * rx, uy = m.b * rx; // image of the x radius
    const double vx = m.c * ry, vy = m.d * ry; // image of the y radius
    const double t0 = 0.5 * std::atan2(2.0 * (ux * vx + uy * vy), (ux * ux + uy * uy) - (vx * vx + vy * vy));
    double majorX = ux * std::cos(t0) + vx * std::sin(t0);
    double majorY = uy * std::cos(t0) + vy * std::sin(t0);
    double minorX = -ux * std::sin(t0) + vx * std::cos(t0);
    double minorY = -uy * std::sin(t0) + vy * std::cos(t0);
    double majorLength = std::hypot(majorX, majorY);
    double minorLength = std::hypot(minorX, minorY);
    if (minorLength > majorLength)
    {
        std::swap(majorX, minorX);
        std::swap(majorY, minorY);
        std::swap(majorLength, minorLength);
    }
    if (!(majorLength > 0.0) || !(minorLength > 0.0))
        return;
    const double ratio = minorLength / majorLength;
    double centreX = cx;
    double centreY = cy;
    ApplyMatrix(m, centreX, centreY);
    const double h = cv.m_docHeight;
    if (fill)
    {
        double mx = majorX;
        double my = -majorY;
        double edgeRatio = ratio;
        double start = 0.0;
        double end = kTwoPi;
        if (CConverter::NormalizeEllipseArc(mx, my, edgeRatio, start, end))
            cv.WriteSolidHatch(
                {HatchLoop{HatchEdge::EllipseArc(centreX, h - centreY, mx, my, edgeRatio, start, end)}},
                cv.FillStyle());
    }
    if (stroke)
    {
        const COutlineColour colour(cv, paint);
        if (ratio >= 1.0 - 1e-12)
            cv.WriteCircleEntity(centreX, h - centreY, majorLength, cv.m_lineType);
        else
            cv.WriteEllipseEntity(centreX, centreY, centreX + majorX, centreY + majorY, ratio, 0.0, kTwoPi);
    }
}

void CExactReading::DrawText(const CXML& node, std::string_view tag, const CFrame& frame)
{
    CConverter& cv = m_converter;
    const auto coordinate = [&](std::string_view name, CLengthAxis axis, double& slot)
    {
        CLengthContext context;
        context.fontSize = frame.style.fontSize;
        context.viewportWidth = frame.viewportWidth;
        context.viewportHeight = frame.viewportHeight;
        if (const auto value = ResolveLength(FirstValue(Attribute(node, name)), context, axis))
            slot = *value;
    };
    if (tag == "text")
        m_penX = m_penY = 0.0;
    coordinate("x", CLengthAxis::X, m_penX);
    coordinate("y", CLengthAxis::Y, m_penY);
    double dx = 0.0;
    double dy = 0.0;
    coordinate("dx", CLengthAxis::X, dx);
    coordinate("dy", CLengthAxis::Y, dy);
    m_penX += dx;
    m_penY += dy;

    const bool preserve = Attribute(node, "xml:space") == "preserve";
    const std::string content = DecodeTextContent(OwnText(node), preserve);
    const CExactStyle& style = frame.style;
    if (!ShowsNothing(content) && !style.hidden && (style.FillDrawn() || style.StrokeDrawn()))
    {
        HandOver(frame);
        cv.SetStrokeRgb(style.FillDrawn() ? style.fill.rgb : style.stroke.rgb);
        cv.m_lineType = "BYLAYER";
        const CMatrix& m = frame.ctm;
        double x = m_penX;
        double y = m_penY;
        ApplyMatrix(m, x, y);
        const double height = kHeightPerFontSize * style.fontSize * std::hypot(m.c, m.d);
        // After the y flip an SVG turn by +a (clockwise on screen) is a DXF turn by -a.
        // Adding 0 turns the -0 of an unturned text into 0.
        const double angle = std::atan2(-m.b, m.a) + 0.0;
        std::string textStyle =
            style.fontFamily.empty() ? std::string() : cv.FontStyleFor(std::string(style.fontFamily));
        if (textStyle.empty())
            textStyle = "Standard";
        if (height > 0.0)
        {
            CTextRun run;
            run.x = x;
            run.y = cv.m_docHeight - y;
            run.height = height;
            run.angle = angle;
            run.content = content;
            run.style = std::move(textStyle);
            run.family = std::string(style.fontFamilies);
            run.weight = style.fontWeight;
            run.italic = style.italic;
            run.alignment = style.textAnchor == CTextAnchor::Middle ? 1
                            : style.textAnchor == CTextAnchor::End  ? 2
                                                                    : 0;
            run.filled = style.FillDrawn() && cv.m_fillOption != 0;
            cv.WriteText(run);
        }
    }
    m_penX += kAdvancePerFontSize * style.fontSize * static_cast<double>(content.size());
    for (const auto& child : node.m_children)
        if (ExactTag(*child) == "tspan")
            Visit(*child, frame, 1, 0);
}
