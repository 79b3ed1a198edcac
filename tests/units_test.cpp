// Output units: the size of a user unit read from the root element, and whole drawings written in
// millimetres, centimetres, inches and pixels, compared number by number with the unscaled output.
#include "conversion/conversion.h"
#include "support/dxf_check.h"
#include "support/test_support.h"
#include "svg/converter.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

using namespace testing_support;

namespace
{

std::string Convert(const std::string& svg, OutputUnits units)
{
    static std::atomic<int> counter{0};
    const int n = counter++;
    const auto in = ScratchDir() / ("units-" + std::to_string(n) + ".svg");
    const auto out = ScratchDir() / ("units-" + std::to_string(n) + ".dxf");
    WriteFile(in, svg);
    ConversionRequest request;
    request.inputPath = in.string();
    request.outputPath = out.string();
    request.units = units;
    return RunConversion(request).ok() ? ReadFile(out) : std::string();
}

// The value of the header variable, or "" when the header does not set it.
std::string HeaderValue(const std::vector<Group>& groups, const std::string& name)
{
    for (std::size_t i = 0; i + 1 < groups.size() && groups[i].value != "ENDSEC"; ++i)
        if (groups[i].code == 9 && groups[i].value == name)
            return groups[i + 1].value;
    return "";
}

// The dash and gap lengths (49) and pattern lengths (40) of the "Dash" line types.
std::vector<double> DashLengths(const std::vector<Group>& groups)
{
    std::vector<double> lengths;
    bool inDash = false;
    for (const Group& g : groups)
    {
        if (g.code == 0)
            inDash = false;
        else if (g.code == 2)
            inDash = g.value.rfind("Dash", 0) == 0;
        else if (inDash && (g.code == 49 || g.code == 40))
            lengths.push_back(std::stod(g.value));
        if (g.code == 0 && g.value == "ENTITIES")
            break;
    }
    return lengths;
}

void ExpectScaled(double expected, const std::string& actual, const std::string& where)
{
    const double value = std::stod(actual);
    EXPECT_NEAR(value, expected, 1e-9 * std::max(1.0, std::fabs(expected))) << where;
}

// Every entity of `scaled` against the same entity of `plain`: positions x * s and (y + shift) * s,
// widths, heights and radii * s, everything else (angles, bulges, ratios, names) unchanged.
void ExpectEntitiesScaled(const std::string& plain, const std::string& scaled, double s, double shift)
{
    const auto before = Entities(plain);
    const auto after = Entities(scaled);
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t e = 0; e < before.size(); ++e)
    {
        ASSERT_EQ(before[e].size(), after[e].size()) << "entity " << e;
        const std::string type = before[e][0].value;
        bool hatchEdges = false; // past the hatch's own elevation point, among its edges
        std::string edgeType;
        for (std::size_t k = 0; k < before[e].size(); ++k)
        {
            const Group& b = before[e][k];
            const Group& a = after[e][k];
            ASSERT_EQ(b.code, a.code);
            const std::string where = type + " group " + std::to_string(b.code) + " #" + std::to_string(k);
            const double v = b.code >= 10 && b.code < 60 ? std::stod(b.value) : 0.0;
            if (type == "HATCH" && b.code == 91)
                hatchEdges = true;
            if (b.code == 72)
                edgeType = b.value;
            // The major axis of an ellipse is relative to its centre, a length; its 40 is a ratio.
            const bool ellipse = type == "ELLIPSE" || (type == "HATCH" && edgeType == "3");
            const bool axis = ellipse && (b.code == 11 || b.code == 21);
            const bool position = (type != "HATCH" || hatchEdges) && !axis;
            if (axis)
                ExpectScaled(v * s, a.value, where);
            else if ((b.code == 10 || b.code == 11) && position)
                ExpectScaled(v * s, a.value, where);
            else if ((b.code == 20 || b.code == 21) && position)
                ExpectScaled((v + shift) * s, a.value, where);
            else if (b.code == 40 && !ellipse && (type != "HATCH" || edgeType == "2"))
                ExpectScaled(v * s, a.value, where); // width, text height, radius
            else if (b.code == 41 && type == "LWPOLYLINE")
                ExpectScaled(v * s, a.value, where);
            else
                EXPECT_EQ(b.value, a.value) << where;
        }
    }
}

