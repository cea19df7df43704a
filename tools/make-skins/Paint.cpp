#include "tools/make-skins/Paint.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace trov::skins {

namespace {

using platform::draw::FontSpec;

constexpr int kPixelCell = 8; // rows of the pixel font's cell at scale 1

FontSpec pixelFont(int scale) {
    FontSpec font;
    font.face = "04b03";
    font.height = kPixelCell * scale;
    font.smooth = false;
    return font;
}

unsigned channel(ColorRef c, int shift) {
    return (c >> shift) & 0xFFu;
}

} // namespace

std::shared_ptr<Surface> makeSurface(int width, int height) {
    auto surface = Surface::create(width, height);
    if (!surface)
        throw std::runtime_error("cannot make an image of " + std::to_string(width) + " x " +
                                 std::to_string(height));
    return surface;
}

std::unique_ptr<DrawContext> contextOn(const std::shared_ptr<Surface>& surface) {
    auto dc = std::make_unique<DrawContext>(surface);
    dc->setBkMode(platform::draw::BackgroundMode::Transparent);
    return dc;
}

NativeRect rectOf(int x, int y, int width, int height) {
    return {x, y, x + width, y + height};
}

NativeRect inset(NativeRect r, int d) {
    return {r.left + d, r.top + d, r.right - d, r.bottom - d};
}

void bevel(DrawContext& dc, const NativeRect& r, ColorRef face, bool sunk) {
    const ColorRef light = mix(face, colours::kWhite, 0.35);
    const ColorRef shade = mix(face, colours::kBlack, 0.45);
    dc.fillRect(r, face);
    dc.fillRect({r.left, r.top, r.right, r.top + 1}, sunk ? shade : light);
    dc.fillRect({r.left, r.top, r.left + 1, r.bottom}, sunk ? shade : light);
    dc.fillRect({r.left, r.bottom - 1, r.right, r.bottom}, sunk ? light : shade);
    dc.fillRect({r.right - 1, r.top, r.right, r.bottom}, sunk ? light : shade);
}

void disc(DrawContext& dc, const NativeRect& r, ColorRef fill, ColorRef rim) {
    dc.setPenColor(rim);
    dc.setBrushColor(fill);
    dc.ellipse(r);
}

void pixelText(DrawContext& dc, std::string_view text, const NativeRect& r, ColorRef colour, int scale,
               unsigned align) {
    dc.setFont(pixelFont(scale));
    dc.setTextColor(colour);
    const int cell = kPixelCell * scale;
    NativeRect line = r;
    line.top = r.top + (r.bottom - r.top - cell) / 2;
    line.bottom = line.top + cell;
    dc.drawText(text, line, align);
}

int pixelTextWidth(std::string_view text, int scale) {
    DrawContext measure;
    measure.setFont(pixelFont(scale));
    NativeRect r{0, 0, 4096, 4096};
    measure.drawText(text, r, platform::draw::kTextCalcRect);
    return r.right - r.left;
}

void putPixel(Surface& surface, int x, int y, ColorRef colour, unsigned alpha) {
    surface.setPixel(
        x, y,
        platform::draw::premultiply(channel(colour, 16), channel(colour, 8), channel(colour, 0), alpha));
}

ColorRef mix(ColorRef a, ColorRef b, double t) {
    const auto part = [&](int shift) {
        const double v = channel(a, shift) + (static_cast<double>(channel(b, shift)) - channel(a, shift)) * t;
        return static_cast<unsigned>(std::lround(v));
    };
    return rgb(part(0), part(8), part(16));
}

} // namespace trov::skins
