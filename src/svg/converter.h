// The conversion engine: all state of one conversion and the operations that read SVG texts and
// write DXF entities. Its operations live in the source file of their concern:
//   svg/converter.cpp       reset, layer name
//   svg/style.cpp           colour setters and the style readers that touch colours
//   svg/transform.cpp       the group matrix stack
//   svg/definitions.cpp     dash patterns, fonts, layer names, markers, symbols
//   svg/walker.cpp          viewBox
//   geometry/path_parser.cpp, path_driver.cpp, fill_hatch.cpp, markers.cpp
//   dxf/frame.cpp, conventions.cpp, emitters.cpp, text.cpp, rect.cpp, symbols.cpp
#pragma once

#include "dxf/vertex.h"
#include "svg/records.h"
#include "svg/transform.h"

#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CXML;
class DL_Dxf;
class CDxfWriter;

// The first number of a path argument text when it has the plain shape of nearly every coordinate
// ([-]digits[.digits], at most 15 digits, no closepath letter before the next number): its value
// and where it ends, exactly as FindNumberEnd(text, 1) and ReadDouble would give them. False for
// every other text, which then goes the general way.
bool ReadPlainNumber(std::string_view text, double& value, std::size_t& end);


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
        EllipseArc
    };
    Kind kind = Kind::Line;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0; // line: from, to
    double cx = 0, cy = 0;                 // arc and elliptical arc: centre
    double radius = 0;                     // arc
    double mx = 0, my = 0, ratio = 1;      // elliptical arc: major axis end relative to the centre
    double angle1 = 0, angle2 = 0;         // counter-clockwise range

    static HatchEdge Line(double x1, double y1, double x2, double y2);
    static HatchEdge Arc(double cx, double cy, double radius, double angle1, double angle2);
    static HatchEdge EllipseArc(double cx, double cy, double mx, double my, double ratio, double angle1,
                                double angle2);
};
using HatchLoop = std::vector<HatchEdge>;

// Largest magnitude written into a DXF file. Beyond it a CAD program has no precision left, and the
// writer's fixed 16-decimal formatting would overflow its buffer near 1e238.
constexpr double kMaxDxfValue = 1.0e15;
// True when v is finite and within kMaxDxfValue: one comparison, false for a NaN or an infinity, so
// that loops over many numbers can combine the answers without a branch each.
inline bool IsWritable(double v)
{
    return std::fabs(v) <= kMaxDxfValue;
}

constexpr int kMatrixStackSize = 50;

// Positions of records by their exact text, so that look-ups stay cheap with many records; rebuilt
// whenever the array it indexes has changed size since it was built.
struct CRecordIndex
{
    std::unordered_map<std::string, std::size_t> positions;
    std::size_t builtFor = static_cast<std::size_t>(-1);
};

class CConverter
{
public:
    CConverter();
    ~CConverter();
    CConverter(const CConverter&) = delete;
    CConverter& operator=(const CConverter&) = delete;

    // ---- state and records ------------------------------------------------------------------
    // Returns every per-conversion field to its start value; 0.
    int ResetConversion();
    // The layer for the next entity: m_currentLayer, or "0" when empty; made safe for a table name.
    void CurrentLayerName(std::string& out) const;

    // ---- style and colour --------------------------------------------------------------------
    // Stores a new stroke colour; the colour index is recomputed only when the RGB changes.
    void SetStrokeRgb(int rgb);
    // The rectangle style reader: 1 when it stored a fill colour (the rectangle counts as filled).
    int ApplyRectStyle(std::string_view style);
    // The text style reader: empties both outputs, then reads fill (stroke and fill colour),
    // font-family and font-size.
    void ApplyTextStyle(std::string_view style, std::string& fontFamily, std::string& fontSize);

