#include "imaging/simd/KernelTable.h"

#include "imaging/simd/kernels/ColumnKernels5.h"
#include "imaging/simd/kernels/HorizontalKernels3.h"
#include "imaging/simd/kernels/RowKernels5.h"
#include "imaging/simd/kernels/VerticalKernels3.h"

#include <initializer_list>

namespace trov::imaging {

namespace {

template <class Fn> KernelSlot slot(Fn* kernel) {
    return reinterpret_cast<KernelSlot>(kernel);
}

template <std::size_t N> void place(KernelTable& table, std::size_t start, const KernelSlot (&array)[N]) {
    for (std::size_t p = 0; p < N; ++p)
        table.slots[start + p] = array[p];
}

// The families of the further fixed filters (box, high-pass, sharpening, mean, difference, Scharr and
// derivative kernels) keep their slots empty, as do the slots of other data.
KernelTable buildTable() {
    KernelTable table{};
    const KernelSlot rowArray[34] = {
        nullptr,
        slot(rowLaplacian5_8u_C1),
        slot(rowLaplacian5_8u_C4),
        slot(rowLaplacian5_8u_C3),
        slot(rowLaplacian5_8u_C4),
        slot(rowGauss5_8u_C1),
        slot(rowGauss5_8u_C4),
        slot(rowGauss5_8u_C3),
        slot(rowGauss5_8u_C4),
        slot(rowLaplacian5_16s_C1),
        slot(rowLaplacian5_16s_C4),
        slot(rowLaplacian5_16s_C3),
        slot(rowLaplacian5_16s_C4),
        slot(rowGauss5_16s_C1),
        slot(rowGauss5_16s_C4),
        slot(rowGauss5_16s_C3),
        slot(rowGauss5_16s_C4),
        slot(rowLaplacian5_32f_C1),
        slot(rowLaplacian5_32f_C4),
        slot(rowLaplacian5_32f_C3),
        slot(rowLaplacian5_32f_C4),
        slot(rowGauss5_32f_C1),
        slot(rowGauss5_32f_C4),
        slot(rowGauss5_32f_C3),
        slot(rowGauss5_32f_C4),
        // Data kind 3 (8u in, 16s out) has one valid combination but fills all eight positions.
        slot(rowLaplacian5_8u_C1),
        slot(rowLaplacian5_8u_C1),
        slot(rowLaplacian5_8u_C1),
        slot(rowLaplacian5_8u_C1),
        slot(rowLaplacian5_8u_C1),
        slot(rowLaplacian5_8u_C1),
        slot(rowLaplacian5_8u_C1),
        slot(rowLaplacian5_8u_C1),
        slot(rowLaplacian5_8s_C1),
    };
    const KernelSlot columnArray[17] = {
        slot(colLaplacian5_8u),  slot(colLaplacian5_8u_KeepAlpha),
        slot(colGauss5_8u),      slot(colGauss5_8u_KeepAlpha),
        slot(colLaplacian5_16s), slot(colLaplacian5_16s_KeepAlpha),
        slot(colGauss5_16s),     slot(colGauss5_16s_KeepAlpha),
        slot(colLaplacian5_32f), slot(colLaplacian5_32f_KeepAlpha),
        slot(colGauss5_32f),     slot(colGauss5_32f_KeepAlpha),
        slot(colSum5_16s),       slot(colSum5_16s),
        slot(colSum5_16s),       slot(colSum5_16s),
        slot(colSum5_16s),
    };
    const KernelSlot verticalArray[9] = {
        slot(vertBox3_8u16u),     slot(vertSmooth3_8u16u), slot(vertBox3_16s32s),
        slot(vertSmooth3_16s32s), slot(vertBox3_32f),      slot(vertSmooth3_32f),
        slot(vertBox3_8u16u),     slot(vertBox3_8u16u),    slot(vertBox3_8s16s),
    };
    const KernelSlot horizontalArray[12] = {
        slot(horzGauss3_8u_C1),        slot(horzGauss3_8u_C4),         slot(horzGauss3_8u_C3),
        slot(horzGauss3_8u_KeepAlpha), slot(horzGauss3_16s_C1),        slot(horzGauss3_16s_C4),
        slot(horzGauss3_16s_C3),       slot(horzGauss3_16s_KeepAlpha), slot(horzGauss3_32f_C1),
        slot(horzGauss3_32f_C4),       slot(horzGauss3_32f_C3),        slot(horzGauss3_32f_KeepAlpha),
    };
    for (std::size_t start : {kRowArray5x5, kRowArrayRepeat})
        place(table, start, rowArray);
    for (std::size_t start : {kColumnArray5x5, kColumnArrayRepeat})
        place(table, start, columnArray);
    for (std::size_t start : {kVerticalArray3x3, kVerticalArrayRepeat})
        place(table, start, verticalArray);
    for (std::size_t start : {kHorizontalArray3x3, kHorizontalArrayRepeat})
        place(table, start, horizontalArray);
    return table;
}

} // namespace

const KernelTable& kernelTableCopy1() {
    static const KernelTable table = buildTable();
    return table;
}

const KernelTable& kernelTableCopy2() {
    static const KernelTable table = buildTable();
    return table;
}

} // namespace trov::imaging
