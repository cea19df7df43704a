#include "KernelTestSupport.h"

#include "imaging/cpu/FloatEnvironment.h"
#include "imaging/simd/SimdDrivers.h"

#include <gtest/gtest.h>

namespace trov::imaging {
namespace {

using namespace testing;

constexpr std::uint32_t kRoundingModes[] = {0x0000, 0x2000, 0x4000, 0x6000}; // nearest, down, up, zero
constexpr std::uint32_t kControlBits = 0xFFC0;                              // all but the exception flags

// Runs `call` with MXCSR set to `mxcsr` and gives back the MXCSR found afterwards; the test's own MXCSR is
// back in place before anything else runs.
template <class Call>
std::uint32_t runUnderMxcsr(std::uint32_t mxcsr, Call&& call) {
    const std::uint32_t saved = getMxcsr();
    loadMxcsr(mxcsr);
    call();
    const std::uint32_t after = getMxcsr();
    loadMxcsr(saved);
    return after;
}

TEST(SimdDrivers, EveryRoundingModeGivesTheReferenceBytesAndIsLeftAsItWas) {
    std::mt19937 rng(43);
    const std::uint32_t base = getMxcsr() & ~kMxcsrRoundingField;
    for (std::uint32_t mode : kRoundingModes)
        for (int variant : {3, 4})
            for (SmoothingMask mask : kBothMasks)
                for (int width = 1; width <= 72; ++width) {
                    const int w = width <= 70 ? width : width == 71 ? 301 : 1000;
                    const Image src(w, 3, maskRadius(mask), 0, 0, rng);
                    // Steps of 4-byte multiples: rows alternate between 16-byte aligned and unaligned.
                    Image dst(w, 3, 1, 4 * (w % 4), w % 16, rng);
                    const std::vector<std::uint8_t> expected = referenceSmooth(src, mask);
                    const std::vector<std::uint8_t> before = dst.storage;
                    FilterStatus status = FilterStatus::BadMask;
                    const std::uint32_t after = runUnderMxcsr(base | mode, [&] {
                        status = variantEntry(variant)(src.origin, src.step, dst.origin, dst.step, w, 3, mask);
                    });
                    ASSERT_EQ(status, FilterStatus::Ok);
                    EXPECT_EQ(after & kControlBits, (base | mode) & kControlBits) << "mode " << mode;
                    ASSERT_EQ(rectangleOf(dst), expected) << "variant " << variant << " mode " << mode << " width "
                                                          << w;
                    ASSERT_TRUE(onlyRectangleChanged(dst, before));
                }
}

TEST(SimdDrivers, UnmaskedFloatExceptionsDoNotTrapAndStayUnmasked) {
    std::mt19937 rng(47);
    const Image src(40, 4, 2, 0, 0, rng);
    Image dst(40, 4, 0, 0, 0, rng);
    // Inexact, underflow and overflow unmasked, rounding toward zero.
    const std::uint32_t unmasked = (getMxcsr() & ~(0x1000u | 0x0800u | 0x0400u | kMxcsrRoundingField)) | 0x6000u;
    FilterStatus status = FilterStatus::BadMask;
    const std::uint32_t after = runUnderMxcsr(unmasked, [&] {
        status = filterGaussVariant4(src.origin, src.step, dst.origin, dst.step, 40, 4, SmoothingMask::Mask5x5);
    });
    EXPECT_EQ(status, FilterStatus::Ok);
    EXPECT_EQ(after & kControlBits, unmasked & kControlBits);
    EXPECT_EQ(rectangleOf(dst), referenceSmooth(src, SmoothingMask::Mask5x5));
}

TEST(SimdDrivers, FailedAllocationLeavesMxcsrAndDestinationAsTheyWere) {
    RefusingHeap heap;
    HeapGuard installed(heap);
    std::mt19937 rng(53);
    const Image src(9, 2, 2, 0, 0, rng);
    for (std::uint32_t mode : kRoundingModes)
        for (int variant : {3, 4}) {
            Image dst(9, 2, 1, 0, 0, rng);
            const std::vector<std::uint8_t> before = dst.storage;
            const std::uint32_t set = (getMxcsr() & ~kMxcsrRoundingField) | mode;
            FilterStatus status = FilterStatus::Ok;
            const std::uint32_t after = runUnderMxcsr(set, [&] {
                status = variantEntry(variant)(src.origin, src.step, dst.origin, dst.step, 9, 2, SmoothingMask::Mask5x5);
            });
            EXPECT_EQ(status, FilterStatus::NoMemory);
            EXPECT_EQ(after, set);
            EXPECT_EQ(dst.storage, before);
        }
}

TEST(SimdDrivers, ThreeByThreeInPlaceCallsTakeThePortablePathAndMatchSeparateCalls) {
    std::mt19937 rng(59);
    CountingHeap heap;
    HeapGuard installed(heap);
    for (int variant : {3, 4})
        for (int width : {1, 6, 33}) {
            Image image(width, 5, 1, 0, 0, rng);
            const std::vector<std::uint8_t> expected = referenceSmooth(image, SmoothingMask::Mask3x3);
            ASSERT_EQ(variantEntry(variant)(image.origin, image.step, image.origin, image.step, width, 5,
                                            SmoothingMask::Mask3x3),
                      FilterStatus::Ok);
            EXPECT_EQ(rectangleOf(image), expected);
            // A destination one row below the source overlaps the rows still to be read, too.
            Image shifted(width, 6, 1, 0, 0, rng);
            Image copy(width, 5, 1, 0, 0, rng);
            for (int y = 0; y < 7; ++y)
                for (int x = -1; x <= width; ++x)
                    for (int ch = 0; ch < 4; ++ch)
                        copy.at(x, y - 1, ch) = shifted.at(x, y - 1, ch);
            const std::vector<std::uint8_t> below = referenceSmooth(copy, SmoothingMask::Mask3x3);
            ASSERT_EQ(variantEntry(variant)(shifted.origin, shifted.step, shifted.origin + shifted.step,
                                            shifted.step, width, 5, SmoothingMask::Mask3x3),
                      FilterStatus::Ok);
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < width; ++x)
                    for (int ch = 0; ch < 4; ++ch)
                        ASSERT_EQ(shifted.at(x, y + 1, ch), below[(y * width + x) * 4 + ch]);
        }
    EXPECT_EQ(heap.allocations, heap.releases);
}

// --- The drivers over every data kind and channel code ---

// A plane of `elements`-element pixels of T with a two-pixel margin, random contents.
template <class T>
struct Plane {
    int width, height, elements;
    std::ptrdiff_t step; // bytes
    std::vector<unsigned char> bytes;
    unsigned char* origin;
    Plane(int w, int h, int e, int extraStep, std::mt19937& rng) : width(w), height(h), elements(e) {
        step = static_cast<std::ptrdiff_t>((w + 4) * e * sizeof(T)) + extraStep;
        bytes.resize(static_cast<std::size_t>(step * (h + 4)) + 32);
        for (std::size_t i = 0; i + sizeof(T) <= bytes.size(); i += sizeof(T)) {
            const T v = randomValue<T>(rng);
            std::memcpy(&bytes[i], &v, sizeof v);
        }
        origin = bytes.data() + 2 * step + 2 * e * static_cast<std::ptrdiff_t>(sizeof(T));
    }
    T at(int x, int y, int k) const {
        T v;
        std::memcpy(&v, origin + y * step + (static_cast<std::ptrdiff_t>(x) * elements + k) * sizeof(T), sizeof v);
        return v;
    }
};

int elementsOf(int channelCode) { return channelCode == 2 ? 4 : channelCode; }

Formula laplaceFormula(int channelCode) {
    return channelCode == 1 ? Formula::LaplaceC1 : channelCode == 3 ? Formula::LaplaceC3 : Formula::LaplaceC4;
}

// The 5x5 result of one element from the row and column formulas of its data kind.
template <class In, class Out>
Out reference5x5(const Plane<In>& src, int x, int y, int k, int maskKind, int channelCode) {
    const Formula formula = maskKind == 1 ? Formula::Gauss : laplaceFormula(channelCode);
    auto taps = [&](int row) {
        In p[5];
        for (int d = 0; d < 5; ++d)
            p[d] = src.at(x + d - 2, row, k);
        return std::array<In, 5>{p[0], p[1], p[2], p[3], p[4]};
    };
    if constexpr (std::is_floating_point_v<In>) {
        float part[5];
        for (int dy = 0; dy < 5; ++dy) {
            const auto p = taps(y + dy - 2);
            const Floats f = floatRows(formula, p[0], p[1], p[2], p[3], p[4]);
            part[dy] = dy == 2 ? f.c : (dy == 0 || dy == 4) ? f.a : f.b;
        }
        const float sum = (((part[0] + part[1]) + part[2]) + part[3]) + part[4];
        return maskKind == 1 ? sum * 0.0017513135f : sum;
    } else {
        long long sum = 0;
        for (int dy = 0; dy < 5; ++dy) {
            const auto p = taps(y + dy - 2);
            const Exact e = integerRows(formula, p[0], p[1], p[2], p[3], p[4]);
            sum += dy == 2 ? e.c : (dy == 0 || dy == 4) ? e.a : e.b;
        }
        if (maskKind == 0)
            return saturate<Out>(sum);
        if (sizeof(In) == 1)
            return saturate<Out>(roundHalfEven(double(float(sum) * 0.0017513135f)));
        return saturate<Out>(roundHalfEven(double(sum) * 0.0017513134851138354));
    }
}

template <class In, class Out>
Out reference3x3(const Plane<In>& src, int x, int y, int k, int channelCode) {
    if constexpr (std::is_floating_point_v<In>) {
        auto column = [&](int cx) {
            return (src.at(cx, y - 1, k) + src.at(cx, y + 1, k)) + (src.at(cx, y, k) + src.at(cx, y, k));
        };
        const float l = column(x - 1), c = column(x), r = column(x + 1);
        const float sum = channelCode == 2 || channelCode == 4 ? (l + c) + (c + r) : (l + (c + c)) + r;
        return sum * 0.0625f;
    } else {
        static constexpr int kWeights[3] = {1, 2, 1};
        long long sum = 0;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                sum += kWeights[dy + 1] * kWeights[dx + 1] * static_cast<long long>(src.at(x + dx, y + dy, k));
        return saturate<Out>(roundHalfEven(double(sum) / 16.0));
    }
}

template <class In, class Out>
void checkDriver(bool fiveByFive, int maskKind, int dataKind, int channelCode, int width, int height,
                 std::mt19937& rng) {
    const int e = elementsOf(channelCode);
    const Plane<In> src(width, height, e, 4 * (width % 3), rng);
    Plane<Out> dst(width, height, e, 8, rng);
    const std::vector<unsigned char> before = dst.bytes;
    const auto srcStep = static_cast<std::int32_t>(src.step);
    const auto dstStep = static_cast<std::int32_t>(dst.step);
    const FilterStatus status =
        fiveByFive ? drive5x5(kernelTableCopy1(), src.origin, srcStep, dst.origin, dstStep, width, height, maskKind,
                              dataKind, channelCode)
                   : drive3x3(kernelTableCopy1(), src.origin, srcStep, dst.origin, dstStep, width, height, dataKind,
                              channelCode);
    ASSERT_EQ(status, FilterStatus::Ok);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < e; ++k) {
                const std::size_t at = static_cast<std::size_t>(dst.origin - dst.bytes.data() + y * dst.step +
                                                                (static_cast<std::ptrdiff_t>(x) * e + k) * sizeof(Out));
                Out old;
                std::memcpy(&old, before.data() + at, sizeof old);
                const Out want = channelCode == 4 && k == 3 ? old
                                 : fiveByFive ? reference5x5<In, Out>(src, x, y, k, maskKind, channelCode)
                                              : reference3x3<In, Out>(src, x, y, k, channelCode);
                ASSERT_TRUE(sameBits(dst.at(x, y, k), want))
                    << (fiveByFive ? "5x5" : "3x3") << " mask kind " << maskKind << " data kind " << dataKind
                    << " channel code " << channelCode << " width " << width << " at " << x << "," << y << "," << k;
            }
}

