// Path data to points: the commands of a path turned into the points of its subpaths, curves and
// arcs flattened, each subpath handed on as the moveto after it begins the next one.
#include "geometry/flatten.h"
#include "geometry/path_geometry.h"
#include "platform/text.h"

#include <string>
#include <string_view>

namespace
{

// A stroked subpath of this many points is read in two passes (see PassSubpathFront): a point
// takes 24 bytes and its vertex 40, so one polyline of millions of them would take more memory
// than the rest of the conversion.
constexpr std::size_t kLongSubpath = 1 << 16;

bool IsOneOf(const std::string& command, const char* letters)
{
    return command.size() == 1 && std::string_view(letters).find(command[0]) != std::string_view::npos;
}

void AppendPoint(CPointList& points, double x, double y)
{
    CPointData p;
    p.x = x;
    p.y = y;
    points.push_back(p);
}

} // namespace

int CPathGeometry::CubicStep(char letter, std::string_view args, double px, double py, double ox, double oy,
                             double controls[6])
{
    double values[6] = {};
    if (letter == 'C' || letter == 'c')
    {
        if (ReadNumbers6(args, values) == 0)
            return -1;
        for (int i = 0; i < 6; i += 2)
        {
            controls[i] = values[i] + ox;
            controls[i + 1] = values[i + 1] + oy;
        }
        return 1;
    }
    if (ReadNumbers4(args, values) == 0)
        return 0;
    controls[2] = values[0] + ox;
    controls[3] = values[1] + oy;
    controls[4] = values[2] + ox;
    controls[5] = values[3] + oy;
    if (IsOneOf(m_lastCommand, "SsCc"))
    {
        controls[0] = 2.0 * px - m_lastControlX;
        controls[1] = 2.0 * py - m_lastControlY;
    }
    else if (m_pathGrammar == CPathGrammar::ByGrammar)
    {
        controls[0] = px;
        controls[1] = py;
    }
    else
    {
        controls[0] = controls[2];
        controls[1] = controls[3];
    }
    return 1;
}

bool CPathGeometry::QuadraticStep(char letter, std::string_view args, double px, double py, double ox,
                                  double oy, double controls[4])
{
    if (letter == 'Q' || letter == 'q')
    {
        double values[4] = {};
        if (ReadNumbers4(args, values) == 0)
            return false;
        controls[0] = values[0] + ox;
        controls[1] = values[1] + oy;
        controls[2] = values[2] + ox;
        controls[3] = values[3] + oy;
        return true;
    }
    double x = 0.0;
    double y = 0.0;
    ReadNumberPair(args, x, y);
    const bool follows = IsOneOf(m_lastCommand, "QqTt");
    if (!follows && m_pathGrammar != CPathGrammar::ByGrammar)
        return false;
    controls[0] = follows ? 2.0 * px - m_lastControlX : px;
    controls[1] = follows ? 2.0 * py - m_lastControlY : py;
    controls[2] = x + ox;
    controls[3] = y + oy;
    return true;
}

bool CPathGeometry::ArcStep(std::string_view args, double ox, double oy, ArcEndpoints& arc)
{
    double rx = 0.0;
    double ry = 0.0;
    double rotation = 0.0;
    int largeArc = 0;
    int sweep = 0;
    double x = 0.0;
    double y = 0.0;
    if (ReadArcArgs(args, rx, ry, rotation, largeArc, sweep, x, y) == 0 ||
        (m_pathGrammar == CPathGrammar::ByGrammar && (rx < 0.0 || ry < 0.0)))
        return false;
    arc.rx = rx;
    arc.ry = ry;
    arc.rotation = rotation;
    arc.largeArc = largeArc >= 1 ? 1 : 0;
    arc.sweep = sweep >= 1 ? 1 : 0;
    arc.x = x + ox;
    arc.y = y + oy;
    return true;
}

