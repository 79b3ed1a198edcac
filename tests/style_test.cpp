// Colour texts, the colour-index palette and the style readers.
#include "svg/converter.h"
#include "svg/style.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace
{

constexpr int kAnyAci = -1;

struct ColorCase
{
    const char* name;
    const char* text;
    int rgb;
    int aci; // kAnyAci: not checked
};

class ParseColorTest : public ::testing::TestWithParam<ColorCase>
{
};

TEST_P(ParseColorTest, GivesPackedRgbAndIndex)
{
    const ColorCase& c = GetParam();
    const int rgb = ParseColor(c.text);
    EXPECT_EQ(rgb, c.rgb) << c.text;
    if (c.aci != kAnyAci)
    {
        EXPECT_EQ(NearestAci(rgb), c.aci) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseColorTest,
    ::testing::Values(
        ColorCase{"HexRedInLowByte", "#FF0000", 0x0000FF, 1},
        ColorCase{"HexLowerGreen", "#00ff00", 0x00FF00, 3}, ColorCase{"ShortLowerWhite", "#fff", 0xFFFFFF, 7},
        ColorCase{"ShortUpperWhite", "#FFF", 0xFFFFFF, 7}, ColorCase{"ShortMixedNotExpanded", "#F00", 0, 0},
        ColorCase{"ShortLastTwoDiffer", "#FF0", 0, 0}, ColorCase{"ShortOuterTwoEqual", "#F0F", 0, 0},
        ColorCase{"ShortLowerLastTwoDiffer", "#cc0", 0, 0},
        ColorCase{"ShortRepeatedLower", "#ccc", 0xCCCCCC, 9},
        ColorCase{"ShortRepeatedUpper", "#CCC", 0xCCCCCC, 9}, ColorCase{"FourDigitsBlack", "#abcd", 0, 0},
        ColorCase{"BareHash", "#", 0, 0},
        ColorCase{"PercentTwiceTheNumber", "rgb(100%,0%,0%)", PackRgb(200, 0, 0), 12},
        ColorCase{"HalfPercent", "rgb(50%,0%,0%)", PackRgb(100, 0, 0), kAnyAci},
        ColorCase{"NameRed", "red", 0x0000FF, 1}, ColorCase{"NameBlue", "blue", 0xFF0000, 5},
        ColorCase{"NameYellow", "yellow", 0x00FFFF, 2}, ColorCase{"NameWhite", "white", 0xFFFFFF, 7},
        ColorCase{"CapitalisedNameUnknown", "Red", 0, 0}, ColorCase{"LeadingBlankNotAName", " red", 0, 0},
        ColorCase{"CurrentColorIsBlack", "currentColor", 0, 0},
        ColorCase{"TieTakesLowerIndex", "rgb(152,152,152)", 0x989898, 8},
        ColorCase{"UrlFiveCharIdReadAsHex", "url(#abcde)", PackRgb(0xAB, 0xCD, 0xE0), kAnyAci},
        ColorCase{"UrlOtherLengthBlack", "url(#gradient)", 0, 0},
        ColorCase{"BlanksAfterCommas", "rgb(10, 20, 30)", PackRgb(10, 20, 30), 179},
        ColorCase{"WrapsAt256", "rgb(256,0,0)", 0, 0},
        ColorCase{"NegativeKeepsLowByte", "rgb(-1,0,0)", 0x0000FF, 1},
        ColorCase{"MissingBlueIsZero", "rgb(255,128)", PackRgb(255, 128, 0), 30},
        ColorCase{"NoCommaAllZero", "rgb(255)", 0, 0},
        ColorCase{"ExtraComponentsInBlue", "rgb(1,2,3,4)", PackRgb(1, 2, 3), kAnyAci},
        ColorCase{"HugePercentStaysDefined", "rgb(1e300%,0,0)", 0x0000FF, kAnyAci}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Palette, SpotChecksAgreeWithTheTable)
{
    const std::vector<std::pair<int, std::array<std::uint8_t, 3>>> rows = {
        {0, {0, 0, 0}},         {1, {255, 0, 0}},       {7, {255, 255, 255}},   {8, {152, 152, 152}},
        {9, {192, 192, 192}},   {12, {166, 0, 0}},      {23, {166, 104, 83}},   {61, {223, 255, 128}},
        {99, {19, 38, 19}},     {147, {38, 67, 76}},    {181, {159, 128, 255}}, {200, {191, 0, 255}},
        {226, {76, 0, 57}},     {249, {38, 19, 24}},    {250, {84, 84, 84}},    {252, {152, 152, 152}},
        {254, {221, 221, 221}}, {255, {255, 255, 255}},
    };
    for (const auto& [index, rgb] : rows)
        EXPECT_EQ(kAciPalette[static_cast<std::size_t>(index)], rgb) << "entry " << index;
}

TEST(NearestAci, EveryEntryFindsItsOwnColourFirst)
{
    for (int index = 0; index < 255; ++index)
    {
        const auto& entry = kAciPalette[static_cast<std::size_t>(index)];
        const int found = NearestAci(PackRgb(entry[0], entry[1], entry[2]));
        ASSERT_LE(found, index);
        EXPECT_EQ(kAciPalette[static_cast<std::size_t>(found)], entry) << "entry " << index;
    }
}

TEST(NearestAci, EndsOfTheRange)
{
    EXPECT_EQ(NearestAci(0), 0);
    EXPECT_EQ(NearestAci(0xFFFFFF), 7);
    // Bits above the blue byte are not part of the colour.
    EXPECT_EQ(NearestAci(static_cast<int>(0xFF0000FFu)), 1);
}

TEST(NearestWhiteKeepingAci, OnlyWhiteLeavesTheForegroundIndex)
{
    const struct
    {
        int rgb;
        int aci;
    } cases[] = {{0xFFFFFF, 255}, {PackRgb(250, 250, 250), 255}, {0, 0},
                 {0x0000FF, 1},   {PackRgb(152, 152, 152), 8},   {PackRgb(214, 214, 214), 254}};
    for (const auto& c : cases)
        EXPECT_EQ(NearestWhiteKeepingAci(c.rgb), c.aci) << std::hex << c.rgb;
}

TEST(ParseHexNumber, DigitsAndOddCharacters)
{
    EXPECT_EQ(ParseHexNumber("ff"), 255);
    EXPECT_EQ(ParseHexNumber("0A"), 10);
    EXPECT_EQ(ParseHexNumber("e)"), 0xE0);
    EXPECT_EQ(ParseHexNumber("zz"), 0);
    EXPECT_EQ(ParseHexNumber(""), 0);
    EXPECT_GT(ParseHexNumber(std::string(40, 'f')), 0); // saturates instead of overflowing
}

TEST(ForEachDeclaration, SplitsAtSemicolonsAndFirstColon)
{
    std::vector<std::pair<std::string, std::string>> seen;
    ForEachDeclaration("fill:red;stroke: blue;;bad;url:a:b;stroke-width:2",
                       [&](std::string_view property, std::string_view value)
                       { seen.emplace_back(property, value); });
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"fill", "red"}, {"stroke", " blue"}, {"url", "a:b"}, {"stroke-width", "2"}};
    EXPECT_EQ(seen, expected);
}

TEST(FindStyleValue, FirstOccurrenceUpToSemicolon)
{
    std::string value;
    EXPECT_TRUE(FindStyleValue("stroke:#00f;fill: #f00;fill:blue", "fill:", value));
    EXPECT_EQ(value, " #f00");
    EXPECT_TRUE(FindStyleValue("a:1;stroke:none", "stroke:", value));
    EXPECT_EQ(value, "none");
    EXPECT_FALSE(FindStyleValue("stroke-width:2", "fill:", value));
}

TEST(StrokeColour, IndexFollowsOnlyAChange)
{
    CConverter converter;
    converter.SetStrokeRgb(0x0000FF);
    EXPECT_EQ(converter.m_strokeAci, 1);
    converter.m_strokeAci = 99; // as the path code sets it for a fill drawn as an outline
    converter.SetStrokeRgb(0x0000FF);
    EXPECT_EQ(converter.m_strokeAci, 99);
    converter.SetStrokeRgb(0x00FF00);
    EXPECT_EQ(converter.m_strokeAci, 3);
}

struct RectStyleCase
{
    const char* name;
    const char* style;
    int filled;
    int fillRgb;
    int strokeRgb;
};

class RectStyleTest : public ::testing::TestWithParam<RectStyleCase>
{
};

TEST_P(RectStyleTest, StoresFillAndStroke)
{
    const RectStyleCase& c = GetParam();
    CConverter converter;
    converter.m_fillRgb = 0x123456;
    converter.SetStrokeRgb(0x654321);
    EXPECT_EQ(converter.ApplyRectStyle(c.style), c.filled);
    EXPECT_EQ(converter.m_fillRgb, c.fillRgb);
    EXPECT_EQ(converter.m_strokeRgb, c.strokeRgb);
    EXPECT_EQ(converter.m_strokeAci, NearestAci(c.strokeRgb));
}

INSTANTIATE_TEST_SUITE_P(
    Styles, RectStyleTest,
    ::testing::Values(RectStyleCase{"Fill", "fill:#ff0000", 1, 0x0000FF, 0x654321},
                      RectStyleCase{"FillNone", "fill:none;stroke:#00ff00", 0, 0x123456, 0x00FF00},
                      RectStyleCase{"PaintServerNotFilled", "fill:url(#grad)", 0, 0x123456, 0x654321},
                      RectStyleCase{"StrokeNone", "stroke:none;fill:blue", 1, 0xFF0000, 0x654321},
                      RectStyleCase{"NeitherKey", "stroke-width:3", 0, 0x123456, 0x654321}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(TextStyle, EmptiesOutputsAndDrawsInTheFillColour)
{
    CConverter converter;
    std::string family = "Courier";
    std::string size = "30";
    converter.ApplyTextStyle("fill:#ff0000;font-family:Arial;font-size:12px", family, size);
    EXPECT_EQ(family, "Arial");
    EXPECT_EQ(size, "12px");
    EXPECT_EQ(converter.m_fillRgb, 0x0000FF);
    EXPECT_EQ(converter.m_strokeRgb, 0x0000FF);
    EXPECT_EQ(converter.m_strokeAci, 1);

    converter.ApplyTextStyle("fill:none;stroke:blue", family, size);
    EXPECT_EQ(family, "");
    EXPECT_EQ(size, "");
    EXPECT_EQ(converter.m_fillRgb, 0x0000FF);
    EXPECT_EQ(converter.m_strokeRgb, 0x0000FF);
}

} // namespace
