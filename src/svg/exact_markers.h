// Markers in the exact reading: where a path's markers stand (its vertices by the path grammar, with
// the path's direction into and out of each) and the matrix that places a marker's contents there.
#pragma once

#include "geometry/transform.h"

#include <string>
#include <string_view>
#include <vector>

// One vertex of a path: a moveto, the end of a segment or the point a closepath returns to. The
// angles are the path's direction (radians, in the path's user space) arriving and leaving.
struct CMarkerVertex
{
    double x = 0.0;
    double y = 0.0;
    double inAngle = 0.0;
    double outAngle = 0.0;
    bool hasIn = false;
    bool hasOut = false;
};

// The vertices of path data in order. Reading stops at the first error of the grammar (a missing or
// malformed number, a negative arc radius, a flag other than 0 or 1), as the path is drawn up to it.
std::vector<CMarkerVertex> PathVertices(std::string_view d);

// Path data for the path reader, which takes each number whole and skips what it cannot read, written
// as the grammar reads it: every step with its letter and numbers between single blanks, a second
// decimal point starting a number of its own (".5.5" is two), an arc flag one character ("a5 5 0
// 1110 0" holds the flags 1 and 1 and the end point 10, 0), the data ending at the first error. False
// (and spelled empty) when d reads the same either way and can be handed over as it is.
bool SpellOutPathData(std::string_view d, std::string& spelled);

// How a marker is turned: by a fixed angle, or along the path.
struct CMarkerOrient
{
    enum class Kind
    {
        Fixed,
        Auto,
        AutoStartReverse
    };
    Kind kind = Kind::Fixed;
    double angle = 0.0; // radians, for Fixed
};

// The orient attribute: "auto", "auto-start-reverse", or an angle (deg by default, rad, grad, turn);
// anything else is the initial 0.
CMarkerOrient ReadMarkerOrient(std::string_view text);

// The angle (radians) of a marker at v: fixed, or the bisector of the directions in and out (the one
// there is at an end), reversed for a start marker that asks for it.
double MarkerAngle(const CMarkerOrient& orient, const CMarkerVertex& v, bool isStart);

// What a marker element says about its own placement, its lengths already in user units.
struct CMarkerBox
{
    double refX = 0.0;
    double refY = 0.0;
    double width = 3.0;
    double height = 3.0;
    std::string_view viewBox;
    std::string_view preserveAspectRatio;
    bool userSpaceUnits = false; // markerUnits="userSpaceOnUse"; else scaled by the stroke width
};

// From the marker's contents to the user space of the path: the viewBox into the marker's size, the
// reference point moved onto the vertex, scaled by the stroke width and turned by angle.
CMatrix MarkerMatrix(const CMarkerBox& box, const CMarkerVertex& v, double angle, double strokeWidth);
