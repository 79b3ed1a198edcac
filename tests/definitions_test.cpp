// The raw-text pre-pass, layer names, marker and symbol records, and the per-conversion reset.
#include "svg/converter.h"
#include "xml/xml.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace
{

std::vector<std::string> DashNames(const CConverter& converter)
{
    std::vector<std::string> names;
    for (const CDashData& dash : converter.m_dashes)
        names.push_back(dash.name + "=" + dash.pattern);
    return names;
}

std::vector<std::string> Families(const CConverter& converter)
{
    std::vector<std::string> families;
    for (const CFontData& font : converter.m_fonts)
        families.push_back(font.family);
    return families;
}

struct PrescanCase
{
    const char* name;
    std::string text;
    std::vector<std::string> dashes; // "name=pattern"
    std::vector<std::string> families;
};

class PrescanTest : public ::testing::TestWithParam<PrescanCase>
{
};

TEST_P(PrescanTest, CollectsPatternsAndFamilies)
{
    const PrescanCase& c = GetParam();
    CConverter converter;
    EXPECT_EQ(converter.PrescanStyles(c.text), 0);
    EXPECT_EQ(DashNames(converter), c.dashes);
    EXPECT_EQ(Families(converter), c.families);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PrescanTest,
    ::testing::Values(
        PrescanCase{"ExactTextDistinguishesPatterns",
                    "<path style=\"stroke-dasharray:5,3\"/><path style=\"stroke-dasharray:5,3;fill:none\"/>"
                    "<path style=\"stroke-dasharray:5, 3\"/>",
                    {"Dash1=5,3", "Dash2=5, 3"},
                    {}},
        PrescanCase{"PatternTrimmedAndCutAtOtherCharacters",
                    "a{stroke-dasharray: 4 2 ;stroke:red} b{stroke-dasharray:1.5,-2x}",
                    {"Dash1=4 2", "Dash2=1.5,-2"},
                    {}},
        PrescanCase{"NoneCollectsNothing", "stroke-dasharray:none;stroke-dasharray:", {}, {}},
        PrescanCase{"AttributeFormNotSeen", "<path stroke-dasharray=\"5,3\" font-family=\"Arial\"/>", {}, {}},
        PrescanCase{
            "DashLimit", "stroke-dasharray:" + std::string(400, '1'), {"Dash1=" + std::string(361, '1')}, {}},
        PrescanCase{"FamilyStopsAtSemicolon", "font-family:Arial;font-family:Arial ; x", {}, {"Arial"}},
        PrescanCase{"SingleQuotesKept", "font-family:'Times New Roman', serif", {}, {"'Times New Roman'"}},
        PrescanCase{"DoubleQuoteCollectsNothing", "font-family: \"Arial\", serif", {}, {}},
        PrescanCase{"StopsAtTagEnd", "<text style=\"font-family:Verdana\">", {}, {"Verdana"}},
        PrescanCase{"InsideACommentStillCounts", "<!-- font-family:Courier; -->", {}, {"Courier"}},
        PrescanCase{"FamilyAtEndOfText", "font-family:Helvetica", {}, {"Helvetica"}},
        PrescanCase{"FamilyNoneIgnored", "font-family:None;", {}, {}},
        PrescanCase{"FamilyLimit", "font-family:" + std::string(200, 'a'), {}, {std::string(129, 'a')}},
        PrescanCase{"ZeroByteEndsFamily", std::string("font-family:Arial\0junk", 22), {}, {"Arial"}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(DashPatterns, AddAndLookUp)
{
    CConverter converter;
    EXPECT_EQ(converter.AddDashPattern(" 5,3 "), 1);
    EXPECT_EQ(converter.AddDashPattern("5,3"), 0);
    EXPECT_EQ(converter.AddDashPattern("NONE"), 0);
    EXPECT_EQ(converter.AddDashPattern("   "), 0);
    EXPECT_EQ(converter.AddDashPattern("2 1"), 1);
    EXPECT_EQ(converter.DashNameFor("\t2 1 "), "Dash2");
    EXPECT_EQ(converter.DashNameFor("5,3"), "Dash1");
    EXPECT_EQ(converter.DashNameFor("5, 3"), "");
    EXPECT_EQ(converter.DashNameFor("None"), "");
}

TEST(Fonts, AddAndLookUp)
{
    CConverter converter;
    EXPECT_EQ(converter.AddFont("Arial"), 1);
    EXPECT_EQ(converter.AddFont(" Arial "), 0);
    EXPECT_EQ(converter.AddFont(""), 0);
    EXPECT_EQ(converter.AddFont("  "), 0);
    EXPECT_EQ(converter.AddFont("none"), 0);
    EXPECT_EQ(converter.AddFont("a/b"), 1);
    EXPECT_EQ(converter.FontStyleFor("Arial"), "Style-Arial");
    // The family stays as written; only the table name is made safe.
    EXPECT_EQ(converter.m_fonts.back().family, "a/b");
    EXPECT_EQ(converter.FontStyleFor("a/b"), "Style-a_b");
    EXPECT_EQ(converter.FontStyleFor("arial"), "");
    EXPECT_EQ(converter.FontStyleFor("NONE"), "");
}

std::unique_ptr<CXML> Element(const std::string& tag,
                              const std::vector<std::pair<std::string, std::string>>& attributes = {})
{
    auto element = std::make_unique<CXML>();
    element->m_strTag = tag;
    for (const auto& [name, value] : attributes)
        element->AddAttribute(name, value);
    return element;
}

CXML* Append(CXML& parent, std::unique_ptr<CXML> child)
{
    CXML* raw = child.get();
    parent.AddChild(std::move(child));
    return raw;
}

TEST(LayerNames, GroupIdsParentsBeforeChildrenDuplicatesKept)
{
    auto root = Element("svg", {{"id", "root"}});
    CXML* outer = Append(*root, Element("g", {{"id", " outer "}}));
    CXML* inner = Append(*outer, Element("g", {{"id", "inner"}}));
    Append(*inner, Element("g", {{"id", "innermost"}}));
    Append(*outer, Element("path", {{"id", "notALayer"}}));
    Append(*root, Element("g", {{"id", "  "}}));
    Append(*root, Element("G", {{"id", "upper"}}));
    Append(*root, Element("g", {{"ID", "x"}, {"id", "outer"}}));

    CConverter converter;
    converter.CollectLayerNames(*root);
    const std::vector<std::string> expected = {"outer", "inner", "innermost", "outer"};
    EXPECT_EQ(converter.m_layerNames, expected);
}

TEST(Definitions, MarkerTakesTheLastDirectPathChild)
{
    auto marker = Element("marker", {{"id", "arrow"}, {"refX", "2"}, {"refY", "3"}, {"orient", "auto"}});
    Append(*marker, Element("path", {{"d", "M0 0 L1 1"}, {"transform", "scale(2,2)"}}));
    Append(*marker, Element("circle", {{"r", "1"}}));
    Append(*marker, Element("path", {{"d", "M5 5 L6 6"}}));
    CXML* group = Append(*marker, Element("g"));
    Append(*group, Element("path", {{"d", "M9 9"}}));

    CConverter converter;
    converter.CollectDefinition(*marker);
    ASSERT_EQ(converter.m_markers.size(), 1u);
    const CMarkdata& m = converter.m_markers[0];
    EXPECT_EQ(m.id, "arrow");
    EXPECT_EQ(m.refX, "2");
    EXPECT_EQ(m.refY, "3");
    EXPECT_EQ(m.pathData, "M5 5 L6 6");
    EXPECT_EQ(m.pathTransform, "scale(2,2)");
    EXPECT_TRUE(converter.m_symbols.empty());
}

TEST(Definitions, SymbolRecordedOnlyWithIdAndPath)
{
    auto symbol = Element("symbol", {{"id", "s1"}, {"viewBox", "0 0 10 10"}});
    Append(*symbol, Element("path", {{"d", "M0 0 H10"}, {"transform", "translate(1,1)"}}));
    auto noId = Element("symbol");
    Append(*noId, Element("path", {{"d", "M0 0"}}));
    auto noPath = Element("marker", {{"id", "empty"}});

    CConverter converter;
    converter.CollectDefinition(*symbol);
    converter.CollectDefinition(*noId);
    converter.CollectDefinition(*noPath);
    ASSERT_EQ(converter.m_symbols.size(), 1u);
    EXPECT_EQ(converter.m_symbols[0].id, "s1");
    EXPECT_EQ(converter.m_symbols[0].pathData, "M0 0 H10");
    EXPECT_TRUE(converter.m_markers.empty());
}

TEST(Converter, ResetStartsTheNextConversionClean)
{
    CConverter converter;
    converter.m_fillOption = 0;
    converter.AddDashPattern("5,3");
    converter.AddFont("Arial");
    converter.AddMarker("M0 0", "", "m", "", "");
    converter.AddSymbol("M0 0", "s");
    converter.SetStrokeRgb(0x0000FF);
    converter.m_fillRgb = 0xFF;
    converter.PushGroupMatrix();
    converter.ParseGroupTransform("translate(3,4)");
    converter.m_currentLayer = "walls";
    converter.m_groupStyle = "font-size:12";
    converter.m_layerNames = {"walls"};

    EXPECT_EQ(converter.ResetConversion(), 0);
    EXPECT_TRUE(converter.m_dashes.empty());
    EXPECT_TRUE(converter.m_fonts.empty());
    EXPECT_TRUE(converter.m_markers.empty());
    EXPECT_TRUE(converter.m_symbols.empty());
    EXPECT_EQ(converter.m_strokeRgb, 0);
    EXPECT_EQ(converter.m_strokeAci, 0);
    EXPECT_EQ(converter.m_fillRgb, 0);
    EXPECT_EQ(converter.m_matrixDepth, 0);
    EXPECT_EQ(converter.m_groupTransformSeen, 0);
    EXPECT_DOUBLE_EQ(converter.m_matrixStack[0].e, 0.0);
    EXPECT_EQ(converter.m_currentLayer, "0");
    EXPECT_EQ(converter.m_groupStyle, "");
    EXPECT_EQ(converter.m_fillOption, 0);
    EXPECT_EQ(converter.m_layerNames.size(), 1u); // the driver empties these itself
}

TEST(Converter, CurrentLayerName)
{
    CConverter converter;
    std::string layer;
    converter.CurrentLayerName(layer);
    EXPECT_EQ(layer, "0");
    converter.m_currentLayer = "";
    converter.CurrentLayerName(layer);
    EXPECT_EQ(layer, "0");
    converter.m_currentLayer = "a:b";
    converter.CurrentLayerName(layer);
    EXPECT_EQ(layer, "a_b");
}

} // namespace
