// The exact reading's whole outputs: tests/data/exact/<case>.svg beside <case>.dxf, one rule per
// drawing, named in an XML comment at its top. Each output is pinned byte for byte (UPDATE_GOLDEN=1
// rewrites the expected files: review the diff), and the entities that carry the rule are checked
// one by one, so that a failure says which rule broke rather than which line moved.
#include "support/dxf_check.h"
#include "support/test_support.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace testing_support;

namespace
{

using Entity = std::vector<Group>;

std::filesystem::path ExactDir()
{
    return DataDir() / "exact";
}

std::vector<std::string> ExactCases()
{
    std::vector<std::string> cases;
    for (const auto& entry : std::filesystem::directory_iterator(ExactDir()))
        if (entry.path().extension() == ".svg")
            cases.push_back(entry.path().stem().string());
    std::sort(cases.begin(), cases.end());
    return cases;
}

std::vector<Entity> ExactEntities(const std::string& name, bool fill = true)
{
    return Entities(ConvertSvgFile(ExactDir() / (name + ".svg"), fill, true));
}

std::string Type(const Entity& entity)
{
    return entity.empty() ? std::string() : entity.front().value;
}

double Real(const Entity& entity, int code, std::size_t index = 0)
{
    const std::vector<double> values = GroupReals(entity, code);
    return index < values.size() ? values[index] : std::nan("");
}

std::string Types(const std::vector<Entity>& entities)
{
    std::string out;
    for (const Entity& entity : entities)
        out += (out.empty() ? "" : " ") + Type(entity);
    return out;
}

class ExactGoldenTest : public ::testing::TestWithParam<std::string>
{
};

TEST_P(ExactGoldenTest, OutputMatches)
{
    const auto svg = ExactDir() / (GetParam() + ".svg");
    const auto expectedPath = ExactDir() / (GetParam() + ".dxf");
    const std::string actual = ConvertSvgFile(svg, true, true);
    ASSERT_FALSE(actual.empty()) << "conversion failed for " << svg;
    if (std::getenv("UPDATE_GOLDEN"))
    {
        WriteFile(expectedPath, actual);
        GTEST_SKIP() << "updated " << expectedPath;
    }
    ASSERT_TRUE(std::filesystem::exists(expectedPath)) << "no expected output " << expectedPath;
    EXPECT_EQ(FirstDifference(ReadFile(expectedPath), actual), "") << svg;
    EXPECT_EQ(CheckDxfStructure(actual), "") << svg;
}

TEST_P(ExactGoldenTest, NamesItsRuleAtTheTop)
{
    const std::string svg = ReadFile(ExactDir() / (GetParam() + ".svg"));
    EXPECT_EQ(svg.rfind("<!--", 0), 0u) << "the first line names the rule the drawing pins";
}

INSTANTIATE_TEST_SUITE_P(Drawings, ExactGoldenTest, ::testing::ValuesIn(ExactCases()),
                         [](const auto& testInfo)
                         {
                             std::string name = testInfo.param;
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                             return name;
                         });

TEST(ExactDrawingTest, TransformListPlacesEveryShape)
{
    const auto entities = ExactEntities("transform-list");
    ASSERT_EQ(Types(entities), "HATCH HATCH HATCH HATCH");
    // The corner (-30, -15) turned by 30 degrees and moved to (50, 60), then flipped in 120.
    const double x = 50 - 30 * std::cos(M_PI / 6) + 15 * std::sin(M_PI / 6);
    const double y = 120 - (60 - 30 * std::sin(M_PI / 6) - 15 * std::cos(M_PI / 6));
    EXPECT_NEAR(Real(entities[0], 10, 1), x, 1e-6);
    EXPECT_NEAR(Real(entities[0], 20, 1), y, 1e-6);
    // skewX(20) after translate(-20 0): (120, 80) goes to (100 + 80 tan 20, 80).
    EXPECT_NEAR(Real(entities[2], 10, 1), 100 + 80 * std::tan(20 * M_PI / 180), 1e-6);
    // The scale after the matrix in the same list applies: (40, 30) goes to (60, 45).
    EXPECT_NEAR(Real(entities[3], 11, 1), 60.0, 1e-6);
    EXPECT_NEAR(Real(entities[3], 21, 1), 120 - 45.0, 1e-6);
}

TEST(ExactDrawingTest, DeepNestingHasNoDepthLimit)
{
    const auto entities = ExactEntities("deep-nesting");
    ASSERT_EQ(Types(entities), "HATCH HATCH");
    // Sixty groups of translate(1,1): the corner (10, 10) at (70, 70), flipped in 100.
    EXPECT_NEAR(Real(entities[0], 10, 1), 70.0, 1e-9);
    EXPECT_NEAR(Real(entities[0], 20, 1), 30.0, 1e-9);
    // The rectangle after the groups is where it stands.
    EXPECT_NEAR(Real(entities[1], 10, 1), 120.0, 1e-9);
}

TEST(ExactDrawingTest, PointListsFillAndStroke)
{
    const auto entities = ExactEntities("polyline-fill");
    // The polygon filled, the polyline filled and stroked (open), the unstroked line not drawn, the
    // stroked one a LINE.
    ASSERT_EQ(Types(entities), "HATCH HATCH LWPOLYLINE LINE");
    EXPECT_EQ(GroupValue(entities[0], 93), "3");
    EXPECT_EQ(GroupValue(entities[2], 90), "3");
    EXPECT_EQ(GroupValue(entities[2], 70), "0");
    EXPECT_NEAR(Real(entities[2], 40), 0.5, 1e-9);
    EXPECT_EQ(GroupValue(entities[3], 62), "1");
}

TEST(ExactDrawingTest, SmoothCurvesAfterOtherStepsFollowTheGrammar)
{
    const auto entities = ExactEntities("path-grammar");
    ASSERT_EQ(Types(entities), "LWPOLYLINE LWPOLYLINE LWPOLYLINE LWPOLYLINE");
    // The T after a line is drawn, as a straight line to (80, 30).
    const std::vector<double> xs = GroupReals(entities[0], 10);
    ASSERT_GE(xs.size(), 3u);
    EXPECT_NEAR(xs.back(), 80.0, 1e-9);
    for (const double y : GroupReals(entities[0], 20))
        EXPECT_NEAR(y, 70.0, 1e-5); // quadratic samples are single precision
    // The S after a line has the current point as its first control point: the cubic (40, 80),
    // (40, 80), (60, 60), (80, 80) rises 60 (1 - t) t^2, at most 80 / 9 at t = 2/3 (mirroring
    // nothing and starting towards (60, 60) would rise 15).
    double highest = 0.0;
    for (const double y : GroupReals(entities[1], 20))
        highest = std::max(highest, y);
    EXPECT_NEAR(highest, 100 - 80 + 80.0 / 9, 0.2);
    // A radius of 5 for a chord of 90 is scaled to 45: a half circle reaching y 5 (95 flipped).
    highest = 0.0;
    for (const double y : GroupReals(entities[2], 20))
        highest = std::max(highest, y);
    EXPECT_NEAR(highest, 95.0, 0.5);
    // "0150 0" is the flags 0 and 1 and the end (50, 0): a half circle from (110, 90) to (160, 90)
    // over the top, reaching y 65 (35 flipped).
    const std::vector<double> xs3 = GroupReals(entities[3], 10);
    ASSERT_FALSE(xs3.empty());
    EXPECT_NEAR(xs3.back(), 160.0, 1e-9);
    highest = 0.0;
    for (const double y : GroupReals(entities[3], 20))
        highest = std::max(highest, y);
    EXPECT_NEAR(highest, 35.0, 0.5);
}

// The renderer of the visual check takes a negative radius by its size, so this drawing is checked
// here only.
TEST(ExactDrawingTest, NegativeArcRadiusEndsThePath)
{
    const auto entities = ExactEntities("arc-negative-radius");
    ASSERT_EQ(Types(entities), "LWPOLYLINE HATCH");
    // The line before the arc is drawn, the arc and the line after it not.
    EXPECT_EQ(GroupReals(entities[0], 10), (std::vector<double>{60.0 - 50, 60.0}));
    EXPECT_EQ(GroupReals(entities[0], 20), (std::vector<double>{80.0, 80.0}));
    // The fill keeps its first subpath, the square, and nothing of the second.
    const std::vector<double> xs = GroupReals(entities[1], 10);
    ASSERT_FALSE(xs.empty());
    EXPECT_LE(*std::max_element(xs.begin(), xs.end()), 60.0);
}

TEST(ExactDrawingTest, CirclesUnderTransformsKeepTheirTrueAxes)
{
    const auto entities = ExactEntities("transform-ellipse");
    ASSERT_EQ(Types(entities), "ELLIPSE HATCH CIRCLE HATCH");
    // rotate(45) scale(2,1) of r 15: a major axis of 30 at 45 degrees, flipped, ratio 0.5.
    EXPECT_NEAR(Real(entities[0], 10), 40.0, 1e-9);
    EXPECT_NEAR(Real(entities[0], 20), 50.0, 1e-9);
    EXPECT_NEAR(std::fabs(Real(entities[0], 11)), 30 / std::sqrt(2.0), 1e-6);
    EXPECT_NEAR(Real(entities[0], 11) * Real(entities[0], 21), -450.0, 1e-6);
    EXPECT_NEAR(Real(entities[0], 40), 0.5, 1e-9);
    // The turned ellipse's hatch edge: ratio 10/25, major axis turned by 60 degrees (flipped).
    EXPECT_NEAR(Real(entities[1], 40), 0.4, 1e-9);
    EXPECT_NEAR(std::atan2(-Real(entities[1], 21), Real(entities[1], 11)), M_PI / 3, 1e-6);
    // A circle under a rotation stays a circle of its radius, its centre where the rotation keeps it.
    EXPECT_NEAR(Real(entities[2], 40), 20.0, 1e-9);
    EXPECT_NEAR(Real(entities[2], 10), 160.0, 1e-9);
    // A skewed circle is an ellipse whose axes are neither of the circle's.
    EXPECT_GT(Real(entities[3], 40), 0.0);
    EXPECT_LT(Real(entities[3], 40), 1.0);
}

TEST(ExactDrawingTest, TextTakesAngleAndHeightFromTheMatrix)
{
    const auto entities = ExactEntities("transform-text");
    ASSERT_EQ(Types(entities), "TEXT TEXT");
    EXPECT_NEAR(Real(entities[0], 40), 0.8 * 20 * 1.5, 1e-9);
    EXPECT_NEAR(Real(entities[0], 50), 30.0, 1e-9); // rotate(-30) turns up on screen: +30 in DXF
    EXPECT_NEAR(Real(entities[0], 10), 20.0, 1e-9);
    EXPECT_NEAR(Real(entities[0], 20), 20.0, 1e-9);
    EXPECT_NEAR(Real(entities[1], 50), -15.0, 1e-9);
    EXPECT_NEAR(Real(entities[1], 40), 9.6, 1e-9);
}

TEST(ExactDrawingTest, HiddenAndTemplateElementsDrawNothing)
{
    const auto entities = ExactEntities("visibility");
    // Only the visible child of the hidden group and the switch's first child whose conditions hold.
    ASSERT_EQ(Types(entities), "HATCH HATCH");
    EXPECT_EQ(GroupValue(entities[0], 62), "5");
    EXPECT_NEAR(Real(entities[0], 10, 1), 10.0, 1e-9);
    EXPECT_NEAR(Real(entities[1], 10, 1), 110.0, 1e-9);
    EXPECT_NEAR(Real(entities[1], 20, 1), 50.0, 1e-9);
}

TEST(ExactDrawingTest, StylesFollowTheTree)
{
    const auto entities = ExactEntities("inheritance");
    // Fills and strokes: the group's blue and black; the rect's own red over the green its group's
    // style hands down; blue again through inherit over the rect's own red; the initial black after
    // the group ends; then currentColor twice; the fill-opacity 0 rect is only stroked, the
    // stroke-opacity 0 one only filled.
    std::vector<std::string> colours;
    for (const Entity& entity : entities)
        colours.push_back(Type(entity) + ":" + GroupValue(entity, 62));
    const std::vector<std::string> expected = {"HATCH:5",        "LWPOLYLINE:0", "HATCH:1", "LWPOLYLINE:0",
                                               "HATCH:5",        "LWPOLYLINE:0", "HATCH:0", "HATCH:212",
                                               "LWPOLYLINE:212", "HATCH:92"};
    EXPECT_EQ(colours, expected);
}

TEST(ExactDrawingTest, PaintsInEveryForm)
{
    const auto entities = ExactEntities("paint");
    std::vector<std::string> colours;
    for (const Entity& entity : entities)
        colours.push_back(Type(entity) + ":" + GroupValue(entity, 62));
    // First stops (orange, also through the linked gradient), the fallback, nothing for
    // transparent, half-transparent red drawn, hsl green, hsla blue, a keyword, fill and stroke,
    // and a stroke alone.
    ASSERT_EQ(colours.size(), 10u) << Types(entities);
    EXPECT_EQ(colours[0], colours[1]);
    EXPECT_EQ(colours[0], "HATCH:30");
    EXPECT_EQ(colours[3], "HATCH:1");
    EXPECT_EQ(colours[5], "HATCH:5");
    EXPECT_EQ(Type(entities[7]), "HATCH");
    EXPECT_EQ(Type(entities[8]), "LWPOLYLINE");
    EXPECT_EQ(Type(entities[9]), "CIRCLE");
}

TEST(ExactDrawingTest, LengthsWithUnits)
{
    const auto entities = ExactEntities("lengths");
    ASSERT_EQ(Types(entities), "HATCH HATCH HATCH HATCH CIRCLE LWPOLYLINE");
    const double mm = 96 / 25.4;
    EXPECT_NEAR(Real(entities[0], 10, 1), 2 * mm, 1e-9);
    EXPECT_NEAR(Real(entities[0], 11, 1), 2 * mm + 10 * mm, 1e-9);
    EXPECT_NEAR(Real(entities[1], 10, 1), 80.0, 1e-9);  // 60pt
    EXPECT_NEAR(Real(entities[2], 10, 1), 120.0, 1e-9); // 12em at 10
    EXPECT_NEAR(Real(entities[3], 10, 1), 10.0, 1e-9);  // 5% of 200
    EXPECT_NEAR(Real(entities[4], 10), 170.0, 1e-9);
    const double diagonal = std::sqrt((200.0 * 200 + 100.0 * 100) / 2);
    EXPECT_NEAR(Real(entities[4], 40), 0.1 * diagonal, 1e-9);
    EXPECT_NEAR(Real(entities[5], 40), 0.01 * diagonal, 1e-9); // a stroke width of 1%
}

TEST(ExactDrawingTest, NestedViewportsScaleTheirContent)
{
    const auto entities = ExactEntities("nested-svg");
    ASSERT_EQ(Types(entities), "HATCH HATCH HATCH");
    // viewBox 0 0 10 10 into 80 x 80 at (10, 10): (1, 1) lands on (18, 18).
    EXPECT_NEAR(Real(entities[0], 10, 1), 18.0, 1e-9);
    EXPECT_NEAR(Real(entities[0], 20, 1), 100 - 18.0, 1e-9);
    // preserveAspectRatio none stretches the circle into an ellipse of 36 by 16.
    EXPECT_NEAR(Real(entities[1], 40), 16.0 / 36.0, 1e-9);
    // xMinYMid meet: scale 4, flush left at x 100.
    EXPECT_NEAR(Real(entities[2], 10, 1), 100.0, 1e-9);
}

TEST(ExactDrawingTest, UseDrawsAnyElementOnceAndNeverItself)
{
    const auto entities = ExactEntities("use");
    ASSERT_EQ(Types(entities), "HATCH HATCH HATCH HATCH HATCH");
    EXPECT_EQ(GroupValue(entities[0], 62), "1");
    EXPECT_NEAR(Real(entities[0], 10, 1), 10.0, 1e-9);
    // The symbol's 10 x 10 viewBox into 40 x 40 at (10, 50): its top point (5, 0) at (30, 50).
    EXPECT_NEAR(Real(entities[3], 10, 1), 30.0, 1e-9);
    EXPECT_NEAR(Real(entities[3], 20, 1), 50.0, 1e-9);
    // The group that uses itself draws its rectangle once.
    EXPECT_EQ(GroupValue(entities[4], 8), "loop");
}

TEST(ExactDrawingTest, TextRunsAndContent)
{
    const auto entities = ExactEntities("text");
    ASSERT_EQ(Types(entities), "TEXT TEXT TEXT TEXT TEXT");
    EXPECT_EQ(GroupValue(entities[0], 1), "Plain & simple \\U+263A");
    EXPECT_NEAR(Real(entities[0], 20), 100 - 32.0, 1e-9); // y 30 and dy 2
    EXPECT_NEAR(Real(entities[0], 40), 0.8 * 16, 1e-9);   // the initial font size
    EXPECT_EQ(GroupValue(entities[1], 1), "Big");
    EXPECT_NEAR(Real(entities[1], 40), 16.0, 1e-9);
    EXPECT_EQ(GroupValue(entities[2], 1), "small run");
    EXPECT_NEAR(Real(entities[2], 40), 8.0, 1e-9);
    EXPECT_EQ(GroupValue(entities[2], 62), "1");
    EXPECT_EQ(GroupValue(entities[1], 7), "Style-DejaVu Sans");
    // text-anchor end and middle as the right and centre justification about the anchor point.
    EXPECT_EQ(GroupValue(entities[0], 72), "0");
    EXPECT_EQ(GroupValue(entities[3], 72), "2");
    EXPECT_NEAR(Real(entities[3], 11), 190.0, 1e-9);
    EXPECT_EQ(GroupValue(entities[4], 72), "1");
}

TEST(ExactDrawingTest, WithoutFillEntitiesShapesAreOutlinedInTheirFillColour)
{
    const auto entities = ExactEntities("visibility", false);
    ASSERT_EQ(Types(entities), "LWPOLYLINE LWPOLYLINE");
    EXPECT_EQ(GroupValue(entities[0], 62), "5");
}

TEST(ExactDrawingTest, DefaultReadingIsUntouchedByTheOption)
{
    // The same drawing read both ways: the default output is what it was without the option.
    const std::string svg = ReadFile(ExactDir() / "transform-list.svg");
    EXPECT_EQ(ConvertSvgText(svg, true, false), ConvertSvgText(svg, true, false));
    EXPECT_NE(ConvertSvgText(svg, true, false), ConvertSvgText(svg, true, true));
}

} // namespace

