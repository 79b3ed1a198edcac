#include "geometry/contour_flatten.h"

#include "geometry/flatten.h"

#include <cmath>

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

// Points along an arc at most a tenth of a quarter turn apart, its end exact: the arcs of path data
// come flattened the way of their own, so only a contour made elsewhere brings one here.
template <typename PointAt>
void ArcPoints(double sweep, const CContourPoint& end, PointAt pointAt, CPointList& out)
{
    constexpr double kStep = 0.157; // radians
    const double steps = std::ceil(std::fabs(sweep) / kStep);
    const int count = std::isfinite(steps) ? static_cast<int>(std::fmin(steps, 4096.0)) : 1;
    for (int i = 1; i < count; ++i)
    {
        CPointData p;
        pointAt(sweep * i / count, p.x, p.y);
        out.push_back(p);
    }
    CPointData last;
    last.x = end.x;
    last.y = end.y;
    out.push_back(last);
}

void CircularArcPoints(double x, double y, const CContourSegment& segment, CPointList& out)
{
    // From the chord and the bulge b = tan(sweep / 4): the centre lies off the chord's middle by
    // (1 - b^2) / (4 b) of its length, to the left for a positive bulge.
    const double sweep = 4.0 * std::atan(segment.bulge);
    const double dx = segment.end.x - x;
    const double dy = segment.end.y - y;
    if (segment.bulge == 0.0 || (dx == 0.0 && dy == 0.0))
    {
        ArcPoints(0.0, segment.end, [](double, double&, double&) {}, out);
        return;
    }
    const double offset = (1.0 - segment.bulge * segment.bulge) / (4.0 * segment.bulge);
    const double cx = x + 0.5 * dx - offset * dy;
    const double cy = y + 0.5 * dy + offset * dx;
    const double rx = x - cx;
    const double ry = y - cy;
    ArcPoints(sweep, segment.end,
              [&](double t, double& px, double& py)
              {
                  px = cx + rx * std::cos(t) - ry * std::sin(t);
                  py = cy + rx * std::sin(t) + ry * std::cos(t);
              },
              out);
}

void EllipticalArcPoints(const CContourSegment& segment, CPointList& out)
{
    const CContourPoint& c = segment.c1;
    const CContourPoint& m = segment.c2;
    ArcPoints(segment.sweep, segment.end,
              [&](double t, double& px, double& py)
              {
                  const double u = std::cos(segment.start + t);
                  const double v = std::sin(segment.start + t) * segment.ratio;
                  px = c.x + m.x * u - m.y * v;
                  py = c.y + m.y * u + m.x * v;
              },
              out);
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
        case CContourSegment::Kind::CircularArc:
            CircularArcPoints(x, y, segment, curve);
            break;
        case CContourSegment::Kind::EllipticalArc:
            EllipticalArcPoints(segment, curve);
            break;
        }
        // A curve's first point is where the segment starts, already in the list; the quadratic's
        // is its single-precision copy, which would only add a step too short to see.
        const bool startsAtStart =
            segment.kind == CContourSegment::Kind::Quadratic || segment.kind == CContourSegment::Kind::Cubic;
        AppendDistinct(curve, startsAtStart ? 1 : 0, points);
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
