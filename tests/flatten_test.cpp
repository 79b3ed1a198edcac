// Cubic, quadratic and arc flattening.
#include "geometry/flatten.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace
{

// Subdivision with no depth bound and no guard, as the flatness rule alone defines it; the bounded
// flattener must give the same points for every drawing a user can make.
void ReferenceCubic(double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3,
                    int depth, int& maxDepth, CPointList& points)
{
    maxDepth = std::max(maxDepth, depth);
    const double dx = x0 - x3;
    const double dy = y3 - y0;
    const double c = (x3 - x0) * y0 - dy * x0;
    const double tau = (dx * dx + dy * dy) / 60.0;
    if (tau == 0.0)
        return;
    const double e1 = dy * x1 + dx * y1 + c;
    const double e2 = dy * x2 + dx * y2 + c;
    if (e1 * e1 < tau && e2 * e2 < tau)
    {
        points.push_back({x0, y0, 0, 0});
        points.push_back({x3, y3, 0, 0});
        return;
    }
    const double mx = (x0 + 3.0 * x1 + 3.0 * x2 + x3) * 0.125;
    const double my = (y0 + 3.0 * y1 + 3.0 * y2 + y3) * 0.125;
    ReferenceCubic(x0, y0, (x0 + x1) * 0.5, (y0 + y1) * 0.5, (x0 + 2.0 * x1 + x2) * 0.25,
                   (y0 + 2.0 * y1 + y2) * 0.25, mx, my, depth + 1, maxDepth, points);
    ReferenceCubic(mx, my, (x1 + 2.0 * x2 + x3) * 0.25, (y1 + 2.0 * y2 + y3) * 0.25, (x2 + x3) * 0.5,
                   (y2 + y3) * 0.5, x3, y3, depth + 1, maxDepth, points);
}

struct CubicCase
{
    const char* name;
    double c[8];
};

class CubicReferenceTest : public ::testing::TestWithParam<CubicCase>
{
};

TEST_P(CubicReferenceTest, MatchesUnboundedSubdivision)
{
    const double* c = GetParam().c;
    CPointList expected;
    int maxDepth = 0;
    ReferenceCubic(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], 0, maxDepth, expected);
    CPointList actual;
    FlattenCubic(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], actual);
    EXPECT_LT(maxDepth, kMaxCubicDepth);
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i)
    {
        EXPECT_EQ(actual[i].x, expected[i].x) << i;
        EXPECT_EQ(actual[i].y, expected[i].y) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Drawings, CubicReferenceTest,
    ::testing::Values(CubicCase{"SmallArc", {0, 0, 5, 10, 15, 10, 20, 0}},
                      CubicCase{"LargeSCurve", {0, 0, 100000, 0, 0, 100000, 100000, 100000}},
                      CubicCase{"LargeLoop", {0, 0, 100000, 100000, -100000, 100000, 0, 1}},
                      CubicCase{"NearlyClosedLoop", {500, 500, 1500, -500, -500, -500, 500, 500.000001}},
                      CubicCase{"Cusp", {0, 0, 1000, 1000, 0, 1000, 1000, 0}},
                      CubicCase{"ControlsOnEndPoints", {10, 10, 10, 10, 90000, 40000, 90000, 40000}},
                      CubicCase{"NearlyStraightLong",
                                {-100000, -100000, -33333, -33333.2, 33333, 33333.3, 100000, 100000}},
                      CubicCase{"Tiny", {0.001, 0.001, 0.002, 0.003, 0.004, 0.003, 0.005, 0.001}},
                      CubicCase{"FarFromOrigin", {99990, 99990, 99995, 100000, 100000, 99995, 99999, 99990}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CubicTest, StraightSegmentIsOnePiece)
{
    CPointList points;
    FlattenCubic(0, 0, 30, 15, 60, 30, 100, 50, points);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0].x, 0);
    EXPECT_EQ(points[1].x, 100);
    EXPECT_EQ(points[1].y, 50);
    EXPECT_EQ(points[1].closed + points[1].endOfSubpath, 0);
}

TEST(CubicTest, ClosedLoopAppendsNothing)
{
    CPointList points;
    FlattenCubic(10, 10, 100, 0, 100, 100, 10, 10, points);
    EXPECT_TRUE(points.empty());
}

TEST(CubicTest, FlatnessToleranceIsAbsolute)
{
    CPointList flat;
    FlattenCubic(0, 0, 3, 0.12, 7, -0.12, 10, 0, flat);
    EXPECT_EQ(flat.size(), 2u);

    // Split once; both halves are flat and the junction appears twice.
    CPointList split;
    FlattenCubic(0, 0, 3, 0.13, 7, 0.12, 10, 0, split);
    ASSERT_EQ(split.size(), 4u);
    EXPECT_EQ(split[1].x, 5);
    EXPECT_EQ(split[1].y, 0.09375);
    EXPECT_EQ(split[2].x, split[1].x);
    EXPECT_EQ(split[2].y, split[1].y);
}

