// The path driver: a stroked path read subpath by subpath, and the writer of stroked subpaths, which
// also places the markers at their ends.
#include "geometry/path_geometry.h"
#include "geometry/transform.h"
#include "platform/text.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace
{

// Minimum room for a path's points; a long d grows the list once or twice, never per point.
constexpr std::size_t kInitialPointRoom = 64;
// Upper bound of the first reservation, so a huge d does not reserve far beyond what it draws.
constexpr std::size_t kMaxInitialPointRoom = 1 << 16;

// The points a long subpath keeps in the list: the end marker reads the last three.
constexpr std::size_t kKeptOfLongSubpath = 3;

// The vertices of points[from, to): mapped by map, y flipped against docHeight, both widths width.
// False when a number is not writable.
template <class Map>
bool ToVertices(const CPointList& points, std::size_t from, std::size_t to, const Map& map, double docHeight,
                double width, std::vector<DxfVertex>& vertices)
{
    vertices.resize(to - from);
    bool writable = IsWritable(width);
    for (std::size_t i = from; i < to; ++i)
    {
        double x = points[i].x;
        double y = points[i].y;
        map(x, y);
        DxfVertex& v = vertices[i - from];
        v.x = x;
        v.y = docHeight - y;
        v.startWidth = width;
        v.endWidth = width;
        writable &= IsWritable(v.x) & IsWritable(v.y);
    }
    return writable;
}

// Each finished subpath of a stroked path is written as it ends; the front of one too long to keep
// is written as it comes.
class COutlineSink final : public CSubpathSink
{
  public:
    explicit COutlineSink(CPathGeometry& geometry) : m_geometry(geometry) {}
    void TakeSubpath(CPointList& points, const std::string& transform) override
    {
        m_geometry.WriteSubpath(points, transform);
    }
    bool StreamsLongSubpaths() const override { return true; }

  private:
    CPathGeometry& m_geometry;
};

} // namespace

int CPathGeometry::PointsEqual(const CPointData& a, const CPointData& b)
{
    const double dx = a.x - b.x;
    const double dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy) < 0.0001 ? 1 : 0;
}

int CPathGeometry::PathElement(const std::string& transform, std::string_view d, const std::string& dashArray,
                               const std::string& markerStart, const std::string& markerEnd)
{
    m_markerStartRef = markerStart;
    m_markerEndRef = markerEnd;
    m_lineType = DashNameFor(dashArray);
    if (m_lineType.empty())
    {
        m_lineType = "BYLAYER";
    }

    m_curveWriting->StrokePath(*this, transform, d);

    m_markerStartRef.clear();
    m_markerEndRef.clear();
    return 0;
}

void CPathGeometry::StrokeFlattened(const std::string& transform, std::string_view d)
{
    // One list serves every subpath of the element: the writer empties it but keeps its room.
    CPointList points;
    points.reserve(std::clamp(d.size() / 4, kInitialPointRoom, kMaxInitialPointRoom));
    COutlineSink outlines(*this);
    ParsePath(transform, d, points, &outlines);
    WriteSubpath(points, transform);
}

void CPathGeometry::StrokeFlattenedPoints(const CPointList& points, bool closed)
{
    m_pointsInHand = points;
    m_closeSeen = closed ? 1 : 0;
    WriteSubpath(m_pointsInHand, std::string());
    // A single point writes nothing and so leaves the closepath unconsumed; it must not close the
    // next element's outline.
    m_closeSeen = 0;
}

bool CPathGeometry::SubpathWritable(const CPointList& points, std::size_t from, std::size_t to,
                                 const std::string& transform) const
{
    std::vector<DxfVertex> vertices;
    return SubpathVertices(points, from, to, transform, vertices);
}

bool CPathGeometry::SubpathVertices(const CPointList& points, std::size_t from, std::size_t to,
                                 const std::string& transform, std::vector<DxfVertex>& vertices) const
{
    CMatrix matrix;
    const int hasMatrix = ParseTransform(transform, matrix);
    const CMatrix* const element = hasMatrix != 0 ? &matrix : nullptr;
    const bool mapped = MapsPoints(element);
    const auto map = [&](double& x, double& y)
    {
        if (mapped)
            MapPoint(element, x, y);
    };
    const double strokeWidth = m_elementStrokeWidth != 0.0 ? m_elementStrokeWidth : m_groupStrokeWidth;
    const double width = ScaleStrokeWidth(strokeWidth, matrix);
    return ToVertices(points, from, to, map, m_docHeight, width, vertices);
}

