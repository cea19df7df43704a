#pragma once

// Small SSE2 building blocks shared by the kernel families. Internal to imaging/simd.

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace trov::imaging::simd {

inline bool isAligned16(const void* p) {
    return (reinterpret_cast<std::uintptr_t>(p) & 15u) == 0;
}

// `bytes` (0 to 16) bytes from p in the low end of a vector, zeros above. Reads nothing else.
inline __m128i loadExact(const void* p, std::size_t bytes) {
    alignas(16) unsigned char tmp[16] = {};
    std::memcpy(tmp, p, bytes);
    return _mm_load_si128(reinterpret_cast<const __m128i*>(tmp));
}

// Writes the low `bytes` (0 to 16) bytes of v to p. Writes nothing else.
inline void storeExact(void* p, __m128i v, std::size_t bytes) {
    alignas(16) unsigned char tmp[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(tmp), v);
    std::memcpy(p, tmp, bytes);
}

inline __m128i loadAligned(const void* p) {
    return _mm_load_si128(static_cast<const __m128i*>(p));
}
inline __m128i load8(const void* p) {
    return _mm_loadl_epi64(static_cast<const __m128i*>(p));
}

// The 16 bytes that start `Offset` bytes into a run of 16-byte blocks held in registers.
template <int Offset, std::size_t N>
inline __m128i window(const __m128i (&blocks)[N], std::size_t first = 0) {
    constexpr int block = Offset / 16;
    constexpr int shift = Offset % 16;
    if constexpr (shift == 0) {
        return blocks[first + block];
    } else {
        static_assert(block + 1 < static_cast<int>(N), "window reaches past the blocks held");
        const __m128i lo = blocks[first + block];
        const __m128i hi = blocks[first + block + 1];
        if constexpr (shift == 8) // high half of one block, low half of the next: one shuffle
            return _mm_castpd_si128(_mm_shuffle_pd(_mm_castsi128_pd(lo), _mm_castsi128_pd(hi), 1));
        else
            return _mm_or_si128(_mm_srli_si128(lo, shift), _mm_slli_si128(hi, 16 - shift));
    }
}

constexpr int log2Exact(int k) {
    int b = 0;
    while ((1 << b) < k)
        ++b;
    return (1 << b) == k ? b : -1;
}

// One multiplication by K in 16-bit lanes. The empty asm hides the constant, so the compiler keeps the one
// multiplication instead of expanding it into a longer run of shifts and additions (measurably slower
// where the vector units are the limit).
template <int K> inline __m128i times16Multiplied(__m128i x) {
    __m128i k = _mm_set1_epi16(static_cast<short>(K));
    asm("" : "+x"(k));
    return _mm_mullo_epi16(x, k);
}

// Lane-wise multiplication by a constant, exact modulo the lane width. Powers of two and their
// neighbours become a shift and an addition or subtraction; other constants a multiplication (16-bit
// lanes) or a sum of shifts (32-bit lanes: SSE2 has no 32-bit lane multiplication).
template <int K> inline __m128i times16(__m128i x) {
    if constexpr (K < 0)
        return _mm_sub_epi16(_mm_setzero_si128(), times16<-K>(x));
    else if constexpr (K == 0)
        return _mm_setzero_si128();
    else if constexpr (log2Exact(K) >= 0)
        return _mm_slli_epi16(x, log2Exact(K));
    else if constexpr (log2Exact(K + 1) >= 0)
        return _mm_sub_epi16(_mm_slli_epi16(x, log2Exact(K + 1)), x);
    else if constexpr (log2Exact(K - 1) >= 0)
        return _mm_add_epi16(_mm_slli_epi16(x, log2Exact(K - 1)), x);
    else
        return times16Multiplied<K>(x);
}

template <int K> inline __m128i times32(__m128i x) {
    if constexpr (K < 0) {
        return _mm_sub_epi32(_mm_setzero_si128(), times32<-K>(x));
    } else if constexpr (K == 0) {
        return _mm_setzero_si128();
    } else if constexpr (log2Exact(K + 1) >= 0) {
        return _mm_sub_epi32(_mm_slli_epi32(x, log2Exact(K + 1)), x);
    } else {
        __m128i sum = _mm_setzero_si128();
        for (int b = 0; b < 31; ++b)
            if ((K >> b) & 1)
                sum = _mm_add_epi32(sum, _mm_slli_epi32(x, b));
        return sum;
    }
}

// One set lane of 0xFF.. on the last element of every four-element pixel, for an element size in bytes.
template <std::size_t ElementSize> inline __m128i alphaLanes() {
    if constexpr (ElementSize == 1)
        return _mm_set1_epi32(static_cast<int>(0xFF000000u));
    else if constexpr (ElementSize == 2)
        return _mm_set_epi32(static_cast<int>(0xFFFF0000u), 0, static_cast<int>(0xFFFF0000u), 0);
    else
        return _mm_set_epi32(-1, 0, 0, 0);
}

// Writes `elements` destination elements of ElementSize bytes, taking each 16-byte block from
// block(i, count), the block of elements i onwards of which `count` are written (a whole block's worth
// except at the end of the row, where a block may gather its inputs exactly). Full blocks go out with
// non-temporal stores when the row starts on a 16-byte boundary, else with unaligned stores; the rest of
// the row is written exactly.
template <std::size_t ElementSize, class Block>
inline void writeRow(void* dst, std::ptrdiff_t elements, Block&& block) {
    constexpr std::ptrdiff_t perBlock = 16 / ElementSize;
    auto* out = static_cast<unsigned char*>(dst);
    std::ptrdiff_t i = 0;
    const std::ptrdiff_t full = elements - elements % perBlock;
    if (isAligned16(out)) {
        for (; i < full; i += perBlock)
            _mm_stream_si128(reinterpret_cast<__m128i*>(out + i * ElementSize), block(i, perBlock));
    } else {
        for (; i < full; i += perBlock)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i * ElementSize), block(i, perBlock));
    }
    if (i < elements)
        storeExact(out + i * ElementSize, block(i, elements - i),
                   static_cast<std::size_t>(elements - i) * ElementSize);
}

