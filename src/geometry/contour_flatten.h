// Closed outlines (glyphs, for one) written with their curves flattened: each contour a closed
// light-weight polyline, and a filled set of contours one solid hatch of line edges. The points
// are DXF coordinates in user units; the document applies the output unit.
#pragma once

#include "dxf/document.h"
#include "geometry/contour.h"
#include "geometry/records.h"

#include <vector>

// The contour's points: its start, then each segment's points after its start, curves by
// FlattenQuadratic and FlattenCubic; a point that repeats the one before it is left out, and so is
// a last point that repeats the start of a closed contour.
void FlattenContour(const CContour& contour, CPointList& points);

// One closed polyline per contour of at least two distinct points; the count written.
int WriteFlattenedContours(CDxfDocument& document, const std::vector<CContour>& contours,
                           const EntityStyle& style);

// One solid hatch whose loops are the contours: nested contours are holes, as the hatch is read
// by odd parity. False when nothing was written (no loop, or a number not writable).
bool WriteFlattenedContourHatch(CDxfDocument& document, const std::vector<CContour>& contours,
                                const EntityStyle& style);
