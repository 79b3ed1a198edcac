// Helpers shared by the tests: files, whole conversions, and DXF files as lists of groups.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace testing_support
{

std::filesystem::path DataDir();                 // tests/data
std::filesystem::path ScratchDir();              // a fresh folder per test process
std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& text);

// Converts SVG text through the real driver via scratch files; returns the DXF text ("" on failure).
// exact: the drawing is read by the exact SVG rules.
std::string ConvertSvgText(const std::string& svg, bool fill = true, bool exact = false);
// Converts a file through the real driver; returns the DXF text ("" on failure).
std::string ConvertSvgFile(const std::filesystem::path& svg, bool fill = true, bool exact = false);

struct Group
{
    int code;
    std::string value;
};
// Splits DXF text into (code, value) pairs; values keep their blanks, line ends are dropped.
std::vector<Group> ParseGroups(const std::string& dxf);
// The groups of the ENTITIES section (without its SECTION/ENDSEC frame).
std::vector<Group> EntityGroups(const std::string& dxf);
// Entities of the ENTITIES section, each a list of groups starting with its 0/TYPE group.
std::vector<std::vector<Group>> Entities(const std::string& dxf);
// Value of the first group with the code in an entity ("" when absent).
std::string GroupValue(const std::vector<Group>& entity, int code);
std::vector<double> GroupReals(const std::vector<Group>& entity, int code);

// "" when equal, else "line N: <expected> | <actual>" for the first differing line.
std::string FirstDifference(const std::string& expected, const std::string& actual);

// Reads the file with dxflib's own reader and checks the structure it reports: every polyline gets
// the vertices it declares and every hatch the loops and edges it declares. "" when sound, else why.
std::string CheckWithDxflib(const std::filesystem::path& dxf);

// A small, fast and repeatable generator (xorshift64) for tests that draw many random cases.
class CXorShift
{
public:
    explicit CXorShift(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t operator()()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return m_state;
    }

private:
    std::uint64_t m_state;
};

} // namespace testing_support
