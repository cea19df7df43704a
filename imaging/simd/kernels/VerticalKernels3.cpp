#include "imaging/simd/kernels/VerticalKernels3.h"

#include "imaging/simd/kernels/VerticalPass.h"

namespace trov::imaging {

using namespace simd;

TROV_VERTICAL_KERNEL(vertSmooth3_8u16u, Widen8u, Smooth121)
TROV_VERTICAL_KERNEL(vertBox3_8u16u, Widen8u, Box111)
TROV_VERTICAL_KERNEL(vertBox3_8s16s, Widen8s, Box111)
TROV_VERTICAL_KERNEL(vertSmooth3_16s32s, Widen16sOffset, Smooth121)
TROV_VERTICAL_KERNEL(vertBox3_16s32s, Widen16sOffset, Box111)
TROV_VERTICAL_KERNEL(vertSmooth3_32f, Float32, Smooth121)
TROV_VERTICAL_KERNEL(vertBox3_32f, Float32, Box111)

} // namespace trov::imaging