TEST(ExactDrawingTest, StyleSheetsCascade)
{
    const auto entities = ExactEntities("style-sheet");
    // One hatch a rect, in document order: the type rule's green, the class's red, the id's blue
    // over the class, the child selector's purple, the descendant's yellow, the attribute's
    // orange, the later of two equal rules (white), !important over the style attribute (cyan),
    // and the style attribute over the class (blue).
    std::vector<std::string> colours;
    for (const Entity& entity : entities)
        colours.push_back(Type(entity) + ":" + GroupValue(entity, 62));
    const std::vector<std::string> expected = {"HATCH:92", "HATCH:1",  "HATCH:5", "HATCH:212", "HATCH:2",
                                               "HATCH:30", "HATCH:255", "HATCH:4", "HATCH:5"};
    EXPECT_EQ(colours, expected);
}

TEST(ExactDrawingTest, MarkersStandOnTheirVerticesAndTurnAlongThePath)
{
    const auto entities = ExactEntities("markers");
    ASSERT_EQ(Types(entities), "LWPOLYLINE HATCH HATCH HATCH LWPOLYLINE LWPOLYLINE LWPOLYLINE HATCH");
    // The arrow's viewBox of 10 into 4 at stroke width 2: 0.8 a unit, its tip (10, 5) on the vertex,
    // so its corner (0, 0) lies (-8, -4) from the tip before the turn.
    const double diagonal = std::sqrt(0.5);
    const struct
    {
        std::size_t entity;
        double x, y;
        const char* why;
    } corners[] = {
        {1, 20 + 8.0, 120 - (20 + 4.0), "auto-start-reverse leaving along +x: turned half round"},
        {2, 100 - 3.0, 120 - (20 - 3.0), "user units, no turn: the reference (3, 3) on (100, 20)"},
        {3, 100 + 4.0, 120 - (60 - 8.0), "arriving along +y: turned a quarter"},
        {7, 100 - 4 * diagonal, 120 - (100 - 12 * diagonal), "a cubic arriving at 45 degrees"},
    };
    for (const auto& c : corners)
    {
        EXPECT_NEAR(Real(entities[c.entity], 10, 1), c.x, 1e-6) << c.why;
        EXPECT_NEAR(Real(entities[c.entity], 20, 1), c.y, 1e-6) << c.why;
    }
    // orient="90" turns the tick a quarter whatever the path does; it keeps its own stroke width.
    EXPECT_NEAR(Real(entities[5], 10, 0), 150.0, 1e-9);
    EXPECT_NEAR(Real(entities[5], 20, 0), 60.0, 1e-9);
    EXPECT_NEAR(Real(entities[5], 10, 1), 150.0, 1e-9);
    EXPECT_NEAR(Real(entities[5], 20, 1), 52.0, 1e-9);
    EXPECT_NEAR(Real(entities[5], 40), 2.0, 1e-9);
}

