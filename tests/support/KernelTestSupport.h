#pragma once

// Typed rows for the kernel tests: aligned blocks of exactly the documented size (so that reads past them
// show under AddressSanitizer), sentinels to prove what was not written, and the 5x5 row formulas.

#include "support/SmoothingTestSupport.h"

#include <algorithm>
#include <new>

namespace trov::imaging::testing {

// `count` elements of T, 32-byte aligned, every byte set to `fill`.
template <class T> class AlignedRow {
public:
    explicit AlignedRow(std::size_t count, unsigned char fill = 0xA5)
        : count_(count), data_(static_cast<T*>(::operator new (count * sizeof(T), std::align_val_t{32}))) {
        std::memset(static_cast<void*>(data_), fill, count * sizeof(T));
    }
    ~AlignedRow() { ::operator delete (data_, std::align_val_t{32}); }
    AlignedRow(const AlignedRow&) = delete;
    AlignedRow& operator=(const AlignedRow&) = delete;

    T* data() { return data_; }
    T& operator[](std::size_t i) { return data_[i]; }
    // True when bytes from element `from` on still hold `fill`.
    bool untouchedFrom(std::size_t from, unsigned char fill = 0xA5) const {
        const auto* bytes = reinterpret_cast<const unsigned char*>(data_);
        return std::all_of(bytes + from * sizeof(T), bytes + count_ * sizeof(T),
                           [=](unsigned char b) { return b == fill; });
    }

private:
    std::size_t count_;
    T* data_;
};

template <class T> bool sameBits(T a, T b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

constexpr std::ptrdiff_t roundUp(std::ptrdiff_t n, std::ptrdiff_t grain) {
    return (n + grain - 1) / grain * grain;
}

template <class T> T saturate(long long v) {
    return static_cast<T>(
        std::clamp<long long>(v, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
}

// Source sample kinds of the row-wise kernels; each widens into one row element type.
enum class Source { U8, S8, S16, F32 };

// Calls f.template operator()<Sample, RowElement>() for `source`.
template <class F> void withSourceTypes(Source source, F&& f) {
    switch (source) {
    case Source::U8:
        return f.template operator()<std::uint8_t, std::uint16_t>();
    case Source::S8:
        return f.template operator()<std::int8_t, std::int16_t>();
    case Source::S16:
        return f.template operator()<std::int16_t, std::int32_t>();
    case Source::F32:
        return f.template operator()<float, float>();
    }
}

// The 5x5 row formulas in single precision: Gaussian, and the Laplacian-type mask in the operation orders
// of its one-, three- and four-channel float members (the integer members are exact: the mask rows).
enum class Formula { Gauss, LaplaceC1, LaplaceC3, LaplaceC4 };

inline Formula formulaOf(bool gauss, int channels) {
    if (gauss)
        return Formula::Gauss;
    return channels == 1 ? Formula::LaplaceC1 : channels == 3 ? Formula::LaplaceC3 : Formula::LaplaceC4;
}

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
