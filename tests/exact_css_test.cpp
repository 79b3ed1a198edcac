// Style attributes and style sheets: declarations, selectors, the cascade, and text meant to hurt.
#include "svg/exact_css.h"
#include "xml/input_file.h"
#include "xml/xml.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{

// "property=value" per declaration, "!" after an important one, joined by "|".
std::string Describe(const std::vector<CCssDeclaration>& declarations)
{
    std::string text;
    for (const CCssDeclaration& d : declarations)
        text += (text.empty() ? "" : "|") + d.property + "=" + d.value + (d.important ? "!" : "");
    return text;
}

std::string Declarations(std::string_view text)
{
    std::vector<CCssDeclaration> out;
    ParseCssDeclarations(text, out);
    return Describe(out);
}

struct DeclarationCase
{
    const char* name;
    std::string text;
    const char* expected;
};

class DeclarationsTest : public ::testing::TestWithParam<DeclarationCase>
{
};

TEST_P(DeclarationsTest, ReadsWhatABrowserKeeps)
{
    EXPECT_EQ(Declarations(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DeclarationsTest,
    ::testing::Values(
        DeclarationCase{"Inkscape", "fill:#ff0000;fill-opacity:1;stroke:none",
                        "fill=#ff0000|fill-opacity=1|stroke=none"},
        DeclarationCase{"Empty", "", ""}, DeclarationCase{"OnlySemicolons", " ; ;; ", ""},
        DeclarationCase{"TrailingSemicolon", "fill:red;", "fill=red"},
        DeclarationCase{"BlanksAround", "  fill \t:\n red  ;  stroke : blue ", "fill=red|stroke=blue"},
        DeclarationCase{"PropertyLowerCased", "FILL:Red", "fill=Red"},
        DeclarationCase{"MissingValue", "fill:;stroke:blue", "stroke=blue"},
        DeclarationCase{"BlankValue", "fill:  ;stroke:blue", "stroke=blue"},
        DeclarationCase{"MissingColon", "fill red;stroke:blue", "stroke=blue"},
        DeclarationCase{"MissingProperty", ":red;stroke:blue", "stroke=blue"},
        DeclarationCase{"BlankInsideProperty", "fi ll:red;stroke:blue", "stroke=blue"},
        DeclarationCase{"ColonInValue", "font-family:a:b", "font-family=a:b"},
        DeclarationCase{"Important", "fill:red!important", "fill=red!"},
        DeclarationCase{"ImportantSpaced", "fill: red ! important ;", "fill=red!"},
        DeclarationCase{"ImportantAnyCase", "fill:red !IMPORTANT", "fill=red!"},
        DeclarationCase{"ImportantAlone", "fill:!important;stroke:blue", "stroke=blue"},
        DeclarationCase{"OtherBangDropped", "fill:red !importantly;stroke:blue", "stroke=blue"},
        DeclarationCase{"BangWithNothing", "fill:red !;stroke:blue", "stroke=blue"},
        DeclarationCase{"CommentBetweenDeclarations", "fill:red;/* a; b: c */stroke:blue",
                        "fill=red|stroke=blue"},
        DeclarationCase{"CommentInValue", "fill:/*x*/red/*y*/", "fill=red"},
        DeclarationCase{"CommentSeparatesNumbers", "stroke-dasharray:1/**/2", "stroke-dasharray=1 2"},
        DeclarationCase{"CommentBeforeImportant", "fill:red /*!*/ !important", "fill=red!"},
        DeclarationCase{"UnclosedComment", "fill:red;stroke:/* blue", "fill=red"},
        DeclarationCase{"SemicolonInQuotes", "font-family:'a;b';fill:red", "font-family='a;b'|fill=red"},
        DeclarationCase{"DoubleQuotesKept", "font-family:\"Arial Black\", serif",
                        "font-family=\"Arial Black\", serif"},
        DeclarationCase{"BangInQuotes", "font-family:'Wow!'", "font-family='Wow!'"},
        DeclarationCase{"LineBreakInStringDrops", "font-family:'a\n;fill:red", "fill=red"},
        DeclarationCase{"UnclosedStringAtEnd", "fill:red;font-family:'a", "fill=red|font-family='a"},
        DeclarationCase{"SemicolonInParentheses", "fill:url(data:x;y);stroke:blue",
                        "fill=url(data:x;y)|stroke=blue"},
        DeclarationCase{"UnclosedParenthesisTakesTheRest", "fill:rgb(1,2;stroke:blue",
                        "fill=rgb(1,2;stroke:blue"},
        DeclarationCase{"StrayClosingBracket", "fill:red);stroke:blue", "stroke=blue"},
        DeclarationCase{"EscapedSemicolon", "font-family:a\\;b;fill:red", "font-family=a\\;b|fill=red"},
        DeclarationCase{"CustomProperty", "--main:red", "--main=red"},
        DeclarationCase{"RepeatsKeptInOrder", "fill:red;fill:blue", "fill=red|fill=blue"},
        DeclarationCase{"NulInProperty", std::string("fi\0ll:red;stroke:blue", 21), "stroke=blue"}),
    [](const auto& row) { return std::string(row.param.name); });

// ---------------------------------------------------------------------------------------------

// The element of the document that carries the attribute t, depth first.
const CXML* Target(const CXML& node)
{
    for (const CAttribute& attribute : node.m_attributes)
        if (attribute.GetName() == "t")
            return &node;
    for (const auto& child : node.m_children)
        if (const CXML* found = Target(*child))
            return found;
    return nullptr;
}

struct CDocument
{
    explicit CDocument(const std::string& svg)
    {
        CInputFile file;
        file.OpenText(svg);
        Load(file, "", root);
        target = Target(root);
    }
    CXML root;
    const CXML* target = nullptr;
};

const char* const kDrawing = R"(<svg id="root" class="drawing">
  <g id="layer1" class="layer top">
    <g class="inner">
      <rect t="" id="r1" class="st0  big	st0" width="10" data-name="a b"/>
    </g>
    <circle class="st1" r="5"/>
  </g>
</svg>)";

std::string MatchText(const std::vector<std::string>& sheets, const char* svg = kDrawing)
{
    CStyleSheet sheet;
    for (const std::string& css : sheets)
        sheet.AddText(css);
    CDocument document(svg);
    std::vector<CCssDeclaration> out;
    if (document.target)
        sheet.Match(*document.target, out);
    return Describe(out);
}

struct SelectorCase
{
    const char* name;
    std::string selector;
    bool matches;
};

class SelectorTest : public ::testing::TestWithParam<SelectorCase>
{
};

TEST_P(SelectorTest, MatchesTheRect)
{
    const SelectorCase& c = GetParam();
    EXPECT_EQ(MatchText({c.selector + "{fill:red}"}), c.matches ? "fill=red" : "") << c.selector;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SelectorTest,
    ::testing::Values(
        SelectorCase{"Type", "rect", true}, SelectorCase{"OtherType", "circle", false},
        SelectorCase{"TypeCaseSensitive", "Rect", false}, SelectorCase{"Universal", "*", true},
        SelectorCase{"Class", ".st0", true}, SelectorCase{"SecondClass", ".big", true},
        SelectorCase{"ClassPrefixOnly", ".st", false}, SelectorCase{"ClassCaseSensitive", ".ST0", false},
        SelectorCase{"TwoClasses", ".st0.big", true}, SelectorCase{"ClassNotOnElement", ".st0.st1", false},
        SelectorCase{"Id", "#r1", true}, SelectorCase{"OtherId", "#r2", false},
        SelectorCase{"EscapedId", "#\\72 1", true}, SelectorCase{"EscapedClass", ".st\\30", true},
        SelectorCase{"EscapeInAttributeString", "[data-name='a\\20 b']", true},
        SelectorCase{"IdStartingWithDigit", "#1", false},
        SelectorCase{"Everything", "rect#r1.st0[width]", true}, SelectorCase{"UniversalClass", "*.st0", true},
        SelectorCase{"AttributePresent", "[width]", true}, SelectorCase{"AttributeAbsent", "[height]", false},
        SelectorCase{"AttributeBareName", "[id=r1]", true},
        SelectorCase{"AttributeBareNumberIsNoName", "[width=10]", false},
        SelectorCase{"AttributeDoubleQuoted", "[width=\"10\"]", true},
        SelectorCase{"AttributeSingleQuoted", "[ width = '10' ]", true},
        SelectorCase{"AttributeOtherValue", "[width=1]", false},
        SelectorCase{"AttributeWholeValue", "[class=st0]", false},
        SelectorCase{"AttributeValueWithBlank", "[data-name='a b']", true},
        SelectorCase{"Descendant", "g rect", true}, SelectorCase{"DescendantFromRoot", "svg rect", true},
        SelectorCase{"DescendantById", "#layer1 rect", true},
        SelectorCase{"DescendantWrongOrder", ".inner .layer rect", false},
        SelectorCase{"DescendantChain", ".layer .inner rect", true}, SelectorCase{"Child", "g > rect", true},
        SelectorCase{"ChildWithoutBlanks", "g>rect", true},
        SelectorCase{"ChildSkipsNoLevel", "#layer1 > rect", false},
        SelectorCase{"ChildChain", "#layer1 > g > rect", true},
        SelectorCase{"ChildBelowFartherAncestor", "svg > g rect", true},
        SelectorCase{"UniversalBetween", "svg * rect", true},
        SelectorCase{"SelfIsNoAncestor", "rect rect", false},
        SelectorCase{"AncestorOfOtherBranch", "circle rect", false},
        SelectorCase{"List", "circle, rect", true}, SelectorCase{"ListNoneMatches", "circle, .st1", false},
        SelectorCase{"Comment", "g/* x */>/**/rect", true},
        SelectorCase{"PseudoClass", "rect:first-child", false},
        SelectorCase{"PseudoElement", "rect::before", false}, SelectorCase{"Adjacent", "g + rect", false},
        SelectorCase{"Sibling", "g ~ rect", false}, SelectorCase{"PrefixOperator", "[width^=1]", false},
        SelectorCase{"CaseFlag", "[width=10 i]", false}, SelectorCase{"Namespace", "svg|rect", false},
        SelectorCase{"LeadingCombinator", "> rect", false},
        SelectorCase{"TrailingCombinator", "rect >", false}, SelectorCase{"DoubleChild", "g > > rect", false},
        SelectorCase{"UnsupportedMemberKeepsOthers", "rect:hover, .st0", true},
        SelectorCase{"UnsupportedMemberAlone", "circle, rect:hover", false},
        SelectorCase{"EmptyMemberDropsRule", ".st0,", false},
        SelectorCase{"EmptyMiddleMember", "rect,,circle", false},
        SelectorCase{"CommaInAttributeValue", "[data-name='a,b'], rect", true},
        SelectorCase{"Garbage", "$rect", false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ClassAttributeTest, ClassListInAnyBlanks)
{
    const char* svg = "<svg><rect t=\"\" class=\"\n a\tb  c \"/></svg>";
    EXPECT_EQ(MatchText({".b{fill:red}"}, svg), "fill=red");
    EXPECT_EQ(MatchText({".a.c{fill:red}"}, svg), "fill=red");
    EXPECT_EQ(MatchText({".d{fill:red}"}, svg), "");
}

TEST(IllustratorTest, ClassRulesApply)
{
    const char* svg = "<svg><style>x</style><path t=\"\" class=\"st1\" d=\"M0 0\"/></svg>";
    const std::string css =
        "\n\t.st0{fill:#FF0000;}\n\t.st1{fill:none;stroke:#000000;stroke-miterlimit:10;}\n";
    EXPECT_EQ(MatchText({css}, svg), "fill=none|stroke=#000000|stroke-miterlimit=10");
}

// ---------------------------------------------------------------------------------------------

struct CascadeCase
{
    const char* name;
    std::vector<std::string> sheets;
    const char* expected;
};

class CascadeTest : public ::testing::TestWithParam<CascadeCase>
{
};

TEST_P(CascadeTest, OrdersSoThatTheLastWins)
{
    EXPECT_EQ(MatchText(GetParam().sheets), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, CascadeTest,
    ::testing::Values(
        CascadeCase{"SourceOrder", {".st0{fill:red} .big{fill:blue}"}, "fill=red|fill=blue"},
        CascadeCase{"IdBeatsLaterClass", {"#r1{fill:red} .st0{fill:blue}"}, "fill=blue|fill=red"},
        CascadeCase{"TypeClassId", {"#r1{a:1} .st0{a:2} rect{a:3}"}, "a=3|a=2|a=1"},
        CascadeCase{"AttributeCountsAsClass", {"[width]{a:1} rect{a:2} .big{a:3}"}, "a=2|a=1|a=3"},
        CascadeCase{"UniversalCountsNothing", {"rect{a:2} *{a:1}"}, "a=1|a=2"},
        CascadeCase{"TypesAddUp", {"g rect{a:1} rect{a:2}"}, "a=2|a=1"},
        CascadeCase{"ClassBeatsManyTypes", {".st0{a:1} svg g g rect{a:2}"}, "a=2|a=1"},
        CascadeCase{
            "ImportantAfterNormal", {".st0{fill:red!important} #r1{fill:blue}"}, "fill=blue|fill=red!"},
        CascadeCase{"ImportantBySpecificity",
                    {"#r1{fill:red!important} .st0{fill:blue !important}"},
                    "fill=blue!|fill=red!"},
        CascadeCase{
            "RuleSplitByImportance", {".st0{fill:red !important; stroke:blue}"}, "stroke=blue|fill=red!"},
        CascadeCase{
            "ListTakesMostSpecificMember", {"rect, #r1 {fill:red} .st0{fill:blue}"}, "fill=blue|fill=red"},
        CascadeCase{"RuleOnceForRepeatedClass", {".st0{fill:red}"}, "fill=red"},
        CascadeCase{"LaterStyleElementLater", {".big{fill:red}", ".st0{fill:blue}"}, "fill=red|fill=blue"},
        CascadeCase{"EqualSpecificityAcrossKeys", {"[width]{a:1} .st0{a:2} [t]{a:3}"}, "a=1|a=2|a=3"},
        CascadeCase{"NonMatchingRulesAbsent", {"circle{a:1} rect{a:2} .st1{a:3}"}, "a=2"}),
    [](const auto& row) { return std::string(row.param.name); });

// ---------------------------------------------------------------------------------------------

struct HostileCase
{
    const char* name;
    std::string css;
    const char* expected;
};

class HostileSheetTest : public ::testing::TestWithParam<HostileCase>
{
};

TEST_P(HostileSheetTest, KeepsWhatIsSound)
{
    EXPECT_EQ(MatchText({GetParam().css}), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, HostileSheetTest,
    ::testing::Values(
        HostileCase{"Empty", "", ""}, HostileCase{"OnlyBlanks", " \n\t ", ""},
        HostileCase{"UnterminatedBlockEndsWithText", ".st0{fill:red", "fill=red"},
        HostileCase{"UnterminatedComment", "/* .st0{fill:red}", ""},
        HostileCase{"UnterminatedString", "[a=\"x{fill:red}", ""},
        HostileCase{"SelectorWithoutBlock", ".st0", ""},
        HostileCase{"StrayBracesDropOneRule", "}} .st0{fill:red} .big{fill:blue}", "fill=blue"},
        HostileCase{"CData", "<![CDATA[ .st0{fill:red} ]]>", "fill=red"},
        HostileCase{"CDataAroundRulesOnly", ".st0{a:1}<![CDATA[.big{a:2}]]>rect{a:3}", "a=3|a=1|a=2"},
        HostileCase{"HtmlCommentMarkers", "<!-- .st0{fill:red} -->", "fill=red"},
        HostileCase{"AtRulesSkipped",
                    "@charset \"utf-8\"; @import url(a.css); @media screen { .st0{fill:blue} }"
                    " @font-face{font-family:x} .st0{fill:red}",
                    "fill=red"},
        HostileCase{"UnterminatedAtRule", "@media screen { .st0{fill:blue}", ""},
        HostileCase{"NestedBlocksInBody", ".st0{fill:red; rect{fill:blue} stroke:green}", "fill=red"},
        HostileCase{"BracesInString", ".st0{font-family:'}'; fill:red}", "font-family='}'|fill=red"},
        HostileCase{"NulBytes", std::string(".st0{\0}.big{fill:red}", 21), "fill=red"},
        HostileCase{"HugeSelectorMatchesNothing", std::string(2000, 'g') + " rect, .st0{fill:red}",
                    "fill=red"},
        HostileCase{"TooManyCombinators",
                    []
                    {
                        std::string css;
                        for (int i = 0; i < 40; ++i)
                            css += "* ";
                        return css + "rect{fill:red}";
                    }(),
                    ""},
        HostileCase{"DeepBraces", std::string(100000, '{') + std::string(100000, '}') + ".st0{fill:red}",
                    "fill=red"},
        HostileCase{"UnclosedBrackets", std::string(100000, '[') + "{fill:red} .st0{fill:blue}", ""},
        HostileCase{"ManyRules",
                    []
                    {
                        std::string css;
                        for (int i = 0; i < 20000; ++i)
                            css += ".c" + std::to_string(i) + "{fill:red}";
                        return css + ".st0{fill:blue}";
                    }(),
                    "fill=blue"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(HostileTreeTest, DeepParenthesesKeepTheirText)
{
    // Unclosed to the end, as a browser reads it: the value is for the property's reader to refuse.
    const std::string text = MatchText({".st0{fill:red;stroke:" + std::string(100000, '(') + "}"});
    EXPECT_EQ(text.substr(0, 16), "fill=red|stroke=");
    EXPECT_EQ(text.size(), 16u + 100001u);
}

TEST(HostileTreeTest, DeepTreeWithinTheBound)
{
    // As deep as the reader keeps, matched by a selector of as many parts as a selector may have.
    std::string svg;
    for (int i = 0; i < kMaxXmlDepth; ++i)
        svg += "<g>";
    svg += "<rect t=\"\"/>";
    for (int i = 0; i < kMaxXmlDepth; ++i)
        svg += "</g>";
    std::string selector;
    for (std::size_t i = 1; i < kMaxCssCompounds; ++i)
        selector += i % 2 ? "g " : "g > ";
    EXPECT_EQ(MatchText({selector + "rect{fill:red}"}, svg.c_str()), "fill=red");
    EXPECT_EQ(MatchText({"svg " + selector + "rect{fill:red}"}, svg.c_str()), "");
}

TEST(StyleSheetTest, EmptyUntilARuleCounts)
{
    CStyleSheet sheet;
    EXPECT_TRUE(sheet.Empty());
    sheet.AddText("@media print{.a{fill:red}} rect:hover{fill:red} .b{} .c{fill:}");
    EXPECT_TRUE(sheet.Empty());
    sheet.AddText(".d{fill:red}");
    EXPECT_FALSE(sheet.Empty());

    CStyleSheet moved(std::move(sheet));
    EXPECT_FALSE(moved.Empty());
    CDocument document("<svg><rect t=\"\" class=\"d\"/></svg>");
    std::vector<CCssDeclaration> out;
    moved.Match(*document.target, out);
    EXPECT_EQ(Describe(out), "fill=red");
    // A moved-from sheet is empty and still takes rules.
    EXPECT_TRUE(sheet.Empty());
    sheet.Match(*document.target, out);
    sheet.AddText(".d{stroke:blue}");
    out.clear();
    sheet.Match(*document.target, out);
    EXPECT_EQ(Describe(out), "stroke=blue");
}

} // namespace
