// Writes synthetic SVG drawings of a given size for the speed measurements. Each kind stresses one
// part of the converter; the same kind, size and seed always give the same bytes, so outputs can be
// compared by checksum from one build to the next.
//
//   orbelin-svggen KIND MEGABYTES OUTPUT.svg
//
// paths     many paths of 20 segments mixing L, C and Q (absolute and relative, comma and blank)
// hugepath  one path whose d attribute holds the whole drawing
// longpath  one path whose d is a single subpath of the whole drawing: one polyline of millions of vertices
// shapes    many small rect, rounded rect, circle, ellipse, line and polygon elements
// groups    stacks of 40 nested groups with transforms, a few shapes at the bottom of each
// text      text elements with long contents
// elements  a million small elements per 56 MB (circle, line, rect, short path), a few attributes each
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

constexpr double kCanvas = 1000.0;
constexpr int kStackDepth = 40;

// A fixed generator rather than <random>: its sequence is the same with every standard library.
class CRandom
{
  public:
    explicit CRandom(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t Next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return m_state;
    }
    // Uniform in [low, high).
    double Uniform(double low, double high)
    {
        return low + (high - low) * static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0);
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }

  private:
    std::uint64_t m_state;
};

class CSvgWriter
{
  public:
    CSvgWriter(std::FILE* file) : m_file(file) {}

    void Raw(const char* text)
    {
        m_buffer += text;
        FlushIfFull();
    }
    void Raw(const std::string& text)
    {
        m_buffer += text;
        FlushIfFull();
    }
    // Numbers as drawing programs write them: at most three decimals, no trailing zeros.
    void Number(double value)
    {
        char text[64];
        int n = std::snprintf(text, sizeof text, "%.3f", value);
        while (n > 0 && text[n - 1] == '0')
            --n;
        if (n > 0 && text[n - 1] == '.')
            --n;
        if (n == 2 && text[0] == '-' && text[1] == '0')
            n = 1, text[0] = '0';
        m_buffer.append(text, static_cast<std::size_t>(n));
    }
    void Pair(double x, double y, char separator = ' ')
    {
        Number(x);
        m_buffer += separator;
        Number(y);
    }
    std::size_t Written() const { return m_written + m_buffer.size(); }
    bool Finish()
    {
        Flush();
        return std::fflush(m_file) == 0 && !std::ferror(m_file);
    }

  private:
    void FlushIfFull()
    {
        if (m_buffer.size() >= (1u << 20))
            Flush();
    }
    void Flush()
    {
        std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file);
        m_written += m_buffer.size();
        m_buffer.clear();
    }

    std::FILE* m_file;
    std::string m_buffer;
    std::size_t m_written = 0;
};

const char* const kColours[] = {"#000000", "#ff0000", "#00a000", "#0000ff", "#808080", "#ff8000", "#008080"};

const char* Colour(CRandom& random)
{
    return kColours[random.Below(static_cast<int>(sizeof kColours / sizeof kColours[0]))];
}

// One segment of path data from the current point (x, y), moving it. Coordinates stay on the canvas.
void Segment(CSvgWriter& out, CRandom& random, double& x, double& y, int kind, bool relative)
{
    auto step = [&](double& cx, double& cy)
    {
        cx = x + random.Uniform(-30.0, 30.0);
        cy = y + random.Uniform(-30.0, 30.0);
        if (cx < 0 || cx > kCanvas)
            cx = x - (cx - x);
        if (cy < 0 || cy > kCanvas)
            cy = y - (cy - y);
    };
    double x1, y1, x2, y2, x3, y3;
    const char separator = random.Below(2) == 0 ? ' ' : ',';
    auto point = [&](double px, double py)
    {
        if (relative)
            out.Pair(px - x, py - y, separator);
        else
            out.Pair(px, py, separator);
    };
    switch (kind)
    {
    case 0:
        step(x3, y3);
        out.Raw(relative ? " l" : " L");
        point(x3, y3);
        break;
    case 1:
        step(x1, y1);
        step(x2, y2);
        step(x3, y3);
        out.Raw(relative ? " c" : " C");
        point(x1, y1);
        out.Raw(" ");
        point(x2, y2);
        out.Raw(" ");
        point(x3, y3);
        break;
    default:
        step(x1, y1);
        step(x3, y3);
        out.Raw(relative ? " q" : " Q");
        point(x1, y1);
        out.Raw(" ");
        point(x3, y3);
        break;
    }
    x = x3;
    y = y3;
}

