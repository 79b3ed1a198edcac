// Outlines made of straight and curved segments, in DXF coordinates (y up, output unit not yet
// applied): the form in which a curve keeps its kind on the way to the writer, so that it can be
// written as the curve it is or as the points that approximate it. Glyph outlines come this way, and
// so do the curves of path data when they are written as curves.
#pragma once

#include <vector>

struct CContourPoint
{
    double x = 0.0;
    double y = 0.0;
};

struct CContourSegment
{
    enum class Kind
    {
        Line,
        Quadratic,
        Cubic,
        // An arc of a circle, given by its end and its bulge.
        CircularArc,
        // An arc of an ellipse: c1 its centre, c2 its major axis end relative to the centre.
        EllipticalArc
    };
    Kind kind = Kind::Line;
    // The control points the kind has (none, c1, or c1 and c2), then where the segment ends; it
    // begins where the one before it ends, or at the contour's start.
    CContourPoint c1;
    CContourPoint c2;
    CContourPoint end;
    // CircularArc: the tangent of a quarter of the turn, positive counter-clockwise (a polyline's
    // bulge).
    double bulge = 0.0;
    // EllipticalArc: the minor axis over the major one, in (0, 1]; the arc runs from parameter
    // `start` over `sweep` (radians, positive counter-clockwise), its point at t being
    // c1 + c2 cos t + ratio * (-c2.y, c2.x) sin t.
    double ratio = 1.0;
    double start = 0.0;
    double sweep = 0.0;
};

struct CContour
{
    CContourPoint start;
    std::vector<CContourSegment> segments;
    // A closed contour ends where it starts; the writer closes it when the last end is not the start.
    bool closed = false;
};
