#include "imaging/simd/kernels/MeanKernels5.h"

#include "imaging/simd/kernels/HorizontalPass.h"

namespace trov::imaging {

using namespace simd;

namespace {

// S + 13 stays below 32768, so the signed high half of (S + 13) x 10485 is exact; two more bits of shift
// make the division by 2^18.
struct Mean8u {
    template <int G, class W> static __m128i lanes(const W& w) {
        const __m128i s = _mm_add_epi16(TapSum5<Int16Ops>::lanes<G>(w), _mm_set1_epi16(13));
        return _mm_srli_epi16(_mm_mulhi_epi16(s, _mm_set1_epi16(10485)), 2);
    }
};
// |S| is at most 25 x 32768, below 2^24: exact in single precision.
struct Mean16s {
    template <int G, class W> static __m128i lanes(const W& w) {
        return scaleAndConvert(TapSum5<Int32Ops>::lanes<G>(w), kTwentyFifth);
    }
};
struct Mean32f {
    template <int G, class W> static __m128i lanes(const W& w) {
        return FloatOps::scale(TapSum5<FloatOps>::lanes<G>(w), kTwentyFifth);
    }
};

using Mean5_8u = PassKind<std::uint16_t, 1, 5, 0, Mean8u>;
using Mean5_16s = PassKind<std::int32_t, 2, 5, 0, Mean16s>;
using Mean5_32f = PassKind<float, 4, 5, 0, Mean32f>;

} // namespace

TROV_HORIZONTAL_MEMBERS_BUT_C4(horzMean5_8u, Mean5_8u)
TROV_HORIZONTAL_MEMBERS_BUT_C4(horzMean5_16s, Mean5_16s)
TROV_HORIZONTAL_MEMBERS_BUT_C4(horzMean5_32f, Mean5_32f)

} // namespace trov::imaging
