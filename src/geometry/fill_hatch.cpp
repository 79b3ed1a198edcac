// Filled paths: every subpath that encloses an area becomes one boundary loop of a solid hatch.
#include "dxf/colour_index.h"
#include "geometry/path_geometry.h"
#include "geometry/transform.h"

#include <algorithm>
#include <cmath>
#include <utility>

int CPathGeometry::IsCollinear(const CPointData& p0, const CPointData& p1, const CPointData& p2)
{
    const double dx1 = p1.x - p0.x;
    const double dx2 = p2.x - p1.x;
    if (std::fabs(dx1) < 0.00001 && std::fabs(dx2) < 0.00001)
    {
        return 1;
    }
    // Only the x steps guard the slopes: a near-vertical step counts as a turn, even on a straight line.
    if (std::fabs(dx1) * std::fabs(dx2) < 0.0001)
    {
        return 0;
    }
    const double slope1 = (p1.y - p0.y) / dx1;
    const double slope2 = (p2.y - p1.y) / dx2;
    return std::fabs(slope1 - slope2) < 0.00001 ? 1 : 0;
}

int CPathGeometry::HasArea(const CPointList& points)
{
    for (std::size_t i = 1; i + 1 < points.size(); ++i)
    {
        if (IsCollinear(points[i - 1], points[i], points[i + 1]) == 0)
        {
            return 1;
        }
    }
    return 0;
}

void CPathGeometry::CollectFillLoop(CPointList& points, const std::string& transform,
                                    std::vector<CPolylinedata>& loops)
{
    // As read, a lone point stays in the list and becomes the start of the next subpath's loop; by
    // the grammar a moveto alone is a subpath of its own that encloses nothing, and joining it to
    // the next one would fill the triangle between them.
    if (points.size() < 2)
    {
        if (m_pathGrammar == CPathGrammar::ByGrammar)
        {
            points.clear();
        }
        return;
    }
    if (HasArea(points) == 0)
    {
        // As read, a subpath without area is drawn as its outline; by the grammar it fills nothing,
        // and its stroke, when it has one, is the stroke's to draw.
        if (m_pathGrammar == CPathGrammar::ByGrammar)
        {
            points.clear();
            return;
        }
        WriteSubpath(points, transform);
        return;
    }

    CMatrix matrix;
    const int hasMatrix = ParseTransform(transform, matrix);
    CPolylinedata loop;
    loop.points.reserve(points.size());
    for (const CPointData& source : points)
    {
        CPointData p = source;
        if (hasMatrix != 0)
        {
            ApplyMatrix(matrix, p.x, p.y);
        }
        ApplyGroupMatrices(p.x, p.y);
        p.y = m_docHeight - p.y;
        loop.points.push_back(p);
    }
    loop.strokeWidth = m_elementStrokeWidth;
    loop.strokeRgb = m_strokeRgb;
    loop.closed = m_closeSeen;
    loop.lineType = m_lineType;
    loop.aci = m_colourIndex(m_strokeRgb);
    loops.push_back(std::move(loop));
    points.clear();
}

void CFillLoopSink::TakeSubpath(CPointList& points, const std::string& transform)
{
    m_geometry.CollectFillLoop(points, transform, m_loops);
    // Only the subpath writer clears the closepath flag; the loop's closed mark carries it now.
    m_geometry.m_closeSeen = 0;
}

int CPathGeometry::FilledPathElement(const std::string& transform, std::string_view d)
{
    m_curveWriting->FillPath(*this, transform, d);
    return 0;
}

void CPathGeometry::FillFlattened(const std::string& transform, std::string_view d)
{
    const EntityStyle style = FillStyle();

    std::vector<CPolylinedata> loops;
    CPointList points;
    points.reserve(std::clamp<std::size_t>(d.size() / 4, 64, 1 << 16));
    CFillLoopSink sink(*this, loops);
    ParsePath(transform, d, points, &sink);
    CollectFillLoop(points, transform, loops);
    WriteFillLoops(loops, style);
}

void CPathGeometry::FillFlattenedPoints(const CPointList& points, bool closed)
{
    const EntityStyle style = FillStyle();
    std::vector<CPolylinedata> loops;
    m_pointsInHand = points;
    m_closeSeen = closed ? 1 : 0;
    CollectFillLoop(m_pointsInHand, std::string(), loops);
    WriteFillLoops(loops, style);
}

void CPathGeometry::WriteFillLoops(const std::vector<CPolylinedata>& loops, const EntityStyle& style)
{
    // Only loops that get a boundary are declared, so the loop count always matches what follows it.
    std::vector<HatchLoop> boundaries;
    boundaries.reserve(loops.size());
    std::vector<bool> bounding;
    if (m_fillRule == CFillRule::NonZero && loops.size() > 1)
    {
        std::vector<const CPointList*> points;
        points.reserve(loops.size());
        for (const CPolylinedata& loop : loops)
            points.push_back(&loop.points);
        bounding = NonZeroBoundaries(points);
    }
    for (std::size_t k = 0; k < loops.size(); ++k)
    {
        const CPointList& p = loops[k].points;
        if (p.size() < 3 || (!bounding.empty() && !bounding[k]))
        {
            continue;
        }
        HatchLoop edges;
        edges.reserve(p.size());
        for (std::size_t i = 0; i + 1 < p.size(); ++i)
        {
            edges.push_back(HatchEdge::Line(p[i].x, p[i].y, p[i + 1].x, p[i + 1].y));
        }
        if (PointsEqual(p.back(), p.front()) == 0)
        {
            edges.push_back(HatchEdge::Line(p.back().x, p.back().y, p.front().x, p.front().y));
        }
        boundaries.push_back(std::move(edges));
    }
    WriteSolidHatch(boundaries, style);

    // Collecting a loop does not consume a closepath the way writing an outline does; left set, it
    // would close the first open subpath of whatever element comes next.
    m_closeSeen = 0;
}
