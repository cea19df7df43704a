#include "KernelTestSupport.h"

#include "imaging/simd/SimdDrivers.h"

#include <gtest/gtest.h>

#include <string>

namespace trov::imaging {
namespace {

using namespace testing;

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
            const Floats f = floatRows(formulaOf(maskKind == 1, channelCode == 2 ? 4 : channelCode), src.at(x - 2, row, k), src.at(x - 1, row, k),
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

// Each width runs under another rounding mode: the Gaussian drivers over 8u and 16s data round to nearest
// whatever the caller's mode, every other kind follows it (its reference is computed under the same mode).
template <class In, class Out>
void checkDriver(bool fiveByFive, int maskKind, int dataKind, int channelCode, std::mt19937& rng) {
    const int e = channelCode == 2 ? 4 : channelCode;
    const std::uint32_t base = getMxcsr() & ~kMxcsrRoundingField;
    for (int width : {1, 2, 3, 5, 8, 13, 21, 40}) {
        const int height = 1 + width % 3;
        const Image<In> src(width, height, 2, 4 * (width % 3), static_cast<int>(sizeof(In)) * width % 16, rng, e);
        Image<Out> dst(width, height, 1, 8, 0, rng, e);
        const Image<Out> before = dst;
        const std::uint32_t mxcsr = base | kRoundingModes[width % 4];
        FilterStatus status = FilterStatus::BadMask;
        std::vector<Out> expected;
        const std::uint32_t after = runUnderMxcsr(mxcsr, [&] {
            status = fiveByFive ? drive5x5(kernelTableCopy1(), src.origin(), src.step, dst.origin(), dst.step, width,
                                           height, maskKind, dataKind, channelCode)
                                : drive3x3(kernelTableCopy1(), src.origin(), src.step, dst.origin(), dst.step, width,
                                           height, dataKind, channelCode);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    for (int k = 0; k < e; ++k)
                        expected.push_back(channelCode == 4 && k == 3 ? before.at(x, y, k)
                                                                      : referenceElement<In, Out>(src, x, y, k, fiveByFive,
                                                                                                  maskKind, channelCode));
        });
        const std::string what = std::string(fiveByFive ? "5x5" : "3x3") + " mask kind " + std::to_string(maskKind) +
                                 " data kind " + std::to_string(dataKind) + " channel code " +
                                 std::to_string(channelCode) + " width " + std::to_string(width);
        ASSERT_EQ(status, FilterStatus::Ok) << what;
        EXPECT_EQ(after & kControlBits, mxcsr & kControlBits) << what;
        const std::vector<Out> got = dst.rectangle();
        for (std::size_t i = 0; i < got.size(); ++i)
            ASSERT_TRUE(sameBits(got[i], expected[i])) << what << " element " << i;
        ASSERT_TRUE(dst.changedOnlyInside(before.bytes)) << what;
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
