// Text into glyph outlines: which face a font-family list finds, and what the shaping makes of
// kerning, ligatures, right-to-left and joined scripts, combining marks and missing characters.
#include "fonts/text_outlines.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace
{

struct Box
{
    double x0 = std::numeric_limits<double>::max();
    double y0 = std::numeric_limits<double>::max();
    double x1 = std::numeric_limits<double>::lowest();
    double y1 = std::numeric_limits<double>::lowest();
    void Add(const CContourPoint& p)
    {
        x0 = std::min(x0, p.x);
        y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x);
        y1 = std::max(y1, p.y);
    }
};

// The box of one glyph's on-curve points and control points.
Box GlyphBox(const CTextOutline& outline, const CShapedGlyph& glyph)
{
    Box box;
    for (std::size_t i = glyph.firstContour; i < glyph.firstContour + glyph.contourCount; ++i)
    {
        box.Add(outline.contours[i].start);
        for (const CContourSegment& segment : outline.contours[i].segments)
            box.Add(segment.end);
    }
    return box;
}

std::string FileName(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The tests draw with the font the install script installs; without it nothing here can be judged.
class Fonts : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        CTextOutline probe;
        if (!library.Outline("DejaVu Sans", "a", probe) || FileName(probe.fontFile) != "DejaVuSans.ttf")
            GTEST_SKIP() << "DejaVu Sans is not installed (Debian: fonts-dejavu-core)";
    }
    CTextOutline Shape(const std::string& text, const std::string& family = "DejaVu Sans")
    {
        CTextOutline outline;
        EXPECT_TRUE(library.Outline(family, text, outline));
        return outline;
    }
    CFontLibrary library;
};

struct FamilyCase
{
    const char* name;
    const char* families;
    const char* file; // the face expected, "" for whichever the system gives
    int weight = 400;
    bool italic = false;
};

class FontFamilies : public Fonts, public ::testing::WithParamInterface<FamilyCase>
{
};

