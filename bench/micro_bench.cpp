// Micro-benchmarks of the inner stages of a conversion: the XML reader, the path-data parser, the
// curve flatteners and the formatting of reals in the DXF writer. Inputs are built in memory with a
// fixed generator, so runs are comparable from one build to the next.
#include "dxf/dxf_writer.h"
#include "geometry/flatten.h"
#include "svg/converter.h"
#include "xml/input_file.h"
#include "xml/xml.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdio>
#include <dl_dxf.h>
#include <string>
#include <vector>

namespace
{

class CRandom
{
  public:
    std::uint64_t Next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return m_state;
    }
    double Uniform(double low, double high)
    {
        return low + (high - low) * static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0);
    }

  private:
    std::uint64_t m_state = 0x2545F4914F6CDD1Dull;
};

void AppendNumber(std::string& out, double value)
{
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%.3f", value);
    out.append(text, static_cast<std::size_t>(n));
}

// Path data of the given number of segments, cycling L, C and Q, coordinates within 0..1000.
std::string MakePathData(int segments)
{
    CRandom random;
    std::string d = "M500 500";
    for (int i = 0; i < segments; ++i)
    {
        const int numbers = i % 3 == 0 ? 2 : (i % 3 == 1 ? 6 : 4);
        d += i % 3 == 0 ? " L" : (i % 3 == 1 ? " C" : " Q");
        for (int k = 0; k < numbers; ++k)
        {
            d += k == 0 ? "" : (k % 2 == 1 ? "," : " ");
            AppendNumber(d, random.Uniform(0.0, 1000.0));
        }
    }
    return d;
}

// A drawing of about `bytes`: groups with transforms holding paths and basic shapes.
std::string MakeSvg(std::size_t bytes)
{
    std::string svg = "<?xml version=\"1.0\"?>\n<svg width=\"1000\" height=\"1000\">\n";
    const std::string d = MakePathData(20);
    for (int i = 0; svg.size() < bytes; ++i)
    {
        svg += "<g id=\"g" + std::to_string(i) + "\" transform=\"translate(1 2) rotate(3)\">\n";
        svg += "  <path fill=\"none\" stroke=\"#ff0000\" d=\"" + d + "\"/>\n";
        svg += "  <rect x=\"1\" y=\"2\" width=\"30\" height=\"40\" rx=\"2\" style='fill:#00ff00'/>\n";
        svg += "  <text x=\"5\" y=\"6\" style=\"font-size:3\">a short label &amp; more</text>\n";
        svg += "</g>\n";
    }
    return svg + "</svg>\n";
}

void BM_XmlLoad(benchmark::State& state)
{
    const std::string svg = MakeSvg(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
    {
        CInputFile file;
        file.OpenText(svg);
        CXML root;
        benchmark::DoNotOptimize(Load(file, "", root));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(svg.size()));
}
BENCHMARK(BM_XmlLoad)->Arg(1 << 20)->Arg(8 << 20)->Arg(32 << 20)->Unit(benchmark::kMillisecond);

// The parser alone: every step cut and its numbers read, as the driver does, without flattening.
void BM_PathParse(benchmark::State& state)
{
    const std::string d = MakePathData(static_cast<int>(state.range(0)));
    CConverter converter;
    converter.ResetConversion();
    double sum = 0.0;
    for (auto _ : state)
    {
        std::string_view data = d;
        std::string_view args;
        std::string command;
        converter.m_lastCommand.clear();
        while (converter.NextPathCommand(args, command, data) != 0)
        {
            double v[6] = {};
            switch (command.empty() ? ' ' : command[0])
            {
            case 'C':
                converter.ReadNumbers6(args, v);
                break;
            case 'Q':
                converter.ReadNumbers4(args, v);
                break;
            default:
                converter.ReadNumberPair(args, v[0], v[1]);
                break;
            }
            sum += v[0];
            converter.m_lastCommand = command;
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(d.size()));
}
BENCHMARK(BM_PathParse)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_FlattenCubic(benchmark::State& state)
{
    CPointList points;
    const double size = static_cast<double>(state.range(0));
    for (auto _ : state)
    {
        points.clear();
        FlattenCubic(0, 0, size * 0.3, size, size * 0.7, -size, size, 0, points);
        benchmark::DoNotOptimize(points.data());
    }
    state.counters["points"] = static_cast<double>(points.size());
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * points.size()));
}
BENCHMARK(BM_FlattenCubic)->Arg(30)->Arg(1000);

void BM_FlattenQuadratic(benchmark::State& state)
{
    CPointList points;
    for (auto _ : state)
    {
        points.clear();
        FlattenQuadratic(0, 0, 15, 30, 30, 0, points);
        benchmark::DoNotOptimize(points.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * points.size()));
}
BENCHMARK(BM_FlattenQuadratic);

void BM_FlattenArc(benchmark::State& state)
{
    CPointList points;
    ArcEndpoints arc;
    arc.rx = 30;
    arc.ry = 20;
    arc.rotation = 15;
    arc.sweep = 1;
    arc.x = 50;
    arc.y = 10;
    for (auto _ : state)
    {
        points.clear();
        FlattenArc(0, 0, arc, points);
        benchmark::DoNotOptimize(points.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * points.size()));
}
BENCHMARK(BM_FlattenArc);

// Coordinates as a drawing produces them: mostly within a few thousand units, some whole numbers.
std::vector<double> RealsToWrite()
{
    CRandom random;
    std::vector<double> values;
    for (int i = 0; i < 4096; ++i)
        values.push_back(i % 5 == 0 ? static_cast<double>(i % 97) : random.Uniform(-2000.0, 2000.0));
    return values;
}

template <class Writer> void WriteReals(benchmark::State& state, Writer& writer)
{
    const std::vector<double> values = RealsToWrite();
    for (auto _ : state)
        for (double v : values)
            writer.dxfReal(10, v);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}

// The digits alone, for flattened coordinates (which rarely repeat exactly).
void BM_FormatDxfReal(benchmark::State& state)
{
    const std::vector<double> values = RealsToWrite();
    char buffer[kDxfRealBufferSize];
    for (auto _ : state)
        for (double v : values)
        {
            benchmark::DoNotOptimize(FormatDxfReal(v, 16, buffer));
            benchmark::ClobberMemory();
        }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}
BENCHMARK(BM_FormatDxfReal);

// dxflib's own formatting: printf, trimming and a flush of the stream per number.
void BM_DxfRealLibrary(benchmark::State& state)
{
    DL_WriterA writer("/dev/null", DL_Codes::AC1015);
    WriteReals(state, writer);
}
BENCHMARK(BM_DxfRealLibrary);

void BM_DxfRealOrbelin(benchmark::State& state)
{
    CDxfWriter writer("/dev/null", DL_Codes::AC1015);
    WriteReals(state, writer);
}
BENCHMARK(BM_DxfRealOrbelin);

} // namespace

BENCHMARK_MAIN();
