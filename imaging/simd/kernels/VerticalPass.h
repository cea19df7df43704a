#pragma once

// The shared shape of the kernels that combine vertically adjacent source rows column by column into a
// 16-byte aligned row buffer: the 3x3 vertical passes, the vertical differences and second differences,
// the Scharr smoothing and the five-row column sums. Internal to imaging/simd/kernels.
//
// Reads exactly n elements of each source row the formula names (rows at Formula::kRows steps below the
// address given) and, for the accumulating formulas, of the row buffer. Writes exactly n elements of the
// row buffer, except that float formulas that do not accumulate finish the 16-byte block holding their
// last element, its lanes past n being the formula over zeros (+0.0).

#include "imaging/simd/kernels/LaneOps.h"

#include <algorithm>
#include <iterator>
#include <type_traits>

namespace trov::imaging::simd {

// How 16 source bytes become row-buffer lanes (kOut vectors of them), and the lane arithmetic.
struct Widen8u {
    using Ops = Int16Ops;
    static constexpr std::ptrdiff_t kSampleSize = 1, kOut = 2;
    static void widen(__m128i v, __m128i (&out)[2]) {
        out[0] = _mm_unpacklo_epi8(v, _mm_setzero_si128());
        out[1] = _mm_unpackhi_epi8(v, _mm_setzero_si128());
    }
};
struct Widen8s {
    using Ops = Int16Ops;
    static constexpr std::ptrdiff_t kSampleSize = 1, kOut = 2;
    static void widen(__m128i v, __m128i (&out)[2]) {
        out[0] = _mm_srai_epi16(_mm_unpacklo_epi8(v, v), 8);
        out[1] = _mm_srai_epi16(_mm_unpackhi_epi8(v, v), 8);
    }
};
// Offset form: the sign bit inverted (value + 32768), widened with zeros; sums carry 32768 per weight.
struct Widen16sOffset {
    using Ops = Int32Ops;
    static constexpr std::ptrdiff_t kSampleSize = 2, kOut = 2;
    static void widen(__m128i v, __m128i (&out)[2]) {
        const __m128i offset = _mm_xor_si128(v, _mm_set1_epi16(static_cast<short>(0x8000)));
        out[0] = _mm_unpacklo_epi16(offset, _mm_setzero_si128());
        out[1] = _mm_unpackhi_epi16(offset, _mm_setzero_si128());
    }
};
struct Widen16sSigned {
    using Ops = Int32Ops;
    static constexpr std::ptrdiff_t kSampleSize = 2, kOut = 2;
    static void widen(__m128i v, __m128i (&out)[2]) {
        out[0] = _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);
        out[1] = _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16);
    }
};
struct Float32 {
    using Ops = FloatOps;
    static constexpr std::ptrdiff_t kSampleSize = 4, kOut = 1;
    static void widen(__m128i v, __m128i (&out)[1]) { out[0] = v; }
};

// The raw source blocks of each row widened and combined into the row-buffer lanes.
template <class Widen, class Formula, std::size_t R>
void combineRows(const __m128i (&raw)[R], const __m128i (&old)[Widen::kOut], __m128i (&result)[Widen::kOut]) {
    __m128i lanes[R][Widen::kOut];
    for (std::size_t r = 0; r < R; ++r)
        Widen::widen(raw[r], lanes[r]);
    for (std::ptrdiff_t v = 0; v < Widen::kOut; ++v) {
        __m128i in[R];
        for (std::size_t r = 0; r < R; ++r)
            in[r] = lanes[r][v];
        result[v] = Formula::template apply<typename Widen::Ops>(in, old[v]);
    }
}

