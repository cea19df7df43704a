#include "imaging/simd/SimdDrivers.h"

#include "imaging/AlignedRows.h"
#include "imaging/FilterGauss.h"
#include "imaging/PortableSmoothing.h"
#include "imaging/RowRings.h"
#include "imaging/cpu/FloatEnvironment.h"
#include "imaging/simd/KernelTypes.h"

#include <xmmintrin.h>

#include <cstddef>

namespace trov::imaging {

namespace {

// With 32-bit widths and heights every size below fits a 64-bit ptrdiff_t.
constexpr std::ptrdiff_t roundUp16(std::ptrdiff_t n) {
    return (n + 15) & ~std::ptrdiff_t{15};
}

// The kinds' values are the kernel table's index terms.
template <class Kind> constexpr std::size_t term(Kind kind) {
    return static_cast<std::size_t>(kind);
}

std::ptrdiff_t elementsPerPixel(ChannelCode channels) {
    return channels == ChannelCode::Four ? 4 : static_cast<std::ptrdiff_t>(channels);
}

std::ptrdiff_t sourceSampleSize(DataKind data) {
    return data == DataKind::S16 ? 2 : data == DataKind::F32 ? 4 : 1;
}

// Intermediate elements are 32-bit for 16s and 32f data, 16-bit otherwise.
std::ptrdiff_t intermediateSize(DataKind data) {
    return data == DataKind::S16 || data == DataKind::F32 ? 4 : 2;
}

template <class Kernel> Kernel kernelAt(const KernelTable& table, std::size_t slot) {
    return reinterpret_cast<Kernel>(table.slots[slot]);
}

// For the time of a call: every SSE exception masked (the float conversions are inexact) and, when
// asked, rounding to nearest. The caller's controls come back on every path.
class CallFloatControls {
public:
    explicit CallFloatControls(bool roundToNearest)
        : mask_(kMxcsrExceptionMasks | (roundToNearest ? kMxcsrRoundingField : 0u)),
          saved_(setMxcsrBits(kMxcsrExceptionMasks, mask_)) {}
    ~CallFloatControls() { setMxcsrBits(saved_, mask_); }
    CallFloatControls(const CallFloatControls&) = delete;
    CallFloatControls& operator=(const CallFloatControls&) = delete;

private:
    std::uint32_t mask_;
    std::uint32_t saved_;
};

// True when the destination rectangle may share bytes with the source rows a 3x3 pass reads.
bool destinationMeetsNeighbourhood(const std::uint8_t* src, std::int32_t srcStep, const std::uint8_t* dst,
                                   std::int32_t dstStep, std::int32_t width, std::int32_t height) {
    const auto s = reinterpret_cast<std::uintptr_t>(src);
    const auto d = reinterpret_cast<std::uintptr_t>(dst);
    const auto row = static_cast<std::uintptr_t>(4) * static_cast<std::uint32_t>(width);
    const std::uintptr_t sourceFirst = s - static_cast<std::uintptr_t>(srcStep) - 4;
    const std::uintptr_t sourceEnd =
        s + static_cast<std::uintptr_t>(srcStep) * static_cast<std::uint32_t>(height) + row + 4;
    const std::uintptr_t destinationEnd =
        d + static_cast<std::uintptr_t>(dstStep) * static_cast<std::uint32_t>(height - 1) + row;
    return sourceFirst < destinationEnd && d < sourceEnd;
}

// The drivers that keep one row buffer: fill it for destination row y (`fill`), then run the horizontal
// pass, which for the centred families also reads destination row y's own source row.
template <class Passes, class Fill>
FilterStatus runRowByRow(const Passes& passes, std::ptrdiff_t rowBytes, const void* src, std::int32_t srcStep,
                         void* dst, std::int32_t dstStep, std::int32_t height, std::ptrdiff_t n,
                         Fill&& fill) {
    std::uint8_t* row = alignedAllocBytes(rowBytes);
    if (!row)
        return FilterStatus::NoMemory;
    const auto* centre = static_cast<const std::uint8_t*>(src);
    auto* out = static_cast<std::uint8_t*>(dst);
    for (std::ptrdiff_t y = 0; y < height; ++y) {
        fill(y, row);
        if (passes.centred)
            passes.centred(centre + y * srcStep, row, out + y * dstStep, n);
        else
            passes.horizontal(row, out + y * dstStep, n);
    }
    alignedFree(row);
    storeFence();
    return FilterStatus::Ok;
}

FilterStatus filterGaussSimd(const KernelTable& table, const std::uint8_t* src, std::int32_t srcStep,
                             std::uint8_t* dst, std::int32_t dstStep, std::int32_t width, std::int32_t height,
                             SmoothingMask mask) {
    const FilterStatus status = checkFilterArguments(src, srcStep, dst, dstStep, width, height, mask);
    if (status != FilterStatus::Ok)
        return status;
    if (mask == SmoothingMask::Mask5x5)
        return drive5x5(table, src, srcStep, dst, dstStep, width, height, MaskKind::Gaussian, DataKind::U8,
                        ChannelCode::Four);
    // The 3x3 driver re-reads source rows after writing the rows above them; a destination in the way
    // takes the portable path, which gives the same bytes.
    if (destinationMeetsNeighbourhood(src, srcStep, dst, dstStep, width, height))
        return smooth3x3Portable(src, srcStep, dst, dstStep, width, height, kChannelsPerPixel);
    return drive3x3(table, src, srcStep, dst, dstStep, width, height, DataKind::U8, ChannelCode::Four);
}

} // namespace

void storeFence() {
    _mm_sfence();
}

FilterStatus drive5x5(const KernelTable& table, const void* src, std::int32_t srcStep, void* dst,
                      std::int32_t dstStep, std::int32_t width, std::int32_t height, MaskKind mask,
                      DataKind data, ChannelCode channels) {
    const auto rowKernel =
        kernelAt<RowKernel5>(table, kRowArray5x5 + 8 * term(data) + 4 * term(mask) + term(channels));
    const auto columnKernel = kernelAt<ColumnKernel5>(table, kColumnArray5x5 + 4 * term(data) +
                                                                 2 * term(mask) + term(channels) / 4);
    const std::ptrdiff_t e = elementsPerPixel(channels);
    const std::ptrdiff_t n = width * e;
    const std::ptrdiff_t rowBytes = intermediateSize(data) * roundUp16(n);

    const CallFloatControls controls(mask == MaskKind::Gaussian &&
                                     (data == DataKind::U8 || data == DataKind::S16));
    std::uint8_t* block = alignedAllocBytes(12 * rowBytes);
    if (!block)
        return FilterStatus::NoMemory;
    std::uint8_t* rows[12];
    for (int k = 0; k < 12; ++k)
        rows[k] = block + k * rowBytes;

    // Source row y starts two pixels left of the region.
    const auto* first = static_cast<const std::uint8_t*>(src) - 2 * e * sourceSampleSize(data);
    auto* out = static_cast<std::uint8_t*>(dst);
    runFiveRowRings(
        rows, height,
        [&](std::ptrdiff_t y, std::uint8_t* a, std::uint8_t* b, std::uint8_t* c) {
            rowKernel(first + y * srcStep, a, b, c, n);
        },
        [&](std::ptrdiff_t y, const std::uint8_t* a0, const std::uint8_t* b1, const std::uint8_t* c2,
            const std::uint8_t* b3,
            const std::uint8_t* a4) { columnKernel(a0, b1, c2, b3, a4, out + y * dstStep, n); });
    alignedFree(block);
    storeFence();
    return FilterStatus::Ok;
}

FilterStatus drive3x3(const KernelTable& table, const void* src, std::int32_t srcStep, void* dst,
                      std::int32_t dstStep, std::int32_t width, std::int32_t height, DataKind data,
                      ChannelCode channels) {
    const ThreeByThreePasses gaussian{
        kernelAt<VerticalKernel3>(table, kVerticalArray3x3 + 2 * term(data) + 1),
        kernelAt<HorizontalKernel3>(table, kHorizontalArray3x3 + 4 * term(data) + term(channels) - 1),
        nullptr};
    return drive3x3(gaussian, src, srcStep, dst, dstStep, width, height, data, channels);
}

FilterStatus drive3x3(const ThreeByThreePasses& passes, const void* src, std::int32_t srcStep, void* dst,
                      std::int32_t dstStep, std::int32_t width, std::int32_t height, DataKind data,
                      ChannelCode channels) {
    const std::ptrdiff_t e = elementsPerPixel(channels);
    const std::ptrdiff_t n = width * e;
    const std::ptrdiff_t m = (std::ptrdiff_t{width} + 2) * e;
    // The row covers one pixel more on each side, with room for the horizontal pass's whole-block reads.
    const std::ptrdiff_t paddedWidth = roundUp16(roundUp16(width) + 2 * e);
    const std::ptrdiff_t rowBytes = e * paddedWidth * intermediateSize(data);

    // Source row y - 1, one pixel left of the region.
    const std::uint8_t* top = static_cast<const std::uint8_t*>(src) - srcStep - e * sourceSampleSize(data);
    return runRowByRow(
        passes, rowBytes, src, srcStep, dst, dstStep, height, n,
        [&](std::ptrdiff_t y, void* row) { passes.vertical(top + y * srcStep, row, m, srcStep); });
}

FilterStatus driveBox5x5(const BoxFiveByFivePasses& passes, const void* src, std::int32_t srcStep, void* dst,
                         std::int32_t dstStep, std::int32_t width, std::int32_t height, DataKind data,
                         ChannelCode channels) {
    const std::ptrdiff_t e = elementsPerPixel(channels);
    const std::ptrdiff_t n = width * e;
    const std::ptrdiff_t m = (std::ptrdiff_t{width} + 4) * e;
    // Source row y - 2, two pixels left of the region: the top of destination row y's window.
    const std::uint8_t* top =
        static_cast<const std::uint8_t*>(src) - 2 * srcStep - 2 * e * sourceSampleSize(data);
    return runRowByRow(passes, intermediateSize(data) * roundUp16(m), src, srcStep, dst, dstStep, height, n,
                       [&](std::ptrdiff_t y, void* row) {
                           if (y == 0)
                               passes.start(top, row, m, srcStep);
                           else
                               passes.update(top + (y - 1) * srcStep, row, m, srcStep);
                       });
}

FilterStatus filterGaussVariant3(const std::uint8_t* src, std::int32_t srcStep, std::uint8_t* dst,
                                 std::int32_t dstStep, std::int32_t width, std::int32_t height,
                                 SmoothingMask mask) {
    return filterGaussSimd(kernelTableCopy2(), src, srcStep, dst, dstStep, width, height, mask);
}

FilterStatus filterGaussVariant4(const std::uint8_t* src, std::int32_t srcStep, std::uint8_t* dst,
                                 std::int32_t dstStep, std::int32_t width, std::int32_t height,
                                 SmoothingMask mask) {
    return filterGaussSimd(kernelTableCopy1(), src, srcStep, dst, dstStep, width, height, mask);
}

} // namespace trov::imaging
