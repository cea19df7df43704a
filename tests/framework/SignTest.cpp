#include "framework/Sign.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(Sign, NegativeZeroAndPositiveValuesGiveMinusOneZeroAndOneAndNaNGivesZero) {
    const std::pair<float, float> cases[] = {
        {-2.5f, -1.0f},       {-std::numeric_limits<float>::denorm_min(), -1.0f},
        {-0.0f, 0.0f},        {0.0f, 0.0f},
        {1e-30f, 1.0f},       {std::numeric_limits<float>::infinity(), 1.0f},
        {std::nanf(""), 0.0f}};
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(trov::sign(value), expected) << value;
}
