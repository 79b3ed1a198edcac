// Texts written as glyph outlines: closed polylines and, where filled, one hatch per glyph with its
// holes, placed, sized and turned as the TEXT entity of the same text, in its layer and colour.
#include "conversion/conversion.h"
#include "geometry/contour_flatten.h"
#include "support/dxf_check.h"
#include "support/scratch_drawing.h"
#include "support/test_support.h"
#include "svg/exact_style.h"

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

struct Options
{
    bool outlines = true;
    bool exact = false;
    bool fill = true;
    OutputUnits units = OutputUnits::None;
    bool nativeCurves = false;
};

std::string Convert(const std::string& svg, const Options& options)
{
    static std::atomic<int> counter{0};
    const int n = counter++;
    const auto in = ScratchDir() / ("outlines-" + std::to_string(n) + ".svg");
    const auto out = ScratchDir() / ("outlines-" + std::to_string(n) + ".dxf");
    WriteFile(in, svg);
    ConversionRequest request;
    request.inputPath = in.string();
    request.outputPath = out.string();
    request.exactSvg = options.exact;
    request.fillOption = options.fill;
    request.units = options.units;
    request.text = options.outlines ? TextOutput::Outlines : TextOutput::Entities;
    request.curves = options.nativeCurves ? CurveOutput::Native : CurveOutput::Flatten;
    return RunConversion(request).ok() ? ReadFile(out) : std::string();
}

std::string Svg(const std::string& text)
{
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"200\" height=\"100\">" + text + "</svg>";
}

std::vector<std::vector<Group>> OfType(const std::string& dxf, const std::string& type)
{
    std::vector<std::vector<Group>> found;
    for (auto& entity : Entities(dxf))
        if (entity.front().value == type)
            found.push_back(entity);
    return found;
}

struct Box
{
    double x0 = std::numeric_limits<double>::max();
    double y0 = std::numeric_limits<double>::max();
    double x1 = std::numeric_limits<double>::lowest();
    double y1 = std::numeric_limits<double>::lowest();
    double Width() const { return x1 - x0; }
    double Height() const { return y1 - y0; }
};

// The box of every polyline vertex.
Box OutlineBox(const std::string& dxf)
{
    Box box;
    for (const auto& entity : OfType(dxf, "LWPOLYLINE"))
    {
        const std::vector<double> xs = GroupReals(entity, 10);
        const std::vector<double> ys = GroupReals(entity, 20);
        for (double x : xs)
        {
            box.x0 = std::min(box.x0, x);
            box.x1 = std::max(box.x1, x);
        }
        for (double y : ys)
        {
            box.y0 = std::min(box.y0, y);
            box.y1 = std::max(box.y1, y);
        }
    }
    return box;
}

bool DejaVuInstalled()
{
    // The placement tests measure the glyphs of DejaVu Sans, which the install script installs.
    const std::string dxf = Convert(
        Svg("<text x=\"0\" y=\"50\" font-family=\"DejaVu Sans\" font-size=\"10\">H</text>"), Options{});
    return !OfType(dxf, "LWPOLYLINE").empty();
}

#define REQUIRE_FONT()                                                                                       \
    if (!DejaVuInstalled())                                                                                  \
    GTEST_SKIP() << "no font found (Debian: fonts-dejavu-core)"

