#include "imaging/simd/KernelTable.h"
#include "imaging/simd/kernels/ColumnKernels5.h"
#include "imaging/simd/kernels/HorizontalKernels3.h"
#include "imaging/simd/kernels/RowKernels5.h"
#include "imaging/simd/kernels/VerticalKernels3.h"

#include <gtest/gtest.h>

#include <initializer_list>
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
    auto place = [&layout](std::initializer_list<std::size_t> starts, std::initializer_list<KernelSlot> kernels) {
        for (std::size_t start : starts) {
            std::size_t slot = start;
            for (KernelSlot kernel : kernels)
                layout[slot++] = kernel;
        }
    };
    place({1, 345}, {
        as(rowLaplacian5_8u_C1), as(rowLaplacian5_8u_C4), as(rowLaplacian5_8u_C3), as(rowLaplacian5_8u_C4),
        as(rowGauss5_8u_C1),      as(rowGauss5_8u_C4),      as(rowGauss5_8u_C3),      as(rowGauss5_8u_C4),
        as(rowLaplacian5_16s_C1), as(rowLaplacian5_16s_C4), as(rowLaplacian5_16s_C3), as(rowLaplacian5_16s_C4),
        as(rowGauss5_16s_C1),     as(rowGauss5_16s_C4),     as(rowGauss5_16s_C3),     as(rowGauss5_16s_C4),
        as(rowLaplacian5_32f_C1), as(rowLaplacian5_32f_C4), as(rowLaplacian5_32f_C3), as(rowLaplacian5_32f_C4),
        as(rowGauss5_32f_C1),     as(rowGauss5_32f_C4),     as(rowGauss5_32f_C3),     as(rowGauss5_32f_C4),
        as(rowLaplacian5_8u_C1),  as(rowLaplacian5_8u_C1),  as(rowLaplacian5_8u_C1),  as(rowLaplacian5_8u_C1),
        as(rowLaplacian5_8u_C1),  as(rowLaplacian5_8u_C1),  as(rowLaplacian5_8u_C1),  as(rowLaplacian5_8u_C1),
        as(rowLaplacian5_8s_C1),
    });
    place({41, 385}, {
        as(colLaplacian5_8u),  as(colLaplacian5_8u_KeepAlpha),  as(colGauss5_8u),  as(colGauss5_8u_KeepAlpha),
        as(colLaplacian5_16s), as(colLaplacian5_16s_KeepAlpha), as(colGauss5_16s), as(colGauss5_16s_KeepAlpha),
        as(colLaplacian5_32f), as(colLaplacian5_32f_KeepAlpha), as(colGauss5_32f), as(colGauss5_32f_KeepAlpha),
        as(colSum5_16s),       as(colSum5_16s),                 as(colSum5_16s),   as(colSum5_16s),
        as(colSum5_16s),
    });
    place({273, 110}, {as(vertBox3_8u16u), as(vertSmooth3_8u16u), as(vertBox3_16s32s), as(vertSmooth3_16s32s),
                       as(vertBox3_32f), as(vertSmooth3_32f), as(vertBox3_8u16u), as(vertBox3_8u16u),
                       as(vertBox3_8s16s)});
    place({282, 134}, {
        as(horzGauss3_8u_C1),  as(horzGauss3_8u_C4),  as(horzGauss3_8u_C3),  as(horzGauss3_8u_KeepAlpha),
        as(horzGauss3_16s_C1), as(horzGauss3_16s_C4), as(horzGauss3_16s_C3), as(horzGauss3_16s_KeepAlpha),
        as(horzGauss3_32f_C1), as(horzGauss3_32f_C4), as(horzGauss3_32f_C3), as(horzGauss3_32f_KeepAlpha),
    });
    return layout;
}

// The slot numbers are written out, so they also check the array starts the drivers index from.
TEST(KernelTable, BothCopiesFollowTheLayoutSlotBySlot) {
    const auto layout = expectedLayout();
    EXPECT_NE(&kernelTableCopy1(), &kernelTableCopy2());
    for (const KernelTable* table : {&kernelTableCopy1(), &kernelTableCopy2()})
        for (std::size_t s = 0; s < kKernelTableSlots; ++s) {
            const auto expected = layout.find(s);
            EXPECT_EQ(table->slots[s], expected == layout.end() ? nullptr : expected->second) << "slot " << s;
        }
}

} // namespace
} // namespace trov::imaging
