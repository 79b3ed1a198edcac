// Contours written as the curves they are: straight runs and circular arcs as polylines with
// bulges, runs of Bezier curves as splines, elliptical arcs as ellipse arcs, and filled contours as
// hatch boundaries of the matching edges. Stroked and filled paths come here when curves are
// written natively, and so may any outline in DXF coordinates (glyphs).
#include "dxf/colour_index.h"
#include "geometry/flatten.h"
#include "geometry/path_geometry.h"
#include "geometry/transform.h"

#include <cmath>
#include <utility>

namespace
{

constexpr double kTwoPi = 6.283185307179586;
// An elliptical arc given points for a width takes as many steps as the flattener gives an arc.
constexpr int kEllipseSteps = 20;

using Kind = CContourSegment::Kind;

bool Same(const CContourPoint& a, const CContourPoint& b)
{
    return a.x == b.x && a.y == b.y;
}

DxfVertex Vertex(const CContourPoint& p, double width)
{
    DxfVertex v;
    v.x = p.x;
    v.y = p.y;
    v.startWidth = width;
    v.endWidth = width;
    return v;
}

DxfPoint Point(const CContourPoint& p)
{
    return DxfPoint{p.x, p.y};
}

double NormalAngle(double angle)
{
    double a = std::fmod(angle, kTwoPi);
    if (a < 0.0)
        a += kTwoPi;
    return a;
}

CContourPoint EllipsePoint(const CContourSegment& s, double t)
{
    const double c = std::cos(t);
    const double n = std::sin(t) * s.ratio;
    return CContourPoint{s.c1.x + s.c2.x * c - s.c2.y * n, s.c1.y + s.c2.y * c + s.c2.x * n};
}

// Centre and radius of the arc from `from` to `to` with this bulge (never 0).
void BulgeCircle(const CContourPoint& from, const CContourPoint& to, double bulge, CContourPoint& centre,
                 double& radius)
{
    const double dx = to.x - from.x;
    const double dy = to.y - from.y;
    const double offset = (1.0 - bulge * bulge) / (4.0 * bulge);
    centre.x = (from.x + to.x) * 0.5 - offset * dy;
    centre.y = (from.y + to.y) * 0.5 + offset * dx;
    radius = std::hypot(from.x - centre.x, from.y - centre.y);
}

// The points of a curve that must go as points (a width on it), after `from`, onto vertices; the
// curve's own end last, so that what follows meets it on the same numbers.
void AppendCurvePoints(const CContourPoint& from, const CContourSegment& s, double width,
                       std::vector<DxfVertex>& vertices)
{
    CPointList points;
    if (s.kind == Kind::Cubic)
        FlattenCubic(from.x, from.y, s.c1.x, s.c1.y, s.c2.x, s.c2.y, s.end.x, s.end.y, points);
    else if (s.kind == Kind::Quadratic)
        FlattenQuadratic(from.x, from.y, s.c1.x, s.c1.y, s.end.x, s.end.y, points);
    else
        for (int i = 1; i < kEllipseSteps; ++i)
        {
            const CContourPoint p = EllipsePoint(s, s.start + s.sweep * i / kEllipseSteps);
            CPointData point;
            point.x = p.x;
            point.y = p.y;
            points.push_back(point);
        }
    for (const CPointData& p : points)
    {
        const DxfVertex& last = vertices.back();
        if ((p.x != last.x || p.y != last.y) && (p.x != s.end.x || p.y != s.end.y))
            vertices.push_back(Vertex(CContourPoint{p.x, p.y}, width));
    }
    vertices.push_back(Vertex(s.end, width));
}

// One segment more in a spline's control points, which start at the run's start.
void AppendControls(const CContourSegment& s, std::vector<DxfPoint>& controls)
{
    controls.push_back(Point(s.c1));
    if (s.kind == Kind::Cubic)
        controls.push_back(Point(s.c2));
    controls.push_back(Point(s.end));
}

HatchEdge EllipseEdge(const CContourSegment& s)
{
    const double start = NormalAngle(s.start);
    HatchEdge edge = HatchEdge::EllipseArc(s.c1.x, s.c1.y, s.c2.x, s.c2.y, s.ratio, start, start + s.sweep);
    edge.clockwise = s.sweep < 0.0;
    return edge;
}

HatchEdge ArcEdge(const CContourPoint& from, const CContourSegment& s)
{
    CContourPoint centre;
    double radius = 0.0;
    BulgeCircle(from, s.end, s.bulge, centre, radius);
    const double start = NormalAngle(std::atan2(from.y - centre.y, from.x - centre.x));
    const double sweep = 4.0 * std::atan(s.bulge);
    HatchEdge edge = HatchEdge::Arc(centre.x, centre.y, radius, start, start + sweep);
    edge.clockwise = sweep < 0.0;
    return edge;
}

bool EnclosesArea(const CContour& contour)
{
    // Twice the signed area of the polygon of the segment ends and control points: a contour of
    // lines on one line, or of nothing, has none; any real curve has some.
    double area = 0.0;
    CContourPoint from = contour.start;
    const auto add = [&](const CContourPoint& to)
    {
        area += (from.x - contour.start.x) * (to.y - contour.start.y) -
                (to.x - contour.start.x) * (from.y - contour.start.y);
        from = to;
    };
    for (const CContourSegment& s : contour.segments)
    {
        if (s.kind != Kind::Line)
            return true;
        add(s.end);
    }
    return area != 0.0 && std::isfinite(area);
}

} // namespace

