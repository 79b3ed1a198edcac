// Curves turned into points by fixed rules, so the same drawing always gives the same vertices:
// cubics by subdivision against an absolute tolerance, quadratics by six single-precision samples,
// arcs by their centre form and twenty steps.
#include "geometry/flatten.h"

#include <algorithm>
#include <cmath>

namespace
{

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kRadiansPerDegree = 0.017453292519943295;

void AppendPoint(CPointList& points, double x, double y)
{
    CPointData point;
    point.x = x;
    point.y = y;
    points.push_back(point);
}

void FlattenCubicPiece(double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3,
                       int depth, CPointList& points)
{
    // Chord line dy*x + dx*y + c = 0; e/|chord| is a control point's distance from it, so comparing
    // e^2 against |chord|^2/60 tests a fixed distance of 1/sqrt(60) user units without a square root.
    const double dx = x0 - x3;
    const double dy = y3 - y0;
    const double c = (x3 - x0) * y0 - dy * x0;
    const double tau = (dx * dx + dy * dy) / 60.0;
    if (tau == 0.0)
        return;
    const double e1 = dy * x1 + dx * y1 + c;
    const double e2 = dy * x2 + dx * y2 + c;
    const bool flat = e1 * e1 < tau && e2 * e2 < tau;
    // An overflowing or non-finite piece never passes the test and splits into more of the same;
    // no point of it can be written, so it ends here instead of filling the list to the depth bound.
    if (flat || depth >= kMaxCubicDepth || !std::isfinite(tau) || !std::isfinite(e1 * e1) ||
        !std::isfinite(e2 * e2))
    {
        AppendPoint(points, x0, y0);
        AppendPoint(points, x3, y3);
        return;
    }

    const double ax = (x0 + x1) * 0.5;
    const double ay = (y0 + y1) * 0.5;
    const double bx = (x0 + 2.0 * x1 + x2) * 0.25;
    const double by = (y0 + 2.0 * y1 + y2) * 0.25;
    const double mx = (x0 + 3.0 * x1 + 3.0 * x2 + x3) * 0.125;
    const double my = (y0 + 3.0 * y1 + 3.0 * y2 + y3) * 0.125;
    const double fx = (x1 + 2.0 * x2 + x3) * 0.25;
    const double fy = (y1 + 2.0 * y2 + y3) * 0.25;
    const double gx = (x2 + x3) * 0.5;
    const double gy = (y2 + y3) * 0.5;
    FlattenCubicPiece(x0, y0, ax, ay, bx, by, mx, my, depth + 1, points);
    FlattenCubicPiece(mx, my, fx, fy, gx, gy, x3, y3, depth + 1, points);
}

} // namespace

void FlattenCubic(double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3,
                  CPointList& points)
{
    FlattenCubicPiece(x0, y0, x1, y1, x2, y2, x3, y3, 0, points);
}

void FlattenQuadratic(double x0, double y0, double x1, double y1, double x2, double y2, CPointList& points)
{
    // Single precision on purpose: the vertices must match those of drawings converted before.
    const auto fx0 = static_cast<float>(x0);
    const auto fy0 = static_cast<float>(y0);
    const auto fx1 = static_cast<float>(x1);
    const auto fy1 = static_cast<float>(y1);
    const auto fx2 = static_cast<float>(x2);
    const auto fy2 = static_cast<float>(y2);
    float t = 0.0f;
    for (int i = 0; i < 6; ++i)
    {
        const float a = 1.0f - t;
        const float w1 = 2.0f * t * a;
        const float w0 = a * a;
        const float w2 = t * t;
        const float x = w1 * fx1 + w0 * fx0 + w2 * fx2;
        const float y = w1 * fy1 + w0 * fy0 + w2 * fy2;
        AppendPoint(points, static_cast<double>(x), static_cast<double>(y));
        t = static_cast<float>(static_cast<double>(t) + 0.2);
    }
}

