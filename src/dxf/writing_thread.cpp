#include "dxf/writing_thread.h"

#include <cerrno>
#include <system_error>
#include <unistd.h>

using namespace orbelin::dxf;

char* CWritingThread::FreshBlock()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_free.empty() && m_blocks.size() < kBlockCount)
    {
        m_blocks.emplace_back(new char[kBlockSize]);
        return m_blocks.back().get();
    }
    m_producerWaiting = true;
    m_changed.wait(lock, [this] { return !m_free.empty(); });
    m_producerWaiting = false;
    char* block = m_free.back();
    m_free.pop_back();
    return block;
}

void CWritingThread::Submit(char* block, std::size_t used, bool records)
{
    if (!m_thread.joinable() && !m_inline)
        Start();
    if (m_inline)
    {
        Process(block, used);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_free.push_back(block);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(CQueued{block, used, records});
        if (records)
            m_recordBacklog.fetch_add(1, std::memory_order_relaxed);
    }
    m_changed.notify_all();
}

void CWritingThread::Drain()
{
    if (m_thread.joinable())
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_queue.empty() && !m_busy; });
    }
    else
    {
        WriteBuffered();
    }
}

bool CWritingThread::Close()
{
    Drain();
    if (m_thread.joinable())
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    WriteBuffered();
    if (m_fd >= 0)
    {
        // A full disk can show only now, on file systems that allocate at close.
        if (::close(m_fd) != 0)
            Failure(errno);
        m_fd = -1;
    }
    return !m_failed;
}

void CWritingThread::Start()
{
    try
    {
        m_thread = std::thread([this] { Run(); });
    }
    catch (const std::system_error&)
    {
        m_inline = true;
    }
}

void CWritingThread::Run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;)
    {
        m_changed.wait(lock, [this] { return !m_queue.empty() || m_stopping; });
        if (m_queue.empty())
            return;
        const auto [block, used, records] = m_queue.front();
        m_queue.pop_front();
        if (records)
            m_recordBacklog.fetch_sub(1, std::memory_order_relaxed);
        m_busy = true;
        lock.unlock();
        // A failed or abandoned file needs no more text: the queue only drains.
        if (!m_failed)
            Process(block, used);
        lock.lock();
        // Written whenever the producer is behind, so that Drain() finds everything in the file.
        if (m_queue.empty())
        {
            lock.unlock();
            WriteBuffered();
            lock.lock();
        }
        m_free.push_back(block);
        m_busy = false;
        // A waiting producer is woken once half the blocks are free rather than for each one:
        // on a virtual machine a wake-up costs more than a block takes to fill.
        if ((m_producerWaiting && m_free.size() >= kBlockCount / 2) || m_queue.empty())
            m_changed.notify_all();
    }
}

void CWritingThread::Process(const char* records, std::size_t size)
{
    const char* const end = records + size;
    while (records < end)
    {
        const char tag = *records++;
        if (tag == kTextTag)
        {
            std::uint32_t length = 0;
            std::memcpy(&length, records, sizeof length);
            records += sizeof length;
            Emit(records, length);
            records += length;
        }
        else if (tag == kRealTag)
        {
            std::int32_t gc = 0;
            double value = 0.0;
            std::memcpy(&gc, records, sizeof gc);
            std::memcpy(&value, records + sizeof gc, sizeof value);
            records += sizeof gc + sizeof value;
            EmitReal(gc, value);
        }
        else if (tag == kRepeatTag)
        {
            EmitLastVertex();
        }
        else if (tag == kPointTag)
        {
            double values[2];
            std::memcpy(values, records, sizeof values);
            records += sizeof values;
            EmitPoint(values);
        }
        else
        {
            double values[4];
            std::memcpy(values, records, sizeof values);
            records += sizeof values;
            EmitVertex(values);
        }
    }
}

void CWritingThread::Emit(const char* text, std::size_t size)
{
    if (m_outputUsed + size > kOutputSize)
    {
        WriteBuffered();
        if (size > kOutputSize / 2)
        {
            WriteAll(text, size);
            return;
        }
    }
    std::memcpy(m_output.get() + m_outputUsed, text, size);
    m_outputUsed += size;
}

