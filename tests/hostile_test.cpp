// Hostile input: whatever the file holds, the conversion ends, does not crash, either succeeds or
// says why not, never leaves a corrupt DXF, never touches the input and never destroys the drawing
// that was at the output path unless a complete new one replaces it. Small inputs are files in
// tests/data/hostile/; large ones are generated here, so the repository stays small.
#include "conversion/conversion.h"
#include "support/dxf_check.h"
#include "support/test_support.h"
#include "svg/converter.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <sstream>
#include <sys/wait.h>

#ifndef ORBELIN_PYTHON3
#define ORBELIN_PYTHON3 ""
#define ORBELIN_EZDXF_AUDIT ""
#endif

using namespace testing_support;

namespace
{

constexpr std::size_t kMegabyte = 1024 * 1024;
const std::string kPreviousDrawing = "the user's previous drawing\n";

struct HostileCase
{
    const char* name;
    // A file of tests/data/hostile, or empty when make generates the input.
    const char* file;
    std::function<std::string()> make;
    // Further checks of a successful output; empty when the safe outcome is all that is asked.
    std::function<void(const std::string& dxf)> expect;

    friend void PrintTo(const HostileCase& c, std::ostream* out) { *out << c.name; }
};

std::string Svg(const std::string& body)
{
    return "<svg width=\"100\" height=\"100\">\n" + body + "</svg>\n";
}

std::string Repeat(const std::string& piece, std::size_t times)
{
    std::string out;
    out.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        out += piece;
    return out;
}

std::string Binary()
{
    // A fixed pseudo-random byte soup: every byte value, no structure.
    std::string out(64 * 1024, '\0');
    std::uint32_t state = 12345;
    for (char& c : out)
    {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return out;
}

std::string LongTag()
{
    return Svg("<path " + std::string(kMegabyte, 'a') + " d=\"M0 0 L10 10\" stroke=\"#000\"/>\n" +
               "<line x1=\"0\" y1=\"0\" x2=\"5\" y2=\"5\" stroke=\"#000\"/>\n");
}

std::string LongSingleQuotedPath()
{
    std::string d = "M0 0";
    while (d.size() < kMegabyte)
        d += " L1 2 3 4 c 1 1 2 2 3 3";
    return Svg("<path d='" + d + "' stroke='#000'/>\n<line x1='0' y1='0' x2='5' y2='5' stroke='#000'/>\n");
}

std::string NestedGroups()
{
    return Svg(Repeat("<g>", 100000) + "<line x1=\"0\" y1=\"0\" x2=\"1\" y2=\"1\"/>" +
               Repeat("</g>", 100000) + "\n<line x1=\"0\" y1=\"0\" x2=\"9\" y2=\"9\"/>\n");
}

std::string ManyDashesAndFonts()
{
    std::string body;
    for (int i = 1; i <= 10000; ++i)
    {
        const std::string n = std::to_string(i);
        body += "<path d=\"M0 0 L1 1\" style=\"stroke:#000;stroke-dasharray:" + n + " " +
                std::to_string(i + 1) + "\"/><text x=\"1\" y=\"1\" style=\"font-family:Font" + n +
                ";font-size:2\">t</text>\n";
    }
    return Svg(body);
}

// Patterns of one number each give no line type and are dropped from the table, all of them.
std::string OneNumberDashPatterns()
{
    std::string sheet;
    for (int i = 1; i <= 100000; ++i)
        sheet += "a{stroke-dasharray:" + std::to_string(i) + "}";
    return Svg("<style>" + sheet +
               "</style>\n<path d=\"M0 0 L5 5\" style=\"stroke:#000;stroke-dasharray:7\"/>\n");
}

std::string ManyLayers()
{
    std::string body;
    for (int i = 0; i < 40000; ++i)
        body += "<g id=\"layer" + std::to_string(i) + "\"><line x1=\"0\" y1=\"0\" x2=\"1\" y2=\"1\"/></g>\n";
    return Svg(body);
}

std::string HugeTextNode()
{
    return "<svg width=\"100\" height=\"100\"><text x=\"1\" y=\"1\" style=\"font-size:2\">" +
           std::string(100 * kMegabyte, 'x') + "</text></svg>\n";
}

std::string HugePlainText()
{
    return std::string(100 * kMegabyte, 'x');
}

std::string LongGroupIdAndText()
{
    return Svg("<g id=\"" + std::string(100 * 1024, 'L') +
               "\">\n<line x1=\"0\" y1=\"0\" x2=\"1\" y2=\"1\"/>\n" +
               "<text x=\"1\" y=\"1\" style=\"font-size:2\">" + std::string(5000, 't') + "</text>\n</g>\n");
}

std::string ManyEntities()
{
    return Svg(Repeat("<line x1=\"0\" y1=\"0\" x2=\"1\" y2=\"1\" stroke=\"#000\"/>\n", 70000));
}

// Calls visit(code, value) for every group, without copying: the outputs run to megabytes, and the
// sanitizer build pays for every copy.
template <class Visit> void ForEachGroup(std::string_view dxf, Visit visit)
{
    std::size_t pos = 0;
    const auto nextLine = [&](std::string_view& line)
    {
        if (pos >= dxf.size())
            return false;
        std::size_t end = dxf.find('\n', pos);
        if (end == std::string_view::npos)
            end = dxf.size();
        line = dxf.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        pos = end + 1;
        return true;
    };
    std::string_view code;
    std::string_view value;
    while (nextLine(code) && nextLine(value))
    {
        while (!code.empty() && code.front() == ' ')
            code.remove_prefix(1);
        int number = -1;
        std::from_chars(code.data(), code.data() + code.size(), number);
        visit(number, value);
    }
}

// The 0-groups of the ENTITIES section by type.
std::map<std::string, int> CountEntities(const std::string& dxf)
{
    std::map<std::string, int> counts;
    bool sectionStart = false;
    bool inside = false;
    ForEachGroup(dxf,
                 [&](int code, std::string_view value)
                 {
                     if (code == 0 && value == "ENDSEC")
                         inside = false;
                     else if (inside && code == 0)
                         ++counts[std::string(value)];
                     inside = inside || (sectionStart && code == 2 && value == "ENTITIES");
                     sectionStart = code == 0 && value == "SECTION";
                 });
    return counts;
}

// Names of the records of one table.
std::vector<std::string> TableNames(const std::string& dxf, const std::string& table)
{
    std::vector<std::string> names;
    bool tableStart = false;
    bool inside = false;
    bool awaitingName = false;
    ForEachGroup(dxf,
                 [&](int code, std::string_view value)
                 {
                     if (tableStart)
                         inside = code == 2 && value == table;
                     tableStart = code == 0 && value == "TABLE";
                     if (code == 0 && (value == "TABLE" || value == "ENDTAB"))
                         inside = awaitingName = false;
                     else if (inside && code == 0)
                         awaitingName = true;
                     else if (awaitingName && code == 2)
                     {
                         names.emplace_back(value);
                         awaitingName = false;
                     }
                 });
    return names;
}

std::function<void(const std::string&)> AtLeast(const std::string& type, int count)
{
    return [type, count](const std::string& dxf) { EXPECT_GE(CountEntities(dxf)[type], count) << type; };
}

std::function<void(const std::string&)> NoEntities()
{
    return [](const std::string& dxf) { EXPECT_TRUE(CountEntities(dxf).empty()); };
}

const std::vector<HostileCase>& Cases()
{
    static const std::vector<HostileCase> cases = {
        {"EmptyFile", "empty.svg", {}, NoEntities()},
        {"BinaryFile", nullptr, Binary, {}},
        {"NulBytes", "nul-bytes.svg", {}, AtLeast("LINE", 1)},
        {"TruncatedInTag", "truncated-in-tag.svg", {}, AtLeast("LINE", 1)},
        {"TruncatedInValue", "truncated-in-value.svg", {}, AtLeast("LINE", 1)},
        {"TruncatedInComment", "truncated-in-comment.svg", {}, AtLeast("LINE", 1)},
        {"TagOf1MB", nullptr, LongTag, AtLeast("LINE", 1)},
        {"SingleQuotedPathOf1MB", nullptr, LongSingleQuotedPath, AtLeast("LWPOLYLINE", 1)},
        {"UnquotedAttributes", "unquoted-attributes.svg", {}, {}},
        {"NestedGroups100000", nullptr, NestedGroups, AtLeast("LINE", 1)},
        {"NestedTransforms60", "nested-transforms.svg", {}, AtLeast("LINE", 1)},
        {"LoopingPathData", "looping-path.svg", {}, {}},
        {"NumbersInCoordinates", "numbers-coordinates.svg", {}, {}},
        {"NumbersInRadii", "numbers-radii.svg", {}, {}},
        {"NumbersInStrokeWidths", "numbers-stroke-widths.svg", {}, {}},
        {"NumbersInTransforms", "numbers-transforms.svg", {}, {}},
        {"NumbersInFontSizes", "numbers-font-sizes.svg", {}, {}},
        {"MarkerOfSeveralSubpaths", "marker-subpaths.svg", {}, AtLeast("LWPOLYLINE", 2)},
        {"UseOfItself", "use-itself.svg", {}, {}},
        {"DashesAndFonts10000", nullptr, ManyDashesAndFonts,
         [](const std::string& dxf)
         {
             const auto lineTypes = TableNames(dxf, "LTYPE");
             const auto styles = TableNames(dxf, "STYLE");
             EXPECT_EQ(lineTypes.size(), 10003u); // CONTINUOUS, BYLAYER, BYBLOCK and every pattern
             EXPECT_EQ(styles.size(), 10001u);    // Standard and every family
             EXPECT_NE(std::find(lineTypes.begin(), lineTypes.end(), "Dash10000"), lineTypes.end());
             EXPECT_NE(std::find(styles.begin(), styles.end(), "Style-Font10000"), styles.end());
         }},
        {"OneNumberDashPatterns100000", nullptr, OneNumberDashPatterns,
         [](const std::string& dxf)
         {
             EXPECT_EQ(TableNames(dxf, "LTYPE").size(), 3u); // CONTINUOUS, BYLAYER, BYBLOCK
             EXPECT_GE(CountEntities(dxf)["LWPOLYLINE"], 1);
         }},
        {"Layers40000", nullptr, ManyLayers,
         [](const std::string& dxf) { EXPECT_EQ(TableNames(dxf, "LAYER").size(), 40001u); }},
        {"GroupIdAndTextOf100KB", nullptr, LongGroupIdAndText, AtLeast("TEXT", 1)},
        {"TextNodeOf100MB", nullptr, HugeTextNode, AtLeast("TEXT", 1)},
        {"PlainTextOf100MB", nullptr, HugePlainText, NoEntities()},
        {"MoreThan65536Entities", nullptr, ManyEntities, AtLeast("LINE", 70000)},
    };
    return cases;
}

// A folder of its own per case, removed afterwards: some inputs are 100 MB.
class CCaseFolder
{
  public:
    explicit CCaseFolder(const std::string& name) : m_dir(ScratchDir() / ("hostile-" + name))
    {
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir / "in");
        std::filesystem::create_directories(m_dir / "out");
    }
    ~CCaseFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    std::filesystem::path In() const { return m_dir / "in"; }
    std::filesystem::path Out() const { return m_dir / "out"; }

  private:
    std::filesystem::path m_dir;
};

struct Outcome
{
    ConversionResult result;
    std::filesystem::path input;
    std::filesystem::path output;
    std::string inputBefore;
};

Outcome Convert(const HostileCase& c, const CCaseFolder& folder, OutputUnits units = OutputUnits::None)
{
    Outcome outcome;
    if (c.file)
        outcome.input = DataDir() / "hostile" / c.file;
    else
    {
        outcome.input = folder.In() / (std::string(c.name) + ".svg");
        WriteFile(outcome.input, c.make());
    }
    outcome.inputBefore = ReadFile(outcome.input);
    outcome.output = folder.Out() / "drawing.dxf";
    WriteFile(outcome.output, kPreviousDrawing);

    ConversionRequest request;
    request.inputPath = outcome.input.string();
    request.outputPath = outcome.output.string();
    request.units = units;
    outcome.result = RunConversion(request);
    return outcome;
}

std::string Describe(const Outcome& outcome, const std::string& dxf)
{
    std::ostringstream text;
    if (!outcome.result.ok())
    {
        text << "refused: " << outcome.result.message;
        return text.str();
    }
    text << "converted, " << dxf.size() << " bytes:";
    for (const auto& [type, count] : CountEntities(dxf))
        text << " " << count << " " << type;
    return text.str();
}

class HostileInputTest : public ::testing::TestWithParam<HostileCase>
{
};

TEST_P(HostileInputTest, EndsSafely)
{
    const HostileCase& c = GetParam();
    const CCaseFolder folder(c.name);
    const Outcome outcome = Convert(c, folder);

    EXPECT_EQ(ReadFile(outcome.input) == outcome.inputBefore, true) << "the input was changed";
    // Nothing but the output may be left in its folder: no temporary files.
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Out()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"drawing.dxf"});

    if (!outcome.result.ok())
    {
        EXPECT_FALSE(outcome.result.message.empty()) << "a failure must say why";
        EXPECT_EQ(ReadFile(outcome.output), kPreviousDrawing)
            << "a failed conversion destroyed the old drawing";
        std::cout << c.name << ": " << Describe(outcome, "") << "\n";
        return;
    }
    const std::string dxf = ReadFile(outcome.output);
    std::cout << c.name << ": " << Describe(outcome, dxf) << "\n";
    const std::string problems = CheckDxfStructure(dxf);
    EXPECT_EQ(problems, "");
    // dxflib's reader never ends on an overlong line, which the check above already reports.
    if (problems.empty())
    {
        EXPECT_EQ(CheckWithDxflib(outcome.output), "");
    }
    if (c.expect)
        c.expect(dxf);
}