void CPathGeometry::WriteContourOutline(const CContour& contour, double width, const EntityStyle& style)
{
    if (contour.segments.empty())
        return;
    const bool points = width != 0.0;
    std::vector<DxfVertex> vertices;
    std::vector<DxfPoint> controls;
    int degree = 0;
    bool wroteOther = false;
    const auto flushVertices = [&]
    {
        if (vertices.size() >= 2)
        {
            WriteLwPolyline(vertices, 0, style);
            wroteOther = true;
        }
        vertices.clear();
    };
    const auto flushControls = [&]
    {
        if (!controls.empty())
        {
            WriteBezierSpline(degree, controls, style);
            wroteOther = true;
        }
        controls.clear();
    };

    CContourPoint from = contour.start;
    const auto take = [&](const CContourSegment& s)
    {
        switch (s.kind)
        {
        case Kind::Line:
        case Kind::CircularArc:
            flushControls();
            if (vertices.empty())
                vertices.push_back(Vertex(from, width));
            if (s.kind == Kind::CircularArc)
                vertices.back().bulge = s.bulge;
            vertices.push_back(Vertex(s.end, width));
            break;
        case Kind::Quadratic:
        case Kind::Cubic:
        case Kind::EllipticalArc:
            if (points)
            {
                flushControls();
                if (vertices.empty())
                    vertices.push_back(Vertex(from, width));
                AppendCurvePoints(from, s, width, vertices);
                break;
            }
            flushVertices();
            if (s.kind == Kind::EllipticalArc)
            {
                flushControls();
                const double start = NormalAngle(s.sweep < 0.0 ? s.start + s.sweep : s.start);
                WriteEllipseArc(s.c1.x, s.c1.y, s.c2.x, s.c2.y, s.ratio, start, start + std::fabs(s.sweep),
                                style);
                wroteOther = true;
                break;
            }
            {
                const int kindDegree = s.kind == Kind::Cubic ? 3 : 2;
                // Quadratics and cubics go in splines of their own degree, so that every control point
                // is the drawing's own.
                if (!controls.empty() && kindDegree != degree)
                    flushControls();
                if (controls.empty())
                    controls.push_back(Point(from));
                degree = kindDegree;
                AppendControls(s, controls);
            }
            break;
        }
        from = s.end;
    };
    for (const CContourSegment& s : contour.segments)
        take(s);
    if (contour.closed && !Same(from, contour.start))
        take(CContourSegment{Kind::Line, {}, {}, contour.start});
    flushControls();
    // A closed contour of lines and circular arcs alone is one closed polyline, its last vertex
    // (the start again) left to the closing flag.
    if (contour.closed && !wroteOther && vertices.size() >= 3)
    {
        vertices.pop_back();
        WriteLwPolyline(vertices, 1, style);
        return;
    }
    flushVertices();
}

bool CPathGeometry::ContourLoop(const CContour& contour, HatchLoop& loop)
{
    loop.clear();
    if (!EnclosesArea(contour))
        return false;
    CContourPoint from = contour.start;
    std::vector<DxfPoint> controls;
    int degree = 0;
    const auto flushControls = [&]
    {
        if (!controls.empty())
            loop.push_back(HatchEdge::Spline(degree, std::move(controls)));
        controls.clear();
    };
    const auto take = [&](const CContourSegment& s)
    {
        if (s.kind != Kind::Quadratic && s.kind != Kind::Cubic)
            flushControls();
        switch (s.kind)
        {
        case Kind::Line:
            if (!Same(from, s.end))
                loop.push_back(HatchEdge::Line(from.x, from.y, s.end.x, s.end.y));
            break;
        case Kind::CircularArc:
            loop.push_back(ArcEdge(from, s));
            break;
        case Kind::EllipticalArc:
            loop.push_back(EllipseEdge(s));
            break;
        case Kind::Quadratic:
        case Kind::Cubic:
        {
            const int kindDegree = s.kind == Kind::Cubic ? 3 : 2;
            if (!controls.empty() && kindDegree != degree)
                flushControls();
            if (controls.empty())
                controls.push_back(Point(from));
            degree = kindDegree;
            AppendControls(s, controls);
            break;
        }
        }
        from = s.end;
    };
    for (const CContourSegment& s : contour.segments)
        take(s);
    if (!Same(from, contour.start))
        take(CContourSegment{Kind::Line, {}, {}, contour.start});
    flushControls();
    return !loop.empty();
}