TEST(ExactDrawingTest, RoundedCornersAreEllipticalEdges)
{
    const auto entities = ExactEntities("rounded-rect");
    ASSERT_EQ(Types(entities), "HATCH HATCH");
    // Sides and corners alternate: line edges (1) and elliptical ones (3). The turned rectangle's
    // corners stay circular; the skewed one's radius of half its width leaves no top or bottom
    // side, and its corners are ellipses of one ratio, neither of the radii's.
    EXPECT_EQ(GroupValue(entities[0], 93), "8");
    EXPECT_EQ(GroupReals(entities[0], 72), (std::vector<double>{3, 1, 3, 1, 3, 1, 3, 1}));
    for (const double ratio : GroupReals(entities[0], 40))
        EXPECT_NEAR(ratio, 1.0, 1e-12);
    EXPECT_EQ(GroupValue(entities[1], 93), "6");
    const std::vector<double> ratios = GroupReals(entities[1], 40);
    ASSERT_EQ(ratios.size(), 4u);
    for (const double ratio : ratios)
    {
        EXPECT_NEAR(ratio, ratios[0], 1e-12);
        EXPECT_GT(ratio, 0.0);
        EXPECT_LT(ratio, 8.0 / 30.0);
    }
}

// The pattern of the line type named name, from the LTYPE table: its dash (+) and gap (-) lengths.
std::vector<double> LineTypePattern(const std::string& dxf, const std::string& name)
{
    const std::vector<Group> groups = ParseGroups(dxf);
    for (std::size_t i = 0; i + 1 < groups.size(); ++i)
    {
        if (groups[i].code != 0 || groups[i].value != "LTYPE")
            continue;
        std::vector<double> pattern;
        bool named = false;
        for (std::size_t k = i + 1; k < groups.size() && groups[k].code != 0; ++k)
        {
            named = named || (groups[k].code == 2 && groups[k].value == name);
            if (groups[k].code == 49)
                pattern.push_back(std::stod(groups[k].value));
        }
        if (named)
            return pattern;
    }
    return {};
}

