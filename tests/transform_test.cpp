// Transform texts, matrix mapping and the group matrix stack.
#include "geometry/transform.h"
#include "svg/converter.h"

#include <gtest/gtest.h>
#include <string>

namespace
{

struct TransformCase
{
    const char* name;
    const char* text;
    bool groupForm;
    CMatrix expected;
};

class ParseTransformTextTest : public ::testing::TestWithParam<TransformCase>
{
};

TEST_P(ParseTransformTextTest, GivesMatrix)
{
    const TransformCase& c = GetParam();
    CMatrix m;
    ParseTransformText(c.text, m, c.groupForm);
    EXPECT_DOUBLE_EQ(m.a, c.expected.a) << c.text;
    EXPECT_DOUBLE_EQ(m.b, c.expected.b) << c.text;
    EXPECT_DOUBLE_EQ(m.c, c.expected.c) << c.text;
    EXPECT_DOUBLE_EQ(m.d, c.expected.d) << c.text;
    EXPECT_DOUBLE_EQ(m.e, c.expected.e) << c.text;
    EXPECT_DOUBLE_EQ(m.f, c.expected.f) << c.text;
}

constexpr CMatrix kIdentity{};

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseTransformTextTest,
    ::testing::Values(
        TransformCase{"MatrixBlanks", "matrix(1 0 0 1 10 20)", false, {1, 0, 0, 1, 10, 20}},
        TransformCase{"MatrixCommas", "matrix(1,0,0,1,10,20)", false, {1, 0, 0, 1, 10, 20}},
        TransformCase{"MatrixBlanksAndCommas", "matrix(1, 0, 0, 1, 10, 20)", false, {1, 0, 0, 1, 10, 20}},
        TransformCase{"MatrixDoubleBlankShifts", "matrix(2  0 0 3 10 20)", false, {2, 0, 0, 0, 3, 10}},
        TransformCase{"MatrixTrailingBlank", "matrix(1 2 3 4 5 6 )", false, {1, 2, 3, 4, 5, 6}},
        TransformCase{"MatrixFewNumbers", "matrix(2,3)", false, {2, 3, 0, 1, 0, 0}},
        TransformCase{"MatrixOneNumberIgnored", "matrix(5)", false, kIdentity},
        TransformCase{"MatrixFirstSixOnly", "matrix(1 2 3 4 5 6 7 8)", false, {1, 2, 3, 4, 5, 6}},
        TransformCase{
            "MatrixWinsOverTranslate", "translate(5,5) matrix(2 0 0 2 0 0)", false, {2, 0, 0, 2, 0, 0}},
        TransformCase{"TranslateThenScale", "translate(10,20) scale(2,3)", false, {2, 0, 0, 3, 10, 20}},
        TransformCase{
            "ScaleThenTranslateOnlyTranslates", "scale(2,3) translate(10,20)", false, {1, 0, 0, 1, 10, 20}},
        TransformCase{"TranslateBlankSeparated", "translate(10 20)", false, {1, 0, 0, 1, 10, 20}},
        TransformCase{"TranslateCommaAndBlank", "translate(10, -20)", false, {1, 0, 0, 1, 10, -20}},
        TransformCase{"ScaleBlankSeparated", "scale(2 3)", false, {2, 0, 0, 3, 0, 0}},
        TransformCase{"ScaleOneNumberIgnored", "scale(2)", false, kIdentity},
        TransformCase{"TranslateOneNumberIgnored", "translate(5)", false, kIdentity},
        TransformCase{"RotateIgnored", "rotate(45)", false, kIdentity},
        TransformCase{"UpperCaseNotKnown", "Translate(5,5)", false, kIdentity},
        TransformCase{"GroupFormDropsOneCharacter", "translate10,20", true, {1, 0, 0, 1, 0, 20}},
        TransformCase{"ElementFormKeepsIt", "translate10,20", false, {1, 0, 0, 1, 10, 20}},
        TransformCase{"GroupFormUsualText", "translate(10,20) scale(2,2)", true, {2, 0, 0, 2, 10, 20}},
        TransformCase{"GroupFormWordAtEnd", "translate", true, kIdentity}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ParseTransform, EmptyTextMeansNoMapping)
{
    CMatrix m{3, 3, 3, 3, 3, 3};
    EXPECT_EQ(ParseTransform("", m), 0);
    EXPECT_DOUBLE_EQ(m.a, 1.0);
    EXPECT_DOUBLE_EQ(m.e, 0.0);
    EXPECT_EQ(ParseTransform("rotate(45)", m), 1);
}

TEST(ApplyMatrix, UsesAllSixNumbers)
{
    double x = 1.0;
    double y = 1.0;
    ApplyMatrix(CMatrix{1, 2, 3, 4, 5, 6}, x, y);
    EXPECT_DOUBLE_EQ(x, 9.0);
    EXPECT_DOUBLE_EQ(y, 12.0);
}

TEST(GroupMatrices, NothingAppliedBeforeAGroupTransformWasSeen)
{
    CConverter converter;
    converter.m_matrixStack[0] = CMatrix{2, 0, 0, 2, 0, 0};
    converter.m_matrixDepth = 1;
    double x = 3.0;
    double y = 4.0;
    converter.ApplyGroupMatrices(x, y);
    EXPECT_DOUBLE_EQ(x, 3.0);
    EXPECT_DOUBLE_EQ(y, 4.0);

    converter.ParseGroupTransform("");
    EXPECT_EQ(converter.m_groupTransformSeen, 0);
    converter.ParseGroupTransform("rotate(45)");
    EXPECT_EQ(converter.m_groupTransformSeen, 1);
}

TEST(GroupMatrices, InnermostFirstAndPoppedEntriesDropOut)
{
    CConverter converter;
    converter.PushGroupMatrix();
    converter.ParseGroupTransform("translate(10,20)");
    converter.PushGroupMatrix();
    converter.ParseGroupTransform("scale(2,2)");

    double x = 1.0;
    double y = 1.0;
    converter.ApplyGroupMatrices(x, y);
    EXPECT_DOUBLE_EQ(x, 12.0);
    EXPECT_DOUBLE_EQ(y, 22.0);

    converter.PopGroupMatrix();
    converter.PushGroupMatrix(); // a new sibling group starts from identity
    x = 1.0;
    y = 1.0;
    converter.ApplyGroupMatrices(x, y);
    EXPECT_DOUBLE_EQ(x, 11.0);
    EXPECT_DOUBLE_EQ(y, 21.0);

    // The element's own matrix comes before the groups'.
    CMatrix element;
    ParseTransform("scale(3,3)", element);
    x = 1.0;
    y = 1.0;
    converter.MapPoint(&element, x, y);
    EXPECT_DOUBLE_EQ(x, 13.0);
    EXPECT_DOUBLE_EQ(y, 23.0);
}

TEST(GroupMatrices, DeepNestingStaysInsideTheStackAndBalanced)
{
    CConverter converter;
    constexpr int kDepth = 60;
    for (int i = 0; i < kDepth; ++i)
    {
        converter.PushGroupMatrix();
        converter.ParseGroupTransform("translate(1,0)");
    }
    EXPECT_EQ(converter.m_matrixDepth, kMatrixStackSize);
    EXPECT_EQ(converter.m_matrixOverflow, kDepth - kMatrixStackSize);

    double x = 0.0;
    double y = 0.0;
    converter.ApplyGroupMatrices(x, y);
    EXPECT_DOUBLE_EQ(x, kMatrixStackSize);

    for (int i = kMatrixStackSize; i < kDepth; ++i)
        converter.PopGroupMatrix();
    EXPECT_EQ(converter.m_matrixDepth, kMatrixStackSize);
    converter.PopGroupMatrix();
    x = 0.0;
    converter.ApplyGroupMatrices(x, y);
    EXPECT_DOUBLE_EQ(x, kMatrixStackSize - 1);

    for (int i = 0; i < kDepth; ++i) // more pops than pushes left
        converter.PopGroupMatrix();
    EXPECT_EQ(converter.m_matrixDepth, 0);
    EXPECT_EQ(converter.m_matrixOverflow, 0);
    converter.ParseGroupTransform("translate(5,5)"); // no open group: nothing to write into
    x = 0.0;
    converter.ApplyGroupMatrices(x, y);
    EXPECT_DOUBLE_EQ(x, 0.0);
}

} // namespace
