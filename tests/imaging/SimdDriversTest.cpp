#include "KernelTestSupport.h"

#include "imaging/simd/SimdDrivers.h"

#include <gtest/gtest.h>

namespace trov::imaging {
namespace {

using namespace testing;

// The 3x3 driver re-reads source rows after writing the rows above them: a destination one row below the
// source overlaps rows still to be read and must give what separate images give.
TEST(SimdDrivers, ThreeByThreeDestinationOverlappingRowsStillToBeReadGivesTheReferenceBytes) {
    std::mt19937 rng(59);
    for (int variant : {3, 4})
        for (int width : {1, 6, 33}) {
            Image8u image(width, 6, 1, 0, 0, rng);
            Image8u source = image;
            source.height = 5;
            const std::vector<std::uint8_t> expected = referenceSmooth(source, SmoothingMask::Mask3x3);
            ASSERT_EQ(variantEntry(variant)(image.origin(), image.step, image.origin() + image.step, image.step, width,
                                            5, SmoothingMask::Mask3x3),
                      FilterStatus::Ok);
            Image8u below = image;
            below.height = 5;
            below.first += static_cast<std::size_t>(image.step);
            EXPECT_EQ(below.rectangle(), expected) << "variant " << variant << " width " << width;
        }
}

// --- The drivers over every data kind and channel code ---

Formula formulaOf(int maskKind, int channelCode) {
    if (maskKind == 1)
        return Formula::Gauss;
    return channelCode == 1 ? Formula::LaplaceC1 : channelCode == 3 ? Formula::LaplaceC3 : Formula::LaplaceC4;
}

// One output element from the masks' weights (integer data) or from the row formulas in the kernels'
// order of operations (float data).
template <class In, class Out>
Out referenceElement(const Image<In>& src, int x, int y, int k, bool fiveByFive, int maskKind, int channelCode) {
    if constexpr (std::is_floating_point_v<In>) {
        if (!fiveByFive) {
            auto column = [&](int cx) {
                return (src.at(cx, y - 1, k) + src.at(cx, y + 1, k)) + (src.at(cx, y, k) + src.at(cx, y, k));
            };
            const float l = column(x - 1), c = column(x), r = column(x + 1);
            return (channelCode == 1 || channelCode == 3 ? (l + (c + c)) + r : (l + c) + (c + r)) * 0.0625f;
        }
        float part[5];
        for (int dy = 0; dy < 5; ++dy) {
            const int row = y + dy - 2;
            const Floats f = floatRows(formulaOf(maskKind, channelCode), src.at(x - 2, row, k), src.at(x - 1, row, k),
                                       src.at(x, row, k), src.at(x + 1, row, k), src.at(x + 2, row, k));
            part[dy] = dy == 2 ? f.c : dy % 4 == 0 ? f.a : f.b;
        }
        const float sum = (((part[0] + part[1]) + part[2]) + part[3]) + part[4];
        return maskKind == 1 ? sum * 0.0017513135f : sum;
    } else {
        if (!fiveByFive)
            return saturate<Out>(divideNearest(weightedSum(src, x, y, k, kGauss3), 16));
        if (maskKind == 0)
            return saturate<Out>(weightedSum(src, x, y, k, kLaplace5));
        return saturate<Out>(divideNearest(weightedSum(src, x, y, k, kGauss5), 571));
    }
}

template <class In, class Out>
void checkDriver(bool fiveByFive, int maskKind, int dataKind, int channelCode, std::mt19937& rng) {
    const int e = channelCode == 2 ? 4 : channelCode;
    for (int width : {1, 2, 3, 5, 8, 13, 21, 40}) {
        const int height = 1 + width % 3;
        const Image<In> src(width, height, 2, 4 * (width % 3), static_cast<int>(sizeof(In)) * width % 16, rng, e);
        Image<Out> dst(width, height, 1, 8, 0, rng, e);
        const Image<Out> before = dst;
        const FilterStatus status =
            fiveByFive ? drive5x5(kernelTableCopy1(), src.origin(), src.step, dst.origin(), dst.step, width, height,
                                  maskKind, dataKind, channelCode)
                       : drive3x3(kernelTableCopy1(), src.origin(), src.step, dst.origin(), dst.step, width, height,
                                  dataKind, channelCode);
        ASSERT_EQ(status, FilterStatus::Ok);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int k = 0; k < e; ++k) {
                    const Out want = channelCode == 4 && k == 3
                                         ? before.at(x, y, k)
                                         : referenceElement<In, Out>(src, x, y, k, fiveByFive, maskKind, channelCode);
                    ASSERT_TRUE(sameBits(dst.at(x, y, k), want))
                        << (fiveByFive ? "5x5" : "3x3") << " mask kind " << maskKind << " data kind " << dataKind
                        << " channel code " << channelCode << " width " << width << " at " << x << "," << y << ","
                        << k;
                }
        ASSERT_TRUE(dst.changedOnlyInside(before.bytes));
    }
}

TEST(SimdDrivers, BothDriversServeEveryMaskKindDataKindAndChannelCode) {
    std::mt19937 rng(61);
    for (int channelCode = 1; channelCode <= 4; ++channelCode) {
        for (int maskKind : {0, 1}) {
            checkDriver<std::uint8_t, std::uint8_t>(true, maskKind, 0, channelCode, rng);
            checkDriver<std::int16_t, std::int16_t>(true, maskKind, 1, channelCode, rng);
            checkDriver<float, float>(true, maskKind, 2, channelCode, rng);
        }
        checkDriver<std::uint8_t, std::uint8_t>(false, 1, 0, channelCode, rng);
        checkDriver<std::int16_t, std::int16_t>(false, 1, 1, channelCode, rng);
        checkDriver<float, float>(false, 1, 2, channelCode, rng);
    }
    checkDriver<std::uint8_t, std::int16_t>(true, 0, 3, 1, rng);
    checkDriver<std::int8_t, std::int16_t>(true, 0, 4, 1, rng);
}

} // namespace
} // namespace trov::imaging
