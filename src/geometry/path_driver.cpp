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

// Each finished subpath of a stroked path is written as it ends.
class COutlineSink final : public CSubpathSink
{
  public:
    explicit COutlineSink(CPathGeometry& geometry) : m_geometry(geometry) {}
    void TakeSubpath(CPointList& points, const std::string& transform) override
    {
        m_geometry.WriteSubpath(points, transform);
    }

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

    // One list serves every subpath of the element: the writer empties it but keeps its room.
    CPointList points;
    points.reserve(std::clamp(d.size() / 4, kInitialPointRoom, kMaxInitialPointRoom));
    COutlineSink outlines(*this);
    ParsePath(transform, d, points, &outlines);
    WriteSubpath(points, transform);

    m_markerStartRef.clear();
    m_markerEndRef.clear();
    return 0;
}

void CPathGeometry::WriteSubpath(CPointList& points, const std::string& transform)
{
    CMatrix matrix;
    const int hasMatrix = ParseTransform(transform, matrix);
    const std::size_t n = points.size();
    const bool closed = m_closeSeen != 0 || (n > 0 && points.back().closed != 0);

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
        const auto transformed = [&](std::size_t i)
        {
            CPointData p;
            p.x = points[i].x;
            p.y = points[i].y;
            MapPoint(element, p.x, p.y);
            return p;
        };
        const bool mapped = MapsPoints(element);
        std::vector<DxfVertex> vertices(n);
        // The writability test of every number (as WriteLwPolyline makes it) is made here, while
        // the numbers are at hand, rather than in a pass of its own.
        bool writable = IsWritable(width);
        for (std::size_t i = 0; i < n; ++i)
        {
            double x = points[i].x;
            double y = points[i].y;
            if (mapped)
                MapPoint(element, x, y);
            DxfVertex& v = vertices[i];
            v.x = x;
            v.y = m_docHeight - y;
            v.startWidth = width;
            v.endWidth = width;
            writable &= IsWritable(v.x) & IsWritable(v.y);
        }
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
        if (writable)
            WriteCheckedLwPolyline(vertices, closed ? 1 : 0, EntityStyle{m_strokeAci, -1, m_lineType});
        m_closeSeen = 0;
    }

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