    // ---- transforms --------------------------------------------------------------------------
    void PushGroupMatrix();
    void PopGroupMatrix();
    void ParseGroupTransform(std::string_view text);
    // Applies the open group matrices, innermost first; nothing before any group transform was seen.
    // Inline, as MapPoint: every vertex passes here, and most drawings have no group transform.
    void ApplyGroupMatrices(double& x, double& y) const
    {
        if (m_groupTransformSeen == 0)
            return;
        for (int i = m_matrixDepth - 1; i >= 0; --i)
            ApplyMatrix(m_matrixStack[static_cast<std::size_t>(i)], x, y);
    }
    // False when MapPoint would leave every point as it is, so that loops over many points can skip it.
    bool MapsPoints(const CMatrix* element) const { return element != nullptr || m_groupTransformSeen != 0; }
    // Element matrix (when given) then group matrices.
    void MapPoint(const CMatrix* element, double& x, double& y) const
    {
        if (element != nullptr)
            ApplyMatrix(*element, x, y);
        ApplyGroupMatrices(x, y);
    }

    // ---- definitions -------------------------------------------------------------------------
    // Collects dash patterns and font families from the raw file text.
    int PrescanStyles(std::string_view fileText);
    int AddDashPattern(const std::string& pattern);
    int AddFont(const std::string& family);
    std::string DashNameFor(const std::string& pattern) const;
    std::string FontStyleFor(const std::string& family) const;
    // Appends the trimmed id of every g element to m_layerNames, document order.
    void CollectLayerNames(const CXML& node);
    // Records a marker or symbol element.
    void CollectDefinition(const CXML& node);
    void AddMarker(const std::string& pathData, const std::string& pathTransform, const std::string& id,
                   const std::string& refX, const std::string& refY);
    void AddSymbol(const std::string& pathData, const std::string& id);

    // ---- walker support ----------------------------------------------------------------------
    void ParseViewBox(std::string_view viewBox);

    // ---- path-data parser --------------------------------------------------------------------
    // Produces the next step of the remaining data: 1 with command and args set, 0 when none is left.
    // args views the data the caller holds.
    int NextPathCommand(std::string_view& args, std::string& command, std::string_view& data);
    // Cuts the argument text of command from the front of data; may replace the command.
    std::string_view SplitCommandArgs(std::string& command, std::string_view& data);
    // End of the n-th number, the length when fewer, negative when a closepath interrupts.
    long FindNumberEnd(std::string_view text, int n);
    void ReadNumberPair(std::string_view args, double& x, double& y);
    int ReadNumbers4(std::string_view args, double values[4]);
    int ReadNumbers6(std::string_view args, double values[6]);
    int ReadArcArgs(std::string_view args, double& rx, double& ry, double& rotation, int& largeArc, int& sweep,
                    double& x, double& y);
    // The numbers of the step just cut, when SplitCommandArgs could read them while cutting.
    bool TakePlainArgs(std::string_view args, double* values, int count);

    // ---- path driver -------------------------------------------------------------------------
    int PathElement(const std::string& transform, std::string_view d, const std::string& dashArray,
                    const std::string& markerStart, const std::string& markerEnd);
    // accumulate set: subpaths are never handed on. loops given: subpaths go to CollectFillLoop.
    void ParsePath(const std::string& transform, std::string_view d, CPointList& points, int accumulate,
                   std::vector<CPolylinedata>* loops);
    void WriteSubpath(CPointList& points, const std::string& transform);
    // The front of a stroked subpath too long to keep as points is counted (a first pass over the
    // subpath) or written (the second); the last few points stay, for the end marker and the rest.
    void PassSubpathFront(CPointList& points, const std::string& transform);
    // The vertices of points[from, to) as the subpath writer makes them; false when a number is
    // not writable.
    bool SubpathVertices(const CPointList& points, std::size_t from, std::size_t to,
                         const std::string& transform, std::vector<DxfVertex>& vertices) const;
    bool SubpathWritable(const CPointList& points, std::size_t from, std::size_t to,
                         const std::string& transform) const;
    double ScaleStrokeWidth(double width, const CMatrix& m) const;
    static int PointsEqual(const CPointData& a, const CPointData& b);

