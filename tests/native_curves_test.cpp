// Curves written as curves: each kind of path curve must come back from both dxflib's reader and
// ezdxf with its defining points exactly as the drawing gives them (y flipped), the pieces of a
// closed subpath must meet on the very same numbers, and fills must take matching hatch edges.
#include "conversion/conversion.h"
#include "support/test_support.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <dl_creationadapter.h>
#include <dl_dxf.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#ifndef ORBELIN_PYTHON3
#define ORBELIN_PYTHON3 ""
#endif
#ifndef ORBELIN_EZDXF_AUDIT
#define ORBELIN_EZDXF_AUDIT ""
#endif
#ifndef ORBELIN_EZDXF_CURVES
#define ORBELIN_EZDXF_CURVES ""
#endif

namespace
{

using testing_support::ReadFile;
using testing_support::ScratchDir;
using testing_support::WriteFile;

constexpr double kPi = 3.141592653589793;

// One entity as its kind and defining numbers, in the order tests/ezdxf_curves.py prints them.
struct Curve
{
    std::string kind;
    std::vector<double> numbers;
};

// dxflib's reading of the curves, numbers in the same order as the ezdxf dump.
class CurveReader : public DL_CreationAdapter
{
  public:
    std::vector<Curve> curves;

    void addSpline(const DL_SplineData& data) override
    {
        Settle();
        curves.push_back({"SPLINE", {static_cast<double>(data.degree)}});
        m_inSpline = true;
    }
    void addKnot(const DL_KnotData& data) override { m_knots.push_back(data.k); }
    void addControlPoint(const DL_ControlPointData& data) override
    {
        m_controls.insert(m_controls.end(), {data.x, data.y});
    }
    void addPolyline(const DL_PolylineData& data) override
    {
        Settle();
        curves.push_back({"LWPOLYLINE", {static_cast<double>(data.flags & 1)}});
    }
    void addVertex(const DL_VertexData& data) override
    {
        curves.back().numbers.insert(curves.back().numbers.end(), {data.x, data.y, data.bulge});
    }
    void addEllipse(const DL_EllipseData& data) override
    {
        Settle();
        curves.push_back(
            {"ELLIPSE", {data.cx, data.cy, data.mx, data.my, data.ratio, data.angle1, data.angle2}});
    }
    void addLine(const DL_LineData&) override
    {
        Settle();
        curves.push_back({"LINE", {}});
    }
    void addHatch(const DL_HatchData&) override
    {
        Settle();
        curves.push_back({"HATCH", {}});
    }
    void addHatchEdge(const DL_HatchEdgeData& data) override
    {
        Curve edge{"EDGE", {static_cast<double>(data.type)}};
        if (data.type == 4)
        {
            edge.numbers.push_back(data.degree);
            edge.numbers.insert(edge.numbers.end(), data.knots.begin(), data.knots.end());
            for (const auto& p : data.controlPoints)
                edge.numbers.insert(edge.numbers.end(), {p[0], p[1]});
        }
        curves.push_back(edge);
    }
    // A spline's knots, then its control points, once all of them are read.
    void Settle()
    {
        if (m_inSpline)
        {
            std::vector<double>& numbers = curves.back().numbers;
            numbers.insert(numbers.end(), m_knots.begin(), m_knots.end());
            numbers.insert(numbers.end(), m_controls.begin(), m_controls.end());
        }
        m_inSpline = false;
        m_knots.clear();
        m_controls.clear();
    }