template <class In, class Out>
void checkDriverWidths(bool fiveByFive, int maskKind, int dataKind, int channelCode, std::mt19937& rng) {
    for (int width : {1, 2, 3, 5, 8, 13, 21, 40})
        checkDriver<In, Out>(fiveByFive, maskKind, dataKind, channelCode, width, 1 + width % 3, rng);
}

TEST(SimdDrivers, FiveByFiveServesEveryMaskKindDataKindAndChannelCode) {
    std::mt19937 rng(61);
    for (int maskKind : {0, 1})
        for (int channelCode = 1; channelCode <= 4; ++channelCode) {
            checkDriverWidths<std::uint8_t, std::uint8_t>(true, maskKind, 0, channelCode, rng);
            checkDriverWidths<std::int16_t, std::int16_t>(true, maskKind, 1, channelCode, rng);
            checkDriverWidths<float, float>(true, maskKind, 2, channelCode, rng);
        }
    checkDriverWidths<std::uint8_t, std::int16_t>(true, 0, 3, 1, rng);
    checkDriverWidths<std::int8_t, std::int16_t>(true, 0, 4, 1, rng);
}

TEST(SimdDrivers, ThreeByThreeServesEveryDataKindAndChannelCode) {
    std::mt19937 rng(67);
    for (int channelCode = 1; channelCode <= 4; ++channelCode) {
        checkDriverWidths<std::uint8_t, std::uint8_t>(false, 1, 0, channelCode, rng);
        checkDriverWidths<std::int16_t, std::int16_t>(false, 1, 1, channelCode, rng);
        checkDriverWidths<float, float>(false, 1, 2, channelCode, rng);
    }
}

} // namespace
} // namespace trov::imaging
