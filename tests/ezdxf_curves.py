#!/usr/bin/env python3
"""Prints the defining numbers of a DXF file's curves as ezdxf reads them, one entity a line:

    SPLINE degree knot... x y...
    LWPOLYLINE closed x y bulge...
    ELLIPSE cx cy mx my ratio start end
    HATCH then one line per edge: EDGE kind numbers...

Numbers are printed exactly (Python's shortest round-trip form). Exits 77 when ezdxf is missing.
"""

import sys


def main(path):
    try:
        import ezdxf
    except ImportError:
        print("ezdxf is not installed")
        return 77
    doc = ezdxf.readfile(path)
    for entity in doc.modelspace():
        kind = entity.dxftype()
        if kind == "SPLINE":
            numbers = [entity.dxf.degree] + list(entity.knots)
            numbers += [c for p in entity.control_points for c in (p[0], p[1])]
        elif kind == "LWPOLYLINE":
            numbers = [int(entity.closed)]
            numbers += [c for (x, y, b) in entity.get_points("xyb") for c in (x, y, b)]
        elif kind == "ELLIPSE":
            d = entity.dxf
            numbers = [d.center.x, d.center.y, d.major_axis.x, d.major_axis.y, d.ratio, d.start_param, d.end_param]
        elif kind == "HATCH":
            print(kind)
            for boundary in entity.paths:
                for edge in boundary.edges:
                    name = type(edge).__name__
                    if name == "LineEdge":
                        values = [edge.start[0], edge.start[1], edge.end[0], edge.end[1]]
                    elif name == "ArcEdge":
                        values = [edge.center[0], edge.center[1], edge.radius, edge.start_angle, edge.end_angle,
                                  int(edge.ccw)]
                    elif name == "EllipseEdge":
                        values = [edge.center[0], edge.center[1], edge.major_axis[0], edge.major_axis[1],
                                  edge.ratio, edge.start_angle, edge.end_angle, int(edge.ccw)]
                    else:
                        values = [edge.degree] + list(edge.knot_values)
                        values += [c for p in edge.control_points for c in (p[0], p[1])]
                    print("EDGE", name, " ".join(repr(float(v)) for v in values))
            continue
        else:
            numbers = []
        print(kind, " ".join(repr(float(v)) for v in numbers))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