int ArcCenter(double x1, double y1, const ArcEndpoints& arc, ArcCenterForm& centre)
{
    const double x2 = arc.x;
    const double y2 = arc.y;
    if (x2 == x1 && y2 == y1)
        return 1;
    if (arc.rx == 0.0 || arc.ry == 0.0)
        return 2;
    double rx = std::fabs(arc.rx);
    double ry = std::fabs(arc.ry);
    const double phi = arc.rotation * kPi / 180.0;
    const double cosPhi = std::cos(phi);
    const double sinPhi = std::sin(phi);

    const double hx = (x1 - x2) * 0.5;
    const double hy = (y1 - y2) * 0.5;
    const double x1p = cosPhi * hx + sinPhi * hy;
    const double y1p = cosPhi * hy - sinPhi * hx;

    // Radii too small to reach the end point grow just enough to do so.
    const double lambda = x1p * x1p / (rx * rx) + y1p * y1p / (ry * ry);
    if (lambda > 1.0)
    {
        const double scale = std::sqrt(lambda);
        rx *= scale;
        ry *= scale;
    }

    const double d = rx * rx * y1p * y1p + ry * ry * x1p * x1p;
    if (d == 0.0)
        return 3;
    double k = std::sqrt(std::fabs(rx * rx * ry * ry / d - 1.0));
    if (arc.largeArc == arc.sweep)
        k = -k;
    const double cxp = k * rx * y1p / ry;
    const double cyp = -k * ry * x1p / rx;

    const double cx = cosPhi * cxp - sinPhi * cyp + (x1 + x2) * 0.5;
    const double cy = sinPhi * cxp + cosPhi * cyp + (y1 + y2) * 0.5;

    const double ux = (x1p - cxp) / rx;
    const double uy = (y1p - cyp) / ry;
    const double vx = (-x1p - cxp) / rx;
    const double vy = (-y1p - cyp) / ry;
    const double lengthU = std::sqrt(ux * ux + uy * uy);
    const double lengthV = std::sqrt(vx * vx + vy * vy);
    if (lengthU == 0.0 || lengthU * lengthV == 0.0)
        return 3;

    double theta1 = std::acos(std::clamp(ux / lengthU, -1.0, 1.0));
    if (uy < 0.0)
        theta1 = -theta1;
    double deltaTheta = std::acos(std::clamp((ux * vx + uy * vy) / (lengthU * lengthV), -1.0, 1.0));
    if (ux * vy - uy * vx < 0.0)
        deltaTheta = -deltaTheta;
    if (arc.sweep != 0 && deltaTheta < 0.0)
        deltaTheta += kTwoPi;
    else if (arc.sweep == 0 && deltaTheta > 0.0)
        deltaTheta -= kTwoPi;

    // Overflowing radii or non-finite input give no usable centre; the caller then draws a line.
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(rx) || !std::isfinite(ry) ||
        !std::isfinite(theta1) || !std::isfinite(deltaTheta))
        return 3;

    centre.cx = cx;
    centre.cy = cy;
    centre.rx = rx;
    centre.ry = ry;
    centre.theta1 = theta1 * 180.0 / kPi;
    centre.deltaTheta = deltaTheta * 180.0 / kPi;
    return 0;
}

void ArcPoints(double x1, double y1, const ArcEndpoints& arc, CPointList& points)
{
    ArcCenterForm centre;
    if (ArcCenter(x1, y1, arc, centre) != 0)
        return;
    const double theta1 = centre.theta1 * kRadiansPerDegree;
    const double step = centre.deltaTheta * kRadiansPerDegree / 20.0;
    const double phi = arc.rotation * kPi / 180.0;
    const double cosPhi = std::cos(phi);
    const double sinPhi = std::sin(phi);
    // Twenty samples from the start angle; the end angle is left to the exact end point.
    for (int i = 0; i < 20; ++i)
    {
        const double theta = theta1 + i * step;
        const double cosTheta = std::cos(theta);
        const double sinTheta = std::sin(theta);
        AppendPoint(points, centre.cx + centre.rx * cosTheta * cosPhi - centre.ry * sinTheta * sinPhi,
                    centre.cy + centre.rx * cosTheta * sinPhi + centre.ry * sinTheta * cosPhi);
    }
}

void FlattenArc(double x1, double y1, const ArcEndpoints& arc, CPointList& points)
{
    ArcPoints(x1, y1, arc, points);
    AppendPoint(points, arc.x, arc.y);
}