  private:
    std::vector<double> m_knots;
    std::vector<double> m_controls;
    bool m_inSpline = false;
};

std::filesystem::path ConvertNatively(const std::string& name, const std::string& body, bool exact,
                                      OutputUnits units = OutputUnits::None)
{
    const auto svg = ScratchDir() / (name + (exact ? "-exact" : "") + ".svg");
    const auto dxf = ScratchDir() / (name + (exact ? "-exact" : "") + ".dxf");
    WriteFile(svg,
              "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"200\" height=\"200\">" + body + "</svg>");
    ConversionRequest request;
    request.inputPath = svg.string();
    request.outputPath = dxf.string();
    request.exactSvg = exact;
    request.curves = CurveOutput::Native;
    request.units = units;
    EXPECT_TRUE(RunConversion(request).ok());
    return dxf;
}

std::vector<Curve> ReadWithDxflib(const std::filesystem::path& dxf)
{
    CurveReader reader;
    DL_Dxf dxfReader;
    std::ifstream in(dxf);
    EXPECT_TRUE(dxfReader.in(in, &reader));
    reader.Settle();
    return reader.curves;
}

// The ezdxf dump, or nothing (and skipped) without python3 and ezdxf.
bool ReadWithEzdxf(const std::filesystem::path& dxf, std::vector<Curve>& curves)
{
    const std::string python = ORBELIN_PYTHON3;
    if (python.empty())
        return false;
    const auto dump = dxf.string() + ".txt";
    const std::string command =
        "'" + python + "' '" + ORBELIN_EZDXF_CURVES + "' '" + dxf.string() + "' > '" + dump + "' 2>&1";
    const int status = std::system(command.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 77)
        return false;
    EXPECT_EQ(WEXITSTATUS(status), 0) << ReadFile(dump);
    std::istringstream lines(ReadFile(dump));
    std::string line;
    while (std::getline(lines, line))
    {
        std::istringstream words(line);
        Curve curve;
        words >> curve.kind;
        std::string word;
        if (curve.kind == "EDGE")
            words >> word;
        while (words >> word)
            curve.numbers.push_back(std::strtod(word.c_str(), nullptr));
        curves.push_back(curve);
    }
    return true;
}

struct CurveCase
{
    const char* name;
    const char* body;
    std::vector<Curve> expected; // the curves, numbers compared exactly unless within is set
    double within = 0.0;
    // The exact reading gives every stroke a width (1 by default), which a spline or an ellipse
    // cannot hold: only cases of lines and circular arcs come out the same in it.
    bool exactToo = false;
};

void ExpectCurves(const std::vector<Curve>& expected, const std::vector<Curve>& actual, double within,
                  const std::string& reader)
{
    ASSERT_EQ(actual.size(), expected.size()) << reader;
    for (std::size_t i = 0; i < expected.size(); ++i)
    {
        EXPECT_EQ(actual[i].kind, expected[i].kind) << reader << " entity " << i;
        ASSERT_EQ(actual[i].numbers.size(), expected[i].numbers.size()) << reader << " entity " << i;
        for (std::size_t k = 0; k < expected[i].numbers.size(); ++k)
        {
            // A bulge is the tangent of a computed angle: it is compared to the last few bits.
            const bool bulge = expected[i].kind == "LWPOLYLINE" && k > 0 && k % 3 == 0;
            if (bulge)
                EXPECT_NEAR(actual[i].numbers[k], expected[i].numbers[k], 1e-14)
                    << reader << " bulge of entity " << i << " #" << k;
            else if (within == 0.0)
                EXPECT_EQ(actual[i].numbers[k], expected[i].numbers[k])
                    << reader << " entity " << i << " #" << k;
            else
                EXPECT_NEAR(actual[i].numbers[k], expected[i].numbers[k], within)
                    << reader << " entity " << i << " #" << k;
        }
    }
}

class NativeCurveTest : public ::testing::TestWithParam<CurveCase>
{
};

TEST_P(NativeCurveTest, ReadsBackExactly)
{
    const CurveCase& c = GetParam();
    for (const bool exact : {false, true})
    {
        if (exact && !c.exactToo)
            continue;
        const auto dxf = ConvertNatively(c.name, c.body, exact);
        ExpectCurves(c.expected, ReadWithDxflib(dxf), c.within, exact ? "dxflib --exact" : "dxflib");
    }
    std::vector<Curve> ezdxfCurves;
    if (!ReadWithEzdxf(ConvertNatively(c.name, c.body, false), ezdxfCurves))
        GTEST_SKIP() << "ezdxf is not installed";
    ExpectCurves(c.expected, ezdxfCurves, c.within, "ezdxf");
}

const double kQuarterBulge = std::tan(kPi / 8.0);
const double kHalfBulge = std::tan(kPi / 4.0);

INSTANTIATE_TEST_SUITE_P(
    Kinds, NativeCurveTest,
    ::testing::Values(
        CurveCase{"Cubic",
                  R"svg(<path d="M10 10 C 20 0 30 20 40 10" stroke="black" fill="none"/>)svg",
                  {{"SPLINE", {3, 0, 0, 0, 0, 1, 1, 1, 1, 10, 190, 20, 200, 30, 180, 40, 190}}}},
        // A smooth quadratic mirrors the control point before it.
        CurveCase{"QuadraticRun",
                  R"svg(<path d="M10 50 Q 25 30 40 50 T 70 50" stroke="black" fill="none"/>)svg",
                  {{"SPLINE", {2, 0, 0, 0, 1, 1, 2, 2, 2, 10, 150, 25, 170, 40, 150, 55, 130, 70, 150}}}},
        // A quadratic among cubics is raised to the cubic of the same curve: one spline for the run.
        CurveCase{"MixedRun",
                  R"svg(<path d="M0 0 Q 30 0 30 30 C 30 60 60 60 60 30" stroke="black" fill="none"/>)svg",
                  {{"SPLINE", {3,   0,  0,   0,  0,   1,  1,   1,  2,   2,  2,   2,  0,
                               200, 20, 200, 30, 190, 30, 170, 30, 140, 60, 140, 60, 170}}}},
        // The y flip turns the sweep's direction: clockwise in the drawing's frame.
        CurveCase{"CircularArc",
                  R"svg(<path d="M10 90 A 20 20 0 0 1 50 90" stroke="black" fill="none"/>)svg",
                  {{"LWPOLYLINE", {0, 10, 110, -kHalfBulge, 50, 110, 0}}},
                  0.0,
                  true},
        // More than half a turn goes in two bulges.
        CurveCase{"LargeCircularArc",
                  R"svg(<path d="M100 100 A 50 50 0 1 0 150 50" stroke="black" fill="none"/>)svg",
                  {{"LWPOLYLINE",
                    {0, 100, 100, std::tan(3 * kPi / 16), 150 + 50 * std::cos(kPi / 4),
                     200 - (100 + 50 * std::sin(kPi / 4)), std::tan(3 * kPi / 16), 150, 150, 0}}},
                  1e-12,
                  true},
        CurveCase{"EllipticalArc",
                  R"svg(<path d="M10 130 A 30 15 0 0 1 70 130" stroke="black" fill="none"/>)svg",
                  {{"ELLIPSE", {40, 70, 30, 0, 0.5, 0, kPi}}},
                  1e-12},
        // Rounded corners of equal radii are bulges of one closed polyline.
        CurveCase{
            "RoundedRectanglePath",
            R"svg(<path d="M20 10 H80 A10 10 0 0 1 90 20 V40 A10 10 0 0 1 80 50 H20 A10 10 0 0 1 10 40 V20 A10 10 0 0 1 20 10 Z" stroke="black" fill="none"/>)svg",
            {{"LWPOLYLINE",
              {1,
               20,
               190,
               0,
               80,
               190,
               -kQuarterBulge,
               90,
               180,
               0,
               90,
               160,
               -kQuarterBulge,
               80,
               150,
               0,
               20,
               150,
               -kQuarterBulge,
               10,
               160,
               0,
               10,
               180,
               -kQuarterBulge}}},
            0.0,
            true},
        // A rounded rectangle: equal radii are bulges of one closed polyline, unequal ones ellipse arcs.
        CurveCase{
            "RoundedRectangle",
            R"svg(<rect x="10" y="10" width="60" height="40" rx="10" ry="10" stroke="black" fill="none"/>)svg",
            {{"LWPOLYLINE",
              {1,
               20,
               190,
               0,
               60,
               190,
               -kQuarterBulge,
               70,
               180,
               0,
               70,
               160,
               -kQuarterBulge,
               60,
               150,
               0,
               20,
               150,
               -kQuarterBulge,
               10,
               160,
               0,
               10,
               180,
               -kQuarterBulge}}},
            0.0,
            true},
        CurveCase{
            "RoundedRectangleUnequal",
            R"svg(<rect x="10" y="10" width="60" height="40" rx="10" ry="5" stroke="black" fill="none"/>)svg",
            {{"LWPOLYLINE", {0, 20, 190, 0, 60, 190, 0}},
             {"ELLIPSE", {60, 185, 10, 0, 0.5, 0, kPi / 2}},
             {"LWPOLYLINE", {0, 70, 185, 0, 70, 155, 0}},
             {"ELLIPSE", {60, 155, 10, 0, 0.5, 3 * kPi / 2, 2 * kPi}},
             {"LWPOLYLINE", {0, 60, 150, 0, 20, 150, 0}},
             {"ELLIPSE", {20, 155, 10, 0, 0.5, kPi, 3 * kPi / 2}},
             {"LWPOLYLINE", {0, 10, 155, 0, 10, 185, 0}},
             {"ELLIPSE", {20, 185, 10, 0, 0.5, kPi / 2, kPi}}},
            1e-12},
        // A closed subpath of lines, a cubic and an arc: its pieces in order, end to end.
        CurveCase{
            "ClosedMixedSubpath",
            R"svg(<path d="M100 10 L 150 10 C 160 20 160 40 150 50 L 100 50 A 20 20 0 0 1 100 10 Z" stroke="black" fill="none"/>)svg",
            {{"LWPOLYLINE", {0, 100, 190, 0, 150, 190, 0}},
             {"SPLINE", {3, 0, 0, 0, 0, 1, 1, 1, 1, 150, 190, 160, 180, 160, 160, 150, 150}},
             {"LWPOLYLINE", {0, 150, 150, 0, 100, 150, -kHalfBulge, 100, 190, 0}}}},
        // Degenerate curves: a cubic that never leaves its start is a zero-length line.
        CurveCase{"PointCubic",
                  R"svg(<path d="M5 5 C 5 5 5 5 5 5 L 10 5" stroke="black" fill="none"/>)svg",
                  {{"LWPOLYLINE", {0, 5, 195, 0, 5, 195, 0, 10, 195, 0}}}}),
    [](const auto& row) { return std::string(row.param.name); });

// The joints of a closed mixed subpath: every piece starts on the very numbers the one before it
// ends on, and the last ends on the first's start.
TEST(NativeCurveJoints, PiecesMeetOnTheSameNumbers)
{
    const auto dxf = ConvertNatively(
        "Joints",
        R"svg(<path transform="rotate(17) scale(1.3)" d="M100.1 10.7 L 150.3 10.1 C 160.9 20.2 160.4 40.6 150.2 50.8 Q 120 70 100.3 50.1 A 20.5 20.5 0 0 1 100.1 10.7 Z" stroke="black" fill="none"/>)svg",
        false);
    const std::vector<Curve> curves = ReadWithDxflib(dxf);
    ASSERT_GE(curves.size(), 3u);
    std::vector<std::pair<std::pair<double, double>, std::pair<double, double>>> ends;
    for (const Curve& c : curves)
    {
        const std::vector<double>& n = c.numbers;
        if (c.kind == "LWPOLYLINE")
            ends.push_back({{n[1], n[2]}, {n[n.size() - 3], n[n.size() - 2]}});
        else if (c.kind == "SPLINE")
        {
            // degree, then control count + degree + 1 knots, then x and y of each control point
            const auto degree = static_cast<std::size_t>(n[0]);
            const std::size_t controls = (n.size() - degree - 2) / 3;
            const std::size_t first = 1 + controls + degree + 1;
            ends.push_back({{n[first], n[first + 1]}, {n[n.size() - 2], n[n.size() - 1]}});
        }
        else
            ADD_FAILURE() << "unexpected " << c.kind;
    }
    for (std::size_t i = 0; i < ends.size(); ++i)
    {
        const auto& next = ends[(i + 1) % ends.size()].first;
        EXPECT_EQ(ends[i].second.first, next.first) << "joint after piece " << i;
        EXPECT_EQ(ends[i].second.second, next.second) << "joint after piece " << i;
    }
}

// A filled path: one hatch whose boundary has line, spline, elliptical and circular arc edges,
// which ezdxf's audit accepts.
TEST(NativeCurveHatch, EdgesOfEachKind)
{
    const auto dxf = ConvertNatively(
        "Hatch",
        R"svg(<path d="M100 100 L 150 100 C 160 120 160 140 150 150 A 30 20 0 0 1 120 150 L 100 150 A 25 25 0 0 1 100 100 Z" fill="red"/>)svg",
        false);
    const std::vector<Curve> curves = ReadWithDxflib(dxf);
    std::vector<int> edgeTypes;
    for (const Curve& c : curves)
        if (c.kind == "EDGE")
            edgeTypes.push_back(static_cast<int>(c.numbers[0]));
    // 1 line, 2 circular arc, 3 elliptical arc, 4 spline
    EXPECT_EQ(edgeTypes, (std::vector<int>{1, 4, 3, 1, 2}));
    for (const Curve& c : curves)
    {
        if (c.kind == "EDGE" && c.numbers[0] == 4)
        {
            EXPECT_EQ(c.numbers, (std::vector<double>{4, 3, 0, 0, 0, 0, 1, 1, 1, 1, 150, 100, 160, 80, 160,
                                                      60, 150, 50}));
        }
    }

    const std::string python = ORBELIN_PYTHON3;
    if (python.empty())
        GTEST_SKIP() << "python3 is not installed";
    const auto report = dxf.string() + ".audit";
    const std::string command =
        "'" + python + "' '" + ORBELIN_EZDXF_AUDIT + "' '" + dxf.string() + "' > '" + report + "' 2>&1";
    const int status = std::system(command.c_str());
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code == 77)
        GTEST_SKIP() << "ezdxf is not installed";
    EXPECT_EQ(code, 0) << ReadFile(report);

