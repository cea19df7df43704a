#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>

namespace trov {

// A bounded queue of small fixed-size records that any number of threads push into and pop from without
// a lock or an allocation (Dmitry Vyukov's array queue: every cell carries a sequence number that says
// whose turn it is). Records come out in the order their pushes took their cells, so the pushes of one
// thread keep their order. A full queue refuses the push; what to do then is the caller's policy.
//
// Made with its capacity (rounded up to a power of two; the cells are allocated here, never later).
// Threads: push and pop on any thread; the audio thread drains it at a block's start.
template <class T> class BoundedQueue {
    static_assert(std::is_trivially_copyable_v<T>, "records are copied as bytes");

public:
    explicit BoundedQueue(std::size_t capacity) : mask_(roundUp(capacity) - 1), cells_(new Cell[mask_ + 1]) {
        for (std::size_t i = 0; i <= mask_; ++i)
            cells_[i].sequence.store(i, std::memory_order_relaxed);
    }
    BoundedQueue(const BoundedQueue&) = delete;
    BoundedQueue& operator=(const BoundedQueue&) = delete;

    std::size_t capacity() const noexcept { return mask_ + 1; }

    // False, with nothing queued, when the queue is full.
    bool push(const T& record) noexcept {
        std::size_t position = tail_.load(std::memory_order_relaxed);
        for (;;) {
            Cell& cell = cells_[position & mask_];
            const std::size_t sequence = cell.sequence.load(std::memory_order_acquire);
            const auto lag = static_cast<std::intptr_t>(sequence) - static_cast<std::intptr_t>(position);
            if (lag == 0) {
                if (tail_.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) {
                    cell.record = record;
                    cell.sequence.store(position + 1, std::memory_order_release);
                    return true;
                }
            } else if (lag < 0) {
                return false;
            } else {
                position = tail_.load(std::memory_order_relaxed);
            }
        }
    }

    // False when the queue is empty (or the oldest record is still being written).
    bool pop(T& record) noexcept {
        std::size_t position = head_.load(std::memory_order_relaxed);
        for (;;) {
            Cell& cell = cells_[position & mask_];
            const std::size_t sequence = cell.sequence.load(std::memory_order_acquire);
            const auto lag = static_cast<std::intptr_t>(sequence) - static_cast<std::intptr_t>(position + 1);
            if (lag == 0) {
                if (head_.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) {
                    record = cell.record;
                    cell.sequence.store(position + mask_ + 1, std::memory_order_release);
                    return true;
                }
            } else if (lag < 0) {
                return false;
            } else {
                position = head_.load(std::memory_order_relaxed);
            }
        }
    }

    // True when a pop now would find nothing (the queue is empty or its oldest record is still being
    // written); another thread's push may change that at once.
    bool empty() const noexcept {
        const std::size_t position = head_.load(std::memory_order_relaxed);
        return cells_[position & mask_].sequence.load(std::memory_order_acquire) != position + 1;
    }

private:
    struct Cell {
        std::atomic<std::size_t> sequence{0};
        T record{};
    };

    static std::size_t roundUp(std::size_t capacity) noexcept {
        std::size_t size = 2;
        while (size < capacity)
            size <<= 1;
        return size;
    }

    const std::size_t mask_;
    std::unique_ptr<Cell[]> cells_;
    alignas(64) std::atomic<std::size_t> tail_{0};
    alignas(64) std::atomic<std::size_t> head_{0};
};

} // namespace trov
