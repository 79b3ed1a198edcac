// The fill rules of filled shapes. A DXF solid hatch fills by parity: a point is inside when an odd
// number of its loops surround it, which is SVG's evenodd rule. Under nonzero, SVG's initial rule, a
// loop adds its direction to the winding of the loops around it, so a hole drawn the same way round
// as its outline is filled after all.
#pragma once

#include "geometry/records.h"

#include <vector>

enum class CFillRule
{
    EvenOdd,
    NonZero
};

// Of loops that do not cross one another (points in one frame, each loop closed back to its first
// point), the ones that bound what the nonzero rule fills: where the winding number changes between
// zero and not zero. Parity over the kept loops then fills what nonzero does. One flag per loop.
std::vector<bool> NonZeroBoundaries(const std::vector<const CPointList*>& loops);
