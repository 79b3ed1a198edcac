#include "svg/exact_markers.h"

#include "geometry/flatten.h"
#include "platform/text.h"
#include "svg/exact_length.h"
#include "svg/exact_transform.h"

#include <charconv>
#include <cmath>

namespace
{

constexpr double kPi = 3.14159265358979323846;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsCommandLetter(char c)
{
    switch (c)
    {
    case 'M':
    case 'm':
    case 'L':
    case 'l':
    case 'H':
    case 'h':
    case 'V':
    case 'v':
    case 'C':
    case 'c':
    case 'S':
    case 's':
    case 'Q':
    case 'q':
    case 'T':
    case 't':
    case 'A':
    case 'a':
    case 'Z':
    case 'z':
        return true;
    default:
        return false;
    }
}

// A flag is one character of its own: "a5 5 0 1150 50" holds the flags 1 and 1.
bool ReadFlag(std::string_view& rest, bool& flag)
{
    std::size_t i = 0;
    while (i < rest.size() && IsBlank(rest[i]))
        ++i;
    if (i < rest.size() && rest[i] == ',')
        for (++i; i < rest.size() && IsBlank(rest[i]);)
            ++i;
    if (i >= rest.size() || (rest[i] != '0' && rest[i] != '1'))
        return false;
    flag = rest[i] == '1';
    rest.remove_prefix(i + 1);
    return true;
}

bool ReadNumbers(std::string_view& rest, double* values, int count)
{
    std::string_view probe = rest;
    for (int i = 0; i < count; ++i)
        if (!ReadSvgNumber(probe, values[i]))
            return false;
    rest = probe;
    return true;
}

// What the next step of path data is, once the blanks before it (gap) are passed: the end, more
// numbers for command (a letter first makes it the command), a closepath, or an error of the grammar
// (numbers with no command to take them, data that does not start with a moveto).
enum class CStepStart
{
    End,
    Numbers,
    Closepath,
    Error
};

CStepStart NextStep(std::string_view& rest, char& command, bool atStart, std::string_view* gap = nullptr)
{
    std::size_t blanks = 0;
    while (blanks < rest.size() && IsBlank(rest[blanks]))
        ++blanks;
    if (gap != nullptr)
        *gap = rest.substr(0, blanks);
    rest.remove_prefix(blanks);
    if (rest.empty())
        return CStepStart::End;
    if (IsCommandLetter(rest.front()))
    {
        command = rest.front();
        rest.remove_prefix(1);
        if (atStart && command != 'M' && command != 'm')
            return CStepStart::Error;
        return command == 'Z' || command == 'z' ? CStepStart::Closepath : CStepStart::Numbers;
    }
    return command == 0 || command == 'Z' || command == 'z' ? CStepStart::Error : CStepStart::Numbers;
}

// The vertices as the path's segments arrive, with the directions they bring.
class CVertexCollector
{
  public:
    explicit CVertexCollector(std::vector<CMarkerVertex>& out) : m_out(out) {}

    void MoveTo(double x, double y)
    {
        CMarkerVertex v;
        v.x = x;
        v.y = y;
        m_out.push_back(v);
        m_subpathFirst = m_out.size() - 1;
        m_x = m_startX = x;
        m_y = m_startY = y;
        m_hasDirection = false;
    }

    // A segment to (x, y) leaving along (sx, sy) and arriving along (ex, ey); a zero tangent takes
    // the chord, and a segment of no length the direction the path already had.
    void SegmentTo(double x, double y, double sx, double sy, double ex, double ey)
    {
        const double chordX = x - m_x;
        const double chordY = y - m_y;
        double leaving = 0.0;
        double arriving = 0.0;
        const bool has =
            Direction(sx, sy, chordX, chordY, leaving) && Direction(ex, ey, chordX, chordY, arriving);
        CMarkerVertex& from = m_out.back();
        if (has)
        {
            from.outAngle = leaving;
            from.hasOut = true;
        }
        CMarkerVertex v;
        v.x = x;
        v.y = y;
        v.inAngle = arriving;
        v.hasIn = has;
        m_out.push_back(v);
        if (has)
        {
            m_direction = arriving;
            m_hasDirection = true;
        }
        m_x = x;
        m_y = y;
    }

    void LineTo(double x, double y) { SegmentTo(x, y, 0.0, 0.0, 0.0, 0.0); }

    // The closing segment back to the subpath's start; that start then has the closing direction
    // coming in, and the closing vertex the first segment's going out.
    void Close()
    {
        const std::size_t first = m_subpathFirst;
        LineTo(m_startX, m_startY);
        CMarkerVertex& closing = m_out.back();
        CMarkerVertex& start = m_out[first];
        start.inAngle = closing.inAngle;
        start.hasIn = closing.hasIn;
        closing.outAngle = start.outAngle;
        closing.hasOut = start.hasOut;
        // A segment after the closepath starts a new subpath at the same point.
        m_subpathFirst = m_out.size() - 1;
    }

