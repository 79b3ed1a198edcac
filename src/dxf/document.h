// The DXF layer of a conversion: the open document, the table records it declares, and what every
// entity takes from the conversion (layer, colour index, line type). It knows nothing of SVG or of
// path geometry: the layers above hand it points already in DXF coordinates and small values.
// Its operations live in the source file of their concern:
//   dxf/frame.cpp        header, tables, blocks and the section frame
//   dxf/tables.cpp       the dash-pattern and font records behind the line types and text styles
//   dxf/conventions.cpp  entity attributes, polylines and solid hatches
//   dxf/emitters.cpp     lines, circles and ellipses
//   dxf/text.cpp         single-line texts
//   dxf/units.cpp        the unit the drawing is written in
#pragma once

#include "dxf/colour_index.h"
#include "dxf/vertex.h"

#include <atomic>
#include <cmath>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class DL_Dxf;
class CDxfWriter;

// One dash pattern: the line-type name "Dash%d" and the pattern text as collected.
struct CDashData
{
    std::string name;
    std::string pattern;
};

// One font family and the text-style name made from it ("Style-%s").
struct CFontData
{
    std::string family;
    std::string styleName;
};

// Colour, line weight and line type of one entity; the layer is always the current layer.
struct EntityStyle
{
    int color = 0;
    int lineWeight = 0;
    std::string lineType; // "BYLAYER" when empty
};

// One boundary edge of a solid hatch, in DXF coordinates; angles and parameters in radians.
struct HatchEdge
{
    enum class Kind
    {
        Line,
        Arc,
        EllipseArc,
        Spline
    };
    Kind kind = Kind::Line;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0; // line: from, to
    double cx = 0, cy = 0;                 // arc and elliptical arc: centre
    double radius = 0;                     // arc
    double mx = 0, my = 0, ratio = 1;      // elliptical arc: major axis end relative to the centre
    double angle1 = 0, angle2 = 0;         // range; counter-clockwise unless clockwise is set
    // Arc and elliptical arc: the edge runs clockwise from angle1 down to angle2 (angle1 > angle2),
    // so that a boundary keeps its direction from edge to edge.
    bool clockwise = false;
    int degree = 0;                  // spline
    std::vector<double> knots;       // spline, clamped
    std::vector<DxfPoint> controls;  // spline

    static HatchEdge Line(double x1, double y1, double x2, double y2);
    static HatchEdge Arc(double cx, double cy, double radius, double angle1, double angle2);
    static HatchEdge EllipseArc(double cx, double cy, double mx, double my, double ratio, double angle1,
                                double angle2);
    // The Bezier pieces of one degree whose control points follow each other, each piece `degree`
    // points after the first, as one spline edge with clamped knots at the joints.
    static HatchEdge Spline(int degree, std::vector<DxfPoint> controls);
};
using HatchLoop = std::vector<HatchEdge>;

// The clamped knots of Bezier pieces of one degree joined end to end (controlCount = pieces *
// degree + 1): degree + 1 zeros, each joint `degree` times, degree + 1 times the piece count. Empty
// when the count makes no piece.
void BezierKnots(int degree, std::size_t controlCount, std::vector<double>& knots);

// The unit a drawing is declared in. With None the header names no unit and every number is
// written as the layers above give it.
enum class DxfUnit
{
    None,
    Millimetre,
    Centimetre,
    Inch,
    Pixel // the CSS pixel, 1/96 inch; DXF has no unit for it
};

// A length as `size` units of which `perInch` make one inch: 1 of 96 is a CSS pixel, 1 of 25.4 a
// millimetre. Kept in its own unit so that a drawing measured in the unit it is written in is
// written with the factor 1 exactly.
struct CUnitLength
{
    double size = 1.0;
    double perInch = 96.0;
};

// Largest magnitude written into a DXF file. Beyond it a CAD program has no precision left, and the
// writer's fixed 16-decimal formatting would overflow its buffer near 1e238.
constexpr double kMaxDxfValue = 1.0e15;
// True when v is finite and within kMaxDxfValue: one comparison, false for a NaN or an infinity, so
// that loops over many numbers can combine the answers without a branch each.
inline bool IsWritable(double v)
{
    return std::fabs(v) <= kMaxDxfValue;
}

// Positions of records by their exact text, so that look-ups stay cheap with many records; rebuilt
// whenever the array it indexes has changed size since it was built.
struct CRecordIndex
{
    std::unordered_map<std::string, std::size_t> positions;
    std::size_t builtFor = static_cast<std::size_t>(-1);
};

