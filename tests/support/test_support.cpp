#include "support/test_support.h"

#include "conversion/conversion.h"

#include <dl_creationadapter.h>
#include <dl_dxf.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace testing_support
{

std::filesystem::path DataDir()
{
    return ORBELIN_TEST_DATA;
}

std::filesystem::path ScratchDir()
{
    // Removed when the test process ends, so runs do not pile up folders in the temporary directory.
    struct Folder
    {
        std::filesystem::path path;
        Folder() : path(std::filesystem::temp_directory_path() / ("orbelin-test-" + std::to_string(getpid())))
        {
            std::filesystem::remove_all(path);
            std::filesystem::create_directories(path);
        }
        ~Folder()
        {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    };
    static const Folder folder;
    return folder.path;
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string ConvertSvgFile(const std::filesystem::path& svg, bool fill, bool exact)
{
    static std::atomic<int> counter{0};
    const auto dxf = ScratchDir() / ("out-" + std::to_string(counter++) + ".dxf");
    ConversionRequest request;
    request.inputPath = svg.string();
    request.outputPath = dxf.string();
    request.fillOption = fill;
    request.exactSvg = exact;
    const ConversionResult result = RunConversion(request);
    if (!result.ok())
        return "";
    return ReadFile(dxf);
}

std::string ConvertSvgText(const std::string& svg, bool fill, bool exact)
{
    static std::atomic<int> counter{0};
    const auto path = ScratchDir() / ("in-" + std::to_string(counter++) + ".svg");
    WriteFile(path, svg);
    return ConvertSvgFile(path, fill, exact);
}

std::vector<Group> ParseGroups(const std::string& dxf)
{
    std::vector<Group> groups;
    std::size_t pos = 0;
    auto nextLine = [&](std::string& line) {
        if (pos >= dxf.size())
            return false;
        std::size_t end = dxf.find('\n', pos);
        if (end == std::string::npos)
            end = dxf.size();
        line = dxf.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        pos = end + 1;
        return true;
    };
    std::string code, value;
    while (nextLine(code) && nextLine(value))
        groups.push_back({std::stoi(code), value});
    return groups;
}

std::vector<Group> EntityGroups(const std::string& dxf)
{
    const auto groups = ParseGroups(dxf);
    std::vector<Group> out;
    bool inside = false;
    for (std::size_t i = 0; i < groups.size(); ++i)
    {
        if (!inside && groups[i].code == 2 && groups[i].value == "ENTITIES" && i > 0 &&
            groups[i - 1].value == "SECTION")
        {
            inside = true;
            continue;
        }
        if (inside && groups[i].code == 0 && groups[i].value == "ENDSEC")
            break;
        if (inside)
            out.push_back(groups[i]);
    }
    return out;
}

std::vector<std::vector<Group>> Entities(const std::string& dxf)
{
    std::vector<std::vector<Group>> entities;
    for (const Group& g : EntityGroups(dxf))
    {
        if (g.code == 0)
            entities.emplace_back();
        if (!entities.empty())
            entities.back().push_back(g);
    }
    return entities;
}

std::string GroupValue(const std::vector<Group>& entity, int code)
{
    for (const Group& g : entity)
        if (g.code == code)
            return g.value;
    return "";
}

std::vector<double> GroupReals(const std::vector<Group>& entity, int code)
{
    std::vector<double> values;
    for (const Group& g : entity)
        if (g.code == code)
            values.push_back(std::stod(g.value));
    return values;
}

std::string FirstDifference(const std::string& expected, const std::string& actual)
{
    std::istringstream a(expected), b(actual);
    std::string la, lb;
    int line = 0;
    while (true)
    {
        ++line;
        const bool ha = static_cast<bool>(std::getline(a, la));
        const bool hb = static_cast<bool>(std::getline(b, lb));
        if (!ha && !hb)
            return "";
        if (ha != hb || la != lb)
            return "line " + std::to_string(line) + ": " + (ha ? la : "<end>") + " | " + (hb ? lb : "<end>");
    }
}

namespace
{

class CheckingAdapter : public DL_CreationAdapter
{
public:
    void addPolyline(const DL_PolylineData& data) override
    {
        Finish();
        m_expectVertices = static_cast<int>(data.number);
        m_vertices = 0;
        m_inPolyline = true;
    }
    void addVertex(const DL_VertexData&) override { ++m_vertices; }
    void addHatch(const DL_HatchData& data) override
    {
        Finish();
        m_expectLoops = data.numLoops;
        m_loops = 0;
        m_inHatch = true;
    }
    void addHatchLoop(const DL_HatchLoopData& data) override
    {
        FinishLoop();
        ++m_loops;
        m_expectEdges = data.numEdges;
        m_edges = 0;
        m_inLoop = true;
    }
    void addHatchEdge(const DL_HatchEdgeData&) override { ++m_edges; }
    void addLine(const DL_LineData&) override { Finish(); }
    void addCircle(const DL_CircleData&) override { Finish(); }
    void addEllipse(const DL_EllipseData&) override { Finish(); }
    void addText(const DL_TextData&) override { Finish(); }
    void endSection() override { Finish(); }

    void Finish()
    {
        if (m_inPolyline && m_vertices != m_expectVertices)
            m_error += "polyline declares " + std::to_string(m_expectVertices) + " vertices, has " +
                       std::to_string(m_vertices) + "\n";
        m_inPolyline = false;
        FinishLoop();
        if (m_inHatch && m_loops != m_expectLoops)
            m_error += "hatch declares " + std::to_string(m_expectLoops) + " loops, has " +
                       std::to_string(m_loops) + "\n";
        m_inHatch = false;
    }
    void FinishLoop()
    {
        if (m_inLoop && m_edges != m_expectEdges)
            m_error += "hatch loop declares " + std::to_string(m_expectEdges) + " edges, has " +
                       std::to_string(m_edges) + "\n";
        m_inLoop = false;
    }

    std::string m_error;

private:
    int m_expectVertices = 0, m_vertices = 0;
    int m_expectLoops = 0, m_loops = 0;
    int m_expectEdges = 0, m_edges = 0;
    bool m_inPolyline = false, m_inHatch = false, m_inLoop = false;
};

} // namespace

std::string CheckWithDxflib(const std::filesystem::path& dxf)
{
    CheckingAdapter adapter;
    DL_Dxf reader;
    // Reading from a stream leaves the process locale alone (reading from a path resets it).
    std::ifstream in(dxf);
    if (!reader.in(in, &adapter))
        return "dxflib could not read " + dxf.string();
    adapter.Finish();
    return adapter.m_error;
}

} // namespace testing_support
