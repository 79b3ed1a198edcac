// How the curves of path data are written, chosen once at the start of a conversion: flattened
// into the points of polylines (the default), or as the curves they are (splines, bulges, elliptical
// arcs). Both readings of a drawing hand their paths to the same choice.
#pragma once

#include "geometry/contour.h"
#include "geometry/records.h"

#include <string>
#include <string_view>
#include <vector>

class CPathGeometry;
struct EntityStyle;

class CCurveWriting
{
  public:
    // A stroked path; line type and markers are set on the geometry already.
    virtual void StrokePath(CPathGeometry& geometry, const std::string& transform,
                            std::string_view d) const = 0;
    // A filled path: its subpaths with an area as the boundary loops of one solid hatch.
    virtual void FillPath(CPathGeometry& geometry, const std::string& transform,
                          std::string_view d) const = 0;
    // A polygon (closed) or polyline given by its points in user units, as the path data through
    // them would be stroked or filled.
    virtual void StrokePoints(CPathGeometry& geometry, const CPointList& points, bool closed) const = 0;
    virtual void FillPoints(CPathGeometry& geometry, const CPointList& points, bool closed) const = 0;
    // A rectangle from (x1, y1) to (x2, y2) with corners of radii rx and ry, filled (fill given) or
    // outlined; false when this way leaves rectangles to their own form of lines and corner arcs.
    virtual bool RoundedRect(CPathGeometry& geometry, const std::string& transform, const double corners[6],
                             const EntityStyle* outline, const EntityStyle* fill) const = 0;
    // Closed outlines already in DXF coordinates (glyphs): each as a closed curve when outline is
    // given, and all together as the loops of one solid hatch when fill is given.
    virtual void WriteOutlines(CPathGeometry& geometry, const std::vector<CContour>& contours,
                               const EntityStyle* outline, const EntityStyle* fill) const = 0;

  protected:
    ~CCurveWriting() = default;
};

// Curves as the points of polylines, as the drawing has always been written.
const CCurveWriting& FlattenedCurves();
// Curves as splines, polyline bulges and elliptical arcs.
const CCurveWriting& NativeCurves();
