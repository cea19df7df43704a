#pragma once

// The shared shape of the horizontal pass kernels: destination element j from the row-buffer elements
// j, j + d, ..., j + (taps - 1) d (d the channel distance; the row buffer starts taps / 2 pixels left of the
// destination) and, in the centred families, from element j of the centre row (the source row of the
// destination row). Internal to imaging/simd/kernels.
//
// Reads: the row buffer (16-byte aligned) in whole aligned blocks, never past the block that holds its
// last used element n - 1 + (taps - 1) d; at the end of the row the last elements are gathered exactly.
// The centre row (any alignment) exactly its n elements, asked ahead into the cache by a prefetch hint.
// Writes: exactly n destination elements (see writeRow and writeRowKeepAlpha).

#include "imaging/simd/kernels/LaneOps.h"

namespace trov::imaging::simd {

// What one destination block of Outs elements reads: the aligned row-buffer blocks from its first
// output's left tap to the block holding its last output's right tap, and its Outs centre samples.
template <class Row, int Outs, int Taps, int D> struct TapWindow {
    static constexpr int kDistance = D;
    static constexpr int kLanes = 16 / int(sizeof(Row));
    static constexpr int kBlocks = (Outs + (Taps - 1) * D + kLanes - 1) / kLanes;
    __m128i blocks[kBlocks];
    __m128i centre; // low end first

    // Tap K of the outputs in lane group G (outputs G * kLanes onwards), in row lanes.
    template <int K, int G> __m128i tap() const {
        return window<(G * kLanes + K * D) * int(sizeof(Row))>(blocks);
    }
};

// A formula F over row lanes made into destination blocks: two lane groups narrowed with saturation (8u
// from 16-bit lanes, 16s from 32-bit lanes) or one group stored as it is (lanes as wide as the output).
// F::lanes<G>(window) gives the row lanes of group G. CentreSize 0: no centre row.
template <class RowT, std::size_t OutSize, int Taps, std::size_t CentreSize, class F> struct PassKind {
    using Row = RowT;
    static constexpr std::size_t kOutSize = OutSize;
    static constexpr int kTaps = Taps;
    static constexpr std::size_t kCentreSize = CentreSize;

    template <class W> static __m128i block(const W& w) {
        if constexpr (OutSize == sizeof(Row)) {
            return F::template lanes<0>(w);
        } else {
            const __m128i lo = F::template lanes<0>(w), hi = F::template lanes<1>(w);
            if constexpr (OutSize == 1)
                return packSaturatedU8(lo, hi);
            else
                return packSaturatedS16(lo, hi);
        }
    }
};

template <class Kind, int D, bool KeepAlpha>
void runHorizontal(const void* centre, const void* row, void* dst, std::ptrdiff_t n) {
    using Row = typename Kind::Row;
    constexpr int kOuts = int(16 / Kind::kOutSize);
    using Window = TapWindow<Row, kOuts, Kind::kTaps, D>;
    constexpr auto kRowSize = static_cast<std::ptrdiff_t>(sizeof(Row));
    constexpr auto kCentreSize = static_cast<std::ptrdiff_t>(Kind::kCentreSize);
    const auto* rowBytes = static_cast<const unsigned char*>(row);
    const auto* centreBytes = static_cast<const unsigned char*>(centre);
    auto block = [&](std::ptrdiff_t j, std::ptrdiff_t count) {
        Window w;
        const unsigned char* at = rowBytes + j * kRowSize;
        if (count == kOuts) {
            for (int b = 0; b < Window::kBlocks; ++b)
                w.blocks[b] = loadAligned(at + 16 * b);
        } else {
            alignas(16) unsigned char local[16 * Window::kBlocks] = {};
            std::memcpy(local, at, static_cast<std::size_t>((count + (Kind::kTaps - 1) * D) * kRowSize));
            for (int b = 0; b < Window::kBlocks; ++b)
                w.blocks[b] = loadAligned(local + 16 * b);
        }
        w.centre = _mm_setzero_si128();
        if constexpr (kCentreSize > 0) {
            const unsigned char* c = centreBytes + j * kCentreSize;
            prefetchAhead(c, 512);
            if (count == kOuts)
                w.centre = kOuts * kCentreSize == 16 ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(c))
                                                     : load8(c);
            else
                w.centre = loadExact(c, static_cast<std::size_t>(count * kCentreSize));
        }
        return Kind::block(w);
    };
    if constexpr (KeepAlpha)
        writeRowKeepAlpha<Kind::kOutSize>(dst, n, block);
    else
        writeRow<Kind::kOutSize>(dst, n, block);
}

