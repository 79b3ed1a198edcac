// The group writer: notes every group of the document as a record in the current block
// (group_records.h) and hands full blocks to the writing thread (writing_thread.h). Vertices come in
// batches (vertex_batch.cpp).
#include "dxf/dxf_writer.h"

#include "dxf/group_records.h"
#include "dxf/writing_thread.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace orbelin::dxf;

namespace
{

int OpenOutput(const char* path, int& error)
{
    error = EINVAL;
    if (path == nullptr)
        return -1;
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    error = errno;
    if (fd < 0)
        return -1;
    struct stat info{};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 && ::ftruncate(fd, 0) != 0)
    {
        error = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

int DecimalsFor(DL_Codes::version dxfVersion, bool shortestReals)
{
    if (shortestReals)
        return kShortestReal;
    return dxfVersion == DL_Codes::AC1009_MIN ? 6 : 16;
}

} // namespace

// The library's own stream is given no file at all (an empty name opens nothing, so it creates
// nothing either): every group comes here, and the stream is never written.
CDxfWriter::CDxfWriter(const char* path, DL_Codes::version dxfVersion, bool shortestReals)
    : DL_WriterA("", dxfVersion), m_decimals(DecimalsFor(dxfVersion, shortestReals))
{
    int error = 0;
    const int fd = OpenOutput(path, error);
    m_sink = std::make_unique<CWritingThread>(fd, m_decimals, error);
    m_block = m_sink->FreshBlock();
}

CDxfWriter::CDxfWriter(int fd, DL_Codes::version dxfVersion, bool shortestReals)
    : DL_WriterA("", dxfVersion), m_decimals(DecimalsFor(dxfVersion, shortestReals)),
      m_sink(std::make_unique<CWritingThread>(fd, m_decimals, EBADF))
{
    m_block = m_sink->FreshBlock();
}

CDxfWriter::~CDxfWriter()
{
    close();
}

void CDxfWriter::HandOver() const
{
    if (m_openText != 0)
        CloseText();
    if (m_used == 0)
        return;
    m_sink->Submit(m_block, m_used, m_blockHasRecords);
    m_blockHasRecords = false;
    m_block = m_sink->FreshBlock();
    m_used = 0;
}

void CDxfWriter::dxfReal(int gc, double value) const
{
    if (m_used + kRealRecord > kBlockSize)
        HandOver();
    if (m_openText != 0)
        CloseText();
    m_blockHasRecords = true;
    char* out = m_block + m_used;
    const auto code = static_cast<std::int32_t>(gc);
    out[0] = kRealTag;
    std::memcpy(out + 1, &code, sizeof code);
    std::memcpy(out + 1 + sizeof code, &value, sizeof value);
    m_used += kRealRecord;
}

void CDxfWriter::String(int gc, std::string_view value) const
{
    Reserve(kMaxCodeLine);
    {
        char line[kMaxCodeLine];
        AppendText(line, static_cast<std::size_t>(PutCodeLine(line, gc) - line));
    }
    // Long values are split over blocks: to the sink, the records of a block are pure text.
    for (;;)
    {
        const std::size_t header = m_openText == 0 ? kTextHeader : 0;
        const std::size_t free = kBlockSize - m_used;
        if (value.size() + 1 + header <= free)
            break;
        if (free > header)
        {
            const std::size_t piece = free - header;
            AppendText(value.data(), piece);
            value.remove_prefix(piece);
        }
        HandOver();
    }
    AppendText(value.data(), value.size());
    AppendText("\n", 1);
    // The document's last group: everything reaches the file before anyone closes it.
    if (gc == 0 && value == "EOF")
        Flush();
}

void CDxfWriter::Flush() const
{
    HandOver();
    m_sink->Drain();
}

bool CDxfWriter::openFailed() const
{
    return m_sink->Failed();
}

int CDxfWriter::ErrorNumber() const
{
    return m_sink->Error();
}

void CDxfWriter::Abandon() const
{
    m_sink->Abandon();
}

void CDxfWriter::close() const
{
    HandOver();
    m_sink->Close();
    DL_WriterA::close();
}

void CDxfWriter::dxfInt(int gc, int value) const
{
    char text[16];
    char* end = std::to_chars(text, text + sizeof text, value).ptr;
    String(gc, std::string_view(text, static_cast<std::size_t>(end - text)));
}

void CDxfWriter::dxfHex(int gc, int value) const
{
    // printf("%0X"): the int's bits as an unsigned number, upper case, no padding.
    char text[16];
    char* end = std::to_chars(text, text + sizeof text, static_cast<unsigned int>(value), 16).ptr;
    std::transform(text, end, text,
                   [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c; });
    String(gc, std::string_view(text, static_cast<std::size_t>(end - text)));
}

void CDxfWriter::dxfString(int gc, const char* value) const
{
    // The library would write the code line and then fail its stream; nothing is the sound choice.
    if (value != nullptr)
        String(gc, value);
}

void CDxfWriter::dxfString(int gc, const std::string& value) const
{
    String(gc, value);
}
