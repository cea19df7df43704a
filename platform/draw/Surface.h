#pragma once

#include "platform/NativeRect.h"
#include "platform/draw/Pixel.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace trov::platform::draw {

// A rectangle of premultiplied pixels, rows top to bottom: the image of a bitmap, a back buffer or a window.
// New surfaces are transparent black. Shared by whoever draws into or from it; used on one thread at a
// time (the user-interface thread).
class Surface {
public:
    // The largest surface made: 2^24 pixels (64 MiB), a 4096 x 4096 image.
    static constexpr std::int64_t kMaxPixels = std::int64_t{1} << 24;

    // Null when a side is not positive, the size is above kMaxPixels or memory runs out.
    static std::shared_ptr<Surface> create(int width, int height);

    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    NativeRect bounds() const { return {0, 0, width_, height_}; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    Pixel* row(int y) {
        return pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
    }
    const Pixel* row(int y) const {
        return pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
    }
    // Transparent black outside the surface.
    Pixel pixel(int x, int y) const { return contains(x, y) ? row(y)[x] : 0u; }
    // Ignored outside the surface.
    void setPixel(int x, int y, Pixel value) {
        if (contains(x, y))
            row(y)[x] = value;
    }
    void fill(Pixel value);

private:
    Surface(int width, int height);

    int width_;
    int height_;
    std::vector<Pixel> pixels_;
};

} // namespace trov::platform::draw
