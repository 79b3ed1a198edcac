// Transform lists and viewports as the SVG grammar writes them, for the exact reading.
#pragma once

#include "geometry/transform.h"

#include <string_view>

// l applied after r: a point goes through r first.
CMatrix Multiply(const CMatrix& l, const CMatrix& r);

// The whole list (matrix, translate, scale, rotate with an optional centre, skewX, skewY), composed
// left to right. False for a malformed list, which then counts as no transform at all (out is the
// identity), as browsers read it.
bool ParseTransformList(std::string_view text, CMatrix& out);

// The viewBox and preserveAspectRatio of a viewport at (x, y) of size (width, height): the matrix
// from the viewBox's units to the units the viewport is placed in. Without a usable viewBox only
// the move to (x, y).
CMatrix ViewportMatrix(std::string_view viewBox, std::string_view preserveAspectRatio, double x, double y,
                       double width, double height);

// The four numbers of a viewBox; false unless there are four and the size is positive.
bool ParseViewBoxNumbers(std::string_view text, double values[4]);
