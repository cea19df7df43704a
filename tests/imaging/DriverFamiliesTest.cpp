#include "FamilyTestSupport.h"
#include "imaging/simd/KernelTable.h"
#include "imaging/simd/SimdDrivers.h"

#include <gtest/gtest.h>

namespace trov::imaging {
namespace {

using namespace testing;

// The general drivers running filters other than the Gaussian with passes taken from the kernel table
// (both copies), against the whole filter computed from its definition: the 3x3 mean and sharpening
// through the 3x3 driver, the 5x5 mean and high-pass through the five-row box driver.

enum class Filter { Mean3, Sharpen3, Mean5, Highpass5 };

template <class Fn> Fn at(const KernelTable& table, std::size_t slot) {
    return reinterpret_cast<Fn>(table.slots[slot]);
}

int elementsOf(ChannelCode channels) {
    return channels == ChannelCode::Four ? 4 : static_cast<int>(channels);
}

// Column sums as the drivers' passes form them (three-row (t + m) + b; five-row sums started as
// ((((r0 + r1) + r2) + r3) + r4) and moved down as (sum - leaving) + entering), combined across as
// (l + m) + r and ((t0 + t4) + (t1 + t2)) + t3: the float kinds' orders, exact sums for the integer kinds,
// which are then divided with rounding to nearest (halves to even for the sharpening's 8).
template <class T> std::vector<T> reference(const Image<T>& src, Filter filter, int e) {
    using Sum = std::conditional_t<std::is_floating_point_v<T>, float, long long>;
    const int r = filter == Filter::Mean3 || filter == Filter::Sharpen3 ? 1 : 2, w = src.width + 2 * r;
    std::vector<Sum> sums(std::size_t(src.height) * std::size_t(w) * std::size_t(e));
    auto sum = [&](int y, int x, int k) -> Sum& {
        return sums[static_cast<std::size_t>((std::ptrdiff_t{y} * w + x + r) * e + k)];
    };
    std::vector<T> out;
    for (int y = 0; y < src.height; ++y) {
        for (int x = -r; x < src.width + r; ++x)
            for (int k = 0; k < e; ++k) {
                auto v = [&](int row) { return Sum(src.at(x, row, k)); };
                sum(y, x, k) = r == 1   ? (v(y - 1) + v(y)) + v(y + 1)
                               : y == 0 ? (((v(-2) + v(-1)) + v(0)) + v(1)) + v(2)
                                        : (sum(y - 1, x, k) - v(y - 3)) + v(y + 2);
            }
        for (int x = 0; x < src.width; ++x)
            for (int k = 0; k < e; ++k) {
                auto s = [&](int dx) { return sum(y, x + dx, k); };
                const Sum c = src.at(x, y, k);
                const Sum across = r == 1 ? (s(-1) + s(0)) + s(1) : ((s(-2) + s(2)) + (s(-1) + s(0))) + s(1);
                if constexpr (std::is_floating_point_v<T>)
                    out.push_back(filter == Filter::Mean3 ? across * (1.0f / 9.0f)
                                  : filter == Filter::Sharpen3
                                      ? (((17.0f * c - s(-1)) - s(0)) - s(1)) * 0.125f
                                  : filter == Filter::Mean5 ? across * 0.04f
                                                            : 25.0f * c - across);
                else if (filter == Filter::Sharpen3) // 16 c less the eight neighbours; 8u floors at 0 first
                    out.push_back(saturate<T>(
                        divideNearest(sizeof(T) == 1 ? std::max(0LL, 17 * c - across) : 17 * c - across, 8)));
                else
                    out.push_back(saturate<T>(filter == Filter::Highpass5 ? 25 * c - across
                                              : filter == Filter::Mean3   ? divideNearest(across, 9)
                                                                          : divideNearest(across, 25)));
            }
    }
    return out;
}

template <class T>
void checkFilter(Filter filter, DataKind data, ChannelCode channels, const KernelTable& table,
                 std::mt19937& rng) {
    const std::size_t dk = static_cast<std::size_t>(data), code = static_cast<std::size_t>(channels);
    const std::size_t member = 4 * dk + code - 1;
    const int e = elementsOf(channels);
    for (auto [width, height] :
         {std::pair{1, 1}, {2, 3}, {3, 2}, {5, 1}, {8, 4}, {13, 9}, {21, 2}, {40, 3}}) {
        const Image<T> src(width, height, 2, static_cast<int>(sizeof(T)) * (width % 3), 4 * (width % 4), rng,
                           e);
        Image<T> dst(width, height, 1, 8, width % 2 ? 0 : static_cast<int>(sizeof(T)), rng, e);
        const Image<T> before = dst;
        // The horizontal pass of the filter: plain for the means, centred for the others.
        const bool centred = filter == Filter::Sharpen3 || filter == Filter::Highpass5;
        const std::size_t pass = member + (filter == Filter::Mean3      ? kMean3Block
                                           : filter == Filter::Sharpen3 ? kSharpenBlock
                                           : filter == Filter::Mean5    ? kMean5Block
                                                                        : kBox5HighpassStart);
        const HorizontalKernel3 horizontal = centred ? nullptr : at<HorizontalKernel3>(table, pass);
        const CentredKernel centredPass = centred ? at<CentredKernel>(table, pass) : nullptr;
        const FilterStatus status =
            filter == Filter::Mean3 || filter == Filter::Sharpen3
                ? drive3x3({at<VerticalKernel3>(table, kVerticalArray3x3 + 2 * dk), horizontal, centredPass},
                           src.origin(), src.step, dst.origin(), dst.step, width, height, data, channels)
                : driveBox5x5({at<ColumnSumKernel5>(table, kBox5Block + dk),
                               at<ColumnSumKernel5>(table, kBox5UpdateStart + dk), horizontal, centredPass},
                              src.origin(), src.step, dst.origin(), dst.step, width, height, data, channels);
        const std::string what = "filter " + std::to_string(static_cast<int>(filter)) + " data kind " +
                                 std::to_string(dk) + " channel code " + std::to_string(code) + " " +
                                 std::to_string(width) + "x" + std::to_string(height);
        ASSERT_EQ(status, FilterStatus::Ok) << what;
        const std::vector<T> expected = reference(src, filter, e), got = dst.rectangle();
        for (std::size_t i = 0; i < got.size(); ++i) {
            const bool alpha = channels == ChannelCode::FourKeepAlpha && i % 4 == 3;
            const T want = alpha ? before.rectangle()[i] : expected[i];
            ASSERT_TRUE(sameBits(got[i], want)) << what << " element " << i;
        }
        ASSERT_TRUE(dst.changedOnlyInside(before.bytes)) << what;
    }
}

// The means have no four-channel member without alpha (that code holds the one-channel member).
TEST(SimdDrivers, GeneralDriversRunTheMeanSharpeningAndHighPassFamiliesFromTheKernelTable) {
    std::mt19937 rng(301);
    for (Filter filter : {Filter::Mean3, Filter::Sharpen3, Filter::Mean5, Filter::Highpass5})
        for (ChannelCode channels :
             {ChannelCode::One, ChannelCode::Four, ChannelCode::Three, ChannelCode::FourKeepAlpha}) {
            if (channels == ChannelCode::Four && (filter == Filter::Mean3 || filter == Filter::Mean5))
                continue;
            const KernelTable& table =
                channels == ChannelCode::Three ? kernelTableCopy2() : kernelTableCopy1();
            checkFilter<std::uint8_t>(filter, DataKind::U8, channels, table, rng);
            checkFilter<std::int16_t>(filter, DataKind::S16, channels, table, rng);
            checkFilter<float>(filter, DataKind::F32, channels, table, rng);
        }
}

} // namespace
} // namespace trov::imaging
