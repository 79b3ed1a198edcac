#include "support/fuzz_bodies.h"

#include "conversion/conversion.h"
#include "geometry/transform.h"
#include "support/dxf_check.h"
#include "svg/converter.h"
#include "svg/exact_css.h"
#include "svg/style.h"
#include "xml/input_file.h"
#include "xml/xml.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace orbelin_fuzz
{

namespace
{

// One folder per process, removed when the process ends normally.
class CScratch
{
  public:
    CScratch()
    {
        m_dir = std::filesystem::temp_directory_path() / ("orbelin-fuzz-" + std::to_string(getpid()));
        std::error_code ignored;
        std::filesystem::create_directories(m_dir, ignored);
    }
    ~CScratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    std::string Path(const char* name) const { return (m_dir / name).string(); }

  private:
    std::filesystem::path m_dir;
};

const CScratch& Scratch()
{
    static const CScratch scratch;
    return scratch;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool WriteAll(const std::string& path, std::string_view text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return static_cast<bool>(out);
}

// Up to count fields separated by '\n'; the last field takes the rest.
std::vector<std::string> Fields(std::string_view input, std::size_t count)
{
    std::vector<std::string> fields;
    while (fields.size() + 1 < count)
    {
        const std::size_t cut = input.find('\n');
        if (cut == std::string_view::npos)
            break;
        fields.emplace_back(input.substr(0, cut));
        input.remove_prefix(cut + 1);
    }
    fields.emplace_back(input);
    return fields;
}

std::string CheckTree(const CXML& root)
{
    std::vector<std::pair<const CXML*, int>> pending{{&root, 0}};
    while (!pending.empty())
    {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        if (depth > kMaxXmlDepth + 1)
            return "element kept at depth " + std::to_string(depth);
        for (std::size_t i = 1; i < node->m_attributes.size(); ++i)
            if (!(node->m_attributes[i - 1].GetName() < node->m_attributes[i].GetName()))
                return "attributes out of order or repeated: " +
                       std::string(node->m_attributes[i].GetName().substr(0, 40));
        for (const auto& child : node->m_children)
        {
            if (!child)
                return "null child";
            if (child->m_pParent != node)
                return "child with a wrong parent";
            pending.emplace_back(child.get(), depth + 1);
        }
    }
    return "";
}

} // namespace

std::string FuzzXml(std::string_view input)
{
    CInputFile file;
    file.OpenText(std::string(input));
    CXML root;
    Load(file, "", root);
    std::string problem = CheckTree(root);
    if (!problem.empty())
        return problem;
    if (file.GetPosition() > file.GetLength())
        return "reader position beyond the end";

    // A named root, as a caller may ask for one.
    file.Seek(0);
    CXML named;
    Load(file, "svg", named);
    return CheckTree(named);
}

std::string FuzzPath(std::string_view input)
{
    std::vector<std::string> fields = Fields(input, 3);
    const std::string d = fields.back();
    const std::string transform = fields.size() > 1 ? fields[0] : "";
    const std::string dash = fields.size() > 2 ? fields[1] : "";

    CConverter converter;
    converter.ResetConversion();
    converter.m_docWidth = 100.0;
    converter.m_docHeight = 100.0;
    converter.m_fillRgb = 0x00FF00;
    converter.SetStrokeRgb(0x0000FF);
    converter.m_elementStrokeWidth = 0.5;
    converter.PrescanStyles("stroke-dasharray:" + dash);
    // A marker of several subpaths that closes, to be drawn at both ends of every path.
    converter.AddMarker("M0 0 L-4 -2 L-4 2 Z M1 1 h2 v2 z", "rotate(30) scale(0.5)", "m", "1", "-1");

    const std::string output = Scratch().Path("path.dxf");
    if (converter.BeginDxfDocument(output) != 0)
        return "cannot open the scratch document " + output;
    converter.PathElement(transform, d, dash, "url(#m)", "url(#m)");
    converter.FilledPathElement(transform, d);
    CPointList points;
    converter.ParsePath(transform, d, points, nullptr);
    if (converter.EndDxfDocument() != 0)
        return "the scratch document could not be finished";
    return testing_support::CheckDxfFile(output);
}

std::string FuzzStyle(std::string_view input)
{
    std::vector<std::string> fields = Fields(input, 3);
    fields.resize(3);
    const std::string& colour = fields[0];
    const std::string& style = fields[1];
    const std::string& transform = fields[2];

    const int rgb = ParseColor(colour);
    if (rgb < 0 || rgb > 0xFFFFFF)
        return "colour outside packed RGB: " + std::to_string(rgb);
    const int aci = NearestAci(rgb);
    if (aci < 0 || aci > 254)
        return "colour index " + std::to_string(aci);
    // Any bits at all, as a packed value from elsewhere might carry.
    int raw = 0;
    for (std::size_t i = 0; i < input.size() && i < 4; ++i)
        raw = static_cast<int>(static_cast<unsigned>(raw) << 8 | static_cast<unsigned char>(input[i]));
    const int rawAci = NearestAci(raw);
    if (rawAci < 0 || rawAci > 254)
        return "colour index " + std::to_string(rawAci) + " for raw value";
    ParseHexNumber(colour);
    ParseColorComponent(colour);

    std::string problem;
    ForEachDeclaration(style,
                       [&](std::string_view property, std::string_view value)
                       {
                           const char* begin = style.data();
                           const char* end = begin + style.size();
                           if (property.data() < begin || property.data() + property.size() > end ||
                               value.data() < begin || value.data() + value.size() > end)
                               problem = "declaration outside the style text";
                       });
    if (!problem.empty())
        return problem;
    std::string value;
    FindStyleValue(style, "fill:", value);

    CConverter converter;
    converter.ResetConversion();
    std::string family;
    std::string size;
    converter.ApplyTextStyle(style, family, size);
    converter.ApplyRectStyle(style);
    if (converter.m_strokeAci < 0 || converter.m_strokeAci > 255)
        return "stroke colour index " + std::to_string(converter.m_strokeAci);

    CMatrix m;
    ParseTransform(transform, m);
    CMatrix group;
    ParseTransformText(transform, group, true);
    double x = 1.0;
    double y = 2.0;
    ApplyMatrix(m, x, y);

    // Deeper than the group stack holds, then out again, and once more than was opened.
    for (int i = 0; i < kMatrixStackSize + 10; ++i)
    {
        converter.PushGroupMatrix();
        converter.ParseGroupTransform(transform);
    }
    converter.MapPoint(&m, x, y);
    for (int i = 0; i < kMatrixStackSize + 11; ++i)
        converter.PopGroupMatrix();
    if (converter.m_matrixDepth < 0 || converter.m_matrixDepth > kMatrixStackSize)
        return "group matrix depth " + std::to_string(converter.m_matrixDepth);
    converter.ParseViewBox(transform);
    return "";
}

namespace
{

// "" when the declaration is as ParseCssDeclarations promises it.
std::string CheckDeclaration(const CCssDeclaration& declaration)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; };
    if (declaration.property.empty())
        return "declaration without a property";
    for (const char c : declaration.property)
        if ((c >= 'A' && c <= 'Z') || isBlank(c))
            return "property not lower case and trimmed: " + declaration.property.substr(0, 40);
    if (declaration.value.empty())
        return "declaration without a value: " + declaration.property.substr(0, 40);
    if (isBlank(declaration.value.front()) || isBlank(declaration.value.back()))
        return "value not trimmed: " + declaration.value.substr(0, 40);
    return "";
}

// Classes, ids, attributes and nesting for the selectors to find; deep enough for long combinator chains.
const CXML& CssDrawing()
{
    static const std::unique_ptr<CXML> root = []
    {
        std::string svg = "<svg id=\"a\" class=\"st0 b\" width=\"1\"><style>x</style>";
        for (int i = 0; i < 40; ++i)
            svg += "<g class=\"st" + std::to_string(i % 3) + "\" id=\"g" + std::to_string(i) + "\">";
        svg += "<rect class=\"st0 st1\" id=\"r\" x=\"0\" data-a=\"b c\"/><circle class=\"c\"/>";
        for (int i = 0; i < 40; ++i)
            svg += "</g>";
        svg += "<text>t</text></svg>";
        CInputFile file;
        file.OpenText(svg);
        auto drawing = std::make_unique<CXML>();
        Load(file, "", *drawing);
        return drawing;
    }();
    return *root;
}

} // namespace

