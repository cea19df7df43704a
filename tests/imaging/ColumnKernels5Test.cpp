#include "KernelTestSupport.h"

#include "imaging/cpu/FloatEnvironment.h"
#include "imaging/simd/KernelTypes.h"
#include "imaging/simd/kernels/ColumnKernels5.h"

#include <gtest/gtest.h>

namespace trov::imaging {
namespace {

using namespace testing;

enum class Kind { Gauss8u, Laplacian8u, Gauss16s, Laplacian16s, Gauss32f, Laplacian32f, Sum16s };

struct Member {
    const char* name;
    ColumnKernel5 kernel;
    Kind kind;
    bool keepAlpha;
};

const Member kMembers[] = {
    {"colLaplacian5_8u", colLaplacian5_8u, Kind::Laplacian8u, false},
    {"colLaplacian5_8u_KeepAlpha", colLaplacian5_8u_KeepAlpha, Kind::Laplacian8u, true},
    {"colGauss5_8u", colGauss5_8u, Kind::Gauss8u, false},
    {"colGauss5_8u_KeepAlpha", colGauss5_8u_KeepAlpha, Kind::Gauss8u, true},
    {"colLaplacian5_16s", colLaplacian5_16s, Kind::Laplacian16s, false},
    {"colLaplacian5_16s_KeepAlpha", colLaplacian5_16s_KeepAlpha, Kind::Laplacian16s, true},
    {"colGauss5_16s", colGauss5_16s, Kind::Gauss16s, false},
    {"colGauss5_16s_KeepAlpha", colGauss5_16s_KeepAlpha, Kind::Gauss16s, true},
    {"colLaplacian5_32f", colLaplacian5_32f, Kind::Laplacian32f, false},
    {"colLaplacian5_32f_KeepAlpha", colLaplacian5_32f_KeepAlpha, Kind::Laplacian32f, true},
    {"colGauss5_32f", colGauss5_32f, Kind::Gauss32f, false},
    {"colGauss5_32f_KeepAlpha", colGauss5_32f_KeepAlpha, Kind::Gauss32f, true},
    {"colSum5_16s", colSum5_16s, Kind::Sum16s, false},
};

// Row values within what the row kernels of each kind produce: (low, high) per row A, B, C, B, A.
template <class Row>
void fillRows(Kind kind, AlignedRow<Row>* rows[5], std::ptrdiff_t n, std::mt19937& rng) {
    static constexpr long long kGauss8uHigh[5] = {30 * 255, 128 * 255, 255 * 255, 128 * 255, 30 * 255};
    static constexpr long long kGauss16sHigh[5] = {30 * 32768LL, 128 * 32768LL, 255 * 32768LL, 128 * 32768LL,
                                                   30 * 32768LL};
    for (int r = 0; r < 5; ++r)
        for (std::ptrdiff_t i = 0; i < n; ++i) {
            Row& v = (*rows[r])[static_cast<std::size_t>(i)];
            if (kind == Kind::Gauss8u)
                v = static_cast<Row>(randomValue<long long>(rng, 0, kGauss8uHigh[r]));
            else if (kind == Kind::Gauss16s)
                v = static_cast<Row>(randomValue<long long>(rng, -kGauss16sHigh[r], kGauss16sHigh[r] - 1));
            else
                v = randomValue<Row>(rng);
        }
}

template <class Row, class Out>
Out expected(Kind kind, const Row (&v)[5]) {
    if constexpr (std::is_floating_point_v<Row>) {
        const float sum = (((v[0] + v[1]) + v[2]) + v[3]) + v[4];
        return kind == Kind::Gauss32f ? sum * 0.0017513135f : sum;
    } else {
        long long exact = 0;
        std::uint32_t wrapped = 0;
        for (const Row x : v) {
            exact += x;
            wrapped += static_cast<std::uint32_t>(x);
        }
        switch (kind) {
        case Kind::Gauss8u:
            return saturate<Out>(roundHalfEven(double(float(exact) * 0.0017513135f)));
        case Kind::Laplacian8u:
            return saturate<Out>(static_cast<std::int16_t>(wrapped));
        case Kind::Gauss16s:
            return saturate<Out>(roundHalfEven(double(exact) * 0.0017513134851138354));
        case Kind::Laplacian16s:
            return saturate<Out>(static_cast<std::int32_t>(wrapped));
        default:
            return static_cast<Out>(static_cast<std::int16_t>(wrapped));
        }
    }
}

template <class Row, class Out>
void checkMember(const Member& m, std::ptrdiff_t n, std::size_t dstOffset, std::mt19937& rng) {
    // Rows exactly as long as the driver makes them: n rounded up to 16 elements.
    const auto rowLength = static_cast<std::size_t>(roundUp(n, 16));
    AlignedRow<Row> r0(rowLength), r1(rowLength), r2(rowLength), r3(rowLength), r4(rowLength);
    AlignedRow<Row>* rows[5] = {&r0, &r1, &r2, &r3, &r4};
    fillRows(m.kind, rows, n, rng);

    const std::size_t guard = 32;
    std::vector<unsigned char> storage(guard + dstOffset + n * sizeof(Out) + guard + 16);
    for (auto& b : storage)
        b = static_cast<unsigned char>(rng());
    auto* base = storage.data() + (16 - reinterpret_cast<std::uintptr_t>(storage.data()) % 16) % 16;
    auto* dst = reinterpret_cast<Out*>(base + guard + dstOffset);
    const std::vector<unsigned char> before = storage;

    m.kernel(r0.data(), r1.data(), r2.data(), r3.data(), r4.data(), dst, n);

    for (std::ptrdiff_t i = 0; i < n; ++i) {
        Out got, old;
        std::memcpy(&got, dst + i, sizeof got);
        std::memcpy(&old, before.data() + (reinterpret_cast<unsigned char*>(dst + i) - storage.data()), sizeof old);
        const Row v[5] = {r0[i], r1[i], r2[i], r3[i], r4[i]};
        const Out want = m.keepAlpha && i % 4 == 3 ? old : expected<Row, Out>(m.kind, v);
        ASSERT_TRUE(sameBits(got, want)) << m.name << " n " << n << " offset " << dstOffset << " i " << i;
    }
    const auto first = static_cast<std::size_t>(reinterpret_cast<unsigned char*>(dst) - storage.data());
    const std::size_t last = first + n * sizeof(Out);
    for (std::size_t b = 0; b < storage.size(); ++b) {
        if (b < first || b >= last) {
            ASSERT_EQ(storage[b], before[b]) << m.name << " wrote outside the row, n " << n;
        }
    }
}

void checkMember(const Member& m, std::ptrdiff_t n, std::size_t dstOffset, std::mt19937& rng) {
    switch (m.kind) {
    case Kind::Gauss8u: return checkMember<std::uint16_t, std::uint8_t>(m, n, dstOffset, rng);
    case Kind::Laplacian8u: return checkMember<std::int16_t, std::uint8_t>(m, n, dstOffset, rng);
    case Kind::Gauss16s:
    case Kind::Laplacian16s: return checkMember<std::int32_t, std::int16_t>(m, n, dstOffset, rng);
    case Kind::Gauss32f:
    case Kind::Laplacian32f: return checkMember<float, float>(m, n, dstOffset, rng);
    case Kind::Sum16s: return checkMember<std::int16_t, std::int16_t>(m, n, dstOffset, rng);
    }
}

// Random rows cover saturation at both ends for the Laplacian and 16s members; element counts reach every
// tail; destinations start aligned (non-temporal stores) and off the 16-byte grid.
TEST(ColumnKernels5, EveryMemberFollowsItsFormulaAndWritesExactlyItsElements) {
    std::mt19937 rng(23);
    for (const Member& m : kMembers) {
        const std::ptrdiff_t grain = m.keepAlpha ? 4 : 1;
        for (std::ptrdiff_t n = grain; n <= 48; n += grain)
            for (std::size_t offset : {0, 1, 4, 8, 12})
                checkMember(m, n, offset, rng);
        checkMember(m, 4 * 301, 0, rng);
    }
}

TEST(ColumnKernels5, GaussianSumsRoundAroundTheHalves) {
    alignas(32) std::uint16_t rows[5][16] = {};
    std::uint8_t out[16];
    const std::uint16_t sums[4] = {285, 286, 856, 857};
    for (int i = 0; i < 4; ++i)
        rows[2][i] = sums[i];
    rows[0][4] = 30 * 255;
    rows[1][4] = 128 * 255;
    rows[2][4] = 255 * 255;
    rows[3][4] = 128 * 255;
    rows[4][4] = 30 * 255;
    colGauss5_8u(rows[0], rows[1], rows[2], rows[3], rows[4], out, 5);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 1);
    EXPECT_EQ(out[2], 1);
    EXPECT_EQ(out[3], 2);
    EXPECT_EQ(out[4], 255);
}

// Every sum 0 to 571 x 255, spread over the five rows within the ranges the row kernel gives them.
TEST(ColumnKernels5, EightBitGaussianRoundsEverySumToNearestUnderRoundToNearest) {
    constexpr std::ptrdiff_t kSums = 571 * 255 + 1;
    const auto length = static_cast<std::size_t>(roundUp(kSums, 16));
    AlignedRow<std::uint16_t> a0(length), b1(length), c2(length), b3(length), a4(length);
    for (std::ptrdiff_t s = 0; s < kSums; ++s) {
        long long rest = s;
        auto take = [&rest](long long most) {
            const long long part = std::min(rest, most);
            rest -= part;
            return static_cast<std::uint16_t>(part);
        };
        c2[s] = take(255 * 255);
        b1[s] = take(128 * 255);
        b3[s] = take(128 * 255);
        a0[s] = take(30 * 255);
        a4[s] = take(30 * 255);
    }
    std::vector<std::uint8_t> out(static_cast<std::size_t>(kSums));
    const std::uint32_t saved = setMxcsrBits(0, kMxcsrRoundingField);
    colGauss5_8u(a0.data(), b1.data(), c2.data(), b3.data(), a4.data(), out.data(), kSums);
    setMxcsrBits(saved, kMxcsrRoundingField);
    for (std::ptrdiff_t s = 0; s < kSums; ++s)
        ASSERT_EQ(out[s], divide571Nearest(s)) << "s " << s;
}

TEST(ColumnKernels5, SixteenBitGaussianReachesBothEndsOfTheRange) {
    alignas(32) std::int32_t low[5][16], high[5][16];
    const std::int32_t weights[5] = {30, 128, 255, 128, 30};
    for (int r = 0; r < 5; ++r)
        for (int i = 0; i < 16; ++i) {
            low[r][i] = -32768 * weights[r];
            high[r][i] = 32767 * weights[r];
        }
    std::int16_t out[8];
    colGauss5_16s(low[0], low[1], low[2], low[3], low[4], out, 8);
    EXPECT_EQ(out[7], -32768);
    colGauss5_16s(high[0], high[1], high[2], high[3], high[4], out, 8);
    EXPECT_EQ(out[0], 32767);
}

} // namespace
} // namespace trov::imaging
