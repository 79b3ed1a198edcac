// Heap preparation for conversions of large drawings.
#pragma once

#include <cstddef>

namespace orbelin
{

// While it lives, the heap grows in one step by about expectedBytes and that memory may be backed
// by large pages. The element tree of a large drawing is millions of small allocations; on a fresh
// heap each 4 KiB page costs a page fault, which on virtual machines takes more time than reading
// the whole input. Only advice: where the C library or the system does not support it, nothing
// changes. Meant for the thread that runs the conversion; not nested.
class CLargePageHeap
{
public:
    explicit CLargePageHeap(std::size_t expectedBytes);
    // Restores the allocator's usual settings, under which unused memory goes back to the system.
    ~CLargePageHeap();
    CLargePageHeap(const CLargePageHeap&) = delete;
    CLargePageHeap& operator=(const CLargePageHeap&) = delete;

private:
    bool m_active = false;
    // Holds the unaligned start of the heap's new memory, untouched, while the heap is prepared.
    void* m_placeholder = nullptr;
};

} // namespace orbelin
