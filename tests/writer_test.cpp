// The DXF group writer must print every real exactly as dxflib's own writer does: the library's
// output is what CAD programs and the golden files have always seen.
#include "dxf/dxf_writer.h"
#include "support/test_support.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using namespace testing_support;

namespace
{

// What dxflib writes for the values, one group each, in a file of its own.
template <class Writer>
std::string WriteWith(const std::vector<double>& values, DL_Codes::version version, const std::string& name)
{
    const std::filesystem::path path = ScratchDir() / name;
    {
        Writer writer(path.string().c_str(), version);
        for (double v : values)
            writer.dxfReal(10, v);
        writer.close();
    }
    return ReadFile(path);
}

std::string Format(double value, int decimals = 16)
{
    char buffer[kDxfRealBufferSize];
    return std::string(buffer, FormatDxfReal(value, decimals, buffer));
}

struct RealCase
{
    const char* name;
    double value;
    const char* text;
};

class FormatDxfRealTest : public ::testing::TestWithParam<RealCase>
{
};

TEST_P(FormatDxfRealTest, PrintsAsTheLibrary)
{
    EXPECT_EQ(Format(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, FormatDxfRealTest,
    ::testing::Values(
        RealCase{"Zero", 0.0, "0.0"}, RealCase{"NegativeZero", -0.0, "-0.0"}, RealCase{"Whole", 2.0, "2.0"},
        RealCase{"Half", 0.5, "0.5"}, RealCase{"Third", 1.0 / 3.0, "0.3333333333333333"},
        RealCase{"SixteenFixedDecimals", 123456789.123456789, "123456789.1234567910432816"},
        RealCase{"TinyVanishes", 1e-20, "0.0"}, RealCase{"TinyNegativeKeepsSign", -1e-20, "-0.0"},
        RealCase{"Small", 2.5e-7, "0.00000025"}, RealCase{"Huge", 1e20, "100000000000000000000.0"},
        // 2^-17 = 0.00000762939453125: a tie at the 17th decimal rounds to the even digit.
        RealCase{"TieToEven", 0.00000762939453125, "0.0000076293945312"},
        RealCase{"NotQuiteTenth", 100.05, "100.0499999999999972"},
        RealCase{"Infinity", std::numeric_limits<double>::infinity(), "inf"}),
    [](const ::testing::TestParamInfo<RealCase>& row) { return std::string(row.param.name); });

TEST(FormatDxfRealTest, OldVersionKeepsSixDecimals)
{
    EXPECT_EQ(Format(1.0 / 3.0, 6), "0.333333");
    EXPECT_EQ(Format(2.5, 6), "2.5");
    EXPECT_EQ(Format(0.0000005, 6), "0.0"); // exactly below the half: rounds down
}

TEST(FormatDxfRealTest, LargestDoubleFitsTheBuffer)
{
    const std::string text = Format(std::numeric_limits<double>::max());
    EXPECT_EQ(text.size(), 311u); // 309 digits, the point and one decimal
    EXPECT_EQ(text.substr(text.size() - 2), ".0");
}

// A large table of values compared with dxflib itself: random bit patterns over the whole range the
// library can print, drawing-like coordinates, ties k / 2^n at every position and decade steps.
std::vector<double> ValueTable()
{
    std::vector<double> values = {0.0,
                                  -0.0,
                                  std::numeric_limits<double>::denorm_min(),
                                  std::numeric_limits<double>::min(),
                                  1e15,
                                  -1e15,
                                  1e200,
                                  -1e200,
                                  std::nan(""),
                                  -std::nan(""),
                                  -std::numeric_limits<double>::infinity()};
    CXorShift next(0x9E3779B97F4A7C15ull);
    for (int i = 0; i < 30000; ++i)
    {
        const std::uint64_t bits = next();
        double v = 0.0;
        std::memcpy(&v, &bits, sizeof v);
        // dxflib's 256-byte buffer overflows beyond about 1e238.
        if (std::isfinite(v) && std::fabs(v) < 1e200)
            values.push_back(v);
        values.push_back((static_cast<double>(next() >> 11) / 9007199254740992.0 - 0.5) * 2e4);
        values.push_back(std::round(values.back() * 1000.0) / 1000.0);
    }
    for (int n = 17; n < 64; ++n)
        for (int k = 1; k < 200; k += 2)
        {
            values.push_back(std::ldexp(k, -n));
            values.push_back(-std::ldexp(k, -n));
            values.push_back(1000.0 + std::ldexp(k, -n));
        }
    // Polyline vertices as the writer meets them: repeated z, widths and shared junction points.
    for (int i = 0; i < 20000; ++i)
    {
        const double x = static_cast<double>(next() >> 11) / 9007199254740992.0 * 1000.0;
        const double y = -x / 3.0;
        for (double v : {x, y, 0.0, 0.5, 0.5, x, y, 0.0, 0.5, 0.5})
            values.push_back(v);
    }
    for (int e = -20; e <= 20; ++e)
        for (int k = 1; k < 100; ++k)
            values.push_back(k * std::pow(10.0, e));
    // Full mantissas on both sides of the magnitudes whose digits take the short way (2^-11, 2^36).
    for (int e : {-13, -12, -11, -10, 34, 35, 36, 37})
        for (int i = 0; i < 2000; ++i)
        {
            const double v = std::ldexp(1.0 + static_cast<double>(next() >> 12) / 4503599627370496.0, e);
            values.push_back(v);
            values.push_back(-v);
        }
    return values;
}

TEST(CDxfWriterTest, WritesEveryRealAsTheLibrary)
{
    const std::vector<double> values = ValueTable();
    for (DL_Codes::version version : {DL_Codes::AC1015, DL_Codes::AC1009_MIN})
    {
        const std::string expected = WriteWith<DL_WriterA>(values, version, "library.dxf");
        const std::string actual = WriteWith<CDxfWriter>(values, version, "orbelin.dxf");
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(FirstDifference(expected, actual), "") << "version " << version;
    }
}

// Every kind of group, with the code widths, empty and odd values the library meets.
template <class Writer> void WriteMixedGroups(const Writer& writer)
{
    for (int i = 0; i < 20000; ++i)
    {
        writer.dxfString(0, "LWPOLYLINE");
        writer.dxfHex(5, i * 7919);
        writer.dxfString(100, std::string("AcDbEntity"));
        writer.dxfString(8, i % 3 == 0 ? "" : "layer");
        writer.dxfInt(62, i - 10000);
        writer.dxfInt(1071, i * 100003);
        writer.dxfBool(290, i % 2 == 0);
        writer.dxfString(1, std::string("a\0b", 3));
        writer.dxfReal(10, i * 0.1);
        writer.dxfReal(1040, -i / 7.0);
        writer.dxfInt(-5, i);
    }
    writer.dxfHex(5, -1);
    writer.dxfEOF();
}

TEST(CDxfWriterTest, WritesEveryGroupAsTheLibrary)
{
    const std::filesystem::path expectedPath = ScratchDir() / "groups-library.dxf";
    const std::filesystem::path actualPath = ScratchDir() / "groups-orbelin.dxf";
    {
        DL_WriterA library(expectedPath.string().c_str(), DL_Codes::AC1015);
        WriteMixedGroups(library);
        library.close();
    }
    {
        // Closed through the library's own (non-virtual) close, as the document frame does: the
        // closing EOF group has handed everything to the stream already.
        std::unique_ptr<DL_WriterA> writer =
            std::make_unique<CDxfWriter>(actualPath.string().c_str(), DL_Codes::AC1015);
        WriteMixedGroups(*writer);
        writer->close();
        EXPECT_FALSE(writer->openFailed());
    }
    EXPECT_EQ(FirstDifference(ReadFile(expectedPath), ReadFile(actualPath)), "");
}

TEST(CDxfWriterTest, DestructionHandsOverWhatIsHeld)
{
    const std::filesystem::path path = ScratchDir() / "unclosed.dxf";
    {
        CDxfWriter writer(path.string().c_str(), DL_Codes::AC1015);
        writer.dxfString(0, "SECTION");
        writer.dxfReal(10, 1.5);
    }
    EXPECT_EQ(ReadFile(path), "  0\nSECTION\n 10\n1.5\n");
}

TEST(CDxfWriterTest, WriteErrorShowsAfterClose)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    CDxfWriter writer("/dev/full", DL_Codes::AC1015);
    ASSERT_FALSE(writer.openFailed());
    writer.dxfString(0, "SECTION");
    writer.dxfReal(10, 0.5);
    writer.close();
    EXPECT_TRUE(writer.openFailed());
}

// Polyline vertices in one batch, against the library writing their groups one by one: repeated
// vertices (which travel as a single byte), widths that are +0, -0 or real, bulges on either side
// of the threshold, and enough of them to fill many blocks.
TEST(CDxfWriterTest, VerticesWriteAsTheLibraryGroupByGroup)
{
    constexpr double kMinBulge = 1e-10;
    std::vector<DxfVertex> vertices;
    const auto add = [&vertices](double x, double y, double w0, double w1, double bulge)
    { vertices.push_back(DxfVertex{x, y, w0, w1, bulge}); };
    add(1.5, 2.5, 0.0, 0.0, 0.0);
    add(1.5, 2.5, 0.0, 0.0, 0.0);   // repeated
    add(1.5, 2.5, -0.0, 0.0, 0.0);  // the same but for the sign of a width
    add(1.5, 2.5, 0.0, 0.0, 0.5);   // a bulge does not make a vertex new
    add(1.5, 2.5, 0.0, 0.0, 1e-12); // below the threshold: no group 42
    add(-0.0, 0.0, 0.25, 0.25, -0.5);
    add(-0.0, 0.0, 0.25, 0.25, 0.0);
    add(1e15, -1e15, 3.0, 4.0, 0.0);
    add(7.25, 8.5, 0.0, 0.0, 0.0);
    add(9.75, 10.5, 0.0, 0.0, 0.0);
    add(7.25, 8.5, 0.0, 0.0, 0.0);
    add(7.25, 8.5, 0.0, -0.0, 0.0); // only the end width's sign differs
    add(7.5, 8.5, 0.0, 0.75, 0.0);
    for (int i = 0; i < 60000; ++i)
    {
        const double x = i * 0.123456789;
        const double width = i % 7 == 0 ? 0.5 : 0.0;
        add(x, -x, width, width, i % 11 == 0 ? 0.25 : 0.0);
        if (i % 2 == 0)
            add(x, -x, width, width, 0.0);
    }

    const std::filesystem::path expectedPath = ScratchDir() / "vertices-library.dxf";
    {
        DL_WriterA library(expectedPath.string().c_str(), DL_Codes::AC1015);
        for (const DxfVertex& v : vertices)
        {
            library.dxfReal(10, v.x);
            library.dxfReal(20, v.y);
            library.dxfReal(30, 0.0);
            library.dxfReal(40, v.startWidth);
            library.dxfReal(41, v.endWidth);
            if (std::fabs(v.bulge) > kMinBulge)
                library.dxfReal(42, v.bulge);
        }
        library.dxfString(0, "EOF");
        library.close();
    }
    const std::string expected = ReadFile(expectedPath);
    // The file that `write` makes with a CDxfWriter, closed by the document's end.
    const auto writtenBy = [](const char* name, const std::function<void(CDxfWriter&)>& write)
    {
        const std::filesystem::path path = ScratchDir() / name;
        {
            CDxfWriter writer(path.string().c_str(), DL_Codes::AC1015);
            write(writer);
            writer.dxfString(0, "EOF");
            writer.close();
            EXPECT_FALSE(writer.openFailed());
        }
        return ReadFile(path);
    };
    const auto at = [&vertices](std::size_t i) { return vertices.begin() + static_cast<std::ptrdiff_t>(i); };

    // In two batches, so that the repetition also spans a call.
    const auto records = [&](CDxfWriter& writer)
    {
        writer.Vertices({at(0), at(2)}, kMinBulge);
        writer.Vertices({at(2), vertices.end()}, kMinBulge);
    };
    EXPECT_EQ(FirstDifference(expected, writtenBy("vertices-orbelin.dxf", records)), "");

    // The text made on the calling thread, in turns with records: 1001 and 30011 repeat the vertex
    // before them, which the other way wrote, and 10 repeats 8, the last of the records before the
    // text of 9.
    const auto mixed = [&](CDxfWriter& writer)
    {
        writer.VerticesAsText({at(0), at(2)}, kMinBulge);
        writer.Vertices({at(2), at(9)}, kMinBulge);
        writer.VerticesAsText({at(9), at(10)}, kMinBulge);
        writer.Vertices({at(10), at(1001)}, kMinBulge);
        writer.VerticesAsText({at(1001), at(30011)}, kMinBulge);
        writer.Vertices({at(30011), vertices.end()}, kMinBulge);
    };
    EXPECT_EQ(FirstDifference(expected, writtenBy("vertices-mixed.dxf", mixed)), "");

    // All as text: the width groups, made once per change of widths, follow every change, the sign
    // of a zero included.
    const auto text = [&](CDxfWriter& writer) { writer.VerticesAsText(vertices, kMinBulge); };
    EXPECT_EQ(FirstDifference(expected, writtenBy("vertices-text.dxf", text)), "");
}

// Values longer than a block of records are split over blocks and must come out whole.
TEST(CDxfWriterTest, LongValuesCrossBlocks)
{
    const std::filesystem::path expectedPath = ScratchDir() / "long-library.dxf";
    const std::filesystem::path actualPath = ScratchDir() / "long-orbelin.dxf";
    const auto writeAll = [](const DL_WriterA& writer)
    {
        for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{65535}, std::size_t{131071},
                                       std::size_t{131072}, std::size_t{300000}, std::size_t{1} << 21})
        {
            std::string value(size, 'a');
            for (std::size_t i = 0; i < size; i += 997)
                value[i] = static_cast<char>('b' + i % 20);
            writer.dxfReal(10, static_cast<double>(size) / 3.0);
            writer.dxfString(1, value);
            writer.dxfInt(70, static_cast<int>(size));
        }
        writer.dxfString(0, "EOF");
    };
    {
        DL_WriterA library(expectedPath.string().c_str(), DL_Codes::AC1015);
        writeAll(library);
        library.close();
    }
    {
        CDxfWriter writer(actualPath.string().c_str(), DL_Codes::AC1015);
        writeAll(writer);
        writer.close();
    }
    EXPECT_TRUE(ReadFile(expectedPath) == ReadFile(actualPath));
}

// A write error found by the writing thread, with many blocks still coming, neither hangs nor is
// lost; and an existing file is emptied before it is written.
TEST(CDxfWriterTest, ErrorsAndExistingFiles)
{
    if (std::filesystem::exists("/dev/full"))
    {
        CDxfWriter writer("/dev/full", DL_Codes::AC1015);
        for (int i = 0; i < 500000; ++i)
            writer.dxfReal(10, i * 0.5);
        writer.close();
        EXPECT_TRUE(writer.openFailed());
    }
    const std::filesystem::path path = ScratchDir() / "existing.dxf";
    WriteFile(path, std::string(100000, 'x'));
    {
        CDxfWriter writer(path.string().c_str(), DL_Codes::AC1015);
        writer.dxfString(0, "EOF");
    }
    EXPECT_EQ(ReadFile(path), "  0\nEOF\n");
    CDxfWriter missing((ScratchDir() / "no-such-folder" / "x.dxf").string().c_str(), DL_Codes::AC1015);
    EXPECT_TRUE(missing.openFailed());
    missing.dxfReal(10, 1.0);
    missing.close();
    EXPECT_TRUE(missing.openFailed());
}

} // namespace
