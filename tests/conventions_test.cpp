// What every entity has in common: attributes, the polyline and hatch forms, and the number guard.
#include "dxf/conventions.h"
#include "support/test_support.h"
#include "svg/converter.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

using namespace testing_support;

namespace
{

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kPi = 3.14159265358979323846;

// Runs the writes inside an otherwise empty document and returns its text.
std::string WriteDocument(const std::string& name, const std::function<void(CConverter&)>& write)
{
    CConverter converter;
    const auto path = ScratchDir() / (name + ".dxf");
    EXPECT_EQ(converter.BeginDxfDocument(path.string()), 0);
    write(converter);
    EXPECT_EQ(converter.EndDxfDocument(), 0);
    EXPECT_EQ(CheckWithDxflib(path), "");
    return ReadFile(path);
}

std::vector<int> Codes(const std::vector<Group>& groups, std::size_t from)
{
    std::vector<int> codes;
    for (std::size_t i = from; i < groups.size(); ++i)
        codes.push_back(groups[i].code);
    return codes;
}

std::size_t IndexOf(const std::vector<Group>& groups, int code)
{
    for (std::size_t i = 0; i < groups.size(); ++i)
        if (groups[i].code == code)
            return i;
    return groups.size();
}

TEST(ConventionsPolyline, VertexGroupsWidthsAlwaysBulgeOnlyWhenItCounts)
{
    const std::string dxf = WriteDocument(
        "vertices",
        [](CConverter& c)
        {
            const std::vector<DxfVertex> vertices = {
                {1, 2, 0, 0, 0}, {3, 4, 0.5, 0.25, 1e-11}, {5, 6, 0, 0, -0.5}, {7, 8, 0, 0, 2e-10}};
            EXPECT_TRUE(c.WriteLwPolyline(vertices, 1, c.OutlineStyle("")));
        });
    const auto entities = Entities(dxf);
    ASSERT_EQ(entities.size(), 1u);
    const auto& e = entities[0];
    EXPECT_EQ(e.front().value, "LWPOLYLINE");
    EXPECT_EQ(GroupValue(e, 90), "4");
    EXPECT_EQ(GroupValue(e, 70), "1");
    // Nothing follows the last vertex: no SEQEND, no further group.
    const std::vector<int> expected = {10, 20, 30, 40, 41, 10, 20, 30, 40, 41, 10,
                                       20, 30, 40, 41, 42, 10, 20, 30, 40, 41, 42};
    EXPECT_EQ(Codes(e, IndexOf(e, 70) + 1), expected);
    EXPECT_EQ(GroupReals(e, 10), (std::vector<double>{1, 3, 5, 7}));
    EXPECT_EQ(GroupReals(e, 30), (std::vector<double>{0, 0, 0, 0}));
    EXPECT_EQ(GroupReals(e, 40), (std::vector<double>{0, 0.5, 0, 0}));
    EXPECT_EQ(GroupReals(e, 41), (std::vector<double>{0, 0.25, 0, 0}));
    EXPECT_EQ(GroupReals(e, 42), (std::vector<double>{-0.5, 2e-10}));
}

TEST(ConventionsPolyline, AttributesOfOutlineAndFill)
{
    const std::string dxf = WriteDocument("attributes",
                                          [](CConverter& c)
                                          {
                                              c.m_strokeAci = 5;
                                              c.m_currentLayer = "doors:1";
                                              c.WriteLwPolyline({{0, 0}, {1, 1}}, 0, c.OutlineStyle("Dash1"));
                                              c.m_currentLayer.clear();
                                              c.WriteLwPolyline({{0, 0}, {1, 1}}, 0, c.OutlineStyle(""));
                                              c.m_fillRgb = 0x0000FF; // red in the low byte
                                              c.WriteLwPolyline({{0, 0}, {1, 1}}, 0, c.FillStyle());
                                          });
    const auto entities = Entities(dxf);
    ASSERT_EQ(entities.size(), 3u);
    EXPECT_EQ(GroupValue(entities[0], 8), "doors_1");
    EXPECT_EQ(GroupValue(entities[0], 62), "5");
    EXPECT_EQ(GroupValue(entities[0], 370), "0");
    EXPECT_EQ(GroupValue(entities[0], 6), "Dash1");
    EXPECT_EQ(GroupValue(entities[0], 48), "1.0");
    EXPECT_EQ(GroupValue(entities[1], 8), "0");
    EXPECT_EQ(GroupValue(entities[1], 6), "BYLAYER");
    EXPECT_EQ(GroupValue(entities[2], 62), "1");
    EXPECT_EQ(GroupValue(entities[2], 370), "-1");
    EXPECT_EQ(GroupValue(entities[2], 6), "BYLAYER");
    for (const auto& e : entities)
        EXPECT_EQ(GroupValue(e, 420), "") << "no true colour";
}

struct BadVertexCase
{
    const char* name;
    DxfVertex vertex;
};

class ConventionsBadPolyline : public ::testing::TestWithParam<BadVertexCase>
{
};

TEST_P(ConventionsBadPolyline, SkippedWhole)
{
    const BadVertexCase& bad = GetParam();
    const std::string dxf = WriteDocument(
        std::string("bad-vertex-") + bad.name,
        [&bad](CConverter& c)
        {
            EXPECT_FALSE(c.WriteLwPolyline({{0, 0}, bad.vertex, {1, 1}}, 0, c.OutlineStyle("")));
            EXPECT_TRUE(c.WriteLwPolyline({{0, 0}, {1, 1}}, 0, c.OutlineStyle("")));
        });
    const auto entities = Entities(dxf);
    ASSERT_EQ(entities.size(), 1u);
    EXPECT_EQ(GroupValue(entities[0], 90), "2");
    EXPECT_EQ(dxf.find("nan"), std::string::npos);
    EXPECT_EQ(dxf.find("inf"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Numbers, ConventionsBadPolyline,
                         ::testing::Values(BadVertexCase{"NanX", {kNan, 0, 0, 0, 0}},
                                           BadVertexCase{"InfY", {0, -kInf, 0, 0, 0}},
                                           BadVertexCase{"HugeY", {0, 1e16, 0, 0, 0}},
                                           BadVertexCase{"FarBeyondBuffer", {1e300, 0, 0, 0, 0}},
                                           BadVertexCase{"NanStartWidth", {0, 0, kNan, 0, 0}},
                                           BadVertexCase{"InfEndWidth", {0, 0, 0, kInf, 0}},
                                           BadVertexCase{"NanBulge", {0, 0, 0, 0, kNan}}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(ConventionsPolyline, EmptyIsNotWritten)
{
    const std::string dxf = WriteDocument("empty-polyline", [](CConverter& c)
                                          { EXPECT_FALSE(c.WriteLwPolyline({}, 0, c.OutlineStyle(""))); });
    EXPECT_TRUE(Entities(dxf).empty());
}

TEST(ConventionsHatch, CountsMatchLoopsAndEdges)
{
    const std::string dxf =
        WriteDocument("hatch",
                      [](CConverter& c)
                      {
                          const HatchLoop square = {HatchEdge::Line(0, 0, 1, 0), HatchEdge::Line(1, 0, 1, 1),
                                                    HatchEdge::Line(1, 1, 0, 1), HatchEdge::Line(0, 1, 0, 0)};
                          const HatchLoop round = {HatchEdge::Arc(5, 5, 1, 0, kPi),
                                                   HatchEdge::EllipseArc(5, 5, 1, 0, 0.5, kPi, 2 * kPi)};
                          EXPECT_TRUE(c.WriteSolidHatch({square, {}, round}, c.FillStyle()));
                      });
    const auto entities = Entities(dxf);
    ASSERT_EQ(entities.size(), 1u);
    const auto& e = entities[0];
    EXPECT_EQ(e.front().value, "HATCH");
    EXPECT_EQ(GroupValue(e, 2), "SOLID");
    EXPECT_EQ(GroupValue(e, 70), "1");
    EXPECT_EQ(GroupValue(e, 91), "2");
    std::vector<std::string> edgeCounts, edgeTypes;
    for (const auto& g : e)
    {
        if (g.code == 93)
            edgeCounts.push_back(g.value);
        if (g.code == 72)
            edgeTypes.push_back(g.value);
    }
    EXPECT_EQ(edgeCounts, (std::vector<std::string>{"4", "2"}));
    EXPECT_EQ(edgeTypes, (std::vector<std::string>{"1", "1", "1", "1", "2", "3"}));
    // Radians in, degrees in the file.
    EXPECT_EQ(GroupReals(e, 51), (std::vector<double>{180, 360}));
}

struct BadEdgeCase
{
    const char* name;
    HatchEdge edge;
};

class ConventionsBadHatch : public ::testing::TestWithParam<BadEdgeCase>
{
};

TEST_P(ConventionsBadHatch, SkippedWhole)
{
    const BadEdgeCase& bad = GetParam();
    const std::string dxf =
        WriteDocument(std::string("bad-edge-") + bad.name,
                      [&bad](CConverter& c)
                      {
                          const HatchLoop good = {HatchEdge::Line(0, 0, 1, 0), HatchEdge::Line(1, 0, 0, 0)};
                          EXPECT_FALSE(c.WriteSolidHatch({good, {bad.edge}}, c.FillStyle()));
                      });
    EXPECT_TRUE(Entities(dxf).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, ConventionsBadHatch,
    ::testing::Values(BadEdgeCase{"LineNan", HatchEdge::Line(0, kNan, 1, 1)},
                      BadEdgeCase{"LineHuge", HatchEdge::Line(0, 0, 2e15, 1)},
                      BadEdgeCase{"ArcInfRadius", HatchEdge::Arc(0, 0, kInf, 0, 1)},
                      BadEdgeCase{"ArcNanAngle", HatchEdge::Arc(0, 0, 1, kNan, 1)},
                      BadEdgeCase{"EllipseNanRatio", HatchEdge::EllipseArc(0, 0, 1, 0, kNan, 0, 1)},
                      BadEdgeCase{"EllipseHugeAxis", HatchEdge::EllipseArc(0, 0, -1e200, 0, 0.5, 0, 1)},
                      // Written as 0.0: the reader would divide by nothing.
                      BadEdgeCase{"ArcRadiusBelowWhatIsShown", HatchEdge::Arc(0, 0, 4e-17, 0, 1)},
                      BadEdgeCase{"EllipseAxisBelowWhatIsShown",
                                  HatchEdge::EllipseArc(0, 0, 3e-17, -2e-17, 0.5, 0, 1)}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ConventionsHatch, NoLoopsNoHatch)
{
    // dxflib's reader would give a boundary-less hatch the loops of the hatch before it.
    const std::string dxf = WriteDocument("hatch-empty",
                                          [](CConverter& c)
                                          {
                                              EXPECT_FALSE(c.WriteSolidHatch({}, c.FillStyle()));
                                              EXPECT_FALSE(c.WriteSolidHatch({{}, {}}, c.FillStyle()));
                                          });
    EXPECT_TRUE(Entities(dxf).empty());
}

TEST(ConventionsWriter, NothingWithoutOpenDocument)
{
    CConverter converter;
    EXPECT_FALSE(converter.WriteLwPolyline({{0, 0}, {1, 1}}, 0, converter.OutlineStyle("")));
    EXPECT_FALSE(converter.WriteSolidHatch({{HatchEdge::Line(0, 0, 1, 1)}}, converter.FillStyle()));
}

TEST(ConventionsNumbers, WritableLimit)
{
    EXPECT_TRUE(IsWritable(0.0));
    EXPECT_TRUE(IsWritable(kMaxDxfValue));
    EXPECT_TRUE(IsWritable(-kMaxDxfValue));
    EXPECT_FALSE(IsWritable(std::nextafter(kMaxDxfValue, kInf)));
    EXPECT_FALSE(IsWritable(kNan));
    EXPECT_FALSE(IsWritable(-kInf));
}

struct NameCase
{
    const char* name;
    std::string raw;
    std::string table;
    std::string group;
};

class ConventionsNames : public ::testing::TestWithParam<NameCase>
{
};

TEST_P(ConventionsNames, UnsafeBytesBecomeUnderscore)
{
    const NameCase& c = GetParam();
    EXPECT_EQ(SafeTableName(c.raw), c.table);
    EXPECT_EQ(SafeGroupValue(c.raw), c.group);
}

INSTANTIATE_TEST_SUITE_P(Texts, ConventionsNames,
                         ::testing::Values(NameCase{"Plain", "Layer 1-a.b", "Layer 1-a.b", "Layer 1-a.b"},
                                           NameCase{"LineBreaks", "a\r\nb", "a__b", "a__b"},
                                           NameCase{"TabAndNul", std::string("a\tb\0c", 5), "a_b_c", "a_b_c"},
                                           NameCase{"Forbidden", "<>/\\\":;?*|=`", "____________",
                                                    "<>/\\\":;?*|=`"},
                                           NameCase{"HighBytesKept",
                                                    "Stra\xc3\x9f"
                                                    "e",
                                                    "Stra\xc3\x9f"
                                                    "e",
                                                    "Stra\xc3\x9f"
                                                    "e"},
                                           NameCase{"Empty", "", "", ""}),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
