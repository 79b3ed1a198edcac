// Rectangles: sharp and rounded, filled or outlined, and the corner arcs of both forms.
#include "support/scratch_drawing.h"
#include "support/test_support.h"
#include "svg/converter.h"

#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

using namespace testing_support;

namespace
{

constexpr double kHeight = 100.0;
constexpr double kPi = 3.141592653589793;
using Entity = std::vector<Group>;

class CScratchDrawing : public ScratchDrawing
{
public:
    CScratchDrawing()
        : ScratchDrawing("rect",
                         [](CConverter& c)
                         {
                     c.m_docHeight = kHeight;
                     c.m_strokeAci = 3;
                     c.m_fillRgb = 0xFF0000; // blue
                         })
    {
    }
};



// The boundary edges of a hatch: the edge type (72) and the groups that follow it.
struct Edge
{
    int type = 0;
    std::map<int, double> values;
};

std::vector<Edge> HatchEdges(const Entity& hatch)
{
    std::vector<Edge> edges;
    bool inEdge = false;
    for (const Group& g : hatch)
    {
        if (g.code == 72)
        {
            edges.push_back({std::stoi(g.value), {}});
            inEdge = true;
        }
        else if (g.code == 97)
        {
            inEdge = false;
        }
        else if (inEdge)
        {
            edges.back().values[g.code] = std::stod(g.value);
        }
    }
    return edges;
}

TEST(Rect, FillOptionOffGivesTheOutline)
{
    CScratchDrawing drawing;
    drawing.converter.m_fillOption = 0;
    drawing.converter.WriteRectElement("", "10", "20", "30", "40", 1, "", "");
    const auto entities = drawing.Finish();
    ASSERT_EQ(Types(entities), std::vector<std::string>{"LWPOLYLINE"});
    EXPECT_EQ(GroupValue(entities[0], 62), "3");
}

TEST(Rect, SharpOutlineVertices)
{
    CScratchDrawing drawing;
    drawing.converter.WriteRectElement("", "10", "20", "30", "40", 0, "", "");
    // One radius alone does not round the corners.
    drawing.converter.WriteRectElement("", "10", "20", "30", "40", 0, "5", "");
    const auto entities = drawing.Finish();
    ASSERT_EQ(Types(entities), (std::vector<std::string>{"LWPOLYLINE", "LWPOLYLINE"}));
    for (const Entity& e : entities)
    {
        EXPECT_EQ(GroupValue(e, 70), "1");
        EXPECT_EQ(GroupReals(e, 10), (std::vector<double>{10, 40, 40, 10}));
        EXPECT_EQ(GroupReals(e, 20), (std::vector<double>{80, 80, 40, 40}));
    }
}

TEST(Rect, SharpFilledIsAFourEdgeHatchInTheFillColour)
{
    CScratchDrawing drawing;
    drawing.converter.m_lineType = "Dash9";
    drawing.converter.PushGroupMatrix();
    drawing.converter.ParseGroupTransform("translate(5,0)");
    drawing.converter.WriteRectElement("translate(0,10)", "10", "20", "30", "40", 1, "", "");
    const auto entities = drawing.Finish();
    ASSERT_EQ(Types(entities), std::vector<std::string>{"HATCH"});
    const Entity& hatch = entities[0];
    EXPECT_EQ(GroupValue(hatch, 62), "5");
    EXPECT_EQ(GroupValue(hatch, 370), "0");
    EXPECT_EQ(GroupValue(hatch, 6), "Dash9");
    const auto edges = HatchEdges(hatch);
    ASSERT_EQ(edges.size(), 4u);
    const double xs[] = {15, 45, 45, 15};
    const double ys[] = {70, 70, 30, 30};
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(edges[i].type, 1);
        EXPECT_DOUBLE_EQ(edges[i].values.at(10), xs[i]);
        EXPECT_DOUBLE_EQ(edges[i].values.at(20), ys[i]);
        EXPECT_DOUBLE_EQ(edges[i].values.at(11), xs[(i + 1) % 4]);
        EXPECT_DOUBLE_EQ(edges[i].values.at(21), ys[(i + 1) % 4]);
    }
}

TEST(Rect, RoundedOutlineFirstCorner)
{
    CScratchDrawing drawing;
    drawing.converter.WriteRectElement("", "10", "20", "30", "40", 0, "5", "3");
    const auto entities = drawing.Finish();
    ASSERT_EQ(Types(entities), (std::vector<std::string>{"LINE", "ELLIPSE", "LINE", "ELLIPSE", "LINE",
                                                         "ELLIPSE", "LINE", "ELLIPSE"}));
    // Top side from (x + rx, y) to (x2 - rx, y), then the upper right corner.
    EXPECT_DOUBLE_EQ(Real(entities[0], 10), 15.0);
    EXPECT_DOUBLE_EQ(Real(entities[0], 20), 80.0);
    EXPECT_DOUBLE_EQ(Real(entities[0], 11), 35.0);
    const Entity& arc = entities[1];
    EXPECT_DOUBLE_EQ(Real(arc, 10), 35.0);
    EXPECT_DOUBLE_EQ(Real(arc, 20), 77.0);
    EXPECT_DOUBLE_EQ(Real(arc, 11), 5.0);
    EXPECT_DOUBLE_EQ(Real(arc, 21), 0.0);
    EXPECT_DOUBLE_EQ(Real(arc, 40), 0.6);
    EXPECT_DOUBLE_EQ(Real(arc, 41), 0.0);
    EXPECT_DOUBLE_EQ(Real(arc, 42), kPi / 2);
    for (const Entity& e : entities)
        EXPECT_EQ(GroupValue(e, 62), "3");
}

