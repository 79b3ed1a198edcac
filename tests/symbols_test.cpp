// Symbol instances: finding the symbol, cutting its points into subpaths and loops, and the outline
// and filled forms of a use element.
#include "support/scratch_drawing.h"
#include "support/test_support.h"
#include "svg/converter.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace testing_support;

namespace
{

constexpr double kHeight = 100.0;
using Entity = std::vector<Group>;

class CScratchDrawing : public ScratchDrawing
{
public:
    CScratchDrawing()
        : ScratchDrawing("symbols",
                         [](CConverter& c)
                         {
                     c.m_docHeight = kHeight;
                     c.m_strokeAci = 3;
                     c.m_fillRgb = 0x00FF00; // green
                     c.AddSymbol("M 0 0 L 10 0 L 10 10 z M 20 20 L 30 20", "twoParts");
                     c.AddSymbol("M 0 0 L 10 0 L 10 10 L 0 10", "openSquare");
                     c.AddSymbol("M 0 0 L 10 0 L 10 10 z", "triangle");
                     c.AddSymbol("M 0 0 L 10 0 L 10 10 z M 20 20 L 30 20 L 30 30 z", "twoClosed");
                         })
    {
    }
};

CPointData Point(double x, double y, int closed = 0, int end = 0)
{
    CPointData p;
    p.x = x;
    p.y = y;
    p.closed = closed;
    p.endOfSubpath = end;
    return p;
}

void ExpectNear(const std::vector<double>& actual, const std::vector<double>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-9) << i;
}

std::vector<double> Xs(const CPointList& points)
{
    std::vector<double> xs;
    for (const CPointData& p : points)
        xs.push_back(p.x);
    return xs;
}

// ---- look-up ------------------------------------------------------------------------------------

struct HrefCase
{
    const char* name;
    const char* href;
    bool found;
};

class HrefTest : public ::testing::TestWithParam<HrefCase>
{
};

