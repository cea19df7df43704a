#include "imaging/FilterGauss.h"

#include "imaging/PortableSmoothing.h"
#include "imaging/cpu/FunctionDescriptor.h"

#include <atomic>

namespace trov::imaging {

namespace {

constexpr FilterGaussFn kVariantTable[kVariantTableSize] = {
    nullptr, filterGaussPortable, filterGaussVariant2, filterGaussVariant3, filterGaussVariant4,
};

// Relaxed: calls on other threads only need some valid index, never an ordering with other data.
std::atomic<std::int32_t> currentVariant{1};

// The operation's descriptor goes into the descriptor list when the module is loaded. It lives in this
// file so that any program calling the entry also links the registration.
[[maybe_unused]] const bool descriptorRegistered = (registerFilterGaussDescriptor(), true);

} // namespace

const FilterGaussFn* variantTable() {
    return kVariantTable;
}

std::int32_t variantIndex() {
    return currentVariant.load(std::memory_order_relaxed);
}

void storeVariantIndex(std::int32_t index) {
    currentVariant.store(index, std::memory_order_relaxed);
}

FilterStatus filterGauss_8u_C4(const std::uint8_t* src, std::int32_t srcStep, std::uint8_t* dst,
                               std::int32_t dstStep, std::int32_t width, std::int32_t height,
                               SmoothingMask mask) {
    const std::int32_t index = variantIndex();
    // Index 0 (reachable through processor code -1) has no implementation: run variant 1 rather than
    // jump through the empty entry.
    const FilterGaussFn entry =
        (index >= 1 && index < kVariantTableSize) ? kVariantTable[index] : kVariantTable[1];
    return entry(src, srcStep, dst, dstStep, width, height, mask);
}

FilterStatus checkFilterArguments(const std::uint8_t* src, std::int32_t srcStep, const std::uint8_t* dst,
                                  std::int32_t dstStep, std::int32_t width, std::int32_t height,
                                  SmoothingMask mask) {
    if (!src || !dst)
        return FilterStatus::NullPointer;
    if (width < 1 || height < 1)
        return FilterStatus::BadSize;
    if (srcStep < 1 || dstStep < 1)
        return FilterStatus::BadStep;
    if (mask != SmoothingMask::Mask3x3 && mask != SmoothingMask::Mask5x5)
        return FilterStatus::BadMask;
    return FilterStatus::Ok;
}

FilterStatus filterGaussPortable(const std::uint8_t* src, std::int32_t srcStep, std::uint8_t* dst,
                                 std::int32_t dstStep, std::int32_t width, std::int32_t height,
                                 SmoothingMask mask) {
    const FilterStatus status = checkFilterArguments(src, srcStep, dst, dstStep, width, height, mask);
    if (status != FilterStatus::Ok)
        return status;
    if (mask == SmoothingMask::Mask3x3)
        return smooth3x3Portable(src, srcStep, dst, dstStep, width, height, kChannelsPerPixel);
    return smooth5x5Rings(src, srcStep, dst, dstStep, width, height, rowSums5x5, columnSum5x5Round);
}

} // namespace trov::imaging
