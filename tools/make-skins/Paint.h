#pragma once

#include "platform/draw/DrawContext.h"
#include "platform/draw/Pixel.h"
#include "platform/draw/Surface.h"

#include <memory>
#include <string_view>

namespace trov::skins {

using platform::NativeRect;
using platform::draw::ColorRef;
using platform::draw::DrawContext;
using platform::draw::Surface;

constexpr ColorRef rgb(unsigned r, unsigned g, unsigned b) {
    return platform::draw::makeColorRef(r, g, b);
}

// The panel's colours.
namespace colours {
constexpr ColorRef kPanel = rgb(56, 58, 62);
constexpr ColorRef kPanelLight = rgb(92, 96, 102);
constexpr ColorRef kPanelShade = rgb(30, 31, 34);
constexpr ColorRef kPage = rgb(44, 52, 64);
constexpr ColorRef kSectionLine = rgb(118, 122, 128);
constexpr ColorRef kLegend = rgb(222, 220, 206);
constexpr ColorRef kTitle = rgb(255, 190, 50);
constexpr ColorRef kDisplay = rgb(30, 40, 20); // the LCD window, as the sample editor's background
constexpr ColorRef kDisplayText = rgb(150, 230, 120);
constexpr ColorRef kAmber = rgb(255, 170, 40);
constexpr ColorRef kRed = rgb(230, 40, 30);
constexpr ColorRef kGreen = rgb(90, 220, 70);
constexpr ColorRef kCap = rgb(28, 28, 30);
constexpr ColorRef kWhite = rgb(255, 255, 255);
constexpr ColorRef kBlack = rgb(0, 0, 0);
} // namespace colours

// A new transparent surface of the size; throws std::runtime_error when it cannot be made.
std::shared_ptr<Surface> makeSurface(int width, int height);

// A context drawing on the surface with transparent-background text.
std::unique_ptr<DrawContext> contextOn(const std::shared_ptr<Surface>& surface);

NativeRect rectOf(int x, int y, int width, int height);
NativeRect inset(NativeRect r, int d);

// A raised (or, sunk, a recessed) box: face, a light edge on the top and left, a shade on the others.
void bevel(DrawContext& dc, const NativeRect& r, ColorRef face, bool sunk = false);

// A filled disc with a rim in the box.
void disc(DrawContext& dc, const NativeRect& r, ColorRef fill, ColorRef rim);

// Text in the built-in pixel font, its glyphs scaled by a whole factor (cells of 6 x 8 pixels at 1).
// `align` is the drawing layer's horizontal format (left, centre, right); the text's cell is centred
// vertically in r.
void pixelText(DrawContext& dc, std::string_view text, const NativeRect& r, ColorRef colour, int scale,
               unsigned align);
int pixelTextWidth(std::string_view text, int scale);

// Sets a pixel of the surface to a colour at an opacity of 0..255 (premultiplied), replacing it.
void putPixel(Surface& surface, int x, int y, ColorRef colour, unsigned alpha);

// The colour a fraction 0..1 of the way from a to b.
ColorRef mix(ColorRef a, ColorRef b, double t);

} // namespace trov::skins
