// The two ways of writing curves, each a thin forward to the geometry that does the work.
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