INSTANTIATE_TEST_SUITE_P(Inputs, HostileInputTest, ::testing::ValuesIn(Cases()),
                         [](const auto& row) { return std::string(row.param.name); });

// Scaled into a unit, smaller (mm) and larger (px) than the drawing's own numbers, every output
// stays as sound as without one.
class HostileUnitsTest : public ::testing::TestWithParam<HostileCase>
{
};

TEST_P(HostileUnitsTest, EndsSoundInEveryUnit)
{
    const HostileCase& c = GetParam();
    for (const OutputUnits units : {OutputUnits::Millimetres, OutputUnits::Pixels})
    {
        const CCaseFolder folder(std::string(c.name) + "-" + OutputUnitsName(units));
        const Outcome outcome = Convert(c, folder, units);
        if (!outcome.result.ok())
        {
            EXPECT_EQ(ReadFile(outcome.output), kPreviousDrawing) << OutputUnitsName(units);
            continue;
        }
        EXPECT_EQ(CheckDxfStructure(ReadFile(outcome.output)), "") << OutputUnitsName(units);
    }
}

// The drawings kept as files: the hostile numbers are among them. The generated ones are large, and
// their numbers are ordinary.
std::vector<HostileCase> FileCases()
{
    std::vector<HostileCase> files;
    for (const HostileCase& c : Cases())
        if (c.file)
            files.push_back(c);
    return files;
}