// Every vertex of every polyline: the drawing's extents.
struct Extents
{
    double minX = std::numeric_limits<double>::infinity(), minY = minX;
    double maxX = -minX, maxY = -minX;
};

Extents PolylineExtents(const std::string& dxf)
{
    Extents box;
    for (const auto& entity : Entities(dxf))
        if (entity[0].value == "LWPOLYLINE")
            for (const Group& g : entity)
            {
                if (g.code == 10)
                {
                    box.minX = std::min(box.minX, std::stod(g.value));
                    box.maxX = std::max(box.maxX, std::stod(g.value));
                }
                else if (g.code == 20)
                {
                    box.minY = std::min(box.minY, std::stod(g.value));
                    box.maxY = std::max(box.maxY, std::stod(g.value));
                }
            }
    return box;
}

// A sheet outline, a dashed path with a stroke width, a text, a circle and filled shapes.
std::string Drawing(const std::string& rootAttributes, double sheetWidth, double sheetHeight)
{
    const std::string w = std::to_string(sheetWidth);
    const std::string h = std::to_string(sheetHeight);
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" " + rootAttributes + ">\n" +
           "<rect x=\"0\" y=\"0\" width=\"" + w + "\" height=\"" + h +
           "\" style=\"fill:none;stroke:#000000\"/>\n" +
           "<path d=\"M 10 10 L 60 10 Q 70 20 60 30\" "
           "style=\"fill:none;stroke:#000000;stroke-width:2;stroke-dasharray:4 2\"/>\n"
           "<text x=\"20\" y=\"50\" style=\"font-size:10px\">Hi</text>\n"
           "<circle cx=\"40\" cy=\"60\" r=\"5\" style=\"fill:none;stroke:#ff0000\"/>\n"
           "<circle cx=\"60\" cy=\"60\" r=\"5\" style=\"fill:#00ff00\"/>\n"
           "<ellipse cx=\"30\" cy=\"80\" rx=\"8\" ry=\"4\" style=\"fill:none;stroke:#0000ff\"/>\n"
           "<rect x=\"5\" y=\"70\" width=\"10\" height=\"5\" style=\"fill:#0000ff\"/>\n"
           "<line x1=\"0\" y1=\"90\" x2=\"20\" y2=\"95\" style=\"stroke:#000000\"/>\n"
           "</svg>\n";
}

struct SheetCase
{
    const char* name;
    const char* root;               // attributes of the svg element
    double sheetWidth, sheetHeight; // user units the sheet outline spans
    OutputUnits units;
    const char* insUnits;
    const char* measurement;
    double scale, shift;
    double maxX, minY, maxY; // extents of the outline; minX is 0
};

class UnitsSheet : public ::testing::TestWithParam<SheetCase>
{
};

