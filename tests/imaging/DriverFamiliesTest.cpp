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

// Integer kinds are exact sums divided with rounding to nearest (halves to even for the sharpening's 8);
// float kinds follow the passes' orders: three-row sums (t + m) + b and five-row sums started as
// ((((r0 + r1) + r2) + r3) + r4) and moved down as (sum - leaving) + entering, combined across as
// ((l + m) + r) and ((t0 + t4) + (t1 + t2)) + t3.
template <class T> std::vector<T> reference(const Image<T>& src, Filter filter, ChannelCode channels) {
    const int e = elementsOf(channels), r = filter == Filter::Mean3 || filter == Filter::Sharpen3 ? 1 : 2;
    std::vector<T> out;
    if constexpr (std::is_floating_point_v<T>) {
        // Column sums of every row and of every column the filter reads, for each channel.
        std::vector<float> sums(static_cast<std::size_t>(src.height * (src.width + 2 * r) * e));
        auto sumAt = [&](int y, int x, int k) -> float& {
            return sums[static_cast<std::size_t>((y * (src.width + 2 * r) + x + r) * e + k)];
        };
        for (int y = 0; y < src.height; ++y)
            for (int x = -r; x < src.width + r; ++x)
                for (int k = 0; k < e; ++k) {
                    auto v = [&](int row) { return src.at(x, row, k); };
                    if (r == 1)
                        sumAt(y, x, k) = (v(y - 1) + v(y)) + v(y + 1);
                    else if (y == 0)
                        sumAt(y, x, k) = (((v(-2) + v(-1)) + v(0)) + v(1)) + v(2);
                    else
                        sumAt(y, x, k) = (sumAt(y - 1, x, k) - v(y - 3)) + v(y + 2);
                }
        for (int y = 0; y < src.height; ++y)
            for (int x = 0; x < src.width; ++x)
                for (int k = 0; k < e; ++k) {
                    auto s = [&](int dx) { return sumAt(y, x + dx, k); };
                    const float c = src.at(x, y, k);
                    const float across =
                        r == 1 ? (s(-1) + s(0)) + s(1) : ((s(-2) + s(2)) + (s(-1) + s(0))) + s(1);
                    switch (filter) {
                    case Filter::Mean3:
                        out.push_back(across * (1.0f / 9.0f));
                        break;
                    case Filter::Sharpen3:
                        out.push_back((((17.0f * c - s(-1)) - s(0)) - s(1)) * 0.125f);
                        break;
                    case Filter::Mean5:
                        out.push_back(across * 0.04f);
                        break;
                    case Filter::Highpass5:
                        out.push_back(25.0f * c - across);
                        break;
                    }
                }
    } else {
        for (int y = 0; y < src.height; ++y)
            for (int x = 0; x < src.width; ++x)
                for (int k = 0; k < e; ++k) {
                    long long sum = 0;
                    for (int dy = -r; dy <= r; ++dy)
                        for (int dx = -r; dx <= r; ++dx)
                            sum += src.at(x + dx, y + dy, k);
                    const long long c = src.at(x, y, k);
                    const bool u8 = sizeof(T) == 1;
                    switch (filter) {
                    case Filter::Mean3:
                        out.push_back(saturate<T>(divideNearest(sum, 9)));
                        break;
                    case Filter::Sharpen3: // 16 c less the eight neighbours, over 8; 8u floors at 0 first
                        out.push_back(
                            saturate<T>(divideNearest(u8 ? std::max(0LL, 17 * c - sum) : 17 * c - sum, 8)));
                        break;
                    case Filter::Mean5:
                        out.push_back(saturate<T>(divideNearest(sum, 25)));
                        break;
                    case Filter::Highpass5:
                        out.push_back(saturate<T>(25 * c - sum));
                        break;
                    }
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
        FilterStatus status = FilterStatus::BadMask;
        switch (filter) {
        case Filter::Mean3:
        case Filter::Sharpen3: {
            ThreeByThreePasses passes{at<VerticalKernel3>(table, kVerticalArray3x3 + 2 * dk), nullptr,
                                      nullptr};
            if (filter == Filter::Mean3)
                passes.horizontal = at<HorizontalKernel3>(table, kMean3Block + member);
            else
                passes.centred = at<CentredKernel>(table, kSharpenBlock + member);
            status = drive3x3(passes, src.origin(), src.step, dst.origin(), dst.step, width, height, data,
                              channels);
            break;
        }
        case Filter::Mean5:
        case Filter::Highpass5: {
            BoxFiveByFivePasses passes{at<ColumnSumKernel5>(table, kBox5Block + dk),
                                       at<ColumnSumKernel5>(table, kBox5UpdateStart + dk), nullptr, nullptr};
            if (filter == Filter::Mean5)
                passes.horizontal = at<HorizontalKernel3>(table, kMean5Block + member);
            else
                passes.centred = at<CentredKernel>(table, kBox5HighpassStart + member);
            status = driveBox5x5(passes, src.origin(), src.step, dst.origin(), dst.step, width, height, data,
                                 channels);
            break;
        }
        }
        const std::string what = "filter " + std::to_string(static_cast<int>(filter)) + " data kind " +
                                 std::to_string(dk) + " channel code " + std::to_string(code) + " " +
                                 std::to_string(width) + "x" + std::to_string(height);
        ASSERT_EQ(status, FilterStatus::Ok) << what;
        const std::vector<T> expected = reference(src, filter, channels), got = dst.rectangle();
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
