// What every entity has in common: its attributes, the polyline and hatch forms, and the guard
// that keeps unwritable numbers out of the file.
#include "dxf/conventions.h"

#include "dxf/colour_index.h"
#include "dxf/dxf_writer.h"

#include <cmath>
#include <dl_dxf.h>
#include <utility>

namespace
{

// Bulges this small are straight segments; writing them would only add noise to the file.
constexpr double kMinBulge = 1e-10;
// The smallest magnitude the writer's 16 decimals show as other than 0.0.
constexpr double kSmallestShown = 1e-16;
constexpr double kTwoPi = 6.283185307179586;

bool IsTableNameByte(unsigned char c)
{
    switch (c)
    {
    case '<':
    case '>':
    case '/':
    case '\\':
    case '"':
    case ':':
    case ';':
    case '?':
    case '*':
    case '|':
    case '=':
    case '`':
        return false;
    default:
        return c >= 32;
    }
}

bool IsWritableEdge(const HatchEdge& edge)
{
    switch (edge.kind)
    {
    case HatchEdge::Kind::Line:
        return IsWritable(edge.x1) && IsWritable(edge.y1) && IsWritable(edge.x2) && IsWritable(edge.y2);
    // Readers divide by the radius and the major axis: a collapsed arc (a shape scaled to nothing,
    // or to less than the file shows) makes the hatch unreadable, so it is refused with it.
    case HatchEdge::Kind::Arc:
        return IsWritable(edge.cx) && IsWritable(edge.cy) && IsWritable(edge.radius) &&
               IsWritable(edge.angle1) && IsWritable(edge.angle2) && edge.radius >= kSmallestShown;
    case HatchEdge::Kind::EllipseArc:
        return IsWritable(edge.cx) && IsWritable(edge.cy) && IsWritable(edge.mx) && IsWritable(edge.my) &&
               IsWritable(edge.ratio) && IsWritable(edge.angle1) && IsWritable(edge.angle2) &&
               (std::fabs(edge.mx) >= kSmallestShown || std::fabs(edge.my) >= kSmallestShown) &&
               edge.ratio > 0.0 && edge.ratio <= 1.0;
    case HatchEdge::Kind::Spline:
    {
        if (edge.degree < 1 || edge.controls.size() < static_cast<std::size_t>(edge.degree) + 1 ||
            edge.knots.size() != edge.controls.size() + static_cast<std::size_t>(edge.degree) + 1)
            return false;
        bool writable = true;
        for (const DxfPoint& p : edge.controls)
            writable &= IsWritable(p.x) & IsWritable(p.y);
        return writable;
    }
    }
    return false;
}

// Readers take a clockwise arc edge's angles as their complements: the arc from a1 down to a2 is
// written as the range from 2*pi - a1 up to 2*pi - a2.
void ClockwiseRange(const HatchEdge& edge, double& angle1, double& angle2)
{
    angle1 = edge.clockwise ? kTwoPi - edge.angle1 : edge.angle1;
    angle2 = edge.clockwise ? kTwoPi - edge.angle2 : edge.angle2;
}

// dxflib's spline edge writer puts fit data and tangents the edge does not have; the groups are
// written here as release 2000 has them: no fit data, whose count (97) came with later releases and
// would read as the loop's source boundary count here.
void WriteSplineEdge(DL_WriterA& dw, const HatchEdge& edge)
{
    dw.dxfInt(72, 4);
    dw.dxfInt(94, edge.degree);
    dw.dxfInt(73, 0);
    dw.dxfInt(74, 0);
    dw.dxfInt(95, static_cast<int>(edge.knots.size()));
    dw.dxfInt(96, static_cast<int>(edge.controls.size()));
    for (const double knot : edge.knots)
        dw.dxfReal(40, knot);
    for (const DxfPoint& p : edge.controls)
    {
        dw.dxfReal(10, p.x);
        dw.dxfReal(20, p.y);
    }
}

// The edge data is built where it is written: dxflib leaves the fields of other edge kinds
// uninitialised, so the record must never be copied.
void WriteEdge(DL_Dxf& dxf, DL_WriterA& dw, const HatchEdge& edge)
{
    switch (edge.kind)
    {
    case HatchEdge::Kind::Line:
    {
        const DL_HatchEdgeData data(edge.x1, edge.y1, edge.x2, edge.y2);
        dxf.writeHatchEdge(dw, data);
        break;
    }
    case HatchEdge::Kind::Arc:
    {
        double angle1 = 0.0;
        double angle2 = 0.0;
        ClockwiseRange(edge, angle1, angle2);
        const DL_HatchEdgeData data(edge.cx, edge.cy, edge.radius, angle1, angle2, !edge.clockwise);
        dxf.writeHatchEdge(dw, data);
        break;
    }
    case HatchEdge::Kind::EllipseArc:
    {
        double angle1 = 0.0;
        double angle2 = 0.0;
        ClockwiseRange(edge, angle1, angle2);
        const DL_HatchEdgeData data(edge.cx, edge.cy, edge.mx, edge.my, edge.ratio, angle1, angle2,
                                    !edge.clockwise);
        dxf.writeHatchEdge(dw, data);
        break;
    }
    case HatchEdge::Kind::Spline:
        WriteSplineEdge(dw, edge);
        break;
    }
}

} // namespace

