// The records of path geometry: points with their subpath marks, loops and marker definitions.
#pragma once

#include <string>
#include <vector>

// One 2-D point of a path with its two marks.
struct CPointData
{
    double x = 0.0;
    double y = 0.0;
    int closed = 0;       // last point of a subpath that a closepath ended
    int endOfSubpath = 0; // last point of a subpath that a following moveto ended
};

using CPointList = std::vector<CPointData>;

// One fill loop or symbol subpath, with the state current when it was taken.
struct CPolylinedata
{
    CPointList points;
    double strokeWidth = 0.0;
    int strokeRgb = 0;
    int closed = 0;
    std::string lineType;
    int aci = 0;
};

// One marker definition.
struct CMarkdata
{
    std::string id;
    std::string refX;
    std::string refY;
    std::string pathData;
    std::string pathTransform;
};
