#include "platform/draw/Blit.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace trov::platform::draw {

NativeRect intersect(const NativeRect& a, const NativeRect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

bool isEmpty(const NativeRect& r) {
    return r.left >= r.right || r.top >= r.bottom;
}

void copyPixels(Surface& dst, const NativeRect& clip, int dx, int dy, int w, int h, const Surface& src,
                int sx, int sy) {
    if (w <= 0 || h <= 0)
        return;
    // The destination area that is inside clip, dst, and lies over source pixels inside src.
    NativeRect area = intersect(intersect(clip, dst.bounds()), NativeRect{dx, dy, dx + w, dy + h});
    area = intersect(area, NativeRect{dx - sx, dy - sy, dx - sx + src.width(), dy - sy + src.height()});
    if (isEmpty(area))
        return;
    const int width = area.right - area.left;
    const auto bytes = static_cast<std::size_t>(width) * sizeof(Pixel);
    const int offsetX = sx - dx;
    const int offsetY = sy - dy;
    // Within one surface, rows are taken in the order that reads each before it is overwritten.
    const bool upward = &dst == &src && offsetY < 0;
    for (int i = 0; i < area.bottom - area.top; ++i) {
        const int y = upward ? area.bottom - 1 - i : area.top + i;
        std::memmove(dst.row(y) + area.left, src.row(y + offsetY) + area.left + offsetX, bytes);
    }
}

namespace {

// For each destination index along one axis, the source indices it covers and their weights, in units
// where a destination pixel's weights add up to the source extent.
struct Tap {
    int source;
    std::uint32_t weight;
};

std::vector<std::vector<Tap>> areaTaps(int from, int fromSize, int toSize) {
    std::vector<std::vector<Tap>> taps(static_cast<std::size_t>(toSize));
    const std::int64_t n = fromSize;
    const std::int64_t m = toSize;
    for (std::int64_t i = 0; i < m; ++i) {
        // Destination pixel i covers [i * n, (i + 1) * n) in units of 1/m source pixel.
        const std::int64_t begin = i * n;
        const std::int64_t end = begin + n;
        for (std::int64_t s = begin / m; s * m < end; ++s) {
            const std::int64_t overlap = std::min(end, (s + 1) * m) - std::max(begin, s * m);
            if (overlap > 0)
                taps[static_cast<std::size_t>(i)].push_back(
                    {from + static_cast<int>(s), static_cast<std::uint32_t>(overlap)});
        }
    }
    return taps;
}

} // namespace

void stretchPixels(Surface& dst, const NativeRect& clip, const NativeRect& to, const Surface& src,
                   const NativeRect& from) {
    if (isEmpty(to) || isEmpty(from))
        return;
    const NativeRect area = intersect(intersect(clip, dst.bounds()), to);
    if (isEmpty(area))
        return;
    const int toWidth = to.right - to.left;
    const int toHeight = to.bottom - to.top;
    const int fromWidth = from.right - from.left;
    const int fromHeight = from.bottom - from.top;
    const auto columns = areaTaps(from.left, fromWidth, toWidth);
    const auto rows = areaTaps(from.top, fromHeight, toHeight);
    const std::uint64_t total = std::uint64_t(fromWidth) * std::uint64_t(fromHeight);
    // Read from a copy when the source is the destination, so that no written pixel is read again.
    std::shared_ptr<Surface> copy;
    const Surface* source = &src;
    if (&dst == &src) {
        copy = Surface::create(src.width(), src.height());
        if (!copy)
            return;
        copyPixels(*copy, copy->bounds(), 0, 0, src.width(), src.height(), src, 0, 0);
        source = copy.get();
    }
    for (int y = area.top; y < area.bottom; ++y) {
        const auto& rowTaps = rows[static_cast<std::size_t>(y - to.top)];
        Pixel* out = dst.row(y);
        for (int x = area.left; x < area.right; ++x) {
            const auto& columnTaps = columns[static_cast<std::size_t>(x - to.left)];
            std::uint64_t sum[4] = {0, 0, 0, 0};
            for (const Tap& ty : rowTaps) {
                for (const Tap& tx : columnTaps) {
                    const Pixel p = source->pixel(tx.source, ty.source);
                    const std::uint64_t w = std::uint64_t(tx.weight) * ty.weight;
                    sum[0] += blueOf(p) * w;
                    sum[1] += greenOf(p) * w;
                    sum[2] += redOf(p) * w;
                    sum[3] += alphaOf(p) * w;
                }
            }
            out[x] = makePixel(static_cast<std::uint32_t>((sum[0] + total / 2) / total),
                               static_cast<std::uint32_t>((sum[1] + total / 2) / total),
                               static_cast<std::uint32_t>((sum[2] + total / 2) / total),
                               static_cast<std::uint32_t>((sum[3] + total / 2) / total));
        }
    }
}

void blendRow(Pixel* dst, const Pixel* src, std::size_t count, std::uint32_t constantAlpha,
              bool sourceAlpha) {
    // Branch-free: a clear source pixel leaves the destination as it is and an opaque one replaces it by
    // the same arithmetic, and skins mix both finely enough to defeat branch prediction.
    if (sourceAlpha && constantAlpha == 255) {
        for (std::size_t i = 0; i < count; ++i)
            dst[i] = blendOver(src[i], dst[i]);
    } else if (sourceAlpha) {
        for (std::size_t i = 0; i < count; ++i)
            dst[i] = blendOver(scalePixel(src[i], constantAlpha), dst[i]);
    } else {
        // The source's own alpha is replaced by an opaque one before scaling, so the result's alpha is
        // the constant.
        for (std::size_t i = 0; i < count; ++i)
            dst[i] = blendOver(scalePixel(src[i] | 0xFF000000u, constantAlpha), dst[i]);
    }
}

bool blendPixels(Surface& dst, const NativeRect& clip, const NativeRect& to, const Surface& src,
                 const NativeRect& from, std::uint8_t constantAlpha, bool sourceAlpha) {
    if (isEmpty(to) || isEmpty(from) || from.left < 0 || from.top < 0 || from.right > src.width() ||
        from.bottom > src.height())
        return false;
    const int width = to.right - to.left;
    const int height = to.bottom - to.top;
    // The source at the destination's size (and a copy when both are one surface).
    std::shared_ptr<Surface> resampled;
    const Surface* source = &src;
    NativeRect at = from;
    if (width != from.right - from.left || height != from.bottom - from.top || &dst == &src) {
        resampled = Surface::create(width, height);
        if (!resampled)
            return false;
        stretchPixels(*resampled, resampled->bounds(), resampled->bounds(), src, from);
        source = resampled.get();
        at = resampled->bounds();
    }
    const NativeRect area = intersect(intersect(clip, dst.bounds()), to);
    if (isEmpty(area))
        return true;
    for (int y = area.top; y < area.bottom; ++y) {
        const Pixel* in = source->row(at.top + y - to.top) + at.left + (area.left - to.left);
        blendRow(dst.row(y) + area.left, in, static_cast<std::size_t>(area.right - area.left), constantAlpha,
                 sourceAlpha);
    }
    return true;
}

} // namespace trov::platform::draw
