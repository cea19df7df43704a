#include "imaging/Variant2.h"

#include "imaging/FilterGauss.h"
#include "imaging/PortableSmoothing.h"

#include <mmintrin.h>

#include <cstdint>
#include <cstring>

namespace trov::imaging {

namespace {

bool rangesApart(std::uintptr_t a, std::uintptr_t aBytes, std::uintptr_t b, std::uintptr_t bBytes) {
    return a + aBytes <= b || b + bBytes <= a;
}

__m64 widenTwoBytes(const std::uint8_t* p) {
    std::uint16_t pair;
    std::memcpy(&pair, p, sizeof pair);
    const __m64 zero = _mm_setzero_si64();
    return _mm_unpacklo_pi16(_mm_unpacklo_pi8(_mm_cvtsi32_si64(pair), zero), zero);
}

// Products of one source byte with the six distinct 5x5 weights, by shifts and additions only.
struct Products {
    std::int32_t w2, w7, w12, w31, w52, w127;
    void set(std::int32_t p) {
        w2 = p + p;
        w7 = (p << 3) - p;
        w12 = (p << 3) + (p << 2);
        w31 = (p << 5) - p;
        w52 = (p << 6) - w12;
        w127 = (p << 7) - p;
    }
};

} // namespace

void sum121Strided(const std::uint8_t* s, std::int32_t* dst, std::ptrdiff_t count, std::ptrdiff_t stride) {
    // Stored bytewise so that a destination off its 4-byte grid is well defined too.
    auto scalar = [&](std::ptrdiff_t i) {
        const std::int32_t sum = s[i] + 2 * s[i + stride] + s[i + 2 * stride];
        std::memcpy(dst + i, &sum, sizeof sum);
    };
    const std::ptrdiff_t c4 = count / 4 * 4;
    std::ptrdiff_t i = 0;
    const auto d = reinterpret_cast<std::uintptr_t>(dst);
    const auto src = reinterpret_cast<std::uintptr_t>(s);
    const auto span = static_cast<std::uintptr_t>(c4);
    const auto k = static_cast<std::uintptr_t>(stride);
    if (c4 > 0 && d % 4 == 0 && rangesApart(d, 4 * span, src, span) &&
        rangesApart(d, 4 * span, src + k, span) && rangesApart(d, 4 * span, src + 2 * k, span)) {
        if (d % 8 != 0)
            scalar(i++);
        for (; i + 2 <= c4; i += 2) {
            const __m64 left = widenTwoBytes(s + i);
            const __m64 centre = widenTwoBytes(s + i + stride);
            const __m64 right = widenTwoBytes(s + i + 2 * stride);
            *reinterpret_cast<__m64*>(dst + i) =
                _mm_add_pi32(_mm_add_pi32(left, right), _mm_slli_pi32(centre, 1));
        }
        if (i < c4)
            scalar(i++);
        _mm_empty();
    }
    for (; i < count; ++i)
        scalar(i);
}

void columnSum121Round2(const std::int32_t* r0, const std::int32_t* r1, const std::int32_t* r2,
                        std::uint8_t* dst, std::ptrdiff_t n) {
    auto element = [&](std::ptrdiff_t i) {
        dst[i] = roundDiv16HalfEven(static_cast<std::uint32_t>(r0[i] + 2 * r1[i] + r2[i]));
    };
    std::ptrdiff_t i = 0;
    for (; i + 4 <= n; i += 4) {
        element(i);
        element(i + 1);
        element(i + 2);
        element(i + 3);
    }
    if (n - i >= 2) {
        element(i);
        element(i + 1);
        i += 2;
    }
    if (i < n)
        element(i);
}

FilterStatus smooth3x3Variant2(const std::uint8_t* src, std::int32_t srcStep, std::uint8_t* dst,
                               std::int32_t dstStep, std::int32_t width, std::int32_t height,
                               std::int32_t elementsPerPixel) {
    return smooth3x3Rows(src, srcStep, dst, dstStep, width, height, elementsPerPixel, sum121Strided,
                         columnSum121Round2);
}

void rowSums5x5Cached(const std::uint8_t* row, std::int32_t* a, std::int32_t* b, std::int32_t* c,
                      std::ptrdiff_t n) {
    Products table[5][4]; // five pixel slots by four channels
    for (int slot = 0; slot < 4; ++slot)
        for (int ch = 0; ch < 4; ++ch)
            table[slot][ch].set(row[4 * slot + ch]);

    // Output pixel x has its window in slots x mod 5 to (x + 4) mod 5; its newest pixel goes into the
    // slot that the window's oldest pixel left.
    auto pixel = [&](int k, std::ptrdiff_t x) {
        const int s0 = k, s1 = (k + 1) % 5, s2 = (k + 2) % 5, s3 = (k + 3) % 5, s4 = (k + 4) % 5;
        for (int ch = 0; ch < 4; ++ch) {
            table[s4][ch].set(row[4 * (x + 4) + ch]);
            const Products& p0 = table[s0][ch];
            const Products& p1 = table[s1][ch];
            const Products& p2 = table[s2][ch];
            const Products& p3 = table[s3][ch];
            const Products& p4 = table[s4][ch];
            const std::ptrdiff_t j = 4 * x + ch;
            a[j] = p0.w2 + p4.w2 + p1.w7 + p3.w7 + p2.w12;
            b[j] = p0.w7 + p4.w7 + p1.w31 + p3.w31 + p2.w52;
            c[j] = p0.w12 + p4.w12 + p1.w52 + p3.w52 + p2.w127;
        }
    };
    std::ptrdiff_t x = 0;
    for (std::ptrdiff_t pass = 0; pass < n / 20; ++pass)
        for (int k = 0; k < 5; ++k, ++x)
            pixel(k, x);
    for (int k = 0; x < n / 4; ++k, ++x)
        pixel(k, x);
}

void columnSum5x5Round2(const std::int32_t* a0, const std::int32_t* b1, const std::int32_t* c2,
                        const std::int32_t* b3, const std::int32_t* a4, std::uint8_t* out, std::ptrdiff_t n) {
    auto sum = [&](std::ptrdiff_t i) {
        return static_cast<std::uint32_t>(a0[i] + b1[i] + c2[i] + b3[i] + a4[i]);
    };
    std::ptrdiff_t i = 0;
    for (; i + 4 <= n; i += 4)
        for (std::ptrdiff_t k = i; k < i + 4; ++k)
            out[k] = roundDiv571(sum(k));
    // 286 x 29382 = 8403252: the same value with the addend folded in.
    for (; i < n; ++i)
        out[i] = static_cast<std::uint8_t>((sum(i) * 29382u + 8403252u) >> 24);
}

FilterStatus filterGaussVariant2(const std::uint8_t* src, std::int32_t srcStep, std::uint8_t* dst,
                                 std::int32_t dstStep, std::int32_t width, std::int32_t height,
                                 SmoothingMask mask) {
    const FilterStatus status = checkFilterArguments(src, srcStep, dst, dstStep, width, height, mask);
    if (status != FilterStatus::Ok)
        return status;
    if (mask == SmoothingMask::Mask3x3)
        return smooth3x3Variant2(src, srcStep, dst, dstStep, width, height, kChannelsPerPixel);
    return smooth5x5Rings(src, srcStep, dst, dstStep, width, height, rowSums5x5Cached, columnSum5x5Round2);
}

} // namespace trov::imaging
