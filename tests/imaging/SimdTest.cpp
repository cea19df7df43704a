#include "imaging/simd/KernelTable.h"
#include "imaging/simd/KernelTypes.h"
#include "imaging/simd/SimdDrivers.h"
#include "imaging/simd/kernels/ColumnKernels5.h"
#include "imaging/simd/kernels/HorizontalKernels3.h"
#include "imaging/simd/kernels/RowKernels5.h"
#include "imaging/simd/kernels/VerticalKernels3.h"
#include "support/KernelTestSupport.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace trov::imaging {
namespace {

using namespace testing;

// Every kernel family against a scalar form of its formula. Sources lie between inaccessible pages or in
// blocks of exactly the size their contract allows to be read (AddressSanitizer sees a read past them);
// destinations lie between random guard bytes or hold sentinels past what may be written.

// Element counts 0 to 40, rows against the page after and before them.
TEST(VerticalKernels3, EveryMemberSumsItsThreeRowsReadingAndWritingExactlyNElements) {
    struct Family {
        const char* name;
        Source source;
        VerticalKernel3 smooth, box; // weights 1-2-1 and 1-1-1
    };
    const Family families[] = {{"8u16u", Source::U8, vertSmooth3_8u16u, vertBox3_8u16u},
                               {"8s16s", Source::S8, nullptr, vertBox3_8s16s},
                               {"16s32s", Source::S16, vertSmooth3_16s32s, vertBox3_16s32s},
                               {"32f", Source::F32, vertSmooth3_32f, vertBox3_32f}};
    std::mt19937 rng(31);
    auto check = [&]<class S, class Out>(const std::string& name, VerticalKernel3 kernel, bool smooth,
                                         std::ptrdiff_t n, bool tailAligned) {
        const auto step = n * static_cast<std::ptrdiff_t>(sizeof(S));
        GuardedBytes src(static_cast<std::size_t>(3 * step + (n == 0)), tailAligned);
        fillRandom<S>(src.data(), 3 * n, rng);
        AlignedRow<Out> row(static_cast<std::size_t>(roundUp(n, 16) + 16));
        kernel(src.data(), row.data(), n, step);
        for (std::ptrdiff_t i = 0; i < n; ++i) {
            const S t = loadAt<S>(src.data(), i), m = loadAt<S>(src.data(), n + i),
                    b = loadAt<S>(src.data(), 2 * n + i);
            Out want;
            if constexpr (std::is_floating_point_v<S>)
                want = smooth ? (t + b) + (m + m) : (t + m) + b;
            else if constexpr (sizeof(S) == 2) // offset form: value + 32768 per sample
                want = static_cast<Out>((t + 32768) + (smooth ? 2 : 1) * (m + 32768) + (b + 32768));
            else
                want = static_cast<Out>(t + (smooth ? 2 : 1) * m + b);
            ASSERT_TRUE(sameBits(row[i], want)) << name << " n " << n << " i " << i;
        }
        // Float members clear the block holding the last one to three elements first.
        const std::ptrdiff_t written = std::is_floating_point_v<S> ? roundUp(n, 4) : n;
        for (std::ptrdiff_t i = n; i < written; ++i)
            ASSERT_TRUE(sameBits(row[i], Out(0))) << name << " n " << n;
        EXPECT_TRUE(row.untouchedFrom(static_cast<std::size_t>(written))) << name << " n " << n;
    };
    for (const Family& f : families)
        for (bool smooth : {true, false})
            for (std::ptrdiff_t n = 0; n <= 40; ++n)
                for (bool tailAligned : {false, true})
                    if (VerticalKernel3 kernel = smooth ? f.smooth : f.box)
                        withSourceTypes(f.source, [&]<class S, class Out>() {
                            check.template operator()<S, Out>(
                                std::string(smooth ? "vertSmooth3_" : "vertBox3_") + f.name, kernel, smooth,
                                n, tailAligned);
                        });
}

// Pixel counts 0 to 24 and 333, every destination offset the element size allows. Biased rows take only
// their two extremes for every third count, so results reach both ends of the 16-bit range.
TEST(HorizontalKernels3, EveryMemberDividesItsWeightedSumAndWritesExactlyItsElements) {
    enum class Row { U16, Biased32, F32 };
    struct Family {
        const char* name;
        Row row;
        HorizontalKernel3 members[4]; // channel codes 1 to 4: C1, C4, C3, C4 keeping alpha
    };
    const Family families[] = {
        {"horzGauss3_8u",
         Row::U16,
         {horzGauss3_8u_C1, horzGauss3_8u_C4, horzGauss3_8u_C3, horzGauss3_8u_KeepAlpha}},
        {"horzGauss3_16s",
         Row::Biased32,
         {horzGauss3_16s_C1, horzGauss3_16s_C4, horzGauss3_16s_C3, horzGauss3_16s_KeepAlpha}},
        {"horzGauss3_32f",
         Row::F32,
         {horzGauss3_32f_C1, horzGauss3_32f_C4, horzGauss3_32f_C3, horzGauss3_32f_KeepAlpha}},
    };
    std::mt19937 rng(37);
    auto check = [&]<class R, class Out>(const Family& f, int code, std::ptrdiff_t n, int offset,
                                         bool extremes) {
        const int c = code == 2 ? 4 : code;
        const std::ptrdiff_t used = n + 2 * c;
        AlignedRow<R> row(static_cast<std::size_t>(roundUp(used, 16) + 24));
        for (std::ptrdiff_t i = 0; i < used; ++i) {
            if constexpr (std::is_floating_point_v<R>)
                row[i] = randomValue<R>(rng);
            else if (f.row == Row::U16)
                row[i] = static_cast<R>(randomValue<int>(rng, 0, 1020));
            else
                row[i] =
                    static_cast<R>(extremes ? (rng() % 2 ? 0 : 262140) : randomValue<int>(rng, 0, 262140));
        }
        Image<Out> dst(static_cast<int>(n), 1, 1, 0, offset, rng, 1);
        const Image<Out> before = dst;
        f.members[code - 1](row.data(), dst.origin(), n);
        for (std::ptrdiff_t j = 0; j < n; ++j) {
            const R l = row[j], m = row[j + c], r = row[j + 2 * c];
            Out want;
            if (code == 4 && j % 4 == 3)
                want = before.at(static_cast<int>(j), 0, 0);
            else if constexpr (std::is_floating_point_v<R>)
                want = (c == 4 ? (l + m) + (m + r) : (l + (m + m)) + r) * 0.0625f;
            else
                want = saturate<Out>(
                    divideNearest(l + 2LL * m + r - (f.row == Row::Biased32 ? 4 * 131072 : 0), 16));
            ASSERT_TRUE(sameBits(dst.at(static_cast<int>(j), 0, 0), want))
                << f.name << " code " << code << " n " << n << " offset " << offset << " j " << j;
        }
        ASSERT_TRUE(dst.changedOnlyInside(before.bytes)) << f.name << " code " << code << " n " << n;
    };
    for (const Family& f : families)
        for (int code = 1; code <= 4; ++code)
            for (int pixels = 0; pixels <= 25; ++pixels)
                for (int offset : {0, 1, 2, 4, 8}) {
                    const std::ptrdiff_t n = (pixels == 25 ? 333 : pixels) * (code == 2 ? 4 : code);
                    const bool extremes = pixels % 3 == 0;
                    if (f.row == Row::U16)
                        check.template operator()<std::uint16_t, std::uint8_t>(f, code, n, offset, extremes);
                    else if (f.row == Row::Biased32 && offset % 2 == 0)
                        check.template operator()<std::int32_t, std::int16_t>(f, code, n, offset, extremes);
                    else if (f.row == Row::F32 && offset % 4 == 0)
                        check.template operator()<float, float>(f, code, n, offset, extremes);
                }
}

// Pixel counts 1 to 30 reach every full-step and tail path, 517 a long run. Sources lie against the page
// after them (any alignment), against the page before them (16-byte aligned), and 4 bytes past an aligned
// start: no sample before the first or past n - 1 + 4c is read, also for one and three channels.
TEST(RowKernels5, EveryMemberFollowsItsFormulaReadingExactlyItsSamples) {
    struct Family {
        const char* name;
        Source source;
        bool gauss;
        RowKernel5 members[3]; // one, three and four channels
    };
    const Family families[] = {
        {"rowGauss5_8u", Source::U8, true, {rowGauss5_8u_C1, rowGauss5_8u_C3, rowGauss5_8u_C4}},
        {"rowGauss5_16s", Source::S16, true, {rowGauss5_16s_C1, rowGauss5_16s_C3, rowGauss5_16s_C4}},
        {"rowGauss5_32f", Source::F32, true, {rowGauss5_32f_C1, rowGauss5_32f_C3, rowGauss5_32f_C4}},
        {"rowLaplacian5_8u",
         Source::U8,
         false,
         {rowLaplacian5_8u_C1, rowLaplacian5_8u_C3, rowLaplacian5_8u_C4}},
        {"rowLaplacian5_8s", Source::S8, false, {rowLaplacian5_8s_C1, nullptr, nullptr}},
        {"rowLaplacian5_16s",
         Source::S16,
         false,
         {rowLaplacian5_16s_C1, rowLaplacian5_16s_C3, rowLaplacian5_16s_C4}},
        {"rowLaplacian5_32f",
         Source::F32,
         false,
         {rowLaplacian5_32f_C1, rowLaplacian5_32f_C3, rowLaplacian5_32f_C4}},
    };
    constexpr int kChannels[3] = {1, 3, 4};
    std::mt19937 rng(17);
    auto check = [&]<class S, class Out>(const Family& f, int member, std::ptrdiff_t n, int layout) {
        const int c = kChannels[member];
        // Whole blocks of 8 (8-bit sources) or 4 elements, except that the four-channel 16s, 32f and
        // Laplacian 8u members write exactly n.
        const std::ptrdiff_t grain = c == 4 && !(f.gauss && sizeof(S) == 1) ? 1 : sizeof(S) == 1 ? 8 : 4;
        const std::ptrdiff_t samples = n + 4 * c;
        const std::size_t offset = layout == 2 ? 4 : 0;
        GuardedBytes bytes(samples * sizeof(S) + offset, layout == 0);
        const std::uint8_t* src = bytes.data() + offset;
        fillRandom<S>(bytes.data() + offset, samples, rng);
        const auto capacity = static_cast<std::size_t>(roundUp(n, 16) + 16);
        AlignedRow<Out> a(capacity), b(capacity), cRow(capacity);
        f.members[member](src, a.data(), b.data(), cRow.data(), n);
        for (std::ptrdiff_t i = 0; i < n; ++i) {
            S p[5];
            for (int k = 0; k < 5; ++k)
                p[k] = loadAt<S>(src, i + k * c);
            Out want[3];
            if constexpr (std::is_floating_point_v<S>) {
                const Floats r = floatRows(formulaOf(f.gauss, c), p[0], p[1], p[2], p[3], p[4]);
                want[0] = r.a, want[1] = r.b, want[2] = r.c;
            } else {
                for (int r = 0; r < 3; ++r) { // mask rows A, B and C
                    long long sum = 0;
                    for (int k = 0; k < 5; ++k)
                        sum += (f.gauss ? kGauss5 : kLaplace5)[r][k] * static_cast<long long>(p[k]);
                    want[r] = static_cast<Out>(sum);
                }
            }
            ASSERT_TRUE(sameBits(a[i], want[0]) && sameBits(b[i], want[1]) && sameBits(cRow[i], want[2]))
                << f.name << " C" << c << " n " << n << " i " << i;
        }
        const auto written = static_cast<std::size_t>(roundUp(n, grain));
        EXPECT_TRUE(a.untouchedFrom(written) && b.untouchedFrom(written) && cRow.untouchedFrom(written))
            << f.name << " C" << c << " wrote past element " << written << " for n " << n;
    };
    for (const Family& f : families)
        for (int member = 0; member < 3; ++member)
            for (std::ptrdiff_t pixels = 1; pixels <= 31; ++pixels)
                for (int layout = 0; layout < 3; ++layout)
                    if (f.members[member])
                        withSourceTypes(f.source, [&]<class S, class Out>() {
                            check.template operator()<S, Out>(
                                f, member, (pixels == 31 ? 517 : pixels) * kChannels[member], layout);
                        });
}

// Element counts reach every tail; destinations start aligned (non-temporal stores) and off the 16-byte
// grid. Row values stay within what the row kernels give (A, B, C, B, A); random rows saturate the
// Laplacian members at both ends, and for the Gaussian members every seventh element has all five rows at
// the bottom or top of their ranges or at the top of what 16s samples give, so results reach both ends of
// the output.
TEST(ColumnKernels5, EveryMemberFollowsItsFormulaAndWritesExactlyItsElements) {
    enum class Kind { Gauss8u, Laplacian8u, Gauss16s, Laplacian16s, Gauss32f, Laplacian32f, Sum16s };
    struct Family {
        const char* name;
        Kind kind;
        ColumnKernel5 plain, keepAlpha;
    };
    const Family families[] = {
        {"colLaplacian5_8u", Kind::Laplacian8u, colLaplacian5_8u, colLaplacian5_8u_KeepAlpha},
        {"colGauss5_8u", Kind::Gauss8u, colGauss5_8u, colGauss5_8u_KeepAlpha},
        {"colLaplacian5_16s", Kind::Laplacian16s, colLaplacian5_16s, colLaplacian5_16s_KeepAlpha},
        {"colGauss5_16s", Kind::Gauss16s, colGauss5_16s, colGauss5_16s_KeepAlpha},
        {"colLaplacian5_32f", Kind::Laplacian32f, colLaplacian5_32f, colLaplacian5_32f_KeepAlpha},
        {"colGauss5_32f", Kind::Gauss32f, colGauss5_32f, colGauss5_32f_KeepAlpha},
        {"colSum5_16s", Kind::Sum16s, colSum5_16s, nullptr},
    };
    constexpr long long kRowWeights[5] = {30, 128, 255, 128, 30};
    std::mt19937 rng(23);
    auto check = [&]<class Row, class Out>(const Family& f, bool keepAlpha, std::ptrdiff_t n, int offset) {
        const bool gauss = f.kind == Kind::Gauss8u || f.kind == Kind::Gauss16s || f.kind == Kind::Gauss32f;
        // Rows exactly as long as the driver makes them: n rounded up to 16 elements.
        const auto length = static_cast<std::size_t>(roundUp(n, 16));
        AlignedRow<Row> rows(5 * length);
        for (std::ptrdiff_t i = 0; i < n; ++i) {
            const unsigned end = rng() % 3;
            for (std::size_t r = 0; r < 5; ++r) {
                const long long w = kRowWeights[r];
                const long long low = f.kind == Kind::Gauss8u ? 0 : -32768 * w;
                const long long top = f.kind == Kind::Gauss8u ? 255 * w : 32768 * w - 1;
                const long long ends[3] = {low, top, f.kind == Kind::Gauss8u ? top : 32767 * w};
                Row& v = rows[r * length + static_cast<std::size_t>(i)];
                if (std::is_floating_point_v<Row> || !gauss)
                    v = randomValue<Row>(rng);
                else
                    v = static_cast<Row>(i % 7 == 6 ? ends[end] : randomValue<long long>(rng, low, top));
            }
        }
        Image<Out> dst(static_cast<int>(n), 1, 1, 0, offset, rng, 1);
        const Image<Out> before = dst;
        (keepAlpha ? f.keepAlpha : f.plain)(&rows[0], &rows[length], &rows[2 * length], &rows[3 * length],
                                            &rows[4 * length], dst.origin(), n);
        for (std::ptrdiff_t i = 0; i < n; ++i) {
            Row v[5];
            for (std::size_t r = 0; r < 5; ++r)
                v[r] = rows[r * length + static_cast<std::size_t>(i)];
            Out want;
            if (keepAlpha && i % 4 == 3) {
                want = before.at(static_cast<int>(i), 0, 0);
            } else if constexpr (std::is_floating_point_v<Row>) {
                const float sum = (((v[0] + v[1]) + v[2]) + v[3]) + v[4];
                want = gauss ? sum * 0.0017513135f : sum;
            } else {
                const long long exact = 0LL + v[0] + v[1] + v[2] + v[3] + v[4];
                // Laplacian and plain sums wrap in the row's width before they saturate.
                want =
                    gauss ? saturate<Out>(divideNearest(exact, 571)) : saturate<Out>(static_cast<Row>(exact));
            }
            ASSERT_TRUE(sameBits(dst.at(static_cast<int>(i), 0, 0), want))
                << f.name << (keepAlpha ? " keeping alpha" : "") << " n " << n << " offset " << offset
                << " i " << i;
        }
        ASSERT_TRUE(dst.changedOnlyInside(before.bytes)) << f.name << " n " << n;
    };
    for (const Family& f : families)
        for (bool keepAlpha : {false, true})
            for (std::ptrdiff_t k = 1; k <= 49; ++k)
                for (int offset : {0, 1, 4, 8, 12}) {
                    const std::ptrdiff_t n = k == 49 ? 1204 : k;
                    if (keepAlpha && (!f.keepAlpha || n % 4 != 0)) // KeepAlpha members take whole pixels
                        continue;
                    auto run = [&]<class Row, class Out>() {
                        check.template operator()<Row, Out>(f, keepAlpha, n, offset);
                    };
                    switch (f.kind) {
                    case Kind::Gauss8u:
                        run.template operator()<std::uint16_t, std::uint8_t>();
                        break;
                    case Kind::Laplacian8u:
                        run.template operator()<std::int16_t, std::uint8_t>();
                        break;
                    case Kind::Gauss16s:
                    case Kind::Laplacian16s:
                        run.template operator()<std::int32_t, std::int16_t>();
                        break;
                    case Kind::Gauss32f:
                    case Kind::Laplacian32f:
                        run.template operator()<float, float>();
                        break;
                    case Kind::Sum16s:
                        run.template operator()<std::int16_t, std::int16_t>();
                        break;
                    }
                }
}

int elementsOf(ChannelCode channels) {
    return channels == ChannelCode::Four ? 4 : static_cast<int>(channels);
}

// One output element from the masks' weights (integer data) or from the row formulas in the kernels'
// order of operations (float data).
template <class In, class Out>
Out referenceElement(const Image<In>& src, int x, int y, int k, bool fiveByFive, MaskKind mask,
                     ChannelCode channels) {
    if constexpr (std::is_floating_point_v<In>) {
        if (!fiveByFive) {
            auto column = [&](int cx) {
                return (src.at(cx, y - 1, k) + src.at(cx, y + 1, k)) + (src.at(cx, y, k) + src.at(cx, y, k));
            };
            const float l = column(x - 1), c = column(x), r = column(x + 1);
            const bool oddCount = channels == ChannelCode::One || channels == ChannelCode::Three;
            return (oddCount ? (l + (c + c)) + r : (l + c) + (c + r)) * 0.0625f;
        }
        float part[5];
        for (int dy = 0; dy < 5; ++dy) {
            const int row = y + dy - 2;
            const Floats f = floatRows(formulaOf(mask == MaskKind::Gaussian, elementsOf(channels)),
                                       src.at(x - 2, row, k), src.at(x - 1, row, k), src.at(x, row, k),
                                       src.at(x + 1, row, k), src.at(x + 2, row, k));
            part[dy] = dy == 2 ? f.c : dy % 4 == 0 ? f.a : f.b;
        }
        const float sum = (((part[0] + part[1]) + part[2]) + part[3]) + part[4];
        return mask == MaskKind::Gaussian ? sum * 0.0017513135f : sum;
    } else {
        if (!fiveByFive)
            return saturate<Out>(divideNearest(weightedSum(src, x, y, k, kGauss3), 16));
        if (mask == MaskKind::Laplacian)
            return saturate<Out>(weightedSum(src, x, y, k, kLaplace5));
        return saturate<Out>(divideNearest(weightedSum(src, x, y, k, kGauss5), 571));
    }
}

// Each width runs under another rounding mode: the Gaussian drivers over 8u and 16s data round to nearest
// whatever the caller's mode, every other kind follows it (its reference is computed under the same mode).
template <class In, class Out>
void checkDriver(bool fiveByFive, MaskKind mask, DataKind data, ChannelCode channels, std::mt19937& rng) {
    const int e = elementsOf(channels);
    const std::uint32_t base = getMxcsr() & ~kMxcsrRoundingField;
    for (int width : {1, 2, 3, 5, 8, 13, 21, 40}) {
        const int height = 1 + width % 3;
        const Image<In> src(width, height, 2, 4 * (width % 3), static_cast<int>(sizeof(In)) * width % 16, rng,
                            e);
        Image<Out> dst(width, height, 1, 8, 0, rng, e);
        const Image<Out> before = dst;
        const std::uint32_t mxcsr = base | kRoundingModes[width % 4];
        FilterStatus status = FilterStatus::BadMask;
        std::vector<Out> expected;
        const std::uint32_t after = runUnderMxcsr(mxcsr, [&] {
            status = fiveByFive ? drive5x5(kernelTableCopy1(), src.origin(), src.step, dst.origin(), dst.step,
                                           width, height, mask, data, channels)
                                : drive3x3(kernelTableCopy1(), src.origin(), src.step, dst.origin(), dst.step,
                                           width, height, data, channels);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    for (int k = 0; k < e; ++k)
                        expected.push_back(
                            channels == ChannelCode::FourKeepAlpha && k == 3
                                ? before.at(x, y, k)
                                : referenceElement<In, Out>(src, x, y, k, fiveByFive, mask, channels));
        });
        const std::string what =
            std::string(fiveByFive ? "5x5" : "3x3") + " mask kind " + std::to_string(static_cast<int>(mask)) +
            " data kind " + std::to_string(static_cast<int>(data)) + " channel code " +
            std::to_string(static_cast<int>(channels)) + " width " + std::to_string(width);
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
    for (ChannelCode channels :
         {ChannelCode::One, ChannelCode::Four, ChannelCode::Three, ChannelCode::FourKeepAlpha}) {
        for (MaskKind mask : {MaskKind::Laplacian, MaskKind::Gaussian}) {
            checkDriver<std::uint8_t, std::uint8_t>(true, mask, DataKind::U8, channels, rng);
            checkDriver<std::int16_t, std::int16_t>(true, mask, DataKind::S16, channels, rng);
            checkDriver<float, float>(true, mask, DataKind::F32, channels, rng);
        }
        checkDriver<std::uint8_t, std::uint8_t>(false, MaskKind::Gaussian, DataKind::U8, channels, rng);
        checkDriver<std::int16_t, std::int16_t>(false, MaskKind::Gaussian, DataKind::S16, channels, rng);
        checkDriver<float, float>(false, MaskKind::Gaussian, DataKind::F32, channels, rng);
    }
    checkDriver<std::uint8_t, std::int16_t>(true, MaskKind::Laplacian, DataKind::U8ToS16, ChannelCode::One,
                                            rng);
    checkDriver<std::int8_t, std::int16_t>(true, MaskKind::Laplacian, DataKind::S8ToS16, ChannelCode::One,
                                           rng);
}

} // namespace
} // namespace trov::imaging
