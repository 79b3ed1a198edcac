// Locale-independent number reading with the lenient contract of the C library's atof and atoi.
#include "platform/text.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace
{

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

struct DoubleCase
{
    const char* name;
    std::string text;
    double value;
    std::size_t used;
};

// Same value including the sign of zero and NaN-ness.
::testing::AssertionResult SameDouble(double expected, double actual)
{
    if (std::isnan(expected) && std::isnan(actual))
        return ::testing::AssertionSuccess();
    if (expected == actual && std::signbit(expected) == std::signbit(actual))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "expected " << expected << ", got " << actual;
}

const std::vector<DoubleCase>& DoubleCases()
{
    static const std::vector<DoubleCase> cases = {
        {"LeadingBlanks", " \t\n\v\f\r1.5", 1.5, 9},
        {"TrailingUnit", "12px", 12, 2},
        {"BareDot", ".5", 0.5, 2},
        {"TrailingDot", "5.", 5, 2},
        {"DotAlone", ".", 0, 0},
        {"Garbage", "abc", 0, 0},
        {"Empty", "", 0, 0},
        {"DoubleSign", "--5", 0, 0},
        {"SignThenBlank", "- 5", 0, 0},
        {"ExponentEm", "2em", 2, 1},
        {"ExponentWithoutDigits", "1e", 1, 1},
        {"ExponentSignWithoutDigits", "1e+", 1, 1},
        {"UpperCaseExponent", "1E5", 1e5, 3},
        {"NegativeExponent", "-.5e-3", -0.0005, 6},
        {"PlusSign", "+5", 5, 2},
        {"NegativeZero", "-0", -0.0, 2},
        {"SecondDotEnds", "0.5.5", 0.5, 3},
        {"CommaIsNoDecimalPoint", "0,5", 0, 1},
        {"Overflow", "1e999", kInf, 5},
        {"NegativeOverflow", "-1e400", -kInf, 6},
        {"Underflow", "1e-400", 0, 6},
        {"ZeroWithHugeExponent", "0e999", 0, 5},
        {"Subnormal", "4.9e-324", 4.9406564584124654e-324, 8},
        {"LongMantissaOverflowsDespiteNegativeExponent", "1" + std::string(400, '0') + "e-5", kInf, 404},
        {"LongFractionUnderflows", "0." + std::string(400, '0') + "1", 0, 403},
        {"LongFractionUnderflowsDespitePositiveExponent", "0." + std::string(400, '0') + "1e5", 0, 405},
        {"LongIntegerOverflows", "1" + std::string(400, '0'), kInf, 401},
        {"NotANumber", "nan", kNan, 3},
        {"Infinity", "inf", kInf, 3},
        {"InfinityWord", "-Infinity", -kInf, 9},
        {"HexReadsAsZero", "0x10", 0, 1},
    };
    return cases;
}

class ReadDoubleTest : public ::testing::TestWithParam<DoubleCase>
{
};

TEST_P(ReadDoubleTest, KeepsLenientContract)
{
    const DoubleCase& c = GetParam();
    std::size_t used = 99;
    EXPECT_TRUE(SameDouble(c.value, orbelin::ReadDouble(c.text, &used)));
    EXPECT_EQ(used, c.used);
}

INSTANTIATE_TEST_SUITE_P(Edges, ReadDoubleTest, ::testing::ValuesIn(DoubleCases()),
                         [](const auto& row) { return std::string(row.param.name); });

struct IntCase
{
    const char* name;
    const char* text;
    int value;
    std::size_t used;
};

const std::vector<IntCase>& IntCases()
{
    static const std::vector<IntCase> cases = {
        {"LeadingBlanks", "  \t42", 42, 5},
        {"TrailingUnit", "12px", 12, 2},
        {"StopsAtDot", "1.9", 1, 1},
        {"Negative", "-7", -7, 2},
        {"PlusSign", "+3", 3, 2},
        {"Garbage", "abc", 0, 0},
        {"DoubleSign", "--5", 0, 0},
        {"Empty", "", 0, 0},
        {"HexReadsAsZero", "0x10", 0, 1},
        {"LargestInt", "2147483647", 2147483647, 10},
        {"SmallestInt", "-2147483648", std::numeric_limits<int>::min(), 11},
        {"ClampedHigh", "99999999999999999999", std::numeric_limits<int>::max(), 20},
        {"ClampedLow", "-2147483649", std::numeric_limits<int>::min(), 11},
    };
    return cases;
}

class ReadIntTest : public ::testing::TestWithParam<IntCase>
{
};

TEST_P(ReadIntTest, KeepsLenientContract)
{
    const IntCase& c = GetParam();
    std::size_t used = 99;
    EXPECT_EQ(orbelin::ReadInt(c.text, &used), c.value);
    EXPECT_EQ(used, c.used);
}

INSTANTIATE_TEST_SUITE_P(Edges, ReadIntTest, ::testing::ValuesIn(IntCases()),
                         [](const auto& row) { return std::string(row.param.name); });

// The C library in the "C" locale is the reference for every decimal form; only hexadecimal text
// (read as 0 on purpose) is left out.
TEST(ReadDoubleReferenceTest, MatchesCLibraryInCLocale)
{
    ASSERT_NE(std::setlocale(LC_NUMERIC, "C"), nullptr);
    for (const DoubleCase& c : DoubleCases())
    {
        if (c.text.find('x') != std::string::npos)
            continue;
        char* end = nullptr;
        const double expected = std::strtod(c.text.c_str(), &end);
        std::size_t used = 0;
        EXPECT_TRUE(SameDouble(expected, orbelin::ReadDouble(c.text, &used))) << c.name;
        EXPECT_EQ(used, static_cast<std::size_t>(end - c.text.c_str())) << c.name;
    }
}

// Restores the locale a test switched away from.
class CLocaleGuard
{
  public:
    CLocaleGuard() : m_saved(std::setlocale(LC_ALL, nullptr)) {}
    ~CLocaleGuard() { std::setlocale(LC_ALL, m_saved.c_str()); }
    CLocaleGuard(const CLocaleGuard&) = delete;
    CLocaleGuard& operator=(const CLocaleGuard&) = delete;

  private:
    std::string m_saved;
};

TEST(ReadDoubleReferenceTest, IgnoresCommaDecimalLocale)
{
    CLocaleGuard guard;
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    // The locale really reads differently, so the rows below would catch a locale-bound reader.
    EXPECT_EQ(std::atof("0.5"), 0.0);

    for (const DoubleCase& c : DoubleCases())
    {
        std::size_t used = 99;
        EXPECT_TRUE(SameDouble(c.value, orbelin::ReadDouble(c.text, &used))) << c.name;
        EXPECT_EQ(used, c.used) << c.name;
    }
    for (const IntCase& c : IntCases())
    {
        std::size_t used = 99;
        EXPECT_EQ(orbelin::ReadInt(c.text, &used), c.value) << c.name;
        EXPECT_EQ(used, c.used) << c.name;
    }
}

} // namespace
