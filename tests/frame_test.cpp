// The document frame written around the entities: header, tables, blocks, objects and the end.
#include "support/test_support.h"
#include "svg/converter.h"

#include <fstream>
#include <gtest/gtest.h>
#include <set>

using namespace testing_support;

namespace
{

struct Frame
{
    std::string text;
    std::vector<Group> groups;
};

// Writes an empty document with the converter's collections and returns it as groups.
Frame WriteFrame(CConverter& converter, const std::string& name)
{
    const std::string path = (ScratchDir() / (name + ".dxf")).string();
    EXPECT_EQ(converter.BeginDxfDocument(path), 0);
    EXPECT_EQ(converter.EndDxfDocument(), 0);
    Frame frame;
    frame.text = ReadFile(path);
    frame.groups = ParseGroups(frame.text);
    return frame;
}

// The groups of one table, from its 0/TABLE up to (without) its 0/ENDTAB.
std::vector<Group> Table(const std::vector<Group>& groups, const std::string& name)
{
    for (std::size_t i = 0; i + 1 < groups.size(); ++i)
    {
        if (groups[i].code == 0 && groups[i].value == "TABLE" && groups[i + 1].code == 2 &&
            groups[i + 1].value == name)
        {
            std::vector<Group> table;
            for (std::size_t k = i;
                 k < groups.size() && !(groups[k].code == 0 && groups[k].value == "ENDTAB"); ++k)
                table.push_back(groups[k]);
            return table;
        }
    }
    return {};
}

// The records of a table, each starting with its own 0 group.
std::vector<std::vector<Group>> Records(const std::vector<Group>& table)
{
    std::vector<std::vector<Group>> records;
    for (std::size_t i = 1; i < table.size(); ++i)
    {
        if (table[i].code == 0)
            records.emplace_back();
        if (!records.empty())
            records.back().push_back(table[i]);
    }
    return records;
}

std::vector<std::string> RecordNames(const std::vector<Group>& table)
{
    std::vector<std::string> names;
    for (const auto& record : Records(table))
        names.push_back(GroupValue(record, 2));
    return names;
}

int TableCount(const std::vector<Group>& table)
{
    return std::stoi(GroupValue(table, 70));
}

using Names = std::vector<std::string>;

struct LayerCase
{
    const char* name;
    Names ids;
    int count;
    Names layers;
};

class FrameLayers : public ::testing::TestWithParam<LayerCase>
{
};

TEST_P(FrameLayers, TableHoldsZeroAndEveryId)
{
    const LayerCase& c = GetParam();
    CConverter converter;
    converter.m_layerNames = c.ids;
    const auto table = Table(WriteFrame(converter, std::string("layers-") + c.name).groups, "LAYER");
    ASSERT_FALSE(table.empty());
    EXPECT_EQ(TableCount(table), c.count);
    EXPECT_EQ(RecordNames(table), c.layers);
    for (const auto& record : Records(table))
    {
        EXPECT_EQ(GroupValue(record, 62), "2");
        EXPECT_EQ(GroupValue(record, 370), "100");
        EXPECT_EQ(GroupValue(record, 6), "CONTINUOUS");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ids, FrameLayers,
    ::testing::Values(LayerCase{"NoIds", {}, 1, {"0"}},
                      LayerCase{"IdZeroNotRepeated", {"walls", "0"}, 2, {"walls", "0"}},
                      LayerCase{"DuplicatesKept", {"a", "a"}, 3, {"0", "a", "a"}},
                      LayerCase{"ZeroComparedExactly", {"00", " 0"}, 3, {"0", "00", " 0"}},
                      LayerCase{"UnsafeBytesReplaced", {"a:b\nc<d>"}, 2, {"0", "a_b_c_d_"}}),
    [](const auto& row) { return std::string(row.param.name); });

struct DashCase
{
    const char* name;
    const char* pattern;
    bool written;
    std::vector<double> elements; // dashes positive, gaps negative
    double total;
};

class FrameDashes : public ::testing::TestWithParam<DashCase>
{
};

TEST_P(FrameDashes, LineTypeFromPattern)
{
    const DashCase& c = GetParam();
    CConverter converter;
    converter.m_dashes = {CDashData{"Dash1", c.pattern}};
    const auto table = Table(WriteFrame(converter, std::string("dash-") + c.name).groups, "LTYPE");
    // Counted before unusable patterns are dropped.
    EXPECT_EQ(TableCount(table), 2);
    const auto records = Records(table);
    if (!c.written)
    {
        EXPECT_EQ(RecordNames(table), (Names{"CONTINUOUS", "BYLAYER", "BYBLOCK"}));
        EXPECT_TRUE(converter.m_dashes.empty());
        return;
    }
    ASSERT_EQ(RecordNames(table), (Names{"CONTINUOUS", "Dash1", "BYLAYER", "BYBLOCK"}));
    EXPECT_EQ(GroupValue(records[1], 3), "Dash - - - - - - - - - - ");
    EXPECT_EQ(std::stoi(GroupValue(records[1], 73)), static_cast<int>(c.elements.size()));
    EXPECT_EQ(GroupReals(records[1], 40), std::vector<double>{c.total});
    EXPECT_EQ(GroupReals(records[1], 49), c.elements);
    EXPECT_EQ(converter.m_dashes.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Patterns, FrameDashes,
                         ::testing::Values(DashCase{"TwoNumbers", "4 2", true, {4, -2}, 6},
                                           DashCase{"ThreeNumbers", "4 2 1", true, {4, -2, 1}, 7},
                                           DashCase{"DoubleBlankIsZeroGap", "4  2", true, {4, 0, 2}, 6},
                                           DashCase{"TrailingBlankAddsNothing", "4 2 ", true, {4, -2}, 6},
                                           DashCase{"CommaIsNoSeparator", "5,3 1", true, {5, -1}, 6},
                                           DashCase{"UnitsDropped", "3px 1px", true, {3, -1}, 4},
                                           DashCase{"OneNumberDropped", "4", false, {}, 0},
                                           DashCase{"CommaOnlyIsOneNumber", "4,2", false, {}, 0},
                                           DashCase{"OverflowDropped", "1e400 2", false, {}, 0},
                                           DashCase{"HugeDropped", "1e200 2", false, {}, 0}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(FrameDashes, RemovalExaminesTheRecordThatMovesUp)
{
    CConverter converter;
    converter.m_dashes = {{"Dash1", "4"}, {"Dash2", "7"}, {"Dash3", "3 1"}, {"Dash4", "9"}, {"Dash5", "2 2"}};
    const auto table = Table(WriteFrame(converter, "dash-removal").groups, "LTYPE");
    EXPECT_EQ(TableCount(table), 6);
    EXPECT_EQ(RecordNames(table), (Names{"CONTINUOUS", "Dash3", "Dash5", "BYLAYER", "BYBLOCK"}));
    ASSERT_EQ(converter.m_dashes.size(), 2u);
    EXPECT_EQ(converter.m_dashes[0].name, "Dash3");
    EXPECT_EQ(converter.m_dashes[1].name, "Dash5");
}

TEST(FrameDashes, ParseKeepsEmptyPiecesAsZero)
{
    std::vector<double> values{99};
    double sum = -1;
    CConverter::ParseDashPattern(CDashData{"Dash1", "  1"}, values, sum);
    EXPECT_EQ(values, (std::vector<double>{0, 0, 1}));
    EXPECT_EQ(sum, 1.0);
    CConverter::ParseDashPattern(CDashData{"Dash1", ""}, values, sum);
    EXPECT_TRUE(values.empty());
    EXPECT_EQ(sum, 0.0);
}

TEST(FrameStyles, StandardThenFontsInCollectionOrder)
{
    CConverter converter;
    converter.m_fonts = {{"Times", "Style-Times"}, {"Arial", "Style-Arial"}};
    const auto groups = WriteFrame(converter, "styles").groups;
    const auto table = Table(groups, "STYLE");
    EXPECT_EQ(TableCount(table), 3);
    EXPECT_EQ(RecordNames(table), (Names{"Standard", "Style-Times", "Style-Arial"}));
    Names fontFiles;
    for (const auto& record : Records(table))
        fontFiles.push_back(GroupValue(record, 1000));
    EXPECT_EQ(fontFiles, (Names{"txt", "Times", "Arial"}));
    // The dimension style points at the Standard style, which therefore precedes it.
    EXPECT_EQ(GroupValue(Records(Table(groups, "DIMSTYLE")).at(0), 340), GroupValue(Records(table)[0], 5));
}

TEST(FrameStyles, UnsafeFontTextsCannotBreakGroups)
{
    CConverter converter;
    converter.m_fonts = {{"Odd\nFont:1", "Style-Odd\nFont:1"}};
    const auto table = Table(WriteFrame(converter, "styles-unsafe").groups, "STYLE");
    EXPECT_EQ(RecordNames(table), (Names{"Standard", "Style-Odd_Font_1"}));
    EXPECT_EQ(GroupValue(Records(table).at(1), 1000), "Odd_Font:1");
}

TEST(FrameDocument, HeaderBlocksAndEnd)
{
    CConverter converter;
    const Frame frame = WriteFrame(converter, "document");
    const auto& g = frame.groups;
    ASSERT_GE(g.size(), 8u);
    const std::vector<std::pair<int, std::string>> header = {
        {999, "Orbelin "}, {0, "SECTION"},   {2, "HEADER"}, {9, "$ACADVER"},
        {1, "AC1015"},     {9, "$HANDSEED"}, {5, "FFFF"},   {0, "ENDSEC"}};
    for (std::size_t i = 0; i < header.size(); ++i)
    {
        EXPECT_EQ(g[i].code, header[i].first) << i;
        EXPECT_EQ(g[i].value, header[i].second) << i;
    }
    EXPECT_EQ(g[g.size() - 2].value, "ENDSEC");
    EXPECT_EQ(g.back().code, 0);
    EXPECT_EQ(g.back().value, "EOF");

    Names blocks;
    for (std::size_t i = 0; i + 1 < g.size(); ++i)
        if (g[i].code == 0 && g[i].value == "BLOCK")
            for (std::size_t k = i; k < g.size() && g[k].value != "ENDBLK"; ++k)
                if (g[k].code == 2)
                    blocks.push_back(g[k].value);
    EXPECT_EQ(blocks, (Names{"*Model_Space", "*Paper_Space", "*Paper_Space0"}));
    EXPECT_TRUE(Entities(frame.text).empty());
    EXPECT_EQ(CheckWithDxflib(ScratchDir() / "document.dxf"), "");
}

TEST(FrameDocument, ApplicationDictionaryExists)
{
    CConverter converter;
    const auto g = WriteFrame(converter, "dictionary").groups;
    std::string entry;
    for (std::size_t i = 0; i + 1 < g.size(); ++i)
        if (g[i].code == 3 && g[i].value == "MY_OBJECTS" && g[i + 1].code == 350)
            entry = g[i + 1].value;
    ASSERT_FALSE(entry.empty());
    bool found = false;
    for (std::size_t i = 0; i + 1 < g.size(); ++i)
        found = found || (g[i].code == 0 && g[i].value == "DICTIONARY" && g[i + 1].code == 5 &&
                          g[i + 1].value == entry);
    EXPECT_TRUE(found) << "no dictionary object with handle " << entry;
}

TEST(FrameDocument, UnopenableOutputWritesNothing)
{
    CConverter converter;
    EXPECT_EQ(converter.BeginDxfDocument((ScratchDir() / "missing" / "out.dxf").string()), -1);
    EXPECT_EQ(converter.m_writer, nullptr);
    EXPECT_FALSE(std::filesystem::exists(ScratchDir() / "missing"));
    EXPECT_EQ(converter.EndDxfDocument(), -1);
}

TEST(FrameDocument, WriteErrorReportedAtEnd)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    CConverter converter;
    ASSERT_EQ(converter.BeginDxfDocument("/dev/full"), 0);
    EXPECT_EQ(converter.EndDxfDocument(), -1);
    EXPECT_EQ(converter.m_writer, nullptr);
}

// Every handle in use, as numbers; handles are the values of groups 5 and 105.
std::vector<unsigned long> Handles(const std::vector<Group>& groups)
{
    std::vector<unsigned long> handles;
    for (std::size_t i = 1; i < groups.size(); ++i)
        if ((groups[i].code == 5 && groups[i - 1].value != "$HANDSEED") || groups[i].code == 105)
            handles.push_back(std::stoul(groups[i].value, nullptr, 16));
    return handles;
}

// The guess at the handle count only chooses the placeholder's length: whether it is right, too
// small or too large (the rest of the file then moves forward or back), the bytes are the same.
TEST(FrameDocument, HandleSeedStaysAboveEveryHandle)
{
    for (const int count : {10, 70000})
    {
        std::string first;
        for (const unsigned long guess : {0ul, 10ul, 70000ul, 2000000ul})
        {
            SCOPED_TRACE(std::to_string(count) + " entities, " + std::to_string(guess) + " expected");
            CConverter converter;
            const std::string path =
                (ScratchDir() / ("seed-" + std::to_string(count) + "-" + std::to_string(guess) + ".dxf")).string();
            ASSERT_EQ(converter.BeginDxfDocument(path, guess), 0);
            const EntityStyle style = converter.OutlineStyle("");
            for (int i = 0; i < count; ++i)
                converter.WriteLwPolyline({{static_cast<double>(i), 0}}, 0, style);
            ASSERT_EQ(converter.EndDxfDocument(), 0);
            const std::string text = ReadFile(path);
            std::filesystem::remove(path);
            if (!first.empty())
            {
                EXPECT_TRUE(text == first);
                continue;
            }
            first = text;
            const auto groups = ParseGroups(text);
            ASSERT_EQ(groups.at(5).value, "$HANDSEED");
            const unsigned long seed = std::stoul(groups.at(6).value, nullptr, 16);
            const auto handles = Handles(groups);
            const std::set<unsigned long> distinct(handles.begin(), handles.end());
            EXPECT_EQ(distinct.size(), handles.size());
            ASSERT_FALSE(distinct.empty());
            EXPECT_LT(*distinct.rbegin(), seed);
            if (*distinct.rbegin() < 0xFFFF)
                EXPECT_EQ(groups.at(6).value, "FFFF");
            else
                EXPECT_EQ(seed, *distinct.rbegin() + 1);
            const std::filesystem::path copy = ScratchDir() / "seed-check.dxf";
            std::ofstream(copy, std::ios::binary) << text;
            EXPECT_EQ(CheckWithDxflib(copy.string()), "");
        }
    }
}

} // namespace
