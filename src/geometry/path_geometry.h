// The geometry layer of a conversion: path data read into points, subpaths written as polylines,
// filled paths as solid hatches, and markers at path ends. It sits on the DXF layer, which it
// hands DXF points and small values, and on the group matrices; it knows nothing of the element
// tree or of style texts. Its operations live in the source file of their concern:
//   geometry/path_parser.cpp   path data into commands and numbers
//   geometry/path_points.cpp   commands into the points of subpaths, handed to a CSubpathSink
//   geometry/path_driver.cpp   stroked paths and the subpath writer, which places the markers
//   geometry/fill_hatch.cpp    filled paths
//   geometry/markers.cpp       markers at path ends
// Only ParsePath reads path data, and it hands each subpath on through a CSubpathSink without knowing
// who takes it: the markers, which read their own path with it, and the subpath writer that draws
// the markers both depend on it, never it on them.
#pragma once

#include "dxf/document.h"
#include "geometry/contour.h"
#include "geometry/curve_writing.h"
#include "geometry/fill_rule.h"
#include "geometry/flatten.h"
#include "geometry/records.h"
#include "geometry/transform.h"

#include <string>
#include <string_view>
#include <vector>

// The first number of a path argument text when it has the plain shape of nearly every coordinate
// ([-]digits[.digits], at most 15 digits, no closepath letter before the next number): its value
// and where it ends, exactly as FindNumberEnd(text, 1) and ReadDouble would give them. False for
// every other text, which then goes the general way.
bool ReadPlainNumber(std::string_view text, double& value, std::size_t& end);

class CPathGeometry;

// Where ParsePath hands each subpath that a moveto ends. One call a subpath, never one a point.
class CSubpathSink
{
  public:
    virtual void TakeSubpath(CPointList& points, const std::string& transform) = 0;
    // True for the outline writer, which can take a subpath too long to keep as points in parts:
    // ParsePath then reads such a subpath twice, to count its vertices and to write them as they come.
    virtual bool StreamsLongSubpaths() const { return false; }

  protected:
    ~CSubpathSink() = default;
};

// Hands finished subpaths to CollectFillLoop: how a filled path reads its data.
class CFillLoopSink final : public CSubpathSink
{
  public:
    CFillLoopSink(CPathGeometry& geometry, std::vector<CPolylinedata>& loops)
        : m_geometry(geometry), m_loops(loops)
    {
    }
    void TakeSubpath(CPointList& points, const std::string& transform) override;

  private:
    CPathGeometry& m_geometry;
    std::vector<CPolylinedata>& m_loops;
};

class CPathGeometry : public CDxfDocument, public CGroupMatrices
{
  public:
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
    int ReadArcArgs(std::string_view args, double& rx, double& ry, double& rotation, int& largeArc,
                    int& sweep, double& x, double& y);
    // The control points and end (x1 y1 x2 y2 x3 y3) of a C, c, S or s step from the current point
    // (px, py), relative ones offset by (ox, oy); a smooth step's first control point as the
    // reading's smooth start has it. 1 when read, 0 when the step is skipped, -1 when the path ends.
    int CubicStep(char letter, std::string_view args, double px, double py, double ox, double oy,
                  double controls[6]);
    // The control point and end (cx cy x y) of a Q, q, T or t step, as CubicStep reads a cubic one:
    // false when there is nothing to draw (numbers missing, or, as read, a T after no quadratic).
    bool QuadraticStep(char letter, std::string_view args, double px, double py, double ox, double oy,
                       double controls[4]);
    // The arc of an A or a step, its end offset by (ox, oy): false when the path ends at it (numbers
    // missing, or by the grammar a negative radius).
    bool ArcStep(std::string_view args, double ox, double oy, ArcEndpoints& arc);
    // The numbers of the step just cut, when SplitCommandArgs could read them while cutting.
    bool TakePlainArgs(std::string_view args, double* values, int count);