TEST(ContourFlatten, PointsOfEachSegmentKindWithoutRepeats)
{
    const auto line = [](double x, double y)
    {
        CContourSegment s;
        s.end = {x, y};
        return s;
    };
    CContour square;
    square.start = {0, 0};
    square.closed = true;
    square.segments = {line(1, 0), line(1, 0), line(1, 1), line(0, 1), line(0, 0)};
    CContour openSquare = square;
    openSquare.closed = false;
    CContour quad;
    quad.closed = true;
    quad.start = {0, 0};
    CContourSegment q;
    q.kind = CContourSegment::Kind::Quadratic;
    q.c1 = {5, 10};
    q.end = {10, 0};
    quad.segments = {q, line(0, 0)};
    // 0.1 has no exact single-precision form: the quadratic's own first sample is not the start.
    CContour unrounded = quad;
    unrounded.start = {0.1, 0.1};
    unrounded.segments.back() = line(0.1, 0.1);
    CContour cubic = quad;
    cubic.segments[0].kind = CContourSegment::Kind::Cubic;
    cubic.segments[0].c2 = {5, 10};
    CContour dot;
    dot.start = {3, 3};
    dot.segments = {line(3, 3)};
    // Half a circle of radius 5 about (5, 0), counter-clockwise, so under the chord; and a quarter
    // of an ellipse with axes 4 and 2 about (1, 1), whose every point lies on it.
    CContour halfCircle;
    halfCircle.start = {0, 0};
    CContourSegment arc;
    arc.kind = CContourSegment::Kind::CircularArc;
    arc.end = {10, 0};
    arc.bulge = 1.0;
    halfCircle.segments = {arc};
    CContour quarterEllipse;
    quarterEllipse.start = {5, 1};
    CContourSegment elliptical;
    elliptical.kind = CContourSegment::Kind::EllipticalArc;
    elliptical.c1 = {1, 1};
    elliptical.c2 = {4, 0};
    elliptical.ratio = 0.5;
    elliptical.sweep = 1.5707963267948966;
    elliptical.end = {1, 3};
    quarterEllipse.segments = {elliptical};
    const struct
    {
        const char* name;
        CContour contour;
        std::size_t points;
        // When set, every point lies on x^2/a^2 + y^2/b^2 = 1 about (cx, cy), below cy for a circle.
        double cx = 0, cy = 0, a = 0, b = 0;
    } cases[] = {
        {"ClosedSquareDropsRepeatsAndTheReturnToStart", square, 4},
        {"OpenSquareKeepsItsLastPoint", openSquare, 5},
        {"QuadraticInFiveSteps", quad, 6},
        {"QuadraticFromAStartSinglePrecisionRounds", unrounded, 6},
        {"CubicSubdividedIntoMoreThanItsEnds", cubic, 0},
        {"PointStaysOnePoint", dot, 1},
        {"CircularArcOnItsCircle", halfCircle, 0, 5, 0, 5, 5},
        {"EllipticalArcOnItsEllipse", quarterEllipse, 0, 1, 1, 4, 2},
    };
    CPointList points;
    for (const auto& c : cases)
    {
        FlattenContour(c.contour, points);
        if (c.points == 0)
            EXPECT_GT(points.size(), 3u) << c.name;
        else
            EXPECT_EQ(points.size(), c.points) << c.name;
        for (std::size_t i = 1; i < points.size(); ++i)
            EXPECT_FALSE(points[i].x == points[i - 1].x && points[i].y == points[i - 1].y) << c.name;
        EXPECT_EQ(points.front().x, c.contour.start.x) << c.name;
        if (c.a == 0)
            continue;
        EXPECT_EQ(points.back().x, c.contour.segments.back().end.x) << c.name;
        EXPECT_EQ(points.back().y, c.contour.segments.back().end.y) << c.name;
        for (const CPointData& p : points)
        {
            const double u = (p.x - c.cx) / c.a;
            const double v = (p.y - c.cy) / c.b;
            EXPECT_NEAR(u * u + v * v, 1.0, 1e-9) << c.name;
            if (c.a == c.b)
            {
                EXPECT_LE(p.y, c.cy + 1e-12) << c.name;
            }
        }
    }
}

struct PaintCase
{
    const char* name;
    Options options;
    std::string text;
    std::size_t hatches;
    std::size_t polylines;
    // With native curves the glyphs' curves are splines, in the outlines and the hatch edges.
    std::size_t splines = 0;
};

class OutlinePaint : public ::testing::TestWithParam<PaintCase>
{
};