void PathData(CSvgWriter& out, CRandom& random, int segments)
{
    double x = random.Uniform(50.0, kCanvas - 50.0);
    double y = random.Uniform(50.0, kCanvas - 50.0);
    out.Raw("M");
    out.Pair(x, y);
    for (int i = 0; i < segments; ++i)
        Segment(out, random, x, y, random.Below(3), random.Below(4) == 0);
    if (random.Below(4) == 0)
        out.Raw(" Z");
}

void Paths(CSvgWriter& out, CRandom& random, std::size_t target)
{
    while (out.Written() < target)
    {
        out.Raw("  <path fill=\"none\" stroke=\"");
        out.Raw(Colour(random));
        out.Raw("\" stroke-width=\"0.5\" d=\"");
        PathData(out, random, 20);
        out.Raw("\"/>\n");
    }
}

void HugePath(CSvgWriter& out, CRandom& random, std::size_t target)
{
    out.Raw("  <path style=\"fill:none;stroke:#000000;stroke-width:0.25\"\n        d=\"");
    double x = kCanvas / 2, y = kCanvas / 2;
    out.Raw("M");
    out.Pair(x, y);
    // Subpaths of a thousand segments, as in a traced map or a long font outline.
    for (int i = 1; out.Written() + 16 < target; ++i)
    {
        Segment(out, random, x, y, random.Below(3), random.Below(4) == 0);
        if (i % 1000 == 0)
        {
            out.Raw("\n z M");
            out.Pair(x, y);
        }
    }
    out.Raw("\"/>\n");
}

void LongPath(CSvgWriter& out, CRandom& random, std::size_t target)
{
    out.Raw("  <path style=\"fill:none;stroke:#000000;stroke-width:0.25\"\n        d=\"");
    double x = kCanvas / 2, y = kCanvas / 2;
    out.Raw("M");
    out.Pair(x, y);
    while (out.Written() + 16 < target)
        Segment(out, random, x, y, random.Below(3), random.Below(4) == 0);
    out.Raw("\"/>\n");
}

// Elements of a few dozen bytes, as a drawing of many small parts (a PCB, a scatter plot) has them:
// there the tree's cost per element and per attribute counts more than any one element's geometry.
void SmallElement(CSvgWriter& out, CRandom& random, int kind)
{
    const double x = random.Uniform(0.0, kCanvas - 10.0);
    const double y = random.Uniform(0.0, kCanvas - 10.0);
    switch (kind)
    {
    case 0:
        out.Raw("<circle cx=\"");
        out.Number(x);
        out.Raw("\" cy=\"");
        out.Number(y);
        out.Raw("\" r=\"");
        out.Number(random.Uniform(0.5, 5.0));
        out.Raw("\" fill=\"none\"/>\n");
        break;
    case 1:
        out.Raw("<line x1=\"");
        out.Number(x);
        out.Raw("\" y1=\"");
        out.Number(y);
        out.Raw("\" x2=\"");
        out.Number(x + random.Uniform(-9.0, 9.0));
        out.Raw("\" y2=\"");
        out.Number(y + random.Uniform(-9.0, 9.0));
        out.Raw("\"/>\n");
        break;
    case 2:
        out.Raw("<rect x=\"");
        out.Number(x);
        out.Raw("\" y=\"");
        out.Number(y);
        out.Raw("\" width=\"");
        out.Number(random.Uniform(0.5, 9.0));
        out.Raw("\" height=\"");
        out.Number(random.Uniform(0.5, 9.0));
        out.Raw("\"/>\n");
        break;
    default:
        out.Raw("<path stroke=\"");
        out.Raw(Colour(random));
        out.Raw("\" d=\"M");
        out.Pair(x, y);
        out.Raw("l");
        out.Pair(random.Uniform(-9.0, 9.0), random.Uniform(-9.0, 9.0));
        out.Raw("\"/>\n");
        break;
    }
}

