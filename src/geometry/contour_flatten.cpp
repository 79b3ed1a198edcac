#include "geometry/contour_flatten.h"

#include "geometry/flatten.h"

namespace
{

void AppendDistinct(const CPointList& points, std::size_t from, CPointList& out)
{
    for (std::size_t i = from; i < points.size(); ++i)
    {
        const CPointData& p = points[i];
        if (!out.empty() && out.back().x == p.x && out.back().y == p.y)
            continue;
        out.push_back(p);
    }
}

} // namespace

void FlattenContour(const CContour& contour, CPointList& points)
{
    points.clear();
    CPointData start;
    start.x = contour.start.x;
    start.y = contour.start.y;
    points.push_back(start);
    CPointList curve;
    double x = contour.start.x;
    double y = contour.start.y;
    for (const CContourSegment& segment : contour.segments)
    {
        curve.clear();
        switch (segment.kind)
        {
        case CContourSegment::Kind::Line:
        {
            CPointData end;
            end.x = segment.end.x;
            end.y = segment.end.y;
            curve.push_back(end);
            break;
        }
        case CContourSegment::Kind::Quadratic:
            FlattenQuadratic(x, y, segment.c1.x, segment.c1.y, segment.end.x, segment.end.y, curve);
            break;
        case CContourSegment::Kind::Cubic:
            FlattenCubic(x, y, segment.c1.x, segment.c1.y, segment.c2.x, segment.c2.y, segment.end.x,
                         segment.end.y, curve);
            break;
        }
        // A curve's first point is where the segment starts, already in the list; the quadratic's
        // is its single-precision copy, which would only add a step too short to see.
        AppendDistinct(curve, segment.kind == CContourSegment::Kind::Line ? 0 : 1, points);
        x = segment.end.x;
        y = segment.end.y;
    }
    if (contour.closed && points.size() > 1 && points.back().x == points.front().x &&
        points.back().y == points.front().y)
        points.pop_back();
}

int WriteFlattenedContours(CDxfDocument& document, const std::vector<CContour>& contours,
                           const EntityStyle& style)
{
    int written = 0;
    CPointList points;
    std::vector<DxfVertex> vertices;
    for (const CContour& contour : contours)
    {
        FlattenContour(contour, points);
        if (points.size() < 2)
            continue;
        vertices.resize(points.size());
        for (std::size_t i = 0; i < points.size(); ++i)
        {
            vertices[i] = DxfVertex{};
            vertices[i].x = points[i].x;
            vertices[i].y = points[i].y;
        }
        if (document.WriteLwPolyline(vertices, contour.closed ? 1 : 0, style))
            ++written;
    }
    return written;
}

bool WriteFlattenedContourHatch(CDxfDocument& document, const std::vector<CContour>& contours,
                                const EntityStyle& style)
{
    std::vector<HatchLoop> loops;
    CPointList points;
    for (const CContour& contour : contours)
    {
        FlattenContour(contour, points);
        // Fewer than three corners enclose nothing.
        if (points.size() < 3)
            continue;
        HatchLoop loop;
        loop.reserve(points.size());
        for (std::size_t i = 0; i < points.size(); ++i)
        {
            const CPointData& from = points[i];
            const CPointData& to = points[(i + 1) % points.size()];
            loop.push_back(HatchEdge::Line(from.x, from.y, to.x, to.y));
        }
        loops.push_back(std::move(loop));
    }
    return document.WriteSolidHatch(loops, style);
}
