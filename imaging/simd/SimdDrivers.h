#pragma once

#include "imaging/FilterStatus.h"
#include "imaging/simd/KernelKinds.h"
#include "imaging/simd/KernelTable.h"
#include "imaging/simd/KernelTypes.h"

#include <cstdint>

namespace trov::imaging {

// The SSE2 drivers behind variants 3 and 4. They stream the image through row buffers and take their
// kernels from a kernel table, so they serve every mask kind (5x5 only), data kind (the 3x3 driver takes
// U8, S16 and F32, and with explicit passes U8ToS16 and S8ToS16 too) and channel code. Arguments are the
// checked
// arguments of an entry; the source must be readable two (5x5) or one (3x3) pixels around the region.
// Both return Ok or NoMemory (destination untouched) and end with a store fence, so the non-temporal
// stores are complete when they return. Re-entrant; any thread.

// Masks every SSE exception for the call (and for the Gaussian mask over 8u and 16s data rounds to
// nearest, which its conversions rely on), restoring the caller's MXCSR controls on every path. Each
// source row is filtered once before the destination row over it is written, so equal source and
// destination images give the same result as separate ones.
FilterStatus drive5x5(const KernelTable& table, const void* src, std::int32_t srcStep, void* dst,
                      std::int32_t dstStep, std::int32_t width, std::int32_t height, MaskKind mask,
                      DataKind data, ChannelCode channels);

// Re-reads the three source rows of every destination row: the destination must not overlap the source
// rows still to be read. Does not touch MXCSR. The table form runs the Gaussian passes of the data kind.
FilterStatus drive3x3(const KernelTable& table, const void* src, std::int32_t srcStep, void* dst,
                      std::int32_t dstStep, std::int32_t width, std::int32_t height, DataKind data,
                      ChannelCode channels);

// The passes of any separable 3x3 filter, for instance taken from the kernel table: a vertical pass over
// the three source rows into the row buffer, then a horizontal pass, which for the centred families
// (high-pass, sharpening) also reads the destination row's own source row. Exactly one of horizontal and
// centred is set.
struct ThreeByThreePasses {
    VerticalKernel3 vertical;
    HorizontalKernel3 horizontal;
    CentredKernel centred;
};
FilterStatus drive3x3(const ThreeByThreePasses& passes, const void* src, std::int32_t srcStep, void* dst,
                      std::int32_t dstStep, std::int32_t width, std::int32_t height, DataKind data,
                      ChannelCode channels);

// The passes of a 5x5 box-type filter (high-pass, mean): the five-row column sums started above the first
// destination row and moved down one row per further row, then a horizontal pass over the sums, which the
// centred (high-pass) families combine with the destination row's own source row. Exactly one of
// horizontal and centred is set. Re-reads source rows as the 3x3 driver does; does not touch MXCSR.
struct BoxFiveByFivePasses {
    ColumnSumKernel5 start;
    ColumnSumKernel5 update;
    HorizontalKernel3 horizontal;
    CentredKernel centred;
};
FilterStatus driveBox5x5(const BoxFiveByFivePasses& passes, const void* src, std::int32_t srcStep, void* dst,
                         std::int32_t dstStep, std::int32_t width, std::int32_t height, DataKind data,
                         ChannelCode channels);

// Orders the non-temporal stores before any later store.
void storeFence();

} // namespace trov::imaging
