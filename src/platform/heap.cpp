#include "platform/heap.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#if defined(MADV_HUGEPAGE) && __GLIBC_PREREQ(2, 33)
#define ORBELIN_PREPARES_HEAP 1
#endif
#endif
#ifndef ORBELIN_PREPARES_HEAP
#define ORBELIN_PREPARES_HEAP 0
#endif

namespace orbelin
{

namespace
{

// Smaller drawings convert in a few milliseconds; their heap stays as the C library keeps it.
constexpr std::size_t kWorthFrom = 4 * 1024 * 1024;
constexpr std::size_t kMostReserved = 1024 * 1024 * 1024;
// The allocator's own defaults, restored afterwards.
constexpr int kDefaultPad = 128 * 1024;
constexpr int kDefaultThreshold = 128 * 1024;
// Allocations up to this size come from the prepared heap rather than a mapping of their own.
constexpr int kMappedAbove = 32 * 1024 * 1024;
constexpr std::uintptr_t kLargePage = 2 * 1024 * 1024;
constexpr std::uintptr_t kSmallPage = 4096;

} // namespace

CLargePageHeap::CLargePageHeap(std::size_t expectedBytes)
{
#if ORBELIN_PREPARES_HEAP
    if (expectedBytes < kWorthFrom)
        return;
    const std::size_t reserve = std::min(expectedBytes, kMostReserved);
    // The next growth of the heap takes the whole reserve, and nothing is trimmed back on the way.
    mallopt(M_TOP_PAD, static_cast<int>(reserve));
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
    mallopt(M_MMAP_THRESHOLD, kMappedAbove);
    m_active = true;

    // The heap's top chunk ends at the break. A placeholder reaching from its start to one small
    // page short of a large-page boundary makes the heap grow by the whole reserve, and keeps the
    // unaligned head of the new memory out of use: there, every 4 KiB page would cost a fault of its
    // own, and the allocator's header just after the placeholder would land in the first large
    // page's range before the advice and spoil it.
    const auto before = reinterpret_cast<std::uintptr_t>(sbrk(0));
    const std::uintptr_t topStart = before - mallinfo2().keepcost;
    const std::uintptr_t boundary = (before + 2 * kSmallPage + kLargePage - 1) & ~(kLargePage - 1);
    const std::uintptr_t placeholderEnd = boundary - kSmallPage;
    // A chunk is its request plus one size word, so this request takes exactly up to placeholderEnd.
    void* const placeholder = std::malloc(placeholderEnd - topStart - sizeof(std::size_t));
    const auto after = reinterpret_cast<std::uintptr_t>(sbrk(0));
    // Another allocator (a sanitizer's), a heap that did not grow or a placeholder served from
    // elsewhere leaves the heap as it is.
    const bool placed = reinterpret_cast<std::uintptr_t>(placeholder) == topStart + 2 * sizeof(std::size_t);
    if (placed && before != static_cast<std::uintptr_t>(-1) && after > boundary)
    {
        const std::uintptr_t end = after & ~(kLargePage - 1);
        if (end > boundary)
            madvise(reinterpret_cast<void*>(boundary), end - boundary, MADV_HUGEPAGE);
        m_placeholder = placeholder;
    }
    else
    {
        std::free(placeholder);
    }
#else
    (void)expectedBytes;
#endif
}

CLargePageHeap::~CLargePageHeap()
{
#if ORBELIN_PREPARES_HEAP
    if (!m_active)
        return;
    std::free(m_placeholder);
    mallopt(M_TOP_PAD, kDefaultPad);
    mallopt(M_TRIM_THRESHOLD, kDefaultThreshold);
    mallopt(M_MMAP_THRESHOLD, kDefaultThreshold);
    // No malloc_trim here: it would walk the whole heap at the end of every conversion. With the usual
    // threshold back, the next free() returns the unused top of the heap to the system by itself.
#endif
}

} // namespace orbelin