INSTANTIATE_TEST_SUITE_P(Inputs, HostileUnitsTest, ::testing::ValuesIn(FileCases()),
                         [](const auto& row) { return std::string(row.param.name); });

// The same outputs read by ezdxf, a reader that shares no code with the writer.
class HostileAuditTest : public ::testing::TestWithParam<HostileCase>
{
};

TEST_P(HostileAuditTest, PassesEzdxfAudit)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the outputs are the same in the plain build, which audits them";
#else
    const std::string python = ORBELIN_PYTHON3;
    if (python.empty())
        GTEST_SKIP() << "python3 is not installed";
    const HostileCase& c = GetParam();
    const CCaseFolder folder(c.name);
    const Outcome outcome = Convert(c, folder);
    if (!outcome.result.ok())
        GTEST_SKIP() << "nothing written: " << outcome.result.message;

    const auto report = folder.In() / "audit.txt";
    const std::string command = "'" + python + "' '" + ORBELIN_EZDXF_AUDIT + "' '" + outcome.output.string() +
                                "' > '" + report.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code == 77)
        GTEST_SKIP() << "ezdxf is not installed";
    EXPECT_EQ(code, 0) << ReadFile(report);
#endif
}

INSTANTIATE_TEST_SUITE_P(Inputs, HostileAuditTest, ::testing::ValuesIn(Cases()),
                         [](const auto& row) { return std::string(row.param.name); });

