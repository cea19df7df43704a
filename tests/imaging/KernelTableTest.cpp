#include "imaging/simd/KernelTable.h"
#include "imaging/simd/kernels/ColumnKernels5.h"
#include "imaging/simd/kernels/HorizontalKernels3.h"
#include "imaging/simd/kernels/RowKernels5.h"
#include "imaging/simd/kernels/VerticalKernels3.h"

#include <gtest/gtest.h>

#include <map>

namespace trov::imaging {
namespace {

template <class Fn>
KernelSlot as(Fn* kernel) {
    return reinterpret_cast<KernelSlot>(kernel);
}

// Every filled slot, written out slot by slot; all others are empty.
std::map<std::size_t, KernelSlot> expectedLayout() {
    std::map<std::size_t, KernelSlot> layout;
    const KernelSlot rows[33] = {
        as(rowLaplacian5_8u_C1), as(rowLaplacian5_8u_C4), as(rowLaplacian5_8u_C3), as(rowLaplacian5_8u_C4),
        as(rowGauss5_8u_C1),      as(rowGauss5_8u_C4),      as(rowGauss5_8u_C3),      as(rowGauss5_8u_C4),
        as(rowLaplacian5_16s_C1), as(rowLaplacian5_16s_C4), as(rowLaplacian5_16s_C3), as(rowLaplacian5_16s_C4),
        as(rowGauss5_16s_C1),     as(rowGauss5_16s_C4),     as(rowGauss5_16s_C3),     as(rowGauss5_16s_C4),
        as(rowLaplacian5_32f_C1), as(rowLaplacian5_32f_C4), as(rowLaplacian5_32f_C3), as(rowLaplacian5_32f_C4),
        as(rowGauss5_32f_C1),     as(rowGauss5_32f_C4),     as(rowGauss5_32f_C3),     as(rowGauss5_32f_C4),
        as(rowLaplacian5_8u_C1),  as(rowLaplacian5_8u_C1),  as(rowLaplacian5_8u_C1),  as(rowLaplacian5_8u_C1),
        as(rowLaplacian5_8u_C1),  as(rowLaplacian5_8u_C1),  as(rowLaplacian5_8u_C1),  as(rowLaplacian5_8u_C1),
        as(rowLaplacian5_8s_C1),
    };
    for (std::size_t p = 1; p <= 33; ++p) {
        layout[p] = rows[p - 1];
        layout[344 + p] = rows[p - 1];
    }
    const KernelSlot columns[17] = {
        as(colLaplacian5_8u),  as(colLaplacian5_8u_KeepAlpha),  as(colGauss5_8u),  as(colGauss5_8u_KeepAlpha),
        as(colLaplacian5_16s), as(colLaplacian5_16s_KeepAlpha), as(colGauss5_16s), as(colGauss5_16s_KeepAlpha),
        as(colLaplacian5_32f), as(colLaplacian5_32f_KeepAlpha), as(colGauss5_32f), as(colGauss5_32f_KeepAlpha),
        as(colSum5_16s),       as(colSum5_16s),                 as(colSum5_16s),   as(colSum5_16s),
        as(colSum5_16s),
    };
    for (std::size_t p = 0; p < 17; ++p) {
        layout[41 + p] = columns[p];
        layout[385 + p] = columns[p];
    }
    const KernelSlot verticals[9] = {as(vertBox3_8u16u), as(vertSmooth3_8u16u), as(vertBox3_16s32s),
                                     as(vertSmooth3_16s32s), as(vertBox3_32f), as(vertSmooth3_32f),
                                     as(vertBox3_8u16u), as(vertBox3_8u16u), as(vertBox3_8s16s)};
    for (std::size_t p = 0; p < 9; ++p) {
        layout[273 + p] = verticals[p];
        layout[110 + p] = verticals[p];
    }
    const KernelSlot horizontals[12] = {
        as(horzGauss3_8u_C1),  as(horzGauss3_8u_C4),  as(horzGauss3_8u_C3),  as(horzGauss3_8u_KeepAlpha),
        as(horzGauss3_16s_C1), as(horzGauss3_16s_C4), as(horzGauss3_16s_C3), as(horzGauss3_16s_KeepAlpha),
        as(horzGauss3_32f_C1), as(horzGauss3_32f_C4), as(horzGauss3_32f_C3), as(horzGauss3_32f_KeepAlpha),
    };
    for (std::size_t p = 0; p < 12; ++p) {
        layout[282 + p] = horizontals[p];
        layout[134 + p] = horizontals[p];
    }
    return layout;
}

TEST(KernelTable, BothCopiesFollowTheLayoutSlotBySlot) {
    const auto layout = expectedLayout();
    for (const KernelTable* table : {&kernelTableCopy1(), &kernelTableCopy2()})
        for (std::size_t s = 0; s < kKernelTableSlots; ++s) {
            const auto expected = layout.find(s);
            EXPECT_EQ(table->slots[s], expected == layout.end() ? nullptr : expected->second) << "slot " << s;
        }
}

TEST(KernelTable, SlotsTheSmoothingEntryReadsHoldItsKernels) {
    for (const KernelTable* table : {&kernelTableCopy1(), &kernelTableCopy2()}) {
        // Mask 55: data kind 0, mask kind 1, channel code 2; mask 33: data kind 0, channel code 2.
        EXPECT_EQ(table->slots[kRowArray5x5 + 8 * 0 + 4 * 1 + 2], as(rowGauss5_8u_C4));
        EXPECT_EQ(table->slots[kColumnArray5x5 + 4 * 0 + 2 * 1 + 2 / 4], as(colGauss5_8u));
        EXPECT_EQ(table->slots[kVerticalArray3x3 + 2 * 0 + 1], as(vertSmooth3_8u16u));
        EXPECT_EQ(table->slots[kHorizontalArray3x3 + 4 * 0 + 2 - 1], as(horzGauss3_8u_C4));
        EXPECT_EQ(kRowArray5x5 + 6, 6u);
        EXPECT_EQ(kColumnArray5x5 + 2, 43u);
        EXPECT_EQ(kVerticalArray3x3 + 1, 274u);
        EXPECT_EQ(kHorizontalArray3x3 + 1, 283u);
    }
    EXPECT_NE(&kernelTableCopy1(), &kernelTableCopy2());
}

} // namespace
} // namespace trov::imaging