    // ---- filled paths ------------------------------------------------------------------------
    int FilledPathElement(const std::string& transform, std::string_view d);
    void CollectFillLoop(CPointList& points, const std::string& transform, std::vector<CPolylinedata>& loops);
    static int HasArea(const CPointList& points);
    static int IsCollinear(const CPointData& p0, const CPointData& p1, const CPointData& p2);

    // ---- markers -----------------------------------------------------------------------------
    void DrawMarker(const std::string& reference, int isStart, const CPointData& a, const CPointData& b);
    int FindMarker(const std::string& reference, CMarkdata& definition) const;
    void DrawMarkerShape(const CMarkdata& definition, const CPointData& a, const CPointData& b, int isStart);

    // ---- DXF document frame ------------------------------------------------------------------
    // 0 when the frame is written and the writer open, -1 when the file cannot be opened.
    // expectedHandles, a guess at the handles the drawing will use, only saves work at the end.
    int BeginDxfDocument(const std::string& path, unsigned long expectedHandles = 0);
    // Ends and closes the document: 0, or -1 when a write error was detected.
    int EndDxfDocument();
    static void ParseDashPattern(const CDashData& dash, std::vector<double>& values, double& sum);

    // ---- entity conventions (the only way entities reach the writer) -------------------------
    // Each refuses, writing nothing and returning false, when a number is not IsWritable.
    bool WriteLwPolyline(const std::vector<DxfVertex>& vertices, int flags, const EntityStyle& style);
    // The same for vertices whose numbers the caller has found writable (IsWritable) already.
    void WriteCheckedLwPolyline(const std::vector<DxfVertex>& vertices, int flags, const EntityStyle& style);
    // The same in parts, for a polyline too long to keep: its groups with the final vertex count,
    // then the vertices, writable already, in as many calls as needed.
    void BeginLwPolyline(std::size_t count, int flags, const EntityStyle& style);
    void AddLwPolylineVertices(const std::vector<DxfVertex>& vertices);
    bool WriteSolidHatch(const std::vector<HatchLoop>& loops, const EntityStyle& style);
    // Outline style: m_strokeAci, line weight 0, the given line type.
    EntityStyle OutlineStyle(const std::string& lineType) const;
    // Fill style: NearestAci(m_fillRgb), line weight -1, "BYLAYER".
    EntityStyle FillStyle() const;

    // ---- entity emitters ---------------------------------------------------------------------
    void WritePolylineElement(const std::string& transform, const std::string& points, const std::string& dash,
                              int closed);
    void WriteCircleElement(int fill, const std::string& transform, const std::string& cx, const std::string& cy,
                            const std::string& r, const std::string& dash, int stroke);
    void WriteEllipseElement(int fill, const std::string& transform, const std::string& cx, const std::string& cy,
                             const std::string& rx, const std::string& ry, const std::string& dash, int stroke);
    void WriteLineElement(const std::string& transform, const std::string& x1, const std::string& y1,
                          const std::string& x2, const std::string& y2);
    // Points already mapped, SVG y direction.
    void WriteEllipseEntity(double cx, double cy, double ex, double ey, double ratio, double start, double end);
    void WriteLineEntity(double x1, double y1, double x2, double y2);
    // Brings an elliptical arc (major axis relative to the centre, ratio, parameters in radians) to the
    // form with a ratio in (0, 1] that CAD programs accept, describing the same curve; false when none.
    static bool NormalizeEllipseArc(double& mx, double& my, double& ratio, double& start, double& end);

    // ---- text ----------------------------------------------------------------------------------
    int WriteTextElement(const std::string& transform, const std::string& fontFamily, const std::string& fontSize,
                         const std::string& content, const std::string& x, const std::string& y);