    std::vector<Curve> ezdxfCurves;
    ASSERT_TRUE(ReadWithEzdxf(dxf, ezdxfCurves));
    ASSERT_GE(ezdxfCurves.size(), 6u);
    // The arc edges as ezdxf takes them: counter-clockwise ranges, in degrees, with their turn.
    const Curve& ellipse = ezdxfCurves[3];
    const Curve& circle = ezdxfCurves[5];
    ASSERT_EQ(ellipse.numbers.size(), 8u);
    EXPECT_NEAR(ellipse.numbers[0], 135.0, 1e-9); // centre between (150, 50) and (120, 50)
    EXPECT_NEAR(ellipse.numbers[1], 50.0 + 20.0 * std::sqrt(1.0 - 0.25), 1e-9);
    ASSERT_EQ(circle.numbers.size(), 6u);
    EXPECT_NEAR(circle.numbers[0], 100.0, 1e-9);
    EXPECT_NEAR(circle.numbers[1], 75.0, 1e-9);
    EXPECT_NEAR(circle.numbers[2], 25.0, 1e-9);
    EXPECT_NEAR(circle.numbers[3], 90.0, 1e-9);
    EXPECT_NEAR(circle.numbers[4], 270.0, 1e-9);
    EXPECT_EQ(circle.numbers[5], 0.0);
}

