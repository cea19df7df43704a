#pragma once

// Colours of single pixels, for tests that look at what a drawing put at a place they computed.
#include "framework/Color.h"
#include "platform/draw/Surface.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

namespace trov::test {

using Rgb = std::array<int, 3>;

// Red, green and blue of a pixel of an opaque surface.
inline Rgb rgb(platform::draw::Pixel p) {
    return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
            static_cast<int>(p & 0xFF)};
}

// c over d at constant alpha a (0..255), rounded as the drawing layer blends: (x + 127) / 255.
inline Rgb blend(Rgb c, Rgb d, int a) {
    Rgb out{};
    for (int i = 0; i < 3; ++i)
        out[i] = (c[i] * a + d[i] * (255 - a) + 127) / 255;
    return out;
}

inline void expectNear(Rgb actual, Rgb expected, const char* what) {
    for (int i = 0; i < 3; ++i)
        EXPECT_LE(std::abs(actual[i] - expected[i]), 1) << what << " channel " << i;
}

// A colour's red, green and blue.
inline Rgb rgb(const Color& c) {
    return {c.red, c.green, c.blue};
}

// The surface's pixel at (x, y) is the colour within one step per channel; the failure names both.
inline ::testing::AssertionResult pixelIs(const platform::draw::Surface& surface, int x, int y,
                                          Rgb expected) {
    const Rgb actual = rgb(surface.pixel(x, y));
    for (std::size_t i = 0; i < 3; ++i)
        if (std::abs(actual[i] - expected[i]) > 1)
            return ::testing::AssertionFailure()
                   << "pixel (" << x << ", " << y << ") is (" << actual[0] << ", " << actual[1] << ", "
                   << actual[2] << "), not (" << expected[0] << ", " << expected[1] << ", " << expected[2]
                   << ")";
    return ::testing::AssertionSuccess();
}

constexpr Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kBlack{0, 0, 0}, kWhite{255, 255, 255};

} // namespace trov::test
