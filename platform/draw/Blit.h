#pragma once

#include "platform/NativeRect.h"
#include "platform/draw/Surface.h"

#include <cstddef>
#include <cstdint>

namespace trov::platform::draw {

// The pixel transfers behind the drawing context's copies, on surface (device) coordinates. Every
// destination pixel outside clip or outside the destination surface stays as it is.

NativeRect intersect(const NativeRect& a, const NativeRect& b);
bool isEmpty(const NativeRect& r);

// Copies a w x h block from src at (sx, sy) to dst at (dx, dy); source pixels outside src leave their
// destination unchanged. dst and src may be the same surface.
void copyPixels(Surface& dst, const NativeRect& clip, int dx, int dy, int w, int h, const Surface& src,
                int sx, int sy);

// Resamples the source rectangle onto the destination rectangle by area averaging: each destination pixel
// is the mean of the source area it covers, weighted by exact coverage (the halftone stretch). Nothing
// happens when either rectangle is empty.
void stretchPixels(Surface& dst, const NativeRect& clip, const NativeRect& to, const Surface& src,
                   const NativeRect& from);

// Blends the source rectangle over the destination rectangle, resampled as by stretchPixels when the sizes
// differ. With sourceAlpha the source is premultiplied and every channel is scaled by constantAlpha / 255
// before it is laid over; without it the source's own alpha is ignored and constantAlpha is the alpha of
// every pixel. False (and nothing drawn) when a rectangle is empty or the source rectangle leaves src.
bool blendPixels(Surface& dst, const NativeRect& clip, const NativeRect& to, const Surface& src,
                 const NativeRect& from, std::uint8_t constantAlpha, bool sourceAlpha);

// One row of blendPixels without resampling: count pixels of src laid over dst.
void blendRow(Pixel* dst, const Pixel* src, std::size_t count, std::uint32_t constantAlpha, bool sourceAlpha);

} // namespace trov::platform::draw
