// The path driver: commands to points, subpath ends, and the outlines the subpath writer produces.
#include "support/test_support.h"
#include "svg/converter.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

using namespace testing_support;

namespace
{

using Points = std::vector<std::pair<double, double>>; // SVG coordinates

struct Outline
{
    int flags = 0;
    Points points; // SVG coordinates, flipped back from the DXF file
    std::vector<double> widths;
};

constexpr double kHeight = 100.0;

// A converter writing into a scratch DXF file; Finish() closes it and returns its polylines.
class CScratchDrawing
{
  public:
    CScratchDrawing()
    {
        static int counter = 0;
        m_path = (ScratchDir() / ("driver-" + std::to_string(counter++) + ".dxf")).string();
        converter.m_docHeight = kHeight;
        converter.m_strokeAci = 7;
        m_begun = converter.BeginDxfDocument(m_path) == 0;
    }

    std::vector<Outline> Finish()
    {
        EXPECT_TRUE(m_begun);
        EXPECT_EQ(converter.EndDxfDocument(), 0);
        EXPECT_EQ(CheckWithDxflib(m_path), "");
        std::vector<Outline> outlines;
        for (const auto& entity : Entities(ReadFile(m_path)))
        {
            EXPECT_EQ(entity.front().value, "LWPOLYLINE");
            Outline outline;
            outline.flags = std::stoi(GroupValue(entity, 70));
            const auto xs = GroupReals(entity, 10);
            const auto ys = GroupReals(entity, 20);
            EXPECT_EQ(xs.size(), ys.size());
            EXPECT_EQ(GroupValue(entity, 90), std::to_string(xs.size())) << "vertex count";
            for (std::size_t i = 0; i < xs.size() && i < ys.size(); ++i)
                outline.points.emplace_back(xs[i], kHeight - ys[i]);
            outline.widths = GroupReals(entity, 40);
            outlines.push_back(outline);
        }
        return outlines;
    }

    CConverter converter;

  private:
    std::string m_path;
    bool m_begun = false;
};

std::vector<Outline> DrawPath(const std::string& d, const std::string& transform = "")
{
    CScratchDrawing drawing;
    drawing.converter.PathElement(transform, d, "", "", "");
    return drawing.Finish();
}

void ExpectPoints(const Points& actual, const Points& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i)
    {
        EXPECT_NEAR(actual[i].first, expected[i].first, 1e-9) << "vertex " << i;
        EXPECT_NEAR(actual[i].second, expected[i].second, 1e-9) << "vertex " << i;
    }
}

struct OutlineCase
{
    const char* name;
    const char* d;
    std::vector<std::pair<int, Points>> outlines; // flags and points of each polyline, in order
};

class PathOutlines : public ::testing::TestWithParam<OutlineCase>
{
};

