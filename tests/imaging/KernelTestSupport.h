#pragma once

// Typed rows for the kernel tests: aligned blocks of exactly the documented size (so that reads past them
// show under AddressSanitizer), sentinels to prove what was not written, random values per sample type.

#include "SmoothingTestSupport.h"

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace trov::imaging::testing {

// `count` elements of T, 32-byte aligned, every byte set to `fill`.
template <class T>
class AlignedRow {
public:
    explicit AlignedRow(std::size_t count, unsigned char fill = 0xA5)
        : count_(count), data_(static_cast<T*>(::operator new(count * sizeof(T), std::align_val_t{32}))) {
        std::memset(static_cast<void*>(data_), fill, count * sizeof(T));
    }
    ~AlignedRow() { ::operator delete(data_, std::align_val_t{32}); }
    AlignedRow(const AlignedRow&) = delete;
    AlignedRow& operator=(const AlignedRow&) = delete;

    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](std::size_t i) { return data_[i]; }
    std::size_t size() const { return count_; }
    // True when bytes from element `from` on still hold `fill`.
    bool untouchedFrom(std::size_t from, unsigned char fill = 0xA5) const {
        const auto* bytes = reinterpret_cast<const unsigned char*>(data_);
        for (std::size_t b = from * sizeof(T); b < count_ * sizeof(T); ++b)
            if (bytes[b] != fill)
                return false;
        return true;
    }

private:
    std::size_t count_;
    T* data_;
};

template <class T>
T randomValue(std::mt19937& rng, T lo = std::numeric_limits<T>::lowest(), T hi = std::numeric_limits<T>::max()) {
    if constexpr (std::is_floating_point_v<T>) {
        // Values with full fractions and mixed magnitudes, so every rounding shows.
        std::uniform_real_distribution<T> unit(-1, 1);
        const T magnitude = std::ldexp(T(1), static_cast<int>(rng() % 20) - 5);
        return unit(rng) * magnitude;
    } else {
        std::uniform_int_distribution<long long> dist(lo, hi);
        return static_cast<T>(dist(rng));
    }
}

template <class T>
bool sameBits(T a, T b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

constexpr std::ptrdiff_t roundUp(std::ptrdiff_t n, std::ptrdiff_t grain) { return (n + grain - 1) / grain * grain; }

template <class T>
T saturate(long long v) {
    return static_cast<T>(std::min<long long>(std::max<long long>(v, std::numeric_limits<T>::min()),
                                              std::numeric_limits<T>::max()));
}

// Nearest integer, halves to even, independent of the rounding mode in force.
inline long long roundHalfEven(double v) {
    const double f = std::floor(v);
    const double diff = v - f;
    long long r = static_cast<long long>(f);
    if (diff > 0.5 || (diff == 0.5 && (r & 1)))
        ++r;
    return r;
}

// The 5x5 row formulas: Gaussian, and the Laplacian-type mask in the operation orders of its one-,
// three- and four-channel float members (the integer forms are exact and share one formula).
enum class Formula { Gauss, LaplaceC1, LaplaceC3, LaplaceC4 };

// The three output rows of one element from its five taps, in integers.
struct Exact {
    long long a, b, c;
};
inline Exact integerRows(Formula formula, long long p0, long long p1, long long p2, long long p3, long long p4) {
    const long long s04 = p0 + p4, s13 = p1 + p3;
    if (formula == Formula::Gauss)
        return {2 * s04 + 7 * s13 + 12 * p2, 7 * s04 + 31 * s13 + 52 * p2, 12 * s04 + 52 * s13 + 127 * p2};
    return {-s04 - 3 * s13 - 4 * p2, -3 * s04 + 6 * p2, -4 * s04 + 6 * s13 + 20 * p2};
}

// The same in single precision, in each member's order of operations.
struct Floats {
    float a, b, c;
};
inline Floats floatRows(Formula formula, float p0, float p1, float p2, float p3, float p4) {
    const float s04 = p0 + p4, s13 = p1 + p3;
    if (formula == Formula::Gauss)
        return {((s04 + s04) + 7.0f * s13) + 12.0f * p2, (7.0f * s04 + 31.0f * s13) + 52.0f * p2,
                (12.0f * s04 + 52.0f * s13) + 127.0f * p2};
    const float n = 0.0f - s04;
    const float three13 = 3.0f * s13, three2 = 3.0f * p2;
    const float six13 = three13 + three13, six2 = three2 + three2, twelve2 = three2 * 4.0f;
    const float b = 3.0f * n + six2;
    switch (formula) {
    case Formula::LaplaceC4:
        return {((n - three13) - p2) - three2, b, ((n + 3.0f * n) + six13) + 20.0f * p2};
    case Formula::LaplaceC1:
        return {(n - three13) - 4.0f * p2, b, (4.0f * n + six13) + (8.0f * p2 + twelve2)};
    default: {
        const float t = p2 + three2;
        return {(n - three13) - t, b, ((n + 3.0f * n) + six13) + ((t + t) + twelve2)};
    }
    }
}

} // namespace trov::imaging::testing
