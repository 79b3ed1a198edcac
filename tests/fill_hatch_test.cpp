// Filled paths: boundary loops of the solid hatch, the area test, and outlines for flat subpaths.
#include "geometry/fill_rule.h"
#include "support/test_support.h"
#include "svg/converter.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace testing_support;

namespace
{

constexpr double kHeight = 100.0;

struct Edge
{
    double x1, y1, x2, y2; // SVG coordinates, flipped back from the file
};

struct Hatch
{
    int declaredLoops = 0;
    std::vector<std::vector<Edge>> loops;
    std::vector<int> pathTypes;
};

struct Drawing
{
    std::vector<std::string> types;
    std::vector<Hatch> hatches;
    std::vector<int> polylineFlags;
};

Hatch ReadHatch(const std::vector<Group>& entity)
{
    Hatch hatch;
    hatch.declaredLoops = std::stoi(GroupValue(entity, 91));
    for (std::size_t i = 0; i < entity.size(); ++i)
    {
        if (entity[i].code == 92)
        {
            hatch.pathTypes.push_back(std::stoi(entity[i].value));
            hatch.loops.emplace_back();
        }
        if (entity[i].code == 72 && std::stoi(entity[i].value) == 1 && i + 4 < entity.size())
        {
            std::array<double, 4> v{};
            for (std::size_t k = 0; k < 4; ++k)
                v[k] = std::stod(entity[i + 1 + k].value);
            EXPECT_FALSE(hatch.loops.empty());
            if (!hatch.loops.empty())
                hatch.loops.back().push_back(Edge{v[0], kHeight - v[1], v[2], kHeight - v[3]});
        }
    }
    return hatch;
}

class CScratchDrawing
{
  public:
    CScratchDrawing()
    {
        static int counter = 0;
        m_path = (ScratchDir() / ("fill-" + std::to_string(counter++) + ".dxf")).string();
        converter.m_docHeight = kHeight;
        converter.m_fillRgb = 0x0000FF; // red
        m_begun = converter.BeginDxfDocument(m_path) == 0;
    }

    Drawing Finish()
    {
        EXPECT_TRUE(m_begun);
        EXPECT_EQ(converter.EndDxfDocument(), 0);
        EXPECT_EQ(CheckWithDxflib(m_path), "");
        Drawing drawing;
        for (const auto& entity : Entities(ReadFile(m_path)))
        {
            drawing.types.push_back(entity.front().value);
            if (entity.front().value == "HATCH")
                drawing.hatches.push_back(ReadHatch(entity));
            if (entity.front().value == "LWPOLYLINE")
                drawing.polylineFlags.push_back(std::stoi(GroupValue(entity, 70)));
        }
        return drawing;
    }

    CConverter converter;