// A stroke width stays on the curve: a polyline of arcs (which hold widths) follows it closely,
// and its last vertex is the curve's own end.
TEST(NativeCurveWidth, WideCurveIsAPolylineOfArcs)
{
    const auto dxf = ConvertNatively(
        "Wide",
        R"svg(<path d="M10 10 C 40 -20 70 40 100 10 L 120 10" style="stroke:black;stroke-width:3;fill:none"/>)svg",
        false);
    const std::vector<Curve> curves = ReadWithDxflib(dxf);
    ASSERT_EQ(curves.size(), 1u);
    ASSERT_EQ(curves[0].kind, "LWPOLYLINE");
    const std::vector<double>& n = curves[0].numbers;
    ASSERT_GE(n.size(), 1u + 3u * 4u);
    EXPECT_EQ(n[1], 10.0);
    EXPECT_EQ(n[2], 190.0);
    EXPECT_EQ(n[n.size() - 6], 100.0);
    EXPECT_EQ(n[n.size() - 5], 190.0);
    EXPECT_EQ(n[n.size() - 3], 120.0);
    // Fewer vertices than the flattened curve has, and arcs among them.
    EXPECT_LT(n.size() / 3, 20u);
    bool bulged = false;
    for (std::size_t i = 3; i < n.size(); i += 3)
        bulged = bulged || n[i] != 0.0;
    EXPECT_TRUE(bulged);
    const std::string widths = ReadFile(dxf);
    EXPECT_NE(widths.find(" 40\n3.0\n 41\n3.0\n"), std::string::npos);
}

