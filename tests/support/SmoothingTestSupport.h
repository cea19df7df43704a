#pragma once

// Random images, an independent reference convolution, guard pages, test heaps and MXCSR helpers for the
// smoothing tests. Nothing here calls or copies the implementation.

#include "imaging/FilterGauss.h"
#include "imaging/RowHeap.h"
#include "imaging/cpu/FloatEnvironment.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

namespace trov::imaging::testing {

template <class T>
T randomValue(std::mt19937& rng, T lo = std::numeric_limits<T>::lowest(),
              T hi = std::numeric_limits<T>::max()) {
    if constexpr (std::is_floating_point_v<T>) {
        // Values with full fractions and mixed magnitudes, so every rounding shows.
        std::uniform_real_distribution<T> unit(-1, 1);
        return unit(rng) * std::ldexp(T(1), static_cast<int>(rng() % 20) - 5);
    } else {
        return static_cast<T>(std::uniform_int_distribution<long long>(lo, hi)(rng));
    }
}

// Value i of the T values at p, which need not be aligned.
template <class T> T loadAt(const void* p, std::ptrdiff_t i) {
    T v;
    std::memcpy(&v, static_cast<const unsigned char*>(p) + i * static_cast<std::ptrdiff_t>(sizeof(T)),
                sizeof v);
    return v;
}

template <class T> void fillRandom(void* p, std::ptrdiff_t count, std::mt19937& rng) {
    for (std::ptrdiff_t i = 0; i < count; ++i) {
        const T v = randomValue<T>(rng);
        std::memcpy(static_cast<unsigned char*>(p) + i * static_cast<std::ptrdiff_t>(sizeof(T)), &v,
                    sizeof v);
    }
}

// A width x height rectangle of `elements`-element pixels of T with `margin` pixels on every side, filled
// with random values. The rectangle starts at `alignment` modulo 16 (a multiple of sizeof(T)); rows are
// `step` bytes apart: the padded row plus `extraStep` (a multiple of sizeof(T)). Copies are independent.
template <class T> struct Image {
    int width, height, elements;
    std::int32_t step;
    std::size_t first; // the rectangle's first byte
    std::vector<unsigned char> bytes;

    Image(int w, int h, int margin, int extraStep, int alignment, std::mt19937& rng, int elementsPerPixel = 4)
        : width(w), height(h), elements(elementsPerPixel) {
        const int pixel = elements * static_cast<int>(sizeof(T));
        step = pixel * (w + 2 * margin) + extraStep;
        bytes.resize(static_cast<std::size_t>(step) * (h + 2 * margin) + 32);
        fillRandom<T>(bytes.data(), static_cast<std::ptrdiff_t>(bytes.size() / sizeof(T)), rng);
        first = static_cast<std::size_t>(step) * margin + pixel * margin;
        first += (alignment - reinterpret_cast<std::uintptr_t>(bytes.data() + first) % 16 + 16) % 16;
    }
    unsigned char* origin() { return bytes.data() + first; }
    const unsigned char* origin() const { return bytes.data() + first; }
    std::size_t offsetOf(int x, int y, int k) const {
        return first + static_cast<std::ptrdiff_t>(y) * step +
               (static_cast<std::ptrdiff_t>(x) * elements + k) * sizeof(T);
    }
    T at(int x, int y, int k) const { return loadAt<T>(&bytes[offsetOf(x, y, k)], 0); }
    std::vector<T> rectangle() const {
        std::vector<T> out;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int k = 0; k < elements; ++k)
                    out.push_back(at(x, y, k));
        return out;
    }
    // True when every byte outside the rectangle still holds its value in `before`.
    bool changedOnlyInside(const std::vector<unsigned char>& before) const {
        const auto rowBytes = static_cast<std::ptrdiff_t>(width * elements * sizeof(T));
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const std::ptrdiff_t offset = static_cast<std::ptrdiff_t>(i) - static_cast<std::ptrdiff_t>(first);
            const bool inside = offset >= 0 && offset / step < height && offset % step < rowBytes;
            if (!inside && bytes[i] != before[i])
                return false;
        }
        return true;
    }
};

using Image8u = Image<std::uint8_t>;

// The masks by their weights, centre in the middle.
inline constexpr int kGauss3[3][3] = {{1, 2, 1}, {2, 4, 2}, {1, 2, 1}};
inline constexpr int kGauss5[5][5] = {
    {2, 7, 12, 7, 2}, {7, 31, 52, 31, 7}, {12, 52, 127, 52, 12}, {7, 31, 52, 31, 7}, {2, 7, 12, 7, 2}};
