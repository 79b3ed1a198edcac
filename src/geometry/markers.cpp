// Markers at the ends of a stroked path: the marker's own path placed and turned at the vertex.
#include "geometry/path_geometry.h"
#include "geometry/transform.h"
#include "platform/text.h"

#include <cmath>
#include <string>
#include <utility>

namespace
{

// Marks the geometry as drawing a marker's own geometry for the guard's lifetime.
class CMarkerGuard
{
  public:
    explicit CMarkerGuard(int& flag) : m_flag(flag), m_previous(flag) { m_flag = 1; }
    ~CMarkerGuard() { m_flag = m_previous; }
    CMarkerGuard(const CMarkerGuard&) = delete;
    CMarkerGuard& operator=(const CMarkerGuard&) = delete;

  private:
    int& m_flag;
    int m_previous;
};

// The marker's own path runs through the same parser as the path that carries it, usually between
// two subpaths of that path. Its closepath letters and last command must not leak into the carrier:
// a marker ending in z would otherwise close the carrier's next subpath. (The closepath flag is
// handled by DrawMarkerShape itself, as writing the marker's outline consumes it.)
class CParserStateSaver
{
  public:
    explicit CParserStateSaver(CPathGeometry& geometry)
        : m_geometry(geometry), m_lastCommand(geometry.m_lastCommand),
          m_closeLeading(geometry.m_closeLeading), m_lastControlX(geometry.m_lastControlX),
          m_lastControlY(geometry.m_lastControlY)
    {
    }
    ~CParserStateSaver()
    {
        m_geometry.m_lastCommand = std::move(m_lastCommand);
        m_geometry.m_closeLeading = m_closeLeading;
        m_geometry.m_lastControlX = m_lastControlX;
        m_geometry.m_lastControlY = m_lastControlY;
    }
    CParserStateSaver(const CParserStateSaver&) = delete;
    CParserStateSaver& operator=(const CParserStateSaver&) = delete;

  private:
    CPathGeometry& m_geometry;
    std::string m_lastCommand;
    int m_closeLeading;
    double m_lastControlX;
    double m_lastControlY;
};

} // namespace

int CPathGeometry::FindMarker(const std::string& reference, CMarkdata& definition) const
{
    // Document order and a plain substring test: "url(#arrow)" matches a marker "a" defined first.
    for (const CMarkdata& marker : m_markers)
    {
        // An empty id would occur in every reference.
        if (!marker.id.empty() && reference.find(marker.id) != std::string::npos)
        {
            definition = marker;
            return 1;
        }
    }
    return 0;
}

void CPathGeometry::DrawMarker(const std::string& reference, int isStart, const CPointData& a,
                               const CPointData& b)
{
    if (m_drawingMarker != 0)
    {
        return;
    }
    const std::string_view trimmed = orbelin::Trim(reference);
    if (trimmed.empty() || trimmed == "none")
    {
        return;
    }
    CMarkdata definition;
    if (FindMarker(std::string(trimmed), definition) == 0)
    {
        return;
    }
    DrawMarkerShape(definition, a, b, isStart);
}

void CPathGeometry::DrawMarkerShape(const CMarkdata& definition, const CPointData& a, const CPointData& b,
                                    int isStart)
{
    const CMarkerGuard guard(m_drawingMarker);
    const CParserStateSaver parserState(*this);
    const int closeSeenBefore = m_closeSeen;
    bool wrote = false;

    double cosine = 1.0;
    double sine = 0.0;
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double length = std::sqrt(dx * dx + dy * dy);
    if (length > 0.00001)
    {
        cosine = dx / length;
        sine = dy / length;
    }
    const double offsetX = orbelin::ReadDouble(definition.refX);
    const double offsetY = orbelin::ReadDouble(definition.refY);
    const CPointData& anchor = isStart != 0 ? a : b;

    // The marker's path is read whole and each of its subpaths is placed like the last one. Handing
    // earlier subpaths to the outline writer would draw them unplaced and, through that writer, draw
    // this path's markers again on them without end.
    CPointList points;
    points.reserve(32);
    ParsePath(std::string(), definition.pathData, points, nullptr);

    CMatrix matrix;
    const int hasMatrix = ParseTransform(definition.pathTransform, matrix);
    const double strokeWidth = m_elementStrokeWidth != 0.0 ? m_elementStrokeWidth : m_groupStrokeWidth;
    const double width = ScaleStrokeWidth(strokeWidth, matrix);

    std::vector<DxfVertex> vertices;
    std::size_t begin = 0;
    while (begin < points.size())
    {
        std::size_t end = begin;
        while (end + 1 < points.size() && points[end].endOfSubpath == 0)
        {
            ++end;
        }
        ++end;
        if (end - begin >= 2)
        {
            vertices.clear();
            vertices.reserve(end - begin);
            for (std::size_t i = begin; i < end; ++i)
            {
                double x = points[i].x;
                double y = points[i].y;
                if (hasMatrix != 0)
                {
                    ApplyMatrix(matrix, x, y);
                }
                DxfVertex v;
                v.x = x * cosine - y * sine + offsetX + anchor.x;
                v.y = m_docHeight - (x * sine + y * cosine + offsetY + anchor.y);
                v.startWidth = width;
                v.endWidth = width;
                vertices.push_back(v);
            }
            WriteLwPolyline(vertices, 0, EntityStyle{m_strokeAci, -1, m_lineType});
            wrote = true;
        }
        begin = end;
    }
    m_closeSeen = wrote ? 0 : closeSeenBefore;
}