TEST_P(OutlinePaint, FilledGlyphsAreHatchedWithTheirHoles)
{
    REQUIRE_FONT();
    const PaintCase& c = GetParam();
    const std::string dxf = Convert(Svg(c.text), c.options);
    ASSERT_FALSE(dxf.empty());
    EXPECT_EQ(CheckDxfStructure(dxf), "");
    EXPECT_TRUE(OfType(dxf, "TEXT").empty());
    const auto hatches = OfType(dxf, "HATCH");
    EXPECT_EQ(hatches.size(), c.hatches);
    // An "o" is one hatch of two loops, the inner one its hole.
    for (const auto& hatch : hatches)
        EXPECT_EQ(GroupValue(hatch, 91), "2");
    const auto polylines = OfType(dxf, "LWPOLYLINE");
    EXPECT_EQ(polylines.size(), c.polylines);
    for (const auto& polyline : polylines)
        EXPECT_EQ(GroupValue(polyline, 70), "1");
    EXPECT_EQ(OfType(dxf, "SPLINE").size(), c.splines);
    for (const auto& hatch : hatches)
    {
        bool splineEdge = false;
        for (const Group& group : hatch)
            splineEdge = splineEdge || (group.code == 72 && group.value == "4");
        EXPECT_EQ(splineEdge, c.splines != 0);
    }
}

const std::string kO = "<text x=\"10\" y=\"50\" font-family=\"DejaVu Sans\" font-size=\"20\">o</text>";
const std::string kStrokedO = "<text x=\"10\" y=\"50\" font-family=\"DejaVu Sans\" font-size=\"20\" "
                              "fill=\"none\" stroke=\"red\">o</text>";

INSTANTIATE_TEST_SUITE_P(
    Readings, OutlinePaint,
    ::testing::Values(
        PaintCase{"Default", Options{true, false, true, OutputUnits::None}, kO, 1, 2},
        PaintCase{"DefaultWithoutFill", Options{true, false, false, OutputUnits::None}, kO, 0, 2},
        PaintCase{"Exact", Options{true, true, true, OutputUnits::None}, kO, 1, 2},
        PaintCase{"NativeCurves", Options{true, false, true, OutputUnits::None, true}, kO, 1, 0, 2},
        PaintCase{"ExactNativeCurves", Options{true, true, true, OutputUnits::None, true}, kO, 1, 0, 2},
        PaintCase{"ExactWithoutFill", Options{true, true, false, OutputUnits::None}, kO, 0, 2},
        PaintCase{"ExactStrokedOnly", Options{true, true, true, OutputUnits::None}, kStrokedO, 0, 2},
        PaintCase{"TwoLetters", Options{true, true, true, OutputUnits::None},
                  "<text x=\"10\" y=\"50\" font-family=\"DejaVu Sans\">oo</text>", 2, 4}),
    [](const ::testing::TestParamInfo<PaintCase>& param) { return std::string(param.param.name); });

struct PlacementCase
{
    const char* name;
    std::string attributes; // of the text element
    double x0, y0, x1, y1;  // the box of the outlines of "H", in DXF coordinates
};

class OutlinePlacement : public ::testing::TestWithParam<PlacementCase>
{
};

// "H" in DejaVu Sans at 40 px: 1.51 ems wide less its side bearings (0.098 em each), 0.729 em
// high, the baseline at DXF y 100 - 60 = 40.
TEST_P(OutlinePlacement, AsTheTextEntityIsPlaced)
{
    REQUIRE_FONT();
    const PlacementCase& c = GetParam();
    Options options;
    options.exact = true;
    const std::string dxf = Convert(
        Svg("<text font-family=\"DejaVu Sans\" font-size=\"40\" " + c.attributes + ">H</text>"), options);
    const Box box = OutlineBox(dxf);
    constexpr double kTolerance = 0.05;
    EXPECT_NEAR(box.x0, c.x0, kTolerance);
    EXPECT_NEAR(box.y0, c.y0, kTolerance);
    EXPECT_NEAR(box.x1, c.x1, kTolerance);
    EXPECT_NEAR(box.y1, c.y1, kTolerance);
}

constexpr double kEm = 40.0;
constexpr double kBearing = 0.0981 * kEm; // 201 of 2048 units
constexpr double kAdvance = 0.7520 * kEm; // 1540 of 2048
constexpr double kCap = 0.7290 * kEm;     // 1493 of 2048