HatchEdge HatchEdge::Line(double x1, double y1, double x2, double y2)
{
    HatchEdge edge;
    edge.kind = Kind::Line;
    edge.x1 = x1;
    edge.y1 = y1;
    edge.x2 = x2;
    edge.y2 = y2;
    return edge;
}

HatchEdge HatchEdge::Arc(double cx, double cy, double radius, double angle1, double angle2)
{
    HatchEdge edge;
    edge.kind = Kind::Arc;
    edge.cx = cx;
    edge.cy = cy;
    edge.radius = radius;
    edge.angle1 = angle1;
    edge.angle2 = angle2;
    return edge;
}

HatchEdge HatchEdge::EllipseArc(double cx, double cy, double mx, double my, double ratio, double angle1,
                                double angle2)
{
    HatchEdge edge;
    edge.kind = Kind::EllipseArc;
    edge.cx = cx;
    edge.cy = cy;
    edge.mx = mx;
    edge.my = my;
    edge.ratio = ratio;
    edge.angle1 = angle1;
    edge.angle2 = angle2;
    return edge;
}

HatchEdge HatchEdge::Spline(int degree, std::vector<DxfPoint> controls)
{
    HatchEdge edge;
    edge.kind = Kind::Spline;
    edge.degree = degree;
    edge.controls = std::move(controls);
    BezierKnots(degree, edge.controls.size(), edge.knots);
    return edge;
}

void BezierKnots(int degree, std::size_t controlCount, std::vector<double>& knots)
{
    knots.clear();
    if (degree < 1 || controlCount < static_cast<std::size_t>(degree) + 1)
        return;
    const std::size_t pieces = (controlCount - 1) / static_cast<std::size_t>(degree);
    knots.reserve(controlCount + static_cast<std::size_t>(degree) + 1);
    knots.insert(knots.end(), static_cast<std::size_t>(degree) + 1, 0.0);
    for (std::size_t joint = 1; joint < pieces; ++joint)
        knots.insert(knots.end(), static_cast<std::size_t>(degree), static_cast<double>(joint));
    knots.insert(knots.end(), static_cast<std::size_t>(degree) + 1, static_cast<double>(pieces));
}

std::string SafeTableName(std::string_view name)
{
    // CAD programs take table names of at most 255 characters, and dxflib's reader never gets past a
    // line longer than 1023; a longer id is cut.
    constexpr std::size_t kMaxTableName = 255;
    std::string out(name.substr(0, kMaxTableName));
    for (char& c : out)
        if (!IsTableNameByte(static_cast<unsigned char>(c)))
            c = '_';
    return out;
}

std::string SafeGroupValue(std::string_view value)
{
    std::string out(value);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 32)
            c = '_';
    return out;
}

DL_Attributes MakeAttributes(const CDxfDocument& document, const EntityStyle& style)
{
    std::string layer;
    document.CurrentLayerName(layer);
    if (layer.empty())
        layer = "0";
    DL_Attributes attributes(SafeTableName(layer), style.color, -1, style.lineWeight,
                             style.lineType.empty() ? std::string("BYLAYER") : style.lineType);
    attributes.setLinetypeScale(1.0);
    return attributes;
}

