#pragma once

#include "imaging/FilterStatus.h"
#include "imaging/SmoothingMask.h"

#include <cstdint>

namespace trov::imaging {

// Gaussian smoothing of a rectangle of 8-bit four-channel pixels into a destination image.
// `src` and `dst` address the rectangle's top-left pixel; steps are bytes between row starts. The source
// must be readable one pixel (3x3) or two pixels (5x5) around the rectangle: there is no border handling.
// Exactly width x height pixels of the destination are written, and nothing on an error.
// Any thread; calls may run at once when no call's destination overlaps another call's images.
FilterStatus filterGauss_8u_C4(const std::uint8_t* src, std::int32_t srcStep, std::uint8_t* dst,
                               std::int32_t dstStep, std::int32_t width, std::int32_t height,
                               SmoothingMask mask);

// Elements per pixel of the images the entries smooth.
inline constexpr std::int32_t kChannelsPerPixel = 4;

// The implementations behind the public entry. All take the same arguments, make the same checks in the
// same order and give the same bytes whenever the destination does not overlap the source.
using FilterGaussFn = FilterStatus (*)(const std::uint8_t* src, std::int32_t srcStep, std::uint8_t* dst,
                                       std::int32_t dstStep, std::int32_t width, std::int32_t height,
                                       SmoothingMask mask);

FilterStatus filterGaussPortable(const std::uint8_t* src, std::int32_t srcStep, std::uint8_t* dst,
                                 std::int32_t dstStep, std::int32_t width, std::int32_t height,
                                 SmoothingMask mask);
FilterStatus filterGaussVariant2(const std::uint8_t* src, std::int32_t srcStep, std::uint8_t* dst,
                                 std::int32_t dstStep, std::int32_t width, std::int32_t height,
                                 SmoothingMask mask);
// Variants 3 and 4: the SSE2 drivers through copies 2 and 1 of the kernel table.
FilterStatus filterGaussVariant3(const std::uint8_t* src, std::int32_t srcStep, std::uint8_t* dst,
                                 std::int32_t dstStep, std::int32_t width, std::int32_t height,
                                 SmoothingMask mask);
FilterStatus filterGaussVariant4(const std::uint8_t* src, std::int32_t srcStep, std::uint8_t* dst,
                                 std::int32_t dstStep, std::int32_t width, std::int32_t height,
                                 SmoothingMask mask);

// The argument checks every implementation entry makes first: null pointer, size, step, mask, in that
// order. Ok means the call may go ahead.
FilterStatus checkFilterArguments(const std::uint8_t* src, std::int32_t srcStep, const std::uint8_t* dst,
                                  std::int32_t dstStep, std::int32_t width, std::int32_t height,
                                  SmoothingMask mask);

// The variant table: entry 0 is empty, entries 1 to 4 are the implementations above.
inline constexpr int kVariantTableSize = 5;
const FilterGaussFn* variantTable();

// The process-wide variant index (initially 1) that picks the table entry on every call. An index that
// names no implementation runs variant 1.
std::int32_t variantIndex();
// Only the processor set-up writes the index (selectVariantForProcessor, selectVariantByCode).
void storeVariantIndex(std::int32_t index);

} // namespace trov::imaging
