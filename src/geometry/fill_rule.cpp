#include "geometry/fill_rule.h"

#include <algorithm>
#include <cstddef>
#include <numeric>

namespace
{

struct CLoopBox
{
    double minX, minY, maxX, maxY;
};

CLoopBox BoxOf(const CPointList& points)
{
    CLoopBox box{points.front().x, points.front().y, points.front().x, points.front().y};
    for (const CPointData& p : points)
    {
        box.minX = std::min(box.minX, p.x);
        box.minY = std::min(box.minY, p.y);
        box.maxX = std::max(box.maxX, p.x);
        box.maxY = std::max(box.maxY, p.y);
    }
    return box;
}

// +1 anticlockwise, -1 clockwise (in a frame whose y goes up), 0 without area.
int DirectionOf(const CPointList& points)
{
    double twiceArea = 0.0;
    const std::size_t n = points.size();
    for (std::size_t i = 0; i < n; ++i)
    {
        const CPointData& a = points[i];
        const CPointData& b = points[(i + 1) % n];
        twiceArea += a.x * b.y - b.x * a.y;
    }
    return twiceArea > 0.0 ? 1 : twiceArea < 0.0 ? -1 : 0;
}

// Crossing test of a horizontal ray from (x, y).
bool Surrounds(const CPointList& loop, double x, double y)
{
    bool inside = false;
    const std::size_t n = loop.size();
    for (std::size_t i = 0, j = n - 1; i < n; j = i++)
    {
        const CPointData& a = loop[i];
        const CPointData& b = loop[j];
        if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x)
            inside = !inside;
    }
    return inside;
}

// Whether outer surrounds inner, for loops that do not cross: by the most of a few points of inner
// (the middles of edges spread along it), since loops that touch share a point or an edge with
// each other, and a point on outer's boundary may read either way.
bool Holds(const CPointList& outer, const CPointList& inner)
{
    constexpr std::size_t kProbes = 7;
    const std::size_t n = inner.size();
    const std::size_t probes = std::min(n, kProbes);
    std::size_t inside = 0;
    for (std::size_t k = 0; k < probes; ++k)
    {
        const std::size_t i = k * n / probes;
        const CPointData& a = inner[i];
        const CPointData& b = inner[(i + 1) % n];
        inside += Surrounds(outer, (a.x + b.x) / 2.0, (a.y + b.y) / 2.0) ? 1 : 0;
    }
    return 2 * inside > probes;
}

bool BoxHolds(const CLoopBox& outer, const CLoopBox& inner)
{
    return outer.minX <= inner.minX && outer.minY <= inner.minY && outer.maxX >= inner.maxX &&
           outer.maxY >= inner.maxY;
}

} // namespace

std::vector<bool> NonZeroBoundaries(const std::vector<const CPointList*>& loops)
{
    const std::size_t n = loops.size();
    std::vector<bool> keep(n, true);
    if (n < 2)
        return keep;
    std::vector<CLoopBox> boxes(n);
    std::vector<int> directions(n, 0);
    for (std::size_t i = 0; i < n; ++i)
    {
        if (loops[i]->empty())
            continue;
        boxes[i] = BoxOf(*loops[i]);
        directions[i] = DirectionOf(*loops[i]);
    }
    // A sweep from left to right: only loops whose boxes reach the next loop's left edge can hold it,
    // so subpaths side by side cost no comparison of every pair.
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    // Of boxes with the same left edge the wider comes first, as it may hold the other.
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b)
                     {
                         if (boxes[a].minX != boxes[b].minX)
                             return boxes[a].minX < boxes[b].minX;
                         return boxes[a].maxX > boxes[b].maxX;
                     });
    std::vector<int> windingInside(n, 0);
    std::vector<std::size_t> open;
    for (const std::size_t i : order)
    {
        if (loops[i]->empty())
            continue;
        const CLoopBox& box = boxes[i];
        open.erase(
            std::remove_if(open.begin(), open.end(), [&](std::size_t k) { return boxes[k].maxX < box.minX; }),
            open.end());
        int winding = directions[i];
        for (const std::size_t k : open)
            if (BoxHolds(boxes[k], box) && Holds(*loops[k], *loops[i]))
                winding += directions[k];
        windingInside[i] = winding;
        open.push_back(i);
    }
    for (std::size_t i = 0; i < n; ++i)
    {
        // A loop whose area cancels out (a figure of eight) has no one direction: it stays as
        // parity draws it.
        if (directions[i] == 0)
            continue;
        const int inside = windingInside[i];
        const int outside = inside - directions[i];
        keep[i] = (inside != 0) != (outside != 0);
    }
    return keep;
}
