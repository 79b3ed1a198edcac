// Rectangles: sharp corners as one closed polyline or one four-edge hatch, rounded corners as lines
// and quarter ellipses or one eight-edge hatch. A rectangle is written filled or outlined, never both.
#include "dxf/colour_index.h"
#include "platform/text.h"
#include "svg/converter.h"

#include <vector>

namespace
{

constexpr double kHalfPi = 1.5707963267948966;
constexpr double kPi = 3.141592653589793;
constexpr double kThreeHalfPi = 4.71238898038469;
constexpr double kTwoPi = 6.283185307179586;

struct SvgPoint
{
    double x;
    double y;
};

// One side of a rounded rectangle and the corner that follows it, in SVG coordinates.
struct RoundedCorner
{
    SvgPoint sideFrom;
    SvgPoint sideTo;
    SvgPoint centre;
    SvgPoint axisEnd;
    double ratio;
    double start;
    double end;
};

// The corner quarter of the ellipse with semi-axes rx and ry around centre, major axis horizontal or
// vertical. The ranges are those of the DXF corner (after the y flip) in each orientation.
enum class Corner
{
    LowerLeft,
    LowerRight,
    UpperRight,
    UpperLeft
};

RoundedCorner MakeCorner(SvgPoint from, SvgPoint to, SvgPoint centre, Corner corner, bool vertical, double rx,
                         double ry)
{
    // Parameter ranges per corner; a vertical major axis meets the same quarter a quarter turn earlier.
    static const double kHorizontal[4][2] = {
        {kPi, kThreeHalfPi}, {kThreeHalfPi, kTwoPi}, {0.0, kHalfPi}, {kHalfPi, kPi}};
    static const double kVertical[4][2] = {
        {kHalfPi, kPi}, {kPi, kThreeHalfPi}, {kThreeHalfPi, kTwoPi}, {0.0, kHalfPi}};
    const int index = static_cast<int>(corner);
    if (vertical)
        return {
            from, to, centre, {centre.x, centre.y - ry}, rx / ry, kVertical[index][0], kVertical[index][1]};
    return {
        from, to, centre, {centre.x + rx, centre.y}, ry / rx, kHorizontal[index][0], kHorizontal[index][1]};
}

// The hatch and the polyline of a rectangle share this look: the fill colour with the current line
// type for the hatch, and no line weight of its own.
EntityStyle RectHatchStyle(const CConverter& converter)
{
    EntityStyle style;
    style.color = NearestAci(converter.m_fillRgb);
    style.lineWeight = 0;
    style.lineType = converter.m_lineType.empty() ? std::string("BYLAYER") : converter.m_lineType;
    return style;
}

// Maps the four points of one side and corner: element matrix (when found), then the groups.
RoundedCorner MapCorner(const CConverter& converter, const CMatrix* element, RoundedCorner c)
{
    converter.MapPoint(element, c.sideFrom.x, c.sideFrom.y);
    converter.MapPoint(element, c.sideTo.x, c.sideTo.y);
    converter.MapPoint(element, c.centre.x, c.centre.y);
    converter.MapPoint(element, c.axisEnd.x, c.axisEnd.y);
    return c;
}

// Outline form: the side as a line, the corner as an elliptical arc.
void WriteRoundedRectSide(CConverter& converter, const CMatrix* element, const RoundedCorner& corner)
{
    const RoundedCorner c = MapCorner(converter, element, corner);
    converter.WriteLineEntity(c.sideFrom.x, c.sideFrom.y, c.sideTo.x, c.sideTo.y);
    converter.WriteEllipseEntity(c.centre.x, c.centre.y, c.axisEnd.x, c.axisEnd.y, c.ratio, c.start, c.end);
}

// Hatch form: the side as a line edge and the corner as an elliptical-arc edge of the open loop.
// False when the corner has no form a CAD program accepts.
bool AddRoundedRectEdges(const CConverter& converter, const CMatrix* element, const RoundedCorner& corner,
                         HatchLoop& loop)
{
    const RoundedCorner c = MapCorner(converter, element, corner);
    const double h = converter.m_docHeight;
    double majorX = c.axisEnd.x - c.centre.x;
    double majorY = c.centre.y - c.axisEnd.y;
    double ratio = c.ratio;
    double start = c.start;
    double end = c.end;
    if (!CConverter::NormalizeEllipseArc(majorX, majorY, ratio, start, end))
        return false;
    loop.push_back(HatchEdge::Line(c.sideFrom.x, h - c.sideFrom.y, c.sideTo.x, h - c.sideTo.y));
    loop.push_back(HatchEdge::EllipseArc(c.centre.x, h - c.centre.y, majorX, majorY, ratio, start, end));
    return true;
}

} // namespace