class CDxfDocument
{
  public:
    CDxfDocument();
    ~CDxfDocument();
    CDxfDocument(const CDxfDocument&) = delete;
    CDxfDocument& operator=(const CDxfDocument&) = delete;

    // ---- document frame ----------------------------------------------------------------------
    // 0 when the frame is written and the writer open, -1 when the file cannot be opened.
    // expectedHandles, a guess at the handles the drawing will use, only saves work at the end.
    int BeginDxfDocument(const std::string& path, unsigned long expectedHandles = 0);
    // The same into an open descriptor (standard output, a pipe, a device), which the writer takes
    // over and closes. It cannot be read back, so the handle seed is the placeholder written first.
    int BeginDxfDocument(int fd, unsigned long expectedHandles);
    // Both BeginDxfDocument: the frame through a writer just opened.
    int StartDxfDocument(std::unique_ptr<CDxfWriter> writer, unsigned long expectedHandles);
    // Ends and closes the document: 0, or -1 when a write error was detected. A document whose run
    // was stopped (Cancelled) is given up instead: -1, and the file is not finished.
    int EndDxfDocument();
    // The next handle the open document gives out (0 when none is open). Every entity takes one, so
    // the difference over the walk counts the entities written.
    unsigned long NextHandle() const;
    // Lets go of the writer of a document that is not to be finished; the file stays as it is.
    void DropWriter();
    static void ParseDashPattern(const CDashData& dash, std::vector<double>& values, double& sum);

    // ---- table records -----------------------------------------------------------------------
    int AddDashPattern(const std::string& pattern);
    int AddFont(const std::string& family);
    std::string DashNameFor(const std::string& pattern) const;
    std::string FontStyleFor(const std::string& family) const;

    // ---- entity conventions (the only way entities reach the writer) -------------------------
    // The layer for the next entity: m_currentLayer, or "0" when empty; made safe for a table name.
    void CurrentLayerName(std::string& out) const;
    // Each refuses, writing nothing and returning false, when a number is not IsWritable.
    bool WriteLwPolyline(const std::vector<DxfVertex>& vertices, int flags, const EntityStyle& style);
    // The same for vertices whose numbers the caller has found writable (IsWritable) already; with
    // an output unit that takes a number out of range, nothing is written.
    void WriteCheckedLwPolyline(const std::vector<DxfVertex>& vertices, int flags, const EntityStyle& style);
    // The same in parts, for a polyline too long to keep: its groups with the final vertex count,
    // then the vertices, writable already, in as many calls as needed.
    void BeginLwPolyline(std::size_t count, int flags, const EntityStyle& style);
    void AddLwPolylineVertices(const std::vector<DxfVertex>& vertices);
    bool WriteSolidHatch(const std::vector<HatchLoop>& loops, const EntityStyle& style);
    // Outline style: m_strokeAci, line weight 0, the given line type.
    EntityStyle OutlineStyle(const std::string& lineType) const;
    // Fill style: m_colourIndex of m_fillRgb, line weight -1, "BYLAYER".
    EntityStyle FillStyle() const;

    // ---- output unit -------------------------------------------------------------------------
    // Chooses, before BeginDxfDocument, the unit the document is written in. A point the layers
    // above hand over, (x, y) in user units with y flipped already, is then written as
    // (x * s, (y + yShift) * s) and a length (width, radius, axis, text height, dash) as length * s,
    // where s turns userUnit into `unit`; the header declares the unit. yShift moves the flip line
    // to the drawing's true lower edge where the layers above flip against another height.
    void SetOutputUnit(DxfUnit unit, CUnitLength userUnit, double yShift);
    // Units of `unit` in one inch (25.4 for millimetres); 0 for None.
    static double UnitsPerInch(DxfUnit unit);
    // The scale s of SetOutputUnit: 1 without a unit.
    double OutputUnitScale() const { return m_unitScale; }
    // A point or a length into the output unit, in place; nothing changes while no scaling is due.
    void ToOutputUnit(double& x, double& y) const
    {
        if (m_mapsUnits)
        {
            x *= m_unitScale;
            y = (y + m_unitShift) * m_unitScale;
        }
    }
    void ToOutputLength(double& length) const
    {
        if (m_mapsUnits)
            length *= m_unitScale;
    }