TEST_P(UnitsSheet, ScalesEveryNumberAndDeclaresTheUnit)
{
    const SheetCase& c = GetParam();
    const std::string svg = Drawing(c.root, c.sheetWidth, c.sheetHeight);
    const std::string plain = Convert(svg, OutputUnits::None);
    const std::string scaled = Convert(svg, c.units);
    ASSERT_FALSE(plain.empty());
    ASSERT_FALSE(scaled.empty());
    EXPECT_EQ(CheckDxfStructure(scaled), "");

    const auto groups = ParseGroups(scaled);
    EXPECT_EQ(HeaderValue(groups, "$INSUNITS"), c.insUnits);
    EXPECT_EQ(HeaderValue(groups, "$MEASUREMENT"), c.measurement);
    EXPECT_EQ(HeaderValue(groups, "$LUNITS"), "2");
    EXPECT_EQ(HeaderValue(ParseGroups(plain), "$INSUNITS"), "");

    const Extents box = PolylineExtents(scaled);
    EXPECT_NEAR(box.minX, 0.0, 1e-9);
    EXPECT_NEAR(box.maxX, c.maxX, 1e-9 * c.maxX);
    EXPECT_NEAR(box.minY, c.minY, 1e-9 * std::max(1.0, std::fabs(c.minY)));
    EXPECT_NEAR(box.maxY, c.maxY, 1e-9 * std::max(1.0, std::fabs(c.maxY)));

    const std::vector<double> dashesBefore = DashLengths(ParseGroups(plain));
    const std::vector<double> dashesAfter = DashLengths(groups);
    ASSERT_EQ(dashesBefore.size(), 3u); // 4, -2 and the pattern length 6
    ASSERT_EQ(dashesAfter.size(), dashesBefore.size());
    for (std::size_t i = 0; i < dashesBefore.size(); ++i)
        EXPECT_NEAR(dashesAfter[i], dashesBefore[i] * c.scale, 1e-12 * 6 * std::max(1.0, c.scale));

    ExpectEntitiesScaled(plain, scaled, c.scale, c.shift);
}

constexpr double kMmPerPx = 25.4 / 96;

INSTANTIATE_TEST_SUITE_P(
    Sheets, UnitsSheet,
    ::testing::Values(
        SheetCase{"MillimetreSheetInMillimetres", R"(width="210mm" height="297mm" viewBox="0 0 210 297")",
                  210, 297, OutputUnits::Millimetres, "4", "1", 1.0, 0, 210, 0, 297},
        SheetCase{"MillimetreSheetInInches", R"(width="210mm" height="297mm" viewBox="0 0 210 297")", 210,
                  297, OutputUnits::Inches, "1", "0", 1 / 25.4, 0, 210 / 25.4, 0, 297 / 25.4},
        SheetCase{"MillimetreSheetInCentimetres", R"(width="210mm" height="297mm" viewBox="0 0 210 297")",
                  210, 297, OutputUnits::Centimetres, "5", "1", 0.1, 0, 21, 0, 29.7},
        SheetCase{"MillimetreSheetInPixels", R"(width="210mm" height="297mm" viewBox="0 0 210 297")", 210,
                  297, OutputUnits::Pixels, "0", "0", 96 / 25.4, 0, 210 / kMmPerPx, 0, 297 / kMmPerPx},
        SheetCase{"PixelSheetInMillimetres", R"(width="800" height="600")", 800, 600,
                  OutputUnits::Millimetres, "4", "1", kMmPerPx, 0, 800 * kMmPerPx, 0, 600 * kMmPerPx},
        SheetCase{"UnsizedSheetInMillimetres", R"(viewBox="0 0 96 96")", 96, 96, OutputUnits::Millimetres,
                  "4", "1", kMmPerPx, 0, 25.4, 0, 25.4},
        // The viewBox holds twice the pixels of the width: a user unit is half a pixel.
        SheetCase{"PixelWidthAgainstViewBox", R"(width="400px" height="300px" viewBox="0 0 800 600")", 800,
                  600, OutputUnits::Pixels, "0", "0", 0.5, 0, 400, 0, 300},
        SheetCase{"PointsInInches", R"(width="72pt" height="72pt" viewBox="0 0 100 100")", 100, 100,
                  OutputUnits::Inches, "1", "0", 0.01, 0, 1, 0, 1},
        // Without a viewBox a user unit is a pixel; the walk flips against "2" of "2in", and the
        // sheet still comes out from 0 to 50.8 mm.
        SheetCase{"InchSheetWithoutViewBox", R"(width="1in" height="2in")", 96, 192, OutputUnits::Millimetres,
                  "4", "1", kMmPerPx, 190, 25.4, 0, 50.8}),
    [](const auto& row) { return std::string(row.param.name); });

