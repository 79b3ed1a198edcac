// Path data read as curves: the commands of a path turned into contours whose segments keep their
// kind, mapped into DXF coordinates. The commands mean what they mean to the flattening reader
// (path_points.cpp), so both ways of writing draw the same shape; only the form differs.
#include "geometry/flatten.h"
#include "geometry/path_geometry.h"
#include "geometry/transform.h"
#include "platform/text.h"

#include <cmath>
#include <string>
#include <string_view>

namespace
{

constexpr double kPi = 3.141592653589793;
constexpr double kRadiansPerDegree = 0.017453292519943295;
// Relative tolerance under which two lengths count as equal and two directions as perpendicular,
// for telling a mapping that keeps circles round.
constexpr double kRoundTolerance = 1e-9;

// User units into DXF coordinates: the element matrix, the open groups, the y flip.
class CPlaneMap
{
  public:
    CPlaneMap(const CPathGeometry& geometry, const std::string& transform) : m_geometry(geometry)
    {
        m_element = ParseTransform(transform, m_matrix) != 0 ? &m_matrix : nullptr;
        // The linear part, from the matrices themselves: differences of mapped points would lose
        // digits to a large translation.
        Linear(1.0, 0.0, m_ax, m_ay);
        Linear(0.0, 1.0, m_bx, m_by);
        m_det = m_ax * m_by - m_ay * m_bx;
        const double a2 = m_ax * m_ax + m_ay * m_ay;
        const double b2 = m_bx * m_bx + m_by * m_by;
        const double dot = m_ax * m_bx + m_ay * m_by;
        m_round = a2 > 0.0 && std::fabs(a2 - b2) <= kRoundTolerance * a2 &&
                  std::fabs(dot) <= kRoundTolerance * a2 && std::isfinite(a2);
    }
    CContourPoint operator()(double x, double y) const
    {
        m_geometry.MapPoint(m_element, x, y);
        return CContourPoint{x, m_geometry.m_docHeight - y};
    }
    // A vector's image under the linear part, the flip included.
    void Linear(double x, double y, double& outX, double& outY) const
    {
        if (m_element != nullptr)
            LinearStep(*m_element, x, y);
        if (m_geometry.m_groupTransformSeen != 0)
            for (int i = m_geometry.m_matrixDepth - 1; i >= 0; --i)
                LinearStep(m_geometry.m_matrixStack[static_cast<std::size_t>(i)], x, y);
        outX = x;
        outY = -y;
    }
    // Circles stay circles: a similarity, reflected or not.
    bool KeepsCircles() const { return m_round; }
    // Negative when the mapping (with its flip) reverses the turning direction.
    double Orientation() const { return m_det; }

  private:
    static void LinearStep(const CMatrix& m, double& x, double& y)
    {
        const double nx = m.a * x + m.c * y;
        const double ny = m.b * x + m.d * y;
        x = nx;
        y = ny;
    }

