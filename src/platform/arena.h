// Memory that one conversion owns: the element tree and its attribute views are many millions of
// small pieces that all die together, so they come from large blocks, handed out in order and
// given back all at once when the arena goes.
#pragma once

#include <cstddef>
#include <memory>
#include <memory_resource>
#include <vector>

namespace orbelin
{

// A monotonic memory resource: deallocation does nothing, the destructor frees every block. Large
// blocks are mapped from the system with the advice to back them with 2 MiB pages: on a fresh
// heap each 4 KiB page of a large tree costs a page fault of its own, which on virtual machines
// takes longer than reading the whole input. Small arenas (a tree built by hand) take their
// blocks from the heap. Not shared between threads.
class CArena : public std::pmr::memory_resource
{
public:
    // expectedBytes sizes the first block (a guess at what will be allocated; 0 for small use).
    explicit CArena(std::size_t expectedBytes = 0);
    ~CArena() override;
    CArena(const CArena&) = delete;
    CArena& operator=(const CArena&) = delete;

    // Keeps owner alive as long as the arena: memory that allocations point into (the file's text).
    void Keep(std::shared_ptr<const void> owner);
    // The bytes of all blocks taken so far, used or not.
    std::size_t Reserved() const { return m_reserved; }

private:
    struct CBlock
    {
        void* base;
        std::size_t size;
        bool mapped;
    };

    void* do_allocate(std::size_t bytes, std::size_t alignment) override;
    void do_deallocate(void*, std::size_t, std::size_t) override {}
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override
    {
        return this == &other;
    }
    // A new block of at least bytes; throws std::bad_alloc when the system has none.
    void Grow(std::size_t bytes);

    std::vector<CBlock> m_blocks;
    std::vector<std::shared_ptr<const void>> m_kept;
    char* m_next = nullptr;
    char* m_end = nullptr;
    std::size_t m_nextSize;
    std::size_t m_reserved = 0;
};

} // namespace orbelin
