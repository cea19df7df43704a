#pragma once

// Colours of single pixels, for tests that look at what a drawing put at a place they computed.
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

constexpr Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kBlack{0, 0, 0}, kWhite{255, 255, 255};

} // namespace trov::test