inline constexpr int kLaplace5[5][5] = {
    {-1, -3, -4, -3, -1}, {-3, 0, 6, 0, -3}, {-4, 6, 20, 6, -4}, {-3, 0, 6, 0, -3}, {-1, -3, -4, -3, -1}};

template <class T, int N>
long long weightedSum(const Image<T>& image, int x, int y, int k, const int (&weights)[N][N]) {
    long long sum = 0;
    for (int dy = 0; dy < N; ++dy)
        for (int dx = 0; dx < N; ++dx)
            sum += weights[dy][dx] * static_cast<long long>(image.at(x + dx - N / 2, y + dy - N / 2, k));
    return sum;
}

// The integer nearest to s / d, halves to even.
inline long long divideNearest(long long s, long long d) {
    long long q = s / d, r = s % d;
    if (r < 0) {
        r += d;
        --q;
    }
    return 2 * r > d || (2 * r == d && q % 2 != 0) ? q + 1 : q;
}

inline int maskRadius(SmoothingMask mask) {
    return mask == SmoothingMask::Mask3x3 ? 1 : 2;
}

// The smoothed rectangle, straight from the mask's definition.
inline std::vector<std::uint8_t> referenceSmooth(const Image8u& src, SmoothingMask mask) {
    std::vector<std::uint8_t> out;
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x)
            for (int ch = 0; ch < 4; ++ch)
                out.push_back(
                    static_cast<std::uint8_t>(mask == SmoothingMask::Mask3x3
                                                  ? divideNearest(weightedSum(src, x, y, ch, kGauss3), 16)
                                                  : divideNearest(weightedSum(src, x, y, ch, kGauss5), 571)));
    return out;
}

// Bytes with inaccessible pages right before and right after them: reading or writing one byte outside
// faults. `tailAligned` puts the last byte against the following page, else the first byte against the
// preceding page.
class GuardedBytes {
public:
    GuardedBytes(std::size_t size, bool tailAligned) {
        const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t body = (size + page - 1) / page * page;
        mapped_ = body + 2 * page;
        void* map = mmap(nullptr, mapped_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (map == MAP_FAILED ||
            mprotect(static_cast<std::uint8_t*>(map) + page, body, PROT_READ | PROT_WRITE) != 0)
            throw std::runtime_error("cannot map guarded bytes");
        base_ = static_cast<std::uint8_t*>(map);
        data_ = tailAligned ? base_ + page + body - size : base_ + page;
    }
    ~GuardedBytes() { munmap(base_, mapped_); }
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;
    std::uint8_t* data() { return data_; }

private:
    std::size_t mapped_;
    std::uint8_t* base_;
    std::uint8_t* data_;
};

// A heap installed for its lifetime that remembers the sizes asked for and counts releases; it refuses
// every block when built with `refuse`, else passes through to the process heap.
class TestHeap final : public RowHeap {
public:
    std::vector<std::size_t> requests;
    int releases = 0;

    explicit TestHeap(bool refuse = false) : refuse_(refuse), previous_(setRowHeap(this)) {}
    ~TestHeap() override { setRowHeap(previous_); }
    TestHeap(const TestHeap&) = delete;
    TestHeap& operator=(const TestHeap&) = delete;

    void* allocate(std::size_t bytes, std::size_t alignment) noexcept override {
        requests.push_back(bytes);
        return refuse_ ? nullptr : processRowHeap().allocate(bytes, alignment);
    }
    void release(void* block, std::size_t alignment) noexcept override {
        ++releases;
        processRowHeap().release(block, alignment);
    }

private:
    bool refuse_;
    RowHeap* previous_;
};

// Restores the variant index when it goes.
struct VariantIndexGuard {
    std::int32_t saved = variantIndex();
    ~VariantIndexGuard() { storeVariantIndex(saved); }
};

// The implementation entries 1 to 4 of the variant table.
inline FilterGaussFn variantEntry(int variant) {
    return variantTable()[variant];
}

inline constexpr SmoothingMask kBothMasks[] = {SmoothingMask::Mask3x3, SmoothingMask::Mask5x5};

inline constexpr std::uint32_t kRoundingModes[] = {0x0000, 0x2000, 0x4000, 0x6000}; // nearest, down, up, zero
inline constexpr std::uint32_t kControlBits = 0xFFC0; // all but the exception flags

// Runs `call` with MXCSR set to `mxcsr` and gives back the MXCSR found afterwards; the test's own MXCSR is
// back in place before anything else runs.
template <class Call> std::uint32_t runUnderMxcsr(std::uint32_t mxcsr, Call&& call) {
    const std::uint32_t saved = getMxcsr();
    loadMxcsr(mxcsr);
    call();
    const std::uint32_t after = getMxcsr();
    loadMxcsr(saved);
    return after;
}

} // namespace trov::imaging::testing
