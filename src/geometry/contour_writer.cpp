// Contours written as the curves they are: straight runs and circular arcs as polylines with
// bulges, runs of Bezier curves as splines, elliptical arcs as ellipse arcs, and filled contours as
// hatch boundaries of the matching edges. Stroked and filled paths come here when curves are
// written natively, and so may any outline in DXF coordinates (glyphs).
#include "dxf/colour_index.h"
#include "geometry/contour_flatten.h"
#include "geometry/flatten.h"
#include "geometry/path_geometry.h"
#include "geometry/transform.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace
{

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
// A marker turns along an elliptical arc towards its point this share of the sweep in, as it
// would towards the first of the flattener's twenty steps.
constexpr int kEllipseSteps = 20;
// How far the arcs that carry a width on a curve may stray from it: a quarter of the flattener's
// distance (1/sqrt(60) user units), as arcs follow a curve far more closely than chords.
constexpr double kArcTolerance = 0.032;
// Bulges this small are straight, as the polyline writer takes them.
constexpr double kMinEdgeBulge = 1e-10;
// Deeper splitting than this ends with the arc as it is; finite curves never need it.
constexpr int kMaxArcDepth = 12;

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

// The point of a curve at t in [0, 1].
CContourPoint CurvePoint(const CContourPoint& from, const CContourSegment& s, double t)
{
    if (s.kind == Kind::EllipticalArc)
        return EllipsePoint(s, s.start + s.sweep * t);
    const double u = 1.0 - t;
    if (s.kind == Kind::Quadratic)
        return CContourPoint{u * u * from.x + 2.0 * u * t * s.c1.x + t * t * s.end.x,
                             u * u * from.y + 2.0 * u * t * s.c1.y + t * t * s.end.y};
    const double a = u * u * u;
    const double b = 3.0 * u * u * t;
    const double c = 3.0 * u * t * t;
    const double d = t * t * t;
    return CContourPoint{a * from.x + b * s.c1.x + c * s.c2.x + d * s.end.x,
                         a * from.y + b * s.c1.y + c * s.c2.y + d * s.end.y};
}

// The bulge of the arc from a to b through m; 0 when the three lie on a line (or the arc is no
// better than one).
double BulgeThrough(const CContourPoint& a, const CContourPoint& m, const CContourPoint& b)
{
    const double ax = a.x - m.x;
    const double ay = a.y - m.y;
    const double bx = b.x - m.x;
    const double by = b.y - m.y;
    const double cross = ax * by - ay * bx;
    const double dot = ax * bx + ay * by;
    if (cross == 0.0 || !std::isfinite(cross) || !std::isfinite(dot))
        return 0.0;
    // The angle at m is pi - sweep/2, so tan(sweep/4) follows from it by the half-angle rule.
    const double angleAtM = std::atan2(std::fabs(cross), dot);
    const double quarter = (kPi - angleAtM) * 0.5;
    const double bulge = std::tan(quarter);
    // Seen from m, a before b clockwise means the arc turns counter-clockwise from a to b.
    return cross < 0.0 ? bulge : -bulge;
}

// Farthest that the curve's points at these parameters lie off the arc from `from` to `to` with
// the bulge (or off the chord when it has none).
double ArcDeviation(const CContourPoint& from, const CContourPoint& to, double bulge,
                    const CContourPoint* samples, int count)
{
    double worst = 0.0;
    if (bulge == 0.0)
    {
        const double dx = to.x - from.x;
        const double dy = to.y - from.y;
        const double length = std::hypot(dx, dy);
        for (int i = 0; i < count; ++i)
        {
            const double off =
                length > 0.0 ? std::fabs((samples[i].x - from.x) * dy - (samples[i].y - from.y) * dx) / length
                             : std::hypot(samples[i].x - from.x, samples[i].y - from.y);
            worst = std::max(worst, off);
        }
        return worst;
    }
    CContourPoint centre;
    double radius = 0.0;
    BulgeCircle(from, to, bulge, centre, radius);
    for (int i = 0; i < count; ++i)
        worst =
            std::max(worst, std::fabs(std::hypot(samples[i].x - centre.x, samples[i].y - centre.y) - radius));
    return std::isfinite(worst) ? worst : kArcTolerance * 2.0;
}

// The part [t0, t1] of a curve as arcs on vertices, each within kArcTolerance of the curve.
void FitArcs(const CContourPoint& from, const CContourSegment& s, double t0, double t1,
             const CContourPoint& p0, const CContourPoint& p1, int depth, double width,
             std::vector<DxfVertex>& vertices)
{
    const double tm = (t0 + t1) * 0.5;
    const CContourPoint mid = CurvePoint(from, s, tm);
    const double bulge = BulgeThrough(p0, mid, p1);
    const CContourPoint samples[3] = {CurvePoint(from, s, t0 + (t1 - t0) * 0.25), mid,
                                      CurvePoint(from, s, t0 + (t1 - t0) * 0.75)};
    // An arc of more than a half turn cannot stand for a piece of a curve within its tolerance
    // reliably; the piece is split.
    const bool fits = std::fabs(bulge) <= 1.0 && ArcDeviation(p0, p1, bulge, samples, 3) <= kArcTolerance;
    if (fits || depth >= kMaxArcDepth)
    {
        vertices.back().bulge = bulge;
        vertices.push_back(Vertex(p1, width));
        return;
    }
    FitArcs(from, s, t0, tm, p0, mid, depth + 1, width, vertices);
    FitArcs(from, s, tm, t1, mid, p1, depth + 1, width, vertices);
}

// A curve that must hold a width: arcs that follow it within the tolerance, on the polyline's
// vertices after `from`; the curve's own end last, so that what follows meets it on the same numbers.
void AppendCurveArcs(const CContourPoint& from, const CContourSegment& s, double width,
                     std::vector<DxfVertex>& vertices)
{
    const CContourPoint first = s.kind == Kind::EllipticalArc ? EllipsePoint(s, s.start) : from;
    if (!Same(first, CContourPoint{vertices.back().x, vertices.back().y}))
        vertices.push_back(Vertex(first, width));
    FitArcs(from, s, 0.0, 1.0, first, s.end, 0, width, vertices);
}

// A run of consecutive Bezier segments, written as one spline: of degree 2 when all are
// quadratics, whose control points then go as they are, else of degree 3, a quadratic among cubics
// raised to the cubic that draws the very same curve.
class CBezierRun
{
  public:
    bool Empty() const { return m_segments.empty(); }
    void Add(const CContourPoint& from, const CContourSegment& s)
    {
        if (m_segments.empty())
            m_start = from;
        m_segments.push_back(&s);
        m_cubic = m_cubic || s.kind == Kind::Cubic;
    }
    // The run's degree and control points; the run is empty afterwards.
    int Take(std::vector<DxfPoint>& controls)
    {
        const int degree = m_cubic ? 3 : 2;
        controls.clear();
        controls.reserve(m_segments.size() * static_cast<std::size_t>(degree) + 1);
        controls.push_back(Point(m_start));
        CContourPoint from = m_start;
        for (const CContourSegment* s : m_segments)
        {
            if (!m_cubic)
                controls.push_back(Point(s->c1));
            else if (s->kind == Kind::Cubic)
            {
                controls.push_back(Point(s->c1));
                controls.push_back(Point(s->c2));
            }
            else
            {
                constexpr double kTwoThirds = 2.0 / 3.0;
                controls.push_back(DxfPoint{from.x + kTwoThirds * (s->c1.x - from.x),
                                            from.y + kTwoThirds * (s->c1.y - from.y)});
                controls.push_back(DxfPoint{s->end.x + kTwoThirds * (s->c1.x - s->end.x),
                                            s->end.y + kTwoThirds * (s->c1.y - s->end.y)});
            }
            controls.push_back(Point(s->end));
            from = s->end;
        }
        m_segments.clear();
        m_cubic = false;
        return degree;
    }

  private:
    CContourPoint m_start;
    std::vector<const CContourSegment*> m_segments;
    bool m_cubic = false;
};

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
    CBezierRun run;
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
        if (!run.Empty())
        {
            const int degree = run.Take(controls);
            WriteBezierSpline(degree, controls, style);
            wroteOther = true;
        }
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
                AppendCurveArcs(from, s, width, vertices);
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
            run.Add(from, s);
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
    CBezierRun run;
    const auto flushControls = [&]
    {
        if (run.Empty())
            return;
        std::vector<DxfPoint> controls;
        const int degree = run.Take(controls);
        loop.push_back(HatchEdge::Spline(degree, std::move(controls)));
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
            // An arc too flat to show is its chord; its centre would lie beyond any writable number.
            if (std::fabs(s.bulge) < kMinEdgeBulge)
                loop.push_back(HatchEdge::Line(from.x, from.y, s.end.x, s.end.y));
            else
                loop.push_back(ArcEdge(from, s));
            break;
        case Kind::EllipticalArc:
            loop.push_back(EllipseEdge(s));
            break;
        case Kind::Quadratic:
        case Kind::Cubic:
            run.Add(from, s);
            break;
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
    std::vector<CPointList> outlines;
    for (const CContour& contour : contours)
    {
        if (ContourLoop(contour, loop))
        {
            loops.push_back(std::move(loop));
            if (m_fillRule == CFillRule::NonZero)
            {
                // The rule reads directions and nesting, which the flattened outline shows as well.
                outlines.emplace_back();
                FlattenContour(contour, outlines.back());
            }
        }
        else
            // A subpath that encloses nothing is drawn as its outline, as the flattened fill does.
            WriteContourOutline(contour, width, EntityStyle{m_strokeAci, -1, m_lineType});
    }
    if (outlines.size() > 1)
    {
        std::vector<const CPointList*> points;
        for (const CPointList& outline : outlines)
            points.push_back(&outline);
        const std::vector<bool> bounding = NonZeroBoundaries(points);
        std::size_t kept = 0;
        for (std::size_t k = 0; k < loops.size(); ++k)
            if (bounding[k])
            {
                if (kept != k)
                    loops[kept] = std::move(loops[k]);
                ++kept;
            }
        loops.resize(kept);
    }
    WriteSolidHatch(loops, style);
    m_closeSeen = 0;
}
