#include "imaging/simd/kernels/MeanKernels3.h"

#include "imaging/simd/kernels/HorizontalPass.h"

namespace trov::imaging {

using namespace simd;

namespace {

// (S + 5) x 7281 stays below 2^31 for S up to 2295; its high half is S / 9 rounded to nearest.
struct Mean8u {
    template <int G, class W> static __m128i lanes(const W& w) {
        const __m128i s = TapSum3<Int16Ops>::lanes<G>(w);
        return _mm_mulhi_epi16(_mm_add_epi16(s, _mm_set1_epi16(5)), _mm_set1_epi16(7281));
    }
};
// Three biases of 98304 off the sum; the true sum is below 2^24 in magnitude, so exact in single precision.
struct Mean16s {
    template <int G, class W> static __m128i lanes(const W& w) {
        const __m128i s = _mm_sub_epi32(TapSum3<Int32Ops>::lanes<G>(w), _mm_set1_epi32(3 * 98304));
        return scaleAndConvert(s, kNinth);
    }
};
struct Mean32f {
    template <int G, class W> static __m128i lanes(const W& w) {
        return FloatOps::scale(TapSum3<FloatOps>::lanes<G>(w), kNinth);
    }
};

using Mean3_8u = PassKind<std::uint16_t, 1, 3, 0, Mean8u>;
using Mean3_16s = PassKind<std::int32_t, 2, 3, 0, Mean16s>;
using Mean3_32f = PassKind<float, 4, 3, 0, Mean32f>;

} // namespace

TROV_HORIZONTAL_MEMBERS_BUT_C4(horzMean3_8u, Mean3_8u)
TROV_HORIZONTAL_MEMBERS_BUT_C4(horzMean3_16s, Mean3_16s)
TROV_HORIZONTAL_MEMBERS_BUT_C4(horzMean3_32f, Mean3_32f)

} // namespace trov::imaging