void CPathGeometry::WriteContours(const std::vector<CContour>& contours, const EntityStyle* outline,
                                  double width, const EntityStyle* fill)
{
    if (fill != nullptr)
    {
        std::vector<HatchLoop> loops;
        loops.reserve(contours.size());
        HatchLoop loop;
        for (const CContour& contour : contours)
            if (ContourLoop(contour, loop))
                loops.push_back(std::move(loop));
        WriteSolidHatch(loops, *fill);
    }
    if (outline != nullptr)
        for (const CContour& contour : contours)
            WriteContourOutline(contour, width, *outline);
}

void CPathGeometry::StrokeNative(const std::string& transform, std::string_view d)
{
    std::vector<CContour> contours;
    ReadPathContours(transform, d, contours, false);
    CMatrix matrix;
    ParseTransform(transform, matrix);
    const double strokeWidth = m_elementStrokeWidth != 0.0 ? m_elementStrokeWidth : m_groupStrokeWidth;
    const double width = ScaleStrokeWidth(strokeWidth, matrix);
    const EntityStyle style{m_strokeAci, -1, m_lineType};
    for (const CContour& contour : contours)
    {
        WriteContourOutline(contour, width, style);
        if (contour.segments.empty() || m_drawingMarker != 0)
            continue;
        // The markers stand where the flattened subpath would have them, turned along its ends.
        const auto svgPoint = [this](const CContourPoint& p)
        {
            CPointData point;
            point.x = p.x;
            point.y = m_docHeight - p.y;
            return point;
        };
        const CContourSegment& first = contour.segments.front();
        const CContourSegment& last = contour.segments.back();
        const CContourPoint lastFrom =
            contour.segments.size() >= 2 ? contour.segments[contour.segments.size() - 2].end : contour.start;
        const auto toward = [](const CContourPoint& from, const CContourSegment& s, bool atStart)
        {
            switch (s.kind)
            {
            case Kind::Quadratic:
                return Same(s.c1, atStart ? from : s.end) ? (atStart ? s.end : from) : s.c1;
            case Kind::Cubic:
            {
                const CContourPoint& near = atStart ? s.c1 : s.c2;
                const CContourPoint& far = atStart ? s.c2 : s.c1;
                const CContourPoint& self = atStart ? from : s.end;
                if (!Same(near, self))
                    return near;
                return !Same(far, self) ? far : (atStart ? s.end : from);
            }
            case Kind::EllipticalArc:
                return EllipsePoint(s, s.start +
                                           s.sweep * (atStart ? 1.0 : kEllipseSteps - 1.0) / kEllipseSteps);
            case Kind::CircularArc:
            {
                CContourPoint centre;
                double radius = 0.0;
                BulgeCircle(from, s.end, s.bulge, centre, radius);
                const double a0 = std::atan2(from.y - centre.y, from.x - centre.x);
                const double turn =
                    4.0 * std::atan(s.bulge) * (atStart ? 1.0 : kEllipseSteps - 1.0) / kEllipseSteps;
                return CContourPoint{centre.x + radius * std::cos(a0 + turn),
                                     centre.y + radius * std::sin(a0 + turn)};
            }
            case Kind::Line:
                break;
            }
            return atStart ? s.end : from;
        };
        DrawMarker(m_markerStartRef, 1, svgPoint(contour.start),
                   svgPoint(toward(contour.start, first, true)));
        DrawMarker(m_markerEndRef, 0, svgPoint(toward(lastFrom, last, false)), svgPoint(last.end));
    }
}

void CPathGeometry::FillNative(const std::string& transform, std::string_view d)
{
    std::vector<CContour> contours;
    ReadPathContours(transform, d, contours, true);
    const EntityStyle style = FillStyle();
    std::vector<HatchLoop> loops;
    loops.reserve(contours.size());
    HatchLoop loop;
    CMatrix matrix;
    ParseTransform(transform, matrix);
    const double width = ScaleStrokeWidth(m_elementStrokeWidth, matrix);
    for (const CContour& contour : contours)
    {
        if (ContourLoop(contour, loop))
            loops.push_back(std::move(loop));
        else
            // A subpath that encloses nothing is drawn as its outline, as the flattened fill does.
            WriteContourOutline(contour, width, EntityStyle{m_strokeAci, -1, m_lineType});
    }
    WriteSolidHatch(loops, style);
    m_closeSeen = 0;
}
