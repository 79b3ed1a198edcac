#include "support/dxf_check.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace testing_support
{

namespace
{

// Longest group value every reader takes from one line: DXF allows 2049, but dxflib's reader (and
// the CAD programs built on it) never gets past a line of more than 1023 characters.
constexpr std::size_t kMaxValueLength = 1023;
// Longest table record name CAD programs accept.
constexpr std::size_t kMaxTableName = 255;
// CAD programs write +-1e20 for "no extents yet" in layouts; nothing sound is larger.
constexpr double kMaxMagnitude = 1.0e20;
// Entity coordinates and sizes beyond this have no precision left in a CAD program.
constexpr double kMaxEntityMagnitude = 1.0e16;
constexpr std::size_t kMaxProblems = 40;

struct Group
{
    int code = 0;
    std::string_view value;
    std::size_t line = 0; // 1-based line of the code
};

bool IsRealCode(int c)
{
    return (c >= 10 && c <= 59) || (c >= 110 && c <= 149) || (c >= 210 && c <= 239) ||
           (c >= 460 && c <= 469) || (c >= 1010 && c <= 1059);
}

bool IsInt16Code(int c)
{
    return (c >= 60 && c <= 79) || (c >= 170 && c <= 179) || (c >= 270 && c <= 289) ||
           (c >= 370 && c <= 389) || (c >= 400 && c <= 409) || (c >= 1060 && c <= 1070) ||
           (c >= 290 && c <= 299);
}

bool IsInt32Code(int c)
{
    return (c >= 90 && c <= 99) || (c >= 420 && c <= 429) || (c >= 440 && c <= 459) || c == 1071;
}

bool IsHandleCode(int c)
{
    return c == 5 || c == 105 || (c >= 320 && c <= 369) || (c >= 390 && c <= 399) || c == 480 || c == 481 ||
           c == 1005;
}

std::string Upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool ParseReal(std::string_view text, double& value)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && stop == end && !text.empty();
}

bool ParseInt(std::string_view text, long long& value)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && stop == end && !text.empty();
}

bool ParseHandle(std::string_view text, std::uint64_t& value)
{
    if (text.empty() || text.size() > 16)
        return false;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value, 16);
    return ec == std::errc() && stop == end;
}

class CChecker
{
  public:
    std::string Run(std::string_view dxf)
    {
        if (!Split(dxf))
            return Result();
        CheckValues();
        CheckSections();
        CheckHandles();
        return Result();
    }

  private:
    void Problem(std::size_t line, const std::string& what)
    {
        if (m_problems.size() < kMaxProblems)
            m_problems.push_back("line " + std::to_string(line) + ": " + what);
    }

    std::string Result() const
    {
        std::string out;
        for (const std::string& p : m_problems)
            out += p + "\n";
        return out;
    }

