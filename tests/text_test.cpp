// Text output: height, rotation and position from the font size and the transform, the style name,
// and the content as it reaches the TEXT entity.
#include "support/scratch_drawing.h"
#include "support/test_support.h"
#include "svg/converter.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace testing_support;

namespace
{

constexpr double kHeight = 200.0;
using Entity = std::vector<Group>;

class CScratchDrawing : public ScratchDrawing
{
public:
    CScratchDrawing()
        : ScratchDrawing("text",
                         [](CConverter& c)
                         {
                     c.AddFont("Arial");
                     c.m_docHeight = kHeight;
                     c.m_strokeAci = 5;
                         })
    {
    }
};


// Undoes the escapes the writer makes of characters beyond ASCII, as CAD readers do: four hex digits
// each, surrogate pairs joined.
std::string DecodeEscapes(const std::string& text)
{
    std::string out;
    unsigned long high = 0;
    for (std::size_t i = 0; i < text.size();)
    {
        if (text.compare(i, 3, "\\U+") != 0 || i + 7 > text.size())
        {
            out += text[i++];
            continue;
        }
        unsigned long cp = std::stoul(text.substr(i + 3, 4), nullptr, 16);
        i += 7;
        if (cp >= 0xD800 && cp < 0xDC00)
        {
            high = cp;
            continue;
        }
        if (cp >= 0xDC00 && cp < 0xE000)
            cp = 0x10000 + ((high - 0xD800) << 10) + (cp - 0xDC00);
        if (cp < 0x800)
        {
            out += static_cast<char>(0xC0 | (cp >> 6));
        }
        else if (cp < 0x10000)
        {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        }
        else
        {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        }
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

// ---- placement ----------------------------------------------------------------------------------

struct PlacementCase
{
    const char* name;
    const char* transform;
    const char* fontSize;
    const char* x;
    const char* y;
    double dxfX;
    double dxfY;
    double height;
    double angle; // degrees
};

class TextPlacementTest : public ::testing::TestWithParam<PlacementCase>
{
};

TEST_P(TextPlacementTest, InsertionHeightAndAngle)
{
    const PlacementCase& c = GetParam();
    CScratchDrawing drawing;
    drawing.converter.WriteTextElement(c.transform, "", c.fontSize, "Label", c.x, c.y);
    const auto entities = drawing.Finish();
    ASSERT_EQ(entities.size(), 1u);
    const Entity& text = entities[0];
    EXPECT_EQ(text.front().value, "TEXT");
    EXPECT_NEAR(Real(text, 10), c.dxfX, 1e-9);
    EXPECT_NEAR(Real(text, 20), c.dxfY, 1e-9);
    EXPECT_NEAR(Real(text, 11), c.dxfX, 1e-9);
    EXPECT_NEAR(Real(text, 21), c.dxfY, 1e-9);
    EXPECT_NEAR(Real(text, 40), c.height, 1e-9);
    EXPECT_NEAR(Real(text, 50), c.angle, 1e-9);
    EXPECT_DOUBLE_EQ(Real(text, 41), 0.7);
    EXPECT_EQ(GroupValue(text, 7), "Standard");
    EXPECT_EQ(GroupValue(text, 62), "5");
    EXPECT_EQ(GroupValue(text, 72), "0");
    EXPECT_EQ(GroupValue(text, 73), "0");
}

INSTANTIATE_TEST_SUITE_P(
    Text, TextPlacementTest,
    ::testing::Values(
        PlacementCase{"Plain", "", "12", "0", "0", 0, 200, 9.6, 0},
        PlacementCase{"UnitsDropped", "", "12px", "3", "4", 3, 196, 9.6, 0},
        PlacementCase{"Translate", "translate(10,20)", "12", "5", "5", 15, 175, 9.6, 0},
        PlacementCase{"TranslateBlank", "translate(10 20)", "12", "5", "5", 15, 175, 9.6, 0},
        PlacementCase{"MatrixScale", "matrix(2 0 0 2 0 0)", "10", "1", "1", 2, 198, 16, 0},
        PlacementCase{"MatrixCommas", "matrix(2,0,0,2,3,4)", "10", "1", "1", 5, 194, 16, 0},
        PlacementCase{"MatrixQuarterTurn", "matrix(0 1 -1 0 0 0)", "10", "0", "0", 0, 200, 8, 90},
        // Only the first six pieces have a place in the matrix.
        PlacementCase{"MatrixExtraPieces", "matrix(1 0 0 1 5 5 9 9)", "10", "0", "0", 5, 195, 8, 0},
        // A collapsed x axis gives neither size nor direction.
        PlacementCase{"MatrixCollapsed", "matrix(0 0 0 0 5 5)", "10", "1", "1", 5, 195, 0, 0},
        PlacementCase{"RotateIgnored", "rotate(30)", "10", "1", "1", 1, 199, 8, 0},
        PlacementCase{"NoSize", "", "", "0", "0", 0, 200, 0, 0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Text, GroupTransformMovesTheInsertionPoint)
{
    CScratchDrawing drawing;
    drawing.converter.PushGroupMatrix();
    drawing.converter.ParseGroupTransform("translate(100,50)");
    drawing.converter.WriteTextElement("translate(1,2)", "", "10", "A", "0", "0");
    const auto entities = drawing.Finish();
    ASSERT_EQ(entities.size(), 1u);
    EXPECT_DOUBLE_EQ(Real(entities[0], 10), 101.0);
    EXPECT_DOUBLE_EQ(Real(entities[0], 20), 148.0);
}

TEST(Text, StyleAndSizeFallBackToTheGroup)
{
    CScratchDrawing drawing;
    drawing.converter.m_groupFontFamily = "Arial";
    drawing.converter.m_groupFontSize = "20";
    drawing.converter.WriteTextElement("", "", "", "A", "0", "0");
    drawing.converter.WriteTextElement("", "Verdana", "10", "B", "0", "0");
    const auto entities = drawing.Finish();
    ASSERT_EQ(entities.size(), 2u);
    EXPECT_EQ(GroupValue(entities[0], 7), "Style-Arial");
    EXPECT_DOUBLE_EQ(Real(entities[0], 40), 16.0);
    // A family the pre-pass never collected has no style of its own.
    EXPECT_EQ(GroupValue(entities[1], 7), "Standard");
}

TEST(Text, HugeSizeIsNotWritten)
{
    CScratchDrawing drawing;
    drawing.converter.WriteTextElement("", "", "1e300", "A", "0", "0");
    drawing.converter.WriteTextElement("", "", "10", "A", "inf", "0");
    EXPECT_TRUE(drawing.Finish().empty());
}

// ---- content ------------------------------------------------------------------------------------

struct ContentCase
{
    const char* name;
    std::string content;
    std::string written; // "" means no entity
};

class TextContentTest : public ::testing::TestWithParam<ContentCase>
{
};

TEST_P(TextContentTest, WrittenValue)
{
    const ContentCase& c = GetParam();
    CScratchDrawing drawing;
    drawing.converter.WriteTextElement("", "", "10", c.content, "0", "0");
    const auto entities = drawing.Finish();
    if (c.written.empty())
    {
        EXPECT_TRUE(entities.empty());
        return;
    }
    ASSERT_EQ(entities.size(), 1u);
    EXPECT_EQ(GroupValue(entities[0], 1), c.written);
}

INSTANTIATE_TEST_SUITE_P(
    Text, TextContentTest,
    ::testing::Values(ContentCase{"Plain", "Hello, world", "Hello, world"},
                      ContentCase{"TspanTagCut", "Hello</tspan>", "Hello"},
                      ContentCase{"TextTagCut", "Hi</text> trailing", "Hi"},
                      ContentCase{"BothTags", "a</tspan>b</text>", "a"},
                      ContentCase{"LineBreaks", "one\ntwo\r\nthree\rfour", "one two three four"},
                      ContentCase{"Latin", "caf\xC3\xA9", "caf\\U+00E9"},
                      ContentCase{"Euro", "\xE2\x82\xAC 5", "\\U+20AC 5"},
                      ContentCase{"BeyondBmp", "\xF0\x9F\x98\x80", "\\U+D83D\\U+DE00"},
                      ContentCase{"InvalidBytesKept", "a\xFF\xC3(", "a\xFF\xC3("},
                      ContentCase{"OverlongKept", "\xC0\xAF", "\xC0\xAF"}, ContentCase{"Empty", "", ""}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Text, NonAsciiRoundTrip)
{
    const std::string original = "Gr\xC3\xBC\xC3\x9F"
                                 "e \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80 \xCE\xA9";
    CScratchDrawing drawing;
    drawing.converter.WriteTextElement("", "", "10", original, "0", "0");
    const auto entities = drawing.Finish();
    ASSERT_EQ(entities.size(), 1u);
    const std::string written = GroupValue(entities[0], 1);
    for (unsigned char c : written)
        EXPECT_LT(c, 0x80);
    EXPECT_EQ(DecodeEscapes(written), original);
}

} // namespace