// The two kernel shapes: (row buffer, destination, n) and (centre row, row buffer, destination, n).
template <class Kind, int D, bool KeepAlpha = false>
void horizontalPass(const void* row, void* dst, std::ptrdiff_t n) {
    runHorizontal<Kind, D, KeepAlpha>(nullptr, row, dst, n);
}
template <class Kind, int D, bool KeepAlpha = false>
void centredPass(const void* centre, const void* row, void* dst, std::ptrdiff_t n) {
    runHorizontal<Kind, D, KeepAlpha>(centre, row, dst, n);
}

// The common tap sums, in fixed orders for float lanes.
// (l + c) + r.
template <class Ops> struct TapSum3 {
    template <int G, class W> static __m128i lanes(const W& w) {
        return Ops::add(Ops::add(w.template tap<0, G>(), w.template tap<1, G>()), w.template tap<2, G>());
    }
};
// l + 2c + r: (l + c) + (c + r) with four-element pixels, else (l + (c + c)) + r.
template <class Ops> struct TapSum121 {
    template <int G, class W> static __m128i lanes(const W& w) {
        const __m128i l = w.template tap<0, G>(), c = w.template tap<1, G>(), r = w.template tap<2, G>();
        if constexpr (W::kDistance == 4)
            return Ops::add(Ops::add(l, c), Ops::add(c, r));
        else
            return Ops::add(Ops::add(l, Ops::add(c, c)), r);
    }
};
// ((t0 + t4) + (t1 + t2)) + t3.
template <class Ops> struct TapSum5 {
    template <int G, class W> static __m128i lanes(const W& w) {
        return Ops::add(Ops::add(Ops::add(w.template tap<0, G>(), w.template tap<4, G>()),
                                 Ops::add(w.template tap<1, G>(), w.template tap<2, G>())),
                        w.template tap<3, G>());
    }
};

// Centre samples of lane group G widened to row lanes.
template <int G> __m128i zeroExtend8(__m128i bytes) {
    return G == 0 ? _mm_unpacklo_epi8(bytes, _mm_setzero_si128())
                  : _mm_unpackhi_epi8(bytes, _mm_setzero_si128());
}
template <int G> __m128i signExtend8(__m128i bytes) {
    return _mm_srai_epi16(G == 0 ? _mm_unpacklo_epi8(bytes, bytes) : _mm_unpackhi_epi8(bytes, bytes), 8);
}
template <int G> __m128i signExtend16(__m128i words) {
    return _mm_srai_epi32(G == 0 ? _mm_unpacklo_epi16(words, words) : _mm_unpackhi_epi16(words, words), 16);
}
// The offset form of 16s samples: sign bit inverted (value + 32768), widened with zeros.
template <int G> __m128i offsetForm16(__m128i words) {
    const __m128i offset = _mm_xor_si128(words, _mm_set1_epi16(static_cast<short>(0x8000)));
    return G == 0 ? _mm_unpacklo_epi16(offset, _mm_setzero_si128())
                  : _mm_unpackhi_epi16(offset, _mm_setzero_si128());
}

} // namespace trov::imaging::simd

// Named kernels: one member, or the channel-code members of a family: one, three and four channels, and
// four keeping the destination's alpha (the means have no four-channel member without alpha).
#define TROV_HORIZONTAL_KERNEL(name, Kind, distance, keepAlpha)                                              \
    void name(const void* row, void* dst, std::ptrdiff_t n) {                                                \
        simd::horizontalPass<Kind, distance, keepAlpha>(row, dst, n);                                        \
    }
#define TROV_CENTRED_KERNEL(name, Kind, distance, keepAlpha)                                                 \
    void name(const void* centre, const void* row, void* dst, std::ptrdiff_t n) {                            \
        simd::centredPass<Kind, distance, keepAlpha>(centre, row, dst, n);                                   \
    }
#define TROV_HORIZONTAL_MEMBERS_BUT_C4(base, Kind)                                                           \
    TROV_HORIZONTAL_KERNEL(base##_C1, Kind, 1, false)                                                        \
    TROV_HORIZONTAL_KERNEL(base##_C3, Kind, 3, false)                                                        \
    TROV_HORIZONTAL_KERNEL(base##_KeepAlpha, Kind, 4, true)
#define TROV_HORIZONTAL_MEMBERS(base, Kind)                                                                  \
    TROV_HORIZONTAL_MEMBERS_BUT_C4(base, Kind)                                                               \
    TROV_HORIZONTAL_KERNEL(base##_C4, Kind, 4, false)
#define TROV_CENTRED_MEMBERS(base, Kind)                                                                     \
    TROV_CENTRED_KERNEL(base##_C1, Kind, 1, false)                                                           \
    TROV_CENTRED_KERNEL(base##_C3, Kind, 3, false)                                                           \
    TROV_CENTRED_KERNEL(base##_C4, Kind, 4, false)                                                           \
    TROV_CENTRED_KERNEL(base##_KeepAlpha, Kind, 4, true)