    // Cuts the text into groups; false when it cannot be read as groups at all.
    bool Split(std::string_view dxf)
    {
        if (dxf.empty())
        {
            Problem(0, "empty file");
            return false;
        }
        const bool crlf = dxf.find("\r\n") != std::string_view::npos && dxf.find('\n') > 0 &&
                          dxf[dxf.find('\n') - 1] == '\r';
        std::vector<std::string_view> lines;
        std::size_t pos = 0;
        while (pos < dxf.size())
        {
            std::size_t end = dxf.find('\n', pos);
            if (end == std::string_view::npos)
                end = dxf.size();
            std::string_view line = dxf.substr(pos, end - pos);
            if (crlf && !line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            lines.push_back(line);
            pos = end + 1;
        }
        if (lines.size() % 2 != 0)
            Problem(lines.size(), "odd number of lines: the last group has no value");
        for (std::size_t i = 0; i + 1 < lines.size(); i += 2)
        {
            long long code = 0;
            if (!ParseInt(lines[i], code) || code < -5 || code > 1071)
            {
                Problem(i + 1, "not a group code: \"" + std::string(lines[i].substr(0, 40)) + "\"");
                return false;
            }
            m_groups.push_back({static_cast<int>(code), lines[i + 1], i + 1});
        }
        return true;
    }

    void CheckValues()
    {
        for (const Group& g : m_groups)
        {
            if (IsRealCode(g.code))
            {
                double v = 0.0;
                if (!ParseReal(g.value, v))
                    Problem(g.line, "group " + std::to_string(g.code) + " is not a number: \"" +
                                        std::string(g.value.substr(0, 40)) + "\"");
                else if (!std::isfinite(v) || std::fabs(v) > kMaxMagnitude)
                    Problem(g.line, "group " + std::to_string(g.code) +
                                        " out of range: " + std::string(g.value.substr(0, 40)));
            }
            else if (IsInt16Code(g.code) || IsInt32Code(g.code))
            {
                long long v = 0;
                const long long limit = IsInt16Code(g.code) ? 32767 : 2147483647LL;
                if (!ParseInt(g.value, v) || v > limit || v < -limit - 1)
                    Problem(g.line, "group " + std::to_string(g.code) + " is not an integer: \"" +
                                        std::string(g.value.substr(0, 40)) + "\"");
            }
            else if (IsHandleCode(g.code))
            {
                std::uint64_t h = 0;
                if (!ParseHandle(g.value, h))
                    Problem(g.line, "group " + std::to_string(g.code) + " is not a handle: \"" +
                                        std::string(g.value.substr(0, 40)) + "\"");
            }
            else
            {
                if (g.value.size() > kMaxValueLength)
                    Problem(g.line, "group " + std::to_string(g.code) + " value of " +
                                        std::to_string(g.value.size()) + " bytes");
                for (char c : g.value)
                    if (static_cast<unsigned char>(c) < 32 && c != '\t')
                    {
                        Problem(g.line, "group " + std::to_string(g.code) + " holds control byte " +
                                            std::to_string(static_cast<int>(c)));
                        break;
                    }
            }
        }
    }

    // One object: the groups from a 0 group up to the next 0 group.
    struct Object
    {
        std::size_t first = 0;
        std::size_t last = 0; // one past
    };

    std::string_view Value(const Object& o, int code) const
    {
        for (std::size_t i = o.first + 1; i < o.last; ++i)
            if (m_groups[i].code == code)
                return m_groups[i].value;
        return {};
    }

    bool Has(const Object& o, int code) const
    {
        for (std::size_t i = o.first + 1; i < o.last; ++i)
            if (m_groups[i].code == code)
                return true;
        return false;
    }

    double Real(const Object& o, int code) const
    {
        double v = 0.0;
        ParseReal(Value(o, code), v);
        return v;
    }

    void CheckSections()
    {
        static const char* const kOrder[] = {"HEADER", "TABLES", "BLOCKS", "ENTITIES", "OBJECTS"};
        std::size_t i = 0;
        std::size_t next = 0;
        bool sawEof = false;
        while (i < m_groups.size())
        {
            const Group& g = m_groups[i];
            if (g.code == 999)
            {
                ++i;
                continue;
            }
            if (g.code != 0)
            {
                Problem(g.line, "group " + std::to_string(g.code) + " outside any section");
                return;
            }
            if (g.value == "EOF")
            {
                sawEof = true;
                if (i + 1 != m_groups.size())
                    Problem(g.line, "groups after EOF");
                break;
            }
            if (g.value != "SECTION" || i + 1 >= m_groups.size() || m_groups[i + 1].code != 2)
            {
                Problem(g.line, "expected a SECTION, found \"" + std::string(g.value.substr(0, 40)) + "\"");
                return;
            }
            const std::string_view name = m_groups[i + 1].value;
            if (next >= 5 || name != kOrder[next])
                Problem(g.line, "section " + std::string(name.substr(0, 40)) + " out of order");
            ++next;
            std::size_t end = i + 2;
            while (end < m_groups.size() && !(m_groups[end].code == 0 && m_groups[end].value == "ENDSEC"))
            {
                if (m_groups[end].code == 0 &&
                    (m_groups[end].value == "SECTION" || m_groups[end].value == "EOF"))
                    break;
                ++end;
            }
            if (end >= m_groups.size() || m_groups[end].value != "ENDSEC")
            {
                Problem(g.line, "section " + std::string(name) + " has no ENDSEC");
                return;
            }
            if (name == "HEADER")
            {
                CheckHeader(i + 2, end);
                i = end + 1;
                continue;
            }
            const std::vector<Object> objects = Objects(i + 2, end);
            if (name == "TABLES")
                CheckTables(objects);
            else if (name == "BLOCKS")
                CheckBlocks(objects);
            else if (name == "ENTITIES")
                CheckEntities(objects);
            else
                CollectHandles(objects);
            i = end + 1;
        }
        if (next != 5)
            Problem(m_groups.empty() ? 0 : m_groups.back().line,
                    "only " + std::to_string(next) + " of 5 sections");
        if (!sawEof)
            Problem(m_groups.empty() ? 0 : m_groups.back().line, "no 0/EOF at the end");
    }

    std::vector<Object> Objects(std::size_t first, std::size_t last)
    {
        std::vector<Object> objects;
        for (std::size_t i = first; i < last; ++i)
        {
            if (m_groups[i].code == 0)
            {
                if (!objects.empty())
                    objects.back().last = i;
                objects.push_back({i, last});
            }
            else if (objects.empty() && m_groups[i].code != 999)
                Problem(m_groups[i].line, "group before the first object of a section");
        }
        return objects;
    }

    void CheckHeader(std::size_t first, std::size_t last)
    {
        for (std::size_t i = first; i + 1 < last; ++i)
            if (m_groups[i].code == 9 && m_groups[i].value == "$HANDSEED")
            {
                if (m_groups[i + 1].code != 5 || !ParseHandle(m_groups[i + 1].value, m_handSeed))
                    Problem(m_groups[i].line, "$HANDSEED without a handle");
                m_hasSeed = true;
            }
        if (!m_hasSeed)
            Problem(first < m_groups.size() ? m_groups[first].line : 0, "no $HANDSEED in the header");
    }

    void CollectHandles(const std::vector<Object>& objects)
    {
        for (const Object& o : objects)
            for (std::size_t i = o.first + 1; i < o.last; ++i)
                if (m_groups[i].code == 5 || m_groups[i].code == 105)
                {
                    std::uint64_t h = 0;
                    if (ParseHandle(m_groups[i].value, h))
                        m_handles.push_back({h, m_groups[i].line});
                }
    }

    void CheckTables(const std::vector<Object>& objects)
    {
        CollectHandles(objects);
        std::string table;
        for (const Object& o : objects)
        {
            const Group& g = m_groups[o.first];
            if (g.value == "TABLE")
            {
                if (!table.empty())
                    Problem(g.line, "table " + table + " has no ENDTAB");
                table = std::string(Value(o, 2));
                if (table.empty())
                    Problem(g.line, "table without a name");
                m_tables.insert(table);
            }
            else if (g.value == "ENDTAB")
            {
                if (table.empty())
                    Problem(g.line, "ENDTAB outside a table");
                table.clear();
            }
            else if (table.empty())
                Problem(g.line, "record " + std::string(g.value.substr(0, 40)) + " outside a table");
            else if (g.value != table)
                Problem(g.line, "record " + std::string(g.value.substr(0, 40)) + " in table " + table);
            else
            {
                const std::string_view name = Value(o, 2);
                if (name.empty())
                    Problem(g.line, table + " record without a name");
                if (name.size() > kMaxTableName)
                    Problem(g.line, table + " record name of " + std::to_string(name.size()) + " bytes");
                if (table == "LAYER")
                    m_layers.insert(Upper(name));
                else if (table == "LTYPE")
                    m_lineTypes.insert(Upper(name));
                else if (table == "STYLE")
                    m_styles.insert(Upper(name));
            }
        }
        if (!table.empty())
            Problem(m_groups[objects.back().first].line, "table " + table + " has no ENDTAB");
        for (const char* required : {"LTYPE", "LAYER", "STYLE", "BLOCK_RECORD"})
            if (m_tables.count(required) == 0)
                Problem(objects.empty() ? 0 : m_groups[objects.front().first].line,
                        std::string("no ") + required + " table");
    }

    void CheckBlocks(const std::vector<Object>& objects)
    {
        CollectHandles(objects);
        bool open = false;
        for (const Object& o : objects)
        {
            const Group& g = m_groups[o.first];
            if (g.value == "BLOCK")
            {
                if (open)
                    Problem(g.line, "BLOCK inside a block");
                open = true;
            }
            else if (g.value == "ENDBLK")
            {
                if (!open)
                    Problem(g.line, "ENDBLK without BLOCK");
                open = false;
            }
            else if (!open)
                Problem(g.line, "entity outside a block");
        }
        if (open)
            Problem(m_groups[objects.back().first].line, "block without ENDBLK");
    }

    void CheckEntities(const std::vector<Object>& objects)
    {
        CollectHandles(objects);
        for (const Object& o : objects)
        {
            const Group& g = m_groups[o.first];
            const std::string type(g.value);
            for (std::size_t k = o.first + 1; k < o.last; ++k)
            {
                double v = 0.0;
                if (IsRealCode(m_groups[k].code) && ParseReal(m_groups[k].value, v) &&
                    std::fabs(v) > kMaxEntityMagnitude)
                {
                    Problem(m_groups[k].line,
                            type + " with group " + std::to_string(m_groups[k].code) +
                                " beyond the drawing range: " + std::string(m_groups[k].value.substr(0, 40)));
                    break;
                }
            }
            if (!Has(o, 5))
                Problem(g.line, type + " without a handle");
            if (!Has(o, 8))
                Problem(g.line, type + " without a layer");
            else if (m_layers.count(Upper(Value(o, 8))) == 0)
                Problem(g.line,
                        type + " on undefined layer \"" + std::string(Value(o, 8).substr(0, 40)) + "\"");
            if (Has(o, 6))
            {
                const std::string lineType = Upper(Value(o, 6));
                if (lineType != "BYLAYER" && lineType != "BYBLOCK" && m_lineTypes.count(lineType) == 0)
                    Problem(g.line, type + " with undefined line type \"" + lineType + "\"");
            }
            if (type == "LWPOLYLINE")
                CheckPolyline(o);
            else if (type == "HATCH")
                CheckHatch(o);
            else if (type == "CIRCLE" || type == "ARC")
            {
                if (!(Real(o, 40) > 0.0))
                    Problem(g.line, type + " with radius " + std::string(Value(o, 40)));
            }
            else if (type == "ELLIPSE")
            {
                const double ratio = Real(o, 40);
                if (!(ratio > 0.0 && ratio <= 1.0))
                    Problem(g.line, "ELLIPSE with axis ratio " + std::string(Value(o, 40)));
                if (Real(o, 11) == 0.0 && Real(o, 21) == 0.0)
                    Problem(g.line, "ELLIPSE without a major axis");
            }
            else if (type == "TEXT")
            {
                // A height of 0 is written on purpose for a missing font size; readers take the
                // style's height then.
                if (!Has(o, 40) || !Has(o, 1))
                    Problem(g.line, "TEXT without a height or a text");
                if (Has(o, 7) && m_styles.count(Upper(Value(o, 7))) == 0)
                    Problem(g.line,
                            "TEXT with undefined style \"" + std::string(Value(o, 7).substr(0, 40)) + "\"");
            }
            else if (type == "LINE")
            {
                if (!Has(o, 10) || !Has(o, 11))
                    Problem(g.line, "LINE without its points");
            }
            else if (type != "POINT" && type != "INSERT" && type != "SOLID" && type != "MTEXT" &&
                     type != "SPLINE")
                Problem(g.line, "unexpected entity " + type.substr(0, 40));
        }
    }

    void CheckPolyline(const Object& o)
    {
        long long declared = -1;
        ParseInt(Value(o, 90), declared);
        long long xs = 0;
        long long ys = 0;
        for (std::size_t i = o.first + 1; i < o.last; ++i)
        {
            xs += m_groups[i].code == 10;
            ys += m_groups[i].code == 20;
        }
        const std::size_t line = m_groups[o.first].line;
        if (declared != xs || declared != ys)
            Problem(line, "LWPOLYLINE declares " + std::to_string(declared) + " vertices, has " +
                              std::to_string(xs) + " x and " + std::to_string(ys) + " y");
        if (xs < 1)
            Problem(line, "LWPOLYLINE without vertices");
    }

    void CheckHatch(const Object& o)
    {
        const std::size_t line = m_groups[o.first].line;
        std::size_t i = o.first + 1;
        while (i < o.last && m_groups[i].code != 91)
            ++i;
        long long loops = -1;
        if (i >= o.last || !ParseInt(m_groups[i].value, loops))
        {
            Problem(line, "HATCH without a loop count");
            return;
        }
        // A hatch of no loops shows nothing, and dxflib-based readers give it the loops of the hatch
        // read before it.
        if (loops < 1)
            Problem(line, "HATCH with " + std::to_string(loops) + " loops");
        ++i;
        long long seen = 0;
        while (i < o.last && m_groups[i].code == 92)
        {
            ++seen;
            long long flags = 0;
            ParseInt(m_groups[i].value, flags);
            ++i;
            if (flags & 2)
            {
                // Polyline boundary: 72 bulge flag, 73 closed, 93 vertex count, then the vertices.
                long long declared = -1;
                long long vertices = 0;
                while (i < o.last && m_groups[i].code != 97 && m_groups[i].code != 92)
                {
                    if (m_groups[i].code == 93)
                        ParseInt(m_groups[i].value, declared);
                    vertices += m_groups[i].code == 10;
                    ++i;
                }
                if (declared != vertices)
                    Problem(line, "HATCH polyline loop declares " + std::to_string(declared) +
                                      " vertices, has " + std::to_string(vertices));
            }
            else
                CheckEdgeLoop(line, i, o.last);
            if (i < o.last && m_groups[i].code == 97)
            {
                long long sources = 0;
                ParseInt(m_groups[i].value, sources);
                i += 1 + static_cast<std::size_t>(sources > 0 ? sources : 0);
            }
            else
                Problem(line, "HATCH loop without its 97 group");
        }
        if (seen != loops)
            Problem(line, "HATCH declares " + std::to_string(loops) + " loops, has " + std::to_string(seen));
        for (; i < o.last; ++i)
            if (m_groups[i].code == 92 || m_groups[i].code == 93 || m_groups[i].code == 72)
            {
                Problem(m_groups[i].line, "HATCH boundary group after the loops");
                break;
            }
    }

    void CheckEdgeLoop(std::size_t line, std::size_t& i, std::size_t last)
    {
        long long declared = -1;
        if (i < last && m_groups[i].code == 93)
        {
            ParseInt(m_groups[i].value, declared);
            ++i;
        }
        else
            Problem(line, "HATCH loop without an edge count");
        long long edges = 0;
        while (i < last && m_groups[i].code == 72)
        {
            ++edges;
            long long type = 0;
            ParseInt(m_groups[i].value, type);
            ++i;
            std::size_t end = i;
            while (end < last && m_groups[end].code != 72 && m_groups[end].code != 97 &&
                   m_groups[end].code != 92)
                ++end;
            Object edge{i - 1, end};
            if (type == 1)
            {
                if (!Has(edge, 10) || !Has(edge, 11))
                    Problem(line, "HATCH line edge without its points");
            }
            else if (type == 2)
            {
                if (!(Real(edge, 40) > 0.0))
                    Problem(line, "HATCH arc edge with radius " + std::string(Value(edge, 40)));
            }
            else if (type == 3)
            {
                const double ratio = Real(edge, 40);
                if (!(ratio > 0.0 && ratio <= 1.0))
                    Problem(line, "HATCH ellipse edge with axis ratio " + std::string(Value(edge, 40)));
                if (Real(edge, 11) == 0.0 && Real(edge, 21) == 0.0)
                    Problem(line, "HATCH ellipse edge without a major axis");
            }
            else if (type == 4)
            {
                long long knots = 0;
                long long controls = 0;
                ParseInt(Value(edge, 95), knots);
                ParseInt(Value(edge, 96), controls);
                long long knotsSeen = 0;
                long long controlsSeen = 0;
                for (std::size_t k = edge.first; k < edge.last; ++k)
                {
                    knotsSeen += m_groups[k].code == 40 ? 1 : 0;
                    controlsSeen += m_groups[k].code == 10 ? 1 : 0;
                }
                if (knots != knotsSeen || controls != controlsSeen || controls < 2)
                    Problem(line, "HATCH spline edge declares " + std::to_string(knots) + " knots and " +
                                      std::to_string(controls) + " control points, has " +
                                      std::to_string(knotsSeen) + " and " + std::to_string(controlsSeen));
            }
            else
                Problem(line, "HATCH edge of type " + std::to_string(type));
            i = end;
        }
        if (edges != declared)
            Problem(line, "HATCH loop declares " + std::to_string(declared) + " edges, has " +
                              std::to_string(edges));
        if (edges < 1)
            Problem(line, "HATCH loop without edges");
    }

    void CheckHandles()
    {
        std::set<std::uint64_t> seen;
        std::size_t reported = 0;
        for (const auto& [handle, line] : m_handles)
        {
            if (handle == 0)
                Problem(line, "handle 0");
            if (!seen.insert(handle).second && reported++ < 5)
                Problem(line, "handle " + ToHex(handle) + " used twice");
            if (m_hasSeed && handle >= m_handSeed && reported++ < 5)
                Problem(line, "handle " + ToHex(handle) + " not below $HANDSEED " + ToHex(m_handSeed));
        }
    }

    static std::string ToHex(std::uint64_t value)
    {
        std::ostringstream out;
        out << std::hex << std::uppercase << value;
        return out.str();
    }

    std::vector<Group> m_groups;
    std::vector<std::string> m_problems;
    std::vector<std::pair<std::uint64_t, std::size_t>> m_handles;
    std::uint64_t m_handSeed = 0;
    bool m_hasSeed = false;
    std::set<std::string> m_tables;
    std::set<std::string> m_layers;
    std::set<std::string> m_lineTypes;
    std::set<std::string> m_styles;
};

} // namespace

std::string CheckDxfStructure(std::string_view dxf)
{
    CChecker checker;
    return checker.Run(dxf);
}

std::string CheckDxfFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "cannot read " + path.string() + "\n";
    std::ostringstream text;
    text << in.rdbuf();
    return CheckDxfStructure(text.str());
}

} // namespace testing_support
