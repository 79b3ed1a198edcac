// Vertex batching: the vertices of one polyline reach the writer in one call, noted as compact
// records for the writing thread (a repeated vertex as a single byte) or, while that thread is
// behind, made into text here (vertex_text.h).
#include "dxf/dxf_writer.h"
#include "dxf/group_records.h"
#include "dxf/vertex_text.h"
#include "dxf/writing_thread.h"

#include <cmath>
#include <cstring>

using namespace orbelin::dxf;

void CDxfWriter::Vertices(const std::vector<DxfVertex>& vertices, double minBulge) const
{
    // The text is made on whichever thread has time for it.
    if (m_sink->Behind())
    {
        VerticesAsText(vertices, minBulge);
        return;
    }
    // The writer's state in locals: stores into the block may alias anything, so members would be
    // read back from memory after every one of them.
    char* block = m_block;
    std::size_t used = m_used;
    if (m_openText != 0)
        CloseText();
    bool hasLast = m_hasLastVertex;
    m_blockHasRecords = true;
    double last[4];
    std::memcpy(last, m_lastVertex, sizeof last);
    for (const DxfVertex& vertex : vertices)
    {
        // x, y and the widths, the text a vertex's groups are made of.
        const double record[4] = {vertex.x, vertex.y, vertex.startWidth, vertex.endWidth};
        if (used + kVertexRecord > kBlockSize)
        {
            m_used = used;
            HandOver();
            m_blockHasRecords = true;
            block = m_block;
            used = m_used;
        }
        char* const out = block + used;
        // Compared by their bits: -0.0 and 0.0 print differently.
        if (hasLast && std::memcmp(record, last, sizeof last) == 0)
        {
            out[0] = kRepeatTag;
            used += 1;
        }
        else
        {
            std::memcpy(last, record, sizeof last);
            hasLast = true;
            std::uint64_t widthBits[2] = {};
            std::memcpy(widthBits, record + 2, sizeof widthBits);
            // Most polylines have no widths: half the record, half the traffic between the threads.
            if ((widthBits[0] | widthBits[1]) == 0)
            {
                out[0] = kPointTag;
                std::memcpy(out + 1, record, 2 * sizeof(double));
                used += kPointRecord;
            }
            else
            {
                out[0] = kVertexTag;
                std::memcpy(out + 1, record, 4 * sizeof(double));
                used += kVertexRecord;
            }
        }
        if (std::fabs(vertex.bulge) > minBulge)
        {
            m_used = used;
            dxfReal(42, vertex.bulge);
            block = m_block;
            used = m_used;
        }
    }
    m_used = used;
    m_hasLastVertex = hasLast;
    std::memcpy(m_lastVertex, last, sizeof last);
}

void CDxfWriter::VerticesAsText(const std::vector<DxfVertex>& vertices, double minBulge) const
{
    // Text leaves the last vertex of the records as it is, on both sides: a record after it may
    // still repeat that one. Within the batch, a vertex equal to the one before (flattened curves
    // repeat every junction point) copies that one's text while it is still in this thread's block.
    double last[4] = {};
    const char* lastText = nullptr;
    std::size_t lastSize = 0;
    CWidthText widthText;
    for (const DxfVertex& vertex : vertices)
    {
        const std::size_t before = m_used;
        Reserve(kMaxVertexText);
        // A block handed over belongs to the writing thread: its text cannot be copied any more.
        if (m_used < before)
            lastText = nullptr;
        if (m_openText == 0)
        {
            m_block[m_used] = kTextTag;
            m_openText = m_used + 1;
            m_used += kTextHeader;
        }
        char* const out = m_block + m_used;
        const double record[4] = {vertex.x, vertex.y, vertex.startWidth, vertex.endWidth};
        // Compared by their bits: -0.0 and 0.0 print differently.
        if (lastText != nullptr && std::memcmp(record, last, sizeof last) == 0)
        {
            std::memcpy(out, lastText, lastSize);
        }
        else
        {
            char* const end = PutPositionText(out, vertex.x, vertex.y, m_decimals);
            const std::string_view tail = widthText.For({vertex.startWidth, vertex.endWidth}, m_decimals);
            std::memcpy(end, tail.data(), tail.size());
            lastSize = static_cast<std::size_t>(end - out) + tail.size();
            std::memcpy(last, record, sizeof last);
        }
        lastText = out;
        m_used += lastSize;
        if (std::fabs(vertex.bulge) > minBulge)
        {
            const std::size_t beforeBulge = m_used;
            dxfReal(42, vertex.bulge);
            if (m_used < beforeBulge)
                lastText = nullptr;
        }
    }
}