void CDxfDocument::CurrentLayerName(std::string& out) const
{
    out = m_currentLayer.empty() ? std::string("0") : SafeTableName(m_currentLayer);
}

EntityStyle CDxfDocument::OutlineStyle(const std::string& lineType) const
{
    EntityStyle style;
    style.color = m_strokeAci;
    style.lineWeight = 0;
    style.lineType = lineType.empty() ? "BYLAYER" : lineType;
    return style;
}

EntityStyle CDxfDocument::FillStyle() const
{
    EntityStyle style;
    style.color = m_colourIndex(m_fillRgb);
    style.lineWeight = -1;
    style.lineType = "BYLAYER";
    return style;
}

bool CDxfDocument::WriteLwPolyline(const std::vector<DxfVertex>& vertices, int flags,
                                   const EntityStyle& style)
{
    if (!m_writer || !m_dxf || vertices.empty())
        return false;
    // Checked before the first group: an entity cut off half-way would corrupt the whole file.
    bool writable = true;
    for (const DxfVertex& v : vertices)
        writable &= IsWritable(v.x) & IsWritable(v.y) & IsWritable(v.startWidth) & IsWritable(v.endWidth) &
                    IsWritable(v.bulge);
    if (!writable)
        return false;
    WriteCheckedLwPolyline(vertices, flags, style);
    return true;
}

void CDxfDocument::WriteCheckedLwPolyline(const std::vector<DxfVertex>& vertices, int flags,
                                          const EntityStyle& style)
{
    if (!m_writer || !m_dxf || vertices.empty())
        return;
    // One test per polyline, not per vertex: without an output unit the vertices go out as given.
    if (m_mapsUnits && !MapVertices(vertices, false))
        return;
    const std::vector<DxfVertex>& written = m_mapsUnits ? m_unitVertices : vertices;
    BeginLwPolyline(written.size(), flags, style);
    // Written group by group because the library's vertex writer leaves out the widths.
    m_writer->Vertices(written, kMinBulge);
}

void CDxfDocument::BeginLwPolyline(std::size_t count, int flags, const EntityStyle& style)
{
    if (!m_writer || !m_dxf)
        return;
    m_dxf->writePolyline(*m_writer, DL_PolylineData(static_cast<int>(count), 0, 0, flags),
                         MakeAttributes(*this, style));
}

void CDxfDocument::AddLwPolylineVertices(const std::vector<DxfVertex>& vertices)
{
    if (!m_writer)
        return;
    // The polyline's own groups are out already, so a number that the output unit takes out of
    // range can no longer refuse it: it is written at the edge of the range, and the file stays sound.
    if (m_mapsUnits)
    {
        MapVertices(vertices, true);
        m_writer->Vertices(m_unitVertices, kMinBulge);
        return;
    }
    m_writer->Vertices(vertices, kMinBulge);
}

bool CDxfDocument::WriteHatchLoops(const std::vector<HatchLoop>& loops, const EntityStyle& style)
{
    if (!m_writer || !m_dxf)
        return false;
    int loopCount = 0;
    for (const HatchLoop& loop : loops)
    {
        for (const HatchEdge& edge : loop)
            if (!IsWritableEdge(edge))
                return false;
        if (!loop.empty())
            ++loopCount;
    }
    // A boundary without edges encloses nothing; such loops are left out and the count follows. A
    // hatch left with no loop is not written: it would show nothing, and dxflib-based readers (QCAD,
    // LibreCAD) hand such a hatch the boundaries of the hatch read before it, duplicating that fill.
    if (loopCount == 0)
        return false;

    DL_WriterA& dw = *m_writer;
    const DL_Attributes attributes = MakeAttributes(*this, style);
    const DL_HatchData hatch(loopCount, true, 1.0, 0.0, "SOLID", 0.0, 0.0);
    m_dxf->writeHatch1(dw, hatch, attributes);
    for (const HatchLoop& loop : loops)
    {
        if (loop.empty())
            continue;
        const DL_HatchLoopData loopData(static_cast<int>(loop.size()));
        m_dxf->writeHatchLoop1(dw, loopData);
        for (const HatchEdge& edge : loop)
            WriteEdge(*m_dxf, dw, edge);
        m_dxf->writeHatchLoop2(dw, loopData);
    }
    m_dxf->writeHatch2(dw, hatch, attributes);
    return true;
}