TEST(CubicTest, UnusableCoordinatesEnd)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double cases[][8] = {{0, 0, inf, 0, 0, 0, 10, 0},
                               {0, 0, nan, 0, 0, 0, 10, 0},
                               {inf, 0, 0, 0, 0, 0, 10, 0},
                               {0, 0, 1e300, 1e300, 0, 0, 10, 0},
                               {0, 0, 0, 1e15, 10, 1e15, 10, 0}};
    for (const auto& c : cases)
    {
        CPointList points;
        FlattenCubic(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], points);
        EXPECT_LE(points.size(), std::size_t{2} << kMaxCubicDepth) << c[2] << ' ' << c[3];
    }
}

TEST(QuadraticTest, SixSinglePrecisionSamples)
{
    // With the control point halfway, x is t itself: the samples show the single-precision steps.
    CPointList points;
    FlattenQuadratic(0, 123456.789, 0.5, 123456.789, 1, 123456.789, points);
    ASSERT_EQ(points.size(), 6u);
    const double steps[] = {0, 0.2, 0.4, 0.6000000238418579, 0.800000011920929, 1.0};
    for (std::size_t i = 0; i < 6; ++i)
    {
        EXPECT_NEAR(points[i].x, steps[i], 1e-7) << i;
        EXPECT_EQ(points[i].x, static_cast<double>(static_cast<float>(points[i].x))) << i;
        EXPECT_EQ(points[i].y, static_cast<double>(static_cast<float>(points[i].y))) << i;
        EXPECT_NEAR(points[i].y, 123456.789, 0.02) << i;
    }
    // The end samples are the end points, to single precision only.
    EXPECT_EQ(points[0].y, static_cast<double>(123456.789f));
    EXPECT_EQ(points[5].y, static_cast<double>(123456.789f));
    EXPECT_NE(points[0].y, 123456.789);
}

// From (0, 0) to (100, 0) with radius 10: the radii grow to 50, a half circle about (50, 0).
struct ArcCase
{
    const char* name;
    ArcEndpoints arc;
    int result;
    double middleX, middleY;
};

class ArcTest : public ::testing::TestWithParam<ArcCase>
{
};

TEST_P(ArcTest, SamplesHalfCircle)
{
    const ArcCase& c = GetParam();
    ArcCenterForm centre;
    EXPECT_EQ(ArcCenter(0, 0, c.arc, centre), c.result);
    CPointList points;
    FlattenArc(0, 0, c.arc, points);
    ASSERT_EQ(points.size(), c.result == 0 ? 21u : 1u);
    EXPECT_EQ(points.back().x, c.arc.x);
    EXPECT_EQ(points.back().y, c.arc.y);
    if (c.result != 0)
        return;
    EXPECT_NEAR(points[0].x, 0, 1e-9);
    EXPECT_NEAR(points[0].y, 0, 1e-9);
    EXPECT_NEAR(points[10].x, c.middleX, 1e-9);
    EXPECT_NEAR(points[10].y, c.middleY, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Arcs, ArcTest,
    ::testing::Values(
        ArcCase{"FlagsClear", {10, 10, 0, 0, 0, 100, 0}, 0, 50, 50},
        ArcCase{"Sweep", {10, 10, 0, 0, 1, 100, 0}, 0, 50, -50},
        ArcCase{"NegativeRadii", {-10, -10, 0, 0, 0, 100, 0}, 0, 50, 50},
        ArcCase{"RotatedAndGrown", {50, 25, 90, 0, 0, 100, 0}, 0, 50, 100},
        ArcCase{"ZeroRadius", {0, 50, 0, 0, 1, 100, 0}, 2, 0, 0},
        ArcCase{"EndIsStart", {10, 10, 0, 0, 1, 0, 0}, 1, 0, 0},
        ArcCase{"EndTooCloseToTell", {10, 10, 0, 0, 1, 1e-320, 0}, 3, 0, 0},
        ArcCase{"NonFiniteRadius", {std::numeric_limits<double>::quiet_NaN(), 10, 0, 0, 1, 100, 0}, 3, 0, 0}),
    [](const auto& row) { return std::string(row.param.name); });

// The four flag combinations pick the four arcs through (0, 0) and (10, 0) with radius 10.
TEST(ArcCenterTest, FlagsPickArc)
{
    const double h = 5 * std::sqrt(3.0);
    const struct
    {
        int largeArc, sweep;
        double cy, theta1, deltaTheta;
    } rows[] = {{0, 0, -h, 120, -60}, {1, 1, -h, 120, 300}, {1, 0, h, -120, -300}, {0, 1, h, -120, 60}};
    for (const auto& row : rows)
    {
        ArcEndpoints arc;
        arc.rx = arc.ry = 10;
        arc.largeArc = row.largeArc;
        arc.sweep = row.sweep;
        arc.x = 10;
        ArcCenterForm centre;
        ASSERT_EQ(ArcCenter(0, 0, arc, centre), 0);
        EXPECT_NEAR(centre.cx, 5, 1e-9);
        EXPECT_NEAR(centre.cy, row.cy, 1e-9);
        EXPECT_NEAR(centre.theta1, row.theta1, 1e-9);
        EXPECT_NEAR(centre.deltaTheta, row.deltaTheta, 1e-9);
    }
}

} // namespace