void CPathGeometry::PassSubpathFront(CPointList& points, const std::string& transform)
{
    CLongSubpath& running = m_longSubpath;
    const std::size_t moved = points.size() - kKeptOfLongSubpath;
    std::vector<DxfVertex> vertices;
    if (running.pass == CLongSubpath::Pass::Counting)
    {
        // Once a number is not writable the polyline is not written: the rest need not be tested.
        running.writable = running.writable && SubpathVertices(points, 0, moved, transform, vertices);
    }
    else
    {
        if (!running.begun)
        {
            CMatrix matrix;
            const CMatrix* const element = ParseTransform(transform, matrix) != 0 ? &matrix : nullptr;
            CPointData* const ends[3] = {&running.first, &running.second, &running.third};
            for (std::size_t i = 0; i < 3; ++i)
            {
                *ends[i] = CPointData();
                ends[i]->x = points[i].x;
                ends[i]->y = points[i].y;
                MapPoint(element, ends[i]->x, ends[i]->y);
            }
            if (running.writable)
                BeginLwPolyline(running.total, running.closed != 0 ? 1 : 0,
                                EntityStyle{m_strokeAci, -1, m_lineType});
            running.begun = true;
        }
        if (running.writable)
        {
            SubpathVertices(points, 0, moved, transform, vertices);
            AddLwPolylineVertices(vertices);
        }
    }
    running.passed += moved;
    points.erase(points.begin(), points.begin() + static_cast<std::ptrdiff_t>(moved));
}

void CPathGeometry::WriteSubpath(CPointList& points, const std::string& transform)
{
    CMatrix matrix;
    const int hasMatrix = ParseTransform(transform, matrix);
    // The front of a long subpath may be written already (PassSubpathFront).
    const bool longSubpath = m_longSubpath.pass == CLongSubpath::Pass::Writing && m_longSubpath.begun;
    const std::size_t held = longSubpath ? m_longSubpath.passed : 0;
    const std::size_t n = held + points.size();
    const bool closed = m_closeSeen != 0 || (!points.empty() && points.back().closed != 0);

    // Transformed points (SVG y) at both ends of the subpath, for the markers.
    CPointData first;
    CPointData second;
    CPointData third;
    CPointData thirdToLast;
    CPointData secondToLast;
    CPointData last;

    if (n >= 2)
    {
        const double strokeWidth = m_elementStrokeWidth != 0.0 ? m_elementStrokeWidth : m_groupStrokeWidth;
        const double width = ScaleStrokeWidth(strokeWidth, matrix);

        const CMatrix* const element = hasMatrix != 0 ? &matrix : nullptr;
        // Point i of the whole subpath; of a front written already only the first three are known.
        const auto transformed = [&](std::size_t i)
        {
            if (i < held)
                return i == 0 ? m_longSubpath.first : i == 1 ? m_longSubpath.second : m_longSubpath.third;
            CPointData p;
            p.x = points[i - held].x;
            p.y = points[i - held].y;
            MapPoint(element, p.x, p.y);
            return p;
        };
        const bool mapped = MapsPoints(element);
        const auto map = [&](double& x, double& y)
        {
            if (mapped)
                MapPoint(element, x, y);
        };
        std::vector<DxfVertex> vertices;
        // The writability test of every number (as WriteLwPolyline makes it) is made here, while
        // the numbers are at hand, rather than in a pass of its own.
        const bool writable = ToVertices(points, 0, points.size(), map, m_docHeight, width, vertices) &&
                              (!longSubpath || m_longSubpath.writable);
        // The same arithmetic again gives the same values; cheaper than testing every index above.
        first = transformed(0);
        second = transformed(1);
        if (n >= 3)
        {
            third = transformed(2);
            thirdToLast = transformed(n - 3);
        }
        secondToLast = transformed(n - 2);
        last = transformed(n - 1);
        if (writable && longSubpath)
            AddLwPolylineVertices(vertices);
        else if (writable)
            WriteCheckedLwPolyline(vertices, closed ? 1 : 0, EntityStyle{m_strokeAci, -1, m_lineType});
        m_closeSeen = 0;
    }
    m_longSubpath = CLongSubpath();

    points.clear();

    if (n < 2 || m_drawingMarker != 0)
    {
        return;
    }
    // A doubled end point gives no direction; the neighbour one further in does.
    if (n > 2)
    {
        if (PointsEqual(second, first) != 0)
        {
            second = third;
        }
        if (PointsEqual(secondToLast, last) != 0)
        {
            secondToLast = thirdToLast;
        }
    }
    DrawMarker(m_markerStartRef, 1, first, second);
    DrawMarker(m_markerEndRef, 0, secondToLast, last);
}
