#include "imaging/simd/kernels/ColumnSumKernels5.h"

#include "imaging/simd/kernels/VerticalPass.h"

namespace trov::imaging {

using namespace simd;

namespace {

struct Box5 {
    static constexpr int kRows[] = {0, 1, 2, 3, 4};
    static constexpr bool kAccumulate = false;
    template <class Ops> static __m128i apply(const __m128i (&x)[5], __m128i) {
        return Ops::add(Ops::add(Ops::add(Ops::add(x[0], x[1]), x[2]), x[3]), x[4]);
    }
};

// The 16s update takes both rows in offset form: the offsets cancel, so the sums stay true sums.
struct WindowDown {
    static constexpr int kRows[] = {0, 5};
    static constexpr bool kAccumulate = true;
    template <class Ops> static __m128i apply(const __m128i (&x)[2], __m128i sum) {
        return Ops::add(Ops::sub(sum, x[0]), x[1]);
    }
};

} // namespace

TROV_VERTICAL_KERNEL(vertBox5_8u16u, Widen8u, Box5)
TROV_VERTICAL_KERNEL(vertBox5_16s32s, Widen16sSigned, Box5)
TROV_VERTICAL_KERNEL(vertBox5_32f, Float32, Box5)
TROV_VERTICAL_KERNEL(vertBox5Update_8u16u, Widen8u, WindowDown)
TROV_VERTICAL_KERNEL(vertBox5Update_16s32s, Widen16sOffset, WindowDown)
TROV_VERTICAL_KERNEL(vertBox5Update_32f, Float32, WindowDown)

} // namespace trov::imaging