    // ---- path driver -------------------------------------------------------------------------
    int PathElement(const std::string& transform, std::string_view d, const std::string& dashArray,
                    const std::string& markerStart, const std::string& markerEnd);
    // Appends the points of d to points. Each subpath a moveto ends goes to the sink with the
    // transform; without a sink every subpath stays in the list, its end marked.
    void ParsePath(const std::string& transform, std::string_view d, CPointList& points, CSubpathSink* sink);
    // The two ways of writing a path (see CCurveWriting): by its points, or by its curves.
    void StrokeFlattened(const std::string& transform, std::string_view d);
    void FillFlattened(const std::string& transform, std::string_view d);
    void StrokeNative(const std::string& transform, std::string_view d);
    void FillNative(const std::string& transform, std::string_view d);
    // A polygon (closed) or polyline given by its points in user units rather than by path data:
    // the entities the same points read from path data would give.
    void StrokeFlattenedPoints(const CPointList& points, bool closed);
    void FillFlattenedPoints(const CPointList& points, bool closed);
    // The subpaths of d as contours in DXF coordinates, their segments of the kinds the data
    // draws: arcs of circles where the mapping keeps circles, else of ellipses. A lone moveto
    // gives a contour without segments. closeAlways: the closepath mark ends with every subpath,
    // as filled paths take it, rather than with every drawn one.
    void ReadPathContours(const std::string& transform, std::string_view d, std::vector<CContour>& contours,
                          bool closeAlways);
    // The outline of a rectangle with rounded corners, corners = {x1, y1, x2, y2, rx, ry} in user
    // units: its sides and corner arcs from the top side's left end clockwise, closed.
    void RoundedRectContour(const std::string& transform, const double corners[6], CContour& contour) const;
    // Contours in DXF coordinates written as curves: each as its outline (when outline is given;
    // width on every vertex, so curves the entities cannot widen go as points) and all together as
    // the loops of one solid hatch (when fill is given). Glyph outlines and paths alike.
    void WriteContours(const std::vector<CContour>& contours, const EntityStyle* outline, double width,
                       const EntityStyle* fill);
    void WriteContourOutline(const CContour& contour, double width, const EntityStyle& style);
    // The boundary loop of a contour, closed by a line when it ends away from its start; false
    // when it encloses nothing.
    static bool ContourLoop(const CContour& contour, HatchLoop& loop);
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
    static int PointsEqual(const CPointData& a, const CPointData& b);

    // ---- filled paths ------------------------------------------------------------------------
    int FilledPathElement(const std::string& transform, std::string_view d);
    void CollectFillLoop(CPointList& points, const std::string& transform, std::vector<CPolylinedata>& loops);
    // The collected loops of a filled path as one solid hatch.
    void WriteFillLoops(const std::vector<CPolylinedata>& loops, const EntityStyle& style);
    static int HasArea(const CPointList& points);
    static int IsCollinear(const CPointData& p0, const CPointData& p1, const CPointData& p2);

    // ---- markers -----------------------------------------------------------------------------
    void DrawMarker(const std::string& reference, int isStart, const CPointData& a, const CPointData& b);
    int FindMarker(const std::string& reference, CMarkdata& definition) const;
    void DrawMarkerShape(const CMarkdata& definition, const CPointData& a, const CPointData& b, int isStart);

    // ---- fields ------------------------------------------------------------------------------
    double m_lastControlX = 0.0;
    double m_lastControlY = 0.0;
    double m_elementStrokeWidth = 0.0;
    double m_groupStrokeWidth = 0.0;
    int m_strokeRgb = 0;
    std::vector<CMarkdata> m_markers;
    int m_closeSeen = 0;
    int m_closeLeading = 0;
    std::string m_lastCommand;
    // Numbers read while the last step was cut (nearly every step of real data): its argument text
    // (start and length) and values, so that they are not scanned and read a second time.
    const char* m_plainArgsAt = nullptr;
    std::size_t m_plainArgsSize = 0;
    int m_plainArgsCount = 0;
    double m_plainArgs[6] = {};
    std::string m_markerStartRef;
    std::string m_markerEndRef;
    // Set while a marker's own geometry is drawn, so a marker never draws markers.
    int m_drawingMarker = 0;
    // The subpath too long to keep as points that ParsePath is passing through, if any.
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
    // The working copy of a points list handed in whole: writing a subpath consumes its list.
    CPointList m_pointsInHand;
    // How path data is read where the drawing has always been read otherwise than the path grammar
    // says. As read: S after a step of another kind mirrors nothing and starts towards its second
    // control point, T there is dropped, a negative arc radius is taken by its size, a lone moveto
    // starts the next fill loop and a filled subpath without area is drawn as its outline. By the
    // grammar: the control point is the current point (so T draws its straight line), a negative
    // arc radius is an error that ends the path before it, and a moveto alone or a subpath without
    // area fills nothing.
    enum class CPathGrammar
    {
        AsRead,
        ByGrammar
    };
    CPathGrammar m_pathGrammar = CPathGrammar::AsRead;
    // Which subpaths of a filled path are holes: by parity, as the drawing has always been filled,
    // or by the element's fill rule where the exact reading hands it over.
    CFillRule m_fillRule = CFillRule::EvenOdd;
    // How paths are written, chosen at the start of a conversion.
    const CCurveWriting* m_curveWriting = &FlattenedCurves();
};
