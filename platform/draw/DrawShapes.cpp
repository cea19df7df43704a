// Ellipses, arcs and pies on the window system's integer model: the shape fits its box less one pixel on
// the right and bottom, a pixel belongs to it when its centre lies inside the ellipse through the box's
// outer pixel edges, and the outline is every pixel of the shape with a 4-neighbour outside it. Angles are
// compared exactly with integer cross products.
#include "platform/draw/Blit.h"
#include "platform/draw/DrawContext.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace trov::platform::draw {

namespace {

enum Kind { kEllipse, kArc, kPie };

// Vectors from the ellipse's centre in doubled units, y pointing up (counter-clockwise on the screen).
struct Vec {
    std::int64_t x;
    std::int64_t y;
};

std::int64_t cross(const Vec& a, const Vec& b) {
    return a.x * b.y - a.y * b.x;
}
std::int64_t dot(const Vec& a, const Vec& b) {
    return a.x * b.x + a.y * b.y;
}

// 0 when v lies within half a turn counter-clockwise from s (s itself included), else 1.
int half(const Vec& s, const Vec& v) {
    const std::int64_t c = cross(s, v);
    return (c > 0 || (c == 0 && dot(s, v) > 0)) ? 0 : 1;
}

// Whether v lies on the counter-clockwise sweep from s to e.
bool inSweep(const Vec& s, const Vec& e, const Vec& v) {
    if (v.x == 0 && v.y == 0)
        return true;
    const int hv = half(s, v);
    const int he = half(s, e);
    if (hv != he)
        return hv < he;
    return cross(v, e) >= 0;
}

} // namespace

void DrawContext::ellipseShape(const NativeRect& box, DrawPoint start, DrawPoint end, int kind) {
    NativeRect d = box;
    if (d.left > d.right)
        std::swap(d.left, d.right);
    if (d.top > d.bottom)
        std::swap(d.top, d.bottom);
    if (isEmpty(d))
        return;
    const std::int64_t w = d.right - d.left;
    const std::int64_t h = d.bottom - d.top;
    const std::int64_t cx2 = std::int64_t{d.left} + d.right;
    const std::int64_t cy2 = std::int64_t{d.top} + d.bottom;
    // The span [first, last] of the shape in each row; first > last for an empty row.
    const auto rows = static_cast<std::size_t>(h);
    std::vector<std::int64_t> first(rows, 1), last(rows, 0);
    for (std::int64_t row = 0; row < h; ++row) {
        const std::int64_t y2 = 2 * (d.top + row) + 1 - cy2;
        const std::int64_t room = w * w * h * h - y2 * y2 * w * w;
        if (room < 0)
            continue;
        for (std::int64_t x = d.left; x < d.right; ++x) {
            const std::int64_t x2 = 2 * x + 1 - cx2;
            if (x2 * x2 * h * h <= room) {
                if (first[static_cast<std::size_t>(row)] > last[static_cast<std::size_t>(row)])
                    first[static_cast<std::size_t>(row)] = x;
                last[static_cast<std::size_t>(row)] = x;
            }
        }
    }
    auto inside = [&](std::int64_t x, std::int64_t row) {
        if (row < 0 || row >= h)
            return false;
        const auto i = static_cast<std::size_t>(row);
        return x >= first[i] && x <= last[i];
    };

    const Vec s{2 * std::int64_t{start.x + state_.origin.x} - cx2,
                cy2 - 2 * std::int64_t{start.y + state_.origin.y}};
    const Vec e{2 * std::int64_t{end.x + state_.origin.x} - cx2,
                cy2 - 2 * std::int64_t{end.y + state_.origin.y}};
    const Vec from = (s.x == 0 && s.y == 0) ? Vec{1, 0} : s;
    const Vec to = (e.x == 0 && e.y == 0) ? Vec{1, 0} : e;
    // Both rays one: the whole ellipse.
    const bool whole = kind == kEllipse || (cross(from, to) == 0 && dot(from, to) > 0);

    const NativeRect clip = deviceClip();
    const bool pen = !state_.nullPen;
    const bool brush = kind != kArc && !state_.nullBrush;
    const Pixel penPixel = opaquePixel(state_.penColor);
    const Pixel brushPixel = opaquePixel(state_.brushColor);
    for (std::int64_t row = 0; row < h; ++row) {
        const auto i = static_cast<std::size_t>(row);
        for (std::int64_t x = first[i]; x <= last[i]; ++x) {
            const Vec v{2 * x + 1 - cx2, cy2 - (2 * (d.top + row) + 1)};
            if (!whole && !inSweep(from, to, v))
                continue;
            const bool outline = x == first[i] || x == last[i] || !inside(x, row - 1) || !inside(x, row + 1);
            const int px = static_cast<int>(x);
            const int py = static_cast<int>(d.top + row);
            if (outline && pen)
                plot(px, py, penPixel, clip);
            else if (brush && (!outline || !pen))
                plot(px, py, brushPixel, clip);
        }
    }

    if (kind != kPie || whole || !pen)
        return;
    // The two radii: from the centre pixel to the last pixel of the shape on each ray, both ends included.
    // Pixel centres reach half a pixel less far than the box's outer edges.
    const double reachX = static_cast<double>(w) / 2.0 - 0.5;
    const double reachY = static_cast<double>(h) / 2.0 - 0.5;
    const int centreX = static_cast<int>((cx2 - 1) >> 1);
    const int centreY = static_cast<int>((cy2 - 1) >> 1);
    for (const Vec& ray : {from, to}) {
        const double dx = static_cast<double>(ray.x) / 2.0;
        const double dy = -static_cast<double>(ray.y) / 2.0;
        const double qx = dx == 0.0 ? 0.0 : (reachX > 0.0 ? dx / reachX : HUGE_VAL);
        const double qy = dy == 0.0 ? 0.0 : (reachY > 0.0 ? dy / reachY : HUGE_VAL);
        const double k = 1.0 / std::sqrt(qx * qx + qy * qy);
        const int ex = static_cast<int>(std::floor(static_cast<double>(cx2) / 2.0 + k * dx));
        const int ey = static_cast<int>(std::floor(static_cast<double>(cy2) / 2.0 + k * dy));
        const DrawPoint position = state_.position;
        const DrawPoint origin = state_.origin;
        state_.origin = {0, 0};
        state_.position = {centreX, centreY};
        lineTo(ex, ey);
        plot(ex, ey, penPixel, clip);
        state_.position = position;
        state_.origin = origin;
    }
}

void DrawContext::ellipse(const NativeRect& r) {
    if (surface_)
        ellipseShape(toDevice(r), {}, {}, kEllipse);
}

void DrawContext::arc(const NativeRect& r, DrawPoint start, DrawPoint end) {
    if (surface_)
        ellipseShape(toDevice(r), start, end, kArc);
}

void DrawContext::pie(const NativeRect& r, DrawPoint start, DrawPoint end) {
    if (surface_)
        ellipseShape(toDevice(r), start, end, kPie);
}

} // namespace trov::platform::draw