TEST_P(FontFamilies, FindTheFamilyElseItsGenericElseADefault)
{
    const FamilyCase& c = GetParam();
    CTextOutline outline;
    ASSERT_TRUE(library.Outline(c.families, "H", outline, c.weight, c.italic));
    if (*c.file != '\0')
    {
        EXPECT_EQ(FileName(outline.fontFile), c.file);
    }
    ASSERT_EQ(outline.glyphs.size(), 1u);
    EXPECT_NE(outline.glyphs[0].glyph, 0u);
    EXPECT_GT(outline.glyphs[0].contourCount, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, FontFamilies,
    ::testing::Values(
        FamilyCase{"Installed", "DejaVu Sans", "DejaVuSans.ttf"},
        FamilyCase{"AnyLetterCase", "dejavu serif", "DejaVuSerif.ttf"},
        FamilyCase{"QuotedAfterAMissingOne", "NoSuchFace, 'DejaVu Sans Mono'", "DejaVuSansMono.ttf"},
        FamilyCase{"GenericSerif", "NoSuchFace, serif", "DejaVuSerif.ttf"},
        FamilyCase{"GenericMonospace", "\"No Such Face\",monospace", "DejaVuSansMono.ttf"},
        FamilyCase{"GenericSansSerif", "sans-serif", "DejaVuSans.ttf"},
        FamilyCase{"UserInterfaceGeneric", "system-ui", "DejaVuSans.ttf"},
        FamilyCase{"NothingInstalled", "NoSuchFace", ""}, FamilyCase{"Empty", "", ""},
        FamilyCase{"OnlyCommas", " , ,", ""}, FamilyCase{"Bold", "DejaVu Sans", "DejaVuSans-Bold.ttf", 700},
        FamilyCase{"HeavyIsTheBoldFace", "DejaVu Sans", "DejaVuSans-Bold.ttf", 900},
        FamilyCase{"ObliqueForItalic", "DejaVu Sans", "DejaVuSans-Oblique.ttf", 400, true},
        FamilyCase{"SerifBoldItalic", "NoSuchFace, serif", "DejaVuSerif-BoldItalic.ttf", 700, true}),
    [](const ::testing::TestParamInfo<FamilyCase>& param) { return std::string(param.param.name); });

TEST(FontFamilyList, SplitsAtCommasOutsideQuotes)
{
    const struct
    {
        const char* list;
        std::vector<std::string> names;
    } cases[] = {
        {"Arial", {"Arial"}},
        {"  'Times New Roman' , serif ", {"Times New Roman", "serif"}},
        {"\"A, B\", C", {"A, B", "C"}},
        {",,Arial,,", {"Arial"}},
        {"'', serif", {"serif"}}, // nothing between the quotes names nothing
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitFontFamilies(c.list), c.names) << c.list;
}

TEST_F(Fonts, KerningAndLigaturesComeFromTheShaping)
{
    // A kerned pair sits closer than its two letters apart.
    const double pair = Shape("AV").advance;
    EXPECT_LT(pair, Shape("A").advance + Shape("V").advance);
    // DejaVu joins f and i into one glyph of its own, standing for both characters.
    const CTextOutline fi = Shape("fi");
    ASSERT_EQ(fi.glyphs.size(), 1u);
    EXPECT_NE(fi.glyphs[0].glyph, Shape("f").glyphs[0].glyph);
    EXPECT_EQ(fi.glyphs[0].cluster, 0u);
    // Advances add up along the run, in ems.
    const CTextOutline run = Shape("HH");
    ASSERT_EQ(run.glyphs.size(), 2u);
    EXPECT_NEAR(run.glyphs[1].x, Shape("H").advance, 1e-12);
    EXPECT_NEAR(run.advance, 2.0 * Shape("H").advance, 1e-12);
    EXPECT_GT(run.advance, 1.0);
    EXPECT_LT(run.advance, 2.0);
}

TEST_F(Fonts, RightToLeftRunsComeOutInVisualOrder)
{
    // Hebrew "shalom": four letters, two bytes each, written right to left.
    const CTextOutline outline = Shape("\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D");
    ASSERT_EQ(outline.glyphs.size(), 4u);
    // The first letter read is the rightmost drawn.
    EXPECT_EQ(outline.glyphs.front().cluster, 6u);
    EXPECT_EQ(outline.glyphs.back().cluster, 0u);
    for (std::size_t i = 1; i < outline.glyphs.size(); ++i)
        EXPECT_GT(outline.glyphs[i].x, outline.glyphs[i - 1].x);
}

TEST_F(Fonts, MixedDirectionsAreOrderedRunByRun)
{
    const struct
    {
        const char* name;
        const char* text;
        std::vector<unsigned> clusters; // left to right, as drawn
    } cases[] = {
        // Left-to-right paragraph: the Hebrew word is reversed in place, after the blank.
        {"HebrewInLatin", "Hello \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D", {0, 1, 2, 3, 4, 5, 12, 10, 8, 6}},
        // Right-to-left paragraph: the Latin word keeps its own order, at the left end.
        {"LatinInHebrew", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D Hello", {9, 10, 11, 12, 13, 8, 6, 4, 2, 0}},
        // Numbers read left to right inside right-to-left text.
        {"NumberInHebrew", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D 123", {9, 10, 11, 8, 6, 4, 2, 0}},
        {"NumberInLatin", "ab 12 c", {0, 1, 2, 3, 4, 5, 6}},
        {"LeadingBlanks", "  ab", {0, 1, 2, 3}},
    };
    for (const auto& c : cases)
    {
        const CTextOutline outline = Shape(c.text);
        std::vector<unsigned> clusters;
        for (const CShapedGlyph& glyph : outline.glyphs)
            clusters.push_back(glyph.cluster);
        EXPECT_EQ(clusters, c.clusters) << c.name;
        for (std::size_t i = 1; i < outline.glyphs.size(); ++i)
            EXPECT_GE(outline.glyphs[i].x, outline.glyphs[i - 1].x) << c.name;
    }
}

TEST_F(Fonts, JoinedScriptsTakeTheirContextualForms)
{
    // Arabic "salam": the lam between two letters joins both, unlike the lam alone.
    const CTextOutline word = Shape("\xD8\xB3\xD9\x84\xD8\xA7\xD9\x85");
    const CTextOutline lam = Shape("\xD9\x84");
    ASSERT_EQ(lam.glyphs.size(), 1u);
    ASSERT_FALSE(word.glyphs.empty());
    for (const CShapedGlyph& glyph : word.glyphs)
        EXPECT_NE(glyph.glyph, 0u);
    const bool isolatedLamInWord =
        std::any_of(word.glyphs.begin(), word.glyphs.end(),
                    [&](const CShapedGlyph& g) { return g.glyph == lam.glyphs[0].glyph; });
    EXPECT_FALSE(isolatedLamInWord);
}

TEST_F(Fonts, CombiningMarksSitOverTheirBase)
{
    // q has no precomposed form with a tilde: the mark stays a glyph of its own.
    const CTextOutline outline = Shape("q\xCC\x83");
    ASSERT_EQ(outline.glyphs.size(), 2u);
    const Box base = GlyphBox(outline, outline.glyphs[0]);
    const Box mark = GlyphBox(outline, outline.glyphs[1]);
    const double markCentre = 0.5 * (mark.x0 + mark.x1);
    EXPECT_GT(markCentre, base.x0);
    EXPECT_LT(markCentre, base.x1);
    EXPECT_GT(mark.y0, 0.5); // above the x-height of the q
    // The mark takes no room of its own along the line.
    EXPECT_NEAR(outline.advance, Shape("q").advance, 1e-12);
}

TEST_F(Fonts, LettersHaveTheirHolesAndMissingCharactersTheirNotdef)
{
    const struct
    {
        const char* text;
        std::size_t contours;
    } cases[] = {{"o", 2}, {"l", 1}, {"B", 3}, {"8", 3}, {" ", 0}};
    for (const auto& c : cases)
    {
        const CTextOutline outline = Shape(c.text);
        ASSERT_EQ(outline.glyphs.size(), 1u) << c.text;
        EXPECT_EQ(outline.glyphs[0].contourCount, c.contours) << c.text;
        EXPECT_EQ(outline.contours.size(), c.contours) << c.text;
        for (const CContour& contour : outline.contours)
            EXPECT_TRUE(contour.closed);
    }
    // A private-use character the font lacks is drawn, as the font's notdef glyph.
    const CTextOutline missing = Shape("a\xEE\x80\x80"
                                       "b");
    ASSERT_EQ(missing.glyphs.size(), 3u);
    EXPECT_EQ(missing.glyphs[1].glyph, 0u);
    EXPECT_GT(missing.glyphs[1].contourCount, 0u);
    EXPECT_GT(missing.glyphs[2].x, missing.glyphs[1].x);
}

TEST_F(Fonts, ControlCharactersAndBrokenBytesStillGiveAFiniteRun)
{
    const std::string cases[] = {std::string("a\nb\tc"), std::string("\xFF\xFE", 2), std::string("x\0y", 3),
                                 std::string(2000, 'W')};
    for (const std::string& text : cases)
    {
        const CTextOutline outline = Shape(text);
        EXPECT_FALSE(outline.glyphs.empty());
        EXPECT_TRUE(std::isfinite(outline.advance));
        for (const CContour& contour : outline.contours)
            for (const CContourSegment& segment : contour.segments)
                EXPECT_TRUE(std::isfinite(segment.end.x) && std::isfinite(segment.end.y));
    }
}

} // namespace
