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
        EXPECT_FALSE(static_cast<const CDxfWriter&>(*writer).openFailed());
        // The library's own stream was given no file to open, so it created none (not even the
        // null device, which a run as root would otherwise make as a plain file where it is missing).
        EXPECT_TRUE(writer->openFailed());
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
