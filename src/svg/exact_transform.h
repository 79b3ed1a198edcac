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

// The image under m of the arc of the ellipse centre (cx, cy), semi-axes rx and ry along x and y, from
// parameter a to b (radians, p(t) = centre + (rx cos t, ry sin t)), in the form a DXF ellipse takes
// after the y flip: the centre and the end of one axis in the user space of the root (y down, as
// WriteEllipseEntity reads them), and the ratio of the other axis (negative where the image is
// mirrored) with the parameter range of that form. An affine image of an ellipse is an ellipse, so
// the arc is exact under any rotation, scale or skew. False when the image has no extent.
struct CEllipseArcImage
{
    double centreX = 0.0, centreY = 0.0;
    double axisEndX = 0.0, axisEndY = 0.0;
    double ratio = 1.0;
    double start = 0.0, end = 0.0;
};
bool EllipseArcImage(const CMatrix& m, double cx, double cy, double rx, double ry, double a, double b,
                     CEllipseArcImage& out);

// The four numbers of a viewBox; false unless there are four and the size is positive.
bool ParseViewBoxNumbers(std::string_view text, double values[4]);