// Tens of thousands of patterns and families are looked up through an index; it must answer as the
// arrays do, also after the frame has dropped records from the middle.
TEST(ManyRecords, LookupsFollowTheArrays)
{
    CConverter converter;
    converter.ResetConversion();
    for (int i = 1; i <= 20000; ++i)
    {
        EXPECT_EQ(converter.AddDashPattern(i % 2 ? std::to_string(i) : std::to_string(i) + " 1"), 1);
        EXPECT_EQ(converter.AddFont("Font" + std::to_string(i)), 1);
    }
    EXPECT_EQ(converter.AddDashPattern(" 3 "), 0);
    EXPECT_EQ(converter.AddFont("Font7 "), 0);
    EXPECT_EQ(converter.DashNameFor("20000 1"), "Dash20000");
    EXPECT_EQ(converter.FontStyleFor(" Font19999"), "Style-Font19999");
    EXPECT_EQ(converter.FontStyleFor("Font20001"), "");

    // As the frame does: the one-number patterns go.
    converter.m_dashes.erase(std::remove_if(converter.m_dashes.begin(), converter.m_dashes.end(),
                                            [](const CDashData& dash)
                                            { return dash.pattern.find(' ') == std::string::npos; }),
                             converter.m_dashes.end());
    EXPECT_EQ(converter.DashNameFor("3"), "");
    EXPECT_EQ(converter.DashNameFor("4 1"), "Dash4");
    EXPECT_EQ(converter.DashNameFor("19998 1"), "Dash19998");

    converter.ResetConversion();
    EXPECT_EQ(converter.DashNameFor("4 1"), "");
    EXPECT_EQ(converter.AddDashPattern("4 1"), 1);
    EXPECT_EQ(converter.DashNameFor("4 1"), "Dash1");
}

} // namespace