// Splines, ellipse arcs and hatch edges are written in the output unit like every other entity.
TEST(NativeCurveUnits, CurvesTakeTheOutputUnit)
{
    const auto dxf =
        ConvertNatively("Units",
                        R"svg(<path d="M96 96 C 192 0 288 192 384 96" stroke="black" fill="none"/>)svg"
                        R"svg(<path d="M0 192 A 96 48 0 0 1 192 192" stroke="black" fill="none"/>)svg"
                        R"svg(<path d="M0 0 Q 96 0 96 96 A 48 48 0 0 1 0 0 Z" fill="red"/>)svg",
                        false, OutputUnits::Inches);
    const std::vector<Curve> curves = ReadWithDxflib(dxf);
    ASSERT_EQ(curves.size(), 5u); // spline, ellipse, hatch and its two edges
    const std::vector<double> spline{3, 0,          0, 0,          0, 1,        1, 1,         1,
                                     1, 104.0 / 96, 2, 200.0 / 96, 3, 8.0 / 96, 4, 104.0 / 96};
    ASSERT_EQ(curves[0].numbers.size(), spline.size());
    for (std::size_t k = 0; k < spline.size(); ++k)
        EXPECT_NEAR(curves[0].numbers[k], spline[k], 1e-12) << k;
    ASSERT_EQ(curves[1].kind, "ELLIPSE");
    EXPECT_NEAR(curves[1].numbers[0], 1.0, 1e-12);
    EXPECT_NEAR(curves[1].numbers[1], 8.0 / 96, 1e-12);
    EXPECT_NEAR(curves[1].numbers[2], 1.0, 1e-12);
    EXPECT_EQ(curves[1].numbers[4], 0.5);
    ASSERT_EQ(curves[3].kind, "EDGE");
    EXPECT_EQ(curves[3].numbers[0], 4.0);
    EXPECT_NEAR(curves[3].numbers.back(), 104.0 / 96, 1e-12); // the quadratic ends at (96, 96)
    EXPECT_EQ(curves[4].numbers[0], 2.0);
}

// The option's names, as the command line and the settings read them.
TEST(CurveOutputNames, ReadAndNamed)
{
    struct Row
    {
        const char* text;
        bool ok;
        CurveOutput curves;
    };
    for (const Row& row : {Row{"flatten", true, CurveOutput::Flatten},
                           Row{"native", true, CurveOutput::Native}, Row{"NATIVE", true, CurveOutput::Native},
                           Row{"", false, CurveOutput::Flatten}, Row{"splines", false, CurveOutput::Flatten}})
    {
        CurveOutput curves = CurveOutput::Flatten;
        EXPECT_EQ(ParseCurveOutput(row.text, curves), row.ok) << row.text;
        EXPECT_EQ(curves, row.curves) << row.text;
    }
    EXPECT_STREQ(CurveOutputName(CurveOutput::Native), "native");
    EXPECT_STREQ(CurveOutputName(CurveOutput::Flatten), "flatten");
}

} // namespace
