#include "KernelTestSupport.h"

#include "imaging/simd/KernelTypes.h"
#include "imaging/simd/kernels/HorizontalKernels3.h"
#include "imaging/simd/kernels/VerticalKernels3.h"

#include <gtest/gtest.h>

namespace trov::imaging {
namespace {

using namespace testing;

// --- Vertical passes ---

enum class Source { U8, S8, S16, F32 };

struct VerticalMember {
    const char* name;
    VerticalKernel3 kernel;
    Source source;
    bool smooth; // weights 1-2-1, else 1-1-1
};

const VerticalMember kVerticalMembers[] = {
    {"vertSmooth3_8u16u", vertSmooth3_8u16u, Source::U8, true},
    {"vertBox3_8u16u", vertBox3_8u16u, Source::U8, false},
    {"vertBox3_8s16s", vertBox3_8s16s, Source::S8, false},
    {"vertSmooth3_16s32s", vertSmooth3_16s32s, Source::S16, true},
    {"vertBox3_16s32s", vertBox3_16s32s, Source::S16, false},
    {"vertSmooth3_32f", vertSmooth3_32f, Source::F32, true},
    {"vertBox3_32f", vertBox3_32f, Source::F32, false},
};

template <class S, class Out>
Out verticalExpected(bool smooth, S t, S m, S b) {
    if constexpr (std::is_floating_point_v<S>) {
        return smooth ? (t + b) + (m + m) : (t + m) + b;
    } else {
        const int w = smooth ? 2 : 1;
        if constexpr (sizeof(S) == 2) // offset form: value + 32768 per sample
            return static_cast<Out>((t + 32768) + w * (m + 32768) + (b + 32768));
        else
            return static_cast<Out>(t + w * m + b);
    }
}

template <class S, class Out>
void checkVertical(const VerticalMember& m, std::ptrdiff_t n, bool tailAligned, std::mt19937& rng) {
    // Three tightly packed rows between inaccessible pages: exactly n samples of each row may be read.
    const std::ptrdiff_t step = n * static_cast<std::ptrdiff_t>(sizeof(S));
    GuardedBytes bytes(static_cast<std::size_t>(3 * step + (n == 0 ? 1 : 0)), tailAligned);
    auto* src = reinterpret_cast<S*>(bytes.data());
    for (std::ptrdiff_t k = 0; k < 3 * n; ++k) {
        const S v = randomValue<S>(rng);
        std::memcpy(src + k, &v, sizeof v);
    }
    AlignedRow<Out> row(static_cast<std::size_t>(roundUp(n, 16) + 16));
    m.kernel(src, row.data(), n, step);
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        S t, mid, b;
        std::memcpy(&t, src + i, sizeof t);
        std::memcpy(&mid, src + n + i, sizeof mid);
        std::memcpy(&b, src + 2 * n + i, sizeof b);
        ASSERT_TRUE(sameBits(row[i], verticalExpected<S, Out>(m.smooth, t, mid, b))) << m.name << " n " << n << " i " << i;
    }
    std::ptrdiff_t written = n;
    if constexpr (std::is_floating_point_v<S>) {
        // The block holding the last one to three elements is cleared first.
        written = roundUp(n, 4);
        for (std::ptrdiff_t i = n; i < written; ++i)
            ASSERT_TRUE(sameBits(row[i], 0.0f)) << m.name << " n " << n;
    }
    EXPECT_TRUE(row.untouchedFrom(static_cast<std::size_t>(written))) << m.name << " n " << n;
}

TEST(VerticalKernels3, EveryMemberSumsItsThreeRowsReadingAndWritingExactlyNElements) {
    std::mt19937 rng(31);
    for (const VerticalMember& m : kVerticalMembers)
        for (std::ptrdiff_t n = 0; n <= 40; ++n)
            for (bool tail : {false, true})
                switch (m.source) {
                case Source::U8: checkVertical<std::uint8_t, std::uint16_t>(m, n, tail, rng); break;
                case Source::S8: checkVertical<std::int8_t, std::int16_t>(m, n, tail, rng); break;
                case Source::S16: checkVertical<std::int16_t, std::int32_t>(m, n, tail, rng); break;
                case Source::F32: checkVertical<float, float>(m, n, tail, rng); break;
                }
}

TEST(VerticalKernels3, ExtremeRowsGiveTheirSums) {
    alignas(16) std::uint16_t u[16];
    const std::uint8_t bright[3] = {255, 255, 255};
    vertSmooth3_8u16u(bright, u, 1, 1);
    EXPECT_EQ(u[0], 1020);
    vertBox3_8u16u(bright, u, 1, 1);
    EXPECT_EQ(u[0], 765);
    alignas(16) std::int16_t s[16];
    const std::int8_t dark[3] = {-128, -128, -128};
    vertBox3_8s16s(dark, s, 1, 1);
    EXPECT_EQ(s[0], -384);
    alignas(16) std::int32_t w[16];
    const std::int16_t lowest[3] = {-32768, -32768, -32768};
    const std::int16_t highest[3] = {32767, 32767, 32767};
    vertSmooth3_16s32s(lowest, w, 1, 2);
    EXPECT_EQ(w[0], 0);
    vertSmooth3_16s32s(highest, w, 1, 2);
    EXPECT_EQ(w[0], 262140);
}

// --- Horizontal passes ---

enum class Row { U16, Biased32, F32 };

struct HorizontalMember {
    const char* name;
    HorizontalKernel3 kernel;
    Row row;
    int channels;
    bool keepAlpha;
};

const HorizontalMember kHorizontalMembers[] = {
    {"horzGauss3_8u_C1", horzGauss3_8u_C1, Row::U16, 1, false},
    {"horzGauss3_8u_C4", horzGauss3_8u_C4, Row::U16, 4, false},
    {"horzGauss3_8u_C3", horzGauss3_8u_C3, Row::U16, 3, false},
    {"horzGauss3_8u_KeepAlpha", horzGauss3_8u_KeepAlpha, Row::U16, 4, true},
    {"horzGauss3_16s_C1", horzGauss3_16s_C1, Row::Biased32, 1, false},
    {"horzGauss3_16s_C4", horzGauss3_16s_C4, Row::Biased32, 4, false},
    {"horzGauss3_16s_C3", horzGauss3_16s_C3, Row::Biased32, 3, false},
    {"horzGauss3_16s_KeepAlpha", horzGauss3_16s_KeepAlpha, Row::Biased32, 4, true},
    {"horzGauss3_32f_C1", horzGauss3_32f_C1, Row::F32, 1, false},
    {"horzGauss3_32f_C4", horzGauss3_32f_C4, Row::F32, 4, false},
    {"horzGauss3_32f_C3", horzGauss3_32f_C3, Row::F32, 3, false},
    {"horzGauss3_32f_KeepAlpha", horzGauss3_32f_KeepAlpha, Row::F32, 4, true},
};

template <class R, class Out>
Out horizontalExpected(const HorizontalMember& m, R l, R c, R r) {
    if constexpr (std::is_floating_point_v<R>) {
        const float sum = m.channels == 4 ? (l + c) + (c + r) : (l + (c + c)) + r;
        return sum * 0.0625f;
    } else {
        long long s = static_cast<long long>(l) + 2LL * c + r;
        if (m.row == Row::Biased32)
            s -= 4LL * 131072;
        return saturate<Out>(roundHalfEven(double(s) / 16.0));
    }
}

template <class R, class Out>
void checkHorizontal(const HorizontalMember& m, std::ptrdiff_t n, std::size_t dstOffset, std::mt19937& rng,
                     bool extremes = false) {
    const std::ptrdiff_t used = n + 2 * m.channels;
    AlignedRow<R> row(static_cast<std::size_t>(roundUp(used, 16) + 24));
    for (std::ptrdiff_t i = 0; i < used; ++i) {
        if constexpr (std::is_floating_point_v<R>)
            row[i] = randomValue<R>(rng);
        else if (m.row == Row::U16)
            row[i] = static_cast<R>(randomValue<int>(rng, 0, 1020));
        else if (extremes)
            row[i] = rng() % 2 ? 0 : 262140; // every column at -32768 or at 32767
        else
            row[i] = static_cast<R>(randomValue<int>(rng, 0, 262140));
    }
    std::vector<unsigned char> storage(64 + dstOffset + n * sizeof(Out) + 64);
    for (auto& b : storage)
        b = static_cast<unsigned char>(rng());
    auto* base = storage.data() + (16 - reinterpret_cast<std::uintptr_t>(storage.data()) % 16) % 16;
    auto* dst = reinterpret_cast<Out*>(base + 32 + dstOffset);
    const std::vector<unsigned char> before = storage;

    m.kernel(row.data(), dst, n);

    const auto first = static_cast<std::size_t>(reinterpret_cast<unsigned char*>(dst) - storage.data());
    for (std::ptrdiff_t j = 0; j < n; ++j) {
        Out got, old;
        std::memcpy(&got, dst + j, sizeof got);
        std::memcpy(&old, before.data() + first + j * sizeof(Out), sizeof old);
        const Out want = m.keepAlpha && j % 4 == 3
                             ? old
                             : horizontalExpected<R, Out>(m, row[j], row[j + m.channels], row[j + 2 * m.channels]);
        ASSERT_TRUE(sameBits(got, want)) << m.name << " n " << n << " offset " << dstOffset << " j " << j;
    }
    for (std::size_t b = 0; b < storage.size(); ++b) {
        if (b < first || b >= first + n * sizeof(Out)) {
            ASSERT_EQ(storage[b], before[b]) << m.name << " wrote outside the row, n " << n;
        }
    }
}

void checkHorizontal(const HorizontalMember& m, std::ptrdiff_t n, std::size_t offset, std::mt19937& rng,
                     bool extremes = false) {
    switch (m.row) {
    case Row::U16: return checkHorizontal<std::uint16_t, std::uint8_t>(m, n, offset, rng, extremes);
    case Row::Biased32: return checkHorizontal<std::int32_t, std::int16_t>(m, n, offset, rng, extremes);
    case Row::F32: return checkHorizontal<float, float>(m, n, offset, rng, extremes);
    }
}

TEST(HorizontalKernels3, EveryMemberDividesItsWeightedSumAndWritesExactlyItsElements) {
    std::mt19937 rng(37);
    for (const HorizontalMember& m : kHorizontalMembers) {
        for (std::ptrdiff_t pixels = 0; pixels <= 24; ++pixels)
            for (std::size_t offset : {0, 1, 2, 4, 8})
                if (offset % (m.row == Row::U16 ? 1 : m.row == Row::Biased32 ? 2 : 4) == 0)
                    checkHorizontal(m, pixels * m.channels, offset, rng);
        checkHorizontal(m, 333 * m.channels, 0, rng);
    }
}

TEST(HorizontalKernels3, SixteenBitResultsSaturateAtBothEnds) {
    std::mt19937 rng(41);
    for (const HorizontalMember& m : kHorizontalMembers)
        if (m.row == Row::Biased32)
            checkHorizontal(m, 16 * m.channels, 0, rng, true);
    alignas(32) std::int32_t lowest[32] = {}, highest[32];
    std::fill(std::begin(highest), std::end(highest), 262140);
    std::int16_t out[8];
    horzGauss3_16s_C1(lowest, out, 8);
    EXPECT_EQ(out[5], -32768);
    horzGauss3_16s_C1(highest, out, 8);
    EXPECT_EQ(out[2], 32767);
}

TEST(HorizontalKernels3, EveryEightBitSumRoundsHalfToEven) {
    alignas(32) std::uint16_t row[32] = {};
    std::uint8_t out[4];
    for (int s = 0; s <= 4080; ++s) {
        for (int ch = 0; ch < 4; ++ch)
            row[ch] = static_cast<std::uint16_t>(s); // the left neighbour alone carries the sum
        horzGauss3_8u_C4(row, out, 4);
        ASSERT_EQ(out[2], divide16HalfToEven(s)) << "s " << s;
    }
}

} // namespace
} // namespace trov::imaging
