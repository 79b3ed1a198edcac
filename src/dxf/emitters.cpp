// The entities of the basic shapes: lines, circles and ellipses, in DXF coordinates and the
// outline style; the shape readers and the rectangles use them.
#include "dxf/conventions.h"
#include "dxf/dxf_writer.h"

#include <cmath>
#include <dl_dxf.h>
#include <string>

namespace
{

constexpr double kHalfPi = 1.5707963267948966;
constexpr double kTwoPi = 6.283185307179586;

} // namespace

bool CDxfDocument::NormalizeEllipseArc(double& mx, double& my, double& ratio, double& start, double& end)
{
    if (!std::isfinite(ratio) || ratio == 0.0 || !std::isfinite(start) || !std::isfinite(end))
        return false;
    // A shape scaled to nothing has no major axis, and no form of it is a curve a reader can take.
    if (!std::isfinite(mx) || !std::isfinite(my) || (mx == 0.0 && my == 0.0))
        return false;
    const double span = end - start;
    if (ratio < 0.0)
    {
        // A negative ratio mirrors the minor axis: the same points are met with the parameter
        // negated, so the range is mirrored too.
        ratio = -ratio;
        start = -end;
    }
    if (ratio > 1.0)
    {
        // The minor axis is the longer one: it becomes the major axis, and the same point is then met
        // a quarter turn earlier.
        const double majorX = -my * ratio;
        const double majorY = mx * ratio;
        mx = majorX;
        my = majorY;
        ratio = 1.0 / ratio;
        start -= kHalfPi;
    }
    if (start < 0.0)
        start += kTwoPi * std::ceil(-start / kTwoPi);
    if (start >= kTwoPi)
        start = std::fmod(start, kTwoPi);
    end = start + span;
    return ratio > 0.0 && ratio <= 1.0;
}

void CDxfDocument::WriteEllipseEntity(double cx, double cy, double ex, double ey, double ratio, double start,
                                      double end)
{
    if (!m_writer)
        return;
    double centreY = m_docHeight - cy;
    double majorX = ex - cx;
    double majorY = cy - ey;
    // Negative radii give a ratio outside (0, 1], which CAD programs refuse; the same curve is
    // written in the form they accept.
    if (!NormalizeEllipseArc(majorX, majorY, ratio, start, end))
        return;
    ToOutputUnit(cx, centreY);
    ToOutputLength(majorX);
    ToOutputLength(majorY);
    if (!IsWritable(cx) || !IsWritable(centreY) || !IsWritable(majorX) || !IsWritable(majorY) ||
        !IsWritable(start) || !IsWritable(end))
        return;
    m_dxf->writeEllipse(*m_writer, DL_EllipseData(cx, centreY, 0.0, majorX, majorY, 0.0, ratio, start, end),
                        MakeAttributes(*this, OutlineStyle(m_lineType)));
}

void CDxfDocument::WriteCircleEntity(double cx, double cy, double radius, const std::string& lineType)
{
    ToOutputUnit(cx, cy);
    ToOutputLength(radius);
    if (m_writer && IsWritable(cx) && IsWritable(cy) && IsWritable(radius))
        m_dxf->writeCircle(*m_writer, DL_CircleData(cx, cy, 0.0, radius),
                           MakeAttributes(*this, OutlineStyle(lineType)));
}

void CDxfDocument::WriteLineEntity(double x1, double y1, double x2, double y2)
{
    if (!m_writer)
        return;
    double dxfY1 = m_docHeight - y1;
    double dxfY2 = m_docHeight - y2;
    ToOutputUnit(x1, dxfY1);
    ToOutputUnit(x2, dxfY2);
    if (!IsWritable(x1) || !IsWritable(dxfY1) || !IsWritable(x2) || !IsWritable(dxfY2))
        return;
    // A line has no dash array of its own: it takes whatever line type the last dashed element set.
    m_dxf->writeLine(*m_writer, DL_LineData(x1, dxfY1, 0.0, x2, dxfY2, 0.0),
                     MakeAttributes(*this, OutlineStyle(m_lineType)));
}
