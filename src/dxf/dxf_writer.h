// The group writer of every DXF document this program writes: dxflib's ASCII writer, producing the
// very same bytes, but much faster. A vertex-heavy drawing writes millions of groups; the library's
// writer pays a stream insertion per piece of every group, a printf per real and a flush (a system
// call) per real. This one notes the groups in compact records (group_records.h), and a second
// thread (writing_thread.h) turns the records into text and writes them in large blocks, so the
// conversion goes on while the digits are made and the file is written. Its parts: dxf_writer.cpp
// fills the blocks, vertex_batch.cpp takes a polyline's vertices at once, real_format.h makes the
// digits, handle_seed.h puts the true handle seed into the finished file.
#pragma once

#include "dxf/group_records.h"
#include "dxf/real_format.h"
#include "dxf/vertex.h"

#include <cstddef>
#include <cstdint>
#include <dl_writer_ascii.h>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CWritingThread;

class CDxfWriter : public DL_WriterA
{
public:
    // Opens path for writing. An existing file is emptied only if it holds bytes: truncating an
    // empty file makes some file systems (ext4) write the whole new content back at close.
    // With shortestReals every real is written in the shortest text that reads back as the same
    // double, instead of dxflib's fixed notation.
    CDxfWriter(const char* path, DL_Codes::version dxfVersion, bool shortestReals = false);
    // Writes into an open descriptor (a pipe, a device) and closes it at the end; -1 fails at once.
    CDxfWriter(int fd, DL_Codes::version dxfVersion, bool shortestReals = false);
    ~CDxfWriter() override;
    CDxfWriter(const CDxfWriter&) = delete;
    CDxfWriter& operator=(const CDxfWriter&) = delete;

    void dxfReal(int gc, double value) const override;
    void dxfInt(int gc, int value) const override;
    void dxfHex(int gc, int value) const override;
    void dxfString(int gc, const char* value) const override;
    void dxfString(int gc, const std::string& value) const override;
    void dxfBool(int gc, bool value) const override { dxfInt(gc, value ? 1 : 0); }

    // The vertices of a polyline, each as the groups 10, 20, 30 (0), 40 and 41 would be written one
    // by one, then the bulge (group 42) if its magnitude exceeds minBulge.
    void Vertices(const std::vector<DxfVertex>& vertices, double minBulge) const;
    // The same groups, their text made on the calling thread. Vertices() does this by itself while
    // the writing thread is behind.
    void VerticesAsText(const std::vector<DxfVertex>& vertices, double minBulge) const;

    // Waits until every group so far is in the file. Done by itself at the document's closing
    // "0 / EOF" group, so that a caller that only knows DL_WriterA (whose close() is not virtual)
    // still has a complete file.
    void Flush() const;
    // True when the file could not be opened or a write failed (hides DL_WriterA::openFailed, which
    // knows only the library's stream).
    bool openFailed() const;
    // The errno value of the failure behind openFailed(), 0 when none.
    int ErrorNumber() const;
    // Flushes and closes the file; a write error shows in openFailed() afterwards.
    void close() const;
    // Gives the file up at once: what is still queued is dropped and openFailed() becomes true.
    void Abandon() const;

private:
    // Room for `size` more bytes in the current block, handing the block over first if needed.
    inline void Reserve(std::size_t size) const;
    inline void AppendText(const char* text, std::size_t size) const;
    inline void CloseText() const;
    void String(int gc, std::string_view value) const;
    [[gnu::noinline]] void HandOver() const;

    const int m_decimals;
    std::unique_ptr<CWritingThread> m_sink;
    // The block being filled: records of the groups not yet handed to the sink.
    mutable char* m_block = nullptr;
    mutable std::size_t m_used = 0;
    // Offset of the length field of the text record that is still open, or 0 for none.
    mutable std::size_t m_openText = 0;
    // The last vertex recorded (x, y and the widths), which the next may repeat.
    mutable double m_lastVertex[4] = {};
    mutable bool m_hasLastVertex = false;
    // The block being filled holds records, not only text.
    mutable bool m_blockHasRecords = false;
};

// Text goes into the open text record, or a new one, so that consecutive text groups cost one
// header between them.
inline void CDxfWriter::CloseText() const
{
    const auto length = static_cast<std::uint32_t>(m_used - m_openText - sizeof(std::uint32_t));
    std::memcpy(m_block + m_openText, &length, sizeof length);
    m_openText = 0;
}

inline void CDxfWriter::Reserve(std::size_t size) const
{
    // A text record may have to be opened too.
    if (m_used + size + orbelin::dxf::kTextHeader > orbelin::dxf::kBlockSize)
        HandOver();
}

// The caller has reserved the room.
inline void CDxfWriter::AppendText(const char* text, std::size_t size) const
{
    if (m_openText == 0)
    {
        m_block[m_used] = orbelin::dxf::kTextTag;
        m_openText = m_used + 1;
        m_used += orbelin::dxf::kTextHeader;
    }
    std::memcpy(m_block + m_used, text, size);
    m_used += size;
}