void CPathGeometry::ParsePath(const std::string& transform, std::string_view d, CPointList& points,
                              CSubpathSink* sink)
{
    double px = 0.0;
    double py = 0.0;
    // Index of the running subpath's first point. In accumulate mode, and when a fill loop left a lone
    // point behind, the list also holds earlier points; a relative moveto after a closepath must start
    // from this subpath's own start, not from the first point of the list.
    std::size_t subpathStart = 0;

    std::string_view data = d;
    std::string_view args;
    std::string token;
    std::string command;
    std::size_t remaining = data.size();
    // A stroked subpath may be too long to keep as points: it is then read again from its moveto,
    // which this records, first to count its vertices and then to write them (PassSubpathFront).
    const bool passesLongSubpaths = sink != nullptr && sink->StreamsLongSubpaths();
    struct CSubpathStart
    {
        bool taken = false;
        std::string_view data;
        double px = 0.0;
        double py = 0.0;
        CPointData point;
        std::string lastCommand;
        double lastControlX = 0.0;
        double lastControlY = 0.0;
        int closeSeen = 0;
        int closeLeading = 0;
    } start;
    // Back to just after the moveto of the running subpath.
    const auto restart = [&]
    {
        data = start.data;
        remaining = data.size();
        px = start.px;
        py = start.py;
        points.assign(1, start.point);
        subpathStart = 0;
        m_lastCommand = start.lastCommand;
        m_lastControlX = start.lastControlX;
        m_lastControlY = start.lastControlY;
        m_closeSeen = start.closeSeen;
        m_closeLeading = start.closeLeading;
    };
    // The counting pass ends with the subpath: the second pass starts.
    const auto countingEnds = [&](int closed)
    {
        CLongSubpath& running = m_longSubpath;
        running.total = running.passed + points.size();
        running.writable = running.writable && SubpathWritable(points, 0, points.size(), transform);
        running.closed = closed;
        running.passed = 0;
        running.pass = CLongSubpath::Pass::Writing;
        restart();
    };
    for (;;)
    {
        while (NextPathCommand(args, token, data) != 0)
        {
            // The parser consumes data for every step; should it ever fail to, stop rather than spin.
            const bool advanced = data.size() < remaining;
            remaining = data.size();
            const std::string_view trimmed = orbelin::Trim(token);
            if (trimmed.empty())
            {
                // A blank token carries more numbers for the previous command; after a moveto they are lines.
                if (orbelin::IsSingle(m_lastCommand, 'M'))
                {
                    command = "L";
                }
                else if (orbelin::IsSingle(m_lastCommand, 'm'))
                {
                    command = "l";
                }
                else
                {
                    command = m_lastCommand;
                }
            }
            else if (trimmed.size() == 1)
            {
                command.resize(1);
                command[0] = trimmed[0];
            }
            else
            {
                command.assign(trimmed.data(), trimmed.size());
            }

            const char letter = command.size() == 1 ? command[0] : '\0';
            const bool relative = letter >= 'a' && letter <= 'z';
            const double ox = relative ? px : 0.0;
            const double oy = relative ? py : 0.0;
            const bool afterMoveto =
                orbelin::IsSingle(m_lastCommand, 'M') || orbelin::IsSingle(m_lastCommand, 'm');
            bool endPath = false;

            if ((letter == 'M' || letter == 'm') && m_longSubpath.pass == CLongSubpath::Pass::Counting)
            {
                // As the marks below would make it, for the subpath writer.
                countingEnds(m_closeSeen != 0 || m_closeLeading != 0 ||
                             (!points.empty() && points.back().closed != 0));
                continue;
            }

            switch (letter)
            {
            case 'M':
            case 'm':
            {
                if (!points.empty())
                {
                    CPointData& last = points.back();
                    last.endOfSubpath = 1;
                    if (m_closeSeen != 0 || m_closeLeading != 0)
                    {
                        last.closed = 1;
                    }
                }
                m_closeLeading = 0;
                double baseX = px;
                double baseY = py;
                // The front of a long subpath, its moveto among it, has left the list.
                if (letter == 'm' && m_closeSeen != 0 && m_longSubpath.passed > 0)
                {
                    baseX = start.point.x;
                    baseY = start.point.y;
                }
                else if (letter == 'm' && m_closeSeen != 0 && subpathStart < points.size())
                {
                    baseX = points[subpathStart].x;
                    baseY = points[subpathStart].y;
                }
                if (sink != nullptr)
                {
                    sink->TakeSubpath(points, transform);
                }
                else
                {
                    // Only the subpath writer clears the closepath flag. Where the subpath stays in the
                    // list the closed mark now carries it; left set, it would close every later subpath
                    // of a symbol and make every later relative moveto start from its subpath's start.
                    m_closeSeen = 0;
                }
                double x = 0.0;
                double y = 0.0;
                ReadNumberPair(args, x, y);
                if (letter == 'm')
                {
                    x += baseX;
                    y += baseY;
                }
                subpathStart = points.size();
                AppendPoint(points, x, y);
                px = x;
                py = y;
                break;
            }
            case 'L':
            case 'l':
            {
                double x = 0.0;
                double y = 0.0;
                ReadNumberPair(args, x, y);
                px = x + ox;
                py = y + oy;
                AppendPoint(points, px, py);
                break;
            }
            case 'H':
            case 'h':
                px = orbelin::ReadDouble(args) + ox;
                AppendPoint(points, px, py);
                break;
            case 'V':
            case 'v':
                py = orbelin::ReadDouble(args) + oy;
                AppendPoint(points, px, py);
                break;
            case 'C':
            case 'c':
            case 'S':
            case 's':
            {
                double c[6] = {};
                const int read = CubicStep(letter, args, px, py, ox, oy, c);
                if (read < 0)
                {
                    endPath = true;
                    break;
                }
                if (read == 0)
                    break;
                const double x1 = c[0];
                const double y1 = c[1];
                const double x2 = c[2];
                const double y2 = c[3];
                const double x3 = c[4];
                const double y3 = c[5];
                // The flattener starts the curve with the current point, which the moveto already appended.
                if (afterMoveto && !points.empty())
                {
                    points.pop_back();
                }
                FlattenCubic(px, py, x1, y1, x2, y2, x3, y3, points);
                m_lastControlX = x2;
                m_lastControlY = y2;
                px = x3;
                py = y3;
                break;
            }
            case 'Q':
            case 'q':
            case 'T':
            case 't':
            {
                double c[4] = {};
                if (!QuadraticStep(letter, args, px, py, ox, oy, c))
                {
                    break;
                }
                FlattenQuadratic(px, py, c[0], c[1], c[2], c[3], points);
                m_lastControlX = c[0];
                m_lastControlY = c[1];
                px = c[2];
                py = c[3];
                break;
            }
            case 'A':
            case 'a':
            {
                ArcEndpoints arc;
                if (!ArcStep(args, ox, oy, arc))
                {
                    endPath = true;
                    break;
                }
                FlattenArc(px, py, arc, points);
                px = arc.x;
                py = arc.y;
                break;
            }
            default:
                break;
            }

            if (passesLongSubpaths && points.size() >= kLongSubpath && start.taken)
            {
                if (m_longSubpath.pass == CLongSubpath::Pass::None)
                {
                    m_longSubpath = CLongSubpath();
                    m_longSubpath.pass = CLongSubpath::Pass::Counting;
                    restart();
                    continue;
                }
                PassSubpathFront(points, transform);
            }

            m_lastCommand = command;
            if (passesLongSubpaths && (letter == 'M' || letter == 'm'))
            {
                start.taken = true;
                start.data = data;
                start.px = px;
                start.py = py;
                start.point = points.back();
                start.lastCommand = m_lastCommand;
                start.lastControlX = m_lastControlX;
                start.lastControlY = m_lastControlY;
                start.closeSeen = m_closeSeen;
                start.closeLeading = m_closeLeading;
            }
            if (endPath || !advanced)
            {
                break;
            }
        }
        if (m_longSubpath.pass != CLongSubpath::Pass::Counting)
            return;
        countingEnds(m_closeSeen != 0 || (!points.empty() && points.back().closed != 0));
    }
}
