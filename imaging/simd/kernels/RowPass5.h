#pragma once

// The shared shape of the 5x5 row kernels: one source row in, its A, B and C rows (or, for the
// derivative filters, its one intermediate row) out. Internal to imaging/simd/kernels.

#include "imaging/simd/kernels/LaneOps.h"

namespace trov::imaging::simd {

// How a kind of source sample becomes vector lanes: kPerStep samples per load, kLaneBytes per lane.
struct Lanes8u {
    using Sample = std::uint8_t;
    static constexpr int kPerStep = 8;
    static constexpr int kLaneBytes = 2;
    static __m128i load(const Sample* p) { return _mm_unpacklo_epi8(load8(p), _mm_setzero_si128()); }
};

struct Lanes8s {
    using Sample = std::int8_t;
    static constexpr int kPerStep = 8;
    static constexpr int kLaneBytes = 2;
    static __m128i load(const Sample* p) {
        const __m128i bytes = load8(p);
        return _mm_srai_epi16(_mm_unpacklo_epi8(bytes, bytes), 8);
    }
};

struct Lanes16s {
    using Sample = std::int16_t;
    static constexpr int kPerStep = 4;
    static constexpr int kLaneBytes = 4;
    static __m128i load(const Sample* p) {
        const __m128i words = load8(p);
        return _mm_srai_epi32(_mm_unpacklo_epi16(words, words), 16);
    }
};

template <bool Aligned> struct Lanes32f {
    using Sample = float;
    static constexpr int kPerStep = 4;
    static constexpr int kLaneBytes = 4;
    static __m128i load(const Sample* p) {
        return _mm_castps_si128(Aligned ? _mm_load_ps(p) : _mm_loadu_ps(p));
    }
};

// Integer rows of a symmetric mask: each output row is w04 (P0 + P4) + w13 (P1 + P3) + w2 P2, exact in the
// lane width (wrapping intermediate values are allowed; the final values fit).
template <class Mask, class Ops> struct IntegerRows {
    static constexpr int kRows = 3;
    template <const int (&W)[3]> static __m128i row(__m128i s04, __m128i s13, __m128i p2) {
        return Ops::add(Ops::add(Ops::template times<W[0]>(s04), Ops::template times<W[1]>(s13)),
                        Ops::template times<W[2]>(p2));
    }
    static void compute(const __m128i (&p)[5], __m128i (&out)[3]) {
        const __m128i s04 = Ops::add(p[0], p[4]);
        const __m128i s13 = Ops::add(p[1], p[3]);
        out[0] = row<Mask::kA>(s04, s13, p[2]);
        out[1] = row<Mask::kB>(s04, s13, p[2]);
        out[2] = row<Mask::kC>(s04, s13, p[2]);
    }
};

struct GaussianMask {
    static constexpr int kA[3] = {2, 7, 12};
    static constexpr int kB[3] = {7, 31, 52};
    static constexpr int kC[3] = {12, 52, 127};
};

struct LaplacianMask {
    static constexpr int kA[3] = {-1, -3, -4};
    static constexpr int kB[3] = {-3, 0, 6};
    static constexpr int kC[3] = {-4, 6, 20};
};

// One source row into Arith::kRows rows: Arith::compute(taps P0..P4, rows). Full steps of kPerStep
// outputs carry the blocks they have loaded, so every sample is loaded once, and run only while their
// newest block lies within the samples the row needs (up to n - 1 + 4C). The rest of the row is gathered
// exactly into a local block run; its steps store whole blocks (up to the next multiple of kPerStep
// elements), or with ExactWrites exactly the elements up to n.
template <class Lanes, int C, class Arith, bool ExactWrites = false>
void rowPassRows(const void* srcRow, unsigned char* const (&rows)[Arith::kRows], std::ptrdiff_t n) {
    using Sample = typename Lanes::Sample;
    constexpr int K = Lanes::kPerStep;
    constexpr int L = (K - 1 + 4 * C) / K;
    constexpr std::ptrdiff_t kFullStep = K * (L + 1) - 4 * C;
    constexpr int kTap = Lanes::kLaneBytes * C;
    const auto* src = static_cast<const Sample*>(srcRow);

    auto step = [&](const __m128i(&w)[L + 1], std::ptrdiff_t i) {
        const __m128i taps[5] = {window<0>(w), window<kTap>(w), window<2 * kTap>(w), window<3 * kTap>(w),
                                 window<4 * kTap>(w)};
        __m128i out[Arith::kRows];
        Arith::compute(taps, out);
        for (int r = 0; r < Arith::kRows; ++r) {
            unsigned char* p = rows[r] + i * Lanes::kLaneBytes;
            if (ExactWrites && n - i < K)
                storeExact(p, out[r], static_cast<std::size_t>((n - i) * Lanes::kLaneBytes));
            else
                _mm_store_si128(reinterpret_cast<__m128i*>(p), out[r]);
        }
    };

    std::ptrdiff_t i = 0;
    if (n >= kFullStep) {
        __m128i w[L + 1];
        for (int j = 0; j < L; ++j)
            w[j] = Lanes::load(src + K * j);
        for (; n - i >= kFullStep; i += K) {
            w[L] = Lanes::load(src + i + K * L);
            step(w, i);
            for (int j = 0; j < L; ++j)
                w[j] = w[j + 1];
        }
    }
    if (i < n) {
        alignas(16) Sample tail[K * (L + 2)] = {};
        std::memcpy(tail, src + i, static_cast<std::size_t>(n - i + 4 * C) * sizeof(Sample));
        for (std::ptrdiff_t t = 0; i + t < n; t += K) {
            __m128i w[L + 1];
            for (int j = 0; j <= L; ++j)
                w[j] = Lanes::load(tail + t + K * j);
            step(w, i + t);
        }
    }
}

template <class Lanes, int C, class Arith, bool ExactWrites = false>
void rowPass5(const void* srcRow, void* aRow, void* bRow, void* cRow, std::ptrdiff_t n) {
    unsigned char* const rows[3] = {static_cast<unsigned char*>(aRow), static_cast<unsigned char*>(bRow),
                                    static_cast<unsigned char*>(cRow)};
    rowPassRows<Lanes, C, Arith, ExactWrites>(srcRow, rows, n);
}

// Float rows read the source with aligned loads when it starts on a 16-byte boundary.
template <int C, class Arith, bool ExactWrites = false>
void rowPassFloat(const void* srcRow, unsigned char* const (&rows)[Arith::kRows], std::ptrdiff_t n) {
    if (isAligned16(srcRow))
        rowPassRows<Lanes32f<true>, C, Arith, ExactWrites>(srcRow, rows, n);
    else
        rowPassRows<Lanes32f<false>, C, Arith, ExactWrites>(srcRow, rows, n);
}

template <int C, class Arith>
void rowPass5Float(const void* srcRow, void* aRow, void* bRow, void* cRow, std::ptrdiff_t n) {
    unsigned char* const rows[3] = {static_cast<unsigned char*>(aRow), static_cast<unsigned char*>(bRow),
                                    static_cast<unsigned char*>(cRow)};
    rowPassFloat<C, Arith>(srcRow, rows, n);
}

// Single-precision helpers; every product and sum is rounded once, in the order written.
inline __m128 asFloat(__m128i v) {
    return _mm_castsi128_ps(v);
}
inline __m128i asInt(__m128 v) {
    return _mm_castps_si128(v);
}
inline __m128 mulBy(__m128 x, float k) {
    return _mm_mul_ps(x, _mm_set1_ps(k));
}

} // namespace trov::imaging::simd
