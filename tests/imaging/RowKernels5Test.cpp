#include "KernelTestSupport.h"

#include "imaging/simd/KernelTypes.h"
#include "imaging/simd/kernels/RowKernels5.h"

#include <gtest/gtest.h>

namespace trov::imaging {
namespace {

using namespace testing;

enum class Source { U8, S8, S16, F32 };

struct Member {
    const char* name;
    RowKernel5 kernel;
    Source source;
    int channels;
    Formula formula;
    int grain; // rows are written up to the next multiple of this many elements
};

const Member kMembers[] = {
    {"rowGauss5_8u_C1", rowGauss5_8u_C1, Source::U8, 1, Formula::Gauss, 8},
    {"rowGauss5_8u_C3", rowGauss5_8u_C3, Source::U8, 3, Formula::Gauss, 8},
    {"rowGauss5_8u_C4", rowGauss5_8u_C4, Source::U8, 4, Formula::Gauss, 8},
    {"rowGauss5_16s_C1", rowGauss5_16s_C1, Source::S16, 1, Formula::Gauss, 4},
    {"rowGauss5_16s_C3", rowGauss5_16s_C3, Source::S16, 3, Formula::Gauss, 4},
    {"rowGauss5_16s_C4", rowGauss5_16s_C4, Source::S16, 4, Formula::Gauss, 1},
    {"rowGauss5_32f_C1", rowGauss5_32f_C1, Source::F32, 1, Formula::Gauss, 4},
    {"rowGauss5_32f_C3", rowGauss5_32f_C3, Source::F32, 3, Formula::Gauss, 4},
    {"rowGauss5_32f_C4", rowGauss5_32f_C4, Source::F32, 4, Formula::Gauss, 1},
    {"rowLaplacian5_8u_C1", rowLaplacian5_8u_C1, Source::U8, 1, Formula::LaplaceC1, 8},
    {"rowLaplacian5_8u_C3", rowLaplacian5_8u_C3, Source::U8, 3, Formula::LaplaceC3, 8},
    {"rowLaplacian5_8u_C4", rowLaplacian5_8u_C4, Source::U8, 4, Formula::LaplaceC4, 1},
    {"rowLaplacian5_8s_C1", rowLaplacian5_8s_C1, Source::S8, 1, Formula::LaplaceC1, 8},
    {"rowLaplacian5_16s_C1", rowLaplacian5_16s_C1, Source::S16, 1, Formula::LaplaceC1, 4},
    {"rowLaplacian5_16s_C3", rowLaplacian5_16s_C3, Source::S16, 3, Formula::LaplaceC3, 4},
    {"rowLaplacian5_16s_C4", rowLaplacian5_16s_C4, Source::S16, 4, Formula::LaplaceC4, 1},
    {"rowLaplacian5_32f_C1", rowLaplacian5_32f_C1, Source::F32, 1, Formula::LaplaceC1, 4},
    {"rowLaplacian5_32f_C3", rowLaplacian5_32f_C3, Source::F32, 3, Formula::LaplaceC3, 4},
    {"rowLaplacian5_32f_C4", rowLaplacian5_32f_C4, Source::F32, 4, Formula::LaplaceC4, 1},
};

template <class S, class Out>
void checkMember(const Member& m, std::ptrdiff_t n, int layout, std::mt19937& rng) {
    const std::ptrdiff_t samples = n + 4 * m.channels;
    // Layouts: source against the page after it (any alignment), against the page before it (16-byte
    // aligned), and 4 bytes past an aligned start.
    const std::size_t offset = layout == 2 ? 4 : 0;
    GuardedBytes bytes(samples * sizeof(S) + offset, layout == 0);
    S* src = reinterpret_cast<S*>(bytes.data() + offset);
    for (std::ptrdiff_t k = 0; k < samples; ++k) {
        const S v = randomValue<S>(rng);
        std::memcpy(src + k, &v, sizeof v);
    }
    const std::size_t capacity = static_cast<std::size_t>(roundUp(n, 16) + 16);
    AlignedRow<Out> a(capacity), b(capacity), c(capacity);
    m.kernel(src, a.data(), b.data(), c.data(), n);

    const int step = m.channels;
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        S p[5];
        for (int k = 0; k < 5; ++k)
            std::memcpy(&p[k], src + i + k * step, sizeof(S));
        if constexpr (std::is_floating_point_v<S>) {
            const Floats f = floatRows(m.formula, p[0], p[1], p[2], p[3], p[4]);
            ASSERT_TRUE(sameBits(a[i], f.a) && sameBits(b[i], f.b) && sameBits(c[i], f.c))
                << m.name << " n " << n << " i " << i;
        } else {
            const Exact e = integerRows(m.formula, p[0], p[1], p[2], p[3], p[4]);
            ASSERT_EQ(a[i], static_cast<Out>(e.a)) << m.name << " n " << n << " i " << i;
            ASSERT_EQ(b[i], static_cast<Out>(e.b)) << m.name << " n " << n << " i " << i;
            ASSERT_EQ(c[i], static_cast<Out>(e.c)) << m.name << " n " << n << " i " << i;
        }
    }
    const auto written = static_cast<std::size_t>(roundUp(n, m.grain));
    EXPECT_TRUE(a.untouchedFrom(written) && b.untouchedFrom(written) && c.untouchedFrom(written))
        << m.name << " wrote past element " << written << " for n " << n;
}

void checkMember(const Member& m, std::ptrdiff_t n, int layout, std::mt19937& rng) {
    switch (m.source) {
    case Source::U8: return checkMember<std::uint8_t, std::uint16_t>(m, n, layout, rng);
    case Source::S8: return checkMember<std::int8_t, std::int16_t>(m, n, layout, rng);
    case Source::S16: return checkMember<std::int16_t, std::int32_t>(m, n, layout, rng);
    case Source::F32: return checkMember<float, float>(m, n, layout, rng);
    }
}

// Pixel counts 1 to 30 reach every full-step and tail path; the guard pages prove that no sample past
// n - 1 + 4c (or before the first) is read, also for one and three channels with small n.
TEST(RowKernels5, EveryMemberFollowsItsFormulaReadingExactlyItsSamples) {
    std::mt19937 rng(17);
    for (const Member& m : kMembers)
        for (std::ptrdiff_t pixels = 1; pixels <= 30; ++pixels)
            for (int layout = 0; layout < 3; ++layout)
                checkMember(m, pixels * m.channels, layout, rng);
    for (const Member& m : kMembers)
        checkMember(m, 517 * m.channels, 0, rng);
}

TEST(RowKernels5, ExtremeSamplesGiveExactRows) {
    alignas(32) std::int32_t a[16], b[16], c[16];
    const std::int16_t lowest[24] = {-32768, -32768, -32768, -32768, -32768, -32768, -32768, -32768,
                                     -32768, -32768, -32768, -32768, -32768, -32768, -32768, -32768,
                                     -32768, -32768, -32768, -32768, -32768, -32768, -32768, -32768};
    rowGauss5_16s_C4(lowest, a, b, c, 4);
    EXPECT_EQ(a[3], -30 * 32768);
    EXPECT_EQ(b[0], -128 * 32768);
    EXPECT_EQ(c[2], -255 * 32768);

    alignas(32) std::uint16_t ua[8], ub[8], uc[8];
    const std::uint8_t bright[20] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                                     255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
    rowGauss5_8u_C4(bright, ua, ub, uc, 4);
    EXPECT_EQ(ua[0], 30 * 255);
    EXPECT_EQ(ub[1], 128 * 255);
    EXPECT_EQ(uc[3], 255 * 255);

    alignas(32) std::int16_t la[8], lb[8], lc[8];
    const std::int8_t darkest[5] = {-128, -128, -128, -128, -128};
    rowLaplacian5_8s_C1(darkest, la, lb, lc, 1);
    EXPECT_EQ(la[0], 1536);
    EXPECT_EQ(lb[0], 0);
    EXPECT_EQ(lc[0], -3072);
    const std::uint8_t outerAndCentre[5] = {255, 0, 255, 0, 255};
    rowLaplacian5_8u_C1(outerAndCentre, la, lb, lc, 1);
    EXPECT_EQ(la[0], -1530);
    EXPECT_EQ(lb[0], 0);
    EXPECT_EQ(lc[0], 3060);
}

} // namespace
} // namespace trov::imaging
