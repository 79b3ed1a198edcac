#include "svg/exact_transform.h"

#include "platform/text.h"
#include "svg/exact_length.h"

#include <cmath>
#include <string>

namespace
{

constexpr double kPi = 3.14159265358979323846;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

void SkipSeparators(std::string_view& rest)
{
    std::size_t i = 0;
    while (i < rest.size() && (IsBlank(rest[i]) || rest[i] == ','))
        ++i;
    rest.remove_prefix(i);
}

void SkipBlanks(std::string_view& rest)
{
    std::size_t i = 0;
    while (i < rest.size() && IsBlank(rest[i]))
        ++i;
    rest.remove_prefix(i);
}

CMatrix Make(double a, double b, double c, double d, double e, double f)
{
    CMatrix m;
    m.a = a;
    m.b = b;
    m.c = c;
    m.d = d;
    m.e = e;
    m.f = f;
    return m;
}

// One function's matrix from its name and arguments; false for an unknown name or a count that
// the function does not take.
bool FunctionMatrix(std::string_view name, const double* v, int count, CMatrix& out)
{
    if (name == "matrix" && count == 6)
        out = Make(v[0], v[1], v[2], v[3], v[4], v[5]);
    else if (name == "translate" && (count == 1 || count == 2))
        out = Make(1, 0, 0, 1, v[0], count == 2 ? v[1] : 0.0);
    else if (name == "scale" && (count == 1 || count == 2))
        out = Make(v[0], 0, 0, count == 2 ? v[1] : v[0], 0, 0);
    else if (name == "rotate" && (count == 1 || count == 3))
    {
        const double r = v[0] * kPi / 180.0;
        const double cs = std::cos(r);
        const double sn = std::sin(r);
        out = Make(cs, sn, -sn, cs, 0, 0);
        if (count == 3)
            out = Multiply(Make(1, 0, 0, 1, v[1], v[2]), Multiply(out, Make(1, 0, 0, 1, -v[1], -v[2])));
    }
    else if (name == "skewX" && count == 1)
        out = Make(1, 0, std::tan(v[0] * kPi / 180.0), 1, 0, 0);
    else if (name == "skewY" && count == 1)
        out = Make(1, std::tan(v[0] * kPi / 180.0), 0, 1, 0, 0);
    else
        return false;
    return true;
}

} // namespace

CMatrix Multiply(const CMatrix& l, const CMatrix& r)
{
    return Make(l.a * r.a + l.c * r.b, l.b * r.a + l.d * r.b, l.a * r.c + l.c * r.d, l.b * r.c + l.d * r.d,
                l.a * r.e + l.c * r.f + l.e, l.b * r.e + l.d * r.f + l.f);
}

bool ParseTransformList(std::string_view text, CMatrix& out)
{
    out = CMatrix();
    CMatrix result;
    std::string_view rest = text;
    SkipSeparators(rest);
    while (!rest.empty())
    {
        std::size_t nameEnd = 0;
        while (nameEnd < rest.size() && ((rest[nameEnd] >= 'a' && rest[nameEnd] <= 'z') ||
                                         (rest[nameEnd] >= 'A' && rest[nameEnd] <= 'Z')))
            ++nameEnd;
        const std::string_view name = rest.substr(0, nameEnd);
        rest.remove_prefix(nameEnd);
        SkipBlanks(rest);
        if (name.empty() || rest.empty() || rest.front() != '(')
            return false;
        rest.remove_prefix(1);
        double values[6] = {};
        int count = 0;
        double value = 0.0;
        SkipBlanks(rest);
        while (count < 7 && ReadSvgNumber(rest, value))
        {
            if (count < 6)
                values[count] = value;
            ++count;
        }
        SkipBlanks(rest);
        if (rest.empty() || rest.front() != ')')
            return false;
        rest.remove_prefix(1);
        CMatrix step;
        if (!FunctionMatrix(name, values, count, step))
            return false;
        result = Multiply(result, step);
        SkipSeparators(rest);
    }
    out = result;
    return true;
}

bool ParseViewBoxNumbers(std::string_view text, double values[4])
{
    std::string_view rest = text;
    for (int i = 0; i < 4; ++i)
        if (!ReadSvgNumber(rest, values[i]))
            return false;
    return values[2] > 0.0 && values[3] > 0.0;
}

bool EllipseArcImage(const CMatrix& m, double cx, double cy, double rx, double ry, double a, double b,
                     CEllipseArcImage& out)
{
    // The images of the two semi-axes are conjugate diameters; the parameter t0 turns them into the
    // perpendicular pair, the image's own axes.
    const double ux = m.a * rx, uy = m.b * rx;
    const double vx = m.c * ry, vy = m.d * ry;
    const double t0 = 0.5 * std::atan2(2.0 * (ux * vx + uy * vy), (ux * ux + uy * uy) - (vx * vx + vy * vy));
    const double c = std::cos(t0), s = std::sin(t0);
    const double majorX = ux * c + vx * s, majorY = uy * c + vy * s;
    const double minorX = -ux * s + vx * c, minorY = -uy * s + vy * c;
    const double major = std::hypot(majorX, majorY);
    const double minor = std::hypot(minorX, minorY);
    if (!(major > 0.0) || !(minor > 0.0) || !std::isfinite(major) || !std::isfinite(minor))
        return false;
    out.centreX = cx;
    out.centreY = cy;
    ApplyMatrix(m, out.centreX, out.centreY);
    out.axisEndX = out.centreX + majorX;
    out.axisEndY = out.centreY + majorY;
    // After the y flip the minor axis runs a quarter turn anticlockwise of the major one, or the
    // other way: then the curve is the mirror image, which a negative ratio stands for.
    const bool mirrored = minorX * majorY - minorY * majorX < 0.0;
    out.ratio = (mirrored ? -minor : minor) / major;
    out.start = a - t0;
    out.end = b - t0;
    return true;
}

CMatrix ViewportMatrix(std::string_view viewBox, std::string_view preserveAspectRatio, double x, double y,
                       double width, double height)
{
    const CMatrix move = Make(1, 0, 0, 1, x, y);
    double box[4] = {};
    if (!ParseViewBoxNumbers(viewBox, box) || width <= 0.0 || height <= 0.0)
        return move;
    double sx = width / box[2];
    double sy = height / box[3];
    std::string_view align = orbelin::Trim(preserveAspectRatio);
    if (align.substr(0, 5) == "defer")
        align = orbelin::Trim(align.substr(5));
    const bool none = align.substr(0, 4) == "none";
    const bool slice = align.find("slice") != std::string_view::npos;
    // xMidYMid meet unless said otherwise.
    int alignX = 1;
    int alignY = 1;
    if (!none && align.size() >= 8 && align[0] == 'x')
    {
        const std::string_view xPart = align.substr(1, 3);
        const std::string_view yPart = align.substr(5, 3);
        alignX = xPart == "Min" ? 0 : xPart == "Max" ? 2 : 1;
        alignY = yPart == "Min" ? 0 : yPart == "Max" ? 2 : 1;
    }
    double tx = x - box[0] * sx;
    double ty = y - box[1] * sy;
    if (!none)
    {
        const double s = slice ? std::max(sx, sy) : std::min(sx, sy);
        sx = sy = s;
        tx = x - box[0] * s + (width - box[2] * s) * alignX / 2.0;
        ty = y - box[1] * s + (height - box[3] * s) * alignY / 2.0;
    }
    return Make(sx, 0, 0, sy, tx, ty);
}