INSTANTIATE_TEST_SUITE_P(
    Anchors, OutlinePlacement,
    ::testing::Values(
        PlacementCase{"Start", "x=\"50\" y=\"60\"", 50 + kBearing, 40, 50 + kAdvance - kBearing, 40 + kCap},
        PlacementCase{"Middle", "x=\"50\" y=\"60\" text-anchor=\"middle\"", 50 - kAdvance / 2 + kBearing, 40,
                      50 + kAdvance / 2 - kBearing, 40 + kCap},
        PlacementCase{"End", "x=\"50\" y=\"60\" text-anchor=\"end\"", 50 - kAdvance + kBearing, 40,
                      50 - kBearing, 40 + kCap},
        // Turned a quarter counter-clockwise on the page: the baseline runs up, the glyph stands left.
        PlacementCase{"Turned", "transform=\"translate(50 60) rotate(-90)\"", 50 - kCap, 40 + kBearing, 50,
                      40 + kAdvance - kBearing},
        PlacementCase{"Scaled", "transform=\"translate(50 60) scale(2)\"", 50 + 2 * kBearing, 40,
                      50 + 2 * (kAdvance - kBearing), 40 + 2 * kCap}),
    [](const ::testing::TestParamInfo<PlacementCase>& param) { return std::string(param.param.name); });

TEST(TextOutlines, SizedAsTheTextEntityAndInTheOutputUnit)
{
    REQUIRE_FONT();
    const std::string svg =
        Svg("<text x=\"20\" y=\"60\" font-family=\"DejaVu Sans\" font-size=\"40\">H</text>");
    for (const bool exact : {false, true})
    {
        Options entities;
        entities.outlines = false;
        entities.exact = exact;
        const auto texts = OfType(Convert(svg, entities), "TEXT");
        ASSERT_EQ(texts.size(), 1u);
        // The TEXT height is 0.8 of the font size; the cap height of the outlines follows the font.
        EXPECT_DOUBLE_EQ(Real(texts[0], 40), 32.0);
        Options outlines;
        outlines.exact = exact;
        const Box plain = OutlineBox(Convert(svg, outlines));
        EXPECT_NEAR(plain.Height(), kCap, 0.05);
        EXPECT_NEAR(plain.x0, Real(texts[0], 10) + kBearing, 0.05);
        EXPECT_NEAR(plain.y0, Real(texts[0], 20), 0.05);
        outlines.units = OutputUnits::Millimetres;
        const Box mm = OutlineBox(Convert(svg, outlines));
        EXPECT_NEAR(mm.Width(), plain.Width() * 25.4 / 96.0, 1e-9);
        EXPECT_NEAR(mm.x0, plain.x0 * 25.4 / 96.0, 1e-9);
    }
}

TEST(TextOutlines, TakeTheLayerColourAndLineTypeOfTheTextEntity)
{
    REQUIRE_FONT();
    const std::string svg =
        Svg("<g id=\"Labels\"><text x=\"20\" y=\"60\" "
            "style=\"fill:#ff0000;font-family:DejaVu Sans;font-size:16px\">lo</text></g>");
    for (const bool exact : {false, true})
    {
        Options options;
        options.exact = exact;
        options.outlines = false;
        const auto texts = OfType(Convert(svg, options), "TEXT");
        ASSERT_EQ(texts.size(), 1u);
        options.outlines = true;
        const std::string dxf = Convert(svg, options);
        const auto entities = Entities(dxf);
        ASSERT_EQ(entities.size(), 2u /* hatches */ + 3u /* contours */);
        for (const auto& entity : entities)
            for (const int code : {8, 62, 6})
                EXPECT_EQ(GroupValue(entity, code), GroupValue(texts[0], code))
                    << entity.front().value << " group " << code << (exact ? " exact" : "");
    }
}