TEST_P(HrefTest, FindsTheSymbolOrNothing)
{
    CScratchDrawing drawing;
    drawing.converter.WriteUseOutline("", "0", "0", GetParam().href);
    drawing.converter.WriteUseFilled("", "0", "0", GetParam().href);
    const auto entities = drawing.Finish();
    EXPECT_EQ(entities.size(), GetParam().found ? 2u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Symbols, HrefTest,
                         ::testing::Values(HrefCase{"Hash", "#triangle", true},
                                           HrefCase{"Bare", "triangle", true},
                                           HrefCase{"Blanks", "  #triangle ", true},
                                           HrefCase{"CaseDiffers", "#Triangle", false},
                                           HrefCase{"Unknown", "#circle", false},
                                           HrefCase{"Empty", "", false}, HrefCase{"HashOnly", "#", false}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(Symbols, FindSymbolTakesTheFirstRecord)
{
    CConverter converter;
    converter.AddSymbol("M 1 1 L 2 2", "dup");
    converter.AddSymbol("M 3 3 L 4 4", "dup");
    CSymble symbol;
    ASSERT_EQ(converter.FindSymbol("dup", symbol), 1);
    EXPECT_EQ(symbol.pathData, "M 1 1 L 2 2");
    EXPECT_EQ(converter.FindSymbol("DUP", symbol), 0);
}

// ---- subpaths and loops -------------------------------------------------------------------------

TEST(Symbols, NextSubpathCutsAtEndMarks)
{
    const CPointList points{Point(0, 0), Point(1, 0, 1, 1), Point(5, 0, 0, 1), Point(6, 0), Point(7, 0)};
    std::size_t position = 0;
    CPointList out;
    ASSERT_EQ(CConverter::NextSubpath(points, position, out), 1);
    EXPECT_EQ(Xs(out), (std::vector<double>{0, 1}));
    ASSERT_EQ(CConverter::NextSubpath(points, position, out), 1); // one marked point still counts
    EXPECT_EQ(Xs(out), (std::vector<double>{5}));
    ASSERT_EQ(CConverter::NextSubpath(points, position, out), 1);
    EXPECT_EQ(Xs(out), (std::vector<double>{6, 7}));
    EXPECT_EQ(CConverter::NextSubpath(points, position, out), 0);
    EXPECT_TRUE(out.empty());
}

TEST(Symbols, NextSubpathEndsOnATrailingSinglePoint)
{
    const CPointList points{Point(0, 0), Point(1, 0, 0, 1), Point(9, 9)};
    std::size_t position = 0;
    CPointList out;
    ASSERT_EQ(CConverter::NextSubpath(points, position, out), 1);
    EXPECT_EQ(CConverter::NextSubpath(points, position, out), 0);
}

TEST(Symbols, SplitSubpathsRepeatsTheFirstPointOfClosedLoops)
{
    const CPointList points{Point(0, 0), Point(1, 0),       Point(1, 1, 1, 1),
                            Point(5, 5), Point(6, 5, 0, 1), Point(8, 8)};
    std::vector<CPolylinedata> loops;
    CConverter::SplitSubpaths(points, loops);
    ASSERT_EQ(loops.size(), 3u);
    EXPECT_EQ(Xs(loops[0].points), (std::vector<double>{0, 1, 1, 0}));
    EXPECT_EQ(Xs(loops[1].points), (std::vector<double>{5, 6}));
    EXPECT_EQ(Xs(loops[2].points), (std::vector<double>{8}));
}

// ---- outline form -------------------------------------------------------------------------------

TEST(Symbols, OutlineClosedThenOpenSubpath)
{
    CScratchDrawing drawing;
    drawing.converter.WriteUseOutline("", "5", "7", "#twoParts");
    const auto entities = drawing.Finish();
    ASSERT_EQ(entities.size(), 2u);
    EXPECT_EQ(GroupValue(entities[0], 70), "1");
    ExpectNear(GroupReals(entities[0], 10), {5, 10.5, 10.5, 5});
    ExpectNear(GroupReals(entities[0], 20), {93, 93, 87.5, 93});
    EXPECT_EQ(GroupValue(entities[1], 70), "0");
    ExpectNear(GroupReals(entities[1], 10), {16, 21.5});
    EXPECT_EQ(GroupValue(entities[1], 62), "3");
    EXPECT_EQ(drawing.converter.m_closeSeen, 0);
}

struct ClosingCase
{
    const char* name;
    const char* href;
    std::vector<std::string> flags;
};

class OutlineClosingTest : public ::testing::TestWithParam<ClosingCase>
{
};

// The last subpath carries no mark of its own; a closepath after the last moveto closes it.
TEST_P(OutlineClosingTest, LastSubpathFlag)
{
    CScratchDrawing drawing;
    drawing.converter.WriteUseOutline("", "0", "0", GetParam().href);
    const auto entities = drawing.Finish();
    std::vector<std::string> flags;
    for (const Entity& e : entities)
        flags.push_back(GroupValue(e, 70));
    EXPECT_EQ(flags, GetParam().flags);
    EXPECT_EQ(drawing.converter.m_closeSeen, 0);
}

INSTANTIATE_TEST_SUITE_P(Symbols, OutlineClosingTest,
                         ::testing::Values(ClosingCase{"SingleClosed", "triangle", {"1"}},
                                           ClosingCase{"TwoClosed", "twoClosed", {"1", "1"}},
                                           ClosingCase{"ClosedThenOpen", "twoParts", {"1", "0"}},
                                           ClosingCase{"Open", "openSquare", {"0"}}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(Symbols, OutlineScaleIsFixedAndTranslationsCountOnce)
{
    CScratchDrawing drawing;
    drawing.converter.PushGroupMatrix();
    drawing.converter.ParseGroupTransform("translate(100,0)");
    // The use's own scale is replaced by the fixed instance scale; its translation stays.
    drawing.converter.WriteUseOutline("matrix(3 0 0 3 1 2)", "5", "7", "openSquare");
    const auto entities = drawing.Finish();
    ASSERT_EQ(entities.size(), 1u);
    ExpectNear(GroupReals(entities[0], 10), {106, 111.5, 111.5, 106});
    ExpectNear(GroupReals(entities[0], 20), {91, 91, 85.5, 85.5});
}

// ---- filled form --------------------------------------------------------------------------------

TEST(Symbols, FilledOpenSquareGetsAClosingEdge)
{
    CScratchDrawing drawing;
    drawing.converter.WriteUseFilled("", "0", "0", "#openSquare");
    const auto entities = drawing.Finish();
    ASSERT_EQ(entities.size(), 1u);
    const Entity& hatch = entities[0];
    EXPECT_EQ(hatch.front().value, "HATCH");
    EXPECT_EQ(GroupValue(hatch, 62), "3"); // green
    EXPECT_EQ(GroupValue(hatch, 91), "1");
    EXPECT_EQ(GroupValue(hatch, 93), "4");
}

TEST(Symbols, FilledIsUnscaledAtItsOwnCoordinatesPlusTheOffset)
{
    CScratchDrawing drawing;
    drawing.converter.PushGroupMatrix();
    drawing.converter.ParseGroupTransform("translate(100,100)");
    drawing.converter.WriteUseFilled("scale(4,4)", "5", "7", "openSquare");
    const auto entities = drawing.Finish();
    ASSERT_EQ(entities.size(), 1u);
    const auto xs = GroupReals(entities[0], 10); // the hatch's own elevation point comes first
    const auto ys = GroupReals(entities[0], 20);
    EXPECT_EQ(xs, (std::vector<double>{0, 5, 15, 15, 5}));
    EXPECT_EQ(ys, (std::vector<double>{0, 93, 93, 83, 83}));
    EXPECT_EQ(GroupReals(entities[0], 11), (std::vector<double>{15, 15, 5, 5}));
}

TEST(Symbols, FilledDeclaresOnlyTheLoopsItWrites)
{
    CScratchDrawing drawing;
    drawing.converter.AddSymbol("M 50 50 L 60 60 M 0 0 L 10 0 L 10 10 z M 70 70", "withStubs");
    drawing.converter.AddSymbol("M 0 0 L 10 10", "stub");
    drawing.converter.WriteUseFilled("", "0", "0", "withStubs");
    drawing.converter.WriteUseFilled("", "0", "0", "stub");
    const auto entities = drawing.Finish();
    ASSERT_EQ(entities.size(), 1u);
    EXPECT_EQ(GroupValue(entities[0], 91), "1");
    EXPECT_EQ(GroupValue(entities[0], 93), "3"); // closed by its repeated first point
}

TEST(Symbols, FilledInstanceDoesNotCloseTheNextPath)
{
    CScratchDrawing drawing;
    drawing.converter.WriteUseFilled("", "0", "0", "triangle");
    EXPECT_EQ(drawing.converter.m_closeSeen, 0);
    drawing.Finish();
}

} // namespace
