// Text turned into the outlines of its glyphs: the font found by family through fontconfig, the
// characters shaped by HarfBuzz (kerning, ligatures, contextual forms, marks, right-to-left runs)
// and each glyph outlined by FreeType. Nothing here knows of DXF or of where the text goes.
#pragma once

#include "geometry/contour.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One glyph of a shaped run, in visual order.
struct CShapedGlyph
{
    unsigned glyph = 0;   // the font's glyph index; 0 is its notdef
    unsigned cluster = 0; // byte offset of the characters it stands for in the run's text
    double x = 0.0;       // where its origin was placed, in ems from the start of the baseline
    double y = 0.0;
    std::size_t firstContour = 0; // its contours in CTextOutline::contours
    std::size_t contourCount = 0;
};

// A run of text as outlines, in ems (1 is the font size), the start of the baseline at the origin,
// y up: the caller scales, aligns, turns and places it.
struct CTextOutline
{
    std::vector<CContour> contours;
    std::vector<CShapedGlyph> glyphs;
    double advance = 0.0; // the whole run's advance along the baseline
    std::string fontFile; // the face it was drawn with
};

// The fonts of one conversion: every face opened is kept, with the outlines of the glyphs already
// drawn, until the conversion ends, so a drawing of many texts opens each font once.
class CFontLibrary
{
  public:
    CFontLibrary();
    ~CFontLibrary();
    CFontLibrary(const CFontLibrary&) = delete;
    CFontLibrary& operator=(const CFontLibrary&) = delete;

    // Shapes and outlines text (UTF-8) in the first family of the CSS list `families` that is
    // installed, else its generic family (serif, sans-serif, monospace, ...), else the system's
    // default; of that family the face nearest the weight (400 normal, 700 bold) and slant. False
    // when no font at all can be opened; out is then empty.
    bool Outline(std::string_view families, std::string_view text, CTextOutline& out, int weight = 400,
                 bool italic = false);

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The names of a CSS font-family list, unquoted and trimmed, in order; empty names are left out.
std::vector<std::string> SplitFontFamilies(std::string_view families);
