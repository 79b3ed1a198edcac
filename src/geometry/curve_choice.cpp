// The two ways of writing curves, each a thin forward to the geometry that does the work.
#include "geometry/contour_flatten.h"
#include "geometry/curve_writing.h"
#include "geometry/path_geometry.h"

namespace
{

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
