#include "platform/draw/ImageFiles.h"

#include <algorithm>
#include <array>
#include <vector>

namespace trov::platform::draw {

namespace {

std::uint32_t read16(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8;
}
std::uint32_t read32(const std::uint8_t* p) {
    return read16(p) | read16(p + 2) << 16;
}

// One channel of a bit-field pixel: its mask's bits, scaled to 0..255.
struct Field {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;

    explicit Field(std::uint32_t m = 0) : mask(m) {
        if (mask == 0)
            return;
        while (((mask >> shift) & 1u) == 0)
            ++shift;
        max = mask >> shift;
    }
    std::uint32_t operator()(std::uint32_t value) const {
        if (max == 0)
            return 0;
        const std::uint64_t v = (value & mask) >> shift;
        return static_cast<std::uint32_t>((v * 255 + max / 2) / max);
    }
};

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;

} // namespace

std::shared_ptr<Surface> decodeBmp(const std::uint8_t* data, std::size_t size) {
    if (size < 26 || data[0] != 'B' || data[1] != 'M')
        return nullptr;
    const std::uint32_t offBits = read32(data + 10);
    const std::uint32_t headerSize = read32(data + 14);
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t planes = 0;
    std::uint32_t bits = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t colorsUsed = 0;
    std::size_t paletteEntry = 4;
    std::array<std::uint32_t, 4> masks{}; // red, green, blue, alpha
    if (headerSize == 12) {
        width = read16(data + 18);
        height = read16(data + 20);
        planes = read16(data + 22);
        bits = read16(data + 24);
        paletteEntry = 3;
    } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 ||
               headerSize == 124) {
        if (size < 14 + std::size_t{headerSize})
            return nullptr;
        width = static_cast<std::int32_t>(read32(data + 18));
        height = static_cast<std::int32_t>(read32(data + 22));
        planes = read16(data + 26);
        bits = read16(data + 28);
        compression = read32(data + 30);
        colorsUsed = read32(data + 46);
        if (compression == kBitFields || compression == kAlphaBitFields) {
            // Masks follow a plain info header and are part of the longer ones (a 52-byte header holds
            // three: the alpha mask then follows it).
            const std::size_t count = compression == kAlphaBitFields ? 4 : 3;
            const std::size_t at = 54;
            if (size < at + 4 * count)
                return nullptr;
            for (std::size_t i = 0; i < count; ++i)
                masks[i] = read32(data + at + 4 * i);
            if (headerSize >= 56)
                masks[3] = read32(data + 66);
        }
    } else {
        return nullptr;
    }
    const bool topDown = height < 0;
    height = topDown ? -height : height;
    if (planes != 1 || width <= 0 || height <= 0 || width * height > Surface::kMaxPixels)
        return nullptr;
    const bool fields = compression == kBitFields || compression == kAlphaBitFields;
    if (compression != kRgb && !(fields && (bits == 16 || bits == 32)))
        return nullptr;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return nullptr;

    // The palette, after the header: as many entries as declared, or as fit before the pixels. An index
    // past its end is black.
    std::vector<Pixel> palette;
    if (bits <= 8) {
        const std::size_t at = 14 + std::size_t{headerSize};
        const std::size_t room =
            offBits > at ? (std::min<std::size_t>(offBits, size) - at) / paletteEntry : 0;
        const std::size_t declared = colorsUsed != 0 ? colorsUsed : std::size_t{1} << bits;
        const std::size_t count = std::min({declared, room, std::size_t{256}});
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* entry = data + at + i * paletteEntry;
            palette.push_back(makePixel(entry[0], entry[1], entry[2], 255));
        }
    }
    const auto stride = static_cast<std::size_t>(((width * bits + 31) / 32) * 4);
    if (offBits > size || stride * static_cast<std::size_t>(height) > size - offBits)
        return nullptr;
    auto surface = Surface::create(static_cast<int>(width), static_cast<int>(height));
    if (!surface)
        return nullptr;

    if (!fields && bits == 16)
        masks = {0x7C00, 0x03E0, 0x001F, 0};
    const Field red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
    const bool ownAlpha = (bits == 32 && !fields) || (fields && masks[3] != 0);
    bool anyAlpha = false;
    for (std::int64_t row = 0; row < height; ++row) {
        const std::uint8_t* in = data + offBits + stride * static_cast<std::size_t>(row);
        Pixel* out = surface->row(static_cast<int>(topDown ? row : height - 1 - row));
        for (std::int64_t x = 0; x < width; ++x) {
            Pixel p = 0;
            if (bits <= 8) {
                const std::size_t bit = static_cast<std::size_t>(x) * bits;
                const std::uint32_t index = (in[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1u);
                p = index < palette.size() ? palette[index] : makePixel(0, 0, 0, 255);
            } else if (bits == 24) {
                const std::uint8_t* px = in + x * 3;
                p = makePixel(px[0], px[1], px[2], 255);
            } else if (bits == 32 && !fields) {
                const std::uint8_t* px = in + x * 4;
                p = makePixel(px[0], px[1], px[2], px[3]);
            } else {
                const std::uint32_t v = bits == 16 ? read16(in + x * 2) : read32(in + x * 4);
                p = makePixel(blue(v), green(v), red(v), ownAlpha ? alpha(v) : 255);
            }
            anyAlpha = anyAlpha || alphaOf(p) != 0;
            out[x] = p;
        }
    }
    for (int y = 0; y < surface->height(); ++y) {
        Pixel* out = surface->row(y);
        for (int x = 0; x < surface->width(); ++x) {
            const Pixel p = out[x];
            if (ownAlpha && !anyAlpha) {
                out[x] = p | 0xFF000000u;
            } else if (ownAlpha) {
                const std::uint32_t a = alphaOf(p);
                out[x] = makePixel(std::min(blueOf(p), a), std::min(greenOf(p), a), std::min(redOf(p), a), a);
            }
        }
    }
    return surface;
}

} // namespace trov::platform::draw