TEST(ExactDrawingTest, DashArraysAreListsOfLengths)
{
    const std::string dxf = ConvertSvgFile(ExactDir() / "dash-units.svg", true, true);
    const auto entities = Entities(dxf);
    ASSERT_EQ(Types(entities), "LWPOLYLINE LWPOLYLINE LWPOLYLINE LWPOLYLINE LWPOLYLINE LWPOLYLINE LWPOLYLINE "
                               "LWPOLYLINE LWPOLYLINE");
    const double mm = 96 / 25.4;
    // 5 % of the viewport's diagonal over the square root of 2: of 200 by 100, 158.11...
    const double percent = std::sqrt((200.0 * 200 + 100.0 * 100) / 2) / 100;
    // In a nested viewport of 20 by 1, a percent is of its own diagonal.
    const double nestedPercent = std::sqrt((20.0 * 20 + 1.0 * 1) / 2) / 100;
    const std::vector<std::vector<double>> expected = {
        {5, -3}, {2 * mm, -1 * mm}, {5 * percent, -2.5 * percent}, {4, -4}, {6, -2}, {8, -4}, {},
        {10, -10}, {10 * nestedPercent, -10 * nestedPercent}};
    for (std::size_t i = 0; i < expected.size(); ++i)
    {
        const std::string name = GroupValue(entities[i], 6);
        if (expected[i].empty())
        {
            EXPECT_EQ(name, "BYLAYER") << "path " << i << ": a negative length leaves the stroke solid";
            continue;
        }
        const std::vector<double> pattern = LineTypePattern(dxf, name);
        ASSERT_EQ(pattern.size(), expected[i].size()) << "path " << i << " (" << name << ")";
        for (std::size_t k = 0; k < pattern.size(); ++k)
            EXPECT_NEAR(pattern[k], expected[i][k], 1e-9) << "path " << i << " element " << k;
    }
}

