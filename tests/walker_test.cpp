// The walker's document-order state: what one element leaves for the next, checked on whole outputs.
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace
{

std::string Svg(const std::string& body, const std::string& rootAttributes = R"(height="100")")
{
    return "<svg " + rootAttributes + ">\n" + body + "\n</svg>\n";
}

std::vector<std::string> Types(const std::string& dxf)
{
    std::vector<std::string> types;
    for (const auto& entity : Entities(dxf))
        types.push_back(entity.front().value);
    return types;
}

using Types_t = std::vector<std::string>;

TEST(WalkerDocument, HeightComesFromViewBoxReadAfterHeight)
{
    // height sorts before viewBox, so the viewBox wins: the y flip uses 200.
    const std::string dxf =
        ConvertSvgText(Svg(R"(<line x1="0" y1="10" x2="5" y2="10"/>)", R"(height="50" viewBox="0 0 100 200")"));
    const auto entities = Entities(dxf);
    ASSERT_EQ(entities.size(), 1u);
    EXPECT_EQ(GroupReals(entities[0], 20).at(0), 190.0);
}

TEST(WalkerDocument, NoHeightNegatesY)
{
    const std::string dxf = ConvertSvgText(Svg(R"(<line x1="0" y1="10" x2="5" y2="10"/>)", ""));
    const auto entities = Entities(dxf);
    ASSERT_EQ(entities.size(), 1u);
    EXPECT_EQ(GroupReals(entities[0], 20).at(0), -10.0);
}

struct ViewBoxCase
{
    const char* name;
    const char* viewBox;
    double y; // DXF y of the SVG point y = 10
};

class WalkerViewBox : public ::testing::TestWithParam<ViewBoxCase>
{
};

TEST_P(WalkerViewBox, GivesDocumentHeight)
{
    const ViewBoxCase& c = GetParam();
    const std::string dxf = ConvertSvgText(
        Svg(R"(<line x1="0" y1="10" x2="5" y2="10"/>)", std::string("viewBox=\"") + c.viewBox + "\""));
    const auto entities = Entities(dxf);
    ASSERT_EQ(entities.size(), 1u);
    EXPECT_EQ(GroupReals(entities[0], 20).at(0), c.y);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WalkerViewBox,
    ::testing::Values(ViewBoxCase{"Plain", "0 0 200 100", 90}, ViewBoxCase{"Offset", "10 20 200 100", 70},
                      ViewBoxCase{"Commas", "0,0,200,100", 90},
                      // A missing fourth number repeats the first: height 10 - 0.
                      ViewBoxCase{"ThreeNumbers", "10 0 200", 0},
                      // Fewer than three: the missing values are 0.
                      ViewBoxCase{"OneNumber", "5", -5}, ViewBoxCase{"Empty", "", -10}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// What one element leaves for the next, across elements of different kinds.
struct SequenceCase
{
    const char* name;
    const char* body;
    Types_t types;
    int code;          // a group of the last entity to check, 0 for none
    const char* value; // its value
    const char* root = R"(height="100")";
};

class WalkerSequence : public ::testing::TestWithParam<SequenceCase>
{
};

TEST_P(WalkerSequence, LastEntity)
{
    const SequenceCase& c = GetParam();
    const std::string dxf = ConvertSvgText(Svg(c.body, c.root));
    ASSERT_EQ(Types(dxf), c.types);
    if (c.code != 0)
    {
        EXPECT_EQ(GroupValue(Entities(dxf).back(), c.code), c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Elements, WalkerSequence,
    ::testing::Values(
        // A path's stroke ends with the path: the filled circle after it gets no outline.
        SequenceCase{"PathStrokeStopsAtThePath",
                     R"(<path stroke="blue" d="M 0 0 L 10 0"/><circle fill="red" cx="5" cy="5" r="2"/>)",
                     {"LWPOLYLINE", "HATCH"},
                     0,
                     ""},
        SequenceCase{"CircleStrokeReachesTheNextCircle",
                     R"(<circle stroke="blue" cx="5" cy="5" r="2"/><circle fill="red" cx="5" cy="5" r="2"/>)",
                     {"CIRCLE", "HATCH", "CIRCLE"},
                     62,
                     "5"},
        SequenceCase{"GroupTranslationKeepsTheRadius",
                     R"~(<g transform="translate(0,50)"><circle stroke="red" cx="10" cy="10" r="3"/></g>)~",
                     {"CIRCLE"},
                     40,
                     "3.0"},
        SequenceCase{
            "TextLineBreaksBecomeBlanks", "<text font-size=\"10\">one\ntwo</text>", {"TEXT"}, 1, "one two"},
        // The viewBox's y offset shortens the height that flips y: 100 - 20.
        SequenceCase{"ViewBoxOffsetShortensTheHeight",
                     R"(<circle stroke="red" cx="0" cy="10" r="1"/>)",
                     {"CIRCLE"},
                     20,
                     "70.0",
                     R"(viewBox="0 20 100 100")"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(WalkerState, StyleAfterFillAttributeClearsTheFill)
{
    const std::string dxf =
        ConvertSvgText(Svg(R"(<path fill="#ff0000" style="stroke:#0000ff" d="M 0 0 L 10 0 L 10 10 z"/>)"));
    EXPECT_EQ(Types(dxf), (Types_t{"LWPOLYLINE"}));
}

TEST(WalkerState, FilledPathWithStrokeWritesHatchThenOutline)
{
    const std::string dxf =
        ConvertSvgText(Svg(R"(<path style="fill:#ff0000;stroke:#0000ff" d="M 0 0 L 10 0 L 10 10 z"/>)"));
    const auto entities = Entities(dxf);
    ASSERT_EQ(Types(dxf), (Types_t{"HATCH", "LWPOLYLINE"}));
    EXPECT_EQ(GroupValue(entities[0], 62), "1");
    EXPECT_EQ(GroupValue(entities[1], 62), "5");
}

TEST(WalkerState, GroupFillReachesOnlyTheFirstCircle)
{
    const std::string dxf = ConvertSvgText(
        Svg(R"(<g fill="red"><circle cx="10" cy="10" r="5"/><circle cx="30" cy="10" r="5"/></g>)"));
    const auto entities = Entities(dxf);
    ASSERT_EQ(Types(dxf), (Types_t{"HATCH", "CIRCLE"}));
    EXPECT_EQ(GroupValue(entities[0], 62), "1");
    EXPECT_EQ(GroupReals(entities[1], 10).at(0), 30.0);
}

TEST(WalkerState, PathInsideDefsIsNotDrawnButRectIs)
{
    const std::string dxf = ConvertSvgText(Svg(
        R"(<defs><path d="M 0 0 L 10 0"/><rect x="1" y="1" width="2" height="2"/></defs><path d="M 0 5 L 9 5"/>)"));
    const auto entities = Entities(dxf);
    ASSERT_EQ(entities.size(), 2u);
    EXPECT_EQ(GroupValue(entities[0], 90), "4"); // the rectangle
    EXPECT_EQ(GroupReals(entities[1], 10), (std::vector<double>{0, 9}));
}

TEST(WalkerState, MarkerOutsideDefsIsRecordedAndDrawn)
{
    const std::string dxf = ConvertSvgText(Svg(
        R"(<marker id="m" refX="0" refY="0"><path d="M 0 0 L -10 5 L -10 -5 z"/></marker>)"
        R"~(<path style="marker-end:url(#m)" d="M 0 0 L 100 0"/>)~"));
    const auto entities = Entities(dxf);
    // The marker's own path where it stands, the path, then the marker at the path's end.
    ASSERT_EQ(entities.size(), 3u);
    EXPECT_EQ(GroupReals(entities[0], 10), (std::vector<double>{0, -10, -10}));
    EXPECT_EQ(GroupReals(entities[2], 10), (std::vector<double>{100, 90, 90}));
}

TEST(WalkerState, FillOptionOffDrawsOutlineInFillColourAndRestoresStroke)
{
    const std::string body = R"(<line stroke="#0000ff" x1="0" y1="0" x2="1" y2="1"/>)"
                             R"(<path style="fill:#ff0000" d="M 0 0 L 10 0 L 10 10 z"/>)"
                             R"(<line x1="0" y1="0" x2="2" y2="2"/>)";
    const std::string dxf = ConvertSvgText(Svg(body), false);
    const auto entities = Entities(dxf);
    ASSERT_EQ(Types(dxf), (Types_t{"LINE", "LWPOLYLINE", "LINE"}));
    EXPECT_EQ(GroupValue(entities[0], 62), "5");
    EXPECT_EQ(GroupValue(entities[1], 62), "1");
    EXPECT_EQ(GroupValue(entities[2], 62), "5");
}

TEST(WalkerState, TspanInheritsFromItsTextOnly)
{
    const std::string body = R"~(<text font-family="Arial" font-size="10" transform="translate(5,0)">)~"
                             R"(<tspan x="1" y="1">in</tspan></text><tspan x="1" y="1">out</tspan>)";
    const std::string dxf = ConvertSvgText(Svg(body));
    const auto entities = Entities(dxf);
    // The text itself has no content of its own and writes nothing.
    ASSERT_EQ(Types(dxf), (Types_t{"TEXT", "TEXT"}));
    EXPECT_EQ(GroupValue(entities[0], 1), "in");
    EXPECT_EQ(GroupValue(entities[0], 40), "8.0");
    EXPECT_EQ(GroupReals(entities[0], 10).at(0), 6.0);
    EXPECT_EQ(GroupValue(entities[1], 1), "out");
    EXPECT_EQ(GroupValue(entities[1], 40), "0.0");
    EXPECT_EQ(GroupReals(entities[1], 10).at(0), 1.0);
}

TEST(WalkerState, LayerIsTheMostRecentGroupId)
{
    const std::string body = R"(<line x1="0" y1="0" x2="1" y2="1"/><g id=" walls "><line x1="0" y1="0" x2="1" y2="1"/></g>)"
                             R"(<line x1="0" y1="0" x2="1" y2="1"/>)";
    const auto entities = Entities(ConvertSvgText(Svg(body)));
    ASSERT_EQ(entities.size(), 3u);
    EXPECT_EQ(GroupValue(entities[0], 8), "0");
    EXPECT_EQ(GroupValue(entities[1], 8), "walls");
    EXPECT_EQ(GroupValue(entities[2], 8), "walls"); // not restored at the group's end
}

TEST(WalkerState, GroupTransformEndsWithItsGroup)
{
    const std::string body = R"~(<g transform="translate(10,20)"><line transform="translate(1,1)" x1="0" y1="0" x2="0" y2="0"/></g>)~"
                             R"(<line x1="0" y1="0" x2="0" y2="0"/>)";
    const auto entities = Entities(ConvertSvgText(Svg(body)));
    ASSERT_EQ(entities.size(), 2u);
    EXPECT_EQ(GroupReals(entities[0], 10).at(0), 11.0);
    EXPECT_EQ(GroupReals(entities[0], 20).at(0), 79.0);
    EXPECT_EQ(GroupReals(entities[1], 10).at(0), 0.0);
    EXPECT_EQ(GroupReals(entities[1], 20).at(0), 100.0);
}

TEST(WalkerState, UseIsFilledOnlyUnderAFill)
{
    const std::string defs = R"(<defs><symbol id="s"><path d="M 0 0 L 10 0 L 10 10 z"/></symbol></defs>)";
    EXPECT_EQ(Types(ConvertSvgText(Svg(defs + R"(<use xlink:href="#s"/>)"))), (Types_t{"LWPOLYLINE"}));
    EXPECT_EQ(Types(ConvertSvgText(Svg(defs + R"(<g fill="red"><use xlink:href="#s"/></g>)"))),
              (Types_t{"HATCH"}));
    EXPECT_EQ(Types(ConvertSvgText(Svg(defs + R"(<g fill="red"><use xlink:href="#s"/></g>)"), false)),
              (Types_t{"HATCH"}));
}

TEST(WalkerDepth, DeeplyNestedDocumentConverts)
{
    std::string svg = "<svg height=\"10\">";
    const int depth = 100000;
    for (int i = 0; i < depth; ++i)
        svg += "<g transform=\"translate(1,0)\">";
    svg += "<line x1=\"0\" y1=\"0\" x2=\"1\" y2=\"1\"/>";
    for (int i = 0; i < depth; ++i)
        svg += "</g>";
    svg += "<line x1=\"0\" y1=\"0\" x2=\"1\" y2=\"1\"/></svg>";
    const std::string dxf = ConvertSvgText(svg);
    ASSERT_FALSE(dxf.empty());
    // Whatever the reader kept of the deep part, the line after it is drawn where it belongs.
    const auto entities = Entities(dxf);
    ASSERT_FALSE(entities.empty());
    EXPECT_EQ(GroupReals(entities.back(), 10).at(0), 0.0);
}

} // namespace
