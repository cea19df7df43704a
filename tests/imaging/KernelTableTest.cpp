#include "imaging/simd/KernelTable.h"
#include "imaging/simd/kernels/ColumnKernels5.h"
#include "imaging/simd/kernels/ColumnSumKernels5.h"
#include "imaging/simd/kernels/DerivativeColumnKernels5.h"
#include "imaging/simd/kernels/DerivativeHorizontalKernels3.h"
#include "imaging/simd/kernels/DerivativeRowKernels5.h"
#include "imaging/simd/kernels/DerivativeVerticalKernels3.h"
#include "imaging/simd/kernels/DifferenceKernels3.h"
#include "imaging/simd/kernels/HighpassKernels3.h"
#include "imaging/simd/kernels/HighpassKernels5.h"
#include "imaging/simd/kernels/HorizontalKernels3.h"
#include "imaging/simd/kernels/MeanKernels3.h"
#include "imaging/simd/kernels/MeanKernels5.h"
#include "imaging/simd/kernels/RowKernels5.h"
#include "imaging/simd/kernels/ScharrKernels3.h"
#include "imaging/simd/kernels/SharpenKernels3.h"
#include "imaging/simd/kernels/UnscaledKernels3.h"
#include "imaging/simd/kernels/VerticalKernels3.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <map>

