// The basic shapes: polyline and polygon, circle, ellipse and line, read from their attribute
// texts, mapped, and written through the entities of the DXF layer.
#include "platform/text.h"
#include "svg/converter.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

namespace
{

constexpr double kTwoPi = 6.283185307179586;

// The line type an element's own dash array names; "BYLAYER" when it names no written pattern.
std::string LineTypeFor(const CConverter& converter, const std::string& dash)
{
    const std::string name = converter.DashNameFor(std::string(orbelin::Trim(dash)));
    return name.empty() ? std::string("BYLAYER") : name;
}

} // namespace

void CConverter::WritePolylineElement(const std::string& transform, const std::string& points,
                                      const std::string& dash, int closed)
{
    CMatrix matrix;
    const bool hasMatrix = ParseTransform(transform, matrix) != 0;

    // Only the blank separates pairs: "10,20 30,40" is two vertices, and a run of two blanks
    // leaves an empty piece that still counts as a vertex at (0, 0).
    const std::string_view trimmed = orbelin::Trim(points);
    const std::size_t pieceCount =
        static_cast<std::size_t>(std::count(trimmed.begin(), trimmed.end(), ' ')) + 1;
    if (pieceCount < 2)
        return;

    // The pair reader is the path-data one, which notes closepath letters; a stray 'z' in a points
    // list must not close the next path.
    const int closeSeen = m_closeSeen;
    std::vector<DxfVertex> vertices;
    vertices.reserve(pieceCount);
    std::size_t pos = 0;
    for (std::size_t i = 0; i < pieceCount; ++i)
    {
        std::size_t blank = trimmed.find(' ', pos);
        if (blank == std::string_view::npos)
            blank = trimmed.size();
        double x = 0.0;
        double y = 0.0;
        ReadNumberPair(trimmed.substr(pos, blank - pos), x, y);
        MapPoint(hasMatrix ? &matrix : nullptr, x, y);
        DxfVertex vertex;
        vertex.x = x;
        vertex.y = m_docHeight - y;
        vertices.push_back(vertex);
        pos = blank + 1;
    }
    m_closeSeen = closeSeen;
    WriteLwPolyline(vertices, closed, OutlineStyle(LineTypeFor(*this, dash)));
}

void CConverter::WriteCircleElement(int fill, const std::string& transform, const std::string& cx,
                                    const std::string& cy, const std::string& r, const std::string& dash,
                                    int stroke)
{
    if (cx.empty() || cy.empty() || r.empty())
        return;
    // A circle with neither fill nor stroke would vanish; it is drawn as an outline instead.
    if (!fill && !stroke)
        stroke = 1;
    const std::string lineType = LineTypeFor(*this, dash);

    CMatrix matrix;
    const CMatrix* element = ParseTransform(transform, matrix) ? &matrix : nullptr;
    double centreX = orbelin::ReadDouble(cx);
    double centreY = orbelin::ReadDouble(cy);
    double radiusX = orbelin::ReadDouble(r);
    double radiusY = 0.0;
    double originX = 0.0;
    double originY = 0.0;
    MapPoint(element, centreX, centreY);
    MapPoint(element, radiusX, radiusY);
    MapPoint(element, originX, originY);
    // Only the x direction of the mapping sizes the circle; a shape the transform would make an
    // ellipse stays a circle.
    const double radius = std::hypot(radiusX - originX, radiusY - originY);
    if (radius == 0.0)
        return;

    const double dxfY = m_docHeight - centreY;
    if (fill)
    {
        const std::vector<HatchLoop> loops{HatchLoop{HatchEdge::Arc(centreX, dxfY, radius, 0.0, kTwoPi)}};
        WriteSolidHatch(loops, FillStyle());
    }
    if (stroke)
        WriteCircleEntity(centreX, dxfY, radius, lineType);
}

void CConverter::WriteEllipseElement(int fill, const std::string& transform, const std::string& cx,
                                     const std::string& cy, const std::string& rx, const std::string& ry,
                                     const std::string& dash, int stroke)
{
    if (cx.empty() || cy.empty() || rx.empty() || ry.empty())
        return;
    if (!fill && !stroke)
        stroke = 1;
    m_lineType = LineTypeFor(*this, dash);

    const double centreX = orbelin::ReadDouble(cx);
    const double centreY = orbelin::ReadDouble(cy);
    const double radiusX = orbelin::ReadDouble(rx);
    const double radiusY = orbelin::ReadDouble(ry);

    // A flat ellipse has no area to fill; it is its own diameter, drawn like a path.
    if (radiusX == 0.0 || radiusY == 0.0)
    {
        CPointList flat(2);
        if (radiusX == 0.0)
        {
            flat[0].x = centreX;
            flat[0].y = centreY + radiusY;
            flat[1].x = centreX;
            flat[1].y = centreY - radiusY;
        }
        else
        {
            flat[0].x = centreX + radiusX;
            flat[0].y = centreY;
            flat[1].x = centreX - radiusX;
            flat[1].y = centreY;
        }
        WriteSubpath(flat, transform);
        return;
    }

    double ratio = radiusY / radiusX;
    double axisX = centreX + radiusX;
    double axisY = centreY;
    if (ratio > 1.0)
    {
        axisX = centreX;
        axisY = centreY + radiusY;
        ratio = radiusX / radiusY;
    }
    CMatrix matrix;
    const CMatrix* element = ParseTransform(transform, matrix) ? &matrix : nullptr;
    double mappedCx = centreX;
    double mappedCy = centreY;
    MapPoint(element, mappedCx, mappedCy);
    MapPoint(element, axisX, axisY);

    if (fill)
    {
        double majorX = axisX - mappedCx;
        double majorY = mappedCy - axisY;
        double edgeRatio = ratio;
        double start = 0.0;
        double end = kTwoPi;
        if (NormalizeEllipseArc(majorX, majorY, edgeRatio, start, end))
        {
            const std::vector<HatchLoop> loops{HatchLoop{HatchEdge::EllipseArc(
                mappedCx, m_docHeight - mappedCy, majorX, majorY, edgeRatio, start, end)}};
            WriteSolidHatch(loops, FillStyle());
        }
    }
    if (stroke)
        WriteEllipseEntity(mappedCx, mappedCy, axisX, axisY, ratio, 0.0, kTwoPi);
}

void CConverter::WriteLineElement(const std::string& transform, const std::string& x1, const std::string& y1,
                                  const std::string& x2, const std::string& y2)
{
    CMatrix matrix;
    const CMatrix* element = ParseTransform(transform, matrix) ? &matrix : nullptr;
    double startX = orbelin::ReadDouble(x1);
    double startY = orbelin::ReadDouble(y1);
    double endX = orbelin::ReadDouble(x2);
    double endY = orbelin::ReadDouble(y2);
    MapPoint(element, startX, startY);
    MapPoint(element, endX, endY);
    WriteLineEntity(startX, startY, endX, endY);
}