struct MeasureCase
{
    const char* name;
    const char* width;
    const char* height;
    const char* viewBox; // nullptr: no viewBox attribute
    double inches;       // one user unit
    double perInch;      // the unit it is kept in
    double shift;
};

class UserUnitMeasure : public ::testing::TestWithParam<MeasureCase>
{
};

TEST_P(UserUnitMeasure, ReadsTheRootSize)
{
    const MeasureCase& c = GetParam();
    double shift = -1;
    const CUnitLength unit = CConverter::MeasureUserUnit(c.width, c.height, c.viewBox ? c.viewBox : "",
                                                         c.viewBox != nullptr, shift);
    EXPECT_DOUBLE_EQ(unit.size / unit.perInch, c.inches);
    EXPECT_EQ(unit.perInch, c.perInch);
    EXPECT_DOUBLE_EQ(shift, c.shift);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, UserUnitMeasure,
    ::testing::Values(MeasureCase{"SameUnitKeptExact", "210mm", "297mm", "0 0 210 297", 1 / 25.4, 25.4, 0},
                      MeasureCase{"CommasAndBlanks", " 10cm ", "", "0,0, 100\t50", 0.1 / 2.54, 2.54, 0},
                      MeasureCase{"UnitLetterCase", "1IN", "", "0 0 2 2", 0.5, 1, 0},
                      MeasureCase{"PicasAndPoints", "6pc", "72pt", "0 0 1 1", 1, 6, 0},
                      // Width and height disagree: the viewBox is fitted whole, so the smaller unit decides.
                      MeasureCase{"FittedToTheNarrowerSide", "100mm", "1in", "0 0 100 100", 0.01, 1, 0},
                      MeasureCase{"PercentIsNoSize", "100%", "100%", "0 0 10 10", 1.0 / 96, 96, 0},
                      MeasureCase{"FontRelativeIsNoSize", "10em", "", "0 0 10 10", 1.0 / 96, 96, 0},
                      MeasureCase{"ZeroWidthIsNoSize", "0mm", "", "0 0 10 10", 1.0 / 96, 96, 0},
                      MeasureCase{"NegativeWidthIsNoSize", "-5mm", "", "0 0 10 10", 1.0 / 96, 96, 0},
                      MeasureCase{"EmptyViewBoxIsPixels", "10mm", "10mm", "0 0 0 0", 1.0 / 96, 96, 0},
                      MeasureCase{"ShortViewBoxIsPixels", "10mm", "10mm", "0 0 10", 1.0 / 96, 96, 0},
                      MeasureCase{"UnreadableViewBoxIsPixels", "10mm", "10mm", "a b c d", 1.0 / 96, 96, 0},
                      MeasureCase{"NoViewBoxShiftsToTheLowerEdge", "1in", "1in", nullptr, 1.0 / 96, 96, 95},
                      MeasureCase{"NoViewBoxPixelsNoShift", "300", "200px", nullptr, 1.0 / 96, 96, 0},
                      MeasureCase{"NothingAtAll", "", "", nullptr, 1.0 / 96, 96, 0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(UnitsOption, NamesReadBackAndOthersAreRefused)
{
    for (OutputUnits units : {OutputUnits::None, OutputUnits::Millimetres, OutputUnits::Centimetres,
                              OutputUnits::Inches, OutputUnits::Pixels})
    {
        OutputUnits read = OutputUnits::None;
        EXPECT_TRUE(ParseOutputUnits(OutputUnitsName(units), read));
        EXPECT_EQ(read, units);
    }
    OutputUnits read = OutputUnits::Inches;
    for (const char* bad : {"", "km", "m", "mmm", " mm", "pt"})
        EXPECT_FALSE(ParseOutputUnits(bad, read)) << bad;
    EXPECT_EQ(read, OutputUnits::Inches);
}

// Root sizes at the ends of the number range: whatever scale they make, the file stays sound.
class UnitsExtremeSize : public ::testing::TestWithParam<const char*>
{
};

TEST_P(UnitsExtremeSize, WritesASoundFile)
{
    const std::string svg =
        std::string("<svg ") + GetParam() +
        R"(><path d="M 0 0 L 10 10 L 1e14 5" style="stroke:#000000;stroke-width:3;fill:#ff0000"/>)"
        R"(<circle cx="5" cy="5" r="4" style="fill:none;stroke:#000000"/>)"
        R"(<text x="1" y="1" style="font-size:1e-3px">t</text></svg>)";
    for (const OutputUnits units : {OutputUnits::Millimetres, OutputUnits::Inches, OutputUnits::Pixels})
    {
        const std::string dxf = Convert(svg, units);
        ASSERT_FALSE(dxf.empty()) << OutputUnitsName(units);
        EXPECT_EQ(CheckDxfStructure(dxf), "") << OutputUnitsName(units);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, UnitsExtremeSize,
                         ::testing::Values(R"(width="1e300mm" height="1e300mm" viewBox="0 0 1e-300 1e-300")",
                                           R"(width="1e-300in" height="1e-300in" viewBox="0 0 1e300 1e300")",
                                           R"(width="1e308in" height="1e308in")",
                                           R"(width="inf" height="nan")", R"(width="5mm" height="1e400mm")",
                                           R"(width="1e-300in" height="1e-300in" viewBox="0 0 1 1")"));

// One subpath of more points than are kept at once, which the writer takes in parts.
std::string LongPathDrawing(const std::string& rootAttributes, const std::string& farPoint)
{
    std::string d = "M 0 0";
    for (int i = 1; i <= 70000; ++i)
        d += " L " + std::to_string(i % 1000) + " " + std::to_string(i % 7);
    d += farPoint;
    return "<svg " + rootAttributes + "><path d=\"" + d +
           "\" style=\"stroke:#000000;stroke-width:2;fill:none\"/></svg>";
}

TEST(UnitsOption, SubpathWrittenInPartsIsScaledWhole)
{
    const std::string svg = LongPathDrawing(R"(width="100mm" height="100mm" viewBox="0 0 100 100")", "");
    const std::string plain = Convert(svg, OutputUnits::None);
    const std::string scaled = Convert(svg, OutputUnits::Inches);
    ASSERT_EQ(Entities(plain).size(), 1u);
    EXPECT_EQ(CheckDxfStructure(scaled), "");
    ExpectEntitiesScaled(plain, scaled, 1 / 25.4, 0);
}

// Written in parts, the polyline's vertex count is out before a far point is met: the point is
// brought to the edge of the writable range rather than leaving the file unsound.
TEST(UnitsOption, SubpathWrittenInPartsStaysSoundBeyondTheRange)
{
    const std::string svg =
        LongPathDrawing(R"(width="1000000in" height="1000000in" viewBox="0 0 1 1")", " L 100000000000 3");
    const std::string dxf = Convert(svg, OutputUnits::Millimetres);
    EXPECT_EQ(CheckDxfStructure(dxf), "");
    ASSERT_EQ(Entities(dxf).size(), 1u);
    EXPECT_EQ(GroupValue(Entities(dxf)[0], 90), "70002");
}

// Scaled up past what a CAD program keeps, an entity is left out as an unscaled one would be; the
// file stays sound.
TEST(UnitsOption, ScaledBeyondTheWritableRangeDropsTheEntity)
{
    const std::string svg = R"(<svg width="1000000in" height="1000000in" viewBox="0 0 1 1">)"
                            R"(<path d="M 0 0 L 100000000000 0" style="stroke:#000000;fill:none"/>)"
                            R"(<path d="M 0 0 L 1 0" style="stroke:#000000;fill:none"/></svg>)";
    const std::string dxf = Convert(svg, OutputUnits::Millimetres);
    ASSERT_FALSE(dxf.empty());
    EXPECT_EQ(CheckDxfStructure(dxf), "");
    EXPECT_EQ(Entities(dxf).size(), 1u);
}

} // namespace
