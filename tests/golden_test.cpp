// Whole outputs fixed as regression files: tests/data/golden/<case>.svg beside <case>.dxf, each case
// naming the behaviour it pins in an XML comment at its top. A case whose name ends in "-nofill" is
// converted with fill entities off. UPDATE_GOLDEN=1 rewrites the expected files: review the diff.
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace testing_support;

namespace
{

std::vector<std::string> GoldenCases()
{
    std::vector<std::string> cases;
    for (const auto& entry : std::filesystem::directory_iterator(DataDir() / "golden"))
        if (entry.path().extension() == ".svg")
            cases.push_back(entry.path().stem().string());
    std::sort(cases.begin(), cases.end());
    return cases;
}

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class GoldenTest : public ::testing::TestWithParam<std::string>
{
};

TEST_P(GoldenTest, OutputMatches)
{
    const auto svg = DataDir() / "golden" / (GetParam() + ".svg");
    const auto expectedPath = DataDir() / "golden" / (GetParam() + ".dxf");
    const std::string actual = ConvertSvgFile(svg, !EndsWith(GetParam(), "-nofill"));
    ASSERT_FALSE(actual.empty()) << "conversion failed for " << svg;
    if (std::getenv("UPDATE_GOLDEN"))
    {
        WriteFile(expectedPath, actual);
        GTEST_SKIP() << "updated " << expectedPath;
    }
    ASSERT_TRUE(std::filesystem::exists(expectedPath)) << "no expected output " << expectedPath;
    EXPECT_EQ(FirstDifference(ReadFile(expectedPath), actual), "") << svg;
}

TEST_P(GoldenTest, ReadsBackWithDxflib)
{
    const auto expectedPath = DataDir() / "golden" / (GetParam() + ".dxf");
    if (!std::filesystem::exists(expectedPath))
        GTEST_SKIP() << "no expected output yet";
    EXPECT_EQ(CheckWithDxflib(expectedPath), "");
}

INSTANTIATE_TEST_SUITE_P(Drawings, GoldenTest, ::testing::ValuesIn(GoldenCases()),
                         [](const auto& testInfo) {
                             std::string name = testInfo.param;
                             std::replace_if(
                                 name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                             return name;
                         });

} // namespace
