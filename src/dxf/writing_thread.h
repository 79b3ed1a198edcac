// The writing thread: takes the blocks that CDxfWriter fills (group_records.h), turns their records
// into text (real_format.h, vertex_text.h) and writes the text to the output file in large pieces.
// It runs beside the conversion once the first block is full, so a small document never starts
// one; if no thread can be started, every block is written at once on the caller's thread instead.
#pragma once

#include "dxf/group_records.h"
#include "dxf/vertex_text.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CWritingThread
{
public:
    // Takes over the open file descriptor fd (-1: the file could not be opened, for the reason
    // openError).
    CWritingThread(int fd, int decimals, int openError)
        : m_fd(fd), m_decimals(decimals), m_output(new char[orbelin::dxf::kOutputSize])
    {
        m_failed = fd < 0;
        m_error = fd < 0 ? openError : 0;
    }
    ~CWritingThread() { Close(); }
    CWritingThread(const CWritingThread&) = delete;
    CWritingThread& operator=(const CWritingThread&) = delete;

    // An empty block to fill; waits while every block is in flight.
    char* FreshBlock();

    // Queues a filled block, which returns to the pool once written. `records` tells whether it
    // holds records to turn into text, or text only.
    void Submit(char* block, std::size_t used, bool records);

    // True when the writing thread has several blocks of records still to turn into text: the
    // producer is then ahead, and would soon wait for it. Blocks of text only cost a copy.
    bool Behind() const
    {
        return m_recordBacklog.load(std::memory_order_relaxed) >= orbelin::dxf::kBehindBlocks;
    }

    // Waits until everything submitted is in the file (or has failed).
    void Drain();

    bool Failed() const { return m_failed; }
    // The errno value of the first failure, 0 when none.
    int Error() const { return m_error; }
    // Gives the file up: nothing more is formatted or written, and it counts as failed.
    void Abandon() { Failure(ECANCELED); }

    // Drains, ends the thread and closes the file; true when every byte reached it.
    bool Close();

private:
    void Start();

    void Run();

    void Process(const char* records, std::size_t size);

    void Emit(const char* text, std::size_t size);

    // The value's text and a line end at out; returns the end.
    char* PutReal(char* out, double value);

    void EmitReal(int gc, double value);

    // Where the next vertex's text goes, with room for the longest.
    char* VertexStart();

    // The groups 10 and 20 of a vertex at out; returns the end.
    char* PutPosition(char* out, double x, double y);

    void EmitVertex(const double (&values)[4]);

    // A vertex without widths: the groups after y are always the same.
    void EmitPoint(const double (&values)[2]);

    // The text of the last vertex stays where it was written, for a record that repeats it; it is
    // saved aside only when the output is written out from under it.
    void NoteVertex(const char* start, const char* end);

    void EmitLastVertex();

    void WriteBuffered();

    void WriteAll(const char* text, std::size_t size);

    // Notes the first failure and its reason; later ones keep the first reason.
    void Failure(int error)
    {
        if (!m_failed.exchange(true))
            m_error = error;
    }

    int m_fd;
    const int m_decimals;
    std::unique_ptr<char[]> m_output;
    std::size_t m_outputUsed = 0;
    std::atomic<bool> m_failed{false};
    std::atomic<int> m_error{0};

    static constexpr int kRealCacheBits = 4;
    struct CCachedReal
    {
        std::uint64_t bits = 0;
        std::uint32_t length = 0; // 0: empty
        char text[36] = {};
    };
    CCachedReal m_realCache[1 << kRealCacheBits];
    orbelin::dxf::CWidthText m_widthText;
    // Where the text of the last vertex is: in the output at m_lastVertexAt, or in m_lastVertex.
    static constexpr std::size_t kVertexSaved = ~std::size_t{0};
    std::unique_ptr<char[]> m_lastVertex{new char[orbelin::dxf::kMaxVertexText]};
    std::size_t m_lastVertexAt = kVertexSaved;
    std::size_t m_lastVertexSize = 0;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::vector<char*> m_free;
    struct CQueued
    {
        char* block;
        std::size_t used;
        bool records;
    };
    std::deque<CQueued> m_queue;
    std::atomic<std::size_t> m_recordBacklog{0};
    bool m_busy = false;
    bool m_producerWaiting = false;
    bool m_stopping = false;
    bool m_inline = false;
    std::thread m_thread;
};
