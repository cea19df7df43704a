#pragma once

#include "framework/Point.h"
#include "platform/NativeRect.h"

#include <cstdint>

namespace trov {

// Integer pixel rectangle. Width and height are plain differences, while the right and bottom edges
// count as inside for containment and intersection: both conventions are part of the contract.
// The all-zero rectangle stands for no rectangle in `unite`.
struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    constexpr Rect() = default;
    // Normalising: a negative width or height extends to the left or upwards.
    Rect(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height);
    // Edges taken unchanged, not normalised.
    constexpr Rect(const Point& topLeft, const Point& bottomRight)
        : left(topLeft.x), top(topLeft.y), right(bottomRight.x), bottom(bottomRight.y) {}

    std::int32_t getWidth() const { return right - left; }
    std::int32_t getHeight() const { return bottom - top; }
    void setWidth(std::int32_t w) { right = left + w; }
    void setHeight(std::int32_t h) { bottom = top + h; }
    void setSize(std::int32_t w, std::int32_t h) {
        setWidth(w);
        setHeight(h);
    }
    void setSizeOf(const Rect& r) { setSize(r.getWidth(), r.getHeight()); }
    void scaleSize(float fx, float fy);

    Point getTopLeft() const { return {left, top}; }
    Point getTopRight() const { return {right, top}; }
    Point getBottomLeft() const { return {left, bottom}; }
    Point getBottomRight() const { return {right, bottom}; }
    Point getCenter() const { return {(left + right) / 2, (top + bottom) / 2}; }
    Rect atOrigin() const { return Rect(0, 0, getWidth(), getHeight()); }
    bool isNonZero() const { return left != 0 || top != 0 || right != 0 || bottom != 0; }
    bool isEmpty() const { return left >= right || top >= bottom; }

    Rect operator+(const Point& p) const;
    Rect operator-(const Point& p) const;
    Rect& operator+=(const Point& p);
    Rect& operator-=(const Point& p);
    bool operator==(const Rect& r) const {
        return left == r.left && top == r.top && right == r.right && bottom == r.bottom;
    }
    bool operator!=(const Rect& r) const { return !(*this == r); }

    bool contains(const Point& p) const { return left <= p.x && p.x <= right && top <= p.y && p.y <= bottom; }
    bool contains(const Rect& r) const { return contains(r.getTopLeft()) && contains(r.getBottomRight()); }
    bool intersects(const Rect& r) const {
        return top <= r.bottom && r.top <= bottom && right >= r.left && r.right >= left;
    }

    void offset(std::int32_t dx, std::int32_t dy);
    void offset(const Point& p) { offset(p.x, p.y); }
    void moveCenterTo(const Point& p);
    void moveTopLeftTo(const Point& p);
    void moveTopRightTo(const Point& p);
    void moveBottomLeftTo(const Point& p);
    void moveBottomRightTo(const Point& p);
    void centerIn(const Rect& r);
    void inset(std::int32_t dx, std::int32_t dy);
    void inset(std::int32_t n) { inset(n, n); }
    void outset(std::int32_t dx, std::int32_t dy) { inset(-dx, -dy); }
    Rect intersection(const Rect& r) const;
    Rect unite(const Rect& r) const;
    void constrainTo(const Rect& bounds);
    platform::NativeRect toRECT() const { return {left, top, right, bottom}; }
};

} // namespace trov
