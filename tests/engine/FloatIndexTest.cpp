#include "engine/dsp/FloatIndex.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

using namespace trov;

TEST(FloatIndex, RoundingMatchesTheStandardFunctionsBitForBit) {
    std::vector<float> values{0.0f,
                              -0.0f,
                              0.5f,
                              1.5f,
                              2.5f,
                              -0.5f,
                              -1.5f,
                              -2.5f,
                              0.49999997f,
                              8388607.5f,
                              8388608.0f,
                              8388609.0f,
                              16777217.0f,
                              1e30f,
                              -1e30f,
                              1e-40f,
                              -1e-40f,
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity()};
    std::mt19937 random(3);
    std::uniform_real_distribution<float> wide(-3e6f, 3e6f);
    std::uniform_real_distribution<float> narrow(-4.0f, 4.0f);
    for (int i = 0; i < 20000; ++i) {
        values.push_back(wide(random));
        values.push_back(narrow(random));
        values.push_back(std::rint(narrow(random) * 256.0f) / 256.0f + 0.5f / 256.0f); // ties after scaling
    }
    int differ = 0;
    int differInt = 0;
    for (const float x : values) {
        differ +=
            std::bit_cast<std::uint32_t>(roundHalfEven(x)) != std::bit_cast<std::uint32_t>(std::rint(x));
        if (std::fabs(x) < 2e9f) {
            differInt += roundToInt(x) != std::lrint(x);
            differInt += roundToInt(static_cast<double>(x)) != std::lrint(static_cast<double>(x));
        }
    }
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(differInt, 0);
    EXPECT_TRUE(std::isnan(roundHalfEven(std::numeric_limits<float>::quiet_NaN())));
}

TEST(FloatIndex, ClampingSendsNaNToTheLowEnd) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(clampPosition(nan, 0.0f, 9.0f), 0.0f);
    EXPECT_EQ(clampPosition(-inf, 0.0f, 9.0f), 0.0f);
    EXPECT_EQ(clampPosition(inf, 0.0f, 9.0f), 9.0f);
    EXPECT_EQ(clampPosition(4.5f, 0.0f, 9.0f), 4.5f);
    EXPECT_EQ(clampPosition(std::numeric_limits<double>::quiet_NaN(), -2.0, 2.0), -2.0);
}
