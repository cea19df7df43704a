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

#include <algorithm>
#include <initializer_list>

namespace trov::imaging {

namespace {

template <class Fn> KernelSlot slot(Fn* kernel) {
    return reinterpret_cast<KernelSlot>(kernel);
}

// Kernels in consecutive slots from `first` on.
void place(KernelTable& table, std::size_t first, std::initializer_list<KernelSlot> kernels) {
    std::copy(kernels.begin(), kernels.end(), table.slots + first);
}

// The four channel-code members of a family in channel-code order (one, four and three channels, four
// keeping alpha).
#define TROV_MEMBERS(base) slot(base##_C1), slot(base##_C4), slot(base##_C3), slot(base##_KeepAlpha)
// Row passes filter the alpha samples too: channel code 4 takes the four-channel member.
#define TROV_ROW_MEMBERS(base) slot(base##_C1), slot(base##_C4), slot(base##_C3), slot(base##_C4)

// Slots first to last (inclusive) again from `at` on.
void repeatRun(KernelTable& table, std::size_t first, std::size_t last, std::size_t at) {
    std::copy(table.slots + first, table.slots + last + 1, table.slots + at);
}

// The arrays the drivers index and their neighbours the 5x5 row and column passes.
void placeDriverArrays(KernelTable& table) {
    place(table, kRowArray5x5 + 1,
          {TROV_ROW_MEMBERS(rowLaplacian5_8u), TROV_ROW_MEMBERS(rowGauss5_8u),
           TROV_ROW_MEMBERS(rowLaplacian5_16s), TROV_ROW_MEMBERS(rowGauss5_16s),
           TROV_ROW_MEMBERS(rowLaplacian5_32f), TROV_ROW_MEMBERS(rowGauss5_32f)});
    // Data kind 3 (8u in, 16s out) has one valid combination but fills all eight positions.
    std::fill_n(table.slots + kRowArray5x5 + 25, 8, slot(rowLaplacian5_8u_C1));
    table.slots[kRowArray5x5 + 33] = slot(rowLaplacian5_8s_C1);
    place(table, kColumnArray5x5,
          {slot(colLaplacian5_8u), slot(colLaplacian5_8u_KeepAlpha), slot(colGauss5_8u),
           slot(colGauss5_8u_KeepAlpha), slot(colLaplacian5_16s), slot(colLaplacian5_16s_KeepAlpha),
           slot(colGauss5_16s), slot(colGauss5_16s_KeepAlpha), slot(colLaplacian5_32f),
           slot(colLaplacian5_32f_KeepAlpha), slot(colGauss5_32f), slot(colGauss5_32f_KeepAlpha)});
    std::fill_n(table.slots + kColumnArray5x5 + 12, 5, slot(colSum5_16s));
    place(table, kVerticalArray3x3,
          {slot(vertBox3_8u16u), slot(vertSmooth3_8u16u), slot(vertBox3_16s32s), slot(vertSmooth3_16s32s),
           slot(vertBox3_32f), slot(vertSmooth3_32f), slot(vertBox3_8u16u), slot(vertBox3_8u16u),
           slot(vertBox3_8s16s)});
    place(table, kHorizontalArray3x3,
          {TROV_MEMBERS(horzGauss3_8u), TROV_MEMBERS(horzGauss3_16s), TROV_MEMBERS(horzGauss3_32f)});
}

// The kernels of the further 3x3 and 5x5 filters, which no driver of the system indexes.
void placeFurtherFilters(KernelTable& table) {
    // Unscaled 1-1-1 and 1-2-1 passes (8 x data kind + 4 x weights + channel code), then the 3x3 high-pass
    // passes (24 + 4 x data kind + channel code), after an empty position 0.
    place(table, kThreeTapArray + 1,
          {TROV_MEMBERS(horzSum3_8u), TROV_MEMBERS(horzSum121_8u), TROV_MEMBERS(horzSum3_16s),
           TROV_MEMBERS(horzSum121_16s), TROV_MEMBERS(horzSum3_32f), TROV_MEMBERS(horzSum121_32f),
           TROV_MEMBERS(horzHighpass3_8u), TROV_MEMBERS(horzHighpass3_16s), TROV_MEMBERS(horzHighpass3_32f)});
    std::fill_n(table.slots + kThreeTapArray + 37, 4, slot(horzHighpass3_8u16s_C1));
    table.slots[kThreeTapArray + 41] = slot(horzHighpass3_8s16s_C1);

    place(table, kDifferenceBlock,
          {TROV_MEMBERS(horzDiff3_16u8u), TROV_MEMBERS(horzDiff3_32s16s), TROV_MEMBERS(horzDiff3_32f),
           slot(vertDiff3_8u16s), slot(vertDiff3_16s32s), slot(vertDiff3_32f)});
    place(table, kSharpenBlock,
          {TROV_MEMBERS(horzSharpen3_8u), TROV_MEMBERS(horzSharpen3_16s), TROV_MEMBERS(horzSharpen3_32f)});
    // The mean has no four-channel member without alpha: channel code 2 takes the one-channel member.
    place(table, kMean3Block,
          {slot(horzMean3_8u_C1), slot(horzMean3_8u_C1), slot(horzMean3_8u_C3), slot(horzMean3_8u_KeepAlpha),
           slot(horzMean3_16s_C1), slot(horzMean3_16s_C1), slot(horzMean3_16s_C3),
           slot(horzMean3_16s_KeepAlpha), slot(horzMean3_32f_C1), slot(horzMean3_32f_C1),
           slot(horzMean3_32f_C3), slot(horzMean3_32f_KeepAlpha)});
    // Scharr x derivative (vertical 3-10-3, then right minus left), then y derivative (vertical difference,
    // then horizontal 3-10-3), for 32f, 8u and 8s sources.
    place(table, kScharrBlock,
          {slot(vertScharr3_32f), slot(vertScharr3_8u16s), slot(vertScharr3_8s16s),
           slot(horzScharrDiff3_32f_C1), slot(horzScharrDiff3_16s_C1), slot(horzScharrDiff3_16s_C1),
           slot(vertDiff3_32f), slot(vertDiff3_8u16s), slot(vertDiff3_8s16s), slot(horzScharr3_32f_C1),
           slot(horzScharr3_16s_C1), slot(horzScharr3_16s_C1)});
    // 3x3 derivatives, groups of five derivative kinds (horizontal first, vertical first, horizontal
    // second, vertical second, cross): vertical passes for 8u, 8s and 32f sources, then horizontal passes
    // for rows from 8u, 8s and 32f sources.
    place(table, kDerivative3Block,
          {slot(vertSmooth3_8u16u),  slot(vertDiff3_8u16s),    slot(vertSmooth3_8u16u),
           slot(vertSecond3_8u16s),  slot(vertDiff3_8u16s),    slot(vertSmooth3_8s16s),
           slot(vertDiff3_8s16s),    slot(vertSmooth3_8s16s),  slot(vertSecond3_8s16s),
           slot(vertDiff3_8s16s),    slot(vertSmooth3_32f),    slot(vertDiff3_32f),
           slot(vertSmooth3_32f),    slot(vertSecond3_32f),    slot(vertDiff3_32f),
           slot(horzDiff3_16s_C1),   slot(horzSmooth3_16s_C1), slot(horzSecond3_16s_C1),
           slot(horzSmooth3_16s_C1), slot(horzDiff3_16s_C1),   slot(horzDiff3_16s_C1),
           slot(horzSmooth3_16s_C1), slot(horzSecond3_16s_C1), slot(horzSmooth3_16s_C1),
           slot(horzDiff3_16s_C1),   slot(horzDiff3_32f_C1),   slot(horzSum121_32f_C1),
           slot(horzSecond3_32f_C1), slot(horzSum121_32f_C1),  slot(horzDiff3_32f_C1)});
    // 5x5 derivatives in the same groups of five: row kernels for 8u, 8s and 32f sources, then column
    // kernels for 16-bit rows from 8u and 8s sources and for float rows.
    place(table, kDerivative5Block,
          {slot(rowDiff5_8u16s_C1),   slot(rowSmooth5_8u16s_C1), slot(rowSecond5_8u16s_C1),
           slot(rowSmooth5_8u16s_C1), slot(rowDiff5_8u16s_C1),   slot(rowDiff5_8s16s_C1),
           slot(rowSmooth5_8s16s_C1), slot(rowSecond5_8s16s_C1), slot(rowSmooth5_8s16s_C1),
           slot(rowDiff5_8s16s_C1),   slot(rowDiff5_32f_C1),     slot(rowSmooth5_32f_C1),
           slot(rowSecond5_32f_C1),   slot(rowSmooth5_32f_C1),   slot(rowDiff5_32f_C1),
           slot(colSmooth5_16s),      slot(colDiff5_16s),        slot(colSmooth5_16s),
           slot(colSecond5_16s),      slot(colDiff5_16s),        slot(colSmooth5_16s),
           slot(colDiff5_16s),        slot(colSmooth5_16s),      slot(colSecond5_16s),
           slot(colDiff5_16s),        slot(colSmooth5_32f),      slot(colDiff5_32f),
           slot(colSmooth5_32f),      slot(colSecond5_32f),      slot(colDiff5_32f)});
    // 5x5 box-type filters: initial column sums, high-pass passes, window updates, mean passes (whose channel
    // code 2 again takes the one-channel member).
    place(table, kBox5Block,
          {slot(vertBox5_8u16u),           slot(vertBox5_16s32s),           slot(vertBox5_32f),
           TROV_MEMBERS(horzHighpass5_8u), TROV_MEMBERS(horzHighpass5_16s), TROV_MEMBERS(horzHighpass5_32f),
           slot(vertBox5Update_8u16u),     slot(vertBox5Update_16s32s),     slot(vertBox5Update_32f),
           slot(horzMean5_8u_C1),          slot(horzMean5_8u_C1),           slot(horzMean5_8u_C3),
           slot(horzMean5_8u_KeepAlpha),   slot(horzMean5_16s_C1),          slot(horzMean5_16s_C1),
           slot(horzMean5_16s_C3),         slot(horzMean5_16s_KeepAlpha),   slot(horzMean5_32f_C1),
           slot(horzMean5_32f_C1),         slot(horzMean5_32f_C3),          slot(horzMean5_32f_KeepAlpha)});
}

#undef TROV_MEMBERS
#undef TROV_ROW_MEMBERS

// Every slot not placed stays null, among them the slots of other data (106-109 and 402-405).
KernelTable buildTable() {
    KernelTable table{};
    placeDriverArrays(table);
    placeFurtherFilters(table);
    // The runs the table holds twice, each at its own distance.
    repeatRun(table, 1, 33, 345);
    repeatRun(table, 41, 57, 385);
    repeatRun(table, 65, 105, 297);
    repeatRun(table, 119, 133, 406);
    repeatRun(table, 146, 271, 421);
    repeatRun(table, kVerticalArray3x3, kVerticalArray3x3 + 8, 110);
    repeatRun(table, kHorizontalArray3x3, kHorizontalArray3x3 + 11, 134);
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