void CConverter::WriteRectElement(const std::string& transform, const std::string& x, const std::string& y,
                                  const std::string& width, const std::string& height, int fill,
                                  const std::string& rx, const std::string& ry)
{
    if (m_fillOption == 0)
        fill = 0;
    const double left = orbelin::ReadDouble(x);
    const double top = orbelin::ReadDouble(y);
    const double w = orbelin::ReadDouble(width);
    const double h = orbelin::ReadDouble(height);
    const double radiusX = orbelin::ReadDouble(rx);
    const double radiusY = orbelin::ReadDouble(ry);
    // One radius alone does not round the corners.
    if (radiusX != 0.0 && radiusY != 0.0)
    {
        WriteRoundedRect(transform, x, y, width, height, fill, radiusX, radiusY);
        return;
    }

    CMatrix matrix;
    const CMatrix* element = ParseTransform(transform, matrix) ? &matrix : nullptr;
    SvgPoint corners[4] = {{left, top}, {left + w, top}, {left + w, top + h}, {left, top + h}};
    for (SvgPoint& p : corners)
    {
        MapPoint(element, p.x, p.y);
        p.y = m_docHeight - p.y;
    }

    if (fill)
    {
        HatchLoop loop;
        for (int i = 0; i < 4; ++i)
        {
            const SvgPoint& from = corners[i];
            const SvgPoint& to = corners[(i + 1) % 4];
            loop.push_back(HatchEdge::Line(from.x, from.y, to.x, to.y));
        }
        WriteSolidHatch({loop}, RectHatchStyle(*this));
        return;
    }

    std::vector<DxfVertex> vertices(4);
    for (int i = 0; i < 4; ++i)
    {
        vertices[i].x = corners[i].x;
        vertices[i].y = corners[i].y;
    }
    WriteLwPolyline(vertices, 1, OutlineStyle(m_lineType));
}

void CConverter::WriteRoundedRect(const std::string& transform, const std::string& x, const std::string& y,
                                  const std::string& width, const std::string& height, int fill, double rx,
                                  double ry)
{
    const double x1 = orbelin::ReadDouble(x);
    const double y1 = orbelin::ReadDouble(y);
    const double x2 = x1 + orbelin::ReadDouble(width);
    const double y2 = y1 + orbelin::ReadDouble(height);
    const double box[6] = {x1, y1, x2, y2, rx, ry};
    const EntityStyle fillStyle = RectHatchStyle(*this);
    const EntityStyle outlineStyle = OutlineStyle(m_lineType);
    if (m_curveWriting->RoundedRect(*this, transform, box, fill ? nullptr : &outlineStyle,
                                    fill ? &fillStyle : nullptr))
        return;
    CMatrix matrix;
    const CMatrix* element = ParseTransform(transform, matrix) ? &matrix : nullptr;

    // Radii beyond half the size are kept: the corners then overlap, as the drawing asked.
    if (fill)
    {
        // Equal radii take the horizontal axis here and the vertical one in the outline; both are
        // the same circle quarter.
        const bool vertical = rx < ry;
        const RoundedCorner corners[4] = {
            MakeCorner({x1, y1 + ry}, {x1, y2 - ry}, {x1 + rx, y2 - ry}, Corner::LowerLeft, vertical, rx, ry),
            MakeCorner({x1 + rx, y2}, {x2 - rx, y2}, {x2 - rx, y2 - ry}, Corner::LowerRight, vertical, rx,
                       ry),
            MakeCorner({x2, y2 - ry}, {x2, y1 + ry}, {x2 - rx, y1 + ry}, Corner::UpperRight, vertical, rx,
                       ry),
            MakeCorner({x2 - rx, y1}, {x1 + rx, y1}, {x1 + rx, y1 + ry}, Corner::UpperLeft, vertical, rx,
                       ry)};
        HatchLoop loop;
        for (const RoundedCorner& corner : corners)
            if (!AddRoundedRectEdges(*this, element, corner, loop))
                return;
        WriteSolidHatch({loop}, RectHatchStyle(*this));
        return;
    }

    const bool vertical = rx <= ry;
    const RoundedCorner corners[4] = {
        MakeCorner({x1 + rx, y1}, {x2 - rx, y1}, {x2 - rx, y1 + ry}, Corner::UpperRight, vertical, rx, ry),
        MakeCorner({x2, y1 + ry}, {x2, y2 - ry}, {x2 - rx, y2 - ry}, Corner::LowerRight, vertical, rx, ry),
        MakeCorner({x2 - rx, y2}, {x1 + rx, y2}, {x1 + rx, y2 - ry}, Corner::LowerLeft, vertical, rx, ry),
        MakeCorner({x1, y2 - ry}, {x1, y1 + ry}, {x1 + rx, y1 + ry}, Corner::UpperLeft, vertical, rx, ry)};
    for (const RoundedCorner& corner : corners)
        WriteRoundedRectSide(*this, element, corner);
}
