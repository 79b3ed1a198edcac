// The unit the drawing is written in: the scale every number takes on its way out, and the header
// variables that tell a CAD program what one unit is.
#include "dxf/conventions.h"
#include "dxf/dxf_writer.h"

#include <algorithm>

namespace
{

// $INSUNITS codes. A CSS pixel has none: such drawings say "unitless" and leave the size to the
// program that reads them, as drawings without a unit always have.
constexpr int kInsUnitless = 0;
constexpr int kInsInches = 1;
constexpr int kInsMillimetres = 4;
constexpr int kInsCentimetres = 5;
// $MEASUREMENT: which hatch patterns and line-type files a CAD program starts from.
constexpr int kImperial = 0;
constexpr int kMetric = 1;
// $LUNITS 2: lengths shown as decimal numbers.
constexpr int kDecimalLengths = 2;

} // namespace

double CDxfDocument::UnitsPerInch(DxfUnit unit)
{
    switch (unit)
    {
    case DxfUnit::Millimetre:
        return 25.4;
    case DxfUnit::Centimetre:
        return 2.54;
    case DxfUnit::Inch:
        return 1.0;
    case DxfUnit::Pixel:
        return 96.0;
    case DxfUnit::None:
        break;
    }
    return 0.0;
}

void CDxfDocument::SetOutputUnit(DxfUnit unit, CUnitLength userUnit, double yShift)
{
    m_outputUnit = unit;
    m_unitScale = 1.0;
    m_unitShift = 0.0;
    if (unit != DxfUnit::None)
    {
        // The factor between the two units first: exactly 1 when they are the same, so that a
        // drawing in millimetres written in millimetres keeps its numbers bit for bit.
        const double scale = userUnit.size * (UnitsPerInch(unit) / userUnit.perInch);
        if (IsWritable(scale) && scale > 0.0)
            m_unitScale = scale;
        if (IsWritable(yShift))
            m_unitShift = yShift;
    }
    m_mapsUnits = m_unitScale != 1.0 || m_unitShift != 0.0;
}

void CDxfDocument::WriteUnitVariables()
{
    int insUnits = kInsUnitless;
    int measurement = kImperial;
    switch (m_outputUnit)
    {
    case DxfUnit::None:
        return;
    case DxfUnit::Millimetre:
        insUnits = kInsMillimetres;
        measurement = kMetric;
        break;
    case DxfUnit::Centimetre:
        insUnits = kInsCentimetres;
        measurement = kMetric;
        break;
    case DxfUnit::Inch:
        insUnits = kInsInches;
        break;
    case DxfUnit::Pixel:
        // The CSS pixel is defined as 1/96 inch.
        break;
    }
    CDxfWriter& dw = *m_writer;
    dw.dxfString(9, "$INSUNITS");
    dw.dxfInt(70, insUnits);
    dw.dxfString(9, "$MEASUREMENT");
    dw.dxfInt(70, measurement);
    dw.dxfString(9, "$LUNITS");
    dw.dxfInt(70, kDecimalLengths);
}

bool CDxfDocument::MapVertices(const std::vector<DxfVertex>& vertices, bool clampToRange)
{
    m_unitVertices.resize(vertices.size());
    bool writable = true;
    for (std::size_t i = 0; i < vertices.size(); ++i)
    {
        // A bulge is a ratio and stays as it is.
        DxfVertex v = vertices[i];
        v.x *= m_unitScale;
        v.y = (v.y + m_unitShift) * m_unitScale;
        v.startWidth *= m_unitScale;
        v.endWidth *= m_unitScale;
        // A drawing scaled up can leave the writable range that its own numbers kept to.
        writable &= IsWritable(v.x) & IsWritable(v.y) & IsWritable(v.startWidth) & IsWritable(v.endWidth);
        m_unitVertices[i] = v;
    }
    // The numbers came in writable, so scaled they are finite or infinite, never NaN.
    if (!writable && clampToRange)
        for (DxfVertex& v : m_unitVertices)
            for (double* number : {&v.x, &v.y, &v.startWidth, &v.endWidth})
                *number = std::clamp(*number, -kMaxDxfValue, kMaxDxfValue);
    return writable;
}

bool CDxfDocument::WriteSolidHatch(const std::vector<HatchLoop>& loops, const EntityStyle& style)
{
    if (!m_mapsUnits)
        return WriteHatchLoops(loops, style);
    std::vector<HatchLoop> mapped(loops);
    for (HatchLoop& loop : mapped)
        for (HatchEdge& edge : loop)
        {
            switch (edge.kind)
            {
            case HatchEdge::Kind::Line:
                ToOutputUnit(edge.x1, edge.y1);
                ToOutputUnit(edge.x2, edge.y2);
                break;
            case HatchEdge::Kind::Arc:
                ToOutputUnit(edge.cx, edge.cy);
                ToOutputLength(edge.radius);
                break;
            case HatchEdge::Kind::EllipseArc:
                // The major axis is relative to the centre; the ratio and the angles stay.
                ToOutputUnit(edge.cx, edge.cy);
                ToOutputLength(edge.mx);
                ToOutputLength(edge.my);
                break;
            case HatchEdge::Kind::Spline:
                for (DxfPoint& p : edge.controls)
                    ToOutputUnit(p.x, p.y);
                break;
            }
        }
    return WriteHatchLoops(mapped, style);
}
