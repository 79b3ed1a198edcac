// Instances of symbols (use elements): the symbol's path drawn in place, as outline polylines or
// as one solid hatch. Symbols are never written as blocks.
#include "platform/text.h"
#include "svg/converter.h"

#include <string_view>
#include <utility>
#include <vector>

namespace
{

// Symbol instances are drawn at a little over half the size of their definition.
constexpr double kInstanceScale = 0.55;

bool IsClosepath(char c)
{
    return c == 'z' || c == 'Z';
}

bool IsMoveto(char c)
{
    return c == 'm' || c == 'M';
}

// Whether the path data closes its last subpath: a closepath letter after the last moveto letter.
bool ClosesLastSubpath(std::string_view d)
{
    for (std::size_t i = d.size(); i > 0; --i)
    {
        if (IsMoveto(d[i - 1]))
            return false;
        if (IsClosepath(d[i - 1]))
            return true;
    }
    return false;
}

// Common start of both forms: the symbol's points, all subpaths in one list. False when the use
// names no symbol defined so far.
bool ReadInstance(CConverter& converter, const std::string& href, const std::string& x, const std::string& y,
                  CSymble& symbol, CPointList& points, double& offsetX, double& offsetY)
{
    std::string_view id = orbelin::Trim(href);
    if (id.empty())
        return false;
    if (id.front() == '#')
        id.remove_prefix(1);
    if (!converter.FindSymbol(std::string(id), symbol))
        return false;
    offsetX = orbelin::ReadDouble(x);
    offsetY = orbelin::ReadDouble(y);
    converter.ParsePath(std::string(), symbol.pathData, points, nullptr);
    return true;
}

} // namespace

int CConverter::FindSymbol(const std::string& id, CSymble& symbol) const
{
    for (const CSymble& candidate : m_symbols)
    {
        if (candidate.id == id)
        {
            symbol.id = candidate.id;
            symbol.pathData = candidate.pathData;
            return 1;
        }
    }
    return 0;
}

int CConverter::NextSubpath(const CPointList& points, std::size_t& position, CPointList& out)
{
    out.clear();
    while (position < points.size())
    {
        const CPointData& point = points[position++];
        out.push_back(point);
        if (point.endOfSubpath)
            return 1;
    }
    return out.size() > 1 ? 1 : 0;
}

void CConverter::SplitSubpaths(const CPointList& points, std::vector<CPolylinedata>& loops)
{
    CPolylinedata working;
    for (const CPointData& point : points)
    {
        working.points.push_back(point);
        if (!point.endOfSubpath)
            continue;
        if (point.closed)
        {
            const CPointData first = working.points.front();
            working.points.push_back(first);
            working.closed = 1;
        }
        loops.push_back(std::move(working));
        working = CPolylinedata();
    }
    if (!working.points.empty())
        loops.push_back(std::move(working));
}

void CConverter::WriteUseOutline(const std::string& transform, const std::string& x, const std::string& y,
                                 const std::string& href)
{
    CSymble symbol;
    CPointList points;
    double offsetX = 0.0;
    double offsetY = 0.0;
    if (!ReadInstance(*this, href, x, y, symbol, points, offsetX, offsetY))
        return;

    // While accumulating, the path driver never clears the closepath flag, so the flag alone cannot
    // tell which subpath a closepath belonged to; the last subpath carries no closed mark of its own.
    // It is closed, as the subpath writer would close it, when the flag is set and the closepath
    // stands after the last moveto.
    const bool lastClosed = m_closeSeen != 0 && ClosesLastSubpath(symbol.pathData);

    CMatrix instance;
    ParseTransform(transform, instance);
    instance.a = kInstanceScale;
    instance.d = kInstanceScale;

    const EntityStyle style = OutlineStyle(m_lineType);
    std::size_t position = 0;
    CPointList subpath;
    std::vector<DxfVertex> vertices;
    while (NextSubpath(points, position, subpath))
    {
        if (subpath.size() < 2)
            continue;
        const bool isLast = position == points.size();
        const bool closed = subpath.back().closed != 0 || (isLast && lastClosed);
        if (closed)
            subpath.push_back(subpath.front());

        vertices.clear();
        for (const CPointData& p : subpath)
        {
            double qx = p.x;
            double qy = p.y;
            ApplyMatrix(instance, qx, qy);
            ApplyGroupMatrices(qx, qy);
            // The offset is added once, as for the filled form and the markers: counting the mapped
            // point twice would also count every group translation twice and draw the instance away
            // from where the drawing puts it.
            DxfVertex vertex;
            vertex.x = qx + offsetX;
            vertex.y = m_docHeight - (qy + offsetY);
            vertices.push_back(vertex);
        }
        WriteLwPolyline(vertices, closed ? 1 : 0, style);
        m_closeSeen = 0;
    }
    m_closeSeen = 0;
}

void CConverter::WriteUseFilled(const std::string& /*transform*/, const std::string& x, const std::string& y,
                                const std::string& href)
{
    // The filled form places the symbol at its own coordinates plus the offset: neither the use's
    // transform nor the groups' apply.
    CSymble symbol;
    CPointList points;
    double offsetX = 0.0;
    double offsetY = 0.0;
    const int closeSeenBefore = m_closeSeen;
    if (!ReadInstance(*this, href, x, y, symbol, points, offsetX, offsetY))
        return;
    // A closepath of the symbol must not close the next path drawn after the instance.
    if (!closeSeenBefore)
        m_closeSeen = 0;

    std::vector<CPolylinedata> subpaths;
    SplitSubpaths(points, subpaths);

    // Loops of one or two points enclose nothing; they are left out so the hatch declares exactly the
    // loops it writes.
    std::vector<HatchLoop> loops;
    for (const CPolylinedata& subpath : subpaths)
    {
        const CPointList& p = subpath.points;
        if (p.size() < 3)
            continue;
        HatchLoop loop;
        loop.reserve(p.size());
        const auto edge = [&](const CPointData& from, const CPointData& to)
        {
            loop.push_back(HatchEdge::Line(from.x + offsetX, m_docHeight - (from.y + offsetY), to.x + offsetX,
                                           m_docHeight - (to.y + offsetY)));
        };
        for (std::size_t k = 0; k + 1 < p.size(); ++k)
            edge(p[k], p[k + 1]);
        if (!PointsEqual(p.back(), p.front()))
            edge(p.back(), p.front());
        loops.push_back(std::move(loop));
    }
    // Without a loop no hatch is written (WriteSolidHatch says why).
    WriteSolidHatch(loops, FillStyle());
}