namespace trov::imaging {
namespace {

template <class Fn> KernelSlot as(Fn* kernel) {
    return reinterpret_cast<KernelSlot>(kernel);
}

// A family's members in channel-code order (one, four, three channels, four keeping alpha); row passes
// filter alpha too, and the means have no four-channel member: the one-channel member stands there.
#define FOUR(base) as(base##_C1), as(base##_C4), as(base##_C3), as(base##_KeepAlpha)
#define ROW(base) as(base##_C1), as(base##_C4), as(base##_C3), as(base##_C4)
#define MEAN(base) as(base##_C1), as(base##_C1), as(base##_C3), as(base##_KeepAlpha)

// The layout slot by slot, each block at every place it stands (a block and its repeat at the distances
// the layout gives them); every other slot is empty, the slots of other data among them.
std::map<std::size_t, KernelSlot> expectedLayout() {
    std::map<std::size_t, KernelSlot> layout;
    auto place = [&layout](std::initializer_list<std::size_t> starts,
                           std::initializer_list<KernelSlot> kernels) {
        for (std::size_t start : starts) {
            std::size_t slot = start;
            for (KernelSlot kernel : kernels)
                layout[slot++] = kernel;
        }
    };
    const KernelSlot laplacian8u = as(rowLaplacian5_8u_C1);
    place({1, 345},
          {ROW(rowLaplacian5_8u), ROW(rowGauss5_8u), ROW(rowLaplacian5_16s), ROW(rowGauss5_16s),
           ROW(rowLaplacian5_32f), ROW(rowGauss5_32f), laplacian8u, laplacian8u, laplacian8u, laplacian8u,
           laplacian8u, laplacian8u, laplacian8u, laplacian8u, as(rowLaplacian5_8s_C1)});
    place({41, 385}, {as(colLaplacian5_8u), as(colLaplacian5_8u_KeepAlpha), as(colGauss5_8u),
                      as(colGauss5_8u_KeepAlpha), as(colLaplacian5_16s), as(colLaplacian5_16s_KeepAlpha),
                      as(colGauss5_16s), as(colGauss5_16s_KeepAlpha), as(colLaplacian5_32f),
                      as(colLaplacian5_32f_KeepAlpha), as(colGauss5_32f), as(colGauss5_32f_KeepAlpha),
                      as(colSum5_16s), as(colSum5_16s), as(colSum5_16s), as(colSum5_16s), as(colSum5_16s)});
    const KernelSlot highpass8u16s = as(horzHighpass3_8u16s_C1);
    place({65, 297}, {FOUR(horzSum3_8u), FOUR(horzSum121_8u), FOUR(horzSum3_16s), FOUR(horzSum121_16s),
                      FOUR(horzSum3_32f), FOUR(horzSum121_32f), FOUR(horzHighpass3_8u),
                      FOUR(horzHighpass3_16s), FOUR(horzHighpass3_32f), highpass8u16s, highpass8u16s,
                      highpass8u16s, highpass8u16s, as(horzHighpass3_8s16s_C1)});
    place({273, 110}, {as(vertBox3_8u16u), as(vertSmooth3_8u16u), as(vertBox3_16s32s), as(vertSmooth3_16s32s),
                       as(vertBox3_32f), as(vertSmooth3_32f), as(vertBox3_8u16u), as(vertBox3_8u16u),
                       as(vertBox3_8s16s)});
    place({119, 406}, {FOUR(horzDiff3_16u8u), FOUR(horzDiff3_32s16s), FOUR(horzDiff3_32f),
                       as(vertDiff3_8u16s), as(vertDiff3_16s32s), as(vertDiff3_32f)});
    place({282, 134}, {FOUR(horzGauss3_8u), FOUR(horzGauss3_16s), FOUR(horzGauss3_32f)});
    place({146, 421}, {FOUR(horzSharpen3_8u), FOUR(horzSharpen3_16s), FOUR(horzSharpen3_32f)});
    place({158, 433}, {MEAN(horzMean3_8u), MEAN(horzMean3_16s), MEAN(horzMean3_32f)});
    place({170, 445}, {as(vertScharr3_32f), as(vertScharr3_8u16s), as(vertScharr3_8s16s),
                       as(horzScharrDiff3_32f_C1), as(horzScharrDiff3_16s_C1), as(horzScharrDiff3_16s_C1)});
    place({176, 451}, {as(vertDiff3_32f), as(vertDiff3_8u16s), as(vertDiff3_8s16s), as(horzScharr3_32f_C1),
                       as(horzScharr3_16s_C1), as(horzScharr3_16s_C1)});
    // 3x3 and 5x5 derivatives, derivative kinds 0 to 4 per group of five.
    place({182, 457},
          {as(vertSmooth3_8u16u),  as(vertDiff3_8u16s),    as(vertSmooth3_8u16u),  as(vertSecond3_8u16s),
           as(vertDiff3_8u16s),    as(vertSmooth3_8s16s),  as(vertDiff3_8s16s),    as(vertSmooth3_8s16s),
           as(vertSecond3_8s16s),  as(vertDiff3_8s16s),    as(vertSmooth3_32f),    as(vertDiff3_32f),
           as(vertSmooth3_32f),    as(vertSecond3_32f),    as(vertDiff3_32f),      as(horzDiff3_16s_C1),
           as(horzSmooth3_16s_C1), as(horzSecond3_16s_C1), as(horzSmooth3_16s_C1), as(horzDiff3_16s_C1),
           as(horzDiff3_16s_C1),   as(horzSmooth3_16s_C1), as(horzSecond3_16s_C1), as(horzSmooth3_16s_C1),
           as(horzDiff3_16s_C1),   as(horzDiff3_32f_C1),   as(horzSum121_32f_C1),  as(horzSecond3_32f_C1),
           as(horzSum121_32f_C1),  as(horzDiff3_32f_C1)});
    place({212, 487},
          {as(rowDiff5_8u16s_C1),   as(rowSmooth5_8u16s_C1), as(rowSecond5_8u16s_C1), as(rowSmooth5_8u16s_C1),
           as(rowDiff5_8u16s_C1),   as(rowDiff5_8s16s_C1),   as(rowSmooth5_8s16s_C1), as(rowSecond5_8s16s_C1),
           as(rowSmooth5_8s16s_C1), as(rowDiff5_8s16s_C1),   as(rowDiff5_32f_C1),     as(rowSmooth5_32f_C1),
           as(rowSecond5_32f_C1),   as(rowSmooth5_32f_C1),   as(rowDiff5_32f_C1),     as(colSmooth5_16s),
           as(colDiff5_16s),        as(colSmooth5_16s),      as(colSecond5_16s),      as(colDiff5_16s),
           as(colSmooth5_16s),      as(colDiff5_16s),        as(colSmooth5_16s),      as(colSecond5_16s),
           as(colDiff5_16s),        as(colSmooth5_32f),      as(colDiff5_32f),        as(colSmooth5_32f),
           as(colSecond5_32f),      as(colDiff5_32f)});
    place({242, 517}, {as(vertBox5_8u16u), as(vertBox5_16s32s), as(vertBox5_32f)});
    place({245, 520}, {FOUR(horzHighpass5_8u), FOUR(horzHighpass5_16s), FOUR(horzHighpass5_32f)});
    place({257, 532}, {as(vertBox5Update_8u16u), as(vertBox5Update_16s32s), as(vertBox5Update_32f)});
    place({260, 535}, {MEAN(horzMean5_8u), MEAN(horzMean5_16s), MEAN(horzMean5_32f)});
    return layout;
}

TEST(KernelTable, BothCopiesFollowTheLayoutSlotBySlot) {
    const std::map<std::size_t, KernelSlot> layout = expectedLayout();
    // Filled slots: every slot from 1 to 546 but the empty runs 34-40, 58-64, 106-109, 272, 294-296,
    // 338-344, 378-384 and 402-405.
    EXPECT_EQ(layout.size(), 546u - 7 - 7 - 4 - 1 - 3 - 7 - 7 - 4);
    EXPECT_NE(&kernelTableCopy1(), &kernelTableCopy2());
    for (const KernelTable* table : {&kernelTableCopy1(), &kernelTableCopy2()})
        for (std::size_t s = 0; s < kKernelTableSlots; ++s) {
            const auto expected = layout.find(s);
            EXPECT_EQ(table->slots[s], expected == layout.end() ? nullptr : expected->second) << "slot " << s;
        }
}

} // namespace
} // namespace trov::imaging