    // ---- rectangles ----------------------------------------------------------------------------
    void WriteRectElement(const std::string& transform, const std::string& x, const std::string& y,
                          const std::string& width, const std::string& height, int fill, const std::string& rx,
                          const std::string& ry);
    void WriteRoundedRect(const std::string& transform, const std::string& x, const std::string& y,
                          const std::string& width, const std::string& height, int fill, double rx, double ry);

    // ---- symbol instances ----------------------------------------------------------------------
    void WriteUseOutline(const std::string& transform, const std::string& x, const std::string& y,
                         const std::string& href);
    void WriteUseFilled(const std::string& transform, const std::string& x, const std::string& y,
                        const std::string& href);
    int FindSymbol(const std::string& id, CSymble& symbol) const;
    static int NextSubpath(const CPointList& points, std::size_t& position, CPointList& out);
    static void SplitSubpaths(const CPointList& points, std::vector<CPolylinedata>& loops);

    // ---- fields, in the order of the design ----------------------------------------------------
    double m_lastControlX = 0.0;
    double m_lastControlY = 0.0;
    int m_strokeAci = 0;
    double m_elementStrokeWidth = 0.0;
    double m_groupStrokeWidth = 0.0;
    int m_strokeRgb = 0;
    int m_fillRgb = 0;
    std::vector<CDashData> m_dashes;
    std::vector<CFontData> m_fonts;
    std::vector<CMarkdata> m_markers;
    std::array<CMatrix, kMatrixStackSize> m_matrixStack{};
    int m_matrixDepth = 0;          // entries in use, 0..kMatrixStackSize
    int m_matrixOverflow = 0;       // open groups beyond the stack; their transforms are not applied
    int m_groupTransformSeen = 0;
    std::string m_lineType;
    std::string m_groupStyle;
    std::unique_ptr<DL_Dxf> m_dxf;
    std::unique_ptr<CDxfWriter> m_writer;
    double m_docWidth = 0.0;
    double m_docHeight = 0.0;
    int m_closeSeen = 0;
    int m_closeLeading = 0;
    std::string m_lastCommand;
    // Numbers read while the last step was cut (nearly every step of real data): its argument text
    // (start and length) and values, so that they are not scanned and read a second time.
    const char* m_plainArgsAt = nullptr;
    std::size_t m_plainArgsSize = 0;
    int m_plainArgsCount = 0;
    double m_plainArgs[6] = {};
    int m_fillOption = 1;
    std::string m_markerStartRef;
    std::string m_markerEndRef;
    std::string m_groupFontSize;
    std::string m_groupFontFamily;
    std::vector<std::string> m_layerNames;
    std::string m_currentLayer = "0";
    std::vector<CSymble> m_symbols;

    // A stroked subpath too long to keep as points (PassSubpathFront): it is read twice, first to
    // count its vertices, which its polyline's groups give before them, then to write them.
    struct CLongSubpath
    {
        enum class Pass
        {
            None,
            Counting,
            Writing
        };
        Pass pass = Pass::None;
        std::size_t passed = 0;          // points counted or written, no longer in the list
        std::size_t total = 0;           // Writing: the vertex count the first pass found
        bool writable = true;            // Counting: so far; Writing: of the whole subpath
        int closed = 0;                  // Writing: the closed flag the first pass found
        bool begun = false;              // Writing: the polyline's groups are written
        CPointData first, second, third; // transformed, for the start marker
    };
    CLongSubpath m_longSubpath;

    // Set while a marker's own geometry is drawn, so a marker never draws markers.
    int m_drawingMarker = 0;
    // Path of the open output file, for the final checks of EndDxfDocument.
    std::string m_outputPath;
    // The handle seed written into the header, replaced by the true one at the end.
    unsigned long m_seedPlaceholder = 0xFFFF;
    // Indexes over m_dashes (by pattern) and m_fonts (by family) for DashNameFor, FontStyleFor and
    // the duplicate tests; they follow the arrays by themselves.
    mutable CRecordIndex m_dashIndex;
    mutable CRecordIndex m_fontIndex;
};