struct EqualRadiiCase
{
    const char* name;
    int fill;
};

class EqualRadiiTest : public ::testing::TestWithParam<EqualRadiiCase>
{
};

// Equal radii: the hatch takes horizontal axes, the outline vertical ones, each with its own ranges.
TEST_P(EqualRadiiTest, CornerAxesAndRanges)
{
    CScratchDrawing drawing;
    drawing.converter.WriteRectElement("", "0", "0", "20", "20", GetParam().fill, "4", "4");
    const auto entities = drawing.Finish();
    struct Arc
    {
        double mx, my, ratio, start, end; // radians
    };
    std::vector<Arc> arcs;
    if (GetParam().fill)
    {
        ASSERT_EQ(Types(entities), std::vector<std::string>{"HATCH"});
        const auto edges = HatchEdges(entities[0]);
        ASSERT_EQ(edges.size(), 8u);
        for (std::size_t i = 0; i < edges.size(); ++i)
        {
            EXPECT_EQ(edges[i].type, i % 2 == 0 ? 1 : 3);
            if (edges[i].type == 3)
            {
                const auto& v = edges[i].values;
                arcs.push_back({v.at(11), v.at(21), v.at(40), v.at(50) * kPi / 180, v.at(51) * kPi / 180});
            }
        }
        // Lower left, lower right, upper right, upper left.
        const double starts[] = {kPi, 1.5 * kPi, 0, kPi / 2};
        ASSERT_EQ(arcs.size(), 4u);
        for (int i = 0; i < 4; ++i)
        {
            EXPECT_DOUBLE_EQ(arcs[i].mx, 4.0);
            EXPECT_DOUBLE_EQ(arcs[i].my, 0.0);
            EXPECT_NEAR(arcs[i].start, starts[i], 1e-12);
        }
    }
    else
    {
        for (const Entity& e : entities)
            if (e.front().value == "ELLIPSE")
                arcs.push_back({Real(e, 11), Real(e, 21), Real(e, 40), Real(e, 41), Real(e, 42)});
        // Upper right, lower right, lower left, upper left.
        const double starts[] = {1.5 * kPi, kPi, kPi / 2, 0};
        ASSERT_EQ(arcs.size(), 4u);
        for (int i = 0; i < 4; ++i)
        {
            EXPECT_DOUBLE_EQ(arcs[i].mx, 0.0);
            EXPECT_DOUBLE_EQ(arcs[i].my, 4.0);
            EXPECT_NEAR(arcs[i].start, starts[i], 1e-12);
        }
    }
    for (const Arc& a : arcs)
    {
        EXPECT_DOUBLE_EQ(a.ratio, 1.0);
        EXPECT_NEAR(a.end - a.start, kPi / 2, 1e-12);
    }
}

INSTANTIATE_TEST_SUITE_P(Rect, EqualRadiiTest,
                         ::testing::Values(EqualRadiiCase{"Filled", 1}, EqualRadiiCase{"Outlined", 0}),
                         [](const auto& row) { return std::string(row.param.name); });

// The filled loop must close: every edge starts where the one before it ended.
TEST(Rect, RoundedHatchLoopIsContinuous)
{
    CScratchDrawing drawing;
    drawing.converter.WriteRectElement("", "10", "20", "30", "40", 1, "5", "3");
    const auto entities = drawing.Finish();
    ASSERT_EQ(entities.size(), 1u);
    const auto edges = HatchEdges(entities[0]);
    ASSERT_EQ(edges.size(), 8u);
    std::vector<std::pair<double, double>> starts, ends;
    for (const Edge& e : edges)
    {
        const auto& v = e.values;
        if (e.type == 1)
        {
            starts.emplace_back(v.at(10), v.at(20));
            ends.emplace_back(v.at(11), v.at(21));
            continue;
        }
        const auto at = [&](double degrees)
        {
            const double t = degrees * kPi / 180;
            return std::make_pair(v.at(10) + v.at(11) * std::cos(t) - v.at(40) * v.at(21) * std::sin(t),
                                  v.at(20) + v.at(21) * std::cos(t) + v.at(40) * v.at(11) * std::sin(t));
        };
        starts.push_back(at(v.at(50)));
        ends.push_back(at(v.at(51)));
    }
    for (std::size_t i = 0; i < edges.size(); ++i)
    {
        const auto& end = ends[i];
        const auto& next = starts[(i + 1) % edges.size()];
        EXPECT_NEAR(end.first, next.first, 1e-9) << i;
        EXPECT_NEAR(end.second, next.second, 1e-9) << i;
    }
}

TEST(Rect, NegativeRadiiGiveValidEllipses)
{
    CScratchDrawing drawing;
    drawing.converter.WriteRectElement("", "10", "20", "30", "40", 0, "-5", "3");
    drawing.converter.WriteRectElement("", "10", "20", "30", "40", 1, "-5", "3");
    const auto entities = drawing.Finish();
    ASSERT_EQ(entities.size(), 9u);
    for (const Entity& e : entities)
    {
        if (e.front().value == "ELLIPSE")
        {
            EXPECT_GT(Real(e, 40), 0.0);
            EXPECT_LE(Real(e, 40), 1.0);
        }
        for (const Edge& edge : HatchEdges(e))
            if (edge.type == 3)
            {
                EXPECT_GT(edge.values.at(40), 0.0);
                EXPECT_LE(edge.values.at(40), 1.0);
            }
    }
}

} // namespace
