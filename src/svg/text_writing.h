// How a text is written, chosen once at the start of a conversion: as the single-line TEXT entity
// a CAD program sets in its own font, or as the outlines of its glyphs, which a laser or a plotter
// can follow. Both readings hand every text here, placed as the TEXT entity would be.
#pragma once

#include "geometry/path_geometry.h"

#include <memory>
#include <string>
#include <string_view>

// One text, in DXF coordinates (y up) and user units: the start of its baseline (or the point its
// alignment names), its TEXT height (0.8 of the font size), its turn in radians counter-clockwise.
struct CTextRun
{
    double x = 0.0;
    double y = 0.0;
    double height = 0.0;
    double angle = 0.0;
    std::string_view content;
    std::string style;  // the text-style record ("Standard" or "Style-<family>")
    std::string family; // the CSS font-family list it asked for, empty for the default
    int weight = 400;   // the font's weight and slant, for the outlines' face
    bool italic = false;
    int alignment = 0;   // 0 left, 1 centre, 2 right, of the run's advance about (x, y)
    bool filled = false; // the text's fill is drawn: outlines are filled with a hatch
};

class CTextWriting
{
  public:
    virtual ~CTextWriting() = default;
    // Writes the run through the document's entity conventions, in its current layer and stroke colour
    // and line type, as the TEXT entity takes them; outlines go the way the conversion writes curves.
    virtual void Write(CPathGeometry& geometry, const CTextRun& run) = 0;
};

enum class TextForm
{
    Entities,
    Outlines
};

std::unique_ptr<CTextWriting> MakeTextWriting(TextForm form);
