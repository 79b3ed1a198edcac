// The computed style of an element in the exact reading: presentation attributes, the style
// sheet, the style attribute and !important in cascade order, inherited down the tree.
#pragma once

#include "svg/exact_length.h"
#include "svg/exact_paint.h"

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

class CStyleSheet;
class CXML;

enum class CTextAnchor
{
    Start,
    Middle,
    End
};

// The texts computed styles name (dash patterns, marker references, font families), kept once for
// a whole conversion so that a style is a plain value that every element copies cheaply.
class CStyleTexts
{
  public:
    std::string_view Keep(std::string_view text);

  private:
    // A deque never moves what it holds, so the views stay good as it grows.
    std::deque<std::string> m_texts;
    std::unordered_set<std::string_view> m_kept;
};

struct CExactStyle
{
    // Inherited.
    CPaint fill{true, 0};
    CPaint stroke;
    double strokeWidth = 1.0;
    std::string_view dashArray; // as ExactDashArray gives it; empty: solid
    double fillOpacity = 1.0;
    double strokeOpacity = 1.0;
    bool hidden = false;
    bool evenOdd = false; // fill-rule: evenodd, else SVG's initial nonzero
    std::string_view fontFamily;
    std::string_view fontFamilies; // the whole font-family list, for the fonts of outlined text
    int fontWeight = 400;          // 1 to 1000, 700 bold
    bool italic = false;           // italic or oblique
    double fontSize = 16.0;
    int color = 0;
    CTextAnchor textAnchor = CTextAnchor::Start;
    std::string_view markerStart;
    std::string_view markerMid;
    std::string_view markerEnd;
    // Not inherited.
    bool displayNone = false;
    double opacity = 1.0;

    bool FillDrawn() const { return fill.drawn && fillOpacity > 0.0; }
    bool StrokeDrawn() const { return stroke.drawn && strokeOpacity > 0.0 && strokeWidth > 0.0; }
};

// What a style is computed against besides its parent: the viewport for percentages, the ids for
// paint references, the style sheet.
struct CStyleEnvironment
{
    const CStyleSheet* sheet = nullptr;
    // Where the styles' texts are kept: they live as long as any copy of the environment.
    std::shared_ptr<CStyleTexts> texts = std::make_shared<CStyleTexts>();
    CIdLookup lookup;
    double viewportWidth = 0.0;
    double viewportHeight = 0.0;
};

// The element's style, from its parent's computed style.
CExactStyle ComputeStyle(const CXML& element, const CExactStyle& parent,
                         const CStyleEnvironment& environment);

// A stroke-dasharray as the line-type pattern the DXF side reads: its lengths in user units between
// single blanks, an odd list repeated to make it even; empty (a solid stroke) for "none", a list
// that is not all lengths, a negative length or a sum of 0.
std::string ExactDashArray(std::string_view text, const CLengthContext& context);

// A font size (length, em, %, the absolute and relative keywords) against the parent's size;
// nothing for a text that is none of them.
std::optional<double> ResolveFontSize(std::string_view text, double parentSize);

// A font-weight (normal, bold, bolder, lighter, 1 to 1000) against the inherited weight; the
// inherited one for any other text.
int ResolveFontWeight(std::string_view text, int parentWeight);

// The font shorthand's parts: "italic bold 12px/1.5 Georgia, serif". False for a text that is no
// font shorthand (no size, no family); the weight is empty where none is given.
struct CFontShorthand
{
    bool italic = false;
    std::string_view weight;
    std::string_view size;
    std::string_view families;
};
bool ParseFontShorthand(std::string_view text, CFontShorthand& out);

// The first family of a font-family list, without its quotes.
std::string FirstFontFamily(std::string_view text);
