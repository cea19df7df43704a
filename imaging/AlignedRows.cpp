#include "imaging/AlignedRows.h"

#include "imaging/RowHeap.h"

#include <atomic>
#include <cstdint>
#include <new>

namespace trov::imaging {

namespace {

class ProcessHeap final : public RowHeap {
public:
    void* allocate(std::size_t bytes, std::size_t alignment) noexcept override {
        return ::operator new (bytes, std::align_val_t{alignment}, std::nothrow);
    }
    void release(void* block, std::size_t alignment) noexcept override {
        ::operator delete (block, std::align_val_t{alignment});
    }
};

ProcessHeap processHeap;
std::atomic<RowHeap*> installedHeap{nullptr};

RowHeap& currentHeap() {
    RowHeap* heap = installedHeap.load(std::memory_order_acquire);
    return heap ? *heap : processHeap;
}

void* allocateRow(std::ptrdiff_t count, std::size_t elementSize) {
    if (count < 1 || static_cast<std::size_t>(count) > SIZE_MAX / elementSize)
        return nullptr;
    return currentHeap().allocate(static_cast<std::size_t>(count) * elementSize, kRowAlignment);
}

} // namespace

RowHeap* setRowHeap(RowHeap* heap) {
    return installedHeap.exchange(heap, std::memory_order_acq_rel);
}

RowHeap& processRowHeap() {
    return processHeap;
}

std::int32_t* alignedAllocInt32(std::ptrdiff_t count) {
    return static_cast<std::int32_t*>(allocateRow(count, sizeof(std::int32_t)));
}

std::uint8_t* alignedAllocBytes(std::ptrdiff_t count) {
    return static_cast<std::uint8_t*>(allocateRow(count, 1));
}

void alignedFree(void* block) {
    if (block)
        currentHeap().release(block, kRowAlignment);
}

} // namespace trov::imaging