std::string FuzzCss(std::string_view input)
{
    std::vector<CCssDeclaration> declarations;
    ParseCssDeclarations(input, declarations);
    for (const CCssDeclaration& declaration : declarations)
    {
        std::string problem = CheckDeclaration(declaration);
        if (!problem.empty())
            return "style attribute: " + problem;
    }

    CStyleSheet sheet;
    sheet.AddText(input);
    // Once more, as a second style element.
    sheet.AddText(input);
    std::vector<const CXML*> pending{&CssDrawing()};
    while (!pending.empty())
    {
        const CXML* node = pending.back();
        pending.pop_back();
        std::vector<CCssDeclaration> matched;
        sheet.Match(*node, matched);
        if (!matched.empty() && sheet.Empty())
            return "an empty sheet matched";
        bool important = false;
        for (const CCssDeclaration& declaration : matched)
        {
            std::string problem = CheckDeclaration(declaration);
            if (!problem.empty())
                return "style sheet: " + problem;
            if (important && !declaration.important)
                return "a normal declaration after an important one";
            important = declaration.important;
        }
        for (const auto& child : node->m_children)
            pending.push_back(child.get());
    }
    return "";
}

std::string FuzzConversion(std::string_view input)
{
    const std::string svg = Scratch().Path("in.svg");
    const std::string dxf = Scratch().Path("out.dxf");
    if (!WriteAll(svg, input))
        return "cannot write the scratch input " + svg;
    // With and without fills, then scaled into a unit: down (mm) or up (px), by the input's length,
    // and so again with the curves written as curves.
    const OutputUnits scaled = input.size() % 2 == 0 ? OutputUnits::Millimetres : OutputUnits::Pixels;
    // Last, texts as glyph outlines, by one reading or the other.
    const bool exact = input.size() % 3 == 0;
    const struct
    {
        bool fill;
        OutputUnits units;
        TextOutput text;
        bool exact;
        const char* name;
        CurveOutput curves = CurveOutput::Flatten;
    } passes[] = {{true, OutputUnits::None, TextOutput::Entities, false, "with fills"},
                  {false, OutputUnits::None, TextOutput::Entities, false, "without fills"},
                  {true, OutputUnits::None, TextOutput::Outlines, exact, "texts as outlines"},
                  {true, scaled, TextOutput::Entities, false, "in a unit"},
                  {true, scaled, TextOutput::Outlines, !exact, "with native curves", CurveOutput::Native}};
    for (const auto& pass : passes)
    {
        std::remove(dxf.c_str());
        ConversionRequest request;
        request.inputPath = svg;
        request.outputPath = dxf;
        request.fillOption = pass.fill;
        request.units = pass.units;
        request.text = pass.text;
        request.exactSvg = pass.exact;
        request.curves = pass.curves;
        const ConversionResult result = RunConversion(request);
        if (!result.ok())
        {
            if (result.message.empty())
                return "failed without a message";
            continue;
        }
        std::string problem = testing_support::CheckDxfFile(dxf);
        if (!problem.empty())
            return std::string(pass.name) + ": " + problem;
    }
    if (ReadAll(svg) != input)
        return "the input file was changed";
    return "";
}

std::string FuzzByName(std::string_view target, std::string_view input)
{
    if (target == "xml")
        return FuzzXml(input);
    if (target == "path")
        return FuzzPath(input);
    if (target == "style")
        return FuzzStyle(input);
    if (target == "css")
        return FuzzCss(input);
    if (target == "conversion")
        return FuzzConversion(input);
    return "no fuzz target named " + std::string(target);
}

void AbortOnProblem(const std::string& problem)
{
    if (problem.empty())
        return;
    std::fprintf(stderr, "orbelin fuzz finding: %s\n", problem.c_str());
    std::abort();
}

} // namespace orbelin_fuzz
