#pragma once

#include <cstdint>

namespace trov::platform::draw {

// A colour as the window system packs it: 0x00BBGGRR.
using ColorRef = std::uint32_t;

// Surface pixels are premultiplied 8-bit blue, green, red and alpha, held as one 32-bit value
// 0xAARRGGBB (so blue, green, red, alpha in memory on this little-endian target).
using Pixel = std::uint32_t;

constexpr Pixel makePixel(std::uint32_t blue, std::uint32_t green, std::uint32_t red, std::uint32_t alpha) {
    return blue | (green << 8) | (red << 16) | (alpha << 24);
}
constexpr std::uint32_t blueOf(Pixel p) {
    return p & 0xFFu;
}
constexpr std::uint32_t greenOf(Pixel p) {
    return (p >> 8) & 0xFFu;
}
constexpr std::uint32_t redOf(Pixel p) {
    return (p >> 16) & 0xFFu;
}
constexpr std::uint32_t alphaOf(Pixel p) {
    return p >> 24;
}

constexpr ColorRef makeColorRef(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    return red | (green << 8) | (blue << 16);
}

// The opaque pixel of a colour.
constexpr Pixel opaquePixel(ColorRef color) {
    return makePixel((color >> 16) & 0xFFu, (color >> 8) & 0xFFu, color & 0xFFu, 255u);
}

// x / 255 rounded to nearest, exact for 0 <= x <= 255 * 255 (the same as (x + 127) / 255).
constexpr std::uint32_t div255(std::uint32_t x) {
    x += 128u;
    return (x + (x >> 8)) >> 8;
}

// A straight colour with its alpha, premultiplied: each colour channel becomes (c * a + 127) / 255, so an
// opaque pixel keeps its value.
constexpr Pixel premultiply(std::uint32_t blue, std::uint32_t green, std::uint32_t red, std::uint32_t alpha) {
    return makePixel(div255(blue * alpha), div255(green * alpha), div255(red * alpha), alpha);
}

// All four channels scaled by a / 255, rounded: two channels at a time in 16-bit lanes, each lane rounded
// exactly as div255 does.
constexpr Pixel scalePixel(Pixel p, std::uint32_t a) {
    std::uint32_t blueRed = (p & 0x00FF00FFu) * a + 0x00800080u;
    std::uint32_t greenAlpha = ((p >> 8) & 0x00FF00FFu) * a + 0x00800080u;
    blueRed = ((blueRed + ((blueRed >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    greenAlpha = ((greenAlpha + ((greenAlpha >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    return blueRed | (greenAlpha << 8);
}

// A premultiplied pixel over another: src + dst * (255 - src alpha) / 255 on every channel.
constexpr Pixel blendOver(Pixel src, Pixel dst) {
    return src + scalePixel(dst, 255u - alphaOf(src));
}

// An opaque colour laid over a pixel with a coverage of 0..255 (antialiased text and shapes).
constexpr Pixel coverPixel(Pixel dst, Pixel color, std::uint32_t coverage) {
    return blendOver(scalePixel(color, coverage), dst);
}

} // namespace trov::platform::draw
