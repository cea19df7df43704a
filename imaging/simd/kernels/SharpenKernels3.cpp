#include "imaging/simd/kernels/SharpenKernels3.h"

#include "imaging/simd/kernels/HorizontalPass.h"

namespace trov::imaging {

using namespace simd;

namespace {

// 17x minus the three taps, one by one: with a floor at 0 for 8u (every term is non-negative, so this is
// max(0, 17x - S) exactly), wrapping for 32-bit lanes, in this order for floats.
template <class Subtract> struct SeventeenXMinusTaps {
    template <int G, class W> static __m128i from(__m128i x17, const W& w) {
        return Subtract::sub(
            Subtract::sub(Subtract::sub(x17, w.template tap<0, G>()), w.template tap<1, G>()),
            w.template tap<2, G>());
    }
};
struct FlooredSub16 {
    static __m128i sub(__m128i a, __m128i b) { return _mm_subs_epu16(a, b); }
};

// 17x + 4 in one multiplication: the centre byte as the high byte over a low byte of 61 is 256x + 61, whose
// product with 4352 (17 x 256), shifted down by 16, is 17x + 4.05 rounded down: 17x + 4 for every byte.
template <int G> __m128i seventeenXPlus4(__m128i centre) {
    const __m128i low = _mm_set1_epi8(61);
    const __m128i x256 = G == 0 ? _mm_unpacklo_epi8(low, centre) : _mm_unpackhi_epi8(low, centre);
    return _mm_mulhi_epu16(x256, _mm_set1_epi16(4352));
}

// v / 8 rounded half to even, for v = max(0, 17x - S) at most 4335, saturated to 255. The rounding addend
// rides on 17x: max(0, 17x + 4 - S) is v + 4 wherever v > 0 and at most 3 where v = 0 (which still rounds
// to 0). (v + 4) >> 3 rounds halves up; where (v + 4) mod 16 is 8 (an even quotient plus exactly one half)
// one comes off. That test is made on bytes: v + 4 masked with 0xF80F is its low four bits below 2048 and
// narrows to 255 from there, where the quotient saturates anyway and no correction may apply.
struct Sharpen8u {
    using Row = std::uint16_t;
    static constexpr std::size_t kOutSize = 1;
    static constexpr int kTaps = 3;
    static constexpr std::size_t kCentreSize = 1;

    template <class W> static __m128i block(const W& w) {
        const __m128i v0 = SeventeenXMinusTaps<FlooredSub16>::from<0>(seventeenXPlus4<0>(w.centre), w);
        const __m128i v1 = SeventeenXMinusTaps<FlooredSub16>::from<1>(seventeenXPlus4<1>(w.centre), w);
        const __m128i lowBits = _mm_set1_epi16(static_cast<short>(0xF80F));
        const __m128i tie = _mm_cmpeq_epi8(
            _mm_packus_epi16(_mm_and_si128(v0, lowBits), _mm_and_si128(v1, lowBits)), _mm_set1_epi8(8));
        return _mm_add_epi8(_mm_packus_epi16(_mm_srli_epi16(v0, 3), _mm_srli_epi16(v1, 3)), tie);
    }
};
// v = true value + 262144 (a multiple of 16, so bit 3 is the true value's): adding 3, one more when that
// bit is set, and shifting arithmetically is division by 8 rounded half to even, also below zero.
struct Sharpen16s {
    template <int G, class W> static __m128i lanes(const W& w) {
        const __m128i v = SeventeenXMinusTaps<Int32Ops>::from<G>(times32<17>(offsetForm16<G>(w.centre)), w);
        const __m128i odd = _mm_and_si128(_mm_srli_epi32(v, 3), _mm_set1_epi32(1));
        return _mm_srai_epi32(_mm_add_epi32(_mm_add_epi32(v, _mm_set1_epi32(-262141)), odd), 3);
    }
};
struct Sharpen32f {
    template <int G, class W> static __m128i lanes(const W& w) {
        return FloatOps::scale(SeventeenXMinusTaps<FloatOps>::from<G>(FloatOps::times<17>(w.centre), w),
                               0.125f);
    }
};

using Sharpen3_16s = PassKind<std::int32_t, 2, 3, 2, Sharpen16s>;
using Sharpen3_32f = PassKind<float, 4, 3, 4, Sharpen32f>;

} // namespace

TROV_CENTRED_MEMBERS(horzSharpen3_8u, Sharpen8u)
TROV_CENTRED_MEMBERS(horzSharpen3_16s, Sharpen3_16s)
TROV_CENTRED_MEMBERS(horzSharpen3_32f, Sharpen3_32f)

} // namespace trov::imaging