TEST(TextOutlines, SoundFilesWhateverTheTextAsks)
{
    const std::string cases[] = {
        "<text x=\"1\" y=\"1\" font-size=\"1e300\">big</text>",
        "<text x=\"1e300\" y=\"1\" font-size=\"10\">far</text>",
        "<text transform=\"matrix(1e200 0 0 1e200 0 0)\" font-size=\"10\">scaled</text>",
        "<text transform=\"matrix(0 0 0 0 0 0)\" font-size=\"10\">collapsed</text>",
        "<text x=\"1\" y=\"1\" font-size=\"1e-300\">tiny</text>",
        "<text x=\"1\" y=\"1\" font-family=\"No Such Face\" font-size=\"10\">&#xE000;&#x10FFFF;</text>",
        "<text x=\"1\" y=\"1\" font-size=\"10\">   </text>",
        "<text x=\"1\" y=\"1\" font-size=\"10\"></text>",
    };
    for (const std::string& text : cases)
        for (const bool exact : {false, true})
        {
            Options options;
            options.exact = exact;
            const std::string dxf = Convert(Svg(text), options);
            ASSERT_FALSE(dxf.empty()) << text;
            EXPECT_EQ(CheckDxfStructure(dxf), "") << text << (exact ? " exact" : "");
        }
}

TEST(TextOutlines, BoldAndItalicTakeTheirFaces)
{
    REQUIRE_FONT();
    Options options;
    options.exact = true;
    const auto width = [&](const std::string& attributes)
    {
        return OutlineBox(
                   Convert(Svg("<text x=\"20\" y=\"60\" font-family=\"DejaVu Sans\" font-size=\"40\" " +
                               attributes + ">l</text>"),
                           options))
            .Width();
    };
    const double regular = width("");
    // The bold l's stem is wider; the oblique one leans, so its box is wider too.
    EXPECT_GT(width("font-weight=\"bold\""), regular * 1.3);
    EXPECT_GT(width("style=\"font-style:italic\""), regular * 1.5);
    EXPECT_DOUBLE_EQ(width("font-weight=\"normal\" font-style=\"normal\""), regular);

    const struct
    {
        const char* text;
        int parent;
        int weight;
    } weights[] = {{"normal", 700, 400}, {"bold", 400, 700},    {"bolder", 300, 400},  {"bolder", 400, 700},
                   {"bolder", 700, 900}, {"lighter", 700, 400}, {"lighter", 400, 100}, {"lighter", 50, 50},
                   {"550", 400, 550},    {"0", 400, 400},       {"1001", 300, 300},    {"heavy", 600, 600}};
    for (const auto& w : weights)
        EXPECT_EQ(ResolveFontWeight(w.text, w.parent), w.weight) << w.text << " from " << w.parent;
}

TEST(TextOutlines, LongTextsAreCutAtAWholeCharacterAsTheEntityIs)
{
    REQUIRE_FONT();
    // 999 bytes of "l", then a two-byte letter across the bound: 999 glyphs of one contour each.
    const std::string text = std::string(999, 'l') + "\xC3\xA9" + std::string(3000, 'l');
    Options options;
    options.fill = false;
    const std::string dxf =
        Convert(Svg("<text x=\"0\" y=\"50\" font-family=\"DejaVu Sans\" font-size=\"1\">" + text + "</text>"),
                options);
    EXPECT_EQ(OfType(dxf, "LWPOLYLINE").size(), 999u);
}

TEST(TextOutlines, OptionNamesReadBack)
{
    for (const TextOutput output : {TextOutput::Entities, TextOutput::Outlines})
    {
        TextOutput read = output == TextOutput::Entities ? TextOutput::Outlines : TextOutput::Entities;
        ASSERT_TRUE(ParseTextOutput(TextOutputName(output), read));
        EXPECT_EQ(read, output);
    }
    TextOutput read = TextOutput::Entities;
    EXPECT_TRUE(ParseTextOutput("OUTLINES", read));
    EXPECT_EQ(read, TextOutput::Outlines);
    for (const char* bad : {"", "outline", "paths", "outlines "})
        EXPECT_FALSE(ParseTextOutput(bad, read)) << bad;
}

} // namespace