void SmallElements(CSvgWriter& out, CRandom& random, std::size_t target)
{
    for (int i = 0; out.Written() < target; ++i)
        SmallElement(out, random, i % 4);
}

void Shape(CSvgWriter& out, CRandom& random, int kind)
{
    const double x = random.Uniform(0.0, kCanvas - 40.0);
    const double y = random.Uniform(0.0, kCanvas - 40.0);
    const bool filled = random.Below(3) == 0;
    std::string paint =
        filled ? std::string(" fill=\"") + Colour(random) + "\"" : std::string(" fill=\"none\"");
    paint += std::string(" stroke=\"") + Colour(random) + "\"";
    switch (kind)
    {
    case 0:
    case 1:
        out.Raw("  <rect x=\"");
        out.Number(x);
        out.Raw("\" y=\"");
        out.Number(y);
        out.Raw("\" width=\"");
        out.Number(random.Uniform(2.0, 40.0));
        out.Raw("\" height=\"");
        out.Number(random.Uniform(2.0, 40.0));
        if (kind == 1)
        {
            out.Raw("\" rx=\"");
            out.Number(random.Uniform(0.5, 2.0));
            out.Raw("\" ry=\"");
            out.Number(random.Uniform(0.5, 2.0));
        }
        out.Raw("\"");
        break;
    case 2:
        out.Raw("  <circle cx=\"");
        out.Number(x);
        out.Raw("\" cy=\"");
        out.Number(y);
        out.Raw("\" r=\"");
        out.Number(random.Uniform(1.0, 20.0));
        out.Raw("\"");
        break;
    case 3:
        out.Raw("  <ellipse cx=\"");
        out.Number(x);
        out.Raw("\" cy=\"");
        out.Number(y);
        out.Raw("\" rx=\"");
        out.Number(random.Uniform(1.0, 20.0));
        out.Raw("\" ry=\"");
        out.Number(random.Uniform(1.0, 20.0));
        out.Raw("\"");
        break;
    case 4:
        out.Raw("  <line x1=\"");
        out.Number(x);
        out.Raw("\" y1=\"");
        out.Number(y);
        out.Raw("\" x2=\"");
        out.Number(x + random.Uniform(-40.0, 40.0));
        out.Raw("\" y2=\"");
        out.Number(y + random.Uniform(-40.0, 40.0));
        out.Raw("\"");
        break;
    default:
    {
        out.Raw("  <polygon points=\"");
        const int corners = 5 + random.Below(4);
        for (int i = 0; i < corners; ++i)
        {
            if (i > 0)
                out.Raw(" ");
            out.Pair(x + random.Uniform(0.0, 40.0), y + random.Uniform(0.0, 40.0), ',');
        }
        out.Raw("\"");
        break;
    }
    }
    out.Raw(paint);
    out.Raw("/>\n");
}

void Shapes(CSvgWriter& out, CRandom& random, std::size_t target)
{
    for (int i = 0; out.Written() < target; ++i)
        Shape(out, random, i % 6);
}

void Transform(CSvgWriter& out, CRandom& random, int level)
{
    switch (level % 4)
    {
    case 0:
        out.Raw("translate(");
        out.Pair(random.Uniform(-5.0, 5.0), random.Uniform(-5.0, 5.0));
        out.Raw(")");
        break;
    case 1:
        out.Raw("rotate(");
        out.Number(random.Uniform(-3.0, 3.0));
        out.Raw(")");
        break;
    case 2:
        out.Raw("scale(");
        out.Number(random.Uniform(0.99, 1.01));
        out.Raw(")");
        break;
    default:
        out.Raw("matrix(1 0 0 1 ");
        out.Pair(random.Uniform(-2.0, 2.0), random.Uniform(-2.0, 2.0));
        out.Raw(")");
        break;
    }
}