// Asks for the line `ahead` bytes on to be brought into the cache: a hint, which neither faults nor counts as
// a read, so it may point past the row.
inline void prefetchAhead(const void* p, std::ptrdiff_t ahead) {
    _mm_prefetch(static_cast<const char*>(p) + ahead, _MM_HINT_T0);
}

// As writeRow for rows of four-element pixels whose fourth element (alpha) is kept: every block is merged
// with what the destination holds, which is fetched ahead. Ordinary stores only, since the destination is
// read.
template <std::size_t ElementSize, class Block>
inline void writeRowKeepAlpha(void* dst, std::ptrdiff_t elements, Block&& block) {
    constexpr std::ptrdiff_t perBlock = 16 / ElementSize;
    const __m128i alpha = alphaLanes<ElementSize>();
    auto merge = [&](__m128i fresh, __m128i old) {
        return _mm_or_si128(_mm_and_si128(alpha, old), _mm_andnot_si128(alpha, fresh));
    };
    auto* out = static_cast<unsigned char*>(dst);
    std::ptrdiff_t i = 0;
    const std::ptrdiff_t full = elements - elements % perBlock;
    if (isAligned16(out)) {
        for (; i < full; i += perBlock) {
            auto* p = reinterpret_cast<__m128i*>(out + i * ElementSize);
            prefetchAhead(p, 512);
            _mm_store_si128(p, merge(block(i, perBlock), _mm_load_si128(p)));
        }
    } else {
        for (; i < full; i += perBlock) {
            auto* p = reinterpret_cast<__m128i*>(out + i * ElementSize);
            prefetchAhead(p, 512);
            _mm_storeu_si128(p, merge(block(i, perBlock), _mm_loadu_si128(p)));
        }
    }
    if (i < elements) {
        const auto bytes = static_cast<std::size_t>(elements - i) * ElementSize;
        unsigned char* p = out + i * ElementSize;
        storeExact(p, merge(block(i, elements - i), loadExact(p, bytes)), bytes);
    }
}

// Rounds 16-bit lanes holding s <= 4080 to s / 16, halves to even: (s + 8) >> 4, less one where
// s & 31 == 8 (an even quotient plus exactly one half).
inline __m128i roundDiv16Lanes16(__m128i s) {
    const __m128i r = _mm_srli_epi16(_mm_add_epi16(s, _mm_set1_epi16(8)), 4);
    const __m128i tie = _mm_cmpeq_epi16(_mm_and_si128(s, _mm_set1_epi16(31)), _mm_set1_epi16(8));
    return _mm_add_epi16(r, tie);
}

// The same in 32-bit lanes (logical shift, so it also serves biased non-negative sums).
inline __m128i roundDiv16Lanes32(__m128i s) {
    const __m128i r = _mm_srli_epi32(_mm_add_epi32(s, _mm_set1_epi32(8)), 4);
    const __m128i tie = _mm_cmpeq_epi32(_mm_and_si128(s, _mm_set1_epi32(31)), _mm_set1_epi32(8));
    return _mm_add_epi32(r, tie);
}

} // namespace trov::imaging::simd