    double X() const { return m_x; }
    double Y() const { return m_y; }

  private:
    bool Direction(double dx, double dy, double chordX, double chordY, double& angle) const
    {
        if (dx != 0.0 || dy != 0.0)
            angle = std::atan2(dy, dx);
        else if (chordX != 0.0 || chordY != 0.0)
            angle = std::atan2(chordY, chordX);
        else if (m_hasDirection)
            angle = m_direction;
        else
            return false;
        return true;
    }

    std::vector<CMarkerVertex>& m_out;
    std::size_t m_subpathFirst = 0;
    double m_x = 0.0, m_y = 0.0;
    double m_startX = 0.0, m_startY = 0.0;
    double m_direction = 0.0;
    bool m_hasDirection = false;
};

} // namespace

std::vector<CMarkerVertex> PathVertices(std::string_view d)
{
    std::vector<CMarkerVertex> out;
    CVertexCollector path(out);
    std::string_view rest = d;
    char command = 0;
    // The second control point of the last cubic step and the control point of the last quadratic
    // one, for the smooth steps after them.
    char lastKind = 0;
    double controlX = 0.0;
    double controlY = 0.0;
    for (;;)
    {
        const CStepStart next = NextStep(rest, command, out.empty());
        if (next == CStepStart::End || next == CStepStart::Error)
            break;
        if (next == CStepStart::Closepath)
        {
            path.Close();
            lastKind = 0;
            continue;
        }
        const bool relative = command >= 'a';
        const double ox = relative ? path.X() : 0.0;
        const double oy = relative ? path.Y() : 0.0;
        const double px = path.X();
        const double py = path.Y();
        double v[7] = {};
        char kind = 0;
        // The first control point of a cubic or quadratic step: given (full), the mirror of the last
        // one of its kind, or the current point; returns where the numbers after it start in v.
        const auto firstControl = [&](bool full, char ofKind, double& x1, double& y1)
        {
            if (full)
            {
                x1 = v[0] + ox;
                y1 = v[1] + oy;
                return 2;
            }
            x1 = lastKind == ofKind ? 2.0 * px - controlX : px;
            y1 = lastKind == ofKind ? 2.0 * py - controlY : py;
            return 0;
        };
        switch (command)
        {
        case 'M':
        case 'm':
            if (!ReadNumbers(rest, v, 2))
                return out;
            path.MoveTo(v[0] + (out.empty() ? 0.0 : ox), v[1] + (out.empty() ? 0.0 : oy));
            // Further pairs are lines.
            command = relative ? 'l' : 'L';
            break;
        case 'L':
        case 'l':
            if (!ReadNumbers(rest, v, 2))
                return out;
            path.LineTo(v[0] + ox, v[1] + oy);
            break;
        case 'H':
        case 'h':
            if (!ReadNumbers(rest, v, 1))
                return out;
            path.LineTo(v[0] + ox, py);
            break;
        case 'V':
        case 'v':
            if (!ReadNumbers(rest, v, 1))
                return out;
            path.LineTo(px, v[0] + oy);
            break;
        case 'C':
        case 'c':
        case 'S':
        case 's':
        {
            const bool full = command == 'C' || command == 'c';
            if (!ReadNumbers(rest, v, full ? 6 : 4))
                return out;
            double x1 = 0.0;
            double y1 = 0.0;
            const int i = firstControl(full, 'C', x1, y1);
            const double x2 = v[i] + ox, y2 = v[i + 1] + oy;
            const double x3 = v[i + 2] + ox, y3 = v[i + 3] + oy;
            double sx = x1 - px, sy = y1 - py;
            if (sx == 0.0 && sy == 0.0)
                sx = x2 - px, sy = y2 - py;
            double ex = x3 - x2, ey = y3 - y2;
            if (ex == 0.0 && ey == 0.0)
                ex = x3 - x1, ey = y3 - y1;
            path.SegmentTo(x3, y3, sx, sy, ex, ey);
            controlX = x2;
            controlY = y2;
            kind = 'C';
            break;
        }
        case 'Q':
        case 'q':
        case 'T':
        case 't':
        {
            const bool full = command == 'Q' || command == 'q';
            if (!ReadNumbers(rest, v, full ? 4 : 2))
                return out;
            double x1 = 0.0;
            double y1 = 0.0;
            const int i = firstControl(full, 'Q', x1, y1);
            const double x2 = v[i] + ox, y2 = v[i + 1] + oy;
            path.SegmentTo(x2, y2, x1 - px, y1 - py, x2 - x1, y2 - y1);
            controlX = x1;
            controlY = y1;
            kind = 'Q';
            break;
        }
        case 'A':
        case 'a':
        {
            bool largeArc = false;
            bool sweep = false;
            std::string_view probe = rest;
            // Radii are non-negative numbers: a sign is an error of the path, not a mirror.
            if (!ReadNumbers(probe, v, 3) || v[0] < 0.0 || v[1] < 0.0 || !ReadFlag(probe, largeArc) ||
                !ReadFlag(probe, sweep) || !ReadNumbers(probe, v + 3, 2))
                return out;
            rest = probe;
            ArcEndpoints arc;
            arc.rx = v[0];
            arc.ry = v[1];
            arc.rotation = v[2];
            arc.largeArc = largeArc ? 1 : 0;
            arc.sweep = sweep ? 1 : 0;
            arc.x = v[3] + ox;
            arc.y = v[4] + oy;
            ArcCenterForm centre;
            if (ArcCenter(px, py, arc, centre) != 0)
            {
                path.LineTo(arc.x, arc.y);
                break;
            }
            // The tangent of (rx cos t, ry sin t) turned by the rotation, along the sweep.
            const double phi = arc.rotation * kPi / 180.0;
            const double sign = centre.deltaTheta < 0.0 ? -1.0 : 1.0;
            const auto tangent = [&](double degrees, double& tx, double& ty)
            {
                const double t = degrees * kPi / 180.0;
                const double ux = -centre.rx * std::sin(t) * sign;
                const double uy = centre.ry * std::cos(t) * sign;
                tx = ux * std::cos(phi) - uy * std::sin(phi);
                ty = ux * std::sin(phi) + uy * std::cos(phi);
            };
            double sx = 0.0, sy = 0.0, ex = 0.0, ey = 0.0;
            tangent(centre.theta1, sx, sy);
            tangent(centre.theta1 + centre.deltaTheta, ex, ey);
            path.SegmentTo(arc.x, arc.y, sx, sy, ex, ey);
            break;
        }
        default:
            return out;
        }
        lastKind = kind;
    }
    return out;
}

