// The two ways of writing curves, each a thin forward to the geometry that does the work.
#include "geometry/contour_flatten.h"
#include "geometry/curve_writing.h"
#include "geometry/path_geometry.h"

#include <charconv>
#include <cmath>

namespace
{

// Path data through the points: the curve-keeping reader takes points lists no other way, and
// the shortest text of each number reads back as the same double.
std::string PointsPathData(const CPointList& points, bool closed)
{
    std::string d;
    char buffer[32];
    for (std::size_t i = 0; i < points.size(); ++i)
    {
        d += i == 0 ? 'M' : 'L';
        const double xy[2] = {points[i].x, points[i].y};
        for (int k = 0; k < 2; ++k)
        {
            if (k == 1)
                d += ',';
            const auto end = std::to_chars(buffer, buffer + sizeof buffer, std::isfinite(xy[k]) ? xy[k] : 0.0);
            d.append(buffer, end.ptr);
        }
    }
    if (closed && !d.empty())
        d += 'Z';
    return d;
}

class CFlattenedCurves final : public CCurveWriting
{
  public:
    void StrokePath(CPathGeometry& geometry, const std::string& transform, std::string_view d) const override
    {
        geometry.StrokeFlattened(transform, d);
    }
    void FillPath(CPathGeometry& geometry, const std::string& transform, std::string_view d) const override
    {
        geometry.FillFlattened(transform, d);
    }
    void StrokePoints(CPathGeometry& geometry, const CPointList& points, bool closed) const override
    {
        geometry.StrokeFlattenedPoints(points, closed);
    }
    void FillPoints(CPathGeometry& geometry, const CPointList& points, bool closed) const override
    {
        geometry.FillFlattenedPoints(points, closed);
    }
    bool RoundedRect(CPathGeometry&, const std::string&, const double[6], const EntityStyle*,
                     const EntityStyle*) const override
    {
        return false;
    }
    void WriteOutlines(CPathGeometry& geometry, const std::vector<CContour>& contours, const EntityStyle* outline,
                       const EntityStyle* fill) const override
    {
        if (fill != nullptr)
            WriteFlattenedContourHatch(geometry, contours, *fill);
        if (outline != nullptr)
            WriteFlattenedContours(geometry, contours, *outline);
    }
};

class CNativeCurves final : public CCurveWriting
{
  public:
    void StrokePath(CPathGeometry& geometry, const std::string& transform, std::string_view d) const override
    {
        geometry.StrokeNative(transform, d);
    }
    void FillPath(CPathGeometry& geometry, const std::string& transform, std::string_view d) const override
    {
        geometry.FillNative(transform, d);
    }
    void StrokePoints(CPathGeometry& geometry, const CPointList& points, bool closed) const override
    {
        geometry.StrokeNative(std::string(), PointsPathData(points, closed));
    }
    void FillPoints(CPathGeometry& geometry, const CPointList& points, bool closed) const override
    {
        geometry.FillNative(std::string(), PointsPathData(points, closed));
    }
    bool RoundedRect(CPathGeometry& geometry, const std::string& transform, const double corners[6],
                     const EntityStyle* outline, const EntityStyle* fill) const override
    {
        std::vector<CContour> contours(1);
        geometry.RoundedRectContour(transform, corners, contours.front());
        geometry.WriteContours(contours, outline, 0.0, fill);
        return true;
    }
    void WriteOutlines(CPathGeometry& geometry, const std::vector<CContour>& contours, const EntityStyle* outline,
                       const EntityStyle* fill) const override
    {
        geometry.WriteContours(contours, outline, 0.0, fill);
    }
};

} // namespace

const CCurveWriting& FlattenedCurves()
{
    static const CFlattenedCurves flattened;
    return flattened;
}

const CCurveWriting& NativeCurves()
{
    static const CNativeCurves native;
    return native;
}
