#pragma once

// Pixel checks of drawn controls: a pixel's red, green and blue, and a comparison within a tolerance.
#include "platform/draw/Pixel.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>

namespace trov::test {

using Rgb = std::array<int, 3>;

inline Rgb rgbOf(platform::draw::Pixel p) {
    return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
            static_cast<int>(p & 0xFF)};
}

inline void expectNearRgb(const Rgb& actual, const Rgb& expected, const std::string& what, int by = 2) {
    for (int i = 0; i < 3; ++i)
        EXPECT_LE(std::abs(actual[i] - expected[i]), by) << what << " channel " << i;
}

} // namespace trov::test
