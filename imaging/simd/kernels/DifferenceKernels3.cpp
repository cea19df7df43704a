#include "imaging/simd/kernels/DifferenceKernels3.h"

#include "imaging/simd/kernels/HorizontalPass.h"
#include "imaging/simd/kernels/VerticalPass.h"

namespace trov::imaging {

using namespace simd;

namespace {

// Left minus right. The unsigned difference is limited to 255 before the (signed) narrowing, so a
// difference of 32768 or more still gives 255.
struct LeftMinusRight16u {
    template <int G, class W> static __m128i lanes(const W& w) {
        return limitTo255(_mm_subs_epu16(w.template tap<0, G>(), w.template tap<2, G>()));
    }
};
template <class Ops> struct LeftMinusRight {
    template <int G, class W> static __m128i lanes(const W& w) {
        return Ops::sub(w.template tap<0, G>(), w.template tap<2, G>());
    }
};

using Diff3_16u8u = PassKind<std::uint16_t, 1, 3, 0, LeftMinusRight16u>;
using Diff3_32s16s = PassKind<std::int32_t, 2, 3, 0, LeftMinusRight<Int32Ops>>;
using Diff3_32f = PassKind<float, 4, 3, 0, LeftMinusRight<FloatOps>>;

} // namespace

TROV_HORIZONTAL_MEMBERS(horzDiff3_16u8u, Diff3_16u8u)
TROV_HORIZONTAL_MEMBERS(horzDiff3_32s16s, Diff3_32s16s)
TROV_HORIZONTAL_MEMBERS(horzDiff3_32f, Diff3_32f)

TROV_VERTICAL_KERNEL(vertDiff3_8u16s, Widen8u, BottomMinusTop)
TROV_VERTICAL_KERNEL(vertDiff3_16s32s, Widen16sOffset, BottomMinusTop)
TROV_VERTICAL_KERNEL(vertDiff3_32f, Float32, BottomMinusTop)

} // namespace trov::imaging
