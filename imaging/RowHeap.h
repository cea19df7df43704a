#pragma once

#include <cstddef>

namespace trov::imaging {

// Where the smoothing operations get their per-call row buffers. The default takes aligned blocks from the
// process heap; tests install their own to count blocks or to make allocation fail.
// allocate and release may be called from any thread; swap the heap only while no smoothing call runs.
class RowHeap {
public:
    virtual ~RowHeap() = default;
    // A block of `bytes` bytes aligned to `alignment` (a power of two), or null.
    virtual void* allocate(std::size_t bytes, std::size_t alignment) noexcept = 0;
    // Gives back a block from allocate with the same alignment.
    virtual void release(void* block, std::size_t alignment) noexcept = 0;
};

// Installs `heap` (null: the process heap) and returns the one it replaces (null when that was the
// process heap).
RowHeap* setRowHeap(RowHeap* heap);

// The process heap, for test heaps that wrap it.
RowHeap& processRowHeap();

} // namespace trov::imaging
