// Markers at path ends: lookup, placement, turning, and that a marker never draws markers.
#include "support/test_support.h"
#include "svg/converter.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

using namespace testing_support;

namespace
{

constexpr double kHeight = 100.0;
constexpr const char* kArrow = "M 0 0 L -10 5 L -10 -5 z";

using Points = std::vector<std::pair<double, double>>; // SVG coordinates

struct Outline
{
    int flags = 0;
    Points points;
    std::vector<double> widths;
};

class CScratchDrawing
{
  public:
    CScratchDrawing()
    {
        static int counter = 0;
        m_path = (ScratchDir() / ("marker-" + std::to_string(counter++) + ".dxf")).string();
        converter.m_docHeight = kHeight;
        m_begun = converter.BeginDxfDocument(m_path) == 0;
    }

    void AddMarker(const std::string& id, const std::string& d, const std::string& refX = "",
                   const std::string& refY = "", const std::string& transform = "")
    {
        CMarkdata marker;
        marker.id = id;
        marker.refX = refX;
        marker.refY = refY;
        marker.pathData = d;
        marker.pathTransform = transform;
        converter.m_markers.push_back(marker);
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

void ExpectPoints(const Points& actual, const Points& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i)
    {
        EXPECT_NEAR(actual[i].first, expected[i].first, 1e-9) << "vertex " << i;
        EXPECT_NEAR(actual[i].second, expected[i].second, 1e-9) << "vertex " << i;
    }
}

struct PlacementCase
{
    const char* name;
    const char* pathD;
    const char* markerStart;
    const char* markerEnd;
    Points marker; // the marker polyline's vertices, SVG coordinates
};

class MarkerPlacement : public ::testing::TestWithParam<PlacementCase>
{
};

TEST_P(MarkerPlacement, PlacesAndTurnsTheMarker)
{
    const PlacementCase& c = GetParam();
    CScratchDrawing drawing;
    drawing.AddMarker("arrow", kArrow);
    drawing.converter.PathElement("", c.pathD, "", c.markerStart, c.markerEnd);
    const auto outlines = drawing.Finish();
    ASSERT_EQ(outlines.size(), 2u);
    EXPECT_EQ(outlines[1].flags, 0); // a marker is always open, even when its path closes
    ExpectPoints(outlines[1].points, c.marker);
}

INSTANTIATE_TEST_SUITE_P(
    Directions, MarkerPlacement,
    ::testing::Values(
        PlacementCase{"EndAlongX", "M 0 0 L 100 0", "", "url(#arrow)", {{100, 0}, {90, 5}, {90, -5}}},
        PlacementCase{"EndReversed", "M 100 0 L 0 0", "", "url(#arrow)", {{0, 0}, {10, -5}, {10, 5}}},
        PlacementCase{"EndDownwards", "M 0 0 L 0 50", "", "url(#arrow)", {{0, 50}, {-5, 40}, {5, 40}}},
        PlacementCase{"StartAtFirstVertex", "M 10 0 L 100 0", "url(#arrow)", "", {{10, 0}, {0, 5}, {0, -5}}},
        PlacementCase{
            "ReferenceIsTrimmed", "M 0 0 L 100 0", "", "  url(#arrow)\t", {{100, 0}, {90, 5}, {90, -5}}},
        // The last two points coincide: the direction comes from the third-to-last point.
        PlacementCase{
            "EndFromThirdToLast", "M 100 0 L 0 0 L 0 0", "", "url(#arrow)", {{0, 0}, {10, -5}, {10, 5}}},
        PlacementCase{
            "StartFromThird", "M 100 0 L 100 0 L 0 0", "url(#arrow)", "", {{100, 0}, {110, -5}, {110, 5}}},
        // Two points only: no fall-back, a zero direction leaves the marker unturned.
        PlacementCase{
            "TwoEqualPointsUnturned", "M 100 0 L 100 0", "", "url(#arrow)", {{100, 0}, {90, 5}, {90, -5}}}),
    [](const auto& row) { return std::string(row.param.name); });

struct NothingCase
{
    const char* name;
    const char* reference;
    const char* markerD;
};

class MarkerNothing : public ::testing::TestWithParam<NothingCase>
{
};

TEST_P(MarkerNothing, DrawsOnlyThePath)
{
    const NothingCase& c = GetParam();
    CScratchDrawing drawing;
    drawing.AddMarker("arrow", c.markerD);
    drawing.converter.PathElement("", "M 0 0 L 100 0", "", c.reference, c.reference);
    EXPECT_EQ(drawing.Finish().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(References, MarkerNothing,
                         ::testing::Values(NothingCase{"None", "none", kArrow},
                                           NothingCase{"Empty", "", kArrow},
                                           NothingCase{"Blank", "   ", kArrow},
                                           NothingCase{"UnknownId", "url(#circle)", kArrow},
                                           NothingCase{"SinglePointMarker", "url(#arrow)", "M 5 5"},
                                           NothingCase{"EmptyMarkerPath", "url(#arrow)", ""}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(MarkerLookup, FirstIdContainedInReferenceWins)
{
    CConverter c;
    CMarkdata a;
    a.id = "a";
    a.pathData = "M 0 0 L 1 0";
    CMarkdata arrow;
    arrow.id = "arrow";
    arrow.pathData = kArrow;
    CMarkdata found;

    c.m_markers = {a, arrow};
    ASSERT_EQ(c.FindMarker("url(#arrow)", found), 1);
    EXPECT_EQ(found.id, "a");

    c.m_markers = {arrow, a};
    ASSERT_EQ(c.FindMarker("url(#arrow)", found), 1);
    EXPECT_EQ(found.id, "arrow");
    EXPECT_EQ(found.pathData, kArrow);

    EXPECT_EQ(c.FindMarker("url(#bow)", found), 0);
}

TEST(MarkerShape, OffsetsAreAddedUnturned)
{
    CScratchDrawing drawing;
    drawing.AddMarker("m", "M 0 0 L 10 0", "2", "3");
    drawing.converter.PathElement("", "M 100 0 L 0 0", "", "", "url(#m)");
    const auto outlines = drawing.Finish();
    ASSERT_EQ(outlines.size(), 2u);
    ExpectPoints(outlines[1].points, {{2, 3}, {-8, 3}});
}

TEST(MarkerShape, MarkerTransformScalesPointsAndWidth)
{
    CScratchDrawing drawing;
    drawing.converter.m_elementStrokeWidth = 1.5;
    drawing.AddMarker("m", "M 0 0 L 10 0", "", "", "scale(2,2)");
    drawing.converter.PathElement("", "M 0 0 L 100 0", "", "", "url(#m)");
    const auto outlines = drawing.Finish();
    ASSERT_EQ(outlines.size(), 2u);
    ExpectPoints(outlines[1].points, {{100, 0}, {120, 0}});
    EXPECT_EQ(outlines[1].widths, (std::vector<double>{3.0, 3.0}));
}

TEST(MarkerShape, GroupMatricesPlaceTheAnchorOnly)
{
    CScratchDrawing drawing;
    CConverter& c = drawing.converter;
    drawing.AddMarker("m", "M 0 0 L 10 0");
    c.PushGroupMatrix();
    c.ParseGroupTransform("translate(5,5) scale(2,2)");
    c.PathElement("", "M 0 0 L 10 0", "", "", "url(#m)");
    c.PopGroupMatrix();
    const auto outlines = drawing.Finish();
    ASSERT_EQ(outlines.size(), 2u);
    ExpectPoints(outlines[0].points, {{5, 5}, {25, 5}});
    ExpectPoints(outlines[1].points, {{25, 5}, {35, 5}});
}

// Each subpath of the marker is placed; none goes to the outline writer, which would draw markers again.
TEST(MarkerShape, EverySubpathIsPlaced)
{
    CScratchDrawing drawing;
    drawing.AddMarker("bars", "M 0 0 L 0 10 M 5 0 L 5 10");
    drawing.converter.PathElement("", "M 0 0 L 100 0", "", "", "url(#bars)");
    const auto outlines = drawing.Finish();
    ASSERT_EQ(outlines.size(), 3u);
    ExpectPoints(outlines[1].points, {{100, 0}, {100, 10}});
    ExpectPoints(outlines[2].points, {{105, 0}, {105, 10}});
}

TEST(MarkerShape, MarkerCloseDoesNotCloseTheCarriersNextSubpath)
{
    CScratchDrawing drawing;
    drawing.AddMarker("arrow", kArrow);
    drawing.converter.PathElement("", "M 0 0 L 10 0 M 20 0 L 30 0 L 30 10 M 50 50 L 60 60", "", "",
                                  "url(#arrow)");
    const auto outlines = drawing.Finish();
    ASSERT_EQ(outlines.size(), 6u); // three subpaths, each with its end marker
    EXPECT_EQ(outlines[0].flags, 0);
    EXPECT_EQ(outlines[2].flags, 0);
    EXPECT_EQ(outlines[4].flags, 0);
}

TEST(MarkerShape, MarkersFollowEverySubpathOfTheCarrier)
{
    CScratchDrawing drawing;
    drawing.AddMarker("arrow", kArrow);
    drawing.converter.PathElement("", "M 0 0 L 100 0 M 0 50 L 100 50", "", "", "url(#arrow)");
    const auto outlines = drawing.Finish();
    ASSERT_EQ(outlines.size(), 4u);
    ExpectPoints(outlines[1].points, {{100, 0}, {90, 5}, {90, -5}});
    ExpectPoints(outlines[3].points, {{100, 50}, {90, 55}, {90, 45}});
    EXPECT_TRUE(drawing.converter.m_markerEndRef.empty());
}

} // namespace
