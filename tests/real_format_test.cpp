// Reals must print exactly as dxflib's own writer prints them: the library's output is what CAD
// programs and the golden files have always seen.
#include "dxf/real_format.h"

#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace
{

std::string Format(double value, int decimals = 16)
{
    char buffer[kDxfRealBufferSize];
    return std::string(buffer, FormatDxfReal(value, decimals, buffer));
}

struct RealCase
{
    const char* name;
    double value;
    const char* text;
};

class FormatDxfRealTest : public ::testing::TestWithParam<RealCase>
{
};

TEST_P(FormatDxfRealTest, PrintsAsTheLibrary)
{
    EXPECT_EQ(Format(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, FormatDxfRealTest,
    ::testing::Values(
        RealCase{"Zero", 0.0, "0.0"}, RealCase{"NegativeZero", -0.0, "-0.0"}, RealCase{"Whole", 2.0, "2.0"},
        RealCase{"Half", 0.5, "0.5"}, RealCase{"Third", 1.0 / 3.0, "0.3333333333333333"},
        RealCase{"SixteenFixedDecimals", 123456789.123456789, "123456789.1234567910432816"},
        RealCase{"TinyVanishes", 1e-20, "0.0"}, RealCase{"TinyNegativeKeepsSign", -1e-20, "-0.0"},
        RealCase{"Small", 2.5e-7, "0.00000025"}, RealCase{"Huge", 1e20, "100000000000000000000.0"},
        // 2^-17 = 0.00000762939453125: a tie at the 17th decimal rounds to the even digit.
        RealCase{"TieToEven", 0.00000762939453125, "0.0000076293945312"},
        RealCase{"NotQuiteTenth", 100.05, "100.0499999999999972"},
        RealCase{"Infinity", std::numeric_limits<double>::infinity(), "inf"}),
    [](const ::testing::TestParamInfo<RealCase>& row) { return std::string(row.param.name); });

TEST(FormatDxfRealTest, OldVersionKeepsSixDecimals)
{
    EXPECT_EQ(Format(1.0 / 3.0, 6), "0.333333");
    EXPECT_EQ(Format(2.5, 6), "2.5");
    EXPECT_EQ(Format(0.0000005, 6), "0.0"); // exactly below the half: rounds down
}

TEST(FormatDxfRealTest, LargestDoubleFitsTheBuffer)
{
    const std::string text = Format(std::numeric_limits<double>::max());
    EXPECT_EQ(text.size(), 311u); // 309 digits, the point and one decimal
    EXPECT_EQ(text.substr(text.size() - 2), ".0");
}

// The shortest form reads back as the very value, and a whole number still reads as a real.
TEST(ShortestRealTest, ReadsBackAsTheSameDouble)
{
    const struct
    {
        double value;
        const char* text;
    } cases[] = {
        {643.301, "643.301"},     {805.431, "805.431"},   {1.0, "1.0"},        {-2.5, "-2.5"},
        {0.1, "0.1"},             {1e-20, "1e-20"},       {1e15, "1e+15"},     {-0.0, "-0.0"},
        {0.0, "0.0"},             {123456789.0, "123456789.0"},
        {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
    };
    for (const auto& c : cases)
    {
        char buffer[kDxfRealBufferSize + 2];
        const char* end = orbelin::dxf::PutRealLine(buffer, c.value, kShortestReal);
        const std::string line(static_cast<const char*>(buffer), end);
        EXPECT_EQ(line, std::string(c.text) + "\n") << c.value;
        EXPECT_EQ(std::stod(line), c.value) << c.text;
    }
}

} // namespace