void Groups(CSvgWriter& out, CRandom& random, std::size_t target)
{
    for (int stack = 0; out.Written() < target; ++stack)
    {
        out.Raw("  <g id=\"stack" + std::to_string(stack) + "\" stroke=\"" + Colour(random) + "\">\n");
        for (int level = 1; level < kStackDepth; ++level)
        {
            out.Raw("<g transform=\"");
            Transform(out, random, level);
            out.Raw(level % 8 == 0 ? "\" stroke-width=\"0.3\">\n" : "\">\n");
        }
        out.Raw("  <path fill=\"none\" d=\"");
        PathData(out, random, 20);
        out.Raw("\"/>\n");
        for (int i = 0; i < 6; ++i)
            Shape(out, random, i);
        for (int level = 1; level < kStackDepth; ++level)
            out.Raw("</g>\n");
        out.Raw("  </g>\n");
    }
}

const char* const kWords[] = {"the",      "drawing",   "wall",  "door",   "window", "north",
                              "section",  "level",     "scale", "detail", "beam",   "slab",
                              "stair",    "elevation", "grid",  "axis",   "steel",  "timber",
                              "concrete", "see",       "note",  "sheet",  "room",   "plan"};

void Texts(CSvgWriter& out, CRandom& random, std::size_t target)
{
    const int wordCount = static_cast<int>(sizeof kWords / sizeof kWords[0]);
    while (out.Written() < target)
    {
        out.Raw("  <text x=\"");
        out.Number(random.Uniform(0.0, kCanvas));
        out.Raw("\" y=\"");
        out.Number(random.Uniform(0.0, kCanvas));
        out.Raw("\" style=\"font-family:Arial;font-size:");
        out.Number(random.Uniform(2.0, 12.0));
        out.Raw(";fill:");
        out.Raw(Colour(random));
        out.Raw("\">");
        // From a short label to a paragraph longer than the reader's window.
        const int words = 10 + random.Below(1500);
        for (int i = 0; i < words; ++i)
        {
            if (i > 0)
                out.Raw(" ");
            out.Raw(kWords[random.Below(wordCount)]);
        }
        out.Raw("</text>\n");
    }
}

// FNV-1a of the kind's name: each kind has its own sequence, the same on every platform.
std::uint64_t Seed(const std::string& kind)
{
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : kind)
        hash = (hash ^ c) * 0x100000001b3ull;
    return hash;
}

int Usage()
{
    std::fprintf(
        stderr,
        "usage: orbelin-svggen paths|hugepath|longpath|shapes|groups|text|elements MEGABYTES OUTPUT.svg\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        return Usage();
    const std::string kind = argv[1];
    const double megabytes = std::atof(argv[2]);
    if (!(megabytes > 0.0))
        return Usage();
    const auto target = static_cast<std::size_t>(megabytes * 1024.0 * 1024.0);

    std::FILE* file = std::fopen(argv[3], "wb");
    if (!file)
    {
        std::perror(argv[3]);
        return 1;
    }
    CSvgWriter out(file);
    CRandom random(Seed(kind));
    const std::size_t closing = 8; // "</svg>\n" and a little slack
    const std::size_t body = target > 512 + closing ? target - closing : 512;
    out.Raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1000\" height=\"1000\" "
            "viewBox=\"0 0 1000 1000\">\n");
    if (kind == "paths")
        Paths(out, random, body);
    else if (kind == "hugepath")
        HugePath(out, random, body);
    else if (kind == "shapes")
        Shapes(out, random, body);
    else if (kind == "groups")
        Groups(out, random, body);
    else if (kind == "text")
        Texts(out, random, body);
    else if (kind == "longpath")
        LongPath(out, random, body);
    else if (kind == "elements")
        SmallElements(out, random, body);
    else
    {
        std::fclose(file);
        return Usage();
    }
    out.Raw("</svg>\n");
    const bool ok = out.Finish();
    return std::fclose(file) == 0 && ok ? 0 : 1;
}
