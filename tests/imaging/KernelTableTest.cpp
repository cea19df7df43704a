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
    // 5x5 row array: 8 x data kind + 4 x mask kind + channel code.
    place({1, 345}, {as(rowLaplacian5_8u_C1),  as(rowLaplacian5_8u_C4),  as(rowLaplacian5_8u_C3),
                     as(rowLaplacian5_8u_C4),  as(rowGauss5_8u_C1),      as(rowGauss5_8u_C4),
                     as(rowGauss5_8u_C3),      as(rowGauss5_8u_C4),      as(rowLaplacian5_16s_C1),
                     as(rowLaplacian5_16s_C4), as(rowLaplacian5_16s_C3), as(rowLaplacian5_16s_C4),
                     as(rowGauss5_16s_C1),     as(rowGauss5_16s_C4),     as(rowGauss5_16s_C3),
                     as(rowGauss5_16s_C4),     as(rowLaplacian5_32f_C1), as(rowLaplacian5_32f_C4),
                     as(rowLaplacian5_32f_C3), as(rowLaplacian5_32f_C4), as(rowGauss5_32f_C1),
                     as(rowGauss5_32f_C4),     as(rowGauss5_32f_C3),     as(rowGauss5_32f_C4),
                     as(rowLaplacian5_8u_C1),  as(rowLaplacian5_8u_C1),  as(rowLaplacian5_8u_C1),
                     as(rowLaplacian5_8u_C1),  as(rowLaplacian5_8u_C1),  as(rowLaplacian5_8u_C1),
                     as(rowLaplacian5_8u_C1),  as(rowLaplacian5_8u_C1),  as(rowLaplacian5_8s_C1)});
    // 5x5 column array: 4 x data kind + 2 x mask kind + channel code / 4.
    place({41, 385}, {as(colLaplacian5_8u), as(colLaplacian5_8u_KeepAlpha), as(colGauss5_8u),
                      as(colGauss5_8u_KeepAlpha), as(colLaplacian5_16s), as(colLaplacian5_16s_KeepAlpha),
                      as(colGauss5_16s), as(colGauss5_16s_KeepAlpha), as(colLaplacian5_32f),
                      as(colLaplacian5_32f_KeepAlpha), as(colGauss5_32f), as(colGauss5_32f_KeepAlpha),
                      as(colSum5_16s), as(colSum5_16s), as(colSum5_16s), as(colSum5_16s), as(colSum5_16s)});
    // Unscaled three-tap passes (8 x data kind + 4 x weights + channel code), then 3x3 high-pass passes.
    place({65, 297}, {as(horzSum3_8u_C1),         as(horzSum3_8u_C4),
                      as(horzSum3_8u_C3),         as(horzSum3_8u_KeepAlpha),
                      as(horzSum121_8u_C1),       as(horzSum121_8u_C4),
                      as(horzSum121_8u_C3),       as(horzSum121_8u_KeepAlpha),
                      as(horzSum3_16s_C1),        as(horzSum3_16s_C4),
                      as(horzSum3_16s_C3),        as(horzSum3_16s_KeepAlpha),
                      as(horzSum121_16s_C1),      as(horzSum121_16s_C4),
                      as(horzSum121_16s_C3),      as(horzSum121_16s_KeepAlpha),
                      as(horzSum3_32f_C1),        as(horzSum3_32f_C4),
                      as(horzSum3_32f_C3),        as(horzSum3_32f_KeepAlpha),
                      as(horzSum121_32f_C1),      as(horzSum121_32f_C4),
                      as(horzSum121_32f_C3),      as(horzSum121_32f_KeepAlpha),
                      as(horzHighpass3_8u_C1),    as(horzHighpass3_8u_C4),
                      as(horzHighpass3_8u_C3),    as(horzHighpass3_8u_KeepAlpha),
                      as(horzHighpass3_16s_C1),   as(horzHighpass3_16s_C4),
                      as(horzHighpass3_16s_C3),   as(horzHighpass3_16s_KeepAlpha),
                      as(horzHighpass3_32f_C1),   as(horzHighpass3_32f_C4),
                      as(horzHighpass3_32f_C3),   as(horzHighpass3_32f_KeepAlpha),
                      as(horzHighpass3_8u16s_C1), as(horzHighpass3_8u16s_C1),
                      as(horzHighpass3_8u16s_C1), as(horzHighpass3_8u16s_C1),
                      as(horzHighpass3_8s16s_C1)});
    // 3x3 vertical-pass array and its copy.
    place({273, 110}, {as(vertBox3_8u16u), as(vertSmooth3_8u16u), as(vertBox3_16s32s), as(vertSmooth3_16s32s),
                       as(vertBox3_32f), as(vertSmooth3_32f), as(vertBox3_8u16u), as(vertBox3_8u16u),
                       as(vertBox3_8s16s)});
    // Difference passes: twelve horizontal, then three vertical.
    place({119, 406}, {as(horzDiff3_16u8u_C1), as(horzDiff3_16u8u_C4), as(horzDiff3_16u8u_C3),
                       as(horzDiff3_16u8u_KeepAlpha), as(horzDiff3_32s16s_C1), as(horzDiff3_32s16s_C4),
                       as(horzDiff3_32s16s_C3), as(horzDiff3_32s16s_KeepAlpha), as(horzDiff3_32f_C1),
                       as(horzDiff3_32f_C4), as(horzDiff3_32f_C3), as(horzDiff3_32f_KeepAlpha),
                       as(vertDiff3_8u16s), as(vertDiff3_16s32s), as(vertDiff3_32f)});
    // 3x3 horizontal-pass array and its copy.
    place({282, 134}, {as(horzGauss3_8u_C1), as(horzGauss3_8u_C4), as(horzGauss3_8u_C3),
                       as(horzGauss3_8u_KeepAlpha), as(horzGauss3_16s_C1), as(horzGauss3_16s_C4),
                       as(horzGauss3_16s_C3), as(horzGauss3_16s_KeepAlpha), as(horzGauss3_32f_C1),
                       as(horzGauss3_32f_C4), as(horzGauss3_32f_C3), as(horzGauss3_32f_KeepAlpha)});
    place({146, 421}, {as(horzSharpen3_8u_C1), as(horzSharpen3_8u_C4), as(horzSharpen3_8u_C3),
                       as(horzSharpen3_8u_KeepAlpha), as(horzSharpen3_16s_C1), as(horzSharpen3_16s_C4),
                       as(horzSharpen3_16s_C3), as(horzSharpen3_16s_KeepAlpha), as(horzSharpen3_32f_C1),
                       as(horzSharpen3_32f_C4), as(horzSharpen3_32f_C3), as(horzSharpen3_32f_KeepAlpha)});
    // The mean's channel code 2 holds the one-channel member.
    place({158, 433},
          {as(horzMean3_8u_C1), as(horzMean3_8u_C1), as(horzMean3_8u_C3), as(horzMean3_8u_KeepAlpha),
           as(horzMean3_16s_C1), as(horzMean3_16s_C1), as(horzMean3_16s_C3), as(horzMean3_16s_KeepAlpha),
           as(horzMean3_32f_C1), as(horzMean3_32f_C1), as(horzMean3_32f_C3), as(horzMean3_32f_KeepAlpha)});
    place({170, 445}, {as(vertScharr3_32f), as(vertScharr3_8u16s), as(vertScharr3_8s16s),
                       as(horzScharrDiff3_32f_C1), as(horzScharrDiff3_16s_C1), as(horzScharrDiff3_16s_C1)});
    place({176, 451}, {as(vertDiff3_32f), as(vertDiff3_8u16s), as(vertDiff3_8s16s), as(horzScharr3_32f_C1),
                       as(horzScharr3_16s_C1), as(horzScharr3_16s_C1)});
    // 3x3 derivatives, derivative kinds 0 to 4 per group.
    place({182, 457},
          {as(vertSmooth3_8u16u),  as(vertDiff3_8u16s),    as(vertSmooth3_8u16u),  as(vertSecond3_8u16s),
           as(vertDiff3_8u16s),    as(vertSmooth3_8s16s),  as(vertDiff3_8s16s),    as(vertSmooth3_8s16s),
           as(vertSecond3_8s16s),  as(vertDiff3_8s16s),    as(vertSmooth3_32f),    as(vertDiff3_32f),
           as(vertSmooth3_32f),    as(vertSecond3_32f),    as(vertDiff3_32f),      as(horzDiff3_16s_C1),
           as(horzSmooth3_16s_C1), as(horzSecond3_16s_C1), as(horzSmooth3_16s_C1), as(horzDiff3_16s_C1),
           as(horzDiff3_16s_C1),   as(horzSmooth3_16s_C1), as(horzSecond3_16s_C1), as(horzSmooth3_16s_C1),
           as(horzDiff3_16s_C1),   as(horzDiff3_32f_C1),   as(horzSum121_32f_C1),  as(horzSecond3_32f_C1),
           as(horzSum121_32f_C1),  as(horzDiff3_32f_C1)});
    // 5x5 derivatives: row kernels, then column kernels.
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
    place({245, 520}, {as(horzHighpass5_8u_C1), as(horzHighpass5_8u_C4), as(horzHighpass5_8u_C3),
                       as(horzHighpass5_8u_KeepAlpha), as(horzHighpass5_16s_C1), as(horzHighpass5_16s_C4),
                       as(horzHighpass5_16s_C3), as(horzHighpass5_16s_KeepAlpha), as(horzHighpass5_32f_C1),
                       as(horzHighpass5_32f_C4), as(horzHighpass5_32f_C3), as(horzHighpass5_32f_KeepAlpha)});
    place({257, 532}, {as(vertBox5Update_8u16u), as(vertBox5Update_16s32s), as(vertBox5Update_32f)});
    place({260, 535},
          {as(horzMean5_8u_C1), as(horzMean5_8u_C1), as(horzMean5_8u_C3), as(horzMean5_8u_KeepAlpha),
           as(horzMean5_16s_C1), as(horzMean5_16s_C1), as(horzMean5_16s_C3), as(horzMean5_16s_KeepAlpha),
           as(horzMean5_32f_C1), as(horzMean5_32f_C1), as(horzMean5_32f_C3), as(horzMean5_32f_KeepAlpha)});
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