TEST(ExactDrawingTest, FilledSubpathsAreLoopsOfTheirOwn)
{
    const auto entities = ExactEntities("fill-subpaths");
    ASSERT_EQ(Types(entities), "HATCH HATCH HATCH");
    // Each hatch: two loops of four edges, each loop's first corner where its own subpath starts
    // (a lone moveto before or between them joins neither).
    const struct
    {
        double firstX, firstY, secondX, secondY;
        const char* why;
    } hatches[] = {
        {20, 90, 70, 90, "a moveto alone before the first subpath"},
        {140, 90, 145, 85, "relative movetos after a closepath"},
        {10, 40, 90, 40, "a moveto alone between two subpaths"},
    };
    for (std::size_t i = 0; i < 3; ++i)
    {
        const auto& h = hatches[i];
        EXPECT_EQ(GroupValue(entities[i], 91), "2") << h.why;
        EXPECT_EQ(GroupReals(entities[i], 93), (std::vector<double>{4, 4})) << h.why;
        // Edge starts follow the elevation point: loop one's first edge, then its others.
        const std::vector<double> xs = GroupReals(entities[i], 10);
        const std::vector<double> ys = GroupReals(entities[i], 20);
        ASSERT_GE(xs.size(), 9u) << h.why;
        ASSERT_GE(ys.size(), 9u) << h.why;
        EXPECT_NEAR(xs[1], h.firstX, 1e-9) << h.why;
        EXPECT_NEAR(ys[1], h.firstY, 1e-9) << h.why;
        EXPECT_NEAR(xs[5], h.secondX, 1e-9) << h.why;
        EXPECT_NEAR(ys[5], h.secondY, 1e-9) << h.why;
    }
}