    const CPathGeometry& m_geometry;
    CMatrix m_matrix;
    const CMatrix* m_element = nullptr;
    double m_ax = 1.0, m_ay = 0.0, m_bx = 0.0, m_by = 1.0;
    double m_det = 1.0;
    bool m_round = true;
};

CContourSegment LineTo(CContourPoint end)
{
    CContourSegment segment;
    segment.kind = CContourSegment::Kind::Line;
    segment.end = end;
    return segment;
}

bool Same(const CContourPoint& a, const CContourPoint& b)
{
    return a.x == b.x && a.y == b.y;
}

// A curve whose control points all sit on its start and end is the line between them, and a
// curve that never leaves its start is no more than a zero-length line.
void AddCurve(CContour& contour, const CContourPoint& from, CContourSegment segment)
{
    const bool flat = Same(segment.c1, from) &&
                      (segment.kind == CContourSegment::Kind::Quadratic || Same(segment.c2, from)) &&
                      Same(segment.end, from);
    contour.segments.push_back(flat ? LineTo(segment.end) : segment);
}

// The arc from (x1, y1) in user units, mapped: bulges where circles stay round, an elliptical arc
// otherwise, a line where the arc has no centre (as the flattener draws it).
void AddArc(CContour& contour, const CPlaneMap& map, double x1, double y1, const ArcEndpoints& arc)
{
    const CContourPoint end = map(arc.x, arc.y);
    ArcCenterForm centre;
    if (ArcCenter(x1, y1, arc, centre) != 0)
    {
        contour.segments.push_back(LineTo(end));
        return;
    }
    const double theta1 = centre.theta1 * kRadiansPerDegree;
    const double delta = centre.deltaTheta * kRadiansPerDegree;
    const double phi = arc.rotation * kPi / 180.0;
    const double cosPhi = std::cos(phi);
    const double sinPhi = std::sin(phi);
    const bool circle = std::fabs(centre.rx - centre.ry) <= kRoundTolerance * centre.rx;
    if (circle && map.KeepsCircles())
    {
        const double turn = map.Orientation() < 0.0 ? -1.0 : 1.0;
        // A bulge grows without bound towards a full turn: more than half a turn goes in two halves.
        if (std::fabs(delta) > kPi)
        {
            const double theta = theta1 + delta * 0.5;
            const double mx =
                centre.cx + centre.rx * std::cos(theta) * cosPhi - centre.ry * std::sin(theta) * sinPhi;
            const double my =
                centre.cy + centre.rx * std::cos(theta) * sinPhi + centre.ry * std::sin(theta) * cosPhi;
            CContourSegment half;
            half.kind = CContourSegment::Kind::CircularArc;
            half.end = map(mx, my);
            half.bulge = turn * std::tan(delta / 8.0);
            contour.segments.push_back(half);
            half.end = end;
            contour.segments.push_back(half);
            return;
        }
        CContourSegment segment;
        segment.kind = CContourSegment::Kind::CircularArc;
        segment.end = end;
        segment.bulge = turn * std::tan(delta / 4.0);
        contour.segments.push_back(segment);
        return;
    }
    // The ellipse as centre + u cos t + v sin t, mapped; its own axes are where |u' cos t + v' sin t|
    // is largest (t0) and a quarter turn on.
    double ux = 0.0;
    double uy = 0.0;
    double vx = 0.0;
    double vy = 0.0;
    map.Linear(centre.rx * cosPhi, centre.rx * sinPhi, ux, uy);
    map.Linear(-centre.ry * sinPhi, centre.ry * cosPhi, vx, vy);
    const double dot = ux * vx + uy * vy;
    const double spread = ux * ux + uy * uy - vx * vx - vy * vy;
    double t0 = 0.5 * std::atan2(2.0 * dot, spread);
    double c0 = std::cos(t0);
    double s0 = std::sin(t0);
    // Axes that stay perpendicular (no skew) are taken as they are, without the noise of cos(pi/2).
    if (dot == 0.0)
    {
        const bool swap = spread < 0.0;
        t0 = swap ? kPi * 0.5 : 0.0;
        c0 = swap ? 0.0 : 1.0;
        s0 = swap ? 1.0 : 0.0;
    }
    const double majorX = ux * c0 + vx * s0;
    const double majorY = uy * c0 + vy * s0;
    const double minorX = -ux * s0 + vx * c0;
    const double minorY = -uy * s0 + vy * c0;
    const double major = std::hypot(majorX, majorY);
    const double minor = std::hypot(minorX, minorY);
    if (!(major > 0.0) || !(minor > 0.0) || !std::isfinite(major) || !std::isfinite(minor))
    {
        contour.segments.push_back(LineTo(end));
        return;
    }
    // The minor axis a quarter turn clockwise of the major one runs the parameter backwards.
    const double sense = majorX * minorY - majorY * minorX < 0.0 ? -1.0 : 1.0;
    CContourSegment segment;
    segment.kind = CContourSegment::Kind::EllipticalArc;
    segment.c1 = map(centre.cx, centre.cy);
    segment.c2 = CContourPoint{majorX, majorY};
    segment.ratio = std::min(1.0, minor / major);
    segment.start = sense * (theta1 - t0);
    segment.sweep = sense * delta;
    segment.end = end;
    contour.segments.push_back(segment);
}

} // namespace

