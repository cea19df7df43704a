#include "support/ChildProcess.h"

#include "framework/Random.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <ctime>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

namespace trov {
namespace {

std::uint32_t temper(std::uint32_t y) {
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    return y ^ (y >> 18);
}

class TwisterPathGuard {
public:
    explicit TwisterPathGuard(TwisterPath path) { setTwisterPath(path); }
    ~TwisterPathGuard() { setTwisterPath(TwisterPath::Automatic); }
};

// Our twister hands out the state words untempered; tempering them must give the standard generator's
// outputs, shifted by the one output the first draw discards.
TEST(MersenneTwister, DrawsTheStandardWordsUntemperedAfterDiscardingTheFirst) {
    for (TwisterPath path : {TwisterPath::Scalar, TwisterPath::Vector}) {
        TwisterPathGuard guard(path);
        for (std::uint32_t seed : {5489u, 1u, 0xDEADBEEFu}) {
            std::mt19937 reference(seed);
            reference();
            seedMersenneTwister(seed);
            for (int i = 0; i < 2000; ++i) { // crosses three regenerations
                const double u = randomDouble();
                const double scaled = u * 4294967296.0;
                ASSERT_EQ(scaled, std::floor(scaled)) << "resolution is 2^-32";
                ASSERT_EQ(temper(static_cast<std::uint32_t>(scaled)), reference())
                    << "seed " << seed << " draw " << i
                    << (path == TwisterPath::Vector ? " vector" : " scalar");
            }
        }
    }
}

TEST(LinearCongruential, SeedsSignExtendedAndStepsByItsConstants) {
    seedRandom(1);
    EXPECT_EQ(randomUnitLcg(), 0x41cce7a0 * 0x1p-52);
    EXPECT_EQ(randomUnitLcg(), 0x1f23551d3d78bull * 0x1p-52);
    EXPECT_EQ(randomUnitLcg(), 0x6f49e1149af32ull * 0x1p-52);
    // -1 is all ones in 64 bits: x = -196314165 + 907633515.
    seedRandom(-1);
    EXPECT_EQ(randomUnitLcg(), 711319350 * 0x1p-52);
}

// Rounding to nearest gives the bounds half as often as the values in between.
TEST(LinearCongruential, RandomIntRoundsTheUniformValueToTheNearestInteger) {
    for (auto [lo, hi] : {std::pair{0, 25}, std::pair{0, 65535}, std::pair{-40, 17}, std::pair{7, 7}}) {
        seedRandom(99);
        std::vector<double> uniforms;
        for (int i = 0; i < 1000; ++i)
            uniforms.push_back(randomUnitLcg());
        seedRandom(99);
        for (double u : uniforms)
            ASSERT_EQ(randomInt(lo, hi), lo + static_cast<int>(std::nearbyint(u * (hi - lo))))
                << lo << " " << hi;
    }
}

// Expected values follow the published recurrences, worked out independently for seed 1.
TEST(RanrotAndMother, ProduceTheirDefinedSequencesAfterSeeding) {
    motherInit(1);
    EXPECT_EQ(motherBits(), 0xdae16382u);
    EXPECT_EQ(motherBits(), 0x7f073001u);
    EXPECT_EQ(motherRandom(), 0x9619eeeau * 0x1p-32);

    const auto fromMantissa = [](std::uint64_t m) { return static_cast<long double>(m) * 0x1p-63L - 1.0L; };
    ranrotInit(1);
    EXPECT_EQ(ranrotRandom(), fromMantissa(0xdcd07a1a474ee6d1ull));
    EXPECT_EQ(ranrotRandom(), fromMantissa(0x982296b7d9ab0bcaull));
    EXPECT_EQ(ranrotRandom(), fromMantissa(0x99dcb1b0f7d49b3dull));

    seedCombinedRandom(1);
    EXPECT_EQ(combinedRandom(), fromMantissa(0x89daf28121f367faull));
    EXPECT_EQ(combinedRandom(), fromMantissa(0xaf91cd2f02ddcefbull));
    EXPECT_EQ(combinedRandom(), fromMantissa(0x8b73630e6bc71ac9ull));
}

TEST(RanrotAndMother, EveryGeneratorStaysInTheUnitIntervalOverManyDraws) {
    ranrotInit(3);
    seedCombinedRandom(3);
    motherInit(3);
    long double sums[3] = {0, 0, 0};
    constexpr int kDraws = 100000;
    for (int i = 0; i < kDraws; ++i) {
        const long double values[3] = {ranrotRandom(), combinedRandom(), motherRandom()};
        for (int g = 0; g < 3; ++g) {
            ASSERT_GE(values[g], 0.0L) << g;
            ASSERT_LT(values[g], 1.0L) << g;
            sums[g] += values[g];
        }
    }
    for (long double sum : sums)
        EXPECT_NEAR(static_cast<double>(sum / kDraws), 0.5, 0.01);
}

// Draws of each generator, as text, for comparing runs.
std::string drawAll() {
    std::ostringstream out;
    out.precision(21);
    for (int i = 0; i < 5; ++i)
        out << randomUnitLcg() << ' ' << randomDouble() << ' ' << ranrotRandom() << ' ' << motherBits() << ' '
            << combinedRandom() << '\n';
    return out.str();
}

std::string seedEachAndDraw(std::uint32_t seed) {
    motherInit(seed);
    seedMersenneTwister(seed);
    ranrotInit(seed);
    seedCombinedRandom(seed);
    seedRandom(static_cast<std::int32_t>(seed));
    return drawAll();
}

// seedRandomGenerators acts once per process, so each case runs in a fresh child.
TEST(SeedRandomGenerators, SeedsEveryGeneratorOnceAndIgnoresLaterSeeds) {
    const auto outcome = test::runInChild([] {
        seedRandomGenerators(0xFFFFFFF0u);
        seedRandomGenerators(77);
        const std::string seeded = drawAll();
        if (seeded != seedEachAndDraw(0xFFFFFFF0u))
            return 1;
        if (seeded == seedEachAndDraw(77))
            return 2;
        return 0;
    });
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.exitCode, 0) << "1: not seeded with the first seed; 2: a later seed took effect";
}

TEST(SeedRandomGenerators, SeedZeroUsesTheCalendarSecondSoProcessesOfOneSecondAgree) {
    const auto outcome = test::runInChild([] {
        const auto before = static_cast<std::uint32_t>(std::time(nullptr));
        seedRandomGenerators(0);
        const auto after = static_cast<std::uint32_t>(std::time(nullptr));
        const std::string seeded = drawAll();
        for (std::uint32_t second = before; second <= after; ++second)
            if (seeded == seedEachAndDraw(second))
                return 0;
        return 1;
    });
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.exitCode, 0);
}

// The audio thread draws per sample while the editor draws and start-up seeds: no draw may leave its
// generator's state, every value stays in range (run under the sanitizers).
TEST(RandomConcurrency, ConcurrentDrawsAndSeedsStayInsideTheStateAndInRange) {
    std::atomic<bool> bad{false};
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 50000; ++i) {
                const double u = randomDouble();
                const int n = randomInt(-3, 3);
                const long double r = ranrotRandom();
                const long double c = combinedRandom();
                const double m = motherRandom();
                if (!(u >= 0 && u < 1) || n < -3 || n > 3 || !(r >= 0 && r < 1) || !(c >= 0 && c < 1) ||
                    !(m >= 0 && m < 1))
                    bad = true;
            }
        });
    threads.emplace_back([&] {
        for (std::uint32_t seed = 1; !stop; ++seed) {
            seedMersenneTwister(seed);
            ranrotInit(seed);
            seedCombinedRandom(seed);
            motherInit(seed);
            seedRandom(static_cast<std::int32_t>(seed));
            std::this_thread::yield();
        }
    });
    for (int t = 0; t < 4; ++t)
        threads[t].join();
    stop = true;
    threads.back().join();
    EXPECT_FALSE(bad);
}

} // namespace
} // namespace trov
