#include "platform/draw/Surface.h"

#include <algorithm>
#include <new>

namespace trov::platform::draw {

Surface::Surface(int width, int height)
    : width_(width), height_(height),
      pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {}

std::shared_ptr<Surface> Surface::create(int width, int height) {
    if (width <= 0 || height <= 0 || std::int64_t{width} * std::int64_t{height} > kMaxPixels)
        return nullptr;
    try {
        return std::shared_ptr<Surface>(new Surface(width, height));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void Surface::fill(Pixel value) {
    std::fill(pixels_.begin(), pixels_.end(), value);
}

} // namespace trov::platform::draw