// Formula::kRows: the rows read, in source steps below the address given; Formula::kAccumulate: the row
// buffer's own value takes part; Formula::apply<Ops>(lanes of each row, row buffer lanes).
template <class Widen, class Formula>
void verticalPass(const void* top, void* rowOut, std::ptrdiff_t n, std::ptrdiff_t step) {
    constexpr std::size_t R = std::size(Formula::kRows);
    constexpr std::ptrdiff_t kOut = Widen::kOut;
    constexpr std::ptrdiff_t kPerStep = 16 / Widen::kSampleSize;
    constexpr std::ptrdiff_t kLaneSize = kOut * Widen::kSampleSize;
    const unsigned char* rows[R];
    for (std::size_t r = 0; r < R; ++r)
        rows[r] = static_cast<const unsigned char*>(top) + Formula::kRows[r] * step;
    auto* out = static_cast<unsigned char*>(rowOut);

    auto compute = [](const auto& raw, const auto& old, auto& result) {
        combineRows<Widen, Formula>(raw, old, result);
    };

    std::ptrdiff_t i = 0;
    for (; i + kPerStep <= n; i += kPerStep) {
        __m128i raw[R], old[kOut] = {}, result[kOut];
        for (std::size_t r = 0; r < R; ++r)
            raw[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[r] + i * Widen::kSampleSize));
        unsigned char* o = out + i * kLaneSize;
        if constexpr (Formula::kAccumulate)
            for (std::ptrdiff_t v = 0; v < kOut; ++v)
                old[v] = loadAligned(o + 16 * v);
        compute(raw, old, result);
        for (std::ptrdiff_t v = 0; v < kOut; ++v)
            _mm_store_si128(reinterpret_cast<__m128i*>(o + 16 * v), result[v]);
    }
    if (i < n) {
        __m128i raw[R], old[kOut] = {}, result[kOut];
        for (std::size_t r = 0; r < R; ++r)
            raw[r] = loadExact(rows[r] + i * Widen::kSampleSize,
                               static_cast<std::size_t>((n - i) * Widen::kSampleSize));
        unsigned char* o = out + i * kLaneSize;
        const std::ptrdiff_t outBytes = (n - i) * kLaneSize;
        auto bytesOf = [outBytes](std::ptrdiff_t v) {
            return static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(outBytes - 16 * v, 0, 16));
        };
        if constexpr (Formula::kAccumulate)
            for (std::ptrdiff_t v = 0; v < kOut; ++v)
                old[v] = loadExact(o + 16 * v, bytesOf(v));
        compute(raw, old, result);
        if constexpr (std::is_same_v<Widen, Float32> && !Formula::kAccumulate)
            _mm_store_si128(reinterpret_cast<__m128i*>(o), result[0]);
        else
            for (std::ptrdiff_t v = 0; v < kOut; ++v)
                storeExact(o + 16 * v, result[v], bytesOf(v));
    }
}

// The three-row formulas, in fixed orders for float lanes (t, m, b: top, middle and bottom rows).
struct Smooth121 { // (t + b) + (m + m)
    static constexpr int kRows[] = {0, 1, 2};
    static constexpr bool kAccumulate = false;
    template <class Ops> static __m128i apply(const __m128i (&x)[3], __m128i) {
        return Ops::add(Ops::add(x[0], x[2]), Ops::add(x[1], x[1]));
    }
};
struct Box111 { // (t + m) + b
    static constexpr int kRows[] = {0, 1, 2};
    static constexpr bool kAccumulate = false;
    template <class Ops> static __m128i apply(const __m128i (&x)[3], __m128i) {
        return Ops::add(Ops::add(x[0], x[1]), x[2]);
    }
};
struct BottomMinusTop { // b - t; the middle row is not read
    static constexpr int kRows[] = {0, 2};
    static constexpr bool kAccumulate = false;
    template <class Ops> static __m128i apply(const __m128i (&x)[2], __m128i) { return Ops::sub(x[1], x[0]); }
};

} // namespace trov::imaging::simd

// One named vertical kernel.
#define TROV_VERTICAL_KERNEL(name, Widen, Formula)                                                           \
    void name(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t step) {                           \
        simd::verticalPass<simd::Widen, Formula>(top, row, n, step);                                         \
    }
