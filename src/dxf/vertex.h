// One vertex of a light-weight polyline, as the geometry hands it to the DXF writer.
#pragma once

// Already in DXF coordinates.
struct DxfVertex
{
    double x = 0.0;
    double y = 0.0;
    double startWidth = 0.0;
    double endWidth = 0.0;
    double bulge = 0.0;
};

// A point in DXF coordinates, for the entities defined by points alone (spline control points).
struct DxfPoint
{
    double x = 0.0;
    double y = 0.0;
};