  private:
    std::string m_path;
    bool m_begun = false;
};

Drawing Fill(const std::string& d, const std::string& transform = "")
{
    CScratchDrawing scratch;
    scratch.converter.FilledPathElement(transform, d);
    return scratch.Finish();
}

void ExpectEdge(const Edge& e, double x1, double y1, double x2, double y2)
{
    EXPECT_NEAR(e.x1, x1, 1e-9);
    EXPECT_NEAR(e.y1, y1, 1e-9);
    EXPECT_NEAR(e.x2, x2, 1e-9);
    EXPECT_NEAR(e.y2, y2, 1e-9);
}

using Types = std::vector<std::string>;

TEST(FilledPath, ClosedSquareGetsClosingEdge)
{
    const Drawing d = Fill("M 0 0 L 100 0 L 100 100 L 0 100 z");
    ASSERT_EQ(d.types, (Types{"HATCH"}));
    const Hatch& h = d.hatches[0];
    EXPECT_EQ(h.declaredLoops, 1);
    ASSERT_EQ(h.loops.size(), 1u);
    EXPECT_EQ(h.pathTypes, (std::vector<int>{1}));
    ASSERT_EQ(h.loops[0].size(), 4u);
    ExpectEdge(h.loops[0][0], 0, 0, 100, 0);
    ExpectEdge(h.loops[0][2], 100, 100, 0, 100);
    ExpectEdge(h.loops[0][3], 0, 100, 0, 0);
}

TEST(FilledPath, RepeatedFirstPointAddsNoClosingEdge)
{
    const Drawing d = Fill("M 0 0 L 100 0 L 100 100 L 0 100 L 0 0");
    ASSERT_EQ(d.hatches.size(), 1u);
    ASSERT_EQ(d.hatches[0].loops.size(), 1u);
    ASSERT_EQ(d.hatches[0].loops[0].size(), 4u);
    ExpectEdge(d.hatches[0].loops[0][3], 0, 100, 0, 0);
}

TEST(FilledPath, TwoSubpathsGiveTwoLoops)
{
    const Drawing d = Fill("M 0 0 L 100 0 L 100 100 L 0 100 z M 25 25 L 75 25 L 75 75 L 25 75 z");
    ASSERT_EQ(d.types, (Types{"HATCH"}));
    const Hatch& h = d.hatches[0];
    EXPECT_EQ(h.declaredLoops, 2);
    EXPECT_EQ(h.pathTypes, (std::vector<int>{1, 1}));
    ASSERT_EQ(h.loops.size(), 2u);
    ASSERT_EQ(h.loops[1].size(), 4u);
    ExpectEdge(h.loops[1][0], 25, 25, 75, 25);
    ExpectEdge(h.loops[1][3], 25, 75, 25, 25);
}

TEST(FilledPath, CollinearSubpathBecomesOutlineWithoutHatch)
{
    // No loop encloses area: the outline alone, no boundary-less hatch.
    const Drawing d = Fill("M 0 0 L 5 5 L 10 10 z");
    ASSERT_EQ(d.types, (Types{"LWPOLYLINE"}));
    EXPECT_EQ(d.polylineFlags, (std::vector<int>{1}));
}

TEST(FilledPath, TwoPointFirstSubpathIsItsOwnLine)
{
    const Drawing d = Fill("M 0 0 L 5 5 M 10 10 L 20 10 L 20 20 z");
    ASSERT_EQ(d.types, (Types{"LWPOLYLINE", "HATCH"}));
    ASSERT_EQ(d.hatches[0].loops.size(), 1u);
    ASSERT_EQ(d.hatches[0].loops[0].size(), 3u);
    ExpectEdge(d.hatches[0].loops[0][0], 10, 10, 20, 10);
}

TEST(FilledPath, LoneMovetoJoinsNextLoop)
{
    const Drawing d = Fill("M 5 5 M 0 0 L 10 0 L 10 10 z");
    ASSERT_EQ(d.hatches.size(), 1u);
    const Hatch& h = d.hatches[0];
    EXPECT_EQ(h.declaredLoops, 1);
    ASSERT_EQ(h.loops.size(), 1u);
    ASSERT_EQ(h.loops[0].size(), 4u);
    ExpectEdge(h.loops[0][0], 5, 5, 0, 0);
    ExpectEdge(h.loops[0][3], 10, 10, 5, 5);
}

TEST(FilledPath, LoopPointsAreTransformedAndFlipped)
{
    CScratchDrawing scratch;
    CConverter& c = scratch.converter;
    c.PushGroupMatrix();
    c.ParseGroupTransform("translate(100,0)");
    c.FilledPathElement("scale(2,2)", "M 0 0 L 10 0 L 10 10 z");
    c.PopGroupMatrix();
    const Drawing d = scratch.Finish();
    ASSERT_EQ(d.hatches.size(), 1u);
    ASSERT_EQ(d.hatches[0].loops.size(), 1u);
    ExpectEdge(d.hatches[0].loops[0][0], 100, 0, 120, 0);
    ExpectEdge(d.hatches[0].loops[0][1], 120, 0, 120, 20);
}

TEST(FilledPath, CloseDoesNotCloseNextElement)
{
    CScratchDrawing scratch;
    scratch.converter.FilledPathElement("", "M 0 0 L 100 0 L 100 100 z");
    scratch.converter.PathElement("", "M 0 0 L 10 10", "", "", "");
    const Drawing d = scratch.Finish();
    ASSERT_EQ(d.types, (Types{"HATCH", "LWPOLYLINE"}));
    EXPECT_EQ(d.polylineFlags, (std::vector<int>{0}));
}

TEST(FilledPath, LoopsKeepTheStateOfTheirSubpath)
{
    CConverter c;
    c.m_docHeight = kHeight;
    c.m_elementStrokeWidth = 2.5;
    c.m_strokeRgb = 0x00FF00;
    c.m_lineType = "Dash1";
    std::vector<CPolylinedata> loops;
    CPointList points;
    CFillLoopSink sink(c, loops);
    c.ParsePath("", "M 0 0 L 10 0 L 10 10 z M 50 50", points, &sink);
    ASSERT_EQ(loops.size(), 1u);
    EXPECT_EQ(loops[0].points.size(), 3u);
    EXPECT_EQ(loops[0].points[2].closed, 1);
    EXPECT_EQ(loops[0].points[2].endOfSubpath, 1);
    EXPECT_DOUBLE_EQ(loops[0].points[2].y, 90.0);
    EXPECT_DOUBLE_EQ(loops[0].strokeWidth, 2.5);
    EXPECT_EQ(loops[0].strokeRgb, 0x00FF00);
    EXPECT_EQ(loops[0].closed, 1);
    EXPECT_EQ(loops[0].lineType, "Dash1");
    // The moveto that ended the loop starts the next list.
    ASSERT_EQ(points.size(), 1u);
    EXPECT_DOUBLE_EQ(points[0].x, 50.0);
}

TEST(FilledPath, NonFinitePointsWriteNoHatch)
{
    CScratchDrawing scratch;
    scratch.converter.FilledPathElement("", "M 0 0 L 1e400 0 L 5 5 z");
    scratch.converter.FilledPathElement("", "M 0 0 C 1e400 0 0 1e400 5 5 C 0 0 5 5 1e400 5 L 0 5 z");
    const Drawing d = scratch.Finish();
    for (const Hatch& h : d.hatches)
        EXPECT_TRUE(h.loops.empty());
}

struct CollinearCase
{
    const char* name;
    std::vector<std::array<double, 2>> points;
    int hasArea;
};

class AreaTest : public ::testing::TestWithParam<CollinearCase>
{
};

TEST_P(AreaTest, FindsATurn)
{
    const CollinearCase& c = GetParam();
    CPointList points;
    for (const auto& p : c.points)
    {
        CPointData point;
        point.x = p[0];
        point.y = p[1];
        points.push_back(point);
    }
    EXPECT_EQ(CConverter::HasArea(points), c.hasArea);
    if (points.size() == 3)
    {
        EXPECT_EQ(CConverter::IsCollinear(points[0], points[1], points[2]), 1 - c.hasArea);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Triples, AreaTest,
    ::testing::Values(CollinearCase{"Empty", {}, 0}, CollinearCase{"TwoPoints", {{0, 0}, {10, 10}}, 0},
                      CollinearCase{"Diagonal", {{0, 0}, {5, 5}, {10, 10}}, 0},
                      CollinearCase{"Vertical", {{0, 0}, {0, 50}, {0, 100}}, 0},
                      CollinearCase{"VerticalThenAcross", {{0, 0}, {0, 50}, {50, 50}}, 1},
                      CollinearCase{"Triangle", {{0, 0}, {10, 0}, {10, 10}}, 1},
                      CollinearCase{"NearlyStraight", {{0, 0}, {10, 10}, {20, 20.00001}}, 0},
                      // Only the x steps guard the slopes: tiny x steps count as a turn.
                      CollinearCase{"TinyStepsOnALine", {{0, 0}, {0.001, 0.001}, {0.002, 0.002}}, 1},
                      CollinearCase{"TurnAfterStraightRun", {{0, 0}, {5, 0}, {10, 0}, {10, 10}}, 1},
                      CollinearCase{"BackAndForth", {{0, 0}, {10, 0}, {5, 0}}, 0}),
    [](const auto& row) { return std::string(row.param.name); });

// Squares by corner and size, each anticlockwise (+1) or clockwise (-1) in the loop's frame.
struct Square
{
    double x, y, size;
    int direction;
};

CPointList LoopOf(const std::vector<std::array<double, 2>>& corners)
{
    CPointList points;
    for (const auto& c : corners)
    {
        CPointData p;
        p.x = c[0];
        p.y = c[1];
        points.push_back(p);
    }
    return points;
}

CPointList SquareLoop(const Square& s)
{
    std::vector<std::array<double, 2>> corners = {
        {s.x, s.y}, {s.x + s.size, s.y}, {s.x + s.size, s.y + s.size}, {s.x, s.y + s.size}};
    if (s.direction < 0)
        std::reverse(corners.begin(), corners.end());
    return LoopOf(corners);
}

TEST(NonZeroRule, KeepsTheLoopsWhereTheWindingTurnsZero)
{
    const struct
    {
        const char* name;
        std::vector<Square> squares;
        std::vector<bool> kept;
    } cases[] = {
        {"OneLoop", {{0, 0, 10, -1}}, {true}},
        {"HoleTheOtherWayRound", {{0, 0, 10, 1}, {2, 2, 6, -1}}, {true, true}},
        {"HoleTheSameWayRound", {{0, 0, 10, 1}, {2, 2, 6, 1}}, {true, false}},
        {"InnerListedFirst", {{2, 2, 6, -1}, {0, 0, 10, -1}}, {false, true}},
        {"ThreeTheSameWay", {{0, 0, 10, 1}, {2, 2, 6, 1}, {4, 4, 2, 1}}, {true, false, false}},
        {"IslandInAHole", {{0, 0, 10, 1}, {2, 2, 6, -1}, {4, 4, 2, 1}}, {true, true, true}},
        {"SideBySide", {{0, 0, 10, 1}, {20, 0, 10, 1}}, {true, true}},
        {"SameLeftEdge", {{0, 2, 5, 1}, {0, 0, 10, 1}}, {false, true}},
        // Without area a loop has no direction and stays.
        {"FlatLoopInside", {{0, 0, 10, 1}, {2, 2, 0, 1}}, {true, true}},
        {"TwoOutlinesEachWithAHole",
         {{0, 0, 10, 1}, {20, 0, 10, -1}, {22, 2, 6, -1}, {2, 2, 6, -1}},
         {true, true, false, true}},
    };
    // A loop in the notch of a U, the same way round, starting on the notch's side: outside the U,
    // though a test of that first point alone would find it inside.
    {
        const CPointList u = LoopOf({{0, 0}, {10, 0}, {10, 10}, {7, 10}, {7, 3}, {3, 3}, {3, 10}, {0, 10}});
        const CPointList inNotch = LoopOf({{7, 5}, {7, 7}, {5, 7}, {5, 5}});
        EXPECT_EQ(NonZeroBoundaries({&u, &inNotch}), (std::vector<bool>{true, true})) << "InTheNotch";
    }
    for (const auto& c : cases)
    {
        std::vector<CPointList> loops;
        for (const Square& square : c.squares)
            loops.push_back(SquareLoop(square));
        std::vector<const CPointList*> pointers;
        for (const CPointList& loop : loops)
            pointers.push_back(&loop);
        EXPECT_EQ(NonZeroBoundaries(pointers), c.kept) << c.name;
    }
}

} // namespace
