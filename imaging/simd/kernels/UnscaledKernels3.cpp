#include "imaging/simd/kernels/UnscaledKernels3.h"

#include "imaging/simd/kernels/HorizontalPass.h"

namespace trov::imaging {

using namespace simd;

namespace {

using Sum3_8u = PassKind<std::int16_t, 1, 3, 0, TapSum3<Int16Ops>>;
using Sum121_8u = PassKind<std::int16_t, 1, 3, 0, TapSum121<Int16Ops>>;
using Sum3_16s = PassKind<std::int32_t, 2, 3, 0, TapSum3<Int32Ops>>;
using Sum121_16s = PassKind<std::int32_t, 2, 3, 0, TapSum121<Int32Ops>>;
using Sum3_32f = PassKind<float, 4, 3, 0, TapSum3<FloatOps>>;
using Sum121_32f = PassKind<float, 4, 3, 0, TapSum121<FloatOps>>;

} // namespace

TROV_HORIZONTAL_MEMBERS(horzSum3_8u, Sum3_8u)
TROV_HORIZONTAL_MEMBERS(horzSum121_8u, Sum121_8u)
TROV_HORIZONTAL_MEMBERS(horzSum3_16s, Sum3_16s)
TROV_HORIZONTAL_MEMBERS(horzSum121_16s, Sum121_16s)
TROV_HORIZONTAL_MEMBERS(horzSum3_32f, Sum3_32f)
TROV_HORIZONTAL_MEMBERS(horzSum121_32f, Sum121_32f)

} // namespace trov::imaging
