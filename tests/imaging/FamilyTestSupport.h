#pragma once

// Guarded rows and lane-width arithmetic for the kernel family tests. Nothing here calls or copies the
// implementation.

#include "imaging/simd/KernelTypes.h"
#include "support/KernelTestSupport.h"

#include <functional>
#include <string>
#include <vector>

namespace trov::imaging::testing {

// The value of v in the two's complement width of T (the wrap of lane arithmetic).
template <class T> T wrap(long long v) {
    using U = std::make_unsigned_t<T>;
    return static_cast<T>(static_cast<U>(static_cast<unsigned long long>(v)));
}

// n elements of T in a page-guarded mapping: against the page after them (`offset` < 0) or `offset` bytes
// past a page start, followed by random bytes. Reading or writing past the end faults in the first form;
// changedOnlyInside() sees any write outside the elements in both.
template <class T> class GuardedElements {
public:
    GuardedElements(std::ptrdiff_t n, int offset, std::mt19937& rng)
        : start_(offset < 0 ? 0 : static_cast<std::size_t>(offset)), size_(bytesOf(n, offset)),
          bytes_(size_, offset < 0) {
        for (std::size_t i = 0; i < size_; ++i)
            bytes_.data()[i] = static_cast<std::uint8_t>(rng());
        before_.assign(bytes_.data(), bytes_.data() + size_);
    }
    T* data() { return reinterpret_cast<T*>(bytes_.data() + start_); }
    T at(std::ptrdiff_t i) { return loadAt<T>(data(), i); }
    T before(std::ptrdiff_t i) const { return loadAt<T>(before_.data() + start_, i); }
    bool changedOnlyInside(std::ptrdiff_t n) {
        for (std::size_t i = 0; i < size_; ++i)
            if ((i < start_ || i >= start_ + n * sizeof(T)) && bytes_.data()[i] != before_[i])
                return false;
        return true;
    }

private:
    static std::size_t bytesOf(std::ptrdiff_t n, int offset) {
        return static_cast<std::size_t>(n) * sizeof(T) +
               (offset < 0 ? 0 : static_cast<std::size_t>(offset) + 32);
    }
    std::size_t start_, size_;
    GuardedBytes bytes_;
    std::vector<std::uint8_t> before_;
};

// Source rows `step` bytes apart, each in pages of its own with an inaccessible page after it, each against
// that page (`tailAligned`) or at a page start after the previous row's guard. Rows not in `readable` are
// inaccessible altogether, so a kernel that touches them faults.
class PagedRows {
public:
    PagedRows(int rows, std::size_t rowBytes, bool tailAligned, const std::vector<int>& readable);
    ~PagedRows();
    PagedRows(const PagedRows&) = delete;
    PagedRows& operator=(const PagedRows&) = delete;
    std::uint8_t* row(int r) { return first_ + static_cast<std::ptrdiff_t>(r) * step_; }
    std::ptrdiff_t step() const { return step_; }

private:
    std::size_t mapped_;
    std::uint8_t* base_;
    std::uint8_t* first_;
    std::ptrdiff_t step_;
};

inline PagedRows::PagedRows(int rows, std::size_t rowBytes, bool tailAligned,
                            const std::vector<int>& readable) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t body = (rowBytes + page - 1) / page * page;
    step_ = static_cast<std::ptrdiff_t>(body + page);
    mapped_ = page + static_cast<std::size_t>(rows) * (body + page);
    void* map = mmap(nullptr, mapped_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED)
        throw std::runtime_error("cannot map paged rows");
    base_ = static_cast<std::uint8_t*>(map);
    first_ = base_ + page + (tailAligned ? body - rowBytes : 0);
    for (int r : readable)
        if (mprotect(base_ + page + static_cast<std::size_t>(r) * (body + page), body,
                     PROT_READ | PROT_WRITE) != 0)
            throw std::runtime_error("cannot open a paged row");
}

inline PagedRows::~PagedRows() {
    munmap(base_, mapped_);
}

// Lengths every family test runs: every pixel count 1 to 70, and two long rows.
inline std::vector<std::ptrdiff_t> pixelCounts() {
    std::vector<std::ptrdiff_t> counts;
    for (std::ptrdiff_t p = 1; p <= 70; ++p)
        counts.push_back(p);
    counts.insert(counts.end(), {333, 1000});
    return counts;
}

// A value drawn from lo..hi, or one of its two ends a quarter of the time.
template <class T> T valueOrEnd(std::mt19937& rng, long long lo, long long hi) {
    const unsigned pick = rng() % 8;
    return static_cast<T>(pick == 0 ? lo : pick == 1 ? hi : randomValue<long long>(rng, lo, hi));
}

} // namespace trov::imaging::testing
