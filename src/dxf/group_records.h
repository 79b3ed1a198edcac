// Record encoding: how CDxfWriter notes groups in blocks for the writing thread. A block is a run of
// records, each a tag and its data; the writer fills blocks (dxf_writer.cpp, vertex_batch.cpp), the
// writing thread (writing_thread.cpp) turns them into text with the code lines made here and the
// reals of real_format.h.
#pragma once

#include "dxf/real_format.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace orbelin::dxf
{

// Records of the groups travel in blocks of this size to the thread that writes them: large
// enough that handing a block over costs nothing, small enough to stay in the cache. A few blocks
// are in flight at most, so memory stays bounded whatever the drawing.
inline constexpr std::size_t kBlockSize = 128 * 1024;
// Blocks of text (see CDxfWriter::VerticesAsText) fill four times faster than blocks of records, so
// there are enough for a run of them behind the records still queued.
inline constexpr std::size_t kBlockCount = 32;
// The writing thread counts as behind with this many blocks of records queued (see CWritingThread::Behind).
inline constexpr std::size_t kBehindBlocks = 4;
// The text is written in pieces of about this size (as a copy in 1 MiB blocks would be).
inline constexpr std::size_t kOutputSize = 1024 * 1024;
// The longest code line with its line end: "  -2147483648\n".
inline constexpr std::size_t kMaxCodeLine = 16;

// Records in a block, each a tag and its data: text (a 32-bit length and the bytes, whole groups
// formatted already), a real group (the 32-bit code and the double), a polyline vertex (x, y and
// the two widths) or a vertex without widths (x and y, the widths being +0). The writing thread
// turns reals and vertices into text.
inline constexpr char kTextTag = 'T';
inline constexpr char kRealTag = 'R';
inline constexpr char kVertexTag = 'V';
inline constexpr char kPointTag = 'P';
// The same vertex as the last one (flattened curves repeat every junction point); no data.
inline constexpr char kRepeatTag = '=';
inline constexpr std::size_t kTextHeader = 1 + sizeof(std::uint32_t);
inline constexpr std::size_t kRealRecord = 1 + sizeof(std::int32_t) + sizeof(double);
inline constexpr std::size_t kVertexRecord = 1 + 4 * sizeof(double);
inline constexpr std::size_t kPointRecord = 1 + 2 * sizeof(double);

// Code lines as the library right-aligns them: "  5", " 10", "100", "1001".
inline std::size_t FormatCode(int gc, char* buffer)
{
    if (gc >= 0 && gc < 1000)
    {
        buffer[0] = gc < 100 ? ' ' : static_cast<char>('0' + gc / 100);
        buffer[1] = gc < 10 ? ' ' : kDigitPairs[(gc % 100) * 2];
        buffer[2] = static_cast<char>('0' + gc % 10);
        return 3;
    }
    char* out = buffer;
    if (gc < 10)
    {
        *out++ = ' ';
        *out++ = ' ';
    }
    return static_cast<std::size_t>(std::to_chars(out, buffer + 16, gc).ptr - buffer);
}

// The code lines of the common codes with their line end ("  5\n", "1001\n"), made at compile time.
struct CCodeLines
{
    static constexpr int kCount = 1100;
    char text[kCount][8];

    constexpr CCodeLines() : text{}
    {
        for (int gc = 0; gc < kCount; ++gc)
        {
            char* line = text[gc];
            if (gc < 1000)
            {
                line[0] = gc < 100 ? ' ' : static_cast<char>('0' + gc / 100);
                line[1] = gc < 10 ? ' ' : static_cast<char>('0' + gc / 10 % 10);
                line[2] = static_cast<char>('0' + gc % 10);
                line[3] = '\n';
            }
            else
            {
                line[0] = static_cast<char>('0' + gc / 1000);
                line[1] = static_cast<char>('0' + gc / 100 % 10);
                line[2] = static_cast<char>('0' + gc / 10 % 10);
                line[3] = static_cast<char>('0' + gc % 10);
                line[4] = '\n';
            }
        }
    }
    static constexpr std::size_t Length(int gc) { return gc < 1000 ? 4 : 5; }
};
inline constexpr CCodeLines kCodeLines;

// The code line of gc with its line end; the room after out takes at least kMaxCodeLine bytes.
inline char* PutCodeLine(char* out, int gc)
{
    if (gc >= 0 && gc < CCodeLines::kCount)
    {
        std::memcpy(out, kCodeLines.text[gc], sizeof kCodeLines.text[gc]);
        return out + CCodeLines::Length(gc);
    }
    out += FormatCode(gc, out);
    *out++ = '\n';
    return out;
}

} // namespace orbelin::dxf
