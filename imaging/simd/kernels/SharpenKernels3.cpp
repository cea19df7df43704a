#include "imaging/simd/kernels/SharpenKernels3.h"

#include "imaging/simd/kernels/HorizontalPass.h"

namespace trov::imaging {

using namespace simd;

namespace {

// 17x minus the three taps, one by one: with a floor at 0 for 8u (every term is non-negative, so this is
// max(0, 17x - S) exactly), wrapping for 32-bit lanes, in this order for floats.
template <class Ops, class Subtract> struct SeventeenXMinusTaps {
    template <int G, class W> static __m128i from(__m128i x17, const W& w) {
        return Subtract::sub(
            Subtract::sub(Subtract::sub(x17, w.template tap<0, G>()), w.template tap<1, G>()),
            w.template tap<2, G>());
    }
};
struct FlooredSub16 {
    static __m128i sub(__m128i a, __m128i b) { return _mm_subs_epu16(a, b); }
};

// v / 8 rounded half to even for 0 <= v <= 4335: (v + 4) >> 3, less one where v mod 16 is 4 (an even
// quotient plus exactly one half).
struct Sharpen8u {
    template <int G, class W> static __m128i lanes(const W& w) {
        const __m128i v =
            SeventeenXMinusTaps<Int16Ops, FlooredSub16>::from<G>(times16<17>(zeroExtend8<G>(w.centre)), w);
        const __m128i q = _mm_srli_epi16(_mm_add_epi16(v, _mm_set1_epi16(4)), 3);
        return _mm_add_epi16(q, _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(15)), _mm_set1_epi16(4)));
    }
};
// v = true value + 262144 (a multiple of 16, so bit 3 is the true value's): adding 3, one more when that
// bit is set, and shifting arithmetically is division by 8 rounded half to even, also below zero.
struct Sharpen16s {
    template <int G, class W> static __m128i lanes(const W& w) {
        const __m128i v =
            SeventeenXMinusTaps<Int32Ops, Int32Ops>::from<G>(times32<17>(offsetForm16<G>(w.centre)), w);
        const __m128i odd = _mm_and_si128(_mm_srli_epi32(v, 3), _mm_set1_epi32(1));
        return _mm_srai_epi32(_mm_add_epi32(_mm_add_epi32(v, _mm_set1_epi32(-262141)), odd), 3);
    }
};
struct Sharpen32f {
    template <int G, class W> static __m128i lanes(const W& w) {
        return FloatOps::scale(
            SeventeenXMinusTaps<FloatOps, FloatOps>::from<G>(FloatOps::times<17>(w.centre), w), 0.125f);
    }
};

using Sharpen3_8u = PassKind<std::uint16_t, 1, 3, 1, Sharpen8u>;
using Sharpen3_16s = PassKind<std::int32_t, 2, 3, 2, Sharpen16s>;
using Sharpen3_32f = PassKind<float, 4, 3, 4, Sharpen32f>;

} // namespace

TROV_CENTRED_MEMBERS(horzSharpen3_8u, Sharpen3_8u)
TROV_CENTRED_MEMBERS(horzSharpen3_16s, Sharpen3_16s)
TROV_CENTRED_MEMBERS(horzSharpen3_32f, Sharpen3_32f)

} // namespace trov::imaging
