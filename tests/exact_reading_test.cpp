// The exact reading's parsers, table by table: transform lists, lengths, colours and paints, font
// sizes, text content; then whole drawings read back entity by entity.
#include "dxf/document.h"
#include "support/test_support.h"
#include "svg/exact_css.h"
#include "svg/exact_length.h"
#include "svg/exact_markers.h"
#include "svg/exact_paint.h"
#include "svg/exact_reading.h"
#include "svg/exact_style.h"
#include "svg/exact_transform.h"
#include "xml/xml.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace testing_support;

namespace
{

std::string CaseName(const char* name)
{
    return name;
}

// ---- transform lists -------------------------------------------------------------------------

struct TransformCase
{
    const char* name;
    const char* text;
    bool ok;
    double m[6];
};
class TransformListTest : public ::testing::TestWithParam<TransformCase>
{
};

TEST_P(TransformListTest, ComposesLeftToRight)
{
    const TransformCase& c = GetParam();
    CMatrix m;
    EXPECT_EQ(ParseTransformList(c.text, m), c.ok);
    const double got[6] = {m.a, m.b, m.c, m.d, m.e, m.f};
    for (int i = 0; i < 6; ++i)
        EXPECT_NEAR(got[i], c.m[i], 1e-9) << "entry " << i;
}

constexpr double kS = 0.7071067811865476; // sin 45
INSTANTIATE_TEST_SUITE_P(
    Grammar, TransformListTest,
    ::testing::Values(
        TransformCase{"Empty", "", true, {1, 0, 0, 1, 0, 0}},
        TransformCase{"Matrix", "matrix(1 2 3 4 5 6)", true, {1, 2, 3, 4, 5, 6}},
        TransformCase{"MatrixCommas", "matrix(1,2,3,4,5,6)", true, {1, 2, 3, 4, 5, 6}},
        TransformCase{"MatrixSignsJoin", "matrix(1-2-3-4,5,6)", true, {1, -2, -3, -4, 5, 6}},
        TransformCase{"Exponents", "translate(1e1,-2.5E-1)", true, {1, 0, 0, 1, 10, -0.25}},
        TransformCase{"TranslateOneNumber", "translate(5)", true, {1, 0, 0, 1, 5, 0}},
        TransformCase{"ScaleOneNumber", "scale(2)", true, {2, 0, 0, 2, 0, 0}},
        TransformCase{"ScaleThenTranslate", "scale(2) translate(10,20)", true, {2, 0, 0, 2, 20, 40}},
        TransformCase{"TranslateThenScale", "translate(10,20) scale(2)", true, {2, 0, 0, 2, 10, 20}},
        TransformCase{"CommaBetween", "translate(10,20),scale(2)", true, {2, 0, 0, 2, 10, 20}},
        TransformCase{"Rotate90", "rotate(90)", true, {0, 1, -1, 0, 0, 0}},
        TransformCase{"RotateAboutCentre", "rotate(90 10 10)", true, {0, 1, -1, 0, 20, 0}},
        TransformCase{"Rotate45", "rotate(45)", true, {kS, kS, -kS, kS, 0, 0}},
        TransformCase{"SkewX45", "skewX(45)", true, {1, 0, 1, 1, 0, 0}},
        TransformCase{"SkewY45", "skewY(45)", true, {1, 1, 0, 1, 0, 0}},
        TransformCase{"BlanksInside", "  rotate ( 90 )  ", true, {0, 1, -1, 0, 0, 0}},
        TransformCase{"UnknownFunction", "translate(1,2) spin(4)", false, {1, 0, 0, 1, 0, 0}},
        TransformCase{"WrongCount", "matrix(1 0 0 1 5)", false, {1, 0, 0, 1, 0, 0}},
        TransformCase{"Unclosed", "translate(1,2", false, {1, 0, 0, 1, 0, 0}},
        TransformCase{"RotateTwoNumbers", "rotate(90 10)", false, {1, 0, 0, 1, 0, 0}}),
    [](const auto& testInfo) { return CaseName(testInfo.param.name); });

TEST(ViewportMatrixTest, MeetSliceAndNone)
{
    // A 100 x 50 viewBox into a 200 x 200 viewport.
    const CMatrix meet = ViewportMatrix("0 0 100 50", "", 0, 0, 200, 200);
    EXPECT_DOUBLE_EQ(meet.a, 2.0);
    EXPECT_DOUBLE_EQ(meet.d, 2.0);
    EXPECT_DOUBLE_EQ(meet.f, 50.0); // centred vertically
    const CMatrix slice = ViewportMatrix("0 0 100 50", "xMinYMin slice", 0, 0, 200, 200);
    EXPECT_DOUBLE_EQ(slice.a, 4.0);
    EXPECT_DOUBLE_EQ(slice.e, 0.0);
    const CMatrix none = ViewportMatrix("10 10 100 50", "none", 5, 5, 200, 200);
    EXPECT_DOUBLE_EQ(none.a, 2.0);
    EXPECT_DOUBLE_EQ(none.d, 4.0);
    EXPECT_DOUBLE_EQ(none.e, 5.0 - 20.0);
    const CMatrix bad = ViewportMatrix("0 0 0 10", "", 3, 4, 200, 200);
    EXPECT_DOUBLE_EQ(bad.a, 1.0);
    EXPECT_DOUBLE_EQ(bad.e, 3.0);
}

// ---- lengths ---------------------------------------------------------------------------------

struct LengthCase
{
    const char* name;
    const char* text;
    CLengthAxis axis;
    bool ok;
    double value;
};
class LengthTest : public ::testing::TestWithParam<LengthCase>
{
};

TEST_P(LengthTest, ResolvesToUserUnits)
{
    const LengthCase& c = GetParam();
    CLengthContext context;
    context.fontSize = 10.0;
    context.viewportWidth = 200.0;
    context.viewportHeight = 100.0;
    const auto value = ResolveLength(c.text, context, c.axis);
    ASSERT_EQ(value.has_value(), c.ok);
    if (c.ok)
    {
        EXPECT_NEAR(*value, c.value, 1e-9);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Units, LengthTest,
    ::testing::Values(LengthCase{"Plain", "12", CLengthAxis::X, true, 12},
                      LengthCase{"Px", "12px", CLengthAxis::X, true, 12},
                      LengthCase{"Mm", "25.4mm", CLengthAxis::X, true, 96},
                      LengthCase{"Cm", "2.54cm", CLengthAxis::X, true, 96},
                      LengthCase{"In", "1in", CLengthAxis::X, true, 96},
                      LengthCase{"Pt", "72pt", CLengthAxis::X, true, 96},
                      LengthCase{"Pc", "1pc", CLengthAxis::X, true, 16},
                      LengthCase{"Em", "1.5em", CLengthAxis::X, true, 15},
                      LengthCase{"Ex", "2ex", CLengthAxis::X, true, 10},
                      LengthCase{"PercentWidth", "50%", CLengthAxis::X, true, 100},
                      LengthCase{"PercentHeight", "50%", CLengthAxis::Y, true, 50},
                      LengthCase{"PercentDiagonal", "10%", CLengthAxis::Other, true,
                                 std::sqrt((200.0 * 200.0 + 100.0 * 100.0) / 2.0) / 10.0},
                      LengthCase{"Exponent", "1e2", CLengthAxis::X, true, 100},
                      LengthCase{"ExponentBeforeUnit", "1e1mm", CLengthAxis::X, true, 960 / 25.4},
                      LengthCase{"LeadingDot", ".5", CLengthAxis::X, true, 0.5},
                      LengthCase{"Blanks", "  3 px ", CLengthAxis::X, true, 3},
                      LengthCase{"Negative", "-4", CLengthAxis::X, true, -4},
                      LengthCase{"UnknownUnit", "12abc", CLengthAxis::X, false, 0},
                      LengthCase{"Empty", "", CLengthAxis::X, false, 0},
                      LengthCase{"Keyword", "auto", CLengthAxis::X, false, 0}),
    [](const auto& testInfo) { return CaseName(testInfo.param.name); });

// ---- colours and paints ------------------------------------------------------------------------

struct ColorCase
{
    const char* name;
    const char* text;
    bool ok;
    int rgb; // packed, red in the low byte
    double alpha;
};
class CssColorTest : public ::testing::TestWithParam<ColorCase>
{
};

TEST_P(CssColorTest, Parses)
{
    const ColorCase& c = GetParam();
    CExactColor colour;
    ASSERT_EQ(ParseCssColor(c.text, 0x123456, colour), c.ok);
    if (!c.ok)
        return;
    EXPECT_EQ(colour.rgb, c.rgb) << std::hex << colour.rgb;
    EXPECT_NEAR(colour.alpha, c.alpha, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CssColorTest,
    ::testing::Values(ColorCase{"HexLong", "#FF8000", true, 0x0080FF, 1},
                      ColorCase{"HexShortDifferentDigits", "#F00", true, 0x0000FF, 1},
                      ColorCase{"HexWithAlpha", "#00ff0080", true, 0x00FF00, 128.0 / 255},
                      ColorCase{"HexShortAlpha", "#0000", true, 0, 0},
                      ColorCase{"HexFiveDigits", "#12345", false, 0, 0},
                      ColorCase{"RgbNumbers", "rgb(10, 20, 30)", true, 0x1E140A, 1},
                      ColorCase{"RgbPercentFull", "rgb(100%,0%,0%)", true, 0x0000FF, 1},
                      ColorCase{"RgbPercentHalf", "rgb(50%,50%,50%)", true, 0x808080, 1},
                      ColorCase{"RgbClamped", "rgb(300,-5,0)", true, 0x0000FF, 1},
                      ColorCase{"Rgba", "rgba(0,0,255,0.5)", true, 0xFF0000, 0.5},
                      ColorCase{"RgbSpaceSlash", "rgb(0 0 255 / 25%)", true, 0xFF0000, 0.25},
                      ColorCase{"HslRed", "hsl(0,100%,50%)", true, 0x0000FF, 1},
                      ColorCase{"HslGreen", "hsl(120, 100%, 25%)", true, 0x008000, 1},
                      ColorCase{"HslaBlue", "hsla(240,100%,50%,0)", true, 0xFF0000, 0},
                      ColorCase{"KeywordCapitalised", "Red", true, 0x0000FF, 1},
                      ColorCase{"KeywordCss", "cornflowerblue", true, 0xED9564, 1},
                      ColorCase{"KeywordGreenIsHalf", "green", true, 0x008000, 1},
                      ColorCase{"Transparent", "transparent", true, 0, 0},
                      ColorCase{"CurrentColor", "currentColor", true, 0x123456, 1},
                      ColorCase{"Unknown", "reddish", false, 0, 0},
                      ColorCase{"UnclosedFunction", "rgb(1,2,3", false, 0, 0}),
    [](const auto& testInfo) { return CaseName(testInfo.param.name); });

TEST(PaintTest, NoneUrlFallbackAndFirstStop)
{
    CXML gradient;
    gradient.m_strTag = "linearGradient";
    auto stop = std::make_unique<CXML>();
    stop->m_strTag = "stop";
    stop->AddAttribute("style", "stop-color:#0000ff;stop-opacity:1");
    gradient.AddChild(std::move(stop));
    const CIdLookup lookup = [&](std::string_view id) -> const CXML*
    { return id == "g1" ? &gradient : nullptr; };

    CPaint paint;
    ASSERT_TRUE(ParsePaint("none", 0, lookup, paint));
    EXPECT_FALSE(paint.drawn);
    ASSERT_TRUE(ParsePaint("url(#g1)", 0, lookup, paint));
    EXPECT_TRUE(paint.drawn);
    EXPECT_EQ(paint.rgb, 0xFF0000);
    ASSERT_TRUE(ParsePaint("url(#missing) red", 0, lookup, paint));
    EXPECT_TRUE(paint.drawn);
    EXPECT_EQ(paint.rgb, 0x0000FF);
    ASSERT_TRUE(ParsePaint("url('#g1') none", 0, lookup, paint));
    EXPECT_FALSE(paint.drawn);
    ASSERT_TRUE(ParsePaint("url(#missing)", 0, lookup, paint));
    EXPECT_FALSE(paint.drawn);
    EXPECT_FALSE(ParsePaint("nonsense", 0, lookup, paint));
}

// ---- font sizes, families, declarations ------------------------------------------------------

struct FontSizeCase
{
    const char* name;
    const char* text;
    bool ok;
    double size;
};
class FontSizeTest : public ::testing::TestWithParam<FontSizeCase>
{
};

TEST_P(FontSizeTest, AgainstParentOf20)
{
    const FontSizeCase& c = GetParam();
    const auto size = ResolveFontSize(c.text, 20.0);
    ASSERT_EQ(size.has_value(), c.ok);
    if (c.ok)
    {
        EXPECT_NEAR(*size, c.size, 1e-9);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FontSizeTest,
    ::testing::Values(FontSizeCase{"Px", "12px", true, 12}, FontSizeCase{"Em", "2em", true, 40},
                      FontSizeCase{"Percent", "50%", true, 10}, FontSizeCase{"Pt", "12pt", true, 16},
                      FontSizeCase{"Medium", "medium", true, 16},
                      FontSizeCase{"XxLarge", "xx-large", true, 32},
                      FontSizeCase{"Larger", "larger", true, 24}, FontSizeCase{"Negative", "-3", false, 0},
                      FontSizeCase{"Garbage", "big", false, 0}),
    [](const auto& testInfo) { return CaseName(testInfo.param.name); });

TEST(FontFamilyTest, FirstFamilyWithoutQuotes)
{
    EXPECT_EQ(FirstFontFamily("'Open Sans', Arial, sans-serif"), "Open Sans");
    EXPECT_EQ(FirstFontFamily(" \"DejaVu Sans\" "), "DejaVu Sans");
    EXPECT_EQ(FirstFontFamily("Arial"), "Arial");
}

TEST(FontShorthandTest, StyleWeightSizeAndFamilies)
{
    const struct
    {
        const char* text;
        bool ok;
        bool italic;
        const char* weight;
        const char* size;
        const char* families;
    } cases[] = {{"italic bold 12px/1.5 Georgia, serif", true, true, "bold", "12px", "Georgia, serif"},
                 {"12px Arial", true, false, "", "12px", "Arial"},
                 {"normal 400 10px 'DejaVu Sans'", true, false, "400", "10px", "'DejaVu Sans'"},
                 {"small-caps 1.2em / 2 serif", true, false, "", "1.2em", "serif"},
                 {"12px", false, false, "", "", ""},
                 {"bold Arial", false, false, "", "", ""},
                 {"caption", false, false, "", "", ""}};
    for (const auto& c : cases)
    {
        CFontShorthand font;
        EXPECT_EQ(ParseFontShorthand(c.text, font), c.ok) << c.text;
        if (!c.ok)
            continue;
        EXPECT_EQ(font.italic, c.italic) << c.text;
        EXPECT_EQ(font.weight, c.weight) << c.text;
        EXPECT_EQ(font.size, c.size) << c.text;
        EXPECT_EQ(font.families, c.families) << c.text;
    }
}

TEST(CssDeclarationTest, SplitsTrimsAndMarksImportant)
{
    std::vector<CCssDeclaration> out;
    ParseCssDeclarations(" FILL : red ; stroke:blue !important;;bad; font-family: 'A;B'", out);
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(out[0].property, "fill");
    EXPECT_EQ(out[0].value, "red");
    EXPECT_FALSE(out[0].important);
    EXPECT_EQ(out[1].property, "stroke");
    EXPECT_EQ(out[1].value, "blue");
    EXPECT_TRUE(out[1].important);
}

struct TextContentCase
{
    const char* name;
    const char* text;
    bool preserve;
    const char* decoded;
};
class TextContentTest : public ::testing::TestWithParam<TextContentCase>
{
};

TEST_P(TextContentTest, Decodes)
{
    EXPECT_EQ(DecodeTextContent(GetParam().text, GetParam().preserve), GetParam().decoded);
}

INSTANTIATE_TEST_SUITE_P(
    Content, TextContentTest,
    ::testing::Values(TextContentCase{"Named", "a &lt;b&gt; &amp; &quot;c&quot; &apos;", false,
                                      "a <b> & \"c\" '"},
                      TextContentCase{"Decimal", "&#65;&#66;", false, "AB"},
                      TextContentCase{"HexToUtf8", "&#xE9;&#x20AC;", false, "\xC3\xA9\xE2\x82\xAC"},
                      TextContentCase{"UnknownKept", "&nbsp;&x", false, "&nbsp;&x"},
                      TextContentCase{"DefaultSpace", "\n  two\t\twords  \n", false, "two words"},
                      TextContentCase{"PreserveSpace", "a\n\tb", true, "a  b"},
                      // Runs longer than eight bytes, with what stops them at every place in a word
                      // of eight and across two.
                      TextContentCase{"LongRunsDoubledBlanks", "abcdefg  hijklmno pqrstuv  w xyz", false,
                                      "abcdefg hijklmno pqrstuv w xyz"},
                      TextContentCase{"LongRunsBlankAcrossWords", "abcdefg hijklmn  opqrstu", false,
                                      "abcdefg hijklmn opqrstu"},
                      TextContentCase{"LongRunsStops", "abcdefgh&amp;ijklmno\tpqrstuvw\nxyz0123&#65;", false,
                                      "abcdefgh&ijklmno pqrstuvwxyz0123A"},
                      TextContentCase{"LongRunsPreserved", "abcdefg  hijklmno\tp", true, "abcdefg  hijklmno p"}),
    [](const auto& testInfo) { return CaseName(testInfo.param.name); });

TEST(StyleElementTextTest, FromTheFileBytesWithCdataUnwrapped)
{
    const std::vector<std::string> texts = StyleElementTexts(
        "<svg><styles>no</styles><style type=\"text/css\"><![CDATA[\n.st0{fill:red}\n]]></style>"
        "<style/><style>rect { fill: blue }</style><style>a{}<![CDATA[b{}]]>c{}<![CDATA[unclosed");
    const std::vector<std::string> expected = {"\n.st0{fill:red}\n", "rect { fill: blue }",
                                               "a{}b{}c{}unclosed"};
    EXPECT_EQ(texts, expected);
}

// ---- marker vertices -------------------------------------------------------------------------

struct VertexCase
{
    const char* name;
    const char* d;
    // Each vertex as x, y and the auto angle in degrees, of a start marker then of the others.
    std::vector<std::array<double, 3>> vertices;
};
class MarkerVertexTest : public ::testing::TestWithParam<VertexCase>
{
};

TEST_P(MarkerVertexTest, VerticesAndAutoAngles)
{
    const VertexCase& c = GetParam();
    const std::vector<CMarkerVertex> got = PathVertices(c.d);
    ASSERT_EQ(got.size(), c.vertices.size());
    CMarkerOrient orient;
    orient.kind = CMarkerOrient::Kind::Auto;
    for (std::size_t i = 0; i < got.size(); ++i)
    {
        EXPECT_NEAR(got[i].x, c.vertices[i][0], 1e-9) << "vertex " << i;
        EXPECT_NEAR(got[i].y, c.vertices[i][1], 1e-9) << "vertex " << i;
        double angle = MarkerAngle(orient, got[i], i == 0) * 180 / M_PI;
        // -180 and 180 are one direction.
        if (std::fabs(angle + 180) < 1e-6)
            angle = 180;
        EXPECT_NEAR(angle, c.vertices[i][2], 1e-6) << "vertex " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, MarkerVertexTest,
    ::testing::Values(
        VertexCase{"Corner", "M0 0 L10 0 L10 10", {{0, 0, 0}, {10, 0, 45}, {10, 10, 90}}},
        VertexCase{"RelativeAndImplicitLines", "m5 5 10 0 0 10", {{5, 5, 0}, {15, 5, 45}, {15, 15, 90}}},
        VertexCase{"HorizontalVertical", "M0 0 H10 V-10", {{0, 0, 0}, {10, 0, -45}, {10, -10, -90}}},
        // The closing vertex leaves along the first segment; the start arrives along the closing one.
        VertexCase{
            "Closed", "M0 0 L10 0 L10 10 Z", {{0, 0, -67.5}, {10, 0, 45}, {10, 10, 157.5}, {0, 0, -67.5}}},
        // A cubic's end directions are its control legs, not its chord.
        VertexCase{"CubicLegs", "M0 0 C0 10 10 10 10 0", {{0, 0, 90}, {10, 0, -90}}},
        VertexCase{"CubicCoincidentControl", "M0 0 C0 0 10 10 10 0", {{0, 0, 45}, {10, 0, -90}}},
        VertexCase{
            "SmoothMirrors", "M0 0 C0 10 10 10 10 0 S20 -10 20 0", {{0, 0, 90}, {10, 0, -90}, {20, 0, 90}}},
        // T mirrors the control point (5, 5) to (15, -5): the path goes on straight through (10, 0).
        VertexCase{"QuadraticAndT", "M0 0 Q5 5 10 0 T20 0", {{0, 0, 45}, {10, 0, -45}, {20, 0, 45}}},
        // A half circle over the top from (0, 0) to (20, 0), sweep 1 in y-down: it leaves upwards.
        VertexCase{"ArcTangents", "M0 0 A10 10 0 0 1 20 0", {{0, 0, -90}, {20, 0, 90}}},
        VertexCase{"ArcFlagsWithoutBlanks", "M0 0 a10 10 0 0120 0", {{0, 0, -90}, {20, 0, 90}}},
        // A zero radius is a line.
        VertexCase{"ArcZeroRadius", "M0 0 A0 5 0 0 1 10 0", {{0, 0, 0}, {10, 0, 0}}},
        // Errors end the path where they stand, keeping what came before.
        VertexCase{"NegativeRadius", "M0 0 L10 0 A-5 5 0 0 1 20 0 L30 0", {{0, 0, 0}, {10, 0, 0}}},
        VertexCase{"BadFlag", "M0 0 L10 0 A5 5 0 2 1 20 0", {{0, 0, 0}, {10, 0, 0}}},
        VertexCase{"MissingNumber", "M0 0 L10 0 L20", {{0, 0, 0}, {10, 0, 0}}},
        VertexCase{"NoMovetoFirst", "L10 0 L20 0", {}},
        // A segment of no length keeps the direction the path had.
        VertexCase{"ZeroLengthSegment", "M0 0 L0 10 L0 10", {{0, 0, 90}, {0, 10, 90}, {0, 10, 90}}},
        // A path that turns straight back follows the way in.
        VertexCase{"Reversal", "M0 0 L10 0 L0 0", {{0, 0, 0}, {10, 0, 0}, {0, 0, 180}}}),
    [](const auto& testInfo) { return CaseName(testInfo.param.name); });

TEST(MarkerOrientTest, KeywordsAndAngleUnits)
{
    const struct
    {
        const char* text;
        CMarkerOrient::Kind kind;
        double degrees;
    } cases[] = {{"auto", CMarkerOrient::Kind::Auto, 0},
                 {" auto-start-reverse ", CMarkerOrient::Kind::AutoStartReverse, 0},
                 {"45", CMarkerOrient::Kind::Fixed, 45},
                 {"90deg", CMarkerOrient::Kind::Fixed, 90},
                 {"0.5turn", CMarkerOrient::Kind::Fixed, 180},
                 {"100grad", CMarkerOrient::Kind::Fixed, 90},
                 {"3.141592653589793rad", CMarkerOrient::Kind::Fixed, 180},
                 {"sideways", CMarkerOrient::Kind::Fixed, 0},
                 {"45parsecs", CMarkerOrient::Kind::Fixed, 0}};
    for (const auto& c : cases)
    {
        const CMarkerOrient orient = ReadMarkerOrient(c.text);
        EXPECT_EQ(orient.kind, c.kind) << c.text;
        EXPECT_NEAR(orient.angle * 180 / M_PI, c.degrees, 1e-9) << c.text;
    }
    // Reversed only at the start.
    CMarkerVertex v;
    v.hasOut = true;
    CMarkerOrient reverse;
    reverse.kind = CMarkerOrient::Kind::AutoStartReverse;
    EXPECT_NEAR(MarkerAngle(reverse, v, true), M_PI, 1e-12);
    EXPECT_NEAR(MarkerAngle(reverse, v, false), 0.0, 1e-12);
}

TEST(MarkerMatrixTest, ViewBoxReferenceScaleAndTurn)
{
    CMarkerVertex v;
    v.x = 50;
    v.y = 20;
    CMarkerBox box;
    box.viewBox = "0 0 10 10";
    box.width = 4;
    box.height = 4;
    box.refX = 10;
    box.refY = 5;
    // The reference point lands on the vertex whatever the scale and turn.
    for (const double angle : {0.0, 1.0, -2.5})
        for (const double width : {1.0, 3.0})
        {
            double x = 10, y = 5;
            ApplyMatrix(MarkerMatrix(box, v, angle, width), x, y);
            EXPECT_NEAR(x, 50, 1e-9);
            EXPECT_NEAR(y, 20, 1e-9);
        }
    // Stroke width 3, no turn: 0.4 a unit times 3.
    double x = 0, y = 0;
    ApplyMatrix(MarkerMatrix(box, v, 0.0, 3.0), x, y);
    EXPECT_NEAR(x, 50 - 12, 1e-9);
    EXPECT_NEAR(y, 20 - 6, 1e-9);
    // User space units ignore the stroke width.
    box.userSpaceUnits = true;
    x = y = 0;
    ApplyMatrix(MarkerMatrix(box, v, 0.0, 3.0), x, y);
    EXPECT_NEAR(x, 50 - 4, 1e-9);
    EXPECT_NEAR(y, 20 - 2, 1e-9);
}

TEST(ExactDashArrayTest, LengthsInUserUnits)
{
    CLengthContext context;
    context.fontSize = 10;
    context.viewportWidth = 100;
    context.viewportHeight = 100;
    const struct
    {
        const char* text;
        const char* pattern;
    } cases[] = {{"5,3", "5 3"},
                 {" 5 , 3 ", "5 3"},
                 {"5px 3px", "5 3"},
                 {"1in,0.5in", "96 48"},
                 {"1em 2ex", "10 10"},
                 {"10%", "10 10"},
                 {"4", "4 4"},
                 {"1 2 3", "1 2 3 1 2 3"},
                 {"1e1 5", "10 5"},
                 {"none", ""},
                 {"0 0", ""},
                 {"5 -1", ""},
                 {"5 apples", ""},
                 {"5,,3", ""},
                 {"5,", ""},
                 {"", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(ExactDashArray(c.text, context), c.pattern) << c.text;
}

// ---- elliptical arcs under a matrix ----------------------------------------------------------

struct ArcImageCase
{
    const char* name;
    const char* transform;
};
class EllipseArcImageTest : public ::testing::TestWithParam<ArcImageCase>
{
};

// Every point of the written form, after the y flip back, is the matrix's image of the arc's point.
TEST_P(EllipseArcImageTest, WrittenFormIsTheTrueImage)
{
    CMatrix m;
    ASSERT_TRUE(ParseTransformList(GetParam().transform, m));
    const double cx = 30, cy = 20, rx = 12, ry = 5, a = -M_PI / 2, b = 0.3;
    CEllipseArcImage image;
    ASSERT_TRUE(EllipseArcImage(m, cx, cy, rx, ry, a, b, image));
    // As the writer takes it: the axis in DXF directions, then the form a CAD program accepts.
    double majorX = image.axisEndX - image.centreX;
    double majorY = image.centreY - image.axisEndY;
    double ratio = image.ratio;
    double start = image.start;
    double end = image.end;
    ASSERT_TRUE(CDxfDocument::NormalizeEllipseArc(majorX, majorY, ratio, start, end));
    EXPECT_GT(ratio, 0.0);
    EXPECT_LE(ratio, 1.0);
    EXPECT_NEAR(end - start, b - a, 1e-12);
    for (int k = 0; k <= 8; ++k)
    {
        // The DXF form runs anticlockwise from start to end; the arc from a to b may run the other way
        // on the page. Both must cover the same points.
        const double s = start + (end - start) * k / 8;
        const double dxfX = image.centreX + majorX * std::cos(s) - ratio * majorY * std::sin(s);
        const double dxfY = -image.centreY + majorY * std::cos(s) + ratio * majorX * std::sin(s);
        double best = 1e9;
        for (int j = 0; j <= 800; ++j)
        {
            const double t = a + (b - a) * j / 800;
            double x = cx + rx * std::cos(t), y = cy + ry * std::sin(t);
            ApplyMatrix(m, x, y);
            best = std::min(best, std::hypot(x - dxfX, -y - dxfY));
        }
        EXPECT_LT(best, 0.01) << "sample " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Matrices, EllipseArcImageTest,
                         ::testing::Values(ArcImageCase{"Identity", ""},
                                           ArcImageCase{"Rotation", "rotate(35 10 10)"},
                                           ArcImageCase{"NonUniformScale", "scale(0.5 3)"},
                                           ArcImageCase{"Skew", "skewX(40)"},
                                           ArcImageCase{"Mirror", "scale(-1 1)"},
                                           ArcImageCase{"MirrorAndSkew", "matrix(-1 0.3 0.8 1.2 5 5)"}),
                         [](const auto& testInfo) { return CaseName(testInfo.param.name); });

TEST(SpellOutPathDataTest, AsTheGrammarReadsIt)
{
    const struct
    {
        const char* d;
        const char* spelled; // nullptr: handed over as it is
    } cases[] = {{"M0 0 L10 10", nullptr},
                 {"m1 2 3 4", nullptr},
                 {"M10,10L20-5 h-.5", nullptr},
                 {"M0 0 A5 5 0 1 1 10 0", "M 0 0 A 5 5 0 1 1 10 0"},
                 {"M0 0a5 5 0 1110 0", "M 0 0 a 5 5 0 1 1 10 0"},
                 {"M0 0a5,5,0,0,1,10,0z", "M 0 0 a 5 5 0 0 1 10 0 z"},
                 {"M0 0 a5 5 0 0010 0 5 5 0 0110 0 L3 3", "M 0 0 a 5 5 0 0 0 10 0 a 5 5 0 0 1 10 0 L 3 3"},
                 // A second decimal point starts a number; signs and exponents may be upper case or
                 // signed, and are written as the path reader takes them, the digits kept.
                 {"M1.5.5 2.5.5", "M 1.5 .5 L 2.5 .5"},
                 {"M1E2 0L1e+2 +5", "M 1e2 0 L 1e2 5"},
                 // Line breaks and runs of blanks, around a closepath above all, are the grammar's
                 // but not the reader's.
                 {"M0 0 L10 0 L10 10 \nz\nM 20 0", "M 0 0 L 10 0 L 10 10 z M 20 0"},
                 {"M0 0  L5 5", "M 0 0 L 5 5"},
                 // The data ends at its first error: a flag that is no 0 or 1, a missing number,
                 // numbers after a closepath, data that does not start with a moveto.
                 {"M0 0 L1 1 A5 5 0 2 1 10 0 L3 3", "M 0 0 L 1 1"},
                 {"M0 0 A5 5 0 1 1", "M 0 0"},
                 {"M0 0 L5", "M 0 0"},
                 {"M0 0 L5 5 z 3 3", "M 0 0 L 5 5 z"},
                 {"L 5 5", ""}};
    for (const auto& c : cases)
    {
        std::string spelled;
        EXPECT_EQ(SpellOutPathData(c.d, spelled), c.spelled != nullptr) << c.d;
        EXPECT_EQ(spelled, c.spelled != nullptr ? c.spelled : "") << c.d;
    }
}

} // namespace