char* CWritingThread::PutReal(char* out, double value)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    // Zero is most of the reals of a polyline (widths) and needs no digits.
    if (bits == 0)
    {
        std::memcpy(out, "0.0\n", 4);
        return out + 4;
    }
    // Drawings repeat many reals: the corners of a rectangle share their x and y, shapes and
    // groups share radii and offsets. A small cache keyed by the exact bits skips their digits.
    CCachedReal& cached = m_realCache[(bits * 0x9E3779B97F4A7C15ull) >> (64 - kRealCacheBits)];
    if (cached.length != 0 && cached.bits == bits)
    {
        std::memcpy(out, cached.text, sizeof cached.text);
        out[cached.length] = '\n';
        return out + cached.length + 1;
    }
    char* const end = PutRealLine(out, value, m_decimals);
    const auto length = static_cast<std::size_t>(end - out - 1);
    if (length <= sizeof cached.text)
    {
        cached.bits = bits;
        cached.length = static_cast<std::uint32_t>(length);
        std::memcpy(cached.text, out, length);
    }
    return end;
}

void CWritingThread::EmitReal(int gc, double value)
{
    if (m_outputUsed + kMaxCodeLine + kDxfRealBufferSize + 1 > kOutputSize)
        WriteBuffered();
    char* const start = m_output.get() + m_outputUsed;
    char* out = PutCodeLine(start, gc);
    out = PutReal(out, value);
    m_outputUsed += static_cast<std::size_t>(out - start);
}

char* CWritingThread::VertexStart()
{
    if (m_outputUsed + kMaxVertexText > kOutputSize)
        WriteBuffered();
    return m_output.get() + m_outputUsed;
}

char* CWritingThread::PutPosition(char* out, double x, double y)
{
    std::memcpy(out, " 10\n", 4);
    out = PutReal(out + 4, x);
    std::memcpy(out, " 20\n", 4);
    return PutReal(out + 4, y);
}

void CWritingThread::EmitVertex(const double (&values)[4])
{
    char* const start = VertexStart();
    char* const out = PutPosition(start, values[0], values[1]);
    const std::string_view tail = m_widthText.For({values[2], values[3]}, m_decimals);
    std::memcpy(out, tail.data(), tail.size());
    NoteVertex(start, out + tail.size());
}

void CWritingThread::EmitPoint(const double (&values)[2])
{
    char* const start = VertexStart();
    char* const out = PutPosition(start, values[0], values[1]);
    static constexpr char kTail[] = " 30\n0.0\n 40\n0.0\n 41\n0.0\n";
    std::memcpy(out, kTail, sizeof kTail - 1);
    NoteVertex(start, out + sizeof kTail - 1);
}

void CWritingThread::NoteVertex(const char* start, const char* end)
{
    m_lastVertexSize = static_cast<std::size_t>(end - start);
    m_lastVertexAt = m_outputUsed;
    m_outputUsed += m_lastVertexSize;
}

void CWritingThread::EmitLastVertex()
{
    // Made room for first: that may write the output out and save the last vertex aside.
    char* const to = VertexStart();
    const char* const from =
        m_lastVertexAt == kVertexSaved ? m_lastVertex.get() : m_output.get() + m_lastVertexAt;
    std::memcpy(to, from, m_lastVertexSize);
    m_lastVertexAt = m_outputUsed;
    m_outputUsed += m_lastVertexSize;
}

void CWritingThread::WriteBuffered()
{
    if (m_lastVertexAt != kVertexSaved)
    {
        std::memcpy(m_lastVertex.get(), m_output.get() + m_lastVertexAt, m_lastVertexSize);
        m_lastVertexAt = kVertexSaved;
    }
    WriteAll(m_output.get(), m_outputUsed);
    m_outputUsed = 0;
}

void CWritingThread::WriteAll(const char* text, std::size_t size)
{
    while (size > 0 && !m_failed)
    {
        const ssize_t written = ::write(m_fd, text, size);
        if (written < 0)
        {
            if (errno == EINTR)
                continue;
            Failure(errno);
            return;
        }
        text += written;
        size -= static_cast<std::size_t>(written);
    }
}
