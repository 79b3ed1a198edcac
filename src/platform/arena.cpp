#include "platform/arena.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/mman.h>
#define ORBELIN_MAPS_BLOCKS 1
#else
#define ORBELIN_MAPS_BLOCKS 0
#endif

namespace orbelin
{

namespace
{

constexpr std::size_t kLargePage = 2 * 1024 * 1024;
// A tree built by hand starts small; each block doubles the last, up to the largest.
constexpr std::size_t kSmallestBlock = 4 * 1024;
constexpr std::size_t kLargestBlock = 64 * 1024 * 1024;
// From this size on a block is mapped (in whole large pages) rather than taken from the heap.
constexpr std::size_t kMappedFrom = kLargePage;

std::size_t RoundUp(std::size_t value, std::size_t unit)
{
    return (value + unit - 1) / unit * unit;
}

} // namespace

CArena::CArena(std::size_t expectedBytes)
    : m_nextSize(std::clamp(expectedBytes, kSmallestBlock, kLargestBlock))
{
}

CArena::~CArena()
{
    for (const CBlock& block : m_blocks)
    {
#if ORBELIN_MAPS_BLOCKS
        if (block.mapped)
        {
            munmap(block.base, block.size);
            continue;
        }
#endif
        ::operator delete(block.base);
    }
}

void CArena::Keep(std::shared_ptr<const void> owner)
{
    // Every element of a tree keeps the same text: one entry is enough.
    if (owner && (m_kept.empty() || m_kept.back() != owner))
        m_kept.push_back(std::move(owner));
}

void* CArena::do_allocate(std::size_t bytes, std::size_t alignment)
{
    auto at = reinterpret_cast<std::uintptr_t>(m_next);
    at = (at + alignment - 1) & ~(static_cast<std::uintptr_t>(alignment) - 1);
    if (m_next == nullptr || at + bytes > reinterpret_cast<std::uintptr_t>(m_end))
    {
        Grow(bytes + alignment);
        at = reinterpret_cast<std::uintptr_t>(m_next);
        at = (at + alignment - 1) & ~(static_cast<std::uintptr_t>(alignment) - 1);
    }
    m_next = reinterpret_cast<char*>(at + bytes);
    return reinterpret_cast<void*>(at);
}

void CArena::Grow(std::size_t bytes)
{
    std::size_t size = std::max(bytes, m_nextSize);
    m_nextSize = std::min(m_nextSize * 2, kLargestBlock);
    m_blocks.reserve(m_blocks.size() + 1);
    CBlock block{nullptr, 0, false};
#if ORBELIN_MAPS_BLOCKS
    if (size >= kMappedFrom)
    {
        // One large page more than needed, so that the block can start on a large-page boundary:
        // the pages before it would each fault on their own.
        size = RoundUp(size, kLargePage);
        const std::size_t mappedSize = size + kLargePage;
        void* const mapping =
            mmap(nullptr, mappedSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED)
            throw std::bad_alloc();
        const auto address = reinterpret_cast<std::uintptr_t>(mapping);
        const std::uintptr_t aligned = RoundUp(address, kLargePage);
        // The unaligned head and the rest of the tail go back at once.
        if (aligned > address)
            munmap(mapping, aligned - address);
        if (aligned + size < address + mappedSize)
            munmap(reinterpret_cast<void*>(aligned + size), address + mappedSize - aligned - size);
#if defined(MADV_HUGEPAGE)
        // Only advice: where the system has no large pages, nothing changes.
        madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
#endif
        block = CBlock{reinterpret_cast<void*>(aligned), size, true};
    }
#endif
    if (block.base == nullptr)
        block = CBlock{::operator new(size), size, false};
    m_blocks.push_back(block);
    m_reserved += size;
    m_next = static_cast<char*>(block.base);
    m_end = m_next + size;
}

} // namespace orbelin
