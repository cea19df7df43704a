#include "platform/draw/DrawContext.h"

#include "platform/draw/Blit.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace trov::platform::draw {

DrawContext::DrawContext(std::shared_ptr<Surface> surface) : surface_(std::move(surface)) {}

std::shared_ptr<Surface> DrawContext::selectSurface(std::shared_ptr<Surface> surface) {
    std::swap(surface, surface_);
    return surface;
}

int DrawContext::save() {
    saved_.push_back(state_);
    return static_cast<int>(saved_.size());
}

bool DrawContext::restore(int level) {
    const int depth = static_cast<int>(saved_.size());
    const int keep = level < 0 ? depth + level : level - 1; // the index of the state to return to
    if (level == 0 || keep < 0 || keep >= depth)
        return false;
    state_ = saved_[static_cast<std::size_t>(keep)];
    saved_.resize(static_cast<std::size_t>(keep));
    return true;
}

void DrawContext::offsetOrigin(int dx, int dy) {
    state_.origin.x += dx;
    state_.origin.y += dy;
}

void DrawContext::setClip(const NativeRect& deviceRect) {
    state_.clip = deviceRect;
    state_.clipped = true;
}

void DrawContext::resetClip() {
    state_.clipped = false;
}

NativeRect DrawContext::deviceClip() const {
    if (!surface_)
        return {};
    const NativeRect all = surface_->bounds();
    return state_.clipped ? intersect(all, state_.clip) : all;
}

NativeRect DrawContext::getClipBox() const {
    NativeRect box = surface_ ? deviceClip() : (state_.clipped ? state_.clip : NativeRect{});
    if (isEmpty(box))
        return {};
    box.left -= state_.origin.x;
    box.right -= state_.origin.x;
    box.top -= state_.origin.y;
    box.bottom -= state_.origin.y;
    return box;
}

NativeRect DrawContext::toDevice(const NativeRect& r) const {
    return {r.left + state_.origin.x, r.top + state_.origin.y, r.right + state_.origin.x,
            r.bottom + state_.origin.y};
}

void DrawContext::setPenColor(ColorRef color) {
    state_.penColor = color;
    state_.nullPen = false;
}

void DrawContext::selectNullPen() {
    state_.nullPen = true;
}

void DrawContext::setBrushColor(ColorRef color) {
    state_.brushColor = color;
    state_.nullBrush = false;
}

void DrawContext::selectNullBrush() {
    state_.nullBrush = true;
}

void DrawContext::setPixel(int x, int y, ColorRef color) {
    if (surface_)
        plot(x + state_.origin.x, y + state_.origin.y, opaquePixel(color), deviceClip());
}

Pixel DrawContext::getPixel(int x, int y) const {
    return surface_ ? surface_->pixel(x + state_.origin.x, y + state_.origin.y) : 0u;
}

void DrawContext::moveTo(int x, int y) {
    state_.position = {x, y};
}

void DrawContext::lineTo(int x, int y) {
    const DrawPoint from = state_.position;
    state_.position = {x, y};
    if (!surface_ || state_.nullPen)
        return;
    const NativeRect clip = deviceClip();
    const Pixel pen = opaquePixel(state_.penColor);
    const int x0 = from.x + state_.origin.x;
    const int y0 = from.y + state_.origin.y;
    const long long dx = static_cast<long long>(x) - from.x;
    const long long dy = static_cast<long long>(y) - from.y;
    const long long steps = std::max(std::llabs(dx), std::llabs(dy));
    const long long minor = std::min(std::llabs(dx), std::llabs(dy));
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const int sx = dx < 0 ? -1 : 1;
    const int sy = dy < 0 ? -1 : 1;
    // Pixel i of the steps along the major axis; the minor offset is i * minor / steps rounded to nearest,
    // halves toward the start. The end point itself is left out.
    for (long long i = 0; i < steps; ++i) {
        const long long along = (2 * i * minor + steps - 1) / (2 * steps);
        const long long px = xMajor ? i : along;
        const long long py = xMajor ? along : i;
        plot(x0 + static_cast<int>(px) * sx, y0 + static_cast<int>(py) * sy, pen, clip);
    }
}