TEST_P(PathOutlines, WritesTheSubpaths)
{
    const OutlineCase& c = GetParam();
    const auto outlines = DrawPath(c.d);
    ASSERT_EQ(outlines.size(), c.outlines.size());
    for (std::size_t i = 0; i < outlines.size(); ++i)
    {
        SCOPED_TRACE("polyline " + std::to_string(i));
        EXPECT_EQ(outlines[i].flags, c.outlines[i].first);
        ExpectPoints(outlines[i].points, c.outlines[i].second);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, PathOutlines,
    ::testing::Values(
        OutlineCase{"ClosedLowerZ", "M 0 0 L 100 0 L 100 100 z", {{1, {{0, 0}, {100, 0}, {100, 100}}}}},
        OutlineCase{"ClosedUpperZ", "M 0 0 L 100 0 L 100 100 Z", {{1, {{0, 0}, {100, 0}, {100, 100}}}}},
        OutlineCase{"TwoOpenSubpaths",
                    "M 0 0 L 10 0 M 20 0 L 30 0",
                    {{0, {{0, 0}, {10, 0}}}, {0, {{20, 0}, {30, 0}}}}},
        OutlineCase{"RelativeMoveAfterCloseStartsAtSubpathStart",
                    "M 0 0 L 10 0 z m 5 5 l 1 0",
                    {{1, {{0, 0}, {10, 0}}}, {0, {{5, 5}, {6, 5}}}}},
        OutlineCase{"RelativeMoveWithoutCloseStartsAtCurrentPoint",
                    "M 0 0 L 10 0 m 5 5 l 1 0",
                    {{0, {{0, 0}, {10, 0}}}, {0, {{15, 5}, {16, 5}}}}},
        OutlineCase{"RepeatedPairAfterMoveIsLine", "M 10 20 30 40", {{0, {{10, 20}, {30, 40}}}}},
        OutlineCase{
            "RepeatedPairAfterRelativeMoveIsRelativeLine", "m 10 20 30 40", {{0, {{10, 20}, {40, 60}}}}},
        OutlineCase{"HorizontalAndVertical",
                    "M 10 10 h 5 v 5 H 0 V 0",
                    {{0, {{10, 10}, {15, 10}, {15, 15}, {0, 15}, {0, 0}}}}},
        OutlineCase{"RelativeLines", "M 10 10 l 5 0 l 0 5", {{0, {{10, 10}, {15, 10}, {15, 15}}}}},
        OutlineCase{"LoneMovetoWritesNothing", "M 10 10", {}},
        OutlineCase{"SmoothQuadraticAloneDrawsNothing", "M 0 0 T 40 0", {}},
        OutlineCase{
            "SmoothQuadraticAloneKeepsCurrentPoint", "M 0 0 T 40 0 L 10 10", {{0, {{0, 0}, {10, 10}}}}},
        OutlineCase{"ShortQuadraticIsSkipped", "M 0 0 L 5 5 Q 1 2", {{0, {{0, 0}, {5, 5}}}}},
        OutlineCase{"CubicCutByCloseDrawsLine", "M 0 0 C 10 10z", {{1, {{0, 0}, {10, 10}}}}},
        OutlineCase{
            "ShortCubicEndsPathKeepingWhatWasRead", "M 0 0 L 10 0 C 10 10 z", {{1, {{0, 0}, {10, 0}}}}},
        OutlineCase{"ZeroRadiusArcIsLine", "M 0 0 A 0 50 0 0 1 100 0", {{0, {{0, 0}, {100, 0}}}}},
        OutlineCase{"RelativeArcEndsRelative", "M 10 10 a 0 5 0 0 1 10 0", {{0, {{10, 10}, {20, 10}}}}}),
    [](const auto& row) { return std::string(row.param.name); });

// Curves: the driver's part is the control points it hands the flattener, so each case is checked
// against a path that names those control points explicitly.
struct EquivalentCase
{
    const char* name;
    const char* d;
    const char* explicitD;
};

class PathCurves : public ::testing::TestWithParam<EquivalentCase>
{
};

TEST_P(PathCurves, UseTheExpectedControlPoints)
{
    const EquivalentCase& c = GetParam();
    const auto actual = DrawPath(c.d);
    const auto expected = DrawPath(c.explicitD);
    ASSERT_EQ(actual.size(), 1u);
    ASSERT_EQ(expected.size(), 1u);
    EXPECT_GT(actual[0].points.size(), 2u);
    ExpectPoints(actual[0].points, expected[0].points);
}

INSTANTIATE_TEST_SUITE_P(
    Reflections, PathCurves,
    ::testing::Values(EquivalentCase{"SmoothCubicWithoutCubicUsesControlTwice", "M 0 0 S 10 10 20 0",
                                     "M 0 0 C 10 10 10 10 20 0"},
                      // A missing last number reads as 0.
                      EquivalentCase{"SmoothCubicLastNumberMissing", "M 0 0 S 10 10 20",
                                     "M 0 0 C 10 10 10 10 20 0"},
                      EquivalentCase{"SmoothCubicReflectsCubic", "M 0 0 C 0 10 10 10 10 0 S 20 -10 20 0",
                                     "M 0 0 C 0 10 10 10 10 0 C 10 -10 20 -10 20 0"},
                      EquivalentCase{"SmoothCubicAfterQuadraticDoesNotReflect",
                                     "M 0 0 Q 5 5 10 0 S 20 10 30 0", "M 0 0 Q 5 5 10 0 C 20 10 20 10 30 0"},
                      EquivalentCase{"RelativeCubic", "M 10 10 c 0 10 10 10 10 0",
                                     "M 10 10 C 10 20 20 20 20 10"},
                      EquivalentCase{"SmoothQuadraticReflectsQuadratic", "M 0 0 Q 10 10 20 0 T 40 0",
                                     "M 0 0 Q 10 10 20 0 Q 30 -10 40 0"},
                      EquivalentCase{"SmoothQuadraticChain", "M 0 0 Q 10 10 20 0 T 40 0 T 60 0",
                                     "M 0 0 Q 10 10 20 0 Q 30 -10 40 0 Q 50 10 60 0"},
                      EquivalentCase{"RelativeQuadratic", "M 10 10 q 10 10 20 0", "M 10 10 Q 20 20 30 10"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(PathCurve, MovetoPointIsNotDoubledBeforeCubic)
{
    const auto outlines = DrawPath("M 0 0 C 0 10 10 10 10 0");
    ASSERT_EQ(outlines.size(), 1u);
    const Points& p = outlines[0].points;
    ASSERT_GT(p.size(), 2u);
    EXPECT_EQ(p.front(), std::make_pair(0.0, 0.0));
    EXPECT_NE(p[1], p[0]);
    EXPECT_EQ(p.back(), std::make_pair(10.0, 0.0));
}

TEST(PathCurve, PointsBeforeCubicAreKeptWhenNoMovetoPrecedes)
{
    const auto outlines = DrawPath("M 0 0 L 5 0 C 5 10 10 10 10 0");
    ASSERT_EQ(outlines.size(), 1u);
    const Points& p = outlines[0].points;
    ASSERT_GT(p.size(), 3u);
    EXPECT_EQ(p[0], std::make_pair(0.0, 0.0));
    EXPECT_EQ(p[1], std::make_pair(5.0, 0.0));
}

TEST(PathWidth, GroupScaleScalesVertexWidths)
{
    CScratchDrawing drawing;
    CConverter& c = drawing.converter;
    c.m_elementStrokeWidth = 3.0;
    c.PushGroupMatrix();
    c.ParseGroupTransform("scale(2,2)");
    c.PathElement("", "M 0 0 L 10 0", "", "", "");
    c.PopGroupMatrix();
    const auto outlines = drawing.Finish();
    ASSERT_EQ(outlines.size(), 1u);
    ExpectPoints(outlines[0].points, {{0, 0}, {20, 0}});
    EXPECT_EQ(outlines[0].widths, (std::vector<double>{6.0, 6.0}));
}

TEST(PathWidth, GroupWidthStandsInForMissingElementWidth)
{
    CScratchDrawing drawing;
    drawing.converter.m_groupStrokeWidth = 1.5;
    drawing.converter.PathElement("scale(2,2)", "M 0 0 L 10 0", "", "", "");
    const auto outlines = drawing.Finish();
    ASSERT_EQ(outlines.size(), 1u);
    ExpectPoints(outlines[0].points, {{0, 0}, {20, 0}});
    EXPECT_EQ(outlines[0].widths, (std::vector<double>{3.0, 3.0}));
}

struct ScaleCase
{
    const char* name;
    CMatrix element;
    std::vector<CMatrix> groups; // outermost first
    double expected;             // for width 2
};

class StrokeScale : public ::testing::TestWithParam<ScaleCase>
{
};

TEST_P(StrokeScale, UsesElementAndEveryGroupMatrix)
{
    const ScaleCase& c = GetParam();
    CConverter converter;
    for (std::size_t i = 0; i < c.groups.size(); ++i)
        converter.m_matrixStack[i] = c.groups[i];
    converter.m_matrixDepth = static_cast<int>(c.groups.size());
    EXPECT_DOUBLE_EQ(converter.ScaleStrokeWidth(2.0, c.element), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Matrices, StrokeScale,
    ::testing::Values(
        ScaleCase{"Identity", CMatrix{}, {}, 2.0},
        ScaleCase{"UniformScale", CMatrix{3, 0, 0, 3, 7, 8}, {}, 6.0},
        ScaleCase{"QuarterTurn", CMatrix{0, 1, -1, 0, 0, 0}, {}, 2.0},
        ScaleCase{"UnevenScale", CMatrix{4, 0, 0, 9, 0, 0}, {}, 12.0},
        ScaleCase{"TwoGroups", CMatrix{}, {CMatrix{2, 0, 0, 2, 0, 0}, CMatrix{3, 0, 0, 3, 0, 0}}, 12.0},
        ScaleCase{"ElementAndGroup", CMatrix{2, 0, 0, 2, 0, 0}, {CMatrix{5, 0, 0, 5, 1, 1}}, 20.0}),
    [](const auto& row) { return std::string(row.param.name); });

struct EqualCase
{
    const char* name;
    double dx;
    double dy;
    int equal;
};

class PointEquality : public ::testing::TestWithParam<EqualCase>
{
};

TEST_P(PointEquality, IsADistanceBelowOneTenThousandth)
{
    const EqualCase& c = GetParam();
    CPointData a;
    a.x = 10;
    a.y = 20;
    CPointData b = a;
    b.x += c.dx;
    b.y += c.dy;
    EXPECT_EQ(CConverter::PointsEqual(a, b), c.equal);
}

INSTANTIATE_TEST_SUITE_P(Distances, PointEquality,
                         ::testing::Values(EqualCase{"Same", 0, 0, 1}, EqualCase{"JustInside", 0.00009, 0, 1},
                                           EqualCase{"Diagonal", 0.00006, 0.00006, 1},
                                           EqualCase{"AtTheLimit", 0, 0.00011, 0}, EqualCase{"Far", 1, 1, 0}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(PathDriver, AccumulateModeMarksSubpathEnds)
{
    CConverter c;
    CPointList points;
    c.ParsePath("", "M 0 0 L 10 0 z M 20 20 L 30 20 z m 1 1 l 1 0", points, nullptr);
    ASSERT_EQ(points.size(), 6u);
    EXPECT_EQ(points[1].endOfSubpath, 1);
    EXPECT_EQ(points[1].closed, 1);
    EXPECT_EQ(points[3].endOfSubpath, 1);
    EXPECT_EQ(points[3].closed, 1);
    EXPECT_EQ(points[5].endOfSubpath, 0);
    EXPECT_EQ(points[0].endOfSubpath + points[2].endOfSubpath + points[4].endOfSubpath, 0);
    // The relative moveto starts from its own subpath's start, not from the first point of the list.
    EXPECT_DOUBLE_EQ(points[4].x, 21.0);
    EXPECT_DOUBLE_EQ(points[4].y, 21.0);
}

TEST(PathDriver, LastCommandFollowsEveryStep)
{
    CConverter c;
    CPointList points;
    c.ParsePath("", "M 0 0 L 10 0 Q 1 2", points, nullptr);
    EXPECT_EQ(c.m_lastCommand, "Q"); // a skipped step is still the previous command
    c.ParsePath("", "M 0 0 10 10", points, nullptr);
    EXPECT_EQ(c.m_lastCommand, "L");
}

TEST(PathDriver, NonFiniteNumbersWriteNothingAndEnd)
{
    CScratchDrawing drawing;
    drawing.converter.PathElement("", "M 0 0 C 1e400 0 0 1e400 5 5 C 0 0 5 5 1e400 5", "", "", "");
    drawing.converter.PathElement("", "M 0 0 L 1e400 5 L 5 5", "", "", "");
    // Finite, but beyond what a DXF reader takes.
    drawing.converter.PathElement("", "M 0 0 L 5 2e15", "", "", "");
    drawing.converter.PathElement("", "M 0 0 L 5 5", "", "", "");
    const auto outlines = drawing.Finish();
    ASSERT_EQ(outlines.size(), 1u);
    ExpectPoints(outlines[0].points, {{0, 0}, {5, 5}});
}

TEST(PathDriver, ElementTransformMovesPoints)
{
    const auto outlines = DrawPath("M 0 0 L 10 0", "translate(5,7)");
    ASSERT_EQ(outlines.size(), 1u);
    ExpectPoints(outlines[0].points, {{5, 7}, {15, 7}});
}

// A subpath too long to keep as points is read twice, counted and then written: its polyline must
// come out as a short one would, with the count and closed flag first, whatever comes before and
// after it and wherever a number turns out not writable.
constexpr int kLongRun = 70000; // more points than a subpath keeps

// Point i of the long run: (i % 10, i / 1000).
std::string LongRun()
{
    std::string d;
    for (int i = 1; i <= kLongRun; ++i)
        d += " L" + std::to_string(i % 10) + " " + std::to_string(i / 1000) + "." +
             std::to_string(i % 1000 / 100) + std::to_string(i % 100 / 10) + std::to_string(i % 10);
    return d;
}

struct LongOutline
{
    int flags;
    std::size_t count;
    std::pair<double, double> first;
    std::pair<double, double> last;
};

struct LongCase
{
    const char* name;
    const char* before; // path data before the run, which ends at its last point
    const char* after;
    const char* transform;
    std::vector<LongOutline> outlines;
    bool twice = false; // the run a second time, from a moveto of its own, just after the first
};

class LongSubpaths : public ::testing::TestWithParam<LongCase>
{
};

TEST_P(LongSubpaths, WriteAsShortOnes)
{
    const LongCase& c = GetParam();
    const std::string run = LongRun();
    const auto outlines = DrawPath(c.before + run + (c.twice ? " M 0 0" + run : "") + c.after, c.transform);
    ASSERT_EQ(outlines.size(), c.outlines.size());
    for (std::size_t i = 0; i < outlines.size(); ++i)
    {
        SCOPED_TRACE("polyline " + std::to_string(i));
        EXPECT_EQ(outlines[i].flags, c.outlines[i].flags);
        ASSERT_EQ(outlines[i].points.size(), c.outlines[i].count);
        ExpectPoints({outlines[i].points.front(), outlines[i].points.back()},
                     {c.outlines[i].first, c.outlines[i].last});
    }
    // Vertices all through the run, in order (moved by the transform's offset).
    const auto offset = c.outlines[0].first;
    if (c.outlines.size() == 1 && c.outlines[0].count == kLongRun + 1)
        for (int i = 1; i <= kLongRun; i += 997)
            ExpectPoints({outlines[0].points[static_cast<std::size_t>(i)]},
                         {{offset.first + i % 10, offset.second + i / 1000.0}});
}

INSTANTIATE_TEST_SUITE_P(
    Runs, LongSubpaths,
    ::testing::Values(
        LongCase{"Open", "M 0 0", "", "", {{0, kLongRun + 1, {0, 0}, {0, 70}}}},
        LongCase{"ClosedThenRelativeMove",
                 "M 0 0",
                 " z m 5 5 l 1 0",
                 "",
                 {{1, kLongRun + 1, {0, 0}, {0, 70}}, {0, 2, {5, 5}, {6, 5}}}},
        LongCase{"BetweenShortSubpaths",
                 "M -5 -5 L -4 -4 M 0 0",
                 " M 3 3 L 4 4",
                 "",
                 {{0, 2, {-5, -5}, {-4, -4}}, {0, kLongRun + 1, {0, 0}, {0, 70}}, {0, 2, {3, 3}, {4, 4}}}},
        LongCase{"TwoInARow",
                 "M 0 0",
                 " z",
                 "",
                 {{0, kLongRun + 1, {0, 0}, {0, 70}}, {1, kLongRun + 1, {0, 0}, {0, 70}}},
                 true},
        LongCase{"UnwritableFront", "M 1e16 0 L 0 0", " M 1 1 L 2 2", "", {{0, 2, {1, 1}, {2, 2}}}},
        LongCase{"UnwritableEnd", "M 0 0", " L 1e16 0 M 1 1 L 2 2", "", {{0, 2, {1, 1}, {2, 2}}}},
        LongCase{"Transformed", "M 0 0", "", "translate(5,7)", {{0, kLongRun + 1, {5, 7}, {5, 77}}}}),
    [](const ::testing::TestParamInfo<LongCase>& row) { return std::string(row.param.name); });

} // namespace
