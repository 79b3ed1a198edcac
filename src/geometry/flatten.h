// Curves of path data turned into points: cubic and quadratic Bézier curves and elliptical arcs.
#pragma once

#include "geometry/records.h"

// Deeper cubic subdivision than this appends the piece as flat. Finite drawings never get near
// it (a piece halves 2^18 times is far below the flatness tolerance); it ends non-finite input.
constexpr int kMaxCubicDepth = 18;

void FlattenCubic(double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3,
                  CPointList& points);
void FlattenQuadratic(double x0, double y0, double x1, double y1, double x2, double y2, CPointList& points);

struct ArcEndpoints
{
    double rx = 0, ry = 0;
    double rotation = 0; // degrees
    int largeArc = 0, sweep = 0;
    double x = 0, y = 0; // end point
};

struct ArcCenterForm
{
    double cx = 0, cy = 0;
    double rx = 0, ry = 0;
    double theta1 = 0, deltaTheta = 0; // degrees
};

// 0 on success; 1 end equals start, 2 a zero radius, 3 degenerate.
int ArcCenter(double x1, double y1, const ArcEndpoints& arc, ArcCenterForm& centre);
void ArcPoints(double x1, double y1, const ArcEndpoints& arc, CPointList& points);
void FlattenArc(double x1, double y1, const ArcEndpoints& arc, CPointList& points);