void DrawContext::fillDevice(const NativeRect& r, Pixel p, const NativeRect& clip) {
    const NativeRect area = intersect(r, clip);
    if (isEmpty(area))
        return;
    for (int y = area.top; y < area.bottom; ++y)
        std::fill(surface_->row(y) + area.left, surface_->row(y) + area.right, p);
}

void DrawContext::fillRect(const NativeRect& r, ColorRef color) {
    if (surface_)
        fillDevice(toDevice(r), opaquePixel(color), deviceClip());
}

void DrawContext::frameRect(const NativeRect& r, ColorRef color) {
    if (!surface_ || isEmpty(r))
        return;
    const NativeRect d = toDevice(r);
    const NativeRect clip = deviceClip();
    const Pixel p = opaquePixel(color);
    fillDevice({d.left, d.top, d.right, d.top + 1}, p, clip);
    fillDevice({d.left, d.bottom - 1, d.right, d.bottom}, p, clip);
    fillDevice({d.left, d.top, d.left + 1, d.bottom}, p, clip);
    fillDevice({d.right - 1, d.top, d.right, d.bottom}, p, clip);
}

void DrawContext::rectangle(const NativeRect& r) {
    if (!surface_)
        return;
    // Rectangles given with their corners swapped are drawn the right way round.
    NativeRect d = toDevice(r);
    if (d.left > d.right)
        std::swap(d.left, d.right);
    if (d.top > d.bottom)
        std::swap(d.top, d.bottom);
    const NativeRect clip = deviceClip();
    if (state_.nullPen) {
        if (!state_.nullBrush)
            fillDevice(d, opaquePixel(state_.brushColor), clip);
        return;
    }
    if (!state_.nullBrush)
        fillDevice({d.left + 1, d.top + 1, d.right - 1, d.bottom - 1}, opaquePixel(state_.brushColor), clip);
    if (isEmpty(d))
        return;
    const Pixel p = opaquePixel(state_.penColor);
    fillDevice({d.left, d.top, d.right, d.top + 1}, p, clip);
    fillDevice({d.left, d.bottom - 1, d.right, d.bottom}, p, clip);
    fillDevice({d.left, d.top, d.left + 1, d.bottom}, p, clip);
    fillDevice({d.right - 1, d.top, d.right, d.bottom}, p, clip);
}

void DrawContext::bitBlt(const NativeRect& to, const Surface& source, DrawPoint from) {
    if (!surface_)
        return;
    const NativeRect d = toDevice(to);
    copyPixels(*surface_, deviceClip(), d.left, d.top, d.right - d.left, d.bottom - d.top, source, from.x,
               from.y);
}

void DrawContext::bitBlt(const NativeRect& to, const DrawContext& source, DrawPoint from) {
    if (source.surface_)
        bitBlt(to, *source.surface_, {from.x + source.state_.origin.x, from.y + source.state_.origin.y});
}

void DrawContext::stretchBlt(const NativeRect& to, const Surface& source, const NativeRect& from) {
    if (surface_)
        stretchPixels(*surface_, deviceClip(), toDevice(to), source, from);
}

void DrawContext::stretchBlt(const NativeRect& to, const DrawContext& source, const NativeRect& from) {
    if (source.surface_)
        stretchBlt(to, *source.surface_, source.toDevice(from));
}

bool DrawContext::alphaBlend(const NativeRect& to, const Surface& source, const NativeRect& from,
                             std::uint8_t constantAlpha, bool sourceAlpha) {
    if (!surface_)
        return false;
    return blendPixels(*surface_, deviceClip(), toDevice(to), source, from, constantAlpha, sourceAlpha);
}

bool DrawContext::alphaBlend(const NativeRect& to, const DrawContext& source, const NativeRect& from,
                             std::uint8_t constantAlpha, bool sourceAlpha) {
    if (!source.surface_)
        return false;
    return alphaBlend(to, *source.surface_, source.toDevice(from), constantAlpha, sourceAlpha);
}

} // namespace trov::platform::draw