void CPathGeometry::ReadPathContours(const std::string& transform, std::string_view d,
                                     std::vector<CContour>& contours, bool closeAlways)
{
    const CPlaneMap map(*this, transform);
    double px = 0.0;
    double py = 0.0;
    // The running subpath's start in user units, for a relative moveto after a closepath.
    double startX = 0.0;
    double startY = 0.0;
    bool open = false;

    const auto endSubpath = [&](bool closed)
    {
        if (!open)
            return;
        CContour& contour = contours.back();
        contour.closed = closed;
        if (closeAlways || !contour.segments.empty())
            m_closeSeen = 0;
        open = false;
    };
    const auto startAt = [&](double x, double y)
    {
        contours.emplace_back();
        contours.back().start = map(x, y);
        startX = x;
        startY = y;
        open = true;
    };
    // A line before any moveto starts the subpath at its end, as the flattener's list does.
    const auto lineTo = [&](double x, double y)
    {
        if (!open)
            startAt(x, y);
        else
            contours.back().segments.push_back(LineTo(map(x, y)));
    };
    const auto current = [&]() -> CContour&
    {
        // A curve before any moveto starts from the origin, as the flattener draws it.
        if (!open)
            startAt(px, py);
        return contours.back();
    };

    std::string_view data = d;
    std::string_view args;
    std::string token;
    std::string command;
    std::size_t remaining = data.size();
    while (NextPathCommand(args, token, data) != 0)
    {
        const bool advanced = data.size() < remaining;
        remaining = data.size();
        const std::string_view trimmed = orbelin::Trim(token);
        if (trimmed.empty())
        {
            if (orbelin::IsSingle(m_lastCommand, 'M'))
                command = "L";
            else if (orbelin::IsSingle(m_lastCommand, 'm'))
                command = "l";
            else
                command = m_lastCommand;
        }
        else
            command.assign(trimmed.data(), trimmed.size());

        const char letter = command.size() == 1 ? command[0] : '\0';
        const bool relative = letter >= 'a' && letter <= 'z';
        const double ox = relative ? px : 0.0;
        const double oy = relative ? py : 0.0;
        bool endPath = false;
        const CContourPoint from = map(px, py);

        switch (letter)
        {
        case 'M':
        case 'm':
        {
            const bool closedBefore = m_closeSeen != 0 || m_closeLeading != 0;
            m_closeLeading = 0;
            double baseX = px;
            double baseY = py;
            if (letter == 'm' && m_closeSeen != 0 && open)
            {
                baseX = startX;
                baseY = startY;
            }
            endSubpath(closedBefore);
            double x = 0.0;
            double y = 0.0;
            ReadNumberPair(args, x, y);
            if (letter == 'm')
            {
                x += baseX;
                y += baseY;
            }
            px = x;
            py = y;
            current();
            break;
        }
        case 'L':
        case 'l':
        {
            double x = 0.0;
            double y = 0.0;
            ReadNumberPair(args, x, y);
            px = x + ox;
            py = y + oy;
            lineTo(px, py);
            break;
        }
        case 'H':
        case 'h':
            px = orbelin::ReadDouble(args) + ox;
            lineTo(px, py);
            break;
        case 'V':
        case 'v':
            py = orbelin::ReadDouble(args) + oy;
            lineTo(px, py);
            break;
        case 'C':
        case 'c':
        case 'S':
        case 's':
        {
            double c[6] = {};
            const int read = CubicStep(letter, args, px, py, ox, oy, c);
            if (read < 0)
            {
                endPath = true;
                break;
            }
            if (read == 0)
                break;
            const double x1 = c[0];
            const double y1 = c[1];
            const double x2 = c[2];
            const double y2 = c[3];
            const double x3 = c[4];
            const double y3 = c[5];
            CContourSegment segment;
            segment.kind = CContourSegment::Kind::Cubic;
            segment.c1 = map(x1, y1);
            segment.c2 = map(x2, y2);
            segment.end = map(x3, y3);
            AddCurve(current(), from, segment);
            m_lastControlX = x2;
            m_lastControlY = y2;
            px = x3;
            py = y3;
            break;
        }
        case 'Q':
        case 'q':
        case 'T':
        case 't':
        {
            double c[4] = {};
            if (!QuadraticStep(letter, args, px, py, ox, oy, c))
                break;
            CContourSegment segment;
            segment.kind = CContourSegment::Kind::Quadratic;
            segment.c1 = map(c[0], c[1]);
            segment.end = map(c[2], c[3]);
            AddCurve(current(), from, segment);
            m_lastControlX = c[0];
            m_lastControlY = c[1];
            px = c[2];
            py = c[3];
            break;
        }
        case 'A':
        case 'a':
        {
            ArcEndpoints arc;
            if (!ArcStep(args, ox, oy, arc))
            {
                endPath = true;
                break;
            }
            AddArc(current(), map, px, py, arc);
            px = arc.x;
            py = arc.y;
            break;
        }
        default:
            break;
        }
        m_lastCommand = command;
        if (endPath || !advanced)
            break;
    }
    endSubpath(m_closeSeen != 0);
}

void CPathGeometry::RoundedRectContour(const std::string& transform, const double corners[6],
                                       CContour& contour) const
{
    const CPlaneMap map(*this, transform);
    const double x1 = corners[0];
    const double y1 = corners[1];
    const double x2 = corners[2];
    const double y2 = corners[3];
    const double rx = corners[4];
    const double ry = corners[5];
    contour = CContour();
    contour.start = map(x1 + rx, y1);
    contour.closed = true;
    double px = x1 + rx;
    double py = y1;
    const auto side = [&](double x, double y)
    {
        contour.segments.push_back(LineTo(map(x, y)));
        px = x;
        py = y;
    };
    const auto corner = [&](double x, double y)
    {
        ArcEndpoints arc;
        arc.rx = rx;
        arc.ry = ry;
        arc.sweep = 1;
        arc.x = x;
        arc.y = y;
        AddArc(contour, map, px, py, arc);
        px = x;
        py = y;
    };
    side(x2 - rx, y1);
    corner(x2, y1 + ry);
    side(x2, y2 - ry);
    corner(x2 - rx, y2);
    side(x1 + rx, y2);
    corner(x1, y2 - ry);
    side(x1, y1 + ry);
    corner(x1 + rx, y1);
    // The last corner ends on the start's own numbers, so the outline closes without a gap.
    contour.segments.back().end = contour.start;
}