TEST(ExactDrawingTest, StrokeWidthsAreVertexWidths)
{
    const auto entities = ExactEntities("stroke-width");
    // The filled line draws nothing; the stroked one once; the filled and stroked box both ways.
    ASSERT_EQ(Types(entities), "LWPOLYLINE LWPOLYLINE LWPOLYLINE HATCH LWPOLYLINE");
    const struct
    {
        std::size_t entity;
        double width;
        const char* why;
    } widths[] = {
        {0, 1.0, "the initial stroke width"},
        {1, 6.0, "3 under scale(2)"},
        {2, 0.5 * 96 / 25.4, "0.5mm"},
        {4, 2.0, "the outline of a filled box"},
    };
    for (const auto& w : widths)
    {
        const std::vector<double> starts = GroupReals(entities[w.entity], 40);
        const std::vector<double> ends = GroupReals(entities[w.entity], 41);
        ASSERT_FALSE(starts.empty()) << w.why;
        for (std::size_t i = 0; i < starts.size() && i < ends.size(); ++i)
        {
            EXPECT_NEAR(starts[i], w.width, 1e-9) << w.why;
            EXPECT_NEAR(ends[i], w.width, 1e-9) << w.why;
        }
    }
}

TEST(ExactDrawingTest, MarkerContentsDrawNoMarkers)
{
    // Each marker's path names markers again, itself and the other: only the path's own two
    // markers are drawn, or they would multiply at every level.
    const std::string svg = R"svg(<svg width="100" height="100">
      <marker id="a" markerUnits="userSpaceOnUse"><path d="M0 0 L2 0" stroke="#ff0000" marker-end="url(#b)" marker-start="url(#a)"/></marker>
      <marker id="b" markerUnits="userSpaceOnUse"><path d="M0 0 L2 0" stroke="#0000ff" marker-end="url(#a)"/></marker>
      <path d="M10 10 L50 10" stroke="#000000" marker-start="url(#a)" marker-end="url(#b)"/></svg>)svg";
    const auto entities = Entities(ConvertSvgText(svg, true, true));
    ASSERT_EQ(Types(entities), "LWPOLYLINE LWPOLYLINE LWPOLYLINE");
    EXPECT_EQ(GroupValue(entities[1], 62), "1");
    EXPECT_EQ(GroupValue(entities[2], 62), "5");
}

