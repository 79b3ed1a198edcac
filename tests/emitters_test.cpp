// The basic shapes: polylines, circles, ellipses, lines, and the guard against unwritable numbers.
#include "support/scratch_drawing.h"
#include "support/test_support.h"
#include "svg/converter.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace testing_support;

namespace
{

constexpr double kHeight = 100.0;
constexpr double kPi = 3.141592653589793;
using Entity = std::vector<Group>;

// A converter writing into a scratch DXF file; Finish() closes it and returns its entities.
class CScratchDrawing : public ScratchDrawing
{
public:
    CScratchDrawing()
        : ScratchDrawing("emit",
                         [](CConverter& c)
                         {
                     c.AddDashPattern("5 3");
                     c.m_docHeight = kHeight;
                     c.m_strokeAci = 3;
                     c.m_fillRgb = 0x0000FF; // red
                     c.m_currentLayer = "shapes";
                         })
    {
    }
};



// ---- polylines and polygons -------------------------------------------------------------------

struct PolylineCase
{
    const char* name;
    const char* points;
    int closed;
    std::vector<double> xs; // DXF x of each vertex
    std::vector<double> ys; // DXF y of each vertex
};

class PolylineTest : public ::testing::TestWithParam<PolylineCase>
{
};

TEST_P(PolylineTest, VerticesAndFlag)
{
    const PolylineCase& c = GetParam();
    CScratchDrawing drawing;
    drawing.converter.WritePolylineElement("", c.points, "", c.closed);
    const auto entities = drawing.Finish();
    if (c.xs.empty())
    {
        EXPECT_TRUE(entities.empty());
        return;
    }
    ASSERT_EQ(entities.size(), 1u);
    EXPECT_EQ(entities[0].front().value, "LWPOLYLINE");
    EXPECT_EQ(GroupValue(entities[0], 70), std::to_string(c.closed));
    EXPECT_EQ(GroupValue(entities[0], 90), std::to_string(c.xs.size()));
    EXPECT_EQ(GroupReals(entities[0], 10), c.xs);
    EXPECT_EQ(GroupReals(entities[0], 20), c.ys);
    EXPECT_EQ(GroupReals(entities[0], 40), std::vector<double>(c.xs.size(), 0.0));
}

INSTANTIATE_TEST_SUITE_P(
    Emitters, PolylineTest,
    ::testing::Values(PolylineCase{"Pairs", "10,20 30,40 50,60", 0, {10, 30, 50}, {80, 60, 40}},
                      PolylineCase{"PolygonClosed", "10,20 30,40 50,60", 1, {10, 30, 50}, {80, 60, 40}},
                      // Without commas every number is a vertex of its own, y 0 before the flip.
                      PolylineCase{"BlanksOnly", "10 20 30", 0, {10, 20, 30}, {100, 100, 100}},
                      PolylineCase{"DoubleBlankCounts", "1,2  3,4", 0, {1, 0, 3}, {98, 100, 96}},
                      PolylineCase{"OuterBlanksTrimmed", "  1,2 3,4  ", 0, {1, 3}, {98, 96}},
                      PolylineCase{"OnePieceDropped", "10,20", 0, {}, {}},
                      PolylineCase{"EmptyDropped", "", 1, {}, {}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Emitters, PolylineDashNamesItsLineType)
{
    CScratchDrawing drawing;
    drawing.converter.WritePolylineElement("", "0,0 1,1", " 5 3 ", 0);
    drawing.converter.WritePolylineElement("", "0,0 1,1", "7 7", 0);
    const auto entities = drawing.Finish();
    ASSERT_EQ(entities.size(), 2u);
    EXPECT_EQ(GroupValue(entities[0], 6), "Dash1");
    EXPECT_EQ(GroupValue(entities[1], 6), "BYLAYER");
}

TEST(Emitters, PolylineLeavesTheClosepathFlagAlone)
{
    CScratchDrawing drawing;
    drawing.converter.WritePolylineElement("", "1,2z 3,4", "", 0);
    EXPECT_EQ(drawing.converter.m_closeSeen, 0);
    EXPECT_EQ(drawing.Finish().size(), 1u);
}

TEST(Emitters, PolylineTransformThenGroupThenFlip)
{
    CScratchDrawing drawing;
    drawing.converter.PushGroupMatrix();
    drawing.converter.ParseGroupTransform("translate(100,0)");
    drawing.converter.WritePolylineElement("translate(1,2)", "0,0 10,0", "", 0);
    const auto entities = drawing.Finish();
    ASSERT_EQ(entities.size(), 1u);
    EXPECT_EQ(GroupReals(entities[0], 10), (std::vector<double>{101, 111}));
    EXPECT_EQ(GroupReals(entities[0], 20), (std::vector<double>{98, 98}));
}

// ---- circles ------------------------------------------------------------------------------------

struct CircleCase
{
    const char* name;
    int fill;
    int stroke;
    std::vector<std::string> types;
};

class CircleFlagsTest : public ::testing::TestWithParam<CircleCase>
{
};

TEST_P(CircleFlagsTest, EntitiesOnTheSameLayer)
{
    const CircleCase& c = GetParam();
    CScratchDrawing drawing;
    drawing.converter.WriteCircleElement(c.fill, "", "20", "30", "5", "", c.stroke);
    const auto entities = drawing.Finish();
    EXPECT_EQ(Types(entities), c.types);
    for (const Entity& e : entities)
    {
        EXPECT_EQ(GroupValue(e, 8), "shapes");
        if (e.front().value == "HATCH")
        {
            EXPECT_EQ(GroupValue(e, 62), "1"); // the fill colour, red
            EXPECT_EQ(GroupValue(e, 72), "2"); // one circular-arc edge
            EXPECT_DOUBLE_EQ(Real(e, 40), 5.0);
            EXPECT_DOUBLE_EQ(Real(e, 51), 360.0);
        }
        else
        {
            EXPECT_EQ(GroupValue(e, 62), "3");
            EXPECT_DOUBLE_EQ(Real(e, 10), 20.0);
            EXPECT_DOUBLE_EQ(Real(e, 20), 70.0);
            EXPECT_DOUBLE_EQ(Real(e, 40), 5.0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Emitters, CircleFlagsTest,
                         ::testing::Values(CircleCase{"FillAndStroke", 1, 1, {"HATCH", "CIRCLE"}},
                                           CircleCase{"FillOnly", 1, 0, {"HATCH"}},
                                           CircleCase{"StrokeOnly", 0, 1, {"CIRCLE"}},
                                           CircleCase{"NeitherIsOutline", 0, 0, {"CIRCLE"}}),
                         [](const auto& row) { return std::string(row.param.name); });

struct CircleMappingCase
{
    const char* name;
    const char* transform;
    const char* groupTransform; // "" for none
    double x, y, radius;        // DXF centre and radius of the circle at (10, 10), radius 3
};

class CircleMappingTest : public ::testing::TestWithParam<CircleMappingCase>
{
};

TEST_P(CircleMappingTest, CentreAndRadius)
{
    const CircleMappingCase& c = GetParam();
    CScratchDrawing drawing;
    drawing.converter.PushGroupMatrix();
    if (*c.groupTransform != '\0')
        drawing.converter.ParseGroupTransform(c.groupTransform);
    drawing.converter.WriteCircleElement(0, c.transform, "10", "10", "3", "", 1);
    const auto entities = drawing.Finish();
    ASSERT_EQ(entities.size(), 1u);
    EXPECT_DOUBLE_EQ(Real(entities[0], 10), c.x);
    EXPECT_DOUBLE_EQ(Real(entities[0], 20), c.y);
    EXPECT_DOUBLE_EQ(Real(entities[0], 40), c.radius);
}

INSTANTIATE_TEST_SUITE_P(
    Emitters, CircleMappingTest,
    ::testing::Values(CircleMappingCase{"RadiusFollowsTheXScale", "scale(2,1)", "", 20, 90, 6},
                      // A translation moves the centre only, whether the circle's or its group's.
                      CircleMappingCase{"OwnYTranslation", "translate(0,50)", "", 10, 40, 3},
                      CircleMappingCase{"GroupYTranslation", "", "translate(0,50)", 10, 40, 3},
                      // A quarter turn: the x axis of the circle maps onto y through the b entry.
                      CircleMappingCase{"QuarterTurn", "matrix(0,1,-1,0,0,0)", "", -10, 90, 3}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Emitters, CircleWithoutUsableGeometryWritesNothing)
{
    CScratchDrawing drawing;
    drawing.converter.WriteCircleElement(1, "", "10", "10", "0", "", 1);
    drawing.converter.WriteCircleElement(1, "", "", "10", "5", "", 1);
    drawing.converter.WriteCircleElement(1, "", "10", "10", "", "", 1);
    drawing.converter.WriteCircleElement(1, "", "1e300", "10", "5", "", 1);
    drawing.converter.WriteCircleElement(1, "", "10", "10", "nan", "", 1);
    EXPECT_TRUE(drawing.Finish().empty());
}

// ---- ellipses -----------------------------------------------------------------------------------

TEST(Emitters, EllipseTallerThanWideTakesTheVerticalAxis)
{
    CScratchDrawing drawing;
    drawing.converter.WriteEllipseElement(1, "", "50", "50", "10", "20", "", 1);
    const auto entities = drawing.Finish();
    ASSERT_EQ(Types(entities), (std::vector<std::string>{"HATCH", "ELLIPSE"}));
    const Entity& ellipse = entities[1];
    EXPECT_DOUBLE_EQ(Real(ellipse, 10), 50.0);
    EXPECT_DOUBLE_EQ(Real(ellipse, 20), 50.0);
    EXPECT_DOUBLE_EQ(Real(ellipse, 11), 0.0);
    EXPECT_DOUBLE_EQ(Real(ellipse, 21), -20.0); // (cx, cy + 20) lies below the centre in DXF
    EXPECT_DOUBLE_EQ(Real(ellipse, 40), 0.5);
    EXPECT_DOUBLE_EQ(Real(ellipse, 41), 0.0);
    EXPECT_DOUBLE_EQ(Real(ellipse, 42), 2 * kPi);
    const Entity& hatch = entities[0];
    EXPECT_EQ(GroupValue(hatch, 72), "3");
    EXPECT_DOUBLE_EQ(GroupReals(hatch, 21).at(0), -20.0);
    EXPECT_DOUBLE_EQ(GroupReals(hatch, 40).at(0), 0.5);
}

TEST(Emitters, EllipseOfEqualRadiiTakesTheHorizontalAxis)
{
    CScratchDrawing drawing;
    drawing.converter.WriteEllipseElement(0, "", "50", "50", "10", "10", "", 1);
    const auto entities = drawing.Finish();
    ASSERT_EQ(Types(entities), (std::vector<std::string>{"ELLIPSE"}));
    EXPECT_DOUBLE_EQ(Real(entities[0], 11), 10.0);
    EXPECT_DOUBLE_EQ(Real(entities[0], 21), 0.0);
    EXPECT_DOUBLE_EQ(Real(entities[0], 40), 1.0);
}

TEST(Emitters, FlatEllipseIsATwoVertexPolyline)
{
    CScratchDrawing drawing;
    drawing.converter.WriteEllipseElement(1, "", "50", "40", "10", "0", "", 0);
    drawing.converter.WriteEllipseElement(0, "", "50", "40", "0", "5", "", 1);
    const auto entities = drawing.Finish();
    ASSERT_EQ(Types(entities), (std::vector<std::string>{"LWPOLYLINE", "LWPOLYLINE"}));
    EXPECT_EQ(GroupReals(entities[0], 10), (std::vector<double>{60, 40}));
    EXPECT_EQ(GroupReals(entities[0], 20), (std::vector<double>{60, 60}));
    EXPECT_EQ(GroupReals(entities[1], 10), (std::vector<double>{50, 50}));
    EXPECT_EQ(GroupReals(entities[1], 20), (std::vector<double>{55, 65}));
}

TEST(Emitters, LineAfterDashedEllipseCarriesItsLineType)
{
    CScratchDrawing drawing;
    drawing.converter.WriteLineElement("", "0", "0", "1", "1");
    drawing.converter.WriteEllipseElement(0, "", "50", "50", "10", "5", "5 3", 1);
    drawing.converter.WriteLineElement("", "0", "", "10", "20");
    const auto entities = drawing.Finish();
    ASSERT_EQ(Types(entities), (std::vector<std::string>{"LINE", "ELLIPSE", "LINE"}));
    EXPECT_EQ(GroupValue(entities[0], 6), "BYLAYER");
    EXPECT_EQ(GroupValue(entities[1], 6), "Dash1");
    EXPECT_EQ(GroupValue(entities[2], 6), "Dash1");
    EXPECT_DOUBLE_EQ(Real(entities[2], 20), 100.0); // the empty y1 reads as 0
    EXPECT_DOUBLE_EQ(Real(entities[2], 21), 80.0);
}

TEST(Emitters, NegativeRadiiStillGiveAValidEllipse)
{
    CScratchDrawing drawing;
    drawing.converter.WriteEllipseElement(1, "", "50", "50", "-10", "5", "", 1);
    const auto entities = drawing.Finish();
    ASSERT_EQ(Types(entities), (std::vector<std::string>{"HATCH", "ELLIPSE"}));
    EXPECT_DOUBLE_EQ(Real(entities[1], 40), 0.5);
    EXPECT_DOUBLE_EQ(std::hypot(Real(entities[1], 11), Real(entities[1], 21)), 10.0);
    EXPECT_DOUBLE_EQ(GroupReals(entities[0], 40).at(0), 0.5);
}

TEST(Emitters, UnwritableLineIsDroppedWhole)
{
    CScratchDrawing drawing;
    drawing.converter.WriteLineElement("", "1e300", "0", "1", "1");
    drawing.converter.WriteLineElement("", "0", "0", "1", "-1e16");
    drawing.converter.WriteLineElement("matrix(1e200 0 0 1e200 0 0)", "0", "0", "1e200", "1");
    EXPECT_TRUE(drawing.Finish().empty());
}

// ---- the ellipse normal form --------------------------------------------------------------------

struct ArcCase
{
    const char* name;
    double mx, my, ratio, start, end;
};

class NormalizeEllipseTest : public ::testing::TestWithParam<ArcCase>
{
};

// The normal form must describe the very same points: both ends and the middle of the arc.
TEST_P(NormalizeEllipseTest, SameCurveWithRatioInRange)
{
    const ArcCase& c = GetParam();
    double mx = c.mx, my = c.my, ratio = c.ratio, start = c.start, end = c.end;
    ASSERT_TRUE(CConverter::NormalizeEllipseArc(mx, my, ratio, start, end));
    EXPECT_GT(ratio, 0.0);
    EXPECT_LE(ratio, 1.0);
    EXPECT_GE(start, 0.0);
    EXPECT_LT(start, 2 * kPi);
    EXPECT_NEAR(end - start, c.end - c.start, 1e-12);
    const auto at = [](double ax, double ay, double k, double t, double& x, double& y)
    {
        x = ax * std::cos(t) - k * ay * std::sin(t);
        y = ay * std::cos(t) + k * ax * std::sin(t);
    };
    const double fractions[] = {0.0, 0.5, 1.0};
    for (double f : fractions)
    {
        double x0, y0, x1, y1;
        at(c.mx, c.my, c.ratio, c.start + f * (c.end - c.start), x0, y0);
        // A mirrored range runs the other way round.
        const double g = c.ratio < 0 ? 1.0 - f : f;
        at(mx, my, ratio, start + g * (end - start), x1, y1);
        EXPECT_NEAR(x0, x1, 1e-9) << f;
        EXPECT_NEAR(y0, y1, 1e-9) << f;
    }
}

INSTANTIATE_TEST_SUITE_P(Emitters, NormalizeEllipseTest,
                         ::testing::Values(ArcCase{"AlreadyNormal", 5, 0, 0.6, 0, kPi / 2},
                                           ArcCase{"RatioAboveOne", 3, 0, 5.0 / 3, kPi / 2, kPi},
                                           ArcCase{"NegativeRatio", 0, 4, -0.5, 0, kPi / 2},
                                           ArcCase{"NegativeAboveOne", 2, 1, -2.5, kPi, 1.5 * kPi},
                                           ArcCase{"FullTurn", -10, 0, -0.5, 0, 2 * kPi}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(Emitters, NormalizeEllipseRefusesADegenerateRatio)
{
    double mx = 1, my = 0, ratio = 0, start = 0, end = 1;
    EXPECT_FALSE(CConverter::NormalizeEllipseArc(mx, my, ratio, start, end));
    ratio = std::nan("");
    EXPECT_FALSE(CConverter::NormalizeEllipseArc(mx, my, ratio, start, end));
}

} // namespace
