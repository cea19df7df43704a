#pragma once

#include <atomic>

namespace trov {

// A plain field that one thread may set while others read it, such as a parameter's range that a command
// changes while the audio thread converts a controller's value: every read and write is whole, and nothing
// else is ordered by it. It reads and assigns like the value itself.
template <class T> class RelaxedAtomic {
public:
    RelaxedAtomic() noexcept : value_(T{}) {}
    RelaxedAtomic(T value) noexcept : value_(value) {} // NOLINT(google-explicit-constructor): reads as T
    RelaxedAtomic(const RelaxedAtomic& other) noexcept : value_(other.load()) {}
    RelaxedAtomic& operator=(const RelaxedAtomic& other) noexcept {
        store(other.load());
        return *this;
    }
    RelaxedAtomic& operator=(T value) noexcept {
        store(value);
        return *this;
    }
    operator T() const noexcept { return load(); } // NOLINT(google-explicit-constructor)

    T load() const noexcept { return value_.load(std::memory_order_relaxed); }
    void store(T value) noexcept { value_.store(value, std::memory_order_relaxed); }

private:
    std::atomic<T> value_;
};

} // namespace trov