TEST(ExactDrawingTest, ShapesByTheirPointsDrawAsThePathThroughThem)
{
    // Rectangles and points lists are written from their numbers, not from generated path data:
    // each must give the entities of the path through the same points, filled or not.
    const struct
    {
        const char* name;
        const char* shapes;
        const char* paths;
    } cases[] = {
        {"FilledAndStrokedPolygon", R"svg(<polygon points="10,10 50,10 30,40" fill="#f00" stroke="#00f"/>)svg",
         R"svg(<path d="M10,10 L50,10 L30,40 Z" fill="#f00" stroke="#00f"/>)svg"},
        {"OpenWideTurnedPolyline",
         R"svg(<polyline points="10 10, 50 10 30 40" fill="none" stroke="#0f0" stroke-width="3" transform="rotate(30 20 20)"/>)svg",
         R"svg(<path d="M10,10 L50,10 L30,40" fill="none" stroke="#0f0" stroke-width="3" transform="rotate(30 20 20)"/>)svg"},
        {"OddNumberLeftOver", R"svg(<polyline points="10,10 50,10 30,40 7" stroke="#000"/>)svg",
         R"svg(<path d="M10,10 L50,10 L30,40" stroke="#000"/>)svg"},
        {"NoAreaFillsNothing", R"svg(<polygon points="0,0 10,10 20,20" fill="#f00" stroke="#000"/>)svg",
         R"svg(<path d="M0,0 L10,10 L20,20 Z" fill="#f00" stroke="#000"/>)svg"},
        {"LonePointClosesNothingAfterIt",
         R"svg(<polygon points="5,5" stroke="#000"/><path d="M0,0 L10,0 L10,10" fill="none" stroke="#000"/>)svg",
         R"svg(<path d="M0,0 L10,0 L10,10" fill="none" stroke="#000"/>)svg"},
        // Nor does a path's: each is read on its own.
        {"LoneClosedPathClosesNothingAfterIt",
         R"svg(<path d="M5,5 Z" stroke="#000"/><path d="M0,0 L10,0 L10,10" fill="none" stroke="#000"/>)svg",
         R"svg(<path d="M0,0 L10,0 L10,10" fill="none" stroke="#000"/>)svg"},
        {"SkewedDashedRect",
         R"svg(<rect x="10" y="20" width="30" height="15" fill="#ff0" stroke="#f0f" stroke-dasharray="4 2" transform="skewX(20)"/>)svg",
         R"svg(<path d="M10,20 L40,20 L40,35 L10,35 Z" fill="#ff0" stroke="#f0f" stroke-dasharray="4 2" transform="skewX(20)"/>)svg"},
    };
    for (const auto& c : cases)
        for (const bool fill : {true, false})
        {
            const auto wrap = [](const char* body)
            { return std::string(R"svg(<svg width="100" height="100">)svg") + body + "</svg>"; };
            const auto text = [](const std::vector<Entity>& entities)
            {
                std::string out;
                for (const Entity& entity : entities)
                    for (const Group& group : entity)
                        out += std::to_string(group.code) + " " + group.value + "\n";
                return out;
            };
            const std::string expected = text(Entities(ConvertSvgText(wrap(c.paths), fill, true)));
            const std::string actual = text(Entities(ConvertSvgText(wrap(c.shapes), fill, true)));
            EXPECT_FALSE(expected.empty()) << c.name;
            EXPECT_EQ(actual, expected) << c.name << (fill ? " with fills" : " without fills");
        }
}

TEST(ExactDrawingTest, FillRuleChoosesTheHoles)
{
    const auto entities = ExactEntities("fill-rule");
    ASSERT_EQ(Types(entities), "HATCH HATCH HATCH HATCH HATCH HATCH");
    // Same way round under nonzero: no hole; evenodd: a hole; the other way round: a hole under
    // either; inherited evenodd; three nested the same way: one loop; a single loop either way.
    const char* const loops[] = {"1", "2", "2", "2", "1", "1"};
    for (std::size_t i = 0; i < entities.size(); ++i)
        EXPECT_EQ(GroupValue(entities[i], 91), loops[i]) << "hatch " << i;
}

TEST(ExactDrawingTest, TextsOfSpacesAloneDrawNothing)
{
    const struct
    {
        const char* content;
        const char* types;
    } cases[] = {{"&#160;", ""}, {" &#160; ", ""}, {"&#x2003;&#x3000;", ""}, {"a&#160;b", "TEXT"}};
    for (const auto& c : cases)
    {
        const std::string svg = std::string(R"svg(<svg width="100" height="100"><text x="5" y="50">)svg") +
                                c.content + "</text></svg>";
        EXPECT_EQ(Types(Entities(ConvertSvgText(svg, true, true))), c.types) << c.content;
    }
}

TEST(ExactDrawingTest, FontShorthandSetsSizeAndFamily)
{
    // In the style attribute and in a style sheet; a shorthand without a family is no declaration.
    const std::string svg = R"svg(<svg width="200" height="100"><style>.t { font: bold 20px/1.2 Georgia, serif }</style>
      <text x="10" y="30" style="font: italic 12px 'DejaVu Serif'">a</text>
      <text x="10" y="60" class="t">b</text>
      <text x="10" y="90" style="font: 12px">c</text></svg>)svg";
    const auto entities = Entities(ConvertSvgText(svg, true, true));
    ASSERT_EQ(Types(entities), "TEXT TEXT TEXT");
    const double heights[] = {0.8 * 12, 0.8 * 20, 0.8 * 16};
    const char* const styles[] = {"Style-DejaVu Serif", "Style-Georgia", "Standard"};
    for (std::size_t i = 0; i < 3; ++i)
    {
        EXPECT_NEAR(Real(entities[i], 40), heights[i], 1e-9) << "text " << i;
        EXPECT_EQ(GroupValue(entities[i], 7), styles[i]) << "text " << i;
    }
}