namespace
{

// The numbers each step takes after its letter; arcs hold two one-character flags among them.
int StepArity(char letter)
{
    // Upper and lower case differ in one bit: the count is the same for both.
    switch (static_cast<char>(letter | 0x20))
    {
    case 'm':
    case 'l':
    case 't':
        return 2;
    case 'h':
    case 'v':
        return 1;
    case 'c':
        return 6;
    case 's':
    case 'q':
        return 4;
    case 'a':
        return 7;
    default:
        return 0;
    }
}

// Whether d is written the way the path reader takes as the grammar does: each number plain
// ([-]digits, a point, digits, a lower-case exponent) and ended by a blank, a comma, a sign or a
// letter, tokens apart by at most one blank or one comma (the reader's closepath handling knows no
// other spacing), no arcs (whose flags it takes as numbers), and no error before the end. Numbers
// are found, not read, and the first step that fails says so.
bool ReadsAsWritten(std::string_view d)
{
    std::string_view rest = d;
    char command = 0;
    bool first = true;
    // Only nothing or one blank stands between tokens; a comma only after a number.
    const auto spacing = [](std::string_view gap, bool commaAllowed)
    { return gap.empty() || gap == " " || (commaAllowed && gap == ","); };
    for (;;)
    {
        const std::string_view before = rest;
        std::string_view gap;
        const CStepStart next = NextStep(rest, command, first, &gap);
        if (next == CStepStart::End)
            return true;
        if (next == CStepStart::Error || command == 'A' || command == 'a')
            return false;
        const bool lettered = rest.data() != gap.data() + gap.size();
        if (lettered && !spacing(gap, false))
            return false;
        if (next == CStepStart::Closepath)
            continue;
        if (!lettered)
            rest = before; // the gap belongs to the first number
        for (int k = StepArity(command); k > 0; --k)
        {
            std::size_t start = 0;
            std::size_t end = 0;
            if (!FindSvgNumber(rest, start, end) || !spacing(rest.substr(0, start), k != StepArity(command)))
                return false;
            const std::string_view text = rest.substr(start, end - start);
            rest.remove_prefix(end);
            if (text.find_first_of("+E") != std::string_view::npos ||
                (!rest.empty() && (rest.front() == '.' || rest.front() == 'e' || rest.front() == 'E')))
                return false;
        }
        first = false;
        if (command == 'M')
            command = 'L';
        else if (command == 'm')
            command = 'l';
    }
}

// d step by step by the grammar, each step with its letter and its numbers between single blanks,
// up to the first error. A number keeps its digits, so that the path reader reads the very value
// the grammar does; only a plus sign goes and an upper-case exponent becomes lower case.
void SpellOutSteps(std::string_view d, std::string& out)
{
    out.reserve(d.size() + d.size() / 8);
    std::string_view rest = d;
    char command = 0;
    const auto letter = [&out](char c)
    {
        if (!out.empty())
            out += ' ';
        out += c;
    };
    // The texts of the step's numbers, found before any is written, as a step in error is not.
    std::string_view texts[7];
    const auto number = [&](int k)
    {
        std::size_t start = 0;
        std::size_t end = 0;
        if (!FindSvgNumber(rest, start, end))
            return false;
        texts[k] = rest.substr(start, end - start);
        rest.remove_prefix(end);
        return true;
    };
    for (;;)
    {
        const CStepStart next = NextStep(rest, command, out.empty());
        if (next == CStepStart::End || next == CStepStart::Error)
            return;
        if (next == CStepStart::Closepath)
        {
            letter(command);
            continue;
        }
        const int arity = StepArity(command);
        const bool arc = command == 'A' || command == 'a';
        bool read = true;
        if (arc)
        {
            bool largeArc = false;
            bool sweep = false;
            double radius[2] = {};
            // Radii are non-negative numbers: a sign is an error of the path, not a mirror.
            read = number(0) && number(1) && number(2) && ReadFlag(rest, largeArc) && ReadFlag(rest, sweep) &&
                   number(5) && number(6);
            for (int k = 0; read && k < 2; ++k)
            {
                std::string_view text = texts[k];
                read = ReadSvgNumber(text, radius[k]) && radius[k] >= 0.0;
            }
            texts[3] = largeArc ? "1" : "0";
            texts[4] = sweep ? "1" : "0";
        }
        else
            for (int k = 0; k < arity && read; ++k)
                read = number(k);
        if (!read)
            return;
        letter(command);
        for (int k = 0; k < arity; ++k)
        {
            out += ' ';
            for (const char c : texts[k])
                if (c != '+')
                    out += c == 'E' ? 'e' : c;
        }
        // Pairs after a moveto are lines.
        if (command == 'M')
            command = 'L';
        else if (command == 'm')
            command = 'l';
    }
}

} // namespace

