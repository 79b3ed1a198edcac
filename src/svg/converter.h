// The conversion engine: all state of one conversion and the operations that read SVG texts. It
// stands on the geometry layer (path data, fills, markers, group matrices), which stands on the DXF
// layer (the document, its tables and the entity conventions); every field and operation of the
// three is the converter's. Its own operations live in the source file of their concern:
//   svg/converter.cpp       reset
//   svg/style.cpp           colour setters and the style readers that touch colours
//   svg/definitions.cpp     dash patterns and fonts from the file text, layer names, markers, symbols
//   svg/walker.cpp          viewBox
//   svg/units.cpp           the size of a user unit, for the output unit
//   svg/shapes.cpp          polylines, polygons, circles, ellipses and lines
//   svg/text.cpp, rect.cpp, symbols.cpp
#pragma once

#include "geometry/path_geometry.h"
#include "svg/text_writing.h"

#include <memory>

#include <string>
#include <string_view>
#include <vector>

class CXML;

// One symbol definition.
struct CSymble
{
    std::string id;
    std::string pathData;
};

class CConverter : public CPathGeometry
{
  public:
    CConverter();

    // ---- state and records ------------------------------------------------------------------
    // Returns every per-conversion field to its start value; 0.
    int ResetConversion();

    // ---- style and colour --------------------------------------------------------------------
    // Stores a new stroke colour; the colour index is recomputed only when the RGB changes.
    void SetStrokeRgb(int rgb);
    // The rectangle style reader: 1 when it stored a fill colour (the rectangle counts as filled).
    int ApplyRectStyle(std::string_view style);
    // The text style reader: empties both outputs, then reads fill (stroke and fill colour),
    // font-family and font-size.
    void ApplyTextStyle(std::string_view style, std::string& fontFamily, std::string& fontSize);

    // ---- definitions -------------------------------------------------------------------------
    // Collects dash patterns and font families from the raw file text.
    int PrescanStyles(std::string_view fileText);
    // Appends the trimmed id of every g element to m_layerNames, document order.
    void CollectLayerNames(const CXML& node);
    // Records a marker or symbol element.
    void CollectDefinition(const CXML& node);
    void AddMarker(const std::string& pathData, const std::string& pathTransform, const std::string& id,
                   const std::string& refX, const std::string& refY);
    void AddSymbol(const std::string& pathData, const std::string& id);

    // ---- walker support ----------------------------------------------------------------------
    void ParseViewBox(std::string_view viewBox);

    // ---- output unit -----------------------------------------------------------------------------
    // Writes the document in `unit` (SetOutputUnit), measuring the user unit on the document element
    // `root`: its width and height in absolute units (px, mm, cm, in, pt, pc) against its viewBox,
    // else one CSS pixel. Called after the tree is read and before BeginDxfDocument.
    void ChooseOutputUnit(DxfUnit unit, const CXML& root);
    // One user unit of an svg element with these attribute texts (empty when absent), and the shift
    // that moves the flip line, m_docHeight as the walker reads it, to the element's lower edge.
    static CUnitLength MeasureUserUnit(std::string_view width, std::string_view height,
                                       std::string_view viewBox, bool hasViewBox, double& yShift);

    // ---- basic shapes --------------------------------------------------------------------------
    void WritePolylineElement(const std::string& transform, const std::string& points,
                              const std::string& dash, int closed);
    void WriteCircleElement(int fill, const std::string& transform, const std::string& cx,
                            const std::string& cy, const std::string& r, const std::string& dash, int stroke);
    void WriteEllipseElement(int fill, const std::string& transform, const std::string& cx,
                             const std::string& cy, const std::string& rx, const std::string& ry,
                             const std::string& dash, int stroke);
    void WriteLineElement(const std::string& transform, const std::string& x1, const std::string& y1,
                          const std::string& x2, const std::string& y2);

    // ---- text ----------------------------------------------------------------------------------
    int WriteTextElement(const std::string& transform, const std::string& fontFamily,
                         const std::string& fontSize, const std::string& content, const std::string& x,
                         const std::string& y);
    // Every text of both readings goes out here, in the form chosen for the conversion.
    void WriteText(const CTextRun& run) { m_textWriting->Write(*this, run); }

    // ---- rectangles ----------------------------------------------------------------------------
    void WriteRectElement(const std::string& transform, const std::string& x, const std::string& y,
                          const std::string& width, const std::string& height, int fill,
                          const std::string& rx, const std::string& ry);
    void WriteRoundedRect(const std::string& transform, const std::string& x, const std::string& y,
                          const std::string& width, const std::string& height, int fill, double rx,
                          double ry);

    // ---- symbol instances ----------------------------------------------------------------------
    void WriteUseOutline(const std::string& transform, const std::string& x, const std::string& y,
                         const std::string& href);
    void WriteUseFilled(const std::string& transform, const std::string& x, const std::string& y,
                        const std::string& href);
    int FindSymbol(const std::string& id, CSymble& symbol) const;
    static int NextSubpath(const CPointList& points, std::size_t& position, CPointList& out);
    static void SplitSubpaths(const CPointList& points, std::vector<CPolylinedata>& loops);

    // ---- fields ----------------------------------------------------------------------------------
    std::string m_groupStyle;
    int m_fillOption = 1;
    std::string m_groupFontSize;
    std::string m_groupFontFamily;
    std::vector<CSymble> m_symbols;
    double m_docWidth = 0.0;
    // The form texts are written in: TEXT entities unless the conversion chose outlines. Like the
    // fill option, whoever owns the converter sets it, and it outlives every reset.
    std::unique_ptr<CTextWriting> m_textWriting = MakeTextWriting(TextForm::Entities);
};
