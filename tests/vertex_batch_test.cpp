// A polyline's vertices written in one batch must give the very groups the library writes one by one.
#include "dxf/dxf_writer.h"
#include "support/test_support.h"

#include <cmath>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace testing_support;

namespace
{

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

} // namespace
