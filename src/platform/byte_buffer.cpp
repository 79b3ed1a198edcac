#include "platform/byte_buffer.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace orbelin
{

namespace
{

// Below this the heap serves; above, the few large pages pay for the mapping's system calls.
constexpr std::size_t kMappedFrom = 1024 * 1024;
// The large-page size of x86-64 and most 64-bit ARM systems; only an alignment hint elsewhere.
constexpr std::size_t kLargePage = 2 * 1024 * 1024;
// How long a named pipe is given to get a writer.
constexpr int kWriterWaitMs = 5000;

} // namespace

CByteBuffer::CByteBuffer(CByteBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_mapping(std::exchange(other.m_mapping, nullptr)), m_mappingSize(std::exchange(other.m_mappingSize, 0))
{
}

CByteBuffer& CByteBuffer::operator=(CByteBuffer&& other) noexcept
{
    if (this != &other)
    {
        Release();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_mapping = std::exchange(other.m_mapping, nullptr);
        m_mappingSize = std::exchange(other.m_mappingSize, 0);
    }
    return *this;
}

void CByteBuffer::Release()
{
    if (m_mapping != nullptr)
        munmap(m_mapping, m_mappingSize);
    else
        delete[] m_data;
    m_data = nullptr;
    m_size = 0;
    m_mapping = nullptr;
    m_mappingSize = 0;
}

bool CByteBuffer::Allocate(std::size_t size)
{
    Release();
    if (size >= kMappedFrom && size < SIZE_MAX / 2)
    {
        // One large page more than needed, so that the buffer can start on a large-page boundary.
        const std::size_t length = (size + kLargePage - 1) / kLargePage * kLargePage + kLargePage;
        void* mapping = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping != MAP_FAILED)
        {
            const auto address = reinterpret_cast<std::uintptr_t>(mapping);
            const std::uintptr_t aligned =
                (address + kLargePage - 1) & ~static_cast<std::uintptr_t>(kLargePage - 1);
            m_mapping = mapping;
            m_mappingSize = length;
            m_data = reinterpret_cast<char*>(aligned);
#ifdef MADV_HUGEPAGE
            // Only advice: where large pages are off or used up, small ones serve as before.
            madvise(m_data, length - (aligned - address), MADV_HUGEPAGE);
#endif
            return true;
        }
    }
    m_data = new (std::nothrow) char[size == 0 ? 1 : size];
    return m_data != nullptr;
}

void CByteBuffer::Assign(std::string_view bytes)
{
    if (!Allocate(bytes.size()))
        return;
    if (!bytes.empty())
        std::memcpy(m_data, bytes.data(), bytes.size());
    m_size = bytes.size();
}

bool CByteBuffer::ReadFile(const std::string& path, int* error)
{
    Release();
    int failure = 0;
    // Not blocking: opening a named pipe would otherwise wait for a writer that may never come.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
    {
        if (error)
            *error = errno;
        return false;
    }
    struct stat info = {};
    if (fstat(fd, &info) != 0)
        failure = errno;
    else if (S_ISDIR(info.st_mode))
        failure = EISDIR; // a folder opens on Linux but has no bytes to give
    else if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode))
    {
        const bool read = ReadToEnd(fd, kWriterWaitMs, error);
        close(fd);
        return read;
    }
    else if (!S_ISREG(info.st_mode))
        failure = EOPNOTSUPP; // a device may never end
    else
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    bool ok = failure == 0;
    if (ok && (info.st_size < 0 || static_cast<std::uintmax_t>(info.st_size) >= SIZE_MAX / 2 ||
               !Allocate(static_cast<std::size_t>(info.st_size))))
    {
        ok = false;
        failure = ENOMEM;
    }
    const std::size_t expected = ok ? static_cast<std::size_t>(info.st_size) : 0;
    std::size_t got = 0;
    while (ok && got < expected)
    {
        const ssize_t n = read(fd, m_data + got, expected - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
        {
            ok = false;
            failure = errno;
        }
        else if (n == 0)
            break; // shrank while being read: what was there is the file
        else
            got += static_cast<std::size_t>(n);
    }
    close(fd);
    if (!ok)
    {
        Release();
        if (error)
            *error = failure;
        return false;
    }
    m_size = got;
    return true;
}

bool CByteBuffer::ReadStream(int fd, int* error)
{
    Release();
    return ReadToEnd(fd, -1, error);
}

bool CByteBuffer::ReadToEnd(int fd, int waitMs, int* error)
{
    std::string bytes;
    std::vector<char> block(std::size_t{1} << 16);
    bool first = true;
    for (;;)
    {
        if (waitMs >= 0)
        {
            // Until the first byte the wait is bounded; afterwards a writer is at work.
            pollfd ready{fd, POLLIN, 0};
            const int events = poll(&ready, 1, first ? waitMs : -1);
            if (events < 0 && errno == EINTR)
                continue;
            if (events <= 0)
            {
                if (error)
                    *error = events == 0 ? ENODATA : errno;
                return false;
            }
        }
        const ssize_t n = read(fd, block.data(), block.size());
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0)
        {
            if (error)
                *error = errno;
            return false;
        }
        if (n == 0)
            break;
        first = false;
        bytes.append(block.data(), static_cast<std::size_t>(n));
    }
    Assign(bytes);
    if (m_data == nullptr)
    {
        if (error)
            *error = ENOMEM;
        return false;
    }
    return true;
}

} // namespace orbelin