    // ---- entities ----------------------------------------------------------------------------
    // Points already mapped, SVG y direction; outline style with m_lineType.
    void WriteEllipseEntity(double cx, double cy, double ex, double ey, double ratio, double start,
                            double end);
    void WriteLineEntity(double x1, double y1, double x2, double y2);
    // Centre in DXF coordinates; nothing when a number is not writable.
    void WriteCircleEntity(double cx, double cy, double radius, const std::string& lineType);
    // A single-line text at (x, y) in DXF coordinates; its content is made safe for one group value.
    // horizontalAlignment is the TEXT justification (0 left, 1 centre, 2 right) about (x, y).
    void WriteTextEntity(double x, double y, double height, double angle, std::string_view content,
                         const std::string& style, int horizontalAlignment = 0);
    // A spline through the control points of Bezier pieces of one degree (2 or 3), in DXF
    // coordinates, each piece `degree` points after the first: clamped knots, a joint at each
    // piece's end. Nothing, and false, when a number is not writable or the points make no piece.
    bool WriteBezierSpline(int degree, const std::vector<DxfPoint>& controls, const EntityStyle& style);
    // An elliptical arc in DXF coordinates: major axis relative to the centre, ratio in (0, 1],
    // counter-clockwise parameters in radians. False, and nothing, when a number is not writable.
    bool WriteEllipseArc(double cx, double cy, double mx, double my, double ratio, double start, double end,
                         const EntityStyle& style);
    // Brings an elliptical arc (major axis relative to the centre, ratio, parameters in radians) to the
    // form with a ratio in (0, 1] that CAD programs accept, describing the same curve; false when none.
    static bool NormalizeEllipseArc(double& mx, double& my, double& ratio, double& start, double& end);

    // ---- fields ------------------------------------------------------------------------------
    int m_strokeAci = 0;
    int m_fillRgb = 0;
    // How colours become colour indices, chosen with the reading at the start of a conversion.
    int (*m_colourIndex)(int rgb) = &NearestAci;
    std::vector<CDashData> m_dashes;
    std::vector<CFontData> m_fonts;
    std::string m_lineType;
    std::unique_ptr<DL_Dxf> m_dxf;
    std::unique_ptr<CDxfWriter> m_writer;
    double m_docHeight = 0.0;
    std::vector<std::string> m_layerNames;
    std::string m_currentLayer = "0";
    // Set from another thread to stop the conversion; the walk and EndDxfDocument look at it.
    const std::atomic<bool>* m_cancel = nullptr;
    bool Cancelled() const { return m_cancel && m_cancel->load(std::memory_order_relaxed); }
    // Set before BeginDxfDocument: every real goes out in the shortest text that reads back as the
    // same double, instead of dxflib's fixed sixteen decimals. Curves written as curves are a new
    // form of output for machines, and most of what they hold is control points; the fixed form
    // makes 643.301 twenty characters long.
    bool m_shortestReals = false;
    // Path of the open output file, for the final checks of EndDxfDocument; empty for a stream.
    std::string m_outputPath;
    // The errno value behind the last failure of BeginDxfDocument or EndDxfDocument, 0 when none.
    int m_outputError = 0;
    // The handle seed written into the header, replaced by the true one at the end.
    unsigned long m_seedPlaceholder = 0xFFFF;
    // Indexes over m_dashes (by pattern) and m_fonts (by family) for DashNameFor, FontStyleFor and
    // the duplicate tests; they follow the arrays by themselves.
    mutable CRecordIndex m_dashIndex;
    mutable CRecordIndex m_fontIndex;

  private:
    // The header variables that declare m_outputUnit.
    void WriteUnitVariables();
    // The vertices in the output unit, into m_unitVertices; false when a number is not writable,
    // which clampToRange then brings to the nearest writable value.
    bool MapVertices(const std::vector<DxfVertex>& vertices, bool clampToRange);
    bool WriteHatchLoops(const std::vector<HatchLoop>& loops, const EntityStyle& style);

    DxfUnit m_outputUnit = DxfUnit::None;
    double m_unitScale = 1.0;
    double m_unitShift = 0.0;
    // False while the scale is 1 and the shift 0: the numbers then go out untouched, without a
    // multiplication per vertex on the way.
    bool m_mapsUnits = false;
    // Room for the mapped vertices of one polyline, kept from one polyline to the next.
    std::vector<DxfVertex> m_unitVertices;
};
