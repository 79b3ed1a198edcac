// Curves written as curves: splines through Bezier control points and elliptical arcs, in DXF
// coordinates and the output unit, refused whole when a number is not writable.
#include "dxf/conventions.h"
#include "dxf/dxf_writer.h"

#include <dl_dxf.h>

namespace
{

// The planar flag: every point of the spline lies in the drawing's plane.
constexpr int kPlanarSpline = 8;

} // namespace

bool CDxfDocument::WriteBezierSpline(int degree, const std::vector<DxfPoint>& controls,
                                     const EntityStyle& style)
{
    if (!m_writer || !m_dxf || degree < 1 || controls.size() < static_cast<std::size_t>(degree) + 1 ||
        (controls.size() - 1) % static_cast<std::size_t>(degree) != 0)
        return false;
    // Checked before the first group: an entity cut off half-way would corrupt the whole file.
    bool writable = true;
    for (DxfPoint p : controls)
    {
        ToOutputUnit(p.x, p.y);
        writable &= IsWritable(p.x) & IsWritable(p.y);
    }
    if (!writable)
        return false;
    std::vector<double> knots;
    BezierKnots(degree, controls.size(), knots);
    DL_SplineData data(degree, static_cast<int>(knots.size()), static_cast<int>(controls.size()), 0,
                       kPlanarSpline);
    data.tangentStartX = data.tangentStartY = data.tangentStartZ = 0.0;
    data.tangentEndX = data.tangentEndY = data.tangentEndZ = 0.0;
    m_dxf->writeSpline(*m_writer, data, MakeAttributes(*this, style));
    for (const double knot : knots)
        m_dxf->writeKnot(*m_writer, DL_KnotData(knot));
    // Only x and y: the points lie in the drawing's plane (the planar flag says so), and a zero z
    // for each of them would be an eighth of the entity.
    for (DxfPoint p : controls)
    {
        ToOutputUnit(p.x, p.y);
        m_writer->dxfReal(10, p.x);
        m_writer->dxfReal(20, p.y);
    }
    return true;
}

bool CDxfDocument::WriteEllipseArc(double cx, double cy, double mx, double my, double ratio, double start,
                                   double end, const EntityStyle& style)
{
    if (!m_writer || !m_dxf)
        return false;
    ToOutputUnit(cx, cy);
    ToOutputLength(mx);
    ToOutputLength(my);
    if (!IsWritable(cx) || !IsWritable(cy) || !IsWritable(mx) || !IsWritable(my) || !IsWritable(start) ||
        !IsWritable(end) || !(ratio > 0.0 && ratio <= 1.0) || (mx == 0.0 && my == 0.0))
        return false;
    m_dxf->writeEllipse(*m_writer, DL_EllipseData(cx, cy, 0.0, mx, my, 0.0, ratio, start, end),
                        MakeAttributes(*this, style));
    return true;
}
