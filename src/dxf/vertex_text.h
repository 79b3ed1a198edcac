// The text of polyline vertices, made from records by the writing thread (writing_thread.cpp) or
// directly by the writer while that thread is behind (vertex_batch.cpp): the position groups 10 and
// 20, then 30, 40 and 41, whose text a polyline's vertices share.
#pragma once

#include "dxf/group_records.h"
#include "dxf/real_format.h"

#include <cstddef>
#include <cstring>
#include <string_view>

namespace orbelin::dxf
{

// The longest text of a vertex: four code lines and four reals, each with its line end.
inline constexpr std::size_t kMaxVertexText = 4 * (kMaxCodeLine + kDxfRealBufferSize + 1) + 8;

// The groups 10 and 20 of a polyline vertex; returns the end.
inline char* PutPositionText(char* out, double x, double y, int decimals)
{
    std::memcpy(out, " 10\n", 4);
    out = PutRealLine(out + 4, x, decimals);
    std::memcpy(out, " 20\n", 4);
    return PutRealLine(out + 4, y, decimals);
}

// The groups 30 (0), 40 and 41 that follow a vertex's position. A polyline's vertices share their
// widths, so the text is made once for each change of them.
class CWidthText
{
public:
    // The text for these widths (compared by their bits: -0.0 and 0.0 print differently).
    std::string_view For(const double (&widths)[2], int decimals)
    {
        if (m_size == 0 || std::memcmp(widths, m_widths, sizeof m_widths) != 0)
        {
            std::memcpy(m_widths, widths, sizeof m_widths);
            char* out = m_text;
            std::memcpy(out, " 30\n0.0\n 40\n", 12);
            out = PutRealLine(out + 12, widths[0], decimals);
            std::memcpy(out, " 41\n", 4);
            out = PutRealLine(out + 4, widths[1], decimals);
            m_size = static_cast<std::size_t>(out - m_text);
        }
        return {m_text, m_size};
    }

private:
    double m_widths[2] = {};
    std::size_t m_size = 0;
    char m_text[16 + 2 * (kDxfRealBufferSize + 1)];
};

} // namespace orbelin::dxf
