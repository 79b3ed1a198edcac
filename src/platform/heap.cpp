#include "platform/heap.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
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

} // namespace

CLargePageHeap::CLargePageHeap(std::size_t expectedBytes)
{
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
    if (expectedBytes < kWorthFrom)
        return;
    const std::size_t reserve = std::min(expectedBytes, kMostReserved);
    // The next growth of the heap takes the whole reserve, and nothing is trimmed back on the way.
    mallopt(M_TOP_PAD, static_cast<int>(reserve));
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
    mallopt(M_MMAP_THRESHOLD, kMappedAbove);
    m_active = true;

    auto* const before = static_cast<char*>(sbrk(0));
    void* const probe = std::malloc(1024 * 1024);
    auto* const after = static_cast<char*>(sbrk(0));
    // Only the memory the heap has just grown by is advised; another allocator (a sanitizer's) or a
    // heap that did not grow leaves nothing to do.
    if (probe != nullptr && before != reinterpret_cast<char*>(-1) && after > before &&
        static_cast<char*>(probe) < after)
    {
        const auto start = (reinterpret_cast<std::uintptr_t>(before) + kLargePage - 1) & ~(kLargePage - 1);
        const auto end = reinterpret_cast<std::uintptr_t>(after) & ~(kLargePage - 1);
        if (end > start)
            madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    }
    std::free(probe);
#else
    (void)expectedBytes;
#endif
}

CLargePageHeap::~CLargePageHeap()
{
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
    if (!m_active)
        return;
    mallopt(M_TOP_PAD, kDefaultPad);
    mallopt(M_TRIM_THRESHOLD, kDefaultThreshold);
    mallopt(M_MMAP_THRESHOLD, kDefaultThreshold);
    // No malloc_trim here: it would walk the whole heap at the end of every conversion. With the usual
    // threshold back, the next free() returns the unused top of the heap to the system by itself.
#endif
}

} // namespace orbelin
