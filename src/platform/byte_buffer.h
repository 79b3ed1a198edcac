// The bytes of a whole file in memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orbelin
{

// Large contents get memory of their own that the system may back with large pages: filling a
// 10 MB buffer page by page costs thousands of page faults, more than reading the file itself.
class CByteBuffer
{
public:
    CByteBuffer() = default;
    ~CByteBuffer() { Release(); }
    CByteBuffer(CByteBuffer&& other) noexcept;
    CByteBuffer& operator=(CByteBuffer&& other) noexcept;
    CByteBuffer(const CByteBuffer&) = delete;
    CByteBuffer& operator=(const CByteBuffer&) = delete;

    // Reads the whole regular file, or a named pipe to its end; false (and the buffer empty) when
    // it cannot be opened or read, with the errno value in *error. A pipe that no program opens for
    // writing within a few seconds is given up (ENODATA); a device is refused (EOPNOTSUPP).
    bool ReadFile(const std::string& path, int* error = nullptr);
    // Reads an open descriptor (standard input) to its end, which it does not close.
    bool ReadStream(int fd, int* error = nullptr);
    void Assign(std::string_view bytes);
    std::string_view View() const { return {m_data, m_size}; }

private:
    // Room for size bytes; false when no memory could be had.
    bool Allocate(std::size_t size);
    // Reads fd to its end; waitMs bounds the wait for the first byte (-1: no bound).
    bool ReadToEnd(int fd, int waitMs, int* error);
    void Release();

    char* m_data = nullptr;
    std::size_t m_size = 0;
    // The whole mapping behind m_data, for memory that came from the system; 0 for the heap.
    void* m_mapping = nullptr;
    std::size_t m_mappingSize = 0;
};

} // namespace orbelin