bool SpellOutPathData(std::string_view d, std::string& spelled)
{
    spelled.clear();
    if (ReadsAsWritten(d))
        return false;
    SpellOutSteps(d, spelled);
    return true;
}

CMarkerOrient ReadMarkerOrient(std::string_view text)
{
    CMarkerOrient orient;
    const std::string_view t = orbelin::Trim(text);
    if (t == "auto")
    {
        orient.kind = CMarkerOrient::Kind::Auto;
        return orient;
    }
    if (t == "auto-start-reverse")
    {
        orient.kind = CMarkerOrient::Kind::AutoStartReverse;
        return orient;
    }
    std::string_view rest = t;
    double value = 0.0;
    if (!ReadSvgNumber(rest, value))
        return orient;
    const std::string_view unit = orbelin::Trim(rest);
    double perUnit = 0.0;
    if (unit.empty() || unit == "deg")
        perUnit = kPi / 180.0;
    else if (unit == "rad")
        perUnit = 1.0;
    else if (unit == "grad")
        perUnit = kPi / 200.0;
    else if (unit == "turn")
        perUnit = 2.0 * kPi;
    orient.angle = std::isfinite(value * perUnit) ? value * perUnit : 0.0;
    return orient;
}

double MarkerAngle(const CMarkerOrient& orient, const CMarkerVertex& v, bool isStart)
{
    if (orient.kind == CMarkerOrient::Kind::Fixed)
        return orient.angle;
    double angle = 0.0;
    if (v.hasIn && v.hasOut)
    {
        const double x = std::cos(v.inAngle) + std::cos(v.outAngle);
        const double y = std::sin(v.inAngle) + std::sin(v.outAngle);
        // A path that turns straight back has no bisector: the marker follows the way in.
        angle = std::hypot(x, y) > 1e-12 ? std::atan2(y, x) : v.inAngle;
    }
    else if (v.hasIn)
        angle = v.inAngle;
    else if (v.hasOut)
        angle = v.outAngle;
    if (isStart && orient.kind == CMarkerOrient::Kind::AutoStartReverse)
        angle += kPi;
    return angle;
}

CMatrix MarkerMatrix(const CMarkerBox& box, const CMarkerVertex& v, double angle, double strokeWidth)
{
    const CMatrix fit = ViewportMatrix(box.viewBox, box.preserveAspectRatio, 0.0, 0.0, box.width, box.height);
    double refX = box.refX;
    double refY = box.refY;
    ApplyMatrix(fit, refX, refY);
    const double scale = box.userSpaceUnits ? 1.0 : strokeWidth;
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    CMatrix place;
    place.a = c * scale;
    place.b = s * scale;
    place.c = -s * scale;
    place.d = c * scale;
    place.e = v.x;
    place.f = v.y;
    CMatrix unref;
    unref.e = -refX;
    unref.f = -refY;
    return Multiply(place, Multiply(unref, fit));
}
