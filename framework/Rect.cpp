#include "framework/Rect.h"

#include <algorithm>

namespace trov {

Rect::Rect(std::int32_t l, std::int32_t t, std::int32_t width, std::int32_t height) {
    if (width < 0) {
        l += width;
        width = -width;
    }
    if (height < 0) {
        t += height;
        height = -height;
    }
    left = l;
    top = t;
    right = l + width;
    bottom = t + height;
}

void Rect::scaleSize(float fx, float fy) {
    right = left + static_cast<std::int32_t>(static_cast<float>(getWidth()) * fx);
    bottom = top + static_cast<std::int32_t>(static_cast<float>(getHeight()) * fy);
}

Rect Rect::operator+(const Point& p) const {
    return Rect(left + p.x, top + p.y, getWidth(), getHeight());
}

Rect Rect::operator-(const Point& p) const {
    return Rect(left - p.x, top - p.y, getWidth(), getHeight());
}

Rect& Rect::operator+=(const Point& p) {
    offset(p.x, p.y);
    return *this;
}

Rect& Rect::operator-=(const Point& p) {
    offset(-p.x, -p.y);
    return *this;
}

void Rect::offset(std::int32_t dx, std::int32_t dy) {
    left += dx;
    right += dx;
    top += dy;
    bottom += dy;
}

void Rect::moveCenterTo(const Point& p) {
    offset(p - getCenter());
}
void Rect::moveTopLeftTo(const Point& p) {
    offset(p - getTopLeft());
}
void Rect::moveTopRightTo(const Point& p) {
    offset(p - getTopRight());
}
void Rect::moveBottomLeftTo(const Point& p) {
    offset(p - getBottomLeft());
}
void Rect::moveBottomRightTo(const Point& p) {
    offset(p - getBottomRight());
}

void Rect::centerIn(const Rect& r) {
    moveTopLeftTo({r.left + (r.getWidth() - getWidth()) / 2, r.top + (r.getHeight() - getHeight()) / 2});
}

void Rect::inset(std::int32_t dx, std::int32_t dy) {
    left += dx;
    right -= dx;
    top += dy;
    bottom -= dy;
}

Rect Rect::intersection(const Rect& r) const {
    return Rect(Point(std::max(left, r.left), std::max(top, r.top)),
                Point(std::min(right, r.right), std::min(bottom, r.bottom)));
}

Rect Rect::unite(const Rect& r) const {
    if (!isNonZero())
        return r;
    if (!r.isNonZero())
        return *this;
    return Rect(Point(std::min(left, r.left), std::min(top, r.top)),
                Point(std::max(right, r.right), std::max(bottom, r.bottom)));
}

void Rect::constrainTo(const Rect& bounds) {
    setWidth(std::min(getWidth(), bounds.getWidth()));
    setHeight(std::min(getHeight(), bounds.getHeight()));
    if (left < bounds.left)
        offset(bounds.left - left, 0);
    if (right > bounds.right)
        offset(bounds.right - right, 0);
    if (top < bounds.top)
        offset(0, bounds.top - top);
    if (bottom > bounds.bottom)
        offset(0, bounds.bottom - bottom);
}

} // namespace trov
