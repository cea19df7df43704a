#pragma once

// Reading single pixels of an editor's snapshot in tests: colours as red, green and blue, compared with a
// tolerance of one step per channel (the drawing layer rounds its blends).
#include "framework/Color.h"
#include "platform/draw/Surface.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

namespace trov::test {

using Rgb = std::array<int, 3>;

inline Rgb rgbOf(platform::draw::Pixel p) {
    return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
            static_cast<int>(p & 0xFF)};
}

inline Rgb rgbOf(const Color& c) {
    return {c.red, c.green, c.blue};
}

inline ::testing::AssertionResult pixelIs(const platform::draw::Surface& surface, int x, int y,
                                          Rgb expected) {
    const Rgb actual = rgbOf(surface.pixel(x, y));
    for (int i = 0; i < 3; ++i)
        if (std::abs(actual[static_cast<std::size_t>(i)] - expected[static_cast<std::size_t>(i)]) > 1)
            return ::testing::AssertionFailure()
                   << "pixel (" << x << ", " << y << ") is (" << actual[0] << ", " << actual[1] << ", "
                   << actual[2] << "), not (" << expected[0] << ", " << expected[1] << ", " << expected[2]
                   << ")";
    return ::testing::AssertionSuccess();
}

} // namespace trov::test
